// The pull reader takes the indentation between tags out before the parser
// sees it: every element it expands is the one expanded from the whole text,
// node for node and byte for byte, however the text is cut into reads.
#include "support/ContentsXMLReader.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <cstring>
#include <functional>
#include <optional>

namespace {

// A node as libxml2 writes it, unformatted: blank text shows as it is.
QByteArray exactly(xmlNodePtr node)
{
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, node->doc, node, 0, 0);
    const QByteArray text(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                          xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return text;
}

struct Reading
{
    QByteArray expanded; // every element expanded, in order
    QString error;
    qint64 dropped = 0;
};

// Walks the text as the document reader does: elements whose name starts
// with "group" (and the root) are entered, the others expanded, in turn
// into a tree of their own and where the reader holds them.
Reading readAll(const QByteArray &text, qint64 chunk, ContentsXMLReader::Blanks blanks,
                ContentsXMLReader::Thread thread = ContentsXMLReader::ReadOnThisThread)
{
    qint64 at = 0;
    ContentsXMLReader reader(
        [&](char *data, qint64 max) {
            const qint64 n = std::min({max, chunk, qint64(text.size()) - at});
            std::memcpy(data, text.constData() + at, size_t(n));
            at += n;
            return n;
        },
        blanks, thread);
    Reading reading;
    int turn = 0;
    std::function<void()> walk = [&] {
        while (reader.nextChildElement()) {
            if (QByteArray(reader.utf8Name()).startsWith("group")) {
                reading.expanded += "[" + QByteArray(reader.utf8Name()) + "]";
                if (reader.enterElement())
                    walk();
            } else if (++turn % 2) {
                const XMLElement element = reader.expandElement();
                if (!element.isNull())
                    reading.expanded += exactly(element.node()) + '\n';
            } else if (xmlNodePtr node = reader.expandInPlace()) {
                reading.expanded += exactly(node) + '\n';
                reader.skipElement();
            }
        }
    };
    if (reader.readRootElement() && reader.enterElement())
        walk();
    reader.readToEnd();
    reading.error = reader.hasError() ? reader.errorString() : QString();
    reading.dropped = reader.droppedBlankBytes();
    return reading;
}

// Every cut of the text reads as the whole text with its blanks.
void expectSameWithoutBlanks(const QByteArray &text, std::optional<bool> dropsSome)
{
    const Reading whole = readAll(text, qint64(1) << 30, ContentsXMLReader::KeepBlanks);
    EXPECT_EQ(whole.dropped, 0);
    for (const auto thread :
         {ContentsXMLReader::ReadOnThisThread, ContentsXMLReader::ReadAheadOnAThread}) {
        for (const qint64 chunk :
             {qint64(1), qint64(2), qint64(3), qint64(7), qint64(4096), qint64(1) << 30}) {
            if (chunk < 4 && text.size() > (1 << 16))
                continue; // byte by byte only where it is quick
            SCOPED_TRACE(testing::Message() << "in reads of " << chunk << " on thread " << thread);
            const Reading filtered =
                readAll(text, chunk, ContentsXMLReader::DropBlanksBetweenTags, thread);
            EXPECT_EQ(filtered.expanded, whole.expanded);
            // A damaged text fails alike; only its line may differ.
            EXPECT_EQ(filtered.error.isEmpty(), whole.error.isEmpty())
                << filtered.error.toStdString();
            if (dropsSome) {
                EXPECT_EQ(filtered.dropped > 0, *dropsSome) << filtered.dropped;
            }
        }
    }
}

TEST(ContentsBlanks, ElementsReadAsFromTheWholeText)
{
    struct Case
    {
        const char *what;
        QByteArray text;
        std::optional<bool> dropsSome; // unset: as the reads fall
    };
    const Case cases[] = {
        {"indentation as a save writes it",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <group>\n    <a>1</a>\n"
         "    <b x=\"&gt; y\" />\n    <c>\n      <d>  two  words </d>\n    </c>\n"
         "    <groupInner>\n      <e/>\n    </groupInner>\n  </group>\n  <f/>\n</root>\n",
         true},
        {"leaves of blanks only",
         "<root>\n <a>   </a>\n <b>\t\r\n</b>\n <c><d/> </c>\n <group> </group>\n</root>", true},
        {"blanks beside comments, CDATA and instructions",
         "<root>\n <a> <!-- c --> </a>\n <b> <![CDATA[ x ]]> </b>\n"
         " <c><d/> <![CDATA[ y ]]> <e/></c>\n <f> <?pi x?> <g/> </f>\n <h><!-- i -->\n </h>\n"
         "</root>",
         true},
        {"text among elements",
         "<root><p><b>bold</b> <i>it</i> and <u>u</u>\n</p><q>  <r/>text  </q></root>", true},
        {"entities and references",
         "<!DOCTYPE root [\n <!ENTITY e \"<x/>\">\n <!ENTITY s \"  \">\n]>\n<root>\n"
         " <a>&e;  <y/></a>\n <b>  &s;  </b>\n <c><d/>  &#32;  <f/></c>\n"
         " <g><h/> &amp; <k/></g>\n</root>",
         true},
        {"line ends of two characters", "<root>\r\n  <a>1</a>\r\n  <b>\r\n  </b>\r\n</root>\r\n",
         true},
        {"attributes holding markup and blanks",
         "<root>\n <a t='>  <b>' u=\"/>  \" v = '1'\n >\n  <c/>\n </a>\n</root>", true},
        {"runs longer than a read holds back",
         "<root>" + QByteArray(5000, ' ') + "<a>" + QByteArray(3000, '\n') + "<b/>" +
             QByteArray(2000, '\t') + "</a>" + QByteArray(9000, ' ') + "</root>",
         std::nullopt},
        {"nothing between tags", "<root><a>1</a><b/><group><c/></group></root>", false},
        {"a tag left open", "<root>\n  <a>\n    <b>1</b>\n  </c>\n</root>\n", true},
        {"a text cut short", "<root>\n  <group>\n    <a>1</a>\n    <b>", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        expectSameWithoutBlanks(c.text, c.dropsSome);
    }
}

TEST(ContentsBlanks, FilesOfTheTestsReadAsWhole)
{
    // Documents of other programs and ours, as found and as libxml2
    // indents them.
    QStringList paths;
    for (const char *folder : {"/real", "/damaged"}) {
        const QDir dir(QStringLiteral(THINKWEB_TEST_DATA) + QLatin1String(folder));
        for (const QString &name :
             dir.entryList({QStringLiteral("*.opml"), QStringLiteral("*.xml")}, QDir::Files))
            paths.append(dir.filePath(name));
    }
    ASSERT_GE(paths.size(), 8);
    for (const QString &path : std::as_const(paths)) {
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        xmlDocPtr doc = xmlReadMemory(text.constData(), int(text.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR);
        // A text the parser refuses outright is the refusal tests' concern:
        // how much of it reads before the error depends on the cut.
        if (!doc && path.contains(QLatin1String("/damaged/")))
            continue;
        ASSERT_NE(doc, nullptr);
        expectSameWithoutBlanks(text, std::nullopt);
        xmlChar *indented = nullptr;
        int size = 0;
        xmlDocDumpFormatMemory(doc, &indented, &size, 1);
        expectSameWithoutBlanks(QByteArray(reinterpret_cast<const char *>(indented), size), true);
        xmlFree(indented);
        xmlFreeDoc(doc);
    }
}

} // namespace
