// The document's part in find and spelling: the other open documents, its
// window brought forward, and the notes pane of the outline window.

#include "application/TWApplication.h"
#include "application/TWDocument.h"

#include <QTextEdit>
#include <QWidget>

QList<TWCanvasHost *> TWDocument::openDocuments() const
{
    QList<TWCanvasHost *> hosts;
    if (TWApplication *application = TWApplication::shared())
        for (Document *document : application->orderedDocuments())
            if (auto *host = dynamic_cast<TWCanvasHost *>(document))
                hosts.append(host);
    if (!hosts.contains(const_cast<TWDocument *>(this)))
        hosts.prepend(const_cast<TWDocument *>(this));
    return hosts;
}

void TWDocument::orderFront()
{
    QWidget *window = mainWindow();
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
    if (TWApplication *application = TWApplication::shared())
        application->setCurrentlyActiveDocument(this);
}

QTextEdit *TWDocument::showNotesOnly()
{
    TWApplication *application = TWApplication::shared();
    if (!application || !application->services().outlineWindow)
        return nullptr;
    OutlineWindow *outline = application->services().outlineWindow();
    if (!outline)
        return nullptr;
    outline->makeKeyAndOrderFront();
    outline->showNotesOnly();
    return outline->branchNotesView();
}
