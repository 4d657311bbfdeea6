#include "Errors.h"
#include "Json.h"
#include "JsonDataSet.h"
#include "MemTable.h"

#include <QAbstractItemModelTester>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>
#include <limits>

using Platform::MemTable;
using FieldType = MemTable::FieldType;
namespace Json = Platform::Json;
namespace JsonDataSet = Platform::JsonDataSet;

namespace {

QJsonValue json(const QByteArray &text)
{
    return QJsonDocument::fromJson('[' + text + ']').array().at(0);
}

QDateTime local(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

// Lower-case names except one, to show that mapping goes by the lower-case field name.
void declareFields(MemTable &t)
{
    t.addField(QStringLiteral("Contact_ID"), FieldType::LargeInt);
    t.addField(QStringLiteral("name"), FieldType::String, 10);
    t.addField(QStringLiteral("qty"), FieldType::Integer);
    t.addField(QStringLiteral("price"), FieldType::Float);
    t.addField(QStringLiteral("active"), FieldType::Boolean);
    t.addField(QStringLiteral("doc_date"), FieldType::Date);
    t.addField(QStringLiteral("created_at"), FieldType::DateTime);
    t.open();
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

const QByteArray loginBody = R"({
    "token": {"access": "abc.def", "expires_in": 3600},
    "user": {"lang": "id", "admin": false, "id": 9223372036854775807, "rate": 1.5, "level": 2147483648},
    "menus": [{"menu_id": "M1", "items": [{"title": "Vendors"}]}]
})";

template<typename Call> QString jsonFailureOf(Call call)
{
    try {
        call();
    } catch (const Platform::JsonMemberError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

class tst_JsonDataSet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseNeverRaises();
    void typedReads();
    void valueFromJson_data();
    void valueFromJson();
    void largeIntegersExactOrNull();
    void datesAsTheCalendarHasThem();
    void rowsMapByLowerCaseName();
    void loadArrayIntoTable();
    void loadObjectIntoCurrentRow();
    void asJsonObjectOfCurrentRow();
    void roundTripThroughArrayText();
    void largeIntegersSurviveTheTableOperations();
};

void tst_JsonDataSet::parseNeverRaises()
{
    QCOMPARE(Json::parse(QByteArray("\xEF\xBB\xBF{\"a\":2}")).toObject().value(u"a").toInt(), 2); // BOM
    QCOMPARE(Json::parse(QStringLiteral("  -12.5\n")).toDouble(), -12.5);
    QByteArray noise(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char &c : noise)
        c = char(rng.bounded(256));
    const QByteArray bad[] = { QByteArray(),
                               "1],[2",
                               R"({"a":1} x)",
                               "<html>Bad Gateway</html>",
                               noise,
                               QByteArray(1024 * 1024, '[') + QByteArray(1024 * 1024, ']'),
                               loginBody.chopped(3) };
    for (const QByteArray &text : bad) {
        QVERIFY2(Json::parse(text).isUndefined(), text.left(40).constData());
        QVERIFY(Json::parse(QString::fromLatin1(text)).isUndefined());
    }
}

void tst_JsonDataSet::typedReads()
{
    const QJsonValue root = Json::parse(loginBody);
    QCOMPARE(Json::getString(root, QStringLiteral("menus.0.items.0.title")), QStringLiteral("Vendors"));
    QCOMPARE(Json::getInt(root, QStringLiteral("token.expires_in")), 3600);
    QCOMPARE(Json::getInt64(root, QStringLiteral("user.id")), std::numeric_limits<qint64>::max());
    QCOMPARE(Json::getDouble(root, QStringLiteral("user.rate")), 1.5);
    QCOMPARE(Json::getBool(root, QStringLiteral("user.admin")), false);
    QCOMPARE(Json::getObject(root, QString()).size(), 3); // empty path: the root
    for (const char *absent : { "token.access.x", "menus.1", "menus.-1", "menus.menu_id", "token..access" })
        QVERIFY2(Json::find(root, QLatin1String(absent)).isUndefined(), absent);

    const std::pair<std::function<void()>, QString> failures[] = {
        { [&] { Json::getString(root, QStringLiteral("token.secret")); }, "JSON member \"token.secret\" is missing" },
        { [&] { Json::getInt(root, QStringLiteral("menus.3.x")); }, "JSON member \"menus.3.x\" is missing" },
        { [&] { Json::getString(Json::parse(QByteArray("<html>")), QStringLiteral("a")); },
          "JSON member \"a\" is missing" },
        { [&] { Json::getString(root, QStringLiteral("token.expires_in")); },
          "JSON member \"token.expires_in\" is not a string but a number" },
        { [&] { Json::getInt(root, QStringLiteral("user.level")); },
          "JSON member \"user.level\" is not an integer in range: 2147483648" },
        { [&] { Json::getObject(root, QStringLiteral("menus")); },
          "JSON member \"menus\" is not an object but an array" },
    };
    for (const auto &[read, message] : failures)
        QCOMPARE(jsonFailureOf(read), message);
}

void tst_JsonDataSet::valueFromJson_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QByteArray>("jsonText");
    QTest::addColumn<QVariant>("expected"); // invalid: null

    const QVariant null;
    using F = FieldType;
    const struct
    {
        const char *name;
        F type;
        QByteArray json;
        QVariant expected;
    } cases[] = {
        { "string/integral double", F::String, "2.0", QStringLiteral("2") },
        { "memo/object", F::Memo, R"({"b": 1, "a": [true]})", QStringLiteral(R"({"a":[true],"b":1})") },
        { "integer/fraction", F::Integer, "1.5", null },
        { "integer/overflow", F::Integer, "2147483648", null },
        { "integer/true", F::Integer, "true", 1 },
        { "integer/object", F::Integer, R"({"a":1})", null },
        // a value that does not fit exactly is null, never a neighbour or a limit
        { "largeint/beyond 2^53 exact", F::LargeInt, "9007199254740993", qlonglong(9007199254740993LL) },
        { "largeint/beyond 2^53 with fraction", F::LargeInt, "9007199254740993.0", null },
        { "largeint/beyond 2^53 with exponent", F::LargeInt, "9007199254740993e0", null },
        { "largeint/2^53 with exponent", F::LargeInt, "9.007199254740992e15", null },
        { "largeint/within 2^53 with exponent", F::LargeInt, "4.2e1", qlonglong(42) },
        { "largeint/below 64 bits", F::LargeInt, "-9223372036854775809", null },
        { "largeint/above 64 bits", F::LargeInt, "9223372036854775808", null },
        { "largeint/highest", F::LargeInt, "9223372036854775807", qlonglong(9223372036854775807LL) },
        { "largeint/text with fraction", F::LargeInt, R"("9007199254740993.0")", qlonglong(9007199254740993LL) },
        { "largeint/text 0.5e1", F::LargeInt, R"(" 0.5e1 ")", qlonglong(5) },
        { "largeint/text nearly integral", F::LargeInt, R"("1.0000000000000001")", null },
        { "largeint/text above 64 bits", F::LargeInt, R"("9223372036854775808")", null },
        { "largeint/text below 64 bits", F::LargeInt, R"("-9.223372036854775809e18")", null },
        { "float/text", F::Float, R"("2.25")", 2.25 },
        { "float/array", F::Float, "[1]", null },
        { "date/date", F::Date, R"("2024-03-05")", QDate(2024, 3, 5) },
        { "date/date-time with offset", F::Date, R"("2024-03-05T23:30:00+07:00")", QDate(2024, 3, 5) },
        { "date/number", F::Date, "20240305", null },
        { "datetime/space form", F::DateTime, R"("2024-03-05 10:20:30")", local(2024, 3, 5, 10, 20, 30) },
        { "datetime/utc", F::DateTime, R"("2024-03-05T10:20:30Z")",
          QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::UTC) },
        { "datetime/offset no colon", F::DateTime, R"("2024-03-05T10:20:30-0530")",
          QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::OffsetFromUTC, -(5 * 3600 + 30 * 60)) },
        { "datetime/plain date", F::DateTime, R"("2024-03-05")", QDate(2024, 3, 5).startOfDay() },
        { "datetime/bool", F::DateTime, "false", null },
        { "datetime/null", F::DateTime, "null", null },
    };
    for (const auto &c : cases)
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
    } else {
        QCOMPARE(got.metaType(), MemTable::storageType(type));
        QCOMPARE(got, expected);
        if (type == FieldType::DateTime) {
            QCOMPARE(got.toDateTime().timeSpec(), expected.toDateTime().timeSpec());
            QCOMPARE(got.toDateTime().time(), expected.toDateTime().time()); // wall clock as written
        }
    }
    // The row builder converts the same way.
    MemTable t;
    t.addField(QStringLiteral("v"), type);
    const auto rows = JsonDataSet::rowsFromJsonArray(t.fieldDefs(), json("[{\"v\": " + jsonText + "}]").toArray());
    QCOMPARE(rows.size(), size_t(1));
    QCOMPARE(rows.front().at(0), got);
    // So does the list reader, into column storage.
    const auto parsed =
        JsonDataSet::parseArrayMember(t.fieldDefs(), "{\"data\":[{\"v\": " + jsonText + "}]}", QStringLiteral("data"));
    QCOMPARE(parsed.rows.size(), 1);
    QCOMPARE(parsed.rows.value(0, 0), got);
}

