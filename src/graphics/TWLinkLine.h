#pragma once

#include "graphics/TWGraphic.h"

// A relationship line between two graphics of one map. What the model needs
// of it today: its two ends by graphic number and the request to follow them
// (forwarded to the map's layout services until the line geometry is built
// here).
class TWLinkLine : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWLinkLine"); }

    long startGraphicNumber() const { return m_startGraphicNumber; }
    long endGraphicNumber() const { return m_endGraphicNumber; }
    std::shared_ptr<TWGraphic> startGraphic() const { return m_startGraphic.lock(); }
    std::shared_ptr<TWGraphic> endGraphic() const { return m_endGraphic.lock(); }
    // Joins the two graphics (numbers and pointers), without undo.
    void connect(const std::shared_ptr<TWGraphic> &start, const std::shared_ptr<TWGraphic> &end);

    // Recomputes the line from its end graphics.
    virtual void updateBounds();

    static bool hasTerminator() { return true; }

private:
    long m_startGraphicNumber = 0;
    long m_endGraphicNumber = 0;
    std::weak_ptr<TWGraphic> m_startGraphic;
    std::weak_ptr<TWGraphic> m_endGraphic;
};
