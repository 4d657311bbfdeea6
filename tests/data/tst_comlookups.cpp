#include "ComLookupsU.h"
#include "DataUtilsU.h"
#include "Errors.h"
#include "MemTable.h"
#include "PaginationU.h"
#include "RecordingPresenter.h"
#include "DataTestSupport.h"
#include "TestHttpServer.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using Platform::MemTable;
using Platform::MessageKind;
using FT = Platform::MemTable::FieldType;

namespace {

const QString SessionExpired = QStringLiteral("Session has expired, please re-login.");

// A lookup table as screens declare it: lower-case field names.
std::unique_ptr<MemTable> newTable()
{
    auto t = std::make_unique<MemTable>();
    t->addField(QStringLiteral("status_id"), FT::Integer);
    t->addField(QStringLiteral("status_name"), FT::String, 50);
    t->addField(QStringLiteral("rate"), FT::Float);
    t->open();
    return t;
}

void fillOld(MemTable &t)
{
    t.setRows({ { 90, QStringLiteral("old-1"), 1.0 }, { 91, QStringLiteral("old-2"), 2.0 } });
}

QStringList names(const MemTable &t)
{
    QStringList out;
    for (int r = 0; r < t.recordCount(); ++r)
        out << t.cell(r, 1).toString();
    return out;
}

QByteArray rowsBody(const QStringList &rowNames, const QByteArray &pages = {})
{
    QByteArray body = R"({"data":[)";
    for (int i = 0; i < rowNames.size(); ++i) {
        if (i)
            body += ',';
        body += R"({"status_id":)" + QByteArray::number(i + 1) + R"(,"status_name":")" + rowNames.at(i).toUtf8()
            + R"(","rate":)" + QByteArray::number(i + 1) + ".5}";
    }
    body += ']';
    if (!pages.isEmpty())
        body += R"(,"pages":)" + pages;
    return body + '}';
}

QList<QPair<QString, QString>> items(std::initializer_list<std::pair<const char *, const char *>> list)
{
    QList<QPair<QString, QString>> out;
    for (const auto &p : list)
        out.append({ QString::fromUtf8(p.first), QString::fromUtf8(p.second) });
    return out;
}

// The paging bar of a list screen, laid out from plain widgets.
struct PagingBar
{
    PagingBar()
    {
        page.setEditable(true);
        pageSize.addItems({ QStringLiteral("10"), QStringLiteral("20") });
        pagination = std::make_unique<TPagination>(&pageSize, &page, &first, &prev, &next, &last, &pageCount,
                                                   &recordCount);
        pagination->SetOnPageDataChange([this] { ++reloads; });
    }
    QComboBox pageSize;
    QComboBox page;
    QPushButton first, prev, next, last;
    QLabel pageCount, recordCount;
    std::unique_ptr<TPagination> pagination;
    int reloads = 0;
};

} // namespace

class tst_ComLookups : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    // DataList / DataListDate
    void dataListRequestAndLoad();
    void dataListDateRequest();
    void dataListFailureStatuses_data();
    void dataListFailureStatuses();
    void dataListTransportFailures_data();
    void dataListTransportFailures();
    void dataListBadBodies_data();
    void dataListBadBodies();
    void dataListOverlappingReadsLatestWins();
    void dataListOwnersGoneMeanwhile();

    // DataLookups
    void dataLookupsAsync();
    void dataLookupsAsyncFailures_data();
    void dataLookupsAsyncFailures();
    void dataLookupsSync();
    void dataLookupsSyncFailures();
    void latestLookupWins_data();
    void latestLookupWins();

    // StatusLookups / TrCodeLookups
    void statusLookupsPath_data();
    void statusLookupsPath();
    void trCodeLookupsParameters_data();
    void trCodeLookupsParameters();
    void asyncStatusAndTrCodeFailuresAreSilent_data();
    void asyncStatusAndTrCodeFailuresAreSilent();
    void syncStatusAndTrCodeReadAnyStatus();
    void longLivedClientKeepsNoParameters();

