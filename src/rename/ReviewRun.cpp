#include "rename/ReviewRun.h"

#include "errors/RuntimeError.h"
#include "rename/ReviewPlan.h"

#include <QStringList>

namespace calvane {
namespace {

QString reasonText(ConvResult result)
{
    switch (result) {
    case ConvResult::NoFile:
        return QStringLiteral("ファイルがない");
    case ConvResult::NoTitle:
        return QStringLiteral("タイトルがない");
    case ConvResult::RefusedChar:
        return QStringLiteral("不正な文字");
    case ConvResult::NameExists:
        return QStringLiteral("同名のファイルがある");
    case ConvResult::AccessFailure:
        return QStringLiteral("アクセスできない");
    case ConvResult::TitleTooLong:
        return QStringLiteral("タイトルが長すぎる");
    case ConvResult::OtherFailure:
    case ConvResult::Renamed:
        break;
    }
    return QStringLiteral("その他のエラー");
}

} // namespace

qsizetype RunTally::failedCount() const
{
    qsizetype total = 0;
    for (const auto& [result, count] : failed) {
        total += count;
    }
    return total;
}

RunTally ApplyReviewPlan(ReviewPlan& plan, RenameSpace& space, TrashSpace* trash, const BetweenFiles& between)
{
    RunTally tally;
    qsizetype total = 0;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        ReviewRow& row = plan.rowForRun(i);
        row.outcome = RowOutcome::NotRun;
        total += row.checked ? 1 : 0;
    }
    const TitleRenameOptions options = plan.options().renameOptions();
    qsizetype done = 0;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        ReviewRow& row = plan.rowForRun(i);
        if (!row.checked) {
            continue;
        }
        if (tally.stopped || !between(done, total)) {
            tally.stopped = true;
            row.outcome = RowOutcome::NotReached;
            ++tally.notReached;
            continue;
        }
        if (row.readError != 0) {
            row.done = UnreadableFile(row.readError);
        } else {
            try {
                row.done = RenameToGivenTitle(space, plan.folder(i), plan.name(i), row.title, options, trash);
            } catch (const std::exception&) {
                row.done = UnreadableFile(CurrentFailure().number());
            }
        }
        if (row.done.result == ConvResult::Renamed) {
            row.outcome = row.done.unchanged ? RowOutcome::Unchanged : RowOutcome::Renamed;
            ++(row.done.unchanged ? tally.unchanged : tally.renamed);
        } else if (row.done.trashed) {
            row.outcome = RowOutcome::Trashed;
            ++tally.trashed;
        } else {
            row.outcome = RowOutcome::Failed;
            ++tally.failed[row.done.result];
        }
        ++done;
    }
    return tally;
}

QString RunSummaryText(const RunTally& tally)
{
    QString text = QStringLiteral("変換 %1 件、").arg(tally.renamed);
    if (tally.trashed > 0) {
        text += QStringLiteral("ごみ箱へ %1 件、").arg(tally.trashed);
    }
    text += QStringLiteral("変更なし %1 件、失敗 %2 件").arg(tally.unchanged).arg(tally.failedCount());
    if (!tally.failed.empty()) {
        QStringList reasons;
        for (const auto& [result, count] : tally.failed) {
            reasons << QStringLiteral("%1 %2 件").arg(reasonText(result)).arg(count);
        }
        text += QStringLiteral("（%1）").arg(reasons.join(QStringLiteral("、")));
    }
    if (tally.stopped) {
        text += QStringLiteral("、中止のため未処理 %1 件").arg(tally.notReached);
    }
    return text;
}

} // namespace calvane
