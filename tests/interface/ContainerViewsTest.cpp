#include "interface/PlacardScrollView.h"
#include "interface/ReplaceableView.h"
#include "interface/TWDiscloseableView.h"
#include "interface/TWDraggableBackgroundView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A window of hand-placed views: a field above a disclosable section of two
// fields, and a field below it.
struct DisclosureWindow
{
    QWidget window;
    QLineEdit *above;
    TWDiscloseableView *section;
    QLineEdit *first;
    QLineEdit *second;
    QLineEdit *below;

    explicit DisclosureWindow(float hiddenHeight)
    {
        window.setGeometry(100, 80, 300, 300);
        above = new QLineEdit(&window);
        above->setGeometry(10, 10, 200, 25);
        section = new TWDiscloseableView(QRect(0, 50, 300, 120), &window);
        section->setHiddenHeight(hiddenHeight);
        first = new QLineEdit(section);
        first->setGeometry(10, 10, 200, 25);
        second = new QLineEdit(section);
        second->setGeometry(10, 50, 200, 25);
        below = new QLineEdit(&window);
        below->setGeometry(10, 180, 200, 25);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

QWidget *tabFrom(QWidget *start)
{
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Tab);
    return QApplication::focusWidget();
}

} // namespace

TEST(TWDiscloseableView, HidingShrinksTheWindowFromTheBottomAndShowingRestoresIt)
{
    for (float hiddenHeight : {20.0f, 0.0f}) {
        DisclosureWindow w(hiddenHeight);
        w.window.setMinimumHeight(250);
        const QRect frame = w.window.geometry();
        const int d = 120 - int(hiddenHeight);

        w.section->hideContents();
        EXPECT_FALSE(w.section->isShown());
        EXPECT_EQ(w.window.geometry(), frame.adjusted(0, 0, 0, -d)) << hiddenHeight;
        EXPECT_EQ(w.section->geometry(), QRect(0, 50, 300, int(hiddenHeight)));
        EXPECT_EQ(w.above->y(), 10);
        EXPECT_EQ(w.below->y(), 180 - d);
        EXPECT_FALSE(w.first->isVisible());
        EXPECT_EQ(w.window.minimumHeight(), 250 - d);
        EXPECT_EQ(w.window.maximumHeight(), QWIDGETSIZE_MAX); // no maximum stays none

        w.section->hideContents(); // a second time changes nothing
        EXPECT_EQ(w.window.geometry(), frame.adjusted(0, 0, 0, -d));
        EXPECT_EQ(w.below->y(), 180 - d);

        w.section->toggleDisclosure();
        EXPECT_TRUE(w.section->isShown());
        EXPECT_EQ(w.window.geometry(), frame);
        EXPECT_EQ(w.section->geometry(), QRect(0, 50, 300, 120));
        EXPECT_EQ(w.below->y(), 180);
        EXPECT_TRUE(w.first->isVisible());
        EXPECT_TRUE(w.second->isVisible());
        EXPECT_EQ(w.window.minimumHeight(), 250);

        w.section->setIsShown(true); // already shown
        EXPECT_EQ(w.window.geometry(), frame);
    }
}

