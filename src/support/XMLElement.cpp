#include "support/XMLElement.h"

#include "platform/CFormat.h"
#include "support/XMLArena.h"
#include "support/XMLDocument.h"

#include <QDebug>
#include <libxml/entities.h>

#include <cstring>
#include <vector>

namespace XMLDetail {

namespace {

// Guards against entity definitions that expand without bound.
constexpr int kMaxEntityDepth = 8;
constexpr qsizetype kMaxExpandedBytes = 64 * 1024 * 1024;

struct TextCollector
{
    QByteArray text;
    qsizetype spent = 0; // collected before, handed out already
    bool limitReported = false;
    xmlDocPtr entities = nullptr; // where declarations are looked up; null: the node's own

    bool full()
    {
        if (spent + text.size() <= kMaxExpandedBytes)
            return false;
        if (!limitReported) {
            qWarning("Warning: XML text longer than %lld bytes was cut",
                     static_cast<long long>(kMaxExpandedBytes));
            limitReported = true;
        }
        return true;
    }

    void addEntity(xmlNodePtr ref, int depth)
    {
        xmlEntityPtr entity = xmlGetDocEntity(entities ? entities : ref->doc, ref->name);
        if (!entity)
            return;
        if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY || !entity->children) {
            // External entities are never loaded, so they have no content.
            if (entity->etype != XML_EXTERNAL_GENERAL_PARSED_ENTITY &&
                entity->etype != XML_EXTERNAL_GENERAL_UNPARSED_ENTITY && entity->content)
                text.append(reinterpret_cast<const char *>(entity->content));
            return;
        }
        if (depth >= kMaxEntityDepth)
            return;
        for (xmlNodePtr c = entity->children; c && !full(); c = c->next)
            add(c, depth + 1, true);
    }

    void add(xmlNodePtr node, int depth, bool deep)
    {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content)
                text.append(reinterpret_cast<const char *>(node->content));
            break;
        case XML_ENTITY_REF_NODE:
            addEntity(node, depth);
            break;
        case XML_ELEMENT_NODE:
            if (deep)
                for (xmlNodePtr c = node->children; c && !full(); c = c->next)
                    add(c, depth, true);
            break;
        default:
            break;
        }
    }
};

QString collect(xmlNodePtr node, bool deep)
{
    if (!node)
        return QString();
    xmlNodePtr first = node->children;
    // The usual leaf: one text node.
    if (first && !first->next && first->type == XML_TEXT_NODE)
        return first->content ? QString::fromUtf8(reinterpret_cast<const char *>(first->content))
                              : QString();
    TextCollector collector;
    for (xmlNodePtr c = first; c && !collector.full(); c = c->next)
        collector.add(c, 0, deep);
    return QString::fromUtf8(collector.text);
}

// Whether elements above the node declare namespaces, which the node's
// subtree may use and would lose when it leaves them.
bool ancestorsDeclareNamespaces(xmlNodePtr node)
{
    for (xmlNodePtr p = node->parent; p && p->type == XML_ELEMENT_NODE; p = p->parent)
        if (p->nsDef)
            return true;
    return false;
}

bool isBlankText(const xmlChar *s)
{
    if (!s)
        return true;
    for (; *s; ++s)
        if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r')
            return false;
    return true;
}

} // namespace

QString stringValueOf(xmlNodePtr node)
{
    return collect(node, true);
}

QString childTextOf(xmlNodePtr node)
{
    return collect(node, false);
}

qsizetype shortAsciiLeafText(xmlNodePtr node, char16_t *buffer, qsizetype room)
{
    if (!node)
        return -1;
    xmlNodePtr first = node->children;
    if (!first)
        return 0;
    if (first->next || first->type != XML_TEXT_NODE)
        return -1;
    const xmlChar *text = first->content;
    qsizetype length = 0;
    for (; text && text[length]; ++length) {
        if (length == room || text[length] >= 0x80)
            return -1;
        buffer[length] = char16_t(text[length]);
    }
    return length;
}

void expandEntityReferences(xmlNodePtr root)
{
    expandEntityReferences(root, nullptr, nullptr);
}

