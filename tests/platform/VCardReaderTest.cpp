#include "platform/VCardReader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

QByteArray card(const QByteArray &lines)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Example\r\n" + lines + "END:VCARD\r\n";
}

TEST(VCardReader, PrimaryAddressIsThePreferredOneElseTheFirst)
{
    struct Case
    {
        const char *name;
        QByteArray data;
        std::optional<QString> primary;
    };
    const Case cases[] = {
        {"first without preference", card("EMAIL;TYPE=INTERNET:a@x.org\r\nEMAIL:b@x.org\r\n"),
         "a@x.org"},
        {"TYPE list with pref",
         card("EMAIL;TYPE=INTERNET:a@x.org\r\nEMAIL;TYPE=INTERNET,pref:b@x.org\r\n"), "b@x.org"},
        {"repeated TYPE", card("EMAIL;type=WORK:a@x.org\r\nEMAIL;type=HOME;type=pref:b@x.org\r\n"),
         "b@x.org"},
        {"bare PREF (2.1)", card("EMAIL;INTERNET:a@x.org\r\nEMAIL;INTERNET;PREF:c@x.org\r\n"),
         "c@x.org"},
        {"PREF ranks (4.0)", card("EMAIL;PREF=2:a@x.org\r\nEMAIL;PREF=1:b@x.org\r\n"), "b@x.org"},
        {"out-of-range rank ignored", card("EMAIL;PREF=0:a@x.org\r\nEMAIL;PREF=5:b@x.org\r\n"),
         "b@x.org"},
        {"grouped property", card("item1.EMAIL;type=INTERNET;type=pref:g@x.org\r\n"), "g@x.org"},
        {"folded line", card("EMAIL:long.name\r\n @example.org\r\n"), "long.name@example.org"},
        {"LF line ends", "begin:vcard\nemail:lf@x.org\nend:vcard\n", "lf@x.org"},
        {"escaped and padded", card("EMAIL:  odd\\,name@x.org \r\n"), "odd,name@x.org"},
        {"empty value skipped", card("EMAIL;TYPE=pref:\r\nEMAIL:b@x.org\r\n"), "b@x.org"},
        {"no address", card("TEL:123\r\n"), std::nullopt},
        {"never ends", "BEGIN:VCARD\r\nEMAIL:a@x.org\r\n", std::nullopt},
        {"not a card", "EMAIL:a@x.org\r\n", std::nullopt},
        {"empty", "", std::nullopt},
        {"only the first card counts",
         card("TEL:1\r\n") + "BEGIN:VCARD\r\nEMAIL:second@x.org\r\nEND:VCARD\r\n", std::nullopt},
        {"binary junk", QByteArray("\x00\xff:\x01\nBEGIN\n", 12), std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VCardReader::primaryEmailAddress(c.data), c.primary);
    }
}

TEST(VCardReader, RefusesOversizedDataAndUnreadableFiles)
{
    QByteArray big = card("EMAIL:a@x.org\r\n");
    big.append(QByteArray(VCardReader::MaximumCardSize, ' '));
    EXPECT_EQ(VCardReader::primaryEmailAddress(big), std::nullopt);

    QTemporaryDir dir;
    EXPECT_EQ(VCardReader::primaryEmailAddressOfFile(dir.filePath("missing.vcf")), std::nullopt);
    EXPECT_EQ(VCardReader::primaryEmailAddressOfFile(dir.path()), std::nullopt);
    QFile file(dir.filePath("ann.vcf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(card("EMAIL:a@x.org\r\nEMAIL;PREF:p@x.org\r\n"));
    file.close();
    EXPECT_EQ(VCardReader::primaryEmailAddressOfFile(file.fileName()), QString("p@x.org"));
}

} // namespace
