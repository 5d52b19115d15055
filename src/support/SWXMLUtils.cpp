#include "support/SWXMLUtils.h"

#include "platform/Alerts.h"

#include "support/TWXMLUtils.h"
#include "support/XMLArena.h"
#include "support/XMLDocument.h"

#include <QDebug>

namespace SWXMLUtils {

namespace {

void beep()
{
    Alerts::current().beep();
}

xmlNodePtr firstChild(xmlXPathContextPtr context, const char *name)
{
    if (!context)
        return nullptr;
    xmlXPathObjectPtr result = TWXMLUtils::getNodeSetForXPath(name, context->doc, context);
    if (!result)
        return nullptr;
    xmlNodePtr node = result->nodesetval->nodeTab[0];
    xmlXPathFreeObject(result);
    return node;
}

// Replaces the node's content with literal text.
void setText(xmlNodePtr node, const QString &text)
{
    xmlNodeSetContent(node, nullptr);
    const QByteArray utf8 = XMLDetail::xmlTextBytes(text, node->name);
    xmlNodeAddContentLen(node, BAD_CAST utf8.constData(), int(utf8.size()));
}

const char *const kNoString =
    "Error: Invalid formation of screenwriter XML - no string attribute in element";
const char *const kNoType =
    "Error: Invalid formation of screenwriter XML - no type attribute in element";
const char *const kEmptyType =
    "Error: Invalid formation of screenwriter XML - empty type attribute in element";

} // namespace

QString getStringFromContext(xmlXPathContextPtr context)
{
    xmlNodePtr node = firstChild(context, "string");
    if (!node) {
        qWarning("%s", kNoString);
        return QString("");
    }
    return TWXMLUtils::textOfNode(node);
}

std::optional<QString> getTypeFromContext(xmlXPathContextPtr context)
{
    xmlNodePtr node = firstChild(context, "type");
    if (!node) {
        qWarning("%s", kNoType);
        beep();
        return std::nullopt;
    }
    const QString type = TWXMLUtils::textOfNode(node);
    if (type.isEmpty()) {
        qWarning("%s", kEmptyType);
        beep();
        return std::nullopt;
    }
    return type;
}

void changeType(const QString &type, const QString &andString, xmlXPathContextPtr inContext)
{
    xmlNodePtr typeNode = firstChild(inContext, "type");
    if (!typeNode) {
        qWarning("%s", kNoType);
        beep();
        return;
    }
    // Both texts are stored literally: an ampersand in a type name must not
    // be taken for the start of an entity reference.
    setText(typeNode, type);
    xmlNodePtr stringNode = firstChild(inContext, "string");
    if (!stringNode) {
        qWarning("%s", kNoString);
        beep();
        return;
    }
    setText(stringNode, andString);
}

void removeElementAtIndex(int index, xmlDocPtr inDocument)
{
    xmlXPathObjectPtr result =
        TWXMLUtils::getNodeSetForXPath("/SWDocument/SWElement", inDocument, nullptr);
    if (!result)
        return;
    if (index < 0 || index >= result->nodesetval->nodeNr) {
        qWarning("Warning: no screenwriter element at index %d", index);
    } else {
        xmlNodePtr node = result->nodesetval->nodeTab[index];
        // A tree with handles frees the element once the last handle into it
        // goes; a bare libxml2 tree has none.
        if (XMLDetail::Arena *arena = XMLDetail::Arena::of(node)) {
            arena->releaseNode(node);
        } else {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
    }
    xmlXPathFreeObject(result);
}

} // namespace SWXMLUtils
