#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace Platform {

namespace {
QString &folderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString applicationFolder()
{
    QString folder = folderOverride();
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void setApplicationFolder(const QString &folder)
{
    folderOverride() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString applicationFilePath()
{
    return QCoreApplication::applicationFilePath();
}

} // namespace Platform
