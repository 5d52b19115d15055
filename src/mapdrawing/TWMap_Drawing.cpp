#include "mapdrawing/TWMap_Drawing.h"

#include "graphics/TWLinkLine.h"
#include "graphics/TWMapUtilities.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapBranch_Drawing.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"
#include "support/Image.h"

#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace TWMapDrawing {

namespace {

bool finitePositive(float v)
{
    return std::isfinite(v) && v > 0;
}

// The picture the map shows behind everything: the one the model made, else
// the one its package data holds.
std::shared_ptr<Image> backgroundPicture(TWMap &map)
{
    if (map.backgroundImage())
        return map.backgroundImage();
    const auto &path = map.backgroundImageFilename();
    if (!path || path->isEmpty() || !map.document())
        return nullptr;
    const std::optional<QByteArray> data = map.document()->objectForKeyInCachedData(*path);
    if (!data)
        return nullptr;
    std::optional<Image> image = Image::initWithData(*data);
    if (!image)
        return nullptr;
    auto shared = std::make_shared<Image>(std::move(*image));
    map.setBackgroundImage(shared);
    return shared;
}

Size pictureSize(const TWMap &map)
{
    // Whole points, at least one each way.
    const Size s = map.backgroundImageSize();
    const auto side = [](float v) { return std::isfinite(v) && v >= 1 ? std::trunc(v) : 1.0f; };
    return {side(s.width), side(s.height)};
}

Point rootCentre(TWMap &map)
{
    if (!map.root())
        return {};
    const Rect r = TWBranchIndicators::branchBounds(*map.root());
    return {r.midX(), r.midY()};
}

} // namespace

void drawMapInRect(const DrawingContext &context, TWMap &map, Rect rect, const Options &options,
                   const TWMapExpansionState &state)
{
    if (options.drawBackground)
        drawBackgroundInRect(context, map, rect, options.backgroundOffScreen);
    const TWMap::GraphicList none;
    const TWMap::GraphicList *selection = options.drawSelection ? &map.selectedGraphics() : nullptr;
    const TWMap::GraphicList *rubberBand =
        options.drawSelection ? &map.rubberbandGraphics() : nullptr;
    const std::shared_ptr<TWMapBranch> root = map.root();
    if (root) {
        TWBranchDrawing::drawBoundary(*root, context, options.view, rect, selection);
        const qreal pixelsPerPoint = context.devicePixelsPerPoint();
        std::optional<TWBranchDrawing::DetailBatch> detail;
        if (options.levelOfDetail && !labelsReadableAt(pixelsPerPoint))
            detail.emplace(context, pixelsPerPoint);
        TWBranchDrawing::drawSelf(
            *root, {.context = context,
                    .view = options.view,
                    .rect = rect,
                    .rubberBand = rubberBand,
                    .selection = selection,
                    .skippingText = !options.drawLabels,
                    .shortestLabel = options.unreadableLabels || !(pixelsPerPoint > 0)
                                         ? 0.0f
                                         : float(2 / pixelsPerPoint),
                    .expansionState = state,
                    .detail = detail ? &*detail : nullptr});
    }
    if (!options.drawLinkLines)
        return;
    // Link lines lie over the tree and decide their own visibility.
    const TWMap::LinkLineList lines = map.linkLines();
    for (const std::shared_ptr<TWLinkLine> &line : lines) {
        if (!line)
            continue;
        const TWGraphic *g = line.get();
        const auto holds = [g](const TWMap::GraphicList *list) {
            return list && std::any_of(list->cbegin(), list->cend(),
                                       [g](const auto &x) { return x.get() == g; });
        };
        const bool marked = holds(rubberBand) || holds(selection);
        const bool glow =
            options.drawSelection && TWMapUtilities::shouldGraphicDrawSelectionShadow(*line);
        line->drawInView(context, options.view, marked, line->inheritedShadow(), glow);
    }
}

bool labelsReadableAt(qreal pixelsPerPoint)
{
    return std::isfinite(pixelsPerPoint) && pixelsPerPoint * 12 >= 2;
}

std::optional<QTransform> fittingTransform(Rect target, Rect source)
{
    if (!finitePositive(source.size.width) || !finitePositive(source.size.height) ||
        !finitePositive(target.size.width) || !finitePositive(target.size.height))
        return std::nullopt;
    const qreal k = std::min(qreal(target.size.width) / source.size.width,
                             qreal(target.size.height) / source.size.height);
    const qreal tx =
        target.origin.x - k * source.origin.x + (target.size.width - k * source.size.width) / 2;
    const qreal ty =
        target.origin.y - k * source.origin.y + (target.size.height - k * source.size.height) / 2;
    return QTransform(k, 0, 0, k, tx, ty);
}

void drawMapInRect(const DrawingContext &context, TWMap &map, Rect target, Rect source,
                   const TWMapExpansionState &state, std::optional<bool> backgroundOffScreen)
{
    const std::optional<QTransform> fit = fittingTransform(target, source);
    if (!fit)
        return;
    DrawingContext::StateSaver saver(context);
    QPainter &p = context.painter();
    p.setClipRect(target.toQt(), Qt::IntersectClip);
    p.setTransform(*fit, true);
    drawMapInRect(context, map, drawingRect(map),
                  {.view = nullptr,
                   .drawBackground = true,
                   .drawSelection = false,
                   .backgroundOffScreen = backgroundOffScreen},
                  state);
}

Rect drawingRect(TWMap &map)
{
    const Rect r = map.getBoundingDrawingRectForAllGraphics();
    return {0, 0, std::max(0.0f, r.maxX()), std::max(0.0f, r.maxY())};
}

