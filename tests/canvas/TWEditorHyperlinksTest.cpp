#include "CanvasTestSupport.h"

#include "canvas/SpellableTextView.h"
#include "model/TWLinkServices.h"

#include <QMenu>
#include <QMouseEvent>
#include <QTest>

using namespace CanvasTest;

namespace {

class RecordingOpener : public TWLinkOpener
{
public:
    bool openURL(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    bool revealFile(const QString &) override { return true; }
    QList<QUrl> opened;
};

const QUrl Docs(QStringLiteral("http://example.org/docs"));

// The titles the context menu adds after its last separator.
QStringList linkItems(QMenu *menu)
{
    QStringList titles;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            titles.clear();
        else
            titles << action->text();
    }
    return titles;
}

} // namespace

// The root's label "see docs here" is edited in place; "docs" is 4..8.
class EditorHyperlinks : public CanvasFixture
{
protected:
    EditorHyperlinks() : editor(view.editorView())
    {
        root->enclosedTextArea()->setString(QStringLiteral("see docs here"));
        settle();
        select({root});
        view.startEditingSelectedBranch();
        editor->setURLGetter([this](const QString &shown) {
            asked << shown;
            return answer;
        });
    }

    // A point of the editor's viewport inside the character at `index`.
    QPoint pointAt(int index) const
    {
        QTextCursor cursor(editor->document());
        cursor.setPosition(index);
        const QRect caret = editor->cursorRect(cursor);
        return QPointF((caret.x() + 2) * editor->scale(), caret.center().y() * editor->scale())
            .toPoint();
    }
    std::optional<QUrl> linkIn(const AttributedString &text, int index) const
    {
        return TWHyperlinkableText::linkAtIndex(text, index);
    }
    void addDocsLink()
    {
        editor->setSelectedRange({4, 4});
        answer = Docs.toString();
        ASSERT_TRUE(editor->addHyperlinkToText());
    }

    SpellableTextView *editor;
    std::optional<QString> answer;
    QStringList asked;
};

TEST_F(EditorHyperlinks, AddedLinkReachesTheLabelAndEditAndRemoveWorkOnItsRun)
{
    ASSERT_EQ(view.editingTextArea(), root->enclosedTextArea().get());
    struct Case
    {
        const char *name;
        AttributedString::Range selection;
        std::optional<QString> answer;
        bool changed;
        int alerts;
    };
    const Case cases[] = {
        {"no selection alerts", {4, 0}, QStringLiteral("http://x.org"), false, 1},
        {"cancelled panel", {4, 4}, std::nullopt, false, 0},
        {"no address made", {4, 4}, QStringLiteral("http://[bad"), false, 1},
        {"address", {4, 4}, Docs.toString(), true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        editor->setSelectedRange(c.selection);
        answer = c.answer;
        EXPECT_EQ(editor->addHyperlinkToText(), c.changed);
        EXPECT_EQ(alerts.alerts().size(), c.alerts);
        EXPECT_EQ(linkIn(editor->attributedString(), 5).has_value(), c.changed);
        EXPECT_EQ(editor->selectedRange(), c.selection);
    }
    EXPECT_FALSE(linkIn(editor->attributedString(), 3));
    EXPECT_FALSE(linkIn(editor->attributedString(), 8));

    // The whole run changes, wherever in it the menu was opened.
    answer = QStringLiteral("http://example.org/new");
    EXPECT_TRUE(editor->editHyperlinkInText(7));
    EXPECT_EQ(asked.last(), Docs.toString());
    EXPECT_EQ(linkIn(editor->attributedString(), 4), QUrl("http://example.org/new"));
    EXPECT_EQ(linkIn(editor->attributedString(), 7), QUrl("http://example.org/new"));

    // Ending the edit keeps the link in the label, as one undoable change.
    view.endEditingTextArea();
    settle();
    const AttributedString label = root->enclosedTextArea()->text();
    EXPECT_EQ(label.string(), "see docs here");
    EXPECT_EQ(linkIn(label, 5), QUrl("http://example.org/new"));
    undo->undo();
    EXPECT_FALSE(linkIn(root->enclosedTextArea()->text(), 5));
    undo->redo();

    // Removing takes the link off the run again.
    select({root});
    view.startEditingSelectedBranch();
    EXPECT_TRUE(editor->removeHyperlinkFromText(6));
    EXPECT_FALSE(editor->removeHyperlinkFromText(1));
    view.endEditingTextArea();
    settle();
    EXPECT_FALSE(linkIn(root->enclosedTextArea()->text(), 5));
}

TEST_F(EditorHyperlinks, MenuPointerAndTipFollowWhatIsUnderTheMouse)
{
    addDocsLink();
    const QPoint overLink = pointAt(5);
    const QPoint offLink = pointAt(1);
    ASSERT_EQ(editor->characterIndexAt(overLink), 5);
    struct Case
    {
        const char *name;
        QPoint point;
        AttributedString::Range selection;
        QStringList items;
        QString tip;
        Qt::CursorShape cursor;
    };
    const Case cases[] = {
        {"over the link", overLink, {0, 0}, {"Edit Hyperlink", "Remove Hyperlink"},
         Docs.toString() + " (Alt+Click)", Qt::PointingHandCursor},
        {"over the link, text selected", overLink, {0, 3},
         {"Edit Hyperlink", "Remove Hyperlink"}, Docs.toString() + " (Alt+Click)",
         Qt::PointingHandCursor},
        {"off the link, text selected", offLink, {0, 3}, {"Add Hyperlink"}, "", Qt::IBeamCursor},
        {"off the link, nothing selected", offLink, {1, 0}, {}, "", Qt::IBeamCursor},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        editor->setSelectedRange(c.selection);
        std::unique_ptr<QMenu> menu(editor->createHyperlinkContextMenu(c.point));
        EXPECT_EQ(linkItems(menu.get()), c.items);
        EXPECT_EQ(editor->toolTipAt(c.point), c.tip);
        QMouseEvent move(QEvent::MouseMove, c.point, editor->viewport()->mapToGlobal(c.point),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(editor->viewport(), &move);
        EXPECT_EQ(editor->viewport()->cursor().shape(), c.cursor);
    }

    // The menu's Remove acts on the run under the mouse.
    std::unique_ptr<QMenu> menu(editor->createHyperlinkContextMenu(overLink));
    menu->actions().last()->trigger();
    EXPECT_FALSE(linkIn(editor->attributedString(), 5));
}

TEST_F(EditorHyperlinks, OnlyAltClickFollowsTheLink)
{
    addDocsLink();
    RecordingOpener opener;
    TWLinkServices::Scope scope({&opener, nullptr, nullptr});
    const struct
    {
        Qt::KeyboardModifiers modifiers;
        int opened;
        bool caretInLink;
    } cases[] = {{Qt::NoModifier, 0, true}, {Qt::AltModifier, 1, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.modifiers));
        opener.opened.clear();
        editor->setSelectedRange({0, 0});
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, c.modifiers, pointAt(5));
        EXPECT_EQ(opener.opened.size(), c.opened);
        if (c.opened)
            EXPECT_EQ(opener.opened.first(), Docs);
        // A plain click places the caret in the link's text for editing.
        const qsizetype caret = editor->selectedRange().location;
        EXPECT_EQ(caret >= 4 && caret <= 8, c.caretInLink) << caret;
        EXPECT_EQ(view.editingTextArea(), root->enclosedTextArea().get());
    }
}
