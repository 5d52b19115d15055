#pragma once

#include "platform/Geometry.h"
#include "platform/Notification.h"
#include "support/Color.h"
#include "support/Shadow.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <libxml/tree.h>

class BezierPath;
class DrawingContext;
class TWDrawingView;
class Image;
class TWMap;
class TWMapBranch;
class TWStyle;
class UndoManager;
class XMLOut;
namespace TWXMLUtils {
class XPathReader;
}

// The base of everything drawn on a map: a branch's shape, its text area,
// picture, attached and enclosed graphics, its connection to the parent, link
// lines and the boundary proxy. A graphic points back to its branch without
// owning it; the branch owns it.
//
// Always held by a shared_ptr: make graphics with create()/make<T>(), never on
// the stack. Every property setter does nothing for an unchanged value;
// otherwise it registers its inverse with the undo manager of the branch's
// map and posts its redraw notifications. The destructor posts nothing and
// registers nothing: a branch or the undo stack may free a graphic at any
// time, even while its document is going away.
//
// Rarely used fields live in a side record made on first use, so that the
// many graphics of a large map stay small.
class TWGraphic : public std::enable_shared_from_this<TWGraphic>
{
public:
    // While one lives, changes of the graphic's text and bounds ask no view
    // to redraw it, for a graphic that is not drawn (an outline number while
    // numbers are hidden): renumbering a big map marks nothing on screen.
    // Undo and the graphic's own upkeep go on as ever.
    class UnseenChanges
    {
    public:
        explicit UnseenChanges(const TWGraphic &graphic)
            : m_outer(std::exchange(s_unseen, &graphic))
        {}
        ~UnseenChanges() { s_unseen = m_outer; }
        UnseenChanges(const UnseenChanges &) = delete;
        UnseenChanges &operator=(const UnseenChanges &) = delete;

    private:
        const TWGraphic *m_outer;
    };

    // --- notifications (names as the rest of the system knows them) ---
    static inline const QString GraphicNeedsRedrawNotification =
        QStringLiteral("GraphicNeedsRedrawNotification");
    static inline const QString BranchNeedsRedrawNotification =
        QStringLiteral("BranchNeedsRedrawNotification");
    static inline const QString SubtreeNeedsRedrawNotification =
        QStringLiteral("SubtreeNeedsRedrawNotification");
    static inline const QString GraphicWillChangeBoundsNotification =
        QStringLiteral("GraphicWillChangeBoundsNotification");
    static inline const QString GraphicDidChangeBoundsNotification =
        QStringLiteral("GraphicDidChangeBoundsNotification");
    static inline const QString GraphicDrawingBoundsInvalidNotification =
        QStringLiteral("GraphicDrawingBoundsInvalidNotification");
    static inline const QString BranchDidResizeNotification =
        QStringLiteral("BranchDidResizeNotification");
    static inline const QString UpdateTextEditorFrameNotification =
        QStringLiteral("UpdateTextEditorFrameNotification");
    // User-info key of BranchDidResizeNotification: the branch as a
    // std::shared_ptr<TWMapBranch> (the sender is the branch as well).
    static inline const QString BranchKey = QStringLiteral("branch");

    // Out-of-range bounds values are replaced by this, not clamped.
    static constexpr float BoundsReplacementValue = 100;
    // Positions and extents beyond this are taken for damage. A layout of
    // a hundred thousand branches reaches a few million points; floats keep
    // every whole point exactly up to 2^24, so the limit stays below that.
    static constexpr float MaximumCoordinate = 1e7f;
    // Pen widths, radii, arrow and shadow sizes read from a file.
    static constexpr float MaximumMeasure = 10000;

