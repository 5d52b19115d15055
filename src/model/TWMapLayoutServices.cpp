#include "model/TWMapLayoutServices.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWOutlineNumbering.h"

namespace {

// A map without layout code installed edits without any sizing either.
class InertLayoutServices : public TWMapLayoutServices
{
public:
    void makeNaturalSize(TWMapBranch &, bool, bool) override {}
    void repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &, float) override {}
    void updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &, Rect, Rect) override {}
    Rect rectOfRightEndGraphics(TWMapBranch &) override { return {}; }
    void generateFlexiCharacters(TWMapBranch &) override {}
    Rect enclosedImageBoundsForNewImageOfSize(TWMapBranch &, Size, Rect &shapeBounds) override
    {
        return shapeBounds;
    }
};

} // namespace

TWMapLayoutServices &TWMapLayoutServices::none()
{
    static InertLayoutServices services;
    return services;
}

void TWMapLayoutServices::recalculateOutlineNumbers(TWMap &map)
{
    if (const QList<TWMapBranch *> *parents = TWPartialRenumbering::parentsFor(map)) {
        renumberChildrenOf(*parents, map.outlineFormatSettings());
        return;
    }
    if (const std::shared_ptr<TWMapBranch> &root = map.root())
        root->generateOutlineNumberFromPreviousOutlineNumber(QStringLiteral(""),
                                                             map.outlineFormatSettings());
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

Rect TWMapLayoutServices::enclosedImageBoundsForNewImageOfSize(TWMapBranch &branch, Size size,
                                                               Rect &shapeBounds)
{
    if (TWGraphic *shape = branch.mainGraphic().get())
        return shape->enclosedImageBoundsForNewImageOfSize(size, &shapeBounds);
    return shapeBounds;
}

void TWMapLayoutServices::generateFlexiCharacters(TWMapBranch &branch)
{
    if (const std::shared_ptr<TWTextArea> &label = branch.enclosedTextArea())
        label->generateFlexiCharacters();
}
