// The whole client, driven through its controls, against zelt-server on a fresh database; what the
// screens write is looked up in its SQLite file. The slots build on each other: one session.
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
#include "ScreenFixtures.h"
#include "SideBar.h"
#include "TempAppFolder.h"
#include "TestStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <memory>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace ModalResult = Platform::ModalResult;

namespace {

const QString BinDir = QStringLiteral(ZELT_BIN_DIR);
const QString DbConnection = QStringLiteral("tst_endtoend_readonly");
const QString ListClass = QStringLiteral("TCustomerListFrm");
const QString ListName = QStringLiteral("CustomerListFrm");
const QString EntryClass = QStringLiteral("TCustomerEntryFrm");
// Generous: the suite also runs under AddressSanitizer on two shared cores.
constexpr int Wait = 20000;
const QString Saved = QStringLiteral("Data has been saved.");

void typeInto(QLineEdit *AEdit, const QString &AText)
{
    AEdit->setFocus();
    AEdit->selectAll();
    QTest::keyClick(AEdit, Qt::Key_Delete);
    QTest::keyClicks(AEdit, AText);
}

void clickToClose(QDialog &ADialog, QAbstractButton *AButton)
{
    QTest::mouseClick(AButton, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !ADialog.isVisible(); }, Wait));
}

std::function<int(QDialog &)> driving(const std::function<void(QDialog &)> &ASteps)
{
    return [ASteps](QDialog &ADialog) {
        ADialog.show();
        ASteps(ADialog);
        return ADialog.isVisible() ? int(ModalResult::None) : ADialog.result();
    };
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void signInBuildsMenusAndLoadsModule();
    void customerListPagedAndSearched();
    void customerAddedEditedAndRefused();
    void contactsAddedEditedDeleted();
    void expiredTokenShowsSessionExpired();
    void signOutUnloadsModule();

private:
    QList<QSqlRecord> dbRows(const QString &ASql, const QVariantList &AValues = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(DbConnection));
        query.prepare(ASql);
        for (const QVariant &v : AValues)
            query.addBindValue(v);
        if (!query.exec())
            qFatal("cannot run %s: %s", qPrintable(ASql), qPrintable(query.lastError().text()));
        QList<QSqlRecord> rows;
        while (query.next())
            rows.append(query.record());
        return rows;
    }
    QSqlRecord dbRecord(const QString &ASql, const QVariantList &AArgs = {}) const
    {
        return dbRows(ASql, AArgs).value(0);
    }
    QStringList dbCodes(int APage) const
    {
        QStringList codes;
        for (const QSqlRecord &row : dbRows(QStringLiteral("SELECT partner_code FROM customers"
                                                           " ORDER BY lower(partner_code) LIMIT 20 OFFSET ?"),
                                            { (APage - 1) * 20 }))
            codes.append(row.value(0).toString());
        return codes;
    }
    // Runs ASteps on the modal screen the list's action AAction brings up; dialogs it opens in turn
    // go to m_nestedModal.
    int runModal(const char *AAction, const std::function<void(QDialog &)> &ASteps)
    {
        bool inside = false;
        m_presenter->modalScript = [&](QDialog &ADialog) {
            if (inside)
                return m_nestedModal ? m_nestedModal(ADialog) : int(ModalResult::Cancel);
            inside = true;
            return driving(ASteps)(ADialog);
        };
        const int modals = int(m_presenter->modals.size());
        control<QAction>(customerList(), AAction)->trigger();
        m_presenter->modalScript = nullptr;
        m_nestedModal = nullptr; // the outer dialog is recorded last, when it ends
        return m_presenter->modals.size() > modals ? m_presenter->modals.last().result : int(ModalResult::None);
    }
    // Picks contact AContactId from the contact list, then runs ASteps on the contact form.
    std::function<int(QDialog &)> pickContactThen(const int &AContactId,
                                                  const std::function<void(TContactEntryFrm &)> &ASteps)
    {
        return [&AContactId, ASteps](QDialog &AForm) {
            if (auto *contacts = qobject_cast<TContactListFrm *>(&AForm)) {
                return driving([&](QDialog &) {
                    QVERIFY(QTest::qWaitFor([&] { return !contacts->IsLoading; }, Wait));
                    Platform::MemTable *rows = contacts->tblData;
                    const int idField = rows->fieldIndex(QStringLiteral("contact_id"));
                    int row = rows->recordCount() - 1;
                    while (row >= 0 && rows->cell(row, idField).toInt() != AContactId)
                        --row;
                    QVERIFY2(row >= 0, qPrintable(QString::number(rows->recordCount())));
                    const QRect cell = contacts->tvContact->visualRect(contacts->tvContact->model()->index(row, 1));
                    QTest::mouseClick(contacts->tvContact->viewport(), Qt::LeftButton, {}, cell.center());
                    QTest::mouseClick(contacts->btnSave, Qt::LeftButton);
                })(AForm);
            }
            return driving([&](QDialog &ADialog) {
                auto *form = qobject_cast<TContactEntryFrm *>(&ADialog);
                QVERIFY(form && form->ContactID == AContactId);
                QVERIFY(QTest::qWaitFor([&] { return form->edtName->text() == QLatin1String("Dewi Lestari"); }, Wait));
                QVERIFY(form->btnDelete->isVisible());
                ASteps(*form);
                QVERIFY(QTest::qWaitFor([&] { return !form->isVisible(); }, Wait));
            })(AForm);
        };
    }
    void search(const QString &AText)
    {
        auto *edit = control<QLineEdit>(customerList(), "edtSearch");
        typeInto(edit, AText);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    TBaseChildFrm *customerList() const { return m_window->findChild<TBaseChildFrm *>(ListName); }
    QStringList listCodes() const
    {
        QStringList codes;
        auto *table =
            customerList() ? customerList()->findChild<Platform::MemTable *>(QStringLiteral("mtCustomers")) : nullptr;
        for (int row = 0; table && row < table->recordCount(); ++row)
            codes.append(table->cell(row, table->fieldIndex(QStringLiteral("partner_code"))).toString());
        return codes;
    }
    // Waits until the list's latest read has ended (dmCustom1: read running).
    bool waitListLoaded() const
    {
        return customerList() && QTest::qWaitFor([&] { return customerList()->DataMode() != dmCustom1; }, Wait);
    }
    QTemporaryDir m_serverDir;
    QProcess m_server; // killed with the test process should that die first
    QString m_url;
    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<MainWindow> m_window;
    RecordingPresenter *m_presenter = nullptr;
    std::function<int(QDialog &)> m_nestedModal;
    std::unique_ptr<TestStore> m_store;
    const QString m_newCode = QStringLiteral("E2E-0001");
};

