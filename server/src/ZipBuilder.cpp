#include "ZipBuilder.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace {

void addFile(QuaZip &zip, const QString &filePath, const QString &entryName)
{
    QFile in(filePath);
    if (!in.open(QIODevice::ReadOnly))
        throw ZipError(QStringLiteral("cannot read %1: %2").arg(filePath, in.errorString()));
    QuaZipFile out(&zip);
    if (!out.open(QIODevice::WriteOnly, QuaZipNewInfo(entryName, filePath)))
        throw ZipError(QStringLiteral("cannot add %1 to the archive (%2)").arg(entryName).arg(out.getZipError()));
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(64 * 1024);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw ZipError(QStringLiteral("cannot read %1: %2").arg(filePath, in.errorString()));
        if (out.write(chunk) != chunk.size())
            throw ZipError(QStringLiteral("cannot write %1 into the archive").arg(entryName));
    }
    out.close();
    if (out.getZipError() != 0)
        throw ZipError(QStringLiteral("cannot finish %1 in the archive (%2)").arg(entryName).arg(out.getZipError()));
}

} // namespace

QByteArray buildZip(const QString &sourcePath, const QString &entryName, const QStringList &excluded)
{
    const QFileInfo source(sourcePath);
    if (!source.exists())
        throw ZipError(QStringLiteral("%1 does not exist").arg(sourcePath));

    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        QuaZip zip(&buffer);
        if (!zip.open(QuaZip::mdCreate))
            throw ZipError(QStringLiteral("cannot create an archive (%1)").arg(zip.getZipError()));
        if (source.isDir()) {
            const QDir root(source.absoluteFilePath());
            QDirIterator it(root.absolutePath(), QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                            QDirIterator::Subdirectories);
            QStringList files;
            while (it.hasNext()) {
                const QString file = it.next();
                if (!excluded.contains(QFileInfo(file).canonicalFilePath()))
                    files << file;
            }
            // stable entry order, whatever the file system lists first
            files.sort();
            for (const QString &file : std::as_const(files))
                addFile(zip, file, root.relativeFilePath(file));
        } else {
            addFile(zip, source.absoluteFilePath(), entryName);
        }
        zip.close();
        if (zip.getZipError() != 0)
            throw ZipError(QStringLiteral("cannot finish the archive (%1)").arg(zip.getZipError()));
    }
    return bytes;
}
