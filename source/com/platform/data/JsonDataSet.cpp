#include "JsonDataSet.h"
#include "Errors.h"
#include "FieldValue_p.h"
#include "Json.h"
#include "JsonRowReader_p.h"

#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <functional>
#include <simdjson.h>

namespace Platform::JsonDataSet {

namespace {

using FieldType = MemTable::FieldType;

// Whether a JSON number is an integer that fits 64 bits, and which. Asking
// twice with different defaults tells "is 0" from "did not convert" without
// going through double, so large integers stay exact.
template<typename V> bool jsonInteger(const V &v, qint64 &out)
{

    const qint64 i = v.toInteger(0);
    if (i != 0 || v.toInteger(1) == 0) {
        out = i;
        return true;
    }
    return false;
}

// Works on QJsonValue and on QJsonValueConstRef, the latter sparing a
// QJsonValue per cell when rows are built from a parsed array.
template<typename V> QVariant fromJson(FieldType type, const V &v, FieldValue::LocalTimeCache *cache = nullptr)
{
    const QJsonValue::Type kind = v.type();
    if (kind == QJsonValue::Null || kind == QJsonValue::Undefined)
        return {};

    switch (type) {
    case FieldType::String:
    case FieldType::Memo:
        switch (kind) {
        case QJsonValue::String: return v.toString();
        case QJsonValue::Double: {
            qint64 i = 0;
            if (jsonInteger(v, i))
                return QString::number(i);
            return FieldValue::doubleText(v.toDouble());
        }
        case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Object: return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
        case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
        default: return {};
        }

    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::LargeInt: {
        qint64 i = 0;
        switch (kind) {
        case QJsonValue::Double:
            // Qt's parser keeps any integral number within 64 bits as an
            // integer, 9007199254740993.0 as ...992 too. Beyond 2^53 an
            // integer that a double can hold may be such a rounded number:
            // it is null; one that a double cannot hold was written so.
            if (!jsonInteger(v, i) || (std::abs(double(i)) >= 9007199254740992.0 && FieldValue::isDoubleExact(i)))
                return {};
            break;
        case QJsonValue::String:
            if (!FieldValue::parseInteger(v.toString(), i))
                return {};
            break;
        case QJsonValue::Bool: i = v.toBool() ? 1 : 0; break;
        default: return {};
        }
        if (!FieldValue::fitsInteger(type, i))
            return {};
        return FieldValue::integerValue(type, i);
    }

    case FieldType::Float:
        switch (kind) {
        case QJsonValue::Double: return v.toDouble();
        case QJsonValue::String: {
            double d = 0;
            return FieldValue::parseDouble(v.toString(), d) ? QVariant(d) : QVariant();
        }
        case QJsonValue::Bool: return v.toBool() ? 1.0 : 0.0;
        default: return {};
        }

    case FieldType::Boolean:
        switch (kind) {
        case QJsonValue::Bool: return v.toBool();
        case QJsonValue::Double: return v.toDouble() != 0;
        case QJsonValue::String: {
            bool b = false;
            return FieldValue::parseBool(v.toString(), b) ? QVariant(b) : QVariant();
        }
        default: return {};
        }

    case FieldType::Date:
        if (kind == QJsonValue::String) {
            QDate d;
            if (FieldValue::parseDate(v.toString(), d))
                return d;
        }
        return {};

    case FieldType::DateTime:
        if (kind == QJsonValue::String) {
            QDateTime dt;
            if (FieldValue::parseDateTime(v.toString(), dt, cache))
                return dt;
        }
        return {};
    }
    return {};
}

// One field as the row builder looks it up. Lower-case ASCII names (all of
// ours) are searched as Latin-1, the cheapest comparison against the keys of
// a parsed object.
struct FieldKey
{
    int field = 0;
    FieldType type = FieldType::String;
    QString key;
    QByteArray latin1;
    bool isAscii = false;
};

std::vector<FieldKey> fieldKeys(const FieldList &fields)
{
    std::vector<FieldKey> keys;
    keys.reserve(fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i) {
        FieldKey k;
        k.field = int(i);
        k.type = fields.at(i).type;
        k.key = fields.at(i).name.toLower();
        k.isAscii = std::all_of(k.key.cbegin(), k.key.cend(), [](QChar c) { return c.unicode() < 0x80; });
        if (k.isAscii)
            k.latin1 = k.key.toLatin1();
        keys.push_back(std::move(k));
    }
    return keys;
}

QJsonObject::const_iterator findMember(const QJsonObject &obj, const FieldKey &k)
{
    return k.isAscii ? obj.constFind(QLatin1StringView(k.latin1)) : obj.constFind(QStringView(k.key));
}

QString kindName(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("missing");
}

QJsonValue requireMember(const QJsonObject &obj, const QString &property, QJsonValue::Type kind)
{
    const QJsonValue member = obj.value(property);
    if (member.isUndefined())
        throw JsonMemberError(QStringLiteral("JSON member \"%1\" is missing").arg(property));
    if (member.type() != kind) {
        const QString wanted = kind == QJsonValue::Array ? QStringLiteral("an array") : QStringLiteral("an object");
        throw JsonMemberError(
            QStringLiteral("JSON member \"%1\" is not %2 but %3").arg(property, wanted, kindName(member)));
    }
    return member;
}

} // namespace

QVariant valueFromJson(MemTable::FieldType type, const QJsonValue &value)
{
    return fromJson(type, value);
}

QJsonValue valueToJson(MemTable::FieldType type, const QVariant &value)
{
    if (!value.isValid())
        return QJsonValue::Null;
    switch (type) {
    case FieldType::String:
    case FieldType::Memo: return value.toString();
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::LargeInt: return QJsonValue(qint64(value.toLongLong()));
    case FieldType::Float: {
        const double d = value.toDouble();
        return std::isfinite(d) ? QJsonValue(d) : QJsonValue(QJsonValue::Null);
    }
    case FieldType::Boolean: return value.toBool();
    case FieldType::Date: {
        const QDate d = value.toDate();
        return d.isValid() ? QJsonValue(FieldValue::dateText(d)) : QJsonValue(QJsonValue::Null);
    }
    case FieldType::DateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? QJsonValue(FieldValue::dateTimeIsoText(dt)) : QJsonValue(QJsonValue::Null);
    }
    }
    return QJsonValue::Null;
}

