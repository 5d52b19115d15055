#include "interface/TWRainbowAngleControl.h"

#include <QImage>
#include <QtTest/QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double TwoPi = 2 * M_PI;

struct Recorded
{
    QList<float> angles;
    QList<float> alphas;
};

void bindAll(TWRainbowAngleControl &control, Recorded &recorded)
{
    control.bind("angle", [&recorded](const QVariant &v) { recorded.angles << v.toFloat(); });
    control.bind("alpha", [&recorded](const QVariant &v) { recorded.alphas << v.toFloat(); });
}

TEST(TWRainbowAngleControl, DraggingAcrossTheTopWrapsIntoRange)
{
    struct Case
    {
        const char *name;
        float start;
        QPoint from, to;
        double expected;
    };
    // Just left of straight up to just right of it turns clockwise by the
    // small angle between them, through 2pi when starting near it.
    const double step = 2 * std::atan2(2.5, 20.5);
    const Case cases[] = {
        {"left to right near 2pi", 6.2f, {20, 2}, {25, 2}, 6.2 + step - TwoPi},
        {"right to left near 0", 0.05f, {25, 2}, {20, 2}, 0.05 - step + TwoPi},
        {"left to right from 0", 0.0f, {20, 2}, {25, 2}, step},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWRainbowAngleControl control;
        control.setAngle(c.start);
        Recorded recorded;
        bindAll(control, recorded);
        QTest::mousePress(&control, Qt::LeftButton, {}, c.from);
        QTest::mouseMove(&control, c.to);
        QTest::mouseRelease(&control, Qt::LeftButton, {}, c.to);
        const float angle = control.angle().toFloat();
        EXPECT_NEAR(angle, c.expected, 1e-4);
        EXPECT_GE(angle, 0);
        EXPECT_LE(angle, TwoPi);
        ASSERT_FALSE(recorded.angles.isEmpty());
        EXPECT_EQ(recorded.angles.last(), angle);
    }
}

TEST(TWRainbowAngleControl, ValuesAndTheirBindings)
{
    TWRainbowAngleControl control;
    EXPECT_EQ(control.angle().toFloat(), 0.0f);
    EXPECT_EQ(control.alpha().toFloat(), 1.0f);
    EXPECT_EQ(control.size(), QSize(45, 45));
    Recorded recorded;
    bindAll(control, recorded);

    // A click without a drag writes the unchanged angle once.
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(recorded.angles, QList<float>{0.0f});

    control.setAlpha(1.0f);
    control.setAlpha(QStringLiteral("half"));
    control.setAngle(QVariant());
    EXPECT_TRUE(recorded.alphas.isEmpty());
    EXPECT_EQ(recorded.angles.size(), 1);
    control.setAlpha(0.5);
    EXPECT_EQ(recorded.alphas, QList<float>{0.5f});

    control.unbind("angle");
    control.setAngle(1.0);
    EXPECT_EQ(recorded.angles.size(), 1);
    EXPECT_FLOAT_EQ(control.angle().toFloat(), 1.0f);

    // Disabled, clicks do nothing.
    control.setEnabled(false);
    bindAll(control, recorded);
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(recorded.angles.size(), 1);
}

TEST(TWRainbowAngleControl, DrawsTheKnobOnItsCircleAndFadesWhenDisabled)
{
    TWRainbowAngleControl control;
    control.setAngle(M_PI / 2); // the knob at three o'clock
    const QImage enabled = control.grab().toImage();
    const QColor knob = enabled.pixelColor(36, 22); // 22.5 + 14, at the centre line
    EXPECT_GT(knob.lightness(), 230);

    control.setEnabled(false);
    const QImage disabled = control.grab().toImage();
    // The knob at 0.4 lets the wheel show through; the wheel's colours fade.
    EXPECT_GT(disabled.pixelColor(36, 22).hsvSaturation(), knob.hsvSaturation() + 20);
    const QColor wheelOn = enabled.pixelColor(22, 8);
    const QColor wheelOff = disabled.pixelColor(22, 8);
    EXPECT_LT(wheelOff.hsvSaturation(), wheelOn.hsvSaturation() - 50);
    if (qEnvironmentVariableIsSet("THINKWEB_SAVE_RAINBOW")) {
        enabled.save(qEnvironmentVariable("THINKWEB_SAVE_RAINBOW") + "/rainbow-on.png");
        disabled.save(qEnvironmentVariable("THINKWEB_SAVE_RAINBOW") + "/rainbow-off.png");
    }
}

} // namespace
