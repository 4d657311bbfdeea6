#include "Errors.h"
#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "RecordingCredentialStore.h"
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
#include <QScopeGuard>
#include <QSemaphore>
#include <QtTest>

using namespace SignInFixtures;
using Op = RecordingCredentialStore::Op;

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

QByteArray signInSection(const QByteArray &email, const QByteArray &password = {})
{
    return "\n[SignIn]\nRememberUser=1\nSavedEmail=" + email + "\nSavedPassword=" + password + "\n";
}

} // namespace

class tst_LoginFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void authenticationSuccess();
    void authenticationRefused();
    void lateAnswerAfterCloseIsIgnored();
    void signIn_data();
    void signIn();
    void retryAfterServiceWasDown();
    void clearTextPasswordMovesToStore_data();
    void clearTextPasswordMovesToStore();
    void forgetAndChangeUser_data();
    void forgetAndChangeUser();
    void storeUnreadable_data();
    void storeUnreadable();
    void slowStoreNeverHoldsTheFormUp();
    void lineBreakInEmailRefused();
    void updateNowWaitsForTheSignIn();
    void hugeAnswerKeepsTheFormResponsive();

private:
    // Signs in with what the fields hold and waits for the form to close.
    bool signInAndClose(TLoginFrm &form)
    {
        QTest::mouseClick(form.btnSignIn, Qt::LeftButton);
        return waitFor(form, TLoginState::lsDone) && form.result() == int(Platform::ModalResult::Ok);
    }
    QString storedPassword(const TLoginFrm &form, const QString &email) const
    {
        return m_store->entries.value(
            RecordingCredentialStore::entry(TLoginFrm::CredentialService(), form.CredentialKey(email)),
            QStringLiteral("<none>"));
    }
    void rememberInStore(const QString &email, const QString &password)
    {
        const QString key = email + QStringLiteral(" on ") + QDir::toNativeSeparators(m_folder->path());
        m_store->entries.insert(RecordingCredentialStore::entry(QStringLiteral("ZeltERP"), key), password);
    }
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
    RecordingCredentialStore *m_store = nullptr;
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
    m_store = RecordingCredentialStore::install();
    m_server = std::make_unique<TestHttpServer>();
    m_custAuth = custAuthAnswer(m_server->url());
    m_login = loginAnswer();
    m_custAuthStatus = m_loginStatus = 200;
    serveSignIn(*m_server, m_custAuth, m_custAuthStatus, m_login, m_loginStatus);
    setServiceGlobals(m_server->url());
}

void tst_LoginFrm::cleanup()
{
    delete RestClient;
    RestClient = nullptr;
    m_server.reset();
    m_folder.reset();
    Platform::setDialogPresenter(nullptr);
    Platform::setCredentialStore(nullptr);
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

// The customer service refuses: its message is shown, nothing of the answer is kept, no sign-in is possible,
// Close is. The session's suite walks the other failures of the customer authentication.
void tst_LoginFrm::authenticationRefused()
{
    m_custAuthStatus = 401;
    m_custAuth = R"({"message":"Invalid customer key or secret key."})";
    ApiUrl = QStringLiteral("http://before");
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsRejected));
    QVERIFY(!AppSettingsError.isEmpty());
    QCOMPARE(form->lblMessage->text(), QStringLiteral("Invalid customer key or secret key."));
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(ApiUrl, QStringLiteral("http://before"));
    QVERIFY(OrvToken.isEmpty());
    QCOMPARE(RestClient, nullptr);
    QVERIFY(!form->btnSignIn->isEnabled());
    QVERIFY(form->btnClose->isEnabled());
    form->btnSignInClick(); // no sign-in gets through before authentication
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), 1);
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

