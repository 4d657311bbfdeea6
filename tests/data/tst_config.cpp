#include "RecordingPresenter.h"
#include "DataTestSupport.h"
#include "TestHttpServer.h"
#include "UtilsU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QtTest>

using Platform::MessageButton;
using Platform::MessageKind;

namespace {

QByteArray entry(const QByteArray &id, const QByteArray &valueJson, const QByteArray &type)
{
    return R"({"config_id":")" + id + R"(","config_value":)" + valueJson + R"(,"data_type":")" + type + R"("})";
}

QByteArray envelope(const QList<QByteArray> &entries)
{
    QByteArray body = R"({"data":[)";
    for (qsizetype i = 0; i < entries.size(); ++i)
        body += (i ? "," : "") + entries.at(i);
    return body + "]}";
}

} // namespace

class tst_Config : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void requestAndEntries();
    void typedReads_data();
    void typedReads();
    void floatFollowsTheCurrentLocale();
    void neverLoadedId();
    void lookupIgnoresCaseAndFirstWins();
    void secondLoadAppendsButFirstStillWins();
    void failures_data();
    void failures();
    void transportFailure();
    void waitDialogClosedOnce_data();
    void waitDialogClosedOnce();

private:
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<TZeltRestClient> m_rest;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_Config::init()
{
    QLocale::setDefault(QLocale::c());
    m_server = std::make_unique<TestHttpServer>();
    m_rest = std::make_unique<TZeltRestClient>(m_server->url(), 5000, 5000);
    m_rest->SetHeaderData(QStringLiteral("tok-1"), QStringLiteral("ref-1"), QStringLiteral("id_ID"));
    RestClient = m_rest.get();
    m_presenter = RecordingPresenter::install();
}

void tst_Config::cleanup()
{
    RestClient = nullptr;
    WaitDlg = nullptr;
    m_rest.reset();
    m_server.reset();
}

void tst_Config::requestAndEntries()
{
    m_server->enqueue(Reply::json(envelope({ entry("tax_rate", R"("11")", "integer"),
                                             entry("company", R"("PT Zelt")", "string") })));
    TConfig config;
    config.LoadConfig();

    QCOMPARE(m_server->requestCount(), 1);
    const RecordedRequest r = m_server->lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QStringLiteral("/sys/v1/config"));
    // every entry: "config_id" goes out empty
    QCOMPARE(r.rawQuery, QByteArray("config_id="));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok-1"));

    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(config.Count(), 2);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("tax_rate")), 11);
    QCOMPARE(config.ValueAsString(QStringLiteral("company")), QStringLiteral("PT Zelt"));
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

    QTest::newRow("blanks, INTEGER") << QByteArray(R"(" 25 ")") << QByteArray("INTEGER") << "25" << 25 << 25.0
                                     << true << QVariant(25);
    QTest::newRow("negative integer") << QByteArray(R"("-7")") << QByteArray("integer") << "-7" << -7 << -7.0
                                      << true << QVariant(-7);
    QTest::newRow("integer beyond 32 bits") << QByteArray(R"("2147483648")") << QByteArray("integer")
                                            << "2147483648" << 0 << 2147483648.0 << true << QVariant(0);
    QTest::newRow("fraction as integer") << QByteArray(R"("25.5")") << QByteArray("Integer") << "25.5" << 0 << 25.5
                                         << true << QVariant(0);
    QTest::newRow("text in an integer") << QByteArray(R"("abc")") << QByteArray("integer") << "abc" << 0 << 0.0
                                        << false << QVariant(0);
    QTest::newRow("float") << QByteArray(R"("3.5")") << QByteArray("Float") << "3.5" << 0 << 3.5 << true
                           << QVariant(3.5);
    QTest::newRow("comma is not the C decimal") << QByteArray(R"("3,5")") << QByteArray("float") << "3,5" << 0
                                                << 0.0 << false << QVariant(0.0);
    QTest::newRow("boolean 1") << QByteArray(R"("1")") << QByteArray("boolean") << "1" << 1 << 1.0 << true
                               << QVariant(true);
    QTest::newRow("boolean False") << QByteArray(R"("False")") << QByteArray("boolean") << "False" << 0 << 0.0
                                   << false << QVariant(false);
    QTest::newRow("boolean TRUE") << QByteArray(R"("TRUE")") << QByteArray("BOOLEAN") << "TRUE" << 0 << 0.0
                                  << true << QVariant(true);
    QTest::newRow("boolean 0") << QByteArray(R"("0")") << QByteArray("boolean") << "0" << 0 << 0.0 << false
                               << QVariant(false);
    QTest::newRow("boolean 2.5") << QByteArray(R"("2.5")") << QByteArray("boolean") << "2.5" << 0 << 2.5 << true
                                 << QVariant(true);
    QTest::newRow("boolean neither") << QByteArray(R"("yes")") << QByteArray("boolean") << "yes" << 0 << 0.0
                                     << false << QVariant(false);
    QTest::newRow("string keeps text") << QByteArray(R"("  PT Zelt  ")") << QByteArray("string") << "PT Zelt" << 0
                                       << 0.0 << false << QVariant(QStringLiteral("PT Zelt"));
    QTest::newRow("unknown type reads as text") << QByteArray(R"("2024-03-05")") << QByteArray("date")
                                                << "2024-03-05" << 0 << 0.0 << false
                                                << QVariant(QStringLiteral("2024-03-05"));
    // The server's kinds are not trusted: a number or a Boolean in the text
    // member keeps its JSON spelling, null is no value.
    QTest::newRow("number in the text member") << QByteArray("25") << QByteArray("integer") << "25" << 25 << 25.0
                                               << true << QVariant(25);
    QTest::newRow("fraction in the text member") << QByteArray("0.25") << QByteArray("float") << "0.25" << 0
                                                 << 0.25 << true << QVariant(0.25);
    QTest::newRow("Boolean in the text member") << QByteArray("true") << QByteArray("boolean") << "true" << 0 << 0.0
                                                << true << QVariant(true);
    QTest::newRow("null value") << QByteArray("null") << QByteArray("string") << "" << 0 << 0.0 << false
                                << QVariant(QString());
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

    m_server->enqueue(Reply::json(envelope({ entry("k", valueJson, dataType) })));
    TConfig config;
    config.LoadConfig();
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(u'|')));
    QCOMPARE(config.Count(), 1);

    QCOMPARE(config.ValueAsString(QStringLiteral("k")), asString);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("k")), asInteger);
    QCOMPARE(config.ValueAsFloat(QStringLiteral("k")), asFloat);
    QCOMPARE(config.ValueAsBoolean(QStringLiteral("k")), asBoolean);
    const QVariant got = config.Value(QStringLiteral("k"));
    QCOMPARE(got.metaType(), value.metaType());
    QCOMPARE(got, value);
}

