// The customer screens of the CRM module, created by class name from the loaded plugin and driven
// through their controls against a recording server.
#include "AppPaths.h"
#include "BaseChildFrmU.h"
#include "BrowseDlgU.h"
#include "ClassRegistry.h"
#include "ComDmU.h"
#include "EmpListFrmU.h"
#include "Localizer.h"
#include "MemTable.h"
#include "MenuListU.h"
#include "PackageListU.h"
#include "PdfText.h"
#include "RecordingPresenter.h"
#include "RestScreenFixture.h"
#include "ScreenFixtures.h"
#include "Report.h"
#include "TestHttpServer.h"
#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QStandardPaths>
#include <QToolButton>
#include <QAbstractProxyModel>
#include <QtTest>
#include <ctime>
#include <functional>
#include <memory>

namespace ModalResult = Platform::ModalResult;

namespace {

const QString ListClass = QStringLiteral("TCustomerListFrm");
const QString EntryClass = QStringLiteral("TCustomerEntryFrm");
const QString CustomersPath = QStringLiteral("/crm/v1/master/customers");
const QByteArray Token = "crm-test-token";

std::unique_ptr<TBaseChildFrm> createScreen(const QString &AClassName)
{
    return std::unique_ptr<TBaseChildFrm>(
        qobject_cast<TBaseChildFrm *>(Platform::ClassRegistry::instance().get(AClassName).create(nullptr)));
}

QJsonObject customer(int AId)
{
    auto text = [AId](const char *AFormat) { return QString::fromLatin1(AFormat).arg(AId); };
    return QJsonObject { { "partner_id", AId },
                         { "partner_code", QStringLiteral("C%1").arg(AId, 4, 10, QChar('0')) },
                         { "partner_name", text("Customer %1") },
                         { "industry", "Retail" },
                         { "address", text("Jl. Sudirman %1") },
                         { "city", "Jakarta" },
                         { "phone", text("021-555-%1") },
                         { "email", text("c%1@example.co.id") },
                         { "website", text("https://c%1.example.co.id") },
                         { "is_active", AId % 10 != 0 },
                         { "updated_at", "2024-06-01T10:00:00" },
                         { "updated_by", "sarah@zelt.local" } };
}

// One page of ACount customers (ids from 1), cut as the server cuts it.
Reply customerPage(const RecordedRequest &ARequest, int ACount)
{
    const int page = qMax(1, ARequest.queryValue(QStringLiteral("page")).toInt());
    const int rows = qMax(1, ARequest.queryValue(QStringLiteral("page_rows")).toInt());
    QJsonArray data;
    for (int id = (page - 1) * rows + 1; id <= qMin(ACount, page * rows); ++id)
        data.append(customer(id));
    const QJsonObject pages {
        { "page", page }, { "page_rows", rows }, { "page_count", (ACount + rows - 1) / rows }, { "rec_count", ACount }
    };
    return Reply::json(QJsonDocument(QJsonObject { { "data", data }, { "pages", pages } }).toJson());
}

// The detail carries more than the entry screen edits.
Reply detailReply(int AId, const QJsonArray &AContacts = { QJsonObject { { "contact_id", 7 } } })
{
    QJsonObject record = customer(AId);
    record.insert(QStringLiteral("contacts"), AContacts);
    return Reply::json(QJsonDocument(QJsonObject { { "data", record } }).toJson(QJsonDocument::Compact));
}

// The query of a list request as sorted name=value pairs.
QString queryOf(const RecordedRequest &ARequest)
{
    QStringList items;
    for (const auto &item : ARequest.queryItems)
        items.append(item.first + QLatin1Char('=') + item.second);
    items.sort();
    return items.join(QLatin1Char('&'));
}

Platform::MemTable *tableOf(const TBaseChildFrm &AForm)
{
    // the grid shows the table through a read-only proxy
    auto *proxy = qobject_cast<QAbstractProxyModel *>(control<QTableView>(&AForm, "tvData")->model());
    return proxy ? qobject_cast<Platform::MemTable *>(proxy->sourceModel()) : nullptr;
}

void typeInto(const TBaseChildFrm &AForm, const char *AName, const QString &AText)
{
    auto *edit = control<QLineEdit>(&AForm, AName);
    edit->selectAll();
    QTest::keyClicks(edit, AText);
}

int whenReady(QDialog &ADialog, const std::function<bool()> &AReady, const std::function<void()> &AThen)
{
    ADialog.show();
    if (!QTest::qWaitFor(AReady, 5000))
        return ModalResult::Cancel;
    AThen();
    return ADialog.result();
}

// The wait dialog as the application sets it up: shown after a delay over a
// main window it then disables. Counts the times its window was shown.
class DelayedWaitDlg : public QObject
{
public:
    explicit DelayedWaitDlg(int ADelayMs)
    {
        main.show();
        WaitDlg = new TWaitDlg;
        WaitDlg->SetMainForm(&main);
        WaitDlg->SetShowDelay(ADelayMs);
        WaitDlgFrmOf(WaitDlg)->installEventFilter(this);
    }
    ~DelayedWaitDlg() override
    {
        delete WaitDlg;
        WaitDlg = nullptr;
    }
    bool eventFilter(QObject *, QEvent *AEvent) override
    {
        showings += AEvent->type() == QEvent::Show;
        return false;
    }
    QWidget main;
    int showings = 0;
};

} // namespace

