#pragma once

#include "application/TWDocument.h"

#include <QPointer>

#include "application/TWMapSelector.h"

// The Compact edition's document: one map at a time in its window, chosen
// with the map selector when the document holds several.
class TWCDocument : public TWDocument
{
    Q_OBJECT

public:
    TWCDocument();

    // Reads a document's file data into this untitled document; with two or
    // more maps the selector follows once the window is up. False when the
    // data is not a document (nothing changes then).
    bool loadDataRepresentation(const QByteArray &data);
    // Runs the selector modally over the window, its row the current map.
    void displayMapSelector();
    // The selector while it is up, else null.
    TWMapSelector *mapSelector() const { return m_selector; }
    // The window shows one map: the next or previous one takes its place,
    // after the last the first, before the first the last.
    void showNextMap();
    void showPreviousMap();

    // --- the menu chain: the maps of the document are reached from here ---
    void addEditionMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher) override;
    bool respondsToMenuAction(const QString &selector) const override;
    bool validateMenuItem(TWMenuItem &item) const override;
    void performMenuAction(const TWMenuItem &item) override;

protected:
    void editionWindowDidLoad() override;

private:
    void scheduleMapSelector();
    void showMapAtOffset(int offset);

    QPointer<TWMapSelector> m_selector;
};
