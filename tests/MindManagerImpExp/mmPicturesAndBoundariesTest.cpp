// A topic's picture keeps its size and aspect beside, above or below its
// label, also through the program's own export; a boundary is drawn with
// the colours the map gives boundaries.
#include "MMImportTestSupport.h"

#include "MindManagerImpExp/mmExport.h"
#include "graphics/TWTextArea.h"

namespace {

using MMImportTest::ImportFixture;
using MMImportTest::mapXML;
using MMImportTest::pngBase64;

constexpr float kMM = 72.0f / 25.4f;

QString pictureTopic(const QString &oid, const QString &size, const QString &layout)
{
    return QStringLiteral("<ap:Topic OId=\"%1\"><ap:OneImage><ap:Image><ap:ImageData "
                          "ImageType=\"urn:mindjet:PngImage\"><cor:Base64>%2</cor:Base64>"
                          "</ap:ImageData>%3</ap:Image></ap:OneImage>"
                          "<ap:Text PlainText=\"Label %1\"/>%4</ap:Topic>")
        .arg(oid, pngBase64(40, 20), size, layout);
}

// A map whose first-level topics take `levelPosition` as their default.
QByteArray mapOf(const QString &topics, const QString &levelPosition = QString())
{
    const QString style =
        levelPosition.isEmpty()
            ? QString()
            : QStringLiteral("<ap:StyleGroup><ap:RootSubTopicDefaultsGroup Level=\"0\">"
                             "<ap:DefaultTopicLayout TopicTextAndImagePosition=\"urn:mindjet:%1\"/>"
                             "</ap:RootSubTopicDefaultsGroup></ap:StyleGroup>")
                  .arg(levelPosition);
    return mapXML(QStringLiteral("<ap:OneTopic><ap:Topic OId=\"root\"><ap:Text "
                                 "PlainText=\"Centre\"/><ap:SubTopics>%1</ap:SubTopics>"
                                 "</ap:Topic></ap:OneTopic>%2")
                      .arg(topics, style));
}

enum class Side { Left, Right, Above, Below };

// The picture against the label, when they do not overlap; none otherwise.
std::optional<Side> sideOf(const Rect &picture, const Rect &label)
{
    if (picture.maxX() <= label.x())
        return Side::Left;
    if (picture.x() >= label.maxX())
        return Side::Right;
    if (picture.maxY() <= label.y())
        return Side::Above;
    if (picture.y() >= label.maxY())
        return Side::Below;
    return std::nullopt;
}

bool inside(const Rect &inner, const Rect &outer)
{
    const float e = 0.01f;
    return inner.x() >= outer.x() - e && inner.y() >= outer.y() - e &&
           inner.maxX() <= outer.maxX() + e && inner.maxY() <= outer.maxY() + e;
}

} // namespace

TEST_F(ImportFixture, PicturesKeepTheirSizeBesideAboveOrBelowTheLabel)
{
    const struct
    {
        const char *what;
        QString size, layout, levelPosition;
        Size expected; // points
        Side side;
    } cases[] = {
        {"beside, picture on the left",
         "<ap:ImageSize Width=\"10\" Height=\"5\"/>",
         "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextRightImageLeft\"/>",
         {},
         {10 * kMM, 5 * kMM},
         Side::Left},
        {"beside, picture on the right",
         "<ap:ImageSize Width=\"10\" Height=\"5\"/>",
         "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextLeftImageRight\"/>",
         {},
         {10 * kMM, 5 * kMM},
         Side::Right},
        {"above the label",
         "<ap:ImageSize Width=\"12.7\" Height=\"12.7\"/>",
         "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextBottomImageTop\"/>",
         {},
         {36, 36},
         Side::Above},
        {"below the label",
         "<ap:ImageSize Width=\"8\" Height=\"8\"/>",
         "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextTopImageBottom\"/>",
         {},
         {8 * kMM, 8 * kMM},
         Side::Below},
        {"only a width keeps the aspect",
         "<ap:ImageSize Width=\"20\"/>",
         "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextTopImageBottom\"/>",
         {},
         {20 * kMM, 10 * kMM},
         Side::Below},
        // 40 by 20 pixels at 96 per inch.
        {"no size: the picture's own", "", "", "TextRightImageLeft", {30, 15}, Side::Left},
        {"the side from the level's defaults",
         "<ap:ImageSize Width=\"14\" Height=\"14\"/>",
         "",
         "TextLeftImageRight",
         {14 * kMM, 14 * kMM},
         Side::Right},
        {"no side anywhere: above",
         "<ap:ImageSize Width=\"14\" Height=\"14\"/>",
         "",
         "",
         {14 * kMM, 14 * kMM},
         Side::Above},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = freshDocument();
        TWMap &into = *doc->maps().first();
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            into, mmImpExpController::sourceForData(
                      mapOf(pictureTopic("p", c.size, c.layout), c.levelPosition))));
        TWMapLayout::autoArrange(into);
        // Through the program's own export and back, it stays as it was.
        auto again = freshDocument();
        TWMap &back = *again->maps().first();
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            back, mmImpExpController::sourceForData(
                      mmExport::xmlDataForMap(into, QDateTime::currentDateTime()))));
        for (TWMap *m : {&into, &back}) {
            SCOPED_TRACE(m == &into ? "imported" : "exported and imported again");
            ASSERT_EQ(m->root()->children().size(), 1);
            const TWMapBranch &b = *m->root()->children().first();
            ASSERT_TRUE(b.enclosedImage());
            const Rect picture = b.enclosedImage()->bounds();
            EXPECT_NEAR(picture.width(), c.expected.width, 0.05);
            EXPECT_NEAR(picture.height(), c.expected.height, 0.05);
            EXPECT_EQ(sideOf(picture, b.enclosedTextArea()->bounds()), c.side);
            EXPECT_TRUE(inside(picture, b.mainGraphic()->bounds()));
            EXPECT_TRUE(inside(b.enclosedTextArea()->bounds(), b.mainGraphic()->bounds()));
        }
        doc->detach();
        again->detach();
    }
}

