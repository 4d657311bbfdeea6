#include "CostCenterListFrmU.h"
#include "EmpListFrmU.h"
#include "ItemListFrmU.h"
#include "LangResU.h"
#include "LocationListFrmU.h"
#include "RestScreenFixture.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

// The captions of the visible grid columns, left to right.
QStringList gridCaptions(const TMasterPickListFrm &AForm)
{
    QStringList captions;
    const QHeaderView *header = AForm.grdData->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!AForm.grdData->isColumnHidden(logical))
            captions.append(AForm.tblData->headerData(logical, Qt::Horizontal).toString());
    }
    return captions;
}

QStringList fieldNames(const Platform::MemTable &ATable)
{
    QStringList names;
    for (const auto &f : ATable.fieldDefs())
        names.append(f.name);
    return names;
}

bool waitIdle()
{
    return RestScreenFixture::waitIdle();
}

const QByteArray TwoEmployees = R"({"data": [
    {"emp_id": 9000000001, "emp_name": "Ani", "gender": "F", "org_name": "Sales"},
    {"emp_id": 9000000002, "emp_name": "Anita", "gender": "F", "org_name": "Finance"}]})";

} // namespace

class tst_PickLists : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void formsHaveTheirFieldsAndColumns();
    void employeeSearchSendsLookupAndPicksByDoubleClick();
    void locationTypeChoiceReloadsWithItsNumber();
    void pagedListsStartAtFirstPageWithTwentyRows();
    void emptyListKeepsOkFromClosing();
    void failuresAreReportedAndTheTableStaysEmpty();

private:
    std::unique_ptr<RestScreenFixture> m_fixture;
    TestHttpServer *m_server = nullptr;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_PickLists::init()
{
    m_fixture = std::make_unique<RestScreenFixture>();
    m_server = &m_fixture->server();
    m_presenter = m_fixture->presenter();
}

void tst_PickLists::cleanup()
{
    m_fixture.reset();
}

void tst_PickLists::formsHaveTheirFieldsAndColumns()
{
    TCostCenterListFrm cc;
    QCOMPARE(fieldNames(*cc.tblData), QStringList({ "cc_id", "cc_code", "cc_name", "cc_type_desc" }));
    QCOMPARE(gridCaptions(cc), QStringList({ "Code", "Type", "Cost Center" }));

    TEmpListFrm emp;
    QCOMPARE(emp.tblData->fieldDef(QStringLiteral("emp_id")).type, Platform::MemTable::FieldType::LargeInt);
    QCOMPARE(gridCaptions(emp), QStringList({ "Employee Name", "Gender", "Organization" }));
    QVERIFY(!emp.cboPage);

    TItemListFrm item;
    QCOMPARE(fieldNames(*item.tblData), QStringList({ "item_type_name", "item_id", "item_code", "item_name",
                                                      "item_cat_name", "material", "spec", "uom_id", "uom_name" }));
    QCOMPARE(gridCaptions(item), QStringList({ "Type", "Code", "Item Name", "Unit Of Materials", "Category",
                                               "Material", "Specification" }));
    QCOMPARE(item.tblData->fieldDef(QStringLiteral("uom_id")).type, Platform::MemTable::FieldType::SmallInt);

    TLocationListFrm loc;
    QCOMPARE(gridCaptions(loc),
             QStringList({ "Location Name", "Location Detail Name", "Location Detail Description" }));
    QCOMPARE(loc.cboType->count(), 3);
    QCOMPARE(m_server->requestCount(), 0);
}

void tst_PickLists::employeeSearchSendsLookupAndPicksByDoubleClick()
{
    m_server->setHandler([](const RecordedRequest &) { return Reply::json(TwoEmployees); });
    TEmpListFrm frm;
    frm.edtSearch->setText(QStringLiteral("stale"));
    frm.show(); // clears the search and loads
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(waitIdle());
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("q")), QString());
    frm.edtSearch->setText(QStringLiteral("ani"));
    QTest::keyClick(frm.edtSearch, Qt::Key_Return);
    QVERIFY(m_server->waitForRequests(2));
    QVERIFY(waitIdle());
    const RecordedRequest req = m_server->lastRequest();
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
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_PickLists::locationTypeChoiceReloadsWithItsNumber()
{
    m_server->setHandler([](const RecordedRequest &) {
        return Reply::json(R"({"data": [{"loc_det_id": 4, "loc_det_name": "Gate", "loc_id": 2,
                                         "loc_name": "Site A", "loc_det_desc": null}]})");
    });
    TLocationListFrm frm;
    frm.cboType->setCurrentIndex(2);
    QCOMPARE(m_server->waitForRequests(1, 300), true); // a change reloads even before showing
    QVERIFY(waitIdle());
    m_server->clear();
    frm.show();
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(waitIdle());
    QCOMPARE(frm.cboType->currentText(), QStringLiteral("Building"));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("q")), QStringLiteral("1"));
    QCOMPARE(m_server->lastRequest().path, QStringLiteral("/prc/v1/master/locations"));
    frm.cboType->setCurrentText(QStringLiteral("Vendor"));
    QVERIFY(m_server->waitForRequests(2));
    QVERIFY(waitIdle());
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("q")), QStringLiteral("3"));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("mode")), QStringLiteral("lookup"));
    QCOMPARE(frm.tblData->value(QStringLiteral("loc_name")).toString(), QStringLiteral("Site A"));
    frm.btnOK->click();
    QCOMPARE(frm.result(), int(Platform::ModalResult::Ok));
}

