#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "platform/GraphicNumberSet.h"
#include "platform/NotificationCenter.h"
#include "platform/ToggleItem.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QDebug>
#include <QHash>
#include <QScopeGuard>
#include <functional>
#include <optional>

// The common shape of a setter kept in the settings record: nothing for an
// unchanged value, else the inverse is registered and the value stored.
#define TW_SETTING_SETTER(Setter, Type, member)                                                    \
    void TWMapBranch::Setter(Type value)                                                           \
    {                                                                                              \
        if (s().member == value)                                                                   \
            return;                                                                                \
        const auto old = s().member;                                                               \
        registerUndo([old](TWMapBranch &b) { b.Setter(old); });                                    \
        settings().member = value;                                                                 \
        SETTER_EFFECT                                                                              \
    }

#define SETTER_EFFECT
TW_SETTING_SETTER(setEnclosedImageLayoutMode, int, enclosedImageLayoutMode)
TW_SETTING_SETTER(setSoundFileName, const std::optional<QString> &, soundFileName)
TW_SETTING_SETTER(setSoundFileReferenceMethod, int, soundFileReferenceMethod)
TW_SETTING_SETTER(setTextMaxWidth, float, textMaxWidth)
TW_SETTING_SETTER(setMmOid, const std::optional<QString> &, mmOid)
TW_SETTING_SETTER(setOverriddenChildRepel, float, overriddenChildRepel)
TW_SETTING_SETTER(setOverriddenChildSpacing, float, overriddenChildSpacing)
TW_SETTING_SETTER(setOverriddenChildrenColorMode, int, overriddenChildrenColorMode)
TW_SETTING_SETTER(setOverridesRainbowAngle, bool, overridesRainbowAngle)
TW_SETTING_SETTER(setOverriddenRainbowAngle, float, overriddenRainbowAngle)
TW_SETTING_SETTER(setTextDistanceFromLeftEnd, float, textDistanceFromLeftEnd)
TW_SETTING_SETTER(setTextDistanceFromRightEnd, float, textDistanceFromRightEnd)
TW_SETTING_SETTER(setResourcesAllocated, const QStringList &, resourcesAllocated)
TW_SETTING_SETTER(setScreenWriterText, const QString &, screenWriterText)
TW_SETTING_SETTER(setPrintScreenWriterText, bool, printScreenWriterText)
TW_SETTING_SETTER(setScreenWriterSelectedRange, Range, screenWriterSelectedRange)
#undef SETTER_EFFECT

#define SETTER_EFFECT redraw();
TW_SETTING_SETTER(setBoundaryLineColor, const std::optional<Color> &, boundaryLineColor)
TW_SETTING_SETTER(setBoundaryFillColor, const std::optional<Color> &, boundaryFillColor)
TW_SETTING_SETTER(setBoundaryLineStyle, int, boundaryLineStyle)
TW_SETTING_SETTER(setBoundaryInheritsLineColor, bool, boundaryInheritsLineColor)
TW_SETTING_SETTER(setBoundaryDrawsFill, bool, boundaryDrawsFill)
TW_SETTING_SETTER(setBoundaryDrawsLine, bool, boundaryDrawsLine)
#undef SETTER_EFFECT

#define SETTER_EFFECT                                                                              \
    layoutServices().invalidateBoundary(*this);                                                    \
    if (!TWBoundaryRebuildFollows::covers(*this))                                                  \
        layoutServices().recalculateBoundary(*this);                                               \
    redraw();
TW_SETTING_SETTER(setBoundaryCurveRadius, float, boundaryCurveRadius)
TW_SETTING_SETTER(setBoundaryCornerStyle, int, boundaryCornerStyle)
#undef SETTER_EFFECT

namespace {
thread_local const TWMapBranch *t_boundaryRebuildFollows = nullptr;
} // namespace

TWBoundaryRebuildFollows::TWBoundaryRebuildFollows(const TWMapBranch &branch)
    : m_outer(t_boundaryRebuildFollows)
{
    t_boundaryRebuildFollows = &branch;
}

TWBoundaryRebuildFollows::~TWBoundaryRebuildFollows()
{
    t_boundaryRebuildFollows = m_outer;
}

bool TWBoundaryRebuildFollows::covers(const TWMapBranch &branch)
{
    return t_boundaryRebuildFollows == &branch;
}
#undef TW_SETTING_SETTER

// --- setters of the core fields ---

