#include "application/ApplicationMenus.h"

#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWMenuDispatcher.h"
#include "platform/TWLocalizedString.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}
} // namespace

void addApplicationMenus(QMenuBar *menuBar, TWApplication &application)
{
    using C = TWApplication::Command;
    const auto add = [&application](QMenu *menu, std::initializer_list<C> commands) {
        for (C command : commands)
            menu->addAction(application.action(command));
    };
    QMenu *thinkweb = menuBar->addMenu(application.applicationName());
    add(thinkweb, {C::About, C::Preferences, C::UpdatePanel});
    thinkweb->addSeparator();
    // Unsaved documents are asked about first.
    QAction *quit =
        thinkweb->addAction(QObject::tr("Quit"), &application, [&application] { application.terminate(); });
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);

    QMenu *window = menuBar->addMenu(QObject::tr("Window"));
    add(window, {C::OutlinePanel, C::BranchNotesPanel, C::OutlineComboPanel, C::ToolPalette});
    window->addSeparator();
    add(window, {C::MediaBrowser, C::PhotoLibrary, C::GraphicsLibrary, C::AdornmentsLibrary});

    QMenu *help = menuBar->addMenu(QObject::tr("Help"));
    add(help, {C::Help, C::TutorWindow});
    help->addSeparator();
    add(help, {C::VisitThinkweb, C::SendFeedback, C::SubmitDefectReport});
}

