#include "support/ContentsXMLReader.h"

#include "support/ReadAheadStream.h"
#include "support/XMLArena.h"
#include "support/XMLDocument.h"

#include <QByteArrayView>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>

// Follows the markup of the text as it streams past, before the parser sees
// it, and refuses what would cost the parser out of all proportion: blank
// space or other text outside the root element, which libxml2 holds, and
// elements with more attributes than any document has, whose duplicate
// check is quadratic. It follows start and end tags, comments, CDATA,
// processing instructions and the document type with its internal subset;
// the parser still judges whether the text is well-formed.
//
// It also takes out the indentation between tags, about half of a saved
// text, which the parser would otherwise make into text nodes only for them
// to be dropped: a blank run after a start, end or empty-element tag inside
// the root and before a start tag, or before an end tag where an element
// closed in between (so the element has element children). Runs before a
// comment, CDATA section or instruction, runs after one, and blank leaves
// (a start tag, blanks, its end tag) are passed on as they are.
class ContentsXMLReader::MarkupGuard
{
public:
    explicit MarkupGuard(bool dropBlanks) : m_dropBlanks(dropBlanks) {}

    // Takes the text in place, blanks between tags taken out: the bytes
    // kept, or -1 when the text is refused (error() says why). A blank run
    // that the bytes end before it can be told apart goes to `held`, up to
    // `maxHeld` bytes, and is to come first in the next feed.
    qint64 feed(char *begin, qint64 n, QByteArray *held, qint64 maxHeld)
    {
        char *p = begin;
        char *end = begin + n;
        char *out = begin;        // where kept bytes go
        const char *from = begin; // the kept bytes not yet moved to `out`
        const auto drop = [&](const char *at, const char *to) {
            const qint64 kept = at - from;
            if (out != from && kept > 0)
                std::memmove(out, from, size_t(kept));
            out += kept;
            from = to;
        };
        while (p < end) {
            if (m_state == Text) {
                if (m_blanksAfter != NoTag) {
                    const After after = std::exchange(m_blanksAfter, NoTag);
                    char *q = p;
                    while (q < end && isSpace(*q))
                        ++q;
                    if (q + 1 >= end && (q == end || *q == '<')) {
                        // Told apart only by what follows: held for the next feed.
                        if (held && end - p <= maxHeld) {
                            m_blanksAfter = after;
                            held->append(p, end - p);
                            drop(p, p);
                            end = p;
                            break;
                        }
                    } else if (q != p && *q == '<' && q[1] != '!' && q[1] != '?' &&
                               (q[1] != '/' || after == EndOfElement)) {
                        m_dropped.fetch_add(q - p, std::memory_order_relaxed);
                        drop(p, q);
                        p = q;
                    }
                }
                const char *lt = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
                const char *stop = lt ? lt : end;
                if (m_depth == 0 && !outside(stop - p))
                    return -1;
                if (!lt)
                    break;
                p = const_cast<char *>(lt) + 1;
                if (m_depth == 0 && !outside(1))
                    return -1;
                m_state = Lt;
                continue;
            }
            // Runs that only the next special character ends are taken whole.
            if (const char *stop = runEnd(p, end); stop != p) {
                if (m_depth == 0 && !outside(stop - p))
                    return -1;
                if (m_state == StartTag)
                    for (const char *r = stop; r-- > p;)
                        if (!isSpace(*r)) {
                            m_last = *r;
                            break;
                        }
                p = const_cast<char *>(stop);
                continue;
            }
            const char c = *p++;
            if (m_depth == 0 && !outside(1))
                return -1;
            if (!step(c))
                return -1;
        }
        drop(end, end);
        return out - begin;
    }
    qint64 droppedBytes() const { return m_dropped.load(std::memory_order_relaxed); }
    const QString &error() const { return m_error; }

private:
    // The tag a blank run follows.
    enum After {
        NoTag,        // none whose following blanks may go
        StartOfLeaf,  // a start tag: blanks up to its end tag are its text
        EndOfElement, // an end tag or an empty-element tag
    };

    enum State {
        Text,
        Lt,
        StartTag,
        TagQuote,
        EndTag,
        Bang,
        BangDash,
        Comment,
        CData,
        Instruction,
        Declaration,
        DeclarationQuote,
        DeclarationLt,
        DeclarationBang,
        DeclarationBangDash,
    };

    bool outside(qint64 n)
    {
        m_outside += n;
        if (m_outside <= maxBytesOutsideRoot)
            return true;
        m_error =
            QStringLiteral("more than %1 bytes outside the root element").arg(maxBytesOutsideRoot);
        return false;
    }

    bool tooManyAttributes()
    {
        m_error = QStringLiteral("an element with more than %1 attributes").arg(maxAttributes);
        return false;
    }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    // Where the run of characters that step() would pass over without a
    // change of state ends: p itself when the next one matters.
    const char *runEnd(const char *p, const char *end) const
    {
        switch (m_state) {
        case StartTag:
            while (p < end && *p != '"' && *p != '\'' && *p != '=' && *p != '>')
                ++p;
            return p;
        case TagQuote: {
            const void *q = std::memchr(p, m_quote, size_t(end - p));
            return q ? static_cast<const char *>(q) : end;
        }
        case EndTag: {
            const void *q = std::memchr(p, '>', size_t(end - p));
            return q ? static_cast<const char *>(q) : end;
        }
        default:
            return p;
        }
    }

