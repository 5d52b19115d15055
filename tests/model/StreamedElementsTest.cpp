// Every element a save writes comes out of the stream exactly as libxml2
// prints the tree the same writer builds: graphics of each kind, the values
// inside them, branches (deeper than the printer indents) and whole maps of
// the documents kept with the tests.
#include "StreamedMapText.h"
#include "TWMapTestSupport.h"

#include "../../bench/GeneratedMap.h"

#include "graphics/TWCheckBox.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWScribble.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/PackageArchive.h"
#include "model/TWAttachedText.h"
#include "model/TWFileIO.h"
#include "model/TWHyperlink.h"
#include "model/TWTrackedChange.h"
#include "support/BezierPath.h"
#include "support/ParagraphStyle.h"
#include "support/TWWinFont.h"
#include "support/TextAttachment.h"
#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <functional>

using namespace MapTest;

namespace {

using Write = std::function<void(XMLOut &)>;

// What the tree route gives: the elements appended below a holder, printed
// by libxml2.
QByteArray treeText(const Write &write, bool indented = true)
{
    XMLElement holder = XMLElement::create("holder");
    XMLNodeOut out(holder.node());
    write(out);
    return StreamedMapText::printed(holder, indented) + "\n";
}

QByteArray streamText(const Write &write, bool indented)
{
    QByteArray text;
    XMLStreamWriter writer([&text](const char *data, qint64 size) {
        text.append(data, qsizetype(size));
        return true;
    });
    writer.setIndented(indented);
    writer.writeStartElement(u"holder");
    XMLStreamOut out(writer);
    write(out);
    EXPECT_TRUE(writer.writeEndDocument());
    return text;
}

// In both layouts.
void expectSameText(const Write &write)
{
    for (const bool indented : {true, false}) {
        const QByteArray tree = treeText(write, indented);
        const QByteArray stream = streamText(write, indented);
        EXPECT_TRUE(stream == tree) << (indented ? "indented " : "compact ")
                                    << StreamedMapText::firstDifference(stream, tree);
    }
}

AttributedString richText()
{
    // Characters the writer escapes, one it leaves out, a line feed and a
    // carriage return, and runs of every kind of value it writes.
    AttributedString text(QStringLiteral("R&D <plan> \"x\" \u00e9\r\nnext\u0001 end"));
    const qsizetype n = text.length();
    ParagraphStyle style;
    style.alignment = 2;
    style.tabStops = {TextTab(0, 28), TextTab(2, 56.5)};
    text.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style), {0, n});
    text.addAttribute(NSFontAttributeName,
                      QVariant::fromValue(Font(QStringLiteral("Helvetica"), 12)), {0, 4});
    text.addAttribute(TWWinFontAttributeName,
                      QVariant::fromValue(TWWinFont(QStringLiteral("Arial"), 10, true, false)),
                      {4, 3});
    text.addAttribute(NSForegroundColorAttributeName,
                      QVariant::fromValue(Color::colorWithCalibratedRed(0.25, 0.5, 1, 0.75)),
                      {2, 6});
    text.addAttribute(NSLinkAttributeName, QStringLiteral("https://example.org/?a=1&b=2"), {8, 4});
    text.addAttribute(NSUnderlineStyleAttributeName, 1, {0, 2});
    text.addAttribute(NSKernAttributeName, 1.5, {3, 2});
    text.addAttribute(NSToolTipAttributeName, QString(), {5, 1});
    text.addAttribute(
        NSShadowAttributeName,
        QVariant::fromValue(Shadow(Size(2, -3), 4, Color::colorWithCalibratedRed(0, 0, 0, 0.5))),
        {6, 2});
    text.addAttribute(
        NSAttachmentAttributeName,
        QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::regularFile("bytes"))),
        {n - 1, 1});
    return text;
}

BezierPath curvedPath()
{
    BezierPath path;
    path.moveToPoint(Point(1, 2));
    path.lineToPoint(Point(30.5f, -4));
    path.curveToPoint(Point(9, 9), Point(3, 4), Point(5, 6));
    path.closePath();
    path.setLineDash({4, 2.5f}, 1);
    return path;
}

// Every setting of the base element, on a graphic of any kind.
std::shared_ptr<TWGraphic> dressed(std::shared_ptr<TWGraphic> graphic)
{
    graphic->setBounds(Rect(-12.5f, 3, 120.25f, 40));
    graphic->setStrokeColor(Color::colorWithCalibratedRed(1, 0, 0, 1));
    graphic->setFillColor(Color::colorWithCalibratedRed(0.1, 0.2, 0.3, 0.4));
    graphic->setShadow(Shadow(Size(5, -5), 3, std::nullopt));
    graphic->setStyleID(QStringLiteral("style <1>"));
    graphic->setMoviePath(QStringLiteral("Movies/a&b.mov"));
    graphic->setShapeName(QStringLiteral("Oval"));
    graphic->setCornerMode(1);
    graphic->setLinkBackData(QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}});
    graphic->setLinkBackItemKey(QString());
    return graphic;
}

