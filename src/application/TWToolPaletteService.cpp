#include "application/TWToolPaletteService.h"

#include "application/TWApplication.h"
#include "canvas/TWToolPaletteController.h"

TWToolPaletteService::TWToolPaletteService(TWToolPaletteController &palette,
                                           TWApplication *application)
    : m_palette(palette)
{
    if (!application)
        return;
    auto follow = [&palette](Document *document) {
        palette.setMainWindow(document ? document->mainWindow() : nullptr);
    };
    QObject::connect(application, &TWApplication::currentlyActiveDocumentChanged, &palette, follow);
    follow(application->currentlyActiveDocument());
}

void TWToolPaletteService::showPanel()
{
    m_palette.showPanel();
}

void TWToolPaletteService::closePanel()
{
    m_palette.closePanel();
}
