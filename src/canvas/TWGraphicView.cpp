// The canvas: its document, redraw bookkeeping, notifications and the
// layout pass that follows edits.

#include "canvas/TWGraphicView.h"
#include "canvas/TWCanvasToolTips.h"

#include "canvas/TWCanvasHost.h"
#include "canvas/TWDragTracker.h"
#include "canvas/TWMapPainter.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWRectHolder.h"
#include "graphics/TWSnapLine.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "render/PictureDrawing.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <cmath>

namespace {

bool isZero(const Rect &r)
{
    return r == Rect();
}

// The rectangle a redraw notification carries: in its details, or as a
// boxed rectangle for its object.
std::optional<Rect> rectOf(const Notification &n)
{
    const QVariant value = n.userInfo.value(TWMap::RectKey);
    if (value.isValid())
        return Rect::fromQt(value.toRectF());
    if (const auto holder = n.sender.lock<TWRectHolder>())
        return holder->rect();
    return std::nullopt;
}

} // namespace

TWGraphicView::TWGraphicView(QWidget *parent)
    : QAbstractScrollArea(parent), m_mapPainter(std::make_shared<TWCanvasMapPainter>()),
      m_router([this] {
          QList<TWResponder *> chain;
          if (m_editorResponder)
              chain.append(m_editorResponder);
          chain.append(this);
          if (m_document && m_document->responder())
              chain.append(m_document->responder());
          return chain;
      })
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, false);
    // The pointer changes over links in labels without a button held.
    viewport()->setMouseTracking(true);
    m_toolTips = std::make_unique<TWCanvasToolTips>();
    viewport()->setAcceptDrops(true);
    m_commitTimer.setSingleShot(true);
    connect(&m_commitTimer, &QTimer::timeout, this, &TWGraphicView::changeTextFromStoredDict);
    m_layoutTimer.setSingleShot(true);
    m_layoutTimer.setInterval(0);
    connect(&m_layoutTimer, &QTimer::timeout, this, &TWGraphicView::performPendingLayout);
    connect(&m_autoscrollTimer, &QTimer::timeout, this, &TWGraphicView::autoscrollTick);
    // Pictures drawn as placeholders while they rendered.
    connect(&PictureEvents::shared(), &PictureEvents::picturesReady, viewport(),
            qOverload<>(&QWidget::update));
    observeNotifications();
}

TWGraphicView::~TWGraphicView()
{
    m_observers.clear();
    // A drag or a layout pass cut short still closes its undo group.
    if (m_tracker) {
        m_tracker.reset();
        if (UndoManager *undo = m_document ? m_document->undoManager() : nullptr)
            undo->endUndoGrouping();
    }
    if (m_layoutGroupOpen) {
        if (UndoManager *undo = m_document ? m_document->undoManager() : nullptr)
            undo->endUndoGrouping();
    }
}

// --- the document ---

void TWGraphicView::setDocument(TWCanvasHost *document)
{
    if (document == m_document)
        return;
    // What the old document's edits left pending is laid out in it.
    performPendingLayout();
    for (const QMetaObject::Connection &connection : std::as_const(m_undoConnections))
        disconnect(connection);
    m_undoConnections.clear();
    m_document = document;
    m_branchesThatHaveMoved.clear();
    m_movedBranchSet.clear();
    m_shownGeometry = {};
    // A step put back may have changed anything of the map, its extent too.
    if (UndoManager *undo = m_document ? m_document->undoManager() : nullptr) {
        m_undoConnections << connect(undo, &UndoManager::didUndo, this,
                                     &TWGraphicView::mapGeometryDidChange)
                          << connect(undo, &UndoManager::didRedo, this,
                                     &TWGraphicView::mapGeometryDidChange);
    }
    mapGeometryDidChange();
}

TWMapsDoc *TWGraphicView::mapsDoc() const
{
    return m_document ? m_document->mapsDocument() : nullptr;
}

TWMap *TWGraphicView::map() const
{
    const TWMapsDoc *document = mapsDoc();
    return document ? document->currentMap().get() : nullptr;
}

void TWGraphicView::setMapPainter(std::shared_ptr<TWMapPainter> painter)
{
    m_mapPainter = painter ? std::move(painter) : std::make_shared<TWCanvasMapPainter>();
    updateViewport(viewport()->rect());
}

void TWGraphicView::setEditingTextArea(std::shared_ptr<TWTextArea> textArea)
{
    m_editingTextArea = std::move(textArea);
}

void TWGraphicView::setStoredTextCommitter(std::function<void()> committer)
{
    m_storedTextCommitter = std::move(committer);
}

