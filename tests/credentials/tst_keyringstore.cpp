#include "CredentialStore.h"
#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "RecordingPresenter.h"
#include "SignInFixtures.h"
#include "TempAppFolder.h"
#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

// Against a real Secret Service (gnome-keyring in a private session, see
// keyring-session.sh): what the sign-in form remembers comes back exactly.

using namespace SignInFixtures;
using Platform::CredentialResult;

namespace {

const QByteArray AppConf = "[AppConfig]\nCustKey=ZELT-DEMO-0001\nSecretKey=demo-secret-0001\n";

// Runs one store operation to its end.
CredentialResult waitFor(const std::function<void(Platform::CredentialStore::Done)> &start)
{
    std::optional<CredentialResult> result;
    start([&](const CredentialResult &r) { result = r; });
    if (!QTest::qWaitFor([&] { return result.has_value(); }, 10000))
        return CredentialResult { CredentialResult::Status::Failed, {}, QStringLiteral("no answer") };
    return *result;
}

CredentialResult readEntry(const QString &key)
{
    return waitFor([&](auto done) { Platform::credentialStore().read(QStringLiteral("ZeltERP"), key, done); });
}

// What `grep -i savedpassword app.conf` shows.
QStringList savedPasswordLines(const QByteArray &conf)
{
    return QString::fromUtf8(conf)
        .split(QLatin1Char('\n'))
        .filter(QRegularExpression(QStringLiteral("(?i)savedpassword")));
}

} // namespace

class tst_KeyringStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void storeRoundTrip_data();
    void storeRoundTrip();
    void rememberedSignIn_data();
    void rememberedSignIn();
    void clearTextPasswordMoved();
    void forgetAndChangeUser();

private:
    std::unique_ptr<TLoginFrm> readyForm()
    {
        auto form = std::make_unique<TLoginFrm>();
        form->show();
        if (!QTest::qWaitFor([&] { return form->State() == TLoginState::lsReady; }, 15000))
            return {};
        return form;
    }
    bool signIn(TLoginFrm &form, bool remember, const QString &email, const QString &password)
    {
        form.chkRememberMe->setChecked(remember);
        form.edtEmail->setText(email);
        form.edtPass->setText(password);
        QTest::mouseClick(form.btnSignIn, Qt::LeftButton);
        return QTest::qWaitFor([&] { return form.State() == TLoginState::lsDone; }, 15000)
            && form.result() == int(Platform::ModalResult::Ok);
    }
    QString keyOf(const QString &email) const
    {
        return email + QStringLiteral(" on ") + QDir::toNativeSeparators(m_folder->path());
    }
    QByteArray conf() const { return m_folder->read(QStringLiteral("app.conf")); }

    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<TestHttpServer> m_server;
};

void tst_KeyringStore::initTestCase()
{
#ifndef Q_OS_LINUX
    QSKIP("the suite runs against gnome-keyring in a private session, which only Linux has here");
#endif
    // outside its session this suite would reach the user's own keyring
    if (qEnvironmentVariable("ZELT_KEYRING_SESSION") != QLatin1String("1"))
        QFAIL("run through tests/credentials/keyring-session.sh (ctest does)");
    Platform::setCredentialStore(nullptr); // the real one
}

void tst_KeyringStore::init()
{
    TLoginFrm::SetFullScreen(false);
    GlobalVarsU_Initialize();
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("app.conf"), AppConf);
    m_folder->write(QStringLiteral("updates.json"), "{\"app_ver\": \"1.0.3\", \"files\": []}");
    RecordingPresenter::install();
    m_server = std::make_unique<TestHttpServer>();
    const QString url = m_server->url();
    m_server->setHandler([url](const RecordedRequest &r) {
        return r.path == QLatin1String("/v1/cust-auth") ? Reply::json(custAuthAnswer(url)) : Reply::json(loginAnswer());
    });
    setServiceGlobals(m_server->url());
}

void tst_KeyringStore::cleanup()
{
    delete RestClient;
    RestClient = nullptr;
    m_server.reset();
    m_folder.reset();
    Platform::setDialogPresenter(nullptr);
}

void tst_KeyringStore::storeRoundTrip_data()
{
    QTest::addColumn<QString>("secret");
    QTest::newRow("blanks") << QStringLiteral("  two words  ");
    QTest::newRow("quotes") << QStringLiteral("\"Demo\" 'pass'");
    QTest::newRow("backslashes") << QStringLiteral("C:\\new\\\\x\\");
    QTest::newRow("non-ASCII") << QStringLiteral("Kata sandi ünïcødé 密码 🙂");
    QTest::newRow("line break") << QStringLiteral("first\nsecond\r\n");
    QTest::newRow("empty") << QString();
}

