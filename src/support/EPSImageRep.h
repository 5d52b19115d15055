#pragma once

#include "platform/Geometry.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QMetaType>
#include <optional>

#include <libxml/tree.h>

// An EPS representation: the PostScript bytes, kept as they are. Its size is
// the bounding box the file declares.
class EPSImageRep
{
public:
    EPSImageRep() = default;

    // Nothing when the bytes are not EPS.
    static std::optional<EPSImageRep> imageRepWithData(const QByteArray &data);

    const QByteArray &EPSRepresentation() const { return m_data; }
    // In points; zero when the file does not say.
    Size size() const { return m_size; }

    // <NSEPSImageRep> holding the <NSData> of the bytes.
    XMLElement freshXMLElement() const;
    static std::optional<EPSImageRep> objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr) const {}

    friend bool operator==(const EPSImageRep &a, const EPSImageRep &b)
    {
        return a.m_data == b.m_data;
    }

private:
    QByteArray m_data;
    Size m_size;
};

Q_DECLARE_METATYPE(EPSImageRep)

inline const bool kEPSImageRepXMLRegistered =
    TWXMLProtocol::registerClass<EPSImageRep>("NSEPSImageRep");
