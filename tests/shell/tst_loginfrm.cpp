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

const QByteArray AppConf = "; installation of the demo customer\n[AppConfig]\nCustKey=ZELT-DEMO-0001\n"
                           "SecretKey=demo-secret-0001\n\n[URL]\nApiURL=http://example.invalid\n";

std::unique_ptr<TLoginFrm> openForm()
{
    auto form = std::make_unique<TLoginFrm>();
    form->show(); // starts the customer authentication
    return form;
}

bool waitFor(TLoginFrm &form, TLoginState state)
{
    return QTest::qWaitFor([&] { return form.State() == state; }, 15000);
}

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
    void lateAnswerAfterCloseIsIgnored();
    void signIn_data();
    void signIn();
private:
    std::unique_ptr<TLoginFrm> readyForm()
    {
        auto form = openForm();
        if (!waitFor(*form, TLoginState::lsReady))
            return {};
        m_server->clear();
        form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
        form->edtPass->setText(QStringLiteral("Demo#2024"));
        return form;
    }
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
    m_login = loginAnswer();
    m_custAuthStatus = m_loginStatus = 200;
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

void tst_LoginFrm::authenticationSuccess()
{
    CustKey = QStringLiteral("KEY \"1\"");
    AppMode = QStringLiteral("prod");
    auto form = openForm();
    QCOMPARE(form->State(), TLoginState::lsAuthenticating);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QCOMPARE(m_server->requestCount(), 1);
    QCOMPARE(QJsonDocument::fromJson(m_server->lastRequest().body).object(),
             (QJsonObject { { "cust_key", "KEY \"1\"" }, { "secret_key", "demo-secret-0001" }, { "mode", "prod" } }));
    QVERIFY(IsAppSettingsValid);
    QCOMPARE(ApiUrl, m_server->url());
    QCOMPARE(OrvToken, QStringLiteral("orv-token"));
    QVERIFY(form->btnSignIn->isEnabled());
    QVERIFY(RestClient);
    QCOMPARE(RestClient->BaseURL(), m_server->url());
}

// The customer service refuses, cannot be reached or gives an unusable answer: nothing of it is
// kept, no sign-in is possible, Close is.
void tst_LoginFrm::authenticationFails_data()
{
    QTest::addColumn<int>("status"); // 0: the service cannot be reached
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("label"); // empty: the error itself
    QTest::addColumn<QString>("mentions"); // of an unusable answer
    const auto with = [](const QString &member, const QJsonValue &value) {
        QJsonObject data = custAuthData(QStringLiteral("http://127.0.0.1:1"));
        data.insert(member, value);
        return QJsonDocument(QJsonObject { { QStringLiteral("data"), data } }).toJson(QJsonDocument::Compact);
    };
    QTest::newRow("refused") << 401 << QByteArray(R"({"message":"Invalid customer key or secret key."})")
                             << "Invalid customer key or secret key." << "";
    QTest::newRow("transport error") << 0 << QByteArray() << "" << "";
    QTest::newRow("not JSON") << 200 << QByteArray("<html>hello</html>") << "" << "not a JSON object";
    QTest::newRow("empty api_url") << 200 << with(QStringLiteral("api_url"), QString()) << "" << "api_url";
    QTest::newRow("token null") << 200 << with(QStringLiteral("token"), QJsonValue::Null) << "" << "token";
    QTest::newRow("address a number") << 200 << with(QStringLiteral("addr_line"), 7) << "" << "addr_line";
}

void tst_LoginFrm::authenticationFails()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, label);
    QFETCH(QString, mentions);
    m_custAuthStatus = status;
    m_custAuth = body;
    if (status == 0)
        OrvUrl = deadUrl();
    ApiUrl = QStringLiteral("http://before");
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsRejected));
    QVERIFY(!AppSettingsError.isEmpty());
    if (!mentions.isEmpty()) {
        QVERIFY2(AppSettingsError.startsWith(QStringLiteral("The customer service's answer cannot be used: "))
                     && AppSettingsError.contains(mentions),
                 qPrintable(AppSettingsError));
    }
    QCOMPARE(form->lblMessage->text(), label.isEmpty() ? AppSettingsError : label);
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(ApiUrl, QStringLiteral("http://before"));
    QVERIFY(OrvToken.isEmpty());
    QCOMPARE(RestClient, nullptr);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(form->btnClose->isEnabled());
    form->btnSignInClick(); // no sign-in gets through before authentication
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), status == 0 ? 0 : 1);
    QCOMPARE(form->State(), TLoginState::lsRejected);
}

