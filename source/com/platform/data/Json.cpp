#include "Json.h"
#include "Errors.h"

#include <QJsonDocument>
#include <limits>

namespace Platform::Json {

namespace {

QJsonValue parseDocument(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return QJsonValue(QJsonValue::Undefined);
    if (doc.isObject())
        return doc.object();
    if (doc.isArray())
        return doc.array();
    return QJsonValue(QJsonValue::Undefined);
}

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

QString kindName(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

QJsonValue require(const QJsonValue &root, const QString &path, QJsonValue::Type kind, const char *wanted)
{
    const QJsonValue v = find(root, path);
    if (v.isUndefined())
        throw JsonMemberError(QStringLiteral("JSON member \"%1\" is missing").arg(path));
    if (v.type() != kind)
        throw JsonMemberError(
            QStringLiteral("JSON member \"%1\" is not %2 but %3").arg(path, QLatin1StringView(wanted), kindName(v)));
    return v;
}

qint64 requireInteger(const QJsonValue &root, const QString &path, qint64 min, qint64 max)
{
    const QJsonValue v = require(root, path, QJsonValue::Double, "a number");
    // Two defaults tell a real 0 from "not an integer" without a trip through
    // double, which would lose 64-bit values.
    const qint64 i = v.toInteger(0);
    if ((i == 0 && v.toInteger(1) != 0) || i < min || i > max)
        throw JsonMemberError(QStringLiteral("JSON member \"%1\" is not an integer in range: %2")
                                  .arg(path, QString::number(v.toDouble(), 'g', 17)));
    return i;
}

} // namespace

QJsonValue parse(const QByteArray &text)
{
    // QJsonDocument takes only objects and arrays; any other value is read
    // as the one element of an array around it.
    qsizetype i = 0;
    if (text.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < text.size() && isJsonSpace(text.at(i)))
        ++i;
    if (i == text.size())
        return QJsonValue(QJsonValue::Undefined);
    const char c = text.at(i);
    if (c == '{' || c == '[')
        return parseDocument(text);
    const QJsonValue wrapped = parseDocument('[' + text.mid(i) + ']');
    if (!wrapped.isArray())
        return QJsonValue(QJsonValue::Undefined);
    const QJsonArray array = wrapped.toArray();
    if (array.size() != 1)
        return QJsonValue(QJsonValue::Undefined);
    return array.at(0);
}

QJsonValue parse(const QString &text)
{
    return parse(text.toUtf8());
}

QJsonValue find(const QJsonValue &root, const QString &path)
{
    if (path.isEmpty())
        return root;
    QJsonValue current = root;
    for (const QStringView segment : QStringView(path).split(u'.')) {
        if (segment.isEmpty())
            return QJsonValue(QJsonValue::Undefined);
        if (current.isObject()) {
            current = current.toObject().value(segment);
        } else if (current.isArray()) {
            bool ok = false;
            const qsizetype index = segment.toLongLong(&ok);
            const QJsonArray array = current.toArray();
            if (!ok || index < 0 || index >= array.size() || segment.front() == u'+')
                return QJsonValue(QJsonValue::Undefined);
            current = array.at(index);
        } else {
            return QJsonValue(QJsonValue::Undefined);
        }
        if (current.isUndefined())
            return current;
    }
    return current;
}

QString getString(const QJsonValue &root, const QString &path)
{
    return require(root, path, QJsonValue::String, "a string").toString();
}

int getInt(const QJsonValue &root, const QString &path)
{
    return int(requireInteger(root, path, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

qint64 getInt64(const QJsonValue &root, const QString &path)
{
    return requireInteger(root, path, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
}

double getDouble(const QJsonValue &root, const QString &path)
{
    return require(root, path, QJsonValue::Double, "a number").toDouble();
}

bool getBool(const QJsonValue &root, const QString &path)
{
    return require(root, path, QJsonValue::Bool, "a boolean").toBool();
}

QJsonObject getObject(const QJsonValue &root, const QString &path)
{
    return require(root, path, QJsonValue::Object, "an object").toObject();
}

QJsonArray getArray(const QJsonValue &root, const QString &path)
{
    return require(root, path, QJsonValue::Array, "an array").toArray();
}

} // namespace Platform::Json
