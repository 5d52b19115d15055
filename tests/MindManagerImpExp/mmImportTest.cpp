#include "MMImportTestSupport.h"

#include "MindManagerImpExp/MMArchiveStream.h"
#include "MindManagerImpExp/corElements.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWResource.h"
#include "model/TWTrackedChange.h"
#include "platform/NotificationCenter.h"
#include "render/TWTextLayout.h"
#include "support/Base64.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <cmath>
#include <libxml/parserInternals.h>

using namespace MMImportTest;

namespace {

constexpr float kMM = 72.0f / 25.4f;

QString topic(const QString &oid, const QString &inner = QString())
{
    return QStringLiteral("<ap:Topic OId=\"%1\">%2</ap:Topic>").arg(oid, inner);
}

QString subTopics(const QStringList &topics)
{
    return QStringLiteral("<ap:SubTopics>%1</ap:SubTopics>").arg(topics.join(QString()));
}

QString text(const QString &plain)
{
    return QStringLiteral("<ap:Text PlainText=\"%1\"/>").arg(plain);
}

} // namespace

class MindManagerImport : public ImportFixture
{};

TEST_F(MindManagerImport, RefusesWhatIsNoMapWithItsMessage)
{
    const struct
    {
        QByteArray xml;
        QString message;
    } cases[] = {
        {"not xml at all",
         "Failed to load XML file: map.xml (Start tag expected, '<' not found (line 1))"},
        {mapWithTopic(text("a")).left(60),
         "Failed to load XML file: map.xml (AttValue: ' expected (line 1))"},
        {"<?xml version=\"1.0\"?><ap:Document xmlns:ap=\"x\"/>",
         "map.xml is not a MindManager XML Map file"},
        {mapXML(QString()), "Error loading Map object - no one topic found"},
        {mapXML("<ap:OneTopic/>"), "Error loading Map object - no topic found"},
        {mapXML("<ap:OneTopic><x:Other/></ap:OneTopic>"),
         "Error loading Map object - no topic found"},
    };
    for (const auto &c : cases) {
        RecordingAlerts recorded;
        Alerts::Scope scope(&recorded);
        const int before = int(root().children().size());
        EXPECT_FALSE(import(c.xml)) << c.xml.constData();
        ASSERT_EQ(recorded.alerts().size(), 1) << c.xml.constData();
        EXPECT_EQ(recorded.alerts().first().title, QStringLiteral("Mind Manager import error"));
        EXPECT_EQ(recorded.alerts().first().message, c.message);
        EXPECT_EQ(int(root().children().size()), before);
    }
}

TEST_F(MindManagerImport, BuildsTheTreeWithFloatingTopicsLastAndUnknownElementsIgnored)
{
    ASSERT_TRUE(importTopic(text("Centre") + "<x:AddIn><ap:Topic OId=\"hidden\"/></x:AddIn>" +
                            subTopics({topic("a", text("A") + subTopics({topic("a1", text("A1"))})),
                                       topic("b", text("B") + "<x:Unknown Foo=\"1\"/>")}) +
                            "<ap:FloatingTopics>" + topic("f", text("F")) +
                            "</ap:FloatingTopics>"));
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(root().enclosedTextArea()->text().string(), QStringLiteral("Centre"));
    EXPECT_EQ(root().mmOid(), QStringLiteral("root"));
    ASSERT_EQ(root().children().size(), 3);
    // File order, floating topics after the sub-topics.
    const QStringList order{"a", "b", "f"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(root().children().at(i)->mmOid(), order.at(i));
    EXPECT_EQ(map().branchHideLevel(), 2);

    // Floating topics listed before the sub-topics still follow them.
    auto doc = TWMapsDoc::create();
    doc->addMap(TWMap::create(doc.get()), false);
    TWMap &second = *doc->maps().first();
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(
        second, mmImpExpController::sourceForData(
                    mapWithTopic("<ap:FloatingTopics>" + topic("f1") + topic("f2") +
                                 "</ap:FloatingTopics>" + subTopics({topic("s1"), topic("s2")})))));
    QStringList oids;
    for (const auto &child : second.root()->children())
        oids.append(child->mmOid().value_or(QString()));
    EXPECT_EQ(oids, (QStringList{"s1", "s2", "f1", "f2"}));
    EXPECT_EQ(branch("f").enclosedTextArea()->text().string(), QStringLiteral("F"));
    EXPECT_EQ(branch("a1").parent(), &branch("a"));
    EXPECT_EQ(branch("a1").enclosedTextArea()->text().string(), QStringLiteral("A1"));
    EXPECT_EQ(branch("a1").getThisBranchLevel(), 2);

    // Lists and topics are known by their whole name, each time it recurs:
    // a topic outside a list, a list or topic under another prefix or none
    // is passed over.
    const struct
    {
        QString topicChildren;
        QStringList children;
    } named[] = {
        {topic("direct") + subTopics({topic("s1")}) + topic("direct2") + subTopics({topic("s2")}),
         {"s1", "s2"}},
        {"<x:SubTopics>" + topic("x1") + "</x:SubTopics><SubTopics>" + topic("n1") +
             "</SubTopics>" + subTopics({topic("s1"), "<x:Topic OId=\"x2\"/>", topic("s2")}) +
             "<x:SubTopics>" + topic("x3") + "</x:SubTopics>",
         {"s1", "s2"}},
        {"<x:FloatingTopics>" + topic("x1") + "</x:FloatingTopics><ap:FloatingTopics>" +
             topic("f1") + "<Topic OId=\"n1\"/></ap:FloatingTopics>" + subTopics({topic("s1")}),
         {"s1", "f1"}},
    };
    for (const auto &[children, expected] : named) {
        auto namedDoc = TWMapsDoc::create();
        namedDoc->addMap(TWMap::create(namedDoc.get()), false);
        TWMap &made = *namedDoc->maps().first();
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            made, mmImpExpController::sourceForData(mapWithTopic(children))))
            << children.toStdString();
        QStringList read;
        for (const auto &child : made.root()->children())
            read.append(child->mmOid().value_or(QString()));
        EXPECT_EQ(read, expected) << children.toStdString();
        EXPECT_EQ(made.allBranches().size(), size_t(expected.size() + 1)) << children.toStdString();
    }
}

TEST_F(MindManagerImport, LevelDefaultsStyleTopicsWithoutTheirOwnValues)
{
    const QString style = QStringLiteral(
        "<ap:StyleGroup>"
        "<ap:RootTopicDefaultsGroup><ap:DefaultText PlainText=\"Root default\"/>"
        "<ap:DefaultColor FillColor=\"ff00ff00\" LineColor=\"ff0000ff\"/>"
        "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:Oval\"/></ap:RootTopicDefaultsGroup>"
        "<ap:RootSubTopicDefaultsGroup Level=\"0\"><ap:DefaultText PlainText=\"Level one\"/>"
        "<ap:DefaultColor FillColor=\"ffff0000\"/></ap:RootSubTopicDefaultsGroup>"
        "</ap:StyleGroup>");
    ASSERT_TRUE(
        importTopic(subTopics({topic("a", subTopics({topic("a1")})),
                               topic("b", "<ap:Color LineColor=\"ff123456\"/>" + text("B"))}),
                    style));
    // The root's own default for new branches: circles.
    EXPECT_EQ(document->graphicClassIdentifier(), 3);
    EXPECT_EQ(root().enclosedTextArea()->text().string(), QStringLiteral("Root default"));
    const TWMapBranch &a = branch("a");
    EXPECT_EQ(a.enclosedTextArea()->text().string(), QStringLiteral("Level one"));
    EXPECT_EQ(a.mainGraphic()->fillColor(), Color::colorWithCalibratedRed(1, 0, 0, 1));
    // Level two has nothing of its own: level one answers.
    EXPECT_EQ(a.children().at(0)->enclosedTextArea()->text().string(), QStringLiteral("Level one"));
    // Only a line colour of its own: the fill comes from the level.
    const TWMapBranch &b = branch("b");
    EXPECT_EQ(b.mainGraphic()->fillColor(), Color::colorWithCalibratedRed(1, 0, 0, 1));
    EXPECT_EQ(b.mainGraphic()->strokeColor(),
              mmConverter::colorFromString(QStringLiteral("ff123456")));
    EXPECT_EQ(map().layoutAssistanceMode(), 2);
    EXPECT_FALSE(map().showCollapseSign());
}

TEST_F(MindManagerImport, RootSubTopicShapeGivesTheTypeOfNewBranches)
{
    const struct
    {
        const char *shape;
        int code;
    } cases[] = {{"Oval", 3},  {"Circle", 3},    {"Line", 1},    {"None", 1},
                 {"Image", 2}, {"Rectangle", 2}, {"Whatever", 2}};
    for (const auto &c : cases) {
        auto doc = TWMapsDoc::create();
        doc->addMap(TWMap::create(doc.get()), false);
        const QByteArray xml = mapWithTopic(
            text("x"), QStringLiteral("<ap:StyleGroup><ap:RootTopicDefaultsGroup>"
                                      "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:%1\"/>"
                                      "</ap:RootTopicDefaultsGroup></ap:StyleGroup>")
                           .arg(QLatin1String(c.shape)));
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(*doc->maps().first(),
                                                        mmImpExpController::sourceForData(xml)));
        EXPECT_EQ(doc->graphicClassIdentifier(), c.code) << c.shape;
    }
}

