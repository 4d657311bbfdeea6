#include "AsyncRunner.h"
#include "HttpClient.h"
#include "TestHttpServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using Platform::HttpClient;
using Platform::HttpResponse;
using Platform::TransportError;

namespace {

std::shared_ptr<HttpClient> clientFor(const QString &baseUrl, int readTimeout = 3000)
{
    auto c = HttpClient::create();
    c->setBaseURL(baseUrl).setConnectTimeout(3000).setReadTimeout(readTimeout);
    return c;
}

// A port on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// A listener that never accepts: the kernel completes handshakes until its
// accept queue is full and drops the SYNs after that. Returns the port.
struct SilentListener
{
    explicit SilentListener(int backlog)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&addr), len) == 0 && ::listen(fd, backlog) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
    }
    ~SilentListener()
    {
        if (fd >= 0)
            ::close(fd);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

    int fd = -1;
    quint16 port = 0;
};

QString transportFailureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const TransportError &e) {
        return e.message();
    }
    return QStringLiteral("<no transport error>");
}

} // namespace

class tst_HttpClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void verbsSendMethodBodyAndContentType_data();
    void verbsSendMethodBodyAndContentType();
    void resourceJoinsBaseUrl_data();
    void resourceJoinsBaseUrl();
    void queryValuesSurviveEncoding();
    void pathParamsFillPlaceholders();
    void paramsBelongToOneRequestHeadersStay();
    void headersAsSent();
    void cookiesAreNotShared();
    void statusesAreResponses_data();
    void statusesAreResponses();
    void transportFailures_data();
    void transportFailures();
    void readTimeoutCountsSilence();
    void connectTimeout();
    void connectionsAreReused();
    void oneManagerForAllThreads();
    void largeBodiesBothWays();
    void asyncDeliversOnceOnMainThread();
    void asyncTransportErrorGoesToErrorHandler();
    void asyncSurvivesClientDestruction();
    void asyncUnsynchronizedRunsOffMainThread();
    void exitWithRequestsInFlight();
};

void tst_HttpClient::verbsSendMethodBodyAndContentType_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("contentType");
    QTest::newRow("GET") << QByteArray("GET") << QByteArray() << QString();
    QTest::newRow("DELETE") << QByteArray("DELETE") << QByteArray() << QString();
    QTest::newRow("POST json") << QByteArray("POST") << QByteArray(R"({"a":"é"})") << "application/json";
    QTest::newRow("PUT") << QByteArray("PUT") << QByteArray("[1,2]") << "application/json";
    QTest::newRow("PATCH text") << QByteArray("PATCH") << QByteArray("x=1") << "text/plain";
}

void tst_HttpClient::verbsSendMethodBodyAndContentType()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);
    QFETCH(QString, contentType);
    TestHttpServer server;
    auto c = clientFor(server.url());
    HttpResponse r;
    if (method == "GET")
        r = c->get(QStringLiteral("/v1/item"));
    else if (method == "DELETE")
        r = c->del(QStringLiteral("/v1/item"));
    else if (method == "POST")
        r = c->post(QStringLiteral("/v1/item"), body, contentType);
    else if (method == "PUT")
        r = c->put(QStringLiteral("/v1/item"), QString::fromUtf8(body), contentType);
    else
        r = c->patch(QStringLiteral("/v1/item"), body, contentType);
    QCOMPARE(r.statusCode, 200);
    QCOMPARE(server.requestCount(), 1);
    const RecordedRequest req = server.lastRequest();
    QCOMPARE(req.method, method);
    QCOMPARE(req.path, QStringLiteral("/v1/item"));
    QCOMPARE(req.body, body);
    if (contentType.isEmpty()) {
        QVERIFY(!req.hasHeader("Content-Type"));
    } else {
        QCOMPARE(req.header("Content-Type"), contentType.toUtf8());
        QCOMPARE(req.header("Content-Length"), QByteArray::number(body.size()));
    }
}

void tst_HttpClient::resourceJoinsBaseUrl_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("path");
    QTest::newRow("prefix + absolute") << "/api" << "/v1/x" << "/api/v1/x";
    QTest::newRow("prefix/ + absolute") << "/api/" << "/v1/x" << "/api/v1/x";
    QTest::newRow("prefix + relative") << "/api" << "v1/x" << "/api/v1/x";
    QTest::newRow("no prefix") << "" << "/v1/x" << "/v1/x";
    QTest::newRow("own query") << "/api" << "/v1/x?fixed=1" << "/api/v1/x";
}

