#include "graphics/TWGraphic.h"
#include "graphics/TWGraphicDrawing.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "platform/NotificationCenter.h"
#include "render/DrawingContext.h"
#include "render/TWDrawingView.h"
#include "render/TWLineStyles.h"
#include "support/BezierPath.h"
#include "support/ShadowZoomed.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace TWGraphicDrawing {

namespace {

constexpr int NoOutlineStyle = 8;

Glow faintGlow(float strokeWidth, bool drawsStroke)
{
    return {0.5, drawsStroke ? (strokeWidth + 6) * 0.5f : 4.0f, true};
}

} // namespace

Color Glow::color() const
{
    return SystemColors::selectedControlColor().colorWithAlphaComponent(alpha);
}

Glow shapeGlow(float strokeWidth, bool drawsStroke, bool selectedAndNotMain)
{
    if (selectedAndNotMain)
        return faintGlow(strokeWidth, drawsStroke);
    return {0.8, drawsStroke ? strokeWidth + 5 : 6.0f, false};
}

Glow textAreaGlow(float strokeWidth, bool drawsStroke, bool isSelected)
{
    if (isSelected)
        return faintGlow(strokeWidth, drawsStroke);
    return {1.0, drawsStroke ? strokeWidth + 5 : 2.0f, false};
}

Glow imageGlow(float strokeWidth, bool drawsStroke, bool isSelected, bool alongShape)
{
    if (alongShape) {
        if (!drawsStroke)
            return {isSelected ? 0.5 : 1.0, 6.0f, isSelected};
        return isSelected ? Glow{0.5, (strokeWidth + 10) / 2, true}
                          : Glow{1.0, strokeWidth + 5, false};
    }
    return isSelected ? Glow{0.5, 5.0f, true} : Glow{1.0, 4.0f, false};
}

float pulseWidth(float strokeWidth, int step)
{
    const int s = step <= 5 ? step : 11 - step;
    return strokeWidth + 0.5f * float(std::max(s, 0));
}

Shadow zoomedShadow(const TWGraphic &graphic, const Shadow &shadow)
{
    const TWMap *m = graphic.map();
    if (!m)
        return shadow;
    return Zoomed::shadowZoomedTo(shadow, m->zoomAmount() * m->scaleAmount() / 100.0f);
}

std::optional<Shadow> castShadow(TWGraphic &graphic, const std::optional<Shadow> &shadow)
{
    if (!shadow || !TWMapUtilities::shouldGraphicDrawShadows(graphic))
        return std::nullopt;
    return zoomedShadow(graphic, *shadow);
}

QRectF paintedArea(Rect rect, float width)
{
    // Miter joins reach out to half the miter limit times the width.
    const qreal w = std::isfinite(width) && width > 0 ? width : 0;
    const qreal margin = w * BezierPath::defaultMiterLimit / 2 + 2;
    return rect.toQt().adjusted(-margin, -margin, margin, margin);
}

void strokeOutline(const DrawingContext &context, const BezierPath &path, const TWGraphic &graphic,
                   bool applyLineStyle)
{
    if (!graphic.drawsStroke() || graphic.strokeStyle() == NoOutlineStyle)
        return;
    StrokeStyle style = StrokeStyle::ofPath(path);
    style.width = graphic.strokeWidth();
    style.dash.clear();
    style.dashPhase = 0;
    if (applyLineStyle) {
        // The dash goes into the pen, never into a path the graphic keeps.
        BezierPath dashed;
        TWLineStyles::applyLineStyle(graphic.strokeStyle(), dashed, style.width);
        style.dash = dashed.lineDashPattern();
    }
    context.strokePath(path, graphic.inheritedStrokeColor().toQColor(), style);
}

void strokeGlow(const DrawingContext &context, const BezierPath &path, const Glow &glow)
{
    StrokeStyle style = StrokeStyle::ofPath(path);
    style.width = glow.width;
    style.dash.clear();
    // The round join belongs to this stroke only; the outline keeps its own.
    if (glow.roundJoins)
        style.join = BezierPath::RoundLineJoin;
    context.strokePath(path, glow.color().toQColor(), style);
}

BezierPath rectanglePath(Rect rect, float lineWidth)
{
    BezierPath path;
    path.moveToPoint(Point(rect.minX(), rect.minY()));
    path.lineToPoint(Point(rect.maxX(), rect.minY()));
    path.lineToPoint(Point(rect.maxX(), rect.maxY()));
    path.lineToPoint(Point(rect.minX(), rect.maxY()));
    path.closePath();
    path.setLineWidth(lineWidth);
    return path;
}

