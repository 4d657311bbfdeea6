#include "TestHttpServer.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWaitCondition>
#include <algorithm>
#include <deque>

namespace {

// Request heads beyond this are not HTTP as the client sends it.
constexpr qsizetype MaxHeadSize = 1 << 20;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 422: return "Unprocessable Entity";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (sameName(h.first, name))
            return h.second;
    }
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    return headerCount(name) > 0;
}

int RecordedRequest::headerCount(const QByteArray &name) const
{
    int n = 0;
    for (const auto &h : headers) {
        if (sameName(h.first, name))
            ++n;
    }
    return n;
}

QString RecordedRequest::queryValue(const QString &name) const
{
    for (const auto &q : queryItems) {
        if (q.first == name)
            return q.second;
    }
    return {};
}

bool RecordedRequest::hasQueryItem(const QString &name) const
{
    for (const auto &q : queryItems) {
        if (q.first == name)
            return true;
    }
    return false;
}

Reply Reply::json(const QByteArray &body, int status)
{
    Reply r;
    r.status = status;
    r.body = body;
    return r;
}

Reply Reply::text(const QByteArray &body, int status)
{
    Reply r = json(body, status);
    r.contentType = "text/plain; charset=utf-8";
    return r;
}

Reply Reply::withAction(Action action, const QByteArray &body)
{
    Reply r;
    r.action = action;
    r.body = body;
    return r;
}

class TestHttpServer::Private : public QThread
{
public:
    mutable QMutex mutex;
    mutable QWaitCondition arrived;
    QList<RecordedRequest> requests;
    std::deque<Reply> queue;
    Handler handler;
    int sequence = 0;
    int connections = 0;
    int closedByClient = 0; // connections the client closed

    quint16 port = 0;
    QSemaphore ready;

    // Records the request and picks its answer.
    Reply take(RecordedRequest &request)
    {
        Handler h;
        {
            QMutexLocker lock(&mutex);
            request.sequence = ++sequence;
            requests.append(request);
            arrived.wakeAll();
            if (!queue.empty()) {
                Reply r = std::move(queue.front());
                queue.pop_front();
                return r;
            }
            h = handler;
        }
        if (!h)
            return Reply::json("{}");
        try {
            return h(request);
        } catch (const std::exception &e) {
            return Reply::text(QByteArray("handler threw: ") + e.what(), 500);
        } catch (...) {
            return Reply::text("handler threw", 500);
        }
    }

protected:
    void run() override;
};

namespace {

class Connection : public QObject
{
public:
    Connection(TestHttpServer::Private *server, QTcpSocket *socket, int id, QObject *parent)
        : QObject(parent)
        , m_server(server)
        , m_socket(socket)
        , m_id(id)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            if (!m_closing) {
                QMutexLocker lock(&m_server->mutex);
                ++m_server->closedByClient;
                m_server->arrived.wakeAll();
            }
            deleteLater();
        });
    }

private:
    void onReadyRead()
    {
        if (m_done) {
            m_socket->readAll();
            return;
        }
        m_buffer += m_socket->readAll();
        process();
    }

    void process()
    {
        while (!m_busy && !m_done) {
            if (!m_haveHead) {
                const qsizetype end = m_buffer.indexOf("\r\n\r\n");
                if (end < 0) {
                    if (m_buffer.size() > MaxHeadSize) {
                        m_closing = true;
                        m_socket->abort();
                    }
                    return;
                }
                if (!parseHead(m_buffer.left(end))) {
                    writeAndClose("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    return;
                }
                m_buffer.remove(0, end + 4);
                m_haveHead = true;
            }
            if (m_buffer.size() < m_contentLength)
                return;
            m_request.body = m_buffer.left(m_contentLength);
            m_buffer.remove(0, m_contentLength);
            m_haveHead = false;
            handle();
        }
    }

    bool parseHead(const QByteArray &head)
    {
        m_request = RecordedRequest();
        m_request.connectionId = m_id;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        if (start.size() != 3 || !start.at(2).startsWith("HTTP/1."))
            return false;
        m_request.method = start.at(0);
        const QByteArray target = start.at(1);
        const qsizetype q = target.indexOf('?');
        m_request.rawPath = q < 0 ? target : target.left(q);
        m_request.rawQuery = q < 0 ? QByteArray() : target.mid(q + 1);
        m_request.path = QUrl::fromPercentEncoding(m_request.rawPath);
        for (const QByteArray &item : m_request.rawQuery.split('&')) {
            if (item.isEmpty())
                continue;
            const qsizetype eq = item.indexOf('=');
            const QByteArray name = eq < 0 ? item : item.left(eq);
            const QByteArray value = eq < 0 ? QByteArray() : item.mid(eq + 1);
            m_request.queryItems.append({ QUrl::fromPercentEncoding(name), QUrl::fromPercentEncoding(value) });
        }
        m_closeAfter = start.at(2) == "HTTP/1.0";
        m_contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QByteArray line = lines.at(i);
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                return false;
            QByteArray value = line.mid(colon + 1);
            while (value.startsWith(' ') || value.startsWith('\t'))
                value.remove(0, 1);
            const QByteArray name = line.left(colon).trimmed();
            m_request.headers.append({ name, value });
            if (sameName(name, "Content-Length")) {
                bool ok = false;
                m_contentLength = value.trimmed().toLongLong(&ok);
                if (!ok || m_contentLength < 0)
                    return false;
            } else if (sameName(name, "Transfer-Encoding")) {
                return false; // the client under test always sends a length
            } else if (sameName(name, "Connection")) {
                m_closeAfter = value.trimmed().compare("close", Qt::CaseInsensitive) == 0;
            }
        }
        return true;
    }

    void handle()
    {
        const Reply reply = m_server->take(m_request);
        m_busy = true;
        if (reply.delayMs > 0) {
            QTimer::singleShot(reply.delayMs, this, [this, reply] {
                perform(reply);
                process();
            });
        } else {
            perform(reply);
        }
    }

    QByteArray head(const Reply &r) const
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' '
            + (r.reason.isEmpty() ? reasonPhrase(r.status) : r.reason) + "\r\n";
        if (!r.contentType.isEmpty())
            out += "Content-Type: " + r.contentType + "\r\n";
        out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
        for (const auto &h : r.headers)
            out += h.first + ": " + h.second + "\r\n";
        if (m_closeAfter)
            out += "Connection: close\r\n";
        out += "\r\n";
        return out;
    }

    void perform(const Reply &r)
    {
        using Action = Reply::Action;
        switch (r.action) {
        case Action::Respond:
            m_socket->write(head(r));
            m_socket->write(r.body);
            m_busy = false;
            if (m_closeAfter) {
                m_done = true;
                m_closing = true;
                m_socket->disconnectFromHost();
            }
            break;
        case Action::CloseWithoutAnswer: writeAndClose({}); break;
        case Action::Hang: m_done = true; break;
        case Action::PartialBodyThenClose: writeAndClose(head(r) + r.body.left(r.body.size() / 2)); break;
        case Action::Garbage:
            writeAndClose(r.body.isEmpty() ? QByteArray("\x01\x02 this is not HTTP \xff\xfe\r\n\r\n") : r.body);
            break;
        }
    }

    void writeAndClose(const QByteArray &bytes)
    {
        m_done = true;
        if (!bytes.isEmpty())
            m_socket->write(bytes);
        m_closing = true;
        m_socket->disconnectFromHost();
    }

    TestHttpServer::Private *m_server;
    QTcpSocket *m_socket;
    const int m_id;
    QByteArray m_buffer;
    RecordedRequest m_request;
    qint64 m_contentLength = 0;
    bool m_haveHead = false;
    bool m_busy = false; // an answer is pending (delayed)
    bool m_closing = false; // the server closes: not the client's close
    bool m_done = false; // no more answers on this connection
    bool m_closeAfter = false;
};

} // namespace

