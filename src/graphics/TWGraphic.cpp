#include "graphics/TWGraphic.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTreeTranslation.h"
#include "model/TWBranchRedraw.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/GraphicNumberSet.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "platform/Uuid.h"
#include "support/BezierPath.h"
#include "support/Image.h"

#include <QDebug>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

// Fields most graphics never set.
struct TWGraphic::Extra
{
    std::optional<Color> strokeColor;
    std::optional<Color> fillColor;
    std::optional<Shadow> shadow;
    std::optional<QString> imageFilename;
    std::shared_ptr<Image> cachedImageRep;
    Rect cachedBounds;
    std::shared_ptr<BezierPath> cachedBezierPath;
    std::optional<QString> moviePath;
    int movieReferenceStyle = 0;
    std::optional<QString> shapeName;
    QVariant linkBackData;
    std::optional<QString> linkBackItemKey;
    std::optional<QString> styleID;
};

namespace {

// Posters of the two bounds notifications name the graphic; one observer per
// name finds it here instead of every graphic holding observers of its own,
// which a map of many thousand graphics could not afford.
class LiveGraphics
{
public:
    static LiveGraphics &shared()
    {
        static LiveGraphics live;
        return live;
    }

    void add(TWGraphic *graphic) { m_graphics.insert(graphic, graphic); }
    void remove(TWGraphic *graphic) { m_graphics.remove(graphic); }
    ~LiveGraphics() { s_live = nullptr; }

    // Whether a graphic's post about its own new bounds reaches anyone but
    // this registry, which has nothing to do for it.
    static bool othersHearBoundsChanges(const NotificationCenter &center)
    {
        return s_live ? s_live->m_othersHearChanges()
                      : center.isObserved(TWGraphic::GraphicDidChangeBoundsNotification);
    }

private:
    LiveGraphics()
    {
        s_live = this;
        NotificationCenter &center = NotificationCenter::defaultCenter();
        auto handler = [this](const Notification &n) {
            // A graphic posting about its own new bounds has invalidated
            // them already: no lookup in a table of every graphic.
            if (n.sender.identity() == s_invalidatedPoster)
                return;
            if (TWGraphic *graphic = m_graphics.value(n.sender.identity()))
                graphic->invalidateGraphicBounds(n);
        };
        m_invalid =
            center.observe(TWGraphic::GraphicDrawingBoundsInvalidNotification, nullptr, handler);
        m_changed = center.observe(TWGraphic::GraphicDidChangeBoundsNotification, nullptr, handler);
    }

    QHash<const void *, TWGraphic *> m_graphics;
    ObserverToken m_invalid;
    ObserverToken m_changed;
    const ObservedName m_othersHearChanges{TWGraphic::GraphicDidChangeBoundsNotification,
                                           &m_changed};
    static inline const LiveGraphics *s_live = nullptr;

public:
    // The graphic whose bounds-changed notification is going out, its
    // drawing bounds already marked invalid.
    static inline const void *s_invalidatedPoster = nullptr;
};

bool inRange(float value, float low, float high)
{
    // NaN fails both comparisons; infinities fail one.
    return std::isfinite(value) && value >= low && value <= high;
}

} // namespace

// --- construction ---

TWGraphic::TWGraphic() = default;

TWGraphic::~TWGraphic()
{
    // Package data under the picture's path stays: the save leaves out what
    // nothing refers to, and removing a picture is the user's own undoable act.
    if (m_flags.registered)
        LiveGraphics::shared().remove(this);
}

std::shared_ptr<TWGraphic> TWGraphic::create()
{
    return make<TWGraphic>();
}

std::shared_ptr<TWGraphic> TWGraphic::createWithBounds(Rect bounds)
{
    return make<TWGraphic>(bounds);
}

void TWGraphic::init()
{
    m_graphicNumber = qint32(GraphicNumberSet::shared().generate());
    registerWithObservers();
}

void TWGraphic::initWithBounds(Rect bounds)
{
    init();
    // A graphic no branch holds yet has no undo, link lines or layout to
    // tell: with no one listening for bounds, setBounds() would only store
    // them. Kinds whose setBounds() does more make their own start.
    static const ObservedName willHeard(GraphicWillChangeBoundsNotification);
    static const ObservedName editorHeard(UpdateTextEditorFrameNotification);
    if (branch() || m_flags.drawingBoundsValid || willHeard() || editorHeard() ||
        LiveGraphics::othersHearBoundsChanges(NotificationCenter::defaultCenter())) {
        setBounds(bounds);
        return;
    }
    if (bounds == m_bounds)
        return;
    const Rect old = m_bounds;
    m_bounds = correctedBounds(bounds);
    if (m_extra)
        m_extra->cachedBezierPath.reset();
    setDrawingBoundsValid(false);
    if (m_bounds.size != old.size)
        updateCachedTextAttributes();
}

void TWGraphic::registerWithObservers()
{
    if (m_flags.registered)
        return;
    LiveGraphics::shared().add(this);
    m_flags.registered = true;
}

TWGraphic::Extra &TWGraphic::extra()
{
    if (!m_extra)
        m_extra = std::make_unique<Extra>();
    return *m_extra;
}

// --- the branch link ---

void TWGraphic::setPrimitiveBranch(TWMapBranch *branch)
{
    if (const TWMapBranch *old = this->branch())
        old->invalidateSubtreeDrawingExtent();
    if (branch) {
        branch->invalidateSubtreeDrawingExtent();
        m_branch = branch->weak_from_this();
    } else {
        m_branch.reset();
    }
    m_branchRaw = branch;
    inheritanceChanged();
}

void TWGraphic::setDrawingBoundsValid(bool valid)
{
    m_flags.drawingBoundsValid = valid;
    m_flags.drawingMarginKnown = false;
    if (!valid)
        if (const TWMapBranch *owner = branch())
            owner->invalidateSubtreeDrawingExtent();
}

void TWGraphic::setBranch(TWMapBranch *branch)
{
    TWMapBranch *old = this->branch();
    if (old == branch)
        return;
    UndoManager *newUndo = branch ? branch->undoManager() : nullptr;
    UndoManager *oldUndo = old ? old->undoManager() : nullptr;
    const auto records = [](const UndoManager *u) { return u && u->isUndoRegistrationEnabled(); };
    if (records(newUndo) || records(oldUndo)) {
        std::shared_ptr<TWMapBranch> oldShared = old ? old->shared_from_this() : nullptr;
        if (std::shared_ptr<TWGraphic> self = weak_from_this().lock()) {
            auto inverse = [self, oldShared] { self->setBranch(oldShared.get()); };
            UndoManager::registerUndo(newUndo, inverse);
            UndoManager::registerUndo(oldUndo, inverse);
        }
    }
    setPrimitiveBranch(branch);
}

TWMap *TWGraphic::map() const
{
    TWMapBranch *owner = branch();
    return owner ? owner->map() : nullptr;
}

UndoManager *TWGraphic::undoManager() const
{
    TWMapBranch *owner = branch();
    return owner ? owner->undoManager() : nullptr;
}

NotificationObject TWGraphic::notificationObject() const
{
    if (std::shared_ptr<const TWGraphic> self = weak_from_this().lock())
        return NotificationObject(self);
    return NotificationObject(static_cast<const void *>(this));
}

bool TWGraphic::recordsUndo() const
{
    const UndoManager *undo = undoManager();
    return undo && undo->isUndoRegistrationEnabled();
}

