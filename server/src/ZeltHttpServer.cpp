#include "ZeltHttpServer.h"

#include "Auth.h"
#include "Database.h"
#include "JsonUtil.h"
#include "ServerContext.h"

#include <QTcpSocket>
#include <QUrl>

#include <new>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A query value longer than this is no value any screen sends.
constexpr qsizetype kMaxParamLength = 2000;
// What the socket buffers for a connection whose request is in progress.
constexpr qint64 kSocketBuffer = 64 * 1024;
// A closing connection whose peer does not read is dropped after this.
constexpr int kLingerMs = 5000;

// "a=1&b=x+y&c=%41" -> (a,1) (b,x y) (c,A); '+' is a blank as in forms.
QList<QPair<QString, QString>> parseQuery(const QByteArray &encoded)
{
    QList<QPair<QString, QString>> items;
    const QList<QByteArray> parts = encoded.split('&');
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            continue;
        const qsizetype eq = part.indexOf('=');
        QByteArray name = eq < 0 ? part : part.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : part.mid(eq + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        items.append({ QUrl::fromPercentEncoding(name), QUrl::fromPercentEncoding(value) });
    }
    return items;
}

// RFC 9110 token characters (methods and header names).
bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

bool isVisibleAscii(const QByteArray &text)
{
    for (const char c : text) {
        if (c <= 0x20 || c >= 0x7f)
            return false;
    }
    return true;
}

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Status";
    }
}

} // namespace

// ---------------------------------------------------------------- connection

HttpConnection::HttpConnection(QTcpSocket *socket, ZeltHttpServer &server)
    : QObject(&server)
    , m_socket(socket)
    , m_server(server)
    , m_peer(socket->peerAddress().toString())
{
    m_socket->setParent(this);
    // a client that sends while its request is being answered is held back by TCP, not by our memory
    m_socket->setReadBufferSize(kSocketBuffer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_state != State::Idle)
            return;
        // a client still taking its answer is not idle
        m_timer.start(m_server.limits().idleTimeoutMs);
        // and a held-back request goes on once it has taken enough
        if (!m_buffer.isEmpty() || m_socket->bytesAvailable() > 0)
            parse();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_state = State::Closing;
        m_timer.stop();
        Q_EMIT closed();
        deleteLater();
    });
    // a new connection must send its request as promptly as a kept-alive one finishes its header
    waitForRequest(m_server.limits().headerTimeoutMs);
}

HttpConnection::~HttpConnection()
{
    m_socket->disconnect(this);
}

void HttpConnection::waitForRequest(int timeoutMs)
{
    m_state = State::Idle;
    m_method.clear();
    m_target.clear();
    m_headers.clear();
    m_body.clear();
    m_contentLength = 0;
    m_discardBody = false;
    m_timer.start(timeoutMs);
}

void HttpConnection::onReadyRead()
{
    if (m_state == State::Busy || m_state == State::Closing)
        return;
    parse();
}

void HttpConnection::onTimeout()
{
    switch (m_state) {
    case State::Idle:
        // nothing started: closed without a word
        close();
        break;
    case State::Headers:
    case State::Body: refuse(408, QStringLiteral("The request was not sent in time.")); break;
    case State::Busy: break;
    case State::Closing: m_socket->abort(); break;
    }
}

