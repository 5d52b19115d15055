// Characters outside the label's own font, and tabs: what a label holds is
// drawn, with the room it takes.
#include "render/DrawingContext.h"
#include "render/TWTextLayout.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QPainter>

namespace {

AttributedString label(const QString &string, const QString &font = "LiberationSans",
                       int alignment = NaturalTextAlignment)
{
    ParagraphStyle style;
    style.alignment = alignment;
    return AttributedString(string, {{NSFontAttributeName, QVariant::fromValue(Font(font, 12))},
                                     {NSParagraphStyleAttributeName, QVariant::fromValue(style)}});
}

// Where a character starts and how far it reaches, laid out on one line.
struct Placed
{
    float left, width;
};
Placed place(const AttributedString &text, qsizetype index)
{
    TWTextLayout layout;
    layout.setLineFragmentPadding(0);
    layout.setContainerSize(Size(400, 100));
    layout.setAttributedString(text);
    const Rect r = layout.boundingRectForGlyph(index);
    return {r.x(), r.width()};
}

// Dark pixels of the text drawn on white, in one column range.
int darkPixels(const AttributedString &text, int fromX, int toX)
{
    TWTextLayout layout;
    layout.setLineFragmentPadding(0);
    layout.setContainerSize(Size(400, 40));
    layout.setAttributedString(text);
    QImage image = DrawingContext::makeImage(Size(400, 40), 1.0, Qt::white);
    {
        QPainter painter(&image);
        layout.draw(painter, Point(0, 0));
    }
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = std::max(fromX, 0); x < std::min(toX, image.width()); ++x)
            dark += qGray(image.pixel(x, y)) < 160;
    return dark;
}

// A character of a private plane: no font has it.
const QString kNoGlyph = QString::fromUcs4(U"\U000F0001");

TEST(TWTextLayoutGlyphs, TabsTakeRoomWhateverTheAlignment)
{
    const struct
    {
        const char *what;
        int alignment;
        QString font;
    } cases[] = {
        {"natural", NaturalTextAlignment, "LiberationSans"},
        {"left", LeftTextAlignment, "LiberationSans"},
        {"centred", CenterTextAlignment, "LiberationSans"},
        {"right", RightTextAlignment, "LiberationSans"},
        {"a font not installed", CenterTextAlignment, "SourceSansPro-Italic"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const AttributedString text = label("Tab\tinside", c.font, c.alignment);
        const Placed b = place(text, 2), tab = place(text, 3), i = place(text, 4);
        // The tab reaches at least a space's width and the next word starts
        // after it: "Tab inside", never "Tabinside".
        EXPECT_GE(tab.width, 3.0f);
        EXPECT_GE(i.left - (b.left + b.width), 3.0f);
        // A left tab stop every 28 points: the word starts at the first one.
        if (c.alignment == NaturalTextAlignment || c.alignment == LeftTextAlignment)
            EXPECT_NEAR(i.left, 28.0f, 0.5f);
    }
}

TEST(TWTextLayoutGlyphs, CharactersTheFontLacksAreDrawn)
{
    const qsizetype core = QStringLiteral("Core").size();
    const struct
    {
        const char *what;
        QString string;
        QString font;
    } cases[] = {
        {"Chinese", QStringLiteral("Core模块"), "LiberationSans"},
        {"Japanese", QStringLiteral("Coreかな"), "LiberationSans"},
        {"Korean", QStringLiteral("Core한국"), "LiberationSans"},
        {"Chinese in a font not installed", QStringLiteral("Core模块"), "SourceSansPro-Bold"},
        // Liberation Serif's own stand-in for a missing glyph draws nothing.
        {"a character no font has", QStringLiteral("Core") + kNoGlyph + kNoGlyph,
         "LiberationSerif"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const AttributedString text = label(c.string, c.font);
        const Placed first = place(text, core);
        EXPECT_GE(first.width, 5.0f);
        // Ink where the characters stand, not just room.
        const int from = int(std::ceil(first.left)) + 1;
        TWTextLayout layout;
        layout.setLineFragmentPadding(0);
        layout.setContainerSize(Size(400, 100));
        layout.setAttributedString(text);
        const int to = int(std::floor(layout.usedRect().maxX()));
        EXPECT_GE(to - from, 8);
        EXPECT_GT(darkPixels(text, from, to), 12);
    }
}

} // namespace
