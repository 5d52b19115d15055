#include "support/TWXMLUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/CFormat.h"
#include "support/XMLArena.h"
#include "support/XMLDocument.h"

#include <QDebug>
#include <libxml/xpathInternals.h>

namespace TWXMLUtils {

namespace {
void silentError(void *, xmlErrorPtr) {}
} // namespace

xmlXPathContextPtr newContext(xmlDocPtr doc, xmlNodePtr contextNode)
{
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    if (!context) {
        qWarning("Error in xmlXPathNewContext");
        return nullptr;
    }
    // Failures are reported by the callers, not printed by the library.
    context->error = silentError;
    context->node = contextNode;
    return context;
}

xmlXPathObjectPtr getNodeSetForXPath(const char *query, xmlDocPtr doc, xmlXPathContextPtr context)
{
    if (!query)
        return nullptr;
    xmlXPathContextPtr owned = nullptr;
    if (!context) {
        owned = newContext(doc, reinterpret_cast<xmlNodePtr>(doc));
        if (!owned)
            return nullptr;
        context = owned;
    }
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST query, context);
    if (owned)
        xmlXPathFreeContext(owned);
    if (!result) {
        qWarning("Error in xmlXPathEvalExpression %s", query);
        return nullptr;
    }
    if (xmlXPathNodeSetIsEmpty(result->nodesetval)) {
        xmlXPathFreeObject(result);
        return nullptr;
    }
    return result;
}

QString textOfNode(xmlNodePtr node)
{
    return XMLDetail::childTextOf(node);
}

xmlNodePtr addTextChild(xmlNodePtr parent, const char *name, const QString &text)
{
    if (!parent)
        return nullptr;
    // A missing text makes an empty element (<name/>), an empty one an
    // element with empty content (<name></name>), as the platform wrote them.
    if (text.isNull())
        return xmlNewTextChild(parent, nullptr, BAD_CAST name, nullptr);
    return xmlNewTextChild(parent, nullptr, BAD_CAST name,
                           BAD_CAST XMLDetail::xmlTextBytes(text, BAD_CAST name).constData());
}

xmlNodePtr addElementChild(xmlNodePtr parent, const char *name)
{
    if (!parent)
        return nullptr;
    return xmlNewChild(parent, nullptr, BAD_CAST name, nullptr);
}

namespace {

// A query made only of element names joined by "/" ("red", "NSFont/size").
bool isPlainChildPath(const char *path)
{
    if (!path || !*path || *path == '/')
        return false;
    char previous = '/';
    for (const char *p = path; *p; ++p) {
        const char c = *p;
        if (c == '/') {
            if (previous == '/')
                return false;
        } else if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-' || c == '.')) {
            return false;
        }
        previous = c;
    }
    return previous != '/';
}

// The first node of a plain child path in document order, as XPath would
// answer it, found by walking the children instead of compiling the query.
xmlNodePtr firstByChildPath(xmlNodePtr parent, const char *path)
{
    const char *slash = std::strchr(path, '/');
    const size_t length = slash ? size_t(slash - path) : std::strlen(path);
    for (xmlNodePtr child = parent->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || child->ns ||
            std::strncmp(reinterpret_cast<const char *>(child->name), path, length) != 0 ||
            child->name[length] != '\0')
            continue;
        if (!slash)
            return child;
        if (xmlNodePtr found = firstByChildPath(child, slash + 1))
            return found;
    }
    return nullptr;
}

// Every node of a plain child path in document order, as XPath answers it.
void allByChildPath(xmlNodePtr parent, const char *path, QList<xmlNodePtr> &found)
{
    const char *slash = std::strchr(path, '/');
    const size_t length = slash ? size_t(slash - path) : std::strlen(path);
    for (xmlNodePtr child = parent->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || child->ns ||
            std::strncmp(reinterpret_cast<const char *>(child->name), path, length) != 0 ||
            child->name[length] != '\0')
            continue;
        if (slash)
            allByChildPath(child, slash + 1, found);
        else
            found.append(child);
    }
}

} // namespace

XPathReader::XPathReader(xmlNodePtr parent, xmlDocPtr doc) : m_parent(parent), m_doc(doc) {}

void XPathReader::setParent(xmlNodePtr parent)
{
    m_parent = parent;
    m_lookups = 0;
    m_indexed = false;
    if (m_context)
        m_context->node = parent;
}

xmlXPathContextPtr XPathReader::context() const
{
    if (!m_context && m_parent)
        m_context = newContext(m_doc, m_parent);
    return m_context;
}

XPathReader::~XPathReader()
{
    if (m_context)
        xmlXPathFreeContext(m_context);
}

namespace {

std::uint32_t nameHash(const char *name, size_t length)
{
    std::uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ std::uint8_t(name[i])) * 16777619u;
    return hash;
}

bool hasName(xmlNodePtr node, const char *name, size_t length)
{
    const char *own = reinterpret_cast<const char *>(node->name);
    return std::strncmp(own, name, length) == 0 && own[length] == '\0';
}

} // namespace

