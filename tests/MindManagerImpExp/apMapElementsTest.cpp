#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/MMNamespaces.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apStyleElements.h"

#include "MMTestSupport.h"

#include <gtest/gtest.h>

using MMTest::expectRoundTrips;

TEST(apMapElements, RoundTripInTableOrder)
{
    expectRoundTrips({
        {&apMap::staticClass, "<ap:Map/>", "<ap:Map/>"},
        // Children in table order, view groups in document order, the second
        // OneTopic and every unknown element dropped; baselines read under
        // either name and written as cor:Baselines.
        {&apMap::staticClass,
         "<ap:Map OId=\"m\"><ap:Baselines/><ap:MapViewGroup RowIndex=\"2\" ColumnIndex=\"5\"/>"
         "<x:AddIn/><ap:MarkersSetGroup/><ap:DocumentGroup/><ap:MapViewGroup/>"
         "<ap:OneTopic><ap:Topic OId=\"t\"/></ap:OneTopic><ap:OneTopic><ap:Topic OId=\"u\"/>"
         "</ap:OneTopic><ap:StyleGroup/><ap:MapViewGroup ViewIndex=\"1\"><ap:Selection>"
         "<cor:ObjectReference OIdRef=\"t\"/></ap:Selection><ap:ZoomFactor ZoomFactor=\"1.5\"/>"
         "</ap:MapViewGroup><ap:Relationships/></ap:Map>",
         "<ap:Map OId=\"m\"><ap:OneTopic><ap:Topic OId=\"t\"/></ap:OneTopic><ap:Relationships/>"
         "<ap:StyleGroup/><ap:MapViewGroup RowIndex=\"2\" ColumnIndex=\"5\"/>"
         "<ap:MapViewGroup RowIndex=\"0\" ColumnIndex=\"0\"/><ap:MapViewGroup ViewIndex=\"1\""
         " RowIndex=\"0\" ColumnIndex=\"0\"><ap:ZoomFactor ZoomFactor=\"1.500000\"/><ap:Selection>"
         "<cor:ObjectReference OIdRef=\"t\"/></ap:Selection></ap:MapViewGroup><ap:DocumentGroup/>"
         "<ap:MarkersSetGroup/><cor:Baselines/></ap:Map>"},
        {&apMapTemplate::staticClass,
         "<ap:MapTemplate><ap:StyleGroup/><ap:OneTopic/></ap:MapTemplate>",
         "<ap:MapTemplate><ap:OneTopic/><ap:StyleGroup/></ap:MapTemplate>"},
        {&apMapPart::staticClass,
         "<ap:MapPart><ap:DocumentGroup/><ap:Relationships/><ap:StyleGroup/></ap:MapPart>",
         "<ap:MapPart><ap:Relationships/><ap:DocumentGroup/></ap:MapPart>"},
        {&apRelationship::staticClass,
         "<ap:Relationship><ap:LineStyle/><ap:ConnectionGroup Index=\"1\"><ap:ConnectionStyle"
         " ConnectionShape=\"urn:mindjet:NoArrow\"/><ap:Connection CY=\"2\" CX=\"1\">"
         "<ap:ObjectReference OIdRef=\"a&amp;b\"/></ap:Connection></ap:ConnectionGroup>"
         "<ap:ConnectionGroup Index=\"0\"/><ap:RelationshipViewGroup><ap:Visibility "
         "Hidden=\"true\"/>"
         "</ap:RelationshipViewGroup><ap:Color LineColor=\"ff000000\"/></ap:Relationship>",
         "<ap:Relationship><ap:ConnectionGroup Index=\"1\"><ap:Connection CX=\"1.000000\""
         " CY=\"2.000000\"><ap:ObjectReference OIdRef=\"a&amp;b\"/></ap:Connection>"
         "<ap:ConnectionStyle ConnectionShape=\"urn:mindjet:NoArrow\"/></ap:ConnectionGroup>"
         "<ap:ConnectionGroup Index=\"0\"/><ap:RelationshipViewGroup><ap:Visibility Hidden=\"true\""
         " Faded=\"false\" Condensed=\"false\"/></ap:RelationshipViewGroup>"
         "<ap:Color LineColor=\"ff000000\"/><ap:LineStyle/></ap:Relationship>"},
    });
}