TEST_F(MindManagerImport, StyleGroupSetsTheMapWideSettings)
{
    ASSERT_TRUE(importTopic(
        text("x"),
        "<ap:StyleGroup><ap:BackgroundFill FillColor=\"ff0000ff\"/>"
        "<ap:BackgroundImageData ImageType=\"urn:mindjet:PngImage\" Transparency=\"25\">"
        "<cor:Base64>" +
            pngBase64() +
            "</cor:Base64></ap:BackgroundImageData>"
            "<ap:VisibilityStyle HideRelationships=\"true\" HideLabelFloatingTopics=\"true\"/>"
            "<ap:Structure UseAutoLayout=\"false\" HideCollapseSign=\"false\"/>"
            "</ap:StyleGroup>"));
    EXPECT_EQ(map().backgroundColor(), Color::colorWithCalibratedRed(0, 0, 1, 1));
    EXPECT_FLOAT_EQ(map().backgroundImageOpacity(), 0.75f);
    EXPECT_FALSE(map().showLinkLines());
    EXPECT_FALSE(map().showAttachedGraphics());
    EXPECT_EQ(map().layoutAssistanceMode(), 1);
    EXPECT_TRUE(map().showCollapseSign());
}

TEST_F(MindManagerImport, RelationshipsBecomeLinkLines)
{
    const auto relationship = [](const QString &inner, const char *from, const char *to,
                                 const char *startShape, const char *endShape) {
        return QStringLiteral(
                   "<ap:Relationship>%1"
                   "<ap:ConnectionGroup Index=\"0\"><ap:Connection CX=\"10\" CY=\"10\">"
                   "<ap:ObjectReference OIdRef=\"%2\"/></ap:Connection>"
                   "<ap:ConnectionStyle ConnectionShape=\"urn:mindjet:%4\"/></ap:ConnectionGroup>"
                   "<ap:ConnectionGroup Index=\"1\"><ap:Connection CX=\"-5\" CY=\"5\">"
                   "<ap:ObjectReference OIdRef=\"%3\"/></ap:Connection>"
                   "<ap:ConnectionStyle ConnectionShape=\"urn:mindjet:%5\"/></ap:ConnectionGroup>"
                   "</ap:Relationship>")
            .arg(inner, QLatin1String(from), QLatin1String(to), QLatin1String(startShape),
                 QLatin1String(endShape));
    };
    ASSERT_TRUE(importTopic(
        subTopics({topic("a", text("A")), topic("b", text("B"))}),
        "<ap:Relationships>" +
            relationship("<ap:LineStyle LineWidth=\"2\"/><ap:Color LineColor=\"ffff0000\"/>", "a",
                         "b", "OpenArrow", "DiamondArrow") +
            relationship(QString(), "a", "missing", "Arrow", "Arrow") +
            relationship(QString(), "b", "root", "NoArrow", "Bogus") + "</ap:Relationships>"));
    ASSERT_EQ(map().countOfLinkLines(), 2);
    const TWMapBranch &a = branch("a");
    const TWMapBranch &b = branch("b");
    const auto first = map().objectInLinkLinesAtIndex(0);
    EXPECT_EQ(first->startGraphicNumber(), a.mainGraphic()->graphicNumber());
    EXPECT_EQ(first->endGraphicNumber(), b.mainGraphic()->graphicNumber());
    EXPECT_EQ(first->branch(), &a);
    EXPECT_FLOAT_EQ(first->strokeWidth(), 2.0f);
    EXPECT_EQ(first->strokeColor(), Color::colorWithCalibratedRed(1, 0, 0, 1));
    EXPECT_EQ(first->startArrowStyle(), 1);
    EXPECT_FALSE(first->startFilled());
    EXPECT_EQ(first->endArrowStyle(), 4);
    EXPECT_TRUE(first->endFilled());
    EXPECT_FLOAT_EQ(first->startArrowLength(), 15.0f);
    // Each control point from the centre of its own end, y up.
    const Rect ab = a.branchBounds();
    const Rect bb = b.branchBounds();
    EXPECT_NEAR(first->intermediatePoint1().x, ab.x() + ab.width() / 2 + 10 * kMM, 1e-3);
    EXPECT_NEAR(first->intermediatePoint1().y, ab.y() + ab.height() / 2 - 10 * kMM, 1e-3);
    EXPECT_NEAR(first->intermediatePoint2().x, bb.x() + bb.width() / 2 - 5 * kMM, 1e-3);
    EXPECT_NEAR(first->intermediatePoint2().y, bb.y() + bb.height() / 2 - 5 * kMM, 1e-3);

    // No width or colour anywhere: 1 point, black; an unknown shape keeps the end as made.
    const auto second = map().objectInLinkLinesAtIndex(1);
    EXPECT_FLOAT_EQ(second->strokeWidth(), 1.0f);
    EXPECT_EQ(second->strokeColor(), Color::blackColor());
    EXPECT_EQ(second->startArrowStyle(), 0);
    EXPECT_EQ(second->endGraphicNumber(), root().mainGraphic()->graphicNumber());
}

TEST_F(MindManagerImport, RelationshipDefaultsSupplyWidthAndColour)
{
    ASSERT_TRUE(importTopic(
        subTopics({topic("a"), topic("b")}),
        "<ap:Relationships><ap:Relationship>"
        "<ap:ConnectionGroup Index=\"0\"><ap:Connection><ap:ObjectReference OIdRef=\"a\"/>"
        "</ap:Connection></ap:ConnectionGroup>"
        "<ap:ConnectionGroup Index=\"1\"><ap:Connection><ap:ObjectReference OIdRef=\"b\"/>"
        "</ap:Connection></ap:ConnectionGroup></ap:Relationship></ap:Relationships>"
        "<ap:StyleGroup><ap:RelationshipDefaultsGroup><ap:DefaultColor LineColor=\"ff00ff00\"/>"
        "<ap:DefaultLineStyle LineWidth=\"3\"/></ap:RelationshipDefaultsGroup></ap:StyleGroup>"));
    ASSERT_EQ(map().countOfLinkLines(), 1);
    EXPECT_FLOAT_EQ(map().objectInLinkLinesAtIndex(0)->strokeWidth(), 3.0f);
    EXPECT_EQ(map().objectInLinkLinesAtIndex(0)->strokeColor(),
              Color::colorWithCalibratedRed(0, 1, 0, 1));
}

TEST_F(MindManagerImport, BoundariesTakeTheirOwnValuesThenTheDefaults)
{
    ASSERT_TRUE(importTopic(
        subTopics(
            {topic("plain"),
             topic("own", "<ap:OneBoundary><ap:Boundary><ap:Color FillColor=\"ff00ff00\"/>"
                          "<ap:LineStyle LineDashStyle=\"urn:mindjet:LongDash\" LineWidth=\"2\"/>"
                          "<ap:BoundaryShape BoundaryShape=\"urn:mindjet:Zigzag\" Margin=\"10\"/>"
                          "</ap:Boundary></ap:OneBoundary>"),
             topic("defaults", "<ap:OneBoundary><ap:Boundary/></ap:OneBoundary>")}),
        "<ap:StyleGroup><ap:BoundaryDefaultsGroup>"
        "<ap:DefaultLineStyle LineDashStyle=\"urn:mindjet:Dash\" LineWidth=\"4\"/>"
        "<ap:DefaultBoundaryShape BoundaryShape=\"urn:mindjet:Waves\" Margin=\"5\"/>"
        "</ap:BoundaryDefaultsGroup></ap:StyleGroup>"));
    EXPECT_FALSE(branch("plain").hasBoundary());
    const TWMapBranch &own = branch("own");
    EXPECT_TRUE(own.hasBoundary());
    EXPECT_EQ(own.boundaryFillColor(), Color::colorWithCalibratedRed(0, 1, 0, 1));
    EXPECT_EQ(own.boundaryLineStyle(), 5);
    EXPECT_FLOAT_EQ(own.boundaryLineWidth(), 2.0f);
    EXPECT_EQ(own.boundaryCornerStyle(), 2);
    EXPECT_NEAR(own.boundaryMargin(), 10 * kMM, 1e-4);
    const TWMapBranch &defaults = branch("defaults");
    EXPECT_EQ(defaults.boundaryLineStyle(), 3);
    EXPECT_FLOAT_EQ(defaults.boundaryLineWidth(), 4.0f);
    EXPECT_EQ(defaults.boundaryCornerStyle(), 4);
    EXPECT_NEAR(defaults.boundaryMargin(), 5 * kMM, 1e-4);
}

TEST_F(MindManagerImport, ShapesConnectionStylesAndHiddenChildren)
{
    const struct
    {
        QString inner;
        int type;
        int corner;
        int connection;
        bool hidden;
    } cases[] = {
        {"<ap:SubTopicShape SubTopicShape=\"urn:mindjet:RoundedRectangle\"/>", 2, 1, -1, false},
        {"<ap:SubTopicShape SubTopicShape=\"urn:mindjet:Hexagon\"/>"
         "<ap:SubTopicsShape SubTopicsConnectionStyle=\"urn:mindjet:Elbow\"/>",
         2, 3, 5, false},
        {"<ap:SubTopicShape SubTopicShape=\"urn:mindjet:ThoughtBubble\"/>"
         "<ap:SubTopicsVisibility Hidden=\"true\"/>",
         6, 0, -1, true},
        // The first view group of view 0 decides; a later one is not read.
        {"<ap:TopicViewGroup ViewIndex=\"1\"><ap:Collapsed Collapsed=\"true\"/></ap:TopicViewGroup>"
         "<ap:TopicViewGroup><ap:Collapsed Collapsed=\"false\"/></ap:TopicViewGroup>"
         "<ap:TopicViewGroup ViewIndex=\"0\"><ap:Collapsed "
         "Collapsed=\"true\"/></ap:TopicViewGroup>",
         1, 0, -1, false},
        // View 0's group after another view's.
        {"<ap:TopicViewGroup ViewIndex=\"2\"/><ap:TopicViewGroup ViewIndex=\"0\"><ap:Collapsed "
         "Collapsed=\"true\"/></ap:TopicViewGroup>",
         1, 0, -1, true},
        // Collapsed with children: making the children does not open it.
        {"<ap:TopicViewGroup ViewIndex=\"0\"><ap:Collapsed "
         "Collapsed=\"true\"/></ap:TopicViewGroup>"
         "<ap:SubTopics><ap:Topic OId=\"inside\"/></ap:SubTopics>",
         1, 0, -1, true},
    };
    QStringList topics;
    for (int i = 0; i < int(std::size(cases)); ++i)
        topics.append(topic(QString::number(i), text("t") + cases[i].inner));
    ASSERT_TRUE(importTopic(subTopics(topics)));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const TWMapBranch &b = branch(QString::number(i));
        EXPECT_EQ(b.branchType(), cases[i].type) << i;
        EXPECT_EQ(b.mainGraphic()->cornerMode(), cases[i].corner) << i;
        if (cases[i].connection >= 0)
            EXPECT_EQ(b.childrenConnectionStyle(), cases[i].connection) << i;
        EXPECT_EQ(b.childrenHidden(), cases[i].hidden) << i;
    }
}

