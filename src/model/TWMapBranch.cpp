#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWBranchRedraw.h"
#include "model/TWBranchRefitHold.h"
#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "model/TWNewBranchLabel.h"
#include "platform/GraphicNumberSet.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/TWLocalizedString.h"
#include "support/TWPreferences.h"

#include <QHash>

namespace {

// Branches observe their own redraw requests. One observer per name finds
// the branch here; a map of many thousand branches cannot afford observers
// of its own for each.
class SubscribedBranches
{
public:
    static SubscribedBranches &shared()
    {
        static SubscribedBranches subscribed;
        return subscribed;
    }

    void add(TWMapBranch *branch) { m_branches.insert(branch, branch); }
    void remove(TWMapBranch *branch) { m_branches.remove(branch); }
    ~SubscribedBranches() { s_instance = nullptr; }

    static bool heard(const QString &name)
    {
        const NotificationCenter &center = NotificationCenter::defaultCenter();
        if (!s_instance)
            return center.isObserved(name);
        const SubscribedBranches &s = *s_instance;
        // The names come as these very strings nearly always.
        const auto is = [&name](const QString &known) {
            return (name.constData() == known.constData() && name.size() == known.size()) ||
                   name == known;
        };
        const ObservedName *others =
            is(TWMapBranch::SubtreeNeedsRedrawNotification)  ? &s.m_othersHearSubtree
            : is(TWMapBranch::BranchNeedsRedrawNotification) ? &s.m_othersHearBranch
                                                             : nullptr;
        if (!others)
            return center.isObserved(name);
        return (*others)() || s.m_delayedHeard();
    }

private:
    SubscribedBranches()
    {
        s_instance = this;
        NotificationCenter &center = NotificationCenter::defaultCenter();
        m_subtree = center.observe(TWMapBranch::SubtreeNeedsRedrawNotification, nullptr,
                                   [this](const Notification &n) {
                                       if (TWMapBranch *b = m_branches.value(n.sender.identity()))
                                           b->invalidateSubtreeFromBranch(n);
                                   });
        m_branch = center.observe(TWMapBranch::BranchNeedsRedrawNotification, nullptr,
                                  [this](const Notification &n) {
                                      if (TWMapBranch *b = m_branches.value(n.sender.identity()))
                                          b->invalidateBranch(n);
                                  });
    }

    QHash<const void *, TWMapBranch *> m_branches;
    ObserverToken m_subtree;
    ObserverToken m_branch;
    const ObservedName m_othersHearSubtree{TWMapBranch::SubtreeNeedsRedrawNotification, &m_subtree};
    const ObservedName m_othersHearBranch{TWMapBranch::BranchNeedsRedrawNotification, &m_branch};
    const ObservedName m_delayedHeard{TWMapBranch::DelayedRedrawInRectNotification};
    static inline const SubscribedBranches *s_instance = nullptr;
};

} // namespace

bool branchPostIsHeard(const QString &name)
{
    return SubscribedBranches::heard(name);
}

// --- construction and tear-down ---

TWMapBranch::TWMapBranch(Passkey) {}

TWMapBranch::~TWMapBranch()
{
    unsubscribeFromNotifications();
    // Children that live on elsewhere (an undo step, the clipboard) must not
    // reach this branch or its map; the others go with it. Nothing is
    // registered or posted here.
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
        if (child.use_count() > 1) {
            child->setPrimitiveMap(nullptr);
            child->setPrimitiveParent(nullptr);
            child->deparent();
        } else if (child->m_parentBranch == this) {
            // Going with this branch; nothing of it may be reached meanwhile.
            child->m_parentBranch = nullptr;
        }
    }
}

namespace {
thread_local const AttributedString *t_newBranchLabel = nullptr;
} // namespace

TWNewBranchLabelScope::TWNewBranchLabelScope(const AttributedString *label)
    : m_outer(t_newBranchLabel)
{
    t_newBranchLabel = label;
}

TWNewBranchLabelScope::~TWNewBranchLabelScope()
{
    t_newBranchLabel = m_outer;
}

