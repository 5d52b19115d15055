#include "ExportTestSupport.h"
#include "exchange/TWOPMLExport.h"
#include "exchange/TWOPMLImportExport.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWAttachedText.h"
#include "model/TWFileIO.h"
#include "support/CalendarFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>

namespace {

using BranchTest::nameOf;

QString noteOf(const TWMapBranch &branch)
{
    if (branch.attachedTextArray().isEmpty() || !branch.attachedTextArray().first()->text())
        return QString();
    return branch.attachedTextArray().first()->text()->string();
}

// "text[note]<attached texts>{children}", expanded outlines marked "+".
QString dump(const TWMapBranch &branch)
{
    QString text = nameOf(branch);
    if (branch.expandedInOutlineView())
        text += u'+';
    if (const QString note = noteOf(branch); !note.isEmpty())
        text += QStringLiteral("[%1]").arg(note);
    for (const auto &graphic : branch.linkedGraphics())
        if (auto *area = dynamic_cast<TWTextArea *>(graphic.get()))
            text += QStringLiteral("<%1>").arg(area->text().string());
    QStringList children;
    for (const auto &child : branch.children())
        children << dump(*child);
    if (!children.isEmpty())
        text += QStringLiteral("{%1}").arg(children.join(u','));
    return text;
}

QByteArray opml(const QByteArray &head, const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>" + head +
           "</head><body>" + body + "</body></opml>";
}

// `total` outlines: `groups` on the first level, `fanOut` below each
// outline down to `depth` levels, filled depth first.
QByteArray generatedOutline(int total, int groups, int fanOut, int depth)
{
    QByteArray body;
    int written = 0;
    std::function<void(int)> level = [&](int d) {
        for (int i = 0; i < (d == 1 ? groups : fanOut) && written < total; ++i) {
            body += "<outline text=\"Item " + QByteArray::number(written++) + "\"";
            if (d < depth) {
                body += ">";
                level(d + 1);
                body += "</outline>";
            } else {
                body += "/>";
            }
        }
    };
    level(1);
    return opml("<title>Big</title>", body);
}

// What a branch covers: its shape and its label.
Rect coverOf(const TWMapBranch &branch)
{
    Rect r = branch.mainGraphic()->bounds();
    if (branch.enclosedTextArea())
        r = r.united(branch.enclosedTextArea()->bounds());
    return r;
}

// Pairs of branches whose shapes or labels share some area (touching edges
// do not count), found by a sweep down the map.
QStringList overlaps(const TWMap &map)
{
    std::vector<std::pair<Rect, QString>> covers;
    for (const auto &branch : map.allBranches())
        covers.emplace_back(coverOf(*branch), nameOf(*branch));
    std::sort(covers.begin(), covers.end(),
              [](const auto &a, const auto &b) { return a.first.y() < b.first.y(); });
    QStringList found;
    for (std::size_t i = 0; i < covers.size(); ++i)
        for (std::size_t j = i + 1;
             j < covers.size() && covers[j].first.y() < covers[i].first.maxY(); ++j) {
            const Rect common = covers[i].first.intersected(covers[j].first);
            if (common.width() > 0 && common.height() > 0)
                found << covers[i].second + u'/' + covers[j].second;
        }
    return found;
}

class TWOPMLTest : public ExportTest::ExportFixture
{
protected:
    TWOPMLTest()
    {
        exporter.setClock([] {
            return *CalendarDate::dateWithYear(2009, 3, 3, 14, 5, 9,
                                               *TimeZone::timeZoneForSecondsFromGMT(3600));
        });
    }

    void addNote(const std::shared_ptr<TWMapBranch> &branch, const QString &note)
    {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch->undoManager());
        attached->setText(std::make_shared<const AttributedString>(note));
        branch->insertObjectInAttachedTextArrayAtIndex(attached,
                                                       branch->countOfAttachedTextArray());
    }

    std::shared_ptr<TWTextArea> addAttachedText(const std::shared_ptr<TWMapBranch> &branch,
                                                const QString &text, int ordering)
    {
        auto area = std::dynamic_pointer_cast<TWTextArea>(
            branch->publicCreateLinkedGraphicOfType(8, Size(40, 20), Point(0, 0), QVariant()));
        area->setString(text);
        area->setInternalOrdering(ordering);
        return area;
    }

