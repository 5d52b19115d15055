#include "MindManagerImpExp/mmAdornments.h"

#include "MindManagerImpExp/mmTables.h"
#include "graphics/TWEnclosedGraphic.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <functional>

namespace mmAdornments {

namespace {

// Every picture is drawn on a 16 x 16 grid.
constexpr int Side = 16;

const QColor kInk(50, 50, 50);
const QColor kSkin(245, 200, 150);
const QColor kBlue(40, 100, 210);

QPen pen(const QColor &colour, qreal width = 1.0)
{
    QPen p(colour, width);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

// The signs are drawn as strokes rather than set in a font: the pictures
// must not depend on the fonts installed, nor need a font database.
enum class Sign { Question, Dollar, Euro };

void sign(QPainter &p, Sign kind, const QColor &colour)
{
    p.setPen(pen(colour, kind == Sign::Question ? 2.0 : 1.5));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    switch (kind) {
    case Sign::Question:
        path.moveTo(5.2, 5.8);
        path.arcTo(QRectF(5.2, 3, 5.6, 5.4), 160, -230);
        path.lineTo(8, 9.8);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(8, 12.6), 1.2, 1.2);
        return;
    case Sign::Dollar:
        path.moveTo(10.8, 5.2);
        path.cubicTo(10, 3.2, 5.2, 3.4, 5.4, 6);
        path.cubicTo(5.6, 8.4, 10.6, 7.4, 10.6, 10.2);
        path.cubicTo(10.6, 12.9, 5.8, 13.2, 5, 10.8);
        path.moveTo(8, 2.2);
        path.lineTo(8, 13.8);
        break;
    case Sign::Euro:
        path.arcMoveTo(QRectF(4.5, 3.5, 8, 9), 50);
        path.arcTo(QRectF(4.5, 3.5, 8, 9), 50, 260);
        path.moveTo(3, 7);
        path.lineTo(9, 7);
        path.moveTo(3, 9.3);
        path.lineTo(8.5, 9.3);
        break;
    }
    p.drawPath(path);
}

void disc(QPainter &p, const QColor &fill, const QColor &rim)
{
    p.setPen(pen(rim));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

enum class Mouth { Smile, Straight, Frown, Angry, Scream };

void smiley(QPainter &p, Mouth mouth)
{
    const QColor face = mouth == Mouth::Angry    ? QColor(240, 110, 60)
                        : mouth == Mouth::Scream ? QColor(200, 225, 245)
                                                 : QColor(255, 215, 60);
    disc(p, face, face.darker(170));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    if (mouth == Mouth::Scream) {
        p.setBrush(Qt::white);
        p.setPen(pen(kInk, 0.8));
        p.drawEllipse(QRectF(4, 4, 3, 3.5));
        p.drawEllipse(QRectF(9, 4, 3, 3.5));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(QRectF(6, 8.5, 4, 5));
        return;
    }
    p.drawEllipse(QRectF(5, 5, 2, 2.5));
    p.drawEllipse(QRectF(9, 5, 2, 2.5));
    p.setPen(pen(kInk, 1.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath m;
    switch (mouth) {
    case Mouth::Smile:
        m.moveTo(4.5, 9.5);
        m.quadTo(8, 13.5, 11.5, 9.5);
        break;
    case Mouth::Straight:
        m.moveTo(5, 10.5);
        m.lineTo(11, 10.5);
        break;
    case Mouth::Angry:
        p.drawLine(QPointF(4, 3.5), QPointF(7, 5));
        p.drawLine(QPointF(12, 3.5), QPointF(9, 5));
        Q_FALLTHROUGH();
    default:
        m.moveTo(4.5, 12.5);
        m.quadTo(8, 7.5, 11.5, 12.5);
        break;
    }
    p.drawPath(m);
}

void flag(QPainter &p, const QColor &colour)
{
    p.setPen(pen(QColor(110, 110, 110), 1.5));
    p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 14.5));
    QPainterPath cloth;
    cloth.moveTo(4, 2);
    cloth.cubicTo(7, 0.5, 9, 3.5, 14, 2);
    cloth.lineTo(14, 8.5);
    cloth.cubicTo(9, 10, 7, 7, 4, 8.5);
    cloth.closeSubpath();
    p.setPen(pen(colour == Qt::black ? QColor(90, 90, 90) : colour.darker(150)));
    p.setBrush(colour);
    p.drawPath(cloth);
}

void marker(QPainter &p, const QColor &colour)
{
    p.translate(8, 8);
    p.rotate(45);
    p.setPen(pen(colour.darker(160), 0.8));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(-2.2, -7.5, 4.4, 10), 1, 1);
    p.setBrush(QColor(235, 215, 170));
    p.drawPolygon(QPolygonF({QPointF(-2.2, 2.5), QPointF(2.2, 2.5), QPointF(0, 7)}));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({QPointF(-0.8, 5.4), QPointF(0.8, 5.4), QPointF(0, 7)}));
}

void person(QPainter &p, QRectF head, QRectF body, const QColor &shirt)
{
    p.setPen(pen(shirt.darker(160), 0.8));
    p.setBrush(shirt);
    p.drawRoundedRect(body, body.width() / 2.5, body.width() / 2.5);
    p.setPen(pen(QColor(170, 120, 80), 0.8));
    p.setBrush(kSkin);
    p.drawEllipse(head);
}

// An arrow pointing up; the other directions turn it.
void arrow(QPainter &p, qreal degrees)
{
    p.translate(8, 8);
    p.rotate(degrees);
    p.translate(-8, -8);
    const QPolygonF shape(
        {{8, 1}, {14.5, 7.5}, {10.5, 7.5}, {10.5, 15}, {5.5, 15}, {5.5, 7.5}, {1.5, 7.5}});
    p.setPen(pen(kBlue.darker(150)));
    p.setBrush(kBlue);
    p.drawPolygon(shape);
}

void padlock(QPainter &p, bool locked)
{
    p.setPen(pen(QColor(120, 120, 130), 1.8));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    if (locked) {
        shackle.moveTo(5, 7.5);
        shackle.lineTo(5, 5);
        shackle.arcTo(QRectF(5, 2, 6, 6), 180, -180);
        shackle.lineTo(11, 7.5);
    } else {
        shackle.moveTo(5, 7.5);
        shackle.lineTo(5, 3.5);
        shackle.arcTo(QRectF(5, 0.5, 6, 6), 180, -180);
        shackle.lineTo(11, 4.5);
    }
    p.drawPath(shackle);
    p.setPen(pen(QColor(160, 120, 0)));
    p.setBrush(QColor(235, 185, 40));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QRectF(7, 9.5, 2, 2));
    p.drawRect(QRectF(7.6, 11, 0.8, 2.5));
}