const AttributedString *TWNewBranchLabelScope::current()
{
    return t_newBranchLabel;
}

std::shared_ptr<TWMapBranch> TWMapBranch::create()
{
    auto branch = std::make_shared<TWMapBranch>(Passkey());
    branch->setBranchNumber(int(GraphicNumberSet::shared().generate()));
    return branch;
}

std::shared_ptr<TWMapBranch> TWMapBranch::createWithGraphic(const std::shared_ptr<TWGraphic> &shape,
                                                            TWMapBranch *parent, TWMap *map)
{
    std::shared_ptr<TWMapBranch> branch = create();
    TWMapBranch &b = *branch;
    b.m_flags.loading = false;
    b.setMap(map);

    const Rect r = shape->bounds();
    shape->setBranch(&b);

    auto text =
        TWGraphic::make<TWTextArea>(Rect(r.x() + 5, r.y() + r.height() / 2, r.width() - 10, 20));
    b.setEnclosedTextArea(text);
    text->setDrawsStroke(false);
    text->setDrawsFill(false);
    text->setBranch(&b);

    b.setMainGraphic(shape);
    b.setParent(parent);
    if (parent)
        parent->insertObjectInChildrenAtIndex(branch, parent->countOfChildren());
    b.removeGraphicOrderCache();

    const AttributedString *given = TWNewBranchLabelScope::current();
    QString label;
    Font font;
    if (parent) {
        const std::shared_ptr<TWGraphic> &parentShape = parent->mainGraphic();
        const Rect p = parentShape ? parentShape->bounds() : Rect();
        if (parent->isRoot())
            b.setConnectionGraphic(TWTitleConnection::create(
                shape, Point(p.x() + p.width() / 2, p.y() + p.height() / 2)));
        else
            b.setConnectionGraphic(TWChildConnection::create(parentShape, shape));
        if (!given) {
            label = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("New-Branch"));
            font = parent->isRoot() ? TWPreferences::firstLevelFont() : TWPreferences::branchFont();
        }
    } else {
        b.setConnectionGraphic(nullptr);
        if (!given) {
            label = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("DadoZiz-Title"));
            font = TWPreferences::centerFont();
        }
    }
    if (given)
        text->setText(*given);
    else
        text->setText(AttributedString(label, {{NSFontAttributeName, QVariant::fromValue(font)}}));

    b.setOutlineNumber(QString());

    b.setHasBoundary(false);
    const Color black = Color::colorWithCalibratedRed(0, 0, 0, 1);
    const Color white = Color::colorWithCalibratedRed(1, 1, 1, 1);
    const UndoManager *undo = b.undoManager();
    // With nothing to register and no boundary drawn or watched, the setters
    // below would only store their values and ask for the outline's rebuild:
    // that is done directly, in their order (an import makes thousands).
    static const ObservedName redrawHeard(RedrawInRectNotification);
    if ((!undo || !undo->isUndoRegistrationEnabled()) && !b.hasBoundary() && !redrawHeard()) {
        TWMapLayoutServices &services = b.layoutServices();
        // The record is made by the first value, a line colour no branch has by default.
        Settings &settings = b.settings();
        const auto store = [&settings](auto member, const auto &value) {
            if (!(settings.*member == value))
                settings.*member = value;
        };
        // Nothing rebuilds the boundary between these values: a layout whose
        // invalidation is then a no-op is asked once.
        const bool invalidateOnce = services.boundaryInvalidationIsIdempotent();
        bool invalidated = false;
        const auto storeShaping = [&](auto member, const auto &value) {
            if (settings.*member == value)
                return false;
            settings.*member = value;
            if (!(invalidateOnce && invalidated))
                services.invalidateBoundary(b);
            invalidated = true;
            return true;
        };
        store(&Settings::boundaryLineColor, std::optional<Color>(black));
        store(&Settings::boundaryFillColor, std::optional<Color>(white));
        store(&Settings::boundaryLineStyle, 1);
        store(&Settings::boundaryLineWidth, 1.0f);
        storeShaping(&Settings::boundaryCurveRadius, 10.0f);
        storeShaping(&Settings::boundaryCornerStyle, 1);
        if (storeShaping(&Settings::boundaryMargin, 3.0f)) {
            if (b.m_caches)
                b.m_caches->childrenBoundaryPoints.clear();
            // A branch grown for a layout of the whole map gets its outline
            // when one is asked for: made now, its set (and each ancestor's,
            // as children come) would hold the corners of every descendant.
            const TWMap *map = b.map();
            if (!map || !TWGrowthBatch::of(*map))
                services.recalculateBoundary(b);
        }
        store(&Settings::boundaryInheritsLineColor, true);
        store(&Settings::boundaryDrawsFill, false);
        store(&Settings::boundaryDrawsLine, true);
        store(&Settings::overriddenChildRepel, -1.0f);
        store(&Settings::overriddenChildSpacing, -1.0f);
        store(&Settings::overriddenChildrenColorMode, -1);
        store(&Settings::overridesRainbowAngle, false);
        store(&Settings::overriddenRainbowAngle, 0.0f);
    } else {
        b.setBoundaryLineColor(black);
        b.setBoundaryFillColor(white);
        b.setBoundaryLineStyle(1);
        b.setBoundaryLineWidth(1.0f);
        {
            const TWBoundaryRebuildFollows margin(b);
            b.setBoundaryCurveRadius(10.0f);
            b.setBoundaryCornerStyle(1);
        }
        // A new branch's margin always changes, so its outline is rebuilt here.
        b.setBoundaryMargin(3.0f);
        b.setBoundaryInheritsLineColor(true);
        b.setBoundaryDrawsFill(false);
        b.setBoundaryDrawsLine(true);
        b.setOverriddenChildRepel(-1);
        b.setOverriddenChildSpacing(-1);
        b.setOverriddenChildrenColorMode(-1);
        b.setOverridesRainbowAngle(false);
        b.setOverriddenRainbowAngle(0);
    }
    b.setHideChildrenOutlineNumbers(false);
    b.setResetChildrenOutlineNumbers(false);
    // A new branch has no overrides to remove: only the post is left.
    static const ObservedName formatHeard(BranchOutlineFormatSettingChangedNotification);
    if (b.countOfChildrenOutlineNumberFormatOverride() > 0 || formatHeard())
        b.removeAllChildrenOutlineNumberFormatOverride();
    b.setChildrenHidden(false);

    b.m_textRelativePosition = 2;
    if (!TWNewBranchSizingDeferred::active())
        b.makeNaturalSize();
    b.removeGraphicOrderCache();
    b.subscribeToNotifications();
    return branch;
}

