#include "Errors.h"
#include "JsonDataSet.h"
#include "MemTable.h"

#include <QAbstractItemModelTester>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtConcurrent>
#include <QtTest>
#include <limits>

using Platform::MemTable;
using FieldType = MemTable::FieldType;
namespace JsonDataSet = Platform::JsonDataSet;

namespace {

// One JSON value written as text, parsed the plain Qt way.
QJsonValue json(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson('[' + text + ']', &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1)
        qFatal("bad test JSON: %s", text.constData());
    return doc.array().at(0);
}

QByteArray compact(const QJsonValue &v)
{
    const QByteArray text = QJsonDocument(QJsonArray { v }).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

QDateTime local(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

// A table the way a screen declares one: lower-case names except one, to
// show that mapping goes by the lower-case field name.
void declareFields(MemTable &t)
{
    t.addField(QStringLiteral("Contact_ID"), FieldType::LargeInt);
    t.addField(QStringLiteral("name"), FieldType::String, 10);
    t.addField(QStringLiteral("qty"), FieldType::Integer);
    t.addField(QStringLiteral("price"), FieldType::Float);
    t.addField(QStringLiteral("active"), FieldType::Boolean);
    t.addField(QStringLiteral("doc_date"), FieldType::Date);
    t.addField(QStringLiteral("created_at"), FieldType::DateTime);
}

const QByteArray listBody = R"({
  "data": [
    {"contact_id": 9007199254740993, "name": "Andi Wijaya, longer than ten", "qty": 3, "price": 12.5,
     "active": true, "doc_date": "2024-03-05", "created_at": "2024-03-05T10:20:30", "ignored": [1, 2]},
    {"contact_id": 2, "name": null, "qty": "7", "price": "1.25", "active": 0,
     "doc_date": "2024-03-06T08:00:00Z", "created_at": "2024-03-06 08:09:10"},
    {"CONTACT_ID": 3, "qty": 1.5, "price": 2, "created_at": "2024-03-07T01:02:03.456Z"}
  ],
  "pages": {"page": 2, "page_rows": 3, "page_count": 5, "rec_count": 14}
})";

} // namespace

class tst_JsonDataSet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void valueFromJson_data();
    void valueFromJson();
    void valueToJson_data();
    void valueToJson();

    void rowsMapByLowerCaseName();
    void nonObjectElementsAreSkipped();
    void parseArrayMemberKeepsEnvelope();
    void parseArrayMemberOffThread();

    void loadArrayIntoTable();
    void loadArrayRefusals_data();
    void loadArrayRefusals();
    void loadObjectIntoCurrentRow();
    void loadObjectRefusals();
    void loadArrayString();

    void asJsonObjectOfCurrentRow();
    void roundTrip();
    void garbageNeverCrashes();
};