std::vector<MemTable::Row> rowsFromJsonArray(const FieldList &fields, const QJsonArray &array,
                                             qsizetype *skippedElements)
{
    const std::vector<FieldKey> keys = fieldKeys(fields);
    const qsizetype width = fields.size();
    qsizetype skipped = 0;
    FieldValue::LocalTimeCache localTimes;
    std::vector<MemTable::Row> rows;
    rows.reserve(size_t(array.size()));
    for (auto it = array.constBegin(), end = array.constEnd(); it != end; ++it) {
        const QJsonValueConstRef element = *it;
        if (element.type() != QJsonValue::Object) {
            ++skipped;
            continue;
        }
        const QJsonObject obj = element.toObject();
        MemTable::Row row(width);
        if (!obj.isEmpty()) {
            QVariant *cells = row.data();
            const auto objEnd = obj.constEnd();
            for (const FieldKey &k : keys) {
                const auto member = findMember(obj, k);
                if (member != objEnd)
                    cells[k.field] = fromJson(k.type, member.value(), &localTimes);
            }
        }
        rows.push_back(std::move(row));
    }
    if (skippedElements)
        *skippedElements = skipped;
    return rows;
}

TableStorage storageFromJsonArray(const FieldList &fields, const QJsonArray &array, qsizetype *skippedElements)
{
    const std::vector<FieldKey> keys = fieldKeys(fields);
    qsizetype skipped = 0;
    FieldValue::LocalTimeCache localTimes;
    TableStorage storage(fields);
    storage.reserve(array.size());
    for (auto it = array.constBegin(), end = array.constEnd(); it != end; ++it) {
        const QJsonValueConstRef element = *it;
        if (element.type() != QJsonValue::Object) {
            ++skipped;
            continue;
        }
        const QJsonObject obj = element.toObject();
        const qsizetype row = storage.size();
        storage.resize(row + 1);
        if (obj.isEmpty())
            continue;
        const auto objEnd = obj.constEnd();
        for (const FieldKey &k : keys) {
            const auto member = findMember(obj, k);
            if (member != objEnd)
                storage.setValue(row, k.field, fromJson(k.type, member.value(), &localTimes));
        }
    }
    if (skippedElements)
        *skippedElements = skipped;
    return storage;
}

