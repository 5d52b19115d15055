#include "BranchTestSupport.h"
#include "graphics/TWRectangle.h"
#include "support/ParagraphStyle.h"

#include <functional>
#include <libxml/tree.h>

using namespace BranchTest;

namespace {

const QString fontName = QStringLiteral("DejaVuSans");

AttributedString textIn(const QString &string, double size)
{
    return AttributedString(string,
                            {{NSFontAttributeName, QVariant::fromValue(Font(fontName, size))}});
}

class TWTextAreaSettersTest : public BranchFixture
{
protected:
    // A rectangle branch right of the root with its label placed by
    // `position` and fitted to a 12-point text.
    std::shared_ptr<TWMapBranch> labelled(int position, int connectionSide = 1)
    {
        auto b = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(500, 100, 200, 40)), root.get(), map.get());
        b->connectionGraphic()->setConnectionToParentSide(connectionSide);
        b->setTextRelativePosition(position);
        const auto &label = b->enclosedTextArea();
        label->setText(textIn("Label", 12));
        const Size size = label->requiredSizeForWidth(b->textMaxWidth());
        const float y =
            position == 1 ? 103 : (position == 3 ? 137 - size.height : 120 - size.height / 2);
        label->setBounds(Rect(503, y, size.width, size.height));
        b->mainGraphic()->setBounds(Rect(500, 100, size.width + 6, 40));
        settle();
        return b;
    }
    static std::pair<Rect, Rect> geometry(const TWMapBranch &b)
    {
        return {b.mainGraphic()->bounds(), b.enclosedTextArea()->bounds()};
    }
};

TEST_F(TWTextAreaSettersTest, EachOperationIsOneNamedStepThatUndoesExactly)
{
    using Op = std::function<void(TWTextArea &)>;
    const Color red = Color::colorWithCalibratedRed(1, 0, 0, 1);
    struct Case
    {
        const char *name;
        Op op;
    } cases[] = {
        {"Edit text",
         [](TWTextArea &t) {
             t.publicSetText(textIn("Longer label", 12), t.bounds().insetBy(-10, -2));
         }},
        {"Edit text", [](TWTextArea &t) { t.publicSetTextAndResize(textIn("Two\nlines", 12)); }},
        {"Change text color", [red](TWTextArea &t) { t.publicSetForegroundColor(red); }},
        {"Align Left", [](TWTextArea &t) { t.publicAlignText(0); }},
        {"Align Right", [](TWTextArea &t) { t.publicAlignText(1); }},
        {"Center", [](TWTextArea &t) { t.publicAlignText(2); }},
        {"Set Font", [](TWTextArea &t) { t.publicSetFont(Font(fontName, 30)); }},
        {"Set Font", [](TWTextArea &t) { EXPECT_TRUE(t.publicChangeFontSizeBy(6)); }},
    };
    for (const Case &c : cases) {
        auto b = labelled(2);
        const auto before = geometry(*b);
        const AttributedString text = b->enclosedTextArea()->text();
        c.op(*b->enclosedTextArea());
        undo->closeEventGroup();
        EXPECT_EQ(undo->undoActionName(), c.name);
        EXPECT_NE(b->enclosedTextArea()->text(), text) << c.name;
        undo->undo();
        EXPECT_EQ(b->enclosedTextArea()->text(), text) << c.name;
        EXPECT_EQ(geometry(*b), before) << c.name;
        b->remove();
        settle();
    }
}