// Written, read back unchanged, removed; reading or removing what is not there.
void tst_KeyringStore::storeRoundTrip()
{
    QFETCH(QString, secret);
    Platform::CredentialStore &store = Platform::credentialStore();
    const QString service = QStringLiteral("ZeltERP");
    const QString key = QStringLiteral("round trip ") + QString::fromLatin1(QTest::currentDataTag());
    QCOMPARE(waitFor([&](auto done) { store.write(service, key, secret, done); }).status, CredentialResult::Status::Ok);
    const CredentialResult read = readEntry(key);
    QCOMPARE(read.status, CredentialResult::Status::Ok);
    QCOMPARE(read.secret, secret);
    // another service does not see it
    QCOMPARE(waitFor([&](auto done) { store.read(QStringLiteral("Other"), key, done); }).status,
             CredentialResult::Status::NotFound);
    QCOMPARE(waitFor([&](auto done) { store.remove(service, key, done); }).status, CredentialResult::Status::Ok);
    QCOMPARE(readEntry(key).status, CredentialResult::Status::NotFound);
    QCOMPARE(waitFor([&](auto done) { store.remove(service, key, done); }).status, CredentialResult::Status::Ok);
}

void tst_KeyringStore::rememberedSignIn_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "sarah@zelt.local"
                           << "Demo#2024";
    QTest::newRow("blanks") << " sarah@zelt.local  "
                            << "  pass word ";
    QTest::newRow("quotes") << "\"sarah\"@zelt.local"
                            << "\"De\"mo'2024\"";
    QTest::newRow("backslashes") << "sarah\\zelt"
                                 << "\\back\\\\slash\\";
    QTest::newRow("non-ASCII") << "dewi.ü@ujung.co.id"
                               << "Kata sandi ünïcødé 密码 🙂";
}

// Given a sign-in with "Remember me", app.conf has an empty "SavedPassword" and the store the password;
// the next form opens with both fields exactly as typed.
void tst_KeyringStore::rememberedSignIn()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    auto form = readyForm();
    QVERIFY(form);
    QVERIFY(signIn(*form, true, email, password));
    QTRY_COMPARE(readEntry(keyOf(email)).secret, password);
    QCOMPARE(savedPasswordLines(conf()), QStringList { QStringLiteral("SavedPassword=") });
    QVERIFY(!conf().contains(password.toUtf8()));
    form.reset();

    auto next = readyForm();
    QVERIFY(next);
    QCOMPARE(next->edtEmail->text(), email);
    QTRY_COMPARE(next->edtPass->text(), password);
    QCOMPARE(next->focusWidget(), next->edtPass);
    QVERIFY(signIn(*next, false, email, password));
    QTRY_COMPARE(readEntry(keyOf(email)).status, CredentialResult::Status::NotFound);
}

// Given an older client's app.conf with the password in clear text: it is used, moved, then erased.
void tst_KeyringStore::clearTextPasswordMoved()
{
    m_folder->write(QStringLiteral("app.conf"),
                    AppConf + "\n[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\nSavedPassword=Old\"pa ss\\\n");
    auto form = readyForm();
    QVERIFY(form);
    QCOMPARE(form->edtPass->text(), QStringLiteral("Old\"pa ss\\"));
    QVERIFY(signIn(*form, true, form->edtEmail->text(), form->edtPass->text()));
    QTRY_COMPARE(savedPasswordLines(conf()), QStringList { QStringLiteral("SavedPassword=") });
    QCOMPARE(readEntry(keyOf(QStringLiteral("sarah@zelt.local"))).secret, QStringLiteral("Old\"pa ss\\"));
    QCOMPARE(conf(), AppConf + "\n[SignIn]\nRememberUser=1\nSavedEmail=sarah@zelt.local\nSavedPassword=\n");
    QVERIFY(waitFor([&](auto done) {
                Platform::credentialStore().remove(QStringLiteral("ZeltERP"), keyOf(QStringLiteral("sarah@zelt.local")),
                                                   done);
            }).ok());
}

// Signing in as another user replaces the entry; unticking removes it.
void tst_KeyringStore::forgetAndChangeUser()
{
    auto form = readyForm();
    QVERIFY(form);
    QVERIFY(signIn(*form, true, QStringLiteral("sarah@zelt.local"), QStringLiteral("Sarah's")));
    QTRY_COMPARE(readEntry(keyOf(QStringLiteral("sarah@zelt.local"))).secret, QStringLiteral("Sarah's"));

    form = readyForm();
    QVERIFY(form);
    QVERIFY(signIn(*form, true, QStringLiteral("dewi@ujung.co.id"), QStringLiteral("Dewi's")));
    QTRY_COMPARE(readEntry(keyOf(QStringLiteral("dewi@ujung.co.id"))).secret, QStringLiteral("Dewi's"));
    QTRY_COMPARE(readEntry(keyOf(QStringLiteral("sarah@zelt.local"))).status, CredentialResult::Status::NotFound);

    form = readyForm();
    QVERIFY(form);
    QTRY_COMPARE(form->edtPass->text(), QStringLiteral("Dewi's"));
    QVERIFY(signIn(*form, false, QStringLiteral("dewi@ujung.co.id"), QStringLiteral("Dewi's")));
    QTRY_COMPARE(readEntry(keyOf(QStringLiteral("dewi@ujung.co.id"))).status, CredentialResult::Status::NotFound);
    QCOMPARE(conf(), AppConf + "\n[SignIn]\nRememberUser=0\nSavedEmail=\nSavedPassword=\n");
}

QTEST_MAIN(tst_KeyringStore)
#include "tst_keyringstore.moc"
