#include "platform/GraphicNumberSet.h"
#include "platform/Random.h"
#include "platform/Uuid.h"

#include <QRegularExpression>
#include <QUuid>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

TEST(Uuid, UpperCaseEightFourFourFourTwelve)
{
    static const QRegularExpression form(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const QString a = newUUIDString();
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, newUUIDString());
}

// Random identifiers as the standard's version 4 marks them, none repeated.
TEST(Uuid, RandomVersionAndVariantAndNoRepeats)
{
    std::set<QString> seen;
    for (int i = 0; i < 20000; ++i) {
        const QString id = newUUIDString();
        ASSERT_EQ(id.size(), 36);
        EXPECT_EQ(id.at(14), u'4') << id.toStdString();
        EXPECT_TRUE(QStringLiteral("89AB").contains(id.at(19))) << id.toStdString();
        EXPECT_EQ(QUuid::fromString(id).version(), QUuid::Random);
        EXPECT_EQ(QUuid::fromString(id).variant(), QUuid::DCE);
        EXPECT_TRUE(seen.insert(id).second) << id.toStdString();
    }
    // Every hex digit of the random part turns up.
    std::set<QChar> digits;
    for (const QString &id : seen)
        digits.insert(id.at(0));
    EXPECT_EQ(digits.size(), 16u);
}

TEST(Random, SeededSequencesRepeatAndUseAll31Bits)
{
    auto draw = [](quint32 seed) {
        Random::seed(seed);
        std::vector<long> v(2000);
        std::generate(v.begin(), v.end(), Random::next);
        return v;
    };
    const auto a = draw(42);
    EXPECT_EQ(a, draw(42));
    // Drawn in blocks of any size, the sequence is the same.
    Random::seed(42);
    std::vector<long> blocks(a.size());
    for (size_t at = 0, size = 1; at < blocks.size(); at += size, size = size * 3 % 97 + 1)
        Random::fill(blocks.data() + at, qsizetype(std::min(size, blocks.size() - at)));
    EXPECT_EQ(blocks, a);
    // A set drawing from the generator hands out its numbers in that order.
    Random::seed(42);
    GraphicNumberSet set;
    std::vector<long> handed(150);
    std::generate(handed.begin(), handed.end(), [&set] { return set.generate(); });
    EXPECT_EQ(handed, std::vector<long>(a.begin(), a.begin() + 150));
    EXPECT_NE(a, draw(43));
    EXPECT_GE(*std::min_element(a.begin(), a.end()), 0);
    EXPECT_LT(*std::max_element(a.begin(), a.end()), 0x80000000L);
    EXPECT_GE(*std::max_element(a.begin(), a.end()), 0x40000000L); // not a narrower range
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
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int k = 0; k < perThread; ++k) {
                if (t == 0 && k % 2 == 0)
                    set.registerNumber(200000 + k); // a file being read meanwhile
                got[size_t(t)].push_back(set.generate());
            }
        });
    std::set<long> all;
    for (int t = 0; t < threads; ++t) {
        workers[size_t(t)].join();
        all.insert(got[size_t(t)].begin(), got[size_t(t)].end());
    }
    EXPECT_EQ(all.size(), size_t(threads * perThread));
    EXPECT_EQ(all.count(0), 0u);
    EXPECT_EQ(set.count(), threads * perThread + perThread / 2);
}

// Recording, releasing and asking, in long mixed runs, answer as a plain
// set does: numbers crowded into a narrow range collide, wrap around the
// end of the table and are released from the middle of runs; 0 and numbers
// wider than 32 bits are kept too.
TEST(GraphicNumberSet, AnswersAsAPlainSetThroughRecordsAndReleases)
{
    const struct
    {
        long range;
        long first;
        int steps;
    } cases[] = {{7, 0, 200},
                 {3000, 0, 20000},
                 {70000, 0, 60000},
                 {0x7fffffff, 0, 20000},
                 {3000, 0x7fffffffL - 1500, 20000},
                 {3000, -0x80000000L - 1500, 20000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.range);
        Random::seed(quint32(c.range + c.first));
        const auto draw = [&c] { return c.first + Random::next() % c.range; };
        GraphicNumberSet set(draw);
        std::set<long> model;
        for (int step = 0; step < c.steps; ++step) {
            const long number = draw();
            switch (Random::next() % 4) {
            case 0:
                ASSERT_EQ(set.registerNumber(number), model.insert(number).second) << number;
                break;
            case 1:
                set.release(number);
                model.erase(number);
                break;
            case 2:
                // A narrow range may be full: numbers are generated only
                // while some are free.
                if (model.size() + 1 < size_t(c.range)) {
                    const long n = set.generate();
                    ASSERT_NE(n, 0);
                    ASSERT_TRUE(model.insert(n).second) << n;
                }
                break;
            default:
                ASSERT_EQ(set.isInUse(number), model.count(number) != 0) << number;
                break;
            }
            ASSERT_EQ(set.count(), int(model.size()));
        }
        for (long n = c.first; n < c.first + std::min<long>(c.range, 5000); ++n)
            ASSERT_EQ(set.isInUse(n), model.count(n) != 0) << n;
        for (const long n : model)
            ASSERT_TRUE(set.isInUse(n)) << n;
    }
}
