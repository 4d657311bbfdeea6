#include "JsonUtil.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringList>

#include <cmath>

QJsonObject parseObjectBody(const QByteArray &body)
{
    if (body.trimmed().isEmpty())
        throw HttpError(400, QStringLiteral("Request body is empty; a JSON object is expected."));
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        throw HttpError(400,
                        QStringLiteral("Malformed JSON at offset %1: %2.").arg(error.offset).arg(error.errorString()));
    }
    if (!doc.isObject())
        throw HttpError(400, QStringLiteral("Request body must be a JSON object."));
    return doc.object();
}

FieldReader::FieldReader(const QJsonObject &object, Mode mode, QString rowLabel)
    : m_object(object)
    , m_mode(mode)
    , m_rowLabel(std::move(rowLabel))
{ }

bool FieldReader::has(const QString &key) const
{
    const auto it = m_object.constFind(key);
    return it != m_object.constEnd() && !it->isNull() && !it->isUndefined();
}

void FieldReader::fail(const QString &key, const QString &message)
{
    if (failed(key))
        return;
    const QString text =
        m_rowLabel.isEmpty() ? message : message + QStringLiteral(" (") + m_rowLabel + QLatin1Char(')');
    m_errors.append(QJsonObject { { QStringLiteral("key"), key }, { QStringLiteral("message"), text } });
}

bool FieldReader::failed(const QString &key) const
{
    for (const QJsonValue &e : m_errors) {
        if (e.toObject().value(QStringLiteral("key")).toString() == key)
            return true;
    }
    return false;
}

void FieldReader::throwIfErrors() const
{
    if (!m_errors.isEmpty())
        throw ValidationError(m_errors);
}

bool FieldReader::requiredMissing(const QString &key, bool required)
{
    if (!required)
        return false;
    const bool present = m_object.contains(key);
    if (m_mode == Mode::Create || present) {
        if (!has(key)) {
            fail(key, key + QStringLiteral(" is required"));
            return true;
        }
    }
    return false;
}

std::optional<QString> FieldReader::string(const QString &key, bool required, int maxLength, bool trim)
{
    if (requiredMissing(key, required) || !has(key))
        return std::nullopt;
    const QJsonValue v = m_object.value(key);
    if (!v.isString()) {
        fail(key, key + QStringLiteral(" must be a string"));
        return std::nullopt;
    }
    const QString text = trim ? v.toString().trimmed() : v.toString();
    // PostgreSQL refuses it in text (the request would end in a 500)
    if (text.contains(QChar(0))) {
        fail(key, key + QStringLiteral(" must not contain a NUL character"));
        return std::nullopt;
    }
    if (required && text.isEmpty()) {
        fail(key, key + QStringLiteral(" is required"));
        return std::nullopt;
    }
    if (maxLength > 0 && text.size() > maxLength) {
        fail(key, key + QStringLiteral(" must be at most %1 characters").arg(maxLength));
        return std::nullopt;
    }
    return text;
}

std::optional<qint64> FieldReader::integer(const QString &key, bool required, qint64 min, qint64 max)
{
    if (requiredMissing(key, required) || !has(key))
        return std::nullopt;
    const QJsonValue v = m_object.value(key);
    const double d = v.toDouble();
    // 2^53: beyond it a JSON number no longer names one integer
    if (!v.isDouble() || !std::isfinite(d) || std::floor(d) != d || std::fabs(d) > 9007199254740992.0) {
        fail(key, key + QStringLiteral(" must be an integer"));
        return std::nullopt;
    }
    const auto value = static_cast<qint64>(d);
    if (value < min || value > max) {
        fail(key, key + QStringLiteral(" must be between %1 and %2").arg(min).arg(max));
        return std::nullopt;
    }
    return value;
}

std::optional<bool> FieldReader::boolean(const QString &key, bool required)
{
    if (requiredMissing(key, required) || !has(key))
        return std::nullopt;
    const QJsonValue v = m_object.value(key);
    if (v.isBool())
        return v.toBool();
    if (v.isDouble() && (v.toDouble() == 0.0 || v.toDouble() == 1.0))
        return v.toDouble() == 1.0;
    fail(key, key + QStringLiteral(" must be a boolean"));
    return std::nullopt;
}

Response validationResponse(const QJsonArray &errors)
{
    QStringList texts;
    for (const QJsonValue &e : errors)
        texts << e.toObject().value(QStringLiteral("message")).toString();
    return Response::json(400,
                          QJsonObject { { QStringLiteral("errors"), errors },
                                        { QStringLiteral("message"), texts.join(QStringLiteral("; ")) } });
}