ParsedRows parseArrayMember(const FieldList &fields, const QByteArray &body, const QString &property)
{
    if (body.size() > ArrayMemberReader::WholeBodyBytes) {
        ArrayMemberReader reader(fields, property);
        reader.expectSize(body.size());
        reader.append(body.constData(), body.size());
        return reader.finish();
    }
    // one pass from text to cells for what it reads whole; else the document
    ParsedRows direct;
    if (detail::readArrayMember(fields, body, property, direct, 0))
        return direct;
    return detail::documentRows(fields, body, property);
}

namespace {

QByteArray withoutByteOrderMark(QByteArray text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    return text;
}

// The JSON text of the member at `path` (member names, outermost first) of
// a JSON object text, an object or an array; empty when a member on the way
// is missing, is not an object, or is written twice.
std::optional<QByteArray> memberJson(const QByteArray &text, const QStringList &path)
{
    namespace od = simdjson::ondemand;
    using simdjson::SUCCESS;
    const QByteArray json = withoutByteOrderMark(text);
    const simdjson::padded_string padded(json.constData(), size_t(json.size()));
    od::parser parser;
    od::document doc;
    od::object root;
    if (path.isEmpty() || parser.iterate(padded).get(doc) != SUCCESS || doc.get_object().get(root) != SUCCESS)
        return std::nullopt;
    std::string_view found;
    int matches = 0;
    // every member on the way is looked at, so that one written twice shows
    std::function<bool(od::object &, qsizetype)> walk = [&](od::object &object, qsizetype level) {
        for (auto member : object) {
            od::field f;
            std::string_view key;
            if (std::move(member).get(f) != SUCCESS || f.unescaped_key().get(key) != SUCCESS)
                return false;
            if (QString::fromUtf8(key.data(), qsizetype(key.size())) != path.at(level))
                continue;
            od::value v = f.value();
            od::json_type type;
            if (v.type().get(type) != SUCCESS)
                return false;
            if (level + 1 < path.size()) {
                od::object inner;
                if (type != od::json_type::object || v.get_object().get(inner) != SUCCESS || !walk(inner, level + 1))
                    return false;
                continue;
            }
            if (++matches > 1)
                return false;
            if (type == od::json_type::array) {
                od::array array;
                if (v.get_array().get(array) != SUCCESS || array.raw_json().get(found) != SUCCESS)
                    return false;
            } else if (type == od::json_type::object) {
                od::object inner;
                if (v.get_object().get(inner) != SUCCESS || inner.raw_json().get(found) != SUCCESS)
                    return false;
            } else {
                return false;
            }
        }
        return true;
    };
    if (!walk(root, 0) || matches != 1)
        return std::nullopt;
    return QByteArray(found.data(), qsizetype(found.size()));
}

// The rows of a JSON array text, read as a list response is.
std::optional<TableStorage> arrayTextRows(const FieldList &fields, const QByteArray &array)
{
    ParsedRows parsed = parseArrayMember(fields, "{\"rows\":" + array + '}', QStringLiteral("rows"));
    if (!parsed.hasArray)
        return std::nullopt;
    return std::move(parsed.rows);
}

} // namespace

std::optional<TableStorage> nestedArrayRows(const FieldList &fields, const QByteArray &text, const QString &outer,
                                            const QString &inner)
{
    const std::optional<QByteArray> array = memberJson(text, { outer, inner });
    if (!array || !array->startsWith('['))
        return std::nullopt;
    return arrayTextRows(fields, *array);
}

