#pragma once

#include "platform/Geometry.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QSizeF>
#include <memory>
#include <optional>

#include <libxml/tree.h>

// A bitmap representation: the encoded bytes as they were read (PNG, JPEG,
// TIFF, GIF or BMP), decoded only when the pixels are wanted. Copies share
// the decoded pixels.
class BitmapImageRep
{
public:
    BitmapImageRep() = default;

    // Nothing when the bytes are not one of the bitmap formats above. Only
    // the header is read here; bytes that do not decode show later as a null
    // image (logged once).
    static std::optional<BitmapImageRep> imageRepWithData(const QByteArray &data);

    const QByteArray &data() const { return m_data; }
    // "png", "jpeg", "tiff", "gif" or "bmp".
    const QByteArray &format() const { return m_format; }
    QSize pixelSize() const { return m_pixelSize; }
    // In points: the pixels at the resolution the bytes declare, or at 72
    // dots per inch when they declare none. A 144-dpi picture is half as
    // large in points as it has pixels.
    Size size() const { return m_size; }
    // Dots per inch across and down (72 when the bytes declare none).
    QSizeF resolution() const { return m_resolution; }

    // The decoded pixels; a null image when the bytes do not decode or the
    // image is too large to hold in memory.
    QImage image() const;
    // The bytes when they are TIFF, else the pixels encoded as TIFF (empty
    // when they do not decode).
    QByteArray TIFFRepresentation() const;

    // <NSBitmapImageRep> holding the <NSData> of the bitmap's bytes. Bytes in
    // another bitmap format are written as they were read, so nothing is
    // re-encoded or lost; every reader of the element accepts them.
    XMLElement freshXMLElement() const;
    static std::optional<BitmapImageRep> objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr) const {}

    friend bool operator==(const BitmapImageRep &a, const BitmapImageRep &b)
    {
        return a.m_data == b.m_data;
    }

    // Decoding refuses images with more pixels than this.
    static constexpr qint64 maxDecodedPixels = 8192LL * 8192LL;

private:
    struct Decoded;
    QByteArray m_data;
    QByteArray m_format;
    QSize m_pixelSize;
    QSizeF m_resolution{72.0, 72.0};
    Size m_size;
    std::shared_ptr<Decoded> m_decoded;
};

Q_DECLARE_METATYPE(BitmapImageRep)
