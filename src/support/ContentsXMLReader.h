#pragma once

#include "support/XMLElement.h"

#include <QByteArray>
#include <QByteArrayMatcher>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

typedef struct _xmlTextReader xmlTextReader;
class ReadAheadStream;

// A pull reader over an XML stream (libxml2's xmlTextReader) that never holds
// the whole text or a tree of the whole document. The caller walks the
// elements it knows: it enters a container element, steps through its child
// elements, and for each either enters it, expands it into a small
// XMLElement of its own (value readers and unknown children kept as
// fragments), or skips it. The parse options are those of XMLDocument, and
// white space between elements is dropped from expanded elements alike.
//
//     if (reader.readRootElement() && reader.enterElement())
//         while (reader.nextChildElement())
//             if (reader.name() == "maps") ... else kept.append(reader.expandElement());
class ContentsXMLReader
{
public:
    // Fills up to `max` bytes: the count, 0 at the end, -1 on failure.
    using ReadFunction = std::function<qint64(char *data, qint64 max)>;

    // Bounds on what the text is refused for before the parser sees it: no
    // document of the format has a prolog or epilogue of more than a few
    // lines, nor an attribute on any element.
    static constexpr qint64 maxBytesOutsideRoot = qint64(1) << 20;
    static constexpr int maxAttributes = 256;

    // Blank runs between tags that the expanded elements would drop anyway
    // are taken out before the parser sees them; the parser's line numbers
    // then count only the lines kept.
    enum Blanks { DropBlanksBetweenTags, KeepBlanks };
    // The read function and the guarding of the text (the bounds below and
    // the blanks) may run on a thread of their own, a few pieces ahead of
    // the parser, so that making the bytes and parsing them overlap.
    enum Thread { ReadOnThisThread, ReadAheadOnAThread };

    explicit ContentsXMLReader(ReadFunction read, Blanks blanks = DropBlanksBetweenTags,
                               Thread thread = ReadOnThisThread);

    // An element the caller enters, named by the kind of the element it is
    // in (the root element is of kind 0), and its own kind.
    struct Entered
    {
        int in;
        QByteArray name;
        int kind;
    };
    // The text is parsed as well on a thread of its own, a bounded way
    // ahead of the caller, blanks between tags dropped: the elements of
    // `entered` come as their starts and ends, every other element whole.
    // The caller walks them as it would walk the text; it may enter any
    // element, expand any, and is told the parser's errors and lines.
    ContentsXMLReader(ReadFunction read, QList<Entered> entered);
    ~ContentsXMLReader();
    ContentsXMLReader(const ContentsXMLReader &) = delete;
    ContentsXMLReader &operator=(const ContentsXMLReader &) = delete;

    // Moves to the root element; false when there is none.
    bool readRootElement();
    // The current element's name.
    QString name() const;
    bool nameIs(const char *utf8Name) const;
    // The name as the parser holds it (UTF-8), valid until the reader moves.
    const char *utf8Name() const;
    // Element depth of the current element (the root is 0).
    int depth() const;

    // Enters the current element so that nextChildElement() steps through
    // its children; false when it has none (an empty element), which
    // leaves the element done.
    bool enterElement();
    // Moves to the next child element of the innermost entered element,
    // passing over text, comments and whatever the last child left unread.
    // False at the end of the entered element, which is then left.
    bool nextChildElement();
    // The current element with everything below it, in a tree of its own;
    // the reader moves past it. Null on failure.
    XMLElement expandElement();
    // The same appended as the last child of `parent`, an element of a tree
    // of ours, so that many small elements share one tree; returns the copy.
    xmlNodePtr expandElementInto(const XMLElement &parent);
    // The current element with everything below it as the reader holds it,
    // without a copy: valid until the reader moves on, which skipElement()
    // then does. Null on failure.
    xmlNodePtr expandInPlace();
    // The current element without children (name, attributes, namespaces).
    XMLElement shallowCopy() const;
    // Moves past the current element.
    void skipElement();
    // After the root element is done: checks that nothing malformed follows.
    bool readToEnd();