void HttpConnection::parse()
{
    const ConnectionLimits &limits = m_server.limits();
    // a client that does not read its answers gets no further ones: they
    // would pile up in our memory, not in TCP's buffers
    if (m_state == State::Idle && m_socket->bytesToWrite() > kSocketBuffer)
        return;
    if (m_state == State::Idle || m_state == State::Headers) {
        const qint64 room = limits.maxRequestLine + limits.maxHeaderBytes + 8 - m_buffer.size();
        if (room > 0)
            m_buffer += m_socket->read(room);
        // blank lines before a request are allowed (RFC 9112 2.2)
        while (m_buffer.startsWith("\r\n"))
            m_buffer.remove(0, 2);
        if (m_buffer.isEmpty())
            return;
        if (m_state == State::Idle) {
            m_state = State::Headers;
            m_clock.start();
            m_timer.start(limits.headerTimeoutMs);
        }
        const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
        const qsizetype lineEnd = m_buffer.indexOf("\r\n");
        if ((lineEnd < 0 ? m_buffer.size() : lineEnd) > limits.maxRequestLine) {
            refuse(414, QStringLiteral("The request target is longer than %1 bytes.").arg(limits.maxRequestLine));
            return;
        }
        if (lineEnd >= 0 && (headEnd < 0 ? m_buffer.size() : headEnd) - lineEnd > limits.maxHeaderBytes) {
            refuse(431, QStringLiteral("The request header fields exceed %1 bytes.").arg(limits.maxHeaderBytes));
            return;
        }
        if (headEnd < 0)
            return;
        if (!parseHead(headEnd))
            return;
        m_buffer.remove(0, headEnd + 4);
        if (m_contentLength == 0) {
            startRequest();
            return;
        }
        m_state = State::Body;
        m_timer.start(limits.bodyTimeoutMs);
    }
    if (m_state == State::Body) {
        const qint64 want = m_contentLength - m_body.size();
        QByteArray chunk = m_buffer.left(want);
        m_buffer.remove(0, chunk.size());
        if (chunk.size() < want)
            chunk += m_socket->read(want - chunk.size());
        if (!chunk.isEmpty())
            m_timer.start(limits.bodyTimeoutMs);
        if (m_discardBody) {
            // only counted: the answer is a 413 either way
            m_contentLength -= chunk.size();
            if (m_contentLength > 0)
                return;
            m_timer.stop();
            m_state = State::Busy;
            finish(Response::message(
                413, QStringLiteral("Request body too large; the limit is %1 bytes.").arg(limits.maxBodyBytes)));
            return;
        }
        m_body += chunk;
        if (m_body.size() < m_contentLength)
            return;
        startRequest();
    }
}

bool HttpConnection::parseHead(qsizetype headEnd)
{
    const ConnectionLimits &limits = m_server.limits();
    const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().chopped(lines.first().endsWith('\r') ? 1 : 0).split(' ');
    // kept before they are judged, so that the log shows what was refused
    if (requestLine.size() == 3) {
        m_method = requestLine.at(0);
        m_target = requestLine.at(1);
    }
    if (requestLine.size() != 3 || !isToken(m_method) || !m_target.startsWith('/') || !isVisibleAscii(m_target)) {
        refuse(400, QStringLiteral("Malformed request line."));
        return false;
    }
    const QByteArray &version = requestLine.at(2);
    if (version == "HTTP/1.1") {
        m_keepAlive = true;
    } else if (version == "HTTP/1.0") {
        m_keepAlive = false;
    } else {
        refuse(version.startsWith("HTTP/") ? 505 : 400, QStringLiteral("Only HTTP/1.1 and HTTP/1.0 are served."));
        return false;
    }
    if (lines.size() - 1 > limits.maxHeaderFields) {
        refuse(431, QStringLiteral("More than %1 header fields.").arg(limits.maxHeaderFields));
        return false;
    }

    std::optional<qint64> length;
    bool close = false;
    bool keepAlive = false;
    bool expectContinue = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype colon = line.indexOf(':');
        // folded continuation lines are obsolete and a known smuggling vector
        if (line.startsWith(' ') || line.startsWith('\t') || colon <= 0 || !isToken(line.left(colon))) {
            refuse(400, QStringLiteral("Malformed header field."));
            return false;
        }
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        m_headers.append({ name, value });
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            bool ok = value.size() <= 18 && !value.isEmpty();
            for (const char c : value)
                ok = ok && c >= '0' && c <= '9';
            const qint64 n = ok ? value.toLongLong() : -1;
            if (!ok || (length && *length != n)) {
                refuse(400, QStringLiteral("Content-Length is not valid."));
                return false;
            }
            length = n;
        } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            refuse(411, QStringLiteral("Send the body with a Content-Length; transfer codings are not accepted."));
            return false;
        } else if (name.compare("Connection", Qt::CaseInsensitive) == 0) {
            for (const QByteArray &token : value.split(',')) {
                const QByteArray t = token.trimmed().toLower();
                close = close || t == "close";
                keepAlive = keepAlive || t == "keep-alive";
            }
        } else if (name.compare("Expect", Qt::CaseInsensitive) == 0) {
            expectContinue = value.compare("100-continue", Qt::CaseInsensitive) == 0;
        }
    }
    if (close)
        m_keepAlive = false;
    else if (keepAlive)
        m_keepAlive = true;

    m_contentLength = length.value_or(0);
    if (m_contentLength > limits.maxBodyBytes * limits.hardBodyFactor
        || (m_contentLength > limits.maxBodyBytes && expectContinue)) {
        refuse(413, QStringLiteral("Request body too large; the limit is %1 bytes.").arg(limits.maxBodyBytes));
        return false;
    }
    m_discardBody = m_contentLength > limits.maxBodyBytes;
    if (expectContinue && m_contentLength > 0)
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    return true;
}

