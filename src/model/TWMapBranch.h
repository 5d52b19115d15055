#pragma once

#include "graphics/TWTreeTranslation.h"
#include "platform/Geometry.h"
#include "platform/Notification.h"
#include "support/CalendarDate.h"
#include "support/Color.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include <libxml/tree.h>

class AttributedString;
class Image;
class BezierPath;
class ContentsXMLReader;
class XMLOut;
class QMimeData;
class QObject;
class TWAttachedText;
class TWBoundaryProxy;
class TWConnectionGraphic;
class TWEnclosedGraphic;
class TWGraphic;
class TWHyperlink;
class TWLinkLine;
class TWMap;
class TWSiblingOrder;
class TWMapLayoutServices;
class TWMapsDoc;
class TWPointHolder;
class TWResource;
class TWStyle;
class TWTheme;
class TWTextArea;
class TWTrackedChange;
class UndoManager;
class XMLStreamWriter;

// One topic of a mind map: a node of the map's branch tree. It owns every
// graphic drawn for the topic (shape, text, picture, adornments, attached
// graphics, the connection to its parent), its children and its settings.
// Its "type" is the class of its main graphic.
//
// Always held by a shared_ptr (create()/createWithGraphic()). `parent` and
// `map` are weak back pointers: a branch taken out of the tree (and kept by
// an undo step) never reaches a freed parent or map. Every setter and every
// indexed array operation registers its inverse with the map's undo manager
// and posts its notifications; the destructor does neither. Owners call
// deparent() before letting a tree go.
//
// Settings most branches share the defaults of live in a side record, and
// run-time caches of layout and drawing in another, each made on first use.
class TWMapBranch : public std::enable_shared_from_this<TWMapBranch>
{
    struct Passkey
    {
        explicit Passkey() = default;
    };

public:
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;
    using GraphicList = QList<std::shared_ptr<TWGraphic>>;
    using EnclosedGraphicList = QList<std::shared_ptr<TWEnclosedGraphic>>;
    using LinkLineList = QList<std::shared_ptr<TWLinkLine>>;
    using AttachedTextList = QList<std::shared_ptr<TWAttachedText>>;
    using HyperlinkList = QList<std::shared_ptr<TWHyperlink>>;
    using TrackedChangeList = QList<std::shared_ptr<TWTrackedChange>>;
    using PointList = QList<std::shared_ptr<TWPointHolder>>;
    using PointDictionary = QHash<QString, PointList>;
    // Location and length in the screenplay text.
    struct Range
    {
        quint32 location = 0;
        quint32 length = 0;
        friend bool operator==(const Range &, const Range &) = default;
    };

    // --- notifications (names as the rest of the system knows them) ---
    static inline const QString SubtreeNeedsRedrawNotification =
        QStringLiteral("SubtreeNeedsRedrawNotification");
    static inline const QString BranchNeedsRedrawNotification =
        QStringLiteral("BranchNeedsRedrawNotification");
    static inline const QString BranchDidResizeNotification =
        QStringLiteral("BranchDidResizeNotification");
    static inline const QString GraphicNeedsRedrawNotification =
        QStringLiteral("GraphicNeedsRedrawNotification");
    static inline const QString RedrawInRectNotification =
        QStringLiteral("RedrawInRectNotification");
    static inline const QString DelayedRedrawInRectNotification =
        QStringLiteral("DelayedRedrawInRectNotification");
    static inline const QString OutlineNeedsReloadNotification =
        QStringLiteral("TWOutlineNeedsReloadNotification");
    static inline const QString BranchOutlineFormatSettingChangedNotification =
        QStringLiteral("BranchOutlineFormatSettingChangedNotification");
    static inline const QString HideChildrenNotification =
        QStringLiteral("HideChildrenNotification");
    static inline const QString ShowChildrenNotification =
        QStringLiteral("ShowChildrenNotification");
    static inline const QString EndEditingTextNotification =
        QStringLiteral("EndEditingTextNotification");
    static inline const QString HideChildrenOutlineNumbersNotification =
        QStringLiteral("HideChildrenOutlineNumbersNotification");
    static inline const QString ResetChildrenOutlineNumbersNotification =
        QStringLiteral("ResetChildrenOutlineNumbersNotification");
    // User-info keys: the map (a NotificationObject) and the rectangle (a
    // QRectF) of the redraw-in-rectangle notifications; the branch (a
    // std::shared_ptr<TWMapBranch>) of BranchDidResizeNotification.
    static inline const QString MapKey = QStringLiteral("map");
    static inline const QString RectKey = QStringLiteral("rect");
    static inline const QString BranchKey = QStringLiteral("branch");
    // On the root's SubtreeNeedsRedrawNotification: when present, the only
    // branches (a QVariantList of std::shared_ptr<TWMapBranch>) whose
    // subtrees, and whose parents, changed; the rest of the map stands.
    static inline const QString OnlyBranchesKey = QStringLiteral("onlyBranches");

    // Name of the enclosed-graphic record that holds the outline-number label.
    static inline const QString OutlineNumberKey = QStringLiteral("outlineNumberKey");
    // Width of one indicator icon slot and the margin beside the icons.
    static constexpr float IconSlotWidth = 19;
    static constexpr float IconMargin = 3;
    // The text width when neither the branch nor the map sets a limit.
    static constexpr float UnlimitedTextWidth = 999999;

    // --- construction and tear-down ---
    // A detached branch with the plain defaults and a fresh branch number.
    static std::shared_ptr<TWMapBranch> create();
    // The editor's new branch: `shape` becomes the main graphic, a text area
    // is made inside it, the branch is appended to `parent`'s children and
    // gets the connection, text, font and boundary defaults of a new branch.
    static std::shared_ptr<TWMapBranch> createWithGraphic(const std::shared_ptr<TWGraphic> &shape,
                                                          TWMapBranch *parent, TWMap *map);

    explicit TWMapBranch(Passkey);
    // Posts nothing and registers nothing; owned graphics are left without a branch.
    ~TWMapBranch();
    TWMapBranch(const TWMapBranch &) = delete;
    TWMapBranch &operator=(const TWMapBranch &) = delete;

    // Gives the owned graphics this branch and every child this branch's map
    // and this branch as parent, down the subtree (undoable).
    void reparent();
    // Cuts those links down the subtree. Registers nothing: it runs before a
    // tree is let go, when the undo manager may be going away too.
    void deparent();
    // The branch observes its own redraw requests (re-run after a map change).
    void subscribeToNotifications();
    void unsubscribeFromNotifications();

    // The map's undo manager; null without a map.
    UndoManager *undoManager() const;

    // --- redraw ---
    // Observers of SubtreeNeedsRedrawNotification and BranchNeedsRedrawNotification
    // (object the branch): one delayed redraw per graphic of the subtree,
    // respectively of the branch.
    void invalidateSubtreeFromBranch(const Notification &notification = {});
    void invalidateBranch(const Notification &notification = {});
    // Redraws the boundary's area; nothing without a boundary path.
    void redraw();

