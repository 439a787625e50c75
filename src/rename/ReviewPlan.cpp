#include "rename/ReviewPlan.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "rename/TrashSpace.h"
#include "rename/basFileNameControl.h"

#include <QHash>

namespace calvane {
namespace {

TitleRead readTitle(const QByteArray& path, TextEncoding encoding)
{
    try {
        return ReadTitleForRename(path, encoding);
    } catch (const std::exception&) {
        return {QString(), CurrentFailure().number(), {}, false};
    }
}

/// A refused character as the list names it: a control character by its name or number.
QString refusedCharName(char16_t c)
{
    switch (c) {
    case 0:
        return QStringLiteral("NUL");
    case u'\t':
        return QStringLiteral("TAB");
    case u'\n':
        return QStringLiteral("LF");
    case u'\r':
        return QStringLiteral("CR");
    case 0x7F:
        return QStringLiteral("DEL");
    default:
        return c < 0x20 ? QStringLiteral("U+%1").arg(int(c), 4, 16, QLatin1Char('0')).toUpper()
                        : QString(QChar(c));
    }
}

} // namespace

bool IsProblem(RowStatus status)
{
    return status != RowStatus::WillRename && status != RowStatus::Unchanged &&
           status != RowStatus::WillTrash;
}

ReviewPlan ReviewPlan::Make(const QByteArray& folder, const ReviewOptions& options,
                            const std::function<bool()>& stop)
{
    ReviewPlan p;
    p.m_options = options;
    p.m_root = folder.endsWith('/') ? folder : folder + '/';
    p.m_batch = CollectBatch({p.m_root}, options.recursive, stop, options.extensions);
    const qsizetype n = p.m_batch.size();
    p.m_rows.resize(static_cast<std::size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        ReviewRow& row = p.m_rows[static_cast<std::size_t>(i)];
        if (p.m_batch.error(i) != 0) {
            row.readError = p.m_batch.error(i);
        } else if (stop()) {
            row.readError = ErrNo::FileNotFound;
        } else {
            TitleRead read = readTitle(p.folder(i) + p.m_batch.name(i), options.encoding);
            row.title = std::move(read.title);
            row.titleBytes = std::move(read.bytes);
            row.readError = read.error;
            row.mayBeEucJp = read.mayBeEucJp;
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
    const bool readingChanged = options.encoding != m_options.encoding;
    m_options = options;
    if (readingChanged) {
        for (ReviewRow& row : m_rows) {
            if (!row.reading && !row.edited) {
                readAgain(row);
            }
        }
    }
    planFresh();
}

void ReviewPlan::readAgain(ReviewRow& row)
{
    if (row.readError != 0) {
        return;
    }
    const TextEncoding reading = row.reading.value_or(m_options.encoding);
    row.title = DecodeText(row.titleBytes, reading);
    row.mayBeEucJp = MayBeEucJp(row.titleBytes, reading);
}

void ReviewPlan::setReading(qsizetype i, std::optional<TextEncoding> reading)
{
    ReviewRow& row = m_rows[static_cast<std::size_t>(i)];
    row.reading = reading;
    row.edited = false;
    readAgain(row);
}

void ReviewPlan::planFresh()
{
    for (ReviewRow& row : m_rows) {
        row.checked = true; // calvane-rename's plan: every row that can be renamed is
    }
    planRange(0, size());
    for (ReviewRow& row : m_rows) {
        row.checked = row.status == RowStatus::WillRename || row.status == RowStatus::WillTrash;
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
    PlannedTrashSpace trash(plan);
    QHash<QByteArray, qsizetype> takenBy; // new names in the plan, by the row that takes each
    const TitleRenameOptions options = m_options.renameOptions();
    for (qsizetype i = first; i < last; ++i) {
        ReviewRow& row = m_rows[static_cast<std::size_t>(i)];
        const QByteArray& folder = this->folder(i);
        const QByteArray name = m_batch.name(i);
        row.clashWith = -1;
        row.refusedAt = -1;
        row.refusedChar = 0;
        if (row.readError != 0) {
            row.plan = UnreadableFile(row.readError);
        } else {
            try {
                row.plan = RenameToGivenTitle(plan, folder, name, row.title, options, &trash);
            } catch (const std::exception&) {
                row.plan = UnreadableFile(CurrentFailure().number());
            }
            if (row.plan.result == ConvResult::Renamed && !row.plan.unchanged) {
                if (row.checked) {
                    takenBy.insert(row.plan.newName, i);
                } else {
                    plan.Rename(folder + row.plan.newName, folder + name); // it keeps its name
                }
            } else if (row.plan.trashed && !row.checked) {
                plan.PutBack(folder + name); // it stays
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
            if (row.plan.trashed) {
                row.status = RowStatus::WillTrash;
            } else if (taker != takenBy.cend()) {
                row.status = RowStatus::Clash;
                row.clashWith = *taker;
            } else {
                row.status = RowStatus::NameExists;
            }
            break;
        }
        case ConvResult::TitleTooLong:
            row.status = RowStatus::TooLong;
            break;
        case ConvResult::AccessFailure:
            row.status = RowStatus::AccessFailure;
            break;
        case ConvResult::OtherFailure:
            row.status = RowStatus::Unreadable;
            break;
        }
    }
}

QString RowStatusText(const ReviewRow& row, const QString& clashName, const QString& identicalName)
{
    const bool identical = !row.plan.identicalTo.isEmpty();
    QString text;
    switch (row.status) {
    case RowStatus::WillRename:
        text = QStringLiteral("変換します");
        if (identical) {
            text += QStringLiteral("（「%1」と同じ内容）").arg(identicalName);
        }
        break;
    case RowStatus::WillTrash:
        text = QStringLiteral("ごみ箱へ移します（「%1」と同じ内容）").arg(identicalName);
        break;
    case RowStatus::Unchanged:
        text = QStringLiteral("すでにこの名前です");
        break;
    case RowStatus::NoTitle:
        text = QStringLiteral("MIDIタイトルがありません");
        break;
    case RowStatus::RefusedChar:
        text = QStringLiteral("不正な文字「%1」（%2文字目）")
                   .arg(refusedCharName(row.refusedChar))
                   .arg(row.refusedAt + 1);
        break;
    case RowStatus::NameExists:
        text = identical ? QStringLiteral("同名のファイルが存在します（内容も同じ）")
                         : QStringLiteral("同名のファイルが存在します（内容は別）");
        break;
    case RowStatus::Clash:
        text = QStringLiteral("「%1」と同じ名前になります").arg(clashName);
        if (identical) {
            text += QStringLiteral("（内容も同じ）");
        }
        break;
    case RowStatus::TooLong:
        text = ConvResultMessage(ConvResult::TitleTooLong, row.plan.tooLongBy);
        break;
    case RowStatus::AccessFailure:
        text = QStringLiteral("ファイルにアクセスできません");
        break;
    case RowStatus::NoFile:
        text = QStringLiteral("ファイルがありません");
        break;
    case RowStatus::Unreadable:
        text = QStringLiteral("読み取れません（%1）").arg(ErrorText(row.plan.error));
        break;
    }
    if (row.mayBeEucJp) {
        text += QStringLiteral("（EUC-JPなら「%1」）").arg(DecodeText(row.titleBytes, TextEncoding::EucJp));
    }
    return text;
}

QString RowOutcomeText(const ReviewRow& row)
{
    switch (row.outcome) {
    case RowOutcome::NotRun:
        return {};
    case RowOutcome::Renamed:
        return QStringLiteral("変換しました");
    case RowOutcome::Trashed:
        return QStringLiteral("ごみ箱へ移しました");
    case RowOutcome::Unchanged:
        return QStringLiteral("変更なし");
    case RowOutcome::NotReached:
        return QStringLiteral("中止のため未処理");
    case RowOutcome::Failed:
        break;
    }
    QString why = ConvResultMessage(row.done.result, row.done.tooLongBy)
                      .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                      .trimmed();
    if (row.done.error != 0) {
        why = ErrorText(row.done.error);
    }
    return QStringLiteral("失敗: %1").arg(why);
}

} // namespace calvane
