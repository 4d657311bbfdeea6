// The customer list of the CRM module, loaded as the client loads it and
// driven through its controls: the list requests it sends, the rows and
// page meta it shows, search, status filter and paging, the buttons per
// mode, and the entry screen it opens for add and edit.
#include "BrowseDlgU.h"
#include "CrmTestSupport.h"
#include "MenuListU.h"
#include "ResourceStrings.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <functional>

using namespace CrmTest;
using Platform::MessageKind;
namespace ModalResult = Platform::ModalResult;

namespace {

const int CustomerCount = 45;

struct ListControls
{
    explicit ListControls(const QObject *AForm)
        : add(control<QAction>(AForm, "actAdd")),
          edit(control<QAction>(AForm, "actEdit")),
          refresh(control<QAction>(AForm, "actRefresh")),
          search(control<QLineEdit>(AForm, "edtSearch")),
          status(control<QComboBox>(AForm, "cboStatus")),
          grid(control<QTableView>(AForm, "tvData")),
          page(control<QComboBox>(AForm, "cboPage")),
          pageSize(control<QComboBox>(AForm, "cboPageSize")),
          next(control<QToolButton>(AForm, "btnNext")),
          last(control<QToolButton>(AForm, "btnLast")),
          pageCount(control<QLabel>(AForm, "lblPageCount")),
          recordCount(control<QLabel>(AForm, "lblRecordCount"))
    {
    }

    Platform::MemTable *table() const { return qobject_cast<Platform::MemTable *>(grid->model()); }
    QString cell(int ARow, const char *AField) const
    {
        return table()->cell(ARow, table()->fieldIndex(QLatin1String(AField))).toString();
    }
    QString buttons() const
    {
        return QStringLiteral("add %1, edit %2, refresh %3")
            .arg(add->isEnabled() ? "on" : "off", edit->isEnabled() ? "on" : "off", refresh->isEnabled() ? "on" : "off");
    }

    QAction *add;
    QAction *edit;
    QAction *refresh;
    QLineEdit *search;
    QComboBox *status;
    QTableView *grid;
    QComboBox *page;
    QComboBox *pageSize;
    QToolButton *next;
    QToolButton *last;
    QLabel *pageCount;
    QLabel *recordCount;
};

// The query of a list request as name=value pairs, for comparing.
QString queryOf(const RecordedRequest &ARequest)
{
    QStringList items;
    for (const auto &item : ARequest.queryItems)
        items.append(item.first + QLatin1Char('=') + item.second);
    items.sort();
    return items.join(QLatin1Char('&'));
}

} // namespace

class tst_CustomerList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void moduleRegistersBothScreens();
    void firstShowReadsFirstPage();
    void menuParamsPresetStatusFilter();
    void pagingAsksForOtherPages();
    void searchAndStatusStartAtFirstPage();
    void buttonsFollowMode();
    void refusedOrFailedReadGivesButtonsBack_data();
    void refusedOrFailedReadGivesButtonsBack();
    void onlyLatestReadCounts();
    void searchOvertakingSlowPageKeepsARowSelected();
    void addOpensEntryAndRefreshesAfterSave();
    void editOpensSelectedCustomer();
    void cancelledEntryReadsNothing();
    void findBrowsesCustomersAndOpensThePickedOne();
    void captionsFollowLanguage();

private:
    // A list screen with AParams as its menu entry's params, shown, its
    // first page read.
    std::unique_ptr<TBaseChildFrm> openList(const QString &AParams = QString());
    void serveCustomers();

    std::unique_ptr<TPackageList> m_packages;
    RecordingPresenter *m_presenter = nullptr;
    std::unique_ptr<TestHttpServer> m_server;
    TMenuData m_menu;
};

void tst_CustomerList::initTestCase()
{
    m_presenter = RecordingPresenter::install();
    m_packages = loadCrmModule();
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
    m_server = std::make_unique<TestHttpServer>();
    connectRestClient(*m_server);
}

void tst_CustomerList::cleanupTestCase()
{
    disconnectRestClient();
    m_server.reset();
    m_packages->UnloadPackageData();
    // unloaded: the screens can no longer be created
    QVERIFY(!Platform::ClassRegistry::instance().contains(ListClass));
    QVERIFY(!Platform::ClassRegistry::instance().contains(EntryClass));
    QVERIFY(!Platform::ResourceStringRepository::instance().hasProduct(QStringLiteral("CRM Resource Strings")));
    m_packages.reset();
}

