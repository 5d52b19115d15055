#include "mapdrawing/TWBoundaryOutline.h"
#include "mapdrawing/TWMapBranch_Layout.h"

#include "model/TWMap.h"
#include "platform/NotificationCenter.h"
#include "support/BezierPath.h"
#include "support/ForkJoinThreads.h"
#include "support/TWPointHolder.h"

#include <QSet>
#include <QStringList>
#include <QVarLengthArray>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace TWBranchLayout {

namespace {

constexpr float NoMinimum = 9999999;
constexpr float NoMaximum = -9999999;
constexpr float SiblingStackStart = 500;

void postRedraw(const TWMapBranch &branch, Rect rect)
{
    QVariantMap info{{TWMapBranch::RectKey, rect.toQt()}};
    if (std::shared_ptr<TWMap> map = branch.mapPointer())
        info.insert(TWMapBranch::MapKey, QVariant::fromValue(NotificationObject(map)));
    NotificationCenter::defaultCenter().post(TWMapBranch::RedrawInRectNotification, nullptr, info);
}

void dropCachedPath(TWMapBranch &branch)
{
    const std::shared_ptr<BezierPath> path = branch.cachedBoundaryPath();
    if (!path)
        return;
    const float grow = branch.boundaryLineWidth();
    postRedraw(branch, path->bounds().insetBy(-grow, -grow));
    branch.setCachedBoundaryPath(nullptr);
}

// Only a branch whose boundary is drawn needs its path at once; the others
// build it when asked.
void refreshPath(TWMapBranch &branch)
{
    if (branch.hasBoundary())
        boundaryPath(branch);
}

// Sets `points` to those of `source`, reusing the holders it has: sets are
// refilled at every move of a layout run, and no outline that is still
// read shares these holders (an outline is invalidated with its set).
void assignPoints(PointList &points, const Point *source, qsizetype count)
{
    if (points.size() != count) {
        points.clear();
        points.reserve(count);
        for (qsizetype i = 0; i < count; ++i)
            points.append(TWPointHolder::pointHolderForPoint(source[i]));
        return;
    }
    for (qsizetype i = 0; i < count; ++i)
        points.at(i)->setPoint(source[i]);
}

void fillCorners(PointList &points, Rect r, float grow)
{
    const Rect g = r.insetBy(-grow, -grow);
    const Point corners[4] = {
        {g.x(), g.y()}, {g.x(), g.maxY()}, {g.maxX(), g.y()}, {g.maxX(), g.maxY()}};
    assignPoints(points, corners, 4);
}

float repelOf(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    return map ? float(map->repelDistance()) : 0;
}

// Appends the points of the branch and its descendants held in
// `dictionary`, in tree order, noting their keys in `seen` when given; stops
// once every point set is found.
void appendInTreeOrder(TWMapBranch &b, const PointDictionary &dictionary, PointList &points,
                       qsizetype &found, QSet<QString> *seen)
{
    if (found == dictionary.size())
        return;
    const QString key = keyOf(b);
    if (const auto it = dictionary.constFind(key); it != dictionary.cend()) {
        points.append(it.value());
        if (seen)
            seen->insert(key);
        ++found;
    }
    for (const std::shared_ptr<TWMapBranch> &child : b.children())
        appendInTreeOrder(*child, dictionary, points, found, seen);
}

// In tree order: the hull, and so where the drawn outline starts and its
// dashes fall, must not depend on the hash's order. Sets of branches no
// longer in the subtree follow, by key.
PointList allPoints(TWMapBranch &branch)
{
    const PointDictionary &dictionary = branch.childrenBoundaryPoints();
    PointList points;
    qsizetype found = 0;
    appendInTreeOrder(branch, dictionary, points, found, nullptr);
    if (found < dictionary.size()) {
        // Rare: the walk again, noting what it found.
        QSet<QString> seen;
        PointList again;
        found = 0;
        appendInTreeOrder(branch, dictionary, again, found, &seen);
        QStringList rest;
        for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
            if (!seen.contains(it.key()))
                rest.append(it.key());
        }
        std::sort(rest.begin(), rest.end());
        for (const QString &key : std::as_const(rest))
            points.append(dictionary.value(key));
    }
    return points;
}

// An empty set stands for one not yet made: it is made whole from the
// subtree when next read (see rebuildOrdinary), so a change adds nothing
// to it. The branch and its ancestors below the root are invalidated from
// the bottom up, then their paths refreshed from the top down. Most sets
// are empty (an import, a hide level change touches every branch): the
// key and the changed bounds are only made for one that is not.
void updateOrdinary(TWMapBranch &branch, const TWMapBranch &changed)
{
    QVarLengthArray<TWMapBranch *, 32> chain;
    std::optional<QString> key;
    Rect rect;
    for (TWMapBranch *b = &branch;;) {
        PointDictionary &points = b->childrenBoundaryPoints();
        if (!points.isEmpty()) {
            if (!key) {
                key = keyOf(changed);
                rect = layoutRoom(changed);
            }
            fillCorners(points[*key], rect, repelOf(*b) + effectiveBoundaryMargin(*b));
        }
        invalidateBoundary(*b);
        chain.append(b);
        TWMapBranch *parent = b->parent();
        if (!parent || parent->isRoot())
            break;
        b = parent;
    }
    for (qsizetype i = chain.size(); i-- > 0;)
        refreshPath(*chain[i]);
}