void tst_JsonDataSet::valueFromJson_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QByteArray>("jsonText");
    QTest::addColumn<QVariant>("expected"); // invalid: null

    const QVariant null;
    using F = FieldType;
    struct Case
    {
        const char *name;
        F type;
        QByteArray json;
        QVariant expected;
    };
    const Case cases[] = {
        // String and Memo
        { "string/string", F::String, R"("abc")", QStringLiteral("abc") },
        { "string/longer than its size", F::String, R"("a value far longer than the size")", QStringLiteral("a value far longer than the size") },
        { "string/integral double", F::String, "2.0", QStringLiteral("2") },
        { "string/64-bit", F::String, "9007199254740993", QStringLiteral("9007199254740993") },
        { "string/bool", F::String, "false", QStringLiteral("false") },
        { "string/object", F::Memo, R"({"b": 1, "a": [true]})", QStringLiteral(R"({"a":[true],"b":1})") },
        { "string/null", F::String, "null", null },
        { "string/empty", F::String, R"("")", QStringLiteral("") },

        // Integer
        { "integer/number", F::Integer, "42", 42 },
        { "integer/integral double", F::Integer, "7.0", 7 },
        { "integer/fraction", F::Integer, "1.5", null },
        { "integer/min", F::Integer, "-2147483648", int(std::numeric_limits<int>::min()) },
        { "integer/overflow", F::Integer, "2147483648", null },
        { "integer/padded text", F::Integer, R"(" 42 ")", 42 },
        { "integer/exponent text", F::Integer, R"("4.2e1")", 42 },
        { "integer/fraction text", F::Integer, R"("4.5")", null },
        { "integer/garbage text", F::Integer, R"("12abc")", null },
        { "integer/empty text", F::Integer, R"("")", null },
        { "integer/true", F::Integer, "true", 1 },
        { "integer/object", F::Integer, R"({"a":1})", null },
        { "integer/null", F::Integer, "null", null },
        { "smallint/max", F::SmallInt, "32767", 32767 },
        { "smallint/overflow", F::SmallInt, "32768", null },
        { "smallint/underflow", F::SmallInt, "-32769", null },
        { "largeint/2^53+1", F::LargeInt, "9007199254740993", qlonglong(9007199254740993LL) },
        { "largeint/min", F::LargeInt, "-9223372036854775808", std::numeric_limits<qlonglong>::min() },
        { "largeint/2^63", F::LargeInt, "9223372036854775808", null },
        { "largeint/text exact", F::LargeInt, R"("9007199254740993")", qlonglong(9007199254740993LL) },
        { "largeint/fraction", F::LargeInt, "0.5", null },

        // Float
        { "float/number", F::Float, "1.5", 1.5 },
        { "float/text", F::Float, R"("2.25")", 2.25 },
        { "float/comma text", F::Float, R"("2,25")", null },
        { "float/nan text", F::Float, R"("nan")", null },
        { "float/bool", F::Float, "true", 1.0 },
        { "float/null", F::Float, "null", null },

        // Boolean
        { "boolean/true", F::Boolean, "true", true },
        { "boolean/zero", F::Boolean, "0", false },
        { "boolean/two", F::Boolean, "2", true },
        { "boolean/text true", F::Boolean, R"("TRUE")", true },
        { "boolean/text yes", F::Boolean, R"("yes")", null },
        { "boolean/null", F::Boolean, "null", null },

        // Date
        { "date/date", F::Date, R"("2024-03-05")", QDate(2024, 3, 5) },
        { "date/date-time with offset", F::Date, R"("2024-03-05T23:30:00+07:00")", QDate(2024, 3, 5) },
        { "date/leap day", F::Date, R"("2024-02-29")", QDate(2024, 2, 29) },
        { "date/impossible", F::Date, R"("2023-02-29")", null },
        { "date/other notation", F::Date, R"("05/03/2024")", null },
        { "date/trailing garbage", F::Date, R"("2024-03-05x")", null },
        { "date/bad time part", F::Date, R"("2024-03-05T99:00")", null },
        { "date/null", F::Date, "null", null },

        // DateTime
        { "datetime/local ms", F::DateTime, R"("2024-03-05T10:20:30.123")", local(2024, 3, 5, 10, 20, 30, 123) },
        { "datetime/micro seconds", F::DateTime, R"("2024-03-05T10:20:30.123456")", local(2024, 3, 5, 10, 20, 30, 123) },
        { "datetime/no seconds", F::DateTime, R"("2024-03-05T10:20")", local(2024, 3, 5, 10, 20, 0) },
        { "datetime/space form", F::DateTime, R"("2024-03-05 10:20:30")", local(2024, 3, 5, 10, 20, 30) },
        { "datetime/utc", F::DateTime, R"("2024-03-05T10:20:30Z")", QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::UTC) },
        { "datetime/offset", F::DateTime, R"("2024-03-05T10:20:30.5+07:00")", QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30, 500), Qt::OffsetFromUTC, 7 * 3600) },
        { "datetime/offset no colon", F::DateTime, R"("2024-03-05T10:20:30-0530")", QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::OffsetFromUTC, -(5 * 3600 + 30 * 60)) },
        { "datetime/plain date", F::DateTime, R"("2024-03-05")", QDate(2024, 3, 5).startOfDay() },
        { "datetime/hour 25", F::DateTime, R"("2024-03-05T25:00:00")", null },
        { "datetime/bad zone", F::DateTime, R"("2024-03-05T10:20:30+7")", null },
        { "datetime/garbage", F::DateTime, R"("yesterday")", null },
        { "datetime/number", F::DateTime, "1709634030", null },
        { "datetime/null", F::DateTime, "null", null },
    };
    for (const Case &c : cases)
        QTest::newRow(c.name) << c.type << c.json << c.expected;
}

