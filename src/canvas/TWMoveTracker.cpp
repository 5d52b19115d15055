// Moving the selection by drag, with the layout modes' assistance and the
// snap lines, and the drags the canvas installs.

#include "canvas/TWBranchDragTrackers.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWSnapLines.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWSnapLine.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/BezierPath.h"
#include "support/GGVecLib.h"
#include "support/TWPreferences.h"

#include <cmath>

namespace {

enum LayoutMode { FreeLayout = 1, LooseLayout = 2, TightLayout = 3 };

// A graphic that carries its branch: not the root's, not attached, not a link line.
bool isBranchGraphic(const TWGraphic &g)
{
    const TWMapBranch *b = g.branch();
    return b && !b->isRoot() && !g.isLinkedGraphic() && !dynamic_cast<const TWLinkLine *>(&g);
}

} // namespace

void TWMoveTracker::begin(TWGraphicView &view, QPointF point)
{
    TWMap *map = view.map();
    m_done = true;
    if (!map)
        return;
    m_selection = map->selectedGraphics();
    m_graphics = TWMapUtilities::minimumGraphicCoverFromGraphics(m_selection, false);
    if (m_graphics.isEmpty())
        return;
    if (m_graphics.size() > 1 && map->layoutAssistanceMode() != FreeLayout) {
        const int answer = Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Multiple Selection")),
            TWLocalizedString(StringTable::DadoZiz,
                              QStringLiteral("You can't move multiple graphics at once unless you "
                                             "are in Free Layout Mode. Would you like to switch "
                                             "to Free Layout Mode?")),
            {TWLocalizedString(StringTable::General, QStringLiteral("Yes")),
             TWLocalizedString(StringTable::General, QStringLiteral("No"))});
        if (answer == 0)
            map->setLayoutAssistanceMode(FreeLayout);
        return;
    }
    if (dynamic_cast<TWBoundaryProxy *>(m_graphics.first().get()))
        return;
    m_done = false;
    if (TWPreferences::snapLines() && map->root())
        map->root()->addCoordsToArray(m_coords);
    m_start = view.mapPointFromViewport(point);
    m_previous = m_start;
    m_firstOrigin = m_graphics.first()->bounds().origin;
    if (TWMapBranch *b = m_graphics.first()->branch())
        m_startBounds = b->branchBounds();
}

void TWMoveTracker::move(TWGraphicView &view, QPointF point)
{
    if (m_done)
        return;
    const Point p = view.mapPointFromViewport(point);
    if (m_reparent) {
        m_reparent->move(view, point);
        if (!m_reparent->finished())
            return;
        // Clear again: the move goes on from here.
        const bool back = m_reparent->result() == TWReparentTracker::BackToMoving;
        m_reparent.reset();
        if (!back) {
            m_done = true;
            return;
        }
        step(view, p, true);
        return;
    }
    step(view, p, false);
}

void TWMoveTracker::step(TWGraphicView &view, Point p, bool resumed)
{
    TWMap *map = view.map();
    if (!map)
        return;
    if (!m_started) {
        if (std::fabs(p.x - m_start.x) < DeadZone && std::fabs(p.y - m_start.y) < DeadZone)
            return;
        m_started = true;
        // Only a drag that moves lays anything out afterwards.
        for (const auto &g : std::as_const(m_graphics)) {
            if (TWMapBranch *b = g->branch())
                view.addMovedBranch(b->shared_from_this());
        }
    }
    if (p.x == m_previous.x && p.y == m_previous.y)
        return;
    const Point d(p.x - m_previous.x, p.y - m_previous.y);
    for (const auto &g : std::as_const(m_graphics)) {
        if (!moveOne(view, *map, g, p, d, resumed))
            return; // handed over; the point is the reparenting drag's now
        m_lastHandled = g;
        updateSnapLines(view, *map, g);
    }
    m_previous = p;
}

