#pragma once

#include "platform/Geometry.h"
#include "platform/Notification.h"
#include "support/Color.h"
#include "support/Shadow.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

class BezierPath;
class Image;
class TWMap;
class TWMapBranch;
class UndoManager;

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
    static constexpr float MaximumCoordinate = 10000;

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
    TWMapBranch *branch() const { return m_branch.lock().get(); }
    // Sets the pointer without undo or notification.
    void setPrimitiveBranch(TWMapBranch *branch);
    // Undoable with the managers of both the new and the old branch.
    void setBranch(TWMapBranch *branch);
    // Cuts the branch link without undo or notification; what an owner calls
    // before letting the graphic go.
    void detach() { m_branch.reset(); }
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
    bool drawingBoundsValid() const { return m_flags.drawingBoundsValid; }
    void setDrawingBoundsValid(bool valid) { m_flags.drawingBoundsValid = valid; }
    // The area the graphic paints into; computed again when stale.
    virtual Rect drawingBounds();
    // The bounds with the corrections setBounds() applies.
    static Rect correctedBounds(Rect bounds);

    // --- plain properties ---
    bool drawsStroke() const { return m_flags.drawsStroke; }
    virtual void setDrawsStroke(bool draws);
    float strokeWidth() const { return m_strokeWidth; }
    virtual void setStrokeWidth(float width);
    int strokeStyle() const { return m_strokeStyle; }
    virtual void setStrokeStyle(int style);
    std::optional<Color> strokeColor() const;
    virtual void setStrokeColor(const std::optional<Color> &color);
    virtual bool drawsFill() const { return m_flags.drawsFill; }
    virtual void setDrawsFill(bool draws);
    std::optional<Color> fillColor() const;
    virtual void setFillColor(const std::optional<Color> &color);
    bool isBeingDragged() const { return m_flags.isBeingDragged; }
    virtual void setIsBeingDragged(bool dragged);
    bool inheritsShadow() const { return m_flags.inheritsShadow; }
    virtual void setInheritsShadow(bool inherits);
    bool drawsShadow() const { return m_flags.drawsShadow; }
    virtual void setDrawsShadow(bool draws);
    std::optional<Shadow> shadow() const;
    virtual void setShadow(const std::optional<Shadow> &shadow);
    bool inheritsFill() const { return m_flags.inheritsFill; }
    virtual void setInheritsFill(bool inherits);
    bool inheritsStroke() const { return m_flags.inheritsStroke; }
    virtual void setInheritsStroke(bool inherits);
    int internalOrdering() const { return m_internalOrdering; }
    virtual void setInternalOrdering(int ordering);
    long graphicNumber() const { return m_graphicNumber; }
    virtual void setGraphicNumber(long number);
    long originalGraphicNumber() const { return m_originalGraphicNumber; }
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
    Rect cachedBounds() const;
    virtual void setCachedBounds(Rect bounds);
    std::shared_ptr<BezierPath> cachedBezierPath() const;
    virtual void setCachedBezierPath(const std::shared_ptr<BezierPath> &path);
    int cornerMode() const { return m_cornerMode; }
    virtual void setCornerMode(int mode);
    float cornerAmount() const { return m_cornerAmount; }
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
    // A text area brings its cached text attributes up to date after a size change.
    virtual void updateCachedTextAttributes() {}
    // Whether the branch lets this graphic be selected on its own.
    virtual bool canBeSelected() const;
    // Takes the graphic out of the map's selection and out of its branch's
    // attached graphics.
    virtual void remove();
    // setBounds() with the origin moved.
    void moveBy(float dx, float dy);

    // --- roles (decided by identity against the branch, never stored) ---
    bool isSelected() const;
    bool isMainGraphic() const;
    bool isEnclosedText() const;
    bool isEnclosedImage() const;
    bool isLinkedGraphic() const;
    bool isOtherEnclosedGraphic() const;
    bool isConnectionGraphic() const;

    // --- class queries of the style and palette machinery ---
    static bool hasFill() { return true; }
    static bool hasStroke() { return true; }
    static bool hasShadow() { return true; }
    static bool hasCorner() { return false; }
    static bool hasTerminator() { return false; }
    static bool hasFont() { return false; }
    static QStringList supportedPaletteIDs();

    // This graphic as the object of a notification (watched while shared).
    NotificationObject notificationObject() const;

protected:
    // The undo registration of a setter: `inverse` runs on this graphic,
    // which the undo step keeps alive.
    template <class F> void registerUndo(F &&inverse);
    // "Redraw it": the branch (under `branchNotification`) for a main
    // graphic, else GraphicNeedsRedrawNotification with the graphic.
    void redrawIt(const QString &branchNotification) const;
    void postGraphicNeedsRedraw() const;
    // Recomputes the drawing bounds; the kinds grow them by what they paint
    // outside the bounds.
    virtual Rect computeDrawingBounds();

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
    };

    std::weak_ptr<TWMapBranch> m_branch;
    Rect m_bounds;
    Rect m_cachedDrawingBounds;
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
    std::unique_ptr<Extra> m_extra;
};