class StreamedElementsTest : public MapFixture
{
protected:
    // A child of `parent` with every item a branch writes.
    std::shared_ptr<TWMapBranch> fullBranch(const std::shared_ptr<TWMap> &map,
                                            const std::shared_ptr<TWMapBranch> &parent);
};

TEST_F(StreamedElementsTest, EveryValueStreamsAsItsTreePrints)
{
    ParagraphStyle tabs;
    tabs.tabStops = {TextTab(1, 10)};
    const struct
    {
        const char *name;
        Write write;
    } cases[] = {
        {"color", [](XMLOut &out) { Color::colorWithCalibratedRed(0.5, 1, 0, 1).writeXml(out); }},
        {"shadow without colour",
         [](XMLOut &out) { Shadow(Size(1, 2), 3, std::nullopt).writeXml(out); }},
        {"font", [](XMLOut &out) { Font(QStringLiteral("Times & Co"), 9.5).writeXml(out); }},
        {"paragraph style, default tabs", [](XMLOut &out) { ParagraphStyle().writeXml(out); }},
        {"paragraph style, own tabs", [&tabs](XMLOut &out) { tabs.writeXml(out); }},
        {"path", [](XMLOut &out) { curvedPath().writeXml(out); }},
        {"empty path", [](XMLOut &out) { BezierPath().writeXml(out); }},
        {"empty text", [](XMLOut &out) { AttributedString().writeXml(out); }},
        {"rich text", [](XMLOut &out) { richText().writeXml(out); }},
        {"texts: null, empty, cleaned",
         [](XMLOut &out) {
             out.textElement("null", QString());
             out.textElement("empty", QStringLiteral(""));
             out.textElement("onlyDropped", QStringLiteral("\u0002"));
             out.emptyElement("wrapper");
         }},
        {"numbers",
         [](XMLOut &out) {
             out.realElement("huge", 1e300);
             out.realElement("negative", -0.0000004);
             out.realElement("infinite", std::numeric_limits<double>::infinity());
             out.realElement("nan", std::nan(""));
             out.integerElement("least", std::numeric_limits<long long>::min());
             out.boolElement("no", false);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        expectSameText(c.write);
    }
}

TEST_F(StreamedElementsTest, EveryGraphicKindStreamsAsItsTreePrints)
{
    auto map = addMap();
    auto branch = this->branch(map, map->root(), QStringLiteral("Kinds"));
    auto label = TWGraphic::make<TWTextArea>(Rect(0, 0, 50, 20));
    label->setText(richText());
    auto link = TWGraphic::make<TWLinkLine>(Rect(0, 0, 10, 10));
    link->setLabel(AttributedString(QStringLiteral("because")));
    link->setIntermediatePoint1(Point(3.25f, -8));
    auto child = TWGraphic::make<TWChildConnection>(Rect(1, 1, 5, 5));
    child->setLabel(AttributedString(QStringLiteral("to child")));
    auto title = TWGraphic::make<TWTitleConnection>(Rect(1, 1, 5, 5));
    auto check = TWGraphic::make<TWCheckBox>(Rect(0, 0, 12, 12));
    check->setThreeState(true);
    check->setState(-1);
    auto scribble = TWGraphic::make<TWScribble>(Rect(0, 0, 40, 40));
    scribble->insertObjectInPathsAtIndex(
        {Color::colorWithCalibratedRed(0, 1, 0, 1), std::make_shared<BezierPath>(curvedPath())}, 0);
    scribble->insertObjectInPathsAtIndex({std::nullopt, nullptr}, 1);
    auto flexi = TWGraphic::make<TWFlexiBranch>(Rect(0, 0, 90, 30));
    flexi->initializePoints();
    auto picture = TWGraphic::make<TWImage>(Rect(0, 0, 64, 48));
    picture->setImageFilename(QStringLiteral("Images/photo.png"));
    const std::shared_ptr<TWGraphic> kinds[] = {
        TWGraphic::createWithBounds(Rect(0, 0, 10, 10)),
        TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10)),
        TWGraphic::make<TWCircle>(Rect(0, 0, 10, 10)),
        TWGraphic::make<TWCloud>(Rect(0, 0, 10, 10)),
        TWGraphic::make<TWLine>(Rect(0, 0, 10, 10)),
        TWGraphic::make<TWCustomBranchShape>(Rect(0, 0, 10, 10)),
        label,
        link,
        child,
        title,
        check,
        scribble,
        flexi,
        picture};
    for (const std::shared_ptr<TWGraphic> &kind : kinds) {
        SCOPED_TRACE(kind->className().toStdString());
        kind->setPrimitiveBranch(branch.get());
        for (const bool embed : {false, true}) {
            expectSameText([&](XMLOut &out) { kind->writeXml(out, embed); });
            expectSameText([&](XMLOut &out) { dressed(kind)->writeXml(out, embed); });
        }
        // Graphics held by a branch travel in an enclosing element.
        expectSameText([&](XMLOut &out) {
            TWEnclosedGraphic(QStringLiteral("n"), QStringLiteral("p"), kind).writeXml(out);
        });
    }
}

