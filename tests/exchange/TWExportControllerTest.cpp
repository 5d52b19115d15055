#include "ExportTestSupport.h"
#include "support/RichTextFormat.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

using namespace ExportTest;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(TWExportControllerSettings, RegistersTheExportDefaultsInOrder)
{
    const auto &settings = TWExportController::defaultSettings();
    ASSERT_EQ(settings.size(), 27);
    EXPECT_EQ(settings.first().first, "ExportJpegCompressionFactor");
    EXPECT_EQ(settings.last().first, "ExportScreenScriptIncludeAllScript");
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("d.ini"));
    TWExportController::registerDefaults(defaults);
    const std::tuple<const char *, double> values[] = {
        {"ExportJpegCompressionFactor", 0.7},   {"ExportMapBackground", 0},
        {"ExportBitmapSpecificWidth", 600},     {"ExportBitmapSpecificWidthEnabled", 0},
        {"ExportTextIndentNoOfSpaces", 1},      {"ExportTextIncludeBranchText", 0},
        {"ExportKeynoteVersionAndSize", 2},     {"ExportKeynoteIncludeHiddenBranchText", 1},
        {"ExportKeynoteTextSizeMultiplier", 4}, {"ExportPPTZoomPercent", 100},
        {"ExportPPTTextSizeMultiplier", 1},     {"ExportScreenScriptFormat", 0}};
    for (const auto &[key, value] : values)
        EXPECT_EQ(defaults.doubleForKey(key), value) << key;
    EXPECT_EQ(defaults.registeredDefaults().size(), 27);
}

TEST(TWExportControllerNames, PathsLoseOnlyTheLastExtensionAndNumberSeveralFiles)
{
    const std::tuple<const char *, int, QStringList> cases[] = {
        {"/d/Plan.pdf", 1, {"/d/Plan.pdf"}},
        {"/d/Plan.pdf", 3, {"/d/Plan 1.pdf", "/d/Plan 2.pdf", "/d/Plan 3.pdf"}},
        {"/d/a.b.c", 2, {"/d/a.b 1.c", "/d/a.b 2.c"}},
        {"/d/my.plan.pdf", 1, {"/d/my.plan.pdf"}},
        {"/d.x/plan", 2, {"/d.x/plan 1", "/d.x/plan 2"}},
    };
    for (const auto &[chosen, count, expected] : cases)
        EXPECT_EQ(TWExportController::fileNamesForChosenName(chosen, count), expected) << chosen;
    EXPECT_EQ(TWExportController::pathWithoutExtension("/d/my.plan.pdf"), "/d/my.plan");
    EXPECT_EQ(TWExportController::pathWithoutExtension("/d.x/plan"), "/d.x/plan");
    EXPECT_EQ(TWExportController::pathWithoutExtension("plan"), "plan");
}

class TWExportControllerTest : public ExportFixture
{};

TEST_F(TWExportControllerTest, NamesMapsByNameThenCleanedRootTextThenPosition)
{
    addMaps();
    const auto second = document->objectInMapsAtIndex(1);
    const struct
    {
        std::optional<QString> stored;
        QString rootText;
        QString expected;
    } cases[] = {
        {QString("Plan"), "ignored", "Plan"},
        {std::nullopt, "two\twords\nhere", "two\twords\nhere"}, // no stored name: as it is
        {QString(""), "two\twords\nhere", "two words here"},
        {QString(""), "a\t\nb", "a  b"},
        {QString(""), QString("in/out:x") + QChar(0x07) + "y", "inoutxy"},
        {QString(""), "", "DadoZiz 2"},
    };
    for (const auto &c : cases) {
        second->setName(c.stored);
        second->root()->enclosedTextArea()->setString(c.rootText);
        EXPECT_EQ(controller.nameForMap(*second), c.expected) << c.rootText.toStdString();
    }
}

TEST_F(TWExportControllerTest, ListsTheCurrentMapFirstAndTheOthersInOrder)
{
    addMaps();
    showMap(1);
    controller.refreshMapArrayController();
    QStringList names;
    for (const auto &row : controller.mapRows()) {
        names << row.name;
        EXPECT_TRUE(row.shouldExport);
    }
    EXPECT_EQ(names, QStringList({"Second", "root", "Third"}));
    EXPECT_EQ(controller.mapRows().first().map, document->objectInMapsAtIndex(1));

    EXPECT_TRUE(controller.validateMenuItem());
    host.documents.clear();
    EXPECT_FALSE(controller.validateMenuItem());
    controller.refreshMapArrayController();
    EXPECT_TRUE(controller.mapRows().isEmpty());
}

