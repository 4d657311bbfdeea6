#pragma once

#include "com_global.h"
#include "Errors.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

namespace Platform {

// What the server answered, whatever the status.
struct COM_EXPORT HttpResponse
{
    // A received body has at least this much spare capacity beyond its
    // size, so that a parser reading ahead in blocks (simdjson) takes it as
    // it is, without a padded copy.
    static constexpr qsizetype BodyPadding = 64;

    int statusCode = 0;
    QString statusText;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    bool success() const { return statusCode >= 200 && statusCode <= 299; }
    QString content() const { return QString::fromUtf8(body); }
    // First header of that name, compared without letter case; empty if absent.
    QByteArray header(const QByteArray &name) const;
};

// Takes the body of an answer while it arrives, on the thread that called
// the verb (HttpClient::get with a sink), so that what is done with the
// bytes overlaps their transfer.
class COM_EXPORT HttpBodySink
{
public:
    virtual ~HttpBodySink() = default;
    // Whether to take the body of this answer (status and headers, no body
    // yet). A body not taken is gathered into the response as usual.
    virtual bool accept(const HttpResponse &head) = 0;
    // The next bytes of a taken body, in order. An exception aborts the
    // request and leaves the verb.
    virtual void append(const char *data, qsizetype size) = 0;
};

// Whether a redirect from one address to another stays on the same server:
// the same host, on the same scheme and port or moved from http to https (a
// server that upgrades its plain address). Only such a redirect may take the
// user's token along.
COM_EXPORT bool redirectStaysOnServer(const QUrl &from, const QUrl &to);

// Aborts the requests of the clients it is given to, from any thread. An
// abort of a request in flight closes its connection (the server sees it);
// a request sent after the abort fails at once. Either way the request ends
// with TransportError "Request cancelled". One token serves one request.
class COM_EXPORT HttpCancelToken
{
public:
    HttpCancelToken();
    ~HttpCancelToken();
    HttpCancelToken(const HttpCancelToken &) = delete;
    HttpCancelToken &operator=(const HttpCancelToken &) = delete;

    void cancel();
    bool isCancelled() const;

    struct State;
    const std::shared_ptr<State> d;
};

// A configured HTTP client for one server. Settings and headers stay for
// every request; query and path parameters, and an async() arming, belong to
// the next request only.
//
// All clients of the process share one network thread with one
// QNetworkAccessManager, so connections to a server are kept alive and
// reused by every client on every thread. One instance is used by one
// thread at a time.
class COM_EXPORT HttpClient : public std::enable_shared_from_this<HttpClient>
{
public:
    using CompletionHandler = std::function<void(const HttpResponse &)>;
    using ErrorHandler = std::function<void(const Platform::Error &)>;

    static std::shared_ptr<HttpClient> create();
    ~HttpClient();

    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    HttpClient &setBaseURL(const QString &url);
    QString baseURL() const { return m_baseURL; }
    HttpClient &setUserAgent(const QString &userAgent);
    QString userAgent() const { return m_userAgent; }
    // Milliseconds; zero or less waits without limit.
    HttpClient &setConnectTimeout(int ms);
    HttpClient &setReadTimeout(int ms);
    int connectTimeout() const { return m_connectTimeout; }
    int readTimeout() const { return m_readTimeout; }

    // A name that is already present (in any letter case) gets the new value.
    HttpClient &addHeader(const QString &name, const QString &value);
    HttpClient &removeHeader(const QString &name);
    QString header(const QString &name) const;
    bool hasHeader(const QString &name) const;

    HttpClient &addQueryStringParam(const QString &name, const QString &value);
    HttpClient &addQueryStringParam(const QString &name, int value);
    // Sent as "yyyy-MM-dd".
    HttpClient &addQueryStringParam(const QString &name, const QDate &value);
    // Fills every "{name}" of the resource with the percent-encoded value;
    // names are compared with letter case, as the placeholders are.
    HttpClient &addPathParam(const QString &name, const QString &value);
    HttpClient &addPathParam(const QString &name, int value);
    HttpClient &addPathParam(const QString &name, const QDate &value);

    // Synchronous verbs block the calling thread until the response and throw
    // TransportError when no HTTP response arrived. After async() they return
    // an empty response at once instead.
    HttpResponse get(const QString &resource);
    // The body of an answer the sink accepts goes to the sink piece by piece
    // as it arrives, and the response's body stays empty. Synchronous only:
    // after async() the sink is not used. A transfer that fails part-way
    // throws TransportError as get() does, whatever the sink was given.
    HttpResponse get(const QString &resource, HttpBodySink &sink);
    HttpResponse post(const QString &resource, const QByteArray &body, const QString &contentType);
    HttpResponse post(const QString &resource, const QString &body, const QString &contentType);
    HttpResponse post(const QString &resource, const char *body, const QString &contentType);
    HttpResponse patch(const QString &resource, const QByteArray &body, const QString &contentType);
    HttpResponse patch(const QString &resource, const QString &body, const QString &contentType);
    HttpResponse patch(const QString &resource, const char *body, const QString &contentType);
    HttpResponse put(const QString &resource, const QByteArray &body, const QString &contentType);
    HttpResponse put(const QString &resource, const QString &body, const QString &contentType);
    HttpResponse put(const QString &resource, const char *body, const QString &contentType);
    HttpResponse del(const QString &resource);

    // Arms the next verb to run in the background. Exactly one handler runs
    // later: completion with the response (any status), or error with the
    // transport failure. With synchronized they run on the thread of
    // QCoreApplication, otherwise on a background worker. The request keeps
    // what it needs, so the client may be destroyed while it runs.
    HttpClient &async(CompletionHandler completion, ErrorHandler error, bool synchronized = true);
    bool isAsyncArmed() const { return m_armed; }
    // The next request can be aborted through the token (next request only).
    HttpClient &setCancelToken(std::shared_ptr<HttpCancelToken> token);

private:
    HttpClient();
    HttpResponse send(const QByteArray &method, const QString &resource, const QByteArray *body,
                      const QString &contentType, HttpBodySink *sink = nullptr);

    QString m_baseURL;
    QString m_userAgent;
    int m_connectTimeout = 0;
    int m_readTimeout = 0;
    QList<QPair<QString, QString>> m_headers;
    QList<QPair<QString, QString>> m_query;
    QList<QPair<QString, QString>> m_pathParams;
    bool m_armed = false;
    bool m_synchronized = true;
    CompletionHandler m_completion;
    ErrorHandler m_error;
    std::shared_ptr<HttpCancelToken> m_cancelToken;
};

// Stops the network thread: requests in flight fail with TransportError and
// later ones fail at once until the current QCoreApplication is gone. Runs
// by itself when QCoreApplication is destroyed.
COM_EXPORT void shutdownNetwork();

} // namespace Platform
