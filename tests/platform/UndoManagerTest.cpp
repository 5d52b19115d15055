#include "platform/UndoManager.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

#include <gtest/gtest.h>

namespace {

// A tiny model whose setter registers its own inverse, as the real model does.
struct Model
{
    UndoManager *undo = nullptr;
    int value = 0;
    QList<int> restored; // the values the inverses set, in order

    void setValue(int v)
    {
        if (v == value)
            return;
        UndoManager::registerUndo(undo, [this, old = value] {
            restored << old;
            setValue(old);
        });
        value = v;
    }
};

class UndoManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model.undo = &um;
        QObject::connect(&um, &UndoManager::groupClosed, [this] { ++closed; });
        QObject::connect(&um, &UndoManager::didUndo, [this] { ++undone; });
        QObject::connect(&um, &UndoManager::didRedo, [this] { ++redone; });
    }
    void step(int v)
    {
        model.setValue(v);
        um.closeEventGroup();
    }
    UndoManager um;
    Model model;
    int closed = 0, undone = 0, redone = 0;
};

} // namespace

TEST_F(UndoManagerTest, StepOfSeveralRegistrationsIsUndoneAndRedoneInOneGo)
{
    um.beginUndoGrouping();
    um.endUndoGrouping();
    um.closeEventGroup(); // an empty step is no change
    model.setValue(5);
    um.setActionName("Move");
    model.setValue(7);
    model.setValue(9);
    um.setActionName("Add Branches"); // the last name wins
    EXPECT_EQ(um.undoActionName(), "Add Branches");
    um.closeEventGroup();
    um.setActionName("Ignored"); // no step open
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(um.undoStepCount(), 1);

    step(10); // unnamed
    EXPECT_EQ(um.undoActionName(), "");
    um.undo();
    EXPECT_EQ(um.undoActionName(), "Add Branches");
    EXPECT_EQ(um.redoActionName(), "");
    um.undo();
    EXPECT_EQ(model.value, 0);
    EXPECT_EQ(model.restored, QList<int>({9, 7, 5, 0})); // newest first
    EXPECT_EQ(um.redoActionName(), "Add Branches");

    um.redo();
    EXPECT_EQ(model.value, 9);
    EXPECT_EQ(um.undoActionName(), "Add Branches");
    // Undo and redo announce themselves but are no new steps.
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(undone, 2);
    EXPECT_EQ(redone, 1);
}

TEST_F(UndoManagerTest, EachEventLoopPassIsOneStep)
{
    model.setValue(1);
    EXPECT_EQ(um.groupingLevel(), 1);
    EXPECT_TRUE(um.canUndo()); // before the pass ends
    TestSupport::runEventLoopPass();
    EXPECT_EQ(um.groupingLevel(), 0);
    EXPECT_EQ(closed, 1);

    model.setValue(2);
    TestSupport::runEventLoopPass();
    model.setValue(3);
    model.setValue(4);
    um.undo(); // same pass: the step in progress is closed and undone
    EXPECT_EQ(model.value, 2);
    EXPECT_EQ(closed, 3);
    um.undo();
    EXPECT_EQ(model.value, 1);
}

TEST_F(UndoManagerTest, ExplicitGroupsNestInsideThePassStepOrAreTheSteps)
{
    um.beginUndoGrouping();
    model.setValue(1);
    um.beginUndoGrouping();
    model.setValue(2);
    um.endUndoGrouping();
    // The pass ends while the operation is still open: the step must not be cut.
    TestSupport::runEventLoopPass();
    EXPECT_FALSE(um.canUndo());
    um.undo(); // refused while the operation's group is open
    EXPECT_EQ(model.value, 2);
    model.setValue(3);
    um.endUndoGrouping();
    EXPECT_EQ(um.groupingLevel(), 1);
    TestSupport::runEventLoopPass();
    EXPECT_EQ(um.groupingLevel(), 0);
    ASSERT_EQ(um.undoStepCount(), 1);
    um.undo();
    EXPECT_EQ(model.value, 0);

    // Without grouping by pass only explicit groups record, each one a step.
    um.removeAllActions();
    um.setGroupsByEvent(false);
    model.setValue(9); // outside any group: dropped
    um.beginUndoGrouping();
    model.setValue(1);
    model.setValue(2);
    um.endUndoGrouping();
    EXPECT_EQ(um.undoStepCount(), 1);
    um.undo();
    EXPECT_EQ(model.value, 9);
}

