#include "JsonRowReader_p.h"

#include "FieldValue_p.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <cctype>
#include <charconv>
#include <cstring>
#include <system_error>

// A list response is mostly one array of flat row objects. Turning it into a
// QJsonDocument and then into rows walks and allocates everything twice; this
// reader makes the cells on its single pass. It is strict: whatever it is not
// sure to read exactly as QJsonDocument would, it refuses, and the caller
// falls back to the document path.

namespace Platform::JsonDataSet::detail {

namespace {

using FieldType = MemTable::FieldType;

// Below Qt's own limit, so that the fallback decides about deep texts.
constexpr int MaxDepth = 512;

inline void skipWs(const char *&p, const char *end)
{
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
        ++p;
}

inline bool expect(const char *&p, const char *end, char c)
{
    skipWs(p, end);
    if (p >= end || *p != c)
        return false;
    ++p;
    return true;
}

// Well-formed UTF-8 only: no overlong forms, no surrogates, nothing beyond
// U+10FFFF.
bool validUtf8(const unsigned char *s, const unsigned char *e)
{
    while (s < e) {
        const unsigned char c = *s;
        if (c < 0x80) {
            ++s;
            continue;
        }
        int n = 0;
        unsigned min = 0;
        unsigned cp = 0;
        if ((c & 0xE0) == 0xC0) {
            n = 1;
            min = 0x80;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            min = 0x800;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            min = 0x10000;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (e - s <= n)
            return false;
        for (int i = 1; i <= n; ++i) {
            if ((s[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        s += n + 1;
    }
    return true;
}

// The raw content of a string; p is just past the opening quote and ends
// past the closing one.
struct RawString
{
    const char *begin = nullptr;
    const char *end = nullptr;
    bool escaped = false;
    bool nonAscii = false;
};

bool scanString(const char *&p, const char *end, RawString &s)
{
    s.begin = p;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            s.end = p++;
            return !s.nonAscii
                || validUtf8(reinterpret_cast<const unsigned char *>(s.begin),
                             reinterpret_cast<const unsigned char *>(s.end));
        }
        if (c == '\\') {
            s.escaped = true;
            if (++p >= end)
                return false;
            switch (*p) {
            case '"':
            case '\\':
            case '/':
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't': ++p; break;
            case 'u':
                if (end - p < 5)
                    return false;
                for (int i = 1; i <= 4; ++i) {
                    if (!std::isxdigit(static_cast<unsigned char>(p[i])))
                        return false;
                }
                p += 5;
                break;
            default: return false;
            }
            continue;
        }
        if (c < 0x20)
            return false;
        if (c >= 0x80)
            s.nonAscii = true;
        ++p;
    }
    return false;
}

unsigned hex4(const char *p)
{
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        v <<= 4;
        if (c >= '0' && c <= '9')
            v |= unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            v |= unsigned(c - 'a' + 10);
        else
            v |= unsigned(c - 'A' + 10);
    }
    return v;
}

// The text of a scanned string; false for escapes it does not take
// (surrogates, which the fallback handles as Qt does).
bool decode(const RawString &s, QString &out)
{
    if (!s.escaped) {
        out = s.nonAscii ? QString::fromUtf8(s.begin, s.end - s.begin) : QString::fromLatin1(s.begin, s.end - s.begin);
        return true;
    }
    out.clear();
    out.reserve(s.end - s.begin);
    const char *p = s.begin;
    const char *run = p;
    auto flush = [&](const char *upTo) {
        if (upTo > run)
            out += QString::fromUtf8(run, upTo - run);
    };
    while (p < s.end) {
        if (*p != '\\') {
            ++p;
            continue;
        }
        flush(p);
        const char e = p[1];
        p += 2;
        switch (e) {
        case '"': out += QLatin1Char('"'); break;
        case '\\': out += QLatin1Char('\\'); break;
        case '/': out += QLatin1Char('/'); break;
        case 'b': out += QLatin1Char('\b'); break;
        case 'f': out += QLatin1Char('\f'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'u': {
            const unsigned u = hex4(p);
            if (u >= 0xD800 && u <= 0xDFFF)
                return false;
            out += QChar(char16_t(u));
            p += 4;
            break;
        }
        default: return false;
        }
        run = p;
    }
    flush(p);
    return true;
}

struct Number
{
    bool isInteger = false;
    qint64 integer = 0;
    double real = 0;

    // As the document parser stores it: integer literals within 64 bits as
    // integers, everything else as double.
    QJsonValue value() const { return isInteger ? QJsonValue(integer) : QJsonValue(real); }
};

bool readNumber(const char *&p, const char *end, Number &n)
{
    const char *b = p;
    if (p < end && *p == '-')
        ++p;
    if (p >= end)
        return false;
    if (*p == '0') {
        ++p;
    } else if (*p >= '1' && *p <= '9') {
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
    } else {
        return false;
    }
    bool integral = true;
    if (p < end && *p == '.') {
        integral = false;
        ++p;
        const char *digits = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        if (p == digits)
            return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        integral = false;
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        const char *digits = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        if (p == digits)
            return false;
    }
    if (integral) {
        const auto r = std::from_chars(b, p, n.integer);
        if (r.ec == std::errc() && r.ptr == p) {
            n.isInteger = true;
            return true;
        }
    }
    const auto r = std::from_chars(b, p, n.real);
    // overflow and underflow are left to the fallback
    return r.ec == std::errc() && r.ptr == p;
}

bool literal(const char *&p, const char *end, const char *word, qsizetype length)
{
    if (end - p < length || std::memcmp(p, word, size_t(length)) != 0)
        return false;
    p += length;
    return true;
}

// The members or elements of an object or array: p is at the opening
// bracket and ends past the closing one; readItem reads one member or
// element and leaves p just past it.
template<typename ReadItem>
bool readContainer(const char *&p, const char *end, char close, ReadItem &&readItem)
{
    ++p;
    skipWs(p, end);
    if (p < end && *p == close) {
        ++p;
        return true;
    }
    for (;;) {
        if (!readItem())
            return false;
        skipWs(p, end);
        if (p >= end)
            return false;
        if (*p == ',') {
            ++p;
            continue;
        }
        if (*p != close)
            return false;
        ++p;
        return true;
    }
}

// Checks one value of any kind and steps over it.
bool skipValue(const char *&p, const char *end, int depth)
{
    skipWs(p, end);
    if (p >= end)
        return false;
    switch (*p) {
    case '{':
        return depth < MaxDepth && readContainer(p, end, '}', [&] {
            RawString key;
            return expect(p, end, '"') && scanString(p, end, key) && expect(p, end, ':')
                && skipValue(p, end, depth + 1);
        });
    case '[':
        return depth < MaxDepth && readContainer(p, end, ']', [&] { return skipValue(p, end, depth + 1); });
    case '"': {
        ++p;
        RawString s;
        return scanString(p, end, s);
    }
    case 't': return literal(p, end, "true", 4);
    case 'f': return literal(p, end, "false", 5);
    case 'n': return literal(p, end, "null", 4);
    default: {
        Number n;
        return readNumber(p, end, n);
    }
    }
}

struct FieldKey
{
    FieldType type = FieldType::String;
    QString key;      // lower-case name
    QByteArray ascii; // the same when it is ASCII, else empty
    // The text last read for this field, shared by the next row that holds
    // the same (lists sorted by status, unit or category repeat a lot).
    const char *lastBegin = nullptr;
    qsizetype lastLength = 0;
    QString lastText;
};

class RowReader
{
public:
    explicit RowReader(const FieldList &fields)
    {
        m_keys.reserve(size_t(fields.size()));
        for (const MemTable::FieldDef &f : fields) {
            FieldKey k;
            k.type = f.type;
            k.key = f.name.toLower();
            bool ascii = true;
            for (QChar c : std::as_const(k.key))
                ascii = ascii && c.unicode() < 0x80;
            if (ascii)
                k.ascii = k.key.toLatin1();
            m_keys.push_back(std::move(k));
        }
    }

    // p is at '['.
    bool readArray(const char *&p, const char *end, ParsedRows &out)
    {
        return readContainer(p, end, ']', [&] {
            skipWs(p, end);
            if (p >= end)
                return false;
            if (*p != '{') {
                // not a row; counted as the document path counts it
                ++out.skippedElements;
                return skipValue(p, end, 2);
            }
            MemTable::Row row(qsizetype(m_keys.size()));
            if (!readRow(p, end, row))
                return false;
            out.rows.push_back(std::move(row));
            return true;
        });
    }

private:
    int fieldOf(const RawString &key)
    {
        const int count = int(m_keys.size());
        if (!key.escaped && !key.nonAscii) {
            const qsizetype length = key.end - key.begin;
            auto matches = [&](int i) {
                const QByteArray &a = m_keys[size_t(i)].ascii;
                return !a.isEmpty() && a.size() == length && std::memcmp(a.constData(), key.begin, size_t(length)) == 0;
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
            return -1;
        }
        QString text;
        if (!decode(key, text))
            return -2;
        for (int i = 0; i < count; ++i) {
            if (m_keys[size_t(i)].key == text)
                return i;
        }
        return -1;
    }

    // p is at '{'. A repeated member overwrites, the last one counting, as
    // in the document.
    bool readRow(const char *&p, const char *end, MemTable::Row &row)
    {
        QVariant *cells = row.data();
        return readContainer(p, end, '}', [&] {
            RawString key;
            if (!expect(p, end, '"') || !scanString(p, end, key))
                return false;
            const int field = fieldOf(key);
            if (field == -2 || !expect(p, end, ':'))
                return false;
            skipWs(p, end);
            return field < 0 ? skipValue(p, end, 3) : readCell(p, end, m_keys[size_t(field)], cells[field]);
        });
    }

    // One text cell, shared with the previous row's when the bytes are the same.
    bool textCell(const RawString &raw, FieldKey &key, QVariant &cell)
    {
        const qsizetype length = raw.end - raw.begin;
        if (!raw.escaped && key.lastBegin && key.lastLength == length
            && std::memcmp(key.lastBegin, raw.begin, size_t(length)) == 0) {
            cell = key.lastText;
            return true;
        }
        QString text;
        if (!decode(raw, text))
            return false;
        if (!raw.escaped) {
            key.lastBegin = raw.begin;
            key.lastLength = length;
            key.lastText = text;
        }
        cell = std::move(text);
        return true;
    }

    bool readCell(const char *&p, const char *end, FieldKey &key, QVariant &cell)
    {
        const FieldType type = key.type;
        if (p >= end)
            return false;
        switch (*p) {
        case '"': {
            ++p;
            RawString raw;
            if (!scanString(p, end, raw))
                return false;
            if (type == FieldType::String || type == FieldType::Memo)
                return textCell(raw, key, cell);
            QString text;
            if (!decode(raw, text))
                return false;
            switch (type) {
            case FieldType::String:
            case FieldType::Memo: cell = std::move(text); break;
            case FieldType::Date: {
                QDate d;
                cell = FieldValue::parseDate(text, d) ? QVariant(d) : QVariant();
                break;
            }
            case FieldType::DateTime: {
                // the memo of local times is what makes zone-less rows cheap
                QDateTime dt;
                cell = FieldValue::parseDateTime(text, dt, &m_localTimes) ? QVariant(dt) : QVariant();
                break;
            }
            default: cell = valueFromJson(type, QJsonValue(text)); break;
            }
            return true;
        }
        case '{':
        case '[': {
            const char *begin = p;
            if (!skipValue(p, end, 3))
                return false;
            if (type != FieldType::String && type != FieldType::Memo) {
                cell = QVariant();
                return true;
            }
            QJsonParseError error;
            const QJsonDocument doc =
                QJsonDocument::fromJson(QByteArray::fromRawData(begin, p - begin), &error);
            if (error.error != QJsonParseError::NoError)
                return false;
            cell = valueFromJson(type, doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array()));
            return true;
        }
        case 't':
            if (!literal(p, end, "true", 4))
                return false;
            cell = valueFromJson(type, QJsonValue(true));
            return true;
        case 'f':
            if (!literal(p, end, "false", 5))
                return false;
            cell = valueFromJson(type, QJsonValue(false));
            return true;
        case 'n':
            if (!literal(p, end, "null", 4))
                return false;
            cell = QVariant();
            return true;
        default: {
            Number n;
            if (!readNumber(p, end, n))
                return false;
            cell = valueFromJson(type, n.value());
            return true;
        }
        }
    }

    std::vector<FieldKey> m_keys;
    int m_next = 0;
    FieldValue::LocalTimeCache m_localTimes;
};

bool sameKey(const RawString &key, const QString &property, const QByteArray &propertyAscii)
{
    if (!key.escaped && !key.nonAscii) {
        const qsizetype length = key.end - key.begin;
        return !propertyAscii.isEmpty() && propertyAscii.size() == length
            && std::memcmp(propertyAscii.constData(), key.begin, size_t(length)) == 0;
    }
    QString text;
    return decode(key, text) && text == property;
}

} // namespace

bool readArrayMember(const FieldList &fields, const QByteArray &body, const QString &property, ParsedRows &out)
{
    const char *p = body.constData();
    const char *const end = p + body.size();
    skipWs(p, end);
    if (p >= end || *p != '{')
        return false;

    bool ascii = true;
    for (QChar c : property)
        ascii = ascii && c.unicode() < 0x80;
    const QByteArray propertyAscii = ascii ? property.toLatin1() : QByteArray();

    RowReader reader(fields);
    // the other members, re-read by the document parser (they are small)
    QByteArray others("{");
    bool seenProperty = false;

    const bool read = readContainer(p, end, '}', [&] {
        RawString key;
        if (!expect(p, end, '"') || !scanString(p, end, key) || !expect(p, end, ':'))
            return false;
        skipWs(p, end);
        const bool isProperty = sameKey(key, property, propertyAscii);
        if (isProperty) {
            if (seenProperty)
                return false;
            seenProperty = true;
        }
        if (isProperty && p < end && *p == '[') {
            if (!reader.readArray(p, end, out))
                return false;
            out.hasArray = true;
            return true;
        }
        const char *value = p;
        if (!skipValue(p, end, 1))
            return false;
        if (others.size() > 1)
            others += ',';
        others += '"';
        others.append(key.begin, key.end - key.begin);
        others += "\":";
        others.append(value, p - value);
        return true;
    });
    if (!read)
        return false;
    skipWs(p, end);
    if (p != end)
        return false;

    others += '}';
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(others, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    out.others = doc.object();
    out.isObject = true;
    return true;
}

} // namespace Platform::JsonDataSet::detail