    bool step(char c)
    {
        switch (m_state) {
        case Text:
            break;
        case Lt:
            if (c == '/') {
                m_state = EndTag;
            } else if (c == '!') {
                m_state = Bang;
            } else if (c == '?') {
                m_state = Instruction;
                m_back = Text;
                m_run = 0;
            } else {
                m_state = StartTag;
                m_attributes = 0;
                m_last = c;
            }
            break;
        case StartTag:
            if (c == '"' || c == '\'') {
                m_quote = c;
                m_state = TagQuote;
            } else if (c == '=') {
                if (++m_attributes > maxAttributes)
                    return tooManyAttributes();
            } else if (c == '>') {
                if (m_last != '/')
                    ++m_depth;
                m_state = Text;
                if (m_dropBlanks && m_depth > 0)
                    m_blanksAfter = m_last == '/' ? EndOfElement : StartOfLeaf;
            }
            if (!isSpace(c))
                m_last = c;
            break;
        case TagQuote:
            if (c == m_quote)
                m_state = StartTag;
            break;
        case EndTag:
            if (c == '>') {
                if (m_depth > 0)
                    --m_depth;
                m_state = Text;
                if (m_dropBlanks && m_depth > 0)
                    m_blanksAfter = EndOfElement;
            }
            break;
        case Bang:
            if (c == '-') {
                m_state = BangDash;
            } else if (c == '[') {
                m_state = CData;
                m_run = 0;
            } else {
                m_state = Declaration;
                m_brackets = 0;
                return step(c);
            }
            break;
        case BangDash:
            m_state = c == '-' ? Comment : Declaration;
            m_back = Text;
            m_run = 0;
            m_brackets = 0;
            break;
        case Comment:
            // Ends at "-->".
            if (c == '>' && m_run >= 2)
                m_state = m_back;
            m_run = c == '-' ? m_run + 1 : 0;
            break;
        case CData:
            // Ends at "]]>".
            if (c == '>' && m_run >= 2)
                m_state = Text;
            m_run = c == ']' ? m_run + 1 : 0;
            break;
        case Instruction:
            // Ends at "?>".
            if (c == '>' && m_run >= 1)
                m_state = m_back;
            m_run = c == '?' ? 1 : 0;
            break;
        case Declaration:
            if (c == '"' || c == '\'') {
                m_quote = c;
                m_attributes = 0;
                m_state = DeclarationQuote;
            } else if (c == '[') {
                ++m_brackets;
            } else if (c == ']') {
                --m_brackets;
            } else if (c == '<' && m_brackets > 0) {
                m_state = DeclarationLt;
            } else if (c == '>' && m_brackets <= 0) {
                m_state = Text;
            }
            break;
        case DeclarationQuote:
            // An entity's text may hold a tag that the parser reads when
            // the entity is used.
            if (c == m_quote)
                m_state = Declaration;
            else if (c == '=' && ++m_attributes > maxAttributes)
                return tooManyAttributes();
            break;
        case DeclarationLt:
            if (c == '?') {
                m_state = Instruction;
                m_back = Declaration;
                m_run = 0;
            } else {
                m_state = c == '!' ? DeclarationBang : Declaration;
            }
            break;
        case DeclarationBang:
            m_state = c == '-' ? DeclarationBangDash : Declaration;
            if (m_state == Declaration)
                return step(c);
            break;
        case DeclarationBangDash:
            m_state = c == '-' ? Comment : Declaration;
            m_back = Declaration;
            m_run = 0;
            break;
        }
        return true;
    }

    const bool m_dropBlanks;
    State m_state = Text;
    State m_back = Text; // where a comment or instruction returns to
    After m_blanksAfter = NoTag;
    std::atomic<qint64> m_dropped = 0; // read while the text is guarded on another thread
    qint64 m_depth = 0;
    qint64 m_outside = 0;
    int m_attributes = 0;
    int m_brackets = 0;
    int m_run = 0;
    char m_quote = 0;
    char m_last = 0;
    QString m_error;
};

// Keeps the first error the parser reports, with its line, as a failed
// read tells it.
static void keepFirstError(QString &kept, const struct _xmlError *error)
{
    if (!error || error->level < XML_ERR_ERROR || !kept.isEmpty())
        return;
    // The push parser says "extra content" of a text that stops inside its
    // elements: that text was cut short.
    const auto *parser = static_cast<const xmlParserCtxt *>(error->ctxt);
    if (error->domain == XML_FROM_PARSER && error->code == XML_ERR_DOCUMENT_END && parser &&
        parser->nameNr > 0 && parser->name) {
        kept = QStringLiteral("its text ends early, inside <%1>")
                   .arg(QString::fromUtf8(reinterpret_cast<const char *>(parser->name)));
        if (error->line > 0)
            kept += QStringLiteral(" (line %1)").arg(error->line);
        return;
    }
    kept = error->message ? QString::fromUtf8(error->message).trimmed()
                          : QStringLiteral("not well-formed");
    if (error->line > 0)
        kept += QStringLiteral(" (line %1)").arg(error->line);
}

// Parses the guarded text on a thread of its own into records that the
// caller's walk takes in order: the start and the end of each element the
// caller enters, and every other element whole, detached from the parser's
// tree. The parser is libxml2's, with the options, messages and lines of the
// pull reader; only its tree is built here instead of there. Nodes are made
// and freed on this thread only (the caller hands back those it is done
// with), and the parser's document keeps no ids that a freed node would
// look for.
class ContentsXMLReader::ParseAhead
{
public:
    // Other: text, a comment or the like between the children of an
    // entered element; InTree: a node below one that came whole.
    enum Kind : int { Start, Whole, End, Other, InTree };
    struct Record
    {
        xmlNodePtr node; // Start: a copy without children; Whole, Other: the node
        int depth;
        Kind kind;
    };

    ParseAhead(ContentsXMLReader &owner, QList<Entered> entered)
        : m_owner(owner), m_entered(std::move(entered))
    {
        m_thread = std::thread([this] { run(); });
    }