void TWMapBranch::reparent()
{
    for (TWGraphic *graphic :
         {m_mainGraphic.get(), static_cast<TWGraphic *>(m_enclosedTextArea.get()),
          enclosedImage().get(),
          static_cast<TWGraphic *>(m_settings ? m_settings->boundaryProxy.get() : nullptr)}) {
        if (graphic)
            graphic->setBranch(this);
    }
    for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(m_linkedGraphics))
        graphic->setBranch(this);
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
        child->setMap(map());
        child->setParent(this);
        child->reparent();
    }
}

void TWMapBranch::deparent()
{
    for (TWGraphic *graphic :
         {m_mainGraphic.get(), static_cast<TWGraphic *>(m_enclosedTextArea.get()),
          enclosedImage().get(),
          static_cast<TWGraphic *>(m_settings ? m_settings->boundaryProxy.get() : nullptr)}) {
        if (graphic)
            graphic->setPrimitiveBranch(nullptr);
    }
    for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(m_linkedGraphics))
        graphic->setPrimitiveBranch(nullptr);
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(m_children)) {
        child->setPrimitiveMap(nullptr);
        child->setPrimitiveParent(nullptr);
        child->deparent();
    }
}

void TWMapBranch::subscribeToNotifications()
{
    // The flag follows the registry: a subscribed branch is already there.
    if (m_flags.subscribed)
        return;
    SubscribedBranches::shared().add(this);
    m_flags.subscribed = true;
}

