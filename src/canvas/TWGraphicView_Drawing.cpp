// Painting the canvas: the map, then the link lines, snap lines, rubber band
// and temporary link line over it.

#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWMapPainter.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWSnapLine.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "render/DrawingContext.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr float TempLinkLineWidth = 2;

Point centreOf(const TWGraphic &graphic)
{
    const Rect r = TWLinkLine::endRectangleOf(graphic);
    return Point(r.midX(), r.midY());
}

// The line of a link-line drag: from the start graphic to the end graphic,
// or to the free drag point.
std::optional<BezierPath> tempLinkLinePath(const TWMapsDoc &document)
{
    const std::shared_ptr<TWGraphic> &start = document.tempLinkLineStartGraphic();
    if (!start)
        return std::nullopt;
    const std::shared_ptr<TWGraphic> &end = document.tempLinkLineEndGraphic();
    BezierPath path;
    path.moveToPoint(centreOf(*start));
    path.lineToPoint(end ? centreOf(*end) : document.tempLinkLineDragPoint());
    path.setLineWidth(TempLinkLineWidth);
    return path;
}

} // namespace

std::optional<Rect> TWGraphicView::tempLinkLineBounds() const
{
    const TWMapsDoc *document = mapsDoc();
    const std::optional<BezierPath> path = document ? tempLinkLinePath(*document) : std::nullopt;
    if (!path)
        return std::nullopt;
    return path->bounds().insetBy(-TempLinkLineWidth, -TempLinkLineWidth);
}

void TWGraphicView::drawTempLinkLine(const Notification &n)
{
    TWMapsDoc *document = mapsDoc();
    if (!document || n.sender.identity() != document)
        return;
    if (m_shownTempLinkLine)
        setNeedsDisplayInRect(*m_shownTempLinkLine);
    m_shownTempLinkLine = tempLinkLineBounds();
    if (m_shownTempLinkLine)
        setNeedsDisplayInRect(*m_shownTempLinkLine);
}

void TWGraphicView::eraseTempLinkLine(const Notification &n)
{
    TWMapsDoc *document = mapsDoc();
    if (!document || n.sender.identity() != document)
        return;
    const std::optional<Rect> bounds = tempLinkLineBounds();
    document->setTempLinkLineStartGraphic(nullptr);
    document->setTempLinkLineEndGraphic(nullptr);
    if (bounds)
        setNeedsDisplayInRect(*bounds);
    if (m_shownTempLinkLine)
        setNeedsDisplayInRect(*m_shownTempLinkLine);
    m_shownTempLinkLine.reset();
}

void TWGraphicView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const qreal zoom = zoomFactor();
    const QRectF dirty = event->rect();
    if (event->rect().contains(m_unpaintedArea))
        m_unpaintedArea = QRect();
    const Point topLeft = mapPointFromViewport(dirty.topLeft());
    const Rect area(topLeft.x, topLeft.y, float(dirty.width() / zoom),
                    float(dirty.height() / zoom));
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    paintCanvasLayers(painter, area);
}

void TWGraphicView::renderArea(QPainter &painter, Rect area)
{
    const qreal zoom = zoomFactor();
    painter.save();
    painter.translate(-area.x() * zoom, -area.y() * zoom);
    paintCanvasLayers(painter, area);
    painter.restore();
}

QImage TWGraphicView::renderVisibleImage()
{
    QImage image(viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderArea(painter, visibleRect());
    return image;
}

// The painter's origin is the canvas's top-left corner at the zoom's scale.
void TWGraphicView::paintCanvasLayers(QPainter &painter, Rect area)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal zoom = zoomFactor();
    {
        DrawingContext context(painter, true);
        painter.scale(zoom, zoom);
        painter.setClipRect(area.toQt());

        TWMap *m = map();
        if (!m) {
            painter.fillRect(area.toQt(), Qt::white);
        } else {
            m_mapPainter->paintMap(context, *m, area, this,
                                   m_document ? m_document->pageGrid() : std::nullopt);

            const TWMap::GraphicList &rubber = m->rubberbandGraphics();
            for (const std::shared_ptr<TWLinkLine> &line : m->linkLines()) {
                if (!line->drawingBounds().intersects(area))
                    continue;
                if (rubber.contains(line)) {
                    line->drawInView(context, this, true, line->inheritedShadow(), false);
                } else {
                    const bool selected = m->isGraphicSelected(line.get());
                    line->drawInView(context, this, selected, line->inheritedShadow(),
                                     TWMapUtilities::shouldGraphicDrawSelectionShadow(*line));
                }
            }
        }

        for (const std::shared_ptr<TWSnapLine> &snap : std::as_const(m_snapLines)) {
            if (snap->bezierPath())
                context.strokePath(*snap->bezierPath(),
                                   snap->color().value_or(Color::blackColor()).toQColor());
        }

        if (m_rubberbandRect != Rect()) {
            const BezierPath band =
                BezierPath::bezierPathWithRect(m_rubberbandRect, 0, BezierPath::defaultLineWidth);
            context.strokePath(band, SystemColors::knobColor().toQColor());
            context.fillPath(band, QColor::fromRgbF(0.6f, 0.0f, 150.0f / 255.0f, 0.1f));
        }

        if (const TWMapsDoc *document = mapsDoc()) {
            if (const std::optional<BezierPath> path = tempLinkLinePath(*document)) {
                const QColor colour = document->tempLinkLineEndGraphic() ? Qt::black : Qt::red;
                context.strokePath(*path, colour, StrokeStyle::withWidth(TempLinkLineWidth));
            }
        }
    }
    painter.restore();
}