    ~ParseAhead()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
        for (xmlNodePtr node : m_garbage)
            xmlFreeNode(node);
        for (xmlNodePtr node : m_returned)
            xmlFreeNode(node);
        for (const std::vector<Record> &batch : m_ready)
            for (const Record &record : batch)
                free(record);
        for (qsizetype i = m_takeAt; i < qsizetype(m_taking.size()); ++i)
            free(m_taking[size_t(i)]);
        if (m_doc)
            xmlFreeDoc(m_doc);
    }

    static void free(const Record &record)
    {
        if (record.kind != End)
            xmlFreeNode(record.node);
    }

    // Nodes the caller is done with go back to be freed where they were
    // made: memory freed on another thread than the one that took it costs
    // both threads a lock of the allocator on every node.
    void discard(xmlNodePtr node)
    {
        if (node)
            m_garbage.push_back(node);
    }
    void discard(const Record &record)
    {
        if (record.kind != End)
            m_garbage.push_back(record.node);
    }

    // The next record; false at the end of what was parsed, ok() then telling
    // whether the text was read whole.
    bool take(Record *record)
    {
        if (m_takeAt == qsizetype(m_taking.size())) {
            m_taking.clear();
            m_takeAt = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_ready.empty() || m_done; });
                if (m_returned.empty())
                    m_returned.swap(m_garbage);
                if (m_ready.empty())
                    return false;
                // The batch read goes back to be filled again.
                if (m_taking.capacity() > 0)
                    m_spare.push_back(std::move(m_taking));
                m_taking = std::move(m_ready.front());
                m_ready.pop_front();
            }
            m_changed.notify_all();
            if (m_taking.empty())
                return false;
        }
        // The nodes were made on another core: asked for a few records
        // ahead, they arrive while the caller reads those before them.
        const std::size_t size = m_taking.size();
        if (const std::size_t far = std::size_t(m_takeAt) + 16; far < size)
            __builtin_prefetch(m_taking[far].node);
        if (const std::size_t near = std::size_t(m_takeAt) + 8; near < size)
            if (const xmlNodePtr node = m_taking[near].node; node && node->children) {
                __builtin_prefetch(node->children);
                __builtin_prefetch(node->children->next);
            }
        *record = m_taking[size_t(m_takeAt++)];
        return true;
    }

    // After take() returned false.
    bool ok() const { return m_ok; }
    const QString &error() const { return m_error; }