bool TWMoveTracker::moveOne(TWGraphicView &view, TWMap &map, const std::shared_ptr<TWGraphic> &g,
                            Point p, Point d, bool resumed)
{
    const int mode = map.layoutAssistanceMode();
    TWMapBranch *branch = g->branch();
    if (!branch || !isBranchGraphic(*g) || mode == FreeLayout ||
        (mode != LooseLayout && mode != TightLayout)) {
        g->publicMoveBy(d, false);
        return true;
    }
    if (mode == TightLayout) {
        handOver(view, p, true, d);
        return false;
    }
    const std::shared_ptr<TWMapBranch> &root = map.root();
    const Rect rb = root->branchBounds();
    const Rect bb = branch->branchBounds();
    if (branch->parent() == root.get()) {
        // First level: never closer to the centre than the first-level spacing.
        const float spacing = map.firstLevelSpacing();
        const Point would(p.x + m_startBounds.x() - m_start.x, p.y + m_startBounds.y() - m_start.y);
        const Point centre(would.x + bb.width() / 2, would.y + bb.height() / 2);
        const float refX = centre.x >= rb.midX() ? would.x : would.x + bb.width();
        const float distance = std::hypot(refX - rb.midX(), centre.y - rb.midY());
        if (distance >= spacing) {
            const Point origin =
                branch->mainGraphic() ? branch->mainGraphic()->bounds().origin : g->bounds().origin;
            g->publicMoveBy(Point(p.x + m_firstOrigin.x - m_start.x - origin.x,
                                  p.y + m_firstOrigin.y - m_start.y - origin.y),
                            false);
        } else {
            const float a = calculateAngleFromVertical(centre.x - rb.midX(), rb.midY() - centre.y);
            float left = rb.midX() + std::sin(a) * spacing;
            if (a > 3.1415925f)
                left -= bb.width();
            const float top = rb.midY() - std::cos(a) * spacing - bb.height() / 2;
            g->publicMoveBy(Point(left - bb.x(), top - bb.y()), false);
        }
        return true;
    }
    if (!resumed) {
        // Too close to the parent's side: carry it to another parent.
        const Rect pb = branch->parent()->branchBounds();
        const float newLeft = bb.x() + d.x;
        const float spacing = map.interChildSpacing();
        const bool right = m_startBounds.midX() >= rb.midX();
        if ((right && spacing > newLeft - pb.maxX()) ||
            (!right && spacing > pb.x() - (newLeft + bb.width()))) {
            handOver(view, p, false, d);
            return false;
        }
    }
    float minAbove = 0, minBelow = 0;
    branchOverlaps(*branch, d, minAbove, minBelow);
    if (minAbove < 0 && minBelow < 0) {
        // Squeezed in between: both neighbours give way.
        QList<std::shared_ptr<TWMapBranch>> above, below;
        TWBranchLayout::allBranchesAboveMeIntoArray(*branch, above);
        TWBranchLayout::allBranchesBelowMeIntoArray(*branch, below);
        for (const auto &b : std::as_const(below))
            if (b->mainGraphic())
                b->mainGraphic()->publicMoveBy(Point(0, -minBelow), false);
        for (const auto &a : std::as_const(above))
            if (a->mainGraphic())
                a->mainGraphic()->publicMoveBy(Point(0, minAbove), false);
    } else if (minAbove < 0 || minBelow < 0) {
        if (resumed)
            return false; // still against one sibling; wait for the next step
        handOver(view, p, false, d);
        return false;
    }
    g->publicMoveBy(d, false);
    return true;
}

void TWMoveTracker::handOver(TWGraphicView &view, Point p, bool forced, Point d)
{
    removeSnapLines(view);
    m_reparent = std::make_unique<TWBranchReparentTracker>(forced, d);
    const QRectF at = view.viewportRectFromMap(Rect(p.x, p.y, 0, 0));
    m_reparent->begin(view, at.topLeft());
    if (m_reparent->finished()) {
        m_reparent.reset();
        m_done = true; // refused
    }
}

void TWMoveTracker::removeSnapLines(TWGraphicView &view)
{
    for (const auto &line : view.snapLines())
        if (line->bezierPath())
            view.setNeedsDisplayInRect(line->bezierPath()->bounds().insetBy(-1, -1));
    view.setSnapLines({});
    m_snapping = false;
}

void TWMoveTracker::updateSnapLines(TWGraphicView &view, TWMap &map,
                                    const std::shared_ptr<TWGraphic> &g)
{
    const auto &selected = map.selectedGraphics();
    const bool firstIsRoot =
        selected.isEmpty() || !selected.first()->branch() || selected.first()->branch()->isRoot();
    if (m_graphics.size() != 1 || !TWPreferences::snapLines() ||
        map.layoutAssistanceMode() == TightLayout || g->isLinkedGraphic() || firstIsRoot ||
        !map.root() || !map.root()->mainGraphic())
        return;
    removeSnapLines(view);
    const Rect sb = selected.first()->branch()->branchBounds();
    const TWSnapLines::Result snap =
        TWSnapLines::compute(sb, map.root()->mainGraphic()->bounds(), m_coords);
    m_snapTarget = Point(snap.targetX, snap.targetY);
    m_snapping = !snap.lines.isEmpty();
    for (const auto &line : snap.lines)
        view.setNeedsDisplayInRect(line->bezierPath()->bounds().insetBy(-1, -1));
    view.setSnapLines(snap.lines);
}

void TWMoveTracker::end(TWGraphicView &view, QPointF point)
{
    if (!m_done && !m_reparent)
        move(view, point);
    if (m_reparent) {
        m_reparent->end(view, point);
        if (m_reparent->result() == TWReparentTracker::Grafted)
            m_actionName = "Graft Branch";
        else if (m_reparent->result() == TWReparentTracker::Reordered)
            m_actionName = "Move";
        if (m_actionName)
            UndoManager::setActionName(
                view.document() ? view.document()->undoManager() : nullptr,
                TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(m_actionName)));
        m_reparent.reset();
        m_coords.clear();
        return;
    }
    if (m_snapping && m_lastHandled && m_lastHandled->branch()) {
        const Rect bb = m_lastHandled->branch()->branchBounds();
        removeSnapLines(view);
        m_lastHandled->publicMoveBy(Point(m_snapTarget.x - bb.x(), m_snapTarget.y - bb.y()), false);
    } else if (!view.snapLines().isEmpty()) {
        removeSnapLines(view);
    }
    m_coords.clear();
    if (m_done && !m_started)
        return; // refused at the start: the selection is as it was
    if (TWMap *map = view.map()) {
        map->removeAllSelectedGraphics();
        for (const auto &g : std::as_const(m_selection))
            map->insertObjectInSelectedGraphicsAtIndex(g, map->countOfSelectedGraphics());
    }
}

std::unique_ptr<TWDragTracker> TWCanvasGraphicDrags::moveSelectedGraphic(TWGraphicView &, QPointF)
{
    return std::make_unique<TWMoveTracker>();
}

std::unique_ptr<TWReparentTracker>
TWCanvasGraphicDrags::reparentSelectedGraphic(TWGraphicView &, QPointF, bool forced, Point offset)
{
    return std::make_unique<TWBranchReparentTracker>(forced, offset);
}
