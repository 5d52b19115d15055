#include "TWMapTestSupport.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWAttachedText.h"
#include "model/TWFileIO.h"
#include "model/TWHyperlink.h"
#include "model/TWResource.h"
#include "model/TWTrackedChange.h"
#include "support/ContentsXMLReader.h"
#include "support/XMLStreamWriter.h"

#include <functional>

using namespace BranchTest;
using MapsDocTest::branchElement;
using MapsDocTest::withoutGraphicNumbers;

namespace {

class TWMapBranchElementTest : public BranchFixture
{
protected:
    std::shared_ptr<TWMapBranch> read(const QByteArray &xml, TWMapBranch *parent = nullptr)
    {
        const XMLElement element = XMLElement::parse(xml);
        return TWMapBranch::initWithXMLNode(element.node(), element.doc(), parent, map.get());
    }
    std::shared_ptr<TWMapBranch> readStreamed(const QByteArray &xml, TWMapBranch *parent = nullptr)
    {
        qint64 at = 0;
        ContentsXMLReader reader([&](char *data, qint64 max) {
            const qint64 n = std::min(max, xml.size() - at);
            memcpy(data, xml.constData() + at, size_t(n));
            at += n;
            return n;
        });
        EXPECT_TRUE(reader.readRootElement());
        return TWMapBranch::createWithXMLReader(reader, parent, map.get());
    }
    static QByteArray treeText(TWMapBranch &branch)
    {
        XMLElement holder = XMLElement::create("XMLObj");
        branch.addXmlDataToNode(holder.node(), false);
        return holder.elements().at(0).xmlString() + "\n";
    }
    static QByteArray streamText(TWMapBranch &branch)
    {
        QByteArray text;
        XMLStreamWriter writer([&text](const char *data, qint64 size) {
            text.append(data, size);
            return true;
        });
        EXPECT_TRUE(branch.writeXML(writer));
        EXPECT_TRUE(writer.writeEndDocument());
        return text;
    }
};

using Check = std::function<void(const TWMapBranch &)>;

TEST_F(TWMapBranchElementTest, MissingChildrenTakeTheReadersDefaults)
{
    const auto b = read(branchElement(4));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->branchNumber(), 4);
    EXPECT_FALSE(b->textMaxWidthSet());
    EXPECT_EQ(b->ownTextMaxWidth(), 50);
    EXPECT_FALSE(b->childrenHidden());
    EXPECT_EQ(b->screenWriterText(), QString());
    EXPECT_TRUE(b->printScreenWriterText());
    EXPECT_EQ(b->textRelativePosition(), 2);
    EXPECT_TRUE(b->expandedInOutlineView());
    EXPECT_FALSE(b->hasBoundary());
    EXPECT_FALSE(b->boundaryLineColor() || b->boundaryFillColor());
    EXPECT_EQ(b->boundaryLineStyle(), 1);
    EXPECT_EQ(b->boundaryLineWidth(), 1.0f);
    EXPECT_EQ(b->boundaryCurveRadius(), 15);
    EXPECT_EQ(b->boundaryCornerStyle(), 1);
    EXPECT_EQ(b->boundaryMargin(), 3);
    EXPECT_TRUE(b->boundaryInheritsLineColor());
    EXPECT_FALSE(b->boundaryDrawsFill());
    EXPECT_TRUE(b->boundaryDrawsLine());
    EXPECT_EQ(b->overriddenChildRepel(), -1);
    EXPECT_EQ(b->overriddenChildSpacing(), -1);
    EXPECT_EQ(b->overriddenChildrenColorMode(), -1);
    EXPECT_FALSE(b->overridesRainbowAngle());
    EXPECT_EQ(b->overriddenRainbowAngle(), 0);
    EXPECT_FALSE(b->hideChildrenOutlineNumbers() || b->resetChildrenOutlineNumbers());
    EXPECT_EQ(b->childrenConnectionStyle(), 4);
    EXPECT_EQ(b->childrenConnectionSide(), 1);
    EXPECT_TRUE(b->showCheckBox());
    EXPECT_EQ(b->checkBoxState(), 0);
    EXPECT_EQ(b->priority(), 1);
    EXPECT_FALSE(b->startDate() || b->endDate());
    EXPECT_EQ(b->percentageComplete(), -1);
    EXPECT_EQ(b->duration(), 0);
    EXPECT_EQ(b->durationUnits(), 3);
    EXPECT_EQ(b->textDistanceFromLeftEnd() + b->textDistanceFromRightEnd(), 0);
    EXPECT_FALSE(b->needsMakeNaturalSize());
    EXPECT_EQ(b->screenWriterSelectedRange(), TWMapBranch::Range());
    EXPECT_EQ(b->enclosedImageLayoutMode() + b->soundFileReferenceMethod(), 0);
    EXPECT_FALSE(b->enclosedImage() || b->soundFileName() || b->connectionGraphic());
    EXPECT_TRUE(b->attachedTextArray().isEmpty() && b->hyperlinks().isEmpty() &&
                b->trackedChanges().isEmpty() && b->resourcesAllocated().isEmpty() &&
                b->childrenOutlineNumberFormatOverride().isEmpty() && b->children().isEmpty());
    EXPECT_EQ(b->map(), map.get());
}

