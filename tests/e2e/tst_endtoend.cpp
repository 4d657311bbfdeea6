// The whole client against the real back end: zelt-server runs as its own
// process on a fresh database, and the host's main window, the application
// controller, the sign-in form and the crm plugin from the build's program
// folder run here, driven through their controls as a user would. Every
// change the screens make is looked up in the server's SQLite file.
//
// The slots run in order and build on each other: one session, from the
// customer authentication to the sign-out.
#include "AppControllerU.h"
#include "AppPaths.h"
#include "BaseChildFrmU.h"
#include "ClassRegistry.h"
#include "ContactEntryFrmU.h"
#include "ContactListFrmU.h"
#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "MainWindow.h"
#include "MemTable.h"
#include "PackageListU.h"
#include "RecordingPresenter.h"
#include "SideBar.h"
#include "TempAppFolder.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include <algorithm>
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace ModalResult = Platform::ModalResult;

namespace {

const QString BinDir = QStringLiteral(ZELT_BIN_DIR);
const QString DbConnection = QStringLiteral("tst_endtoend_readonly");
const QString ListClass = QStringLiteral("TCustomerListFrm");
const QString EntryClass = QStringLiteral("TCustomerEntryFrm");
// Generous: the suite also runs under AddressSanitizer on two shared cores.
constexpr int Wait = 20000;

const QString Saved = QStringLiteral("Data has been saved.");
const QString NotSavedQuestion = QStringLiteral("Data has not been saved. Close anyway?");

// zelt-server on a free port. It goes with this object on every way out of
// the test, and with the test process itself should that die first.
class ServerProcess
{
public:
    ~ServerProcess() { stop(); }

    // Waits for the "listening on" line; false (with the reason in error())
    // when the server ended or said nothing in time.
    bool start(const QStringList &AArguments)
    {
        m_process.setProgram(BinDir + QStringLiteral("zelt-server"));
        m_process.setArguments(AArguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
#ifdef Q_OS_LINUX
        // should the test itself be killed, the server goes with it
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
        m_process.start();
        if (!m_process.waitForStarted(Wait)) {
            m_error = QStringLiteral("zelt-server did not start: ") + m_process.errorString();
            return false;
        }
        static const QRegularExpression listening(QStringLiteral("^listening on (http://127\\.0\\.0\\.1:\\d+)\\s*$"));
        QByteArray out;
        const QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine());
                const QRegularExpressionMatch match = listening.match(line);
                if (match.hasMatch()) {
                    m_url = match.captured(1);
                    return true;
                }
                out += line.toUtf8();
            }
            if (m_process.state() != QProcess::Running) {
                out += m_process.readAllStandardError();
                m_error = QStringLiteral("zelt-server ended: ") + QString::fromUtf8(out);
                return false;
            }
            m_process.waitForReadyRead(200);
        }
        m_error = QStringLiteral("zelt-server did not say it was listening: ") + QString::fromUtf8(out);
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    QString url() const { return m_url; }
    QString error() const { return m_error; }

private:
    QProcess m_process;
    QString m_url;
    QString m_error;
};

void typeInto(QLineEdit *AEdit, const QString &AText)
{
    AEdit->setFocus();
    AEdit->selectAll();
    if (AText.isEmpty())
        QTest::keyClick(AEdit, Qt::Key_Delete);
    else
        QTest::keyClicks(AEdit, AText);
}

template<typename T>
T *control(const QObject *AParent, const char *AName)
{
    T *found = AParent->findChild<T *>(QLatin1String(AName));
    if (!found)
        qFatal("control %s not found", AName);
    return found;
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void signInThroughTheForm();
    void sessionBuildsMenusAndLoadsModule();
    void customerListPagedAndSearched();
    void customerAddedThenEdited();
    void refusedWriteNamesTheField();
    void contactsAddedEditedDeleted();
    void expiredTokenShowsSessionExpired();
    void signOutUnloadsModule();

private:
    // One value from the server's database, read through the read-only
    // connection; an invalid QVariant when no row matches.
    QVariant dbValue(const QString &ASql, const QVariantList &AValues = {}) const;
    QSqlRecord dbRecord(const QString &ASql, const QVariantList &AValues = {}) const;
    // The partner codes the server's default order puts on one page.
    QStringList dbCodes(const QString &AWhere, const QVariantList &AValues, int APage, int ARows) const;
    // Runs ASteps while the modal screen that AOpen brings up is shown;
    // returns the screen's result (None while it is still open). Dialogs
    // that screen opens in turn are driven by m_nestedModal.
    int runModal(const std::function<void()> &AOpen, const std::function<void(QDialog &)> &ASteps);
    // A modal script that shows the dialog and runs ASteps on it.
    static std::function<int(QDialog &)> driving(const std::function<void(QDialog &)> &ASteps);

    QWidget *customerList() const;
    Platform::MemTable *listTable() const;
    QStringList listCodes() const;
    // Waits until the list's latest read has ended.
    bool waitListLoaded() const;
    Platform::SideBarItem *sideBarItem(int AMenuId) const;

    std::unique_ptr<QTemporaryDir> m_serverDir;
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<MainWindow> m_window;
    RecordingPresenter *m_presenter = nullptr;
    std::function<int(QDialog &)> m_nestedModal;
    QString m_dbPath;
    // What this session added: a code no seeded customer has.
    const QString m_newCode = QStringLiteral("E2E-0001");
};

