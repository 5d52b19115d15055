#include "interface/ButtonAdder.h"
#include "interface/HUDWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QColor pixel(const QPixmap &pixmap, int x, int y)
{
    return pixmap.toImage().pixelColor(x, y);
}

// Whether any pixel of the rectangle is bright, as the white title is.
bool hasBrightPixel(const QImage &image, const QRect &rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).lightness() > 160)
                return true;
    return false;
}

} // namespace

TEST(HUDWindow, IsAFramelessFloatingPanelThatNeverTakesFocus)
{
    HUDWindow hud(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const Qt::WindowFlags flags = hud.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_FALSE(flags.testFlag(Qt::WindowTitleHint)); // the caller's frame flags are dropped
    EXPECT_EQ(hud.windowType(), Qt::Tool);
}

TEST(HUDWindow, TheCloseButtonOrdersThePanelOut)
{
    QPointer<HUDWindow> hud = new HUDWindow;
    hud->setAttribute(Qt::WA_DeleteOnClose);
    hud->setGeometry(100, 100, 200, 120);
    hud->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(hud));
    QTest::mouseClick(hud->closeWidget(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(hud); // hidden, not closed
    EXPECT_FALSE(hud->isVisible());
    delete hud;
}

TEST(HUDWindow, BackgroundHasARoundedDarkBodyUnderALighterTitleBar)
{
    HUDWindow hud;
    hud.resize(200, 120);
    hud.show(); // a hidden widget gets its resize events when shown
    const QPixmap &bg = hud.background();
    ASSERT_EQ(bg.size(), QSize(200, 120));
    struct Probe
    {
        int x, y;
        int grey, alpha;
    };
    const Probe probes[] = {
        {100, 5, 64, 191},  // title bar, white 0.25 at alpha 0.75
        {100, 80, 26, 191}, // body, white 0.1
        {0, 0, 0, 0},       // rounded outer corners
        {199, 0, 0, 0},     {0, 119, 0, 0},
        {199, 119, 0, 0},   {0, 20, 26, 191}, // the body's top corners are square
        {199, 20, 26, 191},
    };
    for (const Probe &p : probes) {
        const QColor c = pixel(bg, p.x, p.y);
        EXPECT_NEAR(c.alpha(), p.alpha, 3) << p.x << "," << p.y;
        if (p.alpha) {
            EXPECT_NEAR(c.red(), p.grey, 3) << p.x << "," << p.y;
        }
    }
}

TEST(HUDWindow, ResizeAndTitleRebuildTheBackgroundAndLongTitlesStayClearOfTheButtonStrips)
{
    HUDWindow hud;
    hud.resize(150, 100);
    hud.show();
    const QImage untitled = hud.background().toImage();
    hud.setTitle("Inspector");
    const QImage titled = hud.background().toImage();
    EXPECT_TRUE(hasBrightPixel(titled, QRect(19, 0, 112, 19)));
    EXPECT_FALSE(hasBrightPixel(untitled, QRect(0, 0, 150, 19)));

    hud.setTitle(QString("A very long title that cannot fit ").repeated(4));
    const QImage longTitle = hud.background().toImage();
    EXPECT_TRUE(hasBrightPixel(longTitle, QRect(19, 0, 112, 19)));
    EXPECT_FALSE(hasBrightPixel(longTitle, QRect(0, 0, 19, 19)));
    EXPECT_FALSE(hasBrightPixel(longTitle, QRect(150 - 19, 0, 19, 19)));

    hud.resize(300, 160);
    EXPECT_EQ(hud.background().size(), QSize(300, 160));
}

TEST(HUDWindow, AnAnimatedResizeRepaintsAtEveryStep)
{
    HUDWindow hud;
    hud.setGeometry(100, 100, 120, 80);
    hud.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hud));
    const QRect target(100, 100, 260, 180);
    hud.setFrame(target, true, true);
    EXPECT_TRUE(hud.forceDisplay());
    int steps = 0;
    QSize last = hud.size();
    QElapsedTimer timer;
    timer.start();
    while (hud.forceDisplay() && timer.elapsed() < 5000) {
        QTest::qWait(10);
        EXPECT_EQ(hud.background().size(), hud.size());
        if (hud.size() != last)
            ++steps;
        last = hud.size();
    }
    EXPECT_FALSE(hud.forceDisplay());
    EXPECT_EQ(hud.geometry(), target);
    EXPECT_GT(steps, 1);

    hud.setFrame(QRect(10, 20, 100, 90), true, false);
    EXPECT_EQ(hud.geometry(), QRect(10, 20, 100, 90));
    EXPECT_FALSE(hud.forceDisplay());
}

TEST(HUDWindow, DragsByItsBackground)
{
    HUDWindow hud;
    hud.setGeometry(100, 100, 200, 120);
    hud.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hud));
    const auto send = [&](QEvent::Type type, QPoint local, QPoint global) {
        QMouseEvent event(type, local, global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&hud, &event);
    };
    send(QEvent::MouseButtonPress, {100, 60}, {200, 160});
    send(QEvent::MouseMove, {120, 70}, {220, 170});
    send(QEvent::MouseButtonRelease, {120, 70}, {220, 170});
    EXPECT_EQ(hud.pos(), QPoint(120, 110));
}

TEST(ButtonAdder, MeasuresTheToolbarAndTitleBar)
{
    QMainWindow window;
    window.setCentralWidget(new QLabel("content"));
    window.resize(300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(ButtonAdder::toolbarHeight(&window), 0);
    EXPECT_EQ(ButtonAdder::titleBarHeight(&window),
              window.frameGeometry().height() - window.centralWidget()->height());

    QToolBar *bar = window.addToolBar("Tools");
    bar->addAction("Action");
    QTest::qWait(0);
    EXPECT_EQ(ButtonAdder::toolbarHeight(&window), bar->height());
    EXPECT_GT(bar->height(), 0);
    EXPECT_EQ(ButtonAdder::titleBarHeight(&window),
              window.frameGeometry().height() - window.centralWidget()->height() - bar->height());
    bar->hide();
    EXPECT_EQ(ButtonAdder::toolbarHeight(&window), 0);
}

TEST(ButtonAdder, PutsTheButtonAtTheRightEndOfTheToolbar)
{
    for (bool hasToolbar : {false, true}) {
        QMainWindow window;
        window.setCentralWidget(new QLabel("content"));
        QToolBar *existing = hasToolbar ? window.addToolBar("Tools") : nullptr;
        if (existing)
            existing->addAction("Action");
        auto *button = new QToolButton;
        button->setText("-");
        ButtonAdder::addToolbarShrinkButtonToTitleBar(&window, button);
        window.resize(400, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        auto *bar = qobject_cast<QToolBar *>(button->parentWidget());
        ASSERT_TRUE(bar) << hasToolbar;
        if (existing) {
            EXPECT_EQ(bar, existing);
        }
        EXPECT_EQ(window.toolBarArea(bar), Qt::TopToolBarArea);
        EXPECT_TRUE(button->isVisible());
        // Right-aligned: only the toolbar's margin lies beyond the button.
        EXPECT_GT(button->geometry().right(), bar->width() - 20) << hasToolbar;
    }
}