void tst_CustomerList::init()
{
    m_presenter->clear();
    m_presenter->modalScript = nullptr;
    m_server->setHandler({});
    m_server->clear();
    m_menu = TMenuData();
    m_menu.MenuId = 101;
    m_menu.MenuTitle = QStringLiteral("Customers");
    m_menu.FormClass = ListClass;
    m_menu.TrCode = QStringLiteral("CUS");
    m_menu.ShowType = 1;
}

void tst_CustomerList::cleanup()
{
    Platform::ResourceStringRepository::instance().setTranslations({});
    QTest::qWait(20);
}

void tst_CustomerList::serveCustomers()
{
    m_server->setHandler([](const RecordedRequest &ARequest) {
        if (ARequest.method == "GET" && ARequest.path == CustomersPath)
            return customerPage(ARequest, CustomerCount);
        if (ARequest.method == "GET")
            return detailReply(ARequest.path.section(QLatin1Char('/'), -1).toInt());
        return Reply::json(R"({"data":{}})", ARequest.method == "POST" ? 201 : 200);
    });
}

std::unique_ptr<TBaseChildFrm> tst_CustomerList::openList(const QString &AParams)
{
    m_menu.Params = AParams;
    auto form = createScreen(ListClass);
    if (!form)
        return form;
    // as the controller does: entry, caption, then show
    form->Data = &m_menu;
    form->setWindowTitle(m_menu.MenuTitle);
    form->show();
    return form;
}

void tst_CustomerList::moduleRegistersBothScreens()
{
    const auto &registry = Platform::ClassRegistry::instance();
    QVERIFY(registry.contains(ListClass));
    QVERIFY(registry.contains(EntryClass));
    QCOMPARE(QLatin1String(registry.get(ListClass).metaObject->className()), ListClass);
    QCOMPARE(QLatin1String(registry.get(EntryClass).metaObject->className()), EntryClass);
    QVERIFY(Platform::ResourceStringRepository::instance().find(QStringLiteral("sLabelCustomerCode")));
    // the package list's entry for the module: loaded from "crm.bpl"
    QCOMPARE(m_packages->Count(), 2);
    QVERIFY(m_packages->Items(1)->IsLoad);
}

