#include "DataUtilsU.h"
#include "Errors.h"
#include "HttpClient.h"
#include "TestHttpServer.h"

#include <QtTest>

namespace {

// Applies the set to a fresh client and returns what the server received.
RecordedRequest sendWith(const THttpParams &AParams, const QString &AResource)
{
    TestHttpServer server;
    auto client = Platform::HttpClient::create();
    client->setBaseURL(server.url());
    AParams.SetRestClientParams(*client);
    client->get(AResource);
    return server.requestCount() == 1 ? server.lastRequest() : RecordedRequest();
}

} // namespace

class tst_HttpParams : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void valuesAsSent_data();
    void valuesAsSent();
    void unconvertibleValuesRaise_data();
    void unconvertibleValuesRaise();
    void keysDifferingInCaseFillTheirOwnPlaceholders();
};

void tst_HttpParams::valuesAsSent_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("sent");
    QTest::newRow("text") << QVariant(QStringLiteral("a b&c=d/é")) << int(pdtString) << QStringLiteral("a b&c=d/é");
    QTest::newRow("text of null") << QVariant() << int(pdtString) << QString();
    QTest::newRow("integer") << QVariant(-12) << int(pdtInteger) << QStringLiteral("-12");
    QTest::newRow("integer from text") << QVariant(QStringLiteral(" 42 ")) << int(pdtInteger) << QStringLiteral("42");
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << int(pdtDate) << QStringLiteral("2024-02-29");
    QTest::newRow("date from text") << QVariant(QStringLiteral("2023-12-01")) << int(pdtDate)
                                    << QStringLiteral("2023-12-01");
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9))) << int(pdtDateTime)
                               << QStringLiteral("2024-02-29T13:05:09");
}

void tst_HttpParams::valuesAsSent()
{
    QFETCH(QVariant, value);
    QFETCH(int, dataType);
    QFETCH(QString, sent);
    THttpParams params;
    params.AddParam(QStringLiteral("v"), value, TParamDataType(dataType), ptQuery);
    params.AddParam(QStringLiteral("p"), value, TParamDataType(dataType), ptPath);
    const RecordedRequest r = sendWith(params, QStringLiteral("/x/{p}/y"));
    QVERIFY(r.hasQueryItem(QStringLiteral("v")));
    QCOMPARE(r.queryValue(QStringLiteral("v")), sent);
    QCOMPARE(r.path, QStringLiteral("/x/") + sent + QStringLiteral("/y"));
    QCOMPARE(r.rawPath.count('/'), 3); // the value is one path segment
}

void tst_HttpParams::unconvertibleValuesRaise_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("dataType");
    QTest::newRow("word as integer") << QVariant(QStringLiteral("abc")) << int(pdtInteger);
    QTest::newRow("beyond 32 bits") << QVariant(qint64(1) << 40) << int(pdtInteger);
    QTest::newRow("word as date") << QVariant(QStringLiteral("not a date")) << int(pdtDate);
}

void tst_HttpParams::unconvertibleValuesRaise()
{
    QFETCH(QVariant, value);
    QFETCH(int, dataType);
    THttpParams params;
    // accepted when added: the conversion happens when the set is applied
    params.AddParam(QStringLiteral("v"), value, TParamDataType(dataType), ptQuery);
    auto client = Platform::HttpClient::create();
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, params.SetRestClientParams(*client));
}

void tst_HttpParams::keysDifferingInCaseFillTheirOwnPlaceholders()
{
    THttpParams params;
    params.AddParam(QStringLiteral("doc_id"), 7, pdtInteger, ptPath);
    params.AddParam(QStringLiteral("DOC_ID"), QStringLiteral("PO"), pdtString, ptPath);
    const RecordedRequest r = sendWith(params, QStringLiteral("/prc/v1/{DOC_ID}/{doc_id}"));
    QCOMPARE(r.path, QStringLiteral("/prc/v1/PO/7"));
}

QTEST_GUILESS_MAIN(tst_HttpParams)
#include "tst_httpparams.moc"
