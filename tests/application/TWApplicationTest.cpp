#include "ApplicationTestSupport.h"
#include "application/LinkBackRegistry.h"
#include "application/TWHelpViewer.h"
#include "graphics/TWMapUtilities.h"
#include "interface/AboutPanelController.h"
#include "platform/NotificationCenter.h"
#include "platform/Random.h"
#include "platform/RecordingAlerts.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QTextBrowser>
#include <QTimeZone>

TEST_F(ApplicationTest, StartsUpInOrder)
{
    for (Edition edition : {Edition::Deluxe, Edition::Compact}) {
        const bool deluxe = edition == Edition::Deluxe;
        SCOPED_TRACE(deluxe ? "Deluxe" : "Compact");
        callLog().clear();
        defaults.setBool(true, TWPreferences::AutoSaveSwitchKey);
        defaults.setBool(true, TWPreferences::ShowOutlineWindowKey);
        defaults.setBool(true, TWPreferences::ShowToolPaletteKey);
        defaults.setBool(false, TWPreferences::DisplayAPEAlertKey);
        defaults.setString("https://updates.example.org/", TWPreferences::ServerBaseURLKey);
        QObject::connect(&defaults, &UserDefaults::changed, [](const QString &key) {
            if (key == TWApplication::FeedURLKey)
                callLog() << "register " + key;
        });
        TWMapUtilities::setDefaultLineFragmentPadding(0);

        TWApplication &a = start(edition);
        ASSERT_TRUE(a.saveTimer()); // armed before the crash reporter starts
        EXPECT_EQ(callLog(), QStringList({"crash reporter Thinkweb defects@thinkweb.example.org",
                                          "register SUFeedURLKey"}));
        EXPECT_EQ(defaults.stringForKey("SUFeedURLKey"),
                  "https://updates.example.org/Updates/update.php?osType=Mac&osVersion=10.5"
                  "&productType=" +
                      a.traits().productType + "&productVersion=1.2");

        callLog().clear();
        a.finishLaunching({"/maps/plan.opml"});
        QStringList launched = {"progress panel", "opml /maps/plan.opml"};
        if (deluxe)
            launched.prepend("floating palettes");
        EXPECT_EQ(callLog(), launched);
        EXPECT_EQ(TWMapUtilities::defaultLineFragmentPadding(), 5.0f);
        EXPECT_EQ(LinkBackRegistry::shared().server("ThinkwebLinkBackServer"), &a);

        // The start-up windows come a moment later, in this order.
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(QTest::qWaitFor([] { return callLog().contains("update controller"); }));
        EXPECT_GE(clock.elapsed(), TWApplication::AncillaryWindowsDelay - 10);
        EXPECT_EQ(callLog().mid(launched.size()),
                  QStringList({"outline front", "outline only", "tutor alert", "show panel",
                               "update controller"}));
        // The add-on is never installed here: its warning setting goes back to the default.
        EXPECT_FALSE(defaults.hasStoredValue(TWPreferences::DisplayAPEAlertKey));

        app.reset();
        EXPECT_EQ(LinkBackRegistry::shared().server("ThinkwebLinkBackServer"), nullptr);
        defaults.disconnect();
        for (const QString &key : defaults.storedKeys())
            defaults.removeObjectForKey(key);
    }
}

TEST_F(ApplicationTest, StartUpQuestionsWaitUntilTheDocumentsBeingOpenedAreOpen)
{
    defaults.setBool(true, TWPreferences::PromptForTutorAtStartupKey);
    const auto busy = std::make_shared<bool>(true);
    ApplicationServices services = recordingServices();
    services.workUnderWay = [busy] { return *busy; };
    TWApplication &a = start(Edition::Deluxe, std::move(services));
    a.finishLaunching({"/maps/plan.opml"});
    QTest::qWait(5 * TWApplication::AncillaryWindowsDelay);
    EXPECT_FALSE(callLog().contains("tutor alert"));
    *busy = false;
    EXPECT_TRUE(QTest::qWaitFor([] { return callLog().contains("tutor alert"); }));
}

