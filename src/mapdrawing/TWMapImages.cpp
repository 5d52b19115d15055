#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "mapdrawing/TWMapLayout.h"

#include "mapdrawing/TWMapBranch_Drawing.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "render/DrawingContext.h"

#include <QBuffer>
#include <QDebug>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

namespace TWMapImages {

QByteArray pdfDataForMap(TWMap &map, bool includeBackground, const TWMapExpansionState &state)
{
    const Rect bounds = map.getBoundingDrawingRectForAllGraphics();
    if (bounds.isEmpty() || !std::isfinite(bounds.size.width) || !std::isfinite(bounds.size.height))
        return {};
    return pdfOfMapRect(map, bounds, includeBackground, state);
}

QByteArray pdfOfMapRect(TWMap &map, Rect bounds, bool includeBackground,
                        const TWMapExpansionState &state)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Thinkweb"));
        DrawingContext::preparePdfWriter(writer, bounds.size);
        QPainter painter(&writer);
        DrawingContext context(painter, false);
        context.painter().translate(-bounds.origin.x, -bounds.origin.y);
        TWMapDrawing::drawMapInRect(context, map, bounds,
                                    {.drawBackground = true,
                                     .drawSelection = false,
                                     .backgroundOffScreen = includeBackground},
                                    state);
    }
    return data;
}

QImage imageOfMap(TWMap &map, Rect source, qreal pixelsPerPoint, bool includeBackground,
                  const TWMapExpansionState &state)
{
    return imageOfMap(map, source, pixelsPerPoint,
                      {.drawBackground = includeBackground,
                       .drawSelection = false,
                       .backgroundOffScreen = includeBackground},
                      state);
}

QImage imageOfMap(TWMap &map, Rect source, qreal pixelsPerPoint,
                  const TWMapDrawing::Options &options, const TWMapExpansionState &state)
{
    if (source.isEmpty() || !(pixelsPerPoint > 0))
        return {};
    const double w = std::ceil(double(source.size.width) * pixelsPerPoint);
    const double h = std::ceil(double(source.size.height) * pixelsPerPoint);
    if (!std::isfinite(w) || !std::isfinite(h) || w * h > double(maxImagePixels))
        return {};
    QImage image = DrawingContext::makeImage(source.size, pixelsPerPoint);
    QPainter painter(&image);
    {
        DrawingContext context(painter, pixelsPerPoint);
        context.painter().translate(-source.origin.x, -source.origin.y);
        TWMapDrawing::drawMapInRect(context, map, source, options, state);
    }
    painter.end();
    return image;
}

bool hasDarkBackground(const TWMap &map)
{
    const std::optional<Color> &colour = map.backgroundColor();
    if (!colour || colour->alphaComponent() < 0.5)
        return false;
    // Night and the other dark grounds sit well below a quarter of white;
    // a strong colour such as pure red (0.3) keeps dark labels.
    return colour->whiteComponent() < 0.25;
}

} // namespace TWMapImages

// --- the live preview ---

std::optional<qreal> TWMapImageRep::scaleForRect(const QRectF &rect) const
{
    const std::shared_ptr<TWMap> map = m_map.lock();
    if (!map)
        return std::nullopt;
    const qreal zoom = map->scaleAmount() / 100.0;
    const Size canvas = map->canvasSize();
    if (!(zoom > 0) || !(canvas.width > 0) || !(canvas.height > 0))
        return std::nullopt;
    const qreal fullWidth = canvas.width / zoom, fullHeight = canvas.height / zoom;
    return std::min(rect.height() / fullHeight, rect.width() / fullWidth);
}

