#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "model/TWBranchOrdering.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMap_Private.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"

#include <QDebug>
#include <QHash>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <functional>

using TWMapDetail::boxed;

// --- plumbing ---

void TWMap::registerSetterUndo(const QString &key, const QVariant &old)
{
    registerUndo([key, old](TWMap &map) { map.setMapValue(old, key); });
}

void TWMap::nameUndoAction(const char *name, const char *table)
{
    UndoManager *undo = undoManager();
    // Undoing and redoing keep the name of the step being reversed.
    if (!name || !undo || !undo->isUndoRegistrationEnabled() || undo->isUndoing() ||
        undo->isRedoing())
        return;
    undo->setActionName(
        TWLocalizedString(table ? table : StringTable::DadoZiz, QString::fromUtf8(name)));
}

template <class T>
bool TWMap::setIfChanged(T &field, const T &value, const char *key, const char *actionName,
                         const char *table)
{
    if (field == value)
        return false;
    registerSetterUndo(QString::fromLatin1(key), boxed(field));
    nameUndoAction(actionName, table);
    field = value;
    return true;
}

void TWMap::post(const QString &name) const
{
    if (announcing())
        NotificationCenter::defaultCenter().post(
            name, NotificationObject(std::const_pointer_cast<TWMap>(shared_from_this())));
}

void TWMap::postRedrawRoot() const
{
    if (announcing() && m_root)
        NotificationCenter::defaultCenter().post(SubtreeNeedsRedrawNotification,
                                                 NotificationObject(m_root));
}

void TWMap::postCanvasRedraw(const QString &name) const
{
    if (!announcing())
        return;
    NotificationCenter::defaultCenter().post(
        name, nullptr,
        {{RectKey, QRectF(0, 0, m_canvasSize.width, m_canvasSize.height)},
         {MapKey, QVariant::fromValue(
                      NotificationObject(std::const_pointer_cast<TWMap>(shared_from_this())))}});
}

void TWMap::postValueChange(const QString &key, bool did) const
{
    if (!announcing())
        return;
    NotificationCenter::defaultCenter().post(
        ValueChangeNotification,
        NotificationObject(std::const_pointer_cast<TWMap>(shared_from_this())),
        {{KeyKey, key}, {PhaseKey, did ? QStringLiteral("did") : QStringLiteral("will")}});
}

void TWMap::refreshPreview()
{
    if (announcing())
        setNeedsUpdatePreviewImage(true);
}

void TWMap::fitAllBranches()
{
    if (!announcing())
        return;
    for (const std::shared_ptr<TWMapBranch> &branch : branchesIncludingHidden())
        layoutServices().makeNaturalSize(*branch, true, true);
}

void TWMap::refitTextAreas()
{
    if (!announcing())
        return;
    for (const std::shared_ptr<TWMapBranch> &branch : branchesIncludingHidden())
        drawingServices().resizeForTextAreaConstrainedToWidth(*branch, textMaxWidth());
}

void TWMap::redrawCanvasAndPreview(const QString &redraw)
{
    postCanvasRedraw(redraw);
    refreshPreview();
}

void TWMap::redrawRootAndPreview()
{
    postRedrawRoot();
    refreshPreview();
}

void TWMap::fitAllAndPreview()
{
    fitAllBranches();
    refreshPreview();
}

// --- the setters ---

// The family: store with undo under the field's own key and action name,
// then tell the rest of the system.
#define TW_MAP_SETTER(Setter, Type, field, key, action, table, after)                              \
    void TWMap::Setter(Type value)                                                                 \
    {                                                                                              \
        if (setIfChanged(field, value, key, action, table)) {                                      \
            after;                                                                                 \
        }                                                                                          \
    }

#define TW_SW_SETTER(Setter, Type, field, key, action)                                             \
    TW_MAP_SETTER(Setter, Type, field, key, action, StringTable::ScreenWriter,                     \
                  post(ScreenwriterLayoutChangedNotification))

TW_MAP_SETTER(setAutomaticCheckBoxes, bool, m_branchSettings.automaticCheckBoxes,
              "automaticCheckBoxes", "Set automatic checkboxes", nullptr, postRedrawRoot())
TW_MAP_SETTER(setBackgroundImageOpacity, float, m_backgroundImageOpacity, "backgroundImageOpacity",
              "Set background image opacity", nullptr,
              redrawCanvasAndPreview(RedrawInRectNotification))
TW_MAP_SETTER(setBackgroundImageTileMode, int, m_backgroundImageTileMode, "backgroundImageTileMode",
              "Set background image tiling mode", nullptr,
              redrawCanvasAndPreview(RedrawInRectNotification))
