#pragma once

#include "com_global.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
struct QMetaObject;

namespace Platform {

// Screen classes by name, so that a menu entry naming "TCustomerListFrm" can
// create one. Module plugins register their classes when they load and
// unregister them when they unload. Names are matched without regard to case.
class COM_EXPORT ClassRegistry
{
public:
    using Factory = std::function<QWidget *(QWidget *owner)>;

    struct Entry
    {
        QString name;
        const QMetaObject *metaObject = nullptr;
        Factory create;
    };

    static ClassRegistry &instance();

    // Raises DuplicateKeyError when the name is taken.
    void registerClass(const QString &name, const QMetaObject *metaObject, Factory factory);
    template<typename T> void registerClass(const QString &name)
    {
        registerClass(name, &T::staticMetaObject, [](QWidget *owner) -> QWidget * { return new T(owner); });
    }
    // Unknown names are ignored.
    void unregisterClass(const QString &name);

    // nullptr when nothing is registered under the name.
    const Entry *find(const QString &name) const;
    // Raises NotFoundError when nothing is registered under the name.
    const Entry &get(const QString &name) const;
    bool contains(const QString &name) const { return find(name) != nullptr; }
    QStringList names() const;

private:
    ClassRegistry() = default;
    QList<Entry> m_entries;
};

} // namespace Platform
