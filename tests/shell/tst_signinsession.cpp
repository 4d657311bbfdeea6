// The sign-in without its window: customer authentication, the user's
// sign-in and the remembered sign-in, driven through TSignInSession alone
// against a real HTTP server. No widget is created here.
#include "GlobalVarsU.h"
#include "LangResU.h"
#include "RecordingCredentialStore.h"
#include "SignInFixtures.h"
#include "SignInSessionU.h"
#include "TempAppFolder.h"
#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using namespace SignInFixtures;
using Op = RecordingCredentialStore::Op;

namespace {

const QByteArray AppConf = "[AppConfig]\nCustKey=ZELT-DEMO-0001\n";

} // namespace

class tst_SignInSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void authenticates();
    void authenticationFails_data();
    void authenticationFails();
    void signIn_data();
    void signIn();
    void signInNeedsAuthenticationAndOneAtATime();
    void abandonedAnswersAreIgnored();
    void remembered_data();
    void remembered();
    void saveSignIn();
    void saveSignInRefused();

private:
    // Authenticates against m_server; true once Authenticated came.
    bool authenticate(TSignInSession &session)
    {
        QSignalSpy done(&session, &TSignInSession::Authenticated);
        session.Authenticate();
        return done.wait(10000) || done.count() == 1;
    }

    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<TestHttpServer> m_server;
    RecordingCredentialStore *m_store = nullptr;
    QByteArray m_custAuth;
    int m_custAuthStatus = 200;
    QByteArray m_login;
    int m_loginStatus = 200;
};

void tst_SignInSession::init()
{
    GlobalVarsU_Initialize();
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("app.conf"), AppConf);
    m_folder->write(QStringLiteral("updates.json"), "{\"app_ver\": \"1.0.3\", \"files\": []}");
    m_store = RecordingCredentialStore::install();
    m_server = std::make_unique<TestHttpServer>();
    m_custAuth = custAuthAnswer(m_server->url());
    m_login = loginAnswer();
    m_custAuthStatus = m_loginStatus = 200;
    serveSignIn(*m_server, m_custAuth, m_custAuthStatus, m_login, m_loginStatus);
    setServiceGlobals(m_server->url());
}

void tst_SignInSession::cleanup()
{
    FreeRestClient();
    m_server.reset();
    m_folder.reset();
    Platform::setCredentialStore(nullptr);
}

// The installation's keys go out as the service expects them, escaped; the
// answer fills the globals and RestClient serves the tenant's API.
void tst_SignInSession::authenticates()
{
    SecretKey = QStringLiteral("se\"cret\\");
    m_custAuth = custAuthAnswer(m_server->url(), QStringLiteral("1.0.10"));
    TSignInSession session;
    QSignalSpy failed(&session, &TSignInSession::AuthenticationFailed);
    QVERIFY(authenticate(session));
    QVERIFY(!session.Authenticating());
    QCOMPARE(failed.count(), 0);

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.path, QStringLiteral("/v1/cust-auth"));
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
    QVERIFY(!r.hasHeader("Authorization"));
    const QByteArray expected =
        "{  \"cust_key\":\"ZELT-DEMO-0001\", \"secret_key\":\"se\\\"cret\\\\\", \"mode\":\"dev\"}";
    QCOMPARE(r.body, expected);

    QVERIFY(IsAppSettingsValid);
    QVERIFY(AppSettingsError.isEmpty());
    QCOMPARE(ApiUrl, m_server->url());
    QCOMPARE(UpdateUrl, m_server->url() + QStringLiteral("/updates"));
    QCOMPARE(OrvToken, QStringLiteral("orv-token"));
    QCOMPARE(AppVer, QStringLiteral("1.0.10"));
    QCOMPARE(CurrAppVer, QStringLiteral("1.0.3"));
    QCOMPARE(CustName, QStringLiteral("PT Zelt Demo Indonesia"));
    QCOMPARE(CustAddrState, QStringLiteral("DKI Jakarta"));
    QCOMPARE(CustPostalCode, QStringLiteral("10220"));
    QVERIFY(RestClient);
    QCOMPARE(RestClient->BaseURL(), m_server->url());
    QCOMPARE(RestClient->ConnectTimeOut(), TSignInSession::TimeOut);
}

