#include "interface/OAStringDrawing.h"
#include "interface/TWImageGrid.h"

#include "InterfaceTestSupport.h"

#include <QFontMetricsF>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QtTest/QTest>

namespace {

class CountingDelegate : public TWImageGridDelegate
{
public:
    void ok(TWImageGrid *grid) override
    {
        ++oks;
        lastGrid = grid;
    }
    QMenu *imageGridMenuForEvent(QContextMenuEvent *) override
    {
        ++menuRequests;
        return nullptr;
    }
    int oks = 0;
    int menuRequests = 0;
    TWImageGrid *lastGrid = nullptr;
};

QImage solid(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

class ImageGrid : public ::testing::Test
{
protected:
    void fill(int count)
    {
        model.clear();
        for (int i = 0; i < count; ++i) {
            auto *item = new QStandardItem(QStringLiteral("Map %1").arg(i + 1));
            item->setData(solid(60, 40, QColor::fromHsv(40 * i % 360, 200, 220)),
                          Qt::DecorationRole);
            model.appendRow(item);
        }
    }
    // Lays the grid out at the given width and draws it once.
    void show(int count, int width, int height = 400)
    {
        fill(count);
        grid.setModel(&model, &selection);
        grid.setDelegate(&delegate);
        grid.resize(width, height);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        grid.grab();
    }
    QPoint centreOf(int item) const
    {
        return grid.locationCache().at(item).toQt().center().toPoint();
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(&grid, Qt::LeftButton, modifiers, from);
        const QPoint middle = (from + to) / 2;
        QTest::mouseMove(&grid, middle);
        QTest::mouseMove(&grid, to);
        EXPECT_TRUE(grid.draggingSelection());
        EXPECT_EQ(grid.dragRect(), RectFromPoints(Point::fromQt(from), Point::fromQt(to)));
        QTest::mouseRelease(&grid, Qt::LeftButton, modifiers, to);
        EXPECT_FALSE(grid.draggingSelection());
    }
    QList<int> selected() const { return grid.selectedRows(); }

    QStandardItemModel model;
    QItemSelectionModel selection{&model};
    CountingDelegate delegate;
    TWImageGrid grid;
};

TEST_F(ImageGrid, ColumnsRowsAndCellPositions)
{
    const struct
    {
        int count, width;
        bool drawTitle;
        int wide, high;
        float x0, x1, y1;
    } cases[] = {
        // cell 130; free width shared in n + 1 gaps
        {3, 300, true, 2, 2, 40.f / 3 + 15, 80.f / 3 + 145, 182},
        {3, 300, false, 2, 2, 40.f / 3 + 15, 80.f / 3 + 145, 145},
        {3, 650, true, 5, 1, 80, 275, 182}, // room for five, three shown: gaps of 65
        {7, 520, true, 4, 2, 15, 145, 182}, // no free width
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " items, width " << c.width);
        grid.setDrawTitle(c.drawTitle);
        show(c.count, c.width);
        EXPECT_EQ(grid.imagesWide(), c.wide);
        EXPECT_EQ(grid.imagesHigh(), c.high);
        EXPECT_FLOAT_EQ(grid.frameForImageAt(0, 0).x(), c.x0);
        EXPECT_FLOAT_EQ(grid.frameForImageAt(1, 0).x(), c.x1);
        EXPECT_FLOAT_EQ(grid.frameForImageAt(0, 0).y(), 15);
        EXPECT_FLOAT_EQ(grid.frameForImageAt(0, 1).y(), c.y1);
        EXPECT_EQ(grid.frameForImageAt(0, 0).size, Size(100, 100));
        // Hit rectangles: the cell around the preview, title strip included.
        ASSERT_EQ(grid.locationCache().size(), c.count);
        const Rect hit = grid.locationCache().at(1);
        EXPECT_FLOAT_EQ(hit.x(), c.x1 - 15 + 1.5f);
        EXPECT_FLOAT_EQ(hit.y(), 0);
        EXPECT_FLOAT_EQ(hit.width(), 130);
        EXPECT_FLOAT_EQ(hit.height(), c.drawTitle ? 152 : 130);
    }
}

TEST_F(ImageGrid, FrameIsAtLeastOneCellWideAndAllRowsHigh)
{
    show(5, 300, 100);
    ASSERT_EQ(grid.imagesHigh(), 3);
    EXPECT_EQ(grid.adjustedFrameSize(QSizeF(50, 10)), QSizeF(130, 3 * 167));
    EXPECT_EQ(grid.adjustedFrameSize(QSizeF(900, 800)), QSizeF(900, 800));
    grid.setDrawTitle(false);
    EXPECT_EQ(grid.adjustedFrameSize(QSizeF(50, 10)), QSizeF(130, 3 * 130));

    // A view narrower than one cell still shows one column.
    grid.setDrawTitle(true);
    show(2, 40);
    EXPECT_EQ(grid.imagesWide(), 1);
    EXPECT_EQ(grid.imagesHigh(), 2);
    grid.updateFrame();
    EXPECT_EQ(grid.width(), 130);
}

TEST_F(ImageGrid, EmptyGridHitsNothing)
{
    show(0, 200);
    EXPECT_EQ(grid.imagesWide(), 1);
    EXPECT_EQ(grid.imagesHigh(), 1);
    EXPECT_TRUE(grid.locationCache().isEmpty());
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    EXPECT_EQ(grid.itemAt(QPointF(60, 60)), -1);
    EXPECT_FALSE(grid.toolTipAt(QPointF(60, 60)).has_value());
    grid.scrollToSelection();
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(ImageGrid, ClickSelectionWithMultipleSelection)
{
    grid.setAllowMultipleSelection(true);
    show(4, 600);
    const struct
    {
        int item;
        Qt::KeyboardModifiers modifiers;
        QList<int> after;
    } steps[] = {
        {0, Qt::NoModifier, {0}},
        {1, Qt::NoModifier, {1}},
        {0, Qt::ShiftModifier, {0, 1}},
        {2, Qt::ControlModifier, {0, 1, 2}}, // Command
        {3, Qt::MetaModifier, {0, 1, 2, 3}}, // Control
        {1, Qt::ShiftModifier, {0, 2, 3}},   // toggles off
        {2, Qt::NoModifier, {2}},            // a plain click keeps only it
        {-1, Qt::NoModifier, {}},            // empty space clears
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.item);
        const QPoint at = step.item < 0 ? QPoint(5, 390) : centreOf(step.item);
        QTest::mouseClick(&grid, Qt::LeftButton, step.modifiers, at);
        EXPECT_EQ(selected(), step.after);
    }
}

TEST_F(ImageGrid, RubberBandSelectsWhatItTouches)
{
    grid.setAllowMultipleSelection(true);
    show(6, 600); // four columns, two rows
    const QPoint below(5, 390);
    // From empty space below the second row up into the first row's items 0 and 1.
    drag(below, centreOf(1));
    EXPECT_EQ(selected(), QList<int>({0, 1, 4, 5}));
    // Shrinking the band drops what it leaves, unless extending.
    QTest::mousePress(&grid, Qt::LeftButton, Qt::NoModifier, below);
    QTest::mouseMove(&grid, centreOf(0));
    QTest::mouseMove(&grid, centreOf(4));
    QTest::mouseRelease(&grid, Qt::LeftButton, Qt::NoModifier, centreOf(4));
    EXPECT_EQ(selected(), QList<int>({4}));
    drag(below, centreOf(5), Qt::ShiftModifier);
    EXPECT_EQ(selected(), QList<int>({4, 5}));
}

TEST_F(ImageGrid, SingleSelectionTakesOnlyOneItemWhateverTheModifiersOrTheBand)
{
    show(6, 600);
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, centreOf(1));
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(2));
    EXPECT_EQ(selected(), QList<int>({2}));
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(2));
    EXPECT_EQ(selected(), QList<int>({2}));
    drag(QPoint(5, 390), centreOf(1));
    EXPECT_EQ(selected(), QList<int>({1}));
    drag(QPoint(5, 390), centreOf(4));
    EXPECT_EQ(selected(), QList<int>({4}));
    // A band that touches nothing clears, unless extending.
    drag(QPoint(5, 390), QPoint(20, 395), Qt::ShiftModifier);
    EXPECT_EQ(selected(), QList<int>({4}));
    drag(QPoint(5, 390), QPoint(20, 395));
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(ImageGrid, DoubleClickAsksForOkAndLeavesTheSelectionAlone)
{
    grid.setAllowMultipleSelection(true);
    show(3, 600);
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, centreOf(0));
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(1));
    ASSERT_EQ(selected(), QList<int>({0, 1}));

    // The toolkit's own sequence: press, release, press, double click, release.
    const QPoint at = centreOf(2);
    const auto send = [&](QEvent::Type type, quint64 time) {
        QMouseEvent event(type, at, grid.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::ShiftModifier);
        event.setTimestamp(time);
        QApplication::sendEvent(&grid, &event);
    };
    const quint64 t = 1000000;
    send(QEvent::MouseButtonPress, t);
    send(QEvent::MouseButtonRelease, t + 20);
    EXPECT_EQ(selected(), QList<int>({0, 1, 2})); // the first click selects
    send(QEvent::MouseButtonPress, t + 80);
    send(QEvent::MouseButtonDblClick, t + 80);
    send(QEvent::MouseButtonRelease, t + 100);
    EXPECT_EQ(delegate.oks, 1);
    EXPECT_EQ(delegate.lastGrid, &grid);
    EXPECT_EQ(selected(), QList<int>({0, 1, 2}));
    EXPECT_FALSE(grid.draggingSelection());

    // A lone double-click event (as synthesised by tests and some platforms).
    QTest::mouseDClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(0));
    EXPECT_EQ(delegate.oks, 2);
    EXPECT_EQ(selected(), QList<int>({0, 1, 2}));
}

