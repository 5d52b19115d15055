#include "MindManagerImpExp/apContentElements.h"

#include "MMTestSupport.h"

#include <gtest/gtest.h>

using MMTest::expectRoundTrips;

TEST(apTopicElements, RoundTripInTableOrderSkippingWhatIsUnknown)
{
    expectRoundTrips({
        // Children in file order Offset, Text, SubTopics come back in table order;
        // the add-in's element, attribute and a second Text are dropped.
        {&apTopic::staticClass,
         "<ap:Topic OId=\"a\" x:Mark=\"1\"><x:Extra/><ap:Offset CX=\"1\"/>"
         "<ap:Text PlainText=\"one\"/><ap:Text PlainText=\"two\"/><ap:Unknown/>"
         "<ap:SubTopics><ap:Topic OId=\"b\"/><x:Topic/></ap:SubTopics></ap:Topic>",
         "<ap:Topic OId=\"a\"><ap:SubTopics><ap:Topic OId=\"b\"/></ap:SubTopics>"
         "<ap:Text PlainText=\"one\"/><ap:Offset CX=\"1.000000\"/></ap:Topic>"},
        {&apSubTopics::staticClass, "<ap:SubTopics Dirty=\"1\"/>", "<ap:SubTopics Dirty=\"1\"/>"},
        {&apTopicViewGroup::staticClass,
         "<ap:TopicViewGroup ViewIndex=\"3\"><ap:Visibility/><ap:Collapsed Collapsed=\"TRUE\"/>"
         "</ap:TopicViewGroup>",
         "<ap:TopicViewGroup ViewIndex=\"3\"><ap:Collapsed Collapsed=\"true\"/>"
         "<ap:Visibility Hidden=\"false\" Faded=\"false\" Condensed=\"false\"/>"
         "</ap:TopicViewGroup>"},
        // A malformed boolean keeps its default.
        {&apSubTopicsVisibility::staticClass, "<ap:SubTopicsVisibility Hidden=\"maybe\"/>",
         "<ap:SubTopicsVisibility Hidden=\"false\"/>"},
        {&apOffset::staticClass, "<ap:Offset OffsetPriority=\"2\" CX=\"12.5\" CY=\"-3\"/>",
         "<ap:Offset CX=\"12.500000\" CY=\"-3.000000\" OffsetPriority=\"2\"/>"},
        {&apTopicLayout::staticClass,
         "<ap:TopicLayout Padding=\"1\" Width=\"30\" TopicWidthControl=\"urn:mindjet:Auto\"/>",
         "<ap:TopicLayout TopicWidthControl=\"urn:mindjet:Auto\" Width=\"30.000000\""
         " Padding=\"1.000000\"/>"},
        {&apSubTopicsShape::staticClass,
         "<ap:SubTopicsShape SubTopicsStructureVisible=\"true\" DistanceFromParent=\"4\""
         " SubTopicsShape=\"urn:mindjet:Vertical\"/>",
         "<ap:SubTopicsShape SubTopicsShape=\"urn:mindjet:Vertical\""
         " SubTopicsStructureVisible=\"true\" DistanceFromParent=\"4.000000\"/>"},
        {&apSubTopicShape::staticClass,
         "<ap:SubTopicShape SubTopicShape=\"urn:mindjet:Oval\" TopMargin=\"1\""
         " ImageType=\"urn:mindjet:PngImage\" Uri=\"u\"><cor:Base64>QUJD</cor:Base64>"
         "</ap:SubTopicShape>",
         "<ap:SubTopicShape Uri=\"u\" ImageType=\"urn:mindjet:PngImage\" TopMargin=\"1.000000\""
         " SubTopicShape=\"urn:mindjet:Oval\"><cor:Base64 xsi:nil=\"false\">QUJD</cor:Base64>"
         "</ap:SubTopicShape>"},
        {&apOneBoundary::staticClass,
         "<ap:OneBoundary><ap:Boundary OId=\"q\"><ap:BoundaryShape Margin=\"2\""
         " BoundaryShape=\"urn:mindjet:Curved\"/><ap:LineStyle LineWidth=\"0\"/>"
         "<ap:Color FillColor=\"ff00ff00\"/><ap:BoundaryViewGroup ViewIndex=\"0\"/>"
         "</ap:Boundary></ap:OneBoundary>",
         "<ap:OneBoundary><ap:Boundary OId=\"q\"><ap:BoundaryViewGroup ViewIndex=\"0\"/>"
         "<ap:Color FillColor=\"ff00ff00\"/><ap:LineStyle LineWidth=\"0.000000\"/>"
         "<ap:BoundaryShape BoundaryShape=\"urn:mindjet:Curved\" Margin=\"2.000000\"/>"
         "</ap:Boundary></ap:OneBoundary>"},
        {&apLineStyle::staticClass, "<ap:LineStyle LineDashStyle=\"urn:mindjet:Dash\"/>",
         "<ap:LineStyle LineDashStyle=\"urn:mindjet:Dash\"/>"},
    });
}

