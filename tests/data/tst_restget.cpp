#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "PaginationU.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {

const QString ContactsUrl = QStringLiteral("/crm/v1/master/contacts");

const QByteArray TwoContacts = R"({
    "data": [
        {"contact_id": 7, "contact_name": "Ani", "job_position": "Buyer", "birth_date": "1990-04-01",
         "salary": 1500.5, "active": true, "unknown_member": "ignored"},
        {"contact_id": 8, "contact_name": "Budi", "job_position": null, "birth_date": null,
         "salary": 0, "active": false}
    ],
    "pages": {"page": 2, "page_rows": 20, "page_count": 100, "rec_count": 25},
    "meta": {"took": 3}
})";

} // namespace

// A list screen: its table, paging bar and error handler.
struct Screen
{
    QWidget form;
    QComboBox *pageSize = new QComboBox(&form);
    QComboBox *page = new QComboBox(&form);
    QPushButton *first = new QPushButton(&form);
    QPushButton *prev = new QPushButton(&form);
    QPushButton *next = new QPushButton(&form);
    QPushButton *last = new QPushButton(&form);
    QLabel *pageCount = new QLabel(&form);
    QLabel *recordCount = new QLabel(&form);
    std::unique_ptr<TPagination> pagination;
    std::unique_ptr<Platform::MemTable> table = contactTable();
    TErrorHandler errorHandler;
    int reloads = 0;

    Screen()
    {
        page->setEditable(true);
        pageSize->addItems({ QStringLiteral("20"), QStringLiteral("50") });
        pagination =
            std::make_unique<TPagination>(pageSize, page, first, prev, next, last, pageCount, recordCount);
        pagination->SetOnPageDataChange([this] { ++reloads; });
    }
};

class tst_RestGet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loadsRowsAndPagesInOrder();
    void failures_data();
    void failures();
    void unconvertibleParameterIsNotSent();
    void badBodies_data();
    void badBodies();
    void latestReadWins();
    void waitDialogCounts();
    void exceptionsInCallbacksStayInside();
    void tableDestroyedDuringRead();
    void noParametersSendsBareUrl();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Screen> m_screen;
    CycleLog m_log;

    bool waitFor(const QString &AEntry, int ACount = 1)
    {
        return QTest::qWaitFor([&] { return m_log.count(AEntry) >= ACount; }, 5000);
    }
};

void tst_RestGet::init()
{
    m_env = std::make_unique<DataTestEnv>();
    m_screen = std::make_unique<Screen>();
    m_log.entries.clear();
    m_log.lastErrorText.clear();
    m_log.watchTable(m_screen->table.get());
    m_log.watchWaitDlg();
}

void tst_RestGet::cleanup()
{
    m_screen.reset();
    m_env.reset();
}

void tst_RestGet::loadsRowsAndPagesInOrder()
{
    // Given a server with two contacts on page 2 of 100
    m_env->server.enqueue(Reply::json(TwoContacts));
    Platform::MemTable &t = *m_screen->table;
    t.setReadOnly(true);
    auto params = probedParams(m_log.entries);
    params->AddParamsType1(QStringLiteral("list"), QStringLiteral("an i"), 1, QStringLiteral("2"),
                           QStringLiteral("20"));

    // When the screen reads its list with the wait dialog
    RestGet(ContactsUrl, &t, std::move(params), m_screen->pagination.get(), &m_screen->errorHandler,
            m_log.complete(), nullptr, true, true);

    // Then before the response the table is empty, frozen and writable
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(WaitDlg->IsFormVisible());
    QVERIFY(t.controlsDisabled());
    QVERIFY(t.isActive());
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(!t.readOnly());

    QVERIFY(waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "complete", "hide" }));

    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, ContactsUrl);
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    for (const auto &[name, value] : { std::pair{ "mode", "list" }, { "q", "an i" }, { "status", "1" },
                                       { "page", "2" }, { "page_rows", "20" }, { "probe", "probe" } })
        QCOMPARE(r.queryValue(QString::fromUtf8(name)), QString::fromUtf8(value));

    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.recNo(), 0);
    QVERIFY(!t.readOnly());
    QVERIFY(!t.controlsDisabled());
    QCOMPARE(t.rowCount(), 2); // the views see the rows
    QCOMPARE(t.rowAt(0), Platform::MemTable::Row({ 7, QStringLiteral("Ani"), QStringLiteral("Buyer"),
                                                    QDate(1990, 4, 1), 1500.5, true }));
    QCOMPARE(t.rowAt(1), Platform::MemTable::Row({ 8, QStringLiteral("Budi"), QVariant(), QVariant(), 0.0, false }));

    QCOMPARE(m_screen->page->count(), 100);
    QCOMPARE(m_screen->page->currentText(), QStringLiteral("2"));
    QCOMPARE(m_screen->pageCount->text(), QStringLiteral("of 100"));
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 25 records"));
    QCOMPARE(m_screen->reloads, 0);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(!WaitDlg->IsFormVisible());
    QVERIFY(m_env->presenter->messages.isEmpty());
}