TEST_F(TWMapBranchElementTest, TextFormsOfSingleChildren)
{
    struct Case
    {
        const char *child;
        Check check;
    };
    const Case cases[] = {
        {"<needsMakeNaturalSize>true</needsMakeNaturalSize>",
         [](const TWMapBranch &b) { EXPECT_TRUE(b.needsMakeNaturalSize()); }},
        {"<needsMakeNaturalSize>Yes</needsMakeNaturalSize>",
         [](const TWMapBranch &b) { EXPECT_TRUE(b.needsMakeNaturalSize()); }},
        {"<needsMakeNaturalSize>1</needsMakeNaturalSize>",
         [](const TWMapBranch &b) { EXPECT_FALSE(b.needsMakeNaturalSize()); }},
        {"<childrenHidden>yes</childrenHidden>",
         [](const TWMapBranch &b) { EXPECT_FALSE(b.childrenHidden()); }},
        {"<printScreenWriterText>NO</printScreenWriterText>",
         [](const TWMapBranch &b) { EXPECT_FALSE(b.printScreenWriterText()); }},
        {"<priority>7 of 9</priority>", [](const TWMapBranch &b) { EXPECT_EQ(b.priority(), 7); }},
        {"<priority>high</priority>", [](const TWMapBranch &b) { EXPECT_EQ(b.priority(), 0); }},
        // An empty element reads as a missing one.
        {"<priority/>", [](const TWMapBranch &b) { EXPECT_EQ(b.priority(), 1); }},
        {"<boundaryLineStyle>3</boundaryLineStyle>",
         [](const TWMapBranch &b) {
             EXPECT_EQ(b.boundaryLineStyle(), 3);
             EXPECT_EQ(b.boundaryLineWidth(), 1.0f);
         }},
        {"<textMaxWidth>12.1234567</textMaxWidth>",
         [](const TWMapBranch &b) { EXPECT_FLOAT_EQ(b.ownTextMaxWidth(), 12.1234567f); }},
        {"<screenWriterSelectedRange><location>5.000000</location><length>12.000000</length>"
         "</screenWriterSelectedRange>",
         [](const TWMapBranch &b) {
             EXPECT_EQ(b.screenWriterSelectedRange(), (TWMapBranch::Range{5, 12}));
         }},
        {"<screenWriterSelectedRange><location>-3</location><length>99999999999</length>"
         "</screenWriterSelectedRange>",
         [](const TWMapBranch &b) {
             EXPECT_EQ(b.screenWriterSelectedRange(), (TWMapBranch::Range{0, 0xFFFFFFFFu}));
         }},
        {"<boundaryLineColor><NSColor><redComponent>1</redComponent></NSColor>"
         "</boundaryLineColor><boundaryFillColor/>",
         [](const TWMapBranch &b) {
             ASSERT_TRUE(b.boundaryLineColor());
             EXPECT_EQ(b.boundaryLineColor()->redComponent(), 1);
             EXPECT_FALSE(b.boundaryFillColor());
         }},
        {"<resourcesAllocated><string>R-1</string><other/><string>R-2</string>"
         "</resourcesAllocated>",
         [](const TWMapBranch &b) {
             EXPECT_EQ(b.resourcesAllocated(), (QStringList{"R-1", "R-2"}));
         }},
        // The first of two counts; unknown children are passed over.
        {"<duration>2</duration><futureChild><duration>9</duration></futureChild>"
         "<duration>5</duration>",
         [](const TWMapBranch &b) { EXPECT_EQ(b.duration(), 2); }},
        // A root has no connection, whatever the file says.
        {"<connectionGraphic><TWGraphic><class>TWChildConnection</class>"
         "<graphicNumber>5</graphicNumber></TWGraphic></connectionGraphic>",
         [](const TWMapBranch &b) { EXPECT_EQ(b.connectionGraphic(), nullptr); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.child);
        const auto branch = read(branchElement(1, c.child));
        ASSERT_NE(branch, nullptr);
        c.check(*branch);
    }
}

TEST_F(TWMapBranchElementTest, RequiredChildrenAreCheckedInTheirOrder)
{
    const QByteArray shape = "<mainGraphic><TWGraphic><class>TWRectangle</class>"
                             "<graphicNumber>1</graphicNumber></TWGraphic></mainGraphic>";
    const QByteArray text = "<enclosedTextArea><TWGraphic><class>TWTextArea</class>"
                            "<graphicNumber>2</graphicNumber></TWGraphic></enclosedTextArea>";
    const QByteArray number = "<branchNumber>3</branchNumber>";
    struct Case
    {
        QByteArray children;
        const char *log; // null: nothing said
        bool built;
        int increments;
    };
    const Case cases[] = {
        {text + number, "No Main graphic on this branch", false, 0},
        {shape + number, "No text area defined for branch", false, 0},
        {shape + text, "No branch number defined for branch", false, 1},
        {number + text + shape, nullptr, true, 1}, // any order
        // Present but unreadable: replaced, so that the branch keeps its
        // place and what is below it, and is saved so that it reads back.
        {"<mainGraphic><TWGraphic><class>NoSuchShape</class></TWGraphic></mainGraphic>" + text +
             number,
         "Could not find class named NoSuchShape - aborting load of graphic!", true, 1},
        {shape +
             "<enclosedTextArea><TWGraphic><class>TWRectangle</class>"
             "<graphicNumber>2</graphicNumber></TWGraphic></enclosedTextArea>" +
             number,
         "The label of a branch is a TWRectangle - replaced by an empty one", true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.children.constData());
        Recorder recorder({TWMapsDoc::IncrementLoadingNotification});
        MapsDocTest::WarningCapture warnings;
        const auto branch = read("<TWMapBranch>" + c.children + "</TWMapBranch>");
        EXPECT_EQ(branch != nullptr, c.built);
        if (c.log) {
            EXPECT_EQ(warnings.lines().count(QString::fromLatin1(c.log)), 1)
                << warnings.lines().join('\n').toStdString();
        }
        if (branch) {
            EXPECT_TRUE(branch->mainGraphic());
            EXPECT_TRUE(branch->enclosedTextArea());
        }
        EXPECT_EQ(recorder.notifications.size(), c.increments);
    }
}

TEST_F(TWMapBranchElementTest, ChildrenKeepTheirOrderAndGetTheirConnections)
{
    const QByteArray rootShape = "<mainGraphic><TWGraphic><class>TWRectangle</class>"
                                 "<bounds><x>10</x><y>20</y><width>100</width><height>40</height>"
                                 "</bounds><graphicNumber>1</graphicNumber></TWGraphic>"
                                 "</mainGraphic>";
    // No text area and no number: left out.
    const QByteArray broken = "<TWMapBranch><mainGraphic><TWGraphic><class>TWLine</class>"
                              "<graphicNumber>9</graphicNumber></TWGraphic></mainGraphic>"
                              "</TWMapBranch>";
    // The children come before the branch's own shape, which they need.
    const QByteArray xml =
        "<TWMapBranch><children>" +
        branchElement(2, "<children>" + branchElement(5) + "</children>") + broken +
        branchElement(3) + "</children>" + rootShape +
        "<enclosedTextArea><TWGraphic><class>TWTextArea</class><graphicNumber>2</graphicNumber>"
        "</TWGraphic></enclosedTextArea><branchNumber>1</branchNumber></TWMapBranch>";
    Recorder recorder({TWMapsDoc::IncrementLoadingNotification});
    for (const bool streamed : {false, true}) {
        SCOPED_TRACE(streamed ? "stream" : "tree");
        const auto b = streamed ? readStreamed(xml) : read(xml);
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(b->countOfChildren(), 2);
        EXPECT_EQ(b->children().at(0)->branchNumber(), 2);
        EXPECT_EQ(b->children().at(1)->branchNumber(), 3);
        EXPECT_EQ(b->children().at(0)->parent(), b.get());
        auto *title =
            dynamic_cast<TWTitleConnection *>(b->children().at(1)->connectionGraphic().get());
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->position(), Point(60, 40));
        const auto &grandchild = b->children().at(0)->children().at(0);
        EXPECT_NE(dynamic_cast<TWChildConnection *>(grandchild->connectionGraphic().get()),
                  nullptr);
        EXPECT_EQ(grandchild->connectionGraphic()->branch(), grandchild.get());
    }
}

