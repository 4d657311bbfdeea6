#include "TableStorage.h"

#include "Errors.h"

#include <QDate>
#include <algorithm>
#include <cstring>
#include <limits>

namespace Platform {

namespace {

// Neighbouring cells of a column often share their length but not their
// text ("ITM-1041", "ITM-1042"): their last bytes tell before a call does.
bool sameText(const char *a, const char *b, qsizetype length)
{
    if (a[length - 1] != b[length - 1])
        return false;
    return std::memcmp(a, b, size_t(length)) == 0;
}

using FieldType = MemTable::FieldType;

// Zone codes of a DateTime column beside plain offsets in seconds.
constexpr qint32 LocalZone = std::numeric_limits<qint32>::min();
constexpr qint32 FirstNamedZone = LocalZone + 1; // + index into timeZones
constexpr qint32 MaxOffset = 24 * 3600;

// The code of a named zone: its index in the column's list, added if new.
qint32 namedZone(QList<QTimeZone> &zones, const QTimeZone &tz)
{
    qsizetype i = zones.indexOf(tz);
    if (i < 0) {
        i = zones.size();
        zones.append(tz);
    }
    return FirstNamedZone + qint32(i);
}

bool isText(FieldType t)
{
    return t == FieldType::String || t == FieldType::Memo;
}

// Text that QString::toUtf8() cannot carry (unpaired surrogates) is kept in
// the generalised form that encodes each surrogate as its own three bytes.
void appendWtf8(std::string &out, QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode()))
            u = QChar::surrogateToUcs4(char16_t(u), text[++i].unicode());
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xF0 | (u >> 18));
            out += char(0x80 | ((u >> 12) & 0x3F));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
}

QString fromWtf8(const char *p, qsizetype n)
{
    QString out;
    out.reserve(n);
    const auto *s = reinterpret_cast<const unsigned char *>(p);
    const auto *e = s + n;
    while (s < e) {
        char32_t u = *s;
        int more = 0;
        if (u >= 0xF0) {
            u &= 0x07;
            more = 3;
        } else if (u >= 0xE0) {
            u &= 0x0F;
            more = 2;
        } else if (u >= 0xC0) {
            u &= 0x1F;
            more = 1;
        }
        ++s;
        for (; more > 0 && s < e; --more)
            u = (u << 6) | (*s++ & 0x3F);
        if (u >= 0x10000) {
            out += QChar(QChar::highSurrogate(u));
            out += QChar(QChar::lowSurrogate(u));
        } else {
            out += QChar(char16_t(u));
        }
    }
    return out;
}

// QString::fromUtf8 drops a byte-order mark at the start; a stored value
// keeps every character it had.
QString fromUtf8Whole(const char *p, qsizetype n)
{
    qsizetype marks = 0;
    while (n - 3 * marks >= 3 && std::memcmp(p + 3 * marks, "\xEF\xBB\xBF", 3) == 0)
        ++marks;
    if (marks == 0)
        return QString::fromUtf8(p, n);
    QString out(marks, QChar(0xFEFF));
    out += QString::fromUtf8(p + 3 * marks, n - 3 * marks);
    return out;
}

template<typename T> void eraseAt(std::vector<T> &v, qsizetype row)
{
    if (qsizetype(v.size()) > row)
        v.erase(v.begin() + row);
}

template<typename T> void appendMoved(std::vector<T> &to, std::vector<T> &from)
{
    if (to.empty()) {
        to.swap(from);
        return;
    }
    to.insert(to.end(), from.begin(), from.end());
}

template<typename T> void squeezeVector(std::vector<T> &v)
{
    // an eighth of spare room is not worth a copy
    if (v.capacity() - v.size() > v.size() / 8)
        v.shrink_to_fit();
}

} // namespace

TableStorage::TableStorage(const QList<MemTable::FieldDef> &fields)
{
    m_columns.reserve(size_t(fields.size()));
    for (const MemTable::FieldDef &f : fields)
        addColumn(f.type);
}

