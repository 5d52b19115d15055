#include "TWMapsDocTestSupport.h"

#include <QRectF>

using namespace MapsDocTest;

namespace {

const QStringList mapNotifications = {
    TWMapsDoc::UpdateMapTabsNotification,
    TWMapsDoc::SelectedGraphicsChangedNotification,
    TWMapsDoc::DelayedRedrawInRectNotification,
    TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification,
};

class TWMapsDocMapsTest : public MapsDocFixture
{
protected:
    // The current map must always be the map its number names.
    static void expectCurrent(const TWMapsDoc &document, const std::shared_ptr<TWMap> &map)
    {
        EXPECT_EQ(document.currentMap(), map);
        if (map) {
            ASSERT_GE(document.currentMapNumber(), 0);
            ASSERT_LT(document.currentMapNumber(), document.countOfMaps());
            EXPECT_EQ(document.maps().at(document.currentMapNumber()), map);
        } else {
            EXPECT_EQ(document.currentMapNumber(), -1);
        }
    }

    void closeStep() { undo->closeEventGroup(); }
};

TEST_F(TWMapsDocMapsTest, NewDocumentHasNoCurrentMap)
{
    auto document = TWMapsDoc::create();
    EXPECT_EQ(document->countOfMaps(), 0);
    expectCurrent(*document, nullptr);
    EXPECT_EQ(document->objectInMapsAtIndex(0), nullptr);
    EXPECT_EQ(document->objectInMapsAtIndex(-1), nullptr);
}

TEST_F(TWMapsDocMapsTest, MapsBelongToTheirDocumentWhileListed)
{
    auto document = documentWithMaps(2);
    const auto first = document->maps().at(0);
    EXPECT_EQ(first->document(), document.get());
    document->removeObjectFromMapsAtIndex(0);
    EXPECT_EQ(first->document(), nullptr);
    closeStep();
    undo->undo();
    EXPECT_EQ(first->document(), document.get());
    EXPECT_EQ(document->maps().at(0), first);
}

TEST_F(TWMapsDocMapsTest, InsertingBeforeTheCurrentMapShiftsItsNumber)
{
    auto document = documentWithMaps(3);
    const auto b = document->maps().at(1);
    document->setCurrentMapNumber(1);

    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 0);
    EXPECT_EQ(document->currentMapNumber(), 2);
    expectCurrent(*document, b);

    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 2);
    EXPECT_EQ(document->currentMapNumber(), 3);
    expectCurrent(*document, b);

    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), document->countOfMaps());
    expectCurrent(*document, b);
}

TEST_F(TWMapsDocMapsTest, InsertionRefusesBadIndexesAndDuplicates)
{
    auto document = documentWithMaps(1);
    const auto map = document->maps().at(0);
    WarningCapture warnings;
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 5);
    document->insertObjectInMapsAtIndex(map, 1);
    document->insertObjectInMapsAtIndex(nullptr, 0);
    EXPECT_EQ(document->countOfMaps(), 1);
    EXPECT_EQ(warnings.lines().size(), 3);
    closeStep();
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWMapsDocMapsTest, DeletingTheCurrentFirstOfThreeMakesTheLastCurrent)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(0);
    closeStep();

    document->removeObjectFromMapsAtIndex(0);
    EXPECT_EQ(document->maps(), (TWMapsDoc::MapList{maps[1], maps[2]}));
    expectCurrent(*document, maps[2]);
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Delete Mind Map");

    undo->undo();
    EXPECT_EQ(document->maps(), maps);
    expectCurrent(*document, maps[0]);

    undo->redo();
    EXPECT_EQ(document->maps(), (TWMapsDoc::MapList{maps[1], maps[2]}));
    expectCurrent(*document, maps[2]);
}

TEST_F(TWMapsDocMapsTest, DeletingAnotherMapAlsoMakesTheLastCurrent)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(0);
    closeStep();

    document->removeObjectFromMapsAtIndex(2);
    expectCurrent(*document, maps[1]);
    closeStep();
    undo->undo();
    EXPECT_EQ(document->maps(), maps);
    expectCurrent(*document, maps[0]);
}

