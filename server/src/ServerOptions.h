#pragma once

#include "SignInThrottle.h"
#include "ZeltHttpServer.h"

#include <QString>
#include <QStringList>

// The command line of zelt-server.
struct ServerOptions
{
    static constexpr quint16 kDefaultPort = 8181;
    static constexpr qint64 kDefaultTokenTtl = 3600;
    static constexpr qint64 kMaxBodyBytes = 1024 * 1024;

    quint16 port = kDefaultPort;
    QString dbPath; // SQLite file (default: zelt-server.db in the working folder) or postgresql:// URL
    QString filesDir; // default: zelt-files beside the database (the working folder for PostgreSQL)
    qint64 tokenTtlSeconds = kDefaultTokenTtl;
    bool reset = false;
    bool quiet = false;
    int passwordRounds = 600000;
    ConnectionLimits limits;
    ZeltHttpServer::Pools pools;
    SignInThrottle::Settings throttle;

    // Fills the options from the arguments (argv[0] first). On failure
    // returns false with the text to print in *error; --help and --version
    // return false with an empty error and the text in *output.
    bool parse(const QStringList &arguments, QString *error, QString *output);
};
