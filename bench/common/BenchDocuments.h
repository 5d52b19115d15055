#pragma once

// Opening a document from its file and saving a tree too deep to keep, as
// the benchmarks that time them share it.

#include "../PeakMemory.h"
#include "application/TWDocument.h"
#include "model/TWFileIO.h"
#include "platform/NotificationQueue.h"

#include <QString>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace BenchDocuments {

// The document read from `path` without a window; null if it cannot be read.
inline std::unique_ptr<TWDocument> opened(const QString &path)
{
    auto document = std::make_unique<TWDocument>();
    if (!document->readFromFile(path))
        return nullptr;
    return document;
}

// Closed, with what its maps posted on closing delivered.
inline void closed(std::unique_ptr<TWDocument> document)
{
    document.reset();
    NotificationQueue::defaultQueue().flush();
}

struct Opens
{
    double seconds = 0; // all the opens together
    qint64 peak = 0;    // the process's resident high-water mark, at most
    qint64 rise = 0;    // what one open added to it, at most
};

// Opens the document at `path` once an iteration; only the reading is
// timed. `whole(document)` says whether all of it was read.
template <typename Whole>
Opens timeOpens(benchmark::State &state, const QString &path, Whole &&whole)
{
    Opens opens;
    for (auto _ : state) {
        const BenchMemory::PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        std::unique_ptr<TWDocument> document = opened(path);
        opens.seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        opens.peak = std::max(opens.peak, memory.peak());
        opens.rise = std::max(opens.rise, memory.rise());
        if (!document || !whole(*document))
            state.SkipWithError("the document did not open whole");
        state.PauseTiming();
        closed(std::move(document));
        state.ResumeTiming();
    }
    return opens;
}

// A save of branches nested `levels` deep. Deeper than a file may nest, it
// is refused by design: what is measured then is the refusal, and the
// output says so rather than reporting an error.
class DeepSave
{
public:
    explicit DeepSave(int levels) : m_refused(levels > TWFileIO::MaximumBranchLevels) {}

    bool refused() const { return m_refused; }
    // Whether the save gave what it should; if not, the benchmark is
    // stopped with an error.
    bool check(benchmark::State &state, int result) const
    {
        if (result == (m_refused ? TWFileIO::SaveTooDeep : TWFileIO::SaveSucceeded))
            return true;
        state.SkipWithError(m_refused ? "a tree too deep to read back was not refused"
                                      : "the save failed");
        return false;
    }
    void report(benchmark::State &state) const
    {
        state.counters["refused"] = m_refused ? 1 : 0;
        if (m_refused)
            state.SetLabel("refused: deeper than a saved file may nest");
    }

private:
    bool m_refused;
};

} // namespace BenchDocuments
