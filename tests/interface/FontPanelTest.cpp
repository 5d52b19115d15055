#include "interface/FontPanel.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SharedPanelsTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        delete &FontPanel::shared();
        delete &ColorPanel::shared();
    }
    // A target that records the fonts the panel makes of `base`.
    FontPanel::Target recorder(QList<Font> &into, const Font &base = Font())
    {
        return [&into, base](FontPanel &panel) { into << panel.convertFont(base); };
    }
};

TEST_F(SharedPanelsTest, FontChoicesGoToTheWindowThePanelWasOpenedFor)
{
    FontPanel &panel = FontPanel::shared();
    auto first = std::make_unique<QWidget>();
    auto second = std::make_unique<QWidget>();
    QList<Font> toFirst, toSecond;
    panel.setTarget(first.get(), recorder(toFirst));
    panel.setTarget(second.get(), recorder(toSecond));
    const Font a(QStringLiteral("DejaVuSans"), 11), b(QStringLiteral("DejaVuSerif"), 14);

    struct Step
    {
        QWidget *openFor;
        Font chosen;
        QList<Font> first;
        QList<Font> second;
    };
    const Step steps[] = {
        {first.get(), a, {a}, {}},
        {second.get(), b, {a}, {b}},
        // Opening without a window keeps the last target.
        {nullptr, a, {a}, {b, a}},
        // Nothing chosen: not a font, nothing sent.
        {first.get(), Font(), {a}, {b, a}},
    };
    for (const Step &step : steps) {
        panel.orderFront(step.openFor);
        panel.chooseFont(step.chosen);
        EXPECT_EQ(toFirst, step.first);
        EXPECT_EQ(toSecond, step.second);
    }

    // A window that goes takes its target with it; one set to nothing drops it.
    panel.orderFront(second.get());
    second.reset();
    EXPECT_EQ(panel.currentWindow(), nullptr);
    panel.chooseFont(b);
    panel.setTarget(first.get(), nullptr);
    panel.orderFront(first.get());
    panel.chooseFont(b);
    EXPECT_EQ(toFirst, QList<Font>{a});
    panel.dialog()->close();
}

TEST_F(SharedPanelsTest, ConvertFontGivesTheChoiceMadeSinceTheSelectionWasShown)
{
    FontPanel &panel = FontPanel::shared();
    const Font own(QStringLiteral("Helvetica"), 12), chosen(QStringLiteral("DejaVuSans-Bold"), 9);
    EXPECT_EQ(panel.convertFont(own), own) << "nothing chosen yet";
    panel.setSelectedFont(own, true);
    EXPECT_EQ(panel.selectedFont(), std::optional<Font>(own));
    EXPECT_TRUE(panel.isMultiple());
    panel.chooseFont(chosen);
    EXPECT_EQ(panel.convertFont(own), chosen);
    panel.setSelectedFont(Font(QStringLiteral("Courier"), 10));
    EXPECT_EQ(panel.convertFont(own), own) << "a new selection forgets the old choice";
    panel.setSelectedFont(Font());
    EXPECT_EQ(panel.selectedFont(), std::nullopt);

    // The dialog's own change arrives as a font the text system names.
    auto window = std::make_unique<QWidget>();
    QList<Font> received;
    panel.setTarget(window.get(), recorder(received));
    panel.orderFront(window.get());
    QFont dejaVu(QStringLiteral("DejaVu Sans"));
    dejaVu.setPointSizeF(15);
    panel.dialog()->setCurrentFont(dejaVu);
    ASSERT_EQ(received.size(), 1);
    EXPECT_DOUBLE_EQ(received.first().pointSize(), 15);
    EXPECT_TRUE(received.first().fontName().startsWith(QStringLiteral("DejaVuSans")))
        << received.first().fontName().toStdString();
    panel.dialog()->close();
}

TEST_F(SharedPanelsTest, ColorPanelShowsOpacityAndSendsToItsWindow)
{
    ColorPanel &panel = ColorPanel::shared();
    auto window = std::make_unique<QWidget>();
    QList<Color> received;
    panel.orderFront(window.get(), [&received](const Color &c) { received << c; });
    QColorDialog *dialog = panel.dialog();
    EXPECT_TRUE(dialog->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_TRUE(dialog->isVisible());
    dialog->setCurrentColor(QColor(255, 0, 0, 51));
    // The dialog may report the colour and its opacity one after the other.
    ASSERT_FALSE(received.isEmpty());
    EXPECT_NEAR(received.last().toQColor().alphaF(), 0.2, 0.01);
    EXPECT_EQ(received.last().toQColor().red(), 255);
    const qsizetype count = received.size();
    window.reset();
    panel.chooseColor(Color::whiteColor());
    EXPECT_EQ(received.size(), count) << "nothing goes to a window that is gone";
    dialog->close();
}

} // namespace