private:
    // Lets queued completions of requests already answered run.
    void settle(int requests);

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<TZeltRestClient> m_rest;
    std::unique_ptr<TWaitDlg> m_waitDlg;
    std::unique_ptr<QWidget> m_mainForm;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_ComLookups::init()
{
    m_server = std::make_unique<TestHttpServer>();
    m_rest = std::make_unique<TZeltRestClient>(m_server->url(), 5000, 5000);
    m_rest->SetHeaderData(QStringLiteral("tok-1"), QStringLiteral("ref-1"), QStringLiteral("id_ID"));
    RestClient = m_rest.get();
    m_waitDlg = std::make_unique<TWaitDlg>();
    m_mainForm = std::make_unique<QWidget>();
    m_waitDlg->SetMainForm(m_mainForm.get());
    WaitDlg = m_waitDlg.get();
    m_presenter = RecordingPresenter::install();
}

void tst_ComLookups::cleanup()
{
    // nothing may still be on its way into the next test
    QTest::qWait(50);
    RestClient = nullptr;
    WaitDlg = nullptr;
    m_waitDlg.reset();
    m_mainForm.reset();
    m_rest.reset();
    m_server.reset();
}

void tst_ComLookups::settle(int requests)
{
    QVERIFY(m_server->waitForRequests(requests));
    QTest::qWait(300);
}

// ---- DataList / DataListDate ------------------------------------------------

void tst_ComLookups::dataListRequestAndLoad()
{
    // Given a read-only table with rows from an earlier read
    auto table = newTable();
    fillOld(*table);
    table->setReadOnly(true);
    PagingBar bar;
    m_server->enqueue(Reply::json(
        rowsBody({ QStringLiteral("Open"), QStringLiteral("Closed") },
                 R"({"page":2,"page_rows":20,"page_count":5,"rec_count":93})")));

    // When a list read starts
    DataList(QStringLiteral("/acf/v1/master/cost-centers"), table.get(), QStringLiteral("branch=01&x=y"),
             QStringLiteral("  abc  "), 1, bar.pagination.get(), QStringLiteral("2"), QStringLiteral("20"));

    // Then, before the answer: empty, writable, frozen, wait dialog up
    QCOMPARE(table->recordCount(), 0);
    QVERIFY(!table->readOnly());
    QVERIFY(table->controlsDisabled());
    QCOMPARE(m_waitDlg->ProcessCount(), 1);
    QVERIFY(m_waitDlg->IsFormVisible());
    QVERIFY(!m_mainForm->isEnabled());

    // and after it: the rows, the paging bar, everything closed
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QVERIFY(!m_waitDlg->IsFormVisible());
    QVERIFY(m_mainForm->isEnabled());
    QVERIFY(!table->controlsDisabled());
    QVERIFY(!table->readOnly());
    QCOMPARE(names(*table), QStringList({ QStringLiteral("Open"), QStringLiteral("Closed") }));
    QCOMPARE(table->recNo(), 0);
    QCOMPARE(table->cell(1, 0), QVariant(2));
    QCOMPARE(table->cell(1, 2), QVariant(2.5));
    QCOMPARE(bar.page.count(), 5);
    QCOMPARE(bar.page.currentText(), QStringLiteral("2"));
    QCOMPARE(bar.pageCount.text(), QStringLiteral("of 5"));
    QCOMPARE(bar.recordCount.text(), QStringLiteral("Total : 93 records"));
    QCOMPARE(bar.reloads, 0);
    QVERIFY(m_presenter->messages.isEmpty());

    QCOMPARE(m_server->requestCount(), 1);
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QStringLiteral("/acf/v1/master/cost-centers"));
    QCOMPARE(r.queryItems, items({ { "mode", "list" }, { "params", "branch=01&x=y" }, { "q", "abc" },
                                   { "status", "1" }, { "page", "2" }, { "page_rows", "20" } }));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok-1"));
}