    // A new graphic with the defaults and a fresh graphic number.
    static std::shared_ptr<TWGraphic> create();
    // The same, then setBounds() with the rectangle (its corrections apply).
    static std::shared_ptr<TWGraphic> createWithBounds(Rect bounds);
    // Any kind, made the same two ways.
    template <class T> static std::shared_ptr<T> make()
    {
        auto graphic = std::make_shared<T>();
        graphic->init();
        return graphic;
    }
    template <class T> static std::shared_ptr<T> make(Rect bounds)
    {
        auto graphic = std::make_shared<T>();
        graphic->initWithBounds(bounds);
        return graphic;
    }

    TWGraphic();
    virtual ~TWGraphic();
    TWGraphic(const TWGraphic &) = delete;
    TWGraphic &operator=(const TWGraphic &) = delete;

    // The class name as documents and type codes know it.
    virtual QString className() const { return QStringLiteral("TWGraphic"); }

    // --- construction (run by make(); kinds extend them) ---
    virtual void init();
    virtual void initWithBounds(Rect bounds);

    // --- the branch link ---
    // Weak: a graphic that outlives its branch (kept by an undo step, say)
    // finds no branch.
    TWMapBranch *branch() const { return m_branch.expired() ? nullptr : m_branchRaw; }
    // Sets the pointer without undo or notification.
    void setPrimitiveBranch(TWMapBranch *branch);
    // Undoable with the managers of both the new and the old branch.
    void setBranch(TWMapBranch *branch);
    // Cuts the branch link without undo or notification; what an owner calls
    // before letting the graphic go.
    void detach()
    {
        m_branch.reset();
        m_branchRaw = nullptr;
    }
    // Tells every graphic that what it inherits its shadow from may have
    // changed (a parent, a branch, a map's root): drawing bounds that slid
    // with a move are worked out afresh.
    static void inheritanceChanged() { ++s_inheritanceEpoch; }
    // The branch's map, or null.
    TWMap *map() const;
    // The undo manager of the branch's map; null without one.
    UndoManager *undoManager() const;

    // --- key-value coding of unknown keys ---
    // Logs "<class> does not support key: <key>" and ignores the value.
    virtual void setValueForUndefinedKey(const QVariant &value, const QString &key);

    // --- LinkBack payload (stored as copies, without undo) ---
    virtual QVariant linkBackData() const;
    virtual void setLinkBackData(const QVariant &data);
    // Made on first request.
    virtual QString linkBackItemKey();
    virtual void setLinkBackItemKey(const QString &key);

    // --- notification handlers ---
    // Drawing bounds go stale when the notification names this graphic's map.
    void invalidateDrawingBounds(const Notification &notification);
    // Drawing bounds go stale.
    void invalidateGraphicBounds(const Notification &notification);

    // --- bounds ---
    virtual Rect bounds() const { return m_bounds; }
    // The rectangle is corrected (out-of-range or non-finite values become
    // 100), the link lines at the graphic are told, the change is undoable,
    // and a branch's shape or text area carries the branch along.
    virtual void setBounds(Rect bounds);
    // Moves the graphic with everything around it by one offset, as a whole
    // map moves within an open TWTreeTranslation: the kinds move what they
    // keep, and nothing is placed, measured or posted again.
    void slideWithTreeBy(float dx, float dy);
    // The same slide, for a thread that moves part of a big map: false, with
    // nothing changed, when the graphic must move through setBounds() on
    // the main thread instead (slidesAlone() is false, the coordinate bound
    // would change its size, or relationship lines bend with it).
    bool slideAloneBy(float dx, float dy);
    // Whether the graphic keeps no more than its own state when it slides.
    virtual bool slidesAlone() const { return true; }
    // Asks for the memory a slide reads and writes, ahead of it.
    void prefetchForMove() const
    {
        // The reference counts stand just before a graphic made shared.
        __builtin_prefetch(reinterpret_cast<const char *>(this) - 16, 1);
        __builtin_prefetch(this);
        __builtin_prefetch(&m_bounds, 1);
        __builtin_prefetch(&m_flags, 1);
    }
    // Back to where such a move found it, sliding as the move did; the
    // owning branch's kept extents are measured again. False for a
    // connection that is to be fitted again once its ends are back.
    bool slideBackTo(Rect bounds);
    bool drawingBoundsValid() const { return m_flags.drawingBoundsValid; }
    // Dropping the drawing bounds drops the owning branch's subtree extent.
    void setDrawingBoundsValid(bool valid);
    // The area the graphic paints into; computed again when stale.
    virtual Rect drawingBounds();
    // The bounds with the corrections setBounds() applies.
    static Rect correctedBounds(Rect bounds);
    // A measure read from a file (a width, radius or offset): nothing read,
    // a value that is not finite or one beyond MaximumMeasure either way
    // gives `fallback`, so no drawing bounds or map extent become infinite
    // or NaN.
    static float correctedReal(std::optional<double> read, float fallback);
    // A position read from a file, corrected as the origin of bounds is.
    static float correctedCoordinate(std::optional<double> read, float fallback);