void tst_CustomerList::firstShowReadsFirstPage()
{
    serveCustomers();
    auto form = openList();
    QVERIFY(form);
    ListControls c(form.get());

    QVERIFY(m_server->waitForRequests(1));
    QTRY_COMPARE(c.table()->recordCount(), 20);
    const RecordedRequest read = m_server->lastRequest();
    QCOMPARE(read.method, QByteArray("GET"));
    QCOMPARE(read.path, CustomersPath);
    QCOMPARE(queryOf(read), QStringLiteral("mode=list&page=1&page_rows=20&q=&status=0"));
    QCOMPARE(read.header("Authorization"), QByteArray("Bearer ") + Token);

    QCOMPARE(c.cell(0, "partner_code"), QStringLiteral("C0001"));
    QCOMPARE(c.cell(19, "partner_name"), QStringLiteral("Customer 20"));
    QCOMPARE(c.page->currentText(), QStringLiteral("1"));
    QCOMPARE(c.page->count(), 3);
    QCOMPARE(c.pageCount->text(), QStringLiteral("of 3"));
    QCOMPARE(c.recordCount->text(), QStringLiteral("Total : 45 records"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Customers"));

    // the grid: translated captions, the key and the long texts kept out
    QCOMPARE(c.table()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Customer Code"));
    QCOMPARE(c.table()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("City"));
    for (const char *hidden : { "partner_id", "address", "website" })
        QVERIFY2(c.grid->isColumnHidden(c.table()->fieldIndex(QLatin1String(hidden))), hidden);
    QVERIFY(!c.grid->isColumnHidden(c.table()->fieldIndex(QStringLiteral("partner_name"))));
    QVERIFY(c.grid->columnWidth(c.table()->fieldIndex(QStringLiteral("partner_name")))
            > c.grid->columnWidth(c.table()->fieldIndex(QStringLiteral("partner_code"))));
    // rows are for looking: a click on Active changes nothing
    const QModelIndex active = c.table()->index(0, c.table()->fieldIndex(QStringLiteral("is_active")));
    QVERIFY(!c.table()->setData(active, Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(c.grid->currentIndex().row(), 0);
    QCOMPARE(m_server->requestCount(), 1);
}

void tst_CustomerList::menuParamsPresetStatusFilter()
{
    serveCustomers();
    auto form = openList(QStringLiteral("status=2"));
    ListControls c(form.get());

    QVERIFY(m_server->waitForRequests(1));
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("status")), QStringLiteral("2"));
    QCOMPARE(c.status->currentText(), QStringLiteral("Not Active"));
    // one read: presetting the filter is not a change of the user's
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 1);
}

void tst_CustomerList::pagingAsksForOtherPages()
{
    serveCustomers();
    auto form = openList();
    ListControls c(form.get());
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    // Given page 1 of 3, when Next is pressed, then page 2 is read and shown
    c.next->click();
    QVERIFY(m_server->waitForRequests(2));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("page")), QStringLiteral("2"));
    QTRY_COMPARE(c.cell(0, "partner_code"), QStringLiteral("C0021"));
    QCOMPARE(c.page->currentText(), QStringLiteral("2"));

    // Last: page 3 holds the remaining five
    QTRY_VERIFY(c.last->isEnabled() && form->DataMode() == dmBrowse);
    c.last->click();
    QVERIFY(m_server->waitForRequests(3));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("page")), QStringLiteral("3"));
    QTRY_COMPARE(c.table()->recordCount(), 5);
    QCOMPARE(c.cell(4, "partner_code"), QStringLiteral("C0045"));

    // Refresh reads the page shown again
    c.refresh->trigger();
    QVERIFY(m_server->waitForRequests(4));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("page")), QStringLiteral("3"));
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    // another page size: the same page asked with the new size
    c.pageSize->setCurrentText(QStringLiteral("50"));
    QVERIFY(m_server->waitForRequests(5));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("page_rows")), QStringLiteral("50"));
    QTRY_COMPARE(c.pageCount->text(), QStringLiteral("of 1"));
}

void tst_CustomerList::searchAndStatusStartAtFirstPage()
{
    serveCustomers();
    auto form = openList();
    ListControls c(form.get());
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    c.next->click();
    QVERIFY(m_server->waitForRequests(2));
    QTRY_COMPARE(c.page->currentText(), QStringLiteral("2"));
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    QCOMPARE(c.search->placeholderText(),
             QStringLiteral("Search by Customer Code or Customer Name or City or Email"));
    QTest::keyClicks(c.search, QStringLiteral("  Jakarta Raya "));
    // nothing is read while typing
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 2);
    QTest::keyClick(c.search, Qt::Key_Return);
    QVERIFY(m_server->waitForRequests(3));
    QCOMPARE(queryOf(m_server->lastRequest()), QStringLiteral("mode=list&page=1&page_rows=20&q=Jakarta Raya&status=0"));
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    c.status->setCurrentIndex(1);
    QVERIFY(m_server->waitForRequests(4));
    QCOMPARE(queryOf(m_server->lastRequest()), QStringLiteral("mode=list&page=1&page_rows=20&q=Jakarta Raya&status=1"));
    QCOMPARE(c.status->itemText(0), QStringLiteral("All"));
    QCOMPARE(c.status->itemText(1), QStringLiteral("Active"));
    QCOMPARE(c.status->itemText(2), QStringLiteral("Not Active"));
}

void tst_CustomerList::buttonsFollowMode()
{
    // an answer held back long enough to look at the screen while it waits
    m_server->setHandler([](const RecordedRequest &ARequest) {
        Reply reply = customerPage(ARequest, ARequest.queryValue(QStringLiteral("q")) == QLatin1String("none")
                                                 ? 0
                                                 : CustomerCount);
        reply.delayMs = 300;
        return reply;
    });
    auto form = createScreen(ListClass);
    ListControls c(form.get());
    // not shown yet: nothing read, nothing to edit
    QCOMPARE(form->DataMode(), dmCustom2);
    QCOMPARE(c.buttons(), QStringLiteral("add on, edit off, refresh on"));

    form->Data = &m_menu;
    form->show();
    QCOMPARE(form->DataMode(), dmCustom1);
    QCOMPARE(c.buttons(), QStringLiteral("add off, edit off, refresh off"));
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(c.buttons(), QStringLiteral("add on, edit on, refresh on"));

    QTest::keyClicks(c.search, QStringLiteral("none"));
    QTest::keyClick(c.search, Qt::Key_Return);
    QCOMPARE(c.buttons(), QStringLiteral("add off, edit off, refresh off"));
    QTRY_COMPARE(form->DataMode(), dmCustom2);
    QCOMPARE(c.buttons(), QStringLiteral("add on, edit off, refresh on"));
    QCOMPARE(c.table()->recordCount(), 0);
    QCOMPARE(c.recordCount->text(), QStringLiteral("Total : 0 records"));

    // Edit without a row opens nothing, double-click neither
    c.edit->trigger();
    QVERIFY(m_presenter->modals.isEmpty());
}