TEST_F(ApplicationTest, TheUsersFeedAddressWinsAndAStartUpWithoutWindowsAsksNothing)
{
    defaults.setString("https://mirror.example.org/feed", "SUFeedURLKey");
    defaults.setBool(false, TWPreferences::PromptForTutorAtStartupKey);
    TWApplication &a = start(Edition::Deluxe, ApplicationServices());
    EXPECT_EQ(defaults.stringForKey("SUFeedURLKey"), "https://mirror.example.org/feed");
    EXPECT_EQ(a.feedURL(), "/Updates/update.php?osType=Mac&osVersion=10.5&productType=Deluxe"
                           "&productVersion=1.2");
    EXPECT_FALSE(a.saveTimer());
    a.finishLaunching();
    a.displayAncillaryWindows();
    EXPECT_TRUE(callLog().isEmpty());
}

TEST_F(ApplicationTest, OpenFileDispatchesOnTheExtension)
{
    TWApplication &a = start();
    FakeDocument opened;
    struct Case
    {
        const char *path;
        Document *openResult;
        bool answer;
        QString call; // empty: nothing called
    };
    const std::vector<Case> cases = {
        {"/maps/X.TWEB", &opened, true, "open X.TWEB 1"},
        {"/maps/broken.tweb", nullptr, false, "open broken.tweb 1"},
        {"/maps/plan.mmap", nullptr, true, "mmap /maps/plan.mmap"},
        {"/maps/plan.Opml", nullptr, true, "opml /maps/plan.Opml"},
        {"/maps/plan.oo3", nullptr, true, "oo3 /maps/plan.oo3"},
        // What the import commands accept is accepted here too.
        {"/maps/plan.xml", nullptr, true, "mmap /maps/plan.xml"},
        {"/maps/plan.ooutline", nullptr, true, "oo3 /maps/plan.ooutline"},
        // Anything else is refused in an alert naming the file.
        {"/maps/plan", nullptr, false, {}},
        {"/maps/plan.tweb.bak", nullptr, false, {}},
        {"/maps.tweb/plan", nullptr, false, {}},
    };
    RecordingAlerts alerts;
    Alerts::Scope scope(&alerts);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        callLog().clear();
        alerts.clear();
        controller.openResult = c.openResult;
        EXPECT_EQ(a.openFile(c.path), c.answer);
        EXPECT_EQ(callLog(), c.call.isEmpty() ? QStringList() : QStringList{c.call});
        if (c.call.isEmpty()) {
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts().first().title,
                      "The document “" + QFileInfo(c.path).fileName() + "” could not be opened.");
            EXPECT_TRUE(alerts.alerts().first().message.contains("does not know this kind"));
        } else {
            EXPECT_TRUE(alerts.alerts().isEmpty());
        }
    }
}

TEST_F(ApplicationTest, ImportsAreRefusedWhenNoImporterIsBuilt)
{
    ApplicationServices services = recordingServices();
    services.importers = nullptr;
    services.documentController = nullptr;
    TWApplication &a = start(Edition::Deluxe, services);
    RecordingAlerts alerts;
    Alerts::Scope scope(&alerts);
    for (const char *path : {"a.mmap", "a.opml", "a.oo3", "a.tweb"})
        EXPECT_FALSE(a.openFile(path)) << path;
    // The three imports say why; the document has no controller to fail in.
    EXPECT_EQ(alerts.alerts().size(), 3);
}

