#include "application/TWCToolbarController.h"

QStringList TWCToolbarController::defaultItemIdentifiers() const
{
    return {FlexibleSpaceItem, ThemeSelectorItem, SpaceItem,        OutlineViewItem,
            BranchNotesItem,   SpaceItem,         MediaBrowserItem, ShowColorsItem,
            ShowFontsItem,     SpaceItem,         PrintItem};
}

QStringList TWCToolbarController::allowedItemIdentifiers() const
{
    return {ThemeSelectorItem, MediaBrowserItem,  OutlineViewItem, BranchNotesItem,
            OutlineComboItem,  ShowColorsItem,    ShowFontsItem,   PrintItem,
            SpaceItem,         FlexibleSpaceItem, SeparatorItem};
}
