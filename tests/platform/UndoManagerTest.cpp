#include "platform/UndoManager.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A tiny model whose setters register their own inverses, as the real model does.
struct Model
{
    UndoManager *undo = nullptr;
    int value = 0;
    QStringList items;
    QStringList log; // which inverses ran, in order

    void setValue(int v)
    {
        if (v == value)
            return;
        const int old = value;
        UndoManager::registerUndo(undo, [this, old] {
            log << QString("value=%1").arg(old);
            setValue(old);
        });
        value = v;
    }
    void insert(const QString &s, int i)
    {
        UndoManager::registerUndo(undo, [this, i] {
            log << QString("remove@%1").arg(i);
            removeAt(i);
        });
        items.insert(i, s);
    }
    void removeAt(int i)
    {
        const QString s = items.at(i);
        UndoManager::registerUndo(undo, [this, s, i] {
            log << QString("insert %1@%2").arg(s).arg(i);
            insert(s, i);
        });
        items.removeAt(i);
    }
};

// Counts emissions of a parameterless signal (QtTest is not linked).
struct SignalCounter
{
    template <typename Signal> SignalCounter(UndoManager *um, Signal signal)
    {
        QObject::connect(um, signal, [this] { ++n; });
    }
    int count() const { return n; }
    int n = 0;
};

class UndoManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { model.undo = &um; }
    UndoManager um;
    Model model;
};

} // namespace

TEST_F(UndoManagerTest, StepOfSeveralRegistrationsIsUndoneAndRedoneInOneGo)
{
    SignalCounter closed(&um, &UndoManager::groupClosed);
    model.setValue(5);
    model.insert("a", 0);
    model.insert("b", 1);
    model.setValue(7);
    um.setActionName("Add Branches");
    um.closeEventGroup();

    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(um.undoStepCount(), 1);
    ASSERT_TRUE(um.canUndo());
    um.undo();
    EXPECT_EQ(model.value, 0);
    EXPECT_TRUE(model.items.isEmpty());
    // Inverses run newest first.
    EXPECT_EQ(model.log, QStringList({"value=5", "remove@1", "remove@0", "value=0"}));
    EXPECT_FALSE(um.canUndo());
    EXPECT_EQ(um.redoStepCount(), 1);
    EXPECT_EQ(um.redoActionName(), "Add Branches");

    um.redo();
    EXPECT_EQ(model.value, 7);
    EXPECT_EQ(model.items, QStringList({"a", "b"}));
    EXPECT_EQ(um.undoStepCount(), 1);
    EXPECT_EQ(um.redoStepCount(), 0);
    EXPECT_EQ(um.undoActionName(), "Add Branches");
    // Undo and redo do not count as new steps.
    EXPECT_EQ(closed.count(), 1);

    um.undo();
    EXPECT_EQ(model.value, 0);
    EXPECT_TRUE(model.items.isEmpty());
}

TEST_F(UndoManagerTest, EachEventLoopPassIsOneStep)
{
    SignalCounter closed(&um, &UndoManager::groupClosed);
    model.setValue(1);
    model.insert("x", 0);
    EXPECT_EQ(um.groupingLevel(), 1);
    // The undo menu can still undo what this pass did before the pass ends.
    EXPECT_TRUE(um.canUndo());
    TestSupport::runEventLoopPass();
    EXPECT_EQ(um.groupingLevel(), 0);
    EXPECT_EQ(closed.count(), 1);

    model.setValue(2);
    TestSupport::runEventLoopPass();
    model.setValue(3);
    TestSupport::runEventLoopPass();
    EXPECT_EQ(closed.count(), 3);
    EXPECT_EQ(um.undoStepCount(), 3);

    um.undo();
    EXPECT_EQ(model.value, 2);
    um.undo();
    EXPECT_EQ(model.value, 1);
    EXPECT_EQ(model.items, QStringList({"x"}));
    um.undo();
    EXPECT_EQ(model.value, 0);
    EXPECT_TRUE(model.items.isEmpty());
}

TEST_F(UndoManagerTest, UndoClosesTheOpenPassGroupFirst)
{
    model.setValue(1);
    TestSupport::runEventLoopPass();
    model.setValue(2);
    model.setValue(3);
    um.undo(); // same pass: the step in progress is closed and undone
    EXPECT_EQ(model.value, 1);
    um.undo();
    EXPECT_EQ(model.value, 0);
}

