#include "application/TWToolbarImages.h"

#include "interface/ImageExtensions.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

constexpr int Side = 128;

using Painter = std::function<void(QPainter &)>;

const QColor Ink(60, 66, 78);
const QColor Paper(250, 250, 246);
const QColor Accent(58, 120, 200);

void page(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(Ink, 4));
    p.setBrush(Paper);
    p.drawRoundedRect(r, 6, 6);
}

void lines(QPainter &p, qreal x, qreal y, qreal width, int count, qreal step, bool bullets)
{
    p.setPen(QPen(Ink, 5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < count; ++i) {
        const qreal indent = bullets && i % 2 ? 14 : 0;
        if (bullets) {
            p.setBrush(Accent);
            p.drawEllipse(QPointF(x + indent, y + i * step), 4, 4);
            p.drawLine(QPointF(x + indent + 12, y + i * step), QPointF(x + width, y + i * step));
        } else {
            p.drawLine(QPointF(x, y + i * step), QPointF(x + width, y + i * step));
        }
    }
}

const QHash<QString, Painter> &painters()
{
    static const QHash<QString, Painter> table{
        {QStringLiteral("TWPreferencesSwitch"),
         [](QPainter &p) {
             p.setPen(QPen(Ink, 4));
             p.setBrush(QColor(120, 190, 110));
             p.drawRoundedRect(QRectF(14, 40, 100, 48), 24, 24);
             p.setBrush(Paper);
             p.drawEllipse(QPointF(90, 64), 20, 20);
         }},
        {QStringLiteral("TWPreferencesText"),
         [](QPainter &p) {
             QFont font(QStringLiteral("DejaVu Serif"));
             font.setPixelSize(96);
             font.setBold(true);
             p.setFont(font);
             p.setPen(Ink);
             p.drawText(QRectF(0, 0, Side, Side), Qt::AlignCenter, QStringLiteral("A"));
         }},
        {QStringLiteral("Circle3"),
         [](QPainter &p) {
             p.setPen(QPen(Ink, 4));
             const QColor colours[] = {QColor(220, 80, 70), QColor(90, 170, 90), Accent};
             const QPointF centres[] = {{64, 40}, {40, 84}, {88, 84}};
             for (int i = 0; i < 3; ++i) {
                 p.setBrush(colours[i]);
                 p.drawEllipse(centres[i], 26, 26);
             }
         }},
        {QStringLiteral("TWToolbarScreenwriterWindow"),
         [](QPainter &p) {
             page(p, QRectF(26, 10, 76, 108));
             lines(p, 40, 32, 48, 6, 14, false);
         }},
        {QStringLiteral("iLifeIcon"),
         [](QPainter &p) {
             page(p, QRectF(10, 22, 108, 84));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(90, 170, 90));
             QPainterPath hills;
             hills.moveTo(16, 100);
             hills.lineTo(50, 56);
             hills.lineTo(74, 82);
             hills.lineTo(88, 66);
             hills.lineTo(112, 100);
             hills.closeSubpath();
             p.drawPath(hills);
             p.setBrush(QColor(240, 190, 60));
             p.drawEllipse(QPointF(92, 42), 10, 10);
         }},
        {QStringLiteral("TWToolbarOutlineWindow"),
         [](QPainter &p) {
             page(p, QRectF(14, 14, 100, 100));
             lines(p, 30, 34, 90, 5, 16, true);
         }},
        {QStringLiteral("TWToolbarNotesWindow"),
         [](QPainter &p) {
             p.setPen(QPen(Ink, 4));
             p.setBrush(QColor(255, 236, 140));
             QPainterPath note;
             note.moveTo(16, 16);
             note.lineTo(112, 16);
             note.lineTo(112, 88);
             note.lineTo(88, 112);
             note.lineTo(16, 112);
             note.closeSubpath();
             p.drawPath(note);
             lines(p, 30, 38, 68, 4, 16, false);
         }},
        {QStringLiteral("TWToolbarOutlineComboWindow"),
         [](QPainter &p) {
             page(p, QRectF(8, 14, 112, 100));
             p.drawLine(QPointF(64, 14), QPointF(64, 114));
             lines(p, 20, 34, 56, 5, 16, true);
             lines(p, 74, 34, 110, 5, 16, false);
         }},
        {QStringLiteral("TWToolbarTheme"),
         [](QPainter &p) {
             p.setPen(QPen(Ink, 4));
             p.setBrush(QColor(230, 206, 160));
             p.drawEllipse(QRectF(10, 18, 108, 92));
             const QColor colours[] = {QColor(220, 80, 70), QColor(240, 190, 60),
                                       QColor(90, 170, 90), Accent};
             const QPointF centres[] = {{40, 46}, {70, 36}, {96, 56}, {38, 80}};
             p.setPen(Qt::NoPen);
             for (int i = 0; i < 4; ++i) {
                 p.setBrush(colours[i]);
                 p.drawEllipse(centres[i], 11, 11);
             }
         }},
        {QStringLiteral("TWDocumentViewToolbarIcon"),
         [](QPainter &p) {
             for (int row = 0; row < 2; ++row)
                 for (int column = 0; column < 2; ++column)
                     page(p, QRectF(12 + column * 56, 12 + row * 56, 48, 48));
         }},
        {QStringLiteral("TWToolbarFullScreenOn"),
         [](QPainter &p) {
             page(p, QRectF(10, 22, 108, 84));
             p.setPen(QPen(Accent, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.drawPolyline(QPolygonF({{28, 56}, {28, 38}, {46, 38}}));
             p.drawPolyline(QPolygonF({{82, 38}, {100, 38}, {100, 56}}));
             p.drawPolyline(QPolygonF({{28, 72}, {28, 90}, {46, 90}}));
             p.drawPolyline(QPolygonF({{82, 90}, {100, 90}, {100, 72}}));
         }},
        {QStringLiteral("NSToolbarShowColors"),
         [](QPainter &p) {
             const QColor colours[] = {QColor(220, 80, 70),
                                       QColor(240, 190, 60),
                                       QColor(90, 170, 90),
                                       QColor(60, 180, 200),
                                       Accent,
                                       QColor(160, 90, 190)};
             p.setPen(Qt::NoPen);
             for (int i = 0; i < 6; ++i) {
                 p.setBrush(colours[i]);
                 p.drawPie(QRectF(10, 10, 108, 108), i * 960, 960);
             }
         }},
        {QStringLiteral("NSToolbarShowFonts"),
         [](QPainter &p) {
             QFont font(QStringLiteral("DejaVu Serif"));
             font.setPixelSize(72);
             p.setFont(font);
             p.setPen(Ink);
             p.drawText(QRectF(0, 0, Side, Side), Qt::AlignCenter, QStringLiteral("Aa"));
         }},
        {QStringLiteral("NSToolbarPrint"),
         [](QPainter &p) {
             page(p, QRectF(34, 10, 60, 40));
             p.setPen(QPen(Ink, 4));
             p.setBrush(QColor(180, 186, 196));
             p.drawRoundedRect(QRectF(10, 46, 108, 48), 8, 8);
             page(p, QRectF(34, 78, 60, 40));
         }},
    };
    return table;
}

} // namespace

QImage TWToolbarImages::named(const QString &name)
{
    const auto painter = painters().find(name);
    if (painter == painters().end())
        return {};
    QImage image(Side, Side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    (*painter)(p);
    return image;
}

QIcon TWToolbarImages::icon(const QString &name, int side)
{
    const QImage image = named(name);
    if (image.isNull())
        return {};
    return QIcon(QPixmap::fromImage(ImageExtensions::imageScaledToSize(image, QSizeF(side, side))));
}