TEST_F(TWMapBranchElementTest, WrittenAndReadBackKeepsEveryValue)
{
    auto b = child(root, 100, "Full");
    auto grandchild = child(b, 200, "Inner");
    b->setTextMaxWidthSet(true);
    b->setTextMaxWidth(123.25f);
    b->setChildrenHidden(true);
    b->setScreenWriterText("INT. HOUSE & <garden>");
    b->setPrintScreenWriterText(false);
    b->setTextRelativePosition(3);
    b->setHasBoundary(true);
    b->setBoundaryLineColor(Color::colorWithCalibratedRed(0.1, 0.2, 0.3, 1));
    b->setBoundaryFillColor(std::nullopt);
    b->setBoundaryLineWidth(2.5f);
    b->setOverriddenChildRepel(7);
    b->setOverriddenChildrenColorMode(2);
    b->setOverridesRainbowAngle(true);
    b->setOverriddenRainbowAngle(45);
    b->setChildrenOutlineNumberFormatOverride({"Roman", "Alpha"});
    b->setChildrenConnectionStyle(2);
    b->setShowCheckBox(false);
    b->setCheckBoxState(-1);
    b->setPriority(4);
    b->setStartDate(
        CalendarDate::dateWithYear(2020, 1, 2, 3, 4, 5, *TimeZone::timeZoneWithName("UTC")));
    b->setPercentageComplete(40);
    b->setResourcesAllocated({"R-1"});
    b->setDuration(2.5f);
    b->setDurationUnits(5);
    b->setSoundFileName(QStringLiteral("Sounds/Branch1/bell.aiff"));
    b->setScreenWriterSelectedRange({5, 12});
    b->setNeedsMakeNaturalSize(true);
    b->insertObjectInHyperlinksAtIndex(
        std::make_shared<TWHyperlink>(2, QStringLiteral("https://example.org/?a=1&b=2"),
                                      std::nullopt, std::nullopt, std::nullopt),
        0);
    auto note = std::make_shared<TWAttachedText>(QStringLiteral("Notes"), nullptr);
    note->setText(std::make_shared<const AttributedString>(QStringLiteral("a note")));
    b->insertObjectInAttachedTextArrayAtIndex(note, 0);
    b->insertObjectInTrackedChangesAtIndex(
        std::make_shared<TWTrackedChange>(
            TWPerson(QStringLiteral("Ann"), std::nullopt, std::nullopt, std::nullopt, std::nullopt),
            std::nullopt, AttributedString(QStringLiteral("moved"))),
        0);
    b->insertObjectInLinkedGraphicsAtIndex(TWGraphic::make<TWCircle>(Rect(1, 2, 3, 4)), 0);

    const QByteArray text = treeText(*b);
    // The stream writer writes the tree form byte for byte.
    EXPECT_EQ(streamText(*b), text);
    for (const bool streamed : {false, true}) {
        SCOPED_TRACE(streamed ? "stream" : "tree");
        Recorder recorder({TWMapsDoc::IncrementLoadingNotification});
        const auto again = streamed ? readStreamed(text, root.get()) : read(text, root.get());
        ASSERT_NE(again, nullptr);
        // One announcement a branch, each before its children's.
        ASSERT_EQ(recorder.notifications.size(), 2);
        EXPECT_EQ(recorder.notifications.at(0).userInfo.value(TWMapBranch::LoadingTextKey), "Full");
        EXPECT_EQ(recorder.notifications.at(1).userInfo.value(TWMapBranch::LoadingTextKey),
                  "Inner");
        EXPECT_EQ(withoutGraphicNumbers(treeText(*again)), withoutGraphicNumbers(text));
        EXPECT_EQ(again->screenWriterSelectedRange(), (TWMapBranch::Range{5, 12}));
        EXPECT_EQ(again->hyperlinks().at(0)->linkURL(), "https://example.org/?a=1&b=2");
        EXPECT_EQ(again->attachedTextArray().at(0)->text()->string(), "a note");
        EXPECT_EQ(again->children().at(0)->enclosedTextArea()->text().string(), "Inner");
        EXPECT_EQ(again->linkedGraphics().at(0)->branch(), again.get());
        EXPECT_EQ(again->linkedGraphics().at(0)->originalGraphicNumber(),
                  b->linkedGraphics().at(0)->graphicNumber());
    }
    EXPECT_TRUE(
        text.contains("<screenWriterText>INT. HOUSE &amp; &lt;garden&gt;</screenWriterText>"));
    EXPECT_TRUE(text.contains("<location>5.000000</location>"));
    EXPECT_EQ(text.count("<boundaryFillColor>"), 1); // the inner branch's only
    (void)grandchild;
}

