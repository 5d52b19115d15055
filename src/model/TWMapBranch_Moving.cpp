#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTreeTranslation.h"
#include "model/TWBranchEdgeMoves.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"
#include "support/ForkJoinThreads.h"

#include <QRectF>
#include <QVarLengthArray>
#include <algorithm>
#include <atomic>
#include <vector>

namespace {

bool isFlexiBranch(const TWGraphic *graphic)
{
    return graphic && graphic->className() == QLatin1String("TWFlexiBranch");
}

// The graphics that ride on a branch's shape, in the order they move: they
// go before the shape, whose bounds change re-places the picture and icons.
// Most branches have one or two: no list is allocated for them.
using RidingGraphics = QVarLengthArray<std::shared_ptr<TWGraphic>, 4>;

RidingGraphics ridingGraphics(const TWMapBranch &branch)
{
    RidingGraphics graphics;
    if (std::shared_ptr<TWGraphic> image = branch.enclosedImage())
        graphics.append(image);
    for (const std::shared_ptr<TWGraphic> &linked : branch.linkedGraphics())
        graphics.append(linked);
    if (branch.enclosedTextArea())
        graphics.append(branch.enclosedTextArea());
    for (const std::shared_ptr<TWEnclosedGraphic> &record : branch.otherEnclosedGraphics()) {
        if (record->graphic())
            graphics.append(record->graphic());
    }
    return graphics;
}

// The threads a big map's move is shared between, the calling one included.
size_t movingCores()
{
    return ForkJoinThreads::machineParts();
}

// Made on first use, kept to the end.
ForkJoinThreads &movingThreads()
{
    static ForkJoinThreads *const threads = new ForkJoinThreads(movingCores());
    return *threads;
}

} // namespace

bool TWMapBranch::isToLeftOfParent() const
{
    const TWMapBranch *up = parent();
    if (!up || !up->mainGraphic() || !m_mainGraphic)
        return false;
    return up->mainGraphic()->bounds().midX() > m_mainGraphic->bounds().midX();
}

bool TWMapBranch::isAboveParent() const
{
    const TWMapBranch *up = parent();
    if (!up || !up->mainGraphic() || !m_mainGraphic)
        return false;
    return up->mainGraphic()->bounds().midY() > m_mainGraphic->bounds().midY();
}

void TWMapBranch::collectTree(std::vector<TWMapBranch *> &tree)
{
    // A deep tree is walked without deep recursion.
    std::vector<TWMapBranch *> pending{this};
    while (!pending.empty()) {
        TWMapBranch *branch = pending.back();
        pending.pop_back();
        tree.push_back(branch);
        for (auto child = branch->m_children.crbegin(); child != branch->m_children.crend();
             ++child)
            pending.push_back(child->get());
    }
}

std::vector<TWMapBranch *> TWMapBranch::branchesOfTree()
{
    std::vector<TWMapBranch *> tree;
    collectTree(tree);
    return tree;
}

void TWMapBranch::forEachSlidingGraphic(const std::function<void(TWGraphic &)> &visit) const
{
    if (m_settings && m_settings->enclosedImage)
        visit(*m_settings->enclosedImage);
    for (const std::shared_ptr<TWGraphic> &linked : std::as_const(m_linkedGraphics))
        visit(*linked);
    if (m_enclosedTextArea)
        visit(*m_enclosedTextArea);
    for (const std::shared_ptr<TWEnclosedGraphic> &record : std::as_const(m_otherEnclosedGraphics))
        if (record->graphic())
            visit(*record->graphic());
    if (m_mainGraphic)
        visit(*m_mainGraphic);
    if (m_connectionGraphic)
        visit(*m_connectionGraphic);
}

void TWMapBranch::prefetchForMove() const
{
    __builtin_prefetch(&m_mainGraphic);
    __builtin_prefetch(&m_linkedGraphics);
    __builtin_prefetch(&m_subtreeDrawingExtent);
    __builtin_prefetch(&m_graphicsExtent);
    __builtin_prefetch(&m_settings);
}