// A failure answer or no answer at all: shown through the error handler or
// passed to the caller's error procedure; a transport failure never counts
// as completed. The parameters are released on every path.
void tst_RestGet::failures_data()
{
    QTest::addColumn<int>("status"); // 0: refused, -1: closed mid-body
    QTest::addColumn<bool>("errorProc");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("shown"); // what the dialog or the error text starts with

    QTest::newRow("404 shown") << 404 << false << QStringList{ "thaw", "release", "complete", "hide" }
                               << "Page Not Found.\r\nno such list";
    QTest::newRow("422 to error proc") << 422 << true
                                       << QStringList{ "error 422", "thaw", "release", "complete", "hide" }
                                       << "no such list";
    QTest::newRow("refused shown") << 0 << false << QStringList{ "thaw", "release", "hide" }
                                   << "Server Error.\r\nConnection refused";
    QTest::newRow("closed mid-body to error proc") << -1 << true
                                                   << QStringList{ "thaw", "release", "error 500", "hide" }
                                                   << "Connection closed";
}

void tst_RestGet::failures()
{
    QFETCH(int, status);
    QFETCH(bool, errorProc);
    QFETCH(QStringList, log);
    QFETCH(QString, shown);

    if (status > 0) {
        m_env->server.enqueue(Reply::text("no such list", status));
    } else if (status == 0) {
        delete RestClient;
        RestClient = new TZeltRestClient(QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()), 5000, 5000);
    } else { // every time: the network layer may try once more on a new connection
        m_env->server.setHandler([](const RecordedRequest &) {
            return Reply::withAction(Reply::Action::PartialBodyThenClose, TwoContacts);
        });
    }
    RestGet(ContactsUrl, m_screen->table.get(), probedParams(m_log.entries), m_screen->pagination.get(),
            &m_screen->errorHandler, m_log.complete(), errorProc ? m_log.error() : TErrorProc(), true, true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QTest::qWait(50);
    QCOMPARE(m_log.entries, log);
    const QString text = errorProc ? m_log.lastErrorText : m_env->presenter->texts().value(0);
    if (status > 0)
        QCOMPARE(text, shown);
    else
        QVERIFY2(text.startsWith(shown), qPrintable(text));
    QCOMPARE(m_env->presenter->messages.size(), errorProc ? 0 : 1);
    if (!errorProc)
        QCOMPARE(m_env->presenter->messages.at(0).kind, Platform::MessageKind::Error);
    QCOMPARE(m_screen->table->recordCount(), 0); // no half list shown
    QVERIFY(!m_screen->table->controlsDisabled());
    QCOMPARE(m_screen->pageCount->text(), QString()); // the bar is not touched
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestGet::unconvertibleParameterIsNotSent()
{
    auto params = probedParams(m_log.entries);
    params->AddParam(QStringLiteral("status"), QStringLiteral("active"), pdtInteger, ptQuery);
    RestGet(ContactsUrl, m_screen->table.get(), std::move(params), nullptr, nullptr, m_log.complete(),
            m_log.error(), false, false);
    QVERIFY(waitFor(QStringLiteral("error 500")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "error 500" }));
    QVERIFY(m_log.lastErrorText.contains(QStringLiteral("active")));
    QCOMPARE(m_env->server.requestCount(), 0);
}

void tst_RestGet::badBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("pageCountText"); // empty: the bar was not touched

    // which bodies count as an object holding an array is the reader's own
    // test (tst_jsonrowreader); here one of each verdict
    const QStringList none;
    QTest::newRow("empty data") << QByteArray(R"({"data": [], "pages": {"page": 1, "page_count": 0, "rec_count": 0}})")
                                << none << none << "of 0";
    QTest::newRow("pages missing") << QByteArray(R"({"data": [{"contact_id": 1}, {"contact_id": 2}]})")
                                   << QStringList{ "1", "2" } << QStringList{ "", "" } << "of 0";
    QTest::newRow("data is an object") << QByteArray(R"({"data": {"contact_id": 1}, "pages": {"page_count": 4}})")
                                       << none << none << "of 4";
    QTest::newRow("pages wrong kind") << QByteArray(R"({"data": [{"contact_id": 5}], "pages": [1, 2]})")
                                      << QStringList{ "5" } << QStringList{ "" } << "of 0";
    QTest::newRow("null and odd rows skipped")
        << QByteArray(R"({"data": [null, {"contact_id": 1, "contact_name": "A"}, 3, "x", [], {"contact_id": 2}]})")
        << QStringList{ "1", "2" } << QStringList{ "A", "" } << "of 0";
    QTest::newRow("numbers in text fields") << QByteArray(R"({"data": [{"contact_id": 1, "contact_name": 12.5}]})")
                                            << QStringList{ "1" } << QStringList{ "12.5" } << "of 0";
    // a value that does not fit its field is null, never another value
    QTest::newRow("text in number fields")
        << QByteArray(R"({"data": [{"contact_id": "seven", "contact_name": "N"}, {"contact_id": 2.5}]})")
        << QStringList{ "", "" } << QStringList{ "N", "" } << "of 0";
    QByteArray garbage(5 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919 + 13) % 251);
    QTest::newRow("5 MB of garbage") << garbage << none << none << "";
    QByteArray unbalanced(5 * 1024 * 1024, '[');
    QTest::newRow("5 MB of brackets") << unbalanced << none << none << "";
}

