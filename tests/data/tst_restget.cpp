#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "JsonDataSet.h"

namespace {

const QString ContactsUrl = QStringLiteral("/crm/v1/master/contacts");

const QByteArray TwoContacts = R"({"data": [
    {"contact_id": 7, "contact_name": "Ani", "job_position": "Buyer", "birth_date": "1990-04-01", "salary": 1500.5,
     "active": true, "unknown_member": "ignored"},
    {"contact_id": 8, "contact_name": "Budi", "job_position": null, "birth_date": null, "salary": 0, "active": false}],
    "pages": {"page": 2, "page_rows": 20, "page_count": 100, "rec_count": 25}})";

} // namespace

// A list screen: its table, paging bar and error handler.
struct Screen : PagingBar
{
    std::unique_ptr<Platform::MemTable> table = contactTable();
    TErrorHandler errorHandler;
};

class tst_RestGet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<DataTestEnv>();
        m_screen = std::make_unique<Screen>();
        m_log.clear();
        m_log.watchTable(m_screen->table.get());
        m_log.watchWaitDlg();
    }
    void cleanup()
    {
        m_screen.reset();
        m_env.reset();
    }
    void loadsRowsAndPagesInOrder();
    void closingSteps_data();
    void closingSteps();
    void latestReadWins();
    void exceptionsInCallbacksStayInside();
    void failuresAreToldInTheUsersWords_data();
    void failuresAreToldInTheUsersWords();
    void answerWithoutAListLeavesNoTotals_data();
    void answerWithoutAListLeavesNoTotals();
    void lookupsSendTheirParameters();
    void largeListsAreReadWhileTheyArrive();
    void detailRowRefreshesTheCurrentRow();
    void detailRowOfAScreenClosedMeanwhile();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Screen> m_screen;
    CycleLog m_log;

    void readList(std::unique_ptr<THttpParams> AParams, TProc AComplete, TErrorProc AError = nullptr)
    {
        RestGet(ContactsUrl, m_screen->table.get(), std::move(AParams), m_screen->pagination.get(),
                &m_screen->errorHandler, std::move(AComplete), std::move(AError), true, true);
    }
};

void tst_RestGet::loadsRowsAndPagesInOrder()
{
    m_env->server.enqueue(Reply::json(TwoContacts));
    Platform::MemTable &t = *m_screen->table;
    t.setReadOnly(true);
    auto params = probedParams(m_log.entries);
    params->AddParamsType1(QStringLiteral("list"), QStringLiteral("an i"), 1, QStringLiteral("2"),
                           QStringLiteral("20"));
    readList(std::move(params), m_log.complete());

    // before the answer: empty, frozen, writable, wait dialog up
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(WaitDlg->IsFormVisible());
    QVERIFY(t.controlsDisabled());
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(!t.readOnly());
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "complete", "hide" }));

    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.path, ContactsUrl);
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    for (const auto &[name, value] : { std::pair { "mode", "list" },
                                       { "q", "an i" },
                                       { "status", "1" },
                                       { "page", "2" },
                                       { "page_rows", "20" },
                                       { "probe", "probe" } })
        QCOMPARE(r.queryValue(QString::fromUtf8(name)), QString::fromUtf8(value));

    QCOMPARE(t.recNo(), 0);
    QVERIFY(!t.controlsDisabled());
    QCOMPARE(t.rowCount(), 2); // the views see the rows
    QCOMPARE(t.rowAt(0),
             Platform::MemTable::Row(
                 { 7, QStringLiteral("Ani"), QStringLiteral("Buyer"), QDate(1990, 4, 1), 1500.5, true }));
    QCOMPARE(t.rowAt(1), Platform::MemTable::Row({ 8, QStringLiteral("Budi"), QVariant(), QVariant(), 0.0, false }));

    QCOMPARE(m_screen->page->currentText(), QStringLiteral("2"));
    QCOMPARE(m_screen->pageCount->text(), QStringLiteral("of 100"));
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 25 records"));
    QCOMPARE(m_screen->reloads, QStringList());
    QVERIFY(m_env->presenter->messages.isEmpty());
}

