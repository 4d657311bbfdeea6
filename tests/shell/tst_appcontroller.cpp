#include "AppControllerU.h"
#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "Localizer.h"
#include "LoginFrmU.h"
#include "MenuListU.h"
#include "OpenedFormsU.h"
#include "PackageListU.h"
#include "RecordingPresenter.h"
#include "SignInFixtures.h"
#include "SideBar.h"
#include "SplashFrmU.h"
#include "TempAppFolder.h"
#include "TestHttpServer.h"
#include "WaitDlgU.h"
#include "WelcomeFrmU.h"
#include "ZeltRestClientU.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMutex>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

using Platform::ClassRegistry;
using namespace MenuJson;
using namespace SignInFixtures;

namespace {

// A screen of the test's own, counting how many exist.
class TProbeFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    static inline int Alive = 0;
    static inline int Made = 0;
    explicit TProbeFrm(QWidget *AOwner = nullptr) : TBaseChildFrm(AOwner)
    {
        ++Alive;
        ++Made;
    }
    ~TProbeFrm() override { --Alive; }
    void TranslationChanged() override { }
};

// A screen whose construction fails.
class TBrokenFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    explicit TBrokenFrm(QWidget *AOwner = nullptr) : TBaseChildFrm(AOwner)
    {
        throw Platform::Error(QStringLiteral("broken on purpose"));
    }
    void TranslationChanged() override { }
};

// Registered under a screen's name but no screen at all.
class TPlainWidget : public QWidget
{
    Q_OBJECT
public:
    static inline int Alive = 0;
    explicit TPlainWidget(QWidget *AOwner = nullptr) : QWidget(AOwner) { ++Alive; }
    ~TPlainWidget() override { --Alive; }
};

// Sales: Orders 101 | - | New Order 102 (dialog) | Customers 103 (class of
// a module not built yet) | Broken 104 | Plain 105 | Invoices 106
QJsonArray salesMenus()
{
    return QJsonArray { header(QStringLiteral("Sales"), 1, 0,
                               QJsonArray { screen(101, QStringLiteral("Orders"), 1, QStringLiteral("TProbeFrm")),
                                            separator(),
                                            screen(102, QStringLiteral("New Order"), 1, QStringLiteral("TProbeFrm"), {}, 2),
                                            screen(103, QStringLiteral("Customers"), 1, QStringLiteral("TCustomerListFrm")),
                                            screen(104, QStringLiteral("Broken"), 1, QStringLiteral("TBrokenFrm")),
                                            screen(105, QStringLiteral("Plain"), 1, QStringLiteral("TPlainWidget")),
                                            screen(106, QStringLiteral("Invoices"), 1, QStringLiteral("TProbeFrm")) }) };
}

} // namespace

class tst_AppController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void createAndInit();
    void signIn();
    void signInClosed();
    void setLoginInfoIsAllOrNothing();
    void setLanguage_data();
    void setLanguage();

    void loadAccessData();
    void answersThatChangeNothing_data();
    void answersThatChangeNothing();
    void menusTransportErrorReachesCaller();
    void badMenuTrees_data();
    void badMenuTrees();
    void brokenPackageList_data();
    void brokenPackageList();

    void childWindowOpensOnceAndComesToFront();
    void dialogEntryShownModallyAndFreed();
    void screenClassProblems_data();
    void screenClassProblems();
    void unknownMenuId();
    void welcomeScreen();

    void closeAllStopsAtModifiedScreen();
    void signOutStopsAtModifiedScreen();
    void pluginScreenOpensAndIsUnloadedAtSignOut();
    void signOutGoesOnWhenAPackageFailsToStop();
    void destructionReleasesOpenScreens();

private:
    // The controller as the host sets it up, with a signed-in user.
    void signedIn();
    void loadMenus(const QJsonArray &menus, const QJsonArray &packages = {});
    Platform::SideBarItem *item(int AMenuId) const;
    void installPlugin(const QString &base);
    // Signs in through the form as a user would.
    std::function<int(QDialog &)> signInScript();

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
    int m_menusStatus = 200;
};

