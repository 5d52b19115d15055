// The mouse on the canvas: what a press does, the drags it starts, the
// pointer-following highlight and the context menu.
//
// Modifiers as Qt maps them on the Mac: Command is Ctrl, Option is Alt,
// Control is Meta.

#include "canvas/TWBranchIndicatorClicks.h"
#include "canvas/TWCanvasToolTips.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicDrags.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWMouseTrackers.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "interface/TWHyperlinkableText.h"
#include "model/TWLinkServices.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <cmath>

namespace {

constexpr float OptionZoomFactor = 0.666f;
constexpr float SmallestZoom = 20;

bool isLinkLineOrAttached(const TWGraphic &graphic)
{
    return dynamic_cast<const TWLinkLine *>(&graphic) || graphic.isLinkedGraphic();
}

bool isMainGraphicOfItsBranch(const TWGraphic &graphic)
{
    const TWMapBranch *branch = graphic.branch();
    return branch && branch->mainGraphic().get() == &graphic;
}

} // namespace

std::shared_ptr<TWGraphic>
TWGraphicView::graphicForLinkingToFromGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (!graphic)
        return nullptr;
    TWMapBranch *branch = graphic->branch();
    if (branch && branch->linkedGraphics().contains(graphic))
        return graphic;
    if (dynamic_cast<const TWConnectionGraphic *>(graphic.get()) ||
        dynamic_cast<const TWLinkLine *>(graphic.get()))
        return nullptr;
    return branch ? branch->mainGraphic() : nullptr;
}

void TWGraphicView::setGraphicDrags(std::shared_ptr<TWGraphicDrags> drags)
{
    m_graphicDrags = std::move(drags);
}

void TWGraphicView::setDragExecutor(std::function<void(QDrag &)> executor)
{
    m_dragExecutor = std::move(executor);
}

// --- the highlight under the pointer ---

void TWGraphicView::setAnimatingGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    const std::shared_ptr<TWGraphic> old = m_animatingGraphic.lock();
    if (old == graphic)
        return;
    if (old)
        old->drawWithAnimationStep(0);
    m_animatingGraphic = graphic;
    m_animationStep = 0;
    if (!m_highlightTimerConnected) {
        connect(&m_highlightTimer, &QTimer::timeout, this, [this] {
            // A link-line drag steps the highlight itself.
            if (!isTracking())
                stepAnimation();
        });
        m_highlightTimerConnected = true;
    }
    if (graphic)
        m_highlightTimer.start(m_highlightInterval);
    else
        m_highlightTimer.stop();
}

void TWGraphicView::stepAnimation()
{
    const std::shared_ptr<TWGraphic> graphic = m_animatingGraphic.lock();
    if (!graphic) {
        m_animationStep = 0;
        return;
    }
    m_animationStep = m_animationStep % 10 + 1;
    graphic->drawWithAnimationStep(m_animationStep);
}

void TWGraphicView::highlightUnderPointer(QPointF point)
{
    const int mode = m_drawingMode;
    if (mode != AddChildMode && mode != AddSiblingMode && mode != GraftMode && mode != LinkLineMode)
        return;
    TWMap *m = map();
    if (!m)
        return;
    setAnimatingGraphic(
        graphicForLinkingToFromGraphic(m->graphicUnderPoint(mapPointFromViewport(point), nullptr)));
}

// --- the rubber band's query ---

QList<std::shared_ptr<TWGraphic>> TWGraphicView::graphicsIntersectingRect(Rect rect) const
{
    QList<std::shared_ptr<TWGraphic>> result;
    TWMap *m = map();
    if (!m)
        return result;
    for (const std::shared_ptr<TWGraphic> &g : m->graphics()) {
        if (g->selectsInRect(rect))
            result.append(g);
    }
    return result;
}

// --- Qt's mouse events ---

void TWGraphicView::mousePressEvent(QMouseEvent *event)
{
    m_dragModifiers = event->modifiers();
    if (event->button() != Qt::LeftButton || m_tracker) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    mouseDown(event->position(), event->modifiers(), 1);
    event->accept();
}