void tst_EndToEnd::initTestCase()
{
    const QString crmLibrary = TPackageList::LibraryFileName(QStringLiteral("crm.bpl"));
    QVERIFY2(QFileInfo::exists(BinDir + crmLibrary), qPrintable(crmLibrary));
    for (const char *file : { "zelt-server", "lang.ini", "updates.json" })
        QVERIFY2(QFileInfo::exists(BinDir + QLatin1String(file)), file);

    m_serverDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_serverDir->isValid());
    m_dbPath = m_serverDir->filePath(QStringLiteral("zelt-server.db"));
    m_server = std::make_unique<ServerProcess>();
    QVERIFY2(m_server->start({ QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"), m_dbPath,
                               QStringLiteral("--reset"), QStringLiteral("--files"),
                               m_serverDir->filePath(QStringLiteral("files")), QStringLiteral("--quiet") }),
             qPrintable(m_server->error()));

    // Read-only: the test looks, the server writes.
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), DbConnection);
    db.setDatabaseName(m_dbPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QCOMPARE(dbValue(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt(), 600);

    // The program's folder as installed: the demo installation's app.conf,
    // the shipped lang.ini and updates.json, and the crm plugin the build
    // made (linked, so that the library loaded is the build's own).
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("app.conf"),
                    QStringLiteral("[AppConfig]\nCustKey=ZELT-DEMO-0001\nSecretKey=demo-secret-0001\nMode=dev\n\n"
                                   "[URL]\nApiURL=%1\n")
                        .arg(m_server->url())
                        .toUtf8());
    for (const char *file : { "lang.ini", "updates.json" }) {
        QFile shipped(BinDir + QLatin1String(file));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        m_folder->write(QLatin1String(file), shipped.readAll());
    }
    QVERIFY(QFile::link(BinDir + crmLibrary, m_folder->filePath(crmLibrary)));
    Platform::setApplicationFolder(m_folder->path());

    m_presenter = RecordingPresenter::install();
    TLoginFrm::SetFullScreen(false);

    // What the program's main() does before the sign-in.
    LoadVars();
    QCOMPARE(OrvUrl, m_server->url());
    m_window = std::make_unique<MainWindow>();
    AppController = new TAppController();
    AppController->Init();
    m_window->attach(AppController);
}

void tst_EndToEnd::cleanupTestCase()
{
    // As the program ends: the controller before the main window.
    delete AppController;
    AppController = nullptr;
    m_window.reset();
    UnloadVars();
    Platform::setDialogPresenter(nullptr);
    QSqlDatabase::database(DbConnection, false).close();
    QSqlDatabase::removeDatabase(DbConnection);
    m_server.reset();
}

void tst_EndToEnd::init()
{
    m_presenter->clear();
    m_presenter->modalScript = nullptr;
}

QVariant tst_EndToEnd::dbValue(const QString &ASql, const QVariantList &AValues) const
{
    const QSqlRecord record = dbRecord(ASql, AValues);
    return record.isEmpty() ? QVariant() : record.value(0);
}

QSqlRecord tst_EndToEnd::dbRecord(const QString &ASql, const QVariantList &AValues) const
{
    QSqlQuery query(QSqlDatabase::database(DbConnection));
    if (!query.prepare(ASql))
        qFatal("cannot prepare %s: %s", qPrintable(ASql), qPrintable(query.lastError().text()));
    for (const QVariant &v : AValues)
        query.addBindValue(v);
    if (!query.exec())
        qFatal("cannot run %s: %s", qPrintable(ASql), qPrintable(query.lastError().text()));
    return query.next() ? query.record() : QSqlRecord();
}

