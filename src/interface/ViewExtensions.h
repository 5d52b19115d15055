#pragma once

#include "platform/Geometry.h"
#include "support/BezierPath.h"
#include "support/Color.h"

#include <QBrush>
#include <QModelIndex>

class QComboBox;
class QGraphicsView;
class QItemSelectionModel;
class QTreeView;

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

// An outline view's rows by their items: a row's item is the index of its
// first column.
namespace MyExtensions {

// The item of the selected row (the current one when it is selected, else
// the last selected in row order); invalid when no row is selected.
QModelIndex selectedItem(const QTreeView &view);
// The items of the selected rows, in row order (top to bottom as shown).
QModelIndexList allSelectedItems(const QTreeView &view);
// Selects the row of each item that has one; items not shown (under a
// collapsed row, or no item of the view's model) are skipped. Unless
// extending, everything is deselected first.
void selectItems(QTreeView &view, const QModelIndexList &items, bool byExtendingSelection);

} // namespace MyExtensions

namespace SelectByTag {

// Selects the first item, in menu order, whose tag (its data, 0 when it has
// none) is `tag`; with none, no item is selected (index -1).
void selectPopupItemWithTag(QComboBox &popUp, int tag);

} // namespace SelectByTag
