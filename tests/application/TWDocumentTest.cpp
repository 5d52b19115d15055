#include "DocumentTestSupport.h"

#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/PackageArchive.h"
#include "support/AttributedString.h"
#include "support/Font.h"

#include <QDialog>
#include <QFile>
#include <QMenuBar>
#include <QScreen>

namespace {

struct LoadErrorCase
{
    const char *name;
    QString type;
    // Writes the file to open at the path.
    std::function<void(const QString &)> make;
    QString reason;
};

// What a user sees of a map: every branch's text and place, in tree order.
QStringList mapSummary(TWMap &map)
{
    QStringList lines;
    for (const std::shared_ptr<TWMapBranch> &branch : map.allBranches()) {
        const Rect b = branch->mainGraphic()->bounds();
        lines << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(branch->enclosedTextArea()->text().string())
                     .arg(b.x())
                     .arg(b.y())
                     .arg(b.width())
                     .arg(b.height());
    }
    return lines;
}

// Writes a copy of a damaged document kept with the tests.
std::function<void(const QString &)> copyOf(const char *name)
{
    return [name](const QString &path) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(THINKWEB_TEST_DATA "/damaged/") + name, path));
    };
}

} // namespace

TEST_F(DocumentTest, LoadErrorsGiveTheirReasonsInTheLoadFailDomain)
{
    const LoadErrorCase cases[] = {
        {"another type", QStringLiteral("Plain Text"),
         [](const QString &path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("hello");
         },
         QStringLiteral("Thinkweb is currently unable to load files of type: Plain Text")},
        {"neither package nor property list", TWDocument::DocumentType,
         [](const QString &path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("just some words\n");
         },
         QStringLiteral("The file is damaged or is not a Thinkweb document.")},
        {"package without a document", TWDocument::DocumentType,
         [](const QString &path) {
             ASSERT_EQ(
                 TWFileIO::savePackage(QVariantMap{{"Thinkweb/notes.txt", QByteArray("x")}}, path),
                 TWFileIO::SaveSucceeded);
         },
         QStringLiteral("The file is damaged: Thinkweb cannot read a document from it.")},
        {"text cut short", TWDocument::DocumentType, copyOf("document-cut-short.tweb"),
         QStringLiteral("The file is damaged: its text ends early, inside <NSParagraphStyle> "
                        "(line 811).")},
        {"text not UTF-8", TWDocument::DocumentType, copyOf("document-invalid-utf8.tweb"),
         QStringLiteral("The file is damaged: its contents are not UTF-8 text from byte 180080 "
                        "on.")},
        {"text in UTF-16", TWDocument::DocumentType,
         [](const QString &path) {
             QByteArray text("\xFF\xFE");
             for (char c : QByteArray("<?xml version=\"1.0\"?><TWMapsDoc/>"))
                 text.append(c).append('\0');
             ASSERT_EQ(TWFileIO::savePackage(QVariantMap{{"Thinkweb/Contents.xml", text}}, path),
                       TWFileIO::SaveSucceeded);
         },
         QStringLiteral("The file is damaged: its contents are written in UTF-16, not in UTF-8.")},
    };
    for (const LoadErrorCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + ".tweb");
        c.make(path);
        TWDocument document;
        TWDocument::LoadError error;
        EXPECT_FALSE(document.readFromFile(path, c.type, &error));
        EXPECT_EQ(error.domain, QStringLiteral("TWLoadFail"));
        EXPECT_EQ(error.code, 0);
        EXPECT_EQ(error.reason.toStdString(), c.reason.toStdString());
        EXPECT_EQ(document.mapsDocument(), nullptr);

        // Opened through the controller, the user is told and no window opens.
        alerts.clear();
        if (c.type == TWDocument::DocumentType) {
            EXPECT_EQ(open(path), nullptr);
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts().first().message.toStdString(), c.reason.toStdString());
            EXPECT_TRUE(documents->documents().isEmpty());
        }
    }
}

