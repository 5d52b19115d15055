#pragma once

#include "support/BezierPath.h"
#include "support/Color.h"

#include <optional>

// A guide line the canvas shows while graphics are moved.
class TWSnapLine
{
public:
    const std::optional<Color> &color() const { return m_color; }
    void setColor(const std::optional<Color> &color) { m_color = color; }
    const std::optional<BezierPath> &bezierPath() const { return m_bezierPath; }
    void setBezierPath(const std::optional<BezierPath> &path) { m_bezierPath = path; }

private:
    std::optional<Color> m_color;
    std::optional<BezierPath> m_bezierPath;
};
