#pragma once

#include "platform/Geometry.h"
#include "platform/Notification.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class ContentsXMLReader;
class Image;
class QObject;
class TWConnectionGraphic;
class TWGraphic;
class TWLinkLine;
class TWMapBranch;
class TWMapDrawingServices;
class TWMapLayoutServices;
class TWMapPreviewImage;
class TWMapsDoc;
class TWStyle;
class TWTheme;
class UndoManager;
class XMLStreamWriter;

// One mind map of a document: one tab of the document window. It owns the
// branch tree (through its root), the link lines, the selection, the cached
// drawing order of its graphics and every per-map setting, and points back
// to the maps document that holds it, whose undo manager it uses.
//
// Always held by a shared_ptr (branches and undo steps refer to it). Made by
// create() (a new map), createWithXMLElement() (a stored one) or copy(). The
// destructor posts and registers nothing; owners call deparent() first.
//
// The map keeps its live `TWMap` element as it was read, less the branch tree
// and the link lines, which are read into the model: the settings are written
// back into it at every save, and children this version does not know keep
// their place. The tree and the link lines are written from the model.
class TWMap : public std::enable_shared_from_this<TWMap>
{
    struct Passkey
    {
        explicit Passkey() = default;
    };

public:
    using GraphicList = QList<std::shared_ptr<TWGraphic>>;
    using LinkLineList = QList<std::shared_ptr<TWLinkLine>>;
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;

    // --- notifications (names as the rest of the system knows them) ---
    static inline const QString SelectedGraphicsChangedNotification =
        QStringLiteral("SelectedGraphicsChangedNotification");
    static inline const QString GraphicAddedToSelectedGraphicsNotification =
        QStringLiteral("GraphicAddedToSelectedGraphicsNotification");
    static inline const QString SubtreeNeedsRedrawNotification =
        QStringLiteral("SubtreeNeedsRedrawNotification");
    static inline const QString GraphicNeedsRedrawNotification =
        QStringLiteral("GraphicNeedsRedrawNotification");
    static inline const QString RedrawInRectNotification =
        QStringLiteral("RedrawInRectNotification");
    static inline const QString DelayedRedrawInRectNotification =
        QStringLiteral("DelayedRedrawInRectNotification");
    static inline const QString BranchDidResizeNotification =
        QStringLiteral("BranchDidResizeNotification");
    static inline const QString ContinuousSpellCheckChangedNotification =
        QStringLiteral("ContinuousSpellCheckChangedNotification");
    static inline const QString ScreenwriterLayoutChangedNotification =
        QStringLiteral("ScreenwriterLayoutChangedNotification");
    static inline const QString MapNameChangedNotification =
        QStringLiteral("MapNameChangedNotification");
    static inline const QString OutlineFontChangedNotification =
        QStringLiteral("OutlineFontChangedNotification");
    static inline const QString OutlineFormatSettingChangedNotification =
        QStringLiteral("OutlineFormatSettingChangedNotification");
    static inline const QString ConstrainTextMaxWidthChangedNotification =
        QStringLiteral("ConstrainTextMaxWidthChangedNotification");
    static inline const QString BranchHideLevelChangedNotification =
        QStringLiteral("BranchHideLevelChangedNotification");
    static inline const QString PrintCanvasControllerNeedsUpdateNowNotification =
        QStringLiteral("TWPrintCanvasControllerNeedsUpdateNow");
    static inline const QString PrintCanvasControllerNeedsUpdateWhenIdleNotification =
        QStringLiteral("TWPrintCanvasControllerNeedsUpdateWhenIdle");
    // Posted by the user operations on the selection.
    static inline const QString BranchesDeletedNotification =
        QStringLiteral("BranchesDeletedNotification");
    static inline const QString GraphicsDeletedNotification =
        QStringLiteral("GraphicsDeletedNotification");
    static inline const QString LinkLineAddedNotification =
        QStringLiteral("LinkLineAddedNotification");
    static inline const QString LinkLineDeletedNotification =
        QStringLiteral("LinkLineDeletedNotification");
    static inline const QString TemporaryLinkLineUpdatedNotification =
        QStringLiteral("TemporaryLinkLineUpdatedNotification");
    static inline const QString TemporaryLinkLineRemovedNotification =
        QStringLiteral("TemporaryLinkLineRemovedNotification");
    static inline const QString MapsDocBranchesAddedNotification =
        QStringLiteral("TWMapsDocBranchesAddedNotification");
    static inline const QString MapsDocBranchesDeletedNotification =
        QStringLiteral("TWMapsDocBranchesDeletedNotification");
    static inline const QString MapsDocGraphicsDeletedNotification =
        QStringLiteral("TWMapsDocGraphicsDeletedNotification");
    // Announces a key-value change of a derived key (the background bindings
    // observe "backgroundImageWidth" and friends): user-info KeyKey names the
    // key, PhaseKey is "will" or "did".
    static inline const QString ValueChangeNotification =
        QStringLiteral("TWMapValueChangeNotification");

    // User-info keys. Redraw-in-rectangle notifications carry the map (a
    // NotificationObject) under MapKey and a QRectF under RectKey; the
    // selection notification lists the affected graphics (NotificationObject
    // values) under AffectedGraphicsKey.
    static inline const QString MapKey = QStringLiteral("map");
    static inline const QString RectKey = QStringLiteral("rect");
    static inline const QString AffectedGraphicsKey = QStringLiteral("affectedGraphics");
    static inline const QString KeyKey = QStringLiteral("key");
    static inline const QString PhaseKey = QStringLiteral("phase");

