#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Threads kept for splitting one job into parts that run side by side and
// are all done when run() returns. Starting threads anew for each job would
// cost a noticeable part of it. Every hand-over goes through the standard
// library's mutex, so thread checkers see it.
class ForkJoinThreads
{
public:
    // Threads for up to `parts` parts at once, the calling thread's included.
    explicit ForkJoinThreads(std::size_t parts);
    ~ForkJoinThreads();
    ForkJoinThreads(const ForkJoinThreads &) = delete;
    ForkJoinThreads &operator=(const ForkJoinThreads &) = delete;

    // The parts the processors this process may run on take, up to eight.
    static std::size_t machineParts();

    std::size_t parts() const { return m_helpers + 1; }

    // work(0) on this thread and work(1) ... work(parts - 1) on the kept
    // ones; back when every part is done. A second caller waits for the
    // first; a call from inside a part runs every part on its own thread.
    void run(std::size_t parts, const std::function<void(std::size_t)> &work);

    // each(i) for every i below count, shared out as parts take them.
    template <typename Each>
    void forEachIndex(std::size_t count, Each &&each)
    {
        std::atomic<std::size_t> next = 0;
        run(count, [&](std::size_t) {
            for (std::size_t i = next++; i < count; i = next++)
                each(i);
        });
    }

private:
    void start();
    void serve();

    const std::size_t m_helpers;
    std::once_flag m_started;
    std::mutex m_turn; // one run at a time
    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    const std::function<void(std::size_t)> *m_work = nullptr;
    std::size_t m_next = 0, m_parts = 0, m_running = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