    // --- fields ---
    const std::shared_ptr<TWGraphic> &mainGraphic() const { return m_mainGraphic; }
    std::shared_ptr<TWGraphic> enclosedImage() const;
    int enclosedImageLayoutMode() const;
    std::optional<QString> soundFileName() const;
    int soundFileReferenceMethod() const;
    const GraphicList &linkedGraphics() const { return m_linkedGraphics; }
    const std::shared_ptr<TWTextArea> &enclosedTextArea() const { return m_enclosedTextArea; }
    const EnclosedGraphicList &otherEnclosedGraphics() const { return m_otherEnclosedGraphics; }
    int branchNumber() const { return m_branchNumber; }
    const std::shared_ptr<TWConnectionGraphic> &connectionGraphic() const
    {
        return m_connectionGraphic;
    }
    const AttachedTextList &attachedTextArray() const;
    TWMapBranch *parent() const { return m_parentBranch; }
    std::shared_ptr<TWMapBranch> parentPointer() const { return m_parent.lock(); }
    const BranchList &children() const { return m_children; }
    TWMap *map() const { return m_map.expired() ? nullptr : m_mapPointer; }
    std::shared_ptr<TWMap> mapPointer() const { return m_map.lock(); }
    // A number handed down by a renumbering is taken up here, when read.
    const QString &outlineNumber() const;
    bool textMaxWidthSet() const { return m_flags.textMaxWidthSet; }
    // The branch's own limit when set, else the map's when set, else 999999.
    float textMaxWidth() const;
    // The branch's own limit, set or not.
    float ownTextMaxWidth() const;
    const HyperlinkList &hyperlinks() const;
    bool childrenHidden() const { return m_flags.childrenHidden; }
    Rect cachedBounds() const { return m_cachedBounds; }
    int textRelativePosition() const { return m_textRelativePosition; }
    bool expandedInOutlineView() const { return m_flags.expandedInOutlineView; }
    std::optional<QString> mmOid() const;
    bool hasBoundary() const { return m_flags.hasBoundary; }
    std::optional<Color> boundaryLineColor() const;
    std::optional<Color> boundaryFillColor() const;
    int boundaryLineStyle() const;
    float boundaryLineWidth() const;
    float boundaryCurveRadius() const;
    int boundaryCornerStyle() const;
    float boundaryMargin() const;
    bool boundaryInheritsLineColor() const;
    bool boundaryDrawsFill() const;
    bool boundaryDrawsLine() const;
    float overriddenChildRepel() const;
    float overriddenChildSpacing() const;
    int overriddenChildrenColorMode() const;
    bool overridesRainbowAngle() const;
    float overriddenRainbowAngle() const;
    bool hideChildrenOutlineNumbers() const;
    bool resetChildrenOutlineNumbers() const;
    const QStringList &childrenOutlineNumberFormatOverride() const;
    int childrenConnectionStyle() const { return m_childrenConnectionStyle; }
    int childrenConnectionSide() const { return m_childrenConnectionSide; }
    bool showCheckBox() const { return m_flags.showCheckBox; }
    int checkBoxState() const;
    int priority() const;
    std::optional<CalendarDate> startDate() const;
    std::optional<CalendarDate> endDate() const;
    float percentageComplete() const;
    const QStringList &resourcesAllocated() const;
    float duration() const;
    int durationUnits() const;
    const TrackedChangeList &trackedChanges() const;
    float textDistanceFromLeftEnd() const;
    float textDistanceFromRightEnd() const;
    bool needsMakeNaturalSize() const { return m_flags.needsMakeNaturalSize; }
    bool loading() const { return m_flags.loading; }
    const QVariantMap &resourcesAllocatedTooltipInfo() const;
    QVariantMap &resourcesAllocatedTooltipInfoForUpdate();
    const QVariantList &hyperlinkTooltipInfo() const;
    QVariantList &hyperlinkTooltipInfoForUpdate();
    // Layout state (read and written by layout and boundary code).
    PointDictionary &childrenBoundaryPoints();
    PointList &childrenBoundaryOutlinePoints();
    // The branches of the shown subtree whose rectangles reach the corners
    // of its outline, in tree order, as worked out for the branch's level
    // and the map's hide level (level -1: not worked out); and, when the
    // branch's set holds only such branches of its subtree, the first point
    // it holds for the branch itself.
    struct OutlineRim
    {
        std::vector<std::weak_ptr<TWMapBranch>> branches;
        int level = -1;
        int hideLevel = 0;
        std::weak_ptr<TWPointHolder> setFromRims;
    };
    OutlineRim &outlineRim();
    PointDictionary &autolayoutChildrenBoundaryPoints();
    // The branch's own points while a layout runs, kept apart from the set
    // above, which then holds nothing else (a hash per branch for one entry).
    PointList &autolayoutOwnPoints();
    PointList &autolayoutChildrenBoundaryOutlinePoints();
    float minAutolayoutY() const;
    void setMinAutolayoutY(float y);
    float maxAutolayoutY() const;
    void setMaxAutolayoutY(float y);
    Rect autolayoutBranchOriginalBounds() const;
    void setAutolayoutBranchOriginalBounds(Rect bounds);
    Rect autolayoutBranchMovedBounds() const;
    void setAutolayoutBranchMovedBounds(Rect bounds);
    std::shared_ptr<BezierPath> cachedBoundaryPath() const;
    // Whether the branch holds boundary points, an outline or its path.
    bool holdsBoundaryOutline() const;
    void setCachedBoundaryPath(const std::shared_ptr<BezierPath> &path);
    // The mark of the map's list of moved shapes this branch is on, until
    // that map numbers its branches again (0: none).
    quint64 movedShapeListMark() const { return m_movedShapeListMark; }
    void setMovedShapeListMark(quint64 mark) { m_movedShapeListMark = mark; }
    // Made on first use and given this branch.
    const std::shared_ptr<TWBoundaryProxy> &boundaryProxy();
    bool hasBoundaryProxy() const;
    QString screenWriterText() const;
    bool printScreenWriterText() const;
    Range screenWriterSelectedRange() const;
    bool scenesAndCharactersValid() const;
    QVariantList &scenesArray();
    QVariantList &charactersArray();

    // Empties the map's selection, selects the text area and starts editing it.
    void beginEditingEnclosedTextArea();

