#pragma once

#include <QString>
#include <QStringList>

// The command line of zelt-server.
struct ServerOptions
{
    static constexpr quint16 kDefaultPort = 8181;
    static constexpr qint64 kDefaultTokenTtl = 3600;
    static constexpr qint64 kMaxBodyBytes = 1024 * 1024;

    quint16 port = kDefaultPort;
    QString dbPath;        // default: zelt-server.db in the working folder
    QString filesDir;      // default: zelt-files beside the database
    qint64 tokenTtlSeconds = kDefaultTokenTtl;
    bool reset = false;
    bool quiet = false;

    // Fills the options from the arguments (argv[0] first). On failure
    // returns false with the text to print in *error; --help and --version
    // return false with an empty error and the text in *output.
    bool parse(const QStringList &arguments, QString *error, QString *output);
};
