#pragma once
#include "TestHelpers.h"
namespace XMLTest {
template <class T> QString writtenByLibxml2Route(const T &value)
{
    return written(value);
}
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
} // namespace XMLTest