void tst_AppController::initTestCase()
{
    TLoginFrm::SetFullScreen(false);
    auto &registry = ClassRegistry::instance();
    registry.registerClass<TProbeFrm>(QStringLiteral("TProbeFrm"));
    registry.registerClass<TBrokenFrm>(QStringLiteral("TBrokenFrm"));
    registry.registerClass<TPlainWidget>(QStringLiteral("TPlainWidget"));
}

void tst_AppController::cleanupTestCase()
{
    for (const char *name : { "TProbeFrm", "TBrokenFrm", "TPlainWidget" })
        ClassRegistry::instance().unregisterClass(QString::fromLatin1(name));
}

void tst_AppController::init()
{
    GlobalVarsU_Initialize();
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("updates.json"), "{\"app_ver\":\"1.0.3\",\"files\":[]}");
    m_folder->write(QStringLiteral("lang.ini"), "[id_ID]\nLanguageName=Bahasa (ID)\nsAppClose=Tutup\n");
    m_presenter = RecordingPresenter::install();
    m_menus = menusAnswer(salesMenus());
    m_menusStatus = 200;
    m_server = std::make_unique<TestHttpServer>();
    const QString url = m_server->url();
    m_server->setHandler([this, url](const RecordedRequest &r) {
        if (r.path == QLatin1String("/v1/cust-auth"))
            return Reply::json(custAuthAnswer(url));
        if (r.path == QLatin1String("/auth/v1/login"))
            return Reply::json(loginAnswer());
        if (r.path == QLatin1String("/sys/v1/app/menus")) {
            QMutexLocker lock(&m_mutex);
            return Reply::json(m_menus, m_menusStatus);
        }
        return Reply::json("{\"message\":\"not found\"}", 404);
    });
    setServiceGlobals(url);

    // what the host gives the controller
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

    TProbeFrm::Alive = TProbeFrm::Made = 0;
    TPlainWidget::Alive = 0;
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
    Platform::ResourceStringRepository::instance().setTranslations({});
    Platform::setDialogPresenter(nullptr);
}

std::function<int(QDialog &)> tst_AppController::signInScript()
{
    return [](QDialog &dialog) -> int {
        auto *form = qobject_cast<TLoginFrm *>(&dialog);
        if (!form)
            return Platform::ModalResult::Cancel;
        form->show();
        if (!QTest::qWaitFor([&] { return form->State() == TLoginState::lsReady; }, 15000))
            return Platform::ModalResult::Cancel;
        form->edtEmail->setText(QStringLiteral("sarah@zelt.local"));
        form->edtPass->setText(QStringLiteral("Demo#2024"));
        QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, 15000))
            return Platform::ModalResult::Cancel;
        return form->result();
    };
}

void tst_AppController::signedIn()
{
    m_presenter->modalScript = signInScript();
    QVERIFY(m_ctl->SignIn());
    m_presenter->modalScript = {};
    m_presenter->clear();
}

void tst_AppController::loadMenus(const QJsonArray &menus, const QJsonArray &packages)
{
    {
        QMutexLocker lock(&m_mutex);
        m_menus = menusAnswer(menus, packages);
    }
    m_ctl->LoadAccessData();
    m_ctl->HideSplash();
}

Platform::SideBarItem *tst_AppController::item(int AMenuId) const
{
    for (Platform::SideBarItem *i : m_bar->items()) {
        if (i->tag() == AMenuId && i->index() > 0)
            return i;
    }
    return nullptr;
}

void tst_AppController::installPlugin(const QString &base)
{
    const QString file = TPackageList::LibraryFileName(base + QStringLiteral(".bpl"));
    QVERIFY(QFile::copy(QStringLiteral(FIXTURE_PLUGIN_DIR "/") + file, m_folder->filePath(file)));
}

