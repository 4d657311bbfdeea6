#include "DataUtilsU.h"
#include "Errors.h"
#include "HttpClient.h"
#include "TestHttpServer.h"

#include <QtTest>

namespace {

// Applies the set to a fresh client and returns what the server received.
RecordedRequest sendWith(TestHttpServer &server, const THttpParams *params,
                         const QString &resource = QStringLiteral("/com/v1/master/contacts"))
{
    auto client = Platform::HttpClient::create();
    client->setBaseURL(server.url());
    if (params)
        params->SetRestClientParams(*client);
    const int before = server.requestCount();
    client->get(resource);
    if (server.requestCount() != before + 1)
        return {};
    return server.lastRequest();
}

} // namespace

class tst_HttpParams : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void addParamsType1GivesFiveQueryEntries();
    void keysAreCaseSensitiveAndUnique();
    void pathParameterFillsPlaceholder();
    void emptyAndMissingSetsAddNothing();
    void valuesAsSent_data();
    void valuesAsSent();
    void unconvertibleValuesRaise_data();
    void unconvertibleValuesRaise();
    void textIsPercentEncoded();
    void datesInPathAndQuery();
};

void tst_HttpParams::addParamsType1GivesFiveQueryEntries()
{
    THttpParams params;
    params.AddParamsType1(QString(), QString(), 1, QStringLiteral("1"), QStringLiteral("20"));
    QCOMPARE(params.Count(), 5);
    struct Expected
    {
        const char *key;
        QVariant value;
        TParamDataType type;
    };
    const Expected expected[] = {
        { "mode", QString(), pdtString },
        { "q", QString(), pdtString },
        { "status", 1, pdtInteger },
        { "page", QStringLiteral("1"), pdtString },
        { "page_rows", QStringLiteral("20"), pdtString },
    };
    for (const Expected &e : expected) {
        const TParamData *p = params.Find(QString::fromLatin1(e.key));
        QVERIFY2(p, e.key);
        QCOMPARE(p->Key, QString::fromLatin1(e.key));
        QCOMPARE(p->Value, e.value);
        QCOMPARE(p->DataType, e.type);
        QCOMPARE(p->ParamType, ptQuery);
    }

    TestHttpServer server;
    const RecordedRequest r = sendWith(server, &params);
    // in no particular order
    QList<QPair<QString, QString>> sent = r.queryItems;
    std::sort(sent.begin(), sent.end());
    QCOMPARE(sent, (QList<QPair<QString, QString>>{ { "mode", "" }, { "page", "1" }, { "page_rows", "20" },
                                                    { "q", "" }, { "status", "1" } }));
    QCOMPARE(r.path, QStringLiteral("/com/v1/master/contacts"));
}

void tst_HttpParams::keysAreCaseSensitiveAndUnique()
{
    THttpParams params;
    params.AddParam(QStringLiteral("Code"), QStringLiteral("A"), pdtString, ptQuery);
    params.AddParam(QStringLiteral("code"), QStringLiteral("b"), pdtString, ptQuery);
    QCOMPARE(params.Count(), 2);

    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             params.AddParam(QStringLiteral("code"), 7, pdtInteger, ptPath));
    // the earlier entry stays as it was
    QCOMPARE(params.Count(), 2);
    QCOMPARE(params.Find(QStringLiteral("code"))->Value, QVariant(QStringLiteral("b")));
    QCOMPARE(params.Find(QStringLiteral("code"))->DataType, pdtString);

    // AddParamsType1 goes through the same refusal
    THttpParams paged;
    paged.AddParam(QStringLiteral("page"), QStringLiteral("3"), pdtString, ptQuery);
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             paged.AddParamsType1(QStringLiteral("browse"), QString(), 1, QStringLiteral("1"),
                                                  QStringLiteral("20")));

    TestHttpServer server;
    const RecordedRequest r = sendWith(server, &params);
    QCOMPARE(r.queryValue(QStringLiteral("Code")), QStringLiteral("A"));
    QCOMPARE(r.queryValue(QStringLiteral("code")), QStringLiteral("b"));
}

void tst_HttpParams::pathParameterFillsPlaceholder()
{
    THttpParams params;
    params.AddParam(QStringLiteral("contact_id"), 42, pdtInteger, ptPath);
    params.AddParam(QStringLiteral("lang"), QStringLiteral("id"), pdtString, ptQuery);
    TestHttpServer server;
    const RecordedRequest r = sendWith(server, &params, QStringLiteral("/crm/v1/master/contacts/{contact_id}"));
    QCOMPARE(r.path, QStringLiteral("/crm/v1/master/contacts/42"));
    QCOMPARE(r.queryItems.size(), 1);
    QCOMPARE(r.queryValue(QStringLiteral("lang")), QStringLiteral("id"));
}

void tst_HttpParams::emptyAndMissingSetsAddNothing()
{
    TestHttpServer server;
    THttpParams empty;
    QCOMPARE(sendWith(server, &empty).rawQuery, QByteArray());
    QCOMPARE(sendWith(server, nullptr).rawQuery, QByteArray());
    QCOMPARE(server.requestCount(), 2);
}

