#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <stdexcept>

// Who sent a request, once its bearer token has been checked.
struct Principal
{
    qint64 id = 0; // user_id or cust_id, by kind
    QString email; // users only
    QString fullName;
    QString langCode;
    qint64 roleId = 0;
};

// One request as the handlers see it: decoded path, query and body.
struct Request
{
    QByteArray method; // upper case: GET, POST, ...
    QString path; // decoded, normalised (no double or trailing slash)
    QList<QPair<QString, QString>> query; // decoded, in the order sent
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QString clientAddress; // of the TCP peer
    QHash<QString, QString> pathParams; // filled by the router
    Principal principal; // filled after the token check

    QByteArray header(const QByteArray &name) const;
    bool hasQuery(const QString &name) const;
    // First value of a query parameter; empty when absent.
    QString queryValue(const QString &name) const;
    // Integer query parameter: nullopt when absent or empty; throws a 400
    // naming the parameter when it is present and not an integer.
    std::optional<qint64> queryInt(const QString &name) const;
};

struct Response
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> extraHeaders;
    qint64 delayMs = 0; // held back this long before it is sent (throttled sign-in)

    static Response json(int status, const QJsonObject &object);
    static Response message(int status, const QString &text);
    static Response data(int status, const QJsonValue &data);
};

// A refusal with a general message: answered as {"message": text}.
class HttpError : public std::runtime_error
{
public:
    HttpError(int status, const QString &message);
    int status() const { return m_status; }
    QString message() const { return m_message; }

private:
    int m_status;
    QString m_message;
};

// Field-level refusal: answered 400 as {"errors": [{"key", "message"}...], "message"}.
class ValidationError : public std::runtime_error
{
public:
    explicit ValidationError(QJsonArray errors);
    const QJsonArray &errors() const { return m_errors; }

private:
    QJsonArray m_errors;
};
