#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/MMNamespaces.h"

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
