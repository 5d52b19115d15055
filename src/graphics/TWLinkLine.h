#pragma once

#include "graphics/TWGraphic.h"
#include "support/AttributedString.h"

#include <optional>

class BezierPath;

// A relationship line between two graphics of one map (possibly the same
// graphic at both ends): a curve from the start graphic to the end graphic
// through two control points, with an optional arrow head at each end. The
// ends are kept as graphic numbers, which survive saving and pasting, and
// resolved to the graphics through the map.
//
// Knob 1 is the first control point, knob 2 the second.
class TWLinkLine : public TWGraphic
{
public:
    static inline const QString LinkLineSettingsChangedNotification =
        QStringLiteral("LinkLineSettingsChangedNotification");
    // End decorations.
    enum ArrowStyle { NoArrow = 0, ArrowHead = 1, OvalEnd = 2, RectangleEnd = 3 };

    QString className() const override { return QStringLiteral("TWLinkLine"); }
    // Arrows 15 long and 8 wide, filled, none shown; a black line 1 wide.
    void init() override;

    // --- the ends ---
    long startGraphicNumber() const { return m_startGraphicNumber; }
    long endGraphicNumber() const { return m_endGraphicNumber; }
    // Undoable when the number changes; resolves the graphic through the map
    // in every case and remembers where its rectangle's centre is.
    void setStartGraphicNumber(long number);
    void setEndGraphicNumber(long number);
    std::shared_ptr<TWGraphic> startGraphic() const { return m_startGraphic; }
    std::shared_ptr<TWGraphic> endGraphic() const { return m_endGraphic; }
    // The graphic alone, without undo; the number stays.
    void setStartGraphic(const std::shared_ptr<TWGraphic> &graphic);
    void setEndGraphic(const std::shared_ptr<TWGraphic> &graphic);
    // Joins the two graphics (numbers and graphics), without undo. A null
    // end is left unresolved with the number it has: a graphic not found
    // when a map is read may still be found when its file is read again.
    void connect(const std::shared_ptr<TWGraphic> &start, const std::shared_ptr<TWGraphic> &end);

    // --- settings (undoable; nothing for an unchanged value) ---
    float startArrowLength() const { return m_startArrowLength; }
    void setStartArrowLength(float length);
    float startArrowWidth() const { return m_startArrowWidth; }
    void setStartArrowWidth(float width);
    float endArrowLength() const { return m_endArrowLength; }
    void setEndArrowLength(float length);
    float endArrowWidth() const { return m_endArrowWidth; }
    void setEndArrowWidth(float width);
    // Always 2: the line has its own colour. The stored value is kept and saved.
    int colorMode() const { return 2; }
    int storedColorMode() const { return m_colorMode; }
    void setColorMode(int mode);
    Point intermediatePoint1() const { return m_intermediatePoint1; }
    void setIntermediatePoint1(Point point);
    Point intermediatePoint2() const { return m_intermediatePoint2; }
    void setIntermediatePoint2(Point point);
    Point previouslyDrawnStartPoint() const { return m_previouslyDrawnStartPoint; }
    void setPreviouslyDrawnStartPoint(Point point);
    Point previouslyDrawnEndPoint() const { return m_previouslyDrawnEndPoint; }
    void setPreviouslyDrawnEndPoint(Point point);
    int startArrowStyle() const { return m_startArrowStyle; }
    void setStartArrowStyle(int style);
    int endArrowStyle() const { return m_endArrowStyle; }
    void setEndArrowStyle(int style);
    bool startFilled() const { return m_startFilled; }
    void setStartFilled(bool filled);
    bool endFilled() const { return m_endFilled; }
    void setEndFilled(bool filled);
    const std::optional<AttributedString> &label() const { return m_label; }
    void setLabel(const std::optional<AttributedString> &label);
    int labelDirection() const { return m_labelDirection; }
    void setLabelDirection(int direction);
    float labelAngle() const { return m_labelAngle; }
    void setLabelAngle(float angle);
    Point labelOffset() const { return m_labelOffset; }
    void setLabelOffset(Point offset);

