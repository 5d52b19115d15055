#include "BranchTestSupport.h"
#include "KindXMLSupport.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWBranchBounds.h"
#include "graphics/TWCheckBox.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWCustomBranchShapeDefinition.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWInterpolatedColor.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWScribble.h"
#include "support/BezierPath.h"

using namespace BranchTest;
using namespace KindXML;

namespace {

class TWKindsTest : public BranchFixture
{
protected:
    std::shared_ptr<TWMapBranch> shapeBranch(std::shared_ptr<TWGraphic> shape)
    {
        return TWMapBranch::createWithGraphic(shape, root.get(), map.get());
    }
    const Color red = Color::colorWithCalibratedRed(1, 0, 0, 1);
    const Color green = Color::colorWithCalibratedRed(0, 1, 0, 1);
};

TEST_F(TWKindsTest, RoundedRectangleRadiusIsAtMostHalfTheShorterSide)
{
    EXPECT_EQ(TWRectangle::cornerRadius(Rect(0, 0, 100, 12), 10), 6.0f);
    EXPECT_EQ(TWRectangle::cornerRadius(Rect(0, 0, 100, 50), 10), 10.0f);
    auto r = TWGraphic::make<TWRectangle>(Rect(10, 20, 100, 12));
    EXPECT_EQ(r->bezierPath()->elementCount(), 5); // corner mode 0: square corners
    r->setCornerMode(1);
    const auto rounded = r->bezierPath();
    EXPECT_GT(rounded->elementCount(), 5);
    EXPECT_EQ(rounded->bounds(), Rect(10, 20, 100, 12));
    // The straight bottom edge ends where the 6-point corner begins.
    EXPECT_EQ(rounded->elementAtIndex(1).points[0], Point(104, 32));
}

TEST_F(TWKindsTest, PictureAreaLeavesTheLabelBandOut)
{
    auto oval = shapeBranch(TWGraphic::make<TWCircle>(Rect(500, 100, 120, 100)));
    oval->setTextRelativePosition(1);
    oval->enclosedTextArea()->setBounds(Rect(505, 103, 110, 14));
    EXPECT_EQ(oval->mainGraphic()->imageBoundsAssertingMainGraphic(false), Rect(500, 117, 120, 83));
    EXPECT_EQ(oval->mainGraphic()->bezierPath()->bounds(), Rect(500, 117, 120, 83));

    auto line = shapeBranch(TWGraphic::make<TWLine>(Rect(500, 300, 120, 100)));
    line->setTextRelativePosition(3);
    line->enclosedTextArea()->setBounds(Rect(505, 380, 110, 14));
    EXPECT_EQ(line->mainGraphic()->imageBoundsAssertingMainGraphic(false), Rect());
    line->setEnclosedImage(TWGraphic::createWithBounds(Rect(500, 300, 120, 80)));
    EXPECT_EQ(line->mainGraphic()->imageBoundsAssertingMainGraphic(false), Rect(500, 300, 120, 80));
}

TEST_F(TWKindsTest, LinesAreThinTargetsWithSideKnobs)
{
    auto line = TWGraphic::make<TWLine>(Rect(100, 100, 80, 2));
    line->setStrokeWidth(2);
    EXPECT_EQ(line->knobMask(), TWLine::SideKnobsMask);
    // The 2-point line is hit from 5 points above its top to 5 below its bottom.
    EXPECT_TRUE(line->hitTest(Point(120, 95), false));
    EXPECT_FALSE(line->hitTest(Point(120, 94.9f), false));
    EXPECT_TRUE(line->hitTest(Point(120, 106.9f), false));
    EXPECT_FALSE(line->hitTest(Point(120, 107), false));
    EXPECT_TRUE(line->hitTest(Point(180, 101), true)); // knob 5 when selected
    EXPECT_FALSE(line->drawsFill());
    EXPECT_EQ(line->bezierPath()->bounds(), Rect(100, 102, 80, 0));
    line->setImageFilename(QStringLiteral("Images/Graphic1/a.png"));
    EXPECT_EQ(line->knobMask(), ~0);
    EXPECT_TRUE(line->hasNaturalSize());
}

TEST_F(TWKindsTest, CustomShapesUseTheirNamedOutline)
{
    BezierPath diamond;
    diamond.moveToPoint(Point(5, 0));
    diamond.lineToPoint(Point(10, 5));
    diamond.lineToPoint(Point(5, 10));
    diamond.lineToPoint(Point(0, 5));
    diamond.closePath();
    TWCustomBranchShapeDefinition::registerDefinition(
        std::make_shared<TWCustomBranchShapeDefinition>("diamond", diamond));
    auto shape = TWGraphic::make<TWCustomBranchShape>(Rect(100, 100, 80, 40));
    EXPECT_GT(shape->bezierPath()->elementCount(), 5); // rounded rectangle without a name
    shape->setShapeName(QStringLiteral("diamond"));
    const auto path = shape->bezierPath();
    EXPECT_EQ(path->elementCount(), 5);
    EXPECT_EQ(path->elementAtIndex(1).points[0], Point(180, 120));
    TWCustomBranchShapeDefinition::unregisterDefinition("diamond");
}

TEST_F(TWKindsTest, RecordsAndTheirElements)
{
    const TWBranchBounds bounds(Rect(10, 20, 30, 40));
    EXPECT_EQ(bounds.getMinX(), 10.0f);
    EXPECT_EQ(bounds.getMaxX(), 40.0f);
    EXPECT_EQ(bounds.getMinY(), 20.0f);
    EXPECT_EQ(bounds.getMaxY(), 60.0f);
    EXPECT_EQ(bounds.getMidY(), 40.0f);

    Holder out;
    TWInterpolatedColor(red, 45).addXmlDataToNode(out.container);
    TWCustomBranchShapeDefinition("star", std::nullopt).addXmlDataToNode(out.container);
    TWEnclosedGraphic(QString(), QString(), TWGraphic::createWithBounds(Rect(1, 2, 3, 4)))
        .addXmlDataToNode(out.container);
    const QByteArray text = out.text();
    EXPECT_TRUE(text.contains("<angle>45.000000</angle>"));
    EXPECT_TRUE(text.contains("<TWEnclosedGraphic><graphic><TWGraphic>"));

    Holder in(text);
    const TWInterpolatedColor color = TWInterpolatedColor::initWithXMLNode(in.container, in.doc);
    EXPECT_EQ(color.color(), red);
    EXPECT_EQ(color.angle(), 45.0f);
    auto definition = TWCustomBranchShapeDefinition::initWithXMLNode(in.container, in.doc);
    ASSERT_TRUE(definition);
    EXPECT_EQ(definition->shapeName(), "star");
    EXPECT_FALSE(definition->outlinePath());
    auto record = TWEnclosedGraphic::initWithXMLNode(in.container, in.doc, root.get());
    EXPECT_TRUE(record->name().isNull());
    EXPECT_FALSE(record->path());
    ASSERT_TRUE(record->graphic());
    EXPECT_EQ(record->graphic()->bounds(), Rect(1, 2, 3, 4));

    Holder nameless("<x><TWCustomBranchShapeDefinition/></x>");
    EXPECT_FALSE(TWCustomBranchShapeDefinition::initWithXMLNode(nameless.container, nameless.doc));
}

TEST_F(TWKindsTest, CheckBoxesAndScribblesRoundTrip)
{
    auto box = TWGraphic::make<TWCheckBox>(Rect(0, 0, 10, 10));
    box->setState(2);
    box->setThreeState(true);
    auto boxBack = roundTrip<TWCheckBox>(*box, root.get());
    ASSERT_TRUE(boxBack);
    EXPECT_EQ(boxBack->state(), 2);
    EXPECT_TRUE(boxBack->threeState());
    auto plain = std::dynamic_pointer_cast<TWCheckBox>(read(element("TWCheckBox", ""), root.get()));
    EXPECT_EQ(plain->state(), 0);
    EXPECT_FALSE(plain->threeState());

    auto scribble = TWGraphic::make<TWScribble>();
    ASSERT_EQ(scribble->countOfPaths(), 1);
    EXPECT_EQ(scribble->objectInPathsAtIndex(0).color, Color::colorWithCalibratedRed(0, 0, 0, 1));
    EXPECT_EQ(scribble->path()->lineWidth(), 3.0f);
    EXPECT_TRUE(scribble->path()->isEmpty());
    scribble->path()->moveToPoint(Point(1, 1));
    scribble->path()->lineToPoint(Point(5, 2));
    scribble->newPathColored(red);
    scribble->path()->moveToPoint(Point(2, 2));
    scribble->newPathColored(green);
    auto back = roundTrip<TWScribble>(*scribble, root.get());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->countOfPaths(), 3);
    EXPECT_EQ(back->objectInPathsAtIndex(1).color, red);
    EXPECT_EQ(back->objectInPathsAtIndex(2).color, green);
    EXPECT_EQ(back->objectInPathsAtIndex(0).path->elementCount(), 2);
    // The pen draws on into the last stroke read.
    EXPECT_EQ(back->path(), back->objectInPathsAtIndex(2).path);

