#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWBranchOrdering.h"
#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "platform/GraphicNumberSet.h"

#include <algorithm>

// --- levels and the hidden rule ---

int TWMapBranch::getThisBranchLevel() const
{
    int level = 0;
    for (const TWMapBranch *p = m_parentBranch; p; p = p->m_parentBranch)
        ++level;
    return level;
}

int TWMapBranch::levelsBelowMe(int depth) const
{
    int deepest = 0;
    for (const std::shared_ptr<TWMapBranch> &child : m_children)
        deepest = std::max(deepest, child->levelsBelowMe(depth + 1));
    return deepest == 0 ? depth : deepest;
}

int TWMapBranch::getMaximumBranchLevel() const
{
    return getThisBranchLevel() + levelsBelowMe(0);
}

bool TWMapBranch::hidden() const
{
    int level = 0;
    for (const TWMapBranch *p = m_parentBranch; p; p = p->m_parentBranch) {
        if (p->m_flags.childrenHidden)
            return true;
        ++level;
    }
    const TWMap *m = map();
    return m && level > m->branchHideLevel();
}

bool TWMapBranch::isRoot() const
{
    const TWMap *m = map();
    return m && m->root().get() == this;
}

TWMapBranch *TWMapBranch::findTopLevelBranch()
{
    TWMapBranch *branch = this;
    if (branch->isRoot())
        return nullptr;
    for (TWMapBranch *p = branch->parent(); p; p = p->parent()) {
        if (p->isRoot())
            return branch;
        branch = p;
    }
    return nullptr;
}

int TWMapBranch::childIndex() const
{
    const TWMapBranch *p = parent();
    if (!p)
        return 0;
    for (int i = 0; i < p->m_children.size(); ++i) {
        if (p->m_children.at(i).get() == this)
            return i;
    }
    return 0;
}

QList<int> TWMapBranch::indexPath() const
{
    const TWMapBranch *p = parent();
    if (!p)
        return {0};
    QList<int> path = p->indexPath();
    path.append(childIndex());
    return path;
}

std::shared_ptr<TWMapBranch> TWMapBranch::siblingBranchAbove()
{
    TWMapBranch *p = parent();
    if (!p)
        return nullptr;
    p->reSortChildrenByPositionRecursively(true);
    const int index = childIndex();
    return index > 0 ? p->m_children.at(index - 1) : nullptr;
}

std::shared_ptr<TWMapBranch> TWMapBranch::siblingBranchBelow()
{
    TWMapBranch *p = parent();
    if (!p)
        return nullptr;
    p->reSortChildrenByPositionRecursively(true);
    const int index = childIndex();
    return index + 1 < p->m_children.size() ? p->m_children.at(index + 1) : nullptr;
}

bool TWMapBranch::isDescendantOf(const TWMapBranch *branch) const
{
    if (branch == this)
        return true;
    for (const TWMapBranch *p = m_parentBranch; p; p = p->m_parentBranch) {
        if (p == branch)
            return true;
    }
    return false;
}

bool TWMapBranch::isDescendantOfBranchInArray(const BranchList &branches) const
{
    return std::any_of(branches.cbegin(), branches.cend(),
                       [this](const auto &branch) { return isDescendantOf(branch.get()); });
}

TWMapBranch *TWMapBranch::findBranchWithBranchNumber(int number)
{
    if (m_branchNumber == number)
        return this;
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
        if (TWMapBranch *found = child->findBranchWithBranchNumber(number))
            return found;
    }
    return nullptr;
}

int TWMapBranch::getMinimumAttachedGraphicNumber() const
{
    int minimum = 0;
    for (const std::shared_ptr<TWGraphic> &graphic : m_linkedGraphics)
        minimum = std::min(minimum, graphic->internalOrdering());
    return minimum;
}

TWMapBranch::BranchList TWMapBranch::getNonHiddenChildren() const
{
    BranchList visible;
    for (const std::shared_ptr<TWMapBranch> &child : m_children) {
        if (!child->hidden())
            visible.append(child);
    }
    return visible;
}

