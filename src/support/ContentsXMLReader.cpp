#include "support/ContentsXMLReader.h"

#include "support/ReadAheadStream.h"
#include "support/XMLArena.h"
#include "support/XMLDocument.h"

#include <QByteArrayView>

#include <libxml/xmlreader.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
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

ContentsXMLReader::~ContentsXMLReader()
{
    if (m_reader)
        xmlFreeTextReader(m_reader);
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
    auto *self = static_cast<ContentsXMLReader *>(context);
    if (!error || error->level < XML_ERR_ERROR || !self->m_error.isEmpty())
        return;
    self->m_error = error->message ? QString::fromUtf8(error->message).trimmed()
                                   : QStringLiteral("not well-formed");
    if (error->line > 0)
        self->m_error += QStringLiteral(" (line %1)").arg(error->line);
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
    const xmlChar *n = m_reader ? xmlTextReaderConstName(m_reader) : nullptr;
    return n ? QString::fromUtf8(reinterpret_cast<const char *>(n)) : QString();
}

const char *ContentsXMLReader::utf8Name() const
{
    const xmlChar *n = m_reader ? xmlTextReaderConstName(m_reader) : nullptr;
    return n ? reinterpret_cast<const char *>(n) : "";
}

bool ContentsXMLReader::nameIs(const char *utf8Name) const
{
    const xmlChar *n = m_reader ? xmlTextReaderConstName(m_reader) : nullptr;
    return n && xmlStrEqual(n, BAD_CAST utf8Name);
}

int ContentsXMLReader::depth() const
{
    return m_reader ? xmlTextReaderDepth(m_reader) : -1;
}

bool ContentsXMLReader::enterElement()
{
    if (m_failed || !m_current)
        return false;
    m_current = false;
    m_positioned = false;
    if (xmlTextReaderIsEmptyElement(m_reader))
        return false;
    m_entered.append(xmlTextReaderDepth(m_reader));
    return true;
}

bool ContentsXMLReader::nextChildElement()
{
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
    xmlNodePtr node = xmlTextReaderExpand(m_reader);
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
    xmlNodePtr node = xmlTextReaderExpand(m_reader);
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
    if (m_failed || !m_reader || xmlTextReaderNodeType(m_reader) != XML_READER_TYPE_ELEMENT)
        return XMLElement();
    xmlNodePtr node = xmlTextReaderCurrentNode(m_reader);
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

void StartTagCounter::validate(QByteArrayView view)
{
    if (!m_utf8Carry.isEmpty()) {
        // Complete the sequence the previous chunk cut.
        const uchar lead = uchar(m_utf8Carry[0]);
        const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const qsizetype need = std::min(length - m_utf8Carry.size(), view.size());
        m_utf8Carry += view.first(need);
        view = view.sliced(need);
        if (m_utf8Carry.size() < length)
            return;
        if (!QByteArrayView(m_utf8Carry).isValidUtf8()) {
            m_validUtf8 = false;
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
    if (!view.first(end).isValidUtf8())
        m_validUtf8 = false;
    else
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
    if (!m_utf8Carry.isEmpty())
        m_validUtf8 = false;
    m_utf8Carry.clear();
}
