#pragma once

#include "com_global.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace Platform {

class TableStorage;

// The in-memory table behind every grid and data-bound edit: named, typed
// fields, rows held in memory, a current row with an edit buffer, and a
// table model so that views can show it.
//
// Values are handed out in one type per field (see storageType()): String
// and Memo as QString, Integer and SmallInt as int, LargeInt as qlonglong,
// Float as double, Boolean as bool, Date as QDate, DateTime as QDateTime. A
// null value is an invalid QVariant, whatever the field type. Rows are held in
// typed columns (TableStorage), not as a QVariant per cell. A declared size of a
// String field is a hint for editors only: values are never cut to it, so a
// longer value from the server survives a read and a write back.
//
// Editing follows the usual data-set cycle: edit() or append() starts it,
// setValue() changes the current row in place, post() keeps the change and
// cancel() takes it back (removing an appended row). Moving to another row or
// appending again posts a pending edit first.
//
// Views are frozen with disableControls() (counted): while frozen they keep
// seeing the row and column counts of the moment of the freeze, get no signal
// per change, and the last enableControls() resets them once. The table's own
// API (recordCount(), value(), ...) always reports the real state.
class COM_EXPORT MemTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class FieldType { String, Memo, Integer, SmallInt, LargeInt, Float, Boolean, Date, DateTime };
    Q_ENUM(FieldType)
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)

    struct FieldDef
    {
        QString name;
        FieldType type = FieldType::String;
        int size = 0;
        QString displayLabel;
    };

    // One value per field, in field order, each null or of the field's
    // storage type.
    using Row = QList<QVariant>;

    explicit MemTable(QObject *parent = nullptr);
    ~MemTable() override;

    // Fields. Names are unique without regard to case (DuplicateKeyError).
    // A field added to a table holding rows is null in every row.
    void addField(const QString &name, FieldType type, int size = 0, const QString &displayLabel = {});
    const QList<FieldDef> &fieldDefs() const { return m_fields; }
    int fieldCount() const { return int(m_fields.size()); }
    // -1 when there is no such field; case-insensitive.
    int fieldIndex(const QString &name) const;
    // Raises NotFoundError.
    const FieldDef &fieldDef(const QString &name) const;
    const FieldDef &fieldDef(int index) const;

    static QMetaType storageType(FieldType type);
    // The value as the field type stores it; an invalid QVariant or an empty
    // text of a non-text field gives null. Raises ConversionError when the
    // value cannot become that type (garbage text, a fraction or an
    // out-of-range number for an integer field, a Float that is not finite,
    // a date outside the years 1 to 9999, ...). appendRows() and setRows()
    // hold values of the storage type to the same rules.
    static QVariant convertValue(FieldType type, const QVariant &value);

    // Open and close. Closing discards the rows (and any pending edit) and
    // keeps the fields; opening gives an empty table. Read-only survives both.
    void open();
    void close();
    bool isActive() const { return m_active; }
    bool readOnly() const { return m_readOnly; }
    // Raises TableStateError when asked to become read-only during an edit.
    void setReadOnly(bool readOnly);

    // Navigation. Raises TableStateError on a closed table; posts a pending
    // edit before moving.
    int recordCount() const;
    int recNo() const { return m_recNo; } // 0-based, -1 without rows
    void setRecNo(int recNo); // TableStateError when out of range
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }

    // Editing. append(), edit() and deleteRecord() raise TableStateError on
    // a closed or read-only table, edit() and deleteRecord() also without a
    // current row. append() adds an empty row at the end and makes it
    // current, in Insert state; edit() on a row already being edited does
    // nothing; post() without an edit raises; cancel() without one does
    // nothing, and after an append removes the row and returns to the row
    // that was current before. deleteRecord() during an append cancels it;
    // after a delete the next row (or the new last one) is current.
    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();

    // The current row (null without one). NotFoundError for an unknown field.
    QVariant value(const QString &name) const;
    QVariant value(int field) const;
    // Only while editing; raises TableStateError otherwise (or when read-only)
    // and ConversionError for a value the field cannot take.
    void setValue(const QString &name, const QVariant &value);
    void setValue(int field, const QVariant &value);
    // Any row; null outside the table.
    QVariant cell(int row, int field) const;
    Row rowAt(int index) const; // TableStateError outside the table

    // Bulk loading, one model notification each. Rows are taken as they are
    // (shorter rows are padded with nulls); a value not of its field's
    // storage type is converted, and one that cannot be raises
    // ConversionError before anything changes. appendRows() leaves the last
    // new row current; setRows() replaces every row and makes the first
    // current. Both need an open, writable table.
    void appendRows(std::vector<Row> &&rows);
    void setRows(std::vector<Row> &&rows);

    // The same for rows built off the user-interface thread (JsonDataSet's
    // readers): they are taken without a look at each value, and their
    // columns must be of the table's field types (TableStateError before
    // anything changes). install() swaps them in, replacing every row, with
    // one model reset: its cost does not grow with the rows.
    void appendRows(TableStorage &&rows);
    void install(TableStorage &&rows);

    // Freezing of bound views, counted.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_freezeCount > 0; }

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A horizontal header's text becomes the field's displayLabel.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;

    // The text a grid shows for a value of the type: dates "yyyy-MM-dd",
    // date-times "yyyy-MM-dd HH:mm:ss", numbers in C-locale shortest form,
    // booleans "true"/"false" (grids show those as check boxes instead).
    static QString displayText(FieldType type, const QVariant &value);

Q_SIGNALS:
    // The current row moved, or the rows under it were replaced; bound
    // single-row controls re-read their values. Held back while frozen.
    void currentRowChanged(int recNo);
    void stateChanged(Platform::MemTable::State state);

private:
    void requireActive() const;
    void requireWritable() const;
    void requireField(int field) const;
    void checkBrowseMode();
    TableStorage normalizeRows(std::vector<Row> &rows) const;
    void requireFitting(const TableStorage &rows) const;
    void moveTo(int recNo, bool bof, bool eof);
    void setState(State state);
    void notifyCurrent();
    bool notifying() const { return m_freezeCount == 0; }
    void emitRowChanged(int row);

    QList<FieldDef> m_fields;
    std::unique_ptr<TableStorage> m_rows;
    Row m_backup; // the row as it was before edit()
    int m_recNoBeforeInsert = -1;
    int m_recNo = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_active = false;
    bool m_readOnly = false;
    State m_state = State::Inactive;

    int m_freezeCount = 0;
    int m_viewRows = 0; // what frozen views were last told
    int m_viewColumns = 0;
    int m_notifiedRecNo = -1;
    State m_notifiedState = State::Inactive;
};

} // namespace Platform