TWMapBranch::BranchList TWMapBranch::childrenArrangedForDrawing() const
{
    const TWMap *m = map();
    if (!m || isRoot())
        return m_children;
    TWMapBranch *top = const_cast<TWMapBranch *>(this)->findTopLevelBranch();
    if (top && top->isToLeftOfRoot() && !m->branchDisplaySettings().childOutlineNumberingTopDown) {
        BranchList reversed(m_children.crbegin(), m_children.crend());
        return reversed;
    }
    return m_children;
}

int TWMapBranch::expansionSide() const
{
    if (isRoot())
        return 2;
    const int side = m_connectionGraphic ? m_connectionGraphic->connectionToParentSide() : 0;
    switch (side) {
    case 3:
        return 0;
    case 4:
    case 5:
    case 6:
        return 2;
    case 1:
    case 7:
        return isToLeftOfRoot() ? 0 : 1;
    default:
        return 1;
    }
}

std::optional<Color> TWMapBranch::boundaryInheritedStrokeColor() const
{
    if (boundaryInheritsLineColor() && m_mainGraphic)
        return m_mainGraphic->strokeColor();
    return boundaryLineColor();
}

QString TWMapBranch::description() const
{
    const QString base = QStringLiteral("<TWMapBranch: 0x%1>").arg(quintptr(this), 0, 16);
    const QString text = m_enclosedTextArea ? m_enclosedTextArea->text().string() : QString();
    return QStringLiteral("%1 %2").arg(base, text);
}

Rect TWMapBranch::branchBounds() const
{
    Rect bounds = m_mainGraphic ? m_mainGraphic->bounds() : Rect();
    if (m_enclosedTextArea)
        bounds = bounds.united(m_enclosedTextArea->bounds());
    return bounds;
}

bool TWMapBranch::isToLeftOfRoot() const
{
    const TWMap *m = map();
    if (!m || !m->root() || !m->root()->mainGraphic() || !m_mainGraphic)
        return false;
    return m_mainGraphic->bounds().midX() < m->root()->mainGraphic()->bounds().midX();
}

bool TWMapBranch::showsOutlineNumberLabel() const
{
    const TWMap *m = map();
    if (!m || !m->branchDisplaySettings().showOutlineNumbers || !parent())
        return false;
    const int toLevel = m->branchDisplaySettings().outlineNumbersToLevel;
    return toLevel <= 0 || getThisBranchLevel() <= toLevel;
}

// --- collecting walks ---

void TWMapBranch::buildBranchArray(BranchList &array)
{
    array.append(shared_from_this());
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->buildBranchArray(array);
}

void TWMapBranch::allDescendantsIntoArray(BranchList &array, bool includeHidden)
{
    if (includeHidden || !hidden())
        array.append(shared_from_this());
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->allDescendantsIntoArray(array, includeHidden);
}

void TWMapBranch::allDescendantsToLevel(int level, BranchList &array, bool includeHidden)
{
    if (getThisBranchLevel() > level)
        return;
    if (includeHidden || !hidden())
        array.append(shared_from_this());
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->allDescendantsToLevel(level, array, includeHidden);
}

void TWMapBranch::fillArray(BranchList &array, int wantedLevel, int myLevel)
{
    if (myLevel == wantedLevel) {
        array.append(shared_from_this());
        return;
    }
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->fillArray(array, wantedLevel, myLevel + 1);
}

void TWMapBranch::countInto(int *count) const
{
    ++*count;
    for (const std::shared_ptr<TWMapBranch> &child : m_children)
        child->countInto(count);
}

void TWMapBranch::addCoordsToArray(QList<Rect> &array) const
{
    const TWMap *m = map();
    if ((m && m->selectedBranches().contains(const_cast<TWMapBranch *>(this))) || hidden())
        return;
    if (!isRoot())
        array.append(branchBounds());
    for (const std::shared_ptr<TWMapBranch> &child : m_children)
        child->addCoordsToArray(array);
}

// --- graphics in z-order ---

int TWMapBranch::attachedGraphicOrderFunction(const TWGraphic &a, const TWGraphic &b)
{
    if (a.internalOrdering() == b.internalOrdering())
        return 0;
    return a.internalOrdering() < b.internalOrdering() ? 1 : -1;
}