TEST_F(ImageGrid, RightClickPreparesTheSelectionForTheMenu)
{
    grid.setAllowMultipleSelection(true);
    show(3, 600);
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, centreOf(0));
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(1));
    QTest::mousePress(&grid, Qt::RightButton, Qt::NoModifier, centreOf(1));
    EXPECT_EQ(selected(), QList<int>({0, 1})); // on a selected item: kept
    QTest::mouseRelease(&grid, Qt::RightButton, Qt::NoModifier, centreOf(1));
    QTest::mousePress(&grid, Qt::RightButton, Qt::NoModifier, centreOf(2));
    EXPECT_EQ(selected(), QList<int>({2}));
    QTest::mouseRelease(&grid, Qt::RightButton, Qt::NoModifier, centreOf(2));
    QTest::mousePress(&grid, Qt::RightButton, Qt::NoModifier, QPoint(5, 390));
    EXPECT_TRUE(selected().isEmpty());
    QTest::mouseRelease(&grid, Qt::RightButton, Qt::NoModifier, QPoint(5, 390));

    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 390),
                                grid.mapToGlobal(QPoint(5, 390)));
    QApplication::sendEvent(&grid, &menuEvent);
    EXPECT_EQ(delegate.menuRequests, 1);
}

TEST_F(ImageGrid, ToolTipsAreTheTitles)
{
    show(3, 600);
    EXPECT_EQ(grid.toolTipAt(centreOf(1)), std::optional<QString>("Map 2"));
    EXPECT_FALSE(grid.toolTipAt(QPointF(5, 390)).has_value());
    // Titles and previews under role names of the model's own.
    model.setItemRoleNames({{Qt::UserRole + 1, "name"}, {Qt::UserRole + 2, "previewImage"}});
    model.item(1)->setData(QStringLiteral("Named"), Qt::UserRole + 1);
    EXPECT_EQ(grid.toolTipAt(centreOf(1)), std::optional<QString>("Named"));
    EXPECT_FALSE(grid.toolTipAt(centreOf(0)).has_value()); // no name: no tip
}