void tst_ComLookups::dataListDateRequest()
{
    auto table = newTable();
    PagingBar bar;
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("PO-1") }, R"({"page":1,"page_count":1,"rec_count":1})")));
    DataListDate(QStringLiteral("/prc/v1/purchase-orders"), table.get(), QString(), QStringLiteral("\tpo \n"),
                 QDate(2024, 3, 5), QDate(2024, 3, 31), bar.pagination.get(), QStringLiteral("1"),
                 QStringLiteral("50"));
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QCOMPARE(names(*table), QStringList(QStringLiteral("PO-1")));
    QCOMPARE(bar.recordCount.text(), QStringLiteral("Total : 1 records"));

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.path, QStringLiteral("/prc/v1/purchase-orders"));
    QCOMPARE(r.queryItems, items({ { "mode", "list" }, { "params", "" }, { "q", "po" },
                                   { "start_date", "2024-03-05" }, { "end_date", "2024-03-31" }, { "page", "1" },
                                   { "page_rows", "50" } }));
    QVERIFY(!r.hasQueryItem(QStringLiteral("status")));
}

void tst_ComLookups::dataListFailureStatuses_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("shown");

    QTest::newRow("401 shows only session expired")
        << 401 << QByteArray(R"({"message":"token expired"})") << SessionExpired;
    // the unit's own handler knows no captions: the key drops out
    QTest::newRow("400 errors lose their keys")
        << 400 << QByteArray(R"({"errors":[{"key":"name","message":"name is required"}]})")
        << QStringLiteral(" is required");
    QTest::newRow("500 message as it is")
        << 500 << QByteArray(R"({"message":"Database is down"})") << QStringLiteral("Database is down");
    QTest::newRow("404 html page") << 404 << QByteArray("<html>Not here</html>")
                                   << QStringLiteral("Bad Request.\r\nUdefined Error.");
}

void tst_ComLookups::dataListFailureStatuses()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);

    auto table = newTable();
    fillOld(*table);
    PagingBar bar;
    bar.pagination->Paginate(QJsonObject{ { "page", 3 }, { "page_count", 4 }, { "rec_count", 40 } });
    // another request holds the wait dialog: it still closes at the end
    m_waitDlg->Show();
    m_server->enqueue(Reply::json(body, status));

    DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QString(), 1, bar.pagination.get(),
             QStringLiteral("1"), QStringLiteral("10"));
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 1);

    QCOMPARE(m_presenter->texts(), QStringList(shown));
    QCOMPARE(m_presenter->messages.at(0).kind, MessageKind::Error);
    QVERIFY(!m_waitDlg->IsFormVisible());
    QVERIFY(m_mainForm->isEnabled());
    QCOMPARE(table->recordCount(), 0);
    QVERIFY(!table->controlsDisabled());
    // the paging bar is left as it was
    QCOMPARE(bar.page.currentText(), QStringLiteral("3"));
    QCOMPARE(bar.recordCount.text(), QStringLiteral("Total : 40 records"));
}

void tst_ComLookups::dataListTransportFailures_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("start");
    QTest::newRow("closed mid-body") << int(Reply::Action::PartialBodyThenClose) << "Connection closed";
    QTest::newRow("not HTTP") << int(Reply::Action::Garbage) << "Connection closed";
    QTest::newRow("refused") << -1 << "Connection refused";
    QTest::newRow("no REST client") << -2 << "No connection to the server has been set up.";
}

void tst_ComLookups::dataListTransportFailures()
{
    QFETCH(int, action);
    QFETCH(QString, start);

    TZeltRestClient refused(QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()), 5000, 5000);
    if (action == -1)
        RestClient = &refused;
    else if (action == -2)
        RestClient = nullptr;
    else // every time: the network layer may try once more on a new connection
        m_server->setHandler([action](const RecordedRequest &) {
            return Reply::withAction(Reply::Action(action), rowsBody({ QStringLiteral("half") }));
        });

    auto table = newTable();
    fillOld(*table);
    PagingBar bar;
    DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QString(), 0, bar.pagination.get(),
             QStringLiteral("1"), QStringLiteral("10"));
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QCOMPARE(m_presenter->messages.size(), 1);
    QVERIFY2(m_presenter->messages.at(0).text.startsWith(start), qPrintable(m_presenter->messages.at(0).text));
    QCOMPARE(m_presenter->messages.at(0).kind, MessageKind::Error);
    QVERIFY(!m_waitDlg->IsFormVisible());
    QCOMPARE(table->recordCount(), 0);
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(bar.page.count(), 0);
    RestClient = m_rest.get();
}

