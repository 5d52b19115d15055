#include "MindManagerImpExp/XMLTree.h"

#include <utility>

#include "support/BoundedFile.h"

#include "interface/CTGradient.h" // NSRangeException
#include "support/TWExtensions.h"
#include "support/XMLDocument.h"

#include <QDebug>
#include <QFile>
#include <QStringDecoder>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

namespace XMLTreeDetail {

int parseOptions()
{
    // Blanks are kept: in mixed XHTML content the blank between two inline
    // elements is a word space. libxml2's global clean-up is never called
    // from here, since other documents may be alive at any time.
    return XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
}

QByteArray qualifiedName(xmlNodePtr node)
{
    if (!node || !node->name)
        return QByteArray();
    const char *name = reinterpret_cast<const char *>(node->name);
    // Only elements and attributes carry a namespace record.
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
        node->ns->prefix && node->ns->prefix[0]) {
        QByteArray q(reinterpret_cast<const char *>(node->ns->prefix));
        q += ':';
        q += name;
        return q;
    }
    return QByteArray(name);
}

// qualifiedName(node) == name, without making the name.
bool hasQualifiedName(xmlNodePtr node, const char *name)
{
    if (!node || !node->name)
        return *name == '\0';
    const char *own = reinterpret_cast<const char *>(node->name);
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
        node->ns->prefix && node->ns->prefix[0]) {
        const char *prefix = reinterpret_cast<const char *>(node->ns->prefix);
        const size_t length = std::strlen(prefix);
        return std::strncmp(name, prefix, length) == 0 && name[length] == ':' &&
               std::strcmp(name + length + 1, own) == 0;
    }
    return std::strcmp(name, own) == 0;
}

} // namespace XMLTreeDetail

namespace {

// Roots replaced by setRootNode() may still be viewed, so they are freed
// with their document rather than at once.
struct ReplacedRoots
{
    std::vector<xmlNodePtr> nodes;
};

struct DocDeleter
{
    void operator()(xmlDocPtr doc) const
    {
        if (auto *replaced = static_cast<ReplacedRoots *>(doc->_private)) {
            for (xmlNodePtr node : replaced->nodes)
                xmlFreeNode(node);
            delete replaced;
            doc->_private = nullptr;
        }
        xmlFreeDoc(doc);
    }
};

// Children are walked only below nodes that hold them as nodes: an entity
// reference's "children" are the entity declaration and its siblings.
bool hasChildNodes(xmlNodePtr node)
{
    return node && (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE);
}

xmlDocPtr parseMemory(const QByteArray &bytes, const char *encoding)
{
    if (bytes.isEmpty() || bytes.size() > INT_MAX)
        return nullptr;
    // A given encoding is what the bytes are, whatever their declaration says.
    const int options = XMLTreeDetail::parseOptions() | (encoding ? XML_PARSE_IGNORE_ENC : 0);
    return xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, encoding, options);
}

thread_local XMLTreeLeftOutCount *t_leftOutCount = nullptr;

QByteArray toXmlText(const QString &text, xmlNodePtr node)
{
    const QString held = XMLDetail::textXMLCanHold(
        text, node && node->name ? reinterpret_cast<const char *>(node->name) : nullptr);
    // Every character left out is one UTF-16 unit.
    XMLTreeLeftOutCount::add(int(text.size() - held.size()));
    return held.toUtf8();
}

xmlAttrPtr findAttribute(xmlNodePtr node, const char *name)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return nullptr;
    xmlAttrPtr prefixed = nullptr;
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        if (!a->ns && a->name && std::strcmp(name, reinterpret_cast<const char *>(a->name)) == 0)
            return a;
        if (!prefixed && a->ns &&
            XMLTreeDetail::hasQualifiedName(reinterpret_cast<xmlNodePtr>(a), name))
            prefixed = a;
    }
    return prefixed;
}

} // namespace

XMLTreeLeftOutCount::XMLTreeLeftOutCount() : m_outer(std::exchange(t_leftOutCount, this)) {}

XMLTreeLeftOutCount::~XMLTreeLeftOutCount()
{
    t_leftOutCount = m_outer;
}

void XMLTreeLeftOutCount::add(int leftOut)
{
    if (leftOut > 0 && t_leftOutCount)
        t_leftOutCount->m_count += leftOut;
}

XMLTree XMLTree::owning(xmlDocPtr doc)
{
    XMLTree tree;
    if (!doc)
        return tree;
    tree.m_doc = std::shared_ptr<xmlDoc>(doc, DocDeleter());
    tree.m_owning = true;
    tree.m_node = xmlDocGetRootElement(doc);
    return tree;
}

