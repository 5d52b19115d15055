#include "graphics/TWGraphic.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "model/TWBranchOrdering.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapConnectionRebuild.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc_Private.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "support/GGVecLib.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <typeinfo>

namespace {

using Branch = std::shared_ptr<TWMapBranch>;
using BranchList = TWMapsDoc::BranchList;

// The single-precision full turn the placements compare angles against.
constexpr float FullTurn = 6.283185f;

Rect shapeOf(const TWMapBranch &branch)
{
    return branch.mainGraphic() ? branch.mainGraphic()->bounds() : Rect();
}

Point centreOf(Rect r)
{
    return Point(r.midX(), r.midY());
}

// Clockwise from straight up, about `centre`.
float angleAbout(const TWMapBranch &branch, Point centre)
{
    const Point c = centreOf(shapeOf(branch));
    return calculateAngleFromVertical(c.x - centre.x, centre.y - c.y);
}

void placeAt(TWMapBranch &branch, float x, float y)
{
    const Rect shape = shapeOf(branch);
    branch.moveBranchBy(x - shape.x(), y - shape.y(), true);
}

void centreAt(TWMapBranch &branch, float x, float y)
{
    const Rect shape = shapeOf(branch);
    placeAt(branch, x - shape.width() / 2, y - shape.height() / 2);
}

void centreAtAngle(TWMapBranch &branch, Point centre, float distance, float angle)
{
    centreAt(branch, centre.x + distance * std::sin(angle), centre.y - distance * std::cos(angle));
}

bool isCentredAt(const TWMapBranch &branch, float x, float y)
{
    const Point c = centreOf(shapeOf(branch));
    return c.x == x && c.y == y;
}

class GraftPlacement
{
public:
    GraftPlacement(TWMap &destination, TWMapBranch &newParent)
        : m_map(destination), m_parent(newParent), m_p(shapeOf(newParent)),
          m_fls(float(destination.firstLevelSpacing())),
          m_ics(float(destination.interChildSpacing())), m_rd(float(destination.repelDistance())),
          m_mode(destination.branchDisplaySettings().layoutAssistanceMode),
          m_ordering(destination.branchDisplaySettings().orderingMode)
    {}

    void place(TWMapBranch &b)
    {
        if (&m_parent == m_map.root().get())
            placeUnderCentre(b);
        else
            placeUnderBranch(b);
    }

private:
    void placeUnderBranch(TWMapBranch &b)
    {
        const TWMapBranch *top = m_parent.findTopLevelBranch();
        const bool left =
            top && m_map.root() && shapeOf(*m_map.root()).midX() > shapeOf(*top).midX();
        const Rect shape = shapeOf(b);
        const BranchList &children = m_parent.children();
        if (children.isEmpty()) {
            placeAt(b, left ? m_p.x() - shape.width() - m_ics : m_p.maxX() + m_ics,
                    m_p.midY() - shape.height() / 2);
            return;
        }
        if (m_mode < 2) {
            const TWMapBranch &last = *children.last();
            const Rect lastShape = shapeOf(last);
            float y = last.branchBounds().maxY() + m_rd;
            if (b.mainGraphic() && typeid(*b.mainGraphic()) == typeid(TWLine))
                y += b.branchBounds().height();
            placeAt(b, left ? lastShape.maxX() - shape.width() : lastShape.x(), y);
            return;
        }
        // One column, the children and then the new branch, centred on the parent.
        float column = b.branchBounds().height() + m_rd * float(children.size());
        for (const Branch &child : children)
            column += child->branchBounds().height();
        float slotTop = m_p.midY() - column / 2;
        for (const Branch &child : BranchList(children)) {
            const float height = child->branchBounds().height();
            const float width = shapeOf(*child).width();
            placeAt(*child, left ? m_p.x() - width - m_ics : m_p.maxX() + m_ics,
                    slotTop + height / 2);
            slotTop += height + m_rd;
        }
        const Rect bounds = b.branchBounds();
        placeAt(b, left ? m_p.x() - bounds.width() - m_ics : m_p.maxX() + m_ics,
                slotTop + bounds.height() / 2);
    }

