#include "DialogPresenter.h"
#include "GlobalVarsU.h"
#include "LangResU.h"
#include "Localizer.h"
#include "LoginFrmU.h"
#include "RecordingPresenter.h"
#include "SignInFixtures.h"
#include "ResourceStrings.h"
#include "TempAppFolder.h"
#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTcpServer>
#include <QToolButton>
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
    void initTestCase();
    void init();
    void cleanup();

    void creationState();
    void rememberedUser_data();
    void rememberedUser();

    void authenticationSuccess();
    void updateButtonFollowsBuilds_data();
    void updateButtonFollowsBuilds();
    void authenticationFails_data();
    void authenticationFails();
    void unusableAuthenticationAnswer_data();
    void unusableAuthenticationAnswer();
    void installedBuildUnknown_data();
    void installedBuildUnknown();

    void signInWritesAppConf_data();
    void signInWritesAppConf();
    void signInFails_data();
    void signInFails();
    void signingInLocksTheForm();
    void appConfThatCannotBeWritten();

    void enterKeys();
    void languageSwitchesCaptions();
    void closeAndEscapeCancel();
    void updateNow();

private:
    // Creates the form for the current globals and shows it (which starts
    // the customer authentication).
    std::unique_ptr<TLoginFrm> openForm();
    bool waitReady(TLoginFrm &form);
    std::unique_ptr<TLoginFrm> readyForm();

    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<TestHttpServer> m_server;
    RecordingPresenter *m_presenter = nullptr;
    QByteArray m_custAuth;
    int m_custAuthStatus = 200;
    QByteArray m_login;
    int m_loginStatus = 200;
    TLoginFrm::TUpdateHandler m_updater;
};

void tst_LoginFrm::initTestCase()
{
    TLoginFrm::SetFullScreen(false);
    // the updater's unit wired "Update Now" when the library started
    m_updater = TLoginFrm::UpdateHandler();
    QVERIFY(m_updater);
}

void tst_LoginFrm::init()
{
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
    TLoginFrm::SetUpdateHandler(m_updater);
    Platform::ResourceStringRepository::instance().setTranslations({});
    m_server.reset();
    m_folder.reset();
    Platform::setDialogPresenter(nullptr);
}

std::unique_ptr<TLoginFrm> tst_LoginFrm::openForm()
{
    auto form = std::make_unique<TLoginFrm>();
    form->show();
    return form;
}

bool tst_LoginFrm::waitReady(TLoginFrm &form)
{
    return QTest::qWaitFor([&] { return form.State() != TLoginState::lsAuthenticating; }, 15000)
        && form.State() == TLoginState::lsReady;
}

std::unique_ptr<TLoginFrm> tst_LoginFrm::readyForm()
{
    auto form = openForm();
    if (!waitReady(*form))
        return {};
    m_server->clear();
    return form;
}

// ------------------------------------------------------------------ creation

void tst_LoginFrm::creationState()
{
    TLoginFrm form;
    QCOMPARE(form.State(), TLoginState::lsAuthenticating);
    QVERIFY(!form.btnSignIn->isEnabled());
    QVERIFY(form.btnClose->isEnabled());
    QCOMPARE(form.edtPass->echoMode(), QLineEdit::Password);
    QVERIFY(form.lblMessage->text().isEmpty());
    QCOMPARE(form.cboLang->count(), 2);
    QCOMPARE(form.cboLang->itemData(1).toString(), QStringLiteral("id"));
    // the language applied at creation re-set the captions
    QCOMPARE(form.btnSignIn->text(), QStringLiteral("Sign In"));
    QVERIFY(form.btnUpdateNow->isHidden());
    QCOMPARE(LoginFrm, nullptr);
    // the eye button shows the password and hides it again
    QTest::mouseClick(form.btnShowPass, Qt::LeftButton);
    QVERIFY(form.btnShowPass->isChecked());
    QCOMPARE(form.edtPass->echoMode(), QLineEdit::Normal);
    QTest::mouseClick(form.btnShowPass, Qt::LeftButton);
    QCOMPARE(form.edtPass->echoMode(), QLineEdit::Password);
    // nothing is sent before the form shows
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 0);
}

