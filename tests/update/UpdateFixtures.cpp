#include "UpdateFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

namespace UpdateFixtures {

QByteArray makeZip(const QList<ZipItem> &items)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        qFatal("cannot create a zip archive");
    for (const ZipItem &item : items) {
        QuaZipNewInfo info(item.name);
        // a Unix symbolic link or a plain file
        info.externalAttr = (item.isLink ? quint32(0120777) : quint32(0100644)) << 16;
        QuaZipFile out(&zip);
        if (!out.open(QIODevice::WriteOnly, info))
            qFatal("cannot add an entry to a zip archive");
        out.write(item.content);
        out.close();
    }
    zip.close();
    return bytes;
}

QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> result;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString relative = base.relativeFilePath(path);
        if (info.isSymLink())
            result.insert(relative, "<link> " + info.symLinkTarget().toUtf8());
        else if (info.isDir())
            result.insert(relative, "<folder>");
        else
            result.insert(relative, readFile(path));
    }
    return result;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write a fixture file");
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace UpdateFixtures
