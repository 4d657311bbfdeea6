#pragma once

#include "com_global.h"
#include "MemTable.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <QVariant>
#include <string>
#include <vector>

namespace Platform {

// The rows of a MemTable, one typed column per field. Integers, floats,
// Booleans, dates (Julian day) and date-times (milliseconds since the epoch
// and a zone) are kept as plain numbers; text as UTF-8 in one buffer per
// column, a value repeated in a run of rows stored once. A QVariant exists
// only while a value is handed out. A storage is built by the readers off
// the user-interface thread and swapped into a table whole
// (MemTable::install), so installing costs the same for any row count.
//
// Values written through setValue() and appendRow() must already be of the
// column's storage type (MemTable::convertValue) or null. Not thread-safe;
// one thread at a time, like the table.
class COM_EXPORT TableStorage
{
public:
    using FieldType = MemTable::FieldType;

    TableStorage() = default;
    explicit TableStorage(const QList<MemTable::FieldDef> &fields);
    TableStorage(const TableStorage &);
    TableStorage &operator=(const TableStorage &);
    TableStorage(TableStorage &&) noexcept;
    TableStorage &operator=(TableStorage &&) noexcept;
    ~TableStorage();

    int columnCount() const { return int(m_columns.size()); }
    FieldType columnType(int column) const;
    // Whether the columns are of these fields' types, in this order.
    bool fits(const QList<MemTable::FieldDef> &fields) const;

    qsizetype size() const { return m_rows; }
    bool empty() const { return m_rows == 0; }

    bool isNull(qsizetype row, int column) const;
    QVariant value(qsizetype row, int column) const;
    MemTable::Row row(qsizetype row) const;

    void setValue(qsizetype row, int column, const QVariant &value);
    // A row shorter than the columns is padded with nulls.
    void appendRow(const MemTable::Row &row);
    // New rows are null in every column.
    void resize(qsizetype rows);
    void reserve(qsizetype rows);
    // Room for this many rows in all, text columns by their bytes per row
    // so far: a reader that has seen part of a body sizes the rest once.
    void reserveLike(qsizetype rows);
    void removeRow(qsizetype row);
    // A new column, null in every row.
    void addColumn(FieldType type);
    // Moves the rows of a storage with the same column types behind these.
    void append(TableStorage &&other);
    // Copies the rows of a storage with the same column types behind these.
    void append(const TableStorage &other);
    void clear();
    // Gives spare capacity back once building is over.
    void squeeze();
    // The heap the rows take, capacity included.
    qsizetype byteSize() const;

    // Writers for readers, the row already there (resize()). No conversion:
    // the caller checked that the value fits the column's type.
    void setNull(qsizetype row, int column);
    void setInteger(qsizetype row, int column, qint64 value); // Integer, SmallInt, LargeInt
    void setDouble(qsizetype row, int column, double value);
    void setBool(qsizetype row, int column, bool value);
    void setJulianDay(qsizetype row, int column, qint64 day);
    // A date-time given as UTC milliseconds and the zone it was written in:
    // an offset from UTC in seconds (0 is UTC), or local time.
    void setUtcMSecs(qsizetype row, int column, qint64 msecs, int offsetSeconds);
    void setLocalMSecs(qsizetype row, int column, qint64 msecs);
    void setDateTime(qsizetype row, int column, const QDateTime &value);
    // Well-formed UTF-8.
    void setUtf8(qsizetype row, int column, const char *text, qsizetype length);
    void setText(qsizetype row, int column, QStringView text);

private:
    struct Span
    {
        quint32 offset = 0;
        quint32 length = 0;
    };
    // Only the members of the column's type are used.
    struct Column
    {
        FieldType type = FieldType::String;
        std::vector<quint64> present; // one bit per row; clear is null
        std::vector<qint32> ints; // Integer, SmallInt
        std::vector<qint64> longs; // LargeInt; Date (Julian day); DateTime (UTC ms)
        std::vector<double> doubles; // Float
        std::vector<quint8> bools; // Boolean
        std::vector<qint32> zones; // DateTime: offset seconds, or one of the codes
        QList<QTimeZone> timeZones; // DateTime values in a named zone
        std::vector<Span> spans; // String, Memo
        std::string bytes; // String, Memo: the text of every span
        qsizetype unusedBytes = 0; // left behind by edits and removals
        bool wtf8 = false; // some text holds unpaired surrogates
        Span last; // the last text written, shared by a repeat
    };

    Column &column(int column);
    const Column &column(int column) const;
    [[noreturn]] static void noSuchColumn(int column);
    static void setPresent(Column &c, qsizetype row, bool present);
    static void resizeColumn(Column &c, size_t rows);
    void storeText(Column &c, qsizetype row, const char *text, qsizetype length);
    void compactText(Column &c);

    std::vector<Column> m_columns;
    qsizetype m_rows = 0;
};

// The writers a reader calls for every cell, inline: a call into the library
// per cell costs as much as the conversion.

inline TableStorage::Column &TableStorage::column(int c)
{
    if (c < 0 || c >= columnCount())
        noSuchColumn(c);
    return m_columns[size_t(c)];
}

inline const TableStorage::Column &TableStorage::column(int c) const
{
    if (c < 0 || c >= columnCount())
        noSuchColumn(c);
    return m_columns[size_t(c)];
}

inline void TableStorage::setPresent(Column &c, qsizetype row, bool present)
{
    const quint64 bit = quint64(1) << (row & 63);
    if (present)
        c.present[size_t(row >> 6)] |= bit;
    else
        c.present[size_t(row >> 6)] &= ~bit;
}

inline void TableStorage::setInteger(qsizetype row, int c, qint64 v)
{
    Column &col = column(c);
    if (col.type == FieldType::LargeInt)
        col.longs[size_t(row)] = v;
    else
        col.ints[size_t(row)] = qint32(v);
    setPresent(col, row, true);
}

inline void TableStorage::setDouble(qsizetype row, int c, double v)
{
    Column &col = column(c);
    col.doubles[size_t(row)] = v;
    setPresent(col, row, true);
}

inline void TableStorage::setBool(qsizetype row, int c, bool v)
{
    Column &col = column(c);
    col.bools[size_t(row)] = v;
    setPresent(col, row, true);
}

inline void TableStorage::setJulianDay(qsizetype row, int c, qint64 day)
{
    Column &col = column(c);
    col.longs[size_t(row)] = day;
    setPresent(col, row, true);
}

inline void TableStorage::setUtcMSecs(qsizetype row, int c, qint64 msecs, int offsetSeconds)
{
    Column &col = column(c);
    col.longs[size_t(row)] = msecs;
    col.zones[size_t(row)] = offsetSeconds;
    setPresent(col, row, true);
}

} // namespace Platform