TW_MAP_SETTER(setContinuousSpellCheck, bool, m_continuousSpellCheck, "continuousSpellCheck",
              "Continuous spell check setting change", nullptr,
              post(ContinuousSpellCheckChangedNotification))
TW_MAP_SETTER(setDefaultGraphicColor, const std::optional<Color> &, m_defaultGraphicColor,
              "defaultGraphicColor", "Set default fill color", nullptr, postRedrawRoot())
TW_MAP_SETTER(setDefaultStrokeColor, const std::optional<Color> &, m_defaultStrokeColor,
              "defaultStrokeColor", "Set default line color", nullptr, postRedrawRoot())
TW_MAP_SETTER(setFirstLevelSpacing, int, m_firstLevelSpacing, "firstLevelSpacing",
              "Set first level spacing", nullptr, )
TW_MAP_SETTER(setInterChildSpacing, int, m_interChildSpacing, "interChildSpacing",
              "Set inter-child spacing", nullptr, )
TW_MAP_SETTER(setGraphicColoringMode, int, m_graphicColoringMode, "graphicColoringMode",
              "Set graphic coloring mode", nullptr,
              redrawCanvasAndPreview(DelayedRedrawInRectNotification))
TW_SW_SETTER(setIsSceneContNoSwitch, bool, m_isSceneContNoSwitch, "isSceneContNoSwitch",
             "Change screenwriter scene continued numbering setting")
TW_SW_SETTER(setIsSwDialogueAutoChar, bool, m_isSwDialogueAutoChar, "isSwDialogueAutoChar",
             "Change screenwriter dialogue automatic character continued setting")
TW_SW_SETTER(setIsSwDialogueBOPage, bool, m_isSwDialogueBOPage, "isSwDialogueBOPage",
             "Change screenwriter dialogue bottom of page setting")
TW_SW_SETTER(setIsSwDialogueTONPage, bool, m_isSwDialogueTONPage, "isSwDialogueTONPage",
             "Change screenwriter dialogue top of next page setting")
TW_SW_SETTER(setIsSwSceneBOPage, bool, m_isSwSceneBOPage, "isSwSceneBOPage",
             "Change screenwriter scene bottom of page setting")
TW_SW_SETTER(setIsSwSceneTONPage, bool, m_isSwSceneTONPage, "isSwSceneTONPage",
             "Change screenwriter scene top of next page setting")
TW_SW_SETTER(setSwDialogueBOPageText, const QString &, m_swDialogueBOPageText,
             "swDialogueBOPageText", "Change screenwriter dialogue bottom of page text")
TW_SW_SETTER(setSwDialogueTONPageText, const QString &, m_swDialogueTONPageText,
             "swDialogueTONPageText", "Change screenwriter dialogue top of next page text")
TW_SW_SETTER(setSwSceneBOPageText, const QString &, m_swSceneBOPageText, "swSceneBOPageText",
             "Change screenwriter scene bottom of page text")
TW_SW_SETTER(setSwSceneTONPageText, const QString &, m_swSceneTONPageText, "swSceneTONPageText",
             "Change screenwriter scene top of next page text")
TW_MAP_SETTER(setRainbowAngle, float, m_rainbowAngle, "rainbowAngle", "Set Rainbow Angle", nullptr,
              redrawRootAndPreview())
TW_MAP_SETTER(setRainbowSaturation, float, m_rainbowSaturation, "rainbowSaturation",
              "Set Rainbow Saturation", nullptr, redrawRootAndPreview())
TW_MAP_SETTER(setShowCheckboxes, bool, m_branchSettings.showCheckboxes, "showCheckboxes",
              "Show/hide checkboxes", nullptr, fitAllAndPreview())
TW_MAP_SETTER(setShowCollapseSign, bool, m_showCollapseSign, "showCollapseSign",
              "Show/hide collapse sign", nullptr, postRedrawRoot())
TW_MAP_SETTER(setShowPercentComplete, bool, m_branchSettings.showPercentComplete,
              "showPercentComplete", "Show/hide percentage complete", nullptr, fitAllAndPreview())
TW_MAP_SETTER(setShowPriorities, bool, m_branchSettings.showPriorities, "showPriorities",
              "Show/hide priorities", nullptr, fitAllAndPreview())
TW_MAP_SETTER(setShowResourcesAllocated, bool, m_branchSettings.showResourcesAllocated,
              "showResourcesAllocated", "Show/hide resources allocated", nullptr,
              fitAllAndPreview())
TW_MAP_SETTER(setShowShadows, bool, m_showShadows, "showShadows", "Show/hide shadows", nullptr,
              redrawRootAndPreview())