bool hasEntityReferences(xmlNodePtr root)
{
    std::vector<xmlNodePtr> stack{root};
    while (!stack.empty()) {
        xmlNodePtr node = stack.back();
        stack.pop_back();
        if (!node)
            continue;
        if (node->type == XML_ENTITY_REF_NODE)
            return true;
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttrPtr a = node->properties; a; a = a->next)
            for (xmlNodePtr c = a->children; c; c = c->next)
                if (c->type == XML_ENTITY_REF_NODE)
                    return true;
        for (xmlNodePtr c = node->children; c; c = c->next)
            stack.push_back(c);
    }
    return false;
}

void expandEntityReferences(xmlNodePtr root, xmlDocPtr entities, qsizetype *spent)
{
    if (!root)
        return;
    std::vector<xmlNodePtr> references;
    std::vector<xmlNodePtr> stack{root};
    while (!stack.empty()) {
        xmlNodePtr node = stack.back();
        stack.pop_back();
        if (node->type == XML_ENTITY_REF_NODE) {
            references.push_back(node);
            continue;
        }
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttrPtr a = node->properties; a; a = a->next)
            for (xmlNodePtr c = a->children; c; c = c->next)
                if (c->type == XML_ENTITY_REF_NODE)
                    references.push_back(c);
        for (xmlNodePtr c = node->children; c; c = c->next)
            stack.push_back(c);
    }
    // One budget for the whole tree: many references to a large entity must
    // not multiply it.
    TextCollector collector;
    collector.entities = entities;
    if (spent)
        collector.spent = *spent;
    for (xmlNodePtr reference : references) {
        collector.spent += collector.text.size();
        collector.text.clear();
        if (!collector.full())
            collector.addEntity(reference, 0);
        const QByteArray &text = collector.text;
        if (text.isEmpty()) {
            xmlUnlinkNode(reference);
        } else {
            xmlNodePtr replacement =
                xmlNewDocTextLen(reference->doc, BAD_CAST text.constData(), int(text.size()));
            xmlReplaceNode(reference, replacement);
        }
        xmlFreeNode(reference);
    }
    if (spent)
        *spent = collector.spent + collector.text.size();
}

void dropInterElementBlanks(xmlNodePtr root)
{
    if (!root)
        return;
    std::vector<xmlNodePtr> stack{root};
    while (!stack.empty()) {
        xmlNodePtr node = stack.back();
        stack.pop_back();
        bool hasElementChild = false;
        for (xmlNodePtr c = node->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE) {
                hasElementChild = true;
                stack.push_back(c);
            }
        if (!hasElementChild)
            continue; // a leaf keeps its text exactly
        for (xmlNodePtr c = node->children; c;) {
            xmlNodePtr next = c->next;
            if (c->type == XML_TEXT_NODE && isBlankText(c->content)) {
                xmlUnlinkNode(c);
                xmlFreeNode(c);
            }
            c = next;
        }
    }
}

bool subtreeHasHandles(xmlNodePtr node)
{
    std::vector<xmlNodePtr> stack{node};
    while (!stack.empty()) {
        xmlNodePtr n = stack.back();
        stack.pop_back();
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (handleCount(n) > 0)
            return true;
        for (xmlNodePtr c = n->children; c; c = c->next)
            stack.push_back(c);
    }
    return false;
}

std::intptr_t handlesInSubtree(xmlNodePtr node)
{
    std::intptr_t count = 0;
    std::vector<xmlNodePtr> stack{node};
    while (!stack.empty()) {
        xmlNodePtr n = stack.back();
        stack.pop_back();
        if (n->type != XML_ELEMENT_NODE)
            continue;
        count += handleCount(n);
        for (xmlNodePtr c = n->children; c; c = c->next)
            stack.push_back(c);
    }
    return count;
}

void clearHandleCounts(xmlNodePtr node)
{
    std::vector<xmlNodePtr> stack{node};
    while (!stack.empty()) {
        xmlNodePtr n = stack.back();
        stack.pop_back();
        if (n->type != XML_ELEMENT_NODE)
            continue;
        setHandleCount(n, 0);
        for (xmlNodePtr c = n->children; c; c = c->next)
            stack.push_back(c);
    }
}