void TWMapBranch::unsubscribeFromNotifications()
{
    if (!m_flags.subscribed)
        return;
    SubscribedBranches::shared().remove(this);
    m_flags.subscribed = false;
}

UndoManager *TWMapBranch::undoManager() const
{
    const TWMap *m = map();
    return m ? m->undoManager() : nullptr;
}

TWMapLayoutServices &TWMapBranch::layoutServices() const
{
    const TWMap *m = map();
    return m ? m->layoutServices() : TWMapLayoutServices::none();
}

NotificationObject TWMapBranch::notificationObject() const
{
    if (std::shared_ptr<const TWMapBranch> self = weak_from_this().lock())
        return NotificationObject(self);
    return NotificationObject(static_cast<const void *>(this));
}

// --- side records ---

TWMapBranch::Settings &TWMapBranch::settings()
{
    if (!m_settings)
        m_settings = std::make_unique<Settings>();
    return *m_settings;
}

TWMapBranch::Caches &TWMapBranch::caches()
{
    if (!m_caches)
        m_caches = std::make_unique<Caches>();
    return *m_caches;
}

const TWMapBranch::Settings &TWMapBranch::s() const
{
    return m_settings ? *m_settings : Settings::defaults();
}

const TWMapBranch::Caches &TWMapBranch::c() const
{
    return m_caches ? *m_caches : Caches::defaults();
}

// --- notifications ---

void TWMapBranch::postBranch(const QString &name) const
{
    if (branchPostIsHeard(name))
        NotificationCenter::defaultCenter().post(name, notificationObject());
}

void TWMapBranch::postRedrawRect(const QString &name, Rect rect) const
{
    QVariantMap info{{RectKey, rect.toQt()}};
    if (std::shared_ptr<TWMap> m = mapPointer())
        info.insert(MapKey, QVariant::fromValue(NotificationObject(m)));
    NotificationCenter::defaultCenter().post(name, nullptr, info);
}

void TWMapBranch::enqueueOutlineReload() const
{
    const TWMap *m = map();
    TWMapsDoc *doc = m ? m->document() : nullptr;
    NotificationQueue &queue = NotificationQueue::defaultQueue();
    // Coalesced with the one already waiting: a document gaining thousands
    // of branches in one pass asks once.
    if (queue.isPending(OutlineNeedsReloadNotification, doc))
        return;
    NotificationObject document;
    if (doc)
        document = NotificationObject(doc->shared_from_this());
    queue.enqueue(OutlineNeedsReloadNotification, document, {},
                  NotificationQueue::CoalesceOnNameAndSender, NotificationQueue::PostASAP);
}

void TWMapBranch::removeGraphicOrderCache() const
{
    // Whatever reorders the graphics changes what the subtree paints, and
    // may change whom a graphic inherits its shadow from.
    invalidateSubtreeDrawingExtent();
    TWGraphic::inheritanceChanged();
    if (TWMap *m = map())
        m->removeAllGraphicOrderCache();
}

void TWMapBranch::nameUndoAction(const char *name)
{
    // Only an open group takes a name: the name is not even looked up when
    // none is (an import sets thousands of values without undo).
    UndoManager *undo = undoManager();
    if (!undo || undo->groupingLevel() == 0)
        return;
    undo->setActionName(TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(name)));
}

void TWMapBranch::refit()
{
    if (TWBranchRefitHold::defer(*this))
        return;
    layoutServices().makeNaturalSize(*this, true, true);
}

namespace {
thread_local TWBranchRefitHold *t_refitHold = nullptr;
} // namespace

TWBranchRefitHold::TWBranchRefitHold(TWMapBranch &branch, bool placesIconsLater)
    : m_branch(branch.shared_from_this()), m_outer(t_refitHold),
      m_placesIconsLater(placesIconsLater)
{
    t_refitHold = this;
}

bool TWBranchRefitHold::dismiss()
{
    m_pending = false;
    m_placesIconsLater = false;
    return std::exchange(m_iconsPending, false);
}