TEST_F(TWMapBranchElementTest, ACopiedMapHoldsACopyOfTheTree)
{
    auto first = child(root, 100, "First");
    auto deep = first;
    for (int level = 0; level < 1000; ++level)
        deep = child(deep, 100, QStringLiteral("L%1").arg(level));
    auto second = child(root, 300, "Second");
    map->insertObjectInSelectedGraphicsAtIndex(second->mainGraphic(), 0);

    const std::shared_ptr<TWMap> copy = map->copy();
    ASSERT_NE(copy->root(), nullptr);
    EXPECT_NE(copy->root(), map->root());
    EXPECT_EQ(copy->root()->map(), copy.get());
    EXPECT_EQ(copy->allBranches().size(), map->allBranches().size());
    ASSERT_EQ(copy->root()->countOfChildren(), 2);
    const auto &copiedSecond = copy->root()->children().at(1);
    EXPECT_EQ(copiedSecond->branchNumber(), second->branchNumber());
    EXPECT_EQ(copiedSecond->enclosedTextArea()->text().string(), "Second");
    ASSERT_EQ(copy->countOfSelectedGraphics(), 1);
    EXPECT_EQ(copy->selectedGraphics().at(0), copiedSecond->mainGraphic());
    // The copy's connections refer to the copy's graphics.
    const auto *title = dynamic_cast<TWTitleConnection *>(copiedSecond->connectionGraphic().get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->branch(), copiedSecond.get());
}

