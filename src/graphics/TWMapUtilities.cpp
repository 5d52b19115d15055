#include "graphics/TWMapUtilities.h"

#include "render/DrawingContext.h"
#include "render/TWTextLayout.h"
#include "support/AttributedString.h"
#include "support/Font.h"

#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/TWLocalizedString.h"

#include <QBuffer>
#include <QDebug>
#include <QPainter>
#include <QSet>
#include <atomic>
#include <cmath>

int TWMapUtilities::tintedComponent(int iconComponent, int iconAlpha, int colorComponent)
{
    // Plus-darker of the colour over the icon, read back, then premultiplied
    // by the icon's alpha with rounding.
    const int darker = std::max(0, colorComponent + iconComponent - 255);
    return (darker * iconAlpha + 127) / 255;
}

QImage TWMapUtilities::generateImageOfColor(const std::optional<Color> &color, const QImage &image,
                                            const QImage &overlay)
{
    if (image.isNull())
        return {};
    if (!color) {
        if (overlay.isNull())
            return image;
        QImage composite = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&composite);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QPointF(0, 0), overlay);
        return composite;
    }

    const QImage icon = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QColor tint = color->toQColor();
    const auto premultiplied = [&](qreal component) {
        return int(std::lround(std::clamp<qreal>(component * tint.alphaF(), 0, 1) * 255));
    };
    const int red = premultiplied(tint.redF());
    const int green = premultiplied(tint.greenF());
    const int blue = premultiplied(tint.blueF());

    QImage tinted(icon.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.setDotsPerMeterX(icon.dotsPerMeterX());
    tinted.setDotsPerMeterY(icon.dotsPerMeterY());
    for (int y = 0; y < icon.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(icon.constScanLine(y));
        QRgb *out = reinterpret_cast<QRgb *>(tinted.scanLine(y));
        for (int x = 0; x < icon.width(); ++x) {
            const int a = qAlpha(in[x]);
            out[x] = qRgba(tintedComponent(qRed(in[x]), a, red),
                           tintedComponent(qGreen(in[x]), a, green),
                           tintedComponent(qBlue(in[x]), a, blue), a);
        }
    }
    if (!overlay.isNull()) {
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QPointF(0, 0), overlay);
    }
    return tinted;
}

std::optional<QByteArray> TWMapUtilities::textImageForText(const QString &text,
                                                           const QString &fontName)
{
    if (fontName.isEmpty())
        return std::nullopt;
    const AttributedString string(
        text, TextAttributes{{NSFontAttributeName, QVariant::fromValue(Font(fontName, 12.0))}});
    TWTextLayout &engine = TWTextLayout::shared();
    engine.setLineFragmentPadding(TWTextLayout::defaultLineFragmentPadding);
    engine.setContainerSize(Size(TWTextLayout::containerMaximum, TWTextLayout::containerMaximum));
    engine.setAttributedString(string);
    const Rect used = engine.usedRect();
    if (!(used.size.width > 0) || !(used.size.height > 0)) {
        engine.clear();
        return std::nullopt;
    }
    QImage image = DrawingContext::makeImage(used.size);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        engine.draw(painter, Point(0, 0));
    }
    engine.clear();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "png"))
        return std::nullopt;
    return png;
}

// --- covers ---

TWMapUtilities::BranchList
TWMapUtilities::minimumBranchCoverFromBranchesInArray(const BranchList &branches)
{
    QSet<const TWMapBranch *> listed;
    for (const std::shared_ptr<TWMapBranch> &b : branches)
        listed.insert(b.get());
    BranchList cover;
    QSet<const TWMapBranch *> covered;
    for (const std::shared_ptr<TWMapBranch> &b : branches) {
        // The topmost listed branch above b (any number of levels up) stands for it.
        TWMapBranch *top = b.get();
        for (TWMapBranch *a = b->parent(); a; a = a->parent()) {
            if (listed.contains(a))
                top = a;
        }
        if (covered.contains(top))
            continue;
        covered.insert(top);
        cover.append(top->shared_from_this());
    }
    return cover;
}

TWMapUtilities::GraphicList
TWMapUtilities::minimumGraphicCoverFromGraphics(const GraphicList &graphics, bool includeLinkLines)
{
    BranchList owners;
    QSet<const TWMapBranch *> seen;
    for (const std::shared_ptr<TWGraphic> &g : graphics) {
        TWMapBranch *b = g->branch();
        if (!b || seen.contains(b))
            continue;
        if (g->isMainGraphic() || g->isEnclosedText() || g->isOtherEnclosedGraphic() ||
            g->isConnectionGraphic()) {
            seen.insert(b);
            owners.append(b->shared_from_this());
        }
    }
    const BranchList cover = minimumBranchCoverFromBranchesInArray(owners);
    GraphicList result;
    for (const std::shared_ptr<TWGraphic> &g : graphics) {
        if (!includeLinkLines && dynamic_cast<const TWLinkLine *>(g.get()))
            continue;
        TWMapBranch *b = g->branch();
        if (b && b->isDescendantOfBranchInArray(cover))
            continue;
        result.append(g);
    }
    for (const std::shared_ptr<TWMapBranch> &b : cover) {
        if (b->mainGraphic())
            result.append(b->mainGraphic());
    }
    return result;
}

// --- glow and shadow ---

namespace {
// A link line belongs to the map of the branch its start stands on, the
// only map whose list holds it while it is drawn: asked for every graphic
// drawn, a walk of the list made drawing 100,000 lines take minutes.
bool isLinkLineOfMap(const TWGraphic &graphic, const TWMap *map)
{
    return map && dynamic_cast<const TWLinkLine *>(&graphic) && graphic.map() == map;
}
} // namespace

