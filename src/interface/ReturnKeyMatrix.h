#pragma once

#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QGridLayout;

// A grid of buttons that acts as one control: it takes the focus itself and
// Return clicks its key cell. Enter on the keypad and every other key do what
// they do in any widget.
class ReturnKeyMatrix : public QWidget
{
    Q_OBJECT
public:
    explicit ReturnKeyMatrix(QWidget *parent = nullptr);

    // The matrix takes the cell over.
    void addCell(QAbstractButton *cell, int row, int column);
    QAbstractButton *keyCell() const { return m_keyCell; }
    void setKeyCell(QAbstractButton *cell) { m_keyCell = cell; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QGridLayout *m_grid;
    QPointer<QAbstractButton> m_keyCell;
};