void tst_Config::floatFollowsTheCurrentLocale()
{
    m_server->enqueue(Reply::json(envelope({ entry("rate", R"("3,5")", "float"), entry("big", R"("1.250,5")", "float"),
                                             entry("flag", R"("0,0")", "boolean") })));
    TConfig config;
    config.LoadConfig();
    QLocale::setDefault(QLocale(QLocale::Indonesian, QLocale::Indonesia));
    QCOMPARE(config.ValueAsFloat(QStringLiteral("rate")), 3.5);
    QCOMPARE(config.Value(QStringLiteral("rate")), QVariant(3.5));
    QCOMPARE(config.ValueAsFloat(QStringLiteral("big")), 1250.5);
    QCOMPARE(config.ValueAsBoolean(QStringLiteral("flag")), false);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(config.ValueAsFloat(QStringLiteral("rate")), 0.0);
}

void tst_Config::neverLoadedId()
{
    TConfig config;
    QCOMPARE(config.ValueAsInteger(QStringLiteral("nothing")), 0);
    QCOMPARE(config.ValueAsFloat(QStringLiteral("nothing")), 0.0);
    QCOMPARE(config.ValueAsBoolean(QStringLiteral("nothing")), false);
    QCOMPARE(config.ValueAsString(QStringLiteral("nothing")), QString());
    const QVariant v = config.Value(QStringLiteral("nothing"));
    QCOMPARE(v.metaType(), QMetaType::fromType<QString>());
    QCOMPARE(v.toString(), QString());
    QCOMPARE(m_server->requestCount(), 0);

    // nor after a load without entries, which is quiet
    m_server->enqueue(Reply::json(R"({"data": []})"));
    config.LoadConfig();
    QCOMPARE(config.Count(), 0);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("nothing")), 0);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_Config::lookupIgnoresCaseAndFirstWins()
{
    // ids are kept whole, even with "=" in them
    m_server->enqueue(Reply::json(envelope({ entry("Max_Rows", R"("50")", "integer"),
                                             entry("MAX_ROWS", R"("99")", "string"),
                                             entry("a=b", R"("x")", "string") })));
    TConfig config;
    config.LoadConfig();
    QCOMPARE(config.ValueAsInteger(QStringLiteral("max_rows")), 50);
    QCOMPARE(config.Value(QStringLiteral("MAX_rows")), QVariant(50));
    QCOMPARE(config.ValueAsString(QStringLiteral("A=B")), QStringLiteral("x"));
    QCOMPARE(config.ValueAsString(QStringLiteral("a")), QString());
}

void tst_Config::secondLoadAppendsButFirstStillWins()
{
    m_server->enqueue(Reply::json(envelope({ entry("rows", R"("10")", "integer") })));
    m_server->enqueue(Reply::json(envelope({ entry("rows", R"("20")", "integer") })));
    TConfig config;
    config.LoadConfig();
    config.LoadConfig();
    QCOMPARE(m_server->requestCount(), 2);
    QCOMPARE(config.Count(), 2);
    QCOMPARE(config.ValueAsInteger(QStringLiteral("rows")), 10);
}