void TWGraphicView::setSnapLines(QList<std::shared_ptr<TWSnapLine>> lines)
{
    m_snapLines = std::move(lines);
}

void TWGraphicView::setResizingGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    m_resizingGraphic = graphic;
    m_resizedGraphicFlipped = false;
}

// --- redraw ---

Rect TWGraphicView::pendingArea() const
{
    if (!isZero(m_displayRect) && !isZero(m_extraRedrawRect))
        return TWUnionRect(m_displayRect, m_extraRedrawRect);
    return isZero(m_displayRect) ? m_extraRedrawRect : m_displayRect;
}

void TWGraphicView::setNeedsDisplayInRect(Rect rect)
{
    Rect grown(std::trunc(rect.x()) - 4, std::trunc(rect.y()) - 4, std::trunc(rect.width()) + 8,
               std::trunc(rect.height()) + 8);
    const Rect pending = pendingArea();
    if (!isZero(pending))
        grown = TWUnionRect(grown, pending);
    m_displayRect = Rect();
    m_extraRedrawRect = Rect();
    if (m_markBatchDepth > 0) {
        batchMark(grown);
        return;
    }
    postNavigatorUpdate(grown);
    emit displayMarked(grown);
    updateViewport(viewportRectFromMap(grown).toAlignedRect());
}

void TWGraphicView::updateViewport(const QRect &area)
{
    // Clipped as the paint will be, so that the paint is seen to cover it.
    m_unpaintedArea = m_unpaintedArea.united(area.intersected(viewport()->rect()));
    viewport()->update(area);
}

void TWGraphicView::beginMarkBatch()
{
    ++m_markBatchDepth;
}

void TWGraphicView::endMarkBatch()
{
    if (m_markBatchDepth > 0 && --m_markBatchDepth == 0)
        flushBatchedMarks();
}

void TWGraphicView::batchMark(Rect rect)
{
    // A dragged subtree marks each of its graphics where it was and where it
    // is; overlapping marks merge, and past a few the new one joins the mark
    // it grows least, so the viewport gets a handful of rectangles.
    constexpr qsizetype MostMarks = 8;
    for (qsizetype i = 0; i < m_batchedMarks.size(); ++i) {
        if (m_batchedMarks.at(i).contains(rect))
            return;
        if (!m_batchedMarks.at(i).intersects(rect))
            continue;
        Rect merged = m_batchedMarks.takeAt(i).united(rect);
        // The grown mark may now reach others.
        for (qsizetype j = m_batchedMarks.size() - 1; j >= 0; --j) {
            if (m_batchedMarks.at(j).intersects(merged))
                merged = merged.united(m_batchedMarks.takeAt(j));
        }
        m_batchedMarks.append(merged);
        return;
    }
    if (m_batchedMarks.size() < MostMarks) {
        m_batchedMarks.append(rect);
        return;
    }
    const auto area = [](const Rect &r) { return double(r.width()) * double(r.height()); };
    qsizetype best = 0;
    double leastGrowth = 0;
    for (qsizetype i = 0; i < m_batchedMarks.size(); ++i) {
        const Rect &mark = m_batchedMarks.at(i);
        const double growth = area(mark.united(rect)) - area(mark);
        if (i == 0 || growth < leastGrowth) {
            best = i;
            leastGrowth = growth;
        }
    }
    const Rect merged = m_batchedMarks.takeAt(best).united(rect);
    batchMark(merged);
}

void TWGraphicView::flushBatchedMarks()
{
    if (m_batchedMarks.isEmpty())
        return;
    const QList<Rect> marks = std::exchange(m_batchedMarks, {});
    for (const Rect &mark : marks) {
        postNavigatorUpdate(mark);
        emit displayMarked(mark);
        updateViewport(viewportRectFromMap(mark).toAlignedRect());
    }
}

void TWGraphicView::setNeedsDelayedDisplayInRect(Rect rect)
{
    if (!isZero(m_displayRect)) {
        m_displayRect = TWUnionRect(m_displayRect, rect);
        return;
    }
    m_displayRect = rect;
    reallyDisplay();
}

void TWGraphicView::reallyDisplay()
{
    if (isZero(m_displayRect) && isZero(m_extraRedrawRect))
        return;
    const Rect pending = pendingArea();
    m_displayRect = Rect();
    m_extraRedrawRect = Rect();
    setNeedsDisplayInRect(pending);
}

void TWGraphicView::invalidateGraphic(TWGraphic &graphic)
{
    setNeedsDisplayInRect(graphic.drawingBounds());
}

void TWGraphicView::immediatelyRedrawGraphic(TWGraphic &graphic)
{
    setNeedsDisplayInRect(graphic.drawingBounds());
    displayIfNeeded();
}

