// A second walk along the main road: moves undone and redone, relationship
// lines, themes from the document view, new maps, the keys the help pages
// promise, links in labels and the Navigator.

#include "AcceptanceSupport.h"

#include "application/TWDDocument.h"
#include "application/TWHelpViewer.h"
#include "application/TWTemplateSelectorPanelController.h"
#include "graphics/TWConnectionGraphic.h"
#include "interface/TWImageGrid.h"
#include "model/TWLinkServices.h"
#include "palettes/TWNavigatorView.h"
#include "palettes/TWThemePanels.h"
#include "styles/TWTheme.h"
#include "support/AttributedString.h"

#include <QDialog>
#include <QFile>
#include <QHelpEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QToolTip>
#include <functional>

namespace {

// Addresses handed to the desktop, kept instead.
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

int redPixels(const QImage &image)
{
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 80 && c.blue() < 80;
        }
    return red;
}

} // namespace

class SecondWalk : public AcceptanceTest
{
protected:
    void select(TWDocument *document, const TWMapBranch &branch)
    {
        click(document, windowPoint(document, *branch.enclosedTextArea()));
    }
    static Rect boundsOf(const TWMapBranch &branch) { return branch.mainGraphic()->bounds(); }
    static const TWMapBranch *selectedBranch(TWDocument *document)
    {
        const TWMap *map = currentMap(document);
        return map->countOfSelectedGraphics() == 1 ? map->selectedGraphics().first()->branch()
                                                   : nullptr;
    }
    static bool rightHand(const TWMapBranch &branch, const TWMapBranch &root)
    {
        return boundsOf(branch).midX() >= boundsOf(root).midX();
    }
};

TEST_P(SecondWalk, RedoOfAnAltDragDrawsTheConnectionFromTheNewParent)
{
    struct Case
    {
        const char *what;
        // The dragged branch and its new parent, from the map's main branches.
        std::function<TWMapBranch &(TWMapBranch &root)> dragged, target;
    };
    const Case cases[] = {
        {"main branch under its sibling",
         [](TWMapBranch &root) -> TWMapBranch & { return *root.children().at(2); },
         [](TWMapBranch &root) -> TWMapBranch & { return *root.children().at(0); }},
        {"child to another main branch",
         [](TWMapBranch &root) -> TWMapBranch & { return *root.children().at(0)->children().at(0); },
         [](TWMapBranch &root) -> TWMapBranch & { return *root.children().at(1); }},
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        TWMap *map = currentMap(document);
        grow(document, *map->root(), {"one", "two", "three"});
        grow(document, *map->root()->children().at(0), {"deep"});
        const std::shared_ptr<TWMapBranch> dragged = c.dragged(*map->root()).shared_from_this();
        TWMapBranch &target = c.target(*map->root());
        TWMapBranch *oldParent = dragged->parent();
        wait(100);

        drag(document, windowPoint(document, *dragged->enclosedTextArea()),
             windowPoint(document, *target.enclosedTextArea()), 10, Qt::AltModifier);
        wait(300);
        ASSERT_EQ(dragged->parent(), &target) << "the Alt-drag grafted nothing";
        const QString kind = dragged->connectionGraphic()->className();
        const Rect line = dragged->connectionGraphic()->bounds();
        EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("grafted-%1").arg(index)), 0);
        // The map as grafted, nothing selected: what every redo must show.
        const auto shownWithoutSelection = [&](const QString &step) {
            QWidget *viewport = document->graphicView()->viewport();
            click(document, viewport->mapTo(document->mainWindow(), QPoint(8, 8)));
            wait(150);
            return canvasPart(document, grab(document, step));
        };
        const QImage grafted = shownWithoutSelection(QStringLiteral("grafted-plain-%1").arg(index));

        struct Step
        {
            const char *what;
            Qt::KeyboardModifiers modifiers;
            bool grafted;
        };
        const Step steps[] = {
            {"undo", Qt::ControlModifier, false},
            {"redo", Qt::ControlModifier | Qt::ShiftModifier, true},
            {"undo-again", Qt::ControlModifier, false},
            {"redo-again", Qt::ControlModifier | Qt::ShiftModifier, true},
        };
        for (const Step &step : steps) {
            SCOPED_TRACE(step.what);
            key(document, Qt::Key_Z, step.modifiers);
            wait(200);
            ASSERT_EQ(dragged->parent(), step.grafted ? &target : oldParent);
            if (step.grafted) {
                EXPECT_EQ(dragged->connectionGraphic()->className(), kind);
                EXPECT_EQ(dragged->connectionGraphic()->bounds(), line);
                const QImage shown = shownWithoutSelection(
                    QStringLiteral("%1-plain-%2").arg(QString::fromLatin1(step.what)).arg(index));
                int differing = 0;
                for (int y = 0; y < std::min(shown.height(), grafted.height()); ++y)
                    for (int x = 0; x < std::min(shown.width(), grafted.width()); ++x)
                        differing += shown.pixel(x, y) != grafted.pixel(x, y);
                EXPECT_LT(differing, 40) << "the redo draws another map than the graft";
            }
            EXPECT_EQ(staleCanvasPixels(document,
                                        QStringLiteral("%1-%2").arg(QString::fromLatin1(step.what)).arg(index)),
                      0);
        }
        QDir().mkpath(QStringLiteral("/work/shots"));
        grab(document, QStringLiteral("after-redo-%1").arg(index))
            .save(QStringLiteral("/work/shots/redo-alt-drag-%1-%2.png")
                      .arg(Acceptance::editionName(edition()))
                      .arg(index));
        ++index;
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

