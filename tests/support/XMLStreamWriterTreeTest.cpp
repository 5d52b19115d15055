#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>

namespace {

// libxml2's own printing of a node at `level`, pretty or compact.
QByteArray dumpedByLibxml2(xmlNodePtr node, int level, bool indented)
{
    xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
    xmlNodeDumpOutput(out, node->doc, node, level, indented ? 1 : 0, "UTF-8");
    xmlOutputBufferFlush(out);
    QByteArray text(reinterpret_cast<const char *>(xmlOutputBufferGetContent(out)),
                    qsizetype(xmlOutputBufferGetSize(out)));
    xmlOutputBufferClose(out);
    return text;
}

QByteArray indent(int level, bool indented)
{
    return indented ? QByteArray(2 * std::min(level, 30), ' ') : QByteArray();
}

// The node written inside `level` open elements, and what libxml2 makes of
// it: compact text has nothing between elements and one line break at its end.
std::pair<QByteArray, QByteArray> writtenAndExpected(xmlNodePtr node, int level,
                                                     bool indented = true)
{
    QByteArray written;
    XMLStreamWriter writer([&written](const char *data, qint64 size) {
        written.append(data, qsizetype(size));
        return true;
    });
    writer.setIndented(indented);
    const QByteArray newline = indented ? "\n" : "";
    QByteArray expected;
    for (int i = 0; i < level; ++i) {
        writer.writeStartElement("o");
        expected += indent(i, indented) + "<o>" + newline;
    }
    writer.writeNode(node);
    EXPECT_TRUE(writer.writeEndDocument());
    expected += indent(level, indented) + dumpedByLibxml2(node, level, indented) + newline;
    for (int i = level; i-- > 0;)
        expected += indent(i, indented) + "</o>" + newline;
    if (!indented)
        expected += "\n";
    return {written, expected};
}

} // namespace

TEST(XMLStreamWriterTree, NodesAreWrittenAsLibxml2PrettyPrintsThem)
{
    QByteArray deep;
    for (int i = 0; i < 35; ++i)
        deep += "<l" + QByteArray::number(i) + ">";
    deep += "<leaf>x</leaf><empty/>";
    for (int i = 35; i-- > 0;)
        deep += "</l" + QByteArray::number(i) + ">";
    const QByteArray texts[] = {
        "<a/>",
        "<a>text</a>",
        "<a><b>1</b><c/><d><e>x &amp; y &lt; z &gt; \"q\" 'r' ]]&gt;</e></d></a>",
        // Text beside elements: nothing is indented inside, down to the end tag.
        "<a>t<b><c>deep</c><e/></b>u<d/></a><!-- -->",
        "<a><b><c>1</c></b><m>t<n><o/></n></m><p><q/></p></a>",
        "<a>\n  <b>1</b>\n  <c>\n    <d/>\n  </c>\n</a>",
        "<a>&#13;carriage&#13;\nreturn&#9;tab</a>",
        "<a><b>Gr\xc3\xb6\xc3\x9f"
        "e \xe2\x98\x83 \xf0\x9f\x98\x80</b></a>",
        deep,
        // What only libxml2 writes: attributes, namespaces, comments,
        // sections and instructions anywhere in the tree.
        "<a><b x=\"1&quot;&#10;\xc3\xb6\">t</b></a>",
        "<p:a xmlns:p=\"urn:p\"><p:b/><c/></p:a>",
        "<a xmlns=\"urn:d\"><b/></a>",
        "<a><b><!-- note --></b></a>",
        "<a><b><![CDATA[<raw> & ]]></b></a>",
        "<a><?pi data?><b/></a>",
    };
    int cases = 0;
    for (const QByteArray &text : texts) {
        xmlDocPtr doc = xmlReadMemory(text.constData(), int(text.size()), nullptr, "UTF-8", 0);
        ASSERT_NE(doc, nullptr) << text.constData();
        xmlNodePtr root = xmlDocGetRootElement(doc);
        // The root, and its first child, which may be text or a lone comment.
        for (xmlNodePtr node : {root, root->children}) {
            if (!node)
                continue;
            for (const int level : {0, 2, 31})
                for (const bool indented : {true, false}) {
                    SCOPED_TRACE(testing::Message() << text.constData() << " at level " << level
                                                    << (indented ? "" : ", compact"));
                    const auto [written, expected] = writtenAndExpected(node, level, indented);
                    EXPECT_EQ(written, expected);
                    ++cases;
                }
        }
        xmlFreeDoc(doc);
    }
    EXPECT_GT(cases, 120);
}