// A sign-in writes app.conf without the password, which goes to the credential store when remembered;
// a failed one keeps nothing and writes nothing; the form stays ready for another try.
void tst_LoginFrm::signIn_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // empty: the good answer
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("signIn"); // what app.conf gets in the end
    QTest::addColumn<QString>("message"); // what the label of a failure starts with
    const QString pass = QStringLiteral("De\"mo#2024");
    const QByteArray kept("[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\nSavedPassword=\n");
    const QString incomplete = QStringLiteral("Can not retrieve login information: ");
    QTest::newRow("remembered") << 200 << QByteArray() << true << pass << kept << QString();
    const QByteArray forgotten("[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n");
    QTest::newRow("not remembered") << 200 << QByteArray() << false << pass << forgotten << QString();
    // the file never sees it, so a line break cannot start a new key there
    QTest::newRow("line break") << 200 << QByteArray() << true << QStringLiteral("a\n[AppConfig]\nCustKey=x") << kept
                                << QString();
    QTest::newRow("refused, then right") << 401 << QByteArray(R"({"message":"Invalid email or password."})") << true
                                         << pass << kept << "Invalid email or password.";
    QTest::newRow("no token") << 200 << QByteArray(R"({"response":{"lang_code":"en_US","user_fullname":"S"}})") << true
                              << pass << QByteArray() << incomplete;
    QTest::newRow("no user name") << 200
                                  << QByteArray(
                                         R"({"response":{"token":{"access":"a","refresh":"r"},"lang_code":"en_US"}})")
                                  << true << pass << QByteArray() << incomplete;
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
        m_loginStatus = 200; // the user types the right password at once, and Enter
        m_login = loginAnswer();
        QCOMPARE(QApplication::focusWidget(), form->edtPass);
        QTest::keyClicks(QApplication::focusWidget(), password);
        QCOMPARE(form->edtPass->text(), password);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
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
    // the entry's name is what installed clients look for: it must not change
    QCOMPARE(TLoginFrm::CredentialService(), QStringLiteral("ZeltERP"));
    QCOMPARE(form->CredentialKey(QStringLiteral("sarah@zelt.local")),
             QStringLiteral("sarah@zelt.local on ") + QDir::toNativeSeparators(m_folder->path()));
    QTRY_COMPARE(storedPassword(*form, QStringLiteral("sarah@zelt.local")),
                 remember ? password : QStringLiteral("<none>"));
    QCOMPARE(m_store->callsOf(Op::Write).size(), remember ? 1 : 0);
    QCOMPARE(m_store->callsOf(Op::Remove).size(), 0); // nothing was remembered before
#ifdef Q_OS_UNIX
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto permissions = QFile::permissions(m_folder->filePath(QStringLiteral("app.conf")))
        & (ownerOnly | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
           | QFileDevice::WriteOther);
    if (remember)
        QCOMPARE(permissions, ownerOnly);
#endif
}

// Given the customer service down when the form opens, when it is back and the user asks again,
// then the installation is authenticated as on a first try and the user signs in, without a restart.
void tst_LoginFrm::retryAfterServiceWasDown()
{
    const quint16 port = m_server->port();
    m_server.reset();
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsRejected));
    QVERIFY(!form->btnSignIn->isEnabled() && form->btnClose->isEnabled());
    QVERIFY(form->btnRetry->isVisible() && form->btnRetry->isEnabled());
    QVERIFY(!AppSettingsError.isEmpty());
    QCOMPARE(form->lblMessage->text(), AppSettingsError); // the transport error itself
    QVERIFY(!IsAppSettingsValid);
    QCOMPARE(RestClient, nullptr);

    m_server = std::make_unique<TestHttpServer>(port, [this](const RecordedRequest &r) {
        return r.path == QLatin1String("/v1/cust-auth") ? Reply::json(m_custAuth) : Reply::json(m_login);
    });
    QCOMPARE(m_server->port(), port);
    QTest::mouseClick(form->btnRetry, Qt::LeftButton);
    QCOMPARE(form->State(), TLoginState::lsAuthenticating);
    QVERIFY(!form->btnRetry->isVisible());
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QVERIFY(IsAppSettingsValid);
    QVERIFY(AppSettingsError.isEmpty());
    QCOMPARE(form->lblMessage->text(), QString());
    QCOMPARE(form->lblCustrName->text(), QStringLiteral("PT Zelt Demo Indonesia"));
    QCOMPARE(RestClient->BaseURL(), m_server->url());
    QVERIFY(!form->btnRetry->isVisible());
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
    form->edtPass->setText(QStringLiteral("Demo#2024"));
    QVERIFY(signInAndClose(*form));
    QCOMPARE(m_server->requestsTo("POST", QStringLiteral("/v1/cust-auth")).size(), 1);
    QCOMPARE(form->LoginData, loginData());
}

