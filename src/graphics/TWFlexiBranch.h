#pragma once

#include "graphics/TWGraphic.h"
#include "support/AttributedString.h"

#include <array>

// The bendable branch shape (branch type 5): a straight piece at each end
// (room for the icons before the text and the images after it) joined by two
// cubic segments that meet at the midpoint of the two intermediate points.
// The branch's label is laid along the curve, above it.
//
// Knobs: 10 leftPoint, 11 rightPoint, 12 intermediate1, 13 intermediate2,
// 14 innerEndLeft, 15 innerEndRight, then the bounds knobs 20 to 27 in the
// order of 1 to 8.
class TWTextArea;

class TWFlexiBranch final : public TWGraphic
{
public:
    enum Knob {
        LeftPointKnob = 10,
        RightPointKnob,
        Intermediate1Knob,
        Intermediate2Knob,
        InnerEndLeftKnob,
        InnerEndRightKnob,
        FirstBoundsKnob = 20,
    };

    QString className() const override { return QStringLiteral("TWFlexiBranch"); }
    void initWithBounds(Rect bounds) override;
    std::shared_ptr<TWGraphic> copy() const override;

    // --- the curve points (undoable setters; each clears the hit band) ---
    Point leftPoint() const override { return m_leftPoint; }
    void setLeftPoint(Point p);
    Point rightPoint() const override { return m_rightPoint; }
    void setRightPoint(Point p);
    Point intermediate1() const { return m_intermediate1; }
    void setIntermediate1(Point p);
    Point intermediate2() const { return m_intermediate2; }
    void setIntermediate2(Point p);
    Point innerEndLeft() const { return m_innerEndLeft; }
    void setInnerEndLeft(Point p);
    Point innerEndRight() const { return m_innerEndRight; }
    void setInnerEndRight(Point p);
    Point straightLeft() const { return m_straightLeft; }
    void setStraightLeft(Point p);
    Point straightRight() const { return m_straightRight; }
    void setStraightRight(Point p);

    // --- fixed answers ---
    void flipHorizontally() override {}
    void flipVertically() override {}
    bool drawsFill() const override { return false; }
    bool canDrawFill() const override { return false; }
    bool clipToPath() const override { return false; }
    bool hasNaturalSize() const override { return imageFilename().has_value(); }
    float yPositionForLeftEndGraphics() const { return m_leftPoint.y - 3; }
    float yPositionForRightEndGraphics() const { return m_rightPoint.y - 3; }
    float yPositionForEnclosedTextArea() const { return bounds().maxY() + 8; }
    Rect flexiCurveBounds() const { return bounds(); }

    // --- geometry ---
    // The curve, cached until a refit or a bounds change.
    std::shared_ptr<BezierPath> bezierPath() override;
    // The curve and the strip of text above it, closed; cached until a point
    // or the bounds change.
    std::shared_ptr<BezierPath> cachedHitTestPath();
    void clearCachedHitTestPath() { m_hitTestPath.reset(); }
    bool hitTest(Point point, bool isSelected) override;
    int knobUnderPoint(Point point) override;
    bool selectsInRect(Rect rect) override;
    Rect imageBoundsAssertingMainGraphic(bool assertingMainGraphic) const override;
    // Moves the points with a pure move; refits the ends to any new rectangle.
    void setBounds(Rect bounds) override;
    // Its drawn points and the label's characters move with it.
    bool slidesAlone() const override { return false; }
    // A move without undo or notifications.
    void unrecordedMoveBy(float dx, float dy);
    // All eight points on the bottom edge, from the bounds and the branch's
    // reserved widths.
    void initializePoints();
    void recalculateLeftEnd();
    void recalculateRightEnd();

