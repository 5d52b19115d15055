#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <unordered_set>

#include <libxml/tree.h>

class XMLElement;

// Internals shared by XMLElement and XMLDocument.
namespace XMLDetail {

// Owns one libxml2 document and the elements removed from it that handles
// still refer to. Every node of the document is freed with the arena.
struct Arena
{
    explicit Arena(xmlDocPtr doc);
    ~Arena();
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;

    static std::shared_ptr<Arena> create();

    // Unlinks the node and frees it unless a handle refers to it or to a
    // node below it; such a node is kept until the arena goes.
    void releaseNode(xmlNodePtr node);
    // Called when the last handle on a node goes.
    void nodeUnreferenced(xmlNodePtr node);
    // Makes `child` a node of this arena that is not linked anywhere, ready
    // to be linked below `newParent`: moved when the caller's handle is the
    // only reference to its tree, else copied (the handle is repointed to
    // the copy). nullptr when it cannot be inserted there.
    xmlNodePtr adopt(XMLElement &child, xmlNodePtr newParent, const std::shared_ptr<Arena> &self);

    xmlDocPtr doc;
    std::unordered_set<xmlNodePtr> orphans;
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
void clearHandleCounts(xmlNodePtr node);

// Concatenated text of all descendants, entities substituted.
QString stringValueOf(xmlNodePtr node);
// The same over the node's direct children only.
QString childTextOf(xmlNodePtr node);
// Replaces every entity reference below the node, in attribute values too,
// by the text it stands for, within the bounds of reading.
void expandEntityReferences(xmlNodePtr root);
// Removes whitespace-only text nodes that stand beside element siblings.
void dropInterElementBlanks(xmlNodePtr root);

// A NUL-terminated UTF-8 copy of an element name.
QByteArray toUtf8(QAnyStringView name);
// The UTF-8 bytes of a name for comparisons, without copying when the view
// already holds UTF-8; valid while the view's data is.
QByteArray nameKey(QAnyStringView name);
bool nameEquals(xmlNodePtr node, const QByteArray &utf8Name);

} // namespace XMLDetail