    // --- plain properties ---
    virtual bool drawsStroke() const { return m_flags.drawsStroke; }
    virtual void setDrawsStroke(bool draws);
    virtual float strokeWidth() const { return m_strokeWidth; }
    virtual void setStrokeWidth(float width);
    virtual int strokeStyle() const { return m_strokeStyle; }
    virtual void setStrokeStyle(int style);
    virtual std::optional<Color> strokeColor() const;
    virtual void setStrokeColor(const std::optional<Color> &color);
    virtual bool drawsFill() const { return m_flags.drawsFill; }
    virtual void setDrawsFill(bool draws);
    virtual std::optional<Color> fillColor() const;
    virtual void setFillColor(const std::optional<Color> &color);
    virtual bool isBeingDragged() const { return m_flags.isBeingDragged; }
    virtual void setIsBeingDragged(bool dragged);
    virtual bool inheritsShadow() const { return m_flags.inheritsShadow; }
    virtual void setInheritsShadow(bool inherits);
    virtual bool drawsShadow() const { return m_flags.drawsShadow; }
    virtual void setDrawsShadow(bool draws);
    virtual std::optional<Shadow> shadow() const;
    virtual void setShadow(const std::optional<Shadow> &shadow);
    virtual bool inheritsFill() const { return m_flags.inheritsFill; }
    virtual void setInheritsFill(bool inherits);
    virtual bool inheritsStroke() const { return m_flags.inheritsStroke; }
    virtual void setInheritsStroke(bool inherits);
    virtual int internalOrdering() const { return m_internalOrdering; }
    virtual void setInternalOrdering(int ordering);
    virtual long graphicNumber() const { return m_graphicNumber; }
    virtual void setGraphicNumber(long number);
    virtual long originalGraphicNumber() const { return m_originalGraphicNumber; }
    virtual void setOriginalGraphicNumber(long number);
    std::optional<QString> imageFilename() const;
    virtual void setImageFilename(const std::optional<QString> &path);
    // The picture made from the package data under imageFilename on first
    // use; null without such data.
    std::shared_ptr<Image> cachedImageRep();
    bool flippedHorizontally() const { return m_flags.flippedHorizontally; }
    virtual void setFlippedHorizontally(bool flipped);
    bool flippedVertically() const { return m_flags.flippedVertically; }
    virtual void setFlippedVertically(bool flipped);
    virtual Rect cachedBounds() const;
    virtual void setCachedBounds(Rect bounds);
    virtual std::shared_ptr<BezierPath> cachedBezierPath() const;
    virtual void setCachedBezierPath(const std::shared_ptr<BezierPath> &path);
    virtual int cornerMode() const { return m_cornerMode; }
    virtual void setCornerMode(int mode);
    virtual float cornerAmount() const { return m_cornerAmount; }
    virtual void setCornerAmount(float amount);
    float drawnZoomAmount() const { return m_drawnZoomAmount; }
    virtual void setDrawnZoomAmount(float amount);
    bool manipulatingBounds() const { return m_flags.manipulatingBounds; }
    virtual void setManipulatingBounds(bool manipulating);
    std::optional<QString> moviePath() const;
    virtual void setMoviePath(const std::optional<QString> &path);
    int movieReferenceStyle() const;
    virtual void setMovieReferenceStyle(int style);
    std::optional<QString> shapeName() const;
    virtual void setShapeName(const std::optional<QString> &name);
    bool updateNotificationsDisabled() const { return m_flags.updateNotificationsDisabled; }
    virtual void setUpdateNotificationsDisabled(bool disabled);
    int animationStep() const { return m_animationStep; }
    void setAnimationStep(int step) { m_animationStep = qint8(step); }
    std::optional<QString> styleID() const;
    void setStyleID(const std::optional<QString> &identifier);

