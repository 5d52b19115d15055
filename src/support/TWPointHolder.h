#pragma once

#include "platform/Geometry.h"

#include <QString>
#include <atomic>
#include <memory>

// One point boxed as an object, so lists of boundary points and drag
// positions can be shared and moved in place.
class TWPointHolder
{
public:
    TWPointHolder() = default;
    explicit TWPointHolder(Point p) : m_point(p) {}

    static std::shared_ptr<TWPointHolder> pointHolderForPoint(Point p)
    {
        return std::make_shared<TWPointHolder>(p);
    }

    Point point() const { return m_point; }
    void setPoint(Point p) { m_point = p; }
    void movePointByX(float x, float y)
    {
        m_point.x += x;
        m_point.y += y;
    }
    // Moves the point unless move number `move` already did: a holder in
    // several lists moves once with the map, also when the lists are walked
    // on several threads at once.
    void movePointOnce(unsigned move, float x, float y)
    {
        std::atomic_ref<unsigned> moved(m_move);
        unsigned seen = moved.load(std::memory_order_relaxed);
        do {
            if (seen == move)
                return;
        } while (!moved.compare_exchange_weak(seen, move, std::memory_order_relaxed));
        movePointByX(x, y);
    }

    // "TWPointHolder 12.500000, -3.000000"
    QString description() const;

private:
    Point m_point;
    unsigned m_move = 0;
};
