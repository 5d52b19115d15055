#include "interface/TWBadgeImages.h"
#include "interface/TWButtonCells.h"
#include "interface/TWCSliderCell.h"
#include "interface/TWElipsisButtonCell.h"
#include "interface/TWScaledButtonCell.h"

#include "InterfaceTestSupport.h"

#include <QPainter>
#include <QtTest/QTest>

namespace {

class Receiver : public QObject
{
    Q_OBJECT

public slots:
    void chooseColor(QObject *sender)
    {
        calls << "chooseColor";
        lastSender = sender;
    }
    void chooseColorElipsisCall(QObject *sender)
    {
        calls << "chooseColorElipsisCall";
        lastSender = sender;
    }
    void reset() { calls << "reset"; }

public:
    QStringList calls;
    QObject *lastSender = nullptr;
};

TEST(BadgeCells, BadgesSitAtTheirCornersAndSwitchWhilePressed)
{
    TWArrowCursorButtonCell arrow;
    TWCrossButtonCell cross;
    TWMoreOptionsButtonCell more;
    TWPlusMoreOptionsButtonCell plus;
    for (QPushButton *button : std::initializer_list<QPushButton *>{&arrow, &cross, &more, &plus})
        button->resize(60, 30);
    const auto width = [](const char *name) { return TWBadgeImages::imageNamed(name).width(); };

    auto badges = arrow.badges();
    ASSERT_EQ(badges.size(), 1);
    EXPECT_EQ(badges[0].imageName, "rightArrowCursor");
    EXPECT_EQ(badges[0].lowerLeft, QPointF(60 - width("rightArrowCursor") - 12.0, 27));
    EXPECT_EQ(badges[0].fraction, 0.7);
    EXPECT_EQ(cross.badges()[0].lowerLeft, QPointF(60 - width("RemoveCross") - 2.0, 29));

    EXPECT_EQ(more.badges()[0].imageName, "tDownArrowDark");
    more.setDown(true);
    EXPECT_EQ(more.badges()[0].imageName, "tDownArrowLight");
    EXPECT_EQ(more.badges()[0].lowerLeft, QPointF(60 - width("tDownArrowLight") - 5.0, 25));

    badges = plus.badges();
    ASSERT_EQ(badges.size(), 2);
    EXPECT_EQ(badges[0].imageName, "tDownArrowDark");
    EXPECT_EQ(badges[1].imageName, "GreenPlus");
    EXPECT_EQ(badges[1].lowerLeft, QPointF(7, 27));
    EXPECT_EQ(badges[1].fraction, 0.8);
    // The lower-left corner is given: the picture rises from it.
    EXPECT_EQ(TWBadgeButtonCell::badgeRect(badges[1]).bottom(), 27);
}

TEST(BadgeCells, TheBadgeIsDrawnOverTheButton)
{
    const QImage drawnDefault = TWBadgeImages::imageNamed("GreenPlus");
    ASSERT_FALSE(drawnDefault.isNull());
    TWBadgeImages::registerImage("GreenPlus", [] {
        QImage image(6, 6, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(0, 255, 0));
        return image;
    }());
    TWPlusMoreOptionsButtonCell plus;
    plus.resize(60, 30);
    const QImage picture = plus.grab().toImage();
    const QColor c =
        picture.pixelColor(TWBadgeButtonCell::badgeRect(plus.badges()[1]).center().toPoint());
    EXPECT_GT(c.green(), 180);
    EXPECT_LT(c.red(), c.green() - 60); // 80 % green over the button face
    TWBadgeImages::registerImage("GreenPlus", drawnDefault);
}

class ElipsisButton : public ::testing::Test
{
protected:
    ElipsisButton()
    {
        button.resize(40, 30);
        button.setTarget(&receiver);
        button.setAction("chooseColor:");
    }
    Receiver receiver;
    TWElipsisButtonCell button;
};

TEST_F(ElipsisButton, TheBottomThirdSendsTheEllipsisCall)
{
    EXPECT_EQ(TWElipsisButtonCell::ellipsisSelector("chooseColor:"), "chooseColorElipsisCall:");
    EXPECT_EQ(TWElipsisButtonCell::ellipsisSelector("chooseColor"), "chooseColorElipsisCall:");
    EXPECT_EQ(TWElipsisButtonCell::ellipsisStrip(QRectF(0, 0, 40, 30)),
              QRectF(0, 0.6666 * 30, 40, 0.3333 * 30));

    const struct
    {
        int y;
        const char *sent;
    } cases[] = {{2, "chooseColor"},
                 {19, "chooseColor"},
                 {20, "chooseColorElipsisCall"},
                 {29, "chooseColorElipsisCall"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.y);
        receiver.calls.clear();
        QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(20, c.y));
        EXPECT_EQ(receiver.calls, QStringList({c.sent}));
        EXPECT_EQ(receiver.lastSender, &button);
    }
}