TEST_F(MindManagerImport, OffsetsPlaceTopicsFromTheRootCentre)
{
    const QString layout = QStringLiteral("<ap:TopicLayout Width=\"30\"/>");
    ASSERT_TRUE(importTopic(
        text("Root") +
        subTopics(
            {topic("right", text("R") + "<ap:Offset CX=\"20\" CY=\"10\"/>"),
             topic("left", text("L") + "<ap:Offset CX=\"-20\" CY=\"10\"/>"),
             topic(
                 "laidout",
                 text("Wide") + layout + "<ap:Offset CX=\"40\" CY=\"0\"/>" +
                     subTopics(
                         {topic("deep", text("D") + layout + "<ap:Offset CX=\"1\" CY=\"1\"/>"),
                          topic("free", text("Free") + "<ap:Offset CX=\"30\" CY=\"-30\"/>")}))})));
    const Rect r = root().mainGraphic()->bounds();
    const float cx = r.x() + r.width() / 2;
    const float cy = r.y() + r.height() / 2;
    EXPECT_NEAR(branch("right").mainGraphic()->bounds().x(), cx + 20 * kMM, 0.01);
    EXPECT_NEAR(branch("right").mainGraphic()->bounds().y(), cy - 10 * kMM, 0.01);
    EXPECT_NEAR(branch("left").mainGraphic()->bounds().maxX(), cx - 20 * kMM, 0.01);
    const TWMapBranch &laidOut = branch("laidout");
    EXPECT_NEAR(laidOut.mainGraphic()->bounds().x(), cx + 40 * kMM, 0.01);
    // A second-level topic with a layout is not placed by its offset; one
    // without is, from the root.
    const TWMapBranch &free = branch("free");
    EXPECT_NEAR(free.mainGraphic()->bounds().x(), cx + 30 * kMM, 0.01);
    EXPECT_NEAR(free.mainGraphic()->bounds().y(), cy + 30 * kMM, 0.01);
    const TWMapBranch &deep = branch("deep");
    EXPECT_GT(std::abs(deep.mainGraphic()->bounds().x() - (cx + 1 * kMM)), 0.5);
}

TEST_F(MindManagerImport, TopicLayoutWidthWrapsTheText)
{
    const QString words = QStringLiteral("one two three four five six seven eight nine ten");
    ASSERT_TRUE(
        importTopic(subTopics({topic("narrow", text(words) + "<ap:TopicLayout Width=\"20\"/>"),
                               topic("wide", text(words) + "<ap:TopicLayout Width=\"120\"/>")})));
    const TWMapBranch &narrow = branch("narrow");
    const TWMapBranch &wide = branch("wide");
    EXPECT_LE(narrow.enclosedTextArea()->bounds().width(), 20 * kMM + 1);
    EXPECT_GT(narrow.enclosedTextArea()->bounds().height(),
              wide.enclosedTextArea()->bounds().height());
}

TEST_F(MindManagerImport, IconsBecomePicturesInTheDocumentPackage)
{
    const QString png = pngBase64();
    ASSERT_TRUE(importTopic(subTopics(
        {topic(
             "t",
             text("Icons") +
                 "<ap:IconsGroup><ap:Icons>"
                 "<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:Calendar\"/>"
                 "<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:NotAnIcon\"/>"
                 "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"s1\"/>"
                 "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"missing\"/>"
                 "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"s2\"/>"
                 "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"bad\"/>"
                 "</ap:Icons>"
                 "<ap:CustomIconImageData IconSignature=\"s1\" ImageType=\"urn:mindjet:PngImage\">"
                 "<cor:Base64>" +
                 png +
                 "</cor:Base64></ap:CustomIconImageData>"
                 "<ap:CustomIconImageData IconSignature=\"s2\" ImageType=\"urn:mindjet:PngImage\">"
                 "<cor:Base64>" +
                 png +
                 "</cor:Base64></ap:CustomIconImageData>"
                 "<ap:CustomIconImageData IconSignature=\"bad\" ImageType=\"urn:mindjet:PngImage\">"
                 "<cor:Base64>iVBORw0KG</cor:Base64></ap:CustomIconImageData>"
                 "</ap:IconsGroup>"),
         // Stock icons met again, known and unknown.
         topic("u", text("Again") + "<ap:IconsGroup><ap:Icons>"
                                    "<ap:Icon xsi:type=\"ap:StockIcon\" "
                                    "IconType=\"urn:mindjet:NotAnIcon\"/>"
                                    "<ap:Icon xsi:type=\"ap:StockIcon\" "
                                    "IconType=\"urn:mindjet:Calendar\"/>"
                                    "<ap:Icon xsi:type=\"ap:StockIcon\" "
                                    "IconType=\"urn:mindjet:Calendar\"/>"
                                    "</ap:Icons></ap:IconsGroup>")})));
    const TWMapBranch &b = branch("t");
    ASSERT_EQ(b.countOfOtherEnclosedGraphics(), 3);
    const auto stock = b.objectInOtherEnclosedGraphicsAtIndex(0);
    EXPECT_EQ(stock->name(), QStringLiteral("urn:mindjet:Calendar"));
    const QString stockPath = QStringLiteral("Images/Adornments/Date & Time/Calendar2.tif");
    EXPECT_EQ(stock->graphic()->imageFilename(), stockPath);
    EXPECT_EQ(stock->graphic()->bounds().size, Size(16, 16));
    const QString first = QStringLiteral("Images/CustomAdornments/Branch%1/ExtractedImage.tiff")
                              .arg(b.branchNumber());
    const QString second = QStringLiteral("Images/CustomAdornments/Branch%1/ExtractedImage4.tiff")
                               .arg(b.branchNumber());
    EXPECT_EQ(b.objectInOtherEnclosedGraphicsAtIndex(1)->graphic()->imageFilename(), first);
    EXPECT_EQ(b.objectInOtherEnclosedGraphicsAtIndex(2)->graphic()->imageFilename(), second);
    const TWMapBranch &again = branch("u");
    ASSERT_EQ(again.countOfOtherEnclosedGraphics(), 2);
    for (const TWMapBranch *owner : {&b, &again}) {
        for (const auto &icon : owner->otherEnclosedGraphics())
            EXPECT_EQ(icon->graphic()->branch(), owner);
    }
    for (int i = 0; i < 2; ++i) {
        const auto icon = again.objectInOtherEnclosedGraphicsAtIndex(i);
        EXPECT_EQ(icon->name(), stock->name());
        EXPECT_EQ(icon->path(), stock->path());
        EXPECT_EQ(icon->graphic()->imageFilename(), stockPath);
        EXPECT_NE(icon->graphic(), stock->graphic());
    }
    for (const QString &path : {stockPath, first, second}) {
        ASSERT_TRUE(document->cachedData().contains(path)) << path.toStdString();
        EXPECT_FALSE(
            QImage::fromData(document->cachedData().value(path).bytes().value_or(QByteArray()))
                .isNull());
    }
}

TEST_F(MindManagerImport, HyperlinksByTheirUrl)
{
    const struct
    {
        QString url;
        int type;
        std::optional<QString> target, arg1, arg2;
    } cases[] = {
        {"mailto:ann@example.org?subject=Hi%20there&amp;body=See%0Anotes&amp;x=y", 5,
         "ann@example.org", "subject=Hi there", "body=See\nnotes"},
        {"mailto:", 5, "", std::nullopt, std::nullopt},
        {"mailto:a@b?p=%2541", 5, "a@b", "p=%41", std::nullopt},
        {"http://example.org/plan.tweb", 3, "http://example.org/plan.tweb", {}, {}},
        {"ftp://example.org/x", 2, "ftp://example.org/x", {}, {}},
        // Any scheme, in any case, is the web's.
        {"HTTP://example.org/x", 2, "HTTP://example.org/x", {}, {}},
        {"https://example.org/x", 2, "https://example.org/x", {}, {}},
        {"/home/me/plan.tweb", 4, "/home/me/plan.tweb", {}, {}},
        {"notes.txt", 1, "notes.txt", {}, {}},
    };
    QStringList topics;
    for (int i = 0; i < int(std::size(cases)); ++i)
        topics.append(topic(QString::number(i),
                            QStringLiteral("<ap:Hyperlink Url=\"%1\"/>").arg(cases[i].url)));
    topics.append(topic("none", "<ap:Hyperlink/>"));
    ASSERT_TRUE(importTopic(subTopics(topics)));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const TWMapBranch &b = branch(QString::number(i));
        ASSERT_EQ(b.countOfHyperlinks(), 1) << i;
        const auto link = b.objectInHyperlinksAtIndex(0);
        EXPECT_EQ(link->linkType(), cases[i].type) << i;
        EXPECT_EQ(link->linkURL(), cases[i].target) << i;
        EXPECT_EQ(link->linkArg(), cases[i].arg1) << i;
        EXPECT_EQ(link->linkArg2(), cases[i].arg2) << i;
    }
    const auto none = branch("none").objectInHyperlinksAtIndex(0);
    EXPECT_EQ(none->linkType(), 1);
    EXPECT_FALSE(none->linkURL());
}

