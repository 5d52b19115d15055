#pragma once

#include <QtGlobal>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <vector>

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
    // Open addressing: a run of many thousand numbers stays in one block of
    // memory, and a lookup reads one or two neighbouring slots. Numbers are
    // 32-bit as graphics keep them; 0 marks a free slot, so 0 and wider
    // numbers are kept apart.
    bool insert(long number);
    qsizetype slotOf(qint32 number) const;
    void grow();
    static bool isNarrow(long number);

    // Drawn from Random a block at a time: one lock of the generator for
    // many graphics.
    long drawn();

    mutable std::mutex m_mutex;
    long m_block[64];
    int m_blockUsed = 64;
    std::vector<qint32> m_slots;
    qsizetype m_count = 0;
    std::unordered_set<long> m_others;
    Source m_source; // empty: Random
};
