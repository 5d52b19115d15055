// Growing the tree by one branch: shape, style and placement.

#include "model/TWMapBranch.h"

#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWBranchOrdering.h"
#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "support/GGVecLib.h"
#include "support/TWPreferences.h"

#include <QDebug>
#include <QHash>
#include <algorithm>
#include <cmath>

namespace {

constexpr float TwoPi = float(2 * M_PI);
constexpr float NewBranchWidth = 80;
constexpr float NewBranchHeight = 40;
constexpr float ProvisionalGap = 50;

struct Target
{
    float x = 0;
    float y = 0;
};

// The angle of a first-level branch around the root's centre, taken at the
// top corner of its shape nearer the root.
float angleAroundCentre(const TWMapBranch &branch, Point centre)
{
    const Rect b = branch.mainGraphic()->bounds();
    const float refX = b.midX() > centre.x ? b.minX() : b.maxX();
    return calculateAngleFromVertical(refX - centre.x, centre.y - b.minY());
}

// Where a new first-level branch goes: in the ordering mode's direction for
// the root's only child, else in the middle of the largest angular gap.
std::optional<Target> firstLevelTarget(TWMap &map, TWMapBranch &root, TWMapBranch &added,
                                       bool isSibling, TWGrowthBatch::Order *kept = nullptr)
{
    const Point c(root.mainGraphic()->bounds().midX(), root.mainGraphic()->bounds().midY());
    const float spacing = float(map.firstLevelSpacing());
    const float width = added.mainGraphic()->bounds().width();

    float target = 0;
    // A batch keeps the order and angles of the children before this one.
    TWMapBranch::BranchList entries = kept ? TWMapBranch::BranchList() : root.children();
    const qsizetype count = kept ? qsizetype(kept->size()) + 1 : entries.size();
    const TWGrowthBatch::Order::AngleFunction around = [](const TWMapBranch &b,
                                                          const void *centre) {
        return angleAroundCentre(b, *static_cast<const Point *>(centre));
    };
    const auto angleOf = [&](qsizetype i) {
        return kept ? kept->angleAt(size_t(i), around, &c) : angleAroundCentre(*entries.at(i), c);
    };
    if (!isSibling && count == 1) {
        switch (map.orderingMode()) {
        case 1:
            target = float(M_PI);
            break;
        case 3:
            target = float(M_PI / 2);
            break;
        case 2:
        case 4:
            target = float(3 * M_PI / 2);
            break;
        default:
            return std::nullopt;
        }
    } else {
        if (isSibling) {
            std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
                return orderChildrenByPositionWithOrderingMode(*a, *b, 1) < 0;
            });
        }
        const qsizetype n = count;
        if (n < 2)
            return std::nullopt;
        float a = angleOf(n - 2);
        if (a == 0)
            a = TwoPi;
        const float f = angleOf(0);
        float gap = (TwoPi - a) + f;
        target = a + gap / 2;
        if (target > TwoPi)
            target -= TwoPi;
        float previous = f;
        if (kept)
            kept->widenGap(gap, target, around, &c);
        for (qsizetype i = 1; !kept && i <= n - 2; ++i) {
            float angle = angleOf(i);
            if (angle == 0)
                angle = TwoPi;
            if (angle - previous > gap) {
                gap = angle - previous;
                target = previous + gap / 2;
            }
            previous = angle;
        }
    }
    Target t{c.x + spacing * std::sin(target), c.y - spacing * std::cos(target)};
    if (target > float(M_PI))
        t.x -= width;
    if (target >= TwoPi)
        t.x = c.x - width;
    return t;
}

bool isLine(const TWMapBranch &branch)
{
    return branch.branchType() == 1;
}

