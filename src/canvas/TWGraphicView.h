#pragma once

#include "canvas/TWResponder.h"
#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"
#include "render/TWDrawingView.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>
#include <vector>

class AttributedString;
class BezierPath;
class Font;
class QAction;
class SpellableTextView;
class TWCanvasHost;
class TWCanvasToolTips;
class TWDragTracker;
class TWEnclosedGraphic;
class TWGraphic;
class TWGraphicDrags;
class TWMap;
class TWMapBranch;
class TWMapPainter;
class TWMapsDoc;
class TWSnapLine;
class TWTextArea;
class QDrag;
class QMimeData;

// The map canvas: shows the current map of its document at 72 dpi times the
// map's zoom and turns keys, the wheel and drags into the model's undoable
// operations. Model changes reach it as redraw notifications, which it turns
// into redraws of rectangles of the map; marking, scrolling and zooming
// never walk the map.
//
// Modifiers are read once, as Qt maps them on the Mac: Command is Ctrl,
// Option is Alt, and Control is Meta.
class TWGraphicView : public QAbstractScrollArea, public TWDrawingView, public TWResponder
{
    Q_OBJECT

public:
    static inline const QString NavigatorNeedsUpdateNotification =
        QStringLiteral("TWNavigatorNeedsUpdate");
    // What the navigator notice says: the marked rectangle (map coordinates,
    // a QRectF), or that the canvas scrolled.
    static inline const QString NavigatorAreaKey = QStringLiteral("area");
    static inline const QString NavigatorScrolledKey = QStringLiteral("scrolled");
    static inline const QString FlushPendingRedrawsNotification =
        QStringLiteral("FlushPendingRedrawsNotification");
    static inline const QString ResizedGraphicFlippedNotification =
        QStringLiteral("ResizedGraphicFlippedNotification");
    static inline const QString DrawingModeDidChangeNotification =
        QStringLiteral("TWDrawingModeDidChangeNotification");

    // Tool modes.
    enum Mode {
        SelectMode = 0,
        AddChildMode = 1,
        AddSiblingMode = 2,
        RapidEntryMode = 3,
        GraftMode = 4,
        LinkLineMode = 5,
        ZoomMode = 6,
        PanMode = 7
    };

    explicit TWGraphicView(QWidget *parent = nullptr);
    ~TWGraphicView() override;

    // --- the document ---
    TWCanvasHost *document() const { return m_document; }
    void setDocument(TWCanvasHost *document);
    TWMapsDoc *mapsDoc() const;
    // The document's current map.
    TWMap *map() const;
    // Paints the map under the canvas's own drawings; a simple painter until
    // one is given.
    void setMapPainter(std::shared_ptr<TWMapPainter> painter);
    TWMapPainter &mapPainter() const { return *m_mapPainter; }

    // --- in-place editing state (the editor sets it) ---
    const TWTextArea *editingTextArea() const override { return m_editingTextArea.get(); }
    // Drawing registers the tips of links here; they show under the pointer.
    TWToolTipRegistry *toolTipRegistry() const override;
    // The link of a label's text at a map point, as last drawn.
    std::optional<QUrl> linkAtPoint(Point p) const;
    void setEditingTextArea(std::shared_ptr<TWTextArea> textArea);
    // Seconds by which redraws wait while a text is typed; 0: none.
    double redrawTime() const { return m_redrawTime; }
    void setRedrawTime(double seconds) { m_redrawTime = seconds; }
    // Commits the typed text after the deferral; the editor installs it.
    void setStoredTextCommitter(std::function<void()> committer);

