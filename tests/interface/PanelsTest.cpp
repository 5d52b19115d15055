#include "interface/AboutPanelController.h"
#include "interface/ProgressPanelController.h"
#include "interface/TWURLGetter.h"
#include "model/TWMapsDoc.h"

#include "InterfaceTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

namespace {

void post(const QString &name, const QVariantMap &userInfo = {})
{
    NotificationCenter::defaultCenter().post(name, nullptr, userInfo);
}

TEST(ProgressPanel, FollowsALoadFromItsNotifications)
{
    ProgressPanelController panel;
    post(TWMapsDoc::StartLoadingCountNotification, {{TWMapsDoc::CountKey, 3}});
    EXPECT_TRUE(panel.progressPanel()->isVisible());
    EXPECT_FALSE(panel.isIndeterminate());
    EXPECT_EQ(panel.progressBar()->maximum(), 3);

    const struct
    {
        QVariantMap userInfo;
        QString shown;
        int value;
    } steps[] = {
        {{{ProgressPanelController::InfoKey, "Central topic"}}, "Central topic", 1},
        {{}, QString(), 2}, // no text: an empty line, still counted
        {{{ProgressPanelController::InfoKey, "Last"}}, "Last", 3},
        {{{ProgressPanelController::InfoKey, "Beyond"}}, "Beyond", 3}, // stays full
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.shown.toStdString());
        post(TWMapsDoc::IncrementLoadingNotification, step.userInfo);
        EXPECT_EQ(panel.infoString(), step.shown);
        EXPECT_EQ(panel.progressBar()->value(), step.value);
    }
    EXPECT_EQ(panel.value(), 4.0);
    post(TWMapsDoc::FinishLoadingNotification);
    EXPECT_FALSE(panel.progressPanel()->isVisible());

    // A new run starts from an empty line and an empty bar.
    post(TWMapsDoc::StartLoadingCountNotification, {{TWMapsDoc::CountKey, 10}});
    EXPECT_EQ(panel.infoString(), QString());
    EXPECT_EQ(panel.progressBar()->value(), 0);
    EXPECT_EQ(panel.progressBar()->maximum(), 10);
    panel.finish();
}

TEST(ProgressPanel, BusyOnlyWhenIndeterminateNotForACountOfZero)
{
    ProgressPanelController panel;
    panel.runIndeterminate(false, 0);
    EXPECT_NE(panel.progressBar()->maximum(), 0); // Qt shows 0..0 as busy
    panel.setInfoString("one");
    EXPECT_EQ(panel.progressBar()->value(), 0);
    panel.finish();
    panel.runIndeterminate(true, 50);
    EXPECT_TRUE(panel.isIndeterminate());
    EXPECT_EQ(panel.progressBar()->maximum(), 0);
    panel.finish();
    EXPECT_FALSE(panel.progressPanel()->isVisible());
    EXPECT_NE(panel.progressBar()->maximum(), 0); // the busy animation has stopped
}

// Counts the paints of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST(ProgressPanel, IsPaintedBeforeTheWorkRunsAndAFewTimesASecondWhileItRuns)
{
    ProgressPanelController panel;
    QLabel *info = panel.progressPanel()->findChild<QLabel *>();
    ASSERT_NE(info, nullptr);
    PaintCounter counter(info);
    // The work that follows does not return to the event loop.
    panel.runBeforeBlockingWork(false, 100000);
    EXPECT_TRUE(panel.progressPanel()->windowHandle()->isExposed());
    EXPECT_GT(counter.paints, 0);

    // What the work says first shows at once.
    counter.paints = 0;
    panel.setInfoString(QStringLiteral("Importing"));
    EXPECT_EQ(counter.paints, 1);

    counter.paints = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100000; ++i)
        panel.setInfoString(QStringLiteral("Branch %1").arg(i));
    // Not a paint of the line per item: one a period, and one each time the
    // bar grows by a pixel (it repaints itself then, the window with it).
    const qint64 periods = clock.elapsed() / ProgressPanelController::RepaintMilliseconds + 1;
    EXPECT_GT(counter.paints, 0);
    EXPECT_LE(counter.paints, periods + panel.progressBar()->width() + 1);
    EXPECT_EQ(panel.progressBar()->value(), 100000);
    panel.finish();
}

