#include "application/TWDToolbarController.h"

#include "platform/TWLocalizedString.h"

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}
} // namespace

const TWToolbarController::ItemDescription *
TWDToolbarController::itemDescription(const QString &identifier) const
{
    // The window's document switches its presentation.
    static const QList<ItemDescription> descriptions{
        {DocumentViewItem, dadoZiz("Document View"), dadoZiz("Document View"),
         dadoZiz("Show all maps in the document"), QStringLiteral("TWDocumentViewToolbarIcon"),
         QStringLiteral("toggleDocumentView:")},
        {FullScreenItem, dadoZiz("Full Screen"), dadoZiz("Full Screen"),
         dadoZiz("Show the map in full screen"), QStringLiteral("TWToolbarFullScreenOn"),
         QStringLiteral("toggleFullScreen:")},
    };
    for (const ItemDescription &s : descriptions)
        if (s.identifier == identifier)
            return &s;
    return TWToolbarController::itemDescription(identifier);
}

QAction *TWDToolbarController::itemForItemIdentifier(const QString &identifier, bool willBeInserted)
{
    if (identifier == DocumentViewItem || identifier == FullScreenItem)
        return makeItem(*itemDescription(identifier));
    return TWToolbarController::itemForItemIdentifier(identifier, willBeInserted);
}

QStringList TWDToolbarController::defaultItemIdentifiers() const
{
    return {DocumentViewItem, FullScreenItem,  FlexibleSpaceItem, ThemeSelectorItem, SpaceItem,
            OutlineViewItem,  BranchNotesItem, SpaceItem,         MediaBrowserItem,  ShowColorsItem,
            ShowFontsItem,    SpaceItem,       PrintItem};
}

QStringList TWDToolbarController::allowedItemIdentifiers() const
{
    return {DocumentViewItem, FullScreenItem,  ThemeSelectorItem, MediaBrowserItem,
            OutlineViewItem,  BranchNotesItem, OutlineComboItem,  ShowColorsItem,
            ShowFontsItem,    PrintItem,       SpaceItem,         FlexibleSpaceItem,
            SeparatorItem};
}