// The branch and its descendants that are shown, in tree order; hidden()
// per branch would walk the ancestors again for each.
void appendShown(TWMapBranch &branch, int level, int hideLevel, BranchList &out)
{
    out.append(branch.shared_from_this());
    if (branch.childrenHidden() || level + 1 > hideLevel)
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        appendShown(*child, level + 1, hideLevel, out);
}

void shownSubtree(TWMapBranch &branch, BranchList &out)
{
    if (branch.hidden())
        return;
    const TWMap *map = branch.map();
    appendShown(branch, branch.getThisBranchLevel(),
                map ? map->branchHideLevel() : std::numeric_limits<int>::max(), out);
}

// The ordinary set made whole: the corners of every shown branch of the
// subtree, grown by this branch's repel and margin (the root's outline is
// its own rectangle).
void rebuildOrdinary(TWMapBranch &branch)
{
    PointDictionary &points = branch.childrenBoundaryPoints();
    const float grow = repelOf(branch) + effectiveBoundaryMargin(branch);
    if (branch.isRoot()) {
        if (!branch.hidden())
            fillCorners(points[keyOf(branch)], layoutRoom(branch), grow);
        return;
    }
    BranchList shown;
    shownSubtree(branch, shown);
    // A hidden subtree's set stays unmade: reserving nothing would still
    // allocate a table.
    if (!shown.isEmpty())
        points.reserve(shown.size());
    for (const std::shared_ptr<TWMapBranch> &d : std::as_const(shown))
        fillCorners(points[keyOf(*d)], layoutRoom(*d), grow);
}

// The branch's own points while a layout runs.
PointList &ownAutolayoutPoints(TWMapBranch &branch)
{
    return branch.autolayoutOwnPoints();
}

void fillOwnAutolayoutPoints(TWMapBranch &branch)
{
    fillCorners(ownAutolayoutPoints(branch), branch.autolayoutBranchMovedBounds(),
                repelOf(branch) + effectiveBoundaryMargin(branch));
}

// The branch's level, or -1 when it is hidden: hidden() and the level in
// one walk up.
int shownLevel(const TWMapBranch &branch)
{
    int level = 0;
    bool collapsed = false;
    for (const TWMapBranch *p = branch.parent(); p; p = p->parent()) {
        collapsed = collapsed || p->childrenHidden();
        ++level;
    }
    const TWMap *map = branch.map();
    return collapsed || (map && level > map->branchHideLevel()) ? -1 : level;
}

// A changed branch makes its own outline and those of its ancestors below
// the root stale; they are hulled again when read.
void markAutolayoutStale(TWMapBranch &branch)
{
    for (TWMapBranch *b = &branch; b;) {
        scheduleAutolayoutRecalculation(*b);
        TWMapBranch *parent = b->parent();
        if (!parent || parent->isRoot())
            break;
        b = parent;
    }
}

float outlineMaxY(const PointList &outline)
{
    float y = -std::numeric_limits<float>::infinity();
    for (const std::shared_ptr<TWPointHolder> &p : outline)
        y = std::max(y, p->point().y);
    return y;
}

float outlineMinY(const PointList &outline)
{
    float y = std::numeric_limits<float>::infinity();
    for (const std::shared_ptr<TWPointHolder> &p : outline)
        y = std::min(y, p->point().y);
    return y;
}

void moveShadowDown(TWMapBranch &branch, float by)
{
    if (by > 0)
        setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
            branch, branch.autolayoutBranchMovedBounds().offsetBy(0, by));
}

void siblingsOnSide(TWMapBranch &branch, BranchList &array, bool above)
{
    TWMapBranch *parent = branch.parent();
    if (!parent)
        return;
    const BranchList &siblings = parent->children();
    const int i = int(siblings.indexOf(branch.shared_from_this()));
    if (i < 0)
        return;
    const TWMap *map = branch.map();
    TWMapBranch *top = branch.findTopLevelBranch();
    const bool bottomUp =
        top && isToLeftOfRoot(*top) && map && !map->childOutlineNumberingTopDown();
    // Upward in the list when the children run top to bottom and we want those above.
    const bool towardStart = above != bottomUp;
    if (towardStart) {
        for (int j = i - 1; j >= 0; --j)
            array.append(siblings.at(j));
    } else {
        for (int j = i + 1; j < siblings.size(); ++j)
            array.append(siblings.at(j));
    }
    if (TWMapBranch *grandparent = parent->parent(); grandparent && !grandparent->isRoot())
        siblingsOnSide(*parent, array, above);
}

void appendCorners(std::vector<Point> &points, Rect r, float grow)
{
    const Rect g = r.insetBy(-grow, -grow);
    points.insert(points.end(),
                  {{g.x(), g.y()}, {g.x(), g.maxY()}, {g.maxX(), g.y()}, {g.maxX(), g.maxY()}});
}

// --- outlines from the children's rims ---
//
// A branch's outline is the hull of the corners of every shown rectangle of
// its subtree, grown by its repel and margin. Made from the whole subtree at
// every level, a chain of n levels costs n^2 points. But a corner of the
// grown hull always comes from a rectangle with a corner at a corner of the
// ungrown hull (growing by g >= 0 moves each corner outward along its own
// diagonal), whatever g is. So each branch keeps its rim, those rectangles
// of its subtree, made from its own and its children's rims; a branch's
// outline is hulled from them alone, in tree order, which gives the same
// points in the same order as the whole subtree (the points left out are
// inside the hull). A rectangle that is not finite, or is turned inside out,
// has no such corners and stays on every rim above it.