template <typename Visit>
void TWMapBranch::eachBranchGraphic(Visit visit) const
{
    if (m_enclosedTextArea)
        visit(m_enclosedTextArea);
    const bool labelShown = showsOutlineNumberLabel();
    for (const std::shared_ptr<TWEnclosedGraphic> &record : m_otherEnclosedGraphics) {
        if (!record->graphic())
            continue;
        if (record->name() == OutlineNumberKey && !labelShown)
            continue;
        visit(record->graphic());
    }
    if (std::shared_ptr<TWGraphic> image = enclosedImage())
        visit(image);
    if (m_mainGraphic)
        visit(m_mainGraphic);
}

void TWMapBranch::insertBranchGraphicsIntoArray(GraphicList &array, bool) const
{
    eachBranchGraphic([&array](const std::shared_ptr<TWGraphic> &g) { array.append(g); });
}

void TWMapBranch::forEachGraphicOfThisBranch(bool all,
                                             const std::function<void(TWGraphic &)> &visit)
{
    if (!all && hidden())
        return;
    const TWMap *m = map();
    if (!m_linkedGraphics.isEmpty() && (!m || m->branchDisplaySettings().showAttachedGraphics)) {
        // Attached graphics go between the branch's own by their order.
        GraphicList mine;
        graphicsForThisBranchOnlyIntoArray(mine, all, false, false);
        for (const std::shared_ptr<TWGraphic> &g : std::as_const(mine))
            visit(*g);
        return;
    }
    eachBranchGraphic([&visit](const std::shared_ptr<TWGraphic> &g) { visit(*g); });
    if (m_connectionGraphic)
        visit(*m_connectionGraphic);
}

void TWMapBranch::graphicsForThisBranchOnlyIntoArray(GraphicList &array, bool all,
                                                     bool includeOutgoingLinks,
                                                     bool includeIncomingLinks)
{
    if (!all && hidden())
        return;
    // Listed straight into the array: a whole map's list is made of these.
    const qsizetype start = array.size();
    const TWMap *m = map();
    const bool showAttached = !m || m->branchDisplaySettings().showAttachedGraphics;
    if (m_linkedGraphics.isEmpty() || !showAttached) {
        insertBranchGraphicsIntoArray(array, all);
    } else {
        GraphicList sorted = m_linkedGraphics;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
            return attachedGraphicOrderFunction(*a, *b) < 0;
        });
        bool ownListed = false;
        for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
            if (!ownListed && (*it)->internalOrdering() >= 0) {
                insertBranchGraphicsIntoArray(array, all);
                ownListed = true;
            }
            array.append(*it);
        }
        if (!ownListed)
            insertBranchGraphicsIntoArray(array, all);
    }
    if (m_connectionGraphic)
        array.append(m_connectionGraphic);

    if (!m || m->countOfLinkLines() == 0 || (!includeOutgoingLinks && !includeIncomingLinks))
        return;
    const qsizetype end = array.size();
    for (qsizetype i = start; i < end; ++i) {
        const TWGraphic *graphic = array.at(i).get();
        TWMap::LinkLineList lines;
        if (includeOutgoingLinks && includeIncomingLinks)
            lines = m->linkLinesStartingOrEndingWithGraphic(graphic);
        else if (includeOutgoingLinks)
            lines = m->linkLinesStartingWithGraphic(graphic);
        else
            lines = m->linkLinesEndingWithGraphic(graphic);
        for (const std::shared_ptr<TWLinkLine> &line : std::as_const(lines)) {
            if (!array.contains(line))
                array.append(line);
        }
    }
}

void TWMapBranch::graphicsForBranchIntoArray(GraphicList &array, bool all,
                                             bool includeOutgoingLinks, bool includeIncomingLinks)
{
    if (!all && hidden())
        return;
    graphicsForThisBranchOnlyIntoArray(array, all, includeOutgoingLinks, includeIncomingLinks);
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->graphicsForBranchIntoArray(array, all, includeOutgoingLinks, includeIncomingLinks);
}