    // --- setters: undoable, nothing for an unchanged value ---
    void setMainGraphic(const std::shared_ptr<TWGraphic> &graphic);
    void setEnclosedImage(const std::shared_ptr<TWGraphic> &image);
    void setEnclosedImageLayoutMode(int mode);
    void setSoundFileName(const std::optional<QString> &name);
    void setSoundFileReferenceMethod(int method);
    void setEnclosedTextArea(const std::shared_ptr<TWTextArea> &textArea);
    void setBranchNumber(int number);
    void setConnectionGraphic(const std::shared_ptr<TWConnectionGraphic> &connection);
    void setParent(TWMapBranch *parent);
    // Registers its inverse with the new map's and the old map's undo manager.
    void setMap(TWMap *map);
    // Undoable, one inverse a call. The label showing the number follows at
    // once where it is shown; a hidden one waits (see below).
    void setOutlineNumber(const QString &number);
    // The same without an inverse, for renumbering, which registers one for
    // every number it changed; the number replaced goes into `old`. False
    // when the number was already this one.
    bool assignOutlineNumber(const QString &number, QString *old = nullptr);
    // A hidden number's label text is brought up to its number only when it
    // is shown or saved: renumbering a big map then touches strings only.
    // The label is made from the number alone, so it is never recorded for
    // undo.
    void materializeOutlineNumberLabel();
    bool outlineNumberLabelPending() const;
    // What a renumbering sets and its undo puts back: the number, and the
    // branch's own part of it when it was made from its parent's number
    // (null otherwise).
    struct NumberState
    {
        QString number;
        QString part;
    };
    // Sets the number a renumbering worked out. With `handDown`, the
    // descendants take the new number up as their prefix when theirs is
    // next read, instead of being renumbered now; old as `assignOutlineNumber`.
    bool assignWalkedNumber(const NumberState &state, bool handDown, NumberState *old = nullptr);
    // Whether the branch was last numbered at this level with these
    // formats: then only the prefix of its descendants' numbers can change.
    bool numberedAs(int level, const QStringList &formats) const
    {
        return m_numberedLevel == level && m_numberedFormats == formats;
    }
    void setNumberedAs(int level, const QStringList &formats)
    {
        m_numberedLevel = level;
        m_numberedFormats = formats;
    }
    void setTextMaxWidthSet(bool set);
    void setTextMaxWidth(float width);
    void setChildrenHidden(bool hidden);
    void setCachedBounds(Rect bounds);
    void setTextRelativePosition(int position);
    void setExpandedInOutlineView(bool expanded);
    void setMmOid(const std::optional<QString> &oid);
    void setHasBoundary(bool has);
    void setBoundaryLineColor(const std::optional<Color> &color);
    void setBoundaryFillColor(const std::optional<Color> &color);
    void setBoundaryLineStyle(int style);
    void setBoundaryLineWidth(float width);
    void setBoundaryCurveRadius(float radius);
    void setBoundaryCornerStyle(int style);
    void setBoundaryMargin(float margin);
    void setBoundaryInheritsLineColor(bool inherits);
    void setBoundaryDrawsFill(bool draws);
    void setBoundaryDrawsLine(bool draws);
    void setOverriddenChildRepel(float repel);
    void setOverriddenChildSpacing(float spacing);
    void setOverriddenChildrenColorMode(int mode);
    void setOverridesRainbowAngle(bool overrides);
    void setOverriddenRainbowAngle(float angle);
    void setHideChildrenOutlineNumbers(bool hide);
    void setResetChildrenOutlineNumbers(bool reset);
    void setChildrenOutlineNumberFormatOverride(const QStringList &formats);
    void setChildrenConnectionStyle(int style);
    void setChildrenConnectionSide(int side);
    void setShowCheckBox(bool show);
    void setCheckBoxState(int state);
    void setPriority(int priority);
    void setStartDate(const std::optional<CalendarDate> &date);
    void setEndDate(const std::optional<CalendarDate> &date);
    void setPercentageComplete(float percentage);
    void setResourcesAllocated(const QStringList &identifiers);
    void setDuration(float duration);
    void setDurationUnits(int units);
    void setTextDistanceFromLeftEnd(float distance);
    void setTextDistanceFromRightEnd(float distance);
    void setLoading(bool loading);
    void setScreenWriterText(const QString &text);
    void setPrintScreenWriterText(bool print);
    void setScreenWriterSelectedRange(Range range);
    // Without undo.
    void setNeedsMakeNaturalSize(bool needs);
    void setScenesAndCharactersValid(bool valid);

    // --- bindings ---
    // The text of the first attached text; null without one.
    std::shared_ptr<const AttributedString> primaryAttachedText() const;
    // An empty text removes the first attached text; otherwise the first one
    // gets the text, or a new one is made for it. Undoable.
    void setPrimaryAttachedText(std::shared_ptr<const AttributedString> text);

    // --- task data ---
    using ResourceList = QList<std::shared_ptr<TWResource>>;
    using Instant = QDateTime;
    // Derived keys, announced (ValueDidChangeNotification) by the setters
    // that change them; the clock-dependent ones are never announced.
    bool startDateEnabled() const { return startDate().has_value(); }
    bool endDateEnabled() const { return endDate().has_value(); }
    // Enabling sets the present moment when no date is set; disabling clears it.
    void setStartDateEnabled(bool enabled);
    void setEndDateEnabled(bool enabled);
    bool hasPriority() const { return priority() > 0; }
    bool hasCompletion() const { return percentageComplete() >= 0; }
    bool isComplete() const { return percentageComplete() >= 100; }
    // Both dates, the end more than a second after the start.
    bool hasSchedule() const;
    bool hasDuration() const { return duration() > 0; }
    bool hasAllocatedResources() const { return !resourcesAllocated().isEmpty(); }
    // The clock-dependent states, at `now` or at the present moment.
    bool isInProgress(const Instant &now) const;
    bool isInProgress() const;
    bool isOverdue(const Instant &now) const;
    bool isOverdue() const;
    // Scheduled to start after `now` and less than `days` days after it.
    bool isScheduledToStartIn(float days, const Instant &now) const;
    bool isScheduledToStartIn(float days) const;

    // Unit codes 1 minutes ... 6 years; others have no label and 0 seconds.
    static QString durationUnitLabel(int units);
    static float secondsPerDurationUnit(int units);
    double durationInSeconds() const;
    // "2.0 Weeks"; empty for no duration.
    QString durationString() const;
    // Each fills one of duration, start and end from the other two (undoable).
    void calculateDuration();
    void calculateStartDate();
    void calculateEndDate();

    // Allocation by resource identifier, each at most once.
    void insertObjectInResourcesAllocatedAtIndex(const QString &identifier, int index);
    void removeObjectFromResourcesAllocatedAtIndex(int index);
    // The document gets a copy of a resource it does not know yet.
    void allocateResource(const std::shared_ptr<TWResource> &resource);
    void allocateResources(const ResourceList &resources);
    void allocateResourceFromXMLString(const QString &xml);
    void allocateResourcesFromXMLStrings(const QStringList &xml);
    void allocateResourcesFromPasteboard(const QMimeData *pasteboard);
    void unallocateResource(const std::shared_ptr<TWResource> &resource);
    void unallocateResources(const ResourceList &resources);
    bool hasAllocatedResource(const std::shared_ptr<TWResource> &resource) const;
    bool usesResourceInArray(const ResourceList &resources) const;
    // The names of the allocated resources the document knows, one a line.
    QString allocatedResourcesTooltipString() const;

