// The list path reads rows straight from the response text: it must agree with QJsonDocument on rows, value
// types, skipped elements, other members and the verdict on malformed text.

#include "JsonReaderDifferential.h"

#include <QRandomGenerator>
#include <QtTest>
#include <limits>

namespace {

using namespace JsonReaderDifferential;

// A random row member value of any kind, sometimes unusual.
QByteArray randomValue(QRandomGenerator &g, int depth = 0, bool hostile = true)
{
    static const char *const scalars[] = {
        "0",
        "-0",
        "7",
        "32768",
        "-2147483649",
        "9007199254740993",
        "9223372036854775808",
        "1.5",
        "2.0",
        "1e2",
        "9007199254740993.0",
        "9007199254740993e0",
        "-9223372036854775809",
        "1e19",
        "1.0000000000000001",
        "\"9007199254740993.0\"",
        "\"-9223372036854775809\"",
        "4.9e-324",
        "9007199254740994",
        "1e18",
        "1E+2",
        "-3.25E-3",
        "1e308",
        "true",
        "false",
        "null",
        "\"\"",
        "\" 42 \"",
        "\"4.2e1\"",
        "\"abc\"",
        "\"2024-02-30\"",
        "\"2024-05-02T08:10:00Z\"",
        "\"2024-05-02 08:10:00\"",
        "\"2024-05-02T08:10:00.123+07:00\"",
        "\"TRUE\"",
        "\"1\"",
        "\"caf\\u00e9 \\\"q\\\" \\\\ \\/ \\n\\t\"",
        "\"na\xc3\xafve \xe2\x82\xac \xf0\x9f\x98\x80\"",
        "\"\\ud83d\\ude00\"",
        "\"-1.5\"",
        "\"1,5\"",
        "\"\\u0000x\"",
        "\"\xef\xbf\xbe\"",
        // the forms read without simdjson, and their limits
        "123456789012345678",
        "-999999999999999999",
        "1234567890123456789",
        "12.5",
        "-0.0",
        "0.1",
        "123.4500",
        "99999.99999",
        "0.000000000000001",
        "1234567890.12345",
        "1234567890.123456",
        "9007199254740993.5",
    };
    // What the two parsers may read differently: the list reader must refuse
    // these (or read them as Qt does). One value in forty is one of them.
    static const char *const hostileValues[] = {
        // byte-order marks: at the start, after an escape, in the middle, twice
        "\"\xef\xbb\xbf"
        "abc\"",
        "\"\\n\xef\xbb\xbf\"",
        "\"a\xef\xbb\xbf\"",
        "\"\xef\xbb\xbf\xef\xbb\xbf\"",
        "\"\xef\xbb\xbf"
        "2024-05-02\"",
        "\"\\ud800\"",
        "\"a\x01"
        "b\"",
        "1e-400",
        "1e400",
        "123456789012345678901234567890",
        "1.",
        "-",
        "01",
        "00.5",
        "-01.5",
        "1.5.5",
        "1..5",
        "-.5",
        ".5",
        "+1",
        "tru",
        "nul",
        "\"\\x\"",
    };
    if (hostile && g.bounded(40) == 0)
        return hostileValues[g.bounded(int(std::size(hostileValues)))];
    const int count = int(std::size(scalars));
    const int pick = int(g.bounded(count + (depth < 2 ? 6 : 0)));
    if (pick < count)
        return scalars[pick];
    const bool array = pick < count + 3;
    QByteArrayList members;
    for (int i = int(g.bounded(3)); i > 0; --i)
        members.append((array ? QByteArray() : "\"k" + QByteArray::number(i) + "\":")
                       + randomValue(g, depth + 1, hostile));
    return (array ? "[" : "{") + members.join(',') + (array ? "]" : "}");
}

// A list body, its rows of random members, now and then unusual or broken.
QByteArray randomBody(QRandomGenerator &g)
{
    static const char *const keys[] = { "id",
                                        "name",
                                        "Name",
                                        "note",
                                        "small",
                                        "big",
                                        "price",
                                        "ok",
                                        "day",
                                        "at",
                                        "na\xc3\xafve",
                                        "na\\u00efve",
                                        "i\\u0064",
                                        "other",
                                        "",
                                        "\xef\xbb\xbf"
                                        "id",
                                        "\\u0069\xef\xbb\xbf"
                                        "d",
                                        "\\ufeffname" };
    QByteArrayList rows;
    for (int r = int(g.bounded(6)); r > 0; --r) {
        QByteArrayList members;
        for (int i = int(g.bounded(8)); i > 0; --i)
            members.append(QByteArray("\"") + keys[g.bounded(int(std::size(keys)))] + "\" : " + randomValue(g));
        rows.append(g.bounded(12) == 0 ? randomValue(g, 2) : '{' + members.join(',') + '}');
    }
    const QByteArray list = '[' + rows.join(g.bounded(10) == 0 ? " ,\n " : ",") + ']';
    QByteArray body;
    switch (g.bounded(8)) {
    case 0: body = "{\"pages\":{\"page\":1},\"data\":" + list + '}'; break;
    case 1: body = "{\"data\":" + list + ",\"data\":[]}"; break; // repeated member
    case 2: body = "{\"data\":{\"not\":\"rows\"},\"pages\":[1]}"; break;
    case 3: body = "{\"rows\":" + list + '}'; break;
    case 4: body = "{\"d\\u0061ta\":" + list + ",\"x\":null}"; break;
    default: body = "{\"data\":" + list + ",\"pages\":{\"page_count\":3,\"rec_count\":" + randomValue(g) + "}}";
    }
    const auto at = [&] { return qsizetype(g.bounded(int(body.size()))); };
    switch (g.bounded(10)) {
    case 0: body.truncate(at()); break;
    case 1: body[at()] = char(g.bounded(256)); break;
    case 2: body.insert(at(), char(g.bounded(128))); break;
    default: break;
    }
    return body;
}

} // namespace