    // --- operations the kinds answer differently ---
    // Graphics are duplicated through their XML element: null here.
    virtual std::shared_ptr<TWGraphic> copy() const { return nullptr; }
    // Colour of the selection handles.
    virtual Color handleColor() const;
    // Selection handles enabled, bit 1 << n for knob n: all of them.
    virtual int knobMask() const { return ~0; }
    // The outline path: none for the base class.
    virtual std::shared_ptr<BezierPath> bezierPath() { return nullptr; }
    virtual bool isEditable() const { return false; }
    virtual void flipHorizontally() { setFlippedHorizontally(!flippedHorizontally()); }
    virtual void flipVertically() { setFlippedVertically(!flippedVertically()); }
    virtual bool canDrawStroke() const { return true; }
    virtual bool canDrawFill() const { return true; }
    virtual bool hasNaturalSize() const { return true; }
    // 1: the text sits inside the shape; 0: on it (a line).
    virtual int getTextAlignmentMode() const { return 1; }
    virtual bool clipToPath() const { return true; }
    // Fits the bounds to the graphic's own content; nothing here.
    virtual void makeNaturalSize() {}
    // The two ends of a curved branch's line, which connections attach to;
    // other kinds answer the middle of their left and right sides.
    virtual Point leftPoint() const { return Point(m_bounds.minX(), m_bounds.midY()); }
    virtual Point rightPoint() const { return Point(m_bounds.maxX(), m_bounds.midY()); }
    // A text area brings its cached text attributes up to date after a size change.
    virtual void updateCachedTextAttributes() {}
    // Whether the branch lets this graphic be selected on its own.
    virtual bool canBeSelected() const;
    // Takes the graphic out of the map's selection and out of its branch's
    // attached graphics.
    virtual void remove();
    // setBounds() with the origin moved.
    void moveBy(float dx, float dy);

