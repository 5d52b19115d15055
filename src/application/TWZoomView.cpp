#include "application/TWZoomView.h"

TWZoomView::TWZoomView(QWidget *parent) : QWidget(parent)
{
    // The desk around a drawing smaller than the window.
    setBackgroundRole(QPalette::Mid);
    setAutoFillBackground(true);
}