QByteArray toUtf8(QAnyStringView name)
{
    return name.visit([](auto view) {
        using View = decltype(view);
        if constexpr (std::is_same_v<View, QUtf8StringView>)
            return QByteArray(view.data(), view.size());
        else
            return view.toString().toUtf8();
    });
}

QByteArray nameKey(QAnyStringView name)
{
    return name.visit([](auto view) {
        using View = decltype(view);
        if constexpr (std::is_same_v<View, QUtf8StringView>)
            return QByteArray::fromRawData(view.data(), view.size());
        else
            return view.toString().toUtf8();
    });
}

bool nameEquals(xmlNodePtr node, const QByteArray &utf8Name)
{
    if (!node->name)
        return false;
    const char *n = reinterpret_cast<const char *>(node->name);
    const size_t len = size_t(utf8Name.size());
    return std::strncmp(n, utf8Name.constData(), len) == 0 && n[len] == '\0' &&
           !std::memchr(utf8Name.constData(), '\0', len);
}

Arena::Arena(xmlDocPtr d) : doc(d)
{
    doc->_private = this;
}

Arena::~Arena()
{
    for (xmlNodePtr orphan : orphans)
        xmlFreeNode(orphan);
    xmlFreeDoc(doc);
}

Arena *Arena::create()
{
    return new Arena(xmlNewDoc(BAD_CAST "1.0"));
}

void Arena::releaseNode(xmlNodePtr node)
{
    if (!node)
        return;
    const bool namespaced = ancestorsDeclareNamespaces(node);
    xmlUnlinkNode(node);
    if (subtreeHasHandles(node)) {
        // Its former ancestors may go: it keeps its namespaces itself.
        if (namespaced)
            xmlDOMWrapReconcileNamespaces(nullptr, node, 0);
        orphans.insert(node);
    } else {
        xmlFreeNode(node);
    }
}

void Arena::nodeUnreferenced(xmlNodePtr node)
{
    // A node inside a removed subtree frees that subtree once nothing in it
    // is referenced any more.
    xmlNodePtr top = node;
    while (top->parent && top->parent->type == XML_ELEMENT_NODE)
        top = top->parent;
    if (top->parent)
        return;
    auto it = orphans.find(top);
    if (it == orphans.end() || subtreeHasHandles(top))
        return;
    orphans.erase(it);
    xmlFreeNode(top);
}

bool Arena::move(xmlNodePtr node, xmlNodePtr newParent, const std::function<void(xmlNodePtr)> &link)
{
    Arena *source = of(node);
    if (source == this) {
        for (xmlNodePtr p = newParent; p; p = p->parent)
            if (p == node) {
                qWarning("Warning: element %s cannot be inserted into itself",
                         reinterpret_cast<const char *>(node->name));
                return false;
            }
        const bool namespaced = ancestorsDeclareNamespaces(node);
        xmlUnlinkNode(node);
        orphans.erase(node);
        link(node);
        // Namespaces declared by its former ancestors are declared anew
        // where they are not in scope any more.
        if (namespaced)
            xmlDOMWrapReconcileNamespaces(nullptr, node, 0);
        return true;
    }
    // The handles in the subtree go over to this arena with their node.
    const std::intptr_t handles = handlesInSubtree(node);
    xmlUnlinkNode(node);
    source->orphans.erase(node);
    if (xmlDOMWrapAdoptNode(nullptr, source->doc, node, doc, newParent, 0) != 0) {
        qWarning("Warning: element %s could not be moved to another document",
                 reinterpret_cast<const char *>(node->name));
        source->orphans.insert(node);
        return false;
    }
    references += handles;
    source->references -= handles;
    link(node);
    if (source->references == 0)
        delete source;
    return true;
}

} // namespace XMLDetail

using namespace XMLDetail;

XMLElement::XMLElement(xmlNodePtr node) : m_node(node)
{
    if (m_node && m_node->type != XML_ELEMENT_NODE)
        m_node = nullptr;
    retain();
}

XMLElement::XMLElement(const XMLElement &other) : m_node(other.m_node)
{
    retain();
}

XMLElement::XMLElement(XMLElement &&other) noexcept : m_node(other.m_node)
{
    other.m_node = nullptr;
}