private:
    void run()
    {
        xmlSAXHandler sax;
        std::memset(&sax, 0, sizeof sax);
        xmlSAXVersion(&sax, 2);
        sax.startElementNs = startElement;
        sax.endElementNs = endElement;
        // Names come from the parser's dictionary and short texts live in
        // their nodes, so that a node costs one allocation. Only this thread
        // frees nodes or looks words up, and the caller changes none it is
        // handed: it copies what it keeps.
        const int options =
            (XMLDetail::parseOptions() & ~XML_PARSE_NOBLANKS & ~XML_PARSE_NODICT) |
            XML_PARSE_COMPACT;
        constexpr qint64 piece = qint64(1) << 16;
        std::vector<char> buffer(static_cast<std::size_t>(piece));
        qint64 n = m_owner.m_ahead->read(buffer.data(), piece);
        // The parser tells the encoding from the first bytes, as the pull reader does.
        const int first = int(std::clamp<qint64>(n, 0, 4));
        xmlParserCtxtPtr ctxt =
            xmlCreatePushParserCtxt(&sax, nullptr, buffer.data(), first, nullptr);
        bool streamFailed = false;
        bool parsed = false;
        if (ctxt) {
            xmlCtxtUseOptions(ctxt, options);
            // No ids: a freed attribute would look for its id in the parser's document.
            ctxt->loadsubset |= XML_SKIP_IDS;
            ctxt->sax->serror = [](void *context, auto error) { errorCallback(context, error); };
            ctxt->_private = this;
            ctxt->linenumbers = 1;
            m_ctxt = ctxt;
            qint64 offset = first;
            for (;;) {
                if (n < 0) {
                    streamFailed = true;
                    break;
                }
                const int status =
                    xmlParseChunk(ctxt, buffer.data() + offset, int(n - offset), n == 0);
                if (!publish() || status != 0 || !ctxt->wellFormed || m_failed)
                    break;
                if (n == 0) {
                    parsed = m_rootEnded;
                    break;
                }
                offset = 0;
                n = m_owner.m_ahead->read(buffer.data(), piece);
            }
            m_doc = ctxt->myDoc;
            ctxt->myDoc = nullptr;
            m_ctxt = nullptr;
            xmlFreeParserCtxt(ctxt); // with the nodes kept for use again
        }
        QString error = m_parserError;
        if (streamFailed) {
            // What the guard refused for was set before the failure was passed on.
            // libxml2 tells a failed read without a message, which the pull
            // reader reports as this.
            if (error.isEmpty())
                error = m_owner.m_guardError;
            if (error.isEmpty())
                error = QStringLiteral("not well-formed");
        } else if (!ctxt && error.isEmpty()) {
            error = QStringLiteral("out of memory");
        } else if (!parsed && error.isEmpty()) {
            error = m_rootStarted ? QStringLiteral("the document ends early")
                                  : QStringLiteral("no root element");
        }
        {
            const std::lock_guard lock(m_mutex);
            if (!m_filling.empty())
                m_ready.push_back(std::move(m_filling));
            m_filling.clear();
            m_done = true;
            m_ok = parsed && !streamFailed;
            m_error = error;
        }
        m_changed.notify_all();
    }

    // Hands over what was parsed, waiting while the caller is far behind;
    // false once the caller stopped.
    bool publish()
    {
        // About 4 MB of text ahead at most.
        constexpr std::size_t maxReady = 64;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_ready.size() < maxReady; });
            if (m_stop)
                return false;
            m_recycling.swap(m_returned);
            if (!m_filling.empty()) {
                m_ready.push_back(std::move(m_filling));
                m_filling.clear();
                if (!m_spare.empty()) {
                    m_filling = std::move(m_spare.back());
                    m_spare.pop_back();
                }
                lock.unlock();
                m_changed.notify_all();
            }
        }
        for (xmlNodePtr node : m_recycling)
            recycle(node);
        m_recycling.clear();
        return true;
    }

    // A node handed back is kept for the parser to use again, as its pull
    // reader keeps them: most nodes are then neither allocated nor freed,
    // and the allocator is not left with thousands of small pieces to sort
    // out at its next large request.
    void recycle(xmlNodePtr top)
    {
        constexpr int maxKept = 1 << 16;
        xmlDictPtr dict = m_ctxt->dict;
        m_walk.clear();
        m_walk.push_back(top);
        while (!m_walk.empty()) {
            xmlNodePtr node = m_walk.back();
            m_walk.pop_back();
            if ((node->type != XML_ELEMENT_NODE && node->type != XML_TEXT_NODE) ||
                m_ctxt->freeElemsNr >= maxKept) {
                xmlFreeNode(node); // with what it holds
                continue;
            }
            if (node->type == XML_ELEMENT_NODE) {
                for (xmlNodePtr child = node->children; child; child = child->next)
                    m_walk.push_back(child);
                if (node->properties)
                    xmlFreePropList(node->properties);
                if (node->nsDef)
                    xmlFreeNsList(node->nsDef);
                if (node->name && !xmlDictOwns(dict, node->name))
                    xmlFree(const_cast<xmlChar *>(node->name));
            } else if (node->content &&
                       node->content != reinterpret_cast<xmlChar *>(&node->properties) &&
                       !xmlDictOwns(dict, node->content)) {
                xmlFree(node->content);
            }
            // The parser clears a node it takes from the list.
            node->next = m_ctxt->freeElems;
            m_ctxt->freeElems = node;
            ++m_ctxt->freeElemsNr;
        }
    }

    static void errorCallback(void *context, const struct _xmlError *error)
    {
        auto *ctxt = static_cast<xmlParserCtxtPtr>(context);
        keepFirstError(static_cast<ParseAhead *>(ctxt->_private)->m_parserError, error);
    }

    int enteredKind(const xmlChar *name) const
    {
        const int in = m_kinds.back();
        for (const Entered &entered : m_entered)
            if (entered.in == in && xmlStrEqual(name, BAD_CAST entered.name.constData()))
                return entered.kind;
        return -1;
    }

    static void startElement(void *context, const xmlChar *localname, const xmlChar *prefix,
                             const xmlChar *uri, int namespaces, const xmlChar **nsList,
                             int attributes, int defaulted, const xmlChar **attributeList)
    {
        auto *ctxt = static_cast<xmlParserCtxtPtr>(context);
        auto *self = static_cast<ParseAhead *>(ctxt->_private);
        xmlNodePtr parent = ctxt->node;
        xmlSAX2StartElementNs(context, localname, prefix, uri, namespaces, nsList, attributes,
                              defaulted, attributeList);
        xmlNodePtr node = ctxt->node;
        if (!node || node == parent) {
            self->m_failed = true; // out of memory, told by the parser
            xmlStopParser(ctxt);
            return;
        }
        if (uri || namespaces > 0)
            self->m_namespaces = true;
        if (self->m_wholeDepth > 0) {
            ++self->m_wholeDepth;
            return;
        }
        // The caller compares names as written, prefix and all.
        const int kind = self->m_kinds.empty() ? 0 : prefix ? -1 : self->enteredKind(localname);
        if (kind < 0) {
            self->m_wholeDepth = 1;
            return;
        }
        self->m_rootStarted = true;
        const int depth = int(self->m_kinds.size());
        if (parent && depth > 0)
            self->handOverOthers(parent, node, depth);
        self->m_kinds.push_back(kind);
        xmlNodePtr copy = xmlDocCopyNode(node, node->doc, 2);
        if (!copy) {
            self->m_failed = true;
            self->m_parserError = QStringLiteral("out of memory");
            xmlStopParser(ctxt);
            return;
        }
        self->m_filling.push_back({copy, depth, Start});
    }

    static void endElement(void *context, const xmlChar *localname, const xmlChar *prefix,
                           const xmlChar *uri)
    {
        auto *ctxt = static_cast<xmlParserCtxtPtr>(context);
        auto *self = static_cast<ParseAhead *>(ctxt->_private);
        xmlNodePtr node = ctxt->node;
        xmlSAX2EndElementNs(context, localname, prefix, uri);
        if (!node || self->m_failed)
            return;
        const int depth = int(self->m_kinds.size());
        if (self->m_wholeDepth > 0) {
            if (--self->m_wholeDepth == 0)
                self->handOver(node, depth);
            return;
        }
        self->handOverOthers(node, nullptr, depth);
        self->m_kinds.pop_back();
        self->m_filling.push_back({nullptr, depth - 1, End});
        if (depth == 1)
            self->m_rootEnded = true;
        xmlUnlinkNode(node);
        xmlFreeNode(node);
    }

    // Namespaces declared above the element, which stay with the parser's
    // tree, are declared again on it for what it holds.
    static void declareOutsideNamespaces(xmlNodePtr top)
    {
        std::vector<xmlNsPtr> outside;
        for (xmlNodePtr up = top->parent; up && up->type == XML_ELEMENT_NODE; up = up->parent)
            for (xmlNsPtr ns = up->nsDef; ns; ns = ns->next)
                outside.push_back(ns);
        if (outside.empty())
            return;
        std::vector<std::pair<xmlNsPtr, xmlNsPtr>> moved;
        const auto own = [&](xmlNsPtr ns) -> xmlNsPtr {
            if (!ns || std::find(outside.begin(), outside.end(), ns) == outside.end())
                return ns;
            for (const auto &[from, to] : moved)
                if (from == ns)
                    return to;
            // A prefix the element declares itself shadows the outer one
            // for all it holds, so this does not fail but for memory.
            xmlNsPtr to = xmlNewNs(top, ns->href, ns->prefix);
            moved.emplace_back(ns, to);
            return to;
        };
        std::vector<xmlNodePtr> stack{top};
        while (!stack.empty()) {
            xmlNodePtr node = stack.back();
            stack.pop_back();
            if (node->type != XML_ELEMENT_NODE)
                continue;
            node->ns = own(node->ns);
            for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next)
                attribute->ns = own(attribute->ns);
            for (xmlNodePtr child = node->children; child; child = child->next)
                stack.push_back(child);
        }
    }

    // What an entered element holds before `until` besides its elements
    // (they went before): text, comments and the like, which a caller that
    // expands the element gets too.
    void handOverOthers(xmlNodePtr parent, xmlNodePtr until, int depth)
    {
        while (parent->children && parent->children != until) {
            xmlNodePtr other = parent->children;
            xmlUnlinkNode(other);
            m_filling.push_back({other, depth, Other});
        }
    }

    void handOver(xmlNodePtr node, int depth)
    {
        if (node->parent)
            handOverOthers(node->parent, node, depth);
        if (m_namespaces)
            declareOutsideNamespaces(node);
        xmlUnlinkNode(node);
        XMLDetail::dropInterElementBlanks(node);
        m_filling.push_back({node, depth, Whole});
    }

    ContentsXMLReader &m_owner;
    const QList<Entered> m_entered;
    // The parsing thread's.
    std::vector<int> m_kinds; // of the entered elements open
    int m_wholeDepth = 0;     // elements open in the one that comes whole
    bool m_namespaces = false;
    bool m_failed = false;
    bool m_rootStarted = false;
    bool m_rootEnded = false;
    QString m_parserError;
    std::vector<Record> m_filling;
    // Shared.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<Record>> m_ready;
    bool m_stop = false;
    bool m_done = false;
    bool m_ok = false;
    QString m_error;
    std::vector<xmlNodePtr> m_returned; // what the caller is done with
    std::vector<std::vector<Record>> m_spare; // batches read, to be filled again
    // The parsing thread's, again.
    xmlParserCtxtPtr m_ctxt = nullptr;
    std::vector<xmlNodePtr> m_recycling; // handed back, to be used again
    std::vector<xmlNodePtr> m_walk;
    // The caller's.
    std::vector<xmlNodePtr> m_garbage;
    std::vector<Record> m_taking;
    qsizetype m_takeAt = 0;
    // The parser's document, which the nodes handed over still name; freed last.
    xmlDocPtr m_doc = nullptr;
    std::thread m_thread;
};

