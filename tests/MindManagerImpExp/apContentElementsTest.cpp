#include "MindManagerImpExp/apContentElements.h"

#include "MMTestSupport.h"

#include <gtest/gtest.h>

using MMTest::expectRoundTrips;
using MMTest::roundTrip;

TEST(apContentElements, RoundTripWithDefaultsAndOrder)
{
    expectRoundTrips({
        {&apText::staticClass,
         "<ap:Text x:Lang=\"en\" TextAlignment=\"urn:mindjet:Left\" PlainText=\"a &lt; b\">"
         "<ap:IgnoreSpellingRange To=\"2\"/><ap:FontRange From=\"1\" To=\"3\" Bold=\"true\"/>"
         "<x:Font/><ap:Font Size=\"10.5\" Name=\"Serif\"/></ap:Text>",
         "<ap:Text PlainText=\"a &lt; b\" TextAlignment=\"urn:mindjet:Left\">"
         "<ap:Font Bold=\"false\" Italic=\"false\" Underline=\"false\" Name=\"Serif\""
         " Size=\"10.500000\" Strikethrough=\"false\"/>"
         "<ap:FontRange Bold=\"true\" Italic=\"false\" Underline=\"false\" Size=\"0.000000\""
         " Strikethrough=\"false\" From=\"1\" To=\"3\"/>"
         "<ap:IgnoreSpellingRange From=\"0\" To=\"2\"/></ap:Text>"},
        {&apSpellingOptions::staticClass, "<ap:SpellingOptions/>",
         "<ap:SpellingOptions SpellText=\"true\" SpellNotes=\"true\"/>"},
        {&apBookmark::staticClass, "<ap:Bookmark Name=\"Start\"/>",
         "<ap:Bookmark Name=\"Start\"/>"},
        {&apTask::staticClass,
         "<ap:Task DeadlineDate=\"not a date\" TaskPercentage=\"50\""
         " StartDate=\"2007-03-05T14:07:09\" TaskPriority=\"urn:mindjet:Prio1\"/>",
         "<ap:Task TaskPriority=\"urn:mindjet:Prio1\" StartDate=\"2007-03-05T14:07:09\""
         " TaskPercentage=\"50\"/>"},
        {&apOneImage::staticClass,
         "<ap:OneImage><ap:Image OId=\"i\"><ap:ImageSize Height=\"2\" Width=\"3\"/>"
         "<ap:ImageData ImageType=\"urn:mindjet:PngImage\"/><ap:ImageViewGroup/></ap:Image>"
         "</ap:OneImage>",
         "<ap:OneImage><ap:Image OId=\"i\"><ap:ImageViewGroup/>"
         "<ap:ImageData ImageType=\"urn:mindjet:PngImage\"/>"
         "<ap:ImageSize Width=\"3.000000\" Height=\"2.000000\"/></ap:Image></ap:OneImage>"},
        {&apInkGroup::staticClass,
         "<ap:InkGroup><ap:InkRecognitionResult PlainText=\"x &amp; y\"/><ap:InkData Uri=\"i\"/>"
         "</ap:InkGroup>",
         "<ap:InkGroup><ap:InkData Uri=\"i\"/><ap:InkRecognitionResult PlainText=\"x &amp; y\"/>"
         "</ap:InkGroup>"},
        {&apOneInkSketch::staticClass,
         "<ap:OneInkSketch><ap:InkSketch><ap:InkScaleFactors VerticalInkScaleFactor=\"2\"/>"
         "<ap:InkSketchViewGroup ViewIndex=\"1\"/></ap:InkSketch></ap:OneInkSketch>",
         "<ap:OneInkSketch><ap:InkSketch><ap:InkSketchViewGroup ViewIndex=\"1\"/>"
         "<ap:InkScaleFactors VerticalInkScaleFactor=\"2.000000\"/></ap:InkSketch>"
         "</ap:OneInkSketch>"},
        {&apNotesGroup::staticClass,
         "<ap:NotesGroup><ap:NotesData Uri=\"n\"/><ap:NotesXhtmlData PreviewPlainText=\"p\">"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>hi</p></body></html>"
         "</ap:NotesXhtmlData></ap:NotesGroup>",
         "<ap:NotesGroup><ap:NotesXhtmlData PreviewPlainText=\"p\">"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>hi</p></body></html>"
         "</ap:NotesXhtmlData><ap:NotesData Uri=\"n\" Index=\"0\"/></ap:NotesGroup>"},
    });
}