    // --- fixed answers ---
    bool drawsFill() const override { return false; }
    void setDrawsFill(bool) override {}
    bool canDrawFill() const override { return false; }
    Color handleColor() const override;
    // The line's own colour, black without one; filled arrow heads use it too.
    Color inheritedStrokeColor() const override;
    Color inheritedFillColor() const override { return inheritedStrokeColor(); }
    // Out of the selection and out of the map's link lines.
    void remove() override;

    // --- geometry ---
    // The rectangle a line meets at graphic G: its branch's bounds for a
    // branch's main graphic, else G's own bounds.
    static Rect endRectangleOf(const TWGraphic &graphic);
    // Where the line leaves the start graphic and enters the end graphic.
    Point getStartPoint() const;
    Point getEndPoint() const;
    // A new path at each call; null while an end is unresolved.
    std::shared_ptr<BezierPath> bezierPath() override;
    BezierPath getStartArrowPathAtAngle(float angle, Point startPoint) const;
    BezierPath getEndArrowPathAtAngle(float angle, Point startPoint) const;
    // The control points of a new line: the thirds between the ends, or a
    // loop on the side away from the root when both ends are one graphic.
    // Stored without undo.
    void calculateDefaultIntermediatePoints();
    // Bounds from the path, and the control points carried along when an
    // end graphic has moved since the last call.
    virtual void updateBounds();
    // Recomputed at every call.
    Rect drawingBounds() override;
    // The same at a given zoom (percent); a zoom of 0 or less counts as 100.
    Rect drawingBoundsAtZoom(float zoomAmount);
    bool hitTest(Point point, bool isSelected) override;
    int knobUnderPoint(Point point) override;
    int resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio) override;
    bool selectsInRect(Rect rect) override;

    // --- drawing (TWLinkLine_Drawing.cpp) ---
    // Nothing while the map hides link lines, an end is unresolved or an
    // end's branch is collapsed away. Selected: the dotted control polygon
    // and the handles on the control points.
    void drawInView(const DrawingContext &context, const TWDrawingView *view, bool isSelected,
                    const std::optional<Shadow> &shadow, bool drawingSelectionShadow) override;
    void drawHandlesInView(const DrawingContext &context, const TWDrawingView *view) override;
    // The straight line shown while a new link line is dragged out of
    // `from`: to the pointer, or to `to` when over another graphic.
    static BezierPath generateBezierPathForDrawingFromGraphic(const TWGraphic &from,
                                                              const TWGraphic *to, Point point);

    static bool hasFill() { return false; }
    static bool hasTerminator() { return true; }

    void loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic) override;

protected:
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    template <class T>
    void setValue(T TWLinkLine::*field, T value, void (TWLinkLine::*setter)(T), bool redrawBefore,
                  bool invalidate, bool settingsChanged);
    void resolve(bool start);
    Point endPoint(const TWGraphic &graphic, Point control, bool start) const;
    BezierPath arrowPath(float angle, Point point, float length, float width) const;

    long m_startGraphicNumber = 0;
    long m_endGraphicNumber = 0;
    float m_startArrowLength = 15;
    float m_startArrowWidth = 8;
    float m_endArrowLength = 15;
    float m_endArrowWidth = 8;
    int m_colorMode = 2;
    Point m_intermediatePoint1;
    Point m_intermediatePoint2;
    Point m_previouslyDrawnStartPoint;
    Point m_previouslyDrawnEndPoint;
    int m_startArrowStyle = NoArrow;
    int m_endArrowStyle = NoArrow;
    bool m_startFilled = true;
    bool m_endFilled = true;
    std::optional<AttributedString> m_label;
    int m_labelDirection = 0;
    float m_labelAngle = 0;
    Point m_labelOffset;
    std::shared_ptr<TWGraphic> m_startGraphic;
    std::shared_ptr<TWGraphic> m_endGraphic;
};