// An older client left the password in app.conf: it fills the field, and after the sign-in it leaves
// the file only once the store has it; a refusing store loses nothing.
void tst_LoginFrm::clearTextPasswordMovesToStore_data()
{
    QTest::addColumn<bool>("storeRefuses");
    QTest::addColumn<QString>("email"); // signed in as
    QTest::newRow("store confirms") << false << "sarah@zelt.local";
    QTest::newRow("store refuses") << true << "sarah@zelt.local";
    QTest::newRow("other user, store confirms") << false << "dewi@ujung.co.id";
    QTest::newRow("other user, store refuses") << true << "dewi@ujung.co.id";
}

void tst_LoginFrm::clearTextPasswordMovesToStore()
{
    QFETCH(bool, storeRefuses);
    QFETCH(QString, email);
    m_folder->write(QStringLiteral("app.conf"), AppConf + signInSection("sarah@zelt.local", "Old \"pass\\word"));
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QCOMPARE(form->edtEmail->text(), QStringLiteral("sarah@zelt.local"));
    QCOMPARE(form->edtPass->text(), QStringLiteral("Old \"pass\\word"));
    QCOMPARE(form->focusWidget(), form->edtPass);
    QVERIFY(m_store->calls.isEmpty());

    m_store->hold = true;
    form->edtEmail->setText(email);
    QVERIFY(signInAndClose(*form));
    // signed in before the store answered, and the old value still there for its own user; another
    // user's sign-in must not keep sarah's password, nor offer it with the new e-mail next time
    const bool sameUser = email == QLatin1String("sarah@zelt.local");
    const QByteArray old = sameUser ? QByteArray("Old \"pass\\word") : QByteArray();
    QCOMPARE(m_store->heldCount(), sameUser ? 1 : 2);
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf + signInSection(email.toUtf8(), old));
    if (storeRefuses)
        m_store->mode = RecordingCredentialStore::Mode::Refuse;
    m_store->release();
    QTRY_COMPARE(m_store->heldCount(), 0);
    QTest::qWait(50);
    const QByteArray after = storeRefuses ? old : QByteArray();
    QTRY_COMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf + signInSection(email.toUtf8(), after));
    QCOMPARE(storedPassword(*form, email),
             storeRefuses ? QStringLiteral("<none>") : QStringLiteral("Old \"pass\\word"));
    QCOMPARE(m_presenter->messages.size(), 0); // the store never stops a sign-in
}

// Given a password remembered for sarah: unticking removes it, another user replaces it.
void tst_LoginFrm::forgetAndChangeUser_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QByteArray>("signIn");
    QTest::addColumn<bool>("sarahKept");
    QTest::newRow("unticked") << false << "sarah@zelt.local"
                              << QByteArray("\n[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n") << false;
    QTest::newRow("unticked, other user")
        << false << "dewi@ujung.co.id" << QByteArray("\n[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n")
        << false;
    QTest::newRow("other user") << true << "dewi@ujung.co.id" << signInSection("dewi@ujung.co.id") << false;
    QTest::newRow("same user") << true << "sarah@zelt.local" << signInSection("sarah@zelt.local") << true;
}