TEST(apMapElements, NamespacesAreKeptAndWrittenFromOneHost)
{
    const QString app = "http://schemas.mindjet.com/MindManager/Application/2003";
    const QString core = "http://schemas.mindjet.com/MindManager/Core/2003";
    const QString pri = "http://schemas.mindjet.com/MindManager/Primitive/2003";
    const QString delta = "http://schemas.mindjet.com/MindManager/Delta/2003";
    const QString xsi = "http://www.w3.org/2001/XMLSchema-instance";
    auto map = MMXMLBaseObject::create<apMap>();
    map->setStandardNamespaces();
    auto oneTopic = MMXMLBaseObject::create<apOneTopic>();
    oneTopic->setTopic(MMXMLBaseObject::create<apTopic>());
    map->setOneTopic(oneTopic);
    map->setOId(std::nullopt);
    map->setPOId(std::nullopt);
    map->setGen(std::nullopt);
    map->setDirty(std::nullopt);
    XMLTree document = XMLTree::initRootless();
    map->createSubtreeInTree(document);
    const QString text = document.description();
    const QString start = QStringLiteral("<ap:Map xmlns:ap=\"%1\" xmlns:cor=\"%2\""
                                         " xmlns:pri=\"%3\" xmlns:xsi=\"%4\""
                                         " xsi:schemaLocation=\"%1 %1 %2 %2 %5 %5 %3 %3\">")
                              .arg(app, core, pri, xsi, delta);
    EXPECT_TRUE(text.contains(start)) << text.toStdString();

    // Read back: the declarations are kept, the topic found under its prefix.
    const XMLTree again = XMLTree::initWithString(text);
    ASSERT_FALSE(again.isNull());
    auto read = MMXMLBaseObject::initWithXMLTree<apMap>(again);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->xmlnsAp(), app);
    EXPECT_EQ(read->xmlnsCor(), core);
    EXPECT_EQ(read->xmlnsPri(), pri);
    EXPECT_EQ(read->xmlnsXsi(), xsi);
    EXPECT_EQ(read->xsiSchemaLocation(), MMNamespaces::schemaLocation());
    ASSERT_TRUE(read->oneTopic());
    EXPECT_TRUE(std::dynamic_pointer_cast<apOneTopic>(read->oneTopic())->topic());
    EXPECT_EQ(MMTest::written(*read), MMTest::written(*MMXMLBaseObject::initWithXMLTree<apMap>(
                                          XMLTree::initWithString(MMTest::written(*read)))));
}

// A whole file with an add-in's namespace, elements and attributes in many
// positions: read without error, its values found, written back stably.
TEST(apMapElements, WholeFileWithForeignContentReadsAndWritesBackStably)
{
    const char *file =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ap:Map"
        " xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\""
        " xmlns:cor=\"http://schemas.mindjet.com/MindManager/Core/2003\""
        " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:x=\"urn:example:addin\""
        " x:Flag=\"1\"><x:Before/><ap:OneTopic x:a=\"1\"><x:In/><ap:Topic OId=\"t\"><x:T/>"
        "<ap:Text PlainText=\"Plan &amp; do\" x:b=\"2\"><x:F/><ap:Font Size=\"12\"/></ap:Text>"
        "<ap:SubTopics><x:S/><ap:Topic><ap:Offset CX=\"12.5\" CY=\"oops\"/><ap:NotesGroup>"
        "<ap:NotesXhtmlData><html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>n</p></body>"
        "</html></ap:NotesXhtmlData></ap:NotesGroup><ap:IconsGroup><ap:Icons><x:Icon/>"
        "<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:Smile\"/></ap:Icons>"
        "</ap:IconsGroup><ap:Task StartDate=\"2007-13-45T99:00:00\"/></ap:Topic></ap:SubTopics>"
        "</ap:Topic></ap:OneTopic><ap:StyleGroup><x:Style/><ap:VisibilityStyle"
        " HideRelationships=\"sometimes\"/></ap:StyleGroup><ap:DocumentGroup><ap:Creator"
        " UserName=\"A &quot;B&quot;\"/><x:Doc/></ap:DocumentGroup><ap:MarkersSetGroup>"
        "<ap:IconMarkers><ap:IconMarker xsi:type=\"ap:StockIconMarker\"><x:M/><ap:OneStockIcon"
        " IconType=\"urn:i\"/></ap:IconMarker></ap:IconMarkers></ap:MarkersSetGroup><x:After/>"
        "</ap:Map>";
    auto map = MMXMLBaseObject::initWithXMLTree<apMap>(XMLTree::initWithString(file));
    ASSERT_TRUE(map);
    auto topic = std::dynamic_pointer_cast<apOneTopic>(map->oneTopic())->topic();
    ASSERT_TRUE(topic);
    EXPECT_EQ(std::dynamic_pointer_cast<apText>(topic->text())->plainText(), "Plan & do");
    auto sub = std::dynamic_pointer_cast<apTopic>(
        std::dynamic_pointer_cast<apSubTopics>(topic->subTopics())->topics().value(0));
    ASSERT_TRUE(sub);
    auto offset = std::dynamic_pointer_cast<apOffset>(sub->offset());
    EXPECT_EQ(offset->CX(), 12.5f);
    EXPECT_EQ(offset->CY(), 0.0f); // a malformed number reads as its leading number
    EXPECT_FALSE(std::dynamic_pointer_cast<apTask>(sub->task())->startDate());
    auto style = std::dynamic_pointer_cast<apStyleGroup>(map->styleGroup());
    EXPECT_FALSE(std::dynamic_pointer_cast<apVisibilityStyle>(style->visibilityStyle())
                     ->hideRelationships());
    auto creator = std::dynamic_pointer_cast<apUser>(
        std::dynamic_pointer_cast<apDocumentGroup>(map->documentGroup())->creator());
    EXPECT_EQ(creator->userName(), "A \"B\"");

    const QString first = MMTest::written(*map);
    EXPECT_FALSE(first.contains("x:")) << first.toStdString();
    auto reread = MMXMLBaseObject::initWithXMLTree<apMap>(XMLTree::initWithString(first));
    ASSERT_TRUE(reread);
    EXPECT_EQ(MMTest::written(*reread), first);
}
