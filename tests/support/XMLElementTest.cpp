#include "support/XMLElement.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>

namespace {

XMLElement parsed(const char *xml)
{
    XMLElement e = XMLElement::parse(QByteArray(xml));
    EXPECT_FALSE(e.isNull()) << xml;
    return e;
}

QByteArray compact(const XMLElement &e)
{
    QByteArray s = e.xmlString();
    s.replace("\n", "");
    s.replace("  ", "");
    return s;
}

const QString kMultipleWarning =
    QStringLiteral("Warning: element p has multiple children with name a, the first will be used");

} // namespace

// --- the tree and its handles ---

TEST(XMLElementTree, FreshElementMovesIntoParentAndStaysEditable)
{
    XMLElement parent = XMLElement::create("parent");
    XMLElement child = parent.addChild(XMLElement::create("child", "text"));
    ASSERT_FALSE(child.isNull());
    EXPECT_EQ(child.parent(), parent);
    child.setStringValue("changed");
    EXPECT_EQ(parent.xmlString(), QByteArray("<parent>\n  <child>changed</child>\n</parent>"));
}

TEST(XMLElementTree, SharedElementIsCopiedAndOriginalLeftAlone)
{
    XMLElement parent = XMLElement::create("parent");
    XMLElement kept = XMLElement::create("child", "one");
    XMLElement inserted = parent.addChild(kept);
    EXPECT_NE(inserted, kept);
    kept.setStringValue("two");
    EXPECT_EQ(inserted.stringValue(), "one");
    EXPECT_TRUE(kept.parent().isNull());
}

TEST(XMLElementTree, ElementFromAnotherDocumentIsCopied)
{
    XMLElement source = parsed("<a><b>x</b></a>");
    XMLElement target = XMLElement::create("t");
    XMLElement b = source.elementForName("b");
    target.addChild(b);
    EXPECT_EQ(compact(target), "<t><b>x</b></t>");
    EXPECT_EQ(compact(source), "<a><b>x</b></a>");
}

TEST(XMLElementTree, RemovedElementOutlivesItsParentAndDocument)
{
    XMLElement child;
    {
        std::optional<XMLDocument> doc = XMLDocument::parse("<a><b><c>deep</c></b></a>");
        ASSERT_TRUE(doc);
        child = doc->rootElement().elementForPath("b/c");
        doc->rootElement().setStringValue("gone"); // frees the old content but c
    }
    ASSERT_FALSE(child.isNull());
    EXPECT_EQ(child.stringValue(), "deep");
    // It still hangs in its removed parent, which hangs nowhere.
    EXPECT_EQ(child.parent().name(), "b");
    EXPECT_TRUE(child.parent().parent().isNull());
}

TEST(XMLElementTree, DetachedElementCanBeInsertedElsewhereInTheSameTree)
{
    XMLElement root = parsed("<r><a><x>1</x></a><b/></r>");
    XMLElement x = root.elementForPath("a/x");
    x.detach();
    EXPECT_EQ(compact(root), "<r><a/><b/></r>");
    root.elementForName("b").addChild(x);
    EXPECT_EQ(compact(root), "<r><a/><b><x>1</x></b></r>");
    EXPECT_EQ(x.parent().name(), "b");
}

TEST(XMLElementTree, ElementCannotBeInsertedIntoItsOwnDescendant)
{
    LogCapture log;
    XMLElement root = parsed("<r><a><b/></a></r>");
    XMLElement a = root.elementForName("a");
    EXPECT_TRUE(a.elementForName("b").addChild(a).isNull());
    EXPECT_TRUE(a.addChild(a).isNull());
    EXPECT_EQ(compact(root), "<r><a><b/></a></r>");
    EXPECT_EQ(log.count("Warning: element a cannot be inserted into itself"), 2);
}

TEST(XMLElementTree, InsertAndReplaceKeepPositions)
{
    XMLElement root = parsed("<r><a/><b/><c/></r>");
    root.insertChild(XMLElement::create("x"), 1);
    root.insertChild(XMLElement::create("z"), 99);
    EXPECT_EQ(compact(root), "<r><a/><x/><b/><c/><z/></r>");
    root.replaceChild(root.elementForName("b"), XMLElement::create("y", "1"));
    EXPECT_EQ(compact(root), "<r><a/><x/><y>1</y><c/><z/></r>");
    root.removeChild(root.elementForName("a"));
    EXPECT_EQ(root.elements().first().name(), "x");
    EXPECT_EQ(root.elements().last().previousSiblingElement().name(), "c");
}

