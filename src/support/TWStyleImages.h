#pragma once

#include <QImage>
#include <QString>

// The pictures of style previews and of the rainbow wheel, drawn once at
// twice their size in points: "Circle3" (the colour wheel, 45 x 45),
// "BorderCircle" (its rim), "RainbowSliderEnabledKnob" and
// "RainbowSliderKnob" (20 x 20), "TWStyleImage" (a background picture, 32 x 32).
// An unknown name gives a null image.
namespace TWStyleImages {

QImage imageNamed(const QString &name);
// The size in points of a named picture (empty for an unknown name).
QSizeF pointSize(const QString &name);

} // namespace TWStyleImages
