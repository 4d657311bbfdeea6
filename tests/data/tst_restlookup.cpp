#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"

namespace {

const QString StatusUrl = QStringLiteral("/com/v1/master/status");
const QString TrCodesUrl = QStringLiteral("/com/v1/master/tr-codes");

std::unique_ptr<Platform::MemTable> statusTable()
{
    using FT = Platform::MemTable::FieldType;
    auto t = std::make_unique<Platform::MemTable>();
    t->addField(QStringLiteral("status_id"), FT::Integer);
    t->addField(QStringLiteral("status_name"), FT::String, 30);
    t->open();
    return t;
}

// The query by name; a name sent twice shows as a size below the item count.
QMap<QString, QString> queryMap(const RecordedRequest &r)
{
    QMap<QString, QString> items;
    for (const auto &item : r.queryItems)
        items.insert(item.first, item.second);
    return items;
}

} // namespace

class tst_RestLookup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loadsDataIgnoringPages();
    void closingStepsInOrder_data();
    void closingStepsInOrder();
    void paramLinesBecomeQueryParameters_data();
    void paramLinesBecomeQueryParameters();
    void duplicateShowAllRaisesBeforeAnything();
    void trCodesSendsGroupAndShowAll_data();
    void trCodesSendsGroupAndShowAll();
    void dataStatusSendsItsParameters();
    void latestLookupWins();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Platform::MemTable> m_table;
    TErrorHandler m_errorHandler;
    CycleLog m_log;

    bool waitFor(const QString &AEntry)
    {
        return QTest::qWaitFor([&] { return m_log.count(AEntry) >= 1; }, 5000);
    }
};

void tst_RestLookup::init()
{
    m_env = std::make_unique<DataTestEnv>();
    m_table = statusTable();
    m_log.entries.clear();
    m_log.watchTable(m_table.get());
    m_log.watchWaitDlg();
}

void tst_RestLookup::cleanup()
{
    m_table.reset();
    m_env.reset();
}

void tst_RestLookup::loadsDataIgnoringPages()
{
    m_env->server.enqueue(Reply::json(R"({"data": [{"status_id": 1, "status_name": "Open"},
                                                   {"status_id": 2, "status_name": "Closed"}],
                                          "pages": {"page": "not read"}})"));
    m_table->setReadOnly(true);
    RestLookup(StatusUrl, m_table.get(), nullptr, &m_errorHandler, m_log.complete(), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(columnTexts(*m_table, QStringLiteral("status_name")), QStringList({ "Open", "Closed" }));
    QCOMPARE(m_table->recNo(), 0);
    QVERIFY(!m_table->readOnly());
    QCOMPARE(m_env->server.lastRequest().header("Authorization"), QByteArray("Bearer tok"));
}

// The closing steps and the callbacks, in their order: a failure status
// completes, a transport failure does not.
void tst_RestLookup::closingStepsInOrder_data()
{
    QTest::addColumn<int>("status"); // 0: garbage instead of HTTP
    QTest::addColumn<bool>("errorProc");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("success") << 200 << false << QStringList{ "thaw", "release", "hide", "complete" } << QStringList();
    QTest::newRow("403 shown") << 403 << false << QStringList{ "thaw", "release", "hide", "complete" }
                               << QStringList{ "Forbidden.\r\ndenied" };
    QTest::newRow("403 to error proc") << 403 << true
                                       << QStringList{ "error 403", "thaw", "release", "hide", "complete" }
                                       << QStringList();
    QTest::newRow("garbage") << 0 << true << QStringList{ "thaw", "release", "hide", "error 500" } << QStringList();
}

void tst_RestLookup::closingStepsInOrder()
{
    QFETCH(int, status);
    QFETCH(bool, errorProc);
    QFETCH(QStringList, log);
    QFETCH(QStringList, shown);
    m_env->server.setHandler([status](const RecordedRequest &) {
        return status == 200 ? Reply::json(R"({"data": [{"status_id": 1}]})")
            : status ? Reply::text("denied", status)
                     : Reply::withAction(Reply::Action::Garbage);
    });
    RestLookup(StatusUrl, m_table.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
               errorProc ? m_log.error() : TErrorProc(), true, true);
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(waitFor(log.last()));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, log);
    QCOMPARE(m_env->presenter->texts(), shown);
    if (errorProc)
        QVERIFY2(status ? m_log.lastErrorText == QLatin1String("denied") : !m_log.lastErrorText.isEmpty(),
                 qPrintable(m_log.lastErrorText));
    QCOMPARE(m_table->recordCount(), status == 200 ? 1 : 0);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestLookup::paramLinesBecomeQueryParameters_data()
{
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values"); // in the order of names

    QTest::newRow("two lines") << false << QStringLiteral("a=1\nb=x") << QStringList{ "a", "b", "showall" }
                               << QStringList{ "1", "x", "0" };
    QTest::newRow("show all, CR LF, trailing break") << true << QStringLiteral("a=1\r\nb=x\r\n")
                                                     << QStringList{ "a", "b", "showall" }
                                                     << QStringList{ "1", "x", "1" };
    QTest::newRow("value holding =") << false << QStringLiteral("f=k=v") << QStringList{ "f", "showall" }
                                     << QStringList{ "k=v", "0" };
    QTest::newRow("blank lines skipped") << false << QStringLiteral("\na=1\n\n") << QStringList{ "a", "showall" }
                                         << QStringList{ "1", "0" };
    QTest::newRow("name without value") << false << QStringLiteral("flag") << QStringList{ "flag", "showall" }
                                        << QStringList{ "", "0" };
    QTest::newRow("empty value") << false << QStringLiteral("q=") << QStringList{ "q", "showall" }
                                 << QStringList{ "", "0" };
    QTest::newRow("no lines") << true << QString() << QStringList{ "showall" } << QStringList{ "1" };
}

