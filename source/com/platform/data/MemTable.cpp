#include "MemTable.h"
#include "Errors.h"
#include "FieldValue_p.h"
#include "TableStorage.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace Platform {

namespace {

enum class Kind { Null, Bool, Integer, Unsigned, Double, Text, Date, DateTime, Other };

Kind kindOf(const QVariant &v)
{
    if (!v.isValid())
        return Kind::Null;
    switch (v.typeId()) {
    case QMetaType::Nullptr: return Kind::Null;
    case QMetaType::Bool: return Kind::Bool;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UShort:
    case QMetaType::UChar: return Kind::Integer;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: return Kind::Unsigned;
    case QMetaType::Double:
    case QMetaType::Float: return Kind::Double;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: return Kind::Text;
    case QMetaType::QDate: return Kind::Date;
    case QMetaType::QDateTime: return Kind::DateTime;
    default: return Kind::Other;
    }
}

QString typeName(MemTable::FieldType type)
{
    switch (type) {
    case MemTable::FieldType::String: return QStringLiteral("String");
    case MemTable::FieldType::Memo: return QStringLiteral("Memo");
    case MemTable::FieldType::Integer: return QStringLiteral("Integer");
    case MemTable::FieldType::SmallInt: return QStringLiteral("SmallInt");
    case MemTable::FieldType::LargeInt: return QStringLiteral("LargeInt");
    case MemTable::FieldType::Float: return QStringLiteral("Float");
    case MemTable::FieldType::Boolean: return QStringLiteral("Boolean");
    case MemTable::FieldType::Date: return QStringLiteral("Date");
    case MemTable::FieldType::DateTime: return QStringLiteral("DateTime");
    }
    return {};
}

[[noreturn]] void conversionFailed(MemTable::FieldType type, const QVariant &value)
{
    const QString shown = value.canConvert<QString>() ? value.toString() : QString::fromLatin1(value.typeName());
    throw ConversionError(QStringLiteral("Cannot convert \"%1\" to a %2 field").arg(shown, typeName(type)));
}

QVariant fromInteger(MemTable::FieldType type, qint64 i, const QVariant &original)
{
    if (!FieldValue::fitsInteger(type, i))
        conversionFailed(type, original);
    return FieldValue::integerValue(type, i);
}

// ISO text, the form dates take in JSON and on screen, has four-digit years
// only: QDate(10000, 1, 1) would be written as "".
bool writableDate(QDate date)
{
    return !date.isValid() || (date.year() >= 1 && date.year() <= 9999);
}

[[noreturn]] void dateOutOfRange(MemTable::FieldType type, QDate date)
{
    throw ConversionError(QStringLiteral("The date %1 of a %2 field is outside the years 1 to 9999")
                              .arg(date.toString(QStringLiteral("yyyy-MM-dd")), typeName(type)));
}

QVariant fromDouble(MemTable::FieldType type, double d, const QVariant &original)
{
    if (!std::isfinite(d) || d != std::floor(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        conversionFailed(type, original);
    return fromInteger(type, qint64(d), original);
}

} // namespace

MemTable::MemTable(QObject *parent)
    : QAbstractTableModel(parent)
    , m_rows(std::make_unique<TableStorage>())
{ }

int MemTable::recordCount() const
{
    return int(m_rows->size());
}

MemTable::~MemTable() = default;

// ---- fields -------------------------------------------------------------

void MemTable::addField(const QString &name, FieldType type, int size, const QString &displayLabel)
{
    if (name.isEmpty())
        throw Error(QStringLiteral("A field needs a name"));
    if (fieldIndex(name) >= 0)
        throw DuplicateKeyError(QStringLiteral("Duplicate field name \"%1\"").arg(name));
    const int column = fieldCount();
    if (notifying())
        beginInsertColumns({}, column, column);
    m_fields.append(FieldDef { name, type, size, displayLabel });
    m_rows->addColumn(type);
    if (isEditing() && !m_backup.isEmpty())
        m_backup.append(QVariant());
    if (notifying())
        endInsertColumns();
}

int MemTable::fieldIndex(const QString &name) const
{
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const MemTable::FieldDef &MemTable::fieldDef(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw NotFoundError(QStringLiteral("Field \"%1\" not found").arg(name));
    return m_fields.at(i);
}

const MemTable::FieldDef &MemTable::fieldDef(int index) const
{
    requireField(index);
    return m_fields.at(index);
}

void MemTable::requireField(int field) const
{
    if (field < 0 || field >= fieldCount())
        throw NotFoundError(QStringLiteral("Field number %1 not found").arg(field));
}

QMetaType MemTable::storageType(FieldType type)
{
    switch (type) {
    case FieldType::String:
    case FieldType::Memo: return QMetaType::fromType<QString>();
    case FieldType::Integer:
    case FieldType::SmallInt: return QMetaType::fromType<int>();
    case FieldType::LargeInt: return QMetaType::fromType<qlonglong>();
    case FieldType::Float: return QMetaType::fromType<double>();
    case FieldType::Boolean: return QMetaType::fromType<bool>();
    case FieldType::Date: return QMetaType::fromType<QDate>();
    case FieldType::DateTime: return QMetaType::fromType<QDateTime>();
    }
    return {};
}

QVariant MemTable::convertValue(FieldType type, const QVariant &value)
{
    const Kind kind = kindOf(value);
    if (kind == Kind::Null)
        return {};
    if (kind == Kind::Other)
        conversionFailed(type, value);

    QString text;
    if (kind == Kind::Text) {
        text = value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray()) : value.toString();
        if (type != FieldType::String && type != FieldType::Memo && text.trimmed().isEmpty())
            return {};
    }

    switch (type) {
    case FieldType::String:
    case FieldType::Memo:
        switch (kind) {
        case Kind::Text: return text;
        case Kind::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case Kind::Integer: return QString::number(value.toLongLong());
        case Kind::Unsigned: return QString::number(value.toULongLong());
        case Kind::Double: return FieldValue::doubleText(value.toDouble());
        case Kind::Date: {
            const QDate d = value.toDate();
            if (!writableDate(d))
                dateOutOfRange(type, d);
            return d.isValid() ? QVariant(FieldValue::dateText(d)) : QVariant();
        }
        case Kind::DateTime: {
            const QDateTime dt = value.toDateTime();
            if (dt.isValid() && !writableDate(dt.date()))
                dateOutOfRange(type, dt.date());
            return dt.isValid() ? QVariant(FieldValue::dateTimeIsoText(dt)) : QVariant();
        }
        default: break;
        }
        break;

    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::LargeInt:
        switch (kind) {
        case Kind::Bool: return FieldValue::integerValue(type, value.toBool() ? 1 : 0);
        case Kind::Integer: return fromInteger(type, value.toLongLong(), value);
        case Kind::Unsigned: {
            const qulonglong u = value.toULongLong();
            if (u > qulonglong(std::numeric_limits<qint64>::max()))
                conversionFailed(type, value);
            return fromInteger(type, qint64(u), value);
        }
        case Kind::Double: return fromDouble(type, value.toDouble(), value);
        case Kind::Text: {
            qint64 i = 0;
            if (!FieldValue::parseInteger(text, i))
                conversionFailed(type, value);
            return fromInteger(type, i, value);
        }
        default: break;
        }
        break;

    case FieldType::Float:
        switch (kind) {
        case Kind::Bool: return value.toBool() ? 1.0 : 0.0;
        case Kind::Integer: return double(value.toLongLong());
        case Kind::Unsigned: return double(value.toULongLong());
        case Kind::Double: {
            const double d = value.toDouble();
            if (!std::isfinite(d))
                conversionFailed(type, value);
            return d;
        }
        case Kind::Text: {
            double d = 0;
            if (!FieldValue::parseDouble(text, d))
                conversionFailed(type, value);
            return d;
        }
        default: break;
        }
        break;

    case FieldType::Boolean:
        switch (kind) {
        case Kind::Bool: return value.toBool();
        case Kind::Integer: return value.toLongLong() != 0;
        case Kind::Unsigned: return value.toULongLong() != 0;
        case Kind::Double: {
            const double d = value.toDouble();
            if (std::isnan(d))
                conversionFailed(type, value);
            return d != 0;
        }
        case Kind::Text: {
            bool b = false;
            if (!FieldValue::parseBool(text, b))
                conversionFailed(type, value);
            return b;
        }
        default: break;
        }
        break;

    case FieldType::Date:
        switch (kind) {
        case Kind::Date: {
            const QDate d = value.toDate();
            if (!writableDate(d))
                dateOutOfRange(type, d);
            return d.isValid() ? value : QVariant();
        }
        case Kind::DateTime: {
            const QDateTime dt = value.toDateTime();
            if (dt.isValid() && !writableDate(dt.date()))
                dateOutOfRange(type, dt.date());
            return dt.isValid() ? QVariant(dt.date()) : QVariant();
        }
        case Kind::Text: {
            QDate d;
            if (!FieldValue::parseDate(text, d))
                conversionFailed(type, value);
            return d;
        }
        default: break;
        }
        break;

    case FieldType::DateTime:
        switch (kind) {
        case Kind::DateTime: {
            const QDateTime dt = value.toDateTime();
            if (dt.isValid() && !writableDate(dt.date()))
                dateOutOfRange(type, dt.date());
            return dt.isValid() ? value : QVariant();
        }
        case Kind::Date: {
            const QDate d = value.toDate();
            if (!writableDate(d))
                dateOutOfRange(type, d);
            return d.isValid() ? QVariant(d.startOfDay()) : QVariant();
        }
        case Kind::Text: {
            QDateTime dt;
            if (!FieldValue::parseDateTime(text, dt))
                conversionFailed(type, value);
            return dt;
        }
        default: break;
        }
        break;
    }
    conversionFailed(type, value);
}

// ---- state --------------------------------------------------------------

void MemTable::requireActive() const
{
    if (!m_active)
        throw TableStateError(QStringLiteral("The table is not open"));
}

void MemTable::requireWritable() const
{
    requireActive();
    if (m_readOnly)
        throw TableStateError(QStringLiteral("The table is read-only"));
}

void MemTable::setState(State state)
{
    m_state = state;
    if (notifying() && m_notifiedState != state) {
        m_notifiedState = state;
        Q_EMIT stateChanged(state);
    }
}

void MemTable::moveTo(int recNo, bool bof, bool eof)
{
    m_bof = bof;
    m_eof = eof;
    if (m_recNo == recNo)
        return;
    m_recNo = recNo;
    if (notifying() && m_notifiedRecNo != recNo) {
        m_notifiedRecNo = recNo;
        Q_EMIT currentRowChanged(recNo);
    }
}

// The rows under the cursor were replaced: bound controls re-read even when
// the row number stayed the same.
void MemTable::notifyCurrent()
{
    if (!notifying())
        return;
    m_notifiedRecNo = m_recNo;
    Q_EMIT currentRowChanged(m_recNo);
}

void MemTable::emitRowChanged(int row)
{
    if (notifying() && fieldCount() > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, fieldCount() - 1));
}

void MemTable::open()
{
    if (m_active)
        return;
    m_active = true;
    m_rows->clear();
    m_backup.clear();
    moveTo(-1, true, true);
    setState(State::Browse);
}

void MemTable::close()
{
    if (!m_active)
        return;
    const bool hadRows = !m_rows->empty();
    if (hadRows && notifying())
        beginResetModel();
    *m_rows = TableStorage(m_fields);
    m_backup.clear();
    m_active = false;
    if (hadRows && notifying())
        endResetModel();
    moveTo(-1, true, true);
    setState(State::Inactive);
}

void MemTable::setReadOnly(bool readOnly)
{
    if (readOnly && isEditing())
        throw TableStateError(QStringLiteral("The table cannot become read-only while a row is being edited"));
    m_readOnly = readOnly;
}

// A pending edit is kept before the cursor moves, as a data set does.
void MemTable::checkBrowseMode()
{
    if (isEditing())
        post();
}

// ---- navigation ---------------------------------------------------------

void MemTable::setRecNo(int recNo)
{
    requireActive();
    if (recNo < 0 || recNo >= recordCount())
        throw TableStateError(QStringLiteral("Record %1 is outside the table (%2 rows)").arg(recNo).arg(recordCount()));
    checkBrowseMode();
    moveTo(recNo, false, false);
}

void MemTable::first()
{
    requireActive();
    checkBrowseMode();
    moveTo(m_rows->empty() ? -1 : 0, true, m_rows->empty());
}

void MemTable::last()
{
    requireActive();
    checkBrowseMode();
    moveTo(recordCount() - 1, m_rows->empty(), true);
}

void MemTable::next()
{
    requireActive();
    checkBrowseMode();
    if (m_recNo + 1 < recordCount())
        moveTo(m_recNo + 1, false, false);
    else
        m_eof = true;
}

void MemTable::prior()
{
    requireActive();
    checkBrowseMode();
    if (m_recNo > 0)
        moveTo(m_recNo - 1, false, false);
    else
        m_bof = true;
}

// ---- editing ------------------------------------------------------------

void MemTable::append()
{
    requireWritable();
    checkBrowseMode();
    const int row = recordCount();
    m_recNoBeforeInsert = m_recNo;
    if (notifying())
        beginInsertRows({}, row, row);
    m_rows->resize(row + 1);
    if (notifying())
        endInsertRows();
    m_backup.clear();
    moveTo(row, false, false);
    setState(State::Insert);
}

void MemTable::edit()
{
    requireWritable();
    if (isEditing())
        return;
    if (m_recNo < 0)
        throw TableStateError(QStringLiteral("There is no current row to edit"));
    m_backup = m_rows->row(m_recNo);
    setState(State::Edit);
}

void MemTable::post()
{
    requireActive();
    if (!isEditing())
        throw TableStateError(QStringLiteral("Post needs a row in edit or insert state"));
    m_backup.clear();
    setState(State::Browse);
}

void MemTable::cancel()
{
    if (m_state == State::Insert) {
        const int row = m_recNo;
        if (notifying())
            beginRemoveRows({}, row, row);
        m_rows->removeRow(row);
        if (notifying())
            endRemoveRows();
        int back = qMin(m_recNoBeforeInsert, recordCount() - 1);
        if (back < 0 && !m_rows->empty())
            back = 0;
        moveTo(back, m_rows->empty(), m_rows->empty());
        setState(State::Browse);
    } else if (m_state == State::Edit) {
        for (int c = 0; c < fieldCount(); ++c)
            m_rows->setValue(m_recNo, c, m_backup.value(c));
        m_backup.clear();
        setState(State::Browse);
        emitRowChanged(m_recNo);
    }
}

void MemTable::deleteRecord()
{
    requireWritable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_recNo < 0)
        throw TableStateError(QStringLiteral("There is no current row to delete"));
    if (m_state == State::Edit) {
        m_backup.clear();
        setState(State::Browse);
    }
    const int row = m_recNo;
    if (notifying())
        beginRemoveRows({}, row, row);
    m_rows->removeRow(row);
    if (notifying())
        endRemoveRows();
    const int count = recordCount();
    // The row that took its place is current now; the row number may not
    // have changed, the row under it has.
    m_recNo = qMin(row, count - 1);
    m_bof = count == 0;
    m_eof = count == 0;
    notifyCurrent();
}

