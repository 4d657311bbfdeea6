#include "ComDmU.h"
#include "CostCenterListFrmU.h"
#include "EmpListFrmU.h"
#include "ItemListFrmU.h"
#include "Localizer.h"
#include "LocationListFrmU.h"
#include "RestScreenFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

const QByteArray TwoEmployees = R"({"data": [
    {"emp_id": 9000000001, "emp_name": "Ani", "gender": "F", "org_name": "Sales"},
    {"emp_id": 9000000002, "emp_name": "Anita", "gender": "F", "org_name": "Finance"}]})";

// One page of cost centres or items, as the paged lists answer.
QByteArray page(const char *ARows, int APage, int APageCount)
{
    return QByteArray(R"({"data": )") + ARows
        + QStringLiteral(R"(, "pages": {"page": %1, "page_rows": 20, "page_count": %2, "rec_count": %3}})")
              .arg(APage)
              .arg(APageCount)
              .arg(APageCount * 20)
              .toUtf8();
}

const char CostCentres[] = R"([{"cc_id": 7, "cc_code": "CC-7", "cc_name": "Plant", "cc_type_desc": "Project"},
                               {"cc_id": 8, "cc_code": "CC-8", "cc_name": "Office", "cc_type_desc": "General"}])";

// A column's caption as the grid shows it.
QString header(const TMasterPickListFrm &AForm, const char *AField)
{
    return AForm.grdData->model()
        ->headerData(AForm.tblData->fieldIndex(QLatin1String(AField)), Qt::Horizontal)
        .toString();
}

} // namespace

class tst_PickLists : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void employeeSearchSendsLookupAndPicksByDoubleClick();
    void pagedListsStartAtPageOneAndPage();
    void locationTypeChoosesTheListAndEmptyListsDoNotPick();
    void captionsFollowTheLanguage();
    void doubleClickWhileAPageLoadsPicksNothing();
    void aNewSearchStartsAtPageOne();
    void noPickBehindAnEarlierSearchStillRunning();
};

void tst_PickLists::employeeSearchSendsLookupAndPicksByDoubleClick()
{
    RestScreenFixture fixture;
    TestHttpServer &server = fixture.server();
    server.setHandler([](const RecordedRequest &) { return Reply::json(TwoEmployees); });
    TEmpListFrm frm;
    frm.edtSearch->setText(QStringLiteral("stale"));
    frm.show(); // clears the search and loads
    QVERIFY(server.waitForRequests(1));
    QVERIFY(RestScreenFixture::waitIdle());
    QCOMPARE(server.lastRequest().queryValue(QStringLiteral("q")), QString());
    frm.edtSearch->setText(QStringLiteral("ani"));
    QTest::keyClick(frm.edtSearch, Qt::Key_Return);
    QVERIFY(server.waitForRequests(2));
    QVERIFY(RestScreenFixture::waitIdle());
    const RecordedRequest req = server.lastRequest();
    QCOMPARE(req.method, QByteArray("GET"));
    QCOMPARE(req.path, QStringLiteral("/hrm/v1/master/employees"));
    QCOMPARE(req.queryValue(QStringLiteral("mode")), QStringLiteral("lookup"));
    QCOMPARE(req.queryValue(QStringLiteral("q")), QStringLiteral("ani"));
    QCOMPARE(frm.tblData->recordCount(), 2);
    QCOMPARE(frm.tblData->recNo(), 0);
    QCOMPARE(frm.tblData->value(QStringLiteral("emp_id")).toLongLong(), 9000000001LL);

    const QModelIndex cell = frm.grdData->model()->index(1, 1);
    const QPoint at = frm.grdData->visualRect(cell).center();
    QTest::mouseClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(frm.result(), int(Platform::ModalResult::Ok));
    QVERIFY(frm.isHidden());
    QCOMPARE(frm.tblData->value(QStringLiteral("emp_name")).toString(), QStringLiteral("Anita"));
    QVERIFY(fixture.presenter()->messages.isEmpty());
}

