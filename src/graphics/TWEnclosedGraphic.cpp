#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "support/TWXMLUtils.h"

void TWEnclosedGraphic::addXmlDataToNode(xmlNodePtr parent, bool embeddingBinaryData) const
{
    xmlNodePtr element = TWXMLUtils::addElementChild(parent, "TWEnclosedGraphic");
    if (!m_name.isEmpty())
        TWXMLUtils::addTextChild(element, "name", m_name);
    if (m_path && !m_path->isEmpty())
        TWXMLUtils::addTextChild(element, "path", *m_path);
    xmlNodePtr graphic = TWXMLUtils::addElementChild(element, "graphic");
    if (m_graphic)
        m_graphic->addXmlDataToNode(graphic, embeddingBinaryData);
}

std::shared_ptr<TWEnclosedGraphic>
TWEnclosedGraphic::initWithXMLNode(xmlNodePtr node, xmlDocPtr doc, TWMapBranch *branch)
{
    const TWXMLUtils::XPathReader reader(node, doc);
    const std::optional<QString> name = reader.text("TWEnclosedGraphic/name");
    const std::optional<QString> path = reader.text("TWEnclosedGraphic/path");
    std::shared_ptr<TWGraphic> graphic;
    if (xmlNodePtr element = reader.node("TWEnclosedGraphic/graphic"))
        graphic = TWGraphic::graphicWithXMLNode(element, doc, branch);
    return std::make_shared<TWEnclosedGraphic>(name.value_or(QString()), path, std::move(graphic));
}