void TWGraphic::registerInverse(std::function<void(TWGraphic &)> inverse)
{
    UndoManager *undo = undoManager();
    // Nothing is built while registration is off (an import sets thousands).
    if (!undo || !undo->isUndoRegistrationEnabled())
        return;
    std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    if (!self)
        return;
    undo->registerUndo([self, inverse = std::move(inverse)] { inverse(*self); });
}

void TWGraphic::storeCachedBezierPath(const std::shared_ptr<BezierPath> &path)
{
    if (path || m_extra)
        extra().cachedBezierPath = path;
}

std::shared_ptr<BezierPath> TWGraphic::cachedPathOr(const std::function<BezierPath()> &build)
{
    std::shared_ptr<BezierPath> path = cachedBezierPath();
    if (!path) {
        path = std::make_shared<BezierPath>(build());
        storeCachedBezierPath(path);
    }
    path->setLineWidth(strokeWidth());
    return path;
}

void TWGraphic::postGraphicNeedsRedraw() const
{
    // The graphic is named only for someone who listens.
    static const ObservedName heard(GraphicNeedsRedrawNotification);
    if (heard() && s_unseen != this)
        NotificationCenter::defaultCenter().post(GraphicNeedsRedrawNotification,
                                                 notificationObject());
}

void TWGraphic::redrawIt(const QString &branchNotification) const
{
    if (!isMainGraphic()) {
        postGraphicNeedsRedraw();
        return;
    }
    if (branchPostIsHeard(branchNotification))
        NotificationCenter::defaultCenter().post(branchNotification,
                                                 branch()->notificationObject());
}

// --- key-value coding, LinkBack ---

void TWGraphic::setValueForUndefinedKey(const QVariant &, const QString &key)
{
    qWarning().noquote() << QStringLiteral("%1 does not support key: %2").arg(className(), key);
}

QVariant TWGraphic::linkBackData() const
{
    return m_extra ? m_extra->linkBackData : QVariant();
}

void TWGraphic::setLinkBackData(const QVariant &data)
{
    if (!data.isValid() && !m_extra)
        return;
    extra().linkBackData = data;
}

QString TWGraphic::linkBackItemKey()
{
    Extra &e = extra();
    if (!e.linkBackItemKey)
        e.linkBackItemKey = newUUIDString();
    return *e.linkBackItemKey;
}

void TWGraphic::setLinkBackItemKey(const QString &key)
{
    extra().linkBackItemKey = key;
}

// --- notification handlers ---

void TWGraphic::invalidateDrawingBounds(const Notification &notification)
{
    const TWMap *graphicMap = map();
    if (graphicMap && notification.sender.identity() == graphicMap)
        setDrawingBoundsValid(false);
}

void TWGraphic::invalidateGraphicBounds(const Notification &)
{
    setDrawingBoundsValid(false);
}

// --- bounds ---

Rect TWGraphic::correctedBounds(Rect r)
{
    if (!inRange(r.origin.x, -MaximumCoordinate, MaximumCoordinate))
        r.origin.x = BoundsReplacementValue;
    if (!inRange(r.origin.y, -MaximumCoordinate, MaximumCoordinate))
        r.origin.y = BoundsReplacementValue;
    if (!inRange(r.size.width, 0, MaximumCoordinate))
        r.size.width = BoundsReplacementValue;
    if (!inRange(r.size.height, 0, MaximumCoordinate))
        r.size.height = BoundsReplacementValue;
    return r;
}

float TWGraphic::correctedReal(std::optional<double> read, float fallback)
{
    if (!read)
        return fallback;
    const float value = float(*read);
    return inRange(value, -MaximumMeasure, MaximumMeasure) ? value : fallback;
}

float TWGraphic::correctedCoordinate(std::optional<double> read, float fallback)
{
    if (!read)
        return fallback;
    const float value = float(*read);
    return inRange(value, -MaximumCoordinate, MaximumCoordinate) ? value : fallback;
}

bool TWGraphic::moveCachedDrawingBounds()
{
    // The margin, which the inherited shadow decides, stays with a move.
    if (!m_flags.drawingBoundsValid || !m_flags.drawingMarginKnown ||
        m_drawingMarginEpoch != s_inheritanceEpoch)
        return false;
    m_cachedDrawingBounds = m_bounds.insetBy(-m_drawingMargin.width, -m_drawingMargin.height);
    return true;
}

void TWGraphic::slideWithTreeBy(float dx, float dy)
{
    // Left where the offset would have moved it, it is named to the undo,
    // which otherwise walks the tree back by the offset.
    if (m_bounds.offsetBy(dx, dy) == m_bounds) {
        if ((dx != 0 || dy != 0) && TWTreeTranslation::active())
            TWTreeTranslation::recordSlide(*this, m_bounds, m_bounds);
        return;
    }
    const TWGraphic *outer = std::exchange(s_sliding, this);
    setBounds(m_bounds.offsetBy(dx, dy));
    s_sliding = outer;
}

bool TWGraphic::slideAloneBy(float dx, float dy)
{
    // The table of relationship lines is made on first use, by one thread.
    if (!slidesAlone())
        return false;
    if (!TWTreeTranslation::linkLinesRuledOut())
        if (const TWMap *m = map(); m && m->countOfLinkLines() > 0)
            return false;
    const Rect bounds = correctedBounds(m_bounds.offsetBy(dx, dy));
    if (bounds == m_bounds) {
        TWTreeTranslation::recordSlide(*this, m_bounds, m_bounds);
        return true;
    }
    return slide(bounds);
}

bool TWGraphic::slideBackTo(Rect bounds)
{
    if (bounds == m_bounds)
        return true;
    auto *connection = dynamic_cast<TWConnectionGraphic *>(this);
    if (connection && (bounds.size != m_bounds.size ||
                       !connection->moveCurveBy(bounds.origin.x - m_bounds.origin.x,
                                                bounds.origin.y - m_bounds.origin.y))) {
        setBounds(bounds);
        return false;
    }
    const TWGraphic *outer = std::exchange(s_sliding, this);
    setBounds(bounds);
    s_sliding = outer;
    // Only the offset would keep them, and it is not exact in reverse.
    if (const TWMapBranch *owner = branch())
        owner->invalidateSubtreeDrawingExtent();
    return true;
}

bool TWGraphic::slide(Rect bounds)
{
    const Rect old = m_bounds;
    // Only a move keeps the graphic as it was.
    if (bounds.size != old.size || !TWTreeTranslation::active())
        return false;
    TWMapBranch *owner = branch();
    // Relationship lines at the graphic bend with each end as it moves.
    if (TWMap *m = owner && !TWTreeTranslation::linkLinesRuledOut() ? owner->map() : nullptr;
        m && m->countOfLinkLines() > 0) {
        if (!TWTreeTranslation::linkLinesAt(*this, *m).isEmpty())
            return false;
        if (owner->mainGraphic() &&
            static_cast<const TWGraphic *>(owner->enclosedTextArea().get()) == this &&
            !TWTreeTranslation::linkLinesAt(*owner->mainGraphic(), *m).isEmpty())
            return false;
    }
    TWTreeTranslation::recordSlide(*this, old, bounds);
    m_bounds = bounds;
    shapeMovedFrom(old);
    if (m_extra)
        m_extra->cachedBezierPath.reset();
    if (!moveCachedDrawingBounds()) {
        m_flags.drawingBoundsValid = false;
        m_flags.drawingMarginKnown = false;
    }
    if (owner && owner->mainGraphic().get() == this)
        owner->layoutServices().slideBoundaryBy(*owner, bounds.origin.x - old.origin.x,
                                                bounds.origin.y - old.origin.y,
                                                TWTreeTranslation::serial());
    return true;
}