// Values with "&" and quotes are escaped once, by the XML writer, and read
// back unchanged.
TEST(apContentElements, AttributeValuesSurviveWriteAndRead)
{
    const QString value = QStringLiteral("http://h/?a=1&b=\"2\"&amp;'3' <x>");
    auto link = MMXMLBaseObject::create<apHyperlink>();
    link->setUrl(value);
    auto comment = MMXMLBaseObject::create<apComment>();
    comment->setText(value);
    comment->setAuthorName(value);
    auto task = MMXMLBaseObject::create<apTask>();
    task->setResources(value);
    for (const MMObjectPtr &object : MMObjectList{link, comment, task}) {
        XMLTree out = XMLTree::initWithName("out");
        object->createSubtreeInTree(out);
        const QString text = out.description();
        EXPECT_TRUE(text.contains("a=1&amp;b=&quot;2&quot;&amp;amp;'3'")) << text.toStdString();
        const XMLTree again = XMLTree::initWithString(text);
        ASSERT_FALSE(again.isNull()) << text.toStdString();
        MMObjectPtr read =
            MMXMLBaseObject::initWithXMLTree(object->elementClass(), again.childAtIndex(0));
        ASSERT_TRUE(read);
        for (const char *field : {"url", "text", "authorName", "resources"}) {
            if (read->hasField(field)) {
                EXPECT_EQ(read->string(field), value) << field;
            }
        }
    }
}

TEST(apContentElements, NotesWriteTheBodyOfTheirXhtmlUnderHtml)
{
    const struct
    {
        const char *xhtml;
        const char *expected;
    } cases[] = {
        {"<html><body><p>a &amp; b</p></body></html>",
         "<ap:NotesXhtmlData><html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>a &amp; b</p>"
         "</body></html></ap:NotesXhtmlData>"},
        {"<html><head/></html>",
         "<ap:NotesXhtmlData><html xmlns=\"http://www.w3.org/1999/xhtml\"/></ap:NotesXhtmlData>"},
        {"<html><body>", // does not parse
         "<ap:NotesXhtmlData><html xmlns=\"http://www.w3.org/1999/xhtml\"/></ap:NotesXhtmlData>"},
    };
    for (const auto &c : cases) {
        auto notes = MMXMLBaseObject::create<apNotesXhtmlData>();
        notes->setXhtmlData(QString::fromUtf8(c.xhtml));
        EXPECT_EQ(MMTest::written(*notes), c.expected) << c.xhtml;
    }
    // Written and parsed again, the html element is in the XHTML namespace.
    auto notes = MMXMLBaseObject::create<apNotesXhtmlData>();
    notes->setXhtmlData("<html><body><p>x</p></body></html>");
    XMLTree out = XMLTree::initWithName("out");
    notes->createSubtreeInTree(out);
    const XMLTree again = XMLTree::initWithString(out.description());
    const XMLTree html = again.childAtIndex(0).childNamed("html");
    ASSERT_FALSE(html.isNull());
    ASSERT_TRUE(html.rootNode()->ns);
    EXPECT_STREQ(reinterpret_cast<const char *>(html.rootNode()->ns->href),
                 "http://www.w3.org/1999/xhtml");
}

TEST(apContentElements, IconsByTypeWithTheirLogLines)
{
    const struct
    {
        const char *input;
        const char *expected;
        const char *log; // on reading and again on writing
    } cases[] = {
        {"<ap:Icon IconSignature=\"s\" IconType=\"urn:mindjet:Smile\" xsi:type=\"ap:StockIcon\"/>",
         "<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:Smile\"/>", nullptr},
        {"<ap:Icon IconSignature=\"s\" IconType=\"t\" xsi:type=\"ap:CustomIcon\"/>",
         "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"s\"/>", nullptr},
        {"<ap:Icon xsi:type=\"ap:StockIcon\"/>", "<ap:Icon xsi:type=\"ap:StockIcon\"/>", nullptr},
        {"<ap:Icon IconType=\"t\" xsi:type=\"ap:stockicon\"/>",
         "<ap:Icon xsi:type=\"ap:stockicon\"/>",
         "ap:Icon error - type ap:stockicon is not recognized"},
        {"<ap:Icon IconType=\"t\"/>", "<ap:Icon/>", "ap:Icon error - no type specified"},
    };
    for (const auto &c : cases) {
        MMTest::LogLines log;
        EXPECT_EQ(roundTrip(apIcon::staticClass(), c.input), c.expected) << c.input;
        if (c.log)
            EXPECT_EQ(log.count(c.log), 2) << c.input << "\n" << log.text();
        else
            EXPECT_TRUE(log.lines().isEmpty()) << log.text();
    }
}
