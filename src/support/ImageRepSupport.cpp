#include "support/ImageRepSupport.h"

#include "platform/CFormat.h"

#include <QList>
#include <QRegularExpression>
#include <cmath>

namespace ImageRepSupport {

namespace {

// Headers sit at the start; PDF allows a little junk before its own.
constexpr qsizetype kHeaderWindow = 1024;
// Page boxes are near the start of ordinary files; a hostile one gains
// nothing from a longer search.
constexpr qsizetype kSearchWindow = 4 * 1024 * 1024;

std::optional<Size> sizeFromNumbers(const QList<QByteArray> &numbers)
{
    if (numbers.size() != 4)
        return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = CFormat::doubleValue(QString::fromLatin1(numbers[i]));
    const float width = float(std::fabs(v[2] - v[0]));
    const float height = float(std::fabs(v[3] - v[1]));
    if (!std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    return Size(width, height);
}

std::optional<Size> firstBox(const QByteArray &data, const QRegularExpression &pattern)
{
    const QString text = QString::fromLatin1(data.left(kSearchWindow));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QList<QByteArray> numbers;
    for (int i = 1; i <= 4; ++i)
        numbers.append(match.captured(i).toLatin1());
    return sizeFromNumbers(numbers);
}

} // namespace

bool mayBeCutShort(const QByteArray &head, const QByteArray &tail)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return !tail.contains("IEND");
    if (head.startsWith("\xFF\xD8\xFF"))
        return !tail.contains("\xFF\xD9");
    if (head.startsWith("GIF8")) {
        qsizetype end = tail.size();
        while (end > 0 && tail.at(end - 1) == '\0')
            --end;
        return end == 0 || tail.at(end - 1) != ';';
    }
    return false;
}

bool looksLikePDF(const QByteArray &data)
{
    return data.left(kHeaderWindow).contains("%PDF-");
}

bool looksLikeEPS(const QByteArray &data)
{
    // Plain PostScript, or the DOS EPS binary header that wraps it.
    return data.startsWith("%!PS-Adobe") || data.startsWith("\xC5\xD0\xD3\xC6");
}

std::optional<Size> pdfMediaBoxSize(const QByteArray &data)
{
    static const QRegularExpression pattern(QStringLiteral(
        "/MediaBox\\s*\\[\\s*([-+0-9.]+)\\s+([-+0-9.]+)\\s+([-+0-9.]+)\\s+([-+0-9.]+)"
        "\\s*\\]"));
    return firstBox(data, pattern);
}

std::optional<Size> epsBoundingBoxSize(const QByteArray &data)
{
    static const QRegularExpression pattern(QStringLiteral(
        "%%BoundingBox:[ \\t]*([-+0-9.]+)[ \\t]+([-+0-9.]+)[ \\t]+([-+0-9.]+)[ \\t]+([-+0-9.]+)"));
    return firstBox(data, pattern);
}

} // namespace ImageRepSupport

namespace ImageRepSupport {

namespace {

constexpr double kMinimumDPI = 1.0;
constexpr double kMaximumDPI = 100000.0;

std::optional<QSizeF> plausible(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y) || x < kMinimumDPI || y < kMinimumDPI ||
        x > kMaximumDPI || y > kMaximumDPI)
        return std::nullopt;
    return QSizeF(x, y);
}

// Reads integers of either byte order without running past the data.
class ByteReader
{
public:
    ByteReader(const QByteArray &data, qsizetype base = 0, qsizetype end = -1)
        : m_data(data), m_base(base), m_end(end < 0 ? data.size() : std::min(end, data.size()))
    {}
    void setBigEndian(bool big) { m_big = big; }
    bool has(qsizetype offset, qsizetype count) const
    {
        return offset >= 0 && count >= 0 && m_base + offset <= m_end - count;
    }
    quint32 u8(qsizetype offset) const { return quint8(m_data[m_base + offset]); }
    quint32 u16(qsizetype offset) const
    {
        const quint32 a = u8(offset), b = u8(offset + 1);
        return m_big ? (a << 8 | b) : (b << 8 | a);
    }
    quint32 u32(qsizetype offset) const
    {
        const quint32 a = u16(offset), b = u16(offset + 2);
        return m_big ? (a << 16 | b) : (b << 16 | a);
    }

private:
    const QByteArray &m_data;
    qsizetype m_base;
    qsizetype m_end;
    bool m_big = true;
};

