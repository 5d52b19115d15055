#include "palettes/TWNavigatorView.h"

#include "canvas/TWGraphicView.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/Document.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

TWNavigatorView::TWNavigatorView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("navigatorView"));
    setAttribute(Qt::WA_AcceptTouchEvents, false);
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(UpdateDelayMilliseconds);
    connect(&m_updateTimer, &QTimer::timeout, this, &TWNavigatorView::updateDisplay);
    m_catchUpTimer.setSingleShot(true);
    // After the canvas has shown the change, so as not to share its frame.
    m_catchUpTimer.setInterval(CatchUpDelayMilliseconds);
    connect(&m_catchUpTimer, &QTimer::timeout, this, &TWNavigatorView::catchUpWhenQuiet);
    connect(&PictureEvents::shared(), &PictureEvents::picturesReady, this,
            &TWNavigatorView::delayedUpdateDisplay);
    m_closeObserver = NotificationCenter::defaultCenter().observe(
        Document::WillCloseNotification, nullptr, [this](const Notification &n) {
            if (m_document && n.sender.identity() == m_document.identity())
                setDocument(nullptr);
        });
}

TWNavigatorView::~TWNavigatorView() = default;

TWPaletteHost *TWNavigatorView::document() const
{
    return m_document;
}

void TWNavigatorView::setDocument(TWPaletteHost *document)
{
    m_documentObservers.clear();
    m_document = document;
    Source source;
    if (document) {
        const TWPaletteHostPointer guarded(document);
        source.map = [guarded]() -> TWMap * {
            if (!guarded || !guarded->mapsDocument())
                return nullptr;
            return guarded->mapsDocument()->currentMap().get();
        };
        source.visibleRect = [guarded] {
            TWGraphicView *view = guarded ? guarded->graphicView() : nullptr;
            return view ? view->visibleRect() : Rect();
        };
        source.scrollRectToVisible = [guarded](Rect rect) {
            if (TWGraphicView *view = guarded ? guarded->graphicView() : nullptr)
                view->scrollRectToVisible(rect);
        };
        NotificationCenter &center = NotificationCenter::defaultCenter();
        const auto later = [this](const Notification &) { delayedUpdateDisplay(); };
        // The canvas says what it marked or that it scrolled; anything else
        // redraws the whole.
        const auto follow = [this](const Notification &n) {
            const QVariant area = n.userInfo.value(TWGraphicView::NavigatorAreaKey);
            if (area.isValid())
                mapAreaDidChange(Rect::fromQt(area.toRectF()));
            else if (n.userInfo.value(TWGraphicView::NavigatorScrolledKey).toBool())
                visibleRectDidChange();
            else
                delayedUpdateDisplay();
        };
        m_documentObservers.push_back(
            center.observe(TWGraphicView::NavigatorNeedsUpdateNotification,
                           static_cast<const void *>(document->hostObject()), follow));
        if (document->mapsDocument())
            m_documentObservers.push_back(center.observe(TWMapsDoc::UpdateMapTabsNotification,
                                                         document->mapsDocument(), later));
    }
    m_source = std::move(source);
    m_thumbnail = QImage();
    m_scalingFactor = 0;
    // Drawing the whole map is slow on large maps: a newly shown document's
    // thumbnail waits for the same quiet half second as any redraw, so the
    // window's first paint is not held up by it.
    m_thumbnailWaits = document != nullptr;
    delayedUpdateDisplay();
    // Without a document the view is blank at once.
    if (!document)
        update();
}

void TWNavigatorView::setSource(Source source)
{
    m_source = std::move(source);
    m_thumbnail = QImage();
    m_scalingFactor = 0;
    delayedUpdateDisplay();
}

void TWNavigatorView::setDocumentViewActive(bool active)
{
    if (m_documentViewActive == active)
        return;
    m_documentViewActive = active;
    delayedUpdateDisplay();
}

void TWNavigatorView::delayedUpdateDisplay()
{
    m_updateTimer.start();
}

void TWNavigatorView::updateDisplay()
{
    m_updateTimer.stop();
    m_catchUpTimer.stop();
    m_changedAreas.clear();
    m_thumbnailWaits = false;
    m_thumbnail = QImage();
    update();
}

void TWNavigatorView::visibleRectDidChange()
{
    update();
}

void TWNavigatorView::mapAreaDidChange(Rect area)
{
    if (area.isEmpty())
        return;
    // A few rectangles: past them the last one grows to hold the changes.
    constexpr qsizetype MostAreas = 8;
    if (m_changedAreas.size() >= MostAreas)
        m_changedAreas.last() = m_changedAreas.last().united(area);
    else
        m_changedAreas.append(area);
    // A move of the whole map brings a change per graphic: restarting the
    // timer for each would cost more than the catch-up.
    m_sinceChange.start();
    if (!m_catchUpTimer.isActive())
        m_catchUpTimer.start(CatchUpDelayMilliseconds);
}

void TWNavigatorView::catchUpWhenQuiet()
{
    const qint64 quiet =
        m_sinceChange.isValid() ? m_sinceChange.elapsed() : CatchUpDelayMilliseconds;
    if (quiet < CatchUpDelayMilliseconds && !m_changedAreas.isEmpty())
        m_catchUpTimer.start(int(CatchUpDelayMilliseconds - quiet));
    else
        catchUp();
}