// The closing steps and the callbacks in their order, for a list read and
// a lookup (which closes the wait dialog before its completion): a failure
// answer is shown through the error handler or given to the caller's error
// procedure, and completes; a transport failure never does. The table is
// thawed and the parameters released on every path.
void tst_RestGet::closingSteps_data()
{
    QTest::addColumn<bool>("lookup");
    QTest::addColumn<int>("status"); // 0: refused, -1: closed mid-body, -2: garbage instead of HTTP
    QTest::addColumn<bool>("errorProc");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("shown"); // what the dialog or the error text starts with
    QTest::newRow("404 shown") << false << 404 << false << QStringList { "thaw", "release", "complete", "hide" }
                               << "Page Not Found.\r\nno such list";
    QTest::newRow("422 to error proc") << false << 422 << true
                                       << QStringList { "thaw", "release", "error 422", "complete", "hide" }
                                       << "no such list";
    QTest::newRow("refused shown") << false << 0 << false << QStringList { "thaw", "release", "hide" }
                                   << "Cannot connect to the server. Check the network connection and try again.";
    QTest::newRow("closed mid-body to error proc")
        << false << -1 << true << QStringList { "thaw", "release", "error 500", "hide" }
        << "The server failed to give a complete answer. Please try again.";
    QTest::newRow("lookup") << true << 200 << false << QStringList { "thaw", "release", "hide", "complete" } << "";
    QTest::newRow("lookup 403 to error proc")
        << true << 403 << true << QStringList { "thaw", "release", "error 403", "hide", "complete" } << "no such list";
    QTest::newRow("lookup garbage") << true << -2 << true << QStringList { "thaw", "release", "hide", "error 500" }
                                    << "The server failed to give a complete answer. Please try again.";
}