TW_MAP_SETTER(setShowSWTextIndicators, bool, m_showSWTextIndicators, "showSWTextIndicators",
              "Show/hide screenwriter text indicators", nullptr, fitAllAndPreview())
TW_MAP_SETTER(setShowTextIndicators, bool, m_branchSettings.showTextIndicators,
              "showTextIndicators", "Show/hide text indicators", nullptr, fitAllAndPreview())
TW_MAP_SETTER(setBackgroundColor, const std::optional<Color> &, m_backgroundColor,
              "backgroundColor", "Set Background Color", nullptr,
              redrawCanvasAndPreview(RedrawInRectNotification))
#undef TW_SW_SETTER
#undef TW_MAP_SETTER

void TWMap::setShowBoundaries(bool show)
{
    if (!setIfChanged(m_showBoundaries, show, "showBoundaries", "Add boundary"))
        return;
    if (announcing())
        NotificationCenter::defaultCenter().post(PrintCanvasControllerNeedsUpdateNowNotification,
                                                 m_document);
    refreshPreview();
}

void TWMap::setOutlineFont(const std::optional<Font> &font)
{
    if (!setIfChanged(m_branchSettings.outlineFont, font, "outlineFont", "Outline font change"))
        return;
    setOutlineNumbersNeedUpdating(true);
    post(OutlineFontChangedNotification);
    postRedrawRoot();
}

TWMap::BranchDisplaySettings &TWMap::branchDisplaySettingsForUpdate()
{
    if (m_root)
        m_root->subtreeOrderMayHaveChanged();
    return m_branchSettings;
}

void TWMap::setOrderingMode(int mode)
{
    mode = TWOrderingMode::known(mode);
    if (!setIfChanged(m_branchSettings.orderingMode, mode, "orderingMode",
                      "Set branch ordering mode"))
        return;
    if (m_root)
        m_root->subtreeOrderMayHaveChanged();
    // Renumbering re-sorts every branch's children by position first.
    if (announcing())
        recalculateOutlineNumbers();
    refreshPreview();
}

void TWMap::setChildOutlineNumberingTopDown(bool topDown)
{
    if (!setIfChanged(m_branchSettings.childOutlineNumberingTopDown, topDown,
                      "childOutlineNumberingTopDown",
                      "Change top down outline numbering for children setting"))
        return;
    if (m_root)
        m_root->subtreeOrderMayHaveChanged();
    if (announcing())
        recalculateOutlineNumbers();
    postRedrawRoot();
}

void TWMap::setRepelDistance(int distance)
{
    if (!setIfChanged(m_repelDistance, distance, "repelDistance", "Set repel distance"))
        return;
    if (announcing()) {
        for (const std::shared_ptr<TWMapBranch> &branch : allBranches())
            layoutServices().updateBoundary(*branch);
    }
    postRedrawRoot();
}

void TWMap::setLayoutAssistanceMode(int mode)
{
    if (!setIfChanged(m_branchSettings.layoutAssistanceMode, mode, "layoutAssistanceMode",
                      "Set layout assistance mode"))
        return;
    if (announcing()) {
        // The tight mode lays the whole map out at once.
        if (mode == 3)
            drawingServices().autoArrange(*this);
        if (m_root)
            NotificationCenter::defaultCenter().post(
                BranchDidResizeNotification, NotificationObject(m_root),
                {{TWMapsDoc::BranchKey, QVariant::fromValue(m_root)}});
    }
    refreshPreview();
}

void TWMap::setShowLinkLines(bool show)
{
    if (show == m_showLinkLines)
        return;
    registerSetterUndo(QStringLiteral("showLinkLines"), m_showLinkLines);
    nameUndoAction("Show/hide link lines");
    postRedrawRoot(); // the area as drawn before
    m_showLinkLines = show;
    postRedrawRoot();
    refreshPreview();
}

void TWMap::setShowAttachedGraphics(bool show)
{
    if (show == m_branchSettings.showAttachedGraphics)
        return;
    registerSetterUndo(QStringLiteral("showAttachedGraphics"),
                       m_branchSettings.showAttachedGraphics);
    nameUndoAction("Show/hide attached graphics");
    postRedrawRoot();
    m_branchSettings.showAttachedGraphics = show;
    postRedrawRoot();
    refreshPreview();
}

void TWMap::setName(const std::optional<QString> &name)
{
    if (name == m_mapName)
        return;
    registerSetterUndo(QStringLiteral("mapName"), boxed(m_mapName));
    m_mapName = name;
    post(MapNameChangedNotification);
}