XMLElement &XMLElement::operator=(const XMLElement &other)
{
    if (this != &other) {
        XMLElement copy(other);
        *this = std::move(copy);
    }
    return *this;
}

XMLElement &XMLElement::operator=(XMLElement &&other) noexcept
{
    if (this != &other) {
        release();
        m_node = other.m_node;
        other.m_node = nullptr;
    }
    return *this;
}

XMLElement::~XMLElement()
{
    release();
}

void XMLElement::retain()
{
    if (!m_node)
        return;
    setHandleCount(m_node, handleCount(m_node) + 1);
    Arena::of(m_node)->retain();
}

void XMLElement::release()
{
    if (!m_node)
        return;
    Arena *arena = Arena::of(m_node);
    const std::intptr_t count = handleCount(m_node) - 1;
    setHandleCount(m_node, count);
    if (count == 0)
        arena->nodeUnreferenced(m_node);
    m_node = nullptr;
    arena->release();
}

XMLDetail::Arena *XMLElement::arena() const
{
    return Arena::of(m_node);
}

XMLElement XMLElement::create(QAnyStringView name)
{
    Arena *arena = Arena::create();
    xmlNodePtr node =
        xmlNewDocNode(arena->doc, nullptr, BAD_CAST toUtf8(name).constData(), nullptr);
    xmlDocSetRootElement(arena->doc, node);
    return XMLElement(node);
}

XMLElement XMLElement::create(QAnyStringView name, const QString &text)
{
    XMLElement e = create(name);
    e.setStringValue(text);
    return e;
}

XMLElement XMLElement::parse(const QByteArray &xml)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(xml);
    return doc ? doc->rootElement() : XMLElement();
}

QString XMLElement::name() const
{
    return m_node ? QString::fromUtf8(reinterpret_cast<const char *>(m_node->name)) : QString();
}

void XMLElement::setName(QAnyStringView name)
{
    if (m_node)
        xmlNodeSetName(m_node, BAD_CAST toUtf8(name).constData());
}

QString XMLElement::stringValue() const
{
    return stringValueOf(m_node);
}

void XMLElement::setStringValue(const QString &text)
{
    if (!m_node)
        return;
    while (m_node->children)
        arena()->releaseNode(m_node->children);
    if (text.isEmpty())
        return;
    const QByteArray utf8 = xmlTextBytes(text, m_node->name);
    if (utf8.isEmpty())
        return;
    xmlNodePtr t = xmlNewDocTextLen(m_node->doc, BAD_CAST utf8.constData(), int(utf8.size()));
    xmlAddChild(m_node, t);
}

XMLElement XMLElement::parent() const
{
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
        return XMLElement();
    return XMLElement(m_node->parent);
}

QList<XMLElement> XMLElement::elements() const
{
    QList<XMLElement> result;
    if (!m_node)
        return result;
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            result.append(XMLElement(c));
    return result;
}

QList<XMLElement> XMLElement::elementsForName(QAnyStringView name) const
{
    QList<XMLElement> result;
    if (!m_node)
        return result;
    const QByteArray n = nameKey(name);
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && nameEquals(c, n))
            result.append(XMLElement(c));
    return result;
}

int XMLElement::childElementCount() const
{
    int count = 0;
    if (m_node)
        for (xmlNodePtr c = m_node->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE)
                ++count;
    return count;
}

bool XMLElement::hasChildren() const
{
    return m_node && m_node->children;
}

XMLElement XMLElement::firstChildIfElement() const
{
    if (!m_node)
        return XMLElement();
    for (xmlNodePtr c = m_node->children; c; c = c->next) {
        if (c->type == XML_COMMENT_NODE || c->type == XML_PI_NODE)
            continue;
        return c->type == XML_ELEMENT_NODE ? XMLElement(c) : XMLElement();
    }
    return XMLElement();
}

