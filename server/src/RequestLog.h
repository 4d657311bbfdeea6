#pragma once

#include <QByteArray>
#include <QString>

// One line per request on standard output:
// time, client address, method, path and query, status, body bytes, time taken.
class RequestLog
{
public:
    explicit RequestLog(bool enabled) : m_enabled(enabled) {}

    void write(const QString &client, const QByteArray &method, const QString &target, int status,
               qint64 bytes, qint64 elapsedMs) const;
    // Server events that are not requests (start, stop, dropped connections).
    void note(const QString &text) const;

private:
    bool m_enabled;
};