class tst_CustomerScreens : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void listPagesAndSearches();
    void updateTimesShowInTheUsersTimeZone();
    void overtakenReadLosesNoCurrentRow_data();
    void overtakenReadLosesNoCurrentRow();
    void quickListReadsShowNoWaitDialog();
    void slowListReadShowsCancelThatEmptiesTheList();
    void findBrowsesCustomersAndOpensThePickedOne();
    void addPostsTheTypedCustomerAfterARefusal();
    void editLoadsRecordAndPatchesIt();
    void saveKeepsLongerTextsThanTheEditsTake();
    void printPreviewsTheCustomerCard();
    void cardPrintsEveryContact_data();
    void cardPrintsEveryContact();
    void cardPrintsALongContactWhole();

private:
    // The card of customer 42 with these contacts, prepared by its entry
    // screen (returned, as the card's rows are its); null when that failed.
    std::unique_ptr<TBaseChildFrm> cardOf(const QJsonArray &AContacts, Platform::Report &ACard)
    {
        m_server->setHandler([AContacts](const RecordedRequest &) { return detailReply(42, AContacts); });
        auto form = createScreen(EntryClass);
        bool prepared = false;
        if (!QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 42))
            || !QTest::qWaitFor([&] { return form->DataMode() == dmEdit; })
            || !QMetaObject::invokeMethod(form.get(), "PrepareCustomerCard", Q_RETURN_ARG(bool, prepared),
                                          Q_ARG(Platform::Report *, &ACard), Q_ARG(QString, QStringLiteral("Sarah")))
            || !prepared)
            return nullptr;
        return form;
    }
    std::unique_ptr<TBaseChildFrm> openList()
    {
        auto form = createScreen(ListClass);
        form->Data = &m_menu;
        form->setWindowTitle(m_menu.MenuTitle);
        form->show();
        return form;
    }
    // Searches (a "q" of some text) find three customers, other reads page through all of them.
    void serveCustomers(int ASearchDelayMs = 0, int APageDelayMs = 0)
    {
        m_server->setHandler([=](const RecordedRequest &ARequest) {
            if (ARequest.path != CustomersPath)
                return detailReply(ARequest.path.section(QLatin1Char('/'), -1).toInt());
            const bool search = !ARequest.queryValue(QStringLiteral("q")).isEmpty();
            Reply reply = customerPage(ARequest, search ? 3 : 45);
            reply.delayMs = search ? ASearchDelayMs : APageDelayMs;
            return reply;
        });
    }
    // Closing an entry screen aborts its read, which may not have gone out
    // yet: like a user, close it only once the record was asked for.
    int cancelOnceAsked(const QString &APath) const
    {
        // a read that never came shows up in the caller's own checks
        if (!QTest::qWaitFor([&] { return !m_server->requestsTo("GET", APath).isEmpty(); }, 5000))
            qWarning() << "the entry screen never asked for" << APath;
        return ModalResult::Cancel;
    }
    // Shows AForm modally, runs ASteps, clicks Save; returns the result (None when still open).
    int saveModal(TBaseChildFrm *AForm, const std::function<void()> &ASteps)
    {
        m_presenter->modalScript = [&](QDialog &ADialog) {
            ADialog.show();
            ASteps();
            control<QPushButton>(AForm, "btnSave")->click();
            const bool closed = QTest::qWaitFor([&] { return !ADialog.isVisible(); }, 5000);
            return closed ? ADialog.result() : int(ModalResult::None);
        };
        const int result = AForm->ShowModal();
        m_presenter->modalScript = nullptr;
        return result;
    }
    RecordingPresenter *m_presenter = nullptr;
    std::unique_ptr<TestHttpServer> m_server;
    TPackageList m_packages;
    TMenuData m_menu;
};

