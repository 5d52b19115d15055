#include "support/XMLElement.h"
#include "LogCapture.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>

namespace {

XMLElement parsed(const char *xml)
{
    XMLElement e = XMLElement::parse(QByteArray(xml));
    EXPECT_FALSE(e.isNull()) << xml;
    return e;
}

} // namespace

TEST(XMLElement, FreshElementMovesIntoParent)
{
    XMLElement parent = XMLElement::create("parent");
    XMLElement child = parent.addChild(XMLElement::create("child", "text"));
    ASSERT_FALSE(child.isNull());
    EXPECT_EQ(child.parent(), parent);
    EXPECT_EQ(parent.xmlString(), QByteArray("<parent>\n  <child>text</child>\n</parent>"));
}
