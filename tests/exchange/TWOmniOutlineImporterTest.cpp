#include "OutlinerTestSupport.h"
#include <QFileInfo>
#include "support/Font.h"
#include "support/RichTextFormat.h"

using namespace OutlinerTest;

namespace {

using ImporterTest = Fixture;

const QByteArray NoteRTF = "{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0\\fs24 Remember this}";

} // namespace

TEST_F(ImporterTest, RefusedFilesMakeNoDocumentAndSayWhy)
{
    struct Case
    {
        const char *label;
        std::function<QString()> make;
        const char *message; // nullptr: a beep and no alert
    };
    const char *const notOutliner = "This file does not appear to contain OmniOutline data.";
    const char *const notVersion3 =
        "This file does not appear to contain OmniOutline version 3 XML data.";
    const Case cases[] = {
        {"missing", [&] { return path("Gone.oo3"); }, "This file does not appear to exist."},
        {"uncompressed file", [&] { return writeFile("Plain.oo3", outline("<root/>")); },
         notOutliner},
        {"empty file", [&] { return writeFile("Empty.oo3", {}); }, notOutliner},
        {"package without contents",
         [&] {
             QDir(dir.path()).mkpath("Hollow.oo3");
             return path("Hollow.oo3");
         },
         "This file does not appear to contain any readable data."},
        {"package with uncompressed contents",
         [&] { return writePackage("Open.oo3", outline("<root/>")); }, notVersion3},
        {"not UTF-8", [&] { return writeFile("Latin.oo3", gzipped("<a>\xff\xfe</a>")); },
         notVersion3},
        {"unknown version", [&] { return writeFile("Old.ooutline", gzipped(plist("", 4))); },
         "This file appears to be from an unknown version of OmniOutline. Only files of "
         "OmniOutline version 3 and older can be imported."},
        {"zip archive of a later version",
         [&] { return writeFile("Five.ooutline", QByteArray("PK\x03\x04") + outline("")); },
         "It is a zip archive, the form of outlines from OmniOutline version 5 on. Only files of "
         "OmniOutline version 3 and older can be imported."},
        {"property list without dictionary",
         [&] {
             return writeFile("List.ooutline", gzipped("<plist version=\"1.0\"><array/></plist>"));
         },
         notOutliner},
        {"inflates beyond the limit",
         [&] { return writeFile("Bomb.oo3", gzipped(QByteArray(4096, ' ') + outline(""))); },
         notOutliner},
        {"not XML", [&] { return writeFile("Text.oo3", gzipped("just words")); }, nullptr},
    };
    importer.setMaximumDataSize(2048);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        alerts.clear();
        const QString file = c.make();
        EXPECT_EQ(importer.openOOFile(file, true), nullptr);
        EXPECT_TRUE(host.documents.empty());
        if (!c.message) {
            EXPECT_TRUE(alerts.alerts().isEmpty());
            EXPECT_EQ(alerts.beepCount(), 1);
            continue;
        }
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Unable to import document."));
        // Named as the file is, with what is wrong with it.
        EXPECT_EQ(alerts.alerts().first().message.toStdString(),
                  ("“" + QFileInfo(file).fileName() + "” cannot be imported. " +
                   QString::fromLatin1(c.message))
                      .toStdString());
        EXPECT_EQ(alerts.alerts().first().buttons, QStringList{QStringLiteral("OK")});
    }
}

TEST_F(ImporterTest, NoDocumentToFillIsReportedOnce)
{
    host.refuseDocuments = true;
    for (const QByteArray &data : {plist(""), outline("<root/>")}) {
        alerts.clear();
        EXPECT_EQ(importer.openOOFile(writeFile("Plan.oo3", gzipped(data)), true), nullptr);
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Unable to create document."));
    }
}