TableStorage::TableStorage(const TableStorage &) = default;
TableStorage &TableStorage::operator=(const TableStorage &) = default;
TableStorage::TableStorage(TableStorage &&other) noexcept
    : m_columns(std::move(other.m_columns))
    , m_rows(std::exchange(other.m_rows, 0))
{
    other.m_columns.clear();
}
TableStorage &TableStorage::operator=(TableStorage &&other) noexcept
{
    m_columns.swap(other.m_columns);
    std::swap(m_rows, other.m_rows);
    other.clear();
    other.m_columns.clear();
    return *this;
}
TableStorage::~TableStorage() = default;

void TableStorage::noSuchColumn(int c)
{
    throw NotFoundError(QStringLiteral("Field number %1 not found").arg(c));
}

MemTable::FieldType TableStorage::columnType(int c) const
{
    return column(c).type;
}

bool TableStorage::fits(const QList<MemTable::FieldDef> &fields) const
{
    if (fields.size() != qsizetype(m_columns.size()))
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).type != m_columns[size_t(i)].type)
            return false;
    }
    return true;
}

bool TableStorage::isNull(qsizetype row, int c) const
{
    const Column &col = column(c);
    if (row < 0 || row >= m_rows)
        return true;
    return !(col.present[size_t(row >> 6)] >> (row & 63) & 1);
}

QVariant TableStorage::value(qsizetype row, int c) const
{
    if (isNull(row, c))
        return {};
    const Column &col = m_columns[size_t(c)];
    const auto r = size_t(row);
    switch (col.type) {
    case FieldType::String:
    case FieldType::Memo: {
        const Span s = col.spans[r];
        const char *p = col.bytes.data() + s.offset;
        return col.wtf8 ? fromWtf8(p, s.length) : fromUtf8Whole(p, s.length);
    }
    case FieldType::Integer:
    case FieldType::SmallInt: return int(col.ints[r]);
    case FieldType::LargeInt: return qlonglong(col.longs[r]);
    case FieldType::Float: return col.doubles[r];
    case FieldType::Boolean: return bool(col.bools[r]);
    case FieldType::Date: return QDate::fromJulianDay(col.longs[r]);
    case FieldType::DateTime: {
        const qint64 ms = col.longs[r];
        const qint32 zone = col.zones[r];
        if (zone == LocalZone)
            return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
        if (zone >= FirstNamedZone && zone < -MaxOffset)
            return QDateTime::fromMSecsSinceEpoch(ms, col.timeZones.at(zone - FirstNamedZone));
        if (zone == 0)
            return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, zone);
    }
    }
    return {};
}

MemTable::Row TableStorage::row(qsizetype row) const
{
    MemTable::Row out;
    out.reserve(columnCount());
    for (int c = 0; c < columnCount(); ++c)
        out.append(value(row, c));
    return out;
}

void TableStorage::setValue(qsizetype row, int c, const QVariant &v)
{
    if (row < 0 || row >= m_rows)
        throw TableStateError(QStringLiteral("Record %1 is outside the table (%2 rows)").arg(row).arg(m_rows));
    if (!v.isValid()) {
        setNull(row, c);
        return;
    }
    switch (column(c).type) {
    case FieldType::String:
    case FieldType::Memo: setText(row, c, v.toString()); break;
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::LargeInt: setInteger(row, c, v.toLongLong()); break;
    case FieldType::Float: setDouble(row, c, v.toDouble()); break;
    case FieldType::Boolean: setBool(row, c, v.toBool()); break;
    case FieldType::Date: {
        const QDate d = v.toDate();
        if (d.isValid())
            setJulianDay(row, c, d.toJulianDay());
        else
            setNull(row, c);
        break;
    }
    case FieldType::DateTime: setDateTime(row, c, v.toDateTime()); break;
    }
}

void TableStorage::appendRow(const MemTable::Row &row)
{
    const qsizetype r = m_rows;
    resize(r + 1);
    const qsizetype n = qMin(row.size(), qsizetype(columnCount()));
    for (qsizetype c = 0; c < n; ++c) {
        if (row.at(c).isValid())
            setValue(r, int(c), row.at(c));
    }
}

void TableStorage::resize(qsizetype rows)
{
    rows = std::max<qsizetype>(rows, 0);
    if (rows < m_rows) {
        // the tail goes at once, not row by row
        for (Column &c : m_columns) {
            if (isText(c.type)) {
                for (qsizetype r = rows; r < m_rows; ++r) {
                    if (c.present[size_t(r >> 6)] >> (r & 63) & 1)
                        c.unusedBytes += c.spans[size_t(r)].length;
                }
                c.last = {};
            }
            resizeColumn(c, size_t(rows));
            if (rows & 63)
                c.present[size_t(rows >> 6)] &= (quint64(1) << (rows & 63)) - 1;
        }
        m_rows = rows;
        return;
    }
    for (Column &c : m_columns)
        resizeColumn(c, size_t(rows));
    m_rows = rows;
}

