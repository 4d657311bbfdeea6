#include "ServerOptions.h"

#include "Database.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QThread>

bool ServerOptions::parse(const QStringList &arguments, QString *error, QString *output)
{
    // half the processors check passwords at most: the rest stays free for everyone else
    pools.heavyWorkers = std::max(1, QThread::idealThreadCount() / 2);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("ZeltERP reference back end: customer service and tenant API on "
                                                    "127.0.0.1, data in an SQLite file or a PostgreSQL database."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("TCP port on 127.0.0.1 (default %1; 0 picks a free one).").arg(kDefaultPort),
        QStringLiteral("PORT"));
    const QCommandLineOption dbOption(
        QStringLiteral("db"),
        QStringLiteral("SQLite file (default ./zelt-server.db), or postgresql://USER@HOST:PORT/NAME"
                       " (password in ZELT_DB_PASSWORD)."),
        QStringLiteral("PATH|URL"));
    const QCommandLineOption resetOption(QStringLiteral("reset"),
                                         QStringLiteral("Delete the database and start from fresh demo data."));
    const QCommandLineOption ttlOption(
        QStringLiteral("token-ttl"),
        QStringLiteral("Lifetime of bearer tokens in seconds (default %1).").arg(kDefaultTokenTtl),
        QStringLiteral("SECONDS"));
    const QCommandLineOption filesOption(
        QStringLiteral("files"),
        QStringLiteral("Folder the update archives are built from (default: zelt-files beside the database)."),
        QStringLiteral("DIR"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Do not log requests."));
    const QCommandLineOption roundsOption(
        QStringLiteral("password-rounds"),
        QStringLiteral("PBKDF2 rounds of new password digests (default %1).").arg(passwordRounds), QStringLiteral("N"));
    const QCommandLineOption workersOption(
        QStringLiteral("workers"),
        QStringLiteral("Worker threads, one database connection each (default %1).").arg(pools.workers),
        QStringLiteral("N"));
    const QCommandLineOption signinWorkersOption(
        QStringLiteral("signin-workers"),
        QStringLiteral("Threads that check passwords (default %1).").arg(pools.heavyWorkers), QStringLiteral("N"));
    const QCommandLineOption attemptsOption(
        QStringLiteral("signin-attempts"),
        QStringLiteral("Failed sign-ins of one account before it is locked (default %1).")
            .arg(throttle.accountFailures),
        QStringLiteral("N"));
    const QCommandLineOption lockOption(
        QStringLiteral("signin-lock"),
        QStringLiteral("Seconds an account or address stays locked (default %1).").arg(throttle.lockMs / 1000),
        QStringLiteral("SECONDS"));
    const QCommandLineOption headerTimeoutOption(
        QStringLiteral("header-timeout"),
        QStringLiteral("Seconds a client has to send a request's header (default %1).")
            .arg(limits.headerTimeoutMs / 1000.0),
        QStringLiteral("SECONDS"));
    const QCommandLineOption idleTimeoutOption(
        QStringLiteral("idle-timeout"),
        QStringLiteral("Seconds an idle kept-alive connection stays open (default %1).")
            .arg(limits.idleTimeoutMs / 1000.0),
        QStringLiteral("SECONDS"));
    const QCommandLineOption maxConnectionsOption(
        QStringLiteral("max-connections"),
        QStringLiteral("Open connections at most (default %1).").arg(limits.maxConnections), QStringLiteral("N"));
    parser.addOptions({ portOption, dbOption, resetOption, ttlOption, filesOption, quietOption, roundsOption,
                        workersOption, signinWorkersOption, attemptsOption, lockOption, headerTimeoutOption,
                        idleTimeoutOption, maxConnectionsOption });

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
    const auto number = [&](const QCommandLineOption &option, qint64 min, qint64 max, qint64 *out) {
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        const qint64 value = parser.value(option).toLongLong(&ok);
        if (!ok || value < min || value > max) {
            *error = QStringLiteral("--%1 must be a whole number from %2 to %3")
                         .arg(option.names().constFirst())
                         .arg(min)
                         .arg(max);
            return false;
        }
        *out = value;
        return true;
    };
    const auto seconds = [&](const QCommandLineOption &option, int *outMs) {
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        const double value = parser.value(option).toDouble(&ok);
        if (!ok || value < 0.05 || value > 3600) {
            *error =
                QStringLiteral("--%1 must be a number of seconds from 0.05 to 3600").arg(option.names().constFirst());
            return false;
        }
        *outMs = int(value * 1000);
        return true;
    };
    qint64 rounds = passwordRounds, workers = pools.workers, signinWorkers = pools.heavyWorkers;
    qint64 attempts = throttle.accountFailures, lock = throttle.lockMs / 1000, maxConnections = limits.maxConnections;
    // fewer than 1,000 rounds is no protection at all; tests that sign in often pass a low count on purpose
    if (!number(roundsOption, 1000, 10000000, &rounds) || !number(workersOption, 1, 256, &workers)
        || !number(signinWorkersOption, 1, 64, &signinWorkers) || !number(attemptsOption, 2, 1000, &attempts)
        || !number(lockOption, 1, 7 * 24 * 3600, &lock) || !number(maxConnectionsOption, 1, 100000, &maxConnections)
        || !seconds(headerTimeoutOption, &limits.headerTimeoutMs)
        || !seconds(idleTimeoutOption, &limits.idleTimeoutMs)) {
        return false;
    }
    passwordRounds = int(rounds);
    pools.workers = int(workers);
    pools.heavyWorkers = int(signinWorkers);
    throttle.accountFailures = int(attempts);
    throttle.lockMs = lock * 1000;
    limits.maxConnections = int(maxConnections);
    limits.bodyTimeoutMs = limits.headerTimeoutMs * 3;

    const QString db = parser.isSet(dbOption) ? parser.value(dbOption) : QStringLiteral("zelt-server.db");
    if (Database::isUrl(db)) {
        dbPath = db;
        filesDir = parser.isSet(filesOption) ? QFileInfo(parser.value(filesOption)).absoluteFilePath()
                                             : QDir::current().absoluteFilePath(QStringLiteral("zelt-files"));
    } else {
        dbPath = QFileInfo(db).absoluteFilePath();
        filesDir = parser.isSet(filesOption) ? QFileInfo(parser.value(filesOption)).absoluteFilePath()
                                             : QFileInfo(dbPath).absoluteDir().filePath(QStringLiteral("zelt-files"));
    }
    reset = parser.isSet(resetOption);
    quiet = parser.isSet(quietOption);
    return true;
}