XMLTree XMLTree::viewOn(xmlNodePtr node) const
{
    XMLTree view;
    if (!node)
        return view;
    view.m_node = node;
    view.m_doc = m_doc;
    return view;
}

XMLTree XMLTree::initWithName(const QString &name)
{
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    const QByteArray n = name.toUtf8();
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST n.constData(), nullptr);
    xmlDocSetRootElement(doc, root);
    return owning(doc);
}

XMLTree XMLTree::initRootless()
{
    return owning(xmlNewDoc(BAD_CAST "1.0"));
}

XMLTree XMLTree::initWithFilename(const QString &path)
{
    if (path.isNull())
        return XMLTree();
    // Read here rather than by libxml2, which would take the path for a URL
    // and inflate compressed files on its own.
    const QByteArray bytes =
        BoundedFile::read(path, BoundedFile::MaximumTextFileSize).value_or(QByteArray());
    if (xmlDocPtr doc = parseMemory(bytes, nullptr))
        return owning(doc);
    // Text that is not UTF-8 (or UTF-16 with a mark) is not read as text.
    std::optional<QString> text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto decoder =
            QStringDecoder(QStringDecoder::Utf16, QStringDecoder::Flag::ConvertInitialBom);
        QString t = decoder(bytes);
        if (!decoder.hasError())
            text = t;
    } else if (!bytes.isEmpty()) {
        auto decoder = QStringDecoder(QStringDecoder::Utf8);
        QString t = decoder(bytes);
        if (!decoder.hasError())
            text = t;
    }
    if (text)
        return initWithString(*text);
    qWarning("Can't read XML file as an UTF8 string.");
    return initWithData(bytes);
}

XMLTree XMLTree::initWithData(const QByteArray &data)
{
    if (data.isNull())
        return XMLTree();
    XMLTree tree = owning(parseMemory(data, nullptr));
    if (tree.isNull())
        qWarning("XMLTree: can't load XML content");
    return tree;
}

XMLTree XMLTree::initWithString(const QString &text)
{
    if (text.isNull())
        return XMLTree();
    // The bytes are UTF-8 now, whatever the declaration in the text says.
    return owning(parseMemory(text.toUtf8(), "UTF-8"));
}

XMLTree XMLTree::initWithNode(xmlNodePtr node)
{
    XMLTree view;
    view.m_node = node;
    return view;
}

xmlNodePtr XMLTree::rootNode() const
{
    if (m_owning)
        return xmlDocGetRootElement(m_doc.get());
    return m_node;
}

bool XMLTree::setRootNode(const XMLTree &other)
{
    if (!m_owning || !other.rootNode() || other.document() != m_doc.get())
        return false;
    xmlNodePtr node = other.rootNode();
    if (node == m_node && node == xmlDocGetRootElement(m_doc.get()))
        return true;
    if (node->type != XML_ELEMENT_NODE)
        return false;
    xmlNodePtr old = xmlDocSetRootElement(m_doc.get(), node);
    if (old && old != node) {
        auto *replaced = static_cast<ReplacedRoots *>(m_doc->_private);
        if (!replaced)
            m_doc->_private = replaced = new ReplacedRoots;
        replaced->nodes.push_back(old);
    }
    m_node = node;
    return true;
}

xmlDocPtr XMLTree::document() const
{
    if (m_owning)
        return m_doc.get();
    return m_node ? m_node->doc : nullptr;
}

QString XMLTree::name() const
{
    xmlNodePtr node = rootNode();
    if (!node || !node->name)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char *>(node->name));
}

void XMLTree::setName(const QString &name)
{
    if (xmlNodePtr node = rootNode())
        xmlNodeSetName(node, BAD_CAST name.toUtf8().constData());
}

QString XMLTree::qualifiedName() const
{
    xmlNodePtr node = rootNode();
    if (!node)
        return QString();
    return QString::fromUtf8(XMLTreeDetail::qualifiedName(node));
}

XMLTree XMLTree::descendentNamed(const QString &name) const
{
    return childNamed(name.toUtf8().constData());
}

XMLTree XMLTree::childNamed(const char *name) const
{
    xmlNodePtr node = rootNode();
    if (!hasChildNodes(node))
        return XMLTree();
    for (xmlNodePtr c = node->children; c; c = c->next) {
        if (XMLTreeDetail::hasQualifiedName(c, name))
            return viewOn(c);
    }
    return XMLTree();
}

QList<XMLTree> XMLTree::childrenNamed(const QString &name) const
{
    return childrenNamed(name.toUtf8().constData());
}

