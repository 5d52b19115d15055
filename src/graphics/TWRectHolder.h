#pragma once

#include "platform/Geometry.h"

#include <memory>

// A boxed rectangle, the object of rectangle redraw notifications.
class TWRectHolder
{
public:
    explicit TWRectHolder(Rect rect = {}) : m_rect(rect) {}
    static std::shared_ptr<TWRectHolder> rectHolderForRect(Rect rect)
    {
        return std::make_shared<TWRectHolder>(rect);
    }
    Rect rect() const { return m_rect; }
    void setRect(Rect rect) { m_rect = rect; }

private:
    Rect m_rect;
};