TEST_F(TWMapBranchElementTest, LinkLinesWhoseEndsAreMissingStay)
{
    const XMLElement element = XMLElement::parse(
        "<TWMap><root>" + branchElement(1) +
        "</root><linkLines><linkLine><TWGraphic><class>TWLinkLine</class>"
        "<graphicNumber>90</graphicNumber><startGraphicNumber>11</startGraphicNumber>"
        "<endGraphicNumber>777</endGraphicNumber></TWGraphic></linkLine>"
        "<linkLine><TWGraphic><class>TWLinkLine</class><graphicNumber>91</graphicNumber>"
        "</TWGraphic></linkLine></linkLines></TWMap>");
    const auto loaded =
        TWMap::createWithXMLElement(element, document.get(), TWMap::Identifier::KeepStored);
    ASSERT_NE(loaded, nullptr);
    // The second has no ends at all and is refused; the first keeps its numbers.
    ASSERT_EQ(loaded->countOfLinkLines(), 1);
    const auto &line = loaded->linkLines().at(0);
    EXPECT_EQ(line->endGraphicNumber(), 777);
    EXPECT_FALSE(line->hitTest(Point(0, 0), false));
    const XMLElement fresh = loaded->freshXMLElementEmbeddingBinaryData(false);
    EXPECT_EQ(fresh.elementsForName(u"linkLines").size(), 1);
    EXPECT_EQ(fresh.elementForPath(u"linkLines/linkLine/TWGraphic/endGraphicNumber").stringValue(),
              "777");
}

