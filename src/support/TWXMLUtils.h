#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <type_traits>

#include <libxml/tree.h>
#include <libxml/xpath.h>

// Helpers of the libxml2 route: XPath look-ups relative to a parent node,
// text children written with escaping, and the single-value "XMLObj" snippet.
namespace TWXMLUtils {

// Evaluates the query. With a null context a temporary one is made on the
// document (context node: the document) and freed again; a given context is
// left to its owner. Returns a result whose node set holds at least one node
// (free it with xmlXPathFreeObject), or nullptr.
xmlXPathObjectPtr getNodeSetForXPath(const char *query, xmlDocPtr doc, xmlXPathContextPtr context);

// A new XPath context on the document with this context node, its error
// output silenced; nullptr (and the log line) when it cannot be made.
xmlXPathContextPtr newContext(xmlDocPtr doc, xmlNodePtr contextNode);

// Concatenated text of the node's descendants, entities substituted.
QString textOfNode(xmlNodePtr node);

// Appends <name>text</name> to the parent (text escaped on writing).
xmlNodePtr addTextChild(xmlNodePtr parent, const char *name, const QString &text);
// Appends an empty element <name/> to the parent.
xmlNodePtr addElementChild(xmlNodePtr parent, const char *name);

// Reads the properties of one value below a parent node: each query is a
// relative path such as "NSColor/redComponent". Owns its XPath context.
class XPathReader
{
public:
    XPathReader(xmlNodePtr parent, xmlDocPtr doc);
    ~XPathReader();
    XPathReader(const XPathReader &) = delete;
    XPathReader &operator=(const XPathReader &) = delete;

    bool isValid() const { return m_parent != nullptr; }
    // Moves the reader to another parent of the same document.
    void setParent(xmlNodePtr parent);
    // Made on first use: most queries are plain child paths that need none.
    xmlXPathContextPtr context() const;

    // First node of the query in document order, nullptr when missing.
    xmlNodePtr node(const char *path) const;
    // Every node of the query in document order.
    QList<xmlNodePtr> nodes(const char *path) const;
    // Text of the first node; nullopt when missing, "" when it has no text.
    std::optional<QString> text(const char *path) const;
    std::optional<int> intValue(const char *path) const;
    std::optional<qint64> longLongValue(const char *path) const;
    std::optional<double> floatValue(const char *path) const;
    // True exactly when the text is "YES".
    std::optional<bool> boolValue(const char *path) const;

private:
    xmlNodePtr firstChildNamed(const char *name, size_t length) const;

    xmlNodePtr m_parent = nullptr;
    xmlDocPtr m_doc = nullptr;
    mutable xmlXPathContextPtr m_context = nullptr;
    // The first child of each name, hashed, once a reader has asked for a
    // few: a value's reader asks for every child by name.
    static constexpr int indexSize = 64;
    mutable xmlNodePtr m_index[indexSize];
    mutable int m_lookups = 0;
    mutable bool m_indexed = false;
};

// The single-value snippet: a document with root "XMLObj" into which
// addXmlData writes the value; the pretty-printed UTF-8 text is returned.
QString xmlRepresentation(const std::function<void(xmlNodePtr root)> &addXmlData);

namespace detail {
bool readXMLRepresentation(const QString &text,
                           const std::function<void(xmlNodePtr parent, xmlDocPtr doc)> &read);
template <class T> struct Optional
{
    using type = std::optional<T>;
    static type wrap(T &&v) { return type(std::move(v)); }
};
template <class T> struct Optional<std::optional<T>>
{
    using type = std::optional<T>;
    static type wrap(std::optional<T> &&v) { return std::move(v); }
};
} // namespace detail

// Parses a snippet and calls read(parent, doc) with the "XMLObj" node as the
// parent. nullopt for a null text, text that does not parse or has no
// "XMLObj" root; a reader that itself returns an optional is not nested.
template <class Read>
auto fromXMLRepresentation(const QString &text, Read &&read) ->
    typename detail::Optional<std::decay_t<std::invoke_result_t<Read, xmlNodePtr, xmlDocPtr>>>::type
{
    using R = std::decay_t<std::invoke_result_t<Read, xmlNodePtr, xmlDocPtr>>;
    typename detail::Optional<R>::type result;
    detail::readXMLRepresentation(text, [&](xmlNodePtr parent, xmlDocPtr doc) {
        result = detail::Optional<R>::wrap(read(parent, doc));
    });
    return result;
}

} // namespace TWXMLUtils
