#include "HttpClient.h"

#include "AsyncRunner.h"

#include <QCoreApplication>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWaitCondition>
#include <algorithm>
#include <cstring>
#include <atomic>
#include <deque>
#include <future>

namespace Platform {

// Shared by the token and the transfer it may abort. transfer and receiver
// are set and cleared on the network thread under the mutex; receiver lives
// at least as long as any transfer is registered.
struct HttpCancelToken::State
{
    QMutex mutex;
    bool cancelled = false;
    QObject *transfer = nullptr;
    QObject *receiver = nullptr;
};

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

namespace {

// A body beyond this is refused rather than risking the process on it.
constexpr qint64 MaxBodySize = qint64(512) * 1024 * 1024;
// As many as QNAM would follow.
constexpr int MaxRedirects = 50;

thread_local bool onNetworkThread = false;

const QString CancelledText = QStringLiteral("Request cancelled");

struct BodyStream;

struct Request
{
    QByteArray method;
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool hasBody = false;
    int connectTimeout = 0;
    int readTimeout = 0;
    std::shared_ptr<HttpCancelToken::State> cancel;
    std::shared_ptr<BodyStream> stream; // the body goes to a waiting sink

    QString where() const { return url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo); }
};

struct Outcome
{
    HttpResponse response;
    QString failure;
    bool failed = false;
    TransportFailure kind = TransportFailure::Other;

    static Outcome failing(QString message, TransportFailure kind = TransportFailure::Other)
    {
        Outcome o;
        o.failed = true;
        o.failure = std::move(message);
        o.kind = kind;
        return o;
    }
};

// A body handed piece by piece from the network thread to the thread that
// waits in HttpClient::get with a sink: the head first, then the pieces in
// order, then the outcome.
//
// The network thread stops taking bytes from the reply while more than
// StreamAhead wait for the sink (the reply's own buffer is bounded too, so
// the server waits), and the sink's side wakes it when it has caught up:
// a sink slower than the network holds a few pieces, not the body.
constexpr qint64 StreamAhead = qint64(512) << 10;
constexpr qint64 StreamReplyBuffer = qint64(256) << 10;

struct BodyStream
{
    QMutex mutex;
    QWaitCondition changed;
    bool headed = false;
    HttpResponse head;
    std::deque<QByteArray> pieces;
    qint64 queued = 0; // bytes in pieces
    bool ended = false;
    Outcome outcome;
    // the waiting side left (its sink threw): the transfer is aborted
    std::atomic<bool> abandoned { false };
    // the network thread's transfer, set and cleared there under the mutex
    QObject *transfer = nullptr;
    QObject *receiver = nullptr;
    bool paused = false; // the transfer waits for the sink to catch up

    void setHead(HttpResponse h)
    {
        QMutexLocker lock(&mutex);
        head = std::move(h);
        headed = true;
        changed.wakeAll();
    }
    // false: the sink is far behind; the transfer pauses until resumed
    bool push(QByteArray piece)
    {
        QMutexLocker lock(&mutex);
        queued += piece.size();
        pieces.push_back(std::move(piece));
        changed.wakeAll();
        paused = queued > StreamAhead;
        return !paused;
    }
    void end(Outcome o)
    {
        QMutexLocker lock(&mutex);
        outcome = std::move(o);
        ended = true;
        changed.wakeAll();
    }
};

// One request from submission to its one outcome. Whoever drops the last
// reference to an unfinished job (a network thread that shut down, a
// submission that was refused) fails it, so a waiting caller always wakes.
class Job
{
public:
    using Done = std::function<void(Outcome)>;

    Job(Request request, Done done)
        : request(std::move(request))
        , m_done(std::move(done))
    { }
    ~Job() { finish(Outcome::failing(QStringLiteral("Network shut down: ") + request.where())); }

    void finish(Outcome outcome)
    {
        if (!m_done)
            return;
        Done done = std::move(m_done);
        m_done = nullptr;
        done(std::move(outcome));
    }

    const Request request;

private:
    Done m_done;
};

QString describe(QNetworkReply::NetworkError error, const QString &qtText)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("Connection refused");
    case QNetworkReply::RemoteHostClosedError:
    // a write's connection closed without an answer; it is not sent again
    case QNetworkReply::ContentReSendError: return QStringLiteral("Connection closed by the server");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("Host not found");
    case QNetworkReply::TimeoutError: return QStringLiteral("Connection timed out");
    case QNetworkReply::OperationCanceledError: return QStringLiteral("Request cancelled");
    case QNetworkReply::SslHandshakeFailedError: return QStringLiteral("TLS handshake failed");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError: return QStringLiteral("Network unavailable");
    case QNetworkReply::TooManyRedirectsError: return QStringLiteral("Too many redirects");
    case QNetworkReply::InsecureRedirectError: return QStringLiteral("Insecure redirect");
    case QNetworkReply::ProtocolFailure: return QStringLiteral("Invalid HTTP response");
    default: return qtText;
    }
}