void TWMap::setBranchHideLevel(int level)
{
    const int old = m_branchSettings.branchHideLevel;
    if (level == old)
        return;
    registerSetterUndo(QStringLiteral("branchHideLevel"), old);
    nameUndoAction("Set Branch Hide Level");
    if (level < old)
        postRedrawRoot(); // redraws the branches about to disappear away
    m_branchSettings.branchHideLevel = level;
    removeAllGraphicOrderCache();
    if (!announcing())
        return;

    for (int i = countOfSelectedGraphics() - 1; i >= 0; --i) {
        const TWMapBranch *branch = m_selectedGraphics.at(i)->branch();
        if (branch && branch->hidden())
            removeObjectFromSelectedGraphicsAtIndex(i);
    }
    // The branches between the two levels, in tree order, each told whether
    // it is now hidden: one walk down knows what hidden() would find walking
    // up from each. Above both levels and below both nothing changes, and a
    // big map's boundaries and extents are kept.
    // A raised level shows a few branches (a new one a level deeper than
    // any): those and the branches they hang from are redrawn, not the map.
    // Boundaries and relationship lines may reach across the map.
    constexpr int MostShownApart = 64;
    std::vector<TWMapBranch *> shown;
    bool redrawWhole = level < old || countOfLinkLines() > 0;
    if (m_root) {
        TWMapLayoutServices &services = layoutServices();
        const int deepest = std::max(old, level);
        const auto visit = [&](const auto &self, TWMapBranch &branch, int depth,
                               bool collapsedAbove) -> void {
            const TWMap *m = branch.map();
            const bool hidden = collapsedAbove || (m && depth > m->branchHideLevel());
            const bool wasHidden = collapsedAbove || (m && depth > old);
            if (hidden != wasHidden) {
                if (hidden)
                    services.removeChildFromBoundary(branch, branch);
                else
                    services.updateBoundaryForChangedChild(branch, branch);
                if (!redrawWhole && !hidden) {
                    for (const TWMapBranch *up = &branch; up && !redrawWhole; up = up->parent())
                        redrawWhole = up->hasBoundary();
                    shown.push_back(&branch);
                    redrawWhole = redrawWhole || shown.size() > MostShownApart;
                }
            }
            if (depth >= deepest)
                return;
            // A subtree a kept extent found no deeper than both levels
            // keeps what it shows.
            if (const std::optional<int> below = branch.keptShownDepth();
                below && depth + *below <= std::min(old, level))
                return;
            const bool collapsed = collapsedAbove || branch.childrenHidden();
            for (const std::shared_ptr<TWMapBranch> &child : branch.children())
                self(self, *child, depth + 1, collapsed);
        };
        visit(visit, *m_root, 0, false);
    }
    if (m_root)
        autoArangeWithMovedBranches(m_root->children());
    if (redrawWhole || !m_root) {
        postRedrawRoot();
    } else if (announcing()) {
        QVariantList only;
        for (TWMapBranch *branch : shown)
            only << QVariant::fromValue(branch->shared_from_this());
        NotificationCenter::defaultCenter().post(SubtreeNeedsRedrawNotification,
                                                 NotificationObject(m_root),
                                                 {{TWMapBranch::OnlyBranchesKey, only}});
    }
    post(BranchHideLevelChangedNotification);
}

namespace {
// Which outline numbers are shown decides what each subtree draws.
void forgetSubtreeDrawingExtents(const TWMap &map)
{
    if (!map.root())
        return;
    TWMap::BranchList branches;
    map.root()->allDescendantsIntoArray(branches, true);
    for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(branches))
        branch->invalidateSubtreeDrawingExtent();
}

// A number label exists only where its number is shown: one no longer
// shown goes, and its number keeps waiting to be shown again.
void dropNumberLabel(TWMapBranch &branch)
{
    const QString number = branch.outlineNumber();
    if (number.isEmpty())
        return;
    for (int i = 0; i < branch.countOfOtherEnclosedGraphics(); ++i)
        if (branch.objectInOtherEnclosedGraphicsAtIndex(i)->name() ==
            TWMapBranch::OutlineNumberKey) {
            // Without a number the label goes; given back, it waits unmade.
            branch.assignOutlineNumber(QString());
            branch.assignOutlineNumber(number);
            return;
        }
}