void TWGraphicView::displayIfNeeded()
{
    flushBatchedMarks();
    // Only the marked area: a dragged branch need not repaint the whole view.
    if (!m_unpaintedArea.isEmpty())
        viewport()->repaint(m_unpaintedArea);
}

void TWGraphicView::deferWhileTyping(Rect rect, bool cancelEarlier)
{
    m_extraRedrawRect = isZero(m_extraRedrawRect) ? rect : TWUnionRect(m_extraRedrawRect, rect);
    const int ms = int(std::lround(m_redrawTime * 1000));
    if (cancelEarlier) {
        m_commitTimer.start(ms);
    } else {
        // Added to whatever commit is already scheduled.
        QTimer::singleShot(ms, this, &TWGraphicView::changeTextFromStoredDict);
    }
}

void TWGraphicView::changeTextFromStoredDict()
{
    QElapsedTimer clock;
    clock.start();
    if (m_storedTextCommitter)
        m_storedTextCommitter();
    performPendingLayout();
    reallyDisplay();
    displayIfNeeded();
    // Typing batches its redraws only while committing is slow.
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    m_redrawTime = seconds < 0.05 ? 0 : std::min(seconds, 0.1);
}

void TWGraphicView::postNavigatorUpdate(std::optional<Rect> area) const
{
    if (!m_document)
        return;
    QVariantMap details;
    if (area)
        details.insert(NavigatorAreaKey, area->toQt());
    else
        details.insert(NavigatorScrolledKey, true);
    NotificationCenter::defaultCenter().post(NavigatorNeedsUpdateNotification,
                                             m_document->documentObject(), details);
}

void TWGraphicView::postPrintCanvasUpdate() const
{
    TWMapsDoc *document = mapsDoc();
    NotificationCenter::defaultCenter().post(
        TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification,
        document ? NotificationObject(document->shared_from_this()) : NotificationObject());
}

// --- notifications ---

bool TWGraphicView::isShownMap(const NotificationObject &object) const
{
    const TWMap *shown = map();
    return shown && object.identity() == shown;
}

void TWGraphicView::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    auto on = [&](const QString &name, std::function<void(const Notification &)> handler) {
        m_observers.push_back(center.observe(name, nullptr, std::move(handler)));
    };
    auto graphicOfShownMap = [this](const Notification &n) -> std::shared_ptr<TWGraphic> {
        const auto graphic = n.sender.lock<TWGraphic>();
        const TWMap *shown = map();
        return graphic && shown && graphic->map() == shown ? graphic : nullptr;
    };

    on(TWMap::GraphicAddedToSelectedGraphicsNotification, [=, this](const Notification &n) {
        const auto graphic = graphicOfShownMap(n);
        if (!graphic || !graphic->branch())
            return;
        TWMapBranch::GraphicList graphics;
        graphic->branch()->graphicsForThisBranchOnlyIntoArray(graphics, false, true, false);
        for (const std::shared_ptr<TWGraphic> &g : std::as_const(graphics))
            setNeedsDelayedDisplayInRect(g->drawingBounds());
        // The icons step aside from the handles a selection shows: their
        // whole row, wherever they stood.
        TWMapBranch &branch = *graphic->branch();
        if (const int icons = branch.suffixIcons().count(); icons > 0)
            setNeedsDelayedDisplayInRect(
                TWUnionRect(TWBranchIndicators::boundsOfSlot(branch, 0),
                            TWBranchIndicators::boundsOfSlot(branch, icons - 1))
                    .insetBy(-4, -1));
    });
    on(TWGraphic::GraphicWillChangeBoundsNotification, [=, this](const Notification &n) {
        if (const auto graphic = graphicOfShownMap(n))
            setNeedsDisplayInRect(graphic->drawingBounds());
    });
    on(TWGraphic::GraphicDidChangeBoundsNotification, [=, this](const Notification &n) {
        if (const auto graphic = graphicOfShownMap(n))
            setNeedsDelayedDisplayInRect(graphic->drawingBounds());
    });
    on(TWMap::RedrawInRectNotification,
       [this](const Notification &n) { redrawInRectNotification(n); });
    on(TWMap::DelayedRedrawInRectNotification,
       [this](const Notification &n) { delayedRedrawInRectNotification(n); });
    on(TWGraphic::GraphicNeedsRedrawNotification,
       [this](const Notification &n) { graphicNeedsRedrawNotification(n); });
    on(TWGraphic::BranchDidResizeNotification, [this](const Notification &n) {
        auto branch = n.userInfo.value(TWGraphic::BranchKey).value<std::shared_ptr<TWMapBranch>>();
        if (!branch)
            branch = n.sender.lock<TWMapBranch>();
        // Only the shown map is laid out here; another canvas shows the others.
        if (branch && branch->map() == map())
            addMovedBranch(branch);
    });
    on(FlushPendingRedrawsNotification,
       [this](const Notification &) { flushPendingRedrawsNotification(); });
    on(TWMap::TemporaryLinkLineUpdatedNotification,
       [this](const Notification &n) { drawTempLinkLine(n); });
    on(TWMap::TemporaryLinkLineRemovedNotification,
       [this](const Notification &n) { eraseTempLinkLine(n); });
    on(ResizedGraphicFlippedNotification, [this](const Notification &n) {
        const auto resizing = m_resizingGraphic.lock();
        if (resizing && n.sender.identity() == resizing.get())
            m_resizedGraphicFlipped = true;
    });
}

