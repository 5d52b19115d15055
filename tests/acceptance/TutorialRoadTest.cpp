#include "AcceptanceSupport.h"

#include <QFileInfo>

// The steps of the shipped tutorial "Your first map", as its page words them.
class TutorialRoad : public AcceptanceTest
{
};

TEST_P(TutorialRoad, YourFirstMapWorksAsWritten)
{
    // Choose File > New: the title of the central branch is selected.
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    TWMapBranch *root = map->root().get();
    ASSERT_EQ(document->editingTextArea(), root->enclosedTextArea().get());

    // Type a title and press Escape: the text becomes its label.
    type(document, QStringLiteral("Plans"));
    key(document, Qt::Key_Escape);
    EXPECT_EQ(label(*root), QStringLiteral("Plans"));
    ASSERT_EQ(map->countOfSelectedGraphics(), 1);

    // Press Tab to add a child branch and type its label.
    key(document, Qt::Key_Tab);
    type(document, QStringLiteral("Goals"));
    // Press Shift-Tab to add a sibling of the branch you are typing in.
    key(document, Qt::Key_Backtab, Qt::ShiftModifier);
    type(document, QStringLiteral("Dates"));
    key(document, Qt::Key_Escape);
    ASSERT_EQ(childLabels(*root), (QStringList{"Goals", "Dates"}));
    TWMapBranch *goals = root->children().at(0).get();
    TWMapBranch *dates = root->children().at(1).get();
    EXPECT_EQ(dates->parent(), root);

    // Hold Alt and drag a branch onto another one to move it there.
    drag(document, windowPoint(document, *dates->enclosedTextArea()),
         windowPoint(document, *goals->enclosedTextArea()), 8, Qt::AltModifier);
    wait(100);
    EXPECT_EQ(childLabels(*root), QStringList{"Goals"});
    EXPECT_EQ(childLabels(*goals), QStringList{"Dates"});
    grab(document, QStringLiteral("walked"));

    // Save with File > Save; maps are kept in .tweb files.
    const QString path = dir.filePath("Plans.tweb");
    alerts.queueSaveResponse(path);
    ASSERT_TRUE(choose(document, {"File", "Save"}));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(document->isDocumentEdited());
}

ACCEPTANCE_EDITIONS(TutorialRoad);