// `kept`: the order `batch` keeps of the children before this one.
std::optional<Target> deeperChildTarget(TWMap &map, TWMapBranch &parent, TWMapBranch &added,
                                        const TWGrowthBatch::Order *kept = nullptr,
                                        TWGrowthBatch *batch = nullptr)
{
    const float repel = float(map.repelDistance());
    const float spacing = float(map.interChildSpacing());
    const qsizetype n = parent.countOfChildren();
    const int ordering = map.orderingMode();
    const bool topDown = map.childOutlineNumberingTopDown() && (ordering == 1 || ordering == 2);
    const bool left = parent.isToLeftOfRoot();
    const bool below = !left || topDown;
    const Rect pg = parent.mainGraphic()->bounds();
    const Rect ng = added.mainGraphic()->bounds();
    const Rect nb = added.branchBounds();
    const bool line = isLine(added);

    if (n == 1)
        return Target{left ? pg.minX() - spacing - ng.width() : pg.maxX() + spacing,
                      pg.midY() - ng.height() / 2};

    const int mode = map.layoutAssistanceMode();
    // The last of the others in their sorted order.
    const auto last = [&]() -> const TWMapBranch & {
        if (!kept)
            return *parent.children().at(n - 2);
        TWMapBranch &q = kept->at(kept->size() - 1);
        batch->place(q);
        return q;
    };
    if (mode == 1) {
        const TWMapBranch &q = last();
        const Rect qg = q.mainGraphic()->bounds();
        const Rect qb = q.branchBounds();
        Target t;
        t.x = left ? qg.maxX() - ng.width() : qg.minX();
        t.y = below ? qb.maxY() + repel + (line ? nb.height() : 0)
                    : qb.minY() - repel - (line ? 0 : nb.height());
        return t;
    }
    if (mode == 2) {
        const float half = (repel + nb.height()) / 2;
        // A batch owes the move to them all, as one sum for the parent.
        if (kept)
            batch->owe(parent, added, below ? -half : half);
        for (qsizetype i = 0; !kept && i <= n - 2; ++i)
            parent.children().at(i)->moveBranchBy(0, below ? -half : half, true);
        const TWMapBranch &q = last();
        const Rect pb = parent.branchBounds();
        Target t;
        t.y = below ? q.mainGraphic()->bounds().maxY() + repel + (line ? nb.height() : 0)
                    : q.branchBounds().minY() - repel - (line ? 0 : nb.height());
        t.x = left ? pb.minX() - nb.width() - spacing : pb.maxX() + spacing;
        return t;
    }
    return std::nullopt;
}

std::optional<Target> deeperSiblingTarget(TWMap &map, TWMapBranch &parent, TWMapBranch &sibling,
                                          TWMapBranch &added)
{
    const int mode = map.layoutAssistanceMode();
    if (mode != 1 && mode != 2)
        return std::nullopt;
    const float repel = float(map.repelDistance());
    const float spacing = float(map.interChildSpacing());
    const qsizetype n = parent.countOfChildren();
    const qsizetype k = sibling.childIndex();
    const int ordering = map.orderingMode();
    const bool topDown = map.childOutlineNumberingTopDown() || ordering == 3 || ordering == 4;
    const bool left = parent.isToLeftOfRoot();
    const bool above = left && !topDown;
    const Rect nb = added.branchBounds();
    const bool line = isLine(added);
    const float down = above ? -1 : 1;

    if (mode == 1) {
        const float shift = repel + nb.height();
        if (k != n - 2) {
            for (qsizetype i = k + 1; i <= n - 2; ++i)
                parent.children().at(i)->moveBranchBy(0, shift * down, true);
        }
    } else {
        const float half = (repel + nb.height()) / 2;
        if (k == n - 2) {
            for (qsizetype i = 0; i <= n - 2; ++i)
                parent.children().at(i)->moveBranchBy(0, -half * down, true);
        } else {
            for (qsizetype i = 0; i <= k; ++i)
                parent.children().at(i)->moveBranchBy(0, -half * down, true);
            for (qsizetype i = k + 1; i <= n - 2; ++i)
                parent.children().at(i)->moveBranchBy(0, half * down, true);
        }
    }
    const Rect pb = parent.branchBounds();
    Target t;
    t.y = above ? sibling.branchBounds().minY() - repel - (line ? 0 : nb.height())
                : sibling.mainGraphic()->bounds().maxY() + repel + (line ? nb.height() : 0);
    t.x = left ? pb.minX() - nb.width() - spacing : pb.maxX() + spacing;
    return t;
}