// Presses a button of the URL panel once its modal run has started.
void pressWhenShown(TWURLGetter &getter, QPushButton *button, const QString &typed = QString())
{
    QTimer::singleShot(0, &getter, [&getter, button, typed] {
        EXPECT_TRUE(getter.isVisible());
        if (!typed.isNull())
            getter.urlTextField()->setText(typed);
        button->click();
    });
}

TEST(URLGetter, CancelGivesNothing)
{
    TWURLGetter getter;
    pressWhenShown(getter, getter.cancelButton());
    EXPECT_EQ(getter.runWithURL(std::nullopt), std::nullopt);
    EXPECT_EQ(getter.urlTextField()->text(), "http://");
    EXPECT_FALSE(getter.isVisible());

    // OK in an earlier run does not make a later Cancel count as OK.
    pressWhenShown(getter, getter.okButton());
    EXPECT_EQ(getter.runWithURL(QString("http://a.example/")), QString("http://a.example/"));
    pressWhenShown(getter, getter.cancelButton(), "http://changed.example/");
    EXPECT_EQ(getter.runWithURL(QString("http://a.example/")), std::nullopt);
}

TEST(URLGetter, OkAddsTheSchemeOnlyWhereNoneWasTyped)
{
    const struct
    {
        const char *typed, *result;
    } cases[] = {
        {"www.example.com/some path", "http://www.example.com/some path"},
        {"example.com/find?q=a b#part", "http://example.com/find?q=a b#part"},
        {"https://example.com/a b?x=1", "https://example.com/a b?x=1"},
        {"mailto:someone@example.com", "mailto:someone@example.com"},
        {"ftp.example.com", "http://ftp.example.com"},
    };
    TWURLGetter getter;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(TWURLGetter::addressForTypedText(c.typed), QString(c.result));
        pressWhenShown(getter, getter.okButton(), c.typed);
        EXPECT_EQ(getter.runWithURL(std::nullopt), std::optional<QString>(c.result));
    }
}

class AboutPanel : public ::testing::Test
{
protected:
    AboutPanel() : about({{"CFBundleShortVersionString", "4.1"}, {"CFBundleVersion", "4.1.7"}})
    {
        about.setURLOpener([this](const QUrl &url) { opened.append(url); });
    }
    void clickAt(QWidget *widget, QPoint at = QPoint())
    {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                          at.isNull() ? widget->rect().center() : at);
    }
    AboutPanelController about;
    QList<QUrl> opened;
};

TEST_F(AboutPanel, ShowsVersionsAndScrollsOnATimer)
{
    EXPECT_EQ(about.shortInfoField()->text(), "4.1");
    EXPECT_EQ(about.versionField()->text(), "Version 4.1.7");
    EXPECT_TRUE(about.textView()->toPlainText().endsWith(QString(30, u'\n')));
    EXPECT_EQ(about.scrollingTimer(), nullptr);

    about.showPanel();
    EXPECT_EQ(about.scrollAmount(), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.panelToDisplay()));
    QTimer *timer = about.scrollingTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());

    // One point a step. The timer is held while stepping by hand: on a busy
    // machine it may already have stepped.
    timer->stop();
    const int start = about.scrollAmount();
    about.scrollOneUnit();
    about.scrollOneUnit();
    EXPECT_EQ(about.scrollAmount(), start + 2);
    timer->start();
    QTRY_VERIFY_WITH_TIMEOUT(about.scrollAmount() >= start + 4, 5000);

    // Showing again starts from the top and keeps the one timer.
    about.showPanel();
    EXPECT_EQ(about.scrollingTimer(), timer);
    EXPECT_LT(about.scrollAmount(), 2);

    // It stops at the end of the text.
    QScrollBar *bar = about.textView()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    about.setScrollAmount(bar->maximum());
    about.scrollOneUnit();
    EXPECT_EQ(about.scrollAmount(), bar->maximum());

    about.hidePanel();
    EXPECT_EQ(about.scrollingTimer(), nullptr);
    EXPECT_FALSE(about.panelToDisplay()->isVisible());
}

