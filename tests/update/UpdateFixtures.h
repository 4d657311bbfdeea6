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
    QString name;
    QByteArray content; // a link's target when isLink
    bool isLink = false;
};

// The archive as the server would send it.
QByteArray makeZip(const QList<ZipItem> &items);
// Every folder, file and link under root, relative to it: files with their
// content, folders as "<folder>", links as "<link> target".
QMap<QString, QByteArray> snapshot(const QString &root);
// The service's answer to "/v1/download/{id}".
inline Reply zipReply(const QByteArray &zip)
{
    Reply r = Reply::text(zip);
    r.contentType = "application/zip";
    return r;
}
void writeFile(const QString &path, const QByteArray &content);
QByteArray readFile(const QString &path);

} // namespace UpdateFixtures