TEST_F(DocumentTest, ANewDocumentHasOneMapWithItsRootInEditingAndNothingToUndo)
{
    EXPECT_EQ(TWDocument::makeUntitled(QStringLiteral("Plain Text")), nullptr);
    TWDocument *document = untitled();
    ASSERT_NE(document, nullptr);
    settle();
    TWMapsDoc *maps = document->mapsDocument();
    ASSERT_EQ(maps->countOfMaps(), 1);
    const std::shared_ptr<TWMap> map = maps->currentMap();
    ASSERT_TRUE(map && map->root());
    EXPECT_TRUE(map->root()->enclosedTextArea()->isEditing());
    EXPECT_TRUE(map->isGraphicSelected(map->root()->enclosedTextArea().get()));
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_FALSE(document->undoManager()->canRedo());
    EXPECT_EQ(document->undoManager()->levelsOfUndo(), 100);
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(document->graphicView()->document(), document);
    EXPECT_EQ(document->displayName(), QStringLiteral("Untitled"));
}

TEST_F(DocumentTest, TheChangeCountFollowsUndoAndRedo)
{
    TWDocument *document = untitled();
    settle();
    TWMap *map = document->mapsDocument()->currentMap().get();
    map->publicCreateChildrenOfType(-1, QStringLiteral("child"), false);
    settle();
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(document->documentWindow()->isWindowModified());
    document->undoManager()->undo();
    settle();
    EXPECT_FALSE(document->isDocumentEdited());
    document->undoManager()->redo();
    settle();
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(DocumentTest, TheWindowFrameReturnsWhenTheFileIsOpenedAgain)
{
    const QString path = savedDocument("framed.tweb");
    const QRect frame(40, 60, 700, 500);
    {
        TWDocument *document = open(path);
        ASSERT_NE(document, nullptr);
        document->documentWindow()->setGeometry(frame);
        document->documentWindow()->close();
        settle();
        EXPECT_TRUE(documents->documents().isEmpty());
    }
    EXPECT_TRUE(defaults.hasStoredValue("NSWindow Frame " + path));
    TWDocument *again = open(path);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->documentWindow()->geometry(), frame);

    // An untitled window is centred.
    TWDocument *fresh = untitled();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((fresh->documentWindow()->geometry().center() - screen.center()).manhattanLength(),
              1);
}

TEST_F(DocumentTest, OnlyTheMainWindowClosingAnnouncesTheClose)
{
    const QString path = savedDocument("sheets.tweb");
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    show(document);
    int posts = 0;
    ObserverToken token = NotificationCenter::defaultCenter().observe(
        Document::WillCloseNotification, nullptr, [&](const Notification &n) {
            EXPECT_EQ(n.sender.identity(), static_cast<const void *>(document));
            ++posts;
        });
    auto *sheet = new QDialog(document->documentWindow());
    sheet->setWindowModality(Qt::WindowModal);
    sheet->show();
    sheet->close();
    document->windowWillClose(sheet);
    settle();
    EXPECT_EQ(posts, 0);
    EXPECT_EQ(documents->documents().size(), 1);

    document->documentWindow()->close();
    EXPECT_EQ(posts, 1);
    settle();
    EXPECT_TRUE(documents->documents().isEmpty());
}

TEST_F(DocumentTest, AFailedSaveStaysEditedAndReportsItsCode)
{
    TWDocument *document = untitled();
    settle();
    document->mapsDocument()->currentMap()->publicCreateChildrenOfType(-1, QStringLiteral("x"),
                                                                       false);
    settle();
    ASSERT_TRUE(document->isDocumentEdited());

    const QString unwritable = dir.filePath("no such folder/x.tweb");
    const int code = document->writeToFile(unwritable);
    EXPECT_NE(code, TWFileIO::SaveSucceeded);
    settle();
    EXPECT_TRUE(document->isDocumentEdited());

    // Through Save As: the user is told why, and closing still asks.
    alerts.queueSaveResponse(unwritable);
    EXPECT_FALSE(document->saveAs());
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(code, TWFileIO::SaveFolderUnwritable);
    EXPECT_TRUE(alerts.alerts().first().message.contains("cannot be written in"))
        << alerts.alerts().first().message.toStdString();
    EXPECT_TRUE(document->fileName().isEmpty());
    alerts.clear();
    alerts.queueAlertResponse(1); // Cancel
    EXPECT_FALSE(document->canCloseDocument());
    EXPECT_EQ(alerts.alerts().size(), 1);

    // A save that works clears the mark.
    alerts.queueSaveResponse(dir.filePath("saved"));
    EXPECT_TRUE(document->saveAs());
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(document->fileName(), dir.filePath("saved.tweb"));
    EXPECT_TRUE(QFile::exists(dir.filePath("saved.tweb")));
}

