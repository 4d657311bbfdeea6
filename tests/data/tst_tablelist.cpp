#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

Q_DECLARE_METATYPE(Reply)

namespace {

using FT = Platform::MemTable::FieldType;

const QByteArray Document = R"({"data": {
    "pr_id": 11, "pr_no": "PR-0011", "pr_date": "2024-05-02", "note": "urgent",
    "lines": [{"line_no": 1, "item": "Paper", "qty": 5}, {"line_no": 2, "item": "Ink", "qty": 2.5}],
    "vendors": [{"vendor_id": 3, "vendor_name": "Toko A"}]
}})";

std::unique_ptr<Platform::MemTable> table(std::initializer_list<std::pair<const char *, FT>> AFields)
{
    auto t = std::make_unique<Platform::MemTable>();
    for (const auto &f : AFields)
        t->addField(QString::fromLatin1(f.first), f.second);
    t->open();
    return t;
}

} // namespace

// The tables of a purchase requisition screen.
struct Document3
{
    std::unique_ptr<Platform::MemTable> master = table(
        { { "pr_id", FT::Integer }, { "pr_no", FT::String }, { "pr_date", FT::Date }, { "note", FT::Memo } });
    std::unique_ptr<Platform::MemTable> lines =
        table({ { "line_no", FT::Integer }, { "item", FT::String }, { "qty", FT::Float } });
    std::unique_ptr<Platform::MemTable> vendors = table({ { "vendor_id", FT::Integer }, { "vendor_name", FT::String } });

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

class tst_TableList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void addTableFormsAndKeys();
    void initTableFreezesEmptiesAndOpensForWriting();
    void loadDataFillsMasterAndDetails_data();
    void loadDataFillsMasterAndDetails();
    void loadDataWithMissingParts_data();
    void loadDataWithMissingParts();
    void getJsonStringSingleMaster();
    void getJsonStringMasterAndDetails();
    void getJsonStringFailures();

    void restGetDetailLoadsAndThaws();
    void restGetDetailFailures_data();
    void restGetDetailFailures();
    void restGetDetailLatestReadWins();

private:
    std::unique_ptr<DataTestEnv> m_env;
    TErrorHandler m_errorHandler;
    CycleLog m_log;

    bool waitFor(const QString &AEntry)
    {
        return QTest::qWaitFor([&] { return m_log.count(AEntry) >= 1; }, 5000);
    }
};

void tst_TableList::init()
{
    m_env = std::make_unique<DataTestEnv>();
    m_log.entries.clear();
    m_log.watchWaitDlg();
}

void tst_TableList::cleanup()
{
    m_env.reset();
}

void tst_TableList::addTableFormsAndKeys()
{
    Document3 doc;
    auto list = doc.list();
    QCOMPARE(list->Count(), 3);
    const TTableData *lines = list->Find(QStringLiteral("lines"));
    QVERIFY(lines);
    QCOMPARE(lines->JsonKey, QStringLiteral("lines"));
    QCOMPARE(lines->Table, doc.lines.get());
    QCOMPARE(lines->TableType, ttDetail);
    const TTableData *vend = list->Find(QStringLiteral("vend"));
    QCOMPARE(vend->JsonKey, QStringLiteral("vendors"));
    QCOMPARE(vend->TableType, ttVendor);
    QVERIFY(!list->Find(QStringLiteral("Lines")));

    // a key is taken once; letter case counts
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             list->AddTable(QStringLiteral("master"), QStringLiteral("m2"), doc.lines.get(), ttDetail));
    QCOMPARE(list->Count(), 3);
    QCOMPARE(list->Find(QStringLiteral("master"))->Table, doc.master.get());
    list->AddTable(QStringLiteral("Master"), doc.lines.get(), ttDetail);
    QCOMPARE(list->Count(), 4);

    // the list never releases the tables
    list.reset();
    QVERIFY(doc.lines->isActive());
}