bool TWMapImageRep::drawInRect(const DrawingContext &context, const QRectF &rect)
{
    const std::shared_ptr<TWMap> map = m_map.lock();
    if (!map)
        return false;
    const std::optional<qreal> k = scaleForRect(rect);
    if (!k || !std::isfinite(*k) || !(*k > 0))
        return true; // nothing to see at this size
    const qreal zoom = map->scaleAmount() / 100.0;
    const Size canvas = map->canvasSize();
    DrawingContext::StateSaver saver(context);
    QPainter &p = context.painter();
    p.translate(rect.topLeft());
    p.scale(*k, *k);
    TWMapDrawing::drawMapInRect(
        context, *map, Rect(0, 0, canvas.width / zoom, canvas.height / zoom),
        {.drawBackground = true, .drawSelection = false, .backgroundOffScreen = true});
    return true;
}

// --- the services ---

namespace {

void announce(TWMap &map, bool did)
{
    NotificationCenter::defaultCenter().post(
        TWMap::ValueChangeNotification, NotificationObject(map.shared_from_this()),
        {{TWMap::KeyKey, QStringLiteral("previewImage")},
         {TWMap::PhaseKey, did ? QStringLiteral("did") : QStringLiteral("will")}});
}

void removeStalePreview(TWMap &map)
{
    if (map.document())
        map.document()->removeObjectForKeyInCachedData(map.previewPath());
}

} // namespace

void TWMapPreviewServices::autoArrange(TWMap &map)
{
    TWMapLayout::autoArrange(map);
}

std::shared_ptr<TWMapPreviewImage> TWMapPreviewServices::renewPreviewImage(TWMap &map)
{
    announce(map, false);
    const Size canvas = map.canvasSize();
    if (!(canvas.width >= MinimumCanvasSide && canvas.height >= MinimumCanvasSide)) {
        map.setPreviewImage(nullptr);
        announce(map, true);
        return nullptr;
    }
    std::shared_ptr<TWMapPreviewImage> image = map.cachedPreviewImage();
    if (!image) {
        image = std::make_shared<TWMapPreviewImage>();
        map.setPreviewImage(image);
    }
    image->setSize(canvas);
    // Only map representations stay, each at the canvas size.
    const auto reps = image->representations();
    for (int i = int(reps.size()) - 1; i >= 0; --i) {
        if (auto *rep = dynamic_cast<TWMapImageRep *>(reps[i].get()))
            rep->setSize(canvas);
        else
            image->removeRepresentation(i);
    }
    if (image->representations().isEmpty()) {
        auto rep = std::make_shared<TWMapImageRep>(map.shared_from_this());
        rep->setSize(canvas);
        image->addRepresentation(rep);
    }
    NotificationCenter::defaultCenter().post(PreviewDidUpdateNotification,
                                             NotificationObject(map.shared_from_this()));
    announce(map, true);
    return image;
}

void TWMapPreviewServices::updatePreviewImage(TWMap &map)
{
    renewPreviewImage(map);
}

void TWMapPreviewServices::updatePreviewInFileCache(TWMap &map)
{
    writePreviewInFileCache(map);
}

void TWMapPreviewServices::refreshPreviewInFileCache(TWMap &map, const QByteArray &drawnFrom)
{
    writePreviewInFileCache(map, drawnFrom);
}

namespace {
// Extents measured before the text was written, for the preview drawn after
// in the same save (the document's revision tells the save).
QHash<const TWMap *, std::pair<int, Rect>> &preparedExtents()
{
    static QHash<const TWMap *, std::pair<int, Rect>> hash;
    return hash;
}
} // namespace

void TWMapPreviewServices::preparePreviewInFileCache(TWMap &map)
{
    // Measuring the extent brings link lines up to date, which the text
    // keeps; measuring it again would move them on once more.
    const Size canvas = map.canvasSize();
    // The extent measures the outline of every subtree; none of them is kept.
    const TWBranchLayout::TransientBoundaries transient;
    if (canvas.width >= MinimumCanvasSide && canvas.height >= MinimumCanvasSide && map.document() &&
        qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        preparedExtents().insert(
            &map, {map.document()->revisionNumber(), map.getBoundingPrintingRectForAllGraphics()});
}

namespace {
// Bumped when the drawing changes, so that older previews are drawn again.
constexpr char previewDrawingVersion[] = "3:";
} // namespace

QByteArray TWMapPreviewServices::drawnFromOfPreview(const QByteArray &png)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    // Only the chunks before the pixels are read.
    QImageReader reader(&buffer, "png");
    return reader.text(DrawnFromKey).toLatin1();
}

