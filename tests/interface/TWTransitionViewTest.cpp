#include "interface/TWTransitionView.h"

#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage solid(QColor colour, QSize size = {100, 60})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

QImage frame(TWTransitionView::Style style, qreal t)
{
    QImage out(100, 60, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::black);
    QPainter p(&out);
    TWTransitionView::drawTransitionFrame(p, style, QRectF(0, 0, 100, 60), solid(Qt::red),
                                          solid(Qt::blue), t);
    return out;
}

// The share of pixels that are more blue than red.
double blueShare(const QImage &image)
{
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > c.red();
        }
    return double(blue) / (image.width() * image.height());
}

QWidget *coloured(QColor colour, QWidget *parent = nullptr)
{
    auto *w = new QWidget(parent);
    w->setAutoFillBackground(true);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, colour);
    w->setPalette(palette);
    w->setGeometry(0, 0, 200, 100);
    return w;
}

QColor centreOf(QWidget *w)
{
    return w->grab().toImage().pixelColor(w->width() / 2, w->height() / 2);
}

} // namespace

TEST(TWTransitionView, StylesOutsideTheEightRipple)
{
    for (int type = 0; type <= 7; ++type)
        EXPECT_EQ(TWTransitionView::transitionStyleOfType(type), type);
    for (int type : {-1, 8, 100})
        EXPECT_EQ(TWTransitionView::transitionStyleOfType(type), TWTransitionView::Ripple);
}

TEST(TWTransitionView, EveryStyleRunsFromTheOldImageToTheNewOne)
{
    for (int type = 0; type <= 7; ++type) {
        const auto style = TWTransitionView::Style(type);
        EXPECT_EQ(frame(style, 0), solid(Qt::red)) << type;
        EXPECT_EQ(frame(style, 1), solid(Qt::blue)) << type;
        const QImage middle = frame(style, 0.5);
        EXPECT_NE(middle, solid(Qt::red)) << type;
        EXPECT_NE(middle, solid(Qt::blue)) << type;
    }
    // The wiping styles uncover ever more of the new image.
    for (auto style :
         {TWTransitionView::CopyMachine, TWTransitionView::DisintegrateWithMask,
          TWTransitionView::Mod, TWTransitionView::PageCurl, TWTransitionView::Swipe}) {
        const double early = blueShare(frame(style, 0.2));
        const double middle = blueShare(frame(style, 0.5));
        const double late = blueShare(frame(style, 0.8));
        EXPECT_LT(early, middle) << style;
        EXPECT_LT(middle, late) << style;
        EXPECT_GT(early, 0.0) << style;
        EXPECT_LT(late, 1.0) << style;
    }
    const QColor dissolved = frame(TWTransitionView::Dissolve, 0.5).pixelColor(50, 30);
    EXPECT_NEAR(dissolved.red(), 128, 3);
    EXPECT_NEAR(dissolved.blue(), 128, 3);
}

TEST(TWTransitionView, ReplacingRunsOnTheEventLoopAndEndsWithTheNewViewInPlace)
{
    TWTransitionView view;
    view.resize(200, 100);
    QWidget *oldView = coloured(Qt::red, &view);
    QWidget *newView = coloured(Qt::blue);
    newView->setGeometry(0, 0, 200, 100);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QSignalSpy finished(&view, &TWTransitionView::transitionFinished);

    view.replaceSubview(oldView, newView, TWTransitionView::Dissolve, false, 0.15f);
    // The call returns at once; the old content shows until the animation moves.
    EXPECT_TRUE(view.isAnimating());
    EXPECT_EQ(oldView->parentWidget(), nullptr);
    EXPECT_FALSE(newView->isVisible());
    EXPECT_EQ(centreOf(&view), QColor(Qt::red));

    ASSERT_TRUE(finished.wait(3000));
    EXPECT_FALSE(view.isAnimating());
    EXPECT_EQ(newView->parentWidget(), &view);
    EXPECT_TRUE(newView->isVisible());
    EXPECT_EQ(newView->geometry(), QRect(0, 0, 200, 100));
    EXPECT_EQ(centreOf(&view), QColor(Qt::blue));
    delete oldView;
}

TEST(TWTransitionView, AReversedTransitionPlaysBackwardsWithTheImagesExchanged)
{
    for (bool reverse : {false, true}) {
        TWTransitionView view;
        view.resize(200, 100);
        QWidget *oldView = coloured(Qt::red, &view);
        QWidget *newView = coloured(Qt::blue);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.replaceSubview(oldView, newView, TWTransitionView::Swipe, reverse, 10);
        ASSERT_TRUE(view.animation());
        view.animation()->pause();
        view.animation()->setCurrentTime(5000);
        const QImage middle = view.grab().toImage();
        // Forwards the new content comes in from the left; backwards the old
        // content withdraws to the left, uncovering the new on the right.
        const QColor left = middle.pixelColor(5, 50), right = middle.pixelColor(195, 50);
        EXPECT_EQ(left, QColor(reverse ? Qt::red : Qt::blue)) << reverse;
        EXPECT_EQ(right, QColor(reverse ? Qt::blue : Qt::red)) << reverse;

        view.finishTransition();
        EXPECT_TRUE(newView->isVisible());
        EXPECT_EQ(centreOf(&view), QColor(Qt::blue));
        delete oldView;
    }
}

TEST(TWTransitionView, ANewTransitionFirstFinishesTheRunningOne)
{
    TWTransitionView view;
    view.resize(200, 100);
    QWidget *first = coloured(Qt::red, &view);
    QWidget *second = coloured(Qt::green);
    QWidget *third = coloured(Qt::blue);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QSignalSpy finished(&view, &TWTransitionView::transitionFinished);
    view.replaceSubview(first, second, 3, false, 10);
    view.replaceSubview(second, third, 99, false, 0); // no duration: done at once
    EXPECT_EQ(finished.count(), 2);
    EXPECT_FALSE(view.isAnimating());
    EXPECT_EQ(second->parentWidget(), nullptr);
    EXPECT_TRUE(third->isVisible());
    delete first;
    delete second;
}

TEST(TWTransitionView, ExecutingNeedsAPreparedSnapshot)
{
    TWTransitionView view;
    view.resize(200, 100);
    QWidget *content = coloured(Qt::red, &view);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QSignalSpy finished(&view, &TWTransitionView::transitionFinished);

    view.executeTransition(2, false, 0.1f);
    EXPECT_FALSE(view.isAnimating());
    EXPECT_EQ(finished.count(), 0);

    view.prepareForTransition(2);
    QPalette palette = content->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    content->setPalette(palette);
    view.executeTransition(2, false, 10);
    ASSERT_TRUE(view.animation());
    view.animation()->pause();
    view.animation()->setCurrentTime(0);
    EXPECT_EQ(centreOf(&view), QColor(Qt::red)); // the prepared snapshot covers the change
    view.finishTransition();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(centreOf(&view), QColor(Qt::blue));

    view.executeTransition(2, false, 0.1f); // the snapshot was used up
    EXPECT_FALSE(view.isAnimating());
}

TEST(ClearBitmapImageRep, ZeroesEveryByte)
{
    QImage image = solid(Qt::red, {7, 3});
    ClearBitmapImageRep(&image);
    EXPECT_EQ(image, solid(Qt::transparent, {7, 3}));
    QImage null;
    ClearBitmapImageRep(&null);
    ClearBitmapImageRep(nullptr);
    EXPECT_TRUE(null.isNull());
}