void tst_LoginFrm::rememberedUser_data()
{
    QTest::addColumn<QByteArray>("signIn");
    QTest::addColumn<bool>("remembered");

    const QByteArray saved = "SavedEmail=sarah@zelt.local\nSavedPassword=Demo#2024\n";
    QTest::newRow("on") << "[SignIn]\nRememberUser=1\n" + saved << true;
    QTest::newRow("off, values kept in the file") << "[SignIn]\nRememberUser=0\n" + saved << false;
    QTest::newRow("keys in lower case") << QByteArray("[signin]\nrememberuser=1\nsavedemail=sarah@zelt.local\n"
                                                      "savedpassword=Demo#2024\n")
                                        << true;
    QTest::newRow("no section") << QByteArray() << false;
}

void tst_LoginFrm::rememberedUser()
{
    QFETCH(QByteArray, signIn);
    QFETCH(bool, remembered);
    m_folder->write(QStringLiteral("app.conf"), AppConf + "\n" + signIn);

    auto form = openForm();
    QCOMPARE(form->chkRememberMe->isChecked(), remembered);
    QCOMPARE(form->edtEmail->text(), remembered ? QStringLiteral("sarah@zelt.local") : QString());
    QCOMPARE(form->edtPass->text(), remembered ? QStringLiteral("Demo#2024") : QString());
    QCOMPARE(form->focusWidget(), remembered ? form->edtPass : form->edtEmail);
    QVERIFY(waitReady(*form));
}

// ------------------------------------------------------ customer service

void tst_LoginFrm::authenticationSuccess()
{
    CustKey = QStringLiteral("KEY \"1\"");
    AppMode = QStringLiteral("prod");
    auto form = openForm();
    QCOMPARE(form->State(), TLoginState::lsAuthenticating);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(waitReady(*form));

    QCOMPARE(m_server->requestCount(), 1);
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.path, QStringLiteral("/v1/cust-auth"));
    QCOMPARE(r.body, QByteArray(R"({  "cust_key":"KEY \"1\"", "secret_key":"demo-secret-0001", "mode":"prod"})"));
    QVERIFY(r.header("Content-Type").startsWith("application/json"));
    QCOMPARE(r.header("Accept-Language"), QByteArray("en_US"));
    QVERIFY(!r.hasHeader("Authorization"));

    QVERIFY(IsAppSettingsValid);
    QVERIFY(AppSettingsError.isEmpty());
    QCOMPARE(ApiUrl, m_server->url());
    QCOMPARE(UpdateUrl, m_server->url() + QStringLiteral("/updates"));
    QCOMPARE(OrvToken, QStringLiteral("orv-token"));
    QCOMPARE(CustAddrCountry, QStringLiteral("Indonesia"));
    QCOMPARE(form->lblCustAddrLine2->text(), QStringLiteral("Jakarta, DKI Jakarta 10220"));
    QCOMPARE(form->lblAppVer->text(), QStringLiteral("App Build Version: 1.0.3"));
    QVERIFY(form->btnUpdateNow->isHidden());
    QVERIFY(form->btnSignIn->isEnabled());
    QVERIFY(form->lblMessage->text().isEmpty());

    // the tenant's client, for the address the service named
    QVERIFY(RestClient);
    QCOMPARE(RestClient->BaseURL(), m_server->url());
    QCOMPARE(RestClient->ConnectTimeOut(), 10000);
    QCOMPARE(RestClient->ReadTimeOut(), 10000);
}

void tst_LoginFrm::updateButtonFollowsBuilds_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("offered");

    QTest::newRow("newer build") << "1.0.10" << "1.0.9" << true;
    QTest::newRow("older build") << "1.0.9" << "1.0.10" << true;
    QTest::newRow("same build") << "1.0.9" << "1.0.9" << false;
}

void tst_LoginFrm::updateButtonFollowsBuilds()
{
    QFETCH(QString, server);
    QFETCH(QString, installed);
    QFETCH(bool, offered);
    m_custAuth = custAuthAnswer(m_server->url(), server);
    m_folder->write(QStringLiteral("updates.json"), "{\"app_ver\":\"" + installed.toUtf8() + "\"}");

    auto form = openForm();
    QVERIFY(waitReady(*form));
    QCOMPARE(form->btnUpdateNow->isHidden(), !offered);
    const QString expected = QStringLiteral("App Build Version: ") + installed
        + (offered ? QStringLiteral(" - Updates Available (Build ") + server + QStringLiteral(").") : QString());
    QCOMPARE(form->lblAppVer->text(), expected);
}