using Rim = TWMapBranch::OutlineRim;

// Beyond this, growing or hulling no longer works out exactly.
constexpr float LargestRegularCoordinate = 1e18f;

bool regular(Rect r)
{
    const float values[4] = {r.x(), r.y(), r.maxX(), r.maxY()};
    for (const float v : values) {
        if (!(std::fabs(v) < LargestRegularCoordinate))
            return false;
    }
    return r.width() >= 0 && r.height() >= 0;
}

void forgetRim(TWMapBranch &branch)
{
    Rim &rim = branch.outlineRim();
    rim.level = -1;
    rim.branches.clear();
}

int hideLevelOf(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    return map ? map->branchHideLevel() : std::numeric_limits<int>::max();
}

bool childrenShown(const TWMapBranch &branch, int level, int hideLevel)
{
    return !branch.childrenHidden() && level < hideLevel;
}

bool rimKnown(TWMapBranch &branch, int level, int hideLevel)
{
    const Rim &rim = branch.outlineRim();
    if (rim.level != level || rim.hideLevel != hideLevel)
        return false;
    return std::none_of(rim.branches.cbegin(), rim.branches.cend(),
                        [](const std::weak_ptr<TWMapBranch> &b) { return b.expired(); });
}

// The branch, then the rims of its shown children, in tree order.
void rimCandidates(TWMapBranch &branch, int level, int hideLevel,
                   std::vector<std::shared_ptr<TWMapBranch>> &out)
{
    out.push_back(branch.shared_from_this());
    if (!childrenShown(branch, level, hideLevel))
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
        for (const std::weak_ptr<TWMapBranch> &d : child->outlineRim().branches) {
            if (std::shared_ptr<TWMapBranch> kept = d.lock())
                out.push_back(std::move(kept));
        }
    }
}

bool lexicographicallyBefore(Point a, Point b)
{
    return a.x < b.x || (a.x == b.x && a.y < b.y);
}

// The corners of the strict hull of the points (on a line: its two ends).
std::vector<Point> strictHullCorners(std::vector<Point> points)
{
    std::sort(points.begin(), points.end(), lexicographicallyBefore);
    points.erase(std::unique(points.begin(), points.end(),
                             [](Point a, Point b) { return a.x == b.x && a.y == b.y; }),
                 points.end());
    if (points.size() < 3)
        return points;
    const auto cross = [](Point o, Point a, Point b) {
        return (double(a.x) - o.x) * (double(b.y) - o.y) -
               (double(a.y) - o.y) * (double(b.x) - o.x);
    };
    std::vector<Point> hull(2 * points.size());
    size_t k = 0;
    for (const Point p : points) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0)
            --k;
        hull[k++] = p;
    }
    for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    std::sort(hull.begin(), hull.end(), lexicographicallyBefore);
    return hull;
}

void makeRim(TWMapBranch &branch, int level, int hideLevel)
{
    std::vector<std::shared_ptr<TWMapBranch>> candidates;
    rimCandidates(branch, level, hideLevel, candidates);
    std::vector<Rect> rooms;
    rooms.reserve(candidates.size());
    std::vector<Point> corners;
    corners.reserve(4 * candidates.size());
    for (const std::shared_ptr<TWMapBranch> &d : candidates) {
        const Rect r = layoutRoom(*d);
        rooms.push_back(r);
        if (regular(r))
            corners.insert(
                corners.end(),
                {{r.x(), r.y()}, {r.x(), r.maxY()}, {r.maxX(), r.y()}, {r.maxX(), r.maxY()}});
    }
    const std::vector<Point> hull = strictHullCorners(std::move(corners));
    const auto onHull = [&hull](Point p) {
        const auto it = std::lower_bound(hull.cbegin(), hull.cend(), p, lexicographicallyBefore);
        return it != hull.cend() && it->x == p.x && it->y == p.y;
    };
    Rim &rim = branch.outlineRim();
    rim.branches.clear();
    for (size_t i = 0; i < candidates.size(); ++i) {
        const Rect r = rooms[i];
        if (!regular(r) || onHull({r.x(), r.y()}) || onHull({r.x(), r.maxY()}) ||
            onHull({r.maxX(), r.y()}) || onHull({r.maxX(), r.maxY()}))
            rim.branches.push_back(candidates[i]);
    }
    rim.level = level;
    rim.hideLevel = hideLevel;
}

// The rims of the shown subtree of `branch`, at `level`, made bottom up
// where not known; without recursion, for outlines thousands deep.
void ensureRims(TWMapBranch &branch, int level, int hideLevel)
{
    if (rimKnown(branch, level, hideLevel))
        return;
    struct Frame
    {
        TWMapBranch *branch;
        int level;
        qsizetype next;
    };
    std::vector<Frame> stack{{&branch, level, 0}};
    while (!stack.empty()) {
        Frame &top = stack.back();
        TWMapBranch &b = *top.branch;
        const int at = top.level;
        if (childrenShown(b, at, hideLevel) && top.next < b.children().size()) {
            TWMapBranch &child = *b.children().at(top.next++);
            if (!rimKnown(child, at + 1, hideLevel))
                stack.push_back({&child, at + 1, 0});
            continue;
        }
        makeRim(b, at, hideLevel);
        stack.pop_back();
    }
}

