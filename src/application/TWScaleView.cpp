#include "application/TWScaleView.h"

TWScaleView::TWScaleView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

void TWScaleView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The canvas fills it and scrolls the map inside itself.
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setGeometry(rect());
}