struct ContentsXMLReader::Level
{
    int depth;
    xmlNodePtr tree;  // the element entered when its children are in a tree; else null
    xmlNodePtr at;    // the child of the tree the walk stands on
    xmlNodePtr owned; // a whole element freed when the level is left
};

ContentsXMLReader::ContentsXMLReader(ReadFunction read, Blanks blanks, Thread thread)
    : m_read(std::move(read)),
      m_guard(std::make_unique<MarkupGuard>(blanks == DropBlanksBetweenTags))
{
    if (thread == ReadAheadOnAThread)
        m_ahead = std::make_unique<ReadAheadStream>(
            [this](char *data, qint64 max) { return guardedRead(data, max); });
    // Blanks are kept while parsing and dropped from expanded elements the
    // way XMLDocument drops them, so that leaf text stays as written. The
    // reader's own nodes never leave it uncopied, so its names may come from
    // a dictionary: a name is not copied and freed for every element.
    const int options = XMLDetail::parseOptions() & ~XML_PARSE_NOBLANKS & ~XML_PARSE_NODICT;
    m_reader = xmlReaderForIO(readCallback, nullptr, this, nullptr, nullptr, options);
    if (!m_reader) {
        fail(QStringLiteral("out of memory"));
        return;
    }
    // The error is const from libxml2 2.12 on.
    xmlTextReaderSetStructuredErrorHandler(
        m_reader, [](void *context, auto error) { errorCallback(context, error); }, this);
}

ContentsXMLReader::ContentsXMLReader(ReadFunction read, QList<Entered> entered)
    : m_read(std::move(read)), m_guard(std::make_unique<MarkupGuard>(true))
{
    m_ahead = std::make_unique<ReadAheadStream>(
        [this](char *data, qint64 max) { return guardedRead(data, max); });
    m_parsed = std::make_unique<ParseAhead>(*this, std::move(entered));
}

ContentsXMLReader::~ContentsXMLReader()
{
    if (m_parsed) {
        release();
        for (const Level &level : m_levels)
            m_parsed->discard(level.owned);
        if (m_current && m_nodeKind == ParseAhead::Whole)
            m_parsed->discard(m_node);
        // The parse stops before the text it reads goes.
        m_parsed.reset();
    }
    if (m_reader)
        xmlFreeTextReader(m_reader);
}

void ContentsXMLReader::release()
{
    if (m_released)
        m_parsed->discard(std::exchange(m_released, nullptr));
}

bool ContentsXMLReader::pull()
{
    release();
    ParseAhead::Record record;
    if (!m_parsed->take(&record)) {
        m_node = nullptr;
        return fail(m_parsed->ok() ? QStringLiteral("the document ends early")
                                   : m_parsed->error());
    }
    m_node = record.node;
    m_nodeDepth = record.depth;
    m_nodeKind = record.kind;
    // A start without children is the current node until the walk moves on.
    if (record.kind == ParseAhead::Start)
        m_released = record.node;
    return true;
}

bool ContentsXMLReader::aheadNext()
{
    if (m_current)
        skipElement();
    if (m_failed)
        return false;
    Level &level = m_levels.back();
    if (level.tree) {
        xmlNodePtr next = level.at ? level.at->next : level.tree->children;
        while (next && next->type != XML_ELEMENT_NODE)
            next = next->next;
        if (next) {
            level.at = next;
            m_node = next;
            m_nodeDepth = level.depth + 1;
            m_nodeKind = ParseAhead::InTree;
            m_current = true;
            return true;
        }
        m_node = level.tree;
        m_nodeDepth = level.depth;
        m_nodeKind = ParseAhead::InTree;
        if (level.owned) {
            // The element stays the current node until the walk moves on.
            release();
            m_released = level.owned;
        }
        m_levels.pop_back();
        return false;
    }
    do {
        if (m_nodeKind == ParseAhead::Other)
            m_parsed->discard(m_node);
        if (!pull())
            return false;
    } while (m_nodeKind == ParseAhead::Other);
    if (m_nodeKind == ParseAhead::End && m_nodeDepth == level.depth) {
        m_levels.pop_back();
        return false;
    }
    if (m_nodeKind == ParseAhead::End || m_nodeDepth != level.depth + 1)
        return fail(QStringLiteral("unexpected end of element"));
    m_current = true;
    return true;
}

