#include "ComLookupsU.h"
#include "DataTestSupport.h"
#include "Errors.h"

using Platform::MemTable;

namespace {

const QString SessionExpired = QStringLiteral("Session has expired, please re-login.");
const QStringList OldRows { QStringLiteral("old-1"), QStringLiteral("old-2") };

// A lookup table as screens declare it, holding the rows of an earlier read.
std::unique_ptr<MemTable> oldTable()
{
    auto t = newTable({ { "status_id", FT::Integer }, { "status_name", FT::String }, { "rate", FT::Float } });
    t->setRows({ { 90, OldRows.at(0), 1.0 }, { 91, OldRows.at(1), 2.0 } });
    return t;
}

QByteArray rowsBody(const QStringList &ANames, const QByteArray &APages = "null")
{
    QStringList rows;
    for (const QString &name : ANames)
        rows.append(QStringLiteral(R"({"status_name":"%1"})").arg(name));
    return R"({"data":[)" + rows.join(u',').toUtf8() + R"(],"pages":)" + APages + '}';
}

QStringList names(const MemTable &ATable)
{
    return columnTexts(ATable, QStringLiteral("status_name"));
}

// The query as sent, "name=value" in the order sent.
QStringList query(const RecordedRequest &r)
{
    QStringList out;
    for (const auto &item : r.queryItems)
        out.append(item.first + QLatin1Char('=') + item.second);
    return out;
}

} // namespace

class tst_ComLookups : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<DataTestEnv>();
        WaitDlg->SetMainForm(&m_mainForm);
    }
    void cleanup()
    {
        QTest::qWait(50); // nothing may still be on its way into the next test
        m_env.reset();
    }
    void dataListRequestAndLoad();
    void dataListFailures_data();
    void dataListFailures();
    void dataListAnswerWithoutAList();
    void dataLookups();
    void dataLookupsFailures();
    void latestLookupWins();
    void statusAndTrCodeLookups();

private:
    std::unique_ptr<DataTestEnv> m_env;
    QWidget m_mainForm;
};

void tst_ComLookups::dataListRequestAndLoad()
{
    auto table = oldTable();
    table->setReadOnly(true);
    PagingBar bar;
    m_env->server.enqueue(Reply::json(rowsBody({ QStringLiteral("Open"), QStringLiteral("Closed") },
                                               R"({"page":2,"page_rows":20,"page_count":5,"rec_count":93})")));
    DataList(QStringLiteral("/acf/v1/master/cost-centers"), table.get(), QStringLiteral("branch=01&x=y"),
             QStringLiteral("  abc  "), 1, bar.pagination.get(), QStringLiteral("2"), QStringLiteral("20"));

    // before the answer: empty, writable, frozen, wait dialog up
    QCOMPARE(table->recordCount(), 0);
    QVERIFY(!table->readOnly());
    QVERIFY(table->controlsDisabled());
    QVERIFY(WaitDlg->IsFormVisible());
    QVERIFY(!m_mainForm.isEnabled());

    QTRY_COMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(m_mainForm.isEnabled());
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(names(*table), QStringList({ "Open", "Closed" }));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 93 records"));
    QCOMPARE(bar.reloads, QStringList());
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(m_env->server.lastRequest().path, QStringLiteral("/acf/v1/master/cost-centers"));
    QCOMPARE(query(m_env->server.lastRequest()),
             QStringList({ "mode=list", "params=branch=01&x=y", "q=abc", "status=1", "page=2", "page_rows=20" }));

    // the dated list sends its period instead of a status
    m_env->server.enqueue(Reply::json(rowsBody({ QStringLiteral("PO-1") })));
    DataListDate(QStringLiteral("/prc/v1/purchase-orders"), table.get(), QString(), QStringLiteral("\tpo \n"),
                 QDate(2024, 3, 5), QDate(2024, 3, 31), bar.pagination.get(), QStringLiteral("1"),
                 QStringLiteral("50"));
    QTRY_COMPARE(names(*table), QStringList({ "PO-1" }));
    QCOMPARE(query(m_env->server.lastRequest()),
             QStringList({ "mode=list", "params=", "q=po", "start_date=2024-03-05", "end_date=2024-03-31", "page=1",
                           "page_rows=50" }));
}

