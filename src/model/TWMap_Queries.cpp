#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"

#include <QHash>
#include <QSet>
#include <cmath>

namespace {

bool isLinkLine(const TWGraphic &graphic)
{
    return dynamic_cast<const TWLinkLine *>(&graphic) != nullptr;
}

// Whether each branch has a selected graphic in itself or an ancestor,
// remembered per branch so that a large tree is walked once.
class SelectedSubtrees
{
public:
    explicit SelectedSubtrees(const TWMap::GraphicList &selection)
    {
        for (const std::shared_ptr<TWGraphic> &g : selection) {
            if (TWMapBranch *b = g->branch())
                m_known.insert(b, true);
        }
    }
    bool contains(TWMapBranch *branch)
    {
        if (!branch || m_known.size() == 0)
            return false;
        QList<TWMapBranch *> path;
        bool answer = false;
        for (TWMapBranch *b = branch; b; b = b->parent()) {
            const auto found = m_known.constFind(b);
            if (found != m_known.constEnd()) {
                answer = *found;
                break;
            }
            path.append(b);
        }
        for (TWMapBranch *b : std::as_const(path))
            m_known.insert(b, answer);
        return answer;
    }

private:
    QHash<TWMapBranch *, bool> m_known;
};

} // namespace

// --- graphic lists ---

TWMap::GraphicList TWMap::graphicsOrderedForPrinting(bool all) const
{
    GraphicList graphics;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines)
        graphics.append(line);
    if (!m_root)
        return graphics;
    m_root->graphicsForThisBranchOnlyIntoArray(graphics, all, false, false);
    for (const std::shared_ptr<TWMapBranch> &child : m_root->children())
        child->graphicsForBranchIntoArray(graphics, all, false, false);
    return graphics;
}

TWMap::GraphicList TWMap::graphicsOrderedForDrawing(bool all) const
{
    const GraphicList printing = graphicsOrderedForPrinting(all);
    // Graphics of selected subtrees come first, each part in its own order.
    GraphicList ordered;
    ordered.reserve(printing.size());
    GraphicList rest;
    SelectedSubtrees selected(m_selectedGraphics);
    for (const std::shared_ptr<TWGraphic> &g : printing)
        (selected.contains(g->branch()) ? ordered : rest).append(g);
    ordered.append(rest);

    // Title connections met before the end of the root's run go right behind
    // the root's shape instead of leading the list.
    TWMapBranch *rootBranch = m_root.get();
    QList<qsizetype> titles;
    bool inRootRun = false;
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        const TWGraphic &g = *ordered.at(i);
        if (!inRootRun) {
            if (g.branch() == rootBranch && !isLinkLine(g))
                inRootRun = true;
        } else if (g.branch() != rootBranch) {
            break;
        }
        if (g.className() == QLatin1String("TWTitleConnection"))
            titles.append(i);
    }
    if (titles.isEmpty() || !rootBranch || !rootBranch->mainGraphic())
        return ordered;
    GraphicList moved;
    for (qsizetype k = titles.size() - 1; k >= 0; --k) {
        moved.prepend(ordered.at(titles.at(k)));
        ordered.removeAt(titles.at(k));
    }
    const qsizetype shape = ordered.indexOf(rootBranch->mainGraphic());
    const qsizetype at = shape >= 0 ? shape + 1 : ordered.size();
    for (qsizetype k = 0; k < moved.size(); ++k)
        ordered.insert(at + k, moved.at(k));
    return ordered;
}

TWMap::GraphicList TWMap::allGraphics() const
{
    return graphicsOrderedForDrawing(true);
}

const TWMap::GraphicList &TWMap::graphics()
{
    if (m_graphicOrderCache.isEmpty()) {
        removeAllGraphicOrderCache();
        const GraphicList ordered = graphicsOrderedForDrawing(false);
        for (const std::shared_ptr<TWGraphic> &g : ordered)
            insertObjectInGraphicOrderCacheAtIndex(g, int(m_graphicOrderCache.size()));
    }
    return m_graphicOrderCache;
}

// --- branch lists ---

int TWMap::branchCount() const
{
    int count = 0;
    if (m_root)
        m_root->countInto(&count);
    return count;
}

int TWMap::maximumBranchHideLevel() const
{
    return m_root ? m_root->getMaximumBranchLevel() : 0;
}

// --- selection ---

void TWMap::setSelectedBranches(const BranchList &branches)
{
    removeAllSelectedGraphics();
    for (const std::shared_ptr<TWMapBranch> &b : branches) {
        if (b->mainGraphic())
            insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 0);
    }
}

int TWMap::indexOfSelectedGraphicIdenticalTo(const TWGraphic *graphic) const
{
    for (int i = 0; i < m_selectedGraphics.size(); ++i) {
        if (m_selectedGraphics.at(i).get() == graphic)
            return i;
    }
    return -1;
}

Rect TWMap::selectedGraphicsRect() const
{
    Rect united;
    for (const std::shared_ptr<TWGraphic> &g : m_selectedGraphics)
        united = united.united(g->drawingBounds());
    return united;
}

TWMap::LinkLineList TWMap::linkLinesStartingOrEndingOnBranch(const TWMapBranch *branch) const
{
    LinkLineList lines;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        const std::shared_ptr<TWGraphic> end = line->endGraphic();
        if (line->branch() == branch || (end && end->branch() == branch))
            lines.append(line);
    }
    return lines;
}

// --- geometry ---

