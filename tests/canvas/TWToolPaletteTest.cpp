#include "CanvasTestSupport.h"

#include "canvas/TWToolPaletteController.h"
#include "graphics/TWRectangle.h"

#include <QDir>
#include <QMainWindow>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>

using namespace CanvasTest;

// The palette over two document windows, each with its canvas. With
// THINKWEB_CANVAS_SHOTS naming a folder, the palette is saved there.
class PaletteOfTools : public CanvasFixture
{
protected:
    PaletteOfTools() : otherHost(document)
    {
        window.setCentralWidget(&view);
        other.setDocument(&otherHost);
        palette.setCanvasProvider([this] { return QList<TWGraphicView *>{&view, &other}; });
        palette.setMainWindow(&window);
    }
    ~PaletteOfTools() override
    {
        window.takeCentralWidget();
        other.setDocument(nullptr);
    }
    void clickTool(int mode) { palette.button(mode)->click(); }
    QStringList badges() const
    {
        QStringList result;
        for (int mode = 0; mode < 8; ++mode)
            result << palette.button(mode)->badgeName();
        return result;
    }
    static QStringList badgeOn(int mode, const QString &badge)
    {
        QStringList result(8, QString());
        result[mode] = badge;
        return result;
    }

    QMainWindow window;
    FakeHost otherHost;
    TWGraphicView other;
    TWToolPaletteController palette;
};

TEST_F(PaletteOfTools, OneClickIsOneShotASecondLocksAThirdFrees)
{
    const QString one = QStringLiteral("toolPalette1");
    const QString infinite = QStringLiteral("toolPaletteInfinite");
    struct Step
    {
        int tool;
        int mode;
        bool locked;
        QString badge;
    };
    const Step steps[] = {
        {TWGraphicView::AddChildMode, TWGraphicView::AddChildMode, false, one},
        {TWGraphicView::AddChildMode, TWGraphicView::AddChildMode, true, infinite},
        {TWGraphicView::AddChildMode, TWGraphicView::AddChildMode, false, one},
        {TWGraphicView::ZoomMode, TWGraphicView::ZoomMode, false, one},
        {TWGraphicView::SelectMode, TWGraphicView::SelectMode, false, one},
        {TWGraphicView::SelectMode, TWGraphicView::SelectMode, false, one},
    };
    for (const Step &s : steps) {
        clickTool(s.tool);
        EXPECT_EQ(view.drawingMode(), s.mode) << s.tool;
        EXPECT_EQ(view.modeLockedIn(), s.locked) << s.tool;
        EXPECT_EQ(badges(), badgeOn(s.mode, s.badge)) << s.tool;
    }
    // A double click on a new tool (two clicks to the button) picks it and locks it.
    clickTool(TWGraphicView::GraftMode);
    clickTool(TWGraphicView::GraftMode);
    EXPECT_EQ(view.drawingMode(), TWGraphicView::GraftMode);
    EXPECT_TRUE(view.modeLockedIn());
    EXPECT_EQ(badges(), badgeOn(TWGraphicView::GraftMode, infinite));
}

TEST_F(PaletteOfTools, ThePaletteFollowsTheCanvasAndItsWindow)
{
    // Mode changes made on the canvas show.
    view.setDrawingMode(TWGraphicView::LinkLineMode);
    view.lockDrawingMode();
    view.setDrawingMode(TWGraphicView::LinkLineMode);
    EXPECT_TRUE(palette.button(TWGraphicView::LinkLineMode)->isChecked());
    EXPECT_TRUE(palette.button(TWGraphicView::LinkLineMode)->isLockedIn());

    // No document window: the select tool, no lock; clicks change no canvas.
    palette.setMainWindow(nullptr);
    EXPECT_EQ(badges(), badgeOn(0, QStringLiteral("toolPalette1")));
    clickTool(TWGraphicView::PanMode);
    EXPECT_EQ(view.drawingMode(), TWGraphicView::LinkLineMode);
    EXPECT_EQ(palette.inspectingCanvas(), nullptr);

    palette.setMainWindow(&other);
    clickTool(TWGraphicView::PanMode);
    EXPECT_EQ(other.drawingMode(), TWGraphicView::PanMode);
    EXPECT_EQ(view.drawingMode(), TWGraphicView::LinkLineMode);
}

