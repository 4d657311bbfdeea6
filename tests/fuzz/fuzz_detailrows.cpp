// A document's answer as the table list reads it: the detail lines
// ("data"."lines") and the record ("data") read from the text agree with
// what QJsonDocument gives for every body it reads as an object, the one
// documented difference (integers beyond 2^53, exact from the text) aside.
// Reading from the text may decline (empty) and leave it to the document.

#include "../support/JsonReaderDifferential.h"

#include <cstdio>
#include <cstdlib>

namespace {

namespace JD = Platform::JsonDataSet;
using JsonReaderDifferential::Outcome;

QString rowsOf(const std::vector<Platform::MemTable::Row> &rows)
{
    Outcome o;
    o.rows = rows;
    return JsonReaderDifferential::summary(o);
}

QString rowsOf(const Platform::TableStorage &storage)
{
    std::vector<Platform::MemTable::Row> rows;
    for (qsizetype r = 0; r < storage.size(); ++r)
        rows.push_back(storage.row(r));
    return rowsOf(rows);
}

[[noreturn]] void differ(const char *what, const QString &got, const QString &expected, const QByteArray &body)
{
    std::fprintf(stderr, "%s: %s\n  vs  \n%s\nbody: %s\n", what, qPrintable(got), qPrintable(expected),
                 body.left(300).constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const JD::FieldList fields = JsonReaderDifferential::fields();
    const QString dataMember = QStringLiteral("data");
    const QString linesMember = QStringLiteral("lines");

    // the text as the table list takes it apart (DataUtilsU's LoadData)
    const std::optional<Platform::TableStorage> lines = JD::nestedArrayRows(fields, body, dataMember, linesMember);
    const std::optional<Platform::TableStorage> record = JD::objectMemberRow(fields, body, dataMember);

    QByteArray text = body;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return 0;
    const QJsonValue dataValue = doc.object().value(dataMember);
    if (!dataValue.isObject())
        return 0;
    if (record) {
        const QString expected = rowsOf(JD::rowsFromJsonArray(fields, QJsonArray { dataValue }));
        const QString got = rowsOf(*record);
        if (got != expected)
            differ("record", got, expected, body);
    }
    const QJsonValue linesValue = dataValue.toObject().value(linesMember);
    if (qEnvironmentVariableIsSet("ZELT_FUZZ_VERBOSE"))
        std::fprintf(stderr, "record %s, lines %s\n", record ? "read" : "declined",
                     !linesValue.isArray() ? "none"
                         : lines           ? "read"
                                           : "declined");
    if (lines && linesValue.isArray()) {
        const QString expected = rowsOf(JD::rowsFromJsonArray(fields, linesValue.toArray()));
        const QString got = rowsOf(*lines);
        if (got != expected)
            differ("lines", got, expected, body);
    }
    return 0;
}
