#include "interface/WheelScrollsPane.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWindow>

namespace {

const char PaneProperty[] = "wheelScrollsPane";

bool isValueControl(const QWidget *widget)
{
    return qobject_cast<const QAbstractSpinBox *>(widget) ||
           qobject_cast<const QComboBox *>(widget) ||
           (qobject_cast<const QAbstractSlider *>(widget) &&
            !qobject_cast<const QScrollBar *>(widget));
}

// Without the wheel bit, passing over a control does not focus it, so that
// focus keeps meaning "the user clicked into it".
void dropWheelFocus(QWidget *widget)
{
    if (widget->focusPolicy() == Qt::WheelFocus)
        widget->setFocusPolicy(Qt::StrongFocus);
}

// The control the wheel would change, between `widget` and its pane, unless
// the user has clicked into it (it holds the focus).
QWidget *unfocusedControl(QWidget *widget, QAbstractScrollArea *pane)
{
    QWidget *control = nullptr;
    for (QWidget *w = widget; w && w != pane; w = w->parentWidget())
        if (isValueControl(w))
            control = w;
    if (!control)
        return nullptr;
    const QWidget *focus = QApplication::focusWidget();
    if (focus && (focus == control || control->isAncestorOf(focus)))
        return nullptr;
    return control;
}

// The pane scrolls instead; its viewport is not a control, so this does not
// come back here.
void scrollPane(QAbstractScrollArea *pane, const QWheelEvent &event, const QWidget *from)
{
    const QPointF at = pane->viewport()->mapFromGlobal(event.globalPosition());
    QWheelEvent scroll(at, event.globalPosition(), event.pixelDelta(), event.angleDelta(),
                       event.buttons(), event.modifiers(), event.phase(), event.inverted());
    Q_UNUSED(from);
    QCoreApplication::sendEvent(pane->viewport(), &scroll);
}

class Filter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Polish) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && WheelScrollsPane::paneOf(widget))
                dropWheelFocus(widget);
            return false;
        }
        if (event->type() != QEvent::Wheel)
            return false;
        auto *wheel = static_cast<QWheelEvent *>(event);
        // Caught at the window, before Qt hands the wheel (and the focus) to
        // the widget under the pointer.
        if (auto *window = qobject_cast<QWindow *>(watched)) {
            QWidget *top = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->windowHandle() == window)
                    top = w;
            QWidget *under = top ? top->childAt(wheel->position().toPoint()) : nullptr;
            QAbstractScrollArea *pane = under ? WheelScrollsPane::paneOf(under) : nullptr;
            if (!pane || !unfocusedControl(under, pane))
                return false;
            scrollPane(pane, *wheel, under);
            return true;
        }
        auto *widget = qobject_cast<QWidget *>(watched);
        QAbstractScrollArea *pane = widget ? WheelScrollsPane::paneOf(widget) : nullptr;
        if (!pane || !unfocusedControl(widget, pane))
            return false;
        scrollPane(pane, *wheel, widget);
        return true;
    }
};

} // namespace

namespace WheelScrollsPane {

void install(QAbstractScrollArea *pane)
{
    static QPointer<Filter> filter;
    if (!filter && QCoreApplication::instance()) {
        filter = new Filter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
    pane->setProperty(PaneProperty, true);
    for (QWidget *child : pane->findChildren<QWidget *>())
        dropWheelFocus(child);
}

QAbstractScrollArea *paneOf(const QWidget *widget)
{
    for (QWidget *w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (w->property(PaneProperty).toBool())
            return qobject_cast<QAbstractScrollArea *>(w);
    return nullptr;
}

} // namespace WheelScrollsPane
