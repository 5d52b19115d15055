// The list of settings a group of graphics has in common.

#include "graphics/TWMapUtilities.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWMapBranch.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"
#include "render/DrawingContext.h"
#include "render/TWLineStyles.h"
#include "support/BezierPath.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/Shadow.h"

#include <QPainter>
#include <array>

namespace {

enum StyleType {
    Fill,
    LineColor,
    LineWidth,
    LineStyle,
    FontType,
    FontColor,
    ShadowType,
    ConnectionStyle,
    TypeCount
};

const char *const TypeNames[TypeCount] = {"FillColor", "LineColor", "LineWidth", "LineStyle",
                                          "Font",      "FontColor", "Shadow",    "ConnectionStyle"};

// First value met of one type, and whether every later one equalled it.
struct Tally
{
    QVariant first;
    bool allEqual = true;
};

template <class T> void note(Tally &tally, const T &value)
{
    if (!tally.first.isValid())
        tally.first = QVariant::fromValue(value);
    else if (tally.first.value<T>() != value)
        tally.allEqual = false;
}

bool standsForItself(const TWGraphic &graphic)
{
    return graphic.isLinkedGraphic() || dynamic_cast<const TWLinkLine *>(&graphic);
}

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

QString colorName(const Color &color)
{
    return TWMapUtilities::colorNameFromColor(color).value_or(QString());
}

// A sample on a clear ground, drawn the way up a picture is seen: y grows
// upward from the bottom left corner, as the samples are described.
QImage sample(const std::function<void(QPainter &)> &draw)
{
    QImage image = DrawingContext::makeImage(Size(24, 24));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0, 24);
    painter.scale(1, -1);
    draw(painter);
    return image;
}

BezierPath circlePath(float cx, float cy, float r)
{
    const float k = r * 0.5522848f;
    BezierPath path;
    path.moveToPoint({cx + r, cy});
    path.curveToPoint({cx, cy + r}, {cx + r, cy + k}, {cx + k, cy + r});
    path.curveToPoint({cx - r, cy}, {cx - k, cy + r}, {cx - r, cy + k});
    path.curveToPoint({cx, cy - r}, {cx - r, cy - k}, {cx - k, cy - r});
    path.curveToPoint({cx + r, cy}, {cx + k, cy - r}, {cx + r, cy - k});
    path.closePath();
    return path;
}

QImage colorSample(const Color &color)
{
    return sample([&](QPainter &p) { p.fillRect(QRectF(0, 0, 24, 24), color.toQColor()); });
}

QImage lineStyleSample(int style)
{
    return sample([&](QPainter &p) {
        BezierPath path;
        path.moveToPoint({24, 0});
        path.lineToPoint({0, 24});
        path.setLineWidth(1);
        TWLineStyles::applyLineStyle(style, path, 1);
        path.stroke(p, QBrush(Qt::black));
    });
}

} // namespace