    // --- hit testing, knobs and resizing ---
    // Knob numbers on the bounds: 1 top-left, 2 top-middle, 3 top-right,
    // 4 middle-left, 5 middle-right, 6 bottom-left, 7 bottom-middle,
    // 8 bottom-right; 0 is no knob.
    virtual bool hitTest(Point point, bool isSelected);
    // The first enabled knob whose 8 x 8 square holds the point, or 0.
    virtual int knobUnderPoint(Point point);
    // Rubber-band selection: selectable and the rectangle meets the drawing bounds.
    virtual bool selectsInRect(Rect rect);
    // Moves the knob to the point; returns the knob now held (mirrored when
    // the drag crosses the opposite edge, which also flips the graphic).
    virtual int resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio);
    // Where the branch's enclosed picture goes; the flag makes the graphic
    // answer as the main graphic.
    virtual Rect imageBoundsAssertingMainGraphic(bool assertingMainGraphic) const;
    // The knob across the vertical axis (horizontal) or the horizontal one;
    // knobs outside 0 to 8 come back unchanged.
    static int flipKnob(int knob, bool horizontal);
    // The centre of knob 1 to 8 on the bounds.
    Point knobPoint(int knob) const;
    // The point of knob 1 to 8 on a rectangle.
    static Point knobPoint(Rect bounds, int knob);
    // The 8 x 8 square that picks a knob at the point.
    static Rect knobRect(Point point) { return {point.x - 4, point.y - 4, 8, 8}; }

    // --- drawing (TWGraphic_Drawing.cpp); `view` is null off screen ---
    // Paints the graphic in map coordinates: the selection glow, the given
    // shadow (when this graphic casts one) under a crisp pass, fill and
    // outline, the link-target ring and, when selected, the handles. Reads
    // the model and changes nothing in it.
    virtual void drawInView(const DrawingContext &context, const TWDrawingView *view,
                            bool isSelected, const std::optional<Shadow> &shadow,
                            bool drawingSelectionShadow);
    // The silhouette for a drag image: fill and plain outline.
    virtual void drawForDragInView(const DrawingContext &context, const TWDrawingView *view,
                                   int style);
    // Stores the step (0 to 10; 0 ends the ring) and asks for a redraw.
    void drawWithAnimationStep(int step);
    // A handle at each knob of knobMask(); nothing without a view.
    virtual void drawHandlesInView(const DrawingContext &context, const TWDrawingView *view);
    void drawHandleAtPoint(const DrawingContext &context, Point point, const TWDrawingView *view);

    // Where a new picture of that size goes in the branch's shape; the
    // shape's new bounds are written to `selfBounds`. A size that is not
    // positive both ways takes the picture out.
    virtual Rect enclosedImageBoundsForNewImageOfSize(Size size, Rect *selfBounds);

    // --- user operations: undoable, named for the undo menu, announced ---
    static inline const QString GraphicInheritsFillChangedNotification =
        QStringLiteral("GraphicInheritsFillChangedNotification");
    static inline const QString GraphicDrawsFillChangedNotification =
        QStringLiteral("GraphicDrawsFillChangedNotification");
    static inline const QString GraphicFillColorChangedNotification =
        QStringLiteral("GraphicFillColorChangedNotification");
    static inline const QString GraphicInheritsStrokeChangedNotification =
        QStringLiteral("GraphicInheritsStrokeChangedNotification");
    static inline const QString GraphicDrawsStrokeChangedNotification =
        QStringLiteral("GraphicDrawsStrokeChangedNotification");
    static inline const QString GraphicStrokeColorChangedNotification =
        QStringLiteral("GraphicStrokeColorChangedNotification");
    static inline const QString GraphicStrokeWidthChangedNotification =
        QStringLiteral("GraphicStrokeWidthChangedNotification");
    static inline const QString GraphicRectangleCornersChangedNotification =
        QStringLiteral("GraphicRectangleCornersChangedNotification");
    static inline const QString GraphicInheritsShadowChangedNotification =
        QStringLiteral("GraphicInheritsShadowChangedNotification");
    static inline const QString GraphicDrawsShadowChangedNotification =
        QStringLiteral("GraphicDrawsShadowChangedNotification");
    static inline const QString GraphicShadowBlurRadiusChangedNotification =
        QStringLiteral("GraphicShadowBlurRadiusChangedNotification");
    static inline const QString GraphicShadowOffsetChangedNotification =
        QStringLiteral("GraphicShadowOffsetChangedNotification");
    static inline const QString GraphicShadowColorChangedNotification =
        QStringLiteral("GraphicShadowColorChangedNotification");

    // `committing` names the step: a drag passes false at each step and true
    // once at its end, so that the gesture is one step in the undo menu.
    void publicSetBounds(Rect bounds, bool committing);
    int publicResizeByMovingKnob(int knob, Point point, bool naturalAspectRatio, bool committing);
    // An attached graphic moves alone, a boundary proxy not at all, any
    // other graphic moves its branch with the children.
    void publicMoveBy(Point delta, bool committing);
    // Switching inheritance off keeps the look: the value shown becomes the
    // graphic's own.
    void publicSetInheritsFill(bool inherits);
    void publicSetDrawsFill(bool draws);
    void publicSetFillColor(const Color &color);
    void publicSetInheritsStroke(bool inherits);
    void publicSetDrawsStroke(bool draws);
    void publicSetStrokeColor(const Color &color);
    void publicSetStrokeStyle(int style);
    void publicSetStrokeWidth(float width);
    void publicSetCornerMode(int mode);
    void publicSetCornerAmount(float amount);
    void publicSetInheritsShadow(bool inherits);
    void publicSetDrawsShadow(bool draws);
    // Each changes a copy of the shadow the graphic shows, which becomes
    // its own; a shared shadow is never changed in place.
    void publicSetShadowBlurRadius(float radius);
    void publicSetShadowOffset(Size offset);
    void publicSetShadowColor(const Color &color);

    // --- roles (decided by identity against the branch, never stored) ---
    bool isSelected() const;
    virtual bool isMainGraphic() const;
    bool isEnclosedText() const;
    bool isEnclosedImage() const;
    bool isLinkedGraphic() const;
    bool isOtherEnclosedGraphic() const;
    bool isConnectionGraphic() const;

    // The graphic whose settings the palettes show for this one: the shape
    // for the branch's text area, the graphic itself otherwise.
    TWGraphic *settingsGraphic();

    // --- selection, z-order, inheritance, hit testing ---
    // Adds the graphic to the map's selection when it can be selected, then
    // the branch's shape too where the branch asks for that.
    void tryToSelect();
    // 0 one step forward, 1 one step back, 2 to the front, 3 to the back
    // among the branch's attached graphics; the shape stands at 0.
    void reorderGraphic(int mode);
    // The colours and shadow the graphic shows, its own or inherited.
    virtual Color inheritedStrokeColor() const;
    virtual Color inheritedFillColor() const;
    virtual std::optional<Shadow> inheritedShadow();
    // The rectangle to print: a shape's boundary outline, else the bounds
    // with half the outline; empty beyond MaximumCoordinate.
    Rect boundsForPrinting();
    // The same, given the boundary outline's bounds of the branch whose
    // shape this is (nothing: none drawn).
    Rect boundsForPrinting(const std::optional<Rect> &outline);
    // Makes the picture file the graphic's picture, stored in the package
    // under "Images/Graphic<number>/<file name>". False (nothing changed)
    // when the file is not a picture.
    bool loadImageFromFile(const QString &path);

    // --- class queries of the style and palette machinery ---
    static bool hasFill() { return true; }
    static bool hasStroke() { return true; }
    static bool hasShadow() { return true; }
    static bool hasCorner() { return false; }
    static bool hasTerminator() { return false; }
    static bool hasFont() { return false; }
    static QStringList supportedPaletteIDs();

    // --- styles (src/styles/TWGraphic_Style.cpp) ---
    // The settings groups a style sets, in this order.
    static const QStringList &fillKeys();
    static const QStringList &strokeKeys();
    static const QStringList &shadowKeys();
    static const QStringList &cornerKeys();
    static const QStringList &terminatorKeys();
    static const QStringList &fontKeys();
    static const QStringList &styleKeys();
    // Which groups this graphic's kind carries at all.
    struct StyleCapabilities
    {
        bool fill, stroke, shadow, corner, terminator, font;
    };
    StyleCapabilities styleCapabilities() const;
    // The keys this graphic takes from the style: the groups it carries
    // whose apply flag is on (a branch's text takes only the font).
    QStringList styleKeysToBeAppliedFromStyle(const TWStyle &style) const;
    // A style key's value, as a style stores it; invalid for a key this
    // kind does not have.
    QVariant styleValueForKey(const QString &key) const;
    // Through the key's undoable setter; false for a key this kind does not
    // have or a value of the wrong kind (nothing changes then).
    bool setStyleValueForKey(const QVariant &value, const QString &key);
    // The shadow's parts, each through setShadow() on a copy.
    void setShadowColor(const std::optional<Color> &color);
    void setShadowBlurRadius(float radius);
    void setShadowOffsetWidth(float width);
    void setShadowOffsetHeight(float height);
    // The library's style under styleID (the shape's for a branch's text).
    std::shared_ptr<TWStyle> style() const;
    // Applies the style as one undoable step named "Graphic Style"; the
    // branch's text and the branch follow a shape's style. Null clears the
    // style identifier and changes no setting.
    void setStyle(const std::shared_ptr<TWStyle> &style);
    // Applies the library's current version of the graphic's style.
    void updateStyle();
    // Copies the style's values through the setters; no action name.
    void applyStyle(const TWStyle *style);
    // A new branch's shape takes the map's default graphic style, else its
    // theme's style for the branch's level.
    void applyAutoStyle();

    // This graphic as the object of a notification (watched while shared).
    NotificationObject notificationObject() const;

    // --- the "TWGraphic" element ---
    // Appends a "TWGraphic" element to `node` with the base children, then
    // the kind's own (addKindXmlData), and returns it. With embedding, the
    // picture's package data travels in the element (copy and paste).
    // Null when the kind writes no element.
    xmlNodePtr addXmlDataToNode(xmlNodePtr node, bool embeddingBinaryData = false);
    // The same element written into either a tree or a stream.
    virtual void writeXml(XMLOut &out, bool embeddingBinaryData = false);
    // The factory: a graphic of the class that "TWGraphic/class" below
    // `node` names, read from that element for `branch`; null (and a log
    // line) for a missing or unknown class or an element the reader refuses.
    static std::shared_ptr<TWGraphic> graphicWithXMLNode(xmlNodePtr node, xmlDocPtr doc,
                                                         TWMapBranch *branch);
    // Registers the kind made for a class name (replacing an earlier one);
    // registerGraphicsKinds() does it for the kinds of this floor. Returns true.
    static bool registerClass(const QString &className,
                              std::function<std::shared_ptr<TWGraphic>()> create);
    template <class T> static bool registerKind(const char *className)
    {
        return registerClass(QString::fromLatin1(className), [] {
            return std::static_pointer_cast<TWGraphic>(std::make_shared<T>());
        });
    }
    static bool isClassRegistered(const QString &className);
    // A new graphic (not yet initialised) of a registered class; null for others.
    static std::shared_ptr<TWGraphic> makeOfClass(const QString &className);
    // The package path a stored picture path stands for: cleaned, and only
    // inside the package's picture folder ("Images/"); nothing for absolute
    // paths, "..", and anything else.
    static std::optional<QString> sanitizedPicturePath(const QString &path);

    // --- old property-list documents (TWGraphic_OldFormat.cpp) ---
    // A graphic of the class the dictionary's "Class" names ("InterBranchLink"
    // is a link line), loaded for `branch`; null for an unknown class.
    static std::shared_ptr<TWGraphic> graphicWithOldStyleDictionary(const QVariantMap &dictionary,
                                                                    TWMapBranch *branch,
                                                                    bool isMainGraphic);
    // Kinds read their own keys after the base's. A main graphic's picture
    // moves into a new enclosed picture of the branch.
    virtual void loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic);

