#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSemaphore>
#include <QtTest>

using Platform::HttpResponse;

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

// Sends one request the way the row says and returns what the server saw.
RecordedRequest sendAs(TZeltRestClient &rc, TestHttpServer &server, const QString &how)
{
    const int before = server.requestCount();
    if (how.startsWith(QLatin1String("Create"))) {
        rc.CreateRestClient(how.endsWith(QLatin1String("True")))->get(QStringLiteral("/sys/v1/app/menus"));
    } else {
        int done = 0;
        rc.SendRequest([&](const HttpResponse &) { ++done; }, [&](const Platform::Error &) { ++done; },
                       how.endsWith(QLatin1String("True")))
            .get(QStringLiteral("/sys/v1/app/menus"));
        if (!QTest::qWaitFor([&] { return done == 1; }, 5000))
            return {};
    }
    if (server.requestCount() != before + 1)
        return {};
    return server.lastRequest();
}

} // namespace

class tst_ZeltRestClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void headerTable_data();
    void headerTable();
    void bearerPrefixOnlyBeforeCredentials();
    void createRestClientGivesDistinctClients();
    void handedOutClientsKeepTheirHeaders();
    void setHeaderDataFromJson_data();
    void setHeaderDataFromJson();
    void sendRequestArmsItsOwnClientOnce();
    void sendRequestUnauthorisedDropsEarlierToken();
    void sendRequestHandlers();
    void timeoutsReachTheClients();
};

void tst_ZeltRestClient::headerTable_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("hasAuthorization");
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<QByteArray>("language");
    // a signed-in user whose language is id_ID
    QTest::newRow("CreateRestClient(True)") << "CreateTrue" << true << QByteArray("Bearer tok-123") << QByteArray("en_US");
    QTest::newRow("CreateRestClient(False)") << "CreateFalse" << false << QByteArray() << QByteArray("en_US");
    QTest::newRow("SendRequest(True)") << "SendTrue" << true << QByteArray("Bearer tok-123") << QByteArray("id_ID");
    QTest::newRow("SendRequest(False)") << "SendFalse" << false << QByteArray() << QByteArray("en_US");
}

void tst_ZeltRestClient::headerTable()
{
    QFETCH(QString, how);
    QFETCH(bool, hasAuthorization);
    QFETCH(QByteArray, authorization);
    QFETCH(QByteArray, language);
    TestHttpServer server;
    TZeltRestClient rc(server.url() + QStringLiteral("/api"), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("tok-123"), QStringLiteral("ref-456"), QStringLiteral("id_ID"));

    const RecordedRequest req = sendAs(rc, server, how);
    QCOMPARE(req.path, QStringLiteral("/api/sys/v1/app/menus"));
    QCOMPARE(req.header("User-Agent"), QByteArray("ZeltERP"));
    QCOMPARE(req.hasHeader("Authorization"), hasAuthorization);
    QCOMPARE(req.headerCount("Authorization"), hasAuthorization ? 1 : 0);
    QCOMPARE(req.header("Authorization"), authorization);
    QCOMPARE(req.headerCount("Accept-Language"), 1);
    QCOMPARE(req.header("Accept-Language"), language);
    // the refresh token is stored, never sent
    for (const auto &h : req.headers)
        QVERIFY(!h.second.contains("ref-456"));
}

void tst_ZeltRestClient::bearerPrefixOnlyBeforeCredentials()
{
    TestHttpServer server;
    TZeltRestClient rc(server.url(), 3000, 3000);
    QCOMPARE(sendAs(rc, server, QStringLiteral("CreateTrue")).header("Authorization"), QByteArray("Bearer "));
    QCOMPARE(sendAs(rc, server, QStringLiteral("SendTrue")).header("Authorization"), QByteArray("Bearer "));
}