// Outline numbers take room beside a branch's other enclosed graphics: the
// branches move those from the width they allowed before the change.
// Labels are made where numbers come to be shown and taken away where they
// no longer are, so that the next save writes only the labels shown.
template <class Change> void changeOutlineNumbering(TWMap &map, Change &&change)
{
    struct Before
    {
        std::shared_ptr<TWMapBranch> branch;
        float width;
        bool shown;
    };
    QList<Before> before;
    if (map.root()) {
        TWMap::BranchList branches;
        map.root()->allDescendantsIntoArray(branches, true);
        for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(branches))
            before.append({branch, branch->totalWidthToAllowForOtherEnclosedGraphics(),
                           branch->showsOutlineNumberLabel()});
    }
    change();
    for (const auto &[branch, width, shown] : std::as_const(before)) {
        if (branch->showsOutlineNumberLabel()) {
            if (branch->outlineNumberLabelPending())
                branch->materializeOutlineNumberLabel();
        } else if (shown) {
            dropNumberLabel(*branch);
        }
    }
    forgetSubtreeDrawingExtents(map);
    map.setOutlineNumbersNeedUpdating(true);
    for (const auto &[branch, width, shown] : std::as_const(before))
        map.layoutServices().repositionOtherEnclosedGraphicsFromOldWidth(*branch, width);
}
} // namespace

void TWMap::setOutlineNumbersToLevel(int level)
{
    if (level == m_branchSettings.outlineNumbersToLevel)
        return;
    registerSetterUndo(QStringLiteral("outlineNumbersToLevel"),
                       m_branchSettings.outlineNumbersToLevel);
    nameUndoAction("Change number of levels of outline numbering");
    if (!announcing()) {
        m_branchSettings.outlineNumbersToLevel = level;
        forgetSubtreeDrawingExtents(*this);
        return;
    }
    changeOutlineNumbering(*this, [&] { m_branchSettings.outlineNumbersToLevel = level; });
    postRedrawRoot();
}

void TWMap::setShowOutlineNumbers(bool show)
{
    if (show == m_branchSettings.showOutlineNumbers)
        return;
    registerSetterUndo(QStringLiteral("showOutlineNumbers"), m_branchSettings.showOutlineNumbers);
    nameUndoAction("Change displaying outline numbering setting");
    if (!announcing()) {
        m_branchSettings.showOutlineNumbers = show;
        forgetSubtreeDrawingExtents(*this);
        return;
    }
    changeOutlineNumbering(*this, [&] { m_branchSettings.showOutlineNumbers = show; });
    postRedrawRoot();
    refreshPreview();
}

void TWMap::setTextMaxWidth(float width)
{
    if (width == m_branchSettings.textMaxWidth)
        return;
    registerSetterUndo(QStringLiteral("textMaxWidth"), m_branchSettings.textMaxWidth);
    nameUndoAction("Constrain text maximum width");
    m_branchSettings.textMaxWidth = width;
    if (m_branchSettings.textMaxWidthSet)
        refitTextAreas();
    post(ConstrainTextMaxWidthChangedNotification);
    refreshPreview();
}

void TWMap::setTextMaxWidthSet(bool set)
{
    if (set == m_branchSettings.textMaxWidthSet)
        return;
    registerSetterUndo(QStringLiteral("textMaxWidthSet"), m_branchSettings.textMaxWidthSet);
    nameUndoAction("Constrain text maximum width");
    m_branchSettings.textMaxWidthSet = set;
    // Turning the limit off leaves the sizes as they are.
    if (set)
        refitTextAreas();
    post(ConstrainTextMaxWidthChangedNotification);
    refreshPreview();
}

void TWMap::setScaleAmount(float scale)
{
    // Compared before truncating: 150.5 over 150 is a step that stores 150.
    if (scale == m_scaleAmount)
        return;
    registerSetterUndo(QStringLiteral("scaleAmount"), m_scaleAmount);
    nameUndoAction("Set Scale Amount");
    m_scaleAmount = std::trunc(scale);
}

void TWMap::setBackgroundImageSize(Size size)
{
    if (size == m_backgroundImageSize)
        return;
    postValueChange(QStringLiteral("backgroundImageWidth"), false);
    postValueChange(QStringLiteral("backgroundImageHeight"), false);
    registerSetterUndo(QStringLiteral("backgroundImageSize"), boxed(m_backgroundImageSize));
    nameUndoAction("Set background image size");
    m_backgroundImageSize = size;
    postCanvasRedraw(RedrawInRectNotification);
    postValueChange(QStringLiteral("backgroundImageWidth"), true);
    postValueChange(QStringLiteral("backgroundImageHeight"), true);
    refreshPreview();
}

void TWMap::setBackgroundImageOffset(Point offset)
{
    if (offset == m_backgroundImageOffset)
        return;
    postValueChange(QStringLiteral("backgroundImageOffsetX"), false);
    postValueChange(QStringLiteral("backgroundImageOffsetY"), false);
    registerSetterUndo(QStringLiteral("backgroundImageOffset"), boxed(m_backgroundImageOffset));
    nameUndoAction("Set background image offset");
    m_backgroundImageOffset = offset;
    postCanvasRedraw(RedrawInRectNotification);
    postValueChange(QStringLiteral("backgroundImageOffsetX"), true);
    postValueChange(QStringLiteral("backgroundImageOffsetY"), true);
    refreshPreview();
}