void TWMapBranch::graphicReplaced(const std::shared_ptr<TWGraphic> &old,
                                  const std::shared_ptr<TWGraphic> &now) const
{
    if (TWMap *m = TWMap::mapIndexing(*this)) {
        m->graphicLeft(old.get());
        m->graphicJoined(now);
    }
}

void TWMapBranch::setMainGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic == m_mainGraphic)
        return;
    std::shared_ptr<TWGraphic> old = m_mainGraphic;
    registerUndo([old](TWMapBranch &b) { b.setMainGraphic(old); });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    if (old && center.isObserved(GraphicNeedsRedrawNotification))
        center.post(GraphicNeedsRedrawNotification, old->notificationObject());
    m_mainGraphic = graphic;
    if (old && graphic) {
        shapeMoved(old->bounds(), graphic->bounds());
    } else {
        if (TWMapBranch *up = parent())
            up->childOrderMayHaveChanged();
        subtreeOrderMayHaveChanged();
    }
    removeGraphicOrderCache();
    graphicReplaced(old, graphic);
    if (graphic && center.isObserved(GraphicNeedsRedrawNotification))
        center.post(GraphicNeedsRedrawNotification, graphic->notificationObject());
}

void TWMapBranch::setEnclosedImage(const std::shared_ptr<TWGraphic> &image)
{
    if (image == s().enclosedImage)
        return;
    std::shared_ptr<TWGraphic> old = s().enclosedImage;
    registerUndo([old](TWMapBranch &b) { b.setEnclosedImage(old); });
    settings().enclosedImage = image;
    removeGraphicOrderCache();
    graphicReplaced(old, image);
}

void TWMapBranch::setEnclosedTextArea(const std::shared_ptr<TWTextArea> &textArea)
{
    if (textArea == m_enclosedTextArea)
        return;
    std::shared_ptr<TWTextArea> old = m_enclosedTextArea;
    registerUndo([old](TWMapBranch &b) { b.setEnclosedTextArea(old); });
    m_enclosedTextArea = textArea;
    removeGraphicOrderCache();
    graphicReplaced(old, textArea);
}

void TWMapBranch::setBranchNumber(int number)
{
    if (number == m_branchNumber)
        return;
    const int old = m_branchNumber;
    registerUndo([old](TWMapBranch &b) { b.setBranchNumber(old); });
    m_branchNumber = number;
}

void TWMapBranch::setStoredBranchNumber(int number)
{
    m_branchNumber = number;
    GraphicNumberSet::shared().registerNumber(number);
}

void TWMapBranch::setConnectionGraphic(const std::shared_ptr<TWConnectionGraphic> &connection)
{
    if (connection == m_connectionGraphic)
        return;
    std::shared_ptr<TWConnectionGraphic> old = m_connectionGraphic;
    registerUndo([old](TWMapBranch &b) { b.setConnectionGraphic(old); });
    m_connectionGraphic = connection;
    removeGraphicOrderCache();
    graphicReplaced(old, connection);
}

void TWMapBranch::setParent(TWMapBranch *parent)
{
    if (parent == this->parent())
        return;
    std::shared_ptr<TWMapBranch> old = parentPointer();
    registerUndo([old](TWMapBranch &b) { b.setParent(old.get()); });
    setPrimitiveParent(parent);
}

void TWMapBranch::setPrimitiveParent(TWMapBranch *parent)
{
    if (parent)
        m_parent = parent->weak_from_this();
    else
        m_parent.reset();
    // Only a parent owned by a shared pointer counts, as before.
    m_parentBranch = m_parent.expired() ? nullptr : parent;
    TWGraphic::inheritanceChanged();
}

void TWMapBranch::setMap(TWMap *map)
{
    std::shared_ptr<TWMap> old = mapPointer();
    if (map == old.get())
        return;
    UndoManager *newUndo = map ? map->undoManager() : nullptr;
    UndoManager *oldUndo = old ? old->undoManager() : nullptr;
    const auto records = [](const UndoManager *u) { return u && u->isUndoRegistrationEnabled(); };
    if (records(newUndo) || records(oldUndo)) {
        if (std::shared_ptr<TWMapBranch> self = weak_from_this().lock()) {
            auto inverse = [self, old] { self->setMap(old.get()); };
            UndoManager::registerUndo(newUndo, inverse);
            UndoManager::registerUndo(oldUndo, inverse);
        }
    }
    setPrimitiveMap(map);
    subscribeToNotifications();
}

void TWMapBranch::setPrimitiveMap(TWMap *map)
{
    if (map)
        m_map = map->weak_from_this();
    else
        m_map.reset();
    m_mapPointer = map;
    TWGraphic::inheritanceChanged();
}