TEST_F(TWMapsDocMapsTest, DeletingBeforeTheCurrentLastMapKeepsNamingIt)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(2);
    closeStep();

    document->removeObjectFromMapsAtIndex(0);
    expectCurrent(*document, maps[2]);
    EXPECT_EQ(document->currentMapNumber(), 1);
    closeStep();
    undo->undo();
    expectCurrent(*document, maps[2]);
    EXPECT_EQ(document->currentMapNumber(), 2);
}

TEST_F(TWMapsDocMapsTest, DeletingWithoutCurrentMapKeepsNone)
{
    auto document = documentWithMaps(3);
    document->removeObjectFromMapsAtIndex(1);
    expectCurrent(*document, nullptr);
    EXPECT_EQ(document->countOfMaps(), 2);
}

TEST_F(TWMapsDocMapsTest, DeletingTheOnlyMapClearsTheCurrentMap)
{
    auto document = documentWithMaps(1);
    const auto only = document->maps().at(0);
    document->setCurrentMapNumber(0);
    closeStep();

    document->removeObjectFromMapsAtIndex(0);
    EXPECT_EQ(document->countOfMaps(), 0);
    expectCurrent(*document, nullptr);
    closeStep();

    undo->undo();
    expectCurrent(*document, only);
}

TEST_F(TWMapsDocMapsTest, DeletingOutOfRangeChangesNothing)
{
    auto document = documentWithMaps(2);
    document->setCurrentMapNumber(1);
    closeStep();
    const int steps = undo->undoStepCount();
    WarningCapture warnings;
    document->removeObjectFromMapsAtIndex(2);
    document->removeObjectFromMapsAtIndex(-1);
    closeStep();
    EXPECT_EQ(document->countOfMaps(), 2);
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_EQ(warnings.lines().size(), 2);
}

TEST_F(TWMapsDocMapsTest, CreatingAMapAppendsItAndUndoRestoresThePreviousCurrentMap)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(0);
    closeStep();

    document->publicCreateNewMapAtIndex(1); // the index is not used
    closeStep();
    ASSERT_EQ(document->countOfMaps(), 4);
    const auto created = document->maps().at(3);
    EXPECT_EQ(created->document(), document.get());
    expectCurrent(*document, created);
    EXPECT_EQ(undo->undoActionName(), "Create New Mind Map");

    undo->undo();
    EXPECT_EQ(document->maps(), maps);
    expectCurrent(*document, maps[0]);
    EXPECT_EQ(undo->redoActionName(), "Create New Mind Map");

    undo->redo();
    EXPECT_EQ(document->countOfMaps(), 4);
    expectCurrent(*document, created);
    EXPECT_EQ(undo->undoActionName(), "Create New Mind Map");

    undo->undo();
    expectCurrent(*document, maps[0]);
}

TEST_F(TWMapsDocMapsTest, CreatingInAnEmptyDocumentAndUndoing)
{
    auto document = documentWithMaps(0);
    document->publicCreateNewMapAtIndex(0);
    closeStep();
    ASSERT_EQ(document->countOfMaps(), 1);
    expectCurrent(*document, document->maps().at(0));
    undo->undo();
    EXPECT_EQ(document->countOfMaps(), 0);
    expectCurrent(*document, nullptr);
}

TEST_F(TWMapsDocMapsTest, ReorderingAndUndoingRestoresOrderAndCurrentMap)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(1);
    closeStep();

    document->publicMoveMapFromIndex(0, 2);
    closeStep();
    EXPECT_EQ(document->maps(), (TWMapsDoc::MapList{maps[1], maps[2], maps[0]}));
    expectCurrent(*document, maps[0]);
    EXPECT_EQ(undo->undoActionName(), "Reorder Mind Maps");

    undo->undo();
    EXPECT_EQ(document->maps(), maps);
    expectCurrent(*document, maps[1]);

    undo->redo();
    EXPECT_EQ(document->maps(), (TWMapsDoc::MapList{maps[1], maps[2], maps[0]}));
    expectCurrent(*document, maps[0]);
}

