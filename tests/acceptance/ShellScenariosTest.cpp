// Walks the program's shell as a user meets it: texts, the palettes' font and
// wheel, picked maps, refusals of bad files and help.

#include "AcceptanceSupport.h"

#include "application/TWDDocument.h"
#include "application/TWHelpViewer.h"
#include "interface/FontPanel.h"
#include "model/PackageArchive.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWPaletteGroup.h"
#include "palettes/TWPaletteMapping.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

namespace {

// A string-table key shown as it stands ("DadoZiz-Title") instead of its text.
bool rawKey(const QString &text)
{
    static const QRegularExpression key(QStringLiteral("^[A-Za-z0-9]+(-[A-Z][A-Za-z0-9]*)+$"));
    return key.match(text).hasMatch() || text.contains(QLatin1String("DadoZiz"));
}

void collectMenuTexts(const QMenu *menu, QStringList &texts)
{
    for (QAction *action : menu->actions()) {
        texts << Acceptance::plainMenuText(action->text());
        if (action->menu())
            collectMenuTexts(action->menu(), texts);
    }
}

Font labelFont(const TWMapBranch &branch)
{
    return branch.enclosedTextArea()->text().attribute(NSFontAttributeName, 0).value<Font>();
}

} // namespace

class ShellScenarios : public AcceptanceTest
{
protected:
    void TearDown() override
    {
        delete &FontPanel::shared();
        AcceptanceTest::TearDown();
    }
    // One notch of the wheel over a widget of the window, as the window system sends it.
    void wheelOver(TWDocument *document, QWidget *widget)
    {
        const QPoint local = widget->rect().center();
        const QPointF at = QPointF(widget->mapTo(document->mainWindow(), local));
        QWheelEvent event(at, QPointF(widget->mapToGlobal(local)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::sendEvent(windowHandle(document), &event);
        settle();
    }
};

TEST_P(ShellScenarios, NoStringTableKeyShowsInTheMapTheWindowOrTheMenus)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    map->publicCreateChildren();
    settle();
    QStringList texts{label(*map->root()), document->mainWindow()->windowTitle()};
    texts += childLabels(*map->root());
    for (const QMenu *menu : document->mainWindow()->findChildren<QMenu *>())
        collectMenuTexts(menu, texts);
    for (const QString &text : texts)
        EXPECT_FALSE(rawKey(text)) << text.toStdString();
    EXPECT_EQ(label(*map->root()), "Main Idea");
    EXPECT_EQ(childLabels(*map->root()), QStringList{"New Branch"});
    grab(document, "texts");
}

TEST_P(ShellScenarios, TheTextPalettesFontButtonStartsFromTheSelectionAndAppliesOnce)
{
    TWDocument *document = newDocument();
    if (!document->dockedPalettesController())
        GTEST_SKIP() << "this edition keeps its palettes elsewhere";
    TWMap *map = currentMap(document);
    document->graphicView()->endEditingTextArea();
    map->setSelectedBranches({map->root()});
    settle();
    QWidget *text = document->dockedPalettesController()->paletteView(TWPaletteIDs::GeneralText);
    ASSERT_TRUE(text);
    QPushButton *button = nullptr;
    for (QPushButton *b : text->findChildren<QPushButton *>())
        if (b->text() == u"Font...")
            button = b;
    ASSERT_TRUE(button);
    button->click();
    settle();
    FontPanel &panel = FontPanel::shared();
    ASSERT_TRUE(panel.selectedFont());
    EXPECT_EQ(*panel.selectedFont(), labelFont(*map->root()));
    EXPECT_TRUE(panel.dialog()->isVisible());

    const int steps = document->undoManager()->undoStepCount();
    const Font chosen(QStringLiteral("DejaVuSerif-Bold"), 27);
    panel.chooseFont(chosen);
    settle();
    EXPECT_EQ(labelFont(*map->root()), chosen);
    EXPECT_EQ(document->undoManager()->undoStepCount(), steps + 1);
    grab(document, "font");
    panel.dialog()->close();
}

TEST_P(ShellScenarios, TheWheelOverThePaletteDockScrollsItAndLeavesPopUpsAlone)
{
    TWDocument *document = newDocument(QSize(1000, 500));
    if (!document->dockedPalettesController())
        GTEST_SKIP() << "this edition keeps its palettes elsewhere";
    TWMap *map = currentMap(document);
    document->graphicView()->endEditingTextArea();
    map->setSelectedBranches({map->root()});
    settle();
    QWidget *main = document->dockedPalettesController()->paletteView(TWPaletteIDs::BranchMain);
    ASSERT_TRUE(main);
    QComboBox *shape = main->findChild<QComboBox *>();
    ASSERT_TRUE(shape);
    ASSERT_TRUE(shape->isVisible()) << "the branch palette shows for a selected branch";
    const int before = shape->currentIndex();
    const int typeBefore = map->root()->mainGraphic() ? int(map->root()->branchType()) : -1;
    wheelOver(document, shape);
    EXPECT_EQ(shape->currentIndex(), before);
    EXPECT_EQ(map->root()->mainGraphic() ? int(map->root()->branchType()) : -1, typeBefore);
    EXPECT_FALSE(shape->hasFocus());
    grab(document, "wheel");
}

TEST_P(ShellScenarios, MapPalettesActOnEveryMapPickedInTheDocumentView)
{
    if (edition() != Edition::Deluxe)
        GTEST_SKIP() << "only the Deluxe edition has a document view";
    auto *document = static_cast<TWDDocument *>(newDocument());
    document->addMapUsingTemplate(false);
    settle();
    TWMapsDoc &maps = *document->mapsDocument();
    ASSERT_EQ(maps.countOfMaps(), 2);
    document->toggleDocumentView();
    settle();
    document->setSelectedGridRows({0, 1});
    settle();
    QWidget *options =
        document->dockedPalettesController()->paletteView(TWPaletteIDs::MapViewOptions);
    ASSERT_TRUE(options);
    QCheckBox *boundaries = nullptr;
    for (QCheckBox *box : options->findChildren<QCheckBox *>())
        if (box->text() == u"Boundaries")
            boundaries = box;
    ASSERT_TRUE(boundaries);
    const bool before = maps.objectInMapsAtIndex(0)->showBoundaries();
    ASSERT_EQ(maps.objectInMapsAtIndex(1)->showBoundaries(), before);
    boundaries->click();
    settle();
    EXPECT_EQ(maps.objectInMapsAtIndex(0)->showBoundaries(), !before);
    EXPECT_EQ(maps.objectInMapsAtIndex(1)->showBoundaries(), !before);
    grab(document, "picked maps");
}

TEST_P(ShellScenarios, RefusedFilesAreNamedInAnAlertThatSaysWhatIsWrong)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    QTemporaryDir dir;
    const QString damaged = dir.filePath("Damaged.tweb");
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a document at all");
    }
    const struct {
        QString path;
        const char *says;
    } cases[] = {
        {damaged, "damaged"},
        {dir.filePath("plan.xyz"), "does not know this kind of file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        alerts.clear();
        const int open = documentController->documents().size();
        EXPECT_FALSE(app->openFile(c.path));
        settle();
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_TRUE(alerts.alerts().first().title.contains(QFileInfo(c.path).fileName()));
        EXPECT_TRUE(alerts.alerts().first().message.contains(QLatin1String(c.says)))
            << alerts.alerts().first().message.toStdString();
        EXPECT_FALSE(alerts.alerts().first().message.contains("Error 0"));
        EXPECT_EQ(documentController->documents().size(), open);
    }
}

