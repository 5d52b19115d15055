#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

#include <libxml/tree.h>

// The XML object of the MindManager exchange and of XHTML notes: either an
// owning tree (it holds a libxml2 document) or a view on one node of a
// document held elsewhere. Views taken from an owning tree, or from a view
// of one, keep that document alive; a view made from a bare node (one the
// parser built, say) is valid while its document is.
//
// Nodes are matched by qualified name: prefix, colon and local name for a
// node in a prefixed namespace, the bare name otherwise. Elements made here
// carry their whole qualified name ("ap:Topic") as their name.
//
// A null tree stands for nil: lookups answer nothing, builders do nothing.
class XMLTree
{
public:
    XMLTree() = default;

    // An owning tree whose root element has this name.
    static XMLTree initWithName(const QString &name);
    // An owning tree without root: the first addSubtree() makes it.
    static XMLTree initRootless();
    // Parses a file; on failure reads it again as text, and as bytes when it
    // cannot be read as text. Null when nothing parses.
    static XMLTree initWithFilename(const QString &path);
    static XMLTree treeWithFilename(const QString &path) { return initWithFilename(path); }
    static XMLTree initWithData(const QByteArray &data);
    static XMLTree initWithString(const QString &text);
    // A view on a node of some other document; nothing is freed by it.
    static XMLTree initWithNode(xmlNodePtr node);

    bool isNull() const { return !m_doc && !m_node; }
    bool isOwning() const { return m_owning; }

    // The document's root element for an owning tree, else the viewed node.
    xmlNodePtr rootNode() const;
    // Makes another tree's node (of this very document) the root element.
    bool setRootNode(const XMLTree &other);
    xmlDocPtr document() const;

    QString name() const;
    void setName(const QString &name);
    // Null string when there is no node.
    QString qualifiedName() const;

    // Immediate children only, in document order.
    XMLTree descendentNamed(const QString &name) const;
    XMLTree childNamed(const QString &name) const { return descendentNamed(name); }
    QList<XMLTree> childrenNamed(const QString &name) const;
    // The same by a UTF-8 name, without making strings: an import reads
    // every element this way.
    XMLTree childNamed(const char *name) const;
    QList<XMLTree> childrenNamed(const char *name) const;
    // Every child node, text included.
    unsigned childrenCount() const;
    // Throws NSRangeException past the last child.
    XMLTree childAtIndex(unsigned index) const;
    // Null string when absent. A prefixed name also finds an attribute that
    // the parser filed under its namespace ("xsi:nil").
    QString attributeNamed(const QString &name) const;
    QString attributeNamed(const char *name) const;

    // Text of the node and everything below it; null string without a node.
    QString nodeContent() const;
    QString containedString() const { return nodeContent(); }
    // True for a node other than an element that holds content (text,
    // CDATA, comments, entity references).
    bool hasNodeContent() const;
    bool isTextNode() const;
    // Replaces the node's content by this text, taken literally.
    void setNodeContent(const QString &text);
    // Appends this text, taken literally.
    void addContent(const QString &text);

    // On a rootless owning tree: makes the root and returns this tree.
    // Otherwise appends an empty child element and returns a view on it.
    XMLTree addSubtree(const QString &name);
    // Appends a deep copy of the other tree's node.
    void addXmlChild(const XMLTree &other);
    // Values are handed to libxml2 as they are; it escapes them once when
    // writing. A null value removes the attribute.
    void setAttributeName(const QString &name, const QString &value);
    // Every string entry; others are skipped with a log line.
    void addAttributes(const QHash<QString, QVariant> &attributes);

    // The entity form of a text for use inside markup. Not for values given
    // to setAttributeName(), which would then be escaped twice.
    static QString XMLSafeStringFromString(const QString &text);

    // Owning tree: the document with its declaration, no indentation. View:
    // the node alone. Null string for a null tree.
    QString description() const;
    QByteArray descriptionData() const;

    // A view on a node of this tree's document, keeping the document alive
    // as this tree does.
    XMLTree viewOn(xmlNodePtr node) const;

private:
    static XMLTree owning(xmlDocPtr doc);

    std::shared_ptr<xmlDoc> m_doc; // owning trees and views taken from them
    xmlNodePtr m_node = nullptr;
    bool m_owning = false;
};

