#include "support/BitmapImageRep.h"
#include "support/ImageRepSupport.h"
#include "support/TWXMLValues.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtDebug>
#include <mutex>
#include <optional>

struct BitmapImageRep::Decoded
{
    std::mutex mutex;
    bool tried = false;
    QImage image;
    // Made once: every branch showing one shared picture stores these bytes.
    std::optional<QByteArray> tiff;
};

namespace {

// The formats pictures in documents come in. Other formats Qt happens to
// read (SVG above all) are not taken from documents.
QByteArray bitmapFormat(const QByteArray &detected)
{
    if (detected == "png" || detected == "gif" || detected == "bmp")
        return detected;
    if (detected == "jpeg" || detected == "jpg")
        return "jpeg";
    if (detected == "tiff" || detected == "tif")
        return "tiff";
    return {};
}

} // namespace

std::optional<BitmapImageRep> BitmapImageRep::imageRepWithData(const QByteArray &data)
{
    if (data.isEmpty())
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = bitmapFormat(reader.format());
    if (format.isEmpty())
        return std::nullopt;

    BitmapImageRep rep;
    rep.m_data = data;
    rep.m_format = format;
    rep.m_decoded = std::make_shared<Decoded>();
    rep.m_pixelSize = reader.size();
    if (!rep.m_pixelSize.isValid()) {
        // The header does not say: the pixels must.
        const QImage image = rep.image();
        if (image.isNull())
            return std::nullopt;
        rep.m_pixelSize = image.size();
    }
    rep.m_resolution = ImageRepSupport::bitmapResolution(data, format).value_or(QSizeF(72.0, 72.0));
    rep.m_size = Size(float(rep.m_pixelSize.width() * 72.0 / rep.m_resolution.width()),
                      float(rep.m_pixelSize.height() * 72.0 / rep.m_resolution.height()));
    return rep;
}

QImage BitmapImageRep::image() const
{
    if (!m_decoded)
        return {};
    std::lock_guard lock(m_decoded->mutex);
    if (m_decoded->tried)
        return m_decoded->image;
    m_decoded->tried = true;

    if (m_pixelSize.isValid() &&
        qint64(m_pixelSize.width()) * qint64(m_pixelSize.height()) > maxDecodedPixels) {
        qWarning("Image of %d x %d pixels is too large to decode", m_pixelSize.width(),
                 m_pixelSize.height());
        return {};
    }
    QBuffer buffer;
    buffer.setData(m_data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, m_format);
    QImage image = reader.read();
    if (image.isNull())
        qWarning("Image data could not be decoded (%s): %s", m_format.constData(),
                 qPrintable(reader.errorString()));
    m_decoded->image = image;
    return image;
}

QByteArray BitmapImageRep::TIFFRepresentation() const
{
    if (m_format == "tiff")
        return m_data;
    const QImage pixels = image();
    if (pixels.isNull())
        return {};
    std::lock_guard lock(m_decoded->mutex);
    if (m_decoded->tiff)
        return *m_decoded->tiff;
    QByteArray tiff;
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(pixels)) {
        qWarning("Image could not be written as TIFF: %s", qPrintable(writer.errorString()));
        tiff.clear();
    }
    buffer.close();
    m_decoded->tiff = tiff;
    return tiff;
}

XMLElement BitmapImageRep::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSBitmapImageRep");
    element.addChild(TWXML::dataFreshXMLElement(m_data));
    return element;
}

std::optional<BitmapImageRep> BitmapImageRep::objectWithXMLElement(const XMLElement &element)
{
    const XMLElement dataElement = element.elementsForName("NSData").value(0);
    const std::optional<QByteArray> data = TWXML::dataWithXMLElement(dataElement);
    if (!data)
        return std::nullopt;
    std::optional<BitmapImageRep> rep = imageRepWithData(*data);
    if (!rep)
        qWarning("NSBitmapImageRep data is no bitmap image");
    return rep;
}