    // --- redraw ---
    // Marks the rectangle (map coordinates), truncated to whole points and
    // grown by 4, together with whatever is pending.
    void setNeedsDisplayInRect(Rect rect);
    void setNeedsDelayedDisplayInRect(Rect rect);
    void reallyDisplay();
    void invalidateGraphic(TWGraphic &graphic);
    void immediatelyRedrawGraphic(TWGraphic &graphic);
    Rect pendingDisplayRect() const { return m_displayRect; }
    Rect extraRedrawRect() const { return m_extraRedrawRect; }
    // Draws everything marked before returning.
    void displayIfNeeded();
    // While one is open, marks are gathered and go to the viewport, a few
    // merged rectangles instead of one per graphic, when the outermost closes.
    void beginMarkBatch();
    void endMarkBatch();

    // --- layout after edits ---
    // Branches resized or moved since the last layout pass, each once.
    const QList<std::shared_ptr<TWMapBranch>> &branchesThatHaveMoved() const
    {
        return m_branchesThatHaveMoved;
    }
    void addMovedBranch(const std::shared_ptr<TWMapBranch> &branch);
    // Re-sorts, renumbers and lays out the moved branches. Runs by itself in
    // the pass after the edit (inside the edit's undo step); the document
    // runs it before saving and exporting.
    void performPendingLayout();

    // --- geometry (map coordinates unless said otherwise) ---
    // The map's zoom as a factor (1 at 100 %).
    qreal zoomFactor() const;
    Size canvasSize() const;
    Rect visibleRect() const;
    // Scrolls as little as needed to show the rectangle; false when nothing moved.
    bool scrollRectToVisible(Rect rect);
    void centerRect(Rect rect);
    void centerRoot();
    void centerSelection();
    Rect selectedRect() const;
    bool scrollSelectionToVisible();
    Point mapPointFromViewport(QPointF point) const;
    QRectF viewportRectFromMap(Rect rect) const;
    // The zoom or canvas size of the map changed.
    void mapGeometryDidChange();
    // The whole map was moved by the offset on its canvas: the view scrolls
    // with it, once the canvas has its new size, so the part shown stays.
    void followMapMovedBy(Point offset);
    Point savedLocation() const { return m_savedLocation; }
    void setSavedLocation(Point location) { m_savedLocation = location; }

    // --- tool modes ---
    int drawingMode() const { return m_drawingMode; }
    void setDrawingMode(int mode);
    bool modeLockedIn() const { return m_modeLockedIn; }
    void setModeLockedIn(bool locked) { m_modeLockedIn = locked; }
    void setCreatingNewLinkLine(bool creating);
    bool spaceBarPressed() const { return m_spaceBarPressed; }

    // --- what drags show (the drags fill them) ---
    Rect rubberbandRect() const { return m_rubberbandRect; }
    void setRubberbandRect(Rect rect) { m_rubberbandRect = rect; }
    void setSnapLines(QList<std::shared_ptr<TWSnapLine>> lines);
    const QList<std::shared_ptr<TWSnapLine>> &snapLines() const { return m_snapLines; }
    // The graphic whose knob is dragged; layout flipping it to the other
    // side of its parent is noted.
    void setResizingGraphic(const std::shared_ptr<TWGraphic> &graphic);
    bool resizedGraphicFlipped() const { return m_resizedGraphicFlipped; }

    // --- drags ---
    // Starts a drag tracked until the left button is released; it runs in
    // one undo group. The canvas owns it.
    void beginTracking(std::unique_ptr<TWDragTracker> tracker, QPointF viewportPoint);
    bool isTracking() const { return m_tracker != nullptr; }
    // Milliseconds between autoscroll ticks while a drag is outside the view.
    int autoscrollInterval() const { return m_autoscrollInterval; }
    void setAutoscrollInterval(int ms) { m_autoscrollInterval = ms; }
    // Panning with the hand: the grabbed map point stays under the pointer.
    void scrollWithEvent(QPointF viewportPoint);

    // --- the poof of an adornment dropped on empty canvas ---
    void setPoofImage(const QImage &strip) { m_poofImage = strip; }
    void setPoofFrameInterval(int ms) { m_poofFrameInterval = ms; }
    // Shows the five frames at the screen point; nothing without the image.
    // The widget showing it, while it runs.
    QWidget *runPoofAtLocation(QPoint globalPoint);