void tst_EndToEnd::initTestCase()
{
    QVERIFY(m_serverDir.isValid());
    // an SQLite file, or a PostgreSQL database for tst_endtoend_pg
    m_store = std::make_unique<TestStore>(m_serverDir.path(), QStringLiteral("zelt-server.db"));
    if (TestStore::wantsPostgres() && qEnvironmentVariableIsEmpty("ZELT_TEST_PG_URL"))
        QSKIP(qPrintable(m_store->error()));
    QVERIFY2(!m_store->location().isEmpty(), qPrintable(m_store->error()));
#ifdef Q_OS_LINUX
    m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
    m_server.start(BinDir + QStringLiteral("zelt-server"),
                   { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"), m_store->location(),
                     QStringLiteral("--files"), m_serverDir.filePath(QStringLiteral("f")), QStringLiteral("--quiet") });
    QVERIFY2(m_server.waitForStarted(Wait), qPrintable(m_server.errorString()));
    static const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+)"));
    QByteArray said;
    for (int i = 0; i < 300 && m_url.isEmpty() && m_server.state() == QProcess::Running; ++i) {
        m_server.waitForReadyRead(200);
        said += m_server.readAllStandardOutput();
        m_url = listening.match(QString::fromUtf8(said)).captured(1);
    }
    QVERIFY2(!m_url.isEmpty(), said.constData());
    QSqlDatabase db = m_store->connect(DbConnection, true);
    QVERIFY2(db.isOpen(), qPrintable(db.lastError().text()));
    QCOMPARE(dbRecord(QStringLiteral("SELECT COUNT(*) FROM customers")).value(0).toInt(), 600);
    m_folder = std::make_unique<TempAppFolder>();
    m_folder->write(QStringLiteral("app.conf"),
                    "[AppConfig]\nCustKey=ZELT-DEMO-0001\nSecretKey=demo-secret-0001\n"
                    "Mode=dev\n\n[URL]\nApiURL="
                        + m_url.toUtf8() + "\n");
    for (const char *file : { "lang.ini", "updates.json" }) {
        QFile shipped(BinDir + QLatin1String(file));
        QVERIFY2(shipped.open(QIODevice::ReadOnly), file);
        m_folder->write(QLatin1String(file), shipped.readAll());
    }
    const QString crmLibrary = TPackageList::LibraryFileName(QStringLiteral("crm.bpl"));
    QVERIFY(QFile::link(BinDir + crmLibrary, m_folder->filePath(crmLibrary)));
    Platform::setApplicationFolder(m_folder->path());
    m_presenter = RecordingPresenter::install();
    TLoginFrm::SetFullScreen(false);
    LoadVars();
    m_window = std::make_unique<MainWindow>();
    AppController = new TAppController();
    AppController->Init();
    m_window->attach(AppController);
}