void TWGraphic::setBounds(Rect requested)
{
    if (requested == m_bounds)
        return;
    const Rect bounds = correctedBounds(requested);
    if (s_sliding == this && slide(bounds))
        return;
    // Keeps this graphic alive while observers and the branch react.
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();

    TWMapBranch *owner = branch();
    const Rect oldBounds = m_bounds;
    const bool mainGraphic = isMainGraphic();
    const bool enclosedText =
        owner && static_cast<const TWGraphic *>(owner->enclosedTextArea().get()) == this;
    // Only the shape's move re-places the icons; the width is worked out
    // from them, not from this graphic.
    const float oldReservedWidth =
        owner && mainGraphic ? owner->totalWidthToAllowForOtherEnclosedGraphics() : 0;

    TWMap::LinkLineList lines;
    // Link lines join branches' graphics, never other link lines: a line's
    // own move looks for none (for each of 100,000 lines, a walk of them all).
    const bool isLinkLine = dynamic_cast<const TWLinkLine *>(this) != nullptr;
    if (TWMap *m = owner && !isLinkLine ? owner->map() : nullptr) {
        if (m->countOfLinkLines() > 0) {
            const bool translating = TWTreeTranslation::active();
            auto linesAt = [&](const TWGraphic &g) {
                return translating ? TWTreeTranslation::linkLinesAt(g, *m)
                                   : m->linkLinesStartingOrEndingWithGraphic(&g);
            };
            lines = linesAt(*this);
            if (enclosedText && owner->mainGraphic()) {
                for (const auto &line : linesAt(*owner->mainGraphic())) {
                    if (!lines.contains(line))
                        lines.append(line);
                }
            }
        }
    }
    NotificationCenter &center = NotificationCenter::defaultCenter();
    // Named once for both notifications, and only for someone who listens:
    // a dragged subtree or an import posts thousands.
    std::optional<NotificationObject> named;
    const auto me = [&]() -> const NotificationObject & {
        if (!named)
            named = self ? NotificationObject(self)
                         : NotificationObject(static_cast<const void *>(this));
        return *named;
    };
    // A whole tree moving by one offset is redrawn and undone as one; the
    // link lines it carries are told and undone as they are alone.
    const bool wholeTreeMoves = TWTreeTranslation::active() && !isLinkLine;
    for (const std::shared_ptr<TWLinkLine> &line : std::as_const(lines))
        center.post(GraphicWillChangeBoundsNotification, NotificationObject(line));
    static const ObservedName willHeard(GraphicWillChangeBoundsNotification);
    const bool seen = s_unseen != this;
    if (willHeard() && !wholeTreeMoves && seen)
        center.post(GraphicWillChangeBoundsNotification, me());

    // No closure is built while nothing records it (a drag or an import
    // moves thousands).
    if (const UndoManager *undo = undoManager(); undo && undo->isUndoRegistrationEnabled())
        if (!wholeTreeMoves || !TWTreeTranslation::recordOldBounds(self, oldBounds))
            registerUndo([oldBounds](TWGraphic &g) { g.setBounds(oldBounds); });

    m_bounds = bounds;
    shapeMovedFrom(oldBounds);
    if (m_extra)
        m_extra->cachedBezierPath.reset();
    const bool sizeChanged = bounds.size != oldBounds.size;
    if (!sizeChanged && moveCachedDrawingBounds()) {
        if (owner)
            owner->invalidateSubtreeDrawingExtent();
    } else {
        setDrawingBoundsValid(false);
    }
    if (sizeChanged)
        updateCachedTextAttributes();

    if (!wholeTreeMoves && seen && LiveGraphics::othersHearBoundsChanges(center)) {
        const void *outer = LiveGraphics::s_invalidatedPoster;
        LiveGraphics::s_invalidatedPoster = this;
        center.post(GraphicDidChangeBoundsNotification, me());
        LiveGraphics::s_invalidatedPoster = outer;
    }
    for (const std::shared_ptr<TWLinkLine> &line : std::as_const(lines)) {
        center.post(GraphicDidChangeBoundsNotification, NotificationObject(line));
        line->updateBounds();
    }

    if (!owner)
        return;
    UndoManager *undo = undoManager();
    const bool replaying = undo && (undo->isUndoing() || undo->isRedoing());
    TWMapLayoutServices &services = owner->layoutServices();
    if (replaying) {
        if (mainGraphic || enclosedText)
            services.updateBoundary(*owner);
        // Connections are drawn from the shapes they join: the one to the
        // parent and those to the children follow the shape put back.
        if (mainGraphic) {
            if (owner->connectionGraphic())
                owner->connectionGraphic()->requestBoundsUpdate();
            for (const std::shared_ptr<TWMapBranch> &child : owner->children())
                if (child->connectionGraphic())
                    child->connectionGraphic()->requestBoundsUpdate();
        }
        return;
    }
    const std::shared_ptr<TWMapBranch> branchAlive = owner->shared_from_this();
    auto postResize = [&] {
        // The notification names the branch in a map made for it: none is
        // made when no one listens.
        static const ObservedName resizeHeard(BranchDidResizeNotification);
        // A tree moved as a whole keeps its arrangement: nothing to lay out.
        if (wholeTreeMoves || !resizeHeard() || TWMapsDoc::takeResizeDirectly(branchAlive))
            return;
        QVariantMap info;
        info.insert(BranchKey, QVariant::fromValue(branchAlive));
        center.post(BranchDidResizeNotification, owner->notificationObject(), info);
    };
    if (mainGraphic) {
        services.updateEnclosedImageBoundsForMainGraphicBoundsChange(*owner, oldBounds, bounds);
        if (owner->connectionGraphic() && !TWTreeTranslation::active())
            owner->connectionGraphic()->requestBoundsUpdate();
        services.repositionOtherEnclosedGraphicsFromOldWidth(*owner, oldReservedWidth);
        if (TWMap *m = map())
            m->branchShapeMoved(*owner);
        if (!sizeChanged)
            services.moveBoundaryBy(*owner, bounds.origin.x - oldBounds.origin.x,
                                    bounds.origin.y - oldBounds.origin.y);
        else
            services.updateBoundaryForChangedChild(*owner, *owner);
        postResize();
    } else if (enclosedText) {
        const std::shared_ptr<TWGraphic> &shape = owner->mainGraphic();
        if (shape && shape->getTextAlignmentMode() == 0) {
            if (sizeChanged)
                services.updateBoundaryForChangedChild(*owner, *owner);
            postResize();
        } else if (shape && shape->className() == QLatin1String("TWFlexiBranch")) {
            if (owner->connectionGraphic())
                owner->connectionGraphic()->updateBounds();
        }
        auto *textArea = static_cast<TWTextArea *>(this);
        if (textArea->isEditing())
            center.post(UpdateTextEditorFrameNotification, notificationObject());
    }
}

namespace {

using MovedBounds = TWTreeTranslation::Recorded;
using KeptExtents = TWTreeTranslation::KeptExtents;
using ShapeExtents = std::pair<const TWGraphic *, KeptExtents>;

// The extents the branches of a slid tree kept before the slide, by shape,
// as the threads recorded them; put in order when first looked up. The
// steps that undo and redo the slide share them.
struct TreeExtents
{
    mutable std::vector<std::vector<ShapeExtents>> parts;
    mutable std::vector<ShapeExtents> byShape;

