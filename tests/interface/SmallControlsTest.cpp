#include "interface/RainbowSlider.h"
#include "interface/ReturnKeyMatrix.h"
#include "interface/TWImageView.h"
#include "interface/TWMenuButton.h"
#include "interface/TWShadowPositionBox.h"
#include "platform/RecordingAlerts.h"

#include <QApplication>
#include <QBuffer>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Mouse events with explicit buttons: QTest's moves carry none.
void sendMouse(QWidget *widget, QEvent::Type type, QPointF at)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(TWShadowPositionBox, DragsClampTheMarkerAndWriteThroughBothBindings)
{
    TWShadowPositionBox box;
    box.resize(60, 60);
    EXPECT_EQ(box.offsetFromCenter(), QPointF(10.5, -10.5));

    QList<QPair<QString, float>> written;
    box.bind("xOffset", [&](const QVariant &v) { written.append({"x", v.toFloat()}); });
    box.bind("yOffset", [&](const QVariant &v) { written.append({"y", v.toFloat()}); });
    QSignalSpy actions(&box, &TWShadowPositionBox::action);

    struct Step
    {
        QEvent::Type type;
        QPointF at;
        QPointF offset; // y upwards
    };
    const Step steps[] = {
        {QEvent::MouseButtonPress, {30, 30}, {0, 0}},
        {QEvent::MouseMove, {45, 50}, {15, -20}},
        {QEvent::MouseMove, {100, 30}, {24.5, 0}},
        {QEvent::MouseMove, {-50, -50}, {-24.5, 24.5}},
        {QEvent::MouseMove, {30, 200}, {0, -24.5}},
    };
    for (const Step &step : steps) {
        written.clear();
        sendMouse(&box, step.type, step.at);
        EXPECT_EQ(box.offsetFromCenter(), step.offset) << step.at.x() << "," << step.at.y();
        ASSERT_EQ(written.size(), 2);
        EXPECT_EQ(written[0], qMakePair(QString("x"), float(step.offset.x())));
        EXPECT_EQ(written[1], qMakePair(QString("y"), float(step.offset.y())));
    }
    EXPECT_EQ(actions.count(), 5);

    // The release ends the drag; later moves change nothing.
    sendMouse(&box, QEvent::MouseButtonRelease, {30, 30});
    sendMouse(&box, QEvent::MouseMove, {40, 40});
    EXPECT_EQ(box.offsetFromCenter(), QPointF(0, -24.5));

    // Values set by key (as bindings set them) are not written back; nil is 0.
    written.clear();
    box.setValueForKey("xOffset", 3.5f);
    box.setNilValueForKey("yOffset");
    EXPECT_EQ(box.offsetFromCenter(), QPointF(3.5, 0));
    box.setValueForKey("xOffset", QVariant());
    EXPECT_EQ(box.xOffset(), 0.0f);
    EXPECT_TRUE(written.isEmpty());
}

TEST(TWShadowPositionBox, ADisabledBoxIgnoresClicksAndHidesItsMarker)
{
    TWShadowPositionBox box;
    box.resize(60, 60);
    const QPoint marker(30 + 10, 30 + 10); // 10.5 right and 10.5 below the centre
    const QImage enabled = box.grab().toImage();
    box.setEnabled(false);
    const QImage disabled = box.grab().toImage();
    EXPECT_NE(enabled.pixel(marker), disabled.pixel(marker));
    EXPECT_EQ(enabled.pixel(5, 30), disabled.pixel(5, 30));

    sendMouse(&box, QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(box.offsetFromCenter(), QPointF(10.5, -10.5));
}

namespace {

// A point on a circle round the dial's centre, clockwise from twelve o'clock.
QPointF around(double degrees, double radius = 18)
{
    const double a = degrees * M_PI / 180;
    return {22.5 + radius * std::sin(a), 22.5 - radius * std::cos(a)};
}

} // namespace

TEST(RainbowSlider, TurnsByTheSweptAngleAndStaysInRange)
{
    struct Case
    {
        float start;
        std::vector<double> path; // degrees, clockwise
        float expected;
    };
    const float quarter = float(M_PI / 2);
    const Case cases[] = {
        {1.0f, {0, 30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330, 360}, 1.0f},
        {1.0f, {10, 100}, 1.0f + quarter},
        {0.2f, {90, 0}, 0.2f - quarter + RainbowSlider::twoPi},
        {6.0f, {200, 230, 260}, 6.0f + quarter * 2 / 3 - RainbowSlider::twoPi},
        {3.0f, {45, 45 - 360 + 30, 45 - 360 + 60}, 3.0f + quarter * 2 / 3}, // wherever it starts
    };
    for (const Case &c : cases) {
        RainbowSlider dial;
        dial.resize(45, 45);
        dial.setAngle(c.start);
        QList<float> seen;
        QObject::connect(&dial, &RainbowSlider::action,
                         [&](RainbowSlider *sender) { seen.append(sender->angle()); });
        sendMouse(&dial, QEvent::MouseButtonPress, around(c.path.front()));
        for (size_t i = 1; i + 1 < c.path.size(); ++i)
            sendMouse(&dial, QEvent::MouseMove, around(c.path[i]));
        sendMouse(&dial, QEvent::MouseButtonRelease, around(c.path.back()));
        EXPECT_NEAR(dial.angle(), c.expected, 1e-4) << c.start;
        EXPECT_EQ(seen.size(), int(c.path.size()) - 1);
        for (float a : seen) {
            EXPECT_GE(a, 0.0f);
            EXPECT_LT(a, RainbowSlider::twoPi);
        }
    }
}

TEST(RainbowSlider, ADisabledDialIgnoresClicksAndShowsThePlainKnob)
{
    RainbowSlider dial;
    dial.resize(45, 45);
    const QPoint knob(22, 22 - 14); // angle 0: the knob sits above the centre
    const QImage enabled = dial.grab().toImage();
    dial.setEnabled(false);
    EXPECT_NE(dial.grab().toImage().pixel(knob), enabled.pixel(knob));

    QSignalSpy actions(&dial, &RainbowSlider::action);
    sendMouse(&dial, QEvent::MouseButtonPress, around(0));
    sendMouse(&dial, QEvent::MouseMove, around(90));
    sendMouse(&dial, QEvent::MouseButtonRelease, around(90));
    EXPECT_EQ(dial.angle(), 0.0f);
    EXPECT_EQ(actions.count(), 0);
}

TEST(ReturnKeyMatrix, ReturnClicksTheKeyCellOnly)
{
    struct Case
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int clicks;
    };
    const Case cases[] = {{Qt::Key_Return, Qt::NoModifier, 1},
                          {Qt::Key_Return, Qt::ShiftModifier, 1},
                          {Qt::Key_Enter, Qt::KeypadModifier, 0},
                          {Qt::Key_A, Qt::NoModifier, 0},
                          {Qt::Key_Space, Qt::NoModifier, 0}};
    for (const Case &c : cases) {
        ReturnKeyMatrix matrix;
        auto *ok = new QPushButton("OK");
        auto *other = new QPushButton("Other");
        matrix.addCell(other, 0, 0);
        matrix.addCell(ok, 0, 1);
        matrix.setKeyCell(ok);
        QSignalSpy okClicks(ok, &QPushButton::clicked);
        QSignalSpy otherClicks(other, &QPushButton::clicked);
        QTest::keyClick(&matrix, c.key, c.modifiers);
        EXPECT_EQ(okClicks.count(), c.clicks) << c.key;
        EXPECT_EQ(otherClicks.count(), 0);
    }
    ReturnKeyMatrix empty; // no key cell: nothing to click
    QTest::keyClick(&empty, Qt::Key_Return);
}