TEST(XMLElementTree, CopyIsIndependent)
{
    XMLElement root = parsed("<r><a>1</a></r>");
    XMLElement copy = root.copy();
    copy.elementForName("a").setStringValue("2");
    EXPECT_EQ(root.stringForPath("a"), "1");
    EXPECT_EQ(copy.stringForPath("a"), "2");
    EXPECT_TRUE(copy.parent().isNull());
}

TEST(XMLElementTree, NullHandleAnswersEmpty)
{
    XMLElement nil;
    EXPECT_TRUE(nil.name().isNull());
    EXPECT_TRUE(nil.stringValue().isEmpty());
    EXPECT_TRUE(nil.elementForName("a", true).isNull());
    EXPECT_EQ(nil.intForPath("a"), 0);
    EXPECT_FALSE(nil.boolForPath("a"));
    nil.setInt(3, "a"); // does nothing
    EXPECT_TRUE(nil.addChild(XMLElement::create("x")).isNull());
}

// --- text ---

TEST(XMLElementText, StringValueConcatenatesDescendantText)
{
    XMLElement e = parsed("<a>one<b>two<c>three</c></b>&amp;<![CDATA[<four>]]></a>");
    EXPECT_EQ(e.stringValue(), "onetwothree&<four>");
}

TEST(XMLElementText, SetStringValueReplacesChildrenAndEscapesOnWriting)
{
    XMLElement e = parsed("<a><b/>text<c/></a>");
    e.setStringValue("x < y & \"z\"");
    EXPECT_EQ(e.childElementCount(), 0);
    EXPECT_EQ(e.xmlString(), "<a>x &lt; y &amp; \"z\"</a>");
    EXPECT_EQ(XMLElement::parse(e.xmlString()).stringValue(), "x < y & \"z\"");
    e.setStringValue("");
    EXPECT_FALSE(e.hasChildren());
}

TEST(XMLElementText, FirstChildIfElementSeesTextAndSkipsComments)
{
    EXPECT_EQ(parsed("<a><!-- note --><b/></a>").firstChildIfElement().name(), "b");
    EXPECT_TRUE(parsed("<a>text<b/></a>").firstChildIfElement().isNull());
    EXPECT_TRUE(parsed("<a/>").firstChildIfElement().isNull());
}

// --- typed child access ---

TEST(XMLElementAccess, ElementForNameWarnsOncePerCallForDuplicates)
{
    LogCapture log;
    XMLElement p = parsed("<p><a>1</a><a>2</a><a>3</a></p>");
    EXPECT_EQ(p.elementForName("a").stringValue(), "1");
    EXPECT_EQ(log.count(kMultipleWarning), 1);
    EXPECT_TRUE(p.elementForName("missing").isNull());
    EXPECT_EQ(p.childElementCount(), 3);
}

TEST(XMLElementAccess, ElementForNameCreatesAtTheEnd)
{
    XMLElement p = parsed("<p><x/></p>");
    XMLElement made = p.elementForName("a", true);
    EXPECT_EQ(made.parent(), p);
    EXPECT_EQ(compact(p), "<p><x/><a/></p>");
    EXPECT_EQ(p.elementForName("a", true), made);
}

TEST(XMLElementAccess, ElementForPathNeverCreatesTheFirstStep)
{
    XMLElement p = parsed("<p><a><b>v</b></a></p>");
    EXPECT_EQ(p.elementForPath("a/b").stringValue(), "v");
    EXPECT_TRUE(p.elementForPath("a/c").isNull());
    EXPECT_TRUE(p.elementForPath("x/y", true).isNull());
    EXPECT_EQ(compact(p), "<p><a><b>v</b></a></p>");
    EXPECT_FALSE(p.elementForPath("a/c/d", true).isNull());
    EXPECT_EQ(compact(p), "<p><a><b>v</b><c><d/></c></a></p>");
}