    // --- key actions ---
    void selectNextBranchUp();
    void selectNextBranchDown();
    void selectNextBranchLeft();
    void selectNextBranchRight();
    void nudgeUp() { nudge(Point(0, -1)); }
    void nudgeDown() { nudge(Point(0, 1)); }
    void nudgeLeft() { nudge(Point(-1, 0)); }
    void nudgeRight() { nudge(Point(1, 0)); }
    void moveSelectedGraphicByPoint(Point delta);
    void addSiblingBranch();
    void deleteSelection();
    void insertText(const QString &text);
    // The chain actions travel: the editor (when set), the canvas, the document.
    const TWActionRouter &actionRouter() const { return m_router; }
    void setEditorResponder(TWResponder *editor) { m_editorResponder = editor; }

    // TWResponder
    bool respondsToAction(const QString &selector) const override;
    void performAction(const QString &selector, const QVariant &argument) override;

    // --- menu actions (TWGraphicView_Actions.cpp) ---
    // Pasteboard types of copied branches and graphics.
    static inline const QString BranchPboardType = QStringLiteral("ThinkwebBranch");
    static inline const QString GraphicPboardType = QStringLiteral("ThinkwebGraphic");
    // --- copy, cut and paste (TWGraphicView_Clipboard.cpp) ---
    static const QString StringPboardType, RTFPboardType, HTMLPboardType, PDFPboardType,
        PICTPboardType, PostScriptPboardType, TIFFPboardType, LinkBackPboardType;
    // A branch part selected: the branch and its subtree, with its outline as
    // text and RTF and a PDF of it; else the last selected attached graphic.
    // Beeps and leaves the clipboard alone for graphics of several branches,
    // parts mixed with attached graphics, link lines and connections.
    bool copy();
    // Deletes the selection only when it was copied; the step is "Cut".
    void cut();
    // Ends editing, then pastes into the map (mode 0).
    void paste();
    // Text and pictures as attached graphics (mode 1).
    void pasteToAttachedGraphic();
    // The program's XML (mode 0), else HTML, a picture, RTF or plain text.
    void pasteFromPB(const QMimeData *data, int mode);
    // What copy() puts on the clipboard; null when the selection is refused.
    std::unique_ptr<QMimeData> clipboardDataForSelection();
    // Enabling, check mark and title of a menu item sending the action with
    // the tag (its QAction's data); any action not named here is enabled.
    ItemState validateMenuItem(const QString &selector, const QVariant &tag) const override;
    bool validateAction(const QString &selector) const override;
    // The canvas's menu items, made on first use (owned by the canvas,
    // validated through its router); the document window puts them in its
    // menus. Keyed by selector, tagged ones by selector and tag
    // ("doChangeBranchType:2").
    const QHash<QString, QAction *> &menuActions();
    // Each selected branch gets an attached rectangle, oval or text; the
    // new graphics become the selection.
    void doAttachRectangle();
    void doAttachOval();
    void doAttachText();
    // Asks for a picture file and attaches it to each selected branch, at
    // most 120 points on its longer side.
    void doAttachImage();
    void attachImageFile(const QString &path);
    // 1 line, 2 rectangle, 3 circle, 5 flexi for each selected branch.
    void doChangeBranchType(int tag);
    void doDisplayOutlineNumbers();
    void doLayoutAssistanceMode(int tag);
    void doSnapLinesMode();
    void doCheckSpelling();
    void autoArrangeTree();
    void autoArrangeSelectedBranch();
    void toggleHideChildren();
    // 0 left, 1 right, 2 centre: attached texts and branch labels, each once.
    void alignText(int alignment);
    // +1 or -1 point on labels and attached texts; a label that cannot
    // change beeps.
    void changeFontSize(float step);
    void makeNaturalSize();
    void selectAll();
    // Ends an edit in progress first.
    void undo();
    bool respondsToMenuAction(const QString &selector) const;
    void performMenuAction(const QString &selector, const QVariant &argument);