TEST_F(ImporterTest, Version2ColumnsBecomeBranchTextAndTheNoteAnAttachedText)
{
    struct Case
    {
        const char *label;
        QByteArray cols;
        const char *text; // nullptr: what a new branch says
        const char *note; // nullptr: no attached text
    };
    const QByteArray rtfNote = "<string>" + NoteRTF + "</string>";
    const Case cases[] = {
        {"words and a number",
         "<string></string><string>Topic</string><integer>1</integer><string>More</string>",
         "Topic\nYes\nMore", nullptr},
        {"a fraction", "<string></string><real>0.5</real>", "0.5", nullptr},
        {"zero and things without text",
         rtfNote + "<string>Plain</string><false/><date>2001-01-01T00:00:00Z</date><dict/>",
         "Plain\nNo", "Remember this"},
        {"other numbers", "<string></string><integer>42</integer><real>-2.25</real><true/>",
         "42\n-2.25\nYes", nullptr},
        {"the note is RTF or nothing", "<string>not rich text</string><string>T</string>", "T",
         nullptr},
        {"rich topic", "<string></string><string>" + NoteRTF + "</string>", "Remember this",
         nullptr},
        {"a topic that is no text", "<string></string><dict/><string>After</string>", "\nAfter",
         nullptr},
        {"no topic column", rtfNote, nullptr, "Remember this"},
        {"nesting too deep for a note",
         "<string>{\\rtf1" + QByteArray(5000, '{') + "x</string><string>Deep</string>", "Deep",
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        host.documents.clear();
        host.steps.clear();
        const QByteArray item = "<dict><key>Cols</key><array>" + c.cols + "</array></dict>";
        TWMapsDoc *document =
            importer.openOOFile(writeFile("Plan.ooutline", gzipped(plist(item))), true);
        ASSERT_NE(document, nullptr);
        const TWMapBranch &central = *document->currentMap()->root();
        ASSERT_EQ(central.children().size(), 1);
        const TWMapBranch &branch = *central.children().first();
        const QString expected = c.text
                                     ? QString::fromLatin1(c.text)
                                     : textOf(*document->currentMap()->root()->addChildOfType(-1));
        EXPECT_EQ(textOf(branch), expected);
        ASSERT_EQ(branch.countOfAttachedTextArray(), c.note ? 1 : 0);
        if (c.note) {
            EXPECT_EQ(noteText(branch, 0), QString::fromLatin1(c.note));
        }
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

TEST_F(ImporterTest, Version2BuildsTheTreeUnderTheFileNameWithProgress)
{
    const QByteArray item = "<dict><key>Cols</key><array><string></string><string>A</string>"
                            "</array><key>Children</key><array>"
                            "<dict><key>Cols</key><array><string></string><string>A1</string>"
                            "</array></dict>"
                            "<dict><key>Cols</key><array><string></string><string>A2</string>"
                            "</array></dict></array></dict>"
                            "<dict><key>Cols</key><array><string></string><string>B</string>"
                            "</array></dict>";
    const QString file = writeFile("Plan.ooutline", gzipped(plist(item, 5)));
    TWMapsDoc *document = importer.openOOFile(file, true);
    ASSERT_NE(document, nullptr);
    const TWMapBranch &central = *document->currentMap()->root();
    EXPECT_EQ(textOf(central), QStringLiteral("Plan"));
    ASSERT_EQ(central.children().size(), 2);
    EXPECT_EQ(textOf(*central.children()[0]), QStringLiteral("A"));
    EXPECT_EQ(textOf(*central.children()[1]), QStringLiteral("B"));
    ASSERT_EQ(central.children()[0]->children().size(), 2);
    EXPECT_EQ(textOf(*central.children()[0]->children()[1]), QStringLiteral("A2"));
    // The root item counts, the bar advances once per topic, and the
    // document stays untitled under the file's name.
    EXPECT_EQ(host.steps, (QStringList{"new Plan 1", "progress 5", "info A", "info A1", "info A2",
                                       "info B", "finish", "front"}));
    EXPECT_FALSE(document->filename().has_value());
}

TEST_F(ImporterTest, Version3ValuesJoinWithSpacesInTheirOrder)
{
    struct Case
    {
        const char *label;
        QByteArray values;
        const char *text;
        QStringList errors;
    };
    const Case cases[] = {
        {"text, checkbox and number",
         "<text><p><run><lit>a</lit></run></p><p><run><lit>b</lit></run></p></text>"
         "<checkbox>done</checkbox><number>3</number>",
         "ab [done] 3",
         {}},
        {"a first null adds no space", "<null/><number>3</number>", "3", {}},
        {"dates, durations and choices",
         "<date>2007-05-01 10:00:00 +0000</date><duration>2h</duration><enum>High</enum>",
         "2007-05-01 10:00:00 +0000 2h High",
         {}},
        {"empty values contribute nothing",
         "<text/><checkbox/><number/><number>1</number>",
         "1",
         {}},
        {"unknown values",
         "<rich>x</rich><blank/><number>7</number>",
         "7",
         {"Unknown type of item value: rich"}},
        {"unknown run children",
         "<text><p><run><cell/><lit>c</lit></run><run><lit/></run></p></text>",
         "c",
         {"Unknown run child type cell"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        alerts.clear();
        TWMapBranch *central =
            importOutline("<root><item><values>" + c.values + "</values></item></root>");
        ASSERT_NE(central, nullptr);
        ASSERT_EQ(central->children().size(), 1);
        EXPECT_EQ(textOf(*central->children().first()), QString::fromLatin1(c.text));
        EXPECT_EQ(importer.errors(), c.errors);
        EXPECT_EQ(alerts.alerts().size(), c.errors.isEmpty() ? 0 : 1);
    }
}

TEST_F(ImporterTest, Version3ItemsNotesAndChildren)
{
    TWMapBranch *central = importOutline(
        "<root>"
        "<item><values><text><p><run><lit>First</lit></run></p></text></values>"
        "<note><text><p><run><lit>old</lit></run></p></text></note>"
        "<note><text><p><run><lit>new </lit></run><run><lit>one</lit></run></p></text></note>"
        "<children><item><values><number>1</number></values></item>"
        "<anything><values><number>2</number></values><odd/></anything></children>"
        "<conduit-settings><x/></conduit-settings></item>"
        "<skipped><values><number>9</number></values></skipped>"
        "<item><note/><odd/></item>"
        "<item/>"
        "</root>");
    ASSERT_NE(central, nullptr);
    EXPECT_EQ(textOf(*central), QStringLiteral("Plan"));
    // In the file's order.
    ASSERT_EQ(central->children().size(), 3);
    QStringList texts;
    for (const auto &child : central->children())
        texts << textOf(*child);
    EXPECT_EQ(texts, (QStringList{"First", "", ""}));
    const TWMapBranch *first = central->children()[0].get();
    const TWMapBranch *emptyNote = central->children()[1].get();
    // The later note comes first.
    ASSERT_EQ(first->countOfAttachedTextArray(), 2);
    EXPECT_EQ(noteText(*first, 0), QStringLiteral("new one"));
    EXPECT_EQ(noteText(*first, 1), QStringLiteral("old"));
    EXPECT_FALSE(first->objectInAttachedTextArrayAtIndex(0)->category().has_value());
    // Every element inside children is an item, whatever its name.
    ASSERT_EQ(first->children().size(), 2);
    EXPECT_EQ((QStringList{textOf(*first->children()[0]), textOf(*first->children()[1])}),
              (QStringList{"1", "2"}));
    // An empty note still gives an attached text; the last item has none.
    ASSERT_EQ(emptyNote->countOfAttachedTextArray(), 1);
    EXPECT_EQ(noteText(*emptyNote, 0), QString());
    EXPECT_EQ(central->children()[2]->countOfAttachedTextArray(), 0);
    // The same problem in two items is listed once.
    EXPECT_EQ(importer.errors(), QStringList{"Unknown type of child of item: odd"});
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Errors during import"));
    EXPECT_EQ(alerts.alerts().first().message,
              TWOmniOutlineImporter::errorReport(importer.errors()));
    EXPECT_TRUE(alerts.alerts().first().message.endsWith(
        QStringLiteral("Errors:\nUnknown type of child of item: odd")));
    // Every item counts for the bar, which is not advanced.
    EXPECT_EQ(host.steps, (QStringList{"new Plan 1", "progress 4", "finish"}));
}

TEST_F(ImporterTest, Version3PackagesAndFilesReadAlike)
{
    const QByteArray body = "<root><item><values><number>5</number></values></item></root>";
    for (const QString &file : {writePackage("Outline.oo3", gzipped(outline(body))),
                                writeFile("Outline2.oo3", gzipped(outline(body)))}) {
        SCOPED_TRACE(file.toStdString());
        host.steps.clear();
        TWMapsDoc *document = importer.openOOFile(file, true);
        ASSERT_NE(document, nullptr);
        const TWMapBranch &central = *document->currentMap()->root();
        EXPECT_EQ(textOf(central), QFileInfo(file).completeBaseName());
        ASSERT_EQ(central.children().size(), 1);
        EXPECT_EQ(textOf(*central.children().first()), QStringLiteral("5"));
        EXPECT_TRUE(host.steps.first().startsWith("new " + QFileInfo(file).completeBaseName()));
    }
    // Without a namespace the queries would find nothing: refused, no empty map.
    alerts.clear();
    TWMapsDoc *bare = importer.documentFromData(
        "<outline><root><item><values><number>1</number></values></item></root></outline>", true,
        path("Bare"));
    EXPECT_EQ(bare, nullptr);
    EXPECT_EQ(alerts.alerts().size(), 1);
}

// A file of another version of the outliner, or with its rows where this
// reader does not look, would come in as an empty map: it is refused with
// one alert that says why, and the problems of its styles are not listed.
TEST_F(ImporterTest, OutlinesOfAnotherVersionOrFormAreRefusedWhole)
{
    const char *const unknownVersion = "This file is from OmniOutline version 5. Only files of "
                                       "OmniOutline version 3 and older can be imported.";
    const char *const notVersion3 =
        "This file does not appear to contain OmniOutline version 3 XML data.";
    const QByteArray registry = "<style-attribute-registry><style-attribute key=\"row-handle\" "
                                "class=\"handle\">x</style-attribute></style-attribute-registry>";
    const auto document = [](const char *ns, const QByteArray &body) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<outline xmlns=\"" + QByteArray(ns) +
               "\">" + body + "</outline>";
    };
    const QByteArray rows = "<item><values><text><p><run><lit>Row</lit></run></p></text>"
                            "</values></item>";
    struct Case
    {
        const char *label;
        QByteArray data;
        bool package;
        const char *message;
    };
    const Case cases[] = {
        {"version 5, rows in sections",
         document("http://example.org/xmlns/outline/v5",
                  registry + "<root><section>" + rows + rows + "</section></root>"),
         true, unknownVersion},
        {"version 5, rows under the root",
         document("http://example.org/xmlns/outline/v5/", registry + "<root>" + rows + "</root>"),
         false, unknownVersion},
        {"version 3, rows wrapped",
         document("http://example.org/xmlns/outline/v3", "<root><rows>" + rows + "</rows></root>"),
         false, notVersion3},
        {"no namespace", "<outline><root>" + rows + "</root></outline>", false, notVersion3},
        {"another root", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>", false,
         notVersion3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        alerts.clear();
        const QString file = c.package ? writePackage("Five.ooutline", gzipped(c.data))
                                       : writeFile("Five.oo3", gzipped(c.data));
        EXPECT_EQ(importer.openOOFile(file, true), nullptr);
        EXPECT_TRUE(host.documents.empty());
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Unable to import document."));
        EXPECT_EQ(alerts.alerts().first().message.toStdString(),
                  ("“" + QFileInfo(file).fileName() + "” cannot be imported. " +
                   QString::fromLatin1(c.message))
                      .toStdString());
    }
    // An outline with no rows at all is read: an empty map is what it holds.
    EXPECT_NE(importOutline("<root/>"), nullptr);
}

// Entities are not expanded: the text around a reference is kept and the
// reference is named once in the closing list of problems.
TEST_F(ImporterTest, EntityReferencesKeepTheTextAroundThem)
{
    const QByteArray doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE outline [<!ENTITY x SYSTEM "
                               "\"file:///etc/hostname\"><!ENTITY y \"Q\">]>\n";
    struct Case
    {
        const char *label;
        QByteArray values;
        const char *text;
        QStringList errors;
    };
    const auto unread = [](const char *name) {
        return QStringLiteral("The entity &%1; was not read: its text is left out, the text "
                              "around it kept")
            .arg(QLatin1String(name));
    };
    const Case cases[] = {
        {"outside entity in a run",
         "<text><p><run><lit>A&x;B</lit></run><run><lit>&x;C</lit></run></p></text>",
         "ABC",
         {unread("x")}},
        {"inner entity in values",
         "<number>1&y;2</number><checkbox>&y;ok</checkbox>",
         "12 [ok]",
         {unread("y")}},
        {"character references are text",
         "<text><p><run><lit>a&#38;b</lit></run></p></text>",
         "a&b",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        alerts.clear();
        QByteArray data = outline("<root><item><values>" + c.values + "</values></item></root>");
        data.replace("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n", doctype);
        TWMapsDoc *document = importer.openOOFile(writeFile("Ent.oo3", gzipped(data)), true);
        ASSERT_NE(document, nullptr);
        const TWMapBranch &central = *document->currentMap()->root();
        ASSERT_EQ(central.children().size(), 1);
        EXPECT_EQ(textOf(*central.children().first()), QString::fromLatin1(c.text));
        EXPECT_EQ(importer.errors(), c.errors);
        EXPECT_EQ(alerts.alerts().size(), c.errors.isEmpty() ? 0 : 1);
    }
}

TEST_F(ImporterTest, AValueSpaceTakesTheAttributesBeforeIt)
{
    TWMapBranch *central = importOutline(
        "<root><item><values><text><p><run><style><value key=\"font-size\">30</value></style>"
        "<lit>big</lit></run></p></text><number>4</number></values></item></root>");
    ASSERT_NE(central, nullptr);
    const AttributedString &text = central->children().first()->enclosedTextArea()->text();
    ASSERT_EQ(text.string(), QStringLiteral("big 4"));
    const auto sizeAt = [&text](qsizetype i) {
        return text.attribute(NSFontAttributeName, i).value<Font>().pointSize();
    };
    EXPECT_EQ(sizeAt(0), 30);
    EXPECT_EQ(sizeAt(3), 30);
    EXPECT_EQ(sizeAt(4), TWPreferences::UserFontDefaultSize);
}
