#include "support/Base64.h"
#include "QtPrinters.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QByteArray decoded(const char *text)
{
    std::optional<QByteArray> d = TWBase64::dataWithTWBase64String(QString::fromLatin1(text));
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(QByteArray("<nil>"));
}

void expectCut(const char *text)
{
    try {
        TWBase64::dataWithTWBase64String(QString::fromLatin1(text));
        ADD_FAILURE() << "no Base64Error for " << text;
    } catch (const Base64Error &e) {
        EXPECT_STREQ(Base64Error::name(), "Base64Error");
        EXPECT_EQ(e.reason(), "Premature end of Base64 string");
    }
}

} // namespace

TEST(Base64, EncodesTheStandardVectorsWithPadding)
{
    const std::pair<const char *, const char *> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto &[plain, encoded] : vectors) {
        EXPECT_EQ(TWBase64::twBase64String(QByteArray(plain)), QString::fromLatin1(encoded));
        EXPECT_EQ(decoded(encoded), QByteArray(plain));
    }
    EXPECT_EQ(TWBase64::twBase64String(QByteArray("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(Base64, RoundTripsEveryLengthAndByte)
{
    QByteArray data;
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(decoded(qPrintable(TWBase64::twBase64String(data))), data) << i;
        data.append(char(QRandomGenerator::global()->bounded(256)));
    }
}

TEST(Base64, SkipsForeignCharactersAnywhere)
{
    EXPECT_EQ(decoded("Zm9v\nYmFy"), "foobar");
    EXPECT_EQ(decoded(" Z m 9 v Y m F y "), "foobar");
    EXPECT_EQ(decoded("Zm\r\n9vYg\t=="), "foob");
    EXPECT_EQ(decoded("Zm9v*YmE-="), "fooba");
    EXPECT_EQ(decoded("\n\n  "), "");
}

TEST(Base64, IgnoresEverythingAfterThePaddingGroup)
{
    EXPECT_EQ(decoded("Zg==Zm9v"), "f");
    EXPECT_EQ(decoded("Zm8=garbage that is not even valid"), "fo");
    EXPECT_EQ(decoded("Zm9v===="), "foo");
}

TEST(Base64, CutGroupsRaise)
{
    expectCut("Zg");       // one byte, unpadded
    expectCut("Zm8");      // two bytes, unpadded
    expectCut("Zg=");      // padded group without its last "="
    expectCut("Zm9vY");    // a lone character after full groups
    expectCut("Zm9v\nZ "); // blanks do not complete a group
    expectCut("Zm9v=");    // a "=" opening a group still needs its group
}

TEST(Base64, NonAsciiTextGivesNothing)
{
    EXPECT_FALSE(TWBase64::dataWithTWBase64String(QString::fromUtf8("Zm9v\xC3\xA9")).has_value());
    EXPECT_TRUE(TWBase64::dataWithTWBase64String(QString()).has_value());
}