void tst_TableList::initTableFreezesEmptiesAndOpensForWriting()
{
    Document3 doc;
    doc.lines->appendRows({ { 1, QStringLiteral("old") } });
    doc.vendors->setReadOnly(true);
    doc.master->close();
    auto list = doc.list();
    list->InitTable();
    for (Platform::MemTable *t : doc.all()) {
        QVERIFY(t->controlsDisabled());
        QVERIFY(t->isActive());
        QCOMPARE(t->recordCount(), 0);
        QVERIFY(!t->readOnly());
    }
    list->FinishTable();
    for (Platform::MemTable *t : doc.all())
        QVERIFY(!t->controlsDisabled());
}

void tst_TableList::loadDataFillsMasterAndDetails_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only") << true;
    QTest::newRow("writable") << false;
}

void tst_TableList::loadDataFillsMasterAndDetails()
{
    QFETCH(bool, readOnly);
    Document3 doc;
    auto list = doc.list();
    list->InitTable();
    list->LoadData(QString::fromUtf8(Document), readOnly);
    list->FinishTable();

    QCOMPARE(doc.master->recordCount(), 1);
    QCOMPARE(doc.master->state(), Platform::MemTable::State::Browse);
    QCOMPARE(doc.master->rowAt(0), Platform::MemTable::Row({ 11, QStringLiteral("PR-0011"), QDate(2024, 5, 2),
                                                               QStringLiteral("urgent") }));
    QCOMPARE(columnTexts(*doc.lines, QStringLiteral("item")), QStringList({ "Paper", "Ink" }));
    QCOMPARE(columnTexts(*doc.lines, QStringLiteral("qty")), QStringList({ "5", "2.5" }));
    QCOMPARE(doc.lines->recNo(), 0);
    QCOMPARE(columnTexts(*doc.vendors, QStringLiteral("vendor_name")), QStringList({ "Toko A" }));
    for (Platform::MemTable *t : doc.all()) {
        QCOMPARE(t->readOnly(), readOnly);
        QVERIFY(!t->controlsDisabled());
    }
}

void tst_TableList::loadDataWithMissingParts_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("masterRows");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("vendors");

    QTest::newRow("not an object") << QByteArray("[1, 2]") << 0 << QStringList() << QStringList();
    QTest::newRow("not JSON") << QByteArray("Internal error") << 0 << QStringList() << QStringList();
    QTest::newRow("no data") << QByteArray(R"({"result": {}})") << 0 << QStringList() << QStringList();
    QTest::newRow("data is an array") << QByteArray(R"({"data": [{"pr_id": 1}]})") << 0 << QStringList()
                                      << QStringList();
    QTest::newRow("no detail members") << QByteArray(R"({"data": {"pr_id": 1}})") << 1 << QStringList()
                                       << QStringList();
    QTest::newRow("detail of the wrong kind")
        << QByteArray(R"({"data": {"pr_id": 1, "lines": {"item": "x"}, "vendors": [{"vendor_name": "V"}]}})") << 1
        << QStringList() << QStringList{ "V" };
    QTest::newRow("null rows skipped")
        << QByteArray(R"({"data": {"pr_id": 1, "lines": [null, {"item": "a"}, 4], "vendors": []}})") << 1
        << QStringList{ "a" } << QStringList();
}

void tst_TableList::loadDataWithMissingParts()
{
    QFETCH(QByteArray, body);
    QFETCH(int, masterRows);
    QFETCH(QStringList, items);
    QFETCH(QStringList, vendors);
    Document3 doc;
    auto list = doc.list();
    list->InitTable();
    list->LoadData(QString::fromUtf8(body), true);
    list->FinishTable();
    QCOMPARE(doc.master->recordCount(), masterRows);
    QCOMPARE(columnTexts(*doc.lines, QStringLiteral("item")), items);
    QCOMPARE(columnTexts(*doc.vendors, QStringLiteral("vendor_name")), vendors);
}

void tst_TableList::getJsonStringSingleMaster()
{
    Document3 doc;
    Platform::MemTable &m = *doc.master;
    m.append();
    m.setValue(QStringLiteral("pr_id"), 5);
    m.setValue(QStringLiteral("pr_no"), QStringLiteral("PR \"5\""));
    m.setValue(QStringLiteral("pr_date"), QDate(2024, 6, 30));
    TTableList list;
    list.AddTable(QStringLiteral("master"), &m, ttMaster);
    const QString text = list.GetJSONString();
    QCOMPARE(m.state(), Platform::MemTable::State::Browse); // the pending insert was posted
    const QJsonDocument parsed = QJsonDocument::fromJson(text.toUtf8());
    QVERIFY(parsed.isObject());
    QCOMPARE(parsed.object(),
             QJsonObject({ { "pr_id", 5 }, { "pr_no", "PR \"5\"" }, { "pr_date", "2024-06-30" }, { "note", QJsonValue::Null } }));
}