TEST_P(SecondWalk, MakingARelationshipLineLeavesNoRubberBand)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"one", "two", "three"});
    wait(100);
    const TWMapBranch &one = *map->root()->children().at(0);
    const TWMapBranch &three = *map->root()->children().at(2);
    // Command-drag (Ctrl here) from one label through empty canvas to another.
    const QPoint from = windowPoint(document, *one.enclosedTextArea());
    const QPoint to = windowPoint(document, *three.enclosedTextArea());
    const QPoint away = windowPoint(document, Point(boundsOf(*map->root()).midX(),
                                                    boundsOf(*map->root()).maxY() + 160));
    QWindow *window = windowHandle(document);
    QTest::mousePress(window, Qt::LeftButton, Qt::ControlModifier, from);
    settle(1);
    for (int i = 1; i <= 6; ++i) {
        QTest::mouseMove(window, from + (away - from) * i / 6);
        wait(20);
    }
    EXPECT_GT(redPixels(canvasPart(document, grab(document, QStringLiteral("dragging")))), 0)
        << "the line of the drag is not shown";
    for (int i = 1; i <= 6; ++i) {
        QTest::mouseMove(window, away + (to - away) * i / 6);
        wait(20);
    }
    QTest::mouseRelease(window, Qt::LeftButton, Qt::ControlModifier, to);
    wait(300);
    ASSERT_EQ(map->countOfLinkLines(), 1) << "no relationship line was made";
    const QImage canvas = canvasPart(document, grab(document, QStringLiteral("made")));
    EXPECT_EQ(redPixels(canvas), 0) << "the drag's line stays on the canvas";
    EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("made")), 0);
}

