#include "BranchTestSupport.h"
#include "GoldenImage.h"
#include "PictureTestData.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWCustomBranchShapeDefinition.h"
#include "graphics/TWGraphicDrawing.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"
#include "render/TWDrawingView.h"
#include "render/TWTextLayout.h"
#include "support/Font.h"

#include <QPainter>
#include <QUrl>

using namespace BranchTest;
using namespace PictureTestData;

namespace {

class EditingView : public TWDrawingView
{
public:
    const TWTextArea *editing = nullptr;
    const TWTextArea *editingTextArea() const override { return editing; }
};

const Shadow kShadow(Size(4, -4), 4, std::nullopt);

class GraphicDrawingTest : public BranchFixture
{
protected:
    GraphicDrawingTest() { map->setShowShadows(true); }

    // A branch under `parent` whose shape is `shape`, filled and outlined in
    // colours of its own and casting kShadow.
    std::shared_ptr<TWMapBranch> branchWith(const std::shared_ptr<TWGraphic> &shape,
                                            TWMapBranch *parent, const QColor &fill)
    {
        auto branch = TWMapBranch::createWithGraphic(shape, parent ? parent : root.get(), map.get());
        giveLook(*shape, fill);
        return branch;
    }
    static void giveLook(TWGraphic &graphic, const QColor &fill)
    {
        graphic.setInheritsFill(false);
        graphic.setFillColor(Color::fromQColor(fill));
        graphic.setInheritsStroke(false);
        graphic.setStrokeColor(Color::colorWithCalibratedRed(0.15, 0.25, 0.55));
        graphic.setStrokeWidth(2);
        graphic.setDrawsShadow(true);
        graphic.setInheritsShadow(false);
        graphic.setShadow(kShadow);
    }
    // The picture's bytes in the package, shown by `image`.
    void givePicture(TWImage &image, const QByteArray &bytes, const QString &name)
    {
        const QString path = QStringLiteral("Images/") + name;
        document->setObjectInCachedData(bytes, path);
        image.setImageFilename(path);
    }
    // A picture enclosed in `branch`'s shape, filling its bounds.
    std::shared_ptr<TWImage> enclose(TWMapBranch &branch, const QByteArray &bytes,
                                     const QString &name)
    {
        branch.setTextRelativePosition(2);
        auto image = TWGraphic::make<TWImage>(branch.mainGraphic()->bounds());
        branch.setEnclosedImage(image);
        image->setBranch(&branch);
        givePicture(*image, bytes, name);
        return image;
    }
    static QImage render(Size size, const std::function<void(const DrawingContext &)> &draw)
    {
        QImage image = DrawingContext::makeImage(size, 1.0, Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        DrawingContext context(painter, false);
        draw(context);
        return image;
    }
    // Drawn as the branch drawing draws it: with its shadow and the glow.
    void draw(const DrawingContext &c, TWGraphic &g, bool selected, bool glow = true)
    {
        g.drawInView(c, &view, selected, g.inheritedShadow(), glow);
    }

    EditingView view;
};

bool isWhite(QRgb p)
{
    return qRed(p) > 245 && qGreen(p) > 245 && qBlue(p) > 245;
}

TEST_F(GraphicDrawingTest, ShapesOfEveryKindWithShadowGlowAndHandles)
{
    BezierPath hexagon;
    hexagon.moveToPoint({0, 10});
    hexagon.lineToPoint({10, 0});
    hexagon.lineToPoint({30, 0});
    hexagon.lineToPoint({40, 10});
    hexagon.lineToPoint({30, 20});
    hexagon.lineToPoint({10, 20});
    hexagon.closePath();
    TWCustomBranchShapeDefinition::registerDefinition(
        std::make_shared<TWCustomBranchShapeDefinition>("hexagon", hexagon));

    auto rectangle = TWGraphic::make<TWRectangle>(Rect(20, 20, 100, 50));
    rectangle->setCornerMode(1);
    auto oval = TWGraphic::make<TWCircle>(Rect(150, 20, 100, 60));
    auto line = TWGraphic::make<TWLine>(Rect(280, 30, 100, 40));
    auto cloud = TWGraphic::make<TWCloud>(Rect(410, 20, 90, 50));
    auto custom = TWGraphic::make<TWCustomBranchShape>(Rect(530, 20, 80, 60));
    custom->setShapeName(QStringLiteral("hexagon"));
    branchWith(rectangle, nullptr, QColor(255, 214, 102));
    branchWith(oval, nullptr, QColor(160, 220, 160));
    branchWith(line, nullptr, QColor(200, 200, 255));
    branchWith(cloud, nullptr, QColor(230, 180, 230));
    branchWith(custom, nullptr, QColor(250, 170, 120));
    oval->setStrokeStyle(3);
    line->setStrokeWidth(3);
    cloud->setStrokeStyle(5);
    custom->setStrokeStyle(8);

    // Below: a branch and its child with the connections between them, the
    // child pulsing as a link target, and the root (a graphic without an
    // outline) selected.
    root->mainGraphic()->setBounds(Rect(500, 170, 100, 40));
    auto parentShape = TWGraphic::make<TWRectangle>(Rect(40, 150, 90, 40));
    auto a = branchWith(parentShape, nullptr, QColor(255, 240, 200));
    auto childShape = TWGraphic::make<TWCircle>(Rect(240, 140, 80, 60));
    auto b = branchWith(childShape, a.get(), QColor(200, 230, 255));
    a->connectionGraphic()->updateBounds();
    b->connectionGraphic()->updateBounds();
    childShape->drawWithAnimationStep(3);
    settle();
    undo->removeAllActions();

    Recorder recorder;
    const QImage image = render(Size(630, 230), [&](const DrawingContext &c) {
        const std::shared_ptr<TWGraphic> shapes[] = {rectangle, oval, line, cloud, custom};
        for (const auto &shape : shapes)
            draw(c, *shape, true);
        draw(c, *a->connectionGraphic(), false, false);
        draw(c, *b->connectionGraphic(), false, true);
        draw(c, *parentShape, false, false);
        draw(c, *childShape, false, false);
        draw(c, *root->mainGraphic(), true, true);
    });
    EXPECT_TRUE(GoldenImage::matches(image, "graphic-shapes"));
    // Drawing reads the model and changes nothing in it.
    EXPECT_TRUE(recorder.notifications.isEmpty()) << recorder.names().join(' ').toStdString();
    EXPECT_FALSE(undo->canUndo());
    EXPECT_TRUE(rectangle->bezierPath()->lineDashPattern().isEmpty());
    EXPECT_EQ(oval->bezierPath()->lineJoinStyle(), BezierPath::MiterLineJoin);
    TWCustomBranchShapeDefinition::unregisterDefinition(QStringLiteral("hexagon"));

    // Style 8 fills without an outline: the fill reaches the edge of the
    // hexagon, where the glow shows instead of the outline.
    EXPECT_TRUE(isNear(image.pixel(570, 50), qRgb(250, 170, 120), 8));
    // A graphic without an outline shows only its handles.
    EXPECT_TRUE(isWhite(image.pixel(590, 180)));
    EXPECT_FALSE(isWhite(image.pixel(500, 170)));
    // The plain line offers only its side handles.
    EXPECT_TRUE(isWhite(image.pixel(280, 30)));
    EXPECT_FALSE(isWhite(image.pixel(280, 50)));
}

TEST_F(GraphicDrawingTest, HandlesFollowTheKnobMaskAndNeedAView)
{
    struct CornerKnobs : TWRectangle
    {
        int knobMask() const override { return 2 + 256; }
    };
    auto shape = std::make_shared<CornerKnobs>();
    shape->initWithBounds(Rect(20, 20, 60, 40));
    shape->setDrawsStroke(false);
    shape->setDrawsFill(false);

    const auto handles = [&](const TWDrawingView *v) {
        return render(Size(100, 80), [&](const DrawingContext &c) {
            shape->drawInView(c, v, true, std::nullopt, false);
        });
    };
    const QImage shown = handles(&view);
    for (int knob = 1; knob <= 8; ++knob) {
        const Point p = shape->knobPoint(knob);
        EXPECT_EQ(!isWhite(shown.pixel(int(p.x), int(p.y))), knob == 1 || knob == 8) << knob;
    }
    // Half the handle colour over the white page inside the handle.
    const QColor handle = shape->handleColor().toQColor();
    const auto half = [](int c) { return (c + 255) / 2; };
    EXPECT_TRUE(isNear(shown.pixel(20, 20),
                       qRgb(half(handle.red()), half(handle.green()), half(handle.blue())), 12));
    const QImage offScreen = handles(nullptr);
    EXPECT_TRUE(isWhite(offScreen.pixel(20, 20)));
    EXPECT_TRUE(isWhite(offScreen.pixel(80, 60)));
}

TEST_F(GraphicDrawingTest, LineStylesDashOutlinesButNotTitleConnectionsOrDragImages)
{
    auto a = branchWith(TWGraphic::make<TWRectangle>(Rect(20, 20, 80, 40)), nullptr,
                        QColor(255, 255, 255));
    auto b = branchWith(TWGraphic::make<TWRectangle>(Rect(200, 30, 80, 40)), a.get(),
                        QColor(255, 255, 255));
    a->connectionGraphic()->updateBounds();
    b->connectionGraphic()->updateBounds();
    settle();
    const struct
    {
        const char *name;
        TWGraphic *graphic;
        bool drag, dashed;
    } cases[] = {
        {"shape", a->mainGraphic().get(), false, true},
        {"child connection", b->connectionGraphic().get(), false, true},
        {"title connection", a->connectionGraphic().get(), false, false},
        {"drag image", a->mainGraphic().get(), true, false},
    };
    for (const auto &c : cases) {
        const auto drawn = [&](int style) {
            c.graphic->setStrokeStyle(style);
            return render(Size(420, 260), [&](const DrawingContext &context) {
                if (c.drag)
                    c.graphic->drawForDragInView(context, nullptr, 0);
                else
                    c.graphic->drawInView(context, nullptr, false, std::nullopt, false);
            });
        };
        const QImage solid = drawn(1);
        EXPECT_NE(solid, render(Size(420, 260), [](const DrawingContext &) {})) << c.name;
        EXPECT_EQ(drawn(3) != solid, c.dashed) << c.name;
    }
}

TEST_F(GraphicDrawingTest, UnusableStrokeWidthsStillDrawTheFill)
{
    auto shape = TWGraphic::make<TWRectangle>(Rect(20, 20, 60, 40));
    auto branch = branchWith(shape, nullptr, QColor(0, 128, 0));
    shape->drawWithAnimationStep(4);
    const float widths[] = {std::nanf(""), INFINITY, -3, 0, 5000};
    for (float width : widths) {
        shape->setStrokeWidth(width);
        const QImage image = render(Size(100, 80), [&](const DrawingContext &c) {
            draw(c, *shape, true);
            shape->drawForDragInView(c, &view, 0);
        });
        // A wide outline covers the fill; any other leaves its middle green.
        if (!(width >= 100)) {
            EXPECT_TRUE(isNear(image.pixel(50, 40), qRgb(0, 128, 0), 4)) << width;
        }
    }
}

TEST(GraphicDrawing, GlowAndPulseWidths)
{
    using namespace TWGraphicDrawing;
    const struct
    {
        const char *name;
        Glow glow, expected;
    } glows[] = {
        {"attached, selected, outlined", shapeGlow(2, true, true), {0.5, 4, true}},
        {"attached, selected, no outline", shapeGlow(2, false, true), {0.5, 4, true}},
        {"attached, selected, thick outline", shapeGlow(4, true, true), {0.5, 5, true}},
        {"branch shape, outlined", shapeGlow(2, true, false), {0.8, 7, false}},
        {"branch shape, no outline", shapeGlow(2, false, false), {0.8, 6, false}},
        {"text, selected", textAreaGlow(2, true, true), {0.5, 4, true}},
        {"text, selected, no outline", textAreaGlow(1, false, true), {0.5, 4, true}},
        {"text of a selected branch", textAreaGlow(1, true, false), {1.0, 6, false}},
        {"text of a selected branch, no outline", textAreaGlow(1, false, false), {1.0, 2, false}},
        {"picture in a shape, selected", imageGlow(2, true, true, true), {0.5, 6, true}},
        {"picture in a shape", imageGlow(2, true, false, true), {1.0, 7, false}},
        {"picture in a shape, no outline", imageGlow(2, false, true, true), {0.5, 6, true}},
        {"free picture, selected", imageGlow(2, true, true, false), {0.5, 5, true}},
        {"free picture", imageGlow(2, false, false, false), {1.0, 4, false}},
    };
    for (const auto &c : glows) {
        EXPECT_EQ(c.glow, c.expected) << c.name << ": " << c.glow.alpha << " " << c.glow.width;
    }
    const float widths[] = {0, 0.5f, 1, 1.5f, 2, 2.5f, 2.5f, 2, 1.5f, 1, 0.5f};
    for (int step = 0; step <= 10; ++step)
        EXPECT_FLOAT_EQ(pulseWidth(2, step), 2 + widths[step]) << step;
}

TEST_F(GraphicDrawingTest, AnimationStepIsKeptWithinTheCycleAndRedrawn)
{
    auto shape = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));
    Recorder recorder({TWGraphic::GraphicNeedsRedrawNotification});
    for (const auto &[step, kept] : {std::pair{3, 3}, {10, 10}, {0, 0}, {12, 10}, {-1, 0}}) {
        shape->drawWithAnimationStep(step);
        EXPECT_EQ(shape->animationStep(), kept) << step;
    }
    EXPECT_EQ(recorder.count(TWGraphic::GraphicNeedsRedrawNotification), 5);
}

