#include "graphics/TWImage.h"
#include "model/TWMapBranch.h"
#include "support/Image.h"

#include <cmath>

void TWImage::init()
{
    TWGraphic::init();
    setDrawsFill(false);
    setDrawsStroke(false);
    setInheritsFill(false);
    setInheritsStroke(false);
    setDrawnZoomAmount(0);
}

void TWImage::makeNaturalSize()
{
    const std::shared_ptr<Image> image = cachedImageRep();
    const Size size = image ? image->size() : Size(10, 10);
    setBounds(Rect(bounds().origin, size));
    setFlippedHorizontally(false);
    setFlippedVertically(false);
}

bool TWImage::canBeSelected() const
{
    const TWMapBranch *owner = branch();
    return !(owner && isEnclosedImage() && owner->enclosedImageLayoutMode() == 0);
}

TWImage::ProportionalResize TWImage::proportionalResize(Rect b, Size image, int knob, Point p)
{
    const float iw = image.width, ih = image.height;
    float x = b.x(), y = b.y(), w = b.width(), h = b.height();
    switch (knob) {
    case 4:
    case 5:
        // The dragged side follows the point; the height follows the width,
        // centred where it was.
        w = knob == 4 ? x + w - p.x : p.x - x;
        if (knob == 4)
            x = p.x;
        // The proportional side follows the size, not the direction: a drag
        // past the opposite edge mirrors the picture on its own axis only.
        h = ih * std::fabs(w) / iw;
        y = b.y() - (h - b.height()) / 2;
        break;
    case 2:
    case 7:
        h = knob == 2 ? y + h - p.y : p.y - y;
        if (knob == 2)
            y = p.y;
        w = iw * std::fabs(h) / ih;
        x = b.x() - (w - b.width()) / 2;
        break;
    case 1:
    case 3:
    case 6:
    case 8: {
        const bool leftSide = knob == 1 || knob == 6;
        const bool topSide = knob == 1 || knob == 3;
        const float wr = leftSide ? b.maxX() - p.x : p.x - b.x();
        const float hr = topSide ? b.maxY() - p.y : p.y - b.y();
        // The smaller scale wins, so the picture stays inside the point;
        // each side keeps the direction the drag gives it.
        const float sx = std::fabs(wr) / iw, sy = std::fabs(hr) / ih;
        if (sy > sx) {
            w = wr;
            h = std::copysign(ih * sx, hr);
        } else {
            h = hr;
            w = std::copysign(iw * sy, wr);
        }
        // The opposite corner stays.
        x = leftSide ? b.maxX() - w : b.x();
        y = topSide ? b.maxY() - h : b.y();
        break;
    }
    default:
        return {b, knob, false, false};
    }
    ProportionalResize result;
    if (w < 0) {
        knob = flipKnob(knob, true);
        w = -w;
        x -= w;
        result.flippedHorizontally = true;
    }
    if (h < 0) {
        knob = flipKnob(knob, false);
        h = -h;
        y -= h;
        result.flippedVertically = true;
    }
    result.bounds = Rect(x, y, w, h);
    result.knob = knob;
    return result;
}

int TWImage::resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio)
{
    const std::shared_ptr<Image> image = naturalAspectRatio ? cachedImageRep() : nullptr;
    if (!image || !(image->size().width > 0) || !(image->size().height > 0))
        return TWGraphic::resizeByMovingKnob(knob, point, naturalAspectRatio);
    const ProportionalResize r = proportionalResize(bounds(), image->size(), knob, point);
    if (r.flippedHorizontally)
        flipHorizontally();
    if (r.flippedVertically)
        flipVertically();
    setBounds(r.bounds);
    return r.knob;
}