    // The canvas of a new map when no page frames are shown.
    static constexpr Size DefaultCanvasSize{617, 458};
    // The central branch of a new map, centred on the canvas.
    static constexpr Size RootShapeSize{120, 40};

    // A new map of the document (which may be null): a fresh identifier, the
    // settings of the document's current map where they are copied, the
    // defaults otherwise, and a root rectangle centred on the canvas. The
    // settings go through their setters, so with an undo manager present
    // they register their inverses.
    static std::shared_ptr<TWMap> create(TWMapsDoc *document);
    // A bare map: every field zero or empty, no root. Copying starts here.
    static std::shared_ptr<TWMap> createBare();

    // Whether a map read from an element keeps the identifier stored there.
    // A loaded document keeps them; a map made from an element for another
    // place (a duplicate, a template, a dropped tab) must not share its
    // source's identifier, which names its preview in the package.
    enum class Identifier { KeepStored, MakeNew };
    // A map read from its `TWMap` element, which it keeps (a copy of it, so
    // the caller's tree can change freely), less `root` and `linkLines`.
    // Values the element marks as not set come from the document's root
    // element. Null for an element that is not a map.
    static std::shared_ptr<TWMap> createWithXMLElement(const XMLElement &element,
                                                       TWMapsDoc *document, Identifier identifier);

    explicit TWMap(Passkey);
    ~TWMap();
    TWMap(const TWMap &) = delete;
    TWMap &operator=(const TWMap &) = delete;

    // A copy that belongs to no document and has no identifier of its own
    // until one is asked for. It holds a copy of the tree, made through the
    // branch element. Its graphic order cache starts empty and is rebuilt
    // from its own tree.
    std::shared_ptr<TWMap> copy() const;

    // --- document, services, undo ---
    TWMapsDoc *document() const { return m_document; }
    void setDocument(TWMapsDoc *document) { m_document = document; }

    // The streaming forms: a map read from the reader standing on its `TWMap`
    // element (null, with the reader past it, for one it cannot use), and
    // the map's element written at the writer's place.
    static std::shared_ptr<TWMap> createWithXMLReader(ContentsXMLReader &reader,
                                                      TWMapsDoc *document);
    // The settings read again from the map's element, once the document's
    // root element is complete: values the element marks as not set come
    // from the root's children, which a stream may bring after the maps.
    void rereadSettingsFromElement();
    // With drawnFrom, a fingerprint of what the map's picture is drawn from:
    // its settings in any order and its tree with the graphics' numbers
    // taken by the order they first appear in.
    bool writeXML(XMLStreamWriter &writer, QByteArray *drawnFrom = nullptr);
    // The document's undo manager; null without a document.
    UndoManager *undoManager() const;
    // Layout, boundary and text-layout services of this map (a set that does
    // nothing until one is installed).
    TWMapLayoutServices &layoutServices() const;
    void setLayoutServices(std::shared_ptr<TWMapLayoutServices> services);
    // Whole-map layout, previews and print pages (stand-ins until the
    // drawing code provides them).
    TWMapDrawingServices &drawingServices() const;
    void setDrawingServices(std::shared_ptr<TWMapDrawingServices> services);

    // --- identity ---
    // The identifier, made on first request when the map has none.
    QString identifier();
    const std::optional<QString> &storedIdentifier() const { return m_identifier; }
    void setIdentifier(const QString &identifier) { m_identifier = identifier; }
    // Package path of the map's preview picture.
    QString previewPath();
    // The name given, else the plain text of the root branch.
    QString mapName() const;
    const std::optional<QString> &storedMapName() const { return m_mapName; }
    void setName(const std::optional<QString> &name);

    // --- the tree ---
    const std::shared_ptr<TWMapBranch> &root() const { return m_root; }
    // Stores the root without undo; it gets this map (not its subtree).
    void setRoot(const std::shared_ptr<TWMapBranch> &root);
    // Every branch in pre-order from the root, hidden ones included.
    BranchList allBranches() const;
    // The graphic of the tree or a link line with that number, or null.
    std::shared_ptr<TWGraphic> findGraphicWithGraphicNumber(long number) const;
    // Cut (restore) the back pointers of the tree; registers nothing.
    void deparent();
    void reparent();

    // --- old property-list documents (TWMap_OldFormat.cpp) ---
    // The one map of an old document's top-level dictionary, or null (the
    // loading notifications ended) for a version above 3, no root, or more
    // branches than maxOldStyleBranches.
    static std::shared_ptr<TWMap> initWithOldStyleDictionary(const QVariantMap &dictionary,
                                                             TWMapsDoc *document);
    static constexpr qint64 maxOldStyleBranches = 250000;
    // Link lines read from an old document end at branch numbers: each end
    // becomes the number of that branch's shape (0 for no such branch).
    void resolveLinkedGraphicEnds();
    // Adds the branches of an old branch dictionary's tree to the counter.
    static void numberOfBranchesInDict(const QVariantMap &dictionary, qint64 *counter);

    // --- after loading ---
    // Rewrites the graphic numbers connections and link lines refer to.
    void resolveLoadedGraphics();
    // Lays the map out once when asked to, re-sorts and renumbers.
    void processFlags();
    // Branches that asked to be brought to their natural size get it.
    void makeNaturalSizeOfMarkedBranches();
    // Lays the map out after the branches moved (by the layout assistance mode).
    void autoArangeWithMovedBranches(const BranchList &moved);
    // Loose layout only: new branches made by the user overlap nothing. A
    // new main branch slides up or down to the nearest free place; for a
    // deeper one, the other main branches that its main branch's subtree now
    // reaches are pushed away from it with their subtrees.
    void makeRoomForNewBranches(const BranchList &added);
    // Re-sorts the tree by position and numbers it again.
    void recalculateOutlineNumbers();

