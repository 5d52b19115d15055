#include "CanvasTestSupport.h"
#include "canvas/SpellableTextView.h"
#include "graphics/TWImage.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "support/ParagraphStyle.h"
#include "support/RichTextFormat.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

using namespace CanvasTest;
using namespace BranchTest;

namespace {

QByteArray png()
{
    QImage image(8, 6, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class TWGraphicViewClipboardTest : public CanvasFixture
{
protected:
    TWGraphicViewClipboardTest()
    {
        QGuiApplication::clipboard()->clear();
        a = child(root, 100, "a");
        a1 = child(a, 100, "a1", 700);
        b = child(root, 300, "b");
        note = b->publicCreateLinkedGraphicOfType(TWMapBranch::LinkedRectangle, Size(30, 20),
                                                  std::nullopt, QVariant());
        settle();
    }
    ~TWGraphicViewClipboardTest() override { QGuiApplication::clipboard()->clear(); }

    void selectGraphics(const QList<std::shared_ptr<TWGraphic>> &graphics)
    {
        map->removeAllSelectedGraphics();
        for (const auto &g : graphics)
            map->insertObjectInSelectedGraphicsAtIndex(g, map->countOfSelectedGraphics());
    }
    QStringList clipboardFormats() const
    {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QStringList formats = data ? data->formats() : QStringList();
        formats.removeIf([](const QString &f) { return f.startsWith("application/x-qt"); });
        formats.sort();
        return formats;
    }
    std::shared_ptr<TWMapBranch> a, a1, b;
    std::shared_ptr<TWGraphic> note;
};

TEST_F(TWGraphicViewClipboardTest, CopyTakesOneBranchOrOneAttachedGraphic)
{
    auto second = b->publicCreateLinkedGraphicOfType(TWMapBranch::LinkedOval, Size(20, 20),
                                                     std::nullopt, QVariant());
    auto link = std::make_shared<TWLinkLine>();
    link->init();
    link->setBranch(a.get());
    const struct
    {
        const char *name;
        QList<std::shared_ptr<TWGraphic>> selection;
        QString copied; // the private type, empty when refused
        QString contains;
    } cases[] = {
        {"nothing", {}, "", ""},
        {"label alone copies the branch", {a->enclosedTextArea()}, "ThinkwebBranch", "a1"},
        {"shape copies the branch", {a->mainGraphic()}, "ThinkwebBranch", "a1"},
        {"two branches", {a->mainGraphic(), b->mainGraphic()}, "", ""},
        {"shape and attached graphic", {b->mainGraphic(), note}, "", ""},
        {"two attached: the last", {note, second}, "ThinkwebGraphic", "TWCircle"},
        {"a link line", {link}, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->clear();
        selectGraphics(c.selection);
        const int beeps = alerts.beepCount();
        EXPECT_EQ(view.copy(), !c.copied.isEmpty());
        EXPECT_EQ(alerts.beepCount(), beeps + (c.copied.isEmpty() ? 1 : 0));
        if (c.copied.isEmpty()) {
            EXPECT_TRUE(clipboardFormats().isEmpty());
            continue;
        }
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        EXPECT_TRUE(QString::fromUtf8(data->data(c.copied)).contains(c.contains));
        EXPECT_FALSE(data->data("application/pdf").isEmpty());
        if (c.copied == "ThinkwebBranch") {
            EXPECT_EQ(data->text(), "a\na1");
            EXPECT_TRUE(RichTextFormat::attributedStringFromRTF(data->data("text/rtf")));
        }
    }
}

TEST_F(TWGraphicViewClipboardTest, CutDeletesOnlyWhatWasCopied)
{
    selectGraphics({a->mainGraphic(), b->mainGraphic()});
    view.cut();
    EXPECT_EQ(root->countOfChildren(), 2);
    EXPECT_EQ(alerts.beepCount(), 1);

    select({a});
    view.cut();
    settle();
    EXPECT_EQ(root->countOfChildren(), 1);
    EXPECT_EQ(undo->undoActionName(), "Cut");

    // The cut text stays what it was when cut.
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), "a\na1");
    select({b});
    view.paste();
    settle();
    ASSERT_EQ(b->countOfChildren(), 1);
    EXPECT_EQ(nameOf(*b->children().first()), "a");
    EXPECT_EQ(b->children().first()->countOfChildren(), 1);
    EXPECT_EQ(undo->undoActionName(), "Paste");
}

TEST_F(TWGraphicViewClipboardTest, PasteTakesTheFirstTypeByPreference)
{
    selectGraphics({note});
    const QByteArray graphicXml = view.clipboardDataForSelection()->data("ThinkwebGraphic");
    select({a});
    const QByteArray branchXml = view.clipboardDataForSelection()->data("ThinkwebBranch");
    AttributedString bold("bold");
    ParagraphStyle centred;
    centred.alignment = 2;
    bold.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred),
                      AttributedString::Range(0, 4));
    const QByteArray rtf = RichTextFormat::rtfFromAttributedString(bold);

