#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QtTest>

using Platform::HttpResponse;

namespace {

// What the server saw of one request sent as `how` says: Create or Send, then IsAuth True or False.
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
    void headerRules_data();
    void headerRules();
    void unauthorisedRequestCarriesNoStaleToken();
    void handedOutClientsAreDistinct();
    void noLanguageIsNotTheWorkstations();
    void setHeaderDataFromJson();
    void sendRequestArmsItsOwnClientOnce();
    void timeoutsReachTheClients();
    void tokenStaysWithItsServer_data();
    void tokenStaysWithItsServer();
    void redirectOnItsServerIsFollowed();
};

void tst_ZeltRestClient::headerRules_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("token"); // the user's language is always id_ID
    QTest::addColumn<QByteArray>("authorization"); // empty: no such header
    QTest::addColumn<QByteArray>("language");
    const QString tok = QStringLiteral("tok-123");
    QTest::newRow("CreateRestClient(True)")
        << "CreateTrue" << tok << QByteArray("Bearer tok-123") << QByteArray("en_US");
    QTest::newRow("CreateRestClient(False)") << "CreateFalse" << tok << QByteArray() << QByteArray("en_US");
    QTest::newRow("SendRequest(True)") << "SendTrue" << tok << QByteArray("Bearer tok-123") << QByteArray("id_ID");
    QTest::newRow("SendRequest(False)") << "SendFalse" << tok << QByteArray() << QByteArray("en_US");
    QTest::newRow("CreateRestClient(True) signed out")
        << "CreateTrue" << QString() << QByteArray("Bearer ") << QByteArray("en_US");
    QTest::newRow("SendRequest(True) signed out")
        << "SendTrue" << QString() << QByteArray("Bearer ") << QByteArray("id_ID");
    QTest::newRow("CreateRestClient(True) CR/LF")
        << "CreateTrue"
        << "t\r\nX-Injected: 1" << QByteArray("Bearer tX-Injected: 1") << QByteArray("en_US");
    QTest::newRow("SendRequest(True) CR/LF")
        << "SendTrue"
        << "t\r\nX-Injected: 1" << QByteArray("Bearer tX-Injected: 1") << QByteArray("id_ID");
}

void tst_ZeltRestClient::headerRules()
{
    QFETCH(QString, how);
    QFETCH(QString, token);
    QFETCH(QByteArray, authorization);
    QFETCH(QByteArray, language);
    TestHttpServer server;
    TZeltRestClient rc(server.url() + QStringLiteral("/api"), 3000, 3000);
    rc.SetHeaderData(token, QStringLiteral("ref-456"), QStringLiteral("id_ID"));

    const RecordedRequest req = sendAs(rc, server, how);
    QCOMPARE(req.path, QStringLiteral("/api/sys/v1/app/menus"));
    QCOMPARE(req.header("User-Agent"), QByteArray("ZeltERP"));
    QCOMPARE(req.headerCount("Authorization"), authorization.isEmpty() ? 0 : 1);
    QCOMPARE(req.header("Authorization"), authorization);
    QCOMPARE(req.headerCount("Accept-Language"), 1);
    QCOMPARE(req.header("Accept-Language"), language);
    QVERIFY(!req.hasHeader("X-Injected"));
    for (const auto &h : req.headers)
        QVERIFY(!h.second.contains("ref-456")); // the refresh token is stored, never sent
}

void tst_ZeltRestClient::unauthorisedRequestCarriesNoStaleToken()
{
    TestHttpServer server;
    TZeltRestClient rc(server.url(), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("tok"), QStringLiteral("ref"), QStringLiteral("id_ID"));
    QCOMPARE(sendAs(rc, server, QStringLiteral("SendTrue")).header("Authorization"), QByteArray("Bearer tok"));
    const RecordedRequest plain = sendAs(rc, server, QStringLiteral("SendFalse"));
    QVERIFY(!plain.hasHeader("Authorization"));
    QCOMPARE(plain.header("Accept-Language"), QByteArray("en_US"));

    rc.SetHeaderData(QStringLiteral("tok2"), QStringLiteral("ref"), QStringLiteral("id_ID"));
    const RecordedRequest again = sendAs(rc, server, QStringLiteral("SendTrue"));
    QCOMPARE(again.headerCount("Authorization"), 1);
    QCOMPARE(again.header("Authorization"), QByteArray("Bearer tok2"));
    QCOMPARE(again.headerCount("Accept-Language"), 1);
    QCOMPARE(again.header("Accept-Language"), QByteArray("id_ID"));
}

