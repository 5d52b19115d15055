#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMarkerElements.h"
#include "MindManagerImpExp/apStyleElements.h"

#include "MMTestSupport.h"

#include <gtest/gtest.h>

using MMTest::expectRoundTrips;
using MMTest::roundTrip;

TEST(apDocumentElements, RoundTripWithDefaultsAndOrder)
{
    expectRoundTrips({
        {&apDocumentGroup::staticClass,
         "<ap:DocumentGroup><ap:PrintingOptions/><x:Extra/><ap:Creator UserName=\"A &amp; B\"/>"
         "<ap:Language Language=\"en\"/><ap:DateTimeStamps Created=\"2007-03-05T14:07:09\""
         " Printed=\"yesterday\"/></ap:DocumentGroup>",
         "<ap:DocumentGroup><ap:Language Language=\"en\"/><ap:Creator UserName=\"A &amp; B\"/>"
         "<ap:DateTimeStamps Created=\"2007-03-05T14:07:09\"/>"
         "<ap:PrintingOptions FitToPage=\"true\" PrintPageSeparators=\"false\""
         " PrintPageNumbers=\"false\" PrintBackground=\"true\" PrintBorder=\"true\""
         " PrintHeader=\"false\" PrintFooter=\"true\"/></ap:DocumentGroup>"},
        {&apPrintingOptions::staticClass,
         "<ap:PrintingOptions FooterText=\"p &quot;1&quot;\" PrintHeader=\"TRUE\" LeftMargin=\"5\""
         " VerticalNumberOfPages=\"2\"><ap:FooterFont/><ap:HeaderFont Bold=\"true\"/>"
         "</ap:PrintingOptions>",
         "<ap:PrintingOptions LeftMargin=\"5.000000\" VerticalNumberOfPages=\"2\""
         " FitToPage=\"true\" PrintPageSeparators=\"false\" PrintPageNumbers=\"false\""
         " PrintBackground=\"true\" PrintBorder=\"true\" PrintHeader=\"true\" PrintFooter=\"true\""
         " FooterText=\"p &quot;1&quot;\"><ap:HeaderFont Bold=\"true\" Italic=\"false\""
         " Underline=\"false\" Size=\"0.000000\" Strikethrough=\"false\"/><ap:FooterFont"
         " Bold=\"false\" Italic=\"false\" Underline=\"false\" Size=\"0.000000\""
         " Strikethrough=\"false\"/></ap:PrintingOptions>"},
        // FALSE in any case reads as false; 0 is no boolean and keeps the default.
        {&apCommentsOptions::staticClass, "<ap:CommentsOptions TrackChanges=\"FALSE\"/>",
         "<ap:CommentsOptions TrackChanges=\"false\"/>"},
        {&apPreviewOptions::staticClass, "<ap:PreviewOptions IncludeDocumentPreview=\"0\"/>",
         "<ap:PreviewOptions IncludeDocumentPreview=\"true\"/>"},
        {&apStatistics::staticClass, "<ap:Statistics NumberOfNotes=\"3\" NumberOfTopics=\"9\"/>",
         "<ap:Statistics NumberOfTopics=\"9\" NumberOfNotes=\"3\"/>"},
        {&apVersion::staticClass, "<ap:Version Minor=\"1\" Major=\"6\"/>",
         "<ap:Version Major=\"6\" Minor=\"1\"/>"},
    });
    auto stamps = MMXMLBaseObject::initWithXMLTree<apDateTimeStamps>(
        XMLTree::initWithString("<ap:DateTimeStamps Created=\"2007-03-05T14:07:09\"/>"));
    ASSERT_TRUE(stamps);
    EXPECT_EQ(stamps->created(), QDateTime(QDate(2007, 3, 5), QTime(14, 7, 9), Qt::LocalTime));
    EXPECT_FALSE(stamps->lastModified());
}