void tst_CustomerScreens::initTestCase()
{
    m_presenter = RecordingPresenter::install();
    Platform::setApplicationFolder(QStringLiteral(CRM_PLUGIN_DIR));
    m_packages.LoadPackageData(QJsonArray { QJsonObject { { "package_id", "crm" }, { "package_file", "crm.bpl" } } });
    m_server = std::make_unique<TestHttpServer>();
    RestClient = new TZeltRestClient(m_server->url(), 2000, 2000);
    RestClient->SetHeaderData(QString::fromLatin1(Token), QStringLiteral("refresh"), QStringLiteral("en_US"));
    QVERIFY(Platform::ClassRegistry::instance().contains(EntryClass));
    m_menu.MenuId = 101;
    m_menu.MenuTitle = QStringLiteral("Customers");
    m_menu.FormClass = ListClass;
}

void tst_CustomerScreens::cleanupTestCase()
{
    delete RestClient;
    RestClient = nullptr;
    m_server.reset();
    m_packages.UnloadPackageData();
    QVERIFY(!Platform::ClassRegistry::instance().contains(ListClass));
}

void tst_CustomerScreens::init()
{
    m_presenter->clear();
    m_presenter->modalScript = nullptr;
    m_server->setHandler({});
    m_server->clear();
}

void tst_CustomerScreens::listPagesAndSearches()
{
    serveCustomers();
    auto form = openList();
    Platform::MemTable *table = tableOf(*form);
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(table->recordCount(), 20);
    QCOMPARE(queryOf(m_server->lastRequest()), QStringLiteral("mode=list&page=1&page_rows=20&q=&status=0"));
    QCOMPARE(m_server->lastRequest().header("Authorization"), QByteArray("Bearer ") + Token);
    QCOMPARE(control<QLabel>(form.get(), "lblPageCount")->text(), QStringLiteral("of 3"));
    control<QToolButton>(form.get(), "btnLast")->click();
    QVERIFY(m_server->waitForRequests(2));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("page")), QStringLiteral("3"));
    QTRY_COMPARE(table->recordCount(), 5);
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    auto *search = control<QLineEdit>(form.get(), "edtSearch");
    QTest::keyClicks(search, QStringLiteral("  Jakarta Raya "));
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 2); // typing alone sends nothing
    QTest::keyClick(search, Qt::Key_Return);
    QVERIFY(m_server->waitForRequests(3));
    QCOMPARE(queryOf(m_server->lastRequest()), QStringLiteral("mode=list&page=1&page_rows=20&q=Jakarta Raya&status=0"));
    QTRY_COMPARE(table->recordCount(), 3);
    QVERIFY(m_presenter->messages.isEmpty());

    // the column captions switch with the language, City's too
    const int city = table->fieldIndex(QStringLiteral("city"));
    ComDm->locLang->setLanguageIndex(0);
    const QString indonesian = table->headerData(city, Qt::Horizontal).toString();
    ComDm->locLang->setLanguageIndex(-1);
    QCOMPARE(indonesian, QStringLiteral("Kota"));
    QCOMPARE(table->headerData(city, Qt::Horizontal).toString(), QStringLiteral("City"));
}

