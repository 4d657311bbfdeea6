#include "ZeltHttpServer.h"

#include "Auth.h"
#include "Database.h"
#include "JsonUtil.h"
#include "ServerContext.h"

#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QUrl>

#include <new>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Put: return "PUT";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    case QHttpServerRequest::Method::Post: return "POST";
    case QHttpServerRequest::Method::Head: return "HEAD";
    case QHttpServerRequest::Method::Options: return "OPTIONS";
    case QHttpServerRequest::Method::Patch: return "PATCH";
    case QHttpServerRequest::Method::Connect: return "CONNECT";
    case QHttpServerRequest::Method::Trace: return "TRACE";
    default: return "UNKNOWN";
    }
}

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
        items.append({QUrl::fromPercentEncoding(name), QUrl::fromPercentEncoding(value)});
    }
    return items;
}

} // namespace

void CountingTcpServer::incomingConnection(qintptr handle)
{
    auto *socket = new CountingSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    // connected before the HTTP server's own reader, so this runs first
    // and sees each chunk as it arrives
    const qint64 hardLimit = m_hardLimit;
    const RequestLog &log = m_log;
    connect(socket, &QTcpSocket::readyRead, socket, [socket, hardLimit, &log] {
        if (socket->refused)
            return;
        socket->received += socket->bytesAvailable();
        if (socket->received <= hardLimit)
            return;
        socket->refused = true;
        const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("message"),
                                                           QStringLiteral("Request body too large; the limit is %1 bytes.")
                                                               .arg(hardLimit / ZeltHttpServer::kHardLimitFactor)}})
                                    .toJson(QJsonDocument::Compact);
        socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nConnection: close\r\n"
                      "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
        log.note(QStringLiteral("%1 connection closed: more than %2 bytes sent")
                     .arg(socket->peerAddress().toString()).arg(hardLimit));
    });
    addPendingConnection(socket);
}

ZeltHttpServer::ZeltHttpServer(ServerContext &ctx, const Router &router, const RequestLog &log,
                               qint64 maxBodyBytes, QObject *parent)
    : QAbstractHttpServer(parent), m_ctx(ctx), m_router(router), m_log(log), m_maxBodyBytes(maxBodyBytes)
{
}

quint16 ZeltHttpServer::listenLocal(quint16 port)
{
    auto *tcp = new CountingTcpServer(m_maxBodyBytes * kHardLimitFactor, m_log, this);
    if (!tcp->listen(QHostAddress::LocalHost, port)) {
        delete tcp;
        return 0;
    }
    bind(tcp);
    return tcp->serverPort();
}

Response ZeltHttpServer::dispatch(Request &request)
{
    try {
        if (request.body.size() > m_maxBodyBytes) {
            return Response::message(413, QStringLiteral("Request body too large; the limit is %1 bytes.")
                                              .arg(m_maxBodyBytes));
        }
        const RouteMatch match = m_router.match(request.method, request.path);
        if (!match.route) {
            if (match.pathKnown) {
                return Response::message(405, QStringLiteral("Method %1 is not allowed on %2.")
                                                  .arg(QString::fromLatin1(request.method), request.path));
            }
            return Response::message(404, QStringLiteral("Unknown path: %1").arg(request.path));
        }
        request.pathParams = match.params;
        request.principal = Auth::authenticate(m_ctx, request, match.route->access);
        return match.route->handler(request);
    } catch (const ValidationError &e) {
        return validationResponse(e.errors());
    } catch (const HttpError &e) {
        return Response::message(e.status(), e.message());
    } catch (const std::bad_alloc &) {
        m_log.note(QStringLiteral("out of memory while answering %1 %2").arg(QString::fromLatin1(request.method), request.path));
        return Response::message(500, QStringLiteral("Internal server error."));
    } catch (const std::exception &e) {
        m_log.note(QStringLiteral("error while answering %1 %2: %3")
                       .arg(QString::fromLatin1(request.method), request.path, QString::fromUtf8(e.what())));
        return Response::message(500, QStringLiteral("Internal server error."));
    } catch (...) {
        m_log.note(QStringLiteral("unknown error while answering %1 %2").arg(QString::fromLatin1(request.method), request.path));
        return Response::message(500, QStringLiteral("Internal server error."));
    }
}

bool ZeltHttpServer::handleRequest(const QHttpServerRequest &qRequest, QTcpSocket *socket)
{
    QElapsedTimer timer;
    timer.start();
    if (auto *counting = qobject_cast<CountingSocket *>(socket)) {
        // already answered 413 and closing
        if (counting->refused)
            return true;
        counting->received = 0;
    }

    const QUrl url = qRequest.url();
    QString target = url.path(QUrl::FullyEncoded);
    if (url.hasQuery())
        target += QLatin1Char('?') + url.query(QUrl::FullyEncoded);

    Response response;
    try {
        Request request;
        request.method = methodName(qRequest.method());
        request.path = Router::normalisePath(url.path(QUrl::FullyDecoded));
        request.query = parseQuery(url.query(QUrl::FullyEncoded).toLatin1());
        request.headers = qRequest.headers();
        request.body = qRequest.body();
        response = dispatch(request);
    } catch (...) {
        // building the request itself failed (memory)
        response = Response::message(500, QStringLiteral("Internal server error."));
    }

    QHttpServerResponse reply(response.contentType, response.body,
                              static_cast<QHttpServerResponder::StatusCode>(response.status));
    for (const auto &h : std::as_const(response.extraHeaders))
        reply.addHeader(h.first, h.second);
    reply.write(makeResponder(qRequest, socket));

    m_log.write(qRequest.remoteAddress().toString(), methodName(qRequest.method()), target, response.status,
                response.body.size(), timer.elapsed());
    return true;
}

void ZeltHttpServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // handleRequest answers everything; this is only here because Qt asks
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("message"), QStringLiteral("Not found.")}})
                                .toJson(QJsonDocument::Compact);
    makeResponder(request, socket).write(body, "application/json", QHttpServerResponder::StatusCode::NotFound);
}