TEST_F(UndoManagerTest, ExplicitGroupsNestInsideThePassStep)
{
    um.beginUndoGrouping();
    model.setValue(1);
    um.beginUndoGrouping();
    model.setValue(2);
    um.endUndoGrouping();
    EXPECT_EQ(um.groupingLevel(), 2);
    // The pass ends while the operation is still open: the step must not be cut.
    TestSupport::runEventLoopPass();
    EXPECT_EQ(um.undoStepCount(), 0);
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
}

TEST_F(UndoManagerTest, WithoutGroupingByEventExplicitGroupsAreTheSteps)
{
    um.setGroupsByEvent(false);
    model.setValue(9); // outside any group: dropped
    EXPECT_EQ(um.undoStepCount(), 0);
    um.beginUndoGrouping();
    model.setValue(1);
    model.setValue(2);
    um.endUndoGrouping();
    um.beginUndoGrouping();
    model.setValue(3);
    um.endUndoGrouping();
    EXPECT_EQ(um.undoStepCount(), 2);
    um.undo();
    EXPECT_EQ(model.value, 2);
    um.undo();
    EXPECT_EQ(model.value, 9);
}

TEST_F(UndoManagerTest, DisabledRegistrationRecordsNothingAndCounts)
{
    um.disableUndoRegistration();
    um.disableUndoRegistration();
    model.setValue(4);
    um.enableUndoRegistration();
    EXPECT_FALSE(um.isUndoRegistrationEnabled());
    model.insert("a", 0);
    um.enableUndoRegistration();
    EXPECT_TRUE(um.isUndoRegistrationEnabled());
    um.closeEventGroup();
    EXPECT_FALSE(um.canUndo());
    EXPECT_EQ(um.undoStepCount(), 0);

    // An unmatched enable must not leave the counter negative.
    um.enableUndoRegistration();
    um.disableUndoRegistration();
    model.setValue(5);
    um.closeEventGroup();
    EXPECT_EQ(um.undoStepCount(), 0);
    um.enableUndoRegistration();
    model.setValue(6);
    um.closeEventGroup();
    EXPECT_EQ(um.undoStepCount(), 1);
}

TEST_F(UndoManagerTest, RegistrationsDuringUndoGoToRedoAndDuringRedoToUndo)
{
    // A probe that records the manager's state and registers itself again,
    // like a setter registering its own inverse.
    QStringList states;
    std::function<void()> probe = [&] {
        states << (um.isUndoing() ? "undoing" : um.isRedoing() ? "redoing" : "idle");
        UndoManager::registerUndo(&um, probe);
    };
    model.setValue(1);
    UndoManager::registerUndo(&um, probe);
    um.closeEventGroup();
    model.setValue(2);
    um.closeEventGroup();

    um.undo(); // value 2 -> 1
    um.undo(); // value 1 -> 0, probe runs
    EXPECT_FALSE(um.isUndoing());
    EXPECT_EQ(model.value, 0);
    EXPECT_EQ(um.redoStepCount(), 2);
    EXPECT_EQ(um.undoStepCount(), 0);

    // Registrations made while redoing must not wipe the remaining redo steps.
    um.redo();
    EXPECT_EQ(model.value, 1);
    EXPECT_EQ(um.redoStepCount(), 1);
    EXPECT_EQ(um.undoStepCount(), 1);
    um.undo();
    EXPECT_EQ(model.value, 0);
    um.redo();
    um.redo();
    EXPECT_EQ(model.value, 2);
    EXPECT_FALSE(um.canRedo());
    EXPECT_EQ(um.undoStepCount(), 2);
    EXPECT_EQ(states, QStringList({"undoing", "redoing", "undoing", "redoing"}));
}

TEST_F(UndoManagerTest, NewChangeClearsRedoButUndoAndRedoAreRefusedWhileReplaying)
{
    model.setValue(1);
    um.closeEventGroup();
    um.undo();
    EXPECT_TRUE(um.canRedo());
    model.setValue(8);
    EXPECT_FALSE(um.canRedo());
    um.closeEventGroup();
    EXPECT_EQ(um.redoStepCount(), 0);

    int nestedRuns = 0;
    UndoManager::registerUndo(&um, [&] {
        ++nestedRuns;
        um.undo(); // must not recurse into the stack being replayed
    });
    um.closeEventGroup();
    um.undo();
    EXPECT_EQ(nestedRuns, 1);
    EXPECT_EQ(model.value, 8);
}