TEST_F(ImageGrid, KeysSelectAllOnlyWhenSeveralItemsMayBeSelected)
{
    show(3, 600);
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(selected().isEmpty());
    grid.setAllowMultipleSelection(true);
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selected(), QList<int>({0, 1, 2}));
}

TEST_F(ImageGrid, PreviewIsScaledToFitAndCentred)
{
    fill(1);
    model.item(0)->setData(solid(200, 50, Qt::red), Qt::DecorationRole);
    grid.setModel(&model, &selection);
    grid.resize(300, 300);
    const QImage picture = grid.grab().toImage();
    const QRectF preview = grid.frameForImageAt(0, 0).toQt();
    const int x = int(preview.center().x());
    EXPECT_EQ(picture.pixelColor(x, int(preview.top() + 50)), QColor(Qt::red));
    EXPECT_EQ(picture.pixelColor(x, int(preview.top() + 38)), QColor(Qt::red));
    EXPECT_NE(picture.pixelColor(x, int(preview.top() + 35)), QColor(Qt::red));
    EXPECT_NE(picture.pixelColor(x, int(preview.top() + 65)), QColor(Qt::red));
    EXPECT_EQ(picture.pixelColor(int(preview.left() + 1), int(preview.top() + 50)),
              QColor(Qt::red));
}