void TWMapBranch::prefetchRecordsForMove() const
{
    if (m_settings)
        __builtin_prefetch(m_settings.get());
    for (const std::shared_ptr<TWEnclosedGraphic> &record : m_otherEnclosedGraphics)
        __builtin_prefetch(record.get());
    for (const std::shared_ptr<TWGraphic> &linked : m_linkedGraphics)
        linked->prefetchForMove();
}

void TWMapBranch::prefetchGraphicsForMove() const
{
    if (m_settings && m_settings->enclosedImage)
        m_settings->enclosedImage->prefetchForMove();
    if (m_mainGraphic)
        m_mainGraphic->prefetchForMove();
    if (m_enclosedTextArea)
        m_enclosedTextArea->prefetchForMove();
    if (m_connectionGraphic)
        m_connectionGraphic->prefetchForMove();
    for (const std::shared_ptr<TWEnclosedGraphic> &record : m_otherEnclosedGraphics)
        if (record->graphic())
            record->graphic()->prefetchForMove();
}

// What a part of the tree moved on another thread leaves to the main
// thread: branches and graphics that move through the ordinary path, and
// connections fitted to their ends once every end has moved.
struct TWMapBranch::SlideLeftovers
{
    std::vector<TWMapBranch *> branches;
    std::vector<TWGraphic *> graphics;
    std::vector<TWConnectionGraphic *> unplaced;
    TWTreeTranslation::Recorded recorded;
};

void TWMapBranch::slideGraphicsBy(float dx, float dy, SlideLeftovers &left, bool shared)
{
    // A shape that does more as it moves takes its branch along the
    // ordinary path, in the order the branch's graphics move in.
    if (shared && m_mainGraphic && !m_mainGraphic->slidesAlone()) {
        left.branches.push_back(this);
        return;
    }
    const auto slide = [&](TWGraphic &graphic) {
        if (!shared)
            graphic.slideWithTreeBy(dx, dy);
        else if (!graphic.slideAloneBy(dx, dy))
            left.graphics.push_back(&graphic);
    };
    if (m_settings && m_settings->enclosedImage)
        slide(*m_settings->enclosedImage);
    for (const std::shared_ptr<TWGraphic> &linked : std::as_const(m_linkedGraphics))
        slide(*linked);
    if (m_enclosedTextArea)
        slide(*m_enclosedTextArea);
    for (const std::shared_ptr<TWEnclosedGraphic> &record : std::as_const(m_otherEnclosedGraphics))
        if (record->graphic())
            slide(*record->graphic());
    if (m_mainGraphic) {
        const TWTreeTranslation::KeptExtents kept = keptExtents();
        slide(*m_mainGraphic);
        TWTreeTranslation::recordKeptExtents(*m_mainGraphic, kept);
    }
    // A placed curve moves with its ends by the same offset; one not placed
    // yet is fitted to them once every end has moved.
    if (TWConnectionGraphic *connection = m_connectionGraphic.get()) {
        if (connection->moveCurveBy(dx, dy))
            slide(*connection);
        else
            left.unplaced.push_back(connection);
    }
    moveKeptExtentsBy(dx, dy);
}

void TWMapBranch::slideTreePartBy(const std::vector<TWMapBranch *> &tree, size_t from, size_t to,
                                  float dx, float dy, SlideLeftovers &left, bool shared)
{
    // A walk over the heap: each branch, then what it points at, then its
    // graphics are asked for a few branches ahead.
    for (size_t i = from; i < to; ++i) {
        prefetchAhead(tree, i, to);
        tree[i]->slideGraphicsBy(dx, dy, left, shared);
    }
}

