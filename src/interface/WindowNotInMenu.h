#pragma once

#include <QMainWindow>

// A window the Window menu leaves out.
class WindowNotInMenu : public QMainWindow
{
public:
    using QMainWindow::QMainWindow;
    bool isExcludedFromWindowsMenu() const { return true; }
};
