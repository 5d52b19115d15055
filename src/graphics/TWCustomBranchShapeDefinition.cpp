#include "graphics/TWCustomBranchShapeDefinition.h"
#include "support/TWXMLUtils.h"

#include <QDebug>
#include <QHash>

void TWCustomBranchShapeDefinition::addXmlDataToNode(xmlNodePtr parent) const
{
    xmlNodePtr element = TWXMLUtils::addElementChild(parent, "TWCustomBranchShapeDefinition");
    TWXMLUtils::addTextChild(element, "shapeName", m_shapeName);
    xmlNodePtr outline = TWXMLUtils::addElementChild(element, "outlinePath");
    if (m_outlinePath)
        m_outlinePath->addXmlDataToNode(outline);
}

std::shared_ptr<TWCustomBranchShapeDefinition>
TWCustomBranchShapeDefinition::initWithXMLNode(xmlNodePtr node, xmlDocPtr doc)
{
    TWXMLUtils::XPathReader reader(node, doc);
    const std::optional<QString> name = reader.text("TWCustomBranchShapeDefinition/shapeName");
    if (!name) {
        qWarning("Error: no shape name defined in custom branch shape definition");
        return nullptr;
    }
    std::optional<BezierPath> outline;
    xmlNodePtr outlineNode = reader.node("TWCustomBranchShapeDefinition/outlinePath");
    if (outlineNode && reader.node("TWCustomBranchShapeDefinition/outlinePath/NSBezierPath"))
        outline = BezierPath::withXMLNode(outlineNode, doc);
    return std::make_shared<TWCustomBranchShapeDefinition>(*name, std::move(outline));
}

namespace {
QHash<QString, std::shared_ptr<TWCustomBranchShapeDefinition>> &registry()
{
    static QHash<QString, std::shared_ptr<TWCustomBranchShapeDefinition>> definitions;
    return definitions;
}
} // namespace

void TWCustomBranchShapeDefinition::registerDefinition(
    const std::shared_ptr<TWCustomBranchShapeDefinition> &definition)
{
    if (definition)
        registry().insert(definition->shapeName(), definition);
}

void TWCustomBranchShapeDefinition::unregisterDefinition(const QString &shapeName)
{
    registry().remove(shapeName);
}

std::shared_ptr<TWCustomBranchShapeDefinition>
TWCustomBranchShapeDefinition::definitionNamed(const QString &shapeName)
{
    return registry().value(shapeName);
}