void tst_RestLookup::paramLinesBecomeQueryParameters()
{
    QFETCH(bool, showAll);
    QFETCH(QString, lines);
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);
    RestLookup(StatusUrl, m_table.get(), showAll, lines, &m_errorHandler, m_log.complete(), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("complete")));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.path, StatusUrl);
    QMap<QString, QString> expected;
    for (qsizetype i = 0; i < names.size(); ++i)
        expected.insert(names.at(i), values.at(i));
    QCOMPARE(r.queryItems.size(), names.size());
    QCOMPARE(queryMap(r), expected);
}

void tst_RestLookup::duplicateShowAllRaisesBeforeAnything()
{
    m_table->appendRows({ { 1, QStringLiteral("kept") } });
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             RestLookup(StatusUrl, m_table.get(), false, QStringLiteral("a=1\nshowall=1"),
                                        &m_errorHandler, m_log.complete(), nullptr, true, true));
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             RestLookupDataStatus(1, QStringLiteral("G1"), m_table.get(), true,
                                                  QStringLiteral("type=2"), &m_errorHandler, m_log.complete(),
                                                  nullptr, true, true));
    QTest::qWait(50);
    QCOMPARE(m_env->server.requestCount(), 0);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QCOMPARE(m_table->recordCount(), 1);
    QVERIFY(!m_table->controlsDisabled());
    QVERIFY(m_log.entries.isEmpty());
}

void tst_RestLookup::trCodesSendsGroupAndShowAll_data()
{
    QTest::addColumn<bool>("isAuth");
    QTest::addColumn<bool>("showAll");
    QTest::newRow("authorised, all") << true << true;
    QTest::newRow("not authorised, all") << false << true;
    QTest::newRow("not authorised, active only") << false << false;
}

void tst_RestLookup::trCodesSendsGroupAndShowAll()
{
    QFETCH(bool, isAuth);
    QFETCH(bool, showAll);
    auto table = std::make_unique<Platform::MemTable>();
    table->addField(QStringLiteral("tr_code"), Platform::MemTable::FieldType::String);
    table->open();
    m_env->server.enqueue(Reply::json(R"({"data": [{"tr_code": "PR"}, {"tr_code": "PO"}]})"));
    RestLookupTrCodes(QStringLiteral("PRC 01"), table.get(), isAuth, showAll, &m_errorHandler, m_log.complete(),
                      nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("complete")));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.path, TrCodesUrl);
    QCOMPARE(queryMap(r), (QMap<QString, QString>{ { "showall", showAll ? "1" : "0" }, { "tr_group_id", "PRC 01" } }));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    QCOMPARE(columnTexts(*table, QStringLiteral("tr_code")), QStringList({ "PR", "PO" }));
}

void tst_RestLookup::dataStatusSendsItsParameters()
{
    m_env->server.enqueue(Reply::json(R"({"data": [{"status_id": 3, "status_name": "Draft"}]})"));
    RestLookupDataStatus(2, QStringLiteral("PO"), m_table.get(), false, QStringLiteral("lang=id\nsort=name"),
                         &m_errorHandler, m_log.complete(), nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("complete")));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.path, StatusUrl);
    QCOMPARE(queryMap(r), (QMap<QString, QString>{ { "lang", "id" }, { "showall", "0" }, { "sort", "name" },
                                                     { "status_group_id", "PO" }, { "type", "2" } }));
    QCOMPARE(columnTexts(*m_table, QStringLiteral("status_name")), QStringList({ "Draft" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestLookup::latestLookupWins()
{
    m_env->server.setHandler([](const RecordedRequest &r) {
        if (r.queryValue(QStringLiteral("showall")) == QLatin1String("1")) {
            Reply reply = Reply::json(R"({"data": [{"status_id": 1}, {"status_id": 2}]})");
            reply.delayMs = 300;
            return reply;
        }
        return Reply::json(R"({"data": [{"status_id": 1}]})");
    });
    RestLookup(StatusUrl, m_table.get(), true, QString(), &m_errorHandler, m_log.complete(QStringLiteral("all")),
               nullptr, false, false);
    QVERIFY(m_env->server.waitForRequests(1));
    RestLookup(StatusUrl, m_table.get(), false, QString(), &m_errorHandler,
               m_log.complete(QStringLiteral("active")), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("all")));
    QCOMPARE(m_log.entries, QStringList({ "active", "thaw", "all" }));
    QCOMPARE(columnTexts(*m_table, QStringLiteral("status_id")), QStringList({ "1" }));
}

QTEST_MAIN(tst_RestLookup)
#include "tst_restlookup.moc"