TWMapBranch::GraphicList TWMapBranch::branchGraphicsForDragImage() const
{
    GraphicList graphics;
    if (m_enclosedTextArea)
        graphics.append(m_enclosedTextArea);
    const bool labelShown = showsOutlineNumberLabel();
    for (const std::shared_ptr<TWEnclosedGraphic> &record : m_otherEnclosedGraphics) {
        if (record->graphic() && (record->name() != OutlineNumberKey || labelShown))
            graphics.append(record->graphic());
    }
    if (m_mainGraphic)
        graphics.append(m_mainGraphic);
    return graphics;
}

// --- selection rules ---

bool TWMapBranch::hasSelectedGraphic() const
{
    const TWMap *m = map();
    if (!m)
        return false;
    return std::any_of(m->selectedGraphics().cbegin(), m->selectedGraphics().cend(),
                       [this](const auto &graphic) { return graphic->branch() == this; });
}

bool TWMapBranch::ancestorHasSelectedGraphic() const
{
    if (hasSelectedGraphic())
        return true;
    for (const TWMapBranch *p = m_parentBranch; p; p = p->m_parentBranch) {
        if (p->hasSelectedGraphic())
            return true;
    }
    return false;
}

bool TWMapBranch::isSelected() const
{
    const TWMap *m = map();
    if (!m || m->countOfSelectedGraphics() == 0)
        return false;
    const std::shared_ptr<TWGraphic> image = enclosedImage();
    for (const TWGraphic *graphic :
         {m_mainGraphic.get(), image.get(), static_cast<TWGraphic *>(m_enclosedTextArea.get()),
          static_cast<TWGraphic *>(m_connectionGraphic.get())}) {
        if (graphic && m->isGraphicSelected(graphic))
            return true;
    }
    for (const std::shared_ptr<TWGraphic> &graphic : m_linkedGraphics) {
        if (m->isGraphicSelected(graphic.get()))
            return true;
    }
    for (const std::shared_ptr<TWLinkLine> &line : m->linkLinesOnBranch(this)) {
        if (m->isGraphicSelected(line.get()))
            return true;
    }
    return false;
}

bool TWMapBranch::canGraphicBeSelected(const TWGraphic *graphic) const
{
    if (!graphic)
        return true;
    if (graphic == m_connectionGraphic.get())
        return false;
    if (graphic == enclosedImage().get() && enclosedImageLayoutMode() == 0)
        return false;
    for (const std::shared_ptr<TWEnclosedGraphic> &record : m_otherEnclosedGraphics) {
        if (record->graphic().get() == graphic)
            return false;
    }
    return true;
}

bool TWMapBranch::shouldSelectMainForGraphic(const TWGraphic *graphic) const
{
    if (!graphic)
        return false;
    if (graphic == enclosedImage().get() && enclosedImageLayoutMode() == 0)
        return true;
    for (const std::shared_ptr<TWEnclosedGraphic> &record : m_otherEnclosedGraphics) {
        if (record->graphic().get() == graphic)
            return true;
    }
    return false;
}

// --- reserved widths ---

float TWMapBranch::totalWidthToAllowForOtherEnclosedGraphics() const
{
    qsizetype n = m_otherEnclosedGraphics.size();
    const std::shared_ptr<TWEnclosedGraphic> label = outlineNumberLabel();
    if (label)
        --n;
    float width = float(n) * IconSlotWidth + IconMargin;
    const TWMap *m = map();
    if (m && m->branchDisplaySettings().showOutlineNumbers && parent()) {
        const int toLevel = m->branchDisplaySettings().outlineNumbersToLevel;
        if (toLevel > 0 && getThisBranchLevel() > toLevel)
            return width;
        if (label && label->graphic())
            width += label->graphic()->bounds().width() + IconMargin;
    }
    return width;
}

TWMapBranch::SuffixIcons TWMapBranch::suffixIcons() const
{
    SuffixIcons icons;
    icons.hyperlinks = countOfHyperlinks();
    if (const TWMap *m = map()) {
        const TWMap::BranchDisplaySettings &show = m->branchDisplaySettings();
        if (show.showTextIndicators)
            icons.attachedTexts = countOfAttachedTextArray();
        icons.checkBox = show.showCheckboxes && showCheckBox();
        icons.priority = show.showPriorities && priority() != 0;
        // Only a percentage that is drawn takes a slot (NaN and every
        // negative value draw nothing).
        icons.percentage = show.showPercentComplete && percentageComplete() >= 0;
        icons.resources = showsResourcesAllocatedIndicator();
    }
    return icons;
}

