#include "DocumentTestSupport.h"

#include "palettes/TWGraphicBindingController.h"

#include <QTest>

// The document's inspector follows its current map's selection.
TEST_F(DocumentTest, TheDocumentsBindingControllerFollowsItsSelection)
{
    TWDocument *document = untitled();
    ASSERT_TRUE(document);
    settle();
    TWGraphicBindingController *controller = document->graphicBindingController();
    ASSERT_TRUE(controller);
    TWMap *map = document->mapsDocument()->currentMap().get();
    ASSERT_TRUE(map && map->root());

    map->removeAllSelectedGraphics();
    map->root()->mainGraphic()->setDrawsFill(false);
    map->insertObjectInSelectedGraphicsAtIndex(map->root()->mainGraphic(), 0);
    NotificationQueue::defaultQueue().flush();
    EXPECT_TRUE(controller->updatePending());
    QTest::qWait(TWGraphicBindingController::UpdateDelayMilliseconds + 50);
    EXPECT_EQ(controller->drawsFill(), 0);
    EXPECT_EQ(controller->branchType(), map->root()->branchType());
}