TransportFailure kindOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError: return TransportFailure::NoConnection;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError: return TransportFailure::Timeout;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ContentReSendError:
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::UnknownServerError: return TransportFailure::BrokenAnswer;
    default: return TransportFailure::Other;
    }
}

// QNAM reports HTTP error statuses as reply errors too; those are answers.
// Everything in the network-layer range, a protocol failure or a proxy
// failure means that no (complete) answer arrived.
bool isTransportFailure(QNetworkReply::NetworkError error, int status)
{
    if (status <= 0)
        return true;
    if (error == QNetworkReply::NoError)
        return false;
    if (error < QNetworkReply::ProxyConnectionRefusedError)
        return true;
    if (error == QNetworkReply::ProxyAuthenticationRequiredError)
        return status != 407;
    if (error < QNetworkReply::ContentAccessDenied)
        return true;
    return error == QNetworkReply::ProtocolFailure;
}

// The body of a request that is not idempotent (POST, PATCH). QNAM sends a
// request again on its own when the connection closes without an answer,
// but the server may have applied the first one: refusing the rewind makes
// QNAM fail the request instead. Not a QBuffer, which QNAM rewinds itself.
class OneShotBody : public QIODevice
{
public:
    OneShotBody(QByteArray data, QObject *parent)
        : QIODevice(parent)
        , m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_data.size(); }
    bool seek(qint64 pos) override
    {
        if (pos == 0 && m_handedOut)
            return false;
        return QIODevice::seek(pos);
    }
    bool reset() override { return seek(0); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        m_handedOut = true;
        const qint64 n = std::min(maxSize, qint64(m_data.size()) - pos());
        if (n <= 0)
            return pos() >= m_data.size() ? -1 : 0;
        std::memcpy(data, m_data.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_data;
    bool m_handedOut = false;
};

class NetworkThread;

// One request on the network thread: sends it, watches the timeouts,
// collects the body and finishes the job once.
class Transfer : public QObject
{
public:
    Transfer(std::shared_ptr<Job> job, QNetworkAccessManager &nam, QObject *parent)
        : QObject(parent)
        , m_job(std::move(job))
        , m_stream(m_job->request.stream)
    {
        const Request &r = m_job->request;
        if ((m_cancel = r.cancel)) {
            QMutexLocker lock(&m_cancel->mutex);
            if (!m_cancel->cancelled) {
                m_cancel->transfer = this;
                m_cancel->receiver = parent;
            }
            if (m_cancel->cancelled) {
                lock.unlock();
                // cancelled before it was sent: nothing goes out
                m_job->finish(Outcome::failing(CancelledText + QStringLiteral(": ") + r.where()));
                m_job.reset();
                deleteLater();
                return;
            }
        }
        m_method = r.method;
        m_withBody = r.hasBody;
        send(nam, r.url);
        if (m_stream) {
            QMutexLocker lock(&m_stream->mutex);
            m_stream->transfer = this;
            m_stream->receiver = parent;
        }
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Transfer::onTimeout);
        arm(r.connectTimeout);
    }

    // One hop of the request: the first, or a redirect's.
    void send(QNetworkAccessManager &nam, const QUrl &url)
    {
        const Request &r = m_job->request;
        QNetworkRequest request(url);
        // clients share the manager; cookies would leak from one to another
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        // redirects are followed here (followRedirect): Qt's own following
        // sends every header to any server, the bearer token too, and
        // merges the headers of all the hops into the last one's
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        for (const auto &h : r.headers) {
            // a body dropped on the way takes its type along
            if (r.hasBody && !m_withBody && h.first.compare("Content-Type", Qt::CaseInsensitive) == 0)
                continue;
            request.setRawHeader(h.first, h.second);
        }

        if (m_method == "GET")
            m_reply = nam.get(request);
        else if (m_method == "POST")
            m_reply = nam.post(request, new OneShotBody(r.body, this));
        else if (m_method == "PUT")
            m_reply = nam.put(request, r.body);
        else if (m_method == "DELETE" && !m_withBody)
            m_reply = nam.deleteResource(request);
        else if (m_withBody && m_method == "PATCH")
            m_reply = nam.sendCustomRequest(request, m_method, new OneShotBody(r.body, this));
        else if (m_withBody)
            m_reply = nam.sendCustomRequest(request, m_method, r.body);
        else
            m_reply = nam.sendCustomRequest(request, m_method);

        if (m_stream)
            m_reply->setReadBufferSize(StreamReplyBuffer);
        // until the request is out, the connect timeout counts silence
        connect(m_reply, &QNetworkReply::socketStartedConnecting, this, &Transfer::restartConnecting);
        connect(m_reply, &QNetworkReply::uploadProgress, this, &Transfer::restartConnecting);
        connect(m_reply, &QNetworkReply::requestSent, this, &Transfer::startReading);
        connect(m_reply, &QNetworkReply::metaDataChanged, this, &Transfer::startReading);
        connect(m_reply, &QNetworkReply::readyRead, this, &Transfer::onReadyRead);
        connect(m_reply, &QNetworkReply::finished, this, &Transfer::onFinished);
    }

    ~Transfer() override
    {
        if (m_stream) {
            QMutexLocker lock(&m_stream->mutex);
            m_stream->transfer = nullptr;
        }
        if (m_cancel) {
            QMutexLocker lock(&m_cancel->mutex);
            if (m_cancel->transfer == this)
                m_cancel->transfer = nullptr;
        }
    }

    // Network thread only.
    void cancel()
    {
        if (m_job)
            abortWith(CancelledText);
    }

    // Network thread only: the reader of a streamed body left.
    void abandon()
    {
        if (m_job)
            abortWith(QStringLiteral("Request abandoned by its reader"));
    }

    // Network thread only: the sink caught up with a paused transfer.
    void resume()
    {
        if (!m_job || !m_reply || !m_paused)
            return;
        m_paused = false;
        arm(m_job->request.readTimeout);
        readAvailable();
    }

    void abortForShutdown()
    {
        // a finished transfer only waits for its deleteLater
        if (m_job)
            abortWith(QStringLiteral("Network shut down"));
    }

private:
    void restartConnecting()
    {
        m_onConnection = true;
        if (m_job && !m_reading)
            arm(m_job->request.connectTimeout);
    }

    // QNAM holds a request back while the server's connections are all busy
    // with others of ours; that wait says nothing about the server.
    bool waitsForAConnection() const
    {
        if (m_onConnection || !m_job || !parent())
            return false;
        const QUrl &url = m_job->request.url;
        for (QObject *child : parent()->children()) {
            const auto *other = dynamic_cast<const Transfer *>(child);
            if (!other || other == this || !other->m_job || !(other->m_onConnection || other->m_reading))
                continue;
            const QUrl &theirs = other->m_job->request.url;
            if (theirs.scheme().compare(url.scheme(), Qt::CaseInsensitive) == 0
                && theirs.host().compare(url.host(), Qt::CaseInsensitive) == 0
                && theirs.port(defaultPort(theirs)) == url.port(defaultPort(url)))
                return true;
        }
        return false;
    }

    static int defaultPort(const QUrl &url)
    {
        return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
    }

    void arm(int ms)
    {
        if (ms > 0)
            m_timer.start(ms);
        else
            m_timer.stop();
    }

    void startReading()
    {
        m_reading = true;
        arm(m_job ? m_job->request.readTimeout : 0);
        reserveBody();
    }

    // The announced length is allocated once, with the padding a parser
    // may read ahead into (HttpResponse::BodyPadding).
    void reserveBody()
    {
        if (m_reserved || !m_reply || m_stream || isRedirect())
            return;
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (!length.isValid())
            return;
        m_reserved = true;
        const qint64 n = length.toLongLong();
        if (n > 0 && n <= MaxBodySize)
            m_body.reserve(qsizetype(n) + HttpResponse::BodyPadding);
    }

    // Straight from the reply into the body, no intermediate array; or, for
    // a sink, piece by piece to the thread that waits for them.
    void readAvailable(bool all = false)
    {
        if (m_stream) {
            if (!m_headed) {
                m_headed = true;
                HttpResponse head;
                head.statusCode = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                head.statusText =
                    QString::fromUtf8(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
                head.headers = m_reply->rawHeaderPairs();
                m_stream->setHead(std::move(head));
            }
            if (m_paused && !all)
                return;
            for (qint64 available = m_reply->bytesAvailable(); available > 0; available = m_reply->bytesAvailable()) {
                QByteArray piece(qsizetype(available), Qt::Uninitialized);
                const qint64 got = m_reply->read(piece.data(), available);
                if (got <= 0)
                    break;
                piece.truncate(qsizetype(got));
                m_received += got;
                m_paused = !m_stream->push(std::move(piece));
                if (m_paused && !all)
                    break;
            }
            return;
        }
        for (qint64 available = m_reply->bytesAvailable(); available > 0; available = m_reply->bytesAvailable()) {
            const qsizetype size = m_body.size();
            const qsizetype needed = size + qsizetype(available) + HttpResponse::BodyPadding;
            if (m_body.capacity() < needed)
                m_body.reserve(std::max(needed, m_body.capacity() * 2));
            m_body.resize(size + qsizetype(available));
            const qint64 got = m_reply->read(m_body.data() + size, available);
            m_body.resize(size + qsizetype(std::max<qint64>(got, 0)));
            if (got <= 0)
                break;
            m_received += got;
        }
    }

    void onReadyRead()
    {
        if (!m_job)
            return;
        startReading();
        if (isRedirect()) {
            m_reply->skip(m_reply->bytesAvailable());
            return;
        }
        if (m_stream && m_stream->abandoned) {
            abortWith(QStringLiteral("Request abandoned by its reader"));
            return;
        }
        if (m_received + m_reply->bytesAvailable() > MaxBodySize) {
            abortWith(QStringLiteral("Response body too large"), TransportFailure::BrokenAnswer);
            return;
        }
        readAvailable();
    }

    // A redirect the transfer follows itself, its body not being the answer's.
    bool isRedirect() const
    {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
            && !m_reply->rawHeader("Location").isEmpty();
    }

    // Followed on the same server only, never from https down to http. True
    // when the next hop is on its way; false when the request ends here,
    // with a failure when the redirect was refused.
    bool followRedirect()
    {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl to = m_reply->url().resolved(QUrl::fromEncoded(m_reply->rawHeader("Location").trimmed()));
        const QUrl &from = m_job->request.url;
        const QString fromScheme = from.scheme().toLower();
        const QString toScheme = to.scheme().toLower();
        const bool sameHost = from.host().compare(to.host(), Qt::CaseInsensitive) == 0;
        if (!to.isValid() || (toScheme != QLatin1String("http") && toScheme != QLatin1String("https"))) {
            m_abortReason = QStringLiteral("Invalid redirect");
        } else if (++m_redirects > MaxRedirects) {
            m_abortReason = QStringLiteral("Too many redirects");
        } else if (sameHost && fromScheme == QLatin1String("https") && toScheme == QLatin1String("http")) {
            m_abortReason = QStringLiteral("Insecure redirect");
        } else if (!redirectStaysOnServer(from, to)) {
            m_abortReason = QStringLiteral("Redirect to another server refused");
        } else {
            // 303 always, and 301 and 302 after a POST, go on as a GET
            if (status == 303 || ((status == 301 || status == 302) && m_method == "POST")) {
                m_method = "GET";
                m_withBody = false;
            }
            QNetworkAccessManager *nam = m_reply->manager();
            m_reply->disconnect(this);
            m_reply->deleteLater();
            m_reading = false;
            m_onConnection = false;
            m_reserved = false;
            m_received = 0;
            m_body.clear();
            send(*nam, to);
            arm(m_job->request.connectTimeout);
            return true;
        }
        return false;
    }

    void onTimeout()
    {
        if (!m_job)
            return;
        if (m_paused) {
            // silence of our own making: the sink is still busy
            arm(m_job->request.readTimeout);
            return;
        }
        if (m_reading) {
            abortWith(QStringLiteral("Read timed out after %1 ms").arg(m_job->request.readTimeout),
                      TransportFailure::Timeout);
        } else if (waitsForAConnection()) {
            // its own connecting has not begun yet
            arm(m_job->request.connectTimeout);
        } else {
            abortWith(QStringLiteral("Connection timed out after %1 ms").arg(m_job->request.connectTimeout),
                      TransportFailure::Timeout);
        }
    }

    void abortWith(const QString &reason, TransportFailure kind = TransportFailure::Other)
    {
        if (!m_reply)
            return;
        if (m_abortReason.isEmpty()) {
            m_abortReason = reason;
            m_abortKind = kind;
        }
        // emits finished() at once
        m_reply->abort();
    }

    void onFinished()
    {
        if (m_job && m_abortReason.isEmpty()
            && !isTransportFailure(m_reply->error(),
                                   m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt())
            && isRedirect() && followRedirect())
            return;
        m_timer.stop();
        if (m_cancel) {
            QMutexLocker lock(&m_cancel->mutex);
            if (m_cancel->transfer == this)
                m_cancel->transfer = nullptr;
        }
        if (!m_job)
            return;
        std::shared_ptr<Job> job = std::move(m_job);
        const QString where = job->request.where();
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError error = m_reply->error();

        if (!m_abortReason.isEmpty()) {
            job->finish(Outcome::failing(m_abortReason + QStringLiteral(": ") + where, m_abortKind));
        } else if (isTransportFailure(error, status)) {
            job->finish(Outcome::failing(describe(error, m_reply->errorString()) + QStringLiteral(": ") + where,
                                         kindOf(error)));
        } else {
            const bool tooLarge = m_received + m_reply->bytesAvailable() > MaxBodySize;
            if (!tooLarge)
                readAvailable(true);
            if (tooLarge) {
                job->finish(Outcome::failing(QStringLiteral("Response body too large: ") + where,
                                             TransportFailure::BrokenAnswer));
            } else if (isTruncated()) {
                job->finish(
                    Outcome::failing(QStringLiteral("Connection closed before the whole response arrived: ") + where,
                                     TransportFailure::BrokenAnswer));
            } else {
                Outcome o;
                o.response.statusCode = status;
                o.response.statusText =
                    QString::fromUtf8(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
                if (m_body.capacity() - m_body.size() < HttpResponse::BodyPadding)
                    m_body.reserve(m_body.size() + HttpResponse::BodyPadding);
                o.response.body = std::move(m_body);
                o.response.headers = m_reply->rawHeaderPairs();
                job->finish(std::move(o));
            }
        }
        m_reply->deleteLater();
        m_reply = nullptr;
        deleteLater();
    }

    // A body shorter than its Content-Length is a dropped connection, never
    // a complete answer. (Compressed bodies are counted after decoding.)
    bool isTruncated() const
    {
        if (!m_reply->rawHeader("Content-Encoding").isEmpty())
            return false;
        // answers that never have a body, whatever length they name
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 204 || status == 304 || (status >= 100 && status < 200))
            return false;
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        return length.isValid() && length.toLongLong() != m_received;
    }

    std::shared_ptr<Job> m_job;
    const std::shared_ptr<BodyStream> m_stream;
    bool m_headed = false;
    bool m_paused = false;
    qint64 m_received = 0;
    std::shared_ptr<HttpCancelToken::State> m_cancel;
    QNetworkReply *m_reply = nullptr;
    QTimer m_timer;
    bool m_reading = false;
    bool m_onConnection = false; // connecting or sending on a socket of its own
    QByteArray m_method; // of the current hop
    bool m_withBody = false;
    int m_redirects = 0;
    bool m_reserved = false;
    QString m_abortReason;
    TransportFailure m_abortKind = TransportFailure::Other;
    QByteArray m_body;
};

// Runs `call` with the transfer registered in `state` (a cancel token's or a
// body stream's) on the network thread, if it is still there then. Called
// under the state's lock: the receiver outlives every registered transfer.
template<typename State, typename Call> void postToTransfer(const std::shared_ptr<State> &state, Call call)
{
    QMetaObject::invokeMethod(
        state->receiver,
        [state, call] {
            QObject *transfer = nullptr;
            {
                QMutexLocker lock(&state->mutex);
                transfer = state->transfer;
            }
            // transfers die on this thread only, so it is still there
            if (transfer)
                call(static_cast<Transfer *>(transfer));
        },
        Qt::QueuedConnection);
}

// The one thread and the one QNetworkAccessManager of the process.
class NetworkThread : public QThread
{
public:
    NetworkThread()
        : m_receiver(new QObject)
    {
        setObjectName(QStringLiteral("Platform::Network"));
        m_receiver->moveToThread(this);
        start();
    }

    ~NetworkThread() override { shutdown(); }

    bool submit(std::shared_ptr<Job> job)
    {
        QMutexLocker lock(&m_mutex);
        if (!m_accepting)
            return false;
        QMetaObject::invokeMethod(
            m_receiver, [this, job = std::move(job)]() mutable { new Transfer(std::move(job), *m_nam, m_receiver); },
            Qt::QueuedConnection);
        return true;
    }

    void shutdown()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_accepting = false;
        }
        quit();
        wait();
    }

