#include "application/TWOutlinerImportDocuments.h"
#include "TWMenuTestSupport.h"
#include "ZipTestSupport.h"
#include "application/ExchangeReaders.h"
#include "exchange/TWOmniOutlineImporter.h"
#include "interface/ProgressPanelController.h"

#include <QDir>
#include <zlib.h>

namespace {

QByteArray gzipped(const QByteArray &data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

const QByteArray Outline = "<outline xmlns=\"http://example.org/outline/v3\"><root>"
                           "<item><values><text><p><run><lit>Buy milk</lit></run></p></text>"
                           "</values><note><text><p><run><lit>two litres</lit></run></p></text>"
                           "</note></item></root></outline>";

class OutlinerImportTest : public MenuTest
{
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        outliner = std::make_unique<TWOutlinerImportDocuments>(*documents);
    }
    void TearDown() override
    {
        outliner.reset();
        MenuTest::TearDown();
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    std::unique_ptr<TWOutlinerImportDocuments> outliner;
};

} // namespace

TEST_F(OutlinerImportTest, OutlinerFilesOpenAsUntitledDocumentsFromTheMenuAndTheDesktop)
{
    TWDocument *front = untitled();
    QAction *command = front->menuDispatcher()->actionFor(QStringLiteral("importOmniOutline:"));
    ASSERT_TRUE(command);
    EXPECT_FALSE(front->menuDispatcher()->validate(command));
    outliner->install(*importer);
    EXPECT_TRUE(front->menuDispatcher()->validate(command));

    struct Case
    {
        const char *file;
        bool fromPanel;
    };
    for (const Case c : {Case{"Groceries.oo3", false}, Case{"Errands.ooutline", true}}) {
        SCOPED_TRACE(c.file);
        const QString path = write(QString::fromLatin1(c.file), gzipped(Outline));
        const int before = documents->documents().size();
        if (c.fromPanel) {
            alerts.queueOpenResponse({path});
            command->trigger();
        } else {
            EXPECT_TRUE(app->openFile(path));
        }
        ASSERT_EQ(documents->documents().size(), before + 1);
        auto *document = static_cast<TWDocument *>(documents->documents().last());
        const QString name = QFileInfo(path).completeBaseName();
        EXPECT_EQ(mapOf(document).root()->enclosedTextArea()->text().string(), name);
        ASSERT_EQ(mapOf(document).root()->children().size(), 1);
        const TWMapBranch &item = *mapOf(document).root()->children().first();
        EXPECT_EQ(item.enclosedTextArea()->text().string(), QStringLiteral("Buy milk"));
        EXPECT_EQ(item.countOfAttachedTextArray(), 1);
        // Untitled under the file's name: Save asks where.
        EXPECT_TRUE(document->fileName().isEmpty());
        EXPECT_EQ(document->displayName(), name);
        EXPECT_FALSE(document->mapsDocument()->filename().has_value());
        EXPECT_EQ(document->mapsDocument()->countOfMaps(), 1);
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_FALSE(ProgressPanelController::sharedProgressPanel().progressPanel()->isVisible());

    auto *groceries = static_cast<TWDocument *>(documents->documents().at(1));
    EXPECT_FALSE(groceries->save());
    ASSERT_EQ(alerts.savePanels().size(), 1);
    EXPECT_EQ(alerts.savePanels().first().fileName, QStringLiteral("Groceries.tweb"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Groceries")));
}

TEST_F(OutlinerImportTest, ARefusedFileOpensNothing)
{
    outliner->install(*importer);
    const QString path = write(QStringLiteral("Plain.oo3"), Outline);
    const int before = documents->documents().size();
    EXPECT_EQ(importer->importOmniOutlineFileAtPathReturningDocument(path), nullptr);
    EXPECT_EQ(documents->documents().size(), before);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().message,
              QStringLiteral("“Plain.oo3” cannot be imported. This file does not appear to "
                             "contain OmniOutline data."));
}

namespace {

// Every label of the map, depth first.
QStringList labels(const TWMapBranch &branch)
{
    QStringList all{branch.enclosedTextArea()->text().string()};
    for (const auto &child : branch.children())
        all += labels(*child);
    return all;
}

} // namespace

// Files other programs wrote, opened from the desktop as the program opens
// them: characters XML forbids or writes oddly come in whole and the user is
// told once; a refusal names the file and what is wrong with it.
TEST_F(OutlinerImportTest, OpenedFilesComeInWholeOrAreRefusedWithTheirCause)
{
    outliner->install(*importer);
    installExchangeReaders(*importer);
    const auto found = [](const char *name) {
        return QStringLiteral(THINKWEB_TEST_DATA "/damaged/") + QLatin1String(name);
    };
    const auto opml = [](const QByteArray &outline) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head><title>t"
               "</title></head>\n<body>" +
               outline + "</body></opml>";
    };
    const QByteArray laterOutline = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                    "<outline xmlns=\"http://example.org/outline/v5\"><root>"
                                    "<item><values><text><p><run><lit>x</lit></run></p></text>"
                                    "</values></item></root></outline>";
    QByteArray utf16("\xFF\xFE");
    for (char c : QByteArray("<?xml version=\"1.0\"?><TWMapsDoc/>"))
        utf16.append(c).append('\0');
    const QString utf16Document = dir.filePath("Wide.tweb");
    ASSERT_EQ(TWFileIO::savePackage(QVariantMap{{"Thinkweb/Contents.xml", utf16}}, utf16Document),
              TWFileIO::SaveSucceeded);

    const QString notAllowed = QStringLiteral("Not everything was imported");
    const QString notImported = QStringLiteral("Unable to import document.");
    const auto notOpened = [](const char *file) {
        return QStringLiteral("The document “%1” could not be opened.").arg(QLatin1String(file));
    };
    const QString onlyVersion3 =
        QStringLiteral(" Only files of OmniOutline version 3 and older can be imported.");
    const QString a10b = QStringLiteral("a\u0010b");
    const QString aSmileB = "a" + QString::fromUcs4(U"\U0001F600") + "b";
    const struct
    {
        const char *what;
        QString path;
        QStringList labels; // empty: refused
        QString title;      // of the one alert; empty: none
        QString message;
    } cases[] = {
        {"an OPML reference to a control character",
         found("opml-control-character-reference.opml"), {"t", a10b}, notAllowed,
         "“opml-control-character-reference” holds 1 character that XML does not allow; it "
         "was read as it stands."},
        {"a raw control byte in OPML", write("Raw.opml", opml("<outline text=\"a\x01" "b\"/>")),
         {"t", QStringLiteral("a\u0001b")}, notAllowed,
         "“Raw” holds 1 character that XML does not allow; it was read as it stands."},
        {"an OPML text past what the parser reads",
         write("Huge.opml", opml("<outline text=\"" + QByteArray(11 << 20, 'a') + "\"/>")),
         {}, notImported,
         "“Huge.opml” cannot be imported. This file does not appear to contain OPML data. It "
         "holds a text longer than can be read (line 3)."},
        {"a control byte in an outline declared Latin-1",
         write("Latin.opml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<opml><body>\n"
                             "<outline text=\"caf\xE9\x01\"/></body></opml>"),
         {}, notImported,
         "“Latin.opml” cannot be imported. This file does not appear to contain OPML data. It "
         "holds a character XML does not allow (line 3)."},
        {"an emoji written as two references in a map",
         found("mindmanager-surrogate-pair-references.mmap"), {"Root " + aSmileB, aSmileB, "second"},
         {}, {}},
        {"a reference with leading zeros in a map",
         found("mindmanager-long-character-reference.mmap"), {"Root " + a10b, a10b, "second"},
         notAllowed,
         "“mindmanager-long-character-reference.mmap” holds 2 characters that XML does not "
         "allow; they were read as they stand."},
        {"a document cut short", found("document-cut-short.tweb"), {},
         notOpened("document-cut-short.tweb"),
         "The file is damaged: its text ends early, inside <NSParagraphStyle> (line 811)."},
        {"a document that is not UTF-8", found("document-invalid-utf8.tweb"), {},
         notOpened("document-invalid-utf8.tweb"),
         "The file is damaged: its contents are not UTF-8 text from byte 180080 on."},
        {"a document in UTF-16", utf16Document, {}, notOpened("Wide.tweb"),
         "The file is damaged: its contents are written in UTF-16, not in UTF-8."},
        {"an outline of a later version, zipped",
         write("Later.ooutline", ZipTest::zipOf({{"contents.xml", laterOutline}}, {})), {},
         notImported,
         "“Later.ooutline” cannot be imported. It is a zip archive, the form of outlines from "
         "OmniOutline version 5 on." + onlyVersion3},
        {"an outline of a later version, gzipped", write("Later.oo3", gzipped(laterOutline)), {},
         notImported,
         "“Later.oo3” cannot be imported. This file is from OmniOutline version 5." +
             onlyVersion3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        alerts.clear();
        const qsizetype before = documents->documents().size();
        app->openFile(c.path);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const qsizetype made = documents->documents().size() - before;
        EXPECT_EQ(made, c.labels.isEmpty() ? 0 : 1);
        if (made == 1 && !c.labels.isEmpty())
            EXPECT_EQ(labels(*mapOf(static_cast<TWDocument *>(documents->documents().last()))
                                 .root()),
                      c.labels);
        EXPECT_EQ(alerts.alerts().size(), c.title.isEmpty() ? 0 : 1);
        if (!c.title.isEmpty() && !alerts.alerts().isEmpty()) {
            EXPECT_EQ(alerts.alerts().first().title, c.title);
            EXPECT_EQ(alerts.alerts().first().message.toStdString(), c.message.toStdString());
        }
    }

    // What other programs wrote without such characters opens as before.
    const QDir real(QStringLiteral(THINKWEB_TEST_DATA "/real"));
    for (const QString &name : real.entryList({"*.opml", "*.mmap"}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        alerts.clear();
        const qsizetype before = documents->documents().size();
        app->openFile(real.filePath(name));
        ASSERT_EQ(documents->documents().size(), before + 1);
        EXPECT_GT(mapOf(static_cast<TWDocument *>(documents->documents().last())).root()
                      ->children().size(),
                  0);
        for (const auto &alert : alerts.alerts())
            EXPECT_EQ(alert.title, notAllowed) << alert.message.toStdString();
    }
}