TEST_P(ShellScenarios, ADamagedDocumentOpensWholeAndSaysSoOnce)
{
    // A map whose central branch is of a kind this version does not know.
    QFile source(QStringLiteral(THINKWEB_TEST_DATA "/damaged/unknown-root-shape.xml"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QString path = dir.filePath("Plan.tweb");
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(PackageArchive::write(out, {{TWMapsDoc::ContentsPath, source.readAll()},
                                              {"Thinkweb/fileVersion.txt", "4.1"}}),
                  PackageArchive::WriteStatus::Written);
    }
    alerts.clear();
    ASSERT_TRUE(app->openFile(path));
    settle();
    ASSERT_EQ(alerts.alerts().size(), 1);
    const auto &said = alerts.alerts().first();
    EXPECT_TRUE(said.title.contains("Plan.tweb")) << said.title.toStdString();
    EXPECT_TRUE(said.title.contains(" 1 of its branches")) << said.title.toStdString();
    EXPECT_TRUE(said.message.contains("cannot read")) << said.message.toStdString();
    TWDocument *document = documentController->documentForPath(path);
    ASSERT_TRUE(document);
    ASSERT_TRUE(currentMap(document));
    EXPECT_EQ(currentMap(document)->allBranches().size(), 12);
    EXPECT_EQ(childLabels(*currentMap(document)->root()),
              QStringList({"Goals", "Tasks", "People"}));
    grab(document, "opened");

    // Saved as shown, and opened again whole without a word.
    ASSERT_TRUE(choose(document, {"File", "Save"}));
    document->mainWindow()->close();
    settle();
    alerts.clear();
    ASSERT_TRUE(app->openFile(path));
    settle();
    EXPECT_TRUE(alerts.alerts().isEmpty()) << alerts.alerts().first().title.toStdString();
    document = documentController->documentForPath(path);
    ASSERT_TRUE(document);
    EXPECT_EQ(currentMap(document)->allBranches().size(), 12);
}

TEST_P(ShellScenarios, F1ShowsTheHelpPages)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    key(document, Qt::Key_F1);
    ASSERT_TRUE(app->helpViewer()) << "F1 opened nothing";
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_TRUE(app->helpViewer()->isVisible());
    EXPECT_EQ(app->helpViewer()->currentTitle(), "Thinkweb Help");
    EXPECT_TRUE(app->helpViewer()->browser()->toPlainText().contains("Your first map"));
    app->helpViewer()->close();
}

ACCEPTANCE_EDITIONS(ShellScenarios);