TEST_F(TWMapBranchElementTest, AMapWhoseRootCannotBeBuiltKeepsItsDefaultRoot)
{
    for (const QByteArray &root :
         {QByteArray("<root><TWMapBranch><branchNumber>1</branchNumber></TWMapBranch></root>"),
          QByteArray("<root/>"), QByteArray()}) {
        SCOPED_TRACE(root.constData());
        MapsDocTest::WarningCapture warnings;
        const auto loaded =
            TWMap::createWithXMLElement(XMLElement::parse("<TWMap>" + root + "</TWMap>"),
                                        document.get(), TWMap::Identifier::KeepStored);
        ASSERT_NE(loaded, nullptr);
        ASSERT_NE(loaded->root(), nullptr);
        EXPECT_EQ(loaded->root()->map(), loaded.get());
        EXPECT_NE(loaded->root()->enclosedTextArea(), nullptr);
        EXPECT_TRUE(warnings.contains("There are no maps in this document"));
    }
}

// A branch of the given shape class with the children a file may hold.
QByteArray handBranch(int number, const char *shape, const QByteArray &more = {})
{
    const QByteArray n = QByteArray::number(number);
    return "<TWMapBranch><branchNumber>" + n + "</branchNumber><mainGraphic><TWGraphic><class>" +
           shape + "</class><bounds><x>" + n +
           "0</x><y>5</y><width>80</width><height>30</height>"
           "</bounds><graphicNumber>" +
           n +
           "1</graphicNumber></TWGraphic></mainGraphic>"
           "<enclosedTextArea><TWGraphic><class>TWTextArea</class><graphicNumber>" +
           n + "2</graphicNumber><text><NSAttributedString><string>" + shape +
           " &amp; co</string></NSAttributedString></text></TWGraphic></enclosedTextArea>" + more +
           "</TWMapBranch>";
}