TEST_F(MindManagerImport, TasksGivePriorityDurationDatesAndResources)
{
    const struct
    {
        QString attributes;
        int priority;
        float duration;
        int unit;
        float percentage;
        QStringList resources;
    } cases[] = {
        {"TaskPriority=\"urn:mindjet:Prio9\" DurationHours=\"48\" DurationUnit=\"urn:mindjet:Day\"",
         9,
         2.0f,
         3,
         -1,
         {}},
        {"DurationHours=\"1461\" DurationUnit=\"urn:mindjet:Month\" TaskPercentage=\"50\"",
         0,
         2.0f,
         5,
         50,
         {}},
        {"DurationHours=\"336\" DurationUnit=\"urn:mindjet:Week\"", 0, 2.0f, 4, -1, {}},
        // A unit is known by its whole urn only.
        {"DurationHours=\"48\" DurationUnit=\"Day\"", 0, 0, 0, -1, {}},
        {"DurationHours=\"48\" DurationUnit=\"urn:mindjet:Days\"", 0, 0, 0, -1, {}},
        {"DurationHours=\"5\" DurationUnit=\"urn:mindjet:Hour\" Resources=\"Ann  Lee; Bob,,  \"",
         0,
         5.0f,
         2,
         -1,
         {"Ann Lee", "Bob"}},
        {"Resources=\";Cy;Di , Ed;;Fay,\"", 0, 0, 0, -1, {"Cy", "Di", "Ed", "Fay"}},
        {"DurationHours=\"5\" DurationUnit=\"urn:mindjet:Year\" TaskPriority=\"\"",
         0,
         0,
         0,
         -1,
         {}},
    };
    QStringList topics;
    for (int i = 0; i < int(std::size(cases)); ++i)
        topics.append(
            topic(QString::number(i), QStringLiteral("<ap:Task %1/>").arg(cases[i].attributes)));
    auto fresh = TWMapsDoc::create();
    fresh->addMap(TWMap::create(fresh.get()), false);
    const TWMapBranch &probe = *fresh->maps().first()->root()->addChildOfType(2);
    ASSERT_TRUE(importTopic(subTopics(topics)));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const TWMapBranch &b = branch(QString::number(i));
        EXPECT_EQ(b.priority(), cases[i].priority ? cases[i].priority : probe.priority()) << i;
        if (cases[i].unit) {
            EXPECT_NEAR(b.duration(), cases[i].duration, 1e-4) << i;
            EXPECT_EQ(b.durationUnits(), cases[i].unit) << i;
        } else {
            EXPECT_EQ(b.durationUnits(), probe.durationUnits()) << i;
        }
        if (cases[i].percentage >= 0)
            EXPECT_FLOAT_EQ(b.percentageComplete(), cases[i].percentage) << i;
        QStringList names;
        for (const QString &id : b.resourcesAllocated())
            if (auto r = document->resourceWithIdentifier(id))
                names.append(r->resourceName());
        EXPECT_EQ(names, cases[i].resources) << i;
    }
}

TEST_F(MindManagerImport, NotesCommentsAndDocumentMetadata)
{
    ASSERT_TRUE(importTopic(
        subTopics(
            {topic("n", text("N") +
                            "<ap:NotesGroup><ap:NotesXhtmlData PreviewPlainText=\"preview\">"
                            "<html xmlns=\"http://www.w3.org/1999/xhtml\">"
                            "<body><p>Rich note</p></body></html>"
                            "</ap:NotesXhtmlData></ap:NotesGroup>"),
             topic("p",
                   "<ap:NotesGroup><ap:NotesXhtmlData PreviewPlainText=\"Only &amp; preview\"/>"
                   "</ap:NotesGroup>"
                   "<ap:Comments><ap:Comment Text=\"First\" AuthorName=\"Ann\" "
                   "AuthorEmail=\"ann@example.org\" DateTime=\"2020-01-02T03:04:05\"/>"
                   "<ap:Comment AuthorName=\"Bob\"/></ap:Comments>")}),
        "<ap:DocumentGroup><ap:Creator UserName=\"Ann\"/>"
        "<ap:DateTimeStamps Created=\"2020-01-02T03:04:05\"/>"
        "<ap:Description Comments=\"About\"/></ap:DocumentGroup>"));
    const TWMapBranch &n = branch("n");
    ASSERT_EQ(n.countOfAttachedTextArray(), 1);
    EXPECT_TRUE(n.objectInAttachedTextArrayAtIndex(0)->text()->string().contains("Rich note"));
    const TWMapBranch &p = branch("p");
    ASSERT_EQ(p.countOfAttachedTextArray(), 1);
    EXPECT_EQ(p.objectInAttachedTextArrayAtIndex(0)->text()->string(),
              QStringLiteral("Only & preview"));
    ASSERT_EQ(p.countOfTrackedChanges(), 2);
    const auto first = p.objectInTrackedChangesAtIndex(0);
    EXPECT_EQ(first->byWhom()->firstName(), QStringLiteral("Ann"));
    EXPECT_EQ(first->byWhom()->email(), QStringLiteral("ann@example.org"));
    EXPECT_EQ(first->comment()->string(), QStringLiteral("First"));
    EXPECT_TRUE(first->date());
    EXPECT_EQ(p.objectInTrackedChangesAtIndex(1)->comment()->string(), QString());
    EXPECT_EQ(document->creator(), QStringLiteral("Ann"));
    EXPECT_EQ(document->comments(), QStringLiteral("About"));
    EXPECT_TRUE(document->creationDate());
    EXPECT_FALSE(document->lastSaveDate());
}

TEST_F(MindManagerImport, PicturesSkipOnlyWhatIsDamaged)
{
    ASSERT_TRUE(importTopic(subTopics(
        {topic("ok", "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\">"
                     "<cor:Base64>" +
                         pngBase64(8, 8) +
                         "</cor:Base64></ap:ImageData>"
                         "<ap:ImageSize Width=\"100\" Height=\"50\"/></ap:Image></ap:OneImage>"),
         topic("cut", text("still here") +
                          "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\">"
                          "<cor:Base64>iVBORw0KGgoAAAANSUhEUgAAAAg</cor:Base64></ap:ImageData>"
                          "</ap:Image></ap:OneImage>"),
         topic("meta",
               "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:MetafileImage\">"
               "<cor:Base64>" +
                   pngBase64() + "</cor:Base64></ap:ImageData></ap:Image></ap:OneImage>")})));
    ASSERT_TRUE(branch("ok").enclosedImage());
    EXPECT_NEAR(branch("ok").enclosedImage()->bounds().width(), 100 * kMM, 0.5);
    EXPECT_FALSE(branch("cut").enclosedImage());
    EXPECT_EQ(branch("cut").enclosedTextArea()->text().string(), QStringLiteral("still here"));
    EXPECT_FALSE(branch("meta").enclosedImage());
}

// --- the archive ---

TEST_F(MindManagerImport, ReadsMapArchivesAndTheirPictureMembers)
{
    QImage image(6, 6, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QByteArray xml = mapWithTopic(
        text("From archive") +
        subTopics(
            {topic("pic", "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\""
                          " Uri=\"mmarch://bin/pic.png\"/></ap:Image></ap:OneImage>")}));
    const QString path = filePath("map.mmap");
    writeZip(path, {{"Preview.png", png}, {"Document.xml", xml}, {"bin/pic.png", png}});
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(map(), path));
    EXPECT_EQ(root().enclosedTextArea()->text().string(), QStringLiteral("From archive"));
    ASSERT_TRUE(branch("pic").enclosedImage());
    // Nothing is unpacked: beside the archive there is only what was there.
    QStringList left = QDir(tempDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    left.removeAll(QStringLiteral("defaults.ini"));
    EXPECT_EQ(left, QStringList{QStringLiteral("map.mmap")});
    EXPECT_FALSE(QFileInfo::exists(QDir::temp().filePath(QStringLiteral("ThinkwebTemp"))));
}

TEST_F(MindManagerImport, RefusesDamagedAndHostileArchivesClearly)
{
    const QByteArray xml = mapWithTopic(text("x"));
    QByteArray big = mapWithTopic(text("x"));
    big.insert(big.indexOf("<ap:OneTopic"), QByteArray(4 * 1024 * 1024, ' '));
    const struct
    {
        const char *name;
        QList<std::pair<QString, QByteArray>> members;
        QByteArray raw;
    } cases[] = {
        {"missing", {{"Other.xml", xml}}, {}},
        {"unsafe", {{"Document.xml", xml}, {"../evil", "x"}}, {}},
        {"truncated", {{"Document.xml", xml.left(xml.size() / 2)}}, {}},
        {"garbage", {}, "PK\x03\x04 this is not a zip archive"},
    };
    for (const auto &c : cases) {
        RecordingAlerts recorded;
        Alerts::Scope scope(&recorded);
        const QString path = filePath(QStringLiteral("%1.mmap").arg(QLatin1String(c.name)));
        if (c.raw.isEmpty()) {
            writeZip(path, c.members);
        } else {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.raw);
        }
        EXPECT_FALSE(mmImpExpController::populateDadoZiz(map(), path)) << c.name;
        ASSERT_EQ(recorded.alerts().size(), 1) << c.name;
        EXPECT_TRUE(
            recorded.alerts().first().message.startsWith("Failed to load XML file: " + path))
            << c.name;
    }
    // A member whose directory entry says it inflates beyond the limit is
    // refused before a byte is inflated, with the reason.
    const QString bomb = filePath("bomb.mmap");
    writeZip(bomb, {{"Document.xml", big}});
    QString error;
    EXPECT_FALSE(MMArchiveStream::open(bomb, "Document.xml", &error, 1024 * 1024));
    EXPECT_TRUE(error.contains("Document.xml inflates to more than 1 MB")) << error.toStdString();
}