// Failures are shown, rows of the earlier read go, the paging bar stays as
// it was and the wait dialog closes, even while another request holds it.
void tst_ComLookups::dataListFailures_data()
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
    // an error page is told by its status, never by its source
    QTest::newRow("404 error page") << 404 << QByteArray("<html><body><h1>404 Not Found</h1></body></html>")
                                    << QStringLiteral("Page Not Found.");
    QTest::newRow("500 error page") << 500 << QByteArray("\n<!DOCTYPE html><html>Internal Server Error</html>")
                                    << QStringLiteral("Server Error.");
    QTest::newRow("502 empty") << 502 << QByteArray() << QStringLiteral("Server Error.");
    QTest::newRow("500 message") << 500 << QByteArray(R"({"message":"database is down"})")
                                 << QStringLiteral("database is down");
    QTest::newRow("refused") << 0 << QByteArray()
                             << QStringLiteral("Cannot connect to the server. Check the network connection and try "
                                               "again.");
}

void tst_ComLookups::dataListFailures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);
    if (status == 0) {
        DataTestEnv::replaceRestClient();
    } else {
        Reply reply = Reply::json(body, status);
        if (body.contains('<'))
            reply.contentType = "text/html";
        m_env->server.enqueue(reply);
    }
    auto table = oldTable();
    PagingBar bar;
    bar.pagination->Paginate(QJsonObject { { "page", 3 }, { "page_count", 4 }, { "rec_count", 40 } });
    // the emptied table is thawed before the dialog: no blank rows behind it
    QList<int> viewRowsAtDialog;
    m_env->presenter->onMessage = [&](const RecordingPresenter::Message &) {
        viewRowsAtDialog.append(table->controlsDisabled() ? -1 : table->rowCount());
    };
    WaitDlg->Show(); // another request's
    DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QString(), 1, bar.pagination.get(),
             QStringLiteral("1"), QStringLiteral("10"));
    QTRY_COMPARE(WaitDlg->ProcessCount(), 1);
    m_env->presenter->onMessage = nullptr;

    QCOMPARE(m_env->presenter->texts(), QStringList({ shown }));
    QCOMPARE(viewRowsAtDialog, QList<int> { 0 });
    QVERIFY(!WaitDlg->IsFormVisible());
    QVERIFY(m_mainForm.isEnabled());
    QCOMPARE(table->recordCount(), 0);
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(bar.page->currentText(), QStringLiteral("3"));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 40 records"));
}

// A 200 answer without a list is not reported, and the paging bar shows no
// totals of the list that was there before.
void tst_ComLookups::dataListAnswerWithoutAList()
{
    auto table = oldTable();
    PagingBar bar;
    for (const QByteArray &body :
         { QByteArray("{\"data\":["), QByteArray("[{\"status_name\":\"x\"}]"),
           QByteArray(R"({"data":{"status_name":"x"},"pages":{"page_count":37,"rec_count":730}})"),
           QByteArray(R"({"pages":{"page":2,"page_count":37,"rec_count":730}})") }) {
        bar.pagination->Paginate(QJsonObject { { "page", 2 }, { "page_count", 37 }, { "rec_count", 730 } });
        QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 730 records"));
        m_env->server.enqueue(Reply::json(body));
        DataList(QStringLiteral("/crm/v1/customers"), table.get(), QString(), QString(), 1, bar.pagination.get(),
                 QStringLiteral("2"), QStringLiteral("20"));
        QTRY_COMPARE(WaitDlg->ProcessCount(), 0);
        QCOMPARE(table->recordCount(), 0);
        QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 0 records"));
        QCOMPARE(bar.pageCount->text(), QStringLiteral("of 0"));
    }
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(bar.reloads, QStringList());
}

void tst_ComLookups::dataLookups()
{
    auto table = oldTable();
    table->setReadOnly(true);
    m_env->server.enqueue(Reply::json(R"({"data":[{"status_id":"7","status_name":12,"rate":"abc"},)"
                                      R"({"status_id":1.5,"status_name":"Two","rate":"2.25"}]})"));
    DataLookups(QStringLiteral("/hrm/v1/master/employees"), table.get(), 1, QStringLiteral("dept=IT"), true);

    // no wait dialog, no freezing, the old rows until the answer
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(!table->controlsDisabled());
    QCOMPARE(names(*table), OldRows);
    QTRY_COMPARE(names(*table), QStringList({ "12", "Two" }));
    QVERIFY(table->readOnly());
    QCOMPARE(query(m_env->server.lastRequest()), QStringList({ "params=dept=IT", "showall=1", "mode=lookup" }));

    // blocking: loaded before the call returns, whatever the status
    m_env->server.enqueue(Reply::json(rowsBody({ QStringLiteral("denied-but-rows") }), 403));
    DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), false);
    QCOMPARE(names(*table), QStringList({ "denied-but-rows" }));
    QVERIFY(m_env->presenter->messages.isEmpty());
}

