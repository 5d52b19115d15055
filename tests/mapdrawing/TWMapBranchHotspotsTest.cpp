#include "MapDrawingFixture.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWMapUtilities.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapBranch_Hotspots.h"

using namespace MapDrawingTest;
namespace BH = TWBranchHotspots;

namespace {

// A shape whose outline is its bounds, drawn with straight edges, or a
// rounded path of a given flatness.
class Box : public TWGraphic
{
public:
    std::optional<float> curvedWithFlatness;
    std::shared_ptr<BezierPath> bezierPath() override
    {
        auto path = std::make_shared<BezierPath>(BH::rectanglePath(bounds()));
        if (curvedWithFlatness) {
            path->removeAllPoints();
            path->moveToPoint({0, 0});
            path->curveToPoint({100, 0}, {0, 60}, {100, 60});
            path->closePath();
            path->setFlatness(*curvedWithFlatness);
        }
        return path;
    }
};

// The segments of a rectangle, written out independently of the writer.
QString rectSegments(Rect r, float xo, float yo, float zoom)
{
    QString s;
    const auto point = [&](const char *type, float x, float y) {
        s += QString::asprintf("<drawingSegment>\n<type>%s</type><parameter><x>%f</x><y>%f</y>"
                               "</parameter>\n</drawingSegment>\n",
                               type, double((x - xo) * zoom), double((y - yo) * zoom));
    };
    point("MoveTo", r.minX(), r.minY());
    point("LineTo", r.maxX(), r.minY());
    point("LineTo", r.maxX(), r.maxY());
    point("LineTo", r.minX(), r.maxY());
    return s + "<drawingSegment>\n<type>ClosePath</type>\n</drawingSegment>\n";
}

QString rectCoords(Rect r)
{
    return QString::asprintf("%d,%d,%d,%d,%d,%d,%d,%d,", int(r.minX()), int(r.minY()),
                             int(r.maxX()), int(r.minY()), int(r.maxX()), int(r.maxY()),
                             int(r.minX()), int(r.maxY()));
}

class HotspotsTest : public MapFixture
{
protected:
    HotspotsTest()
    {
        root->enclosedTextArea()->setString("root");
        shape(*root, Rect(300, 200, 100, 40));
        shape(*c, Rect(500, 100, 80, 30));
        shape(*g, Rect(700, 100, 80, 30));
        map->branchDisplaySettingsForUpdate().branchHideLevel = 1;
        c->setOutlineNumber("1.2");
        settle();
    }
    template <class T = Box> std::shared_ptr<T> shape(TWMapBranch &branch, Rect bounds)
    {
        auto graphic = TWGraphic::make<T>(bounds);
        branch.setMainGraphic(graphic);
        graphic->setBranch(&branch);
        branch.enclosedTextArea()->setBounds(
            Rect(bounds.x() + 10, bounds.y() + 10, 40, bounds.height() - 20));
        return graphic;
    }
    std::shared_ptr<TWHyperlink> link(int type, std::optional<QString> url,
                                      std::optional<QString> arg = std::nullopt)
    {
        return std::make_shared<TWHyperlink>(type, url, arg, arg, std::nullopt);
    }

