#include "support/ContentsXMLReader.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

#include <cstring>
#include <functional>

#include <libxml/tree.h>

namespace {

// Elements entered by kind: a root (0) holds lists (1), a list holds items
// (2), an item holds lists again.
const QList<ContentsXMLReader::Entered> entered{{0, "list", 1}, {1, "item", 2}, {2, "list", 1}};

enum Action { Enter, Expand, InPlace, Skip };
using Walk = std::function<Action(const QByteArray &name, int depth)>;

QString print(xmlNodePtr node)
{
    if (!node)
        return QStringLiteral("null");
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, node->doc, node, 0, 0);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    return text;
}

ContentsXMLReader::ReadFunction readerOf(const QByteArray &text, qint64 chunk,
                                         qint64 failAt = -1)
{
    auto at = std::make_shared<qint64>(0);
    return [text, chunk, failAt, at](char *data, qint64 max) -> qint64 {
        if (failAt >= 0 && *at >= failAt)
            return -1;
        qint64 n = std::min({max, chunk, qint64(text.size()) - *at});
        if (failAt >= 0)
            n = std::min(n, failAt - *at);
        std::memcpy(data, text.constData() + *at, size_t(n));
        *at += n;
        return n;
    };
}

// What a walk met: each element, what was asked of it, and how it ended.
QStringList walkLog(ContentsXMLReader &reader, const Walk &action)
{
    QStringList log;
    if (!reader.readRootElement())
        return {QStringLiteral("error ") + reader.errorString()};
    std::function<void()> visit = [&] {
        const QByteArray name = reader.utf8Name();
        log << QStringLiteral("%1 %2 %3").arg(reader.depth()).arg(QString::fromUtf8(name),
                                                                 reader.name());
        switch (action(name, reader.depth())) {
        case Enter:
            log << QStringLiteral("shallow ") + reader.shallowCopy().xmlString();
            if (reader.enterElement())
                while (reader.nextChildElement())
                    visit();
            log << QStringLiteral("left");
            break;
        case Expand:
            log << QStringLiteral("expanded ") + reader.expandElement().xmlString();
            break;
        case InPlace:
            log << QStringLiteral("in place ") + print(reader.expandInPlace());
            reader.skipElement();
            break;
        case Skip:
            reader.skipElement();
            break;
        }
    };
    visit();
    log << (reader.readToEnd() ? QStringLiteral("end") : QStringLiteral("error ") + reader.errorString());
    return log;
}

// The same, a line each, as a test prints it.
std::string walk(ContentsXMLReader &reader, const Walk &action)
{
    return walkLog(reader, action).join('\n').toStdString();
}

// How the walk ended.
std::string ending(ContentsXMLReader &reader, const Walk &action)
{
    return walkLog(reader, action).last().toStdString();
}

QByteArray items(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "<item><name>n" + QByteArray::number(i) + "</name>\n  <size>  " +
                QByteArray::number(i * 7) + " </size></item>\n";
    return text;
}

} // namespace

// The parsed-ahead walk meets what the pull reader on this thread meets,
// however the caller walks and whatever the text holds.
TEST(ContentsXMLReaderAhead, WalksAsThePullReaderDoes)
{
    const Walk asEntered = [](const QByteArray &name, int depth) {
        return depth == 0 || name == "list" || name == "item" ? Enter : Expand;
    };
    const Walk everythingEntered = [](const QByteArray &, int) { return Enter; };
    const Walk listsWhole = [](const QByteArray &name, int depth) {
        return depth == 0 ? Enter : name == "list" ? Expand : Enter;
    };
    const Walk inPlace = [](const QByteArray &name, int depth) {
        return depth == 0 || name == "list" ? Enter : name == "item" ? InPlace : Skip;
    };
    const Walk skipLists = [](const QByteArray &name, int depth) {
        return depth == 0 ? Enter : name == "list" ? Skip : Expand;
    };
    const QByteArray nested = "<?xml version=\"1.0\"?>\n<root a=\"1\">\n  <first>x &amp; y</first>\n"
                              "  <list>\n" +
                              items(3) +
                              "<item><list><item><deep>1</deep></item></list>"
                              "<!-- note --> <other k='v'><x/>  <y>t</y></other></item>"
                              "  </list>\n  <list/><list></list>\n  <last> </last>\n</root>\n";
    struct Case
    {
        const char *what;
        QByteArray text;
        Walk action;
    };
    const Case cases[] = {
        {"entered as the grammar enters", nested, asEntered},
        {"every element entered, those that came whole too", nested, everythingEntered},
        {"entered elements expanded whole", nested, listsWhole},
        {"elements used where they were parsed", nested, inPlace},
        {"entered elements skipped", nested, skipLists},
        {"many items across pieces", "<root><list>" + items(5000) + "</list></root>", asEntered},
        // An element that came whole holds the declarations it needs; only
        // its copy without children may then show more of them.
        {"namespaces declared above elements that come whole",
         "<root xmlns:p=\"urn:p\" xmlns=\"urn:d\"><list><item><p:name p:a=\"1\">v</p:name>"
         "<name>w</name></item><p:list><item/></p:list></list></root>",
         asEntered},
        {"entities declared in the document",
         "<!DOCTYPE root [<!ENTITY e \"ent &amp; text\">]>\n<root><list><item><name>a &e; "
         "b</name><v t=\"&e;\"/></item></list><after>&e;</after></root>",
         asEntered},
        {"an empty root", "<root/>", asEntered},
    };
    for (const Case &c : cases) {
        for (const qint64 chunk : {qint64(1) << 20, qint64(5)}) {
            SCOPED_TRACE(testing::Message() << c.what << ", pieces of " << chunk);
            ContentsXMLReader here(readerOf(c.text, chunk));
            ContentsXMLReader ahead(readerOf(c.text, chunk), entered);
            const std::string expected = walk(here, c.action);
            ASSERT_TRUE(QByteArray::fromStdString(expected).endsWith("\nend")) << expected;
            EXPECT_EQ(walk(ahead, c.action), expected);
        }
    }
}

