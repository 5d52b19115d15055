#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapLayoutServices.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

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

void TWMap::forEachGraphicForPrinting(bool all,
                                      const std::function<void(TWGraphic &)> &visit) const
{
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines)
        visit(*line);
    if (!m_root)
        return;
    m_root->forEachGraphicOfThisBranch(all, visit);
    // A hidden branch's subtree is left out whole, so a branch reached is
    // hidden by its own level or by its parent's hiding its children: the
    // walk knows both without climbing to the root from each branch.
    struct Step
    {
        TWMapBranch *branch;
        int level;
    };
    std::vector<Step> stack;
    const auto pushChildren = [&stack](TWMapBranch &parent, int level) {
        for (qsizetype i = parent.children().size(); i-- > 0;)
            stack.push_back({parent.children().at(i).get(), level});
    };
    pushChildren(*m_root, 1);
    const int hideLevel = branchHideLevel();
    while (!stack.empty()) {
        const Step step = stack.back();
        stack.pop_back();
        TWMapBranch *b = step.branch;
        if (!all && (step.level > hideLevel || b->parent()->childrenHidden()))
            continue;
        // Known to be shown: the branch need not climb to find out again.
        b->forEachGraphicOfThisBranch(true, visit);
        pushChildren(*b, step.level + 1);
    }
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

namespace {

// A graphic's place in the drawing order, front first, comparable without
// building the order: the selection part, link lines before branch graphics,
// the listing branch's pre-order path, then the place in its own list.
using OrderKey = std::vector<qint64>;

class DrawingOrder
{
public:
    DrawingOrder(TWMap &map, const TWMap::GraphicList &selection)
        : m_selected(selection), m_root(map.root().get())
    {
        if (!m_root)
            return;
        m_rootPart = part(m_root);
        TWMap::GraphicList own;
        m_root->graphicsForThisBranchOnlyIntoArray(own, false, false, false);
        if (m_root->mainGraphic())
            m_rootMain = own.indexOf(m_root->mainGraphic());
    }

    OrderKey linkLineKey(const TWGraphic &line, qsizetype index)
    {
        return {part(line.branch()), 0, index};
    }

    // `index` is the graphic's place in the list graphicsForThisBranchOnlyIntoArray()
    // gives for `listing`.
    OrderKey graphicKey(const TWMapBranch &listing, qsizetype index, const TWGraphic &graphic)
    {
        OrderKey key{part(graphic.branch()), 1};
        appendPath(key, listing);
        key.push_back(index);
        // Title connections ahead of the end of the root's own graphics go
        // right behind the root's shape.
        if (m_rootMain >= 0 && graphic.className() == QLatin1String("TWTitleConnection") &&
            (key.front() < m_rootPart || &listing == m_root)) {
            OrderKey moved{m_rootPart, 1, 0, m_rootMain, 1};
            moved.insert(moved.end(), key.cbegin(), key.cend());
            return moved;
        }
        return key;
    }

private:
    qint64 part(TWMapBranch *branch) { return m_selected.contains(branch) ? 0 : 1; }

    // Child places plus one from the root down, closed by 0 so that a branch
    // sorts ahead of its descendants.
    void appendPath(OrderKey &key, const TWMapBranch &branch) const
    {
        const size_t start = key.size();
        for (const TWMapBranch *b = &branch; b != m_root; b = b->parent()) {
            const TWMapBranch *p = b->parent();
            if (!p)
                break;
            const auto &children = p->children();
            qsizetype at = 0;
            while (at < children.size() && children.at(at).get() != b)
                ++at;
            key.push_back(at + 1);
        }
        std::reverse(key.begin() + qsizetype(start), key.end());
        key.push_back(0);
    }

    SelectedSubtrees m_selected;
    TWMapBranch *m_root;
    qint64 m_rootPart = 1;
    qsizetype m_rootMain = -1;
};

// The frontmost of the matches offered.
template <class T> struct Frontmost
{
    OrderKey key;
    T value{};
    bool found = false;
    void offer(OrderKey k, T v)
    {
        if (!found || k < key) {
            key = std::move(k);
            value = std::move(v);
            found = true;
        }
    }
};

} // namespace

