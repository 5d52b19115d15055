#pragma once

#include "graphics/TWConnectionGraphic.h"

#include <array>
#include <optional>

// The curve from a parent branch's shape to a child branch's shape, for
// branches below the first level. The two shapes are known by graphic number
// (which survives saving and pasting) and by pointer once resolved. Width,
// colour and shadow follow the child's shape; the curve runs in two cubic
// segments through the middle of the rectangle between its ends.
class TWChildConnection : public TWConnectionGraphic
{
public:
    // Horizontal tangent at both ends, and how close the ends may come before
    // the base rectangle is widened (and by how much on each side).
    static constexpr float Tangent = 12;
    static constexpr float OverlapTolerance = 10;

    QString className() const override { return QStringLiteral("TWChildConnection"); }
    // Takes the child's branch, stores both numbers and resolves them (the
    // given graphics are kept when the map cannot find them yet).
    void initWithParent(const std::shared_ptr<TWGraphic> &parent,
                        const std::shared_ptr<TWGraphic> &child);
    static std::shared_ptr<TWChildConnection> create(const std::shared_ptr<TWGraphic> &parent,
                                                     const std::shared_ptr<TWGraphic> &child);

    std::shared_ptr<TWGraphic> parentGraphic() const { return m_parentGraphic; }
    std::shared_ptr<TWGraphic> childGraphic() const { return m_childGraphic; }
    // Undoable; the number follows the graphic (0 for none).
    void setParentGraphic(const std::shared_ptr<TWGraphic> &graphic);
    void setChildGraphic(const std::shared_ptr<TWGraphic> &graphic);
    long parentGraphicNumber() const { return m_parentGraphicNumber; }
    long childGraphicNumber() const { return m_childGraphicNumber; }
    // Undoable; then resolved through the branch's map.
    void setParentGraphicNumber(long number);
    void setChildGraphicNumber(long number);
    // After loading: both numbers resolved in one walk over the map's branches.
    void setParentGraphicNumber(long parentNumber, long childNumber);
    bool testing() const { return m_testing; }
    void setTesting(bool testing) { m_testing = testing; }

    // The look of the child's shape.
    float strokeWidth() const override;
    bool drawsShadow() const override;
    Color inheritedStrokeColor() const override;
    Color inheritedFillColor() const override;

    // The rectangle between the two ends, widened when they come close.
    Rect baseBounds() const;
    // The two ends: at the child's shape and at the parent's.
    Point childEnd() const;
    Point parentEnd() const;
    // The curve, cached until updateBounds(); null until both ends are known.
    std::shared_ptr<BezierPath> bezierPath() override;
    void updateBounds() override;
    bool moveCurveBy(float dx, float dy) override;
    void fitAfterSlideBy(float dx, float dy) override;

protected:
    // After the shared children, the two numbers (12 and 24 in test mode).
    // The reader refuses, with a log line, an element without a parent or
    // child number, with a number 0, or a test element with other numbers.
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    struct Ends;
    Ends ends() const;
    // Places the curve anew; its bounds, or nothing without both ends.
    std::optional<Rect> fitAnew();

    long m_parentGraphicNumber = 0;
    long m_childGraphicNumber = 0;
    std::shared_ptr<TWGraphic> m_parentGraphic;
    std::shared_ptr<TWGraphic> m_childGraphic;
    std::shared_ptr<BezierPath> m_path;
    // The curve as last placed: the path is made from it when first asked.
    struct Curve
    {
        Point start;
        std::array<std::array<Point, 3>, 2> segments{};
        float lineWidth = 0;
        bool placed = false;
    };
    bool placeCurve();
    Curve m_curve;
    bool m_testing = false;
};