    // --- previews ---
    void updatePreviewImage();
    // With true, renews the preview at once (through the drawing services).
    void setNeedsUpdatePreviewImage(bool needs);
    // drawnFrom: a fingerprint of what the preview shows; a preview in the
    // package drawn from the same is kept. Empty: always drawn.
    void updatePreviewInFileCache(const QByteArray &drawnFrom = QByteArray());
    // Before the text is written: what drawing the preview would change.
    void preparePreviewInFileCache();
    // The live preview, made first when the map has none; null while the
    // canvas is too small for one or no drawing code is installed.
    const std::shared_ptr<TWMapPreviewImage> &previewImage();
    const std::shared_ptr<TWMapPreviewImage> &cachedPreviewImage() const { return m_previewImage; }
    void setPreviewImage(std::shared_ptr<TWMapPreviewImage> image)
    {
        m_previewImage = std::move(image);
    }

    // --- package paths ---
    // Every package path the map refers to: its preview, its background
    // picture, the pictures and movies of its graphics and the sounds of its
    // branches (and of the stored tree it keeps unread).
    QStringList referencedPackagePaths();
    bool refersToPackagePath(const QString &path);

    // --- element ---
    // The live element with its settings brought up to date. It holds no
    // tree: writeXML() and freshXMLElementEmbeddingBinaryData() add the
    // `root` and `linkLines` children from the model.
    XMLElement liveXMLElement();
    // A copy of the live element brought up to date, with the tree and the
    // link lines, for another document.
    XMLElement freshXMLElementEmbeddingBinaryData(bool embed);

    // Branches of the tree that match a report filter.
    void addBranchesMatchingReport(const QVariantMap &, BranchList &) {}