// The outline of a branch whose set is not made, or was made from the rims,
// from its children's rims: the set then holds the points of the rim's
// rectangles alone, and the outline holds points of the set. A change
// updates such a set as any other, and the next outline makes it again.
// False when the set must be made from the whole subtree.
bool outlineFromRims(TWMapBranch &branch)
{
    PointDictionary &set = branch.childrenBoundaryPoints();
    set.clear();
    Rim &rim = branch.outlineRim();
    rim.setFromRims.reset();
    const float grow = repelOf(branch) + effectiveBoundaryMargin(branch);
    if (!(grow >= 0 && grow < LargestRegularCoordinate))
        return false;
    PointList &outline = branch.childrenBoundaryOutlinePoints();
    const int level = shownLevel(branch);
    if (level < 0) {
        dropCachedPath(branch);
        outline.clear();
        return true;
    }
    // The branch's own corners come first: where the outline starts and
    // which way it turns are read from them.
    if (!regular(layoutRoom(branch)))
        return false;
    const int hideLevel = hideLevelOf(branch);
    std::vector<TWMapBranch *> order{&branch};
    std::vector<std::shared_ptr<TWMapBranch>> kept;
    if (childrenShown(branch, level, hideLevel)) {
        for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
            ensureRims(*child, level + 1, hideLevel);
            for (const std::weak_ptr<TWMapBranch> &d : child->outlineRim().branches) {
                if (std::shared_ptr<TWMapBranch> alive = d.lock()) {
                    order.push_back(alive.get());
                    kept.push_back(std::move(alive));
                }
            }
        }
    }
    set.reserve(qsizetype(order.size()));
    for (TWMapBranch *d : order)
        fillCorners(set[keyOf(*d)], layoutRoom(*d), grow);
    // As the whole set is read: each key's points once, where first met.
    PointList holders;
    holders.reserve(qsizetype(4 * order.size()));
    QSet<QString> met;
    for (TWMapBranch *d : order) {
        const QString key = keyOf(*d);
        if (!met.contains(key)) {
            met.insert(key);
            holders.append(set.value(key));
        }
    }
    std::vector<Point> points;
    points.reserve(size_t(holders.size()));
    for (const std::shared_ptr<TWPointHolder> &h : std::as_const(holders))
        points.push_back(h->point());
    const std::vector<int> hull = TWBoundaryOutline::hullOfPoints(points);
    dropCachedPath(branch);
    outline.clear();
    outline.reserve(qsizetype(hull.size()));
    for (const int index : hull)
        outline.append(holders.at(index));
    if (const PointList &own = set.value(keyOf(branch)); !own.isEmpty())
        rim.setFromRims = own.first();
    return true;
}

// Whether the set is the one made from the rims: one filled otherwise, even
// after that, is read whole.
bool setMadeFromRims(TWMapBranch &branch)
{
    const std::shared_ptr<TWPointHolder> mark = branch.outlineRim().setFromRims.lock();
    if (!mark)
        return false;
    const PointDictionary &set = branch.childrenBoundaryPoints();
    const auto it = set.constFind(keyOf(branch));
    return it != set.cend() && !it->isEmpty() && it->first() == mark;
}

} // namespace

float effectiveBoundaryMargin(const TWMapBranch &branch)
{
    return branch.hasBoundary() ? branch.boundaryMargin() + branch.boundaryLineWidth() : 0;
}

void updateBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed)
{
    if (changed.hidden())
        return;
    updateOrdinary(branch, changed);
}

// During a run the autolayout set keeps each branch's own points; the
// points of its subtree are its children's outlines, or their shadow
// rectangles, read when the outline is made (see autolayoutHullInput).
void updateAutolayoutBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed)
{
    if (changed.hidden())
        return;
    if (&changed == &branch)
        refreshOwnAutolayoutPoints(branch);
    markAutolayoutStale(branch);
}

void refreshOwnAutolayoutPoints(TWMapBranch &branch)
{
    if (!branch.hidden())
        fillOwnAutolayoutPoints(branch);
}

void updateBoundary(TWMapBranch &branch)
{
    updateBoundaryForChangedChild(branch, branch);
}

void removeChildFromBoundary(TWMapBranch &branch, TWMapBranch &removed)
{
    const QString key = keyOf(removed);
    for (TWMapBranch *b = &branch; b; b = b->parent()) {
        b->childrenBoundaryPoints().remove(key);
        invalidateBoundary(*b);
    }
    for (TWMapBranch *b = &branch; b; b = b->parent())
        refreshPath(*b);
}

void invalidateBoundary(TWMapBranch &branch)
{
    branch.childrenBoundaryOutlinePoints().clear();
    forgetRim(branch);
    dropCachedPath(branch);
}

void invalidateAutolayoutBoundary(TWMapBranch &branch)
{
    branch.autolayoutChildrenBoundaryOutlinePoints().clear();
}

void removeAllChildrenBoundaryPoints(TWMapBranch &branch)
{
    branch.childrenBoundaryPoints().clear();
}

void removeAllAutolayoutChildrenBoundaryPoints(TWMapBranch &branch)
{
    branch.autolayoutChildrenBoundaryPoints().clear();
}

namespace {

// The holders move, not the set: reading it leaves a shared set shared.
template <typename Move> void moveHolders(const PointDictionary &points, Move move)
{
    for (auto it = points.cbegin(); it != points.cend(); ++it) {
        for (const std::shared_ptr<TWPointHolder> &p : it.value())
            move(*p);
    }
}

} // namespace