TEST_F(TWExportControllerTest, WritesOneFilePerChosenMapNumberedOnlyWhenSeveral)
{
    addMaps();
    showMap(1);
    struct Case
    {
        QList<int> rows;
        QStringList files; // in the order of the rows
    };
    const Case cases[] = {
        {{1}, {"Plan.pdf"}},
        {{2, 0}, {"Plan 1.pdf", "Plan 2.pdf"}},
        {{0, 1, 2}, {"Plan 1.pdf", "Plan 2.pdf", "Plan 3.pdf"}},
    };
    for (const Case &c : cases) {
        QDir(outDir.path()).removeRecursively();
        QDir().mkpath(outDir.path());
        panelAnswer = TWExportPanelResult{path("Plan.pdf"), c.rows};
        controller.exportPDF();
        QStringList written = QDir(outDir.path()).entryList(QDir::Files, QDir::Name);
        EXPECT_EQ(written, c.files);
        EXPECT_TRUE(alerts.alerts().isEmpty());
    }
    ASSERT_FALSE(panels.isEmpty());
    EXPECT_EQ(panels.last().title, "Export image to PDF file");
    EXPECT_EQ(panels.last().fileType, "pdf");
    EXPECT_EQ(panels.last().mapNames, QStringList({"Second", "root", "Third"}));
    EXPECT_EQ(document->currentMapNumber(), 1);
    EXPECT_EQ(undo->canUndo(), false);

    // Cancelling writes nothing and keeps the current map.
    QDir(outDir.path()).removeRecursively();
    QDir().mkpath(outDir.path());
    panelAnswer.reset();
    for (auto action : {&TWExportController::exportPDF, &TWExportController::exportEPS,
                        &TWExportController::exportPNG, &TWExportController::exportRTF})
        (controller.*action)();
    EXPECT_TRUE(QDir(outDir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(document->currentMapNumber(), 1);
}

TEST_F(TWExportControllerTest, AFailedWriteAlertsWithItsPathAndTheRunGoesOn)
{
    addMaps();
    // The first map's file collides with a folder of that name.
    QDir(outDir.path()).mkdir("Plan 1.png");
    alerts.queueAlertResponse(0); // replace
    panelAnswer = TWExportPanelResult{path("Plan.png"), {0, 1, 2}};
    controller.exportPNG();
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(alerts.alerts()[0].title, "Replace existing files?");
    EXPECT_EQ(alerts.alerts()[1].title, "Error saving file");
    EXPECT_EQ(alerts.alerts()[1].message,
              "Thinkweb could not write to the file " + path("Plan 1.png") +
                  " - please check that you have permission to create files in this directory.");
    EXPECT_EQ(alerts.alerts()[1].buttons, QStringList("OK"));
    EXPECT_TRUE(QFileInfo(path("Plan 2.png")).isFile());
    EXPECT_TRUE(QFileInfo(path("Plan 3.png")).isFile());
}

TEST_F(TWExportControllerTest, NumberedFilesThatExistAreReplacedOnlyWhenConfirmed)
{
    addMaps();
    QFile old(path("Plan 2.rtf"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    panelAnswer = TWExportPanelResult{path("Plan.rtf"), {0, 1}};

    alerts.queueAlertResponse(1); // cancel
    controller.exportRTF();
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts()[0].message.contains("Plan 2.rtf"));
    EXPECT_FALSE(QFileInfo::exists(path("Plan 1.rtf")));
    EXPECT_EQ(readFile(path("Plan 2.rtf")), "old");

    alerts.queueAlertResponse(0); // replace
    controller.exportRTF();
    EXPECT_TRUE(QFileInfo::exists(path("Plan 1.rtf")));
    EXPECT_TRUE(readFile(path("Plan 2.rtf")).startsWith("{\\rtf1"));
}

TEST_F(TWExportControllerTest, TextAlwaysHoldsBranchTextExceptForTypeOne)
{
    addChildren();
    const struct
    {
        int type;
        bool branchText, notes, hidden;
        int options;
    } cases[] = {
        {0, false, false, false, 16},
        {0, false, true, true, 16 | 8 | 1},
        {1, false, false, false, 0},
        {1, true, false, true, 16 | 8},
    };
    for (const auto &c : cases) {
        defaults.setBool(c.branchText, "ExportTextIncludeBranchText");
        defaults.setBool(c.notes, "ExportTextIncludeBranchNotes");
        defaults.setBool(c.hidden, "ExportTextIncludeHiddenText");
        host.textRequests.clear();
        controller.textViewOfType(c.type, *map);
        ASSERT_EQ(host.textRequests.size(), 1);
        EXPECT_EQ(host.textRequests[0].options, c.options) << c.type;
        EXPECT_EQ(host.textRequests[0].includeAttachedText, c.notes);
        EXPECT_EQ(host.textRequests[0].indentNoOfSpaces, 1);
    }

    // The RTF file holds the branch text even with the option off.
    defaults.setBool(false, "ExportTextIncludeBranchText");
    panelAnswer = TWExportPanelResult{path("Outline.rtf"), {0}};
    controller.exportRTF();
    const auto text = RichTextFormat::attributedStringFromRTF(readFile(path("Outline.rtf")));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "root\n\tfirst\n\tsecond");
}

TEST_F(TWExportControllerTest, RenderingShowsTheMapThenRestoresSelectionAndShownMap)
{
    addMaps();
    addChildren();
    showMap(2);
    const auto &g = root->children();
    map->insertObjectInSelectedGraphicsAtIndex(g[1]->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(root->mainGraphic(), 1);
    const TWMap::GraphicList selection = map->selectedGraphics();
    defaults.setBool(true, "ExportMapBackground");
    const bool flag = map->drawBackgroundOffScreen();
    int shownWhileDrawing = -1;
    qsizetype selectedWhileDrawing = -1;
    host.onHold = [&] {
        shownWhileDrawing = document->currentMapNumber();
        selectedWhileDrawing = map->selectedGraphics().size();
    };

    for (int type : {1, 2}) {
        host.steps.clear();
        EXPECT_FALSE(controller.vectorImageDataOfType(type, *map).isEmpty());
        EXPECT_EQ(shownWhileDrawing, 0);
        EXPECT_EQ(host.steps, QStringList({"hold", "end editing", "resume"}));
        EXPECT_EQ(map->selectedGraphics(), selection);
        EXPECT_EQ(document->currentMapNumber(), 2);
        EXPECT_EQ(map->drawBackgroundOffScreen(), flag);
    }
    EXPECT_EQ(selectedWhileDrawing, 2); // noted before the selection is cleared
    EXPECT_FALSE(controller.imageRepForMap(*map).isNull());
    EXPECT_EQ(map->selectedGraphics(), selection);
    EXPECT_EQ(document->currentMapNumber(), 2);
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWExportControllerTest, MissingDataIsAWriteFailure)
{
    EXPECT_FALSE(controller.writeData(QByteArray(), path("Empty.pdf")));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].title, "Error saving file");
    EXPECT_TRUE(alerts.alerts()[0].message.contains(path("Empty.pdf")));
    EXPECT_FALSE(QFileInfo::exists(path("Empty.pdf")));
    // An existing file is kept when the new one cannot be written.
    QFile old(path("Kept.pdf"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    EXPECT_FALSE(controller.writeData(QByteArray(), path("Kept.pdf")));
    EXPECT_EQ(readFile(path("Kept.pdf")), "old");
    EXPECT_TRUE(controller.writeData("new", path("Kept.pdf")));
    EXPECT_EQ(readFile(path("Kept.pdf")), "new");
}

// Every action, PowerPoint's own panel included, asks through the panel the
// controller was given; a modal panel of its own would block its caller.
TEST_F(TWExportControllerTest, EveryActionAsksThroughTheControllersPanel)
{
    addMaps();
    const struct
    {
        void (TWExportController::*action)();
        const char *fileType;
    } cases[] = {
        {&TWExportController::exportPDF, "pdf"},
        {&TWExportController::exportRTF, "rtf"},
        {&TWExportController::exportOPML, "opml"},
        {&TWExportController::exportPowerPoint, "pptx"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fileType);
        panels.clear();
        panelAnswer.reset();
        bool modal = false;
        // Closes a panel the action might open by itself, so that a fault
        // fails here rather than waiting for a click.
        QTimer::singleShot(0, [&modal] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                modal = true;
                w->close();
            }
        });
        (controller.*c.action)();
        QCoreApplication::processEvents();
        EXPECT_FALSE(modal);
        ASSERT_EQ(panels.size(), 1);
        EXPECT_EQ(panels[0].fileType, c.fileType);
    }
}

// What the MindManager files could not hold is told once, for all of them.
TEST_F(TWExportControllerTest, MindManagerExportTellsOnceWhatWasLeftOut)
{
    addMaps();
    const struct
    {
        const char *what;
        QString label;
        QList<int> rows;
        QString message; // empty: no alert
    } cases[] = {
        {"nothing left out", "root", {0, 1}, {}},
        {"a control character in one map of two",
         QStringLiteral("ro\u0010ot"),
         {0, 1},
         "1 character that XML cannot hold (a control character or a lone half of a "
         "character) was left out of “Plan 1.xml”."},
        {"two in one map",
         QStringLiteral("\u0001root\ufffe"),
         {0},
         "2 characters that XML cannot hold (control characters or lone halves of "
         "characters) were left out of “Plan.xml”."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        alerts.clear();
        QDir(outDir.path()).removeRecursively();
        QDir().mkpath(outDir.path());
        root->enclosedTextArea()->setString(c.label);
        panelAnswer = TWExportPanelResult{path("Plan.xml"), c.rows};
        controller.exportMindManager();
        QStringList messages;
        for (const auto &alert : alerts.alerts())
            messages << alert.message;
        EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
    }
}

} // namespace