QList<XMLTree> XMLTree::childrenNamed(const char *name) const
{
    QList<XMLTree> found;
    xmlNodePtr node = rootNode();
    if (!hasChildNodes(node))
        return found;
    for (xmlNodePtr c = node->children; c; c = c->next) {
        if (XMLTreeDetail::hasQualifiedName(c, name))
            found.append(viewOn(c));
    }
    return found;
}

unsigned XMLTree::childrenCount() const
{
    xmlNodePtr node = rootNode();
    unsigned count = 0;
    if (hasChildNodes(node)) {
        for (xmlNodePtr c = node->children; c; c = c->next)
            ++count;
    }
    return count;
}

XMLTree XMLTree::childAtIndex(unsigned index) const
{
    xmlNodePtr node = rootNode();
    xmlNodePtr c = hasChildNodes(node) ? node->children : nullptr;
    for (unsigned i = 0; c && i < index; ++i)
        c = c->next;
    if (!c)
        throw NSRangeException("[XMLTree childAtIndex: out of bounds");
    return viewOn(c);
}

QString XMLTree::attributeNamed(const QString &name) const
{
    return attributeNamed(name.toUtf8().constData());
}

QString XMLTree::attributeNamed(const char *name) const
{
    xmlAttrPtr attribute = findAttribute(rootNode(), name);
    if (!attribute)
        return QString();
    // Most values are one text node: read it in place rather than copy it.
    const xmlNode *only = attribute->children;
    if (only && !only->next && only->type == XML_TEXT_NODE && only->content)
        return QString::fromUtf8(reinterpret_cast<const char *>(only->content));
    xmlChar *value = xmlNodeListGetString(attribute->doc, attribute->children, 1);
    if (!value)
        return QString(""); // present but empty
    const QString result = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return result;
}

QString XMLTree::nodeContent() const
{
    xmlNodePtr node = rootNode();
    if (!node)
        return QString();
    xmlChar *content = xmlNodeGetContent(node);
    if (!content)
        return QString();
    const QString result = QString::fromUtf8(reinterpret_cast<const char *>(content));
    xmlFree(content);
    return result;
}

bool XMLTree::hasNodeContent() const
{
    xmlNodePtr node = rootNode();
    if (!node || node->type == XML_ELEMENT_NODE)
        return false;
    if (node->type == XML_ENTITY_REF_NODE)
        return true;
    return node->content != nullptr;
}

bool XMLTree::isTextNode() const
{
    xmlNodePtr node = rootNode();
    return node && (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE ||
                    node->type == XML_ENTITY_REF_NODE);
}

void XMLTree::setNodeContent(const QString &text)
{
    xmlNodePtr node = rootNode();
    if (!node)
        return;
    if (node->type != XML_ELEMENT_NODE) {
        xmlNodeSetContent(node, nullptr);
        xmlNodeAddContent(node, BAD_CAST toXmlText(text, node).constData());
        return;
    }
    // Dropping the children first keeps libxml2 from reading "&" in the text
    // as the start of an entity reference.
    xmlNodeSetContent(node, nullptr);
    const QByteArray bytes = toXmlText(text, node);
    if (!bytes.isEmpty())
        xmlAddChild(node,
                    xmlNewDocTextLen(node->doc, BAD_CAST bytes.constData(), int(bytes.size())));
}

void XMLTree::addContent(const QString &text)
{
    xmlNodePtr node = rootNode();
    if (!node)
        return;
    const QByteArray bytes = toXmlText(text, node);
    xmlNodeAddContentLen(node, BAD_CAST bytes.constData(), int(bytes.size()));
}

XMLTree XMLTree::addSubtree(const QString &name)
{
    const QByteArray n = name.toUtf8();
    if (m_owning && !xmlDocGetRootElement(m_doc.get())) {
        xmlNodePtr root = xmlNewDocNode(m_doc.get(), nullptr, BAD_CAST n.constData(), nullptr);
        xmlDocSetRootElement(m_doc.get(), root);
        m_node = root;
        return *this;
    }
    xmlNodePtr node = rootNode();
    if (!node || node->type != XML_ELEMENT_NODE)
        return XMLTree();
    return viewOn(xmlNewTextChild(node, nullptr, BAD_CAST n.constData(), nullptr));
}

void XMLTree::addXmlChild(const XMLTree &other)
{
    xmlNodePtr from = other.rootNode();
    xmlNodePtr to = rootNode();
    if (!from || !to || to->type != XML_ELEMENT_NODE)
        return;
    xmlNodePtr copy = xmlDocCopyNode(from, to->doc, 1);
    if (copy && !xmlAddChild(to, copy))
        xmlFreeNode(copy);
}