void tst_ComLookups::dataListBadBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("pageCountLabel"); // empty: the bar was not touched

    // which bodies the reader takes is its own test (tst_jsonrowreader), what
    // the paging bar makes of odd pages tst_pagination's; one of each here
    QTest::newRow("5 MB of garbage") << QByteArray(5 * 1024 * 1024, 'x') << QStringList() << QString();
    QTest::newRow("data missing, pages kept") << QByteArray(R"({"pages":{"page":1,"page_count":3,"rec_count":7}})")
                                              << QStringList() << "of 3";
    QTest::newRow("data null") << QByteArray(R"({"data":null})") << QStringList() << "of 0";
    QTest::newRow("pages of the wrong kind") << QByteArray(R"({"data":[{"status_name":"a"}],"pages":[1,2]})")
                                             << QStringList({ "a" }) << "of 0";
    QTest::newRow("null and non-object rows are no rows")
        << QByteArray(R"({"data":[null,{"status_name":"a"},7,"b",[],{"status_name":"c"}]})")
        << QStringList({ "a", "c" }) << "of 0";
}

void tst_ComLookups::dataListBadBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, rows);
    QFETCH(QString, pageCountLabel);

    auto table = newTable();
    fillOld(*table);
    PagingBar bar;
    bar.pageCount.setText(QStringLiteral("untouched"));
    m_server->enqueue(Reply::json(body));
    DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QString(), 1, bar.pagination.get(),
             QStringLiteral("1"), QStringLiteral("10"));
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(names(*table), rows);
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(bar.pageCount.text(), pageCountLabel.isEmpty() ? QStringLiteral("untouched") : pageCountLabel);
}

void tst_ComLookups::dataListOverlappingReadsLatestWins()
{
    // Given a first read whose answer comes late
    m_server->setHandler([](const RecordedRequest &r) {
        if (r.queryValue(QStringLiteral("q")) == QLatin1String("first")) {
            Reply late = Reply::json(rowsBody({ QStringLiteral("first-1"), QStringLiteral("first-2") },
                                              R"({"page":1,"page_count":9,"rec_count":90})"));
            late.delayMs = 600;
            return late;
        }
        return Reply::json(rowsBody({ QStringLiteral("second") }, R"({"page":1,"page_count":1,"rec_count":1})"));
    });
    auto table = newTable();
    PagingBar bar;
    DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QStringLiteral("first"), 1,
             bar.pagination.get(), QStringLiteral("1"), QStringLiteral("10"));
    QVERIFY(m_server->waitForRequests(1));
    // When a second read into the same table starts and ends first
    DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QStringLiteral("second"), 1,
             bar.pagination.get(), QStringLiteral("1"), QStringLiteral("10"));
    QCOMPARE(m_waitDlg->ProcessCount(), 2);
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 1);
    QCOMPARE(names(*table), QStringList(QStringLiteral("second")));
    // Then the late answer closes its part but loads nothing
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QCOMPARE(names(*table), QStringList(QStringLiteral("second")));
    QCOMPARE(bar.pageCount.text(), QStringLiteral("of 1"));
    QVERIFY(!table->controlsDisabled());
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_ComLookups::dataListOwnersGoneMeanwhile()
{
    Reply late = Reply::json(rowsBody({ QStringLiteral("a") }, R"({"page":1,"page_count":1})"));
    late.delayMs = 300;
    m_server->enqueue(late);
    m_server->enqueue(late);

    auto table = newTable();
    auto bar = std::make_unique<PagingBar>();
    DataList(QStringLiteral("/x"), table.get(), QString(), QString(), 1, bar->pagination.get(), QStringLiteral("1"),
             QStringLiteral("10"));
    table.reset();
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QVERIFY(!m_waitDlg->IsFormVisible());

    auto table2 = newTable();
    DataList(QStringLiteral("/x"), table2.get(), QString(), QString(), 1, bar->pagination.get(), QStringLiteral("1"),
             QStringLiteral("10"));
    bar.reset();
    QTRY_COMPARE(m_waitDlg->ProcessCount(), 0);
    QCOMPARE(names(*table2), QStringList(QStringLiteral("a")));
    QVERIFY(m_presenter->messages.isEmpty());
}

