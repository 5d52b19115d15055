#pragma once

#include "support/XMLElement.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

// Writes an XML document as it goes, in exactly the pretty-printed UTF-8 form
// of XMLDocument::xmlData(): the declaration, two spaces of indentation per
// level (no deeper than libxml2 indents), empty elements as "<name/>", text
// leaves on one line; or, set so, in the compact form of
// XMLDocument::compactXmlData(), with nothing between elements. Large
// documents are written element by element through it; small elements
// (XMLElement) are written whole where they belong.
class XMLStreamWriter
{
public:
    // Takes the text in order; false stops the writer.
    using Sink = std::function<bool(const char *data, qint64 size)>;

    // Takes a large piece of text as it is, sharing it; false stops the writer.
    using PieceSink = std::function<bool(const QByteArray &piece)>;

    // The sink gets the text in pieces of at most `room` bytes.
    explicit XMLStreamWriter(Sink sink, qsizetype room = 256 * 1024);
    // Large pieces (appendPiece) then go to `pieces` uncopied, in order with
    // what goes to the sink.
    void setPieceSink(PieceSink pieces) { m_pieceSink = std::move(pieces); }
    ~XMLStreamWriter();
    XMLStreamWriter(const XMLStreamWriter &) = delete;
    XMLStreamWriter &operator=(const XMLStreamWriter &) = delete;

    // Line breaks and indentation between elements (the default), or none:
    // set before the first element.
    void setIndented(bool indented) { m_indented = indented; }
    bool indented() const { return m_indented; }

    void writeStartDocument();
    void writeStartElement(QAnyStringView name);
    // The start tag of this element, attributes and namespaces included; its
    // children are not written.
    void writeStartElement(const XMLElement &element);
    // As writeStartElement(), the name kept uncopied: it must outlive the element.
    void writeStaticStartElement(const char *name);
    void writeEndElement();
    // <name>text</name> of UTF-8 text XML can hold, escaped when `escape`
    // says it may need it; <name></name> for an empty text.
    void writeTextLeaf(const char *name, const char *utf8, qsizetype size, bool escape);
    // <name>text</name>, or <name/> for an empty text.
    void writeTextElement(QAnyStringView name, const QString &text);
    // A whole element at the current place.
    void writeElement(const XMLElement &element);
    // A whole element of any libxml2 tree at the current place.
    void writeNode(xmlNodePtr node);
    // Closes what is open and hands everything to the sink; false when the
    // sink failed at any point.
    bool writeEndDocument();

    // A fingerprint of text written: CRC-32 and Adler-32 with the length.
    // Elements named as identifiers are taken by the order in which each
    // value first appeared, so that the same text with its objects numbered
    // afresh gives the same fingerprint; ignored elements' text is left out.
    // Large pieces of text are taken on a worker thread, in order, while
    // the writer goes on; toHex() waits for them.
    class Digest
    {
    public:
        Digest();
        Digest(QList<QByteArray> identifiers, QList<QByteArray> ignored);
        ~Digest();
        Digest(const Digest &) = delete;
        Digest &operator=(const Digest &) = delete;
        // Bytes taken as they are.
        void add(const char *data, qint64 size);
        // Text in order, in pieces of any size.
        void addText(const char *data, qint64 size);
        void addText(const QByteArray &text);
        // 32 hex digits and the length, the text's end taken first.
        QByteArray toHex();

    private:
        struct State;
        // Shared with the pieces queued for the worker, which never reach
        // into the frame that owns the digest.
        std::shared_ptr<State> m_state;
    };
    // The text written from here to stopDigest() is added to `digest`, which
    // may gather several stretches; one stretch at a time.
    void startDigest(Digest *digest);
    void stopDigest();

    int depth() const { return int(m_open.size()); }
    bool failed() const { return m_failed; }
    // An element would have nested deeper than the readers of the program
    // accept (XMLDetail::maxElementDepth, the root at depth 1): the writer
    // failed rather than write text that cannot be read back.
    bool tooDeep() const { return m_tooDeep; }
    qint64 bytesWritten() const { return m_written + m_used; }

