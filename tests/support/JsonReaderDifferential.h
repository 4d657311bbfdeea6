#pragma once

// The differential check of the list reader, shared by its test
// (tests/data/tst_jsonrowreader.cpp) and its fuzz target (tests/fuzz): the
// direct reader must agree with QJsonDocument on rows, value types, skipped
// elements, other members and the verdict on malformed text.

#include "JsonDataSet.h"
#include "JsonRowReader_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace JsonReaderDifferential {

namespace JsonDataSet = Platform::JsonDataSet;
using FT = Platform::MemTable::FieldType;

inline JsonDataSet::FieldList fields()
{
    const std::pair<const char *, FT> defs[] = {
        { "id", FT::Integer },   { "Name", FT::String },         { "note", FT::Memo },  { "small", FT::SmallInt },
        { "big", FT::LargeInt }, { "price", FT::Float },         { "ok", FT::Boolean }, { "day", FT::Date },
        { "at", FT::DateTime },  { "na\xc3\xafve", FT::String },
    };
    JsonDataSet::FieldList list;
    for (const auto &[name, type] : defs)
        list.append({ QString::fromUtf8(name), type, 0, QString() });
    return list;
}

// A parse's outcome with its rows as QVariants.
struct Outcome
{
    bool isObject = false;
    bool hasArray = false;
    qsizetype skippedElements = 0;
    QJsonObject others;
    std::vector<Platform::MemTable::Row> rows;
};

inline Outcome outcome(const JsonDataSet::ParsedRows &p)
{
    Outcome o { p.isObject, p.hasArray, p.skippedElements, p.others, {} };
    for (qsizetype r = 0; r < p.rows.size(); ++r)
        o.rows.push_back(p.rows.row(r));
    return o;
}

// What the document path gives, through the row builder that works on
// QVariants (no column storage on the way).
inline Outcome reference(const JsonDataSet::FieldList &f, const QByteArray &body, const QString &property)
{
    Outcome r;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return r;
    r.isObject = true;
    QJsonObject envelope = doc.object();
    if (envelope.value(property).isArray()) {
        r.hasArray = true;
        r.rows = JsonDataSet::rowsFromJsonArray(f, envelope.take(property).toArray(), &r.skippedElements);
    }
    r.others = envelope;
    return r;
}

// An integer literal beyond 2^53 that a double could hold: the list reader
// loads it exactly, the document path (which cannot tell it from a rounded
// number) as null. The one documented difference; tst_jsondataset checks it.
inline bool ambiguousInteger(const QVariant &v)
{
    if (v.metaType().id() != QMetaType::LongLong)
        return false;
    const qint64 i = v.toLongLong();
    const double d = double(i);
    return std::abs(d) >= 9007199254740992.0 && d < 9223372036854775808.0 && qint64(d) == i;
}

// All a parse gives, as text: kinds and values of every cell included.
inline QString summary(const Outcome &p)
{
    QString text = QString::fromUtf8(QJsonDocument(p.others).toJson(QJsonDocument::Compact));
    text += QStringLiteral(" object %1 array %2 skipped %3").arg(p.isObject).arg(p.hasArray).arg(p.skippedElements);
    for (const auto &row : p.rows) {
        text += QStringLiteral("\nrow:");
        for (const QVariant &v : row) {
            // every UTF-16 unit shown, so that a dropped mark or surrogate shows
            QString value = v.metaType().id() == QMetaType::QString
                ? QString::fromLatin1(
                    QByteArray(reinterpret_cast<const char *>(v.toString().utf16()), v.toString().size() * 2).toHex())
                : v.toString();
            if (v.metaType().id() == QMetaType::QDateTime)
                value = v.toDateTime().toString(Qt::ISODateWithMs) + QString::number(int(v.toDateTime().timeSpec()));
            text += v.isValid() && !ambiguousInteger(v)
                ? QStringLiteral(" %1=%2").arg(QString::fromLatin1(v.metaType().name()), value)
                : QStringLiteral(" null");
        }
    }
    return text;
}

// Both ways of reading against the document path; whether the direct reader
// took the body goes to ADirect. Empty when all agree.
// Both ways of reading against the document path, the direct one read
// whole and in windows of windowBytes; whether it took the body whole goes
// to ADirect. Empty when all agree.
inline QString difference(const QByteArray &ABody, bool *ADirect, qsizetype windowBytes = 16, bool *AWindowed = nullptr)
{
    const auto f = fields();
    const QString data = QStringLiteral("data");
    const QString expected = summary(reference(f, ABody, data));
    auto mismatch = [&](const QString &how, const QString &got) -> QString {
        return how + QStringLiteral(": ") + got + QStringLiteral("\n  vs  \n") + expected + QStringLiteral("\nbody: ")
            + QString::fromUtf8(ABody.left(300));
    };
    JsonDataSet::ParsedRows direct;
    *ADirect = JsonDataSet::detail::readArrayMember(f, ABody, data, direct, 0);
    if (*ADirect && summary(outcome(direct)) != expected)
        return mismatch(QStringLiteral("whole"), summary(outcome(direct)));
    JsonDataSet::ParsedRows windowed;
    const bool tookWindowed = JsonDataSet::detail::readInWindows(f, ABody, data, windowed, windowBytes);
    if (AWindowed)
        *AWindowed = tookWindowed;
    if (tookWindowed) {
        const QString got = summary(outcome(windowed));
        if (got != expected)
            return mismatch(QStringLiteral("windows of %1").arg(windowBytes), got);
    }
    const QString got = summary(outcome(JsonDataSet::parseArrayMember(f, ABody, data)));
    if (got != expected)
        return mismatch(QStringLiteral("parseArrayMember"), got);
    // The body arriving in pieces and read while it arrives: the same outcome,
    // whatever the windows leave to the document parser once rows are read.
    for (const qsizetype piece : { qsizetype(1), qsizetype(7), ABody.size() }) {
        JsonDataSet::ArrayMemberReader stream(f, data, windowBytes);
        stream.expectSize(ABody.size());
        for (qsizetype i = 0; i < ABody.size(); i += piece)
            stream.append(ABody.constData() + i, std::min(piece, ABody.size() - i));
        const QString streamed = summary(outcome(stream.finish()));
        if (streamed != expected)
            return mismatch(QStringLiteral("pieces of %1, windows of %2").arg(piece).arg(windowBytes), streamed);
    }
    return {};
}

} // namespace JsonReaderDifferential
