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

protected:
    void editionWindowDidLoad() override;

private:
    void scheduleMapSelector();

    QPointer<TWMapSelector> m_selector;
};