// The shown branches' rectangles of a subtree that may come within the gap
// of `r` across; a part whose drawing lies clear of it is passed over
// whole, so that placing a main branch costs what stands beside it.
void rectsAcross(TWMap &map, TWMapBranch &b, const Rect &r, float gap, int shownLevels,
                 QList<Rect> &into)
{
    if (b.hidden())
        return;
    const Rect extent = map.drawingServices().subtreeDrawingExtent(b, shownLevels);
    if (!(r.minX() < extent.maxX() + gap && extent.minX() < r.maxX() + gap))
        return;
    if (b.mainGraphic())
        into << b.branchBounds();
    for (const std::shared_ptr<TWMapBranch> &child : b.children())
        rectsAcross(map, *child, r, gap, shownLevels - 1, into);
}

// Closer than the gap on both axes; a hair less counts as touching.
bool crowds(const Rect &a, const Rect &b, float gap)
{
    constexpr float hair = 0.01f;
    return a.minX() < b.maxX() + gap - hair && b.minX() < a.maxX() + gap - hair &&
           a.minY() < b.maxY() + gap - hair && b.minY() < a.maxY() + gap - hair;
}

// The smallest vertical move that takes a rectangle clear of all others:
// the tops it must not take form intervals, and the nearest free top lies at
// an end of the merged interval that holds the present one.
float nearestFreeShift(const Rect &r, const QList<Rect> &others, float gap)
{
    constexpr float hair = 0.01f;
    QList<std::pair<float, float>> banned;
    for (const Rect &o : others)
        if (r.minX() < o.maxX() + gap - hair && o.minX() < r.maxX() + gap - hair)
            banned.append({o.minY() - gap - r.height(), o.maxY() + gap});
    std::sort(banned.begin(), banned.end());
    const float y = r.minY();
    for (qsizetype i = 0; i < banned.size();) {
        float low = banned.at(i).first, high = banned.at(i).second;
        for (++i; i < banned.size() && banned.at(i).first < high - hair; ++i)
            high = std::max(high, banned.at(i).second);
        if (y > low + hair && y < high - hair)
            return (y - low <= high - y ? low : high) - y;
    }
    return 0;
}

// Where a main branch's shown rectangles (shape and label) lie: each
// subtree's kept drawing extent holds every one below it, so that two main
// branches are compared only where they come near each other, not branch by
// branch across the map. Where no extent is kept (no drawing services), the
// rectangles are measured here, once until something moves.
class ShownExtents
{
public:
    explicit ShownExtents(TWMap &map) : m_map(map) {}

    Rect of(TWMapBranch &b, int shownLevels)
    {
        const Rect kept = m_map.drawingServices().subtreeDrawingExtent(b, shownLevels);
        if (std::isfinite(kept.width()) && std::isfinite(kept.height()) &&
            kept.width() < Unbounded && kept.height() < Unbounded)
            return kept.insetBy(-Slack, -Slack);
        const auto it = m_measured.constFind(&b);
        if (it != m_measured.cend())
            return *it;
        std::optional<Rect> r;
        if (b.mainGraphic())
            r = b.branchBounds();
        forShownChildren(b, shownLevels, [&](TWMapBranch &child, int levels) {
            const Rect c = of(child, levels);
            r = r ? spanning(*r, c) : c;
        });
        // A subtree with nothing shown reaches nowhere.
        const Rect measured = r ? *r : Rect(Nowhere, Nowhere, 0, 0);
        m_measured.insert(&b, measured);
        return measured;
    }
    // Measured rectangles are stale once a subtree moved.
    void moved() { m_measured.clear(); }

    static bool childrenShown(const TWMapBranch &b, int shownLevels)
    {
        return shownLevels >= 1 && !b.childrenHidden() && !b.children().isEmpty();
    }
    template <typename F> static void forShownChildren(TWMapBranch &b, int shownLevels, F &&f)
    {
        if (!childrenShown(b, shownLevels))
            return;
        for (const std::shared_ptr<TWMapBranch> &child : b.children())
            f(*child, shownLevels - 1);
    }

private:
    // Kept extents are moved by sums of their own; a point of slack keeps
    // every rectangle inside whatever the rounding.
    static constexpr float Slack = 1;
    static constexpr float Unbounded = 1e30f;
    static constexpr float Nowhere = -1e37f;
    // Keeps rectangles of no width or height, which still crowd others.
    static Rect spanning(const Rect &a, const Rect &b)
    {
        const float x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
        const float x1 = std::max(a.maxX(), b.maxX()), y1 = std::max(a.maxY(), b.maxY());
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }
    TWMap &m_map;
    QHash<const TWMapBranch *, Rect> m_measured;
};

