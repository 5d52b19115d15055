#pragma once

#include "mapdrawing/TWMapExpansionState.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapPreviewImage.h"
#include "platform/Geometry.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <memory>

class DrawingContext;
class TWMap;

// Maps drawn outside the canvas: PDF data, images, the live preview and the
// PNG preview kept in the document's package.
namespace TWMapImages {

// PDF of everything drawn, one page the size of the drawing's extent; empty
// for a map that draws nothing. The map's settings are left as they were.
QByteArray
pdfDataForMap(TWMap &map, bool includeBackground,
              const TWMapExpansionState &state = TWMapExpansionState::defaultExpansionState());
// PDF of the map's drawing within `bounds`, one page that size.
QByteArray
pdfOfMapRect(TWMap &map, Rect bounds, bool includeBackground,
             const TWMapExpansionState &state = TWMapExpansionState::defaultExpansionState());
// The source rectangle of the map, `pixelsPerPoint` pixels a point; null
// for an empty rectangle or one beyond the largest image.
QImage imageOfMap(TWMap &map, Rect source, qreal pixelsPerPoint, bool includeBackground,
                  const TWMapExpansionState &state = TWMapExpansionState::defaultExpansionState());
QImage imageOfMap(TWMap &map, Rect source, qreal pixelsPerPoint,
                  const TWMapDrawing::Options &options,
                  const TWMapExpansionState &state = TWMapExpansionState::defaultExpansionState());

constexpr qint64 maxImagePixels = TWMapPreviewImage::MaximumPixels;

// Whether the map's background colour is dark (below a quarter of white):
// its labels are then drawn light, and on white paper without the
// background they cannot be read.
bool hasDarkBackground(const TWMap &map);

} // namespace TWMapImages

// A representation that draws its map afresh whenever it is drawn, fitted
// by the map's full size (the canvas at 100 %) into the rectangle. It does
// not keep the map alive.
class TWMapImageRep : public TWImageRepresentation
{
public:
    explicit TWMapImageRep(const std::shared_ptr<TWMap> &map) : m_map(map) {}
    std::shared_ptr<TWMap> map() const { return m_map.lock(); }
    // False without a map.
    bool drawInRect(const DrawingContext &context, const QRectF &rect) override;
    bool drawAtPoint(const DrawingContext &context, QPointF point)
    {
        return drawInRect(context, QRectF(point, size().toQt()));
    }
    // The scale of a drawing into that rectangle; nothing without a map.
    std::optional<qreal> scaleForRect(const QRectF &rect) const;

private:
    std::weak_ptr<TWMap> m_map;
};

// The real preview parts of the map's drawing services; the rest stays the
// stand-in's until its owners provide it. registerMapDrawingServices()
// installs it as the shared set.
class TWMapPreviewServices : public TWMapDrawingStandIn
{
public:
    static inline const QString PreviewDidUpdateNotification =
        QStringLiteral("TWMapPreviewDidUpdate");
    // A preview needs a canvas this large each way.
    static constexpr float MinimumCanvasSide = 100;
    // A stored preview is a picture to choose a map by: a big map is scaled
    // down until its longer side is this many pixels, so that neither the
    // file nor the save grows with the map.
    static constexpr int MaximumPreviewSide = 1024;

    enum class FileCacheResult {
        Written,
        TooSmall,       // nothing changes
        NothingDrawn,   // the stale preview is removed
        CannotRender,   // no GUI to render with; nothing changes
        EncodingFailed, // reported; the stale preview is removed
        NoDocument,     // nowhere to keep it
        Unchanged,      // the stored preview was drawn from the same
    };
    // The PNG text key under which a preview records what it was drawn from.
    static inline const QString DrawnFromKey = QStringLiteral("DrawnFrom");

    // The whole tree laid out tightly, whatever the map's layout mode.
    void autoArrange(TWMap &map) override;
    void updatePreviewImage(TWMap &map) override;
    void updatePreviewInFileCache(TWMap &map) override;
    void refreshPreviewInFileCache(TWMap &map, const QByteArray &drawnFrom) override;
    void preparePreviewInFileCache(TWMap &map) override;
    void refreshSubtreeDrawingExtent(TWMapBranch &branch, int shownLevels) override;
    Rect subtreeDrawingExtent(TWMapBranch &branch, int shownLevels) override;

    // With drawnFrom (a fingerprint of the map's text and pictures), a
    // stored preview drawn from the same is kept and a new one records it.
    static FileCacheResult writePreviewInFileCache(TWMap &map,
                                                   const QByteArray &drawnFrom = QByteArray());
    // What a stored preview was drawn from; empty when it does not say.
    static QByteArray drawnFromOfPreview(const QByteArray &png);
    // Renews the map's preview: made, kept or dropped by the canvas size.
    static std::shared_ptr<TWMapPreviewImage> renewPreviewImage(TWMap &map);
};