TEST_F(AboutPanel, HidesOnAnyKeyAndOnClicksOutsideTheButton)
{
    about.showPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.panelToDisplay()));
    clickAt(about.visitThinkwebButton());
    EXPECT_EQ(opened, QList<QUrl>({AboutPanelController::webSiteURL}));
    EXPECT_TRUE(about.panelToDisplay()->isVisible());
    EXPECT_NE(about.scrollingTimer(), nullptr);

    clickAt(about.textView()->viewport());
    EXPECT_FALSE(about.panelToDisplay()->isVisible());
    EXPECT_EQ(about.scrollingTimer(), nullptr);

    about.showPanel();
    QTest::mouseClick(about.panelToDisplay(), Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_FALSE(about.panelToDisplay()->isVisible());

    about.showPanel();
    QTest::keyClick(about.panelToDisplay(), Qt::Key_Space);
    EXPECT_FALSE(about.panelToDisplay()->isVisible());
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(AboutPanel, HidesWhenThePanelOrTheApplicationLosesFocus)
{
    about.showPanel();
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(about.panelToDisplay(), &deactivate);
    EXPECT_FALSE(about.panelToDisplay()->isVisible());
    EXPECT_EQ(about.scrollingTimer(), nullptr);

    about.showPanel();
    QMetaObject::invokeMethod(qGuiApp, "applicationStateChanged", Qt::DirectConnection,
                              Q_ARG(Qt::ApplicationState, Qt::ApplicationInactive));
    EXPECT_FALSE(about.panelToDisplay()->isVisible());
}

} // namespace

TEST(ProgressPanel, CancelIsOfferedOnlyForWorkThatCanStopAndKeepsOthersFromInput)
{
    ProgressPanelController panel;
    const struct {
        const char *name;
        bool cancellable;
        bool click;
        bool cancelled;
    } cases[] = {
        {"plain work: no button", false, false, false},
        {"stoppable, running", true, false, false},
        {"stoppable, clicked", true, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        panel.setCancellable(c.cancellable);
        panel.runIndeterminate(true, 0);
        panel.setInfoString("working");
        EXPECT_EQ(panel.cancelButton()->isVisible(), c.cancellable);
        EXPECT_EQ(panel.progressPanel()->isModal(), c.cancellable);
        if (c.click)
            panel.cancelButton()->click();
        else if (!c.cancellable)
            panel.cancel(); // work that cannot stop is not stopped
        EXPECT_EQ(panel.isCancelled(), c.cancelled);
        EXPECT_EQ(panel.keepResponsive(), !c.cancelled);
        // Finishing a stage keeps the answer for the next one.
        panel.finish();
        EXPECT_EQ(panel.isCancelled(), c.cancelled);
        panel.setCancellable(false);
        EXPECT_FALSE(panel.isCancelled());
        EXPECT_FALSE(panel.progressPanel()->isModal());
    }
}

// The keyboard goes back to the window the work started from, in the field
// that had it, whether the work ran in one stage or in several.
TEST(ProgressPanel, GivesTheKeyboardBackToTheWindowItCameFrom)
{
    QWidget window;
    auto *field = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ProgressPanelController panel;
    for (const bool stages : {false, true}) {
        SCOPED_TRACE(stages ? "a cancellable stage, then another" : "one stage");
        panel.setCancellable(stages);
        panel.runIndeterminate(true, 0);
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.progressPanel()));
        if (stages) {
            panel.setCancellable(false); // shown again for the next stage
            panel.runIndeterminate(false, 2);
        }
        panel.finish();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_EQ(QApplication::focusWidget(), field);
    }
}

TEST_F(AboutPanel, NamesTheEditionRunning)
{
    const QString before = QCoreApplication::applicationName();
    const struct
    {
        const char *applicationName, *shown;
    } cases[] = {
        {"Thinkweb Deluxe", "Thinkweb Deluxe"},
        {"Thinkweb Compact", "Thinkweb Compact"},
        {"A & B", "A &amp; B"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.applicationName);
        QCoreApplication::setApplicationName(QString::fromLatin1(c.applicationName));
        about.showPanel();
        EXPECT_EQ(about.titleField()->text(), QStringLiteral("<b>%1</b>").arg(c.shown));
        about.hidePanel();
    }
    QCoreApplication::setApplicationName(before);
}

TEST(URLGetter, SaysWhatItsFieldWants)
{
    TWURLGetter getter;
    EXPECT_FALSE(getter.windowTitle().isEmpty());
    auto *prompt = getter.findChild<QLabel *>(QStringLiteral("prompt"));
    ASSERT_TRUE(prompt);
    EXPECT_FALSE(prompt->text().isEmpty());
    EXPECT_EQ(prompt->buddy(), getter.urlTextField());
}
