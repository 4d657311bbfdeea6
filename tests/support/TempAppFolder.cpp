#include "TempAppFolder.h"

#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempAppFolder::TempAppFolder()
{
    Platform::setApplicationFolder(m_dir.path());
}

TempAppFolder::~TempAppFolder()
{
    Platform::setApplicationFolder(QString());
}

void TempAppFolder::write(const QString &name, const QByteArray &content) const
{
    const QString p = filePath(name);
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

QByteArray TempAppFolder::read(const QString &name) const
{
    QFile f(filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TempAppFolder::exists(const QString &name) const
{
    return QFileInfo::exists(filePath(name));
}