std::shared_ptr<TWMapBranch>
StreamedElementsTest::fullBranch(const std::shared_ptr<TWMap> &map,
                                 const std::shared_ptr<TWMapBranch> &parent)
{
    auto full = branch(map, parent, QStringLiteral("Full & <more>"));
    full->setHasBoundary(true);
    full->setBoundaryLineColor(Color::colorWithCalibratedRed(0.1, 0.2, 0.3, 1));
    full->setScreenWriterText(QStringLiteral("INT. \r\nHOUSE"));
    full->setChildrenOutlineNumberFormatOverride({QStringLiteral("Roman"), QString()});
    full->setResourcesAllocated({QStringLiteral("R&D")});
    full->setStartDate(
        CalendarDate::dateWithYear(2020, 1, 2, 3, 4, 5, *TimeZone::timeZoneWithName("UTC")));
    full->setSoundFileName(QStringLiteral("Sounds/bell.aiff"));
    full->insertObjectInHyperlinksAtIndex(
        std::make_shared<TWHyperlink>(2, QStringLiteral("https://example.org/?a=1&b=2"),
                                      std::nullopt, std::nullopt, std::nullopt),
        0);
    auto note = std::make_shared<TWAttachedText>(QStringLiteral("Notes"), nullptr);
    note->setText(std::make_shared<const AttributedString>(richText()));
    full->insertObjectInAttachedTextArrayAtIndex(note, 0);
    full->insertObjectInTrackedChangesAtIndex(
        std::make_shared<TWTrackedChange>(
            TWPerson(QStringLiteral("Ann"), std::nullopt, std::nullopt, std::nullopt, std::nullopt),
            std::nullopt, AttributedString(QStringLiteral("moved"))),
        0);
    full->insertObjectInLinkedGraphicsAtIndex(TWGraphic::make<TWCircle>(Rect(1, 2, 3, 4)), 0);
    return full;
}

TEST_F(StreamedElementsTest, BranchesStreamAsTheirTreePrintsAtAnyDepth)
{
    auto map = addMap();
    auto full = fullBranch(map, map->root());
    // Past the thirty levels libxml2 indents.
    auto deepest = full;
    for (int level = 0; level < 40; ++level)
        deepest = branch(map, deepest, QStringLiteral("level %1").arg(level));
    for (const bool embed : {false, true}) {
        SCOPED_TRACE(embed ? "embedding" : "not embedding");
        expectSameText([&](XMLOut &out) { map->root()->writeXml(out, embed); });
        // The branch's own entry points agree with the element writer.
        XMLElement holder = XMLElement::create("holder");
        ASSERT_NE(full->addXmlDataToNode(holder.node(), embed), nullptr);
        EXPECT_EQ(treeText([&](XMLOut &out) { full->writeXml(out, embed); }),
                  holder.xmlString() + "\n");
    }
}

