#pragma once

#include "platform/Geometry.h"

// One sample of an offset path: a point on the source path, the point at the
// offset distance from it, and the direction of the source path there.
class TWAngleAndPointHolder
{
public:
    Point basePoint() const { return m_basePoint; }
    void setBasePoint(Point p) { m_basePoint = p; }
    Point drawPoint() const { return m_drawPoint; }
    void setDrawPoint(Point p) { m_drawPoint = p; }
    // Radians in [0, 2pi) from the positive x axis towards the positive y axis.
    float angle() const { return m_angle; }
    void setAngle(float angle) { m_angle = angle; }

    // Where the normal lines of the two holders meet; not finite when the
    // normals are parallel.
    Point intersectionPointWith(const TWAngleAndPointHolder &other) const;

private:
    Point m_basePoint;
    Point m_drawPoint;
    float m_angle = 0;
};
