#pragma once

#include <QPointer>
#include <QScrollArea>

// A scroll area with a small view (a placard) at one end of a scroll bar:
// side 0 at the right end of the horizontal one, 1 at its left end, 2 at the
// bottom end of the vertical one, 3 at its top end. The scroll bar gives up
// the room the placard takes; without that scroll bar the placard is hidden
// with it.
class PlacardScrollView : public QScrollArea
{
    Q_OBJECT
public:
    explicit PlacardScrollView(QWidget *parent = nullptr);

    QWidget *placard() const { return m_placard; }
    // The view owns the placard; a placard it replaces is deleted.
    void setPlacard(QWidget *placard);
    int side() const { return m_side; }
    void setSide(int side);

    void tile();

private:
    QPointer<QWidget> m_placard;
    int m_side = 0;
    int m_tiledSide = -1;
};
