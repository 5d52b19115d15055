#include "mapdrawing/TWBranchIndicators.h"

#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "render/DrawingContext.h"

#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace TWBranchIndicators {

namespace {

constexpr float Slot = TWMapBranch::IconSlotWidth;
constexpr float Margin = TWMapBranch::IconMargin;
// A handle reaches 4 points from its knob and the icons have 3 on either
// side: 2 more clears it.
constexpr float HandleClearance = 2;

bool isFlexi(const TWGraphic *g)
{
    return dynamic_cast<const TWFlexiBranch *>(g) != nullptr;
}

} // namespace

Rect boundsOfSlot(const TWMapBranch &branch, int before)
{
    const TWGraphic *main = branch.mainGraphic().get();
    if (!main)
        return {};
    const Rect m = main->bounds();
    const float x = m.maxX() - branch.totalWidthForSuffixImages() + Margin + Slot * float(before);
    float y = 0;
    if (main->getTextAlignmentMode() == 0 && !branch.enclosedImage()) {
        y = m.origin.y - Margin - IconSize; // the icons stand on the line
    } else {
        switch (branch.textRelativePosition()) {
        case 1:
            y = m.origin.y + Margin;
            break;
        case 2:
            y = m.origin.y + m.size.height * 0.5f - IconSize / 2;
            break;
        case 3:
            y = m.maxY() - Margin - IconSize;
            break;
        default:
            break;
        }
    }
    if (const auto *flexi = dynamic_cast<const TWFlexiBranch *>(main))
        y = flexi->yPositionForRightEndGraphics() - IconSize;
    return {x, y, IconSize, IconSize};
}

Rect boundsOfHyperlinkAtIndex(const TWMapBranch &branch, int index)
{
    return boundsOfSlot(branch, index);
}

Rect boundsOfAttachedTextIndicatorAtIndex(const TWMapBranch &branch, int index)
{
    const TWMapBranch::SuffixIcons icons = branch.suffixIcons();
    const TWMap *map = branch.map();
    if (!map || !map->showTextIndicators())
        return {};
    return boundsOfSlot(branch, icons.hyperlinks + index);
}

Rect boundsOfCheckbox(const TWMapBranch &branch)
{
    const TWMapBranch::SuffixIcons icons = branch.suffixIcons();
    return icons.checkBox ? boundsOfSlot(branch, icons.hyperlinks + icons.attachedTexts) : Rect();
}

Rect clearOfHandles(const TWMapBranch &branch, Rect icon)
{
    const TWMap *map = branch.map();
    const TWGraphic *main = branch.mainGraphic().get();
    // A curved branch's handles sit on its line, below the icons.
    if (icon.isEmpty() || !map || !main || isFlexi(main) || map->selectedGraphics().isEmpty())
        return icon;
    if (map->isGraphicSelected(main))
        return icon.offsetBy(-HandleClearance, 0);
    const TWTextArea *label = branch.enclosedTextArea().get();
    if (label && map->isGraphicSelected(label) && (label->knobMask() & (1 << 5)))
        return icon.offsetBy(HandleClearance, 0);
    return icon;
}

Rect boundsOfPriorityIcon(const TWMapBranch &branch)
{
    const TWMapBranch::SuffixIcons icons = branch.suffixIcons();
    return icons.priority
               ? boundsOfSlot(branch, icons.hyperlinks + icons.attachedTexts + int(icons.checkBox))
               : Rect();
}

Rect boundsOfPercentageCompleteIndicator(const TWMapBranch &branch)
{
    const TWMapBranch::SuffixIcons i = branch.suffixIcons();
    return i.percentage ? boundsOfSlot(branch, i.hyperlinks + i.attachedTexts + int(i.checkBox) +
                                                   int(i.priority))
                        : Rect();
}

Rect boundsOfResourcesAllocatedIndicator(const TWMapBranch &branch)
{
    const TWMapBranch::SuffixIcons i = branch.suffixIcons();
    return i.resources ? boundsOfSlot(branch, i.hyperlinks + i.attachedTexts + int(i.checkBox) +
                                                  int(i.priority) + int(i.percentage))
                       : Rect();
}

Rect branchBounds(const TWMapBranch &branch)
{
    const TWGraphic *main = branch.mainGraphic().get();
    Rect r = main ? main->bounds() : Rect();
    if (dynamic_cast<const TWLine *>(main)) {
        r.origin.y -= 1;
        r.size.height += 1;
    }
    if (!isFlexi(main) && branch.enclosedTextArea())
        r = TWUnionRect(r, branch.enclosedTextArea()->bounds());
    return r;
}

