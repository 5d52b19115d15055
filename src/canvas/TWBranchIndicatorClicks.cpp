#include "canvas/TWBranchIndicatorClicks.h"

#include "canvas/TWCanvasHost.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"

namespace TWBranchIndicatorClicks {

int nextCheckBoxState(int state)
{
    switch (state) {
    case 0:
        return 1;
    case 1:
        return -1;
    case -1:
        return 0;
    default:
        return state;
    }
}

int nextAutomaticCheckBoxState(int calculatedState)
{
    if (calculatedState == 0)
        return 1;
    if (calculatedState == 1)
        return -1;
    return 0;
}

void handleClickAtPoint(TWMapBranch &branch, Point point, Qt::KeyboardModifiers modifiers,
                        TWCanvasHost *host)
{
    TWMap *map = branch.map();
    if (!map)
        return;
    const std::shared_ptr<TWMapBranch> alive = branch.shared_from_this();

    const Rect sign = branch.layoutServices().boundsOfShowAndHideImage(branch);
    if (branch.countOfChildren() > 0 && sign != Rect() && sign.contains(point)) {
        const int level = branch.getThisBranchLevel();
        if (level == map->branchHideLevel())
            map->setBranchHideLevel(level + 1);
        else if (branch.childrenHidden())
            branch.setChildrenHidden(false);
        else if (map->showCollapseSign())
            branch.setChildrenHidden(true);
        return;
    }

    if (map->showTextIndicators()) {
        for (int i = 0; i < branch.countOfAttachedTextArray(); ++i) {
            const Rect mark = TWBranchIndicators::clearOfHandles(
                branch, TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(branch, i));
            if (mark != Rect() && mark.contains(point)) {
                map->removeAllSelectedGraphics();
                if (branch.mainGraphic())
                    map->insertObjectInSelectedGraphicsAtIndex(branch.mainGraphic(), 0);
                if (host)
                    host->showBranchNotes();
                return;
            }
        }
    }

    for (int i = 0; i < branch.countOfHyperlinks(); ++i) {
        const Rect icon = TWBranchIndicators::clearOfHandles(
            branch, TWBranchIndicators::boundsOfHyperlinkAtIndex(branch, i));
        if (icon != Rect() && icon.contains(point)) {
            if (!(modifiers & Qt::AltModifier)) {
                if (const std::shared_ptr<TWHyperlink> link = branch.objectInHyperlinksAtIndex(i))
                    link->followLinkURL();
            }
            return;
        }
    }

    // Where the canvas shows it.
    const Rect box = TWBranchIndicators::clearOfHandles(branch, TWBranchIndicators::boundsOfCheckbox(branch));
    if (box == Rect() || !box.contains(point))
        return;
    if (!map->automaticCheckBoxes()) {
        branch.setCheckBoxState(nextCheckBoxState(branch.checkBoxState()));
        return;
    }
    const int state = nextAutomaticCheckBoxState(branch.calculatedCheckboxState());
    TWMapBranch::BranchList subtree;
    branch.allDescendantsIntoArray(subtree, true);
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(subtree))
        b->setCheckBoxState(state);
    for (TWMapBranch *selected : map->selectedBranches())
        selected->setCheckBoxState(state);
}

} // namespace TWBranchIndicatorClicks
