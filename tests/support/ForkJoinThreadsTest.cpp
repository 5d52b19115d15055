#include "support/ForkJoinThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

// Every index is taken exactly once, however the count compares with the
// threads; a part asking for parts of its own, or two callers at once, do not
// wait forever; a part that throws leaves the threads usable.
TEST(ForkJoinThreadsTest, EveryIndexOnceWhateverTheCallers)
{
    ForkJoinThreads threads(4);
    for (const std::size_t count : {0u, 1u, 3u, 4u, 5u, 1000u}) {
        std::vector<std::atomic<int>> taken(count);
        threads.forEachIndex(count, [&](std::size_t i) { ++taken[i]; });
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(taken[i], 1) << "index " << i << " of " << count;
    }

    std::atomic<int> inner = 0;
    threads.forEachIndex(8, [&](std::size_t) { threads.forEachIndex(3, [&](std::size_t) { ++inner; }); });
    EXPECT_EQ(inner, 24);

    std::atomic<int> fromTwo = 0;
    std::thread other([&] {
        for (int round = 0; round < 50; ++round)
            threads.forEachIndex(16, [&](std::size_t) { ++fromTwo; });
    });
    for (int round = 0; round < 50; ++round)
        threads.forEachIndex(16, [&](std::size_t) { ++fromTwo; });
    other.join();
    EXPECT_EQ(fromTwo, 2 * 50 * 16);

    std::atomic<int> others = 0;
    EXPECT_THROW(threads.run(4,
                             [&](std::size_t part) {
                                 if (part == 0)
                                     throw std::runtime_error("part failed");
                                 ++others;
                             }),
                 std::runtime_error);
    EXPECT_EQ(others, 3);
    std::atomic<int> after = 0;
    threads.forEachIndex(100, [&](std::size_t) { ++after; });
    EXPECT_EQ(after, 100);
}