TEST_F(TWMapBranchElementTest, AHandWrittenDocumentLoadsSavesAndLoadsAgainEqual)
{
    const QByteArray task =
        "<priority>2</priority><percentageComplete>25.5</percentageComplete>"
        "<duration>3</duration><durationUnits>4</durationUnits>"
        "<resourcesAllocated><string>R-1</string></resourcesAllocated>"
        "<startDate><NSCalendarDate><year>2021</year><month>5</month><day>6</day><hour>7</hour>"
        "<minute>8</minute><second>9</second><timeZone>UTC</timeZone></NSCalendarDate></startDate>";
    const QByteArray note =
        "<attachedTextArray><item><TWAttachedText><text><NSAttributedString>"
        "<string>a note</string></NSAttributedString></text>"
        "<category>Notes</category></TWAttachedText></item></attachedTextArray>";
    const QByteArray link = "<hyperlinks><hyperlink><TWHyperlink><linkType>2</linkType>"
                            "<linkURL>https://example.org/</linkURL></TWHyperlink></hyperlink>"
                            "</hyperlinks>";
    const QByteArray deep = handBranch(
        5, "TWFlexiBranch",
        "<children>" +
            handBranch(6, "TWCloud",
                       "<children>" + handBranch(7, "TWCustomBranchShape") + "</children>") +
            "</children>");
    const QByteArray map1 =
        "<map><TWMap><identifier>HAND-1</identifier><futureMapChild>f</futureMapChild><root>" +
        handBranch(
            1, "TWRectangle",
            "<children>" + handBranch(2, "TWLine", note) + handBranch(3, "TWCircle", link + task) +
                handBranch(4, "TWImage", "<children>" + deep + "</children>") + "</children>") +
        "</root><linkLines><linkLine><TWGraphic><class>TWLinkLine</class><graphicNumber>99"
        "</graphicNumber><startGraphicNumber>21</startGraphicNumber><endGraphicNumber>71"
        "</endGraphicNumber></TWGraphic></linkLine></linkLines><laterMapChild/></TWMap></map>";
    const QByteArray map2 = "<map><TWMap><identifier>HAND-2</identifier><root>" +
                            handBranch(8, "TWRectangle") + "</root></TWMap></map>";
    const QByteArray contents =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TWMapsDoc><futureDocChild>x</futureDocChild>"
        "<maps>" +
        map1 + map2 +
        "</maps><currentMapNumber>0</currentMapNumber>"
        "<resources><resource><TWResource><resourceIdentifier>R-1</resourceIdentifier>"
        "<resourceName>Dan</resourceName></TWResource></resource></resources></TWMapsDoc>";
    const QString path = tempDir.filePath("hand.tweb");
    ASSERT_EQ(TWFileIO::savePackage(QVariantMap{{TWMapsDoc::ContentsPath, contents},
                                                {"Thinkweb/fileVersion.txt", "4.1"}},
                                    path),
              TWFileIO::SaveSucceeded);
    int error = -1;
    auto loaded = TWMapsDoc::loadFromFile(path, false, &error);
    ASSERT_NE(loaded, nullptr) << error;
    ASSERT_EQ(loaded->countOfMaps(), 2);
    const auto first = loaded->maps().at(0);
    EXPECT_EQ(first->allBranches().size(), 7);
    const auto &branches = first->root()->children();
    ASSERT_EQ(branches.size(), 3);
    EXPECT_EQ(branches[0]->attachedTextArray().at(0)->text()->string(), "a note");
    EXPECT_EQ(branches[1]->hyperlinks().at(0)->linkURL(), "https://example.org/");
    EXPECT_EQ(branches[1]->priority(), 2);
    EXPECT_EQ(branches[1]->percentageComplete(), 25.5f);
    EXPECT_EQ(branches[1]->startDate()->yearOfCommonEra(), 2021);
    EXPECT_EQ(branches[1]->resourcesAllocated(), QStringList{"R-1"});
    EXPECT_EQ(branches[2]->mainGraphic()->className(), "TWImage");
    EXPECT_EQ(branches[0]->enclosedTextArea()->text().string(), "TWLine & co");
    ASSERT_EQ(first->countOfLinkLines(), 1);
    EXPECT_EQ(first->linkLines().at(0)->startGraphicNumber(),
              branches[0]->mainGraphic()->graphicNumber());

    // The first save appends what the file did not have; from then on the
    // text holds still.
    loaded->xmlDocumentData();
    const QByteArray saved = loaded->xmlDocumentData();
    EXPECT_EQ(loaded->xmlDocumentData(), saved);
    for (const char *kept : {"<futureDocChild>x</futureDocChild>",
                             "<futureMapChild>f</futureMapChild>", "<laterMapChild/>"})
        EXPECT_TRUE(saved.contains(kept)) << kept;
    auto again = TWMapsDoc::createWithDictionary(
        PackageData{{TWMapsDoc::ContentsPath, saved}, {"Thinkweb/fileVersion.txt", "4.1"}}, false);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(withoutGraphicNumbers(again->xmlDocumentData()), withoutGraphicNumbers(saved));
}