    // By the index of each branch in `tree`, what it kept, if anything:
    // both lists in the shapes' order, gone through side by side.
    std::vector<const KeptExtents *> of(const std::vector<TWMapBranch *> &tree) const
    {
        const std::less<const TWGraphic *> before;
        if (!parts.empty()) {
            for (std::vector<ShapeExtents> &part : parts)
                byShape.insert(byShape.end(), part.cbegin(), part.cend());
            parts.clear();
            std::sort(byShape.begin(), byShape.end(),
                      [&](const ShapeExtents &a, const ShapeExtents &b) {
                          return before(a.first, b.first);
                      });
        }
        std::vector<std::pair<const TWGraphic *, size_t>> shapes;
        shapes.reserve(tree.size());
        for (size_t i = 0; i < tree.size(); ++i)
            if (const TWGraphic *shape = tree[i]->mainGraphic().get())
                shapes.emplace_back(shape, i);
        std::sort(shapes.begin(), shapes.end(),
                  [&](const auto &a, const auto &b) { return before(a.first, b.first); });
        std::vector<const KeptExtents *> kept(tree.size(), nullptr);
        auto recorded = byShape.cbegin();
        for (const auto &[shape, index] : shapes) {
            while (recorded != byShape.cend() && before(recorded->first, shape))
                ++recorded;
            if (recorded != byShape.cend() && recorded->first == shape)
                kept[index] = &recorded->second;
        }
        return kept;
    }
};

bool sameBits(const Rect &a, const Rect &b)
{
    return std::memcmp(&a, &b, sizeof(Rect)) == 0;
}
// The record in the order of the moves: one part per thread that moved part
// of the tree, kept as they came rather than copied into one list.
struct MovedParts
{
    std::vector<MovedBounds> parts;

    MovedParts() = default;
    MovedParts(const MovedParts &) = default;
    MovedParts(MovedParts &&) = default;
    MovedParts &operator=(const MovedParts &) = default;
    MovedParts &operator=(MovedParts &&) = default;
    // A big map's move holds every graphic of the map, scattered over the
    // heap: letting go asks for their reference counts a few ahead.
    ~MovedParts()
    {
        constexpr size_t Ahead = 24;
        for (MovedBounds &part : parts) {
            auto &bounds = part.bounds;
            for (size_t i = 0; i < bounds.size(); ++i) {
                if (i + Ahead < bounds.size())
                    // A graphic made shared has its counts just before it.
                    __builtin_prefetch(
                        reinterpret_cast<const char *>(bounds[i + Ahead].first.get()) - 16, 1);
                bounds[i].first.reset();
            }
        }
    }
    // The offset the kept extents were shifted by, and whether putting the
    // moved graphics back puts back the extents recorded (an undo) or
    // those shifted from them (a redo).
    float dx = 0, dy = 0;
    bool shiftsExtents = false;
    bool restoresRecordedExtents = true;
    // A whole-tree slide: the top of the tree and the offset its graphics
    // moved by. The parts hold only the graphics that the offset taken
    // back would not put back exactly, or that moved otherwise.
    std::shared_ptr<TWMapBranch> tree;
    float treeDx = 0, treeDy = 0;
    std::shared_ptr<const TreeExtents> treeExtents;
    // The places of the tree (see TreeTranslationState) before and after
    // the slide.
    quint64 placeBefore = 0, placeAfter = 0;

    MovedBounds &last()
    {
        if (parts.empty())
            parts.emplace_back();
        return parts.back();
    }
    bool empty() const { return count() == 0 && !tree; }
    size_t count() const
    {
        size_t n = 0;
        for (const MovedBounds &part : parts)
            n += part.bounds.size();
        return n;
    }
    void dropExtents()
    {
        shiftsExtents = false;
        treeExtents.reset();
        for (MovedBounds &part : parts) {
            part.extents.clear();
            part.treeExtents.clear();
        }
    }
};

struct TreeTranslationState
{
    bool active = false;
    // The link lines by the numbers of their ends, for one map.
    const TWMap *indexed = nullptr;
    QHash<long, TWMap::LinkLineList> linesByEnd;
    // Each moved graphic's bounds before the move, for one undo step.
    UndoManager *undo = nullptr;
    std::weak_ptr<TWMap> map;
    bool lookedUp = false;
    unsigned serial = 0;
    // Set when a step would hold moves besides one whole-tree move, and
    // the number of moves the whole-tree move ended with.
    bool mixedOffsets = false;
    size_t sealed = 0;
    // Read by every sliding thread; set before they start.
    bool noLinkLines = false;
    MovedParts moved;
    // The tree sliding as the translation's one move, and its offset; read
    // by every sliding thread, set before they start.
    std::shared_ptr<TWMapBranch> tree;
    float treeDx = 0, treeDy = 0;
    // Where whole-tree slides have left each tree, by its top. A place is
    // named by the place slid from and the offset, so that the same slide
    // from the same place arrives at the same name: a step replayed can set
    // off the slide that a later part of the same step replays (the window
    // moves the map onto its canvas as a level raised again shows a
    // branch), and that part must find the tree already there.
    std::unordered_map<const TWMapBranch *, quint64> placeOf;
    std::map<std::tuple<quint64, quint32, quint32>, quint64> placeNames;
    quint64 lastPlace = 0;
    // The translation's slide goes from one place to the other, the latter
    // named by the slide unless a replay knows it.
    quint64 treeFrom = 0;
    std::optional<quint64> treeTo;

    quint64 placeAfterSlide(quint64 from, float dx, float dy)
    {
        quint32 x, y;
        std::memcpy(&x, &dx, sizeof x);
        std::memcpy(&y, &dy, sizeof y);
        quint64 &name = placeNames[{from, x, y}];
        if (!name)
            name = ++lastPlace;
        return name;
    }
};

TreeTranslationState g_treeTranslation;
// Where this thread's slides are recorded while it moves part of a tree.
thread_local MovedBounds *t_recordedHere = nullptr;

MovedBounds &recordedHere()
{
    return t_recordedHere ? *t_recordedHere : g_treeTranslation.moved.last();
}

void lookUpUndo(TWGraphic &graphic)
{
    TreeTranslationState &t = g_treeTranslation;
    // The whole tree shares one undo manager: it is looked up once.
    if (t.undo || t.lookedUp)
        return;
    t.lookedUp = true;
    t.undo = graphic.undoManager();
    if (TWMap *m = graphic.map())
        t.map = m->weak_from_this();
}

// The extents the move (or its undo) left as they are, to be put back once
// every graphic is back, and the branches whose extents changed since:
// their ancestors measure again, as an edit below them would have them.
struct ExtentsPutBack
{
    std::vector<std::pair<TWMapBranch *, KeptExtents>> put;
    std::vector<const TWMapBranch *> changed;

