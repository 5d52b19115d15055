#include "interface/ImageAndTextCell.h"
#include "interface/OAGradientTableView.h"
#include "interface/TWToolTipTableView.h"
#include "interface/TextCell.h"
#include "interface/VerticallyCenteredTextFieldCell.h"

#include "InterfaceTestSupport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextEdit>
#include <QtTest/QTest>

namespace {

QImage solid(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

class ClickReceiver : public QObject
{
    Q_OBJECT

public slots:
    void iconClicked(ImageAndTextCell *cell)
    {
        ++clicks;
        row = cell->myTableRowNumber();
    }

public:
    int clicks = 0;
    int row = -1;
};

TEST(ImageAndTextCell, GeometryBesideTheImage)
{
    ImageAndTextCell cell;
    const QRectF frame(10, 20, 200, 30);
    const QSizeF image(16, 16);
    // Left: the image 3 points in, the text 6 points past the image.
    EXPECT_EQ(cell.imageFrameForCellFrame(frame, image), QRectF(13, 27, 16, 16));
    EXPECT_EQ(cell.textFrameForCellFrame(frame, image), QRectF(32, 20, 178, 30));
    // Right.
    cell.setImagePosition(1);
    EXPECT_EQ(cell.imageFrameForCellFrame(frame, image), QRectF(191, 27, 16, 16));
    EXPECT_EQ(cell.textFrameForCellFrame(frame, image), QRectF(10, 20, 178, 30));
    // An odd leftover height rounds the image down.
    EXPECT_EQ(cell.imageFrameForCellFrame(QRectF(0, 0, 50, 21), image).y(), 3);
    // No image: the text has the whole cell.
    EXPECT_TRUE(cell.imageFrameForCellFrame(frame, QSizeF()).isNull());
    EXPECT_EQ(cell.textFrameForCellFrame(frame, QSizeF()), frame);
}

class ImageAndTextTable : public ::testing::Test
{
protected:
    ImageAndTextTable() : model(3, 1)
    {
        for (int row = 0; row < 3; ++row)
            model.setItem(row, new QStandardItem(QStringLiteral("Category %1").arg(row + 1)));
        view.setModel(&model);
        view.setItemDelegate(&cell);
        view.horizontalHeader()->setStretchLastSection(true);
        view.verticalHeader()->setDefaultSectionSize(24);
        view.resize(240, 120);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QRect cellRect(int row) { return view.visualRect(model.index(row, 0)); }
    QRectF iconRect(int row) { return cell.imageFrameForCellFrame(cellRect(row), QSizeF(16, 16)); }
    QStandardItemModel model;
    ImageAndTextCell cell;
    QTableView view;
};

TEST_F(ImageAndTextTable, ImagesAreShownAtSixteenPoints)
{
    cell.setImage(solid(32, 32, Qt::red));
    model.item(1)->setData(solid(32, 32, Qt::blue), Qt::DecorationRole);
    const QImage picture = view.viewport()->grab().toImage();
    const QRectF red = iconRect(0), blue = iconRect(1);
    EXPECT_EQ(picture.pixelColor(red.center().toPoint()), QColor(Qt::red));
    EXPECT_EQ(picture.pixelColor(blue.center().toPoint()), QColor(Qt::blue));
    // 16 points, not 32: just past the image the cell's own background shows.
    EXPECT_NE(picture.pixelColor(int(red.right()) + 3, int(red.center().y())), QColor(Qt::red));
    EXPECT_NE(picture.pixelColor(int(red.center().x()), int(red.bottom()) + 2), QColor(Qt::red));

    const QSize plain = QStyledItemDelegate().sizeHint(QStyleOptionViewItem(), model.index(0, 0));
    QStyleOptionViewItem option;
    EXPECT_EQ(cell.sizeHint(option, model.index(0, 0)).width(), plain.width() + 22);
}

TEST_F(ImageAndTextTable, TheEditorCoversOnlyTheText)
{
    cell.setImage(solid(16, 16, Qt::red));
    view.edit(model.index(2, 0));
    QWidget *editor = view.viewport()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    EXPECT_GE(editor->geometry().left(), int(iconRect(2).right()));
}

TEST_F(ImageAndTextTable, AClickOnTheIconSendsTheAction)
{
    ClickReceiver receiver;
    cell.setImage(solid(16, 16, Qt::red));
    cell.setImageClickTarget(&receiver);
    cell.setImageClickAction("iconClicked:");
    const QPoint icon = iconRect(2).center().toPoint();

    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, icon);
    EXPECT_EQ(receiver.clicks, 1);
    EXPECT_EQ(receiver.row, 2);

    // Pressed on the icon, released elsewhere: nothing.
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, icon);
    EXPECT_TRUE(cell.isHighlighted());
    QTest::mouseMove(view.viewport(), cellRect(2).center());
    EXPECT_FALSE(cell.isHighlighted());
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, cellRect(2).center());
    EXPECT_EQ(receiver.clicks, 1);

    // A click on the text selects the row as usual.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cellRect(1).center());
    EXPECT_EQ(receiver.clicks, 1);
    EXPECT_EQ(view.selectionModel()->currentIndex().row(), 1);

    // A target without the action is logged, not called.
    LogCapture log;
    cell.setImageClickAction("noSuchAction:");
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, icon);
    EXPECT_EQ(log.count("Runtime error: elipsis button cell target doesn't respond to selector "
                        "noSuchAction:"),
              1);
    EXPECT_EQ(receiver.clicks, 1);
}

