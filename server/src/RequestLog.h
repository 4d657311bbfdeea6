#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

// One line per request on standard output:
// time, client address, method and target, status, body bytes, time taken.
// The method and target are written as the client sent them, never decoded:
// bytes outside printable ASCII, '"' and '\' appear as \xHH, so that no
// request can add a line or a column of its own. Safe to call from any thread.
class RequestLog
{
public:
    explicit RequestLog(bool enabled)
        : m_enabled(enabled)
    { }

    void write(const QString &client, const QByteArray &method, const QByteArray &target, int status, qint64 bytes,
               qint64 elapsedMs) const;
    // Server events that are not requests (start, stop, dropped connections).
    void note(const QString &text) const;

    // The escaping of write(), for the tests of the line format.
    static QString escaped(const QByteArray &raw);

private:
    void emitLine(const QString &line) const;

    bool m_enabled;
    mutable QMutex m_mutex;
};
