#include "OldDocumentWriter.h"
#include "TWMapsDocTestSupport.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWAttachedText.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWFileIO.h"
#include "model/TWHyperlink.h"
#include "model/TWMapBranch.h"
#include "support/PropertyList.h"

#include <QFile>

using namespace MapsDocTest;
using namespace OldDocument;

namespace {

class OldFormatTest : public MapsDocFixture
{
protected:
    QString write(const QVariant &plist, const QString &name = QStringLiteral("old.tweb"))
    {
        const QString path = tempDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(PropertyList::dataWithPropertyList(plist).value_or(QByteArray()));
        return path;
    }

    std::shared_ptr<TWMapsDoc> load(const QVariantMap &dictionary)
    {
        std::shared_ptr<TWMapsDoc> document =
            TWFileIO::loadDocumentFromOldStyleDictionary(dictionary);
        if (document)
            keep.push_back(document);
        return document;
    }

    ~OldFormatTest() override
    {
        for (const auto &document : keep)
            document->detach();
    }

    std::vector<std::shared_ptr<TWMapsDoc>> keep;
};

// A document of three levels: a rectangle root holding a bitmap picture, a
// flexi branch under it with a note, a link and an icon, and an oval under
// that with an attached PDF picture; a link line runs from the flexi branch
// to the oval.
QVariantMap syntheticDocument()
{
    QVariantMap oval =
        branch(graphic("TWCircle", rect(300, 300, 80, 40)), "Leaf", {{"nodeHash", "777"}});
    oval.insert(
        "linkedGraphics",
        QVariantList{graphic("TWImage", rect(400, 300, 30, 20),
                             {{"image", image({{"NSPDFImageRep", ImageTestData::pdf()}})},
                              {"internalOrdering", "-1"}}),
                     graphic("TWRectangle", rect(400, 340, 30, 20), {{"internalOrdering", "2"}})});

    QVariantMap flexi =
        branch(graphic("TWFlexiBranch", rect(200, 100, 100, 30),
                       {{"fbLeftPoint", "{200, 130}"},
                        {"fbRightPoint", "{300, 130}"},
                        {"fbIntermediate1", "{240, 120}"},
                        {"fbIntermediate2", "{260, 140}"},
                        {"fbInnerEndLeft", "{230, 130}"},
                        {"fbInnerEndRight", "{270, 130}"},
                        {"fbStraightLeft", "{220, 130}"},
                        {"fbStraightRight", "{280, 130}"},
                        {"StrokeColor", color(Color::colorWithCalibratedRed(0, 0, 1))},
                        {"StrokeLineWidth", "2.5"}}),
               "Curved", {{"nodeHash", "555"}});
    flexi.insert("children", QVariantList{oval});
    flexi.insert("longText", text("A note"));
    flexi.insert("hyperlink",
                 QVariantMap{{"Hyperlinktype", "2"}, {"HyperlinkURL", "http://example.org/"}});
    flexi.insert("otherEnclosedGraphics",
                 QVariantList{QVariantMap{{"name", "flag"},
                                          {"graphic", graphic("TWImage", rect(205, 110, 16, 16))}},
                              QVariantMap{{"name", "outlineNumberKey"},
                                          {"graphic", textArea("1", rect(1, 2, 3, 4))}}});
    flexi.insert("interBranchLinks",
                 QVariantList{graphic("InterBranchLink", rect(0, 0, 0, 0),
                                      {{"hasStartArrow", "YES"},
                                       {"endNodeHash", "777"},
                                       {"startArrowLength", "12"},
                                       {"lineColor", color(Color::colorWithCalibratedRed(1, 0, 0))},
                                       {"intermediatePoint1x", "250"},
                                       {"intermediatePoint1y", "200"}})});

    QVariantMap root = branch(graphic("TWRectangle", rect(100, 200, 120, 40),
                                      {{"image", tiffImage()},
                                       {"FillColor", color(Color::colorWithCalibratedRed(0, 1, 0))},
                                       {"DrawsFill", "YES"}}),
                              "Centre");
    root.insert("children", QVariantList{flexi});

    return {{"versionNumber", "3"},
            {"rootNode", root},
            {"graphicClassIdentifier", "4"},
            {"displayingOutlineNumbers", "NO"},
            {"orderingMode", "3"},
            {"showingLinks", "YES"},
            {"backgroundColor", color(Color::colorWithCalibratedRed(1, 1, 0))},
            {"HTMLExportSetup", QVariantMap{{"title", "Old"}}},
            {"ScreenWriterSetup",
             QVariantMap{{"isSwSceneBOPage", "no"}, {"swSceneBOPageText", "(MORE SCENE)"}}}};
}

TEST_F(OldFormatTest, SyntheticDocumentLoadsWithItsDefaultsAndPictures)
{
    QString message;
    std::shared_ptr<TWMapsDoc> document =
        TWFileIO::readDocumentFromFile(write(syntheticDocument()), &message);
    ASSERT_NE(document, nullptr) << message.toStdString();
    keep.push_back(document);

    ASSERT_EQ(document->countOfMaps(), 1);
    EXPECT_EQ(document->currentMapNumber(), 0);
    EXPECT_EQ(document->revisionNumber(), 0);
    EXPECT_TRUE(document->creator().has_value());
    EXPECT_EQ(document->graphicClassIdentifier(), 2); // old picture branches are rectangles now
    EXPECT_EQ(document->htmlSetupDictionary().value("title").toString(), "Old");

    TWMap &map = *document->currentMap();
    EXPECT_EQ(map.canvasSize(), Size(400, 600));
    EXPECT_EQ(map.orderingMode(), 3);
    EXPECT_TRUE(map.showLinkLines());
    EXPECT_EQ(map.backgroundColor(), Color::colorWithCalibratedRed(1, 1, 0));
    EXPECT_FALSE(map.defaultGraphicColor().has_value()); // cleared, none stored
    EXPECT_FALSE(map.isSwSceneBOPage());
    EXPECT_EQ(map.swSceneBOPageText(), "(MORE SCENE)");
    EXPECT_EQ(map.branchHideLevel(), 2); // the deepest level, none stored

    // The root's picture moved into a new enclosed picture.
    TWMapBranch &root = *map.root();
    ASSERT_EQ(root.mainGraphic()->className(), "TWRectangle");
    EXPECT_FALSE(root.mainGraphic()->imageFilename().has_value());
    EXPECT_EQ(root.mainGraphic()->fillColor(), Color::colorWithCalibratedRed(0, 1, 0));
    EXPECT_EQ(root.mainGraphic()->cornerAmount(), 15);
    EXPECT_EQ(root.mainGraphic()->cornerMode(), 1);
    ASSERT_NE(root.enclosedImage(), nullptr);
    EXPECT_EQ(root.enclosedImage()->className(), "TWImage");
    EXPECT_EQ(root.enclosedImageLayoutMode(), 0);
    const QString tiffPath = QStringLiteral("Images/Graphic%1/ExtractedImage.tiff")
                                 .arg(root.mainGraphic()->graphicNumber());
    EXPECT_EQ(root.enclosedImage()->imageFilename(), tiffPath);
    const std::optional<QByteArray> tiff = document->objectForKeyInCachedData(tiffPath);
    ASSERT_TRUE(tiff.has_value());
    EXPECT_TRUE(tiff->startsWith("II*") || tiff->startsWith("MM"));
    EXPECT_EQ(root.enclosedTextArea()->text().string(), "Centre");

    // The flexi branch keeps its curve and gets a title connection.
    ASSERT_EQ(root.countOfChildren(), 1);
    TWMapBranch &curved = *root.children().first();
    auto *flexi = dynamic_cast<TWFlexiBranch *>(curved.mainGraphic().get());
    ASSERT_NE(flexi, nullptr);
    EXPECT_EQ(flexi->intermediate1(), Point(240, 120));
    EXPECT_EQ(flexi->strokeWidth(), 2.5f);
    EXPECT_EQ(flexi->strokeColor(), Color::colorWithCalibratedRed(0, 0, 1));
    EXPECT_EQ(curved.branchNumber(), 555);
    auto *title = dynamic_cast<TWTitleConnection *>(curved.connectionGraphic().get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->connectedGraphic(), curved.mainGraphic());
    EXPECT_EQ(title->childArrowLength(), 20);
    EXPECT_TRUE(title->drawsStroke());
    EXPECT_EQ(curved.enclosedTextArea()->text().string(), "Curved");
    EXPECT_EQ(curved.enclosedTextArea()->font(), Font("Helvetica", 12));
    ASSERT_EQ(curved.countOfAttachedTextArray(), 1);
    EXPECT_EQ(curved.attachedTextArray().first()->text()->string(), "A note");
    EXPECT_FALSE(curved.attachedTextArray().first()->category().has_value());
    ASSERT_EQ(curved.countOfHyperlinks(), 1);
    EXPECT_EQ(curved.hyperlinks().first()->linkType(), TWHyperlink::URL);
    EXPECT_EQ(curved.hyperlinks().first()->linkURL(), "http://example.org/");
    // The stored outline-number label goes while the map hides the numbers
    // (numbering makes its own).
    const auto records = curved.otherEnclosedGraphics();
    const auto flag = std::find_if(records.cbegin(), records.cend(),
                                   [](const auto &r) { return r->name() == "flag"; });
    ASSERT_NE(flag, records.cend());
    EXPECT_EQ((*flag)->path(), QString());
    EXPECT_EQ((*flag)->graphic()->className(), "TWImage");
    for (const auto &record : records)
        EXPECT_NE(record->graphic()->bounds(), Rect(1, 2, 3, 4));
    // Settings the old format lacks take fixed values.
    EXPECT_EQ(curved.boundaryCurveRadius(), 10);
    EXPECT_EQ(curved.overriddenChildRepel(), -1.0f);
    EXPECT_EQ(curved.boundaryLineColor(), Color::blackColor());

    // The oval under it: a child connection, and its attached pictures
    // highest ordering first, the PDF one kept with its graphic.
    ASSERT_EQ(curved.countOfChildren(), 1);
    TWMapBranch &leaf = *curved.children().first();
    auto *connection = dynamic_cast<TWChildConnection *>(leaf.connectionGraphic().get());
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->parentGraphic(), curved.mainGraphic());
    EXPECT_EQ(connection->childGraphic(), leaf.mainGraphic());
    EXPECT_FALSE(connection->drawsFill());
    ASSERT_EQ(leaf.countOfLinkedGraphics(), 2);
    EXPECT_EQ(leaf.linkedGraphics()[0]->internalOrdering(), 2);
    const TWGraphic &picture = *leaf.linkedGraphics()[1];
    const QString pdfPath =
        QStringLiteral("Images/Graphic%1/ExtractedImage.pdf").arg(picture.graphicNumber());
    EXPECT_EQ(picture.imageFilename(), pdfPath);
    EXPECT_EQ(document->objectForKeyInCachedData(pdfPath), ImageTestData::pdf());