TEST_F(DocumentTest, ATreeTooDeepForItsFileIsNotSavedAndTheUserIsToldWhy)
{
    TWDocument *document = untitled();
    settle();
    const std::shared_ptr<TWMap> map = document->mapsDocument()->currentMap();
    TWMapBranch *parent = map->root().get();
    for (int level = 1; level <= 1100; ++level)
        parent = TWMapBranch::createWithGraphic(
                     TWGraphic::createWithBounds(Rect(float(level), 0, 80, 30)), parent, map.get())
                     .get();
    settle();

    alerts.queueSaveResponse(dir.filePath("deep"));
    EXPECT_FALSE(document->saveAs());
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts().first().message.contains("deeper than a document file can hold"))
        << alerts.alerts().first().message.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("deep.tweb")));
    EXPECT_TRUE(document->fileName().isEmpty());
}

TEST_F(DocumentTest, OpenEditSaveAndReloadGivesEqualMaps)
{
    const QString path = savedDocument("roundtrip.tweb");
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    // The same file again is the same document.
    EXPECT_EQ(open(path), document);
    EXPECT_EQ(documents->documents().size(), 1);
    show(document);

    TWMap *map = document->mapsDocument()->currentMap().get();
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(map->root()->enclosedTextArea(), 0);
    map->publicCreateChildrenOfType(-1, QStringLiteral("added by hand"), false);
    settle();
    EXPECT_TRUE(document->isDocumentEdited());
    ASSERT_TRUE(document->save());
    EXPECT_FALSE(document->isDocumentEdited());
    const QStringList saved = mapSummary(*map);
    EXPECT_TRUE(saved.join('\n').contains("added by hand"));

    TWDocument reloaded;
    ASSERT_TRUE(reloaded.readFromFile(path));
    ASSERT_EQ(reloaded.mapsDocument()->countOfMaps(), 1);
    EXPECT_EQ(mapSummary(*reloaded.mapsDocument()->currentMap()), saved);
}

TEST_F(DocumentTest, PrintSettingsBelongToTheCurrentMap)
{
    TWDocument *document = untitled();
    settle();
    TWMapsDoc *maps = document->mapsDocument();
    OrderedDictionary first;
    first.setValue(QStringLiteral("leftMargin"), 10);
    document->setPrintInfoDictionary(first);
    maps->publicCreateNewMapAtIndex(1);
    settle();
    EXPECT_NE(document->printInfoDictionary(), first);
    OrderedDictionary second;
    second.setValue(QStringLiteral("leftMargin"), 30);
    document->setPrintInfoDictionary(second);
    maps->setCurrentMapNumber(0);
    EXPECT_EQ(document->printInfoDictionary(), first);
    maps->setCurrentMapNumber(1);
    EXPECT_EQ(document->printInfoDictionary(), second);
}

TEST_F(DocumentTest, ObserversAreRecordedOnlyWhileTheDefaultAsksForIt)
{
    int a = 0, b = 0;
    {
        TWDocument quiet;
        quiet.addObserver("mapsDocument.currentMap", &a);
        EXPECT_FALSE(quiet.recordsObservers());
        EXPECT_TRUE(quiet.bindings().isEmpty());
    }
    defaults.setBool(true, TWPreferences::DebugBindingsKey);
    TWDocument recording;
    recording.addObserver("mapsDocument.currentMap", &a);
    recording.addObserver("mapsDocument.currentMap", &b);
    recording.addObserver("printInfo", &a);
    recording.removeObserver("mapsDocument.currentMap", &a);
    EXPECT_EQ(recording.bindings().value("mapsDocument.currentMap"), (QList<const void *>{&b}));
    EXPECT_EQ(recording.bindings().value("printInfo"), (QList<const void *>{&a}));
}