// The customer service refuses or cannot be reached: no sign-in is possible,
// Close is.
void tst_LoginFrm::authenticationFails_data()
{
    QTest::addColumn<QString>("url"); // of the customer service
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("label"); // empty: the error itself

    const QByteArray refusal = "{\"message\":\"Invalid customer key or secret key.\"}";
    QTest::newRow("empty service url sends nothing") << "" << "Invalid API URL: \"\"" << "";
    // the body as it came; the label shows its message
    QTest::newRow("refused") << "server" << QString::fromUtf8(refusal) << "Invalid customer key or secret key.";
    QTest::newRow("transport error") << "dead" << "" << "";
}

void tst_LoginFrm::authenticationFails()
{
    QFETCH(QString, url);
    QFETCH(QString, error);
    QFETCH(QString, label);
    m_custAuthStatus = 401;
    m_custAuth = "{\"message\":\"Invalid customer key or secret key.\"}";
    OrvUrl = url == QLatin1String("dead") ? deadUrl() : url.isEmpty() ? QString() : OrvUrl;
    auto form = openForm();
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsRejected; }, 15000));
    if (error.isEmpty())
        QVERIFY(!AppSettingsError.isEmpty());
    else
        QCOMPARE(AppSettingsError, error);
    QCOMPARE(form->lblMessage->text(), label.isEmpty() ? AppSettingsError : label);
    QVERIFY(!IsAppSettingsValid);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(form->btnClose->isEnabled());
    QCOMPARE(RestClient, nullptr);

    // Enter in the password field does nothing before authentication
    form->edtPass->setText(QStringLiteral("Demo#2024"));
    QTest::keyClick(form->edtPass, Qt::Key_Return);
    form->btnSignInClick();
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), url == QLatin1String("server") ? 1 : 0);
    QCOMPARE(form->State(), TLoginState::lsRejected);
}

void tst_LoginFrm::unusableAuthenticationAnswer_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("mentions");

    const QByteArray good = custAuthAnswer(QStringLiteral("http://127.0.0.1:1"));
    QJsonObject whole = QJsonDocument::fromJson(good).object();
    // the good answer with one member of "data" set, or removed when undefined
    const auto with = [&](const QString &member, const QJsonValue &value = QJsonValue::Undefined) {
        QJsonObject copy = whole;
        QJsonObject data = copy.value(QStringLiteral("data")).toObject();
        if (value.isUndefined())
            data.remove(member);
        else
            data.insert(member, value);
        copy.insert(QStringLiteral("data"), data);
        return QJsonDocument(copy).toJson(QJsonDocument::Compact);
    };
    QTest::newRow("not JSON") << QByteArray("<html>hello</html>") << "not a JSON object";
    QTest::newRow("no data") << QByteArray("{\"message\":\"ok\"}") << "data";
    QTest::newRow("no api_url") << with(QStringLiteral("api_url")) << "api_url";
    QTest::newRow("empty api_url") << with(QStringLiteral("api_url"), QString()) << "api_url";
    QTest::newRow("no app_ver") << with(QStringLiteral("app_ver")) << "app_ver";
    QTest::newRow("no token") << with(QStringLiteral("token")) << "token";
    QTest::newRow("address a number") << with(QStringLiteral("addr_line"), 7) << "addr_line";
}

void tst_LoginFrm::unusableAuthenticationAnswer()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, mentions);
    m_custAuth = body;
    ApiUrl = QStringLiteral("http://before");
    auto form = openForm();
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsRejected; }, 15000));
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

void tst_LoginFrm::installedBuildUnknown_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << QByteArray() << false << "\" does not exist.";
    QTest::newRow("not JSON") << QByteArray("{\"app_ver\": ") << true << "\" is not a JSON object.";
    QTest::newRow("no app_ver") << QByteArray("{\"files\": []}") << true << "\" has no text member \"app_ver\".";
}

void tst_LoginFrm::installedBuildUnknown()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, present);
    QFETCH(QString, reason);
    QFile::remove(m_folder->filePath(QStringLiteral("updates.json")));
    if (present)
        m_folder->write(QStringLiteral("updates.json"), content);

    auto form = openForm();
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsRejected; }, 15000));
    const QString path = QDir(m_folder->path()).filePath(QStringLiteral("updates.json"));
    QCOMPARE(AppSettingsError, QStringLiteral("The installed build is unknown: \"") + QDir::cleanPath(path) + reason);
    QVERIFY(!IsAppSettingsValid);
    QVERIFY(ApiUrl.isEmpty());
    QCOMPARE(RestClient, nullptr);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY_THROWS_EXCEPTION(Platform::Error, form->GetCurrAppVersion());
}

