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
#include <limits>

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
    // The next bands come on the next pass, after what else waits there.
    m_buildTimer.setSingleShot(true);
    m_buildTimer.setInterval(0);
    connect(&m_buildTimer, &QTimer::timeout, this, &TWNavigatorView::buildingTick);
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
    setSource(std::move(source));
}

void TWNavigatorView::setSource(Source source)
{
    m_source = std::move(source);
    m_scalingFactor = 0;
    // The map shows as soon as the view does: the next paint starts its
    // thumbnail, made a band at a time so that a large map does not hold up
    // the window.
    m_updateTimer.stop();
    m_catchUpTimer.stop();
    m_changedAreas.clear();
    dropPictures();
    update();
}

void TWNavigatorView::dropPictures()
{
    m_thumbnail = QImage();
    m_previous = QImage();
    m_building = QImage();
    m_buildTimer.stop();
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
    // The old picture shows until the new one is made.
    if (!m_thumbnail.isNull())
        m_previous = std::exchange(m_thumbnail, QImage());
    m_building = QImage();
    m_buildTimer.stop();
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
    // A few rectangles: past them a change joins the one it enlarges least,
    // so that changes far apart (a label typed into at the foot of a tall
    // map and a graphic near its top) do not make one that spans the map.
    constexpr qsizetype MostAreas = 8;
    const auto size = [](const Rect &r) { return double(r.width()) * double(r.height()); };
    qsizetype joining = -1;
    double growth = 0;
    for (qsizetype i = 0; i < m_changedAreas.size(); ++i) {
        const Rect &listed = m_changedAreas.at(i);
        if (listed.contains(area)) {
            joining = i;
            growth = 0;
            break;
        }
        const double grows = size(listed.united(area)) - size(listed);
        if (m_changedAreas.size() >= MostAreas && (joining < 0 || grows < growth)) {
            joining = i;
            growth = grows;
        }
    }
    if (joining >= 0)
        m_changedAreas[joining] = m_changedAreas.at(joining).united(area);
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
    const bool whole = !m_thumbnail.isNull();
    if ((!whole && !building()) || m_updateTimer.isActive())
        return;
    // A thumbnail being made has its drawn rows mended; the rest is still
    // to be drawn from the map as it is now.
    QImage &image = whole ? m_thumbnail : m_building;
    const float drawnScale = whole ? m_thumbnailScale : m_buildingScale;
    const Point drawnOffset = whole ? m_thumbnailOffset : m_buildingOffset;
    layoutThumbnail();
    if (m_scalingFactor != drawnScale || m_drawingOffset != drawnOffset ||
        image.size() != size() * devicePixelRatioF()) {
        delayedUpdateDisplay();
        return;
    }
    const QRect drawn = whole ? rect() : QRect(0, 0, width(), m_builtRows);
    const float s = m_scalingFactor;
    for (const Rect &area : areas) {
        // Whole pixels of the thumbnail, a pixel more each way for the
        // smoothed edges of what was there.
        const QRect pixels = QRectF(area.x() * s + m_drawingOffset.x,
                                    area.y() * s + m_drawingOffset.y, area.width() * s,
                                    area.height() * s)
                                 .toAlignedRect()
                                 .adjusted(-1, -1, 1, 1)
                                 .intersected(drawn);
        if (!pixels.isEmpty())
            drawPixels(image, pixels, *current, s, m_drawingOffset);
    }
    update();
}

void TWNavigatorView::drawPixels(QImage &image, const QRect &pixels, TWMap &map, float s,
                                 Point offset)
{
    QPainter painter(&image);
    DrawingContext context(painter, true);
    // What was there goes, moved and deleted branches included.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(pixels, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRect(pixels);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(offset.x, offset.y);
    painter.scale(s, s);
    // The part of the map the pixels show, and two pixels around it: what
    // lies just outside still reaches them with its smoothed edges.
    const float margin = 2 / s;
    const Rect shown((float(pixels.x()) - offset.x) / s - margin,
                     (float(pixels.y()) - offset.y) / s - margin,
                     float(pixels.width()) / s + 2 * margin,
                     float(pixels.height()) / s + 2 * margin);
    TWMapDrawing::Options options;
    options.drawBackground = true;
    options.drawSelection = false;
    options.drawLabels = TWMapDrawing::labelsReadableAt(s);
    options.levelOfDetail = true;
    const Size area = shownArea(map);
    TWMapDrawing::drawMapInRect(context, map, shown.intersected(Rect(0, 0, area.width, area.height)),
                                options);
}

Point TWNavigatorView::offsetForMapSize(Size size) const
{
    // Centred on whole pixels: a canvas a little wider or narrower (a label
    // typed into at its edge) keeps the thumbnail where it was, so that only
    // the changed part is drawn again rather than the whole.
    return Point(std::round((float(width()) - size.width) / 2),
                 std::round((float(height()) - size.height) / 2));
}

