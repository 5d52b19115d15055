#include "MMImportTestSupport.h"

#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "mapdrawing/TWMapImages.h"

#include <QImage>

using namespace MMImportTest;

class MindManagerImportDrawing : public ImportFixture
{};

// The hand-made map of every feature imports, is arranged as the Import
// command arranges it, and draws: every topic, the relationship and the
// icons show. THINKWEB_KEEP_PICTURES names a folder to keep the picture in.
TEST_F(MindManagerImportDrawing, AMapOfEveryFeatureImportsAndDraws)
{
    const QString path = QStringLiteral(THINKWEB_TEST_DATA "/mindmanager/features.xml");
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(map(), path));
    EXPECT_TRUE(alerts.alerts().isEmpty());
    TWMapLayout::autoArrange(map());

    EXPECT_EQ(map().allBranches().size(), 9);
    ASSERT_EQ(map().countOfLinkLines(), 1);
    EXPECT_EQ(branch("icons").countOfOtherEnclosedGraphics(), 3);
    EXPECT_TRUE(branch("mail").childrenHidden());
    EXPECT_EQ(document->creator(), QStringLiteral("Ann Lee"));
    EXPECT_EQ(document->resources().size(), 2);

    const Rect extent = map().getBoundingDrawingRectForAllGraphics();
    const QImage image = TWMapImages::imageOfMap(map(), extent, 1, true);
    ASSERT_FALSE(image.isNull());
    if (const QString folder = qEnvironmentVariable("THINKWEB_KEEP_PICTURES"); !folder.isEmpty())
        image.save(folder + "/mindmanager-features.png");
    // Every shown topic leaves ink inside its shape.
    const QRgb ground = image.pixel(0, 0);
    for (const char *oid : {"centre", "plan", "tasks", "icons", "links", "picture", "floating"}) {
        const Rect b = branch(oid).branchBounds();
        qsizetype inked = 0;
        for (int y = int(b.minY() - extent.minY()); y < int(b.maxY() - extent.minY()); ++y)
            for (int x = int(b.minX() - extent.minX()); x < int(b.maxX() - extent.minX()); ++x)
                if (image.rect().contains(x, y))
                    inked += image.pixel(x, y) != ground;
        EXPECT_GT(inked, 20) << oid;
    }
}