    void placeUnderCentre(TWMapBranch &b)
    {
        if (m_mode <= 0)
            return;
        BranchList children = m_parent.children();
        std::stable_sort(children.begin(), children.end(),
                         [this](const Branch &x, const Branch &y) {
                             return orderBranchesCWFromTop(*x, *y, m_parent) < 0;
                         });
        if (m_mode == 1) {
            placeInGap(b, children);
            return;
        }
        const bool down = m_ordering == 1 || m_ordering == 3 || m_ordering == 4;
        const bool spreads = m_ordering == 1 || m_ordering == 2;
        const float cx = m_p.midX();
        const float cy = m_p.midY();
        const qsizetype n = children.size();
        if (n == 0) {
            if (down)
                centreAt(b, cx, cy + m_fls);
            else
                centreAt(b, cx - m_fls, cy);
            return;
        }
        if (n == 1) {
            if (down && isCentredAt(*children[0], cx, cy + m_fls))
                centreAt(b, cx, cy - m_fls);
            else if (!down && isCentredAt(*children[0], cx - m_fls, cy))
                centreAt(b, cx + m_fls, cy);
            else
                placeInGap(b, children);
            return;
        }
        if (n == 2) {
            const bool expected = down ? isCentredAt(*children[0], cx, cy - m_fls) &&
                                             isCentredAt(*children[1], cx, cy + m_fls)
                                       : isCentredAt(*children[0], cx + m_fls, cy) &&
                                             isCentredAt(*children[1], cx - m_fls, cy);
            if (!expected)
                placeInGap(b, children);
            else if (spreads)
                spread(b, children, 2.094395f);
            return;
        }
        if (!spreads)
            return;
        const float step = FullTurn / float(n);
        for (qsizetype k = 0; k < n; ++k) {
            if (angleAbout(*children[k], centreOf(m_p)) != step / 2 + float(k) * step) {
                placeInGap(b, children);
                return;
            }
        }
        spread(b, children, FullTurn / float(n + 1));
    }

    // The children and then b, evenly round the centre, half a step from the top.
    void spread(TWMapBranch &b, const BranchList &children, float step)
    {
        qsizetype k = 0;
        for (; k < children.size(); ++k)
            centreAtAngle(*children[k], centreOf(m_p), m_fls, step / 2 + float(k) * step);
        centreAtAngle(b, centreOf(m_p), m_fls, step / 2 + float(k) * step);
    }

    // The middle of the widest gap between neighbouring children.
    void placeInGap(TWMapBranch &b, const BranchList &children)
    {
        const Rect shape = shapeOf(b);
        const bool down = m_ordering == 1 || m_ordering == 3 || m_ordering == 4;
        if (children.isEmpty()) {
            if (down)
                placeAt(b, m_p.midX() - shape.width() / 2, m_p.maxY() + m_fls);
            else
                placeAt(b, m_p.x() - shape.width() - m_fls, m_p.midY() - shape.height() / 2);
            return;
        }
        const Point centre = centreOf(m_map.root() ? shapeOf(*m_map.root()) : m_p);
        QList<float> angles;
        for (const Branch &child : children)
            angles << angleAbout(*child, centre);
        float gap = (FullTurn - angles.last()) + angles.first();
        float middle = angles.last() + gap / 2;
        if (middle > FullTurn)
            middle -= FullTurn;
        for (qsizetype k = 1; k < angles.size(); ++k) {
            const float d = angles[k] - angles[k - 1];
            if (d > gap) {
                gap = d;
                middle = angles[k - 1] + d / 2;
            }
        }
        centreAtAngle(b, centreOf(m_p), m_fls, middle);
    }

