#pragma once

class QAbstractButton;
class QMainWindow;

// Measures a window's title bar and toolbar and adds a button at the right
// end of its title bar where the platform lets an application draw there.
namespace ButtonAdder {

// The height the visible top toolbars take from the client area; 0 without one.
int toolbarHeight(const QMainWindow *window);
// The frame's height less the content's and the toolbar's.
int titleBarHeight(const QMainWindow *window);
// X11 and Wayland window managers draw the title bar themselves, so the
// button goes to the right end of the window's first top toolbar (made when
// the window has none). The window takes the button over.
void addToolbarShrinkButtonToTitleBar(QMainWindow *window, QAbstractButton *button);

} // namespace ButtonAdder
