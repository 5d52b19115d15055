// The reparenting drag: the floating image, the search for a new parent,
// the re-order zones beside the parent, and the drop.

#include "canvas/DragGraphicView.h"
#include "canvas/TWBranchDragTrackers.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "mapdrawing/TWBoundaryOutline.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "support/TWPointHolder.h"

using namespace TWBranchLayout;
using TWBoundaryOutline::calcDistanceBetweenAboveBoundary;
using TWBoundaryOutline::PointList;

#include <QPropertyAnimation>
#include <cmath>
#include <limits>

namespace {

PointList movedOutline(TWMapBranch &branch, Point d)
{
    PointList moved;
    for (const auto &holder : childrenBoundaryOutlinePoints(branch)) {
        const Point p = holder->point();
        moved.append(TWPointHolder::pointHolderForPoint(Point(p.x + d.x, p.y + d.y)));
    }
    return moved;
}

} // namespace

// The least clearance (0 or negative: overlap) between the moved outline
// and the branches above and below.
void branchOverlaps(TWMapBranch &branch, Point d, float &minAbove, float &minBelow)
{
    const PointList moved = movedOutline(branch, d);
    QList<std::shared_ptr<TWMapBranch>> above, below;
    allBranchesAboveMeIntoArray(branch, above);
    allBranchesBelowMeIntoArray(branch, below);
    minAbove = 0;
    minBelow = 0;
    for (const auto &a : above)
        minAbove = std::min(
            minAbove, calcDistanceBetweenAboveBoundary(childrenBoundaryOutlinePoints(*a), moved));
    for (const auto &b : below)
        minBelow = std::min(
            minBelow, calcDistanceBetweenAboveBoundary(moved, childrenBoundaryOutlinePoints(*b)));
}

TWBranchReparentTracker::~TWBranchReparentTracker()
{
    // A sliding image deletes itself when the slide ends.
    if (m_image && !m_image->property("sliding").toBool())
        delete m_image;
}

int TWBranchReparentTracker::style() const
{
    return m_image ? m_image->style() : DragGraphicView::NoTarget;
}

void TWBranchReparentTracker::finish(Result result)
{
    m_result = result;
    m_finished = true;
    delete m_image;
}

Rect TWBranchReparentTracker::imageRect(Point p) const
{
    const Point o(m_offset.x + m_startBounds.x() - m_start.x,
                  m_offset.y + m_startBounds.y() - m_start.y);
    const Rect hit(p.x + o.x, p.y + o.y, m_startBounds.width(), m_startBounds.height());
    return hit.insetBy(-m_margin, -m_margin);
}

void TWBranchReparentTracker::begin(TWGraphicView &view, QPointF point)
{
    TWMap *map = view.map();
    if (!map || map->selectedGraphics().size() != 1) {
        Alerts::current().beep();
        finish(Cancelled);
        return;
    }
    m_graphic = map->selectedGraphics().first();
    TWMapBranch *owner = m_graphic->branch();
    // The central branch has no parent to leave.
    if (!owner || owner->isRoot() || !owner->parent()) {
        Alerts::current().beep();
        finish(Cancelled);
        return;
    }
    m_branch = owner->shared_from_this();
    m_startBounds = m_branch->branchBounds();
    m_start = view.mapPointFromViewport(point);
    const float stroke = m_branch->mainGraphic() ? m_branch->mainGraphic()->strokeWidth() : 0;
    m_margin = stroke / 2 + 2;

    m_image = new DragGraphicView(view.viewport(), &view);
    m_image->setOffset(m_startBounds.origin);
    m_image->setGraphics(m_branch->branchGraphicsForDragImage());
    m_image->setLineWidth(int(stroke));
    m_image->setZoomFactor(view.zoomFactor());
    m_image->setGeometry(view.viewportRectFromMap(imageRect(m_start)).toAlignedRect());
    m_image->show();
    m_image->raise();
}

void TWBranchReparentTracker::move(TWGraphicView &view, QPointF point)
{
    TWMap *map = view.map();
    if (m_finished || !map || !m_image)
        return;
    const Point p = view.mapPointFromViewport(point);
    m_image->setGeometry(view.viewportRectFromMap(imageRect(p)).toAlignedRect());
    const Rect hit = imageRect(p).insetBy(m_margin, m_margin);
    m_candidate = map->branchIntersectingRect(hit, m_branch.get());

    if (m_candidate && m_candidate->branchBounds().contains(p)) {
        m_image->setStyle(m_candidate.get() == m_branch->parent() ? DragGraphicView::NoTarget
                                                                  : DragGraphicView::Graft);
        return;
    }
    bool clear = false;
    const int style = reorderStyle(view, *map, p, clear);
    if (clear) {
        finish(BackToMoving);
        return;
    }
    m_image->setStyle(style);
}

