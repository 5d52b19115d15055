#pragma once

#include "platform/Geometry.h"
#include "support/BezierPath.h"
#include "support/Color.h"

#include <QBrush>

class QGraphicsView;
class QItemSelectionModel;

namespace ContrastingLabelExtensions {

// Dark grey on light colours, white on dark ones.
Color contrastingLabelColor(const Color &color);
// A brush that is not one plain colour (a pattern, a gradient) gives black.
Color contrastingLabelColor(const QBrush &brush);

} // namespace ContrastingLabelExtensions

namespace Diamond {

// Closed path through the midpoints of the rectangle's sides.
BezierPath bezierPathWithDiamondInRect(const Rect &rect);

} // namespace Diamond

// The zoom of a view whose contents are drawn through a transform.
namespace ViewScale {

qreal scale(const QGraphicsView &view);
void setScale(QGraphicsView &view, qreal scale);

} // namespace ViewScale

namespace ObjectControllerExtensions {

// Exactly one row selected.
bool singleSelection(const QItemSelectionModel &selection);

} // namespace ObjectControllerExtensions
