#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

// Undo by registration: every change registers a closure that reverts it.
// Registrations made while undoing are collected as one step on the redo
// stack, those made while redoing as one step on the undo stack. Outside undo
// and redo, the first registration opens a group that the end of the current
// event-loop pass closes, so everything one user event changes is one step.
// Main thread only.
class UndoManager : public QObject
{
    Q_OBJECT

public:
    using Closure = std::function<void()>;

    // Undo steps kept for a document.
    static constexpr int DocumentLevelsOfUndo = 100;

    explicit UndoManager(QObject *parent = nullptr);
    ~UndoManager() override;

    // Registers the inverse of a change just made. Nothing happens while
    // registration is disabled. Outside undo and redo it clears the redo stack.
    void registerUndo(Closure closure);
    // The same through a manager that may be absent: code without an undo
    // manager (loading, copies not yet in a document) registers nothing.
    static void registerUndo(UndoManager *manager, Closure closure);

    // Names the open step (or, while undoing or redoing, the step being
    // collected); the last name set wins. Ignored when no step is open.
    void setActionName(const QString &name);
    static void setActionName(UndoManager *manager, const QString &name);
    QString undoActionName() const;
    QString redoActionName() const;

    bool canUndo() const;
    bool canRedo() const;
    // Runs the closures of the newest step in reverse order of registration;
    // what they register becomes one step on the redo stack. An open pass
    // group is closed first; an explicit group that is still open refuses.
    void undo();
    void redo();
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    // Explicit grouping for operations that span several calls; nested
    // groups belong to the outermost one, which is the step.
    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_level; }
    bool groupsByEvent() const { return m_groupsByEvent; }
    void setGroupsByEvent(bool on) { m_groupsByEvent = on; }
    // Closes the group opened for the current event-loop pass. Runs by itself
    // when the pass ends; tests call it instead of spinning the loop. When
    // explicit groups are still open it waits until they are ended.
    void closeEventGroup();

    // A counter: registration is enabled again after as many enables as disables.
    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return m_disabled == 0; }

    // Most steps kept on either stack, the oldest dropped first; 0 keeps all.
    int levelsOfUndo() const { return m_levels; }
    void setLevelsOfUndo(int levels);

    // Forgets every step (and any open group) and enables registration again.
    void removeAllActions();

    int undoStepCount() const { return int(m_undoStack.size()); }
    int redoStepCount() const { return int(m_redoStack.size()); }
    // Steps dropped from either stack and not yet let go, and how long
    // after the last drop they are.
    int releasingStepCount() const { return int(m_releasing.size()); }
    static constexpr int ReleaseAfterMs = 250;

    // A step is open, not yet closed, and holds changes.
    bool stepIsOpen() const
    {
        return m_state == State::Idle && m_level > 0 && !m_open.actions.empty();
    }

signals:
    // A step of changes is about to close: what follows from them may still
    // register into it, so that one undo takes back the change and its
    // consequences together.
    void stepWillClose();
    // A new step was recorded (not one made by undo or redo).
    void groupClosed();
    void didUndo();
    void didRedo();

private:
    enum class State { Idle, Undoing, Redoing };
    struct Step
    {
        std::vector<Closure> actions;
        QString actionName;
    };

    void openPassGroup();
    void scheduleClose();
    void closeOpenStep();
    bool prepareForUndoOrRedo(const char *what);
    void replay(std::deque<Step> &from, std::deque<Step> &to, State state);
    void push(std::deque<Step> &stack, Step &&step);
    void releaseLater(Step &&step);
    void releaseLater(std::deque<Step> &steps);

    std::deque<Step> m_undoStack; // newest at the back
    std::deque<Step> m_redoStack;
    // Dropped steps, let go once the user has paused: a big map's step can
    // hold records of every graphic, and freeing them takes milliseconds
    // that belong to showing the change.
    std::vector<Step> m_releasing;
    QTimer *m_releaseTimer = nullptr;
    Step m_open;
    int m_level = 0;
    bool m_passGroup = false;      // level 1 was opened for the pass, not explicitly
    bool m_closeScheduled = false; // the end-of-pass close is queued
    bool m_passEndedWhileNested = false;
    bool m_closing = false; // stepWillClose is being told
    bool m_groupsByEvent = true;
    int m_disabled = 0;
    int m_levels = 0;
    State m_state = State::Idle;
};
