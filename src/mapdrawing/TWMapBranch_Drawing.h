#pragma once

#include "platform/Geometry.h"

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QRgb>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class DrawingContext;
class TWDrawingView;
class TWGraphic;
class TWMapBranch;
class TWMapExpansionState;

// A branch paints its subtree: children first (under it), then its own
// graphics, indicators and text. Drawing into a view also registers the
// tool tips of its hyperlink icons and of the links in its texts.
namespace TWBranchDrawing {

using GraphicList = QList<std::shared_ptr<TWGraphic>>;
using BranchList = QList<std::shared_ptr<TWMapBranch>>;

class ConnectionThinning;

// On screen, a map zoomed out below reading size draws the graphics that
// are only a few pixels across as what they look like there: shapes as
// filled rectangles and thin lines as hairlines, gathered per colour and
// painted together. Anything marked, shadowed in a way that shows, or
// large enough is drawn as usual; the gathered drawing is painted before
// it, so what lies over what stays as it was.
class DetailBatch
{
public:
    // Graphics under this many device pixels on their longer side are simplified.
    static constexpr qreal TinyPixels = 4;

    DetailBatch(const DrawingContext &context, qreal pixelsPerPoint);
    ~DetailBatch();
    DetailBatch(const DetailBatch &) = delete;
    DetailBatch &operator=(const DetailBatch &) = delete;

    qreal pixelsPerPoint() const { return m_pixelsPerPoint; }
    void fill(const QPainterPath &path, QRgb colour);
    void fillRect(const QRectF &rect, QRgb colour);
    // Whether a line of the width in points leaves any trace at all.
    bool hairlineShows(float width) const;
    // Lines of the width in points, thinner than a pixel.
    // `extent`: of the whole line, when `path` is the part of it in view.
    void hairline(const QPainterPath &path, const QColor &colour, float width,
                  const std::optional<QRectF> &extent = std::nullopt);
    void hairlineRect(const QRectF &rect, const QColor &colour, float width);
    // Paints what was gathered: the fills, then the hairlines over them;
    // false when nothing was.
    bool flush();

private:
    QRgb hairlineColour(QColor colour, float width, const QRectF &extent) const;

    const DrawingContext &m_context;
    qreal m_pixelsPerPoint;
    std::map<QRgb, QPainterPath> m_fills;
    std::map<QRgb, QPainterPath> m_hairlines;
};

// What one drawing pass hands down the tree. `selection` null: no selection
// state is drawn; `rubberBand` may be null.
struct Pass
{
    const DrawingContext &context;
    const TWDrawingView *view = nullptr;
    Rect rect;
    const GraphicList *rubberBand = nullptr;
    const GraphicList *selection = nullptr;
    bool skippingText = false;
    // Labels less high than this (points) are left out.
    float shortestLabel = 0;
    const TWMapExpansionState &expansionState;
    // Set: tiny graphics are gathered into it (screen drawing only).
    DetailBatch *detail = nullptr;
    // Set by drawSelf() in a view on screen: connections are cut to the rectangle, and
    // one that would paint what one painted just before it did is left out.
    ConnectionThinning *thinning = nullptr;
};

// The subtree rooted at `branch`, culled to the pass's rectangle.
void drawSelf(TWMapBranch &branch, const Pass &pass);

// The area the branch and its descendants shown `shownLevels` levels down
// paint into (closed branches hide their children). Cached in the branch
// until something in the subtree changes.
Rect subtreeDrawingExtent(TWMapBranch &branch, int shownLevels);

// The boundaries of the subtree. The boundary code installs the painter
// that does it; without one nothing is drawn.
using BoundaryPainter =
    std::function<void(TWMapBranch &branch, const DrawingContext &context,
                       const TWDrawingView *view, Rect rect, const GraphicList *selection)>;
void setBoundaryPainter(BoundaryPainter painter);
void drawBoundary(TWMapBranch &branch, const DrawingContext &context, const TWDrawingView *view,
                  Rect rect, const GraphicList *selection);

// The children holding a selected graphic, then the others, each group in
// child order. Drawing walks it backwards, so the selected lie on top.
BranchList childrenOrderedForDrawing(const TWMapBranch &branch);

// Takes the branch's tool-tip rectangles out of the views they were
// registered in and forgets them.
void removeTooltipRects(TWMapBranch &branch);
// The tool tip of a rectangle the branch owns: a link in its text ("%1
// (Alt+Click)") or its resources ("ResourcesAllocated"); none while
// the branch is hidden.
std::optional<QString> toolTipString(const TWMapBranch &branch, const QVariant &userData);

} // namespace TWBranchDrawing
