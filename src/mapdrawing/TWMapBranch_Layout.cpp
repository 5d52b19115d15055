#include "mapdrawing/TWMapBranch_Layout.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWMap.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace TWBranchLayout {

namespace {

TWMapBranch *rootOf(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    return map ? map->root().get() : nullptr;
}

Rect mainBounds(const TWMapBranch &branch)
{
    return branch.mainGraphic() ? branch.mainGraphic()->bounds() : Rect();
}

int sideOf(const TWMapBranch &child)
{
    return child.connectionGraphic() ? child.connectionGraphic()->connectionToParentSide() : 0;
}

enum class Mirror { None, ToRight, ToLeft };

// Where a child goes when its parent's rectangle changes from `o` to `n`:
// the connection side decides which edge of the parent it follows, and a
// parent that crossed the root's centre line mirrors its subtree about its
// own old centre.
Point followParent(const TWMapBranch &child, Rect c, Rect o, Rect n, Mirror mode, bool wasLeft)
{
    const float mirror = mode == Mirror::None ? 0 : 2 * o.x() + o.width() - c.x() - c.maxX();
    const float dLeft = n.x() - o.x();
    const float dRight = n.maxX() - o.maxX();
    const float dMidX = n.midX() - o.midX();
    const float dMidY = n.midY() - o.midY();
    const float dTop = n.y() - o.y();
    const float dBottom = n.maxY() - o.maxY();
    switch (sideOf(child)) {
    case 1:
        return {c.x() + mirror + (wasLeft ? dLeft : dRight), c.y() + dMidY};
    case 2:
        return {c.x() + dLeft, c.y() + dMidY};
    case 3:
        return {c.x() + dRight, c.y() + dMidY};
    case 4:
        return {c.x() + dMidX, c.y() + dTop};
    case 5:
        return {c.x() + dMidX, c.y() + dBottom};
    case 6:
        return {c.x() + mirror + dMidX, c.y() + (isAboveParent(child) ? dTop : dBottom)};
    case 7:
        return {c.x() + mirror + (isToLeftOfParent(child) ? dLeft : dRight), c.y() + dMidY};
    default:
        return c.origin;
    }
}

// Every visible branch of the subtree forgets its outline and points: a
// subtree that changed sides is rebuilt from scratch.
void forgetOutlines(TWMapBranch &branch, bool autolayout)
{
    BranchList subtree;
    branch.allDescendantsIntoArray(subtree, false);
    for (const std::shared_ptr<TWMapBranch> &d : std::as_const(subtree)) {
        if (autolayout) {
            // During a run a set holds the branch's own points alone, which
            // are set anew before its outline is made: they stay, and so do
            // the outline's holders, for the new outline to take over.
            scheduleAutolayoutRecalculation(*d);
            if (d->autolayoutChildrenBoundaryPoints().size() > 1)
                removeAllAutolayoutChildrenBoundaryPoints(*d);
        } else {
            invalidateBoundary(*d);
            removeAllChildrenBoundaryPoints(*d);
        }
    }
}

} // namespace

QString keyOf(const TWMapBranch &branch)
{
    return QString::number(branch.branchNumber());
}

// --- side tests and comparisons ---

bool isToLeftOfRoot(const TWMapBranch &branch)
{
    const TWMapBranch *root = rootOf(branch);
    if (!root || root == &branch || !root->mainGraphic() || !branch.mainGraphic())
        return false;
    return mainBounds(*root).midX() > mainBounds(branch).midX();
}

bool isToLeftOfParent(const TWMapBranch &branch)
{
    const TWMapBranch *parent = branch.parent();
    return parent && mainBounds(*parent).midX() > mainBounds(branch).midX();
}

bool isAboveParent(const TWMapBranch &branch)
{
    const TWMapBranch *parent = branch.parent();
    return parent && mainBounds(*parent).midY() > mainBounds(branch).midY();
}