// ---- DataLookups ------------------------------------------------------------

void tst_ComLookups::dataLookupsAsync()
{
    auto table = newTable();
    fillOld(*table);
    table->setReadOnly(true);
    m_server->enqueue(Reply::json(R"({"data":[{"status_id":"7","status_name":12,"rate":"abc"},)"
                                  R"({"status_id":1.5,"status_name":"Two","rate":"2.25"}]})"));
    DataLookups(QStringLiteral("/hrm/v1/master/employees"), table.get(), 1, QStringLiteral("dept=IT"), true);

    // no wait dialog, no freezing, the old rows until the answer
    QCOMPARE(m_waitDlg->ProcessCount(), 0);
    QVERIFY(!m_waitDlg->IsFormVisible());
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(names(*table), QStringList({ QStringLiteral("old-1"), QStringLiteral("old-2") }));

    QTRY_COMPARE(names(*table), QStringList({ QStringLiteral("12"), QStringLiteral("Two") }));
    // what does not fit its field is null, never some other value
    QCOMPARE(table->cell(0, 0), QVariant(7));
    QVERIFY(!table->cell(0, 2).isValid());
    QVERIFY(!table->cell(1, 0).isValid());
    QCOMPARE(table->cell(1, 2), QVariant(2.25));
    QCOMPARE(table->recNo(), 0);
    QVERIFY(table->readOnly());
    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(m_waitDlg->ProcessCount(), 0);

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.path, QStringLiteral("/hrm/v1/master/employees"));
    QCOMPARE(r.queryItems, items({ { "params", "dept=IT" }, { "showall", "1" }, { "mode", "lookup" } }));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok-1"));
}

void tst_ComLookups::dataLookupsAsyncFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("keepsRows");

    const int respond = int(Reply::Action::Respond);
    QTest::newRow("401") << 401 << respond << QByteArray(R"({"message":"expired"})") << SessionExpired << true;
    QTest::newRow("401 with rows") << 401 << respond << rowsBody({ QStringLiteral("x") }) << SessionExpired << true;
    QTest::newRow("500") << 500 << respond << QByteArray(R"({"message":"boom"})") << QString() << true;
    QTest::newRow("404 with rows") << 404 << respond << rowsBody({ QStringLiteral("x") }) << QString() << true;
    QTest::newRow("200 garbage") << 200 << respond << QByteArray(5 * 1024 * 1024, '{') << QString() << true;
    QTest::newRow("200 array") << 200 << respond << QByteArray("[]") << QString() << true;
    // an object answer empties the table even without rows in it
    QTest::newRow("200 without data") << 200 << respond << QByteArray(R"({"message":"ok"})") << QString() << false;
    QTest::newRow("200 data of the wrong kind") << 200 << respond << QByteArray(R"({"data":"rows"})") << QString()
                                                << false;
    QTest::newRow("closed mid-body") << 200 << int(Reply::Action::PartialBodyThenClose)
                                     << rowsBody({ QStringLiteral("x") }) << "Connection closed" << true;
}

void tst_ComLookups::dataLookupsAsyncFailures()
{
    QFETCH(int, status);
    QFETCH(int, action);
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);
    QFETCH(bool, keepsRows);

    Reply reply = Reply::json(body, status);
    reply.action = Reply::Action(action);
    m_server->enqueue(reply);
    auto table = newTable();
    fillOld(*table);
    DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), true);
    if (shown.isEmpty()) {
        settle(1);
        QVERIFY(m_presenter->messages.isEmpty());
    } else {
        QTRY_COMPARE(m_presenter->messages.size(), 1);
        QVERIFY2(m_presenter->messages.at(0).text.startsWith(shown), qPrintable(m_presenter->messages.at(0).text));
        if (shown == SessionExpired)
            QCOMPARE(m_presenter->messages.at(0).text, SessionExpired);
        QCOMPARE(m_presenter->messages.at(0).kind, MessageKind::Error);
    }
    QCOMPARE(names(*table), keepsRows ? QStringList({ QStringLiteral("old-1"), QStringLiteral("old-2") })
                                      : QStringList());
    QCOMPARE(m_waitDlg->ProcessCount(), 0);
}

