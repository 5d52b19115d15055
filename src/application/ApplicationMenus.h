#pragma once

#include <QMainWindow>

class QMenuBar;
class TWApplication;

// Adds the application's own menus to a window's menu bar: the application
// menu, the Window menu's panels and the Help menu.
void addApplicationMenus(QMenuBar *menuBar, TWApplication &application);

// The window that carries the application's menus while no document window
// is open; closing it quits.
class ApplicationMenuWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ApplicationMenuWindow(TWApplication &application);
};
