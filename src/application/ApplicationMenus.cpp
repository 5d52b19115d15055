#include "application/ApplicationMenus.h"

#include "application/TWApplication.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>

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
    QAction *quit = thinkweb->addAction(QObject::tr("Quit"), &application, &QApplication::quit);
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
    addApplicationMenus(menuBar(), application);
    auto *label = new QLabel(application.applicationName(), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(480, 320);
}