class tst_JsonRowReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sameAsDocumentPath();
    void fuzzCorpusStaysAgreed();
    void largeListsReadInWindows();
    void rowLikeTextInsideValues();
    void roomBeforeTheTextIsNoPadding();
    void announcedLengthIsNotTrustedBeyondReason();
};

void tst_JsonRowReader::sameAsDocumentPath()
{
    bool read = false;
    QCOMPARE(difference(R"({"data":[{"id":1,"name":"A","price":1.5,"ok":true,"day":"2024-01-02",)"
                        R"("at":"2024-01-02T03:04:05Z"}],"pages":{"page":1,"page_count":1,"rec_count":1}})",
                        &read),
             QString());
    QVERIFY(read); // a plain list is what the direct path is for

    QList<QByteArray> bodies {
        R"( { "data" : [ ] } )",
        R"({"data":[null,1,"x",[],{"id":2},true,[{"id":3}]]})",
        R"({"d\u0061ta":[{"n\u0061me":"a\"b\\c\/d\b\f\n\r\t\u00e9","id":"\u0034\u0032"}]})",
        R"({"data":[{"name":"\ud83d\ude00"}]})",
        "{\"data\":[{\"name\":\"\xc3\x28\"}]}", // invalid UTF-8
        R"({"data":[{"id":1}],"data":[{"id":2}]})",
        R"({"data":[{"id":1},{"id":2}],"data":[]})",
        R"({"data":[{"id":1},{"id":2}],"x":1,"data":{"id":3}})",
        R"({"data":[{"id":1e2,"small":40000,"big":9223372036854775807,"price":-0,"name":1e400}]})",
        // a missing comma after a text On-Demand was not asked to read
        R"({"data":[{"name":"a" "id":1}]})",
        R"({"x":"y" "data":[]})",
        R"({"data":[{"name":"a"}{"id":2}]})",
        R"({"d"x":"ata":[1]})",
        // byte-order marks in a key's start and after an escape
        "{\"data\":[{\"\xef\xbb\xbf"
        "id\":1,\"name\":\"\\n\xef\xbb\xbf"
        "x\"}]}",
        "{\"data\":[{\"id\":2,\"na\\u00efve\xef\xbb\xbf\":\"y\",\"note\":\"\xef\xbb\xbf"
        "z\"}]}",
        // integers beyond 2^53 written with a fraction or an exponent, and beyond 64 bits
        R"({"data":[{"big":9007199254740993.0,"id":9007199254740993e0,"small":"9007199254740993.0"},)"
        R"({"big":-9223372036854775809,"note":-9223372036854775809},{"big":"9223372036854775808"}]})",
        R"({"data":[{"id":1},{"id":)",
        QByteArray(R"({"data":[{"name":)") + QByteArray(2000, '[') + QByteArray(2000, ']') + "}]}",
    };
    const qsizetype fixed = bodies.size();
    QRandomGenerator g(20240502);
    for (int i = 0; i < 2000; ++i)
        bodies.append(randomBody(g));

    int readDirectly = 0;
    const qsizetype windows[] = { 1, 8, 24, 64, 300 };
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        const QString diff = difference(bodies.at(i), &read, windows[i % 5]);
        if (!diff.isEmpty())
            QFAIL(qPrintable(diff));
        readDirectly += i >= fixed && read;
    }
    // most generated bodies are well-formed lists: the direct path must take
    // them, or this test would only exercise the fallback
    QVERIFY2(readDirectly > (bodies.size() - fixed) / 3, qPrintable(QString::number(readDirectly)));
}

