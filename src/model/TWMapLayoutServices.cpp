#include "model/TWMapLayoutServices.h"
#include "model/TWMapBranch.h"

namespace {

// A map without layout code installed edits without any sizing either.
class InertLayoutServices : public TWMapLayoutServices
{
public:
    void makeNaturalSize(TWMapBranch &, bool, bool) override {}
    void repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &, float) override {}
    void updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &, Rect, Rect) override {}
    Rect rectOfRightEndGraphics(TWMapBranch &) override { return {}; }
};

} // namespace

TWMapLayoutServices &TWMapLayoutServices::none()
{
    static InertLayoutServices services;
    return services;
}

void TWMapLayoutServices::makeNaturalSize(TWMapBranch &branch, bool honoringTextWidth,
                                          bool honoringGraphicHeight)
{
    branch.makeNaturalSizeHonoringTextWidth(honoringTextWidth, honoringGraphicHeight);
}

void TWMapLayoutServices::repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &branch,
                                                                      float oldWidth)
{
    branch.repositionOtherEnclosedGraphicsFromOldWidth(oldWidth);
}

void TWMapLayoutServices::updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &branch,
                                                                              Rect from, Rect to)
{
    branch.updateEnclosedImageBoundsForMainGraphicBoundsChangeFrom(from, to);
}

Rect TWMapLayoutServices::rectOfRightEndGraphics(TWMapBranch &branch)
{
    return branch.rectOfRightEndGraphics();
}
