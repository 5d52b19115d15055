#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>

#include <libxml/tree.h>

class XMLElement;

// Internals shared by XMLElement and XMLDocument.
namespace XMLDetail {

// Owns one libxml2 document and the elements removed from it that handles
// still refer to. Every node of the document is freed with the arena. The
// arena lives while a handle refers to one of its nodes or a document object
// holds it; the document's _private field points back to it, so that a node
// finds its arena through its document even after it moved between trees.
struct Arena
{
    explicit Arena(xmlDocPtr doc);
    ~Arena();
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;

    // A new arena over an empty document, without references.
    static Arena *create();
    static Arena *of(xmlNodePtr node) { return static_cast<Arena *>(node->doc->_private); }

    void retain() { ++references; }
    void release()
    {
        if (--references == 0)
            delete this;
    }

    // Unlinks the node and frees it unless a handle refers to it or to a
    // node below it; such a node is kept until the arena goes.
    void releaseNode(xmlNodePtr node);
    // Called when the last handle on a node goes: frees the removed subtree
    // it belongs to once no handle refers into it.
    void nodeUnreferenced(xmlNodePtr node);
    // Moves the node, from this tree or another, to where `link` puts it
    // below newParent (nullptr: the document itself). Handles on the node and
    // below it keep referring to it. False when it cannot go there.
    bool move(xmlNodePtr node, xmlNodePtr newParent, const std::function<void(xmlNodePtr)> &link);

    xmlDocPtr doc;
    std::unordered_set<xmlNodePtr> orphans;
    // Handles on nodes of the document plus document objects holding it.
    std::intptr_t references = 0;
};

// Handles on a node are counted in its _private field.
inline std::intptr_t handleCount(xmlNodePtr node)
{
    return reinterpret_cast<std::intptr_t>(node->_private);
}
inline void setHandleCount(xmlNodePtr node, std::intptr_t count)
{
    node->_private = reinterpret_cast<void *>(count);
}
bool subtreeHasHandles(xmlNodePtr node);
// The number of handles on the node and the nodes below it.
std::intptr_t handlesInSubtree(xmlNodePtr node);
void clearHandleCounts(xmlNodePtr node);

// Concatenated text of all descendants, entities substituted.
QString stringValueOf(xmlNodePtr node);
// The same over the node's direct children only.
QString childTextOf(xmlNodePtr node);
// The text of the usual number leaf (no child, or one text node of at most
// `room` ASCII characters) copied into `buffer`, its length returned, so that
// a number is read without making a string; -1 for any other node.
qsizetype shortAsciiLeafText(xmlNodePtr node, char16_t *buffer, qsizetype room);
// Replaces every entity reference below the node, in attribute values too,
// by the text it stands for, within the bounds of reading.
void expandEntityReferences(xmlNodePtr root);
// The same for a node copied out of the document that declares the
// entities; *spent carries the budget over from one call to the next, so
// that a document's references together stay within it.
void expandEntityReferences(xmlNodePtr root, xmlDocPtr entities, qsizetype *spent);
bool hasEntityReferences(xmlNodePtr root);
// Removes whitespace-only text nodes that stand beside element siblings.
void dropInterElementBlanks(xmlNodePtr root);

// A NUL-terminated UTF-8 copy of an element name.
QByteArray toUtf8(QAnyStringView name);
// The UTF-8 bytes of a name for comparisons, without copying when the view
// already holds UTF-8; valid while the view's data is.
QByteArray nameKey(QAnyStringView name);
bool nameEquals(xmlNodePtr node, const QByteArray &utf8Name);

} // namespace XMLDetail
