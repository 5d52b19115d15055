#pragma once

#include <QtGlobal>
#include <functional>
#include <mutex>
#include <unordered_set>

// The graphic numbers in use during this run. New numbers are random and
// never handed out twice; numbers read from files are recorded so that new
// ones do not collide with them. Guarded by a lock: any thread may ask.
// 0 is never handed out, so it can stand for "no graphic".
class GraphicNumberSet
{
public:
    using Source = std::function<long()>;

    // Draws from Random::next() unless another source is given.
    explicit GraphicNumberSet(Source source = {});

    // The run-wide set.
    static GraphicNumberSet &shared();

    // A number not in use, now recorded as used.
    long generate();
    // Records a number read from a file; false when it was already in use.
    bool registerNumber(long number);
    void release(long number);
    bool isInUse(long number) const;
    int count() const;

private:
    mutable std::mutex m_mutex;
    std::unordered_set<long> m_used;
    Source m_source;
};
