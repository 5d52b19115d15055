#include "platform/GraphicNumberSet.h"
#include "platform/Random.h"

GraphicNumberSet::GraphicNumberSet(Source source)
    : m_source(source ? std::move(source) : Source([] { return Random::next(); }))
{}

GraphicNumberSet &GraphicNumberSet::shared()
{
    static GraphicNumberSet set;
    return set;
}

long GraphicNumberSet::generate()
{
    std::lock_guard lock(m_mutex);
    for (;;) {
        const long n = m_source();
        if (n != 0 && m_used.insert(n).second)
            return n;
    }
}

bool GraphicNumberSet::registerNumber(long number)
{
    std::lock_guard lock(m_mutex);
    return m_used.insert(number).second;
}

void GraphicNumberSet::release(long number)
{
    std::lock_guard lock(m_mutex);
    m_used.erase(number);
}

bool GraphicNumberSet::isInUse(long number) const
{
    std::lock_guard lock(m_mutex);
    return m_used.count(number) != 0;
}

int GraphicNumberSet::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_used.size());
}