std::optional<QSizeF> pngResolution(const QByteArray &data)
{
    ByteReader bytes(data);
    qsizetype offset = 8; // signature
    while (bytes.has(offset, 8)) {
        const quint32 length = bytes.u32(offset);
        const QByteArray type = data.mid(offset + 4, 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "pHYs" && length >= 9 && bytes.has(offset + 8, 9)) {
            if (bytes.u8(offset + 16) != 1) // only an aspect ratio
                return std::nullopt;
            // Pixels per metre; writers convert from whole dots per inch,
            // so 5669 is 144 dpi, not 143.99.
            return plausible(std::round(bytes.u32(offset + 8) * 0.0254),
                             std::round(bytes.u32(offset + 12) * 0.0254));
        }
        offset += 12 + qsizetype(length);
    }
    return std::nullopt;
}

double rational(const ByteReader &bytes, qsizetype offset)
{
    if (!bytes.has(offset, 8))
        return 0.0;
    const quint32 denominator = bytes.u32(offset + 4);
    return denominator == 0 ? 0.0 : double(bytes.u32(offset)) / double(denominator);
}

// TIFF structure starting at `base` (a TIFF file, or the EXIF block of a JPEG).
std::optional<QSizeF> tiffResolution(const QByteArray &data, qsizetype base, qsizetype end = -1)
{
    ByteReader bytes(data, base, end);
    if (!bytes.has(0, 8))
        return std::nullopt;
    const QByteArray order = data.mid(base, 2);
    if (order != "II" && order != "MM")
        return std::nullopt;
    bytes.setBigEndian(order == "MM");
    const qsizetype ifd = bytes.u32(4);
    if (!bytes.has(ifd, 2))
        return std::nullopt;
    const quint32 count = bytes.u16(ifd);
    double x = 0.0, y = 0.0;
    quint32 unit = 2; // inches unless the file says otherwise
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + qsizetype(i) * 12;
        if (!bytes.has(entry, 12))
            break;
        const quint32 tag = bytes.u16(entry);
        const quint32 type = bytes.u16(entry + 2);
        if ((tag == 282 || tag == 283) && type == 5) {
            const double value = rational(bytes, bytes.u32(entry + 8));
            (tag == 282 ? x : y) = value;
        } else if (tag == 296 && type == 3) {
            unit = bytes.u16(entry + 8);
        }
    }
    if (unit == 3) {
        x *= 2.54;
        y *= 2.54;
    } else if (unit != 2) {
        return std::nullopt;
    }
    if (x > 0 && !(y > 0))
        y = x;
    return plausible(x, y);
}

std::optional<QSizeF> jpegResolution(const QByteArray &data)
{
    ByteReader bytes(data);
    std::optional<QSizeF> jfif, exif;
    qsizetype offset = 2; // SOI
    while (bytes.has(offset, 4)) {
        if (bytes.u8(offset) != 0xFF)
            break;
        const quint32 marker = bytes.u8(offset + 1);
        if (marker == 0xFF) { // fill byte
            ++offset;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // image data or end: no more headers
            break;
        const qsizetype length = bytes.u16(offset + 2);
        const qsizetype segment = offset + 4;
        if (length < 2 || !bytes.has(segment, length - 2))
            break;
        if (marker == 0xE0 && length >= 16 && data.mid(segment, 5) == QByteArray("JFIF\0", 5)) {
            const quint32 unit = bytes.u8(segment + 7);
            const double x = bytes.u16(segment + 8), y = bytes.u16(segment + 10);
            if (unit == 1)
                jfif = plausible(x, y);
            else if (unit == 2)
                jfif = plausible(x * 2.54, y * 2.54);
        } else if (marker == 0xE1 && length >= 16 &&
                   data.mid(segment, 6) == QByteArray("Exif\0\0", 6)) {
            exif = tiffResolution(data, segment + 6, segment + length - 2);
        }
        offset = segment + length - 2;
    }
    // A JFIF density in real units is what viewers show; EXIF otherwise.
    return jfif ? jfif : exif;
}

} // namespace

std::optional<QSizeF> bitmapResolution(const QByteArray &data, const QByteArray &format)
{
    if (format == "png")
        return pngResolution(data);
    if (format == "jpeg")
        return jpegResolution(data);
    if (format == "tiff")
        return tiffResolution(data, 0);
    return std::nullopt;
}

} // namespace ImageRepSupport