void tst_CustomerList::refusedOrFailedReadGivesButtonsBack_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("refused") << int(Reply::Action::Respond) << 404 << "Page Not Found.\r\n{\"message\":\"gone\"}";
    QTest::newRow("bad parameter") << int(Reply::Action::Respond) << 400 << "Query parameter \"status\" is wrong.";
    QTest::newRow("connection dropped") << int(Reply::Action::CloseWithoutAnswer) << 0 << "Server Error.\r\n";
}

void tst_CustomerList::refusedOrFailedReadGivesButtonsBack()
{
    QFETCH(int, action);
    QFETCH(int, status);
    QFETCH(QString, message);

    Reply reply = status == 400 ? Reply::json(R"({"message":"Query parameter \"status\" is wrong."})", 400)
                                : Reply::json(R"({"message":"gone"})", status);
    reply.action = Reply::Action(action);
    // every attempt: the client may try a dropped request once more
    m_server->setHandler([reply](const RecordedRequest &) { return reply; });
    auto form = openList();
    ListControls c(form.get());

    QTRY_COMPARE(m_presenter->messages.size(), 1);
    QVERIFY2(m_presenter->texts().first().startsWith(message), qPrintable(m_presenter->texts().first()));
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QCOMPARE(form->DataMode(), dmCustom2);
    QCOMPARE(c.buttons(), QStringLiteral("add on, edit off, refresh on"));

    // and Refresh tries again
    serveCustomers();
    c.refresh->trigger();
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(c.table()->recordCount(), 20);
    QCOMPARE(m_presenter->messages.size(), 1);
}

