#pragma once

#include "com_global.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// Reading JSON from the server, which is untrusted: parsing never raises, and
// the typed reads raise JsonMemberError naming the path, never crash.
namespace Platform::Json {

// The value of a JSON text of any kind (object, array, string, number, bool,
// null). Undefined for malformed or empty text, so a caller tells a bad body
// (isUndefined) from an object (isObject), an array (isArray) or anything
// else.
COM_EXPORT QJsonValue parse(const QByteArray &text);
COM_EXPORT QJsonValue parse(const QString &text);

// The member at a dotted path ("token.access"); a segment that is a number
// indexes an array ("data.0.name"). An empty path is the root itself.
// Undefined when anything on the way is absent or of another kind.
COM_EXPORT QJsonValue find(const QJsonValue &root, const QString &path);

// Typed reads at a path. Each raises JsonMemberError when the member is
// missing or of another kind; none converts between kinds (a number in a
// string is not a number). getInt and getInt64 take integral numbers within
// their range only.
COM_EXPORT QString getString(const QJsonValue &root, const QString &path);
COM_EXPORT int getInt(const QJsonValue &root, const QString &path);
COM_EXPORT qint64 getInt64(const QJsonValue &root, const QString &path);
COM_EXPORT double getDouble(const QJsonValue &root, const QString &path);
COM_EXPORT bool getBool(const QJsonValue &root, const QString &path);
COM_EXPORT QJsonObject getObject(const QJsonValue &root, const QString &path);
COM_EXPORT QJsonArray getArray(const QJsonValue &root, const QString &path);

} // namespace Platform::Json
