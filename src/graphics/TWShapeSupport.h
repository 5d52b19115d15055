#pragma once

#include "platform/Geometry.h"

class TWGraphic;

// What the plain branch shapes share.
namespace TWShapeSupport {

// The label height of the graphic's branch (0 without a text area).
float labelHeight(const TWGraphic &graphic);
// The bounds without the label band of the branch's text position: the band
// at the top (1) or bottom (3) of the shape.
Rect boundsWithoutLabelBand(const TWGraphic &graphic);
// The picture area of the plain shapes; with `noneWithoutPicture` the zero
// rectangle when the branch has no picture.
Rect imageBounds(const TWGraphic &graphic, bool assertMain, bool noneWithoutPicture);
// Squares the bounds to the shorter side, keeping the origin.
void squareToShorterSide(TWGraphic &graphic);

} // namespace TWShapeSupport
