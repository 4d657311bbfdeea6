#include "HttpClient.h"
#include "TestHttpServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>
#include <stdexcept>

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

// An address on which nothing listens.
QString refusingUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
}

QString transportFailureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const TransportError &e) {
        return e.message();
    }
    return QStringLiteral("<no transport error>");
}

// A request on c must fail with the timeout of 300 ms it is set to, in about that time.
void expectTimeout(HttpClient &c, const QString &message)
{
    QElapsedTimer t;
    t.start();
    const QString failure = transportFailureOf([&] { c.get(QStringLiteral("/slow")); });
    QVERIFY2(failure.startsWith(message + QStringLiteral(" after 300 ms")), qPrintable(failure));
    QVERIFY2(t.elapsed() >= 280 && t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
}

} // namespace

class tst_HttpClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void verbsSendMethodBodyAndContentType_data();
    void verbsSendMethodBodyAndContentType();
    void queryAndPathParamsForOneRequest();
    void cookiesAreNotShared();
    void bodiesArriveWholeWithPadding();
    void sinksTakeBodiesWhileTheyArrive();
    void transportFailures_data();
    void transportFailures();
    void timeouts();
    void connectionsAreReused();
    void asyncDeliversOnceOnMainThread();
    void redirectsStayWithTheServer();
    void answersWithoutABodyAreWhole();
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
    server.enqueue(Reply::json(R"({"message":"bad"})", 422)); // a failure status is a response too
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
    QCOMPARE(r.statusCode, 422);
    QVERIFY(!r.success());
    QCOMPARE(r.content(), QStringLiteral(R"({"message":"bad"})"));
    QCOMPARE(r.header("content-TYPE"), QByteArray("application/json"));
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

