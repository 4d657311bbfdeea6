#include "FieldValue_p.h"

#include <QLocale>
#include <cstring>
#include <type_traits>
#include <cmath>
#include <limits>

namespace Platform::FieldValue {

namespace {

// Text as UTF-16 or as ASCII bytes, read the same way.
template<typename Ch> struct Chars
{
    const Ch *data;
    qsizetype n;
    qsizetype size() const { return n; }
    char16_t operator[](qsizetype i) const { return code(data[i]); }
    static char16_t code(QChar c) { return c.unicode(); }
    static char16_t code(char c) { return char16_t(uchar(c)); }
};

// The value of `count` decimal digits at `pos`, or -1.
template<typename S> int digitsAt(const S &s, qsizetype pos, int count)
{
    if (pos < 0 || pos + count > s.size())
        return -1;
    int value = 0;
    for (qsizetype i = pos; i < pos + count; ++i) {
        const char16_t c = s[i];
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The Julian day of a proleptic Gregorian date of years 1 to 9999, or -1
// where QDate would find it invalid (year 0 included). Worked out here: the
// calendar's own checks and conversion cost as much as the rest of a value.
qint64 julianDay(int y, int m, int d)
{
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return -1;
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > days[m - 1] + (m == 2 && leap ? 1 : 0))
        return -1;
    const int a = (14 - m) / 12;
    const qint64 yy = qint64(y) + 4800 - a;
    const int mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

// Hand-written rather than QDateTime::fromString: a list of 100,000 rows goes
// through here, and the generic parser costs about a microsecond a value.
// The text is trimmed already.
template<typename S> bool parseIsoTrimmed(const S &s, IsoParts &p, DateMemo *memo = nullptr)
{
    const qsizetype n = s.size();
    if (n < 10 || s[4] != u'-' || s[7] != u'-')
        return false;
    if constexpr (std::is_same_v<S, Chars<char>>) {
        if (memo && memo->julianDay >= 0 && std::memcmp(memo->text, s.data, 10) == 0) {
            p.date = QDate::fromJulianDay(memo->julianDay);
        } else {
            const qint64 jd = julianDay(digitsAt(s, 0, 4), digitsAt(s, 5, 2), digitsAt(s, 8, 2));
            if (jd < 0)
                return false;
            p.date = QDate::fromJulianDay(jd);
            if (memo) {
                std::memcpy(memo->text, s.data, 10);
                memo->julianDay = jd;
            }
        }
    } else {
        const qint64 jd = julianDay(digitsAt(s, 0, 4), digitsAt(s, 5, 2), digitsAt(s, 8, 2));
        if (jd < 0)
            return false;
        p.date = QDate::fromJulianDay(jd);
    }
    if (n == 10)
        return true;

    const char16_t sep = s[10];
    if (sep != u'T' && sep != u't' && sep != u' ')
        return false;
    qsizetype i = 11;
    const int hh = digitsAt(s, i, 2);
    if (hh < 0 || i + 2 >= n || s[i + 2] != u':')
        return false;
    const int mm = digitsAt(s, i + 3, 2);
    if (mm < 0)
        return false;
    i += 5;
    int ss = 0;
    int ms = 0;
    if (i < n && s[i] == u':') {
        ss = digitsAt(s, i + 1, 2);
        if (ss < 0)
            return false;
        i += 3;
        if (i < n && (s[i] == u'.' || s[i] == u',')) {
            ++i;
            int count = 0;
            while (i < n && s[i] >= u'0' && s[i] <= u'9') {
                if (count < 3)
                    ms = ms * 10 + (s[i] - u'0');
                ++count;
                ++i;
            }
            if (count == 0)
                return false;
            for (int c = count; c < 3; ++c)
                ms *= 10;
        }
    }
    if (hh > 23 || mm > 59 || ss > 59)
        return false;
    p.time = QTime::fromMSecsSinceStartOfDay(((hh * 60 + mm) * 60 + ss) * 1000 + ms); // checked above
    p.hasTime = true;
    if (i == n)
        return true;

    if (s[i] == u'Z' || s[i] == u'z') {
        p.zone = IsoParts::Utc;
        return i + 1 == n;
    }
    if (s[i] != u'+' && s[i] != u'-')
        return false;
    const int sign = s[i] == u'-' ? -1 : 1;
    const int oh = digitsAt(s, i + 1, 2);
    if (oh < 0)
        return false;
    i += 3;
    int om = 0;
    if (i < n) {
        if (s[i] == u':')
            ++i;
        om = digitsAt(s, i, 2);
        if (om < 0)
            return false;
        i += 2;
    }
    if (i != n || oh > 23 || om > 59)
        return false;
    p.zone = IsoParts::Offset;
    p.offsetSeconds = sign * (oh * 3600 + om * 60);
    return true;
}

bool isAsciiSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Decimal text, sign, fraction and exponent optional, whose value is an
// integer within 64 bits, worked out on the digits: going through double
// would take 9007199254740993.0 for its neighbour.
template<typename S> bool exactInteger(const S &s, qint64 &out)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    // significant digits (no leading zeros) and the power of ten they scale by
    char digits[24];
    int count = 0;
    qint64 scale = 0;
    bool anyDigit = false;
    bool tooMany = false;
    auto take = [&](char16_t c, bool fraction) {
        anyDigit = true;
        if (fraction)
            --scale;
        if (count == 0 && c == u'0')
            return;
        if (count < int(sizeof digits))
            digits[count++] = char(c - u'0');
        else if (c != u'0')
            tooMany = true; // a non-zero digit beyond the 24th: never an int64
        else
            ++scale;
    };
    while (i < n && s[i] >= u'0' && s[i] <= u'9')
        take(s[i++], false);
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i] >= u'0' && s[i] <= u'9')
            take(s[i++], true);
    }
    if (!anyDigit)
        return false;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (s[i] == u'+' || s[i] == u'-'))
            negativeExponent = s[i++] == u'-';
        qint64 exponent = 0;
        const qsizetype first = i;
        while (i < n && s[i] >= u'0' && s[i] <= u'9') {
            if (exponent < 100000)
                exponent = exponent * 10 + (s[i] - u'0');
            ++i;
        }
        if (i == first)
            return false;
        scale += negativeExponent ? -exponent : exponent;
    }
    if (i != n || tooMany)
        return false;
    while (count > 0 && digits[count - 1] == 0) {
        --count;
        ++scale;
    }
    if (count == 0) {
        out = 0;
        return true;
    }
    if (scale < 0 || count + scale > 19)
        return false;
    quint64 value = 0;
    for (int d = 0; d < count; ++d)
        value = value * 10 + quint64(digits[d]);
    for (qint64 k = 0; k < scale; ++k)
        value *= 10;
    const quint64 limit = negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    if (value > limit)
        return false;
    out = negative ? qint64(0 - value) : qint64(value);
    return true;
}

} // namespace