// Elements flattened into one block, each with its element descendants:
// qualified names and attribute values as XMLTree's lookups answer them.
// Made where the nodes or the parse are (a reading thread) and read
// anywhere once handed over; text and comments are left out.
class XMLFlatTree
{
public:
    // A view on one element of the block; null for none.
    class Element
    {
    public:
        Element() = default;
        Element(const XMLFlatTree *tree, int index) : m_tree(tree), m_index(index) {}
        bool isNull() const { return !m_tree || m_index < 0; }
        // As XMLTree's lookups of the same names.
        QString attributeNamed(const char *name) const;
        Element childNamed(const char *name) const;
        std::vector<Element> childrenNamed(const char *name) const;
        // Every attribute in document order as f(name, inNamespace, value):
        // the local name outside a namespace, the qualified one in one; a
        // null value for one present without a value.
        template <typename F> void forEachAttribute(F &&f) const
        {
            if (isNull())
                return;
            const Node &node = m_tree->m_nodes[size_t(m_index)];
            for (quint32 i = 0; i < node.attributes; ++i) {
                const Attribute &a = m_tree->m_attributes[node.firstAttribute + i];
                f(m_tree->at(a.inNamespace ? a.qualifiedName : a.localName), a.inNamespace,
                  a.empty ? nullptr : m_tree->at(a.value));
            }
        }
        // Every child kept, in document order, as f(qualifiedName, child).
        template <typename F> void forEachChild(F &&f) const
        {
            if (isNull())
                return;
            for (int c = m_tree->m_nodes[size_t(m_index)].firstChild; c >= 0;
                 c = m_tree->m_nodes[size_t(c)].next)
                f(m_tree->at(m_tree->m_nodes[size_t(c)].name), Element(m_tree, c));
        }

    private:
        const XMLFlatTree *m_tree = nullptr;
        int m_index = -1;
    };

    // Adds the element and its descendants; its index, -1 for no element.
    int append(xmlNodePtr element);
    // The same from a parser's events, in document order, for an element
    // never made as nodes: its name (a null prefix for none), then its
    // attributes, its children, its end. startElement() answers the
    // element's index.
    int startElement(const char *prefix, const char *localName);
    // An attribute in a namespace has a prefix; one outside any may have
    // one still (an undeclared prefix is part of its name). `value` null
    // for one present without a value.
    void addAttribute(const char *prefix, const char *localName, bool inNamespace,
                      const char *value, qsizetype valueLength);
    void endElement() { m_open.pop_back(); }
    Element element(int index) const { return Element(this, index); }
    // Empties the block, keeping its room.
    void clear()
    {
        m_nodes.clear();
        m_attributes.clear();
        m_text.clear();
        m_open.clear();
    }

private:
    struct Node
    {
        quint32 name = 0; // offsets into m_text
        quint32 firstAttribute = 0;
        quint32 attributes = 0;
        qint32 firstChild = -1;
        qint32 next = -1;
    };
    struct Attribute
    {
        quint32 localName = 0;
        quint32 qualifiedName = 0;
        quint32 value = 0;
        bool inNamespace = false;
        bool empty = false; // present without a value
    };
    int add(xmlNodePtr node);
    quint32 text(const char *string);
    quint32 name(const char *prefix, const char *localName);
    quint32 qualifiedName(xmlNodePtr node);
    const char *at(quint32 offset) const { return m_text.data() + offset; }

    std::vector<Node> m_nodes;
    std::vector<Attribute> m_attributes;
    std::vector<char> m_text;
    // Elements started and not ended: index and last child so far.
    std::vector<std::pair<int, int>> m_open;
};

// Counts, while it lives, the characters XML 1.0 cannot hold that the texts
// written into trees on this thread left out, so that the user can be told.
class XMLTreeLeftOutCount
{
public:
    XMLTreeLeftOutCount();
    ~XMLTreeLeftOutCount();
    XMLTreeLeftOutCount(const XMLTreeLeftOutCount &) = delete;
    XMLTreeLeftOutCount &operator=(const XMLTreeLeftOutCount &) = delete;
    int count() const { return m_count; }
    // Called for every text written.
    static void add(int leftOut);

private:
    XMLTreeLeftOutCount *m_outer;
    int m_count = 0;
};

namespace XMLTreeDetail {
// The parser options of every XMLTree parse: no network, no DTD, no entity
// substitution, libxml2's own error output off.
int parseOptions();
// The qualified name of a node as lookups compare it.
QByteArray qualifiedName(xmlNodePtr node);
bool hasQualifiedName(xmlNodePtr node, const char *name);
} // namespace XMLTreeDetail