QStringList tst_EndToEnd::dbCodes(const QString &AWhere, const QVariantList &AValues, int APage, int ARows) const
{
    QSqlQuery query(QSqlDatabase::database(DbConnection));
    const QString where = AWhere.isEmpty() ? QString() : QStringLiteral(" WHERE ") + AWhere;
    const QString sql = QStringLiteral("SELECT partner_code FROM customers") + where
        + QStringLiteral(" ORDER BY partner_code COLLATE NOCASE LIMIT ? OFFSET ?");
    if (!query.prepare(sql))
        qFatal("cannot prepare %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    for (const QVariant &v : AValues)
        query.addBindValue(v);
    query.addBindValue(ARows);
    query.addBindValue((APage - 1) * ARows);
    if (!query.exec())
        qFatal("cannot run %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    QStringList codes;
    while (query.next())
        codes.append(query.value(0).toString());
    return codes;
}

int tst_EndToEnd::runModal(const std::function<void()> &AOpen, const std::function<void(QDialog &)> &ASteps)
{
    int depth = 0;
    m_presenter->modalScript = [&](QDialog &ADialog) {
        if (depth > 0)
            return m_nestedModal ? m_nestedModal(ADialog) : int(ModalResult::Cancel);
        ++depth;
        ADialog.show();
        ASteps(ADialog);
        --depth;
        return ADialog.isVisible() ? int(ModalResult::None) : ADialog.result();
    };
    const int modals = int(m_presenter->modals.size());
    AOpen();
    m_presenter->modalScript = nullptr;
    m_nestedModal = nullptr;
    // the outer dialog is recorded last, when it ends
    return m_presenter->modals.size() > modals ? m_presenter->modals.last().result : int(ModalResult::None);
}

std::function<int(QDialog &)> tst_EndToEnd::driving(const std::function<void(QDialog &)> &ASteps)
{
    return [ASteps](QDialog &ADialog) {
        ADialog.show();
        ASteps(ADialog);
        return ADialog.isVisible() ? int(ModalResult::None) : ADialog.result();
    };
}

QWidget *tst_EndToEnd::customerList() const
{
    return m_window->findChild<QWidget *>(QStringLiteral("CustomerListFrm"));
}

Platform::MemTable *tst_EndToEnd::listTable() const
{
    QWidget *list = customerList();
    return list ? list->findChild<Platform::MemTable *>(QStringLiteral("mtCustomers")) : nullptr;
}

QStringList tst_EndToEnd::listCodes() const
{
    QStringList codes;
    Platform::MemTable *table = listTable();
    if (!table)
        return codes;
    const int field = table->fieldIndex(QStringLiteral("partner_code"));
    for (int row = 0; row < table->recordCount(); ++row)
        codes.append(table->cell(row, field).toString());
    return codes;
}

bool tst_EndToEnd::waitListLoaded() const
{
    auto *list = qobject_cast<TBaseChildFrm *>(customerList());
    if (!list)
        return false;
    // dmCustom1 is the list's "read running" mode
    return QTest::qWaitFor([&] { return list->DataMode() != dmCustom1; }, Wait);
}

Platform::SideBarItem *tst_EndToEnd::sideBarItem(int AMenuId) const
{
    const QList<Platform::SideBarItem *> items = m_window->sideBar()->items();
    for (Platform::SideBarItem *item : items) {
        if (item->index() > 0 && item->tag() == AMenuId)
            return item;
    }
    return nullptr;
}

void tst_EndToEnd::signInThroughTheForm()
{
    QString customerShown;
    QString refusal;
    m_presenter->modalScript = [&](QDialog &ADialog) -> int {
        auto *form = qobject_cast<TLoginFrm *>(&ADialog);
        if (!form)
            return ModalResult::Cancel;
        form->show();
        // the installation is identified first; then "Sign In" opens
        if (!QTest::qWaitFor([&] { return form->State() == TLoginState::lsReady; }, Wait))
            return ModalResult::Cancel;
        customerShown = form->lblCustrName->text();

        typeInto(form->edtEmail, QStringLiteral("sarah@zelt.local"));
        typeInto(form->edtPass, QStringLiteral("wrong password"));
        QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
        const auto refused = [&] {
            return form->State() == TLoginState::lsReady && !form->lblMessage->text().isEmpty();
        };
        if (!QTest::qWaitFor(refused, Wait))
            return ModalResult::Cancel;
        refusal = form->lblMessage->text();

        typeInto(form->edtPass, QStringLiteral("Demo#2024"));
        QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, Wait))
            return ModalResult::Cancel;
        return form->result();
    };

    QVERIFY(AppController->SignIn());
    QCOMPARE(customerShown, QStringLiteral("PT Zelt Demo Indonesia"));
    QCOMPARE(refusal, QStringLiteral("Invalid email or password."));
    QVERIFY(IsLogin);
    QCOMPARE(ApiUrl, m_server->url());
    QCOMPARE(UserInfo->UserFullName, QStringLiteral("Sarah Mitchell"));
    QCOMPARE(UserInfo->LangCode, QStringLiteral("en_US"));
    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals.first().className, QStringLiteral("TLoginFrm"));
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
    // the server keeps the session it handed out
    QCOMPARE(dbValue(QStringLiteral("SELECT COUNT(*) FROM sessions s JOIN users u ON u.user_id = s.owner_id"
                                    " WHERE s.kind = 'user' AND u.email = 'sarah@zelt.local'"))
                 .toInt(),
             1);
}

void tst_EndToEnd::sessionBuildsMenusAndLoadsModule()
{
    QVERIFY(IsLogin);
    m_window->show();
    m_window->startSession();
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));

    // the administrator's menus, as the server's tables give them
    for (int id : { 101, 102, 103 }) {
        Platform::SideBarItem *item = sideBarItem(id);
        QVERIFY2(item, qPrintable(QString::number(id)));
        const QString title =
            dbValue(QStringLiteral("SELECT title_en FROM menus WHERE menu_id = ?"), { id }).toString();
        QCOMPARE(item->caption(), title);
    }
    QCOMPARE(sideBarItem(101)->caption(), QStringLiteral("Customers"));
    QVERIFY(!m_window->sideBar()->itemButtons(sideBarItem(101)).isEmpty());

    // the crm plugin, loaded from the build's program folder
    auto &registry = Platform::ClassRegistry::instance();
    QVERIFY(registry.contains(ListClass));
    QVERIFY(registry.contains(EntryClass));
    TPackageList *packages = AppController->PackageList();
    QCOMPARE(packages->Count(), 2);
    const TAppPackage *crm = packages->Items(1);
    QCOMPARE(crm->PackageId, QStringLiteral("crm"));
    QCOMPARE(crm->PackageFile, QStringLiteral("crm.bpl"));
    QVERIFY(crm->IsLoad);
    QVERIFY(crm->HModule && crm->HModule->isLoaded());
    QCOMPARE(QFileInfo(crm->HModule->fileName()).canonicalFilePath(),
             QFileInfo(BinDir + TPackageList::LibraryFileName(crm->PackageFile)).canonicalFilePath());

    QCOMPARE(m_window->userLabel()->text(), QStringLiteral("Signed in as Sarah Mitchell"));
}