Rect branchDrawingBounds(const TWMapBranch &branch)
{
    TWGraphic *main = branch.mainGraphic().get();
    Rect r = main ? main->drawingBounds() : Rect();
    auto &mutableBranch = const_cast<TWMapBranch &>(branch);
    const Rect sign = mutableBranch.layoutServices().boundsOfShowAndHideImage(mutableBranch);
    if (sign != Rect())
        r = TWUnionRect(r, sign);
    if (dynamic_cast<const TWLine *>(main)) {
        r.origin.y -= 1;
        r.size.height += 1;
    }
    if (!isFlexi(main) && branch.enclosedTextArea())
        r = TWUnionRect(r, branch.enclosedTextArea()->drawingBounds());
    return r;
}

// --- icons ---

namespace {

constexpr qreal IconPixelsPerPoint = 4;

QImage paintIcon(const std::function<void(QPainter &)> &paint)
{
    QImage image = DrawingContext::makeImage(Size(IconSize, IconSize), IconPixelsPerPoint);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(IconPixelsPerPoint, IconPixelsPerPoint);
    paint(painter);
    return image;
}

QPen iconPen(const QColor &color, qreal width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void drawBox(QPainter &p, const QColor &fill)
{
    p.setPen(iconPen(QColor(90, 90, 90), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
}

void drawPerson(QPainter &p, qreal dx, const QColor &color)
{
    p.setPen(iconPen(QColor(60, 60, 60), 0.75));
    p.setBrush(color);
    p.drawEllipse(QRectF(dx + 3.5, 2, 5, 5));
    QPainterPath body;
    body.moveTo(dx + 1.5, 14.5);
    body.cubicTo(dx + 1.5, 8, dx + 10.5, 8, dx + 10.5, 14.5);
    body.closeSubpath();
    p.drawPath(body);
}

QImage makeIcon(Icon icon)
{
    return paintIcon([icon](QPainter &p) {
        switch (icon) {
        case Icon::TextIndicator: {
            // A page with lines of text.
            p.setPen(iconPen(QColor(90, 90, 90), 1));
            p.setBrush(QColor(255, 252, 220));
            QPainterPath page;
            page.moveTo(3.5, 1.5);
            page.lineTo(10, 1.5);
            page.lineTo(12.5, 4);
            page.lineTo(12.5, 14.5);
            page.lineTo(3.5, 14.5);
            page.closeSubpath();
            p.drawPath(page);
            p.setPen(iconPen(QColor(110, 110, 110), 0.75));
            for (qreal y = 5; y <= 12; y += 2.25)
                p.drawLine(QPointF(5, y), QPointF(11, y));
            break;
        }
        case Icon::CollapseSign:
        case Icon::ExpandSign:
            p.setPen(iconPen(QColor(40, 40, 40), 1.75));
            p.drawLine(QPointF(4, 8), QPointF(12, 8));
            if (icon == Icon::ExpandSign)
                p.drawLine(QPointF(8, 4), QPointF(8, 12));
            break;
        case Icon::CheckboxUnchecked:
            drawBox(p, Qt::white);
            break;
        case Icon::CheckboxChecked:
            drawBox(p, Qt::white);
            p.setPen(iconPen(QColor(20, 20, 20), 1.75));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(5, 8), QPointF(7.5, 11), QPointF(11.5, 4.5)}));
            break;
        case Icon::CheckboxMixed:
            drawBox(p, Qt::white);
            p.setPen(iconPen(QColor(20, 20, 20), 1.75));
            p.drawLine(QPointF(5, 8), QPointF(11, 8));
            break;
        case Icon::ResourceSmall:
            drawPerson(p, 2, QColor(120, 160, 220));
            break;
        case Icon::ResourcesSmall:
            drawPerson(p, 4, QColor(170, 190, 220));
            drawPerson(p, 0, QColor(120, 160, 220));
            break;
        }
    });
}

// A white disc with a dark arrow, tinted by each kind's colour.
QImage hyperlinkBackground()
{
    return paintIcon([](QPainter &p) {
        p.setPen(iconPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    });
}

QImage hyperlinkOverlay()
{
    return paintIcon([](QPainter &p) {
        p.setPen(iconPen(QColor(20, 20, 20), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(5, 11), QPointF(11, 5));
        p.drawPolyline(QPolygonF({QPointF(7, 5), QPointF(11, 5), QPointF(11, 9)}));
    });
}

} // namespace

const QImage &iconImage(Icon icon)
{
    static QHash<int, QImage> cache;
    auto it = cache.find(int(icon));
    if (it == cache.end())
        it = cache.insert(int(icon), makeIcon(icon));
    return *it;
}

const QImage &hyperlinkImage(TWHyperlink::Image kind)
{
    static QHash<int, QImage> cache;
    auto it = cache.find(int(kind));
    if (it == cache.end()) {
        const TWHyperlink::TintedIconRecipe recipe = TWHyperlink::tintedIconRecipe(kind);
        static const QImage background = hyperlinkBackground();
        static const QImage overlay = hyperlinkOverlay();
        it = cache.insert(int(kind),
                          TWMapUtilities::generateImageOfColor(recipe.color, background, overlay));
    }
    return *it;
}

QImage checkboxImage(int state)
{
    switch (state) {
    case 0:
        return iconImage(Icon::CheckboxUnchecked);
    case 1:
        return iconImage(Icon::CheckboxChecked);
    case -1:
        return iconImage(Icon::CheckboxMixed);
    default:
        return {};
    }
}

// --- painters ---

void drawImage(const DrawingContext &context, const QImage &image, Rect rect)
{
    if (image.isNull()) {
        drawCharacter(context, QStringLiteral("?"), rect, Color::blackColor());
        return;
    }
    DrawingContext::StateSaver saver(context);
    context.painter().setRenderHint(QPainter::SmoothPixmapTransform);
    context.painter().drawImage(rect.toQt(), image);
}

void drawCharacter(const DrawingContext &context, const QString &text, Rect rect,
                   const Color &color)
{
    DrawingContext::StateSaver saver(context);
    QPainter &p = context.painter();
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(std::max(1.0f, rect.size.height - 2));
    font.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(font);
    p.setPen(color.toQColor());
    p.drawText(QRectF(rect.origin.x + 4.5, rect.origin.y - 1, 1000, 1000),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

Color priorityColor(int priority)
{
    static constexpr int table[9][3] = {{252, 57, 38},  {251, 169, 28}, {244, 238, 30},
                                        {151, 213, 97}, {44, 197, 251}, {24, 63, 167},
                                        {79, 17, 137},  {120, 17, 157}, {117, 25, 64}};
    if (priority < 1 || priority > 9)
        return Color::colorWithDeviceWhite(1.0);
    const int *c = table[priority - 1];
    return Color::colorWithDeviceRed(c[0] / 255.0, c[1] / 255.0, c[2] / 255.0);
}

Color priorityDigitColor(int priority)
{
    return priority >= 6 && priority <= 9 ? Color::whiteColor() : SystemColors::darkGrayColor();
}

void drawPriority(const DrawingContext &context, int priority, Rect rect)
{
    {
        DrawingContext::StateSaver saver(context);
        QPainter &p = context.painter();
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath oval;
        oval.addEllipse(rect.toQt());
        p.fillPath(oval, priorityColor(priority).colorWithAlphaComponent(0.5).toQColor());
        p.strokePath(oval, DrawingContext::pen(SystemColors::darkGrayColor().toQColor(),
                                               StrokeStyle::withWidth(1)));
    }
    drawCharacter(context, QString::number(priority), rect, priorityDigitColor(priority));
}

void drawPercentageComplete(const DrawingContext &context, int percentage, Rect rect)
{
    DrawingContext::StateSaver saver(context);
    QPainter &p = context.painter();
    p.setRenderHint(QPainter::Antialiasing);
    const QColor red = Color::colorWithDeviceRed(1, 0, 0, 0.5).toQColor();
    const QColor green = Color::colorWithDeviceRed(0, 1, 0, 0.5).toQColor();
    QPainterPath oval;
    oval.addEllipse(rect.toQt());
    if (percentage < 1) {
        p.fillPath(oval, red);
    } else if (percentage >= 100) {
        p.fillPath(oval, green);
    } else {
        // Done from twelve o'clock clockwise in green, the rest in red.
        const QPointF c = rect.toQt().center();
        const QRectF arc(c.x() - 8, c.y() - 8, 16, 16);
        const qreal done = qreal(percentage * 360 / 100);
        QPainterPath greenWedge(c);
        greenWedge.arcTo(arc, 90, -done);
        greenWedge.closeSubpath();
        QPainterPath redWedge(c);
        redWedge.arcTo(arc, 90, 360 - done);
        redWedge.closeSubpath();
        p.fillPath(redWedge, red);
        p.fillPath(greenWedge, green);
    }
    p.strokePath(oval, DrawingContext::pen(SystemColors::darkGrayColor().toQColor(),
                                           StrokeStyle::withWidth(1)));
}

} // namespace TWBranchIndicators
