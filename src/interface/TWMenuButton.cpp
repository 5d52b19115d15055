#include "interface/TWMenuButton.h"

#include <QCursor>
#include <QMenu>

TWMenuButton::TWMenuButton(QWidget *parent) : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &TWMenuButton::displayMenu);
}

void TWMenuButton::displayMenu()
{
    if (!m_menu)
        return;
    for (QAction *item : m_menu->actions())
        item->setChecked(false);
    m_menu->popup(QCursor::pos());
}
