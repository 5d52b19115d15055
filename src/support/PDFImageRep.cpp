#include "support/PDFImageRep.h"
#include "support/ImageRepSupport.h"
#include "support/TWXMLValues.h"

#include <QtDebug>

std::optional<PDFImageRep> PDFImageRep::imageRepWithData(const QByteArray &data)
{
    if (!ImageRepSupport::looksLikePDF(data))
        return std::nullopt;
    PDFImageRep rep;
    rep.m_data = data;
    rep.m_size = ImageRepSupport::pdfMediaBoxSize(data).value_or(Size());
    return rep;
}

XMLElement PDFImageRep::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSPDFImageRep");
    element.addChild(TWXML::dataFreshXMLElement(m_data));
    return element;
}

std::optional<PDFImageRep> PDFImageRep::objectWithXMLElement(const XMLElement &element)
{
    const XMLElement dataElement = element.elementsForName("NSData").value(0);
    const std::optional<QByteArray> data = TWXML::dataWithXMLElement(dataElement);
    if (!data)
        return std::nullopt;
    std::optional<PDFImageRep> rep = imageRepWithData(*data);
    if (!rep)
        qWarning("NSPDFImageRep data is no PDF");
    return rep;
}
