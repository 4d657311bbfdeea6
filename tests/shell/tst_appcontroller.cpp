#include "AppControllerU.h"
#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "MenuListU.h"
#include "OpenedFormsU.h"
#include "PackageListU.h"
#include "RestRequest.h"
#include "RecordingPresenter.h"
#include "SignInFixtures.h"
#include "SideBar.h"
#include "SplashFrmU.h"
#include "TempAppFolder.h"
#include "TestHttpServer.h"
#include "WelcomeFrmU.h"
#include "ZeltRestClientU.h"

#include <QJsonArray>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMutex>
#include <QTableView>
#include <QVBoxLayout>
#include <QtTest>
#include <optional>

using Platform::ClassRegistry;
using namespace MenuJson;
using namespace SignInFixtures;

namespace {

// A screen of the test's own, counting how many were made.
class TProbeFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    static inline int Made = 0;
    explicit TProbeFrm(QWidget *AOwner = nullptr)
        : TBaseChildFrm(AOwner)
    {
        ++Made;
        // laid out as a list screen is: a grid whose size hint is small
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(new QTableView(this));
        resize(700, 450);
    }
    void TranslationChanged() override { }
};

// Registered under a screen's name but no screen at all.
class TPlainWidget : public QWidget
{
    Q_OBJECT
public:
    static inline int Alive = 0;
    explicit TPlainWidget(QWidget *AOwner = nullptr)
        : QWidget(AOwner)
    {
        ++Alive;
    }
    ~TPlainWidget() override { --Alive; }
};

// Sales: Orders 101 | - | Customers 103 (class of a module not built yet) | Plain 105 | Invoices 106
QJsonArray salesMenus()
{
    return QJsonArray { header(
        QStringLiteral("Sales"), 1, 0,
        QJsonArray { screen(101, QStringLiteral("Orders"), 1, QStringLiteral("TProbeFrm")), separator(),
                     screen(103, QStringLiteral("Customers"), 1, QStringLiteral("TCustomerListFrm")),
                     screen(105, QStringLiteral("Plain"), 1, QStringLiteral("TPlainWidget")),
                     screen(106, QStringLiteral("Invoices"), 1, QStringLiteral("TProbeFrm")) }) };
}

// Signs in through the form as a user would.
int signInScript(QDialog &dialog)
{
    auto *form = qobject_cast<TLoginFrm *>(&dialog);
    if (!form)
        return Platform::ModalResult::Cancel;
    form->show();
    const auto reaches = [form](TLoginState AState) {
        return QTest::qWaitFor([&] { return form->State() == AState; }, 15000);
    };
    if (!reaches(TLoginState::lsReady))
        return Platform::ModalResult::Cancel;
    form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
    form->edtPass->setText(QStringLiteral("Demo#2024"));
    QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
    return reaches(TLoginState::lsDone) ? form->result() : int(Platform::ModalResult::Cancel);
}

const QJsonArray FixturePackages { package(QStringLiteral("fix"), QStringLiteral("fixturescreen.bpl")) };

} // namespace

class tst_AppController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void loadAccessDataTwice();
    void screenOpensByClassNameOnceAndComesToFront();
    void closeAllAndSignOutStopAtModifiedScreen();
    void signOutUnloadsThenQuitsOrReloads();
    void failedMenuRequestIsToldAndABadNodeKeepsThePackages();
    void moduleRequestsEndBeforeTheModuleGoes_data();
    void moduleRequestsEndBeforeTheModuleGoes();
    void screenOpenedAgainComesBackAsBefore();

