// zelt-server: the customer service (/v1/...) and the tenant API in one
// process on 127.0.0.1, with its data in an SQLite file or a PostgreSQL database.
#include "ArchiveSigning.h"
#include "Database.h"
#include "Passwords.h"
#include "RequestLog.h"
#include "Router.h"
#include "Schema.h"
#include "Seed.h"
#include "ServerContext.h"

#include <QDir>
#include "ServerOptions.h"
#include "ZeltHttpServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    // only async-signal-safe calls here; the event loop does the rest
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so that the database is closed
// properly instead of the process dying mid-write.
void installSignalHandlers(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void removeDatabaseFiles(const QString &path)
{
    for (const char *suffix : { "", "-wal", "-shm", "-journal" })
        QFile::remove(path + QLatin1String(suffix));
}

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Each connection is a descriptor; the usual soft limit of 1024 would end
// the server's service long before --max-connections does.
void raiseDescriptorLimit()
{
    struct rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int run(QCoreApplication &app, const ServerOptions &options)
{
    Passwords::setIterations(options.passwordRounds);
    raiseDescriptorLimit();
    const bool postgres = Database::isUrl(options.dbPath);
    if (options.reset && !postgres)
        removeDatabaseFiles(options.dbPath);

    Database db(options.dbPath);
    db.open();
    if (options.reset && postgres)
        Schema::dropAll(db);
    Schema::migrate(db);
    if (!Seed::isPopulated(db))
        Seed::populate(db);
    Seed::ensureUpdateFiles(options.filesDir);
    QString keyError;
    // beside the database file; a PostgreSQL store has no file, so the key
    // pair lives in the update files' folder then
    const QString keyPath = postgres ? QDir(options.filesDir).filePath(QStringLiteral("update-key"))
                                     : options.dbPath + QStringLiteral(".update-key");
    if (!ArchiveSigning::init(keyPath, &keyError)) {
        printLine(stderr, QStringLiteral("zelt-server: %1").arg(keyError));
        return 1;
    }

    SignInThrottle throttle(options.throttle);
    ServerContext ctx { db, QString(), options.tokenTtlSeconds, options.filesDir, keyPath };
    ctx.throttle = &throttle;
    const QString pageRows =
        db.scalar(QStringLiteral("SELECT config_value FROM config WHERE config_id = 'default_page_rows'")).toString();
    if (pageRows.toLongLong() > 0)
        ctx.defaultPageRows = pageRows.toLongLong();

    Router router;
    registerAuthRoutes(router, ctx);
    registerSysRoutes(router, ctx);
    registerMasterRoutes(router, ctx);
    registerCrmRoutes(router, ctx);
    registerUpdateRoutes(router, ctx);

    const RequestLog log(!options.quiet);
    ConnectionLimits limits = options.limits;
    limits.maxBodyBytes = ServerOptions::kMaxBodyBytes;
    ZeltHttpServer server(ctx, router, log, limits, options.pools);
    const quint16 port = server.listenLocal(options.port);
    if (port == 0) {
        printLine(stderr, QStringLiteral("zelt-server: cannot listen on 127.0.0.1:%1").arg(options.port));
        return 1;
    }
    ctx.baseUrl = QStringLiteral("http://127.0.0.1:%1").arg(port);
    log.note(QStringLiteral("database %1 (schema version %2), update files in %3, %4 workers")
                 .arg(db.describe())
                 .arg(Schema::currentVersion(db))
                 .arg(options.filesDir)
                 .arg(options.pools.workers));
    // before the line below: whoever waits for it may stop the server at once
    installSignalHandlers(app);
    // tests and scripts wait for exactly this line
    printLine(stdout, QStringLiteral("listening on %1").arg(ctx.baseUrl));

    const int rc = app.exec();
    log.note(QStringLiteral("stopped"));
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelt-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    ServerOptions options;
    QString error;
    QString output;
    if (!options.parse(QCoreApplication::arguments(), &error, &output)) {
        if (!error.isEmpty()) {
            printLine(stderr, QStringLiteral("zelt-server: ") + error);
            return 2;
        }
        std::fputs(output.toUtf8().constData(), stdout);
        return 0;
    }
    try {
        return run(app, options);
    } catch (const std::exception &e) {
        printLine(stderr, QStringLiteral("zelt-server: ") + QString::fromUtf8(e.what()));
        return 1;
    }
}
