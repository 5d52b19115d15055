// The document as printing sees it: its pages in the window and the print
// commands of its File menu.
#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWDocumentViewController.h"
#include "application/TWOutlineViewController.h"
#include "canvas/TWGraphicView.h"
#include "mapdrawing/TWCPrintController.h"
#include "mapdrawing/TWDPrintController.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintSetup.h"
#include "mapdrawing/TWPrintView.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"

#include <QPageSetupDialog>
#include <QPrinter>
#include <cmath>

Size TWDocument::visibleAreaSize() const
{
    return m_viewController ? m_viewController->visibleAreaSize() : Size();
}

const TWTextArea *TWDocument::editingTextArea() const
{
    const TWGraphicView *view = graphicView();
    return view ? view->editingTextArea() : nullptr;
}

void TWDocument::moveCachedEditingRects(Point offset)
{
    // The next keystroke's prediction starts where the label now is.
    if (TWGraphicView *view = graphicView())
        view->moveCachedEditingBoundsBy(offset.x, offset.y);
}

void TWDocument::currentMapMovedOnCanvas(Point offset)
{
    if (TWGraphicView *view = graphicView())
        view->followMapMovedBy(offset);
}

TWPrintCanvasController *TWDocument::printCanvasController() const
{
    return m_viewController ? &m_viewController->printCanvasController() : nullptr;
}

TWPrintView *TWDocument::printView() const
{
    return m_viewController ? m_viewController->printView() : nullptr;
}

std::optional<TWMapDrawing::PageGrid> TWDocument::pageGrid() const
{
    const TWPrintCanvasController *pages = printCanvasController();
    if (!pages || !m_mapsDocument || !m_mapsDocument->showPageFrames() || pages->pagesWide() < 1)
        return std::nullopt;
    return TWMapDrawing::PageGrid{pages->printablePageSize(), pages->pagesWide(),
                                  pages->pagesHigh()};
}

qreal TWDocument::drawingScale() const
{
    // Only a window with pages draws at the print scale.
    if (!m_viewController)
        return 1;
    const float scale = m_viewController->scaleAmount() / 100.0f;
    return scale > 0 && std::isfinite(scale) ? scale : 1;
}

void TWDocument::printDocument()
{
    TWMap *map = currentMap();
    if (!map)
        return;
    // With the outline window in front the outline is printed instead.
    if (TWOutlineViewController *outline = TWOutlineViewController::keyOutlineViewController()) {
        outline->showPrintPanel();
        return;
    }
    const TWApplication *application = TWApplication::shared();
    if (application && application->traits().edition == Edition::Compact) {
        TWCPrintController::sharedPrintController().printMap(map->shared_from_this(), mainWindow());
        return;
    }
    TWDPrintController::printDocument(this);
}

void TWDocument::runPageLayout()
{
    TWMap *map = currentMap();
    if (!map)
        return;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageLayout(TWPrintSetup::pageLayout(map->printSetupDictionary()));
    auto *dialog = new QPageSetupDialog(printer.get(), mainWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, printer] {
        OrderedDictionary setup = printInfoDictionary();
        TWPrintSetup::setPageLayout(setup, printer->pageLayout());
        setPrintInfoDictionary(setup);
    });
    dialog->open();
}
