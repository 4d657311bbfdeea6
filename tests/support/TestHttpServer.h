#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>

// One request as it arrived.
struct RecordedRequest
{
    int sequence = 0; // arrival order, from 1
    int connectionId = 0; // the socket it came on, from 1
    QByteArray method;
    QString path; // decoded, without the query
    QByteArray rawPath; // as sent
    QByteArray rawQuery; // as sent, without '?'
    QList<QPair<QString, QString>> queryItems; // decoded; '+' stays '+'
    // Values as sent after the colon and its leading blanks; trailing blanks
    // are kept so that a test sees "Bearer " exactly.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray &name) const; // first, without letter case
    bool hasHeader(const QByteArray &name) const;
    int headerCount(const QByteArray &name) const;
    QString queryValue(const QString &name) const; // first
    bool hasQueryItem(const QString &name) const;
};

// What the server does with a request.
struct Reply
{
    enum class Action {
        Respond, // status line, headers, Content-Length, body
        CloseWithoutAnswer, // close the connection at once
        Hang, // never answer, keep the connection open
        PartialBodyThenClose, // promise the whole body, send half, close
        Garbage, // bytes that are not HTTP (the body if given), close
    };

    int status = 200;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int delayMs = 0;
    Action action = Action::Respond;
    QByteArray reason; // empty: the usual phrase of the status

    Reply &addHeader(const QByteArray &name, const QByteArray &value)
    {
        headers.append(qMakePair(name, value));
        return *this;
    }

    static Reply json(const QByteArray &body, int status = 200);
    static Reply text(const QByteArray &body, int status = 200);
    static Reply withAction(Action action, const QByteArray &body = {});
};

// A real HTTP/1.1 server on 127.0.0.1 (a free port) running in a thread of
// its own, so that a synchronous client may block the test's thread. It
// keeps connections open between requests, records every request and
// answers from the queue first, then the handler, else 200 with "{}".
// A request is recorded as soon as it has arrived, before it is answered.
// The handler runs on the server's thread; while it blocks, the server
// answers nobody (tests use that to hold an answer back).
class TestHttpServer
{
public:
    using Handler = std::function<Reply(const RecordedRequest &)>;

    explicit TestHttpServer(Handler handler = {});
    // On a given port, e.g. that of a server that was stopped, to see a
    // client find the server back; port() is 0 when the port is taken.
    TestHttpServer(quint16 port, Handler handler);
    ~TestHttpServer();

    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    QString url() const; // "http://127.0.0.1:PORT"
    quint16 port() const;

    void setHandler(Handler handler);
    void enqueue(Reply reply);

    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requestsTo(const QByteArray &method, const QString &path) const;
    RecordedRequest lastRequest() const;
    int requestCount() const;
    int connectionCount() const; // sockets accepted so far
    // Connections that the client closed (not the server), so far.
    int closedByClientCount() const;
    // True once the client has closed at least count connections.
    bool waitForClientCloses(int count, int timeoutMs = 5000) const;
    // True once at least count requests have arrived.
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    // Forgets the recorded requests and the queued replies.
    void clear();

    class Private;

private:
    std::unique_ptr<Private> d;
};
