// Keys on the canvas: moving the selection between branches, nudging,
// growing and pruning the map, and the actions the key binding sends.

#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"

#include <QHash>
#include <QKeyEvent>
#include <functional>

namespace {

enum Direction { Up, Down, Left, Right };

void beep()
{
    Alerts::current().beep();
}

float centreX(const TWMapBranch &branch)
{
    return branch.mainGraphic() ? branch.mainGraphic()->bounds().midX() : 0;
}

using Action = std::function<void(TWGraphicView &, const QVariant &)>;

const QHash<QString, Action> &canvasActions()
{
    static const QHash<QString, Action> actions{
        {QStringLiteral("selectNextBranchUp:"),
         [](TWGraphicView &v, const QVariant &) { v.selectNextBranchUp(); }},
        {QStringLiteral("selectNextBranchDown:"),
         [](TWGraphicView &v, const QVariant &) { v.selectNextBranchDown(); }},
        {QStringLiteral("selectNextBranchLeft:"),
         [](TWGraphicView &v, const QVariant &) { v.selectNextBranchLeft(); }},
        {QStringLiteral("selectNextBranchRight:"),
         [](TWGraphicView &v, const QVariant &) { v.selectNextBranchRight(); }},
        {QStringLiteral("nudgeUp:"), [](TWGraphicView &v, const QVariant &) { v.nudgeUp(); }},
        {QStringLiteral("nudgeDown:"), [](TWGraphicView &v, const QVariant &) { v.nudgeDown(); }},
        {QStringLiteral("nudgeLeft:"), [](TWGraphicView &v, const QVariant &) { v.nudgeLeft(); }},
        {QStringLiteral("nudgeRight:"), [](TWGraphicView &v, const QVariant &) { v.nudgeRight(); }},
        {QStringLiteral("addSiblingBranch:"),
         [](TWGraphicView &v, const QVariant &) { v.addSiblingBranch(); }},
        {QStringLiteral("delete:"),
         [](TWGraphicView &v, const QVariant &) { v.deleteSelection(); }},
        {QStringLiteral("deleteForward:"),
         [](TWGraphicView &v, const QVariant &) { v.deleteSelection(); }},
        {QStringLiteral("deleteBackward:"),
         [](TWGraphicView &v, const QVariant &) { v.deleteSelection(); }},
        {QStringLiteral("clear:"), [](TWGraphicView &v, const QVariant &) { v.deleteSelection(); }},
        {QStringLiteral("insertText:"),
         [](TWGraphicView &v, const QVariant &text) { v.insertText(text.toString()); }},
    };
    return actions;
}

} // namespace

// --- actions ---

bool TWGraphicView::respondsToAction(const QString &selector) const
{
    return canvasActions().contains(selector) || respondsToMenuAction(selector);
}

void TWGraphicView::performAction(const QString &selector, const QVariant &argument)
{
    const auto action = canvasActions().find(selector);
    if (action != canvasActions().end())
        (*action)(*this, argument);
    else
        performMenuAction(selector, argument);
}

// --- moving the selection to a neighbour ---

void TWGraphicView::selectNextBranchUp()
{
    selectNeighbour(Up);
}

void TWGraphicView::selectNextBranchDown()
{
    selectNeighbour(Down);
}

void TWGraphicView::selectNextBranchLeft()
{
    selectNeighbour(Left);
}

void TWGraphicView::selectNextBranchRight()
{
    selectNeighbour(Right);
}

void TWGraphicView::selectBranch(TWMapBranch &branch)
{
    TWMap *m = map();
    m->removeAllSelectedGraphics();
    if (branch.enclosedTextArea())
        m->insertObjectInSelectedGraphicsAtIndex(branch.enclosedTextArea(), 0);
}

void TWGraphicView::selectNeighbour(int direction)
{
    TWMap *m = map();
    if (!m || !m->root())
        return;
    const std::shared_ptr<TWMapBranch> root = m->root();
    if (m->countOfSelectedGraphics() > 1) {
        beep();
        return;
    }
    if (m->countOfSelectedGraphics() == 0) {
        selectBranch(*root);
    } else if (TWMapBranch *b = m->selectedGraphics().first()->branch()) {
        const std::shared_ptr<TWMapBranch> keep = b->shared_from_this();
        TWMapBranch *parent = b->parent();
        const float rootCentre = centreX(*root);
        const auto &siblings = parent ? parent->children() : TWMapBranch::BranchList();
        const qsizetype index = parent ? siblings.indexOf(keep) : -1;
        std::shared_ptr<TWMapBranch> next;
        bool refused = false;
        switch (direction) {
        case Up:
        case Down:
            if (!parent) {
                refused = true;
            } else if (index >= 0) {
                const qsizetype step = direction == Up ? -1 : 1;
                qsizetype at = index + step;
                if (parent == root.get())
                    at = (at + siblings.size()) % siblings.size();
                if (at < 0 || at >= siblings.size())
                    refused = true;
                else
                    next = siblings.at(at);
            }
            break;
        case Left:
        case Right: {
            const bool outward = [&] {
                const bool rightHand = centreX(*b) >= rootCentre;
                return direction == Right ? rightHand : !rightHand;
            }();
            if (!parent) {
                for (const std::shared_ptr<TWMapBranch> &child : root->children()) {
                    const bool rightHand = centreX(*child) >= rootCentre;
                    if (rightHand == (direction == Right)) {
                        next = child;
                        break;
                    }
                }
            } else if (outward) {
                if (b->children().isEmpty())
                    refused = true;
                else
                    next = b->children().first();
            } else {
                next = parent->shared_from_this();
            }
            break;
        }
        default:
            break;
        }
        if (refused)
            beep();
        else if (next)
            selectBranch(*next);
    }

    if (m->countOfSelectedGraphics() == 0)
        return;
    TWMapBranch *selected = m->selectedGraphics().first()->branch();
    if (selected && selected->mainGraphic() &&
        selected->mainGraphic()->className() == QLatin1String("TWFlexiBranch")) {
        m->removeAllSelectedGraphics();
        m->insertObjectInSelectedGraphicsAtIndex(selected->mainGraphic(), 0);
    }
    scrollRectToVisible(m->selectedGraphics().first()->drawingBounds());
}