// What a step's changes lead to registers into it while it is told it
// closes, however it closes: at the end of the pass, at the end of an
// explicit group, or by an undo in the same pass. It keeps its own name.
TEST_F(UndoManagerTest, AStepAboutToCloseTakesWhatFollowsFromIt)
{
    Model consequence;
    consequence.undo = &um;
    int told = 0;
    QObject::connect(&um, &UndoManager::stepWillClose, [&] {
        ++told;
        EXPECT_TRUE(um.stepIsOpen());
        consequence.setValue(consequence.value + 1);
    });
    struct Case
    {
        const char *what;
        bool explicitGroup; // without grouping by pass
        std::function<void()> close;
    };
    const Case cases[] = {
        {"end of the pass", false, [] { TestSupport::runEventLoopPass(); }},
        {"explicit group", true, [this] { um.endUndoGrouping(); }},
        {"undo in the same pass", false, [this] { um.undo(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        um.removeAllActions();
        um.setGroupsByEvent(!c.explicitGroup);
        told = 0;
        const int before = consequence.value;
        if (c.explicitGroup)
            um.beginUndoGrouping();
        model.setValue(model.value + 10);
        um.setActionName("Delete");
        c.close();
        EXPECT_EQ(told, 1);
        if (QLatin1String(c.what) == QLatin1String("undo in the same pass")) {
            EXPECT_EQ(consequence.value, before) << "the undo left the consequence";
            EXPECT_EQ(um.redoActionName(), "Delete");
            um.redo();
        }
        EXPECT_EQ(consequence.value, before + 1);
        ASSERT_EQ(um.undoStepCount(), 1);
        EXPECT_EQ(um.undoActionName(), "Delete");
        um.undo();
        EXPECT_EQ(consequence.value, before) << "one undo takes both back";
        EXPECT_EQ(told, 1) << "undo and redo steps are not told";
    }
    // An empty step is not told.
    um.beginUndoGrouping();
    um.endUndoGrouping();
    TestSupport::runEventLoopPass();
    EXPECT_EQ(told, 1);
}

TEST_F(UndoManagerTest, DisabledRegistrationRecordsNothingAndCounts)
{
    um.disableUndoRegistration();
    um.disableUndoRegistration();
    step(4);
    um.enableUndoRegistration();
    EXPECT_FALSE(um.isUndoRegistrationEnabled());
    step(5);
    um.enableUndoRegistration();
    EXPECT_TRUE(um.isUndoRegistrationEnabled());
    EXPECT_FALSE(um.canUndo());

    // An unmatched enable must not leave the counter negative.
    um.enableUndoRegistration();
    um.disableUndoRegistration();
    step(6);
    EXPECT_EQ(um.undoStepCount(), 0);
    um.enableUndoRegistration();
    step(7);
    EXPECT_EQ(um.undoStepCount(), 1);
}

TEST_F(UndoManagerTest, RegistrationsWhileUndoingGoToRedoAndWhileRedoingToUndo)
{
    // Records the manager's state and registers itself again, like a setter.
    QStringList states;
    std::function<void()> probe = [&] {
        states << (um.isUndoing() ? "undoing" : um.isRedoing() ? "redoing" : "idle");
        UndoManager::registerUndo(&um, probe);
    };
    model.setValue(1);
    UndoManager::registerUndo(&um, probe);
    um.closeEventGroup();
    step(2);

    um.undo();
    um.undo(); // the probe runs
    EXPECT_EQ(model.value, 0);
    EXPECT_EQ(um.redoStepCount(), 2);
    // Registrations made while redoing must not wipe the remaining redo steps.
    um.redo();
    EXPECT_EQ(model.value, 1);
    EXPECT_EQ(um.redoStepCount(), 1);
    um.undo();
    um.redo();
    um.redo();
    EXPECT_EQ(model.value, 2);
    EXPECT_FALSE(um.canRedo());
    EXPECT_EQ(states, QStringList({"undoing", "redoing", "undoing", "redoing"}));

    // A new change clears what could be redone.
    um.undo();
    step(8);
    EXPECT_FALSE(um.canRedo());
    // An undo from inside an undo must not recurse into the stack being replayed.
    UndoManager::registerUndo(&um, [&] { um.undo(); });
    um.closeEventGroup();
    um.undo();
    EXPECT_EQ(model.value, 8);
}

TEST_F(UndoManagerTest, LevelLimitDropsTheOldestSteps)
{
    um.setLevelsOfUndo(3);
    for (int v = 1; v <= 5; ++v)
        step(v);
    EXPECT_EQ(um.undoStepCount(), 3);
    while (um.canUndo())
        um.undo();
    EXPECT_EQ(model.value, 2); // steps 1 and 2 fell off
    EXPECT_EQ(um.redoStepCount(), 3);

    um.setLevelsOfUndo(1);
    um.redo();
    EXPECT_EQ(model.value, 3); // the newest redo step is the one kept
    EXPECT_FALSE(um.canRedo());
}

TEST_F(UndoManagerTest, RemoveAllAndDestructionLeaveNothingBehind)
{
    step(1);
    step(2);
    um.undo();
    model.setValue(3); // open step
    um.disableUndoRegistration();
    um.removeAllActions();
    EXPECT_FALSE(um.canRedo());
    EXPECT_TRUE(um.isUndoRegistrationEnabled());
    TestSupport::runEventLoopPass(); // the queued end of pass finds nothing to close
    EXPECT_FALSE(um.canUndo());

    // A dead manager's queued close must not run (ASan reports it if it does).
    {
        UndoManager doomed;
        doomed.registerUndo([] {});
    }
    TestSupport::runEventLoopPass();
    // Code without a manager (loading, detached copies) registers nothing.
    UndoManager::registerUndo(nullptr, [] { FAIL(); });
    UndoManager::setActionName(nullptr, "Nothing");
}

// Letting go of a big dropped step can take milliseconds: it waits until the
// user pauses, and then nothing is kept.
TEST_F(UndoManagerTest, DroppedStepsAreLetGoOnceTheUserPauses)
{
    QStringList seen;
    const auto held = [&](const QString &name) {
        return std::shared_ptr<void>(nullptr, [&seen, name](void *) { seen << name; });
    };
    um.setLevelsOfUndo(1);
    um.registerUndo([h = held("first")] {});
    um.closeEventGroup();
    um.registerUndo([this, h = held("undone"), r = held("redo")] { um.registerUndo([r] {}); });
    um.closeEventGroup(); // "first" falls off
    um.undo();            // "undone" has run
    ASSERT_TRUE(um.canRedo());
    um.registerUndo([h = held("kept")] {}); // clears the redo step
    TestSupport::runEventLoopPass();
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(um.releasingStepCount(), 3);
    QElapsedTimer clock;
    clock.start();
    while (um.releasingStepCount() > 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    seen.sort();
    EXPECT_EQ(seen, (QStringList{"first", "redo", "undone"}));
    EXPECT_TRUE(um.canUndo()); // the new change's step is kept
    um.removeAllActions();
    EXPECT_EQ(seen.value(3), QStringLiteral("kept"));
}