XMLElement XMLElement::nextSiblingElement() const
{
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
        return XMLElement();
    for (xmlNodePtr c = m_node->next; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            return XMLElement(c);
    return XMLElement();
}

XMLElement XMLElement::previousSiblingElement() const
{
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
        return XMLElement();
    for (xmlNodePtr c = m_node->prev; c; c = c->prev)
        if (c->type == XML_ELEMENT_NODE)
            return XMLElement(c);
    return XMLElement();
}

XMLElement XMLElement::addChild(XMLElement child)
{
    if (!m_node || child.isNull())
        return XMLElement();
    if (!arena()->move(child.m_node, m_node,
                       [this](xmlNodePtr node) { xmlAddChild(m_node, node); }))
        return XMLElement();
    return child;
}

XMLElement XMLElement::appendChildElement(QAnyStringView name)
{
    if (!m_node)
        return XMLElement();
    xmlNodePtr node =
        xmlNewDocNode(m_node->doc, nullptr, BAD_CAST toUtf8(name).constData(), nullptr);
    xmlAddChild(m_node, node);
    return XMLElement(node);
}

XMLElement XMLElement::insertChild(XMLElement child, int elementIndex)
{
    if (!m_node)
        return XMLElement();
    xmlNodePtr before = nullptr;
    int index = 0;
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && index++ == elementIndex) {
            before = c;
            break;
        }
    if (child.isNull())
        return XMLElement();
    if (before && before == child.m_node)
        return child;
    if (!arena()->move(child.m_node, m_node, [this, before](xmlNodePtr node) {
            if (before)
                xmlAddPrevSibling(before, node);
            else
                xmlAddChild(m_node, node);
        }))
        return XMLElement();
    return child;
}

XMLElement XMLElement::replaceChild(const XMLElement &existing, XMLElement replacement)
{
    if (!m_node || existing.isNull() || existing.m_node->parent != m_node)
        return XMLElement();
    if (existing == replacement)
        return replacement;
    if (replacement.isNull())
        return XMLElement();
    if (!arena()->move(replacement.m_node, m_node,
                       [&existing](xmlNodePtr node) { xmlAddPrevSibling(existing.m_node, node); }))
        return XMLElement();
    arena()->releaseNode(existing.m_node);
    return replacement;
}

void XMLElement::removeChild(const XMLElement &child)
{
    if (m_node && !child.isNull() && child.m_node->parent == m_node)
        arena()->releaseNode(child.m_node);
}

void XMLElement::detach()
{
    if (!m_node || !m_node->parent)
        return;
    const bool namespaced = ancestorsDeclareNamespaces(m_node);
    xmlUnlinkNode(m_node);
    // Its former ancestors may go: it keeps its namespaces itself.
    if (namespaced)
        xmlDOMWrapReconcileNamespaces(nullptr, m_node, 0);
    arena()->orphans.insert(m_node);
}

XMLElement XMLElement::copy() const
{
    if (!m_node)
        return XMLElement();
    Arena *arena = Arena::create();
    xmlNodePtr node = xmlDocCopyNode(m_node, arena->doc, 1);
    if (!node) {
        delete arena;
        return XMLElement();
    }
    clearHandleCounts(node);
    xmlDocSetRootElement(arena->doc, node);
    return XMLElement(node);
}

QByteArray XMLElement::xmlString() const
{
    if (!m_node)
        return QByteArray();
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, m_node->doc, m_node, 0, 1);
    QByteArray result(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                      xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return result;
}

XMLElement XMLElement::elementForName(QAnyStringView name, bool createNew) const
{
    const QByteArray n = nameKey(name);
    // An element without a name could not be written as XML.
    if (!m_node || n.isEmpty())
        return XMLElement();
    xmlNodePtr first = nullptr;
    bool several = false;
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && nameEquals(c, n)) {
            if (first) {
                several = true;
                break;
            }
            first = c;
        }
    if (several)
        qWarning("Warning: element %s has multiple children with name %.*s, the first will be used",
                 reinterpret_cast<const char *>(m_node->name), int(n.size()), n.constData());
    if (first)
        return XMLElement(first);
    if (!createNew)
        return XMLElement();
    xmlNodePtr node =
        xmlNewDocNode(m_node->doc, nullptr, BAD_CAST toUtf8(name).constData(), nullptr);
    xmlAddChild(m_node, node);
    return XMLElement(node);
}