// ------------------------------------------------------------ the session

void tst_AppController::createAndInit()
{
    QVERIFY(WaitDlg);
    QVERIFY(UserInfo);
    QCOMPARE(m_ctl->MenuList()->Find(0)->FormClass, QStringLiteral("TWelcomeFrm"));
    RestClient = new TZeltRestClient(QStringLiteral("http://127.0.0.1:1"), 1, 1);
    m_ctl.reset();
    // the controller frees what it made and the shared client
    QCOMPARE(WaitDlg, nullptr);
    QCOMPARE(UserInfo, nullptr);
    QCOMPARE(RestClient, nullptr);
}

// The form's way through the presenter and the globals it leaves are proven
// end to end (tst_endtoend::signInThroughTheForm); here what the controller
// does around it.
void tst_AppController::signIn()
{
    TLoginFrm *shown = nullptr;
    const auto script = signInScript();
    m_presenter->modalScript = [&](QDialog &dialog) {
        shown = LoginFrm;
        return script(dialog);
    };
    QVERIFY(m_ctl->SignIn());
    // the form was the global one while shown, and is gone again
    QVERIFY(shown);
    QCOMPARE(LoginFrm, nullptr);
    QVERIFY(m_ctl->SplashFrm()->isVisible());
    QCOMPARE(m_ctl->SplashFrm()->lblStatus->text(), QStringLiteral("Loading, please wait..."));
    QCOMPARE(RestClient->AccessToken(), QStringLiteral("user-access"));
    m_ctl->HideSplash();
    QVERIFY(!m_ctl->SplashFrm()->isVisible());
}

void tst_AppController::signInClosed()
{
    // no script: the form ends with Cancel, as "Close" does
    QVERIFY(!m_ctl->SignIn());
    QCOMPARE(m_presenter->modals.size(), 1);
    QVERIFY(!IsLogin);
    QVERIFY(!m_ctl->SplashFrm()->isVisible());
    QVERIFY(UserInfo->UserFullName.isEmpty());

    m_presenter->modalScript = [](QDialog &dialog) {
        auto *form = qobject_cast<TLoginFrm *>(&dialog);
        form->show();
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        return form->result();
    };
    QVERIFY(!m_ctl->SignIn());
    QVERIFY(!IsLogin);
}

void tst_AppController::setLoginInfoIsAllOrNothing()
{
    RestClient = new TZeltRestClient(m_server->url(), 1000, 1000);
    RestClient->SetHeaderData(QStringLiteral("old-access"), QStringLiteral("old-refresh"), QStringLiteral("en_US"));
    UserInfo->UserFullName = QStringLiteral("Nobody");

    QJsonObject data = loginData(QStringLiteral("id_ID"));
    QJsonObject token = data.value(QStringLiteral("token")).toObject();
    token.remove(QStringLiteral("refresh"));
    data.insert(QStringLiteral("token"), token);
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError, m_ctl->SetLoginInfo(data));
    QCOMPARE(UserInfo->UserFullName, QStringLiteral("Nobody"));
    QCOMPARE(RestClient->AccessToken(), QStringLiteral("old-access"));
    QCOMPARE(RestClient->LangId(), QStringLiteral("en_US"));

    m_ctl->SetLoginInfo(loginData(QStringLiteral("id_ID")));
    QCOMPARE(UserInfo->UserFullName, QStringLiteral("Sarah Mitchell"));
    QCOMPARE(UserInfo->LangCode, QStringLiteral("id_ID"));
    QCOMPARE(RestClient->AccessToken(), QStringLiteral("user-access"));
    QCOMPARE(RestClient->LangId(), QStringLiteral("id_ID"));
}

void tst_AppController::setLanguage_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("index");

    QTest::newRow("id_ID") << "id_ID" << 0;
    QTest::newRow("en_US") << "en_US" << -1;
}