ApplicationMenuWindow::ApplicationMenuWindow(TWApplication &application)
{
    setWindowTitle(application.applicationName());
    // Importing makes a document of its own, so it needs none open.
    if (auto *importers = dynamic_cast<TWMenuResponder *>(application.services().importers)) {
        auto *dispatcher = new TWMenuDispatcher(
            [importers] {
                return QList<TWMenuDispatcher::Link>{{importers, nullptr}};
            },
            this);
        addImportMenu(menuBar()->addMenu(dadoZiz("File")), *dispatcher);
    }
    addApplicationMenus(menuBar(), application);
    auto *label = new QLabel(application.applicationName(), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(480, 320);
}

namespace {

// Items of one menu, in order; an empty selector is a separator.
struct Item
{
    const char *title;
    const char *selector;
    int tag = 0;
    const char *shortcut = nullptr;
};

QMenu *addMenu(QMenu *parent, QMenuBar *bar, const char *title, TWMenuDispatcher &dispatcher,
               std::initializer_list<Item> items)
{
    QMenu *menu = parent ? parent->addMenu(dadoZiz(title)) : bar->addMenu(dadoZiz(title));
    for (const Item &item : items) {
        if (!*item.selector) {
            menu->addSeparator();
            continue;
        }
        dispatcher.addAction(
            menu, dadoZiz(item.title), QString::fromLatin1(item.selector), item.tag,
            item.shortcut ? QKeySequence(QString::fromLatin1(item.shortcut)) : QKeySequence());
    }
    dispatcher.validateBeforeShowing(menu);
    return menu;
}

} // namespace

QMenu *addImportMenu(QMenu *file, TWMenuDispatcher &dispatcher)
{
    return addMenu(file, nullptr, "Import", dispatcher,
                   {{"OPML...", "importOPML:"},
                    {"OmniOutliner...", "importOmniOutline:"},
                    {"MindManager...", "importMindManager:"}});
}

void addDocumentMenus(QMenuBar *bar, TWMenuDispatcher &d)
{
    QMenu *edit = addMenu(nullptr, bar, "Edit", d,
                          {{"Undo", "undo:", 0, "Ctrl+Z"},
                           {"Redo", "redo:", 0, "Ctrl+Shift+Z"},
                           {"", ""},
                           {"Cut", "cut:", 0, "Ctrl+X"},
                           {"Copy", "copy:", 0, "Ctrl+C"},
                           {"Paste", "paste:", 0, "Ctrl+V"},
                           {"Delete", "delete:"},
                           {"Select All", "selectAll:", 0, "Ctrl+A"},
                           {"", ""},
                           {"Select Siblings", "selectSiblings:", 0, "Ctrl+Alt+A"},
                           {"Select Descendants", "selectDescendants:", 0, "Ctrl+Alt+D"},
                           {"Select Map Title", "selectDadoZizTitle:", 0, "Ctrl+Alt+T"},
                           {"", ""},
                           {"Edit LinkBack Item", "editLinkBackItems:"},
                           {"", ""}});
    addMenu(edit, nullptr, "Find", d,
            {{"Find...", "search:", 0, "Ctrl+F"},
             {"Find Next", "performFindPanelAction:", 2, "Ctrl+G"},
             {"Find Previous", "performFindPanelAction:", 3, "Ctrl+Shift+G"}});
    addMenu(edit, nullptr, "Spelling", d,
            {{"Show Spelling...", "showGuessPanel:", 0, "Ctrl+:"},
             {"Check Spelling", "checkSpelling:", 0, "Ctrl+;"},
             {"Check Spelling While Typing", "doCheckSpelling:"}});

    QMenu *map = addMenu(nullptr, bar, "Map", d,
                         {{"Add Map", "addMap:", 0, "Ctrl+Shift+M"},
                          {"Add Map from Template...", "addMapFromTemplate:"},
                          {"Save as Template...", "saveDocumentAsTemplate:"},
                          {"", ""},
                          {"New Branch", "branchOperations:", 0, "Ctrl+Shift+N"},
                          {"New Sibling Branch", "branchOperations:", 2, "Ctrl+Alt+N"},
                          {"Delete Branch", "branchOperations:", 1},
                          {"", ""}});
    addMenu(map, nullptr, "Default Branch Type", d,
            {{"Line", "setDefaultGraphicType:", 1},
             {"Rectangle", "setDefaultGraphicType:", 2},
             {"Oval", "setDefaultGraphicType:", 3},
             {"Image", "setDefaultGraphicType:", 4},
             {"FlexiBranch", "setDefaultGraphicType:", 5}});
    addMenu(map, nullptr, "Branch Type", d,
            {{"Line", "doChangeBranchType:", 1},
             {"Rectangle", "doChangeBranchType:", 2},
             {"Circle", "doChangeBranchType:", 3},
             {"Flexi", "doChangeBranchType:", 5}});
    addMenu(map, nullptr, "Attach", d,
            {{"Attach Rectangle", "doAttachRectangle:"},
             {"Attach Oval", "doAttachOval:"},
             {"Attach Text", "doAttachText:"},
             {"Attach Image...", "doAttachImage:"}});
    addMenu(map, nullptr, "Arrange", d,
            {{"Bring to Front", "doBringToFront:"},
             {"Bring Forward", "doBringForward:"},
             {"Send Backward", "doSendBack:"},
             {"Send to Back", "doSendToBack:"},
             {"", ""},
             {"Auto-arrange Tree", "autoArrangeTree:"},
             {"Auto-arrange Branch", "autoArrangeSelectedBranch:"},
             {"Hide Children", "toggleHideChildren:"}});
    addMenu(map, nullptr, "Layout", d,
            {{"Free Layout", "doLayoutAssistanceMode:", 1},
             {"Loose Layout", "doLayoutAssistanceMode:", 2},
             {"Tight Layout", "doLayoutAssistanceMode:", 3},
             {"", ""},
             {"Snap Lines", "doSnapLinesMode:"},
             {"Show Outline Numbers", "doDisplayOutlineNumbers:"}});

    addMenu(nullptr, bar, "Format", d,
            {{"Align Left", "alignTWTextLeft:", 0, "Ctrl+{"},
             {"Center", "alignTWTextCenter:", 0, "Ctrl+|"},
             {"Align Right", "alignTWTextRight:", 0, "Ctrl+}"},
             {"", ""},
             {"Bigger", "increaseFontSize:", 0, "Ctrl+Shift+="},
             {"Smaller", "decreaseFontSize:", 0, "Ctrl+Shift+-"},
             {"Make Natural Size", "makeNaturalSize:"},
             {"", ""},
             {"Choose Theme...", "chooseTheme:"},
             {"Save Theme...", "saveTheme:"}});

    QMenu *view = addMenu(nullptr, bar, "View", d,
                          {{"Zoom In", "zoomIn:", 0, "Ctrl+="},
                           {"Zoom Out", "zoomOut:", 0, "Ctrl+-"},
                           {"Zoom to Fit", "zoomToFit:", 0, "Ctrl+0"}});
    QMenu *zoom = view->addMenu(dadoZiz("Zoom"));
    d.addAction(zoom, dadoZiz("Zoom to Fit"), QStringLiteral("zoomMenuItemClicked:"), 0);
    zoom->addSeparator();
    for (float step : TWDocument::zoomSteps())
        d.addAction(zoom, QStringLiteral("%1 %").arg(int(step)),
                    QStringLiteral("zoomMenuItemClicked:"), int(step));
    d.validateBeforeShowing(zoom);
    view->addSeparator();
    d.addAction(view, dadoZiz("Center"), QStringLiteral("centerInView:"), 0,
                QKeySequence(QStringLiteral("Ctrl+Alt+C")));
    // One checked item for the one setting.
    d.addAction(view, dadoZiz("Page Frames"), QStringLiteral("togglePageFrames:"), 0)
        ->setCheckable(true);
}