    // A report is a dictionary of switch keys ("reportComplete", ...) and
    // their values; "resources" holds a ResourceList. With no switch on,
    // every branch matches.
    bool matchesReport(const QVariantMap &report, const Instant &now) const;
    bool matchesReport(const QVariantMap &report) const;
    // The subtree in pre-order, each matching branch appended once.
    void addBranchesMatchingReport(const QVariantMap &report, BranchList &array,
                                   const Instant &now);
    void addBranchesMatchingReport(const QVariantMap &report, BranchList &array);

    // --- what readers store directly (no undo, no notification) ---
    void setPrimitiveParent(TWMapBranch *parent);
    void setPrimitiveMap(TWMap *map);
    // A number read from a file: stored, and recorded as used for the run so
    // that fresh numbers never repeat it.
    void setStoredBranchNumber(int number);

    // --- the "TWMapBranch" element (TWMapBranch_XML.cpp) ---
    // Appends the element of this branch and its subtree as the last child
    // of `parent` and returns it. With embedding, pictures travel inside
    // the graphic elements (copy and paste).
    xmlNodePtr addXmlDataToNode(xmlNodePtr parent, bool embeddingBinaryData = false);
    // The same element at the writer's place, byte for byte as the tree
    // form prints; false when the writer failed.
    bool writeXML(XMLStreamWriter &writer, bool embeddingBinaryData = false);
    // A tree this large is written in pieces of about so many branches on
    // several threads; the text is the same.
    struct TextPieces
    {
        int smallestTree = 2000;
        int branchesInPiece = 64;
    };
    static TextPieces &textPieces();
    // What both of them write, into either.
    void writeXml(XMLOut &out, bool embeddingBinaryData = false);
    // A branch and its subtree read from its element, with `parent` and
    // `map` stored as they are. Null (and a log line) when the shape, the
    // text area or the branch number is missing. Each branch read posts
    // IncrementLoadingNotification with its plain text under LoadingTextKey.
    static std::shared_ptr<TWMapBranch> initWithXMLNode(xmlNodePtr node, xmlDocPtr doc,
                                                        TWMapBranch *parent, TWMap *map);
    // --- old property-list documents (TWMapBranch_OldFormat.cpp) ---
    // A branch and its subtree read from an old branch dictionary; its link
    // lines go to the map, still ending at branch numbers. A branch without
    // parent becomes the map's root at once. Null for a branch without a
    // shape, or one nested deeper than maxOldStyleDepth.
    static std::shared_ptr<TWMapBranch> initWithOldStyleDictionary(const QVariantMap &dictionary,
                                                                   TWMapBranch *parent, TWMap *map);
    static constexpr int maxOldStyleDepth = 1000;
    // The branch number an old document stores ("nodeHash", "endNodeHash").
    static int oldStyleBranchNumber(const QVariant &value);

    // The same from a reader standing on the element; the reader moves past it.
    static std::shared_ptr<TWMapBranch> createWithXMLReader(ContentsXMLReader &reader,
                                                            TWMapBranch *parent, TWMap *map);
    static inline const QString LoadingTextKey = QStringLiteral("text");

    // --- key-value coding of the flags and numbers ---
    QVariant valueForKey(const QString &key) const;
    // Through the key's undoable setter; false for an unknown key or a value
    // of the wrong kind.
    bool setValueForKey(const QVariant &value, const QString &key);
    // A menu item (a QAction whose data is a key) flips that boolean setting.
    void toggle(QObject *sender);

    // --- children ---
    int countOfChildren() const { return int(m_children.size()); }
    std::shared_ptr<TWMapBranch> objectInChildrenAtIndex(int index) const;
    // Does not set the child's parent or map: the caller does.
    void insertObjectInChildrenAtIndex(const std::shared_ptr<TWMapBranch> &child, int index);
    void removeObjectFromChildrenAtIndex(int index);
    // Nothing when `child` is not a child.
    void removeChild(const std::shared_ptr<TWMapBranch> &child);
    // For re-sorting: no boundary update and no redraw.
    void setChildren(const BranchList &children);

    // --- linked (attached) graphics ---
    int countOfLinkedGraphics() const { return int(m_linkedGraphics.size()); }
    std::shared_ptr<TWGraphic> objectInLinkedGraphicsAtIndex(int index) const;
    GraphicList getLinkedGraphics(int location, int length) const;
    void insertObjectInLinkedGraphicsAtIndex(const std::shared_ptr<TWGraphic> &graphic, int index);
    // Closes the gap the removed graphic leaves in the others' z-order.
    void removeObjectFromLinkedGraphicsAtIndex(int index);
    void removeAllLinkedGraphics();
    // Swaps two attached graphics' places, without undo (z-order changes
    // register their own inverse).
    void exchangeLinkedGraphicsAtIndexes(int first, int second);

    // --- other enclosed graphics (adornments and the outline-number label) ---
    int countOfOtherEnclosedGraphics() const { return int(m_otherEnclosedGraphics.size()); }
    std::shared_ptr<TWEnclosedGraphic> objectInOtherEnclosedGraphicsAtIndex(int index) const;
    EnclosedGraphicList getOtherEnclosedGraphics(int location, int length) const;
    void
    insertObjectInOtherEnclosedGraphicsAtIndex(const std::shared_ptr<TWEnclosedGraphic> &graphic,
                                               int index);
    void removeObjectFromOtherEnclosedGraphicsAtIndex(int index);
    void removeAllOtherEnclosedGraphics();

    // --- attached texts ---
    int countOfAttachedTextArray() const;
    std::shared_ptr<TWAttachedText> objectInAttachedTextArrayAtIndex(int index) const;
    AttachedTextList getAttachedTextArray(int location, int length) const;
    void insertObjectInAttachedTextArrayAtIndex(const std::shared_ptr<TWAttachedText> &text,
                                                int index);
    void removeObjectFromAttachedTextArrayAtIndex(int index);
    void removeAllAttachedTextArray();

    // --- hyperlinks ---
    int countOfHyperlinks() const;
    std::shared_ptr<TWHyperlink> objectInHyperlinksAtIndex(int index) const;
    HyperlinkList getHyperlinks(int location, int length) const;
    void insertObjectInHyperlinksAtIndex(const std::shared_ptr<TWHyperlink> &link, int index);
    void removeObjectFromHyperlinksAtIndex(int index);
    void replaceObjectInHyperlinksAtIndex(int index, const std::shared_ptr<TWHyperlink> &link);
    void removeAllHyperlinks();

    // --- tracked changes ---
    int countOfTrackedChanges() const;
    std::shared_ptr<TWTrackedChange> objectInTrackedChangesAtIndex(int index) const;
    TrackedChangeList getTrackedChanges(int location, int length) const;
    void insertObjectInTrackedChangesAtIndex(const std::shared_ptr<TWTrackedChange> &change,
                                             int index);
    void removeObjectFromTrackedChangesAtIndex(int index);
    void replaceObjectInTrackedChangesAtIndex(int index,
                                              const std::shared_ptr<TWTrackedChange> &change);
    void removeAllTrackedChanges();