void tst_LoginFrm::lateAnswerAfterCloseIsIgnored()
{
    QSemaphore release;
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(custAuthAnswer(QStringLiteral("http://late")));
    });
    auto form = openForm();
    QVERIFY(m_server->waitForRequests(1));
    QTest::mouseClick(form->btnClose, Qt::LeftButton);
    QCOMPARE(form->result(), int(Platform::ModalResult::Cancel));
    QCOMPARE(form->State(), TLoginState::lsDone);
    form.reset();
    release.release();
    QTest::qWait(200);
    QVERIFY(ApiUrl != QStringLiteral("http://late"));
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(RestClient, nullptr);
}

// A sign-in writes app.conf (a line break never), a failed one keeps nothing and writes nothing; the
// form stays ready for another try.
void tst_LoginFrm::signIn_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // empty: the good answer
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("signIn"); // what app.conf gets in the end
    QTest::addColumn<QString>("message"); // what the label of a failure starts with
    const QString pass = QStringLiteral("De\"mo#2024");
    const QByteArray remembered("[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\nSavedPassword=");
    const QByteArray kept = remembered + "De\"mo#2024\n";
    const QString incomplete = QStringLiteral("Can not retrieve login information: ");
    QTest::newRow("remembered") << 200 << QByteArray() << true << pass << kept << QString();
    const QByteArray forgotten("[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n");
    QTest::newRow("not remembered") << 200 << QByteArray() << false << pass << forgotten << QString();
    // a line break would start a new key in the file
    QTest::newRow("line break") << 200 << QByteArray() << true << QStringLiteral("a\n[AppConfig]\nCustKey=x")
                                << remembered + "\n" << QString();
    QTest::newRow("refused, then right") << 401 << QByteArray(R"({"message":"Invalid email or password."})") << true
                                         << pass << kept << "Invalid email or password.";
    QTest::newRow("no token") << 200 << QByteArray(R"({"response":{"lang_code":"en_US","user_fullname":"S"}})")
                              << true << pass << QByteArray() << incomplete;
    QTest::newRow("no user name")
        << 200 << QByteArray(R"({"response":{"token":{"access":"a","refresh":"r"},"lang_code":"en_US"}})") << true
        << pass << QByteArray() << incomplete;
    QTest::newRow("not JSON") << 200 << QByteArray("OK") << true << pass << QByteArray() << incomplete;
}

void tst_LoginFrm::signIn()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, remember);
    QFETCH(QString, password);
    QFETCH(QByteArray, signIn);
    QFETCH(QString, message);
    m_loginStatus = status;
    if (!body.isEmpty())
        m_login = body;
    auto form = readyForm();
    QVERIFY(form);
    form->edtPass->setText(password);
    form->chkRememberMe->setChecked(remember);
    QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return form->State() != TLoginState::lsSigningIn; }, 15000));
    if (!message.isEmpty()) {
        QCOMPARE(form->State(), TLoginState::lsReady);
        QVERIFY2(form->lblMessage->text().startsWith(message), qPrintable(form->lblMessage->text()));
        QVERIFY(form->btnSignIn->isEnabled() && form->isVisible());
        QVERIFY(form->LoginData.isEmpty());
        QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf);
        if (status != 401)
            return;
        m_loginStatus = 200; // the user tries again, with the right password
        m_login = loginAnswer();
        QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
        QVERIFY(waitFor(*form, TLoginState::lsDone));
    }
    QCOMPARE(form->State(), TLoginState::lsDone);
    QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.path, QStringLiteral("/auth/v1/login"));
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

QTEST_MAIN(tst_LoginFrm)
#include "tst_loginfrm.moc"
