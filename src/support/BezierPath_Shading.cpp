#include "support/BezierPath.h"
#include "support/Shading.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

void linearShadedColor(const float *info, const double *in, double *out)
{
    for (int i = 0; i < 4; ++i)
        out[i] = in[0] * info[8 + i] + info[i];
}

void bilinearShadedColor(const float *info, const double *in, double *out)
{
    const double s = in[0] > 0.5 ? 2.0 - 2.0 * in[0] : 2.0 * in[0];
    for (int i = 0; i < 4; ++i)
        out[i] = s * info[8 + i] + info[i];
}

const ShadingCallbacks linearShadingCallbacks{0, linearShadedColor, nullptr};
const ShadingCallbacks bilinearShadingCallbacks{0, bilinearShadedColor, nullptr};

namespace {

// Both shading functions are linear between multiples of 1/64, so the stops
// reproduce them exactly; other functions are sampled at the same steps.
constexpr int shadingSteps = 64;

double unitComponent(double v)
{
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

QLinearGradient verticalGradient(const Rect &bounds)
{
    QLinearGradient gradient(QPointF(0, bounds.minY()), QPointF(0, bounds.maxY()));
    // Each component on its own, alpha included, not premultiplied colours.
    gradient.setInterpolationMode(QGradient::ComponentInterpolation);
    return gradient;
}

} // namespace

void BezierPath::customHorizontalFillWithCallbacks(QPainter &painter,
                                                   const ShadingCallbacks &callbacks,
                                                   const QColor &firstColor,
                                                   const QColor &secondColor) const
{
    if (!callbacks.evaluate)
        return;
    const Rect bounds = this->bounds();
    if (bounds.isEmpty())
        return;

    const QColor first = firstColor.toRgb();
    const QColor second = secondColor.toRgb();
    float info[12] = {float(first.redF()),   float(first.greenF()), float(first.blueF()),
                      float(first.alphaF()), float(second.redF()),  float(second.greenF()),
                      float(second.blueF()), float(second.alphaF())};
    for (int i = 0; i < 4; ++i)
        info[8 + i] = info[4 + i] - info[i];

    QLinearGradient gradient = verticalGradient(bounds);
    for (int step = 0; step <= shadingSteps; ++step) {
        const double in = double(step) / shadingSteps;
        double out[4] = {0, 0, 0, 0};
        callbacks.evaluate(info, &in, out);
        gradient.setColorAt(
            in, QColor::fromRgbF(float(unitComponent(out[0])), float(unitComponent(out[1])),
                                 float(unitComponent(out[2])), float(unitComponent(out[3]))));
    }
    painter.fillPath(toQPainterPath(), gradient);
}

void BezierPath::linearGradientFillWithStartColor(QPainter &painter, const QColor &startColor,
                                                  const QColor &endColor) const
{
    customHorizontalFillWithCallbacks(painter, linearShadingCallbacks, startColor, endColor);
}

void BezierPath::bilinearGradientFillWithOuterColor(QPainter &painter, const QColor &outerColor,
                                                    const QColor &innerColor) const
{
    customHorizontalFillWithCallbacks(painter, bilinearShadingCallbacks, innerColor, outerColor);
}

void BezierPath::fillGradientFrom(QPainter &painter, const QColor &from, const QColor &to,
                                  float angle) const
{
    Q_UNUSED(angle) // the gradient always runs along y
    const Rect bounds = this->bounds();
    if (bounds.isEmpty())
        return;
    // Placed on the path's bounds, so a path away from the origin shows the
    // whole gradient rather than a slice of one anchored at y = 0.
    QLinearGradient gradient = verticalGradient(bounds);
    gradient.setSpread(QGradient::PadSpread);
    gradient.setColorAt(0, from.toRgb());
    gradient.setColorAt(1, to.toRgb());
    painter.fillPath(toQPainterPath(), gradient);
}