    explicit ExtentsPutBack(const MovedParts &moved)
    {
        if (!moved.shiftsExtents)
            return;
        for (const MovedBounds &part : moved.parts) {
            for (const auto &[index, recorded] : part.extents) {
                const TWGraphic *shape = part.bounds[index].first.get();
                TWMapBranch *branch = shape->branch();
                if (branch && branch->mainGraphic().get() == shape)
                    consider(*branch, recorded, moved);
            }
        }
    }
    // For a slid tree, each branch is considered as its walk comes to it.
    ExtentsPutBack() = default;
    void consider(TWMapBranch &branch, const KeptExtents &recorded, const MovedParts &moved)
    {
        const KeptExtents shifted = recorded.shiftedBy(moved.dx, moved.dy);
        KeptExtents back = moved.restoresRecordedExtents ? recorded : shifted;
        const KeptExtents still =
            branch.keptExtentsMatching(moved.restoresRecordedExtents ? shifted : recorded);
        if (still.drawingKept != recorded.drawingKept || still.graphicsKept != recorded.graphicsKept)
            changed.push_back(&branch);
        back.drawingKept = still.drawingKept;
        back.graphicsKept = still.graphicsKept;
        if (back.any())
            put.emplace_back(&branch, back);
    }
    void apply(const std::vector<const TWMapBranch *> &movedInexactly) const
    {
        for (const auto &[branch, extents] : put)
            branch->restoreKeptExtents(extents);
        for (const TWMapBranch *branch : changed)
            if (const TWMapBranch *up = branch->parent())
                up->invalidateSubtreeDrawingExtent();
        for (const TWMapBranch *branch : movedInexactly)
            branch->invalidateSubtreeDrawingExtent();
    }
};

void redrawMap(const std::weak_ptr<TWMap> &map)
{
    if (const std::shared_ptr<TWMap> m = map.lock()) {
        const Size canvas = m->canvasSize();
        NotificationCenter::defaultCenter().post(
            TWMapBranch::RedrawInRectNotification, nullptr,
            {{TWMapBranch::RectKey, QRectF(0, 0, canvas.width, canvas.height)},
             {TWMapBranch::MapKey, QVariant::fromValue(NotificationObject(m))}});
    }
}

// Puts a slid tree back: the graphics the record names go back to their
// bounds, the last moved first, and every other graphic of the tree slides
// back by the offset, which puts it back exactly. Its undo is the same
// slide the other way.
void restoreSlidTree(const MovedParts &moved, const std::weak_ptr<TWMap> &map)
{
    TWMapBranch &top = *moved.tree;
    const float dx = -moved.treeDx, dy = -moved.treeDy;
    TreeTranslationState &t = g_treeTranslation;
    const bool outermost = !t.active;
    const quint64 place = outermost ? t.placeOf[&top] : 0;
    // Slid there already by what an earlier part of this step set off, by
    // this offset from this place: moved again, it would stand off by the
    // offset. That slide's own record takes it back.
    if (outermost && place == moved.placeBefore && place != moved.placeAfter)
        return;
    {
        TWTreeTranslation translation;
        translation.slidesWholeTree(moved.tree, dx, dy);
        // Back where the slide found it, the tree is at that place again;
        // found elsewhere, it is slid from there like any other slide.
        if (outermost && place == moved.placeAfter)
            t.treeTo = moved.placeBefore;
        t.moved.dx = moved.dx;
        t.moved.dy = moved.dy;
        t.moved.shiftsExtents = moved.shiftsExtents;
        t.moved.restoresRecordedExtents = !moved.restoresRecordedExtents;
        t.moved.treeExtents = moved.treeExtents;
        const std::vector<TWMapBranch *> tree = top.branchesOfTree();
        const std::vector<const KeptExtents *> kept =
            moved.shiftsExtents && moved.treeExtents ? moved.treeExtents->of(tree)
                                                     : std::vector<const KeptExtents *>();
        QSet<const TWGraphic *> named;
        for (const MovedBounds &part : moved.parts)
            for (const auto &[graphic, bounds] : part.bounds)
                named.insert(graphic.get());
        ExtentsPutBack extents;
        QList<TWConnectionGraphic *> refit;
        for (size_t i = 0; i < tree.size(); ++i) {
            TWMapBranch::prefetchAhead(tree, i, tree.size());
            TWMapBranch &branch = *tree[i];
            // Compared with what the branch keeps before its graphics move;
            // those below it move later, those above it have been.
            if (!kept.empty() && kept[i])
                extents.consider(branch, *kept[i], moved);
            const TWGraphic *connection = branch.connectionGraphic().get();
            branch.forEachSlidingGraphic([&](TWGraphic &graphic) {
                if (!named.isEmpty() && named.contains(&graphic))
                    return;
                // A connection with no curve is fitted to its ends once they
                // are back, as after the slide.
                if (&graphic == connection &&
                    !static_cast<TWConnectionGraphic &>(graphic).moveCurveBy(dx, dy))
                    refit.append(static_cast<TWConnectionGraphic *>(&graphic));
                graphic.slideWithTreeBy(dx, dy);
            });
            // Only the offset would keep them, and it is not exact in reverse.
            branch.invalidateSubtreeDrawingExtent();
        }
        std::vector<const TWMapBranch *> inexact;
        for (auto part = moved.parts.crbegin(); part != moved.parts.crend(); ++part) {
            for (size_t i = part->bounds.size(); i-- > 0;) {
                const auto &[graphic, bounds] = part->bounds[i];
                // One already there is named to the step that redoes this,
                // whose walk would move it otherwise.
                if (graphic->bounds() == bounds)
                    TWTreeTranslation::recordSlide(*graphic, bounds, bounds);
                const bool sameSize = graphic->bounds().size == bounds.size;
                if (!graphic->slideBackTo(bounds))
                    refit.append(static_cast<TWConnectionGraphic *>(graphic.get()));
                else if (!sameSize)
                    if (const TWMapBranch *owner = graphic->branch())
                        inexact.push_back(owner);
            }
        }
        extents.apply(inexact);
        for (TWConnectionGraphic *connection : std::as_const(refit))
            connection->fitAfterSlideBy(0, 0);
        TWTreeTranslation::keptExtentsShifted();
    }
    top.subtreeOrderMayHaveChanged();
    redrawMap(map);
}

// Puts every graphic back, the last moved first as separate steps would,
// and the canvas is redrawn once, as the move redrew it. The branches'
// kept extents come back as they were measured.
void restoreMovedBounds(const MovedParts &moved, const std::weak_ptr<TWMap> &map)
{
    if (moved.tree) {
        restoreSlidTree(moved, map);
        return;
    }
    {
        const TWTreeTranslation translation;
        TreeTranslationState &t = g_treeTranslation;
        // The step that redoes this one shifts the same extents back.
        t.moved.dx = moved.dx;
        t.moved.dy = moved.dy;
        t.moved.shiftsExtents = moved.shiftsExtents;
        t.moved.restoresRecordedExtents = !moved.restoresRecordedExtents;
        const ExtentsPutBack extents(moved);
        std::vector<const TWMapBranch *> inexact;
        QList<TWConnectionGraphic *> refit;
        for (auto part = moved.parts.crbegin(); part != moved.parts.crend(); ++part) {
            auto kept = part->extents.crbegin();
            for (size_t i = part->bounds.size(); i-- > 0;) {
                const auto &[graphic, bounds] = part->bounds[i];
                const bool sameSize = graphic->bounds().size == bounds.size;
                MovedBounds &into = t.moved.last();
                if (!graphic->slideBackTo(bounds))
                    refit.append(static_cast<TWConnectionGraphic *>(graphic.get()));
                else if (!sameSize)
                    if (const TWMapBranch *owner = graphic->branch())
                        inexact.push_back(owner);
                while (kept != part->extents.crend() && kept->first > i)
                    ++kept;
                if (kept != part->extents.crend() && kept->first == i && !into.bounds.empty() &&
                    into.bounds.back().first == graphic)
                    into.extents.emplace_back(into.bounds.size() - 1, kept->second);
            }
        }
        extents.apply(inexact);
        // Fitted to their ends again, they keep the bounds put back unless
        // the fit moves them, which drops the extents they change.
        for (TWConnectionGraphic *connection : std::as_const(refit))
            connection->fitAfterSlideBy(0, 0);
        TWTreeTranslation::keptExtentsShifted();
    }
    // Offsets in floating point can turn near ties between siblings: the
    // orders of the tree are looked at again, as after its move.
    for (const auto &part : moved.parts) {
        const auto owned = std::find_if(part.bounds.cbegin(), part.bounds.cend(),
                                        [](const auto &b) { return b.first->branch(); });
        if (owned == part.bounds.cend())
            continue;
        TWMapBranch *top = owned->first->branch();
        while (top->parent())
            top = top->parent();
        top->subtreeOrderMayHaveChanged();
        break;
    }
    redrawMap(map);
}

} // namespace

