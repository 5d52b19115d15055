#include "CanvasTestSupport.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "support/ParagraphStyle.h"
#include "support/RichTextFormat.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

using namespace CanvasTest;
using namespace BranchTest;

namespace {

// A copied branch carries its outline: label, notes, attached texts and the
// whole subtree, collapsed parts too, indented by paragraph style.
class CopyOutlineTest : public CanvasFixture
{
protected:
    CopyOutlineTest()
    {
        QGuiApplication::clipboard()->clear();
        a = child(root, 100, "a");
        a1 = child(a, 100, "a1", 700);
        auto note = std::make_shared<TWAttachedText>(std::nullopt, undo.get());
        note->setText(std::make_shared<const AttributedString>(QStringLiteral("Note")));
        a->insertObjectInAttachedTextArrayAtIndex(note, 0);
        auto text = TWGraphic::make<TWTextArea>(Rect(600, 60, 30, 20));
        text->setString("x");
        a->insertObjectInLinkedGraphicsAtIndex(text, 0);
        a->setChildrenHidden(true);
        settle();
    }
    ~CopyOutlineTest() override { QGuiApplication::clipboard()->clear(); }

    std::shared_ptr<TWMapBranch> a, a1;
};

TEST_F(CopyOutlineTest, PlainAndRichTextHoldTheOutline)
{
    struct Case
    {
        const char *name;
        int indentSelection; // ignored by the rich layout a copy uses
    };
    for (const Case c : {Case{"no indent", 0}, Case{"tabs", 2}}) {
        defaults.setDouble(c.indentSelection, "ExportTextIndentSelection");
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
        ASSERT_TRUE(view.copy()) << c.name;
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        EXPECT_EQ(data->text(), "a\nNote\nx\n\na1") << c.name;
        const auto rich = RichTextFormat::attributedStringFromRTF(data->data("text/rtf"));
        ASSERT_TRUE(rich) << c.name;
        EXPECT_EQ(rich->string(), data->text()) << c.name;
        const auto style = [&](const char *at) {
            return rich->attribute(NSParagraphStyleAttributeName, rich->string().indexOf(at))
                .value<ParagraphStyle>();
        };
        EXPECT_EQ(style("a\n").firstLineHeadIndent, 0) << c.name;
        EXPECT_EQ(style("Note").headIndent, 20) << c.name;
        EXPECT_EQ(style("x").headIndent, 30) << c.name;
        EXPECT_EQ(style("a1").firstLineHeadIndent, 20) << c.name;
        EXPECT_EQ(style("a1").headIndent, 40) << c.name;
    }
}

} // namespace
