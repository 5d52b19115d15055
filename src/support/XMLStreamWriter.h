#pragma once

#include "support/XMLElement.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <functional>
#include <memory>

// Writes an XML document as it goes, in exactly the pretty-printed UTF-8 form
// of XMLDocument::xmlData(): the declaration, two spaces of indentation per
// level (no deeper than libxml2 indents), empty elements as "<name/>", text
// leaves on one line. Large documents are written element by element through
// it; small elements (XMLElement) are written whole where they belong.
class XMLStreamWriter
{
public:
    // Takes the text in order; false stops the writer.
    using Sink = std::function<bool(const char *data, qint64 size)>;

    explicit XMLStreamWriter(Sink sink);
    ~XMLStreamWriter();
    XMLStreamWriter(const XMLStreamWriter &) = delete;
    XMLStreamWriter &operator=(const XMLStreamWriter &) = delete;

    void writeStartDocument();
    void writeStartElement(QAnyStringView name);
    // The start tag of this element, attributes and namespaces included; its
    // children are not written.
    void writeStartElement(const XMLElement &element);
    void writeEndElement();
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
    qint64 bytesWritten() const { return m_written + m_buffer.size(); }

private:
    struct Open
    {
        QByteArray name;
        bool hasChildren = false;
    };
    void append(const char *data, qint64 size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    void beginChild();
    // False, and the writer failed, when an element at `elementDepth` could not be read.
    bool checkDepth(qsizetype elementDepth);
    void flush();
    // writeNode() of a tree of plain elements and text, without libxml2.
    void writePlainTree(xmlNodePtr root);
    static int writeToBuffer(void *context, const char *data, int size);

    Sink m_sink;
    QByteArray m_buffer;
    QList<Open> m_open;
    xmlOutputBufferPtr m_xmlOutput = nullptr;
    qint64 m_written = 0;
    Digest *m_digest = nullptr;
    qsizetype m_digestFrom = 0;   // where in the buffer the stretch goes on
    bool m_digestPending = false; // the stretch begins with the next element
    bool m_failed = false;
    bool m_tooDeep = false;
};