// What pushing one main branch clear of another comes to: the widest push
// along `direction` that takes each shown rectangle of the moving one clear
// of each of the settled one's.
class Push
{
public:
    Push(ShownExtents &extents, float direction, float gap)
        : m_extents(extents), m_direction(direction), m_gap(gap)
    {}
    float shift = 0;

    // Both subtrees are taken apart only where their extents come near each
    // other, the larger first: an extent spans its branch's connection too,
    // which holds no rectangle.
    void between(TWMapBranch &moving, int movingLevels, TWMapBranch &settled, int settledLevels)
    {
        const Rect m = m_extents.of(moving, movingLevels);
        const Rect s = m_extents.of(settled, settledLevels);
        if (!crowds(m, s, m_gap))
            return;
        const bool movingSplits = ShownExtents::childrenShown(moving, movingLevels);
        const bool settledSplits = ShownExtents::childrenShown(settled, settledLevels);
        if (!movingSplits && !settledSplits) {
            if (moving.mainGraphic() && settled.mainGraphic())
                pair(moving.branchBounds(), settled.branchBounds());
            return;
        }
        if (movingSplits && (!settledSplits || area(m) >= area(s))) {
            if (moving.mainGraphic())
                rectAgainst(moving.branchBounds(), settled, settledLevels);
            ShownExtents::forShownChildren(moving, movingLevels, [&](TWMapBranch &c, int levels) {
                between(c, levels, settled, settledLevels);
            });
        } else {
            if (settled.mainGraphic())
                againstRect(moving, movingLevels, settled.branchBounds());
            ShownExtents::forShownChildren(settled, settledLevels, [&](TWMapBranch &c, int levels) {
                between(moving, movingLevels, c, levels);
            });
        }
    }

private:
    static float area(const Rect &r) { return r.width() * r.height(); }
    void pair(const Rect &g, const Rect &o)
    {
        if (crowds(g, o, m_gap))
            shift = std::max(shift, m_direction < 0 ? g.maxY() + m_gap - o.minY()
                                                    : o.maxY() + m_gap - g.minY());
    }
    // A moving rectangle against a settled subtree.
    void rectAgainst(const Rect &g, TWMapBranch &settled, int shownLevels)
    {
        if (!crowds(g, m_extents.of(settled, shownLevels), m_gap))
            return;
        if (settled.mainGraphic())
            pair(g, settled.branchBounds());
        ShownExtents::forShownChildren(
            settled, shownLevels, [&](TWMapBranch &c, int levels) { rectAgainst(g, c, levels); });
    }
    // A moving subtree against a settled rectangle.
    void againstRect(TWMapBranch &moving, int shownLevels, const Rect &o)
    {
        if (!crowds(m_extents.of(moving, shownLevels), o, m_gap))
            return;
        if (moving.mainGraphic())
            pair(moving.branchBounds(), o);
        ShownExtents::forShownChildren(
            moving, shownLevels, [&](TWMapBranch &c, int levels) { againstRect(c, levels, o); });
    }

    ShownExtents &m_extents;
    float m_direction;
    float m_gap;
};

// Pushes a main branch up (direction -1) or down (+1) until none of its
// shown rectangles comes closer than the gap to those of the main branches
// already settled.
void pushClear(TWMapBranch &moving, const QList<TWMapBranch *> &settled, int shownLevels,
               float direction, float gap, ShownExtents &extents)
{
    // Each push clears at least one pair for good; the cap only guards
    // against rounding going round in circles.
    for (int round = 0; round < 64; ++round) {
        Push push(extents, direction, gap);
        for (TWMapBranch *s : settled)
            push.between(moving, shownLevels, *s, shownLevels);
        if (push.shift <= 0)
            return;
        moving.moveBranchBy(0, direction * push.shift, true);
        extents.moved();
    }
}

void announceMaximumHideLevel(TWMap &map, bool did)
{
    NotificationCenter::defaultCenter().post(
        TWMap::ValueChangeNotification, NotificationObject(map.shared_from_this()),
        {{TWMap::KeyKey, QStringLiteral("maximumBranchHideLevel")},
         {TWMap::PhaseKey, did ? QStringLiteral("did") : QStringLiteral("will")}});
}

} // namespace

