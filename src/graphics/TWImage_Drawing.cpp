#include "graphics/TWGraphicDrawing.h"
#include "graphics/TWImage.h"
#include "model/TWMapBranch.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"
#include "render/TWDrawingView.h"
#include "support/BezierPath.h"
#include "support/Image.h"

#include <QPainter>

using namespace TWGraphicDrawing;

std::shared_ptr<BezierPath> TWImage::enclosingShapePath() const
{
    const TWMapBranch *owner = branch();
    if (!owner || !isEnclosedImage() || !owner->mainGraphic())
        return nullptr;
    // The exact kinds whose outline holds the picture; a line or a flexi
    // branch leaves it free.
    const QString kind = owner->mainGraphic()->className();
    if (kind != QLatin1String("TWCircle") && kind != QLatin1String("TWRectangle") &&
        kind != QLatin1String("TWCustomBranchShape") && kind != QLatin1String("TWCloud"))
        return nullptr;
    const std::shared_ptr<BezierPath> path = owner->mainGraphic()->bezierPath();
    return path && !path->isEmpty() ? path : nullptr;
}

void TWImage::drawImage(const DrawingContext &context)
{
    const std::shared_ptr<Image> picture = cachedImageRep();
    if (!picture)
        return;
    const Rect b = bounds();
    QPainter &painter = context.painter();
    DrawingContext::StateSaver saver(context);
    if (flippedHorizontally() || flippedVertically()) {
        const qreal cx = b.midX(), cy = b.midY();
        QTransform mirror;
        mirror.translate(cx, cy);
        mirror.scale(flippedHorizontally() ? -1 : 1, flippedVertically() ? -1 : 1);
        mirror.translate(-cx, -cy);
        painter.setWorldTransform(mirror, true);
    }
    PictureDrawing::drawImage(context, *picture, b);
}

void TWImage::drawInView(const DrawingContext &context, const TWDrawingView *view,
                         bool isSelected, const std::optional<Shadow> &shadow,
                         bool drawingSelectionShadow)
{
    const Rect b = bounds();
    const BezierPath frame = rectanglePath(b, strokeWidth());
    const std::shared_ptr<BezierPath> shape = enclosingShapePath();
    const std::optional<Shadow> cast = castShadow(*this, shadow);
    DrawingContext::StateSaver saver(context);
    QPainter &painter = context.painter();
    painter.setRenderHint(QPainter::Antialiasing, true);

    if (drawingSelectionShadow && !cast) {
        const Glow glow = imageGlow(strokeWidth(), drawsStroke(), isSelected, bool(shape));
        strokeGlow(context, shape ? *shape : frame, glow);
    }

    const auto fillAndStroke = [&](const DrawingContext &c) {
        if (drawsFill())
            c.painter().fillRect(b.toQt(), inheritedFillColor().toQColor());
        strokeOutline(c, frame, *this);
    };
    {
        DrawingContext::StateSaver clip(context);
        if (shape)
            painter.setClipPath(shape->toQPainterPath(), Qt::IntersectClip);
        if (cast) {
            context.drawWithShadow(*cast, paintedArea(b, strokeWidth()),
                                   [&](const DrawingContext &c) {
                                       fillAndStroke(c);
                                       drawImage(c);
                                   });
            if (drawingSelectionShadow) {
                if (isSelected)
                    context.strokePath(frame,
                                       SystemColors::selectedControlColor()
                                           .colorWithAlphaComponent(0.75)
                                           .toQColor(),
                                       StrokeStyle::withWidth(10));
                else
                    context.strokePath(frame, SystemColors::yellowColor().toQColor(),
                                       StrokeStyle::withWidth(2));
            }
            fillAndStroke(context);
            // Without a fill the shadowed picture is still there to see.
            if (drawsFill())
                drawImage(context);
        } else {
            fillAndStroke(context);
            drawImage(context);
        }
        // The shape's outline lies over the picture.
        if (shape) {
            const TWGraphic &main = *branch()->mainGraphic();
            strokeOutline(context, *shape, main);
        }
    }

    if (animationStep() > 0)
        context.strokePath(frame, SystemColors::keyboardFocusIndicatorColor().toQColor(),
                           StrokeStyle::withWidth(pulseWidth(strokeWidth(), animationStep())));
    if (isSelected)
        drawHandlesInView(context, view);
}

void TWImage::drawForDragInView(const DrawingContext &context, const TWDrawingView *view,
                                int style)
{
    const Rect b = bounds();
    DrawingContext::StateSaver saver(context);
    context.painter().setRenderHint(QPainter::Antialiasing, true);
    if (drawsFill())
        context.painter().fillRect(b.toQt(), inheritedFillColor().toQColor());
    if (drawsStroke())
        context.strokePath(rectanglePath(b, strokeWidth()), inheritedStrokeColor().toQColor());
    drawImage(context);
}
