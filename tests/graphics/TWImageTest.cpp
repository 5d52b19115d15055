#include "graphics/TWImage.h"
#include "BranchTestSupport.h"

#include <QBuffer>
#include <QImage>

using namespace BranchTest;

namespace {

class TWImageTest : public BranchFixture
{
protected:
    // A picture of 400 x 200 points in the package data, shown by `image`.
    void givePicture(TWImage &image)
    {
        QImage pixels(400, 200, QImage::Format_ARGB32);
        pixels.fill(Qt::red);
        pixels.setDotsPerMeterX(2835);
        pixels.setDotsPerMeterY(2835);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pixels.save(&buffer, "PNG");
        document->setObjectInCachedData(png, QStringLiteral("Images/picture.png"));
        image.setImageFilename(QStringLiteral("Images/picture.png"));
    }
};

TEST(TWImageResize, KeepsTheProportionsOfThePicture)
{
    const Rect b(100, 100, 200, 100);
    const Size picture(400, 200);
    struct Case
    {
        int knob;
        Point to;
        Rect bounds;
        int knobAfter;
        bool flippedH, flippedV;
    } cases[] = {
        // Side knobs: the other side follows, centred where it was.
        {5, {200, 0}, {100, 125, 100, 50}, 5, false, false},
        {4, {0, 0}, {0, 75, 300, 150}, 4, false, false},
        {7, {0, 150}, {150, 100, 100, 50}, 7, false, false},
        // Corners: the smaller scale wins and the opposite corner stays.
        {8, {400, 200}, {100, 100, 200, 100}, 8, false, false},
        {1, {0, 0}, {0, 50, 300, 150}, 1, false, false},
        {6, {0, 300}, {0, 100, 300, 150}, 6, false, false},
        // Past the opposite side: mirrored knob, the picture mirrored on
        // that axis only.
        {5, {40, 0}, {40, 135, 60, 30}, 4, true, false},
        {7, {0, 60}, {160, 60, 80, 40}, 2, false, true},
        {8, {50, 150}, {50, 100, 50, 25}, 6, true, false},
        // Not a knob of the bounds.
        {9, {0, 0}, b, 9, false, false},
    };
    for (const Case &c : cases) {
        const TWImage::ProportionalResize r = TWImage::proportionalResize(b, picture, c.knob, c.to);
        EXPECT_EQ(r.bounds, c.bounds) << c.knob;
        EXPECT_EQ(r.knob, c.knobAfter) << c.knob;
        EXPECT_EQ(r.flippedHorizontally, c.flippedH) << c.knob;
        EXPECT_EQ(r.flippedVertically, c.flippedV) << c.knob;
    }
}

TEST_F(TWImageTest, NaturalSizeResizeAndSelection)
{
    auto image = TWGraphic::make<TWImage>(Rect(100, 100, 200, 100));
    auto a = child(root, 100, "a");
    a->setEnclosedImage(image);
    image->setBranch(a.get());
    // Without a picture: 10 x 10, and the base's resize.
    image->setFlippedVertically(true);
    image->makeNaturalSize();
    EXPECT_EQ(image->bounds(), Rect(100, 100, 10, 10));
    EXPECT_FALSE(image->flippedVertically());
    EXPECT_EQ(image->resizeByMovingKnob(8, Point(150, 120), true), 8);
    EXPECT_EQ(image->bounds(), Rect(100, 100, 50, 20));

    givePicture(*image);
    image->makeNaturalSize();
    EXPECT_NEAR(image->bounds().width(), 400, 0.1);
    EXPECT_NEAR(image->bounds().height(), 200, 0.1);
    image->setBounds(Rect(100, 100, 200, 100));
    EXPECT_EQ(image->resizeByMovingKnob(5, Point(40, 130), true), 4);
    EXPECT_TRUE(image->flippedHorizontally());
    EXPECT_NEAR(image->bounds().x(), 40, 0.01);
    EXPECT_NEAR(image->bounds().width(), 60, 0.01);
    EXPECT_NEAR(image->bounds().height(), 30, 0.1);
    // Without the aspect flag the base resize runs.
    EXPECT_EQ(image->resizeByMovingKnob(8, Point(300, 300), false), 8);
    EXPECT_EQ(image->bounds().maxY(), 300.0f);

    // An enclosed picture sharing the shape selects as its branch.
    a->setEnclosedImageLayoutMode(0);
    EXPECT_FALSE(image->canBeSelected());
    a->setEnclosedImageLayoutMode(1);
    EXPECT_TRUE(image->canBeSelected());
}

} // namespace
