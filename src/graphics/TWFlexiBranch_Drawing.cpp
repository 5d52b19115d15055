#include "graphics/TWFlexiBranch.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "render/DrawingContext.h"
#include "render/TWTextLayout.h"
#include "support/BezierPath.h"

#include <QPainter>

namespace {

// Room around the shape and its text for the glow and the handles.
constexpr float DrawingMargin = 15;

Color endHandleColor()
{
    return Color::colorWithDeviceRed(0.34, 0.57, 0.11, 1);
}

Color intermediateHandleColor()
{
    return Color::colorWithCalibratedRed(0.91, 0.71, 0.07, 1);
}

Color innerEndHandleColor()
{
    return Color::colorWithCalibratedRed(0.27, 0.55, 0.84, 1);
}

// One rule for the round and the diamond handles: the 7 x 7 square on the
// point, half-tinted inside, outlined in the colour.
void drawShapedHandle(const DrawingContext &context, Point point, const Color &color, bool diamond)
{
    const Rect r = context.centerScanRect(Rect(point.x - 4 + 1, point.y - 4 + 1, 7, 7));
    QPainterPath outline;
    if (diamond) {
        outline.moveTo(r.midX(), r.minY());
        outline.lineTo(r.maxX(), r.midY());
        outline.lineTo(r.midX(), r.maxY());
        outline.lineTo(r.minX(), r.midY());
        outline.closeSubpath();
    } else {
        outline.addEllipse(r.toQt());
    }
    DrawingContext::StateSaver saver(context);
    QPainter &painter = context.painter();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(outline, color.colorWithAlphaComponent(0.5).toQColor());
    painter.strokePath(outline, DrawingContext::pen(color.toQColor(), StrokeStyle::withWidth(1)));
}

} // namespace

void TWFlexiBranch::drawInView(const DrawingContext &context, const TWDrawingView *view,
                               bool isSelected, const std::optional<Shadow> &shadow,
                               bool drawingSelectionShadow)
{
    TWGraphic::drawInView(context, view, isSelected, shadow, drawingSelectionShadow);
    if (!isSelected)
        return;
    // The control polygon, dotted over the curve.
    BezierPath polygon;
    polygon.moveToPoint(m_leftPoint);
    for (Point p :
         {m_innerEndLeft, m_intermediate1, m_intermediate2, m_innerEndRight, m_rightPoint})
        polygon.lineToPoint(p);
    StrokeStyle dotted;
    dotted.dash = {1, 1};
    DrawingContext::StateSaver saver(context);
    context.painter().setRenderHint(QPainter::Antialiasing, true);
    context.strokePath(polygon, SystemColors::knobColor().toQColor(), dotted);
}

void TWFlexiBranch::drawHandlesInView(const DrawingContext &context, const TWDrawingView *view)
{
    if (!view)
        return;
    for (int knob = 1; knob <= 8; ++knob)
        drawHandleAtPoint(context, knobPoint(knob), view);
    drawCircleHandleAtPoint(context, m_leftPoint, endHandleColor(), view);
    drawCircleHandleAtPoint(context, m_rightPoint, endHandleColor(), view);
    drawDiamondHandleAtPoint(context, m_intermediate1, intermediateHandleColor(), view);
    drawDiamondHandleAtPoint(context, m_intermediate2, intermediateHandleColor(), view);
    drawDiamondHandleAtPoint(context, m_innerEndLeft, innerEndHandleColor(), view);
    drawDiamondHandleAtPoint(context, m_innerEndRight, innerEndHandleColor(), view);
}

void TWFlexiBranch::drawDiamondHandleAtPoint(const DrawingContext &context, Point point,
                                             const Color &color, const TWDrawingView *view)
{
    if (view)
        drawShapedHandle(context, point, color, true);
}

void TWFlexiBranch::drawCircleHandleAtPoint(const DrawingContext &context, Point point,
                                            const Color &color, const TWDrawingView *view)
{
    if (view)
        drawShapedHandle(context, point, color, false);
}

float TWFlexiBranch::labelWidth(const BezierPath &curve) const
{
    return std::max(curve.bezierPathLength() - leftReserve() - rightReserve(), 0.0f);
}

bool TWFlexiBranch::labelHeightKnown(const AttributedString &text, float width, float padding) const
{
    // A move changes neither the text nor the curve's length, but the
    // length measured on moved points can differ in its last bits.
    const LabelHeight &cached = m_labelHeight;
    return cached.valid && std::fabs(cached.width - width) <= LabelWidthTolerance &&
           cached.padding == padding && cached.text == text;
}

float TWFlexiBranch::labelHeight(const TWTextArea &text, float width)
{
    const float padding = text.lineFragmentPadding();
    LabelHeight &cached = m_labelHeight;
    if (labelHeightKnown(text.text(), width, padding))
        return cached.height;
    // The used height, no minimum: a measurement made ahead answers too.
    const float height = TWTextLayout::requiredSizeForWidth(
                             text.text(), width, Size(0, 0),
                             Size(TWTextLayout::containerMaximum, LabelContainerHeight), padding)
                             .height;
    cached = {text.text(), width, padding, height, true};
    return cached.height;
}

std::optional<TWFlexiBranch::LabelMeasurement> TWFlexiBranch::pendingLabelMeasurement()
{
    if (drawingBoundsValid())
        return std::nullopt;
    TWMapBranch *owner = branchInMap();
    const std::shared_ptr<TWTextArea> text = owner ? owner->enclosedTextArea() : nullptr;
    if (!text || text->isEditing() || text->text().isEmpty())
        return std::nullopt;
    const std::shared_ptr<BezierPath> curve = bezierPath();
    if (!curve)
        return std::nullopt;
    const float width = labelWidth(*curve);
    const float padding = text->lineFragmentPadding();
    if (labelHeightKnown(text->text(), width, padding))
        return std::nullopt;
    return LabelMeasurement{text->text(), width, padding};
}

std::optional<Rect> TWFlexiBranch::computeDrawingBounds()
{
    TWMapBranch *owner = branchInMap();
    if (!owner)
        return std::nullopt;
    const std::shared_ptr<TWTextArea> text = owner->enclosedTextArea();
    const Rect t = text ? text->bounds() : Rect();
    Rect g = bounds();
    const std::shared_ptr<BezierPath> curve = bezierPath();
    const Rect k = curve ? curve->controlPointBounds() : Rect();
    // The characters stand above the curve by the height of the text laid
    // along it.
    float textHeight = 0;
    if (text && text->isEditing())
        textHeight = t.height();
    else if (text && !text->text().isEmpty() && curve)
        textHeight = labelHeight(*text, labelWidth(*curve));
    g = g.insetBy(-textHeight, -textHeight);
    const Rect r = TWUnionRect(TWUnionRect(t, g), k);
    if (r.width() <= 0 && r.height() <= 0)
        return std::nullopt;
    return r.insetBy(-DrawingMargin, -DrawingMargin);
}