int compareRightEndPositions(const TWMapBranch &a, const TWMapBranch &b)
{
    const float own = a.autolayoutBranchMovedBounds().maxX();
    const float other = b.autolayoutBranchMovedBounds().maxX();
    return own > other ? -1 : other > own ? 1 : 0;
}

int compareLeftEndPositions(const TWMapBranch &a, const TWMapBranch &b)
{
    const float own = a.autolayoutBranchMovedBounds().x();
    const float other = b.autolayoutBranchMovedBounds().x();
    return other > own ? -1 : own > other ? 1 : 0;
}

bool isTextMaxWidthInMainGraphic(const TWMapBranch &branch)
{
    if (!branch.enclosedTextArea() || !branch.mainGraphic())
        return false;
    return branch.enclosedTextArea()->bounds().width() >=
           mainBounds(branch).width() - branch.totalWidthForSuffixImages() -
               branch.totalWidthToAllowForOtherEnclosedGraphics();
}

void widenToNaturalSize(TWMapBranch &branch)
{
    const std::shared_ptr<TWTextArea> &text = branch.enclosedTextArea();
    if (!text || !branch.mainGraphic())
        return;
    const float width = branch.textMaxWidthSet() ? branch.textMaxWidth() : text->bounds().width();
    const float needed = text->requiredSizeForWidth(width).width +
                         branch.totalWidthToAllowForOtherEnclosedGraphics() +
                         branch.totalWidthForSuffixImages();
    if (mainBounds(branch).width() < needed)
        branch.layoutServices().makeNaturalSize(branch, false, true);
}

bool stopsDescent(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    return branch.childrenHidden() && map &&
           map->branchHideLevel() >= branch.getThisBranchLevel() + 1;
}

// --- the room a branch takes ---

Rect layoutRoom(const TWMapBranch &branch)
{
    Rect room = layoutRoomWithoutPictures(branch);
    if (branch.isRoot() || !branch.mainGraphic())
        return room;
    for (const std::shared_ptr<TWGraphic> &g : branch.linkedGraphics()) {
        if (dynamic_cast<const TWImage *>(g.get()))
            room = room.unitedKeepingLines(g->bounds());
    }
    return room;
}

Rect layoutRoomWithoutPictures(const TWMapBranch &branch)
{
    Rect room = branch.branchBounds();
    if (branch.isRoot())
        return room;
    const TWGraphic *shape = branch.mainGraphic().get();
    if (!shape)
        return room;
    room = room.unitedKeepingLines(shape->bounds());
    // The indicators stand in one row: its first and last slots span it. A
    // label placed by no known position puts them nowhere in particular.
    if (const int icons = branch.suffixIcons().count(); icons > 0) {
        const int position = branch.textRelativePosition();
        if ((position >= 1 && position <= 3) || shape->getTextAlignmentMode() == 0 ||
            dynamic_cast<const TWFlexiBranch *>(shape)) {
            room = room.unitedKeepingLines(TWBranchIndicators::boundsOfSlot(branch, 0));
            room = room.unitedKeepingLines(TWBranchIndicators::boundsOfSlot(branch, icons - 1));
        }
    }
    return room;
}

// --- shadow rectangles ---

void setAutolayoutBranchMovedBounds(TWMapBranch &branch, Rect bounds)
{
    const Rect old = branch.autolayoutBranchMovedBounds();
    if (bounds == old)
        return;
    const float dy = bounds.y() - old.y();
    branch.setMinAutolayoutY(branch.minAutolayoutY() + dy);
    branch.setMaxAutolayoutY(branch.maxAutolayoutY() + dy);
    branch.setAutolayoutBranchMovedBounds(bounds);
    updateAutolayoutBoundaryForChangedChild(branch, branch);
}

