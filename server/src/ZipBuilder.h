#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stdexcept>

class ZipError : public std::runtime_error
{
public:
    explicit ZipError(const QString &message)
        : std::runtime_error(message.toStdString())
    { }
};

// Builds a zip archive in memory. A file becomes one entry named entryName;
// the files of a folder become entries under their paths relative to it.
// Files of a folder whose canonical path is in excluded are left out.
// Throws ZipError when a file cannot be read or the archive written.
QByteArray buildZip(const QString &sourcePath, const QString &entryName, const QStringList &excluded = {});