TEST_F(DocumentTest, TheSelectedLabelsFirstFontIsAnnounced)
{
    TWDocument *document = untitled();
    settle();
    QList<QVariant> fonts;
    QObject::connect(document, &TWDocument::selectedFontChanged,
                     [&](const QVariant &font) { fonts << font; });
    TWMap *map = document->mapsDocument()->currentMap().get();
    const Font font(QStringLiteral("Helvetica-Bold"), 18);
    AttributedString text(QStringLiteral("Centre"),
                          {{NSFontAttributeName, QVariant::fromValue(font)}});
    map->root()->enclosedTextArea()->setText(text);
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(map->root()->enclosedTextArea(), 0);
    settle();
    ASSERT_FALSE(fonts.isEmpty());
    EXPECT_EQ(fonts.last().value<Font>(), font);

    // A branch picked by its shape means its label.
    fonts.clear();
    map->removeAllSelectedGraphics();
    settle();
    map->insertObjectInSelectedGraphicsAtIndex(map->root()->mainGraphic(), 0);
    settle();
    ASSERT_FALSE(fonts.isEmpty());
    EXPECT_EQ(fonts.last().value<Font>(), font);
    EXPECT_EQ(document->selectedFont(), font);
    map->removeAllSelectedGraphics();
    EXPECT_EQ(document->selectedFont(), std::nullopt);
}