void tst_JsonDataSet::valueFromJson()
{
    QFETCH(FieldType, type);
    QFETCH(QByteArray, jsonText);
    QFETCH(QVariant, expected);

    const QVariant got = JsonDataSet::valueFromJson(type, json(jsonText));
    if (!expected.isValid()) {
        QVERIFY2(!got.isValid(), qPrintable(QStringLiteral("expected null, got ") + got.toString()));
        return;
    }
    QCOMPARE(got.metaType(), MemTable::storageType(type));
    QCOMPARE(got, expected);
    if (type == FieldType::DateTime) {
        QCOMPARE(got.toDateTime().timeSpec(), expected.toDateTime().timeSpec());
        QCOMPARE(got.toDateTime().time(), expected.toDateTime().time()); // wall clock as written
    }

    // The row builder converts the same way.
    MemTable t;
    t.addField(QStringLiteral("v"), type);
    const auto rows = JsonDataSet::rowsFromJsonArray(t.fieldDefs(), json("[{\"v\": " + jsonText + "}]").toArray());
    QCOMPARE(rows.size(), size_t(1));
    QCOMPARE(rows.front().at(0), got);
}

void tst_JsonDataSet::valueToJson_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("expected");

    using F = FieldType;
    QTest::newRow("null") << F::Integer << QVariant() << QByteArray("null");
    QTest::newRow("string") << F::String << QVariant(QStringLiteral("a \"b\"")) << QByteArray(R"("a \"b\"")");
    QTest::newRow("empty string") << F::Memo << QVariant(QString()) << QByteArray(R"("")");
    QTest::newRow("largeint exact") << F::LargeInt << QVariant(qlonglong(9007199254740993LL)) << QByteArray("9007199254740993");
    QTest::newRow("float") << F::Float << QVariant(1.5) << QByteArray("1.5");
    QTest::newRow("float nan") << F::Float << QVariant(std::numeric_limits<double>::quiet_NaN()) << QByteArray("null");
    QTest::newRow("boolean") << F::Boolean << QVariant(false) << QByteArray("false");
    QTest::newRow("date") << F::Date << QVariant(QDate(2024, 3, 5)) << QByteArray(R"("2024-03-05")");
    QTest::newRow("datetime local ms") << F::DateTime << QVariant(local(2024, 3, 5, 10, 20, 30, 7)) << QByteArray(R"("2024-03-05T10:20:30.007")");
    QTest::newRow("datetime utc") << F::DateTime << QVariant(QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::UTC)) << QByteArray(R"("2024-03-05T10:20:30Z")");
    QTest::newRow("datetime offset") << F::DateTime << QVariant(QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::OffsetFromUTC, 25200)) << QByteArray(R"("2024-03-05T10:20:30+07:00")");
}

void tst_JsonDataSet::valueToJson()
{
    QFETCH(FieldType, type);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, expected);
    const QJsonValue out = JsonDataSet::valueToJson(type, value);
    QCOMPARE(compact(out), expected);
    // And back again to the same value.
    const QVariant back = JsonDataSet::valueFromJson(type, out);
    if (type == FieldType::Float && value.isValid() && std::isnan(value.toDouble()))
        QVERIFY(!back.isValid());
    else
        QCOMPARE(back, value);
}

void tst_JsonDataSet::rowsMapByLowerCaseName()
{
    MemTable t;
    declareFields(t);
    const QJsonObject envelope = QJsonDocument::fromJson(listBody).object();
    const auto rows = JsonDataSet::rowsFromJsonArray(t.fieldDefs(), envelope.value(u"data").toArray());
    QCOMPARE(rows.size(), size_t(3));
    for (const auto &row : rows)
        QCOMPARE(row.size(), 7);

    // Field "Contact_ID" takes member "contact_id"; text is not cut to size 10.
    QCOMPARE(rows[0].at(0), QVariant(qlonglong(9007199254740993LL)));
    QCOMPARE(rows[0].at(1), QVariant(QStringLiteral("Andi Wijaya, longer than ten")));
    QCOMPARE(rows[0].at(4), QVariant(true));
    QCOMPARE(rows[1], MemTable::Row({ qlonglong(2), QVariant(), 7, 1.25, false, QDate(2024, 3, 6),
                                      local(2024, 3, 6, 8, 9, 10) }));

    // Member "CONTACT_ID" is not "contact_id": the field stays null, as do
    // fields without a member and a fraction for an integer field.
    QCOMPARE(rows[2], MemTable::Row({ QVariant(), QVariant(), QVariant(), 2.0, QVariant(), QVariant(),
                                      QDateTime(QDate(2024, 3, 7), QTime(1, 2, 3, 456), Qt::UTC) }));
}

