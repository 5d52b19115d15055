#pragma once

#include <QtGlobal>

// Pseudo-random numbers in the C library's random() range, [0, 2^31), from
// one run-wide generator. Seeded from the system at start; tests seed it to
// get a repeatable sequence. Thread-safe.
class Random
{
public:
    static long next();
    // The next `count` numbers at once, as many calls of next() would give them.
    static void fill(long *numbers, qsizetype count);
    static void seed(quint32 seed);
};
