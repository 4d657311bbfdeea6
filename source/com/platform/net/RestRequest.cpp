#include "RestRequest.h"

#include "AsyncRunner.h"
#include "Errors.h"
#include "Logging.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

namespace Platform {

// What the worker and the queued delivery share with the request: the token
// and a way back. request is read and written on the UI thread only.
struct RestRequest::Core
{
    std::shared_ptr<HttpCancelToken> token = std::make_shared<HttpCancelToken>();
    QPointer<RestRequest> request;
};

namespace {

struct Registry
{
    // UI thread only
    QList<RestRequest *> live;
    int running = 0; // handlers on the stack
    int cancellable = 0;
    // workers holding a request's work, any thread
    QMutex mutex;
    QWaitCondition idle;
    int busyWorkers = 0;
};

Registry &registry()
{
    static Registry r;
    return r;
}

thread_local RestRequestOwner *innermostOwner = nullptr;

RestOutcome failedOutcome(const QString &AText, TransportFailure AKind = TransportFailure::Other)
{
    RestOutcome o;
    o.failed = true;
    o.failure = AText;
    o.failureKind = AKind;
    return o;
}

// The exception being handled as a failed outcome; a transport error keeps
// its kind, so that the user can be told what happened.
RestOutcome failedOutcomeOfCurrent()
{
    try {
        throw;
    } catch (const TransportError &e) {
        return failedOutcome(e.message(), e.kind());
    } catch (const std::exception &e) {
        return failedOutcome(messageOf(e));
    } catch (...) {
        return failedOutcome(QStringLiteral("Unknown error"));
    }
}

// Keeps a handler's exceptions out of the event loop; counts it as running
// so that a drain knows it is further down the stack.
template<typename F> void runHandler(const char *AWhat, F &&AHandler)
{
    Registry &r = registry();
    ++r.running;
    try {
        AHandler();
    } catch (const std::exception &e) {
        qCCritical(Platform::Log::net, "REST request, %s: %s", AWhat, e.what());
    } catch (...) {
        qCCritical(Platform::Log::net, "REST request, %s: unknown exception", AWhat);
    }
    --r.running;
}

void setCancellableCount(int ACount)
{
    Registry &r = registry();
    if (r.cancellable == ACount)
        return;
    r.cancellable = ACount;
    Q_EMIT RestRequest::notifier().cancellableCountChanged(ACount);
}

} // namespace

RestRequestNotifier &RestRequest::notifier()
{
    static RestRequestNotifier n;
    return n;
}

RestRequest::RestRequest(QObject *AParent)
    : QObject(AParent)
    , m_core(std::make_shared<Core>())
{
    m_core->request = this;
}

RestRequest::~RestRequest() = default;

RestRequest *RestRequest::create(const QList<QObject *> &AOwners)
{
    auto *request = new RestRequest;
    QList<QObject *> owners = AOwners;
    if (QObject *scoped = RestRequestOwner::current())
        owners.append(scoped);
    for (QObject *owner : std::as_const(owners)) {
        if (owner)
            connect(owner, &QObject::destroyed, request, [request] { request->abort(AbortReason::OwnerGone); });
    }
    registry().live.append(request);
    return request;
}

void RestRequest::startWorker(std::function<void()> AJob)
{
    Registry &r = registry();
    {
        QMutexLocker lock(&r.mutex);
        ++r.busyWorkers;
    }
    if (!Async::detail::start(std::move(AJob))) {
        workerDone();
        QMetaObject::invokeMethod(
            this, [this] { deliver(failedOutcome(QStringLiteral("Background tasks have been shut down"))); },
            Qt::QueuedConnection);
    }
}

void RestRequest::workerDone()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    if (--r.busyWorkers == 0)
        r.idle.wakeAll();
}

void RestRequest::send(std::shared_ptr<HttpClient> AClient, Work AWork, const QString &ANoClientText)
{
    if (m_ended)
        return;
    if (m_cancellable)
        setCancellableCount(cancellableCount());
    std::shared_ptr<Core> core = m_core;
    startWorker([core, client = std::move(AClient), work = std::move(AWork), ANoClientText]() mutable {
        RestOutcome outcome;
        if (!client) {
            outcome = failedOutcome(ANoClientText);
        } else if (core->token->isCancelled()) {
            outcome = failedOutcome(QStringLiteral("Request cancelled"));
        } else {
            try {
                client->setCancelToken(core->token);
                outcome = work(*client);
            } catch (...) {
                outcome = failedOutcomeOfCurrent();
            }
        }
        // nothing of the caller stays behind on this worker
        work = nullptr;
        client.reset();
        post(core, std::move(outcome));
        workerDone();
    });
}

