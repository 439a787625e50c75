#include "rename/ReviewPlan.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "rename/basFileNameControl.h"

#include <QHash>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

/// Whether two files hold the same bytes (both ordinary files).
bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    struct stat sa
    {};
    struct stat sb
    {};
    if (::stat(a.constData(), &sa) != 0 || ::stat(b.constData(), &sb) != 0 || !S_ISREG(sa.st_mode) ||
        !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) {
        return false;
    }
    const WholeFile fa = ReadWholeOrdinaryFile(a);
    const WholeFile fb = ReadWholeOrdinaryFile(b);
    return fa.status == WholeFile::Status::Ok && fb.status == WholeFile::Status::Ok && fa.bytes == fb.bytes;
}

long nameMaxOf(const QByteArray& folder)
{
    const long max = ::pathconf(folder.isEmpty() ? "." : folder.constData(), _PC_NAME_MAX);
    return max > 0 ? max : NAME_MAX;
}

TitleRead readTitle(const QByteArray& path)
{
    try {
        return ReadTitleForRename(path);
    } catch (const std::exception&) {
        return {QString(), CurrentFailure().number()};
    }
}

} // namespace

bool IsProblem(RowStatus status)
{
    return status != RowStatus::WillRename && status != RowStatus::Unchanged;
}

ReviewPlan ReviewPlan::Make(const QByteArray& folder, const ReviewOptions& options,
                            const std::function<bool()>& stop)
{
    ReviewPlan p;
    p.m_options = options;
    p.m_root = folder.endsWith('/') ? folder : folder + '/';
    p.m_batch = CollectBatch({p.m_root}, options.recursive, stop);
    const qsizetype n = p.m_batch.size();
    p.m_rows.resize(static_cast<std::size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        ReviewRow& row = p.m_rows[static_cast<std::size_t>(i)];
        if (p.m_batch.error(i) != 0) {
            row.readError = p.m_batch.error(i);
        } else if (stop()) {
            row.readError = ErrNo::FileNotFound;
        } else {
            const TitleRead read = readTitle(p.folder(i) + p.m_batch.name(i));
            row.title = read.title;
            row.readError = read.error;
        }
        if (i > 0 && (p.folder(i) != p.folder(i - 1) || p.m_batch.error(i) != 0)) {
            p.m_folderEnds.push_back(i);
        }
    }
    if (n > 0) {
        p.m_folderEnds.push_back(n);
    }
    p.planFresh();
    return p;
}

QByteArray ReviewPlan::relativePath(qsizetype i) const
{
    const QByteArray shown =
        m_batch.error(i) != 0 ? m_batch.name(i) : m_batch.shownFolder(i) + m_batch.name(i);
    return shown.startsWith(m_root) ? shown.sliced(m_root.size()) : shown;
}

std::pair<qsizetype, qsizetype> ReviewPlan::folderRange(qsizetype i) const
{
    qsizetype first = 0;
    for (const qsizetype end : m_folderEnds) {
        if (i < end) {
            return {first, end};
        }
        first = end;
    }
    return {first, first};
}

std::pair<qsizetype, qsizetype> ReviewPlan::replanFolderOf(qsizetype i)
{
    const auto range = folderRange(i);
    planRange(range.first, range.second);
    return range;
}

void ReviewPlan::setOptions(const ReviewOptions& options)
{
    m_options = options;
    planFresh();
}

void ReviewPlan::planFresh()
{
    for (ReviewRow& row : m_rows) {
        row.checked = true; // calvane-rename's plan: every row that can be renamed is
    }
    planRange(0, size());
    for (ReviewRow& row : m_rows) {
        row.checked = row.status == RowStatus::WillRename;
    }
}

std::pair<qsizetype, qsizetype> ReviewPlan::setTitle(qsizetype i, const QString& title)
{
    ReviewRow& row = m_rows[static_cast<std::size_t>(i)];
    row.title = title;
    row.edited = true;
    if (row.readError != ErrNo::FileNotFound) {
        row.readError = 0; // a title typed for a file that could not be read is used as it is
    }
    // A corrected title is meant to be used: the row is checked when it can be renamed.
    const bool wasChecked = std::exchange(row.checked, true);
    const auto range = replanFolderOf(i);
    if (row.status != RowStatus::WillRename && !wasChecked) {
        row.checked = false;
        replanFolderOf(i);
    }
    return range;
}

