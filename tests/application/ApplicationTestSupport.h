#pragma once

#include "application/ApplicationServices.h"
#include "application/TWApplication.h"
#include "application/WindowSystem.h"
#include "platform/Document.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

// Every call on the fakes below is written here, in order.
inline QStringList &callLog()
{
    static QStringList log;
    return log;
}

class FakeDocument : public Document
{
public:
    explicit FakeDocument(const QString &file = QString(), bool edited = false)
        : m_window(std::make_unique<QWidget>()), m_file(file), m_edited(edited)
    {
        setWindow(m_window.get());
    }
    QWidget *mainWindow() const override { return m_window.get(); }
    QString fileName() const override { return m_file; }
    bool isDocumentEdited() const override { return m_edited; }
    void saveDocument() override { ++saves; }
    void close() override { ++closes; }

    int saves = 0;
    int closes = 0;

private:
    std::unique_ptr<QWidget> m_window;
    QString m_file;
    bool m_edited;
};

class FakeDocumentController : public DocumentController
{
public:
    QList<Document *> documents() const override { return docs; }
    Document *currentDocument() const override { return current; }
    Document *newDocument() override
    {
        callLog() << QStringLiteral("newDocument");
        return nullptr;
    }
    Document *openDocument(const QUrl &url, bool display) override
    {
        callLog() << QStringLiteral("open %1 %2").arg(url.fileName()).arg(display);
        return openResult;
    }

    QList<Document *> docs;
    Document *current = nullptr;
    Document *openResult = nullptr;
};

// Windows in an order the test sets, with the main window in front.
class FakeWindowSystem : public WindowSystem
{
public:
    QList<QWidget *> orderedWindows() const override { return order; }
    QWidget *mainWindow() const override { return main; }
    void activate(QWidget *window)
    {
        order.removeAll(window);
        if (window)
            order.prepend(window);
        main = window;
        emit mainWindowChanged();
    }
    void remove(QWidget *window)
    {
        order.removeAll(window);
        if (main == window)
            main = nullptr;
        emit mainWindowChanged();
    }

    QList<QWidget *> order;
    QWidget *main = nullptr;
};

struct RecordingWindows : OutlineWindow,
                          ToolPalette,
                          TutorController,
                          UpdateController,
                          MediaBrowser,
                          PreferencesWindow,
                          AboutPanel,
                          Importers
{
    static void log(const QString &call) { callLog() << call; }
    void makeKeyAndOrderFront() override { log("outline front"); }
    void showOutlineOnly() override { log("outline only"); }
    void showNotesOnly() override { log("notes only"); }
    void showSplitView() override { log("split view"); }
    void showPanel() override { log("show panel"); } // tool palette and About share it
    void closePanel() override { log("close palette"); }
    void showTutorAlert() override { log("tutor alert"); }
    void showTutorWindow() override { log("tutor window"); }
    void manualUpdate() override { log("manual update"); }
    void showMediaBrowser() override { log("media browser"); }
    void showPhotoLibrary() override { log("photo library"); }
    void showGraphicsLibrary() override { log("graphics library"); }
    void showAdornmentsLibrary() override { log("adornments library"); }
    void showPreferencesWindow() override { log("preferences"); }
    void importMindManagerFileAtPath(const QString &path) override { log("mmap " + path); }
    void importOPMLFileAtPath(const QString &path) override { log("opml " + path); }
    void importOmniOutlineFileAtPath(const QString &path) override { log("oo3 " + path); }
};

// One application object per test, with its own preferences and fakes for
// every window it calls on.
class ApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        callLog().clear();
        TWPreferences::registerDefaults();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2"));
    }

    // Services that record; `windows` and `controller` outlive the application.
    ApplicationServices recordingServices()
    {
        ApplicationServices s;
        s.documentController = &controller;
        s.windowSystem = &windowSystem;
        s.importers = &windows;
        RecordingWindows *w = &windows;
        s.outlineWindow = [w] { return w; };
        s.toolPalette = [w] { return w; };
        s.tutorController = [w] { return w; };
        s.updateController = [w] {
            RecordingWindows::log("update controller");
            return w;
        };
        s.mediaBrowser = [w] { return w; };
        s.preferencesWindow = [w] { return w; };
        s.aboutPanel = [w] { return w; };
        s.progressPanel = [] { RecordingWindows::log("progress panel"); };
        s.floatingPalettes = [] { RecordingWindows::log("floating palettes"); };
        s.launchCrashReporter = [](const QString &company, const QString &address) {
            RecordingWindows::log("crash reporter " + company + " " + address);
        };
        s.openUrl = [this](const QUrl &url) {
            openedUrls << url;
            return true;
        };
        s.resourceFolder = QStringLiteral("/opt/thinkweb");
        s.keptDocumentsFolder = dir.filePath(QStringLiteral("kept"));
        return s;
    }

    TWApplication &start(Edition edition = Edition::Deluxe)
    {
        return start(edition, recordingServices());
    }
    TWApplication &start(Edition edition, ApplicationServices services)
    {
        app = TWApplication::create(edition, argc, argv, std::move(services));
        return *app;
    }

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.ini")};
    UserDefaults::Scope scope{&defaults};
    FakeDocumentController controller;
    FakeWindowSystem windowSystem;
    RecordingWindows windows;
    QList<QUrl> openedUrls;

    char arg0[9] = "thinkweb";
    char *argv[2] = {arg0, nullptr};
    int argc = 1;
    // Last, so that it goes first.
    std::unique_ptr<TWApplication> app;
};
