#include "WorkerPool.h"

#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

WorkerPool::WorkerPool(Options options)
    : m_options(std::move(options))
{
    for (int i = 0; i < std::max(1, m_options.threads); ++i) {
        std::unique_ptr<QThread> thread(QThread::create([this] { work(); }));
        thread->setObjectName(m_options.name);
        thread->start();
        m_threads.push_back(std::move(thread));
    }
}

WorkerPool::~WorkerPool()
{
    stop();
}

bool WorkerPool::post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping || qsizetype(m_queue.size()) >= m_options.maxQueued)
            return false;
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

void WorkerPool::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping && m_threads.empty())
            return;
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (auto &thread : m_threads)
        thread->wait();
    m_threads.clear();
}

void WorkerPool::work()
{
#ifdef Q_OS_LINUX
    // Linux applies nice values per thread
    if (m_options.niceness > 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), m_options.niceness);
#endif
    if (m_options.onStart)
        m_options.onStart();
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                break;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        job();
    }
    if (m_options.onStop)
        m_options.onStop();
}