void tst_RestGet::closingSteps()
{
    QFETCH(bool, lookup);
    QFETCH(int, status);
    QFETCH(bool, errorProc);
    QFETCH(QStringList, log);
    QFETCH(QString, shown);
    if (status == 200) {
        m_env->server.enqueue(Reply::json(R"({"data": [{"contact_id": 1}]})"));
    } else if (status > 0) {
        m_env->server.enqueue(Reply::text("no such list", status));
    } else if (status == 0) {
        DataTestEnv::replaceRestClient();
    } else { // every time: the network layer may try once more on a new connection
        m_env->server.setHandler([status](const RecordedRequest &) {
            return Reply::withAction(status == -1 ? Reply::Action::PartialBodyThenClose : Reply::Action::Garbage,
                                     TwoContacts);
        });
    }
    const TErrorProc error = errorProc ? m_log.error() : TErrorProc();
    if (lookup)
        RestLookup(ContactsUrl, m_screen->table.get(), probedParams(m_log.entries), &m_screen->errorHandler,
                   m_log.complete(), error, true, true);
    else
        readList(probedParams(m_log.entries), m_log.complete(), error);
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(m_log.waitFor(log.last()));
    QTest::qWait(50);
    QCOMPARE(m_log.entries, log);
    const QString text = errorProc ? m_log.lastErrorText : m_env->presenter->texts().value(0);
    QVERIFY2(status > 0 ? text == shown : text.startsWith(shown), qPrintable(text));
    QCOMPARE(m_env->presenter->messages.size(), errorProc || shown.isEmpty() ? 0 : 1);
    if (!m_env->presenter->messages.isEmpty())
        QCOMPARE(m_env->presenter->messages.at(0).kind, Platform::MessageKind::Error);
    QCOMPARE(m_screen->table->recordCount(), status == 200 ? 1 : 0); // no half list shown
    QVERIFY(!m_screen->table->controlsDisabled());
    QCOMPARE(m_screen->pageCount->text(), QString()); // the bar is not touched
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestGet::latestReadWins()
{
    // the first read is answered after the second
    m_env->server.setHandler([](const RecordedRequest &r) {
        if (r.queryValue(QStringLiteral("q")) == QLatin1String("first")) {
            Reply reply = Reply::json(R"({"data": [{"contact_name": "old"}], "pages": {"page_count": 7}})");
            reply.delayMs = 400;
            return reply;
        }
        return Reply::json(R"({"data": [{"contact_name": "new"}], "pages": {"page_count": 1}})");
    });
    QStringList firstLog; // the overtaken read's parameters are released too
    auto firstParams = probedParams(firstLog);
    firstParams->AddParam(QStringLiteral("q"), QStringLiteral("first"), pdtString, ptQuery);
    auto secondParams = std::make_unique<THttpParams>();
    secondParams->AddParam(QStringLiteral("q"), QStringLiteral("second"), pdtString, ptQuery);
    Platform::MemTable *t = m_screen->table.get();
    readList(std::move(firstParams), m_log.complete(QStringLiteral("complete 1")));
    QVERIFY(m_env->server.waitForRequests(1));
    readList(std::move(secondParams), m_log.complete(QStringLiteral("complete 2")));
    QCOMPARE(WaitDlg->ProcessCount(), 2);

    QVERIFY(m_log.waitFor(QStringLiteral("complete 2")));
    QCOMPARE(columnTexts(*t, QStringLiteral("contact_name")), QStringList({ "new" }));
    QVERIFY(t->controlsDisabled()); // the first read still holds its freeze
    QVERIFY(WaitDlg->IsFormVisible());

    // the late first answer closes its request but loads nothing
    QVERIFY(m_log.waitFor(QStringLiteral("complete 1")));
    QCOMPARE(columnTexts(*t, QStringLiteral("contact_name")), QStringList({ "new" }));
    QCOMPARE(m_screen->pageCount->text(), QStringLiteral("of 1"));
    QVERIFY(!t->controlsDisabled());
    QCOMPARE(firstLog, QStringList({ "release" }));
    QCOMPARE(m_log.entries, QStringList({ "complete 2", "thaw", "complete 1", "hide" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestGet::exceptionsInCallbacksStayInside()
{
    // an error callback that throws: the closing steps still run
    m_env->server.enqueue(Reply::text("gone", 410));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("reporting the failure: boom")));
    readList(probedParams(m_log.entries), m_log.complete(),
             [](int, const QString &) { throw Platform::Error(QStringLiteral("boom")); });
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "complete", "hide" }));

    // a completion callback that throws: the wait dialog still goes
    m_log.entries.clear();
    m_env->server.enqueue(Reply::json(R"({"data": [{"contact_id": 4}]})"));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("completion callback: late")));
    readList(probedParams(m_log.entries), [] { throw std::runtime_error("late"); });
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "hide" }));
    QCOMPARE(m_screen->table->recordCount(), 1);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// What the user reads when a read fails: what happened, in the user's
// words, never an error page's source; and the emptied table is thawed
// before the dialog, so no blank rows stand behind it.
void tst_RestGet::failuresAreToldInTheUsersWords_data()
{
    QTest::addColumn<int>("status"); // 0: refused, -1: no answer in time, -2: garbage instead of HTTP
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("shown");
    QTest::newRow("refused") << 0 << QByteArray()
                             << "Cannot connect to the server. Check the network connection and try again.";
    QTest::newRow("no answer in time") << -1 << QByteArray() << "The server did not answer in time. Please try again.";
    QTest::newRow("garbage") << -2 << QByteArray("SMTP ready\r\n")
                             << "The server failed to give a complete answer. Please try again.";
    QTest::newRow("500 error page") << 500 << QByteArray("<!DOCTYPE html><html><body><h1>500</h1></body></html>")
                                    << "Server Error.";
    QTest::newRow("404 error page") << 404 << QByteArray("  <html><body>Not Found</body></html>") << "Page Not Found.";
    QTest::newRow("503 plain text") << 503 << QByteArray("maintenance until 10:00")
                                    << "Server Error.\r\nmaintenance until 10:00";
}