// A server may stamp its times in UTC, with an offset or without a zone:
// the list shows each in the user's own time.
void tst_CustomerScreens::updateTimesShowInTheUsersTimeZone()
{
    const QByteArray oldTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "Asia/Jakarta"); // UTC+7 all year
    tzset();
    const auto restoreTz = qScopeGuard([&] {
        if (hadTz)
            qputenv("TZ", oldTz);
        else
            qunsetenv("TZ");
        tzset();
    });
    const char *const stamps[] = { "2024-06-01T03:00:00Z", "2024-06-01T05:00:00+02:00", "2024-06-01T10:00:00",
                                   "2024-06-01 10:00:00", "2024-06-01T03:00:00.000Z" };
    m_server->setHandler([&](const RecordedRequest &) {
        QJsonArray data;
        for (int i = 0; i < int(std::size(stamps)); ++i) {
            QJsonObject row = customer(i + 1);
            row.insert(QStringLiteral("updated_at"), QLatin1String(stamps[i]));
            data.append(row);
        }
        return Reply::json(QJsonDocument(QJsonObject { { "data", data } }).toJson());
    });
    auto form = openList();
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    const QAbstractItemModel *grid = control<QTableView>(form.get(), "tvData")->model();
    const int column = tableOf(*form)->fieldIndex(QStringLiteral("updated_at"));
    QCOMPARE(grid->rowCount(), int(std::size(stamps)));
    for (int row = 0; row < grid->rowCount(); ++row)
        QCOMPARE(grid->index(row, column).data().toString(), QStringLiteral("2024-06-01 10:00:00"));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_CustomerScreens::overtakenReadLosesNoCurrentRow_data()
{
    QTest::addColumn<int>("searchDelayMs");
    QTest::addColumn<int>("pageDelayMs");
    QTest::newRow("search answered after the page") << 400 << 100;
    QTest::newRow("search answered before the page") << 0 << 400;
}

void tst_CustomerScreens::overtakenReadLosesNoCurrentRow()
{
    // a search sent while the first page is on its way: only its answer counts; Edit opens its first row
    QFETCH(int, searchDelayMs);
    QFETCH(int, pageDelayMs);
    serveCustomers(searchDelayMs, pageDelayMs);
    auto form = openList();
    QVERIFY(m_server->waitForRequests(1));
    auto *search = control<QLineEdit>(form.get(), "edtSearch");
    QTest::keyClicks(search, QStringLiteral("abc"));
    QTest::keyClick(search, Qt::Key_Return);
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QTest::qWait(qMax(searchDelayMs, pageDelayMs) + 200); // both answers are in by now
    QCOMPARE(tableOf(*form)->recordCount(), 3);
    QCOMPARE(control<QLabel>(form.get(), "lblRecordCount")->text(), QStringLiteral("Total : 3 records"));
    QCOMPARE(control<QTableView>(form.get(), "tvData")->currentIndex().row(), 0);
    m_presenter->modalScript = [this](QDialog &) { return cancelOnceAsked(CustomersPath + QStringLiteral("/1")); };
    control<QAction>(form.get(), "actEdit")->trigger();
    QCOMPARE(m_presenter->modals.size(), 1);
    QTRY_COMPARE(m_server->requestsTo("GET", CustomersPath + QStringLiteral("/1")).size(), 1);
    QVERIFY(m_presenter->messages.isEmpty());
}

// Reads that end within the delay show nothing and leave the main window
// usable meanwhile: a search typed while the first page is on its way is a
// second read into the same table, and only its answer loads.
void tst_CustomerScreens::quickListReadsShowNoWaitDialog()
{
    DelayedWaitDlg dlg(1500); // far above a local answer, even on a loaded machine
    serveCustomers(0, 300);
    auto form = openList();
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(WaitDlg->IsShowPending());
    QVERIFY(dlg.main.isEnabled());
    auto *search = control<QLineEdit>(form.get(), "edtSearch");
    QTest::keyClicks(search, QStringLiteral("abc"));
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(WaitDlg->ProcessCount(), 2);
    QVERIFY(RestScreenFixture::waitIdle());
    QCOMPARE(m_server->requestCount(), 2);
    QCOMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(tableOf(*form)->recordCount(), 3);
    QCOMPARE(control<QLabel>(form.get(), "lblRecordCount")->text(), QStringLiteral("Total : 3 records"));
    QVERIFY(!WaitDlg->IsShowPending());
    QVERIFY(!WaitDlg->IsFormVisible());
    QCOMPARE(dlg.showings, 0);
    QVERIFY(dlg.main.isEnabled());
    QVERIFY(m_presenter->messages.isEmpty());
}

