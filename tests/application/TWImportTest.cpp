#include "MindManagerImpExp/mmImpExpController.h"
#include "TWMenuTestSupport.h"
#include "application/ApplicationMenus.h"
#include "application/MindManagerArchive.h"
#include "ZipTestSupport.h"
#include "graphics/TWGraphic.h"
#include "interface/ProgressPanelController.h"
#include "model/TWFileIO.h"
#include "model/TWMapBranch.h"

#include <QDir>
#include <archive.h>
#include <archive_entry.h>
#include <utility>

namespace {

struct Member
{
    const char *name;
    QByteArray bytes;
};

// A zip archive holding the members, written as given (names unchecked).
void writeZip(const QString &path, const QList<Member> &members)
{
    archive *writer = archive_write_new();
    archive_write_set_format_zip(writer);
    ASSERT_EQ(archive_write_open_filename(writer, QFile::encodeName(path).constData()), ARCHIVE_OK);
    for (const Member &member : members) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.name);
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, member.bytes.size());
        archive_write_header(writer, entry);
        archive_write_data(writer, member.bytes.constData(), size_t(member.bytes.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

const QByteArray Xml = QByteArrayLiteral("<ap:Map xmlns:ap=\"x\"><ap:OneTopic/></ap:Map>");

} // namespace

TEST_F(MenuTest, TheMindManagerArchiveGivesOnlyItsDocumentAndRefusesUnsafeMembers)
{
    struct Case
    {
        const char *label;
        QList<Member> members;
        bool read;
    };
    const Case cases[] = {
        {"document alone", {{"Document.xml", Xml}}, true},
        {"with pictures",
         {{"bin/a.png", "png"}, {"Document.xml", Xml}, {"xml/b.xml", "<b/>"}},
         true},
        {"parent folder", {{"Document.xml", Xml}, {"../x", "bad"}}, false},
        {"parent folder first", {{"../x", "bad"}, {"Document.xml", Xml}}, false},
        {"parent inside", {{"a/../../x", "bad"}, {"Document.xml", Xml}}, false},
        {"absolute", {{"/tmp/x", "bad"}, {"Document.xml", Xml}}, false},
        {"backslashes", {{"..\\x", "bad"}, {"Document.xml", Xml}}, false},
        {"no document", {{"Other.xml", Xml}}, false},
        {"document in a folder", {{"sub/Document.xml", Xml}}, false},
    };
    QTemporaryDir work;
    const QDir folder(work.path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = folder.filePath(QStringLiteral("in/Plan.mmap"));
        folder.mkpath(QStringLiteral("in"));
        writeZip(path, c.members);
        QString error;
        const std::optional<QByteArray> xml = MindManagerArchive::readDocumentXML(path, &error);
        EXPECT_EQ(xml.has_value(), c.read) << error.toStdString();
        if (c.read)
            EXPECT_EQ(*xml, Xml);
        else
            EXPECT_FALSE(error.isEmpty());
        // Nothing is ever unpacked: the folder holds the archive alone.
        EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("in")});
        EXPECT_EQ(QDir(folder.filePath("in")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("Plan.mmap")});
    }
    // Not a zip at all.
    QFile text(folder.filePath("text.mmap"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just text");
    text.close();
    EXPECT_FALSE(MindManagerArchive::readDocumentXML(text.fileName()).has_value());
    EXPECT_FALSE(MindManagerArchive::readDocumentXML(folder.filePath("missing.mmap")).has_value());
}

TEST_F(MenuTest, AMindManagerImportIsAnUntitledPlanThatCannotBeUndone)
{
    QList<QByteArray> read;
    importer->setReaders({{}, {}, [&read](TWMap &map, const QByteArray &xml) {
                              read << xml;
                              map.root()->enclosedTextArea()->setIsEditing(false);
                              map.publicCreateChildrenOfType(-1, QStringLiteral("topic"), false);
                          }});
    struct Case
    {
        const char *file;
        bool archive;
    };
    for (const Case c :
         {Case{"Plan.mmap", true}, Case{"Notes.XML", false}, Case{"Upper.MMAP", true}}) {
        SCOPED_TRACE(c.file);
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        if (c.archive) {
            writeZip(path, {{"Document.xml", Xml}});
        } else {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(Xml);
        }
        const int before = documents->documents().size();
        // Archives through the open-file dispatch, as files opened from the
        // desktop; XML files only come from the Import panel.
        if (c.archive)
            EXPECT_TRUE(app->openFile(path));
        else
            importer->importMindManagerFileAtPath(path);
        ASSERT_EQ(documents->documents().size(), before + 1);
        auto *document = static_cast<TWDocument *>(documents->documents().last());
        EXPECT_EQ(read.last(), Xml);
        EXPECT_EQ(mapOf(document).root()->children().size(), 1);
        // Untitled, shown under the file's name: Save asks where.
        EXPECT_TRUE(document->fileName().isEmpty());
        EXPECT_EQ(document->displayName(), QFileInfo(path).completeBaseName());
        EXPECT_TRUE(document->documentWindow()->windowTitle().startsWith(
            QFileInfo(path).completeBaseName()));
        EXPECT_FALSE(document->undoManager()->canUndo());
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_EQ(document->mapsDocument()->countOfMaps(), 1);
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
    // Saving asks for a place; nothing is written beside the source.
    auto *plan = static_cast<TWDocument *>(documents->documents().first());
    EXPECT_FALSE(plan->save());
    ASSERT_EQ(alerts.savePanels().size(), 1);
    EXPECT_EQ(alerts.savePanels().first().fileName, QStringLiteral("Plan.tweb"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Plan")));

    // A refused archive makes no document and says so.
    QDir(dir.path()).mkpath(QStringLiteral("deep"));
    const QString bad = dir.filePath("deep/Bad.mmap");
    writeZip(bad, {{"Document.xml", Xml}, {"../x", "bad"}});
    const int before = documents->documents().size();
    EXPECT_EQ(importer->importMindManagerFileAtPathReturningDocument(bad), nullptr);
    EXPECT_EQ(documents->documents().size(), before);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Unable to import document."));
    EXPECT_EQ(alerts.alerts().first().message,
              QStringLiteral("“Bad.mmap” cannot be imported. Unsafe member name: ../x."));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("x")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("deep/x")));
}

TEST_F(MenuTest, AnOPMLFileThatIsNotOPMLIsRefusedWithoutLeavingADocument)
{
    bool registering = true;
    importer->setReaders({[&registering](TWMap &map, const QString &path, QString *reason) {
                              // What a reader changes is no step to undo.
                              map.setOrderingMode(3);
                              registering = map.undoManager() &&
                                            map.undoManager()->isUndoRegistrationEnabled();
                              if (path.endsWith("told.opml"))
                                  *reason = QStringLiteral("its entities expand beyond what any "
                                                           "outline holds (line 3)");
                              return path.endsWith("good.opml");
                          },
                          {},
                          {}});
    for (const char *name : {"good.opml", "bad.opml", "told.opml"}) {
        SCOPED_TRACE(name);
        alerts.clear();
        const bool good = QLatin1String(name) == QLatin1String("good.opml");
        const bool told = QLatin1String(name) == QLatin1String("told.opml");
        const int before = documents->documents().size();
        TWDocument *document = importer->importOPMLFileAtPathReturningDocument(
            dir.filePath(QString::fromLatin1(name)));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(documents->documents().size(), before + (good ? 1 : 0));
        if (!good) {
            EXPECT_EQ(document, nullptr);
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Unable to import document."));
            // The reader's reason follows the file's name and the refusal.
            EXPECT_EQ(alerts.alerts().first().message,
                      QStringLiteral("“%1” cannot be imported. This file does not appear "
                                     "to contain OPML data.%2")
                          .arg(QLatin1String(name),
                               told ? QStringLiteral(" Its entities expand beyond what any "
                                                     "outline holds (line 3).")
                                    : QString()));
            continue;
        }
        ASSERT_NE(document, nullptr);
        EXPECT_TRUE(document->fileName().isEmpty());
        EXPECT_EQ(document->displayName(), QStringLiteral("Untitled"));
        EXPECT_EQ(document->mapsDocument()->countOfMaps(), 1);
        EXPECT_FALSE(mapOf(document).root()->enclosedTextArea()->isEditing());
        EXPECT_EQ(mapOf(document).orderingMode(), 3);
        EXPECT_FALSE(registering);
        document->undoManager()->closeEventGroup();
        EXPECT_FALSE(document->undoManager()->canUndo());
        EXPECT_TRUE(alerts.alerts().isEmpty());
    }
}

// A long import shows the progress panel before the reading starts (the
// panel paints itself before it returns: see the interface tests).
TEST_F(MenuTest, TheProgressPanelIsShownWhileAnImportReads)
{
    ProgressPanelController &progress = ProgressPanelController::sharedProgressPanel();
    struct Seen
    {
        bool shown = false;
        QString info;
    } seen;
    const auto look = [&seen, &progress] {
        seen.shown = progress.progressPanel()->isVisible();
        seen.info = progress.infoString();
    };
    importer->setReaders({[&](TWMap &, const QString &, QString *) {
                              look();
                              return true;
                          },
                          {},
                          [&](TWMap &, const QByteArray &) { look(); }});
    const struct
    {
        const char *file;
        TWDocument *(TWImportController::*import)(const QString &);
    } imports[] = {
        {"long.opml", &TWImportController::importOPMLFileAtPathReturningDocument},
        {"long.xml", &TWImportController::importMindManagerFileAtPathReturningDocument},
    };
    for (const auto &c : imports) {
        SCOPED_TRACE(c.file);
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Xml);
        file.close();
        seen = {};
        ASSERT_NE((importer.get()->*c.import)(path), nullptr);
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(seen.info, QStringLiteral("Importing “%1”…").arg(QLatin1String(c.file)));
        // Gone once the document is there.
        EXPECT_FALSE(progress.progressPanel()->isVisible());
    }
}

// What an OPML read left out is told once, after the document is shown.
TEST_F(MenuTest, APartialOPMLImportSaysWhatItLeftOut)
{
    QString leftOut;
    TWImportController::Readers readers;
    readers.opml = [](TWMap &, const QString &, QString *) { return true; };
    readers.opmlLeftOut = [&leftOut] { return std::exchange(leftOut, QString()); };
    importer->setReaders(readers);
    for (const QString said : {QStringLiteral("A text in “Big” came in empty."), QString()}) {
        alerts.clear();
        leftOut = said;
        ASSERT_NE(importer->importOPMLFileAtPathReturningDocument(dir.filePath("Big.opml")),
                  nullptr);
        if (said.isEmpty()) {
            EXPECT_TRUE(alerts.alerts().isEmpty());
            continue;
        }
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Not everything was imported"));
        EXPECT_EQ(alerts.alerts().first().message, said);
    }
}

// A tree that could be shown but never saved and opened again is refused
// by every import, and no document is left; one level less is imported.
TEST_F(MenuTest, AnOutlineNestedDeeperThanADocumentHoldsIsRefused)
{
    int levels = 0;
    const auto chain = [&levels](TWMap &map) {
        TWMapBranch *parent = map.root().get();
        for (int level = 1; level <= levels; ++level)
            parent = TWMapBranch::createWithGraphic(
                         TWGraphic::createWithBounds(Rect(float(level), 0, 80, 30)), parent, &map)
                         .get();
    };
    importer->setReaders({[&](TWMap &map, const QString &, QString *) {
                              chain(map);
                              return true;
                          },
                          [&](const QString &) -> TWDocument * {
                              TWDocument *made = untitled();
                              chain(mapOf(made));
                              return made;
                          },
                          [&](TWMap &map, const QByteArray &) { chain(map); }});
    const struct
    {
        const char *file;
        TWDocument *(TWImportController::*import)(const QString &);
    } imports[] = {
        {"deep.opml", &TWImportController::importOPMLFileAtPathReturningDocument},
        {"deep.ooutline", &TWImportController::importOmniOutlineFileAtPathReturningDocument},
        {"deep.xml", &TWImportController::importMindManagerFileAtPathReturningDocument},
    };
    for (const auto &c : imports) {
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Xml);
        file.close();
        for (const int deep : {TWFileIO::MaximumBranchLevels, TWFileIO::MaximumBranchLevels + 1}) {
            SCOPED_TRACE(QStringLiteral("%1, %2 levels").arg(c.file).arg(deep).toStdString());
            levels = deep;
            alerts.clear();
            const qsizetype before = documents->documents().size();
            TWDocument *document = (importer.get()->*c.import)(path);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (deep <= TWFileIO::MaximumBranchLevels) {
                ASSERT_NE(document, nullptr);
                EXPECT_EQ(mapOf(document).root()->getMaximumBranchLevel(), deep);
                EXPECT_TRUE(alerts.alerts().isEmpty());
                document->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                continue;
            }
            EXPECT_EQ(document, nullptr);
            EXPECT_EQ(documents->documents().size(), before);
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts().first().message,
                      QStringLiteral("“%1” cannot be imported. Its outline nests deeper than a "
                                     "Thinkweb document can hold (1000 levels).")
                          .arg(QString::fromLatin1(c.file)));
        }
    }
}