float TWMapBranch::totalWidthForSuffixImages() const
{
    return IconSlotWidth * float(suffixIcons().count()) + IconMargin;
}

bool TWMapBranch::showsResourcesAllocatedIndicator() const
{
    // The map's getter, not the stored switch: the icon is drawn by the same rule.
    const TWMap *m = map();
    return m && m->showResourcesAllocated() && !resourcesAllocated().isEmpty();
}

// --- upkeep ---

void TWMapBranch::remove()
{
    // Keeps the branch alive while it leaves its parent.
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    TWMap *m = map();
    if (m)
        m->removeSelectedBranch(this);
    while (!m_children.isEmpty())
        m_children.first()->remove();
    if (m && m_mainGraphic)
        m->removeSelectedGraphic(m_mainGraphic.get());
    const qsizetype mainIndex = m_linkedGraphics.indexOf(m_mainGraphic);
    if (m_mainGraphic && mainIndex >= 0)
        removeObjectFromLinkedGraphicsAtIndex(int(mainIndex));
    while (!m_linkedGraphics.isEmpty()) {
        const qsizetype before = m_linkedGraphics.size();
        const std::shared_ptr<TWGraphic> first = m_linkedGraphics.first();
        // Only an attached graphic of this branch takes itself out: a shape's
        // remove() would take a whole branch.
        if (first->branch() == this && first != m_mainGraphic)
            first->remove();
        // A graphic that no longer names this branch cannot take itself out.
        if (m_linkedGraphics.size() == before)
            removeObjectFromLinkedGraphicsAtIndex(0);
    }
    if (TWMapBranch *p = parent())
        p->removeChild(self);
}

namespace {
void sortChildren(TWMapBranch &branch, const TWSiblingOrder &order)
{
    const auto before = [&order](const auto &a, const auto &b) { return order.before(*a, *b); };
    // Children already in order are by far the common case after a move;
    // the check costs one comparison per child and changes nothing.
    const TWMapBranch::BranchList &children = branch.children();
    if (!std::is_sorted(children.cbegin(), children.cend(), before)) {
        TWMapBranch::BranchList sorted = children;
        std::stable_sort(sorted.begin(), sorted.end(), before);
        branch.setChildren(sorted);
    }
}
} // namespace

// `all`: an ancestor's whole subtree may be out of order. Only branches
// marked on the way down are looked at; the flags go once the subtree
// below is done (a sort on the way marks nothing above a pending branch).
void TWMapBranch::reSortMarkedOrders(const TWSiblingOrder &order, bool all)
{
    all = all || m_subtreeOrderDirty;
    if (!all && !m_orderPending)
        return;
    if (all || m_childOrderDirty)
        sortChildren(*this, order);
    for (const std::shared_ptr<TWMapBranch> &child : BranchList(m_children))
        child->reSortMarkedOrders(order.forChildrenOf(*child), all);
    m_childOrderDirty = m_subtreeOrderDirty = m_orderPending = false;
}

void TWMapBranch::reSortChildrenByPositionRecursively(bool recursive)
{
    // The order below a main branch is worked out once for its whole subtree.
    const TWSiblingOrder order(*this);
    if (recursive) {
        bool all = false;
        for (const TWMapBranch *b = parent(); b && !all; b = b->parent())
            all = b->m_subtreeOrderDirty;
        reSortMarkedOrders(order, all);
    } else {
        // The marks stay: they speak for the subtree below too.
        sortChildren(*this, order);
    }
    // The subtree paints the same where its order stayed; a new order has
    // already dropped the cached extents on its way through setChildren.
    if (TWMap *m = map())
        m->removeAllGraphicOrderCache();
}

// Returns whether an order in the subtree still needs sorting.
bool TWMapBranch::checkMarkedOrders(const TWSiblingOrder &order, bool all)
{
    all = all || m_subtreeOrderDirty;
    if (!all && !m_orderPending)
        return false;
    if (all || m_childOrderDirty)
        m_childOrderDirty = !std::is_sorted(
            m_children.cbegin(), m_children.cend(),
            [&order](const auto &a, const auto &b) { return order.before(*a, *b); });
    bool pending = m_childOrderDirty;
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        pending = child->checkMarkedOrders(order.forChildrenOf(*child), all) || pending;
    m_subtreeOrderDirty = false;
    m_orderPending = pending;
    return pending;
}