TEST_F(ApplicationTest, AutosaveFollowsItsSettings)
{
    TWApplication &a = start();
    EXPECT_FALSE(a.saveTimer());

    struct Step
    {
        const char *key;
        QVariant value;
        int expectedMinutes; // 0: no timer
    };
    const std::vector<Step> steps = {
        {"TWAutoSaveSwitch", true, 30},
        {"TWAutoSaveTime", 5, 5},
        // Periods under a minute would save without pause.
        {"TWAutoSaveTime", 0, 1},
        {"TWAutoSaveTime", -3, 1},
        {"TWAutoSaveTime", "abc", 1},
        {"TWAutoSaveTime", 10, 10},
        {"TWAutoSaveSwitch", false, 0},
        {"TWAutoSaveTime", 20, 0},
        {"TWAutoSaveSwitch", true, 20},
    };
    QPointer<QTimer> previous;
    for (const Step &s : steps) {
        SCOPED_TRACE(std::string(s.key) + " " + s.value.toString().toStdString());
        defaults.setObject(s.value, s.key);
        // Any change ends the running period at once.
        EXPECT_TRUE(previous.isNull());
        QTimer *timer = a.saveTimer();
        if (s.expectedMinutes == 0) {
            EXPECT_FALSE(timer);
            continue;
        }
        ASSERT_TRUE(timer);
        EXPECT_TRUE(timer->isActive());
        EXPECT_FALSE(timer->isSingleShot());
        EXPECT_EQ(timer->interval(), s.expectedMinutes * 60000);
        previous = timer;
    }
}

TEST_F(ApplicationTest, AutosaveSavesOnlyChangedDocumentsThatHaveAFile)
{
    TWApplication &a = start();
    FakeDocument changed("/maps/a.tweb", true);
    FakeDocument unchanged("/maps/b.tweb", false);
    FakeDocument untitled(QString(), true);
    controller.docs = {&changed, &unchanged, &untitled};
    defaults.setBool(true, TWPreferences::AutoSaveSwitchKey);
    ASSERT_TRUE(a.saveTimer());
    QMetaObject::invokeMethod(a.saveTimer(), "timeout", Qt::DirectConnection);
    a.autoSaveDocuments();
    EXPECT_EQ(changed.saves, 2);
    EXPECT_EQ(unchanged.saves, 0);
    EXPECT_EQ(untitled.saves, 0);
}

TEST_F(ApplicationTest, TheActiveDocumentFollowsTheMainWindow)
{
    TWApplication &a = start();
    FakeDocument first, second, stray;
    QWidget outline;
    controller.docs = {&first, &second};
    QSignalSpy changes(&a, &TWApplication::currentlyActiveDocumentChanged);
    EXPECT_EQ(a.currentlyActiveDocument(), nullptr);

    const auto willClose = [](Document *document) {
        NotificationCenter::defaultCenter().post(Document::WillCloseNotification, document);
    };
    struct Step
    {
        const char *what;
        std::function<void()> act;
        Document *expected;
    };
    const std::vector<Step> steps = {
        {"first window becomes main",
         [&] {
             controller.current = &first;
             windowSystem.activate(first.mainWindow());
         },
         &first},
        {"second window comes to the front",
         [&] {
             controller.current = &second;
             windowSystem.activate(second.mainWindow());
         },
         &second},
        {"a window of no document becomes main: the frontmost document window counts",
         [&] {
             controller.current = nullptr;
             windowSystem.activate(&outline);
         },
         &second},
        {"closing the active document clears it", [&] { willClose(&second); }, nullptr},
        {"the next main-window change picks the frontmost remaining one",
         [&] {
             controller.docs = {&first};
             windowSystem.remove(second.mainWindow());
         },
         &first},
        {"another document closing changes nothing", [&] { willClose(&stray); }, &first},
        {"the main window's document counts even when the controller does not list it",
         [&] {
             controller.docs.clear();
             windowSystem.order = {stray.mainWindow()};
             windowSystem.activate(stray.mainWindow());
         },
         &stray},
        {"no document window at all", [&] { windowSystem.activate(&outline); }, nullptr},
    };
    int expectedChanges = 0;
    Document *before = nullptr;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(a.currentlyActiveDocument(), s.expected);
        if (s.expected != before)
            ++expectedChanges;
        before = s.expected;
        // Announced only when it changes.
        EXPECT_EQ(changes.size(), expectedChanges);
    }
    {
        FakeDocument freed;
        a.setCurrentlyActiveDocument(&freed);
        changes.clear();
    }
    EXPECT_EQ(a.currentlyActiveDocument(), nullptr);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first().first().value<Document *>(), nullptr);
}

