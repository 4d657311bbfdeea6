#include "JsonRowReader_p.h"

#include "FieldValue_p.h"

#include <QJsonDocument>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <simdjson.h>

// A list response is mostly one array of flat row objects. simdjson's
// On-Demand parser indexes the body once and hands out each value where it
// lies, so the cells are made straight from the body's bytes. Where simdjson
// and QJsonDocument could disagree, the reader refuses and the caller falls
// back to the document path.

namespace Platform::JsonDataSet::detail {

namespace {

namespace od = simdjson::ondemand;
using simdjson::SUCCESS;
using FieldType = MemTable::FieldType;

// Below Qt's own limit, so that the fallback decides about deep texts. The
// parser is given room beyond it: On-Demand does not check its depth itself.
constexpr int MaxDepth = 512;
constexpr size_t ParserDepth = MaxDepth + 16;

#define READ_OR_REFUSE(expr)                                                                                           \
    do {                                                                                                               \
        if ((expr) != SUCCESS)                                                                                         \
            return false;                                                                                              \
    } while (0)

bool isWs(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The token's own text: simdjson's raw token runs up to the next structural
// character and may carry white space.
std::string_view trimmedToken(od::value &v)
{
    std::string_view t = v.raw_json_token();
    while (!t.empty() && isWs(t.back()))
        t.remove_suffix(1);
    return t;
}

// Qt refuses a number whose double is out of range, underflow to zero
// included; simdjson gives 0 for the latter.
bool underflows(std::string_view token, double d)
{
    if (d != 0)
        return false;
    for (char c : token) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

// Qt's integer when the text is an integer literal within 64 bits (isInt),
// else its double.
struct Number
{
    bool isInt = false;
    qint64 integer = 0;
    double real = 0;
};

// The common forms read straight from the token: an integer of up to 18
// digits, or a decimal fraction of up to 15 significant digits, whose value
// is then exactly one correctly rounded division (both operands are exact
// doubles). Anything else is left to simdjson.
bool readPlainNumber(std::string_view token, Number &n)
{
    static constexpr double powersOfTen[] = { 1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22 };
    const char *p = token.data();
    const char *const end = p + token.size();
    const bool negative = p < end && *p == '-';
    p += negative;
    const char *const first = p;
    quint64 mantissa = 0;
    while (p < end && unsigned(*p - '0') < 10)
        mantissa = mantissa * 10 + unsigned(*p++ - '0');
    const qsizetype whole = p - first;
    if (whole == 0 || (*first == '0' && whole > 1))
        return false;
    if (p == end) {
        if (whole > 18)
            return false;
        n.isInt = true;
        n.integer = negative ? -qint64(mantissa) : qint64(mantissa);
        return true;
    }
    if (*p != '.')
        return false;
    const char *const fraction = ++p;
    while (p < end && unsigned(*p - '0') < 10)
        mantissa = mantissa * 10 + unsigned(*p++ - '0');
    const qsizetype decimals = p - fraction;
    // leading zeros of "0.0001" are not significant, but counting them keeps this simple
    if (p != end || decimals == 0 || whole + decimals > 15)
        return false;
    const double magnitude = double(mantissa) / powersOfTen[decimals];
    n.isInt = false;
    n.real = negative ? -magnitude : magnitude;
    return true;
}

// A member's number may be left unread (`stepOver`): the object's iterator
// steps over it and still checks what follows. An element's may not, as the
// windows take the iterator's place after each element for where it ended.
bool readNumber(od::value &v, std::string_view token, Number &n, bool stepOver = false)
{
    if (stepOver && readPlainNumber(token, n))
        return true;
    bool literal = true;
    for (const char c : token)
        literal = literal && c != '.' && c != 'e' && c != 'E';
    if (literal) {
        int64_t i = 0;
        const auto e = v.get_int64().get(i);
        if (e == SUCCESS) {
            n.integer = i;
            n.isInt = true;
            return true;
        }
        if (e != simdjson::NUMBER_OUT_OF_RANGE && e != simdjson::INCORRECT_TYPE)
            return false;
    }
    READ_OR_REFUSE(v.get_double().get(n.real));
    return std::isfinite(n.real) && !underflows(token, n.real);
}

// As QJsonValue::toInteger converts a double: integral and within range.
bool doubleAsInteger(double d, qint64 &out)
{
    if (d != std::floor(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        return false;
    out = qint64(d);
    return true;
}

// Eight bytes at a time: cells are too short for a call to memchr to pay.
bool hasBackslash(std::string_view s)
{
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highs = 0x8080808080808080ULL;
    const char *p = s.data();
    const char *const end = p + s.size();
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        const quint64 x = word ^ (ones * '\\');
        if ((x - ones) & ~x & highs)
            return true;
    }
    for (; p < end; ++p) {
        if (*p == '\\')
            return true;
    }
    return false;
}

// The content of a string value and whether it had escapes; a string with
// escapes is unescaped (and checked) by simdjson.
bool readString(od::value &v, std::string_view token, std::string_view &text)
{
    if (token.size() < 2 || token.front() != '"' || token.back() != '"')
        return false;
    text = token.substr(1, token.size() - 2);
    if (hasBackslash(text)) {
        READ_OR_REFUSE(v.get_string().get(text));
        return true;
    }
    // Stepped over all the same: On-Demand skipping a value it did not hand
    // out may miss a missing comma after it and end the object quietly.
    od::raw_json_string raw;
    return v.get_raw_json_string().get(raw) == SUCCESS;
}

bool isAscii(std::string_view s)
{
    // eight bytes at a time: most text cells are ASCII
    const char *p = s.data();
    const char *const end = p + s.size();
    quint64 any = 0;
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        any |= word;
    }
    for (; p < end; ++p)
        any |= quint64(static_cast<unsigned char>(*p));
    return (any & 0x8080808080808080ULL) == 0;
}

// Nesting depth of a JSON text that is known to be well-formed.
int depthOf(std::string_view json)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// Checks a value of any kind as Qt's parser would, and steps over it.
bool validate(od::value v, int depth)
{
    if (depth >= MaxDepth)
        return false;
    od::json_type type;
    READ_OR_REFUSE(v.type().get(type));
    switch (type) {
    case od::json_type::object: {
        od::object o;
        READ_OR_REFUSE(v.get_object().get(o));
        for (auto member : o) {
            od::field f;
            READ_OR_REFUSE(std::move(member).get(f));
            const char *key = f.key().raw();
            while (*key != '"' && *key != '\\')
                ++key;
            if (*key == '\\') {
                std::string_view unescaped;
                READ_OR_REFUSE(f.unescaped_key().get(unescaped));
            }
            if (!validate(f.value(), depth + 1))
                return false;
        }
        return true;
    }
    case od::json_type::array: {
        od::array a;
        READ_OR_REFUSE(v.get_array().get(a));
        for (auto element : a) {
            od::value e;
            READ_OR_REFUSE(std::move(element).get(e)); // NOLINT(performance-move-const-arg): get() is &&-qualified
            if (!validate(e, depth + 1))
                return false;
        }
        return true;
    }
    case od::json_type::string: {
        std::string_view text;
        return readString(v, trimmedToken(v), text);
    }
    case od::json_type::number: {
        Number n;
        return readNumber(v, trimmedToken(v), n);
    }
    case od::json_type::boolean: {
        bool b = false;
        return v.get_bool().get(b) == SUCCESS;
    }
    case od::json_type::null: {
        bool isNull = false;
        return v.is_null().get(isNull) == SUCCESS && isNull;
    }
    }
    return false;
}

// The JSON text of an object or array value, checked and re-read by Qt so
// that a text cell holds exactly what the document path would make of it.
bool containerText(od::value &v, od::json_type type, int depth, QString &out)
{
    std::string_view raw;
    if (type == od::json_type::object) {
        od::object o;
        READ_OR_REFUSE(v.get_object().get(o));
        READ_OR_REFUSE(o.raw_json().get(raw));
    } else {
        od::array a;
        READ_OR_REFUSE(v.get_array().get(a));
        READ_OR_REFUSE(a.raw_json().get(raw));
    }
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromRawData(raw.data(), qsizetype(raw.size())), &error);
    if (error.error != QJsonParseError::NoError || depth + depthOf(raw) > MaxDepth)
        return false;
    out = QString::fromUtf8(doc.toJson(QJsonDocument::Compact));
    return true;
}

// A key as JSON text, for the members Qt re-reads.
void appendJsonString(QByteArray &out, std::string_view s)
{
    out += '"';
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[(c >> 4) & 0xF];
            out += "0123456789abcdef"[c & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

struct FieldKey
{
    FieldType type = FieldType::String;
    QByteArray name; // lower-case, UTF-8
    QByteArray quoted; // the name and the quote that closes it
    // a quoted name of up to 16 bytes as two words and their masks
    quint64 word[2] = { 0, 0 };
    quint64 mask[2] = { 0, 0 };
    bool plain = false; // no quote, backslash or control character: compared raw
};

class RowReader
{
    static constexpr qsizetype RowBlock = 256;

public:
    RowReader(const FieldList &fields, TableStorage &storage)
        : m_storage(storage)
    {
        m_keys.reserve(size_t(fields.size()));
        for (const MemTable::FieldDef &f : fields) {
            FieldKey k;
            k.type = f.type;
            k.name = f.name.toLower().toUtf8();
            k.quoted = k.name + '"';
            if (k.quoted.size() <= 16) {
                char bytes[16] = {};
                char masks[16] = {};
                std::memcpy(bytes, k.quoted.constData(), size_t(k.quoted.size()));
                std::memset(masks, 0xFF, size_t(k.quoted.size()));
                std::memcpy(k.word, bytes, 16);
                std::memcpy(k.mask, masks, 16);
            }
            k.plain = !k.name.isEmpty();
            for (char c : std::as_const(k.name))
                k.plain = k.plain && c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20;
            m_keys.push_back(std::move(k));
        }
        m_dates.resize(m_keys.size());
    }

    bool readArray(od::array rows, qsizetype &skipped)
    {
        for (auto element : rows) {
            od::value e;
            READ_OR_REFUSE(std::move(element).get(e)); // NOLINT(performance-move-const-arg): get() is &&-qualified
            if (!readElement(e, skipped))
                return false;
        }
        return true;
    }

    bool readElement(od::value &e, qsizetype &skipped)
    {
        od::json_type type;
        READ_OR_REFUSE(e.type().get(type));
        if (type != od::json_type::object) {
            // not a row; counted as the document path counts it
            ++skipped;
            return validate(e, 3);
        }
        od::object o;
        READ_OR_REFUSE(e.get_object().get(o));
        // the storage grows by blocks of null rows, trimmed by finish()
        const qsizetype row = m_rows;
        if (row >= m_storage.size())
            m_storage.resize(row + RowBlock);
        if (!readRow(o, row))
            return false;
        ++m_rows;
        return true;
    }

    qsizetype rows() const { return m_rows; }

    // Back to `rows` rows, the element after them (cut by a window's end,
    // whole or part-way) undone: its cells null again for the element read
    // next in its place.
    void rollBack(qsizetype rows)
    {
        m_rows = rows;
        if (m_rows >= m_storage.size())
            return;
        for (int c = 0; c < m_storage.columnCount(); ++c)
            m_storage.setNull(m_rows, c);
    }

    // The storage holds exactly the rows read.
    void finish() { m_storage.resize(m_rows); }

private:
    // -1 for a member of no field, -2 for a key that does not read.
    int fieldOf(od::field &f)
    {
        const char *raw = f.key().raw();
        const int count = int(m_keys.size());
        auto matches = [&](int i) {
            const FieldKey &k = m_keys[size_t(i)];
            if (!k.plain)
                return false;
            const qsizetype n = k.quoted.size();
            const char *name = k.quoted.constData();
            // Within the padding simdjson keeps behind the text, a short
            // name is compared whole; a long one stops at the key's quote.
            static_assert(simdjson::SIMDJSON_PADDING >= 16);
            if (n <= 16) {
                quint64 w[2];
                std::memcpy(w, raw, 16);
                return (((w[0] ^ k.word[0]) & k.mask[0]) | ((w[1] ^ k.word[1]) & k.mask[1])) == 0;
            }
            if (n <= qsizetype(simdjson::SIMDJSON_PADDING))
                return std::memcmp(raw, name, size_t(n)) == 0;
            for (qsizetype j = 0; j < n; ++j) {
                if (raw[j] != name[j])
                    return false;
            }
            return true;
        };
        // members mostly come in the same order in every row
        if (m_next < count && matches(m_next))
            return m_next++;
        for (int i = 0; i < count; ++i) {
            if (matches(i)) {
                m_next = i + 1;
                return i;
            }
        }
        const char *p = raw;
        while (*p != '"' && *p != '\\')
            ++p;
        if (*p == '"')
            return -1;
        std::string_view key;
        if (f.unescaped_key().get(key) != SUCCESS)
            return -2;
        for (int i = 0; i < count; ++i) {
            const QByteArray &name = m_keys[size_t(i)].name;
            if (std::string_view(name.constData(), size_t(name.size())) == key)
                return i;
        }
        return -1;
    }

    bool readRow(od::object &o, qsizetype row)
    {
        // Members are used where the iterator left them: copying a field
        // or a value (a pair of small stores read back as one wide load)
        // stalls the store forwarding twice a cell, a fifth of the time.
        for (auto &&member : o) {
            READ_OR_REFUSE(member.error());
            od::field &&f = std::move(member).value_unsafe(); // NOLINT(bugprone-use-after-move): checked just above
            const int field = fieldOf(f);
            if (field == -2)
                return false;
            od::value &v = f.value();
            if (field < 0) {
                if (!validate(v, 4))
                    return false;
                continue;
            }
            if (!readCell(v, row, field))
                return false;
        }
        return true;
    }

    void setInteger(qsizetype row, int field, FieldType type, bool ok, qint64 i)
    {
        if (ok && FieldValue::fitsInteger(type, i))
            m_storage.setInteger(row, field, i);
        else
            m_storage.setNull(row, field);
    }

    void setFromText(qsizetype row, int field, FieldType type, std::string_view text)
    {
        const auto length = qsizetype(text.size());
        switch (type) {
        case FieldType::String:
        case FieldType::Memo: m_storage.setUtf8(row, field, text.data(), length); return;
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::LargeInt: {
            qint64 i = 0;
            const bool ok = isAscii(text) ? FieldValue::parseIntegerAscii(text.data(), length, i)
                                          : FieldValue::parseInteger(QString::fromUtf8(text.data(), length), i);
            setInteger(row, field, type, ok, i);
            return;
        }
        case FieldType::Float: {
            double d = 0;
            if (FieldValue::parseDouble(QString::fromUtf8(text.data(), length), d))
                m_storage.setDouble(row, field, d);
            else
                m_storage.setNull(row, field);
            return;
        }
        case FieldType::Boolean: {
            bool b = false;
            if (FieldValue::parseBool(QString::fromUtf8(text.data(), length), b))
                m_storage.setBool(row, field, b);
            else
                m_storage.setNull(row, field);
            return;
        }
        case FieldType::Date:
        case FieldType::DateTime: break;
        }
        FieldValue::IsoParts p;
        const bool ok = isAscii(text) ? FieldValue::parseIsoAscii(text.data(), length, p, &m_dates[size_t(field)])
                                      : FieldValue::parseIso(QString::fromUtf8(text.data(), length), p);
        if (!ok) {
            m_storage.setNull(row, field);
        } else if (type == FieldType::Date) {
            m_storage.setJulianDay(row, field, p.date.toJulianDay());
        } else if (p.hasTime
                   && (p.zone == FieldValue::IsoParts::Utc
                       || (p.zone == FieldValue::IsoParts::Offset && std::abs(p.offsetSeconds) <= 14 * 3600))) {
            // what QDateTime would work out, without building one per cell
            const qint64 local = (p.date.toJulianDay() - 2440588) * 86400000 + p.time.msecsSinceStartOfDay();
            const int offset = p.zone == FieldValue::IsoParts::Utc ? 0 : p.offsetSeconds;
            m_storage.setUtcMSecs(row, field, local - qint64(offset) * 1000, offset);
        } else {
            QDateTime dt;
            if (FieldValue::dateTimeFromParts(p, dt, &m_localTimes))
                m_storage.setDateTime(row, field, dt);
            else
                m_storage.setNull(row, field);
        }
    }

    bool readCell(od::value &v, qsizetype row, int field)
    {
        const FieldType type = m_keys[size_t(field)].type;
        const bool text = type == FieldType::String || type == FieldType::Memo;
        // the kind of value by its first character, as simdjson tells it,
        // from the token that the string and number readers need anyway
        const std::string_view token = trimmedToken(v);
        od::json_type kind;
        switch (token.empty() ? '\0' : token.front()) {
        case '"': kind = od::json_type::string; break;
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': kind = od::json_type::number; break;
        case 't':
        case 'f': kind = od::json_type::boolean; break;
        case 'n': kind = od::json_type::null; break;
        case '{': kind = od::json_type::object; break;
        case '[': kind = od::json_type::array; break;
        default: return false;
        }
        switch (kind) {
        case od::json_type::string: {
            std::string_view s;
            if (!readString(v, token, s))
                return false;
            setFromText(row, field, type, s);
            return true;
        }
        case od::json_type::number: {
            Number n;
            if (!readNumber(v, token, n, true))
                return false;
            switch (type) {
            case FieldType::String:
            case FieldType::Memo: {
                qint64 i = n.integer;
                const QString s =
                    n.isInt || doubleAsInteger(n.real, i) ? QString::number(i) : FieldValue::doubleText(n.real);
                m_storage.setText(row, field, s);
                break;
            }
            case FieldType::Integer:
            case FieldType::SmallInt:
            case FieldType::LargeInt: {
                // a double is exact for integers up to 2^53 only
                qint64 i = n.integer;
                const bool ok = n.isInt || (std::fabs(n.real) < 9007199254740992.0 && doubleAsInteger(n.real, i));
                setInteger(row, field, type, ok, i);
                break;
            }
            case FieldType::Float: m_storage.setDouble(row, field, n.isInt ? double(n.integer) : n.real); break;
            case FieldType::Boolean: m_storage.setBool(row, field, n.isInt ? n.integer != 0 : n.real != 0); break;
            case FieldType::Date:
            case FieldType::DateTime: m_storage.setNull(row, field); break;
            }
            return true;
        }
        case od::json_type::boolean: {
            bool b = false;
            READ_OR_REFUSE(v.get_bool().get(b));
            switch (type) {
            case FieldType::String:
            case FieldType::Memo: m_storage.setUtf8(row, field, b ? "true" : "false", b ? 4 : 5); break;
            case FieldType::Integer:
            case FieldType::SmallInt:
            case FieldType::LargeInt: m_storage.setInteger(row, field, b ? 1 : 0); break;
            case FieldType::Float: m_storage.setDouble(row, field, b ? 1.0 : 0.0); break;
            case FieldType::Boolean: m_storage.setBool(row, field, b); break;
            case FieldType::Date:
            case FieldType::DateTime: m_storage.setNull(row, field); break;
            }
            return true;
        }
        case od::json_type::null: {
            bool isNull = false;
            if (v.is_null().get(isNull) != SUCCESS || !isNull)
                return false;
            m_storage.setNull(row, field);
            return true;
        }
        case od::json_type::object:
        case od::json_type::array: {
            if (!text) {
                m_storage.setNull(row, field);
                return validate(v, 4);
            }
            QString s;
            if (!containerText(v, kind, 4, s))
                return false;
            m_storage.setText(row, field, s);
            return true;
        }
        }
        return false;
    }

    TableStorage &m_storage;
    qsizetype m_rows = 0;
    std::vector<FieldKey> m_keys;
    int m_next = 0;
    FieldValue::LocalTimeCache m_localTimes;
    std::vector<FieldValue::DateMemo> m_dates; // one per field
};

// Qt's parser drops a byte-order mark at the start of some strings and keeps
// it in others; bodies holding one are left to it.
bool hasByteOrderMark(const QByteArray &body)
{
    const char *p = body.constData();
    const char *const end = p + body.size();
    while ((p = static_cast<const char *>(std::memchr(p, '\xEF', size_t(end - p))))) {
        if (end - p >= 3 && p[1] == '\xBB' && p[2] == '\xBF')
            return true;
        ++p;
    }
    return false;
}

// `room`: how many bytes behind the text's end may be read.
bool readWhole(const FieldList &fields, const char *text, qsizetype size, qsizetype room, const QString &property,
               ParsedRows &out)
{
    if (size == 0)
        return false; // not an object; the document path says so
    // The text's own spare room is the padding simdjson reads ahead into; a
    // text without it is copied once.
    simdjson::padded_string copy;
    simdjson::padded_string_view view;
    if (room >= qsizetype(simdjson::SIMDJSON_PADDING)) {
        view = simdjson::padded_string_view(text, size_t(size), size_t(size + room));
    } else {
        copy = simdjson::padded_string(text, size_t(size));
        view = copy;
    }

    // One parser per body, freed with it: its index takes four bytes per
    // byte of body, too much to keep between reads.
    auto parser = std::make_unique<od::parser>();
    READ_OR_REFUSE(parser->allocate(size_t(size), ParserDepth));

    od::document doc;
    READ_OR_REFUSE(parser->iterate(view).get(doc));
    od::object top;
    READ_OR_REFUSE(doc.get_object().get(top));

    const QByteArray propertyUtf8 = property.toUtf8();
    const std::string_view propertyKey(propertyUtf8.constData(), size_t(propertyUtf8.size()));
    out.rows = TableStorage(fields);
    RowReader reader(fields, out.rows);
    // the other members, re-read by the document parser (they are small)
    QByteArray others("{");
    bool seenProperty = false;

    for (auto member : top) {
        od::field f;
        READ_OR_REFUSE(std::move(member).get(f));
        std::string_view key;
        READ_OR_REFUSE(f.unescaped_key().get(key));
        od::value v = f.value();
        od::json_type type;
        READ_OR_REFUSE(v.type().get(type));
        if (key == propertyKey) {
            if (seenProperty)
                return false;
            seenProperty = true;
            if (type == od::json_type::array) {
                od::array rows;
                READ_OR_REFUSE(v.get_array().get(rows));
                if (!reader.readArray(rows, out.skippedElements))
                    return false;
                reader.finish();
                out.hasArray = true;
                continue;
            }
        }
        std::string_view raw;
        if (type == od::json_type::object) {
            od::object o;
            READ_OR_REFUSE(v.get_object().get(o));
            READ_OR_REFUSE(o.raw_json().get(raw));
        } else if (type == od::json_type::array) {
            od::array a;
            READ_OR_REFUSE(v.get_array().get(a));
            READ_OR_REFUSE(a.raw_json().get(raw));
        } else {
            raw = trimmedToken(v);
            // handed out, so that a missing comma after it shows (see readString)
            bool b = false;
            double d = 0;
            od::raw_json_string r;
            const auto e = type == od::json_type::string ? v.get_raw_json_string().get(r)
                : type == od::json_type::boolean         ? v.get_bool().get(b)
                : type == od::json_type::null            ? v.is_null().get(b)
                                                         : v.get_double().get(d);
            if (e != SUCCESS && !(type == od::json_type::number && e != simdjson::NUMBER_ERROR))
                return false;
        }
        if (others.size() > 1)
            others += ',';
        appendJsonString(others, key);
        others += ':';
        others.append(raw.data(), qsizetype(raw.size()));
    }
    // nothing but white space may follow the object
    const char *location = nullptr;
    if (doc.current_location().get(location) != simdjson::OUT_OF_BOUNDS)
        return false;

    others += '}';
    QJsonParseError error;
    const QJsonDocument doc2 = QJsonDocument::fromJson(others, &error);
    if (error.error != QJsonParseError::NoError || !doc2.isObject()
        || depthOf(std::string_view(others.constData(), size_t(others.size()))) > MaxDepth)
        return false;
    out.others = doc2.object();
    out.isObject = true;
    out.rows.squeeze();
    return true;
}

// Where the array member `property` of the top-level object opens: a short
// scan of the members before it. Impossible (-1) when it is not found in
// the first 64 KiB or its key is escaped (the whole-body path handles
// those); -2 while the text so far ends before it could tell.
constexpr qsizetype NotThere = -1;
constexpr qsizetype NeedMore = -2;

qsizetype arrayStart(const char *p, qsizetype size, bool complete, const QByteArray &property)
{
    constexpr qsizetype Limit = 65536;
    const qsizetype n = std::min(size, Limit);
    const qsizetype ranOut = complete || size >= Limit ? NotThere : NeedMore;
    qsizetype i = 0;
    auto skipWs = [&] {
        while (i < n && isWs(p[i]))
            ++i;
    };
    // a string from its opening quote; false if it has escapes or runs out
    auto string = [&](std::string_view *text) {
        const qsizetype begin = ++i;
        while (i < n && p[i] != '"' && p[i] != '\\')
            ++i;
        if (i >= n || p[i] != '"')
            return false;
        if (text)
            *text = std::string_view(p + begin, size_t(i - begin));
        ++i;
        return true;
    };
    // the next character after white space, false where the text so far ends
    auto next = [&] {
        skipWs();
        return i < n;
    };
    if (!next())
        return ranOut;
    if (p[i] != '{')
        return NotThere;
    ++i;
    for (;;) {
        std::string_view key;
        if (!next())
            return ranOut;
        if (p[i] != '"')
            return NotThere; // not a key
        if (!string(&key))
            return i >= n ? ranOut : NotThere;
        if (!next())
            return ranOut;
        if (p[i] != ':')
            return NotThere;
        ++i;
        if (!next())
            return ranOut;
        if (key == std::string_view(property.constData(), size_t(property.size())))
            return p[i] == '[' ? i : NotThere;
        // step over the value
        int depth = 0;
        while (i < n) {
            const char c = p[i];
            if (c == '"') {
                if (!string(nullptr)) {
                    if (i >= n)
                        return ranOut;
                    return NotThere;
                }
                continue;
            }
            if (c == '{' || c == '[')
                ++depth;
            else if (c == '}' || c == ']')
                --depth;
            else if (c == ',' && depth == 0)
                break;
            if (depth < 0)
                return NotThere;
            ++i;
        }
        if (i >= n)
            return ranOut;
        ++i; // the comma
    }
}

} // namespace

// What QJsonDocument makes of a body: the path for everything the direct
// readers leave.
ParsedRows documentRows(const FieldList &fields, const QByteArray &body, const QString &property)
{
    ParsedRows result;
    result.rows = TableStorage(fields);
    QJsonObject envelope;
    {
        // The document goes out of scope here, on this thread, once the
        // envelope holds what is needed.
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return result;
        envelope = doc.object();
    }
    result.isObject = true;
    const auto member = envelope.constFind(property);
    if (member != envelope.constEnd() && member.value().isArray()) {
        const QJsonArray array = envelope.take(property).toArray();
        result.hasArray = true;
        result.rows = storageFromJsonArray(fields, array, &result.skippedElements);
    }
    result.others = std::move(envelope);
    return result;
}

} // namespace Platform::JsonDataSet::detail

namespace Platform::JsonDataSet {

using namespace detail;

// A body read a window of rows at a time, while it arrives, so that
// simdjson's index (four bytes per structural character, two thirds of a
// list body) is as large as one window, not the body, and the text of the
// rows read is dropped at once. Each window is the next stretch of the row
// array, cut anywhere, closed with "]" (or "\"]" when the cut fell in a
// string): the rows inside it read whole, the one that was cut fails and
// opens the next window. The windows are read where the text lies: the
// brackets and simdjson's padding are written over the text around the
// window for the read and put back after it.
//
// What the windows do not take (anything unusual) is kept from where they
// stopped, and QJsonDocument reads it at the end, together with the text
// before the array and the envelope after it: in place of the rows already
// read stands one element, so the text it reads is as well-formed as the
// body, member for member. Read twice with two different stand-ins, it also
// tells whether the array read is the one Qt keeps (a repeated member).
namespace {

// The body's text not consumed yet, with room behind it for a window's
// closing and simdjson's padding, and one byte before it for the opening.
class PendingText
{
public:
    static constexpr qsizetype Behind = 2 + qsizetype(simdjson::SIMDJSON_PADDING);

    char *data() { return m_data.get(); }
    const char *data() const { return m_data.get(); }
    qsizetype begin() const { return m_begin; }
    qsizetype end() const { return m_end; }
    qsizetype capacity() const { return m_capacity; }
    qsizetype size() const { return m_end - m_begin; }
    void consumeTo(qsizetype position) { m_begin = position; }
    const char *pending() const { return m_data ? m_data.get() + m_begin : nullptr; }
    QByteArray view() const { return QByteArray::fromRawData(pending(), size()); }

    void append(const char *text, qsizetype length)
    {
        if (m_capacity - m_end < length + Behind) {
            const qsizetype pending = size();
            const qsizetype needed = 1 + pending + length + Behind;
            if (needed <= m_capacity && pending <= m_begin) {
                // to the front, when that moves no more than was consumed
                std::memmove(m_data.get() + 1, m_data.get() + m_begin, size_t(pending));
            } else {
                const qsizetype capacity = std::max(needed, m_capacity * 2);
                auto grown = std::make_unique_for_overwrite<char[]>(size_t(capacity));
                if (pending > 0)
                    std::memcpy(grown.get() + 1, m_data.get() + m_begin, size_t(pending));
                m_data = std::move(grown);
                m_capacity = capacity;
            }
            m_begin = 1;
            m_end = 1 + pending;
        }
        std::memcpy(m_data.get() + m_end, text, size_t(length));
        m_end += length;
    }

private:
    std::unique_ptr<char[]> m_data;
    qsizetype m_capacity = 0;
    qsizetype m_begin = 1;
    qsizetype m_end = 1;
};

// Writes over the text around a window for its read and puts it back.
class Overwrite
{
public:
    Overwrite(char *at, qsizetype length)
        : m_at(at)
        , m_length(size_t(length))
    {
        std::memcpy(m_saved, at, m_length);
    }
    ~Overwrite() { std::memcpy(m_at, m_saved, m_length); }
    Overwrite(const Overwrite &) = delete;
    Overwrite &operator=(const Overwrite &) = delete;

private:
    char *m_at;
    size_t m_length;
    char m_saved[PendingText::Behind];
};

} // namespace

struct ArrayMemberReader::State
{
    enum class Mode {
        Prefix, // looking for the array
        Rows, // reading windows of rows
        Tail, // after the array's "]": the envelope is kept
        Keep, // the rest is left to QJsonDocument
        Whole, // no array found early: the body is read whole at the end
    };

    State(const FieldList &f, const QString &p, qsizetype w)
        : fields(f)
        , property(p)
        , propertyUtf8(p.toUtf8())
        , windowBytes(std::max<qsizetype>(w, 1))
        , window(windowBytes)
        , storage(f)
        , reader(f, storage)
    { }

    // Reads the windows that the pending text holds whole (all of it when
    // final) and consumes them.
    void readRows(bool final);
    // Reads one window from p; false when it refuses the text. `pos` moves
    // past the elements it took (none when the first is longer than it).
    bool readWindow(qsizetype p, qsizetype &pos);
    qsizetype leave(qsizetype pos)
    {
        mode = Mode::Keep;
        return pos;
    }
    void findArray(bool complete);
    ParsedRows envelope();

    const FieldList fields;
    const QString property;
    const QByteArray propertyUtf8;
    const qsizetype windowBytes;
    qsizetype window;
    qsizetype expectedSize = 0;
    Mode mode = Mode::Prefix;
    PendingText text;
    qsizetype scanned = 0; // how much text the search for the array saw
    QByteArray prefix; // the text before the array's "["
    TableStorage storage;
    RowReader reader;
    qsizetype skipped = 0;
    qsizetype readBytes = 0; // of the array, for the room the rows will need
    bool consumed = false; // elements were read (and their text dropped)
    bool expectComma = false;
    od::parser parser;
    size_t parserCapacity = 0;
};

bool ArrayMemberReader::State::readWindow(qsizetype p, qsizetype &pos)
{
    char *const data = text.data();
    const qsizetype size = text.end();
    // at a character's start, and never right after a backslash, so that
    // the closing quote added below closes a cut string
    qsizetype cut = std::min(size, p + window);
    while (cut > p && cut < size && (static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80)
        --cut;
    while (cut > p && data[cut - 1] == '\\')
        --cut;
    const qsizetype length = cut - p;
    if (length <= 0)
        return false;
    // Qt's parser drops a byte-order mark at the start of some strings and
    // keeps it in others; rows holding one are left to it.
    for (const char *b = data + p; (b = static_cast<const char *>(std::memchr(b, '\xEF', size_t(data + cut - b))));
         ++b) {
        if (data + cut - b >= 3 && b[1] == '\xBB' && b[2] == '\xBF')
            return false;
    }
    if (parserCapacity < size_t(length) + 2) {
        parserCapacity = std::max(size_t(length) + 2, parserCapacity * 2);
        READ_OR_REFUSE(parser.allocate(parserCapacity, ParserDepth));
    }
    // The byte before the window is consumed text or the spare one in front.
    char *const b = data + p - 1;
    const Overwrite opening(b, 1);
    b[0] = '[';
    const Overwrite closingRoom(data + cut, PendingText::Behind);
    const qsizetype rowsBefore = reader.rows();
    const qsizetype skippedBefore = skipped;
    for (const char *closing : { "]", "\"]" }) {
        const size_t closingLength = std::strlen(closing);
        std::copy_n(closing, closingLength, data + cut);
        const size_t docLength = size_t(1 + length) + closingLength;
        // a "]" in the padding would make simdjson check the balance of this
        // (unbalanced) window
        std::memset(b + docLength, ' ', simdjson::SIMDJSON_PADDING);
        od::document doc;
        const auto e =
            parser.iterate(simdjson::padded_string_view(b, docLength, docLength + simdjson::SIMDJSON_PADDING)).get(doc);
        if (e == simdjson::UNCLOSED_STRING)
            continue;
        READ_OR_REFUSE(e);
        od::array rows;
        READ_OR_REFUSE(doc.get_array().get(rows));
        // Elements count once what follows them is the body's own text;
        // one that runs into the added closing was cut.
        qsizetype after = 1; // the window offset just past the last whole element
        bool cutShort = false;
        for (auto element : rows) {
            od::value v;
            const qsizetype rowsNow = reader.rows();
            const qsizetype skippedNow = skipped;
            const char *next = nullptr;
            // NOLINTNEXTLINE(performance-move-const-arg): get() is &&-qualified
            if (std::move(element).get(v) != SUCCESS || !reader.readElement(v, skipped)
                || doc.current_location().get(next) != SUCCESS || next - b >= 1 + length) {
                reader.rollBack(rowsNow);
                skipped = skippedNow;
                cutShort = true;
                break;
            }
            after = next - b;
        }
        const bool some = reader.rows() > rowsBefore || skipped > skippedBefore;
        consumed = consumed || some;
        if (!cutShort) {
            // closed by the array's own bracket, within the window
            qsizetype bracket = after;
            while (bracket < 1 + length && isWs(b[bracket]))
                ++bracket;
            if (bracket < 1 + length && b[bracket] == ']') {
                pos = p + bracket - 1;
                mode = Mode::Tail;
                return true;
            }
        }
        if (!some)
            return true; // not one whole element: the caller widens the window
        readBytes += p + after - 1 - pos;
        pos = p + after - 1;
        expectComma = true;
        window = windowBytes;
        if (rowsBefore == 0 && reader.rows() > 0 && expectedSize > 0) {
            // the first window tells how much room the rows will need
            reader.finish();
            storage.reserveLike(qsizetype(double(reader.rows()) * double(expectedSize) / double(readBytes) * 1.02)
                                + 16);
        }
        return true;
    }
    return false;
}

void ArrayMemberReader::State::readRows(bool final)
{
    const char *const data = text.data();
    const qsizetype size = text.end();
    qsizetype pos = text.begin();
    auto consume = [&](qsizetype to) { text.consumeTo(to); };
    while (mode == Mode::Rows) {
        // a whole window, or what is left at the end
        if (!final && size - pos <= window)
            return consume(pos);
        qsizetype p = pos;
        while (p < size && isWs(data[p]))
            ++p;
        if (expectComma) {
            if (p >= size)
                return consume(final ? leave(pos) : pos);
            if (data[p] == ']') {
                mode = Mode::Tail; // the array closed right after a window's last row
                return consume(p);
            }
            if (data[p] != ',')
                return consume(leave(pos));
            ++p;
            while (p < size && isWs(data[p]))
                ++p;
            if (p >= size)
                return consume(final ? leave(pos) : pos);
            if (data[p] == ']' || data[p] == ',')
                return consume(leave(pos)); // a trailing or doubled comma: Qt's to judge
        }
        // a whole window, or what is left at the end
        if (!final && size - p <= window)
            return consume(pos);
        const qsizetype rowsBefore = reader.rows();
        const qsizetype skippedBefore = skipped;
        if (!readWindow(p, pos))
            return consume(leave(pos));
        if (mode == Mode::Tail)
            return consume(pos);
        if (reader.rows() == rowsBefore && skipped == skippedBefore) {
            // not one whole element in the window: a wider one, from the
            // same element, its comma (if any) read again
            if (window >= size - p)
                return consume(final ? leave(pos) : pos);
            window *= 2;
        }
    }
    consume(pos);
}

void ArrayMemberReader::State::findArray(bool complete)
{
    // looked at again once the text has doubled, not for every piece
    if (!complete && text.size() < 2 * scanned)
        return;
    scanned = text.size();
    const qsizetype open = arrayStart(text.pending(), text.size(), complete, propertyUtf8);
    if (open == NeedMore)
        return;
    if (open == NotThere) {
        mode = Mode::Whole;
        return;
    }
    prefix = QByteArray(text.pending(), open);
    text.consumeTo(text.begin() + open + 1);
    mode = Mode::Rows;
    readRows(complete);
}

ParsedRows ArrayMemberReader::State::envelope()
{
    const QByteArray rest = text.view();
    if (!consumed) {
        // nothing was dropped: this is the body itself
        QByteArray body = prefix;
        body += '[';
        body += rest;
        return documentRows(fields, body, property);
    }
    auto parse = [&](const char *standIn, QJsonObject &object) {
        QByteArray whole;
        whole.reserve(prefix.size() + rest.size() + 8);
        whole += prefix;
        whole += standIn;
        whole += rest;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(whole, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return false;
        object = doc.object();
        return true;
    };
    ParsedRows out;
    out.rows = TableStorage(fields);
    QJsonObject first;
    if (!parse("[null", first))
        return out; // the body is not well-formed either
    QJsonObject second;
    parse("[true", second);
    out.isObject = true;
    const QJsonValue kept = first.value(property);
    const QJsonArray keptRows = kept.toArray();
    const QJsonArray otherRows = second.value(property).toArray();
    if (!keptRows.isEmpty() && keptRows.first().isNull() && !otherRows.isEmpty() && otherRows.first().isBool()) {
        // the array read here is the one Qt keeps: its rows, then the rest
        QJsonArray more = first.take(property).toArray();
        more.removeFirst();
        reader.finish();
        out.rows = std::move(storage);
        if (!more.isEmpty()) {
            qsizetype moreSkipped = 0;
            out.rows.append(storageFromJsonArray(fields, more, &moreSkipped));
            skipped += moreSkipped;
        }
        out.rows.squeeze();
        out.hasArray = true;
        out.skippedElements = skipped;
    } else if (kept.isArray()) {
        // a later member of the same name
        out.hasArray = true;
        out.rows = storageFromJsonArray(fields, first.take(property).toArray(), &out.skippedElements);
    }
    out.others = std::move(first);
    return out;
}

ArrayMemberReader::ArrayMemberReader(const FieldList &fields, const QString &property, qsizetype windowBytes)
    : d(std::make_unique<State>(fields, property, windowBytes))
{ }

ArrayMemberReader::~ArrayMemberReader() = default;

void ArrayMemberReader::expectSize(qsizetype bytes)
{
    d->expectedSize = bytes > 0 && bytes <= MaxExpectedBytes ? bytes : 0;
}

void ArrayMemberReader::append(const char *data, qsizetype size)
{
    State &s = *d;
    if (size <= 0)
        return;
    s.text.append(data, size);
    if (s.mode == State::Mode::Prefix)
        s.findArray(false);
    else if (s.mode == State::Mode::Rows)
        s.readRows(false);
}

bool ArrayMemberReader::readItself() const
{
    return d->mode == State::Mode::Tail;
}

ParsedRows ArrayMemberReader::finish()
{
    State &s = *d;
    if (s.mode == State::Mode::Prefix)
        s.findArray(true);
    if (s.mode == State::Mode::Rows)
        s.readRows(true);
    ParsedRows out;
    if (s.mode == State::Mode::Whole) {
        const QByteArray body = s.text.view();
        if (hasByteOrderMark(body)
            || !readWhole(s.fields, body.constData(), body.size(), s.text.capacity() - s.text.end(), s.property, out))
            out = documentRows(s.fields, body, s.property);
    } else {
        out = s.envelope();
    }
    return out;
}

} // namespace Platform::JsonDataSet

namespace Platform::JsonDataSet::detail {

bool readInWindows(const FieldList &fields, const QByteArray &body, const QString &property, ParsedRows &out,
                   qsizetype windowBytes)
{
    ArrayMemberReader reader(fields, property, windowBytes);
    reader.expectSize(body.size());
    reader.append(body.constData(), body.size());
    out = reader.finish();
    return out.isObject && reader.readItself();
}

bool readArrayMember(const FieldList &fields, const QByteArray &body, const QString &property, ParsedRows &out,
                     qsizetype windowBytes)
{
    if (windowBytes > 0 && body.size() > windowBytes) {
        ParsedRows windowed;
        if (readInWindows(fields, body, property, windowed, windowBytes)) {
            out = std::move(windowed);
            return true;
        }
    }
    // Only the room behind the text counts: an array whose front was
    // removed keeps its capacity before the text. (A shallow copy, as the
    // data pointer is handed out only to a non-const array.)
    const qsizetype room = body.isNull() ? 0 : QByteArray(body).data_ptr().freeSpaceAtEnd();
    return !hasByteOrderMark(body) && readWhole(fields, body.constData(), body.size(), room, property, out);
}

} // namespace Platform::JsonDataSet::detail
