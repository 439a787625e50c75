#include "cli/calvane-rename/RenameTool.h"

#include "errors/RuntimeError.h"
#include "platform/Directory.h"
#include "platform/JsonText.h"
#include "platform/NativeFile.h"
#include "platform/Trash.h"
#include "rename/JournalIndex.h"
#include "rename/RenameJournal.h"
#include "rename/TrashSpace.h"
#include "settings/Settings.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

QByteArray nameOf(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

void printErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

/// A path as a line of text shows it, in UTF-8: as the windows show it, control
/// characters (a line feed in a name) as "?".
QByteArray shownBytes(const QByteArray& path)
{
    QByteArray text = IsWellFormedUtf8(path) ? path : ShownPath(PathFromNative(path)).toUtf8();
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

QString shownText(const QByteArray& path)
{
    return QString::fromUtf8(shownBytes(path));
}

/// A path of a journal as the run printed it: relative to the current folder
/// when it lies in it (a run names its files as they were given), else absolute.
QByteArray relativeToHere(const QByteArray& path)
{
    char* here = ::getcwd(nullptr, 0);
    QByteArray folder = here ? QByteArray(here) : QByteArray();
    std::free(here);
    if (!folder.endsWith('/')) {
        folder += '/';
    }
    return path.startsWith(folder) && path.size() > folder.size() ? path.sliced(folder.size()) : path;
}

/// "1 file", "2 files".
QString files(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(n);
}

const char* reasonName(ConvResult result)
{
    switch (result) {
    case ConvResult::NoFile:
        return "no file";
    case ConvResult::NoTitle:
        return "no title";
    case ConvResult::RefusedChar:
        return "refused character";
    case ConvResult::NameExists:
        return "name exists";
    case ConvResult::AccessFailure:
        return "access failure";
    case ConvResult::TitleTooLong:
        return "title too long";
    case ConvResult::OtherFailure:
        return "other failure";
    case ConvResult::Renamed:
        break;
    }
    return "renamed";
}

/// The progress line on stderr, on a terminal only: files done, the total, the rate.
class Progress
{
public:
    explicit Progress(qsizetype total)
        : m_enabled(::isatty(STDERR_FILENO) == 1),
          m_sharesTerminal(m_enabled && ::isatty(STDOUT_FILENO) == 1), m_total(total), m_start(Clock::now())
    {}

    void update(qsizetype done)
    {
        if (!m_enabled) {
            return;
        }
        const auto now = Clock::now();
        if (m_visible && now - m_drawn < std::chrono::milliseconds(100)) {
            return;
        }
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        std::fprintf(stderr, "\r%lld/%s, %.0f files/s\033[K", static_cast<long long>(done),
                     qPrintable(files(m_total)), seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
        std::fflush(stderr);
        m_visible = true;
        m_drawn = now;
    }
    /// Before a line on stdout, which may share the terminal.
    void beforeOutput()
    {
        if (m_sharesTerminal) {
            clear();
        }
    }
    void clear()
    {
        if (m_visible) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            m_visible = false;
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    const bool m_enabled;
    const bool m_sharesTerminal;
    const qsizetype m_total;
    const Clock::time_point m_start;
    Clock::time_point m_drawn;
    bool m_visible = false;
};

/// The counts of the summary.
struct Tally
{
    qsizetype renamed = 0;
    qsizetype trashed = 0;
    qsizetype unchanged = 0;
    std::map<ConvResult, qsizetype> skipped;
    std::map<ConvResult, qsizetype> failed;

    /// "N" or "N (n1 reason1, n2 reason2)".
    static QString byReason(const std::map<ConvResult, qsizetype>& counts, const QString& what)
    {
        QStringList parts;
        qsizetype total = 0;
        for (const auto& [result, count] : counts) {
            parts << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(reasonName(result)));
            total += count;
        }
        const QString head = QStringLiteral("%1 %2").arg(total).arg(what);
        return parts.isEmpty() ? head : QStringLiteral("%1 (%2)").arg(head, parts.join(u", "));
    }
};

class Run
{
public:
    Run(const RenameToolOptions& options, const std::function<bool()>& stopRequested, RenameCalls& calls)
        : m_options(options), m_stop(stopRequested)
    {
        if (options.dryRun) {
            auto plan = std::make_unique<PlannedRenameSpace>();
            m_diskTrash = std::make_unique<PlannedTrashSpace>(*plan);
            m_disk = std::move(plan);
        } else {
            auto disk = std::make_unique<DiskRenameSpace>(calls);
            m_realDisk = disk.get();
            m_disk = std::move(disk);
            m_diskTrash = std::make_unique<DiskTrashSpace>(m_desktopTrash);
        }
        m_space = m_disk.get();
        m_trash = m_diskTrash.get();
    }

    int titles();
    int undo();

private:
    /// Renames through a journal from here on (unless there is none to keep); false
    /// when the journal given by name exists already.
    bool startJournal(QByteArrayView undoOf);
    /// Whether the journal has failed: said once, and the run stops.
    bool journalFailed();
    /// The line of one file. shownFolder + file.newName is the new path as shown;
    /// eucJp: the title's EUC-JP reading when it may be EUC-JP.
    void report(const QByteArray& shownFrom, const QByteArray& shownFolder, const FileRename& file,
                const QString& eucJp = {});
    void count(const FileRename& file, bool nameExistsFails);
    int finish(qsizetype done, qsizetype total);
    bool stopping() { return m_stop() || m_outputClosed || m_journalFailed; }

    const RenameToolOptions& m_options;
    const std::function<bool()>& m_stop;
    FreedesktopTrash m_desktopTrash;
    std::unique_ptr<RenameSpace> m_disk;
    DiskRenameSpace* m_realDisk = nullptr; ///< m_disk in a run that renames
    std::unique_ptr<TrashSpace> m_diskTrash;
    std::unique_ptr<JournaledRenameSpace> m_journal;
    RenameSpace* m_space = nullptr; ///< the journal over the disk, or the disk (or plan) alone
    TrashSpace* m_trash = nullptr;  ///< the same for the trash
    bool m_journalFailed = false;
    bool m_outputClosed = false;
    Tally m_tally;
    QList<QByteArray> m_stranded; ///< files left under a temporary name, as the lines show them
    std::unique_ptr<Progress> m_progress;
};

Settings loadSettings(const RenameToolOptions& options)
{
    Settings settings;
    if (!(options.keepTrailingSpaces && options.allowBlankTitles)) {
        const QString ini = ProgramIniPath();
        if (!PathExists(ini)) {
            printErr(
                QStringLiteral("calvane-rename: no settings file %1: Space and LastSpace at their defaults\n")
                    .arg(ini));
        } else {
            try {
                settings = LoadSettings(ini).settings;
            } catch (const RuntimeError& failure) {
                printErr(
                    QStringLiteral("calvane-rename: the settings file %1 cannot be read (%2 %3): Space and "
                                   "LastSpace at their defaults\n")
                        .arg(ini)
                        .arg(failure.number())
                        .arg(failure.text()));
            }
        }
    }
    if (options.keepTrailingSpaces) {
        settings.LastSpace = false;
    }
    if (options.allowBlankTitles) {
        settings.Space = false;
    }
    return settings;
}

bool Run::startJournal(QByteArrayView undoOf)
{
    if (m_options.dryRun || m_options.noJournal) {
        return true;
    }
    QByteArray path = m_options.journal;
    struct stat st
    {};
    if (!path.isEmpty() && ::lstat(path.constData(), &st) == 0) {
        // Made only at the first rename, and then never over a file (O_EXCL); said here
        // so that no file is renamed first.
        printErr(QStringLiteral("calvane-rename: the journal %1 exists already; nothing was renamed\n")
                     .arg(shownText(path)));
        return false;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (path.isEmpty()) {
        const JournalFolderCheck folder = PrepareJournalFolder();
        if (folder.refusal != JournalRefusal::None) {
            // Another user could put a journal there, or change ours: no journal, no run.
            QString why = JournalRefusalText(folder.refusal);
            if (folder.err != 0) {
                why += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(folder.err));
            }
            printErr(QStringLiteral(
                         "calvane-rename: the journal folder %1 is refused: %2; nothing was renamed "
                         "(--journal FILE writes the journal elsewhere, --no-journal runs without one)\n")
                         .arg(shownText(folder.refusedFolder), why));
            return false;
        }
        PruneJournals(folder.folder, kJournalsKept - 1); // with this run's, the folder keeps the newest
        path = folder.folder + "rename-" + now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1() + '-' +
               QByteArray::number(::getpid()) + ".jsonl";
    }
    m_journal = std::make_unique<JournaledRenameSpace>(
        *m_disk, path, JournalHeaderLine(now.toString(Qt::ISODate), undoOf),
        JournaledRenameSpace::OnJournalFailure::Refuse, m_diskTrash.get());
    m_space = m_journal.get();
    m_trash = m_journal.get();
    return true;
}

bool Run::journalFailed()
{
    if (m_journalFailed || !m_journal || m_journal->journalError() == 0) {
        return m_journalFailed;
    }
    m_journalFailed = true;
    printErr(QStringLiteral("calvane-rename: cannot write the journal %1: %2; the file keeps its name; "
                            "stopped (--no-journal runs without one)\n")
                 .arg(shownText(m_journal->journalPath()),
                      QString::fromLocal8Bit(std::strerror(m_journal->journalError()))));
    return true;
}

void Run::report(const QByteArray& shownFrom, const QByteArray& shownFolder, const FileRename& file,
                 const QString& eucJp)
{
    QByteArray line;
    const bool renamed = file.result == ConvResult::Renamed;
    const QString message = ConvResultMessage(file.result, file.tooLongBy);
    if (m_options.json) {
        line = "{" + JsonPathFields("from", shownFrom) + ", " +
               (renamed && !file.trashed ? JsonPathFields("to", shownFolder + file.newName)
                                         : QByteArray("\"to\": null")) +
               ", \"result\": " + QByteArray::number(ConvResultNumber(file.result)) +
               ", \"message\": " + JsonString(message);
        if (!file.wantedName.isEmpty()) {
            line += ", " + JsonPathFields("wanted", shownFolder + file.wantedName);
        }
        if (!file.strandedAs.isEmpty()) {
            line += ", " + JsonPathFields("stranded", shownFolder + file.strandedAs);
        }
        if (file.tooLongBy > 0) {
            line += ", \"too_long_by\": " + QByteArray::number(file.tooLongBy);
        }
        if (!file.identicalTo.isEmpty()) {
            line +=
                ", \"identical\": true, " + JsonPathFields("identical_to", shownFolder + file.identicalTo);
        }
        if (file.trashed) {
            line += ", \"trashed\": true";
        }
        if (file.error != 0) {
            line += ", \"error\": " + QByteArray::number(file.error) +
                    ", \"error_message\": " + JsonString(ErrorText(file.error));
        }
        if (!eucJp.isEmpty()) {
            line += ", \"hint\": \"euc-jp\", \"hint_title\": " + JsonString(eucJp);
        }
        line += "}\n";
    } else {
        // One sentence: the design's message, then what it is about, then the platform's error.
        QString text = shownText(shownFrom);
        const QString identical = shownText(file.identicalTo);
        if (file.unchanged) {
            text += QStringLiteral(": unchanged");
        } else if (file.trashed) {
            text += QStringLiteral(" -> ごみ箱");
            if (!file.identicalTo.isEmpty()) {
                text += QStringLiteral(" (%1 と同じ内容)").arg(identical);
            }
        } else if (renamed) {
            text += QStringLiteral(" -> ") + shownText(file.newName);
            if (!file.identicalTo.isEmpty()) {
                text += QStringLiteral(" (%1 と同じ内容)").arg(identical);
            }
        } else {
            text += QStringLiteral(": %1").arg(ConvResultNumber(file.result));
            const QString said =
                QString(message).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
            if (!said.isEmpty()) {
                text += u' ' + said;
            }
            if (!file.wantedName.isEmpty()) {
                text += QStringLiteral(" (%1%2)").arg(
                    shownText(file.wantedName),
                    file.identicalTo.isEmpty() ? QString() : QStringLiteral("、内容も同じ"));
            }
            if (file.error != 0) {
                text += QStringLiteral(" (エラー %1: %2)").arg(file.error).arg(ErrorText(file.error));
            }
            if (!file.strandedAs.isEmpty()) {
                text += QStringLiteral(" LEFT AS %1").arg(shownText(file.strandedAs));
            }
        }
        if (!eucJp.isEmpty()) {
            text +=
                QStringLiteral(" (EUC-JPなら「%1」)").arg(shownText(eucJp.toUtf8())); // no control character
        }
        line = text.toUtf8() + '\n';
    }
    if (!file.strandedAs.isEmpty()) {
        m_stranded << shownFolder + file.strandedAs;
    }
    m_progress->beforeOutput();
    if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) !=
        static_cast<size_t>(line.size())) {
        m_outputClosed = true; // nobody reads on: stop before the next file
    }
}

void Run::count(const FileRename& file, bool nameExistsFails)
{
    if (!file.strandedAs.isEmpty()) {
        ++m_tally.failed[file.result]; // whatever the reason, the file is not where it was
        return;
    }
    if (file.trashed) {
        ++m_tally.trashed;
        return;
    }
    switch (file.result) {
    case ConvResult::Renamed:
        ++(file.unchanged ? m_tally.unchanged : m_tally.renamed);
        break;
    case ConvResult::NoTitle:
    case ConvResult::RefusedChar:
    case ConvResult::TitleTooLong:
        ++m_tally.skipped[file.result];
        break;
    case ConvResult::NameExists: // a copy the trash refused has failed
        ++(nameExistsFails || file.error != 0 ? m_tally.failed : m_tally.skipped)[file.result];
        break;
    case ConvResult::NoFile:
    case ConvResult::AccessFailure:
    case ConvResult::OtherFailure:
        ++m_tally.failed[file.result];
        break;
    }
}

int Run::finish(qsizetype done, qsizetype total)
{
    std::fflush(stdout);
    m_progress->clear();
    const int journalError = m_journal ? m_journal->close() : 0;
    if (journalError != 0) {
        printErr(QStringLiteral("calvane-rename: the journal %1 could not be flushed: %2\n")
                     .arg(shownText(m_journal->journalPath()),
                          QString::fromLocal8Bit(std::strerror(journalError))));
    }
    const qsizetype journaled = m_journal ? m_journal->journaled() : 0;
    if (m_journal && journaled == 0 && m_options.journal.isEmpty()) {
        ::unlink(m_journal->journalPath().constData()); // nothing to take back: no journal to keep
    }
    const bool plan = m_options.dryRun;
    QString trashed;
    if (m_options.onConflict == OnConflict::TrashIdentical || m_tally.trashed > 0) {
        trashed = QStringLiteral(", %1 %2")
                      .arg(m_tally.trashed)
                      .arg(plan ? QStringLiteral("to trash") : QStringLiteral("trashed"));
    }
    QString summary = QStringLiteral("calvane-rename: %1%2: %3 %4%5, %6 unchanged, %7, %8")
                          .arg(plan ? QStringLiteral("plan for ") : QString(), files(total))
                          .arg(m_tally.renamed)
                          .arg(plan ? QStringLiteral("to rename") : QStringLiteral("renamed"), trashed)
                          .arg(m_tally.unchanged)
                          .arg(Tally::byReason(m_tally.skipped, QStringLiteral("skipped")),
                               Tally::byReason(m_tally.failed, QStringLiteral("failed")));
    if (done < total) {
        summary += QStringLiteral("; stopped after %1 of %2").arg(done).arg(files(total));
    }
    if (plan) {
        summary += QStringLiteral("; nothing was changed");
    }
    printErr(summary + u'\n');
    if (journaled > 0) {
        printErr(QStringLiteral("calvane-rename: journal %1 (calvane-rename --undo takes it back)\n")
                     .arg(shownText(m_journal->journalPath())));
    }
    for (const QByteArray& stranded : m_stranded) {
        printErr(QStringLiteral("calvane-rename: a file was left under a temporary name (its name was taken "
                                "meanwhile; rename it by hand or with --undo): %1\n")
                     .arg(shownText(stranded)));
    }
    if (m_outputClosed) {
        printErr(QStringLiteral("calvane-rename: the output was closed; stopped\n"));
    }
    if (m_stop() && done < total) {
        return kExitInterrupted;
    }
    return m_tally.failed.empty() && !m_journalFailed && !m_outputClosed && journalError == 0 ? kExitOk
                                                                                              : kExitFailed;
}

int Run::titles()
{
    TitleRenameOptions rename;
    rename.settings = loadSettings(m_options);
    rename.replaceRefused = m_options.replaceRefused;
    rename.onConflict = m_options.onConflict;
    rename.shorten = m_options.shorten;
    rename.encoding = m_options.reading.encoding;

    const Batch batch =
        CollectBatch(m_options.paths, m_options.recursive, m_stop, m_options.reading.extensions);
    if (m_realDisk) {
        batch.expectFoldersIn(*m_realDisk); // a folder replaced during the run is not renamed in
    }
    const qsizetype total = batch.size();
    m_progress = std::make_unique<Progress>(total);
    if (!startJournal({})) {
        return kExitFailed;
    }
    qsizetype done = 0;
    for (qsizetype i = 0; i < total; ++i) {
        if (stopping()) {
            break;
        }
        const QByteArray name = batch.name(i);
        const QByteArray& folder = batch.folder(i);
        FileRename file;
        QString eucJp;
        if (batch.error(i) != 0) {
            file = UnreadableFile(batch.error(i));
        } else {
            try {
                const TitleRead read = ReadTitleForRename(folder + name, rename.encoding);
                if (read.error != 0) {
                    file = UnreadableFile(read.error);
                } else {
                    file = RenameToGivenTitle(*m_space, folder, name, read.title, rename, m_trash);
                    if (read.mayBeEucJp) {
                        eucJp = DecodeText(read.bytes, TextEncoding::EucJp);
                    }
                }
            } catch (const std::exception&) {
                file = FileRename{};
                file.result = ConvResult::OtherFailure;
                file.error = CurrentFailure().number();
            }
        }
        report(batch.shownFolder(i) + name, batch.shownFolder(i), file, eucJp);
        count(file, false);
        m_progress->update(++done);
        if (journalFailed()) {
            break;
        }
    }
    return finish(done, total);
}

int Run::undo()
{
    const WholeFile file = ReadWholeOrdinaryFile(m_options.undo);
    if (file.status != WholeFile::Status::Ok) {
        printErr(QStringLiteral("calvane-rename: cannot read the journal %1: %2\n")
                     .arg(shownText(m_options.undo), QString::fromLocal8Bit(std::strerror(file.err))));
        return kExitFailed;
    }
    if (const JournalRefusal refusal = CheckJournalToUndo(m_options.undo); refusal != JournalRefusal::None) {
        // Another user could have written it: its entries could name any file of ours.
        printErr(QStringLiteral("calvane-rename: the journal %1 is refused: %2 (the journal or its folder); "
                                "nothing was renamed\n")
                     .arg(shownText(m_options.undo), JournalRefusalText(refusal)));
        return kExitFailed;
    }
    const JournalRead read = ReadJournal(file.bytes);
    if (!read.error.isEmpty()) {
        printErr(QStringLiteral("calvane-rename: %1, line %2: %3; nothing was renamed\n")
                     .arg(shownText(m_options.undo))
                     .arg(read.errorLine)
                     .arg(read.error));
        return kExitFailed;
    }
    if (read.lastLineCut) {
        printErr(
            QStringLiteral("calvane-rename: %1: its last line was cut off while it was written and is left "
                           "out\n")
                .arg(shownText(m_options.undo)));
    }
    const auto total = static_cast<qsizetype>(read.entries.size());
    m_progress = std::make_unique<Progress>(total);
    char* real = ::realpath(m_options.undo.constData(), nullptr);
    const QByteArray journalRead = real ? QByteArray(real) : m_options.undo;
    std::free(real);
    if (!startJournal(journalRead)) {
        return kExitFailed;
    }
    qsizetype done = 0;
    for (auto entry = read.entries.rbegin(); entry != read.entries.rend(); ++entry) {
        if (stopping()) {
            break;
        }
        FileRename back;
        const UndoResult undone = UndoJournalEntry(*m_space, *m_trash, *entry);
        // Where the file stands after the undo, and what it is called there, as the run named it.
        const QByteArray from = relativeToHere(entry->from);
        const QByteArray to = relativeToHere(entry->to);
        const bool sameFolder = entry->kind == JournalEntry::Kind::Rename;
        const QByteArray folder = sameFolder ? to.first(to.lastIndexOf('/') + 1) : QByteArray();
        const QByteArray oldName = sameFolder ? nameOf(entry->from) : from;
        if (undone.outcome == UndoOutcome::NeverDone) {
            // The run was stopped between this line and its step: the file stands where it was.
            back.unchanged = true;
            back.newName = oldName;
            report(from, folder, back);
        } else if (entry->kind == JournalEntry::Kind::Restore) {
            back.result = undone.error == 0 ? ConvResult::Renamed : ConvResultOfFailure(undone.error);
            back.trashed = undone.error == 0; // back into the trash
            back.error = back.result == ConvResult::OtherFailure ? undone.error : 0;
            report(to, folder, back);
        } else {
            back.result = undone.error == 0 ? ConvResult::Renamed : ConvResultOfFailure(undone.error);
            if (undone.error == 0) {
                back.newName = oldName;
            } else if (back.result == ConvResult::NameExists || back.result == ConvResult::AccessFailure) {
                back.wantedName = oldName;
            } else {
                back.error = undone.error;
            }
            report(to, folder, back);
        }
        count(back, true); // a name taken meanwhile leaves the file unrestored
        m_progress->update(++done);
        if (journalFailed()) {
            break;
        }
    }
    return finish(done, total);
}

} // namespace

int RunRenameTool(const RenameToolOptions& options, const std::function<bool()>& stopRequested,
                  RenameCalls& calls)
{
    Run run(options, stopRequested, calls);
    return options.undo.isEmpty() ? run.titles() : run.undo();
}

} // namespace calvane
