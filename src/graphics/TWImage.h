#pragma once

#include "graphics/TWGraphic.h"

// A picture on the map: a branch's shape (branch type 4), the picture inside
// a branch's shape, or an attached graphic. The picture is the base's image
// (imageFilename in the package data); this adds its natural size and a
// resize that keeps its proportions.
class TWImage : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWImage"); }
    // No fill, no outline, neither inherited.
    void init() override;

    // The picture's own size (10 x 10 without one), origin kept, flips cleared.
    void makeNaturalSize() override;
    // An enclosed picture that shares its branch's shape selects as the branch.
    bool canBeSelected() const override;
    // With the aspect flag and a picture, the picture's proportions are kept.
    int resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio) override;
    // --- drawing (TWImage_Drawing.cpp) ---
    // Selection marks, fill, outline and the picture, clipped to the
    // branch's shape when it lies inside one, with that shape's outline
    // drawn over it; then the link-target ring and the handles.
    void drawInView(const DrawingContext &context, const TWDrawingView *view, bool isSelected,
                    const std::optional<Shadow> &shadow, bool drawingSelectionShadow) override;
    void drawForDragInView(const DrawingContext &context, const TWDrawingView *view,
                           int style) override;
    // The picture stretched into the bounds, mirrored on the axes it is
    // flipped on; nothing without a picture.
    void drawImage(const DrawingContext &context);
    // The branch's enclosed picture inside a rectangle, oval, cloud or
    // custom shape: the shape's outline whose inside the picture may
    // fill. Null for every other picture.
    std::shared_ptr<BezierPath> enclosingShapePath() const;

    // The same rule on any rectangle, for a picture of that size; the knob
    // comes back mirrored when the drag crossed the opposite edge.
    struct ProportionalResize
    {
        Rect bounds;
        int knob = 0;
        bool flippedHorizontally = false;
        bool flippedVertically = false;
    };
    static ProportionalResize proportionalResize(Rect bounds, Size imageSize, int knob,
                                                 Point point);
};