void tst_AppController::setLanguage()
{
    QFETCH(QString, code);
    QFETCH(int, index);
    Platform::Localizer localizer;
    localizer.setFileName(QStringLiteral("lang.ini"));
    localizer.setActive(true);
    localizer.setLanguageIndex(index == 0 ? -1 : 0);
    UserInfo->LangCode = code;
    m_ctl->SetLanguage(&localizer);
    QCOMPARE(localizer.languageIndex(), index);
}

// --------------------------------------------------------------- access data

void tst_AppController::loadAccessData()
{
    signedIn();
    m_server->clear();
    loadMenus(salesMenus(), QJsonArray {});

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QStringLiteral("/sys/v1/app/menus"));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer user-access"));

    QCOMPARE(m_bar->groupCount(), 1);
    QCOMPARE(m_bar->group(0)->caption(), QStringLiteral("Sales"));
    // the host's first item, then the six screens
    QCOMPARE(m_bar->itemCount(), 7);
    QCOMPARE(m_bar->item(0)->caption(), QStringLiteral("-"));
    QCOMPARE(m_ctl->MenuList()->Count(), 7);
    QCOMPARE(m_ctl->MenuList()->Find(102)->ShowType, 2);
    // com's own entry only
    QCOMPARE(m_ctl->PackageList()->Count(), 1);

    // the same tree again: the same menus, nothing twice
    const QList<int> ids = m_ctl->MenuList()->MenuIds();
    loadMenus(salesMenus());
    QCOMPARE(m_ctl->MenuList()->MenuIds(), ids);
    QCOMPARE(m_bar->groupCount(), 1);
    QCOMPARE(m_bar->itemCount(), 7);

    // a smaller tree leaves nothing of the bigger one
    loadMenus(QJsonArray { header(QStringLiteral("Sales"), 1, 0,
                                  QJsonArray { screen(101, QStringLiteral("Orders"), 1, QStringLiteral("TProbeFrm")) }) });
    QCOMPARE(m_ctl->MenuList()->MenuIds(), (QList<int> { 0, 101 }));
    QCOMPARE(m_bar->itemCount(), 2);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_AppController::answersThatChangeNothing_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    QTest::newRow("no response") << QByteArray("{\"data\":{}}") << 200;
    QTest::newRow("not JSON") << QByteArray("<html/>") << 200;
    QTest::newRow("token expired") << QByteArray("{\"message\":\"Token has expired, please sign in again.\"}") << 401;
}

void tst_AppController::answersThatChangeNothing()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    signedIn();
    loadMenus(salesMenus());
    {
        QMutexLocker lock(&m_mutex);
        m_menus = body;
        m_menusStatus = status;
    }
    m_ctl->LoadAccessData();
    QCOMPARE(m_ctl->MenuList()->Count(), 7);
    QCOMPARE(m_bar->itemCount(), 7);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_AppController::menusTransportErrorReachesCaller()
{
    signedIn();
    // the tenant's API stops answering
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const QString dead = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    delete RestClient;
    RestClient = new TZeltRestClient(dead, 2000, 2000);
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError, m_ctl->LoadAccessData());
    QCOMPARE(m_ctl->MenuList()->Count(), 1);
}

void tst_AppController::badMenuTrees_data()
{
    QTest::addColumn<QJsonArray>("menus");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QList<int>>("kept");

    // each kind of bad node is the menu list's own test; here: what the
    // controller does with one
    QTest::newRow("repeated id")
        << QJsonArray { header(QStringLiteral("A"), 1, 0, QJsonArray { screen(201, QStringLiteral("One"), 1, QStringLiteral("TProbeFrm")),
                                                                      screen(201, QStringLiteral("Two"), 1, QStringLiteral("TProbeFrm")) }) }
        << "201" << QList<int> { 0, 201 };
    QTest::newRow("node not an object") << QJsonArray { QJsonValue(7) } << "not a JSON object" << QList<int> { 0 };
}