std::shared_ptr<TWGraphic> TWMap::graphicUnderPoint(Point point, const TWMapBranch *ignoringBranch)
{
    QSet<const TWGraphic *> selected;
    for (const std::shared_ptr<TWGraphic> &g : m_selectedGraphics)
        selected.insert(g.get());
    TWMapLayoutServices &services = layoutServices();
    DrawingOrder order(*this, m_selectedGraphics);
    auto hits = [&](TWGraphic &g) {
        return mouseInRect(point, g.drawingBounds()) && g.hitTest(point, selected.contains(&g));
    };

    // Only the shown branches whose subtree paints over the point are looked
    // at, so a click costs what lies near it rather than the whole map.
    struct Listed
    {
        TWMapBranch *branch;
        GraphicList graphics;
    };
    QList<Listed> near;
    std::function<void(TWMapBranch &, int)> collect = [&](TWMapBranch &b, int shownLevels) {
        if (b.hidden() || !drawingServices().subtreeDrawingExtent(b, shownLevels).contains(point))
            return;
        Listed listed{&b, {}};
        b.graphicsForThisBranchOnlyIntoArray(listed.graphics, false, false, false);
        near.append(std::move(listed));
        for (const std::shared_ptr<TWMapBranch> &child : b.children())
            collect(*child, shownLevels - 1);
    };
    if (m_root)
        collect(*m_root, branchHideLevel() - m_root->getThisBranchLevel());

    // Link lines lie over everything they cross.
    Frontmost<std::shared_ptr<TWGraphic>> line;
    for (qsizetype i = 0; i < m_linkLines.size(); ++i) {
        const std::shared_ptr<TWLinkLine> &g = m_linkLines.at(i);
        if (g->branch() != ignoringBranch && hits(*g))
            line.offer(order.linkLineKey(*g, i), g);
    }
    if (line.found)
        return line.value;

    // Collapse signs, unless a selected graphic of that branch offers a knob
    // there; the frontmost branch with a sign at the point decides.
    QHash<TWMapBranch *, bool> signs;
    auto signAt = [&](TWMapBranch *b) {
        if (!b)
            return false;
        const auto known = signs.constFind(b);
        if (known != signs.constEnd())
            return *known;
        const Rect r = services.boundsOfShowAndHideImage(*b);
        const bool at = r != Rect() && r.contains(point);
        signs.insert(b, at);
        return at;
    };
    Frontmost<TWMapBranch *> sign;
    for (qsizetype i = 0; i < m_linkLines.size(); ++i) {
        const TWLinkLine &g = *m_linkLines.at(i);
        if (signAt(g.branch()))
            sign.offer(order.linkLineKey(g, i), g.branch());
    }
    for (const Listed &listed : std::as_const(near)) {
        for (qsizetype i = 0; i < listed.graphics.size(); ++i) {
            const TWGraphic &g = *listed.graphics.at(i);
            if (signAt(g.branch()))
                sign.offer(order.graphicKey(*listed.branch, i, g), g.branch());
        }
    }
    if (sign.found) {
        TWMapBranch::GraphicList own;
        sign.value->graphicsForThisBranchOnlyIntoArray(own, true, true, true);
        const bool knobThere = std::any_of(own.cbegin(), own.cend(), [&](const auto &o) {
            return selected.contains(o.get()) && o->knobUnderPoint(point) != 0;
        });
        if (!knobThere)
            return sign.value->mainGraphic();
    }

    Frontmost<std::shared_ptr<TWGraphic>> hit;
    auto consider = [&](const std::shared_ptr<TWGraphic> &g, OrderKey key) {
        TWMapBranch *b = g->branch();
        if (b && g->isMainGraphic()) {
            const Rect icons = services.rectOfRightEndGraphics(*b);
            if (icons != Rect() && icons.contains(point)) {
                hit.offer(std::move(key), b->mainGraphic());
                return;
            }
        }
        if ((!ignoringBranch || b != ignoringBranch) && hits(*g))
            hit.offer(std::move(key), g);
    };
    for (qsizetype i = 0; i < m_linkLines.size(); ++i)
        consider(m_linkLines.at(i), order.linkLineKey(*m_linkLines.at(i), i));
    for (const Listed &listed : std::as_const(near)) {
        for (qsizetype i = 0; i < listed.graphics.size(); ++i)
            consider(listed.graphics.at(i),
                     order.graphicKey(*listed.branch, i, *listed.graphics.at(i)));
    }
    if (hit.found)
        return hit.value;

    if (showBoundaries() && m_root) {
        // The innermost boundary wins: the last one in pre-order.
        std::shared_ptr<TWGraphic> inner;
        std::function<void(TWMapBranch &)> walk = [&](TWMapBranch &b) {
            if (b.hasBoundary() && services.boundaryPathContainsPoint(b, point))
                inner = b.boundaryProxy();
            for (const std::shared_ptr<TWMapBranch> &child : b.children())
                walk(*child);
        };
        walk(*m_root);
        return inner;
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

namespace {

// What a shown branch and its shown descendants cover, as graphics()
// lists them, without building and ordering that list: each subtree's
// answer is kept until a graphic in it changes, so an edit measures the
// branches from it to the root and their children, not the map.
// `shownLevels` is how many levels below the branch the hide level shows.
TWMapBranch::GraphicsExtent subtreeGraphicsExtent(TWMapBranch &branch, int shownLevels,
                                                  bool showAttached)
{
    if (std::optional<TWMapBranch::GraphicsExtent> kept =
            branch.subtreeGraphicsExtent(shownLevels, showAttached))
        return *kept;
    TWMapBranch::GraphicsExtent extent;
    Rect &r = extent.graphics;
    if (const auto &text = branch.enclosedTextArea())
        r = r.united(text->drawingBounds());
    const bool numberShown = branch.showsOutlineNumberLabel();
    for (const auto &record : branch.otherEnclosedGraphics())
        if (record->graphic() && (numberShown || record->name() != TWMapBranch::OutlineNumberKey))
            r = r.united(record->graphic()->drawingBounds());
    if (const std::shared_ptr<TWGraphic> image = branch.enclosedImage())
        r = r.united(image->drawingBounds());
    if (const auto &shape = branch.mainGraphic())
        r = r.united(shape->drawingBounds());
    if (showAttached)
        for (const auto &g : branch.linkedGraphics())
            r = r.united(g->drawingBounds());
    if (const auto &connection = branch.connectionGraphic())
        r = r.united(connection->drawingBounds());
    // Below a collapse nothing is looked at: a boundary there is not ruled out.
    extent.boundaries =
        branch.hasBoundary() || (branch.childrenHidden() && !branch.children().isEmpty());
    extent.depth = 0;
    // Deeper than the hide level is hidden, and so is all below a collapse.
    if (!branch.childrenHidden() && !branch.children().isEmpty()) {
        if (shownLevels < 1)
            extent.depth = TWMapBranch::ExtentCut;
        else
            for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
                const TWMapBranch::GraphicsExtent below =
                    subtreeGraphicsExtent(*child, shownLevels - 1, showAttached);
                r = r.united(below.graphics);
                extent.boundaries = extent.boundaries || below.boundaries;
                extent.depth = TWMapBranch::extentDepthWithChild(extent.depth, below.depth);
            }
    }
    branch.setSubtreeGraphicsExtent(extent, shownLevels, showAttached);
    return extent;
}

// Boundary outlines are kept by the layout: asked for afresh, but only in
// subtrees that draw one.
void uniteBoundaries(TWMapBranch &branch, int shownLevels, bool showAttached,
                     TWMapLayoutServices &services, Rect &extent)
{
    if (branch.hasBoundary())
        if (const std::optional<Rect> outline = services.boundaryPathBounds(branch))
            extent = extent.united(*outline);
    if (shownLevels < 1 || branch.childrenHidden())
        return;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        if (subtreeGraphicsExtent(*child, shownLevels - 1, showAttached).boundaries)
            uniteBoundaries(*child, shownLevels - 1, showAttached, services, extent);
}

} // namespace

Rect TWMap::getBoundingDrawingRectForAllGraphics()
{
    TWMapLayoutServices &services = layoutServices();
    Rect extent;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        extent = extent.united(line->drawingBounds());
        TWMapBranch *b = line->branch();
        if (b && b->hasBoundary())
            if (const std::optional<Rect> outline = services.boundaryPathBounds(*b))
                extent = extent.united(*outline);
    }
    // A hide level below zero hides even the root.
    const int shownLevels = branchHideLevel();
    if (!m_root || shownLevels < 0)
        return extent;
    const bool attached = m_branchSettings.showAttachedGraphics;
    const TWMapBranch::GraphicsExtent tree = subtreeGraphicsExtent(*m_root, shownLevels, attached);
    extent = extent.united(tree.graphics);
    if (tree.boundaries)
        uniteBoundaries(*m_root, shownLevels, attached, services, extent);
    return extent;
}