void moveBoundaryBy(TWMapBranch &branch, float dx, float dy)
{
    // The shape moved apart from the rest of the trees it is in: which
    // rectangles reach their outlines' corners is to be worked out again.
    for (TWMapBranch *b = &branch; b; b = b->parent())
        forgetRim(*b);
    moveHolders(branch.childrenBoundaryPoints(),
                [dx, dy](TWPointHolder &p) { p.movePointByX(dx, dy); });
    // The outline may be a copy that does not share the moved points, and a
    // kept path would stay behind: both are rebuilt from the points.
    if (!branch.childrenBoundaryOutlinePoints().isEmpty() || branch.cachedBoundaryPath()) {
        invalidateBoundary(branch);
        refreshPath(branch);
    }
}

void slideBoundaryBy(TWMapBranch &branch, float dx, float dy, unsigned move)
{
    moveHolders(branch.childrenBoundaryPoints(),
                [=](TWPointHolder &p) { p.movePointOnce(move, dx, dy); });
    // The outline holds points of the set, or copies: each moves once, and
    // the hull stays what it was. The path is made from it when next asked;
    // the whole canvas is redrawn after such a move.
    const PointList &outline = branch.childrenBoundaryOutlinePoints();
    for (const std::shared_ptr<TWPointHolder> &p : outline)
        p->movePointOnce(move, dx, dy);
    branch.setCachedBoundaryPath(nullptr);
}

void moveAutolayoutBoundaryBy(TWMapBranch &branch, float dx, float dy)
{
    moveHolders(branch.autolayoutChildrenBoundaryPoints(),
                [dx, dy](TWPointHolder &p) { p.movePointByX(dx, dy); });
    for (const std::shared_ptr<TWPointHolder> &p : std::as_const(branch.autolayoutOwnPoints()))
        p->movePointByX(dx, dy);
    branch.setMinAutolayoutY(branch.minAutolayoutY() + dy);
    branch.setMaxAutolayoutY(branch.maxAutolayoutY() + dy);
}

const PointList &childrenBoundaryOutlinePoints(TWMapBranch &branch)
{
    if (branch.childrenBoundaryOutlinePoints().isEmpty()) {
        invalidateBoundary(branch);
        recalculateBoundary(branch);
        refreshPath(branch);
    }
    return branch.childrenBoundaryOutlinePoints();
}

const PointList &autolayoutChildrenBoundaryOutlinePoints(TWMapBranch &branch)
{
    if (branch.autolayoutChildrenBoundaryOutlinePoints().isEmpty() ||
        std::isnan(branch.minAutolayoutY()))
        recalculateAutolayoutBoundary(branch);
    return branch.autolayoutChildrenBoundaryOutlinePoints();
}

void recalculateBoundary(TWMapBranch &branch)
{
    if (!branch.isRoot() &&
        (branch.childrenBoundaryPoints().isEmpty() || setMadeFromRims(branch)) &&
        outlineFromRims(branch))
        return;
    if (branch.childrenBoundaryPoints().isEmpty())
        rebuildOrdinary(branch);
    const PointList points = allPoints(branch);
    dropCachedPath(branch);
    TWBoundaryOutline::recalculateBoundaryFromAllPoints(points,
                                                        branch.childrenBoundaryOutlinePoints());
}

namespace {

void appendPoints(std::vector<Point> &points, const PointList &holders)
{
    for (const std::shared_ptr<TWPointHolder> &p : holders)
        points.push_back(p->point());
}

// The points whose hull is the branch's autolayout outline. A child grown by
// the same margin has the same points for its subtree in its own set, so its
// outline stands for them: each hull is then made from a few points per
// child instead of every rectangle of the subtree.
void autolayoutHullInput(TWMapBranch &branch, int level, std::vector<Point> &input)
{
    appendPoints(input, ownAutolayoutPoints(branch));
    if (branch.isRoot())
        return; // the root's outline is its own rectangle
    const TWMap *map = branch.map();
    // The branch is shown: its children are, unless collapsed or too deep.
    if (branch.childrenHidden() || (map && level + 1 > map->branchHideLevel()))
        return;
    const float margin = effectiveBoundaryMargin(branch);
    const float grow = repelOf(branch) + margin;
    BranchList subtree;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
        if (effectiveBoundaryMargin(*child) == margin) {
            appendPoints(input, autolayoutChildrenBoundaryOutlinePoints(*child));
            continue;
        }
        subtree.clear();
        settleSubtree(*child);
        shownSubtree(*child, subtree);
        for (const std::shared_ptr<TWMapBranch> &d : std::as_const(subtree))
            appendCorners(input, d->autolayoutBranchMovedBounds(), grow);
    }
}

} // namespace

