#include "media/TWMediaBrowserController.h"
#include "support/PropertyList.h"
#include "support/TWImageEncryption.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QSlider>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QByteArray drawnPng(QColor color, int shape)
{
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(QPen(color.darker(), 2));
    if (shape == 0)
        p.drawEllipse(4, 4, 40, 40);
    else if (shape == 1)
        p.drawRect(6, 6, 36, 36);
    else
        p.drawPolygon(QPolygon({QPoint(24, 3), QPoint(45, 44), QPoint(3, 44)}));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class MediaBrowserWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString adornments = dir.filePath("Application Support/Thinkweb/Adornments");
        const QList<std::tuple<QString, QColor, int>> icons{
            {"Star.twpng", Qt::yellow, 2},
            {"Flags/Red Flag.twpng", Qt::red, 1},
            {"Flags/Blue Flag.png", Qt::blue, 1},
            {"Flags/Green Flag.png", Qt::green, 1},
            {"Smileys/Happy.png", QColor(250, 200, 0), 0},
            {"Smileys/Sad.png", Qt::gray, 0}};
        for (const auto &[name, color, shape] : icons) {
            const QByteArray png = drawnPng(color, shape);
            write(adornments + "/" + name,
                  name.endsWith(".twpng") ? TWImageEncryption::encryptedData(png) : png);
        }
        const QString library = dir.filePath("Application Support/Thinkweb/Graphics/Clip.twglib");
        write(library + "/circle.twpng", TWImageEncryption::encryptedData(drawnPng(Qt::cyan, 0)));
        write(library + "/square.png", drawnPng(Qt::magenta, 1));
        const QVariantList graphics{
            QVariantMap{{"ImageFilePath", "circle.twpng"}, {"Keywords", QStringList{"round"}}},
            QVariantMap{{"ImageFilePath", "square.png"}, {"Keywords", QStringList{"box"}}}};
        write(library + "/metaData.plist",
              *PropertyList::dataWithPropertyList(
                  QVariantMap{{"Categories", QVariantList{QVariantMap{{"CategoryName", "Shapes"},
                                                                      {"Graphics", graphics}}}}}));
        write(dir.filePath("Pictures/Holiday/beach.png"), drawnPng(QColor(240, 220, 160), 1));
    }
    void write(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTreeWidgetItem *item(TWMediaBrowserWindow &window, const QString &name)
    {
        const auto found =
            window.treeView()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    void waitForThumbnails(TWMediaBrowserWindow &window)
    {
        TWMediaBrowserPane *pane = window.activePane();
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            bool all = true;
            for (const QVariantMap &r : pane->displayedImages())
                all = all &&
                      pane->thumbnails().isCached(r.value(TWMediaRecord::ImagePath).toString());
            if (all || clock.elapsed() > 5000)
                break;
            window.gridView()->viewport()->update();
            QTest::qWait(20);
        }
        QTest::qWait(20);
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(MediaBrowserWindowTest, PanesTreeSearchAndDrags)
{
    TWMediaBrowserController controller(dir.path());
    controller.setPhotosFolder(dir.filePath("Pictures"));
    EXPECT_EQ(TWMediaBrowserController::registeredBrowsers(),
              QStringList({"iMBPhotosController", "TWAdornmentsBrowser", "TWGraphicsBrowser"}));
    TWMediaBrowserWindow *window = controller.browserWindow();
    QStringList actions;
    for (QAction *a : window->toolbar()->actions())
        actions.append(a->text());
    EXPECT_EQ(actions, QStringList({"Photos", "Adornments", "Graphics"}));

    const struct
    {
        std::function<void()> show;
        QString pane, root;
    } panes[] = {
        {[&] { controller.showAdornmentsLibrary(); }, "TWAdornmentsBrowser", "Adornments Library"},
        {[&] { controller.showGraphicsLibrary(); }, "TWGraphicsBrowser", "Graphics Library"},
        {[&] { controller.showPhotoLibrary(); }, "iMBPhotosController", "Pictures"},
    };
    for (const auto &p : panes) {
        p.show();
        EXPECT_TRUE(window->isVisible());
        QTRY_COMPARE(window->activePaneName(), p.pane);
        ASSERT_EQ(window->treeView()->topLevelItemCount(), 1);
        EXPECT_EQ(window->treeView()->topLevelItem(0)->text(0), p.root);
    }

    ASSERT_TRUE(window->showPane("TWAdornmentsBrowser"));
    QTreeWidgetItem *flags = item(*window, "Flags");
    ASSERT_TRUE(flags);
    window->treeView()->setCurrentItem(flags);
    EXPECT_EQ(window->gridModel()->rowCount(), 3);
    EXPECT_EQ(window->counterField()->text(), "3 images");
    window->searchField()->setText("red");
    ASSERT_EQ(window->gridModel()->rowCount(), 1);
    EXPECT_EQ(window->gridModel()->index(0).data().toString(), "Red Flag");
    EXPECT_EQ(window->gridModel()->index(0).data(Qt::ToolTipRole).toString(), "Red Flag.twpng");
    std::unique_ptr<QMimeData> drag(window->gridModel()->mimeData({window->gridModel()->index(0)}));
    ASSERT_TRUE(drag);
    const QString red =
        dir.filePath("Application Support/Thinkweb/Adornments/Flags/Red Flag.twpng");
    EXPECT_EQ(QString::fromUtf8(drag->data("TWAdornmentPBoard")), red);
    EXPECT_EQ(drag->urls(), QList<QUrl>{QUrl::fromLocalFile(red)});
    window->searchField()->clear();
    EXPECT_EQ(window->gridModel()->rowCount(), 3);

    std::unique_ptr<QMimeData> album(static_cast<QAbstractItemModel *>(window->treeView()->model())
                                         ->mimeData({window->treeView()->indexFromItem(flags)}));
    ASSERT_TRUE(album);
    EXPECT_EQ(album->urls().size(), 3);
    EXPECT_TRUE(album->hasFormat("AlbumDataListPboardType"));

    // Thumbnails arrive, deciphered where the library enciphers them.
    waitForThumbnails(*window);
    const QIcon icon = window->gridModel()->index(2).data(Qt::DecorationRole).value<QIcon>();
    const QImage shown = icon.pixmap(16, 16).toImage();
    EXPECT_EQ(shown.pixelColor(8, 8), QColor(Qt::red));

    const QString shots = qEnvironmentVariable("THINKWEB_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        window->treeView()->setCurrentItem(flags);
        window->resize(420, 520);
        waitForThumbnails(*window);
        window->grab().save(shots + "/media-browser-adornments.png");
        window->showPane("TWGraphicsBrowser");
        window->treeView()->setCurrentItem(item(*window, "Shapes"));
        waitForThumbnails(*window);
        window->grab().save(shots + "/media-browser-graphics.png");
    }
}

TEST(MediaGridNames, PicturesAreNamedWithoutTheirExtension)
{
    const struct
    {
        const char *caption, *path, *shown;
    } cases[] = {
        {"Calculator.png", "/l/Office/Calculator.png", "Calculator"},
        {"Red Flag.twpng", "/a/Flags/Red Flag.twpng", "Red Flag"},
        {"Holiday.JPG", "/p/Holiday.JPG", "Holiday"},
        // A caption that is not the file's name, or only its extension, stays.
        {"Dr. Who", "/p/doctor.png", "Dr. Who"},
        {".png", "/p/.png", ".png"},
        {"Notes", "/p/Notes", "Notes"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TWMediaGridModel::shownName(c.caption, c.path), QString(c.shown)) << c.caption;
}

TEST_F(MediaBrowserWindowTest, EveryCellShowsItsWholePictureAndName)
{
    // A picture far wider than high sits in the same square as the others.
    QImage wide(48, 12, QImage::Format_ARGB32);
    wide.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && wide.save(&buffer, "PNG"));
    write(dir.filePath("Application Support/Thinkweb/Adornments/Flags/Wide Pennant.png"), png);
    TWMediaBrowserController controller(dir.path());
    controller.setPhotosFolder(dir.filePath("Pictures"));
    TWMediaBrowserWindow *window = controller.browserWindow();
    controller.showAdornmentsLibrary();
    QTRY_COMPARE(window->activePaneName(), QString("TWAdornmentsBrowser"));
    window->treeView()->setCurrentItem(item(*window, "Flags"));
    window->resize(420, 520);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    waitForThumbnails(*window);
    QListView *grid = window->gridView();
    ASSERT_EQ(grid->model()->rowCount(), 4);
    for (int side : {24, 48, 96, 160}) {
        SCOPED_TRACE(side);
        window->findChild<QSlider *>()->setValue(side);
        QApplication::processEvents();
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            const QModelIndex index = grid->model()->index(row, 0);
            const QRect cell = grid->visualRect(index);
            QStyleOptionViewItem option;
            option.initFrom(grid);
            option.decorationSize = grid->iconSize();
            option.decorationPosition = QStyleOptionViewItem::Top;
            option.displayAlignment = Qt::AlignHCenter | Qt::AlignBottom;
            option.features |= QStyleOptionViewItem::WrapText | QStyleOptionViewItem::HasDecoration |
                               QStyleOptionViewItem::HasDisplay;
            const QSize wanted = grid->itemDelegate()->sizeHint(option, index);
            EXPECT_EQ(index.data(Qt::DecorationRole).value<QIcon>().availableSizes(),
                      QList<QSize>{grid->iconSize()});
            EXPECT_GE(cell.top(), 0) << "row " << row << " wants " << wanted.height() << " of "
                                     << grid->gridSize().height();
            EXPECT_LE(wanted.height(), grid->gridSize().height()) << "row " << row;
            // A name that fits the cell is shown whole, however short the
            // others are.
            const int name = grid->fontMetrics().horizontalAdvance(index.data().toString());
            if (name + 12 < grid->gridSize().width())
                EXPECT_GE(cell.width(), name) << index.data().toString().toStdString();
        }
    }
}