    // --- selection, in selection order ---
    const GraphicList &selectedGraphics() const { return m_selectedGraphics; }
    // The selection as notification details.
    QVariantList selectedGraphicsForNotification() const;
    int countOfSelectedGraphics() const { return int(m_selectedGraphics.size()); }
    std::shared_ptr<TWGraphic> objectInSelectedGraphicsAtIndex(int index) const;
    GraphicList getSelectedGraphics(int location, int length) const;
    // An other enclosed graphic of a branch is never selected on its own.
    void insertObjectInSelectedGraphicsAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                               int index);
    void removeObjectFromSelectedGraphicsAtIndex(int index);
    void replaceObjectInSelectedGraphicsAtIndex(int index,
                                                const std::shared_ptr<TWGraphic> &graphic);
    void removeAllSelectedGraphics();
    // Takes the graphic out of the selection when it is selected.
    void removeSelectedGraphic(const TWGraphic *graphic);
    bool isGraphicSelected(const TWGraphic *graphic) const;
    // The distinct branches of the selected graphics, in selection order.
    QList<TWMapBranch *> selectedBranches() const;
    // The branch every selected graphic shares, or null.
    std::shared_ptr<TWMapBranch> selectedBranch() const;
    void setSelectedBranch(const std::shared_ptr<TWMapBranch> &branch);
    // Forgets the branch when it is the selected branch.
    void removeSelectedBranch(const TWMapBranch *branch);
    // The branches whose shape or text is selected, for list bindings.
    const BranchList &selectedBranchesForBindings() const;

    // --- graphic order cache ---
    const GraphicList &graphicOrderCache() const { return m_graphicOrderCache; }
    int countOfGraphicOrderCache() const { return int(m_graphicOrderCache.size()); }
    std::shared_ptr<TWGraphic> objectInGraphicOrderCacheAtIndex(int index) const;
    GraphicList getGraphicOrderCache(int location, int length) const;
    void insertObjectInGraphicOrderCacheAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                int index);
    void removeObjectFromGraphicOrderCacheAtIndex(int index);
    void replaceObjectInGraphicOrderCacheAtIndex(int index,
                                                 const std::shared_ptr<TWGraphic> &graphic);
    void removeAllGraphicOrderCache() { m_graphicOrderCache.clear(); }

    // --- link lines ---
    const LinkLineList &linkLines() const { return m_linkLines; }
    // A connection the reader made for a branch stored without one; it is
    // shaped again once the tree read becomes the map's.
    void addConnectionMadeWhileReading(std::shared_ptr<TWConnectionGraphic> connection);
    int countOfLinkLines() const { return int(m_linkLines.size()); }
    std::shared_ptr<TWLinkLine> objectInLinkLinesAtIndex(int index) const;
    LinkLineList getLinkLines(int location, int length) const;
    void insertObjectInLinkLinesAtIndex(const std::shared_ptr<TWLinkLine> &line, int index);
    void removeObjectFromLinkLinesAtIndex(int index);
    void replaceObjectInLinkLinesAtIndex(int index, const std::shared_ptr<TWLinkLine> &line);
    void removeAllLinkLines();
    LinkLineList linkLinesOnBranch(const TWMapBranch *branch) const;
    LinkLineList linkLinesStartingWithGraphic(const TWGraphic *graphic) const;
    LinkLineList linkLinesEndingWithGraphic(const TWGraphic *graphic) const;
    LinkLineList linkLinesStartingOrEndingWithGraphic(const TWGraphic *graphic) const;

    // --- outline formats, level 1 first ---
    const QStringList &outlineFormatSettings() const { return m_outlineFormatSettings; }
    int countOfOutlineFormatSettings() const { return int(m_outlineFormatSettings.size()); }
    QString objectInOutlineFormatSettingsAtIndex(int index) const;
    QStringList getOutlineFormatSettings(int location, int length) const;
    void insertObjectInOutlineFormatSettingsAtIndex(const QString &format, int index);
    void removeObjectFromOutlineFormatSettingsAtIndex(int index);
    void replaceObjectInOutlineFormatSettingsAtIndex(int index, const QString &format);
    void removeAllOutlineFormatSettings();
    // Nothing happens for a list with the same formats.
    void setOutlineFormatSettings(const QStringList &formats);

    // --- settings branches read ---
    // Kept in one record that the branch code reads. Its
    // showResourcesAllocated is the stored flag, not the getter's answer.
    struct BranchDisplaySettings
    {
        int branchHideLevel = 0;
        int layoutAssistanceMode = 0;
        int orderingMode = 0;
        int outlineNumbersToLevel = 0;
        bool showOutlineNumbers = false;
        bool outlineNumbersNeedUpdating = false;
        bool showAttachedGraphics = false;
        bool showTextIndicators = false;
        bool showCheckboxes = false;
        bool automaticCheckBoxes = false;
        bool showPercentComplete = false;
        bool showPriorities = false;
        bool showResourcesAllocated = false;
        bool childOutlineNumberingTopDown = false;
        bool textMaxWidthSet = false;
        float textMaxWidth = 0;
        std::optional<Font> outlineFont;
    };
    const BranchDisplaySettings &branchDisplaySettings() const { return m_branchSettings; }
    // The ordering settings may change through it: every order is looked at again.
    BranchDisplaySettings &branchDisplaySettingsForUpdate();

    int branchHideLevel() const { return m_branchSettings.branchHideLevel; }
    int layoutAssistanceMode() const { return m_branchSettings.layoutAssistanceMode; }
    int orderingMode() const { return m_branchSettings.orderingMode; }
    int outlineNumbersToLevel() const { return m_branchSettings.outlineNumbersToLevel; }
    bool showOutlineNumbers() const { return m_branchSettings.showOutlineNumbers; }
    bool outlineNumbersNeedUpdating() const
    {
        return m_branchSettings.outlineNumbersNeedUpdating ||
               !m_shapesMovedSinceNumbering.isEmpty();
    }
    void setOutlineNumbersNeedUpdating(bool needs)
    {
        m_branchSettings.outlineNumbersNeedUpdating = needs;
        if (!needs) {
            clearShapesMovedSinceNumbering();
            m_childrenChangedSinceNumbering.clear();
        }
    }
    // A branch's shape moved: its place among its siblings may have changed.
    void branchShapeMoved(TWMapBranch &branch);
    // A branch gained or lost children: they are renumbered by the next
    // update that moves ask for.
    void branchChildrenChanged(TWMapBranch &branch);
    // recalculateOutlineNumbers() where anything but moves asked for it;
    // after moves alone, only the children the moves re-ordered are
    // re-sorted and renumbered.
    void updateOutlineNumbers();
    void renumberAfterAdding(const BranchList &added);
    bool showAttachedGraphics() const { return m_branchSettings.showAttachedGraphics; }
    bool showTextIndicators() const { return m_branchSettings.showTextIndicators; }
    bool showCheckboxes() const { return m_branchSettings.showCheckboxes; }
    bool automaticCheckBoxes() const { return m_branchSettings.automaticCheckBoxes; }
    bool showPercentComplete() const { return m_branchSettings.showPercentComplete; }
    bool showPriorities() const { return m_branchSettings.showPriorities; }
    bool childOutlineNumberingTopDown() const
    {
        return m_branchSettings.childOutlineNumberingTopDown;
    }
    bool textMaxWidthSet() const { return m_branchSettings.textMaxWidthSet; }
    float textMaxWidth() const { return m_branchSettings.textMaxWidth; }
    const std::optional<Font> &outlineFont() const { return m_branchSettings.outlineFont; }
    // Indicators that are never drawn: the getters answer false whatever is stored.
    bool showResourcesAllocated() const { return false; }
    bool showSWTextIndicators() const { return false; }
    bool storedShowResourcesAllocated() const { return m_branchSettings.showResourcesAllocated; }
    bool storedShowSWTextIndicators() const { return m_showSWTextIndicators; }

    // --- other settings ---
    bool isSwDialogueBOPage() const { return m_isSwDialogueBOPage; }
    const QString &swDialogueBOPageText() const { return m_swDialogueBOPageText; }
    bool isSwDialogueTONPage() const { return m_isSwDialogueTONPage; }
    const QString &swDialogueTONPageText() const { return m_swDialogueTONPageText; }
    bool isSwDialogueAutoChar() const { return m_isSwDialogueAutoChar; }
    bool isSwSceneBOPage() const { return m_isSwSceneBOPage; }
    const QString &swSceneBOPageText() const { return m_swSceneBOPageText; }
    bool isSwSceneTONPage() const { return m_isSwSceneTONPage; }
    const QString &swSceneTONPageText() const { return m_swSceneTONPageText; }
    bool isSceneContNoSwitch() const { return m_isSceneContNoSwitch; }
    int firstLevelSpacing() const { return m_firstLevelSpacing; }
    int interChildSpacing() const { return m_interChildSpacing; }
    int repelDistance() const { return m_repelDistance; }
    bool continuousSpellCheck() const { return m_continuousSpellCheck; }
    const std::optional<Color> &defaultGraphicColor() const { return m_defaultGraphicColor; }
    const std::optional<Color> &defaultStrokeColor() const { return m_defaultStrokeColor; }
    int graphicColoringMode() const { return m_graphicColoringMode; }
    float rainbowSaturation() const { return m_rainbowSaturation; }
    float rainbowAngle() const { return m_rainbowAngle; }
    Size canvasSize() const { return m_canvasSize; }
    bool backgroundSettingsEnabled() const { return m_backgroundSettingsEnabled; }
    const std::optional<Color> &backgroundColor() const { return m_backgroundColor; }
    const std::optional<QString> &backgroundImageFilename() const
    {
        return m_backgroundImageFilename;
    }
    float backgroundImageOpacity() const { return m_backgroundImageOpacity; }
    Size backgroundImageSize() const { return m_backgroundImageSize; }
    int backgroundImageTileMode() const { return m_backgroundImageTileMode; }
    Point backgroundImageOffset() const { return m_backgroundImageOffset; }
    bool backgroundImageScaleLocked() const { return m_backgroundImageScaleLocked; }
    // Switching the lock on gives the height the picture's proportions; it
    // is not stored in the document and not undoable by itself.
    void setBackgroundImageScaleLocked(bool locked);
    // The picture made from the package data under the file name, kept
    // until the file name changes; null without one.
    std::shared_ptr<Image> backgroundImage();
    const std::shared_ptr<Image> &cachedBackgroundImage() const { return m_backgroundImage; }
    // Stores the picture (PDF, EPS or TIFF) under a fresh package path with
    // its size and the lock on; null clears the file name. One undo step
    // that brings back the previous picture, path, size, opacity and lock.
    void setBackgroundImage(const std::shared_ptr<Image> &image);
    std::optional<QByteArray> backgroundImageData() const;
    // Data that is no picture clears it.
    void setBackgroundImageData(const std::optional<QByteArray> &data);
    // The split keys of offset and size take whole numbers (truncated) and
    // change only when the whole number does; with the lock on (and a
    // picture of some size) width and height keep the picture's proportions.
    float backgroundImageOffsetX() const { return m_backgroundImageOffset.x; }
    float backgroundImageOffsetY() const { return m_backgroundImageOffset.y; }
    void setBackgroundImageOffsetX(float x);
    void setBackgroundImageOffsetY(float y);
    float backgroundImageWidth() const { return m_backgroundImageSize.width; }
    float backgroundImageHeight() const { return m_backgroundImageSize.height; }
    void setBackgroundImageWidth(float width);
    void setBackgroundImageHeight(float height);
    bool showBoundaries() const { return m_showBoundaries; }
    bool showCollapseSign() const { return m_showCollapseSign; }
    bool showLinkLines() const { return m_showLinkLines; }
    bool showShadows() const { return m_showShadows; }
    bool needsAutoLayout() const { return m_needsAutoLayout; }
    void setNeedsAutoLayout(bool needs) { m_needsAutoLayout = needs; }
    const std::optional<QString> &themeID() const { return m_themeID; }
    void setThemeID(const std::optional<QString> &id) { m_themeID = id; }
    const std::optional<QString> &mapStyleID() const { return m_mapStyleID; }
    void setMapStyleID(const std::optional<QString> &id) { m_mapStyleID = id; }
    const std::optional<QString> &defaultGraphicStyleID() const { return m_defaultGraphicStyleID; }
    void setDefaultGraphicStyleID(const std::optional<QString> &id)
    {
        m_defaultGraphicStyleID = id;
    }
    float zoomAmount() const { return m_zoomAmount; }
    float scaleAmount() const { return m_scaleAmount; }
    Rect cachedVisibleRect() const { return m_cachedVisibleRect; }
    void setCachedVisibleRect(Rect rect) { m_cachedVisibleRect = rect; }
    bool drawBackgroundOffScreen() const { return m_drawBackgroundOffScreen; }
    void setDrawBackgroundOffScreen(bool offScreen) { m_drawBackgroundOffScreen = offScreen; }
    const GraphicList &rubberbandGraphics() const { return m_rubberbandGraphics; }
    void setRubberbandGraphics(const GraphicList &graphics) { m_rubberbandGraphics = graphics; }
    // Made empty on first request.
    const OrderedDictionary &printSetupDictionary();
    bool hasPrintSetupDictionary() const { return m_printSetupDictionary.has_value(); }

    // --- undoable setters: nothing happens for an unchanged value ---
    void setAutomaticCheckBoxes(bool automatic);
    void setBackgroundColor(const std::optional<Color> &color);
    void setBackgroundImageFilename(const std::optional<QString> &path);
    void setBackgroundImageOffset(Point offset);
    void setBackgroundImageOpacity(float opacity);
    void setBackgroundImageSize(Size size);
    void setBackgroundImageTileMode(int mode);
    void setBranchHideLevel(int level);
    void setChildOutlineNumberingTopDown(bool topDown);
    void setContinuousSpellCheck(bool check);
    void setDefaultGraphicColor(const std::optional<Color> &color);
    void setDefaultStrokeColor(const std::optional<Color> &color);
    void setFirstLevelSpacing(int spacing);
    void setGraphicColoringMode(int mode);
    void setInterChildSpacing(int spacing);
    void setIsSceneContNoSwitch(bool on);
    void setIsSwDialogueAutoChar(bool on);
    void setIsSwDialogueBOPage(bool on);
    void setIsSwDialogueTONPage(bool on);
    void setIsSwSceneBOPage(bool on);
    void setIsSwSceneTONPage(bool on);
    void setSwDialogueBOPageText(const QString &text);
    void setSwDialogueTONPageText(const QString &text);
    void setSwSceneBOPageText(const QString &text);
    void setSwSceneTONPageText(const QString &text);
    void setLayoutAssistanceMode(int mode);
    void setOrderingMode(int mode);
    void setOutlineFont(const std::optional<Font> &font);
    void setOutlineNumbersToLevel(int level);
    void setRainbowAngle(float angle);
    void setRainbowSaturation(float saturation);
    void setRepelDistance(int distance);
    // Stores whole numbers: the value is truncated toward zero.
    void setScaleAmount(float scale);
    void setShowAttachedGraphics(bool show);
    void setShowBoundaries(bool show);
    void setShowCheckboxes(bool show);
    void setShowCollapseSign(bool show);
    void setShowLinkLines(bool show);
    void setShowOutlineNumbers(bool show);
    void setShowPercentComplete(bool show);
    void setShowPriorities(bool show);
    void setShowResourcesAllocated(bool show);
    void setShowShadows(bool show);
    void setShowSWTextIndicators(bool show);
    void setShowTextIndicators(bool show);
    void setTextMaxWidth(float width);
    void setTextMaxWidthSet(bool set);
    // Named "Update print setup information"; undo restores the previous one.
    void setPrintSetupDictionary(const std::optional<OrderedDictionary> &dictionary);

    // --- setters without undo ---
    void setBackgroundSettingsEnabled(bool enabled);
    void setZoomAmount(float zoom);
    // Invalidates boundaries and connection bounds; refreshes the preview.
    void setCanvasSize(Size size);

    // --- key-value access ---
    // The value of a setting by its field name (a number, a Color, a Font,
    // a Size, a Point, a string list ...); strings and objects that are not
    // set give an invalid QVariant.
    QVariant valueForKey(const QString &key) const;
    // Applies a boxed value through the key's setter; every undo step of the
    // setters runs through it. False for an unknown key or a wrong value.
    bool setMapValue(const QVariant &value, const QString &key);
    // Every key setMapValue() takes.
    static QStringList settingKeys();

    // --- map queries (TWMap_Queries.cpp) ---
    // Link lines, the root's own graphics, then each first-level subtree.
    // `all` includes hidden branches.
    GraphicList graphicsOrderedForPrinting(bool all) const;
    // Each of those graphics in the same order, without listing them: what a
    // whole large map needs only once (its extent, the files it refers to).
    void forEachGraphicForPrinting(bool all, const std::function<void(TWGraphic &)> &visit) const;
    // The printing order with selected subtrees first and the title
    // connections of the root's run moved behind the root's shape.
    GraphicList graphicsOrderedForDrawing(bool all) const;
    // graphicsOrderedForDrawing(true).
    GraphicList allGraphics() const;
    // The graphic order cache, filled from graphicsOrderedForDrawing(false) when empty.
    const GraphicList &graphics();
    // Lookup by graphic number goes through an index of every graphic of the
    // tree (hidden ones included) and of the link lines. Graphics join and
    // leave it as they are added and taken out; graphicNumbersChanged()
    // makes the next lookup rebuild it whole.
    void graphicNumbersChanged();
    void graphicsJoined(const TWMapBranch &subtree);
    void graphicsLeft(const TWMapBranch &subtree);
    void graphicJoined(const std::shared_ptr<TWGraphic> &graphic);
    void graphicLeft(const TWGraphic *graphic);
    void graphicNumberChanged(const TWGraphic &graphic, long oldNumber);
    // The map whose live index holds the branch's graphics: its map while
    // the branch hangs in that map's tree and the index is kept, else null.
    static TWMap *mapIndexing(const TWMapBranch &branch);
    int branchCount() const;
    int maximumBranchHideLevel() const;
    // Empties the selection, then selects each branch's shape at the front.
    void setSelectedBranches(const BranchList &branches);
    // -1 when the graphic is not selected.
    int indexOfSelectedGraphicIdenticalTo(const TWGraphic *graphic) const;
    // Union of the selected graphics' drawing bounds; zero when none.
    Rect selectedGraphicsRect() const;
    LinkLineList linkLinesStartingOrEndingOnBranch(const TWMapBranch *branch) const;
    static bool mouseInRect(Point point, Rect rect) { return rect.contains(point); }
    // What a click at the point hits: link lines, collapse signs, graphics,
    // then (when shown) the innermost boundary's proxy; null for nothing.
    std::shared_ptr<TWGraphic> graphicUnderPoint(Point point, const TWMapBranch *ignoringBranch);
    std::shared_ptr<TWMapBranch> branchIntersectingRect(Rect rect,
                                                        const TWMapBranch *ignoringBranch) const;
    // The extent of the drawing and of the printed map. Empty rectangles are
    // left out, so a zero-size graphic does not pull the extent to the origin.
    Rect getBoundingDrawingRectForAllGraphics();
    Rect getBoundingPrintingRectForAllGraphics();
    // The nearest common ancestor; `one` and `two` are left holding the
    // paths from each branch up to it (without it).
    static TWMapBranch *commonAncestorOfBranches(QList<TWMapBranch *> &one,
                                                 QList<TWMapBranch *> &two, TWMapBranch *branch1,
                                                 TWMapBranch *branch2);
    // Removes link lines whose end graphics are no longer in the map.
    void removeDeadLinkLines();

    // --- user operations on the selection (TWMap_PublicInterface.cpp) ---
    // Each is one undo step named from the "DadoZiz" table.
    // A location puts each new branch's shape at that point; none leaves the
    // placement of addChildOfType().
    BranchList publicCreateChildren();
    BranchList publicCreateChildrenOfType(int type, const std::optional<QString> &customBranchName,
                                          bool beginEditing = true,
                                          std::optional<Point> location = std::nullopt);
    // Options "type", "name", "beginEditing" and "location" (a QPointF; the
    // zero point counts as none); a menu item carries them as its data.
    BranchList publicCreateChildrenWithOptions(const QVariantMap &options);
    BranchList publicCreateChildrenFromMenuItem(const QObject *menuItem);
    // Nothing (and a beep) with nothing selected.
    std::optional<BranchList> publicCreateSiblings();
    std::optional<BranchList>
    publicCreateSiblingsOfType(int type, const std::optional<QString> &customBranchName,
                               bool beginEditing = true);
    std::optional<BranchList> publicCreateSiblingsWithOptions(const QVariantMap &options);
    std::optional<BranchList> publicCreateSiblingsFromMenuItem(const QObject *menuItem);
    // Without commit: the line being dragged (kept by the maps document).
    // With commit: ends the drag and makes the link line when both ends exist.
    void publicCreateLinkLineFromGraphic(const std::shared_ptr<TWGraphic> &start,
                                         const std::shared_ptr<TWGraphic> &end,
                                         Point temporaryIntermediatePoint, bool commit);
    void publicDeleteLinkLineAtIndex(int index);
    void publicDeleteSelectedBranches();
    void publicDeleteSelectedGraphics();
    void publicAddGraphicToSelection(const std::shared_ptr<TWGraphic> &graphic);
    void publicRemoveGraphicFromSelection(const TWGraphic *graphic);
    void publicMoveSelectedGraphicsForward();
    void publicMoveSelectedGraphicsBack();
    void publicMoveSelectedGraphicsToFront();
    void publicMoveSelectedGraphicsToBack();
    void publicSetSelectedLinkLineColorModeTo(int mode);
    void publicSetSelectedLinkLineColorTo(const std::optional<Color> &color);
    void publicSetSelectedLinkLineWidth(float width);
    void publicSetSelectedLinkLinesHaveStartArrow(bool has);
    void publicSetSelectedLinkLinesStartArrowLength(float length);
    void publicSetSelectedLinkLinesStartArrowWidth(float width);
    void publicSetSelectedLinkLinesHaveEndArrow(bool has);
    void publicSetSelectedLinkLinesEndArrowLength(float length);
    void publicSetSelectedLinkLinesEndArrowWidth(float width);
    void publicSelectSiblings();
    void publicSelectDescendants();

    // --- styles (src/styles/TWMap_Style.cpp) ---
    // The keys of a map style's groups.
    static const QStringList &backgroundKeys();
    static const QStringList &coloringKeys();
    static const QStringList &autolayoutKeys();
    static const QStringList &outlineNumberingKeys();
    // A map style holding the map's current settings.
    std::shared_ptr<TWStyle> newStyleFromCurrentSettings() const;
    // Reads each key's value from the map into the dictionary.
    void updateKeys(const QStringList &keys, OrderedDictionary &dictionary) const;
    // The library's styles under mapStyleID and defaultGraphicStyleID.
    std::shared_ptr<TWStyle> mapStyle() const;
    std::shared_ptr<TWStyle> defaultGraphicStyle() const;
    // Not undoable; null clears it.
    void setDefaultGraphicStyle(const std::shared_ptr<TWStyle> &style);
    // Applies the groups whose flags are on as one undoable step and records
    // the style's identifier (null clears it).
    void setMapStyle(const std::shared_ptr<TWStyle> &style);
    // Sets each key to the style's "map" value; keys the style lacks are skipped.
    void applyKeys(const QStringList &keys, const TWStyle &style);
    // Re-applies the style to every graphic that has it.
    void updateStyleForGraphicsWithStyleID(const QString &identifier);
    // The theme under themeID, or null.
    std::shared_ptr<TWTheme> theme() const;
    void setTheme(const std::shared_ptr<TWTheme> &theme);
    // --- themes (src/styles/TWTheme_Map.cpp) ---
    // A theme of this map's look: its map style, and one level entry per
    // branch along the root's first-child chain.
    std::shared_ptr<TWTheme> newThemeFromCurrentSettings();
    // Applies the map's theme: map style, no default graphic style, and with
    // graphics every branch restyled by its level.
    void updateThemeIncludingGraphics(bool includeGraphics);
    // A map style value by key, the few the settings table does not hold included.
    QVariant styleValueForKey(const QString &key) const;
    bool setStyleValueForKey(const QVariant &value, const QString &key);