void tst_RestGet::badBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, names);
    QFETCH(QString, pageCountText);
    // rows of an earlier read go, whatever comes
    m_screen->table->appendRows({ { 1, QStringLiteral("old") } });
    m_env->server.enqueue(Reply::json(body));
    RestGet(ContactsUrl, m_screen->table.get(), probedParams(m_log.entries), m_screen->pagination.get(),
            &m_screen->errorHandler, m_log.complete(), nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "complete", "hide" }));
    QCOMPARE(columnTexts(*m_screen->table, QStringLiteral("contact_id")), ids);
    QCOMPARE(columnTexts(*m_screen->table, QStringLiteral("contact_name")), names);
    QCOMPARE(m_screen->table->recNo(), ids.isEmpty() ? -1 : 0);
    QCOMPARE(m_screen->pageCount->text(), pageCountText);
    QVERIFY(m_env->presenter->messages.isEmpty()); // nothing is reported
    QVERIFY(!m_screen->table->controlsDisabled());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestGet::latestReadWins()
{
    // Given a server that answers the first read after the second
    m_env->server.setHandler([](const RecordedRequest &r) {
        if (r.queryValue(QStringLiteral("q")) == QLatin1String("first")) {
            Reply reply = Reply::json(R"({"data": [{"contact_id": 1, "contact_name": "old A"},
                                                   {"contact_id": 2, "contact_name": "old B"}],
                                          "pages": {"page": 1, "page_count": 7, "rec_count": 70}})");
            reply.delayMs = 400;
            return reply;
        }
        return Reply::json(R"({"data": [{"contact_id": 3, "contact_name": "new"}],
                                "pages": {"page": 1, "page_count": 1, "rec_count": 1}})");
    });
    QStringList firstLog;
    QStringList secondLog;
    auto firstParams = probedParams(firstLog);
    firstParams->AddParam(QStringLiteral("q"), QStringLiteral("first"), pdtString, ptQuery);
    auto secondParams = probedParams(secondLog);
    secondParams->AddParam(QStringLiteral("q"), QStringLiteral("second"), pdtString, ptQuery);

    // When Enter is pressed twice
    Platform::MemTable *t = m_screen->table.get();
    RestGet(ContactsUrl, t, std::move(firstParams), m_screen->pagination.get(), &m_screen->errorHandler,
            m_log.complete(QStringLiteral("complete 1")), nullptr, true, true);
    QVERIFY(m_env->server.waitForRequests(1));
    RestGet(ContactsUrl, t, std::move(secondParams), m_screen->pagination.get(), &m_screen->errorHandler,
            m_log.complete(QStringLiteral("complete 2")), nullptr, true, true);
    QCOMPARE(WaitDlg->ProcessCount(), 2);

    QVERIFY(waitFor(QStringLiteral("complete 2")));
    QCOMPARE(columnTexts(*t, QStringLiteral("contact_name")), QStringList({ "new" }));
    QVERIFY(t->controlsDisabled()); // the first read still holds its freeze
    QVERIFY(WaitDlg->IsFormVisible());

    // Then the late first answer closes its request but loads nothing
    QVERIFY(waitFor(QStringLiteral("complete 1")));
    QCOMPARE(columnTexts(*t, QStringLiteral("contact_name")), QStringList({ "new" }));
    QCOMPARE(t->recNo(), 0);
    QCOMPARE(m_screen->pageCount->text(), QStringLiteral("of 1"));
    QCOMPARE(m_screen->recordCount->text(), QStringLiteral("Total : 1 records"));
    QVERIFY(!t->controlsDisabled());
    QCOMPARE(t->rowCount(), 1);
    QCOMPARE(firstLog, QStringList({ "release" }));
    QCOMPARE(secondLog, QStringList({ "release" }));
    QCOMPARE(m_log.entries, QStringList({ "complete 2", "thaw", "complete 1", "hide" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(!WaitDlg->IsFormVisible());
}

// The wait dialog counts the reads that asked for it: it stays up while any
// runs; an unchecked hide closes it at once; a read without it, or before
// there is one at all, leaves the count alone.
void tst_RestGet::waitDialogCounts()
{
    auto other = contactTable();
    m_env->server.setHandler([](const RecordedRequest &r) {
        Reply reply = Reply::json(R"({"data": [{"contact_id": 1}]})");
        reply.delayMs = r.path.endsWith(QLatin1String("slow")) ? 300 : 0;
        return reply;
    });
    RestGet(QStringLiteral("/crm/v1/slow"), other.get(), nullptr, nullptr, &m_screen->errorHandler,
            m_log.complete(QStringLiteral("complete slow")), nullptr, true, true);
    RestGet(QStringLiteral("/crm/v1/fast"), m_screen->table.get(), nullptr, nullptr, &m_screen->errorHandler,
            m_log.complete(QStringLiteral("complete fast")), nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("complete fast")));
    QTest::qWait(20);
    QVERIFY(WaitDlg->IsFormVisible());
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.count(QStringLiteral("complete slow")), 1);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QCOMPARE(other->recordCount(), 1);
    QCOMPARE(m_screen->table->recordCount(), 1);

    m_log.entries.clear();
    WaitDlg->Show(); // another request's
    RestGet(ContactsUrl, m_screen->table.get(), nullptr, nullptr, &m_screen->errorHandler,
            m_log.complete(QStringLiteral("unchecked")), nullptr, true, false);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    WaitDlg->ResetCounter();

    m_log.entries.clear();
    RestGet(ContactsUrl, m_screen->table.get(), nullptr, nullptr, &m_screen->errorHandler,
            m_log.complete(QStringLiteral("without")), nullptr, false, true);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(waitFor(QStringLiteral("without")));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QCOMPARE(m_log.count(QStringLiteral("hide")), 0);

    delete WaitDlg;
    WaitDlg = nullptr;
    RestGet(ContactsUrl, m_screen->table.get(), nullptr, nullptr, &m_screen->errorHandler,
            m_log.complete(QStringLiteral("no dialog")), nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("no dialog")));
    QCOMPARE(m_screen->table->recordCount(), 1);
}