TEST_F(GraphicDrawingTest, TextAreasWithLinksFramesAndTheEditor)
{
    const TextAttributes font{{NSFontAttributeName, QVariant::fromValue(Font("LiberationSans", 12))}};
    AttributedString label("Read the manual first", font);
    label.addAttribute(NSForegroundColorAttributeName,
                       QVariant::fromValue(Color::colorWithCalibratedRed(0.6, 0, 0)), {0, 21});
    label.addAttribute(NSLinkAttributeName, QUrl("https://example.org/manual"), {9, 6});

    // An attached text box casts its shadow; the link shows blue and underlined.
    auto a = child(root, 100, "a");
    auto box = TWGraphic::make<TWTextArea>(Rect(20, 20, 150, 40));
    a->insertObjectInLinkedGraphicsAtIndex(box, 0);
    box->setBranch(a.get());
    box->setText(label);
    giveLook(*box, QColor(255, 250, 205));
    box->setStrokeWidth(1);

    // Outline style "None" stays without an outline in the shadow's crisp pass.
    auto plain = TWGraphic::make<TWTextArea>(Rect(200, 20, 150, 40));
    a->insertObjectInLinkedGraphicsAtIndex(plain, 1);
    plain->setBranch(a.get());
    plain->setText(AttributedString("No outline", font));
    giveLook(*plain, QColor(220, 240, 255));
    plain->setStrokeStyle(8);

    // The label being edited: a frame just outside, no text, no handles.
    TWTextArea &edited = *a->enclosedTextArea();
    edited.setBounds(Rect(380, 25, 100, 30));
    edited.setText(AttributedString("Being edited", font));
    view.editing = &edited;
    settle();

    const QImage image = render(Size(500, 80), [&](const DrawingContext &c) {
        draw(c, *box, true);
        draw(c, *plain, false, false);
        draw(c, edited, true, false);
    });
    EXPECT_TRUE(GoldenImage::matches(image, "graphic-text-areas"));

    bool blue = false;
    for (int x = 20; x < 170; ++x)
        for (int y = 20; y < 60; ++y) {
            const QRgb p = image.pixel(x, y);
            blue = blue || (qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60);
        }
    EXPECT_TRUE(blue) << "the link is blue";
    // No outline on the plain box: its fill meets the white page directly.
    EXPECT_TRUE(isNear(image.pixel(200, 40), qRgb(220, 240, 255), 12));
    EXPECT_TRUE(isNear(image.pixel(199, 20), qRgb(255, 255, 255), 12));
    // The editing frame lies in the point outside the bounds, in the knob colour.
    EXPECT_TRUE(isNear(image.pixel(379, 40), SystemColors::knobColor().toQColor().rgb(), 20));
    for (int x = 381; x < 480; ++x)
        for (int y = 26; y < 55; ++y)
            ASSERT_TRUE(isWhite(image.pixel(x, y))) << x << "," << y << ": text or handles";
    EXPECT_TRUE(isWhite(image.pixel(380 + 50, 25 + 30 + 3)));
}