void tst_AppController::badMenuTrees()
{
    QFETCH(QJsonArray, menus);
    QFETCH(QString, error);
    QFETCH(QList<int>, kept);
    signedIn();
    {
        QMutexLocker lock(&m_mutex);
        m_menus = menusAnswer(menus);
    }
    // raised to the host, which shows it; the nodes before stay
    try {
        m_ctl->LoadAccessData();
        QFAIL("no error raised");
    } catch (const Platform::Error &e) {
        QVERIFY2(e.message().contains(error), qPrintable(e.message()));
    }
    QCOMPARE(m_ctl->MenuList()->MenuIds(), kept);

    // and a good tree loads afterwards
    loadMenus(salesMenus());
    QCOMPARE(m_ctl->MenuList()->Count(), 7);
}

void tst_AppController::brokenPackageList_data()
{
    QTest::addColumn<QJsonArray>("packages");
    QTest::addColumn<QString>("message");

    // each kind of broken entry is the package list's own test; here: what
    // the controller does with one that fails and one it cannot read
    QTest::newRow("fails to start")
        << QJsonArray { package(QStringLiteral("f"), QStringLiteral("fixturefailstart.bpl")) }
        << "Package fixturefailstart.bpl failed to start: Fixture refuses to start.";
    QTest::newRow("element not an object") << QJsonArray { QJsonValue(QStringLiteral("crm")) }
                                           << "Package entry 0 is not a JSON object.";
}

void tst_AppController::brokenPackageList()
{
    QFETCH(QJsonArray, packages);
    QFETCH(QString, message);
    installPlugin(QStringLiteral("fixturefailstart"));
    installPlugin(QStringLiteral("fixtureplain"));
    signedIn();
    loadMenus(salesMenus(), packages);

    // the menus are there, the failure was told once
    QCOMPARE(m_ctl->MenuList()->Count(), 7);
    QCOMPARE(m_presenter->messages.size(), 1);
    QVERIFY2(m_presenter->messages.at(0).text.contains(message), qPrintable(m_presenter->messages.at(0).text));
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixturePartialFrm")));

    // the user can still work and sign out
    m_presenter->clear();
    item(101)->click();
    QCOMPARE(m_ctl->OpenedForms()->Count(), 1);
    QVERIFY(m_ctl->SignOut());
    QCOMPARE(m_ctl->OpenedForms()->Count(), 0);
    QVERIFY(!IsLogin);
}

// --------------------------------------------------------------- screens

