#include "gui/widgets/NameListModel.h"

namespace calvane {

void NameListModel::setNames(NameList names)
{
    beginResetModel();
    m_names = std::move(names);
    endResetModel();
}

int NameListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_names.size());
}

QVariant NameListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_names.size()) {
        return {};
    }
    return m_names.shown(index.row()).toString();
}

} // namespace calvane