bool TWBranchRefitHold::deferIconPlacement(const TWMapBranch &branch)
{
    for (TWBranchRefitHold *hold = t_refitHold; hold; hold = hold->m_outer) {
        if (hold->m_branch.get() == &branch && hold->m_placesIconsLater) {
            hold->m_iconsPending = true;
            return true;
        }
    }
    return false;
}

TWBranchRefitHold::~TWBranchRefitHold()
{
    t_refitHold = m_outer;
    if (m_pending && !defer(*m_branch))
        m_branch->layoutServices().makeNaturalSize(*m_branch, true, true);
}

bool TWBranchRefitHold::defer(const TWMapBranch &branch)
{
    for (TWBranchRefitHold *hold = t_refitHold; hold; hold = hold->m_outer) {
        if (hold->m_branch.get() == &branch) {
            hold->m_pending = true;
            return true;
        }
    }
    return false;
}

// --- redraw ---

void TWMapBranch::postDelayedRedraws(const GraphicList &graphics) const
{
    for (const std::shared_ptr<TWGraphic> &graphic : graphics)
        postRedrawRect(DelayedRedrawInRectNotification, graphic->drawingBounds());
}

// The areas to repaint are worked out for whoever repaints them: with no one
// to tell, drawing bounds and boundaries are left to be found when asked.
void TWMapBranch::invalidateSubtreeFromBranch(const Notification &notification)
{
    if (!NotificationCenter::defaultCenter().isObserved(DelayedRedrawInRectNotification))
        return;
    if (const QVariant only = notification.userInfo.value(OnlyBranchesKey); only.isValid()) {
        for (const QVariant &item : only.toList()) {
            const auto branch = item.value<std::shared_ptr<TWMapBranch>>();
            if (!branch || branch->map() != map())
                continue;
            GraphicList graphics;
            branch->graphicsForBranchIntoArray(graphics, false, true, true);
            if (TWMapBranch *up = branch->parent())
                up->graphicsForThisBranchOnlyIntoArray(graphics, false, true, true);
            postDelayedRedraws(graphics);
        }
        return;
    }
    // The whole map is one area to repaint, not one per graphic: a big map
    // would post hundreds of thousands.
    if (TWMap *m = map(); m && m->root().get() == this) {
        postRedrawRect(DelayedRedrawInRectNotification, m->getBoundingDrawingRectForAllGraphics());
        return;
    }
    GraphicList graphics;
    graphicsForBranchIntoArray(graphics, false, true, true);
    postDelayedRedraws(graphics);
}

void TWMapBranch::invalidateBranch(const Notification &)
{
    if (!NotificationCenter::defaultCenter().isObserved(DelayedRedrawInRectNotification))
        return;
    GraphicList graphics;
    graphicsForThisBranchOnlyIntoArray(graphics, false, true, true);
    postDelayedRedraws(graphics);
}

void TWMapBranch::redraw()
{
    // A drawn boundary keeps its path built for drawing; another branch's
    // path is built when asked.
    if (!hasBoundary() && !NotificationCenter::defaultCenter().isObserved(RedrawInRectNotification))
        return;
    const std::optional<Rect> path = layoutServices().boundaryPathBounds(*this);
    if (!path)
        return;
    const float grow = boundaryLineWidth();
    postRedrawRect(RedrawInRectNotification, path->insetBy(-grow, -grow));
}

// --- field getters ---