TEST_F(ImportFixture, BoundariesTakeTheMapsBoundaryColours)
{
    const QString defaults = QStringLiteral(
        "<ap:StyleGroup><ap:BoundaryDefaultsGroup>"
        "<ap:DefaultLineStyle LineDashStyle=\"urn:mindjet:Solid\" LineWidth=\"1.5\"/>"
        "<ap:DefaultBoundaryShape BoundaryShape=\"urn:mindjet:CurvedLine\" Margin=\"0\"/>"
        "<ap:DefaultColor FillColor=\"fffbd1bc\" LineColor=\"ffcf4d0c\"/>"
        "</ap:BoundaryDefaultsGroup></ap:StyleGroup>");
    const auto rgb = [](const std::optional<Color> &c) {
        return c ? c->toQColor().name() : QStringLiteral("none");
    };
    const struct
    {
        const char *what;
        QString boundary, style;
        bool fills;
        const char *fill, *line;
        // The outline is drawn, in its own colour or in the branch's.
        bool lineOfItsOwn;
    } cases[] = {
        {"the map's colours", "<ap:Boundary/>", defaults, true, "#fbd1bc", "#cf4d0c", true},
        {"its own fill, the map's line",
         "<ap:Boundary><ap:Color FillColor=\"ff00ff00\"/>"
         "</ap:Boundary>",
         defaults, true, "#00ff00", "#cf4d0c", true},
        {"its own colours",
         "<ap:Boundary><ap:Color FillColor=\"ff0000ff\" "
         "LineColor=\"ffff0000\"/></ap:Boundary>",
         defaults, true, "#0000ff", "#ff0000", true},
        {"no colours anywhere", "<ap:Boundary/>", "", false, nullptr, nullptr, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = freshDocument();
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            *doc->maps().first(),
            mmImpExpController::sourceForData(mapXML(
                QStringLiteral("<ap:OneTopic><ap:Topic OId=\"root\"><ap:Text PlainText=\"C\"/>"
                               "<ap:SubTopics><ap:Topic OId=\"b\"><ap:OneBoundary>%1"
                               "</ap:OneBoundary><ap:Text PlainText=\"Bounded\"/></ap:Topic>"
                               "</ap:SubTopics></ap:Topic></ap:OneTopic>%2")
                    .arg(c.boundary, c.style)))));
        const TWMapBranch &b = *doc->maps().first()->root()->children().first();
        EXPECT_TRUE(b.hasBoundary());
        EXPECT_EQ(b.boundaryDrawsFill(), c.fills);
        EXPECT_TRUE(b.boundaryDrawsLine());
        EXPECT_NE(b.boundaryInheritsLineColor(), c.lineOfItsOwn);
        if (c.fill) {
            EXPECT_EQ(rgb(b.boundaryFillColor()), QString::fromLatin1(c.fill));
            EXPECT_EQ(rgb(b.boundaryLineColor()), QString::fromLatin1(c.line));
        }
        doc->detach();
    }
}
