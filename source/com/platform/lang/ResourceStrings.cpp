#include "ResourceStrings.h"

namespace Platform {

QString ResourceString::text() const
{
    return ResourceStringRepository::instance().text(*this);
}

LocalizerListener::~LocalizerListener()
{
    // A listener that forgot to leave must not be called after its death.
    ResourceStringRepository::instance().removeListener(this);
}

ResourceStringRepository &ResourceStringRepository::instance()
{
    static ResourceStringRepository repository;
    return repository;
}

void ResourceStringRepository::registerProduct(const QString &product, QList<const ResourceString *> strings)
{
    unregisterProduct(product);
    m_products.append(Product { product, std::move(strings) });
}

void ResourceStringRepository::unregisterProduct(const QString &product)
{
    m_products.removeIf([&](const Product &p) { return p.name == product; });
}

bool ResourceStringRepository::hasProduct(const QString &product) const
{
    for (const Product &p : m_products) {
        if (p.name == product)
            return true;
    }
    return false;
}

QList<const ResourceString *> ResourceStringRepository::strings(const QString &product) const
{
    for (const Product &p : m_products) {
        if (p.name == product)
            return p.strings;
    }
    return {};
}

const ResourceString *ResourceStringRepository::find(const QString &name) const
{
    const QByteArray latin = name.toLatin1();
    for (const Product &p : m_products) {
        for (const ResourceString *s : p.strings) {
            if (latin == s->name)
                return s;
        }
    }
    return nullptr;
}

void ResourceStringRepository::addListener(LocalizerListener *listener)
{
    if (listener && !m_listeners.contains(listener))
        m_listeners.append(listener);
}

void ResourceStringRepository::removeListener(LocalizerListener *listener)
{
    m_listeners.removeAll(listener);
}

QStringList ResourceStringRepository::products() const
{
    QStringList names;
    for (const Product &p : m_products)
        names.append(p.name);
    return names;
}

void ResourceStringRepository::setTranslations(const QHash<QString, QString> &translations)
{
    // a language file's names are case-insensitive: "sLabelCity" of a module
    // is the file's "slabelCity"
    m_translations.clear();
    for (auto it = translations.cbegin(); it != translations.cend(); ++it)
        m_translations.insert(it.key().toLower(), it.value());
    // a listener may remove itself (or another) while being told
    const QList<LocalizerListener *> listeners = m_listeners;
    for (LocalizerListener *l : listeners) {
        if (m_listeners.contains(l))
            l->TranslationChanged();
    }
}

QString ResourceStringRepository::text(const ResourceString &s) const
{
    if (!m_translations.isEmpty()) {
        const auto it = m_translations.constFind(QString::fromLatin1(s.name).toLower());
        if (it != m_translations.constEnd())
            return *it;
    }
    return s.englishText();
}

} // namespace Platform
