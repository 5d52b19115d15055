#pragma once

#include "platform/Geometry.h"
#include "support/BitmapImageRep.h"
#include "support/Color.h"
#include "support/EPSImageRep.h"
#include "support/PDFImageRep.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>
#include <variant>

#include <libxml/tree.h>

using ImageRepresentation = std::variant<BitmapImageRep, PDFImageRep, EPSImageRep>;

// A picture as documents hold it: the bytes and type it was read from, its
// size in points (apart from its pixels) and its representations. The
// drawing flags are kept only so that they survive a load and a save.
class Image
{
public:
    Image() = default;

    // Nothing when the bytes are no PNG, JPEG, TIFF, GIF, BMP, PDF or EPS.
    // The size is the one the data gives.
    static std::optional<Image> initWithData(const QByteArray &data);

    // The bytes the image was made from, and their type ("png", "jpeg",
    // "tiff", "gif", "bmp", "pdf", "eps"); empty for an image made otherwise.
    const QByteArray &data() const { return m_data; }
    const QByteArray &dataType() const { return m_dataType; }

    Size size() const { return m_size; }
    void setSize(Size size) { m_size = size; }

    const QList<ImageRepresentation> &representations() const { return m_representations; }
    void addRepresentation(const ImageRepresentation &rep);
    void removeRepresentation(int index);

    // The pixels of the first bitmap representation, decoded on first use;
    // null when there is none or it does not decode.
    QImage toQImage() const;
    // TIFF bytes of the first bitmap representation (its own bytes when they
    // are TIFF); empty when there is none.
    QByteArray TIFFRepresentation() const;

    // Transparent for a new image (in the form it reads back from a file);
    // nothing, and not written, when it was set to none.
    const std::optional<Color> &backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const std::optional<Color> &color) { m_backgroundColor = color; }
    const std::optional<QString> &name() const { return m_name; }
    void setName(const std::optional<QString> &name) { m_name = name; }
    bool cacheDepthMatchesImageDepth() const { return m_cacheDepthMatchesImageDepth; }
    void setCacheDepthMatchesImageDepth(bool on) { m_cacheDepthMatchesImageDepth = on; }
    int cacheMode() const { return m_cacheMode; }
    void setCacheMode(int mode) { m_cacheMode = mode; }
    bool isCachedSeparately() const { return m_isCachedSeparately; }
    void setCachedSeparately(bool on) { m_isCachedSeparately = on; }
    bool isDataRetained() const { return m_isDataRetained; }
    void setDataRetained(bool on) { m_isDataRetained = on; }
    bool isFlipped() const { return m_isFlipped; }
    void setFlipped(bool on) { m_isFlipped = on; }
    bool matchesOnMultipleResolution() const { return m_matchesOnMultipleResolution; }
    void setMatchesOnMultipleResolution(bool on) { m_matchesOnMultipleResolution = on; }
    bool prefersColorMatch() const { return m_prefersColorMatch; }
    void setPrefersColorMatch(bool on) { m_prefersColorMatch = on; }
    bool scalesWhenResized() const { return m_scalesWhenResized; }
    void setScalesWhenResized(bool on) { m_scalesWhenResized = on; }
    bool usesEPSOnResolutionMismatch() const { return m_usesEPSOnResolutionMismatch; }
    void setUsesEPSOnResolutionMismatch(bool on) { m_usesEPSOnResolutionMismatch = on; }

    // Libxml2 route: the <NSImage> element appended to `parent`. Its
    // `TIFFRepresentation` holds the bytes the image was read from (any of
    // the types above, which every reader of the element accepts), or the
    // TIFF of its first bitmap when it was made otherwise.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Reads the <NSImage> child of `parent`; nothing, logged, when it has no
    // data or the data is no image. A missing or unusable `size` keeps the
    // size the data gives.
    static std::optional<Image> withXMLNode(xmlNodePtr parent, xmlDocPtr doc);
    // A whole XML document with the element under an "XMLObj" root.
    QString xmlRepresentation() const;
    static std::optional<Image> imageFromXMLRepresentation(const QString &text);

    // Element route: background colour, size, flip flag and one element per
    // representation. Images are not read back from this form.
    XMLElement freshXMLElement() const;
    static std::optional<Image> objectWithXMLElement(const XMLElement &element);

    // Same bytes, size, flags and representations.
    friend bool operator==(const Image &a, const Image &b);

    // Sizes read from files beyond this many points are taken as damage.
    static constexpr float maxDeclaredSize = 1.0e6f;

private:
    QByteArray m_data;
    QByteArray m_dataType;
    Size m_size;
    QList<ImageRepresentation> m_representations;
    std::optional<Color> m_backgroundColor = Color::colorWithCalibratedRed(0, 0, 0, 0);
    std::optional<QString> m_name;
    bool m_cacheDepthMatchesImageDepth = false;
    int m_cacheMode = 0;
    bool m_isCachedSeparately = false;
    bool m_isDataRetained = false;
    bool m_isFlipped = false;
    bool m_matchesOnMultipleResolution = true;
    bool m_prefersColorMatch = true;
    bool m_scalesWhenResized = false;
    bool m_usesEPSOnResolutionMismatch = false;
};

Q_DECLARE_METATYPE(Image)