TEST_F(TWTextAreaSettersTest, FontStepsBelowOnePointAreRefused)
{
    auto b = labelled(2);
    const auto &label = b->enclosedTextArea();
    AttributedString mixed = textIn("big small", 12);
    mixed.addAttribute(NSFontAttributeName, QVariant::fromValue(Font(fontName, 1.5)), {4, 5});
    label->setText(mixed);
    settle();
    const int steps = undo->undoStepCount();

    // One run would fall below 1 point: nothing changes, nothing is named.
    EXPECT_FALSE(label->publicChangeFontSizeBy(-1));
    undo->closeEventGroup();
    EXPECT_EQ(label->text(), mixed);
    EXPECT_EQ(undo->undoStepCount(), steps);

    EXPECT_TRUE(label->publicChangeFontSizeBy(1));
    EXPECT_EQ(label->text().attribute(NSFontAttributeName, 0).value<Font>().pointSize(), 13);
    EXPECT_EQ(label->text().attribute(NSFontAttributeName, 5).value<Font>().pointSize(), 2.5);

    // A 1-point font cannot get smaller.
    label->setText(textIn("tiny", 1));
    EXPECT_FALSE(label->publicChangeFontSizeBy(-1));
    EXPECT_EQ(label->text(), textIn("tiny", 1));

    // Free text areas have no font steps and ignore fonts, but the font
    // operation still names its step.
    auto note = TWGraphic::make<TWTextArea>(Rect(0, 0, 80, 20));
    b->insertObjectInLinkedGraphicsAtIndex(note, 0);
    note->setBranch(b.get());
    note->setText(textIn("note", 12));
    EXPECT_FALSE(note->changeFontSizeBy(2));
    note->publicSetFont(Font(fontName, 20));
    note->publicSetFont(std::nullopt);
    EXPECT_EQ(note->text(), textIn("note", 12));
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Set Font");
}

TEST_F(TWTextAreaSettersTest, AFontChangeRefitsTheLabelByPositionAndSide)
{
    struct Case
    {
        const char *what;
        int position;
        int connectionSide;
    } cases[] = {{"top", 1, 1}, {"centre", 2, 1}, {"bottom", 3, 1}, {"growing left", 2, 3}};
    for (const Case &c : cases) {
        auto b = labelled(c.position, c.connectionSide);
        const auto [shape, label] = geometry(*b);
        b->enclosedTextArea()->publicSetFont(Font(fontName, 24));
        const auto [newShape, newLabel] = geometry(*b);
        const float grow = newLabel.height() - label.height();
        ASSERT_GT(grow, 8.0f) << c.what;
        // The shape grows upward by the label's growth, its bottom kept.
        EXPECT_EQ(newShape.maxY(), shape.maxY()) << c.what;
        EXPECT_FLOAT_EQ(newShape.y(), shape.y() - grow) << c.what;
        switch (c.position) {
        case 1:
            EXPECT_FLOAT_EQ(newLabel.y(), newShape.y() + 3) << c.what;
            break;
        case 2:
            EXPECT_FLOAT_EQ(newLabel.midY(), newShape.midY()) << c.what;
            break;
        case 3:
            // Moved once: 3 above the bottom edge that stayed.
            EXPECT_FLOAT_EQ(newLabel.maxY(), shape.maxY() - 3) << c.what;
            break;
        }
        if (c.connectionSide == 3)
            EXPECT_FLOAT_EQ(newLabel.maxX(), label.maxX()) << c.what;
        else
            EXPECT_FLOAT_EQ(newLabel.x(), label.x()) << c.what;
        b->remove();
        settle();
    }
}

TEST_F(TWTextAreaSettersTest, AlignmentCoversEveryParagraphAndKeepsTheEdit)
{
    auto b = labelled(2);
    const auto &label = b->enclosedTextArea();
    AttributedString two = textIn("first\nsecond", 12);
    ParagraphStyle centred;
    centred.alignment = CenterTextAlignment;
    two.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred), {6, 6});
    label->setText(two);
    label->setIsEditing(true);
    settle();

    Recorder recorder({TWTextArea::TextAreaEditingStateChangedNotification,
                       TWMapBranch::RedrawInRectNotification});
    label->publicAlignText(1);
    EXPECT_TRUE(label->isEditing());
    EXPECT_EQ(recorder.names(),
              QStringList({"TextAreaEditingStateChangedNotification", "RedrawInRectNotification",
                           "TextAreaEditingStateChangedNotification"}));
    for (qsizetype i : {0, 8})
        EXPECT_EQ(label->text()
                      .attribute(NSParagraphStyleAttributeName, i)
                      .value<ParagraphStyle>()
                      .alignment,
                  RightTextAlignment);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Align Right");
    undo->undo();
    EXPECT_EQ(label->text(), two);

    // An empty text: nothing at all.
    label->setText(AttributedString());
    settle();
    const int steps = undo->undoStepCount();
    recorder.clear();
    label->publicAlignText(2);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_TRUE(recorder.notifications.isEmpty());
}