std::shared_ptr<TWGraphic> TWMap::graphicUnderPoint(Point point, const TWMapBranch *ignoringBranch)
{
    removeAllGraphicOrderCache();
    const GraphicList drawn = graphics();
    QSet<const TWGraphic *> selected;
    for (const std::shared_ptr<TWGraphic> &g : m_selectedGraphics)
        selected.insert(g.get());
    TWMapLayoutServices &services = layoutServices();
    auto hits = [&](TWGraphic &g) {
        return mouseInRect(point, g.drawingBounds()) && g.hitTest(point, selected.contains(&g));
    };

    // Link lines lie over everything they cross.
    for (const std::shared_ptr<TWGraphic> &g : drawn) {
        if (isLinkLine(*g) && g->branch() != ignoringBranch && hits(*g))
            return g;
    }

    // Collapse signs, unless a selected graphic of that branch offers a knob there.
    QSet<TWMapBranch *> tried;
    bool knobThere = false;
    for (const std::shared_ptr<TWGraphic> &g : drawn) {
        TWMapBranch *b = g->branch();
        if (!b || tried.contains(b))
            continue;
        tried.insert(b);
        const Rect sign = services.boundsOfShowAndHideImage(*b);
        if (sign == Rect() || !sign.contains(point))
            continue;
        TWMapBranch::GraphicList own;
        b->graphicsForThisBranchOnlyIntoArray(own, true, true, true);
        for (const std::shared_ptr<TWGraphic> &o : std::as_const(own)) {
            if (selected.contains(o.get()) && o->knobUnderPoint(point) != 0) {
                knobThere = true;
                break;
            }
        }
        if (knobThere)
            break;
        return b->mainGraphic();
    }

    for (const std::shared_ptr<TWGraphic> &g : drawn) {
        TWMapBranch *b = g->branch();
        if (b && g->isMainGraphic()) {
            const Rect icons = services.rectOfRightEndGraphics(*b);
            if (icons != Rect() && icons.contains(point))
                return b->mainGraphic();
        }
        if ((!ignoringBranch || b != ignoringBranch) && hits(*g))
            return g;
    }

    if (showBoundaries()) {
        const BranchList branches = allBranches();
        for (qsizetype i = branches.size() - 1; i >= 0; --i) {
            TWMapBranch &b = *branches.at(i);
            if (b.hasBoundary() && services.boundaryPathContainsPoint(b, point))
                return b.boundaryProxy();
        }
    }
    return nullptr;
}

std::shared_ptr<TWMapBranch> TWMap::branchIntersectingRect(Rect rect,
                                                           const TWMapBranch *ignoringBranch) const
{
    if (!m_root)
        return nullptr;
    BranchList branches;
    m_root->allDescendantsIntoArray(branches, false);
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(branches)) {
        if (b.get() != ignoringBranch && rect.intersects(b->branchBounds()))
            return b;
    }
    return nullptr;
}

Rect TWMap::getBoundingDrawingRectForAllGraphics()
{
    TWMapLayoutServices &services = layoutServices();
    Rect extent;
    for (const std::shared_ptr<TWGraphic> &g : graphics()) {
        extent = extent.united(g->drawingBounds());
        TWMapBranch *b = g->branch();
        if (b && b->hasBoundary()) {
            if (const std::optional<Rect> outline = services.boundaryPathBounds(*b))
                extent = extent.united(*outline);
        }
    }
    return extent;
}

Rect TWMap::getBoundingPrintingRectForAllGraphics()
{
    removeAllGraphicOrderCache();
    TWMapLayoutServices &services = layoutServices();
    Rect extent;
    for (const std::shared_ptr<TWGraphic> &g : graphics()) {
        extent = extent.united(g->boundsForPrinting());
        TWMapBranch *b = g->branch();
        if (b && b->hasBoundary()) {
            if (const std::optional<Rect> outline = services.boundaryPathBounds(*b))
                extent = extent.united(*outline);
        }
    }
    const Rect whole(std::floor(extent.x()), std::floor(extent.y()), std::floor(extent.width() + 1),
                     std::floor(extent.height() + 1));
    return whole.insetBy(-10, -15);
}

TWMapBranch *TWMap::commonAncestorOfBranches(QList<TWMapBranch *> &one, QList<TWMapBranch *> &two,
                                             TWMapBranch *branch1, TWMapBranch *branch2)
{
    for (TWMapBranch *b = branch1; b; b = b->parent())
        one.append(b);
    for (TWMapBranch *b = branch2; b; b = b->parent())
        two.append(b);
    if (!branch1 || !branch2)
        return nullptr;
    const QSet<TWMapBranch *> second(two.cbegin(), two.cend());
    for (qsizetype i = 0; i < one.size(); ++i) {
        TWMapBranch *candidate = one.at(i);
        if (!second.contains(candidate))
            continue;
        two.resize(two.indexOf(candidate));
        one.resize(i);
        return candidate;
    }
    return nullptr;
}

void TWMap::removeDeadLinkLines()
{
    // Ends are looked for among every graphic, shown or not, so that hiding
    // attached graphics never deletes the lines that reach them.
    QSet<const TWGraphic *> present;
    const GraphicList everything = allGraphics();
    for (const std::shared_ptr<TWGraphic> &g : everything)
        present.insert(g.get());
    for (const std::shared_ptr<TWMapBranch> &b : allBranches()) {
        for (const std::shared_ptr<TWGraphic> &g : b->linkedGraphics())
            present.insert(g.get());
    }
    LinkLineList dead;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (!present.contains(line->startGraphic().get()) ||
            !present.contains(line->endGraphic().get()))
            dead.append(line);
    }
    for (const std::shared_ptr<TWLinkLine> &line : std::as_const(dead)) {
        const qsizetype index = m_linkLines.indexOf(line);
        if (index >= 0)
            removeObjectFromLinkLinesAtIndex(int(index));
    }
}