    // A fresh map of the document to import into.
    std::shared_ptr<TWMap> importTarget()
    {
        auto target = TWMap::create(document.get());
        document->addMap(target, false);
        auto r = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 120, 40}),
                                                nullptr, target.get());
        r->enclosedTextArea()->setString(QStringLiteral("Central"));
        target->setRoot(r);
        return target;
    }

    TWOPMLExport exporter;
    TWOPMLImportExport importer;
};

TEST_F(TWOPMLTest, WritesTheOutlineFileOfAPlan)
{
    root->enclosedTextArea()->setString(QStringLiteral("Plan"));
    auto a = child(root, 100, "A");
    child(a, 100, "A1");
    child(root, 200, "B");
    EXPECT_EQ(QString::fromUtf8(exporter.opmlDataForMap(*map, {})),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!--File generated by Thinkweb Mind Mapper-->\n"
                             "<opml version=\"1.0\">\n"
                             "  <head>\n"
                             "    <title>Plan</title>\n"
                             "    <dateCreated>Tue, 03 Mar 2009 14:05:09 +0100</dateCreated>\n"
                             "    <dateModified>Tue, 03 Mar 2009 14:05:09 +0100</dateModified>\n"
                             "  </head>\n"
                             "  <body>\n"
                             "    <outline text=\"A\">\n"
                             "      <outline text=\"A1\"/>\n"
                             "    </outline>\n"
                             "    <outline text=\"B\"/>\n"
                             "  </body>\n"
                             "</opml>\n"));
}