TWTreeTranslation::TWTreeTranslation() : m_outer(std::exchange(g_treeTranslation.active, true))
{
    if (!m_outer)
        ++g_treeTranslation.serial;
}

unsigned TWTreeTranslation::serial()
{
    return g_treeTranslation.serial;
}

TWTreeTranslation::~TWTreeTranslation()
{
    g_treeTranslation.active = m_outer;
    if (m_outer)
        return;
    TreeTranslationState &t = g_treeTranslation;
    t.noLinkLines = false;
    t.indexed = nullptr;
    t.linesByEnd.clear();
    UndoManager *undo = std::exchange(t.undo, nullptr);
    t.lookedUp = false;
    MovedParts moved = std::exchange(t.moved, {});
    if (std::shared_ptr<TWMapBranch> tree = std::exchange(t.tree, {})) {
        quint64 &place = t.placeOf[tree.get()];
        moved.placeBefore = t.treeFrom;
        const std::optional<quint64> to = std::exchange(t.treeTo, std::nullopt);
        moved.placeAfter = to ? *to : t.placeAfterSlide(t.treeFrom, t.treeDx, t.treeDy);
        place = moved.placeAfter;
        moved.tree = std::move(tree);
        moved.treeDx = t.treeDx;
        moved.treeDy = t.treeDy;
        if (!moved.treeExtents) {
            auto kept = std::make_shared<TreeExtents>();
            for (MovedBounds &part : moved.parts)
                if (!part.treeExtents.empty())
                    kept->parts.push_back(std::move(part.treeExtents));
            if (!kept->parts.empty())
                moved.treeExtents = std::move(kept);
        }
    }
    // Extents are put back only by a step that holds one whole-tree move.
    if (std::exchange(t.mixedOffsets, false) || moved.count() != std::exchange(t.sealed, 0))
        moved.dropExtents();
    std::weak_ptr<TWMap> map = std::exchange(t.map, {});
    if (undo && !moved.empty())
        undo->registerUndo(
            [moved = std::move(moved), map = std::move(map)] { restoreMovedBounds(moved, map); });
}

bool TWTreeTranslation::recordOldBounds(const std::shared_ptr<TWGraphic> &graphic, Rect bounds)
{
    TreeTranslationState &t = g_treeTranslation;
    UndoManager *undo = graphic ? graphic->undoManager() : nullptr;
    if (!t.active || !undo || (t.undo && t.undo != undo))
        return false;
    if (!t.undo) {
        t.undo = undo;
        if (TWMap *m = graphic->map())
            t.map = m->weak_from_this();
    }
    // Slid with its tree before: the offset takes it back to where the
    // translation found it.
    if (t.tree && graphic->m_slidWithTreeIn == t.serial)
        bounds = bounds.offsetBy(-t.treeDx, -t.treeDy);
    t.moved.last().bounds.emplace_back(graphic, bounds);
    return true;
}

void TWTreeTranslation::recordSlide(TWGraphic &graphic, Rect bounds, Rect to)
{
    TreeTranslationState &t = g_treeTranslation;
    if (!t_recordedHere)
        lookUpUndo(graphic);
    if (!t.undo || !t.undo->isUndoRegistrationEnabled())
        return;
    if (t.tree) {
        // Moved by the tree's offset, and back by it exactly: the walk of
        // the tree that undoes the slide takes it back.
        if (sameBits(to, bounds.offsetBy(t.treeDx, t.treeDy)) &&
            sameBits(to.offsetBy(-t.treeDx, -t.treeDy), bounds)) {
            graphic.m_slidWithTreeIn = t.serial;
            return;
        }
        if (graphic.m_slidWithTreeIn == t.serial)
            bounds = bounds.offsetBy(-t.treeDx, -t.treeDy);
    }
    if (std::shared_ptr<TWGraphic> alive = graphic.weak_from_this().lock())
        recordedHere().bounds.emplace_back(std::move(alive), bounds);
}

void TWTreeTranslation::slidesWholeTree(const std::shared_ptr<TWMapBranch> &top, float dx,
                                        float dy)
{
    TreeTranslationState &t = g_treeTranslation;
    if (m_outer || !top)
        return;
    t.tree = top;
    t.treeDx = dx;
    t.treeDy = dy;
    t.treeFrom = t.placeOf[top.get()];
    t.treeTo.reset();
}

void TWTreeTranslation::prepareToShare(TWGraphic &graphic)
{
    lookUpUndo(graphic);
}

void TWTreeTranslation::recordOnThisThread(Recorded *into)
{
    t_recordedHere = into;
}

void TWTreeTranslation::shiftsKeptExtentsBy(float dx, float dy)
{
    TreeTranslationState &t = g_treeTranslation;
    if (!t.active)
        return;
    if (t.moved.shiftsExtents || !t.moved.empty())
        t.mixedOffsets = true;
    t.moved.shiftsExtents = true;
    t.moved.restoresRecordedExtents = true;
    t.moved.dx = dx;
    t.moved.dy = dy;
}

void TWTreeTranslation::ruleOutLinkLines()
{
    if (g_treeTranslation.active)
        g_treeTranslation.noLinkLines = true;
}

bool TWTreeTranslation::linkLinesRuledOut()
{
    return g_treeTranslation.noLinkLines;
}

void TWTreeTranslation::keptExtentsShifted()
{
    g_treeTranslation.sealed = g_treeTranslation.moved.count();
}

void TWTreeTranslation::recordKeptExtents(const TWGraphic &shape, const KeptExtents &before)
{
    if (!before.any() || !g_treeTranslation.active || g_treeTranslation.mixedOffsets)
        return;
    MovedBounds &here = recordedHere();
    if (g_treeTranslation.tree)
        here.treeExtents.emplace_back(&shape, before);
    else if (!here.bounds.empty() && here.bounds.back().first.get() == &shape)
        here.extents.emplace_back(here.bounds.size() - 1, before);
}

void TWTreeTranslation::add(Recorded &&recorded)
{
    g_treeTranslation.moved.parts.push_back(std::move(recorded));
}

void TWTreeTranslation::expectMoves(size_t count)
{
    // A slid tree's record names only the few graphics that need it.
    if (g_treeTranslation.active && !g_treeTranslation.tree) {
        MovedBounds &last = g_treeTranslation.moved.last();
        last.bounds.reserve(last.bounds.size() + count);
    }
}

TWMap::LinkLineList TWTreeTranslation::linkLinesAt(const TWGraphic &graphic, const TWMap &map)
{
    TreeTranslationState &t = g_treeTranslation;
    if (t.indexed != &map) {
        t.indexed = &map;
        t.linesByEnd.clear();
        for (const std::shared_ptr<TWLinkLine> &line : map.linkLines()) {
            t.linesByEnd[line->startGraphicNumber()].append(line);
            if (line->endGraphicNumber() != line->startGraphicNumber())
                t.linesByEnd[line->endGraphicNumber()].append(line);
        }
    }
    return t.linesByEnd.value(graphic.graphicNumber());
}

bool TWTreeTranslation::active()
{
    return g_treeTranslation.active;
}

void TWGraphic::shapeMovedFrom(Rect before)
{
    // A whole tree moving keeps every order inside it; its mover tells the
    // branch at its top.
    if (TWTreeTranslation::active())
        return;
    TWMapBranch *owner = branch();
    if (owner && owner->mainGraphic().get() == this)
        owner->shapeMoved(before, m_bounds);
}