void tst_ZeltRestClient::createRestClientGivesDistinctClients()
{
    TZeltRestClient rc(QStringLiteral("http://127.0.0.1:9"), 10000, 10000);
    auto a = rc.CreateRestClient(true);
    auto b = rc.CreateRestClient(true);
    QVERIFY(a != nullptr && b != nullptr);
    QVERIFY(a.get() != b.get());
    a->addHeader(QStringLiteral("Accept-Language"), QStringLiteral("id_ID"));
    QCOMPARE(b->header(QStringLiteral("Accept-Language")), QStringLiteral("en_US"));
    // neither is the instance's own client
    QVERIFY(&rc.SendRequest(nullptr, nullptr, false) != a.get());
}

void tst_ZeltRestClient::handedOutClientsKeepTheirHeaders()
{
    TestHttpServer server;
    TZeltRestClient rc(server.url(), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("old"), QStringLiteral("r"), QStringLiteral("en_US"));
    auto early = rc.CreateRestClient(true);
    rc.SetHeaderData(QStringLiteral("new"), QStringLiteral("r2"), QStringLiteral("id_ID"));
    early->get(QStringLiteral("/x"));
    QCOMPARE(server.lastRequest().header("Authorization"), QByteArray("Bearer old"));
    rc.CreateRestClient(true)->get(QStringLiteral("/x"));
    QCOMPARE(server.lastRequest().header("Authorization"), QByteArray("Bearer new"));
}

void tst_ZeltRestClient::setHeaderDataFromJson_data()
{
    QTest::addColumn<QByteArray>("object");
    QTest::addColumn<bool>("raises");
    QTest::addColumn<QString>("access");
    QTest::addColumn<QString>("refresh");
    QTest::addColumn<QString>("lang");
    // fields start as "A0", "R0", "L0"
    QTest::newRow("complete") << QByteArray(R"({"token":{"access":"a1","refresh":"r1"},"lang_code":"id_ID","x":1})")
                              << false << "a1" << "r1" << "id_ID";
    QTest::newRow("no refresh") << QByteArray(R"({"token":{"access":"a1"},"lang_code":"id_ID"})")
                                << true << "a1" << "R0" << "L0";
    QTest::newRow("no token") << QByteArray(R"({"lang_code":"id_ID"})") << true << "A0" << "R0" << "L0";
    QTest::newRow("access not a string") << QByteArray(R"({"token":{"access":5,"refresh":"r1"},"lang_code":"x"})")
                                         << true << "A0" << "R0" << "L0";
    QTest::newRow("empty object") << QByteArray("{}") << true << "A0" << "R0" << "L0";
}

void tst_ZeltRestClient::setHeaderDataFromJson()
{
    QFETCH(QByteArray, object);
    QFETCH(bool, raises);
    QFETCH(QString, access);
    QFETCH(QString, refresh);
    QFETCH(QString, lang);
    TZeltRestClient rc(QStringLiteral("http://127.0.0.1:9"), 10000, 10000);
    rc.SetHeaderData(QStringLiteral("A0"), QStringLiteral("R0"), QStringLiteral("L0"));
    bool raised = false;
    try {
        rc.SetHeaderData(json(object.constData()));
    } catch (const Platform::JsonMemberError &e) {
        raised = true;
        QVERIFY(!e.message().isEmpty());
    }
    QCOMPARE(raised, raises);
    QCOMPARE(rc.AccessToken(), access);
    QCOMPARE(rc.RefreshToken(), refresh);
    QCOMPARE(rc.LangId(), lang);
}