TWMapPreviewServices::FileCacheResult
TWMapPreviewServices::writePreviewInFileCache(TWMap &map, const QByteArray &drawnFrom)
{
    std::optional<Rect> prepared;
    if (const auto it = preparedExtents().find(&map); it != preparedExtents().end()) {
        if (map.document() && it->first == map.document()->revisionNumber())
            prepared = it->second;
        preparedExtents().erase(it);
    }
    const Size canvas = map.canvasSize();
    if (!(canvas.width >= MinimumCanvasSide && canvas.height >= MinimumCanvasSide))
        return FileCacheResult::TooSmall;
    if (!map.document())
        return FileCacheResult::NoDocument;
    const QByteArray source =
        drawnFrom.isEmpty() ? QByteArray() : previewDrawingVersion + drawnFrom;
    if (!source.isEmpty()) {
        const std::optional<QByteArray> stored =
            map.document()->objectForKeyInCachedData(map.previewPath());
        if (stored && drawnFromOfPreview(*stored) == source)
            return FileCacheResult::Unchanged;
    }
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qWarning() << "Cannot render the map preview without a graphical application";
        return FileCacheResult::CannotRender;
    }
    // The printing extent always keeps a margin, so an empty drawing shows
    // only in the drawing extent.
    const Rect extent = [&map, &prepared] {
        const TWBranchLayout::TransientBoundaries transient;
        return prepared ? *prepared : map.getBoundingPrintingRectForAllGraphics();
    }();
    if (!(extent.size.width > 0 && extent.size.height > 0) ||
        map.getBoundingDrawingRectForAllGraphics().isEmpty()) {
        qWarning() << "Error creating preview image";
        // A stale picture of what the map no longer shows would be saved.
        removeStalePreview(map);
        return FileCacheResult::NothingDrawn;
    }
    // The extent at a point a pixel, a large one scaled down to fit; a
    // thumbnail is drawn as the canvas draws far out, which a map of tens of
    // thousands of branches needs to save quickly.
    const double longer = std::max(double(extent.size.width), double(extent.size.height));
    const qreal scale = longer > MaximumPreviewSide ? MaximumPreviewSide / longer : 1.0;
    const QImage image = TWMapImages::imageOfMap(map, extent, scale,
                                                 {.drawBackground = false,
                                                  .drawSelection = false,
                                                  .backgroundOffScreen = false,
                                                  .levelOfDetail = true,
                                                  .unreadableLabels = false});
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // A middling compression level: about half the time of the default for
    // a fifth more bytes on a mostly transparent picture.
    writer.setQuality(50);
    if (!source.isEmpty())
        writer.setText(DrawnFromKey, QString::fromLatin1(source));
    if (image.isNull() || !writer.write(image)) {
        qWarning().noquote() << "Error writing preview image of map" << map.identifier() << ":"
                             << (image.isNull() ? QStringLiteral("nothing rendered")
                                                : writer.errorString());
        removeStalePreview(map);
        return FileCacheResult::EncodingFailed;
    }
    map.document()->setObjectInCachedData(png, map.previewPath());
    return FileCacheResult::Written;
}

void TWMapPreviewServices::refreshSubtreeDrawingExtent(TWMapBranch &branch, int shownLevels)
{
    TWBranchDrawing::subtreeDrawingExtent(branch, shownLevels);
}

Rect TWMapPreviewServices::subtreeDrawingExtent(TWMapBranch &branch, int shownLevels)
{
    return TWBranchDrawing::subtreeDrawingExtent(branch, shownLevels);
}