TEST(TextCell, EditsInARichTextEditor)
{
    QStandardItemModel model(1, 1);
    model.setItem(0, new QStandardItem("plain"));
    TextCell cell;
    QWidget parent;
    std::unique_ptr<QWidget> created(cell.createEditor(&parent, {}, model.index(0, 0)));
    auto *textEditor = qobject_cast<QTextEdit *>(created.get());
    ASSERT_NE(textEditor, nullptr);
    cell.setEditorData(textEditor, model.index(0, 0));
    EXPECT_EQ(textEditor->toPlainText(), "plain");
    QTextCursor cursor(textEditor->document());
    cursor.select(QTextCursor::Document);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.mergeCharFormat(bold);
    cell.setModelData(textEditor, &model, model.index(0, 0));
    const QString stored = model.item(0)->text();
    EXPECT_TRUE(Qt::mightBeRichText(stored));
    EXPECT_TRUE(stored.contains("font-weight")) << stored.toStdString();
}

TEST(VerticallyCenteredTextFieldCell, InsetsByHalfTheSpareHeight)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    const qreal line = metrics.ascent() + metrics.descent();
    for (qreal height : {40.0, 41.0, line, 5.0}) {
        SCOPED_TRACE(height);
        const QRectF frame(3, 10, 100, height);
        const int d = int(std::floor((height - line) * 0.5));
        const QRectF adjusted =
            VerticallyCenteredTextFieldCell::adjustFrameToVerticallyCenterText(frame, font);
        EXPECT_EQ(adjusted, QRectF(3, 10 + d, 100, height - 2 * d));
        if (height < line) { // too low: it grows
            EXPECT_GT(adjusted.height(), height);
        }
    }
}

TEST(ToolTipTableView, ToolTipsComeFromTheModelPerCell)
{
    QStandardItemModel model(3, 2);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            auto *item = new QStandardItem(QStringLiteral("%1,%2").arg(row).arg(column));
            if (column == 1)
                item->setToolTip(QStringLiteral("tip %1").arg(row));
            model.setItem(row, column, item);
        }
    }
    TWToolTipTableView view;
    view.setModel(&model);
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QPoint second = view.visualRect(model.index(2, 1)).center();
    EXPECT_EQ(view.toolTipAt(second), std::optional<QString>("tip 2"));
    EXPECT_FALSE(view.toolTipAt(view.visualRect(model.index(2, 0)).center()).has_value());
    EXPECT_FALSE(view.toolTipAt(QPoint(second.x(), 190)).has_value()); // below the last row
    model.item(2, 1)->setToolTip("changed");
    EXPECT_EQ(view.toolTipAt(second), std::optional<QString>("changed"));
}

TEST(GradientTableView, ColoursOfTheBand)
{
    using Colors = OAGradientTableView::SelectionColors;
    const QColor base = QColor::fromHsvF(0.6, 0.5, 0.8);
    const Colors c = OAGradientTableView::selectionColors(base, true);
    EXPECT_NEAR(c.light.hsvSaturationF(), 0.38, 0.01);
    EXPECT_NEAR(c.light.valueF(), 1.0, 0.01); // 0.8 + 0.3 is capped
    EXPECT_NEAR(c.dark.hsvSaturationF(), 0.62, 0.01);
    EXPECT_NEAR(c.dark.valueF(), 0.755, 0.01);
    EXPECT_NEAR(c.light.hsvHueF(), 0.6, 0.01);

    const Colors pale =
        OAGradientTableView::selectionColors(QColor::fromHsvF(0.3, 0.03, 0.02), true);
    EXPECT_EQ(pale.dark.hsvSaturationF(), 0.0);
    EXPECT_EQ(pale.light.hsvSaturationF(), 0.0);
    EXPECT_EQ(pale.dark.valueF(), 0.0);

    const Colors grey = OAGradientTableView::selectionColors(base, false);
    for (const QColor &color : {grey.base, grey.light, grey.dark})
        EXPECT_EQ(color.red(), color.blue());
}

TEST(GradientTableView, OneBandForEachRunOfRows)
{
    using Runs = QList<std::pair<int, int>>;
    EXPECT_EQ(OAGradientTableView::selectionRuns({7, 3, 2, 4}), Runs({{2, 4}, {7, 7}}));
    EXPECT_EQ(OAGradientTableView::selectionRuns({}), Runs());
    EXPECT_EQ(OAGradientTableView::selectionRuns({5, 5, 6}), Runs({{5, 6}}));

    QStandardItemModel model(10, 1);
    OAGradientTableView view;
    view.setModel(&model);
    view.verticalHeader()->setDefaultSectionSize(20);
    view.resize(200, 260);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setFocus();
    for (int row : {2, 3, 4, 7})
        view.selectionModel()->select(model.index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QImage picture = view.viewport()->grab().toImage();
    const auto colors =
        OAGradientTableView::selectionColors(view.baseColor(), view.showsFocusedSelection());
    const int x = 150;
    const auto top = [&](int row) { return view.rowViewportPosition(row); };
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue()) <
               20;
    };
    EXPECT_TRUE(near(picture.pixelColor(x, top(2)), colors.base));
    EXPECT_TRUE(near(picture.pixelColor(x, top(2) + 1), colors.light));
    EXPECT_TRUE(near(picture.pixelColor(x, top(5) - 2), colors.dark));
    // One band over rows 2 to 4: no base line where row 3 begins.
    EXPECT_FALSE(near(picture.pixelColor(x, top(3)), colors.base));
    EXPECT_TRUE(near(picture.pixelColor(x, top(7)), colors.base));
    EXPECT_TRUE(near(picture.pixelColor(x, top(7) + 1), colors.light));
    EXPECT_FALSE(near(picture.pixelColor(x, top(5) + 5), colors.light));
    EXPECT_FALSE(near(picture.pixelColor(x, top(5) + 5), colors.dark));
}

} // namespace

#include "TableCellsTest.moc"