// ------------------------------------------------------------------ sign-in

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
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
    form->edtPass->setText(password);
    form->chkRememberMe->setChecked(remember);
    QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, 15000));

    QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.path, QStringLiteral("/auth/v1/login"));
    // valid JSON, whatever the password holds
    const QJsonObject sent = QJsonDocument::fromJson(r.body).object();
    QCOMPARE(sent.value(QStringLiteral("username")).toString(), QStringLiteral("sarah@zelt.local"));
    QCOMPARE(sent.value(QStringLiteral("password")).toString(), password);
    QVERIFY(r.body.startsWith("{  \"username\":\"sarah@zelt.local\", \"password\":\""));
    QCOMPARE(r.header("Accept-Language"), QByteArray("en_US"));
    QVERIFY(!r.hasHeader("Authorization"));

    QCOMPARE(form->LoginData, QJsonDocument::fromJson(m_login).object().value(QStringLiteral("response")).toObject());
    // every other line as it was
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf + "\n" + signIn);
    QVERIFY(m_presenter->messages.isEmpty());
}

// A failed sign-in: the form stays ready for another try, nothing is kept
// or written to app.conf.
void tst_LoginFrm::signInFails_data()
{
    QTest::addColumn<int>("status"); // 0: nothing answers
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message"); // what the label starts with

    const QString incomplete = QStringLiteral("Can not retrieve login information: ");
    QTest::newRow("refused") << 401 << QByteArray("{\"message\":\"Invalid email or password.\"}")
                             << "Invalid email or password.";
    QTest::newRow("transport error") << 0 << QByteArray() << "";
    QTest::newRow("no response") << 200 << QByteArray("{\"data\":{}}") << incomplete;
    QTest::newRow("no token") << 200 << QByteArray(R"({"response":{"lang_code":"en_US","user_fullname":"S"}})")
                              << incomplete;
    QTest::newRow("no refresh token")
        << 200 << QByteArray(R"({"response":{"token":{"access":"a"},"lang_code":"en_US","user_fullname":"S"}})")
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
    if (status == 0) { // the tenant's API is somewhere nothing answers
        delete RestClient;
        RestClient = new TZeltRestClient(deadUrl(), 10000, 10000);
    }
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
    form->edtPass->setText(QStringLiteral("Demo#2024"));
    form->chkRememberMe->setChecked(true);
    form->btnSignInClick();
    QVERIFY(QTest::qWaitFor([&] { return form->State() != TLoginState::lsSigningIn; }, 15000));

    QCOMPARE(form->State(), TLoginState::lsReady);
    const QString shown = form->lblMessage->text();
    if (status == 0)
        QVERIFY(!shown.isEmpty() && shown != QStringLiteral("Invalid email or password."));
    else
        QVERIFY2(shown.startsWith(message), qPrintable(shown));
    QVERIFY(form->btnSignIn->isEnabled());
    QVERIFY(form->btnClose->isEnabled());
    QVERIFY(form->edtEmail->isEnabled());
    QVERIFY(form->edtPass->isEnabled());
    QVERIFY(form->isVisible());
    QVERIFY(form->LoginData.isEmpty());
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf);

    // and the user can try again
    if (status == 401) {
        m_loginStatus = 200;
        m_login = loginAnswer();
        form->btnSignInClick();
        QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, 15000));
        QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
    }
}

void tst_LoginFrm::signingInLocksTheForm()
{
    auto form = readyForm();
    QVERIFY(form);
    // hold the sign-in answer back until the test lets it go
    QSemaphore release;
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(loginAnswer());
    });
    QTest::keyClick(form->edtPass, Qt::Key_Return);
    QCOMPARE(form->State(), TLoginState::lsSigningIn);
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(!form->btnClose->isEnabled());
    QVERIFY(!form->edtEmail->isEnabled());
    QVERIFY(!form->edtPass->isEnabled());
    // neither Escape nor a second sign-in gets through meanwhile
    QTest::keyClick(form.get(), Qt::Key_Escape);
    form->reject();
    form->btnSignInClick();
    QVERIFY(form->isVisible());
    QCOMPARE(m_server->requestCount(), 1);

    release.release();
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, 15000));
    QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
}