void tst_ComLookups::dataLookupsSync()
{
    auto table = newTable();
    fillOld(*table);
    table->setReadOnly(true);
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C") })));
    DataLookups(QStringLiteral("/acf/v1/master/cost-centers"), table.get(), 0, QStringLiteral("p"), false);
    // loaded before the call returns
    QCOMPARE(names(*table), QStringList({ QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C") }));
    QVERIFY(table->readOnly());
    QCOMPARE(m_server->lastRequest().queryItems,
             items({ { "params", "p" }, { "showall", "0" }, { "mode", "lookup" } }));

    // the body is read whatever the status
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("denied-but-rows") }), 403));
    DataLookups(QStringLiteral("/x"), table.get(), 1, QString(), false);
    QCOMPARE(names(*table), QStringList(QStringLiteral("denied-but-rows")));
    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(m_waitDlg->ProcessCount(), 0);
}

void tst_ComLookups::dataLookupsSyncFailures()
{
    auto table = newTable();
    fillOld(*table);

    // an error object: the table is emptied and the caller hears of it
    m_server->enqueue(Reply::json(R"({"message":"Unauthorized"})", 401));
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                             DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), false));
    QCOMPARE(table->recordCount(), 0);

    // a body that is no JSON object changes nothing
    fillOld(*table);
    m_server->enqueue(Reply::json(QByteArray(5 * 1024 * 1024, ']'), 200));
    DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), false);
    QCOMPARE(table->recordCount(), 2);

    // no answer: the caller gets the transport failure, the rows stay
    m_server->enqueue(Reply::withAction(Reply::Action::PartialBodyThenClose, rowsBody({ QStringLiteral("x") })));
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError,
                             DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), false));
    QCOMPARE(table->recordCount(), 2);
    QVERIFY(m_presenter->messages.isEmpty());

    RestClient = nullptr;
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError,
                             DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), false));
    RestClient = m_rest.get();
}

// Lookups of this unit and of the data utilities share the latest-read rule:
// a late answer to an earlier read, of either family, blocking or not, loads
// nothing; its own completion still runs.
void tst_ComLookups::latestLookupWins_data()
{
    QTest::addColumn<QString>("first"); // answered late
    QTest::addColumn<QString>("second");
    QTest::newRow("lookup overtaken by lookup") << "lookup" << "lookup";
    QTest::newRow("lookup overtaken by a blocking status read") << "lookup" << "status, blocking";
    QTest::newRow("lookup overtaken by RestLookup") << "lookup" << "rest";
    QTest::newRow("RestLookup overtaken by a blocking lookup") << "rest" << "lookup, blocking";
}

void tst_ComLookups::latestLookupWins()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    m_server->setHandler([](const RecordedRequest &r) {
        const QString who = r.queryValue(QStringLiteral("params"));
        Reply reply = Reply::json(rowsBody({ who.isEmpty() ? QStringLiteral("quick") : who }));
        if (who == QLatin1String("late"))
            reply.delayMs = 500;
        return reply;
    });
    auto table = newTable();
    int done = 0;
    const auto start = [&](const QString &kind, const QString &who) {
        if (kind == QLatin1String("rest")) {
            auto params = std::make_unique<THttpParams>();
            params->AddParam(QStringLiteral("params"), who, pdtString, ptQuery);
            RestLookup(QStringLiteral("/x"), table.get(), std::move(params), nullptr, [&done] { ++done; },
                       [&done](int, const QString &) { ++done; }, false, false);
        } else if (kind.startsWith(QLatin1String("status"))) {
            StatusLookups(QStringLiteral("1"), table.get(), false, false);
        } else {
            DataLookups(QStringLiteral("/x"), table.get(), 0, who, !kind.endsWith(QLatin1String("blocking")));
        }
    };

    start(first, QStringLiteral("late"));
    QVERIFY(m_server->waitForRequests(1));
    start(second, QStringLiteral("quick"));
    QTRY_COMPARE(names(*table), QStringList(QStringLiteral("quick")));
    settle(2);
    QTest::qWait(500);
    QCOMPARE(names(*table), QStringList(QStringLiteral("quick")));
    QCOMPARE(done, int(first == QLatin1String("rest")) + int(second == QLatin1String("rest")));
    QVERIFY(m_presenter->messages.isEmpty());
}

