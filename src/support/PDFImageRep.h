#pragma once

#include "platform/Geometry.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QMetaType>
#include <optional>

#include <libxml/tree.h>

// A PDF representation: the document's bytes, kept as they are. Its size is
// the first page's media box.
class PDFImageRep
{
public:
    PDFImageRep() = default;

    // Nothing when the bytes are not PDF.
    static std::optional<PDFImageRep> imageRepWithData(const QByteArray &data);

    const QByteArray &PDFRepresentation() const { return m_data; }
    // In points; zero when the file does not say.
    Size size() const { return m_size; }

    // <NSPDFImageRep> holding the <NSData> of the bytes.
    XMLElement freshXMLElement() const;
    static std::optional<PDFImageRep> objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr) const {}

    friend bool operator==(const PDFImageRep &a, const PDFImageRep &b)
    {
        return a.m_data == b.m_data;
    }

private:
    QByteArray m_data;
    Size m_size;
};

Q_DECLARE_METATYPE(PDFImageRep)

inline const bool kPDFImageRepXMLRegistered =
    TWXMLProtocol::registerClass<PDFImageRep>("NSPDFImageRep");