void tst_TableList::getJsonStringMasterAndDetails()
{
    Document3 doc;
    doc.master->appendRows({ { 9, QStringLiteral("PR-9"), QDate(2024, 1, 2), QStringLiteral("n") } });
    doc.lines->appendRows({ { 1, QStringLiteral("Paper"), 5.0 } });
    doc.lines->append(); // an edit still pending on a detail
    doc.lines->setValue(QStringLiteral("line_no"), 2);
    doc.lines->setValue(QStringLiteral("item"), QStringLiteral("Ink"));
    doc.vendors->appendRows({ { 3, QStringLiteral("Toko A") }, { 4, QStringLiteral("Toko B") } });
    auto list = doc.list();
    const QString text = list->GetJSONString();
    QCOMPARE(doc.lines->state(), Platform::MemTable::State::Browse);

    const QJsonObject obj = QJsonDocument::fromJson(text.toUtf8()).object();
    QCOMPARE(obj.value(QStringLiteral("pr_id")), QJsonValue(9));
    QCOMPARE(obj.value(QStringLiteral("pr_no")), QJsonValue(QStringLiteral("PR-9")));
    QCOMPARE(obj.value(QStringLiteral("lines")).toArray(),
             QJsonArray({ QJsonObject{ { "line_no", 1 }, { "item", "Paper" }, { "qty", 5 } },
                          QJsonObject{ { "line_no", 2 }, { "item", "Ink" }, { "qty", QJsonValue::Null } } }));
    QCOMPARE(obj.value(QStringLiteral("vendors")).toArray().size(), 2);
    QCOMPARE(obj.size(), 6);
    // the detail members follow the master's own
    const qsizetype lastMaster = text.indexOf(QStringLiteral("\"pr_no\""));
    QVERIFY(lastMaster > 0);
    QVERIFY(text.indexOf(QStringLiteral("\"lines\"")) > lastMaster);
    QVERIFY(text.indexOf(QStringLiteral("\"vendors\"")) > lastMaster);
    QVERIFY(!text.contains(QStringLiteral("vend\"")));
}

void tst_TableList::getJsonStringFailures()
{
    Document3 doc;
    TTableList noMaster;
    noMaster.AddTable(QStringLiteral("lines"), doc.lines.get(), ttDetail);
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, noMaster.GetJSONString());

    TTableList emptyMaster;
    emptyMaster.AddTable(QStringLiteral("master"), doc.master.get(), ttMaster);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, emptyMaster.GetJSONString());

    auto gone = std::make_unique<TTableList>();
    {
        auto temporary = table({ { "a", FT::Integer } });
        gone->AddTable(QStringLiteral("master"), temporary.get(), ttMaster);
    }
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, gone->GetJSONString());
}

