#pragma once

#include "media/MediaBrowser.h"

#include <QString>
#include <QUrl>
#include <functional>

class DocumentController;
class TWMenuResponder;
class QTextEdit;
class WindowSystem;

// The application-wide windows and controllers the application object calls
// on. Each is made on first use by its factory and kept; a window whose
// factory is not set is not part of this build, and its menu actions stay
// disabled.

class OutlineWindow
{
public:
    virtual ~OutlineWindow();
    virtual void makeKeyAndOrderFront() = 0;
    virtual void showOutlineOnly() = 0;
    virtual void showNotesOnly() = 0;
    virtual void showSplitView() = 0;
    // The view of the selected branch's notes; null when there is none.
    virtual QTextEdit *branchNotesView() const { return nullptr; }
};

class ToolPalette
{
public:
    virtual ~ToolPalette();
    // The palette writes TWShowToolPalette itself.
    virtual void showPanel() = 0;
    virtual void closePanel() = 0;
};

class TutorController
{
public:
    virtual ~TutorController();
    // Asks whether to open the tutorials.
    virtual void showTutorAlert() = 0;
    virtual void showTutorWindow() = 0;
};

class UpdateController
{
public:
    virtual ~UpdateController();
    // Checks now and shows the result whatever it is.
    virtual void manualUpdate() = 0;
};

class PreferencesWindow
{
public:
    virtual ~PreferencesWindow();
    virtual void showPreferencesWindow() = 0;
};

class AboutPanel
{
public:
    virtual ~AboutPanel();
    virtual void showPanel() = 0;
};

// Reads outlines and maps of other programs into new documents; each reports
// its own failures.
class Importers
{
public:
    virtual ~Importers();
    virtual void importMindManagerFileAtPath(const QString &path) = 0;
    virtual void importOPMLFileAtPath(const QString &path) = 0;
    virtual void importOmniOutlineFileAtPath(const QString &path) = 0;
};

struct ApplicationServices
{
    // Not owned; both must outlive the application object. A null window
    // system means the desktop's own.
    DocumentController *documentController = nullptr;
    WindowSystem *windowSystem = nullptr;
    Importers *importers = nullptr;
    // The Export menu's commands; null leaves the menu out.
    TWMenuResponder *exporters = nullptr;

    std::function<OutlineWindow *()> outlineWindow;
    std::function<ToolPalette *()> toolPalette;
    std::function<TutorController *()> tutorController;
    // Making the update controller starts its schedule of checks.
    std::function<UpdateController *()> updateController;
    std::function<MediaBrowser *()> mediaBrowser;
    std::function<PreferencesWindow *()> preferencesWindow;
    std::function<AboutPanel *()> aboutPanel;
    // Makes the shared progress panel, so that it hears the first document load.
    std::function<void()> progressPanel;
    // Whether long work (a document opening or an import) shows that panel.
    std::function<bool()> workUnderWay;
    // Makes the floating-palette controller of the editions that have one.
    std::function<void()> floatingPalettes;

    std::function<void(const QString &company, const QString &reportAddress)> launchCrashReporter;
    // The desktop's handler for web, mail and file addresses.
    std::function<bool(const QUrl &)> openUrl;
    // Holds "Application Support/Thinkweb/..." (help, styles, templates);
    // empty for ../share/thinkweb beside the program.
    QString resourceFolder;
    // Where unsaved work with nowhere of its own to go is kept when the
    // program ends unasked (KeptDocuments); empty keeps it nowhere.
    QString keptDocumentsFolder;

    // The program's own: the desktop, the crash reporter, the panels that exist.
    static ApplicationServices standard();
};