TEST(TWMenuButton, PopsUpItsMenuWithEveryItemOff)
{
    TWMenuButton button;
    button.click(); // no menu yet
    QMenu menu;
    for (bool on : {true, false, true}) {
        QAction *item = menu.addAction("item");
        item->setCheckable(true);
        item->setChecked(on);
    }
    button.setPopUpMenu(&menu);
    button.click();
    EXPECT_TRUE(menu.isVisible());
    for (QAction *item : menu.actions())
        EXPECT_FALSE(item->isChecked());
    menu.close();
}

namespace {

struct ImageViewFixture
{
    RecordingAlerts alerts;
    Alerts::Scope scope{&alerts};
    QTemporaryDir dir;
    TWImageView view;
    QList<QPair<QString, QVariant>> written;

    ImageViewFixture()
    {
        view.bind("value", [this](const QVariant &v) { written.append({"value", v}); });
        view.bind("data", [this](const QVariant &v) { written.append({"data", v}); });
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
};

QByteArray pngBytes()
{
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.setDotsPerMeterX(2835); // 72 dpi: its size in points is its pixel count
    image.setDotsPerMeterY(2835);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

TEST(TWImageView, SetReadsAPictureAndWritesItThroughBothBindings)
{
    ImageViewFixture f;
    const QByteArray png = pngBytes();
    f.alerts.queueOpenResponse({f.file("red.png", png)});
    f.view.set();

    ASSERT_EQ(f.alerts.openPanels().size(), 1);
    EXPECT_TRUE(f.alerts.openPanels().first().fileTypes.contains("png"));
    ASSERT_TRUE(f.view.image());
    EXPECT_EQ(f.view.image()->size(), Size(4, 3));
    ASSERT_EQ(f.written.size(), 2);
    EXPECT_EQ(f.written[0].first, "value");
    EXPECT_EQ(f.written[0].second.value<Image>().data(), png);
    EXPECT_EQ(f.written[1], qMakePair(QString("data"), QVariant(png)));
    EXPECT_EQ(f.alerts.beepCount(), 0);
    EXPECT_EQ(qRed(f.view.grab().toImage().pixel(f.view.rect().center())), 255);
}

TEST(TWImageView, AFileThatIsNoPictureBeepsAndWritesNothingClearEmptiesBoth)
{
    ImageViewFixture f;
    f.alerts.queueOpenResponse({f.file("red.png", pngBytes())});
    f.view.set();
    f.written.clear();

    for (const QString &path : {f.file("notes.png", "just some text"), f.file("empty.png", ""),
                                f.dir.filePath("missing.png")}) {
        f.alerts.queueOpenResponse({path});
        f.view.set();
    }
    EXPECT_EQ(f.alerts.beepCount(), 3);
    EXPECT_TRUE(f.written.isEmpty());
    ASSERT_TRUE(f.view.image());
    EXPECT_EQ(f.view.image()->size(), Size(4, 3));

    f.view.set(); // cancelled: nothing queued
    EXPECT_EQ(f.alerts.beepCount(), 3);
    EXPECT_TRUE(f.written.isEmpty());

    f.view.clear();
    EXPECT_FALSE(f.view.image());
    ASSERT_EQ(f.written.size(), 2);
    EXPECT_FALSE(f.written[0].second.isValid());
    EXPECT_FALSE(f.written[1].second.isValid());
}
