#include "interface/TWDiscloseableView.h"

#include <QDebug>
#include <QLayout>
#include <QScreen>

TWDiscloseableView::TWDiscloseableView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

TWDiscloseableView::TWDiscloseableView(const QRect &frame, QWidget *parent)
    : TWDiscloseableView(parent)
{
    setGeometry(frame);
    m_originalHeight = frame.height();
}

void TWDiscloseableView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_checkedSizePolicy) {
        m_checkedSizePolicy = true;
        if (sizePolicy().verticalPolicy() & QSizePolicy::GrowFlag)
            qWarning() << "TWDiscloseableView" << objectName()
                       << "should not grow vertically: it sets its own height";
    }
}

void TWDiscloseableView::setIsShown(bool shown)
{
    if (shown)
        showContents();
    else
        hideContents();
}

void TWDiscloseableView::hideContents()
{
    if (!m_isShown)
        return;
    if (m_originalHeight < 0)
        m_originalHeight = height();
    changeWindowHeightBy(-qRound(m_originalHeight - m_hiddenHeight));
    removeSubviews();
    update();
    m_isShown = false;
}

void TWDiscloseableView::showContents()
{
    if (m_isShown)
        return;
    restoreSubviews();
    changeWindowHeightBy(qRound(m_originalHeight - m_hiddenHeight));
    m_isShown = true;
    update();
}

void TWDiscloseableView::removeSubviews()
{
    Q_ASSERT(!m_hiddenSubviewsSet);
    m_hiddenSubviews.clear();
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || child->isHidden())
            continue;
        m_hiddenSubviews.append(child);
    }
    for (auto it = m_hiddenSubviews.crbegin(); it != m_hiddenSubviews.crend(); ++it)
        (*it)->hide();
    m_hiddenSubviewsSet = true;
}

void TWDiscloseableView::restoreSubviews()
{
    Q_ASSERT(m_hiddenSubviewsSet);
    for (auto it = m_hiddenSubviews.crbegin(); it != m_hiddenSubviews.crend(); ++it)
        if (*it)
            (*it)->show();
    m_hiddenSubviews.clear();
    m_hiddenSubviewsSet = false;
}

void TWDiscloseableView::changeWindowHeightBy(int d)
{
    const int newHeight = std::max(0, height() + d);
    QWidget *win = window();
    if (win == this)
        return resize(width(), newHeight);

    QWidget *container = parentWidget();
    if (container->layout() && container->layout()->indexOf(this) >= 0) {
        setFixedHeight(newHeight);
    } else {
        // Placed by hand: from the section up to the window, every view whose
        // top lies below the top of the view that changes height moves with
        // the window's bottom edge; the others stay with its top edge.
        QWidget *changing = this;
        while (changing != win) {
            QWidget *parent = changing->parentWidget();
            for (QWidget *sibling : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (sibling != changing && !sibling->isWindow() && sibling->y() > changing->y())
                    sibling->move(sibling->x(), sibling->y() + d);
            }
            if (parent == win || parent->layout())
                break;
            parent->resize(parent->width(), parent->height() + d);
            changing = parent;
        }
        resize(width(), newHeight);
    }

    // Read before the limits change: raising the minimum resizes the window at once.
    QRect frame = win->geometry();
    if (win->minimumHeight() > 0)
        win->setMinimumHeight(std::max(0, win->minimumHeight() + d));
    if (win->maximumHeight() < QWIDGETSIZE_MAX)
        win->setMaximumHeight(std::max(0, win->maximumHeight() + d));
    if (win->layout())
        win->layout()->activate();

    // Qt's window origin is its top-left corner, so the top edge stays put.
    frame.setHeight(frame.height() + d);
    if (win->isVisible() && win->screen()) {
        const QRect screen = win->screen()->geometry();
        if (frame.bottom() > screen.bottom())
            frame.moveBottom(screen.bottom());
    }
    win->setGeometry(frame);
}