// An archive inflated ahead of the parser, on a thread of its own, reads as
// one inflated as it is read: many blocks, a parse that stops early with
// most of the member still to come, damage found midway.
TEST_F(MindManagerImport, ArchivesReadTheSameInflatedAheadOrNot)
{
    // Letters that barely compress, so that damage lands in them.
    QByteArray noise(1024 * 1024, Qt::Uninitialized);
    quint32 seed = 7;
    for (char &c : noise)
        c = char('a' + ((seed = seed * 1103515245u + 12345u) >> 16) % 26);
    const QString filler = "<!--" + QString::fromLatin1(noise) + "-->";
    const QByteArray large =
        mapXML(filler + "<ap:OneTopic><ap:Topic OId=\"root\">" + text("Large") +
               subTopics({topic("a", text("A")), topic("b", text("B"))}) +
               "</ap:Topic></ap:OneTopic>" + filler);
    const QByteArray malformed =
        mapXML("<ap:OneTopic><ap:Topic OId=\"root\"></ap:Wrong></ap:OneTopic>" + filler);
    const struct
    {
        const char *name;
        QByteArray xml;
        bool damaged;
        bool imports;
    } cases[] = {
        {"large", large, false, true},
        {"malformed", malformed, false, false},
        {"damaged", large, true, false},
    };
    for (const auto &c : cases) {
        const QString path = filePath(QStringLiteral("%1.mmap").arg(QLatin1String(c.name)));
        writeZip(path, {{"Document.xml", c.xml}});
        if (c.damaged) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
                bytes[i] = char(~bytes[i]);
            file.seek(0);
            file.write(bytes);
        }
        QStringList results;
        for (const bool ahead : {false, true}) {
            RecordingAlerts recorded;
            Alerts::Scope scope(&recorded);
            std::optional<MMMapSource> source = mmImpExpController::sourceForFile(path);
            ASSERT_TRUE(source) << c.name;
            source->readsOnAWorkerThread = ahead;
            const std::shared_ptr<TWMapsDoc> doc = freshDocument();
            TWMap &made = *doc->maps().first();
            EXPECT_EQ(mmImpExpController::populateDadoZiz(made, *source), c.imports) << c.name;
            QString result =
                recorded.alerts().isEmpty() ? QString() : recorded.alerts().first().message;
            if (c.imports)
                result += made.root()->enclosedTextArea()->text().string() +
                          QString::number(made.allBranches().size());
            results << result;
            doc->detach();
        }
        EXPECT_EQ(results[1], results[0]) << c.name;
        EXPECT_EQ(results[0].isEmpty(), false) << c.name;
        if (c.imports)
            EXPECT_EQ(results[0], QStringLiteral("Large3")) << c.name;
    }
}

TEST_F(MindManagerImport, TopicsAreFoundByIdentifierFirstInTreeOrder)
{
    ASSERT_TRUE(
        importTopic(subTopics({topic("a", subTopics({topic("twin", text("deep"))})),
                               topic("twin", text("shallow"))}),
                    "<ap:Relationships><ap:Relationship>"
                    "<ap:ConnectionGroup><ap:Connection><ap:ObjectReference OIdRef=\"root\"/>"
                    "</ap:Connection></ap:ConnectionGroup>"
                    "<ap:ConnectionGroup><ap:Connection><ap:ObjectReference OIdRef=\"twin\"/>"
                    "</ap:Connection></ap:ConnectionGroup></ap:Relationship></ap:Relationships>"));
    TWMapBranch &deep = *branch("a").children().first();
    const struct
    {
        const char *oid;
        TWGraphic *found;
    } cases[] = {
        {"root", root().mainGraphic().get()},
        {"a", branch("a").mainGraphic().get()},
        {"twin", deep.mainGraphic().get()},
        {"nowhere", nullptr},
        {"", nullptr},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mmImpExpController::mainGraphicForBranchWithOID(c.oid, &root()), c.found)
            << c.oid;
    EXPECT_FALSE(mmImpExpController::mainGraphicForBranchWithOID("a", nullptr));
    // The relationship's end is the same branch the search finds.
    ASSERT_EQ(map().countOfLinkLines(), 1);
    EXPECT_EQ(map().objectInLinkLinesAtIndex(0)->endGraphicNumber(),
              deep.mainGraphic()->graphicNumber());
}