namespace {

// The vertical moves that the children of each branch have still to take,
// while a DeferredShadowMoves lives.
std::unordered_map<const TWMapBranch *, float> *g_pending = nullptr;

bool follows(const TWMapBranch &child)
{
    const int side = sideOf(child);
    return side >= 1 && side <= 7;
}

// Every child follows its parent's move (sides 1 to 7): when the parent
// only translates, so does the whole family.
bool childrenFollow(const TWMapBranch &branch)
{
    const BranchList &children = branch.children();
    return std::all_of(children.cbegin(), children.cend(),
                       [](const auto &c) { return follows(*c); });
}

// What moveShadow() does to the branch itself when it goes straight up or
// down; its children are left the move to take when next read.
void deferVerticalMove(TWMapBranch &branch, Rect bounds, bool carried)
{
    const float dy = bounds.y() - branch.autolayoutBranchMovedBounds().y();
    branch.setAutolayoutBranchMovedBounds(bounds);
    const bool translated = childrenFollow(branch) && translateAutolayoutOutline(branch, 0, dy);
    if (!translated)
        scheduleAutolayoutRecalculation(branch);
    TWMapBranch *parent = branch.parent();
    if (parent && !parent->isRoot() && !(carried && translated))
        updateAutolayoutBoundaryForChangedChild(*parent, branch);
    if (!branch.children().isEmpty())
        (*g_pending)[&branch] += dy;
}

// `carried`: the parent translated its outline by this same move, which
// then already holds this subtree where it goes.
// `forgotten`: an ancestor that changed sides has just forgotten the
// outlines of this whole subtree, and none has been made since.
void moveShadow(TWMapBranch &branch, Rect bounds, bool carried, bool forgotten = false)
{
    const Rect o = branch.autolayoutBranchMovedBounds();
    if (bounds == o)
        return;
    // Straight up or down nothing crosses the root's centre line: the
    // subtree translates, and its descendants take the move once, however
    // many of their ancestors move before they are read.
    if (g_pending && bounds.x() == o.x() && bounds.size == o.size) {
        deferVerticalMove(branch, bounds, carried);
        return;
    }
    settleChildren(branch);
    TWMapBranch *root = rootOf(branch);
    const bool wasLeft = root && root->autolayoutBranchMovedBounds().midX() > o.midX();

    // The branch's own points follow when its outline is next made; each
    // descendant that moves does the same, and one that stays (side 0)
    // keeps them where it is.
    branch.setAutolayoutBranchMovedBounds(bounds);

    const bool nowLeft = root && root->autolayoutBranchMovedBounds().midX() > bounds.midX();
    const Mirror mode = wasLeft && !nowLeft   ? Mirror::ToRight
                        : !wasLeft && nowLeft ? Mirror::ToLeft
                                              : Mirror::None;
    // A subtree that only translates keeps its outline's shape: the outline
    // moves instead of being hulled again.
    const bool translated =
        mode == Mirror::None && bounds.size == o.size && childrenFollow(branch) &&
        translateAutolayoutOutline(branch, bounds.x() - o.x(), bounds.y() - o.y());
    if (!translated)
        scheduleAutolayoutRecalculation(branch);
    // In a subtree that an ancestor forgot, every branch up to that one
    // is marked already and is made again when read.
    TWMapBranch *parent = branch.parent();
    if (parent && !parent->isRoot() && !(carried && translated) && !forgotten)
        updateAutolayoutBoundaryForChangedChild(*parent, branch);

    if (mode != Mirror::None && !forgotten)
        forgetOutlines(branch, true);

    const BranchList children = branch.children();
    for (const std::shared_ptr<TWMapBranch> &child : children) {
        const Rect c = child->autolayoutBranchMovedBounds();
        const Point p = followParent(*child, c, o, bounds, mode, wasLeft);
        moveShadow(*child, Rect(p.x, p.y, c.width(), c.height()), translated,
                   forgotten || mode != Mirror::None);
    }
    // A subtree that changed sides lost its points; the branch that forgot
    // them takes its own back here, as a real move ends, and those below
    // it theirs when their outlines are next made.
    if (mode != Mirror::None) {
        if (!forgotten)
            updateAutolayoutBoundaryForChangedChild(branch, branch);
        scheduleAutolayoutRecalculation(branch);
    }
}

} // namespace

void setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(TWMapBranch &branch, Rect bounds)
{
    moveShadow(branch, bounds, false);
}

DeferredShadowMoves::DeferredShadowMoves()
{
    if (!g_pending) {
        g_pending = new std::unordered_map<const TWMapBranch *, float>;
        m_owner = true;
    }
}

DeferredShadowMoves::~DeferredShadowMoves()
{
    if (m_owner) {
        delete g_pending;
        g_pending = nullptr;
    }
}

void settleChildren(TWMapBranch &branch)
{
    if (!g_pending || g_pending->empty())
        return;
    const auto it = g_pending->find(&branch);
    if (it == g_pending->end())
        return;
    const float dy = it->second;
    g_pending->erase(it);
    for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
        // A child on side 0 stays, and with it its subtree.
        if (follows(*child))
            deferVerticalMove(*child, child->autolayoutBranchMovedBounds().offsetBy(0, dy), true);
    }
}

namespace {

// `dy`: the move the branch takes from its ancestors. Its outline is only
// marked, not moved: nothing reads it before the next run makes it anew.
void settleForCommit(TWMapBranch &branch, float dy)
{
    if (dy != 0) {
        branch.setAutolayoutBranchMovedBounds(branch.autolayoutBranchMovedBounds().offsetBy(0, dy));
        branch.setMinAutolayoutY(std::numeric_limits<float>::quiet_NaN());
    }
    float down = dy;
    if (const auto it = g_pending->find(&branch); it != g_pending->end()) {
        down = it->second + dy;
        g_pending->erase(it);
    }
    if (down == 0 && g_pending->empty())
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        settleForCommit(*child, follows(*child) ? down : 0);
}

} // namespace

void settleSubtreeForCommit(TWMapBranch &branch)
{
    if (g_pending && !g_pending->empty())
        settleForCommit(branch, 0);
}

void settleSubtree(TWMapBranch &branch)
{
    if (!g_pending || g_pending->empty())
        return;
    settleChildren(branch);
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        settleSubtree(*child);
}

void cacheBranchBoundsOfBranchOnly(TWMapBranch &branch)
{
    const Rect bounds = layoutRoom(branch);
    branch.setAutolayoutBranchOriginalBounds(bounds);
    branch.setAutolayoutBranchMovedBounds(bounds);
    populateAutolayoutBoundaryFromOrdinaryBoundary(branch);
}

void cacheBranchBounds(TWMapBranch &branch)
{
    cacheBranchBoundsOfBranchOnly(branch);
    if (stopsDescent(branch))
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        cacheBranchBounds(*child);
}

void cacheRepelBounds(TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    const float repel = map ? float(map->repelDistance()) : 0;
    const Rect b = layoutRoom(branch);
    const Rect grown(b.x(), b.y() - repel * 0.5f, b.width(), b.height() + repel);
    branch.setAutolayoutBranchOriginalBounds(grown);
    branch.setAutolayoutBranchMovedBounds(grown);
    populateAutolayoutBoundaryFromOrdinaryBoundary(branch);
    if (stopsDescent(branch))
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        cacheRepelBounds(*child);
}

namespace {

// Each child is placed next beside this branch, from its new edge and with
// the height it has: carrying the children along first would be undone.
void placeAlone(TWMapBranch &branch, Rect bounds)
{
    if (bounds == branch.autolayoutBranchMovedBounds())
        return;
    branch.setAutolayoutBranchMovedBounds(bounds);
    scheduleAutolayoutRecalculation(branch);
    TWMapBranch *parent = branch.parent();
    if (parent && !parent->isRoot())
        updateAutolayoutBoundaryForChangedChild(*parent, branch);
}

} // namespace

