#include "support/XMLDocument.h"

#include "support/XMLArena.h"

#include <QDebug>
#include <QFile>
#include <climits>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <utility>

using namespace XMLDetail;

namespace XMLDetail {

int parseOptions()
{
    // No network, no DTD loading, no entity substitution; no dictionary, so
    // that nodes can move between documents; errors reported by the caller.
    // Blanks before markup are dropped while parsing (see keepBlanksBeforeMarkup).
    return XML_PARSE_NONET | XML_PARSE_NODICT | XML_PARSE_NOCDATA | XML_PARSE_NOERROR |
           XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;
}

namespace {

// The parser calls this for white space that it takes for indentation. Blanks
// in front of a comment, CDATA section or processing instruction may be the
// start of a leaf's text, so they are kept; dropInterElementBlanks removes
// them later where they stand beside elements.
void keepBlanksBeforeMarkup(void *context, const xmlChar *text, int length)
{
    auto *parser = static_cast<xmlParserCtxtPtr>(context);
    const xmlChar *next = parser->input ? parser->input->cur : nullptr;
    if (next && next[0] == '<' && (next[1] == '!' || next[1] == '?'))
        xmlSAX2Characters(context, text, length);
}

} // namespace

xmlDocPtr parseToXmlDoc(const QByteArray &xml, QString *error)
{
    if (xml.isEmpty() || xml.size() > INT_MAX) {
        if (error)
            *error = xml.isEmpty() ? QStringLiteral("empty XML text")
                                   : QStringLiteral("XML text too large");
        return nullptr;
    }
    xmlParserCtxtPtr context = xmlCreateMemoryParserCtxt(xml.constData(), int(xml.size()));
    if (!context) {
        if (error)
            *error = QStringLiteral("out of memory");
        return nullptr;
    }
    xmlCtxtUseOptions(context, parseOptions());
    context->sax->ignorableWhitespace = keepBlanksBeforeMarkup;
    xmlParseDocument(context);
    xmlDocPtr doc = context->myDoc;
    context->myDoc = nullptr;
    if (!doc || !context->wellFormed) {
        if (error) {
            const xmlError *e = &context->lastError;
            *error = e->message ? QString::fromUtf8(e->message).trimmed()
                                : QStringLiteral("not well-formed");
            if (e->line > 0)
                *error += QStringLiteral(" (line %1)").arg(e->line);
        }
        if (doc)
            xmlFreeDoc(doc);
        xmlFreeParserCtxt(context);
        return nullptr;
    }
    xmlFreeParserCtxt(context);
    dropInterElementBlanks(xmlDocGetRootElement(doc));
    return doc;
}

QByteArray dumpDocument(xmlDocPtr doc)
{
    if (!doc)
        return QByteArray();
    // The document type stays in memory, unwritten, for the nodes that may
    // still refer to its entities.
    xmlNodePtr doctype = reinterpret_cast<xmlNodePtr>(xmlGetIntSubset(doc));
    xmlNodePtr afterDoctype = doctype ? doctype->next : nullptr;
    if (doctype) {
        expandEntityReferences(xmlDocGetRootElement(doc));
        xmlUnlinkNode(doctype);
    }
    xmlChar *memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &memory, &size, "UTF-8", 1);
    if (doctype) {
        if (afterDoctype)
            xmlAddPrevSibling(afterDoctype, doctype);
        else
            xmlAddChild(reinterpret_cast<xmlNodePtr>(doc), doctype);
        doc->intSubset = reinterpret_cast<xmlDtdPtr>(doctype);
    }
    QByteArray result(reinterpret_cast<const char *>(memory), size);
    xmlFree(memory);
    return result;
}

QByteArray xmlTextBytes(const QString &text, const xmlChar *elementName)
{
    auto allowed = [](char16_t u) {
        return u >= 0x20 ? u < 0xFFFE : (u == u'\t' || u == u'\n' || u == u'\r');
    };
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && allowed(p[i]))
        ++i;
    if (i == n)
        return text.toUtf8();
    QString kept;
    kept.reserve(n);
    kept.append(QStringView(p, i));
    for (; i < n; ++i)
        if (allowed(p[i]))
            kept.append(QChar(p[i]));
    qWarning("Warning: %lld characters that XML cannot hold were dropped from the text of %s",
             static_cast<long long>(n - kept.size()),
             elementName ? reinterpret_cast<const char *>(elementName) : "");
    return kept.toUtf8();
}

} // namespace XMLDetail

XMLDocument::XMLDocument() : XMLDocument(Arena::create()) {}

XMLDocument::XMLDocument(Arena *arena) : m_arena(arena)
{
    m_arena->retain();
}

XMLDocument::XMLDocument(XMLElement root) : XMLDocument()
{
    setRootElement(std::move(root));
}

XMLDocument::XMLDocument(XMLDocument &&other) noexcept
    : m_arena(std::exchange(other.m_arena, nullptr))
{}

XMLDocument &XMLDocument::operator=(XMLDocument &&other) noexcept
{
    if (this != &other) {
        if (m_arena)
            m_arena->release();
        m_arena = std::exchange(other.m_arena, nullptr);
    }
    return *this;
}

XMLDocument::~XMLDocument()
{
    if (m_arena)
        m_arena->release();
}

std::optional<XMLDocument> XMLDocument::parse(const QByteArray &xml, QString *error)
{
    xmlDocPtr doc = parseToXmlDoc(xml, error);
    if (!doc)
        return std::nullopt;
    return XMLDocument(new Arena(doc));
}

std::optional<XMLDocument> XMLDocument::parseFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return parse(file.readAll(), error);
}

XMLElement XMLDocument::rootElement() const
{
    if (!m_arena)
        return XMLElement();
    return XMLElement(xmlDocGetRootElement(m_arena->doc));
}

XMLElement XMLDocument::setRootElement(XMLElement root)
{
    if (!m_arena) {
        m_arena = Arena::create();
        m_arena->retain();
    }
    if (root.isNull())
        return XMLElement();
    xmlNodePtr old = xmlDocGetRootElement(m_arena->doc);
    if (root.m_node == old)
        return root;
    if (!m_arena->move(root.m_node, nullptr, [this, old](xmlNodePtr node) {
            if (old)
                xmlAddPrevSibling(old, node);
            else
                xmlAddChild(reinterpret_cast<xmlNodePtr>(m_arena->doc), node);
        }))
        return XMLElement();
    if (old)
        m_arena->releaseNode(old);
    return root;
}

QByteArray XMLDocument::xmlData() const
{
    return m_arena ? dumpDocument(m_arena->doc) : QByteArray();
}

xmlDocPtr XMLDocument::xmlDoc() const
{
    return m_arena ? m_arena->doc : nullptr;
}

XMLElement XMLDocument::elementForNode(xmlNodePtr node) const
{
    if (!m_arena || !node || node->doc != m_arena->doc)
        return XMLElement();
    return XMLElement(node);
}