void TWMapBranch::prefetchAhead(const std::vector<TWMapBranch *> &tree, size_t at, size_t to)
{
    constexpr size_t BranchesAhead = 24;
    constexpr size_t RecordsAhead = 16;
    constexpr size_t GraphicsAhead = 8;
    if (at + BranchesAhead < to)
        tree[at + BranchesAhead]->prefetchForMove();
    if (at + RecordsAhead < to)
        tree[at + RecordsAhead]->prefetchRecordsForMove();
    if (at + GraphicsAhead < to)
        tree[at + GraphicsAhead]->prefetchGraphicsForMove();
}

size_t TWMapBranch::setMoveSharedFromWidth(size_t subtrees)
{
    return std::exchange(s_moveSharedFromWidth, std::max<size_t>(subtrees, 1));
}

void TWMapBranch::slideWholeTreeBy(float dx, float dy)
{
    // The whole tree moves as it is; every graphic goes, hidden ones and
    // those not shown included, so nothing is left behind. A big map's move
    // is shared between threads, each taking whole subtrees below the first
    // levels as it comes to them; relationship lines bend with the graphics
    // they join, which only the main thread may do.
    constexpr int DeepestShared = 6;
    std::vector<TWMapBranch *> above;
    std::vector<TWMapBranch *> frontier{this};
    for (int depth = 0; frontier.size() < s_moveSharedFromWidth && depth < DeepestShared; ++depth) {
        std::vector<TWMapBranch *> next;
        for (TWMapBranch *branch : frontier)
            for (const std::shared_ptr<TWMapBranch> &child : std::as_const(branch->m_children))
                next.push_back(child.get());
        if (next.empty())
            break;
        above.insert(above.end(), frontier.cbegin(), frontier.cend());
        frontier.swap(next);
    }
    const TWMap *m = map();
    const size_t cores = movingCores();
    const size_t parts = (m && m->countOfLinkLines() > 0) || !m_mainGraphic ||
                                 frontier.size() < s_moveSharedFromWidth
                             ? 1
                             : std::min(cores, frontier.size());
    {
        TWTreeTranslation translation;
        translation.slidesWholeTree(shared_from_this(), dx, dy);
        TWTreeTranslation::shiftsKeptExtentsBy(dx, dy);
        std::vector<SlideLeftovers> left(std::max<size_t>(parts, 1));
        if (parts <= 1) {
            std::vector<TWMapBranch *> tree;
            collectTree(tree);
            TWTreeTranslation::expectMoves(tree.size() * 3);
            slideTreePartBy(tree, 0, tree.size(), dx, dy, left.front(), false);
        } else {
            TWTreeTranslation::ruleOutLinkLines();
            slideTreePartBy(above, 0, above.size(), dx, dy, left.front(), false);
            TWTreeTranslation::prepareToShare(*m_mainGraphic);
            std::atomic<size_t> taken = 0;
            const auto movePart = [&](size_t part) {
                SlideLeftovers &mine = left[part];
                TWTreeTranslation::recordOnThisThread(&mine.recorded);
                std::vector<TWMapBranch *> subtree;
                for (size_t i = taken++; i < frontier.size(); i = taken++) {
                    subtree.clear();
                    frontier[i]->collectTree(subtree);
                    slideTreePartBy(subtree, 0, subtree.size(), dx, dy, mine, true);
                }
                TWTreeTranslation::recordOnThisThread(nullptr);
            };
            movingThreads().run(parts, movePart);
            // What the threads left moves here.
            for (SlideLeftovers &part : left)
                TWTreeTranslation::add(std::move(part.recorded));
            for (SlideLeftovers &part : left) {
                for (TWMapBranch *branch : part.branches)
                    branch->slideGraphicsBy(dx, dy, part, false);
                for (TWGraphic *graphic : part.graphics)
                    graphic->slideWithTreeBy(dx, dy);
            }
        }
        for (const SlideLeftovers &part : left)
            for (TWConnectionGraphic *connection : part.unplaced) {
                const Rect before = connection->bounds();
                connection->fitAfterSlideBy(dx, dy);
                // One with nothing to fit to stays: the undo is told, or it
                // would move it back by the offset.
                if (connection->bounds() == before)
                    TWTreeTranslation::recordSlide(*connection, before, before);
            }
        TWTreeTranslation::keptExtentsShifted();
    }
    // The tree keeps its orders but for near ties that the offset, in
    // floating point, may turn: they are looked at again.
    subtreeOrderMayHaveChanged();
    if (const std::shared_ptr<TWMap> pointer = mapPointer()) {
        const Size canvas = pointer->canvasSize();
        NotificationCenter::defaultCenter().post(
            RedrawInRectNotification, nullptr,
            {{RectKey, QRectF(0, 0, canvas.width, canvas.height)},
             {MapKey, QVariant::fromValue(NotificationObject(pointer))}});
    }
}