QVariant MemTable::value(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw NotFoundError(QStringLiteral("Field \"%1\" not found").arg(name));
    return value(i);
}

QVariant MemTable::value(int field) const
{
    requireField(field);
    if (m_recNo < 0 || m_recNo >= recordCount())
        return {};
    return m_rows->value(m_recNo, field);
}

void MemTable::setValue(const QString &name, const QVariant &value)
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw NotFoundError(QStringLiteral("Field \"%1\" not found").arg(name));
    setValue(i, value);
}

void MemTable::setValue(int field, const QVariant &value)
{
    requireField(field);
    requireWritable();
    if (!isEditing())
        throw TableStateError(
            QStringLiteral("Field \"%1\" can only be changed in edit or insert state").arg(m_fields.at(field).name));
    QVariant converted = convertValue(m_fields.at(field).type, value);
    m_rows->setValue(m_recNo, field, converted);
    if (notifying()) {
        const QModelIndex i = index(m_recNo, field);
        Q_EMIT dataChanged(i, i);
    }
}

QVariant MemTable::cell(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    return m_rows->value(row, field);
}

MemTable::Row MemTable::rowAt(int index) const
{
    if (index < 0 || index >= recordCount())
        throw TableStateError(QStringLiteral("Record %1 is outside the table (%2 rows)").arg(index).arg(recordCount()));
    return m_rows->row(index);
}