void TWMapBranch::setTextMaxWidthSet(bool set)
{
    if (set == m_flags.textMaxWidthSet)
        return;
    const bool old = m_flags.textMaxWidthSet;
    registerUndo([old](TWMapBranch &b) { b.setTextMaxWidthSet(old); });
    m_flags.textMaxWidthSet = set;
}

void TWMapBranch::setCachedBounds(Rect bounds)
{
    if (bounds == m_cachedBounds)
        return;
    const Rect old = m_cachedBounds;
    registerUndo([old](TWMapBranch &b) { b.setCachedBounds(old); });
    m_cachedBounds = bounds;
}

void TWMapBranch::setExpandedInOutlineView(bool expanded)
{
    if (expanded == m_flags.expandedInOutlineView)
        return;
    const bool old = m_flags.expandedInOutlineView;
    registerUndo([old](TWMapBranch &b) { b.setExpandedInOutlineView(old); });
    m_flags.expandedInOutlineView = expanded;
}

void TWMapBranch::setLoading(bool loading)
{
    if (loading == m_flags.loading)
        return;
    const bool old = m_flags.loading;
    registerUndo([old](TWMapBranch &b) { b.setLoading(old); });
    m_flags.loading = loading;
}

void TWMapBranch::setNeedsMakeNaturalSize(bool needs)
{
    m_flags.needsMakeNaturalSize = needs;
}

void TWMapBranch::setScenesAndCharactersValid(bool valid)
{
    if (valid != c().scenesAndCharactersValid)
        caches().scenesAndCharactersValid = valid;
}

void TWMapBranch::setChildrenConnectionStyle(int style)
{
    if (style == m_childrenConnectionStyle)
        return;
    const int old = m_childrenConnectionStyle;
    registerUndo([old](TWMapBranch &b) { b.setChildrenConnectionStyle(old); });
    m_childrenConnectionStyle = style;
}

void TWMapBranch::setChildrenConnectionSide(int side)
{
    if (side == m_childrenConnectionSide)
        return;
    const int old = m_childrenConnectionSide;
    registerUndo([old](TWMapBranch &b) { b.setChildrenConnectionSide(old); });
    m_childrenConnectionSide = side;
}

// --- boundary setters with layout effects ---

void TWMapBranch::setHasBoundary(bool has)
{
    if (has == m_flags.hasBoundary)
        return;
    const bool old = m_flags.hasBoundary;
    registerUndo([old](TWMapBranch &b) { b.setHasBoundary(old); });
    m_flags.hasBoundary = has;
    invalidateSubtreeDrawingExtent();
    TWMapLayoutServices &services = layoutServices();
    services.invalidateBoundary(*this);
    if (m_caches)
        m_caches->childrenBoundaryPoints.clear();
    if (TWMap *m = map())
        m->autoArangeWithMovedBranches({shared_from_this()});
    services.recalculateBoundary(*this);
    redraw();
}

void TWMapBranch::setBoundaryLineWidth(float width)
{
    if (width == s().boundaryLineWidth)
        return;
    const float old = s().boundaryLineWidth;
    registerUndo([old](TWMapBranch &b) { b.setBoundaryLineWidth(old); });
    redraw();
    settings().boundaryLineWidth = width;
    redraw();
}

void TWMapBranch::setBoundaryMargin(float margin)
{
    if (margin == s().boundaryMargin)
        return;
    const float old = s().boundaryMargin;
    registerUndo([old](TWMapBranch &b) { b.setBoundaryMargin(old); });
    redraw();
    settings().boundaryMargin = margin;
    TWMapLayoutServices &services = layoutServices();
    services.invalidateBoundary(*this);
    if (m_caches)
        m_caches->childrenBoundaryPoints.clear();
    if (TWMap *m = map(); m && hasBoundary())
        m->autoArangeWithMovedBranches({shared_from_this()});
    services.recalculateBoundary(*this);
    redraw();
}

// --- outline numbers ---

void TWMapBranch::setHideChildrenOutlineNumbers(bool hide)
{
    if (hide == s().hideChildrenOutlineNumbers)
        return;
    const bool old = s().hideChildrenOutlineNumbers;
    registerUndo([old](TWMapBranch &b) { b.setHideChildrenOutlineNumbers(old); });
    nameUndoAction("Show/Hide Children Outline Numbers");
    settings().hideChildrenOutlineNumbers = hide;
    if (TWMap *m = map())
        m->recalculateOutlineNumbers();
    postBranch(SubtreeNeedsRedrawNotification);
    postBranch(HideChildrenOutlineNumbersNotification);
}