int TWBranchReparentTracker::reorderStyle(TWGraphicView &view, TWMap &map, Point p, bool &clear)
{
    TWMapBranch *parent = m_branch->parent();
    const std::shared_ptr<TWMapBranch> &root = map.root();
    if (!parent || !root)
        return DragGraphicView::NoTarget;
    const Rect r = root->branchBounds();
    if (parent == root.get()) {
        const float d = std::hypot(p.x - r.midX(), p.y - r.midY());
        const float halfDiagonal = std::hypot(r.width(), r.height()) / 2;
        const bool inRing = d >= halfDiagonal && d <= 5.0f * map.firstLevelSpacing() + 60.0f;
        return inRing && root->countOfChildren() > 1 ? DragGraphicView::Reorder
                                                     : DragGraphicView::NoTarget;
    }
    if (TWMapsDoc *doc = map.document())
        doc->addObjectToChangedBranchesIfAbsent(m_branch);
    const Rect pb = parent->branchBounds();
    const bool left = pb.midX() < r.midX();
    const float s = map.interChildSpacing();
    const float imageLeft = imageRect(p).x() + m_margin;
    const bool inZone =
        left ? imageLeft + m_startBounds.width() <= pb.x() - s : imageLeft >= pb.maxX() + s;
    if (!inZone)
        return DragGraphicView::NoTarget;

    const float c0 = m_startBounds.midY();
    const Size canvas = view.canvasSize();
    float outermost = left ? pb.minX() : pb.maxX();
    float lowestBottom = 0, highestTop = canvas.height;
    float nearestBottomAbove = 0, nearestTopBelow = canvas.height;
    for (const auto &child : parent->children()) {
        const Rect cb = child->branchBounds();
        outermost = left ? std::min(outermost, cb.minX()) : std::max(outermost, cb.maxX());
        lowestBottom = std::max(lowestBottom, cb.maxY());
        highestTop = std::min(highestTop, cb.minY());
        if (cb.maxY() < c0)
            nearestBottomAbove = std::max(nearestBottomAbove, cb.maxY());
        if (cb.minY() > c0)
            nearestTopBelow = std::min(nearestTopBelow, cb.minY());
    }
    float minAbove = 0, minBelow = 0;
    branchOverlaps(*m_branch, Point(p.x - m_start.x, p.y - m_start.y), minAbove, minBelow);
    if (minAbove >= 0 && minBelow >= 0) {
        if (!m_forced)
            clear = true;
        return DragGraphicView::NoTarget;
    }
    const float rd = map.repelDistance();
    const float h = m_startBounds.height();
    const bool reorder = p.y < lowestBottom + 2 * rd + h && p.y > highestTop - 2 * rd - h &&
                         parent->countOfChildren() > 1 &&
                         (p.y > nearestTopBelow || p.y < nearestBottomAbove) &&
                         (left ? p.x >= outermost : p.x <= outermost);
    return reorder ? DragGraphicView::Reorder : DragGraphicView::NoTarget;
}

void TWBranchReparentTracker::reorder(TWMap &map, Point travel)
{
    TWMapBranch *parent = m_branch->parent();
    if (parent == map.root().get()) {
        m_graphic->publicMoveBy(travel, false);
        map.root()->reSortChildrenByPositionRecursively(false);
        return;
    }
    const QList<std::shared_ptr<TWMapBranch>> children = parent->children();
    const Rect bb = m_branch->branchBounds();
    const float c = bb.midY() + travel.y;
    const int i0 = int(children.indexOf(m_branch));
    const float pad = map.repelDistance() + effectiveBoundaryMargin(*m_branch);
    const float padded = bb.height() + 2 * pad;
    int k = int(children.size()) - 1;
    for (int i = 0; i < children.size(); ++i) {
        if (children[i]->branchBounds().midY() > c) {
            k = i - 1;
            break;
        }
    }
    auto shift = [&](int i, float dy) {
        if (const auto &g = children[i]->mainGraphic())
            g->publicMoveBy(Point(0, dy), false);
    };
    if (k < i0) {
        for (int i = k + 1; i < i0; ++i)
            shift(i, padded);
    } else {
        for (int i = i0 + 1; i <= k; ++i)
            shift(i, -padded);
    }
    m_graphic->publicMoveBy(travel, false);
    parent->reSortChildrenByPositionRecursively(false);
}

void TWBranchReparentTracker::end(TWGraphicView &view, QPointF point)
{
    TWMap *map = view.map();
    if (m_finished || !map || !m_image) {
        if (!m_finished)
            finish(Cancelled);
        return;
    }
    const Point p = view.mapPointFromViewport(point);
    const Rect hit = imageRect(p).insetBy(m_margin, m_margin);
    m_candidate = map->branchIntersectingRect(hit, m_branch.get());
    view.scrollRectToVisible(m_branch->branchBounds());
    int style = m_image->style();
    // A graft needs a new parent under the release.
    if (style == DragGraphicView::Graft &&
        (!m_candidate || m_candidate.get() == m_branch->parent()))
        style = DragGraphicView::NoTarget;

    if (style == DragGraphicView::Graft) {
        if (TWMapsDoc *doc = map->document())
            doc->publicGraftBranches({m_branch}, m_candidate);
        if (m_branch->parent() == m_candidate.get()) {
            finish(Grafted);
            return;
        }
        style = DragGraphicView::NoTarget; // refused: the branch stays
    }
    // Released where it was picked up: nothing moves, and no step is named.
    if (style == DragGraphicView::Reorder && p.x == m_start.x && p.y == m_start.y)
        style = DragGraphicView::NoTarget;
    if (style == DragGraphicView::Reorder) {
        reorder(*map, Point(p.x - m_start.x, p.y - m_start.y));
        finish(Reordered);
        return;
    }
    // Nothing to drop on: the image slides back onto the branch.
    m_result = Cancelled;
    m_finished = true;
    const Rect home = m_branch->branchBounds().insetBy(-m_margin, -m_margin);
    auto *slide = new QPropertyAnimation(m_image, "geometry", m_image);
    slide->setDuration(200);
    slide->setEndValue(view.viewportRectFromMap(home).toAlignedRect());
    QPointer<DragGraphicView> image(m_image.data());
    QObject::connect(slide, &QPropertyAnimation::finished, m_image, [image] {
        if (image)
            image->deleteLater();
    });
    m_image->setProperty("sliding", true);
    slide->start();
}