void tst_EndToEnd::customerListPagedAndSearched()
{
    Platform::SideBarItem *item = sideBarItem(101);
    QVERIFY(item);
    QTest::mouseClick(m_window->sideBar()->itemButtons(item).first(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(customerList(), Wait);
    auto *list = qobject_cast<TBaseChildFrm *>(customerList());
    QVERIFY(list);
    QVERIFY(list->isVisible());
    QCOMPARE(AppController->ActiveForm(), list);
    QCOMPARE(m_window->activeFormLabel()->text(), QStringLiteral("Customers"));
    const QList<QMdiSubWindow *> windows = m_window->mdiArea()->subWindowList();
    QVERIFY(std::any_of(windows.begin(), windows.end(), [&](QMdiSubWindow *w) { return w->widget() == list; }));

    // page 1 in the server's order, 20 rows
    QVERIFY(waitListLoaded());
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), dbCodes({}, {}, 1, 20), Wait);
    auto *records = control<QLabel>(list, "lblRecordCount");
    QCOMPARE(records->text(), QStringLiteral("Total : 600 records"));
    QCOMPARE(control<QLabel>(list, "lblPageCount")->text(), QStringLiteral("of 30"));

    // the next page
    QTest::mouseClick(control<QAbstractButton>(list, "btnNext"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), dbCodes({}, {}, 2, 20), Wait);
    QVERIFY(waitListLoaded());

    // a search, by a city the seeded data holds, starts at page 1 again
    const QString city = dbValue(QStringLiteral("SELECT city FROM customers ORDER BY partner_id LIMIT 1")).toString();
    QVERIFY(!city.isEmpty());
    const QString where = QStringLiteral("partner_code LIKE ? OR partner_name LIKE ? OR city LIKE ? OR email LIKE ?");
    const QString like = QStringLiteral("%") + city + QStringLiteral("%");
    const QVariantList pattern { like, like, like, like };
    const int matches = dbValue(QStringLiteral("SELECT COUNT(*) FROM customers WHERE ") + where, pattern).toInt();
    QVERIFY(matches > 0 && matches < 600);
    auto *search = control<QLineEdit>(list, "edtSearch");
    typeInto(search, city.toLower());
    QTest::keyClick(search, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), dbCodes(where, pattern, 1, 20), Wait);
    QCOMPARE(records->text(), QStringLiteral("Total : %1 records").arg(matches));

    // and a code finds its one customer
    const QString code = dbCodes({}, {}, 3, 20).at(7);
    typeInto(search, code);
    QTest::keyClick(search, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), QStringList { code }, Wait);
    QVERIFY(waitListLoaded());
    QCOMPARE(records->text(), QStringLiteral("Total : 1 records"));

    // a second click on the menu brings the same screen to the front
    QTest::mouseClick(m_window->sideBar()->itemButtons(sideBarItem(101)).first(), Qt::LeftButton);
    QCOMPARE(m_window->findChildren<TBaseChildFrm *>(QStringLiteral("CustomerListFrm")).size(), 1);
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
}