    // Stroke edits undo in place.
    back->setBranch(root.get());
    settle();
    back->removeObjectFromPathsAtIndex(1);
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(back->objectInPathsAtIndex(1).color, red);

    auto colourless = std::dynamic_pointer_cast<TWScribble>(
        read(element("TWScribble", "<paths><path><bezierPath/></path></paths>"), root.get()));
    ASSERT_EQ(colourless->countOfPaths(), 1);
    EXPECT_FALSE(colourless->objectInPathsAtIndex(0).color);
    // A stroke read without a path gets an empty one to draw on; a scribble
    // read without strokes starts one, as a new scribble does.
    ASSERT_TRUE(colourless->path());
    EXPECT_EQ(colourless->path(), colourless->objectInPathsAtIndex(0).path);
    EXPECT_EQ(colourless->path()->lineWidth(), TWScribble::DefaultThickness);
    for (const char *children : {"<paths/>", ""}) {
        auto empty = std::dynamic_pointer_cast<TWScribble>(
            read(element("TWScribble", children), root.get()));
        ASSERT_EQ(empty->countOfPaths(), 1) << children;
        EXPECT_EQ(empty->path(), empty->objectInPathsAtIndex(0).path) << children;
        EXPECT_TRUE(empty->path()->isEmpty());
    }
}