void tst_CustomerList::onlyLatestReadCounts()
{
    // Given a slow first page, when a search is sent before it ends, then
    // the screen stays loading until the search's answer and shows its rows
    m_server->setHandler([](const RecordedRequest &ARequest) {
        const bool search = !ARequest.queryValue(QStringLiteral("q")).isEmpty();
        Reply reply = customerPage(ARequest, search ? 3 : CustomerCount);
        reply.delayMs = search ? 400 : 100;
        return reply;
    });
    auto form = openList();
    ListControls c(form.get());
    QVERIFY(m_server->waitForRequests(1));
    QTest::keyClicks(c.search, QStringLiteral("abc"));
    QTest::keyClick(c.search, Qt::Key_Return);

    QTest::qWait(250); // the first answer is in by now
    QCOMPARE(form->DataMode(), dmCustom1);
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(c.table()->recordCount(), 3);
    QCOMPARE(c.recordCount->text(), QStringLiteral("Total : 3 records"));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_CustomerList::searchOvertakingSlowPageKeepsARowSelected()
{
    // Given a slow first page, when a search is answered before it, then
    // the search's rows stay with one selected once the slow page ends, and
    // Edit opens that customer
    m_server->setHandler([](const RecordedRequest &ARequest) {
        if (ARequest.path != CustomersPath)
            return detailReply(ARequest.path.section(QLatin1Char('/'), -1).toInt());
        const bool search = !ARequest.queryValue(QStringLiteral("q")).isEmpty();
        Reply reply = customerPage(ARequest, search ? 3 : CustomerCount);
        reply.delayMs = search ? 0 : 400;
        return reply;
    });
    auto form = openList();
    ListControls c(form.get());
    QVERIFY(m_server->waitForRequests(1));
    QTest::keyClicks(c.search, QStringLiteral("abc"));
    QTest::keyClick(c.search, Qt::Key_Return);
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QTest::qWait(600); // the slow page has ended by now

    QCOMPARE(c.table()->recordCount(), 3);
    QVERIFY(c.grid->currentIndex().isValid());
    QCOMPARE(c.grid->currentIndex().row(), 0);
    QVERIFY(c.edit->isEnabled());
    m_presenter->modalScript = [](QDialog &) { return int(ModalResult::Cancel); };
    c.edit->trigger();
    QCOMPARE(m_presenter->modals.size(), 1);
    QTRY_COMPARE(requestsTo(*m_server, "GET", CustomersPath + QStringLiteral("/1")).size(), 1);
}

void tst_CustomerList::addOpensEntryAndRefreshesAfterSave()
{
    serveCustomers();
    auto form = openList();
    ListControls c(form.get());
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *entry = ADialog.findChild<TBaseChildFrm *>();
        if (!entry)
            return int(ModalResult::None);
        ADialog.show();
        QTest::keyClicks(control<QLineEdit>(entry, "edtCode"), QStringLiteral("C-NEW"));
        QTest::keyClicks(control<QLineEdit>(entry, "edtName"), QStringLiteral("PT Baru"));
        control<QPushButton>(entry, "btnSave")->click();
        if (!QTest::qWaitFor([&] { return !ADialog.isVisible(); }, 5000))
            return int(ModalResult::None);
        return ADialog.result();
    };
    c.add->trigger();

    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals.first().title, QStringLiteral("New Customer"));
    QCOMPARE(m_presenter->modals.first().result, int(ModalResult::Ok));
    const QList<RecordedRequest> posts = requestsTo(*m_server, "POST", CustomersPath);
    QCOMPARE(posts.size(), 1);
    QCOMPARE(bodyOf(posts.first()).value(QStringLiteral("partner_code")).toString(), QStringLiteral("C-NEW"));
    // the list reads its page again after the save
    QVERIFY(m_server->waitForRequests(3));
    QCOMPARE(m_server->lastRequest().method, QByteArray("GET"));
    QCOMPARE(m_server->lastRequest().path, CustomersPath);
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
}

void tst_CustomerList::editOpensSelectedCustomer()
{
    serveCustomers();
    auto form = openList();
    ListControls c(form.get());
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    QString shownName;
    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *entry = ADialog.findChild<TBaseChildFrm *>();
        if (!entry)
            return int(ModalResult::None);
        ADialog.show();
        if (!QTest::qWaitFor([&] { return entry->DataMode() == dmEdit; }, 5000))
            return int(ModalResult::None);
        auto *name = control<QLineEdit>(entry, "edtName");
        shownName = name->text();
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("Renamed"));
        control<QPushButton>(entry, "btnSave")->click();
        if (!QTest::qWaitFor([&] { return !ADialog.isVisible(); }, 5000))
            return int(ModalResult::None);
        return ADialog.result();
    };

    // the fourth row, by double-click
    const QModelIndex row4 = c.table()->index(3, c.table()->fieldIndex(QStringLiteral("partner_name")));
    const QPoint at = c.grid->visualRect(row4).center();
    QTest::mouseClick(c.grid->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(c.grid->currentIndex().row(), 3);
    QTest::mouseDClick(c.grid->viewport(), Qt::LeftButton, {}, at);

    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals.first().title, QStringLiteral("Edit Customer"));
    QCOMPARE(shownName, QStringLiteral("Customer 4"));
    QCOMPARE(requestsTo(*m_server, "GET", CustomersPath + QStringLiteral("/4")).size(), 1);
    const QList<RecordedRequest> patches = requestsTo(*m_server, "PATCH", CustomersPath + QStringLiteral("/4"));
    QCOMPARE(patches.size(), 1);
    QCOMPARE(bodyOf(patches.first()).value(QStringLiteral("partner_name")).toString(), QStringLiteral("Renamed"));
    QTRY_COMPARE(requestsTo(*m_server, "GET", CustomersPath).size(), 2);

    // Edit on the selected row does the same
    m_presenter->clear();
    m_presenter->modalScript = [](QDialog &) { return int(ModalResult::Cancel); };
    QTRY_COMPARE(form->DataMode(), dmBrowse);
    c.grid->setCurrentIndex(c.table()->index(6, 1));
    c.edit->trigger();
    QCOMPARE(m_presenter->modals.size(), 1);
    QTRY_COMPARE(requestsTo(*m_server, "GET", CustomersPath + QStringLiteral("/7")).size(), 1);
}

