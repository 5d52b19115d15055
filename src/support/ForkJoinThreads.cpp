#include "support/ForkJoinThreads.h"

#include <QThread>
#include <algorithm>

namespace {

// Set on a thread while it runs a part, so that a part asking for parts of
// its own does not wait for itself.
thread_local bool inPart = false;

} // namespace

ForkJoinThreads::ForkJoinThreads(std::size_t parts)
    : m_helpers(std::max<std::size_t>(parts, 1) - 1)
{
}

std::size_t ForkJoinThreads::machineParts()
{
    // Qt counts the processors this process may run on: a program pinned
    // to two cores gains nothing from eight threads taking turns there.
    static const std::size_t cores = std::clamp<std::size_t>(QThread::idealThreadCount(), 1, 8);
    return cores;
}

ForkJoinThreads::~ForkJoinThreads()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void ForkJoinThreads::start()
{
    m_threads.reserve(m_helpers);
    for (std::size_t i = 0; i < m_helpers; ++i)
        m_threads.emplace_back([this] { serve(); });
}

void ForkJoinThreads::run(std::size_t parts, const std::function<void(std::size_t)> &work)
{
    parts = std::min(parts, m_helpers + 1);
    if (parts <= 1 || inPart) {
        for (std::size_t part = 0; part < parts; ++part)
            work(part);
        return;
    }
    std::call_once(m_started, [this] { start(); });
    const std::lock_guard turn(m_turn);
    {
        const std::lock_guard lock(m_mutex);
        m_work = &work;
        m_next = 1;
        m_parts = parts;
        m_running = parts - 1;
    }
    m_wake.notify_all();
    // The others read `work` until they are done, even if this part throws.
    struct Join
    {
        ForkJoinThreads &threads;
        ~Join()
        {
            inPart = false;
            std::unique_lock lock(threads.m_mutex);
            threads.m_done.wait(lock, [this] { return threads.m_running == 0; });
            threads.m_work = nullptr;
        }
    } join{*this};
    inPart = true;
    work(0);
}

void ForkJoinThreads::serve()
{
    inPart = true;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_next < m_parts; });
        if (m_stopping)
            return;
        const std::size_t part = m_next++;
        const std::function<void(std::size_t)> &work = *m_work;
        lock.unlock();
        work(part);
        lock.lock();
        if (--m_running == 0)
            m_done.notify_one();
    }
}