void tst_LoginFrm::forgetAndChangeUser()
{
    QFETCH(bool, remember);
    QFETCH(QString, email);
    QFETCH(QByteArray, signIn);
    QFETCH(bool, sarahKept);
    m_folder->write(QStringLiteral("app.conf"), AppConf + signInSection("sarah@zelt.local"));
    rememberInStore(QStringLiteral("sarah@zelt.local"), QStringLiteral("Sarah's"));
    auto form = openForm();
    QTRY_COMPARE(form->edtPass->text(), QStringLiteral("Sarah's"));
    QCOMPARE(form->edtEmail->text(), QStringLiteral("sarah@zelt.local"));
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QCOMPARE(form->focusWidget(), form->edtPass);

    form->chkRememberMe->setChecked(remember);
    form->edtEmail->setText(email);
    form->edtPass->setText(QStringLiteral("New pass"));
    QVERIFY(signInAndClose(*form));
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf + signIn);
    QTRY_COMPARE(storedPassword(*form, QStringLiteral("sarah@zelt.local")),
                 sarahKept ? QStringLiteral("New pass") : QStringLiteral("<none>"));
    QTRY_COMPARE(m_store->entries.size(), remember ? 1 : 0);
    if (remember)
        QCOMPARE(storedPassword(*form, email), QStringLiteral("New pass"));
}

// A store that refuses or is locked leaves the e-mail filled and the password empty with a note;
// signing in works as ever and nothing lands in app.conf.
void tst_LoginFrm::storeUnreadable_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("refused") << int(RecordingCredentialStore::Mode::Refuse);
    QTest::newRow("locked") << int(RecordingCredentialStore::Mode::Locked);
}

void tst_LoginFrm::storeUnreadable()
{
    QFETCH(int, mode);
    m_folder->write(QStringLiteral("app.conf"), AppConf + signInSection("sarah@zelt.local"));
    rememberInStore(QStringLiteral("sarah@zelt.local"), QStringLiteral("Sarah's"));
    m_store->mode = RecordingCredentialStore::Mode(mode);
    auto form = openForm();
    QTRY_VERIFY(form->lblPassNote->isVisible());
    QCOMPARE(form->lblPassNote->text(),
             QStringLiteral("The saved password could not be read from the system's password store; please type it."));
    QCOMPARE(form->edtEmail->text(), QStringLiteral("sarah@zelt.local"));
    QCOMPARE(form->edtPass->text(), QString());
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QVERIFY(m_presenter->messages.isEmpty() && m_presenter->modals.isEmpty());

    form->edtPass->setText(QStringLiteral("Typed"));
    QVERIFY(signInAndClose(*form));
    QTRY_COMPARE(m_store->callsOf(Op::Write).size(), 1);
    QTest::qWait(50);
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf + signInSection("sarah@zelt.local"));
    QCOMPARE(storedPassword(*form, QStringLiteral("sarah@zelt.local")), QStringLiteral("Sarah's"));
    QVERIFY(m_presenter->messages.isEmpty());
}

// Given a store that takes its time: the form gets ready and signs in without it; a late password fills
// an empty field, never one the user typed in.
void tst_LoginFrm::slowStoreNeverHoldsTheFormUp()
{
    m_folder->write(QStringLiteral("app.conf"), AppConf + signInSection("sarah@zelt.local"));
    rememberInStore(QStringLiteral("sarah@zelt.local"), QStringLiteral("Sarah's"));
    m_store->hold = true;
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QCOMPARE(m_store->heldCount(), 1);
    QCOMPARE(form->edtPass->text(), QString());
    QCOMPARE(form->focusWidget(), form->edtPass);
    m_store->release();
    QTRY_COMPARE(form->edtPass->text(), QStringLiteral("Sarah's"));
    QVERIFY(!form->lblPassNote->isVisible());

    // a second form: the user is quicker than the store
    auto second = openForm();
    QVERIFY(waitFor(*second, TLoginState::lsReady));
    second->edtPass->setText(QStringLiteral("Typed"));
    m_store->release();
    QTRY_COMPARE(m_store->heldCount(), 0);
    QTest::qWait(50);
    QCOMPARE(second->edtPass->text(), QStringLiteral("Typed"));
    // and signs in while the write is still held
    QVERIFY(signInAndClose(*second));
    QCOMPARE(m_store->heldCount(), 1);
    QCOMPARE(QJsonDocument::fromJson(m_server->lastRequest().body).object().value("password").toString(),
             QStringLiteral("Typed"));
}

