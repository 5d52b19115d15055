#pragma once

class QAction;
class QObject;

// The menu item that sent a toggle; any other sender is warned about and
// answers null.
QAction *toggledItem(QObject *sender);
