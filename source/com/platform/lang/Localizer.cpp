#include "Localizer.h"
#include "AppPaths.h"
#include "IniFile.h"
#include "ResourceStrings.h"

#include <QDir>

namespace Platform {

Localizer::Localizer(QObject *parent)
    : QObject(parent)
{ }

void Localizer::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    m_loaded = false;
}

void Localizer::setActive(bool active)
{
    m_active = active;
    m_loaded = false;
    if (!active && m_languageIndex != -1)
        setLanguageIndex(-1);
}

void Localizer::reload()
{
    m_loaded = false;
    ensureLoaded();
}

void Localizer::ensureLoaded() const
{
    if (!m_loaded)
        load();
}

void Localizer::load() const
{
    m_loaded = true;
    m_languageCodes.clear();
    m_languageNames.clear();
    m_texts.clear();
    if (!m_active || m_fileName.isEmpty())
        return;
    const QString path = QDir::isAbsolutePath(m_fileName) ? m_fileName : applicationFolder() + m_fileName;
    const IniFile ini = IniFile::fromFile(path);
    const QStringList sections = ini.sections();
    for (const QString &section : sections) {
        QHash<QString, QString> texts;
        const QStringList keys = ini.keys(section);
        // keyed in lower case: the file's names are case-insensitive
        for (const QString &key : keys)
            texts.insert(key.toLower(), ini.readString(section, key));
        m_languageCodes.append(section);
        m_languageNames.append(texts.value(QStringLiteral("languagename"), section));
        m_texts.append(texts);
    }
}

QStringList Localizer::languages() const
{
    ensureLoaded();
    return m_languageCodes;
}

QString Localizer::languageName(int index) const
{
    ensureLoaded();
    return index >= 0 && index < m_languageNames.size() ? m_languageNames.at(index) : QString();
}

void Localizer::setLanguageIndex(int index)
{
    ensureLoaded();
    if (index < 0 || index >= m_texts.size())
        index = -1;
    m_languageIndex = index;
    ResourceStringRepository::instance().setTranslations(index < 0 ? QHash<QString, QString>() : m_texts.at(index));
    Q_EMIT languageChanged(index);
}

QString Localizer::translation(int languageIndex, const QString &name) const
{
    ensureLoaded();
    if (languageIndex < 0 || languageIndex >= m_texts.size())
        return {};
    return m_texts.at(languageIndex).value(name.toLower());
}

} // namespace Platform