TEST_F(MindManagerImport, EveryCutOfAMapIsRefusedWholeWithOneClearError)
{
    QFile file(QStringLiteral(THINKWEB_TEST_DATA "/mindmanager/features.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    const qsizetype end = whole.lastIndexOf("</ap:Map>");
    ASSERT_GT(end, 0);
    for (qsizetype cut = 0; cut < end; cut += end / 40) {
        RecordingAlerts recorded;
        Alerts::Scope scope(&recorded);
        const auto doc = freshDocument();
        TWMap &target = *doc->maps().first();
        const int before = int(target.allBranches().size());
        EXPECT_FALSE(mmImpExpController::populateDadoZiz(
            target, mmImpExpController::sourceForData(whole.left(cut), "cut.xml")))
            << cut;
        ASSERT_EQ(recorded.alerts().size(), 1) << cut;
        // With the parser's reason.
        EXPECT_TRUE(recorded.alerts().first().message.startsWith(
            QStringLiteral("Failed to load XML file: cut.xml (")))
            << cut << recorded.alerts().first().message.toStdString();
        // Nothing is built from a file that does not read to its end.
        EXPECT_EQ(int(target.allBranches().size()), before) << cut;
        EXPECT_EQ(target.countOfLinkLines(), 0) << cut;
    }
}

// A byte damaged anywhere, on either reading road: the map is imported, or
// refused with one message and nothing built; nothing crashes or hangs.
TEST_F(MindManagerImport, ADamagedByteImportsOrIsRefusedWithOneMessage)
{
    QFile file(QStringLiteral(THINKWEB_TEST_DATA "/mindmanager/features.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    const char damages[] = {'<', '&', '"', '>', ':', '\0', '\xff'};
    for (const char damage : damages) {
        for (qsizetype at = 0; at < whole.size(); at += whole.size() / 25) {
            QByteArray xml = whole;
            xml[at] = damage;
            for (const bool worker : {false, true}) {
                SCOPED_TRACE(testing::Message() << int(damage) << " at " << at << " " << worker);
                RecordingAlerts recorded;
                Alerts::Scope scope(&recorded);
                const auto doc = freshDocument();
                TWMap &target = *doc->maps().first();
                const int before = int(target.allBranches().size());
                MMMapSource source = mmImpExpController::sourceForData(xml, "damaged.xml");
                source.readsOnAWorkerThread = worker;
                if (mmImpExpController::populateDadoZiz(target, source)) {
                    EXPECT_GT(int(target.allBranches().size()), before);
                } else {
                    EXPECT_EQ(recorded.alerts().size(), 1);
                    EXPECT_EQ(int(target.allBranches().size()), before);
                }
                doc->detach();
            }
        }
    }
}

// A large map's labels are measured ahead while its branches are made: each
// topic's branch and label come out the size the same topic takes imported
// alone, whatever its fonts, wrapping, width or level default.
TEST_F(MindManagerImport, LabelsOfALargeMapMeasureAsATopicImportedAlone)
{
    const QString words = QStringLiteral("one two three four five six seven eight nine ten");
    const QStringList inners = {
        text(QStringLiteral("Plain")),
        QStringLiteral("<ap:Text PlainText=\"Bold start then plain\">"
                       "<ap:Font Name=\"DejaVu Sans\" Size=\"10\"/>"
                       "<ap:FontRange From=\"0\" To=\"4\" Bold=\"true\"/></ap:Text>"),
        QStringLiteral(
            "<ap:Text PlainText=\"Large serif\">"
            "<ap:Font Name=\"Liberation Serif\" Size=\"22\" Italic=\"true\"/></ap:Text>"),
        text(words),
        text(words) + "<ap:TopicLayout Width=\"20\"/>",
        text(QStringLiteral("First line&#xA;second line")),
        QString(), // the level's default text
        text(QStringLiteral("Child below")) +
            subTopics({topic("deep", text(QStringLiteral("A level down")))}),
    };
    const QString styles = QStringLiteral(
        "<ap:StyleGroup><ap:RootSubTopicDefaultsGroup Level=\"0\">"
        "<ap:DefaultText PlainText=\"Level default\"><ap:Font Name=\"DejaVu Sans\" Size=\"13\"/>"
        "</ap:DefaultText></ap:RootSubTopicDefaultsGroup></ap:StyleGroup>");
    struct Sizes
    {
        Size shape, label;
    };
    const auto importInto = [this, &styles](const QStringList &topics) {
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        TWMap &m = *doc->maps().first();
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(
            m, mmImpExpController::sourceForData(mapWithTopic(subTopics(topics), styles),
                                                 QStringLiteral("map.xml"))));
        QHash<QString, Sizes> sizes;
        QList<TWMapBranch *> open{m.root().get()};
        while (!open.isEmpty()) {
            TWMapBranch *b = open.takeLast();
            sizes.insert(b->mmOid().value_or(QString()),
                         {b->mainGraphic()->bounds().size, b->enclosedTextArea()->bounds().size});
            for (const auto &child : b->children())
                open.append(child.get());
        }
        doc->detach();
        return sizes;
    };
    // Alone first; then remembered measurements are pushed out, so that
    // the large map's labels are measured again.
    QList<QHash<QString, Sizes>> alone;
    for (int i = 0; i < inners.size(); ++i)
        alone.append(importInto({topic(QStringLiteral("t%1-0").arg(i), inners[i])}));
    for (int i = 0; i < 40; ++i)
        TWTextLayout::requiredSizeForWidth(AttributedString(QString::number(i)), 1000);
    // Every case three times over: enough to be measured ahead.
    QStringList all;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < inners.size(); ++i)
            all.append(topic(QStringLiteral("t%1-%2").arg(i).arg(round), inners[i]));
    }
    const QHash<QString, Sizes> together = importInto(all);
    ASSERT_EQ(together.size(), 1 + all.size() + 1); // "deep" thrice
    for (int i = 0; i < inners.size(); ++i) {
        const Sizes own = alone[i][QStringLiteral("t%1-0").arg(i)];
        for (int round = 0; round < 3; ++round) {
            const QString oid = QStringLiteral("t%1-%2").arg(i).arg(round);
            SCOPED_TRACE(oid.toStdString());
            ASSERT_TRUE(together.contains(oid));
            EXPECT_EQ(together[oid].shape, own.shape);
            EXPECT_EQ(together[oid].label, own.label);
        }
        if (alone[i].contains(QStringLiteral("deep"))) {
            EXPECT_EQ(together[QStringLiteral("deep")].label,
                      alone[i][QStringLiteral("deep")].label);
        }
    }
    // The cases differ, so a confused answer would show.
    EXPECT_NE(together[QStringLiteral("t0-0")].label, together[QStringLiteral("t2-0")].label);
    EXPECT_NE(together[QStringLiteral("t3-0")].label, together[QStringLiteral("t4-0")].label);
}

// Nothing that observes redrawing is asked to repaint while a map is
// imported with no view open; what the map holds afterwards, and after a
// change, is what an import watched by a view ends with.
TEST_F(MindManagerImport, AnImportNoViewWatchesEndsAsOneAViewWatches)
{
    const QString boundary =
        QStringLiteral("<ap:OneBoundary><ap:Boundary><ap:Color FillColor=\"ff00ff00\"/>"
                       "<ap:BoundaryShape BoundaryShape=\"urn:mindjet:Zigzag\" Margin=\"4\"/>"
                       "</ap:Boundary></ap:OneBoundary>");
    const QStringList maps = {
        subTopics({topic("a", text("First") + subTopics({topic("a1"), topic("a2")})),
                   topic("b", text("Second") + "<ap:SubTopicsVisibility Hidden=\"true\"/>" +
                                  subTopics({topic("b1")}))}),
        subTopics({topic("own", boundary + text("Bounded") +
                                    subTopics({topic("in1", boundary), topic("in2")})),
                   topic("plain", text("Plain"))}),
        subTopics({topic("c", text("Centre"))}) + "<ap:FloatingTopics>" +
            topic("f", text("Floating") + "<ap:Offset CX=\"30\" CY=\"-20\"/>") +
            "</ap:FloatingTopics>",
    };
    using Geometry = QMap<QString, QList<Rect>>;
    const auto importAndChange = [this](const QString &topics, bool watched) {
        std::optional<ObserverToken> view;
        if (watched)
            view = NotificationCenter::defaultCenter().observe(QString(), nullptr,
                                                               [](const Notification &) {});
        EXPECT_EQ(
            NotificationCenter::defaultCenter().isObserved(TWMapBranch::RedrawInRectNotification),
            watched);
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        TWMap &m = *doc->maps().first();
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(
            m, mmImpExpController::sourceForData(mapWithTopic(topics), QStringLiteral("map.xml"))));
        const auto geometry = [&m] {
            Geometry all;
            QList<TWMapBranch *> open{m.root().get()};
            while (!open.isEmpty()) {
                TWMapBranch *b = open.takeLast();
                QList<Rect> &rects = all[b->mmOid().value_or(QString())];
                // A drawn boundary has its path built before it is asked for.
                const bool unbuilt = b->hasBoundary() && !b->cachedBoundaryPath();
                rects << Rect(unbuilt ? 1 : 0, 0, 0, 0) << b->mainGraphic()->bounds()
                      << b->mainGraphic()->drawingBounds() << b->enclosedTextArea()->bounds()
                      << b->layoutServices().boundaryPathBounds(*b).value_or(Rect())
                      << b->branchBounds();
                if (b->connectionGraphic())
                    rects << b->connectionGraphic()->bounds()
                          << b->connectionGraphic()->drawingBounds();
                for (const auto &child : b->children())
                    open.append(child.get());
            }
            return all;
        };
        QList<Geometry> states{geometry()};
        // A change after the import: boundaries widened, the tree moved.
        QList<TWMapBranch *> open{m.root().get()};
        while (!open.isEmpty()) {
            TWMapBranch *b = open.takeLast();
            if (b->hasBoundary())
                b->setBoundaryMargin(b->boundaryMargin() + 6);
            for (const auto &child : b->children())
                open.append(child.get());
        }
        m.setBranchHideLevel(1);
        m.root()->moveBranchBy(15, -10, true);
        states << geometry();
        doc->detach();
        return states;
    };
    for (const QString &topics : maps) {
        SCOPED_TRACE(topics.toStdString());
        const QList<Geometry> watched = importAndChange(topics, true);
        const QList<Geometry> unwatched = importAndChange(topics, false);
        ASSERT_EQ(watched.size(), 2);
        EXPECT_EQ(unwatched[0], watched[0]);
        EXPECT_EQ(unwatched[1], watched[1]);
        EXPECT_NE(watched[0], watched[1]); // the change did change something
    }
}

TEST_F(MindManagerImport, ConnectionsFitTheirEndsAsImported)
{
    const QString task = QStringLiteral(
        "<ap:Task TaskPriority=\"urn:mindjet:Prio3\" TaskPercentage=\"50\" Resources=\"Ann\"/>");
    const QString icon =
        QStringLiteral("<ap:IconsGroup><ap:Icons><ap:Icon xsi:type=\"ap:StockIcon\" "
                       "IconType=\"urn:mindjet:FlagRed\"/></ap:Icons></ap:IconsGroup>");
    const QString topics = subTopics(
        {topic("right",
               text("Right of the centre") + "<ap:Offset CX=\"40\" CY=\"10\"/>" +
                   subTopics({topic("r1", text("With a task") + task),
                              topic("r2", text("With an icon") + icon +
                                              subTopics({topic("r2a", text("Deeper"))}))})),
         topic("left", text("Left") + "<ap:Offset CX=\"-40\" CY=\"-10\"/>" +
                           subTopics({topic("l1", text("A long label that is wrapped narrow") +
                                                      "<ap:TopicLayout Width=\"20\"/>"),
                                      topic("l2", "<ap:SubTopicShape "
                                                  "SubTopicShape=\"urn:mindjet:Line\"/>" +
                                                      text("As a line"))})),
         topic("plain", text("Placed by nothing"))});
    for (const char *shape : {"Rectangle", "Line", "Oval"}) {
        SCOPED_TRACE(shape);
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        TWMap &m = *doc->maps().first();
        const QByteArray xml = mapWithTopic(
            text("Centre") + topics,
            QStringLiteral("<ap:StyleGroup><ap:RootTopicDefaultsGroup>"
                           "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:%1\"/>"
                           "</ap:RootTopicDefaultsGroup></ap:StyleGroup>")
                .arg(QLatin1String(shape)));
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            m, mmImpExpController::sourceForData(xml, QStringLiteral("map.xml"))));
        int connections = 0;
        QList<TWMapBranch *> open{m.root().get()};
        while (!open.isEmpty()) {
            TWMapBranch *b = open.takeLast();
            for (const auto &child : b->children())
                open.append(child.get());
            const std::shared_ptr<TWConnectionGraphic> &line = b->connectionGraphic();
            if (!line)
                continue;
            ++connections;
            const Rect imported = line->bounds();
            line->updateBounds();
            EXPECT_EQ(imported, line->bounds()) << b->mmOid().value_or(QString()).toStdString();
        }
        EXPECT_EQ(connections, 8);
        doc->detach();
    }
}

