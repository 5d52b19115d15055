#pragma once

#include "platform/Geometry.h"
#include "support/Image.h"

#include <QImage>
#include <QLineF>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class DrawingContext;
class QPagedPaintDevice;
class QPageLayout;

// The Compact edition's printed picture: an area of whole pages over which
// the map's picture is placed at one of nine positions. It makes the
// sheet's preview (white pages, a black border and the page boundaries
// dashed) and prints the area page by page with the picture alone.
//
// The area is not flipped: its origin is the lower-left corner and page 1
// is the lower-left page, pages running left to right and rows upward.
class TWCPrintImageView
{
public:
    // Positions 0 to 8, row by row from the top left.
    enum Alignment { TopLeft, Top, TopRight, Left, Center, Right, BottomLeft, Bottom, BottomRight };
    // Draws the picture stretched into a rectangle of the device's points
    // (y down); printing uses it in place of the picture when set.
    using PictureDrawer = std::function<void(const DrawingContext &, const Rect &)>;

    explicit TWCPrintImageView(Size pageSize = {});

    Size frameSize() const { return m_frameSize; }
    void setFrameSize(Size size) { m_frameSize = size; }
    Size pageSize() const { return m_pageSize; }
    void setPageSize(Size size) { m_pageSize = size; }
    // The sheet's imageable origin, where every page goes (y up).
    Point printOrigin() const { return m_printOrigin; }
    void setPrintOrigin(Point origin) { m_printOrigin = origin; }

    const std::optional<Image> &picture() const { return m_picture; }
    void setPicture(const std::optional<Image> &picture) { m_picture = picture; }
    // The size the picture is shown at; it is scaled down, keeping its
    // proportions, where the area is smaller.
    Size pictureSize() const { return m_pictureSize; }
    void setPictureSize(Size size) { m_pictureSize = size; }
    void setPictureDrawer(PictureDrawer drawer) { m_drawer = std::move(drawer); }
    Alignment alignment() const { return m_alignment; }
    void setAlignment(Alignment alignment) { m_alignment = alignment; }

    // Where the picture lies in the area (y up).
    Rect pictureRect() const;
    static constexpr float borderWidth() { return 2.0f; }
    // The dashed page boundaries (y up); none for pages under 100 points.
    QList<QLineF> gridLines() const;

    // Pages across and up: the area over the page size, to the nearest
    // whole page, so that rounding never loses a row.
    int pagesWide() const;
    int pagesHigh() const;
    int numberOfPages() const { return pagesWide() * pagesHigh(); }
    Rect rectForPage(int page) const;

    // The area with the preview's decorations (or the picture alone),
    // `pixelsPerPoint` pixels a point.
    QImage previewImage(qreal pixelsPerPoint) const;
    void draw(const DrawingContext &context, bool creatingPreview) const;

    // Prints every page onto the device, on the sheet of `layout`; false,
    // with the reason, when nothing could be printed.
    bool print(QPagedPaintDevice &device, const QPageLayout &layout, QString *error) const;

private:
    Rect toDown(const Rect &r) const;

    Size m_frameSize{100, 100};
    Size m_pageSize;
    Point m_printOrigin;
    std::optional<Image> m_picture;
    Size m_pictureSize;
    PictureDrawer m_drawer;
    Alignment m_alignment = Center;
};