void tst_RestGet::exceptionsInCallbacksStayInside()
{
    // an error callback that throws: the closing steps still run
    m_env->server.enqueue(Reply::text("gone", 410));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("reporting the failure: boom")));
    RestGet(ContactsUrl, m_screen->table.get(), probedParams(m_log.entries), nullptr, &m_screen->errorHandler,
            m_log.complete(), [](int, const QString &) { throw Platform::Error(QStringLiteral("boom")); }, true,
            true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "complete", "hide" }));

    // a completion callback that throws: the wait dialog still goes
    m_log.entries.clear();
    m_env->server.enqueue(Reply::json(R"({"data": [{"contact_id": 4}]})"));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("completion callback: late")));
    RestGet(ContactsUrl, m_screen->table.get(), probedParams(m_log.entries), nullptr, &m_screen->errorHandler,
            [] { throw std::runtime_error("late"); }, nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "hide" }));
    QCOMPARE(m_screen->table->recordCount(), 1);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestGet::tableDestroyedDuringRead()
{
    auto table = contactTable();
    QStringList releaseLog;
    Reply reply = Reply::json(R"({"data": [{"contact_id": 1}]})");
    reply.delayMs = 150;
    m_env->server.enqueue(reply);
    RestGet(ContactsUrl, table.get(), probedParams(releaseLog), m_screen->pagination.get(),
            &m_screen->errorHandler, m_log.complete(), m_log.error(), true, true);
    QVERIFY(m_env->server.waitForRequests(1));
    table.reset(); // the screen closed
    QVERIFY(waitFor(QStringLiteral("hide")));
    QTest::qWait(20);
    QCOMPARE(m_log.entries, QStringList({ "hide" }));
    QCOMPARE(releaseLog, QStringList({ "release" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QCOMPARE(m_screen->pageCount->text(), QString());
}

void tst_RestGet::noParametersSendsBareUrl()
{
    RestGet(ContactsUrl, m_screen->table.get(), nullptr, nullptr, &m_screen->errorHandler, m_log.complete(),
            nullptr, false, false);
    RestGet(ContactsUrl, m_screen->table.get(), std::make_unique<THttpParams>(), nullptr, &m_screen->errorHandler,
            m_log.complete(), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("complete"), 2));
    QCOMPARE(m_env->server.requestCount(), 2);
    for (const RecordedRequest &r : m_env->server.requests()) {
        QCOMPARE(r.rawPath, ContactsUrl.toUtf8());
        QCOMPARE(r.rawQuery, QByteArray());
    }
}

QTEST_MAIN(tst_RestGet)
#include "tst_restget.moc"