protected:
    void run() override
    {
        onNetworkThread = true;
        {
            QNetworkAccessManager nam;
            m_nam = &nam;
            exec();
            const auto transfers = m_receiver->findChildren<Transfer *>(Qt::FindDirectChildrenOnly);
            for (Transfer *t : transfers)
                t->abortForShutdown();
            // requests not started yet go with their events and fail as abandoned
            delete m_receiver;
            m_receiver = nullptr;
            m_nam = nullptr;
        }
        onNetworkThread = false;
    }

private:
    QMutex m_mutex;
    bool m_accepting = true;
    QObject *m_receiver;
    QNetworkAccessManager *m_nam = nullptr;
};

struct NetworkState
{
    QMutex mutex;
    std::shared_ptr<NetworkThread> thread;
    // The application whose shut-down stopped the network; none for it again.
    QCoreApplication *closedFor = nullptr;
};

NetworkState &networkState()
{
    static NetworkState &state = []() -> NetworkState & {
        static NetworkState s;
        // a pool task blocked on a request must not hold up the pool's shut-down
        Async::addShutdownWaker(shutdownNetwork);
        return s;
    }();
    return state;
}

void shutdownAtExit()
{
    shutdownNetwork();
}

void submit(const std::shared_ptr<Job> &job)
{
    std::shared_ptr<NetworkThread> thread;
    {
        NetworkState &state = networkState();
        QMutexLocker lock(&state.mutex);
        QCoreApplication *app = QCoreApplication::instance();
        if (!app) {
            job->finish(Outcome::failing(QStringLiteral("No application object for the network")));
            return;
        }
        if (app != state.closedFor) {
            if (!state.thread) {
                state.thread = std::make_shared<NetworkThread>();
                qAddPostRoutine(shutdownAtExit);
            }
            thread = state.thread;
        }
    }
    if (!thread || !thread->submit(job))
        job->finish(Outcome::failing(QStringLiteral("Network shut down: ") + job->request.where()));
}