// Dates are read without QDate's own checks: every reader must still take
// exactly the days the calendar has, leap years and year 0 included, also
// where neighbouring rows share a day.
void tst_JsonDataSet::datesAsTheCalendarHasThem()
{
    MemTable t;
    t.addField(QStringLiteral("d"), FieldType::Date);
    t.addField(QStringLiteral("at"), FieldType::DateTime);
    QByteArrayList rows;
    QList<QDate> expected; // invalid: null
    for (const int y : { 0, 1, 2, 4, 100, 400, 1582, 1600, 1700, 1900, 2000, 2023, 2024, 2100, 2400, 9999 }) {
        for (int m = 0; m <= 13; ++m) {
            for (int d = 0; d <= 32; ++d) {
                const QByteArray day = QString::asprintf("%04d-%02d-%02d", y, m, d).toLatin1();
                const QDate date = y > 0 && QDate::isValid(y, m, d) ? QDate(y, m, d) : QDate();
                for (const char *time : { "T10:00:00Z", "T23:59:59Z" }) {
                    rows.append("{\"d\":\"" + day + "\",\"at\":\"" + day + time + "\"}");
                    expected.append(date);
                }
                const QVariant single =
                    JsonDataSet::valueFromJson(FieldType::Date, QJsonValue(QString::fromLatin1(day)));
                QCOMPARE(single.toDate(), date);
            }
        }
    }
    const auto parsed =
        JsonDataSet::parseArrayMember(t.fieldDefs(), "{\"data\":[" + rows.join(',') + "]}", QStringLiteral("data"));
    QCOMPARE(parsed.rows.size(), expected.size());
    for (qsizetype r = 0; r < expected.size(); ++r) {
        const QDate date = expected.at(r);
        QCOMPARE(parsed.rows.value(r, 0).toDate(), date);
        QCOMPARE(parsed.rows.isNull(r, 1), !date.isValid());
        if (date.isValid())
            QCOMPARE(parsed.rows.value(r, 1).toDateTime().toUTC().date(), date);
    }
}