void TWGraphicView::redrawInRectNotification(const Notification &n)
{
    if (!isShownMap(n.userInfo.value(TWMap::MapKey).value<NotificationObject>()))
        return;
    const std::optional<Rect> rect = rectOf(n);
    if (!rect)
        return;
    if (m_editingTextArea && m_redrawTime > 0)
        deferWhileTyping(*rect, true);
    else
        setNeedsDisplayInRect(*rect);
}

void TWGraphicView::delayedRedrawInRectNotification(const Notification &n)
{
    if (!isShownMap(n.userInfo.value(TWMap::MapKey).value<NotificationObject>()))
        return;
    if (const std::optional<Rect> rect = rectOf(n))
        setNeedsDelayedDisplayInRect(*rect);
}

void TWGraphicView::graphicNeedsRedrawNotification(const Notification &n)
{
    // Any document's graphic: a graphic shown in two canvases redraws in both.
    const auto graphic = n.sender.lock<TWGraphic>();
    if (!graphic)
        return;
    if (m_editingTextArea && m_redrawTime > 0)
        deferWhileTyping(graphic->drawingBounds(), false);
    else
        setNeedsDisplayInRect(graphic->drawingBounds());
}

void TWGraphicView::flushPendingRedrawsNotification()
{
    const Rect pending = pendingArea();
    if (!isZero(pending))
        setNeedsDisplayInRect(pending);
    displayIfNeeded();
}

// --- layout after edits ---

void TWGraphicView::addMovedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    if (!branch || m_movedBranchSet.contains(branch.get()) || m_inLayout)
        return;
    UndoManager *undo = m_document ? m_document->undoManager() : nullptr;
    // Undo and redo put every branch back where it was.
    if (undo && (undo->isUndoing() || undo->isRedoing()))
        return;
    m_branchesThatHaveMoved.append(branch);
    m_movedBranchSet.insert(branch.get());
    schedulePendingLayout();
}

void TWGraphicView::schedulePendingLayout()
{
    UndoManager *undo = m_document ? m_document->undoManager() : nullptr;
    // The layout belongs to the edit's undo step: the step stays open until it ran.
    if (undo && !m_layoutGroupOpen && undo->isUndoRegistrationEnabled()) {
        undo->beginUndoGrouping();
        m_layoutGroupOpen = true;
    }
    if (!m_layoutTimer.isActive())
        m_layoutTimer.start();
}

void TWGraphicView::performPendingLayout()
{
    m_layoutTimer.stop();
    if (!m_branchesThatHaveMoved.isEmpty()) {
        beginMarkBatch();
        // Moves made by the layout itself do not ask for another pass.
        m_inLayout = true;
        const QList<std::shared_ptr<TWMapBranch>> moved = m_branchesThatHaveMoved;
        if (const std::shared_ptr<TWMap> m = mapsDoc() ? mapsDoc()->currentMap() : nullptr) {
            if (m->layoutAssistanceMode() != 3) {
                // The moved subtrees and their parents: the siblings' own
                // subtrees kept their order, however large they are.
                for (const auto &branch :
                     TWMapUtilities::minimumBranchCoverFromBranchesInArray(moved)) {
                    if (TWMapBranch *parent = branch->parent()) {
                        parent->reSortChildrenByPositionRecursively(false);
                        branch->reSortChildrenByPositionRecursively(true);
                    }
                }
            }
            if (m->outlineNumbersNeedUpdating())
                m->updateOutlineNumbers();
            m->autoArangeWithMovedBranches(moved);
        }
        m_branchesThatHaveMoved.clear();
        m_movedBranchSet.clear();
        m_inLayout = false;
        endMarkBatch();
    }
    if (m_layoutGroupOpen) {
        m_layoutGroupOpen = false;
        if (UndoManager *undo = m_document ? m_document->undoManager() : nullptr)
            undo->endUndoGrouping();
    }
}
