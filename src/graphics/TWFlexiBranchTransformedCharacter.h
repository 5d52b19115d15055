#pragma once

#include "platform/Geometry.h"
#include "support/AttributedString.h"

#include <QTransform>
#include <memory>

class QPainter;
class TWTextLayout;

// One character of a label laid along a flexi curve: drawn at the origin of
// its own space, which `transform` carries onto the map.
class TWFlexiBranchTransformedCharacter
{
public:
    const QTransform &transform() const { return m_transform; }
    void setTransform(const QTransform &transform) { m_transform = transform; }
    const AttributedString &attributedString() const { return m_attributedString; }
    // Stored left-aligned: the character is placed by its transform alone.
    void setAttributedString(const AttributedString &string);
    Point drawPoint() const { return m_drawPoint; }
    void setDrawPoint(Point point) { m_drawPoint = point; }
    // Direction of the curve at the draw point; 0 runs towards +x.
    float angle() const { return m_angle; }
    void setAngle(float angle) { m_angle = angle; }

    // The character's size as drawn on its own (advance and line height).
    Size size() const;
    // Draws the character with its own space's origin at the painter's
    // origin; the layout is made once and replayed.
    void draw(QPainter &painter) const;
    // Takes the other character's layout when both hold the same text and
    // attributes: a label's letters recur.
    void shareLayoutOf(const TWFlexiBranchTransformedCharacter &other);

private:
    const TWTextLayout &layout() const;

    mutable std::shared_ptr<TWTextLayout> m_layout;
    QTransform m_transform;
    AttributedString m_attributedString;
    Point m_drawPoint;
    float m_angle = 0;
};
