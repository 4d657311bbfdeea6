#pragma once

#include "com_global.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace Platform {

// A named text with its built-in English wording. Its current-language text
// is fetched each time it is needed, never kept.
struct COM_EXPORT ResourceString
{
    const char *name;
    const char *english;

    QString text() const;
    QString englishText() const { return QString::fromUtf8(english); }
    QString nameText() const { return QString::fromLatin1(name); }
};

// Told when the active language changes; re-applies its captions there.
// A listener joins with addListener() and leaves by itself when destroyed.
class COM_EXPORT LocalizerListener
{
public:
    virtual ~LocalizerListener();
    virtual void TranslationChanged() = 0;
};

// Products (named lists of resource strings), the translations of the active
// language, and the listeners to tell when that language changes.
class COM_EXPORT ResourceStringRepository
{
public:
    static ResourceStringRepository &instance();

    void registerProduct(const QString &product, QList<const ResourceString *> strings);
    void unregisterProduct(const QString &product);
    bool hasProduct(const QString &product) const;
    QList<const ResourceString *> strings(const QString &product) const;
    // The registered products' names, in the order they were registered.
    QStringList products() const;
    // nullptr when no registered product holds the name.
    const ResourceString *find(const QString &name) const;

    void addListener(LocalizerListener *listener);
    void removeListener(LocalizerListener *listener);

    // Translations by resource-string name, matched without regard to case
    // as in the language file; empty means the built-in texts. Listeners are
    // told afterwards.
    void setTranslations(const QHash<QString, QString> &translations);
    QString text(const ResourceString &s) const;

private:
    ResourceStringRepository() = default;
    struct Product
    {
        QString name;
        QList<const ResourceString *> strings;
    };
    QList<Product> m_products;
    QList<LocalizerListener *> m_listeners;
    QHash<QString, QString> m_translations;
};

} // namespace Platform