    // --- children's outline-number formats ---
    int countOfChildrenOutlineNumberFormatOverride() const;
    QString objectInChildrenOutlineNumberFormatOverrideAtIndex(int index) const;
    QStringList getChildrenOutlineNumberFormatOverride(int location, int length) const;
    void insertObjectInChildrenOutlineNumberFormatOverrideAtIndex(const QString &format, int index);
    void removeObjectFromChildrenOutlineNumberFormatOverrideAtIndex(int index);
    void replaceObjectInChildrenOutlineNumberFormatOverrideAtIndex(int index,
                                                                   const QString &format);
    void removeAllChildrenOutlineNumberFormatOverride();

    // --- tree queries ---
    int getThisBranchLevel() const;
    int levelsBelowMe(int depth) const;
    int getMaximumBranchLevel() const;
    // Deeper than the map's hide level, or below a collapsed ancestor.
    bool hidden() const;
    bool isRoot() const;
    TWMapBranch *findTopLevelBranch();
    int childIndex() const;
    QList<int> indexPath() const;
    // Both first put the parent's children in position order.
    std::shared_ptr<TWMapBranch> siblingBranchAbove();
    std::shared_ptr<TWMapBranch> siblingBranchBelow();
    bool isDescendantOf(const TWMapBranch *branch) const;
    bool isDescendantOfBranchInArray(const BranchList &branches) const;
    TWMapBranch *findBranchWithBranchNumber(int number);
    int getMinimumAttachedGraphicNumber() const;
    BranchList getNonHiddenChildren() const;
    BranchList childrenArrangedForDrawing() const;
    // 0 grows to the left, 1 to the right, 2 both ways.
    int expansionSide() const;
    std::optional<Color> boundaryInheritedStrokeColor() const;
    QString description() const;
    Rect rectOfExpandContractIcon() const { return {}; }
    Rect boundsOfScreenwriterTextIndicator() const { return {}; }
    // The union of the main graphic's and the text area's bounds.
    Rect branchBounds() const;
    // The centre of the main graphic lies left of the root's.
    bool isToLeftOfRoot() const;
    // The outline-number label is shown at this branch.
    bool showsOutlineNumberLabel() const;

    // --- collecting walks (each appends) ---
    void buildBranchArray(BranchList &array);
    void allDescendantsIntoArray(BranchList &array, bool includeHidden);
    void allDescendantsToLevel(int level, BranchList &array, bool includeHidden);
    void fillArray(BranchList &array, int wantedLevel, int myLevel);
    void countInto(int *count) const;
    // Rectangles of the visible branches that are not selected, below the root.
    void addCoordsToArray(QList<Rect> &array) const;

    // --- graphics in z-order, front to back ---
    void insertBranchGraphicsIntoArray(GraphicList &array, bool all) const;
    void graphicsForThisBranchOnlyIntoArray(GraphicList &array, bool all, bool includeOutgoingLinks,
                                            bool includeIncomingLinks);
    void graphicsForBranchIntoArray(GraphicList &array, bool all, bool includeOutgoingLinks,
                                    bool includeIncomingLinks);
    // What graphicsForThisBranchOnlyIntoArray() lists without links, each in turn.
    void forEachGraphicOfThisBranch(bool all, const std::function<void(TWGraphic &)> &visit);
    GraphicList branchGraphicsForDragImage() const;
    // Sorts attached graphics highest `internalOrdering` first: -1, 0 or 1.
    static int attachedGraphicOrderFunction(const TWGraphic &a, const TWGraphic &b);

    // --- selection rules ---
    bool hasSelectedGraphic() const;
    bool ancestorHasSelectedGraphic() const;
    bool isSelected() const;
    bool canGraphicBeSelected(const TWGraphic *graphic) const;
    bool shouldSelectMainForGraphic(const TWGraphic *graphic) const;

    // --- reserved widths ---
    // The indicator icons at the shape's right end, in slot order: what is
    // drawn, what a click hits and the width kept free all count from here.
    struct SuffixIcons
    {
        int hyperlinks = 0;
        int attachedTexts = 0;
        bool checkBox = false;
        bool priority = false;
        bool percentage = false;
        bool resources = false;
        int count() const
        {
            return hyperlinks + attachedTexts + int(checkBox) + int(priority) + int(percentage) +
                   int(resources);
        }
    };
    SuffixIcons suffixIcons() const;
    float totalWidthToAllowForOtherEnclosedGraphics() const;
    float totalWidthForSuffixImages() const;
    // The resource icon is drawn (and room made for it) by this rule.
    bool showsResourcesAllocatedIndicator() const;

    // --- type, check box and picture ---
    // The shape class name of a type code (1 TWLine ... 7
    // TWCustomBranchShape); any other code logs and gives "TWLine".
    static QString classForBranchType(int code);
    // The code of the main graphic's exact class; another class logs and gives 1.
    int branchType() const;
    // With the map's automatic check boxes, the state the descendants that
    // show check boxes give (-1 mixed); else the stored state.
    int calculatedCheckboxState() const;
    // Before a picture comes into the shape: a label centred on it would
    // be drawn over the picture, so it goes below (a flexi branch's label
    // runs along its curve and stays).
    void moveLabelClearOfNewPicture();
    // Puts the picture (null takes it out) inside the shape, its data in the
    // package, the shape resized around it and the children moved by the
    // width change. A label centred in the shape goes below the picture,
    // which it would otherwise cover. Always true.
    bool setEnclosedImageFromImage(const Image *image);
    // The file's bytes as the picture; false (a beep, nothing changed) when
    // the file is no picture. No path takes the picture out.
    bool setEnclosedImageFromFilename(const std::optional<QString> &path);
    // Data that is no picture takes the picture out.
    bool setEnclosedImageData(const QByteArray &data);
    // The package data of the picture; nothing without one.
    std::optional<QByteArray> enclosedImageData() const;
    // Fills the branch from a "|"-separated record: the label's text, then
    // a note (put first among the attached texts), then one attached text
    // area per further part; empty parts add nothing. The branch is fitted.
    void populateBranchWithDataFromString(const QString &record);

    // --- outline numbers ---
    // Numbers this branch after `previous` (its parent's number, empty for
    // none) and its subtree, with one format name per level, level 1 first.
    // A branch an ancestor hides the numbers of gets a null number.
    void generateOutlineNumberFromPreviousOutlineNumber(const QString &previous,
                                                        const QStringList &formatSettings);
    // Some ancestor (not the branch itself) hides its descendants' numbers.
    bool ancestorHidesOutlineNumberForChildren() const;
    // Roman numerals of 1 to 4999999 with upper case for the thousands
    // (5555 is "Vdlv"); letters of the positions 0 (a) to 676 (za).
    static std::optional<QString> convertNumberToRomanNumerals(int n);
    static std::optional<QString> convertNumberToLetters(int index);

    // --- growing the tree (TWMapBranch_Create.cpp) ---
    // A new last child (a new sibling) with a main graphic of the type code,
    // styled and placed by the map's layout-assistance and ordering modes.
    // Null for a code without a shape (logged, beeped), and for a sibling of
    // the root. Names no undo action: the caller does.
    std::shared_ptr<TWMapBranch> addChildOfType(int type);
    std::shared_ptr<TWMapBranch> addSiblingOfType(int type);
    // A new main graphic of the type code, or null for a code without a shape.
    static std::shared_ptr<TWGraphic> makeMainGraphicOfType(int type, Rect bounds);