// Deluxe: the theme is chosen for a map picked in the document view, not the
// one shown; Compact: for its one map.
TEST_P(SecondWalk, ThemeChosenFromTheDocumentViewIsOneUndoStep)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    grow(document, *currentMap(document)->root(), {"first"});
    TWMapsDoc *maps = document->mapsDocument();
    std::shared_ptr<TWMap> target = maps->currentMap();
    auto *deluxe = dynamic_cast<TWDDocument *>(document);
    if (deluxe) {
        document->addMapUsingTemplate(false);
        settle();
        ASSERT_EQ(maps->countOfMaps(), 2);
        grow(document, *currentMap(document)->root(), {"second"});
        ASSERT_TRUE(choose(document, {"View", "Document View"}));
        wait(150);
        ASSERT_TRUE(deluxe->documentViewActive());
        // The first map's picture clicked in the grid.
        TWImageGrid *grid = deluxe->documentViewImageGrid();
        grid->repaint();
        ASSERT_GE(grid->locationCache().size(), 2);
        const Rect cell = grid->locationCache().at(0);
        click(document, grid->mapTo(document->mainWindow(),
                                    QPointF(cell.midX(), cell.midY()).toPoint()));
        ASSERT_EQ(deluxe->selectedGridRows(), QList<int>{0});
    }
    const int currentBefore = maps->currentMapNumber();
    const TWMapBranch &first = *target->root()->children().first();
    const Rect pictureBefore = boundsOf(first);
    const std::optional<QString> themeBefore = target->themeID();
    const QString styleBefore = first.mainGraphic()->styleID().value_or(QString());
    const QImage thumbBefore =
        deluxe ? deluxe->documentViewImageGrid()->model()->index(0, 0).data(Qt::DecorationRole)
                     .value<QImage>()
               : QImage();

    ASSERT_TRUE(choose(document, {"Format", "Choose Theme..."}));
    TWThemeManager &themes = TWThemeManager::sharedThemeManager();
    TWThemeSelectorPanelController &selector = themes.themeSelectorPanelController();
    QDialog *panel = selector.themeSelectorPanel();
    ASSERT_TRUE(panel->isVisible());
    const TWThemeManager::ThemeList ordered = themes.orderedThemes();
    qsizetype night = -1;
    for (qsizetype i = 0; i < ordered.size(); ++i)
        if (ordered.at(i)->name == u"Night")
            night = i;
    ASSERT_GE(night, 0);
    selector.themesArrayController()->selectTheme(int(night));
    QPushButton *apply = nullptr;
    for (QPushButton *button : panel->findChildren<QPushButton *>())
        if (button->text() == u"Apply")
            apply = button;
    ASSERT_TRUE(apply);
    apply->click();
    wait(300);
    // The window manager gives the keys back to the document's window.
    document->mainWindow()->activateWindow();
    QApplication::setActiveWindow(document->mainWindow());
    settle();
    ASSERT_EQ(target->themeID().value_or(QString()), ordered.at(night)->identifier);
    EXPECT_NE(first.mainGraphic()->styleID().value_or(QString()), styleBefore);
    EXPECT_EQ(maps->currentMapNumber(), currentBefore);
    QImage thumbThemed;
    if (deluxe) {
        thumbThemed = deluxe->documentViewImageGrid()->model()->index(0, 0).data(
            Qt::DecorationRole).value<QImage>();
        EXPECT_NE(thumbThemed, thumbBefore) << "the thumbnail keeps the old look";
    }
    wait(800); // the grid's transition ends
    QDir().mkpath(QStringLiteral("/work/shots"));
    grab(document, QStringLiteral("themed"))
        .save(QStringLiteral("/work/shots/theme-%1-applied.png").arg(Acceptance::editionName(edition())));

    // One undo step takes the theme back, and stays where the user is.
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Apply Theme"));
    key(document, Qt::Key_Z, Qt::ControlModifier);
    wait(300);
    EXPECT_EQ(target->themeID(), themeBefore);
    EXPECT_EQ(first.mainGraphic()->styleID().value_or(QString()), styleBefore);
    EXPECT_EQ(boundsOf(first).size, pictureBefore.size);
    EXPECT_EQ(maps->currentMapNumber(), currentBefore) << "undo switched maps";
    if (deluxe) {
        EXPECT_TRUE(deluxe->documentViewActive());
        const QImage thumbUndone = deluxe->documentViewImageGrid()->model()->index(0, 0).data(
            Qt::DecorationRole).value<QImage>();
        EXPECT_NE(thumbUndone, thumbThemed) << "the thumbnail keeps the theme";
        EXPECT_EQ(thumbUndone, thumbBefore) << "the thumbnail lags behind the undo";
    }
    grab(document, QStringLiteral("undone"))
        .save(QStringLiteral("/work/shots/theme-%1-undone.png").arg(Acceptance::editionName(edition())));
}