void TWMapBranch::forgetOrdersFoundSorted()
{
    bool all = false;
    for (const TWMapBranch *b = parent(); b && !all; b = b->parent())
        all = b->m_subtreeOrderDirty;
    // Under an ancestor whose whole subtree is marked the marks must stay.
    if (!all)
        checkMarkedOrders(TWSiblingOrder(*this), false);
}

bool TWMapBranch::childOrderMayNeedSorting() const
{
    if (m_childOrderDirty)
        return true;
    for (const TWMapBranch *b = this; b; b = b->parent())
        if (b->m_subtreeOrderDirty)
            return true;
    return false;
}

void TWMapBranch::markOrderPending()
{
    for (TWMapBranch *b = this; b && !b->m_orderPending; b = b->parent())
        b->m_orderPending = true;
}

void TWMapBranch::childOrderMayHaveChanged()
{
    m_childOrderDirty = true;
    markOrderPending();
}

void TWMapBranch::subtreeOrderMayHaveChanged()
{
    m_subtreeOrderDirty = true;
    markOrderPending();
}

void TWMapBranch::shapeMoved(Rect before, Rect now)
{
    // Main branches are ordered round the root, and the branches below one
    // by height, upwards or downwards by the side of the root it hangs on.
    const TWMap *m = map();
    if (TWGrowthBatch *batch = m ? TWGrowthBatch::of(*m) : nullptr)
        batch->shapeMoved(*this);
    TWMapBranch *root = m ? m->root().get() : nullptr;
    const auto leftOf = [](Rect shape, float centre) { return shape.midX() < centre; };
    TWMapBranch *up = parent();
    if (!up) {
        childOrderMayHaveChanged();
        if (this != root)
            return;
        for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
            if (!child->m_mainGraphic)
                continue;
            const Rect shape = child->m_mainGraphic->bounds();
            if (leftOf(shape, before.midX()) != leftOf(shape, now.midX()))
                child->subtreeOrderMayHaveChanged();
        }
        return;
    }
    up->childOrderMayHaveChanged();
    if (up == root && root->m_mainGraphic) {
        const float centre = root->m_mainGraphic->bounds().midX();
        if (leftOf(before, centre) != leftOf(now, centre))
            subtreeOrderMayHaveChanged();
    }
}

void TWMapBranch::setBranchNumberRecursively()
{
    setBranchNumber(int(GraphicNumberSet::shared().generate()));
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->setBranchNumberRecursively();
}

void TWMapBranch::invalidateGraphicDrawingBoundsIncludingChildren(bool includingChildren)
{
    const std::shared_ptr<TWGraphic> image = enclosedImage();
    for (TWGraphic *graphic :
         {m_mainGraphic.get(), image.get(), static_cast<TWGraphic *>(m_enclosedTextArea.get()),
          static_cast<TWGraphic *>(m_settings ? m_settings->boundaryProxy.get() : nullptr),
          static_cast<TWGraphic *>(m_connectionGraphic.get())}) {
        if (graphic)
            graphic->setDrawingBoundsValid(false);
    }
    for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(m_linkedGraphics))
        graphic->setDrawingBoundsValid(false);
    for (const std::shared_ptr<TWEnclosedGraphic> &record :
         std::as_const(m_otherEnclosedGraphics)) {
        if (record->graphic())
            record->graphic()->setDrawingBoundsValid(false);
    }
    if (includingChildren) {
        for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
            child->invalidateGraphicDrawingBoundsIncludingChildren(true);
    }
}

namespace {
// Whether an extent measured with `kept` levels shown, which took in `depth`
// levels, is the one `wanted` levels would give.
bool extentHolds(int kept, int depth, int wanted)
{
    return kept == wanted || (depth <= kept && depth <= wanted);
}
} // namespace