// Every failure leaves the installation as it was and says why.
void tst_SignInSession::authenticationFails_data()
{
    QTest::addColumn<QString>("orvUrl"); // "server": the test server, "dead": nobody listens
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("updatesJson");
    QTest::addColumn<QString>("error"); // what AppSettingsError starts with
    QTest::addColumn<QString>("mentions"); // and what it names
    const QByteArray good = "<good>";
    const QString unusable = QStringLiteral("The customer service's answer cannot be used: ");
    const auto with = [](const QString &member, const QJsonValue &value) {
        QJsonObject data = custAuthData(QStringLiteral("http://127.0.0.1:1"));
        data.insert(member, value);
        return QJsonDocument(QJsonObject { { QStringLiteral("data"), data } }).toJson(QJsonDocument::Compact);
    };
    const auto unusableRow = [&](const char *name, const QByteArray &body, const char *mentions) {
        QTest::newRow(name) << "server" << 200 << body << true << unusable << QString::fromLatin1(mentions);
    };
    QTest::newRow("no service address") << QString() << 0 << good << true << "Invalid API URL: \"\"" << QString();
    QTest::newRow("refused") << "server" << 403 << QByteArray(R"({"message":"Unknown customer"})") << true
                             << R"({"message":"Unknown customer"})" << QString();
    unusableRow("no api_url", R"({"data":{"app_ver":"1","token":{"access":"t"}}})", "");
    unusableRow("empty api_url", with(QStringLiteral("api_url"), QString()), "api_url");
    unusableRow("token null", with(QStringLiteral("token"), QJsonValue::Null), "token");
    unusableRow("address a number", with(QStringLiteral("addr_line"), 7), "addr_line");
    unusableRow("not JSON", "OK", "not a JSON object");
    unusableRow("an HTML page", "<html>hello</html>", "not a JSON object");
    QTest::newRow("no updates.json") << "server" << 200 << good << false
                                     << "The installed build is unknown: " << QString();
    QTest::newRow("nobody answers") << "dead" << 0 << good << true << QString() << QString();
}

void tst_SignInSession::authenticationFails()
{
    QFETCH(QString, orvUrl);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, updatesJson);
    QFETCH(QString, error);
    QFETCH(QString, mentions);
    OrvUrl = orvUrl == QLatin1String("server") ? m_server->url() : orvUrl == QLatin1String("dead") ? deadUrl() : orvUrl;
    if (body != "<good>")
        m_custAuth = body;
    m_custAuthStatus = status;
    if (!updatesJson)
        QFile::remove(m_folder->filePath(QStringLiteral("updates.json")));
    ApiUrl = QStringLiteral("http://before");
    ReplaceRestClient(ApiUrl, 1000, 1000);
    const TZeltRestClient *before = RestClient;

    TSignInSession session;
    QSignalSpy failed(&session, &TSignInSession::AuthenticationFailed);
    QSignalSpy done(&session, &TSignInSession::Authenticated);
    session.Authenticate();
    QVERIFY(failed.count() == 1 || failed.wait(15000));
    QCOMPARE(done.count(), 0);
    QVERIFY(!session.Authenticating());
    const QString reported = failed.at(0).at(0).toString();
    QCOMPARE(reported, AppSettingsError);
    QVERIFY(!AppSettingsError.isEmpty());
    QVERIFY2(AppSettingsError.startsWith(error) && AppSettingsError.contains(mentions), qPrintable(AppSettingsError));
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(ApiUrl, QStringLiteral("http://before"));
    QVERIFY(OrvToken.isEmpty());
    QVERIFY(CustName.isEmpty());
    QCOMPARE(RestClient, before);
    QCOMPARE(m_server->requestCount(), orvUrl == QLatin1String("server") ? 1 : 0);
    // no sign-in without an installation
    QVERIFY(!session.SignIn(QStringLiteral("sarah@zelt.local"), QStringLiteral("x")));
}

// The sign-in: the body as the tenant expects it, the credentials block on
// success, and the text the user is shown otherwise.
void tst_SignInSession::signIn_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // empty: the good answer
    QTest::addColumn<QString>("message"); // empty: success; else what the failure text starts with
    QTest::newRow("signed in") << 200 << QByteArray() << QString();
    QTest::newRow("refused") << 401 << QByteArray(R"({"message":"no"})") << sErrSignInFailed.text();
    QTest::newRow("server error") << 500 << QByteArray("oops") << sErrSignInFailed.text();
    QTest::newRow("no refresh token")
        << 200 << QByteArray(R"({"response":{"token":{"access":"a"},"lang_code":"en_US","user_fullname":"S"}})")
        << sErrLoginInfoFailed.text() + QStringLiteral(": ");
    QTest::newRow("not JSON") << 200 << QByteArray("OK") << sErrLoginInfoFailed.text() + QStringLiteral(": ");
    // a bearer of nothing: every request after it would be refused
    QTest::newRow("empty access token")
        << 200
        << QByteArray(R"({"response":{"token":{"access":" ","refresh":"r"},"lang_code":"en_US","user_fullname":"S"}})")
        << sErrLoginInfoFailed.text() + QStringLiteral(": ");
}