// An e-mail with a line break cannot be kept in app.conf: the user is told, nothing is remembered, and
// the sign-in stands.
void tst_LoginFrm::lineBreakInEmailRefused()
{
    auto form = readyForm();
    QVERIFY(form);
    form->chkRememberMe->setChecked(true);
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local\n[AppConfig]"));
    QVERIFY(signInAndClose(*form));
    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages.at(0).text,
             QStringLiteral("The e-mail address cannot be remembered: it contains a line break."));
    QCOMPARE(m_folder->read(QStringLiteral("app.conf")), AppConf);
    QTest::qWait(50);
    QVERIFY(m_store->calls.isEmpty());
}

// Given a newer build offered: while a sign-in is on its way "Update Now" cannot start the update (which
// ends the application under the sign-in's feet); once the answer is in, it can.
void tst_LoginFrm::updateNowWaitsForTheSignIn()
{
    m_custAuth = custAuthAnswer(m_server->url(), QStringLiteral("1.0.10"));
    int updates = 0;
    TLoginFrm::SetUpdateHandler([&updates](QAbstractButton *) {
        ++updates;
        throw Platform::Error(QStringLiteral("no update in this test"));
    });
    auto form = readyForm();
    QVERIFY(form);
    QVERIFY(form->btnUpdateNow->isVisible() && form->btnUpdateNow->isEnabled());
    QSemaphore release;
    const auto unblock = qScopeGuard([&] {
        release.release();
        TLoginFrm::SetUpdateHandler({});
    });
    m_server->setHandler([&](const RecordedRequest &) {
        release.acquire();
        return Reply::json(R"({"message":"Invalid email or password."})", 401);
    });
    QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
    QCOMPARE(form->State(), TLoginState::lsSigningIn);
    QVERIFY(m_server->waitForRequests(1));
    QTest::mouseClick(form->btnUpdateNow, Qt::LeftButton);
    QCOMPARE(updates, 0);
    QCOMPARE(form->State(), TLoginState::lsSigningIn);

    release.release();
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QVERIFY(form->btnUpdateNow->isEnabled());
    QTest::mouseClick(form->btnUpdateNow, Qt::LeftButton);
    QCOMPARE(updates, 1);
    QCOMPARE(form->lblMessage->text(), QStringLiteral("no update in this test"));
}

// Given a customer service that answers with megabytes in its texts: the form still gets ready, shows the
// start of each, and answers the user's typing at once.
void tst_LoginFrm::hugeAnswerKeepsTheFormResponsive()
{
    const qsizetype huge = 2000000;
    QJsonObject data = custAuthData(m_server->url());
    data.insert(QStringLiteral("cust_name"), QString(huge, QLatin1Char('N')));
    data.insert(QStringLiteral("addr_city"), QString(huge, QLatin1Char('c')));
    data.insert(QStringLiteral("app_ver"), QString(huge, QLatin1Char('9')));
    m_custAuth = QJsonDocument(QJsonObject { { QStringLiteral("data"), data } }).toJson(QJsonDocument::Compact);
    auto form = openForm();
    QVERIFY(waitFor(*form, TLoginState::lsReady));
    QCOMPARE(AppVer.size(), huge); // kept whole; only the form shows less
    QVERIFY(form->lblCustrName->text().startsWith(QStringLiteral("NNNN")));
    QVERIFY(form->lblCustAddrLine2->text().startsWith(QStringLiteral("cccc")));
    QVERIFY(
        form->lblAppVer->text().startsWith(QStringLiteral("App Build Version: 1.0.3 - Updates Available (Build 9999")));
    QVERIFY(form->btnUpdateNow->isVisible());

    QElapsedTimer took;
    took.start();
    form->repaint();
    form->resize(form->width() + 40, form->height()); // the window is dragged wider
    QTest::qWait(20);
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local")); // pasted
    QTest::keyClicks(form->edtPass, QStringLiteral("Demo"));
    QTest::qWait(50);
    form->repaint();
    QCOMPARE(form->edtPass->text(), QStringLiteral("Demo"));
    QVERIFY2(took.elapsed() < 3000, qPrintable(QStringLiteral("%1 ms").arg(took.elapsed())));
}

QTEST_MAIN(tst_LoginFrm)
#include "tst_loginfrm.moc"