void TWGraphicView::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_dragModifiers = event->modifiers();
    if (event->button() != Qt::LeftButton || m_tracker) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    mouseDown(event->position(), event->modifiers(), 2);
    event->accept();
}

void TWGraphicView::mouseMoveEvent(QMouseEvent *event)
{
    m_dragModifiers = event->modifiers();
    if (!m_tracker) {
        highlightUnderPointer(event->position());
        if (event->buttons() == Qt::NoButton)
            showLinkCursor(event->position());
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    m_lastDragPoint = event->position();
    beginMarkBatch();
    m_tracker->move(*this, m_lastDragPoint);
    endMarkBatch();
    const bool outside = !viewport()->rect().contains(m_lastDragPoint.toPoint());
    if (outside && m_tracker && m_tracker->autoscrolls()) {
        if (!m_autoscrollTimer.isActive())
            m_autoscrollTimer.start(m_autoscrollInterval);
    } else {
        m_autoscrollTimer.stop();
    }
    event->accept();
}

void TWGraphicView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragModifiers = event->modifiers();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    if (m_tracker)
        endTracking(event->position());
    forgetDragCoordinates();
    event->accept();
}

void TWGraphicView::contextMenuEvent(QContextMenuEvent *event)
{
    rightMouseDown(event->pos(), event->globalPos());
    event->accept();
}

// --- the context menu ---

void TWGraphicView::rightMouseDown(QPointF point, QPoint globalPoint)
{
    const Point location = mapPointFromViewport(point);
    if (!m_document)
        return;
    m_document->prepareContextMenu(location);
    // The menu opens on the next pass, once the selection it acts on is made.
    QPointer<TWGraphicView> self(this);
    QTimer::singleShot(0, this, [self, location, globalPoint] {
        if (!self || !self->m_document)
            return;
        if (QMenu *menu = self->m_document->contextMenu(location))
            menu->popup(globalPoint);
    });
}

// --- the press ---

void TWGraphicView::selectOnly(const std::shared_ptr<TWGraphic> &graphic)
{
    TWMap *m = map();
    if (!m || !graphic)
        return;
    m->removeAllSelectedGraphics();
    m->insertObjectInSelectedGraphicsAtIndex(graphic, 0);
}

void TWGraphicView::forgetDragCoordinates()
{
    if (m_graphicDrags)
        m_graphicDrags->forgetCoordinates();
}

