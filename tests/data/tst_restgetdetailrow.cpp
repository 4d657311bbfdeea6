#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"

namespace {

const QString ContactUrl = QStringLiteral("/crm/v1/master/contacts/{contact_id}");

std::unique_ptr<THttpParams> contactParams(int AId, QStringList &ALog)
{
    auto params = probedParams(ALog);
    params->AddParam(QStringLiteral("contact_id"), AId, pdtInteger, ptPath);
    return params;
}

} // namespace

class tst_RestGetDetailRow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void refreshesCurrentRowOfReadOnlyTable();
    void writableTableStaysWritable();
    void failureStatusLeavesRowUnchanged();
    void transportFailureRaisesAfterClosing();
    void unloadableBodiesRaiseWithRowUnchanged_data();
    void unloadableBodiesRaiseWithRowUnchanged();
    void badValuesBecomeNull();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Platform::MemTable> m_table;
    TErrorHandler m_errorHandler;
    CycleLog m_log;

    Platform::MemTable::Row row(int ARow) const { return m_table->rowAt(ARow); }
};

void tst_RestGetDetailRow::init()
{
    m_env = std::make_unique<DataTestEnv>();
    m_table = contactTable();
    m_table->appendRows({ { 7, QStringLiteral("Ani"), QStringLiteral("Buyer"), QDate(1990, 4, 1), 10.0, true },
                          { 8, QStringLiteral("Budi"), QStringLiteral("Clerk"), QDate(1985, 1, 2), 20.0, false } });
    m_table->setRecNo(1);
    m_table->setReadOnly(true);
    m_log.entries.clear();
    m_log.watchWaitDlg();
}

void tst_RestGetDetailRow::cleanup()
{
    m_table.reset();
    m_env.reset();
}

void tst_RestGetDetailRow::refreshesCurrentRowOfReadOnlyTable()
{
    m_env->server.enqueue(Reply::json(R"({"data": {"contact_id": 8, "contact_name": "Budi Santoso",
                                                   "job_position": null, "salary": 25.5}})"));
    const Platform::MemTable::Row untouched = row(0);
    RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries), &m_errorHandler, nullptr, true,
                     true);
    // it blocks: everything is done on return
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QStringLiteral("/crm/v1/master/contacts/8"));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));

    QCOMPARE(m_table->recordCount(), 2);
    QCOMPARE(m_table->recNo(), 1);
    QCOMPARE(m_table->value(QStringLiteral("contact_name")), QVariant(QStringLiteral("Budi Santoso")));
    QVERIFY(!m_table->value(QStringLiteral("job_position")).isValid());
    QCOMPARE(m_table->value(QStringLiteral("salary")), QVariant(25.5));
    // members that were not sent keep their values
    QCOMPARE(m_table->value(QStringLiteral("birth_date")), QVariant(QDate(1985, 1, 2)));
    QCOMPARE(m_table->value(QStringLiteral("active")), QVariant(false));
    QCOMPARE(row(0), untouched);
    QCOMPARE(m_table->state(), Platform::MemTable::State::Browse);
    QVERIFY(m_table->readOnly());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(m_env->presenter->messages.isEmpty());
}

void tst_RestGetDetailRow::writableTableStaysWritable()
{
    m_table->setReadOnly(false);
    m_env->server.enqueue(Reply::json(R"({"data": {"contact_name": "X"}})"));
    RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries), &m_errorHandler, nullptr, false,
                     false);
    QCOMPARE(m_table->value(QStringLiteral("contact_name")), QVariant(QStringLiteral("X")));
    QVERIFY(!m_table->readOnly());
    QCOMPARE(m_log.entries, QStringList({ "release" }));
}

void tst_RestGetDetailRow::failureStatusLeavesRowUnchanged()
{
    // shown through the error handler
    const Platform::MemTable::Row before = row(1);
    m_env->server.enqueue(Reply::text("contact 8 was deleted", 404));
    RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries), &m_errorHandler, nullptr, true,
                     true);
    QCOMPARE(m_env->presenter->texts(), QStringList({ "Page Not Found.\r\ncontact 8 was deleted" }));
    QCOMPARE(row(1), before);
    QVERIFY(m_table->readOnly());
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));

    // or given to the caller's error procedure
    m_env->presenter->clear();
    m_log.entries.clear();
    m_env->server.enqueue(Reply::json(R"({"message": "no"})", 400));
    RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries), &m_errorHandler, m_log.error(),
                     true, true);
    QCOMPARE(m_log.entries, QStringList({ "error 400", "release", "hide" }));
    QCOMPARE(m_log.lastErrorText, QStringLiteral(R"({"message": "no"})"));
    QCOMPARE(row(1), before);
    QVERIFY(m_env->presenter->messages.isEmpty());
}

void tst_RestGetDetailRow::transportFailureRaisesAfterClosing()
{
    const Platform::MemTable::Row before = row(1);
    delete RestClient;
    RestClient = new TZeltRestClient(QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()), 5000, 5000);
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError,
                             RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries),
                                              &m_errorHandler, m_log.error(), true, true));
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));
    QCOMPARE(row(1), before);
    QVERIFY(m_table->readOnly());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(m_env->presenter->messages.isEmpty());

    // and without any REST client at all
    delete RestClient;
    RestClient = nullptr;
    m_log.entries.clear();
    QVERIFY_THROWS_EXCEPTION(Platform::Error,
                             RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries),
                                              &m_errorHandler, nullptr, false, false));
    QCOMPARE(m_log.entries, QStringList({ "release" }));
}

void tst_RestGetDetailRow::unloadableBodiesRaiseWithRowUnchanged_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("data missing") << QByteArray(R"({"rows": {"contact_name": "Z"}})");
    QTest::newRow("data is an array") << QByteArray(R"({"data": [{"contact_name": "Z"}]})");
    QTest::newRow("not JSON") << QByteArray("<html>oops</html>");
    QTest::newRow("array root") << QByteArray(R"([{"data": {}}])");
}

void tst_RestGetDetailRow::unloadableBodiesRaiseWithRowUnchanged()
{
    QFETCH(QByteArray, body);
    const Platform::MemTable::Row before = row(1);
    m_env->server.enqueue(Reply::json(body));
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                             RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries),
                                              &m_errorHandler, nullptr, true, false));
    QCOMPARE(row(1), before);
    QCOMPARE(m_table->state(), Platform::MemTable::State::Browse);
    QVERIFY(m_table->readOnly());
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));
}

void tst_RestGetDetailRow::badValuesBecomeNull()
{
    m_env->server.enqueue(
        Reply::json(R"({"data": {"contact_id": "eight", "contact_name": 12, "birth_date": 5, "active": "maybe"}})"));
    RestGetDetailRow(ContactUrl, m_table.get(), contactParams(8, m_log.entries), &m_errorHandler, nullptr, false,
                     false);
    QVERIFY(!m_table->value(QStringLiteral("contact_id")).isValid());
    QCOMPARE(m_table->value(QStringLiteral("contact_name")), QVariant(QStringLiteral("12")));
    QVERIFY(!m_table->value(QStringLiteral("birth_date")).isValid());
    QVERIFY(!m_table->value(QStringLiteral("active")).isValid());
}

QTEST_MAIN(tst_RestGetDetailRow)
#include "tst_restgetdetailrow.moc"
