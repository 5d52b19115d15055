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

inline const bool kTWImageRegistered = TWGraphic::registerKind<TWImage>("TWImage");