namespace {

void cacheAndPlace(TWMapBranch &branch, const TWMapBranch *parent, int level, float firstLevelX,
                   float spacing, float rootMidX)
{
    const Rect bounds = layoutRoom(branch);
    branch.setAutolayoutBranchOriginalBounds(bounds);
    branch.setAutolayoutBranchMovedBounds(bounds);
    // Every outline is made anew, the branch's own points first.
    PointDictionary &points = branch.autolayoutChildrenBoundaryPoints();
    if (points.size() > 1)
        points.clear();
    scheduleAutolayoutRecalculation(branch);
    const bool stops = stopsDescent(branch);
    if (level > 0) {
        float x = firstLevelX;
        if (level > 1) {
            const Rect p = parent->autolayoutBranchMovedBounds();
            x = p.midX() >= rootMidX ? p.maxX() + spacing : p.x() - spacing - bounds.width();
        }
        const Rect placed(x, bounds.y(), bounds.width(), bounds.height());
        // A collapsed branch carries its hidden subtree, which is not cached.
        if (stops)
            setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(branch, placed);
        else
            branch.setAutolayoutBranchMovedBounds(placed);
    }
    if (stops)
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        cacheAndPlace(*child, &branch, level + 1, firstLevelX, spacing, rootMidX);
}

} // namespace

void cacheAndPlaceBesideParents(TWMapBranch &root, float firstLevelX)
{
    const TWMap *map = root.map();
    const float spacing = map ? float(map->interChildSpacing()) : 0;
    cacheAndPlace(root, nullptr, 0, firstLevelX, spacing, root.branchBounds().midX());
}

void setAutolayoutBoundsBeforePlacingChildren(TWMapBranch &branch, Rect bounds)
{
    if (g_pending && !stopsDescent(branch))
        placeAlone(branch, bounds);
    else
        setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(branch, bounds);
}

void moveChildrenBack(TWMapBranch &branch)
{
    TWMapBranch *parent = branch.parent();
    TWMapBranch *root = rootOf(branch);
    if (parent && !parent->isRoot() && root) {
        const TWMap *map = branch.map();
        const float spacing = float(map->interChildSpacing());
        const Rect p = parent->autolayoutBranchMovedBounds();
        const Rect own = branch.autolayoutBranchMovedBounds();
        const float x = p.midX() >= root->branchBounds().midX() ? p.maxX() + spacing
                                                                : p.x() - spacing - own.width();
        setAutolayoutBoundsBeforePlacingChildren(branch,
                                                 Rect(x, own.y(), own.width(), own.height()));
    }
    if (stopsDescent(branch))
        return;
    settleChildren(branch);
    const BranchList children = branch.children();
    for (const std::shared_ptr<TWMapBranch> &child : children)
        moveChildrenBack(*child);
}

void verticallyCenterChildren(TWMapBranch &branch)
{
    if (stopsDescent(branch) || branch.children().isEmpty())
        return;
    settleChildren(branch);
    const BranchList children = branch.children();
    const Rect first = children.first()->autolayoutBranchMovedBounds();
    const Rect last = children.last()->autolayoutBranchMovedBounds();
    const float spanCentre = first.y() + (last.maxY() - first.y()) * 0.5f;
    const float offset = spanCentre - branch.autolayoutBranchMovedBounds().midY();
    if (!branch.isRoot()) {
        for (const std::shared_ptr<TWMapBranch> &child : children) {
            const Rect c = child->autolayoutBranchMovedBounds();
            setAutolayoutBranchMovedBounds(*child, c.offsetBy(0, -offset));
        }
    }
    for (const std::shared_ptr<TWMapBranch> &child : children)
        verticallyCenterChildren(*child);
}