void TWGraphicView::mouseDown(QPointF point, Qt::KeyboardModifiers modifiers, int clickCount)
{
    const bool command = modifiers & Qt::ControlModifier;
    const bool option = modifiers & Qt::AltModifier;
    const bool control = modifiers & Qt::MetaModifier;
    const bool shift = modifiers & Qt::ShiftModifier;

    setAnimatingGraphic(nullptr);

    if (control) {
        rightMouseDown(point, viewport()->mapToGlobal(point.toPoint()));
        return;
    }

    if (m_editingTextArea) {
        const std::shared_ptr<TWTextArea> editing = m_editingTextArea;
        editing->setIsEditing(false);
    }
    if (window() && !window()->isActiveWindow()) {
        window()->raise();
        window()->activateWindow();
    }

    TWMap *m = map();
    if (!m)
        return;
    const Point p = mapPointFromViewport(point);
    const std::shared_ptr<TWGraphic> hit = m->graphicUnderPoint(p, nullptr);

    if (m_spaceBarPressed || m_drawingMode == PanMode) {
        scrollWithEvent(point);
        return;
    }

    if (m_drawingMode == ZoomMode) {
        if (option) {
            beginTracking(std::make_unique<TWReleaseTracker>([](TWGraphicView &view, QPointF) {
                              TWMap *map = view.map();
                              if (!map)
                                  return;
                              // Zooms out by 0.666 exactly, not by two thirds.
                              const double zoom = double(map->zoomAmount()) * 0.666;
                              map->setZoomAmount(std::max(SmallestZoom, float(zoom)));
                              view.mapGeometryDidChange();
                              view.returnToSelectModeUnlessLocked();
                          }),
                          point);
        } else {
            beginTracking(std::make_unique<TWZoomBoxTracker>(), point);
        }
        return;
    }

    // Steps 8 to 14 need something under the pointer.
    bool pastTheGraphic = !hit;
    if (!hit && (m_drawingMode == AddChildMode || m_drawingMode == AddSiblingMode ||
                 m_drawingMode == GraftMode || m_drawingMode == LinkLineMode))
        returnToSelectModeUnlessLocked();

    if (!pastTheGraphic) {
        TWMapBranch *branch = hit->branch();
        if (m_drawingMode == AddChildMode || m_drawingMode == AddSiblingMode) {
            m->removeAllSelectedGraphics();
            if (branch && branch->enclosedTextArea())
                branch->enclosedTextArea()->tryToSelect();
            if (m_drawingMode == AddChildMode)
                m->publicCreateChildren();
            else
                m->publicCreateSiblings();
            returnToSelectModeUnlessLocked();
            return;
        }
        if (m_drawingMode == GraftMode) {
            if (isLinkLineOrAttached(*hit))
                returnToSelectModeUnlessLocked();
            else
                reparentDrag(hit, point);
            return;
        }
        if (m_drawingMode == LinkLineMode ||
            (command && (m_drawingMode == SelectMode || m_drawingMode == RapidEntryMode))) {
            if (const std::shared_ptr<TWGraphic> target = graphicForLinkingToFromGraphic(hit)) {
                beginTracking(std::make_unique<TWLinkLineTracker>(target), point);
                return;
            }
        }
        if (clickIndicators(hit, p, point))
            return;
        if (TWHyperlinkableText::clickFollowsLink(modifiers) && openHyperlinkAreas(*hit, p))
            return;
        if (dragAdornment(hit))
            return;
    }

    if (option && command) {
        addBranchAtPoint(p);
        UndoManager::setActionName(
            m_document ? m_document->undoManager() : nullptr,
            TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Add Branch")));
        return;
    }
    if (option) {
        if (hit && !isLinkLineOrAttached(*hit)) {
            reparentDrag(hit, point);
            return;
        }
    }
    if (command) {
        addBranchAtPoint(p);
        postPrintCanvasUpdate();
        return;
    }

    if (shift && hit) {
        const int index = m->indexOfSelectedGraphicIdenticalTo(hit.get());
        if (index >= 0) {
            if (hit->knobUnderPoint(p) != 0)
                selectAndTrack(point, modifiers, hit);
            else
                m->removeObjectFromSelectedGraphicsAtIndex(index);
        } else {
            m->insertObjectInSelectedGraphicsAtIndex(hit, m->countOfSelectedGraphics());
        }
        return;
    }

    // Nothing has changed the map since the hit was found: it is what lies
    // under the pointer (finding it again costs a walk of the map).
    if (clickCount > 1) {
        if (const std::shared_ptr<TWGraphic> &g = hit) {
            if (g->isEditable()) {
                selectOnly(g);
                if (auto text = std::dynamic_pointer_cast<TWTextArea>(g))
                    text->setIsEditing(true);
                return;
            }
            if (g->linkBackData().isValid()) {
                if (m_document)
                    m_document->editLinkBackInGraphic(g);
                return;
            }
            if (isMainGraphicOfItsBranch(*g)) {
                selectOnly(g);
                if (const std::shared_ptr<TWTextArea> &text = g->branch()->enclosedTextArea())
                    text->setIsEditing(true);
                return;
            }
        }
    }

    selectAndTrack(point, modifiers, hit);
}

bool TWGraphicView::clickIndicators(const std::shared_ptr<TWGraphic> &hit, Point p, QPointF point)
{
    if (!isMainGraphicOfItsBranch(*hit))
        return false;
    TWMapBranch &branch = *hit->branch();
    TWMapLayoutServices &services = branch.layoutServices();
    Rect area = services.rectOfRightEndGraphics(branch);
    if (area == Rect() || !area.contains(p)) {
        area = services.boundsOfShowAndHideImage(branch);
        if (area == Rect() || !area.contains(p))
            return false;
        // A knob of a selected graphic over the sign wins.
        TWMapBranch::GraphicList own;
        branch.graphicsForThisBranchOnlyIntoArray(own, true, true, true);
        TWMap *m = map();
        for (const std::shared_ptr<TWGraphic> &g : std::as_const(own)) {
            if (m && m->isGraphicSelected(g.get()) && g->knobUnderPoint(p) != 0)
                return false;
        }
    }
    // The indicator acts when the button comes up inside it.
    std::weak_ptr<TWMapBranch> pressed = branch.weak_from_this();
    beginTracking(
        std::make_unique<TWReleaseTracker>([pressed, area](TWGraphicView &view, QPointF released) {
            const std::shared_ptr<TWMapBranch> b = pressed.lock();
            const Point q = view.mapPointFromViewport(released);
            if (b && area.contains(q))
                TWBranchIndicatorClicks::handleClickAtPoint(*b, q, view.dragModifiers(),
                                                            view.document());
        }),
        point);
    return true;
}

namespace {

// The link of a branch's label (or attached text) at a map point, from the
// records its last drawing left.
std::optional<QUrl> linkOfBranchAt(const TWMapBranch &branch, Point p)
{
    // Copied: opening a link may redraw the branch, which rebuilds the records.
    const QVariantList records = branch.hyperlinkTooltipInfo();
    for (const QVariant &value : records) {
        const QVariantMap record = value.toMap();
        const QVariant rect = record.value(QStringLiteral("rect"));
        if (!rect.isValid() || !Rect::fromString(rect.toString()).contains(p))
            continue;
        const QVariant link = record.value(QStringLiteral("nsurl"));
        // Links read from files may be plain strings.
        const QUrl url = link.typeId() == QMetaType::QUrl ? link.toUrl()
                                                           : QUrl(link.toString().trimmed());
        if (url.isValid() && !url.isEmpty())
            return url;
    }
    return std::nullopt;
}

} // namespace

std::optional<QUrl> TWGraphicView::linkAtPoint(Point p) const
{
    TWMap *m = map();
    const std::shared_ptr<TWGraphic> hit = m ? m->graphicUnderPoint(p, nullptr) : nullptr;
    const TWMapBranch *branch = hit ? hit->branch() : nullptr;
    return branch ? linkOfBranchAt(*branch, p) : std::nullopt;
}

bool TWGraphicView::openHyperlinkAreas(const TWGraphic &hit, Point p)
{
    const TWMapBranch *branch = hit.branch();
    const std::optional<QUrl> url = branch ? linkOfBranchAt(*branch, p) : std::nullopt;
    if (!url)
        return false;
    if (TWLinkOpener *opener = TWLinkServices::current().opener)
        opener->openURL(*url);
    return true;
}

void TWGraphicView::showLinkCursor(QPointF point)
{
    if (m_spaceBarPressed || m_drawingMode != SelectMode) {
        m_linkCursorShown = false;
        return;
    }
    const bool overLink = linkAtPoint(mapPointFromViewport(point)).has_value();
    if (overLink == m_linkCursorShown)
        return;
    m_linkCursorShown = overLink;
    if (overLink)
        viewport()->setCursor(Qt::PointingHandCursor);
    else
        updateModeCursor(false);
}

TWToolTipRegistry *TWGraphicView::toolTipRegistry() const
{
    return m_toolTips.get();
}

bool TWGraphicView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const std::optional<QString> text =
            m_toolTips ? m_toolTips->textAt(mapPointFromViewport(help->pos())) : std::nullopt;
        if (text && !text->isEmpty())
            QToolTip::showText(help->globalPos(), *text, viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

QMimeData *TWGraphicView::adornmentMimeData(const TWEnclosedGraphic &record)
{
    auto *data = new QMimeData;
    data->setData(AdornmentPasteboardType, record.path().value_or(QString()).toUtf8());
    return data;
}

bool TWGraphicView::dragAdornment(const std::shared_ptr<TWGraphic> &hit)
{
    const TWMapBranch *branch = hit->branch();
    if (!branch)
        return false;
    std::shared_ptr<TWEnclosedGraphic> record;
    for (const std::shared_ptr<TWEnclosedGraphic> &e : branch->otherEnclosedGraphics()) {
        if (e && e->graphic() == hit) {
            record = e;
            break;
        }
    }
    if (!record)
        return false;

    QDrag drag(this);
    drag.setMimeData(adornmentMimeData(*record));
    const Rect bounds = hit->bounds();
    QImage picture(std::max(1, int(std::ceil(bounds.width() * zoomFactor()))),
                   std::max(1, int(std::ceil(bounds.height() * zoomFactor()))),
                   QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        renderArea(painter, bounds);
    }
    drag.setPixmap(QPixmap::fromImage(picture));
    m_draggingEnclosedGraphic = record;
    if (m_dragExecutor)
        m_dragExecutor(drag);
    else
        drag.exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
    // However the drag ended, a later drop must not move this adornment.
    m_draggingEnclosedGraphic.reset();
    return true;
}

void TWGraphicView::reparentDrag(const std::shared_ptr<TWGraphic> &graphic, QPointF point)
{
    selectOnly(graphic);
    std::unique_ptr<TWReparentTracker> drag =
        m_graphicDrags ? m_graphicDrags->reparentSelectedGraphic(*this, point, true, Point())
                       : nullptr;
    if (!drag) {
        // Nothing carries branches yet: the press selects.
        if (m_drawingMode == GraftMode)
            returnToSelectModeUnlessLocked();
        return;
    }
    TWReparentTracker *reparent = drag.get();
    std::weak_ptr<TWGraphic> dragged = graphic;
    beginTracking(
        std::make_unique<TWFollowedTracker>(
            std::move(drag),
            [this, reparent, dragged] {
                selectOnly(dragged.lock());
                const char *name = nullptr;
                if (reparent->result() == TWReparentTracker::Grafted)
                    name = "Graft Branch";
                else if (reparent->result() == TWReparentTracker::Reordered)
                    name = "Move";
                if (name)
                    UndoManager::setActionName(
                        m_document ? m_document->undoManager() : nullptr,
                        TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(name)));
                postPrintCanvasUpdate();
                if (m_drawingMode == GraftMode)
                    returnToSelectModeUnlessLocked();
            }),
        point);
}

void TWGraphicView::addBranchAtPoint(Point p)
{
    setSavedLocation(p);
    if (m_document)
        m_document->addNewDefaultGraphicAtSavedLocation(p);
    forgetDragCoordinates();
}

void TWGraphicView::selectAndTrack(QPointF point, Qt::KeyboardModifiers modifiers,
                                   std::shared_ptr<TWGraphic> g)
{
    TWMap *m = map();
    if (!m)
        return;
    const Point p = mapPointFromViewport(point);
    if (g && g->branch() && g == g->branch()->enclosedImage())
        g = g->branch()->mainGraphic();

    const bool selected = g && m->indexOfSelectedGraphicIdenticalTo(g.get()) >= 0;
    if (!selected) {
        if (!(modifiers & Qt::ShiftModifier)) {
            m->removeAllSelectedGraphics();
            updateViewport(viewport()->rect());
        }
        if (!g) {
            beginTracking(std::make_unique<TWRubberbandTracker>(), point);
            return;
        }
        g->tryToSelect();
    } else if (const int knob = g->knobUnderPoint(p)) {
        beginTracking(std::make_unique<TWKnobTracker>(g, knob), point);
        return;
    }

    std::unique_ptr<TWDragTracker> move =
        m_graphicDrags ? m_graphicDrags->moveSelectedGraphic(*this, point) : nullptr;
    if (!move)
        return; // Nothing moves graphics yet: the press selects.
    beginTracking(std::make_unique<TWFollowedTracker>(
                      std::move(move),
                      [this] {
                          TWMapsDoc *document = mapsDoc();
                          NotificationCenter::defaultCenter().post(
                              TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                              document ? NotificationObject(document->shared_from_this())
                                       : NotificationObject());
                          scrollSelectionToVisible();
                      }),
                  point);
}
