#pragma once

#include "platform/Geometry.h"
#include "support/TWXMLValues.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QtDebug>
#include <optional>

#include <libxml/tree.h>

// A representation that keeps a page description's bytes as they are, with
// the size the bytes declare. Rep (EPS, PDF) says what its bytes are:
//     static constexpr const char *elementName; // "NSPDFImageRep"
//     static constexpr const char *kindName;    // "PDF", for warnings
//     static bool recognises(const QByteArray &data);
//     static std::optional<Size> declaredSize(const QByteArray &data);
template <class Rep> class VectorImageRep
{
public:
    // Nothing when the bytes are not of Rep's kind.
    static std::optional<Rep> imageRepWithData(const QByteArray &data)
    {
        if (!Rep::recognises(data))
            return std::nullopt;
        Rep rep;
        rep.m_data = data;
        rep.m_size = Rep::declaredSize(data).value_or(Size());
        return rep;
    }

    // In points; zero when the bytes do not say.
    Size size() const { return m_size; }

    // <elementName> holding the <NSData> of the bytes.
    XMLElement freshXMLElement() const
    {
        XMLElement element = XMLElement::create(Rep::elementName);
        element.addChild(TWXML::dataFreshXMLElement(m_data));
        return element;
    }
    static std::optional<Rep> objectWithXMLElement(const XMLElement &element)
    {
        const XMLElement dataElement = element.elementsForName("NSData").value(0);
        const std::optional<QByteArray> data = TWXML::dataWithXMLElement(dataElement);
        if (!data)
            return std::nullopt;
        std::optional<Rep> rep = imageRepWithData(*data);
        if (!rep)
            qWarning("%s data is no %s", Rep::elementName, Rep::kindName);
        return rep;
    }
    void addXmlDataToNode(xmlNodePtr) const {}

    friend bool operator==(const Rep &a, const Rep &b) { return a.m_data == b.m_data; }

protected:
    const QByteArray &bytes() const { return m_data; }

private:
    QByteArray m_data;
    Size m_size;
};