    // --- upkeep ---
    // Takes the branch and its subtree out of the map.
    void remove();
    // Sorts the children by where they stand; recursively, every order of
    // the subtree. An order nothing touched since it was last found sorted
    // is not looked at again: whatever can change one says so below.
    void reSortChildrenByPositionRecursively(bool recursive);
    // The children's order may no longer follow their places (a child
    // moved, came or went).
    void childOrderMayHaveChanged();
    // Every order in the subtree may no longer hold (the side of the root
    // it hangs on, or the map's ordering, changed; or it is new here).
    void subtreeOrderMayHaveChanged();
    // Every branch of the subtree, this one first, parents before children.
    std::vector<TWMapBranch *> branchesOfTree();
    // The graphics that slide with the branch, in the order a slide of the
    // whole tree moves them.
    void forEachSlidingGraphic(const std::function<void(TWGraphic &)> &visit) const;
    // Asks for what a walk over the branches reads, a few branches ahead of
    // the one at `at`.
    static void prefetchAhead(const std::vector<TWMapBranch *> &tree, size_t at, size_t to);
    // The main graphic went from `before` to `now` (not with its whole tree,
    // which keeps the orders inside it).
    void shapeMoved(Rect before, Rect now);
    // Looks at the orders of the whole subtree, changing none: those found
    // sorted need no look until something touches them.
    void forgetOrdersFoundSorted();
    // Whether some order in the subtree, or the order of this branch's
    // children, may need sorting (for tests).
    bool subtreeOrderMayNeedSorting() const { return m_orderPending; }
    bool childOrderMayNeedSorting() const;

    void setBranchNumberRecursively();
    void invalidateGraphicDrawingBoundsIncludingChildren(bool includingChildren);
    // The area the subtree paints into, as drawing last measured it with
    // `shownLevels` levels below the branch shown; empty once anything in it
    // changed. Dropping it climbs towards the root and stops at an ancestor
    // whose extent is already dropped: an ancestor is never measured
    // without measuring its shown children first.
    // `depth` is how many levels below the branch the extent took in, or
    // ExtentCut where the hide level left some out: an extent that reached
    // the bottom of its subtree holds for every hide level at or below it,
    // so raising or lowering the level past a big map keeps its extents.
    static constexpr int ExtentCut = std::numeric_limits<int>::max();
    // The levels an extent takes in, given one more child's.
    static constexpr int extentDepthWithChild(int depth, int childDepth)
    {
        if (depth == ExtentCut || childDepth == ExtentCut)
            return ExtentCut;
        return depth > childDepth + 1 ? depth : childDepth + 1;
    }
    std::optional<Rect> subtreeDrawingExtent(int shownLevels, int *depth = nullptr) const;
    void setSubtreeDrawingExtent(Rect extent, int shownLevels, int depth = ExtentCut);
    void invalidateSubtreeDrawingExtent() const;
    // The whole subtree moved by this offset.
    void moveKeptExtentsBy(float dx, float dy);
    // The extents kept now; which of `expected` are kept as they are; and
    // extents put back as kept (the undo of a whole-tree move).
    TWTreeTranslation::KeptExtents keptExtents() const;
    TWTreeTranslation::KeptExtents
    keptExtentsMatching(const TWTreeTranslation::KeptExtents &expected) const;
    void restoreKeptExtents(const TWTreeTranslation::KeptExtents &extents);
    // What the shown subtree's graphics cover, boundaries apart, as the
    // map's extent counts them, and whether a shown branch in it draws a
    // boundary; kept for `shownLevels` and the attached-graphics setting
    // and dropped with the drawing extent above.
    struct GraphicsExtent
    {
        Rect graphics;
        bool boundaries = false;
        int depth = ExtentCut;
    };
    std::optional<GraphicsExtent> subtreeGraphicsExtent(int shownLevels, bool attached) const;
    void setSubtreeGraphicsExtent(const GraphicsExtent &extent, int shownLevels,
                                  bool attached) const;
    // How many levels lie below the branch, collapsed ones apart, when a
    // kept extent took in all of them.
    std::optional<int> keptShownDepth() const;
    // A kept extent that took in every branch below this one found none
    // with a boundary.
    bool keptExtentRulesOutBoundaries() const
    {
        return m_graphicsExtentValid && m_graphicsExtent.depth != ExtentCut &&
               !m_graphicsExtent.boundaries;
    }
    void invalidateIncomingAndOutgoingConnectionGraphics();
    void makeNaturalSize();

    // --- sizing: shape, label, picture and icons kept fitted to each other ---
    // Fits the shape and the label to the text: at the label's own width
    // or at the branch's text width, and to the picture's height.
    void makeNaturalSizeHonoringTextWidth(bool honoringTextWidth, bool honoringGraphicHeight);
    // The shape follows a label that takes the new size; with the flag the
    // gaps between label and inner edges stay.
    void updateBranchSizeForTextChangeToSize(Size size, bool checkTouchingSides);
    // Re-wraps the label at the width and adapts the shape.
    void resizeForTextAreaConstrainedToWidth(float width);
    // Gives the label the rectangle and adapts the shape around it; the
    // children move with the edges they hang on.
    void resizeForTextAreaBoundsChangeTo(Rect bounds, bool shrinkingMainGraphic);
    // Lays the icons out in a row left of the label and widens or narrows
    // the shape by the change of their width.
    void repositionOtherEnclosedGraphicsFromOldWidth(float oldWidth);
    // Fits the picture and the label into the shape's new rectangle.
    void updateEnclosedImageBoundsForMainGraphicBoundsChangeFrom(Rect from, Rect to);
    // The indicator icons at the shape's right end; empty without any.
    Rect rectOfRightEndGraphics() const;
    // Stacks the children's layout rectangles without gaps.
    void spaceChildrenToMinimumSpacing();
    // The label fills the room between the icons.
    bool isTextMaxWidthInMainGraphic() const;

    // --- moving the real graphics ---
    // Every graphic of the branch, and with the flag its children by the
    // edges they hang on.
    void moveBranchBy(float dx, float dy, bool moveChildren);
    // From how many subtrees on one level a whole-map move is shared
    // between threads (tests share small maps out); the number it replaces.
    static size_t setMoveSharedFromWidth(size_t subtrees);
    // The shape's new rectangle; the children follow the edges they hang on
    // and are mirrored when the branch crosses the root.
    void setMainGraphicBounds(Rect bounds);
    bool isToLeftOfParent() const;
    bool isAboveParent() const;

    // --- type change (TWMapBranch_ChangeType.cpp) ---
    // Replaces the main graphic by a new one of the type's class that
    // carries the old one's settings (its graphic number too), fitted to the
    // text; connections, link lines, the selection and an edit in progress
    // follow the new shape. Every change is undoable; names no undo action.
    void changeToBranchType(int code);
    // The same, under the name the key-value and style code use.
    void setBranchType(int code);