void TWGraphic::moveBy(float dx, float dy)
{
    setBounds(m_bounds.offsetBy(dx, dy));
}

// --- plain properties ---

void TWGraphic::setDrawsStroke(bool draws)
{
    if (draws == m_flags.drawsStroke)
        return;
    const bool old = m_flags.drawsStroke;
    registerUndo([old](TWGraphic &g) { g.setDrawsStroke(old); });
    redrawIt(BranchNeedsRedrawNotification);
    m_flags.drawsStroke = draws;
    setDrawingBoundsValid(false);
    redrawIt(BranchNeedsRedrawNotification);
}

void TWGraphic::setStrokeWidth(float width)
{
    if (width == m_strokeWidth)
        return;
    const float old = m_strokeWidth;
    registerUndo([old](TWGraphic &g) { g.setStrokeWidth(old); });
    redrawIt(BranchNeedsRedrawNotification);
    m_strokeWidth = width;
    setDrawingBoundsValid(false);
    redrawIt(BranchNeedsRedrawNotification);
}

void TWGraphic::setStrokeStyle(int style)
{
    if (style == m_strokeStyle)
        return;
    const int old = m_strokeStyle;
    registerUndo([old](TWGraphic &g) { g.setStrokeStyle(old); });
    postGraphicNeedsRedraw();
    m_strokeStyle = style;
    postGraphicNeedsRedraw();
}

std::optional<Color> TWGraphic::strokeColor() const
{
    return m_extra ? m_extra->strokeColor : std::nullopt;
}

void TWGraphic::setStrokeColor(const std::optional<Color> &color)
{
    const std::optional<Color> old = strokeColor();
    if (color == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setStrokeColor(old); });
    extra().strokeColor = color;
    redrawIt(SubtreeNeedsRedrawNotification);
}

void TWGraphic::setDrawsFill(bool draws)
{
    if (draws == m_flags.drawsFill)
        return;
    const bool old = m_flags.drawsFill;
    registerUndo([old](TWGraphic &g) { g.setDrawsFill(old); });
    m_flags.drawsFill = draws;
    redrawIt(BranchNeedsRedrawNotification);
}

std::optional<Color> TWGraphic::fillColor() const
{
    return m_extra ? m_extra->fillColor : std::nullopt;
}

void TWGraphic::setFillColor(const std::optional<Color> &color)
{
    const std::optional<Color> old = fillColor();
    if (color == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setFillColor(old); });
    extra().fillColor = color;
    redrawIt(SubtreeNeedsRedrawNotification);
}

void TWGraphic::setIsBeingDragged(bool dragged)
{
    if (dragged == m_flags.isBeingDragged)
        return;
    const bool old = m_flags.isBeingDragged;
    registerUndo([old](TWGraphic &g) { g.setIsBeingDragged(old); });
    m_flags.isBeingDragged = dragged;
}

void TWGraphic::postShadowChange()
{
    setDrawingBoundsValid(false);
    if (isMainGraphic()) {
        // Shadows are inherited down the tree, so the drawing areas of this
        // branch's subtree may grow; nothing above or beside it inherits
        // from this shape (the whole tree made a change over a large
        // selection quadratic).
        branch()->invalidateGraphicDrawingBoundsIncludingChildren(true);
        NotificationCenter::defaultCenter().post(SubtreeNeedsRedrawNotification,
                                                 branch()->notificationObject());
    } else {
        postGraphicNeedsRedraw();
    }
}

void TWGraphic::setInheritsShadow(bool inherits)
{
    if (inherits == m_flags.inheritsShadow)
        return;
    const bool old = m_flags.inheritsShadow;
    registerUndo([old](TWGraphic &g) { g.setInheritsShadow(old); });
    redrawIt(SubtreeNeedsRedrawNotification);
    m_flags.inheritsShadow = inherits;
    postShadowChange();
}

void TWGraphic::setDrawsShadow(bool draws)
{
    if (draws == m_flags.drawsShadow)
        return;
    const bool old = m_flags.drawsShadow;
    registerUndo([old](TWGraphic &g) { g.setDrawsShadow(old); });
    redrawIt(SubtreeNeedsRedrawNotification);
    m_flags.drawsShadow = draws;
    postShadowChange();
}

std::optional<Shadow> TWGraphic::shadow() const
{
    return m_extra ? m_extra->shadow : std::nullopt;
}

void TWGraphic::setShadow(const std::optional<Shadow> &shadow)
{
    const std::optional<Shadow> old = this->shadow();
    if (shadow == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setShadow(old); });
    redrawIt(SubtreeNeedsRedrawNotification);
    extra().shadow = shadow;
    postShadowChange();
}

void TWGraphic::setInheritsFill(bool inherits)
{
    if (inherits == m_flags.inheritsFill)
        return;
    const bool old = m_flags.inheritsFill;
    registerUndo([old](TWGraphic &g) { g.setInheritsFill(old); });
    m_flags.inheritsFill = inherits;
    redrawIt(SubtreeNeedsRedrawNotification);
}

void TWGraphic::setInheritsStroke(bool inherits)
{
    if (inherits == m_flags.inheritsStroke)
        return;
    const bool old = m_flags.inheritsStroke;
    registerUndo([old](TWGraphic &g) { g.setInheritsStroke(old); });
    m_flags.inheritsStroke = inherits;
    redrawIt(SubtreeNeedsRedrawNotification);
}

void TWGraphic::setInternalOrdering(int ordering)
{
    if (ordering == m_internalOrdering)
        return;
    const int old = m_internalOrdering;
    registerUndo([old](TWGraphic &g) { g.setInternalOrdering(old); });
    m_internalOrdering = ordering;
}

void TWGraphic::setGraphicNumber(long number)
{
    if (number == m_graphicNumber)
        return;
    const long old = m_graphicNumber;
    registerUndo([old](TWGraphic &g) { g.setGraphicNumber(old); });
    m_graphicNumber = qint32(number);
    if (TWMap *m = map())
        m->graphicNumberChanged(*this, old);
}

void TWGraphic::setOriginalGraphicNumber(long number)
{
    if (number == m_originalGraphicNumber)
        return;
    const long old = m_originalGraphicNumber;
    registerUndo([old](TWGraphic &g) { g.setOriginalGraphicNumber(old); });
    m_originalGraphicNumber = number;
}

std::optional<QString> TWGraphic::imageFilename() const
{
    return m_extra ? m_extra->imageFilename : std::nullopt;
}

void TWGraphic::setImageFilename(const std::optional<QString> &path)
{
    const std::optional<QString> old = imageFilename();
    if (path == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setImageFilename(old); });
    postGraphicNeedsRedraw();
    Extra &e = extra();
    e.imageFilename = path;
    e.cachedImageRep.reset();
    postGraphicNeedsRedraw();
}

std::shared_ptr<Image> TWGraphic::cachedImageRep()
{
    if (m_extra && m_extra->cachedImageRep)
        return m_extra->cachedImageRep;
    const std::optional<QString> path = imageFilename();
    TWMap *m = map();
    if (!path || !m || !m->document())
        return nullptr;
    const std::optional<QByteArray> data = m->document()->objectForKeyInCachedData(*path);
    if (!data)
        return nullptr;
    std::optional<Image> image = Image::initWithData(*data);
    if (!image)
        return nullptr;
    extra().cachedImageRep = std::make_shared<Image>(std::move(*image));
    return m_extra->cachedImageRep;
}

