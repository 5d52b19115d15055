#include "platform/GraphicNumberSet.h"
#include "platform/Random.h"
#include "platform/Uuid.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

TEST(Uuid, UpperCaseEightFourFourFourTwelve)
{
    static const QRegularExpression form(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const QString a = newUUIDString(), b = newUUIDString();
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_TRUE(form.match(b).hasMatch()) << b.toStdString();
    EXPECT_NE(a, b);
}

TEST(Random, SeededSequencesRepeatAndStayIn31Bits)
{
    auto draw = [](quint32 seed) {
        Random::seed(seed);
        std::vector<long> v;
        for (int i = 0; i < 2000; ++i)
            v.push_back(Random::next());
        return v;
    };
    const auto a = draw(42), b = draw(42), c = draw(43);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    bool highBit = false;
    for (long n : a) {
        ASSERT_GE(n, 0);
        ASSERT_LT(n, 0x80000000L);
        highBit |= (n & 0x40000000L) != 0;
    }
    EXPECT_TRUE(highBit); // the whole 31-bit range is used, not a narrower one
    EXPECT_GT(std::set<long>(a.begin(), a.end()).size(), 1990u);
}

TEST(GraphicNumberSet, SkipsNumbersInUseAndZero)
{
    std::vector<long> script = {0, 5, 5, 7, 9, 9, 11, 5};
    size_t i = 0;
    GraphicNumberSet set([&] { return script.at(i++); });
    EXPECT_EQ(set.generate(), 5);
    EXPECT_EQ(set.generate(), 7);
    EXPECT_TRUE(set.registerNumber(9)); // read from a file
    EXPECT_FALSE(set.registerNumber(9));
    EXPECT_FALSE(set.registerNumber(7)); // already handed out
    EXPECT_EQ(set.generate(), 11);
    EXPECT_EQ(set.count(), 4);
    set.release(5);
    EXPECT_FALSE(set.isInUse(5));
    EXPECT_TRUE(set.isInUse(11));
    EXPECT_EQ(set.generate(), 5); // a released number may come back
}

TEST(GraphicNumberSet, UniqueFromSeveralThreads)
{
    // A narrow source makes collisions frequent, so the lock is really exercised.
    GraphicNumberSet set([] { return Random::next() % 200000; });
    constexpr int threads = 8, perThread = 5000;
    std::vector<std::vector<long>> got(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int k = 0; k < perThread; ++k) {
                if (t == 0 && k % 2 == 0)
                    set.registerNumber(200000 + k); // a file being read meanwhile
                got[size_t(t)].push_back(set.generate());
            }
        });
    }
    for (auto &w : workers)
        w.join();
    std::set<long> all;
    for (const auto &v : got)
        all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), size_t(threads * perThread));
    EXPECT_EQ(all.count(0), 0u);
    EXPECT_EQ(set.count(), threads * perThread + perThread / 2);

    // The run-wide set too.
    std::vector<std::vector<long>> shared(4);
    std::vector<std::thread> more;
    for (int t = 0; t < 4; ++t)
        more.emplace_back([&, t] {
            for (int k = 0; k < 1000; ++k)
                shared[size_t(t)].push_back(GraphicNumberSet::shared().generate());
        });
    for (auto &w : more)
        w.join();
    std::set<long> sharedAll;
    for (const auto &v : shared)
        sharedAll.insert(v.begin(), v.end());
    EXPECT_EQ(sharedAll.size(), 4000u);
}