void tst_JsonDataSet::largeIntegersExactOrNull()
{
    // Integer literals beyond 2^53 that a double could also hold: the list
    // reader sees the text and takes them exactly; a QJsonValue cannot tell
    // them from rounded numbers (Qt keeps 1e18 and 9007199254740993.0 as
    // integers), so the document path leaves them null rather than risk a
    // neighbour.
    MemTable t;
    t.addField(QStringLiteral("v"), FieldType::LargeInt);
    const QByteArray literals[] = { "9007199254740994", "1000000000000000000", "-9223372036854775808",
                                    "1152921504606846976" };
    for (const QByteArray &literal : literals) {
        const auto parsed = JsonDataSet::parseArrayMember(t.fieldDefs(), "{\"data\":[{\"v\":" + literal + "}]}",
                                                          QStringLiteral("data"));
        QCOMPARE(parsed.rows.value(0, 0), QVariant(literal.toLongLong()));
        QVERIFY(!JsonDataSet::valueFromJson(FieldType::LargeInt, json(literal)).isValid());
    }
    // Written with a fraction or an exponent, or beyond 64 bits: null either way.
    const QByteArray inexact[] = { "1e18", "9007199254740993.0", "-9223372036854775809", "9223372036854775808" };
    for (const QByteArray &text : inexact) {
        const auto parsed =
            JsonDataSet::parseArrayMember(t.fieldDefs(), "{\"data\":[{\"v\":" + text + "}]}", QStringLiteral("data"));
        QVERIFY2(!parsed.rows.value(0, 0).isValid(), text.constData());
    }
    // A literal no double can hold was written so: exact on both paths.
    QCOMPARE(JsonDataSet::valueFromJson(FieldType::LargeInt, json("9007199254740993")),
             QVariant(qlonglong(9007199254740993LL)));
}

