#include "interface/ViewExtensions.h"

#include <QGraphicsView>
#include <QItemSelectionModel>
#include <QSet>

namespace ContrastingLabelExtensions {

Color contrastingLabelColor(const Color &color)
{
    const Color rgb = color.toCalibratedRGB();
    const double mean = (rgb.redComponent() + rgb.greenComponent() + rgb.blueComponent()) / 3.0;
    if (mean >= 0.5)
        return Color::colorWithCalibratedWhite(1.0 / 3.0); // dark grey
    return Color::whiteColor();
}

Color contrastingLabelColor(const QBrush &brush)
{
    if (brush.style() != Qt::SolidPattern)
        return Color::blackColor();
    return contrastingLabelColor(Color::fromQColor(brush.color()));
}

} // namespace ContrastingLabelExtensions

namespace Diamond {

BezierPath bezierPathWithDiamondInRect(const Rect &r)
{
    const float x = r.x(), y = r.y(), w = r.width(), h = r.height();
    BezierPath path;
    path.moveToPoint({x + w / 2, y + h});
    path.lineToPoint({x + w, y + h / 2});
    path.lineToPoint({x + w / 2, y});
    path.lineToPoint({x, y + h / 2});
    path.closePath();
    return path;
}

} // namespace Diamond

namespace ViewScale {

qreal scale(const QGraphicsView &view)
{
    return view.transform().m11();
}

void setScale(QGraphicsView &view, qreal s)
{
    const qreal current = scale(view);
    if (current == 0 || s == current)
        return;
    view.scale(s / current, s / current);
    view.viewport()->update();
}

} // namespace ViewScale

namespace ObjectControllerExtensions {

bool singleSelection(const QItemSelectionModel &selection)
{
    QSet<int> rows;
    for (const QModelIndex &index : selection.selectedIndexes())
        rows.insert(index.row());
    return rows.size() == 1;
}

} // namespace ObjectControllerExtensions