TEST(TWDiscloseableView, TabbingSkipsAHiddenSectionAndFindsItAgainWhenShown)
{
    DisclosureWindow w(20);
    QApplication::setActiveWindow(&w.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    EXPECT_EQ(tabFrom(w.above), w.first);

    w.section->hideContents();
    EXPECT_EQ(tabFrom(w.above), w.below);

    w.section->showContents();
    EXPECT_EQ(tabFrom(w.above), w.first);
    EXPECT_EQ(tabFrom(w.first), w.second);
    EXPECT_EQ(tabFrom(w.second), w.below);
}

TEST(TWDiscloseableView, InALaidOutWindowTheLayoutsFollow)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *above = new QLabel("above");
    auto *section = new TWDiscloseableView;
    section->setOriginalHeight(120);
    section->setFixedHeight(120);
    section->setHiddenHeight(10);
    auto *inner = new QVBoxLayout(section);
    inner->addWidget(new QLineEdit);
    auto *below = new QLabel("below");
    layout->addWidget(above);
    layout->addWidget(section);
    layout->addWidget(below);
    window.setGeometry(50, 60, 240, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect frame = window.geometry();
    const int belowY = below->y();

    section->hideContents();
    EXPECT_EQ(window.geometry(), frame.adjusted(0, 0, 0, -110));
    EXPECT_EQ(section->height(), 10);
    EXPECT_EQ(below->y(), belowY - 110);

    section->showContents();
    EXPECT_EQ(window.geometry(), frame);
    EXPECT_EQ(section->height(), 120);
    EXPECT_EQ(below->y(), belowY);
}

TEST(ReplaceableView, SelectingAViewFitsTheWindowToItKeepingTheTopEdge)
{
    QWidget window;
    window.setGeometry(40, 50, 260, 230);
    auto *replaceable = new ReplaceableView(&window);
    replaceable->setGeometry(0, 30, 260, 200);
    auto *earlier = new QLabel("earlier", replaceable);
    auto *view3 = new QWidget;
    view3->resize(300, 250);
    replaceable->setView(3, view3);
    EXPECT_FALSE(view3->isVisibleTo(replaceable));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    replaceable->selectView3();
    EXPECT_EQ(window.geometry(), QRect(40, 50, 300, 280));
    EXPECT_EQ(replaceable->currentView(), view3);
    EXPECT_TRUE(view3->isVisible());
    EXPECT_FALSE(earlier->isVisible());

    auto *view0 = new QWidget;
    view0->resize(120, 100);
    replaceable->setView(0, view0);
    replaceable->selectView0();
    EXPECT_EQ(window.geometry(), QRect(40, 50, 120, 130));
    EXPECT_FALSE(view3->isVisible());
    EXPECT_EQ(view3->parentWidget(), replaceable); // kept for later

    replaceable->selectView(7); // nothing prepared there
    EXPECT_EQ(replaceable->currentView(), view0);
}

TEST(PlacardScrollView, ThePlacardSitsAtTheChosenEndOfItsScrollBar)
{
    struct Case
    {
        int side;
        bool horizontal;
        bool atMaximum;
    };
    for (const Case &c :
         {Case{0, true, true}, Case{1, true, false}, Case{2, false, true}, Case{3, false, false}}) {
        PlacardScrollView view;
        view.resize(300, 200);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        auto *placard = new QLabel("100%");
        placard->setFixedSize(40, 30);
        view.setSide(c.side);
        view.setPlacard(placard);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

        const QScrollBar *bar =
            c.horizontal ? view.horizontalScrollBar() : view.verticalScrollBar();
        ASSERT_EQ(placard->parentWidget(), bar->parentWidget()) << c.side;
        const QRect p = placard->geometry(), b = bar->geometry();
        if (c.horizontal) {
            EXPECT_EQ(b.width() + p.width(), bar->parentWidget()->width()) << c.side;
            EXPECT_EQ(c.atMaximum ? p.left() : p.right() + 1,
                      c.atMaximum ? b.right() + 1 : b.left())
                << c.side;
        } else {
            EXPECT_EQ(b.height() + p.height(), bar->parentWidget()->height()) << c.side;
            EXPECT_EQ(c.atMaximum ? p.top() : p.bottom() + 1,
                      c.atMaximum ? b.bottom() + 1 : b.top())
                << c.side;
        }
    }
}

TEST(PlacardScrollView, ANewPlacardReplacesAndDeletesTheOldOne)
{
    PlacardScrollView view;
    QPointer<QLabel> first = new QLabel("a");
    view.setPlacard(first);
    view.setPlacard(first); // the same one again is kept
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(first);
    auto *second = new QLabel("b");
    view.setPlacard(second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_EQ(view.placard(), second);
}

TEST(TWDraggableBackgroundView, DraggingMovesTheWindowWithinTheScreensTopAndBottom)
{
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 200, 150);
    auto *background = new TWDraggableBackgroundView(&window);
    background->setGeometry(window.rect());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect visible = window.screen()->availableGeometry();

    QPoint global = background->mapToGlobal(QPoint(10, 10));
    const auto send = [&](QEvent::Type type, QPoint to) {
        global = to;
        QMouseEvent event(type, background->mapFromGlobal(to), to, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(background, &event);
    };
    send(QEvent::MouseButtonPress, global);
    send(QEvent::MouseMove, global + QPoint(30, 20));
    EXPECT_EQ(window.pos(), QPoint(130, 120));
    send(QEvent::MouseMove, global + QPoint(-500, -2000));
    EXPECT_EQ(window.pos(), QPoint(-370, visible.top()));
    send(QEvent::MouseMove, global + QPoint(0, 5000));
    EXPECT_EQ(window.y() + window.height(), visible.bottom() + 1);
    send(QEvent::MouseButtonRelease, global);
    const QPoint resting = window.pos();
    send(QEvent::MouseMove, global + QPoint(50, 0)); // no longer dragging
    EXPECT_EQ(window.pos(), resting);
}
