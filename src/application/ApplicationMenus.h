#pragma once

#include <QMainWindow>

class QMenu;
class QMenuBar;
class TWApplication;
class TWMenuDispatcher;

// Adds the application's own menus to a window's menu bar: the application
// menu, the Window menu's panels and the Help menu.
void addApplicationMenus(QMenuBar *menuBar, TWApplication &application);

// Adds the document window's command menus (Edit, Map, Format, View) to the
// menu bar; every item sends its action through the dispatcher.
void addDocumentMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher);
// Adds the File menu's Import submenu.
QMenu *addImportMenu(QMenu *file, TWMenuDispatcher &dispatcher);

// The window that carries the application's menus while no document window
// is open; closing it quits.
class ApplicationMenuWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ApplicationMenuWindow(TWApplication &application);
};