    // The link line's ends, stored as branch numbers, are the two shapes now.
    ASSERT_EQ(map.countOfLinkLines(), 1);
    const TWLinkLine &line = *map.linkLines().first();
    EXPECT_EQ(line.startGraphic(), curved.mainGraphic());
    EXPECT_EQ(line.endGraphic(), leaf.mainGraphic());
    EXPECT_EQ(line.startGraphicNumber(), curved.mainGraphic()->graphicNumber());
    EXPECT_EQ(line.startArrowStyle(), TWLinkLine::ArrowHead);
    EXPECT_EQ(line.endArrowStyle(), TWLinkLine::NoArrow);
    EXPECT_EQ(line.startArrowLength(), 12);
    EXPECT_EQ(line.strokeColor(), Color::colorWithCalibratedRed(1, 0, 0));
    // The control point read follows its ends as the shapes fit their texts.
    EXPECT_NEAR(line.intermediatePoint1().x, 250, 50);
    EXPECT_NEAR(line.intermediatePoint1().y, 200, 50);

    // Saved, it is a package of the current format: revision 1, pictures kept.
    const QString saved = tempDir.filePath("saved.tweb");
    ASSERT_EQ(TWFileIO::saveDocument(*document, saved), TWFileIO::SaveSucceeded);
    int error = -1;
    std::shared_ptr<TWMapsDoc> again = TWFileIO::loadDocumentFromFile(saved, false, &error);
    ASSERT_NE(again, nullptr);
    keep.push_back(again);
    EXPECT_EQ(again->revisionNumber(), 1);
    EXPECT_EQ(again->creator(), document->creator());
    EXPECT_EQ(again->objectForKeyInCachedData(tiffPath), tiff);
    EXPECT_EQ(again->objectForKeyInCachedData(pdfPath), ImageTestData::pdf());
    EXPECT_EQ(again->currentMap()->countOfLinkLines(), 1);
    EXPECT_NE(again->currentMap()->linkLines().first()->endGraphic(), nullptr);
}

