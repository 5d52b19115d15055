#pragma once

// Shared by the implementation files of TWMap only.

#include "model/TWMap.h"
#include "model/TWMapConnectionRebuild.h"
#include "platform/UndoManager.h"

// Registers `inverse(TWMap &)` with the document's undo manager. The step
// keeps the map alive: undoing may bring back a map the document let go.
template <class F> void TWMap::registerUndo(F &&inverse)
{
    UndoManager *undo = undoManager();
    if (!undo || !undo->isUndoRegistrationEnabled())
        return;
    undo->registerUndo([self = shared_from_this(), inverse = std::forward<F>(inverse)]() mutable {
        inverse(*self);
    });
}

namespace TWMapDetail {
// Margins and frame width of a new map's print setup.
OrderedDictionary defaultPrintSetup();
// A setting as a QVariant: an optional value that is not set gives an
// invalid QVariant.
template <class T> QVariant boxed(const std::optional<T> &value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}
template <class T> QVariant boxed(const T &value)
{
    return QVariant::fromValue(value);
}
} // namespace TWMapDetail