    // One text written in pieces by several writers (on several threads)
    // and joined in order: each piece's writer resumes inside the elements
    // open where the piece goes, and the joining writer takes the pieces'
    // text as written, then goes on inside the elements the last left open.
    struct OpenElement
    {
        QByteArray name;
        bool hasChildren = false;
    };
    using OpenElements = QList<OpenElement>;
    OpenElements openElements() const { return m_open; }
    void resumeInside(OpenElements open) { m_open = std::move(open); }
    // Hands on what is held, leaving the elements open; false when failed.
    bool flushPiece();
    // A piece's text; `failed` and `tooDeep` say how its writing ended.
    void appendPiece(const QByteArray &text, bool failed, bool tooDeep);

private:
    using Open = OpenElement;
    // Most calls bring a few bytes, which the room left takes at once.
    void append(const char *data, qint64 size)
    {
        if (size < m_room - m_used) {
            std::memcpy(m_buffer.get() + m_used, data, size_t(size));
            m_used += qsizetype(size);
            return;
        }
        appendAcross(data, size);
    }
    // What fills the room, handed on as it fills.
    void appendAcross(const char *data, qint64 size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // Text content, escaped as libxml2 writes it.
    void appendEscaped(const char *p, const char *end);
    void beginChild();
    // False, and the writer failed, when an element at `elementDepth` could not be read.
    bool checkDepth(qsizetype elementDepth);
    void flush();
    // writeNode() of a tree of plain elements and text, without libxml2.
    void writePlainTree(xmlNodePtr root);
    static int writeToBuffer(void *context, const char *data, int size);

    Sink m_sink;
    PieceSink m_pieceSink;
    qsizetype m_room;
    std::unique_ptr<char[]> m_buffer; // what the sink has not had yet
    qsizetype m_used = 0;
    QList<Open> m_open;
    xmlOutputBufferPtr m_xmlOutput = nullptr;
    qint64 m_written = 0;
    Digest *m_digest = nullptr;
    qsizetype m_digestFrom = 0;   // where in the buffer the stretch goes on
    bool m_digestPending = false; // the stretch begins with the next element
    bool m_failed = false;
    bool m_tooDeep = false;
    bool m_indented = true;
};

// Where the writer of an element puts it: a libxml2 tree (XMLNodeOut), for
// callers that keep nodes (the clipboard, LinkBack, the element routes), or
// the streamed text of a save (XMLStreamOut). Each element has one writer,
// which both serve; the stream gives the bytes the tree pretty-prints to.
//
// Names are not copied: they must outlive the element they open (string
// literals and static tables do).
class XMLOut
{
public:
    virtual ~XMLOut() = default;

    // Opens a child of the current element; what follows goes into it until
    // endElement().
    virtual void startElement(const char *name) = 0;
    virtual void endElement() = 0;
    // <name>text</name>, the characters XML cannot hold left out. A null text
    // gives <name/>, an empty one <name></name>.
    virtual void textElement(const char *name, const QString &text) = 0;
    // An element without children: <name/>.
    void emptyElement(const char *name)
    {
        startElement(name);
        endElement();
    }
    // Numbers as the files hold them: reals with six decimals, integers in
    // decimal, booleans as YES and NO.
    void realElement(const char *name, double value);
    void integerElement(const char *name, long long value);
    void boolElement(const char *name, bool value);
    // A part that only a libxml2 writer makes: `build` appends its elements
    // to the parent it is given.
    virtual void nodes(const std::function<void(xmlNodePtr parent)> &build) = 0;
    // Nothing more is taken (a stream whose sink failed): writers may stop early.
    virtual bool failed() const { return false; }

protected:
    // Text of digits, signs, points and letters only, ended by a NUL:
    // nothing to escape or leave out.
    virtual void plainTextElement(const char *name, const char *text, qsizetype size) = 0;
};

// Appends the elements to a libxml2 tree below `parent`.
class XMLNodeOut final : public XMLOut
{
public:
    explicit XMLNodeOut(xmlNodePtr parent) : m_open{parent} {}
    // The last element opened directly below the parent, or nullptr.
    xmlNodePtr lastElement() const { return m_last; }

    void startElement(const char *name) override;
    void endElement() override;
    void textElement(const char *name, const QString &text) override;
    void nodes(const std::function<void(xmlNodePtr parent)> &build) override;

protected:
    void plainTextElement(const char *name, const char *text, qsizetype size) override;

private:
    std::vector<xmlNodePtr> m_open;
    xmlNodePtr m_last = nullptr;
};

// Writes the elements through a stream writer at its current place.
class XMLStreamOut final : public XMLOut
{
public:
    explicit XMLStreamOut(XMLStreamWriter &writer) : m_writer(writer) {}
    ~XMLStreamOut() override;

    void startElement(const char *name) override;
    void endElement() override;
    void textElement(const char *name, const QString &text) override;
    void nodes(const std::function<void(xmlNodePtr parent)> &build) override;
    bool failed() const override;

protected:
    void plainTextElement(const char *name, const char *text, qsizetype size) override;

private:
    XMLStreamWriter &m_writer;
    xmlDocPtr m_scratch = nullptr; // holds what nodes() builds, made on first use
};