// A task's priority, completion and resources each bring an indicator: a
// branch imported with its task has the size and place of the same branch
// imported without it and then given the task's values one after another.
TEST_F(MindManagerImport, ATaskSizesItsBranchAsItsValuesSetOneByOne)
{
    enum Part { Priority = 1, Completion = 2, Resources = 4 };
    const QString words = QStringLiteral("a label long enough to wrap over two lines or more");
    // Right and left of the centre; rectangles, lines, ovals; labels on
    // top, centred and below; wrapped labels.
    const QStringList kinds = {
        text(QStringLiteral("Plain")),
        text(QStringLiteral("A line")) + "<ap:SubTopicShape SubTopicShape=\"urn:mindjet:Line\"/>",
        text(QStringLiteral("Oval")) + "<ap:SubTopicShape SubTopicShape=\"urn:mindjet:Oval\"/>",
        text(words) + "<ap:TopicLayout Width=\"25\"/>",
        text(QStringLiteral("On top")) +
            "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextTopImageBottom\"/>",
        text(QStringLiteral("Below")) +
            "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextBelow\"/>",
    };
    const auto mapOf = [&kinds](int parts) {
        QString task;
        if (parts & Priority)
            task += " TaskPriority=\"urn:mindjet:Prio2\"";
        if (parts & Completion)
            task += " TaskPercentage=\"40\"";
        if (parts & Resources)
            task += " Resources=\"Ann, Bob; Cy\"";
        const QString inner = task.isEmpty() ? QString() : "<ap:Task" + task + "/>";
        QStringList right, left;
        for (int i = 0; i < kinds.size(); ++i) {
            right << topic(QStringLiteral("r%1").arg(i), kinds[i] + inner);
            left << topic(QStringLiteral("l%1").arg(i), kinds[i] + inner);
        }
        // The branches holding them have no task: resizing a branch later
        // would move its children.
        return subTopics(
            {topic("right", text("Right") + "<ap:Offset CX=\"40\" CY=\"10\"/>" + subTopics(right)),
             topic("left", text("Left") + "<ap:Offset CX=\"-40\" CY=\"-10\"/>" + subTopics(left))});
    };
    using Geometry = QMap<QString, QList<Rect>>;
    const auto importAndGive = [this, &mapOf](int inFile, int given) {
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        TWMap &m = *doc->maps().first();
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(
            m, mmImpExpController::sourceForData(mapWithTopic(mapOf(inFile)),
                                                 QStringLiteral("map.xml"))));
        Geometry all;
        QList<TWMapBranch *> open{m.root().get()};
        while (!open.isEmpty()) {
            TWMapBranch *b = open.takeLast();
            if (b->countOfChildren() == 0) {
                if (given & Priority)
                    b->setPriority(2);
                if (given & Completion)
                    b->setPercentageComplete(40);
                for (const QString name : {"Ann", "Bob", "Cy"}) {
                    if (!(given & Resources))
                        break;
                    auto resource = std::make_shared<TWResource>(name, b->undoManager());
                    doc->insertObjectInResourcesAtIndex(resource, int(doc->resources().size()));
                    b->insertObjectInResourcesAllocatedAtIndex(*resource->resourceIdentifier(),
                                                               int(b->resourcesAllocated().size()));
                }
            }
            QList<Rect> &rects = all[b->mmOid().value_or(QString())];
            rects << b->mainGraphic()->bounds() << b->enclosedTextArea()->bounds()
                  << b->branchBounds();
            for (const auto &record : b->otherEnclosedGraphics())
                rects << record->graphic()->bounds();
            for (const auto &child : b->children())
                open.append(child.get());
        }
        doc->detach();
        return all;
    };
    const Geometry without = importAndGive(0, 0);
    for (const int parts : {int(Priority), int(Completion), int(Resources), Priority | Completion,
                            Completion | Resources, Priority | Completion | Resources}) {
        SCOPED_TRACE(parts);
        const Geometry imported = importAndGive(parts, 0);
        const Geometry given = importAndGive(0, parts);
        ASSERT_EQ(imported.size(), 3 + 2 * kinds.size());
        EXPECT_EQ(imported, given);
        EXPECT_NE(imported, without); // the indicators took room
    }
}

// Every branch of a level, and every level a group answers for, takes the
// shape, corners and colours the nearest group at or below it gives, however
// many branches of the level come before it.
TEST_F(MindManagerImport, EveryBranchOfALevelTakesItsLevelsDefaults)
{
    const QString style = QStringLiteral(
        "<ap:StyleGroup>"
        "<ap:RootTopicDefaultsGroup><ap:DefaultColor FillColor=\"ff00ff00\"/>"
        "</ap:RootTopicDefaultsGroup>"
        "<ap:RootSubTopicDefaultsGroup Level=\"0\">"
        "<ap:DefaultColor FillColor=\"ffff0000\" LineColor=\"ff0000ff\"/>"
        "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:RoundedRectangle\"/>"
        "</ap:RootSubTopicDefaultsGroup>"
        "<ap:RootSubTopicDefaultsGroup Level=\"2\"><ap:DefaultColor FillColor=\"ff00ffff\"/>"
        "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:Hexagon\"/>"
        "</ap:RootSubTopicDefaultsGroup>"
        "<ap:RootSubTopicDefaultsGroup Level=\"4\">"
        "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:Oval\"/>"
        "</ap:RootSubTopicDefaultsGroup></ap:StyleGroup>");
    const QString ownLine = QStringLiteral("<ap:Color LineColor=\"ff123456\"/>");
    const QString deep = topic("a111", subTopics({topic("a1111"), topic("a1112")}));
    ASSERT_TRUE(importTopic(
        subTopics({topic("a", subTopics({topic("a1", subTopics({topic("a11", subTopics({deep})),
                                                                topic("a12")})),
                                         topic("a2")})),
                   topic("b", subTopics({topic("b1", ownLine + subTopics({topic("b11")}))}))}) +
            "<ap:FloatingTopics>" + topic("f", subTopics({topic("f1")})) + "</ap:FloatingTopics>",
        style));
    const Color red = Color::colorWithCalibratedRed(1, 0, 0, 1);
    const Color cyan = Color::colorWithCalibratedRed(0, 1, 1, 1);
    const Color blue = Color::colorWithCalibratedRed(0, 0, 1, 1);
    const Color own = *mmConverter::colorFromString(QStringLiteral("ff123456"));
    const struct
    {
        const char *oid;
        const char *shape;
        int corners;
        Color fill, line;
    } cases[] = {
        {"a", "TWRectangle", 1, red, blue},     {"b", "TWRectangle", 1, red, blue},
        {"f", "TWRectangle", 1, red, blue},     {"a1", "TWRectangle", 1, red, blue},
        {"a2", "TWRectangle", 1, red, blue},    {"f1", "TWRectangle", 1, red, blue},
        {"b1", "TWRectangle", 1, red, own},     {"a11", "TWRectangle", 3, cyan, blue},
        {"a12", "TWRectangle", 3, cyan, blue},  {"b11", "TWRectangle", 3, cyan, blue},
        {"a111", "TWRectangle", 3, cyan, blue}, {"a1111", "TWCircle", 0, cyan, blue},
        {"a1112", "TWCircle", 0, cyan, blue},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.oid);
        const TWGraphic &shape = *branch(c.oid).mainGraphic();
        EXPECT_EQ(shape.className(), QLatin1String(c.shape));
        EXPECT_EQ(shape.cornerMode(), c.corners);
        EXPECT_EQ(shape.fillColor(), c.fill);
        EXPECT_EQ(shape.strokeColor(), c.line);
    }
}

