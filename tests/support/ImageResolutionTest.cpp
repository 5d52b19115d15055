#include "ImageTestData.h"
#include "support/Image.h"
#include "support/ImageRepSupport.h"

#include <QBuffer>
#include <QImageWriter>

using namespace ImageTestData;

namespace {

// 30 x 12 pixels written by Qt at a resolution given in dots per metre.
QByteArray written(const char *format, int dotsPerMeter)
{
    QImage pixels(30, 12, QImage::Format_RGB32);
    pixels.fill(qRgb(10, 200, 30));
    pixels.setDotsPerMeterX(dotsPerMeter);
    pixels.setDotsPerMeterY(dotsPerMeter);
    return encoded(format, pixels);
}

int dotsPerMeter(double dpi)
{
    return qRound(dpi / 0.0254);
}

QByteArray bigEndian32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

// A PNG of 30 x 12 pixels with a pHYs chunk of the given values.
QByteArray pngWithPhys(quint32 x, quint32 y, char unit)
{
    const QByteArray header = pngHeader(30, 12);
    const qsizetype ihdrEnd = 8 + 25;
    return header.left(ihdrEnd) + pngChunk("pHYs", bigEndian32(x) + bigEndian32(y) + unit) +
           header.mid(ihdrEnd);
}

// A big-endian EXIF block with the resolution tags, in a JPEG APP1 segment.
QByteArray exifSegment(quint32 resolution, quint16 unit)
{
    QByteArray tiff("MM\0\x2a", 4);
    tiff += bigEndian32(8);
    const auto entry = [](quint16 tag, quint16 type, quint32 count, quint32 value) {
        QByteArray e(12, '\0');
        qToBigEndian(tag, e.data());
        qToBigEndian(type, e.data() + 2);
        qToBigEndian(count, e.data() + 4);
        if (type == 3)
            qToBigEndian(quint16(value), e.data() + 8);
        else
            qToBigEndian(value, e.data() + 8);
        return e;
    };
    const quint32 rationals = 8 + 2 + 3 * 12 + 4;
    QByteArray ifd(2, '\0');
    qToBigEndian(quint16(3), ifd.data());
    ifd += entry(282, 5, 1, rationals) + entry(283, 5, 1, rationals + 8) + entry(296, 3, 1, unit);
    ifd += bigEndian32(0);
    tiff +=
        ifd + bigEndian32(resolution) + bigEndian32(1) + bigEndian32(resolution) + bigEndian32(1);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    QByteArray length(2, '\0');
    qToBigEndian(quint16(payload.size() + 2), length.data());
    return segment + length + payload;
}

// Qt's JPEG with its JFIF segment replaced by `segment` (or kept, with the
// segment after it).
QByteArray jpegWith(const QByteArray &segment, bool keepJFIF, int jfifUnits = -1)
{
    QByteArray jpeg = written("jpeg", dotsPerMeter(96));
    EXPECT_EQ(quint8(jpeg[2]), 0xFF);
    EXPECT_EQ(quint8(jpeg[3]), 0xE0);
    const int jfifLength = (quint8(jpeg[4]) << 8 | quint8(jpeg[5])) + 2;
    QByteArray jfif = jpeg.mid(2, jfifLength);
    if (jfifUnits >= 0)
        jfif[2 + 2 + 5 + 2] = char(jfifUnits);
    return jpeg.left(2) + (keepJFIF ? jfif : QByteArray()) + segment + jpeg.mid(2 + jfifLength);
}

TEST(ImageResolution, PictureSizeIsItsPixelsAtItsResolution)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        Size size;
    };
    const Case cases[] = {
        {"png 72", written("png", dotsPerMeter(72)), Size(30, 12)},
        {"png 144", written("png", dotsPerMeter(144)), Size(15, 6)},
        {"png 300", written("png", dotsPerMeter(300)), Size(7.2f, 2.88f)},
        {"jpeg 72", written("jpeg", dotsPerMeter(72)), Size(30, 12)},
        {"jpeg 144", written("jpeg", dotsPerMeter(144)), Size(15, 6)},
        {"jpeg 300", written("jpeg", dotsPerMeter(300)), Size(7.2f, 2.88f)},
        {"tiff 72", written("tiff", dotsPerMeter(72)), Size(30, 12)},
        {"tiff 144", written("tiff", dotsPerMeter(144)), Size(15, 6)},
        {"tiff 300", written("tiff", dotsPerMeter(300)), Size(7.2f, 2.88f)},
        // Qt writes whole dots per centimetre as such: 50 per cm is 127 dpi.
        {"tiff per cm", written("tiff", 5000),
         Size(float(30 * 72 / 127.0), float(12 * 72 / 127.0))},
        {"jpeg exif 144", jpegWith(exifSegment(144, 2), false), Size(15, 6)},
        {"jpeg exif 300", jpegWith(exifSegment(300, 2), false), Size(7.2f, 2.88f)},
        // A JFIF aspect ratio says nothing; EXIF then does.
        {"jpeg aspect + exif", jpegWith(exifSegment(144, 2), true, 0), Size(15, 6)},
        // A JFIF density in real units comes first.
        {"jpeg jfif + exif", jpegWith(exifSegment(300, 2), true), Size(22.5f, 9)},
        {"png pHYs 144", pngWithPhys(5669, 5669, 1), Size(15, 6)},
        {"png pHYs 72 x 144", pngWithPhys(2835, 5669, 1), Size(30, 6)},
        // Without a usable resolution: 72 dpi.
        {"png without pHYs", pngHeader(30, 12), Size(30, 12)},
        {"png aspect only", pngWithPhys(5669, 5669, 0), Size(30, 12)},
        {"png zero", pngWithPhys(0, 0, 1), Size(30, 12)},
        {"jpeg aspect only", jpegWith(QByteArray(), true, 0), Size(30, 12)},
        {"gif", gif(), Size(1, 1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Image> image = Image::initWithData(c.bytes);
        ASSERT_TRUE(image.has_value());
        EXPECT_NEAR(image->size().width, c.size.width, 1e-4);
        EXPECT_NEAR(image->size().height, c.size.height, 1e-4);
        // The bytes are kept as read, so a save writes them unchanged.
        EXPECT_EQ(image->data(), c.bytes);
    }
}

TEST(ImageResolution, DamagedHeadersAreReadSafely)
{
    const QByteArray png = written("png", dotsPerMeter(144));
    const QByteArray jpeg = jpegWith(exifSegment(144, 2), false);
    for (qsizetype cut : {8, 20, 40, 60}) {
        EXPECT_NO_FATAL_FAILURE(ImageRepSupport::bitmapResolution(png.left(cut), "png"));
        EXPECT_NO_FATAL_FAILURE(ImageRepSupport::bitmapResolution(jpeg.left(cut), "jpeg"));
    }
    // An EXIF block whose offsets point past its end.
    QByteArray bad = exifSegment(144, 2);
    bad[4 + 6 + 4 + 3] = char(0x7F);
    EXPECT_FALSE(ImageRepSupport::bitmapResolution(QByteArray("\xFF\xD8", 2) + bad, "jpeg"));
    EXPECT_FALSE(ImageRepSupport::bitmapResolution(QByteArray("II*\0\xFF\xFF\xFF\x7F", 8), "tiff"));
}

} // namespace