void thumb(QPainter &p, bool up)
{
    if (!up) {
        p.translate(8, 8);
        p.rotate(180);
        p.translate(-8, -8);
    }
    p.setPen(pen(QColor(170, 120, 80), 0.8));
    p.setBrush(kSkin);
    p.drawRoundedRect(QRectF(5.5, 1.5, 3.5, 8), 1.7, 1.7);
    p.drawRoundedRect(QRectF(5, 6.5, 8.5, 8), 2, 2);
    p.setPen(pen(QColor(170, 120, 80), 0.7));
    for (qreal y : {9.0, 11.0, 13.0})
        p.drawLine(QPointF(9.5, y), QPointF(13, y));
    p.setPen(pen(up ? QColor(30, 130, 50) : QColor(190, 40, 40), 0.8));
    p.setBrush(up ? QColor(60, 170, 80) : QColor(220, 70, 70));
    p.drawRect(QRectF(1.5, 7.5, 3, 7.5));
}

using Drawing = std::function<void(QPainter &)>;

const QHash<QString, Drawing> &drawings()
{
    static const QHash<QString, Drawing> table = {
        {"Unknown",
         [](QPainter &p) {
             QPen dashed = pen(QColor(120, 120, 120));
             dashed.setDashPattern({1.5, 1.5});
             p.setPen(dashed);
             p.setBrush(QColor(225, 225, 225));
             p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
             sign(p, Sign::Question, QColor(110, 110, 110));
         }},
        {"SmileyHappy", [](QPainter &p) { smiley(p, Mouth::Smile); }},
        {"SmileyNeutral", [](QPainter &p) { smiley(p, Mouth::Straight); }},
        {"SmileySad", [](QPainter &p) { smiley(p, Mouth::Frown); }},
        {"SmileyAngry", [](QPainter &p) { smiley(p, Mouth::Angry); }},
        {"SmileyScreaming", [](QPainter &p) { smiley(p, Mouth::Scream); }},
        {"Clock",
         [](QPainter &p) {
             disc(p, Qt::white, kInk);
             p.setPen(pen(kInk, 0.8));
             for (int i = 0; i < 4; ++i) {
                 p.drawLine(QPointF(8, 2.5), QPointF(8, 3.5));
                 p.translate(8, 8);
                 p.rotate(90);
                 p.translate(-8, -8);
             }
             p.setPen(pen(kInk, 1.3));
             p.drawLine(QPointF(8, 8), QPointF(8, 4));
             p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
         }},
        {"Calendar",
         [](QPainter &p) {
             p.setPen(pen(kInk, 0.8));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(1.5, 2.5, 13, 12));
             p.setBrush(QColor(210, 50, 50));
             p.drawRect(QRectF(1.5, 2.5, 13, 3.5));
             p.setPen(pen(kInk, 1.2));
             p.drawLine(QPointF(5, 1), QPointF(5, 4));
             p.drawLine(QPointF(11, 1), QPointF(11, 4));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(120, 120, 120));
             for (qreal y : {7.5, 10.5})
                 for (qreal x : {3.5, 6.5, 9.5, 12.0})
                     p.drawRect(QRectF(x, y, 1.5, 1.5));
             p.setBrush(QColor(210, 50, 50));
             p.drawRect(QRectF(3.5, 12.5, 1.5, 1.5));
         }},
        {"Letter",
         [](QPainter &p) {
             p.setPen(pen(kInk, 0.8));
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({{3, 1.5}, {10, 1.5}, {13, 4.5}, {13, 14.5}, {3, 14.5}}));
             p.drawPolyline(QPolygonF({{10, 1.5}, {10, 4.5}, {13, 4.5}}));
             p.setPen(pen(QColor(140, 140, 140), 0.8));
             for (qreal y : {6.5, 8.5, 10.5, 12.5})
                 p.drawLine(QPointF(5, y), QPointF(11, y));
         }},
        {"Email",
         [](QPainter &p) {
             p.setPen(pen(QColor(60, 90, 150)));
             p.setBrush(QColor(215, 230, 250));
             p.drawRect(QRectF(1.5, 3.5, 13, 9));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF({{1.5, 3.5}, {8, 9}, {14.5, 3.5}}));
             p.drawLine(QPointF(1.5, 12.5), QPointF(6, 8));
             p.drawLine(QPointF(14.5, 12.5), QPointF(10, 8));
         }},
        {"Mailbox",
         [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(120, 80, 40));
             p.drawRect(QRectF(7, 10, 2, 5.5));
             p.setPen(pen(QColor(30, 60, 120), 0.8));
             p.setBrush(QColor(60, 110, 190));
             p.drawRoundedRect(QRectF(1.5, 4, 12, 6.5), 3, 3);
             p.setBrush(QColor(30, 60, 120));
             p.drawEllipse(QRectF(2.5, 5, 3, 4.5));
             p.setPen(pen(QColor(200, 40, 40), 1.2));
             p.drawLine(QPointF(12, 7), QPointF(12, 1.5));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(220, 40, 40));
             p.drawRect(QRectF(12, 1.5, 3, 2));
         }},
        {"Megaphone",
         [](QPainter &p) {
             p.setPen(pen(QColor(170, 70, 20), 0.8));
             p.setBrush(QColor(240, 120, 40));
             p.drawPolygon(QPolygonF({{3, 6}, {11, 2}, {11, 14}, {3, 10}}));
             p.setBrush(QColor(90, 90, 90));
             p.drawRect(QRectF(1, 6, 2, 4));
             p.drawLine(QPointF(5.5, 10.5), QPointF(6.5, 13.5));
             p.setPen(pen(kInk, 0.8));
             p.drawLine(QPointF(12.5, 5), QPointF(14.5, 3.5));
             p.drawLine(QPointF(12.5, 8), QPointF(15, 8));
             p.drawLine(QPointF(12.5, 11), QPointF(14.5, 12.5));
         }},
        {"House",
         [](QPainter &p) {
             p.setPen(pen(QColor(120, 90, 60), 0.8));
             p.setBrush(QColor(240, 225, 190));
             p.drawRect(QRectF(3, 7.5, 10, 7));
             p.setBrush(QColor(200, 60, 40));
             p.drawPolygon(QPolygonF({{1, 8.5}, {8, 1.5}, {15, 8.5}}));
             p.setBrush(QColor(120, 80, 40));
             p.drawRect(QRectF(7, 10, 2.5, 4.5));
             p.setBrush(QColor(150, 200, 240));
             p.drawRect(QRectF(4, 9.5, 2, 2));
         }},
        {"Rolodex",
         [](QPainter &p) {
             p.setPen(pen(QColor(60, 60, 60), 0.8));
             p.setBrush(QColor(90, 90, 90));
             p.drawRoundedRect(QRectF(2, 12, 12, 3), 1.5, 1.5);
             p.setBrush(QColor(245, 245, 235));
             for (int i = 0; i < 3; ++i)
                 p.drawRect(QRectF(3 + i, 3 + i * 1.5, 10 - 2 * i, 8.5 - i * 1.5));
             p.setPen(pen(QColor(140, 140, 140), 0.7));
             p.drawLine(QPointF(7, 8), QPointF(11, 8));
             p.drawLine(QPointF(7, 10), QPointF(11, 10));
             p.setPen(pen(QColor(60, 60, 60), 1.2));
             p.drawLine(QPointF(2, 13.5), QPointF(2, 9));
             p.drawLine(QPointF(14, 13.5), QPointF(14, 9));
         }},
        {"Dollar",
         [](QPainter &p) {
             disc(p, QColor(50, 150, 60), QColor(30, 100, 40));
             sign(p, Sign::Dollar, Qt::white);
         }},
        {"Euro",
         [](QPainter &p) {
             disc(p, QColor(40, 70, 170), QColor(20, 40, 110));
             sign(p, Sign::Euro, QColor(255, 210, 60));
         }},
        {"FlagRed", [](QPainter &p) { flag(p, QColor(210, 40, 40)); }},
        {"FlagBlue", [](QPainter &p) { flag(p, QColor(40, 90, 200)); }},
        {"FlagGreen", [](QPainter &p) { flag(p, QColor(40, 150, 60)); }},
        {"FlagBlack", [](QPainter &p) { flag(p, Qt::black); }},
        {"FlagOrange", [](QPainter &p) { flag(p, QColor(245, 115, 0)); }},
        {"FlagYellow", [](QPainter &p) { flag(p, QColor(250, 225, 40)); }},
        {"FlagPurple", [](QPainter &p) { flag(p, QColor(130, 50, 170)); }},
        {"TrafficLightsRed",
         [](QPainter &p) {
             p.setPen(pen(QColor(20, 20, 20), 0.8));
             p.setBrush(QColor(60, 60, 60));
             p.drawRoundedRect(QRectF(4.5, 0.5, 7, 15), 2, 2);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(255, 40, 30));
             p.drawEllipse(QRectF(6, 1.5, 4, 4));
             p.setBrush(QColor(110, 95, 30));
             p.drawEllipse(QRectF(6, 6, 4, 4));
             p.setBrush(QColor(30, 85, 40));
             p.drawEllipse(QRectF(6, 10.5, 4, 4));
         }},
        {"Marker1", [](QPainter &p) { marker(p, QColor(40, 90, 200)); }},
        {"Marker2", [](QPainter &p) { marker(p, QColor(210, 40, 40)); }},
        {"Marker3", [](QPainter &p) { marker(p, QColor(40, 150, 60)); }},
        {"Marker4", [](QPainter &p) { marker(p, QColor(130, 50, 170)); }},
        {"Marker5", [](QPainter &p) { marker(p, QColor(240, 210, 30)); }},
        {"Marker6", [](QPainter &p) { marker(p, QColor(110, 180, 240)); }},
        {"Marker7", [](QPainter &p) { marker(p, QColor(128, 128, 128)); }},
        {"Resource1",
         [](QPainter &p) {
             person(p, QRectF(5, 1.5, 6, 6), QRectF(2.5, 8, 11, 8), QColor(50, 100, 200));
         }},
        {"Resource2",
         [](QPainter &p) {
             person(p, QRectF(5, 1.5, 6, 6), QRectF(2.5, 8, 11, 8), QColor(200, 120, 40));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(90, 60, 30));
             p.drawChord(QRectF(5, 1.5, 6, 6), 0, 180 * 16);
         }},
        {"PadlockLocked", [](QPainter &p) { padlock(p, true); }},
        {"PadlockUnlocked", [](QPainter &p) { padlock(p, false); }},
        {"ArrowUp", [](QPainter &p) { arrow(p, 0); }},
        {"ArrowRight", [](QPainter &p) { arrow(p, 90); }},
        {"ArrowDown", [](QPainter &p) { arrow(p, 180); }},
        {"ArrowLeft", [](QPainter &p) { arrow(p, 270); }},
        {"TwoEndArrow",
         [](QPainter &p) {
             p.setPen(pen(kBlue.darker(150)));
             p.setBrush(kBlue);
             p.drawPolygon(QPolygonF({{8, 0.5},
                                      {13, 5.5},
                                      {10, 5.5},
                                      {10, 10.5},
                                      {13, 10.5},
                                      {8, 15.5},
                                      {3, 10.5},
                                      {6, 10.5},
                                      {6, 5.5},
                                      {3, 5.5}}));
         }},
        {"Phone",
         [](QPainter &p) {
             p.setPen(pen(QColor(20, 20, 20), 0.8));
             p.setBrush(QColor(60, 60, 60));
             p.drawPolygon(QPolygonF({{3.5, 8}, {12.5, 8}, {15, 14.5}, {1, 14.5}}));
             QPainterPath handset;
             handset.moveTo(1, 7.5);
             handset.lineTo(1, 4.5);
             handset.quadTo(8, 1, 15, 4.5);
             handset.lineTo(15, 7.5);
             handset.lineTo(11.5, 7.5);
             handset.lineTo(11.5, 5.5);
             handset.quadTo(8, 4.5, 4.5, 5.5);
             handset.lineTo(4.5, 7.5);
             handset.closeSubpath();
             p.drawPath(handset);
             p.setBrush(Qt::white);
             p.drawEllipse(QRectF(6, 9, 4, 4));
         }},
        {"Cellphone",
         [](QPainter &p) {
             p.setPen(pen(QColor(20, 20, 20), 0.8));
             p.setBrush(QColor(50, 50, 60));
             p.drawRoundedRect(QRectF(4.5, 0.5, 7, 15), 1.5, 1.5);
             p.setBrush(QColor(140, 200, 240));
             p.drawRect(QRectF(5.5, 2, 5, 6.5));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(200, 200, 200));
             for (qreal y : {10.0, 12.0})
                 for (qreal x : {5.8, 7.5, 9.2})
                     p.drawRect(QRectF(x, y, 1, 1));
         }},
        {"Camera",
         [](QPainter &p) {
             p.setPen(pen(QColor(20, 20, 20), 0.8));
             p.setBrush(QColor(70, 70, 70));
             p.drawRect(QRectF(5, 2.5, 5, 3));
             p.drawRoundedRect(QRectF(1, 4.5, 14, 9.5), 1.5, 1.5);
             p.setBrush(QColor(200, 200, 200));
             p.drawEllipse(QRectF(4.5, 5.5, 7, 7));
             p.setBrush(QColor(40, 80, 150));
             p.drawEllipse(QRectF(6.2, 7.2, 3.6, 3.6));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(255, 240, 150));
             p.drawRect(QRectF(12, 5.5, 2, 1.5));
         }},
        {"Fax",
         [](QPainter &p) {
             p.setPen(pen(kInk, 0.8));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(4, 1, 8, 7));
             p.setPen(pen(QColor(140, 140, 140), 0.7));
             for (qreal y : {3.0, 5.0})
                 p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
             p.setPen(pen(QColor(60, 60, 60), 0.8));
             p.setBrush(QColor(190, 190, 195));
             p.drawRoundedRect(QRectF(1, 7, 14, 7.5), 1.5, 1.5);
             p.setBrush(kInk);
             p.drawRect(QRectF(3.5, 8.5, 9, 1));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(40, 140, 60));
             p.drawRect(QRectF(3, 11.5, 1.5, 1.5));
             p.setBrush(QColor(80, 80, 80));
             for (qreal x : {6.5, 8.5, 10.5})
                 p.drawRect(QRectF(x, 11.5, 1.5, 1.5));
         }},
        {"Stop",
         [](QPainter &p) {
             QPolygonF octagon;
             for (int i = 0; i < 8; ++i) {
                 const qreal a = (22.5 + 45 * i) * M_PI / 180;
                 octagon << QPointF(8 + 7 * std::cos(a), 8 + 7 * std::sin(a));
             }
             p.setPen(pen(QColor(140, 20, 20), 0.8));
             p.setBrush(QColor(215, 30, 30));
             p.drawPolygon(octagon);
             p.setPen(pen(Qt::white, 0.8));
             p.setBrush(Qt::NoBrush);
             p.drawPolygon(
                 QTransform().translate(8, 8).scale(0.8, 0.8).translate(-8, -8).map(octagon));
             p.setPen(pen(Qt::white, 1.6));
             p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
             p.drawLine(QPointF(5, 6), QPointF(5, 10.5));
             p.drawLine(QPointF(11, 6), QPointF(11, 10.5));
         }},
        {"ExclamationMark",
         [](QPainter &p) {
             p.setPen(pen(QColor(150, 110, 0)));
             p.setBrush(QColor(255, 200, 30));
             p.drawPolygon(QPolygonF({{8, 1}, {15, 14.5}, {1, 14.5}}));
             p.setPen(pen(kInk, 1.8));
             p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
             p.drawPoint(QPointF(8, 12.3));
         }},
        {"QuestionMark",
         [](QPainter &p) {
             disc(p, kBlue, kBlue.darker(150));
             sign(p, Sign::Question, Qt::white);
         }},
        {"ThumbsUp", [](QPainter &p) { thumb(p, true); }},
        {"ThumbsDown", [](QPainter &p) { thumb(p, false); }},
        {"OnHold",
         [](QPainter &p) {
             disc(p, QColor(240, 150, 30), QColor(170, 100, 10));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(5, 4.5, 2.2, 7));
             p.drawRect(QRectF(8.8, 4.5, 2.2, 7));
         }},
        {"Hourglass",
         [](QPainter &p) {
             p.setPen(pen(QColor(110, 130, 150), 0.8));
             p.setBrush(QColor(225, 240, 250));
             p.drawPolygon(
                 QPolygonF({{3.5, 2}, {12.5, 2}, {8.8, 8}, {12.5, 14}, {3.5, 14}, {7.2, 8}}));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(230, 180, 60));
             p.drawPolygon(QPolygonF({{5, 4}, {11, 4}, {8, 7.5}}));
             p.drawPolygon(QPolygonF({{8, 11}, {11.5, 14}, {4.5, 14}}));
             p.setBrush(QColor(120, 80, 40));
             p.drawRect(QRectF(2, 0.5, 12, 1.8));
             p.drawRect(QRectF(2, 13.7, 12, 1.8));
         }},
        {"Emergency",
         [](QPainter &p) {
             p.setPen(pen(QColor(200, 30, 30)));
             p.setBrush(Qt::white);
             p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2.5, 2.5);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(215, 30, 30));
             p.drawRect(QRectF(6.3, 3.5, 3.4, 9));
             p.drawRect(QRectF(3.5, 6.3, 9, 3.4));
         }},
        {"NoEntry",
         [](QPainter &p) {
             disc(p, QColor(215, 30, 30), QColor(140, 20, 20));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(3.5, 6.8, 9, 2.4));
         }},
        {"Bomb",
         [](QPainter &p) {
             p.setPen(pen(QColor(150, 110, 60), 1.1));
             p.setBrush(Qt::NoBrush);
             QPainterPath fuse;
             fuse.moveTo(10.5, 4.5);
             fuse.quadTo(12, 1, 14, 2.5);
             p.drawPath(fuse);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(255, 150, 0));
             p.drawEllipse(QPointF(14, 2.2), 1.6, 1.6);
             p.setBrush(QColor(25, 25, 30));
             p.drawEllipse(QRectF(1, 4.5, 11, 11));
             p.drawRect(QRectF(8.5, 3.5, 3, 3));
             p.setPen(pen(QColor(200, 200, 210), 1));
             p.drawArc(QRectF(3, 6.5, 5, 5), 100 * 16, 70 * 16);
         }},
        {"Key",
         [](QPainter &p) {
             p.setPen(pen(QColor(170, 120, 10), 2));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(1.5, 1.5, 5.5, 5.5));
             p.drawLine(QPointF(6.3, 6.3), QPointF(14, 14));
             p.drawLine(QPointF(11.5, 11.5), QPointF(13.5, 9.5));
             p.drawLine(QPointF(9.5, 9.5), QPointF(11, 8));
         }},
        {"Glasses",
         [](QPainter &p) {
             p.setPen(pen(kInk, 1.3));
             p.setBrush(QColor(190, 225, 245));
             p.drawEllipse(QRectF(1, 6.5, 5.8, 5));
             p.drawEllipse(QRectF(9.2, 6.5, 5.8, 5));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(6.5, 7, 3, 2.5), 0, 180 * 16);
             p.drawLine(QPointF(1, 8.5), QPointF(0.5, 4.5));
             p.drawLine(QPointF(15, 8.5), QPointF(15.5, 4.5));
         }},
        {"JudgeHammer",
         [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(90, 55, 25));
             p.drawRect(QRectF(1, 13, 8, 2.5));
             p.setPen(pen(QColor(140, 90, 40), 1.8));
             p.drawLine(QPointF(7, 7), QPointF(14.5, 14.5));
             p.translate(6, 6);
             p.rotate(45);
             p.setPen(pen(QColor(90, 55, 25), 0.8));
             p.setBrush(QColor(160, 100, 45));
             p.drawRoundedRect(QRectF(-2.8, -5.5, 5.6, 11), 1, 1);
         }},
        {"Rocket",
         [](QPainter &p) {
             p.translate(8, 8);
             p.rotate(45);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(255, 150, 20));
             p.drawPolygon(QPolygonF({{-1.8, 5}, {1.8, 5}, {0, 8.5}}));
             p.setPen(pen(QColor(150, 30, 30), 0.8));
             p.setBrush(QColor(210, 40, 40));
             p.drawPolygon(QPolygonF({{-2.5, 1}, {-5, 5}, {-2.5, 4.5}}));
             p.drawPolygon(QPolygonF({{2.5, 1}, {5, 5}, {2.5, 4.5}}));
             QPainterPath body;
             body.moveTo(0, -8);
             body.cubicTo(3.5, -5, 3, 1, 2.5, 5);
             body.lineTo(-2.5, 5);
             body.cubicTo(-3, 1, -3.5, -5, 0, -8);
             p.setPen(pen(QColor(110, 110, 120), 0.8));
             p.setBrush(QColor(235, 235, 240));
             p.drawPath(body);
             p.setBrush(QColor(60, 140, 220));
             p.drawEllipse(QPointF(0, -2), 1.4, 1.4);
         }},
        {"Scales",
         [](QPainter &p) {
             p.setPen(pen(QColor(120, 90, 20), 1.2));
             p.drawLine(QPointF(8, 2), QPointF(8, 14));
             p.drawLine(QPointF(4.5, 14.5), QPointF(11.5, 14.5));
             p.drawLine(QPointF(2, 4), QPointF(14, 4));
             p.setPen(pen(QColor(120, 90, 20), 0.6));
             p.drawLine(QPointF(2, 4), QPointF(0.8, 9));
             p.drawLine(QPointF(2, 4), QPointF(4.2, 9));
             p.drawLine(QPointF(14, 4), QPointF(11.8, 9));
             p.drawLine(QPointF(14, 4), QPointF(15.2, 9));
             p.setPen(pen(QColor(150, 110, 20), 0.8));
             p.setBrush(QColor(235, 190, 60));
             p.drawChord(QRectF(0.5, 7, 4, 4), 180 * 16, 180 * 16);
             p.drawChord(QRectF(11.5, 7, 4, 4), 180 * 16, 180 * 16);
             p.drawEllipse(QRectF(7, 1, 2, 2));
         }},
        {"Redo",
         [](QPainter &p) {
             p.setPen(pen(kBlue, 2.2));
             p.setBrush(Qt::NoBrush);
             QPainterPath curve;
             curve.moveTo(3, 13);
             curve.cubicTo(1, 6, 5, 3, 8.5, 3.5);
             curve.cubicTo(10.5, 3.8, 11.5, 5, 12, 7);
             p.drawPath(curve);
             p.setPen(pen(kBlue.darker(130), 0.8));
             p.setBrush(kBlue);
             p.drawPolygon(QPolygonF({{9, 7}, {15, 6.5}, {12.5, 11.5}}));
         }},
        {"Lightbulb",
         [](QPainter &p) {
             p.setPen(pen(QColor(190, 150, 0), 0.8));
             p.setBrush(QColor(255, 230, 70));
             QPainterPath bulb;
             bulb.addEllipse(QRectF(3, 0.5, 10, 10));
             QPainterPath neck;
             neck.addRect(QRectF(5.5, 8, 5, 3));
             p.drawPath(bulb.united(neck));
             p.setPen(pen(QColor(80, 80, 80), 0.8));
             p.setBrush(QColor(160, 160, 160));
             p.drawRect(QRectF(5.5, 11, 5, 3));
             p.drawLine(QPointF(5.5, 12.5), QPointF(10.5, 12.5));
             p.setBrush(QColor(80, 80, 80));
             p.drawRect(QRectF(7, 14, 2, 1.5));
             p.setPen(pen(QColor(230, 140, 0), 0.8));
             p.drawPolyline(QPolygonF({{6.5, 8}, {7, 5.5}, {8, 7}, {9, 5.5}, {9.5, 8}}));
         }},
        {"CoffeeCup",
         [](QPainter &p) {
             p.setPen(pen(QColor(120, 80, 50), 1.2));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(10, 7.5, 4.5, 4));
             p.setPen(pen(QColor(120, 80, 50), 0.8));
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({{1.5, 6.5}, {12, 6.5}, {11, 14}, {2.5, 14}}));
             p.setBrush(QColor(110, 65, 30));
             p.drawRect(QRectF(2, 6.5, 9.5, 1.5));
             p.setPen(pen(QColor(150, 150, 150), 0.8));
             p.setBrush(Qt::NoBrush);
             for (qreal x : {4.5, 8.0}) {
                 QPainterPath steam;
                 steam.moveTo(x, 5);
                 steam.cubicTo(x - 1.5, 3.5, x + 1.5, 2.5, x, 0.5);
                 p.drawPath(steam);
             }
         }},
        {"TwoFeet",
         [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(110, 70, 40));
             for (const QPointF at : {QPointF(1.5, 5.5), QPointF(9, 1)}) {
                 p.drawEllipse(QRectF(at.x(), at.y() + 2.5, 4.5, 7));
                 for (int t = 0; t < 4; ++t)
                     p.drawEllipse(QPointF(at.x() + 0.6 + t * 1.1, at.y() + 1.2 - (t == 0) * 0.4),
                                   0.6, 0.6);
             }
         }},
        {"Meeting",
         [](QPainter &p) {
             person(p, QRectF(1, 4, 4, 4), QRectF(0.5, 8.5, 5.5, 7), QColor(60, 150, 80));
             person(p, QRectF(11, 4, 4, 4), QRectF(10, 8.5, 5.5, 7), QColor(200, 120, 40));
             person(p, QRectF(5.5, 2, 5, 5), QRectF(4, 7.5, 8, 8.5), QColor(50, 100, 200));
         }},
        {"Check",
         [](QPainter &p) {
             p.setPen(pen(QColor(30, 150, 50), 2.6));
             p.drawPolyline(QPolygonF({{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}}));
         }},
        {"Note",
         [](QPainter &p) {
             p.setPen(pen(QColor(190, 160, 40), 0.8));
             p.setBrush(QColor(255, 240, 120));
             p.drawPolygon(QPolygonF({{2, 3}, {14, 3}, {14, 11}, {10, 15}, {2, 15}}));
             p.setBrush(QColor(230, 210, 90));
             p.drawPolygon(QPolygonF({{14, 11}, {10, 11}, {10, 15}}));
             p.setPen(pen(QColor(150, 150, 150), 0.6));
             p.drawLine(QPointF(4, 7), QPointF(12, 7));
             p.drawLine(QPointF(4, 9.5), QPointF(9, 9.5));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(210, 40, 40));
             p.drawEllipse(QRectF(6.5, 0.5, 3, 3));
         }},
        {"Book",
         [](QPainter &p) {
             p.setPen(pen(QColor(20, 50, 120), 0.8));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(4.5, 2.5, 9.5, 12.5));
             p.setBrush(QColor(40, 80, 180));
             p.drawRect(QRectF(2.5, 1.5, 10, 12.5));
             p.setBrush(QColor(25, 55, 130));
             p.drawRect(QRectF(2.5, 1.5, 2, 12.5));
             p.setPen(pen(QColor(240, 200, 60), 0.8));
             p.drawLine(QPointF(6.5, 5), QPointF(10.5, 5));
         }},
        {"MagnifyingGlass",
         [](QPainter &p) {
             p.setPen(pen(QColor(120, 80, 40), 3));
             p.drawLine(QPointF(10, 10), QPointF(14, 14));
             p.setPen(pen(kInk, 1.5));
             p.setBrush(QColor(190, 225, 245, 200));
             p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
         }},
        {"BrokenConnection",
         [](QPainter &p) {
             p.setPen(pen(QColor(90, 100, 110), 1.6));
             p.setBrush(Qt::NoBrush);
             for (const QPointF at : {QPointF(4.5, 11.5), QPointF(11.5, 4.5)}) {
                 p.save();
                 p.translate(at);
                 p.rotate(-45);
                 p.drawRoundedRect(QRectF(-4, -1.8, 8, 3.6), 1.8, 1.8);
                 p.restore();
             }
             p.setPen(pen(QColor(220, 30, 30), 1.2));
             p.drawLine(QPointF(6.5, 6), QPointF(5, 4.5));
             p.drawLine(QPointF(10, 9.5), QPointF(11.5, 11));
             p.drawLine(QPointF(8, 5.5), QPointF(8, 3.5));
             p.drawLine(QPointF(8, 10.5), QPointF(8, 12.5));
         }},
        {"Information",
         [](QPainter &p) {
             disc(p, kBlue, kBlue.darker(150));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawEllipse(QRectF(7, 3.5, 2, 2));
             p.drawRect(QRectF(7, 6.5, 2, 6));
             p.drawRect(QRectF(6, 6.5, 1, 1));
             p.drawRect(QRectF(6, 11.5, 4, 1));
         }},
        {"Folder",
         [](QPainter &p) {
             p.setPen(pen(QColor(170, 120, 30), 0.8));
             p.setBrush(QColor(225, 170, 60));
             p.drawPolygon(QPolygonF({{1, 3}, {6, 3}, {7.5, 4.5}, {15, 4.5}, {15, 14}, {1, 14}}));
             p.setBrush(QColor(250, 205, 90));
             p.drawPolygon(QPolygonF({{1, 14}, {2.5, 7}, {15.5, 7}, {15, 14}}));
         }},
    };
    return table;
}

