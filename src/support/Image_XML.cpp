#include "platform/CFormat.h"
#include "support/Base64.h"
#include "support/Image.h"
#include "support/TWXMLUtils.h"

#include <QtDebug>
#include <cmath>

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("YES") : QStringLiteral("NO");
}

// A declared side of the image: used when it is a sane number of points,
// else the data's own side stays (logged).
float declaredSide(const std::optional<double> &value, float fromData, const char *name)
{
    if (!value)
        return fromData;
    const double side = *value;
    if (std::isfinite(side) && side >= 0 && side <= Image::maxDeclaredSize)
        return float(side);
    qWarning("Image %s %s is out of range; keeping %s from the image data", name,
             qPrintable(CFormat::f(side)), qPrintable(CFormat::f(fromData)));
    return fromData;
}

} // namespace

void Image::addXmlDataToNode(xmlNodePtr parent) const
{
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "NSImage");
    if (!node)
        return;
    if (m_backgroundColor)
        m_backgroundColor->addXmlDataToNode(TWXMLUtils::addElementChild(node, "backgroundColor"));
    TWXMLUtils::addTextChild(node, "cacheDepthMatchesImageDepth",
                             yesNo(m_cacheDepthMatchesImageDepth));
    TWXMLUtils::addTextChild(node, "cacheMode", CFormat::d(m_cacheMode));
    TWXMLUtils::addTextChild(node, "isCachedSeparately", yesNo(m_isCachedSeparately));
    TWXMLUtils::addTextChild(node, "isDataRetained", yesNo(m_isDataRetained));
    TWXMLUtils::addTextChild(node, "isFlipped", yesNo(m_isFlipped));
    TWXMLUtils::addTextChild(node, "matchesOnMultipleResolution",
                             yesNo(m_matchesOnMultipleResolution));
    if (m_name)
        TWXMLUtils::addTextChild(node, "name", *m_name);
    TWXMLUtils::addTextChild(node, "prefersColorMatch", yesNo(m_prefersColorMatch));
    TWXMLUtils::addTextChild(node, "scalesWhenResized", yesNo(m_scalesWhenResized));
    xmlNodePtr size = TWXMLUtils::addElementChild(node, "size");
    TWXMLUtils::addTextChild(size, "width", CFormat::f(m_size.width));
    TWXMLUtils::addTextChild(size, "height", CFormat::f(m_size.height));
    // The bytes as read: a PNG stays a PNG, a PDF keeps its vectors.
    const QByteArray bytes = m_data.isEmpty() ? TIFFRepresentation() : m_data;
    TWXMLUtils::addTextChild(node, "TIFFRepresentation", TWBase64::twBase64String(bytes));
    TWXMLUtils::addTextChild(node, "usesEPSOnResolutionMismatch",
                             yesNo(m_usesEPSOnResolutionMismatch));
}

std::optional<Image> Image::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    TWXMLUtils::XPathReader reader(parent, doc);
    const std::optional<QString> text = reader.text("NSImage/TIFFRepresentation");
    if (!text) {
        qWarning("No referenced data for image");
        return std::nullopt;
    }
    std::optional<QByteArray> data;
    try {
        data = TWBase64::dataWithTWBase64String(*text);
    } catch (const Base64Error &e) {
        qWarning("%s: %s", Base64Error::name(), e.what());
    }
    std::optional<Image> image = data ? initWithData(*data) : std::nullopt;
    if (!image) {
        qWarning("Unable to initialize with read data");
        return std::nullopt;
    }

    if (xmlNodePtr background = reader.node("NSImage/backgroundColor"))
        image->setBackgroundColor(Color::colorWithXMLNode(background, doc));
    image->setCacheDepthMatchesImageDepth(
        reader.boolValue("NSImage/cacheDepthMatchesImageDepth").value_or(false));
    if (const std::optional<int> mode = reader.intValue("NSImage/cacheMode"))
        image->setCacheMode(*mode);
    if (const std::optional<bool> on = reader.boolValue("NSImage/isCachedSeparately"))
        image->setCachedSeparately(*on);
    if (const std::optional<bool> on = reader.boolValue("NSImage/isDataRetained"))
        image->setDataRetained(*on);
    if (const std::optional<bool> on = reader.boolValue("NSImage/isFlipped"))
        image->setFlipped(*on);
    if (const std::optional<bool> on = reader.boolValue("NSImage/matchesOnMultipleResolution"))
        image->setMatchesOnMultipleResolution(*on);
    if (const std::optional<QString> name = reader.text("NSImage/name"))
        image->setName(*name);
    if (const std::optional<bool> on = reader.boolValue("NSImage/prefersColorMatch"))
        image->setPrefersColorMatch(*on);
    if (const std::optional<bool> on = reader.boolValue("NSImage/scalesWhenResized"))
        image->setScalesWhenResized(*on);
    // Without a declared size the image keeps the one its data gives, rather
    // than shrinking to nothing.
    const Size fromData = image->size();
    image->setSize(
        Size(declaredSide(reader.floatValue("NSImage/size/width"), fromData.width, "width"),
             declaredSide(reader.floatValue("NSImage/size/height"), fromData.height, "height")));
    if (const std::optional<bool> on = reader.boolValue("NSImage/usesEPSOnResolutionMismatch"))
        image->setUsesEPSOnResolutionMismatch(*on);
    return image;
}

QString Image::xmlRepresentation() const
{
    return TWXMLUtils::xmlRepresentation([this](xmlNodePtr root) { addXmlDataToNode(root); });
}

std::optional<Image> Image::imageFromXMLRepresentation(const QString &text)
{
    return TWXMLUtils::fromXMLRepresentation(
        text, [](xmlNodePtr parent, xmlDocPtr doc) { return withXMLNode(parent, doc); });
}

XMLElement Image::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSImage");
    element.appendChildElement("backgroundColor")
        .addChild(m_backgroundColor.value_or(Color::clearColor()).freshXMLElement());
    XMLElement size = element.appendChildElement("size");
    size.setFloat(m_size.width, "width");
    size.setFloat(m_size.height, "height");
    element.setBool(m_isFlipped, "isFlipped");
    for (const ImageRepresentation &rep : m_representations)
        element.addChild(std::visit([](const auto &r) { return r.freshXMLElement(); }, rep));
    return element;
}

std::optional<Image> Image::objectWithXMLElement(const XMLElement &)
{
    return std::nullopt;
}
