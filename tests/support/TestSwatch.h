#pragma once

#include "support/TWXMLProtocol.h"
#include "support/TWXMLUtils.h"
#include "support/XMLElement.h"

#include <QMetaType>
#include <optional>

// A small value class for container tests: one level, and a reader that
// gives nil when the level is missing.
struct TestSwatch
{
    double level = 0;
    bool operator==(const TestSwatch &o) const { return level == o.level; }

    XMLElement freshXMLElement() const
    {
        XMLElement e = XMLElement::create("TestSwatch");
        e.setFloat(level, "level");
        return e;
    }
    static std::optional<TestSwatch> objectWithXMLElement(const XMLElement &e)
    {
        if (e.elementForName("level").isNull())
            return std::nullopt;
        return TestSwatch{e.floatForPath("level")};
    }
    void addXmlDataToNode(xmlNodePtr parent) const
    {
        xmlNodePtr e = TWXMLUtils::addElementChild(parent, "TestSwatch");
        TWXMLUtils::addTextChild(e, "level", QStringLiteral("%1").arg(level, 0, 'f', 6));
    }
};
Q_DECLARE_METATYPE(TestSwatch)

inline const bool kTestSwatchRegistered =
    TWXMLProtocol::registerClass<TestSwatch>("TestSwatch") &&
    TWXMLProtocol::registerClass<TestSwatch>("TestSwatchAlias");