void TWNavigatorView::catchUp()
{
    m_catchUpTimer.stop();
    const QList<Rect> areas = std::exchange(m_changedAreas, {});
    TWMap *current = map();
    if (areas.isEmpty() || !current || m_documentViewActive)
        return;
    // Nothing drawn yet, or a whole redraw already waits: that one shows the change.
    if (m_thumbnail.isNull() || m_updateTimer.isActive())
        return;
    layoutThumbnail();
    if (m_scalingFactor != m_thumbnailScale || m_drawingOffset != m_thumbnailOffset ||
        m_thumbnail.size() != size() * devicePixelRatioF()) {
        delayedUpdateDisplay();
        return;
    }
    const float s = m_scalingFactor;
    {
        QPainter painter(&m_thumbnail);
        DrawingContext context(painter, true);
        for (const Rect &area : areas) {
            // Whole pixels of the thumbnail, and the part of the map they show.
            const QRect pixels = QRectF(area.x() * s + m_drawingOffset.x,
                                        area.y() * s + m_drawingOffset.y, area.width() * s,
                                        area.height() * s)
                                     .toAlignedRect()
                                     .adjusted(-1, -1, 1, 1)
                                     .intersected(rect());
            if (pixels.isEmpty())
                continue;
            const Rect shown((float(pixels.x()) - m_drawingOffset.x) / s,
                             (float(pixels.y()) - m_drawingOffset.y) / s, float(pixels.width()) / s,
                             float(pixels.height()) / s);
            painter.save();
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(pixels, Qt::transparent);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            painter.setClipRect(pixels);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(m_drawingOffset.x, m_drawingOffset.y);
            painter.scale(s, s);
            TWMapDrawing::Options options;
            options.drawBackground = true;
            options.drawSelection = false;
            options.drawLabels = TWMapDrawing::labelsReadableAt(s);
            options.levelOfDetail = true;
            const Size canvas = current->canvasSize();
            TWMapDrawing::drawMapInRect(
                context, *current, shown.intersected(Rect(0, 0, canvas.width, canvas.height)),
                options);
            painter.restore();
        }
    }
    update();
}

Point TWNavigatorView::offsetForMapSize(Size size) const
{
    return Point((float(width()) - size.width) / 2, (float(height()) - size.height) / 2);
}

void TWNavigatorView::layoutThumbnail()
{
    TWMap *current = map();
    const Size canvas = current ? current->canvasSize() : Size();
    // An empty canvas has no scale: nothing is drawn and clicks do nothing.
    if (!current || canvas.width <= 0 || canvas.height <= 0 || width() <= 0 || height() <= 0) {
        m_scalingFactor = 0;
        m_mapVisibleRect = Rect();
        return;
    }
    const float s = std::min(float(height()) / canvas.height, float(width()) / canvas.width);
    m_scalingFactor = std::isfinite(s) ? s : 0;
    m_drawingOffset = offsetForMapSize(Size(canvas.width * s, canvas.height * s));
    const Rect visible = m_source.visibleRect ? m_source.visibleRect() : Rect();
    m_mapVisibleRect =
        Rect(visible.x() * s + m_drawingOffset.x, visible.y() * s + m_drawingOffset.y,
             visible.width() * s, visible.height() * s);
}

const QImage &TWNavigatorView::thumbnail()
{
    TWMap *current = map();
    if (!m_thumbnail.isNull() || !current || m_scalingFactor <= 0)
        return m_thumbnail;
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(m_drawingOffset.x, m_drawingOffset.y);
        painter.scale(m_scalingFactor, m_scalingFactor);
        const Size canvas = current->canvasSize();
        DrawingContext context(painter, true);
        TWMapDrawing::Options options;
        options.drawBackground = true;
        options.drawSelection = false;
        options.drawLabels = TWMapDrawing::labelsReadableAt(m_scalingFactor);
        options.levelOfDetail = true;
        TWMapDrawing::drawMapInRect(context, *current, Rect(0, 0, canvas.width, canvas.height),
                                    options);
    }
    m_thumbnail = image;
    m_thumbnailScale = m_scalingFactor;
    m_thumbnailOffset = m_drawingOffset;
    return m_thumbnail;
}

void TWNavigatorView::paintEvent(QPaintEvent *)
{
    if (!map() || m_documentViewActive)
        return;
    layoutThumbnail();
    if (m_scalingFactor <= 0)
        return;
    if (m_thumbnailWaits && m_updateTimer.isActive())
        return;
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), thumbnail());
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = m_mapVisibleRect.toQt();
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.6), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outline, 2.0, 2.0);
}

void TWNavigatorView::resizeEvent(QResizeEvent *)
{
    m_thumbnail = QImage();
}

void TWNavigatorView::mousePressEvent(QMouseEvent *event)
{
    m_initialLocation = event->position();
    const Rect r = m_mapVisibleRect;
    scrollMapBy(float(m_initialLocation.x()) - r.x() - r.width() / 2,
                float(m_initialLocation.y()) - r.y() - r.height() / 2);
}

void TWNavigatorView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPointF location = event->position();
    scrollMapBy(float(location.x() - m_initialLocation.x()),
                float(location.y() - m_initialLocation.y()));
    m_initialLocation = location;
}

void TWNavigatorView::scrollMapBy(float dx, float dy)
{
    // Before the first drawing there is no scale to scroll by.
    if (m_scalingFactor <= 0 || !m_source.visibleRect || !m_source.scrollRectToVisible)
        return;
    const float s = m_scalingFactor;
    const Rect visible = m_source.visibleRect();
    m_source.scrollRectToVisible(
        Rect(visible.x() + dx / s, visible.y() + dy / s, visible.width(), visible.height()));
    layoutThumbnail();
    update();
}
