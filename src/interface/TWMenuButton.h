#pragma once

#include <QPointer>
#include <QPushButton>

#include <QMenu>

// A button that pops up its menu where it is clicked, every item unchecked.
class TWMenuButton : public QPushButton
{
    Q_OBJECT
public:
    explicit TWMenuButton(QWidget *parent = nullptr);

    // Not QPushButton's own menu, which Qt would pop up by itself.
    QMenu *popUpMenu() const { return m_menu; }
    void setPopUpMenu(QMenu *menu) { m_menu = menu; }

public slots:
    void displayMenu();

private:
    QPointer<QMenu> m_menu;
};