void tst_TableList::restGetDetailLoadsAndThaws()
{
    Document3 doc;
    for (Platform::MemTable *t : doc.all())
        m_log.watchTable(t);
    m_env->server.enqueue(Reply::json(Document));
    auto params = probedParams(m_log.entries);
    params->AddParam(QStringLiteral("pr_id"), 11, pdtInteger, ptPath);
    RestGetDetail(QStringLiteral("/prc/v1/pr/{pr_id}"), doc.list(), true, std::move(params), &m_errorHandler,
                  m_log.complete(), nullptr, true, true);
    for (Platform::MemTable *t : doc.all())
        QVERIFY(t->controlsDisabled());
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "thaw", "thaw", "release", "hide", "complete" }));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QStringLiteral("/prc/v1/pr/11"));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    QCOMPARE(doc.master->value(QStringLiteral("pr_no")), QVariant(QStringLiteral("PR-0011")));
    QCOMPARE(doc.lines->recordCount(), 2);
    QCOMPARE(doc.vendors->recordCount(), 1);
    for (Platform::MemTable *t : doc.all()) {
        QVERIFY(t->readOnly());
        QVERIFY(!t->controlsDisabled());
    }
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// A failure status completes (shown, or given to the error procedure); a
// transport failure does not; a body that is no object loads nothing. The
// tables are thawed and the parameters released on every path.
void tst_TableList::restGetDetailFailures_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<bool>("errorProc");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("shown"); // what the dialog or the error text starts with

    QTest::newRow("400 shown with the caption")
        << Reply::json(R"({"errors": [{"key": "pr_id", "message": "pr_id is unknown"}]})", 400) << false
        << QStringList{ "thaw", "release", "hide", "complete" } << "PR number is unknown";
    QTest::newRow("503 to error proc") << Reply::text("busy", 503) << true
                                       << QStringList{ "error 503", "thaw", "release", "hide", "complete" } << "busy";
    QTest::newRow("no answer") << Reply::withAction(Reply::Action::CloseWithoutAnswer) << false
                               << QStringList{ "thaw", "release", "hide" } << "Server Error.\r\n";
    QTest::newRow("array body") << Reply::json("[]") << false << QStringList{ "thaw", "release", "hide", "complete" }
                                << "";
}

void tst_TableList::restGetDetailFailures()
{
    QFETCH(Reply, reply);
    QFETCH(bool, errorProc);
    QFETCH(QStringList, log);
    QFETCH(QString, shown);

    Document3 doc;
    m_log.watchTable(doc.master.get());
    // every time: the network layer may try once more on a new connection
    m_env->server.setHandler([reply](const RecordedRequest &) { return reply; });
    m_errorHandler.AddErrMessage(QStringLiteral("pr_id"), QStringLiteral("PR number"), QString(), QString(), true);
    RestGetDetail(QStringLiteral("/prc/v1/pr"), doc.list(), true, probedParams(m_log.entries), &m_errorHandler,
                  m_log.complete(), errorProc ? m_log.error() : TErrorProc(), true, true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, log);
    const QStringList texts = m_env->presenter->texts();
    if (errorProc || shown.isEmpty())
        QVERIFY(texts.isEmpty());
    else if (shown.endsWith(QLatin1Char('\n'))) // the transport's own text follows
        QVERIFY2(texts.size() == 1 && texts.at(0).startsWith(shown), qPrintable(texts.join(u'|')));
    else
        QCOMPARE(texts, QStringList{ shown });
    if (errorProc)
        QCOMPARE(m_log.lastErrorText, shown);
    for (Platform::MemTable *t : doc.all()) {
        QCOMPARE(t->recordCount(), 0);
        QVERIFY(!t->controlsDisabled());
    }
}

void tst_TableList::restGetDetailLatestReadWins()
{
    Document3 doc;
    m_env->server.setHandler([](const RecordedRequest &r) {
        if (r.path.endsWith(QLatin1String("/1"))) {
            Reply reply = Reply::json(R"({"data": {"pr_id": 1, "lines": [{"item": "one"}], "vendors": []}})");
            reply.delayMs = 300;
            return reply;
        }
        return Reply::json(R"({"data": {"pr_id": 2, "lines": [{"item": "two"}], "vendors": []}})");
    });
    RestGetDetail(QStringLiteral("/prc/v1/pr/1"), doc.list(), true, nullptr, &m_errorHandler,
                  m_log.complete(QStringLiteral("one")), nullptr, false, false);
    QVERIFY(m_env->server.waitForRequests(1));
    RestGetDetail(QStringLiteral("/prc/v1/pr/2"), doc.list(), false, nullptr, &m_errorHandler,
                  m_log.complete(QStringLiteral("two")), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("one")));
    QCOMPARE(m_log.entries, QStringList({ "two", "one" }));
    QCOMPARE(doc.master->recordCount(), 1);
    QCOMPARE(doc.master->value(QStringLiteral("pr_id")), QVariant(2));
    QCOMPARE(columnTexts(*doc.lines, QStringLiteral("item")), QStringList({ "two" }));
    for (Platform::MemTable *t : doc.all()) {
        QVERIFY(!t->readOnly()); // as the latest read asked
        QVERIFY(!t->controlsDisabled());
    }
}

QTEST_MAIN(tst_TableList)
#include "tst_tablelist.moc"