std::shared_ptr<TWGraphic> TWMapBranch::enclosedImage() const
{
    return s().enclosedImage;
}
int TWMapBranch::enclosedImageLayoutMode() const
{
    return s().enclosedImageLayoutMode;
}
std::optional<QString> TWMapBranch::soundFileName() const
{
    return s().soundFileName;
}
int TWMapBranch::soundFileReferenceMethod() const
{
    return s().soundFileReferenceMethod;
}
const TWMapBranch::AttachedTextList &TWMapBranch::attachedTextArray() const
{
    return s().attachedTextArray;
}
float TWMapBranch::textMaxWidth() const
{
    if (textMaxWidthSet())
        return s().textMaxWidth;
    if (const TWMap *m = map(); m && m->branchDisplaySettings().textMaxWidthSet)
        return m->branchDisplaySettings().textMaxWidth;
    return UnlimitedTextWidth;
}
float TWMapBranch::ownTextMaxWidth() const
{
    return s().textMaxWidth;
}
const TWMapBranch::HyperlinkList &TWMapBranch::hyperlinks() const
{
    return s().hyperlinks;
}
std::optional<QString> TWMapBranch::mmOid() const
{
    return s().mmOid;
}
std::optional<Color> TWMapBranch::boundaryLineColor() const
{
    return s().boundaryLineColor;
}
std::optional<Color> TWMapBranch::boundaryFillColor() const
{
    return s().boundaryFillColor;
}
int TWMapBranch::boundaryLineStyle() const
{
    return s().boundaryLineStyle;
}
float TWMapBranch::boundaryLineWidth() const
{
    return s().boundaryLineWidth;
}
float TWMapBranch::boundaryCurveRadius() const
{
    return s().boundaryCurveRadius;
}
int TWMapBranch::boundaryCornerStyle() const
{
    return s().boundaryCornerStyle;
}
float TWMapBranch::boundaryMargin() const
{
    return s().boundaryMargin;
}
bool TWMapBranch::boundaryInheritsLineColor() const
{
    return s().boundaryInheritsLineColor;
}
bool TWMapBranch::boundaryDrawsFill() const
{
    return s().boundaryDrawsFill;
}
bool TWMapBranch::boundaryDrawsLine() const
{
    return s().boundaryDrawsLine;
}
float TWMapBranch::overriddenChildRepel() const
{
    return s().overriddenChildRepel;
}
float TWMapBranch::overriddenChildSpacing() const
{
    return s().overriddenChildSpacing;
}
int TWMapBranch::overriddenChildrenColorMode() const
{
    return s().overriddenChildrenColorMode;
}
bool TWMapBranch::overridesRainbowAngle() const
{
    return s().overridesRainbowAngle;
}
float TWMapBranch::overriddenRainbowAngle() const
{
    return s().overriddenRainbowAngle;
}
bool TWMapBranch::hideChildrenOutlineNumbers() const
{
    return s().hideChildrenOutlineNumbers;
}
bool TWMapBranch::resetChildrenOutlineNumbers() const
{
    return s().resetChildrenOutlineNumbers;
}
const QStringList &TWMapBranch::childrenOutlineNumberFormatOverride() const
{
    return s().childrenOutlineNumberFormatOverride;
}
int TWMapBranch::checkBoxState() const
{
    return s().checkBoxState;
}
int TWMapBranch::priority() const
{
    return s().priority;
}
std::optional<CalendarDate> TWMapBranch::startDate() const
{
    return s().startDate;
}
std::optional<CalendarDate> TWMapBranch::endDate() const
{
    return s().endDate;
}
float TWMapBranch::percentageComplete() const
{
    return s().percentageComplete;
}
const QStringList &TWMapBranch::resourcesAllocated() const
{
    return s().resourcesAllocated;
}
float TWMapBranch::duration() const
{
    return s().duration;
}
int TWMapBranch::durationUnits() const
{
    return s().durationUnits;
}
const TWMapBranch::TrackedChangeList &TWMapBranch::trackedChanges() const
{
    return s().trackedChanges;
}
float TWMapBranch::textDistanceFromLeftEnd() const
{
    return s().textDistanceFromLeftEnd;
}
float TWMapBranch::textDistanceFromRightEnd() const
{
    return s().textDistanceFromRightEnd;
}
const QVariantMap &TWMapBranch::resourcesAllocatedTooltipInfo() const
{
    return c().resourcesAllocatedTooltipInfo;
}
QVariantMap &TWMapBranch::resourcesAllocatedTooltipInfoForUpdate()
{
    return caches().resourcesAllocatedTooltipInfo;
}
const QVariantList &TWMapBranch::hyperlinkTooltipInfo() const
{
    return c().hyperlinkTooltipInfo;
}
QVariantList &TWMapBranch::hyperlinkTooltipInfoForUpdate()
{
    return caches().hyperlinkTooltipInfo;
}
TWMapBranch::PointDictionary &TWMapBranch::childrenBoundaryPoints()
{
    return caches().childrenBoundaryPoints;
}
TWMapBranch::PointList &TWMapBranch::childrenBoundaryOutlinePoints()
{
    return caches().childrenBoundaryOutlinePoints;
}
TWMapBranch::OutlineRim &TWMapBranch::outlineRim()
{
    return caches().outlineRim;
}
TWMapBranch::PointDictionary &TWMapBranch::autolayoutChildrenBoundaryPoints()
{
    return caches().autolayoutChildrenBoundaryPoints;
}
TWMapBranch::PointList &TWMapBranch::autolayoutOwnPoints()
{
    return caches().autolayoutOwnPoints;
}
TWMapBranch::PointList &TWMapBranch::autolayoutChildrenBoundaryOutlinePoints()
{
    return caches().autolayoutChildrenBoundaryOutlinePoints;
}
float TWMapBranch::minAutolayoutY() const
{
    return c().minAutolayoutY;
}
void TWMapBranch::setMinAutolayoutY(float y)
{
    caches().minAutolayoutY = y;
}
float TWMapBranch::maxAutolayoutY() const
{
    return c().maxAutolayoutY;
}
void TWMapBranch::setMaxAutolayoutY(float y)
{
    caches().maxAutolayoutY = y;
}
Rect TWMapBranch::autolayoutBranchOriginalBounds() const
{
    return c().autolayoutBranchOriginalBounds;
}
void TWMapBranch::setAutolayoutBranchOriginalBounds(Rect bounds)
{
    caches().autolayoutBranchOriginalBounds = bounds;
}
Rect TWMapBranch::autolayoutBranchMovedBounds() const
{
    return c().autolayoutBranchMovedBounds;
}
void TWMapBranch::setAutolayoutBranchMovedBounds(Rect bounds)
{
    caches().autolayoutBranchMovedBounds = bounds;
}
std::shared_ptr<BezierPath> TWMapBranch::cachedBoundaryPath() const
{
    return c().cachedBoundaryPath;
}
bool TWMapBranch::holdsBoundaryOutline() const
{
    // Asked of every branch of a large map: no caches are made for it.
    const Caches &held = c();
    return held.cachedBoundaryPath || !held.childrenBoundaryPoints.isEmpty() ||
           !held.childrenBoundaryOutlinePoints.isEmpty();
}
void TWMapBranch::setCachedBoundaryPath(const std::shared_ptr<BezierPath> &path)
{
    if (path || m_caches)
        caches().cachedBoundaryPath = path;
}