TEST_F(TWMapsDocMapsTest, ReorderingFromTheCurrentMapAndUndoing)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(0);
    closeStep();

    document->publicMoveMapFromIndex(0, 2);
    closeStep();
    undo->undo();
    EXPECT_EQ(document->maps(), maps);
    expectCurrent(*document, maps[0]);
}

TEST_F(TWMapsDocMapsTest, MovingAMapToItsOwnPlaceIsStillOneStep)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(2);
    closeStep();
    const int steps = undo->undoStepCount();

    document->publicMoveMapFromIndex(1, 1);
    closeStep();
    EXPECT_EQ(document->maps(), maps);
    expectCurrent(*document, maps[1]);
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    EXPECT_EQ(undo->undoActionName(), "Reorder Mind Maps");
    undo->undo();
    expectCurrent(*document, maps[2]);
}

TEST_F(TWMapsDocMapsTest, MovingWithBadIndexesBeepsAndChangesNothing)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->publicMoveMapFromIndex(3, 0);
    document->publicMoveMapFromIndex(0, 3);
    document->publicMoveMapFromIndex(-1, 0);
    closeStep();
    EXPECT_EQ(alerts.beepCount(), 3);
    EXPECT_EQ(document->maps(), maps);
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWMapsDocMapsTest, SettingTheStoredNumberDoesNothing)
{
    auto document = documentWithMaps(2);
    document->setCurrentMapNumber(1);
    closeStep();
    const int steps = undo->undoStepCount();
    EventLog log;
    NotificationRecorder recorder(log, mapNotifications);

    document->setCurrentMapNumber(1);
    closeStep();
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(undo->undoStepCount(), steps);
}

TEST_F(TWMapsDocMapsTest, ANumberNamingNoMapLeavesNoneCurrent)
{
    auto document = documentWithMaps(2);
    document->setCurrentMapNumber(0);
    WarningCapture warnings;
    document->setCurrentMapNumber(7);
    expectCurrent(*document, nullptr);
    document->setCurrentMapNumber(-4);
    expectCurrent(*document, nullptr);
    EXPECT_EQ(warnings.lines().size(), 2);
}

TEST_F(TWMapsDocMapsTest, SwitchingMapsIsUndoable)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMapNumber(0);
    closeStep();
    document->setCurrentMapNumber(2);
    closeStep();
    undo->undo();
    expectCurrent(*document, maps[0]);
    undo->redo();
    expectCurrent(*document, maps[2]);
}

TEST_F(TWMapsDocMapsTest, MakingAMapCurrentTalksToTheWindowAndPostsInOrder)
{
    auto document = documentWithMaps(2);
    const auto second = document->maps().at(1);
    EventLog log;
    RecordingOwner owner(log);
    document->setDocument(&owner);
    NotificationRecorder recorder(log, mapNotifications);

    document->setCurrentMapNumber(1);
    EXPECT_EQ(log.events, (QStringList{
                              "UpdateMapTabsNotification",
                              "save visible rect",
                              "select map",
                              "restore visible rect",
                              "SelectedGraphicsChangedNotification",
                              "DelayedRedrawInRectNotification",
                              "TWPrintCanvasControllerNeedsUpdateWhenIdle",
                          }));
    EXPECT_EQ(owner.selectedMap, second);

    const Notification tabs = recorder.named("UpdateMapTabsNotification").at(0);
    EXPECT_EQ(tabs.sender, document.get());
    const Notification selection = recorder.named("SelectedGraphicsChangedNotification").at(0);
    EXPECT_EQ(selection.sender, second.get());
    EXPECT_TRUE(selection.userInfo.contains(TWMapsDoc::AffectedGraphicsKey));
    const Notification redraw = recorder.named("DelayedRedrawInRectNotification").at(0);
    EXPECT_EQ(redraw.userInfo.value(TWMapsDoc::MapKey).value<TWMap *>(), second.get());
    EXPECT_EQ(redraw.userInfo.value(TWMapsDoc::RectKey).toRectF(), QRectF(0, 0, 617, 458));
    document->setDocument(nullptr);
}