void ContentsXMLReader::aheadSkip()
{
    m_current = false;
    if (m_nodeKind == ParseAhead::Whole) {
        release();
        m_released = m_node;
        return;
    }
    if (m_nodeKind != ParseAhead::Start)
        return;
    const int depth = m_nodeDepth;
    while (pull()) {
        if (m_nodeKind == ParseAhead::End && m_nodeDepth == depth)
            return;
        if (m_nodeKind == ParseAhead::Whole || m_nodeKind == ParseAhead::Other)
            m_released = m_node;
    }
}

xmlNodePtr ContentsXMLReader::aheadExpand()
{
    if (m_nodeKind != ParseAhead::Start)
        return m_node;
    // An element the caller enters, asked for whole: made whole from its
    // records. The nodes are linked by hand: libxml2 would merge and free
    // text nodes, which only the parsing thread may free.
    xmlNodePtr root = std::exchange(m_released, nullptr);
    const int depth = m_nodeDepth;
    std::vector<xmlNodePtr> open{root};
    const auto isBlank = [](xmlNodePtr node) {
        if (node->type != XML_TEXT_NODE || !node->content)
            return false;
        for (const xmlChar *c = node->content; *c; ++c)
            if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r')
                return false;
        return true;
    };
    while (pull()) {
        if (m_nodeKind == ParseAhead::End) {
            // Blanks beside elements go, as they go from an expanded element.
            xmlNodePtr done = open.back();
            bool elements = false;
            for (xmlNodePtr c = done->children; c && !elements; c = c->next)
                elements = c->type == XML_ELEMENT_NODE;
            for (xmlNodePtr c = done->children; c && elements;) {
                xmlNodePtr next = c->next;
                if (isBlank(c)) {
                    xmlUnlinkNode(c);
                    m_parsed->discard(c);
                }
                c = next;
            }
            open.pop_back();
            if (m_nodeDepth == depth)
                break;
            continue;
        }
        xmlNodePtr node = m_nodeKind == ParseAhead::Start ? std::exchange(m_released, nullptr)
                                                          : m_node;
        xmlNodePtr parent = open.back();
        node->parent = parent;
        node->prev = parent->last;
        if (parent->last)
            parent->last->next = node;
        else
            parent->children = node;
        parent->last = node;
        if (m_nodeKind == ParseAhead::Start)
            open.push_back(node);
    }
    if (m_failed) {
        m_parsed->discard(root);
        return nullptr;
    }
    m_node = root;
    m_nodeDepth = depth;
    m_nodeKind = ParseAhead::Whole;
    m_current = true;
    return root;
}

int ContentsXMLReader::readCallback(void *context, char *buffer, int length)
{
    auto *self = static_cast<ContentsXMLReader *>(context);
    const qint64 max = std::max(length, 0);
    const qint64 n =
        self->m_ahead ? self->m_ahead->read(buffer, max) : self->guardedRead(buffer, max);
    if (n < 0) {
        // What the guard refused for was set before the failure was passed on.
        if (self->m_error.isEmpty())
            self->m_error = self->m_guardError;
        self->m_streamFailed = true;
        return -1;
    }
    return int(std::min(n, max));
}

qint64 ContentsXMLReader::guardedRead(char *data, qint64 max)
{
    // The text is guarded in pieces far larger than a blank run held back
    // between them, so that every piece brings new bytes.
    constexpr qint64 piece = qint64(1) << 16;
    constexpr qint64 maxHeld = 1024;
    while (m_textAt == m_textSize) {
        if (m_rawStatus <= 0)
            return m_rawStatus;
        const qint64 held = m_held.size();
        m_text.resize(size_t(held + piece));
        if (held > 0)
            std::memcpy(m_text.data(), m_held.constData(), size_t(held));
        m_held.clear();
        const qint64 n = std::min(m_read(m_text.data() + held, piece), piece);
        if (n < 0) {
            m_rawStatus = -1;
            return -1;
        }
        if (n == 0)
            m_rawStatus = 0;
        m_textAt = 0;
        m_textSize = m_guard->feed(m_text.data(), held + n, n == 0 ? nullptr : &m_held, maxHeld);
        if (m_textSize < 0) {
            m_guardError = m_guard->error();
            m_textSize = 0;
            m_rawStatus = -1;
            return -1;
        }
    }
    const qint64 n = std::min(max, m_textSize - m_textAt);
    std::memcpy(data, m_text.data() + m_textAt, size_t(n));
    m_textAt += n;
    return n;
}

qint64 ContentsXMLReader::droppedBlankBytes() const
{
    return m_guard->droppedBytes();
}

QString ContentsXMLReader::errorReadingAll(ReadFunction read)
{
    ContentsXMLReader reader(std::move(read), KeepBlanks, ReadAheadOnAThread);
    if (reader.readRootElement())
        reader.readToEnd();
    return reader.m_error;
}

void ContentsXMLReader::errorCallback(void *context, const struct _xmlError *error)
{
    keepFirstError(static_cast<ContentsXMLReader *>(context)->m_error, error);
}

bool ContentsXMLReader::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
    m_failed = true;
    return false;
}

bool ContentsXMLReader::read()
{
    if (m_failed)
        return false;
    const int status = xmlTextReaderRead(m_reader);
    if (status == 1)
        return true;
    if (m_streamFailed)
        return fail(QStringLiteral("the document could not be read"));
    if (status < 0)
        return fail(QStringLiteral("not well-formed"));
    return fail(QStringLiteral("the document ends early"));
}