TEST(apTopicElements, FreshTopicTakesIdentifiersAndTypedChildren)
{
    auto topic = MMXMLBaseObject::create<apTopic>();
    ASSERT_TRUE(topic);
    EXPECT_TRUE(topic->OId());
    auto offset = MMXMLBaseObject::create<apOffset>();
    offset->setCX(12.5f);
    topic->setOffset(offset);
    const QString written = MMTest::written(*topic);
    EXPECT_TRUE(written.endsWith("><ap:Offset CX=\"12.500000\"/></ap:Topic>"))
        << written.toStdString();
}

// A topic's elements read from their flattened copy write back as read
// from the XML: names by prefix, attributes in or out of a namespace,
// values with references or empty, children first or all, unknown ones
// and processing instructions passed over.
TEST(apTopicElements, FlattenedElementsReadAsTheirXML)
{
    const struct
    {
        const MMElementClass &(*cls)();
        const char *element;
    } cases[] = {
        {&apText::staticClass,
         "<ap:Text PlainText=\"a &amp; b &#x41;\" ReadOnly=\"true\"><?ap:Font x?>"
         "<ap:Font Name=\"Sans\" Size=\"10\" Bold=\"true\"/><ap:Font Name=\"Second\"/>"
         "<ap:FontRange From=\"0\" To=\"4\" Color=\"ffaa0000\"/><x:Extra/>"
         "<ap:FontRange From=\"5\" To=\"6\" Italic=\"true\"/>text</ap:Text>"},
        {&apText::staticClass, "<ap:Text PlainText=\"\" x:PlainText=\"add-in\"/>"},
        {&apText::staticClass, "<ap:Text x:PlainText=\"add-in only\"/>"},
        {&apTask::staticClass,
         "<ap:Task TaskPriority=\"urn:mindjet:Prio3\" TaskPercentage=\"50\" DurationHours=\"48\""
         " DurationUnit=\"urn:mindjet:Day\" StartDate=\"2024-01-02T03:04:05\""
         " Resources=\"Ann; Bob\"/>"},
        {&apColor::staticClass, "<ap:Color FillColor=\"ffdbe9f7\" LineColor=\"\"/>"},
        {&apHyperlink::staticClass,
         "<ap:Hyperlink Url=\"mailto:a@b.c?subject=x&amp;y\" Absolute=\"maybe\"/>"},
        {&apOneBoundary::staticClass,
         "<ap:OneBoundary><ap:Boundary OId=\"q\"><ap:BoundaryShape Margin=\"2\""
         " BoundaryShape=\"urn:mindjet:Curved\"/><ap:LineStyle LineWidth=\"0\"/>"
         "<ap:Color FillColor=\"ff00ff00\"/><ap:BoundaryViewGroup ViewIndex=\"0\"/>"
         "<ap:BoundaryViewGroup ViewIndex=\"1\"/></ap:Boundary></ap:OneBoundary>"},
        {&apTopicViewGroup::staticClass,
         "<ap:TopicViewGroup ViewIndex=\"3\"><ap:Visibility Hidden=\"TRUE\"/>"
         "<ap:Collapsed Collapsed=\"true\"/></ap:TopicViewGroup>"},
        {&apOffset::staticClass, "<ap:Offset OffsetPriority=\"2x\" CX=\"12.5\" CY=\"-3\"/>"},
        {&apComments::staticClass,
         "<ap:Comments><ap:Comment Author=\"A\" Initials=\"a\"><ap:Text PlainText=\"c\"/>"
         "</ap:Comment><ap:Comment/></ap:Comments>"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.element);
        ASSERT_TRUE(MMXMLBaseObject::readsFlatTrees(c.cls()));
        const XMLTree source = XMLTree::initWithString(
            QStringLiteral("<w%1>%2</w>").arg(MMTest::kNamespaces, QString::fromUtf8(c.element)));
        ASSERT_FALSE(source.isNull());
        const XMLTree element = source.childNamed(c.cls().elementName);
        ASSERT_FALSE(element.isNull());
        const MMObjectPtr fromXML = MMXMLBaseObject::initWithXMLTree(c.cls(), element);
        XMLFlatTree flat;
        xmlNodePtr before = xmlNewDocNode(source.document(), nullptr, BAD_CAST "before", nullptr);
        EXPECT_EQ(flat.append(before), 0);
        xmlFreeNode(before);
        const int index = flat.append(element.rootNode());
        const MMObjectPtr fromFlat =
            MMXMLBaseObject::initWithFlatTree(c.cls(), flat.element(index));
        ASSERT_TRUE(fromXML && fromFlat);
        EXPECT_EQ(MMTest::written(*fromFlat), MMTest::written(*fromXML));
    }
    // Classes whose hooks read the XML itself are never flattened.
    for (const MMElementClass *cls : {&apNotesGroup::staticClass(), &apOneImage::staticClass(),
                                      &apIconsGroup::staticClass(), &apTopic::staticClass()})
        EXPECT_FALSE(MMXMLBaseObject::readsFlatTrees(*cls)) << cls->className;
}
