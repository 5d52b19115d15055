#include "platform/CFormat.h"

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Restores the process locale after a test changed it.
class LocaleGuard
{
public:
    LocaleGuard() : m_saved(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, m_saved.c_str()); }

private:
    std::string m_saved;
};

TEST(CFormat, WritesThePrintfForms)
{
    EXPECT_EQ(CFormat::f(-0.1234567), "-0.123457");
    EXPECT_EQ(CFormat::format("%4d", 7), "   7");
    EXPECT_EQ(CFormat::d(123456789012LL), "123456789012");
    // Longer than the fast path's buffer: not cut.
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", 1e200);
    EXPECT_GT(std::strlen(expected), 128u);
    EXPECT_EQ(CFormat::f(1e200), QString::fromLatin1(expected));
}

TEST(CFormat, NumbersAsTheCLibraryWritesThem)
{
    // Ties at the sixth decimal, the smallest and largest magnitudes,
    // negative zero and what is no number at all.
    const double reals[] = {0.0,       -0.0,   0.0078125, 0.0234375,     -0.0078125,
                            2.5e-7,    1e-7,   -1e-7,     5e-324,        1.5,
                            120.5,     -48.25, 1e15,      1e22,          1.7976931348623157e308,
                            -1e300,    0.1,    2.0 / 3,   617.0,         INFINITY,
                            -INFINITY, NAN,    -NAN,      123456.7890125};
    for (const double v : reals) {
        char expected[400];
        std::snprintf(expected, sizeof expected, "%f", v);
        EXPECT_EQ(CFormat::f(v), QString::fromLatin1(expected)) << expected;
    }
    const long long integers[] = {0, -1, 7, 123456789012LL, LLONG_MIN, LLONG_MAX};
    for (const long long v : integers) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%lld", v);
        EXPECT_EQ(CFormat::d(v), QString::fromLatin1(expected)) << expected;
    }
}

TEST(CFormat, GermanLocaleStillWritesAndReadsAPoint)
{
    LocaleGuard guard;
    // scripts/install-deps generates this locale.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char probe[32];
    std::snprintf(probe, sizeof probe, "%f", 5.0);
    ASSERT_STREQ(probe, "5,000000"); // the C library itself now writes a comma
    EXPECT_EQ(CFormat::f(5), "5.000000");
    EXPECT_EQ(CFormat::format("%0.1f", 0.5), "0.5");
    EXPECT_DOUBLE_EQ(CFormat::doubleValue(u"2.5"), 2.5);
}

TEST(CFormat, ReadsLikeNSString)
{
    const std::pair<const char16_t *, int> ints[] = {{u"  42abc", 42},
                                                     {u"-17", -17},
                                                     {u"+5", 5},
                                                     {u"abc", 0},
                                                     {u"", 0},
                                                     {u"3.9", 3},
                                                     {u"99999999999999", INT_MAX},
                                                     {u"-99999999999999", INT_MIN}};
    for (const auto &[text, value] : ints)
        EXPECT_EQ(CFormat::intValue(text), value) << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(CFormat::longLongValue(u"-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(CFormat::longLongValue(u"99999999999999999999999"), LLONG_MAX);
    EXPECT_FLOAT_EQ(CFormat::floatValue(u"\t 1.5e2xyz"), 150.0f);
    EXPECT_FLOAT_EQ(CFormat::floatValue(u"-.25"), -0.25f);
    EXPECT_EQ(CFormat::doubleValue(u"x1"), 0.0);
    EXPECT_EQ(CFormat::doubleValue(u" -0x1A"), 0.0);
    EXPECT_EQ(CFormat::doubleValue(u"0X1p3"), 0.0);
    EXPECT_TRUE(std::isnan(CFormat::doubleValue(u"nan")));
    EXPECT_EQ(CFormat::doubleValue(u"\u00e91"), 0.0);
    // Longer than any number a file holds, still read whole.
    EXPECT_EQ(CFormat::doubleValue(QString(u' ') + QString(100, u'0') + QStringLiteral("25.5e1")), 255.0);
    EXPECT_EQ(CFormat::doubleValue(QString(u'-') + QString(70, u'0') + QStringLiteral("x3")), 0.0);
    for (const char16_t *yes : {u"YES", u" true", u"007"})
        EXPECT_TRUE(CFormat::boolValue(yes));
    for (const char16_t *no : {u"NO", u"000", u""})
        EXPECT_FALSE(CFormat::boolValue(no));
}

TEST(CFormat, ShortFloatIsGStyleAndExact)
{
    EXPECT_EQ(CFormat::shortFloat(248.5f), "248.5");
    EXPECT_EQ(CFormat::shortFloat(209.f), "209");
    EXPECT_EQ(CFormat::shortFloat(-0.f), "0");
    EXPECT_EQ(CFormat::shortFloat(1e6f), "1e+06");
    const float awkward = 12345.678f;
    EXPECT_EQ(CFormat::floatValue(CFormat::shortFloat(awkward)), awkward);
}

} // namespace