void tst_RestGet::failuresAreToldInTheUsersWords()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);
    Platform::MemTable *t = m_screen->table.get();
    // rows of an earlier read, which the failed one empties
    m_env->server.enqueue(Reply::json(TwoContacts));
    readList(nullptr, m_log.complete(QStringLiteral("loaded")));
    QVERIFY(m_log.waitFor(QStringLiteral("loaded")));
    QCOMPARE(t->rowCount(), 2);

    if (status == 0) {
        DataTestEnv::replaceRestClient();
    } else if (status == -1) {
        DataTestEnv::replaceRestClient(m_env->server.url(), 300);
        m_env->server.enqueue(Reply::withAction(Reply::Action::Hang));
    } else if (status == -2) {
        m_env->server.setHandler(
            [body](const RecordedRequest &) { return Reply::withAction(Reply::Action::Garbage, body); });
    } else {
        Reply reply = Reply::text(body, status);
        reply.contentType = "text/html";
        m_env->server.enqueue(reply);
    }
    QList<bool> frozenAtDialog;
    QList<int> viewRowsAtDialog;
    m_env->presenter->onMessage = [&](const RecordingPresenter::Message &) {
        frozenAtDialog.append(t->controlsDisabled());
        viewRowsAtDialog.append(t->rowCount());
    };
    readList(nullptr, m_log.complete());
    QVERIFY(QTest::qWaitFor([&] { return !m_env->presenter->messages.isEmpty(); }, 5000));
    QCOMPARE(m_env->presenter->texts(), QStringList { shown });
    QCOMPARE(m_env->presenter->messages.at(0).kind, Platform::MessageKind::Error);
    QCOMPARE(frozenAtDialog, QList<bool> { false });
    QCOMPARE(viewRowsAtDialog, QList<int> { 0 });
    QTRY_COMPARE(WaitDlg->ProcessCount(), 0);
    m_env->presenter->onMessage = nullptr;
}

// A 200 answer that holds no list is not reported, but the paging bar drops
// the totals of the list that was there before.
void tst_RestGet::answerWithoutAListLeavesNoTotals_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("malformed") << QByteArray(R"({"data": [{"contact_id": 1})");
    QTest::newRow("an array") << QByteArray(R"([{"contact_id": 1}])");
    QTest::newRow("data an object") << QByteArray(
        R"({"data": {"contact_id": 1}, "pages": {"page_count": 5, "rec_count": 730}})");
    QTest::newRow("no data") << QByteArray(R"({"pages": {"page": 3, "page_count": 5, "rec_count": 730}})");
}

void tst_RestGet::answerWithoutAListLeavesNoTotals()
{
    QFETCH(QByteArray, body);
    m_env->server.enqueue(Reply::json(R"({"data": [{"contact_id": 1}], "pages": {"page": 2, "page_count": 37,
                                          "rec_count": 730}})"));
    readList(nullptr, m_log.complete(QStringLiteral("first")));
    QVERIFY(m_log.waitFor(QStringLiteral("first")));
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 730 records"));

    m_env->server.enqueue(Reply::json(body));
    readList(nullptr, m_log.complete());
    QVERIFY(m_log.waitFor(QStringLiteral("complete")));
    QCOMPARE(m_screen->table->recordCount(), 0);
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 0 records"));
    QCOMPARE(m_screen->pageCount->text(), QStringLiteral("of 0"));
    QCOMPARE(m_screen->page->count(), 0);
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(m_screen->reloads, QStringList());
}