void TWMapBranch::setResetChildrenOutlineNumbers(bool reset)
{
    if (reset == s().resetChildrenOutlineNumbers)
        return;
    const bool old = s().resetChildrenOutlineNumbers;
    registerUndo([old](TWMapBranch &b) { b.setResetChildrenOutlineNumbers(old); });
    nameUndoAction("Reset Children Outline Numbers");
    settings().resetChildrenOutlineNumbers = reset;
    if (TWMap *m = map())
        m->recalculateOutlineNumbers();
    postBranch(SubtreeNeedsRedrawNotification);
    postBranch(ResetChildrenOutlineNumbersNotification);
}

void TWMapBranch::setChildrenOutlineNumberFormatOverride(const QStringList &formats)
{
    if (formats == s().childrenOutlineNumberFormatOverride)
        return;
    const QStringList old = s().childrenOutlineNumberFormatOverride;
    registerUndo([old](TWMapBranch &b) { b.setChildrenOutlineNumberFormatOverride(old); });
    nameUndoAction("Outline format setting change");
    settings().childrenOutlineNumberFormatOverride = formats;
    if (TWMap *m = map())
        m->recalculateOutlineNumbers();
    postBranch(SubtreeNeedsRedrawNotification);
    postBranch(BranchOutlineFormatSettingChangedNotification);
}

std::shared_ptr<TWEnclosedGraphic> TWMapBranch::outlineNumberLabel(int *index) const
{
    for (int i = 0; i < m_otherEnclosedGraphics.size(); ++i) {
        if (m_otherEnclosedGraphics.at(i)->name() == OutlineNumberKey) {
            if (index)
                *index = i;
            return m_otherEnclosedGraphics.at(i);
        }
    }
    return nullptr;
}

namespace {

// Adding a branch among the root's children renumbers every branch after it,
// thousands on a big map, and each takes a number another branch had: the
// size of a number label is kept, per font, once measured.
class NumberLabelSizes
{
public:
    Size sizeOf(TWTextArea &label, const QString &number, const Font &font)
    {
        // The label holds the number in the one font; what else decides
        // its size is its padding (labels read and labels made differ).
        if (!(font == m_font) || m_sizes.size() >= MostKept) {
            m_sizes.clear();
            m_font = font;
        }
        const Key key{number, label.lineFragmentPadding()};
        if (const auto known = m_sizes.constFind(key); known != m_sizes.cend())
            return *known;
        const Size measured = label.requiredSizeForWidth(TWMapBranch::UnlimitedTextWidth);
        m_sizes.insert(key, measured);
        return measured;
    }

    // The size a label holding `number` in `font` has, taken when the
    // label passes its number on (it may have been read, not measured).
    void remember(const QString &number, float padding, const Font &font, Size size)
    {
        if (!(font == m_font)) {
            if (!m_sizes.isEmpty())
                return;
            m_font = font;
        }
        if (m_sizes.size() < MostKept)
            m_sizes.insert(Key{number, padding}, size);
    }

private:
    struct Key
    {
        QString number;
        float padding;
        friend bool operator==(const Key &a, const Key &b)
        {
            return a.padding == b.padding && a.number == b.number;
        }
        friend size_t qHash(const Key &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.number, key.padding);
        }
    };
    static constexpr qsizetype MostKept = 1 << 20;
    Font m_font;
    QHash<Key, Size> m_sizes;
};

NumberLabelSizes &numberLabelSizes()
{
    static NumberLabelSizes *sizes = new NumberLabelSizes; // main thread only, as measuring
    return *sizes;
}

Font numberLabelFont(const TWMap *map)
{
    return map && map->branchDisplaySettings().outlineFont
               ? *map->branchDisplaySettings().outlineFont
               : Font(TWPreferences::UserFontName, TWPreferences::UserFontDefaultSize);
}

AttributedString numberLabelText(const QString &number, const Font &font)
{
    return AttributedString(number, {{NSFontAttributeName, QVariant::fromValue(font)}});
}

} // namespace

void TWMapBranch::setOutlineNumber(const QString &number)
{
    QString old;
    if (assignOutlineNumber(number, &old))
        registerUndo([old](TWMapBranch &b) { b.setOutlineNumber(old); });
}