void tst_EndToEnd::cleanupTestCase()
{
    delete AppController;
    AppController = nullptr;
    m_window.reset();
    UnloadVars();
    Platform::setDialogPresenter(nullptr);
    QSqlDatabase::database(DbConnection, false).close();
    QSqlDatabase::removeDatabase(DbConnection);
    m_server.kill();
    m_server.waitForFinished();
    m_store.reset();
}

void tst_EndToEnd::init()
{
    m_presenter->clear();
    m_presenter->modalScript = nullptr;
}

void tst_EndToEnd::signInBuildsMenusAndLoadsModule()
{
    QString customerShown, refusal;
    m_presenter->modalScript = driving([&](QDialog &ADialog) {
        auto *form = qobject_cast<TLoginFrm *>(&ADialog);
        QVERIFY(form);
        QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsReady; }, Wait));
        customerShown = form->lblCustrName->text();
        typeInto(form->edtEmail, QStringLiteral("sarah@zelt.local"));
        typeInto(form->edtPass, QStringLiteral("wrong password"));
        QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor(
            [&] { return form->State() == TLoginState::lsReady && !form->lblMessage->text().isEmpty(); }, Wait));
        refusal = form->lblMessage->text();
        typeInto(form->edtPass, QStringLiteral("Demo#2024"));
        QTest::mouseClick(form->btnSignIn, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return form->State() == TLoginState::lsDone; }, Wait));
    });
    QVERIFY(AppController->SignIn());
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(customerShown, QStringLiteral("PT Zelt Demo Indonesia"));
    QCOMPARE(refusal, QStringLiteral("Invalid email or password."));
    QVERIFY(IsLogin);
    QCOMPARE(ApiUrl, m_url);
    m_window->show();
    m_window->startSession();
    QStringList captions;
    for (Platform::SideBarItem *item : m_window->sideBar()->items()) {
        if (item->index() > 0)
            captions.append(item->caption());
    }
    const QList<QSqlRecord> menus = dbRows(QStringLiteral("SELECT title_en FROM menus WHERE menu_id IN (101,102,103)"));
    QCOMPARE(menus.size(), 3);
    for (const QSqlRecord &menu : menus)
        QVERIFY2(captions.contains(menu.value(0).toString()), qPrintable(captions.join(QLatin1Char('|'))));
    auto &registry = Platform::ClassRegistry::instance();
    QVERIFY(registry.contains(ListClass) && registry.contains(EntryClass));
    const TAppPackage *crm = AppController->PackageList()->Items(1);
    QVERIFY(crm->IsLoad && crm->HModule && crm->HModule->isLoaded());
    QCOMPARE(QFileInfo(crm->HModule->fileName()).canonicalFilePath(),
             QFileInfo(BinDir + TPackageList::LibraryFileName(crm->PackageFile)).canonicalFilePath());
    QCOMPARE(m_window->userLabel()->text(), QStringLiteral("Signed in as Sarah Mitchell"));
}

