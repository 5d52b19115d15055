#include "support/TWImageLoader.h"
#include "platform/UserDefaults.h"
#include "support/TWImageEncryption.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray pngBytes()
{
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QByteArray eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 20 10\nnewpath\n%%EOF\n";

// A DOS EPS header: the magic number, then offsets and lengths of the parts.
QByteArray dosHeader()
{
    QByteArray header("\xC5\xD0\xD3\xC6", 4);
    header.append(char(30)).append(QByteArray(3, '\0'));
    header.append(char(eps.size())).append(QByteArray(3, '\0'));
    header.append(QByteArray(18, '\0'));
    return header;
}

class ImageLoaderFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TWImageLoader::registerImageTypes();
    }
    void TearDown() override
    {
        defaults.removeObjectForKey(TWImageLoader::DisableEPSImageLoadingKey);
        TWImageLoader::registerImageTypes();
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};
    UserDefaults::Scope scope{&defaults};
};

} // namespace

TEST(ImageEncryption, RoundTripHidesThePicture)
{
    const QByteArray plain = pngBytes() + QByteArray(200, '\0');
    const QByteArray enciphered = TWImageEncryption::encryptedData(plain);
    EXPECT_EQ(enciphered.size(), plain.size());
    EXPECT_FALSE(enciphered.startsWith("\x89PNG"));
    // Equal plain bytes beyond one key length do not repeat the key.
    EXPECT_NE(enciphered.mid(plain.size() - 60, 30), enciphered.mid(plain.size() - 30, 30));
    EXPECT_EQ(TWImageEncryption::decryptedData(enciphered), plain);
    EXPECT_TRUE(TWImageEncryption::decryptedData(QByteArray()).isEmpty());
}

TEST(ImageLoader, EPSIsTestedBehindTheHeaderThenWhole)
{
    const struct
    {
        const char *name;
        QByteArray data;
        bool accepted;
    } cases[] = {
        {"DOS header of 30 bytes", dosHeader() + eps, true},
        {"other binary header of 30 bytes", QByteArray(30, '\x7f') + eps, true},
        {"plain PostScript", eps, true},
        {"short PostScript tested whole", "%!PS-Adobe-2.0", true},
        {"header of 29 bytes", QByteArray(29, '\x7f') + eps, false},
        {"header of 31 bytes", QByteArray(31, '\x7f') + eps, false},
        {"short other bytes", "hello", false},
        {"nothing", QByteArray(), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TWImageLoader::canInitEPSWithData(c.data), c.accepted) << c.name;
}

TEST_F(ImageLoaderFiles, ReadsEachTypeAndRefusesWhatIsNoPicture)
{
    const QByteArray png = pngBytes();
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool disableEPS;
        const char *type; // nullptr: refused
        QByteArray data;  // the bytes handed on, when read
    } cases[] = {
        {"a.png", png, false, "png", png},
        {"a.twpng", TWImageEncryption::encryptedData(png), false, "png", png},
        {"B.TWPNG", TWImageEncryption::encryptedData(png), false, "png", png},
        {"plain.twpng", png, false, nullptr, {}},
        {"a.tweps", TWImageEncryption::encryptedData(dosHeader() + eps), false, "eps",
         dosHeader() + eps},
        {"b.tweps", TWImageEncryption::encryptedData(QByteArray(30, '\x7f') + eps), false, "eps",
         eps},
        {"c.tweps", TWImageEncryption::encryptedData(eps), true, nullptr, {}},
        {"d.tweps", TWImageEncryption::encryptedData("no PostScript here"), false, nullptr, {}},
        {"a.eps", eps, true, "eps", eps},
        {"a.txt", png, false, nullptr, {}},
    };
    for (const auto &c : cases) {
        defaults.setBool(c.disableEPS, TWImageLoader::DisableEPSImageLoadingKey);
        TWImageLoader::registerImageTypes();
        const QString path = write(QString::fromLatin1(c.name), c.bytes);
        const std::optional<Image> image = TWImageLoader::imageWithContentsOfFile(path);
        ASSERT_EQ(image.has_value(), c.type != nullptr) << c.name;
        if (image) {
            EXPECT_EQ(image->dataType(), QByteArray(c.type)) << c.name;
            EXPECT_EQ(image->data(), c.data) << c.name;
            EXPECT_EQ(TWImageLoader::dataWithContentsOfFile(path), c.data) << c.name;
        }
    }
    EXPECT_FALSE(TWImageLoader::imageWithContentsOfFile(dir.filePath(QStringLiteral("gone.png"))));
}

TEST_F(ImageLoaderFiles, EPSSwitchDecidesTheLibraryEPSType)
{
    EXPECT_TRUE(TWImageLoader::isImageFile(QStringLiteral("/x/y.tweps")));
    defaults.setBool(true, TWImageLoader::DisableEPSImageLoadingKey);
    // Read at start-up only: a change later takes effect on the next start.
    EXPECT_TRUE(TWImageLoader::isImageFile(QStringLiteral("/x/y.tweps")));
    TWImageLoader::registerImageTypes();
    EXPECT_FALSE(TWImageLoader::isImageFile(QStringLiteral("/x/y.tweps")));
    EXPECT_TRUE(TWImageLoader::isImageFile(QStringLiteral("/x/y.twjpg")));
    EXPECT_TRUE(TWImageLoader::isImageFile(QStringLiteral("/x/y.eps")));
}