TEST_F(DocumentTest, AClosedDocumentIsFreedEvenWithoutAnotherEventLoopPass)
{
    for (const bool pass : {true, false}) {
        SCOPED_TRACE(pass ? "with a pass" : "controller goes first");
        QPointer<TWDocument> closed;
        {
            TWDocumentController local;
            local.setShowsWindows(false);
            closed = static_cast<TWDocument *>(local.newDocument());
            ASSERT_TRUE(closed);
            closed->close();
            EXPECT_TRUE(local.documents().isEmpty());
            if (pass)
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_TRUE(closed.isNull());
        // Nothing is freed twice when the deferred delete still comes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// A laid-out generated document as its window shows it. With
// THINKWEB_KEEP_PICTURES set to a folder, the window's picture and the
// document are left there to look at.
TEST_F(DocumentTest, AGeneratedDocumentShowsInItsWindow)
{
    const QString path = dir.filePath("generated.tweb");
    {
        auto made = BranchDocument::makeDocument(120);
        made->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
        TWMapLayout::autoArrange(*made->currentMap());
        ASSERT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
    }
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    show(document, QSize(1000, 700));
    document->graphicView()->centerRoot();
    settle();
    const QImage picture = document->documentWindow()->grab().toImage();
    const QImage canvas = document->graphicView()->viewport()->grab().toImage();
    if (const QString keep = qEnvironmentVariable("THINKWEB_KEEP_PICTURES"); !keep.isEmpty()) {
        picture.save(keep + "/document-window.png");
        QFile::remove(keep + "/generated.tweb");
        QFile::copy(path, keep + "/generated.tweb");
    }
    ASSERT_FALSE(canvas.isNull());
    qsizetype inked = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            inked += canvas.pixel(x, y) != canvas.pixel(0, 0);
    EXPECT_GT(inked, canvas.width() * canvas.height() / 50);
    EXPECT_EQ(document->documentWindow()->windowTitle(), QStringLiteral("generated[*]"));
}

TEST_F(DocumentTest, ClosingAnEditedDocumentAsksFirst)
{
    struct Case
    {
        const char *name;
        int answer; // Save, Cancel, Don't Save
        bool closes;
        bool saved;
    };
    const Case cases[] = {
        {"save", 0, true, true},
        {"cancel", 1, false, false},
        {"don't save", 2, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = savedDocument(QString::fromLatin1(c.name) + ".tweb");
        TWDocument *document = open(path);
        ASSERT_NE(document, nullptr);
        show(document);
        TWMap *map = document->mapsDocument()->currentMap().get();
        map->publicCreateChildrenOfType(-1, QStringLiteral("unsaved"), false);
        settle();
        alerts.clear();
        alerts.queueAlertResponse(c.answer);
        document->documentWindow()->close();
        settle();
        EXPECT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(documents->documents().contains(document), !c.closes);
        auto reread = TWMapsDoc::loadFromFile(path, false);
        ASSERT_NE(reread, nullptr);
        EXPECT_EQ(mapSummary(*reread->currentMap()).join('\n').contains("unsaved"), c.saved);
        reread->detach();
        if (!c.closes)
            document->close();
        settle();
    }
    EXPECT_TRUE(documents->documents().isEmpty());
}

// Saving under a name, new or other, leaves the document clean: no mark in
// the window, no step to undo for where it is kept, and closing asks nothing.
TEST_F(DocumentTest, SaveAsLeavesTheDocumentCleanAndClosesWithoutAQuestion)
{
    const struct
    {
        const char *name;
        bool titled;
        std::function<bool(TWDocument *)> save;
    } cases[] = {
        {"untitled, saved", false, [](TWDocument *d) { return d->save(); }},
        {"untitled, saved as", false, [](TWDocument *d) { return d->saveAs(); }},
        {"titled, saved as", true, [](TWDocument *d) { return d->saveAs(); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TWDocument *document =
            c.titled ? open(savedDocument(QString::fromLatin1(c.name) + ".tweb")) : untitled();
        ASSERT_NE(document, nullptr);
        show(document);
        settle();
        document->mapsDocument()->currentMap()->publicCreateChildrenOfType(
            -1, QStringLiteral("kept"), false);
        settle();
        ASSERT_TRUE(document->isDocumentEdited());
        ASSERT_TRUE(document->documentWindow()->isWindowModified());
        const QString undoBefore = document->undoManager()->undoActionName();
        const QString path = dir.filePath(QString::fromLatin1(c.name) + " again.tweb");
        alerts.clear();
        alerts.queueSaveResponse(path);
        ASSERT_TRUE(c.save(document));
        settle();
        EXPECT_EQ(document->fileName(), path);
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_FALSE(document->documentWindow()->isWindowModified());
        EXPECT_EQ(document->undoManager()->undoActionName(), undoBefore) << "the save left a step";
        EXPECT_TRUE(document->canCloseDocument());
        EXPECT_TRUE(alerts.alerts().isEmpty());
        document->close();
        settle();
    }
    EXPECT_TRUE(documents->documents().isEmpty());
}

TEST_F(DocumentTest, SavingKeepsABackupWhenAskedTo)
{
    defaults.setBool(true, TWPreferences::SaveBackupSwitchKey);
    const QString path = savedDocument("kept.tweb");
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(document->keepBackupFile());
    ASSERT_TRUE(document->save());
    QFile backup(dir.filePath("kept~.tweb"));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), before);
}

TEST_F(DocumentTest, RevertingReadsTheFileAgainAndForgetsTheEdits)
{
    const QString path = savedDocument("reverted.tweb");
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    show(document);
    const QStringList saved = mapSummary(*document->mapsDocument()->currentMap());
    document->mapsDocument()->currentMap()->publicCreateChildrenOfType(-1, QStringLiteral("gone"),
                                                                       false);
    settle();
    ASSERT_TRUE(document->isDocumentEdited());
    alerts.queueAlertResponse(0); // Revert
    documents->revertDocument(document);
    settle();
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_EQ(mapSummary(*document->mapsDocument()->currentMap()), saved);
    // The window shows the document read again.
    EXPECT_EQ(document->graphicView()->mapsDoc(), document->mapsDocument());
}

TEST_F(DocumentTest, TheApplicationOpensDocumentsThroughTheController)
{
    app.reset();
    ApplicationServices services = recordingServices();
    services.documentController = documents.get();
    start(Edition::Deluxe, std::move(services));
    const QString path = savedDocument("dispatched.tweb");
    EXPECT_TRUE(app->openFile(path));
    ASSERT_EQ(documents->documents().size(), 1);
    EXPECT_EQ(documents->documents().first()->fileName(), path);
    // Its window carries the File menu beside the application's own.
    auto *document = static_cast<TWDocument *>(documents->documents().first());
    QStringList menus;
    for (QAction *action : document->documentWindow()->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus.value(0), QStringLiteral("File"));
    EXPECT_TRUE(menus.contains(QStringLiteral("Help")));
}

// Opening names the file in what it says: why a package is refused, or that
// a picture in it cannot be shown (the document opens, the picture kept).
TEST_F(DocumentTest, OpeningSaysWhatIsWrongWithTheFile)
{
    const auto contents = [](const QByteArray &root) {
        return "<TWMapsDoc><maps><map><TWMap><identifier>M</identifier><root>" + root +
               "</root></TWMap></map></maps></TWMapsDoc>";
    };
    const auto branch = [](int number, const QByteArray &shape, const QByteArray &inner) {
        const QByteArray n = QByteArray::number(number);
        return "<TWMapBranch><mainGraphic><TWGraphic><class>" + shape + "</class><graphicNumber>" +
               n + "1</graphicNumber>" +
               (shape == "TWImage" ? "<imageFilename>Images/Graphic1/a.png</imageFilename>" : "") +
               "</TWGraphic></mainGraphic><enclosedTextArea><TWGraphic><class>TWTextArea</class>"
               "<graphicNumber>" +
               n + "2</graphicNumber></TWGraphic></enclosedTextArea><branchNumber>" + n +
               "</branchNumber>" + inner + "</TWMapBranch>";
    };
    const QByteArray pictured = branch(1, "TWImage", {});
    QByteArray deep = branch(1100, "TWRectangle", {});
    for (int i = 1099; i >= 1; --i)
        deep = branch(i, "TWRectangle", "<children>" + deep + "</children>");
    const struct
    {
        const char *file;
        QByteArray contents;
        QByteArray picture;
        bool opens;
        const char *title;
        const char *message;
    } cases[] = {
        {"deep.tweb",
         contents(deep),
         {},
         false,
         "The document “deep.tweb” could not be opened.",
         "its branches nest deeper than Thinkweb can read"},
        {"cut.tweb", contents(pictured), "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", true,
         "The document “cut.tweb” is damaged: not every picture in it can be shown.",
         "One picture's data is cut short or damaged"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        alerts.clear();
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        PackageData entries{{TWMapsDoc::ContentsPath, c.contents},
                            {"Thinkweb/fileVersion.txt", "4.1"}};
        if (!c.picture.isEmpty())
            entries.insert("Images/Graphic1/a.png", c.picture);
        ASSERT_EQ(PackageArchive::write(file, entries), PackageArchive::WriteStatus::Written);
        file.close();
        Document *opened = documents->openDocument(QUrl::fromLocalFile(path), false);
        EXPECT_EQ(opened != nullptr, c.opens);
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title, QString::fromUtf8(c.title));
        EXPECT_TRUE(alerts.alerts().first().message.contains(QString::fromUtf8(c.message)))
            << alerts.alerts().first().message.toStdString();
    }
}

TEST_F(DocumentTest, TheCurrentDocumentIsTheOneWhoseWindowIsActive)
{
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    show(first);
    show(second);
    EXPECT_EQ(documents->documents(), (QList<Document *>{first, second}));
    QApplication::setActiveWindow(first->documentWindow());
    settle();
    EXPECT_EQ(documents->currentDocument(), first);
    // A panel in front of a document window still works on that document.
    QDialog panel(second->documentWindow());
    panel.show();
    QApplication::setActiveWindow(&panel);
    settle();
    EXPECT_EQ(documents->currentDocument(), second);
}

TEST_F(DocumentTest, OpeningAMapLeftOfTheOriginMovesItWithoutMarkingTheDocument)
{
    const QString path = dir.filePath("negative.tweb");
    {
        auto made = BranchDocument::makeDocument(12);
        made->currentMap()->root()->mainGraphic()->publicMoveBy(Point(-2000, -1500), true);
        ASSERT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
    }
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    show(document);
    for (const auto &branch : document->mapsDocument()->currentMap()->allBranches()) {
        EXPECT_GE(branch->branchBounds().x(), 0);
        EXPECT_GE(branch->branchBounds().y(), 0);
    }
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->undoManager()->canUndo());
}

// Opening is no edit, wherever a map's graphics stand and however many link
// lines it has; saving and opening again changes nothing either.
TEST_F(DocumentTest, OpeningLeavesTheDocumentUnedited)
{
    for (const char *name : {"opens-edited.tweb", "link-lines-2000.tweb"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(name);
        ASSERT_TRUE(QFile::copy(QStringLiteral(THINKWEB_TEST_DATA "/opening/") + name, path));
        QStringList before;
        for (int round = 0; round < 2; ++round) {
            TWDocument *document = open(path);
            ASSERT_NE(document, nullptr);
            show(document);
            settle();
            EXPECT_FALSE(document->isDocumentEdited()) << "round " << round;
            EXPECT_FALSE(document->undoManager()->canUndo())
                << "round " << round << ": "
                << document->undoManager()->undoActionName().toStdString();
            const QStringList places = mapSummary(*document->mapsDocument()->currentMap());
            if (round == 0)
                before = places;
            else
                EXPECT_EQ(places.join(u'\n').toStdString(), before.join(u'\n').toStdString());
            ASSERT_TRUE(document->save());
            document->close();
            settle();
        }
    }
}