TEST_F(TWKindsTest, BoundaryProxyForwardsToTheBranchAndRefusesTheRest)
{
    auto b = child(root, 100, "b");
    auto proxy = b->boundaryProxy();
    proxy->setStrokeColor(red);
    proxy->setFillColor(green);
    proxy->setStrokeStyle(3);
    proxy->setStrokeWidth(4);
    proxy->setCornerAmount(7);
    proxy->setCornerMode(2);
    proxy->setDrawsStroke(false);
    proxy->setDrawsFill(true);
    EXPECT_EQ(b->boundaryLineColor(), red);
    EXPECT_EQ(b->boundaryFillColor(), green);
    EXPECT_EQ(b->boundaryLineStyle(), 3);
    EXPECT_EQ(b->boundaryLineWidth(), 4.0f);
    EXPECT_EQ(b->boundaryCurveRadius(), 7.0f);
    EXPECT_EQ(b->boundaryCornerStyle(), 2);
    EXPECT_FALSE(b->boundaryDrawsLine());
    EXPECT_TRUE(b->boundaryDrawsFill());
    EXPECT_EQ(proxy->strokeWidth(), 4.0f);
    EXPECT_FALSE(b->mainGraphic()->strokeColor());

    proxy->setInheritsStroke(false);
    EXPECT_EQ(proxy->inheritedStrokeColor(), red);
    proxy->setInheritsStroke(true);
    EXPECT_TRUE(b->boundaryInheritsLineColor());
    EXPECT_EQ(proxy->inheritedStrokeColor(), b->mainGraphic()->inheritedStrokeColor());

    layout->boundaryPath = Rect(480, 90, 120, 50);
    proxy->setBounds(Rect(0, 0, 5, 5));
    EXPECT_EQ(proxy->bounds(), Rect(480, 90, 120, 50));
    EXPECT_EQ(proxy->graphicNumber(), 0);
    EXPECT_TRUE(proxy->isMainGraphic());
    proxy->setDrawsShadow(true);
    EXPECT_FALSE(proxy->drawsShadow());

    Holder holder;
    EXPECT_EQ(proxy->addXmlDataToNode(holder.container), nullptr);
    EXPECT_EQ(holder.text(), "<graphic/>");
    EXPECT_FALSE(read(element("TWBoundaryProxy", ""), b.get()));
}

} // namespace