TEST_F(TWMapBranchElementTest, ADocumentOfEveryKindLoadsSavesAndLoadsAgainEqual)
{
    // Every branch type, notes, links, task data, resources, a link line and
    // children this version does not know, in two maps.
    const std::shared_ptr<TWGraphic> shapes[] = {
        TWGraphic::make<TWLine>(Rect(500, 0, 80, 30)),
        TWGraphic::make<TWRectangle>(Rect(500, 50, 80, 30)),
        TWGraphic::make<TWCircle>(Rect(500, 100, 80, 30)),
        TWGraphic::make<TWImage>(Rect(500, 150, 80, 30)),
        TWGraphic::make<TWFlexiBranch>(Rect(500, 200, 80, 30)),
        TWGraphic::make<TWCloud>(Rect(500, 250, 80, 30)),
        TWGraphic::make<TWCustomBranchShape>(Rect(500, 300, 80, 30)),
    };
    TWMapBranch *parent = root.get();
    QList<std::shared_ptr<TWMapBranch>> made;
    for (const auto &shape : shapes) {
        auto branch = TWMapBranch::createWithGraphic(shape, parent, map.get());
        branch->enclosedTextArea()->setString(shape->className());
        made.append(branch);
        parent = branch.get();
    }
    made[1]->setPriority(3);
    made[1]->setPercentageComplete(50);
    made[2]->insertObjectInHyperlinksAtIndex(std::make_shared<TWHyperlink>(2), 0);
    made[3]->setPrimaryAttachedText(
        std::make_shared<const AttributedString>(QStringLiteral("note")));
    auto resource = std::make_shared<TWResource>();
    resource->setResourceName("Dan");
    document->addResource(resource);
    made[4]->allocateResource(resource);
    auto line = TWGraphic::make<TWLinkLine>();
    line->connect(made[0]->mainGraphic(), made[6]->mainGraphic());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    document->addMap(TWMap::create(document.get()), false);
    XMLElement documentElement = document->liveXMLElement();
    documentElement.appendChildElement(u"futureDocChild").setStringValue("d");
    XMLElement mapElement = map->liveXMLElement();
    mapElement.appendChildElement(u"futureMapChild").setStringValue("m");

    // Empty texts read back as none; leave them out of the comparison.
    document->setCreator(std::nullopt);
    document->setOrganization(std::nullopt);
    const QString path = tempDir.filePath("every.tweb");
    ASSERT_EQ(document->saveToFile(path), TWFileIO::SaveSucceeded);
    const QByteArray saved = document->xmlDocumentData();
    int error = -1;
    auto loaded = TWMapsDoc::loadFromFile(path, false, &error);
    ASSERT_NE(loaded, nullptr) << error;
    const QByteArray once = loaded->xmlDocumentData();
    EXPECT_EQ(loaded->xmlDocumentData(), once); // saving twice: the same text
    EXPECT_EQ(withoutGraphicNumbers(once), withoutGraphicNumbers(saved));
    ASSERT_EQ(loaded->countOfMaps(), 2);
    const auto loadedMap = loaded->maps().at(0);
    ASSERT_EQ(loadedMap->countOfLinkLines(), 1);
    EXPECT_EQ(loadedMap->allBranches().size(), 8);
    const auto &line2 = loadedMap->linkLines().at(0);
    EXPECT_EQ(line2->startGraphicNumber(),
              loadedMap->allBranches().at(1)->mainGraphic()->graphicNumber());
    int level = 0;
    for (auto b = loadedMap->root()->children().value(0); b; b = b->children().value(0))
        EXPECT_EQ(b->mainGraphic()->className(), shapes[level++]->className());
    EXPECT_EQ(level, 7);
    EXPECT_TRUE(once.contains("<futureDocChild>d</futureDocChild>"));
    EXPECT_TRUE(once.contains("<futureMapChild>m</futureMapChild>"));
}

} // namespace