TEST_F(ImageGrid, RefitsOnPreviewSizeAndPreviewNotifications)
{
    show(3, 600);
    const int before = grid.frameUpdateCount();
    grid.setPreviewSize(QSizeF(80, 60));
    grid.setPreviewSize(QSizeF(80, 60));
    EXPECT_EQ(grid.frameUpdateCount(), before + 1);
    NotificationCenter::defaultCenter().post(TWImageGrid::MapPreviewDidUpdateNotification);
    EXPECT_EQ(grid.frameUpdateCount(), before + 2);
}

TEST(ImageGridScrolling, FollowsItsScrollViewAndScrollsToTheSelection)
{
    QStandardItemModel model;
    for (int i = 0; i < 12; ++i)
        model.appendRow(new QStandardItem(QStringLiteral("Map %1").arg(i + 1)));
    QItemSelectionModel selection(&model);
    QScrollArea area;
    area.resize(320, 260);
    auto *grid = new TWImageGrid;
    grid->setModel(&model, &selection);
    grid->setScrollView(&area);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    grid->grab();
    QCoreApplication::processEvents(); // the refit after the first drawing
    EXPECT_EQ(grid->width(), area.viewport()->width());
    EXPECT_EQ(grid->height(), 6 * 167); // two columns, six rows
    area.resize(460, 260);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->width(), area.viewport()->width());

    grid->grab();
    selection.select(model.index(11, 0), QItemSelectionModel::ClearAndSelect);
    grid->scrollToSelection();
    const QRect visible(-grid->pos(), area.viewport()->size());
    EXPECT_TRUE(visible.intersects(grid->locationCache().at(11).toQt().toRect()));
    EXPECT_GT(area.verticalScrollBar()->value(), 0);
}

} // namespace

TEST(ImageGridTitles, ANameALittleTooWideIsDrawnSmallerNotCut)
{
    const Font font = OAExtensions::defaultFont().withSize(16);
    const auto advance = [](const Font &f, const QString &title) {
        return QFontMetricsF(f.toQFont()).horizontalAdvance(title);
    };
    const struct
    {
        const char *title;
        float widthShare; // the width offered, as a share of the title at full size
        bool fullSize, fits;
    } cases[] = {
        {"Night", 1.5f, true, true},
        {"Paper Notes", 0.85f, false, true},
        {"White Rainbow", 0.7f, false, true},
        // Far too wide: the smallest size is used and the rest is shortened.
        {"A theme with a very long name indeed", 0.3f, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        const QString title = QString::fromLatin1(c.title);
        const float width = float(advance(font, title) * c.widthShare);
        const Font fitted = TWImageGrid::fittedTitleFont(font, title, width);
        EXPECT_EQ(fitted.pointSize() == font.pointSize(), c.fullSize);
        EXPECT_GE(fitted.pointSize(), font.pointSize() * 0.6 - 0.5);
        EXPECT_EQ(advance(fitted, title) <= width, c.fits);
    }
}