bool TWMapBranch::assignOutlineNumber(const QString &number, QString *old)
{
    takeUpHandedDownNumber();
    // Set here, the number is what its parent last handed down would make of it.
    m_takenUpStamp = m_parentBranch ? m_parentBranch->m_handedDownStamp : 0;
    // A hidden number (null) differs from the root's empty one.
    if (number == m_outlineNumber && number.isNull() == m_outlineNumber.isNull()) {
        if (m_outlineNumberLabelPending && showsOutlineNumberLabel())
            materializeOutlineNumberLabel();
        return false;
    }
    // The text of a hidden label waits; a label is made only where the
    // number is shown (a hidden one read with the document stays). A number
    // that had a label still has it.
    const bool labelStays = !number.isEmpty() && !m_outlineNumber.isEmpty();
    if (labelStays)
        passNumberLabelSizeOn();
    if (old)
        *old = m_outlineNumber;
    m_outlineNumber = number;
    m_outlineNumberLabelPending = true;
    if (!labelStays || showsOutlineNumberLabel())
        materializeOutlineNumberLabel();
    return true;
}

void TWMapBranch::passNumberLabelSizeOn()
{
    // The number passed on is soon another branch's: its label's size
    // spares measuring that one.
    if (m_outlineNumberLabelPending)
        return;
    const std::shared_ptr<TWEnclosedGraphic> record = outlineNumberLabel();
    const auto *label = record ? dynamic_cast<const TWTextArea *>(record->graphic().get()) : nullptr;
    const Font font = numberLabelFont(map());
    if (label && !label->bounds().isEmpty() &&
        label->text() == numberLabelText(m_outlineNumber, font))
        numberLabelSizes().remember(m_outlineNumber, label->lineFragmentPadding(), font,
                                    label->bounds().size);
}

void TWMapBranch::materializeOutlineNumberLabel()
{
    takeUpHandedDownNumber();
    if (!m_outlineNumberLabelPending)
        return;
    int index = -1;
    const std::shared_ptr<TWEnclosedGraphic> record = outlineNumberLabel(&index);
    // A number not shown gets no label, neither in the map nor in the file:
    // it is made when the number is shown.
    if (!record && !m_outlineNumber.isEmpty() && !showsOutlineNumberLabel())
        return;
    m_outlineNumberLabelPending = false;
    UndoManager *undo = undoManager();
    if (undo)
        undo->disableUndoRegistration();
    const auto enable = qScopeGuard([undo] {
        if (undo)
            undo->enableUndoRegistration();
    });
    const QString &number = m_outlineNumber;
    const float oldWidth = totalWidthToAllowForOtherEnclosedGraphics();
    if (number.isEmpty()) {
        if (record) {
            removeObjectFromOtherEnclosedGraphicsAtIndex(index);
            removeGraphicOrderCache();
        }
        return;
    }
    std::shared_ptr<TWTextArea> label =
        record ? std::dynamic_pointer_cast<TWTextArea>(record->graphic()) : nullptr;
    if (!label) {
        label = TWGraphic::make<TWTextArea>(Rect(0, 0, 50, 50));
        label->setLineFragmentPadding(0);
        label->setBranch(this);
        removeGraphicOrderCache();
        // A record read with some other graphic gets the text label it is named for.
        if (record) {
            const std::shared_ptr<TWGraphic> previous = record->graphic();
            record->setGraphic(label);
            graphicReplaced(previous, label);
        }
    }
    const Font font = numberLabelFont(map());
    const AttributedString text = numberLabelText(number, font);
    // A hidden number is not drawn: its changes mark nothing for redrawing.
    std::optional<TWGraphic::UnseenChanges> unseen;
    if (!showsOutlineNumberLabel())
        unseen.emplace(*label);
    // A label read with the document that already says this keeps the size
    // it was saved with: opening a numbered map measures no number again.
    const bool kept = label->text() == text && !label->bounds().isEmpty();
    Size size = kept ? label->bounds().size : Size();
    label->setText(text);
    if (!kept)
        size = numberLabelSizes().sizeOf(*label, number, font);
    label->setDrawsFill(false);
    label->setDrawsShadow(false);
    label->setDrawsStroke(false);
    label->setBounds(Rect(0, 0, size.width, size.height));
    if (record)
        layoutServices().repositionOtherEnclosedGraphicsFromOldWidth(*this, oldWidth);
    else
        insertObjectInOtherEnclosedGraphicsAtIndex(
            std::make_shared<TWEnclosedGraphic>(OutlineNumberKey, std::nullopt, label), 0);
}

// --- collapsing children ---

