#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

Q_DECLARE_METATYPE(Reply)

namespace {

const QString ContactsUrl = QStringLiteral("/crm/v1/master/contacts");

const QByteArray Document = R"({"data": {
    "pr_id": 11, "pr_no": "PR-0011", "pr_date": "2024-05-02",
    "lines": [{"item": "Paper", "qty": 5}, {"item": "Ink", "qty": 2.5}],
    "vendors": [{"vendor_id": 3}]
}})";

QJsonObject bodyObject(const RecordedRequest &r)
{
    return QJsonDocument::fromJson(r.body).object();
}

} // namespace

// The tables of a purchase requisition screen: a master and two details.
struct PrDocument
{
    std::unique_ptr<Platform::MemTable> master =
        newTable({ { "pr_id", FT::Integer }, { "pr_no", FT::String }, { "pr_date", FT::Date } });
    std::unique_ptr<Platform::MemTable> lines = newTable({ { "item", FT::String }, { "qty", FT::Float } });
    std::unique_ptr<Platform::MemTable> vendors = newTable({ { "vendor_id", FT::Integer } });

    std::unique_ptr<TTableList> list() const
    {
        auto l = std::make_unique<TTableList>();
        l->AddTable(QStringLiteral("master"), master.get(), ttMaster);
        l->AddTable(QStringLiteral("lines"), lines.get(), ttDetail);
        l->AddTable(QStringLiteral("vend"), QStringLiteral("vendors"), vendors.get(), ttVendor);
        return l;
    }
    QList<Platform::MemTable *> all() const { return { master.get(), lines.get(), vendors.get() }; }
};

class tst_RestWrites : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<DataTestEnv>();
        m_contact = contactTable();
        m_log.clear();
        m_log.watchWaitDlg();
    }
    void cleanup()
    {
        m_contact.reset();
        m_env.reset();
    }
    void masterAndDetailsSentAsOneDocument();
    void methodTextChoosesVerb_data();
    void methodTextChoosesVerb();
    void writeFailures();
    void closedScreenGetsNoCallbacks();
    void restGetDetail_data();
    void restGetDetail();
    void emptyMasterIsSentForTheServerToJudge();
    void documentIdsBeyondDoublesComeBackExactly();
    void writeWithoutAnswerIsSentOnce_data();
    void writeWithoutAnswerIsSentOnce();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Platform::MemTable> m_contact;
    TErrorHandler m_errorHandler;
    CycleLog m_log;
};

void tst_RestWrites::masterAndDetailsSentAsOneDocument()
{
    PrDocument doc;
    doc.master->appendRows({ { 4, QStringLiteral("PR-4"), QDate(2024, 1, 2) } });
    doc.lines->appendRows({ { QStringLiteral("Paper"), 2.0 } });
    doc.lines->append(); // an edit still pending on a detail
    doc.lines->setValue(QStringLiteral("item"), QStringLiteral("Ink"));
    doc.vendors->appendRows({ { 1 } });
    auto params = probedParams(m_log.entries);
    params->AddParam(QStringLiteral("pr_id"), 4, pdtInteger, ptPath);
    RestSend(QStringLiteral("patch"), QStringLiteral("/prc/v1/pr/{pr_id}"), doc.list(), std::move(params),
             &m_errorHandler, m_log.complete(), nullptr, false, false);
    QVERIFY(m_log.waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "release", "complete" }));
    QCOMPARE(doc.lines->state(), Platform::MemTable::State::Browse);

    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("PATCH"));
    QCOMPARE(r.path, QStringLiteral("/prc/v1/pr/4"));
    QCOMPARE(bodyObject(r),
             QJsonObject({ { "pr_id", 4 },
                           { "pr_no", "PR-4" },
                           { "pr_date", "2024-01-02" },
                           { "lines",
                             QJsonArray { QJsonObject { { "item", "Paper" }, { "qty", 2 } },
                                          QJsonObject { { "item", "Ink" }, { "qty", QJsonValue::Null } } } },
                           { "vendors", QJsonArray { QJsonObject { { "vendor_id", 1 } } } } }));
    // the detail members follow the master's own
    QVERIFY(r.body.indexOf("\"lines\"") > r.body.indexOf("\"pr_no\""));
}