    // --- user operations (TWMapBranch_PublicInterface*.cpp) ---
    // Each changes the branch through the undoable setters, names the undo
    // action from the "DadoZiz" table and posts its notification with the
    // branch (or the new graphic) as object. Those marked "same" do nothing
    // at all for the current value. A bad index beeps, logs and changes nothing.
    static inline const QString BranchTypeChangedNotification =
        QStringLiteral("BranchTypeChangedNotification");
    static inline const QString BranchImageChangedNotification =
        QStringLiteral("BranchImageChangedNotification");
    static inline const QString BranchImageLayoutChangedNotification =
        QStringLiteral("BranchImageLayoutChangedNotification");
    static inline const QString BranchSoundFileChangedNotification =
        QStringLiteral("BranchSoundFileChangedNotification");
    static inline const QString LinkedGraphicAddedNotification =
        QStringLiteral("LinkedGraphicAddedNotification");
    static inline const QString LinkedGraphicRemovedNotification =
        QStringLiteral("LinkedGraphicRemovedNotification");
    static inline const QString AddAdornmentNotification =
        QStringLiteral("AddAdornmentNotification");
    static inline const QString RemoveAdornmentNotification =
        QStringLiteral("RemoveAdornmentNotification");
    static inline const QString ConstrainTextWidthNotification =
        QStringLiteral("ConstrainTextWidthNotification");
    static inline const QString AddHyperlinkNotification =
        QStringLiteral("AddHyperlinkNotification");
    static inline const QString RemoveHyperlinkNotification =
        QStringLiteral("RemoveHyperlinkNotification");
    static inline const QString UpdateHyperlinkNotification =
        QStringLiteral("UpdateHyperlinkNotification");
    static inline const QString AddBoundaryNotification = QStringLiteral("AddBoundaryNotification");
    static inline const QString RemoveBoundaryNotification =
        QStringLiteral("RemoveBoundaryNotification");
    static inline const QString SetBoundaryLineColorNotification =
        QStringLiteral("SetBoundaryLineColorNotification");
    static inline const QString SetBoundaryFillColorNotification =
        QStringLiteral("SetBoundaryFillColorNotification");
    static inline const QString SetBoundaryLineStyleNotification =
        QStringLiteral("SetBoundaryLineStyleNotification");
    static inline const QString SetBoundaryCornerStyleNotification =
        QStringLiteral("SetBoundaryCornerStyleNotification");
    static inline const QString SetBoundaryDrawsFillNotification =
        QStringLiteral("SetBoundaryDrawsFillNotification");
    static inline const QString SetBoundaryLineWidthNotification =
        QStringLiteral("SetBoundaryLineWidthNotification");
    static inline const QString SetBoundaryCurveRadiusNotification =
        QStringLiteral("SetBoundaryCurveRadiusNotification");
    static inline const QString SetBoundaryMarginNotification =
        QStringLiteral("SetBoundaryMarginNotification");

    // Shape (same), "Change branch type".
    void publicChangeToBranchType(int type);
    // The type from the menu item's (a QAction's) data.
    void publicChangeToBranchTypeFromMenuItem(const QObject *menuItem);
    // The picture inside the shape: data of the file type, shown at `size`
    // (the zero size takes the picture out); the shape is fitted around it.
    void publicSetEnclosedImageFromData(const QByteArray &data, const QString &type, Size size);
    // Nothing is named or posted for a file that is no picture.
    void publicSetEnclosedImageFromFilename(const QString &path);
    void publicSetEnclosedImageFromImage(const Image *image);
    void publicSetEnclosedImageLayoutMode(int mode);
    // Method 0 embeds the file in the package, any other refers to the path.
    // A file that cannot be read beeps and keeps the old sound.
    void publicSetSoundFilename(const QString &path, int method);

    // --- attached graphics and adornments ---
    // Attached graphic type codes.
    enum LinkedGraphicType {
        LinkedRectangle = 2,
        LinkedOval = 3,
        LinkedImage = 4,
        LinkedText = 8,
        LinkedPackageImage = 9
    };
    // Inserts the graphic and re-sorts the attached graphics by z-order.
    void publicAddLinkedGraphic(const std::shared_ptr<TWGraphic> &graphic);
    // A new attached graphic of the type, behind the others: `size` when
    // both sides are positive (else 50 x 50), at `position` when given
    // (else 20 right of and 20 above the branch). User data: an Image for
    // type 4, a map with "data" (bytes) and "type" (extension) for type 9.
    // Null (a beep) for another type or user data of the wrong kind.
    std::shared_ptr<TWGraphic> publicCreateLinkedGraphicOfType(int type, Size size,
                                                               std::optional<Point> position,
                                                               const QVariant &userData);
    // Options "gType", "size" (QSizeF), "location" (QPointF) and "userData".
    std::shared_ptr<TWGraphic> publicCreateLinkedGraphicWithOptions(const QVariantMap &options);
    // The options from the menu item's (a QAction's) data.
    std::shared_ptr<TWGraphic> publicCreateLinkedGraphicFromMenuItem(const QObject *menuItem);
    void publicRemoveLinkedGraphicAtIndex(int index);
    void publicAddAdornment(const std::shared_ptr<TWEnclosedGraphic> &adornment);
    void publicAddAdornment(const std::shared_ptr<TWEnclosedGraphic> &adornment, int index);
    void publicRemoveAdornmentAtIndex(int index);

    // --- text ---
    // The label's width limit and whether it applies; the branch is re-fitted
    // when it does.
    void publicContstrainToWidth(float width, bool turnOn);
    // 1 top, 2 centre, 3 bottom (same); "Set branch text position", no notification.
    void publicSetTextRelativePosition(int position);

    // --- hyperlinks ---
    // The pictures decide only the colour: a link added without its own
    // picture keeps the colour; one updated without colour or picture has none.
    void publicAddHyperlinkWithLinkType(int linkType, const std::optional<QString> &url,
                                        const std::optional<QString> &arg1,
                                        const std::optional<QString> &arg2,
                                        const std::optional<Color> &color,
                                        const std::optional<Image> &uncolorizedImage,
                                        const std::optional<Image> &overlayImage, int index);
    void publicInsertHyperlink(const std::shared_ptr<TWHyperlink> &link, int index);
    void publicRemoveHyperlinkAtIndex(int index);
    void publicUpdateHyperlinkAtIndex(int index, int linkType, const std::optional<QString> &url,
                                      const std::optional<QString> &arg1,
                                      const std::optional<QString> &arg2,
                                      const std::optional<Color> &color,
                                      const std::optional<Image> &uncolorizedImage,
                                      const std::optional<Image> &overlayImage);