void tst_EndToEnd::customerListPagedAndSearched()
{
    Platform::SideBarItem *customers = nullptr;
    for (Platform::SideBarItem *item : m_window->sideBar()->items())
        customers = item->index() > 0 && item->tag() == 101 ? item : customers;
    QTest::mouseClick(m_window->sideBar()->itemButtons(customers).first(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(customerList(), Wait);
    TBaseChildFrm *list = customerList();
    QCOMPARE(AppController->ActiveForm(), list);
    QVERIFY(waitListLoaded());
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), dbCodes(1), Wait);
    auto *records = control<QLabel>(list, "lblRecordCount");
    QCOMPARE(records->text(), QStringLiteral("Total : 600 records"));
    QCOMPARE(control<QLabel>(list, "lblPageCount")->text(), QStringLiteral("of 30"));
    QTest::mouseClick(control<QAbstractButton>(list, "btnNext"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), dbCodes(2), Wait);
    QVERIFY(waitListLoaded());
    // a search by a code of page 3, in small letters, finds its one customer
    const QString code = dbCodes(3).at(7);
    search(code.toLower());
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), QStringList { code }, Wait);
    QVERIFY(waitListLoaded());
    QCOMPARE(records->text(), QStringLiteral("Total : 1 records"));
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
}

void tst_EndToEnd::customerAddedEditedAndRefused()
{
    QVERIFY(waitListLoaded());
    const int added = runModal("actAdd", [&](QDialog &ADialog) {
        QCOMPARE(ADialog.findChild<TBaseChildFrm *>()->DataMode(), dmAdd);
        typeInto(control<QLineEdit>(&ADialog, "edtCode"), m_newCode);
        typeInto(control<QLineEdit>(&ADialog, "edtName"), QStringLiteral("PT Uji Ujung Ke Ujung"));
        typeInto(control<QLineEdit>(&ADialog, "edtCity"), QStringLiteral("  Semarang  "));
        typeInto(control<QLineEdit>(&ADialog, "edtEmail"), QStringLiteral("info@ujung.co.id"));
        clickToClose(ADialog, control<QPushButton>(&ADialog, "btnSave"));
    });
    QCOMPARE(added, int(ModalResult::Ok));
    QCOMPARE(m_presenter->texts(), QStringList { Saved });
    const QString byCode = QStringLiteral("SELECT * FROM customers WHERE partner_code = ?");
    QSqlRecord row = dbRecord(byCode, { m_newCode });
    QCOMPARE(row.value(QStringLiteral("partner_name")).toString(), QStringLiteral("PT Uji Ujung Ke Ujung"));
    QCOMPARE(row.value(QStringLiteral("city")).toString(), QStringLiteral("Semarang"));
    QCOMPARE(row.value(QStringLiteral("updated_by")).toString(), QStringLiteral("sarah@zelt.local"));
    search(m_newCode);
    QTRY_COMPARE_WITH_TIMEOUT(listCodes(), QStringList { m_newCode }, Wait);
    QVERIFY(waitListLoaded());
    m_presenter->clear();
    const int edited = runModal("actEdit", [&](QDialog &ADialog) {
        QVERIFY(QTest::qWaitFor([&] { return ADialog.findChild<TBaseChildFrm *>()->DataMode() == dmEdit; }, Wait));
        QCOMPARE(control<QLineEdit>(&ADialog, "edtCity")->text(), QStringLiteral("Semarang"));
        auto *active = control<QCheckBox>(&ADialog, "chkActive");
        QVERIFY(active->isChecked());
        typeInto(control<QLineEdit>(&ADialog, "edtName"), QStringLiteral("PT Uji Ujung Ke Ujung Tbk"));
        active->setFocus();
        QTest::keyClick(active, Qt::Key_Space);
        clickToClose(ADialog, control<QPushButton>(&ADialog, "btnSave"));
    });
    QCOMPARE(edited, int(ModalResult::Ok));
    QCOMPARE(m_presenter->texts(), QStringList { Saved });
    row = dbRecord(byCode, { m_newCode });
    QCOMPARE(row.value(QStringLiteral("partner_name")).toString(), QStringLiteral("PT Uji Ujung Ke Ujung Tbk"));
    QCOMPARE(row.value(QStringLiteral("is_active")).toInt(), 0);
    QCOMPARE(row.value(QStringLiteral("email")).toString(), QStringLiteral("info@ujung.co.id"));
    QCOMPARE(dbRecord(QStringLiteral("SELECT COUNT(*) FROM customers")).value(0).toInt(), 601);
    // the same code in other letters: refused, shown with the field's caption; the user gives up
    QVERIFY(waitListLoaded());
    m_presenter->clear();
    const QString exists = QStringLiteral("Customer Code already exists");
    const int refused = runModal("actAdd", [&](QDialog &ADialog) {
        typeInto(control<QLineEdit>(&ADialog, "edtCode"), m_newCode.toLower());
        typeInto(control<QLineEdit>(&ADialog, "edtName"), QStringLiteral("PT Kembar"));
        QTest::mouseClick(control<QPushButton>(&ADialog, "btnSave"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !m_presenter->messages.isEmpty(); }, Wait));
        QCOMPARE(m_presenter->texts(), QStringList { exists });
        QCOMPARE(m_presenter->messages.first().kind, Platform::MessageKind::Error);
        QVERIFY(ADialog.isVisible());
        m_presenter->queueAnswer(ModalResult::Yes);
        clickToClose(ADialog, control<QPushButton>(&ADialog, "btnCancel"));
    });
    QCOMPARE(refused, int(ModalResult::Cancel));
    QCOMPARE(m_presenter->texts(), (QStringList { exists, QStringLiteral("Data has not been saved. Close anyway?") }));
    QCOMPARE(dbRecord(QStringLiteral("SELECT COUNT(*) FROM customers")).value(0).toInt(), 601);
}