void tst_SignInSession::signIn()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    m_loginStatus = status;
    if (!body.isEmpty())
        m_login = body;
    TSignInSession session;
    QVERIFY(authenticate(session));
    m_server->clear();
    QSignalSpy signedIn(&session, &TSignInSession::SignedIn);
    QSignalSpy failed(&session, &TSignInSession::SignInFailed);

    QVERIFY(session.SignIn(QStringLiteral("sarah@zelt.local"), QStringLiteral("De\"mo\\#2024")));
    QVERIFY(session.SigningIn());
    QVERIFY(QTest::qWaitFor([&] { return signedIn.count() + failed.count() > 0; }, 15000));
    QVERIFY(!session.SigningIn());

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.path, QStringLiteral("/auth/v1/login"));
    const QByteArray expected = "{  \"username\":\"sarah@zelt.local\", \"password\":\"De\\\"mo\\\\#2024\"}";
    QCOMPARE(r.body, expected);
    QVERIFY(!r.hasHeader("Authorization"));
    if (message.isEmpty()) {
        QCOMPARE(failed.count(), 0);
        QCOMPARE(signedIn.at(0).at(0).toJsonObject(), loginData());
        QCOMPARE(session.LoginData(), loginData());
    } else {
        QCOMPARE(signedIn.count(), 0);
        QVERIFY2(failed.at(0).at(0).toString().startsWith(message), qPrintable(failed.at(0).at(0).toString()));
        QVERIFY(session.LoginData().isEmpty());
    }
    // signing in never touches app.conf by itself
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf);
}

void tst_SignInSession::signInNeedsAuthenticationAndOneAtATime()
{
    TSignInSession session;
    QVERIFY(!session.SignIn(QStringLiteral("a"), QStringLiteral("b"))); // not authenticated
    QCOMPARE(m_server->requestCount(), 0);
    QVERIFY(authenticate(session));
    QSemaphore release;
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(loginAnswer());
    });
    QSignalSpy signedIn(&session, &TSignInSession::SignedIn);
    QVERIFY(session.SignIn(QStringLiteral("a"), QStringLiteral("b")));
    QVERIFY(!session.SignIn(QStringLiteral("a"), QStringLiteral("b"))); // one in flight
    release.release();
    QVERIFY(signedIn.wait(10000));
    QCOMPARE(m_server->requestsTo("POST", QStringLiteral("/auth/v1/login")).size(), 1);
}

// After Abandon nothing that arrives changes anything.
void tst_SignInSession::abandonedAnswersAreIgnored()
{
    QSemaphore release;
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(custAuthAnswer(QStringLiteral("http://late")));
    });
    TSignInSession session;
    QSignalSpy done(&session, &TSignInSession::Authenticated);
    QSignalSpy failed(&session, &TSignInSession::AuthenticationFailed);
    session.Authenticate();
    QVERIFY(session.Authenticating());
    QVERIFY(m_server->waitForRequests(1));
    session.Abandon();
    release.release();
    QTest::qWait(300);
    QCOMPARE(done.count() + failed.count(), 0);
    QVERIFY(ApiUrl.isEmpty());
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(RestClient, nullptr);
}

// "SignIn" of app.conf: only a ticked "RememberUser" brings the e-mail back;
// the password comes from the store unless an older client left it in clear.
void tst_SignInSession::remembered_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("plainText");
    QTest::newRow("none") << QByteArray() << false << QString() << QString();
    QTest::newRow("off") << QByteArray("[SignIn]\nRememberUser=0\nSavedEmail=sarah@zelt.local\n") << false << QString()
                         << QString();
    QTest::newRow("not a number") << QByteArray("[SignIn]\nRememberUser=yes\nSavedEmail=sarah@zelt.local\n") << false
                                  << QString() << QString();
    QTest::newRow("on") << QByteArray("[signin]\nrememberuser=1\nsavedemail=sarah@zelt.local\n") << true
                        << "sarah@zelt.local" << QString();
    QTest::newRow("old client") << QByteArray("[SignIn]\nRememberUser=1\nSavedEmail=s@z\nSavedPassword=Old pass\n")
                                << true << "s@z"
                                << "Old pass";
}