void tst_ZeltRestClient::handedOutClientsAreDistinct()
{
    TestHttpServer server;
    TZeltRestClient rc(server.url(), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("old"), QStringLiteral("r"), QStringLiteral("en_US"));
    auto early = rc.CreateRestClient(true);
    // what is set on one client, or armed on the long-lived one, stays there
    rc.CreateRestClient(true)->addQueryStringParam(QStringLiteral("other"), QStringLiteral("1"));
    rc.SendRequest(nullptr, nullptr, false).addQueryStringParam(QStringLiteral("armed"), QStringLiteral("1"));
    QVERIFY(!early->isAsyncArmed());
    rc.SetHeaderData(QStringLiteral("new"), QStringLiteral("r2"), QStringLiteral("id_ID"));

    // a client keeps the headers it was handed out with
    QCOMPARE(early->get(QStringLiteral("/x")).statusCode, 200); // answered, so not the armed client
    QCOMPARE(server.requestCount(), 1);
    QVERIFY(server.lastRequest().queryItems.isEmpty());
    QCOMPARE(server.lastRequest().header("Authorization"), QByteArray("Bearer old"));
    QCOMPARE(server.lastRequest().header("Accept-Language"), QByteArray("en_US"));
    rc.CreateRestClient(true)->get(QStringLiteral("/x"));
    QCOMPARE(server.lastRequest().header("Authorization"), QByteArray("Bearer new"));
}

// Without a language code the header still carries one of ours: the HTTP
// stack would fill an empty or missing one with the workstation's locale.
void tst_ZeltRestClient::noLanguageIsNotTheWorkstations()
{
    TestHttpServer server;
    TZeltRestClient rc(server.url(), 3000, 3000);
    for (const QString &language : { QString(), QStringLiteral("  ") }) {
        rc.SetHeaderData(QStringLiteral("tok"), QStringLiteral("ref"), language);
        const RecordedRequest req = sendAs(rc, server, QStringLiteral("SendTrue"));
        QCOMPARE(req.header("Authorization"), QByteArray("Bearer tok"));
        QCOMPARE(req.headerCount("Accept-Language"), 1);
        QCOMPARE(req.header("Accept-Language"), QByteArray("en_US"));
    }
}

void tst_ZeltRestClient::setHeaderDataFromJson()
{
    TZeltRestClient rc(QStringLiteral("http://127.0.0.1:9"), 10000, 10000);
    auto credentials = [&] { return QStringList { rc.AccessToken(), rc.RefreshToken(), rc.LangId() }; };
    rc.SetHeaderData(
        QJsonDocument::fromJson(R"({"token":{"access":"a1","refresh":"r1"},"lang_code":"id_ID"})").object());
    QCOMPARE(credentials(), QStringList({ "a1", "r1", "id_ID" }));
    // a missing member raises; the fields read before it keep their new values
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                             rc.SetHeaderData(QJsonDocument::fromJson(R"({"token":{"access":"a2"}})").object()));
    QCOMPARE(credentials(), QStringList({ "a2", "r1", "id_ID" }));
}