void TWMap::setBackgroundImageFilename(const std::optional<QString> &path)
{
    if (path == m_backgroundImageFilename)
        return;
    postValueChange(QStringLiteral("backgroundImage"), false);
    registerSetterUndo(QStringLiteral("backgroundImageFilename"), boxed(m_backgroundImageFilename));
    m_backgroundImageFilename = path;
    // Made again from the package data when next asked for.
    m_backgroundImage.reset();
    postCanvasRedraw(RedrawInRectNotification);
    postValueChange(QStringLiteral("backgroundImage"), true);
    refreshPreview();
}

void TWMap::setPrintSetupDictionary(const std::optional<OrderedDictionary> &dictionary)
{
    if (dictionary == m_printSetupDictionary)
        return;
    registerSetterUndo(QStringLiteral("printSetupDictionary"), boxed(m_printSetupDictionary));
    nameUndoAction("Update print setup information");
    m_printSetupDictionary = dictionary;
    // The window lays its pages out again (on undo too).
    postValueChange(QStringLiteral("printSetupDictionary"), true);
}

void TWMap::setBackgroundSettingsEnabled(bool enabled)
{
    m_backgroundSettingsEnabled = enabled;
}

void TWMap::setZoomAmount(float zoom)
{
    m_zoomAmount = zoom;
}

void TWMap::setCanvasSize(Size size)
{
    if (size == m_canvasSize)
        return;
    postValueChange(QStringLiteral("canvasSize"), false);
    m_canvasSize = size;
    if (!announcing())
        return;
    postValueChange(QStringLiteral("canvasSize"), true);
    // No boundary and no connection is drawn from the canvas size, so
    // nothing of them is worked out again here: a big map's canvas grows
    // with many edits.
    NotificationCenter::defaultCenter().post(PrintCanvasControllerNeedsUpdateWhenIdleNotification,
                                             m_document);
    refreshPreview();
}

// --- key-value access ---

namespace {
struct KeyEntry
{
    std::function<QVariant(const TWMap &)> get;
    std::function<bool(TWMap &, const QVariant &)> set;
};

bool isNumber(const QVariant &v)
{
    bool ok = false;
    v.toDouble(&ok);
    return ok || v.typeId() == QMetaType::Bool;
}

template <class T> std::optional<std::optional<T>> optionalValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return std::optional<T>();
    if (v.metaType() == QMetaType::fromType<T>())
        return std::optional<T>(v.value<T>());
    return std::nullopt; // refused
}

template <class T> std::optional<T> exactValue(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<T>())
        return v.value<T>();
    return std::nullopt;
}

using Table = QHash<QString, KeyEntry>;

void addBool(Table &t, const char *key, bool (TWMap::*get)() const, void (TWMap::*set)(bool))
{
    t.insert(QString::fromLatin1(key), {[get](const TWMap &m) { return QVariant((m.*get)()); },
                                        [set](TWMap &m, const QVariant &v) {
                                            if (!isNumber(v))
                                                return false;
                                            (m.*set)(v.toBool());
                                            return true;
                                        }});
}

void addInt(Table &t, const char *key, int (TWMap::*get)() const, void (TWMap::*set)(int))
{
    t.insert(QString::fromLatin1(key), {[get](const TWMap &m) { return QVariant((m.*get)()); },
                                        [set](TWMap &m, const QVariant &v) {
                                            if (!isNumber(v))
                                                return false;
                                            (m.*set)(v.toInt());
                                            return true;
                                        }});
}

void addFloat(Table &t, const char *key, float (TWMap::*get)() const, void (TWMap::*set)(float))
{
    t.insert(QString::fromLatin1(key), {[get](const TWMap &m) { return QVariant((m.*get)()); },
                                        [set](TWMap &m, const QVariant &v) {
                                            if (!isNumber(v))
                                                return false;
                                            (m.*set)(v.toFloat());
                                            return true;
                                        }});
}

void addText(Table &t, const char *key, const QString &(TWMap::*get)() const,
             void (TWMap::*set)(const QString &))
{
    t.insert(QString::fromLatin1(key), {[get](const TWMap &m) { return QVariant((m.*get)()); },
                                        [set](TWMap &m, const QVariant &v) {
                                            if (v.typeId() != QMetaType::QString)
                                                return false;
                                            (m.*set)(v.toString());
                                            return true;
                                        }});
}

