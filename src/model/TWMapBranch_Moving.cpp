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

#include <QRectF>
#include <QVarLengthArray>

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
    tree.push_back(this);
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children))
        child->collectTree(tree);
}

void TWMapBranch::prefetchForMove() const
{
    __builtin_prefetch(&m_mainGraphic);
    __builtin_prefetch(&m_linkedGraphics);
    __builtin_prefetch(&m_subtreeDrawingExtent);
    __builtin_prefetch(&m_graphicsExtent);
    __builtin_prefetch(&m_settings);
}

void TWMapBranch::prefetchGraphicsForMove() const
{
    if (m_settings)
        __builtin_prefetch(m_settings.get());
    if (m_mainGraphic)
        m_mainGraphic->prefetchForMove();
    if (m_enclosedTextArea)
        m_enclosedTextArea->prefetchForMove();
    if (m_connectionGraphic)
        m_connectionGraphic->prefetchForMove();
}

void TWMapBranch::slideWholeTreeBy(float dx, float dy)
{
    // The whole tree moves as it is; every graphic goes, hidden ones and
    // those not shown included, so nothing is left behind. On a big map the
    // move is a walk over the heap: each branch and then its graphics are
    // asked for a few branches ahead.
    std::vector<TWMapBranch *> tree;
    collectTree(tree);
    constexpr size_t BranchesAhead = 16;
    constexpr size_t GraphicsAhead = 8;
    QList<TWConnectionGraphic *> unplaced;
    {
        const TWTreeTranslation translation;
        TWTreeTranslation::expectMoves(tree.size() * 3);
        for (size_t i = 0; i < tree.size(); ++i) {
            if (i + BranchesAhead < tree.size())
                tree[i + BranchesAhead]->prefetchForMove();
            if (i + GraphicsAhead < tree.size())
                tree[i + GraphicsAhead]->prefetchGraphicsForMove();
            TWMapBranch &branch = *tree[i];
            if (const Settings *settings = branch.m_settings.get();
                settings && settings->enclosedImage)
                settings->enclosedImage->slideWithTreeBy(dx, dy);
            for (const std::shared_ptr<TWGraphic> &linked : std::as_const(branch.m_linkedGraphics))
                linked->slideWithTreeBy(dx, dy);
            if (branch.m_enclosedTextArea)
                branch.m_enclosedTextArea->slideWithTreeBy(dx, dy);
            for (const std::shared_ptr<TWEnclosedGraphic> &record :
                 std::as_const(branch.m_otherEnclosedGraphics))
                if (record->graphic())
                    record->graphic()->slideWithTreeBy(dx, dy);
            if (branch.m_mainGraphic)
                branch.m_mainGraphic->slideWithTreeBy(dx, dy);
            // A placed curve moves with its ends by the same offset; one
            // not placed yet is fitted to them once every end has moved.
            if (TWConnectionGraphic *connection = branch.m_connectionGraphic.get()) {
                if (connection->moveCurveBy(dx, dy))
                    connection->slideWithTreeBy(dx, dy);
                else
                    unplaced.append(connection);
            }
            branch.moveKeptExtentsBy(dx, dy);
        }
        for (TWConnectionGraphic *connection : std::as_const(unplaced))
            connection->updateBounds();
    }
    if (const std::shared_ptr<TWMap> m = mapPointer()) {
        const Size canvas = m->canvasSize();
        NotificationCenter::defaultCenter().post(
            RedrawInRectNotification, nullptr,
            {{RectKey, QRectF(0, 0, canvas.width, canvas.height)},
             {MapKey, QVariant::fromValue(NotificationObject(m))}});
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