protected:
    // The base reader, run on a graphic the factory made (not yet
    // initialised): init(), setBranch(), the base children, then the kind's
    // (readKindXmlData). False when the element has no graphic number or the
    // kind refuses it.
    bool initWithXMLNode(xmlNodePtr node, xmlDocPtr doc, TWMapBranch *branch);
    // Kinds append their own children to the "TWGraphic" element after the
    // base's, inside that element.
    virtual void addKindXmlData(XMLOut &out, bool embeddingBinaryData) {}
    // Kinds read their own children after the base's; `reader` is set on the
    // "TWGraphic" element, so paths are plain child names ("startGraphicNumber").
    // Returning false discards the graphic.
    virtual bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                                 xmlDocPtr doc)
    {
        return true;
    }

    // The undo registration of a setter: `inverse` runs on this graphic,
    // which the undo step keeps alive.
    template <class F> void registerUndo(F &&inverse)
    {
        // No closure is built while nothing would keep it.
        if (recordsUndo())
            registerInverse(std::function<void(TWGraphic &)>(std::forward<F>(inverse)));
    }
    // Whether the graphic's undo manager registers now.
    bool recordsUndo() const;
    void registerInverse(std::function<void(TWGraphic &)> inverse);
    // Keeps a path built from the bounds until they change; a cache, so
    // nothing is registered for undo.
    void storeCachedBezierPath(const std::shared_ptr<BezierPath> &path);
    // The cached path, or the one `build` makes, kept; its line width is
    // the stroke width.
    std::shared_ptr<BezierPath> cachedPathOr(const std::function<BezierPath()> &build);
    // "Redraw it": the branch (under `branchNotification`) for a main
    // graphic, else GraphicNeedsRedrawNotification with the graphic.
    void redrawIt(const QString &branchNotification) const;
    void postGraphicNeedsRedraw() const;
    // Stores the bounds without corrections, undo or notifications.
    void setPrimitiveBounds(Rect bounds) { m_bounds = bounds; }
    // A branch's shape that moved or changed size on its own (not with its
    // whole tree) tells the branch: the order of its siblings may change.
    void shapeMovedFrom(Rect before);
    // Recomputes the drawing bounds; nothing gives an empty rectangle that
    // is not cached. The kinds grow them by what they paint outside the bounds.
    virtual std::optional<Rect> computeDrawingBounds();
    // The graphic's branch when it lies in a map (null otherwise).
    TWMapBranch *branchInMap() const;

