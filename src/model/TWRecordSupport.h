#pragma once

#include "support/XMLElement.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include <libxml/tree.h>

class UndoManager;

// What the small records of the model (hyperlinks, attached texts, resources,
// people, tracked changes) share: their change announcement, the writer that
// keeps unknown children of an element in place, and the bridges between the
// two element routes.
namespace TWRecord {

// Posted by a record after one of its values changed (by a setter or by key),
// the record as sender and the field's name under KeyKey. It stands in for
// key-value observing, which bindings and palettes rely on.
inline const QString ValueDidChangeNotification = QStringLiteral("ValueDidChangeNotification");
inline const QString KeyKey = QStringLiteral("key");

// The one place where records post.
void postValueDidChange(const void *record, const QString &key);

template <class R> void postValueDidChange(const R *record, const QString &key)
{
    postValueDidChange(static_cast<const void *>(record), key);
}

// Writes the known children of a record into an element that may hold
// children of other versions. Each known child is written where the element
// has it (later duplicates go: readers take the first); a missing one goes
// right after the known child written before it, so a fresh element gets the
// order of the calls. Unknown children stay where they are.
class ChildWriter
{
public:
    explicit ChildWriter(XMLElement element);

    // A text child; nothing removes it.
    void text(QAnyStringView name, const std::optional<QString> &text);
    // A child holding a value element; a null element removes it.
    void value(QAnyStringView name, XMLElement valueElement);

    const XMLElement &element() const { return m_element; }

private:
    XMLElement place(QAnyStringView name);
    void remove(QAnyStringView name);

    XMLElement m_element;
    XMLElement m_last;
};

// The first child element of that name, or null.
XMLElement firstChild(const XMLElement &element, QAnyStringView name);
// Its text; nothing when the child is missing or its text is empty.
std::optional<QString> childText(const XMLElement &element, QAnyStringView name);

// The element a libxml2-route writer appends, taken as an element of its own.
XMLElement elementFromNodeWriter(const std::function<void(xmlNodePtr parent)> &write);
// Runs a libxml2-route reader (which takes the node that holds the record's
// element) on a copy of the element, alone under a holder: the reader's
// queries then see this element and no sibling of it.
void readElementWithNodeReader(const XMLElement &element,
                               const std::function<void(xmlNodePtr parent, xmlDocPtr doc)> &read);
// Appends a copy of an element under a libxml2 node.
void appendElementCopy(xmlNodePtr parent, const XMLElement &element);
// The element that holds a libxml2 node, copied out of its tree.
XMLElement elementCopyOfNode(xmlNodePtr node);

// Undo steps of records are registered outside undo and redo alike; side
// effects that a step will itself replay (derived values) are not redone
// while undoing or redoing.
bool isReplaying(const UndoManager *manager);

} // namespace TWRecord
