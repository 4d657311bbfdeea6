#pragma once

#include "com_global.h"

#include <QString>
#include <QByteArray>
#include <exception>

namespace Platform {

// The one exception family of the client. Where a failure has to travel
// (a background task, a transport error) it travels as one of these, and its
// message is what the user is shown.
class COM_EXPORT Error : public std::exception
{
public:
    explicit Error(QString message);
    ~Error() override;

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A key that is already present (parameter sets, registries).
class COM_EXPORT DuplicateKeyError : public Error
{
public:
    using Error::Error;
};

// A name that nothing is registered under (classes, fields, languages).
class COM_EXPORT NotFoundError : public Error
{
public:
    using Error::Error;
};

// A value that cannot become the type asked for.
class COM_EXPORT ConversionError : public Error
{
public:
    using Error::Error;
};

// A typed JSON read whose member is absent or of another kind.
class COM_EXPORT JsonMemberError : public Error
{
public:
    using Error::Error;
};

// What kind of thing kept a request from its answer; the user is told in
// those terms, the message keeps the technical detail.
enum class TransportFailure {
    Other, // cancelled, shut down, bad URL, no client ...
    NoConnection, // refused, host not found, no network
    Timeout, // nothing (more) came in time
    BrokenAnswer, // the server closed early, or sent something that is not HTTP
};

// A request that got no HTTP response: refused, timed out, reset, bad URL.
class COM_EXPORT TransportError : public Error
{
public:
    explicit TransportError(QString message, TransportFailure kind = TransportFailure::Other)
        : Error(std::move(message))
        , m_kind(kind)
    { }
    TransportFailure kind() const noexcept { return m_kind; }

private:
    TransportFailure m_kind;
};

// A table operation out of place (post without edit, write to a read-only
// table, no current row).
class COM_EXPORT TableStateError : public Error
{
public:
    using Error::Error;
};

// The message of whatever a task threw, for the error handlers.
COM_EXPORT QString messageOf(const std::exception &e);
COM_EXPORT QString messageOf(const std::exception_ptr &e);

} // namespace Platform