TEST_F(PaletteOfTools, ClosingResetsEveryCanvasAndIsRemembered)
{
    palette.showPanel();
    EXPECT_TRUE(palette.panel()->isVisible());
    EXPECT_TRUE(defaults.boolForKey(QString::fromLatin1(TWPreferences::ShowToolPaletteKey)));
    view.setDrawingMode(TWGraphicView::ZoomMode);
    view.lockDrawingMode();
    other.setDrawingMode(TWGraphicView::GraftMode);

    const QString keep = qEnvironmentVariable("THINKWEB_CANVAS_SHOTS");
    if (!keep.isEmpty() && QDir().mkpath(keep)) {
        palette.setMainWindow(&window);
        window.resize(700, 520);
        window.move(200, 100);
        window.show();
        QTest::qWaitForWindowExposed(palette.panel());
        view.horizontalScrollBar()->setValue(0);
        view.verticalScrollBar()->setValue(0);
        for (const auto &[bounds, name] : {std::pair{Rect(320, 120, 110, 40), "Ideas"},
                                           std::pair{Rect(320, 300, 110, 40), "Plans"},
                                           std::pair{Rect(80, 210, 110, 40), "Notes"}}) {
            auto shape = TWGraphic::make<TWRectangle>(bounds);
            TWMapBranch::createWithGraphic(shape, root.get(), map.get())
                ->enclosedTextArea()
                ->setString(QString::fromLatin1(name));
        }
        settle();
        view.setDrawingMode(TWGraphicView::SelectMode);
        // A rubber band held over two branches, as the user sees it.
        auto mouse = [this](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
            QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), Qt::LeftButton, held,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(view.viewport(), &event);
        };
        mouse(QEvent::MouseButtonPress, QPointF(250, 150), Qt::LeftButton);
        mouse(QEvent::MouseMove, QPointF(460, 330), Qt::LeftButton);
        QTest::qWait(300);
        palette.panel()->grab().save(QDir(keep).filePath(QStringLiteral("palette.png")));
        if (QScreen *screen = QGuiApplication::primaryScreen())
            screen->grabWindow(0).save(QDir(keep).filePath(QStringLiteral("screen.png")));
        mouse(QEvent::MouseButtonRelease, QPointF(460, 330), Qt::NoButton);
        view.setDrawingMode(TWGraphicView::ZoomMode);
        view.lockDrawingMode();
    }

    palette.closeButton()->click();
    EXPECT_FALSE(palette.panel()->isVisible());
    EXPECT_FALSE(defaults.boolForKey(QString::fromLatin1(TWPreferences::ShowToolPaletteKey)));
    for (const TWGraphicView *canvas : {&view, &other}) {
        EXPECT_EQ(canvas->drawingMode(), TWGraphicView::SelectMode);
        EXPECT_FALSE(canvas->modeLockedIn());
    }
}

TEST_F(PaletteOfTools, TheFrameIsKeptOnScreenAndRemembered)
{
    const QScreen *screen = palette.panel()->screen();
    ASSERT_NE(screen, nullptr);
    const QRect visible = screen->availableGeometry();
    palette.showPanel();
    palette.panel()->move(120, visible.top() - 40);
    palette.checkToolPalettePosition();
    EXPECT_EQ(palette.panel()->frameGeometry().top(), visible.top());
    EXPECT_EQ(palette.panel()->x(), 120);
    palette.panel()->move(120, visible.bottom() - 5);
    NotificationCenter::defaultCenter().post(TWToolPaletteController::FullScreenChangedNotification,
                                             nullptr);
    EXPECT_EQ(palette.panel()->frameGeometry().bottom(), visible.bottom());

    // A new palette opens where this one was left.
    const QPoint where = palette.panel()->pos();
    TWToolPaletteController again;
    EXPECT_EQ(again.panel()->pos(), where);
    EXPECT_FALSE(defaults.stringForKey(TWToolPaletteController::FrameName).isEmpty());
}

TEST(ToolPaletteFrame, WithoutASavedFrameThePaletteSitsNearTheTopLeft)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.ini")));
    UserDefaults::Scope scope(&defaults);
    TWToolPaletteController palette;
    const QRect visible = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(palette.panel()->pos(), QPoint(50, visible.top() + 50));
    EXPECT_TRUE(palette.button(0)->isChecked());
    EXPECT_FALSE(palette.button(1)->toolTip().isEmpty());
    EXPECT_TRUE(palette.button(0)->toolTip().isEmpty());
}