TEST_F(ApplicationTest, NewDocumentFromTemplateRestoresTheUsersSettingASecondLater)
{
    const char *key = TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey;
    struct Case
    {
        const char *what;
        QVariant stored; // invalid: none
        int requests;
    };
    const std::vector<Case> cases = {
        {"no setting of the user's", QVariant(), 1},
        {"switched off", false, 1},
        {"switched on", true, 1},
        {"two requests within the second", false, 2},
    };
    TWApplication &a = start();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        callLog().clear();
        defaults.setObject(c.stored, key);
        for (int i = 0; i < c.requests; ++i) {
            a.newDocumentFromTemplate();
            // The chooser is shown for the new document.
            EXPECT_TRUE(defaults.boolForKey(key));
        }
        EXPECT_EQ(callLog().count("newDocument"), c.requests);
        QTest::qWait(TWApplication::RevertTemplateSettingDelay / 2);
        EXPECT_TRUE(defaults.boolForKey(key)); // not yet
        QTest::qWait(TWApplication::RevertTemplateSettingDelay / 2 + 300);
        EXPECT_EQ(defaults.hasStoredValue(key), c.stored.isValid());
        EXPECT_EQ(defaults.boolForKey(key), c.stored.isValid() ? c.stored.toBool() : true);
    }
}

TEST_F(ApplicationTest, QuittingWithinTheSecondStillRestoresTheTemplateSetting)
{
    defaults.setBool(false, TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey);
    start().newDocumentFromTemplate();
    app.reset();
    EXPECT_FALSE(defaults.boolForKey(TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey));
}

TEST_F(ApplicationTest, FeedbackAndDefectMailsHaveTheirExactAddresses)
{
    TWApplication &a = start(Edition::Compact);
    const QString os = QSysInfo::prettyProductName();
    // What the expectations below assume of this machine's system name.
    for (QChar c : os)
        ASSERT_TRUE(c.isLetterOrNumber() || QStringLiteral(" ./()-_").contains(c))
            << os.toStdString();
    QString escapedOS = os;
    escapedOS.replace(" ", "%20");

    EXPECT_EQ(a.feedbackURL().toString(QUrl::FullyEncoded),
              "mailto:feedback@thinkweb.example.org?Subject=Thinkweb%20feedback&body=Product:"
              "%20Thinkweb%20Compact%201.2%0ASystem:%20" +
                  escapedOS + "%0AComments%20and%20suggestions:%0A");
    EXPECT_EQ(a.defectReportURL().toString(QUrl::FullyEncoded),
              "mailto:defects@thinkweb.example.org?Subject=Thinkweb%20Defect%20Report&body="
              "Product:%20Thinkweb%20Compact%201.2%0ASystem:%20" +
                  escapedOS +
                  "%0ABrief%20Description:%0A%0A%0AIs%20this%20defect%20reproducible?%0A%0A%0A"
                  "If%20so,%20please%20explain%20how%20to%20reproduce%20this%20problem:%0A%0A%0A"
                  "Please%20attach%20any%20relevant%20documents.%20Thank%20you.");
}