// ---- bulk ---------------------------------------------------------------

// Rows built as QVariants are checked here so that the table never holds a
// value of the wrong type; a matching type costs one comparison per cell.
TableStorage MemTable::normalizeRows(std::vector<Row> &rows) const
{
    const qsizetype n = m_fields.size();
    QList<QMetaType> types;
    types.reserve(n);
    for (const FieldDef &f : m_fields)
        types.append(storageType(f.type));
    TableStorage storage(m_fields);
    storage.reserve(qsizetype(rows.size()));
    for (Row &row : rows) {
        if (row.size() > n)
            row.resize(n);
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QVariant &v = row.at(c);
            if (!v.isValid())
                continue;
            const FieldType type = m_fields.at(c).type;
            if (v.metaType() == types.at(c)) {
                // of the type, yet perhaps a value the field does not take
                bool takenAsIs = true;
                switch (type) {
                case FieldType::SmallInt: takenAsIs = FieldValue::fitsInteger(type, v.toInt()); break;
                case FieldType::Float: takenAsIs = std::isfinite(v.toDouble()); break;
                case FieldType::Date: takenAsIs = writableDate(v.toDate()); break;
                case FieldType::DateTime:
                    takenAsIs = !v.toDateTime().isValid() || writableDate(v.toDateTime().date());
                    break;
                default: break;
                }
                if (takenAsIs)
                    continue;
            }
            row[c] = convertValue(type, v);
        }
        storage.appendRow(row);
    }
    rows.clear();
    return storage;
}