TEST_F(OldFormatTest, DocumentsThatCannotBeReadGiveTheReadersError)
{
    const QVariantMap good = syntheticDocument();
    QVariantMap newer = good;
    newer.insert("versionNumber", "4");
    QVariantMap noRoot = good;
    noRoot.remove("rootNode");
    QVariantMap shapeless = good;
    shapeless.insert("rootNode",
                     QVariantMap{{"enclosedTextArea", textArea("x", rect(0, 0, 9, 9))}});
    QVariantMap rootIsText = good;
    rootIsText.insert("rootNode", "a text");

    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString message;
    };
    auto plist = [](const QVariant &v) { return PropertyList::dataWithPropertyList(v).value(); };
    const QString Refused = "The file is damaged: Thinkweb cannot read a document from it.";
    const QString NotADocument = "The file is damaged or is not a Thinkweb document.";
    const Case cases[] = {
        {"newer version", plist(newer), Refused},
        {"no root", plist(noRoot), Refused},
        {"root without shape", plist(shapeless), Refused},
        {"root not a dictionary", plist(rootIsText), Refused},
        {"an array", plist(QVariantList{good}), NotADocument},
        {"no property list", "<<< not a document", NotADocument},
        {"an empty file", "", NotADocument},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = tempDir.filePath("bad.tweb");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        QString message;
        EXPECT_EQ(TWFileIO::readDocumentFromFile(path, &message), nullptr);
        EXPECT_EQ(message, c.message);
    }
    // A file that is not there is not called damaged.
    QString message;
    EXPECT_EQ(TWFileIO::readDocumentFromFile(tempDir.filePath("gone.tweb"), &message), nullptr);
    EXPECT_TRUE(message.startsWith("The file cannot be read: ")) << message.toStdString();
}