TEST(XMLElementAccess, AddChildReplacingLeavesOneAtTheEnd)
{
    XMLElement p = parsed("<p><a>1</a><x/><a>2</a><y/><a>3</a></p>");
    p.addChild(XMLElement::create("a", "new"), true);
    EXPECT_EQ(compact(p), "<p><x/><y/><a>new</a></p>");
}

TEST(XMLElementAccess, SetElementRemovesEveryDuplicateAndAppendsOneHolder)
{
    XMLElement p = parsed("<p><c><old/></c><x/><c>stale</c></p>");
    p.setElement(XMLElement::create("NSColor", "v"), "c");
    EXPECT_EQ(compact(p), "<p><x/><c><NSColor>v</NSColor></c></p>");
    p.setElement(XMLElement(), "c");
    EXPECT_EQ(compact(p), "<p><x/></p>");
}

TEST(XMLElementAccess, SettersWriteTextForms)
{
    XMLElement p = XMLElement::create("p");
    p.setInt(-42, "i");
    p.setInt(123456789012LL, "big");
    p.setFloat(5, "f");
    p.setFloat(-0.5, "g");
    p.setBool(true, "y");
    p.setBool(false, "n");
    p.setString(QString("a&b"), "s");
    EXPECT_EQ(compact(p), "<p><i>-42</i><big>123456789012</big><f>5.000000</f><g>-0.500000</g>"
                          "<y>YES</y><n>NO</n><s>a&amp;b</s></p>");
}

TEST(XMLElementAccess, SetterReplacesWholeContentOfTheFirstChild)
{
    LogCapture log;
    XMLElement p = parsed("<p><a><nested/>text</a><a>second</a></p>");
    p.setInt(7, "a");
    EXPECT_EQ(compact(p), "<p><a>7</a><a>second</a></p>");
}

TEST(XMLElementAccess, SetStringNilRemovesOnlyTheFirstChild)
{
    XMLElement p = parsed("<p><s>1</s><s>2</s></p>");
    p.setString(std::nullopt, "s");
    EXPECT_EQ(compact(p), "<p><s>2</s></p>");
    p.setString(std::nullopt, "missing");
    EXPECT_EQ(compact(p), "<p><s>2</s></p>");
}

TEST(XMLElementAccess, BooleanRule)
{
    for (const char *t : {"YES", "yes", "True", "TRUE", "true", "Yes", "1", "1.9", "01"})
        EXPECT_TRUE(xmlBoolValue(QString::fromLatin1(t))) << t;
    for (const char *t : {"NO", "no", "false", "2", "", "on", " yes", "0", "-1", "y"})
        EXPECT_FALSE(xmlBoolValue(QString::fromLatin1(t))) << t;
}

TEST(XMLElementAccess, PathReadersAndTheirDefaults)
{
    XMLElement p = parsed("<p><a><b> 12abc</b><f>2.5e1x</f><t>Yes</t><e></e>"
                          "<neg>-7</neg><huge>99999999999999999999</huge></a></p>");
    EXPECT_EQ(p.intForPath("a/b"), 12);
    EXPECT_DOUBLE_EQ(p.floatForPath("a/f"), 25.0);
    EXPECT_TRUE(p.boolForPath("a/t"));
    EXPECT_FALSE(p.boolForPath("a/e"));
    EXPECT_FALSE(p.boolForPath("a/missing"));
    EXPECT_EQ(p.intForPath("a/missing"), 0);
    EXPECT_EQ(p.floatForPath("a/missing"), 0.0);
    EXPECT_EQ(p.intForPath("a/neg"), -7);
    EXPECT_EQ(p.intForPath("a/huge"), INT_MAX);
    EXPECT_EQ(p.elementForPath("a/huge").longLongValue(), LLONG_MAX);
    EXPECT_EQ(p.stringForPath("a/b"), " 12abc");
    EXPECT_EQ(p.stringForPath("a/e"), std::nullopt);
    EXPECT_EQ(p.stringForPath("a/missing"), std::nullopt);
    // An element where a number is expected reads through its text.
    EXPECT_EQ(p.intForPath("a"), 12);
}
