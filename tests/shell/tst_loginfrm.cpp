#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "RecordingPresenter.h"
#include "SignInFixtures.h"
#include "TempAppFolder.h"
#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QtTest>

using namespace SignInFixtures;

namespace {

const QByteArray AppConf = "; installation of the demo customer\n"
                           "[AppConfig]\n"
                           "CustKey=ZELT-DEMO-0001\n"
                           "SecretKey=demo-secret-0001\n"
                           "\n"
                           "[URL]\n"
                           "ApiURL=http://example.invalid\n";

} // namespace

class tst_LoginFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void authenticationSuccess();
    void authenticationFails_data();
    void authenticationFails();
    void unusableAuthenticationAnswer_data();
    void unusableAuthenticationAnswer();
    void lateAnswerAfterCloseIsIgnored();

    void signInWritesAppConf_data();
    void signInWritesAppConf();
    void signInFails_data();
    void signInFails();

private:
    std::unique_ptr<TLoginFrm> openForm();
    bool waitFor(TLoginFrm &form, TLoginState state);
    std::unique_ptr<TLoginFrm> readyForm();

    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<TestHttpServer> m_server;
    RecordingPresenter *m_presenter = nullptr;
    QByteArray m_custAuth;
    int m_custAuthStatus = 200;
    QByteArray m_login;
    int m_loginStatus = 200;
};

void tst_LoginFrm::init()
{
    TLoginFrm::SetFullScreen(false);
    GlobalVarsU_Initialize();
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("app.conf"), AppConf);
    m_folder->write(QStringLiteral("updates.json"), "{\"app_ver\": \"1.0.3\", \"files\": []}");
    m_presenter = RecordingPresenter::install();
    m_server = std::make_unique<TestHttpServer>();
    m_custAuth = custAuthAnswer(m_server->url());
    m_custAuthStatus = 200;
    m_login = loginAnswer();
    m_loginStatus = 200;
    // the handler reads what the test set before the request was sent
    m_server->setHandler([this](const RecordedRequest &r) {
        if (r.path == QLatin1String("/v1/cust-auth"))
            return Reply::json(m_custAuth, m_custAuthStatus);
        if (r.path == QLatin1String("/auth/v1/login"))
            return Reply::json(m_login, m_loginStatus);
        return Reply::json("{\"message\":\"not found\"}", 404);
    });
    setServiceGlobals(m_server->url());
}

void tst_LoginFrm::cleanup()
{
    delete RestClient;
    RestClient = nullptr;
    m_server.reset();
    m_folder.reset();
    Platform::setDialogPresenter(nullptr);
}

std::unique_ptr<TLoginFrm> tst_LoginFrm::openForm()
{
    auto form = std::make_unique<TLoginFrm>();
    form->show(); // starts the customer authentication
    return form;
}

bool tst_LoginFrm::waitFor(TLoginFrm &form, TLoginState state)
{
    return QTest::qWaitFor([&] { return form.State() == state; }, 15000);
}

std::unique_ptr<TLoginFrm> tst_LoginFrm::readyForm()
{
    auto form = openForm();
    if (!waitFor(*form, TLoginState::lsReady))
        return {};
    m_server->clear();
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
    form->edtPass->setText(QStringLiteral("Demo#2024"));
    return form;
}

void tst_LoginFrm::authenticationSuccess()
{
    CustKey = QStringLiteral("KEY \"1\"");
    AppMode = QStringLiteral("prod");
    auto form = openForm();
    QCOMPARE(form->State(), TLoginState::lsAuthenticating);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(waitFor(*form, TLoginState::lsReady));

    QCOMPARE(m_server->requestCount(), 1);
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(QJsonDocument::fromJson(r.body).object(),
             (QJsonObject { { "cust_key", "KEY \"1\"" }, { "secret_key", "demo-secret-0001" }, { "mode", "prod" } }));

    QVERIFY(IsAppSettingsValid);
    QCOMPARE(ApiUrl, m_server->url());
    QCOMPARE(OrvToken, QStringLiteral("orv-token"));
    QVERIFY(form->btnSignIn->isEnabled());
    QVERIFY(RestClient);
    QCOMPARE(RestClient->BaseURL(), m_server->url());
}

// The customer service refuses or cannot be reached: no sign-in is possible,
// Close is.
void tst_LoginFrm::authenticationFails_data()
{
    QTest::addColumn<QString>("url"); // of the customer service
    QTest::addColumn<QString>("label"); // empty: the error itself

    QTest::newRow("refused") << "server" << "Invalid customer key or secret key.";
    QTest::newRow("transport error") << "dead" << "";
}

void tst_LoginFrm::authenticationFails()
{
    QFETCH(QString, url);
    QFETCH(QString, label);
    m_custAuthStatus = 401;
    m_custAuth = "{\"message\":\"Invalid customer key or secret key.\"}";
    if (url == QLatin1String("dead"))
        OrvUrl = deadUrl();
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsRejected));
    QVERIFY(!AppSettingsError.isEmpty());
    QCOMPARE(form->lblMessage->text(), label.isEmpty() ? AppSettingsError : label);
    QVERIFY(!IsAppSettingsValid);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(form->btnClose->isEnabled());
    QCOMPARE(RestClient, nullptr);

    // no sign-in gets through before authentication
    form->btnSignInClick();
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), url == QLatin1String("server") ? 1 : 0);
    QCOMPARE(form->State(), TLoginState::lsRejected);
}