void tst_HttpClient::resourceJoinsBaseUrl()
{
    QFETCH(QString, prefix);
    QFETCH(QString, resource);
    QFETCH(QString, path);
    TestHttpServer server;
    clientFor(server.url() + prefix)->get(resource);
    QCOMPARE(server.lastRequest().path, path);
}

void tst_HttpClient::queryValuesSurviveEncoding()
{
    TestHttpServer server;
    auto c = clientFor(server.url());
    c->addQueryStringParam(QStringLiteral("q"), QStringLiteral("a+b&c=d e"))
        .addQueryStringParam(QStringLiteral("name"), QStringLiteral("Zoë 中文/?#"))
        .addQueryStringParam(QStringLiteral("empty"), QString())
        .addQueryStringParam(QStringLiteral("n"), 42)
        .addQueryStringParam(QStringLiteral("neg"), -7)
        .addQueryStringParam(QStringLiteral("d"), QDate(2024, 1, 5))
        .addQueryStringParam(QStringLiteral("k&=%"), QStringLiteral("100%"));
    c->get(QStringLiteral("/v1/list?fixed=1"));

    const RecordedRequest req = server.lastRequest();
    const QList<QPair<QString, QString>> expected = {
        { "fixed", "1" },
        { "q", "a+b&c=d e" },
        { "name", QStringLiteral("Zoë 中文/?#") },
        { "empty", "" },
        { "n", "42" },
        { "neg", "-7" },
        { "d", "2024-01-05" },
        { "k&=%", "100%" },
    };
    QCOMPARE(req.queryItems, expected);
    // '+' must travel encoded: a server reads a bare '+' as a space
    QVERIFY(req.rawQuery.contains("a%2Bb%26c%3Dd%20e"));
}

void tst_HttpClient::pathParamsFillPlaceholders()
{
    TestHttpServer server;
    auto c = clientFor(server.url() + QStringLiteral("/api"));
    c->addPathParam(QStringLiteral("contact_id"), 42)
        .addPathParam(QStringLiteral("name"), QStringLiteral("a b/c?"))
        .addPathParam(QStringLiteral("day"), QDate(2024, 2, 29));
    c->get(QStringLiteral("/crm/v1/master/contacts/{contact_id}/{name}/{day}/{contact_id}"));
    const RecordedRequest req = server.lastRequest();
    QCOMPARE(req.rawPath, QByteArray("/api/crm/v1/master/contacts/42/a%20b%2Fc%3F/2024-02-29/42"));
    QVERIFY(req.rawQuery.isEmpty());
}

void tst_HttpClient::paramsBelongToOneRequestHeadersStay()
{
    TestHttpServer server;
    auto c = clientFor(server.url());
    c->addHeader(QStringLiteral("X-Tenant"), QStringLiteral("t1"));
    c->addQueryStringParam(QStringLiteral("page"), 2).addPathParam(QStringLiteral("id"), 7);
    c->get(QStringLiteral("/v1/{id}"));
    c->get(QStringLiteral("/v1/{id}"));
    const auto reqs = server.requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs.at(0).path, QStringLiteral("/v1/7"));
    QCOMPARE(reqs.at(0).queryValue(QStringLiteral("page")), QStringLiteral("2"));
    QCOMPARE(reqs.at(1).rawPath, QByteArray("/v1/%7Bid%7D"));
    QVERIFY(reqs.at(1).queryItems.isEmpty());
    QCOMPARE(reqs.at(1).header("X-Tenant"), QByteArray("t1"));

    // a failed request consumes its parameters as well
    auto refused = clientFor(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    refused->addQueryStringParam(QStringLiteral("a"), 1);
    QVERIFY_THROWS_EXCEPTION(TransportError, refused->get(QStringLiteral("/x")));
    refused->setBaseURL(server.url()).get(QStringLiteral("/x"));
    QVERIFY(server.lastRequest().queryItems.isEmpty());
}

