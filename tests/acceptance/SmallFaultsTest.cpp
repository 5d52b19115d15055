// Small things a user meets on the way: the file types a file dialog offers,
// the Map Style palette's preview, the About window and the media browser.
#include "AcceptanceSupport.h"

#include "application/DialogAlerts.h"
#include "interface/AboutPanelController.h"
#include "media/TWMediaBrowserController.h"
#include "palettes/TWStyleView.h"
#include "styles/TWStyle.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QToolButton>

namespace {

class SmallFaults : public AcceptanceTest
{
protected:
    // Saves a grab of a window that is not a document's, for a person to look at.
    static void keep(const QImage &image, const QString &step)
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        QString name = QStringLiteral("%1-%2.png").arg(QString::fromLatin1(info->name()), step);
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        image.save(QDir(Acceptance::grabFolder()).filePath(name));
    }
};

} // namespace

TEST_P(SmallFaults, FileOpenOffersThinkwebDocumentsByTheirPlainType)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    DialogAlerts shown;
    Alerts::Scope dialogs{&shown};
    QStringList offered;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
            for (int i = 0; i < types->count(); ++i)
                offered << types->itemText(i);
        dialog->reject();
    });
    ASSERT_TRUE(choose(document, {"File", "Open..."}));
    ASSERT_TRUE(seen) << "File > Open... showed no file dialog";
    EXPECT_EQ(offered, QStringList{"Thinkweb (*.tweb)"});
}

TEST_P(SmallFaults, MapStylePreviewKeepsItsSampleBesideTheName)
{
    TWDocument *document = newDocument(QSize(1200, 900));
    ASSERT_TRUE(document);
    TWStyleView *preview = nullptr;
    for (TWStyleView *view : QApplication::activeWindow()->findChildren<TWStyleView *>())
        if (view->style() && view->style()->type() == TWStyle::MapStyle)
            preview = view;
    if (!preview)
        for (QWidget *top : QApplication::topLevelWidgets())
            for (TWStyleView *view : top->findChildren<TWStyleView *>())
                if (view->style() && view->style()->type() == TWStyle::MapStyle)
                    preview = view;
    if (!preview)
        GTEST_SKIP() << "this edition's window shows no Map Style palette";
    settle();
    const QImage image = preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
    keep(image, QStringLiteral("map-style"));
    const int third = image.width() / 3;
    // The sample (a rainbow wheel or a dark disc) stays in the left third;
    // right of it only the name is drawn, in black on the palette's grey.
    int sample = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = third + 2; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            sample += c.hsvSaturationF() > 0.4 && c.valueF() > 0.3;
        }
    EXPECT_EQ(sample, 0) << "the sample reaches over the name";
    // The background box is whole: its bottom edge is inside the preview.
    const QRect box(8, 8, image.width() / 3 - 8, image.height() - 16);
    EXPECT_TRUE(image.rect().contains(box));
}

TEST_P(SmallFaults, AboutWindowNamesTheEdition)
{
    AboutPanelController about;
    about.showPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.panelToDisplay()));
    settle();
    keep(about.panelToDisplay()->grab().toImage(), QStringLiteral("about"));
    EXPECT_EQ(about.titleField()->text(),
              QStringLiteral("<b>%1</b>").arg(app->traits().applicationName));
    about.hidePanel();
}

TEST_P(SmallFaults, MediaBrowserShowsWholeNamedPictures)
{
    const QString library = dir.filePath("Application Support/Thinkweb/Adornments/Office");
    ASSERT_TRUE(QDir().mkpath(library));
    for (const char *name : {"Calculator", "Envelope", "Clipboard", "Certificate", "Pen"}) {
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(QColor(60, 120, 200));
        ASSERT_TRUE(picture.save(library + QLatin1Char('/') + QLatin1String(name) + ".png"));
    }
    TWMediaBrowserController controller(dir.path());
    controller.showAdornmentsLibrary();
    TWMediaBrowserWindow *window = controller.browserWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTRY_COMPARE(window->activePaneName(), QString("TWAdornmentsBrowser"));
    const auto found = window->treeView()->findItems("Office", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(found.isEmpty());
    window->treeView()->setCurrentItem(found.first());
    wait(400);
    keep(window->grab().toImage(), QStringLiteral("media-browser"));
    QListView *grid = window->gridView();
    ASSERT_EQ(grid->model()->rowCount(), 5);
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        const QModelIndex index = grid->model()->index(row, 0);
        EXPECT_FALSE(index.data().toString().endsWith(".png")) << row;
        const QRect cell = grid->visualRect(index);
        EXPECT_GE(cell.top(), 0) << "row " << row << " is cut at the top";
        // A name that fits the grid's cell is shown whole.
        const int name = grid->fontMetrics().horizontalAdvance(index.data().toString());
        if (name + 12 < grid->gridSize().width())
            EXPECT_GE(cell.width(), name) << index.data().toString().toStdString();
    }
    window->close();
}

ACCEPTANCE_EDITIONS(SmallFaults);