void HttpConnection::startRequest()
{
    m_timer.stop();
    m_state = State::Busy;
    Request request;
    try {
        request.method = m_method.toUpper();
        const qsizetype question = m_target.indexOf('?');
        const QByteArray path = question < 0 ? m_target : m_target.left(question);
        request.path = Router::normalisePath(QUrl::fromPercentEncoding(path));
        if (question >= 0)
            request.query = parseQuery(m_target.mid(question + 1));
        request.headers = m_headers;
        request.body = std::move(m_body);
        request.clientAddress = m_peer;
    } catch (...) {
        finish(Response::message(500, QStringLiteral("Internal server error.")));
        return;
    }
    if (!m_server.submit(this, std::move(request))) {
        Response busy = Response::message(503, QStringLiteral("The server is busy; try again shortly."));
        busy.extraHeaders.append({ QByteArray("Retry-After"), QByteArray("1") });
        finish(std::move(busy));
    }
}

void HttpConnection::finish(Response response)
{
    if (m_state != State::Busy)
        return;
    if (response.delayMs > 0) {
        const qint64 delay = response.delayMs;
        response.delayMs = 0;
        QTimer::singleShot(delay, this,
                           [this, response = std::move(response)]() mutable { finish(std::move(response)); });
        return;
    }
    write(response, m_keepAlive);
    logRequest(response.status, response.body.size());
    if (!m_keepAlive) {
        close();
        return;
    }
    waitForRequest(m_server.limits().idleTimeoutMs);
    // a pipelined request may be waiting already
    if (!m_buffer.isEmpty() || m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, [this] {
            if (m_state == State::Idle)
                parse();
        });
}

void HttpConnection::refuse(int status, const QString &message, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    Response response = Response::message(status, message);
    response.extraHeaders = headers;
    write(response, false);
    logRequest(status, response.body.size());
    close();
}

void HttpConnection::write(const Response &response, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto &h : response.extraHeaders)
        head += h.first + ": " + h.second + "\r\n";
    head += "\r\n";
    m_socket->write(head);
    if (m_method != "HEAD")
        m_socket->write(response.body);
}

void HttpConnection::logRequest(int status, qint64 bytes)
{
    m_server.log().write(m_peer, m_method.isEmpty() ? QByteArray("-") : m_method,
                         m_target.isEmpty() ? QByteArray("-") : m_target, status, bytes,
                         m_clock.isValid() ? m_clock.elapsed() : 0);
}

void HttpConnection::close()
{
    m_state = State::Closing;
    m_buffer.clear();
    m_timer.start(kLingerMs);
    // sends what is written, then the FIN; disconnected() follows
    m_socket->disconnectFromHost();
}

// ---------------------------------------------------------------- server

