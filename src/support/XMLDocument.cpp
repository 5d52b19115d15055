#include "support/XMLDocument.h"

#include "support/BoundedFile.h"

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

void raiseDepthLimit()
{
#if LIBXML_VERSION < 21100
    // Huge mode of these versions lifts the guard against entity expansion
    // with the depth limit, so only the depth limit is raised.
    if (xmlParserMaxDepth < unsigned(maxElementDepth))
        xmlParserMaxDepth = unsigned(maxElementDepth);
#endif
}

int parseOptions()
{
    // No network, no DTD loading, no entity substitution; no dictionary, so
    // that nodes can move between documents; errors reported by the caller.
    // Blanks before markup are dropped while parsing (see keepBlanksBeforeMarkup).
    int options = XML_PARSE_NONET | XML_PARSE_NODICT | XML_PARSE_NOCDATA | XML_PARSE_NOERROR |
                  XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;
#if LIBXML_VERSION >= 21100
    // Here huge mode raises the depth limit to maxElementDepth and keeps the
    // bounds on entity expansion.
    options |= XML_PARSE_HUGE;
#endif
    return options;
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

QByteArray dumpDocument(xmlDocPtr doc, bool indented)
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
    xmlDocDumpFormatMemoryEnc(doc, &memory, &size, "UTF-8", indented ? 1 : 0);
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

bool isXMLCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

namespace {

// The number of UTF-16 units of the character at i that XML can hold: 2 for
// a surrogate pair, 1 for a single unit, 0 for what must go.
int heldUnits(const char16_t *p, qsizetype i, qsizetype n)
{
    const char16_t u = p[i];
    if (QChar::isHighSurrogate(u))
        return i + 1 < n && QChar::isLowSurrogate(p[i + 1]) ? 2 : 0;
    return !QChar::isLowSurrogate(u) && isXMLCharacter(u) ? 1 : 0;
}

} // namespace

QString textXMLCanHold(const QString &text, const char *elementName)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (int units; i < n && (units = heldUnits(p, i, n)) > 0;)
        i += units;
    if (i == n)
        return text;
    QString kept;
    kept.reserve(n);
    kept.append(QStringView(p, i));
    qsizetype dropped = 0;
    while (i < n) {
        const int units = heldUnits(p, i, n);
        if (units == 0)
            ++dropped;
        else
            kept.append(QStringView(p + i, units));
        i += units ? units : 1;
    }
    qWarning("Warning: %lld characters that XML cannot hold were dropped from the text of %s",
             static_cast<long long>(dropped), elementName ? elementName : "");
    DroppedCharacters::note(dropped);
    return kept;
}

namespace {
thread_local DroppedCharacters *t_droppedCharacters = nullptr;
} // namespace

DroppedCharacters::DroppedCharacters() : m_outer(t_droppedCharacters)
{
    t_droppedCharacters = this;
}

DroppedCharacters::~DroppedCharacters()
{
    t_droppedCharacters = m_outer;
}

void DroppedCharacters::note(qint64 dropped)
{
    for (DroppedCharacters *scope = t_droppedCharacters; scope; scope = scope->m_outer)
        scope->m_count += dropped;
}

QByteArray xmlTextBytes(const QString &text, const xmlChar *elementName)
{
    return textXMLCanHold(text, reinterpret_cast<const char *>(elementName)).toUtf8();
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
    const std::optional<QByteArray> bytes =
        BoundedFile::read(path, BoundedFile::MaximumTextFileSize, error);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes, error);
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

QByteArray XMLDocument::compactXmlData() const
{
    return m_arena ? dumpDocument(m_arena->doc, false) : QByteArray();
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
