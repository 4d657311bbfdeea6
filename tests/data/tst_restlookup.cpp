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

QStringList queryNames(const RecordedRequest &r)
{
    QStringList names;
    for (const auto &item : r.queryItems)
        names.append(item.first);
    names.sort();
    return names;
}

} // namespace

class tst_RestLookup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loadsDataIgnoringPages();
    void closingStepsHideBeforeCompletion();
    void failureStatusOrder();
    void transportFailureOrder();
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

void tst_RestLookup::closingStepsHideBeforeCompletion()
{
    m_env->server.enqueue(Reply::json(R"({"data": [{"status_id": 1}]})"));
    RestLookup(StatusUrl, m_table.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(), nullptr,
               true, true);
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "hide", "complete" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestLookup::failureStatusOrder()
{
    m_env->server.enqueue(Reply::text("denied", 403));
    RestLookup(StatusUrl, m_table.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(), nullptr,
               true, true);
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "hide", "complete" }));
    QCOMPARE(m_env->presenter->texts(), QStringList({ "Forbidden.\r\ndenied" }));

    m_log.entries.clear();
    m_env->server.enqueue(Reply::text("denied", 403));
    RestLookup(StatusUrl, m_table.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
               m_log.error(), true, true);
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "error 403", "thaw", "release", "hide", "complete" }));
    QCOMPARE(m_log.lastErrorText, QStringLiteral("denied"));
    QCOMPARE(m_env->presenter->messages.size(), 1);
}

void tst_RestLookup::transportFailureOrder()
{
    m_env->server.setHandler(
        [](const RecordedRequest &) { return Reply::withAction(Reply::Action::Garbage); });
    RestLookup(StatusUrl, m_table.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
               m_log.error(), true, true);
    QVERIFY(waitFor(QStringLiteral("error 500")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, QStringList({ "thaw", "release", "hide", "error 500" }));
    QVERIFY(!m_log.lastErrorText.isEmpty());
    QCOMPARE(m_table->recordCount(), 0);
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
    QCOMPARE(queryNames(r), names);
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(r.queryValue(names.at(i)), values.at(i));
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
    QCOMPARE(queryNames(r), QStringList({ "showall", "tr_group_id" }));
    QCOMPARE(r.queryValue(QStringLiteral("showall")), showAll ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(r.queryValue(QStringLiteral("tr_group_id")), QStringLiteral("PRC 01"));
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
    QCOMPARE(queryNames(r), QStringList({ "lang", "showall", "sort", "status_group_id", "type" }));
    QCOMPARE(r.queryValue(QStringLiteral("type")), QStringLiteral("2"));
    QCOMPARE(r.queryValue(QStringLiteral("status_group_id")), QStringLiteral("PO"));
    QCOMPARE(r.queryValue(QStringLiteral("showall")), QStringLiteral("0"));
    QCOMPARE(r.queryValue(QStringLiteral("lang")), QStringLiteral("id"));
    QCOMPARE(r.queryValue(QStringLiteral("sort")), QStringLiteral("name"));
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