// A list read that takes longer than the delay brings the dialog up with
// Cancel; Cancel leaves the list empty, thawed and usable at once, its
// paging bar as it was, and says nothing; the next search loads.
void tst_CustomerScreens::slowListReadShowsCancelThatEmptiesTheList()
{
    DelayedWaitDlg dlg(TWaitDlg::AppShowDelayMs);
    serveCustomers();
    auto form = openList();
    QVERIFY(RestScreenFixture::waitIdle());
    QCOMPARE(form->DataMode(), dmBrowse);
    auto *pageCount = control<QLabel>(form.get(), "lblPageCount");
    auto *recordCount = control<QLabel>(form.get(), "lblRecordCount");
    QCOMPARE(recordCount->text(), QStringLiteral("Total : 45 records"));
    dlg.showings = 0;

    m_server->setHandler([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    QElapsedTimer clock;
    clock.start();
    control<QAction>(form.get(), "actRefresh")->trigger();
    QVERIFY(m_server->waitForRequests(2));
    TWaitDlgFrm *frm = WaitDlgFrmOf(WaitDlg);
    QVERIFY(!frm->isVisible());
    QVERIFY(dlg.main.isEnabled());
    QTRY_VERIFY(frm->isVisible());
    QVERIFY2(clock.elapsed() >= TWaitDlg::AppShowDelayMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(frm->btnCancel->isVisible());
    QCOMPARE(frm->btnCancel->text(), QStringLiteral("Cancel"));
    QVERIFY(!dlg.main.isEnabled());
    QCOMPARE(form->DataMode(), dmCustom1); // loading

    QTest::mouseClick(frm->btnCancel, Qt::LeftButton);
    Platform::MemTable *table = tableOf(*form);
    QCOMPARE(table->recordCount(), 0);
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(form->DataMode(), dmCustom2); // the list's empty mode
    QCOMPARE(pageCount->text(), QStringLiteral("of 3"));
    QCOMPARE(recordCount->text(), QStringLiteral("Total : 45 records"));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(!frm->isVisible());
    QVERIFY(dlg.main.isEnabled());
    QVERIFY(control<QAction>(form.get(), "actRefresh")->isEnabled());
    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(m_server->waitForClientCloses(1));
    QCOMPARE(dlg.showings, 1);

    serveCustomers();
    auto *search = control<QLineEdit>(form.get(), "edtSearch");
    QTest::keyClicks(search, QStringLiteral("abc"));
    QTest::keyClick(search, Qt::Key_Return);
    QVERIFY(RestScreenFixture::waitIdle());
    QCOMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(table->recordCount(), 3);
    QCOMPARE(recordCount->text(), QStringLiteral("Total : 3 records"));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_CustomerScreens::findBrowsesCustomersAndOpensThePickedOne()
{
    serveCustomers();
    auto form = openList();
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *browse = qobject_cast<TBrowseDlgFrm *>(&ADialog);
        if (!browse)
            return cancelOnceAsked(CustomersPath + QStringLiteral("/2"));
        return whenReady(
            ADialog, [&] { return browse->tblData()->recordCount() == 20; },
            [&] {
                browse->edtSearch->setText(QStringLiteral("ani"));
                QTest::keyClick(browse->edtSearch, Qt::Key_Return);
                QVERIFY(QTest::qWaitFor([&] { return browse->tblData()->recordCount() == 3; }, 5000));
                browse->grdData->setCurrentIndex(browse->tblData()->index(1, 1));
                browse->btnOK->click();
            });
    };
    control<QAction>(form.get(), "actFind")->trigger();
    QCOMPARE(m_presenter->modals.size(), 2);
    QCOMPARE(m_presenter->modals.first().title, QStringLiteral("Find Customer"));
    QCOMPARE(m_presenter->modals.last().title, QStringLiteral("Edit Customer"));
    const RecordedRequest search = m_server->requestsTo("GET", CustomersPath).last();
    QCOMPARE(search.queryValue(QStringLiteral("mode")), QStringLiteral("browse"));
    QCOMPARE(search.queryValue(QStringLiteral("q")), QStringLiteral("ani"));
    QTRY_COMPARE(m_server->requestsTo("GET", CustomersPath + QStringLiteral("/2")).size(), 1);
}

// The first Save is refused: the fields are named and Save given back; the second posts.
void tst_CustomerScreens::addPostsTheTypedCustomerAfterARefusal()
{
    m_server->enqueue(Reply::json(R"({"errors":[{"key":"partner_code","message":"partner_code already exists"},)"
                                  R"({"key":"email","message":"email is not a valid e-mail address"}],)"
                                  R"("message":"partner_code already exists; email is not a valid e-mail address"})",
                                  400));
    m_server->enqueue(Reply::json(R"({"data":{"partner_id":601}})", 201));
    auto form = createScreen(EntryClass);
    QCOMPARE(form->DataMode(), dmAdd);
    const int result = saveModal(form.get(), [&] {
        typeInto(*form, "edtCode", QStringLiteral("C-001"));
        typeInto(*form, "edtName", QStringLiteral("PT Maju Jaya"));
        QTest::keyClicks(control<QPlainTextEdit>(form.get(), "memAddress"), QStringLiteral("Jl. Sudirman 1"));
        typeInto(*form, "edtCity", QStringLiteral("  Jakarta  "));
        typeInto(*form, "edtEmail", QStringLiteral("a@b"));
        auto *save = control<QPushButton>(form.get(), "btnSave");
        save->click();
        QVERIFY(!save->isEnabled()); // nothing to change while the server decides
        QTRY_COMPARE(m_presenter->messages.size(), 1);
        QCOMPARE(m_presenter->texts().first(),
                 QStringLiteral("Customer Code already exists\rEmail is not a valid e-mail address"));
        QCOMPARE(m_presenter->messages.first().kind, Platform::MessageKind::Error);
        QCOMPARE(form->DataMode(), dmAdd);
        QVERIFY(save->isEnabled());
        m_presenter->clear();
        typeInto(*form, "edtEmail", QStringLiteral("info@maju.co.id"));
    });
    QCOMPARE(result, int(ModalResult::Ok));
    const QList<RecordedRequest> posts = m_server->requestsTo("POST", CustomersPath);
    QCOMPARE(m_server->requestCount(), 2);
    QCOMPARE(posts.size(), 2);
    const QJsonObject expected {
        // exactly the members the server reads, text trimmed
        { "partner_code", "C-001" },
        { "partner_name", "PT Maju Jaya" },
        { "industry", "" },
        { "address", "Jl. Sudirman 1" },
        { "city", "Jakarta" },
        { "phone", "" },
        { "email", "info@maju.co.id" },
        { "website", "" },
        { "is_active", true },
    };
    QCOMPARE(QJsonDocument::fromJson(posts.last().body).object(), expected);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
    QVERIFY(!form->IsNeedSaving());
}

void tst_CustomerScreens::editLoadsRecordAndPatchesIt()
{
    m_server->setHandler([](const RecordedRequest &ARequest) {
        return ARequest.method == "GET" ? detailReply(42) : Reply::json(R"({"data":{"partner_id":42}})");
    });
    auto form = createScreen(EntryClass);
    QVERIFY(QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 42)));
    QCOMPARE(form->DataMode(), dmDetail);
    QVERIFY(!control<QPushButton>(form.get(), "btnSave")->isEnabled());
    const int result = saveModal(form.get(), [&] {
        QTRY_COMPARE(form->DataMode(), dmEdit);
        QCOMPARE(control<QLineEdit>(form.get(), "edtName")->text(), QStringLiteral("Customer 42"));
        QVERIFY(!form->IsNeedSaving());
        typeInto(*form, "edtName", QStringLiteral("PT Customer Empat Dua"));
        control<QCheckBox>(form.get(), "chkActive")->click();
    });
    QCOMPARE(result, int(ModalResult::Ok));
    QCOMPARE(m_server->requestsTo("GET", CustomersPath + QStringLiteral("/42")).size(), 1);
    const QList<RecordedRequest> patches = m_server->requestsTo("PATCH", CustomersPath + QStringLiteral("/42"));
    QCOMPARE(patches.size(), 1);
    QJsonObject expected = customer(42);
    for (const char *server : { "partner_id", "updated_at", "updated_by" })
        expected.remove(QLatin1String(server));
    expected.insert(QStringLiteral("partner_name"), QStringLiteral("PT Customer Empat Dua"));
    expected.insert(QStringLiteral("is_active"), false);
    QCOMPARE(QJsonDocument::fromJson(patches.first().body).object(), expected);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
}

// A record whose texts are longer than the edits let a user type (data from
// before the limits, or from another program) is saved as it was read unless
// the user changes those texts: the edits must not cut them on the way.
void tst_CustomerScreens::saveKeepsLongerTextsThanTheEditsTake()
{
    const QString name = QStringLiteral("PT Sumber Rejeki Makmur Sentosa Abadi \U0001F600 ").repeated(4).trimmed();
    const QString code = QStringLiteral("CUST-JAKARTA-SELATAN-0042");
    QVERIFY(name.size() > 100 && code.size() > 20);
    m_server->setHandler([&](const RecordedRequest &ARequest) {
        if (ARequest.method != "GET")
            return Reply::json(R"({"data":{"partner_id":42}})");
        QJsonObject record = customer(42);
        record.insert(QStringLiteral("partner_name"), name);
        record.insert(QStringLiteral("partner_code"), code);
        return Reply::json(QJsonDocument(QJsonObject { { "data", record } }).toJson());
    });
    auto form = createScreen(EntryClass);
    QVERIFY(QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 42)));
    const int result = saveModal(form.get(), [&] {
        QTRY_COMPARE(form->DataMode(), dmEdit);
        typeInto(*form, "edtPhone", QStringLiteral("021-555-0000"));
    });
    QCOMPARE(result, int(ModalResult::Ok));
    const QList<RecordedRequest> patches = m_server->requestsTo("PATCH", CustomersPath + QStringLiteral("/42"));
    QCOMPARE(patches.size(), 1);
    const QJsonObject sent = QJsonDocument::fromJson(patches.first().body).object();
    QCOMPARE(sent.value(QStringLiteral("partner_name")).toString(), name);
    QCOMPARE(sent.value(QStringLiteral("partner_code")).toString(), code);
    QCOMPARE(sent.value(QStringLiteral("phone")).toString(), QStringLiteral("021-555-0000"));
}

