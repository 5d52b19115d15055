#include "TestHelpers.h"
#include "support/XMLArena.h"

#include <climits>
#include <functional>

using namespace XMLTest;

namespace {

// Every way of inserting moves the element itself: the handles on it and
// below it go on editing it in its new place, wherever it came from.
TEST(XMLElementTree, InsertingMovesTheElementAndItsHandlesFollow)
{
    using Insert = std::function<XMLElement(XMLElement & target, XMLElement child)>;
    const std::pair<const char *, Insert> inserts[] = {
        {"addChild", [](XMLElement &t, XMLElement c) { return t.addChild(std::move(c)); }},
        {"addChild replacing",
         [](XMLElement &t, XMLElement c) { return t.addChild(std::move(c), true); }},
        {"insertChild", [](XMLElement &t, XMLElement c) { return t.insertChild(std::move(c), 0); }},
        {"replaceChild",
         [](XMLElement &t, XMLElement c) {
             return t.replaceChild(t.appendChildElement("old"), std::move(c));
         }},
        {"setElement",
         [](XMLElement &t, XMLElement c) {
             t.setElement(c, "holder");
             return t.elementForPath("holder/" + c.name());
         }},
    };
    enum Source { OwnTree, AnotherDocument, SameTree };
    for (const auto &[name, insert] : inserts) {
        for (Source source : {OwnTree, AnotherDocument, SameTree}) {
            SCOPED_TRACE(testing::Message() << name << ", source " << source);
            XMLElement target = element("<t><x><c><g/></c></x></t>");
            XMLElement other = element("<o><c><g/></c><rest/></o>");
            XMLElement child = source == OwnTree           ? XMLElement::create("c")
                               : source == AnotherDocument ? other.elementForName("c")
                                                           : target.elementForPath("x/c");
            XMLElement grand = child.elementForName("g", true);
            XMLElement inserted = insert(target, child);
            ASSERT_EQ(inserted, child);
            grand.setStringValue("late"); // written into the inserted element
            child.setName("moved");
            EXPECT_TRUE(compact(target).contains("<moved><g>late</g></moved>"))
                << compact(target).toStdString();
            EXPECT_EQ(compact(target.elementForName("x")),
                      source == SameTree ? "<x/>" : "<x><c><g/></c></x>");
            EXPECT_EQ(compact(other),
                      source == AnotherDocument ? "<o><rest/></o>" : "<o><c><g/></c><rest/></o>");
            // The tree that took it lives on with the handles on it.
            target = XMLElement();
            inserted = XMLElement();
            child = XMLElement();
            other = XMLElement();
            EXPECT_EQ(grand.parent().name(), "moved");
            EXPECT_FALSE(grand.parent().parent().isNull());
        }
    }
}

// A moved or detached element keeps the namespaces its former ancestors
// declared, also once they are gone.
TEST(XMLElementTree, MovedElementsKeepTheirNamespaces)
{
    XMLElement target = XMLElement::create("t");
    target.addChild(
        element("<a xmlns:f='urn:f'><f:b f:k='1'><f:c/></f:b></a>").elementForName("b"));
    XMLElement r = element("<r><p xmlns:h='urn:h'><h:d/></p><q/></r>");
    r.elementForName("q").addChild(r.elementForPath("p/d"));
    r.removeChild(r.elementForName("p"));
    EXPECT_EQ(r.elementForName("q").xmlString(), "<q>\n  <h:d xmlns:h=\"urn:h\"/>\n</q>");
    r = element("<r><p xmlns:k='urn:k'><k:e/></p></r>");
    XMLElement e = r.elementForPath("p/e");
    e.detach();
    r.removeChild(r.elementForName("p"));
    target.addChild(e);
    EXPECT_EQ(target.xmlString(), "<t>\n  <f:b xmlns:f=\"urn:f\" f:k=\"1\">\n    <f:c/>\n  "
                                  "</f:b>\n  <k:e xmlns:k=\"urn:k\"/>\n</t>");
}

TEST(XMLElementTree, DetachedElementsMoveWithinTheirTreeButNotIntoThemselves)
{
    // A detached element can go elsewhere in its tree, but not into itself.
    XMLElement root = element("<r><a><x>1</x></a><b/></r>");
    XMLElement x = root.elementForPath("a/x");
    x.detach();
    root.elementForName("b").addChild(x);
    EXPECT_EQ(compact(root), "<r><a/><b><x>1</x></b></r>");
    EXPECT_EQ(x.parent().name(), "b");
    LogCapture log;
    XMLElement b = root.elementForName("b");
    EXPECT_TRUE(x.addChild(b).isNull());
    EXPECT_TRUE(b.addChild(b).isNull());
    EXPECT_EQ(compact(root), "<r><a/><b><x>1</x></b></r>");
    EXPECT_EQ(log.count("Warning: element b cannot be inserted into itself"), 2);
}

TEST(XMLElementTree, InsertReplaceRemoveAndCopyKeepPositions)
{
    XMLElement root = element("<r><a/><b/><c/></r>");
    root.insertChild(XMLElement::create("x"), 1);
    root.insertChild(XMLElement::create("z"), 99);
    root.replaceChild(root.elementForName("b"), XMLElement::create("y", "1"));
    root.removeChild(root.elementForName("a"));
    EXPECT_EQ(compact(root), "<r><x/><y>1</y><c/><z/></r>");
    EXPECT_EQ(root.elements().last().previousSiblingElement().name(), "c");
    XMLElement copy = root.copy();
    copy.elementForName("y").setStringValue("2");
    EXPECT_EQ(root.stringForPath("y"), "1");
    EXPECT_TRUE(copy.parent().isNull());
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
    EXPECT_EQ(child.stringValue(), "deep");
    // It still hangs in its removed parent, which hangs nowhere.
    EXPECT_EQ(child.parent().name(), "b");
    EXPECT_TRUE(child.parent().parent().isNull());

    // The removed subtree goes with the last handle into it, before its tree.
    XMLElement root = element("<a><b><c/></b></a>");
    child = root.elementForPath("b/c");
    root.setStringValue("gone");
    const XMLDetail::Arena *arena = XMLDetail::Arena::of(root.node());
    EXPECT_EQ(arena->orphans.size(), 1u);
    child = XMLElement();
    EXPECT_TRUE(arena->orphans.empty());
}

TEST(XMLElementTree, NullHandleAnswersEmpty)
{
    XMLElement nil;
    EXPECT_TRUE(nil.name().isNull());
    EXPECT_TRUE(nil.stringValue().isEmpty());
    EXPECT_TRUE(nil.elementForName("a", true).isNull());
    EXPECT_EQ(nil.intForPath("a"), 0);
    nil.setInt(3, "a"); // does nothing
    EXPECT_TRUE(nil.addChild(XMLElement::create("x")).isNull());
}

TEST(XMLElementText, StringValueConcatenatesAndSetStringValueReplaces)
{
    XMLElement e = element("<a>one<b>two<c>three</c></b>&amp;<![CDATA[<four>]]></a>");
    EXPECT_EQ(e.stringValue(), "onetwothree&<four>");
    e.setStringValue("x < y & \"z\"");
    EXPECT_EQ(e.childElementCount(), 0);
    EXPECT_EQ(e.xmlString(), "<a>x &lt; y &amp; \"z\"</a>");
    e.setStringValue("");
    EXPECT_FALSE(e.hasChildren());
    // Characters XML cannot hold are dropped, so the file stays readable.
    LogCapture log;
    e.setStringValue(QString::fromUtf8("tab\tline\x0b"
                                       "feed\x01\xEF\xBF\xBF!\r\n"));
    const std::optional<XMLDocument> reread = XMLDocument::parse(XMLDocument(e.copy()).xmlData());
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->rootElement().stringValue(), "tab\tlinefeed!\r\n");
    EXPECT_EQ(log.lines(), QStringList{"Warning: 3 characters that XML cannot hold were dropped "
                                       "from the text of a"});
    // The first child only if it is an element; comments are skipped.
    EXPECT_EQ(element("<a><!-- note --><b/></a>").firstChildIfElement().name(), "b");
    EXPECT_TRUE(element("<a>text<b/></a>").firstChildIfElement().isNull());
}

