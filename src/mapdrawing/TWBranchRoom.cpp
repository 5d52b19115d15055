// Room for a branch that grew where it stands: its neighbours step aside;
// and where a picture attached to it stands.

#include "mapdrawing/TWMapBranch_Layout.h"
#include "mapdrawing/TWMapLayout.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"

#include <QList>
#include <QSet>
#include <algorithm>

namespace {

using BranchList = TWMapBranch::BranchList;

// The branches that stand above (or below) the branch on its side: its
// siblings on that side and those of its ancestors below the first level,
// as the loose layout pushes them; on the first level, the other branches
// of the same side of the root, by height.
BranchList neighbours(TWMapBranch &branch, bool above)
{
    BranchList list;
    TWMapBranch *parent = branch.parent();
    if (!parent)
        return list;
    if (!parent->isRoot()) {
        if (above)
            TWBranchLayout::allBranchesAboveMeIntoArray(branch, list);
        else
            TWBranchLayout::allBranchesBelowMeIntoArray(branch, list);
        return list;
    }
    const bool left = branch.isToLeftOfRoot();
    // By the labels: a shape that grew around a picture keeps its label
    // where it was, while its centre moved.
    const auto height = [](const TWMapBranch &b) {
        const TWGraphic *g = b.enclosedTextArea()
                                 ? static_cast<const TWGraphic *>(b.enclosedTextArea().get())
                                 : b.mainGraphic().get();
        return g ? g->bounds().midY() : 0.0f;
    };
    const float y = height(branch);
    for (const std::shared_ptr<TWMapBranch> &other : parent->children()) {
        if (other.get() == &branch || other->hidden() || !other->mainGraphic() ||
            other->isToLeftOfRoot() != left)
            continue;
        const float oy = height(*other);
        if (above ? oy < y : oy >= y)
            list.append(other);
    }
    return list;
}

void shownSubtree(TWMapBranch &branch, BranchList &out)
{
    out.append(branch.shared_from_this());
    if (TWBranchLayout::stopsDescent(branch) || branch.childrenHidden())
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        shownSubtree(*child, out);
}

bool covers(Rect a, Rect b)
{
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

// The rectangles a branch takes: its own, and each attached picture's
// apart, so that a picture beside the branch does not count as a block
// spanning both and push away what stands clear of either.
QList<Rect> roomsOf(const TWMapBranch &branch)
{
    QList<Rect> rooms{TWBranchLayout::layoutRoomWithoutPictures(branch)};
    if (branch.isRoot() || !branch.mainGraphic())
        return rooms;
    for (const std::shared_ptr<TWGraphic> &g : branch.linkedGraphics()) {
        if (dynamic_cast<const TWImage *>(g.get()))
            rooms.append(g->bounds());
    }
    return rooms;
}

void push(TWMapBranch &branch, float dy)
{
    TWBranchLayout::moveBranchBy(branch, 0, dy, true);
    TWBranchLayout::invalidateBoundary(branch);
    if (branch.connectionGraphic())
        branch.connectionGraphic()->updateBounds();
}

} // namespace

void TWMapLayout::makeRoomForBranch(TWMapBranch &branch)
{
    TWMap *map = branch.map();
    if (!map || map->layoutAssistanceMode() == 1 || branch.isRoot() || branch.hidden())
        return;
    const float clearance = 2 * float(map->repelDistance());
    const QList<Rect> own = roomsOf(branch);
    const BranchList above = neighbours(branch, true);
    const BranchList below = neighbours(branch, false);
    // Measured before anything moves, as the loose layout does.
    float up = 0, down = 0;
    BranchList subtree;
    const auto measure = [&](const BranchList &list, bool isAbove, float &distance) {
        for (const std::shared_ptr<TWMapBranch> &n : list) {
            subtree.clear();
            shownSubtree(*n, subtree);
            for (const std::shared_ptr<TWMapBranch> &d : std::as_const(subtree)) {
                for (const Rect &r : roomsOf(*d)) {
                    for (const Rect &o : own) {
                        if (covers(r, o))
                            distance = std::max(distance, isAbove
                                                              ? r.maxY() + clearance - o.minY()
                                                              : o.maxY() + clearance - r.minY());
                    }
                }
            }
        }
    };
    measure(above, true, up);
    measure(below, false, down);
    if (up <= 0 && down <= 0)
        return;
    const TWConnectionGraphic::Batch connections;
    if (up > 0) {
        for (const std::shared_ptr<TWMapBranch> &n : above)
            push(*n, -up);
    }
    if (down > 0) {
        for (const std::shared_ptr<TWMapBranch> &n : below)
            push(*n, down);
    }
    TWBranchLayout::invalidateBoundary(branch);
    for (TWMapBranch *p = branch.parent(); p && !p->isRoot(); p = p->parent())
        TWBranchLayout::invalidateBoundary(*p);
}

std::optional<Point> TWMapLayout::spotForAttachedPicture(TWMapBranch &branch, Size size)
{
    TWMap *map = branch.map();
    if (!map || !map->root() || map->layoutAssistanceMode() == 1 || branch.isRoot() ||
        branch.hidden() || !branch.mainGraphic())
        return std::nullopt;
    constexpr float Gap = 6;
    // What the neighbours above and below hold moves when makeRoomForBranch()
    // pushes them; everything else stays where it is.
    BranchList aside;
    for (const bool above : {true, false})
        for (const std::shared_ptr<TWMapBranch> &n : neighbours(branch, above))
            shownSubtree(*n, aside);
    QSet<const TWMapBranch *> movable;
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(aside))
        movable.insert(b.get());
    struct Taken
    {
        Rect rect;
        bool pushed;
    };
    QList<Taken> taken;
    BranchList shown;
    shownSubtree(*map->root(), shown);
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(shown)) {
        const bool moves = movable.contains(b.get());
        // The branch's own label and shape are what the picture stands against.
        if (b.get() != &branch)
            taken.append({TWBranchLayout::layoutRoomWithoutPictures(*b), moves});
        for (const std::shared_ptr<TWGraphic> &g : b->linkedGraphics())
            taken.append({g->bounds(), moves});
    }

    const Rect own = TWBranchLayout::layoutRoomWithoutPictures(branch);
    const bool left = branch.isToLeftOfRoot();
    // Level with the branch's outer end, so that it leans away from the parent.
    const float x = left ? own.maxX() - size.width : own.x();
    const Rect spots[] = {
        {x, own.y() - Gap - size.height, size.width, size.height},
        {x, own.maxY() + Gap, size.width, size.height},
        {left ? own.x() - Gap - size.width : own.maxX() + Gap, own.midY() - size.height / 2,
         size.width, size.height},
    };
    // Nothing else comes as near the spot as its own branch; in the second
    // round a neighbour it covers counts as moved out of the way, while one
    // it only comes near would stay that near.
    const auto clear = [&](const Rect &spot, bool pushing) {
        const Rect near = spot.insetBy(-Gap, -Gap);
        return std::none_of(taken.cbegin(), taken.cend(), [&](const Taken &t) {
            return covers(near, t.rect) && !(pushing && t.pushed && covers(spot, t.rect));
        });
    };
    for (const bool pushing : {false, true})
        for (const Rect &spot : spots)
            if (clear(spot, pushing))
                return spot.origin;
    return std::nullopt;
}