void tst_HttpClient::headersAsSent()
{
    TestHttpServer server;
    auto c = clientFor(server.url());
    c->setUserAgent(QStringLiteral("ZeltERP"));
    c->addHeader(QStringLiteral("Authorization"), QStringLiteral("Bearer "));
    c->addHeader(QStringLiteral("Accept-Language"), QStringLiteral("en_US"));
    c->addHeader(QStringLiteral("accept-language"), QStringLiteral("id_ID"));
    c->addHeader(QStringLiteral("X-Evil"), QStringLiteral("a\r\nX-Injected: 1"));
    QVERIFY(c->hasHeader(QStringLiteral("ACCEPT-LANGUAGE")));
    QCOMPARE(c->header(QStringLiteral("Accept-Language")), QStringLiteral("id_ID"));
    QVERIFY(!c->hasHeader(QStringLiteral("X-Missing")));
    c->get(QStringLiteral("/h"));

    RecordedRequest req = server.lastRequest();
    QCOMPARE(req.header("User-Agent"), QByteArray("ZeltERP"));
    QCOMPARE(req.header("Authorization"), QByteArray("Bearer "));
    QCOMPARE(req.headerCount("Accept-Language"), 1);
    QCOMPARE(req.header("Accept-Language"), QByteArray("id_ID"));
    QVERIFY(!req.hasHeader("X-Injected"));

    c->removeHeader(QStringLiteral("AUTHORIZATION"));
    QVERIFY(!c->hasHeader(QStringLiteral("Authorization")));
    c->get(QStringLiteral("/h"));
    req = server.lastRequest();
    QVERIFY(!req.hasHeader("Authorization"));
    QCOMPARE(req.header("User-Agent"), QByteArray("ZeltERP"));
}

void tst_HttpClient::cookiesAreNotShared()
{
    TestHttpServer server;
    Reply withCookie = Reply::json("{}");
    withCookie.addHeader("Set-Cookie", "session=secret; Path=/");
    server.enqueue(withCookie);
    clientFor(server.url())->get(QStringLiteral("/login"));
    clientFor(server.url())->get(QStringLiteral("/other"));
    QVERIFY(!server.lastRequest().hasHeader("Cookie"));
}

void tst_HttpClient::statusesAreResponses_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("statusText");
    QTest::newRow("200") << 200 << QByteArray(R"({"data":[]})") << true << "OK";
    QTest::newRow("204") << 204 << QByteArray() << true << "No Content";
    QTest::newRow("400") << 400 << QByteArray(R"({"message":"bad"})") << false << "Bad Request";
    QTest::newRow("401") << 401 << QByteArray(R"({"message":"token"})") << false << "Unauthorized";
    QTest::newRow("404") << 404 << QByteArray("nothing here") << false << "Not Found";
    QTest::newRow("500") << 500 << QByteArray("boom") << false << "Internal Server Error";
}

void tst_HttpClient::statusesAreResponses()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, success);
    QFETCH(QString, statusText);
    TestHttpServer server;
    server.enqueue(Reply::json(body, status));
    const HttpResponse r = clientFor(server.url())->post(QStringLiteral("/v1/x"), "{}", QStringLiteral("application/json"));
    QCOMPARE(r.statusCode, status);
    QCOMPARE(r.success(), success);
    QCOMPARE(r.body, body);
    QCOMPARE(r.content(), QString::fromUtf8(body));
    QCOMPARE(r.statusText, statusText);
    QCOMPARE(r.header("content-TYPE"), QByteArray("application/json"));
}

void tst_HttpClient::transportFailures_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("message");
    QTest::newRow("refused") << -1 << "Connection refused";
    QTest::newRow("closed without answer") << int(Reply::Action::CloseWithoutAnswer) << "Connection closed";
    QTest::newRow("partial body") << int(Reply::Action::PartialBodyThenClose) << "Connection closed";
    QTest::newRow("garbage") << int(Reply::Action::Garbage) << "Connection closed";
}

void tst_HttpClient::transportFailures()
{
    QFETCH(int, action);
    QFETCH(QString, message);
    TestHttpServer server([action](const RecordedRequest &) {
        return Reply::withAction(Reply::Action(action), QByteArray(R"({"data":[{"id":1},{"id":2}]})"));
    });
    const QString base = action < 0 ? QStringLiteral("http://127.0.0.1:%1").arg(closedPort()) : server.url();
    auto c = clientFor(base);
    const QString failure = transportFailureOf([&] { c->get(QStringLiteral("/v1/rows")); });
    QVERIFY2(failure.startsWith(message), qPrintable(failure));
    QVERIFY2(failure.endsWith(base + QStringLiteral("/v1/rows")), qPrintable(failure));
}

