#pragma once

#include "platform/Geometry.h"
#include "support/Color.h"
#include "support/Shadow.h"

#include <QRectF>
#include <optional>

class BezierPath;
class DrawingContext;
class TWGraphic;

// What the graphic kinds share when they draw themselves.
namespace TWGraphicDrawing {

// The selection glow: the selected-control colour at `alpha`, stroked along
// the outline `width` wide.
struct Glow
{
    double alpha = 0;
    float width = 0;
    bool roundJoins = false;

    Color color() const;
    friend bool operator==(const Glow &, const Glow &) = default;
};

// Shapes and connections: a selected graphic that is not its branch's shape
// glows faintly and thinly; a branch's shape, and whatever is not selected
// but still asked to glow, glows strongly.
Glow shapeGlow(float strokeWidth, bool drawsStroke, bool selectedAndNotMain);
// Text areas frame their bounds.
Glow textAreaGlow(float strokeWidth, bool drawsStroke, bool isSelected);
// A picture clipped to its branch's shape glows along that shape, any other
// picture along its bounds.
Glow imageGlow(float strokeWidth, bool drawsStroke, bool isSelected, bool alongShape);

// The link-target ring widens over steps 1 to 5 and narrows over 6 to 10.
float pulseWidth(float strokeWidth, int step);

// The shadow as cast at the map's zoom and print scale.
Shadow zoomedShadow(const TWGraphic &graphic, const Shadow &shadow);
// The shadow the graphic casts: the given one when the map draws shadows
// for this graphic.
std::optional<Shadow> castShadow(TWGraphic &graphic, const std::optional<Shadow> &shadow);
// Room around a rectangle for a line of `width` with miter joins.
QRectF paintedArea(Rect rect, float width);

// The outline in the graphic's own colour, width and line style; style 8
// strokes nothing. Title connections are never dashed.
void strokeOutline(const DrawingContext &context, const BezierPath &path, const TWGraphic &graphic,
                   bool applyLineStyle = true);
void strokeGlow(const DrawingContext &context, const BezierPath &path, const Glow &glow);
// The rectangle as a closed path of four sides.
BezierPath rectanglePath(Rect rect, float lineWidth);
// A rectangle framed with a line of `width` lying inside it.
void frameRect(const DrawingContext &context, Rect rect, const Color &color, float width);

} // namespace TWGraphicDrawing
