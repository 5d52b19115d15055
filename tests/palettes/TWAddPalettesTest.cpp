#include "palettes/TWAddPalettes.h"
#include "palettes/TWDragAssetImageView.h"

#include <QApplication>
#include <QDrag>
#include <QEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

TEST(TWAddPalettes, TilesCarryTheCanvasTypesInOrder)
{
    TWAddPalettes group;
    const QStringList expected = {
        "TWPBoardTypeBranchLine",
        "TWPBoardTypeBranchRectangle",
        "TWPBoardTypeBranchRoundedRectangle",
        "TWPBoardTypeBranchCircle",
        "TWPBoardTypeBranchFlexi",
        "TWPBoardTypeGraphicAttachedText",
        "TWPBoardTypeGraphicRectange",
        "TWPBoardTypeGraphicRoundedRectange",
        "TWPBoardTypeGraphicOval",
        "TWPBoardTypeGraphicLinkLine",
    };
    QStringList types;
    for (TWDragAssetImageView *tile : group.tiles()) {
        types.append(tile->pBoardType());
        EXPECT_FALSE(tile->image().isNull());
        EXPECT_EQ(tile->parentWidget(), group.addPalette());
    }
    EXPECT_EQ(types, expected);

    const TWPaletteTable table = group.paletteDictionary();
    ASSERT_EQ(table.keys(), QStringList{"TWPaletteAdd"});
    const TWPaletteEntry entry = table.value(QStringLiteral("TWPaletteAdd"));
    EXPECT_EQ(entry.palette, group.addPalette());
    EXPECT_EQ(entry.title, QStringLiteral("Add Branches & Graphics"));
    EXPECT_EQ(entry.backgroundColor, Color::colorWithDeviceRed(0.2, 0.4, 0.6, 1.0));
    EXPECT_EQ(entry.borderColor, entry.backgroundColor);
}

TEST(TWDragAssetImageView, DragOffersOneTypeWithoutDataAndA48PointImage)
{
    struct Drag
    {
        QStringList formats;
        QByteArray data;
        QSize pixmap;
        QPoint hotSpot;
    };
    std::vector<Drag> drags;
    TWDragAssetImageView::setDragRunner([&](QDrag *drag) {
        const QMimeData *mime = drag->mimeData();
        drags.push_back({mime->formats(), mime->data(mime->formats().value(0)),
                         drag->pixmap().size(), drag->hotSpot()});
        return Qt::IgnoreAction;
    });
    struct Case
    {
        QSize image;
        QString type;
        bool drags;
        QSize dragged;
    };
    const Case cases[] = {
        {{64, 32}, "TWPBoardTypeGraphicOval", true, {48, 24}},
        {{16, 16}, "TWPBoardTypeBranchLine", true, {48, 48}},
        {{30, 90}, "TWPBoardTypeBranchFlexi", true, {16, 48}},
        {{}, "TWPBoardTypeBranchLine", false, {}}, // no image
        {{64, 32}, QString(), false, {}},          // no type
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.image.width() * 100 + c.image.height());
        drags.clear();
        TWDragAssetImageView tile;
        tile.resize(64, 64);
        if (!c.image.isEmpty()) {
            QImage image(c.image, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::red);
            tile.setImage(image);
        }
        tile.setPBoardType(c.type);
        const QPointF at(40, 30);
        QMouseEvent press(QEvent::MouseButtonPress, at, at, tile.mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&tile, &press);
        ASSERT_EQ(drags.size(), c.drags ? 1u : 0u);
        if (!c.drags)
            continue;
        EXPECT_EQ(drags[0].formats, QStringList{c.type});
        EXPECT_TRUE(drags[0].data.isEmpty());
        EXPECT_EQ(drags[0].pixmap, c.dragged);
        // The image is centred on the tile, under the pointer where it went down.
        const QPointF origin((64 - c.dragged.width()) / 2.0, (64 - c.dragged.height()) / 2.0);
        EXPECT_EQ(tile.dragImageOrigin(), origin);
        EXPECT_EQ(drags[0].hotSpot, (at - origin).toPoint());
    }
    TWDragAssetImageView::setDragRunner(
        [](QDrag *drag) { return drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction); });
}

TEST(TWDragAssetImageView, HoverShowsTheOpenHandAndAShadow)
{
    TWDragAssetImageView tile;
    tile.resize(40, 40);
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 4; y < 20; ++y)
        for (int x = 4; x < 20; ++x)
            image.setPixel(x, y, qRgba(0, 0, 255, 255));
    tile.setImage(image);
    tile.show();
    const QImage plain = tile.grab().toImage();

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), tile.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&tile, &enter);
    EXPECT_TRUE(tile.mouseOver());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::OpenHandCursor);
    // The shadow falls right of and below the picture.
    const QImage hovered = tile.grab().toImage();
    const QPoint shadowSpot(8 + 20 + 1, 8 + 20 + 1);
    EXPECT_EQ(qAlpha(plain.pixel(shadowSpot)), qAlpha(plain.pixel(0, 0)));
    EXPECT_NE(hovered.pixel(shadowSpot), plain.pixel(shadowSpot));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&tile, &leave);
    EXPECT_FALSE(tile.mouseOver());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // Leaving twice gives back no cursor that another pushed.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::sendEvent(&tile, &leave);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
}

} // namespace
