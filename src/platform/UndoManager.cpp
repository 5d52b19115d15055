#include "platform/UndoManager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaObject>
#include <algorithm>

UndoManager::UndoManager(QObject *parent) : QObject(parent) {}

UndoManager::~UndoManager() = default;

void UndoManager::registerUndo(UndoManager *manager, Closure closure)
{
    if (manager)
        manager->registerUndo(std::move(closure));
}

void UndoManager::setActionName(UndoManager *manager, const QString &name)
{
    if (manager)
        manager->setActionName(name);
}

void UndoManager::registerUndo(Closure closure)
{
    if (!closure || m_disabled > 0)
        return;
    if (m_state == State::Idle) {
        if (m_level == 0) {
            if (!m_groupsByEvent) {
                qWarning("UndoManager: registration outside any undo group ignored");
                return;
            }
            openPassGroup();
        }
        // A new change makes the undone steps meaningless.
        releaseLater(m_redoStack);
    }
    m_open.actions.push_back(std::move(closure));
}

void UndoManager::openPassGroup()
{
    m_level = 1;
    m_passGroup = true;
    m_open = Step();
    scheduleClose();
}

void UndoManager::scheduleClose()
{
    if (m_closeScheduled)
        return;
    m_closeScheduled = true;
    // Queued behind whatever the current pass is doing; dropped if we die first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_closeScheduled = false;
            closeEventGroup();
        },
        Qt::QueuedConnection);
}

void UndoManager::closeEventGroup()
{
    if (m_state != State::Idle || m_level == 0 || !m_passGroup)
        return;
    if (m_level > 1) {
        m_passEndedWhileNested = true;
        return;
    }
    closeOpenStep();
}

void UndoManager::closeOpenStep()
{
    if (m_state == State::Idle && !m_open.actions.empty() && !m_closing) {
        // Still open while it is told: what registers now joins it.
        m_closing = true;
        m_level = std::max(m_level, 1);
        emit stepWillClose();
        m_closing = false;
    }
    m_level = 0;
    m_passGroup = false;
    m_passEndedWhileNested = false;
    Step step = std::move(m_open);
    m_open = Step();
    if (step.actions.empty())
        return;
    push(m_undoStack, std::move(step));
    emit groupClosed();
}

void UndoManager::push(std::deque<Step> &stack, Step &&step)
{
    stack.push_back(std::move(step));
    if (m_levels > 0) {
        while (int(stack.size()) > m_levels) {
            releaseLater(std::move(stack.front()));
            stack.pop_front();
        }
    }
}

void UndoManager::releaseLater(std::deque<Step> &steps)
{
    for (Step &step : steps)
        releaseLater(std::move(step));
    steps.clear();
}

void UndoManager::releaseLater(Step &&step)
{
    if (step.actions.empty() || !QCoreApplication::instance())
        return;
    m_releasing.push_back(std::move(step));
    if (!m_releaseTimer) {
        m_releaseTimer = new QTimer(this);
        m_releaseTimer->setSingleShot(true);
        connect(m_releaseTimer, &QTimer::timeout, this, [this] {
            // A closure let go may drop the last hold on objects that react.
            std::vector<Step> releasing = std::exchange(m_releasing, {});
        });
    }
    m_releaseTimer->start(ReleaseAfterMs);
}

void UndoManager::beginUndoGrouping()
{
    if (m_level == 0 && m_state == State::Idle) {
        if (m_groupsByEvent) {
            // The pass group stays the step; this one nests inside it.
            openPassGroup();
        } else {
            m_open = Step();
            m_passGroup = false;
        }
    }
    ++m_level;
}