void XMLTree::setAttributeName(const QString &name, const QString &value)
{
    xmlNodePtr node = rootNode();
    if (name.isNull() || !node || node->type != XML_ELEMENT_NODE)
        return;
    const QByteArray n = name.toUtf8();
    xmlAttrPtr existing = findAttribute(node, n.constData());
    if (value.isNull()) {
        if (existing)
            xmlRemoveProp(existing);
        return;
    }
    const QByteArray v = toXmlText(value, node);
    if (existing)
        xmlSetNsProp(node, existing->ns, existing->name, BAD_CAST v.constData());
    else
        xmlNewProp(node, BAD_CAST n.constData(), BAD_CAST v.constData());
}

void XMLTree::addAttributes(const QHash<QString, QVariant> &attributes)
{
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        if (it.key().isNull() || it.value().typeId() != QMetaType::QString) {
            qWarning().noquote() << QStringLiteral(
                                        "XMLTree setAttribute: invalid parameters: %1, %2")
                                        .arg(it.key(), it.value().toString());
            continue;
        }
        setAttributeName(it.key(), it.value().toString());
    }
}

QString XMLTree::XMLSafeStringFromString(const QString &text)
{
    if (text.isNull())
        return QString();
    QString s = Replace::replaceAll(text, QStringLiteral("&"), QStringLiteral("&amp;"));
    s = Replace::replaceAll(s, QStringLiteral("&amp;#xA;"), QStringLiteral("&#xA;"));
    s = Replace::replaceAll(s, QStringLiteral("\""), QStringLiteral("&quot;"));
    s = Replace::replaceAll(s, QStringLiteral("<"), QStringLiteral("&lt;"));
    s = Replace::replaceAll(s, QStringLiteral(">"), QStringLiteral("&gt;"));
    return Replace::replaceAll(s, QStringLiteral("'"), QStringLiteral("&apos;"));
}

QByteArray XMLTree::descriptionData() const
{
    if (m_owning) {
        xmlChar *memory = nullptr;
        int size = 0;
        xmlDocDumpFormatMemoryEnc(m_doc.get(), &memory, &size, "UTF-8", 0);
        QByteArray result(reinterpret_cast<const char *>(memory), size);
        xmlFree(memory);
        return result;
    }
    if (!m_node)
        return QByteArray();
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, m_node->doc, m_node, 0, 1);
    QByteArray result(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                      int(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return result;
}

QString XMLTree::description() const
{
    if (isNull())
        return QString();
    return QString::fromUtf8(descriptionData());
}

// --- XMLFlatTree ---

quint32 XMLFlatTree::text(const char *string)
{
    const quint32 offset = quint32(m_text.size());
    m_text.insert(m_text.end(), string, string + std::strlen(string) + 1);
    return offset;
}

int XMLFlatTree::append(xmlNodePtr element)
{
    if (!element || element->type != XML_ELEMENT_NODE)
        return -1;
    return add(element);
}

quint32 XMLFlatTree::name(const char *prefix, const char *localName)
{
    const quint32 offset = quint32(m_text.size());
    if (prefix) {
        m_text.insert(m_text.end(), prefix, prefix + std::strlen(prefix));
        m_text.push_back(':');
    }
    m_text.insert(m_text.end(), localName, localName + std::strlen(localName) + 1);
    return offset;
}

int XMLFlatTree::startElement(const char *prefix, const char *localName)
{
    const int index = int(m_nodes.size());
    const quint32 named = name(prefix, localName);
    Node &node = m_nodes.emplace_back();
    node.name = named;
    node.firstAttribute = quint32(m_attributes.size());
    if (!m_open.empty()) {
        auto &[parent, last] = m_open.back();
        if (last < 0)
            m_nodes[size_t(parent)].firstChild = index;
        else
            m_nodes[size_t(last)].next = index;
        last = index;
    }
    m_open.emplace_back(index, -1);
    return index;
}

void XMLFlatTree::addAttribute(const char *prefix, const char *localName, bool inNamespace,
                               const char *value, qsizetype valueLength)
{
    Attribute attribute;
    attribute.qualifiedName = name(prefix, localName);
    // In a namespace the local name ends the qualified one; outside any the
    // qualified name is its whole name.
    attribute.localName = inNamespace && prefix
                              ? attribute.qualifiedName + quint32(std::strlen(prefix)) + 1
                              : attribute.qualifiedName;
    attribute.inNamespace = inNamespace;
    if (value) {
        attribute.value = quint32(m_text.size());
        m_text.insert(m_text.end(), value, value + valueLength);
        m_text.push_back('\0');
    } else {
        attribute.empty = true;
    }
    m_attributes.push_back(attribute);
    ++m_nodes[size_t(m_open.back().first)].attributes;
}

quint32 XMLFlatTree::qualifiedName(xmlNodePtr node)
{
    // As XMLTreeDetail::qualifiedName, written straight into the block.
    const quint32 offset = quint32(m_text.size());
    if (node->name) {
        if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
            node->ns->prefix && node->ns->prefix[0]) {
            const char *prefix = reinterpret_cast<const char *>(node->ns->prefix);
            m_text.insert(m_text.end(), prefix, prefix + std::strlen(prefix));
            m_text.push_back(':');
        }
        const char *name = reinterpret_cast<const char *>(node->name);
        m_text.insert(m_text.end(), name, name + std::strlen(name));
    }
    m_text.push_back('\0');
    return offset;
}

