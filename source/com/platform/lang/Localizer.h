#pragma once

#include "com_global.h"

#include <QHash>
#include <QObject>
#include <QStringList>

namespace Platform {

// Reads the language file and switches the active language. The file is an
// INI text with one section per language, in order (index 0 is the first):
//
//   [id_ID]
//   LanguageName=Bahasa Indonesia
//   sMsgSaved=Data telah disimpan.
//
// Index -1 selects the built-in English texts.
class COM_EXPORT Localizer : public QObject
{
    Q_OBJECT
public:
    explicit Localizer(QObject *parent = nullptr);

    // A relative name is taken from the program's folder. The file is read
    // on first use after the localizer is turned on, so that a localizer can
    // be made before the application object exists.
    void setFileName(const QString &fileName);
    QString fileName() const { return m_fileName; }

    // A missing file leaves no languages.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    // Reads the file again (after it was replaced).
    void reload();

    QStringList languages() const;
    QString languageName(int index) const;

    int languageIndex() const { return m_languageIndex; }
    // Installs that language's texts and tells the listeners. An index
    // outside the list selects the built-in texts.
    void setLanguageIndex(int index);

    // The translation of a name in a language, or an empty string.
    QString translation(int languageIndex, const QString &name) const;

Q_SIGNALS:
    void languageChanged(int index);

private:
    void ensureLoaded() const;
    void load() const;

    QString m_fileName;
    bool m_active = false;
    int m_languageIndex = -1;
    mutable bool m_loaded = false;
    mutable QStringList m_languageCodes;
    mutable QStringList m_languageNames;
    mutable QList<QHash<QString, QString>> m_texts;
};

} // namespace Platform