// A map read on a thread of its own, its elements crossing over flattened
// or copied (long texts, CDATA and comments among them), becomes the
// document one thread reading it makes: notes, pictures, icons, tasks,
// links and the parts after the topics, over many batches of what is read.
TEST_F(MindManagerImport, ReadingOnAWorkerThreadMakesTheSameDocument)
{
    const QString png = pngBase64();
    QStringList many;
    for (int i = 0; i < 150; ++i)
        many << topic(QStringLiteral("m%1").arg(i),
                      text(QStringLiteral("Many %1 &amp; more").arg(i)) +
                          "<ap:Color FillColor=\"ff102030\"/>" +
                          (i % 7 ? QString() : subTopics({topic(QStringLiteral("s%1").arg(i))})));
    const QString rich =
        "<?pi before?>" + text("Rich") +
        "<ap:NotesGroup><ap:NotesXhtmlData PreviewPlainText=\"n\"><html "
        "xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Note <b>bold</b></p><p>" +
        QStringLiteral("long words ").repeated(800) +
        "<![CDATA[x < y]]> after<!-- c --> end</p></body></html>"
        "</ap:NotesXhtmlData></ap:NotesGroup>"
        "<ap:IconsGroup><ap:Icons><ap:Icon xsi:type=\"ap:StockIcon\" "
        "IconType=\"urn:mindjet:Check\"/>"
        "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"s1\"/></ap:Icons>"
        "<ap:CustomIconImageData IconSignature=\"s1\" ImageType=\"urn:mindjet:PngImage\">"
        "<cor:Base64>" +
        png +
        "</cor:Base64></ap:CustomIconImageData></ap:IconsGroup>"
        "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\"><cor:Base64>" +
        png +
        "</cor:Base64></ap:ImageData></ap:Image></ap:OneImage>"
        "<ap:Task TaskPriority=\"urn:mindjet:Prio2\" TaskPercentage=\"25\" Resources=\"Ann\"/>"
        "<ap:Hyperlink Url=\"http://example.org/?a=1&amp;b=2\"/><x:Unknown x:a=\"1\"/>"
        "<ap:Offset CX=\"10\" CY=\"-5\"/><ap:Text PlainText=\"second text\"/>";
    const QString styleGroup = QStringLiteral(
        "<ap:StyleGroup><ap:RootTopicDefaultsGroup><ap:DefaultText PlainText=\"Central\">"
        "<ap:Font Name=\"DejaVu Sans\" Size=\"16\"/></ap:DefaultText></ap:RootTopicDefaultsGroup>"
        "<ap:RootSubTopicDefaultsGroup Level=\"0\"><ap:DefaultColor LineColor=\"ff404040\"/>"
        "</ap:RootSubTopicDefaultsGroup></ap:StyleGroup>");
    const QString relationship = QStringLiteral(
        "<ap:Relationships><ap:Relationship><ap:ConnectionGroup Index=\"0\"><ap:Connection>"
        "<ap:ObjectReference OIdRef=\"rich\"/></ap:Connection></ap:ConnectionGroup>"
        "<ap:ConnectionGroup Index=\"1\"><ap:Connection><ap:ObjectReference OIdRef=\"m3\"/>"
        "</ap:Connection></ap:ConnectionGroup></ap:Relationship></ap:Relationships>");
    QStringList declaring;
    for (int i = 0; i < 40; ++i)
        declaring << QStringLiteral("<ap:Topic OId=\"d%1\"%2>%3</ap:Topic>")
                         .arg(i)
                         .arg(QLatin1String(MMTest::kNamespaces), rich);
    const QByteArray maps[] = {
        mapWithTopic(text("Root") + subTopics(QStringList{topic("rich", rich)} + many) +
                         "<ap:FloatingTopics>" + topic("f", text("Floating")) +
                         "</ap:FloatingTopics>",
                     styleGroup + relationship),
        // The parts before the topics, a second style group passed over.
        mapXML(styleGroup + relationship + "<ap:OneTopic>" +
               topic("root", subTopics({topic("rich", rich), topic("m3")})) + "</ap:OneTopic>" +
               "<ap:StyleGroup><ap:RootTopicDefaultsGroup><ap:DefaultText PlainText=\"X\"/>"
               "</ap:RootTopicDefaultsGroup></ap:StyleGroup>"),
        // Prefixes declared on the topics, which are let go once read past:
        // the elements handed on keep their namespaces.
        mapWithTopic(text("Root") + subTopics(declaring)),
    };
    const auto imported = [this](const QByteArray &xml, bool worker) {
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        MMMapSource source = mmImpExpController::sourceForData(xml, QStringLiteral("map.xml"));
        source.readsOnAWorkerThread = worker;
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(*doc->maps().first(), source));
        // Identifiers, numbers and dates made afresh differ by nature.
        const QString contents = documentXMLWithoutFreshValues(*doc);
        const int branches = int(doc->maps().first()->allBranches().size());
        doc->detach();
        return std::pair{contents, branches};
    };
    for (const QByteArray &xml : maps) {
        const auto [alone, branches] = imported(xml, false);
        const auto [worker, workerBranches] = imported(xml, true);
        EXPECT_GE(branches, 3);
        EXPECT_EQ(workerBranches, branches);
        EXPECT_EQ(worker, alone);
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

// Elements read on the worker are flattened straight from the parse, never
// made as nodes; read on one thread they are the parser's nodes. Values with
// references, prefixes declared or not, defaults a document type declares,
// and instructions inside them read the same either way.
TEST_F(MindManagerImport, ElementsFlattenedFromTheParseReadAsTheirNodes)
{
    const QString declared =
        QStringLiteral("<!DOCTYPE ap:Map [<!ENTITY who \"World\"><!ENTITY mark \"&#38;#38;\">"
                       "<!ATTLIST ap:Text PlainText CDATA \"declared default\">]>");
    const auto withType = [&declared](const QByteArray &xml) {
        QByteArray out = xml;
        out.insert(out.indexOf("?>") + 2, declared.toUtf8());
        return out;
    };
    const QString child = topic(
        "c &amp; &#100;",
        "<ap:Text xml:lang=\"en\" q:odd=\"1\" PlainText=\"child\" Empty=\"\"><?keep this?>"
        "<ap:Font Name=\"DejaVu Sans\" Size=\"12\" xsi:nil=\"true\"/></ap:Text>"
        "<ap:Task TaskPriority=\"urn:mindjet:Prio1\" Resources=\"Ann &amp; Bob; &#x263A;\"/>");
    const struct
    {
        QByteArray xml;
        QString root;  // the root's label as read
        QString child; // the child's
        QString childOid;
    } cases[] = {
        {mapWithTopic(text("a &amp; b &#65;&#x263A; &lt;c&gt; &quot;d&quot;") + subTopics({child})),
         QStringLiteral("a & b A\u263A <c> \"d\""), QStringLiteral("child"), "c & d"},
        {withType(mapWithTopic(text("Hello &who; &mark;") + subTopics({child}))),
         QStringLiteral("Hello World &"), QStringLiteral("child"), "c & d"},
        // A default the declaration gives is not the element's own.
        {withType(mapWithTopic("<ap:Text/>" + subTopics({topic("c", "<ap:Text>&who;</ap:Text>")}))),
         QString(), QString(), "c"},
        // Elements are told apart by prefix, not by namespace.
        {mapWithTopic(
             "<ap:Text xmlns:ap=\"urn:other\" PlainText=\"elsewhere\"/>" + text("own") +
             subTopics({"<ap:Topic xmlns:y=\"urn:y\" OId=\"y\"><y:Text PlainText=\"no\"/>" +
                        text("named y") + "</ap:Topic>"})),
         QStringLiteral("elsewhere"), QStringLiteral("named y"), "y"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.xml.constData());
        QString made[2];
        for (const bool worker : {false, true}) {
            const std::shared_ptr<TWMapsDoc> doc = freshDocument();
            MMMapSource source =
                mmImpExpController::sourceForData(c.xml, QStringLiteral("map.xml"));
            source.readsOnAWorkerThread = worker;
            ASSERT_TRUE(mmImpExpController::populateDadoZiz(*doc->maps().first(), source));
            const TWMapBranch &root = *doc->maps().first()->root();
            EXPECT_EQ(root.enclosedTextArea()->text().string(), c.root) << worker;
            ASSERT_EQ(root.children().size(), 1);
            EXPECT_EQ(root.children().first()->enclosedTextArea()->text().string(), c.child)
                << worker;
            EXPECT_EQ(root.children().first()->mmOid(), c.childOid) << worker;
            made[worker] = documentXMLWithoutFreshValues(*doc);
            doc->detach();
        }
        EXPECT_EQ(made[1], made[0]);
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

// Each topic read keeps the identifier it was read with, or none, and moves
// the process's identifier counter on as a fresh object would, on either
// reading road, also when the file is refused after its topics.
TEST_F(MindManagerImport, TopicsKeepTheirIdentifiersAndMoveTheCounterOn)
{
    const QByteArray complete = mapWithTopic(
        subTopics({topic("a", text("A")), "<ap:Topic>" + text("none") + "</ap:Topic>"}) +
        "<ap:FloatingTopics>" + topic("f") + "</ap:FloatingTopics>");
    const QByteArray two = mapWithTopic(subTopics({topic("a", text("A") + "<ap:Color/>")}));
    const struct
    {
        QByteArray xml;
        bool imported;
        quint32 topics;
        QList<std::optional<QString>> children;
    } cases[] = {
        {mapWithTopic(text("alone")), true, 1, {}},
        {complete, true, 4, {QStringLiteral("a"), std::nullopt, QStringLiteral("f")}},
        {two.left(two.indexOf("<ap:Color/>")), false, 2, {}},
        // Empty, escaped and wider than ASCII, read as the attribute's text.
        {mapWithTopic(
             subTopics({topic(""), topic("x&amp;y"), topic(QStringLiteral("\u00e9t\u00e9"))})),
         true,
         4,
         {QString(""), QStringLiteral("x&y"), QStringLiteral("\u00e9t\u00e9")}},
    };
    for (const auto &c : cases) {
        for (const bool worker : {false, true}) {
            SCOPED_TRACE(c.xml.constData());
            const std::shared_ptr<TWMapsDoc> doc = freshDocument();
            MMMapSource source =
                mmImpExpController::sourceForData(c.xml, QStringLiteral("map.xml"));
            source.readsOnAWorkerThread = worker;
            const quint32 before = corObject::identifierCounter();
            RecordingAlerts recorded;
            Alerts::Scope scope(&recorded);
            EXPECT_EQ(mmImpExpController::populateDadoZiz(*doc->maps().first(), source),
                      c.imported);
            EXPECT_EQ(corObject::identifierCounter() - before, c.topics);
            if (c.imported) {
                const TWMapBranch &root = *doc->maps().first()->root();
                EXPECT_EQ(root.mmOid(), QStringLiteral("root"));
                QList<std::optional<QString>> children;
                for (const auto &child : root.children())
                    children.append(child->mmOid());
                EXPECT_EQ(children, c.children);
            }
            doc->detach();
        }
    }
}

// A text longer than libxml2's limit on a text node refuses the file,
// wherever it is: in an element handed on as nodes, in one passed over
// unread, in one flattened. A text at the limit is read.
TEST_F(MindManagerImport, ATextPastTheParsersLimitIsRefusedWherever)
{
    constexpr int Limit = 10'000'000;
    const struct
    {
        const char *before;
        int length;
        const char *after;
        bool imported;
    } cases[] = {
        {"<ap:InkGroup><ap:InkData><cor:Base64>", Limit, "</cor:Base64></ap:InkData></ap:InkGroup>",
         true},
        {"<ap:InkGroup><ap:InkData><cor:Base64>", Limit + 1,
         "</cor:Base64></ap:InkData></ap:InkGroup>", false},
        {"<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\"><cor:Base64>",
         Limit + 1, "</cor:Base64></ap:ImageData></ap:Image></ap:OneImage>", false},
        {"<ap:Text PlainText=\"t\">", Limit + 1, "</ap:Text>", false},
    };
    for (const auto &c : cases) {
        const QByteArray xml = mapWithTopic(text("a") + QLatin1String(c.before) + "%1" +
                                            QLatin1String(c.after) + subTopics({topic("c")}))
                                   .replace("%1", QByteArray(c.length, 'A'));
        for (const bool worker : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.before << c.length << " " << worker);
            RecordingAlerts recorded;
            Alerts::Scope scope(&recorded);
            auto doc = TWMapsDoc::create();
            doc->addMap(TWMap::create(doc.get()), false);
            MMMapSource source = mmImpExpController::sourceForData(xml, "long.xml");
            source.readsOnAWorkerThread = worker;
            EXPECT_EQ(mmImpExpController::populateDadoZiz(*doc->maps().first(), source),
                      c.imported);
            EXPECT_EQ(int(doc->maps().first()->allBranches().size()), c.imported ? 2 : 1);
            ASSERT_EQ(recorded.alerts().size(), c.imported ? 0 : 1);
            if (!c.imported)
                EXPECT_EQ(recorded.alerts().first().message,
                          QStringLiteral("Failed to load XML file: long.xml (a text is longer "
                                         "than %1 bytes)")
                              .arg(XML_MAX_TEXT_LENGTH));
            doc->detach();
        }
    }
}