void tst_CustomerScreens::printPreviewsTheCustomerCard()
{
    const QJsonArray contacts { QJsonObject { { "contact_name", "Ani" }, { "job_position", "Buyer" } },
                                QJsonObject { { "contact_name", "Budi" }, { "email", "b@c42.id" } } };
    m_server->setHandler([contacts](const RecordedRequest &ARequest) {
        if (ARequest.path == CustomersPath + QStringLiteral("/42"))
            return detailReply(42, contacts);
        if (ARequest.path.startsWith(QLatin1String("/hrm/")))
            return Reply::json(R"({"data": [{"emp_id": 3, "emp_name": "Sarah Sales"}]})");
        return Reply::json(R"({"data": []})");
    });
    auto form = createScreen(EntryClass);
    QVERIFY(QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 42)));
    form->show();
    QTRY_COMPARE(form->DataMode(), dmEdit);
    m_presenter->modalScript = [&](QDialog &ADialog) -> int {
        auto *employees = qobject_cast<TEmpListFrm *>(&ADialog);
        if (!employees)
            return ModalResult::Cancel; // the print preview
        return whenReady(
            ADialog, [&] { return employees->tblData->recordCount() == 1; }, [&] { employees->btnOK->click(); });
    };
    control<QPushButton>(form.get(), "btnPrint")->click();
    m_presenter->modalScript = nullptr;
    QStringList shown;
    for (const RecordingPresenter::Modal &m : std::as_const(m_presenter->modals))
        shown.append(m.className);
    QCOMPARE(shown, QStringList({ "TEmpListFrm", "QPrintPreviewDialog" }));
    QVERIFY(m_presenter->messages.isEmpty());
    Platform::Report card; // what the preview shows
    bool prepared = false;
    QVERIFY(QMetaObject::invokeMethod(form.get(), "PrepareCustomerCard", Q_RETURN_ARG(bool, prepared),
                                      Q_ARG(Platform::Report *, &card), Q_ARG(QString, QStringLiteral("Sarah Sales"))));
    QVERIFY(prepared);
    QCOMPARE(card.findObject(QStringLiteral("memSalesPerson"))->text, QStringLiteral("Sarah Sales"));
    QStringList lines; // the contacts, one band each
    for (const Platform::ReportObject &band : card.layout().bands) {
        for (const Platform::ReportObject &object : band.objects) {
            if (band.visible && object.text.contains(QLatin1String(" | ")))
                lines.append(object.text);
        }
    }
    QCOMPARE(lines, QStringList({ "Ani | Buyer", "Budi | b@c42.id" }));
}

