// zelt-server under load, on SQLite and (when ZELT_TEST_PG_URL names a
// PostgreSQL server, as run-tests.sh and scripts/test-postgres.sh provide) on
// PostgreSQL: one client process with many kept-alive connections.
//
// Per store:
//   - idle: median time of a small read (GET /com/v1/master/countries) on one
//     connection with nothing else running;
//   - flood: the same read while 8 connections sign in back to back at the
//     server's default password rounds; the figure is the ratio of the two
//     medians (the server's aim: at most 3);
//   - load: 64 connections for 20 s, each request a list page, a record or
//     (one in five) a PATCH of a customer, beside the same sign-in flood:
//     requests per second, p50 and p99, and the answers that were not 2xx.
//
// Usage: bench_server [seconds of load, default 20]

#include "TestStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Sample
{
    qint64 micros;
    int status;
};

// One kept-alive connection that sends what next() gives it, one request at a time.
class Conn : public QObject
{
public:
    using Next = std::function<QByteArray()>;
    Conn(quint16 port, Next next, std::vector<Sample> *samples)
        : m_next(std::move(next))
        , m_samples(samples)
    {
        connect(&m_socket, &QTcpSocket::connected, this, [this] { send(); });
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { read(); });
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    void stop() { m_stopped = true; }
    bool idle() const { return m_idle; }
    QByteArray lastBody;

private:
    void send()
    {
        if (m_stopped) {
            m_idle = true;
            return;
        }
        m_idle = false;
        m_buffer.clear();
        m_clock.start();
        m_socket.write(m_next());
    }
    void read()
    {
        m_buffer += m_socket.readAll();
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        static const QRegularExpression length(QStringLiteral("Content-Length: (\\d+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const qint64 bodyLength = length.match(QString::fromLatin1(m_buffer.left(end))).captured(1).toLongLong();
        if (m_buffer.size() < end + 4 + bodyLength)
            return;
        const int status = m_buffer.mid(9, 3).toInt();
        lastBody = m_buffer.mid(end + 4, bodyLength);
        if (m_samples)
            m_samples->push_back({ m_clock.nsecsElapsed() / 1000, status });
        send();
    }

    QTcpSocket m_socket;
    Next m_next;
    std::vector<Sample> *m_samples;
    QByteArray m_buffer;
    QElapsedTimer m_clock;
    bool m_stopped = false;
    bool m_idle = true;
};

QByteArray request(const QByteArray &method, const QByteArray &target, const QByteArray &token,
                   const QByteArray &body = QByteArray())
{
    QByteArray r = method + ' ' + target + " HTTP/1.1\r\nHost: bench\r\n";
    if (!token.isEmpty())
        r += "Authorization: Bearer " + token + "\r\n";
    if (!body.isNull())
        r += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    return r + "\r\n" + body;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 percentile(std::vector<Sample> samples, double p)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end(), [](const Sample &a, const Sample &b) { return a.micros < b.micros; });
    return samples.at(std::min(samples.size() - 1, size_t(p * double(samples.size())))).micros;
}

const QByteArray SignIn = R"({"username":"sarah@zelt.local","password":"Demo#2024"})";

QByteArray signInToken(quint16 port)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    s.waitForConnected(5000);
    s.write(request("POST", "/auth/v1/login", QByteArray(), SignIn));
    QByteArray answer;
    while (!answer.contains("}}}") && s.waitForReadyRead(30000))
        answer += s.readAll();
    const QJsonObject json = QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    return json[QStringLiteral("response")][QStringLiteral("token")][QStringLiteral("access")].toString().toLatin1();
}

struct Phase
{
    std::vector<Sample> samples;
    int signIns = 0;
};

// Runs `readers` connections (and `flooders` sign-in connections beside them) for ms.
Phase run(quint16 port, int readers, int flooders, int ms, const std::function<QByteArray(int)> &next)
{
    Phase phase;
    std::vector<Sample> floodSamples;
    std::vector<std::unique_ptr<Conn>> conns;
    for (int i = 0; i < flooders; ++i)
        conns.push_back(std::make_unique<Conn>(
            port, [] { return request("POST", "/auth/v1/login", QByteArray(), SignIn); }, &floodSamples));
    // the flood first, so that the readers meet it under way
    if (flooders > 0)
        runFor(1000);
    for (int i = 0; i < readers; ++i)
        conns.push_back(std::make_unique<Conn>(
            port, [&next, i] { return next(i); }, &phase.samples));
    runFor(ms);
    for (auto &c : conns)
        c->stop();
    QElapsedTimer drain;
    drain.start();
    while (drain.elapsed() < 60000 && !std::all_of(conns.begin(), conns.end(), [](const auto &c) { return c->idle(); }))
        runFor(50);
    phase.signIns = int(floodSamples.size());
    return phase;
}