TEST_F(MenuTest, ImportCommandsWaitForTheirReadersAndOfferTheirFileTypes)
{
    TWDocument *document = untitled();
    TWMenuDispatcher *dispatcher = document->menuDispatcher();
    const QStringList selectors{"importOPML:", "importOmniOutline:", "importMindManager:"};
    for (const QString &selector : selectors) {
        QAction *action = dispatcher->actionFor(selector);
        ASSERT_TRUE(action) << selector.toStdString();
        EXPECT_FALSE(dispatcher->validate(action)) << selector.toStdString();
    }

    QStringList imported;
    importer->setReaders({[&imported](TWMap &, const QString &p, QString *) {
                              imported << p;
                              return true;
                          },
                          [&imported](const QString &p) -> TWDocument * {
                              imported << p;
                              return nullptr;
                          },
                          [&imported](TWMap &, const QByteArray &) { imported << "mm"; }});
    struct Case
    {
        const char *selector;
        QStringList types;
        const char *chosen;
        bool taken;
        QStringList packages = {}; // folder types offered as files
    };
    const Case cases[] = {
        {"importOPML:", {"opml"}, "a.OPML", true},
        {"importOmniOutline:", {"ooutline", "oo3"}, "b.Oo3", true, {"oo3"}},
        {"importMindManager:", {"xml", "mmap"}, "c.Xml", true},
        {"importMindManager:", {"xml", "mmap"}, "c.txt", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen);
        QAction *action = dispatcher->actionFor(QString::fromLatin1(c.selector));
        EXPECT_TRUE(dispatcher->validate(action));
        EXPECT_EQ(TWImportController::fileTypesForAction(QString::fromLatin1(c.selector)), c.types);
        const QString path = dir.filePath(QString::fromLatin1(c.chosen));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Xml);
        file.close();
        imported.clear();
        alerts.queueOpenResponse({path});
        action->trigger();
        EXPECT_EQ(alerts.openPanels().last().fileTypes, c.types);
        EXPECT_EQ(alerts.openPanels().last().packageTypes, c.packages);
        EXPECT_EQ(!imported.isEmpty(), c.taken);
    }
    // Cancelling the panel does nothing.
    imported.clear();
    dispatcher->actionFor(QStringLiteral("importOPML:"))->trigger();
    EXPECT_TRUE(imported.isEmpty());
}