TEST_F(TWTextAreaSettersTest, AttributesOnAFreeTextNeitherResizeNorName)
{
    auto b = labelled(2);
    auto note = TWGraphic::make<TWTextArea>(Rect(0, 0, 80, 20));
    b->insertObjectInLinkedGraphicsAtIndex(note, 0);
    note->setBranch(b.get());
    note->setText(textIn("note", 12));
    settle();
    const TextAttributes big{{NSFontAttributeName, QVariant::fromValue(Font(fontName, 40))}};
    note->setStringAttributes(big);
    undo->closeEventGroup();
    EXPECT_EQ(note->text(), AttributedString("note", big));
    EXPECT_EQ(note->bounds(), Rect(0, 0, 80, 20));
    EXPECT_EQ(undo->undoActionName(), QString());

    // The label takes them and is refitted.
    const float height = b->enclosedTextArea()->bounds().height();
    b->enclosedTextArea()->setStringAttributes(big);
    EXPECT_GT(b->enclosedTextArea()->bounds().height(), height + 20);
}

// New attributes for the whole text replace what each part had, a colour
// included; a link keeps its address and its own colour and underline.
TEST_F(TWTextAreaSettersTest, NewAttributesReplaceAllButWhatMakesALink)
{
    auto b = labelled(2);
    const QVariant red = QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0, 1));
    const QVariant blue = QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1, 1));
    const QVariant green = QVariant::fromValue(Color::colorWithCalibratedRed(0, 1, 0, 1));
    AttributedString text = textIn("plain link", 12);
    text.addAttribute(NSForegroundColorAttributeName, red, {0, 6});
    text.addAttributes({{NSLinkAttributeName, QStringLiteral("https://example.org/")},
                        {NSForegroundColorAttributeName, blue},
                        {NSUnderlineStyleAttributeName, 1}},
                       {6, 4});
    b->enclosedTextArea()->setText(text);
    const Font font(fontName, 20);
    b->enclosedTextArea()->setStringAttributes(
        {{NSFontAttributeName, QVariant::fromValue(font)}, {NSForegroundColorAttributeName, green}});
    const AttributedString &now = b->enclosedTextArea()->text();
    const TextAttributes plain = now.attributesAtIndex(2);
    EXPECT_EQ(plain.value(NSForegroundColorAttributeName), green);
    EXPECT_FALSE(plain.contains(NSLinkAttributeName));
    const TextAttributes link = now.attributesAtIndex(8);
    EXPECT_EQ(link.value(NSLinkAttributeName), QStringLiteral("https://example.org/"));
    EXPECT_EQ(link.value(NSForegroundColorAttributeName), blue);
    EXPECT_EQ(link.value(NSUnderlineStyleAttributeName), 1);
    for (const TextAttributes &part : {plain, link})
        EXPECT_EQ(part.value(NSFontAttributeName).value<Font>(), font);
}

TEST_F(TWTextAreaSettersTest, ALabelReadWithAWindowsFontIsRefittedAfterLoading)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    auto a = labelled(2);
    a->mainGraphic()->setBounds(Rect(500, 100, 300, 80));
    AttributedString windows("Windows label");
    windows.addAttribute(TWWinFontAttributeName,
                         QVariant::fromValue(TWWinFont("DejaVuSans", 9, false, false)), {0, 13});
    auto stored = TWGraphic::make<TWTextArea>(Rect(0, 0, 40, 20));
    stored->setText(windows);

    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr container = xmlNewNode(nullptr, BAD_CAST "graphic");
    xmlDocSetRootElement(doc, container);
    stored->addXmlDataToNode(container);
    auto read = std::dynamic_pointer_cast<TWTextArea>(
        TWGraphic::graphicWithXMLNode(container, doc, a.get()));
    xmlFreeDoc(doc);
    ASSERT_TRUE(read);
    a->setEnclosedTextArea(read);
    ASSERT_TRUE(a->needsMakeNaturalSize());

    document->processFlags();
    EXPECT_FALSE(a->needsMakeNaturalSize());
    const Size text = read->requiredSizeForWidth(a->textMaxWidth());
    EXPECT_EQ(a->mainGraphic()->bounds(),
              Rect(500, 140 - (text.height + 6) / 2, text.width + 6, text.height + 6));
    EXPECT_EQ(read->bounds(), Rect(503, 140 - text.height / 2, text.width, text.height));
}

} // namespace