void benchStore(const QString &label, const QString &location)
{
    QTemporaryDir dir;
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zelt-server"),
                 { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quiet"), QStringLiteral("--db"),
                   location, QStringLiteral("--files"), dir.filePath(QStringLiteral("files")) });
    server.waitForStarted();
    static const QRegularExpression listening(QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    QByteArray out;
    quint16 port = 0;
    while (port == 0 && server.state() == QProcess::Running) {
        server.waitForReadyRead(200);
        out += server.readAllStandardOutput();
        port = quint16(listening.match(QString::fromUtf8(out)).captured(1).toUInt());
    }
    if (port == 0) {
        std::printf("%s: server did not start\n", qPrintable(label));
        return;
    }
    const QByteArray token = signInToken(port);
    const auto smallRead = [&token](int) { return request("GET", "/com/v1/master/countries?page_rows=5", token); };

    run(port, 1, 0, 1000, smallRead); // warm-up
    const Phase idle = run(port, 1, 0, 3000, smallRead);
    const Phase flood = run(port, 1, 8, 5000, smallRead);
    const qint64 idleP50 = percentile(idle.samples, 0.5), floodP50 = percentile(flood.samples, 0.5);

    const int seconds = qMax(1, QCoreApplication::arguments().value(1, QStringLiteral("20")).toInt());
    quint64 seq = 0;
    const auto mixed = [&token, &seq](int conn) {
        const quint64 n = ++seq;
        const int customer = int(1 + (n * 7919 + quint64(conn) * 104729) % 600);
        switch (n % 5) {
        case 0:
            return request("PATCH", "/crm/v1/master/customers/" + QByteArray::number(customer), token,
                           R"({"city":"Bench )" + QByteArray::number(n % 97) + "\"}");
        case 1:
            return request("GET", "/crm/v1/master/customers?page_rows=20&page=" + QByteArray::number(1 + n % 30),
                           token);
        case 2: return request("GET", "/crm/v1/master/customers/" + QByteArray::number(customer), token);
        case 3:
            return request("GET", "/prc/v1/master/items?q=bolt&page_rows=50&page=" + QByteArray::number(1 + n % 5),
                           token);
        default: return request("GET", "/com/v1/master/states?params=100", token);
        }
    };
    QElapsedTimer clock;
    clock.start();
    const Phase load = run(port, 64, 8, seconds * 1000, mixed);
    const double elapsed = double(clock.elapsed() - 1000) / 1000.0;
    const auto failures = std::count_if(load.samples.begin(), load.samples.end(),
                                        [](const Sample &s) { return s.status < 200 || s.status >= 300; });

    std::printf("%-10s idle read p50 %.2f ms | under sign-in flood p50 %.2f ms, ratio %.2f (%d sign-ins in 5 s)\n",
                qPrintable(label), double(idleP50) / 1000.0, double(floodP50) / 1000.0,
                idleP50 > 0 ? double(floodP50) / double(idleP50) : 0.0, flood.signIns);
    std::printf("%-10s load, 64 connections for %d s beside 8 signing in: %.0f requests/s, p50 %.2f ms, p99 %.2f ms,"
                " %lld not 2xx, %d sign-ins\n",
                qPrintable(label), seconds, double(load.samples.size()) / elapsed,
                double(percentile(load.samples, 0.5)) / 1000.0, double(percentile(load.samples, 0.99)) / 1000.0,
                static_cast<long long>(failures), load.signIns);
    std::fflush(stdout);
    server.terminate();
    server.waitForFinished(30000);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    benchStore(QStringLiteral("SQLite"), dir.filePath(QStringLiteral("bench.db")));
    if (!qEnvironmentVariableIsEmpty("ZELT_TEST_PG_URL")) {
        qputenv("ZELT_TEST_STORE", "postgresql");
        TestStore store(dir.path());
        if (store.location().isEmpty())
            std::printf("PostgreSQL: %s\n", qPrintable(store.error()));
        else
            benchStore(QStringLiteral("PostgreSQL"), store.location());
    } else {
        std::printf("PostgreSQL: skipped (set ZELT_TEST_PG_URL, e.g. from scripts/test-postgres.sh start DIR)\n");
    }
    return 0;
}
