#pragma once

// Drives the assembled program as a user does: the real application object of
// an edition, real document windows with their menus, docks and toolbars, and
// input delivered through the window system's entry points, so that focus,
// shortcuts and menus take part. Results are read from the model and from
// grabs of the window, which are kept for a person to look at.

#include "application/ApplicationServices.h"
#include "application/DocumentController.h"
#include "application/EditionTraits.h"
#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>

namespace Acceptance {

inline const char *editionName(Edition edition)
{
    return edition == Edition::Compact ? "Compact" : "Deluxe";
}

// Application-wide windows stay closed: each test makes its own application
// object, and those windows live as long as the process.
struct ClosedWindows : OutlineWindow,
                       ToolPalette,
                       TutorController,
                       UpdateController,
                       MediaBrowser,
                       PreferencesWindow,
                       AboutPanel
{
    // How often the program asked for one of these windows.
    int calls = 0;
    void makeKeyAndOrderFront() override { ++calls; }
    void showOutlineOnly() override { ++calls; }
    void showNotesOnly() override { ++calls; }
    void showSplitView() override { ++calls; }
    void showPanel() override { ++calls; }
    void closePanel() override { ++calls; }
    void showTutorAlert() override { ++calls; }
    void showTutorWindow() override { ++calls; }
    void manualUpdate() override { ++calls; }
    void showMediaBrowser() override { ++calls; }
    void showPhotoLibrary() override { ++calls; }
    void showGraphicsLibrary() override { ++calls; }
    void showAdornmentsLibrary() override { ++calls; }
    void showPreferencesWindow() override { ++calls; }
};

// Where grabs go: $THINKWEB_ACCEPTANCE_GRABS, else a folder beside the tests.
inline QString grabFolder()
{
    QString folder = qEnvironmentVariable("THINKWEB_ACCEPTANCE_GRABS");
    if (folder.isEmpty())
        folder = QDir::current().filePath(QStringLiteral("acceptance-grabs"));
    QDir().mkpath(folder);
    return folder;
}

inline QString plainMenuText(QString text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        text.truncate(tab);
    return text.remove(QLatin1Char('&'));
}

} // namespace Acceptance

class AcceptanceTest : public ::testing::TestWithParam<Edition>
{
protected:
    void SetUp() override
    {
        TWPreferences::registerDefaults();
        documentController = std::make_unique<TWDocumentController>();
        services.documentController = documentController.get();
        Acceptance::ClosedWindows *w = &windows;
        // A scenario may put the real outline window in place of the closed one.
        if (!services.outlineWindow)
            services.outlineWindow = [w] { return w; };
        services.toolPalette = [w] { return w; };
        services.tutorController = [w] { return w; };
        services.updateController = [w] { return w; };
        services.mediaBrowser = [w] { return w; };
        services.preferencesWindow = [w] { return w; };
        services.aboutPanel = [w] { return w; };
        services.progressPanel = [] {};
        services.floatingPalettes = [] {};
        services.launchCrashReporter = [](const QString &, const QString &) {};
        beforeLaunch();
        // Addresses for the desktop are kept, and nothing is opened.
        services.openUrl = [this](const QUrl &url) {
            desktopUrls << url;
            return false;
        };
        app = TWApplication::create(GetParam(), argc, argv, services);
        app->finishLaunching();
        settle();
    }
    void TearDown() override
    {
        // Windows that close ask nothing of a test that is over.
        if (documentController)
            for (Document *open : documentController->documents())
                static_cast<TWDocument *>(open)->clearChangeCount();
        documentController.reset();
        NotificationQueue::defaultQueue().flush();
        settle();
    }

    Edition edition() const { return GetParam(); }
    // A scenario may put more of the program's services in place here.
    virtual void beforeLaunch() {}

    // --- documents and windows ---

    // A new untitled document in its shown, active window.
    TWDocument *newDocument(QSize size = QSize(1000, 700))
    {
        auto *document = static_cast<TWDocument *>(documentController->newDocument());
        if (!document)
            return nullptr;
        show(document, size);
        return document;
    }
    TWDocument *openDocument(const QString &path, QSize size = QSize(1000, 700))
    {
        auto *document = static_cast<TWDocument *>(
            documentController->openDocument(QUrl::fromLocalFile(path), true));
        if (document)
            show(document, size);
        return document;
    }
    void show(TWDocument *document, QSize size)
    {
        QWidget *window = document->mainWindow();
        window->resize(size);
        window->show();
        window->raise();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        settle();
    }
    QWindow *windowHandle(TWDocument *document) const
    {
        return document->mainWindow()->windowHandle();
    }