    // --- pictures of the canvas ---
    // Paints the area of the map (map coordinates) at the map's zoom into
    // the painter, as the canvas shows it.
    void renderArea(QPainter &painter, Rect area);
    // The visible part of the canvas as it is drawn now.
    QImage renderVisibleImage();

    // ======== the mouse: press dispatch, tool modes, pointer highlight ========
    // (TWGraphicView_Mouse.cpp, TWGraphicView_Tools.cpp)
    void lockDrawingMode() { m_modeLockedIn = true; }
    void unlockDrawingMode() { m_modeLockedIn = false; }
    // The picture name of the tool mode's cursor; empty in select mode.
    QString modeCursorName() const { return m_modeCursorName; }
    // What a link line from or to the graphic attaches to: an attached
    // graphic itself, else its branch's shape; null for none, a connection
    // or a link line.
    static std::shared_ptr<TWGraphic>
    graphicForLinkingToFromGraphic(const std::shared_ptr<TWGraphic> &graphic);
    // The graphic highlighted under the pointer by the add, graft and link tools.
    std::shared_ptr<TWGraphic> animatingGraphic() const { return m_animatingGraphic.lock(); }
    // Ends the old highlight when the graphic changes.
    void setAnimatingGraphic(const std::shared_ptr<TWGraphic> &graphic);
    // Advances the highlight one step, 1 to 10 round.
    void stepAnimation();
    int animationStep() const { return m_animationStep; }
    // Milliseconds between highlight steps while the pointer rests on a graphic.
    void setHighlightInterval(int ms) { m_highlightInterval = ms; }
    // The selectable graphics the rectangle touches, in drawing order.
    QList<std::shared_ptr<TWGraphic>> graphicsIntersectingRect(Rect rect) const;
    // The drags that move and reparent graphics. Without them a press on a
    // graphic selects it and nothing more.
    void setGraphicDrags(std::shared_ptr<TWGraphicDrags> drags);
    TWGraphicDrags *graphicDrags() const { return m_graphicDrags.get(); }
    // The keys held at the latest mouse event of the drag (Shift frees a
    // knob's aspect ratio at every step).
    Qt::KeyboardModifiers dragModifiers() const { return m_dragModifiers; }
    // The adornment being dragged out of its branch, while that drag lasts.
    const std::shared_ptr<TWEnclosedGraphic> &draggingEnclosedGraphic() const
    {
        return m_draggingEnclosedGraphic;
    }
    void setDraggingEnclosedGraphic(std::shared_ptr<TWEnclosedGraphic> record)
    {
        m_draggingEnclosedGraphic = std::move(record);
    }
    // Runs a drag that leaves the canvas; QDrag::exec unless replaced (tests).
    void setDragExecutor(std::function<void(QDrag &)> executor);
    // The data an adornment drag carries: its package path.
    static QMimeData *adornmentMimeData(const TWEnclosedGraphic &record);
    static inline const QString AdornmentPasteboardType = QStringLiteral("TWAdornmentPBoard");