TEST_F(ApplicationTest, CommandsCallTheirWindowsAndAreDisabledWithoutThem)
{
    using C = TWApplication::Command;
    struct Case
    {
        C command;
        QStringList calls;
        QUrl url;
    };
    const std::vector<Case> cases = {
        {C::About, {"show panel"}, {}},
        {C::MediaBrowser, {"media browser"}, {}},
        {C::PhotoLibrary, {"photo library"}, {}},
        {C::GraphicsLibrary, {"graphics library"}, {}},
        {C::AdornmentsLibrary, {"adornments library"}, {}},
        {C::Preferences, {"preferences"}, {}},
        {C::OutlinePanel, {"outline front", "outline only"}, {}},
        {C::BranchNotesPanel, {"outline front", "notes only"}, {}},
        {C::OutlineComboPanel, {"outline front", "split view"}, {}},
        {C::ToolPalette, {"show panel"}, {}},
        {C::TutorWindow, {"tutor window"}, {}},
        {C::UpdatePanel, {"update controller", "manual update"}, {}},
        {C::VisitThinkweb, {}, AboutPanelController::webSiteURL},
    };
    {
        TWApplication &a = start();
        for (const Case &c : cases) {
            SCOPED_TRACE(a.action(c.command)->objectName().toStdString());
            callLog().clear();
            openedUrls.clear();
            ASSERT_TRUE(a.action(c.command)->isEnabled());
            a.action(c.command)->trigger();
            EXPECT_EQ(callLog(), c.calls);
            EXPECT_EQ(openedUrls, c.url.isEmpty() ? QList<QUrl>() : QList<QUrl>{c.url});
        }
        // The tool palette command closes a palette that is shown.
        callLog().clear();
        defaults.setBool(true, TWPreferences::ShowToolPaletteKey);
        a.run(C::ToolPalette);
        EXPECT_EQ(callLog(), QStringList{"close palette"});
        openedUrls.clear();
        a.run(C::SendFeedback);
        a.run(C::SubmitDefectReport);
        EXPECT_EQ(openedUrls, (QList<QUrl>{a.feedbackURL(), a.defectReportURL()}));
        app.reset();
    }
    TWApplication &bare = start(Edition::Deluxe, ApplicationServices());
    callLog().clear();
    // Help needs no service: its pages have a viewer of their own.
    EXPECT_TRUE(bare.action(C::Help)->isEnabled());
    for (const Case &c : cases) {
        EXPECT_FALSE(bare.action(c.command)->isEnabled()) << int(c.command);
        bare.run(c.command); // does nothing
    }
    EXPECT_TRUE(callLog().isEmpty());
}