TEST_F(TWMapsDocMapsTest, DeletingPostsInTheOrderGiven)
{
    auto document = documentWithMaps(3);
    document->setCurrentMapNumber(0);
    EventLog log;
    RecordingOwner owner(log);
    document->setDocument(&owner);
    NotificationRecorder recorder(log, mapNotifications);

    document->removeObjectFromMapsAtIndex(0);
    EXPECT_EQ(log.events, (QStringList{
                              // no map current for a moment
                              "UpdateMapTabsNotification",
                              // the last map becomes current
                              "UpdateMapTabsNotification",
                              "save visible rect",
                              "select map",
                              "restore visible rect",
                              "SelectedGraphicsChangedNotification",
                              "DelayedRedrawInRectNotification",
                              "TWPrintCanvasControllerNeedsUpdateWhenIdle",
                              // once more for that map
                              "SelectedGraphicsChangedNotification",
                              "DelayedRedrawInRectNotification",
                              // the deletion itself
                              "UpdateMapTabsNotification",
                              "TWPrintCanvasControllerNeedsUpdateWhenIdle",
                          }));
    document->setDocument(nullptr);
}

TEST_F(TWMapsDocMapsTest, DeletingTheOnlyMapPostsOnlyTabAndPrintUpdates)
{
    auto document = documentWithMaps(1);
    document->setCurrentMapNumber(0);
    EventLog log;
    NotificationRecorder recorder(log, mapNotifications);
    document->removeObjectFromMapsAtIndex(0);
    EXPECT_EQ(log.events, (QStringList{
                              "UpdateMapTabsNotification",
                              "UpdateMapTabsNotification",
                              "TWPrintCanvasControllerNeedsUpdateWhenIdle",
                          }));
}

TEST_F(TWMapsDocMapsTest, AddMapCanMakeItCurrent)
{
    auto document = documentWithMaps(1);
    auto map = TWMap::create(nullptr);
    document->addMap(map, true);
    EXPECT_EQ(map->document(), document.get());
    expectCurrent(*document, map);
    document->addMap(TWMap::create(nullptr), false);
    expectCurrent(*document, map);
}

TEST_F(TWMapsDocMapsTest, SetCurrentMapKeepsTheNumberInStep)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    document->setCurrentMap(maps[2]);
    expectCurrent(*document, maps[2]);
    document->setCurrentMap(TWMap::create(nullptr)); // not in the document
    expectCurrent(*document, nullptr);
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWMapsDocMapsTest, RangesOfMaps)
{
    auto document = documentWithMaps(3);
    const auto maps = document->maps();
    EXPECT_EQ(document->getMaps(1, 2), (TWMapsDoc::MapList{maps[1], maps[2]}));
    WarningCapture warnings;
    EXPECT_TRUE(document->getMaps(2, 2).isEmpty());
    EXPECT_EQ(warnings.lines().size(), 1);
}

TEST_F(TWMapsDocMapsTest, ReparentAndDeparentGiveAndTakeTheDocument)
{
    auto document = documentWithMaps(2);
    document->deparent();
    for (const auto &map : document->maps())
        EXPECT_EQ(map->document(), nullptr);
    document->reparent();
    for (const auto &map : document->maps())
        EXPECT_EQ(map->document(), document.get());
}

TEST_F(TWMapsDocMapsTest, ReleasingTheDocumentPostsNothingAndCutsBackPointers)
{
    auto document = documentWithMaps(2);
    document->setCurrentMapNumber(1);
    closeStep();
    const auto map = document->maps().at(0);
    EventLog log;
    NotificationRecorder recorder(log, mapNotifications);
    document->detach();
    document.reset();
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(map->document(), nullptr);
    // Steps that refer to the gone document do nothing.
    undo->undo();
    EXPECT_TRUE(log.events.isEmpty());
}

} // namespace