TEST_F(GraphicDrawingTest, CachedTextFollowsTheTextAndTheSize)
{
    auto area = TWGraphic::make<TWTextArea>(Rect(0, 0, 200, 20));
    // An empty text measures to the minimum size and lays nothing out.
    EXPECT_EQ(area->requiredSizeForWidth(200), Size(10, 15));
    EXPECT_EQ(area->requiredSizeForWidth(0), Size(10, 15));
    EXPECT_EQ(area->cachedTextLayout(), nullptr);
    EXPECT_FALSE(area->currentAlignment().has_value());
    area->setText(AttributedString("one two three"));
    const TWTextLayout *first = area->cachedTextLayout();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->lineCount(), 1);
    EXPECT_EQ(area->cachedTextLayout(), first) << "kept while nothing changes";
    area->setBounds(Rect(0, 0, 40, 60));
    const TWTextLayout *narrow = area->cachedTextLayout();
    ASSERT_NE(narrow, nullptr);
    EXPECT_GT(narrow->lineCount(), 1);
    area->setText(AttributedString("one"));
    ASSERT_NE(area->cachedTextLayout(), nullptr);
    EXPECT_EQ(area->cachedTextLayout()->attributedString().string(), "one");
}

TEST_F(GraphicDrawingTest, PicturesInShapesAreClippedMirroredAndOutlined)
{
    // The EPS picture is rendered whatever the machine's load: this test is
    // about where pictures are drawn, not how soon.
    PictureDrawing::setEPSTimeLimit(120000);
    struct Restore
    {
        ~Restore() { PictureDrawing::setEPSTimeLimit(PictureDrawing::epsTimeoutMilliseconds); }
    } restore;
    // PNG in an oval: clipped to it, the oval's outline over the picture.
    auto oval = TWGraphic::make<TWCircle>(Rect(20, 20, 120, 80));
    auto ovalBranch = branchWith(oval, nullptr, QColor(255, 255, 255));
    oval->setStrokeWidth(3);
    enclose(*ovalBranch, pngPicture(), "picture.png");
    // PDF in a rounded rectangle, selected with its glow.
    auto rectangle = TWGraphic::make<TWRectangle>(Rect(170, 20, 140, 80));
    rectangle->setCornerMode(1);
    rectangle->setCornerAmount(14);
    auto rectangleBranch = branchWith(rectangle, nullptr, QColor(255, 255, 255));
    auto pdf = enclose(*rectangleBranch, pdfPicture(), "picture.pdf");
    // EPS above a line: not clipped, casting the line branch's shadow.
    auto line = TWGraphic::make<TWLine>(Rect(340, 20, 120, 70));
    auto lineBranch = branchWith(line, nullptr, QColor(255, 255, 255));
    auto eps = enclose(*lineBranch, epsPicture(), "picture.eps");
    eps->setBounds(Rect(340, 20, 120, 60));
    eps->setDrawsShadow(true);
    eps->setInheritsShadow(false);
    eps->setShadow(kShadow);
    // An attached picture mirrored left to right, selected.
    auto a = child(root, 100, "a");
    auto attached = TWGraphic::make<TWImage>(Rect(490, 30, 60, 60));
    a->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    attached->setBranch(a.get());
    givePicture(*attached, pngPicture(), "attached.png");
    attached->setFlippedHorizontally(true);
    settle();

    const QImage image = render(Size(570, 115), [&](const DrawingContext &c) {
        for (TWMapBranch *b : {ovalBranch.get(), rectangleBranch.get(), lineBranch.get()}) {
            const bool selected = b == rectangleBranch.get();
            draw(c, *b->mainGraphic(), selected, selected);
            draw(c, *b->enclosedImage(), false, false);
        }
        draw(c, *attached, true);
    });
    EXPECT_TRUE(GoldenImage::matches(image, "graphic-pictures"));

    EXPECT_TRUE(isWhite(image.pixel(24, 24))) << "the oval's corner is clipped away";
    EXPECT_TRUE(isNear(image.pixel(60, 45), qRgb(30, 60, 220))) << "the picture inside";
    EXPECT_TRUE(isNear(image.pixel(343, 23), qRgb(30, 60, 220))) << "no clip above a line";
    EXPECT_TRUE(isNear(image.pixel(545, 35), qRgb(30, 60, 220))) << "the mark moved right";
    EXPECT_TRUE(isNear(image.pixel(495, 35), qRgb(220, 40, 40)));
    EXPECT_EQ(pdf->enclosingShapePath(), rectangle->bezierPath());
    EXPECT_EQ(eps->enclosingShapePath(), nullptr);
    EXPECT_EQ(attached->enclosingShapePath(), nullptr);

    // Without picture data only the fill is drawn.
    attached->setImageFilename(QStringLiteral("Images/missing.png"));
    attached->setDrawsFill(true);
    attached->setFillColor(Color::colorWithCalibratedRed(0, 0.5, 0));
    const QImage missing = render(Size(570, 115), [&](const DrawingContext &c) {
        draw(c, *attached, false, false);
    });
    EXPECT_TRUE(isNear(missing.pixel(520, 60), qRgb(0, 128, 0), 4));
    EXPECT_TRUE(isWhite(missing.pixel(480, 60)));
}

} // namespace