TEST_F(OldFormatTest, BranchAndGraphicKeysTakeTheirDefaults)
{
    // A child without a shape is left out; one without nodeHash still gets
    // a number; an empty note adds none; booleans are exactly "YES".
    QVariantMap shapeless{{"enclosedTextArea", textArea("lost", rect(0, 0, 9, 9))}};
    QVariantMap plain = branch(graphic("TWRectangle", rect(300, 50, 60, 30),
                                       {{"rectRoundedCorners", "NO"},
                                        {"rectRadius", "4"},
                                        {"DrawsStroke", "yes"},
                                        {"flippedVertically", "YES"}}),
                               "Plain", {{"longText", text("")}, {"nodeChildrenHidden", "YES"}});
    QVariantMap bent =
        branch(graphic("TWFlexiBranch", rect(300, 150, 80, 20),
                       {{"fbLeftPoint", "{1, 2}"}, {"Bounds", "{{1e999, 150}, {80, 20}}"}}),
               "Bent");
    QVariantMap lines = branch(graphic("TWLine", rect(300, 250, 80, 20)), "Lines");
    lines.insert("interBranchLinks",
                 QVariantList{graphic("InterBranchLink", rect(0, 0, 0, 0),
                                      {{"hasStartArrow", "NO"}, {"endNodeHash", "123456"}})});
    QVariantMap root = branch(graphic("TWRectangle", rect(100, 100, 100, 40)), "Root");
    root.insert("children", QVariantList{shapeless, plain, bent, lines});

    std::shared_ptr<TWMapsDoc> document = load({{"rootNode", root},
                                                {"canvasWidth", "900"},
                                                {"canvasHeight", 700},
                                                {"zoomAmount", "150"},
                                                {"branchHideLevel", "1"},
                                                {"displayingOutlineNumbers", "YES"}});
    ASSERT_NE(document, nullptr);
    TWMap &map = *document->currentMap();
    EXPECT_EQ(map.canvasSize(), Size(900, 700));
    EXPECT_EQ(map.zoomAmount(), 150);
    EXPECT_EQ(map.branchHideLevel(), 1);
    EXPECT_TRUE(map.showOutlineNumbers());
    ASSERT_EQ(map.root()->countOfChildren(), 3);

    const TWMapBranch *byText[3] = {};
    for (const auto &child : map.root()->children()) {
        const QString label = child->enclosedTextArea()->text().string();
        byText[label == "Plain" ? 0 : label == "Bent" ? 1 : 2] = child.get();
    }
    ASSERT_TRUE(byText[0] && byText[1] && byText[2]);

    const TWMapBranch &p = *byText[0];
    EXPECT_NE(p.branchNumber(), 0);
    EXPECT_EQ(p.countOfAttachedTextArray(), 0);
    EXPECT_TRUE(p.childrenHidden());
    EXPECT_EQ(p.mainGraphic()->cornerMode(), 0);
    EXPECT_EQ(p.mainGraphic()->cornerAmount(), 4);
    EXPECT_FALSE(p.mainGraphic()->drawsStroke());
    EXPECT_TRUE(p.mainGraphic()->flippedVertically());
    EXPECT_FALSE(p.mainGraphic()->drawsShadow());
    EXPECT_TRUE(p.mainGraphic()->inheritsShadow());

    // One point missing: every point from the bounds. A number that is no
    // number is not taken as a coordinate.
    auto *flexi = dynamic_cast<TWFlexiBranch *>(byText[1]->mainGraphic().get());
    ASSERT_NE(flexi, nullptr);
    EXPECT_TRUE(std::isfinite(flexi->bounds().x()));
    EXPECT_EQ(flexi->leftPoint().y, flexi->bounds().maxY());
    EXPECT_NE(flexi->leftPoint(), Point(1, 2));

    // An end naming no branch becomes graphic number 0 and stays unresolved.
    ASSERT_EQ(map.countOfLinkLines(), 1);
    const TWLinkLine &line = *map.linkLines().first();
    EXPECT_EQ(line.startGraphic(), byText[2]->mainGraphic());
    EXPECT_EQ(line.endGraphicNumber(), 0);
    EXPECT_EQ(line.endGraphic(), nullptr);
    EXPECT_EQ(line.startArrowStyle(), TWLinkLine::NoArrow);
}

