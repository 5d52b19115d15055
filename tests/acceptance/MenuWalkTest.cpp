// Every item of a document window's menu bar, chosen in turn on a small
// map: each enabled item must do something a user can see or the program
// asks of the desktop. Windows and dialogs an item opens are closed with
// Escape; what an item changed is undone, or the document is opened afresh.

#include "AcceptanceSupport.h"

#include "canvas/TWFindController.h"
#include "model/TWHyperlink.h"
#include "model/TWLinkServices.h"
#include "support/Image.h"

#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <iostream>

namespace {

struct RecordingOpener : TWLinkOpener
{
    QList<QUrl> opened;
    bool openURL(const QUrl &url) override
    {
        opened << url;
        return true;
    }
    bool revealFile(const QString &) override { return true; }
};

// An item of the menu bar by the positions of its menus and itself.
struct Item
{
    QList<int> path;
    QString title; // "Map > Arrange > Bring to Front"
};

// What a user could tell apart before and after a menu item.
struct Look
{
    int undoSteps = 0, redoSteps = 0;
    QString undoName;
    int changeCount = 0;
    int documents = 0;
    bool windowShown = false;
    int maps = 0;
    const void *map = nullptr;
    QList<const void *> selection;
    QString shapes; // every branch's place and whether it is shown
    qreal zoom = 0;
    int scrollX = 0, scrollY = 0;
    Qt::WindowStates windowState;
    QStringList menuMarks;  // checked items and titles
    QString shownControls;  // visibility of the window's widgets
    QString clipboard;
    int asked = 0; // alerts, file panels, fake windows, desktop addresses
    QDateTime saved;

    bool sameDocumentAs(const Look &o) const
    {
        return undoSteps == o.undoSteps && undoName == o.undoName &&
               changeCount == o.changeCount && documents == o.documents &&
               windowShown == o.windowShown && maps == o.maps && map == o.map &&
               selection == o.selection && shapes == o.shapes && zoom == o.zoom &&
               scrollX == o.scrollX && scrollY == o.scrollY && windowState == o.windowState &&
               menuMarks == o.menuMarks && shownControls == o.shownControls && saved == o.saved;
    }
    bool operator==(const Look &o) const
    {
        return sameDocumentAs(o) && redoSteps == o.redoSteps &&
               clipboard == o.clipboard && asked == o.asked;
    }
};

void describeShapes(const TWMapBranch &branch, QString &out)
{
    if (const auto &shape = branch.mainGraphic()) {
        const Rect b = shape->bounds();
        out += QStringLiteral("%1,%2,%3,%4;").arg(b.x()).arg(b.y()).arg(b.width()).arg(b.height());
    }
    for (const auto &child : branch.children())
        describeShapes(*child, out);
    out += QLatin1Char('/');
}

} // namespace

class MenuWalk : public AcceptanceTest
{
protected:
    void SetUp() override
    {
        AcceptanceTest::SetUp();
        links.opener = &opener;
        linksScope = std::make_unique<TWLinkServices::Scope>(links);
    }
    void TearDown() override
    {
        linksScope.reset();
        AcceptanceTest::TearDown();
    }

    // The map every item starts from: a central branch with three main
    // branches; "Beta" has a note, a web link and a child, and is selected.
    // The Deluxe document holds a second, blank map.
    QString writeMap()
    {
        TWDocument *made = newDocument();
        if (!made)
            return {};
        TWMap *map = currentMap(made);
        // "Alpha" carries a misspelt word for the spelling commands.
        for (const char *record : {"Alpha qzxvbrt", "Beta|A note for Beta", "Gamma"}) {
            map->setSelectedBranches({map->root()->shared_from_this()});
            const auto branches = map->publicCreateChildrenOfType(-1, std::nullopt, false);
            if (branches.isEmpty())
                return {};
            branches.first()->populateBranchWithDataFromString(QString::fromLatin1(record));
        }
        TWMapBranch &beta = *map->root()->children().at(1);
        beta.publicAddHyperlinkWithLinkType(TWHyperlink::URL, QStringLiteral("https://example.org/"),
                                            std::nullopt, std::nullopt, std::nullopt,
                                            std::nullopt, std::nullopt, 0);
        map->setSelectedBranches({beta.shared_from_this()});
        map->publicCreateChildrenOfType(-1, QStringLiteral("Beta one"), false);
        // A zoom no step of the Zoom menu has, so that each step changes it.
        map->setZoomAmount(80);
        // A second map, for the commands that go between maps.
        if (edition() == Edition::Deluxe) {
            made->addMapUsingTemplate(false);
            made->mapsDocument()->setCurrentMapNumber(0);
        }
        settle();
        const QString path = dir.filePath("menus.tweb");
        if (made->writeToFile(path) != 0)
            return {};
        made->clearChangeCount();
        made->mainWindow()->close();
        settle();
        return path;
    }