std::shared_ptr<TWGraphic> TWMapBranch::makeMainGraphicOfType(int type, Rect bounds)
{
    std::shared_ptr<TWGraphic> graphic;
    switch (type) {
    case 1:
        graphic = TWGraphic::make<TWLine>(bounds);
        graphic->setDrawsFill(false);
        break;
    case 2:
        graphic = TWGraphic::make<TWRectangle>(bounds);
        graphic->setDrawsFill(true);
        graphic->setCornerMode(TWPreferences::rectCornerMode());
        graphic->setCornerAmount(15);
        break;
    case 3:
        graphic = TWGraphic::make<TWCircle>(bounds);
        graphic->setDrawsFill(true);
        break;
    case 5:
        graphic = TWGraphic::make<TWFlexiBranch>(bounds);
        graphic->setDrawsFill(false);
        break;
    case 6:
        graphic = TWGraphic::make<TWCloud>(bounds);
        graphic->setDrawsFill(true);
        break;
    case 7:
        graphic = TWGraphic::make<TWCustomBranchShape>(bounds);
        graphic->setDrawsFill(true);
        break;
    default:
        break;
    }
    return graphic;
}

std::shared_ptr<TWMapBranch> TWMapBranch::addChildOfType(int type)
{
    TWMap *m = map();
    if (type == -1)
        type = (m && m->document()) ? m->document()->graphicClassIdentifier() : type;
    return growBranch(type, this, nullptr);
}

std::shared_ptr<TWMapBranch> TWMapBranch::addSiblingOfType(int type)
{
    TWMapBranch *p = parent();
    if (!p)
        return nullptr;
    return growBranch(type, p, this);
}

std::shared_ptr<TWMapBranch> TWMapBranch::growBranch(int type, TWMapBranch *parent,
                                                     TWMapBranch *sibling)
{
    // Keeps the receiver and its map alive while the tree changes around them.
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    const std::shared_ptr<TWMap> map = mapPointer();
    const std::shared_ptr<TWMapBranch> root = map ? map->root() : nullptr;

    if (TWGrowthBatch *growing = map ? TWGrowthBatch::of(*map) : nullptr) {
        // The parent, and a sibling's siblings, stand where they are read.
        growing->place(*parent);
        if (sibling)
            growing->placeChildren(*parent);
    }
    const Rect b = (sibling ? parent : this)->branchBounds();
    Rect frame(b.maxX() + ProvisionalGap, b.maxY(), NewBranchWidth, NewBranchHeight);
    if (sibling && parent->isToLeftOfRoot())
        frame.origin.x = b.minX() - ProvisionalGap;

    parent->setChildrenHidden(false);

    const std::shared_ptr<TWGraphic> shape = makeMainGraphicOfType(type, frame);
    if (!shape) {
        qWarning().noquote() << QStringLiteral("Couldn't create branch of type %1").arg(type);
        Alerts::current().beep();
        return nullptr;
    }
    const std::shared_ptr<TWMapBranch> added = createWithGraphic(shape, parent, map.get());
    if (type == 5) {
        shape->setCachedBezierPath(nullptr);
        if (added->enclosedTextArea())
            added->enclosedTextArea()->removeAllCachedFlexiCharacters();
        std::static_pointer_cast<TWFlexiBranch>(shape)->initializePoints();
        NotificationCenter::defaultCenter().post(GraphicNeedsRedrawNotification,
                                                 NotificationObject(added->enclosedTextArea()));
    }
    shape->setDrawsStroke(true);
    shape->setInheritsStroke(true);
    shape->setInheritsFill(true);
    if (parent->mainGraphic() && parent->mainGraphic()->drawsShadow())
        shape->setDrawsShadow(true);
    shape->applyAutoStyle();

    // Only children join a batch: a sibling goes where it is asked.
    TWGrowthBatch *batch = map && !sibling ? TWGrowthBatch::of(*map) : nullptr;
    if (batch && batch->placement() == TWGrowthBatch::Placement::Together) {
        // The whole map's layout places it with the rest of the batch.
        batch->grew(*parent);
    } else if (map) {
        std::optional<Target> target;
        const int mode = map->layoutAssistanceMode();
        // The tight layout neither sorts nor looks at the others.
        TWGrowthBatch::Order *kept =
            batch && mode != 3 ? &batch->orderOf(*parent, added.get()) : nullptr;
        if (batch)
            batch->grew(*parent);
        if (parent->isRoot() || parent == root.get()) {
            if (mode == 1 || mode == 2)
                target = firstLevelTarget(*map, *parent, *added, sibling != nullptr, kept);
        } else if (sibling) {
            target = deeperSiblingTarget(*map, *parent, *sibling, *added);
        } else {
            target = deeperChildTarget(*map, *parent, *added, kept, batch);
        }
        if (kept)
            batch->owe(*parent, *added, 0);
        if (sibling && mode == 3) {
            // The tight layout places it; it is stored right after the sibling.
            BranchList children = parent->children();
            children.removeLast();
            children.insert(sibling->childIndex() + 1, added);
            parent->setChildren(children);
        }
        if (target) {
            const Rect now = added->mainGraphic()->bounds();
            added->moveBranchBy(target->x - now.minX(), target->y - now.minY(), true);
        }
        if (kept)
            batch->sortGrown(*parent, *added);
        else if (mode != 3)
            parent->reSortChildrenByPositionRecursively(false);
        map->removeAllGraphicOrderCache();
    }
    if (map) {
        // A new leaf can only deepen the tree to its own level, so "all levels
        // were shown" and "the new level is hidden" both come down to
        // showing down to it: no walk of the whole tree per added branch.
        if (root) {
            const int level = added->getThisBranchLevel();
            if (map->branchHideLevel() < level)
                map->setBranchHideLevel(level);
        }
        if (!sibling) {
            announceMaximumHideLevel(*map, false);
            announceMaximumHideLevel(*map, true);
        }
    }
    return added;
}

