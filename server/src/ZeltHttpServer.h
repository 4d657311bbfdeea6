#pragma once

#include "RequestLog.h"
#include "Router.h"

#include <QAbstractHttpServer>
#include <QTcpServer>
#include <QTcpSocket>

struct ServerContext;

// Counts what a client has sent since its last complete request, so that a
// body far beyond the limit is cut off before it fills the memory.
class CountingSocket : public QTcpSocket
{
    Q_OBJECT
public:
    explicit CountingSocket(QObject *parent = nullptr) : QTcpSocket(parent) {}
    qint64 received = 0;
    bool refused = false;
};

class CountingTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    CountingTcpServer(qint64 hardLimit, const RequestLog &log, QObject *parent = nullptr)
        : QTcpServer(parent), m_hardLimit(hardLimit), m_log(log)
    {
    }

protected:
    void incomingConnection(qintptr handle) override;

private:
    qint64 m_hardLimit;
    const RequestLog &m_log;
};

// The HTTP front: turns Qt's requests into ours, checks the token the route
// needs, runs the handler and answers every failure as JSON. Nothing a
// handler throws leaves handleRequest.
class ZeltHttpServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    ZeltHttpServer(ServerContext &ctx, const Router &router, const RequestLog &log, qint64 maxBodyBytes,
                   QObject *parent = nullptr);

    // Binds 127.0.0.1 only; port 0 picks a free one. Returns the port, or 0.
    quint16 listenLocal(quint16 port);

    static constexpr int kHardLimitFactor = 16;

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    Response dispatch(Request &request);

    ServerContext &m_ctx;
    const Router &m_router;
    const RequestLog &m_log;
    qint64 m_maxBodyBytes;
};
