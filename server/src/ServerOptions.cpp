#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

bool ServerOptions::parse(const QStringList &arguments, QString *error, QString *output)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "ZeltERP reference back end: customer service and tenant API on 127.0.0.1, data in one SQLite file."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("TCP port on 127.0.0.1 (default %1; 0 picks a free one).").arg(kDefaultPort),
                                        QStringLiteral("PORT"));
    const QCommandLineOption dbOption(QStringLiteral("db"), QStringLiteral("SQLite file (default ./zelt-server.db)."),
                                      QStringLiteral("PATH"));
    const QCommandLineOption resetOption(QStringLiteral("reset"),
                                         QStringLiteral("Delete the database and start from fresh demo data."));
    const QCommandLineOption ttlOption(QStringLiteral("token-ttl"),
                                       QStringLiteral("Lifetime of bearer tokens in seconds (default %1).").arg(kDefaultTokenTtl),
                                       QStringLiteral("SECONDS"));
    const QCommandLineOption filesOption(QStringLiteral("files"),
                                         QStringLiteral("Folder the update archives are built from (default: zelt-files beside the database)."),
                                         QStringLiteral("DIR"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Do not log requests."));
    parser.addOptions({portOption, dbOption, resetOption, ttlOption, filesOption, quietOption});

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption)) {
        *output = parser.helpText();
        return false;
    }
    if (parser.isSet(versionOption)) {
        *output = QStringLiteral("zelt-server 1.0.0\n");
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return false;
    }
    if (parser.isSet(portOption)) {
        bool ok = false;
        const uint value = parser.value(portOption).toUInt(&ok);
        if (!ok || value > 65535) {
            *error = QStringLiteral("--port must be a number from 0 to 65535");
            return false;
        }
        port = quint16(value);
    }
    if (parser.isSet(ttlOption)) {
        bool ok = false;
        const qint64 value = parser.value(ttlOption).toLongLong(&ok);
        // upper bound keeps the expiry arithmetic (milliseconds) far from overflow
        if (!ok || value < 1 || value > 10LL * 365 * 24 * 3600) {
            *error = QStringLiteral("--token-ttl must be a whole number of seconds from 1");
            return false;
        }
        tokenTtlSeconds = value;
    }
    dbPath = QFileInfo(parser.isSet(dbOption) ? parser.value(dbOption) : QStringLiteral("zelt-server.db")).absoluteFilePath();
    filesDir = parser.isSet(filesOption)
        ? QFileInfo(parser.value(filesOption)).absoluteFilePath()
        : QFileInfo(dbPath).absoluteDir().filePath(QStringLiteral("zelt-files"));
    reset = parser.isSet(resetOption);
    quiet = parser.isSet(quietOption);
    return true;
}