void TestHttpServer::Private::run()
{
    QObject root;
    QTcpServer server;
    QObject::connect(&server, &QTcpServer::newConnection, &root, [this, &server, &root] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            int id = 0;
            {
                QMutexLocker lock(&mutex);
                id = ++connections;
            }
            new Connection(this, socket, id, &root);
        }
    });
    server.listen(QHostAddress::LocalHost, port);
    port = server.serverPort();
    ready.release();
    exec();
    server.close();
}

TestHttpServer::TestHttpServer(Handler handler)
    : TestHttpServer(0, std::move(handler))
{ }

TestHttpServer::TestHttpServer(quint16 port, Handler handler)
    : d(std::make_unique<Private>())
{
    d->port = port;
    d->handler = std::move(handler);
    d->setObjectName(QStringLiteral("TestHttpServer"));
    d->start();
    d->ready.acquire();
}

TestHttpServer::~TestHttpServer()
{
    d->quit();
    d->wait();
}

QString TestHttpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
}

quint16 TestHttpServer::port() const
{
    return d->port;
}

void TestHttpServer::setHandler(Handler handler)
{
    QMutexLocker lock(&d->mutex);
    d->handler = std::move(handler);
}

void TestHttpServer::enqueue(Reply reply)
{
    QMutexLocker lock(&d->mutex);
    d->queue.push_back(std::move(reply));
}

QList<RecordedRequest> TestHttpServer::requests() const
{
    QMutexLocker lock(&d->mutex);
    return d->requests;
}

QList<RecordedRequest> TestHttpServer::requestsTo(const QByteArray &method, const QString &path) const
{
    QList<RecordedRequest> result;
    for (const RecordedRequest &r : requests()) {
        if (r.method == method && r.path == path)
            result.append(r);
    }
    return result;
}

RecordedRequest TestHttpServer::lastRequest() const
{
    QMutexLocker lock(&d->mutex);
    return d->requests.isEmpty() ? RecordedRequest() : d->requests.constLast();
}

int TestHttpServer::requestCount() const
{
    QMutexLocker lock(&d->mutex);
    return int(d->requests.size());
}

int TestHttpServer::connectionCount() const
{
    QMutexLocker lock(&d->mutex);
    return d->connections;
}

int TestHttpServer::closedByClientCount() const
{
    QMutexLocker lock(&d->mutex);
    return d->closedByClient;
}

bool TestHttpServer::waitForClientCloses(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&d->mutex);
    while (d->closedByClient < count) {
        if (!d->arrived.wait(&d->mutex, deadline))
            break;
    }
    return d->closedByClient >= count;
}

bool TestHttpServer::waitForRequests(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&d->mutex);
    while (d->requests.size() < count) {
        if (!d->arrived.wait(&d->mutex, deadline))
            break;
    }
    return d->requests.size() >= count;
}

void TestHttpServer::clear()
{
    QMutexLocker lock(&d->mutex);
    d->requests.clear();
    d->queue.clear();
}