TEST_F(OldFormatTest, LoadingIsAnnouncedBranchByBranch)
{
    EventLog log;
    NotificationRecorder recorder(
        log, {TWMapsDoc::StartLoadingCountNotification, TWMapsDoc::IncrementLoadingNotification,
              TWMapsDoc::FinishLoadingNotification, TWMapsDoc::BranchHideLevelChangedNotification});
    ASSERT_NE(load(syntheticDocument()), nullptr);
    const QList<Notification> start = recorder.named(TWMapsDoc::StartLoadingCountNotification);
    ASSERT_EQ(start.size(), 1);
    EXPECT_EQ(start.first().userInfo.value(TWMapsDoc::CountKey).toLongLong(), 3);
    const QList<Notification> increments = recorder.named(TWMapsDoc::IncrementLoadingNotification);
    ASSERT_EQ(increments.size(), 3);
    EXPECT_EQ(increments.first().userInfo.value(TWMapBranch::LoadingTextKey).toString(), "Centre");
    EXPECT_EQ(recorder.named(TWMapsDoc::FinishLoadingNotification).size(), 1);
    EXPECT_EQ(log.events.last(), TWMapsDoc::BranchHideLevelChangedNotification);

    // A refused map still ends the announcements it began.
    recorder.clear();
    QVariantMap newer = syntheticDocument();
    newer.insert("versionNumber", 4);
    TWFileIO::loadDocumentFromOldStyleDictionary(newer);
    EXPECT_EQ(recorder.named(TWMapsDoc::FinishLoadingNotification).size(), 0); // refused first
    QVariantMap rootless = syntheticDocument();
    rootless.remove("rootNode");
    EXPECT_EQ(TWFileIO::loadDocumentFromOldStyleDictionary(rootless), nullptr);
    EXPECT_EQ(recorder.named(TWMapsDoc::StartLoadingCountNotification).size(), 1);
    EXPECT_EQ(recorder.named(TWMapsDoc::FinishLoadingNotification).size(), 1);
}

