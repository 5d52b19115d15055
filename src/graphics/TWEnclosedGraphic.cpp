#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

void TWEnclosedGraphic::addXmlDataToNode(xmlNodePtr parent, bool embeddingBinaryData) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out, embeddingBinaryData);
}

void TWEnclosedGraphic::writeXml(XMLOut &out, bool embeddingBinaryData) const
{
    out.startElement("TWEnclosedGraphic");
    if (!m_name.isEmpty())
        out.textElement("name", m_name);
    if (m_path && !m_path->isEmpty())
        out.textElement("path", *m_path);
    out.startElement("graphic");
    if (m_graphic)
        m_graphic->writeXml(out, embeddingBinaryData);
    out.endElement();
    out.endElement();
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