TEST_P(SecondWalk, AddMapWithTheBlankTemplateEditsTheNewTitle)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    TWMapsDoc *maps = document->mapsDocument();
    const int before = maps->countOfMaps();
    TWTemplateSelectorPanelController &chooser =
        TWTemplateSelectorPanelController::sharedTemplateSelectorPanelController();
    bool picked = false;
    // The chooser is modal: the Blank picture is picked once it shows.
    std::function<void()> pick = [&] {
        QDialog *panel = chooser.templateSelectorPanel();
        if (!panel->isVisible()) {
            QTimer::singleShot(20, pick);
            return;
        }
        const QAbstractItemModel *model = chooser.templatesSelection()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == u"Blank") {
                chooser.templatesSelection()->setCurrentIndex(
                    model->index(row, 0), QItemSelectionModel::ClearAndSelect);
                picked = true;
            }
        chooser.noTheme();
    };
    QTimer::singleShot(20, pick);
    ASSERT_TRUE(choose(document, {"Map", "Add Map from Template..."}));
    wait(100);
    ASSERT_TRUE(picked) << "no Blank template";
    ASSERT_EQ(maps->countOfMaps(), before + 1);
    const TWMapBranch &root = *currentMap(document)->root();
    EXPECT_EQ(label(root), QStringLiteral("Main Idea"));
    EXPECT_EQ(document->editingTextArea(), root.enclosedTextArea().get());
    // What is typed replaces the title.
    type(document, QStringLiteral("Plans"));
    key(document, Qt::Key_Escape);
    EXPECT_EQ(label(root), QStringLiteral("Plans"));
}

