#pragma once

#include "com_global.h"
#include "MemTable.h"
#include "TableStorage.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// Moving rows between JSON and in-memory tables.
//
// A JSON member maps to the field whose lower-case name equals the member's
// name; other members are ignored, and a field without a member is null in a
// new row. Output members are the lower-case field names.
//
// JSON to field values (valueFromJson). A value that does not fit its field
// becomes null, never a different value, and never raises:
//   String, Memo  string as is; number as its shortest text ("12", "1.5",
//                 integers exactly, without ".0"); bool "true"/"false";
//                 object or array as compact JSON text. A declared size is
//                 not enforced: the server's text is kept whole, so nothing is
//                 lost on the way back. (Integers beyond 64 bits reach us as
//                 doubles and keep only their double text.)
//   Integer, SmallInt, LargeInt
//                 integral numbers within the field's range (32, 16, 64 bits;
//                 64-bit values exactly); numeric text with an integral value
//                 ("42", " 42 ", "4.2e1", read exactly from its digits); bool
//                 1/0. A fraction, an out-of-range number, other text, objects
//                 and arrays: null. A number written with a fraction or an
//                 exponent is read as a double, which holds every integer
//                 exactly only up to 2^53: beyond that it is null too (JSON
//                 9007199254740993.0 would otherwise load as ...992). Qt's
//                 document keeps such a number as an integer, as it does an
//                 integer literal: from a QJsonValue, an integer beyond 2^53
//                 that a double can hold is therefore null as well. The list
//                 reader and the table operations below see the text and
//                 load literals exactly.
//   Float         numbers; numeric text in C notation ("1.5", "-2e3"); bool
//                 1/0; anything else null.
//   Boolean       bool; a number is true when not 0; text "true"/"false" (any
//                 letter case), "1", "0"; anything else null.
//   Date          text "yyyy-MM-dd", or an ISO date-time whose date part is
//                 taken as written; anything else (numbers too) null.
//   DateTime      ISO date-time with 'T' or a space, seconds and milliseconds
//                 optional, with "Z", an offset or no zone (local time);
//                 "yyyy-MM-dd HH:mm:ss"; a plain date (start of that day,
//                 local time); anything else null.
//   JSON null (and a missing member) is null for every type.
//
// Field values to JSON (valueToJson): null as JSON null, text as string,
// integers as exact numbers, Float as number (null when not finite), Boolean
// as bool, Date as "yyyy-MM-dd", DateTime as ISO 8601 keeping its zone ("Z",
// "+07:00", or none for local time) with milliseconds only when set.
//
// An element of a row array that is not an object is skipped: it is not a row,
// and inventing an empty row for it would show a row the server never sent.
// The builders count the skipped elements.
namespace Platform::JsonDataSet {

using FieldList = QList<MemTable::FieldDef>;

COM_EXPORT QVariant valueFromJson(MemTable::FieldType type, const QJsonValue &value);
COM_EXPORT QJsonValue valueToJson(MemTable::FieldType type, const QVariant &value);

// ---- building rows off the user-interface thread --------------------------
// These touch no table and no shared state: safe on any thread, the field
// list being a copy the caller took from the table beforehand.

COM_EXPORT std::vector<MemTable::Row> rowsFromJsonArray(const FieldList &fields, const QJsonArray &array,
                                                        qsizetype *skippedElements = nullptr);

// The same rows in a table's column storage, ready for MemTable::install().
COM_EXPORT TableStorage storageFromJsonArray(const FieldList &fields, const QJsonArray &array,
                                             qsizetype *skippedElements = nullptr);

// A response body turned into rows in one go, keeping the envelope's other
// members (such as "pages"). Everything the parse needed is released where
// this ran, so the thread that installs the rows pays nothing for it.
struct COM_EXPORT ParsedRows
{
    bool isObject = false; // the body is a JSON object
    bool hasArray = false; // ... and its member was an array (rows holds it)
    TableStorage rows; // columns of the given fields' types
    qsizetype skippedElements = 0;
    QJsonObject others; // every member of the object except that array