TEST_F(ApplicationTest, HelpShowsTheShippedPagesOrSaysWhereTheyAreMissing)
{
    // The folder the program finds by itself: the build tree beside the test program.
    const QString page = "/Application Support/Thinkweb/Help/index.html";
    QString built;
    {
        ApplicationServices services = recordingServices();
        services.resourceFolder.clear();
        built = start(Edition::Deluxe, services).helpURL().toLocalFile();
        app.reset();
        ASSERT_TRUE(built.endsWith(page)) << built.toStdString();
        built.chop(page.size());
    }
    struct Case
    {
        const char *name;
        QString resourceFolder;
        bool shown;
    };
    const Case cases[] = {
        {"found beside the program", {}, true},
        {"found in the given folder", built, true},
        {"missing", dir.filePath("nowhere"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ApplicationServices services = recordingServices();
        services.resourceFolder = c.resourceFolder;
        TWApplication &a = start(Edition::Deluxe, services);
        RecordingAlerts alerts;
        Alerts::Scope scope(&alerts);
        openedUrls.clear();
        a.action(TWApplication::Command::Help)->trigger();
        EXPECT_TRUE(openedUrls.isEmpty()) << "no browser needed";
        if (!c.shown) {
            EXPECT_EQ(a.helpViewer(), nullptr);
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts().first().title, "Thinkweb Help is not installed.");
            EXPECT_TRUE(alerts.alerts().first().message.contains(dir.filePath("nowhere")));
            app.reset();
            continue;
        }
        EXPECT_TRUE(alerts.alerts().isEmpty())
            << alerts.alerts().first().message.toStdString();
        ASSERT_NE(a.helpViewer(), nullptr);
        EXPECT_TRUE(a.helpViewer()->isVisible());
        EXPECT_EQ(a.helpViewer()->currentPage(), a.helpURL());
        EXPECT_EQ(a.helpViewer()->currentTitle(), "Thinkweb Help");
        // A page of the tasks, reached by its link, has its own title.
        emit a.helpViewer()->browser()->anchorClicked(QUrl("first-map.html"));
        EXPECT_EQ(a.helpViewer()->currentTitle(), "Your first map");
        EXPECT_TRUE(a.helpViewer()->browser()->toPlainText().contains("Tab"));
        // A link that leaves the pages goes to the desktop.
        emit a.helpViewer()->browser()->anchorClicked(QUrl("https://example.org/"));
        EXPECT_EQ(openedUrls, QList<QUrl>{QUrl("https://example.org/")});
        app.reset();
    }
}

TEST_F(ApplicationTest, AddressesNothingHereCanOpenAreToldInAnAlert)
{
    ApplicationServices services = recordingServices();
    services.openUrl = [](const QUrl &) { return false; };
    TWApplication &a = start(Edition::Deluxe, services);
    RecordingAlerts alerts;
    Alerts::Scope scope(&alerts);
    const struct {
        TWApplication::Command command;
        const char *says;
    } cases[] = {
        {TWApplication::Command::VisitThinkweb, "No web browser"},
        {TWApplication::Command::SendFeedback, "No mail program"},
        {TWApplication::Command::SubmitDefectReport, "No mail program"},
    };
    for (const auto &c : cases) {
        alerts.clear();
        a.run(c.command);
        ASSERT_EQ(alerts.alerts().size(), 1) << c.says;
        EXPECT_TRUE(alerts.alerts().first().message.startsWith(c.says));
    }
}

TEST_F(ApplicationTest, AccessibilityListsDocumentWindows)
{
    TWApplication &a = start();
    FakeDocument first, second;
    controller.docs = {&second, &first};
    EXPECT_EQ(a.accessibilityAttributeValue("AXMainWindow").value<QWidget *>(), nullptr);
    a.setCurrentlyActiveDocument(&first);
    EXPECT_EQ(a.accessibilityAttributeValue("AXWindows").value<QList<QWidget *>>(),
              (QList<QWidget *>{second.mainWindow(), first.mainWindow()}));
    EXPECT_EQ(a.accessibilityAttributeValue("AXMainWindow").value<QWidget *>(), first.mainWindow());
    EXPECT_FALSE(a.accessibilityAttributeValue("AXTitle").isValid());
}

TEST_F(ApplicationTest, TheDesktopOrdersWindowsByLastActivation)
{
    start();
    DesktopWindowSystem desktop;
    QSignalSpy changes(&desktop, &WindowSystem::mainWindowChanged);
    QWidget first, second, hidden, never;
    first.show();
    second.show();
    never.show();
    const auto activate = [](QWidget *w) {
        QEvent event(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w, &event);
    };
    activate(&first);
    activate(&hidden); // not shown: not listed
    activate(&second);
    activate(&first);
    EXPECT_EQ(desktop.orderedWindows(), (QList<QWidget *>{&first, &second, &never}));
    EXPECT_EQ(changes.size(), 4);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&first, &deactivate);
    EXPECT_EQ(changes.size(), 5);
}

TEST_F(ApplicationTest, SeedsTheRandomNumbersFromTheClock)
{
    const auto secondsSince2001 = [] {
        return quint32(QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc())
                           .secsTo(QDateTime::currentDateTimeUtc()));
    };
    const quint32 before = secondsSince2001();
    start();
    const long drawn = Random::next();
    const quint32 after = secondsSince2001();
    QList<long> expected;
    for (quint32 seconds = before; seconds <= after; ++seconds) {
        Random::seed(seconds);
        expected << Random::next();
    }
    EXPECT_TRUE(expected.contains(drawn));
}