    TWMap &m_map;
    TWMapBranch &m_parent;
    Rect m_p;
    float m_fls;
    float m_ics;
    float m_rd;
    int m_mode;
    int m_ordering;
};

// A grafted branch's children, handed to its parent because the branch goes
// under one of its own descendants.
void handChildrenToParent(TWMapBranch &b)
{
    TWMapBranch *parent = b.parent();
    const Rect parentBounds = parent->branchBounds();
    const Rect ownBounds = b.branchBounds();
    const int side = parent->childrenConnectionSide();
    const bool leftEdges =
        !b.isRoot() &&
        (side == 2 || ((side == 0 || side == 1 || side == 7) && parent->isToLeftOfRoot()));
    const float dx =
        leftEdges ? parentBounds.x() - ownBounds.x() : parentBounds.maxX() - ownBounds.maxX();
    while (b.countOfChildren() > 0) {
        const Branch child = b.objectInChildrenAtIndex(0);
        child->moveBranchBy(dx, 0, true);
        child->setParent(parent);
        parent->insertObjectInChildrenAtIndex(child, parent->countOfChildren());
        b.removeObjectFromChildrenAtIndex(0);
        TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*child, true);
        child->childrenBoundaryPoints().clear();
        child->layoutServices().recalculateBoundary(*child);
    }
}

// Every graphic a link line can end at, in the subtrees of the branches.
QSet<const TWGraphic *> graphicsOfSubtrees(const BranchList &branches)
{
    QSet<const TWGraphic *> graphics;
    for (const Branch &top : branches) {
        BranchList subtree;
        top->buildBranchArray(subtree);
        for (const Branch &branch : std::as_const(subtree)) {
            TWMapBranch::GraphicList own;
            branch->insertBranchGraphicsIntoArray(own, true);
            own += branch->linkedGraphics();
            for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(own))
                graphics.insert(graphic.get());
        }
    }
    return graphics;
}

// Link lines go with the branches they join into the other map. A line from
// a moved branch to one that stays would join two maps, which no map can
// draw or save: it is taken out (undoably, like every other step).
void moveLinkLines(TWMap &source, TWMap &destination, const BranchList &moved)
{
    const QSet<const TWGraphic *> graphics = graphicsOfSubtrees(moved);
    for (const std::shared_ptr<TWLinkLine> &line : TWMap::LinkLineList(source.linkLines())) {
        const bool start = graphics.contains(line->startGraphic().get());
        const bool end = graphics.contains(line->endGraphic().get());
        if (!start && !end)
            continue;
        source.removeObjectFromLinkLinesAtIndex(int(source.linkLines().indexOf(line)));
        if (start && end)
            destination.insertObjectInLinkLinesAtIndex(line, destination.countOfLinkLines());
    }
}

// What left the map leaves its selection too: an action on the selection
// would otherwise reach into another map, where the user cannot see it.
void deselectGraphicsOutside(TWMap &map)
{
    const TWMap::LinkLineList &lines = map.linkLines();
    for (int i = map.countOfSelectedGraphics() - 1; i >= 0; --i) {
        const TWGraphic *graphic = map.objectInSelectedGraphicsAtIndex(i).get();
        const bool inMap =
            dynamic_cast<const TWLinkLine *>(graphic)
                ? std::any_of(lines.cbegin(), lines.cend(),
                              [graphic](const auto &line) { return line.get() == graphic; })
                : graphic && graphic->branch() && graphic->branch()->map() == &map;
        if (!inMap)
            map.removeObjectFromSelectedGraphicsAtIndex(i);
    }
}

void announceMaximumHideLevel(TWMap &map)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const char *phase : {"will", "did"})
        center.post(TWMap::ValueChangeNotification, NotificationObject(map.shared_from_this()),
                    {{TWMap::KeyKey, QStringLiteral("maximumBranchHideLevel")},
                     {TWMap::PhaseKey, QString::fromLatin1(phase)}});
}

// After the tree changed: a hide level that showed every level shows every
// level still, and at least as many as `deepest`.
void keepLevelsShown(TWMap &map, int oldMaximum, int deepest)
{
    if (map.branchHideLevel() == oldMaximum && map.root())
        map.setBranchHideLevel(map.root()->getMaximumBranchLevel());
    if (map.branchHideLevel() < deepest)
        map.setBranchHideLevel(deepest);
}

