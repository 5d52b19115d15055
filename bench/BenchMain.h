#pragma once

#include "application/Startup.h"

#include <benchmark/benchmark.h>

// BENCHMARK_MAIN, with the library's readers, kinds and resources registered
// first: the static library registers nothing by itself.
#define THINKWEB_BENCHMARK_MAIN()                                                                  \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        registerTypesAndResources();                                                               \
        ::benchmark::Initialize(&argc, argv);                                                      \
        if (::benchmark::ReportUnrecognizedArguments(argc, argv))                                  \
            return 1;                                                                              \
        ::benchmark::RunSpecifiedBenchmarks();                                                     \
        ::benchmark::Shutdown();                                                                   \
        return 0;                                                                                  \
    }                                                                                              \
    int main(int, char **)
