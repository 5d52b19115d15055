#pragma once

#include "support/XMLElement.h"

#include <QString>
#include <memory>
#include <optional>

class UndoManager;

// A task resource of the document: a person or anything else that work is
// allocated to, named by its identifier. For now the resource keeps its
// `TWResource` element as it was read, so that every field survives a load
// and a save unchanged; the identifier and the name are read from it.
class TWResource : public std::enable_shared_from_this<TWResource>
{
public:
    // A new resource with a fresh identifier and the name "New Resource".
    TWResource();
    // The resource of a `TWResource` element (kept as a copy); null for a
    // null element.
    static std::shared_ptr<TWResource> objectWithXMLElement(const XMLElement &element);

    // A copy through the element: same identifier, no undo manager.
    std::shared_ptr<TWResource> copy() const;

    // Nothing when the element has no identifier.
    std::optional<QString> resourceIdentifier() const;
    // Written by key only: no undo.
    void setResourceIdentifier(const std::optional<QString> &identifier);
    QString resourceName() const;
    // Registers the old name with the resource's undo manager.
    void setResourceName(const QString &name);

    UndoManager *undoManager() const { return m_undoManager; }
    void setUndoManager(UndoManager *undoManager) { m_undoManager = undoManager; }

    XMLElement freshXMLElement() const;

    // Equal when their elements say the same.
    bool isEqual(const TWResource &other) const;

private:
    XMLElement m_element;
    UndoManager *m_undoManager = nullptr;
};
