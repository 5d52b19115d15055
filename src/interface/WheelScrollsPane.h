#pragma once

class QAbstractScrollArea;
class QWidget;

// A pane of controls that scrolls under the mouse wheel: a spin box, pop-up or
// slider inside it passing under the pointer does not take the wheel (nor the
// focus) unless the user has clicked into it first.
namespace WheelScrollsPane {
void install(QAbstractScrollArea *pane);
// The pane `widget` lies in, when one was installed.
QAbstractScrollArea *paneOf(const QWidget *widget);
} // namespace WheelScrollsPane