void tst_HttpParams::valuesAsSent_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("sent");

    QTest::newRow("text") << QVariant(QStringLiteral("abc")) << int(pdtString) << QStringLiteral("abc");
    QTest::newRow("text of an integer") << QVariant(7) << int(pdtString) << QStringLiteral("7");
    QTest::newRow("text of null") << QVariant() << int(pdtString) << QString();
    QTest::newRow("text of a date") << QVariant(QDate(2024, 2, 29)) << int(pdtString)
                                    << QStringLiteral("2024-02-29");
    QTest::newRow("integer") << QVariant(-12) << int(pdtInteger) << QStringLiteral("-12");
    QTest::newRow("integer from text") << QVariant(QStringLiteral(" 42 ")) << int(pdtInteger)
                                       << QStringLiteral("42");
    QTest::newRow("integer from whole double") << QVariant(3.0) << int(pdtInteger) << QStringLiteral("3");
    QTest::newRow("integer from 64 bits in range") << QVariant(qint64(2147483647)) << int(pdtInteger)
                                                   << QStringLiteral("2147483647");
    QTest::newRow("integer from bool") << QVariant(true) << int(pdtInteger) << QStringLiteral("1");
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << int(pdtDate) << QStringLiteral("2024-02-29");
    QTest::newRow("date from text") << QVariant(QStringLiteral("2023-12-01")) << int(pdtDate)
                                    << QStringLiteral("2023-12-01");
    QTest::newRow("date of a date-time") << QVariant(QDateTime(QDate(2024, 1, 5), QTime(23, 59, 59)))
                                         << int(pdtDate) << QStringLiteral("2024-01-05");
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9))) << int(pdtDateTime)
                               << QStringLiteral("2024-02-29T13:05:09");
    QTest::newRow("date-time from a date") << QVariant(QDate(2024, 2, 29)) << int(pdtDateTime)
                                           << QStringLiteral("2024-02-29T00:00:00");
    QTest::newRow("date-time from text") << QVariant(QStringLiteral("2024-02-29 08:00:01")) << int(pdtDateTime)
                                         << QStringLiteral("2024-02-29T08:00:01");
}

void tst_HttpParams::valuesAsSent()
{
    QFETCH(QVariant, value);
    QFETCH(int, dataType);
    QFETCH(QString, sent);
    THttpParams params;
    params.AddParam(QStringLiteral("v"), value, TParamDataType(dataType), ptQuery);
    params.AddParam(QStringLiteral("p"), value, TParamDataType(dataType), ptPath);
    TestHttpServer server;
    const RecordedRequest r = sendWith(server, &params, QStringLiteral("/x/{p}/y"));
    QVERIFY(r.hasQueryItem(QStringLiteral("v")));
    QCOMPARE(r.queryValue(QStringLiteral("v")), sent);
    QCOMPARE(r.path, QStringLiteral("/x/") + sent + QStringLiteral("/y"));
}

void tst_HttpParams::unconvertibleValuesRaise_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("dataType");

    QTest::newRow("word as integer") << QVariant(QStringLiteral("abc")) << int(pdtInteger);
    QTest::newRow("empty text as integer") << QVariant(QString()) << int(pdtInteger);
    QTest::newRow("null as integer") << QVariant() << int(pdtInteger);
    QTest::newRow("fraction as integer") << QVariant(2.5) << int(pdtInteger);
    QTest::newRow("beyond 32 bits") << QVariant(qint64(1) << 40) << int(pdtInteger);
    QTest::newRow("text beyond 32 bits") << QVariant(QStringLiteral("4294967296")) << int(pdtInteger);
    QTest::newRow("word as date") << QVariant(QStringLiteral("not a date")) << int(pdtDate);
    QTest::newRow("number as date") << QVariant(45000) << int(pdtDate);
    QTest::newRow("null as date") << QVariant() << int(pdtDate);
    QTest::newRow("word as date-time") << QVariant(QStringLiteral("soon")) << int(pdtDateTime);
    QTest::newRow("list as text") << QVariant(QVariantList{ 1, 2 }) << int(pdtString);
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

void tst_HttpParams::textIsPercentEncoded()
{
    THttpParams params;
    params.AddParam(QStringLiteral("q"), QStringLiteral("a b&c=d/é"), pdtString, ptQuery);
    params.AddParam(QStringLiteral("code"), QStringLiteral("x/y z"), pdtString, ptPath);
    TestHttpServer server;
    const RecordedRequest r = sendWith(server, &params, QStringLiteral("/prc/v1/items/{code}"));
    QCOMPARE(r.queryItems.size(), 1);
    QCOMPARE(r.queryValue(QStringLiteral("q")), QStringLiteral("a b&c=d/é"));
    QCOMPARE(r.path, QStringLiteral("/prc/v1/items/x/y z"));
    QVERIFY(r.rawPath.endsWith("x%2Fy%20z"));
}

void tst_HttpParams::datesInPathAndQuery()
{
    THttpParams params;
    params.AddParam(QStringLiteral("from"), QDate(2024, 1, 31), pdtDate, ptQuery);
    params.AddParam(QStringLiteral("day"), QDate(2024, 3, 1), pdtDate, ptPath);
    TestHttpServer server;
    const RecordedRequest r = sendWith(server, &params, QStringLiteral("/hrm/v1/attendance/{day}"));
    QCOMPARE(r.queryValue(QStringLiteral("from")), QStringLiteral("2024-01-31"));
    QCOMPARE(r.path, QStringLiteral("/hrm/v1/attendance/2024-03-01"));
}

QTEST_GUILESS_MAIN(tst_HttpParams)
#include "tst_httpparams.moc"