    std::shared_ptr<TWMapBranch> c = child(root, 100, "c");
    std::shared_ptr<TWMapBranch> g = child(c, 100, "g", 700); // hidden: below level 1
};

TEST_F(HotspotsTest, CoordinateListsTruncateAndEndAfterClosedPaths)
{
    BezierPath open;
    open.moveToPoint({99.3f, 49.5f});
    open.lineToPoint({98.5f, 60});
    BezierPath curved;
    curved.moveToPoint({0, 0});
    curved.curveToPoint({1, 1}, {0, 1}, {1, 0});
    curved.lineToPoint({5, 5});
    struct Case
    {
        const char *name;
        BezierPath path;
        float xo, yo, h, w;
        QString coords;
    };
    const Case cases[] = {
        {"map point (300, 150) at half size", BH::rectanglePath(Rect(300, 150, 100, 50)), 100, 50,
         0.5f, 0.5f, "100,50,150,50,150,75,100,75,"},
        {"width and height factors apart", BH::rectanglePath(Rect(0, 0, 10, 10)), 0, 0, 3, 2,
         "0,0,20,0,20,30,0,30,"},
        {"toward zero, no comma at the end", open, 100, 50, 1, 1, "0,0,-1,10"},
        {"a curve is skipped", curved, 0, 0, 1, 1, "0,0,5,5"},
        {"out of range", BH::rectanglePath(Rect(0, 0, 1, 1)), -3e9f, 0, 1, 1,
         "2147483520,0,2147483520,0,2147483520,1,2147483520,1,"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BH::coordinateList(c.path, c.xo, c.yo, c.h, c.w), c.coords) << c.name;
}

TEST_F(HotspotsTest, DrawingSegmentsOfARectangleAndACurve)
{
    QString s;
    BH::appendDrawingSegments(BH::rectanglePath(Rect(300, 150, 10, 20)), s, 100, 50, 0.5f);
    EXPECT_EQ(s, "<drawingSegment>\n<type>MoveTo</type><parameter><x>100.000000</x>"
                 "<y>50.000000</y></parameter>\n</drawingSegment>\n"
                 "<drawingSegment>\n<type>LineTo</type><parameter><x>105.000000</x>"
                 "<y>50.000000</y></parameter>\n</drawingSegment>\n"
                 "<drawingSegment>\n<type>LineTo</type><parameter><x>105.000000</x>"
                 "<y>60.000000</y></parameter>\n</drawingSegment>\n"
                 "<drawingSegment>\n<type>LineTo</type><parameter><x>100.000000</x>"
                 "<y>60.000000</y></parameter>\n</drawingSegment>\n"
                 "<drawingSegment>\n<type>ClosePath</type>\n</drawingSegment>\n");
    BezierPath curve;
    curve.moveToPoint({0, 0});
    curve.curveToPoint({3, 4}, {1, 2}, {2, 3});
    s.clear();
    BH::appendDrawingSegments(curve, s, 0, 0, 1);
    EXPECT_TRUE(s.endsWith("<type>CurveTo</type><parameter><x>1.000000</x><y>2.000000</y>"
                           "</parameter>\n<parameter><x>2.000000</x><y>3.000000</y></parameter>\n"
                           "<parameter><x>3.000000</x><y>4.000000</y></parameter>\n"
                           "</drawingSegment>\n"))
        << s.toStdString();
}

TEST_F(HotspotsTest, OutlinesFollowTheShape)
{
    const Rect at(500, 100, 80, 30);
    struct Case
    {
        const char *name;
        std::function<std::shared_ptr<TWGraphic>()> make;
        int textPosition;
        std::function<BezierPath(TWGraphic &, const TWTextArea &)> expected;
    };
    const auto own = [](TWGraphic &m, const TWTextArea &) { return *m.bezierPath(); };
    const Case cases[] = {
        {"circle, label inside", [&] { return shape<TWCircle>(*c, at); }, 2, own},
        {"circle, label beside", [&] { return shape<TWCircle>(*c, at); }, 1,
         [](TWGraphic &m, const TWTextArea &t) {
             BezierPath p = *m.bezierPath();
             p.appendBezierPath(BH::rectanglePath(t.bounds()));
             return p;
         }},
        {"line", [&] { return shape<TWLine>(*c, at); }, 3,
         [](TWGraphic &m, const TWTextArea &t) {
             Rect r = m.bezierPath()->bounds();
             r.origin.y -= 5;
             r.size.height += 5;
             return BH::rectanglePath(TWUnionRect(t.bounds(), r));
         }},
        {"flexi", [&] { return shape<TWFlexiBranch>(*c, at); }, 1,
         [](TWGraphic &m, const TWTextArea &) {
             return *static_cast<TWFlexiBranch &>(m).cachedHitTestPath();
         }},
        {"cloud", [&] { return shape<TWCloud>(*c, at); }, 1, own},
        {"custom shape", [&] { return shape<TWCustomBranchShape>(*c, at); }, 1, own},
        {"rectangle", [&] { return shape<TWRectangle>(*c, at); }, 1, own},
    };
    for (const Case &k : cases) {
        const std::shared_ptr<TWGraphic> main = k.make();
        c->setTextRelativePosition(k.textPosition);
        const BezierPath outline = BH::outlineBezierPath(*c);
        EXPECT_GE(outline.elementCount(), 4) << k.name;
        EXPECT_EQ(outline, k.expected(*main, *c->enclosedTextArea())) << k.name;
        // The image map gets an area around it.
        QString s;
        BH::appendImageMapHotspotsToString(*c, s, 0, 0, 1, 1, "m.html", "t", false, true);
        EXPECT_FALSE(s.contains("coords=\"\"")) << k.name;
    }
    // The circle's own path is left alone.
    auto circle = shape<TWCircle>(*c, at);
    c->setTextRelativePosition(1);
    const int own_elements = circle->bezierPath()->elementCount();
    EXPECT_EQ(BH::outlineBezierPath(*c).elementCount(), own_elements + 5);
    EXPECT_EQ(circle->bezierPath()->elementCount(), own_elements);
}

TEST_F(HotspotsTest, HotspotsFlattenAtTheirOwnFlatness)
{
    // The same outline, whatever flatness it was made with.
    QStringList results;
    for (float flatness : {0.01f, 0.6f, 10.0f}) {
        auto box = shape(*root, Rect(0, 0, 100, 60));
        box->curvedWithFlatness = flatness;
        QString s;
        BH::appendImageMapHotspotsToString(*root, s, 0, 0, 1, 1, "", "", false, false);
        results << s;
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[1], results[2]);
    // More than the curve's two ends: it was subdivided.
    EXPECT_GT(results[0].count(','), 8);
}

TEST_F(HotspotsTest, ImageMapAreasByteExact)
{
    root->insertObjectInHyperlinksAtIndex(link(2, "https://e.org/?a=1&b=2"), 0);
    root->insertObjectInHyperlinksAtIndex(link(5, "a@b.c", "x y"), 1);
    root->insertObjectInHyperlinksAtIndex(link(9, "ignored"), 2);
    const auto icon = [&](int i) {
        return rectCoords(TWBranchIndicators::boundsOfHyperlinkAtIndex(*root, i));
    };
    struct Case
    {
        const char *name;
        QString href, target;
        bool doChildren, includeHidden;
        QString expected;
    };
    const QString links =
        "<area shape=\"poly\" href=\"https://e.org/?a=1&amp;b=2\" target=\"_new\" coords=\"" +
        icon(0) +
        "\">\n<area shape=\"poly\" href=\"mailto:a@b.c?Subject=x%20y&amp;body=x%20y\" "
        "target=\"_new\" coords=\"" +
        icon(1) + "\">\n<area shape=\"poly\" href=\"\" target=\"_new\" coords=\"" + icon(2) +
        "\">\n";
    const QString rootArea = "\" coords=\"300,200,400,200,400,240,300,240,\">\n";
    const QString cArea = "\" coords=\"500,100,580,100,580,130,500,130,\">\n";
    const QString gArea = "\" coords=\"700,100,780,100,780,130,700,130,\">\n";
    const Case cases[] = {
        {"one branch", "m.html", "_top", false, false,
         links + "<area shape=\"poly\" href=\"m.html\" target=\"_top" + rootArea},
        {"anchors after .html", "m.html", "_top", true, false,
         links + "<area shape=\"poly\" href=\"m.html#DadoZizTitle\" target=\"_top" + rootArea +
             "<area shape=\"poly\" href=\"m.html#1-2\" target=\"_top" + cArea},
        {"anchors alone otherwise, hidden too", "m.htm", "_top", true, true,
         links + "<area shape=\"poly\" href=\"#DadoZizTitle\" target=\"_top" + rootArea +
             "<area shape=\"poly\" href=\"#1-2\" target=\"_top" + cArea +
             "<area shape=\"poly\" href=\"#\" target=\"_top" + gArea},
        {"attribute values escaped", "a\"b.html", "t'<", false, false,
         links + "<area shape=\"poly\" href=\"a&quot;b.html\" target=\"t&apos;&lt;" + rootArea},
    };
    for (const Case &k : cases) {
        QString s = "kept";
        BH::appendImageMapHotspotsToString(*root, s, 0, 0, 1, 1, k.href, k.target, k.doChildren,
                                           k.includeHidden);
        EXPECT_EQ(s, "kept" + k.expected) << k.name;
    }
    // A user-made outline number cannot end the attribute.
    c->setOutlineNumber("<1>.\"2");
    QString s;
    BH::appendImageMapHotspotsToString(*c, s, 0, 0, 1, 1, "x.html", "", true, false);
    EXPECT_TRUE(s.startsWith("<area shape=\"poly\" href=\"x.html#&lt;1&gt;-&quot;2\" target=\"\""))
        << s.toStdString();
    // A hidden branch adds nothing unless asked.
    s.clear();
    BH::appendImageMapHotspotsToString(*g, s, 0, 0, 1, 1, "x.html", "", true, false);
    EXPECT_EQ(s, "");
}

TEST_F(HotspotsTest, LinkTextsOfEachKind)
{
    struct Case
    {
        int type;
        std::optional<QString> url;
        bool saved;
        QString presentation, hotspot;
    };
    const Case cases[] = {
        {1, std::nullopt, true, "", "file:///doc/my%20dir/"},
        {4, "", true, "file://", "file:///doc/my%20dir/"},
        {1, "./sub/../x&y.txt", true, "file:///doc/my%20dir/x&amp;y.txt",
         "file:///doc/my%20dir/x&amp;y.txt"},
        {1, "/abs/<a>", true, "file:///abs/&lt;a&gt;", "file:///abs/&lt;a&gt;"},
        {4, "./x", false, "file://./x", "file://./x"},
        {1, "", false, "file://", "file://"},
        {2, "http://e.org/?q='1'", true, "http://e.org/?q=&apos;1&apos;",
         "http://e.org/?q=&apos;1&apos;"},
        {3, std::nullopt, true, "", ""},
        {5, "a@b.c", true, "mailto:a@b.c", "mailto:a@b.c"},
        {0, "x", true, "", ""},
        {6, "x", true, "", ""},
    };
    for (const Case &k : cases) {
        document->setFilename(k.saved ? std::optional<QString>("/doc/my%20dir/m.twmap")
                                      : std::nullopt);
        const auto l = link(k.type, k.url);
        const std::string name = std::to_string(k.type) + " " + k.url.value_or("-").toStdString();
        EXPECT_EQ(BH::presentationLinkText(*l, *c), k.presentation) << name;
        EXPECT_EQ(BH::hotspotLinkText(*l, *c), k.hotspot) << name;
    }
}

TEST_F(HotspotsTest, PresentationByteExact)
{
    map->branchDisplaySettingsForUpdate().showTextIndicators = true;
    root->insertObjectInHyperlinksAtIndex(link(2, "https://e.org/?a&b"), 0);
    root->insertObjectInHyperlinksAtIndex(link(2, "https://second.org/"), 1);
    root->insertObjectInAttachedTextArrayAtIndex(attachedText(), 0);
    // Screen-writing text has no indicator shown, so no region.
    root->setScreenWriterText("scene");
    const float xo = 100, yo = 50, z = 0.5f;
    const Rect rootBounds = TWBranchIndicators::branchBounds(*root);
    const Rect cBounds = TWBranchIndicators::branchBounds(*c);
    const QString expected =
        "<outline>\n" + rectSegments(Rect(300, 200, 100, 40), xo, yo, z) + "</outline>\n" +
        "<fullBounds>\n" + rectSegments(rootBounds, xo, yo, z) + "</fullBounds>\n" +
        "<hotRegion>\n<linkTo>https://e.org/?a&amp;b</linkTo>\n<type>Hyperlink</type>\n" +
        rectSegments(TWBranchIndicators::boundsOfHyperlinkAtIndex(*root, 0), xo, yo, z) +
        "</hotRegion>\n" +
        QString::asprintf("<hotRegion>\n<linkTo>PresentationSupport/LongText%d.html</linkTo>\n"
                          "<type>Popup</type>\n",
                          root->branchNumber()) +
        rectSegments(TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(*root, 0), xo, yo,
                     z) +
        "</hotRegion>\n" + "<child>\n<outline>\n" +
        rectSegments(Rect(500, 100, 80, 30), xo, yo, z) + "</outline>\n<fullBounds>\n" +
        rectSegments(cBounds, xo, yo, z) + "</fullBounds>\n</child>\n";
    QString s;
    BH::appendXMLPresentationInstructionsTo(*root, s, xo, yo, z);
    EXPECT_EQ(s, expected);
    // The hidden grandchild: nothing, not even when asked directly.
    s.clear();
    BH::appendXMLPresentationInstructionsTo(*g, s, xo, yo, z);
    EXPECT_EQ(s, "");
    // Without text indicators the notes get no region.
    map->branchDisplaySettingsForUpdate().showTextIndicators = false;
    BH::appendXMLPresentationInstructionsTo(*root, s, xo, yo, z);
    EXPECT_FALSE(s.contains("LongText"));
    EXPECT_EQ(s.count("<hotRegion>"), 1);
}

} // namespace
