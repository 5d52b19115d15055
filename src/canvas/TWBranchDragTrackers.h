#pragma once

#include "canvas/TWGraphicDrags.h"
#include "platform/Geometry.h"

#include <QList>
#include <QPointer>

#include "canvas/DragGraphicView.h"
#include <memory>

class DragGraphicView;
class TWGraphic;
class TWMap;
class TWMapBranch;

// The least clearances (0, or negative for an overlap) between the branch
// moved by `d` and the branches above and below it.
void branchOverlaps(TWMapBranch &branch, Point d, float &minAbove, float &minBelow);

// Carries the one selected branch, shown as a floating image, onto a new
// parent (graft) or to another place among its siblings (re-order). An
// unforced drag ends by itself, with BackToMoving, once the branch is clear
// of its siblings again.
class TWBranchReparentTracker : public TWReparentTracker
{
public:
    // `offset`: pointer travel of the move drag's last step that the branch
    // has not made yet.
    TWBranchReparentTracker(bool forced, Point offset) : m_forced(forced), m_offset(offset) {}
    ~TWBranchReparentTracker() override;

    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;
    Result result() const override { return m_result; }
    // Refused at the start, or given back to the move drag.
    bool finished() const { return m_finished; }
    int style() const;
    DragGraphicView *image() const { return m_image; }

private:
    void finish(Result result);
    int reorderStyle(TWGraphicView &view, TWMap &map, Point p, bool &clear);
    void reorder(TWMap &map, Point travel);
    Rect imageRect(Point p) const;

    bool m_forced;
    Point m_offset;
    Result m_result = Cancelled;
    bool m_finished = false;
    std::shared_ptr<TWGraphic> m_graphic;
    std::shared_ptr<TWMapBranch> m_branch;
    std::shared_ptr<TWMapBranch> m_candidate;
    Rect m_startBounds;
    Point m_start;
    float m_margin = 2;
    QPointer<DragGraphicView> m_image;
};

// Moves the selected graphics with the pointer, assisted by the map's
// layout mode; hands a branch to a reparenting drag where the layout asks
// for it, and shows snap lines for a lone branch.
class TWMoveTracker : public TWDragTracker
{
public:
    static constexpr float DeadZone = 2.0f;

    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;
    bool autoscrolls() const override { return !m_done; }

    bool started() const { return m_started; }
    const TWBranchReparentTracker *reparent() const { return m_reparent.get(); }
    // The undo name the drag ended with, when it handed over.
    const char *actionName() const { return m_actionName; }

private:
    void step(TWGraphicView &view, Point p, bool resumed);
    // false: the graphic was handed over (and not moved).
    bool moveOne(TWGraphicView &view, TWMap &map, const std::shared_ptr<TWGraphic> &g, Point p,
                 Point d, bool resumed);
    void handOver(TWGraphicView &view, Point p, bool forced, Point d);
    bool pushApart(TWMapBranch &branch, Point d, bool apply);
    void updateSnapLines(TWGraphicView &view, TWMap &map, const std::shared_ptr<TWGraphic> &g);
    void removeSnapLines(TWGraphicView &view);
    void finishHandOver(TWGraphicView &view);

    QList<std::shared_ptr<TWGraphic>> m_graphics;
    QList<std::shared_ptr<TWGraphic>> m_selection;
    Point m_start;
    Point m_previous;
    bool m_started = false;
    bool m_done = false;
    Point m_firstOrigin;
    Rect m_startBounds;
    QList<Rect> m_coords;
    bool m_snapping = false;
    Point m_snapTarget;
    std::shared_ptr<TWGraphic> m_lastHandled;
    std::unique_ptr<TWBranchReparentTracker> m_reparent;
    const char *m_actionName = nullptr;
};

// The drags the canvas runs for moving and reparenting.
class TWCanvasGraphicDrags : public TWGraphicDrags
{
public:
    std::unique_ptr<TWDragTracker> moveSelectedGraphic(TWGraphicView &view, QPointF point) override;
    std::unique_ptr<TWReparentTracker> reparentSelectedGraphic(TWGraphicView &view, QPointF point,
                                                               bool forced, Point offset) override;
};
