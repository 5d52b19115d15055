#pragma once

#include "support/XMLElement.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QList>
#include <functional>

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

    int depth() const { return int(m_open.size()); }
    bool failed() const { return m_failed; }
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
    void flush();
    static int writeToBuffer(void *context, const char *data, int size);

    Sink m_sink;
    QByteArray m_buffer;
    QList<Open> m_open;
    xmlOutputBufferPtr m_xmlOutput = nullptr;
    qint64 m_written = 0;
    bool m_failed = false;
};