// The cost centre and item lists: every showing starts at page 1, 20 rows,
// no search; search, paging and a pick go through the paged list read.
void tst_PickLists::pagedListsStartAtPageOneAndPage()
{
    RestScreenFixture fixture;
    TestHttpServer &server = fixture.server();
    server.setHandler([](const RecordedRequest &r) {
        const int p = qMax(1, r.queryValue(QStringLiteral("page")).toInt());
        return Reply::json(page(CostCentres, p, 3));
    });
    TCostCenterListFrm costCentres;
    costCentres.edtSearch->setText(QStringLiteral("stale"));
    costCentres.show();
    QVERIFY(fixture.waitLoaded(1));
    costCentres.edtSearch->setText(QStringLiteral(" plant "));
    costCentres.edtSearchButton->click();
    QVERIFY(fixture.waitLoaded(2));
    costCentres.btnNext->click();
    QVERIFY(fixture.waitLoaded(3));
    QCOMPARE(costCentres.cboPage->currentText(), QStringLiteral("2"));
    QCOMPARE(costCentres.tblData->recordCount(), 2);
    const QModelIndex cell = costCentres.grdData->model()->index(1, 1);
    const QPoint at = costCentres.grdData->visualRect(cell).center();
    QTest::mouseClick(costCentres.grdData->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(costCentres.grdData->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(costCentres.result(), int(Platform::ModalResult::Ok));
    QCOMPARE(costCentres.tblData->value(QStringLiteral("cc_code")).toString(), QStringLiteral("CC-8"));
    QVERIFY(costCentres.grdData->isColumnHidden(costCentres.tblData->fieldIndex(QStringLiteral("cc_id"))));

    QList<RecordedRequest> reqs = server.requests();
    QCOMPARE(reqs.size(), 3);
    QStringList sent;
    for (const RecordedRequest &r : reqs) {
        QCOMPARE(r.path, QStringLiteral("/acf/v1/master/cost-centers"));
        QCOMPARE(r.queryValue(QStringLiteral("mode")), QStringLiteral("list"));
        QCOMPARE(r.queryValue(QStringLiteral("status")), QStringLiteral("1"));
        sent << r.queryValue(QStringLiteral("q")) + QLatin1Char('|') + r.queryValue(QStringLiteral("page"))
                + QLatin1Char('/') + r.queryValue(QStringLiteral("page_rows"));
    }
    QCOMPARE(sent, QStringList({ "|1/20", "plant|1/20", "plant|2/20" }));

    // the item list, shown a second time after the user moved on
    TItemListFrm items;
    items.show();
    QVERIFY(fixture.waitLoaded(4));
    items.cboRowPerPage->setCurrentIndex(items.cboRowPerPage->findText(QStringLiteral("50")));
    QVERIFY(fixture.waitLoaded(5));
    items.edtSearch->setText(QStringLiteral("bolt"));
    items.hide();
    items.show();
    QVERIFY(fixture.waitLoaded(6));
    reqs = server.requests();
    QCOMPARE(reqs.at(3).path, QStringLiteral("/prc/v1/master/items"));
    QCOMPARE(reqs.at(4).queryValue(QStringLiteral("page_rows")), QStringLiteral("50"));
    QCOMPARE(reqs.at(5).queryValue(QStringLiteral("page")), QStringLiteral("1"));
    QCOMPARE(reqs.at(5).queryValue(QStringLiteral("page_rows")), QStringLiteral("20"));
    QCOMPARE(reqs.at(5).queryValue(QStringLiteral("q")), QString());
    // picking the size it showed before asks again
    items.cboRowPerPage->setCurrentIndex(items.cboRowPerPage->findText(QStringLiteral("50")));
    QVERIFY(fixture.waitLoaded(7));
    QCOMPARE(server.lastRequest().queryValue(QStringLiteral("page_rows")), QStringLiteral("50"));
    QVERIFY(fixture.presenter()->messages.isEmpty());
}

// The location list: the type is the lookup's q; a refused read is told and
// leaves nothing to pick, so only Cancel closes.
void tst_PickLists::locationTypeChoosesTheListAndEmptyListsDoNotPick()
{
    RestScreenFixture fixture;
    TestHttpServer &server = fixture.server();
    server.setHandler([](const RecordedRequest &r) {
        if (r.queryValue(QStringLiteral("q")) == QLatin1String("2"))
            return Reply::json(R"({"message": "expired"})", 401);
        return Reply::json(R"({"data": [{"loc_det_id": 4, "loc_det_name": "Gate", "loc_det_desc": "North",
                                         "loc_id": 1, "loc_name": "Depot"}]})");
    });
    TLocationListFrm frm;
    frm.show();
    QVERIFY(fixture.waitLoaded(1));
    QCOMPARE(frm.tblData->recordCount(), 1);
    frm.cboType->setCurrentIndex(2);
    QVERIFY(fixture.waitLoaded(2));
    frm.cboType->setCurrentIndex(1);
    QVERIFY(fixture.waitLoaded(3));
    QStringList sent;
    for (const RecordedRequest &r : server.requests()) {
        QCOMPARE(r.path, QStringLiteral("/prc/v1/master/locations"));
        QCOMPARE(r.queryValue(QStringLiteral("mode")), QStringLiteral("lookup"));
        sent << r.queryValue(QStringLiteral("q"));
    }
    QCOMPARE(sent, QStringList({ "1", "3", "2" }));
    QCOMPARE(fixture.presenter()->texts(), QStringList({ "Session has expired, please re-login." }));
    QCOMPARE(frm.tblData->recordCount(), 0);
    frm.btnOK->click();
    QVERIFY(frm.isVisible());
    frm.btnCancel->click();
    QVERIFY(frm.isHidden());
    QCOMPARE(frm.result(), int(Platform::ModalResult::Cancel));
}

