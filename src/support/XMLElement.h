#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include <libxml/tree.h>

namespace XMLDetail {
struct Arena;
}

// A handle on one element of a libxml2 tree. The element route and the
// libxml2 route share these trees: node() gives the xmlNodePtr for code that
// builds or reads with libxml2 directly.
//
// Handles share ownership of the tree they point into, so an element taken
// from a document stays valid after the document object is gone. An element
// removed from its parent (by a setter, removeChild or detach) stays alive
// while a handle refers to it.
//
// addChild() and friends insert the given element itself: it leaves its
// former place, in this tree or another, and every handle on it or below it
// goes on referring to it in its new place. Insert copy() to keep the
// original where it is.
//
// Handle counts live in the nodes, so one tree is used by one thread at a
// time.
//
// A null handle stands for nil: every query on it gives the empty answer and
// every setter does nothing.
class XMLElement
{
public:
    XMLElement() = default;
    XMLElement(const XMLElement &other);
    XMLElement(XMLElement &&other) noexcept;
    XMLElement &operator=(const XMLElement &other);
    XMLElement &operator=(XMLElement &&other) noexcept;
    ~XMLElement();

    // A new element without parent, in a tree of its own.
    static XMLElement create(QAnyStringView name);
    // A new element holding only text.
    static XMLElement create(QAnyStringView name, const QString &text);
    // Parses UTF-8 XML text and returns its root element, or a null handle
    // when the text is not well-formed.
    static XMLElement parse(const QByteArray &xml);

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XMLElement &other) const { return m_node == other.m_node; }

    QString name() const;
    void setName(QAnyStringView name);

    // Concatenated text of all descendant text nodes.
    QString stringValue() const;
    // Replaces the whole content (text or children) with this text.
    void setStringValue(const QString &text);

    // --- tree ---
    XMLElement parent() const;
    QList<XMLElement> elements() const;
    QList<XMLElement> elementsForName(QAnyStringView name) const;
    int childElementCount() const;
    // Whether the element has any child node (text included).
    bool hasChildren() const;
    // The first child node (comments and processing instructions skipped)
    // when it is an element; null when it is text or there is none.
    XMLElement firstChildIfElement() const;
    XMLElement nextSiblingElement() const;
    XMLElement previousSiblingElement() const;

    XMLElement addChild(XMLElement child);
    // Makes a new empty child element and appends it.
    XMLElement appendChildElement(QAnyStringView name);
    // Inserts before the child element at this element index (appends when
    // the index is past the end).
    XMLElement insertChild(XMLElement child, int elementIndex);
    // Replaces an existing child element in place.
    XMLElement replaceChild(const XMLElement &existing, XMLElement replacement);
    void removeChild(const XMLElement &child);
    // Removes this element from its parent; it stays alive for its handles.
    void detach();
    // Deep copy in a tree of its own.
    XMLElement copy() const;

    // Pretty-printed XML text of this element, without declaration.
    QByteArray xmlString() const;

    // --- typed child access ---
    // The first child element of that name; logs a warning when there are
    // several. With createNew, a missing child is made and appended.
    XMLElement elementForName(QAnyStringView name, bool createNew = false) const;
    // Child names joined by "/": the first step is never created, later
    // steps are when createNew is set.
    XMLElement elementForPath(QAnyStringView path, bool createNew = false) const;
    // Removes every child element named like the new child, then appends it.
    XMLElement addChild(XMLElement child, bool replaceExisting);
    // Removes every child of that name and, for a non-null element, appends
    // one fresh child of that name holding it.
    void setElement(XMLElement element, QAnyStringView forElementName);
    void setInt(qint64 value, QAnyStringView forElementName);   // "%d"
    void setFloat(double value, QAnyStringView forElementName); // "%f"
    void setBool(bool value, QAnyStringView forElementName);    // "YES"/"NO"
    // std::nullopt removes every child of that name instead.
    void setString(const std::optional<QString> &value, QAnyStringView forElementName);

    int intValue() const;
    qint64 longLongValue() const;
    double floatValue() const;
    // "YES"/"TRUE" and "NO"/"FALSE" in any case; otherwise true exactly
    // when the text's leading integer is 1.
    bool boolValue() const;

    // nullopt when the element is missing or its text is empty.
    std::optional<QString> stringForPath(QAnyStringView path) const;
    int intForPath(QAnyStringView path) const;
    double floatForPath(QAnyStringView path) const;
    bool boolForPath(QAnyStringView path) const;

    // --- libxml2 route ---
    xmlNodePtr node() const { return m_node; }
    xmlDocPtr doc() const { return m_node ? m_node->doc : nullptr; }
    // A handle on another node of the same tree (made by libxml2 calls).
    XMLElement elementForNode(xmlNodePtr node) const;

private:
    friend class XMLDocument;
    friend struct XMLDetail::Arena;
    explicit XMLElement(xmlNodePtr node);
    void retain();
    void release();
    XMLDetail::Arena *arena() const;

    xmlNodePtr m_node = nullptr;
};

// The boolean rule of the element route, on plain text.
bool xmlBoolValue(QStringView text);