void tst_CustomerList::cancelledEntryReadsNothing()
{
    serveCustomers();
    auto form = openList();
    ListControls c(form.get());
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    m_presenter->modalScript = [](QDialog &) { return int(ModalResult::Cancel); };
    c.add->trigger();
    QCOMPARE(m_presenter->modals.size(), 1);
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), 1);
    // the entry screen is gone with its dialog
    QVERIFY(!form->findChild<QLineEdit *>(QStringLiteral("edtCode")));
}

void tst_CustomerList::findBrowsesCustomersAndOpensThePickedOne()
{
    serveCustomers();
    auto form = openList();
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    // the browse dialog: search "ani", pick the second row of its first page
    QStringList columns;
    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *browse = qobject_cast<TBrowseDlgFrm *>(&ADialog);
        if (!browse)
            return int(ModalResult::Cancel); // the entry screen it opens
        ADialog.show();
        if (!QTest::qWaitFor([&] { return browse->tblData()->recordCount() == 20; }, 5000))
            return int(ModalResult::None);
        for (int i = 0; i < browse->tblData()->columnCount(); ++i) {
            if (!browse->grdData->isColumnHidden(i))
                columns.append(browse->tblData()->headerData(i, Qt::Horizontal).toString());
        }
        browse->edtSearch->setText(QStringLiteral("ani"));
        QTest::keyClick(browse->edtSearch, Qt::Key_Return);
        if (!QTest::qWaitFor([&] { return m_server->requestCount() == 3 && browse->tblData()->recordCount() == 20; }, 5000))
            return int(ModalResult::None);
        browse->grdData->setCurrentIndex(browse->tblData()->index(1, 1));
        browse->btnOK->click();
        return ADialog.result();
    };
    control<QAction>(form.get(), "actFind")->trigger();

    QCOMPARE(m_presenter->modals.size(), 2);
    QCOMPARE(m_presenter->modals.first().title, QStringLiteral("Find Customer"));
    QCOMPARE(m_presenter->modals.last().title, QStringLiteral("Edit Customer"));
    QCOMPARE(columns, QStringList({ "Customer Code", "Customer Name", "City" }));
    const QList<RecordedRequest> reads = requestsTo(*m_server, "GET", CustomersPath);
    QCOMPARE(reads.size(), 3); // the list's page, then the dialog's two
    QCOMPARE(reads[2].queryValue(QStringLiteral("mode")), QStringLiteral("browse"));
    QCOMPARE(reads[2].queryValue(QStringLiteral("q")), QStringLiteral("ani"));
    QCOMPARE(reads[2].queryValue(QStringLiteral("page_rows")), QStringLiteral("20"));
    QCOMPARE(reads[2].queryValue(QStringLiteral("order")), QStringLiteral("partner_name"));
    QTRY_COMPARE(requestsTo(*m_server, "GET", CustomersPath + QStringLiteral("/2")).size(), 1);
}

void tst_CustomerList::captionsFollowLanguage()
{
    serveCustomers();
    auto form = openList();
    ListControls c(form.get());
    QTRY_COMPARE(form->DataMode(), dmBrowse);

    Platform::ResourceStringRepository::instance().setTranslations({
        { QStringLiteral("sLabelAdd"), QStringLiteral("Tambah") },
        { QStringLiteral("sLabelAll"), QStringLiteral("Semua") },
        { QStringLiteral("sLabelCustomerName"), QStringLiteral("Nama Pelanggan") },
        { QStringLiteral("sLabelSearchText"), QStringLiteral("Cari berdasarkan") },
        { QStringLiteral("sLabelOr"), QStringLiteral("atau") },
    });
    QCOMPARE(c.add->text(), QStringLiteral("Tambah"));
    QCOMPARE(c.status->itemText(0), QStringLiteral("Semua"));
    QCOMPARE(c.table()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Nama Pelanggan"));
    QCOMPARE(c.search->placeholderText(),
             QStringLiteral("Cari berdasarkan Customer Code atau Nama Pelanggan atau City atau Email"));
    // re-captioning the status filter is no change of filter
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 1);
}

QTEST_MAIN(tst_CustomerList)
#include "tst_customerlist.moc"
