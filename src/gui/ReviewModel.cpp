#include "gui/ReviewModel.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace calvane {
namespace {

/// A title as the cell shows it: the NULs that end it (which the rename drops) left
/// out, every other control character as its visible picture (␀, ␉, ␛...).
QString visibleTitle(QString title)
{
    while (title.endsWith(QChar(u'\0'))) {
        title.chop(1);
    }
    for (QChar& c : title) {
        if (c.unicode() < 0x20) {
            c = QChar(char16_t(0x2400 + c.unicode()));
        } else if (c.unicode() == 0x7F) {
            c = QChar(u'\u2421');
        }
    }
    return title;
}

QString shown(const QByteArray& native)
{
    return ShownPath(PathFromNative(native));
}

} // namespace

ReviewModel::ReviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void ReviewModel::setPlan(ReviewPlan plan)
{
    beginResetModel();
    m_plan = std::move(plan);
    endResetModel();
}

void ReviewModel::allChanged()
{
    if (m_plan.size() > 0) {
        emit dataChanged(index(0, 0), index(static_cast<int>(m_plan.size()) - 1, ColumnCount - 1));
    }
}

void ReviewModel::rangeChanged(std::pair<qsizetype, qsizetype> range)
{
    if (range.second > range.first) {
        emit dataChanged(index(static_cast<int>(range.first), 0),
                         index(static_cast<int>(range.second) - 1, ColumnCount - 1));
    }
}

void ReviewModel::setChecked(const std::vector<qsizetype>& rows, bool checked)
{
    if (m_readOnly || rows.empty()) {
        return;
    }
    for (const qsizetype row : rows) {
        m_plan.setChecked(row, checked);
    }
    replanFoldersOf(rows);
}

void ReviewModel::setReading(const std::vector<qsizetype>& rows, std::optional<TextEncoding> reading)
{
    if (m_readOnly || rows.empty()) {
        return;
    }
    for (const qsizetype row : rows) {
        m_plan.setReading(row, reading);
    }
    replanFoldersOf(rows);
}

void ReviewModel::replanFoldersOf(std::vector<qsizetype> rows)
{
    std::sort(rows.begin(), rows.end());
    // Each folder once: the rows after a row see what it does in the plan.
    qsizetype planned = -1;
    for (const qsizetype row : rows) {
        if (row >= planned) {
            const auto range = m_plan.replanFolderOf(row);
            planned = range.second;
            rangeChanged(range);
        }
    }
}

int ReviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_plan.size());
}

int ReviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ReviewModel::text(qsizetype row, int column) const
{
    const ReviewRow& r = m_plan.row(row);
    switch (column) {
    case FileColumn:
        return shown(m_plan.relativePath(row));
    case TitleColumn:
        return visibleTitle(r.title);
    case NewNameColumn: {
        const bool ran = r.outcome == RowOutcome::Renamed || r.outcome == RowOutcome::Trashed ||
                         r.outcome == RowOutcome::Failed;
        const FileRename& f = ran ? r.done : r.plan;
        if (f.trashed) {
            return QStringLiteral("（ごみ箱）");
        }
        return shown(f.result == ConvResult::Renamed ? f.newName : f.wantedName);
    }
    case StatusColumn:
        if (r.outcome != RowOutcome::NotRun) {
            return RowOutcomeText(r);
        }
        return RowStatusText(r, r.clashWith >= 0 ? shown(m_plan.relativePath(r.clashWith)) : QString(),
                             shown(r.plan.identicalTo));
    default:
        return {};
    }
}

QVariant ReviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_plan.size()) {
        return {};
    }
    const qsizetype row = index.row();
    const ReviewRow& r = m_plan.row(row);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text(row, index.column());
    case Qt::EditRole:
        return index.column() == TitleColumn ? QVariant(r.title) : QVariant(text(row, index.column()));
    case Qt::CheckStateRole:
        if (index.column() == FileColumn) {
            return r.checked ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    case Qt::ForegroundRole:
        if (index.column() != StatusColumn) {
            return {};
        }
        if (r.outcome == RowOutcome::Failed || (r.outcome == RowOutcome::NotRun && IsProblem(r.status))) {
            return QBrush(QColor(0xB0, 0x00, 0x20));
        }
        if (r.outcome == RowOutcome::Renamed || r.outcome == RowOutcome::Trashed) {
            return QBrush(QColor(0x00, 0x70, 0x20));
        }
        return {};
    case ProblemRole:
        return r.outcome == RowOutcome::Failed || IsProblem(r.status) || r.mayBeEucJp;
    default:
        return {};
    }
}

bool ReviewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || m_readOnly) {
        return false;
    }
    const qsizetype row = index.row();
    if (role == Qt::CheckStateRole && index.column() == FileColumn) {
        setChecked({row}, value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole && index.column() == TitleColumn) {
        const QString title = value.toString();
        if (title == m_plan.row(row).title) {
            return false;
        }
        rangeChanged(m_plan.setTitle(row, title));
        return true;
    }
    return false;
}

Qt::ItemFlags ReviewModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid() || m_readOnly) {
        return flags;
    }
    if (index.column() == FileColumn) {
        flags |= Qt::ItemIsUserCheckable;
    } else if (index.column() == TitleColumn) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

QVariant ReviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case FileColumn:
        return QStringLiteral("ファイル名");
    case TitleColumn:
        return QStringLiteral("MIDIタイトル");
    case NewNameColumn:
        return QStringLiteral("新しい名前");
    case StatusColumn:
        return QStringLiteral("状態");
    default:
        return {};
    }
}

ReviewFilter::ReviewFilter(QObject* parent) : QSortFilterProxyModel(parent)
{
    // Rows stay where they are while the user edits or checks them; a new sort or
    // filter places them again.
    setDynamicSortFilter(false);
}

void ReviewFilter::setText(const QString& text)
{
    m_text = text;
    invalidateFilter();
}

void ReviewFilter::setProblemsOnly(bool problemsOnly)
{
    m_problemsOnly = problemsOnly;
    invalidateFilter();
}

bool ReviewFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const auto* model = static_cast<const ReviewModel*>(sourceModel());
    if (m_problemsOnly && !model->index(sourceRow, 0, sourceParent).data(ReviewModel::ProblemRole).toBool()) {
        return false;
    }
    if (m_text.isEmpty()) {
        return true;
    }
    for (int column = 0; column < ReviewModel::ColumnCount; ++column) {
        if (model->text(sourceRow, column).contains(m_text, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

bool ReviewFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const auto* model = static_cast<const ReviewModel*>(sourceModel());
    const int byText = QString::compare(model->text(left.row(), left.column()),
                                        model->text(right.row(), right.column()), Qt::CaseInsensitive);
    return byText != 0 ? byText < 0 : left.row() < right.row(); // equal texts keep the folder's order
}

} // namespace calvane