// A list too large to gather first is read while it arrives: every row, the
// totals after it, a row only Qt's parser takes (a raw tab in a text) read as
// Qt reads it, and a body that breaks off in its envelope loads nothing.
void tst_RestGet::largeListsAreReadWhileTheyArrive()
{
    QByteArrayList rows;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray n = QByteArray::number(i);
        rows.append(R"({"contact_id": )" + n + R"(, "contact_name": "Contact )" + n
                    + (i == 15000 ? "\twith a raw tab" : "")
                    + R"(", "job_position": "Buyer of office supplies", "birth_date": "1990-04-)"
                    + QByteArray::number(10 + i % 19) + R"(", "salary": )" + n + R"(.5, "active": )"
                    + (i % 2 ? "true" : "false") + "}");
    }
    const QByteArray body =
        R"({"data": [)" + rows.join(",\n") + R"(], "pages": {"page": 1, "page_count": 1, "rec_count": 20000}})";
    QVERIFY(body.size() > 2 * Platform::JsonDataSet::ArrayMemberReader::WholeBodyBytes);
    m_env->server.enqueue(Reply::json(body));
    readList(nullptr, m_log.complete(QStringLiteral("large")));
    QVERIFY(m_log.waitFor(QStringLiteral("large")));
    const Platform::MemTable &t = *m_screen->table;
    QCOMPARE(t.recordCount(), 20000);
    QCOMPARE(
        t.rowAt(19999),
        Platform::MemTable::Row({ 19999, QStringLiteral("Contact 19999"), QStringLiteral("Buyer of office supplies"),
                                  QDate(1990, 4, 21), 19999.5, true }));
    QCOMPARE(t.rowAt(15000).at(1).toString(), QStringLiteral("Contact 15000\twith a raw tab"));
    QCOMPARE(t.rowAt(14999).at(0).toInt(), 14999);
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 20000 records"));

    m_env->server.enqueue(Reply::json(body.left(body.size() - 2))); // the envelope never closes
    readList(nullptr, m_log.complete(QStringLiteral("cut")));
    QVERIFY(m_log.waitFor(QStringLiteral("cut")));
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 0 records"));
    QVERIFY(m_env->presenter->messages.isEmpty());
}

// The lookups a module calls every day, as the server receives them.
void tst_RestGet::lookupsSendTheirParameters()
{
    auto table = newTable({ { "tr_code", FT::String }, { "tr_name", FT::String } });
    m_env->server.setHandler([](const RecordedRequest &) {
        return Reply::json(R"({"data": [{"tr_code": "PR", "tr_name": "Requisition"}, {"tr_code": "PO"}]})");
    });
    const auto lastQuery = [this] {
        QMap<QString, QString> query;
        for (const auto &[name, value] : m_env->server.lastRequest().queryItems)
            query.insert(name, value);
        return query;
    };
    using Query = QMap<QString, QString>;

    // whatever AIsAuth says: the authorised client
    RestLookupTrCodes(QStringLiteral("PRC"), table.get(), false, true, &m_screen->errorHandler,
                      m_log.complete(QStringLiteral("tr")), nullptr, false, false);
    QVERIFY(m_log.waitFor(QStringLiteral("tr")));
    QCOMPARE(m_env->server.lastRequest().path, QStringLiteral("/com/v1/master/tr-codes"));
    QCOMPARE(m_env->server.lastRequest().header("Authorization"), QByteArray("Bearer tok"));
    QCOMPARE(lastQuery(), (Query { { "showall", "1" }, { "tr_group_id", "PRC" } }));
    QCOMPARE(columnTexts(*table, QStringLiteral("tr_code")), QStringList({ "PR", "PO" }));
    QCOMPARE(table->recNo(), 0);

    RestLookupDataStatus(2, QStringLiteral("7"), table.get(), false, QStringLiteral("module=prc\r\nq=open"),
                         &m_screen->errorHandler, m_log.complete(QStringLiteral("status")), nullptr, false, false);
    QVERIFY(m_log.waitFor(QStringLiteral("status")));
    QCOMPARE(m_env->server.lastRequest().path, QStringLiteral("/com/v1/master/status"));
    QCOMPARE(
        lastQuery(),
        (Query {
            { "type", "2" }, { "status_group_id", "7" }, { "showall", "0" }, { "module", "prc" }, { "q", "open" } }));

    RestLookup(QStringLiteral("/com/v1/master/countries"), table.get(), false, QStringLiteral("a=1\nb=x=y\n\nc"),
               &m_screen->errorHandler, m_log.complete(QStringLiteral("text form")), nullptr, false, false);
    QVERIFY(m_log.waitFor(QStringLiteral("text form")));
    QCOMPARE(lastQuery(), (Query { { "showall", "0" }, { "a", "1" }, { "b", "x=y" }, { "c", "" } }));

    // a line that repeats "showall" is refused before anything is sent
    const int sent = m_env->server.requestCount();
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             RestLookup(QStringLiteral("/com/v1/master/countries"), table.get(), true,
                                        QStringLiteral("showall=1"), &m_screen->errorHandler, m_log.complete(), nullptr,
                                        false, false));
    QTest::qWait(50);
    QCOMPARE(m_env->server.requestCount(), sent);
    QCOMPARE(table->recordCount(), 2); // the table was not touched
    QVERIFY(m_env->presenter->messages.isEmpty());
}

