#include "HttpTypes.h"

QByteArray Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

bool Request::hasQuery(const QString &name) const
{
    for (const auto &q : query) {
        if (q.first == name)
            return true;
    }
    return false;
}

QString Request::queryValue(const QString &name) const
{
    for (const auto &q : query) {
        if (q.first == name)
            return q.second;
    }
    return {};
}

std::optional<qint64> Request::queryInt(const QString &name) const
{
    const QString text = queryValue(name).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok)
        throw HttpError(400, QStringLiteral("Query parameter \"%1\" must be an integer.").arg(name));
    return value;
}

Response Response::json(int status, const QJsonObject &object)
{
    Response r;
    r.status = status;
    r.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return r;
}

Response Response::message(int status, const QString &text)
{
    return json(status, QJsonObject { { QStringLiteral("message"), text } });
}

Response Response::data(int status, const QJsonValue &data)
{
    return json(status, QJsonObject { { QStringLiteral("data"), data } });
}

HttpError::HttpError(int status, const QString &message)
    : std::runtime_error(message.toStdString())
    , m_status(status)
    , m_message(message)
{ }

ValidationError::ValidationError(QJsonArray errors)
    : std::runtime_error("validation failed")
    , m_errors(std::move(errors))
{ }