TEST_F(MenuTest, TheWindowWithoutDocumentsStillImports)
{
    const ApplicationMenuWindow window(*app);
    QAction *mindManager = nullptr;
    QMenu *import = nullptr;
    for (QMenu *menu : window.menuBar()->findChildren<QMenu *>())
        for (QAction *action : menu->actions())
            if (action->text() == QLatin1String("MindManager...")) {
                mindManager = action;
                import = menu;
            }
    ASSERT_TRUE(mindManager);
    emit import->aboutToShow();
    EXPECT_FALSE(mindManager->isEnabled());

    importer->setReaders({{}, {}, [](TWMap &, const QByteArray &) {}});
    emit import->aboutToShow();
    ASSERT_TRUE(mindManager->isEnabled());
    const QString path = dir.filePath("Solo.mmap");
    writeZip(path, {{"Document.xml", Xml}});
    alerts.queueOpenResponse({path});
    mindManager->trigger();
    ASSERT_EQ(documents->documents().size(), 1);
    EXPECT_EQ(static_cast<TWDocument *>(documents->documents().first())->displayName(),
              QStringLiteral("Solo"));
}

TEST_F(MenuTest, MindManagerMapsAreStreamedFromTheFileIntoAnUntitledDocument)
{
    TWImportController::Readers readers;
    readers.mindManagerFile = [](TWMap &map, const QString &path) {
        return mmImpExpController::populateDadoZiz(map, path);
    };
    readers.mindManagerProblem = [](const QString &path) {
        QString error;
        return mmImpExpController::sourceForFile(path, &error) ? QString() : error;
    };
    importer->setReaders(readers);
    const QByteArray map =
        "<ap:Map xmlns:ap=\"x\"><ap:OneTopic><ap:Topic><ap:Text PlainText=\"Centre\"/>"
        "<ap:SubTopics><ap:Topic OId=\"a\"><ap:Text PlainText=\"Child\"/></ap:Topic>"
        "</ap:SubTopics></ap:Topic></ap:OneTopic></ap:Map>";
    const QString path = dir.filePath("Streamed.mmap");
    writeZip(path, {{"Document.xml", map}});
    TWDocument *document = importer->importMindManagerFileAtPathReturningDocument(path);
    ASSERT_TRUE(document);
    TWMap &imported = mapOf(document);
    EXPECT_EQ(imported.root()->enclosedTextArea()->text().string(), QStringLiteral("Centre"));
    ASSERT_EQ(imported.root()->children().size(), 1);
    EXPECT_EQ(imported.root()->children().first()->mmOid(), QStringLiteral("a"));
    EXPECT_TRUE(document->fileName().isEmpty());
    EXPECT_EQ(document->displayName(), QStringLiteral("Streamed"));
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_TRUE(alerts.alerts().isEmpty());

    // An archive without its map makes no document.
    const QString empty = dir.filePath("Empty.mmap");
    writeZip(empty, {{"Other.xml", map}});
    const int before = documents->documents().size();
    EXPECT_EQ(importer->importMindManagerFileAtPathReturningDocument(empty), nullptr);
    EXPECT_EQ(documents->documents().size(), before);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().title, QStringLiteral("Unable to import document."));
    EXPECT_TRUE(alerts.alerts().first().message.startsWith("“Empty.mmap” cannot be imported. "));

    // A file that is no map says why and leaves no empty document.
    const QString notMap = dir.filePath("Other.xml");
    QFile file(notMap);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html/>");
    file.close();
    EXPECT_EQ(importer->importMindManagerFileAtPathReturningDocument(notMap), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(documents->documents().size(), before);
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(alerts.alerts().last().title, QStringLiteral("Mind Manager import error"));
    EXPECT_EQ(alerts.alerts().last().message,
              notMap + QStringLiteral(" is not a MindManager XML Map file"));
}

