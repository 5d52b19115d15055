#include "support/Base64.h"
#include "TestHelpers.h"

#include <QRandomGenerator>

namespace {

std::optional<QByteArray> decoded(const char *text)
{
    return TWBase64::dataWithTWBase64String(QString::fromLatin1(text));
}

TEST(Base64, EncodesWithPaddingAndRoundTripsEveryLength)
{
    const std::pair<const char *, const char *> vectors[] = {{"", ""},
                                                             {"f", "Zg=="},
                                                             {"fo", "Zm8="},
                                                             {"foo", "Zm9v"},
                                                             {"foob", "Zm9vYg=="},
                                                             {"fooba", "Zm9vYmE="},
                                                             {"foobar", "Zm9vYmFy"},
                                                             {"\xfb\xff\xbf", "+/+/"}};
    for (const auto &[plain, encoded] : vectors) {
        EXPECT_EQ(TWBase64::twBase64String(QByteArray(plain)), encoded);
        EXPECT_EQ(decoded(encoded), QByteArray(plain)) << encoded;
    }
    QByteArray data;
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(decoded(qPrintable(TWBase64::twBase64String(data))), data) << i;
        data.append(char(QRandomGenerator::global()->bounded(256)));
    }
}

// Foreign characters are skipped anywhere; everything after the padding
// group is ignored.
TEST(Base64, ReadsPastForeignCharactersAndStopsAtPadding)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Zm9v\nYmFy", "foobar"},
        {" Z m 9 v Y m F y ", "foobar"},
        {"Zm\r\n9vYg\t==", "foob"},
        {"Zm9v*YmE-=", "fooba"},
        {"\n\n  ", ""},
        {"Zg==Zm9v", "f"},
        {"Zm8=garbage that is not even valid", "fo"},
        {"Zm9v====", "foo"}};
    for (const auto &[text, plain] : cases)
        EXPECT_EQ(decoded(text), QByteArray(plain)) << text;
    EXPECT_FALSE(TWBase64::dataWithTWBase64String(QString::fromUtf8("Zm9v\xC3\xA9")));
    EXPECT_TRUE(TWBase64::dataWithTWBase64String(QString()).has_value());
}

TEST(Base64, CutGroupsRaise)
{
    // Unpadded groups, a padded group without its last "=", a lone character,
    // blanks that do not complete a group, a "=" opening a group.
    for (const char *text : {"Zg", "Zm8", "Zg=", "Zm9vY", "Zm9v\nZ ", "Zm9v="}) {
        try {
            decoded(text);
            ADD_FAILURE() << "no Base64Error for " << text;
        } catch (const Base64Error &e) {
            EXPECT_EQ(e.reason(), "Premature end of Base64 string");
        }
    }
}

} // namespace
