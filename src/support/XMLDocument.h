#pragma once

#include "support/XMLElement.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include <libxml/tree.h>

// An owning libxml2 document (version "1.0"). Parsing never touches the
// network, loads no DTD and substitutes no external entities; white space
// between elements is dropped while the text of a leaf element is kept as it
// stands. Libxml2's own error printing is silenced: callers report failures.
class XMLDocument
{
public:
    // An empty document without root element.
    XMLDocument();
    // A document whose root is this element, moved here like addChild.
    explicit XMLDocument(XMLElement root);

    XMLDocument(const XMLDocument &) = delete;
    XMLDocument &operator=(const XMLDocument &) = delete;
    XMLDocument(XMLDocument &&other) noexcept;
    XMLDocument &operator=(XMLDocument &&other) noexcept;
    ~XMLDocument();

    // nullopt when the text is not well-formed XML; *error (when given)
    // then says why.
    static std::optional<XMLDocument> parse(const QByteArray &xml, QString *error = nullptr);
    static std::optional<XMLDocument> parseFile(const QString &path, QString *error = nullptr);

    XMLElement rootElement() const;
    XMLElement setRootElement(XMLElement root);

    // Pretty-printed UTF-8 text beginning with the XML declaration. A
    // document type read from a file is not written (see dumpDocument).
    QByteArray xmlData() const;
    // The same without the line breaks and indentation put between
    // elements: the text of every node as it stands.
    QByteArray compactXmlData() const;

    // The document for the libxml2 route. It stays owned by this object.
    xmlDocPtr xmlDoc() const;
    // A handle on a node of this document.
    XMLElement elementForNode(xmlNodePtr node) const;

private:
    explicit XMLDocument(XMLDetail::Arena *arena);

    XMLDetail::Arena *m_arena = nullptr; // holds a reference
};

namespace XMLDetail {
// Elements nest this deep at most in what is read: far deeper than the
// maps the program writes, and still shallow enough for recursive readers.
inline constexpr int maxElementDepth = 2048;
// Lets libxml2 versions whose limit is set globally read that deep: called
// once at start (registerSupportTypes), before any parse.
void raiseDepthLimit();
// The parser options every XML read of the program uses.
int parseOptions();
// Parses into a new libxml2 document (owned by the caller), with the
// cleanup of inter-element white space applied; nullptr when malformed.
xmlDocPtr parseToXmlDoc(const QByteArray &xml, QString *error = nullptr);
// Pretty-printed UTF-8 dump of a whole libxml2 document, with declaration.
// A document type is left out, so that a foreign one read with a file is
// not carried into every save: entity references in the tree are replaced
// by their text first, which readers see all the same.
QByteArray dumpDocument(xmlDocPtr doc, bool indented = true);
// Whether XML 1.0 can hold the code point: tab, line feed, carriage return
// and everything from U+0020 on but the surrogates, U+FFFE and U+FFFF.
bool isXMLCharacter(char32_t codePoint);
// The text without what XML 1.0 cannot hold (the characters above and
// unpaired surrogates), dropped with a log line naming the element: written
// out, they would make the whole file unreadable.
QString textXMLCanHold(const QString &text, const char *elementName);
// UTF-8 of a text to be stored in an element, cleaned as textXMLCanHold.
QByteArray xmlTextBytes(const QString &text, const xmlChar *elementName);

// Counts the characters textXMLCanHold drops on this thread while it lives,
// so that a writer can tell the user once what its file left out. Scopes
// nest; each counts what was dropped during its own life.
class DroppedCharacters
{
public:
    DroppedCharacters();
    ~DroppedCharacters();
    DroppedCharacters(const DroppedCharacters &) = delete;
    DroppedCharacters &operator=(const DroppedCharacters &) = delete;

    qint64 count() const { return m_count; }
    static void note(qint64 dropped);

private:
    DroppedCharacters *m_outer;
    qint64 m_count = 0;
};
} // namespace XMLDetail