void TableStorage::resizeColumn(Column &c, size_t n)
{
    c.present.resize((n + 63) / 64);
    switch (c.type) {
    case FieldType::String:
    case FieldType::Memo: c.spans.resize(n); break;
    case FieldType::Integer:
    case FieldType::SmallInt: c.ints.resize(n); break;
    case FieldType::LargeInt:
    case FieldType::Date: c.longs.resize(n); break;
    case FieldType::Float: c.doubles.resize(n); break;
    case FieldType::Boolean: c.bools.resize(n); break;
    case FieldType::DateTime:
        c.longs.resize(n);
        c.zones.resize(n);
        break;
    }
}

void TableStorage::reserve(qsizetype rows)
{
    const auto n = size_t(rows);
    for (Column &c : m_columns) {
        c.present.reserve((n + 63) / 64);
        switch (c.type) {
        case FieldType::String:
        case FieldType::Memo: c.spans.reserve(n); break;
        case FieldType::Integer:
        case FieldType::SmallInt: c.ints.reserve(n); break;
        case FieldType::LargeInt:
        case FieldType::Date: c.longs.reserve(n); break;
        case FieldType::Float: c.doubles.reserve(n); break;
        case FieldType::Boolean: c.bools.reserve(n); break;
        case FieldType::DateTime:
            c.longs.reserve(n);
            c.zones.reserve(n);
            break;
        }
    }
}

void TableStorage::reserveLike(qsizetype rows)
{
    if (m_rows == 0 || rows <= m_rows)
        return;
    reserve(rows);
    for (Column &c : m_columns) {
        if (isText(c.type))
            // later rows' text runs a little longer (counters grow a digit);
            // a tenth more spares a doubling and the copy back in squeeze()
            c.bytes.reserve(size_t(double(c.bytes.size()) * double(rows) / double(m_rows) * 1.1));
    }
}

void TableStorage::removeRow(qsizetype row)
{
    if (row < 0 || row >= m_rows)
        return;
    for (Column &c : m_columns) {
        if (isText(c.type)) {
            // a null row's text was given back when it became null
            if (c.present[size_t(row >> 6)] >> (row & 63) & 1)
                c.unusedBytes += c.spans[size_t(row)].length;
            c.last = {};
        }
        // the bits above the row move down by one
        const size_t words = c.present.size();
        const size_t w = size_t(row >> 6);
        const quint64 low = (quint64(1) << (row & 63)) - 1;
        quint64 &first = c.present[w];
        first = (first & low) | ((first >> 1) & ~low);
        for (size_t i = w + 1; i < words; ++i) {
            c.present[i - 1] |= (c.present[i] & 1) << 63;
            c.present[i] >>= 1;
        }
        eraseAt(c.spans, row);
        eraseAt(c.ints, row);
        eraseAt(c.longs, row);
        eraseAt(c.doubles, row);
        eraseAt(c.bools, row);
        eraseAt(c.zones, row);
        c.present.resize((size_t(m_rows - 1) + 63) / 64);
    }
    --m_rows;
}

void TableStorage::addColumn(FieldType type)
{
    Column c;
    c.type = type;
    resizeColumn(c, size_t(m_rows));
    m_columns.push_back(std::move(c));
}

void TableStorage::append(TableStorage &&other)
{
    if (other.m_rows == 0)
        return;
    if (m_rows == 0 && other.m_columns.size() == m_columns.size()) {
        bool same = true;
        for (size_t i = 0; i < m_columns.size(); ++i)
            same = same && m_columns[i].type == other.m_columns[i].type;
        if (same) {
            *this = std::move(other);
            return;
        }
    }
    append(std::as_const(other));
    other.clear();
}