void tst_PickLists::pagedListsStartAtFirstPageWithTwentyRows()
{
    m_server->setHandler([](const RecordedRequest &) {
        return Reply::json(R"({"data": [{"item_id": 5, "item_code": "X", "item_name": "Bolt", "uom_id": 3}],
                               "pages": {"page": 1, "page_count": 4, "rec_count": 70}})");
    });
    TItemListFrm item;
    item.edtSearch->setText(QStringLiteral("old"));
    item.cboRowPerPage->setCurrentText(QStringLiteral("100")); // a change of size reloads
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(waitIdle());
    m_server->clear();
    item.show();
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(waitIdle());
    RecordedRequest req = m_server->lastRequest();
    QCOMPARE(m_server->requestCount(), 1); // resetting the selectors asks for no extra load
    QCOMPARE(req.path, QStringLiteral("/prc/v1/master/items"));
    QCOMPARE(req.queryValue(QStringLiteral("page")), QStringLiteral("1"));
    QCOMPARE(req.queryValue(QStringLiteral("page_rows")), QStringLiteral("20"));
    QCOMPARE(req.queryValue(QStringLiteral("q")), QString());
    QCOMPARE(req.queryValue(QStringLiteral("status")), QStringLiteral("1"));
    QCOMPARE(item.tblData->value(QStringLiteral("item_name")).toString(), QStringLiteral("Bolt"));
    QCOMPARE(item.lblPageCount->text(), QStringLiteral("of 4"));

    TCostCenterListFrm cc;
    cc.show();
    QVERIFY(m_server->waitForRequests(2));
    QVERIFY(waitIdle());
    cc.edtSearch->setText(QStringLiteral("ops"));
    cc.edtSearchButton->click();
    QVERIFY(m_server->waitForRequests(3));
    QVERIFY(waitIdle());
    req = m_server->lastRequest();
    QCOMPARE(req.path, QStringLiteral("/acf/v1/master/cost-centers"));
    QCOMPARE(req.queryValue(QStringLiteral("q")), QStringLiteral("ops"));
    QCOMPARE(req.queryValue(QStringLiteral("page_rows")), QStringLiteral("20"));
}

void tst_PickLists::emptyListKeepsOkFromClosing()
{
    m_server->setHandler([](const RecordedRequest &) { return Reply::json(R"({"data": []})"); });
    TEmpListFrm frm;
    int result = -1;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!m_server->waitForRequests(1) || !waitIdle())
            return 0;
        frm.btnOK->click();
        if (d.isHidden())
            return d.result();
        frm.grdData->doubleClicked(frm.grdData->model()->index(0, 0)); // invalid: no rows
        if (d.isHidden())
            return d.result();
        QTest::keyClick(&d, Qt::Key_Escape);
        result = d.result();
        return result;
    };
    QCOMPARE(Platform::dialogPresenter().showModal(frm), int(Platform::ModalResult::Cancel));
    QCOMPARE(result, int(Platform::ModalResult::Cancel));

    TLocationListFrm loc;
    loc.show();
    QVERIFY(m_server->waitForRequests(2));
    QVERIFY(waitIdle());
    QVERIFY(!loc.close() || loc.result() == int(Platform::ModalResult::Cancel)); // title bar: Cancel
    QVERIFY(loc.isHidden());
}

void tst_PickLists::failuresAreReportedAndTheTableStaysEmpty()
{
    m_server->setHandler([](const RecordedRequest &ARequest) {
        const QString q = ARequest.queryValue(QStringLiteral("q"));
        if (q.isEmpty())
            return Reply::json(R"({"message": "expired"})", 401);
        if (q == QLatin1String("env"))
            return Reply::json(R"({"errors": [{"key": "x_key", "message": "Not allowed here"}]})", 422);
        if (q == QLatin1String("plain"))
            return Reply::text("gateway down", 502);
        if (q == QLatin1String("bad"))
            return Reply::json(R"({"data": [{"emp_id": "zz", "emp_name": 5}, 3]})");
        if (q == QLatin1String("cut"))
            return Reply::withAction(Reply::Action::CloseWithoutAnswer);
        return Reply::json(TwoEmployees);
    });
    TEmpListFrm frm;
    frm.show();
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(waitIdle());
    QCOMPARE(m_presenter->texts(), QStringList({ sMsgSessionExpired.text() }));
    QCOMPARE(sMsgSessionExpired.text(), QStringLiteral("Session has expired, please re-login."));
    QCOMPARE(frm.tblData->recordCount(), 0);

    for (const char *q : { "env", "plain", "bad", "cut", "ok" }) {
        const int before = m_server->requestCount();
        frm.edtSearch->setText(QString::fromLatin1(q));
        QTest::keyClick(frm.edtSearch, Qt::Key_Return);
        QVERIFY(m_server->waitForRequests(before + 1));
        QVERIFY(waitIdle());
        QVERIFY(frm.isVisible());
    }
    const QStringList texts = m_presenter->texts();
    QVERIFY2(texts.size() >= 4, qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(texts[1], QStringLiteral("Not allowed here"));
    QCOMPARE(texts[2], QStringLiteral("gateway down"));
    QVERIFY2(!texts.last().isEmpty(), "the transport failure is told");
    QCOMPARE(frm.tblData->recordCount(), 2); // and the dialog still works
}

QTEST_MAIN(tst_PickLists)
#include "tst_picklists.moc"
