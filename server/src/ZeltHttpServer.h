#pragma once

#include "HttpTypes.h"
#include "RequestLog.h"
#include "Router.h"
#include "WorkerPool.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <memory>

class QTcpSocket;
struct ServerContext;

// What one connection may send and how long it may take.
struct ConnectionLimits
{
    qint64 maxRequestLine = 64 * 1024; // longer: 414
    qint64 maxHeaderBytes = 32 * 1024; // header fields after the request line; more: 431
    int maxHeaderFields = 100; // more: 431
    qint64 maxBodyBytes = 1024 * 1024; // larger: 413 (the body is read and dropped)
    qint64 hardBodyFactor = 16; // a body beyond this many times the limit: 413 and closed at once
    int headerTimeoutMs = 10000; // from a request's first byte (or a new connection) to its blank line
    int bodyTimeoutMs = 30000; // longest pause while a body is arriving
    int idleTimeoutMs = 60000; // a kept-alive connection with no request is closed after this
    int maxConnections = 512; // beyond: 503 and closed
};

class ZeltHttpServer;

// One client connection: reads requests one at a time, hands each to a
// worker and writes the answer when the worker is done. Lives on the main
// thread with its socket.
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    HttpConnection(QTcpSocket *socket, ZeltHttpServer &server);
    ~HttpConnection() override;

    // Writes the answer to the request in progress (main thread).
    void finish(Response response);
    // Answers without a request (refusals of the connection layer) and closes.
    void refuse(int status, const QString &message, const QList<QPair<QByteArray, QByteArray>> &headers = {});

Q_SIGNALS:
    void closed();

private:
    enum class State { Idle, Headers, Body, Busy, Closing };

    void onReadyRead();
    void onTimeout();
    void parse();
    bool parseHead(qsizetype headEnd);
    void startRequest();
    void write(const Response &response, bool keepAlive);
    void logRequest(int status, qint64 bytes);
    void close();
    void waitForRequest(int timeoutMs);

    QTcpSocket *m_socket;
    ZeltHttpServer &m_server;
    QByteArray m_buffer;
    State m_state = State::Idle;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QString m_peer;

    // the request being read or answered
    QByteArray m_method;
    QByteArray m_target;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    qint64 m_contentLength = 0;
    bool m_discardBody = false; // over the limit: read and dropped, then 413
    bool m_keepAlive = true;
    QByteArray m_body;
};

// The HTTP front: accepts connections on 127.0.0.1, parses requests itself
// (so that it can bound what a client may send and for how long), checks the
// token and the menus the route needs, and runs the handler on a worker
// thread. Nothing a handler throws leaves dispatch.
class ZeltHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Pools
    {
        int workers = 8; // ordinary requests, one database connection each
        int heavyWorkers = 1; // sign-ins (password hashing)
    };

    ZeltHttpServer(ServerContext &ctx, const Router &router, const RequestLog &log, ConnectionLimits limits,
                   Pools pools, QObject *parent = nullptr);
    ~ZeltHttpServer() override;

    // Binds 127.0.0.1 only; port 0 picks a free one. Returns the port, or 0.
    quint16 listenLocal(quint16 port);

    const ConnectionLimits &limits() const { return m_limits; }
    const RequestLog &log() const { return m_log; }
    int openConnections() const { return m_open; }

    // From HttpConnection: runs the request on a worker; false when the
    // queue is full.
    bool submit(HttpConnection *connection, Request request);
    void connectionClosed();

private:
    class Listener;
    void accept(QTcpSocket *socket);
    Response dispatch(Request &request);

    ServerContext &m_ctx;
    const Router &m_router;
    const RequestLog &m_log;
    ConnectionLimits m_limits;
    std::unique_ptr<WorkerPool> m_workers;
    std::unique_ptr<WorkerPool> m_heavy;
    int m_open = 0;
    QTimer m_trim;
};
