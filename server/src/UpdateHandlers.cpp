// The customer service's update files: the list (GET /v1/app-files) and one
// file as a zip archive built from the files folder (GET /v1/download/{id}).
// Each entry of the list carries the signature of the archive its download
// serves (archives are built the same way each time).
#include "ArchiveSigning.h"
#include "Database.h"
#include "Router.h"
#include "ServerContext.h"
#include "ZipBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

QByteArray archiveOf(ServerContext &ctx, qint64 id, const QString &filename, const QString &source);

Response appFiles(ServerContext &ctx, const Request &)
{
    QSqlQuery q = ctx.db.exec(QStringLiteral(
        "SELECT file_id, filename, path, app_version, source FROM app_files ORDER BY sort_order, file_id"));
    // the updater reads every member as a string
    QJsonArray files;
    while (q.next()) {
        QJsonObject file { { QStringLiteral("file_id"), q.value(0).toString() },
                           { QStringLiteral("filename"), q.value(1).toString() },
                           { QStringLiteral("path"), q.value(2).toString() },
                           { QStringLiteral("app_version"), q.value(3).toString() } };
        try {
            const QByteArray archive =
                archiveOf(ctx, q.value(0).toLongLong(), q.value(1).toString(), q.value(4).toString());
            const QString signature =
                ArchiveSigning::sign(q.value(0).toString(), q.value(2).toString(), q.value(1).toString(), archive);
            if (!signature.isEmpty())
                file.insert(QStringLiteral("signature"), signature);
        } catch (const std::exception &) {
            // not servable now: listed unsigned, its download answers why
        }
        files.append(file);
    }
    const QString appVer = ctx.db.scalar(QStringLiteral("SELECT value FROM settings WHERE key = 'app_ver'")).toString();
    return Response::json(200,
                          QJsonObject { { QStringLiteral("app_ver"), appVer }, { QStringLiteral("files"), files } });
}

Response download(ServerContext &ctx, const Request &r)
{
    const QString idText = r.pathParams.value(QStringLiteral("file_id"));
    bool ok = false;
    const qint64 id = idText.toLongLong(&ok);
    QSqlQuery q = ctx.db.exec(QStringLiteral("SELECT filename, source FROM app_files WHERE file_id = ?"),
                              { ok ? QVariant(id) : QVariant() });
    if (!ok || !q.next())
        throw HttpError(404, QStringLiteral("File %1 not found.").arg(idText));
    Response resp;
    resp.body = archiveOf(ctx, id, q.value(0).toString(), q.value(1).toString());
    resp.contentType = "application/zip";
    resp.extraHeaders.append({ "Content-Disposition", "attachment; filename=\"" + QByteArray::number(id) + ".zip\"" });
    return resp;
}

QByteArray archiveOf(ServerContext &ctx, qint64 id, const QString &filename, const QString &source)
{
    // the table names a path inside the files folder; nothing outside it is served
    const QDir root(ctx.filesDir);
    const QString rootPath = QFileInfo(root.absolutePath()).canonicalFilePath();
    const QString sourcePath = QFileInfo(root.absoluteFilePath(source)).canonicalFilePath();
    if (rootPath.isEmpty() || sourcePath.isEmpty()
        || !QString(sourcePath + QLatin1Char('/')).startsWith(QString(rootPath + QLatin1Char('/')))) {
        throw HttpError(404, QStringLiteral("File %1 is not available on this server.").arg(id));
    }
    // the signing key may lie in the folder (PostgreSQL store): whoever had it could sign updates
    const QString keyPath =
        ctx.signingKeyFile.isEmpty() ? QString() : QFileInfo(ctx.signingKeyFile).canonicalFilePath();
    if (!keyPath.isEmpty() && sourcePath == keyPath)
        throw HttpError(404, QStringLiteral("File %1 is not available on this server.").arg(id));
    return buildZip(sourcePath, filename, keyPath.isEmpty() ? QStringList() : QStringList { keyPath });
}

} // namespace

void registerUpdateRoutes(Router &router, ServerContext &ctx)
{
    router.add("GET", QStringLiteral("/v1/app-files"), Access::Customer,
               [&ctx](Request &r) { return appFiles(ctx, r); });
    router.add("GET", QStringLiteral("/v1/download/{file_id}"), Access::Customer,
               [&ctx](Request &r) { return download(ctx, r); });
}