// Connections are chosen for the parents a step leaves; undo and redo put
// parents back without choosing again, so a step registers this at its
// start and its end: whichever way it is replayed, it runs once the
// parents are in place.
void resolveConnectionsAfterReplay(UndoManager *undo, const std::weak_ptr<TWMap> &source,
                                   const std::weak_ptr<TWMap> &destination)
{
    UndoManager::registerUndo(undo, [undo, source, destination] {
        for (const std::weak_ptr<TWMap> &weak : {source, destination})
            if (const std::shared_ptr<TWMap> map = weak.lock(); map && map->root()) {
                TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*map->root(), true);
                map->removeAllGraphicOrderCache();
            }
        resolveConnectionsAfterReplay(undo, source, destination);
    });
}

} // namespace

void TWMapsDoc::publicGraftBranches(const BranchList &branches, const Branch &newParent)
{
    auto refuse = [] { Alerts::current().beep(); };
    if (branches.isEmpty() || !newParent || !branches.first()) {
        refuse();
        return;
    }
    const std::shared_ptr<TWMap> source = branches.first()->mapPointer();
    const std::shared_ptr<TWMap> destination = newParent->mapPointer();
    if (!source || !destination || !source->root() || !destination->root()) {
        refuse();
        return;
    }
    BranchList list;
    for (const Branch &b : branches) {
        if (b && b != source->root() && !list.contains(b))
            list.append(b);
    }
    // Grafting a branch onto itself, or branches of several maps at once,
    // is never asked for and would not leave a tree.
    const bool unusable = std::any_of(list.cbegin(), list.cend(), [&](const Branch &b) {
        return b == newParent || b->map() != source.get();
    });
    if (list.isEmpty() || unusable) {
        refuse();
        return;
    }

    resolveConnectionsAfterReplay(undoManager(), source, destination);
    const int oldSourceMaximum = source->root()->getMaximumBranchLevel();
    const int oldDestinationMaximum = destination->root()->getMaximumBranchLevel();

    // Branches below another listed branch move with it; decided before
    // anything moves, as handing children over changes the ancestry.
    BranchList cover;
    for (const Branch &b : std::as_const(list)) {
        const bool covered = std::any_of(list.cbegin(), list.cend(), [&](const Branch &other) {
            return other != b && b->isDescendantOf(other.get());
        });
        if (!covered)
            cover.append(b);
    }
    BranchList detached;
    for (const Branch &b : std::as_const(cover)) {
        TWMapBranch *parent = b->parent();
        if (!parent || parent->countOfChildren() == 0)
            continue;
        if (newParent->isDescendantOf(b.get()))
            handChildrenToParent(*b);
        parent->removeObjectFromChildrenAtIndex(b->childIndex());
        b->setParent(newParent.get());
        detached.append(b);
    }
    source->removeAllGraphicOrderCache();

    GraftPlacement placement(*destination, *newParent);
    for (const Branch &b : std::as_const(detached)) {
        placement.place(*b);
        b->setParent(newParent.get());
        newParent->insertObjectInChildrenAtIndex(b, newParent->countOfChildren());
        // A subtree from another map belongs to this one from now on, before
        // its connections are chosen against this map's root.
        if (source != destination) {
            b->setMap(destination.get());
            b->reparent();
            destination->removeAllGraphicOrderCache();
        }
        TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*newParent, true);
        keepLevelsShown(*destination, oldDestinationMaximum, b->getMaximumBranchLevel());
    }
    if (source != destination) {
        moveLinkLines(*source, *destination, detached);
        deselectGraphicsOutside(*source);
    }
    keepLevelsShown(*source, oldSourceMaximum, list.first()->getMaximumBranchLevel());

    newParent->setChildrenHidden(false);
    resolveConnectionsAfterReplay(undoManager(), source, destination);
    nameUndoAction("Graft");
    source->removeAllGraphicOrderCache();
    destination->removeAllGraphicOrderCache();
    announceMaximumHideLevel(*source);
    announceMaximumHideLevel(*destination);
}