QByteArray headerText(const QString &s)
{
    // a value from the server (a token) must not smuggle in a header of its own
    QByteArray bytes = s.toUtf8();
    bytes.replace('\r', "").replace('\n', "");
    return bytes;
}

bool isAbsoluteHttp(const QString &s)
{
    return s.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || s.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

void setOrAppend(QList<QPair<QString, QString>> &list, const QString &name, const QString &value)
{
    for (auto &item : list) {
        if (item.first.compare(name, Qt::CaseInsensitive) == 0) {
            item.second = value;
            return;
        }
    }
    list.append({ name, value });
}

QString dateText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

HttpCancelToken::HttpCancelToken()
    : d(std::make_shared<State>())
{ }

HttpCancelToken::~HttpCancelToken() = default;

void HttpCancelToken::cancel()
{
    QMutexLocker lock(&d->mutex);
    if (d->cancelled)
        return;
    d->cancelled = true;
    if (!d->transfer)
        return; // not sent yet: it will not be
    postToTransfer(d, [](Transfer *transfer) { transfer->cancel(); });
}

bool HttpCancelToken::isCancelled() const
{
    QMutexLocker lock(&d->mutex);
    return d->cancelled;
}

std::shared_ptr<HttpClient> HttpClient::create()
{
    return std::shared_ptr<HttpClient>(new HttpClient);
}

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

HttpClient &HttpClient::setBaseURL(const QString &url)
{
    m_baseURL = url;
    return *this;
}

HttpClient &HttpClient::setUserAgent(const QString &userAgent)
{
    m_userAgent = userAgent;
    return *this;
}

HttpClient &HttpClient::setConnectTimeout(int ms)
{
    m_connectTimeout = ms;
    return *this;
}

HttpClient &HttpClient::setReadTimeout(int ms)
{
    m_readTimeout = ms;
    return *this;
}

HttpClient &HttpClient::addHeader(const QString &name, const QString &value)
{
    setOrAppend(m_headers, name, value);
    return *this;
}

HttpClient &HttpClient::removeHeader(const QString &name)
{
    m_headers.removeIf([&](const auto &h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
    return *this;
}

QString HttpClient::header(const QString &name) const
{
    for (const auto &h : m_headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

bool HttpClient::hasHeader(const QString &name) const
{
    for (const auto &h : m_headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

HttpClient &HttpClient::addQueryStringParam(const QString &name, const QString &value)
{
    m_query.append({ name, value });
    return *this;
}

HttpClient &HttpClient::addQueryStringParam(const QString &name, int value)
{
    return addQueryStringParam(name, QString::number(value));
}

HttpClient &HttpClient::addQueryStringParam(const QString &name, const QDate &value)
{
    return addQueryStringParam(name, dateText(value));
}

HttpClient &HttpClient::addPathParam(const QString &name, const QString &value)
{
    // matched like the "{name}" it fills: with letter case, so "id" and
    // "ID" are two parameters
    for (auto &item : m_pathParams) {
        if (item.first == name) {
            item.second = value;
            return *this;
        }
    }
    m_pathParams.append({ name, value });
    return *this;
}

HttpClient &HttpClient::addPathParam(const QString &name, int value)
{
    return addPathParam(name, QString::number(value));
}

HttpClient &HttpClient::addPathParam(const QString &name, const QDate &value)
{
    return addPathParam(name, dateText(value));
}

HttpResponse HttpClient::get(const QString &resource)
{
    return send("GET", resource, nullptr, {});
}

bool redirectStaysOnServer(const QUrl &from, const QUrl &to)
{
    const auto isScheme = [](const QUrl &url, QLatin1String scheme) {
        return url.scheme().compare(scheme, Qt::CaseInsensitive) == 0;
    };
    const auto port = [&](const QUrl &url) { return url.port(isScheme(url, QLatin1String("https")) ? 443 : 80); };
    if (from.host().compare(to.host(), Qt::CaseInsensitive) != 0 || to.host().isEmpty())
        return false;
    if (isScheme(from, QLatin1String("http")) && isScheme(to, QLatin1String("https")))
        return true;
    return from.scheme().compare(to.scheme(), Qt::CaseInsensitive) == 0 && port(from) == port(to);
}

HttpResponse HttpClient::get(const QString &resource, HttpBodySink &sink)
{
    return send("GET", resource, nullptr, {}, &sink);
}

HttpResponse HttpClient::post(const QString &resource, const QByteArray &body, const QString &contentType)
{
    return send("POST", resource, &body, contentType);
}

HttpResponse HttpClient::post(const QString &resource, const QString &body, const QString &contentType)
{
    return post(resource, body.toUtf8(), contentType);
}

HttpResponse HttpClient::post(const QString &resource, const char *body, const QString &contentType)
{
    return post(resource, QByteArray(body), contentType);
}

HttpResponse HttpClient::patch(const QString &resource, const QByteArray &body, const QString &contentType)
{
    return send("PATCH", resource, &body, contentType);
}

HttpResponse HttpClient::patch(const QString &resource, const QString &body, const QString &contentType)
{
    return patch(resource, body.toUtf8(), contentType);
}

HttpResponse HttpClient::patch(const QString &resource, const char *body, const QString &contentType)
{
    return patch(resource, QByteArray(body), contentType);
}

HttpResponse HttpClient::put(const QString &resource, const QByteArray &body, const QString &contentType)
{
    return send("PUT", resource, &body, contentType);
}

HttpResponse HttpClient::put(const QString &resource, const QString &body, const QString &contentType)
{
    return put(resource, body.toUtf8(), contentType);
}

HttpResponse HttpClient::put(const QString &resource, const char *body, const QString &contentType)
{
    return put(resource, QByteArray(body), contentType);
}

HttpResponse HttpClient::del(const QString &resource)
{
    return send("DELETE", resource, nullptr, {});
}

HttpClient &HttpClient::async(CompletionHandler completion, ErrorHandler error, bool synchronized)
{
    m_armed = true;
    m_completion = std::move(completion);
    m_error = std::move(error);
    m_synchronized = synchronized;
    return *this;
}

HttpClient &HttpClient::setCancelToken(std::shared_ptr<HttpCancelToken> token)
{
    m_cancelToken = std::move(token);
    return *this;
}

namespace {

// The waiting side of a BodyStream: each piece goes to the sink (or into
// the body, when the sink did not take it) and is let go at once.
HttpResponse receive(const std::shared_ptr<BodyStream> &streamOwner, HttpBodySink &sink)
{
    BodyStream &stream = *streamOwner;
    bool seenHead = false;
    bool taken = false;
    QByteArray body;
    try {
        for (;;) {
            std::deque<QByteArray> pieces;
            HttpResponse head;
            bool newHead = false;
            bool ended = false;
            {
                QMutexLocker lock(&stream.mutex);
                while (!stream.ended && stream.pieces.empty() && (seenHead || !stream.headed))
                    stream.changed.wait(&stream.mutex);
                if (stream.ended && stream.outcome.failed)
                    break; // what arrived no longer matters
                if (!seenHead && stream.headed) {
                    seenHead = newHead = true;
                    head = stream.head;
                }
                pieces.swap(stream.pieces);
                stream.queued = 0;
                ended = stream.ended;
                if (stream.paused && stream.transfer) {
                    stream.paused = false;
                    postToTransfer(streamOwner, [](Transfer *transfer) { transfer->resume(); });
                }
            }
            if (newHead) {
                taken = sink.accept(head);
                // a body not taken is gathered as get() gathers it: sized once
                const qint64 length = head.header("Content-Length").toLongLong();
                if (!taken && length > 0 && length <= MaxBodySize)
                    body.reserve(qsizetype(length) + HttpResponse::BodyPadding);
            }
            for (; !pieces.empty(); pieces.pop_front()) {
                const QByteArray &piece = pieces.front();
                if (taken)
                    sink.append(piece.constData(), piece.size());
                else
                    body.append(piece);
            }
            if (ended)
                break;
        }
    } catch (...) {
        stream.abandoned = true;
        // a transfer paused for this reader hears nothing more from the
        // socket, so it is told at once rather than held open; one that is
        // gone may have taken the network thread with it
        QMutexLocker lock(&stream.mutex);
        if (stream.transfer)
            postToTransfer(streamOwner, [](Transfer *transfer) { transfer->abandon(); });
        throw;
    }
    Outcome o;
    {
        QMutexLocker lock(&stream.mutex);
        o = std::move(stream.outcome);
    }
    if (o.failed)
        throw TransportError(o.failure, o.kind);
    if (!taken) {
        body.reserve(body.size() + HttpResponse::BodyPadding);
        o.response.body = std::move(body);
    }
    return std::move(o.response);
}

} // namespace

HttpResponse HttpClient::send(const QByteArray &method, const QString &resource, const QByteArray *body,
                              const QString &contentType, HttpBodySink *sink)
{
    // parameters and arming belong to this request only, whatever happens to it
    const auto query = std::exchange(m_query, {});
    const auto pathParams = std::exchange(m_pathParams, {});
    const bool armed = std::exchange(m_armed, false);
    CompletionHandler completion = std::exchange(m_completion, nullptr);
    ErrorHandler errorHandler = std::exchange(m_error, nullptr);
    const std::shared_ptr<HttpCancelToken> cancelToken = std::exchange(m_cancelToken, nullptr);

    Request r;
    if (cancelToken)
        r.cancel = cancelToken->d;
    r.method = method;
    r.connectTimeout = m_connectTimeout;
    r.readTimeout = m_readTimeout;

    QString path = resource;
    for (const auto &p : pathParams)
        path.replace(QString(QLatin1Char('{') + p.first + QLatin1Char('}')),
                     QString::fromLatin1(QUrl::toPercentEncoding(p.second)));
    QString full;
    if (isAbsoluteHttp(path)) {
        full = path;
    } else {
        QString base = m_baseURL;
        while (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        if (!path.isEmpty() && !path.startsWith(QLatin1Char('/')))
            path.prepend(QLatin1Char('/'));
        full = base + path;
    }
    if (!query.isEmpty()) {
        QByteArray encoded;
        for (const auto &q : query) {
            if (!encoded.isEmpty())
                encoded += '&';
            encoded += QUrl::toPercentEncoding(q.first) + '=' + QUrl::toPercentEncoding(q.second);
        }
        full += (full.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) + QString::fromLatin1(encoded);
    }
    r.url = QUrl(full, QUrl::TolerantMode);
    const QString scheme = r.url.scheme().toLower();
    const bool validUrl = r.url.isValid() && !r.url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));

    if (!m_userAgent.isEmpty())
        r.headers.append({ "User-Agent", headerText(m_userAgent) });
    for (const auto &h : m_headers) {
        if (body && h.first.compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0)
            continue; // the verb's content type describes its body
        r.headers.append({ headerText(h.first), headerText(h.second) });
    }
    if (body) {
        r.hasBody = true;
        r.body = *body;
        r.headers.append({ "Content-Type",
                           contentType.isEmpty() ? QByteArray("application/octet-stream") : headerText(contentType) });
    }

    if (armed) {
        const bool synchronized = m_synchronized;
        auto done = [completion, errorHandler, synchronized](Outcome o) {
            auto call = [completion, errorHandler, o = std::move(o)] {
                Async::detail::guarded([&] {
                    if (o.failed) {
                        if (errorHandler)
                            errorHandler(TransportError(o.failure, o.kind));
                    } else if (completion) {
                        completion(o.response);
                    }
                });
            };
            if (!synchronized) {
                Async::detail::start(std::move(call));
            } else if (QCoreApplication *app = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
            }
        };
        auto job = std::make_shared<Job>(std::move(r), std::move(done));
        if (!validUrl)
            job->finish(Outcome::failing(QStringLiteral("Invalid URL: ") + full));
        else
            submit(job);
        return {};
    }

    if (!validUrl)
        throw TransportError(QStringLiteral("Invalid URL: ") + full);
    if (onNetworkThread)
        throw TransportError(QStringLiteral("Synchronous request on the network thread: ") + full);

    if (sink) {
        auto stream = std::make_shared<BodyStream>();
        r.stream = stream;
        submit(std::make_shared<Job>(std::move(r), [stream](Outcome o) { stream->end(std::move(o)); }));
        return receive(stream, *sink);
    }
    auto promise = std::make_shared<std::promise<Outcome>>();
    std::future<Outcome> future = promise->get_future();
    submit(std::make_shared<Job>(std::move(r), [promise](Outcome o) { promise->set_value(std::move(o)); }));
    Outcome o = future.get();
    if (o.failed)
        throw TransportError(o.failure, o.kind);
    return std::move(o.response);
}

void shutdownNetwork()
{
    NetworkState &state = networkState();
    std::shared_ptr<NetworkThread> thread;
    {
        QMutexLocker lock(&state.mutex);
        thread = std::move(state.thread);
        QCoreApplication *app = QCoreApplication::instance();
        if (app && state.closedFor != app) {
            state.closedFor = app;
            QObject::connect(app, &QObject::destroyed, [] {
                QMutexLocker lock(&networkState().mutex);
                networkState().closedFor = nullptr;
            });
        }
    }
    if (thread)
        thread->shutdown();
}

} // namespace Platform
