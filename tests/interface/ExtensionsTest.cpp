#include "interface/AttributedStringExtensions.h"
#include "interface/ImageExtensions.h"
#include "interface/ViewExtensions.h"
#include "support/Font.h"

#include "InterfaceTestSupport.h"

#include <QBuffer>
#include <QComboBox>
#include <QGraphicsView>
#include <QItemSelectionModel>
#include <QLinearGradient>
#include <QStandardItemModel>
#include <QTreeView>

using namespace AttributedStringExtensions;

namespace {

QImage solid(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

TEST(ImageExtensions, ScaledCopyIsExactlyTheSizeWithTheMarginsClear)
{
    const QImage scaled =
        ImageExtensions::imageScaledToSize(solid(64, 16, Qt::red), QSizeF(32, 32));
    ASSERT_EQ(scaled.size(), QSize(32, 32));
    EXPECT_EQ(ImageExtensions::drawinigRectForImageScaledToSize(QSizeF(64, 16), QSizeF(32, 32)),
              QRectF(0, 12, 32, 8));
    for (int y : {0, 5, 11, 20, 31})
        EXPECT_EQ(qAlpha(scaled.pixel(16, y)), 0) << y;
    for (int y : {12, 15, 19})
        EXPECT_EQ(scaled.pixelColor(16, y), QColor(Qt::red)) << y;
}

TEST(ImageExtensions, ScaleToSizeKeepsTheAspectAndEnlarges)
{
    EXPECT_EQ(ImageExtensions::sizeScaledToFit(QSizeF(10, 10), QSizeF(50, 80)), QSizeF(50, 50));
    EXPECT_EQ(ImageExtensions::sizeScaledToFit(QSizeF(200, 50), QSizeF(100, 100)), QSizeF(100, 25));
    Image image;
    image.setSize(Size(10, 10));
    ImageExtensions::scaleToSize(image, QSizeF(50, 80));
    EXPECT_EQ(image.size(), Size(50, 50));
    EXPECT_TRUE(image.scalesWhenResized());
}

TEST(ImageExtensions, ImageWithRepresentation)
{
    EXPECT_FALSE(ImageExtensions::imageWithRepresentation(nullptr).has_value());
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    QImage blue = solid(7, 3, Qt::blue);
    blue.setDotsPerMeterX(2835); // 72 dpi: its size in points is its pixel count
    blue.setDotsPerMeterY(2835);
    ASSERT_TRUE(blue.save(&buffer, "PNG"));
    const std::optional<BitmapImageRep> rep = BitmapImageRep::imageRepWithData(png);
    ASSERT_TRUE(rep.has_value());
    const ImageRepresentation representation = *rep;
    const std::optional<Image> image = ImageExtensions::imageWithRepresentation(&representation);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), Size(7, 3));
    EXPECT_EQ(image->representations().size(), 1);
}

TEST(ImageExtensions, ReflectionIsUpsideDownAndFades)
{
    // Red above, blue below: the reflection starts with the blue foot.
    QImage picture = solid(10, 40, Qt::red);
    for (int y = 20; y < 40; ++y)
        for (int x = 0; x < 10; ++x)
            picture.setPixelColor(x, y, Qt::blue);
    const QImage reflection = ImageExtensions::reflectionImage(picture, 0.5);
    ASSERT_EQ(reflection.size(), picture.size());
    const QColor top = reflection.pixelColor(5, 0);
    EXPECT_NEAR(top.alpha(), 127, 3);
    EXPECT_GT(top.blue(), 200);
    EXPECT_LT(top.red(), 10);
    EXPECT_LT(reflection.pixelColor(5, 15).alpha(), top.alpha()); // fading
    EXPECT_EQ(qAlpha(reflection.pixel(5, 20)), 0);                // beyond the fraction
    EXPECT_EQ(qAlpha(reflection.pixel(5, 39)), 0);
}

AttributedString sized(const QList<std::pair<QString, double>> &runs)
{
    AttributedString text;
    for (const auto &[string, size] : runs) {
        TextAttributes attributes;
        if (size > 0)
            attributes.insert(NSFontAttributeName,
                              QVariant::fromValue(Font(QStringLiteral("Helvetica"), size)));
        text.appendAttributedString(AttributedString(string, attributes));
    }
    return text;
}

QList<double> sizes(const AttributedString &text)
{
    QList<double> out;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const QVariant font = text.runAttributes(run).value(NSFontAttributeName);
        out << (font.isValid() ? font.value<Font>().pointSize() : 0.0);
    }
    return out;
}

TEST(AttributedStringExtensions, FontSizeStepsAndMinimum)
{
    const AttributedString text = sized({{"ten ", 10}, {"fourteen", 14}});
    EXPECT_EQ(minimumFontSize(text), 10);
    EXPECT_EQ(minimumFontSize(AttributedString()), -1.0);
    EXPECT_EQ(minimumFontSize(sized({{"plain ", 0}, {"big", 20}})), 20);

    EXPECT_EQ(sizes(attributedStringWithFontSizeIncreasedBy(text, 2)), QList<double>({12, 16}));
    EXPECT_EQ(sizes(attributedStringWithFontSizeIncreasedBy(text, -9)), QList<double>({1, 5}));
    // A run would fall under one point: nothing changes.
    const AttributedString small = sized({{"two ", 2}, {"twelve", 12}});
    EXPECT_EQ(attributedStringWithFontSizeIncreasedBy(small, -2), small);
    EXPECT_EQ(attributedStringWithFontSizeIncreasedBy(text, -9.5), text);
    // Runs without a font are left alone.
    EXPECT_EQ(sizes(attributedStringWithFontSizeIncreasedBy(sized({{"a", 0}, {"b", 8}}), 1)),
              QList<double>({0, 9}));

    EXPECT_EQ(sizes(attributedStringWithMinimumFontSize(text, 12)), QList<double>({12, 16}));
    EXPECT_EQ(attributedStringWithMinimumFontSize(text, 9), text);
}