bool ContentsXMLReader::readRootElement()
{
    if (m_failed)
        return false;
    if (m_parsed) {
        if (!pull())
            return false;
        m_current = m_nodeKind == ParseAhead::Start && m_nodeDepth == 0;
        return m_current || fail(QStringLiteral("no root element"));
    }
    while (read())
        if (xmlTextReaderNodeType(m_reader) == XML_READER_TYPE_ELEMENT) {
            m_current = true;
            return true;
        }
    if (m_error == QLatin1String("the document ends early"))
        m_error = QStringLiteral("no root element");
    return false;
}

QString ContentsXMLReader::name() const
{
    if (m_parsed)
        return QString::fromUtf8(utf8Name());
    const xmlChar *n = m_reader ? xmlTextReaderConstName(m_reader) : nullptr;
    return n ? QString::fromUtf8(reinterpret_cast<const char *>(n)) : QString();
}

const char *ContentsXMLReader::utf8Name() const
{
    if (m_parsed) {
        if (!m_node)
            return "";
        if (!m_node->ns || !m_node->ns->prefix)
            return reinterpret_cast<const char *>(m_node->name);
        m_qualifiedName = QByteArray(reinterpret_cast<const char *>(m_node->ns->prefix)) + ':' +
                          reinterpret_cast<const char *>(m_node->name);
        return m_qualifiedName.constData();
    }
    const xmlChar *n = m_reader ? xmlTextReaderConstName(m_reader) : nullptr;
    return n ? reinterpret_cast<const char *>(n) : "";
}

bool ContentsXMLReader::nameIs(const char *utf8Name) const
{
    if (m_parsed)
        return m_node && (!m_node->ns || !m_node->ns->prefix) &&
               xmlStrEqual(m_node->name, BAD_CAST utf8Name);
    const xmlChar *n = m_reader ? xmlTextReaderConstName(m_reader) : nullptr;
    return n && xmlStrEqual(n, BAD_CAST utf8Name);
}

int ContentsXMLReader::depth() const
{
    if (m_parsed)
        return m_node ? m_nodeDepth : -1;
    return m_reader ? xmlTextReaderDepth(m_reader) : -1;
}

bool ContentsXMLReader::enterElement()
{
    if (m_failed || !m_current)
        return false;
    m_current = false;
    if (m_parsed) {
        if (m_nodeKind == ParseAhead::Start) {
            m_levels.push_back({m_nodeDepth, nullptr, nullptr, nullptr});
        } else {
            m_levels.push_back({m_nodeDepth, m_node, nullptr,
                                m_nodeKind == ParseAhead::Whole ? m_node : nullptr});
        }
        return true;
    }
    m_positioned = false;
    if (xmlTextReaderIsEmptyElement(m_reader))
        return false;
    m_entered.append(xmlTextReaderDepth(m_reader));
    return true;
}

bool ContentsXMLReader::nextChildElement()
{
    if (m_parsed)
        return !m_failed && !m_levels.empty() && aheadNext();
    if (m_failed || m_entered.isEmpty())
        return false;
    if (m_current)
        skipElement();
    const int parentDepth = m_entered.last();
    for (;;) {
        if (m_positioned)
            m_positioned = false;
        else if (!read())
            return false;
        const int type = xmlTextReaderNodeType(m_reader);
        const int d = xmlTextReaderDepth(m_reader);
        if (type == XML_READER_TYPE_ELEMENT && d == parentDepth + 1) {
            m_current = true;
            return true;
        }
        if (type == XML_READER_TYPE_END_ELEMENT && d == parentDepth) {
            m_entered.removeLast();
            return false;
        }
        if (d <= parentDepth)
            return fail(QStringLiteral("unexpected end of element"));
    }
}

XMLElement ContentsXMLReader::expandElement()
{
    if (m_failed || !m_current)
        return XMLElement();
    xmlNodePtr node = m_parsed ? aheadExpand() : xmlTextReaderExpand(m_reader);
    if (!node && m_parsed)
        return XMLElement();
    if (!node) {
        fail(QStringLiteral("not well-formed"));
        return XMLElement();
    }
    XMLDocument document;
    xmlNodePtr copy = xmlDocCopyNode(node, document.xmlDoc(), 1);
    if (!copy) {
        fail(QStringLiteral("out of memory"));
        return XMLElement();
    }
    xmlDocSetRootElement(document.xmlDoc(), copy);
    expandEntities(copy, node->doc);
    XMLDetail::dropInterElementBlanks(copy);
    skipElement();
    return document.rootElement();
}

xmlNodePtr ContentsXMLReader::expandInPlace()
{
    if (m_failed || !m_current)
        return nullptr;
    if (m_parsed)
        return aheadExpand(); // blanks were dropped as it was parsed
    xmlNodePtr node = xmlTextReaderExpand(m_reader);
    if (!node) {
        fail(QStringLiteral("not well-formed"));
        return nullptr;
    }
    XMLDetail::dropInterElementBlanks(node);
    return node;
}

xmlNodePtr ContentsXMLReader::expandElementInto(const XMLElement &parent)
{
    if (m_failed || !m_current || parent.isNull())
        return nullptr;
    xmlNodePtr node = m_parsed ? aheadExpand() : xmlTextReaderExpand(m_reader);
    if (!node && m_parsed)
        return nullptr;
    if (!node) {
        fail(QStringLiteral("not well-formed"));
        return nullptr;
    }
    xmlNodePtr copy = xmlDocCopyNode(node, parent.doc(), 1);
    if (!copy) {
        fail(QStringLiteral("out of memory"));
        return nullptr;
    }
    xmlAddChild(parent.node(), copy);
    XMLDetail::dropInterElementBlanks(copy);
    skipElement();
    return copy;
}