void TableStorage::append(const TableStorage &other)
{
    if (other.m_rows == 0)
        return;
    if (&other == this) {
        append(TableStorage(other)); // its own rows again: read from a copy
        return;
    }
    if (other.m_columns.size() != m_columns.size())
        throw TableStateError(QStringLiteral("The rows do not match the table's fields"));
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].type != other.m_columns[i].type)
            throw TableStateError(QStringLiteral("The rows do not match the table's fields"));
    }
    // Column by column: the readers join the rows of windows read apart.
    const qsizetype first = m_rows;
    const qsizetype n = other.m_rows;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (isText(m_columns[i].type)
            && m_columns[i].bytes.size() + other.m_columns[i].bytes.size() > std::numeric_limits<quint32>::max()) {
            // beyond what one buffer's spans reach: value by value, which
            // compacts (or refuses) as a single write would
            resize(first + n);
            for (int c = 0; c < columnCount(); ++c) {
                for (qsizetype r = 0; r < n; ++r) {
                    if (!other.isNull(r, c))
                        setValue(first + r, c, other.value(r, c));
                }
            }
            return;
        }
    }
    for (size_t i = 0; i < m_columns.size(); ++i) {
        Column &c = m_columns[i];
        const Column &o = other.m_columns[i];
        auto join = [n](auto &to, const auto &from) { to.insert(to.end(), from.begin(), from.begin() + n); };
        switch (c.type) {
        case FieldType::String:
        case FieldType::Memo: {
            const auto base = quint32(c.bytes.size());
            const size_t at = c.spans.size();
            join(c.spans, o.spans);
            for (size_t r = at; r < c.spans.size(); ++r)
                c.spans[r].offset += base;
            c.bytes += o.bytes;
            c.unusedBytes += o.unusedBytes;
            c.wtf8 = c.wtf8 || o.wtf8;
            c.last = o.last;
            c.last.offset += base;
            break;
        }
        case FieldType::Integer:
        case FieldType::SmallInt: join(c.ints, o.ints); break;
        case FieldType::LargeInt:
        case FieldType::Date: join(c.longs, o.longs); break;
        case FieldType::Float: join(c.doubles, o.doubles); break;
        case FieldType::Boolean: join(c.bools, o.bools); break;
        case FieldType::DateTime: {
            join(c.longs, o.longs);
            const size_t at = c.zones.size();
            join(c.zones, o.zones);
            // named zones are indexes into each storage's own list
            for (size_t r = at; r < c.zones.size() && !o.timeZones.isEmpty(); ++r) {
                qint32 &zone = c.zones[r];
                if (zone < FirstNamedZone || zone >= -MaxOffset)
                    continue;
                zone = namedZone(c.timeZones, o.timeZones.at(zone - FirstNamedZone));
            }
            break;
        }
        }
        // the presence bits, shifted to where the rows now start
        const size_t words = size_t((first + n + 63) / 64);
        if (first & 63)
            c.present[size_t(first >> 6)] &= (quint64(1) << (first & 63)) - 1;
        c.present.resize(words);
        const auto shift = unsigned(first & 63);
        const auto base = size_t(first >> 6);
        for (size_t w = 0; w < size_t((n + 63) / 64); ++w) {
            quint64 bits = o.present[w];
            if (w == size_t(n >> 6))
                bits &= (quint64(1) << (n & 63)) - 1; // n & 63 != 0 here
            c.present[base + w] |= bits << shift;
            if (shift && base + w + 1 < words)
                c.present[base + w + 1] |= bits >> (64 - shift);
        }
    }
    m_rows = first + n;
}

void TableStorage::clear()
{
    for (Column &c : m_columns) {
        Column empty;
        empty.type = c.type;
        c = std::move(empty);
    }
    m_rows = 0;
}

void TableStorage::squeeze()
{
    for (Column &c : m_columns) {
        squeezeVector(c.present);
        squeezeVector(c.spans);
        squeezeVector(c.ints);
        squeezeVector(c.longs);
        squeezeVector(c.doubles);
        squeezeVector(c.bools);
        squeezeVector(c.zones);
        if (c.bytes.capacity() - c.bytes.size() > c.bytes.size() / 8)
            c.bytes.shrink_to_fit();
    }
}