TEST_F(OldFormatTest, DamagedArchivesLoseOnlyTheirValue)
{
    QVariantMap root = branch(graphic("TWRectangle", rect(100, 100, 100, 40),
                                      {{"FillColor", QByteArray("\x04\x0bstreamtyped\x81\xe8", 16)},
                                       {"image", QByteArray("not an archive")}}),
                              "Root", {{"longText", color(Color::blackColor())}});
    std::shared_ptr<TWMapsDoc> document = load({{"rootNode", root}});
    ASSERT_NE(document, nullptr);
    const TWMapBranch &b = *document->currentMap()->root();
    EXPECT_FALSE(b.mainGraphic()->fillColor().has_value());
    EXPECT_EQ(b.enclosedImage(), nullptr);
    EXPECT_EQ(b.countOfAttachedTextArray(), 0); // a colour is no note
    EXPECT_EQ(b.enclosedTextArea()->text().string(), "Root");
}

TEST_F(OldFormatTest, EPSPictureStaysWithItsAttachedGraphic)
{
    QVariantMap root = branch(graphic("TWRectangle", rect(100, 100, 100, 40)), "Root");
    root.insert(
        "linkedGraphics",
        QVariantList{graphic("TWImage", rect(10, 10, 20, 20),
                             {{"image", image({{"NSEPSImageRep", ImageTestData::eps()}})}})});
    std::shared_ptr<TWMapsDoc> document = load({{"rootNode", root}});
    ASSERT_NE(document, nullptr);
    const TWMapBranch &b = *document->currentMap()->root();
    EXPECT_EQ(b.enclosedImage(), nullptr);
    ASSERT_EQ(b.countOfLinkedGraphics(), 1);
    const TWGraphic &g = *b.linkedGraphics().first();
    const QString path =
        QStringLiteral("Images/Graphic%1/ExtractedImage.eps").arg(g.graphicNumber());
    EXPECT_EQ(g.imageFilename(), path);
    EXPECT_EQ(document->objectForKeyInCachedData(path), ImageTestData::eps());
}

} // namespace