void tst_RestWrites::methodTextChoosesVerb_data()
{
    QTest::addColumn<QString>("methodText");
    QTest::addColumn<QByteArray>("method");
    QTest::newRow("POST in capitals") << "POST" << QByteArray("POST");
    QTest::newRow("pUt") << "pUt" << QByteArray("PUT");
    QTest::newRow("delete") << "delete" << QByteArray("DELETE");
    QTest::newRow("empty") << "" << QByteArray("DELETE");
}

void tst_RestWrites::methodTextChoosesVerb()
{
    QFETCH(QString, methodText);
    QFETCH(QByteArray, method);
    m_contact->appendRows({ { 6, QStringLiteral("Eka"), QVariant(), QDate(1999, 12, 31), 12.25, true } });
    m_contact->setReadOnly(true);
    RestSendOne(methodText, ContactsUrl, m_contact.get(), probedParams(m_log.entries), &m_errorHandler,
                m_log.complete(), nullptr, true, true);
    QVERIFY(!m_contact->controlsDisabled()); // a write freezes nothing
    QVERIFY(m_log.waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "complete" }));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, method);
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    const bool hasBody = method != "DELETE";
    QCOMPARE(r.hasHeader("Content-Type"), hasBody);
    QCOMPARE(r.body.isEmpty(), !hasBody);
    if (hasBody)
        QCOMPARE(bodyObject(r),
                 QJsonObject({ { "contact_id", 6 },
                               { "contact_name", "Eka" },
                               { "job_position", QJsonValue::Null },
                               { "birth_date", "1999-12-31" },
                               { "salary", 12.25 },
                               { "active", true } }));
    QVERIFY(m_contact->readOnly());
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// A refusal is shown with the screen's captions and never completes; no
// answer goes to the error procedure, and does not complete either.
void tst_RestWrites::writeFailures()
{
    PrDocument doc;
    doc.master->appendRows({ { 4 } });
    m_errorHandler.AddErrMessage(QStringLiteral("pr_no"), QStringLiteral("PR number"), QString(), QString(), true);
    m_env->server.enqueue(Reply::json(R"({"errors": [{"key": "pr_no", "message": "pr_no is taken"}]})", 400));
    RestSend(QStringLiteral("post"), ContactsUrl, doc.list(), probedParams(m_log.entries), &m_errorHandler,
             m_log.complete(), nullptr, true, true);
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));
    QCOMPARE(m_env->presenter->texts(), QStringList({ "PR number is taken" }));

    m_log.entries.clear();
    m_contact->appendRows({ { 1 } });
    m_env->server.setHandler(
        [](const RecordedRequest &) { return Reply::withAction(Reply::Action::CloseWithoutAnswer); });
    RestPost(ContactsUrl, m_contact.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
             m_log.error(), true, true);
    QVERIFY(m_log.waitFor(QStringLiteral("error 500")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "error 500" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// The screen that asked closes before the answer: its tables go with it, and
// neither its callbacks nor an error dialog may run for it.
void tst_RestWrites::closedScreenGetsNoCallbacks()
{
    auto heldReply = [](int AStatus) {
        Reply r = Reply::json(R"({"errors": [{"key": "name", "message": "required"}]})", AStatus);
        r.delayMs = 300;
        return r;
    };
    m_contact->appendRows({ { 1, QStringLiteral("A") } });
    m_env->server.enqueue(heldReply(400));
    RestPatch(ContactsUrl, m_contact.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
              m_log.error(), true, true);
    QVERIFY(m_env->server.waitForRequests(1));
    m_contact.reset();
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));

    PrDocument doc;
    m_env->server.enqueue(heldReply(422));
    RestGetDetail(ContactsUrl, doc.list(), false, probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
                  nullptr, true, true);
    QVERIFY(m_env->server.waitForRequests(2));
    doc = PrDocument(); // the old tables go
    QVERIFY(m_log.waitFor(QStringLiteral("hide"), 2));
    QTest::qWait(50);

    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "release", "hide" }));
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// The tables are frozen and emptied for the read, loaded read-only as asked,
// thawed and the parameters released on every path. A refusal completes,
// shown with the screen's caption; a transport failure does not.
void tst_RestWrites::restGetDetail_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<bool>("completes");
    QTest::addColumn<QString>("shown"); // what the dialog starts with
    QTest::newRow("loaded") << Reply::json(Document) << true << "";
    QTest::newRow("400 shown with the caption")
        << Reply::json(R"({"errors": [{"key": "pr_id", "message": "pr_id is unknown"}]})", 400) << true
        << "PR number is unknown";
    QTest::newRow("no answer") << Reply::withAction(Reply::Action::CloseWithoutAnswer) << false
                               << "The server failed to give a complete answer. Please try again.";
}