TEST(XMLStreamWriterTree, TreesBuiltInMemoryToo)
{
    // Text nodes made by hand: empty, without content, side by side, and
    // a tree whose elements belong to no document.
    xmlNodePtr a = xmlNewNode(nullptr, BAD_CAST "a");
    xmlAddChild(a, xmlNewText(BAD_CAST ""));
    xmlNodePtr b = xmlNewChild(a, nullptr, BAD_CAST "b", nullptr);
    xmlAddChild(b, xmlNewText(BAD_CAST "one "));
    xmlAddChild(b, xmlNewText(BAD_CAST "<two>"));
    xmlNodePtr c = xmlNewChild(a, nullptr, BAD_CAST "c", nullptr);
    xmlNodePtr bare = xmlNewText(nullptr);
    xmlFree(bare->content);
    bare->content = nullptr;
    xmlAddChild(c, bare);
    xmlNodePtr d = xmlNewNode(nullptr, BAD_CAST "d");
    xmlNewChild(d, nullptr, BAD_CAST "e", BAD_CAST "x&y");
    xmlNewChild(xmlNewChild(d, nullptr, BAD_CAST "f", nullptr), nullptr, BAD_CAST "g", nullptr);
    xmlNodePtr lone = xmlNewText(BAD_CAST "alone & <free>\r");
    for (xmlNodePtr node : {a, b, c, d, lone}) {
        for (const int level : {0, 3})
            for (const bool indented : {true, false}) {
                const auto [written, expected] = writtenAndExpected(node, level, indented);
                EXPECT_EQ(written, expected) << expected.constData();
            }
    }
    xmlFreeNode(a);
    xmlFreeNode(d);
    xmlFreeNode(lone);
}

TEST(XMLStreamWriterTree, NothingIsWrittenDeeperThanTheReadersAccept)
{
    // How the deepest element is written: opened, as a text element, inside a
    // plain tree, inside a tree libxml2 writes (an attribute), or as that
    // tree's root.
    enum class Way { Start, Text, PlainTree, AttributeTree, TreeRoot };
    struct Case
    {
        Way way;
        int deepest; // the depth of the deepest element, the root at 1
        bool readable;
    };
    const int limit = XMLDetail::maxElementDepth;
    const Case cases[] = {
        {Way::Start, limit, true},          {Way::Start, limit + 1, false},
        {Way::Text, limit, true},           {Way::Text, limit + 1, false},
        {Way::PlainTree, limit, true},      {Way::PlainTree, limit + 1, false},
        {Way::AttributeTree, limit, true},  {Way::AttributeTree, limit + 1, false},
        {Way::TreeRoot, limit, true},       {Way::TreeRoot, limit + 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.way) << " at " << c.deepest);
        QByteArray written;
        XMLStreamWriter writer([&written](const char *data, qint64 size) {
            written.append(data, qsizetype(size));
            return true;
        });
        writer.writeStartDocument();
        // Trees of three levels below the open elements, or one.
        const int open = c.way == Way::PlainTree || c.way == Way::AttributeTree ? c.deepest - 3
                                                                                 : c.deepest - 1;
        for (int i = 0; i < open; ++i)
            writer.writeStartElement("o");
        XMLElement tree = XMLElement::parse(c.way == Way::AttributeTree
                                                ? "<t><u a=\"1\"><v>x</v></u></t>"
                                                : "<t><u><v>x</v></u></t>");
        switch (c.way) {
        case Way::Start:
            writer.writeStartElement("deepest");
            writer.writeEndElement();
            break;
        case Way::Text:
            writer.writeTextElement("deepest", "x");
            break;
        case Way::PlainTree:
        case Way::AttributeTree:
            writer.writeElement(tree);
            break;
        case Way::TreeRoot:
            writer.writeElement(XMLElement::parse("<deepest a=\"1\"/>"));
            break;
        }
        const bool ended = writer.writeEndDocument();
        EXPECT_EQ(ended, c.readable);
        EXPECT_EQ(writer.tooDeep(), !c.readable);
        // What is written whole reads back.
        if (c.readable) {
            EXPECT_TRUE(XMLDocument::parse(written).has_value());
        }
    }
}