    // --- resizing (TWFlexiBranch_Resize.cpp) ---
    // Drags one of the fourteen knobs. At least 16 points of curve stay
    // between the straight pieces, the text keeps its strip above the higher
    // end, and the label is refitted to the length between the ends.
    int resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio) override;
    // The size of the shape's picture, with room for the label.
    void makeNaturalSize() override;
    // Where a new enclosed picture of `size` goes (a zero size: the picture
    // is taken away); `selfBounds` receives the shape's new bounds.
    Rect enclosedImageBoundsForNewImageOfSize(Size size, Rect *selfBounds) override;

    // --- drawing (TWFlexiBranch_Drawing.cpp) ---
    // The curve, and over it the dotted control polygon when selected.
    void drawInView(const DrawingContext &context, const TWDrawingView *view, bool isSelected,
                    const std::optional<Shadow> &shadow, bool drawingSelectionShadow) override;
    // The eight bounds handles, round handles on the ends and diamonds on
    // the control points.
    void drawHandlesInView(const DrawingContext &context, const TWDrawingView *view) override;
    void drawDiamondHandleAtPoint(const DrawingContext &context, Point point, const Color &color,
                                  const TWDrawingView *view);
    void drawCircleHandleAtPoint(const DrawingContext &context, Point point, const Color &color,
                                 const TWDrawingView *view);

    static bool hasFill() { return false; }

    void loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic) override;

    // The label measurement its drawing bounds still need, if any: the text
    // laid out `width` wide with `padding`. Many labels can then be measured
    // ahead at once.
    struct LabelMeasurement
    {
        AttributedString text;
        float width = 0;
        float padding = 0;
    };
    std::optional<LabelMeasurement> pendingLabelMeasurement();
    // The height of the container labels are laid out in.
    static constexpr float LabelContainerHeight = 100000;

protected:
    // The shape, its label and the text standing above the curve.
    std::optional<Rect> computeDrawingBounds() override;
    // The height of `text` laid out `width` wide, kept while the text, the
    // padding and the width (within the tolerance) stay.
    float labelHeight(const TWTextArea &text, float width);
    bool labelHeightKnown(const AttributedString &text, float width, float padding) const;
    static constexpr float LabelWidthTolerance = 0.01f;
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    // Undoable when recorded; otherwise stored as it is.
    void setPoint(Point TWFlexiBranch::*field, Point value, bool recorded);
    static Point TWFlexiBranch::*const allPoints[8];
    void moveAllPointsBy(float dx, float dy, bool recorded);
    // The widths the branch reserves at the two ends.
    float leftReserve() const;
    float rightReserve() const;
    // The text area's height, and its cached characters cleared or moved.
    float textHeight() const;
    // The width the label has along the curve, between the reserves.
    float labelWidth(const BezierPath &curve) const;
    void clearFlexiCharacters();
    // The ends follow the bounds; the inner ends stay out of the straight pieces.
    void refitEnds(Rect bounds, bool recorded);
    void dropCurve();
    // Knob dragging (TWFlexiBranch_Resize.cpp).
    struct Resizing;
    void clearResizeCaches();
    void applyLeftClamps();
    void applyRightClamps();
    void fitVertically(Resizing &r, float e, float f, float py, float dy) const;
    void moveLeftEdge(Resizing &r, float px);
    void moveRightEdge(Resizing &r, float px);
    void moveTopEdge(Resizing &r, float py) const;
    void moveBottomEdge(Resizing &r, float py);
    // Undo of a knob drag: all eight points as they were, undoable again.
    void restorePoints(const std::array<Point, 8> &points);

    Point m_leftPoint;
    Point m_rightPoint;
    Point m_intermediate1;
    Point m_intermediate2;
    Point m_innerEndLeft;
    Point m_innerEndRight;
    Point m_straightLeft;
    Point m_straightRight;
    std::shared_ptr<BezierPath> m_hitTestPath;
    struct LabelHeight
    {
        AttributedString text;
        float width = 0;
        float padding = 0;
        float height = 0;
        bool valid = false;
    };
    LabelHeight m_labelHeight;
};
