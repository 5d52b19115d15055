#include "interface/ButtonAdder.h"

#include <QAbstractButton>
#include <QMainWindow>
#include <QToolBar>

namespace ButtonAdder {

namespace {
QList<QToolBar *> topToolbars(const QMainWindow *window)
{
    QList<QToolBar *> bars;
    for (QToolBar *bar : window->findChildren<QToolBar *>(Qt::FindDirectChildrenOnly))
        if (window->toolBarArea(bar) == Qt::TopToolBarArea)
            bars.append(bar);
    return bars;
}
} // namespace

int toolbarHeight(const QMainWindow *window)
{
    QRect area;
    for (QToolBar *bar : topToolbars(window))
        if (bar->isVisible())
            area = area.united(bar->geometry());
    return area.height();
}

int titleBarHeight(const QMainWindow *window)
{
    const QWidget *content = window->centralWidget();
    const int contentHeight = content ? content->height() : window->height();
    return window->frameGeometry().height() - contentHeight - toolbarHeight(window);
}

void addToolbarShrinkButtonToTitleBar(QMainWindow *window, QAbstractButton *button)
{
    const QList<QToolBar *> bars = topToolbars(window);
    QToolBar *bar = bars.isEmpty() ? nullptr : bars.first();
    if (!bar) {
        bar = window->addToolBar(QString());
        bar->setObjectName("TitleBarButtons");
        bar->setMovable(false);
    }
    auto *spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    bar->addWidget(button);
}

} // namespace ButtonAdder