void TWGraphic::setFlippedHorizontally(bool flipped)
{
    if (flipped == m_flags.flippedHorizontally)
        return;
    const bool old = m_flags.flippedHorizontally;
    registerUndo([old](TWGraphic &g) { g.setFlippedHorizontally(old); });
    postGraphicNeedsRedraw();
    m_flags.flippedHorizontally = flipped;
    postGraphicNeedsRedraw();
}

void TWGraphic::setFlippedVertically(bool flipped)
{
    if (flipped == m_flags.flippedVertically)
        return;
    const bool old = m_flags.flippedVertically;
    registerUndo([old](TWGraphic &g) { g.setFlippedVertically(old); });
    postGraphicNeedsRedraw();
    m_flags.flippedVertically = flipped;
    postGraphicNeedsRedraw();
}

Rect TWGraphic::cachedBounds() const
{
    return m_extra ? m_extra->cachedBounds : Rect();
}

void TWGraphic::setCachedBounds(Rect bounds)
{
    const Rect old = cachedBounds();
    if (bounds == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setCachedBounds(old); });
    extra().cachedBounds = bounds;
}

std::shared_ptr<BezierPath> TWGraphic::cachedBezierPath() const
{
    return m_extra ? m_extra->cachedBezierPath : nullptr;
}

void TWGraphic::setCachedBezierPath(const std::shared_ptr<BezierPath> &path)
{
    const std::shared_ptr<BezierPath> old = cachedBezierPath();
    if (path == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setCachedBezierPath(old); });
    extra().cachedBezierPath = path;
}

void TWGraphic::setCornerMode(int mode)
{
    if (mode == m_cornerMode)
        return;
    const int old = m_cornerMode;
    registerUndo([old](TWGraphic &g) { g.setCornerMode(old); });
    postGraphicNeedsRedraw();
    m_cornerMode = qint8(mode);
    setCachedBezierPath(nullptr);
    postGraphicNeedsRedraw();
}

void TWGraphic::setCornerAmount(float amount)
{
    if (amount == m_cornerAmount)
        return;
    const float old = m_cornerAmount;
    registerUndo([old](TWGraphic &g) { g.setCornerAmount(old); });
    postGraphicNeedsRedraw();
    m_cornerAmount = amount;
    setCachedBezierPath(nullptr);
    postGraphicNeedsRedraw();
}

void TWGraphic::setDrawnZoomAmount(float amount)
{
    if (amount == m_drawnZoomAmount)
        return;
    const float old = m_drawnZoomAmount;
    registerUndo([old](TWGraphic &g) { g.setDrawnZoomAmount(old); });
    m_drawnZoomAmount = amount;
}

void TWGraphic::setManipulatingBounds(bool manipulating)
{
    if (manipulating == m_flags.manipulatingBounds)
        return;
    const bool old = m_flags.manipulatingBounds;
    registerUndo([old](TWGraphic &g) { g.setManipulatingBounds(old); });
    m_flags.manipulatingBounds = manipulating;
}

std::optional<QString> TWGraphic::moviePath() const
{
    return m_extra ? m_extra->moviePath : std::nullopt;
}

void TWGraphic::setMoviePath(const std::optional<QString> &path)
{
    const std::optional<QString> old = moviePath();
    if (path == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setMoviePath(old); });
    postGraphicNeedsRedraw();
    extra().moviePath = path;
    postGraphicNeedsRedraw();
}

int TWGraphic::movieReferenceStyle() const
{
    return m_extra ? m_extra->movieReferenceStyle : 0;
}

void TWGraphic::setMovieReferenceStyle(int style)
{
    const int old = movieReferenceStyle();
    if (style == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setMovieReferenceStyle(old); });
    extra().movieReferenceStyle = style;
}

std::optional<QString> TWGraphic::shapeName() const
{
    return m_extra ? m_extra->shapeName : std::nullopt;
}

void TWGraphic::setShapeName(const std::optional<QString> &name)
{
    const std::optional<QString> old = shapeName();
    if (name == old)
        return;
    registerUndo([old](TWGraphic &g) { g.setShapeName(old); });
    extra().shapeName = name;
}

void TWGraphic::setUpdateNotificationsDisabled(bool disabled)
{
    if (disabled == m_flags.updateNotificationsDisabled)
        return;
    const bool old = m_flags.updateNotificationsDisabled;
    registerUndo([old](TWGraphic &g) { g.setUpdateNotificationsDisabled(old); });
    m_flags.updateNotificationsDisabled = disabled;
}

std::optional<QString> TWGraphic::styleID() const
{
    return m_extra ? m_extra->styleID : std::nullopt;
}

void TWGraphic::setStyleID(const std::optional<QString> &identifier)
{
    if (!identifier && !m_extra)
        return;
    extra().styleID = identifier;
}

// --- operations ---

Color TWGraphic::handleColor() const
{
    if (isMainGraphic())
        return Color::colorWithCalibratedRed(0.6, 68.0 / 255.0, 149.0 / 255.0, 1);
    return Color::colorWithDeviceRed(0.34, 0.57, 0.11, 1);
}

bool TWGraphic::canBeSelected() const
{
    TWMapBranch *owner = branch();
    return !owner || owner->canGraphicBeSelected(this);
}

void TWGraphic::remove()
{
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    TWMapBranch *owner = branch();
    // A branch's shape takes the branch with it. The root stays: it has no
    // parent to leave, and taking its subtree alone would empty the map.
    if (owner && isMainGraphic() && owner->parent()) {
        owner->remove();
        return;
    }
    if (TWMap *m = map())
        m->removeSelectedGraphic(this);
    if (owner) {
        const auto &linked = owner->linkedGraphics();
        for (int i = 0; i < linked.size(); ++i) {
            if (linked.at(i).get() == this) {
                owner->removeObjectFromLinkedGraphicsAtIndex(i);
                break;
            }
        }
    }
}

// --- roles ---

bool TWGraphic::isSelected() const
{
    const TWMap *m = map();
    return m && m->isGraphicSelected(this);
}

bool TWGraphic::isMainGraphic() const
{
    TWMapBranch *owner = branch();
    return owner && owner->mainGraphic().get() == this;
}

bool TWGraphic::isEnclosedText() const
{
    TWMapBranch *owner = branch();
    return owner && static_cast<const TWGraphic *>(owner->enclosedTextArea().get()) == this;
}

bool TWGraphic::isEnclosedImage() const
{
    TWMapBranch *owner = branch();
    return owner && owner->enclosedImage().get() == this;
}

bool TWGraphic::isLinkedGraphic() const
{
    TWMapBranch *owner = branch();
    if (!owner)
        return false;
    for (const auto &graphic : owner->linkedGraphics()) {
        if (graphic.get() == this)
            return true;
    }
    return false;
}

bool TWGraphic::isOtherEnclosedGraphic() const
{
    TWMapBranch *owner = branch();
    if (!owner)
        return false;
    for (const auto &record : owner->otherEnclosedGraphics()) {
        if (record->graphic().get() == this)
            return true;
    }
    return false;
}

bool TWGraphic::isConnectionGraphic() const
{
    TWMapBranch *owner = branch();
    return owner && static_cast<const TWGraphic *>(owner->connectionGraphic().get()) == this;
}

QStringList TWGraphic::supportedPaletteIDs()
{
    return {QStringLiteral("TWPaletteGeneralStyle"),  QStringLiteral("TWPaletteGeneralLine"),
            QStringLiteral("TWPaletteGeneralFill"),   QStringLiteral("TWPaletteGeneralShadow"),
            QStringLiteral("TWPaletteGeneralCorner"), QStringLiteral("TWPaletteGeneralTerminator")};
}