void commitCachedRepelBounds(TWMapBranch &branch)
{
    const bool collapsed = stopsDescent(branch);
    if (!collapsed) {
        const BranchList children = branch.children();
        for (const std::shared_ptr<TWMapBranch> &child : children)
            commitCachedRepelBounds(*child);
    }
    // The set and outline go before the move, which would otherwise move
    // every point of the subtree and make the path at a half-way place.
    if (!branch.isRoot())
        branch.childrenBoundaryPoints().clear();
    invalidateBoundary(branch);
    if (collapsed) {
        // The hidden subtree was not laid out: it goes along with its
        // branch, as in a drag, or expanding shows it where the branch was.
        const Rect moved = branch.autolayoutBranchMovedBounds();
        const Rect original = branch.autolayoutBranchOriginalBounds();
        moveBranchBy(branch, moved.x() - original.x(), moved.y() - original.y(), true);
    } else {
        commitCachedRepelBoundsOfBranchOnly(branch);
    }
    populateOrdinaryBoundaryFromAutolayoutBoundary(branch);
}

void commitCachedRepelBoundsOfBranchOnly(TWMapBranch &branch)
{
    const Rect moved = branch.autolayoutBranchMovedBounds();
    const Rect original = branch.autolayoutBranchOriginalBounds();
    moveBranchBy(branch, moved.x() - original.x(), moved.y() - original.y(), false);
}

float minAutolayoutY(TWMapBranch &branch)
{
    if (std::isnan(branch.minAutolayoutY()))
        recalculateAutolayoutBoundary(branch);
    return branch.minAutolayoutY();
}

float maxAutolayoutY(TWMapBranch &branch)
{
    if (std::isnan(branch.minAutolayoutY()))
        recalculateAutolayoutBoundary(branch);
    return branch.maxAutolayoutY();
}

// --- real graphics ---

void moveBranchBy(TWMapBranch &branch, float dx, float dy, bool moveChildren)
{
    branch.moveBranchBy(dx, dy, moveChildren);
}

void setMainGraphicBounds(TWMapBranch &branch, Rect bounds)
{
    branch.setMainGraphicBounds(bounds);
    updateBoundaryForChangedChild(branch, branch);
}

Rect boundsOfShowAndHideImage(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    const std::shared_ptr<TWGraphic> &main = branch.mainGraphic();
    if (!map || !main)
        return {};
    const bool hasChildren = !branch.children().isEmpty();
    const bool shown = (hasChildren && branch.getThisBranchLevel() == map->branchHideLevel()) ||
                       (branch.childrenHidden() && hasChildren) ||
                       (hasChildren && map->showCollapseSign());
    if (!shown)
        return {};
    enum Kind { Left, Right, Top, Bottom } kind;
    if (branch.isRoot()) {
        kind = Right;
    } else {
        switch (branch.childrenConnectionSide()) {
        case 0:
        case 1:
        case 7:
            kind = isToLeftOfRoot(branch) ? Left : Right;
            break;
        case 2:
            kind = Left;
            break;
        case 3:
            kind = Right;
            break;
        case 4:
            kind = Top;
            break;
        case 5:
        case 6:
            kind = Bottom;
            break;
        default:
            return {};
        }
    }
    const Rect m = main->bounds();
    const float x = kind == Left ? m.x() - 11 : kind == Right ? m.maxX() : m.midX() - 7;
    const QString type = main->className();
    float y;
    if (kind == Bottom) {
        y = m.maxY();
    } else if (type == QLatin1String("TWLine")) {
        y = kind == Top ? branch.branchBounds().y() - 13 : m.maxY() - 7;
    } else if (type == QLatin1String("TWFlexiBranch")) {
        const auto *flexi = static_cast<const TWFlexiBranch *>(main.get());
        y = kind == Top    ? branch.branchBounds().y() - 13
            : kind == Left ? flexi->yPositionForLeftEndGraphics() - 7
                           : flexi->yPositionForRightEndGraphics() - 7;
    } else if (type == QLatin1String("TWCircle")) {
        y = kind == Top ? branch.branchBounds().y() - 13
                        : main->imageBoundsAssertingMainGraphic(false).midY() - 7;
    } else {
        y = kind == Top ? m.y() - 13 : m.midY() - 7;
    }
    return {x, y, 13, 13};
}

} // namespace TWBranchLayout