    // --- in-place text editing (TWGraphicView_Editing.cpp) ---
    // The editor laid over the edited text; made with the canvas.
    SpellableTextView *editorView() const;
    // Edits the label of the one selected graphic's branch; beeps otherwise.
    void startEditingSelectedBranch();
    // Lays the editor over the text area (its editing flag is set); the
    // text area's notification calls it.
    void startEditingTextArea(const std::shared_ptr<TWTextArea> &textArea);
    // Clears the edited text area's editing flag, which ends the editing.
    void endEditingTextNotification();
    // Commits the pending text, removes the editor and splits what was
    // typed in rapid entry into children.
    void endEditingTextArea();
    // The editor's text changed: resizes the label and commits it at once or
    // after redrawTime.
    void textDidChange();
    // Rapid entry while typing: finished segments become children.
    void updateForDirivOzaz();
    // The font panel's font on the selected texts (no text edited).
    void changeFont(const std::optional<Font> &font);
    // The predicted bounds of the edited label and of its branch's shape.
    Rect cachedEditingTABounds() const;
    Rect cachedEditingMGBounds() const;
    // Both move with the whole map.
    void moveCachedEditingBoundsBy(float dx, float dy);
    // A typed text not yet given to the model.
    bool hasStoredText() const;
    // Gives a typed text that still waits to the model now.
    void commitPendingText();
    // Milliseconds after the last keystroke at which rapid entry splits.
    void setDirivOzazDelay(int ms);

signals:
    // A rectangle (map coordinates) went to the platform for redrawing.
    void displayMarked(Rect rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    // Drops (TWGraphicView_Drops.cpp).
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Clipboard helpers (TWGraphicView_Clipboard.cpp).
    QByteArray pdfOfArea(Rect area);
    static std::optional<QByteArray> pictureData(const QMimeData &data);
    TWMapBranch *pasteTarget();
    void pasteText(const AttributedString &text, bool rich, int mode);
    void pastePicture(const QByteArray &bytes, const std::optional<QByteArray> &linkBack, int mode);
    void observeNotifications();
    bool isShownMap(const NotificationObject &map) const;
    void redrawInRectNotification(const Notification &n);
    void delayedRedrawInRectNotification(const Notification &n);
    void graphicNeedsRedrawNotification(const Notification &n);
    void deferWhileTyping(Rect rect, bool cancelEarlier);
    void flushPendingRedrawsNotification();
    void drawTempLinkLine(const Notification &n);
    void eraseTempLinkLine(const Notification &n);
    std::optional<Rect> tempLinkLineBounds() const;
    void changeTextFromStoredDict();
    Rect pendingArea() const;
    void updateScrollRange();
    // `area`: what was marked; none: the canvas scrolled.
    void postNavigatorUpdate(std::optional<Rect> area) const;
    void postPrintCanvasUpdate() const;
    void schedulePendingLayout();
    void selectNeighbour(int direction);
    void selectBranch(TWMapBranch &branch);
    void nudge(Point delta);
    void keyBinding(QKeyEvent *event);
    void paintCanvasLayers(QPainter &painter, Rect area);
    void endTracking(QPointF viewportPoint);
    void autoscrollTick();

    TWCanvasHost *m_document = nullptr;
    // Undo and redo of the document's steps, which redraw what they put back.
    QList<QMetaObject::Connection> m_undoConnections;
    std::shared_ptr<TWMapPainter> m_mapPainter;
    std::shared_ptr<TWTextArea> m_editingTextArea;
    std::function<void()> m_storedTextCommitter;
    double m_redrawTime = 0;
    Rect m_displayRect;
    Rect m_extraRedrawRect;
    int m_markBatchDepth = 0;
    QList<Rect> m_batchedMarks;
    void batchMark(Rect rect);
    void flushBatchedMarks();
    // What was marked since the last paint (viewport coordinates), all that
    // displayIfNeeded() has to draw.
    QRect m_unpaintedArea;
    void updateViewport(const QRect &area);
    QTimer m_commitTimer;
    // What the viewport was last drawn for, whole.
    struct ShownGeometry
    {
        const TWMap *map = nullptr;
        qreal zoom = 0;
        Size pagedCanvas;
        bool operator==(const ShownGeometry &) const = default;
    };
    ShownGeometry m_shownGeometry;
    Point m_pendingMapMove;
    QList<std::shared_ptr<TWMapBranch>> m_branchesThatHaveMoved;
    // The same branches, for the membership test a dragged subtree makes per branch.
    QSet<const TWMapBranch *> m_movedBranchSet;
    QTimer m_layoutTimer;
    bool m_layoutGroupOpen = false;
    bool m_inLayout = false;
    Point m_savedLocation;
    Rect m_rubberbandRect;
    // Where the link-line drag's line was last drawn: it is wiped from there
    // when the line moves or goes.
    std::optional<Rect> m_shownTempLinkLine;
    std::unique_ptr<TWCanvasToolTips> m_toolTips;
    bool m_linkCursorShown = false;
    QList<std::shared_ptr<TWSnapLine>> m_snapLines;
    std::weak_ptr<TWGraphic> m_resizingGraphic;
    bool m_resizedGraphicFlipped = false;
    int m_drawingMode = SelectMode;
    bool m_modeLockedIn = false;
    bool m_spaceBarPressed = false;
    std::unique_ptr<TWDragTracker> m_tracker;
    QPointF m_lastDragPoint;
    QTimer m_autoscrollTimer;
    int m_autoscrollInterval = 100;
    QImage m_poofImage;
    int m_poofFrameInterval = 1000 / 15;
    TWResponder *m_editorResponder = nullptr;
    TWActionRouter m_router;
    QHash<QString, QAction *> m_menuActions;
    std::vector<ObserverToken> m_observers;

    // --- the mouse (TWGraphicView_Mouse.cpp, TWGraphicView_Tools.cpp) ---
    void mouseDown(QPointF point, Qt::KeyboardModifiers modifiers, int clickCount);
    void rightMouseDown(QPointF point, QPoint globalPoint);
    // `hit`: the graphic under the pointer.
    void selectAndTrack(QPointF point, Qt::KeyboardModifiers modifiers,
                        std::shared_ptr<TWGraphic> hit);
    void selectOnly(const std::shared_ptr<TWGraphic> &graphic);
    void returnToSelectModeUnlessLocked();
    bool clickIndicators(const std::shared_ptr<TWGraphic> &hit, Point p, QPointF point);
    bool openHyperlinkAreas(const TWGraphic &hit, Point p);
    // The pointing hand over a link of a label, the tool's cursor elsewhere.
    void showLinkCursor(QPointF point);
    bool dragAdornment(const std::shared_ptr<TWGraphic> &hit);
    void reparentDrag(const std::shared_ptr<TWGraphic> &graphic, QPointF point);
    void addBranchAtPoint(Point p);
    void forgetDragCoordinates();
    void updateModeCursor(bool option);
    void highlightUnderPointer(QPointF point);

    std::weak_ptr<TWGraphic> m_animatingGraphic;
    int m_animationStep = 0;
    QTimer m_highlightTimer;
    bool m_highlightTimerConnected = false;
    int m_highlightInterval = 500;
    QString m_modeCursorName;
    std::shared_ptr<TWGraphicDrags> m_graphicDrags;
    Qt::KeyboardModifiers m_dragModifiers;
    std::shared_ptr<TWEnclosedGraphic> m_draggingEnclosedGraphic;
    std::function<void(QDrag &)> m_dragExecutor;

    // In-place editing state, made with the canvas (TWGraphicView_Editing.cpp).
    struct EditingState;
    static EditingState *makeEditingState(TWGraphicView *view);
    static void destroyEditingState(EditingState *state);
    void editorGeometryForStart(TWTextArea &textArea);
    void splitDirivOzaz(bool whileTyping);
    void commitStoredText();
    void placeEditor(Rect frame);
    std::unique_ptr<EditingState, void (*)(EditingState *)> m_editing{makeEditingState(this),
                                                                      &destroyEditingState};

    // --- drops (TWGraphicView_Drops.cpp) ---
    friend class TWDropHandler;
    // The dragged adornment was made here from dropped files, not dragged
    // out of a branch by this canvas.
    bool m_adornmentMadeByDrop = false;
};
