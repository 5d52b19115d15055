#include "platform/Random.h"

#include <QRandomGenerator>
#include <algorithm>
#include <iterator>
#include <mutex>

namespace {
std::mutex g_mutex;
QRandomGenerator &generator()
{
    static QRandomGenerator gen(QRandomGenerator::system()->generate());
    return gen;
}
} // namespace

long Random::next()
{
    std::lock_guard lock(g_mutex);
    return long(generator().generate() & 0x7fffffffu);
}

void Random::fill(long *numbers, qsizetype count)
{
    std::lock_guard lock(g_mutex);
    QRandomGenerator &gen = generator();
    // The generator fills a range in one call, in the order of its calls.
    quint32 words[64];
    for (qsizetype at = 0; at < count;) {
        const qsizetype n = std::min<qsizetype>(count - at, qsizetype(std::size(words)));
        gen.fillRange(words, n);
        for (qsizetype i = 0; i < n; ++i)
            numbers[at + i] = long(words[i] & 0x7fffffffu);
        at += n;
    }
}

void Random::seed(quint32 seed)
{
    std::lock_guard lock(g_mutex);
    generator().seed(seed);
}
