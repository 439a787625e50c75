#include "rename/JournalIndex.h"

#include "platform/NativeFile.h"
#include "rename/RenameJournal.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

QByteArray folderOf(const QByteArray& path)
{
    return path.first(path.lastIndexOf('/') + 1);
}

} // namespace

QByteArray JournalIdentity(const QByteArray& path)
{
    char* real = ::realpath(path.constData(), nullptr);
    if (!real) {
        return path;
    }
    QByteArray out(real);
    std::free(real);
    return out;
}

std::optional<JournalRun> ReadJournalRun(const QByteArray& path, QByteArrayView journal)
{
    const QByteArray text = journal.toByteArray();
    const qsizetype headerEnd = text.indexOf('\n');
    if (headerEnd < 0) {
        return std::nullopt;
    }
    const QByteArray headerLine = text.first(headerEnd + 1);
    const qsizetype entryEnd = text.indexOf('\n', headerEnd + 1);
    const JournalRead first =
        ReadJournal(entryEnd < 0 ? headerLine : text.first(entryEnd + 1)); // the header, one entry
    if (!first.error.isEmpty()) {
        return std::nullopt;
    }
    const QJsonObject header = QJsonDocument::fromJson(headerLine).object();
    JournalRun run;
    run.path = path;
    run.started =
        QDateTime::fromString(header.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs);
    run.run = header.value(QStringLiteral("run")).toString().toLatin1();
    run.undoOf = JournalPathField(header, QStringLiteral("undo_of")).value_or(QByteArray());
    if (!run.undoOf.isEmpty()) {
        run.run = "undo";
    }
    run.folder = JournalPathField(header, QStringLiteral("folder")).value_or(QByteArray());
    if (run.folder.isEmpty() && !first.entries.empty()) {
        const JournalEntry& entry = first.entries.front();
        run.folder =
            folderOf(entry.kind == JournalEntry::Kind::Restore ? entry.to : entry.from); // not the trash's
    }
    if (run.folder.size() > 1 && run.folder.endsWith('/')) {
        run.folder.chop(1); // one spelling, whoever wrote the journal
    }
    // Every whole line after the header is an entry; a last line without its end was cut off.
    const qsizetype wholeEnd = text.lastIndexOf('\n');
    for (qsizetype at = headerEnd + 1; at <= wholeEnd;) {
        const qsizetype end = text.indexOf('\n', at);
        if (end > at && !text.sliced(at, end - at).trimmed().isEmpty()) {
            ++run.files;
        }
        at = end + 1;
    }
    return run;
}

namespace {

/// The names of the folder's "*.jsonl" files.
std::vector<QByteArray> journalNames(const QByteArray& folder)
{
    std::vector<QByteArray> names;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith('.') && name.endsWith(".jsonl")) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

std::vector<JournalRun> readRuns(const QByteArray& folder, const std::vector<QByteArray>& names)
{
    std::vector<JournalRun> runs;
    for (const QByteArray& name : names) {
        const QByteArray path = folder + name;
        const WholeFile file = ReadWholeOrdinaryFile(path);
        if (file.status != WholeFile::Status::Ok) {
            continue;
        }
        if (std::optional<JournalRun> run = ReadJournalRun(path, file.bytes)) {
            struct stat st
            {};
            if (::stat(path.constData(), &st) == 0) {
                run->modified = qint64{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
            }
            runs.push_back(std::move(*run));
        }
    }
    // The tool's headers give whole seconds: within one second the later written is the newer.
    std::sort(runs.begin(), runs.end(), [](const JournalRun& a, const JournalRun& b) {
        const qint64 aSeconds = a.started.toSecsSinceEpoch();
        const qint64 bSeconds = b.started.toSecsSinceEpoch();
        if (aSeconds != bSeconds) {
            return aSeconds > bSeconds;
        }
        if (a.modified != b.modified) {
            return a.modified > b.modified;
        }
        return a.path > b.path;
    });
    return runs;
}

} // namespace

std::vector<JournalRun> ListJournalRuns(const QByteArray& folder)
{
    std::vector<JournalRun> runs = readRuns(folder, journalNames(folder));
    // Which undo journals take back which journal, by the file each names.
    QHash<QByteArray, std::vector<qsizetype>> undoneBy;
    for (qsizetype i = 0; i < static_cast<qsizetype>(runs.size()); ++i) {
        if (!runs[i].undoOf.isEmpty()) {
            undoneBy[JournalIdentity(runs[i].undoOf)].push_back(i);
        }
    }
    // A run is undone when an undo of it stands, that is, is not undone itself.
    std::vector<int> state(runs.size(), 0); // 0 not yet known, 1 being worked out, 2 known
    const std::function<bool(qsizetype)> undone = [&](qsizetype i) -> bool {
        if (state[i] == 1) {
            return false; // a loop of undo journals made by hand: none counts
        }
        if (state[i] == 0) {
            state[i] = 1;
            bool out = false;
            const auto undos = undoneBy.find(JournalIdentity(runs[i].path));
            if (undos != undoneBy.end()) {
                for (const qsizetype u : *undos) {
                    out = out || !undone(u);
                }
            }
            runs[i].undone = out;
            state[i] = 2;
        }
        return runs[i].undone;
    };
    for (qsizetype i = 0; i < static_cast<qsizetype>(runs.size()); ++i) {
        undone(i);
    }
    return runs;
}

void PruneJournals(const QByteArray& folder, int keep)
{
    const std::vector<QByteArray> names = journalNames(folder);
    if (static_cast<qsizetype>(names.size()) <= keep) {
        return; // nothing to remove: no journal need be read
    }
    const std::vector<JournalRun> runs = readRuns(folder, names);
    for (std::size_t i = static_cast<std::size_t>(std::max(keep, 0)); i < runs.size(); ++i) {
        ::unlink(runs[i].path.constData());
    }
}

} // namespace calvane