void frameRect(const DrawingContext &context, Rect rect, const Color &color, float width)
{
    if (!(width > 0) || rect.isEmpty())
        return;
    const float w = std::min({width, rect.width() / 2, rect.height() / 2});
    QPainterPath frame;
    frame.addRect(rect.toQt());
    frame.addRect(rect.insetBy(w, w).toQt());
    frame.setFillRule(Qt::OddEvenFill);
    context.painter().fillPath(frame, color.toQColor());
}

} // namespace TWGraphicDrawing

using namespace TWGraphicDrawing;

namespace {

bool isEditedIn(const TWGraphic &graphic, const TWDrawingView *view)
{
    return view && static_cast<const TWGraphic *>(view->editingTextArea()) == &graphic;
}

} // namespace

void TWGraphic::drawInView(const DrawingContext &context, const TWDrawingView *view,
                           bool isSelected, const std::optional<Shadow> &shadow,
                           bool drawingSelectionShadow)
{
    const std::shared_ptr<BezierPath> path = bezierPath();
    if (path && !path->isEmpty()) {
        DrawingContext::StateSaver saver(context);
        context.painter().setRenderHint(QPainter::Antialiasing, true);
        const std::optional<Shadow> cast = castShadow(*this, shadow);
        const Glow glow = shapeGlow(strokeWidth(), drawsStroke(), isSelected && !isMainGraphic());
        const bool dashed = className() != QLatin1String("TWTitleConnection");
        const auto paint = [&](const DrawingContext &c) {
            if (drawsFill())
                c.fillPath(*path, inheritedFillColor().toQColor());
            strokeOutline(c, *path, *this, dashed);
        };

        // The glow lies above the shadow and below the crisp pass.
        if (drawingSelectionShadow && !cast)
            strokeGlow(context, *path, glow);
        if (cast) {
            context.drawWithShadow(*cast, paintedArea(path->controlPointBounds(), strokeWidth()),
                                   paint);
            if (drawingSelectionShadow)
                strokeGlow(context, *path, glow);
        }
        paint(context);

        if (animationStep() > 0) {
            StrokeStyle ring = StrokeStyle::ofPath(*path);
            ring.width = pulseWidth(strokeWidth(), animationStep());
            ring.dash.clear();
            context.strokePath(*path,
                               SystemColors::keyboardFocusIndicatorColor().toQColor(), ring);
        }
    }
    if (isSelected && !isEditedIn(*this, view))
        drawHandlesInView(context, view);
}

void TWGraphic::drawForDragInView(const DrawingContext &context, const TWDrawingView *view,
                                  int style)
{
    const std::shared_ptr<BezierPath> path = bezierPath();
    if (!path || path->isEmpty())
        return;
    DrawingContext::StateSaver saver(context);
    context.painter().setRenderHint(QPainter::Antialiasing, true);
    if (drawsFill())
        context.fillPath(*path, inheritedFillColor().toQColor());
    if (drawsStroke())
        context.strokePath(*path, inheritedStrokeColor().toQColor());
}

void TWGraphic::drawWithAnimationStep(int step)
{
    setAnimationStep(std::clamp(step, 0, 10));
    postGraphicNeedsRedraw();
}

void TWGraphic::drawHandlesInView(const DrawingContext &context, const TWDrawingView *view)
{
    if (!view)
        return;
    const unsigned mask = unsigned(knobMask());
    for (int knob = 1; knob <= 8; ++knob) {
        if (mask & (1u << knob))
            drawHandleAtPoint(context, knobPoint(knob), view);
    }
}

void TWGraphic::drawHandleAtPoint(const DrawingContext &context, Point point,
                                  const TWDrawingView *view)
{
    if (!view)
        return;
    const Rect square = context.centerScanRect(Rect(point.x - 3, point.y - 3, 7, 7));
    const Color color = handleColor();
    QPainter &painter = context.painter();
    DrawingContext::StateSaver saver(context);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath oval;
    oval.addEllipse(square.toQt());
    painter.fillPath(oval, color.colorWithAlphaComponent(0.5).toQColor());
    painter.strokePath(oval, DrawingContext::pen(color.toQColor(), StrokeStyle::withWidth(1)));
}