private:
    struct Extra;
    Extra &extra();
    const Extra *extraOrNull() const { return m_extra.get(); }
    void registerWithObservers();
    void postShadowChange();

    struct Flags
    {
        bool drawsStroke : 1 = true;
        bool drawsFill : 1 = true;
        bool isBeingDragged : 1 = false;
        bool inheritsShadow : 1 = true;
        bool drawsShadow : 1 = false;
        bool inheritsFill : 1 = true;
        bool inheritsStroke : 1 = true;
        bool flippedHorizontally : 1 = false;
        bool flippedVertically : 1 = false;
        bool manipulatingBounds : 1 = false;
        bool updateNotificationsDisabled : 1 = false;
        bool drawingBoundsValid : 1 = false;
        bool registered : 1 = false;
        bool drawingMarginKnown : 1 = false;
    };

    static inline quint32 s_inheritanceEpoch = 1;

    std::weak_ptr<TWMapBranch> m_branch;
    // What m_branch points at; read only while m_branch has not expired,
    // which spares the walks up the tree a lock at every step.
    TWMapBranch *m_branchRaw = nullptr;
    // The graphic whose setBounds() is a slide with its tree.
    static inline thread_local const TWGraphic *s_sliding = nullptr;
    // The graphic whose changes no one sees (see UnseenChanges).
    static inline thread_local const TWGraphic *s_unseen = nullptr;
    bool slide(Rect bounds);
    // The cached drawing bounds follow a move of the bounds, when the
    // margin they were measured with still holds.
    bool moveCachedDrawingBounds();
    Rect m_bounds;
    Rect m_cachedDrawingBounds;
    // How far the cached drawing bounds stand out of the bounds, when they
    // were worked out as a plain margin, and the tree they were worked out in.
    Size m_drawingMargin;
    quint32 m_drawingMarginEpoch = 0;
    float m_strokeWidth = 1.0f;
    float m_cornerAmount = 10.0f;
    float m_drawnZoomAmount = 0;
    qint32 m_graphicNumber = 0;
    long m_originalGraphicNumber = 0;
    int m_strokeStyle = 1;
    int m_internalOrdering = 0;
    int m_cornerMode = 0;
    qint8 m_animationStep = 0;
    Flags m_flags;
    // The serial of the whole-tree slide that last moved the graphic by its
    // offset exactly, leaving the move back to a walk of the tree.
    quint32 m_slidWithTreeIn = 0;
    std::unique_ptr<Extra> m_extra;

    friend class TWTreeTranslation;
};