// --- nudging ---

void TWGraphicView::nudge(Point delta)
{
    moveSelectedGraphicByPoint(delta);
    postPrintCanvasUpdate();
}

void TWGraphicView::moveSelectedGraphicByPoint(Point delta)
{
    TWMap *m = map();
    if (!m || m->countOfSelectedGraphics() != 1) {
        beep();
        return;
    }
    const std::shared_ptr<TWGraphic> graphic = m->selectedGraphics().first();
    TWMapBranch *branch = graphic->branch();
    // A branch's shape or label takes the whole branch along.
    if (branch && (graphic == branch->mainGraphic() || graphic == branch->enclosedTextArea()))
        branch->moveBranchBy(delta.x, delta.y, true);
    else
        graphic->moveBy(delta.x, delta.y);
    UndoManager::setActionName(m_document ? m_document->undoManager() : nullptr,
                               TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Nudge")));
}

// --- growing and pruning ---

void TWGraphicView::addSiblingBranch()
{
    TWMap *m = map();
    if (!m || m->countOfSelectedGraphics() == 0) {
        beep();
        return;
    }
    const QList<TWMapBranch *> branches = m->selectedBranches();
    if (branches.size() == 1 && !branches.first()->parent()) {
        beep();
        return;
    }
    m->publicCreateSiblings();
    postPrintCanvasUpdate();
}

void TWGraphicView::deleteSelection()
{
    if (TWMap *m = map())
        m->publicDeleteSelectedGraphics();
}

void TWGraphicView::insertText(const QString &)
{
    // Typing on the canvas starts no edit.
    beep();
}

// --- keys ---

void TWGraphicView::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool control = modifiers & Qt::MetaModifier;
    const bool option = modifiers & Qt::AltModifier;
    const bool command = modifiers & Qt::ControlModifier;
    // Users here nudge with Ctrl, which the window manager leaves alone;
    // Meta, often taken by the window manager, still works where it arrives.
    const bool nudges = control || command;
    const bool shift = modifiers & Qt::ShiftModifier;
    TWMap *m = map();

    if (event->key() == Qt::Key_Escape && m_document && m_document->isFullScreen())
        m_document->endFullScreen();

    switch (event->key()) {
    case Qt::Key_Space:
        if (viewport()->cursor().shape() != Qt::OpenHandCursor) {
            viewport()->setCursor(Qt::OpenHandCursor);
            m_spaceBarPressed = true;
        }
        event->accept();
        return;
    case Qt::Key_Home:
        if (m_document)
            m_document->selectDadoZizTitle();
        event->accept();
        return;
    case Qt::Key_Up:
        nudges ? nudgeUp() : selectNextBranchUp();
        event->accept();
        return;
    case Qt::Key_Down:
        nudges ? nudgeDown() : selectNextBranchDown();
        event->accept();
        return;
    case Qt::Key_Left:
        nudges ? nudgeLeft() : selectNextBranchLeft();
        event->accept();
        return;
    case Qt::Key_Right:
        nudges ? nudgeRight() : selectNextBranchRight();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m && m->countOfSelectedGraphics() == 1) {
            if (auto text = std::dynamic_pointer_cast<TWTextArea>(m->selectedGraphics().first())) {
                text->setIsEditing(true);
                event->accept();
                return;
            }
        }
        if (!m_router.sendAction(QStringLiteral("startEditingSelectedBranch:")))
            beep();
        event->accept();
        return;
    case Qt::Key_Tab:
        if (!command && !control && !shift) {
            if (m)
                m->publicCreateChildren();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Backtab:
        if (shift) {
            addSiblingBranch();
            event->accept();
            return;
        }
        break;
    case Qt::Key_T:
        if (shift && (control || option) && m_document)
            m_document->saveTheme();
        break;
    default:
        break;
    }
    keyBinding(event);
}

void TWGraphicView::keyBinding(QKeyEvent *event)
{
    QString selector;
    QVariant argument;
    switch (event->key()) {
    case Qt::Key_Backspace:
        selector = QStringLiteral("deleteBackward:");
        break;
    case Qt::Key_Delete:
        selector = QStringLiteral("deleteForward:");
        break;
    case Qt::Key_Escape:
        selector = QStringLiteral("cancelOperation:");
        break;
    default: {
        const QString text = event->text();
        const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (typed) {
            selector = QStringLiteral("insertText:");
            argument = text;
        }
        break;
    }
    }
    if (selector.isEmpty() || !m_router.targetForAction(selector)) {
        // Left to the window's shortcuts.
        event->ignore();
        return;
    }
    if (!m_router.sendAction(selector, argument))
        beep();
    event->accept();
}

void TWGraphicView::keyReleaseEvent(QKeyEvent *event)
{
    if (!event->isAutoRepeat() && viewport()->cursor().shape() == Qt::OpenHandCursor) {
        viewport()->setCursor(Qt::ArrowCursor);
        m_spaceBarPressed = false;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}
