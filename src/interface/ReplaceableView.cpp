#include "interface/ReplaceableView.h"

ReplaceableView::ReplaceableView(QWidget *parent) : QWidget(parent) {}

void ReplaceableView::setView(int index, QWidget *view)
{
    if (index < 0 || index >= viewCount)
        return;
    m_views[size_t(index)] = view;
    if (view && view->parentWidget() != this) {
        view->setParent(this);
        view->hide();
    }
}

QWidget *ReplaceableView::view(int index) const
{
    return index >= 0 && index < viewCount ? m_views[size_t(index)].data() : nullptr;
}

void ReplaceableView::selectView(int index)
{
    QWidget *v = view(index);
    if (!v)
        return;
    replaceSubviewWith(v);
    m_currentView = v;
}

void ReplaceableView::replaceSubviewWith(QWidget *v)
{
    QWidget *win = window();
    const QSize newSize(v->width(), win->height() - height() + v->height());

    // Prepared views stay children (they are kept for later), merely out of sight.
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child != v && !child->isWindow())
            child->hide();
    if (v->parentWidget() != this)
        v->setParent(this);
    v->show();

    if (win != this)
        resize(v->width(), v->height());
    // Qt keeps a window's top-left corner when it is resized.
    win->resize(newSize);
}
