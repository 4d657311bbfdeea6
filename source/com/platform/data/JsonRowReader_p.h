#pragma once

// Internal to com: the fast path of JsonDataSet::parseArrayMember.

#include "JsonDataSet.h"

#include <QByteArray>
#include <QString>

namespace Platform::JsonDataSet::detail {

// simdjson indexes a window of this size at a time.
constexpr qsizetype DefaultWindowBytes = ArrayMemberReader::DefaultWindowBytes;

// Reads the array member `property` of a JSON object text straight into
// column storage with simdjson (On-Demand), with the conversions of
// valueFromJson. Returns false, leaving `out` to be discarded, for any text
// it does not take whole: malformed JSON, and what simdjson and Qt's parser
// read differently (raw control characters in strings, byte-order marks,
// numbers beyond the double range, escaped lone surrogates, deep nesting, a
// repeated envelope member). The general path then decides, so the outcome
// never differs from QJsonDocument's. Exported for the tests that hold it to
// that.
//
// A body larger than windowBytes is read a window at a time (0: whole).
COM_EXPORT bool readArrayMember(const FieldList &fields, const QByteArray &body, const QString &property,
                                ParsedRows &out, qsizetype windowBytes = DefaultWindowBytes);
// The windowed reading alone (ArrayMemberReader), without falling back to
// simdjson reading whole: true when the windows took every row, for the
// tests that check it takes what it should. `out` is the outcome either way.
COM_EXPORT bool readInWindows(const FieldList &fields, const QByteArray &body, const QString &property, ParsedRows &out,
                              qsizetype windowBytes);

// What QJsonDocument makes of the body: the path for whatever the direct
// readers leave.
ParsedRows documentRows(const FieldList &fields, const QByteArray &body, const QString &property);

} // namespace Platform::JsonDataSet::detail