    // Event loop passes, the queued notifications and a repaint, as between
    // two things a user does.
    void settle(int passes = 4)
    {
        for (int i = 0; i < passes; ++i) {
            QEventLoop loop;
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
            loop.exec();
            NotificationQueue::defaultQueue().flush();
        }
        QCoreApplication::processEvents();
    }
    // Runs the event loop for a while: delayed refreshes (0.1 s) and timers.
    void wait(int milliseconds)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            NotificationQueue::defaultQueue().flush();
            QTest::qSleep(5);
        }
        settle();
    }

    // --- keys, as the window system delivers them to the window ---

    void key(TWDocument *document, Qt::Key code, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(windowHandle(document), code, modifiers);
        settle();
    }
    void type(TWDocument *document, const QString &text)
    {
        for (QChar c : text) {
            const char latin = c.toLatin1();
            ASSERT_NE(latin, 0) << "typing is limited to Latin-1";
            QTest::keyClick(windowHandle(document), latin);
        }
        settle();
    }

    // --- the pointer, at window coordinates ---

    // Where a point of the current map appears in the document's window.
    QPoint windowPoint(TWDocument *document, Point mapPoint) const
    {
        TWGraphicView *view = document->graphicView();
        const QRectF r = view->viewportRectFromMap(Rect(mapPoint.x, mapPoint.y, 0, 0));
        return view->viewport()->mapTo(document->mainWindow(), r.topLeft().toPoint());
    }
    QPoint windowPoint(TWDocument *document, const TWGraphic &graphic) const
    {
        const Rect b = graphic.bounds();
        return windowPoint(document, Point(b.midX(), b.midY()));
    }
    void click(TWDocument *document, QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(windowHandle(document), Qt::LeftButton, modifiers, at);
        settle();
    }
    // A click at `at` (on a branch), then Tab-typed children of that branch,
    // Shift-Tab for each next one, and Escape.
    void typeChildren(TWDocument *document, QPoint at, const QStringList &labels)
    {
        click(document, at);
        key(document, Qt::Key_Tab);
        for (qsizetype i = 0; i < labels.size(); ++i) {
            if (i > 0)
                key(document, Qt::Key_Backtab, Qt::ShiftModifier);
            type(document, labels.at(i));
        }
        key(document, Qt::Key_Escape);
    }
    // The same, clicked on the parent's label.
    void grow(TWDocument *document, const TWMapBranch &parent, const QStringList &labels)
    {
        typeChildren(document, windowPoint(document, *parent.enclosedTextArea()), labels);
    }
    void doubleClick(TWDocument *document, QPoint at)
    {
        QTest::mouseDClick(windowHandle(document), Qt::LeftButton, {}, at);
        settle();
    }
    void drag(TWDocument *document, QPoint from, QPoint to, int steps = 8,
              Qt::KeyboardModifiers modifiers = {})
    {
        QWindow *window = windowHandle(document);
        QTest::mousePress(window, Qt::LeftButton, modifiers, from);
        settle(1);
        for (int i = 1; i <= steps; ++i) {
            QTest::mouseMove(window, from + (to - from) * i / steps);
            settle(1);
        }
        QTest::mouseRelease(window, Qt::LeftButton, modifiers, to);
        settle();
    }
    // A control of the window, clicked where it shows.
    void clickWidget(TWDocument *document, QWidget *widget)
    {
        ASSERT_TRUE(widget);
        click(document, widget->mapTo(document->mainWindow(), widget->rect().center()));
    }

    // --- menus ---

    // The item at a path of menu titles in the window's menu bar, validated
    // as a menu that opens would be; null when a title is missing.
    QAction *menuItem(TWDocument *document, const QStringList &path)
    {
        auto *window = qobject_cast<QMainWindow *>(document->mainWindow());
        if (!window)
            return nullptr;
        QList<QAction *> actions = window->menuBar()->actions();
        QAction *found = nullptr;
        for (const QString &title : path) {
            found = nullptr;
            for (QAction *action : actions)
                if (Acceptance::plainMenuText(action->text()) == title) {
                    found = action;
                    break;
                }
            if (!found)
                return nullptr;
            if (QMenu *menu = found->menu()) {
                emit menu->aboutToShow();
                actions = menu->actions();
            }
        }
        return found;
    }
    // Chooses a menu item; false when it is missing or disabled.
    bool choose(TWDocument *document, const QStringList &path)
    {
        QAction *action = menuItem(document, path);
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        settle();
        return true;
    }

    // --- what the user sees ---

    // What the window shows on the screen now (as last flushed there, not
    // painted afresh), kept under the test's and the step's names.
    QImage grab(TWDocument *document, const QString &step)
    {
        settle();
        QWidget *window = document->mainWindow();
        QImage image;
        if (QScreen *screen = window->screen())
            image = screen->grabWindow(window->winId()).toImage();
        if (image.isNull())
            image = window->grab().toImage();
        image = image.convertToFormat(QImage::Format_RGB32);
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        QString name = QStringLiteral("%1-%2.png").arg(QString::fromLatin1(info->name()), step);
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        image.save(QDir(Acceptance::grabFolder()).filePath(name));
        return image;
    }
    // The canvas's part of a window grab.
    QImage canvasPart(TWDocument *document, const QImage &windowImage) const
    {
        QWidget *viewport = document->graphicView()->viewport();
        const QRect r(viewport->mapTo(document->mainWindow(), QPoint(0, 0)), viewport->size());
        const qreal ratio = windowImage.devicePixelRatio();
        return windowImage.copy(QRect((QPointF(r.topLeft()) * ratio).toPoint(),
                                      (QSizeF(r.size()) * ratio).toSize()));
    }
    // Pixels of the canvas on the screen that differ from the canvas painted
    // afresh: what a missed repaint leaves stale.
    int staleCanvasPixels(TWDocument *document, const QString &step)
    {
        const QImage shown = canvasPart(document, grab(document, step));
        QImage fresh = document->graphicView()->viewport()->grab().toImage().convertToFormat(
            QImage::Format_RGB32);
        fresh = fresh.scaled(shown.size());
        int stale = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor a = shown.pixelColor(x, y), b = fresh.pixelColor(x, y);
                if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue()) >
                    48)
                    ++stale;
            }
        if (stale > 0)
            fresh.save(QDir(Acceptance::grabFolder())
                           .filePath(QStringLiteral("%1-%2-expected.png")
                                         .arg(QString::fromLatin1(::testing::UnitTest::GetInstance()
                                                                      ->current_test_info()
                                                                      ->name()),
                                              step)
                                         .replace(QLatin1Char('/'), QLatin1Char('-'))));
        return stale;
    }
    // The part of the screen that shows an area of the current map.
    QImage grabMapArea(TWDocument *document, Rect area, const QString &step)
    {
        const QImage image = grab(document, step);
        TWGraphicView *view = document->graphicView();
        const QRect r = view->viewportRectFromMap(area).toAlignedRect();
        const QPoint origin = view->viewport()->mapTo(document->mainWindow(), r.topLeft());
        const qreal ratio = image.devicePixelRatio();
        return image.copy(
            QRect((QPointF(origin) * ratio).toPoint(), (QSizeF(r.size()) * ratio).toSize()));
    }

    // --- the model ---

    static TWMap *currentMap(TWDocument *document)
    {
        return document->mapsDocument() ? document->mapsDocument()->currentMap().get() : nullptr;
    }
    static QString label(const TWMapBranch &branch)
    {
        const TWTextArea *text = branch.enclosedTextArea().get();
        return text ? text->text().string() : QString();
    }
    static QStringList childLabels(const TWMapBranch &branch)
    {
        QStringList labels;
        for (const auto &child : branch.children())
            labels << label(*child);
        return labels;
    }

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.ini")};
    UserDefaults::Scope scope{&defaults};
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    Acceptance::ClosedWindows windows;
    QList<QUrl> desktopUrls;
    ApplicationServices services;

    char arg0[9] = "thinkweb";
    char *argv[2] = {arg0, nullptr};
    int argc = 1;
    // Last, so that they go first; the windows before the application.
    std::unique_ptr<TWApplication> app;
    std::unique_ptr<TWDocumentController> documentController;
};

inline std::string editionParamName(const ::testing::TestParamInfo<Edition> &info)
{
    return Acceptance::editionName(info.param);
}

#define ACCEPTANCE_EDITIONS(Suite)                                                                 \
    INSTANTIATE_TEST_SUITE_P(Editions, Suite,                                                      \
                             ::testing::Values(Edition::Deluxe, Edition::Compact),                 \
                             editionParamName)
