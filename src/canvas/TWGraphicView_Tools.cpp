// Tool modes: the mode, its lock and its cursor.

#include "canvas/TWGraphicView.h"
#include "canvas/TWToolPictures.h"
#include "graphics/TWTextArea.h"

#include <QKeyEvent>

namespace {

// The modes in which the graphic under the pointer is highlighted.
bool highlights(int mode)
{
    return mode == TWGraphicView::AddChildMode || mode == TWGraphicView::AddSiblingMode ||
           mode == TWGraphicView::GraftMode || mode == TWGraphicView::LinkLineMode;
}

} // namespace

void TWGraphicView::setDrawingMode(int mode)
{
    if (mode != m_drawingMode) {
        const int old = m_drawingMode;
        if (old == RapidEntryMode && m_editingTextArea) {
            // Rapid entry ends with its edit; the edit may pick the mode itself.
            const std::shared_ptr<TWTextArea> editing = m_editingTextArea;
            editing->setIsEditing(false);
        }
        m_modeLockedIn = false;
        if (!highlights(mode))
            setAnimatingGraphic(nullptr);
    }
    m_drawingMode = mode;
    updateModeCursor(false);
    // The highlight follows the pointer without a button held.
    if (highlights(mode))
        viewport()->setMouseTracking(true);
    NotificationCenter::defaultCenter().post(DrawingModeDidChangeNotification, this);
}

void TWGraphicView::setCreatingNewLinkLine(bool creating)
{
    m_modeLockedIn = false;
    setDrawingMode(creating ? LinkLineMode : SelectMode);
}

void TWGraphicView::returnToSelectModeUnlessLocked()
{
    if (!m_modeLockedIn)
        setDrawingMode(SelectMode);
}

void TWGraphicView::updateModeCursor(bool option)
{
    m_modeCursorName = TWToolPictures::cursorName(m_drawingMode, option);
    if (m_modeCursorName.isEmpty())
        viewport()->unsetCursor();
    else
        viewport()->setCursor(TWToolPictures::cursor(m_drawingMode, option));
}

bool TWGraphicView::event(QEvent *event)
{
    // Option swaps the zoom tool's cursor while it is held.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        m_drawingMode == ZoomMode) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Alt)
            updateModeCursor(event->type() == QEvent::KeyPress);
    }
    // Tab and Shift-Tab grow the map: the window's focus chain must not take them.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}