void TWMapBranch::setChildrenHidden(bool hidden)
{
    if (hidden == m_flags.childrenHidden)
        return;
    const bool old = m_flags.childrenHidden;
    registerUndo([old](TWMapBranch &b) { b.setChildrenHidden(old); });
    // While the children still count as visible, so the redraw covers them.
    if (hidden)
        postBranch(SubtreeNeedsRedrawNotification);
    m_flags.childrenHidden = hidden;
    TWMap *m = map();
    if (hidden) {
        nameUndoAction("Hide Children");
        postBranch(HideChildrenNotification);
        NotificationCenter::defaultCenter().post(EndEditingTextNotification,
                                                 m ? NotificationObject(m->shared_from_this())
                                                   : NotificationObject());
    } else {
        nameUndoAction("Show Children");
        postBranch(ShowChildrenNotification);
        postBranch(SubtreeNeedsRedrawNotification);
    }
    removeGraphicOrderCache();
    if (m) {
        for (int i = m->countOfSelectedGraphics() - 1; i >= 0; --i) {
            TWMapBranch *owner = m->selectedGraphics().at(i)->branch();
            if (owner && owner->hidden())
                m->removeObjectFromSelectedGraphicsAtIndex(i);
        }
    }
    TWMapLayoutServices &services = layoutServices();
    BranchList subtree;
    buildBranchArray(subtree);
    for (int i = 1; i < subtree.size(); ++i) {
        TWMapBranch &descendant = *subtree.at(i);
        if (descendant.hidden())
            services.removeChildFromBoundary(descendant, descendant);
        else
            services.updateBoundaryForChangedChild(descendant, descendant);
    }
    if (m) {
        m->autoArangeWithMovedBranches({shared_from_this()});
        for (const std::shared_ptr<TWMapBranch> &branch : m->allBranches()) {
            services.invalidateBoundary(*branch);
            if (branch->connectionGraphic())
                branch->connectionGraphic()->updateBounds();
        }
    }
}

// --- text position ---

void TWMapBranch::setTextRelativePosition(int position)
{
    if (position == m_textRelativePosition)
        return;
    const int old = m_textRelativePosition;
    registerUndo([old](TWMapBranch &b) { b.setTextRelativePosition(old); });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    if (m_mainGraphic)
        center.post(GraphicNeedsRedrawNotification, m_mainGraphic->notificationObject());
    const float oldWidth = totalWidthToAllowForOtherEnclosedGraphics();
    m_textRelativePosition = position;
    if (!m_mainGraphic || !m_enclosedTextArea)
        return;

    const Rect t = m_enclosedTextArea->bounds();
    const Rect shape = m_mainGraphic->bounds();
    const bool circle = m_mainGraphic->className() == QLatin1String("TWCircle");
    float height = shape.height();
    if ((position == 1 || position == 3) && circle && t.height() >= shape.height() - 12) {
        height = t.height() + 12;
        m_mainGraphic->setBounds(Rect(shape.x(), shape.y(), shape.width(), height));
    }
    float y = t.y();
    if (m_mainGraphic->getTextAlignmentMode() == 0 && !enclosedImage())
        y = shape.y() - 3 - t.height();
    else if (position == 2)
        y = shape.y() + height / 2 - t.height() / 2;
    else if (position == 3)
        y = shape.y() + height - 3 - t.height();
    else if (position == 1)
        y = shape.y() + 3;
    m_enclosedTextArea->setBounds(Rect(t.x(), y, t.width(), t.height()));
    layoutServices().repositionOtherEnclosedGraphicsFromOldWidth(*this, oldWidth);
    if (circle) {
        m_mainGraphic->setCachedBezierPath(nullptr);
        invalidateIncomingAndOutgoingConnectionGraphics();
    }
    center.post(GraphicNeedsRedrawNotification, m_mainGraphic->notificationObject());
}

// --- the primary attached text (bound to text fields) ---

std::shared_ptr<const AttributedString> TWMapBranch::primaryAttachedText() const
{
    const AttachedTextList &texts = s().attachedTextArray;
    return texts.isEmpty() ? nullptr : texts.first()->text();
}

void TWMapBranch::setPrimaryAttachedText(std::shared_ptr<const AttributedString> text)
{
    const bool empty = !text || text->length() == 0;
    const auto widen = [this](float by) {
        if (!m_mainGraphic)
            return;
        const Rect bounds = m_mainGraphic->bounds();
        m_mainGraphic->setBounds(
            Rect(bounds.x(), bounds.y(), bounds.width() + by, bounds.height()));
    };
    if (empty && countOfAttachedTextArray() > 0) {
        removeObjectFromAttachedTextArrayAtIndex(0);
        widen(-IconSlotWidth);
        postBranch(BranchNeedsRedrawNotification);
    } else if (countOfAttachedTextArray() > 0) {
        objectInAttachedTextArrayAtIndex(0)->setText(std::move(text));
    } else {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, undoManager());
        insertObjectInAttachedTextArrayAtIndex(attached, 0);
        widen(IconSlotWidth);
        postBranch(BranchNeedsRedrawNotification);
        attached->setText(std::move(text));
    }
}