Size TWNavigatorView::shownArea(TWMap &map) const
{
    const Size canvas = map.canvasSize();
    // Zoomed out, the canvas widens to fill the window at that zoom, far past
    // the map (a hundred times at 1 %): the map would be lost in a blank box.
    // Only what the canvas holds at full size is shown, as the zoom does not
    // change the map.
    const float zoom = map.zoomAmount() / 100;
    if (!(zoom > 0 && zoom < 1))
        return canvas;
    const Rect visible = m_source.visibleRect ? m_source.visibleRect() : Rect();
    const Rect extent = map.getBoundingDrawingRectForAllGraphics();
    const float width = std::max(visible.width() * zoom, extent.maxX());
    const float height = std::max(visible.height() * zoom, extent.maxY());
    return Size(std::min(canvas.width, width), std::min(canvas.height, height));
}

void TWNavigatorView::layoutThumbnail()
{
    TWMap *current = map();
    const Size canvas = current ? shownArea(*current) : Size();
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

void TWNavigatorView::startBuilding()
{
    m_buildTimer.stop();
    m_building = QImage();
    TWMap *current = map();
    if (!current || m_scalingFactor <= 0)
        return;
    const qreal ratio = devicePixelRatioF();
    m_building = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_building.setDevicePixelRatio(ratio);
    m_building.fill(Qt::transparent);
    m_buildingScale = m_scalingFactor;
    m_buildingOffset = m_drawingOffset;
    m_builtRows = 0;
    m_bandHeight = std::min(m_bandHeight, MostBandRows);
    m_slowBandRows = std::numeric_limits<int>::max();
    m_slowBandMilliseconds = 0;
}

bool TWNavigatorView::buildFor(int milliseconds)
{
    TWMap *current = map();
    if (!current)
        return false;
    if (!m_thumbnail.isNull())
        return true;
    if (!building()) {
        layoutThumbnail();
        startBuilding();
        if (!building())
            return false;
    }
    // The map was rescaled meanwhile: the bands start again at the new
    // scale, the previous picture (if any) showing until they are done.
    layoutThumbnail();
    if (m_scalingFactor != m_buildingScale || m_drawingOffset != m_buildingOffset ||
        m_building.size() != size() * devicePixelRatioF()) {
        startBuilding();
        if (!building())
            return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (m_builtRows < height()) {
        const int rows = std::min(m_bandHeight, height() - m_builtRows);
        QElapsedTimer band;
        band.start();
        drawPixels(m_building, QRect(0, m_builtRows, width(), rows), *current, m_buildingScale,
                   m_buildingOffset);
        m_builtRows += rows;
        // Bands that each take longer than a pass are made thinner, and
        // thicker again where the map is quick to draw. Where a thinner band
        // is no quicker (long lines cross every band and each band draws
        // them all), the rest is drawn as one band: more bands would only
        // draw the same lines again.
        const qint64 took = band.elapsed();
        const bool slow = took > 2 * qint64(milliseconds);
        if (slow && rows < m_slowBandRows && took > 2 * BuildSliceMilliseconds &&
            took * 4 > m_slowBandMilliseconds * 3) {
            m_bandHeight = height();
        } else if (slow && m_bandHeight > 2) {
            m_slowBandRows = rows;
            m_slowBandMilliseconds = took;
            m_bandHeight /= 2;
        } else if (took * 4 < milliseconds && m_bandHeight < MostBandRows) {
            m_bandHeight *= 2;
        }
        if (clock.elapsed() >= milliseconds)
            break;
    }
    if (m_builtRows < height())
        return false;
    m_thumbnail = std::exchange(m_building, QImage());
    m_thumbnailScale = m_buildingScale;
    m_thumbnailOffset = m_buildingOffset;
    m_previous = QImage();
    m_buildTimer.stop();
    return true;
}

QImage TWNavigatorView::pictureDrawnAfresh()
{
    layoutThumbnail();
    TWMap *current = map();
    if (!current || m_scalingFactor <= 0)
        return QImage();
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    drawPixels(image, rect(), *current, m_scalingFactor, m_drawingOffset);
    return image;
}

void TWNavigatorView::buildingTick()
{
    // A hidden view makes nothing: it goes on when it shows again.
    if (!building() || !isVisible())
        return;
    buildFor(BuildSliceMilliseconds);
    if (building())
        m_buildTimer.start();
    update();
}

const QImage &TWNavigatorView::thumbnail()
{
    if (!m_thumbnail.isNull())
        return m_thumbnail;
    while (!buildFor(std::numeric_limits<int>::max()) && building()) {
    }
    return m_thumbnail;
}

void TWNavigatorView::paintEvent(QPaintEvent *)
{
    if (!map() || m_documentViewActive)
        return;
    layoutThumbnail();
    if (m_scalingFactor <= 0)
        return;
    // The first paint draws what a slice of time allows, the event loop
    // the rest.
    if (m_thumbnail.isNull()) {
        if (!building())
            buildFor(BuildSliceMilliseconds);
        if (building() && !m_buildTimer.isActive())
            m_buildTimer.start();
    }
    QPainter painter(this);
    if (!m_thumbnail.isNull())
        painter.drawImage(QPointF(0, 0), m_thumbnail);
    else
        painter.drawImage(QPointF(0, 0), m_previous.isNull() ? m_building : m_previous);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = m_mapVisibleRect.toQt();
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.6), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outline, 2.0, 2.0);
}

void TWNavigatorView::resizeEvent(QResizeEvent *)
{
    dropPictures();
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