void tst_JsonDataSet::nonObjectElementsAreSkipped()
{
    MemTable t;
    declareFields(t);
    qsizetype skipped = -1;
    const auto rows = JsonDataSet::rowsFromJsonArray(
        t.fieldDefs(), json(R"([{"qty": 1}, 5, "x", null, [], {"qty": 2}, {}])").toArray(), &skipped);
    QCOMPARE(skipped, 4);
    QCOMPARE(rows.size(), size_t(3));
    QCOMPARE(rows[0].at(2), QVariant(1));
    QCOMPARE(rows[1].at(2), QVariant(2));
    QVERIFY(!rows[2].at(2).isValid()); // {} is a row, all null

    const auto none = JsonDataSet::rowsFromJsonArray(t.fieldDefs(), QJsonArray(), &skipped);
    QVERIFY(none.empty());
    QCOMPARE(skipped, 0);
}

void tst_JsonDataSet::parseArrayMemberKeepsEnvelope()
{
    MemTable t;
    declareFields(t);
    const JsonDataSet::ParsedRows parsed = JsonDataSet::parseArrayMember(t.fieldDefs(), listBody, QStringLiteral("data"));
    QVERIFY(parsed.isObject);
    QVERIFY(parsed.hasArray);
    QCOMPARE(parsed.rows.size(), size_t(3));
    QCOMPARE(parsed.skippedElements, 0);
    QCOMPARE(parsed.member(QStringLiteral("pages")).toObject().value(u"rec_count").toInt(), 14);
    QVERIFY(parsed.member(QStringLiteral("data")).isUndefined()); // the rows are not kept twice
    QVERIFY(parsed.member(QStringLiteral("nothing")).isUndefined());

    // A "data" object (a detail read) is no array: no rows, the member is there.
    const auto detail = JsonDataSet::parseArrayMember(t.fieldDefs(), R"({"data": {"qty": 4}})", QStringLiteral("data"));
    QVERIFY(detail.isObject);
    QVERIFY(!detail.hasArray);
    QVERIFY(detail.rows.empty());
    QCOMPARE(detail.member(QStringLiteral("data")).toObject().value(u"qty").toInt(), 4);

    const auto empty = JsonDataSet::parseArrayMember(t.fieldDefs(), R"({"data": [], "pages": {}})", QStringLiteral("data"));
    QVERIFY(empty.hasArray);
    QVERIFY(empty.rows.empty());
    QVERIFY(empty.member(QStringLiteral("pages")).isObject());
}

void tst_JsonDataSet::parseArrayMemberOffThread()
{
    MemTable t;
    declareFields(t);
    QByteArray body = "{\"data\":[";
    for (int i = 0; i < 2000; ++i) {
        if (i)
            body += ',';
        body += QStringLiteral(R"({"contact_id": %1, "name": "n%1", "created_at": "2024-03-05T10:%2:00"})")
                    .arg(i)
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .toUtf8();
    }
    body += "],\"pages\":{\"page\":1}}";

    // Several workers at once, each with its own copy of the field list, as
    // concurrent reads into different tables would do.
    const JsonDataSet::FieldList fields = t.fieldDefs();
    QList<QFuture<JsonDataSet::ParsedRows>> futures;
    for (int i = 0; i < 4; ++i)
        futures.append(QtConcurrent::run([fields, body] { return JsonDataSet::parseArrayMember(fields, body, QStringLiteral("data")); }));
    const auto here = JsonDataSet::parseArrayMember(fields, body, QStringLiteral("data"));
    for (auto &f : futures) {
        JsonDataSet::ParsedRows there = f.result();
        QCOMPARE(there.rows.size(), size_t(2000));
        QCOMPARE(there.rows, here.rows);
        QCOMPARE(there.member(QStringLiteral("pages")), here.member(QStringLiteral("pages")));
    }

    // Only the installing is left to this thread.
    t.open();
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    JsonDataSet::ParsedRows parsed = futures.first().takeResult();
    t.appendRows(std::move(parsed.rows));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(t.recordCount(), 2000);
    QCOMPARE(t.cell(1999, 1).toString(), QStringLiteral("n1999"));
    QCOMPARE(t.cell(61, 6), QVariant(local(2024, 3, 5, 10, 1, 0)));
}