void tst_ComLookups::dataLookupsFailures()
{
    // not blocking: only an expired session is told, the rows stay
    auto table = oldTable();
    for (int status : { 500, 401 }) {
        m_env->server.enqueue(Reply::json(R"({"message":"no"})", status));
        DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), true);
        QVERIFY(m_env->server.waitForRequests(status == 500 ? 1 : 2));
        QTest::qWait(300);
    }
    QCOMPARE(m_env->presenter->texts(), QStringList({ SessionExpired }));
    QCOMPARE(names(*table), OldRows);

    // blocking: an error object empties the table and raises
    m_env->server.enqueue(Reply::json(R"({"message":"Unauthorized"})", 401));
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                             DataLookups(QStringLiteral("/x"), table.get(), 0, QString(), false));
    QCOMPARE(table->recordCount(), 0);
    QCOMPARE(m_env->presenter->messages.size(), 1);
}

// The lookups of this unit and of the data utilities share the latest-read
// rule: a late answer to an earlier read loads nothing; the later read's
// completion still runs.
void tst_ComLookups::latestLookupWins()
{
    m_env->server.setHandler([](const RecordedRequest &r) {
        const QString who = r.queryValue(QStringLiteral("params"));
        Reply reply = Reply::json(rowsBody({ who }));
        if (who == QLatin1String("late"))
            reply.delayMs = 500;
        return reply;
    });
    auto table = oldTable();
    DataLookups(QStringLiteral("/x"), table.get(), 0, QStringLiteral("late"), true);
    QVERIFY(m_env->server.waitForRequests(1));
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("params"), QStringLiteral("quick"), pdtString, ptQuery);
    int done = 0;
    RestLookup(
        QStringLiteral("/x"), table.get(), std::move(params), nullptr, [&done] { ++done; }, nullptr, false, false);
    QTRY_COMPARE(done, 1);
    QCOMPARE(names(*table), QStringList({ "quick" }));
    QTest::qWait(700);
    QCOMPARE(names(*table), QStringList({ "quick" }));
    QVERIFY(m_env->presenter->messages.isEmpty());
}

// Status and transaction code lookups share one long-lived client: each
// request carries its own parameters only.
void tst_ComLookups::statusAndTrCodeLookups()
{
    auto codes = oldTable(), statuses = oldTable();
    for (const char *name : { "PO", "Draft", "Released" })
        m_env->server.enqueue(Reply::json(rowsBody({ QString::fromLatin1(name) })));
    TrCodeLookups(true, QStringLiteral("PRC"), codes.get(), 1, true);
    QTRY_COMPARE(names(*codes), QStringList({ "PO" }));
    StatusLookups(QStringLiteral("a/b c"), statuses.get(), true, true);
    QTRY_COMPARE(names(*statuses), QStringList({ "Draft" }));
    StatusLookups(QStringLiteral("7"), statuses.get(), false, false);
    QCOMPARE(names(*statuses), QStringList({ "Released" }));

    const QList<RecordedRequest> sent = m_env->server.requests();
    QCOMPARE(sent.at(0).path, QStringLiteral("/com/v1/master/tr-codes"));
    QCOMPARE(query(sent.at(0)), QStringList({ "mode=lookup", "q=PRC", "show_all=1" }));
    QCOMPARE(sent.at(0).header("Authorization"), QByteArray("Bearer tok"));
    QCOMPARE(sent.at(1).rawPath, QByteArray("/com/v1/master/status/a%2Fb%20c")); // one path segment
    QVERIFY(sent.at(1).rawQuery.isEmpty());
    QCOMPARE(sent.at(2).path, QStringLiteral("/com/v1/master/status/7"));
    // the long-lived client speaks the user's language, a new one en_US
    QCOMPARE(sent.at(1).header("Accept-Language"), QByteArray("id_ID"));
    QCOMPARE(sent.at(2).header("Accept-Language"), QByteArray("en_US"));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

QTEST_MAIN(tst_ComLookups)
#include "tst_comlookups.moc"