void tst_CustomerScreens::cardPrintsEveryContact_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("3") << 3;
    QTest::newRow("55, once a page's worth") << 55;
    QTest::newRow("56") << 56;
    QTest::newRow("200") << 200;
}

// However many contacts a customer has, the card prints each once, in order, on whole bands within the pages.
void tst_CustomerScreens::cardPrintsEveryContact()
{
    QFETCH(int, count);
    QJsonArray contacts;
    QStringList expected;
    for (int i = 1; i <= count; ++i) {
        const QString name = QStringLiteral("Contact %1").arg(i, 3, 10, QChar('0'));
        // a value typed over two lines prints on the contact's one line
        const QString job = i == 2 ? QStringLiteral("Head of\r\nPurchasing") : QStringLiteral("Buyer");
        contacts.append(QJsonObject { { "contact_name", name }, { "job_position", job } });
        expected.append(name + QStringLiteral(" | ") + job.simplified());
    }
    Platform::Report card;
    const auto form = cardOf(contacts, card);
    QVERIFY(form);

    const qreal pageHeight = card.layout().printableRect().height();
    const auto pages = card.layout().pages();
    QStringList printed;
    for (const auto &page : pages) {
        for (const Platform::PlacedBand &placed : page) {
            const qreal height = placed.band->geometry.height();
            QVERIFY2(placed.top + height <= pageHeight + 1e-6, qPrintable(placed.band->name)); // never cut
            for (const Platform::ReportObject &object : placed.band->objects) {
                if (object.kind != Platform::ReportObjectKind::Memo || !object.visible)
                    continue;
                QVERIFY(object.geometry.bottom() <= height + 1e-6); // nor written over the next band
                for (const QString &line : object.text.split(QLatin1Char('\n')))
                    if (line.startsWith(QLatin1String("Contact ")))
                        printed.append(line);
            }
        }
    }
    QCOMPARE(printed, expected);

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    const QString text = pdfText(card);
    for (const QString &line : std::as_const(expected))
        QVERIFY2(text.count(line) == 1, qPrintable(line));
    QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages.size())));
}