// The stock icon's name for a picture path of the table.
std::optional<QString> nameOf(const QString &path)
{
    for (const mmTables::StockIcon &row : mmTables::kStockIcons) {
        if (path == QLatin1String(row.path))
            return QString::fromLatin1(row.name);
    }
    return std::nullopt;
}

} // namespace

std::optional<QImage> picture(const QString &path)
{
    const std::optional<QString> name = nameOf(path);
    const auto drawing = name ? drawings().constFind(*name) : drawings().constEnd();
    if (drawing == drawings().constEnd())
        return std::nullopt;
    QImage image(Side, Side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    (*drawing)(p);
    p.end();
    return image;
}

std::optional<QByteArray> pictureData(const QString &path)
{
    static QHash<QString, QByteArray> cache;
    if (const auto it = cache.constFind(path); it != cache.constEnd())
        return *it;
    const std::optional<QImage> image = picture(path);
    if (!image)
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool tiff = path.endsWith(QLatin1String(".tif"));
    if (!image->save(&buffer, tiff ? "TIFF" : "PNG")) {
        if (!tiff || !image->save(&buffer, "PNG"))
            return std::nullopt;
    }
    cache.insert(path, bytes);
    return bytes;
}

std::optional<QString> stockIconType(const TWEnclosedGraphic &icon)
{
    const std::optional<QString> urn =
        icon.name().isEmpty() ? std::nullopt : std::optional(icon.name());
    return mmTables::stockIconPath(urn) ? urn : std::nullopt;
}

} // namespace mmAdornments