private:
    // The program folder holds the fixture module; a user signs in and gets the menus.
    void signedIn(const QJsonArray &menus, const QJsonArray &packages = {})
    {
        const QString file = TPackageList::LibraryFileName(QStringLiteral("fixturescreen.bpl"));
        QVERIFY(QFile::copy(QStringLiteral(FIXTURE_PLUGIN_DIR "/") + file, m_folder->filePath(file)));
        m_presenter->modalScript = signInScript;
        QVERIFY(m_ctl->SignIn());
        m_presenter->modalScript = {};
        m_presenter->clear();
        loadMenus(menus, packages);
    }
    void loadMenus(const QJsonArray &menus, const QJsonArray &packages = {})
    {
        serveMenus(menus, packages);
        m_ctl->LoadAccessData();
        m_ctl->HideSplash();
    }
    void serveMenus(const QJsonArray &menus, const QJsonArray &packages = {})
    {
        QMutexLocker lock(&m_mutex);
        m_menus = menusAnswer(menus, packages);
    }
    Platform::SideBarItem *item(int AMenuId) const
    {
        for (Platform::SideBarItem *i : m_bar->items()) {
            if (i->tag() == AMenuId && i->index() > 0)
                return i;
        }
        return nullptr;
    }
    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<TestHttpServer> m_server;
    RecordingPresenter *m_presenter = nullptr;
    std::unique_ptr<QMainWindow> m_main;
    QMdiArea *m_mdi = nullptr;
    Platform::SideBar *m_bar = nullptr;
    QMenu *m_windows = nullptr;
    QLabel *m_label = nullptr;
    std::unique_ptr<TAppController> m_ctl;
    QMutex m_mutex;
    QByteArray m_menus;
    std::optional<Reply> m_menuFailure;
    void failMenus(std::optional<Reply> AReply)
    {
        QMutexLocker lock(&m_mutex);
        m_menuFailure = std::move(AReply);
    }
};

void tst_AppController::initTestCase()
{
    TLoginFrm::SetFullScreen(false);
    auto &registry = ClassRegistry::instance();
    registry.registerClass<TProbeFrm>(QStringLiteral("TProbeFrm"));
    registry.registerClass<TPlainWidget>(QStringLiteral("TPlainWidget"));
}

void tst_AppController::cleanupTestCase()
{
    for (const char *name : { "TProbeFrm", "TPlainWidget" })
        ClassRegistry::instance().unregisterClass(QString::fromLatin1(name));
}

void tst_AppController::init()
{
    GlobalVarsU_Initialize();
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("updates.json"), "{\"app_ver\":\"1.0.3\",\"files\":[]}");
    m_presenter = RecordingPresenter::install();
    m_menus = menusAnswer(salesMenus());
    m_menuFailure.reset();
    m_server = std::make_unique<TestHttpServer>();
    const QString url = m_server->url();
    m_server->setHandler([this, url](const RecordedRequest &r) {
        QMutexLocker lock(&m_mutex);
        if (r.path == QLatin1String("/v1/cust-auth"))
            return Reply::json(custAuthAnswer(url));
        if (r.path == QLatin1String("/auth/v1/login"))
            return Reply::json(loginAnswer());
        if (r.path.startsWith(QLatin1String("/fix/")))
            return Reply::withAction(Reply::Action::Hang); // the module's reads are held
        if (r.path == QLatin1String("/sys/v1/app/menus") && m_menuFailure)
            return *m_menuFailure;
        return r.path == QLatin1String("/sys/v1/app/menus") ? Reply::json(m_menus)
                                                            : Reply::json("{\"message\":\"not found\"}", 404);
    });
    setServiceGlobals(url);
    m_main = std::make_unique<QMainWindow>();
    m_mdi = new QMdiArea(m_main.get());
    m_main->setCentralWidget(m_mdi);
    m_bar = new Platform::SideBar(m_main.get());
    m_bar->addItem(QStringLiteral("-"));
    m_windows = new QMenu(QStringLiteral("Window"), m_main.get());
    m_windows->addAction(QStringLiteral("Cascade"));
    m_label = new QLabel(m_main.get());
    m_main->resize(900, 600);
    m_main->show();
    TProbeFrm::Made = TPlainWidget::Alive = 0;
    m_ctl = std::make_unique<TAppController>();
    m_ctl->Init();
    m_ctl->SetMainForm(m_main.get());
    m_ctl->SetSideBar(m_bar);
    m_ctl->SetWindowsMenu(m_windows);
    m_ctl->SetActiveFormLabel(m_label);
}

void tst_AppController::cleanup()
{
    m_ctl.reset();
    m_main.reset();
    m_server.reset();
    m_folder.reset();
    Platform::setDialogPresenter(nullptr);
}

