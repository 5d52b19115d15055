#include "application/ApplicationServices.h"

#include "application/CrashReporter.h"
#include "application/TWAppcastUpdater.h"
#include "application/TWApplication.h"
#include "application/TWOutlineViewController.h"
#include "application/TWPreferencesInterface.h"
#include "application/TWToolPaletteService.h"
#include "application/TWTutorController.h"
#include "application/TWUpdateController.h"
#include "canvas/TWToolPaletteController.h"
#include "interface/AboutPanelController.h"
#include "interface/ProgressPanelController.h"
#include "media/TWMediaBrowserController.h"
#include "palettes/TWFloatingPalettesController.h"
#include "palettes/TWPaletteMapping.h"
#include "palettes/TWSuggestionsController.h"

#include <QDesktopServices>
#include <QWidget>

OutlineWindow::~OutlineWindow() = default;
ToolPalette::~ToolPalette() = default;
TutorController::~TutorController() = default;
UpdateController::~UpdateController() = default;
PreferencesWindow::~PreferencesWindow() = default;
AboutPanel::~AboutPanel() = default;
Importers::~Importers() = default;

namespace {
class SharedAboutPanel : public AboutPanel
{
public:
    void showPanel() override { AboutPanelController::sharedInstance().showPanel(); }
};
} // namespace

ApplicationServices ApplicationServices::standard()
{
    ApplicationServices s;
    s.aboutPanel = []() -> AboutPanel * {
        static SharedAboutPanel panel;
        return &panel;
    };
    s.outlineWindow = []() -> OutlineWindow * {
        return &TWOutlineViewController::sharedOutlineViewController();
    };
    s.preferencesWindow = []() -> PreferencesWindow * {
        return &TWPreferencesInterface::sharedPreferencesInterface();
    };
    s.progressPanel = [] { ProgressPanelController::sharedProgressPanel(); };
    s.workUnderWay = [] {
        const QWidget *panel = ProgressPanelController::sharedProgressPanel().progressPanel();
        return panel && panel->isVisible();
    };
    s.toolPalette = []() -> ToolPalette * {
        static TWToolPaletteService service(TWToolPaletteController::sharedToolPaletteController(),
                                            qobject_cast<TWApplication *>(qApp));
        return &service;
    };
    s.tutorController = []() -> TutorController * {
        return &TWTutorController::sharedTutorController();
    };
    s.updateController = []() -> UpdateController * {
        // The feed reader follows the same start-up as the versions check.
        TWAppcastUpdater::sharedUpdater();
        return &TWUpdateController::sharedUpdateController();
    };
    s.launchCrashReporter = [](const QString &company, const QString &address) {
        if (!CrashReporter::launch(company, address))
            qWarning("Could not prepare crash reports in %s",
                     qPrintable(CrashReporter::defaultFolder()));
    };
    s.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    s.floatingPalettes = [] { TWFloatingPalettesController::sharedFloatingPalettesController(); };
    s.mediaBrowser = []() -> MediaBrowser * {
        return &TWMediaBrowserController::sharedMediaBrowserController();
    };
    // The suggestion palette is offered only while its plug-in is installed.
    TWPaletteMapping::setSuggestionPluginProbe(&TWSuggestionsController::suggestionPluginInstalled);
    return s;
}