void TWMapBranch::moveBranchBy(float dx, float dy, bool moveChildren)
{
    if (dx == 0 && dy == 0)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();

    if (isRoot()) {
        slideWholeTreeBy(dx, dy);
        return;
    }

    // An extent someone drew with is worked out again once the subtree has
    // moved, while it is still in the cache, rather than by the next paint.
    const std::optional<int> extentLevels = moveChildren && m_subtreeExtentValid
                                                ? std::optional<int>(m_subtreeExtentShownLevels)
                                                : std::nullopt;
    for (const std::shared_ptr<TWGraphic> &graphic : ridingGraphics(*this))
        graphic->moveBy(dx, dy);
    setCachedBounds(Rect());
    if (!m_mainGraphic)
        return;
    const Rect moved = m_mainGraphic->bounds().offsetBy(dx, dy);
    if (isFlexiBranch(m_mainGraphic.get()) && m_connectionGraphic)
        m_connectionGraphic->updateBounds();
    if (moveChildren) {
        setMainGraphicBounds(moved);
        if (TWMap *m = extentLevels ? map() : nullptr)
            m->drawingServices().refreshSubtreeDrawingExtent(*this, *extentLevels);
    } else {
        m_mainGraphic->setBounds(moved);
        for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
            if (child->connectionGraphic())
                child->connectionGraphic()->requestBoundsUpdate();
        }
    }
}

void TWMapBranch::setMainGraphicBounds(Rect bounds)
{
    if (!m_mainGraphic)
        return;
    const Rect old = m_mainGraphic->bounds();
    if (bounds == old)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    TWMapLayoutServices &services = layoutServices();

    const bool wasLeft = isToLeftOfRoot();
    m_mainGraphic->setBounds(bounds);
    // The bounds as stored, after any correction of out-of-range values.
    const Rect now = m_mainGraphic->bounds();
    const bool isLeft = isToLeftOfRoot();
    const bool crossed = wasLeft != isLeft;
    if (crossed) {
        BranchList visible;
        allDescendantsIntoArray(visible, false);
        for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(visible)) {
            services.invalidateBoundary(*branch);
            branch->childrenBoundaryPoints().clear();
        }
    }

    const TWBranchEdgeMoves d = TWBranchEdgeMoves::between(old, now);
    const BranchList children = m_children;
    for (const std::shared_ptr<TWMapBranch> &child : children) {
        const std::shared_ptr<TWGraphic> &shape = child->mainGraphic();
        if (!shape || !child->connectionGraphic())
            continue;
        const Rect c = shape->bounds();
        // A child mirrored about the shape's old centre when the branch
        // crossed to the root's other side.
        const float mirror = crossed ? 2 * old.minX() + old.width() - c.minX() - c.maxX() : 0;
        if (const std::optional<Point> offset = d.childOffset(*child, wasLeft, mirror))
            child->moveBranchBy(offset->x, offset->y, true);
    }
    services.updateBoundaryForChangedChild(*this, *this);
}
