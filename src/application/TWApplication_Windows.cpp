#include "application/TWApplication.h"
#include "application/TWHelpViewer.h"

#include "interface/AboutPanelController.h"
#include "platform/Alerts.h"
#include "platform/DataFolder.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

namespace {
UserDefaults &defaults()
{
    return UserDefaults::standard();
}

// The mail names the system the program runs on, as that system names itself.
const char *const FeedbackFormat =
    "Subject=Thinkweb feedback&body=Product: %1 %2\nSystem: %3\nComments and suggestions:\n";
const char *const DefectReportFormat =
    "Subject=Thinkweb Defect Report&body=Product: %1 %2\nSystem: %3\nBrief Description:\n\n\n"
    "Is this defect reproducible?\n\n\nIf so, please explain how to reproduce this problem:\n\n\n"
    "Please attach any relevant documents. Thank you.";
} // namespace

void TWApplication::createActions()
{
    struct Entry
    {
        Command command;
        const char *name; // the command's object name
        const char *title;
        bool available;
    };
    const ApplicationServices &s = m_services;
    const bool canOpen = bool(s.openUrl);
    const Entry entries[] = {
        {Command::About, "orderFrontStandardAboutPanel", "About Thinkweb", bool(s.aboutPanel)},
        {Command::MediaBrowser, "showMediaBrowser", "Media Browser", bool(s.mediaBrowser)},
        {Command::PhotoLibrary, "showPhotoLibrary", "Photo Library", bool(s.mediaBrowser)},
        {Command::GraphicsLibrary, "showGraphicsLibrary", "Graphics Library", bool(s.mediaBrowser)},
        {Command::AdornmentsLibrary, "showAdornmentsLibrary", "Adornments Library",
         bool(s.mediaBrowser)},
        {Command::Preferences, "showPreferencesPanel", "Preferences...", bool(s.preferencesWindow)},
        {Command::OutlinePanel, "showOutlinePanel", "Outline", bool(s.outlineWindow)},
        {Command::BranchNotesPanel, "showBranchNotesPanel", "Branch Notes", bool(s.outlineWindow)},
        {Command::OutlineComboPanel, "showOutlineComboPanel", "Outline and Notes",
         bool(s.outlineWindow)},
        {Command::ToolPalette, "showToolPalette", "Tool Palette", bool(s.toolPalette)},
        {Command::TutorWindow, "showTutorWindow", "Tutorials", bool(s.tutorController)},
        {Command::UpdatePanel, "showUpdatePanel", "Check for Updates...", bool(s.updateController)},
        {Command::VisitThinkweb, "visitThinkweb", "Visit Thinkweb Online", canOpen},
        {Command::SendFeedback, "sendFeedback", "Send Feedback...", canOpen},
        {Command::SubmitDefectReport, "submitDefectReport", "Submit Defect Report...", canOpen},
        {Command::Help, "showHelp", "Thinkweb Help", true},
    };
    for (const Entry &e : entries) {
        auto *action = new QAction(TWLocalizedString(StringTable::DadoZiz, e.title), this);
        action->setObjectName(e.name);
        // A window this build does not have cannot be brought up.
        action->setEnabled(e.available);
        const Command command = e.command;
        connect(action, &QAction::triggered, this, [this, command] { run(command); });
        m_actions.insert(command, action);
    }
    m_actions.value(Command::About)->setMenuRole(QAction::AboutRole);
    m_actions.value(Command::Preferences)->setMenuRole(QAction::PreferencesRole);
    m_actions.value(Command::Help)->setShortcut(QKeySequence::HelpContents);
}

void TWApplication::run(Command command)
{
    const ApplicationServices &s = m_services;
    if (QAction *a = action(command); a && !a->isEnabled())
        return;
    switch (command) {
    case Command::About:
        s.aboutPanel()->showPanel();
        break;
    case Command::MediaBrowser:
        s.mediaBrowser()->showMediaBrowser();
        break;
    case Command::PhotoLibrary:
        s.mediaBrowser()->showPhotoLibrary();
        break;
    case Command::GraphicsLibrary:
        s.mediaBrowser()->showGraphicsLibrary();
        break;
    case Command::AdornmentsLibrary:
        s.mediaBrowser()->showAdornmentsLibrary();
        break;
    case Command::Preferences:
        s.preferencesWindow()->showPreferencesWindow();
        break;
    case Command::OutlinePanel:
        showOutline(&OutlineWindow::showOutlineOnly);
        break;
    case Command::BranchNotesPanel:
        showOutline(&OutlineWindow::showNotesOnly);
        break;
    case Command::OutlineComboPanel:
        showOutline(&OutlineWindow::showSplitView);
        break;
    case Command::ToolPalette:
        // The palette itself records whether it is shown.
        if (defaults().boolForKey(TWPreferences::ShowToolPaletteKey))
            s.toolPalette()->closePanel();
        else
            s.toolPalette()->showPanel();
        break;
    case Command::TutorWindow:
        s.tutorController()->showTutorWindow();
        break;
    case Command::UpdatePanel:
        s.updateController()->manualUpdate();
        break;
    case Command::VisitThinkweb:
        openUrlOrSay(AboutPanelController::webSiteURL);
        break;
    case Command::SendFeedback:
        openUrlOrSay(feedbackURL());
        break;
    case Command::SubmitDefectReport:
        openUrlOrSay(defectReportURL());
        break;
    case Command::Help:
        showHelp();
        break;
    }
}