TEST(XMLElementAccess, DuplicatesAreReportedAndTheFirstUsed)
{
    LogCapture log;
    XMLElement p = element("<p><a>1</a><a>2</a><a>3</a></p>");
    EXPECT_EQ(p.elementForName("a").stringValue(), "1");
    EXPECT_EQ(log.lines(), QStringList{"Warning: element p has multiple children with name a, "
                                       "the first will be used"});
    p.setInt(7, "a"); // the whole content of the first
    EXPECT_EQ(compact(p), "<p><a>7</a><a>2</a><a>3</a></p>");
    p.setString(std::nullopt, "a"); // every one: no stale duplicate comes back
    p.setString(std::nullopt, "missing");
    EXPECT_EQ(compact(p), "<p/>");
    p.insertChild(XMLElement::create("a", "4"), 1);
    p.addChild(XMLElement::create("b"));
    p.addChild(XMLElement::create("a", "new"), true); // replacing: one, at the end
    EXPECT_EQ(compact(p), "<p><b/><a>new</a></p>");
    p = element("<p><c><old/></c><x/><c>stale</c></p>");
    p.setElement(XMLElement::create("NSColor", "v"), "c");
    EXPECT_EQ(compact(p), "<p><x/><c><NSColor>v</NSColor></c></p>");
    p.setElement(XMLElement(), "c");
    EXPECT_EQ(compact(p), "<p><x/></p>");
}