void tst_HttpClient::readTimeoutCountsSilence()
{
    TestHttpServer server([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    auto c = clientFor(server.url(), 300);
    QElapsedTimer t;
    t.start();
    const QString failure = transportFailureOf([&] { c->get(QStringLiteral("/slow")); });
    const qint64 elapsed = t.elapsed();
    QVERIFY2(failure.startsWith(QStringLiteral("Read timed out after 300 ms")), qPrintable(failure));
    QVERIFY2(elapsed >= 280 && elapsed < 3000, qPrintable(QString::number(elapsed)));

    // the read timeout counts silence, not the whole exchange
    TestHttpServer lively;
    Reply slow = Reply::json("{}");
    slow.delayMs = 200;
    lively.enqueue(slow);
    lively.enqueue(slow);
    auto patient = clientFor(lively.url(), 350);
    QCOMPARE(patient->get(QStringLiteral("/a")).statusCode, 200);
    QCOMPARE(patient->get(QStringLiteral("/b")).statusCode, 200);
}

void tst_HttpClient::connectTimeout()
{
    SilentListener listener(0);
    QVERIFY(listener.port != 0);
    // fill the accept queue so that the next handshake never completes
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress::LocalHost, listener.port);
        fillers.back()->waitForConnected(200);
    }
    auto c = HttpClient::create();
    c->setBaseURL(listener.url()).setConnectTimeout(300).setReadTimeout(10000);
    QElapsedTimer t;
    t.start();
    const QString failure = transportFailureOf([&] { c->get(QStringLiteral("/c")); });
    const qint64 elapsed = t.elapsed();
    QVERIFY2(failure.startsWith(QStringLiteral("Connection timed out after 300 ms")), qPrintable(failure));
    QVERIFY2(elapsed >= 280 && elapsed < 3000, qPrintable(QString::number(elapsed)));
}

void tst_HttpClient::connectionsAreReused()
{
    TestHttpServer server;
    auto c = clientFor(server.url());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(c->get(QStringLiteral("/k")).statusCode, 200);
    clientFor(server.url())->post(QStringLiteral("/k"), "{}", QStringLiteral("application/json"));
    const auto reqs = server.requests();
    QCOMPARE(reqs.size(), 4);
    for (const RecordedRequest &r : reqs)
        QCOMPARE(r.connectionId, reqs.first().connectionId);
    QCOMPARE(server.connectionCount(), 1);
}

void tst_HttpClient::oneManagerForAllThreads()
{
    // answers take a moment, so that the clients' requests overlap
    TestHttpServer server([](const RecordedRequest &) {
        Reply r = Reply::json("{}");
        r.delayMs = 20;
        return r;
    });
    std::atomic<int> ok{ 0 };
    std::vector<std::thread> threads;
    for (int i = 0; i < 10; ++i) {
        threads.emplace_back([&] {
            auto c = clientFor(server.url());
            for (int j = 0; j < 5; ++j) {
                try {
                    if (c->get(QStringLiteral("/t")).success())
                        ++ok;
                } catch (...) {
                }
            }
        });
    }
    for (auto &t : threads)
        t.join();
    QCOMPARE(ok.load(), 50);
    QCOMPARE(server.requestCount(), 50);
    // one manager keeps at most six connections per server open at a time
    // (it may replace one now and then); a manager per client would need ten
    QVERIFY2(server.peakOpenConnections() <= 6, qPrintable(QString::number(server.peakOpenConnections())));
    QVERIFY(server.connectionCount() < 40);
}

void tst_HttpClient::largeBodiesBothWays()
{
    const QByteArray upload(20 * 1024 * 1024, 'u');
    QByteArray download(30 * 1024 * 1024, 'd');
    download[123456] = 'x';
    TestHttpServer server;
    server.enqueue(Reply::json(download));
    const HttpResponse r = clientFor(server.url())->put(QStringLiteral("/big"), upload, QStringLiteral("application/octet-stream"));
    QCOMPARE(r.statusCode, 200);
    QVERIFY(r.body == download);
    QVERIFY(server.lastRequest().body == upload);
}

void tst_HttpClient::asyncDeliversOnceOnMainThread()
{
    // the server holds its answer until the test opens the gate
    QSemaphore gate;
    TestHttpServer server([&gate](const RecordedRequest &r) {
        if (r.path == QLatin1String("/a"))
            gate.tryAcquire(1, 10000);
        return Reply::json(R"({"ok":true})");
    });
    auto c = clientFor(server.url());
    int completions = 0;
    int errors = 0;
    bool onMainThread = false;
    HttpResponse got;
    const HttpResponse immediate = c->async(
                                        [&](const HttpResponse &r) {
                                            ++completions;
                                            got = r;
                                            onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
                                        },
                                        [&](const Platform::Error &) { ++errors; })
                                       .get(QStringLiteral("/a"));
    // back before any answer exists
    QCOMPARE(immediate.statusCode, 0);
    QVERIFY(!c->isAsyncArmed());
    QVERIFY(server.waitForRequests(1));
    QCOMPARE(completions, 0);
    gate.release();

    // the arming covers one request: the next verb is synchronous again
    QCOMPARE(c->get(QStringLiteral("/b")).statusCode, 200);

    QTRY_COMPARE(completions, 1);
    QTest::qWait(100);
    QCOMPARE(completions, 1);
    QCOMPARE(errors, 0);
    QVERIFY(onMainThread);
    QCOMPARE(got.statusCode, 200);
    QCOMPARE(got.content(), QStringLiteral(R"({"ok":true})"));
}