void tst_EndToEnd::customerAddedThenEdited()
{
    auto *list = qobject_cast<TBaseChildFrm *>(customerList());
    QVERIFY(list);
    QVERIFY(waitListLoaded());
    auto *actAdd = control<QAction>(list, "actAdd");
    QVERIFY(actAdd->isEnabled());

    const int added = runModal([&] { actAdd->trigger(); }, [&](QDialog &ADialog) {
        auto *entry = ADialog.findChild<TBaseChildFrm *>();
        QVERIFY(entry);
        QCOMPARE(entry->DataMode(), dmAdd);
        typeInto(control<QLineEdit>(&ADialog, "edtCode"), m_newCode);
        typeInto(control<QLineEdit>(&ADialog, "edtName"), QStringLiteral("PT Uji Ujung Ke Ujung"));
        typeInto(control<QLineEdit>(&ADialog, "edtIndustry"), QStringLiteral("Logistics"));
        QTest::keyClicks(control<QPlainTextEdit>(&ADialog, "memAddress"), QStringLiteral("Jl. Gatot Subroto 12"));
        typeInto(control<QLineEdit>(&ADialog, "edtCity"), QStringLiteral("  Semarang  "));
        typeInto(control<QLineEdit>(&ADialog, "edtPhone"), QStringLiteral("024-555-0101"));
        typeInto(control<QLineEdit>(&ADialog, "edtEmail"), QStringLiteral("info@ujung.co.id"));
        typeInto(control<QLineEdit>(&ADialog, "edtWebsite"), QStringLiteral("https://ujung.co.id"));
        QTest::mouseClick(control<QPushButton>(&ADialog, "btnSave"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !ADialog.isVisible(); }, Wait));
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(added, int(ModalResult::Ok));
    QCOMPARE(m_presenter->texts(), QStringList { Saved });

    const QSqlRecord row = dbRecord(QStringLiteral("SELECT * FROM customers WHERE partner_code = ?"), { m_newCode });
    QVERIFY(!row.isEmpty());
    const int partnerId = row.value(QStringLiteral("partner_id")).toInt();
    QCOMPARE(row.value(QStringLiteral("partner_name")).toString(), QStringLiteral("PT Uji Ujung Ke Ujung"));
    QCOMPARE(row.value(QStringLiteral("industry")).toString(), QStringLiteral("Logistics"));
    QCOMPARE(row.value(QStringLiteral("address")).toString(), QStringLiteral("Jl. Gatot Subroto 12"));
    QCOMPARE(row.value(QStringLiteral("city")).toString(), QStringLiteral("Semarang"));
    QCOMPARE(row.value(QStringLiteral("phone")).toString(), QStringLiteral("024-555-0101"));
    QCOMPARE(row.value(QStringLiteral("email")).toString(), QStringLiteral("info@ujung.co.id"));
    QCOMPARE(row.value(QStringLiteral("website")).toString(), QStringLiteral("https://ujung.co.id"));
    QCOMPARE(row.value(QStringLiteral("is_active")).toInt(), 1);
    QCOMPARE(row.value(QStringLiteral("updated_by")).toString(), QStringLiteral("sarah@zelt.local"));
    QCOMPARE(dbValue(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt(), 601);

    // find it in the list and edit it from there
    auto *search = control<QLineEdit>(list, "edtSearch");
    typeInto(search, m_newCode);
    QTest::keyClick(search, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), QStringList { m_newCode }, Wait);
    QVERIFY(waitListLoaded());
    m_presenter->clear();

    auto *actEdit = control<QAction>(list, "actEdit");
    QVERIFY(actEdit->isEnabled());
    const int edited = runModal([&] { actEdit->trigger(); }, [&](QDialog &ADialog) {
        auto *entry = ADialog.findChild<TBaseChildFrm *>();
        QVERIFY(entry);
        // the record comes from the server first
        QVERIFY(QTest::qWaitFor([&] { return entry->DataMode() == dmEdit; }, Wait));
        QCOMPARE(control<QLineEdit>(&ADialog, "edtCode")->text(), m_newCode);
        QCOMPARE(control<QLineEdit>(&ADialog, "edtName")->text(), QStringLiteral("PT Uji Ujung Ke Ujung"));
        QCOMPARE(control<QLineEdit>(&ADialog, "edtCity")->text(), QStringLiteral("Semarang"));
        auto *active = control<QCheckBox>(&ADialog, "chkActive");
        QVERIFY(active->isVisible());
        QVERIFY(active->isChecked());
        typeInto(control<QLineEdit>(&ADialog, "edtName"), QStringLiteral("PT Uji Ujung Ke Ujung Tbk"));
        typeInto(control<QLineEdit>(&ADialog, "edtCity"), QStringLiteral("Solo"));
        active->setFocus();
        QTest::keyClick(active, Qt::Key_Space);
        QVERIFY(!active->isChecked());
        QTest::mouseClick(control<QPushButton>(&ADialog, "btnSave"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !ADialog.isVisible(); }, Wait));
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(edited, int(ModalResult::Ok));
    QCOMPARE(m_presenter->texts(), QStringList { Saved });

    const QSqlRecord changed = dbRecord(QStringLiteral("SELECT * FROM customers WHERE partner_id = ?"), { partnerId });
    QCOMPARE(changed.value(QStringLiteral("partner_code")).toString(), m_newCode);
    QCOMPARE(changed.value(QStringLiteral("partner_name")).toString(), QStringLiteral("PT Uji Ujung Ke Ujung Tbk"));
    QCOMPARE(changed.value(QStringLiteral("city")).toString(), QStringLiteral("Solo"));
    QCOMPARE(changed.value(QStringLiteral("is_active")).toInt(), 0);
    // what was not touched stays
    QCOMPARE(changed.value(QStringLiteral("industry")).toString(), QStringLiteral("Logistics"));
    QCOMPARE(changed.value(QStringLiteral("email")).toString(), QStringLiteral("info@ujung.co.id"));
    QCOMPARE(dbValue(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt(), 601);

    // the list read its page again after the save
    QVERIFY(waitListLoaded());
    Platform::MemTable *table = listTable();
    QCOMPARE(table->recordCount(), 1);
    QCOMPARE(table->cell(0, table->fieldIndex(QStringLiteral("partner_name"))).toString(),
             QStringLiteral("PT Uji Ujung Ke Ujung Tbk"));
}

void tst_EndToEnd::refusedWriteNamesTheField()
{
    auto *list = qobject_cast<TBaseChildFrm *>(customerList());
    QVERIFY(list);
    QVERIFY(waitListLoaded());

    // the same code in other letters: the server refuses it
    const int result = runModal([&] { control<QAction>(list, "actAdd")->trigger(); }, [&](QDialog &ADialog) {
        typeInto(control<QLineEdit>(&ADialog, "edtCode"), m_newCode.toLower());
        typeInto(control<QLineEdit>(&ADialog, "edtName"), QStringLiteral("PT Kembar"));
        QTest::mouseClick(control<QPushButton>(&ADialog, "btnSave"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !m_presenter->messages.isEmpty(); }, Wait));
        // shown with the field's caption, not the server's member name
        QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Customer Code already exists") });
        QCOMPARE(m_presenter->messages.first().kind, Platform::MessageKind::Error);
        auto *entry = ADialog.findChild<TBaseChildFrm *>();
        QVERIFY(entry);
        QCOMPARE(entry->DataMode(), dmAdd);
        QVERIFY(ADialog.isVisible());
        QVERIFY(control<QPushButton>(&ADialog, "btnSave")->isEnabled());
        QCOMPARE(control<QLineEdit>(&ADialog, "edtName")->text(), QStringLiteral("PT Kembar"));

        // the user gives up: asked, and the typing is dropped
        m_presenter->queueAnswer(ModalResult::Yes);
        QTest::mouseClick(control<QPushButton>(&ADialog, "btnCancel"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !ADialog.isVisible(); }, Wait));
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(result, int(ModalResult::Cancel));
    QCOMPARE(m_presenter->texts(), (QStringList { QStringLiteral("Customer Code already exists"), NotSavedQuestion }));

    QCOMPARE(dbValue(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt(), 601);
    QCOMPARE(dbValue(QStringLiteral("SELECT COUNT(*) FROM customers WHERE partner_name = 'PT Kembar'")).toInt(), 0);
    const QVariant name =
        dbValue(QStringLiteral("SELECT partner_name FROM customers WHERE partner_code = ?"), { m_newCode });
    QCOMPARE(name.toString(), QStringLiteral("PT Uji Ujung Ke Ujung Tbk"));
}

void tst_EndToEnd::contactsAddedEditedDeleted()
{
    auto *list = qobject_cast<TBaseChildFrm *>(customerList());
    QVERIFY(list);
    QVERIFY(waitListLoaded());
    QCOMPARE(listCodes(), QStringList { m_newCode });
    const int partnerId =
        dbValue(QStringLiteral("SELECT partner_id FROM customers WHERE partner_code = ?"), { m_newCode }).toInt();
    QVERIFY(partnerId > 0);
    const QString contactsOf = QStringLiteral("SELECT COUNT(*) FROM contacts WHERE customer_id = ? AND is_del = 0");
    QCOMPARE(dbValue(contactsOf, { partnerId }).toInt(), 0);
    const QString indonesia =
        dbValue(QStringLiteral("SELECT country_name FROM countries WHERE country_id = 100")).toString();
    QVERIFY(!indonesia.isEmpty());

    int contactId = 0;
    QString stateName;
    // The contact list: waits for the customer's contacts and picks ours.
    const auto pickOurContact = [&](QDialog &ADialog) {
        auto *contacts = qobject_cast<TContactListFrm *>(&ADialog);
        QVERIFY(contacts);
        QVERIFY(QTest::qWaitFor([&] { return !contacts->IsLoading; }, Wait));
        Platform::MemTable *rows = contacts->tblData;
        const int idField = rows->fieldIndex(QStringLiteral("contact_id"));
        int row = -1;
        for (int r = 0; r < rows->recordCount(); ++r) {
            if (rows->cell(r, idField).toInt() == contactId)
                row = r;
        }
        QVERIFY2(row >= 0, qPrintable(QString::number(rows->recordCount())));
        const QModelIndex index = contacts->tvContact->model()->index(row, 1);
        QTest::mouseClick(contacts->tvContact->viewport(), Qt::LeftButton, {},
                          contacts->tvContact->visualRect(index).center());
        QCOMPARE(rows->value(QStringLiteral("contact_id")).toInt(), contactId);
        QTest::mouseClick(contacts->btnSave, Qt::LeftButton);
        QVERIFY(!contacts->isVisible());
    };

    const int result = runModal([&] { control<QAction>(list, "actEdit")->trigger(); }, [&](QDialog &ADialog) {
        auto *entry = ADialog.findChild<TBaseChildFrm *>();
        QVERIFY(entry);
        QVERIFY(QTest::qWaitFor([&] { return entry->DataMode() == dmEdit; }, Wait));
        auto *addContact = control<QPushButton>(&ADialog, "btnAddContact");
        auto *showContacts = control<QPushButton>(&ADialog, "btnContacts");
        QVERIFY(addContact->isVisible() && addContact->isEnabled());

        // a new contact: the customer's, type "Contact", active, Indonesia
        m_nestedModal = driving([&](QDialog &AContact) {
            auto *form = qobject_cast<TContactEntryFrm *>(&AContact);
            QVERIFY(form);
            QCOMPARE(form->DataMode, dmAdd);
            QCOMPARE(form->CustomerID, partnerId);
            QVERIFY(QTest::qWaitFor([&] { return form->cboCountry->currentText() == indonesia; }, Wait));
            QVERIFY(QTest::qWaitFor([&] { return form->tblState->recordCount() > 0; }, Wait));
            QVERIFY(form->rbContact->isChecked());
            QVERIFY(form->chkActive->isChecked());
            typeInto(form->edtName, QStringLiteral("Dewi Lestari"));
            typeInto(form->edtJobPosition, QStringLiteral("Purchasing Manager"));
            typeInto(form->edtStreet1, QStringLiteral("Jl. Pemuda 5"));
            typeInto(form->edtCity, QStringLiteral("Semarang"));
            typeInto(form->edtZip, QStringLiteral("50132"));
            typeInto(form->edtEmail, QStringLiteral("dewi@ujung.co.id"));
            typeInto(form->edtPhone, QStringLiteral("024-555-0102"));
            typeInto(form->edtMobile, QStringLiteral("0812-555-0102"));
            form->cboState->setFocus();
            QTest::keyClick(form->cboState, Qt::Key_Down);
            stateName = form->cboState->currentText();
            QVERIFY(!stateName.isEmpty());
            QTest::mouseClick(form->btnSave, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return !form->isVisible(); }, Wait));
        });
        QTest::mouseClick(addContact, Qt::LeftButton);
        QCOMPARE(m_presenter->texts(), QStringList { Saved });
        const QSqlRecord added = dbRecord(
            QStringLiteral("SELECT c.*, s.state_name FROM contacts c LEFT JOIN states s ON s.state_id = c.state_id"
                           " WHERE c.customer_id = ? AND c.is_del = 0"),
            { partnerId });
        QVERIFY(!added.isEmpty());
        contactId = added.value(QStringLiteral("contact_id")).toInt();
        QCOMPARE(added.value(QStringLiteral("contact_name")).toString(), QStringLiteral("Dewi Lestari"));
        QCOMPARE(added.value(QStringLiteral("job_position")).toString(), QStringLiteral("Purchasing Manager"));
        QCOMPARE(added.value(QStringLiteral("contact_type")).toInt(), 1);
        QCOMPARE(added.value(QStringLiteral("street1")).toString(), QStringLiteral("Jl. Pemuda 5"));
        QCOMPARE(added.value(QStringLiteral("city")).toString(), QStringLiteral("Semarang"));
        QCOMPARE(added.value(QStringLiteral("zip")).toString(), QStringLiteral("50132"));
        QCOMPARE(added.value(QStringLiteral("country_id")).toInt(), 100);
        QCOMPARE(added.value(QStringLiteral("state_name")).toString(), stateName);
        QCOMPARE(added.value(QStringLiteral("email")).toString(), QStringLiteral("dewi@ujung.co.id"));
        QCOMPARE(added.value(QStringLiteral("phone")).toString(), QStringLiteral("024-555-0102"));
        QCOMPARE(added.value(QStringLiteral("mobile")).toString(), QStringLiteral("0812-555-0102"));
        QCOMPARE(added.value(QStringLiteral("is_active")).toInt(), 1);
        QCOMPARE(added.value(QStringLiteral("updated_by")).toString(), QStringLiteral("sarah@zelt.local"));
        m_presenter->messages.clear();

        // picked from the customer's contacts and edited
        m_nestedModal = [&](QDialog &AForm) {
            if (qobject_cast<TContactListFrm *>(&AForm))
                return driving(pickOurContact)(AForm);
            return driving([&](QDialog &AContact) {
                auto *form = qobject_cast<TContactEntryFrm *>(&AContact);
                QVERIFY(form);
                QCOMPARE(form->ContactID, contactId);
                QVERIFY(form->btnDelete->isVisible());
                QVERIFY(QTest::qWaitFor([&] { return form->edtName->text() == QLatin1String("Dewi Lestari"); }, Wait));
                QCOMPARE(form->edtJobPosition->text(), QStringLiteral("Purchasing Manager"));
                QCOMPARE(form->edtCity->text(), QStringLiteral("Semarang"));
                QVERIFY(QTest::qWaitFor([&] { return form->cboState->currentText() == stateName; }, Wait));
                typeInto(form->edtJobPosition, QStringLiteral("Head of Purchasing"));
                typeInto(form->edtPhone, QStringLiteral("024-555-0199"));
                QTest::mouseClick(form->rbDeliveryAddress, Qt::LeftButton);
                QVERIFY(form->rbDeliveryAddress->isChecked());
                QTest::mouseClick(form->btnSave, Qt::LeftButton);
                QVERIFY(QTest::qWaitFor([&] { return !form->isVisible(); }, Wait));
            })(AForm);
        };
        QTest::mouseClick(showContacts, Qt::LeftButton);
        QCOMPARE(m_presenter->texts(), QStringList { Saved });
        const QSqlRecord edited =
            dbRecord(QStringLiteral("SELECT * FROM contacts WHERE contact_id = ?"), { contactId });
        QCOMPARE(edited.value(QStringLiteral("customer_id")).toInt(), partnerId);
        QCOMPARE(edited.value(QStringLiteral("contact_name")).toString(), QStringLiteral("Dewi Lestari"));
        QCOMPARE(edited.value(QStringLiteral("job_position")).toString(), QStringLiteral("Head of Purchasing"));
        QCOMPARE(edited.value(QStringLiteral("phone")).toString(), QStringLiteral("024-555-0199"));
        QCOMPARE(edited.value(QStringLiteral("contact_type")).toInt(), 3);
        // what was not touched stays
        QCOMPARE(edited.value(QStringLiteral("email")).toString(), QStringLiteral("dewi@ujung.co.id"));
        QCOMPARE(edited.value(QStringLiteral("mobile")).toString(), QStringLiteral("0812-555-0102"));
        QCOMPARE(edited.value(QStringLiteral("state_id")), added.value(QStringLiteral("state_id")));
        QCOMPARE(dbValue(contactsOf, { partnerId }).toInt(), 1);
        m_presenter->messages.clear();

        // picked again and deleted, after a question
        m_nestedModal = [&](QDialog &AForm) {
            if (qobject_cast<TContactListFrm *>(&AForm))
                return driving(pickOurContact)(AForm);
            return driving([&](QDialog &AContact) {
                auto *form = qobject_cast<TContactEntryFrm *>(&AContact);
                QVERIFY(form);
                QVERIFY(QTest::qWaitFor([&] { return form->edtName->text() == QLatin1String("Dewi Lestari"); }, Wait));
                QVERIFY(form->btnDelete->isVisible());
                m_presenter->queueAnswer(ModalResult::Yes);
                QTest::mouseClick(form->btnDelete, Qt::LeftButton);
                QVERIFY(QTest::qWaitFor([&] { return !form->isVisible(); }, Wait));
            })(AForm);
        };
        QTest::mouseClick(showContacts, Qt::LeftButton);
        QCOMPARE(m_presenter->texts(), (QStringList { QStringLiteral("Are you sure to delete this data?"),
                                                      QStringLiteral("Data has been deleted.") }));
        // kept, marked as deleted by the user
        const QSqlRecord deleted = dbRecord(
            QStringLiteral("SELECT c.is_del, c.date_del, u.email FROM contacts c LEFT JOIN users u"
                           " ON u.user_id = c.user_del WHERE c.contact_id = ?"),
            { contactId });
        QCOMPARE(deleted.value(QStringLiteral("is_del")).toInt(), 1);
        QVERIFY(!deleted.value(QStringLiteral("date_del")).toString().isEmpty());
        QCOMPARE(deleted.value(QStringLiteral("email")).toString(), QStringLiteral("sarah@zelt.local"));
        QCOMPARE(dbValue(contactsOf, { partnerId }).toInt(), 0);
        m_presenter->messages.clear();

        // nothing of the customer was changed: it closes without a question
        m_nestedModal = nullptr;
        QTest::mouseClick(control<QPushButton>(&ADialog, "btnCancel"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !ADialog.isVisible(); }, Wait));
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(result, int(ModalResult::Cancel));
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
    QStringList shown;
    for (const RecordingPresenter::Modal &modal : std::as_const(m_presenter->modals))
        shown.append(modal.className);
    const QString pick = QStringLiteral("TContactListFrm");
    const QString contact = QStringLiteral("TContactEntryFrm");
    // each nested dialog is recorded when it ends, the customer's last
    QCOMPARE(shown, (QStringList { contact, pick, contact, pick, contact, QStringLiteral("QDialog") }));
    QCOMPARE(m_presenter->modals.last().objectName, EntryClass);
}

void tst_EndToEnd::expiredTokenShowsSessionExpired()
{
    auto *list = qobject_cast<TBaseChildFrm *>(customerList());
    QVERIFY(list);
    QVERIFY(waitListLoaded());

    // Time passes: the session's end moves into the past. This is the one
    // write the test makes, through a connection of its own.
    {
        const QString name = QStringLiteral("tst_endtoend_clock");
        {
            QSqlDatabase clock = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            clock.setDatabaseName(m_dbPath);
            clock.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            QVERIFY2(clock.open(), qPrintable(clock.lastError().text()));
            QSqlQuery expire(clock);
            QVERIFY(expire.prepare(QStringLiteral("UPDATE sessions SET expires_at = ? WHERE kind = 'user'")));
            expire.addBindValue(QDateTime::currentMSecsSinceEpoch() - 1000);
            QVERIFY2(expire.exec(), qPrintable(expire.lastError().text()));
            QVERIFY(expire.numRowsAffected() >= 1);
            clock.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    control<QAction>(list, "actRefresh")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!m_presenter->messages.isEmpty(), Wait);
    QVERIFY(waitListLoaded());
    QTest::qWait(100);
    const QString expired = QStringLiteral("Unauthorized or session has expired, please re-login.");
    QCOMPARE(m_presenter->texts(), QStringList { expired });
    QCOMPARE(m_presenter->messages.first().kind, Platform::MessageKind::Error);
    // nothing else happens: the user is still signed in, the screen open
    QVERIFY(IsLogin);
    QVERIFY(customerList());
    QCOMPARE(m_presenter->modals.size(), 0);
}

void tst_EndToEnd::signOutUnloadsModule()
{
    QVERIFY(customerList());
    bool signInShown = false;
    // nobody signs in again
    m_presenter->modalScript = [&](QDialog &ADialog) -> int {
        signInShown = qobject_cast<TLoginFrm *>(&ADialog) != nullptr;
        return ModalResult::Cancel;
    };
    m_window->signOutAction()->trigger();

    QVERIFY(signInShown);
    QVERIFY(!IsLogin);
    QTRY_VERIFY_WITH_TIMEOUT(!customerList(), Wait);
    QVERIFY(m_window->mdiArea()->subWindowList().isEmpty());
    // the menus went, the host's first item stayed
    QCOMPARE(m_window->sideBar()->itemCount(), 1);
    QVERIFY(!sideBarItem(101));
    // the plugin was stopped and its screens are no longer known
    auto &registry = Platform::ClassRegistry::instance();
    QVERIFY(!registry.contains(ListClass));
    QVERIFY(!registry.contains(EntryClass));
    TPackageList *packages = AppController->PackageList();
    for (int i = 1; i < packages->Count(); ++i) {
        QVERIFY(!packages->Items(i)->IsLoad);
        QVERIFY(!packages->Items(i)->HModule);
    }
    QVERIFY(m_window->userLabel()->text().isEmpty());
    // with nobody signed in the window closes: the program ends
    QVERIFY(!m_window->isVisible());
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