TEST(ContrastingLabelColor, DarkGreyOnLightWhiteOnDark)
{
    using ContrastingLabelExtensions::contrastingLabelColor;
    const Color darkGrey = Color::colorWithCalibratedWhite(1.0 / 3.0);
    EXPECT_EQ(contrastingLabelColor(Color::colorWithCalibratedRed(1, 1, 0)), darkGrey);
    EXPECT_EQ(contrastingLabelColor(Color::colorWithCalibratedRed(0, 0, 1)), Color::whiteColor());
    EXPECT_EQ(contrastingLabelColor(Color::colorWithDeviceWhite(0.5)), darkGrey);
    EXPECT_EQ(contrastingLabelColor(Color::colorWithDeviceWhite(0.49)), Color::whiteColor());
    EXPECT_EQ(contrastingLabelColor(QBrush(Qt::yellow)), darkGrey);
    EXPECT_EQ(contrastingLabelColor(QBrush(Qt::yellow, Qt::Dense4Pattern)), Color::blackColor());
    EXPECT_EQ(contrastingLabelColor(QBrush(QLinearGradient(0, 0, 1, 1))), Color::blackColor());
}

TEST(Diamond, PathThroughTheMidpointsOfTheSides)
{
    const BezierPath path = Diamond::bezierPathWithDiamondInRect(Rect(10, 20, 40, 60));
    ASSERT_EQ(path.elementCount(), 5);
    const Point expected[] = {{30, 80}, {50, 50}, {30, 20}, {10, 50}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(path.elementAtIndex(i).points[0], expected[i]) << i;
    EXPECT_EQ(path.elementAtIndex(4).type, BezierPath::ClosePathElement);
}

TEST(ViewScale, SetScaleIsAbsolute)
{
    QGraphicsView view;
    ViewScale::setScale(view, 2.0);
    ViewScale::setScale(view, 2.0);
    EXPECT_EQ(ViewScale::scale(view), 2.0);
    ViewScale::setScale(view, 0.5);
    EXPECT_DOUBLE_EQ(ViewScale::scale(view), 0.5);
}

TEST(ObjectControllerExtensions, SingleSelectionCountsRows)
{
    QStandardItemModel model(3, 2);
    QItemSelectionModel selection(&model);
    using ObjectControllerExtensions::singleSelection;
    EXPECT_FALSE(singleSelection(selection));
    selection.select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(singleSelection(selection)); // one row, two cells
    selection.select(model.index(2, 1), QItemSelectionModel::Select);
    EXPECT_FALSE(singleSelection(selection));
}

// An outline of a, b (with b1, b2) and c, two columns, shown with b open or
// closed; items are named by their first column's text.
TEST(MyExtensions, OutlineSelectionByItems)
{
    QStandardItemModel model;
    model.setColumnCount(2);
    for (const char *name : {"a", "b", "c"})
        model.appendRow({new QStandardItem(name), new QStandardItem("")});
    for (const char *name : {"b1", "b2"})
        model.item(1)->appendRow({new QStandardItem(name), new QStandardItem("")});
    QTreeView view;
    view.setModel(&model);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    const auto item = [&model](const char *name) {
        return model.findItems(name, Qt::MatchRecursive).value(0)->index();
    };
    const auto names = [](const QModelIndexList &items) {
        QStringList list;
        for (const QModelIndex &i : items)
            list << i.data().toString();
        return list.join(',');
    };
    const struct
    {
        const char *what;
        bool open;            // b's children shown
        QStringList selected; // selected beforehand, in this order
        QStringList items;
        bool extending;
        const char *all; // allSelectedItems afterwards
    } cases[] = {
        {"replaces the selection", true, {"a"}, {"c", "b1"}, false, "b1,c"},
        {"extends it", true, {"a"}, {"c"}, true, "a,c"},
        {"skips items not shown", false, {}, {"b2", "c", "a"}, false, "a,c"},
        {"nothing selects nothing", true, {"b"}, {}, false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        view.setExpanded(item("b"), c.open);
        view.selectionModel()->clearSelection();
        for (const QString &name : c.selected)
            view.selectionModel()->select(item(name.toUtf8()),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QModelIndexList items;
        for (const QString &name : c.items)
            items << item(name.toUtf8());
        MyExtensions::selectItems(view, items, c.extending);
        EXPECT_EQ(names(MyExtensions::allSelectedItems(view)), c.all);
    }
    // The selected item: the current row when it is selected, else the last.
    view.setExpanded(item("b"), true);
    MyExtensions::selectItems(view, {item("c"), item("a")}, false);
    view.selectionModel()->setCurrentIndex(item("a"), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(MyExtensions::selectedItem(view), item("a"));
    view.selectionModel()->setCurrentIndex(item("b1"), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(MyExtensions::selectedItem(view), item("c"));
    view.selectionModel()->clearSelection();
    EXPECT_FALSE(MyExtensions::selectedItem(view).isValid());
}

TEST(SelectByTag, FirstItemWithTheTagOrNone)
{
    QComboBox popUp;
    popUp.addItem("untagged");
    popUp.addItem("two", 2);
    popUp.addItem("again two", 2);
    popUp.addItem("seven", 7);
    const std::pair<int, int> cases[] = {{2, 1}, {7, 3}, {0, 0}, {5, -1}};
    for (const auto &[tag, index] : cases) {
        popUp.setCurrentIndex(3);
        SelectByTag::selectPopupItemWithTag(popUp, tag);
        EXPECT_EQ(popUp.currentIndex(), index) << tag;
    }
}

} // namespace
