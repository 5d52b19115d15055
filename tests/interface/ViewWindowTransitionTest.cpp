#include "interface/ViewWindowTransition.h"

#include <QLabel>
#include <QMainWindow>
#include <QTemporaryFile>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

QWidget *coloured(QColor colour, QRect frame, QWidget *parent = nullptr)
{
    auto *w = new QWidget(parent);
    w->setAutoFillBackground(true);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, colour);
    w->setPalette(palette);
    w->setGeometry(frame);
    return w;
}

// A player that records what it was given and plays nothing.
class RecordingPlayer : public Transition::CompositionView
{
public:
    using CompositionView::CompositionView;
    bool startRendering() override
    {
        rendering = true;
        return true;
    }
    bool rendering = false;
};

class ViewTransition : public ::testing::Test
{
protected:
    ViewTransition()
    {
        composition.open();
        Transition::setCompositionViewFactory([this](QWidget *parent) {
            player = new RecordingPlayer(parent);
            return player;
        });
    }
    ~ViewTransition() override { Transition::setCompositionViewFactory(nullptr); }

    QTemporaryFile composition;
    QPointer<RecordingPlayer> player;
};

// The new view takes the old one's place, or the whole view without an old
// one, once the composition has played; the player then goes.
TEST_F(ViewTransition, ACompositionPlaysBetweenTheOldViewAndTheNew)
{
    const struct
    {
        const char *what;
        bool withOld;
        bool reverse;
        QRect frame;
    } cases[] = {
        {"replacing a view", true, false, QRect(10, 20, 120, 80)},
        {"reversed", true, true, QRect(10, 20, 120, 80)},
        {"into an empty view", false, false, QRect(0, 0, 300, 200)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QWidget receiver;
        receiver.resize(300, 200);
        QWidget *old = c.withOld ? coloured(Qt::red, c.frame, &receiver) : nullptr;
        std::unique_ptr<QWidget> keptOld(old);
        QWidget *incoming = coloured(Qt::blue, QRect(0, 0, 50, 50));
        receiver.show();
        // Shift held slows the transition: a modifier an earlier test of
        // this program left down is let go.
        QTest::mouseMove(receiver.windowHandle(), QPoint(1, 1));
        ASSERT_EQ(QGuiApplication::keyboardModifiers(), Qt::NoModifier);
        Transition::replaceSubview(receiver, old, incoming, composition.fileName(), c.reverse,
                                   0.05f);
        ASSERT_TRUE(player);
        EXPECT_TRUE(player->rendering);
        EXPECT_EQ(player->parentWidget(), &receiver);
        EXPECT_EQ(player->geometry(), c.frame);
        EXPECT_EQ(player->compositionPath(), composition.fileName());
        EXPECT_EQ(player->valueForInputKey("Image_Start").isValid(), c.withOld);
        const Image end = player->valueForInputKey("Image_End").value<Image>();
        EXPECT_EQ(end.dataType(), "pdf");
        EXPECT_EQ(end.size(), Size(c.frame.width(), c.frame.height()));
        EXPECT_FALSE(end.toQImage().isNull());
        EXPECT_DOUBLE_EQ(player->valueForInputKey("Transition_Time").toDouble(), 0.05f);
        EXPECT_EQ(player->valueForInputKey("Reverse").toBool(), c.reverse);
        // The old view is out at once; the new one comes when the time is up.
        if (old)
            EXPECT_EQ(old->parentWidget(), nullptr);
        EXPECT_NE(incoming->parentWidget(), &receiver);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !player; }, 60000));
        EXPECT_EQ(incoming->parentWidget(), &receiver);
        EXPECT_EQ(incoming->geometry(), c.frame);
        EXPECT_TRUE(incoming->isVisible());
    }
}

TEST(WindowTransition, TheMidActionRunsAtOnce)
{
    QWidget window;
    int runs = 0;
    Transition::performTransition(window, 7, 2, 1.0f, [&runs] { ++runs; });
    EXPECT_EQ(runs, 1);
}

// Shown with a transition, a window keeps the opacity and alpha it had.
TEST(WindowTransition, ShowingRestoresOpacityAndClosingCloses)
{
    const std::pair<bool, double> cases[] = {{true, 1.0}, {false, 0.5}};
    for (const auto &[opaque, alpha] : cases) {
        QWidget window;
        window.setAttribute(Qt::WA_TranslucentBackground, !opaque);
        window.setWindowOpacity(alpha);
        Transition::showWithTransition(window, 1, 0, 0.2f);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.testAttribute(Qt::WA_TranslucentBackground), !opaque) << alpha;
        EXPECT_NEAR(window.windowOpacity(), alpha, 1.0 / 255); // held in eight bits
        Transition::closeWithTransition(window, 1, 0, 0.2f);
        EXPECT_FALSE(window.isVisible());
    }
}

// A new content view sizes the window around it; the top and left edges
// stay, so a taller view grows the window downwards.
TEST(WindowTransition, NewContentKeepsTheTopLeftEdges)
{
    const struct
    {
        const char *what;
        QSize content;
        bool transition;
    } cases[] = {
        {"taller", {300, 400}, false},
        {"shorter and narrower", {120, 90}, false},
        {"with a transition", {260, 500}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QMainWindow window;
        window.setCentralWidget(new QLabel("old"));
        window.addToolBar("bar")->addAction("act");
        window.setGeometry(40, 50, 300, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.geometry();
        const QSize around = before.size() - window.centralWidget()->size();
        auto *view = new QLabel("new");
        view->resize(c.content);
        if (c.transition)
            Transition::setContentView(window, view, 3, 0, 0.1f);
        else
            Transition::setContentViewAndResize(window, view);
        EXPECT_EQ(window.centralWidget(), view);
        EXPECT_EQ(window.geometry().topLeft(), before.topLeft());
        EXPECT_EQ(window.geometry().size(), c.content + around);
    }
}

} // namespace