Rect TWMap::getBoundingPrintingRectForAllGraphics()
{
    removeAllGraphicOrderCache();
    TWMapLayoutServices &services = layoutServices();
    // A union: the order of drawing tells nothing here.
    std::vector<TWGraphic *> graphics;
    forEachGraphicForPrinting(false, [&graphics](TWGraphic &g) { graphics.push_back(&g); });
    // A shape prints its branch's boundary outline: all of them are
    // measured at once, which a large map needs.
    std::vector<TWMapBranch *> owners;
    for (const TWGraphic *g : graphics)
        if (TWMapBranch *b = g->branch(); b && g->isMainGraphic())
            owners.push_back(b);
    const std::vector<std::optional<Rect>> outlines = services.boundaryPathBoundsOfBranches(owners);
    size_t next = 0;
    Rect extent;
    for (TWGraphic *g : graphics) {
        TWMapBranch *b = g->branch();
        const bool shape = b && g->isMainGraphic();
        const std::optional<Rect> outline =
            shape ? outlines[next++]
                  : (b && b->hasBoundary() ? services.boundaryPathBounds(*b) : std::nullopt);
        extent = extent.united(g->boundsForPrinting(shape ? outline : std::nullopt));
        if (b && b->hasBoundary() && outline)
            extent = extent.united(*outline);
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