// What the user reads on a pick list is in the language of the day, at
// every showing.
void tst_PickLists::captionsFollowTheLanguage()
{
    RestScreenFixture fixture;
    fixture.server().setHandler([](const RecordedRequest &) { return Reply::json(TwoEmployees); });
    TEmpListFrm employees;
    TLocationListFrm locations;
    ComDm->locLang->setLanguageIndex(0);
    employees.show();
    locations.show();
    QVERIFY(fixture.waitLoaded(2));
    const QStringList shown {
        employees.windowTitle(),        header(employees, "emp_name"),          header(employees, "gender"),
        employees.btnCancel->text(),    employees.edtSearch->placeholderText(), locations.windowTitle(),
        locations.cboType->itemText(0), header(locations, "loc_det_name")
    };
    ComDm->locLang->setLanguageIndex(-1);
    QCOMPARE(shown,
             QStringList({ "Daftar Karyawan", "Nama Karyawan", "Jenis Kelamin", "Batal", "Cari", "Daftar Lokasi",
                           "Gedung", "Nama Detail Lokasi" }));
    employees.hide();
    employees.show();
    QCOMPARE(employees.windowTitle(), QStringLiteral("Employee List"));
    QCOMPARE(header(employees, "gender"), QStringLiteral("Gender"));
}