// A large tree is written in pieces on several threads: how writing ended,
// and the text and its fingerprint of a write that succeeded, are those of
// the tree written whole, however the pieces fall.
TEST_F(StreamedElementsTest, ATreeWrittenInPiecesIsTheTreeWrittenWhole)
{
    const TWMapBranch::TextPieces usual = TWMapBranch::textPieces();
    const auto restore = qScopeGuard([usual] { TWMapBranch::textPieces() = usual; });
    auto map = addMap();
    auto deepest = fullBranch(map, map->root());
    for (int level = 0; level < 40; ++level)
        deepest = branch(map, level % 7 ? deepest : fullBranch(map, deepest),
                         QStringLiteral("level %1").arg(level));
    for (int i = 0; i < 30; ++i) {
        auto fan = branch(map, map->root(), QStringLiteral("fan %1").arg(i));
        for (int j = 0; j < i % 4; ++j)
            branch(map, fan, QStringLiteral("leaf %1.%2").arg(i).arg(j));
    }
    // Deeper than a document may nest: written in pieces, it fails as whole.
    auto tooDeep = addMap();
    auto chain = tooDeep->root();
    for (int level = 0; level < XMLDetail::maxElementDepth / 2; ++level)
        chain = branch(tooDeep, chain, QStringLiteral("%1").arg(level));

    struct Written
    {
        QByteArray text, drawnFrom;
        bool ok = false, tooDeep = false;
    };
    const auto written = [](TWMap &m, TWMapBranch::TextPieces pieces, bool indented) {
        TWMapBranch::textPieces() = pieces;
        Written w;
        XMLStreamWriter writer([&w](const char *data, qint64 size) {
            w.text.append(data, qsizetype(size));
            return true;
        });
        writer.setIndented(indented);
        writer.writeStartDocument();
        w.ok = m.writeXML(writer, &w.drawnFrom);
        writer.writeEndDocument();
        w.tooDeep = writer.tooDeep();
        return w;
    };
    for (const auto &[m, indented] : {std::pair{map, true}, {map, false}, {tooDeep, true}}) {
        SCOPED_TRACE(indented ? "indented" : "compact");
        const Written whole = written(*m, {INT_MAX, 1}, indented);
        EXPECT_EQ(whole.ok, m == map);
        EXPECT_EQ(whole.tooDeep, m == tooDeep);
        for (const TWMapBranch::TextPieces pieces :
             {TWMapBranch::TextPieces{1, 1}, {1, 3}, {2, 50}, {1, INT_MAX}}) {
            SCOPED_TRACE(testing::Message() << "pieces of " << pieces.branchesInPiece);
            const Written inPieces = written(*m, pieces, indented);
            EXPECT_EQ(inPieces.ok, whole.ok);
            EXPECT_EQ(inPieces.tooDeep, whole.tooDeep);
            // What a failed write handed on is thrown away.
            if (!whole.ok)
                continue;
            EXPECT_TRUE(inPieces.text == whole.text)
                << StreamedMapText::firstDifference(inPieces.text, whole.text);
            EXPECT_EQ(inPieces.drawnFrom, whole.drawnFrom);
        }
    }
}

TEST_F(StreamedElementsTest, DocumentsOfTheTestsStreamAsTheirTreesPrint)
{
    StreamedMapText::forEachDamagedDocument([](const std::shared_ptr<TWMapsDoc> &opened) {
        ASSERT_GT(opened->countOfMaps(), 0);
        StreamedMapText::expectMapsStreamAsTheirTreesPrint(*opened);
        opened->detach();
    });
}

// A saved document opens as it was: once saved (a first save adds the
// settings a document read without them lacks), opened and saved again, the
// documents kept with the tests and a generated map write the same text
// every time, but for the stamps every save changes and the graphic
// numbers every open gives afresh.
TEST_F(StreamedElementsTest, SavedDocumentsOpenAsTheyWere)
{
    const auto contentsOf = [](const QString &path) {
        QFile file(path);
        const std::optional<PackageData> data =
            file.open(QIODevice::ReadOnly) ? PackageArchive::read(file) : std::nullopt;
        static const QRegularExpression stamps(
            QStringLiteral("<(revisionNumber|lastSaveDate)>.*?</\\1>"));
        return data ? QString::fromUtf8(
                          MapsDocTest::withoutGraphicNumbers(data->value(TWMapsDoc::ContentsPath)))
                          .replace(stamps, QStringLiteral("<\\1/>"))
                    : QString();
    };
    std::vector<std::pair<QString, std::shared_ptr<TWMapsDoc>>> documents;
    const QDir folder(QStringLiteral(THINKWEB_TEST_DATA "/damaged"));
    for (const QString &name : folder.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        PackageData data;
        data.insert(TWMapsDoc::ContentsPath, file.readAll());
        documents.emplace_back(name, TWMapsDoc::createWithDictionary(data, false));
    }
    GeneratedMap::fill(*addMap(), 300);
    documents.emplace_back(QStringLiteral("generated"), document);
    ASSERT_GT(documents.size(), 3u);
    for (const auto &[name, saved] : documents) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_NE(saved, nullptr);
        const QString paths[] = {tempDir.filePath(QStringLiteral("first.tweb")),
                                 tempDir.filePath(QStringLiteral("second.tweb")),
                                 tempDir.filePath(QStringLiteral("third.tweb"))};
        ASSERT_EQ(saved->saveToFile(paths[0]), TWFileIO::SaveSucceeded);
        for (int i = 1; i < 3; ++i) {
            int error = -1;
            const std::shared_ptr<TWMapsDoc> opened =
                TWMapsDoc::loadFromFile(paths[i - 1], false, &error);
            ASSERT_NE(opened, nullptr) << error;
            ASSERT_EQ(opened->saveToFile(paths[i]), TWFileIO::SaveSucceeded);
            opened->detach();
        }
        const QString before = contentsOf(paths[1]), after = contentsOf(paths[2]);
        ASSERT_FALSE(before.isEmpty());
        EXPECT_TRUE(before == after)
            << StreamedMapText::firstDifference(before.toUtf8(), after.toUtf8());
        if (saved != document)
            saved->detach();
    }
}

} // namespace