void RestRequest::sendArmed(Digest ADigest, const Issue &AIssue)
{
    if (m_ended)
        return;
    if (m_cancellable)
        setCancellableCount(cancellableCount());
    std::shared_ptr<Core> core = m_core;
    // One of the two handlers runs, wherever the client delivers (the UI
    // thread, for a synchronized client: a drain cannot wait for that, and
    // needs not, it holds plain data only); the digest runs on a pool worker.
    auto digest = std::make_shared<Digest>(std::move(ADigest));
    auto finishWith = [core, digest](RestOutcome AOutcome) {
        {
            Registry &r = registry();
            QMutexLocker lock(&r.mutex);
            ++r.busyWorkers;
        }
        auto outcome = std::make_shared<RestOutcome>(std::move(AOutcome));
        auto job = [core, digest, outcome] {
            if (!outcome->failed && *digest) {
                try {
                    (*digest)(*outcome);
                } catch (...) {
                    *outcome = failedOutcomeOfCurrent();
                }
            }
            *digest = nullptr;
            post(core, std::move(*outcome));
            workerDone();
        };
        if (!Async::detail::start(job)) {
            *outcome = failedOutcome(QStringLiteral("Background tasks have been shut down"));
            *digest = nullptr;
            job();
        }
    };
    AIssue(
        [finishWith](const HttpResponse &AResponse) {
            RestOutcome o;
            o.response = AResponse;
            finishWith(std::move(o));
        },
        [finishWith](const Error &AError) {
            const auto *transport = dynamic_cast<const TransportError *>(&AError);
            finishWith(failedOutcome(AError.message(), transport ? transport->kind() : TransportFailure::Other));
        },
        core->token);
}

// From a worker to the UI thread; only libcom code and plain data travel.
void RestRequest::post(const std::shared_ptr<Core> &ACore, RestOutcome &&AOutcome)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    auto outcome = std::make_shared<RestOutcome>(std::move(AOutcome));
    QMetaObject::invokeMethod(
        app,
        [core = ACore, outcome] {
            if (RestRequest *request = core->request)
                request->deliver(std::move(*outcome));
        },
        Qt::QueuedConnection);
}

void RestRequest::deliver(RestOutcome &&AOutcome)
{
    if (m_ended)
        return;
    Finish finish = std::move(m_finish);
    m_finish = nullptr;
    m_aborted = nullptr;
    end();
    if (finish)
        runHandler("completing", [&] { finish(std::move(AOutcome)); });
    // the caller's handlers go here, on the UI thread
    finish = nullptr;
}

void RestRequest::abort(AbortReason AReason)
{
    if (m_ended)
        return;
    m_core->token->cancel();
    Aborted aborted = std::move(m_aborted);
    m_aborted = nullptr;
    m_finish = nullptr;
    end();
    if (aborted)
        runHandler("aborting", [&] { aborted(AReason); });
    aborted = nullptr;
}

void RestRequest::end()
{
    m_ended = true;
    m_core->request = nullptr;
    Registry &r = registry();
    r.live.removeOne(this);
    if (m_cancellable)
        setCancellableCount(cancellableCount());
    // the owners' connections go with it
    deleteLater();
}

int RestRequest::liveCount()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    return int(r.live.size()) + r.busyWorkers;
}

int RestRequest::cancellableCount()
{
    int count = 0;
    for (const RestRequest *request : std::as_const(registry().live)) {
        if (request->m_cancellable && !request->m_ended)
            ++count;
    }
    return count;
}

void RestRequest::cancelReads()
{
    const QList<RestRequest *> live = registry().live;
    QList<QPointer<RestRequest>> reads;
    for (RestRequest *request : live) {
        if (request->m_cancellable)
            reads.append(request);
    }
    for (const QPointer<RestRequest> &request : std::as_const(reads)) {
        if (request)
            request->abort(AbortReason::Cancelled);
    }
}

void RestRequest::abortAll()
{
    // an aborted handler may start or end others: take them one at a time
    while (!registry().live.isEmpty())
        registry().live.first()->abort(AbortReason::Shutdown);
}

bool RestRequest::waitUntilIdle(int ATimeoutMs)
{
    Registry &r = registry();
    if (r.running > 0) {
        qCWarning(Platform::Log::net, "A request handler is still running further down the stack");
        return false;
    }
    QDeadlineTimer deadline(ATimeoutMs);
    QMutexLocker lock(&r.mutex);
    while (r.busyWorkers > 0) {
        if (!r.idle.wait(&r.mutex, deadline)) {
            qCWarning(Platform::Log::net, "%d request worker(s) still busy after %d ms", r.busyWorkers, ATimeoutMs);
            return false;
        }
    }
    return r.live.isEmpty();
}

RestRequestOwner::RestRequestOwner(QObject *AOwner)
    : m_owner(AOwner)
    , m_outer(innermostOwner)
{
    innermostOwner = this;
}

RestRequestOwner::~RestRequestOwner()
{
    innermostOwner = m_outer;
}

QObject *RestRequestOwner::current()
{
    return innermostOwner ? innermostOwner->m_owner.data() : nullptr;
}

} // namespace Platform
