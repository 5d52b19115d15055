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