const std::shared_ptr<TWBoundaryProxy> &TWMapBranch::boundaryProxy()
{
    Settings &settings = this->settings();
    if (!settings.boundaryProxy) {
        settings.boundaryProxy = TWGraphic::make<TWBoundaryProxy>();
        settings.boundaryProxy->setBranch(this);
    }
    return settings.boundaryProxy;
}

bool TWMapBranch::hasBoundaryProxy() const
{
    return m_settings && m_settings->boundaryProxy;
}

QString TWMapBranch::screenWriterText() const
{
    return s().screenWriterText;
}
bool TWMapBranch::printScreenWriterText() const
{
    return s().printScreenWriterText;
}
TWMapBranch::Range TWMapBranch::screenWriterSelectedRange() const
{
    return s().screenWriterSelectedRange;
}
bool TWMapBranch::scenesAndCharactersValid() const
{
    return c().scenesAndCharactersValid;
}
QVariantList &TWMapBranch::scenesArray()
{
    return caches().scenesArray;
}
QVariantList &TWMapBranch::charactersArray()
{
    return caches().charactersArray;
}

void TWMapBranch::beginEditingEnclosedTextArea()
{
    if (TWMap *m = map()) {
        m->removeAllSelectedGraphics();
        if (m_enclosedTextArea && m_enclosedTextArea->canBeSelected())
            m->insertObjectInSelectedGraphicsAtIndex(m_enclosedTextArea,
                                                     m->countOfSelectedGraphics());
    }
    if (m_enclosedTextArea)
        m_enclosedTextArea->setIsEditing(true);
}
