#pragma once

#include "platform/NameList.h"

#include <QAbstractListModel>

namespace calvane {

/// A list view's rows over a NameList: one row per name, its shown text as the
/// display text; nothing is made per row until a row is drawn. A list of many
/// entries takes a NameList whole (setNames) and shows it with uniform item sizes.
class NameListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    /// Replaces every row (a model reset: the view keeps no selection).
    void setNames(NameList names);
    const NameList& names() const { return m_names; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    NameList m_names;
};

} // namespace calvane