void tst_AppController::childWindowOpensOnceAndComesToFront()
{
    signedIn();
    loadMenus(salesMenus());

    item(101)->click();
    QCOMPARE(TProbeFrm::Made, 1);
    auto *orders = qobject_cast<TProbeFrm *>(m_ctl->OpenedForms()->Find(101));
    QVERIFY(orders);
    QCOMPARE(orders->Data, m_ctl->MenuList()->Find(101));
    QCOMPARE(orders->windowTitle(), QStringLiteral("Orders"));
    QCOMPARE(orders->Owner(), m_main.get());
    QCOMPARE(orders->SubWindow()->mdiArea(), m_mdi);
    QVERIFY(orders->isVisible());
    QCOMPARE(m_ctl->ActiveForm(), orders);
    QCOMPARE(m_label->text(), QStringLiteral("Orders"));

    item(106)->click();
    auto *invoices = m_ctl->OpenedForms()->Find(106);
    QCOMPARE(m_mdi->activeSubWindow(), invoices->SubWindow());
    QCOMPARE(m_label->text(), QStringLiteral("Invoices"));

    // the second click brings the open one forward, nothing new is made
    item(101)->click();
    QCOMPARE(TProbeFrm::Made, 2);
    QCOMPARE(m_ctl->OpenedForms()->Count(), 2);
    QCOMPARE(m_mdi->activeSubWindow(), orders->SubWindow());
    QCOMPARE(m_ctl->ActiveForm(), orders);

    // the Window menu lists them; choosing one activates it, the label follows
    item(106)->click();
    QCOMPARE(m_windows->actions().size(), 4);
    m_windows->actions().at(2)->trigger();
    QTRY_COMPARE(m_mdi->activeSubWindow(), orders->SubWindow());
    QTRY_COMPARE(m_label->text(), QStringLiteral("Orders"));

    // a closed screen opens anew; the label and the menu forget it
    QPointer<TBaseChildFrm> closed = orders;
    m_ctl->OpenedForms()->Find(106)->IsModified = false;
    closed->IsModified = false;
    QVERIFY(closed->Close());
    QTRY_VERIFY(!closed);
    QCOMPARE(m_ctl->OpenedForms()->Count(), 1);
    item(101)->click();
    QCOMPARE(TProbeFrm::Made, 3);
    QCOMPARE(TProbeFrm::Alive, 2);
    QVERIFY(m_ctl->CloseAllForms());
    QVERIFY(m_label->text().isEmpty());
    QCOMPARE(m_windows->actions().size(), 1);
    QCOMPARE(m_ctl->ActiveForm(), nullptr);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_AppController::dialogEntryShownModallyAndFreed()
{
    signedIn();
    loadMenus(salesMenus());
    int registeredWhileShown = -1;
    m_presenter->modalScript = [&](QDialog &) {
        registeredWhileShown = m_ctl->OpenedForms()->Count();
        return int(Platform::ModalResult::Ok);
    };
    item(102)->click();
    item(102)->click();

    QCOMPARE(m_presenter->modals.size(), 2);
    QCOMPARE(m_presenter->modals.at(0).objectName, QStringLiteral("TProbeFrm"));
    QCOMPARE(m_presenter->modals.at(0).title, QStringLiteral("New Order"));
    QCOMPARE(registeredWhileShown, 1);
    // a new screen each time, freed when its modal loop ended
    QCOMPARE(TProbeFrm::Made, 2);
    QCOMPARE(TProbeFrm::Alive, 0);
    QCOMPARE(m_ctl->OpenedForms()->Count(), 0);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_AppController::screenClassProblems_data()
{
    QTest::addColumn<int>("menuId");

    QTest::newRow("class not registered") << 103;
    QTest::newRow("constructor fails") << 104;
    QTest::newRow("not a screen") << 105;
}

void tst_AppController::screenClassProblems()
{
    QFETCH(int, menuId);
    signedIn();
    loadMenus(salesMenus());
    item(menuId)->click();
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Form Class does not exists.") });
    QCOMPARE(m_presenter->messages.at(0).kind, Platform::MessageKind::Error);
    QCOMPARE(m_ctl->OpenedForms()->Count(), 0);
    QCOMPARE(TPlainWidget::Alive, 0);
    QVERIFY(m_mdi->subWindowList().isEmpty());
    QVERIFY_THROWS_EXCEPTION(Platform::Error, m_ctl->LoadNewChildForm(m_ctl->MenuList()->Find(menuId)));
    QCOMPARE(m_ctl->LoadNewChildForm(nullptr), nullptr);

    // the application goes on
    item(101)->click();
    QCOMPARE(m_ctl->OpenedForms()->Count(), 1);
}

void tst_AppController::unknownMenuId()
{
    signedIn();
    loadMenus(salesMenus());
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, m_ctl->ShowForm(999));

    // an item whose id the menus do not hold: the list's own text
    Platform::SideBarItem *stray = m_bar->addItem(QStringLiteral("Stray"));
    stray->setTag(999);
    m_ctl->OnMenuClick(stray);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Menu id 999 is not in the menu list.") });
    // not a side-bar item: ignored
    m_ctl->OnMenuClick(m_label);
    QCOMPARE(m_presenter->messages.size(), 1);
}

void tst_AppController::welcomeScreen()
{
    m_ctl->LoadWelcomeForm();
    QPointer<TBaseChildFrm> welcome = m_ctl->OpenedForms()->Find(0);
    QVERIFY(qobject_cast<TWelcomeFrm *>(welcome));
    QVERIFY(welcome->SubWindow());
    QCOMPARE(welcome->windowTitle(), QStringLiteral("Welcome"));
    // once: closing and opening anew go as for any screen (see above)
    m_ctl->LoadWelcomeForm();
    QCOMPARE(m_ctl->OpenedForms()->Count(), 1);
}

// ----------------------------------------------------- close all, sign-out

void tst_AppController::closeAllStopsAtModifiedScreen()
{
    signedIn();
    loadMenus(salesMenus());
    item(101)->click();
    item(106)->click();
    m_ctl->LoadWelcomeForm();
    QPointer<TBaseChildFrm> orders = m_ctl->OpenedForms()->Find(101);
    QPointer<TBaseChildFrm> invoices = m_ctl->OpenedForms()->Find(106);
    QPointer<TBaseChildFrm> welcome = m_ctl->OpenedForms()->Find(0);
    orders->IsModified = false;
    invoices->SetDataMode(dmEdit); // modified since creation

    QVERIFY(!m_ctl->CloseAllForms());
    QVERIFY(!orders);
    QVERIFY(invoices);
    QVERIFY(welcome);
    QCOMPARE(m_ctl->OpenedForms()->Count(), 2);
    QCOMPARE(m_mdi->activeSubWindow(), invoices->SubWindow());
    QCOMPARE(m_label->text(), QStringLiteral("Invoices"));
    // nothing was asked
    QVERIFY(m_presenter->messages.isEmpty());

    // once saved, everything closes
    invoices->IsModified = false;
    QVERIFY(m_ctl->CloseAllForms());
    QVERIFY(!invoices);
    QVERIFY(!welcome);
}

void tst_AppController::signOutStopsAtModifiedScreen()
{
    installPlugin(QStringLiteral("fixturescreen"));
    signedIn();
    loadMenus(salesMenus(), QJsonArray { package(QStringLiteral("fix"), QStringLiteral("fixturescreen.bpl")) });
    item(101)->click();
    QPointer<TBaseChildFrm> orders = m_ctl->OpenedForms()->Find(101);
    orders->SetDataMode(dmEdit);
    m_ctl->LoadWelcomeForm();

    QVERIFY(!m_ctl->SignOut());
    // the screen is in front, the user is still signed in with everything
    QVERIFY(orders);
    QCOMPARE(m_mdi->activeSubWindow(), orders->SubWindow());
    QVERIFY(m_presenter->modals.isEmpty());
    QVERIFY(IsLogin);
    QCOMPARE(m_ctl->MenuList()->Count(), 7);
    QCOMPARE(m_bar->itemCount(), 7);
    QVERIFY(m_ctl->PackageList()->Items(1)->IsLoad);
    QVERIFY(ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
}

void tst_AppController::pluginScreenOpensAndIsUnloadedAtSignOut()
{
    // Given a module plugin that the server lists for the user
    installPlugin(QStringLiteral("fixturescreen"));
    const QJsonArray menus { header(QStringLiteral("Fixtures"), 1, 0,
                                    QJsonArray { screen(301, QStringLiteral("Fixture Screen"), 1, QStringLiteral("TFixtureScreenFrm")),
                                                 screen(302, QStringLiteral("Fixture Dialog"), 1, QStringLiteral("TFixtureDialogFrm"), {}, 2) }) };
    const QJsonArray packages { package(QStringLiteral("fix"), QStringLiteral("fixturescreen.bpl")) };
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    signedIn();
    loadMenus(menus, packages);
    QVERIFY(ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));

    // When its menu item is clicked, its screen opens as a child window
    item(301)->click();
    QPointer<TBaseChildFrm> fixture = m_ctl->OpenedForms()->Find(301);
    QVERIFY(fixture);
    QCOMPARE(QString::fromLatin1(fixture->metaObject()->className()), QStringLiteral("TFixtureScreenFrm"));
    QCOMPARE(fixture->SubWindow()->mdiArea(), m_mdi);
    m_presenter->modalScript = [](QDialog &) { return int(Platform::ModalResult::Cancel); };
    item(302)->click();
    QCOMPARE(m_presenter->modals.at(0).objectName, QStringLiteral("TFixtureDialogFrm"));

    // When the user signs out and nobody signs in again
    m_presenter->clear();
    QVERIFY(m_ctl->SignOut());

    // Then the screen is closed, the module unloaded, the menus emptied,
    // and the sign-in form was shown
    QVERIFY(!fixture);
    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals.at(0).className, QStringLiteral("TLoginFrm"));
    QVERIFY(!IsLogin);
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QVERIFY(!m_ctl->PackageList()->Items(1)->IsLoad);
    QCOMPARE(m_ctl->MenuList()->Count(), 1);
    QCOMPARE(m_bar->groupCount(), 0);
    QCOMPARE(m_bar->itemCount(), 1);

    // And a user who signs in again gets the same tree and module back
    m_presenter->modalScript = signInScript();
    QVERIFY(m_ctl->SignOut());
    QVERIFY(IsLogin);
    loadMenus(menus, packages);
    QVERIFY(m_presenter->messages.isEmpty());
    item(301)->click();
    QVERIFY(m_ctl->OpenedForms()->Find(301));
}

