#include "rename/UndoRun.h"

#include "errors/RuntimeError.h"
#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace calvane {

qsizetype UndoRunResult::count(UndoOutcome outcome) const
{
    return std::count_if(files.begin(), files.end(),
                         [outcome](const UndoneFile& file) { return file.result.outcome == outcome; });
}

UndoRunResult UndoJournalRun(const QByteArray& journalPath, RenameSpace& space, TrashSpace& trash,
                             const BetweenFiles& between)
{
    UndoRunResult out;
    const WholeFile file = ReadWholeOrdinaryFile(journalPath);
    if (file.status != WholeFile::Status::Ok) {
        out.readError = QString::fromLocal8Bit(std::strerror(file.err));
        return out;
    }
    const JournalRead read = ReadJournal(file.bytes);
    if (!read.error.isEmpty()) {
        out.readError = QStringLiteral("%1 (line %2)").arg(read.error).arg(read.errorLine);
        return out;
    }
    out.lastLineCut = read.lastLineCut;
    out.total = static_cast<qsizetype>(read.entries.size());
    out.files.reserve(read.entries.size());
    for (auto entry = read.entries.rbegin(); entry != read.entries.rend(); ++entry) {
        if (!between(static_cast<qsizetype>(out.files.size()), out.total)) {
            out.stopped = true;
            break;
        }
        out.files.push_back({*entry, UndoJournalEntry(space, trash, *entry)});
    }
    return out;
}

QString UndoSummaryText(const UndoRunResult& result)
{
    if (!result.readError.isEmpty()) {
        return QStringLiteral("この記録は読み取れません: %1").arg(result.readError);
    }
    QStringList lines;
    lines << QStringLiteral("元に戻した %1 件、変換されていなかった %2 件、戻せなかった %3 件")
                 .arg(result.count(UndoOutcome::Done))
                 .arg(result.count(UndoOutcome::NeverDone))
                 .arg(result.count(UndoOutcome::Failed));
    if (result.stopped) {
        lines.last() += QStringLiteral("、中止のため未処理 %1 件")
                            .arg(result.total - static_cast<qsizetype>(result.files.size()));
    }
    for (const UndoneFile& file : result.files) {
        if (file.result.outcome != UndoOutcome::Failed) {
            continue;
        }
        const ConvResult why = ConvResultOfFailure(file.result.error);
        const QString reason =
            why == ConvResult::OtherFailure
                ? ErrorText(file.result.error)
                : ConvResultMessage(why).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
        lines << QStringLiteral("%1 → %2: %3")
                     .arg(ShownPath(PathFromNative(file.entry.to)),
                          ShownName(
                              PathFromNative(file.entry.from.sliced(file.entry.from.lastIndexOf('/') + 1))),
                          reason);
    }
    return lines.join(u'\n');
}

} // namespace calvane