// Every row of the shipped key table, done as the row says.
TEST_P(SecondWalk, EveryKeyRowOfTheHelpPageDoesWhatItSays)
{
    QFile page(QFileInfo(app->helpURL().toLocalFile()).dir().filePath("keys.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
    const QString html = QString::fromUtf8(page.readAll());
    QStringList rows;
    const QRegularExpression row(QStringLiteral("<tr><td>(.*?)</td><td>.*?</td></tr>"));
    for (auto it = row.globalMatch(html); it.hasNext();)
        rows << it.next().captured(1);
    ASSERT_GE(rows.size(), 10);

    // A map with a deeper list, branches on both sides and one without children.
    TWDocument *document = newDocument(QSize(1100, 760));
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    TWMap *map = currentMap(document);
    TWMapBranch &root = *map->root();
    grow(document, root, {"a", "b", "c", "d"});
    ASSERT_EQ(root.countOfChildren(), 4);
    // "d" goes to the left-hand side, whatever the layout chose.
    TWMapBranch &d = *root.children().at(3);
    if (rightHand(d, root))
        d.moveBranchBy(boundsOf(root).midX() - boundsOf(d).maxX() - 200, 0, true);
    TWMapBranch &a = *root.children().at(0);
    if (!rightHand(a, root))
        a.moveBranchBy(boundsOf(root).maxX() + 200 - boundsOf(a).x(), 0, true);
    wait(100);
    grow(document, a, {"a1", "a2"});
    grow(document, d, {"d1"});
    wait(100);
    ASSERT_TRUE(rightHand(a, root));
    ASSERT_FALSE(rightHand(d, root));
    TWMapBranch &c = *root.children().at(2);
    TWMapBranch &a1 = *a.children().at(0);
    TWMapBranch &a2 = *a.children().at(1);

    const auto beeps = [this] { return alerts.beepCount(); };
    // A key pressed on a branch: where the selection goes, and whether it beeped.
    const auto arrow = [&](const TWMapBranch &from, Qt::Key k, const TWMapBranch *to, bool beep) {
        select(document, from);
        const int before = beeps();
        key(document, k);
        EXPECT_EQ(selectedBranch(document), to) << label(from).toStdString() << " key " << k;
        EXPECT_EQ(beeps(), before + (beep ? 1 : 0)) << label(from).toStdString() << " key " << k;
    };
    using Check = std::function<void()>;
    const QHash<QString, Check> checks{
        {"Tab",
         [&] {
             select(document, c);
             key(document, Qt::Key_Tab);
             ASSERT_EQ(c.countOfChildren(), 1);
             EXPECT_EQ(document->editingTextArea(), c.children().first()->enclosedTextArea().get());
             key(document, Qt::Key_Escape);
             key(document, Qt::Key_Z, Qt::ControlModifier);
             wait(50);
         }},
        {"Shift-Tab",
         [&] {
             select(document, a1);
             key(document, Qt::Key_Backtab, Qt::ShiftModifier);
             ASSERT_EQ(a.countOfChildren(), 3);
             EXPECT_EQ(a.children().at(0).get(), &a1);
             EXPECT_EQ(document->editingTextArea(), a.children().at(1)->enclosedTextArea().get());
             key(document, Qt::Key_Escape);
             key(document, Qt::Key_Z, Qt::ControlModifier);
             wait(50);
             ASSERT_EQ(a.countOfChildren(), 2);
             select(document, root);
             const int before = beeps();
             key(document, Qt::Key_Backtab, Qt::ShiftModifier);
             EXPECT_EQ(beeps(), before + 1);
             EXPECT_EQ(root.countOfChildren(), 4);
         }},
        {"Return",
         [&] {
             select(document, c);
             key(document, Qt::Key_Return);
             EXPECT_EQ(document->editingTextArea(), c.enclosedTextArea().get());
             key(document, Qt::Key_Escape);
         }},
        {"Escape",
         [&] {
             select(document, c);
             key(document, Qt::Key_Return);
             ASSERT_TRUE(document->editingTextArea());
             key(document, Qt::Key_Escape);
             EXPECT_FALSE(document->editingTextArea());
             key(document, Qt::Key_Tab); // the map still has the keys
             EXPECT_EQ(c.countOfChildren(), 1);
             key(document, Qt::Key_Escape);
             key(document, Qt::Key_Z, Qt::ControlModifier);
             wait(50);
         }},
        {"Up",
         [&] {
             arrow(*root.children().at(1), Qt::Key_Up, &a, false);
             arrow(a, Qt::Key_Up, &d, false); // wraps among the main branches
             arrow(a2, Qt::Key_Up, &a1, false);
             arrow(a1, Qt::Key_Up, &a1, true);
         }},
        {"Down",
         [&] {
             arrow(a, Qt::Key_Down, root.children().at(1).get(), false);
             arrow(d, Qt::Key_Down, &a, false);
             arrow(a1, Qt::Key_Down, &a2, false);
             arrow(a2, Qt::Key_Down, &a2, true);
         }},
        {"Right",
         [&] {
             arrow(a, Qt::Key_Right, &a1, false);
             arrow(a1, Qt::Key_Right, &a1, true);
             arrow(d, Qt::Key_Right, &root, false);
             const TWMapBranch *firstRight = nullptr;
             for (const auto &child : root.children())
                 if (!firstRight && rightHand(*child, root))
                     firstRight = child.get();
             arrow(root, Qt::Key_Right, firstRight, false);
         }},
        {"Left",
         [&] {
             arrow(d, Qt::Key_Left, d.children().first().get(), false);
             arrow(*d.children().first(), Qt::Key_Left, d.children().first().get(), true);
             arrow(a, Qt::Key_Left, &root, false);
             const TWMapBranch *firstLeft = nullptr;
             for (const auto &child : root.children())
                 if (!firstLeft && !rightHand(*child, root))
                     firstLeft = child.get();
             arrow(root, Qt::Key_Left, firstLeft, false);
         }},
        {"Ctrl-arrow keys",
         [&] {
             const std::pair<Qt::Key, QPointF> moves[] = {{Qt::Key_Right, QPointF(1, 0)},
                                                          {Qt::Key_Left, QPointF(-1, 0)},
                                                          {Qt::Key_Up, QPointF(0, -1)},
                                                          {Qt::Key_Down, QPointF(0, 1)}};
             for (const auto &[k, delta] : moves) {
                 select(document, c);
                 const QPointF before = boundsOf(c).origin.toQt();
                 key(document, k, Qt::ControlModifier);
                 EXPECT_EQ(boundsOf(c).origin.toQt(), before + delta) << k;
                 EXPECT_EQ(selectedBranch(document), &c);
                 EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Nudge"));
             }
         }},
        {"Home",
         [&] {
             select(document, a2);
             key(document, Qt::Key_Home);
             EXPECT_EQ(selectedBranch(document), &root);
         }},
        {"Delete",
         [&] {
             select(document, a2);
             key(document, Qt::Key_Delete);
             EXPECT_EQ(childLabels(a), QStringList{"a1"});
             key(document, Qt::Key_Z, Qt::ControlModifier);
             wait(50);
             EXPECT_EQ(childLabels(a), (QStringList{"a1", "a2"}));
         }},
        {"Space (held)",
         [&] {
             QTest::keyPress(windowHandle(document), Qt::Key_Space);
             settle();
             EXPECT_EQ(document->graphicView()->viewport()->cursor().shape(),
                       Qt::OpenHandCursor);
             QTest::keyRelease(windowHandle(document), Qt::Key_Space);
             settle();
             EXPECT_NE(document->graphicView()->viewport()->cursor().shape(),
                       Qt::OpenHandCursor);
         }},
        {"Letters",
         [&] {
             select(document, c);
             const QString was = label(c);
             const int before = beeps();
             type(document, QStringLiteral("x"));
             EXPECT_EQ(beeps(), before + 1);
             EXPECT_FALSE(document->editingTextArea());
             EXPECT_EQ(label(c), was);
         }},
        {"F1",
         [&] {
             key(document, Qt::Key_F1);
             TWHelpViewer *viewer = app->helpViewer();
             ASSERT_TRUE(viewer);
             EXPECT_TRUE(viewer->isVisible());
             viewer->close();
             document->mainWindow()->activateWindow();
             QApplication::setActiveWindow(document->mainWindow());
             settle();
         }},
    };
    for (const QString &keyName : std::as_const(rows)) {
        SCOPED_TRACE(keyName.toStdString());
        const auto check = checks.find(keyName);
        ASSERT_NE(check, checks.end()) << "the help page names a key no scenario walks";
        (*check)();
    }
    for (auto it = checks.cbegin(); it != checks.cend(); ++it)
        EXPECT_TRUE(rows.contains(it.key())) << it.key().toStdString() << " is not on the page";
}

TEST_P(SecondWalk, AltClickOnALinkInALabelFollowsIt)
{
    RecordingOpener opener;
    TWLinkServices services;
    services.opener = &opener;
    TWLinkServices::Scope scope(services);

    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"see docs here"});
    TWMapBranch &branch = *map->root()->children().first();
    // "docs" carries a link.
    AttributedString text = branch.enclosedTextArea()->text();
    const QUrl docs(QStringLiteral("https://example.org/docs"));
    text.addAttribute(NSLinkAttributeName, docs, AttributedString::Range{4, 4});
    branch.enclosedTextArea()->setText(text);
    key(document, Qt::Key_Escape);
    wait(200);
    document->graphicView()->viewport()->repaint();
    settle();
    const QVariantList records = branch.hyperlinkTooltipInfo();
    QRectF linkRect;
    for (const QVariant &record : records)
        if (record.toMap().contains(QStringLiteral("rect")))
            linkRect = Rect::fromString(record.toMap().value(QStringLiteral("rect")).toString()).toQt();
    ASSERT_FALSE(linkRect.isEmpty()) << "the canvas registered no link";
    const QPoint onLink = windowPoint(document, Point(linkRect.center().x(), linkRect.center().y()));
    const QPoint offLink = windowPoint(document, Point(linkRect.left() - 12, linkRect.center().y()));

    struct Case
    {
        const char *what;
        QPoint at;
        Qt::KeyboardModifiers modifiers;
        Qt::CursorShape cursor;
        bool opens;
        bool tip;
    };
    const Case cases[] = {
        {"Alt-click on the link", onLink, Qt::AltModifier, Qt::PointingHandCursor, true, true},
        {"plain click on the link selects", onLink, {}, Qt::PointingHandCursor, false, true},
        {"Alt-click beside the link", offLink, Qt::AltModifier, Qt::ArrowCursor, false, false},
    };
    QWidget *viewport = document->graphicView()->viewport();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        opener.opened.clear();
        QTest::mouseMove(windowHandle(document), c.at);
        settle();
        EXPECT_EQ(viewport->cursor().shape(), c.cursor);
        const QPoint local = viewport->mapFrom(document->mainWindow(), c.at);
        QHelpEvent help(QEvent::ToolTip, local, viewport->mapToGlobal(local));
        QCoreApplication::sendEvent(viewport, &help);
        settle();
        if (c.tip) {
            EXPECT_TRUE(QToolTip::isVisible());
            EXPECT_EQ(QToolTip::text(), docs.toString() + QStringLiteral(" (Alt+Click)"));
        } else {
            EXPECT_FALSE(QToolTip::isVisible() && QToolTip::text().contains(docs.toString()));
        }
        QToolTip::hideText();
        click(document, c.at, c.modifiers);
        wait(100);
        EXPECT_EQ(opener.opened, c.opens ? QList<QUrl>{docs} : QList<QUrl>{});
        EXPECT_EQ(branch.parent(), map->root().get()) << "the click dragged the branch";
        EXPECT_FALSE(document->editingTextArea());
    }
}