void tst_LoginFrm::unusableAuthenticationAnswer_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("mentions");

    // the good answer with one member of "data" set
    const auto with = [](const QString &member, const QJsonValue &value) {
        QJsonObject data = custAuthData(QStringLiteral("http://127.0.0.1:1"));
        data.insert(member, value);
        return QJsonDocument(QJsonObject { { QStringLiteral("data"), data } }).toJson(QJsonDocument::Compact);
    };
    QTest::newRow("not JSON") << QByteArray("<html>hello</html>") << "not a JSON object";
    QTest::newRow("empty api_url") << with(QStringLiteral("api_url"), QString()) << "api_url";
    QTest::newRow("token null") << with(QStringLiteral("token"), QJsonValue::Null) << "token";
    QTest::newRow("address a number") << with(QStringLiteral("addr_line"), 7) << "addr_line";
}

void tst_LoginFrm::unusableAuthenticationAnswer()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, mentions);
    m_custAuth = body;
    ApiUrl = QStringLiteral("http://before");
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsRejected));
    QVERIFY2(AppSettingsError.contains(mentions), qPrintable(AppSettingsError));
    QVERIFY(AppSettingsError.startsWith(QStringLiteral("The customer service's answer cannot be used: ")));
    QCOMPARE(form->lblMessage->text(), AppSettingsError);
    // nothing of the answer was kept
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(ApiUrl, QStringLiteral("http://before"));
    QVERIFY(OrvToken.isEmpty());
    QCOMPARE(RestClient, nullptr);
    QVERIFY(!form->btnSignIn->isEnabled());
}

void tst_LoginFrm::lateAnswerAfterCloseIsIgnored()
{
    QSemaphore release;
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(custAuthAnswer(QStringLiteral("http://late")));
    });
    {
        auto form = openForm();
        QVERIFY(m_server->waitForRequests(1));
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QCOMPARE(form->result(), int(Platform::ModalResult::Cancel));
        QCOMPARE(form->State(), TLoginState::lsDone);
    }
    release.release();
    QTest::qWait(200);
    QVERIFY(ApiUrl != QStringLiteral("http://late"));
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(RestClient, nullptr);
}

void tst_LoginFrm::signInWritesAppConf_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("signIn");

    QTest::newRow("remembered") << true << QStringLiteral("De\"mo#2024")
                                << QByteArray("[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\n"
                                              "SavedPassword=De\"mo#2024\n");
    QTest::newRow("not remembered") << false << QStringLiteral("De\"mo#2024")
                                    << QByteArray("[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n");
    // a line break would start a new key in the file
    QTest::newRow("line break") << true << QStringLiteral("a\n[AppConfig]\nCustKey=x")
                                << QByteArray("[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\n"
                                              "SavedPassword=\n");
}

void tst_LoginFrm::signInWritesAppConf()
{
    QFETCH(bool, remember);
    QFETCH(QString, password);
    QFETCH(QByteArray, signIn);

    auto form = readyForm();
    QVERIFY(form);
    form->edtPass->setText(password);
    form->chkRememberMe->setChecked(remember);
    QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
    QVERIFY(waitFor(*form, TLoginState::lsDone));

    QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.path, QStringLiteral("/auth/v1/login"));
    // valid JSON, whatever the password holds
    const QJsonObject sent = QJsonDocument::fromJson(r.body).object();
    QCOMPARE(sent.value(QStringLiteral("username")).toString(), QStringLiteral("sarah@zelt.local"));
    QCOMPARE(sent.value(QStringLiteral("password")).toString(), password);

    QCOMPARE(form->LoginData, QJsonDocument::fromJson(m_login).object().value(QStringLiteral("response")).toObject());
    // every other line as it was, and no temporary file left beside it
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf + "\n" + signIn);
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList { QStringLiteral("app.conf"), QStringLiteral("updates.json") }));
    QVERIFY(m_presenter->messages.isEmpty());
}

// A failed sign-in: the form stays ready for another try, nothing is kept
// or written to app.conf.
void tst_LoginFrm::signInFails_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message"); // what the label starts with

    const QString incomplete = QStringLiteral("Can not retrieve login information: ");
    QTest::newRow("refused, then right") << 401 << QByteArray("{\"message\":\"Invalid email or password.\"}")
                                         << "Invalid email or password.";
    QTest::newRow("no token") << 200 << QByteArray(R"({"response":{"lang_code":"en_US","user_fullname":"S"}})")
                              << incomplete;
    QTest::newRow("no user name")
        << 200 << QByteArray(R"({"response":{"token":{"access":"a","refresh":"r"},"lang_code":"en_US"}})")
        << incomplete;
    QTest::newRow("not JSON") << 200 << QByteArray("OK") << incomplete;
}

void tst_LoginFrm::signInFails()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    m_loginStatus = status;
    m_login = body;
    auto form = readyForm();
    QVERIFY(form);
    form->chkRememberMe->setChecked(true);
    form->btnSignInClick();
    QVERIFY(QTest::qWaitFor([&] { return form->State() != TLoginState::lsSigningIn; }, 15000));

    QCOMPARE(form->State(), TLoginState::lsReady);
    QVERIFY2(form->lblMessage->text().startsWith(message), qPrintable(form->lblMessage->text()));
    QVERIFY(form->btnSignIn->isEnabled());
    QVERIFY(form->isVisible());
    QVERIFY(form->LoginData.isEmpty());
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf);

    if (status == 401) { // the user tries again, with the right password
        m_loginStatus = 200;
        m_login = loginAnswer();
        form->btnSignInClick();
        QVERIFY(waitFor(*form, TLoginState::lsDone));
        QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
        QVERIFY(!form->LoginData.isEmpty());
        QVERIFY(m_folder->read(QStringLiteral("app.conf")).contains("RememberUser=1"));
    }
}

QTEST_MAIN(tst_LoginFrm)
#include "tst_loginfrm.moc"