qsizetype TableStorage::byteSize() const
{
    qsizetype n = 0;
    for (const Column &c : m_columns) {
        n +=
            qsizetype(c.present.capacity() * sizeof(quint64) + c.ints.capacity() * sizeof(qint32)
                      + c.longs.capacity() * sizeof(qint64) + c.doubles.capacity() * sizeof(double) + c.bools.capacity()
                      + c.zones.capacity() * sizeof(qint32) + c.spans.capacity() * sizeof(Span) + c.bytes.capacity());
    }
    return n;
}

void TableStorage::setNull(qsizetype row, int c)
{
    Column &col = column(c);
    if (isText(col.type) && !isNull(row, c))
        col.unusedBytes += col.spans[size_t(row)].length;
    setPresent(col, row, false);
}

void TableStorage::setLocalMSecs(qsizetype row, int c, qint64 msecs)
{
    Column &col = column(c);
    col.longs[size_t(row)] = msecs;
    col.zones[size_t(row)] = LocalZone;
    setPresent(col, row, true);
}

void TableStorage::setDateTime(qsizetype row, int c, const QDateTime &dt)
{
    if (!dt.isValid()) {
        setNull(row, c);
        return;
    }
    Column &col = column(c);
    qint32 zone = 0;
    switch (dt.timeSpec()) {
    case Qt::LocalTime: zone = LocalZone; break;
    case Qt::UTC: zone = 0; break;
    case Qt::OffsetFromUTC: zone = dt.offsetFromUtc(); break;
    case Qt::TimeZone: zone = namedZone(col.timeZones, dt.timeZone()); break;
    }
    col.longs[size_t(row)] = dt.toMSecsSinceEpoch();
    col.zones[size_t(row)] = zone;
    setPresent(col, row, true);
}

void TableStorage::storeText(Column &col, qsizetype row, const char *text, qsizetype length)
{
    if (col.present[size_t(row >> 6)] >> (row & 63) & 1)
        col.unusedBytes += col.spans[size_t(row)].length;
    Span s;
    s.length = quint32(length);
    if (col.last.length == quint32(length) && length > 0
        && sameText(col.bytes.data() + col.last.offset, text, length)) {
        s = col.last;
    } else {
        if (qsizetype(col.bytes.size()) + length > qsizetype(std::numeric_limits<quint32>::max())) {
            compactText(col);
            if (qsizetype(col.bytes.size()) + length > qsizetype(std::numeric_limits<quint32>::max()))
                throw Error(QStringLiteral("The text of one column is too large"));
        }
        s.offset = quint32(col.bytes.size());
        col.bytes.append(text, size_t(length));
        col.last = s;
    }
    col.spans[size_t(row)] = s;
    setPresent(col, row, true);
    // edits leave old text behind; once it outweighs the live text, drop it
    if (col.unusedBytes > 65536 && col.unusedBytes > qsizetype(col.bytes.size()) / 2)
        compactText(col);
}

void TableStorage::compactText(Column &col)
{
    // A span shared by a run of rows is counted once for each row that lets
    // go of it, so the count can exceed the buffer.
    std::string bytes;
    bytes.reserve(col.bytes.size() - std::min(col.bytes.size(), size_t(col.unusedBytes)));
    Span previousOld;
    Span previousNew;
    const int c = int(&col - m_columns.data());
    for (qsizetype r = 0; r < m_rows; ++r) {
        if (isNull(r, c))
            continue;
        Span &s = col.spans[size_t(r)];
        if (s.offset == previousOld.offset && s.length == previousOld.length && r > 0) {
            s = previousNew; // a run shared its bytes before and still does
            continue;
        }
        previousOld = s;
        s.offset = quint32(bytes.size());
        bytes.append(col.bytes, previousOld.offset, previousOld.length);
        previousNew = s;
    }
    col.bytes.swap(bytes);
    col.unusedBytes = 0;
    col.last = {};
}

void TableStorage::setUtf8(qsizetype row, int c, const char *text, qsizetype length)
{
    Column &col = column(c);
    storeText(col, row, text, length);
}

void TableStorage::setText(qsizetype row, int c, QStringView text)
{
    Column &col = column(c);
    if (text.isValidUtf16()) {
        const QByteArray utf8 = text.toUtf8();
        storeText(col, row, utf8.constData(), utf8.size());
        return;
    }
    std::string wtf8;
    appendWtf8(wtf8, text);
    col.wtf8 = true;
    storeText(col, row, wtf8.data(), qsizetype(wtf8.size()));
}

} // namespace Platform