    // A fresh copy of the map, opened, edited once (so that saving and
    // reverting have something to do) and with "Beta" selected.
    void openFresh()
    {
        if (document) {
            document->clearChangeCount();
            if (QWidget *window = document->mainWindow())
                window->close();
            settle();
        }
        const QString copy = dir.filePath(QStringLiteral("copy-%1.tweb").arg(++copies));
        QFile::copy(master, copy);
        // A window smaller than the map's canvas, so that it can scroll.
        document = openDocument(copy, QSize(640, 420));
        ASSERT_TRUE(document);
        copyPath = copy;
        TWMap *map = currentMap(document);
        TWMapBranch &gamma = *map->root()->children().at(2);
        map->setSelectedBranches({gamma.shared_from_this()});
        map->publicCreateChildrenOfType(-1, QStringLiteral("Gamma one"), false);
        selectBeta();
        // Scrolled to a corner, away from where centring puts the map, and
        // with words to find, as a user who has searched before.
        if (TWGraphicView *view = document->graphicView()) {
            view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->minimum());
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->minimum());
        }
        TWFindController::shared().setFindString(QStringLiteral("one"));
        settle();
        baseline = look();
    }
    void selectBeta()
    {
        TWMap *map = currentMap(document);
        map->setSelectedBranches({map->root()->children().at(1)});
        settle();
    }

    QMenu *menuAt(const QList<QAction *> &actions, int index)
    {
        if (index >= actions.size() || !actions.at(index)->menu())
            return nullptr;
        QMenu *menu = actions.at(index)->menu();
        emit menu->aboutToShow();
        return menu;
    }
    QList<QAction *> barActions() const
    {
        return static_cast<QMainWindow *>(document->mainWindow())->menuBar()->actions();
    }
    // Every leaf item below the menu, validated as an opening menu is.
    void collect(QMenu *menu, QList<int> path, const QString &title, QList<Item> &items)
    {
        const QList<QAction *> actions = menu->actions();
        for (int i = 0; i < actions.size(); ++i) {
            QAction *action = actions.at(i);
            if (action->isSeparator() || !action->isVisible())
                continue;
            const QString name = title + QStringLiteral(" > ") +
                                 Acceptance::plainMenuText(action->text());
            if (QMenu *sub = action->menu()) {
                emit sub->aboutToShow();
                collect(sub, path + QList<int>{i}, name, items);
            } else {
                items.append({path + QList<int>{i}, name});
            }
        }
    }
    QList<Item> allItems()
    {
        QList<Item> items;
        const QList<QAction *> bar = barActions();
        for (int i = 0; i < bar.size(); ++i)
            if (QMenu *menu = menuAt(bar, i))
                collect(menu, {i}, Acceptance::plainMenuText(bar.at(i)->text()), items);
        return items;
    }
    // The item at the path, its menus opened on the way.
    QAction *itemAt(const QList<int> &path)
    {
        QList<QAction *> actions = barActions();
        for (int i = 0; i < path.size(); ++i) {
            if (path.at(i) >= actions.size())
                return nullptr;
            QAction *action = actions.at(path.at(i));
            if (i + 1 == path.size())
                return action;
            QMenu *menu = action->menu();
            if (!menu)
                return nullptr;
            emit menu->aboutToShow();
            actions = menu->actions();
        }
        return nullptr;
    }
    void marks(QMenu *menu, QStringList &out)
    {
        emit menu->aboutToShow();
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            out << action->text() + (action->isChecked() ? QStringLiteral(" [x]") : QString());
            if (QMenu *sub = action->menu())
                marks(sub, out);
        }
    }

    Look look()
    {
        Look l;
        l.documents = int(documentController->documents().size());
        l.asked = int(alerts.alerts().size() + alerts.openPanels().size() +
                      alerts.savePanels().size()) +
                  windows.calls + int(desktopUrls.size()) + int(opener.opened.size());
        if (const QMimeData *data = QApplication::clipboard()->mimeData())
            for (const QString &format : data->formats())
                l.clipboard += format + QLatin1Char('=') +
                               QString::number(qHash(data->data(format))) + QLatin1Char(';');
        if (!document || !documentController->documents().contains(document.data()))
            return l;
        QWidget *window = document->mainWindow();
        l.windowShown = window && window->isVisible();
        UndoManager *undo = document->undoManager();
        l.undoSteps = undo->undoStepCount();
        l.redoSteps = undo->redoStepCount();
        l.undoName = undo->undoActionName();
        l.changeCount = document->changeCount();
        l.saved = QFileInfo(copyPath).lastModified();
        if (TWMapsDoc *maps = document->mapsDocument()) {
            l.maps = maps->countOfMaps();
            l.map = maps->currentMap().get();
        }
        if (TWMap *map = currentMap(document)) {
            for (const auto &graphic : map->selectedGraphics())
                l.selection << graphic.get();
            if (map->root())
                describeShapes(*map->root(), l.shapes);
        }
        if (TWGraphicView *view = document->graphicView()) {
            l.zoom = view->zoomFactor();
            l.scrollX = view->horizontalScrollBar()->value();
            l.scrollY = view->verticalScrollBar()->value();
        }
        if (!window)
            return l;
        l.windowState = window->windowState();
        for (QAction *action : barActions())
            if (QMenu *menu = action->menu())
                marks(menu, l.menuMarks);
        for (QWidget *child : window->findChildren<QWidget *>())
            if (!qobject_cast<QMenu *>(child))
                l.shownControls += child->isVisible() ? QLatin1Char('1') : QLatin1Char('0');
        return l;
    }

    // Windows, dialogs and pop-ups that were not there before: noted, then
    // dismissed as a user would, with Escape (or their close box).
    void dismissNew(const QSet<QWidget *> &before, QStringList &appeared)
    {
        // A modal dialog counts even when an earlier item left it shown.
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QDialog *>(modal);
            dialog && !(document && modal == document->mainWindow())) {
            appeared << QString::fromLatin1(dialog->metaObject()->className());
            QTest::keyClick(dialog, Qt::Key_Escape);
            if (QApplication::activeModalWidget() == dialog) {
                dialog->reject();
                dialog->hide();
            }
            return;
        }
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (!top->isVisible() || (before.contains(top) && top != modal) ||
                (document && top == document->mainWindow()))
                continue;
            appeared << QString::fromLatin1(top->metaObject()->className());
            const QPointer<QWidget> guard(top);
            if (auto *menu = qobject_cast<QMenu *>(top)) {
                menu->hide();
                continue;
            }
            QTest::keyClick(top, Qt::Key_Escape);
            if (guard && guard->isVisible()) {
                if (auto *dialog = qobject_cast<QDialog *>(guard.data()))
                    dialog->reject();
                else
                    guard->close();
            }
            if (guard && guard->isVisible())
                guard->hide();
        }
    }
    static QSet<QWidget *> shownWindows()
    {
        QSet<QWidget *> shown;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible())
                shown.insert(top);
        return shown;
    }

    // Whether the item is one of several options of its menu, one of which
    // is marked (not a setting turned on and off by itself).
    bool inGroup(const Item &item)
    {
        if (item.path.size() < 2)
            return false;
        QAction *parent = itemAt(item.path.mid(0, item.path.size() - 1));
        if (!parent || !parent->menu())
            return false;
        int options = 0;
        for (QAction *action : parent->menu()->actions())
            options += action->isCheckable();
        return options > 1;
    }

    // Chooses the item; what it changed, or an empty list when nothing.
    QStringList choose(const Item &item, bool &enabled)
    {
        QAction *action = itemAt(item.path);
        enabled = action && action->isEnabled();
        if (!enabled)
            return {};
        QApplication::clipboard()->setText(QStringLiteral("Pasted words"));
        settle();
        alerts.clear();
        // Closing and quitting ask about the unsaved edit; the user keeps
        // the document.
        const QString last = item.title.section(QStringLiteral(" > "), -1);
        if (last == QLatin1String("Close") || last == QLatin1String("Quit"))
            alerts.queueAlertResponse(1);
        const Look before = look();
        const bool wasChecked = action->isChecked();
        const QSet<QWidget *> windowsBefore = shownWindows();
        QStringList appeared;
        QTimer closer;
        closer.setInterval(30);
        QObject::connect(&closer, &QTimer::timeout,
                         [&] { dismissNew(windowsBefore, appeared); });
        closer.start();
        action = itemAt(item.path);
        if (action)
            action->trigger();
        settle();
        const Look after = look();
        dismissNew(windowsBefore, appeared);
        closer.stop();
        settle();

        QStringList did;
        // Choosing the option already in effect (its mark stays) is right
        // to change nothing.
        if (wasChecked && document && documentController->documents().contains(document.data()))
            if (QAction *now = itemAt(item.path); now && now->isChecked() && inGroup(item))
                did << QStringLiteral("already in effect");
        if (!appeared.isEmpty())
            did << QStringLiteral("showed ") + appeared.join(QLatin1Char(','));
        if (!(after == before))
            did << QStringLiteral("changed");
        return did;
    }
    // Back to the map as it was: undone and reselected, else opened afresh.
    void restore()
    {
        if (document && documentController->documents().contains(document.data())) {
            UndoManager *undo = document->undoManager();
            for (int guard = 0; guard < 20 && undo->undoStepCount() > baseline.undoSteps &&
                                undo->canUndo();
                 ++guard) {
                undo->undo();
                settle(1);
            }
            for (int guard = 0; guard < 20 && undo->undoStepCount() < baseline.undoSteps &&
                                undo->canRedo();
                 ++guard) {
                undo->redo();
                settle(1);
            }
            selectBeta();
            const Look now = look();
            if (now.sameDocumentAs(baseline))
                return;
        }
        openFresh();
    }

    RecordingOpener opener;
    TWLinkServices links;
    std::unique_ptr<TWLinkServices::Scope> linksScope;
    QString master, copyPath;
    int copies = 0;
    QPointer<TWDocument> document;
    Look baseline;
};