void tst_EndToEnd::contactsAddedEditedDeleted()
{
    QVERIFY(waitListLoaded());
    QCOMPARE(listCodes(), QStringList { m_newCode });
    const QString byCode = QStringLiteral("SELECT partner_id FROM customers WHERE partner_code = ?");
    const int partnerId = dbRecord(byCode, { m_newCode }).value(0).toInt();
    const QString contactById = QStringLiteral("SELECT * FROM contacts WHERE contact_id = ?");
    int contactId = 0;
    const int result = runModal("actEdit", [&](QDialog &ADialog) {
        QVERIFY(QTest::qWaitFor([&] { return ADialog.findChild<TBaseChildFrm *>()->DataMode() == dmEdit; }, Wait));
        // Opens the contacts with AButton, then checks what was said.
        const auto contacts = [&](const char *AButton, const QStringList &ATexts) {
            QTest::mouseClick(control<QPushButton>(&ADialog, AButton), Qt::LeftButton);
            QCOMPARE(m_presenter->texts(), ATexts);
            m_presenter->messages.clear();
        };
        m_nestedModal = driving([&](QDialog &AContact) {
            auto *form = qobject_cast<TContactEntryFrm *>(&AContact);
            QVERIFY(form);
            QVERIFY(QTest::qWaitFor([&] { return form->tblState->recordCount() > 0; }, Wait));
            typeInto(form->edtName, QStringLiteral("Dewi Lestari"));
            typeInto(form->edtEmail, QStringLiteral("dewi@ujung.co.id"));
            form->cboState->setFocus();
            QTest::keyClick(form->cboState, Qt::Key_Down);
            clickToClose(AContact, form->btnSave);
        });
        contacts("btnAddContact", { Saved });
        QSqlRecord row = dbRecord(QStringLiteral("SELECT * FROM contacts WHERE customer_id = ?"), { partnerId });
        contactId = row.value(QStringLiteral("contact_id")).toInt();
        QCOMPARE(row.value(QStringLiteral("contact_name")).toString(), QStringLiteral("Dewi Lestari"));
        QCOMPARE(row.value(QStringLiteral("contact_type")).toInt(), 1);
        QCOMPARE(row.value(QStringLiteral("country_id")).toInt(), 100);
        QVERIFY(row.value(QStringLiteral("state_id")).toInt() > 0);
        m_nestedModal = pickContactThen(contactId, [](TContactEntryFrm &AForm) {
            typeInto(AForm.edtPhone, QStringLiteral("024-555-0199"));
            QTest::mouseClick(AForm.rbDeliveryAddress, Qt::LeftButton);
            QTest::mouseClick(AForm.btnSave, Qt::LeftButton);
        });
        contacts("btnContacts", { Saved });
        row = dbRecord(contactById, { contactId });
        QCOMPARE(row.value(QStringLiteral("phone")).toString(), QStringLiteral("024-555-0199"));
        QCOMPARE(row.value(QStringLiteral("contact_type")).toInt(), 3);
        QCOMPARE(row.value(QStringLiteral("email")).toString(), QStringLiteral("dewi@ujung.co.id"));
        m_nestedModal = pickContactThen(contactId, [this](TContactEntryFrm &AForm) {
            m_presenter->queueAnswer(ModalResult::Yes);
            QTest::mouseClick(AForm.btnDelete, Qt::LeftButton);
        });
        contacts("btnContacts",
                 { QStringLiteral("Are you sure to delete this data?"), QStringLiteral("Data has been deleted.") });
        QCOMPARE(dbRecord(contactById, { contactId }).value(QStringLiteral("is_del")).toInt(), 1);
        // nothing of the customer was changed: it closes without a question
        m_nestedModal = nullptr;
        clickToClose(ADialog, control<QPushButton>(&ADialog, "btnCancel"));
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(result, int(ModalResult::Cancel));
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
}

void tst_EndToEnd::expiredTokenShowsSessionExpired()
{
    QVERIFY(waitListLoaded());
    // Time passes: the session's end moves into the past; the one write the test makes.
    {
        QSqlDatabase clock = m_store->connect(QStringLiteral("clock"));
        QVERIFY2(clock.isOpen(), qPrintable(clock.lastError().text()));
        QSqlQuery expire(clock);
        QVERIFY(expire.exec(QStringLiteral("UPDATE sessions SET expires_at = %1 WHERE kind = 'user'")
                                .arg(QDateTime::currentMSecsSinceEpoch() - 1000)));
        QVERIFY(expire.numRowsAffected() >= 1);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("clock"));
    control<QAction>(customerList(), "actRefresh")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!m_presenter->messages.isEmpty(), Wait);
    QVERIFY(waitListLoaded());
    QTest::qWait(100);
    QCOMPARE(m_presenter->texts(),
             QStringList { QStringLiteral("Unauthorized or session has expired, please re-login.") });
    QVERIFY(IsLogin && customerList());
    QCOMPARE(m_presenter->modals.size(), 0);
}

void tst_EndToEnd::signOutUnloadsModule()
{
    bool signInShown = false;
    m_presenter->modalScript = [&](QDialog &ADialog) -> int {
        signInShown = qobject_cast<TLoginFrm *>(&ADialog) != nullptr;
        return ModalResult::Cancel;
    };
    m_window->signOutAction()->trigger();
    QVERIFY(signInShown);
    QVERIFY(!IsLogin);
    QTRY_VERIFY_WITH_TIMEOUT(!customerList(), Wait);
    QCOMPARE(m_window->sideBar()->itemCount(), 1);
    auto &registry = Platform::ClassRegistry::instance();
    QVERIFY(!registry.contains(ListClass) && !registry.contains(EntryClass));
    TPackageList *packages = AppController->PackageList();
    for (int i = 1; i < packages->Count(); ++i)
        QVERIFY(!packages->Items(i)->IsLoad && !packages->Items(i)->HModule);
    QVERIFY(!m_window->isVisible());
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