int XMLFlatTree::add(xmlNodePtr node)
{
    const int index = int(m_nodes.size());
    m_nodes.emplace_back();
    const quint32 name = qualifiedName(node);
    const quint32 firstAttribute = quint32(m_attributes.size());
    // Only elements carry attributes and children; a processing
    // instruction is kept by name, as lookups by name may find it.
    if (node->type == XML_ELEMENT_NODE) {
        for (xmlAttrPtr a = node->properties; a; a = a->next) {
            Attribute attribute;
            attribute.localName = text(a->name ? reinterpret_cast<const char *>(a->name) : "");
            attribute.qualifiedName = qualifiedName(reinterpret_cast<xmlNodePtr>(a));
            attribute.inNamespace = a->ns != nullptr;
            const xmlNode *only = a->children;
            if (only && !only->next && only->type == XML_TEXT_NODE && only->content) {
                attribute.value = text(reinterpret_cast<const char *>(only->content));
            } else if (xmlChar *value = xmlNodeListGetString(a->doc, a->children, 1)) {
                attribute.value = text(reinterpret_cast<const char *>(value));
                xmlFree(value);
            } else {
                attribute.empty = true;
            }
            m_attributes.push_back(attribute);
        }
    }
    // Counted before the children add theirs.
    const quint32 attributes = quint32(m_attributes.size()) - firstAttribute;
    int previous = -1;
    if (node->type == XML_ELEMENT_NODE) {
        for (xmlNodePtr c = node->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE && c->type != XML_PI_NODE)
                continue;
            const int child = add(c);
            if (previous < 0)
                m_nodes[size_t(index)].firstChild = child;
            else
                m_nodes[size_t(previous)].next = child;
            previous = child;
        }
    }
    Node &made = m_nodes[size_t(index)];
    made.name = name;
    made.firstAttribute = firstAttribute;
    made.attributes = attributes;
    return index;
}

QString XMLFlatTree::Element::attributeNamed(const char *name) const
{
    if (isNull())
        return QString();
    const Node &node = m_tree->m_nodes[size_t(m_index)];
    const Attribute *prefixed = nullptr;
    for (quint32 i = 0; i < node.attributes; ++i) {
        const Attribute &a = m_tree->m_attributes[node.firstAttribute + i];
        if (!a.inNamespace && std::strcmp(name, m_tree->at(a.localName)) == 0) {
            prefixed = &a;
            break;
        }
        if (!prefixed && a.inNamespace && std::strcmp(name, m_tree->at(a.qualifiedName)) == 0)
            prefixed = &a;
    }
    if (!prefixed)
        return QString();
    if (prefixed->empty)
        return QString(""); // present but empty
    return QString::fromUtf8(m_tree->at(prefixed->value));
}

XMLFlatTree::Element XMLFlatTree::Element::childNamed(const char *name) const
{
    if (isNull())
        return Element();
    for (int c = m_tree->m_nodes[size_t(m_index)].firstChild; c >= 0;
         c = m_tree->m_nodes[size_t(c)].next) {
        if (std::strcmp(name, m_tree->at(m_tree->m_nodes[size_t(c)].name)) == 0)
            return Element(m_tree, c);
    }
    return Element();
}

std::vector<XMLFlatTree::Element> XMLFlatTree::Element::childrenNamed(const char *name) const
{
    std::vector<Element> found;
    if (isNull())
        return found;
    for (int c = m_tree->m_nodes[size_t(m_index)].firstChild; c >= 0;
         c = m_tree->m_nodes[size_t(c)].next) {
        if (std::strcmp(name, m_tree->at(m_tree->m_nodes[size_t(c)].name)) == 0)
            found.emplace_back(m_tree, c);
    }
    return found;
}
