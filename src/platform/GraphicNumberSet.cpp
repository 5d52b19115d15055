#include "platform/GraphicNumberSet.h"
#include "platform/Random.h"

#include <iterator>
#include <limits>

GraphicNumberSet::GraphicNumberSet(Source source) : m_source(std::move(source)) {}

GraphicNumberSet &GraphicNumberSet::shared()
{
    static GraphicNumberSet set;
    return set;
}

namespace {

size_t hashOf(qint32 number, size_t mask)
{
    // Fibonacci hashing spreads numbers that differ in their low bits.
    return size_t((quint64(quint32(number)) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

} // namespace

bool GraphicNumberSet::isNarrow(long number)
{
    return number != 0 && number >= std::numeric_limits<qint32>::min() &&
           number <= std::numeric_limits<qint32>::max();
}

qsizetype GraphicNumberSet::slotOf(qint32 number) const
{
    if (m_slots.empty())
        return -1;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hashOf(number, mask);; i = (i + 1) & mask) {
        if (m_slots[i] == number)
            return qsizetype(i);
        if (m_slots[i] == 0)
            return -1;
    }
}

void GraphicNumberSet::grow()
{
    std::vector<qint32> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 1024 : old.size() * 2, 0);
    const size_t mask = m_slots.size() - 1;
    for (const qint32 number : old) {
        if (number == 0)
            continue;
        size_t i = hashOf(number, mask);
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = number;
    }
}

bool GraphicNumberSet::insert(long number)
{
    if (!isNarrow(number))
        return m_others.insert(number).second;
    // At most half full, so that runs of taken slots stay short.
    if (size_t(m_count + 1) * 2 > m_slots.size())
        grow();
    const size_t mask = m_slots.size() - 1;
    size_t i = hashOf(qint32(number), mask);
    for (; m_slots[i] != 0; i = (i + 1) & mask) {
        if (m_slots[i] == number)
            return false;
    }
    m_slots[i] = qint32(number);
    ++m_count;
    return true;
}

long GraphicNumberSet::drawn()
{
    if (m_source)
        return m_source();
    if (m_blockUsed == int(std::size(m_block))) {
        Random::fill(m_block, qsizetype(std::size(m_block)));
        m_blockUsed = 0;
    }
    return m_block[m_blockUsed++];
}

long GraphicNumberSet::generate()
{
    std::lock_guard lock(m_mutex);
    for (;;) {
        const long n = drawn();
        if (n != 0 && insert(n))
            return n;
    }
}

bool GraphicNumberSet::registerNumber(long number)
{
    std::lock_guard lock(m_mutex);
    return insert(number);
}

void GraphicNumberSet::release(long number)
{
    std::lock_guard lock(m_mutex);
    if (!isNarrow(number)) {
        m_others.erase(number);
        return;
    }
    const qsizetype at = slotOf(qint32(number));
    if (at < 0)
        return;
    // Numbers after the freed slot that could sit nearer their own slot
    // move back, so that no lookup stops early at the hole.
    const size_t mask = m_slots.size() - 1;
    size_t hole = size_t(at);
    for (size_t i = (hole + 1) & mask; m_slots[i] != 0; i = (i + 1) & mask) {
        const size_t home = hashOf(m_slots[i], mask);
        // Moves back unless its home lies cyclically in (hole, i].
        const bool between = hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
        if (!between) {
            m_slots[hole] = m_slots[i];
            hole = i;
        }
    }
    m_slots[hole] = 0;
    --m_count;
}

bool GraphicNumberSet::isInUse(long number) const
{
    std::lock_guard lock(m_mutex);
    return isNarrow(number) ? slotOf(qint32(number)) >= 0 : m_others.count(number) != 0;
}

int GraphicNumberSet::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_count + qsizetype(m_others.size()));
}