ZeltHttpServer::ZeltHttpServer(ServerContext &ctx, const Router &router, const RequestLog &log, ConnectionLimits limits,
                               Pools pools, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_router(router)
    , m_log(log)
    , m_limits(limits)
{
    Database &db = ctx.db;
    const auto open = [&db, &log] {
        try {
            db.open();
        } catch (const DbError &e) {
            // the first request of this worker tries again and answers 500 if it must
            log.note(QString::fromUtf8(e.what()));
        }
    };
    const auto close = [&db] { db.closeThreadConnection(); };
    m_workers = std::make_unique<WorkerPool>(
        WorkerPool::Options { QStringLiteral("zelt-worker"), pools.workers, 4096, 0, open, close });
    m_heavy = std::make_unique<WorkerPool>(
        WorkerPool::Options { QStringLiteral("zelt-signin"), pools.heavyWorkers, 256, 10, open, close });
    m_trim.setSingleShot(true);
    connect(&m_trim, &QTimer::timeout, this, [] {
#ifdef __GLIBC__
        // what a crowd of clients took goes back to the system once they are gone
        ::malloc_trim(0);
#endif
    });
}

ZeltHttpServer::~ZeltHttpServer()
{
    // workers first: a running job posts its answer to this object
    m_workers->stop();
    m_heavy->stop();
}

quint16 ZeltHttpServer::listenLocal(quint16 port)
{
    auto *tcp = new QTcpServer(this);
    if (!tcp->listen(QHostAddress::LocalHost, port)) {
        delete tcp;
        return 0;
    }
    connect(tcp, &QTcpServer::newConnection, this, [this, tcp] {
        while (QTcpSocket *socket = tcp->nextPendingConnection())
            accept(socket);
    });
    return tcp->serverPort();
}

void ZeltHttpServer::accept(QTcpSocket *socket)
{
    auto *connection = new HttpConnection(socket, *this);
    ++m_open;
    m_trim.stop();
    connect(connection, &HttpConnection::closed, this, &ZeltHttpServer::connectionClosed);
    if (m_open > m_limits.maxConnections) {
        connection->refuse(503, QStringLiteral("Too many open connections; try again shortly."),
                           { { QByteArray("Retry-After"), QByteArray("1") } });
    }
}

void ZeltHttpServer::connectionClosed()
{
    if (--m_open == 0)
        m_trim.start(1000);
}

bool ZeltHttpServer::submit(HttpConnection *connection, Request request)
{
    const RouteMatch match = m_router.match(request.method, request.path);
    WorkerPool &pool = match.route && match.route->heavy ? *m_heavy : *m_workers;
    QPointer<HttpConnection> target(connection);
    return pool.post([this, target, request = std::move(request)]() mutable {
        Response response = dispatch(request);
        QMetaObject::invokeMethod(
            this,
            [target, response = std::move(response)]() mutable {
                if (target)
                    target->finish(std::move(response));
            },
            Qt::QueuedConnection);
    });
}

Response ZeltHttpServer::dispatch(Request &request)
{
    try {
        if (request.body.size() > m_limits.maxBodyBytes) {
            return Response::message(
                413, QStringLiteral("Request body too large; the limit is %1 bytes.").arg(m_limits.maxBodyBytes));
        }
        for (const auto &q : std::as_const(request.query)) {
            if (q.first.size() > kMaxParamLength || q.second.size() > kMaxParamLength) {
                return Response::message(
                    400,
                    QStringLiteral("Query parameter \"%1\" is too long; the limit is %2 characters.")
                        .arg(q.first.left(40))
                        .arg(kMaxParamLength));
            }
            // no text of ours holds one; PostgreSQL cannot take it, SQLite's LIKE ends a pattern there
            if (q.second.contains(QChar(0))) {
                return Response::message(
                    400,
                    QStringLiteral("Query parameter \"%1\" must not contain a NUL character.").arg(q.first.left(40)));
            }
        }
        const RouteMatch match = m_router.match(request.method, request.path);
        if (!match.route) {
            if (match.pathKnown) {
                return Response::message(405,
                                         QStringLiteral("Method %1 is not allowed on %2.")
                                             .arg(QString::fromLatin1(request.method), request.path));
            }
            return Response::message(404, QStringLiteral("Unknown path: %1").arg(request.path));
        }
        request.pathParams = match.params;
        request.principal = Auth::authenticate(m_ctx, request, match.route->access);
        if (match.route->access == Access::User)
            Auth::authorize(m_ctx, request.principal, match.route->screens);
        return match.route->handler(request);
    } catch (const ValidationError &e) {
        return validationResponse(e.errors());
    } catch (const HttpError &e) {
        return Response::message(e.status(), e.message());
    } catch (const std::bad_alloc &) {
        m_log.note(QStringLiteral("out of memory while answering %1 %2")
                       .arg(QString::fromLatin1(request.method), request.path));
        return Response::message(500, QStringLiteral("Internal server error."));
    } catch (const std::exception &e) {
        m_log.note(QStringLiteral("error while answering %1 %2: %3")
                       .arg(QString::fromLatin1(request.method), request.path, QString::fromUtf8(e.what())));
        return Response::message(500, QStringLiteral("Internal server error."));
    } catch (...) {
        m_log.note(QStringLiteral("unknown error while answering %1 %2")
                       .arg(QString::fromLatin1(request.method), request.path));
        return Response::message(500, QStringLiteral("Internal server error."));
    }
}