void tst_ZeltRestClient::sendRequestArmsItsOwnClientOnce()
{
    QSemaphore gate;
    TestHttpServer server([&gate](const RecordedRequest &r) {
        if (!r.path.endsWith(QLatin1String("/status/PO")))
            return Reply::json("{}");
        gate.tryAcquire(1, 10000);
        return Reply::json(R"({"status":"ok"})");
    });
    TZeltRestClient rc(server.url() + QStringLiteral("/api"), 3000, 3000);
    Platform::HttpClient &first = rc.SendRequest(nullptr, nullptr, true);
    first.get(QStringLiteral("/warm-up"));
    QVERIFY(server.waitForRequests(1));

    int completions = 0;
    QString body;
    Platform::HttpClient &again = rc.SendRequest(
        [&](const HttpResponse &r) {
            ++completions;
            body = r.content();
        },
        nullptr, false);
    QCOMPARE(&again, &first);
    QVERIFY(again.isAsyncArmed());
    again.addPathParam(QStringLiteral("status_group_id"), QStringLiteral("PO"))
        .addQueryStringParam(QStringLiteral("showall"), 1)
        .get(QStringLiteral("/com/v1/master/status/{status_group_id}"));
    // back before the answer exists
    QVERIFY(!again.isAsyncArmed());
    QVERIFY(server.waitForRequests(2));
    QCOMPARE(completions, 0);
    gate.release();
    QTRY_COMPARE(completions, 1);
    QCOMPARE(body, QStringLiteral(R"({"status":"ok"})"));

    QTRY_COMPARE(server.requestCount(), 2);
    RecordedRequest req;
    for (const RecordedRequest &r : server.requests()) {
        if (r.path != QLatin1String("/api/warm-up"))
            req = r;
    }
    QCOMPARE(req.path, QStringLiteral("/api/com/v1/master/status/PO"));
    QCOMPARE(req.queryValue(QStringLiteral("showall")), QStringLiteral("1"));
}

void tst_ZeltRestClient::sendRequestUnauthorisedDropsEarlierToken()
{
    TestHttpServer server;
    TZeltRestClient rc(server.url(), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("tok"), QStringLiteral("ref"), QStringLiteral("id_ID"));
    QCOMPARE(sendAs(rc, server, QStringLiteral("SendTrue")).header("Authorization"), QByteArray("Bearer tok"));
    const RecordedRequest plain = sendAs(rc, server, QStringLiteral("SendFalse"));
    QVERIFY(!plain.hasHeader("Authorization"));
    QCOMPARE(plain.header("Accept-Language"), QByteArray("en_US"));
    QCOMPARE(sendAs(rc, server, QStringLiteral("SendTrue")).header("Accept-Language"), QByteArray("id_ID"));
}

void tst_ZeltRestClient::sendRequestHandlers()
{
    // an HTTP failure status is a response for the completion handler
    TestHttpServer server;
    server.enqueue(Reply::json(R"({"message":"Invalid credential"})", 401));
    TZeltRestClient rc(server.url(), 3000, 3000);
    int completions = 0;
    int errors = 0;
    HttpResponse got;
    rc.SendRequest([&](const HttpResponse &r) { ++completions; got = r; },
                   [&](const Platform::Error &) { ++errors; }, false)
        .post(QStringLiteral("/auth/v1/login"), QStringLiteral(R"({"email":"a@b.c"})"), QStringLiteral("application/json"));
    QTRY_COMPARE(completions, 1);
    QCOMPARE(errors, 0);
    QCOMPARE(got.statusCode, 401);
    QVERIFY(!got.success());
    QCOMPARE(got.content(), QStringLiteral(R"({"message":"Invalid credential"})"));
    QCOMPARE(server.lastRequest().body, QByteArray(R"({"email":"a@b.c"})"));
    QCOMPARE(server.lastRequest().header("Content-Type"), QByteArray("application/json"));
    // (a transport failure goes to the error handler: the HTTP client's own test)
}

void tst_ZeltRestClient::timeoutsReachTheClients()
{
    TestHttpServer server([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    TZeltRestClient rc(server.url(), 300, 300);
    QElapsedTimer t;
    t.start();
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError, rc.CreateRestClient(true)->get(QStringLiteral("/x")));
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));

    int errors = 0;
    rc.SendRequest(nullptr, [&](const Platform::Error &) { ++errors; }, true).get(QStringLiteral("/y"));
    QTRY_COMPARE_WITH_TIMEOUT(errors, 1, 3000);
}

QTEST_GUILESS_MAIN(tst_ZeltRestClient)

#include "tst_zeltrestclient.moc"