xmlNodePtr XPathReader::firstChildNamed(const char *name, size_t length) const
{
    if (!m_indexed && m_lookups >= 0 && ++m_lookups > 2) {
        // Built once; a parent with more children than the table holds
        // well is walked instead.
        std::fill(std::begin(m_index), std::end(m_index), nullptr);
        int filled = 0;
        m_indexed = true;
        for (xmlNodePtr child = m_parent->children; child && m_indexed; child = child->next) {
            if (child->type != XML_ELEMENT_NODE || child->ns)
                continue;
            const char *own = reinterpret_cast<const char *>(child->name);
            const size_t ownLength = std::strlen(own);
            for (std::uint32_t slot = nameHash(own, ownLength);; ++slot) {
                xmlNodePtr &entry = m_index[slot % indexSize];
                if (!entry) {
                    entry = child;
                    m_indexed = ++filled < indexSize * 3 / 4;
                    m_lookups = m_indexed ? m_lookups : -1; // not tried again
                    break;
                }
                if (hasName(entry, own, ownLength))
                    break; // the first of a name stays
            }
        }
    }
    if (m_indexed) {
        for (std::uint32_t slot = nameHash(name, length);; ++slot) {
            xmlNodePtr entry = m_index[slot % indexSize];
            if (!entry || hasName(entry, name, length))
                return entry;
        }
    }
    for (xmlNodePtr child = m_parent->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && !child->ns && hasName(child, name, length))
            return child;
    }
    return nullptr;
}

xmlNodePtr XPathReader::node(const char *path) const
{
    if (!m_parent)
        return nullptr;
    if (isPlainChildPath(path)) {
        const char *slash = std::strchr(path, '/');
        xmlNodePtr first = firstChildNamed(path, slash ? size_t(slash - path) : std::strlen(path));
        if (!first || !slash)
            return first;
        if (xmlNodePtr found = firstByChildPath(first, slash + 1))
            return found;
        // A later child of the same name may hold the rest.
        return firstByChildPath(m_parent, path);
    }
    xmlXPathObjectPtr result = getNodeSetForXPath(path, m_doc, context());
    if (!result)
        return nullptr;
    xmlNodePtr first = result->nodesetval->nodeTab[0];
    xmlXPathFreeObject(result);
    return first;
}

QList<xmlNodePtr> XPathReader::nodes(const char *path) const
{
    QList<xmlNodePtr> found;
    if (!m_parent)
        return found;
    if (isPlainChildPath(path)) {
        allByChildPath(m_parent, path, found);
        return found;
    }
    xmlXPathObjectPtr result = getNodeSetForXPath(path, m_doc, context());
    if (!result)
        return found;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i)
        found.append(result->nodesetval->nodeTab[i]);
    xmlXPathFreeObject(result);
    return found;
}

std::optional<QString> XPathReader::text(const char *path) const
{
    xmlNodePtr n = node(path);
    if (!n)
        return std::nullopt;
    return textOfNode(n);
}

namespace {

// The value read from the node's text, the usual short leaf without making a string.
template <class Read> auto leafValue(xmlNodePtr node, Read read)
{
    using Value = decltype(read(QStringView()));
    if (!node)
        return std::optional<Value>();
    char16_t buffer[64];
    const qsizetype length = XMLDetail::shortAsciiLeafText(node, buffer, 64);
    if (length >= 0)
        return std::optional<Value>(read(QStringView(buffer, length)));
    return std::optional<Value>(read(QStringView(textOfNode(node))));
}

} // namespace

std::optional<int> XPathReader::intValue(const char *path) const
{
    return leafValue(node(path), [](QStringView t) { return CFormat::intValue(t); });
}

std::optional<qint64> XPathReader::longLongValue(const char *path) const
{
    return leafValue(node(path), [](QStringView t) { return qint64(CFormat::longLongValue(t)); });
}

std::optional<double> XPathReader::floatValue(const char *path) const
{
    return leafValue(node(path), [](QStringView t) { return CFormat::doubleValue(t); });
}

std::optional<bool> XPathReader::boolValue(const char *path) const
{
    return leafValue(node(path), [](QStringView t) { return t == u"YES"; });
}

QString xmlRepresentation(const std::function<void(xmlNodePtr root)> &addXmlData)
{
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST "XMLObj", nullptr);
    xmlDocSetRootElement(doc, root);
    if (addXmlData)
        addXmlData(root);
    const QByteArray text = XMLDetail::dumpDocument(doc);
    xmlFreeDoc(doc);
    return QString::fromUtf8(text);
}

namespace detail {

bool readXMLRepresentation(const QString &text,
                           const std::function<void(xmlNodePtr parent, xmlDocPtr doc)> &read)
{
    if (text.isNull())
        return false;
    xmlDocPtr doc = XMLDetail::parseToXmlDoc(text.toUtf8());
    if (!doc)
        return false;
    bool found = false;
    if (xmlDocGetRootElement(doc)) {
        if (xmlXPathObjectPtr result = getNodeSetForXPath("/XMLObj", doc, nullptr)) {
            read(result->nodesetval->nodeTab[0], doc);
            xmlXPathFreeObject(result);
            found = true;
        }
    }
    xmlFreeDoc(doc);
    return found;
}

} // namespace detail

} // namespace TWXMLUtils
