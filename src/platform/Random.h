#pragma once

#include <QtGlobal>

// Pseudo-random numbers in the C library's random() range, [0, 2^31), from
// one run-wide generator. Seeded from the system at start; tests seed it to
// get a repeatable sequence. Thread-safe.
class Random
{
public:
    static long next();
    static void seed(quint32 seed);
};