void tst_AppController::loadAccessDataTwice()
{
    signedIn(salesMenus());
    QCOMPARE(m_server->lastRequest().path, QStringLiteral("/sys/v1/app/menus"));
    QCOMPARE(m_server->lastRequest().header("Authorization"), QByteArray("Bearer user-access"));
    const QList<int> ids { 0, 101, 103, 105, 106 };
    QCOMPARE(m_ctl->MenuList()->MenuIds(), ids);
    loadMenus(salesMenus()); // the same tree again: the same menus, nothing twice
    QCOMPARE(m_ctl->MenuList()->MenuIds(), ids);
    QCOMPARE(m_bar->itemCount(), 5);
    // a smaller tree leaves nothing of the bigger one
    loadMenus(
        QJsonArray { header(QStringLiteral("Sales"), 1, 0,
                            QJsonArray { screen(101, QStringLiteral("Orders"), 1, QStringLiteral("TProbeFrm")) }) });
    QCOMPARE(m_ctl->MenuList()->MenuIds(), (QList<int> { 0, 101 }));
    QCOMPARE(m_bar->itemCount(), 2);
    QVERIFY(m_presenter->messages.isEmpty());
}

// A menu request the server refuses is told, not left as an empty side bar;
// an expired session ends the sign-in. A bad menu node stops the menus, not
// the module packages.
void tst_AppController::failedMenuRequestIsToldAndABadNodeKeepsThePackages()
{
    signedIn(salesMenus());
    const QList<int> ids { 0, 101, 103, 105, 106 };
    Reply errorPage = Reply::text("<html><body><h1>500 Internal Server Error</h1></body></html>", 500);
    errorPage.contentType = "text/html";
    failMenus(errorPage);
    m_ctl->LoadAccessData();
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Server Error.") });
    QVERIFY(IsLogin);
    QCOMPARE(m_ctl->MenuList()->MenuIds(), ids); // nothing changed

    m_presenter->clear();
    failMenus(Reply::json(R"({"message": "token expired"})", 401));
    m_ctl->LoadAccessData();
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Session has expired, please re-login.") });
    QVERIFY(!IsLogin);
    QCOMPARE(m_presenter->messages.at(0).kind, Platform::MessageKind::Error);

    // a screen node without its class: the menus stop there, the package loads
    m_presenter->clear();
    failMenus(std::nullopt);
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QJsonObject broken = screen(102, QStringLiteral("Returns"), 1, QStringLiteral("TProbeFrm"));
    broken.remove(QStringLiteral("form_class"));
    const QJsonArray menus { header(
        QStringLiteral("Sales"), 1, 0,
        QJsonArray { screen(101, QStringLiteral("Orders"), 1, QStringLiteral("TProbeFrm")), broken }) };
    serveMenus(menus, FixturePackages);
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError, m_ctl->LoadAccessData());
    QCOMPARE(m_ctl->MenuList()->MenuIds(), (QList<int> { 0, 101 }));
    QVERIFY(ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QCOMPARE(m_ctl->PackageList()->Count(), 2);
}

void tst_AppController::screenOpensByClassNameOnceAndComesToFront()
{
    signedIn(salesMenus());
    // a class not registered, a class that is no screen: told, nothing kept
    item(103)->click();
    item(105)->click();
    QCOMPARE(m_presenter->texts(), QStringList(2, QStringLiteral("Form Class does not exists.")));
    QCOMPARE(m_presenter->messages.at(0).kind, Platform::MessageKind::Error);
    QCOMPARE(TPlainWidget::Alive, 0);
    QVERIFY(m_mdi->subWindowList().isEmpty());
    item(101)->click();
    auto *orders = qobject_cast<TProbeFrm *>(m_ctl->OpenedForms()->Find(101));
    QVERIFY(orders);
    QCOMPARE(orders->Data, m_ctl->MenuList()->Find(101));
    QCOMPARE(orders->SubWindow()->mdiArea(), m_mdi);
    QCOMPARE(m_ctl->ActiveForm(), orders);
    QCOMPARE(m_label->text(), QStringLiteral("Orders"));
    item(106)->click();
    QCOMPARE(m_label->text(), QStringLiteral("Invoices"));
    // the second click brings the open one forward, nothing new is made
    item(101)->click();
    QCOMPARE(TProbeFrm::Made, 2);
    QCOMPARE(m_mdi->activeSubWindow(), orders->SubWindow());
    QCOMPARE(m_ctl->ActiveForm(), orders);
    // one the user minimized comes back to be seen, from the menus or the window list
    for (const bool fromWindowList : { false, true }) {
        orders->SubWindow()->showMinimized();
        QVERIFY(orders->SubWindow()->isMinimized());
        if (fromWindowList)
            m_windows->actions().at(2)->trigger(); // after "Cascade" and the separator
        else
            item(101)->click();
        QVERIFY(!orders->SubWindow()->isMinimized());
        QVERIFY(orders->isVisible());
        QCOMPARE(m_mdi->activeSubWindow(), orders->SubWindow());
    }
    QCOMPARE(TProbeFrm::Made, 2);
    // the active screen closed: the pointer and the label forget it
    QPointer<TBaseChildFrm> closed = orders;
    closed->IsModified = false;
    QVERIFY(closed->Close());
    QTRY_VERIFY(!closed);
    QCOMPARE(m_ctl->ActiveForm(), nullptr);
    QVERIFY(m_ctl->CloseAllForms());
    QVERIFY(m_label->text().isEmpty());
    QCOMPARE(m_windows->actions().size(), 1);
    QCOMPARE(m_presenter->messages.size(), 2);
}