TEST_F(ElipsisButton, AReleaseOutsideSendsNothing)
{
    QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 25));
    EXPECT_TRUE(button.isDown());
    EXPECT_EQ(button.badges()[0].imageName, "tElipsisBottomPressed");
    QTest::mouseMove(&button, QPoint(80, 25));
    EXPECT_FALSE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, QPoint(80, 25));
    EXPECT_TRUE(receiver.calls.isEmpty());
    EXPECT_EQ(button.badges()[0].imageName, "tElipsisBottom");
}

TEST_F(ElipsisButton, AMissingMethodIsLoggedNotCalled)
{
    button.setAction("reset");
    LogCapture log;
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 25));
    EXPECT_EQ(log.count("Runtime error: elipsis button cell target doesn't respond to selector "
                        "resetElipsisCall:"),
              1);
    EXPECT_TRUE(receiver.calls.isEmpty()); // never the plain action from the strip
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
    EXPECT_EQ(receiver.calls, QStringList({"reset"}));

    button.setAction("missing:");
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
    EXPECT_EQ(log.count("Runtime error: elipsis button cell target doesn't respond to selector "
                        "missing:"),
              1);
}

TEST(ScaledButtonCell, ThePictureFollowsTheButtonSize)
{
    TWScaledButtonCell button;
    QImage picture(64, 64, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::red);
    button.setImage(picture);
    button.resize(42, 42);
    button.grab();
    EXPECT_EQ(button.image().size(), QSize(32, 32));
    EXPECT_EQ(button.scaleCount(), 1);
    const QImage shown = button.grab().toImage();
    EXPECT_EQ(button.scaleCount(), 1); // same size: not scaled again
    EXPECT_EQ(shown.pixelColor(21, 21), QColor(Qt::red));
    button.resize(30, 20);
    button.grab();
    EXPECT_EQ(button.image().size(), QSize(20, 10));
    EXPECT_EQ(button.scaleCount(), 2);
}

TEST(SliderCell, RoundKnob)
{
    EXPECT_EQ(TWCSliderCell::knobOval(QRectF(10, 4, 20, 24)), QRectF(12, 6, 16, 20));
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        TWCSliderCell::drawKnob(painter, QRectF(0, 0, 40, 40));
    }
    // White under 60 % of (0.2, 0.4, 0.6).
    const QColor centre = image.pixelColor(20, 20);
    EXPECT_NEAR(centre.redF(), 0.4 * 1.0 + 0.6 * 0.2, 0.02);
    EXPECT_NEAR(centre.blueF(), 0.4 * 1.0 + 0.6 * 0.6, 0.02);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);  // outside the oval
    EXPECT_EQ(qAlpha(image.pixel(20, 0)), 0); // inside the 2-point inset

    TWCSliderCell slider(Qt::Horizontal);
    slider.resize(160, 30);
    slider.setValue(50);
    const QImage drawn = slider.grab().toImage();
    const QColor knob = drawn.pixelColor(slider.knobRect().center());
    EXPECT_NEAR(knob.blueF(), 0.4 + 0.6 * 0.6, 0.05);
}

} // namespace

#include "ButtonCellsTest.moc"