void tst_Config::failures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("entriesKept");

    QTest::newRow("401 without data") << 401 << QByteArray(R"({"message":"Token expired"})")
                                      << R"(JSON member "data" is missing)" << 0;
    QTest::newRow("500 html page") << 500 << QByteArray("<html><body>Internal error</body></html>")
                                   << R"(JSON member "data" is missing)" << 0;
    QTest::newRow("data is an object") << 200 << QByteArray(R"({"data":{"config_id":"a"}})")
                                       << R"(JSON member "data" is not an array but an object)" << 0;
    QTest::newRow("data is text") << 200 << QByteArray(R"({"data":"[]"})")
                                  << R"(JSON member "data" is not an array but a string)" << 0;
    QTest::newRow("body is an array") << 200 << QByteArray(R"([{"config_id":"a"}])")
                                      << R"(JSON member "data" is missing)" << 0;
    QTest::newRow("5 MB of garbage") << 200 << QByteArray(5 * 1024 * 1024, '\x7f')
                                     << R"(JSON member "data" is missing)" << 0;
    QTest::newRow("null element after a good one")
        << 200 << envelope({ entry("a", R"("1")", "integer"), "null", entry("b", R"("2")", "integer") })
        << R"(JSON member "data.1" is not an object)" << 1;
    QTest::newRow("element without data_type")
        << 200 << QByteArray(R"({"data":[{"config_id":"a","config_value":"1","data_type":"integer"},)"
                             R"({"config_id":"b","config_value":"2"}]})")
        << R"(JSON member "data.1.data_type" is missing)" << 1;
    QTest::newRow("object as value") << 200 << envelope({ entry("a", R"({"x":1})", "string") })
                                     << R"(JSON member "data.0.config_value" is not a text)" << 0;
}

void tst_Config::failures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QFETCH(int, entriesKept);

    m_server->enqueue(Reply::json(body, status));
    TConfig config;
    config.LoadConfig();

    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages.at(0).text, message);
    QCOMPARE(m_presenter->messages.at(0).kind, MessageKind::Error);
    QCOMPARE(m_presenter->messages.at(0).buttons, Platform::MessageButtons(MessageButton::Ok));
    QCOMPARE(config.Count(), entriesKept);
    if (entriesKept)
        QCOMPARE(config.ValueAsInteger(QStringLiteral("a")), 1);
    QCOMPARE(config.ValueAsString(QStringLiteral("b")), QString());
}

void tst_Config::transportFailure()
{
    m_server->enqueue(Reply::withAction(Reply::Action::PartialBodyThenClose, envelope({ entry("a", "1", "x") })));
    TConfig config;
    config.LoadConfig();
    // the transport's own text, whichever way it noticed the cut
    QCOMPARE(m_presenter->messages.size(), 1);
    const QString text = m_presenter->messages.at(0).text;
    QVERIFY2(text.startsWith(QLatin1String("Connection closed "))
                 && text.endsWith(QString(QStringLiteral(": ") + m_server->url() + QStringLiteral("/sys/v1/config"))),
             qPrintable(text));
    QCOMPARE(m_presenter->messages.at(0).kind, MessageKind::Error);
    QCOMPARE(config.Count(), 0);

    m_presenter->clear();
    TZeltRestClient refused(QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()), 5000, 5000);
    RestClient = &refused;
    config.LoadConfig();
    QCOMPARE(m_presenter->messages.size(), 1);
    QVERIFY2(m_presenter->messages.at(0).text.startsWith(QLatin1String("Connection refused")),
             qPrintable(m_presenter->messages.at(0).text));

    // no client at all: said, nothing sent
    m_presenter->clear();
    RestClient = nullptr;
    const int sent = m_server->requestCount();
    config.LoadConfig();
    QCOMPARE(m_presenter->texts(), QStringList(QStringLiteral("No connection to the server has been set up.")));
    QCOMPARE(m_server->requestCount(), sent);
    RestClient = m_rest.get();
}

void tst_Config::waitDialogClosedOnce_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("messages");
    QTest::newRow("success") << envelope({ entry("a", R"("1")", "integer") }) << 0;
    QTest::newRow("failure") << QByteArray(R"({"message":"no"})") << 1;
}

void tst_Config::waitDialogClosedOnce()
{
    QFETCH(QByteArray, body);
    QFETCH(int, messages);

    TWaitDlg dlg;
    WaitDlg = &dlg;
    QWidget mainForm;
    dlg.SetMainForm(&mainForm);
    // another request holds the dialog, and the caller shows it for the load
    dlg.Show();
    dlg.Show();
    QCOMPARE(dlg.ProcessCount(), 2);

    m_server->enqueue(Reply::json(body));
    TConfig config;
    config.LoadConfig();

    QCOMPARE(m_presenter->messages.size(), messages);
    // closed whatever the counter says, and counted down once only, also
    // after a failure: the other request's showing still counts
    QVERIFY(!dlg.IsFormVisible());
    QVERIFY(mainForm.isEnabled());
    QCOMPARE(dlg.ProcessCount(), 1);
    WaitDlg = nullptr;
}

QTEST_MAIN(tst_Config)
#include "tst_config.moc"