    // Undefined when absent. A member named like the array but of another
    // kind (an object, say) is found here.
    QJsonValue member(const QString &name) const { return others.value(name); }
};

// Bodies are read with simdjson where it reads them exactly as QJsonDocument
// would, and by QJsonDocument otherwise (see JsonRowReader_p.h). The body's
// spare capacity beyond its size is used as the parser's padding: a body
// gathered with HttpResponse's reserve (HttpClient) is read without a copy.
COM_EXPORT ParsedRows parseArrayMember(const FieldList &fields, const QByteArray &body, const QString &property);

// The rows of the array member `inner` of the object member `outer` of a
// JSON object text (a document's detail lines), read from the text as
// parseArrayMember reads, so that integers beyond 2^53 come in exactly.
// Empty when the text does not hold exactly one such array (a member
// missing, of another kind or written twice): the caller reads the rows
// from the document instead.
COM_EXPORT std::optional<TableStorage> nestedArrayRows(const FieldList &fields, const QByteArray &text,
                                                       const QString &outer, const QString &inner);
// The object member `member` of a JSON object text (a record answered as
// "data": {...}) as one row, read the same way; empty as above.
COM_EXPORT std::optional<TableStorage> objectMemberRow(const FieldList &fields, const QByteArray &text,
                                                       const QString &member);

// parseArrayMember for a body that arrives in pieces: the rows are read a
// window at a time while it arrives, and the text of the rows read is let go,
// so that the body is never held whole. The outcome is the same as
// parseArrayMember's for the whole body, malformed bodies included. One
// thread at a time; finish() once, after the last piece.
class COM_EXPORT ArrayMemberReader
{
public:
    // How much text simdjson indexes at a time: its index, the window
    // and the rows' text stay in the caches (larger windows were slower).
    static constexpr qsizetype DefaultWindowBytes = qsizetype(256) << 10;
    // A body up to this size is better read whole once it is in (one index,
    // no window copies, nothing to overlap worth the hand-over).
    static constexpr qsizetype WholeBodyBytes = qsizetype(1) << 20;

    explicit ArrayMemberReader(const FieldList &fields, const QString &property,
                               qsizetype windowBytes = DefaultWindowBytes);
    ~ArrayMemberReader();
    ArrayMemberReader(const ArrayMemberReader &) = delete;
    ArrayMemberReader &operator=(const ArrayMemberReader &) = delete;

    // The body's announced length, for the room the rows will need. A
    // length beyond what the client takes at all (MaxExpectedBytes) is not
    // believed: the rows grow as they come.
    static constexpr qsizetype MaxExpectedBytes = qsizetype(512) << 20;
    void expectSize(qsizetype bytes);
    void append(const char *data, qsizetype size);
    ParsedRows finish();
    // After finish(): whether every row was read in windows, none left to
    // QJsonDocument.
    bool readItself() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// ---- table operations (user-interface thread) ---------------------------

// Appends one row per element of the array member `property` of the JSON
// object text, in one batched insert. Raises JsonMemberError when the text is
// not an object or the member is missing or not an array (the table is then
// unchanged), TableStateError when the table is closed or read-only.
COM_EXPORT void loadJsonArrayFromObjectProperty(MemTable &table, const QString &property,
                                                const QString &jsonObjectText);

// Writes the object member `property` into the current row, which the caller
// has put into edit or insert state. Fields without a member keep their
// value. Raises JsonMemberError (text not an object, member missing or not an
// object) or TableStateError (not editing), with the row unchanged.
COM_EXPORT void loadJsonObjectFromObjectProperty(MemTable &table, const QString &property,
                                                 const QString &jsonObjectText);

// Appends one row per element of a JSON array text. Raises JsonMemberError
// when the text is not an array.
COM_EXPORT void loadFromJsonArrayString(MemTable &table, const QString &jsonArrayText);

// The current row, every field a member. Raises TableStateError without one.
COM_EXPORT QJsonObject asJsonObject(const MemTable &table);
// All rows, in table order, as compact JSON array text ("[]" when empty).
COM_EXPORT QString asJsonArrayString(const MemTable &table);
COM_EXPORT QJsonArray asJsonArray(const MemTable &table);

} // namespace Platform::JsonDataSet
