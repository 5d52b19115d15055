#pragma once

#include "application/TWToolbarController.h"

// The Deluxe edition's toolbar: its lists, and the document view and full
// screen items, which the window's document takes.
class TWDToolbarController : public TWToolbarController
{
    Q_OBJECT

public:
    static inline const QString DocumentViewItem =
        QStringLiteral("TWToolbarDocumentViewIdentifier");
    static inline const QString FullScreenItem = QStringLiteral("TWToolbarFullScreenIdentifier");

    using TWToolbarController::TWToolbarController;

    QAction *itemForItemIdentifier(const QString &identifier, bool willBeInserted) override;
    QStringList defaultItemIdentifiers() const override;
    QStringList allowedItemIdentifiers() const override;

protected:
    const ItemDescription *itemDescription(const QString &identifier) const override;
};
