#include "ClassRegistry.h"
#include "Errors.h"

namespace Platform {

ClassRegistry &ClassRegistry::instance()
{
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerClass(const QString &name, const QMetaObject *metaObject, Factory factory)
{
    if (find(name))
        throw DuplicateKeyError(QStringLiteral("Class %1 is already registered").arg(name));
    m_entries.append(Entry { name, metaObject, std::move(factory) });
}

void ClassRegistry::unregisterClass(const QString &name)
{
    m_entries.removeIf([&](const Entry &e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
}

const ClassRegistry::Entry *ClassRegistry::find(const QString &name) const
{
    for (const Entry &e : m_entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

const ClassRegistry::Entry &ClassRegistry::get(const QString &name) const
{
    if (const Entry *e = find(name))
        return *e;
    throw NotFoundError(QStringLiteral("Class %1 not found").arg(name));
}

QStringList ClassRegistry::names() const
{
    QStringList result;
    for (const Entry &e : m_entries)
        result.append(e.name);
    return result;
}

} // namespace Platform
