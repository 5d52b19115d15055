#pragma once

#include "support/AttributedString.h"
#include "support/XMLElement.h"

#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include <libxml/tree.h>

class UndoManager;

// A rich text attached to a branch (its notes, for one), filed under a
// category by name, with the selection it had when last edited. Its setters
// register their inverses with the undo manager it is given (the document's).
class TWAttachedText : public std::enable_shared_from_this<TWAttachedText>
{
public:
    struct SelectedRange
    {
        quint32 location = 0;
        quint32 length = 0;
        friend bool operator==(const SelectedRange &, const SelectedRange &) = default;
    };

    TWAttachedText(const std::optional<QString> &category, UndoManager *undoManager);

    // Texts are shared and never changed in place: a text is replaced whole.
    const std::shared_ptr<const AttributedString> &text() const { return m_text; }
    const std::optional<QString> &category() const { return m_category; }
    SelectedRange selectedRange() const { return m_selectedRange; }
    UndoManager *undoManager() const { return m_undoManager; }

    // Each registers the same setter with the old value, unless the value is
    // the one held (a text by identity); then it announces the change.
    void setText(std::shared_ptr<const AttributedString> text);
    void setCategory(const std::optional<QString> &category);
    void setSelectedRange(SelectedRange range);
    void setUndoManager(UndoManager *undoManager) { m_undoManager = undoManager; }

    // The user operations: the setter, then the undo action's name.
    void publicSetText(std::shared_ptr<const AttributedString> text);
    void publicSetCategory(const std::optional<QString> &category);
    void publicSetSelectedRange(SelectedRange range);

    // <TWAttachedText> with text (when not empty), category (when not empty)
    // and selectedRange, appended under parent.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // `parent` holds the <TWAttachedText> element; null without one.
    static std::shared_ptr<TWAttachedText> initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc,
                                                           UndoManager *undoManager);
    XMLElement freshXMLElement() const;
    // The <TWAttachedText> element itself; null for another element.
    static std::shared_ptr<TWAttachedText> objectWithXMLElement(const XMLElement &element,
                                                                UndoManager *undoManager);

    // A stored range value: below 0 is 0, beyond 32 bits the largest value,
    // fractions cut off.
    static quint32 rangeValue(double stored);

private:
    void nameUndoAction(const char *name);

    std::shared_ptr<const AttributedString> m_text;
    std::optional<QString> m_category;
    SelectedRange m_selectedRange;
    // The document's manager may go first; the text must not reach it then.
    QPointer<UndoManager> m_undoManager;
};