void MemTable::requireFitting(const TableStorage &rows) const
{
    // a default-made storage stands for no rows
    if (!rows.fits(m_fields) && !(rows.columnCount() == 0 && rows.empty()))
        throw TableStateError(QStringLiteral("The rows do not match the table's fields"));
}

void MemTable::appendRows(std::vector<Row> &&rows)
{
    requireWritable();
    checkBrowseMode();
    if (rows.empty())
        return;
    appendRows(normalizeRows(rows));
}

void MemTable::appendRows(TableStorage &&rows)
{
    requireWritable();
    requireFitting(rows);
    checkBrowseMode();
    if (rows.empty())
        return;
    const int first = recordCount();
    const int count = int(rows.size());
    if (notifying())
        beginInsertRows({}, first, first + count - 1);
    m_rows->append(std::move(rows));
    if (notifying())
        endInsertRows();
    moveTo(recordCount() - 1, false, false);
}

void MemTable::setRows(std::vector<Row> &&rows)
{
    requireWritable();
    install(normalizeRows(rows));
}

void MemTable::install(TableStorage &&rows)
{
    requireWritable();
    requireFitting(rows);
    if (rows.columnCount() != fieldCount())
        rows = TableStorage(m_fields);
    if (notifying())
        beginResetModel();
    // the old rows go with the argument, freed by its owner
    std::swap(*m_rows, rows);
    m_backup.clear();
    m_state = State::Browse; // an edit in progress went with the old rows
    if (notifying())
        endResetModel();
    m_recNo = m_rows->empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows->empty();
    setState(State::Browse);
    notifyCurrent();
}

