#include "../support/ImageTestData.h"
#include "BranchTestSupport.h"
#include "support/Image.h"

#include <QRegularExpression>
#include <cmath>

using namespace BranchTest;

namespace {

class TWMapBackgroundTest : public BranchFixture
{
protected:
    static std::shared_ptr<Image> picture(const QByteArray &data)
    {
        return std::make_shared<Image>(*Image::initWithData(data));
    }
    // 200.5 x 100 points.
    std::shared_ptr<Image> pdf = picture(ImageTestData::pdf());
    // 3 x 2 points.
    std::shared_ptr<Image> png = picture(ImageTestData::encoded("png"));

    struct State
    {
        std::optional<QString> filename;
        std::optional<QByteArray> data;
        Size size;
        Point offset;
        float opacity;
        bool locked;
        friend bool operator==(const State &, const State &) = default;
    };
    State state() const
    {
        return {map->backgroundImageFilename(), map->backgroundImageData(),
                map->backgroundImageSize(),     map->backgroundImageOffset(),
                map->backgroundImageOpacity(),  map->backgroundImageScaleLocked()};
    }
};

TEST_F(TWMapBackgroundTest, PicturesAreStoredByKindWithTheirSizeAndTheLockOn)
{
    struct Case
    {
        const char *what;
        std::shared_ptr<Image> image;
        float opacityBefore, opacityAfter;
        const char *extension;
        QByteArray data;
        Size size;
    };
    const Case cases[] = {
        {"PDF, opacity 0 becomes 1", pdf, 0.0f, 1.0f, "pdf", ImageTestData::pdf(), {200.5f, 100}},
        {"bitmap as TIFF, opacity kept",
         png,
         0.4f,
         0.4f,
         "tiff",
         png->TIFFRepresentation(),
         {3, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        map->setBackgroundImageOpacity(c.opacityBefore);
        map->setBackgroundImageScaleLocked(false);
        settle();
        map->setBackgroundImage(c.image);
        undo->closeEventGroup();
        EXPECT_EQ(undo->undoActionName(), "Change background image");
        const QString path = map->backgroundImageFilename().value_or(QString());
        EXPECT_TRUE(
            QRegularExpression(
                QString("^Images/DocumentBackground\\d+/ExtractedImage\\.%1$").arg(c.extension))
                .match(path)
                .hasMatch())
            << path.toStdString();
        EXPECT_EQ(map->backgroundImageData(), c.data);
        EXPECT_EQ(map->backgroundImage(), c.image);
        EXPECT_EQ(map->backgroundImageSize(), c.size);
        EXPECT_EQ(map->backgroundImageOpacity(), c.opacityAfter);
        EXPECT_TRUE(map->backgroundImageScaleLocked());

        // The same picture again is no step.
        const int steps = undo->undoStepCount();
        map->setBackgroundImage(c.image);
        undo->closeEventGroup();
        EXPECT_EQ(undo->undoStepCount(), steps);
    }
    map->setBackgroundImage(nullptr);
    EXPECT_EQ(map->backgroundImageFilename(), std::nullopt);
    EXPECT_EQ(map->backgroundImageData(), std::nullopt);
}

TEST_F(TWMapBackgroundTest, UndoingAReplacementRestoresTheWholePreviousPicture)
{
    map->setBackgroundImage(png);
    map->setBackgroundImageWidth(30); // locked: 30 x 20
    map->setBackgroundImageOffset(Point(5, 7));
    map->setBackgroundImageOpacity(0.3f);
    map->setBackgroundImageScaleLocked(false);
    settle();
    const State before = state();

    map->setBackgroundImage(pdf);
    undo->closeEventGroup();
    const State after = state();
    EXPECT_NE(after, before);

    undo->undo();
    EXPECT_EQ(state(), before);
    EXPECT_EQ(map->backgroundImage(), png);
    undo->redo();
    EXPECT_EQ(state(), after);
}

TEST_F(TWMapBackgroundTest, SplitKeysTakeWholeNumbersAndTheLockKeepsProportions)
{
    map->setBackgroundImage(pdf); // 200.5 x 100, locked
    map->setBackgroundImageWidth(120.2f);
    const Size locked = map->backgroundImageSize();
    EXPECT_FLOAT_EQ(locked.height, 120.2f / 200.5f * 100);
    map->setBackgroundImageWidth(120.7f); // same whole number: nothing
    EXPECT_EQ(map->backgroundImageSize(), locked);
    map->setBackgroundImageWidth(121.0f);
    EXPECT_EQ(map->backgroundImageSize(), Size(121.0f, 121.0f / 200.5f * 100));
    map->setBackgroundImageHeight(50);
    EXPECT_EQ(map->backgroundImageSize(), Size(50 / 100.0f * 200.5f, 50));

    map->setBackgroundImageScaleLocked(false);
    map->setBackgroundImageHeight(10);
    EXPECT_EQ(map->backgroundImageSize(), Size(50 / 100.0f * 200.5f, 10));
    // Locking again gives the height the picture's proportions.
    map->setBackgroundImageScaleLocked(true);
    EXPECT_FLOAT_EQ(map->backgroundImageHeight(), map->backgroundImageWidth() / 200.5f * 100);

    map->setBackgroundImageOffsetX(10.9f);
    map->setBackgroundImageOffsetY(-3.7f);
    EXPECT_EQ(map->backgroundImageOffset(), Point(10, -3));
}

TEST_F(TWMapBackgroundTest, TheLockWithoutAPictureSizeKeepsTheOtherSide)
{
    auto empty = std::make_shared<Image>(*pdf);
    empty->setSize(Size());
    for (const auto &image : {std::shared_ptr<Image>(), empty}) {
        SCOPED_TRACE(image ? "zero size" : "no picture");
        map->setBackgroundImageFilename(std::nullopt);
        if (image) {
            map->setBackgroundImage(image);
            map->setBackgroundImageSize(Size(40, 30));
        }
        map->setBackgroundImageScaleLocked(false);
        map->setBackgroundImageSize(Size(40, 30));
        map->setBackgroundImageScaleLocked(true);
        map->setBackgroundImageWidth(80);
        map->setBackgroundImageHeight(60);
        EXPECT_EQ(map->backgroundImageSize(), Size(80, 60));
    }
}

} // namespace