private:
    struct NumberIndex;
    // Made on first lookup.
    std::shared_ptr<NumberIndex> m_numberIndex;
    friend class TWMapSettingsAccess;

    void initWithDocument(TWMapsDoc *document);
    void restoreBackgroundPicture(const std::shared_ptr<Image> &picture, bool locked);
    void makeRootBranch();
    template <class F> void registerUndo(F &&inverse);
    void registerSetterUndo(const QString &key, const QVariant &old);
    void nameUndoAction(const char *name, const char *table = nullptr);
    bool announcing() const { return !m_initializing; }
    void post(const QString &name) const;
    void postRedrawRoot() const;
    void postCanvasRedraw(const QString &name) const;
    void postValueChange(const QString &key, bool did) const;
    void refreshPreview();
    void redrawCanvasAndPreview(const QString &redraw);
    void redrawRootAndPreview();
    void fitAllAndPreview();
    void fitAllBranches();
    void refitTextAreas();
    QList<std::shared_ptr<TWMapBranch>> branchesIncludingHidden() const;
    void enqueueSelectionChange(const std::shared_ptr<TWGraphic> &graphic);
    void selectionDidChange();
    void updateSelectedBranch() const;
    void updateSelectedBranchesForBindings() const;
    // Counts per selected graphic, kept step by step; rebuilt when the list
    // was changed behind its back (its size no longer matches).
    void indexSelectedGraphic(const TWGraphic *graphic, int delta);
    void readFromElement(bool keepIdentifier);
    void writeToElement(XMLElement &element);
    // Takes the tree read for the map (keeping the default root when there
    // is none) and the link lines, then resolves the graphic numbers.
    void adoptLoadedTree(const std::shared_ptr<TWMapBranch> &root,
                         const QList<XMLElement> &linkLines);
    // `root` and `linkLines` elements of the tree, appended to `element`.
    void appendTreeElements(XMLElement &element, bool embeddingBinaryData);
    static void removeTreeElements(XMLElement &element);
    template <class T>
    bool setIfChanged(T &field, const T &value, const char *key, const char *actionName,
                      const char *table = nullptr);

    XMLElement m_liveXMLElement;
    std::optional<QString> m_identifier;
    std::optional<QString> m_mapName;
    TWMapsDoc *m_document = nullptr;
    std::shared_ptr<TWMapLayoutServices> m_layoutServices;
    std::shared_ptr<TWMapDrawingServices> m_drawingServices;
    bool m_initializing = false;

    bool m_isSwDialogueBOPage = false;
    QString m_swDialogueBOPageText;
    bool m_isSwDialogueTONPage = false;
    QString m_swDialogueTONPageText;
    bool m_isSwDialogueAutoChar = false;
    bool m_isSwSceneBOPage = false;
    QString m_swSceneBOPageText;
    bool m_isSwSceneTONPage = false;
    QString m_swSceneTONPageText;
    bool m_isSceneContNoSwitch = false;
    QStringList m_outlineFormatSettings;
    int m_firstLevelSpacing = 0;
    int m_interChildSpacing = 0;
    int m_repelDistance = 0;
    bool m_continuousSpellCheck = false;
    std::optional<Color> m_defaultGraphicColor;
    std::optional<Color> m_defaultStrokeColor;
    int m_graphicColoringMode = 0;
    float m_rainbowSaturation = 0;
    float m_rainbowAngle = 0;
    Size m_canvasSize;
    bool m_backgroundSettingsEnabled = false;
    std::optional<Color> m_backgroundColor;
    std::optional<QString> m_backgroundImageFilename;
    float m_backgroundImageOpacity = 0;
    Size m_backgroundImageSize;
    int m_backgroundImageTileMode = 0;
    Point m_backgroundImageOffset;
    std::shared_ptr<TWMapBranch> m_root;
    mutable std::weak_ptr<TWMapBranch> m_selectedBranch;
    LinkLineList m_linkLines;
    std::vector<std::shared_ptr<TWConnectionGraphic>> m_connectionsMadeWhileReading;
    GraphicList m_graphicOrderCache;
    GraphicList m_selectedGraphics;
    GraphicList m_rubberbandGraphics;
    std::shared_ptr<Image> m_backgroundImage;
    bool m_backgroundImageScaleLocked = false;
    float m_zoomAmount = 0;
    float m_scaleAmount = 0;
    Rect m_cachedVisibleRect;
    bool m_showBoundaries = false;
    bool m_showCollapseSign = false;
    bool m_showLinkLines = false;
    bool m_showShadows = false;
    bool m_showSWTextIndicators = false;
    bool m_needsAutoLayout = false;
    std::optional<QString> m_themeID;
    std::optional<QString> m_mapStyleID;
    std::optional<QString> m_defaultGraphicStyleID;
    std::shared_ptr<TWMapPreviewImage> m_previewImage;
    std::optional<OrderedDictionary> m_printSetupDictionary;
    bool m_drawBackgroundOffScreen = false;
    // Derived from the selection when first asked after a change: selecting
    // a whole map one graphic at a time stays linear.
    mutable BranchList m_selectedBranchesForBindings;
    mutable bool m_selectedBranchStale = false;
    mutable bool m_bindingsBranchesStale = false;
    mutable QHash<const TWGraphic *, int> m_selectedIndex;
    mutable qsizetype m_selectedIndexSize = -1;
    BranchDisplaySettings m_branchSettings;
    // Listed once each until the next numbering, however often they move: a
    // branch on the list bears the list's mark, new at every numbering and
    // for every map, so no branch is looked up.
    QList<std::weak_ptr<TWMapBranch>> m_shapesMovedSinceNumbering;
    quint64 m_shapesMovedMark = 0;
    void clearShapesMovedSinceNumbering();
    QHash<const TWMapBranch *, std::weak_ptr<TWMapBranch>> m_childrenChangedSinceNumbering;
};

// Redraw notifications name the map they concern by pointer.
Q_DECLARE_METATYPE(TWMap *)