// A refused map names the file and the reason, once, and only when the
// progress panel has gone: an alert under it could not be answered.
TEST_F(MenuTest, MindManagerRefusalsSayWhyAfterTheProgressPanelHasGone)
{
    // The panel asked for each time: one is made anew under a new application.
    const auto panel = [] { return ProgressPanelController::sharedProgressPanel().progressPanel(); };
    struct PanelWatch : RecordingAlerts
    {
        QList<bool> panelShown;
        int runAlertPanel(const QString &title, const QString &message,
                          const QStringList &buttons) override
        {
            panelShown << ProgressPanelController::sharedProgressPanel().progressPanel()->isVisible();
            return RecordingAlerts::runAlertPanel(title, message, buttons);
        }
    } watch;
    Alerts::Scope scope(&watch);
    bool panelWhileReading = false;
    TWImportController::Readers readers;
    readers.mindManagerFile = [&](TWMap &, const QString &) {
        panelWhileReading = panel()->isVisible();
        Alerts::current().runAlertPanel(QStringLiteral("Mind Manager import error"),
                                        QStringLiteral("Error loading Map object - no one topic "
                                                       "found"),
                                        {QStringLiteral("OK")});
        return false;
    };
    readers.mindManagerProblem = [](const QString &path) {
        QString error;
        return mmImpExpController::sourceForFile(path, &error) ? QString() : error;
    };
    importer->setReaders(readers);
    struct Case
    {
        const char *file;
        qint64 statedSize; // of Document.xml, beyond what it holds
        const char *title;
        const char *message;
    };
    const Case cases[] = {
        {"Huge.mmap", qint64(4) << 30, "Unable to import document.",
         "“Huge.mmap” cannot be imported. Document.xml inflates to more than 512 MB."},
        {"Topicless.mmap", 0, "Mind Manager import error",
         "Error loading Map object - no one topic found"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        watch.clear();
        watch.panelShown.clear();
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ZipTest::zipOf({{"Document.xml", Xml}},
                                  {.zip64 = true, .statedSizeChange = c.statedSize}));
        file.close();
        const int before = documents->documents().size();
        EXPECT_EQ(importer->importMindManagerFileAtPathReturningDocument(path), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(documents->documents().size(), before);
        ASSERT_EQ(watch.alerts().size(), 1);
        EXPECT_EQ(watch.alerts().first().title, QString::fromUtf8(c.title));
        EXPECT_EQ(watch.alerts().first().message, QString::fromUtf8(c.message));
        ASSERT_EQ(watch.panelShown.size(), 1);
        EXPECT_FALSE(watch.panelShown.first());
    }
    EXPECT_TRUE(panelWhileReading) << "the reader ran without the panel: the case shows nothing";
}