TEST_P(SecondWalk, NavigatorShowsTheMapAsSoonAsItIsShown)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    auto *navigator = document->mainWindow()->findChild<TWNavigatorView *>();
    if (!navigator)
        GTEST_SKIP() << "this edition's window has no Navigator";
    // Shown at once, without any change to the map.
    navigator->show();
    wait(700);
    if (!navigator->isVisible())
        GTEST_SKIP() << "the Navigator is folded away";
    const QImage image = navigator->grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.save(QDir(Acceptance::grabFolder()).filePath(QStringLiteral("navigator-%1.png").arg(Acceptance::editionName(edition()))));
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    EXPECT_GT(counts.size(), 3) << "the Navigator is empty";
}

// Fifteen branches typed in the default Loose layout: no branch's shape or
// label lies over another's, the children of neighbouring main branches
// included.
TEST_P(SecondWalk, KeyboardBuiltMapInLooseLayoutHasNoOverlaps)
{
    TWDocument *document = newDocument(QSize(1200, 900));
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    TWMap *map = currentMap(document);
    ASSERT_EQ(map->layoutAssistanceMode(), 2);
    grow(document, *map->root(), {"Planning", "Budget", "People", "Risks"});
    const QList<QStringList> children{{"Scope", "Milestones", "Review"},
                                      {"Hardware", "Travel"},
                                      {"Hiring", "Training", "Roles"},
                                      {"Delays", "Suppliers", "Quality"}};
    for (int i = 0; i < 4; ++i)
        grow(document, *map->root()->children().at(i), children.at(i));
    wait(300);
    QList<std::pair<QString, QRectF>> placed;
    TWMapBranch::BranchList all;
    map->root()->buildBranchArray(all);
    ASSERT_EQ(all.size(), 16);
    for (const auto &branch : std::as_const(all))
        placed.append({label(*branch), branch->mainGraphic()->bounds().toQt().united(
                                           branch->enclosedTextArea()->bounds().toQt())});
    for (qsizetype i = 0; i < placed.size(); ++i)
        for (qsizetype j = i + 1; j < placed.size(); ++j)
            EXPECT_FALSE(placed.at(i).second.adjusted(1, 1, -1, -1).intersects(
                placed.at(j).second.adjusted(1, 1, -1, -1)))
                << placed.at(i).first.toStdString() << " over " << placed.at(j).first.toStdString();
    key(document, Qt::Key_Home);
    ASSERT_TRUE(choose(document, {"View", "Zoom to Fit"}));
    wait(200);
    QDir().mkpath(QStringLiteral("/work/shots"));
    grab(document, QStringLiteral("loose-15"))
        .save(QStringLiteral("/work/shots/loose-15-%1.png").arg(Acceptance::editionName(edition())));
}

ACCEPTANCE_EDITIONS(SecondWalk);