std::optional<TableStorage> objectMemberRow(const FieldList &fields, const QByteArray &text, const QString &member)
{
    const std::optional<QByteArray> object = memberJson(text, { member });
    if (!object || !object->startsWith('{'))
        return std::nullopt;
    return arrayTextRows(fields, '[' + *object + ']');
}

// The rows are read from the text, as a list response is, so that integers
// beyond 2^53 come in exactly (a QJsonValue cannot hold them apart from
// rounded numbers).
void loadJsonArrayFromObjectProperty(MemTable &table, const QString &property, const QString &jsonObjectText)
{
    ParsedRows parsed = parseArrayMember(table.fieldDefs(), jsonObjectText.toUtf8(), property);
    if (!parsed.isObject)
        throw JsonMemberError(QStringLiteral("The JSON text is not an object"));
    if (!parsed.hasArray)
        requireMember(parsed.others, property, QJsonValue::Array); // raises: missing or another kind
    table.appendRows(std::move(parsed.rows));
}

void loadJsonObjectFromObjectProperty(MemTable &table, const QString &property, const QString &jsonObjectText)
{
    if (!table.isEditing())
        throw TableStateError(QStringLiteral("Loading a JSON object needs the current row in edit or insert state"));
    const QByteArray text = withoutByteOrderMark(jsonObjectText.toUtf8());
    const QJsonValue root = Json::parse(text);
    if (!root.isObject())
        throw JsonMemberError(QStringLiteral("The JSON text is not an object"));
    const QJsonObject record = requireMember(root.toObject(), property, QJsonValue::Object).toObject();
    const std::vector<FieldKey> keys = fieldKeys(table.fieldDefs());
    std::optional<TableStorage> exact; // the record's row read from the text, once needed
    for (const FieldKey &k : keys) {
        const auto member = findMember(record, k);
        if (member == record.constEnd())
            continue;
        QVariant value = fromJson(k.type, member.value());
        // Qt keeps 9007199254740993.0 as the integer ...992 too: only the
        // text tells such an id from a rounded number
        if (!value.isValid() && k.type == FieldType::LargeInt && member.value().type() == QJsonValue::Double) {
            if (!exact)
                exact = objectMemberRow(table.fieldDefs(), text, property).value_or(TableStorage());
            if (exact->size() == 1)
                value = exact->value(0, k.field);
        }
        table.setValue(k.field, value);
    }
}

void loadFromJsonArrayString(MemTable &table, const QString &jsonArrayText)
{
    const QByteArray text = withoutByteOrderMark(jsonArrayText.toUtf8());
    if (!Json::parse(text).isArray())
        throw JsonMemberError(QStringLiteral("The JSON text is not an array"));
    // read from the text as a list response is (see above); the array is
    // known to be whole, so the envelope cannot take in anything beside it
    ParsedRows parsed = parseArrayMember(table.fieldDefs(), "{\"rows\":" + text + '}', QStringLiteral("rows"));
    if (!parsed.hasArray)
        throw JsonMemberError(QStringLiteral("The JSON text is not an array"));
    table.appendRows(std::move(parsed.rows));
}

namespace {

QJsonObject rowObject(const std::vector<FieldKey> &keys, const MemTable::Row &row)
{
    QJsonObject obj;
    for (const FieldKey &k : keys)
        obj.insert(k.key, valueToJson(k.type, row.at(k.field)));
    return obj;
}

} // namespace

QJsonObject asJsonObject(const MemTable &table)
{
    if (table.recNo() < 0)
        throw TableStateError(QStringLiteral("There is no current row to write as JSON"));
    return rowObject(fieldKeys(table.fieldDefs()), table.rowAt(table.recNo()));
}

QJsonArray asJsonArray(const MemTable &table)
{
    const std::vector<FieldKey> keys = fieldKeys(table.fieldDefs());
    QJsonArray array;
    for (int r = 0; r < table.recordCount(); ++r)
        array.append(rowObject(keys, table.rowAt(r)));
    return array;
}

QString asJsonArrayString(const MemTable &table)
{
    return QString::fromUtf8(QJsonDocument(asJsonArray(table)).toJson(QJsonDocument::Compact));
}

} // namespace Platform::JsonDataSet
