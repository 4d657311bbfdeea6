#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

// A fixed set of threads taking jobs from one queue. Each thread runs
// onStart before its first job (it opens its database connection there) and
// onStop after its last.
class WorkerPool
{
public:
    struct Options
    {
        QString name;
        int threads = 4;
        qsizetype maxQueued = 1024; // post() refuses beyond this
        int niceness = 0; // > 0: these threads yield the processor to others
        std::function<void()> onStart;
        std::function<void()> onStop;
    };

    explicit WorkerPool(Options options);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // False when the queue is full (the caller answers 503).
    bool post(std::function<void()> job);
    // Lets running jobs finish, drops queued ones and joins the threads.
    void stop();

private:
    void work();

    Options m_options;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::vector<std::unique_ptr<QThread>> m_threads;
};