// A long list read a window at a time: rows cut anywhere by a window's end
// (in a string, an escape, a number, between rows) come out whole.
void tst_JsonRowReader::largeListsReadInWindows()
{
    QRandomGenerator g(7);
    QByteArrayList rows;
    static const char *const keys[] = { "id", "Name", "note", "small", "big", "price", "ok", "day", "at", "other" };
    for (int r = 0; r < 3000; ++r) {
        QByteArrayList members;
        for (int i = int(g.bounded(9)); i > 0; --i) {
            const QByteArray value = randomValue(g, 0, false);
            members.append(QByteArray("\"") + keys[g.bounded(int(std::size(keys)))] + "\": " + value);
        }
        rows.append(r % 97 == 5 ? QByteArray("[1,{\"a\":\"}\"}]") : '{' + members.join(",  ") + '}');
    }
    const QByteArray body = "{\"pages\":{\"page\":1},\"data\":[ " + rows.join(" ,\n") + " ],\"x\":[\"]\"]}";
    int windowed = 0;
    for (const qsizetype window : { qsizetype(200), qsizetype(1000), qsizetype(65536) }) {
        bool read = false;
        bool tookWindows = false;
        const QString diff = difference(body, &read, window, &tookWindows);
        if (!diff.isEmpty())
            QFAIL(qPrintable(diff.left(3000)));
        windowed += tookWindows;
    }
    // a well-formed body is taken in windows, whatever their size
    QCOMPARE(windowed, 3);
}

// Text that looks like the start of a row ("},{") inside strings and nested
// values, wherever a window ends: only the rows themselves are rows.
void tst_JsonRowReader::rowLikeTextInsideValues()
{
    QByteArrayList rows;
    for (int r = 0; r < 400; ++r) {
        const QByteArray n = QByteArray::number(r);
        switch (r % 4) {
        case 0: rows.append("{\"id\":" + n + ",\"Name\":\"a},{\\\"id\\\":9}, {\\\"x\\\":\",\"note\":\"},{\"}"); break;
        case 1: rows.append("{\"id\":" + n + ",\"note\":[{\"id\":7},{\"Name\":\"}, {\"}],\"price\":1.5}"); break;
        case 2: rows.append("{\"note\":{\"a\":{\"b\":1},\"c\":{\"d\":[{},{}]}},\"id\":" + n + "}"); break;
        default: rows.append("{\"id\":" + n + ",\"Name\":\"" + QByteArray(r % 50, 'x') + "},{\"}"); break;
        }
    }
    const QByteArray body = "{\"data\":[" + rows.join(",") + "],\"pages\":{\"page\":1}}";
    for (const qsizetype window : { qsizetype(40), qsizetype(97), qsizetype(256), qsizetype(1000) }) {
        bool read = false;
        bool tookWindows = false;
        const QString diff = difference(body, &read, window, &tookWindows);
        if (!diff.isEmpty())
            QFAIL(qPrintable(diff.left(3000)));
        QVERIFY(tookWindows);
    }
}

// The fuzz target's seeds and the findings added to them since.
void tst_JsonRowReader::fuzzCorpusStaysAgreed()
{
    const QString folder = QString::fromUtf8(ZELT_FUZZ_CORPUS "/jsonrowreader");
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    QVERIFY(files.size() >= 5);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        bool read = false;
        const QString diff = difference(file.readAll(), &read);
        if (!diff.isEmpty())
            QFAIL(qPrintable(info.fileName() + QStringLiteral(": ") + diff));
    }
}

// A body whose spare capacity lies before its text (the front of a larger
// array removed): simdjson reads ahead behind the text, so only room there
// may count as its padding (the sanitizer build sees a read past the block).
void tst_JsonRowReader::roomBeforeTheTextIsNoPadding()
{
    const QByteArray json = R"({"pages":{"page":1,"rec_count":123},"data":[{"name":"x\ty","id":7}]})";
    QByteArray body(256 + json.size(), ' ');
    body.replace(256, json.size(), json);
    body.remove(0, 256);
    QCOMPARE(body, json);
    QVERIFY(body.capacity() - body.size() >= 64);
    QVERIFY(body.data_ptr().freeSpaceAtEnd() < 64);
    bool read = false;
    QCOMPARE(difference(body, &read), QString());
    QVERIFY(read);
}

// A server's Content-Length sizes the rows' storage; one that claims far more
// than any body the client takes must not make the reader ask for it.
void tst_JsonRowReader::announcedLengthIsNotTrustedBeyondReason()
{
    QByteArrayList rows;
    for (int i = 0; i < 2000; ++i)
        rows.append("{\"id\":" + QByteArray::number(i) + ",\"name\":\"row " + QByteArray::number(i) + "\"}");
    const QByteArray body = "{\"data\":[" + rows.join(',') + "]}";
    for (const qsizetype claimed : { qsizetype(1) << 50, std::numeric_limits<qsizetype>::max(), qsizetype(-1) }) {
        JsonDataSet::ArrayMemberReader reader(fields(), QStringLiteral("data"), 4096);
        reader.expectSize(claimed);
        for (qsizetype at = 0; at < body.size(); at += 1000)
            reader.append(body.constData() + at, std::min<qsizetype>(1000, body.size() - at));
        const JsonDataSet::ParsedRows parsed = reader.finish();
        QCOMPARE(parsed.rows.size(), 2000);
        QVERIFY(reader.readItself());
    }
}

QTEST_GUILESS_MAIN(tst_JsonRowReader)
#include "tst_jsonrowreader.moc"
