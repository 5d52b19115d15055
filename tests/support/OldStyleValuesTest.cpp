#include "support/OldStyleValues.h"
#include "TestHelpers.h"
#include "TypedStreamWriter.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace OldStyleValues;

namespace {

TEST(OldStyleValues, NumbersAndFlagsReadFromTextsAndNumbers)
{
    struct Case
    {
        const char *name;
        QVariant value;
        int integer;
        float real;
        bool yes;
    };
    const Case cases[] = {
        {"decimal text", "42", 42, 42, false},
        {"text with trailing letters", " 12abc", 12, 12, false},
        {"real text", "2.75", 2, 2.75f, false},
        {"integer", qlonglong(7), 7, 7, false},
        {"integer beyond int", qlonglong(1) << 40, std::numeric_limits<int>::max(),
         1099511627776.0f, false},
        {"real", 3.5, 3, 3.5f, false},
        {"YES", "YES", 0, 0, true},
        {"lower-case yes", "yes", 0, 0, false},
        {"true", true, 1, 1, true},
        {"data", QByteArray("5"), 0, 0, false},
        {"nothing", QVariant(), 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(intValue(c.value), c.integer);
        EXPECT_EQ(floatValue(c.value), c.real);
        EXPECT_EQ(isYes(c.value), c.yes);
    }
}

TEST(OldStyleValues, GeometryStringsNeverGiveNonFiniteNumbers)
{
    EXPECT_EQ(rect("{{1, 2}, {3, 4}}"), Rect(1, 2, 3, 4));
    EXPECT_EQ(rect("{{1e999, 2}, {-1e999, 4}}"), Rect(100, 2, 100, 4));
    EXPECT_EQ(rect(QVariant()), Rect());
    EXPECT_EQ(point("{5.5, -6}"), Point(5.5f, -6));
    EXPECT_EQ(point("{1e39, 1}"), Point(100, 1)); // beyond a float
}

TEST(OldStyleValues, ArchivesGiveOnlyTheirKindOfValue)
{
    const Color red = Color::colorWithCalibratedRed(1, 0, 0);
    const QByteArray colour =
        TypedStreamWriter::archive([&](TypedStreamWriter &w) { w.color(red); });
    LogCapture log;
    EXPECT_EQ(unarchivedColor(colour), red);
    EXPECT_FALSE(unarchivedAttributedString(colour).has_value());
    EXPECT_EQ(log.count("Archived value is no styled text"), 1);
    EXPECT_FALSE(unarchivedColor(QString("not data")).has_value());
    EXPECT_FALSE(unarchivedImage(QByteArray("\x04\x0bstreamtyped", 13)).has_value());
}

TEST(OldStyleValues, ACacheDecodesASharedArchiveOnce)
{
    const QByteArray damaged("\x04\x0bstreamtyped\x81\xe8\x03\x84", 17);
    const QVariant shared = damaged; // every use shares the bytes, as a binary list hands them out
    {
        LogCapture log;
        unarchivedColor(shared);
        unarchivedColor(shared);
        EXPECT_EQ(log.containing("Archived value not read"), 2);
    }
    {
        const ArchiveCache cache;
        LogCapture log;
        unarchivedColor(shared);
        unarchivedColor(shared);
        EXPECT_EQ(log.containing("Archived value not read"), 1);
        // Equal bytes in storage of their own are another value.
        unarchivedColor(QVariant(QByteArray(damaged.constData(), damaged.size())));
        EXPECT_EQ(log.containing("Archived value not read"), 2);
    }
    EXPECT_EQ(ArchiveCache::current(), nullptr);
}

} // namespace