void tst_JsonDataSet::loadArrayIntoTable()
{
    MemTable t;
    QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::QtTest);
    declareFields(t);
    t.open();
    t.appendRows(std::vector<MemTable::Row> { MemTable::Row { qlonglong(1) } });
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QString::fromUtf8(listBody));
    QCOMPARE(inserted.count(), 1); // one batch, not one signal a row
    QCOMPARE(t.recordCount(), 4);  // appended after the row already there
    t.first();
    t.next();
    QCOMPARE(t.value(QStringLiteral("contact_id")).toLongLong(), 9007199254740993LL);
    QCOMPARE(t.value(QStringLiteral("created_at")).toDateTime(), local(2024, 3, 5, 10, 20, 30));

    // Into an empty array: nothing, and no signal.
    JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QStringLiteral(R"({"data": []})"));
    QCOMPARE(t.recordCount(), 4);
    QCOMPARE(inserted.count(), 1);
}

void tst_JsonDataSet::loadArrayRefusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("not JSON") << QStringLiteral("Internal Server Error") << QStringLiteral("The JSON text is not an object");
    QTest::newRow("array") << QStringLiteral(R"([{"qty": 1}])") << QStringLiteral("The JSON text is not an object");
    QTest::newRow("missing") << QStringLiteral(R"({"rows": []})") << QStringLiteral("JSON member \"data\" is missing");
    QTest::newRow("object") << QStringLiteral(R"({"data": {"qty": 1}})") << QStringLiteral("JSON member \"data\" is not an array but an object");
    QTest::newRow("null") << QStringLiteral(R"({"data": null})") << QStringLiteral("JSON member \"data\" is not an array but null");
    QTest::newRow("text") << QStringLiteral(R"({"data": "[{}]"})") << QStringLiteral("JSON member \"data\" is not an array but a string");
}

void tst_JsonDataSet::loadArrayRefusals()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    MemTable t;
    declareFields(t);
    t.open();
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    try {
        JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), text);
        QFAIL("must raise");
    } catch (const Platform::JsonMemberError &e) {
        QCOMPARE(e.message(), message);
    }
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(inserted.count(), 0);

    MemTable readOnly;
    declareFields(readOnly);
    readOnly.open();
    readOnly.setReadOnly(true);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError,
                             JsonDataSet::loadJsonArrayFromObjectProperty(readOnly, QStringLiteral("data"), QString::fromUtf8(listBody)));
    QCOMPARE(readOnly.recordCount(), 0);
}

void tst_JsonDataSet::loadObjectIntoCurrentRow()
{
    MemTable t;
    declareFields(t);
    t.open();
    t.appendRows({ { qlonglong(5), QStringLiteral("old"), 1, 9.5, false } });
    t.setReadOnly(true);

    // A refresh of the current row: members overwrite, absent members leave
    // their field alone, null clears.
    t.setReadOnly(false);
    t.edit();
    JsonDataSet::loadJsonObjectFromObjectProperty(t, QStringLiteral("data"), QStringLiteral(R"({
        "data": {"name": "new", "qty": "12", "price": null, "doc_date": "2024-12-31", "unknown": 1},
        "pages": {}})"));
    t.post();
    t.setReadOnly(true);
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(t.value(QStringLiteral("contact_id")).toLongLong(), 5);
    QCOMPARE(t.value(QStringLiteral("name")).toString(), QStringLiteral("new"));
    QCOMPARE(t.value(QStringLiteral("qty")), QVariant(12));
    QVERIFY(!t.value(QStringLiteral("price")).isValid());
    QCOMPARE(t.value(QStringLiteral("active")), QVariant(false));
    QCOMPARE(t.value(QStringLiteral("doc_date")), QVariant(QDate(2024, 12, 31)));

    // The master row of a document: append, load, post.
    MemTable master;
    declareFields(master);
    master.open();
    master.append();
    JsonDataSet::loadJsonObjectFromObjectProperty(master, QStringLiteral("data"), QStringLiteral(R"({"data": {"contact_id": 77, "active": true}})"));
    master.post();
    QCOMPARE(master.value(0), QVariant(qlonglong(77)));
    QCOMPARE(master.value(4), QVariant(true));
    QVERIFY(!master.value(1).isValid());
}

