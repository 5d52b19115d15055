#pragma once

#include "application/TWToolbarController.h"

// The Compact edition's toolbar lists.
class TWCToolbarController : public TWToolbarController
{
    Q_OBJECT

public:
    using TWToolbarController::TWToolbarController;

    QStringList defaultItemIdentifiers() const override;
    QStringList allowedItemIdentifiers() const override;
};