TEST_P(MenuWalk, EveryEnabledItemDoesSomething)
{
    master = writeMap();
    ASSERT_FALSE(master.isEmpty());
    openFresh();
    ASSERT_TRUE(document);
    const QList<Item> items = allItems();
    ASSERT_GT(items.size(), 50);

    QStringList idle, disabled, walked;
    int chosen = 0;
    for (const Item &item : items) {
        if (qEnvironmentVariableIsSet("MENU_WALK_TRACE"))
            std::cerr << item.title.toStdString() << std::endl;
        bool enabled = false;
        const QStringList did = choose(item, enabled);
        if (!enabled) {
            disabled << item.title;
            continue;
        }
        ++chosen;
        walked << item.title;
        if (did.isEmpty())
            idle << item.title;
        restore();
        ASSERT_TRUE(document) << "no document after " << item.title.toStdString();
    }
    std::cout << Acceptance::editionName(edition()) << ": " << chosen << " items chosen; disabled:\n  "
              << disabled.join(QStringLiteral("\n  ")).toStdString() << std::endl;
    // The panels of find and spelling belong to each application object, so
    // a second one in the same run shows them too.
    for (const char *panel : {"Edit > Find > Find...", "Edit > Spelling > Show Spelling..."})
        EXPECT_TRUE(walked.contains(QLatin1String(panel))) << panel << " was not walked";
    EXPECT_TRUE(idle.isEmpty()) << "items that did nothing:\n  "
                                << idle.join(QStringLiteral("\n  ")).toStdString();
}

ACCEPTANCE_EDITIONS(MenuWalk);
