#pragma once

#include "platform/Geometry.h"

class QMenu;
class QWidget;
class TWGraphic;
class TWGraphicView;
class TWMap;
class TWMapBranch;

// The map canvas's context menu in both editions. It keeps no state: each
// right click builds a fresh menu whose items act on the model objects
// directly (the map, a branch, the current map). Which menu depends on what
// lies under the pointer: empty canvas, a branch, another graphic, or the
// text being edited.
class TWCContextMenuController
{
public:
    // Texts of the menus, for the style submenus and tests.
    static constexpr int LineType = 1, RectangleType = 2, OvalType = 3, FlexiType = 5;
    static constexpr int TextGraphicType = 8;

    // On the right press: fixes the selection at once (a click on an
    // unselected branch selects it alone; nothing under the point clears it;
    // the text being edited keeps everything).
    static void prepareForEvent(Point point, TWGraphicView &canvas);
    // On the next pass: the menu for the point, owned by `parent`; the text
    // editor's own menu while the point is in the text being edited.
    static QMenu *menuForEvent(Point point, TWGraphicView &canvas, QWidget *parent);

    static QMenu *menuForMap(TWMap &map, Point point, QWidget *parent);
    static QMenu *menuForBranch(TWMapBranch &branch, Point point, QWidget *parent);
    static QMenu *menuForGraphic(TWGraphic &graphic, Point point, QWidget *parent);

private:
    static void selectForMenu(TWMap &map, TWGraphic &graphic);
};