TEST_F(OldFormatTest, EveryBranchOpenedIsSavedSoThatItReadsBack)
{
    const QVariantMap below =
        branch(graphic("TWRectangle", rect(500, 50, 60, 30)), "Below", {{"nodeHash", "3"}});
    QVariantMap unlabelled = branch(graphic("TWRectangle", rect(300, 50, 60, 30)), "",
                                    {{"nodeHash", "2"}, {"children", QVariantList{below}}});
    unlabelled.remove("enclosedTextArea");
    const QVariantMap unknownShape = branch(graphic("TWHexagon", rect(300, 50, 60, 30)), "Odd",
                                            {{"nodeHash", "2"}, {"children", QVariantList{below}}});
    QVariantMap shapeless = unknownShape;
    shapeless.remove("mainGraphic");
    struct Case
    {
        const char *name;
        QVariantMap child;
        QStringList branches; // "number label", in tree order
        int mended;
        int leftOut;
    };
    const Case cases[] = {
        // The old format let a branch go without a label; a document file never does.
        {"child without a label", unlabelled, {"1 Centre", "2 ", "3 Below"}, 0, 0},
        {"child whose shape is of an unknown kind", unknownShape, {"1 Centre", "2 Odd", "3 Below"},
         1, 0},
        {"child without a shape", shapeless, {"1 Centre"}, 0, 2},
    };
    const auto branchesOf = [](const TWMapsDoc &document) {
        QStringList branches;
        for (const auto &b : document.currentMap()->allBranches())
            branches.append(QStringLiteral("%1 %2").arg(b->branchNumber()).arg(
                b->enclosedTextArea() ? b->enclosedTextArea()->text().string() : "(none)"));
        return branches;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVariantMap root =
            branch(graphic("TWRectangle", rect(100, 200, 120, 40)), "Centre",
                   {{"nodeHash", "1"}, {"children", QVariantList{c.child}}});
        QString message;
        std::shared_ptr<TWMapsDoc> document;
        {
            WarningCapture quiet;
            const TWBranchReadDamage damage;
            document = TWFileIO::readDocumentFromFile(
                write(QVariantMap{{"versionNumber", "3"}, {"rootNode", root}}), &message);
            EXPECT_EQ(damage.mended(), c.mended);
            EXPECT_EQ(damage.leftOut(), c.leftOut);
        }
        ASSERT_NE(document, nullptr) << message.toStdString();
        keep.push_back(document);
        EXPECT_EQ(branchesOf(*document), c.branches);

        const QString saved = tempDir.filePath("resaved.tweb");
        ASSERT_EQ(document->saveToFile(saved), TWFileIO::SaveSucceeded);
        WarningCapture warnings;
        const TWBranchReadDamage damage;
        std::shared_ptr<TWMapsDoc> again = TWFileIO::readDocumentFromFile(saved, &message);
        ASSERT_NE(again, nullptr) << message.toStdString();
        keep.push_back(again);
        EXPECT_EQ(branchesOf(*again), c.branches);
        EXPECT_EQ(damage.mended() + damage.leftOut(), 0);
        EXPECT_TRUE(warnings.lines().filter("Could not find class").isEmpty())
            << warnings.lines().join('\n').toStdString();
    }
}

// A shape of an unknown kind stands where it was stored or, stored with no
// width or no height, around its label.
TEST_F(OldFormatTest, AShapeThatCannotBeReadStandsWhereItWasOrAroundItsLabel)
{
    const Rect label(305, 55, 50, 15);
    const struct
    {
        const char *what;
        QString bounds;
        bool placed;
    } cases[] = {
        {"a usable place", rect(300, 50, 60, 30), true},
        {"no width", rect(300, 50, 0, 30), false},
        {"no height", rect(300, 50, 60, 0), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QVariantMap odd =
            branch(graphic("TWHexagon", c.bounds), "Odd",
                   {{"nodeHash", "2"},
                    {"enclosedTextArea", textArea("Odd", rect(label.x(), label.y(),
                                                              label.width(), label.height()))}});
        const QVariantMap root = branch(graphic("TWRectangle", rect(100, 200, 120, 40)), "Centre",
                                        {{"nodeHash", "1"}, {"children", QVariantList{odd}}});
        QString message;
        WarningCapture quiet;
        const auto document = TWFileIO::readDocumentFromFile(
            write(QVariantMap{{"versionNumber", "3"}, {"rootNode", root}}), &message);
        ASSERT_NE(document, nullptr) << message.toStdString();
        keep.push_back(document);
        const auto &children = document->currentMap()->root()->children();
        ASSERT_EQ(children.size(), 1);
        const Rect shape = children.first()->mainGraphic()->bounds();
        if (c.placed) {
            EXPECT_EQ(shape, Rect(300, 50, 60, 30));
        } else {
            EXPECT_TRUE(shape.contains(label)) << shape.toString().toStdString();
            EXPECT_GT(shape.height(), 0);
        }
    }
}