void tst_JsonDataSet::rowsMapByLowerCaseName()
{
    MemTable t;
    declareFields(t);
    const QJsonObject envelope = QJsonDocument::fromJson(listBody).object();
    qsizetype skipped = -1;
    QJsonArray array = envelope.value(u"data").toArray();
    array.append(5); // not an object: no row
    const auto rows = JsonDataSet::rowsFromJsonArray(t.fieldDefs(), array, &skipped);
    QCOMPARE(skipped, 1);
    QCOMPARE(rows.size(), size_t(3));
    // Field "Contact_ID" takes member "contact_id"; text is not cut to size 10.
    QCOMPARE(rows[0].at(0), QVariant(qlonglong(9007199254740993LL)));
    QCOMPARE(rows[0].at(1), QVariant(QStringLiteral("Andi Wijaya, longer than ten")));
    QCOMPARE(
        rows[1],
        MemTable::Row({ qlonglong(2), QVariant(), 7, 1.25, false, QDate(2024, 3, 6), local(2024, 3, 6, 8, 9, 10) }));
    // Member "CONTACT_ID" is not "contact_id": the field stays null, as do
    // fields without a member and a fraction for an integer field.
    QCOMPARE(rows[2],
             MemTable::Row({ QVariant(), QVariant(), QVariant(), 2.0, QVariant(), QVariant(),
                             QDateTime(QDate(2024, 3, 7), QTime(1, 2, 3, 456), Qt::UTC) }));
    // The envelope's other members stay readable beside the rows.
    const auto parsed = JsonDataSet::parseArrayMember(t.fieldDefs(), listBody, QStringLiteral("data"));
    QCOMPARE(parsed.member(QStringLiteral("pages")).toObject().value(u"rec_count").toInt(), 14);
}

void tst_JsonDataSet::loadArrayIntoTable()
{
    MemTable t;
    QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::QtTest);
    declareFields(t);
    t.appendRows(std::vector<MemTable::Row> { MemTable::Row { qlonglong(1) } });
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QString::fromUtf8(listBody));
    QCOMPARE(inserted.count(), 1); // one batch, not one signal a row
    QCOMPARE(t.recordCount(), 4); // appended after the row already there
    QCOMPARE(t.cell(1, 0).toLongLong(), 9007199254740993LL);
    QCOMPARE(t.cell(1, 6).toDateTime(), local(2024, 3, 5, 10, 20, 30));

    // Refusals leave the table as it was; garbage is refused, never a crash.
    const QString notAnObject = QStringLiteral("The JSON text is not an object");
    const std::pair<QByteArray, QString> refused[] = {
        { "Internal Server Error", notAnObject },
        { R"({"rows": []})", QStringLiteral("JSON member \"data\" is missing") },
        { R"({"data": {"qty": 1}})", QStringLiteral("JSON member \"data\" is not an array but an object") },
        { listBody.chopped(5), notAnObject },
        { "{\"data\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + '}', notAnObject },
    };
    for (const auto &[text, message] : refused) {
        QVERIFY(JsonDataSet::parseArrayMember(t.fieldDefs(), text, QStringLiteral("data")).rows.empty());
        auto load = [&] {
            JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QString::fromUtf8(text));
        };
        QCOMPARE(jsonFailureOf(load), message);
    }
    QCOMPARE(t.recordCount(), 4);
    QCOMPARE(inserted.count(), 1);

    t.setReadOnly(true);
    const QString body = QString::fromUtf8(listBody);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError,
                             JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), body));
    QCOMPARE(t.recordCount(), 4);
}

