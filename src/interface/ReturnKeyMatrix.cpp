#include "interface/ReturnKeyMatrix.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QKeyEvent>

ReturnKeyMatrix::ReturnKeyMatrix(QWidget *parent) : QWidget(parent), m_grid(new QGridLayout(this))
{
    m_grid->setContentsMargins(0, 0, 0, 0);
    setFocusPolicy(Qt::StrongFocus);
}

void ReturnKeyMatrix::addCell(QAbstractButton *cell, int row, int column)
{
    cell->setFocusPolicy(Qt::NoFocus);
    m_grid->addWidget(cell, row, column);
}

void ReturnKeyMatrix::keyPressEvent(QKeyEvent *event)
{
    // Carriage return only, whatever the modifiers; keypad Enter is another key.
    if (event->key() == Qt::Key_Return && m_keyCell) {
        m_keyCell->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