// RestGetDetailRow refreshes the current row in place and blocks; a table
// without a row gets the record as its one row.
void tst_RestGet::detailRowRefreshesTheCurrentRow()
{
    Platform::MemTable &t = *m_screen->table;
    const QString url = QStringLiteral("/crm/v1/master/contacts/{contact_id}");
    const auto params = [] {
        auto p = std::make_unique<THttpParams>();
        p->AddParam(QStringLiteral("contact_id"), 8, pdtInteger, ptPath);
        return p;
    };
    m_env->server.setHandler([](const RecordedRequest &r) {
        if (r.path != QLatin1String("/crm/v1/master/contacts/8"))
            return Reply::json(R"({"message": "no such contact"})", 404);
        return Reply::json(R"({"data": {"contact_id": 8, "contact_name": "Budi", "salary": 99.5}})");
    });

    // an empty table: the record becomes its row
    RestGetDetailRow(url, &t, params(), &m_screen->errorHandler, nullptr, true, false);
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(t.value(QStringLiteral("contact_name")), QVariant(QStringLiteral("Budi")));
    QVERIFY(!t.isEditing());
    QCOMPARE(WaitDlg->ProcessCount(), 0);

    // the current row of a read-only table: refreshed in place, read-only again
    t.edit();
    t.setValue(QStringLiteral("contact_name"), QStringLiteral("stale"));
    t.setValue(QStringLiteral("job_position"), QStringLiteral("kept"));
    t.post();
    t.append();
    t.setValue(QStringLiteral("contact_id"), 9);
    t.post();
    t.first();
    t.setReadOnly(true);
    RestGetDetailRow(url, &t, params(), &m_screen->errorHandler, nullptr, false, false);
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.value(QStringLiteral("contact_name")), QVariant(QStringLiteral("Budi")));
    QCOMPARE(t.value(QStringLiteral("job_position")), QVariant(QStringLiteral("kept")));
    QCOMPARE(t.value(QStringLiteral("salary")), QVariant(99.5));
    QVERIFY(t.readOnly());

    // refused: the error handler's dialog, the row as it was
    RestGetDetailRow(QStringLiteral("/crm/v1/master/contacts/404"), &t, nullptr, &m_screen->errorHandler, nullptr,
                     false, false);
    QCOMPARE(m_env->presenter->texts(), QStringList { "Page Not Found.\r\n{\"message\": \"no such contact\"}" });
    QCOMPARE(t.value(QStringLiteral("contact_name")), QVariant(QStringLiteral("Budi")));
    QVERIFY(t.readOnly());

    // no answer: raised to the caller, the wait dialog hidden, read-only kept
    DataTestEnv::replaceRestClient();
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError,
                             RestGetDetailRow(url, &t, params(), &m_screen->errorHandler, nullptr, true, true));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(t.readOnly());
    QCOMPARE(t.recordCount(), 2);
}

// The wait dialog lets queued events run before the detail row is asked
// for; a screen that closes in that moment takes its table along, and the
// read must not touch it.
void tst_RestGet::detailRowOfAScreenClosedMeanwhile()
{
    m_env->server.setHandler(
        [](const RecordedRequest &) { return Reply::json(R"({"data": {"contact_id": 8, "contact_name": "Budi"}})"); });
    const int sent = m_env->server.requestCount();
    QTimer::singleShot(0, m_screen->table.get(), [this] { m_screen.reset(); });
    RestGetDetailRow(QStringLiteral("/crm/v1/master/contacts/8"), m_screen->table.get(), nullptr, nullptr, nullptr,
                     true, false);
    QVERIFY(!m_screen);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QCOMPARE(m_env->server.requestCount(), sent); // nothing left to ask for
    QVERIFY(m_env->presenter->messages.isEmpty());
}

QTEST_MAIN(tst_RestGet)
#include "tst_restget.moc"