void UndoManager::endUndoGrouping()
{
    if (m_level == 0 || (m_state != State::Idle && m_level == 1)) {
        qWarning("UndoManager: endUndoGrouping without a matching beginUndoGrouping");
        return;
    }
    --m_level;
    if (m_state != State::Idle)
        return;
    if (m_level == 0) {
        closeOpenStep();
    } else if (m_level == 1 && m_passGroup && m_passEndedWhileNested) {
        // The pass that opened the group is over; close it at the end of this one.
        m_passEndedWhileNested = false;
        scheduleClose();
    }
}

void UndoManager::setActionName(const QString &name)
{
    if (m_level > 0)
        m_open.actionName = name;
}

QString UndoManager::undoActionName() const
{
    if (m_state == State::Idle && m_level > 0 && !m_open.actions.empty())
        return m_open.actionName;
    return m_undoStack.empty() ? QString() : m_undoStack.back().actionName;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.empty() ? QString() : m_redoStack.back().actionName;
}

bool UndoManager::canUndo() const
{
    if (m_state != State::Idle)
        return false;
    if (m_level > 1 || (m_level == 1 && !m_passGroup))
        return false;
    return !m_undoStack.empty() || (m_level == 1 && !m_open.actions.empty());
}

bool UndoManager::canRedo() const
{
    if (m_state != State::Idle)
        return false;
    if (m_level > 1 || (m_level == 1 && !m_passGroup))
        return false;
    if (m_level == 1 && !m_open.actions.empty())
        return false; // closing that step clears the redo stack
    return !m_redoStack.empty();
}

bool UndoManager::prepareForUndoOrRedo(const char *what)
{
    if (m_state != State::Idle) {
        qWarning("UndoManager: %s refused while undoing or redoing", what);
        return false;
    }
    if (m_level == 1 && m_passGroup) {
        closeOpenStep();
    } else if (m_level > 0) {
        qWarning("UndoManager: %s refused while an undo group is open", what);
        return false;
    }
    return true;
}

void UndoManager::replay(std::deque<Step> &from, std::deque<Step> &to, State state)
{
    Step step = std::move(from.back());
    from.pop_back();

    m_state = state;
    m_level = 1;
    m_passGroup = false;
    m_open = Step();
    m_open.actionName = step.actionName;
    for (auto it = step.actions.rbegin(); it != step.actions.rend(); ++it)
        (*it)();
    if (m_level != 1)
        qWarning("UndoManager: unbalanced undo grouping inside an undo or redo");

    Step inverse = std::move(m_open);
    m_open = Step();
    m_level = 0;
    m_state = State::Idle;
    if (!inverse.actions.empty())
        push(to, std::move(inverse));
    releaseLater(std::move(step));
}

void UndoManager::undo()
{
    if (!prepareForUndoOrRedo("undo") || m_undoStack.empty())
        return;
    replay(m_undoStack, m_redoStack, State::Undoing);
    emit didUndo();
}

void UndoManager::redo()
{
    if (!prepareForUndoOrRedo("redo") || m_redoStack.empty())
        return;
    replay(m_redoStack, m_undoStack, State::Redoing);
    emit didRedo();
}

void UndoManager::disableUndoRegistration()
{
    ++m_disabled;
}

void UndoManager::enableUndoRegistration()
{
    if (m_disabled == 0) {
        qWarning("UndoManager: enableUndoRegistration without a matching disable");
        return;
    }
    --m_disabled;
}

void UndoManager::setLevelsOfUndo(int levels)
{
    m_levels = levels < 0 ? 0 : levels;
    if (m_levels == 0)
        return;
    while (int(m_undoStack.size()) > m_levels)
        m_undoStack.pop_front();
    while (int(m_redoStack.size()) > m_levels)
        m_redoStack.pop_front();
}

void UndoManager::removeAllActions()
{
    m_undoStack.clear();
    m_redoStack.clear();
    m_releasing.clear();
    m_open.actions.clear();
    m_disabled = 0;
    if (m_state == State::Idle) {
        m_level = 0;
        m_passGroup = false;
        m_passEndedWhileNested = false;
        m_open = Step();
    }
}