void tst_ZeltRestClient::sendRequestArmsItsOwnClientOnce()
{
    TestHttpServer server([](const RecordedRequest &) { return Reply::json(R"({"status":"ok"})"); });
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
    QVERIFY(!again.isAsyncArmed());
    QCOMPARE(completions, 0); // back before the answer is delivered
    QTRY_COMPARE(completions, 1);
    QCOMPARE(body, QStringLiteral(R"({"status":"ok"})"));
    QCOMPARE(server.requestCount(), 2);
    QCOMPARE(server.lastRequest().path, QStringLiteral("/api/com/v1/master/status/PO"));
    QCOMPARE(server.lastRequest().queryValue(QStringLiteral("showall")), QStringLiteral("1"));
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
    rc.SendRequest(
          nullptr, [&](const Platform::Error &) { ++errors; }, true)
        .get(QStringLiteral("/y"));
    QTRY_COMPARE_WITH_TIMEOUT(errors, 1, 3000);
}

// A redirect to another server never takes the user's token (nor a sign-in's password, which a 307 sends
// again) along; the caller hears that the request failed.
void tst_ZeltRestClient::tokenStaysWithItsServer_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("status");
    for (const char *how : { "CreateTrue", "SendTrue" }) {
        for (const int status : { 302, 307 })
            QTest::addRow("%s, %d", how, status) << how << status;
    }
}

void tst_ZeltRestClient::tokenStaysWithItsServer()
{
    QFETCH(QString, how);
    QFETCH(int, status);
    TestHttpServer other;
    other.setHandler([](const RecordedRequest &) { return Reply::json(R"({"data":[]})"); });
    TestHttpServer server;
    server.setHandler([&](const RecordedRequest &) {
        Reply moved = Reply::json({}, status);
        moved.addHeader("Location", (other.url() + QStringLiteral("/moved")).toUtf8());
        return moved;
    });
    TZeltRestClient rc(server.url(), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("tok-secret"), QStringLiteral("r"), QStringLiteral("en_US"));

    bool answered = false;
    QString failure;
    if (how == QLatin1String("CreateTrue")) {
        try {
            answered = rc.CreateRestClient(true)->get(QStringLiteral("/sys/v1/app/menus")).success();
        } catch (const Platform::TransportError &e) {
            failure = e.message();
        }
    } else {
        bool done = false;
        rc.SendRequest(
              [&](const HttpResponse &AResponse) {
                  answered = AResponse.success();
                  done = true;
              },
              [&](const Platform::Error &AError) {
                  failure = AError.message();
                  done = true;
              },
              true)
            .get(QStringLiteral("/sys/v1/app/menus"));
        QVERIFY(QTest::qWaitFor([&] { return done; }, 5000));
    }
    for (const RecordedRequest &r : other.requests())
        QVERIFY2(!r.header("Authorization").contains("tok-secret"), "the token went to another server");
    QCOMPARE(other.requestCount(), 0);
    QVERIFY(!answered);
    QVERIFY2(failure.contains(QStringLiteral("redirect"), Qt::CaseInsensitive), qPrintable(failure));
}

// A server that moves a resource to another of its own paths keeps working,
// the token going along to it.
void tst_ZeltRestClient::redirectOnItsServerIsFollowed()
{
    TestHttpServer server;
    server.setHandler([&](const RecordedRequest &ARequest) {
        if (ARequest.path.startsWith(QLatin1String("/moved")))
            return Reply::json(R"({"data":[]})");
        Reply moved = Reply::json({}, 307);
        moved.addHeader("Location", (server.url() + QStringLiteral("/moved")).toUtf8());
        return moved;
    });
    TZeltRestClient rc(server.url(), 3000, 3000);
    rc.SetHeaderData(QStringLiteral("tok-secret"), QStringLiteral("r"), QStringLiteral("en_US"));
    const HttpResponse answer = rc.CreateRestClient(true)->get(QStringLiteral("/sys/v1/app/menus"));
    QCOMPARE(answer.statusCode, 200);
    QCOMPARE(answer.body, QByteArray(R"({"data":[]})"));
    const QList<RecordedRequest> requests = server.requests();
    QVERIFY(!requests.isEmpty());
    QVERIFY(requests.last().path.startsWith(QLatin1String("/moved")));
    QVERIFY(requests.last().header("Authorization").contains("tok-secret"));
}

QTEST_GUILESS_MAIN(tst_ZeltRestClient)

#include "tst_zeltrestclient.moc"
