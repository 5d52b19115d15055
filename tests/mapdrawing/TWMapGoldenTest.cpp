#include "../../bench/GeneratedMap.h"
#include "GoldenImage.h"
#include "MapDrawingFixture.h"
#include "PictureTestData.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "render/TWTextLayout.h"

using namespace MapDrawingTest;

namespace {

// Three representative maps: every branch kind with every indicator, a
// tiled background picture, and a generated map fitted into a thumbnail.
class MapGoldenTest : public MapFixture
{
protected:
    MapGoldenTest()
    {
        map->setBackgroundColor(Color::colorWithCalibratedRed(0.96, 0.97, 1.0));
        map->setShowCollapseSign(true);
        map->setDrawBackgroundOffScreen(true);
    }
    std::shared_ptr<TWMapBranch> shaped(TWMapBranch *parent, std::shared_ptr<TWGraphic> shape,
                                        const QString &name, const QColor &fill)
    {
        const Rect b = shape->bounds();
        shape->setInheritsFill(false);
        shape->setFillColor(Color::fromQColor(fill));
        shape->setInheritsStroke(false);
        shape->setStrokeColor(Color::colorWithCalibratedRed(0.2, 0.25, 0.4));
        auto branch = TWMapBranch::createWithGraphic(shape, parent, map.get());
        branch->enclosedTextArea()->setString(name);
        const Size need = TWTextLayout::requiredSizeForWidth(branch->enclosedTextArea()->text(),
                                                             b.size.width - 8);
        branch->enclosedTextArea()->setBounds(
            Rect(b.origin.x + 4, b.midY() - need.height / 2, b.size.width - 8, need.height));
        branch->setTextRelativePosition(2);
        return branch;
    }
};

TEST_F(MapGoldenTest, BranchKindsAndIndicators)
{
    auto top = shaped(nullptr, TWGraphic::make<TWRectangle>(Rect(20, 90, 120, 40)), "Root",
                      QColor(255, 214, 102));
    map->setRoot(top);
    shaped(top.get(), TWGraphic::make<TWCircle>(Rect(200, 20, 100, 40)), "Oval",
           QColor(170, 220, 255));
    shaped(top.get(), TWGraphic::make<TWCloud>(Rect(200, 80, 100, 44)), "Cloud",
           QColor(200, 240, 200));
    shaped(top.get(), TWGraphic::make<TWLine>(Rect(200, 150, 100, 20)), "Line",
           QColor(255, 255, 255));
    auto tasks = shaped(top.get(), TWGraphic::make<TWRectangle>(Rect(340, 60, 190, 40)), "Tasks",
                        QColor(255, 230, 230));
    tasks->enclosedTextArea()->setBounds(Rect(344, 66, 80, 28));
    tasks->insertObjectInHyperlinksAtIndex(hyperlink(1), 0);
    tasks->insertObjectInAttachedTextArrayAtIndex(attachedText(), 0);
    tasks->setShowCheckBox(true);
    tasks->setCheckBoxState(1);
    tasks->setPriority(2);
    tasks->setPercentageComplete(40);
    // A collapsed branch shows the expand sign, an open one the collapse sign.
    auto collapsed = shaped(top.get(), TWGraphic::make<TWRectangle>(Rect(340, 130, 100, 30)),
                            "Collapsed", QColor(230, 230, 255));
    shaped(collapsed.get(), TWGraphic::make<TWRectangle>(Rect(480, 130, 60, 30)), "x", Qt::white);
    collapsed->setChildrenHidden(true);
    auto open = shaped(top.get(), TWGraphic::make<TWRectangle>(Rect(340, 180, 100, 30)), "Open",
                       QColor(230, 255, 230));
    shaped(open.get(), TWGraphic::make<TWRectangle>(Rect(480, 180, 70, 30)), "Child", Qt::white);

    const QImage image = TWMapImages::imageOfMap(*map, Rect(0, 0, 580, 230), 1, true);
    EXPECT_TRUE(GoldenImage::matches(image, "map-branch-kinds"));
    map->setRoot(root);
}

TEST_F(MapGoldenTest, TiledBackgroundPicture)
{
    document->setObjectInCachedData(PictureTestData::pngPicture(), "Images/tile.png");
    map->setBackgroundImageFilename(QStringLiteral("Images/tile.png"));
    map->setBackgroundImageSize(Size(40, 30));
    map->setBackgroundImageOpacity(0.5);
    map->setBackgroundImageTileMode(0);
    shaped(root.get(), TWGraphic::make<TWCircle>(Rect(330, 250, 110, 40)), "Over the tiles",
           QColor(255, 255, 255, 200));
    const QImage image = render(
        Size(300, 200),
        [&](const DrawingContext &c) {
            c.painter().translate(-200, -120);
            TWMapDrawing::drawMapInRect(c, *map, Rect(200, 120, 300, 200));
        },
        true);
    EXPECT_TRUE(GoldenImage::matches(image, "map-background-tiled"));
}

TEST_F(MapGoldenTest, GeneratedMapFittedIntoAThumbnail)
{
    GeneratedMap::fill(*map, 60);
    const QImage image = render(Size(240, 180), [&](const DrawingContext &c) {
        TWMapDrawing::drawMapInRect(c, *map, Rect(0, 0, 240, 180), TWMapDrawing::drawingRect(*map),
                                    {}, false);
    });
    EXPECT_TRUE(GoldenImage::matches(image, "map-generated-fitted"));
}

} // namespace