    bool hasError() const { return m_failed; }
    // The parser's message and line, or the stream's.
    QString errorString() const { return m_error; }
    // Blank bytes taken out between tags so far.
    qint64 droppedBlankBytes() const;
    // The error of reading a whole text with its blanks, as its lines are
    // numbered in the file; empty when it reads.
    static QString errorReadingAll(ReadFunction read);

private:
    bool read();
    bool fail(const QString &message);
    static int readCallback(void *context, char *buffer, int length);
    // The text as the guard passes it on: the count, 0 at the end, -1 on failure.
    qint64 guardedRead(char *data, qint64 max);
    static void errorCallback(void *context, const struct _xmlError *error);
    void expandEntities(struct _xmlNode *copy, struct _xmlDoc *declarations) const;

    class MarkupGuard;
    class ParseAhead;
    struct Level;
    // The walk over what ParseAhead parsed.
    bool pull(); // the next record as the current node; false at the end
    void release();
    bool aheadNext();
    void aheadSkip();
    xmlNodePtr aheadExpand();

    ReadFunction m_read;
    std::unique_ptr<MarkupGuard> m_guard;
    xmlTextReader *m_reader = nullptr;
    QList<int> m_entered;      // depths of the entered elements
    bool m_positioned = false; // the reader already stands on the next node
    bool m_current = false;    // an unconsumed child element is current
    bool m_failed = false;
    bool m_streamFailed = false;
    // Of the guarded reading, wherever it runs.
    std::vector<char> m_text; // guarded text not yet taken
    qint64 m_textSize = 0;
    qint64 m_textAt = 0;
    qint64 m_rawStatus = 1; // 0 once the stream ended, -1 once it failed
    QByteArray m_held;      // a blank run to be passed on with the next bytes
    QString m_guardError;   // why the guard refused the text
    QString m_error;
    mutable qsizetype m_entityBytes = 0; // text that entity references expanded to
    // Of the walk over what was parsed ahead.
    xmlNodePtr m_node = nullptr;    // the current node
    int m_nodeDepth = -1;
    int m_nodeKind = 0;             // how the current node came: see ParseAhead
    xmlNodePtr m_released = nullptr; // a start freed when the walk moves on
    std::vector<Level> m_levels;
    mutable QByteArray m_qualifiedName;
    // Last, so that their threads stop before what they use goes, the parse first.
    std::unique_ptr<ReadAheadStream> m_ahead;
    std::unique_ptr<ParseAhead> m_parsed;
};

// Counts the start tags of one element name in a stream of XML text without
// parsing it (a name inside a comment or CDATA section counts too), and
// checks that the text is UTF-8. Fed in chunks of any size.
class StartTagCounter
{
public:
    explicit StartTagCounter(const QByteArray &elementName);
    void feed(const char *data, qint64 size);
    // Call once after the last chunk.
    void finish();
    qint64 count() const { return m_count; }
    bool isValidUtf8() const { return m_validUtf8; }
    // Where the text stops being UTF-8 (bytes from its start), and whether it
    // begins with the byte-order mark of UTF-16.
    qint64 firstInvalidByte() const { return m_firstInvalid; }
    bool isUtf16() const { return m_utf16; }
    qint64 size() const { return m_size; }

private:
    qint64 countIn(QByteArrayView text, qsizetype startLimit) const;
    void countTags(QByteArrayView data);
    void validate(QByteArrayView data);

    QByteArray m_pattern; // "<name"
    QByteArrayMatcher m_matcher;
    QByteArray m_carry;     // the end of the previous chunk
    QByteArray m_utf8Carry; // an incomplete UTF-8 sequence
    qint64 m_count = 0;
    qint64 m_size = 0;
    qint64 m_firstInvalid = -1;
    bool m_validUtf8 = true;
    bool m_utf16 = false;
};