void recalculateAutolayoutBoundary(TWMapBranch &branch)
{
    std::vector<Point> points;
    if (const int level = shownLevel(branch); level >= 0) {
        settleChildren(branch);
        fillOwnAutolayoutPoints(branch);
        autolayoutHullInput(branch, level, points);
    }
    const std::vector<int> hull = TWBoundaryOutline::hullOfPoints(points);
    // Holders of its own, so that the outline can be moved by itself: the
    // old outline's when nothing else holds them, which a run remakes
    // outlines too often to allocate anew each time.
    PointList &outline = branch.autolayoutChildrenBoundaryOutlinePoints();
    const bool reuse = outline.size() == qsizetype(hull.size()) && outline.isDetached() &&
                       std::all_of(outline.cbegin(), outline.cend(),
                                   [](const auto &holder) { return holder.use_count() == 1; });
    if (!reuse) {
        outline.clear();
        outline.reserve(qsizetype(hull.size()));
    }
    float minY = NoMinimum, maxY = NoMaximum;
    for (qsizetype k = 0; k < qsizetype(hull.size()); ++k) {
        const Point p = points[size_t(hull[size_t(k)])];
        if (reuse)
            outline[k]->setPoint(p);
        else
            outline.append(TWPointHolder::pointHolderForPoint(p));
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    branch.setMinAutolayoutY(minY);
    branch.setMaxAutolayoutY(maxY);
}

bool translateAutolayoutOutline(TWMapBranch &branch, float dx, float dy)
{
    PointList &outline = branch.autolayoutChildrenBoundaryOutlinePoints();
    if (outline.isEmpty() || std::isnan(branch.minAutolayoutY()))
        return false;
    for (const std::shared_ptr<TWPointHolder> &p : std::as_const(outline))
        p->movePointByX(dx, dy);
    branch.setMinAutolayoutY(branch.minAutolayoutY() + dy);
    branch.setMaxAutolayoutY(branch.maxAutolayoutY() + dy);
    return true;
}

void scheduleAutolayoutRecalculation(TWMapBranch &branch)
{
    // A NaN extreme stays NaN through moves: the mark survives until a read.
    // The outline's holders stay for the new outline to take over.
    branch.setMinAutolayoutY(std::numeric_limits<float>::quiet_NaN());
}

void populateAutolayoutBoundaryFromOrdinaryBoundary(TWMapBranch &branch)
{
    // The run starts from the real bounds, which the shadow rectangles now
    // hold: the branch's own points, and its outline when first read.
    PointDictionary &points = branch.autolayoutChildrenBoundaryPoints();
    if (points.size() > 1)
        points.clear();
    refreshOwnAutolayoutPoints(branch);
    scheduleAutolayoutRecalculation(branch);
}

void populateOrdinaryBoundaryFromAutolayoutBoundary(TWMapBranch &branch)
{
    invalidateBoundary(branch);
    if (branch.isRoot()) {
        BranchList own;
        if (!branch.hidden())
            own.append(branch.shared_from_this());
        commitAutolayoutPoints(branch, own, true);
    } else {
        // Made from the committed subtree when next read: filling every
        // branch's set with its whole subtree here would cost the map's
        // size times its depth.
        branch.childrenBoundaryPoints().clear();
    }
    // A drawn boundary's outline and path are made now.
    refreshPath(branch);
}

void commitAutolayoutPoints(TWMapBranch &branch, const BranchList &contributors, bool exactly)
{
    PointDictionary &points = branch.childrenBoundaryPoints();
    if (!exactly && points.isEmpty()) {
        // Not made yet: made whole when read.
        invalidateBoundary(branch);
        return;
    }
    if (exactly && points.size() > contributors.size())
        points.clear();
    const float grow = repelOf(branch) + effectiveBoundaryMargin(branch);
    for (const std::shared_ptr<TWMapBranch> &d : contributors)
        fillCorners(points[keyOf(*d)], d->autolayoutBranchMovedBounds(), grow);
    if (exactly && points.size() != contributors.size()) {
        QSet<QString> keys;
        for (const std::shared_ptr<TWMapBranch> &d : contributors)
            keys.insert(keyOf(*d));
        for (auto it = points.begin(); it != points.end();)
            it = keys.contains(it.key()) ? std::next(it) : points.erase(it);
    }
    invalidateBoundary(branch);
}

void allBranchesAboveMeIntoArray(TWMapBranch &branch, BranchList &array)
{
    siblingsOnSide(branch, array, true);
}

void allBranchesBelowMeIntoArray(TWMapBranch &branch, BranchList &array)
{
    siblingsOnSide(branch, array, false);
}

BranchList ancestorsWithBoundaries(const TWMapBranch &branch)
{
    BranchList ancestors;
    for (TWMapBranch *p = branch.parent(); p; p = p->parent())
        ancestors.append(p->shared_from_this());
    return ancestors;
}

float PlacedOutlines::lowestY(const PointList &outline)
{
    return outline.isEmpty() ? -std::numeric_limits<float>::infinity() : outlineMaxY(outline);
}

namespace {

// An outline pushes a branch whose top is `top` down by no more than its
// lowest point lies below that top; the slack covers the rounding of the
// distance measured.
constexpr float PushRoundingSlack = 1;

// Raises `push` to clear one outline above. Moving an outline straight down
// raises its clearance to each other outline by the same amount, so the
// deepest overlap alone says how far the branch must go. Outlines wholly
// above the branch's top cannot overlap it and are not measured.
void pushClear(const PointList &outline, const PointList &own, float top, float &push)
{
    if (outline.isEmpty() || outlineMaxY(outline) <= top)
        return;
    const float d = TWBoundaryOutline::calcDistanceBetweenAboveBoundary(outline, own);
    if (d < 0)
        push = std::max(push, -d);
}

// Raises `push` to clear the placed outlines, the lowest reaching first:
// one that reaches less far below the top than the push so far cannot push
// further, nor can any after it. Stacked in a column, a branch meets one
// or two instead of all those placed before.
void pushClearOfPlaced(const PlacedOutlines &placed, const PointList &own, float top, float &push)
{
    placed.visitReachingBelow(top, [&](const PointList &outline, float reach) {
        if (reach - top + PushRoundingSlack <= push)
            return false;
        pushClear(outline, own, top, push);
        return true;
    });
}

} // namespace

PointList stackBelowOtherTopLevelBranches(TWMapBranch &branch, const PlacedOutlines &placed)
{
    const PointList &own = autolayoutChildrenBoundaryOutlinePoints(branch);
    float push = 0;
    if (!own.isEmpty())
        pushClearOfPlaced(placed, own, outlineMinY(own), push);
    moveShadowDown(branch, push);
    return autolayoutChildrenBoundaryOutlinePoints(branch);
}

PointList tightArrangeSelfWithExistingBoundaries(TWMapBranch &branch, const PlacedOutlines &placed,
                                                 std::vector<float> *reach, qsizetype index)
{
    TWMapBranch *parent = branch.parent();
    const BranchList &siblings = parent ? parent->children() : BranchList();
    qsizetype i = -1;
    if (index >= 0 && index < siblings.size() && siblings.at(index).get() == &branch)
        i = index;
    for (qsizetype k = 0; i < 0 && k < siblings.size(); ++k) {
        if (siblings.at(k).get() == &branch) {
            i = k;
            break;
        }
    }
    if (i < 0) {
        qWarning("Severe and unusual error in autolayout - I am not one of my parent's children!");
        return {};
    }
    const Rect moved = branch.autolayoutBranchMovedBounds();
    float y = SiblingStackStart;
    if (i > 0) {
        TWMapBranch &previous = *siblings.at(i - 1);
        y = previous.autolayoutBranchMovedBounds().maxY() + repelOf(branch) +
            effectiveBoundaryMargin(previous) + effectiveBoundaryMargin(branch);
    }
    setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
        branch, Rect(moved.x(), y, moved.width(), moved.height()));

    // Nearer siblings first; none further once none before reaches below
    // the top by more than the push so far (see pushClearOfPlaced).
    const PointList &own = autolayoutChildrenBoundaryOutlinePoints(branch);
    float push = 0;
    if (!own.isEmpty()) {
        const float top = outlineMinY(own);
        if (reach) {
            while (qsizetype(reach->size()) < i) {
                const float lowest =
                    PlacedOutlines::lowestY(autolayoutChildrenBoundaryOutlinePoints(
                        *siblings.at(qsizetype(reach->size()))));
                reach->push_back(reach->empty() ? lowest : std::max(reach->back(), lowest));
            }
        }
        for (qsizetype j = i - 1; j >= 0; --j) {
            if (reach && !((*reach)[size_t(j)] - top + PushRoundingSlack > push))
                break;
            pushClear(autolayoutChildrenBoundaryOutlinePoints(*siblings.at(j)), own, top, push);
        }
        pushClearOfPlaced(placed, own, top, push);
    }
    moveShadowDown(branch, push);
    return autolayoutChildrenBoundaryOutlinePoints(branch);
}