    // --- boundary ---
    // Turning it on gives it the default look; turning it off keeps the look.
    void publicSetHasBoundary(bool has);
    void publicSetBoundaryLineColor(const std::optional<Color> &color);
    void publicSetBoundaryFillColor(const std::optional<Color> &color);
    void publicSetBoundaryLineStyle(int style);
    void publicSetBoundaryCornerStyle(int style);
    void publicSetBoundaryInheritsLineColor(bool inherits);
    void publicSetBoundaryDrawsFill(bool draws);
    void publicSetBoundaryDrawsLine(bool draws);
    // Live changes while a control is dragged, then one committing call
    // that names the undo step (same for each).
    void publicSetBoundaryLineWidth(float width, bool isCommitting);
    void publicSetBoundaryCurveRadius(float radius, bool isCommitting);
    void publicSetBoundaryMargin(float margin, bool isCommitting);

    // --- check box, tracked changes, children ---
    void publicSetShowCheckbox(bool show);
    void publicSetCheckBoxState(int state);
    void publicAddToTrackedChanges(const std::shared_ptr<TWTrackedChange> &change, int index);
    void publicRemoveFromTrackedChangesAtIndex(int index);
    // Collapses or expands the children; nothing for a leaf.
    void publicToggleHideChildren();

    // --- styles (src/styles/TWMapBranch_Style.cpp) ---
    // The keys of a style's "branch" group.
    static const QStringList &styleKeys();
    // applyStyle() with the library's style of the main graphic.
    void updateStyle();
    // Applies the style's branch group (the type first).
    void applyStyle(const TWStyle *style);
    // Restyles this branch and its subtree by the theme's levels
    // (src/styles/TWTheme_Map.cpp).
    void applyTheme(const TWTheme &theme);

    // This branch as the object of a notification (watched while shared).
    NotificationObject notificationObject() const;
    // The services of the map's layout and drawing code (a no-op set without a map).
    TWMapLayoutServices &layoutServices() const;

private:
    // Calls visit(shared graphic) for the branch's own graphics, in z-order.
    template <typename Visit>
    void eachBranchGraphic(Visit visit) const;
    friend class TWMapBranchElement;
    std::shared_ptr<TWMapBranch> growBranch(int type, TWMapBranch *parent, TWMapBranch *sibling);
    struct Settings;
    struct Caches;
    Settings &settings();
    const Settings *settingsOrNull() const { return m_settings.get(); }
    Caches &caches();
    const Caches *cachesOrNull() const { return m_caches.get(); }

    template <class F> void registerUndo(F &&inverse);
    void nameUndoAction(const char *name);
    void postBranch(const QString &name) const;
    void postRedrawRect(const QString &name, Rect rect) const;
    void enqueueOutlineReload() const;
    void removeGraphicOrderCache() const;
    // Keeps the map's graphic-number index up to date when a graphic slot changes.
    void graphicReplaced(const std::shared_ptr<TWGraphic> &old,
                         const std::shared_ptr<TWGraphic> &now) const;
    void refit();
    std::shared_ptr<TWEnclosedGraphic> outlineNumberLabel(int *index = nullptr) const;
    void postDelayedRedraws(const GraphicList &graphics) const;
    const Settings &s() const;
    const Caches &c() const;
    // The root's move: every graphic slides by the offset, as one undo step.
    void slideWholeTreeBy(float dx, float dy);
    struct SlideLeftovers;
    void slideGraphicsBy(float dx, float dy, SlideLeftovers &left, bool shared);
    static void slideTreePartBy(const std::vector<TWMapBranch *> &tree, size_t from, size_t to,
                                float dx, float dy, SlideLeftovers &left, bool shared);
    static inline size_t s_moveSharedFromWidth = 256;
    void collectTree(std::vector<TWMapBranch *> &tree);
    void prefetchForMove() const;
    void prefetchRecordsForMove() const;
    void prefetchGraphicsForMove() const;

    struct Flags
    {
        bool textMaxWidthSet : 1 = false;
        bool childrenHidden : 1 = false;
        bool expandedInOutlineView : 1 = false;
        bool hasBoundary : 1 = false;
        bool showCheckBox : 1 = false;
        bool needsMakeNaturalSize : 1 = false;
        bool loading : 1 = false;
        bool subscribed : 1 = false;
    };

    std::shared_ptr<TWGraphic> m_mainGraphic;
    std::shared_ptr<TWTextArea> m_enclosedTextArea;
    std::shared_ptr<TWConnectionGraphic> m_connectionGraphic;
    std::weak_ptr<TWMapBranch> m_parent;
    // The same parent for the walks up the tree, which locking the weak
    // pointer at every step made costly on deep maps; a dying parent clears
    // it in its children.
    TWMapBranch *m_parentBranch = nullptr;
    std::weak_ptr<TWMap> m_map;
    // What m_map points at; read only while m_map has not expired.
    TWMap *m_mapPointer = nullptr;
    BranchList m_children;
    GraphicList m_linkedGraphics;
    EnclosedGraphicList m_otherEnclosedGraphics;
    QString m_outlineNumber;
    bool m_outlineNumberLabelPending = false;
    // Numbers handed down (TWMapBranch_OutlineNumbers.cpp): the branch's own
    // part of its number; what its children's numbers start with since it
    // last handed its number down, and when that was (0: never); the hand-down
    // of its parent it last took up; when its number was last found up to date.
    QString m_outlineNumberPart;
    QString m_handedDownNumber;
    quint64 m_handedDownStamp = 0;
    quint64 m_takenUpStamp = 0;
    quint64 m_numberCheckedAt = 0;
    QStringList m_numberedFormats;
    int m_numberedLevel = -1;
    // Takes up what ancestors handed down since the number was last read.
    void takeUpHandedDownNumber();
    // Leaves the size of the number label, measured or read, for the branch
    // that takes the number next.
    void passNumberLabelSizeOn();
    Rect m_cachedBounds;
    // A cache: dropping it does not change the branch.
    mutable bool m_subtreeExtentValid = false;
    Rect m_subtreeDrawingExtent;
    int m_subtreeExtentShownLevels = 0;
    int m_subtreeExtentDepth = ExtentCut;
    mutable bool m_graphicsExtentValid = false;
    mutable bool m_graphicsExtentAttached = false;
    mutable int m_graphicsExtentShownLevels = 0;
    mutable GraphicsExtent m_graphicsExtent;
    quint64 m_movedShapeListMark = 0;
    // Orders that may not follow the places any more: this branch's
    // children, every order in the subtree, and whether either holds
    // here or anywhere below (then also in every ancestor). A new branch
    // has been sorted never.
    bool m_childOrderDirty = true;
    bool m_subtreeOrderDirty = true;
    bool m_orderPending = true;
    void markOrderPending();
    void reSortMarkedOrders(const TWSiblingOrder &order, bool all);
    bool checkMarkedOrders(const TWSiblingOrder &order, bool all);
    int m_branchNumber = 0;
    int m_childrenConnectionStyle = 4;
    int m_childrenConnectionSide = 1;
    int m_textRelativePosition = 0;
    Flags m_flags;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<Caches> m_caches;
};

// std::shared_ptr<TWMapBranch> is a QVariant type through TWMapsDoc.h.
