#include "MapDrawingFixture.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTitleConnection.h"
#include "support/Font.h"
#include "support/Shadow.h"

using namespace MapDrawingTest;

namespace {

// Two shapes under the root, each with its own fill and line set.
class StyleListTest : public MapFixture
{
protected:
    StyleListTest()
    {
        for (const auto &b : {x, y}) {
            auto shape = TWGraphic::make<TWRectangle>(b->mainGraphic()->bounds());
            b->setMainGraphic(shape);
            shape->setBranch(b.get());
            shape->setInheritsFill(false);
            shape->setFillColor(red);
            shape->setInheritsStroke(false);
            shape->setStrokeColor(blue);
            shape->setStrokeWidth(2);
            shape->setStrokeStyle(3);
            auto connection = TWGraphic::make<TWChildConnection>(Rect());
            connection->setStrokeStyle(4);
            b->setConnectionGraphic(connection);
            b->enclosedTextArea()->setStringAttributes(
                {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 12))},
                 {NSForegroundColorAttributeName, QVariant::fromValue(blue)}});
        }
        settle();
        undo->removeAllActions();
    }
    QStringList list(const TWMapUtilities::GraphicList &graphics)
    {
        QStringList result;
        for (const auto &e : TWMapUtilities::buildStyleListForGraphics(graphics)) {
            result << e.styleType + " = " + e.text;
            EXPECT_EQ(e.image.size(), QSize(24, 24)) << e.styleType.toStdString();
        }
        return result;
    }
    QString name(const Color &c) { return TWMapUtilities::colorNameFromColor(c).value_or("?"); }

    Color red = Color::colorWithCalibratedRed(1, 0, 0);
    Color blue = Color::colorWithCalibratedRed(0, 0, 1);
    std::shared_ptr<TWMapBranch> x = child(root, 100, "x");
    std::shared_ptr<TWMapBranch> y = child(root, 200, "y");
};

TEST_F(StyleListTest, ListsWhatEveryGraphicShares)
{
    const QStringList all = {
        "FillColor = Fill Color: " + name(red),
        "LineColor = Line Color: " + name(blue),
        "LineWidth = Line Width: 2.0",
        "LineStyle = Line Style: " + TWMapUtilities::lineStyleNameFromStyle(3),
        "Font = Font: 12.0pt Helvetica",
        "FontColor = Font Color: " + name(blue),
        "ConnectionStyle = Connection Style: " + TWMapUtilities::lineStyleNameFromStyle(4),
    };
    const auto without = [&](const QStringList &types) {
        QStringList kept = all;
        kept.removeIf([&](const QString &e) { return types.contains(e.section(" = ", 0, 0)); });
        return kept;
    };
    const Shadow shadow(Size(2, -2), 3, red);
    const auto setShadow = [&](TWGraphic &g, const Shadow &s) {
        g.setDrawsShadow(true);
        g.setInheritsShadow(false);
        g.setShadow(s);
    };
    struct Case
    {
        const char *name;
        std::function<TWMapUtilities::GraphicList()> setUp;
        QStringList expected;
    };
    const Case cases[] = {
        {"label and shape of two branches",
         [&] {
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->enclosedTextArea()};
         },
         all},
        {"different line colours keep the fill",
         [&] {
             y->mainGraphic()->setStrokeColor(red);
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         without({"LineColor"})},
        {"inherited settings count as unset",
         [&] {
             x->mainGraphic()->setInheritsFill(true);
             y->mainGraphic()->setInheritsFill(true);
             y->mainGraphic()->setInheritsStroke(true);
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         without({"FillColor"})},
        {"different widths and styles",
         [&] {
             y->mainGraphic()->setStrokeWidth(1);
             y->mainGraphic()->setStrokeStyle(1);
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         without({"LineWidth", "LineStyle"})},
        {"a run without font or colour",
         [&] {
             y->enclosedTextArea()->setText(AttributedString("plain"));
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         without({"Font", "FontColor"})},
        {"title connections are not counted",
         [&] {
             auto title = TWGraphic::make<TWTitleConnection>(Rect());
             title->setStrokeStyle(7);
             y->setConnectionGraphic(title);
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         all},
        {"the same shadow",
         [&] {
             setShadow(*x->mainGraphic(), shadow);
             setShadow(*y->mainGraphic(), shadow);
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         without({"ConnectionStyle"}) +
             QStringList{"Shadow = Shadow: " + name(red) + ", Fuzziness: 3.0 Offset:2.0/-2.0",
                         all.last()}},
        {"different shadows",
         [&] {
             setShadow(*x->mainGraphic(), shadow);
             setShadow(*y->mainGraphic(), Shadow(Size(2, -2), 4, red));
             return TWMapUtilities::GraphicList{x->mainGraphic(), y->mainGraphic()};
         },
         all},
        {"an attached graphic stands for itself",
         [&] {
             auto box = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));
             box->setInheritsFill(false);
             box->setFillColor(blue);
             box->setStrokeWidth(5);
             x->insertObjectInLinkedGraphicsAtIndex(box, 0);
             box->setBranch(x.get());
             return TWMapUtilities::GraphicList{box};
         },
         {"FillColor = Fill Color: " + name(blue), "LineWidth = Line Width: 5.0",
          "LineStyle = Line Style: " + TWMapUtilities::lineStyleNameFromStyle(1)}},
        {"nothing", [] { return TWMapUtilities::GraphicList{}; }, {}},
    };
    for (const Case &c : cases) {
        const TWMapUtilities::GraphicList graphics = c.setUp();
        EXPECT_EQ(list(graphics), c.expected) << c.name;
        undo->closeEventGroup();
        if (undo->canUndo())
            undo->undo();
    }
}

TEST_F(StyleListTest, SamplesShowTheValue)
{
    for (const auto &b : {x, y}) {
        b->mainGraphic()->setDrawsShadow(true);
        b->mainGraphic()->setInheritsShadow(false);
        b->mainGraphic()->setShadow(Shadow(Size(3, -3), 2, std::nullopt));
    }
    const auto entries =
        TWMapUtilities::buildStyleListForGraphics({x->mainGraphic(), y->mainGraphic()});
    ASSERT_EQ(entries.size(), 8);
    for (const auto &e : entries) {
        // Every sample draws something.
        int inked = 0;
        for (int py = 0; py < 24; ++py)
            for (int px = 0; px < 24; ++px)
                inked += qAlpha(e.image.pixel(px, py)) > 0;
        EXPECT_GT(inked, 10) << e.styleType.toStdString();
    }
    EXPECT_EQ(QColor(entries[0].image.pixel(0, 0)), QColor(Qt::red));
    EXPECT_EQ(entries[0].value.value<Color>(), red);
    EXPECT_EQ(entries[2].value.value<float>(), 2.0f);
    EXPECT_EQ(entries[4].value.value<Font>(), Font("Helvetica", 12));
}

} // namespace
