#include "model/TWBranchOrdering.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "support/GGVecLib.h"

#include <QDebug>

namespace {

constexpr float halfPi = 1.5707963f;
constexpr float pi = 3.1415925f;
constexpr float twoPi = 6.283185f;

Rect shapeBounds(const TWMapBranch &branch)
{
    return branch.mainGraphic() ? branch.mainGraphic()->bounds() : Rect();
}

int ascending(float a, float b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Left of the root; straight below it (exactly pi) is the right half's bottom.
bool onLeftHalf(float angle)
{
    return angle > pi;
}

int bySide(float a, float b, bool leftFirst)
{
    if (a == b)
        return 0;
    const bool aLeft = onLeftHalf(a), bLeft = onLeftHalf(b);
    if (aLeft != bLeft)
        return (aLeft == leftFirst) ? -1 : 1;
    // Each side runs top to bottom: the right half by growing angle up to and
    // including pi, the left half by falling angle.
    return aLeft ? -ascending(a, b) : ascending(a, b);
}

// Below a main branch on the left, branches are numbered bottom to top in
// the clockwise modes.
bool numberedUpwards(const TWMapBranch *top, const TWMap *map, int mode)
{
    return top && top->isToLeftOfRoot() && map &&
           !map->branchDisplaySettings().childOutlineNumberingTopDown && unsigned(mode - 1) < 2;
}

} // namespace

float angleOfBranchAroundBranch(const TWMapBranch &branch, const TWMapBranch &centre)
{
    const Rect c = shapeBounds(centre);
    const Rect r = shapeBounds(branch);
    float y = r.midY();
    const std::shared_ptr<TWGraphic> &shape = branch.mainGraphic();
    if (shape && shape->className() == QLatin1String("TWFlexiBranch"))
        y = r.midX() > c.midX() ? shape->leftPoint().y : shape->rightPoint().y;
    return calculateAngleFromVertical(r.midX() - c.midX(), c.midY() - y);
}

int orderChildrenByPositionWithOrderingMode(const TWMapBranch &a, const TWMapBranch &b, int mode)
{
    TWMap *map = a.map();
    TWMapBranch *parent = a.parent();
    if (map && map->root() && parent == map->root().get()) {
        const float angleA = angleOfBranchAroundBranch(a, *parent);
        const float angleB = angleOfBranchAroundBranch(b, *parent);
        switch (mode) {
        case TWOrderingMode::ClockwiseFromTop:
            return ascending(angleA, angleB);
        case TWOrderingMode::ClockwiseFromRight: {
            auto fromRight = [](float angle) {
                if (angle < halfPi)
                    angle += twoPi;
                return angle - halfPi;
            };
            return ascending(fromRight(angleA), fromRight(angleB));
        }
        case TWOrderingMode::LeftSideFirst:
            return bySide(angleA, angleB, true);
        case TWOrderingMode::RightSideFirst:
            return bySide(angleA, angleB, false);
        default:
            qWarning("Warning: error in orderChildrenByPosition");
            return 0;
        }
    }

    const float ya = shapeBounds(a).midY(), yb = shapeBounds(b).midY();
    if (ya == yb)
        return 0;
    const bool reversed =
        numberedUpwards(const_cast<TWMapBranch &>(a).findTopLevelBranch(), map, mode);
    return reversed ? -ascending(ya, yb) : ascending(ya, yb);
}

int orderChildrenByPosition(const TWMapBranch &a, const TWMapBranch &b)
{
    const TWMap *map = a.map();
    return orderChildrenByPositionWithOrderingMode(
        a, b, map ? map->orderingMode() : TWOrderingMode::ClockwiseFromTop);
}

TWSiblingOrder::TWSiblingOrder(const TWMapBranch &parent)
{
    if (parent.children().isEmpty())
        return;
    const TWMapBranch &first = *parent.children().first();
    TWMap *map = first.map();
    m_aroundRoot = map && map->root() && &parent == map->root().get();
    if (!m_aroundRoot)
        m_reversed = numberedUpwards(const_cast<TWMapBranch &>(first).findTopLevelBranch(), map,
                                     map ? map->orderingMode() : TWOrderingMode::ClockwiseFromTop);
}

TWSiblingOrder TWSiblingOrder::forChildrenOf(const TWMapBranch &child) const
{
    return m_aroundRoot ? TWSiblingOrder(child) : *this;
}

bool TWSiblingOrder::before(const TWMapBranch &a, const TWMapBranch &b) const
{
    if (m_aroundRoot)
        return orderChildrenByPosition(a, b) < 0;
    const float ya = shapeBounds(a).midY(), yb = shapeBounds(b).midY();
    return m_reversed ? ya > yb : ya < yb;
}

int orderBranchesCWFromTop(const TWMapBranch &a, const TWMapBranch &b, const TWMapBranch &centre)
{
    return ascending(angleOfBranchAroundBranch(a, centre), angleOfBranchAroundBranch(b, centre));
}

int orderBranchesCCWFromTop(const TWMapBranch &a, const TWMapBranch &b, const TWMapBranch &centre)
{
    return -orderBranchesCWFromTop(a, b, centre);
}

int orderBranchesCWFromRight(const TWMapBranch &a, const TWMapBranch &b, const TWMapBranch &centre)
{
    auto fromRight = [&centre](const TWMapBranch &branch) {
        float angle = angleOfBranchAroundBranch(branch, centre) - halfPi;
        if (angle < 0)
            angle += twoPi;
        return angle;
    };
    return ascending(fromRight(a), fromRight(b));
}