XMLElement XMLElement::elementForPath(QAnyStringView path, bool createNew) const
{
    const QStringList steps = path.toString().split(u'/');
    XMLElement current = *this;
    for (qsizetype i = 0; i < steps.size() && !current.isNull(); ++i)
        current = current.elementForName(steps[i], i > 0 && createNew);
    return current;
}

XMLElement XMLElement::addChild(XMLElement child, bool replaceExisting)
{
    if (!m_node || child.isNull())
        return XMLElement();
    if (replaceExisting) {
        const QByteArray n = QByteArray(reinterpret_cast<const char *>(child.m_node->name));
        for (xmlNodePtr c = m_node->children; c;) {
            xmlNodePtr next = c->next;
            if (c->type == XML_ELEMENT_NODE && c != child.m_node && nameEquals(c, n))
                arena()->releaseNode(c);
            c = next;
        }
    }
    return addChild(std::move(child));
}

void XMLElement::setElement(XMLElement element, QAnyStringView forElementName)
{
    if (!m_node)
        return;
    const QByteArray n = nameKey(forElementName);
    // Every old child goes: a duplicate left behind would keep a stale value
    // that readers (first child wins) would still see.
    for (xmlNodePtr c = m_node->children; c;) {
        xmlNodePtr next = c->next;
        if (c->type == XML_ELEMENT_NODE && nameEquals(c, n))
            arena()->releaseNode(c);
        c = next;
    }
    if (element.isNull())
        return;
    appendChildElement(forElementName).addChild(std::move(element));
}

void XMLElement::setInt(qint64 value, QAnyStringView forElementName)
{
    elementForName(forElementName, true).setStringValue(CFormat::d(value));
}

void XMLElement::setFloat(double value, QAnyStringView forElementName)
{
    elementForName(forElementName, true).setStringValue(CFormat::f(value));
}

void XMLElement::setBool(bool value, QAnyStringView forElementName)
{
    elementForName(forElementName, true)
        .setStringValue(value ? QStringLiteral("YES") : QStringLiteral("NO"));
}

void XMLElement::setString(const std::optional<QString> &value, QAnyStringView forElementName)
{
    if (!m_node)
        return;
    if (value) {
        elementForName(forElementName, true).setStringValue(*value);
        return;
    }
    // Every child of that name goes, as in setElement.
    const QByteArray n = nameKey(forElementName);
    for (xmlNodePtr c = m_node->children; c;) {
        xmlNodePtr next = c->next;
        if (c->type == XML_ELEMENT_NODE && nameEquals(c, n))
            arena()->releaseNode(c);
        c = next;
    }
}

int XMLElement::intValue() const
{
    return CFormat::intValue(stringValue());
}

qint64 XMLElement::longLongValue() const
{
    return CFormat::longLongValue(stringValue());
}

double XMLElement::floatValue() const
{
    return CFormat::doubleValue(stringValue());
}

bool xmlBoolValue(QStringView text)
{
    const QString upper = text.toString().toUpper();
    if (upper == u"YES" || upper == u"TRUE")
        return true;
    if (upper == u"NO" || upper == u"FALSE")
        return false;
    return CFormat::intValue(text) == 1;
}

bool XMLElement::boolValue() const
{
    return xmlBoolValue(stringValue());
}

std::optional<QString> XMLElement::stringForPath(QAnyStringView path) const
{
    const XMLElement e = elementForPath(path);
    if (e.isNull())
        return std::nullopt;
    QString s = e.stringValue();
    if (s.isEmpty())
        return std::nullopt;
    return s;
}

int XMLElement::intForPath(QAnyStringView path) const
{
    const XMLElement e = elementForPath(path);
    return e.isNull() ? 0 : e.intValue();
}

double XMLElement::floatForPath(QAnyStringView path) const
{
    const XMLElement e = elementForPath(path);
    return e.isNull() ? 0.0 : e.floatValue();
}

bool XMLElement::boolForPath(QAnyStringView path) const
{
    const XMLElement e = elementForPath(path);
    return !e.isNull() && e.boolValue();
}

XMLElement XMLElement::elementForNode(xmlNodePtr node) const
{
    if (!m_node || !node || node->doc != m_node->doc)
        return XMLElement();
    return XMLElement(node);
}