    using Formats = QList<QPair<QString, QByteArray>>;
    const struct
    {
        const char *name;
        Formats formats;
        int mode;
        int selected; // branches selected: a, then b
        QString result;
        QString undoName;
    } cases[] = {
        {"empty", {}, 0, 1, "beep", ""},
        {"graphic before branch",
         {{"ThinkwebBranch", branchXml}, {"ThinkwebGraphic", graphicXml}},
         0,
         1,
         "attached TWRectangle",
         "Paste"},
        {"branch", {{"ThinkwebBranch", branchXml}}, 0, 1, "child a", "Paste"},
        {"branch as attached graphic", {{"ThinkwebBranch", branchXml}}, 1, 1, "beep", ""},
        {"HTML before picture",
         {{"image/png", png()}, {"text/html", "<p>from <b>html</b><img src='http://x/y.png'>"}},
         0,
         1,
         "child from html\uFFFC",
         "Paste"},
        {"picture before RTF", {{"text/rtf", rtf}, {"image/png", png()}}, 0, 1, "picture", "Paste"},
        {"RTF", {{"text/rtf", rtf}}, 0, 1, "child bold", "Paste"},
        {"RTF onto two branches", {{"text/rtf", rtf}}, 0, 2, "beep", ""},
        {"RTF attached", {{"text/rtf", rtf}}, 1, 1, "attached TWTextArea bold", "Attach Text"},
        {"RTF from another program",
         {{"text/rtf", "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss\\fcharset0 "
                       "Helvetica;}\\pard\\qc\\f0\\b\\fs24 Hello\\b0  world\\par}"}},
         1,
         1,
         "attached TWTextArea Hello world\n",
         "Attach Text"},
        {"picture attached", {{"image/png", png()}}, 1, 1, "attached TWImage", "Attach Image"},
        {"plain text with nothing selected",
         {{"text/plain", "a\nb"}},
         0,
         0,
         "root child a\nb",
         "Paste"},
        {"PDF that does not read", {{"application/pdf", "junk"}}, 0, 1, "beep", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->clear();
        view.endEditingTextArea();
        undo->removeAllActions();
        auto target = child(root, 500, "t");
        auto other = child(root, 600, "u");
        settle();
        if (c.selected == 0)
            map->removeAllSelectedGraphics();
        else
            select(c.selected == 1 ? QList{target} : QList{target, other});
        auto *data = new QMimeData;
        for (const auto &[type, bytes] : c.formats)
            data->setData(type, bytes);
        QGuiApplication::clipboard()->setMimeData(data);
        const int beeps = alerts.beepCount();
        const int rootChildren = root->countOfChildren();
        if (c.mode == 0)
            view.paste();
        else
            view.pasteToAttachedGraphic();
        settle();

        QString result;
        if (alerts.beepCount() > beeps)
            result = "beep";
        else if (root->countOfChildren() > rootChildren)
            result = "root child " + nameOf(*root->children().last());
        else if (target->countOfChildren() > 0)
            result = "child " + nameOf(*target->children().first());
        else if (target->countOfLinkedGraphics() > 0) {
            const auto &g = target->linkedGraphics().first();
            result = "attached " + g->className();
            if (auto text = std::dynamic_pointer_cast<TWTextArea>(g)) {
                result += " " + text->text().string();
                EXPECT_FALSE(text->text().attribute(NSParagraphStyleAttributeName, 0).isValid());
                EXPECT_EQ(text->bounds(), Rect(target->branchBounds().x() + 20,
                                               target->branchBounds().y() - 20, 150, 75));
            }
            if (g->className() == "TWImage")
                EXPECT_TRUE(g->imageFilename()->endsWith("/ExtractedImage.tiff"));
            if (c.mode == 1)
                EXPECT_EQ(map->objectInSelectedGraphicsAtIndex(0), g);
        } else if (target->enclosedImage())
            result = "picture";
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(undo->undoActionName(), c.undoName);
        if (c.result.contains("child") && c.mode == 0) {
            if (!c.formats.first().first.startsWith("Thinkweb")) {
                // Editing starts on the pasted label, not on a default text.
                ASSERT_TRUE(view.editingTextArea());
                EXPECT_EQ(view.editingTextArea()->branch()->parent(),
                          c.result.startsWith("root") ? root.get() : target.get());
                EXPECT_EQ(view.editorView()->toPlainText(),
                          view.editingTextArea()->text().string());
                view.endEditingTextArea();
            }
            // One step takes the whole paste back.
            undo->undo();
            EXPECT_EQ(root->countOfChildren(), rootChildren);
            EXPECT_EQ(target->countOfChildren(), 0);
        }
        view.endEditingTextArea();
        target->remove();
        other->remove();
        settle();
    }
}

TEST_F(TWGraphicViewClipboardTest, EditorPasteLeavesTheClipboardAlone)
{
    AttributedString text("x");
    ParagraphStyle centred;
    centred.alignment = 2;
    text.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred),
                      AttributedString::Range(0, 1));
    auto *data = new QMimeData;
    data->setData("text/rtf", RichTextFormat::rtfFromAttributedString(text));
    data->setText("plain");
    QGuiApplication::clipboard()->setMimeData(data);

    select({b});
    view.startEditingSelectedBranch();
    ASSERT_TRUE(view.editingTextArea());
    view.editorView()->paste();
    EXPECT_TRUE(view.editorView()->toPlainText().contains("x"));
    EXPECT_FALSE(view.editorView()->toPlainText().contains("plain"));
    // Every format the other program offered is still there.
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), "plain");
    view.endEditingTextArea();
    settle();

    // A copied branch goes onto the map, not into the text.
    select({a});
    ASSERT_TRUE(view.copy());
    select({b});
    view.startEditingSelectedBranch();
    view.editorView()->paste();
    settle();
    EXPECT_EQ(view.editingTextArea(), nullptr);
    ASSERT_EQ(b->countOfChildren(), 1);
    EXPECT_EQ(nameOf(*b->children().first()), "a");
}

} // namespace