void tst_SignInSession::remembered()
{
    QFETCH(QByteArray, section);
    QFETCH(bool, remember);
    QFETCH(QString, email);
    QFETCH(QString, plainText);
    m_folder->write(QStringLiteral("app.conf"), AppConf + section);
    TSignInSession session;
    const TRememberedSignIn r = session.ReadRemembered();
    QCOMPARE(r.RememberUser, remember);
    QCOMPARE(r.Email, email);
    QCOMPARE(r.PlainTextPassword, plainText);

    const QString key = QStringLiteral("sarah@zelt.local on ") + QDir::toNativeSeparators(m_folder->path());
    QCOMPARE(session.CredentialKey(QStringLiteral("sarah@zelt.local")), key);
    m_store->entries.insert(RecordingCredentialStore::entry(QStringLiteral("ZeltERP"), key), QStringLiteral("Stored"));
    QList<QPair<QString, Platform::CredentialResult>> answers;
    connect(&session, &TSignInSession::SavedPasswordRead, this,
            [&](const QString &AEmail, const Platform::CredentialResult &AResult) {
                answers.append({ AEmail, AResult });
            });
    session.ReadSavedPassword(QStringLiteral("sarah@zelt.local"));
    QVERIFY(answers.isEmpty()); // never from inside the call
    QVERIFY(QTest::qWaitFor([&] { return !answers.isEmpty(); }, 5000));
    QCOMPARE(answers.at(0).first, QStringLiteral("sarah@zelt.local"));
    QVERIFY(answers.at(0).second.ok());
    QCOMPARE(answers.at(0).second.secret, QStringLiteral("Stored"));
}

// Remembering writes "SignIn" without the password, which goes to the
// store; forgetting, or another user, removes the one remembered before.
void tst_SignInSession::saveSignIn()
{
    TSignInSession session;
    QCOMPARE(session.SaveSignIn(true, QStringLiteral("sarah@zelt.local"), QStringLiteral("P\"w")), QString());
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")),
             AppConf + "\n[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\nSavedPassword=\n");
    QVERIFY(QTest::qWaitFor([&] { return m_store->entries.size() == 1; }, 5000));
    QCOMPARE(m_store->entries.value(RecordingCredentialStore::entry(
                 TSignInSession::CredentialService(), session.CredentialKey(QStringLiteral("sarah@zelt.local")))),
             QStringLiteral("P\"w"));
    QCOMPARE(m_store->callsOf(Op::Remove).size(), 0);

    QCOMPARE(session.SaveSignIn(true, QStringLiteral("budi@zelt.local"), QStringLiteral("B")), QString());
    QVERIFY(QTest::qWaitFor([&] { return m_store->callsOf(Op::Remove).size() == 1; }, 5000));
    QCOMPARE(m_store->callsOf(Op::Remove).at(0).key, session.CredentialKey(QStringLiteral("sarah@zelt.local")));

    QCOMPARE(session.SaveSignIn(false, QStringLiteral("budi@zelt.local"), QStringLiteral("B")), QString());
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")),
             AppConf + "\n[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n");
    QVERIFY(QTest::qWaitFor([&] { return m_store->entries.isEmpty(); }, 5000));
    QCOMPARE(m_store->callsOf(Op::Write).size(), 2);
}

// What cannot be remembered is said, and app.conf and the store stay as they were.
void tst_SignInSession::saveSignInRefused()
{
    TSignInSession session;
    QCOMPARE(session.SaveSignIn(true, QStringLiteral("a\n[AppConfig]"), QStringLiteral("x")),
             QStringLiteral("The e-mail address cannot be remembered: it contains a line break."));
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf);

    // a folder where app.conf should be: the file cannot be replaced
    QFile::remove(m_folder->filePath(QStringLiteral("app.conf")));
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("app.conf")));
    const QString message = session.SaveSignIn(true, QStringLiteral("sarah@zelt.local"), QStringLiteral("x"));
    QVERIFY2(message.startsWith(QStringLiteral("The sign-in settings could not be saved to \"")), qPrintable(message));
    QTest::qWait(50);
    QVERIFY(m_store->calls.isEmpty());
}

QTEST_GUILESS_MAIN(tst_SignInSession)
#include "tst_signinsession.moc"
