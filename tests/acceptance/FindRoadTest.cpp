#include "AcceptanceSupport.h"

#include "application/TWOutlineViewController.h"
#include "canvas/TWFindController.h"
#include "canvas/TWFindPanel.h"
#include "support/AttributedString.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QTextEdit>

// Find as the user meets it: the panel from the Edit menu, a word typed and
// Return pressed, and the hit shown where it is. The outline window is the
// real one here, since a hit in a branch's notes is shown in its notes pane.
class FindRoad : public AcceptanceTest
{
protected:
    void SetUp() override
    {
        services.outlineWindow = [this]() -> OutlineWindow * {
            if (!outline)
                outline = std::make_unique<TWOutlineViewController>(true);
            return outline.get();
        };
        AcceptanceTest::SetUp();
        finder = std::make_unique<TWFindController>();
        TWFindController::setShared(finder.get());
    }
    void TearDown() override
    {
        TWFindController::setShared(nullptr);
        finder.reset();
        outline.reset();
        AcceptanceTest::TearDown();
    }

    // The central branch clicked, then Tab-typed children.
    void grow(TWDocument *document, const QStringList &labels)
    {
        TWMap *map = currentMap(document);
        click(document, windowPoint(document, *map->root()->mainGraphic()));
        key(document, Qt::Key_Tab);
        for (qsizetype i = 0; i < labels.size(); ++i) {
            if (i > 0)
                key(document, Qt::Key_Backtab, Qt::ShiftModifier);
            type(document, labels.at(i));
        }
        key(document, Qt::Key_Escape);
    }
    // Typed into the outline window's notes pane.
    void typeNotes(const QString &text)
    {
        QTest::keyClicks(outline->branchNotesView(), text);
        settle();
    }
    // Edit > Find > Find..., the word typed into the panel and Return pressed.
    void find(TWDocument *document, const QString &word)
    {
        ASSERT_TRUE(choose(document, {"Edit", "Find", "Find..."}));
        TWFindPanel *panel = finder->findPanel();
        ASSERT_TRUE(panel && panel->isVisible());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        QTest::keyClicks(panel->findField(), word);
        QTest::keyClick(panel->findField(), Qt::Key_Return);
        wait(150);
    }

    std::unique_ptr<TWOutlineViewController> outline;
    std::unique_ptr<TWFindController> finder;
};

// A word that only a branch's notes hold is found, the branch is picked in
// the map, and the notes pane comes forward with the word selected; Find
// Next from the map's window walks on to the next note that holds it.
TEST_P(FindRoad, AWordInABranchsNotesIsShownSelectedInTheNotes)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    grow(document, {"Apples", "Pears", "Plums"});
    TWMap *map = currentMap(document);
    ASSERT_EQ(childLabels(*map->root()), (QStringList{"Apples", "Pears", "Plums"}));
    TWMapBranch *pears = map->root()->children().at(1).get();
    TWMapBranch *plums = map->root()->children().at(2).get();

    // Notes typed through the outline window: Pears picked on the canvas,
    // Window > Branch Notes, the text typed.
    struct Note
    {
        TWMapBranch *branch;
        const char *text;
    };
    for (const Note &note : {Note{pears, "ripe in october"}, Note{plums, "sour until october"}}) {
        show(document, QSize(1000, 700));
        click(document, windowPoint(document, *note.branch->mainGraphic()));
        ASSERT_EQ(map->selectedBranches(), (QList<TWMapBranch *>{note.branch}));
        ASSERT_TRUE(choose(document, {"Window", "Branch Notes"}));
        ASSERT_TRUE(outline);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(outline->window()));
        wait(150);
        ASSERT_FALSE(outline->branchNotesView()->isReadOnly());
        typeNotes(QString::fromLatin1(note.text));
        wait(150);
        ASSERT_TRUE(note.branch->primaryAttachedText());
        ASSERT_EQ(note.branch->primaryAttachedText()->string(), QString::fromLatin1(note.text));
    }

    // Back in the map, the outline shown without its notes, another branch
    // picked: the hit has to bring the notes back of its own accord.
    outline->showOutlineOnly();
    show(document, QSize(1000, 700));
    click(document, windowPoint(document, *map->root()->children().at(0)->mainGraphic()));

    struct Step
    {
        const char *what;
        const char *file;
        std::function<void()> act;
        TWMapBranch *branch;
    };
    const Step steps[] = {
        {"found from the panel", "found", [&] { find(document, QStringLiteral("october")); },
         pears},
        {"the next hit, from the map's menu", "next",
         [&] {
             show(document, QSize(1000, 700));
             ASSERT_TRUE(choose(document, {"Edit", "Find", "Find Next"}));
             wait(150);
         },
         plums},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        // However long a busy machine takes to show the hit: the checks below
        // say whether it came.
        QTest::qWaitFor(
            [&] {
                const QTextEdit *shown = outline->branchNotesView();
                return shown && map->selectedBranches() == QList<TWMapBranch *>{step.branch} &&
                       shown->textCursor().selectedText() == QStringLiteral("october");
            },
            30000);
        // Only the notes hold the word.
        ASSERT_EQ(finder->findResults().size(), 2);
        QTextEdit *notes = outline->branchNotesView();
        ASSERT_TRUE(notes);
        EXPECT_EQ(outline->selectedToolbarItem(), TWOutlineViewController::ShowNotesOnlyIdentifier);
        EXPECT_TRUE(notes->isVisible());
        EXPECT_EQ(map->selectedBranches(), (QList<TWMapBranch *>{step.branch}));
        EXPECT_EQ(notes->toPlainText(), step.branch->primaryAttachedText()->string());
        const QTextCursor cursor = notes->textCursor();
        EXPECT_EQ(cursor.selectedText(), QStringLiteral("october"));
        EXPECT_EQ(cursor.selectionStart(), notes->toPlainText().indexOf(QStringLiteral("october")));
        EXPECT_TRUE(notes->hasFocus());
        const QImage shown = outline->window()->grab().toImage();
        shown.save(QDir(Acceptance::grabFolder())
                       .filePath(QStringLiteral("FindRoad-%1-%2.png")
                                     .arg(QString::fromLatin1(Acceptance::editionName(edition())),
                                          QString::fromLatin1(step.file))));
    }
}

ACCEPTANCE_EDITIONS(FindRoad);
