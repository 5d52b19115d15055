#include "interface/PlacardScrollView.h"

PlacardScrollView::PlacardScrollView(QWidget *parent) : QScrollArea(parent) {}

void PlacardScrollView::setPlacard(QWidget *placard)
{
    if (placard == m_placard)
        return;
    if (m_placard)
        m_placard->deleteLater();
    m_placard = placard;
    m_tiledSide = -1;
    tile();
}

void PlacardScrollView::setSide(int side)
{
    m_side = side;
    tile();
}

void PlacardScrollView::tile()
{
    if (!m_placard || m_tiledSide == m_side)
        return;
    static const Qt::Alignment alignments[4] = {Qt::AlignRight, Qt::AlignLeft, Qt::AlignBottom,
                                                Qt::AlignTop};
    if (m_side < 0 || m_side > 3)
        return;
    // The scroll bar area lays the placard out beside the bar and shortens the bar.
    addScrollBarWidget(m_placard, alignments[m_side]);
    m_placard->show();
    m_tiledSide = m_side;
}