void tst_JsonDataSet::loadObjectIntoCurrentRow()
{
    MemTable t;
    declareFields(t);
    t.appendRows({ { qlonglong(5), QStringLiteral("old"), 1, 9.5, false } });
    const QString refresh = QStringLiteral(R"({"data": {"name": "new", "qty": "12", "price": null,
        "doc_date": "2024-12-31", "unknown": 1}, "pages": {}})");
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, // not editing
                             JsonDataSet::loadJsonObjectFromObjectProperty(t, QStringLiteral("data"), refresh));
    QCOMPARE(t.cell(0, 1).toString(), QStringLiteral("old"));

    // Members overwrite, absent members leave their field alone, null clears.
    t.edit();
    JsonDataSet::loadJsonObjectFromObjectProperty(t, QStringLiteral("data"), refresh);
    t.post();
    QCOMPARE(
        t.rowAt(0),
        MemTable::Row({ qlonglong(5), QStringLiteral("new"), 12, QVariant(), false, QDate(2024, 12, 31), QVariant() }));

    t.edit();
    const QString array = QStringLiteral(R"({"data": [{"name": "x"}]})");
    QCOMPARE(jsonFailureOf([&] { JsonDataSet::loadJsonObjectFromObjectProperty(t, QStringLiteral("data"), array); }),
             QStringLiteral("JSON member \"data\" is not an object but an array"));
    QCOMPARE(t.value(1).toString(), QStringLiteral("new"));
}

void tst_JsonDataSet::asJsonObjectOfCurrentRow()
{
    MemTable t;
    declareFields(t);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, JsonDataSet::asJsonObject(t));
    QCOMPARE(JsonDataSet::asJsonArrayString(t), QStringLiteral("[]"));

    // The pending row is what is written, as a save posts it first.
    t.append();
    t.setValue(QStringLiteral("contact_id"), QStringLiteral("9223372036854775807"));
    t.setValue(QStringLiteral("name"), QStringLiteral("Budi"));
    t.setValue(QStringLiteral("doc_date"), QDate(2024, 3, 5));
    t.setValue(QStringLiteral("created_at"), QDateTime(QDate(2024, 3, 5), QTime(1, 2, 3), Qt::UTC));
    QCOMPARE(QJsonDocument(JsonDataSet::asJsonObject(t)).toJson(QJsonDocument::Compact),
             QByteArray(R"({"active":null,"contact_id":9223372036854775807,"created_at":"2024-03-05T01:02:03Z",)"
                        R"("doc_date":"2024-03-05","name":"Budi","price":null,"qty":null})"));
}

void tst_JsonDataSet::roundTripThroughArrayText()
{
    MemTable t;
    declareFields(t);
    JsonDataSet::loadJsonArrayFromObjectProperty(t, QStringLiteral("data"), QString::fromUtf8(listBody));
    t.setRecNo(1);
    t.edit();
    t.setValue(QStringLiteral("created_at"), QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::OffsetFromUTC, 25200));
    t.post();

    const QString text = JsonDataSet::asJsonArrayString(t);
    QVERIFY(
        text.startsWith(u"[{\"active\":true,\"contact_id\":9007199254740993,\"created_at\":\"2024-03-05T10:20:30\","));
    QVERIFY(text.contains(u"\"created_at\":\"2024-03-05T10:20:30+07:00\""));
    QVERIFY(text.contains(u"\"created_at\":\"2024-03-07T01:02:03.456Z\""));
    MemTable copy;
    declareFields(copy);
    JsonDataSet::loadFromJsonArrayString(copy, text);
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError,
                             JsonDataSet::loadFromJsonArrayString(copy, QStringLiteral("{}")));
    QCOMPARE(copy.recordCount(), 3);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(copy.rowAt(r), t.rowAt(r));
        QCOMPARE(copy.cell(r, 6).toDateTime().timeSpec(), t.cell(r, 6).toDateTime().timeSpec());
    }
}