void tst_RestWrites::restGetDetail()
{
    QFETCH(Reply, reply);
    QFETCH(bool, completes);
    QFETCH(QString, shown);
    PrDocument doc;
    doc.lines->appendRows({ { QStringLiteral("old") } });
    for (Platform::MemTable *t : doc.all())
        m_log.watchTable(t);
    // every time: the network layer may try once more on a new connection
    m_env->server.setHandler([reply](const RecordedRequest &) { return reply; });
    m_errorHandler.AddErrMessage(QStringLiteral("pr_id"), QStringLiteral("PR number"), QString(), QString(), true);
    auto params = probedParams(m_log.entries);
    params->AddParam(QStringLiteral("pr_id"), 11, pdtInteger, ptPath);
    RestGetDetail(QStringLiteral("/prc/v1/pr/{pr_id}"), doc.list(), true, std::move(params), &m_errorHandler,
                  m_log.complete(), nullptr, true, true);
    for (Platform::MemTable *t : doc.all())
        QVERIFY(t->controlsDisabled() && t->recordCount() == 0);
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries,
             QStringList({ "thaw", "thaw", "thaw", "release", "hide" })
                 + (completes ? QStringList { "complete" } : QStringList()));
    QCOMPARE(m_env->server.lastRequest().path, QStringLiteral("/prc/v1/pr/11"));
    const QString text = m_env->presenter->texts().value(0);
    QVERIFY2(shown.endsWith(u'\n') ? text.startsWith(shown) : text == shown, qPrintable(text));
    QCOMPARE(m_env->presenter->messages.size(), shown.isEmpty() ? 0 : 1);
    const bool loaded = shown.isEmpty();
    for (Platform::MemTable *t : doc.all()) {
        QVERIFY(!t->controlsDisabled());
        QCOMPARE(t->readOnly(), loaded);
    }
    QCOMPARE(doc.master->recordCount(), loaded ? 1 : 0);
    if (loaded) {
        QCOMPARE(doc.master->rowAt(0), Platform::MemTable::Row({ 11, QStringLiteral("PR-0011"), QDate(2024, 5, 2) }));
        QCOMPARE(columnTexts(*doc.lines, QStringLiteral("qty")), QStringList({ "5", "2.5" }));
        QCOMPARE(doc.lines->recNo(), 0);
        QCOMPARE(columnTexts(*doc.vendors, QStringLiteral("vendor_id")), QStringList({ "3" }));
    } else {
        QCOMPARE(doc.lines->recordCount() + doc.vendors->recordCount(), 0);
    }
}

