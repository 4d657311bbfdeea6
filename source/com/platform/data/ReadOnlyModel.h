#pragma once

#include "com_global.h"

#include <QIdentityProxyModel>

namespace Platform {

// A model as a pick grid shows it: nothing can be changed from the view, the
// check boxes of Boolean cells included, whatever the table underneath allows
// (a read makes its table writable while it fills it).
class COM_EXPORT ReadOnlyModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
};

} // namespace Platform