// ---- StatusLookups / TrCodeLookups ------------------------------------------

void tst_ComLookups::statusLookupsPath_data()
{
    QTest::addColumn<bool>("async");
    QTest::addColumn<bool>("showAll");
    QTest::newRow("async") << true << false;
    QTest::newRow("async, show all") << true << true;
    QTest::newRow("sync") << false << true;
}

void tst_ComLookups::statusLookupsPath()
{
    QFETCH(bool, async);
    QFETCH(bool, showAll);

    auto table = newTable();
    fillOld(*table);
    table->setReadOnly(true);
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("Draft"), QStringLiteral("Released") })));
    StatusLookups(QStringLiteral("7"), table.get(), showAll, async);
    const QStringList expected{ QStringLiteral("Draft"), QStringLiteral("Released") };
    if (async) {
        QCOMPARE(names(*table), QStringList({ QStringLiteral("old-1"), QStringLiteral("old-2") }));
        QTRY_COMPARE(names(*table), expected);
    } else {
        QCOMPARE(names(*table), expected);
    }
    QVERIFY(table->readOnly());
    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(m_waitDlg->ProcessCount(), 0);

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QStringLiteral("/com/v1/master/status/7"));
    QVERIFY(r.rawQuery.isEmpty());
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok-1"));
    // the long-lived client speaks the user's language, a new one en_US
    QCOMPARE(r.header("Accept-Language"), async ? QByteArray("id_ID") : QByteArray("en_US"));

    // the group id is one path segment, whatever it holds
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("x") })));
    StatusLookups(QStringLiteral("a/b c"), table.get(), showAll, async);
    QVERIFY(m_server->waitForRequests(2));
    QCOMPARE(m_server->lastRequest().rawPath, QByteArray("/com/v1/master/status/a%2Fb%20c"));
}

void tst_ComLookups::trCodeLookupsParameters_data()
{
    QTest::addColumn<bool>("async");
    QTest::addColumn<bool>("isAuth");
    QTest::newRow("async, auth") << true << true;
    QTest::newRow("async, no auth asked") << true << false;
    QTest::newRow("sync, no auth asked") << false << false;
}

void tst_ComLookups::trCodeLookupsParameters()
{
    QFETCH(bool, async);
    QFETCH(bool, isAuth);

    auto table = newTable();
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("PO"), QStringLiteral("PR") })));
    TrCodeLookups(isAuth, QStringLiteral("PRC"), table.get(), 1, async);
    QTRY_COMPARE(names(*table), QStringList({ QStringLiteral("PO"), QStringLiteral("PR") }));

    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.path, QStringLiteral("/com/v1/master/tr-codes"));
    QCOMPARE(r.queryItems, items({ { "mode", "lookup" }, { "q", "PRC" }, { "show_all", "1" } }));
    QVERIFY(!r.hasQueryItem(QStringLiteral("showall")));
    QVERIFY(!r.hasQueryItem(QStringLiteral("tr_group_id")));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok-1"));
}

void tst_ComLookups::asyncStatusAndTrCodeFailuresAreSilent_data()
{
    QTest::addColumn<bool>("trCodes");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("body");

    const int respond = int(Reply::Action::Respond);
    for (bool trCodes : { false, true }) {
        const char *fn = trCodes ? "TrCodeLookups" : "StatusLookups";
        QTest::addRow("%s 401", fn) << trCodes << 401 << respond << QByteArray(R"({"message":"expired"})");
        QTest::addRow("%s 500 with rows", fn) << trCodes << 500 << respond << rowsBody({ QStringLiteral("x") });
        QTest::addRow("%s 5 MB garbage", fn) << trCodes << 200 << respond << QByteArray(5 * 1024 * 1024, 'z');
        QTest::addRow("%s closed mid-body", fn) << trCodes << 200 << int(Reply::Action::PartialBodyThenClose)
                                                << rowsBody({ QStringLiteral("x") });
        QTest::addRow("%s no answer", fn) << trCodes << 200 << int(Reply::Action::CloseWithoutAnswer) << QByteArray();
    }
}

