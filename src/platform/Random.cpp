#include "platform/Random.h"

#include <QRandomGenerator>
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

void Random::seed(quint32 seed)
{
    std::lock_guard lock(g_mutex);
    generator().seed(seed);
}
