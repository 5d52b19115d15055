#pragma once

#include "platform/Geometry.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <memory>

class DrawingContext;

// One way of drawing a picture; a preview holds a list of them.
class TWImageRepresentation
{
public:
    virtual ~TWImageRepresentation() = default;
    Size size() const { return m_size; }
    void setSize(Size size) { m_size = size; }
    virtual bool drawInRect(const DrawingContext &context, const QRectF &rect) = 0;

private:
    Size m_size;
};

// A map's preview picture: a size and its representations. The map owns
// it; the drawing code fills it with a representation that draws the map
// live, so the picture never needs drawing again after an edit.
class TWMapPreviewImage
{
public:
    // The largest picture made of it, in pixels.
    static constexpr qint64 MaximumPixels = 8192LL * 8192LL;

    Size size() const { return m_size; }
    void setSize(Size size) { m_size = size; }
    const QList<std::shared_ptr<TWImageRepresentation>> &representations() const { return m_reps; }
    void addRepresentation(std::shared_ptr<TWImageRepresentation> rep)
    {
        m_reps.append(std::move(rep));
    }
    void removeRepresentation(int index) { m_reps.removeAt(index); }
    // The first representation drawn into the rectangle; false when none draws.
    bool drawInRect(const DrawingContext &context, const QRectF &rect);
    // A picture of it `width` by `height` pixels, transparent around it;
    // null beyond MaximumPixels.
    QImage toImage(QSize pixels);

private:
    Size m_size;
    QList<std::shared_ptr<TWImageRepresentation>> m_reps;
};
