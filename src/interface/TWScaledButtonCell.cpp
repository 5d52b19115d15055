#include "interface/TWScaledButtonCell.h"

#include "interface/ImageExtensions.h"

#include <QPainter>
#include <QStyleOptionButton>

void TWScaledButtonCell::paintEvent(QPaintEvent *)
{
    const QSize wanted(width() - 10, height() - 10);
    if (!m_image.isNull() && wanted.isValid() && m_image.size() != wanted) {
        m_image = ImageExtensions::imageScaledToSize(m_image, wanted);
        ++m_scaleCount;
    }
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (!m_image.isNull()) {
        option.icon = QIcon(QPixmap::fromImage(m_image));
        option.iconSize = m_image.size();
    }
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
}