template <class T>
void addOptional(Table &t, const char *key, const std::optional<T> &(TWMap::*get)() const,
                 void (TWMap::*set)(const std::optional<T> &))
{
    t.insert(QString::fromLatin1(key),
             {[get](const TWMap &m) { return TWMapDetail::boxed((m.*get)()); },
              [set](TWMap &m, const QVariant &v) {
                  const auto value = optionalValue<T>(v);
                  if (!value)
                      return false;
                  (m.*set)(*value);
                  return true;
              }});
}

template <class T>
void addValue(Table &t, const char *key, T (TWMap::*get)() const, void (TWMap::*set)(T))
{
    t.insert(QString::fromLatin1(key),
             {[get](const TWMap &m) { return QVariant::fromValue((m.*get)()); },
              [set](TWMap &m, const QVariant &v) {
                  const std::optional<T> value = exactValue<T>(v);
                  if (!value)
                      return false;
                  (m.*set)(*value);
                  return true;
              }});
}

const Table &keyTable()
{
    static const Table table = [] {
        Table t;
        addBool(t, "automaticCheckBoxes", &TWMap::automaticCheckBoxes,
                &TWMap::setAutomaticCheckBoxes);
        addOptional<Color>(t, "backgroundColor", &TWMap::backgroundColor,
                           &TWMap::setBackgroundColor);
        addOptional<QString>(t, "backgroundImageFilename", &TWMap::backgroundImageFilename,
                             &TWMap::setBackgroundImageFilename);
        addValue<Point>(t, "backgroundImageOffset", &TWMap::backgroundImageOffset,
                        &TWMap::setBackgroundImageOffset);
        addFloat(t, "backgroundImageOpacity", &TWMap::backgroundImageOpacity,
                 &TWMap::setBackgroundImageOpacity);
        addValue<Size>(t, "backgroundImageSize", &TWMap::backgroundImageSize,
                       &TWMap::setBackgroundImageSize);
        addInt(t, "backgroundImageTileMode", &TWMap::backgroundImageTileMode,
               &TWMap::setBackgroundImageTileMode);
        addInt(t, "branchHideLevel", &TWMap::branchHideLevel, &TWMap::setBranchHideLevel);
        addBool(t, "childOutlineNumberingTopDown", &TWMap::childOutlineNumberingTopDown,
                &TWMap::setChildOutlineNumberingTopDown);
        addBool(t, "continuousSpellCheck", &TWMap::continuousSpellCheck,
                &TWMap::setContinuousSpellCheck);
        addOptional<Color>(t, "defaultGraphicColor", &TWMap::defaultGraphicColor,
                           &TWMap::setDefaultGraphicColor);
        addOptional<Color>(t, "defaultStrokeColor", &TWMap::defaultStrokeColor,
                           &TWMap::setDefaultStrokeColor);
        addInt(t, "firstLevelSpacing", &TWMap::firstLevelSpacing, &TWMap::setFirstLevelSpacing);
        addInt(t, "graphicColoringMode", &TWMap::graphicColoringMode,
               &TWMap::setGraphicColoringMode);
        addInt(t, "interChildSpacing", &TWMap::interChildSpacing, &TWMap::setInterChildSpacing);
        addBool(t, "isSceneContNoSwitch", &TWMap::isSceneContNoSwitch,
                &TWMap::setIsSceneContNoSwitch);
        addBool(t, "isSwDialogueAutoChar", &TWMap::isSwDialogueAutoChar,
                &TWMap::setIsSwDialogueAutoChar);
        addBool(t, "isSwDialogueBOPage", &TWMap::isSwDialogueBOPage, &TWMap::setIsSwDialogueBOPage);
        addBool(t, "isSwDialogueTONPage", &TWMap::isSwDialogueTONPage,
                &TWMap::setIsSwDialogueTONPage);
        addBool(t, "isSwSceneBOPage", &TWMap::isSwSceneBOPage, &TWMap::setIsSwSceneBOPage);
        addBool(t, "isSwSceneTONPage", &TWMap::isSwSceneTONPage, &TWMap::setIsSwSceneTONPage);
        addText(t, "swDialogueBOPageText", &TWMap::swDialogueBOPageText,
                &TWMap::setSwDialogueBOPageText);
        addText(t, "swDialogueTONPageText", &TWMap::swDialogueTONPageText,
                &TWMap::setSwDialogueTONPageText);
        addText(t, "swSceneBOPageText", &TWMap::swSceneBOPageText, &TWMap::setSwSceneBOPageText);
        addText(t, "swSceneTONPageText", &TWMap::swSceneTONPageText, &TWMap::setSwSceneTONPageText);
        addInt(t, "layoutAssistanceMode", &TWMap::layoutAssistanceMode,
               &TWMap::setLayoutAssistanceMode);
        addOptional<QString>(t, "mapName", &TWMap::storedMapName, &TWMap::setName);
        addInt(t, "orderingMode", &TWMap::orderingMode, &TWMap::setOrderingMode);
        addOptional<Font>(t, "outlineFont", &TWMap::outlineFont, &TWMap::setOutlineFont);
        addInt(t, "outlineNumbersToLevel", &TWMap::outlineNumbersToLevel,
               &TWMap::setOutlineNumbersToLevel);
        addFloat(t, "rainbowAngle", &TWMap::rainbowAngle, &TWMap::setRainbowAngle);
        addFloat(t, "rainbowSaturation", &TWMap::rainbowSaturation, &TWMap::setRainbowSaturation);
        addInt(t, "repelDistance", &TWMap::repelDistance, &TWMap::setRepelDistance);
        addFloat(t, "scaleAmount", &TWMap::scaleAmount, &TWMap::setScaleAmount);
        addBool(t, "showAttachedGraphics", &TWMap::showAttachedGraphics,
                &TWMap::setShowAttachedGraphics);
        addBool(t, "showBoundaries", &TWMap::showBoundaries, &TWMap::setShowBoundaries);
        addBool(t, "showCheckboxes", &TWMap::showCheckboxes, &TWMap::setShowCheckboxes);
        addBool(t, "showCollapseSign", &TWMap::showCollapseSign, &TWMap::setShowCollapseSign);
        addBool(t, "showLinkLines", &TWMap::showLinkLines, &TWMap::setShowLinkLines);
        addBool(t, "showOutlineNumbers", &TWMap::showOutlineNumbers, &TWMap::setShowOutlineNumbers);
        addBool(t, "showPercentComplete", &TWMap::showPercentComplete,
                &TWMap::setShowPercentComplete);
        addBool(t, "showPriorities", &TWMap::showPriorities, &TWMap::setShowPriorities);
        // The stored flags: undo must restore what was stored, not what the
        // getters answer.
        addBool(t, "showResourcesAllocated", &TWMap::storedShowResourcesAllocated,
                &TWMap::setShowResourcesAllocated);
        addBool(t, "showSWTextIndicators", &TWMap::storedShowSWTextIndicators,
                &TWMap::setShowSWTextIndicators);
        addBool(t, "showShadows", &TWMap::showShadows, &TWMap::setShowShadows);
        addBool(t, "showTextIndicators", &TWMap::showTextIndicators, &TWMap::setShowTextIndicators);
        addFloat(t, "textMaxWidth", &TWMap::textMaxWidth, &TWMap::setTextMaxWidth);
        addBool(t, "textMaxWidthSet", &TWMap::textMaxWidthSet, &TWMap::setTextMaxWidthSet);
        t.insert(QStringLiteral("outlineFormatSettings"),
                 {[](const TWMap &m) { return QVariant(m.outlineFormatSettings()); },
                  [](TWMap &m, const QVariant &v) {
                      if (v.typeId() != QMetaType::QStringList &&
                          v.typeId() != QMetaType::QVariantList)
                          return false;
                      m.setOutlineFormatSettings(v.toStringList());
                      return true;
                  }});
        t.insert(QStringLiteral("printSetupDictionary"),
                 {[](const TWMap &m) {
                      return m.hasPrintSetupDictionary()
                                 ? QVariant::fromValue(
                                       const_cast<TWMap &>(m).printSetupDictionary())
                                 : QVariant();
                  },
                  [](TWMap &m, const QVariant &v) {
                      if (!v.isValid()) {
                          m.setPrintSetupDictionary(std::nullopt);
                          return true;
                      }
                      const std::optional<OrderedDictionary> d = OrderedDictionary::fromVariant(v);
                      if (!d)
                          return false;
                      m.setPrintSetupDictionary(d);
                      return true;
                  }});
        return t;
    }();
    return table;
}
} // namespace

QVariant TWMap::valueForKey(const QString &key) const
{
    const auto it = keyTable().constFind(key);
    if (it == keyTable().cend()) {
        qWarning().noquote() << "TWMap: no key" << key;
        return {};
    }
    return it->get(*this);
}

bool TWMap::setMapValue(const QVariant &value, const QString &key)
{
    const auto it = keyTable().constFind(key);
    if (it == keyTable().cend()) {
        qWarning().noquote() << "TWMap: cannot set key" << key;
        return false;
    }
    if (!it->set(*this, value)) {
        qWarning().noquote() << "TWMap: value of type" << value.typeName() << "refused for key"
                             << key;
        return false;
    }
    return true;
}

QStringList TWMap::settingKeys()
{
    QStringList keys = keyTable().keys();
    keys.sort();
    return keys;
}