void tst_ComLookups::asyncStatusAndTrCodeFailuresAreSilent()
{
    QFETCH(bool, trCodes);
    QFETCH(int, status);
    QFETCH(int, action);
    QFETCH(QByteArray, body);

    Reply reply = Reply::json(body, status);
    reply.action = Reply::Action(action);
    // every time: the network layer may try once more on a new connection
    m_server->setHandler([reply](const RecordedRequest &) { return reply; });
    auto table = newTable();
    fillOld(*table);
    if (trCodes)
        TrCodeLookups(true, QStringLiteral("G"), table.get(), 0, true);
    else
        StatusLookups(QStringLiteral("3"), table.get(), true, true);
    settle(1);
    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(names(*table), QStringList({ QStringLiteral("old-1"), QStringLiteral("old-2") }));

    // no REST client: nothing is sent, nothing happens
    RestClient = nullptr;
    StatusLookups(QStringLiteral("3"), table.get(), true, true);
    TrCodeLookups(true, QStringLiteral("G"), table.get(), 0, true);
    RestClient = m_rest.get();
    const int sent = m_server->requestCount();
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), sent);
    QCOMPARE(table->recordCount(), 2);
}

void tst_ComLookups::syncStatusAndTrCodeReadAnyStatus()
{
    auto table = newTable();
    m_server->enqueue(Reply::json(rowsBody({ QStringLiteral("in-a-401") }), 401));
    StatusLookups(QStringLiteral("5"), table.get(), false, false);
    QCOMPARE(names(*table), QStringList(QStringLiteral("in-a-401")));

    m_server->enqueue(Reply::json(R"({"errors":[]})", 422));
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                             TrCodeLookups(false, QStringLiteral("G"), table.get(), 0, false));
    QCOMPARE(table->recordCount(), 0);

    m_server->setHandler([](const RecordedRequest &) {
        return Reply::withAction(Reply::Action::Garbage, "HTTP/9 nonsense");
    });
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError,
                             TrCodeLookups(false, QStringLiteral("G"), table.get(), 0, false));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_ComLookups::longLivedClientKeepsNoParameters()
{
    auto statuses = newTable();
    auto codes = newTable();
    TrCodeLookups(true, QStringLiteral("PRC"), codes.get(), 1, true);
    QVERIFY(m_server->waitForRequests(1));
    StatusLookups(QStringLiteral("9"), statuses.get(), false, true);
    QVERIFY(m_server->waitForRequests(2));
    TrCodeLookups(true, QStringLiteral("HRM"), codes.get(), 0, true);
    QVERIFY(m_server->waitForRequests(3));

    const QList<RecordedRequest> sent = m_server->requests();
    QCOMPARE(sent.at(0).queryItems, items({ { "mode", "lookup" }, { "q", "PRC" }, { "show_all", "1" } }));
    QCOMPARE(sent.at(1).path, QStringLiteral("/com/v1/master/status/9"));
    QVERIFY(sent.at(1).rawQuery.isEmpty());
    QCOMPARE(sent.at(2).queryItems, items({ { "mode", "lookup" }, { "q", "HRM" }, { "show_all", "0" } }));

    // the client's next request of any kind starts clean
    int done = 0;
    RestClient->SendRequest([&](const Platform::HttpResponse &) { ++done; },
                            [&](const Platform::Error &) { ++done; }, true)
        .get(QStringLiteral("/com/v1/master/tr-codes"));
    QTRY_COMPARE(done, 1);
    QCOMPARE(m_server->lastRequest().path, QStringLiteral("/com/v1/master/tr-codes"));
    QVERIFY(m_server->lastRequest().rawQuery.isEmpty());
}

QTEST_MAIN(tst_ComLookups)
#include "tst_comlookups.moc"
