// Where a pasted branch goes: beside a parent branch, stacked with its
// siblings, or into the widest gap around the root.

#include "model/TWClipboardXML.h"

#include "graphics/TWGraphic.h"
#include "model/TWBranchOrdering.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "support/GGVecLib.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace TWClipboardXML {

namespace {

constexpr double twoPi = 2 * std::numbers::pi;
// Positions and angles computed by earlier pastes are compared with this
// much slack: they went through moves and trigonometry.
constexpr double positionSlack = 0.01;
constexpr double angleSlack = 1e-4;

Rect shape(const TWMapBranch &branch)
{
    return branch.mainGraphic() ? branch.mainGraphic()->bounds() : Rect();
}

void moveTo(TWMapBranch &branch, double x, double y)
{
    const Rect r = shape(branch);
    branch.moveBranchBy(float(x - r.x()), float(y - r.y()), true);
}

void centreAt(TWMapBranch &branch, double cx, double cy)
{
    const Rect r = shape(branch);
    moveTo(branch, cx - r.width() / 2, cy - r.height() / 2);
}

// The point at the clockwise angle from twelve o'clock, `radius` from the centre.
void centreAtAngle(TWMapBranch &branch, const Rect &root, double radius, double angle)
{
    centreAt(branch, root.midX() + radius * std::sin(angle),
             root.midY() - radius * std::cos(angle));
}

bool centredAt(const TWMapBranch &branch, double cx, double cy)
{
    const Rect r = shape(branch);
    return std::abs(r.x() - (cx - r.width() / 2)) <= positionSlack &&
           std::abs(r.y() - (cy - r.height() / 2)) <= positionSlack;
}

double angleAround(const TWMapBranch &branch, const Rect &root)
{
    const Rect r = shape(branch);
    return calculateAngleFromVertical(r.midX() - root.midX(), root.midY() - r.midY());
}

bool sidesModeBelow(int orderingMode)
{
    return orderingMode == 1 || orderingMode == 3 || orderingMode == 4;
}

// The middle of the widest gap between the first-level branches (the gap
// through twelve o'clock wins ties, then the earliest; gaps equal but for
// rounding are ties).
double widestGapMiddle(const QList<double> &angles)
{
    const int n = int(angles.size());
    double best = twoPi - angles.last() + angles.first();
    double middle = angles.last() + best / 2;
    if (middle > twoPi)
        middle -= twoPi;
    for (int i = 1; i < n; ++i) {
        const double size = angles.at(i) - angles.at(i - 1);
        if (size > best + angleSlack) {
            best = size;
            middle = angles.at(i - 1) + size / 2;
        }
    }
    return middle;
}

void placeUnderNonRoot(const TWMap &map, TWMapBranch &parent, TWMapBranch &branch)
{
    const Rect p = shape(parent);
    const Rect n = shape(branch);
    const Rect rootShape = map.root() ? shape(*map.root()) : Rect();
    TWMapBranch *top = parent.findTopLevelBranch();
    const bool leftSide = top && rootShape.midX() > shape(*top).midX();
    const float spacing = float(map.interChildSpacing());
    const float repel = float(map.repelDistance());

    if (parent.countOfChildren() == 0) {
        moveTo(branch, leftSide ? p.x() - n.width() - spacing : p.maxX() + spacing,
               p.midY() - n.height() / 2);
        return;
    }
    if (map.layoutAssistanceMode() <= 1) {
        const TWMapBranch &last = *parent.children().last();
        const Rect l = shape(last);
        double y = last.branchBounds().maxY() + repel;
        if (branch.mainGraphic() && branch.mainGraphic()->className() == QLatin1String("TWLine"))
            y += branch.branchBounds().height();
        moveTo(branch, leftSide ? l.maxX() - n.width() : l.x(), y);
        return;
    }
    double total = branch.branchBounds().height();
    for (const std::shared_ptr<TWMapBranch> &child : parent.children())
        total += child->branchBounds().height() + repel;
    double y = p.midY() - total / 2;
    for (const std::shared_ptr<TWMapBranch> &child : parent.children()) {
        const Rect c = shape(*child);
        const double height = child->branchBounds().height();
        moveTo(*child, leftSide ? p.x() - c.width() - spacing : p.maxX() + spacing, y + height / 2);
        y += height + repel;
    }
    const Rect bb = branch.branchBounds();
    moveTo(branch, leftSide ? p.x() - bb.width() - spacing : p.maxX() + spacing,
           y + bb.height() / 2);
}

void placeUnderRoot(const TWMap &map, TWMapBranch &root, TWMapBranch &branch)
{
    const Rect r = shape(root);
    const Rect n = shape(branch);
    const double spacing = map.firstLevelSpacing();
    const int layout = map.layoutAssistanceMode();
    const int ordering = map.orderingMode();
    const bool below = sidesModeBelow(ordering);

    QList<std::shared_ptr<TWMapBranch>> firstLevel = root.children();
    std::stable_sort(firstLevel.begin(), firstLevel.end(), [&](const auto &a, const auto &b) {
        return orderBranchesCWFromTop(*a, *b, root) < 0;
    });
    const int count = int(firstLevel.size());
    QList<double> angles;
    for (const std::shared_ptr<TWMapBranch> &b : firstLevel)
        angles.append(angleAround(*b, r));
    auto gapRule = [&] { centreAtAngle(branch, r, spacing, widestGapMiddle(angles)); };

    if (layout == 1) {
        if (count > 0)
            gapRule();
        else if (below)
            moveTo(branch, r.midX() - n.width() / 2, r.maxY() + spacing);
        else
            moveTo(branch, r.x() - n.width() - spacing, r.midY() - n.height() / 2);
        return;
    }
    if (layout != 2 && layout != 3)
        return;

    // Where the first and the second branch of an empty root go.
    const double firstX = below ? r.midX() : r.midX() - spacing;
    const double firstY = below ? r.midY() + spacing : r.midY();
    const double secondX = below ? r.midX() : r.midX() + spacing;
    const double secondY = below ? r.midY() - spacing : r.midY();
    if (count == 0) {
        centreAt(branch, firstX, firstY);
    } else if (count == 1) {
        if (centredAt(*firstLevel.first(), firstX, firstY))
            centreAt(branch, secondX, secondY);
        else
            gapRule();
    } else if (count == 2) {
        if (centredAt(*firstLevel.at(0), secondX, secondY) &&
            centredAt(*firstLevel.at(1), firstX, firstY)) {
            if (ordering == 1 || ordering == 2) {
                for (int k = 0; k < 2; ++k)
                    centreAtAngle(*firstLevel.at(k), r, spacing, (k + 0.5) * twoPi / 3);
                centreAtAngle(branch, r, spacing, 2.5 * twoPi / 3);
            }
        } else {
            gapRule();
        }
    } else if (ordering == 1 || ordering == 2) {
        bool even = true;
        for (int k = 0; k < count && even; ++k)
            even = std::abs(angles.at(k) - (k + 0.5) * twoPi / count) <= angleSlack;
        if (even) {
            for (int k = 0; k < count; ++k)
                centreAtAngle(*firstLevel.at(k), r, spacing, (k + 0.5) * twoPi / (count + 1));
            centreAtAngle(branch, r, spacing, (count + 0.5) * twoPi / (count + 1));
        } else {
            gapRule();
        }
    }
    // Three or more in the side-first orderings: it keeps the copied position.
}

} // namespace

void placePastedBranch(TWMap &map, TWMapBranch &parent, TWMapBranch &branch)
{
    if (!branch.mainGraphic() || !parent.mainGraphic())
        return;
    if (parent.isRoot())
        placeUnderRoot(map, parent, branch);
    else
        placeUnderNonRoot(map, parent, branch);
}

} // namespace TWClipboardXML
