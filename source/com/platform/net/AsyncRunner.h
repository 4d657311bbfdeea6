#pragma once

#include "com_global.h"
#include "Errors.h"

#include <QObject>
#include <concepts>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>

// Background tasks with their outcome handed back to the UI thread.
//
// Tasks run on a pool of their own: REST tasks block on network I/O and must
// not starve QThreadPool::globalInstance(). run() returns at once; later
// exactly one of success(result) and error(failure) runs, queued to the
// thread of QCoreApplication, or to the thread of `context` when one is
// given. A context destroyed before the delivery silences both handlers.
// Handlers that are empty are skipped. An exception thrown by a handler is
// reported with qCritical and goes no further.
namespace Platform::Async {

using ErrorHandler = std::function<void(const Platform::Error &)>;

namespace detail {

class DeliveryTarget;

// Where the outcome goes; made on the calling thread.
COM_EXPORT std::shared_ptr<DeliveryTarget> targetFor(QObject *context);
// Queues fn to the target's thread unless the target is gone.
COM_EXPORT void deliver(const std::shared_ptr<DeliveryTarget> &target, std::function<void()> fn);
// Queues the work on the runner's pool; false when the pool is shut down.
COM_EXPORT bool start(std::function<void()> work);
// Calls error with the failure: a Platform::Error as thrown, anything else
// wrapped in one ("Unknown error" when it is not a std::exception).
COM_EXPORT void reportFailure(const ErrorHandler &error, const std::exception_ptr &failure);
// Runs a handler, keeping its exceptions out of the event loop.
COM_EXPORT void guarded(const std::function<void()> &handler);

} // namespace detail

template<typename T>
void run(std::function<T()> task, std::function<void(std::type_identity_t<T>)> success, ErrorHandler error,
         QObject *context = nullptr)
{
    static_assert(!std::is_void_v<T>, "use the overload without a result");
    auto target = detail::targetFor(context);
    if (!target)
        return;
    detail::start([task = std::move(task), success = std::move(success), error = std::move(error), target] {
        // shared_ptr: a move-only result must still travel in a copyable functor
        std::shared_ptr<T> result;
        std::exception_ptr failure;
        try {
            result = std::make_shared<T>(task());
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            detail::deliver(target,
                            [error, failure] { detail::guarded([&] { detail::reportFailure(error, failure); }); });
        } else {
            detail::deliver(target, [success, result] {
                if (success)
                    detail::guarded([&] { success(std::move(*result)); });
            });
        }
    });
}

COM_EXPORT void run(std::function<void()> task, std::function<void()> success, ErrorHandler error,
                    QObject *context = nullptr);

// Lambdas as they come: the result type is the task's.
template<typename Task, typename Success>
requires std::invocable<Task &>
void run(Task &&task, Success &&success, ErrorHandler error, QObject *context = nullptr)
{
    using T = std::invoke_result_t<Task &>;
    if constexpr (std::is_void_v<T>) {
        run(std::function<void()>(std::forward<Task>(task)), std::function<void()>(std::forward<Success>(success)),
            std::move(error), context);
    } else {
        run<T>(std::function<T()>(std::forward<Task>(task)), std::function<void(T)>(std::forward<Success>(success)),
               std::move(error), context);
    }
}

// Stops taking tasks, drops the queued ones, runs the wakers and waits for
// the running ones. Runs by itself when QCoreApplication is destroyed.
COM_EXPORT void shutdown();
// Registers what wakes tasks blocked on outside work (the network layer's
// requests) so that shutdown does not wait for them; runs at every shutdown.
COM_EXPORT void addShutdownWaker(std::function<void()> waker);

} // namespace Platform::Async
