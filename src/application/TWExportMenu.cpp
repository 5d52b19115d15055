#include "application/TWExportMenu.h"

#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "canvas/TWGraphicView.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"

#include <QMenu>
#include <QWidget>

namespace {

struct ExportItem
{
    const char *title;
    const char *selector;
    void (TWExportController::*action)();
};

// In menu order; an empty selector is a separator.
const ExportItem exportItems[] = {
    {"PDF...", "exportPDF:", &TWExportController::exportPDF},
    {"EPS...", "exportEPS:", &TWExportController::exportEPS},
    {"", "", nullptr},
    {"TIFF...", "exportTIFF:", &TWExportController::exportTIFF},
    {"PNG...", "exportPNG:", &TWExportController::exportPNG},
    {"JPEG...", "exportJPEG:", &TWExportController::exportJPEG},
    {"BMP...", "exportBMP:", &TWExportController::exportBMP},
    {"GIF...", "exportGIF:", &TWExportController::exportGIF},
    {"", "", nullptr},
    {"RTF...", "exportRTF:", &TWExportController::exportRTF},
    {"OPML...", "exportOPML:", &TWExportController::exportOPML},
    {"MindManager...", "exportMindManager:", &TWExportController::exportMindManager},
    {"Keynote...", "exportKeynote:", &TWExportController::exportKeynote},
    {"PowerPoint...", "exportPowerPoint:", &TWExportController::exportPowerPoint},
};

const ExportItem *itemFor(const QString &selector)
{
    for (const ExportItem &item : exportItems)
        if (item.action && selector == QLatin1String(item.selector))
            return &item;
    return nullptr;
}

} // namespace

TWExportMenu::TWExportMenu(TWDocumentController &documents) : m_documents(documents)
{
    TWExportController::registerDefaults(UserDefaults::standard());
    m_controller.setHost(this);
}

QMenu *TWExportMenu::addExportMenu(QMenu *file, TWMenuDispatcher &dispatcher)
{
    QMenu *menu = file->addMenu(TWLocalizedString(StringTable::DadoZiz, "Export"));
    for (const ExportItem &item : exportItems) {
        if (!item.action) {
            menu->addSeparator();
            continue;
        }
        dispatcher.addAction(menu, TWLocalizedString(StringTable::DadoZiz, item.title),
                             QString::fromLatin1(item.selector));
    }
    dispatcher.validateBeforeShowing(menu);
    return menu;
}

TWMapsDoc *TWExportMenu::activeDocument()
{
    auto *document = dynamic_cast<TWDocument *>(m_documents.currentDocument());
    return document ? document->mapsDocument() : nullptr;
}

QList<TWMapsDoc *> TWExportMenu::orderedDocuments()
{
    QList<TWMapsDoc *> ordered;
    if (TWMapsDoc *active = activeDocument())
        ordered.append(active);
    for (Document *document : m_documents.documents())
        if (auto *twDocument = dynamic_cast<TWDocument *>(document))
            if (TWMapsDoc *maps = twDocument->mapsDocument(); maps && !ordered.contains(maps))
                ordered.append(maps);
    return ordered;
}

TWDocument *TWExportMenu::documentOf(const TWMapsDoc &maps) const
{
    for (Document *document : m_documents.documents())
        if (auto *twDocument = dynamic_cast<TWDocument *>(document))
            if (twDocument->mapsDocument() == &maps)
                return twDocument;
    return nullptr;
}

void TWExportMenu::endEditingTextArea(TWMapsDoc &maps)
{
    if (TWDocument *document = documentOf(maps))
        if (TWGraphicView *view = document->graphicView())
            view->endEditingTextArea();
}

void TWExportMenu::setWindowUpdatesEnabled(TWMapsDoc &maps, bool enabled)
{
    if (TWDocument *document = documentOf(maps))
        if (QWidget *window = document->mainWindow())
            window->setUpdatesEnabled(enabled);
}

bool TWExportMenu::respondsToMenuAction(const QString &selector) const
{
    return itemFor(selector) != nullptr;
}

bool TWExportMenu::validateMenuItem(TWMenuItem &) const
{
    return m_controller.validateMenuItem();
}

void TWExportMenu::performMenuAction(const TWMenuItem &item)
{
    if (const ExportItem *found = itemFor(item.selector))
        (m_controller.*found->action)();
}