// ---- freezing -----------------------------------------------------------

void MemTable::disableControls()
{
    if (m_freezeCount++ == 0) {
        m_viewRows = recordCount();
        m_viewColumns = fieldCount();
    }
}

void MemTable::enableControls()
{
    if (m_freezeCount == 0)
        return;
    if (m_freezeCount > 1) {
        --m_freezeCount;
        return;
    }
    // Views still see the frozen counts until the reset begins.
    beginResetModel();
    m_freezeCount = 0;
    endResetModel();
    notifyCurrent();
    if (m_notifiedState != m_state) {
        m_notifiedState = m_state;
        Q_EMIT stateChanged(m_state);
    }
}

// ---- model --------------------------------------------------------------

int MemTable::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return notifying() ? recordCount() : m_viewRows;
}

int MemTable::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return notifying() ? fieldCount() : m_viewColumns;
}

QString MemTable::displayText(FieldType type, const QVariant &value)
{
    if (!value.isValid())
        return {};
    switch (type) {
    case FieldType::String:
    case FieldType::Memo: return value.toString();
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::LargeInt: return QString::number(value.toLongLong());
    case FieldType::Float: return FieldValue::doubleText(value.toDouble());
    case FieldType::Boolean: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case FieldType::Date: return FieldValue::dateText(value.toDate());
    case FieldType::DateTime: return FieldValue::dateTimeDisplayText(value.toDateTime());
    }
    return {};
}

