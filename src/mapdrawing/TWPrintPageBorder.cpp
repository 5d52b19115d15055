#include "mapdrawing/TWPrintPageBorder.h"

#include "mapdrawing/TWPrintSetup.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"
#include "render/TWTextLayout.h"
#include "support/Image.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace TWPrintPageBorder {

namespace {

const char *const fieldCodes[] = {"%filename%", "%path%", "%page%", "%pagecount%", "%title%",
                                  "%dd%",       "%mm%",   "%mmm%",  "%M%",         "%yy%",
                                  "%yyyy%",     "%hh%",   "%HH%",   "%min%",       "%ampm%"};

QString twoDigits(int v)
{
    return CFormat::format("%02d", v);
}

QString replacementFor(int tag, const FieldValues &v)
{
    const QDate day = v.date.date();
    const QTime time = v.date.time();
    const int slash = int(v.fileName.lastIndexOf(QLatin1Char('/')));
    switch (tag) {
    case 1: // the last path component
        return slash < 0 ? v.fileName : v.fileName.mid(slash + 1);
    case 2: // the path without it
        return slash < 0 ? QString() : v.fileName.left(slash == 0 ? 1 : slash);
    case 3:
        return CFormat::format("%d", v.page);
    case 4:
        return CFormat::format("%d", v.pageCount);
    case 5:
        return v.title;
    case 6:
        return twoDigits(day.day());
    case 7:
        return twoDigits(day.month());
    case 8:
        return TWLocalizedString(StringTable::DadoZiz,
                                 QLocale::c().monthName(day.month(), QLocale::ShortFormat));
    case 9:
        return TWLocalizedString(StringTable::DadoZiz,
                                 QLocale::c().monthName(day.month(), QLocale::LongFormat));
    case 10:
        return twoDigits(day.year() % 100);
    case 11:
        return CFormat::format("%04d", day.year());
    case 12:
        return twoDigits(time.hour() % 12 == 0 ? 12 : time.hour() % 12);
    case 13:
        return twoDigits(time.hour());
    case 14:
        return twoDigits(time.minute());
    case 15:
        return TWLocalizedString(StringTable::DadoZiz,
                                 time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
    default:
        return QString();
    }
}

// Sheet coordinates (y up) to the device's points (y down).
QRectF toDevice(const Rect &r, float paperHeight)
{
    return QRectF(r.x(), paperHeight - r.y() - r.height(), r.width(), r.height());
}

QPointF toDevice(QPointF p, float paperHeight)
{
    return QPointF(p.x(), paperHeight - p.y());
}

BandLayout bandLayout(const OrderedDictionary &setup, Rect page, float textHeight,
                      std::optional<Size> imageSize, bool header)
{
    using namespace TWPrintSetup;
    const bool frame = boolValue(setup, PrintFrame);
    const float frameWidth = floatValue(setup, FrameWidth);
    float left = page.x(), width = page.width();
    if (boolValue(setup, PrintCropMarks)) {
        left = page.x() + 4;
        width = page.width() - 12;
    }
    if (frame)
        width -= 2 * frameWidth;
    float base = header ? page.maxY() : page.y() - floatValue(setup, BottomMargin);
    if (frame)
        base += header ? frameWidth : -frameWidth;

    BandLayout result;
    float height = textHeight;
    if (imageSize) {
        const bool resize =
            boolValue(setup, header ? ResizeHeaderImageToTextSize : ResizeFooterImageToTextSize);
        float factor = 1;
        if (resize)
            factor = imageSize->height > 0 ? textHeight / imageSize->height : 0;
        else if (header && imageSize->height > maximumHeaderImageHeight)
            factor = maximumHeaderImageHeight / imageSize->height;
        // The band is as tall as the picture's own height, before any cap.
        if (!resize)
            height = std::max(imageSize->height, textHeight);
        const Size drawn(imageSize->width * factor, imageSize->height * factor);
        float imageLeft = left;
        switch (intValue(setup, header ? HeaderImageAlignment : FooterImageAlignment)) {
        case 1:
            imageLeft = left + width / 2 - drawn.width / 2;
            break;
        case 2:
            imageLeft = left + width - drawn.width;
            break;
        default:
            break;
        }
        result.imageRect = Rect(imageLeft, base, drawn.width, drawn.height);
    }
    result.textRect = Rect(left, base, width, height);
    return result;
}

void drawBand(const DrawingContext &context, const OrderedDictionary &setup, Rect page, Size paper,
              const FieldValues &values, bool header)
{
    using namespace TWPrintSetup;
    const std::optional<AttributedString> raw =
        attributedStringValue(setup, header ? HeaderAttributedString : FooterAttributedString);
    const std::optional<AttributedString> text =
        raw ? std::optional(stringPreparedForPrinting(*raw, values)) : std::nullopt;
    const std::optional<Image> picture =
        Image::initWithData(dataValue(setup, header ? HeaderImage : FooterImage));
    const float height = text ? textHeight(*text) : 0;
    const BandLayout band = bandLayout(
        setup, page, height, picture ? std::optional(picture->size()) : std::nullopt, header);
    QPainter &p = context.painter();
    if (picture && band.imageRect && !band.imageRect->isEmpty())
        PictureDrawing::drawImage(context, *picture,
                                  Rect::fromQt(toDevice(*band.imageRect, paper.height)));
    if (text && !text->isEmpty() && !band.textRect.isEmpty()) {
        const QRectF r = toDevice(band.textRect, paper.height);
        TWTextLayout layout;
        layout.setLineFragmentPadding(0);
        layout.setContainerSize(Size(band.textRect.width(), TWTextLayout::containerMaximum));
        layout.setAttributedString(*text);
        DrawingContext::StateSaver saver(context);
        p.setClipRect(r, Qt::IntersectClip);
        layout.draw(p, Point::fromQt(r.topLeft()));
    }
}

} // namespace

QString fieldCodeForTag(int tag)
{
    if (tag < 1 || tag > 15)
        return QString();
    return QString::fromLatin1(fieldCodes[tag - 1]);
}

AttributedString stringPreparedForPrinting(const AttributedString &text, const FieldValues &values)
{
    const QString &s = text.string();
    AttributedString result;
    qsizetype copiedUpTo = 0;
    auto copyUpTo = [&](qsizetype end) {
        if (end > copiedUpTo)
            result.appendAttributedString(
                text.attributedSubstringFromRange({copiedUpTo, end - copiedUpTo}));
        copiedUpTo = end;
    };
    for (qsizetype i = s.indexOf(QLatin1Char('%')); i >= 0 && i < s.size();) {
        int tag = 0;
        for (int t = 1; t <= 15 && !tag; ++t)
            if (QStringView(s).mid(i).startsWith(QLatin1String(fieldCodes[t - 1])))
                tag = t;
        if (!tag) {
            i = s.indexOf(QLatin1Char('%'), i + 1);
            continue;
        }
        copyUpTo(i);
        const qsizetype length = qsizetype(strlen(fieldCodes[tag - 1]));
        const QString replacement = replacementFor(tag, values);
        if (!replacement.isEmpty())
            result.appendAttributedString(AttributedString(replacement, text.attributesAtIndex(i)));
        copiedUpTo = i + length;
        i = s.indexOf(QLatin1Char('%'), i + length);
    }
    copyUpTo(s.size());
    return result;
}

void replaceString(AttributedString &text, const QString &code, const QString &replacement)
{
    if (code.isEmpty())
        return;
    qsizetype from = 0;
    while (!text.isEmpty()) {
        const qsizetype at = text.string().indexOf(code, from, Qt::CaseSensitive);
        if (at < 0)
            return;
        // The first replaced character's attributes carry over.
        text.replaceCharactersInRange({at, code.size()},
                                      AttributedString(replacement, text.attributesAtIndex(at)));
        from = at + replacement.size();
    }
}

QList<QLineF> cropMarks(Rect r)
{
    const qreal x = r.x(), y = r.y(), w = r.width(), h = r.height();
    return {
        {x - 2, y, x - 10, y},
        {x, y - 2, x, y - 10},
        {x - 2, y + h, x - 10, y + h},
        {x, y + h + 2, x, y + h + 10},
        {x + w + 2, y + h, x + w + 10, y + h},
        {x + w, y + h + 2, x + w, y + h + 10},
        {x + w + 2, y, x + w + 10, y},
        {x + w, y - 2, x + w, y - 10},
    };
}

float frameLineWidth(const OrderedDictionary &setup)
{
    const float width = TWPrintSetup::floatValue(setup, TWPrintSetup::FrameWidth);
    return width < 1 ? 2.0f : 2 * width;
}

BandLayout headerLayout(const OrderedDictionary &setup, Rect pageRect, float textHeight,
                        std::optional<Size> imageSize)
{
    return bandLayout(setup, pageRect, textHeight, imageSize, true);
}

BandLayout footerLayout(const OrderedDictionary &setup, Rect pageRect, float textHeight,
                        std::optional<Size> imageSize)
{
    return bandLayout(setup, pageRect, textHeight, imageSize, false);
}

float textHeight(const AttributedString &text)
{
    if (text.isEmpty())
        return 0;
    TWTextLayout layout;
    layout.setLineFragmentPadding(0);
    layout.setContainerSize(Size(TWTextLayout::containerMaximum, TWTextLayout::containerMaximum));
    layout.setAttributedString(text);
    return layout.usedRect().height();
}

void drawPageBorder(const DrawingContext &context, const OrderedDictionary &setup, Rect pageRect,
                    Size paperSize, const FieldValues &values)
{
    using namespace TWPrintSetup;
    QPainter &p = context.painter();
    if (boolValue(setup, PrintCropMarks)) {
        QPainterPath marks;
        for (const QLineF &line : cropMarks(pageRect)) {
            marks.moveTo(toDevice(line.p1(), paperSize.height));
            marks.lineTo(toDevice(line.p2(), paperSize.height));
        }
        p.strokePath(marks, DrawingContext::pen(SystemColors::darkGrayColor().toQColor(),
                                                StrokeStyle::withWidth(1)));
    }
    if (boolValue(setup, PrintFrame)) {
        const Color color = colorValue(setup, FrameColor).value_or(Color::blackColor());
        QPainterPath frame;
        frame.addRect(toDevice(pageRect, paperSize.height));
        p.strokePath(frame, DrawingContext::pen(color.toQColor(),
                                                StrokeStyle::withWidth(frameLineWidth(setup))));
    }
    drawBand(context, setup, pageRect, paperSize, values, true);
    drawBand(context, setup, pageRect, paperSize, values, false);
}

} // namespace TWPrintPageBorder