// A contact whose line is wider than the card goes on over further lines:
// the memo clips at its edge, so nothing may be written past it.
void tst_CustomerScreens::cardPrintsALongContactWhole()
{
    const QJsonArray contacts { QJsonObject { { "contact_name", "Oliver Wilson" },
                                              { "job_position", "Administration Staff" },
                                              { "contact_type_c", "Contact" },
                                              { "phone", "+61 3 232 8186" },
                                              { "mobile", "+61 3 445 8098 8459" },
                                              { "email", "oliver.wilson@evergreenfoods.com" },
                                              { "title", "Mr." } },
                                QJsonObject { { "contact_name", "Ani" } } };
    Platform::Report card;
    const auto form = cardOf(contacts, card);
    QVERIFY(form);

    // measured as a printer of 1200 dpi lays the text out
    QImage printer(8, 8, QImage::Format_RGB32);
    printer.setDotsPerMeterX(qRound(1200 / 0.0254));
    printer.setDotsPerMeterY(qRound(1200 / 0.0254));
    QStringList printed;
    for (const auto &page : card.layout().pages()) {
        for (const Platform::PlacedBand &placed : page) {
            // the contacts band and its unnamed copies
            if (!placed.band->name.isEmpty() && placed.band->name != QLatin1String("bndContacts"))
                continue;
            for (const Platform::ReportObject &object : placed.band->objects) {
                if (object.kind != Platform::ReportObjectKind::Memo || !object.visible)
                    continue;
                const qreal widthMm = QFontMetricsF(object.font, &printer).horizontalAdvance(object.text) * 25.4 / 1200;
                QVERIFY2(widthMm <= object.geometry.width() - 2 * object.padding, qPrintable(object.text));
                printed.append(object.text);
            }
        }
    }
    QCOMPARE(printed.join(QLatin1Char(' ')).simplified(),
             QStringLiteral("Oliver Wilson | Administration Staff | Contact | +61 3 232 8186 | +61 3 445 8098 8459 "
                            "| oliver.wilson@evergreenfoods.com Ani"));
}

QTEST_MAIN(tst_CustomerScreens)
#include "tst_customerscreens.moc"