// Text far longer than the writer holds at once, its escapes falling on
// every side of where the writer hands its text on.
TEST(XMLStreamWriterTree, LongTextsCrossTheWritersBufferWhole)
{
    constexpr qsizetype held = 256 * 1024;
    for (const qsizetype size : {held - 7, held - 1, held, held + 3, 3 * held + 5}) {
        SCOPED_TRACE(size);
        QByteArray text(size, 'x');
        for (qsizetype at = 1; at < size; at += held / 3 + 1) {
            text[at - 1] = '&';
            text[at] = '<';
        }
        text[size - 1] = '\r';
        xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
        xmlNodePtr node = xmlNewDocNode(doc, nullptr, BAD_CAST "a", nullptr);
        xmlDocSetRootElement(doc, node);
        xmlAddChild(node, xmlNewText(BAD_CAST text.constData()));
        const auto [written, expected] = writtenAndExpected(node, 1);
        EXPECT_EQ(written, expected);

        QByteArray leaf;
        qsizetype largest = 0;
        XMLStreamWriter writer([&](const char *data, qint64 n) {
            leaf.append(data, qsizetype(n));
            largest = std::max(largest, qsizetype(n));
            return true;
        });
        writer.writeTextLeaf("a", text.constData(), text.size(), true);
        writer.writeTextElement(u"b", QString::fromLatin1(text));
        EXPECT_TRUE(writer.writeEndDocument());
        const QByteArray escaped = dumpedByLibxml2(node, 0, true).mid(3).chopped(4);
        EXPECT_EQ(leaf, "<a>" + escaped + "</a>\n<b>" + escaped + "</b>\n");
        EXPECT_LE(largest, held);
        xmlFreeDoc(doc);
    }
}

// Leaves are written whole into the room left, or across its end: the text
// is the same wherever the writer hands it on, escapes included.
TEST(XMLStreamWriterTree, LeavesAreTheSameWhereverTheRoomEnds)
{
    struct Leaf
    {
        const char *name;
        QByteArray text;
        bool escape;
        QByteArray written; // between the tags
    };
    const Leaf leaves[] = {
        {"a", "plain", true, "plain"},
        {"empty", "", true, ""},
        {"b", "<at start", true, "&lt;at start"},
        {"c", "mid & dle", true, "mid &amp; dle"},
        {"d", "at end>", true, "at end&gt;"},
        {"e", "line\r", true, "line&#13;"},
        {"raw", "as <it> is", false, "as <it> is"},
        {"longerName", QByteArray(40, 'x'), true, QByteArray(40, 'x')},
    };
    for (const bool indented : {true, false}) {
        QByteArray expected = indented ? "<r>\n" : "<r>";
        for (const Leaf &leaf : leaves)
            expected += (indented ? "  <" : "<") + QByteArray(leaf.name) + '>' + leaf.written +
                        "</" + leaf.name + (indented ? ">\n" : ">");
        expected += "</r>\n";
        // The writer holds 64 bytes at least; the leaves run to some 200.
        for (qsizetype room = 64; room <= 240; ++room) {
            SCOPED_TRACE(testing::Message() << "indented " << indented << ", room " << room);
            QByteArray written;
            qsizetype largest = 0;
            XMLStreamWriter writer(
                [&](const char *data, qint64 n) {
                    written.append(data, qsizetype(n));
                    largest = std::max(largest, qsizetype(n));
                    return true;
                },
                room);
            writer.setIndented(indented);
            writer.writeStartElement("r");
            for (const Leaf &leaf : leaves)
                writer.writeTextLeaf(leaf.name, leaf.text.constData(), leaf.text.size(),
                                     leaf.escape);
            ASSERT_TRUE(writer.writeEndDocument());
            EXPECT_EQ(written, expected);
            EXPECT_LE(largest, room);
        }
    }
}