// While the next page loads, the frozen grid still shows the last page's
// rows over an emptied table: a double click there picks nothing and says
// nothing, and the rows that arrive can be picked.
void tst_PickLists::doubleClickWhileAPageLoadsPicksNothing()
{
    RestScreenFixture fixture;
    TestHttpServer &server = fixture.server();
    server.setHandler([](const RecordedRequest &r) {
        const int p = qMax(1, r.queryValue(QStringLiteral("page")).toInt());
        Reply reply = Reply::json(page(CostCentres, p, 3));
        reply.delayMs = p == 2 ? 400 : 0;
        return reply;
    });
    TCostCenterListFrm frm;
    frm.show();
    QVERIFY(fixture.waitLoaded(1));
    const QPoint at = frm.grdData->visualRect(frm.grdData->model()->index(1, 1)).center();
    frm.btnNext->click();
    QVERIFY(server.waitForRequests(2));
    QTest::mouseClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(frm.isVisible());
    QVERIFY(fixture.waitLoaded(2));
    QVERIFY2(fixture.presenter()->messages.isEmpty(), qPrintable(fixture.presenter()->texts().join(u'\n')));
    QTest::mouseClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(frm.result(), int(Platform::ModalResult::Ok));
    QCOMPARE(frm.tblData->value(QStringLiteral("cc_code")).toString(), QStringLiteral("CC-8"));
}

// A search, by Enter or by the search button, shows its first page.
void tst_PickLists::aNewSearchStartsAtPageOne()
{
    RestScreenFixture fixture;
    TestHttpServer &server = fixture.server();
    server.setHandler([](const RecordedRequest &r) {
        const int p = qMax(1, r.queryValue(QStringLiteral("page")).toInt());
        return Reply::json(page(CostCentres, p, 3));
    });
    TCostCenterListFrm frm;
    frm.show();
    QVERIFY(fixture.waitLoaded(1));
    frm.btnNext->click();
    QVERIFY(fixture.waitLoaded(2));
    frm.edtSearch->setText(QStringLiteral("plant"));
    QTest::keyClick(frm.edtSearch, Qt::Key_Return);
    QVERIFY(fixture.waitLoaded(3));
    frm.btnLast->click();
    QVERIFY(fixture.waitLoaded(4));
    frm.edtSearchButton->click();
    QVERIFY(fixture.waitLoaded(5));
    QStringList sent;
    for (const RecordedRequest &r : server.requests())
        sent << r.queryValue(QStringLiteral("q")) + QLatin1Char('|') + r.queryValue(QStringLiteral("page"));
    QCOMPARE(sent, QStringList({ "|1", "|2", "plant|1", "plant|3", "plant|1" }));
    QCOMPARE(frm.cboPage->currentText(), QStringLiteral("1"));
}

// Two searches, the first answered last: the grid stays frozen over the
// second one's rows until then, and OK would take a row the user did not
// click.
void tst_PickLists::noPickBehindAnEarlierSearchStillRunning()
{
    RestScreenFixture fixture;
    TestHttpServer &server = fixture.server();
    server.setHandler([](const RecordedRequest &r) {
        Reply reply = Reply::json(TwoEmployees);
        if (r.queryValue(QStringLiteral("q")) == QLatin1String("slow"))
            reply.delayMs = 700;
        return reply;
    });
    TEmpListFrm frm;
    frm.show();
    QVERIFY(fixture.waitLoaded(1));
    frm.edtSearch->setText(QStringLiteral("slow"));
    QTest::keyClick(frm.edtSearch, Qt::Key_Return);
    frm.edtSearch->setText(QStringLiteral("fast"));
    QTest::keyClick(frm.edtSearch, Qt::Key_Return);
    QVERIFY(server.waitForRequests(3));
    QTRY_COMPARE_WITH_TIMEOUT(frm.tblData->recordCount(), 2, 500);
    const QPoint at = frm.grdData->visualRect(frm.grdData->model()->index(1, 1)).center();
    QTest::mouseClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    frm.btnOK->click();
    QVERIFY(frm.isVisible());
    QVERIFY(fixture.waitLoaded(3));
    QTest::mouseClick(frm.grdData->viewport(), Qt::LeftButton, {}, at);
    frm.btnOK->click();
    QCOMPARE(frm.result(), int(Platform::ModalResult::Ok));
    QCOMPARE(frm.tblData->value(QStringLiteral("emp_name")).toString(), QStringLiteral("Anita"));
}

QTEST_MAIN(tst_PickLists)
#include "tst_picklists.moc"