void tst_LoginFrm::appConfThatCannotBeWritten()
{
    // a folder where app.conf should be: nothing can be written over it
    QFile::remove(m_folder->filePath(QStringLiteral("app.conf")));
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("app.conf")));
    auto form = readyForm();
    QVERIFY(form);
    form->chkRememberMe->setChecked(true);
    form->btnSignInClick();
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, 15000));
    // signed in all the same, and told that remembering failed
    QCOMPARE(form->result(), int(Platform::ModalResult::Ok));
    QCOMPARE(m_presenter->messages.size(), 1);
    QVERIFY(m_presenter->messages.at(0).text.startsWith(QStringLiteral("The sign-in settings could not be saved to \"")));
    QCOMPARE(m_presenter->messages.at(0).kind, Platform::MessageKind::Warning);
}

// -------------------------------------------------------------- the rest

void tst_LoginFrm::enterKeys()
{
    auto form = readyForm();
    QVERIFY(form);
    form->activateWindow();
    form->edtEmail->setFocus();
    QTest::keyClick(form->edtEmail, Qt::Key_Return);
    QCOMPARE(form->focusWidget(), form->edtPass);
    QCOMPARE(form->State(), TLoginState::lsReady);
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 0);

    QTest::keyClick(form->edtPass, Qt::Key_Enter);
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, 15000));
    QCOMPARE(m_server->lastRequest().path, QStringLiteral("/auth/v1/login"));
}

void tst_LoginFrm::languageSwitchesCaptions()
{
    m_folder->write(QStringLiteral("lang.ini"), "[id_ID]\nLanguageName=Bahasa (ID)\nsLoginEmail=Surel\n"
                                                "sLoginPassword=Kata Sandi\nsLoginForgotPassword=Lupa kata sandi\n"
                                                "sLoginRememberMe=Ingat saya\nsLoginSignIn=Masuk\nsAppClose=Tutup\n"
                                                "sErrSignInFailed=Email atau kata sandi tidak valid.\n");
    m_loginStatus = 401;
    auto form = readyForm();
    QVERIFY(form);
    form->cboLang->setCurrentIndex(1);
    QCOMPARE(form->locLang->languageIndex(), 0);
    QCOMPARE(form->lblEmail->text(), QStringLiteral("Surel"));
    QCOMPARE(form->btnSignIn->text(), QStringLiteral("Masuk"));
    // the refusal follows the language too
    form->btnSignInClick();
    QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsReady; }, 15000));
    QCOMPARE(form->lblMessage->text(), QStringLiteral("Email atau kata sandi tidak valid."));

    form->cboLang->setCurrentIndex(0);
    QCOMPARE(form->locLang->languageIndex(), -1);
    QCOMPARE(form->btnSignIn->text(), QStringLiteral("Sign In"));

    // a form that is gone hears no more of the language
    form.reset();
    Platform::ResourceStringRepository::instance().setTranslations({});
}

void tst_LoginFrm::closeAndEscapeCancel()
{
    {
        auto form = openForm();
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(Platform::ModalResult::Cancel));
        QCOMPARE(form->State(), TLoginState::lsDone);
    }
    {
        auto form = readyForm();
        QVERIFY(form);
        QTest::keyClick(form->edtEmail, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(Platform::ModalResult::Cancel));
    }
    // closed while the customer service has not answered yet: the late
    // answer finds no form and changes nothing
    QSemaphore release;
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(custAuthAnswer(QStringLiteral("http://late")));
    });
    m_server->clear();
    {
        auto form = openForm();
        QVERIFY(m_server->waitForRequests(1));
        form->reject();
        QCOMPARE(form->result(), int(Platform::ModalResult::Cancel));
    }
    release.release();
    QTest::qWait(200);
    QVERIFY(ApiUrl != QStringLiteral("http://late"));
}

void tst_LoginFrm::updateNow()
{
    m_custAuth = custAuthAnswer(m_server->url(), QStringLiteral("1.0.4"));
    auto form = readyForm();
    QVERIFY(form);
    QVERIFY(!form->btnUpdateNow->isHidden());

    // without an updater: said in the form, nothing else happens
    TLoginFrm::SetUpdateHandler({});
    form->btnUpdateNowClick();
    QCOMPARE(form->lblMessage->text(), QStringLiteral("The update cannot run: this build has no updater."));
    QVERIFY(form->isVisible());
    // a failing updater's message on the form: tst_updater's
    // updateNowFailuresStayOnTheForm, with the real one
}

QTEST_MAIN(tst_LoginFrm)
#include "tst_loginfrm.moc"