QList<TWMapUtilities::StyleListEntry>
TWMapUtilities::buildStyleListForGraphics(const GraphicList &graphics)
{
    GraphicList work;
    for (const std::shared_ptr<TWGraphic> &g : graphics) {
        if (!g)
            continue;
        if (standsForItself(*g)) {
            work << g;
        } else if (TWMapBranch *branch = g->branch()) {
            if (branch->mainGraphic())
                work << branch->mainGraphic();
            if (branch->enclosedTextArea())
                work << branch->enclosedTextArea();
        }
    }

    std::array<Tally, TypeCount> tally;
    for (const std::shared_ptr<TWGraphic> &g : work) {
        if (g->canDrawFill() && g->drawsFill() && !g->inheritsFill() && g->fillColor())
            note(tally[Fill], *g->fillColor());
        if (g->canDrawStroke() && g->drawsStroke()) {
            if (!g->inheritsStroke() && g->strokeColor())
                note(tally[LineColor], *g->strokeColor());
            note(tally[LineWidth], g->strokeWidth());
            note(tally[LineStyle], g->strokeStyle());
        }
        const bool itself = standsForItself(*g);
        TWMapBranch *branch = g->branch();
        const TWGraphic *textGraphic =
            itself ? g.get() : (branch ? branch->enclosedTextArea().get() : nullptr);
        const auto *area = dynamic_cast<const TWTextArea *>(textGraphic);
        if (area && !area->text().isEmpty()) {
            const AttributedString &text = area->text();
            for (qsizetype run = 0; run < text.runCount(); ++run) {
                const TextAttributes &attributes = text.runAttributes(run);
                const QVariant font = attributes.value(NSFontAttributeName);
                if (font.canConvert<Font>())
                    note(tally[FontType], font.value<Font>());
                else
                    tally[FontType].allEqual = false;
                const QVariant color = attributes.value(NSForegroundColorAttributeName);
                if (color.canConvert<Color>())
                    note(tally[FontColor], color.value<Color>());
                else
                    tally[FontColor].allEqual = false;
            }
        }
        if (g->drawsShadow() && !g->inheritsShadow() && g->shadow())
            note(tally[ShadowType], *g->shadow());
        if (!itself && branch && branch->connectionGraphic() &&
            !dynamic_cast<const TWTitleConnection *>(branch->connectionGraphic().get()))
            note(tally[ConnectionStyle], branch->connectionGraphic()->strokeStyle());
    }

    QList<StyleListEntry> entries;
    for (int type = 0; type < TypeCount; ++type) {
        const Tally &t = tally[size_t(type)];
        if (!t.first.isValid() || !t.allEqual)
            continue;
        StyleListEntry entry;
        entry.styleType = QString::fromLatin1(TypeNames[type]);
        entry.value = t.first;
        switch (type) {
        case Fill:
        case LineColor:
        case FontColor: {
            const Color color = t.first.value<Color>();
            const char *label = type == Fill        ? "Fill Color"
                                : type == LineColor ? "Line Color"
                                                    : "Font Color";
            entry.text = dadoZiz(label) + QLatin1String(": ") + colorName(color);
            entry.image = colorSample(color);
            break;
        }
        case LineWidth: {
            const float width = t.first.value<float>();
            entry.text = dadoZiz("Line Width") + CFormat::format(": %.1f", double(width));
            entry.image = sample([&](QPainter &p) {
                BezierPath path;
                path.moveToPoint({0, 0});
                path.lineToPoint({24, 24});
                path.setLineWidth(width);
                path.stroke(p, QBrush(Qt::black));
            });
            break;
        }
        case LineStyle:
        case ConnectionStyle: {
            const int style = t.first.value<int>();
            entry.text = dadoZiz(type == LineStyle ? "Line Style" : "Connection Style") +
                         QLatin1String(": ") + lineStyleNameFromStyle(style);
            entry.image = lineStyleSample(style);
            break;
        }
        case FontType: {
            const Font font = t.first.value<Font>();
            entry.text =
                dadoZiz("Font") + CFormat::format(": %.1fpt ", font.pointSize()) + font.fontName();
            QImage image = DrawingContext::makeImage(Size(24, 24));
            {
                QPainter p(&image);
                p.setRenderHint(QPainter::TextAntialiasing);
                const QFont qfont = FontRegistry::shared().qfont(font);
                p.setFont(qfont);
                p.setPen(Qt::black);
                // The line's foot at the bottom edge, as text drawn at the origin sits.
                p.drawText(QPointF(0, 24 - QFontMetricsF(qfont, &image).descent()),
                           QStringLiteral("A"));
            }
            entry.image = image;
            break;
        }
        case ShadowType: {
            const Shadow shadow = t.first.value<Shadow>();
            entry.text = dadoZiz("Shadow") + QLatin1String(": ") +
                         colorName(shadow.effectiveColor()) + QLatin1String(", ") +
                         dadoZiz("Fuzziness") +
                         CFormat::format(": %.1f ", shadow.shadowBlurRadius()) + dadoZiz("Offset") +
                         CFormat::format(":%.1f/%.1f", double(shadow.shadowOffset().width),
                                         double(shadow.shadowOffset().height));
            // A 72 dpi image, so that a point is a pixel for the shadow too.
            QImage image = DrawingContext::makeImage(Size(24, 24));
            {
                QPainter p(&image);
                p.setRenderHint(QPainter::Antialiasing);
                const DrawingContext context(p, false);
                const BezierPath dot = circlePath(12, 12, 4);
                context.drawWithShadow(shadow, QRectF(0, 0, 24, 24), [&](DrawingContext &c) {
                    c.fillPath(dot, QBrush(Qt::black));
                });
                context.fillPath(dot, QBrush(Qt::black));
            }
            entry.image = image;
            break;
        }
        }
        entries << entry;
    }
    return entries;
}
