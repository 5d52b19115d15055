#include "palettes/TWStyleViewDocument.h"

#include "model/TWMapsDoc.h"
#include "palettes/TWPaletteHost.h"

namespace {
std::function<TWStyleViewDocument()> &activeProvider()
{
    static std::function<TWStyleViewDocument()> provider;
    return provider;
}
} // namespace

TWStyleViewDocument TWStyleViewDocument::of(TWPaletteHost *document)
{
    TWStyleViewDocument link;
    if (!document)
        return link;
    link.mapsDocument = [document] { return document->mapsDocument(); };
    link.bindingController = document->graphicBindingController();
    link.undoManager = document->undoManager();
    link.identity = document->hostObject();
    return link;
}

TWMap *TWStyleViewDocument::currentMap() const
{
    TWMapsDoc *document = maps();
    return document ? document->currentMap().get() : nullptr;
}

TWStyleViewDocument TWStyleViewDocument::active()
{
    return activeProvider() ? activeProvider()() : TWStyleViewDocument();
}

void TWStyleViewDocument::setActiveProvider(std::function<TWStyleViewDocument()> provider)
{
    activeProvider() = std::move(provider);
}
