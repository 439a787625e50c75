#pragma once

#include "rename/ReviewPlan.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <optional>
#include <vector>

namespace calvane {

/// The review list's rows as a table over the plan: no item or object per row,
/// every cell answered from the plan's compact rows. Column 0 holds the check.
class ReviewModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        FileColumn,
        TitleColumn,
        NewNameColumn,
        StatusColumn,
        ColumnCount
    };
    /// Whether a row is a problem (its word, or its outcome after a run), or has a hint.
    static constexpr int ProblemRole = Qt::UserRole + 1;

    explicit ReviewModel(QObject* parent = nullptr);

    /// Shows this plan from now on.
    void setPlan(ReviewPlan plan);
    ReviewPlan& plan() { return m_plan; }
    /// While a run is on, nothing can be checked or edited.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    /// Checks or unchecks the rows and plans their folders again.
    void setChecked(const std::vector<qsizetype>& rows, bool checked);
    /// Gives the rows their own reading (none: the list's) and plans their folders again.
    void setReading(const std::vector<qsizetype>& rows, std::optional<TextEncoding> reading);
    /// Every row may show something else (after a run, or new options).
    void allChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The text a cell shows.
    QString text(qsizetype row, int column) const;

private:
    void rangeChanged(std::pair<qsizetype, qsizetype> range);
    /// Plans the folders of the rows again, each once, and says which rows changed.
    void replanFoldersOf(std::vector<qsizetype> rows);

    ReviewPlan m_plan;
    bool m_readOnly = false;
};

/// Sorting by any column, the filter box's text in any cell (letter case aside),
/// and the rows with a problem only.
class ReviewFilter final : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ReviewFilter(QObject* parent = nullptr);

    void setText(const QString& text);
    void setProblemsOnly(bool problemsOnly);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString m_text;
    bool m_problemsOnly = false;
};

} // namespace calvane