// A damaged text fails with the message and line the pull reader gives,
// wherever the damage lies and however far the caller got.
TEST(ContentsXMLReaderAhead, FailsAsThePullReaderDoes)
{
    const Walk asEntered = [](const QByteArray &name, int depth) {
        return depth == 0 || name == "list" || name == "item" ? Enter : Expand;
    };
    const QByteArray many = "<root><list>" + items(3000) + "</list></root>";
    QByteArray misspelt = many;
    misspelt.replace(misspelt.lastIndexOf("</size>"), 7, "</sise>");
    QByteArray attributes = "<root><list><item><a";
    for (int i = 0; i <= ContentsXMLReader::maxAttributes; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"1\"";
    attributes += "/></item></list></root>";
    struct Case
    {
        const char *what;
        QByteArray text;
        qint64 failAt; // where the stream fails; -1: never
    };
    const Case cases[] = {
        {"an end tag misspelt far down", misspelt, -1},
        {"the text ends inside an element that comes whole", many.left(many.size() / 2), -1},
        {"the text ends inside an entered element", many.left(many.size() - 10), -1},
        {"nothing", "", -1},
        {"no root", "<?xml version=\"1.0\"?>\n<!-- only -->\n", -1},
        {"text after the root", many + "<again/>", -1},
        {"an undeclared entity", "<root><list><item>&nope;</item></list></root>", -1},
        {"more attributes than any document has", attributes, -1},
        {"a stream that fails", many, many.size() / 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ContentsXMLReader here(readerOf(c.text, 4096, c.failAt));
        ContentsXMLReader ahead(readerOf(c.text, 4096, c.failAt), entered);
        const std::string expected = ending(here, asEntered);
        ASSERT_EQ(expected.rfind("error ", 0), 0u) << expected;
        EXPECT_EQ(ending(ahead, asEntered), expected);
        EXPECT_TRUE(ahead.hasError());
    }
}

// A caller that stops early leaves the parse and what it made: nothing
// waits, nothing leaks (the sanitizer build checks).
TEST(ContentsXMLReaderAhead, ACallerMayStopAnywhere)
{
    const QByteArray text = "<root><list>" + items(20000) + "</list><tail/></root>";
    for (const int steps : {0, 1, 2, 3, 50, 5000}) {
        SCOPED_TRACE(steps);
        ContentsXMLReader reader(readerOf(text, 1 << 16), entered);
        ASSERT_TRUE(reader.readRootElement());
        int taken = 0;
        if (steps > 0 && reader.enterElement() && reader.nextChildElement() &&
            reader.enterElement())
            while (++taken < steps && reader.nextChildElement())
                if (taken % 2)
                    reader.expandInPlace(); // left to the reader to free
        EXPECT_FALSE(reader.hasError());
    }
}

// Texts damaged at random, bytes changed, cut or repeated, end as the pull
// reader's do: the same message, or read whole by both.
TEST(ContentsXMLReaderAhead, DamagedAnywhereEndsAsThePullReaderDoes)
{
    const Walk asEntered = [](const QByteArray &name, int depth) {
        return depth == 0 || name == "list" || name == "item" ? Enter : Expand;
    };
    const QByteArray text = "<?xml version=\"1.0\"?>\n<root a=\"1\"><first>x &amp; y</first><list>" +
                            items(4) +
                            "<item><list><item><deep>1</deep></item></list><!-- c --></item>"
                            "</list><last/></root>\n";
    const QByteArray alphabet = "<>/=\"'&;! \n-?[]abx";
    quint32 seed = 12345;
    const auto random = [&seed](quint32 below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = text;
        for (int changes = 1 + int(random(3)); changes > 0; --changes) {
            const qsizetype at = qsizetype(random(quint32(damaged.size())));
            switch (random(3)) {
            case 0:
                damaged[at] = alphabet[qsizetype(random(quint32(alphabet.size())))];
                break;
            case 1:
                damaged.truncate(at);
                break;
            default:
                damaged.insert(at, damaged.mid(at, qsizetype(random(40))));
                break;
            }
            if (damaged.isEmpty())
                break;
        }
        SCOPED_TRACE(damaged.toStdString());
        ContentsXMLReader here(readerOf(damaged, 7));
        ContentsXMLReader ahead(readerOf(damaged, 7), entered);
        EXPECT_EQ(ending(ahead, asEntered), ending(here, asEntered));
    }
}