TEST_F(TWOPMLTest, OutlineAttributesFollowTheOptions)
{
    auto empty = child(root, 100, "");
    auto noted = child(root, 200, "noted");
    addNote(noted, "line one\nline <two> & \"three\"");
    addNote(noted, "second note is never written");
    auto blankNote = child(root, 300, "blank note");
    addNote(blankNote, "");
    addNote(blankNote, "later");
    auto texts = child(root, 400, "texts");
    addAttachedText(texts, "two", 2);
    addAttachedText(texts, "five", 5);
    texts->publicCreateLinkedGraphicOfType(TWMapBranch::LinkedRectangle, Size(10, 10), Point(0, 0),
                                           QVariant());
    auto collapsed = child(root, 500, "collapsed");
    child(child(collapsed, 500, "hidden"), 500, "deeper");
    auto bare = child(root, 600, "bare");
    bare->setChildrenHidden(true); // collapsed without children
    collapsed->setChildrenHidden(true);
    settle();
    undo->removeAllActions();

    const struct
    {
        TWOPMLExport::Options options;
        QStringList expected;
    } cases[] = {
        {{},
         {"<outline text=\" \"/>", "<outline text=\"noted\"/>", "<outline text=\"blank note\"/>",
          "<outline text=\"texts\"/>", "<outline text=\"collapsed\"/>",
          "<outline text=\"bare\"/>"}},
        {{true, true, true},
         {"<outline text=\" \"/>",
          "<outline text=\"noted\" _note=\"line one&#10;line &lt;two&gt; &amp; "
          "&quot;three&quot;\"/>",
          "<outline text=\"blank note\"/>",
          "<outline text=\"texts\" _attachedGraphicText0=\"five\" _attachedGraphicText1=\"two\"/>",
          "<outline text=\"collapsed\">", "<outline text=\"hidden\">", "<outline text=\"deeper\"/>",
          "</outline>", "</outline>", "<outline text=\"bare\"/>"}},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf8(exporter.opmlDataForMap(*map, c.options));
        const qsizetype start = text.indexOf(u"<body>") + 6;
        QStringList lines = text.mid(start, text.indexOf(u"</body>") - start).split(u'\n');
        for (QString &line : lines)
            line = line.trimmed();
        lines.removeAll(QString());
        EXPECT_EQ(lines, c.expected) << c.options.notes;
    }
    // Writing leaves the map as it was.
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWOPMLTest, ImportsOutlinesOfOtherPrograms)
{
    QByteArray deep = "<outline text=\"d0\">";
    QByteArray deepEnd = "</outline>";
    QString deepDump = QStringLiteral("d0");
    for (int i = 1; i < 20; ++i) {
        deep += "<outline text=\"d" + QByteArray::number(i) + "\">";
        deepEnd += "</outline>";
        deepDump += QStringLiteral("{d%1").arg(i);
    }
    deepDump += QString(19, u'}');

    const struct
    {
        const char *what;
        QByteArray file;
        const char *expected; // null: refused
    } cases[] = {
        {"plain",
         opml("<title>Plan</title>", "<outline text=\"A\"><outline text=\"A1\"/></outline>"
                                     "<outline text=\"B\"/>"),
         "Plan{A{A1},B}"},
        {"no title: the file's name", opml("<ownerName>x</ownerName>", "<outline text=\"A\"/>"),
         "list{A}"},
        {"empty title: the map's own", opml("<title/>", "<outline text=\"A\"/>"), "Central{A}"},
        {"other attributes become note lines",
         opml("", "<outline text=\"feed\" type=\"rss\" xmlUrl=\"http://a/?b=1&amp;c=2\"/>"),
         "list{feed[type : rss\nxmlUrl : http://a/?b=1&c=2]}"},
        {"note first, then a further attribute",
         opml("", "<outline text=\"n\" _note=\"a\" x=\"b\"/>"), "list{n[a\nx : b]}"},
        {"attached texts in order",
         opml("",
              "<outline _attachedGraphicText1=\"one\" text=\"t\" _attachedGraphicText0=\"zero\"/>"),
         "list{t<zero><one>}"},
        {"expansion state counts every outline",
         opml("<expansionState>0, 2</expansionState>",
              "<outline text=\"A\"><outline text=\"A1\"/></outline><outline text=\"B\"/>"),
         "list{A+{A1},B+}"},
        {"wrapped outlines are not followed",
         opml("", "<group><outline text=\"lost\"/></group><outline text=\"kept\">"
                  "<div><outline text=\"lost\"/></div></outline>"),
         "list{kept}"},
        {"escaped markup stays text",
         opml("<title>a &lt;b&gt;</title>", "<outline text=\"&lt;i&gt;x&lt;/i&gt; &amp;amp;\"/>"),
         "a <b>{<i>x</i> &amp;}"},
        {"empty text, no text", opml("", "<outline text=\"\"/><outline/>"), "list{,New Branch}"},
        {"comments, unknown head fields and no declaration",
         "<!-- a --><opml version=\"2.0\"><!-- b --><head><docs>http://x</docs><title>T<!-- c -->"
         "itle</title></head><body><!-- d --><outline text=\"A\"><!-- e --></outline></body>"
         "</opml><!-- f -->",
         "Title{A}"},
        {"Latin-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><opml><head><title>Caf\xe9"
         "</title></head><body><outline text=\"\xfc\"/></body></opml>",
         "Caf\u00e9{\u00fc}"},
        {"deep nesting", opml("", deep + deepEnd), nullptr},
        {"another root element: an empty map named after the file",
         "<rss><channel><title>feed</title></channel></rss>", "list"},
        {"head only", "<opml><head><title>T</title></head></opml>", "T"},
        {"not XML", "this is text", nullptr},
        {"unclosed", opml("", "<outline text=\"A\">"), nullptr},
        {"invalid UTF-8", "<opml><head><title>\xff\xfe</title></head></opml>", nullptr},
        {"empty", "", nullptr},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const QString file = dir.filePath("list.opml");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.file);
        out.close();
        auto target = importTarget();
        const bool read = importer.importFile(file, *target);
        if (QByteArray(c.what) == "deep nesting") {
            ASSERT_TRUE(read);
            EXPECT_EQ(dump(*target->root()), QStringLiteral("list{%1}").arg(deepDump));
            continue;
        }
        EXPECT_EQ(read, c.expected != nullptr) << c.what;
        EXPECT_EQ(dump(*target->root()),
                  c.expected ? QString::fromUtf8(c.expected) : QStringLiteral("Central"))
            << c.what;
    }
    EXPECT_FALSE(importer.importFile(outDir.filePath("missing.opml"), *importTarget()));
    // An outline larger than any real one is refused by its size, before its
    // bytes are read (the file takes no room: it is sparse).
    QTemporaryDir dir;
    QFile huge(dir.filePath("huge.opml"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(opml("", "<outline text=\"A\"/>"));
    ASSERT_TRUE(huge.resize(qint64(3) << 30));
    huge.close();
    auto target = importTarget();
    EXPECT_FALSE(importer.importFile(huge.fileName(), *target));
    EXPECT_EQ(dump(*target->root()), QStringLiteral("Central"));
}

// Every refusal says why, in words a user can act on, and leaves the map.
TEST_F(TWOPMLTest, RefusalsSayWhy)
{
    QByteArray nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<outline text=\"x\">";
    QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE opml [<!ENTITY a \"aaaaaaaaaa\">";
    for (char e = 'b'; e <= 'k'; ++e)
        bomb += QByteArray("<!ENTITY ") + e + " \"" +
                QByteArray(10, '&').replace("&", QByteArray("&") + char(e - 1) + ";") + "\">";
    bomb += "]><opml><head><title>&k;</title></head><body><outline text=\"&k;\"/></body></opml>";
    struct Case
    {
        const char *what;
        QByteArray file;
        qint64 size; // grown to, sparse; 0: as written
        const char *reason;
    };
    const Case cases[] = {
        {"larger than any outline", opml("", "<outline text=\"A\"/>"), qint64(3) << 30, "larger"},
        {"nested beyond reading", opml("", nested), 0, "nest deeper than can be read"},
        {"an entity bomb", bomb, 0, "entities expand beyond"},
        {"not XML", "this is text", 0, "not an XML file"},
        {"unclosed", opml("", "<outline text=\"A\">"), 0, "not well-formed XML (line "},
        {"empty", "", 0, "empty"},
        {"not UTF-8", "<opml><head><title>\xff\xfe</title></head></opml>", 0, "UTF-8"},
        {"a text past the parser's limit",
         opml("", "<outline text=\"" + QByteArray(11 << 20, 'a') + "\"/>"), 0,
         "a text longer than can be read (line 2)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        QFile out(dir.filePath("list.opml"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.file);
        if (c.size)
            ASSERT_TRUE(out.resize(c.size));
        out.close();
        auto target = importTarget();
        QString reason;
        EXPECT_FALSE(importer.importFile(out.fileName(), *target, &reason));
        EXPECT_TRUE(reason.contains(QLatin1String(c.reason))) << reason.toStdString();
        EXPECT_EQ(dump(*target->root()), QStringLiteral("Central"));
    }
}

// Characters XML 1.0 forbids, which other programs write, come in as they
// stand, raw or as references, and the user is told once; a character
// written as the two halves of its UTF-16 form comes in whole.
TEST_F(TWOPMLTest, CharactersXMLForbidsAreReadAndToldOnce)
{
    const struct
    {
        const char *what;
        QByteArray body;
        QString outline;
        const char *leftOut;
    } cases[] = {
        {"a reference to a control", "<outline text=\"a&#x10;b\"/>", QStringLiteral("Odd{a\u0010b}"),
         "“Odd” holds 1 character that XML does not allow; it was read as it stands."},
        {"a raw control and a reference with leading zeros",
         "<outline text=\"a\x01\" _note=\"&#x00000000000010;\"/>", QStringLiteral("Odd{a\u0001[\u0010]}"),
         "“Odd” holds 2 characters that XML does not allow; they were read as they stand."},
        {"a character in two halves", "<outline text=\"&#xD83D;&#xDE00;\"/>",
         "Odd{" + QString::fromUcs4(U"\U0001F600") + "}", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto target = importTarget();
        QString reason;
        ASSERT_TRUE(importer.importData(opml("", c.body), QStringLiteral("Odd"), *target, &reason))
            << reason.toStdString();
        EXPECT_EQ(dump(*target->root()), c.outline);
        EXPECT_EQ(importer.leftOut(), QString::fromUtf8(c.leftOut));
    }
}

// A text that grows past the parser's limit through its entities comes in
// empty without stopping the read: the import says which outlines lost it.
TEST_F(TWOPMLTest, TextsTooLongToReadAreNamed)
{
    const QByteArray doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE opml [<!ENTITY big \"" +
                               QByteArray(1000000, 'a') + "\">]>\n";
    const QByteArray tooLong = "X" + QByteArray("&big;").repeated(11);
    struct Case
    {
        const char *what;
        QByteArray body;
        const char *outline;
        QStringList leftOut; // what the notice names; empty: no notice
    };
    const Case cases[] = {
        {"one label",
         "<outline text=\"A\"/><outline text=\"" + tooLong + "\"/><outline text=\"B\"/>",
         "Big{A,,B}",
         {"A text in", "outline 2 (text)"}},
        {"a label and a note below",
         "<outline text=\"A\"><outline text=\"" + tooLong + "\" _note=\"" + tooLong +
             "\"/></outline>",
         "Big{A{}}",
         {"2 texts in", "outline 2 (text, _note)"}},
        {"within the limit", "<outline text=\"X&big;\"/>", nullptr, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto target = importTarget();
        QByteArray file = opml("", c.body);
        file.replace("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", doctype);
        ASSERT_TRUE(importer.importData(file, QStringLiteral("Big"), *target));
        if (c.outline)
            EXPECT_EQ(dump(*target->root()), QString::fromLatin1(c.outline));
        for (const QString &part : c.leftOut)
            EXPECT_TRUE(importer.leftOut().contains(part)) << importer.leftOut().toStdString();
        EXPECT_EQ(importer.leftOut().isEmpty(), c.leftOut.isEmpty());
    }
}

TEST_F(TWOPMLTest, HeadFieldsSetTheDocumentsDetails)
{
    const CalendarDate before = *CalendarDate::dateWithYear(2000, 1, 1, 0, 0, 0, TimeZone());
    const struct
    {
        QByteArray head;
        const char *created; // UTC, or "before" when left
        const char *modified;
        const char *creator;
    } cases[] = {
        {"<dateCreated>Tue, 03 Mar 2009 14:05:00 +0100</dateCreated>"
         "<dateModified>3 Mar 09 14:05 GMT</dateModified>",
         "2009-03-03T13:05:00Z", "2009-03-03T14:05:00Z", "old"},
        {"<dateCreated>2009-03-03T14:05:00Z</dateCreated><dateModified/>", "before", "before",
         "old"},
        {"<ownerName>Ann</ownerName><ownerEmail>ann@example.org</ownerEmail>", "before", "before",
         "Ann <ann@example.org>"},
        {"<ownerEmail>ann@example.org</ownerEmail>", "before", "before", "ann@example.org"},
        {"<ownerName>Ann</ownerName>", "before", "before", "Ann"},
    };
    for (const auto &c : cases) {
        document->setCreationDate(before);
        document->setLastSaveDate(before);
        document->setCreator(QStringLiteral("old"));
        document->setComments(QStringLiteral("kept"));
        ASSERT_TRUE(importer.importData(opml(c.head, ""), "f", *importTarget()));
        auto utc = [&](const std::optional<CalendarDate> &date) {
            return date == before ? QStringLiteral("before")
                                  : date->instant().toUTC().toString(Qt::ISODate);
        };
        EXPECT_EQ(utc(document->creationDate()), QString::fromUtf8(c.created))
            << c.head.constData();
        EXPECT_EQ(utc(document->lastSaveDate()), QString::fromUtf8(c.modified))
            << c.head.constData();
        EXPECT_EQ(document->creator(), QString::fromUtf8(c.creator)) << c.head.constData();
        EXPECT_EQ(document->comments(), QStringLiteral("kept"));
    }
}

TEST_F(TWOPMLTest, ExpansionStatePiecesAndDateForms)
{
    const struct
    {
        const char *state;
        QList<int> lines;
    } cases[] = {{"0,2", {0, 2}}, {" 3x, ,7 ", {3, 0, 7}}, {"", {0}}, {"-1,99999999999", {-1, 0}}};
    for (const auto &c : cases)
        EXPECT_EQ(TWOPMLImportExport::expandedLineNumbers(QString::fromUtf8(c.state)), c.lines)
            << c.state;

    const QList<QString> &formats = TWOPMLImportExport::dateFormats();
    ASSERT_EQ(formats.size(), 32);
    EXPECT_EQ(formats[0], "%a, %d %b %y %H:%M:%S %Z");
    EXPECT_EQ(formats[3], "%a, %d %b %Y %H:%M:%S %z");
    EXPECT_EQ(formats[12], "%e %b %y %H:%M:%S %Z");
    EXPECT_EQ(formats[16], "%a, %d %b %y %H:%M %Z");
    EXPECT_EQ(formats[31], "%e %b %Y %H:%M %z");
}

TEST_F(TWOPMLTest, ExportThenImportKeepsTextsNotesAndAttachedTexts)
{
    root->enclosedTextArea()->setString(QStringLiteral("Trip & <plans>"));
    auto a = child(root, 100, "Pack\tbags");
    addNote(a, "socks\nshoes");
    addAttachedText(a, "label", 0);
    child(a, 100, "");
    auto b = child(root, 200, "Book \"hotel\"");
    addNote(b, "name : value");

    QTemporaryDir dir;
    const QString file = dir.filePath("trip.opml");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(exporter.opmlDataForMap(*map, {true, true, false}));
    out.close();
    auto target = importTarget();
    ASSERT_TRUE(importer.importFile(file, *target));
    // An empty text is written as a single space and comes back empty.
    EXPECT_EQ(dump(*target->root()),
              "Trip & <plans>{Pack\tbags[socks\nshoes]<label>{},Book \"hotel\"[name : value]}");
    // The import is undoable like edits.
    EXPECT_TRUE(undo->canUndo());
}

// Labels keep their joiners, marks and controls through an export and an
// import; what XML cannot hold is left out, and the file still reads.
TEST_F(TWOPMLTest, LabelsKeepTheirCharactersThroughExportAndImport)
{
    const struct
    {
        QString label;
        QString back;
    } cases[] = {
        {QString::fromUcs4(U"\U0001F468\u200D\U0001F469\u200D\U0001F467"),
         QString::fromUcs4(U"\U0001F468\u200D\U0001F469\u200D\U0001F467")},
        {QString::fromUtf8("\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645"),
         QString::fromUtf8("\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645")},
        {QString::fromUtf8("hy\u00ADphen \u200Fa\u200E \uFEFF"),
         QString::fromUtf8("hy\u00ADphen \u200Fa\u200E \uFEFF")},
        {QStringLiteral("del\x7F nel\u0085 tab\tx"), QStringLiteral("del\x7F nel\u0085 tab\tx")},
        {QStringLiteral("vt\v ff\f") + QChar(0xFFFF), QStringLiteral("vt ff")},
    };
    for (const auto &c : cases)
        child(root, 100, c.label);
    QTemporaryDir dir;
    const QString file = dir.filePath("characters.opml");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(exporter.opmlDataForMap(*map, {true, true, false}));
    out.close();
    auto target = importTarget();
    ASSERT_TRUE(importer.importFile(file, *target));
    ASSERT_EQ(target->root()->children().size(), qsizetype(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(target->root()->children()[i]->enclosedTextArea()->text().string(), cases[i].back)
            << i;
}

TEST_F(TWOPMLTest, TheExportActionsWriteEachChosenMapAtomically)
{
    addChildren();
    undo->closeEventGroup();
    undo->removeAllActions();
    const struct
    {
        void (TWExportController::*action)();
        const char *title;
        const char *type;
        const char *content;
    } cases[] = {
        {&TWExportController::exportOPML, "Export to OPML", "opml", "<outline text=\"first\"/>"},
        {&TWExportController::exportMindManager, "Export MindManager XML File", "xml",
         "<ap:Text PlainText=\"first\">"},
    };
    for (const auto &c : cases) {
        panels.clear();
        alerts.clear();
        const QString target = path(QStringLiteral("Plan.%1").arg(c.type));
        panelAnswer = TWExportPanelResult{target, {0}};
        (controller.*c.action)();
        ASSERT_EQ(panels.size(), 1);
        EXPECT_EQ(panels[0].title, c.title);
        EXPECT_EQ(panels[0].fileType, c.type);
        QFile written(target);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << c.type;
        EXPECT_TRUE(written.readAll().contains(c.content)) << c.type;
        EXPECT_TRUE(alerts.alerts().isEmpty());
        // Exporting leaves nothing to undo.
        EXPECT_FALSE(undo->canUndo()) << c.type;

        // A folder in the file's place: the alert names it, and no temporary
        // file is left behind.
        const QString taken = path(QStringLiteral("Taken.%1").arg(c.type));
        QDir(outDir.path()).mkdir(QFileInfo(taken).fileName());
        panelAnswer = TWExportPanelResult{taken, {0}};
        (controller.*c.action)();
        ASSERT_EQ(alerts.alerts().size(), 1) << c.type;
        EXPECT_TRUE(alerts.alerts()[0].message.contains(taken));
    }
    EXPECT_EQ(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"Plan.opml", "Plan.xml"}));
}

// Characters XML 1.0 cannot hold are left out of the file, and the export
// tells the user once how many, naming the file.
TEST_F(TWOPMLTest, AnExportSaysOnceWhatItLeftOut)
{
    const struct
    {
        const char *label;
        QStringList labels;
        qint64 dropped;
    } cases[] = {
        {"clean", {QStringLiteral("plain"), QString::fromUcs4(U"\U0001F600")}, 0},
        {"controls and non-characters",
         {QStringLiteral("a\x01b\x1f"), QStringLiteral("c") + QChar(0xFFFE) + QChar(0xFFFF)},
         4},
        {"lone surrogate halves",
         {QStringLiteral("x") + QChar(0xD800), QString(QChar(0xDC00)) + QStringLiteral("y")},
         2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const auto previous = root->children();
        for (const auto &branch : previous)
            root->removeChild(branch);
        for (const QString &label : c.labels)
            child(root, 100, label);
        alerts.clear();
        const QString target = path(QStringLiteral("Plan.opml"));
        panelAnswer = TWExportPanelResult{target, {0}};
        controller.exportOPML();
        ASSERT_TRUE(QFileInfo::exists(target));
        if (c.dropped == 0) {
            EXPECT_TRUE(alerts.alerts().isEmpty());
            continue;
        }
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts()[0].title, QStringLiteral("Not everything was exported"));
        EXPECT_TRUE(
            alerts.alerts()[0].message.contains(QStringLiteral("“Plan.opml” (%1)").arg(c.dropped)))
            << alerts.alerts()[0].message.toStdString();
    }
}

} // namespace

namespace {

// "text{children}" for every branch below the central one.
QString textsBelow(const TWMapBranch &branch)
{
    QStringList children;
    for (const auto &child : branch.children()) {
        const QString below = textsBelow(*child);
        children << nameOf(*child) + (below.isEmpty() ? QString() : u'{' + below + u'}');
    }
    return children.join(u',');
}

// The same read from the file itself: the body's outlines in file order.
QString textsInFile(const QByteArray &file)
{
    QXmlStreamReader xml(file);
    QList<QStringList> levels{{}};
    bool inBody = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"body")
            inBody = true;
        else if (inBody && xml.isStartElement() && xml.name() == u"outline") {
            const QString text = xml.attributes().value(QLatin1String("text")).toString();
            // An empty label is written as a lone space.
            levels.last() << (text == u" " ? QString() : text);
            levels.append(QStringList());
        } else if (inBody && xml.isEndElement() && xml.name() == u"outline") {
            const QStringList children = levels.takeLast();
            if (!children.isEmpty())
                levels.last().last() += u'{' + children.join(u',') + u'}';
        }
    }
    return levels.first().join(u',');
}

} // namespace

TEST_F(TWOPMLTest, OutlinesKeepTheFilesOrderThroughARoundTrip)
{
    QByteArray six;
    for (int i = 1; i <= 6; ++i)
        six += "<outline text=\"" + QByteArray::number(i) + "\"><outline text=\"" +
               QByteArray::number(i) + ".1\"/><outline text=\"" + QByteArray::number(i) +
               ".2\"/><outline text=\"" + QByteArray::number(i) + ".3\"/></outline>";
    const QString real = QStringLiteral(THINKWEB_TEST_DATA "/real/");
    struct Case
    {
        std::string what;
        QByteArray file; // empty: the real file of that name
    };
    QList<Case> cases = {
        {"six outlines of three", opml("<title>Six</title>", six)},
        {"two outlines", opml("", "<outline text=\"b\"/><outline text=\"a\"/>")},
    };
    // Every real outline kept with the tests is a case.
    for (const QString &name : QDir(real).entryList({QStringLiteral("*.opml")}, QDir::Files))
        cases.append({name.toStdString(), {}});
    EXPECT_GE(cases.size(), 7);
    for (const auto &c : cases) {
        QByteArray bytes = c.file;
        if (bytes.isEmpty()) {
            QFile in(real + QString::fromStdString(c.what));
            if (!in.open(QIODevice::ReadOnly)) {
                ADD_FAILURE() << "missing " << c.what;
                continue;
            }
            bytes = in.readAll();
        }
        const QString inFile = textsInFile(bytes);
        ASSERT_FALSE(inFile.isEmpty()) << c.what;
        QTemporaryDir dir;
        const QString file = dir.filePath("outline.opml");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        // Laid out as a document window's map is.
        auto first = importTarget();
        first->setLayoutServices(std::make_shared<TWMapLayout>());
        ASSERT_TRUE(importer.importFile(file, *first)) << c.what;
        EXPECT_EQ(textsBelow(*first->root()).toStdString(), inFile.toStdString()) << c.what;
        // Laid out in that order clockwise: sorting the main branches by
        // where they stand around the centre keeps it. Known: a first level
        // of dozens of outlines (the real feed lists' 50 and 1,326) is not
        // laid out clockwise in order, so only the order as read is checked
        // there.
        const bool fewMain = first->root()->children().size() <= 20;
        if (fewMain) {
            first->root()->reSortChildrenByPositionRecursively(false);
            EXPECT_EQ(textsBelow(*first->root()).toStdString(), inFile.toStdString())
                << c.what << " around the centre";
        }

        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(exporter.opmlDataForMap(*first, {false, false, true}));
        out.close();
        auto second = importTarget();
        second->setLayoutServices(std::make_shared<TWMapLayout>());
        ASSERT_TRUE(importer.importFile(file, *second)) << c.what;
        if (fewMain)
            second->root()->reSortChildrenByPositionRecursively(false);
        EXPECT_EQ(textsBelow(*second->root()).toStdString(), inFile.toStdString())
            << c.what << " read back";
    }
}

// Places as the file keeps them: reals are written with six decimals.
static bool near(const Rect &a, const Rect &b)
{
    const auto close = [](float x, float y) { return std::abs(x - y) <= 1e-3f; };
    return close(a.x(), b.x()) && close(a.y(), b.y()) && close(a.width(), b.width()) &&
           close(a.height(), b.height());
}

// A big outline is laid out far beyond ten thousand points from the centre;
// every branch keeps its own place there, through a save and a reopening.
TEST_F(TWOPMLTest, ABigImportedOutlineKeepsItsLayoutThroughSaveAndReopen)
{
    struct Case
    {
        const char *what;
        int total, groups, fanOut, depth;
    } const cases[] = {
        {"ten thousand items in ten groups, four levels", 10000, 10, 10, 4},
        {"two thousand items on the first level", 2000, 2000, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = outDir.filePath(QStringLiteral("big.opml"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(generatedOutline(c.total, c.groups, c.fanOut, c.depth));
        file.close();

        std::shared_ptr<TWMap> target = importTarget();
        target->setLayoutServices(std::make_shared<TWMapLayout>());
        ASSERT_TRUE(importer.importFile(path, *target));
        const auto branches = target->allBranches();
        ASSERT_EQ(branches.size(), c.total + 1);
        Rect extent;
        QList<Rect> shapes, labels;
        for (const auto &branch : branches) {
            extent = extent.united(coverOf(*branch));
            shapes << branch->mainGraphic()->bounds();
            labels << branch->enclosedTextArea()->bounds();
        }
        EXPECT_GT(extent.height(), 20000) << "the layout stays within the old range";
        EXPECT_EQ(overlaps(*target), QStringList());

        const QString saved = outDir.filePath(QStringLiteral("big.tweb"));
        const int index = document->indexOfMap(target.get());
        ASSERT_EQ(document->saveToFile(saved), TWFileIO::SaveSucceeded);
        int error = -1;
        std::shared_ptr<TWMapsDoc> reopened = TWMapsDoc::loadFromFile(saved, false, &error);
        ASSERT_TRUE(reopened) << error;
        const std::shared_ptr<TWMap> again = reopened->maps().value(index);
        ASSERT_TRUE(again);
        const auto read = again->allBranches();
        ASSERT_EQ(read.size(), branches.size());
        int moved = 0;
        for (qsizetype i = 0; i < read.size(); ++i)
            if (!near(read[i]->mainGraphic()->bounds(), shapes[i]) ||
                !near(read[i]->enclosedTextArea()->bounds(), labels[i]))
                ++moved;
        EXPECT_EQ(moved, 0);
        EXPECT_EQ(overlaps(*again), QStringList());

        // Its connections were read, never drawn: a whole-map move fits them
        // to their moved ends and keeps what was measured below them.
        again->getBoundingDrawingRectForAllGraphics();
        again->root()->moveBranchBy(-100, 40, true);
        int measuredAgain = 0;
        for (const std::shared_ptr<TWMapBranch> &branch : read)
            if (!branch->isRoot() && !branch->keptExtents().graphicsKept)
                ++measuredAgain;
        EXPECT_EQ(measuredAgain, 0);
        reopened->detach();
        document->removeObjectFromMapsAtIndex(index);
    }
}
