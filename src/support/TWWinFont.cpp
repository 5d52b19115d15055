#include "support/TWWinFont.h"

#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"

void TWWinFont::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "TWWinFont");
    TWXMLUtils::addTextChild(node, "name", m_name);
    TWXMLUtils::addTextChild(node, "size", CFormat::f(m_size));
    TWXMLUtils::addTextChild(node, "bold", m_bold ? QStringLiteral("YES") : QStringLiteral("NO"));
    TWXMLUtils::addTextChild(node, "italic",
                             m_italic ? QStringLiteral("YES") : QStringLiteral("NO"));
}

TWWinFont TWWinFont::fontWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    return TWWinFont(reader.text("TWWinFont/name").value_or(QString()),
                     reader.floatValue("TWWinFont/size").value_or(10.0),
                     reader.boolValue("TWWinFont/bold").value_or(false),
                     reader.boolValue("TWWinFont/italic").value_or(false));
}