namespace {
bool transientBoundaries = false;
} // namespace

TransientBoundaries::TransientBoundaries() : m_outer(std::exchange(transientBoundaries, true)) {}

TransientBoundaries::~TransientBoundaries()
{
    transientBoundaries = m_outer;
}

std::shared_ptr<BezierPath> boundaryPath(TWMapBranch &branch)
{
    if (std::shared_ptr<BezierPath> cached = branch.cachedBoundaryPath())
        return cached;
    const bool transient = transientBoundaries &&
                           branch.childrenBoundaryOutlinePoints().isEmpty() &&
                           branch.childrenBoundaryPoints().isEmpty();
    if (branch.childrenBoundaryOutlinePoints().isEmpty())
        recalculateBoundary(branch);
    const PointList &outline = branch.childrenBoundaryOutlinePoints();
    if (outline.isEmpty())
        return nullptr;
    QList<Point> corners;
    corners.reserve(outline.size());
    for (const std::shared_ptr<TWPointHolder> &p : outline)
        corners.append(p->point());
    auto path = std::make_shared<BezierPath>(TWBoundaryOutline::pathFromOutline(
        corners, branch.boundaryCornerStyle(), branch.boundaryCurveRadius()));
    if (transient) {
        // Nothing changed on screen: the branch goes back to holding nothing.
        branch.childrenBoundaryOutlinePoints().clear();
        branch.childrenBoundaryPoints().clear();
        return path;
    }
    branch.setCachedBoundaryPath(path);
    const float grow = branch.boundaryLineWidth();
    postRedraw(branch, path->bounds().insetBy(-grow, -grow));
    return path;
}

