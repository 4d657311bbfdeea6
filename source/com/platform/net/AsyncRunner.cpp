#include "AsyncRunner.h"

#include "Logging.h"

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QtDebug>
#include <vector>

namespace Platform::Async {

namespace {

// Enough for the requests that a screen starts at once; QNAM itself keeps
// at most six connections per server, the rest wait in its queue.
constexpr int MaxWorkers = 16;

struct PoolState
{
    QMutex mutex;
    std::unique_ptr<QThreadPool> pool;
    // The application whose shut-down closed the pool; no new pool for it.
    QCoreApplication *closedFor = nullptr;
};

PoolState &poolState()
{
    static PoolState state;
    return state;
}

void shutdownAtExit()
{
    shutdown();
}

} // namespace

namespace detail {

class DeliveryTarget
{
public:
    QMutex mutex;
    // Guarded by mutex; null once the relay is gone.
    QObject *receiver = nullptr;
    QObject *relay = nullptr;
    bool hasContext = false;
    // Read on the receiver's thread only.
    QPointer<QObject> context;
};

namespace {

// Lives in the context's thread (as its child when it can) so that a
// destroyed context takes the pending delivery with it.
class Relay : public QObject
{
public:
    Relay(std::shared_ptr<DeliveryTarget> target, QObject *parent)
        : QObject(parent)
        , m_target(std::move(target))
    { }
    ~Relay() override
    {
        QMutexLocker lock(&m_target->mutex);
        m_target->receiver = nullptr;
    }

private:
    std::shared_ptr<DeliveryTarget> m_target;
};

} // namespace

std::shared_ptr<DeliveryTarget> targetFor(QObject *context)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        qCWarning(Platform::Log::net, "Platform::Async: no application object, task dropped");
        return {};
    }
    auto target = std::make_shared<DeliveryTarget>();
    if (!context) {
        target->receiver = app;
        return target;
    }
    target->hasContext = true;
    target->context = context;
    Relay *relay = nullptr;
    if (context->thread() == QThread::currentThread()) {
        relay = new Relay(target, context);
    } else {
        // can't adopt a child across threads; follow the context instead
        relay = new Relay(target, nullptr);
        relay->moveToThread(context->thread());
        QObject::connect(context, &QObject::destroyed, relay, &QObject::deleteLater);
    }
    target->receiver = relay;
    target->relay = relay;
    return target;
}

void deliver(const std::shared_ptr<DeliveryTarget> &target, std::function<void()> fn)
{
    QMutexLocker lock(&target->mutex);
    if (!target->receiver)
        return;
    QMetaObject::invokeMethod(
        target->receiver,
        [target, fn = std::move(fn)] {
            if (target->hasContext) {
                if (!target->context)
                    return;
                // the handler may destroy the context; the relay must not go with it mid-call
                target->relay->setParent(nullptr);
                target->relay->deleteLater();
            }
            fn();
        },
        Qt::QueuedConnection);
}

bool start(std::function<void()> work)
{
    PoolState &state = poolState();
    QMutexLocker lock(&state.mutex);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app == state.closedFor)
        return false;
    if (!state.pool) {
        state.pool = std::make_unique<QThreadPool>();
        state.pool->setMaxThreadCount(MaxWorkers);
        state.pool->setObjectName(QStringLiteral("Platform::Async"));
        qAddPostRoutine(shutdownAtExit);
    }
    state.pool->start(std::move(work));
    return true;
}

void reportFailure(const ErrorHandler &error, const std::exception_ptr &failure)
{
    if (!error)
        return;
    try {
        std::rethrow_exception(failure);
    } catch (const Platform::Error &e) {
        error(e);
    } catch (const std::exception &e) {
        error(Platform::Error(QString::fromUtf8(e.what())));
    } catch (...) {
        error(Platform::Error(QStringLiteral("Unknown error")));
    }
}

void guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        qCCritical(Platform::Log::net, "Exception escaped a background-task handler: %s", e.what());
    } catch (...) {
        qCCritical(Platform::Log::net, "Unknown exception escaped a background-task handler");
    }
}

} // namespace detail

void run(std::function<void()> task, std::function<void()> success, ErrorHandler error, QObject *context)
{
    auto target = detail::targetFor(context);
    if (!target)
        return;
    detail::start([task = std::move(task), success = std::move(success), error = std::move(error), target] {
        std::exception_ptr failure;
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            detail::deliver(target,
                            [error, failure] { detail::guarded([&] { detail::reportFailure(error, failure); }); });
        } else {
            detail::deliver(target, [success] {
                if (success)
                    detail::guarded(success);
            });
        }
    });
}

namespace {

struct Wakers
{
    QMutex mutex;
    std::vector<std::function<void()>> list;
};

Wakers &wakers()
{
    static Wakers w;
    return w;
}

} // namespace

void addShutdownWaker(std::function<void()> waker)
{
    QMutexLocker lock(&wakers().mutex);
    wakers().list.push_back(std::move(waker));
}

void shutdown()
{
    PoolState &state = poolState();
    std::unique_ptr<QThreadPool> pool;
    {
        QMutexLocker lock(&state.mutex);
        pool = std::move(state.pool);
        QCoreApplication *app = QCoreApplication::instance();
        if (app && state.closedFor != app) {
            state.closedFor = app;
            QObject::connect(app, &QObject::destroyed, [] {
                QMutexLocker lock(&poolState().mutex);
                poolState().closedFor = nullptr;
            });
        }
    }
    if (!pool)
        return;
    pool->clear();
    // tasks blocked on a request wake up with a transport failure
    std::vector<std::function<void()>> wake;
    {
        QMutexLocker lock(&wakers().mutex);
        wake = wakers().list;
    }
    for (const auto &w : wake)
        w();
    pool->waitForDone();
}

} // namespace Platform::Async
