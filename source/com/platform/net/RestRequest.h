#pragma once

#include "com_global.h"
#include "Errors.h"
#include "HttpClient.h"
#include "JsonDataSet.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace Platform {

// What a request brings back to the UI thread: plain data only.
struct COM_EXPORT RestOutcome
{
    // No (complete) answer: a transport failure, or the work failed before
    // or while sending. failure holds the message.
    bool failed = false;
    QString failure;
    TransportFailure failureKind = TransportFailure::Other;
    HttpResponse response;
    // Rows the work built off the UI thread, when it parsed them.
    JsonDataSet::ParsedRows parsed;
};

// The one lifecycle of an asynchronous REST request (every operation of
// DataUtilsU, ComLookupsU and the shared forms goes through it).
//
// A request belongs to its owners (a screen, its tables): the first owner
// destroyed aborts it. It holds the caller's handlers; they run or are
// destroyed on the UI thread, and exactly one of finish (with the outcome)
// and aborted (without one) runs, once. Aborting closes the connection, so
// the server sees it, and destroys both handlers at once.
//
// The work runs on a pool worker and produces plain data; it never holds
// the caller's handlers, so nothing of them outlives an abort.
//
// Module code must not run after its package is unloaded: before unloading
// a package the caller aborts every live request (abortAll) and waits for
// their workers to let go (waitUntilIdle), without processing events.
class COM_EXPORT RestRequestNotifier : public QObject
{
    Q_OBJECT
Q_SIGNALS:
    void cancellableCountChanged(int ACount);
};

class COM_EXPORT RestRequest final : public QObject
{
    Q_OBJECT
public:
    enum class AbortReason {
        OwnerGone, // an owner was destroyed: nobody may be told
        Cancelled, // the user cancelled the read from the wait dialog
        Shutdown, // sign-out, exit or a package reload: nobody may be told
    };

    // Runs on a pool worker with a client of its own, which carries the
    // request's cancel token for its next verb. What it throws becomes a
    // failed outcome with the exception's message.
    using Work = std::function<RestOutcome(HttpClient &)>;
    // Runs on a pool worker with the answer of an armed client (sendArmed).
    using Digest = std::function<void(RestOutcome &)>;
    using Finish = std::function<void(RestOutcome &&)>;
    using Aborted = std::function<void(AbortReason)>;

    // UI thread. A new live request owned by the objects given (null ones
    // skipped) and by the innermost RestRequestOwner scope, if any. Owned by
    // the registry; the pointer is good until the request ends (use a
    // QPointer across anything that processes events).
    static RestRequest *create(const QList<QObject *> &AOwners = {});

    void setFinish(Finish AFinish) { m_finish = std::move(AFinish); }
    void setAborted(Aborted AAborted) { m_aborted = std::move(AAborted); }
    // A read that the wait dialog's Cancel may abort.
    void setCancellable(bool ACancellable) { m_cancellable = ACancellable; }
    bool isCancellable() const { return m_cancellable; }

    // Starts the work on the pool. A null client fails the request with
    // ANoClientText.
    void send(std::shared_ptr<HttpClient> AClient, Work AWork,
              const QString &ANoClientText = QStringLiteral("The REST client has not been created"));
    // For a long-lived client: AIssue arms it with the handlers given (on
    // any thread), gives it the token and sends the verb at once; the answer
    // is digested on a pool worker.
    using Issue =
        std::function<void(HttpClient::CompletionHandler, HttpClient::ErrorHandler, std::shared_ptr<HttpCancelToken>)>;
    void sendArmed(Digest ADigest, const Issue &AIssue);

    // UI thread. Closes the connection, runs the aborted handler with the
    // reason and destroys both handlers. Nothing after the first end.
    void abort(AbortReason AReason);
    bool hasEnded() const { return m_ended; }

    // ---- the registry (UI thread) ----
    // Requests not ended, plus workers still holding a request's work.
    static int liveCount();
    static int cancellableCount();
    // Aborts every request that the wait dialog may cancel.
    static void cancelReads();
    static void abortAll();
    // Blocks until every worker has let go of its work and no handler is
    // running, or the time is up; processes no events. False when the time
    // ran out or a handler is running further down the stack.
    static bool waitUntilIdle(int ATimeoutMs);

    // Tells when the number of cancellable requests changes.
    static RestRequestNotifier &notifier();

    struct Core;

private:
    explicit RestRequest(QObject *AParent = nullptr);
    ~RestRequest() override;
    void deliver(RestOutcome &&AOutcome);
    static void post(const std::shared_ptr<Core> &ACore, RestOutcome &&AOutcome);
    void end();
    void startWorker(std::function<void()> AJob);
    static void workerDone();

    std::shared_ptr<Core> m_core;
    Finish m_finish;
    Aborted m_aborted;
    bool m_cancellable = false;
    bool m_ended = false;
};

// While it lives, requests created on this thread also belong to AOwner:
// a table-less write or delete then ends with the screen that sent it.
class COM_EXPORT RestRequestOwner
{
public:
    explicit RestRequestOwner(QObject *AOwner);
    ~RestRequestOwner();
    RestRequestOwner(const RestRequestOwner &) = delete;
    RestRequestOwner &operator=(const RestRequestOwner &) = delete;

    static QObject *current();

private:
    QPointer<QObject> m_owner;
    RestRequestOwner *m_outer;
};

} // namespace Platform