TEST_F(UndoManagerTest, LevelLimitDropsTheOldestSteps)
{
    um.setLevelsOfUndo(3);
    for (int v = 1; v <= 5; ++v) {
        model.setValue(v);
        um.closeEventGroup();
    }
    EXPECT_EQ(um.undoStepCount(), 3);
    while (um.canUndo())
        um.undo();
    EXPECT_EQ(model.value, 2); // steps 1 and 2 fell off
    EXPECT_EQ(um.redoStepCount(), 3);

    um.setLevelsOfUndo(1);
    EXPECT_EQ(um.redoStepCount(), 1);
    um.redo();
    EXPECT_EQ(model.value, 3); // the newest redo step is the one kept
    EXPECT_FALSE(um.canRedo());

    um.setLevelsOfUndo(UndoManager::DocumentLevelsOfUndo);
    for (int v = 0; v < 150; ++v) {
        model.setValue(1000 + v);
        um.closeEventGroup();
    }
    EXPECT_EQ(um.undoStepCount(), 100);
}

TEST_F(UndoManagerTest, LastActionNameWins)
{
    model.setValue(1);
    um.setActionName("Move");
    model.setValue(2);
    um.setActionName("Graft Branch");
    EXPECT_EQ(um.undoActionName(), "Graft Branch");
    um.closeEventGroup();
    EXPECT_EQ(um.undoActionName(), "Graft Branch");

    um.setActionName("Ignored"); // no step open
    EXPECT_EQ(um.undoActionName(), "Graft Branch");

    model.setValue(3);
    um.closeEventGroup(); // unnamed step
    EXPECT_EQ(um.undoActionName(), "");
    um.undo();
    EXPECT_EQ(um.undoActionName(), "Graft Branch");
    EXPECT_EQ(um.redoActionName(), "");
    um.undo();
    EXPECT_EQ(um.redoActionName(), "Graft Branch");
}

TEST_F(UndoManagerTest, RemoveAllForgetsEverythingAndEnablesRegistration)
{
    model.setValue(1);
    um.closeEventGroup();
    model.setValue(2);
    um.closeEventGroup();
    um.undo();
    model.setValue(3); // open step
    um.disableUndoRegistration();
    um.removeAllActions();
    EXPECT_FALSE(um.canUndo());
    EXPECT_FALSE(um.canRedo());
    EXPECT_EQ(um.groupingLevel(), 0);
    EXPECT_TRUE(um.isUndoRegistrationEnabled());
    TestSupport::runEventLoopPass(); // the queued end of pass finds nothing to close
    EXPECT_EQ(um.undoStepCount(), 0);
}

TEST_F(UndoManagerTest, SignalsFollowTheEditedState)
{
    SignalCounter closed(&um, &UndoManager::groupClosed);
    SignalCounter undone(&um, &UndoManager::didUndo);
    SignalCounter redone(&um, &UndoManager::didRedo);
    um.beginUndoGrouping();
    um.endUndoGrouping();
    um.closeEventGroup(); // an empty step is no change
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(um.undoStepCount(), 0);
    model.setValue(1);
    um.closeEventGroup();
    um.undo();
    um.redo();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(undone.count(), 1);
    EXPECT_EQ(redone.count(), 1);
}

TEST(UndoManagerNull, RegistrationWithoutManagerDoesNothing)
{
    Model model; // no manager
    model.setValue(3);
    model.insert("a", 0);
    UndoManager::setActionName(nullptr, "Nothing");
    EXPECT_EQ(model.value, 3);
    EXPECT_TRUE(model.log.isEmpty()); // no inverse ever ran
}

TEST(UndoManagerLifetime, DestroyedManagerDropsItsEndOfPassClose)
{
    {
        UndoManager um;
        UndoManager::registerUndo(&um, [] {});
    }
    TestSupport::runEventLoopPass(); // must not touch the destroyed manager
    SUCCEED();
}
