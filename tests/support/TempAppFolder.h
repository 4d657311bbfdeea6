#pragma once

#include <QTemporaryDir>
#include <QString>

// A throw-away program folder: app.conf, lang.ini, updates.json and the rest
// are read from and written to it while it lives.
class TempAppFolder
{
public:
    TempAppFolder();
    ~TempAppFolder();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &content) const;
    QByteArray read(const QString &name) const;
    bool exists(const QString &name) const;

private:
    QTemporaryDir m_dir;
};