// 64-bit ids a double cannot hold apart (beyond 2^53) load exactly into the
// master and its details, so that a document saved again sends them back.
void tst_RestWrites::documentIdsBeyondDoublesComeBackExactly()
{
    // each a double exactly, so that a parsed document cannot tell it from a rounded number
    const QByteArray document = R"({"data": {"pr_id": 9007199254740994, "pr_no": "PR-1",
        "lines": [{"item_id": 1000000000000000000, "qty": 1}, {"item_id": -9223372036854775808, "qty": 2},
                  {"item_id": 9007199254740994.0, "qty": 3}]}})";
    m_env->server.setHandler([document](const RecordedRequest &) { return Reply::json(document); });
    auto master = newTable({ { "pr_id", FT::LargeInt }, { "pr_no", FT::String } });
    auto lines = newTable({ { "item_id", FT::LargeInt }, { "qty", FT::Float } });
    auto list = std::make_unique<TTableList>();
    list->AddTable(QStringLiteral("master"), master.get(), ttMaster);
    list->AddTable(QStringLiteral("lines"), lines.get(), ttDetail);
    RestGetDetail(QStringLiteral("/prc/v1/pr/1"), std::move(list), false, nullptr, &m_errorHandler, m_log.complete(),
                  nullptr, false, false);
    QVERIFY(m_log.waitFor(QStringLiteral("complete")));
    QCOMPARE(master->value(QStringLiteral("pr_id")).toLongLong(), 9007199254740994LL);
    QCOMPARE(columnTexts(*lines, QStringLiteral("item_id")),
             QStringList({ "1000000000000000000", "-9223372036854775808", "" })); // a rounded number is no id
    QCOMPARE(columnTexts(*lines, QStringLiteral("qty")), QStringList({ "1", "2", "3" }));

    // a record read answered with "data" as one object
    m_env->server.setHandler([](const RecordedRequest &) {
        return Reply::json(R"({"data": {"pr_id": 1000000000000000000, "pr_no": "PR-2"}})");
    });
    RestGetRecord(QStringLiteral("/prc/v1/pr/2"), master.get(), nullptr, &m_errorHandler,
                  m_log.complete(QStringLiteral("record")), nullptr, false, false);
    QVERIFY(m_log.waitFor(QStringLiteral("record")));
    QCOMPARE(master->rowAt(0), Platform::MemTable::Row({ 1000000000000000000LL, QStringLiteral("PR-2") }));
    QVERIFY(m_env->presenter->messages.isEmpty());
}

// A master table without a row is written as a record of nulls: the server
// says what is missing, in its own words. Only a list that cannot make a
// body at all stays at home, told as what it is, not as a server error.
void tst_RestWrites::emptyMasterIsSentForTheServerToJudge()
{
    PrDocument doc;
    QCOMPARE(QJsonDocument::fromJson(doc.list()->GetJSONString().toUtf8()).object(),
             QJsonObject({ { "pr_id", QJsonValue::Null },
                           { "pr_no", QJsonValue::Null },
                           { "pr_date", QJsonValue::Null },
                           { "lines", QJsonArray() },
                           { "vendors", QJsonArray() } }));

    m_errorHandler.AddErrMessage(QStringLiteral("contact_name"), QStringLiteral("Name"), QString(), QString(), false);
    m_env->server.enqueue(
        Reply::json(R"({"errors": [{"key": "contact_name", "message": "contact_name is required"}]})", 400));
    RestPost(ContactsUrl, m_contact.get(), nullptr, &m_errorHandler, m_log.complete(), nullptr, true, true);
    QVERIFY(m_log.waitFor(QStringLiteral("hide")));
    QTRY_COMPARE(m_env->presenter->texts(), QStringList({ "Name is required" }));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(bodyObject(r),
             QJsonObject({ { "contact_id", QJsonValue::Null },
                           { "contact_name", QJsonValue::Null },
                           { "job_position", QJsonValue::Null },
                           { "birth_date", QJsonValue::Null },
                           { "salary", QJsonValue::Null },
                           { "active", QJsonValue::Null } }));
    QCOMPARE(m_contact->recordCount(), 0);

    // no "master" entry: nothing is sent, the error's own text is shown
    m_env->presenter->clear();
    const int sent = m_env->server.requestCount();
    auto noMaster = std::make_unique<TTableList>();
    noMaster->AddTable(QStringLiteral("lines"), doc.lines.get(), ttDetail);
    RestPost(ContactsUrl, std::move(noMaster), nullptr, &m_errorHandler, m_log.complete(), nullptr, false, false);
    QTRY_COMPARE(m_env->presenter->messages.size(), 1);
    QCOMPARE(m_env->presenter->texts(), QStringList({ "The table list has no entry named \"master\"" }));
    QCOMPARE(m_env->server.requestCount(), sent);
    QCOMPARE(m_log.count(QStringLiteral("complete")), 0);
}

