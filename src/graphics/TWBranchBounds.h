#pragma once

#include "platform/Geometry.h"

// The four corners of a rectangle, where branch extents are collected and
// compared. "Top" is the smaller y.
class TWBranchBounds
{
public:
    explicit TWBranchBounds(Rect r)
        : m_topLeft(r.x(), r.y()), m_topRight(r.x() + r.width(), r.y()),
          m_bottomLeft(r.x(), r.y() + r.height()),
          m_bottomRight(r.x() + r.width(), r.y() + r.height())
    {}

    Point getTopLeft() const { return m_topLeft; }
    Point getTopRight() const { return m_topRight; }
    Point getBottomLeft() const { return m_bottomLeft; }
    Point getBottomRight() const { return m_bottomRight; }
    float getMinX() const { return m_topLeft.x; }
    float getMaxX() const { return m_topRight.x; }
    float getMinY() const { return m_topRight.y; }
    float getMaxY() const { return m_bottomRight.y; }
    float getMidY() const { return getMinY() + (getMinY() - getMaxY()) * -0.5f; }

private:
    Point m_topLeft;
    Point m_topRight;
    Point m_bottomLeft;
    Point m_bottomRight;
};
