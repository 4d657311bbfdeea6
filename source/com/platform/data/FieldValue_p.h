#pragma once

// Text forms of field values, shared by the table and the JSON helpers.
// Internal to com.

#include "MemTable.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QStringView>

namespace Platform::FieldValue {

using FieldType = MemTable::FieldType;

// Each parser returns false for text that is not such a value; none of them
// accepts empty text. Surrounding white space is ignored.

// Decimal integer, or numeric text with an integral value ("12", "-3",
// "1e3", "12.0"); false for fractions and for values beyond 64 bits. Exact:
// "9007199254740993.0" is 9007199254740993, "1.0000000000000001" no integer.
bool parseInteger(QStringView text, qint64 &out);
// The same for ASCII text.
bool parseIntegerAscii(const char *text, qsizetype length, qint64 &out);
// C locale, finite values only.
bool parseDouble(QStringView text, double &out);
// "true"/"false" in any letter case, "1", "0".
bool parseBool(QStringView text, bool &out);
// "yyyy-MM-dd", or an ISO date-time whose date part is taken as written.
bool parseDate(QStringView text, QDate &out);

// An ISO date or date-time in its parts (the forms parseDateTime takes).
struct IsoParts
{
    enum Zone { None, Utc, Offset };
    QDate date;
    QTime time;
    bool hasTime = false;
    Zone zone = None;
    int offsetSeconds = 0;
};
bool parseIso(QStringView text, IsoParts &parts);
// The last date part read, for a reader of many values: rows of a list
// often share their day.
struct DateMemo
{
    char text[10] = {};
    qint64 julianDay = -1;
};
bool parseIsoAscii(const char *text, qsizetype length, IsoParts &parts, DateMemo *memo = nullptr);
// Building a local-time QDateTime asks the system for the zone rules each
// time, which costs microseconds (4.5 us on glibc with TZ unset). Rows of one
// response repeat wall-clock times often enough that a bounded memo of the
// ones already built pays off. One per call, never shared between threads.
class LocalTimeCache
{
public:
    QDateTime get(QDate date, QTime time);

private:
    QHash<qint64, QDateTime> m_cache;
};

// ISO date-time with 'T' or a space, seconds and fraction optional, with
// "Z" (UTC), an offset ("+07:00", "+0700", "+07") or no zone (local time);
// a plain date gives the start of that day in local time.
bool parseDateTime(QStringView text, QDateTime &out, LocalTimeCache *cache = nullptr);
bool dateTimeFromParts(const IsoParts &parts, QDateTime &out, LocalTimeCache *cache = nullptr);

// Whether a double holds the integer exactly.
inline bool isDoubleExact(qint64 value)
{
    const double d = double(value);
    return d < 9223372036854775808.0 && qint64(d) == value;
}

// Whether an integer fits Integer (32 bits), SmallInt (16) or LargeInt (64).
bool fitsInteger(FieldType type, qint64 value);
// The stored form of an integer that fits the field.
inline QVariant integerValue(FieldType type, qint64 value)
{
    if (type == FieldType::LargeInt)
        return QVariant(qlonglong(value));
    return QVariant(int(value));
}

// Shortest text that reads back to the same double; integral values
// without a fraction ("2", not "2.0").
QString doubleText(double value);
QString dateText(QDate date); // yyyy-MM-dd
QString dateTimeIsoText(const QDateTime &dt); // ISO 8601, milliseconds only when set
QString dateTimeDisplayText(const QDateTime &dt); // yyyy-MM-dd HH:mm:ss, local time

} // namespace Platform::FieldValue