TEST(XMLElementAccess, CreatingAlongPaths)
{
    XMLElement p = element("<p><x/><a><b>v</b></a></p>");
    XMLElement made = p.elementForName("y", true);
    EXPECT_EQ(p.elementForName("y", true), made);
    EXPECT_EQ(p.elementForPath("a/b").stringValue(), "v");
    EXPECT_TRUE(p.elementForPath("a/c").isNull());
    EXPECT_TRUE(p.elementForPath("q/r", true).isNull()); // never the first step
    EXPECT_FALSE(p.elementForPath("a/c/d", true).isNull());
    for (const char *path : {"", "a/", "a//d", "/a"}) // no element without a name
        EXPECT_TRUE(p.elementForPath(path, true).isNull()) << path;
    EXPECT_EQ(compact(p), "<p><x/><a><b>v</b><c><d/></c></a><y/></p>");
}

TEST(XMLElementAccess, TextFormsWrittenAndRead)
{
    XMLElement p = XMLElement::create("p");
    p.setInt(-42, "i");
    p.setInt(123456789012LL, "big");
    p.setFloat(-0.5, "f");
    p.setBool(true, "y");
    p.setBool(false, "n");
    p.setString(QString("a&b"), "s");
    EXPECT_EQ(compact(p), "<p><i>-42</i><big>123456789012</big><f>-0.500000</f><y>YES</y>"
                          "<n>NO</n><s>a&amp;b</s></p>");

    p = element("<p><a><b> 12abc</b><f>2.5e1x</f><t>Yes</t><e></e><huge>99999999999999999999"
                "</huge></a></p>");
    EXPECT_EQ(p.intForPath("a/b"), 12);
    EXPECT_EQ(p.intForPath("a"), 12); // an element where a number is expected reads its text
    EXPECT_DOUBLE_EQ(p.floatForPath("a/f"), 25.0);
    EXPECT_TRUE(p.boolForPath("a/t"));
    EXPECT_FALSE(p.boolForPath("a/missing"));
    EXPECT_EQ(p.intForPath("a/missing"), 0);
    EXPECT_EQ(p.floatForPath("a/missing"), 0.0);
    EXPECT_EQ(p.intForPath("a/huge"), INT_MAX);
    EXPECT_EQ(p.elementForPath("a/huge").longLongValue(), LLONG_MAX);
    EXPECT_EQ(p.stringForPath("a/b"), " 12abc");
    EXPECT_EQ(p.stringForPath("a/e"), std::nullopt);
    EXPECT_EQ(p.stringForPath("a/missing"), std::nullopt);
}

TEST(XMLElementAccess, BooleanRule)
{
    for (const char *t : {"YES", "yes", "True", "TRUE", "true", "Yes", "1", "1.9", "01"})
        EXPECT_TRUE(xmlBoolValue(QString::fromLatin1(t))) << t;
    for (const char *t : {"NO", "no", "false", "2", "", "on", " yes", "0", "-1", "y"})
        EXPECT_FALSE(xmlBoolValue(QString::fromLatin1(t))) << t;
}

} // namespace