XMLElement ContentsXMLReader::shallowCopy() const
{
    if (m_parsed ? m_failed || !m_node || m_nodeKind == ParseAhead::End
                 : m_failed || !m_reader ||
                       xmlTextReaderNodeType(m_reader) != XML_READER_TYPE_ELEMENT)
        return XMLElement();
    xmlNodePtr node = m_parsed ? m_node : xmlTextReaderCurrentNode(m_reader);
    XMLDocument document;
    xmlNodePtr copy = node ? xmlDocCopyNode(node, document.xmlDoc(), 2) : nullptr;
    if (!copy)
        return XMLElement();
    xmlDocSetRootElement(document.xmlDoc(), copy);
    expandEntities(copy, node->doc);
    return document.rootElement();
}

void ContentsXMLReader::expandEntities(xmlNodePtr copy, xmlDocPtr declarations) const
{
    // The copy left the declarations behind in the reader's document: a
    // reference would read as nothing and be written undeclared.
    if (XMLDetail::hasEntityReferences(copy))
        XMLDetail::expandEntityReferences(copy, declarations, &m_entityBytes);
}

void ContentsXMLReader::skipElement()
{
    if (m_failed || !m_current)
        return;
    if (m_parsed) {
        aheadSkip();
        return;
    }
    m_current = false;
    const int status = xmlTextReaderNext(m_reader);
    if (status == 1)
        m_positioned = true;
    else if (m_streamFailed)
        fail(QStringLiteral("the document could not be read"));
    else
        fail(status < 0 ? QStringLiteral("not well-formed")
                        : QStringLiteral("the document ends early"));
}

bool ContentsXMLReader::readToEnd()
{
    if (m_failed)
        return false;
    if (m_parsed) {
        if (m_current)
            aheadSkip();
        for (const Level &level : m_levels)
            if (level.owned) {
                release();
                m_released = level.owned;
            }
        m_levels.clear();
        ParseAhead::Record record;
        release();
        while (m_parsed->take(&record))
            m_parsed->discard(record);
        m_node = nullptr;
        if (m_parsed->ok())
            return true;
        return fail(m_parsed->error());
    }
    m_current = false;
    m_positioned = false;
    for (;;) {
        const int status = xmlTextReaderRead(m_reader);
        if (status == 0)
            return true;
        if (status < 0)
            return fail(m_streamFailed ? QStringLiteral("the document could not be read")
                                       : QStringLiteral("not well-formed"));
    }
}

StartTagCounter::StartTagCounter(const QByteArray &elementName)
    : m_pattern('<' + elementName), m_matcher(m_pattern)
{}

namespace {

bool endsTagName(char c)
{
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

qint64 StartTagCounter::countIn(QByteArrayView text, qsizetype startLimit) const
{
    qint64 count = 0;
    const qsizetype length = m_pattern.size();
    for (qsizetype at = m_matcher.indexIn(text, 0); at >= 0 && at < startLimit;
         at = m_matcher.indexIn(text, at + 1)) {
        if (at + length >= text.size())
            break; // the next chunk tells whether the name ends here
        if (endsTagName(text[at + length]))
            ++count;
    }
    return count;
}

void StartTagCounter::countTags(QByteArrayView data)
{
    // A tag that the previous chunk cut starts in the carried bytes.
    if (!m_carry.isEmpty()) {
        const QByteArray junction =
            QByteArray(m_carry).append(data.first(std::min(data.size(), m_pattern.size())));
        m_count += countIn(junction, m_carry.size());
    }
    m_count += countIn(data, data.size());
    if (data.size() >= m_pattern.size())
        m_carry = data.last(m_pattern.size()).toByteArray();
    else
        m_carry = QByteArray(m_carry).append(data).right(m_pattern.size());
}

namespace {

// The index of the first byte of `text` that does not start or continue a
// well-formed UTF-8 sequence; its size when every byte does.
qsizetype firstNonUtf8(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        const uchar c = uchar(text[i]);
        const qsizetype length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > text.size() ||
            !text.sliced(i, length).isValidUtf8())
            return i;
        i += length;
    }
    return i;
}

} // namespace

void StartTagCounter::validate(QByteArrayView view)
{
    const qint64 at = m_size - view.size(); // where this chunk starts in the text
    if (at == 0 && view.size() >= 2 &&
        ((uchar(view[0]) == 0xFF && uchar(view[1]) == 0xFE) ||
         (uchar(view[0]) == 0xFE && uchar(view[1]) == 0xFF)))
        m_utf16 = true;
    if (!m_utf8Carry.isEmpty()) {
        // Complete the sequence the previous chunk cut.
        const uchar lead = uchar(m_utf8Carry[0]);
        const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const qint64 carryStart = at - m_utf8Carry.size();
        const qsizetype need = std::min(length - m_utf8Carry.size(), view.size());
        m_utf8Carry += view.first(need);
        view = view.sliced(need);
        if (m_utf8Carry.size() < length)
            return;
        if (!QByteArrayView(m_utf8Carry).isValidUtf8()) {
            m_validUtf8 = false;
            m_firstInvalid = carryStart;
            return;
        }
        m_utf8Carry.clear();
    }
    // Hold back a sequence that this chunk cuts.
    qsizetype end = view.size();
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, view.size()); ++back) {
        const uchar c = uchar(view[view.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        if (c >= 0xC0 && (c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2) > back)
            end = view.size() - back;
        break;
    }
    if (!view.first(end).isValidUtf8()) {
        m_validUtf8 = false;
        m_firstInvalid = m_size - view.size() + firstNonUtf8(view.first(end));
    } else
        m_utf8Carry = view.sliced(end).toByteArray();
}

void StartTagCounter::feed(const char *data, qint64 size)
{
    // Chunks are taken in pieces a view can hold.
    while (size > 0) {
        const qsizetype n = qsizetype(std::min<qint64>(size, qint64(1) << 30));
        const QByteArrayView view(data, n);
        m_size += n;
        countTags(view);
        if (m_validUtf8)
            validate(view);
        data += n;
        size -= n;
    }
}

void StartTagCounter::finish()
{
    if (!m_utf8Carry.isEmpty() && m_validUtf8) {
        m_validUtf8 = false;
        m_firstInvalid = m_size - m_utf8Carry.size();
    }
    m_utf8Carry.clear();
}