void tst_JsonDataSet::loadObjectRefusals()
{
    MemTable t;
    declareFields(t);
    t.open();
    t.appendRows({ { qlonglong(5), QStringLiteral("old") } });
    // Not editing.
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError,
                             JsonDataSet::loadJsonObjectFromObjectProperty(t, QStringLiteral("data"), QStringLiteral(R"({"data": {"name": "x"}})")));
    QCOMPARE(t.cell(0, 1).toString(), QStringLiteral("old"));

    t.edit();
    const QString texts[] = { QStringLiteral("garbage"), QStringLiteral(R"([{"name": "x"}])"),
                              QStringLiteral(R"({"rows": {"name": "x"}})"), QStringLiteral(R"({"data": [{"name": "x"}]})"),
                              QStringLiteral(R"({"data": "x"})") };
    const QString messages[] = { QStringLiteral("The JSON text is not an object"), QStringLiteral("The JSON text is not an object"),
                                 QStringLiteral("JSON member \"data\" is missing"),
                                 QStringLiteral("JSON member \"data\" is not an object but an array"),
                                 QStringLiteral("JSON member \"data\" is not an object but a string") };
    for (int i = 0; i < 5; ++i) {
        try {
            JsonDataSet::loadJsonObjectFromObjectProperty(t, QStringLiteral("data"), texts[i]);
            QFAIL(qPrintable(QStringLiteral("must raise for ") + texts[i]));
        } catch (const Platform::JsonMemberError &e) {
            QCOMPARE(e.message(), messages[i]);
        }
        QCOMPARE(t.value(1).toString(), QStringLiteral("old"));
    }
    t.cancel();
}

void tst_JsonDataSet::loadArrayString()
{
    MemTable t;
    declareFields(t);
    t.open();
    JsonDataSet::loadFromJsonArrayString(t, QStringLiteral(R"([{"qty": 1}, {"qty": 2, "name": "two"}])"));
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.cell(1, 1).toString(), QStringLiteral("two"));
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError, JsonDataSet::loadFromJsonArrayString(t, QStringLiteral(R"({"data": []})")));
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError, JsonDataSet::loadFromJsonArrayString(t, QStringLiteral("[1,")));
    QCOMPARE(t.recordCount(), 2);
}

void tst_JsonDataSet::asJsonObjectOfCurrentRow()
{
    MemTable t;
    declareFields(t);
    t.open();
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, JsonDataSet::asJsonObject(t));
    QCOMPARE(JsonDataSet::asJsonArrayString(t), QStringLiteral("[]"));

    t.append();
    t.setValue(QStringLiteral("contact_id"), QStringLiteral("9223372036854775807"));
    t.setValue(QStringLiteral("name"), QStringLiteral("Budi"));
    t.setValue(QStringLiteral("doc_date"), QDate(2024, 3, 5));
    t.setValue(QStringLiteral("created_at"), QDateTime(QDate(2024, 3, 5), QTime(1, 2, 3), Qt::UTC));
    // The pending row is what is written, as a save posts it first.
    const QJsonObject obj = JsonDataSet::asJsonObject(t);
    QCOMPARE(obj.keys(), QStringList({ QStringLiteral("active"), QStringLiteral("contact_id"), QStringLiteral("created_at"),
                                       QStringLiteral("doc_date"), QStringLiteral("name"), QStringLiteral("price"),
                                       QStringLiteral("qty") }));
    QCOMPARE(QJsonDocument(obj).toJson(QJsonDocument::Compact),
             QByteArray(R"({"active":null,"contact_id":9223372036854775807,"created_at":"2024-03-05T01:02:03Z",)"
                        R"("doc_date":"2024-03-05","name":"Budi","price":null,"qty":null})"));
}