QImage backgroundImageForDrawing(TWMap &map, qreal pixelsPerPoint)
{
    const std::shared_ptr<Image> picture = backgroundPicture(map);
    if (!picture)
        return {};
    const Size size = pictureSize(map);
    const qreal scale = std::clamp(pixelsPerPoint, 0.25, 4.0);
    QImage opaque = DrawingContext::makeImage(size, scale);
    {
        QPainter painter(&opaque);
        DrawingContext context(painter, scale);
        if (!PictureDrawing::drawImage(context, *picture, Rect(0, 0, size.width, size.height)))
            return {};
    }
    // The picture's alpha multiplied by the opacity.
    QImage image(opaque.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setOpacity(std::clamp(double(map.backgroundImageOpacity()), 0.0, 1.0));
        painter.drawImage(0, 0, opaque);
    }
    image.setDevicePixelRatio(image.width() / qreal(size.width));
    return image;
}

Point tiledImageOffset(TWMap &map)
{
    Point c = rootCentre(map);
    if (map.backgroundImageTileMode() == 0) {
        const Size s = map.backgroundImageSize();
        c.x += s.width / 2;
        c.y += s.height / 2;
    }
    const Point o = map.backgroundImageOffset();
    return {c.x + o.x, c.y + o.y};
}

Rect centredImageRect(TWMap &map)
{
    const Point c = rootCentre(map);
    const Size e = pictureSize(map);
    const Point o = map.backgroundImageOffset();
    return {c.x - e.width / 2 + o.x, c.y - e.height / 2 + o.y, e.width, e.height};
}

QImage backgroundTileForDrawing(TWMap &map, qreal pixelsPerPoint)
{
    struct Tile
    {
        std::weak_ptr<TWMap> map;
        std::weak_ptr<Image> picture;
        Size size;
        float opacity = 0;
        qreal scale = 0;
        QImage image;
    };
    // Never destroyed: the images must not outlive the application.
    static auto &tiles = *new QHash<const TWMap *, Tile>;
    static QMutex guard;
    const QMutexLocker locker(&guard);
    const std::shared_ptr<Image> picture = backgroundPicture(map);
    if (!picture) {
        tiles.remove(&map);
        return {};
    }
    const qreal scale = std::clamp(pixelsPerPoint, 0.25, 4.0);
    const auto found = tiles.constFind(&map);
    if (found != tiles.cend() && found->map.lock().get() == &map &&
        found->picture.lock() == picture && found->size == map.backgroundImageSize() &&
        found->opacity == map.backgroundImageOpacity() && found->scale == scale)
        return found->image;
    const QImage image = backgroundImageForDrawing(map, pixelsPerPoint);
    tiles.removeIf([](const auto &entry) { return entry.value().map.expired(); });
    tiles.insert(&map, {map.weak_from_this(), picture, map.backgroundImageSize(),
                        map.backgroundImageOpacity(), scale, image});
    return image;
}

void drawBackgroundInRect(const DrawingContext &context, TWMap &map, Rect rect,
                          std::optional<bool> backgroundOffScreen)
{
    if (!context.isDrawingToScreen() &&
        !backgroundOffScreen.value_or(map.drawBackgroundOffScreen()))
        return;
    QPainter &p = context.painter();
    if (map.backgroundColor())
        p.fillRect(rect.toQt(), map.backgroundColor()->toQColor());
    if (!backgroundPicture(map))
        return;
    const QImage tile = backgroundTileForDrawing(map, context.devicePixelsPerPoint());
    if (tile.isNull())
        return;
    DrawingContext::StateSaver saver(context);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (map.backgroundImageTileMode() == 2) {
        p.drawImage(centredImageRect(map).toQt(), tile);
        return;
    }
    // A pattern in points, anchored with a tile corner on the offset.
    const Point anchor = tiledImageOffset(map);
    QBrush brush(tile);
    const qreal ratio = tile.devicePixelRatio();
    brush.setTransform(QTransform::fromScale(1 / ratio, 1 / ratio) *
                       QTransform::fromTranslate(anchor.x, anchor.y));
    p.fillRect(rect.toQt(), brush);
}

void drawPrintGridInRect(const DrawingContext &context, TWMap &map, const PageGrid &grid)
{
    if (!context.isDrawingToScreen() || !map.document() || !map.document()->showPageFrames())
        return;
    const float scale = map.scaleAmount() / 100.0f;
    if (!finitePositive(scale) || !finitePositive(grid.printablePageSize.width) ||
        !finitePositive(grid.printablePageSize.height))
        return;
    const qreal w = grid.printablePageSize.width / scale;
    const qreal h = grid.printablePageSize.height / scale;
    const int nw = std::max(1, grid.pagesWide);
    const int nh = std::max(1, grid.pagesHigh);
    const qreal W = w * nw, H = h * nh;
    QPainter &p = context.painter();
    QPainterPath frame;
    frame.addPolygon(QPolygonF({{0, 0}, {W, 0}, {W, H}, {0, H}, {0, 0}}));
    p.strokePath(frame, DrawingContext::pen(SystemColors::darkGrayColor().toQColor(),
                                            StrokeStyle::withWidth(2)));
    QPainterPath lines;
    for (int i = 1; i < nw; ++i) {
        lines.moveTo(i * w, 0);
        lines.lineTo(i * w, H);
    }
    for (int j = 1; j < nh; ++j) {
        lines.moveTo(0, j * h);
        lines.lineTo(W, j * h);
    }
    if (lines.isEmpty())
        return;
    StrokeStyle dashed = StrokeStyle::withWidth(1.5f);
    dashed.dash = {7, 3};
    p.strokePath(lines, DrawingContext::pen(SystemColors::gridColor().toQColor(), dashed));
}

} // namespace TWMapDrawing
