#pragma once

#include "LogCapture.h"
#include "support/XMLDocument.h"
#include "support/XMLElement.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <libxml/tree.h>

// Small helpers for the value-element tests: a compact one-line form of a
// tree (names, order and texts exactly, no indentation), parsing a parent
// element.
namespace XMLTest {

inline QString compact(xmlNodePtr node)
{
    if (!node)
        return QStringLiteral("(null)");
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        xmlChar *text = xmlNodeGetContent(node);
        const QString s = QString::fromUtf8(reinterpret_cast<const char *>(text));
        xmlFree(text);
        return s;
    }
    if (node->type != XML_ELEMENT_NODE)
        return QString();
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(node->name));
    if (!node->children)
        return "<" + name + "/>";
    QString inner;
    for (xmlNodePtr c = node->children; c; c = c->next)
        inner += compact(c);
    return "<" + name + ">" + inner + "</" + name + ">";
}

inline QString compact(const XMLElement &element)
{
    return compact(element.node());
}

// What a libxml2-route writer appends to an empty parent, in compact form.
template <class T> QString writtenByLibxml2Route(const T &value)
{
    XMLElement parent = XMLElement::create("parent");
    value.addXmlDataToNode(parent.node());
    QString inner;
    for (xmlNodePtr c = parent.node()->children; c; c = c->next)
        inner += compact(c);
    return inner;
}

// A parsed document whose root is the parent handed to libxml2-route readers.
struct Parent
{
    explicit Parent(const QString &innerXML)
        : doc(XMLDocument::parse(("<parent>" + innerXML + "</parent>").toUtf8()))
    {
        EXPECT_TRUE(doc.has_value()) << innerXML.toStdString();
    }
    xmlNodePtr node() const { return doc ? doc->rootElement().node() : nullptr; }
    xmlDocPtr xmlDoc() const { return doc ? doc->xmlDoc() : nullptr; }
    std::optional<XMLDocument> doc;
};

// The element of an element-route reader, parsed from text.
inline XMLElement element(const QString &xml)
{
    XMLElement e = XMLElement::parse(xml.toUtf8());
    EXPECT_FALSE(e.isNull()) << xml.toStdString();
    return e;
}

} // namespace XMLTest
