#include "EmpListFrmU.h"
#include "RestScreenFixture.h"

#include <QLineEdit>
#include <QTableView>
#include <QtTest>

namespace {

const QByteArray TwoEmployees = R"({"data": [
    {"emp_id": 9000000001, "emp_name": "Ani", "gender": "F", "org_name": "Sales"},
    {"emp_id": 9000000002, "emp_name": "Anita", "gender": "F", "org_name": "Finance"}]})";

} // namespace

class tst_PickLists : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void employeeSearchSendsLookupAndPicksByDoubleClick();
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

QTEST_MAIN(tst_PickLists)
#include "tst_picklists.moc"
