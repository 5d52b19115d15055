#include "graphics/TWLinkLine.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"

void TWLinkLine::connect(const std::shared_ptr<TWGraphic> &start,
                         const std::shared_ptr<TWGraphic> &end)
{
    m_startGraphic = start;
    m_endGraphic = end;
    m_startGraphicNumber = start ? start->graphicNumber() : 0;
    m_endGraphicNumber = end ? end->graphicNumber() : 0;
}

void TWLinkLine::updateBounds()
{
    if (TWMapBranch *owner = branch())
        owner->layoutServices().updateLinkLineBounds(*this);
}