void TWMap::makeRoomForNewBranches(const BranchList &added)
{
    const std::shared_ptr<TWMap> self = shared_from_this();
    if (layoutAssistanceMode() != 2 || !m_root)
        return;
    const float gap = float(std::max(0, repelDistance()));
    for (const std::shared_ptr<TWMapBranch> &branch : added) {
        if (!branch || branch->map() != this || branch->isRoot() || !branch->mainGraphic())
            continue;
        if (branch->parent() == m_root.get()) {
            // A new main branch has no subtree yet: it moves, nothing else.
            QList<Rect> others;
            const Rect r = branch->branchBounds();
            for (const std::shared_ptr<TWMapBranch> &k : m_root->children())
                if (k != branch)
                    rectsAcross(*this, *k, r, gap, branchHideLevel() - 1, others);
            if (m_root->mainGraphic())
                others << m_root->branchBounds();
            const float dy = nearestFreeShift(branch->branchBounds(), others, gap);
            if (dy != 0)
                branch->moveBranchBy(0, dy, true);
            continue;
        }
        TWMapBranch *top = branch->findTopLevelBranch();
        if (!top || top == m_root.get() || !top->mainGraphic())
            continue;
        // The other main branches, nearest first on each side of this one.
        const float topY = top->mainGraphic()->bounds().midY();
        QList<TWMapBranch *> above, below;
        for (const std::shared_ptr<TWMapBranch> &k : m_root->children()) {
            if (k.get() == top || k->hidden() || !k->mainGraphic())
                continue;
            (k->mainGraphic()->bounds().midY() < topY ? above : below).append(k.get());
        }
        const auto midY = [](const TWMapBranch *k) { return k->mainGraphic()->bounds().midY(); };
        std::stable_sort(above.begin(), above.end(),
                         [&](const auto *a, const auto *b) { return midY(a) > midY(b); });
        std::stable_sort(below.begin(), below.end(),
                         [&](const auto *a, const auto *b) { return midY(a) < midY(b); });
        const int shownLevels = branchHideLevel() - 1;
        ShownExtents extents(*this);
        for (const auto &[side, direction] :
             {std::pair<QList<TWMapBranch *> *, float>{&above, -1.f}, {&below, 1.f}}) {
            QList<TWMapBranch *> settled;
            if (!top->hidden())
                settled.append(top);
            for (TWMapBranch *k : std::as_const(*side)) {
                pushClear(*k, settled, shownLevels, direction, gap, extents);
                settled.append(k);
            }
        }
    }
}