namespace {

// Boundaries of a large map measured side by side; made on first use, kept
// to the end.
ForkJoinThreads &boundaryThreads()
{
    static ForkJoinThreads *const threads = new ForkJoinThreads(ForkJoinThreads::machineParts());
    return *threads;
}

std::optional<Rect> boundsOfPath(const std::shared_ptr<BezierPath> &path)
{
    if (!path || path->isEmpty())
        return std::nullopt;
    return path->bounds();
}

// An outline made from the rims as outlineFromRims() makes it, without
// touching the branch: what it reads of the branch is gathered first, on the
// main thread; rooms are read as they are, which nothing changes meanwhile.
struct TransientOutline
{
    size_t index; // in the answer
    float grow;
    int cornerStyle;
    float curveRadius;
    TWMapBranch *branch;
    // The rims of the shown children, each of which is known.
    std::vector<const std::vector<std::weak_ptr<TWMapBranch>> *> rims;
};

std::optional<Rect> measureTransient(const TransientOutline &job)
{
    struct Room
    {
        int key; // the branch's number, which names its corners in the set
        Rect rect;
    };
    std::vector<Room> order{{job.branch->branchNumber(), layoutRoom(*job.branch)}};
    for (const auto *rim : job.rims) {
        for (const std::weak_ptr<TWMapBranch> &d : *rim) {
            if (const std::shared_ptr<TWMapBranch> alive = d.lock())
                order.push_back({alive->branchNumber(), layoutRoom(*alive)});
        }
    }
    // Branches of one number share their corners: those of the last one
    // met, where the first was met.
    std::vector<int> keys(order.size());
    std::transform(order.cbegin(), order.cend(), keys.begin(), [](const Room &r) { return r.key; });
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.cbegin(), keys.cend()) != keys.cend()) {
        std::vector<Room> placed;
        QHash<int, size_t> first;
        for (const Room &r : order) {
            if (const auto it = first.constFind(r.key); it != first.cend()) {
                placed[*it] = r;
            } else {
                first.insert(r.key, placed.size());
                placed.push_back(r);
            }
        }
        order = std::move(placed);
    }
    std::vector<Point> points;
    points.reserve(4 * order.size());
    for (const Room &r : order) {
        const Rect g = r.rect.insetBy(-job.grow, -job.grow);
        points.insert(points.end(),
                      {{g.x(), g.y()}, {g.x(), g.maxY()}, {g.maxX(), g.y()}, {g.maxX(), g.maxY()}});
    }
    QList<Point> corners;
    for (const int i : TWBoundaryOutline::hullOfPoints(points))
        corners.append(points[size_t(i)]);
    if (corners.isEmpty())
        return std::nullopt;
    const BezierPath path =
        TWBoundaryOutline::pathFromOutline(corners, job.cornerStyle, job.curveRadius);
    return path.isEmpty() ? std::nullopt : std::optional<Rect>(path.bounds());
}

} // namespace

std::vector<std::optional<Rect>> boundaryPathBounds(const std::vector<TWMapBranch *> &branches)
{
    std::vector<std::optional<Rect>> answer(branches.size());
    // Those that hold an outline, or cannot make one from the rims, go the
    // ordinary way first; so does everything when the outlines are kept.
    std::vector<size_t> transient;
    QSet<const TWMapBranch *> measured;
    for (size_t i = 0; i < branches.size(); ++i) {
        TWMapBranch &b = *branches[i];
        const float grow = repelOf(b) + effectiveBoundaryMargin(b);
        if (transientBoundaries && !b.holdsBoundaryOutline() && !b.isRoot() && grow >= 0 &&
            grow < LargestRegularCoordinate && regular(layoutRoom(b))) {
            transient.push_back(i);
            measured.insert(&b);
        } else {
            answer[i] = boundsOfPath(boundaryPath(b));
        }
    }
    // The rims below the highest of them, made side by side: their subtrees
    // are apart.
    struct Below
    {
        TWMapBranch *child;
        int level;
        int hideLevel;
    };
    std::vector<Below> below;
    for (const size_t i : transient) {
        TWMapBranch &b = *branches[i];
        const TWMapBranch *up = b.parent();
        while (up && !measured.contains(up))
            up = up->parent();
        const int level = shownLevel(b);
        if (up || level < 0 || !childrenShown(b, level, hideLevelOf(b)))
            continue;
        for (const std::shared_ptr<TWMapBranch> &child : b.children())
            below.push_back({child.get(), level + 1, hideLevelOf(b)});
    }
    const auto makeRims = [](const Below &top) {
        ensureRims(*top.child, top.level, top.hideLevel);
    };
    constexpr size_t SideBySide = 256;
    if (transient.size() >= SideBySide)
        boundaryThreads().forEachIndex(below.size(), [&](size_t i) { makeRims(below[i]); });
    std::vector<TransientOutline> jobs;
    jobs.reserve(transient.size());
    for (const size_t i : transient) {
        TWMapBranch &b = *branches[i];
        // As outlineFromRims() leaves it.
        b.outlineRim().setFromRims.reset();
        const int level = shownLevel(b);
        if (level < 0)
            continue;
        TransientOutline job{i,
                             repelOf(b) + effectiveBoundaryMargin(b),
                             b.boundaryCornerStyle(),
                             b.boundaryCurveRadius(),
                             &b,
                             {}};
        const int hideLevel = hideLevelOf(b);
        if (childrenShown(b, level, hideLevel)) {
            for (const std::shared_ptr<TWMapBranch> &child : b.children()) {
                ensureRims(*child, level + 1, hideLevel);
                job.rims.push_back(&child->outlineRim().branches);
            }
        }
        jobs.push_back(std::move(job));
    }
    // Each outline on its own: nothing is written but the answer.
    const auto measure = [&answer](const TransientOutline &job) {
        answer[job.index] = measureTransient(job);
    };
    if (jobs.size() >= SideBySide)
        boundaryThreads().forEachIndex(jobs.size(), [&](size_t i) { measure(jobs[i]); });
    else
        std::for_each(jobs.cbegin(), jobs.cend(), measure);
    return answer;
}

} // namespace TWBranchLayout
