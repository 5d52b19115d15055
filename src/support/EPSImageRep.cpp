#include "support/EPSImageRep.h"
#include "support/ImageRepSupport.h"
#include "support/TWXMLValues.h"

#include <QtDebug>

std::optional<EPSImageRep> EPSImageRep::imageRepWithData(const QByteArray &data)
{
    if (!ImageRepSupport::looksLikeEPS(data))
        return std::nullopt;
    EPSImageRep rep;
    rep.m_data = data;
    rep.m_size = ImageRepSupport::epsBoundingBoxSize(data).value_or(Size());
    return rep;
}

XMLElement EPSImageRep::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSEPSImageRep");
    element.addChild(TWXML::dataFreshXMLElement(m_data));
    return element;
}

std::optional<EPSImageRep> EPSImageRep::objectWithXMLElement(const XMLElement &element)
{
    const XMLElement dataElement = element.elementsForName("NSData").value(0);
    const std::optional<QByteArray> data = TWXML::dataWithXMLElement(dataElement);
    if (!data)
        return std::nullopt;
    std::optional<EPSImageRep> rep = imageRepWithData(*data);
    if (!rep)
        qWarning("NSEPSImageRep data is no EPS");
    return rep;
}
