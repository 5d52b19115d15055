// Walks what a map looks like after the user restyles or rearranges it: a
// shipped theme applied from its chooser, and a whole-map arrangement of a
// map with collapsed branches.

#include "AcceptanceSupport.h"

#include "interface/TWImageGrid.h"
#include "palettes/TWThemePanels.h"
#include "styles/TWTheme.h"

#include <QDialog>
#include <QPushButton>

namespace {

// Light pixels are text on this theme's dark shapes and background (its
// fills and strokes are all darker); pure black ones are text it forgot.
struct Ink
{
    int light = 0;
    int black = 0;
};

Ink inkOf(const QImage &image)
{
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            if (std::min({c.red(), c.green(), c.blue()}) >= 190)
                ++ink.light;
            if (std::max({c.red(), c.green(), c.blue()}) <= 16)
                ++ink.black;
        }
    return ink;
}

} // namespace

class LookRoad : public AcceptanceTest
{
protected:
    // The branch's shape clicked, then Tab-typed children.
    void grow(TWDocument *document, const TWMapBranch &parent, const QStringList &labels)
    {
        typeChildren(document, windowPoint(document, *parent.mainGraphic()), labels);
    }
    static Rect boundsOf(const TWMapBranch &branch) { return branch.mainGraphic()->bounds(); }
    // Nothing selected: a click on the canvas away from the map.
    void clickAway(TWDocument *document)
    {
        QWidget *viewport = document->graphicView()->viewport();
        click(document, viewport->mapTo(document->mainWindow(), QPoint(8, 8)));
    }
};

TEST_P(LookRoad, NightThemeDrawsLightLabelsOnItsNavyBackground)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"north", "east", "south"});
    grow(document, *map->root()->children().first(), {"deeper"});
    ASSERT_EQ(map->root()->children().first()->children().size(), 1);

    // Format > Choose Theme..., a click on the Night picture, Apply.
    ASSERT_TRUE(choose(document, {"Format", "Choose Theme..."}));
    TWThemeManager &themes = TWThemeManager::sharedThemeManager();
    QDialog *panel = themes.themeSelectorPanelController().themeSelectorPanel();
    ASSERT_TRUE(panel->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    const TWThemeManager::ThemeList ordered = themes.orderedThemes();
    qsizetype night = -1;
    for (qsizetype i = 0; i < ordered.size(); ++i)
        if (ordered.at(i)->name == u"Night")
            night = i;
    ASSERT_GE(night, 0);
    auto *grid = panel->findChild<TWImageGrid *>();
    ASSERT_TRUE(grid);
    grid->repaint();
    ASSERT_GT(grid->locationCache().size(), night);
    const Rect cell = grid->locationCache().at(night);
    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {},
                      grid->mapTo(panel, QPointF(cell.midX(), cell.midY()).toPoint()));
    settle();
    QWidget *apply = nullptr;
    for (QPushButton *button : panel->findChildren<QPushButton *>())
        if (button->text() == u"Apply")
            apply = button;
    ASSERT_TRUE(apply);
    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {},
                      apply->mapTo(panel, apply->rect().center()));
    wait(150);
    ASSERT_FALSE(panel->isVisible());
    ASSERT_EQ(map->themeID().value_or(QString()), ordered.at(night)->identifier);

    clickAway(document);
    wait(150);
    QList<const TWMapBranch *> branches{map->root().get()};
    for (const auto &child : map->root()->children())
        branches << child.get();
    branches << map->root()->children().first()->children().first().get();
    const QImage shown = grab(document, "night");
    TWGraphicView *view = document->graphicView();
    const qreal ratio = shown.devicePixelRatio();
    for (const TWMapBranch *branch : std::as_const(branches)) {
        SCOPED_TRACE(label(*branch).toStdString());
        const QRect r =
            view->viewportRectFromMap(branch->enclosedTextArea()->bounds()).toAlignedRect();
        const QPoint origin = view->viewport()->mapTo(document->mainWindow(), r.topLeft());
        const Ink ink = inkOf(shown.copy(
            QRect((QPointF(origin) * ratio).toPoint(), (QSizeF(r.size()) * ratio).toSize())));
        EXPECT_GT(ink.light, 15) << "no light text";
        EXPECT_EQ(ink.black, 0) << "black text";
    }

    // The theme's own picture, as the chooser shows it.
    const QImage preview = ordered.at(night)->previewImage();
    ASSERT_FALSE(preview.isNull());
    preview.save(
        QDir(Acceptance::grabFolder())
            .filePath(QStringLiteral("%1-preview.png")
                          .arg(QString::fromLatin1(
                              ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                          .replace(QLatin1Char('/'), QLatin1Char('-'))));
    const Ink ink = inkOf(preview);
    EXPECT_GT(ink.light, 30) << "no light text in the preview";
    EXPECT_EQ(ink.black, 0) << "black text in the preview";
}

TEST_P(LookRoad, ArrangingTheWholeMapCarriesTheChildrenOfCollapsedBranches)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"one", "two", "three"});
    TWMapBranch &two = *map->root()->children().at(1);
    grow(document, two, {"a", "b"});
    ASSERT_EQ(childLabels(two), (QStringList{"a", "b"}));
    ASSERT_TRUE(choose(document, {"Map", "Layout", "Free Layout"}));
    ASSERT_EQ(map->layoutAssistanceMode(), 1);

    // "two" collapsed and dragged far from where the arrangement puts it.
    click(document, windowPoint(document, *two.enclosedTextArea()));
    ASSERT_TRUE(choose(document, {"Map", "Arrange", "Hide Children"}));
    ASSERT_TRUE(two.childrenHidden());
    const QPoint from = windowPoint(document, *two.enclosedTextArea());
    drag(document, from, from + QPoint(260, 220));
    wait(100);
    const auto offsets = [&two] {
        QList<QPointF> list;
        for (const auto &child : two.children())
            list << QPointF(boundsOf(*child).x() - boundsOf(two).x(),
                            boundsOf(*child).y() - boundsOf(two).y());
        return list;
    };
    const QList<QPointF> before = offsets();
    const Rect placed = boundsOf(two);

    ASSERT_TRUE(choose(document, {"Map", "Arrange", "Auto-arrange Tree"}));
    wait(100);
    ASSERT_NE(boundsOf(two), placed) << "the arrangement moves the collapsed branch";
    click(document, windowPoint(document, *two.enclosedTextArea()));
    ASSERT_TRUE(choose(document, {"Map", "Arrange", "Show Children"}));
    ASSERT_FALSE(two.childrenHidden());
    wait(100);
    grab(document, "expanded");
    const QList<QPointF> after = offsets();
    ASSERT_EQ(after.size(), before.size());
    for (qsizetype i = 0; i < after.size(); ++i) {
        EXPECT_NEAR(after.at(i).x(), before.at(i).x(), 1.0)
            << label(*two.children().at(i)).toStdString();
        EXPECT_NEAR(after.at(i).y(), before.at(i).y(), 1.0)
            << label(*two.children().at(i)).toStdString();
    }
}

ACCEPTANCE_EDITIONS(LookRoad);