QVariant MemTable::data(const QModelIndex &index, int role) const
{
    // Bounds are checked against the real rows: frozen views may ask for
    // rows that are gone.
    if (!index.isValid() || index.row() >= recordCount() || index.column() >= fieldCount())
        return {};
    const FieldType type = m_fields.at(index.column()).type;
    const QVariant v = m_rows->value(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (type == FieldType::Boolean)
            return {};
        return v.isValid() ? QVariant(displayText(type, v)) : QVariant();
    case Qt::EditRole: return v;
    case Qt::CheckStateRole:
        if (type != FieldType::Boolean)
            return {};
        if (!v.isValid())
            return Qt::PartiallyChecked; // null: neither yes nor no
        return v.toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        switch (type) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::LargeInt:
        case FieldType::Float: return int(Qt::AlignRight | Qt::AlignVCenter);
        default: return {};
        }
    default: return {};
    }
}

bool MemTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= recordCount() || index.column() >= fieldCount() || !m_active || m_readOnly)
        return false;
    const FieldType type = m_fields.at(index.column()).type;
    QVariant newValue;
    if (role == Qt::CheckStateRole && type == FieldType::Boolean)
        newValue = value.toInt() == Qt::Checked;
    else if (role == Qt::EditRole)
        newValue = value;
    else
        return false;

    // A grid edit changes one cell of one row: it becomes the current row and
    // is posted at once, unless that row was already being edited.
    const bool ownEdit = !(isEditing() && m_recNo == index.row());
    try {
        if (ownEdit) {
            setRecNo(index.row());
            edit();
        }
        setValue(index.column(), newValue);
        if (ownEdit)
            post();
        return true;
    } catch (const Error &) {
        if (ownEdit && isEditing())
            cancel();
        return false;
    }
}

Qt::ItemFlags MemTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (m_active && !m_readOnly && index.row() < recordCount() && index.column() < fieldCount()) {
        if (m_fields.at(index.column()).type == FieldType::Boolean)
            f |= Qt::ItemIsUserCheckable;
        else
            f |= Qt::ItemIsEditable;
    }
    return f;
}

QVariant MemTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= fieldCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        const FieldDef &f = m_fields.at(section);
        return f.displayLabel.isEmpty() ? f.name : f.displayLabel;
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool MemTable::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= fieldCount()
        || (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    m_fields[section].displayLabel = value.toString();
    if (section < columnCount())
        Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

} // namespace Platform