TEST(apStyleElements, RoundTripWithDefaultsAndOrder)
{
    expectRoundTrips({
        {&apStyleGroup::staticClass,
         "<ap:StyleGroup><ap:NotesDefaultFont Size=\"10\"/><ap:VisibilityStyle/>"
         "<ap:RootSubTopicDefaultsGroup Level=\"2\"/><x:Theme/>"
         "<ap:RootSubTopicDefaultsGroup Level=\"1\"><ap:DefaultText PlainText=\"t\"/>"
         "<ap:DefaultColor FillColor=\"ff0000ff\"/></ap:RootSubTopicDefaultsGroup>"
         "<ap:RootTopicDefaultsGroup/><ap:Structure/><ap:BackgroundFill FillColor=\"ffffffff\"/>"
         "</ap:StyleGroup>",
         "<ap:StyleGroup><ap:RootTopicDefaultsGroup/>"
         "<ap:RootSubTopicDefaultsGroup Level=\"2\"/><ap:RootSubTopicDefaultsGroup Level=\"1\">"
         "<ap:DefaultColor FillColor=\"ff0000ff\"/><ap:DefaultText PlainText=\"t\"/>"
         "</ap:RootSubTopicDefaultsGroup><ap:Structure UseAutoLayout=\"false\""
         " FadeNotSelectedObjects=\"false\" UseCurveAntialiasing=\"false\""
         " UseTextAntialiasing=\"false\" UseOrganicLines=\"false\" HideCollapseSign=\"false\"/>"
         "<ap:BackgroundFill FillColor=\"ffffffff\"/><ap:VisibilityStyle"
         " HideRelationships=\"false\" HideCodeIcons=\"false\" HideCalloutFloatingTopics=\"false\""
         " HideLabelFloatingTopics=\"false\" HideControlStrip=\"false\""
         " HideTaskInformation=\"false\" HideTaskInformationYear=\"true\""
         " HideMapVersionNumber=\"true\" HideTopicPins=\"false\"/>"
         "<ap:NotesDefaultFont Size=\"10.000000\"/></ap:StyleGroup>"},
        {&apRelationshipDefaultsGroup::staticClass,
         "<ap:RelationshipDefaultsGroup><ap:DefaultConnectionStyle ConnectionShape=\"urn:a\"/>"
         "<ap:DefaultLineStyle LineWidth=\"1\"/><ap:DefaultConnectionStyle"
         " ConnectionShape=\"urn:b\"/></ap:RelationshipDefaultsGroup>",
         "<ap:RelationshipDefaultsGroup><ap:DefaultLineStyle LineWidth=\"1.000000\"/>"
         "<ap:DefaultConnectionStyle ConnectionShape=\"urn:a\"/><ap:DefaultConnectionStyle"
         " ConnectionShape=\"urn:b\"/></ap:RelationshipDefaultsGroup>"},
        {&apImageDefaultsGroup::staticClass,
         "<ap:ImageDefaultsGroup><ap:DefaultColor/></ap:ImageDefaultsGroup>",
         "<ap:ImageDefaultsGroup/>"},
        {&apBackgroundImageData::staticClass,
         "<ap:BackgroundImageData Transparency=\"40\" ImageType=\"urn:mindjet:PngImage\"/>",
         "<ap:BackgroundImageData ImageType=\"urn:mindjet:PngImage\" Transparency=\"40\"/>"},
        {&apThreeDLook::staticClass, "<ap:ThreeDLook Alpha=\"0.5\" CX=\"1\"/>",
         "<ap:ThreeDLook CX=\"1.000000\" Alpha=\"0.500000\"/>"},
    });
    auto group =
        MMXMLBaseObject::initWithXMLTree<apRelationshipDefaultsGroup>(XMLTree::initWithString(
            "<ap:RelationshipDefaultsGroup><ap:DefaultConnectionStyle/><ap:DefaultConnectionStyle/>"
            "</ap:RelationshipDefaultsGroup>"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->defaultConnnectionStyles().size(), 2);
}

TEST(apMarkerElements, RoundTripInPairs)
{
    expectRoundTrips({
        {&apMarkersSetGroup::staticClass,
         "<ap:MarkersSetGroup><ap:TaskResourceMarkers><ap:TaskResourceMarker><ap:Name "
         "Name=\"Ann\"/>"
         "</ap:TaskResourceMarker></ap:TaskResourceMarkers><ap:TaskResourceMarkersName Name=\"R\"/>"
         "<ap:IconMarkersSets/></ap:MarkersSetGroup>",
         "<ap:MarkersSetGroup><ap:IconMarkersSets/><ap:TaskResourceMarkersName Name=\"R\"/>"
         "<ap:TaskResourceMarkers><ap:TaskResourceMarker><ap:Name Name=\"Ann\"/>"
         "</ap:TaskResourceMarker></ap:TaskResourceMarkers></ap:MarkersSetGroup>"},
        {&apTaskPercentageMarkers::staticClass,
         "<ap:TaskPercentageMarkers><ap:TaskPercentageMarker><ap:TaskPercentage"
         " TaskPercentage=\"25\"/><ap:Name Name=\"a\"/></ap:TaskPercentageMarker>"
         "<ap:TaskPercentageMarker><ap:TaskPercentage TaskPercentage=\"50\"/>"
         "</ap:TaskPercentageMarker><ap:TaskPercentageMarker><ap:TaskPercentage"
         " TaskPercentage=\"75\"/></ap:TaskPercentageMarker></ap:TaskPercentageMarkers>",
         "<ap:TaskPercentageMarkers><ap:TaskPercentageMarker><ap:Name "
         "Name=\"a\"/><ap:TaskPercentage"
         " TaskPercentage=\"25\"/></ap:TaskPercentageMarker><ap:TaskPercentageMarker>"
         "<ap:TaskPercentage TaskPercentage=\"50\"/></ap:TaskPercentageMarker>"
         "<ap:TaskPercentageMarker><ap:TaskPercentage TaskPercentage=\"75\"/>"
         "</ap:TaskPercentageMarker></ap:TaskPercentageMarkers>"},
        {&apTaskPriorityMarker::staticClass,
         "<ap:TaskPriorityMarker><ap:TaskPriority TaskPriority=\"urn:mindjet:Prio1\"/>"
         "</ap:TaskPriorityMarker>",
         "<ap:TaskPriorityMarker><ap:TaskPriority TaskPriority=\"urn:mindjet:Prio1\"/>"
         "</ap:TaskPriorityMarker>"},
    });
}

TEST(apMarkerElements, IconMarkersByTypeWithTheirLogLines)
{
    const char *children = "<ap:CustomIconImageData IconSignature=\"s\"/><ap:OneCustomIcon"
                           " IconSignature=\"s\"/><ap:OneStockIcon IconType=\"urn:i\"/>"
                           "<ap:Name Name=\"n\"/>";
    const struct
    {
        const char *type; // nullptr: no xsi:type
        const char *expectedChildren;
        const char *readLog;
        const char *writeLog;
    } cases[] = {
        {"ap:StockIconMarker", "<ap:Name Name=\"n\"/><ap:OneStockIcon IconType=\"urn:i\"/>",
         nullptr, nullptr},
        {"ap:CustomIconMarker",
         "<ap:Name Name=\"n\"/><ap:OneCustomIcon IconSignature=\"s\"/>"
         "<ap:CustomIconImageData IconSignature=\"s\"/>",
         nullptr, nullptr},
        {"ap:stockiconmarker", "<ap:Name Name=\"n\"/>",
         "Error: ap:stockiconmarker is not a valid type of ap:IconMarker",
         "Error: ap:stockiconmarker is not a valid type of ap:IconMarker"},
        {nullptr, "<ap:Name Name=\"n\"/>", "Error: no xsi:type found in abstract ap:IconMarker",
         "Error: no xsi:type found when writing abstract ap:IconMarker"},
    };
    for (const auto &c : cases) {
        const QString type = c.type ? QStringLiteral(" xsi:type=\"%1\"").arg(c.type) : QString();
        const XMLTree source =
            XMLTree::initWithString(QStringLiteral("<w%1><ap:IconMarker%2>%3</ap:IconMarker></w>")
                                        .arg(MMTest::kNamespaces, type, children));
        MMTest::LogLines readLog;
        auto marker = MMXMLBaseObject::initWithXMLTree<apIconMarker>(source.childAtIndex(0));
        ASSERT_TRUE(marker);
        EXPECT_EQ(readLog.lines(), c.readLog ? QStringList{c.readLog} : QStringList())
            << readLog.text();
        MMTest::LogLines writeLog;
        EXPECT_EQ(
            MMTest::written(*marker),
            QStringLiteral("<ap:IconMarker%1>%2</ap:IconMarker>").arg(type, c.expectedChildren));
        EXPECT_EQ(writeLog.lines(), c.writeLog ? QStringList{c.writeLog} : QStringList())
            << writeLog.text();
    }
}