void TWApplication::showOutline(void (OutlineWindow::*show)())
{
    if (!m_services.outlineWindow)
        return;
    OutlineWindow *window = m_services.outlineWindow();
    window->makeKeyAndOrderFront();
    (window->*show)();
}

bool TWApplication::openUrl(const QUrl &url) const
{
    return m_services.openUrl && m_services.openUrl(url);
}

QUrl TWApplication::helpURL() const
{
    QString folder = m_services.resourceFolder;
    if (folder.isEmpty())
        folder = DataFolder::path();
    return QUrl::fromLocalFile(folder +
                               QStringLiteral("/Application Support/Thinkweb/Help/index.html"));
}

void TWApplication::showHelp()
{
    const QUrl url = helpURL();
    if (!QFileInfo(url.toLocalFile()).isFile()) {
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz, "Thinkweb Help is not installed."),
            TWLocalizedString(StringTable::DadoZiz, "The help pages were not found at “%1”.")
                .arg(QDir::toNativeSeparators(url.toLocalFile())),
            {TWLocalizedString(StringTable::General, "OK")});
        return;
    }
    if (!m_helpViewer)
        m_helpViewer =
            std::make_unique<TWHelpViewer>([this](const QUrl &link) { openUrlOrSay(link); });
    m_helpViewer->showPage(url);
}

void TWApplication::openUrlOrSay(const QUrl &url) const
{
    if (openUrl(url))
        return;
    const bool mail = url.scheme() == QLatin1String("mailto");
    Alerts::current().runAlertPanel(
        TWLocalizedString(StringTable::DadoZiz, "The address could not be opened."),
        (mail ? TWLocalizedString(StringTable::DadoZiz,
                                  "No mail program is set up on this computer. Write to %1 "
                                  "from the mail program you use.")
              : TWLocalizedString(StringTable::DadoZiz,
                                  "No web browser is set up on this computer. Open %1 in the "
                                  "browser you use."))
            .arg(mail ? url.path() : url.toString()),
        {TWLocalizedString(StringTable::General, "OK")});
}

QUrl TWApplication::mailURL(const QString &address, const QString &format) const
{
    // The product as its windows name it: the edition string's platform tag
    // names another system.
    const QString text =
        format.arg(m_traits.applicationName, applicationVersion(), QSysInfo::prettyProductName());
    // Only what may not stand in an address is escaped: "=" and "&" keep
    // dividing the subject from the body.
    const QByteArray query = QUrl::toPercentEncoding(text, "!$&'()*+,/:;=?@");
    return QUrl::fromEncoded("mailto:" + address.toUtf8() + '?' + query, QUrl::StrictMode);
}

QUrl TWApplication::feedbackURL() const
{
    return mailURL(FeedbackAddress, QString::fromLatin1(FeedbackFormat));
}

QUrl TWApplication::defectReportURL() const
{
    return mailURL(DefectReportAddress, QString::fromLatin1(DefectReportFormat));
}

// --- start-up windows ---

void TWApplication::applicationWindowsAwakeFromNib()
{
    // Made now so that it hears the loading of the first document.
    if (m_services.progressPanel)
        m_services.progressPanel();
    QTimer::singleShot(AncillaryWindowsDelay, this, &TWApplication::displayAncillaryWindows);
}

void TWApplication::displayAncillaryWindows()
{
    const ApplicationServices &s = m_services;
    // The timer also runs inside the waits of a document being opened: a
    // question asked there would hold the opening until answered. One
    // question at a time: a notice showing (the kept work) is answered first.
    if (m_ending)
        return;
    if ((s.workUnderWay && s.workUnderWay()) || activeModalWidget()) {
        QTimer::singleShot(AncillaryWindowsDelay, this, &TWApplication::displayAncillaryWindows);
        return;
    }
    const QString apeKey = TWPreferences::DisplayAPEAlertKey;
    if (!QFileInfo::exists(ApplicationEnhancerPath)) {
        // Warn again should the add-on be installed later.
        defaults().removeObjectForKey(apeKey);
    } else if (defaults().boolForKey(apeKey)) {
        const QString title =
            TWLocalizedString(StringTable::DadoZiz, "Unsanity Application Enhancer detected");
        const QString message = TWLocalizedString(
            StringTable::DadoZiz,
            "Application Enhancer by Unsanity appears to be installed on this system. It has been "
            "known to cause stability and performance issues with some applications including "
            "Thinkweb.\n\nWe strongly recommend that you uninstall Application Enhancer from your "
            "system to avoid these issues.");
        const int answer = Alerts::current().runAlertPanel(
            title, message,
            {TWLocalizedString(StringTable::General, "OK"),
             TWLocalizedString(StringTable::DadoZiz, "Don't warn me again")});
        if (answer == 1)
            defaults().setBool(false, apeKey);
    }
    if (defaults().boolForKey(TWPreferences::ShowOutlineWindowKey))
        showOutline(&OutlineWindow::showOutlineOnly);
    if (defaults().boolForKey(TWPreferences::PromptForTutorAtStartupKey) && s.tutorController)
        s.tutorController()->showTutorAlert();
    if (defaults().boolForKey(TWPreferences::ShowToolPaletteKey) && s.toolPalette)
        s.toolPalette()->showPanel();
    // Made once; it runs its own schedule of checks.
    if (s.updateController)
        s.updateController();
}
