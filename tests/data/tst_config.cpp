#include "DataTestSupport.h"
#include "UtilsU.h"

namespace {

QByteArray entry(const QByteArray &id, const QByteArray &valueJson, const QByteArray &type)
{
    return R"({"config_id":")" + id + R"(","config_value":)" + valueJson + R"(,"data_type":")" + type + R"("})";
}

QByteArray envelope(const QList<QByteArray> &entries)
{
    return R"({"data":[)" + QByteArrayList(entries).join(',') + "]}";
}

} // namespace

class tst_Config : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_env = std::make_unique<DataTestEnv>(false);
    }
    void cleanup() { m_env.reset(); }
    void loadsEntries();
    void typedReads_data();
    void typedReads();
    void failures_data();
    void failures();
    void waitDialogClosedOnce();

private:
    std::unique_ptr<DataTestEnv> m_env;
};

// Ids are found in any case, kept whole (even with "=" in them), the first
// of two alike wins.
void tst_Config::loadsEntries()
{
    m_env->server.enqueue(
        Reply::json(envelope({ entry("Max_Rows", R"("50")", "integer"), entry("MAX_ROWS", R"("99")", "string"),
                               entry("a=b", R"("PT Zelt")", "string") })));
    TConfig config;
    config.LoadConfig();
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.path, QStringLiteral("/sys/v1/config"));
    QCOMPARE(r.rawQuery, QByteArray("config_id=")); // every entry
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(config.Count(), 3);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("max_rows")), 50);
    QCOMPARE(config.Value(QStringLiteral("MAX_rows")), QVariant(50));
    QCOMPARE(config.ValueAsString(QStringLiteral("A=B")), QStringLiteral("PT Zelt"));
    QCOMPARE(config.ValueAsString(QStringLiteral("a")), QString());
}

void tst_Config::typedReads_data()
{
    QTest::addColumn<QByteArray>("valueJson");
    QTest::addColumn<QByteArray>("dataType");
    QTest::addColumn<QString>("asString");
    QTest::addColumn<int>("asInteger");
    QTest::addColumn<double>("asFloat");
    QTest::addColumn<bool>("asBoolean");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("blanks, INTEGER") << QByteArray(R"(" 25 ")") << QByteArray("INTEGER") << "25" << 25 << 25.0 << true
                                     << QVariant(25);
    QTest::newRow("text in an integer") << QByteArray(R"("abc")") << QByteArray("integer") << "abc" << 0 << 0.0 << false
                                        << QVariant(0);
    QTest::newRow("float") << QByteArray(R"("3.5")") << QByteArray("Float") << "3.5" << 0 << 3.5 << true
                           << QVariant(3.5);
    QTest::newRow("boolean TRUE") << QByteArray(R"("TRUE")") << QByteArray("BOOLEAN") << "TRUE" << 0 << 0.0 << true
                                  << QVariant(true);
    QTest::newRow("string keeps text") << QByteArray(R"("  PT Zelt  ")") << QByteArray("string") << "PT Zelt" << 0
                                       << 0.0 << false << QVariant(QStringLiteral("PT Zelt"));
    // a number in the text member keeps its JSON spelling, null is no value
    QTest::newRow("number in the text member")
        << QByteArray("25") << QByteArray("integer") << "25" << 25 << 25.0 << true << QVariant(25);
    QTest::newRow("null value") << QByteArray("null") << QByteArray("string") << "" << 0 << 0.0 << false
                                << QVariant(QString());
    // the server's numbers are written the same way on every workstation
    QTest::newRow("float with a thousands look")
        << QByteArray(R"("1.000")") << QByteArray("float") << "1.000" << 0 << 1.0 << true << QVariant(1.0);
    QTest::newRow("decimal comma is no number")
        << QByteArray(R"("2,5")") << QByteArray("float") << "2,5" << 0 << 0.0 << false << QVariant(0.0);
    QTest::newRow("fraction as a boolean")
        << QByteArray(R"("0.5")") << QByteArray("boolean") << "0.5" << 0 << 0.5 << true << QVariant(true);
}

void tst_Config::typedReads()
{
    QFETCH(QByteArray, valueJson);
    QFETCH(QByteArray, dataType);
    QFETCH(QString, asString);
    QFETCH(int, asInteger);
    QFETCH(double, asFloat);
    QFETCH(bool, asBoolean);
    QFETCH(QVariant, value);
    m_env->server.enqueue(Reply::json(envelope({ entry("k", valueJson, dataType) })));
    TConfig config;
    config.LoadConfig();
    QVERIFY2(m_env->presenter->messages.isEmpty(), qPrintable(m_env->presenter->texts().join(u'|')));
    // read on a workstation whose numbers use a decimal comma and a thousands dot
    QLocale::setDefault(QLocale(QLocale::Indonesian, QLocale::Indonesia));
    QCOMPARE(config.ValueAsString(QStringLiteral("k")), asString);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("k")), asInteger);
    QCOMPARE(config.ValueAsFloat(QStringLiteral("k")), asFloat);
    QCOMPARE(config.ValueAsBoolean(QStringLiteral("k")), asBoolean);
    const QVariant got = config.Value(QStringLiteral("k"));
    QCOMPARE(got.metaType(), value.metaType());
    QCOMPARE(got, value);
}

// A bad answer is told once; the entries before the bad one are kept.
void tst_Config::failures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("entriesKept");
    QTest::newRow("401 without data") << 401 << QByteArray(R"({"message":"Token expired"})")
                                      << R"(JSON member "data" is missing)" << 0;
    QTest::newRow("data is an object") << 200 << QByteArray(R"({"data":{"config_id":"a"}})")
                                       << R"(JSON member "data" is not an array but an object)" << 0;
    QTest::newRow("null element after a good one")
        << 200 << envelope({ entry("a", R"("1")", "integer"), "null", entry("b", R"("2")", "integer") })
        << R"(JSON member "data.1" is not an object)" << 1;
}

void tst_Config::failures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QFETCH(int, entriesKept);
    m_env->server.enqueue(Reply::json(body, status));
    TConfig config;
    config.LoadConfig();
    QCOMPARE(m_env->presenter->texts(), QStringList({ message }));
    QCOMPARE(m_env->presenter->messages.at(0).kind, Platform::MessageKind::Error);
    QCOMPARE(config.Count(), entriesKept);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("a")), entriesKept);
    QCOMPARE(config.ValueAsString(QStringLiteral("b")), QString());
}

// The load closes the wait dialog whatever its counter says and counts down
// once, also after a failure: another request's showing still counts.
void tst_Config::waitDialogClosedOnce()
{
    WaitDlg = new TWaitDlg; // the test environment deletes it
    QWidget mainForm;
    WaitDlg->SetMainForm(&mainForm);
    WaitDlg->Show(); // another request's
    WaitDlg->Show(); // the caller's, for the load
    m_env->server.enqueue(Reply::json(R"({"message":"no"})"));
    TConfig().LoadConfig();
    QCOMPARE(m_env->presenter->messages.size(), 1);
    QVERIFY(!WaitDlg->IsFormVisible());
    QVERIFY(mainForm.isEnabled());
    QCOMPARE(WaitDlg->ProcessCount(), 1);
}

QTEST_MAIN(tst_Config)
#include "tst_config.moc"