// --- check boxes ---

void TWMapBranch::setShowCheckBox(bool show)
{
    if (show == m_flags.showCheckBox)
        return;
    const bool old = m_flags.showCheckBox;
    registerUndo([old](TWMapBranch &b) { b.setShowCheckBox(old); });
    m_flags.showCheckBox = show;
    refit();
    postBranch(BranchNeedsRedrawNotification);
}

void TWMapBranch::setCheckBoxState(int state)
{
    if (state == s().checkBoxState)
        return;
    const int old = s().checkBoxState;
    registerUndo([old](TWMapBranch &b) { b.setCheckBoxState(old); });
    settings().checkBoxState = state;
    const TWMap *m = map();
    if (m && m->branchDisplaySettings().automaticCheckBoxes && m->root())
        NotificationCenter::defaultCenter().post(SubtreeNeedsRedrawNotification,
                                                 m->root()->notificationObject());
    else
        postBranch(BranchNeedsRedrawNotification);
}

// --- key-value coding ---

namespace {

struct KeyAccess
{
    std::function<QVariant(const TWMapBranch &)> get;
    std::function<void(TWMapBranch &, const QVariant &)> set;
};

template <class T>
KeyAccess access(T (TWMapBranch::*getter)() const, void (TWMapBranch::*setter)(T))
{
    return {[getter](const TWMapBranch &b) { return QVariant::fromValue((b.*getter)()); },
            [setter](TWMapBranch &b, const QVariant &v) { (b.*setter)(v.value<T>()); }};
}

// Derived keys: read only.
template <class T> KeyAccess access(T (TWMapBranch::*getter)() const)
{
    return {[getter](const TWMapBranch &b) { return QVariant::fromValue((b.*getter)()); }, {}};
}

const QHash<QString, KeyAccess> &keyTable()
{
    static const QHash<QString, KeyAccess> table = {
        {QStringLiteral("childrenHidden"),
         access(&TWMapBranch::childrenHidden, &TWMapBranch::setChildrenHidden)},
        {QStringLiteral("textMaxWidthSet"),
         access(&TWMapBranch::textMaxWidthSet, &TWMapBranch::setTextMaxWidthSet)},
        {QStringLiteral("expandedInOutlineView"),
         access(&TWMapBranch::expandedInOutlineView, &TWMapBranch::setExpandedInOutlineView)},
        {QStringLiteral("hasBoundary"),
         access(&TWMapBranch::hasBoundary, &TWMapBranch::setHasBoundary)},
        {QStringLiteral("boundaryInheritsLineColor"),
         access(&TWMapBranch::boundaryInheritsLineColor,
                &TWMapBranch::setBoundaryInheritsLineColor)},
        {QStringLiteral("boundaryDrawsFill"),
         access(&TWMapBranch::boundaryDrawsFill, &TWMapBranch::setBoundaryDrawsFill)},
        {QStringLiteral("boundaryDrawsLine"),
         access(&TWMapBranch::boundaryDrawsLine, &TWMapBranch::setBoundaryDrawsLine)},
        {QStringLiteral("overridesRainbowAngle"),
         access(&TWMapBranch::overridesRainbowAngle, &TWMapBranch::setOverridesRainbowAngle)},
        {QStringLiteral("hideChildrenOutlineNumbers"),
         access(&TWMapBranch::hideChildrenOutlineNumbers,
                &TWMapBranch::setHideChildrenOutlineNumbers)},
        {QStringLiteral("resetChildrenOutlineNumbers"),
         access(&TWMapBranch::resetChildrenOutlineNumbers,
                &TWMapBranch::setResetChildrenOutlineNumbers)},
        {QStringLiteral("showCheckBox"),
         access(&TWMapBranch::showCheckBox, &TWMapBranch::setShowCheckBox)},
        {QStringLiteral("printScreenWriterText"),
         access(&TWMapBranch::printScreenWriterText, &TWMapBranch::setPrintScreenWriterText)},
        {QStringLiteral("checkBoxState"),
         access(&TWMapBranch::checkBoxState, &TWMapBranch::setCheckBoxState)},
        {QStringLiteral("priority"), access(&TWMapBranch::priority, &TWMapBranch::setPriority)},
        {QStringLiteral("textRelativePosition"),
         access(&TWMapBranch::textRelativePosition, &TWMapBranch::setTextRelativePosition)},
        {QStringLiteral("childrenConnectionStyle"),
         access(&TWMapBranch::childrenConnectionStyle, &TWMapBranch::setChildrenConnectionStyle)},
        {QStringLiteral("childrenConnectionSide"),
         access(&TWMapBranch::childrenConnectionSide, &TWMapBranch::setChildrenConnectionSide)},
        {QStringLiteral("boundaryLineWidth"),
         access(&TWMapBranch::boundaryLineWidth, &TWMapBranch::setBoundaryLineWidth)},
        {QStringLiteral("boundaryMargin"),
         access(&TWMapBranch::boundaryMargin, &TWMapBranch::setBoundaryMargin)},
        {QStringLiteral("boundaryCurveRadius"),
         access(&TWMapBranch::boundaryCurveRadius, &TWMapBranch::setBoundaryCurveRadius)},
        {QStringLiteral("boundaryCornerStyle"),
         access(&TWMapBranch::boundaryCornerStyle, &TWMapBranch::setBoundaryCornerStyle)},
        {QStringLiteral("boundaryLineStyle"),
         access(&TWMapBranch::boundaryLineStyle, &TWMapBranch::setBoundaryLineStyle)},
        {QStringLiteral("overriddenChildRepel"),
         access(&TWMapBranch::overriddenChildRepel, &TWMapBranch::setOverriddenChildRepel)},
        {QStringLiteral("overriddenChildSpacing"),
         access(&TWMapBranch::overriddenChildSpacing, &TWMapBranch::setOverriddenChildSpacing)},
        {QStringLiteral("overriddenChildrenColorMode"),
         access(&TWMapBranch::overriddenChildrenColorMode,
                &TWMapBranch::setOverriddenChildrenColorMode)},
        {QStringLiteral("overriddenRainbowAngle"),
         access(&TWMapBranch::overriddenRainbowAngle, &TWMapBranch::setOverriddenRainbowAngle)},
        {QStringLiteral("percentageComplete"),
         access(&TWMapBranch::percentageComplete, &TWMapBranch::setPercentageComplete)},
        {QStringLiteral("duration"), access(&TWMapBranch::duration, &TWMapBranch::setDuration)},
        {QStringLiteral("durationUnits"),
         access(&TWMapBranch::durationUnits, &TWMapBranch::setDurationUnits)},
        {QStringLiteral("startDateEnabled"),
         access(&TWMapBranch::startDateEnabled, &TWMapBranch::setStartDateEnabled)},
        {QStringLiteral("endDateEnabled"),
         access(&TWMapBranch::endDateEnabled, &TWMapBranch::setEndDateEnabled)},
        {QStringLiteral("hasPriority"), access(&TWMapBranch::hasPriority)},
        {QStringLiteral("hasCompletion"), access(&TWMapBranch::hasCompletion)},
        {QStringLiteral("isComplete"), access(&TWMapBranch::isComplete)},
        {QStringLiteral("hasSchedule"), access(&TWMapBranch::hasSchedule)},
        {QStringLiteral("isInProgress"),
         {[](const TWMapBranch &b) { return QVariant(b.isInProgress()); }, {}}},
        {QStringLiteral("isOverdue"),
         {[](const TWMapBranch &b) { return QVariant(b.isOverdue()); }, {}}},
        {QStringLiteral("hasDuration"), access(&TWMapBranch::hasDuration)},
        {QStringLiteral("hasAllocatedResources"), access(&TWMapBranch::hasAllocatedResources)},
    };
    return table;
}

} // namespace

QVariant TWMapBranch::valueForKey(const QString &key) const
{
    const auto it = keyTable().constFind(key);
    return it == keyTable().cend() ? QVariant() : it->get(*this);
}

bool TWMapBranch::setValueForKey(const QVariant &value, const QString &key)
{
    const auto it = keyTable().constFind(key);
    if (it == keyTable().cend() || !it->set || !value.isValid())
        return false;
    it->set(*this, value);
    return true;
}

void TWMapBranch::toggle(QObject *sender)
{
    QAction *item = toggledItem(sender);
    if (!item)
        return;
    const QString key = item->data().toString();
    setValueForKey(!valueForKey(key).toBool(), key);
}