bool parseIso(QStringView text, IsoParts &p)
{
    text = text.trimmed();
    return parseIsoTrimmed(Chars<QChar> { text.data(), text.size() }, p);
}

bool parseIsoAscii(const char *text, qsizetype length, IsoParts &p, DateMemo *memo)
{
    while (length > 0 && isAsciiSpace(char16_t(*text))) {
        ++text;
        --length;
    }
    while (length > 0 && isAsciiSpace(char16_t(text[length - 1])))
        --length;
    return parseIsoTrimmed(Chars<char> { text, length }, p, memo);
}

bool parseInteger(QStringView text, qint64 &out)
{
    text = text.trimmed();
    return exactInteger(Chars<QChar> { text.data(), text.size() }, out);
}

bool parseIntegerAscii(const char *text, qsizetype length, qint64 &out)
{
    while (length > 0 && isAsciiSpace(char16_t(*text))) {
        ++text;
        --length;
    }
    while (length > 0 && isAsciiSpace(char16_t(text[length - 1])))
        --length;
    return exactInteger(Chars<char> { text, length }, out);
}

bool parseDouble(QStringView text, double &out)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    out = d;
    return true;
}

bool parseBool(QStringView text, bool &out)
{
    text = text.trimmed();
    if (text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"1") {
        out = true;
        return true;
    }
    if (text.compare(u"false", Qt::CaseInsensitive) == 0 || text == u"0") {
        out = false;
        return true;
    }
    return false;
}

bool parseDate(QStringView text, QDate &out)
{
    IsoParts p;
    if (!parseIso(text, p))
        return false;
    out = p.date;
    return true;
}

QDateTime LocalTimeCache::get(QDate date, QTime time)
{
    const qint64 key = date.toJulianDay() * 86400000 + time.msecsSinceStartOfDay();
    const auto it = m_cache.constFind(key);
    if (it != m_cache.constEnd())
        return *it;
    if (m_cache.size() >= 4096)
        m_cache.clear();
    const QDateTime dt(date, time, Qt::LocalTime);
    m_cache.insert(key, dt);
    return dt;
}

bool parseDateTime(QStringView text, QDateTime &out, LocalTimeCache *cache)
{
    IsoParts p;
    return parseIso(text, p) && dateTimeFromParts(p, out, cache);
}

bool dateTimeFromParts(const IsoParts &p, QDateTime &out, LocalTimeCache *cache)
{
    QDateTime dt;
    if (!p.hasTime)
        dt = p.date.startOfDay();
    else if (p.zone == IsoParts::Utc)
        dt = QDateTime(p.date, p.time, Qt::UTC);
    else if (p.zone == IsoParts::Offset)
        dt = QDateTime(p.date, p.time, Qt::OffsetFromUTC, p.offsetSeconds);
    else if (cache)
        dt = cache->get(p.date, p.time);
    else
        dt = QDateTime(p.date, p.time, Qt::LocalTime);
    if (!dt.isValid())
        return false;
    out = dt;
    return true;
}

bool fitsInteger(FieldType type, qint64 value)
{
    switch (type) {
    case FieldType::SmallInt:
        return value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max();
    case FieldType::Integer:
        return value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
    default: return true;
    }
}

QString doubleText(double value)
{
    // Plain digits over the range people read as numbers, exponent beyond it
    // (the rule JavaScript uses), always the shortest text that reads back.
    const double a = std::fabs(value);
    if (value == 0 || (a >= 1e-6 && a < 1e21))
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString dateText(QDate date)
{
    return date.toString(Qt::ISODate);
}

QString dateTimeIsoText(const QDateTime &dt)
{
    return dt.toString(dt.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
}

QString dateTimeDisplayText(const QDateTime &dt)
{
    // a time stamped in UTC or with an offset is shown as the user's clock
    // read it; the value itself keeps its zone for the way back
    const QDateTime shown = dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime();
    return shown.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace Platform::FieldValue
