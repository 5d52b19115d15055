#pragma once

#include "graphics/TWConnectionGraphic.h"

#include <array>
#include <optional>

// The connection of a first-level branch to the central branch: a filled
// wedge 20 points wide at the centre of the central shape, narrowing to a
// point at the branch's shape with a horizontal tangent there. The wide end
// (`position`) is taken again from the central shape at every build.
class TWTitleConnection : public TWConnectionGraphic
{
public:
    // Half the width of the wide end, and the length of the tangent at the branch.
    static constexpr float HalfWidth = 10;
    static constexpr float Tangent = 50;
    static constexpr float CenterLineWidth = 40;

    QString className() const override { return QStringLiteral("TWTitleConnection"); }
    void initWithGraphic(const std::shared_ptr<TWGraphic> &graphic, Point position);
    static std::shared_ptr<TWTitleConnection> create(const std::shared_ptr<TWGraphic> &graphic,
                                                     Point position);

    std::shared_ptr<TWGraphic> connectedGraphic() const { return m_connectedGraphic; }
    // Undoable; recomputes the wedge.
    void setConnectedGraphic(const std::shared_ptr<TWGraphic> &graphic);
    long connectedGraphicNumber() const { return m_connectedGraphicNumber; }
    // Undoable; then resolved through the branch's map.
    void setConnectedGraphicNumber(long number);
    Point position() const { return m_position; }
    void setPosition(Point position);
    bool testing() const { return m_testing; }
    void setTesting(bool testing) { m_testing = testing; }

    // Always filled, never hit, no natural size.
    bool drawsFill() const override { return true; }
    bool canDrawFill() const override { return true; }
    bool hasNaturalSize() const override { return false; }
    bool hitTest(Point, bool) override { return false; }
    // The look of the connected shape; a line's wedge is filled in its colour.
    float strokeWidth() const override;
    bool drawsShadow() const override;
    Color inheritedStrokeColor() const override;
    Color inheritedFillColor() const override;

    // From the centre of the central shape to the near edge of the branch's
    // shape; (0, 0, 1, 1) without a connected graphic. Sets `position`.
    Rect baseBounds();
    // p1 (at the branch), p2 and p3 (either side of the centre), p4 = p1,
    // p5 = p6 (the tangent handle). Nothing without a connected graphic.
    std::optional<std::array<Point, 6>> calculatePoints();
    // The wedge, cached until updateBounds(); null without a connected
    // graphic or when the branch's end lies on the centre.
    std::shared_ptr<BezierPath> bezierPath() override;
    // The wedge's centre line as a 40-point stroke (cached likewise).
    std::shared_ptr<BezierPath> centerBezierPath();
    void updateBounds() override;
    void fitAfterSlideBy(float dx, float dy) override;

protected:
    // After the shared children, the connected number (42 in test mode).
    // The reader refuses, with a log line, an element without that number
    // or a test element with another one.
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    // Makes the path anew; its bounds, or nothing without one.
    std::optional<Rect> fitAnew();
    struct Corners;
    std::optional<Corners> corners();

    long m_connectedGraphicNumber = 0;
    bool m_testing = false;
    std::shared_ptr<TWGraphic> m_connectedGraphic;
    Point m_position;
    std::shared_ptr<BezierPath> m_path;
    std::shared_ptr<BezierPath> m_centerPath;
};
