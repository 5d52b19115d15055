#include "palettes/TWStyleViewDocument.h"

#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "model/TWMapsDoc.h"

namespace {
std::function<TWStyleViewDocument()> &activeProvider()
{
    static std::function<TWStyleViewDocument()> provider;
    return provider;
}
} // namespace

TWStyleViewDocument TWStyleViewDocument::of(TWDocument *document)
{
    TWStyleViewDocument link;
    if (!document)
        return link;
    link.mapsDocument = [document] { return document->mapsDocument(); };
    link.bindingController = document->graphicBindingController();
    link.undoManager = document->undoManager();
    link.identity = document;
    return link;
}

TWMap *TWStyleViewDocument::currentMap() const
{
    TWMapsDoc *document = maps();
    return document ? document->currentMap().get() : nullptr;
}

TWStyleViewDocument TWStyleViewDocument::active()
{
    if (activeProvider())
        return activeProvider()();
    TWApplication *application = TWApplication::shared();
    if (!application)
        return {};
    return of(qobject_cast<TWDocument *>(application->currentlyActiveDocument()));
}

void TWStyleViewDocument::setActiveProvider(std::function<TWStyleViewDocument()> provider)
{
    activeProvider() = std::move(provider);
}
