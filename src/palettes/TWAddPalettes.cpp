#include "palettes/TWAddPalettes.h"

#include "canvas/TWDragTypes.h"
#include "palettes/TWDragAssetImageView.h"
#include "platform/TWLocalizedString.h"

#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <functional>

namespace {

constexpr int TileSide = 36;

// The tile pictures: small drawings of what each drag makes.
QImage tilePicture(const std::function<void(QPainter &)> &draw)
{
    const qreal scale = 2.0; // sharp on high-density screens
    QImage image(QSize(TileSide, TileSide) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 70, 110), 1.5));
    painter.setBrush(QColor(200, 220, 245));
    draw(painter);
    return image;
}

void textLines(QPainter &painter, const QRectF &area)
{
    painter.save();
    painter.setPen(QPen(QColor(60, 60, 60), 1.2));
    const qreal y = area.center().y();
    painter.drawLine(QPointF(area.left() + 4, y - 2), QPointF(area.right() - 4, y - 2));
    painter.drawLine(QPointF(area.left() + 4, y + 2), QPointF(area.right() - 8, y + 2));
    painter.restore();
}

struct Tile
{
    const QString &type;
    const char *toolTip;
    std::function<void(QPainter &)> draw;
};

} // namespace

TWAddPalettes::TWAddPalettes(QObject *parent) : QObject(parent), m_addPalette(new QWidget)
{
    m_addPalette->setObjectName(QStringLiteral("addPalette"));
    auto *grid = new QGridLayout(m_addPalette);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(6);

    // The canvas creates by type alone, so the tiles drag its own names.
    using namespace TWDragTypes;
    const QRectF box(4, 9, 28, 18);
    const QList<Tile> table = {
        {BranchLine, "Line branch",
         [](QPainter &p) {
             p.drawLine(QPointF(3, 24), QPointF(33, 24));
             textLines(p, QRectF(3, 12, 30, 10));
         }},
        {BranchRectangle, "Rectangle branch",
         [=](QPainter &p) {
             p.drawRect(box);
             textLines(p, box);
         }},
        {BranchRoundedRectangle, "Rounded rectangle branch",
         [=](QPainter &p) {
             p.drawRoundedRect(box, 5, 5);
             textLines(p, box);
         }},
        {BranchCircle, "Oval branch",
         [=](QPainter &p) {
             p.drawEllipse(box.adjusted(-1, -2, 1, 2));
             textLines(p, box);
         }},
        {BranchFlexi, "Flexi branch",
         [](QPainter &p) {
             QPainterPath wave(QPointF(3, 24));
             wave.cubicTo(QPointF(12, 14), QPointF(22, 32), QPointF(33, 18));
             p.setBrush(Qt::NoBrush);
             p.drawPath(wave);
             textLines(p, QRectF(6, 8, 26, 10));
         }},
        {GraphicAttachedText, "Attached text",
         [](QPainter &p) {
             QFont font = p.font();
             font.setPixelSize(18);
             font.setBold(true);
             p.setFont(font);
             p.drawText(QRectF(0, 0, TileSide, TileSide), Qt::AlignCenter, QStringLiteral("T"));
         }},
        {GraphicRectangle, "Attached rectangle",
         [](QPainter &p) { p.drawRect(QRectF(7, 7, 22, 22)); }},
        {GraphicRoundedRectangle, "Attached rounded rectangle",
         [](QPainter &p) { p.drawRoundedRect(QRectF(7, 7, 22, 22), 6, 6); }},
        {GraphicOval, "Attached oval", [](QPainter &p) { p.drawEllipse(QRectF(7, 7, 22, 22)); }},
        {GraphicLinkLine, "Link line",
         [](QPainter &p) {
             p.setBrush(Qt::NoBrush);
             QPainterPath curve(QPointF(5, 28));
             curve.cubicTo(QPointF(8, 8), QPointF(24, 6), QPointF(30, 10));
             p.drawPath(curve);
             p.setBrush(p.pen().color());
             p.drawPolygon(QPolygonF({{31, 10}, {25, 6}, {26, 13}}));
         }},
    };
    for (int i = 0; i < table.size(); ++i) {
        auto *tile = new TWDragAssetImageView(m_addPalette);
        tile->setFixedSize(TileSide, TileSide);
        tile->setImage(tilePicture(table[i].draw));
        tile->setPBoardType(table[i].type);
        tile->setToolTip(TWLocalizedString("DadoZiz", QString::fromLatin1(table[i].toolTip)));
        grid->addWidget(tile, i / 5, i % 5);
        m_tiles.append(tile);
    }
    m_addPalette->adjustSize();
    m_addPalette->setFixedSize(m_addPalette->sizeHint());
}

TWAddPalettes::~TWAddPalettes()
{
    delete m_addPalette.data();
}

TWPaletteTable TWAddPalettes::paletteDictionary() const
{
    const Color colour = Color::colorWithDeviceRed(0.2, 0.4, 0.6, 1.0);
    TWPaletteTable table;
    table.insert(PaletteID,
                 {m_addPalette,
                  TWLocalizedString("DadoZiz", QStringLiteral("Add Branches & Graphics")), colour,
                  colour});
    return table;
}
