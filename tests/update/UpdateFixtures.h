#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include "TestHttpServer.h"

// What the update tests build and look at: zip archives (hostile ones too)
// and the state of a folder tree.
namespace UpdateFixtures {

struct ZipItem
{
    enum class Kind { File, Folder, Link };
    QString name;
    QByteArray content; // a link's target for Link
    Kind kind = Kind::File;
};

// The archive as the server would send it. Stored (not deflated) entries
// keep their bytes visible, so a test can damage them.
QByteArray makeZip(const QList<ZipItem> &items, bool stored = false);

// Every folder, file and link under root, relative to it: files with their
// content, folders as "<folder>", links as "<link> target".
QMap<QString, QByteArray> snapshot(const QString &root);

// The service's answer to "/v1/download/{id}".
Reply zipReply(const QByteArray &zip);

void writeFile(const QString &path, const QByteArray &content);
QByteArray readFile(const QString &path);

} // namespace UpdateFixtures