// Closing all and signing out stop, without asking, at the first screen with
// unsaved changes and bring it to the front; the user decides there.
void tst_AppController::closeAllAndSignOutStopAtModifiedScreen()
{
    signedIn(salesMenus(), FixturePackages);
    item(101)->click();
    item(106)->click();
    m_ctl->LoadWelcomeForm();
    QPointer<TBaseChildFrm> orders = m_ctl->OpenedForms()->Find(101);
    QPointer<TBaseChildFrm> invoices = m_ctl->OpenedForms()->Find(106);
    QPointer<TBaseChildFrm> welcome = m_ctl->OpenedForms()->Find(0); // made by its class name
    QVERIFY(qobject_cast<TWelcomeFrm *>(welcome));
    QVERIFY(welcome->SubWindow()->isMaximized());
    QVERIFY(welcome->SubWindow()->windowFlags().testFlag(Qt::FramelessWindowHint));
    orders->IsModified = false;
    invoices->SetDataMode(dmEdit); // modified since creation
    QVERIFY(!m_ctl->CloseAllForms());
    QVERIFY(!orders);
    QVERIFY(invoices && welcome);
    QCOMPARE(m_mdi->activeSubWindow(), invoices->SubWindow());
    QCOMPARE(m_label->text(), QStringLiteral("Invoices"));
    m_mdi->setActiveSubWindow(welcome->SubWindow());
    QVERIFY(!m_ctl->SignOut());
    QCOMPARE(m_mdi->activeSubWindow(), invoices->SubWindow());
    QVERIFY(IsLogin); // still signed in with everything
    QCOMPARE(m_bar->itemCount(), 5);
    QVERIFY(ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(m_presenter->modals.isEmpty());
    // the user closes it and answers No, then Yes: then everything closes
    m_presenter->queueAnswer(Platform::ModalResult::No);
    QVERIFY(!invoices->Close());
    m_presenter->queueAnswer(Platform::ModalResult::Yes);
    QVERIFY(invoices->Close());
    QTRY_VERIFY(!invoices);
    QCOMPARE(m_presenter->messages.size(), 2);
    QVERIFY(m_ctl->CloseAllForms());
    QVERIFY(!welcome);
}

// Signing out unloads and shows the sign-in form again; the host quits when
// nobody signs in (IsLogin false) and reloads the menus when somebody does.
void tst_AppController::signOutUnloadsThenQuitsOrReloads()
{
    const QJsonArray menus { header(
        QStringLiteral("Fixtures"), 1, 0,
        QJsonArray { screen(301, QStringLiteral("Fixture Screen"), 1, QStringLiteral("TFixtureScreenFrm")) }) };
    signedIn(menus, FixturePackages);
    item(301)->click();
    QPointer<TBaseChildFrm> fixture = m_ctl->OpenedForms()->Find(301);
    QCOMPARE(QString::fromLatin1(fixture->metaObject()->className()), QStringLiteral("TFixtureScreenFrm"));
    QVERIFY(m_ctl->SignOut());
    QVERIFY(!fixture);
    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals.at(0).className, QStringLiteral("TLoginFrm"));
    QVERIFY(!IsLogin);
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QCOMPARE(m_ctl->MenuList()->Count(), 1);
    QCOMPARE(m_bar->itemCount(), 1);
    // a user who signs in again gets the splash, then the same tree and module
    m_presenter->modalScript = signInScript;
    QVERIFY(m_ctl->SignOut());
    QVERIFY(IsLogin);
    QCOMPARE(RestClient->AccessToken(), QStringLiteral("user-access"));
    QVERIFY(m_ctl->SplashFrm()->isVisible());
    loadMenus(menus, FixturePackages);
    QVERIFY(!m_ctl->SplashFrm()->isVisible());
    item(301)->click();
    fixture = m_ctl->OpenedForms()->Find(301);
    QVERIFY(fixture);
    // the controller going: the module's screen goes before its code does, unsaved or not, unasked
    fixture->SetDataMode(dmEdit);
    m_ctl.reset();
    QVERIFY(!fixture);
    QVERIFY(m_mdi->subWindowList().isEmpty());
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QCOMPARE(RestClient, nullptr);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_AppController::moduleRequestsEndBeforeTheModuleGoes_data()
{
    QTest::addColumn<bool>("atExit");
    QTest::newRow("sign-out") << false;
    QTest::newRow("exit") << true;
}

// Given a module screen whose reads the server holds (one into the screen's
// table, one into a table the module keeps), when the user signs out or the
// program ends, then the module's library goes only after every request has
// ended, the server sees both connections close, and no callback of the
// module ever runs.
void tst_AppController::moduleRequestsEndBeforeTheModuleGoes()
{
    QFETCH(bool, atExit);
    qApp->setProperty("fixtureCallbacks", 0);
    qApp->setProperty("fixtureLiveAtUnload", QVariant());
    const QJsonArray menus { header(
        QStringLiteral("Fixtures"), 1, 0,
        QJsonArray { screen(302, QStringLiteral("Reader"), 1, QStringLiteral("TFixtureReaderFrm")) }) };
    signedIn(menus, FixturePackages);
    item(302)->click();
    QVERIFY(m_ctl->OpenedForms()->Find(302));
    QTRY_COMPARE(m_server->requestsTo("GET", QStringLiteral("/fix/v1/items")).size(), 2);
    QVERIFY(Platform::RestRequest::liveCount() >= 2);

    if (atExit)
        m_ctl.reset();
    else
        QVERIFY(m_ctl->SignOut());
    // the library has gone (its probe ran) with nothing left alive
    QCOMPARE(qApp->property("fixtureLiveAtUnload"), QVariant(0));
    QCOMPARE(Platform::RestRequest::liveCount(), 0);
    QVERIFY(m_server->waitForClientCloses(2));
    QTest::qWait(100); // a late answer would be delivered here
    QCOMPARE(qApp->property("fixtureCallbacks").toInt(), 0);
}

// A screen closed and opened again comes back as the first one came, and the
// welcome screen fills the work area whenever it is in front.
void tst_AppController::screenOpenedAgainComesBackAsBefore()
{
    m_main->resize(1200, 800);
    signedIn(salesMenus());
    m_ctl->LoadWelcomeForm();
    QPointer<TBaseChildFrm> welcome = m_ctl->OpenedForms()->Find(0);
    QVERIFY(welcome->SubWindow()->isMaximized());
    QSize firstSize;
    for (int round = 0; round < 2; ++round) {
        item(101)->click();
        QPointer<TBaseChildFrm> orders = m_ctl->OpenedForms()->Find(101);
        QVERIFY(orders);
        QTRY_COMPARE(m_mdi->activeSubWindow(), orders->SubWindow());
        QVERIFY2(orders->SubWindow()->isMaximized(), qPrintable(QString::number(round)));
        if (round == 0)
            firstSize = orders->size();
        QCOMPARE(orders->size(), firstSize);
        orders->IsModified = false;
        QVERIFY(orders->Close());
        QTRY_VERIFY(!orders);
        QTRY_COMPARE(m_mdi->activeSubWindow(), welcome->SubWindow());
        QTRY_VERIFY(welcome->SubWindow()->isMaximized());
        QCOMPARE(welcome->SubWindow()->geometry(), m_mdi->viewport()->rect());
    }

    // with no maximized screen in front, a screen shows in its own size,
    // not squeezed to its layout's smallest
    QVERIFY(welcome->Close());
    QTRY_VERIFY(!welcome);
    item(106)->click();
    QPointer<TBaseChildFrm> invoices = m_ctl->OpenedForms()->Find(106);
    QVERIFY(!invoices->SubWindow()->isMaximized());
    QCOMPARE(invoices->size(), QSize(700, 450));
    QVERIFY(m_presenter->messages.isEmpty());
}

QTEST_MAIN(tst_AppController)
#include "tst_appcontroller.moc"