std::optional<Rect> TWMapBranch::subtreeDrawingExtent(int shownLevels, int *depth) const
{
    if (!m_subtreeExtentValid ||
        !extentHolds(m_subtreeExtentShownLevels, m_subtreeExtentDepth, shownLevels))
        return std::nullopt;
    if (depth)
        *depth = m_subtreeExtentDepth;
    return m_subtreeDrawingExtent;
}

void TWMapBranch::setSubtreeDrawingExtent(Rect extent, int shownLevels, int depth)
{
    m_subtreeDrawingExtent = extent;
    m_subtreeExtentShownLevels = shownLevels;
    m_subtreeExtentDepth = depth;
    m_subtreeExtentValid = true;
}

std::optional<int> TWMapBranch::keptShownDepth() const
{
    if (m_subtreeExtentValid && m_subtreeExtentDepth != ExtentCut)
        return m_subtreeExtentDepth;
    if (m_graphicsExtentValid && m_graphicsExtent.depth != ExtentCut)
        return m_graphicsExtent.depth;
    return std::nullopt;
}

void TWMapBranch::invalidateSubtreeDrawingExtent() const
{
    for (const TWMapBranch *b = this; b && (b->m_subtreeExtentValid || b->m_graphicsExtentValid);
         b = b->parent()) {
        b->m_subtreeExtentValid = false;
        b->m_graphicsExtentValid = false;
    }
}

void TWMapBranch::moveKeptExtentsBy(float dx, float dy)
{
    using Kept = TWTreeTranslation::KeptExtents;
    if (m_subtreeExtentValid)
        m_subtreeDrawingExtent = Kept::shifted(m_subtreeDrawingExtent, dx, dy);
    if (m_graphicsExtentValid)
        m_graphicsExtent.graphics = Kept::shifted(m_graphicsExtent.graphics, dx, dy);
}

TWTreeTranslation::KeptExtents TWMapBranch::keptExtents() const
{
    return {m_subtreeDrawingExtent, m_graphicsExtent.graphics, m_subtreeExtentValid,
            m_graphicsExtentValid};
}

TWTreeTranslation::KeptExtents TWMapBranch::keptExtentsMatching(
    const TWTreeTranslation::KeptExtents &expected) const
{
    TWTreeTranslation::KeptExtents same;
    same.drawingKept = expected.drawingKept && m_subtreeExtentValid &&
                       m_subtreeDrawingExtent == expected.drawing;
    same.graphicsKept = expected.graphicsKept && m_graphicsExtentValid &&
                        m_graphicsExtent.graphics == expected.graphics;
    return same;
}

void TWMapBranch::restoreKeptExtents(const TWTreeTranslation::KeptExtents &extents)
{
    // The levels and boundaries they were measured with stay as they are.
    if (extents.drawingKept) {
        m_subtreeDrawingExtent = extents.drawing;
        m_subtreeExtentValid = true;
    }
    if (extents.graphicsKept) {
        m_graphicsExtent.graphics = extents.graphics;
        m_graphicsExtentValid = true;
    }
}

std::optional<TWMapBranch::GraphicsExtent> TWMapBranch::subtreeGraphicsExtent(int shownLevels,
                                                                            bool attached) const
{
    if (!m_graphicsExtentValid || m_graphicsExtentAttached != attached ||
        !extentHolds(m_graphicsExtentShownLevels, m_graphicsExtent.depth, shownLevels))
        return std::nullopt;
    return m_graphicsExtent;
}

void TWMapBranch::setSubtreeGraphicsExtent(const GraphicsExtent &extent, int shownLevels,
                                           bool attached) const
{
    m_graphicsExtent = extent;
    m_graphicsExtentShownLevels = shownLevels;
    m_graphicsExtentAttached = attached;
    m_graphicsExtentValid = true;
}

void TWMapBranch::invalidateIncomingAndOutgoingConnectionGraphics()
{
    if (m_connectionGraphic)
        m_connectionGraphic->updateBounds();
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
        if (child->m_connectionGraphic)
            child->m_connectionGraphic->updateBounds();
    }
}

void TWMapBranch::makeNaturalSize()
{
    layoutServices().makeNaturalSize(*this, false, false);
    setNeedsMakeNaturalSize(false);
}
