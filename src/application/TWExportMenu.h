#pragma once

#include "application/TWMenuDispatcher.h"
#include "exchange/TWExportController.h"
#include "exchange/TWExportHost.h"

class TWDocument;
class TWDocumentController;
class QMenu;

// The Export menu: its items go to the application's export controller,
// which sees the program's document windows through this host.
class TWExportMenu : public TWExportHost, public TWMenuResponder
{
public:
    explicit TWExportMenu(TWDocumentController &documents);

    TWExportController &controller() { return m_controller; }

    // The File menu's "Export" submenu.
    static QMenu *addExportMenu(QMenu *file, TWMenuDispatcher &dispatcher);

    // --- TWExportHost ---
    TWMapsDoc *activeDocument() override;
    QList<TWMapsDoc *> orderedDocuments() override;
    void endEditingTextArea(TWMapsDoc &document) override;
    void setWindowUpdatesEnabled(TWMapsDoc &document, bool enabled) override;

    // --- TWMenuResponder ---
    bool respondsToMenuAction(const QString &selector) const override;
    bool validateMenuItem(TWMenuItem &item) const override;
    void performMenuAction(const TWMenuItem &item) override;

private:
    TWDocument *documentOf(const TWMapsDoc &document) const;

    TWDocumentController &m_documents;
    TWExportController m_controller;
};