void tst_HttpClient::queryAndPathParamsForOneRequest()
{
    TestHttpServer server;
    auto c = clientFor(server.url() + QStringLiteral("/api"));
    c->addHeader(QStringLiteral("X-Tenant"), QStringLiteral("t1"));
    c->addPathParam(QStringLiteral("id"), 42)
        .addPathParam(QStringLiteral("name"), QStringLiteral("a b/c?"))
        .addPathParam(QStringLiteral("day"), QDate(2024, 2, 29))
        .addPathParam(QStringLiteral("ID"), QStringLiteral("upper")) // names differ in case: two parameters
        .addQueryStringParam(QStringLiteral("q"), QStringLiteral("a+b&c=d e"))
        .addQueryStringParam(QStringLiteral("name"), QStringLiteral("Zoë 中文/?#"))
        .addQueryStringParam(QStringLiteral("n"), -7)
        .addQueryStringParam(QStringLiteral("k&=%"), QStringLiteral("100%"));
    c->get(QStringLiteral("/v1/{id}/{name}/{day}/{id}/{ID}?fixed=1"));
    RecordedRequest req = server.lastRequest();
    QCOMPARE(req.rawPath, QByteArray("/api/v1/42/a%20b%2Fc%3F/2024-02-29/42/upper"));
    const QList<QPair<QString, QString>> expected = { { "fixed", "1" },
                                                      { "q", "a+b&c=d e" },
                                                      { "name", QStringLiteral("Zoë 中文/?#") },
                                                      { "n", "-7" },
                                                      { "k&=%", "100%" } };
    QCOMPARE(req.queryItems, expected);
    // '+' must travel encoded: a server reads a bare '+' as a space
    QVERIFY(req.rawQuery.contains("a%2Bb%26c%3Dd%20e"));

    // parameters belong to one request, headers stay
    c->get(QStringLiteral("/v1/{id}"));
    req = server.lastRequest();
    QCOMPARE(req.rawPath, QByteArray("/api/v1/%7Bid%7D"));
    QVERIFY(req.queryItems.isEmpty());
    QCOMPARE(req.header("X-Tenant"), QByteArray("t1"));
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

// A body is gathered in place, sized by its Content-Length or grown without
// one, and keeps the spare room a read-ahead parser needs.
void tst_HttpClient::bodiesArriveWholeWithPadding()
{
    QByteArray big(3 * 1024 * 1024 + 7, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char('a' + (i * 7919) % 26);
    const QByteArray unannounced = big.left(1024 * 1024 + 3);
    TestHttpServer server([&](const RecordedRequest &request) {
        if (request.path == QStringLiteral("/big"))
            return Reply::text(big);
        // no Content-Length: read until the server closes
        return Reply::withAction(Reply::Action::Garbage, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + unannounced);
    });
    for (const auto &[path, expected] :
         { std::pair(QStringLiteral("/big"), big), std::pair(QStringLiteral("/unannounced"), unannounced) }) {
        const Platform::HttpResponse r = clientFor(server.url())->get(path);
        QCOMPARE(r.statusCode, 200);
        QCOMPARE(r.body.size(), expected.size());
        QVERIFY(r.body == expected);
        QVERIFY(r.body.capacity() - r.body.size() >= Platform::HttpResponse::BodyPadding);
    }
}

// A sink records what it is given, on the thread that waits in get().
class RecordingSink : public Platform::HttpBodySink
{
public:
    bool accept(const HttpResponse &AHead) override
    {
        ++heads;
        status = AHead.statusCode;
        length = AHead.header("Content-Length");
        return AHead.success();
    }
    void append(const char *AData, qsizetype ASize) override
    {
        QVERIFY(QThread::currentThread() == thread);
        if (throwAfter >= 0 && body.size() >= throwAfter)
            throw std::runtime_error("sink gave up");
        if (std::exchange(stallFirst, 0) > 0)
            QThread::msleep(900);
        body.append(AData, ASize);
        ++pieces;
    }

    QThread *const thread = QThread::currentThread();
    int heads = 0;
    int status = 0;
    QByteArray length;
    QByteArray body;
    int pieces = 0;
    qsizetype throwAfter = -1;
    int stallFirst = 0; // the first piece takes 0.9 s
};

// The body of an answer the sink accepts goes to it in order, and nowhere
// else; an answer it declines comes back whole; a transfer that breaks off
// fails as it does without a sink, and a sink that throws aborts the request
// without harming the next one.
void tst_HttpClient::sinksTakeBodiesWhileTheyArrive()
{
    QByteArray big(3 * 1024 * 1024 + 7, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char('a' + (i * 7919) % 26);
    TestHttpServer server([&](const RecordedRequest &request) {
        if (request.path == QStringLiteral("/missing"))
            return Reply::json(R"({"message":"no such list"})", 404);
        if (request.path == QStringLiteral("/broken"))
            return Reply::withAction(Reply::Action::PartialBodyThenClose, big);
        return Reply::text(big);
    });
    auto c = clientFor(server.url());

    RecordingSink taking;
    const HttpResponse r = c->get(QStringLiteral("/big"), taking);
    QCOMPARE(r.statusCode, 200);
    QVERIFY(r.body.isEmpty());
    QCOMPARE(taking.heads, 1);
    QCOMPARE(taking.length, QByteArray::number(big.size()));
    QCOMPARE(taking.body.size(), big.size());
    QVERIFY(taking.body == big);
    QVERIFY(taking.pieces >= 1);

    RecordingSink declining;
    const HttpResponse missing = c->get(QStringLiteral("/missing"), declining);
    QCOMPARE(missing.statusCode, 404);
    QCOMPARE(declining.status, 404);
    QVERIFY(declining.body.isEmpty());
    QCOMPARE(missing.body, QByteArray(R"({"message":"no such list"})"));
    QVERIFY(missing.body.capacity() - missing.body.size() >= Platform::HttpResponse::BodyPadding);

    RecordingSink cut;
    const QString failure = transportFailureOf([&] { c->get(QStringLiteral("/broken"), cut); });
    QVERIFY2(failure.startsWith(QStringLiteral("Connection closed")), qPrintable(failure));
    QVERIFY(cut.body.size() < big.size());

    RecordingSink giving;
    giving.throwAfter = 0;
    bool thrown = false;
    try {
        c->get(QStringLiteral("/big"), giving);
    } catch (const std::runtime_error &) {
        thrown = true;
    }
    QVERIFY(thrown);
    RecordingSink after;
    QCOMPARE(c->get(QStringLiteral("/big"), after).statusCode, 200);
    QVERIFY(after.body == big);

    // A sink far behind holds the transfer back; the silence that makes is
    // not a read timeout, and nothing is lost or reordered.
    const QByteArray large = big.repeated(4);
    // larger than what the sockets and Qt's buffers take in while the sink
    // stalls, so that the transfer is still held back when the sink quits
    const QByteArray huge = big.repeated(16);
    TestHttpServer bulk([&](const RecordedRequest &request) {
        return Reply::text(request.path == QStringLiteral("/huge") ? huge : large);
    });
    RecordingSink slow;
    slow.stallFirst = 1;
    const HttpResponse held = clientFor(bulk.url(), 300)->get(QStringLiteral("/large"), slow);
    QCOMPARE(held.statusCode, 200);
    QCOMPARE(slow.body.size(), large.size());
    QVERIFY(slow.body == large);

    // A sink that gives up while the transfer waits for it lets the
    // connection go at once, not when the server or the read timeout (60 s
    // here) ends it; the wait leaves room for a loaded machine.
    RecordingSink quitting;
    quitting.stallFirst = 1;
    quitting.throwAfter = 1;
    bool quit = false;
    try {
        clientFor(bulk.url(), 60000)->get(QStringLiteral("/huge"), quitting);
    } catch (const std::runtime_error &) {
        quit = true;
    }
    QVERIFY(quit);
    QVERIFY(bulk.waitForClientCloses(1, 20000));
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
    const QString base = action < 0 ? refusingUrl() : server.url();
    auto c = clientFor(base);
    const QString failure = transportFailureOf([&] { c->get(QStringLiteral("/v1/rows")); });
    QVERIFY2(failure.startsWith(message), qPrintable(failure));
    QVERIFY2(failure.endsWith(base + QStringLiteral("/v1/rows")), qPrintable(failure));
}

void tst_HttpClient::timeouts()
{
    TestHttpServer server([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    expectTimeout(*clientFor(server.url(), 300), QStringLiteral("Read timed out"));

    // the read timeout counts silence, not the whole exchange
    TestHttpServer lively;
    Reply slow = Reply::json("{}");
    slow.delayMs = 200;
    lively.enqueue(slow);
    lively.enqueue(slow);
    auto patient = clientFor(lively.url(), 350);
    QCOMPARE(patient->get(QStringLiteral("/a")).statusCode, 200);
    QCOMPARE(patient->get(QStringLiteral("/b")).statusCode, 200);

    // A request waiting its turn for a connection (a server takes six at a
    // time from a client) is not timed out for the wait: the connect timeout
    // counts from its own connecting.
    TestHttpServer busy([](const RecordedRequest &request) {
        Reply r = Reply::json("{}");
        if (request.path == QStringLiteral("/slow"))
            r.delayMs = 1200;
        return r;
    });
    int answered = 0;
    QStringList failures;
    auto track = [&](HttpClient &client, const QString &path) {
        client
            .async([&](const HttpResponse &) { ++answered; },
                   [&](const Platform::Error &e) { failures << e.message(); })
            .get(path);
    };
    for (int i = 0; i < 6; ++i)
        track(*clientFor(busy.url()), QStringLiteral("/slow"));
    QVERIFY(busy.waitForRequests(6));
    auto waiting = clientFor(busy.url());
    waiting->setConnectTimeout(500);
    track(*waiting, QStringLiteral("/quick"));
    QTRY_COMPARE_WITH_TIMEOUT(answered + failures.size(), 7, 5000);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));

    // a listener that never accepts, its queue full: the next handshake never completes
    QTcpServer listener;
    listener.setListenBacklogSize(0);
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    listener.pauseAccepting();
    QTcpSocket fillers[3];
    for (QTcpSocket &filler : fillers) {
        filler.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        filler.waitForConnected(200);
    }
    auto c = clientFor(QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort()), 10000);
    c->setConnectTimeout(300);
    expectTimeout(*c, QStringLiteral("Connection timed out"));
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

void tst_HttpClient::asyncDeliversOnceOnMainThread()
{
    TestHttpServer server([](const RecordedRequest &) { return Reply::json(R"({"ok":true})"); });
    auto c = clientFor(server.url());
    int completions = 0, errors = 0;
    bool onMainThread = false;
    HttpResponse got;
    auto completed = [&](const HttpResponse &r) {
        ++completions;
        got = r;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    const HttpResponse immediate =
        c->async(completed, [&](const Platform::Error &) { ++errors; }).get(QStringLiteral("/a"));
    QCOMPARE(immediate.statusCode, 0); // back before any answer exists
    QVERIFY(!c->isAsyncArmed());
    // the arming covers one request: the next verb is synchronous again
    QCOMPARE(c->get(QStringLiteral("/b")).statusCode, 200);
    QTRY_COMPARE(completions, 1);
    QTest::qWait(100);
    QCOMPARE(completions, 1);
    QCOMPARE(errors, 0);
    QVERIFY(onMainThread);
    QCOMPARE(got.content(), QStringLiteral(R"({"ok":true})"));

    // a transport failure goes to the error handler alone, on the main thread too
    QString message;
    onMainThread = false;
    clientFor(refusingUrl())
        ->async(completed,
                [&](const Platform::Error &e) {
                    ++errors;
                    message = e.message();
                    onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
                })
        .get(QStringLiteral("/x"));
    QTRY_COMPARE(errors, 1);
    QTest::qWait(50);
    QCOMPARE(errors + completions, 2);
    QVERIFY(onMainThread);
    QVERIFY2(message.startsWith(QStringLiteral("Connection refused")), qPrintable(message));
}

// A redirect on the same server is followed; one to another server would
// hand it the request's headers, the bearer token among them, and is refused.
void tst_HttpClient::redirectsStayWithTheServer()
{
    TestHttpServer other;
    TestHttpServer server([&](const RecordedRequest &request) {
        if (request.path == QStringLiteral("/moved")) {
            Reply moved = Reply::json("{}", 302);
            moved.addHeader("Location", "/here");
            return moved;
        }
        if (request.path == QStringLiteral("/created")) {
            Reply seeOther = Reply::json(R"({"long":"body of the redirect"})", 303);
            seeOther.addHeader("Location", "/here");
            return seeOther;
        }
        if (request.path == QStringLiteral("/away")) {
            Reply away = Reply::json("{}", 302);
            away.addHeader("Location", (other.url() + QStringLiteral("/there")).toUtf8());
            return away;
        }
        return Reply::json(R"({"at":"here"})");
    });
    auto c = clientFor(server.url());
    c->addHeader(QStringLiteral("Authorization"), QStringLiteral("Bearer secret"));
    HttpResponse followed;
    try {
        followed = c->get(QStringLiteral("/moved"));
    } catch (const TransportError &e) {
        qWarning() << "DIAG" << e.message();
        throw;
    }
    QCOMPARE(followed.statusCode, 200);
    QCOMPARE(followed.content(), QStringLiteral(R"({"at":"here"})"));
    QCOMPARE(server.lastRequest().path, QStringLiteral("/here"));
    // the answer's own headers, none of the redirect's
    QCOMPARE(followed.header("Content-Length"), QByteArray("13"));
    QVERIFY(followed.header("Location").isEmpty());

    // a sink sees the answer only, not the redirect's body
    RecordingSink sink;
    QCOMPARE(c->get(QStringLiteral("/moved"), sink).statusCode, 200);
    QCOMPARE(sink.heads, 1);
    QCOMPARE(sink.body, QByteArray(R"({"at":"here"})"));

    // "see other" after a POST goes on as a GET, without the body
    QCOMPARE(c->post(QStringLiteral("/created"), "{}", QStringLiteral("application/json")).statusCode, 200);
    QCOMPARE(server.lastRequest().method, QByteArray("GET"));
    QVERIFY(server.lastRequest().body.isEmpty());
    QVERIFY(!server.lastRequest().hasHeader("Content-Type"));

    const QString failure = transportFailureOf([&] { c->get(QStringLiteral("/away")); });
    QVERIFY2(failure.startsWith(QStringLiteral("Redirect to another server refused")), qPrintable(failure));
    QCOMPARE(other.requestCount(), 0);
}

// A 204 or 304 ends with its head whatever Content-Length it names (a 304
// names the length of what it did not send); it is an answer, not a
// connection that broke off, and the connection still serves the next one.
void tst_HttpClient::answersWithoutABodyAreWhole()
{
    TestHttpServer server([](const RecordedRequest &request) {
        if (request.path == QStringLiteral("/deleted"))
            return Reply::text("stray", 204); // a sloppy server sends a body anyway
        if (request.path == QStringLiteral("/unchanged"))
            return Reply::withAction(Reply::Action::Garbage,
                                     "HTTP/1.1 304 Not Modified\r\nContent-Length: 7\r\nConnection: close\r\n\r\n");
        return Reply::json(R"({"next":true})");
    });
    auto c = clientFor(server.url());
    const HttpResponse deleted = c->del(QStringLiteral("/deleted"));
    QCOMPARE(deleted.statusCode, 204);
    QVERIFY(deleted.body.isEmpty());
    QCOMPARE(c->get(QStringLiteral("/next")).content(), QStringLiteral(R"({"next":true})"));

    RecordingSink sink;
    const HttpResponse unchanged = c->get(QStringLiteral("/unchanged"), sink);
    QCOMPARE(unchanged.statusCode, 304);
    QVERIFY(sink.body.isEmpty());
    QCOMPARE(c->get(QStringLiteral("/next")).content(), QStringLiteral(R"({"next":true})"));
}

QTEST_GUILESS_MAIN(tst_HttpClient)

#include "tst_httpclient.moc"
