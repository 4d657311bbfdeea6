#pragma once

// Internal to com: the fast path of JsonDataSet::parseArrayMember.

#include "JsonDataSet.h"

#include <QByteArray>
#include <QString>

namespace Platform::JsonDataSet::detail {

// Reads the array member `property` of a JSON object text straight into
// rows, without building a document first, with the conversions of
// valueFromJson. Returns false, leaving `out` to be discarded, for any text
// it does not take whole (malformed JSON, anything unusual such as escaped
// surrogates, deep nesting or a repeated envelope member): the general path
// then decides, so the outcome never differs from it. Exported for the
// tests that hold it to that.
COM_EXPORT bool readArrayMember(const FieldList &fields, const QByteArray &body, const QString &property, ParsedRows &out);

} // namespace Platform::JsonDataSet::detail
