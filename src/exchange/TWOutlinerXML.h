#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include <libxml/tree.h>

// Small readers over libxml2 nodes for the outliner files.
namespace TWOutlinerXML {

inline QString localName(xmlNodePtr node)
{
    return node && node->name ? QString::fromUtf8(reinterpret_cast<const char *>(node->name))
                              : QString();
}

inline bool hasAttribute(xmlNodePtr node, const char *name)
{
    return xmlHasProp(node, BAD_CAST name) != nullptr;
}

inline std::optional<QString> attribute(xmlNodePtr node, const char *name)
{
    xmlChar *value = xmlGetProp(node, BAD_CAST name);
    if (!value)
        return std::nullopt;
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return text;
}

// All attributes as `name="value"` pairs, for problem texts.
inline QString attributesDescription(xmlNodePtr node)
{
    QStringList pairs;
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        const char *name = reinterpret_cast<const char *>(a->name);
        pairs << QStringLiteral("%1=\"%2\"")
                     .arg(QString::fromUtf8(name), attribute(node, name).value_or(QString()));
    }
    return pairs.join(QLatin1Char(' '));
}

// The text of a node and everything below it.
inline QString textContent(xmlNodePtr node)
{
    if (!node)
        return QString();
    xmlChar *content = xmlNodeGetContent(node);
    if (!content)
        return QString();
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(content));
    xmlFree(content);
    return text;
}

// The text below a node without expanding entity references: their text is
// not read (nothing is loaded from outside the file), the text around them is
// kept and each one's name is added to `unread` once.
inline QString literalText(xmlNodePtr node, QStringList *unread)
{
    QString text;
    xmlNodePtr at = node ? node->children : nullptr;
    while (at) {
        if (at->type == XML_TEXT_NODE || at->type == XML_CDATA_SECTION_NODE) {
            text += QString::fromUtf8(reinterpret_cast<const char *>(at->content));
        } else if (at->type == XML_ENTITY_REF_NODE) {
            const QString name = localName(at);
            if (unread && !unread->contains(name))
                unread->append(name);
        } else if (at->type == XML_ELEMENT_NODE && at->children) {
            at = at->children;
            continue;
        }
        while (at && at != node && !at->next)
            at = at->parent;
        at = at && at != node ? at->next : nullptr;
    }
    return text;
}

inline bool isContent(xmlNodePtr node)
{
    return node->type == XML_ELEMENT_NODE || node->type == XML_TEXT_NODE ||
           node->type == XML_CDATA_SECTION_NODE;
}

// The first element or text child; comments and processing instructions do
// not count.
inline xmlNodePtr firstChild(xmlNodePtr node)
{
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next)
        if (isContent(child))
            return child;
    return nullptr;
}

inline xmlNodePtr firstElementChild(xmlNodePtr node)
{
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            return child;
    return nullptr;
}

inline std::vector<xmlNodePtr> elementChildren(xmlNodePtr node)
{
    std::vector<xmlNodePtr> children;
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            children.push_back(child);
    return children;
}

} // namespace TWOutlinerXML
