#include "ReadOnlyModel.h"

namespace Platform {

Qt::ItemFlags ReadOnlyModel::flags(const QModelIndex &index) const
{
    return QIdentityProxyModel::flags(index) & ~(Qt::ItemIsEditable | Qt::ItemIsUserCheckable | Qt::ItemIsUserTristate);
}

bool ReadOnlyModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Q_UNUSED(index)
    Q_UNUSED(value)
    Q_UNUSED(role)
    return false;
}

} // namespace Platform