void tst_AppController::signOutGoesOnWhenAPackageFailsToStop()
{
    installPlugin(QStringLiteral("fixturefailstop"));
    installPlugin(QStringLiteral("fixturescreen"));
    signedIn();
    loadMenus(salesMenus(), QJsonArray { package(QStringLiteral("stuck"), QStringLiteral("fixturefailstop.bpl")),
                                         package(QStringLiteral("fix"), QStringLiteral("fixturescreen.bpl")) });
    QVERIFY(m_presenter->messages.isEmpty());

    QVERIFY(m_ctl->SignOut());
    // told, and the module behind it was unloaded all the same
    QCOMPARE(m_presenter->texts(),
             QStringList { QStringLiteral("Package fixturefailstop.bpl failed to stop: Fixture refuses to stop.") });
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureStuckFrm")));
    for (int i = 0; i < m_ctl->PackageList()->Count(); ++i)
        QVERIFY(!m_ctl->PackageList()->Items(i)->IsLoad);
    // and the sign-in form came
    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals.at(0).className, QStringLiteral("TLoginFrm"));
}

void tst_AppController::destructionReleasesOpenScreens()
{
    installPlugin(QStringLiteral("fixturescreen"));
    signedIn();
    loadMenus(QJsonArray { header(QStringLiteral("Fixtures"), 1, 0,
                                  QJsonArray { screen(301, QStringLiteral("Fixture Screen"), 1, QStringLiteral("TFixtureScreenFrm")) }) },
              QJsonArray { package(QStringLiteral("fix"), QStringLiteral("fixturescreen.bpl")) });
    item(301)->click();
    m_ctl->LoadWelcomeForm();
    QPointer<TBaseChildFrm> fixture = m_ctl->OpenedForms()->Find(301);
    QPointer<TBaseChildFrm> welcome = m_ctl->OpenedForms()->Find(0);
    fixture->SetDataMode(dmEdit);

    // the module's screen goes before its code does
    m_ctl.reset();
    QVERIFY(!fixture);
    QVERIFY(!welcome);
    QVERIFY(m_mdi->subWindowList().isEmpty());
    QVERIFY(!ClassRegistry::instance().contains(QStringLiteral("TFixtureScreenFrm")));
}

QTEST_MAIN(tst_AppController)
#include "tst_appcontroller.moc"