void tst_HttpClient::asyncTransportErrorGoesToErrorHandler()
{
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(closedPort());
    int completions = 0;
    int errors = 0;
    QString message;
    bool isTransport = false;
    bool onMainThread = false;
    clientFor(base)
        ->async([&](const HttpResponse &) { ++completions; },
                [&](const Platform::Error &e) {
                    ++errors;
                    message = e.message();
                    isTransport = dynamic_cast<const TransportError *>(&e) != nullptr;
                    onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
                })
        .get(QStringLiteral("/x"));
    QTRY_COMPARE(errors, 1);
    QTest::qWait(50);
    QCOMPARE(errors, 1);
    QCOMPARE(completions, 0);
    QVERIFY(isTransport);
    QVERIFY(onMainThread);
    QVERIFY2(message.startsWith(QStringLiteral("Connection refused")), qPrintable(message));

    // an unusable address fails the same way, later, never inside the verb
    errors = 0;
    clientFor(QString())->async([&](const HttpResponse &) { ++completions; }, [&](const Platform::Error &) { ++errors; })
        .get(QStringLiteral("/x"));
    QCOMPARE(errors, 0);
    QTRY_COMPARE(errors, 1);
    QCOMPARE(completions, 0);
    QVERIFY_THROWS_EXCEPTION(TransportError, clientFor(QStringLiteral("ftp://127.0.0.1"))->get(QStringLiteral("/x")));
}

void tst_HttpClient::asyncSurvivesClientDestruction()
{
    TestHttpServer server;
    Reply slow = Reply::json("{}", 201);
    slow.delayMs = 100;
    server.enqueue(slow);
    int status = 0;
    {
        auto c = clientFor(server.url());
        c->addHeader(QStringLiteral("X-Kept"), QStringLiteral("1"));
        c->async([&](const HttpResponse &r) { status = r.statusCode; }, nullptr).post(QStringLiteral("/p"), "{}", QStringLiteral("application/json"));
    }
    QTRY_COMPARE(status, 201);
    QCOMPARE(server.lastRequest().header("X-Kept"), QByteArray("1"));
}

void tst_HttpClient::asyncUnsynchronizedRunsOffMainThread()
{
    TestHttpServer server;
    std::atomic<int> calls{ 0 };
    std::atomic<bool> offMain{ false };
    QThread *main = QThread::currentThread();
    clientFor(server.url())
        ->async(
            [&](const HttpResponse &) {
                offMain = QThread::currentThread() != main;
                ++calls;
            },
            nullptr, false)
        .get(QStringLiteral("/u"));
    // no event loop needed on this thread
    QElapsedTimer t;
    t.start();
    while (calls.load() == 0 && t.elapsed() < 5000)
        QThread::msleep(5);
    QCOMPARE(calls.load(), 1);
    QVERIFY(offMain.load());
}

// Child process: requests stuck in flight when the application goes away.
static int exitWithRequestsInFlightChild(int argc, char **argv)
{
    // the handshakes complete and the requests sit unanswered
    SilentListener listener(16);
    if (!listener.port)
        return 3;
    const QString url = listener.url();
    {
        QCoreApplication app(argc, argv);
        auto c = clientFor(url, 60000);
        c->async([](const HttpResponse &) { puts("completion"); }, [](const Platform::Error &) { puts("error"); })
            .get(QStringLiteral("/async"));
        Platform::Async::run([url] { clientFor(url, 60000)->get(QStringLiteral("/sync")); }, [] { puts("success"); },
                             [](const Platform::Error &) { puts("failure"); });
        QThread::msleep(300);
        puts("leaving");
        fflush(stdout);
    }
    return 0;
}

void tst_HttpClient::exitWithRequestsInFlight()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--exit-with-requests-in-flight") });
    QVERIFY(child.waitForStarted());
    QElapsedTimer t;
    t.start();
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    // the read timeout is a minute: the exit must not wait for it
    QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
    const QByteArray out = child.readAllStandardOutput();
    QCOMPARE(out, QByteArray("leaving\n")); // no handler runs once the event loop is gone
    const QByteArray err = child.readAllStandardError();
    QVERIFY2(!err.contains("QThread"), err.constData());
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--exit-with-requests-in-flight") == 0)
        return exitWithRequestsInFlightChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_HttpClient tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_httpclient.moc"