// The server got the write and closed without a (readable) answer: it may
// have applied it, so the client must not send it again on its own.
void tst_RestWrites::writeWithoutAnswerIsSentOnce_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<bool>("warm"); // a kept-alive connection from an earlier request
    QTest::addColumn<QString>("told");
    const Reply closed = Reply::withAction(Reply::Action::CloseWithoutAnswer);
    // "try again" would have the user send it a second time
    const QString broken = QStringLiteral(
        "The server failed to give a complete answer. It may have applied the change: check the data before you "
        "try again.");
    const QString late = QStringLiteral(
        "The server did not answer in time. It may have applied the change: check the data before you try again.");
    QTest::newRow("post, closed") << "post" << closed << false << broken;
    QTest::newRow("post, closed on a kept-alive connection") << "post" << closed << true << broken;
    QTest::newRow("patch, closed") << "patch" << closed << false << broken;
    QTest::newRow("post, no HTTP") << "post" << Reply::withAction(Reply::Action::Garbage) << true << broken;
    QTest::newRow("post, no answer in time") << "post" << Reply::withAction(Reply::Action::Hang) << false << late;
    QTest::newRow("delete, no answer in time") << "delete" << Reply::withAction(Reply::Action::Hang) << false << late;
}

void tst_RestWrites::writeWithoutAnswerIsSentOnce()
{
    QFETCH(QString, method);
    QFETCH(Reply, reply);
    QFETCH(bool, warm);
    QFETCH(QString, told);
    DataTestEnv::replaceRestClient(m_env->server.url(), 300);
    if (warm) {
        RestGetRecord(ContactsUrl, m_contact.get(), nullptr, &m_errorHandler, m_log.complete(QStringLiteral("read")),
                      m_log.error(), false, false);
        QVERIFY(m_log.waitFor(QStringLiteral("read")));
    }
    m_env->server.setHandler([reply](const RecordedRequest &) { return reply; });
    m_contact->appendRows({ { 1, QStringLiteral("A") } });
    RestSendOne(method, ContactsUrl, m_contact.get(), nullptr, &m_errorHandler, m_log.complete(), m_log.error(), true,
                true);
    QVERIFY(m_log.waitFor(QStringLiteral("error 500")));
    QTest::qWait(100);
    QCOMPARE(m_env->server.requestsTo(method.toUpper().toLatin1(), ContactsUrl).size(), 1);
    QCOMPARE(m_log.count(QStringLiteral("complete")), 0);
    QCOMPARE(m_log.lastErrorText, told);

    // without an error procedure the user reads the same
    m_log.entries.clear();
    RestSendOne(method, ContactsUrl, m_contact.get(), nullptr, &m_errorHandler, m_log.complete(), nullptr, true, true);
    QVERIFY(QTest::qWaitFor([&] { return !m_env->presenter->messages.isEmpty(); }, 5000));
    QCOMPARE(m_env->presenter->texts(), QStringList { told });
}

QTEST_MAIN(tst_RestWrites)
#include "tst_restwrites.moc"