bool TWMapUtilities::shouldGraphicDrawSelectionShadow(const TWGraphic &graphic)
{
    TWMapBranch *b = graphic.branch();
    if (!b || !b->isSelected())
        return false;
    if (graphic.isMainGraphic() || graphic.isLinkedGraphic() || graphic.isConnectionGraphic() ||
        isLinkLineOfMap(graphic, b->map()))
        return true;
    if (graphic.isEnclosedText())
        return !b->mainGraphic() || b->mainGraphic()->className() != QLatin1String("TWFlexiBranch");
    return false;
}

bool TWMapUtilities::shouldGraphicDrawShadows(TWGraphic &graphic)
{
    TWMap *m = graphic.map();
    if (!graphic.drawsShadow() || !m || !m->showShadows())
        return false;
    TWMapBranch *b = graphic.branch();
    const bool lineShape = b->mainGraphic() && b->mainGraphic()->getTextAlignmentMode() == 0;
    const bool qualifies = graphic.isMainGraphic() || graphic.isLinkedGraphic() ||
                           isLinkLineOfMap(graphic, m) || graphic.isConnectionGraphic() ||
                           (graphic.isEnclosedImage() && lineShape);
    return qualifies && graphic.inheritedShadow().has_value();
}

// --- text helpers ---

namespace {
std::atomic<float> lineFragmentPadding{0};
}

void TWMapUtilities::setDefaultLineFragmentPadding(float padding)
{
    lineFragmentPadding = padding;
}

float TWMapUtilities::defaultLineFragmentPadding()
{
    return lineFragmentPadding;
}

void TWMapUtilities::replaceString(const QString &target, const QString &replacement,
                                   QString &string)
{
    if (target.isEmpty())
        return;
    // Callers never put the target into its replacement; a replacement that
    // holds it would otherwise loop for ever, so the search then moves on.
    const bool selfContaining = replacement.contains(target);
    qsizetype from = 0;
    for (qsizetype at = string.indexOf(target, from); at >= 0; at = string.indexOf(target, from)) {
        string.replace(at, target.size(), replacement);
        from = selfContaining ? at + replacement.size() : 0;
    }
}

void TWMapUtilities::replaceAllOccurrencesOfCharactersInSet(const QString &characters,
                                                            const QString &replacement,
                                                            QString &string)
{
    qsizetype start = 0;
    while (start < string.size()) {
        qsizetype found = -1;
        for (qsizetype i = start; i < string.size(); ++i) {
            if (characters.contains(string.at(i))) {
                found = i;
                break;
            }
        }
        if (found < 0)
            return;
        string.replace(found, 1, replacement);
        start = found + replacement.size();
    }
}

const QList<std::pair<QString, Color>> &TWMapUtilities::namedColors()
{
    static const QList<std::pair<QString, Color>> colors = {
        {QStringLiteral("Black"), Color::colorWithCalibratedRed(0, 0, 0)},
        {QStringLiteral("Blue"), Color::colorWithCalibratedRed(0, 0, 1)},
        {QStringLiteral("Brown"), Color::colorWithCalibratedRed(0.6, 0.4, 0.2)},
        {QStringLiteral("Cyan"), Color::colorWithCalibratedRed(0, 1, 1)},
        {QStringLiteral("Green"), Color::colorWithCalibratedRed(0, 1, 0)},
        {QStringLiteral("Magenta"), Color::colorWithCalibratedRed(1, 0, 1)},
        {QStringLiteral("Orange"), Color::colorWithCalibratedRed(1, 0.5, 0)},
        {QStringLiteral("Purple"), Color::colorWithCalibratedRed(0.5, 0, 0.5)},
        {QStringLiteral("Red"), Color::colorWithCalibratedRed(1, 0, 0)},
        {QStringLiteral("Yellow"), Color::colorWithCalibratedRed(1, 1, 0)},
        {QStringLiteral("White"), Color::colorWithCalibratedRed(1, 1, 1)},
    };
    return colors;
}

std::optional<QString> TWMapUtilities::colorNameFromColor(const Color &color)
{
    const Color rgb = color.isRGB() ? color : color.colorUsingColorSpace(Color::Space::DeviceRGB);
    std::optional<QString> best;
    double bestDistance = 3.0;
    for (const auto &[name, named] : namedColors()) {
        const double distance = std::fabs(rgb.redComponent() - named.redComponent()) +
                                std::fabs(rgb.greenComponent() - named.greenComponent()) +
                                std::fabs(rgb.blueComponent() - named.blueComponent());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
    }
    return best;
}

QString TWMapUtilities::lineStyleNameFromStyle(int style)
{
    static const char *const keys[] = {
        "Solid",     "Dotted",        "Short Dash",        "Short Dash Dot",
        "Long Dash", "Long Dash Dot", "Long Dash Dot Dot", "None"};
    if (style < 1 || style > 8) {
        qWarning().noquote() << QStringLiteral("Unknown line style: %1").arg(style);
        return QString();
    }
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(keys[style - 1]));
}

Rect TWUnionRect(const Rect &a, const Rect &b)
{
    const float x = std::min(a.minX(), b.minX());
    const float y = std::min(a.minY(), b.minY());
    return Rect(x, y, std::max(a.maxX(), b.maxX()) - x, std::max(a.maxY(), b.maxY()) - y);
}