// Ids beyond 2^53 that a double could also hold (half of those up to 2^54,
// every multiple of 1024 beyond 2^63 / 1024 ...) come back exactly from our
// own text and from a server's, by every table operation; a number written
// with a fraction stays null rather than risk its neighbour.
void tst_JsonDataSet::largeIntegersSurviveTheTableOperations()
{
    const qint64 ids[] = { 9007199254740994LL,
                           1000000000000000000LL,
                           std::numeric_limits<qint64>::min(),
                           std::numeric_limits<qint64>::max(),
                           1152921504606846976LL,
                           7 };
    auto declare = [](MemTable &t) {
        t.addField(QStringLiteral("ID"), FieldType::LargeInt);
        t.addField(QStringLiteral("name"), FieldType::String);
        t.open();
    };
    MemTable t;
    declare(t);
    std::vector<MemTable::Row> rows;
    for (qint64 id : ids)
        rows.push_back({ qlonglong(id), QString::number(id) });
    t.setRows(std::move(rows));
    const QString text = JsonDataSet::asJsonArrayString(t);

    MemTable fromArray;
    declare(fromArray);
    JsonDataSet::loadFromJsonArrayString(fromArray, QChar(0xFEFF) + text + u'\n');
    MemTable fromMember;
    declare(fromMember);
    JsonDataSet::loadJsonArrayFromObjectProperty(fromMember, QStringLiteral("data"),
                                                 QStringLiteral("{\"pages\": {}, \"data\": ") + text + u'}');
    for (const MemTable *copy : { &fromArray, &fromMember }) {
        QCOMPARE(copy->recordCount(), t.recordCount());
        for (int r = 0; r < t.recordCount(); ++r)
            QCOMPARE(copy->rowAt(r), t.rowAt(r));
    }

    MemTable record;
    declare(record);
    record.append();
    for (int r = 0; r < t.recordCount(); ++r) {
        t.setRecNo(r);
        const QJsonObject envelope { { QStringLiteral("data"), JsonDataSet::asJsonObject(t) } };
        JsonDataSet::loadJsonObjectFromObjectProperty(record, QStringLiteral("data"),
                                                      QString::fromUtf8(QJsonDocument(envelope).toJson()));
        QCOMPARE(record.rowAt(0), t.rowAt(r));
    }
    // Escaped member names are the same names; rounded numbers and a member
    // written twice with different numbers are not taken.
    const std::pair<QString, QVariant> bodies[] = {
        { QStringLiteral(R"({"data": {"i\u0064": 9007199254740994}})"), qlonglong(9007199254740994LL) },
        { QStringLiteral(R"({"data": {"id": -9007199254740994 }, "id": 1})"), qlonglong(-9007199254740994LL) },
        { QStringLiteral(R"({"data": {"id": 9007199254740994.0}})"), QVariant() },
        { QStringLiteral(R"({"data": {"id": 9007199254740993.0}})"), QVariant() },
        { QStringLiteral(R"({"data": {"id": 9.007199254740994e15}})"), QVariant() },
        { QStringLiteral(R"({"data": {"id": 9007199254740994, "id": 9007199254740993.9}})"), QVariant() },
    };
    for (const auto &[body, expected] : bodies) {
        record.setValue(0, 1);
        JsonDataSet::loadJsonObjectFromObjectProperty(record, QStringLiteral("data"), body);
        QVERIFY2(record.value(0) == expected, qPrintable(body));
    }
}

QTEST_GUILESS_MAIN(tst_JsonDataSet)
#include "tst_jsondataset.moc"