void tst_JsonDataSet::roundTrip()
{
    // Given rows loaded from the server,
    MemTable t;
    declareFields(t);
    t.open();
    JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QString::fromUtf8(listBody));

    // when they are written back as an array and loaded into another table,
    const QString text = JsonDataSet::asJsonArrayString(t);
    QVERIFY(text.contains(u"\"contact_id\":9007199254740993"));
    QVERIFY(text.contains(u"\"created_at\":\"2024-03-05T10:20:30\""));
    QVERIFY(text.contains(u"\"created_at\":\"2024-03-07T01:02:03.456Z\""));
    QVERIFY(text.contains(u"\"doc_date\":\"2024-03-06\""));
    QVERIFY(text.contains(u"\"name\":null"));
    MemTable copy;
    declareFields(copy);
    copy.open();
    JsonDataSet::loadFromJsonArrayString(copy, text);

    // then every cell is the same, type, zone and all.
    QCOMPARE(copy.recordCount(), t.recordCount());
    for (int r = 0; r < t.recordCount(); ++r) {
        QCOMPARE(copy.rowAt(r), t.rowAt(r));
        const QVariant stamp = t.cell(r, 6);
        if (stamp.isValid())
            QCOMPARE(copy.cell(r, 6).toDateTime().timeSpec(), stamp.toDateTime().timeSpec());
    }

    // And one row as an object reads back into a row being edited.
    t.first();
    const QJsonObject first = JsonDataSet::asJsonObject(t);
    MemTable single;
    declareFields(single);
    single.open();
    single.append();
    JsonDataSet::loadJsonObjectFromObjectProperty(single, QStringLiteral("master"),
                                                  QString::fromUtf8(QJsonDocument(QJsonObject { { QStringLiteral("master"), first } }).toJson()));
    single.post();
    QCOMPARE(single.rowAt(0), t.rowAt(0));
}

void tst_JsonDataSet::garbageNeverCrashes()
{
    MemTable t;
    declareFields(t);
    t.open();

    QByteArray noise(5 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(20240305);
    for (char &c : noise)
        c = char(rng.bounded(256));
    const QByteArray deep = QByteArray(5 * 1024 * 1024 / 2, '[') + QByteArray(5 * 1024 * 1024 / 2, ']');
    const QByteArray deepInData = "{\"data\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + '}';
    QByteArray hugeString = R"({"data":[{"name":")" + QByteArray(5 * 1024 * 1024, 'x') + R"("}]})";
    const QByteArray truncated = hugeString.left(hugeString.size() - 5);

    for (const QByteArray &body : { noise, deep, deepInData, truncated }) {
        const auto parsed = JsonDataSet::parseArrayMember(t.fieldDefs(), body, QStringLiteral("data"));
        QVERIFY(parsed.rows.empty());
        QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                                 JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QString::fromLatin1(body)));
    }
    QCOMPARE(t.recordCount(), 0);

    // A well-formed huge value is loaded whole.
    const auto parsed = JsonDataSet::parseArrayMember(t.fieldDefs(), hugeString, QStringLiteral("data"));
    QCOMPARE(parsed.rows.size(), size_t(1));
    QCOMPARE(parsed.rows[0].at(1).toString().size(), 5 * 1024 * 1024);

    // Rows of the wrong kinds everywhere: all null, never a crash.
    const QByteArray wrongKinds = R"({"data":[{"contact_id":"x","name":{"a":[1,{"b":null}]},"qty":[],"price":{},)"
                                  R"("active":"maybe","doc_date":17,"created_at":false}]})";
    const auto odd = JsonDataSet::parseArrayMember(t.fieldDefs(), wrongKinds, QStringLiteral("data"));
    QCOMPARE(odd.rows.size(), size_t(1));
    QCOMPARE(odd.rows[0].at(1).toString(), QStringLiteral(R"({"a":[1,{"b":null}]})"));
    for (int f : { 0, 2, 3, 4, 5, 6 })
        QVERIFY(!odd.rows[0].at(f).isValid());
}

QTEST_GUILESS_MAIN(tst_JsonDataSet)
#include "tst_jsondataset.moc"