void ReviewPlan::planRange(qsizetype first, qsizetype last)
{
    PlannedRenameSpace plan;
    QHash<QByteArray, qsizetype> takenBy; // new names in the plan, by the row that takes each
    const TitleRenameOptions options = m_options.renameOptions();
    long nameMax = -1;
    for (qsizetype i = first; i < last; ++i) {
        ReviewRow& row = m_rows[static_cast<std::size_t>(i)];
        const QByteArray& folder = this->folder(i);
        const QByteArray name = m_batch.name(i);
        row.clashWith = -1;
        row.refusedAt = -1;
        row.refusedChar = 0;
        row.sameBytes = false;
        if (row.readError != 0) {
            row.plan = UnreadableFile(row.readError);
        } else {
            try {
                row.plan = RenameToGivenTitle(plan, folder, name, row.title, options);
            } catch (const std::exception&) {
                row.plan = UnreadableFile(CurrentFailure().number());
            }
            if (row.plan.result == ConvResult::Renamed && !row.plan.unchanged) {
                if (row.checked) {
                    takenBy.insert(row.plan.newName, i);
                } else {
                    plan.Rename(folder + row.plan.newName, folder + name); // it keeps its name
                }
            }
        }
        switch (row.plan.result) {
        case ConvResult::Renamed:
            row.status = row.plan.unchanged ? RowStatus::Unchanged : RowStatus::WillRename;
            break;
        case ConvResult::NoFile:
            row.status = RowStatus::NoFile;
            break;
        case ConvResult::NoTitle:
            row.status = RowStatus::NoTitle;
            break;
        case ConvResult::RefusedChar: {
            row.status = RowStatus::RefusedChar;
            const ConvOutcome checked = CheckConvTitle(
                PathFromNative(name), m_options.replaceRefused ? ReplaceRefusedChars(row.title) : row.title,
                m_options.settings);
            row.refusedAt = checked.refusedAt;
            if (checked.refusedAt >= 0 && checked.refusedAt < checked.title.size()) {
                row.refusedChar = checked.title.at(checked.refusedAt).unicode();
            }
            break;
        }
        case ConvResult::NameExists: {
            const auto taker = takenBy.constFind(row.plan.wantedName);
            if (taker != takenBy.cend()) {
                row.status = RowStatus::Clash;
                row.clashWith = *taker;
            } else {
                row.status = RowStatus::NameExists;
                row.sameBytes = sameBytes(folder + name, folder + row.plan.wantedName);
            }
            break;
        }
        case ConvResult::AccessFailure:
            if (nameMax < 0) {
                nameMax = nameMaxOf(folder);
            }
            row.status = row.plan.wantedName.isEmpty() || row.plan.wantedName.size() > nameMax
                             ? RowStatus::TooLong
                             : RowStatus::AccessFailure;
            break;
        case ConvResult::OtherFailure:
            row.status = RowStatus::Unreadable;
            break;
        }
    }
}

QString RowStatusText(const ReviewRow& row, const QString& clashName)
{
    switch (row.status) {
    case RowStatus::WillRename:
        return QStringLiteral("変換します");
    case RowStatus::Unchanged:
        return QStringLiteral("すでにこの名前です");
    case RowStatus::NoTitle:
        return QStringLiteral("MIDIタイトルがありません");
    case RowStatus::RefusedChar:
        return QStringLiteral("不正な文字「%1」（%2文字目）")
            .arg(row.refusedChar == u'\r'   ? QStringLiteral("CR")
                 : row.refusedChar == u'\n' ? QStringLiteral("LF")
                 : row.refusedChar == 0     ? QStringLiteral("NUL")
                                            : QString(QChar(row.refusedChar)))
            .arg(row.refusedAt + 1);
    case RowStatus::NameExists:
        return row.sameBytes ? QStringLiteral("同名のファイルが存在します（内容も同じ）")
                             : QStringLiteral("同名のファイルが存在します（内容は別）");
    case RowStatus::Clash:
        return QStringLiteral("「%1」と同じ名前になります").arg(clashName);
    case RowStatus::TooLong:
        return QStringLiteral("名前が長すぎます");
    case RowStatus::AccessFailure:
        return QStringLiteral("ファイルにアクセスできません");
    case RowStatus::NoFile:
        return QStringLiteral("ファイルがありません");
    case RowStatus::Unreadable:
        return QStringLiteral("読み取れません（%1）").arg(ErrorText(row.plan.error));
    }
    return {};
}

QString RowOutcomeText(const ReviewRow& row)
{
    switch (row.outcome) {
    case RowOutcome::NotRun:
        return {};
    case RowOutcome::Renamed:
        return QStringLiteral("変換しました");
    case RowOutcome::Unchanged:
        return QStringLiteral("変更なし");
    case RowOutcome::NotReached:
        return QStringLiteral("中止のため未処理");
    case RowOutcome::Failed:
        break;
    }
    QString why =
        ConvResultMessage(row.done.result).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
    if (row.done.error != 0) {
        why = ErrorText(row.done.error);
    }
    return QStringLiteral("失敗: %1").arg(why);
}

} // namespace calvane
