#include "interface/OAStringDrawing.h"

#include "interface/OFExtensions.h"
#include "support/Font.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <memory>

namespace OAExtensions {

Font defaultFont()
{
    return Font(QStringLiteral("Helvetica"), 12.0);
}

namespace {

QTextCharFormat formatFor(const TextAttributes &attributes)
{
    QTextCharFormat format;
    const QVariant font = attributes.value(NSFontAttributeName);
    format.setFont(font.canConvert<Font>() ? font.value<Font>().toQFont()
                                           : defaultFont().toQFont());
    const QVariant color = attributes.value(NSForegroundColorAttributeName);
    format.setForeground(color.canConvert<Color>() ? color.value<Color>().toQColor()
                                                   : QColor(Qt::black));
    if (attributes.value(NSUnderlineStyleAttributeName).toInt() != 0)
        format.setFontUnderline(true);
    if (attributes.value(NSStrikethroughStyleAttributeName).toInt() != 0)
        format.setFontStrikeOut(true);
    return format;
}

// A text ready for QTextLayout: characters and their formats.
struct StyledText
{
    QString text;
    QList<QTextLayout::FormatRange> formats;

    explicit StyledText(const AttributedString &source) : text(source.string())
    {
        for (qsizetype run = 0; run < source.runCount(); ++run) {
            const AttributedString::Range range = source.runRange(run);
            formats.append(
                {int(range.location), int(range.length), formatFor(source.runAttributes(run))});
        }
    }

    QTextCharFormat formatAt(qsizetype index) const
    {
        for (const QTextLayout::FormatRange &r : formats) {
            if (index >= r.start && index < r.start + r.length)
                return r.format;
        }
        return formatFor({});
    }

    // The first `length` characters, with `suffix` in `suffixFormat` after them.
    std::unique_ptr<QTextLayout> layout(qsizetype length, Qt::LayoutDirection direction,
                                        const QString &suffix = QString(),
                                        const QTextCharFormat &suffixFormat = {}) const
    {
        auto layout = std::make_unique<QTextLayout>(text.left(length) + suffix);
        layout->setFont(formatFor({}).font());
        QList<QTextLayout::FormatRange> clipped;
        for (const QTextLayout::FormatRange &r : formats) {
            const int end = int(std::min<qsizetype>(r.start + r.length, length));
            if (r.start < end)
                clipped.append({r.start, end - r.start, r.format});
        }
        if (!suffix.isEmpty())
            clipped.append({int(length), int(suffix.size()), suffixFormat});
        layout->setFormats(clipped);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setTextDirection(direction);
        // Right-to-left lines would otherwise be pushed to the far end of the line width.
        option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
        layout->setTextOption(option);
        layout->beginLayout();
        QTextLine line = layout->createLine();
        if (line.isValid()) {
            line.setLineWidth(1.0e7);
            line.setPosition(QPointF(0, 0));
        }
        layout->endLayout();
        return layout;
    }
};

qreal naturalWidth(const QTextLayout &layout)
{
    return layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0.0;
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) ||
           c == QChar(0x0085);
}

// Grapheme boundaries of the first `length` characters, after 0.
QList<qsizetype> graphemeEnds(const QString &text, qsizetype length)
{
    QList<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.left(length));
    for (qsizetype p = finder.toNextBoundary(); p > 0; p = finder.toNextBoundary())
        ends.append(p);
    return ends;
}

struct Fitted
{
    FirstLineFit fit;
    std::unique_ptr<QTextLayout> layout; // what is drawn; null when nothing is
};

Fitted fit(const AttributedString &source, qreal width)
{
    Fitted result;
    FirstLineFit &fit = result.fit;
    if (source.isEmpty())
        return result;
    const StyledText text(source);
    qsizetype lineLength = 0;
    while (lineLength < text.text.size() && !isLineBreak(text.text[lineLength]))
        ++lineLength;
    const bool multiLine = lineLength < text.text.size();

    std::unique_ptr<QTextLayout> whole = text.layout(lineLength, Qt::LayoutDirectionAuto);
    fit.lineWidth = naturalWidth(*whole);
    fit.lineHeight = whole->lineCount() > 0 ? whole->lineAt(0).height() : 0.0;
    if (fit.lineHeight <= 0.0)
        fit.lineHeight = QFontMetricsF(text.formatAt(0).font()).height();

    fit.truncated = fit.lineWidth > width || multiLine;
    if (!fit.truncated) {
        fit.keptLength = lineLength;
        fit.drawnWidth = fit.lineWidth;
        result.layout = std::move(whole);
        return result;
    }

    fit.rightToLeft = lastCharacterIsRightToLeft(QStringView(text.text).left(lineLength));
    const Qt::LayoutDirection direction = fit.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight;
    const QTextCharFormat ellipsisFormat = text.formatAt(lineLength > 0 ? lineLength - 1 : 0);
    const QString &ellipsis = OFExtensions::horizontalEllipsisString();
    fit.ellipsisWidth = naturalWidth(
        *StyledText(AttributedString(ellipsis)).layout(0, direction, ellipsis, ellipsisFormat));

    fit.keptLength = lineLength;
    fit.drawsEllipsis = true;
    if (fit.lineWidth > width || fit.lineWidth + fit.ellipsisWidth > width) {
        // The longest run of whole characters that leaves room for `room`.
        const QList<qsizetype> ends = graphemeEnds(text.text, lineLength);
        const auto longestWithin = [&](qreal room) {
            qsizetype lo = 0, hi = ends.size(); // ends[0..lo) fit
            while (lo < hi) {
                const qsizetype mid = (lo + hi) / 2;
                if (naturalWidth(*text.layout(ends[mid], direction)) <= room)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo == 0 ? qsizetype(0) : ends[lo - 1];
        };
        fit.keptLength = longestWithin(width - fit.ellipsisWidth);
        if (fit.keptLength == 0) {
            fit.drawsEllipsis = false;
            fit.keptLength = longestWithin(width);
        }
    }
    if (fit.keptLength == 0)
        return result;

    result.layout = text.layout(fit.keptLength, direction, fit.drawsEllipsis ? ellipsis : QString(),
                                ellipsisFormat);
    fit.drawnWidth = naturalWidth(*result.layout);
    if (fit.drawsEllipsis) {
        const QTextLine line = result.layout->lineAt(0);
        fit.ellipsisX = std::min(line.cursorToX(int(fit.keptLength)),
                                 line.cursorToX(int(fit.keptLength + ellipsis.size()))) -
                        line.naturalTextRect().x();
    }
    return result;
}

} // namespace

bool lastCharacterIsRightToLeft(QStringView line)
{
    const auto codePoints = line.toUcs4();
    int base = 0;
    for (char32_t c : codePoints) {
        const QChar::Direction d = QChar::direction(c);
        if (d == QChar::DirL)
            break;
        if (d == QChar::DirR || d == QChar::DirAL) {
            base = 1;
            break;
        }
    }
    // Marks take the class of what they follow.
    qsizetype last = codePoints.size() - 1;
    while (last >= 0 && (QChar::direction(codePoints[last]) == QChar::DirNSM ||
                         QChar::direction(codePoints[last]) == QChar::DirBN))
        --last;
    if (last < 0)
        return base != 0;
    const QChar::Direction d = QChar::direction(codePoints[last]);
    if (d == QChar::DirR || d == QChar::DirAL)
        return true;
    if (d == QChar::DirL)
        return base != 0; // level 2 inside a right-to-left paragraph
    if (d == QChar::DirEN || d == QChar::DirAN) {
        if (d == QChar::DirAN)
            return true;
        // A European number after left-to-right text becomes left-to-right.
        int context = base;
        for (qsizetype i = last - 1; i >= 0; --i) {
            const QChar::Direction p = QChar::direction(codePoints[i]);
            if (p == QChar::DirL) {
                context = 0;
                break;
            }
            if (p == QChar::DirR || p == QChar::DirAL) {
                context = 1;
                break;
            }
        }
        return context != 0 || base != 0;
    }
    // Trailing neutrals and white space take the paragraph's level.
    return base != 0;
}

FirstLineFit fitFirstLine(const AttributedString &text, qreal width)
{
    return fit(text, width).fit;
}

void drawInRectangle(QPainter &painter, const AttributedString &text, const QRectF &rect,
                     int alignment, bool verticallyCentered)
{
    const Fitted fitted = fit(text, rect.width());
    if (!fitted.layout)
        return;
    const FirstLineFit &f = fitted.fit;
    qreal x = rect.x();
    if (alignment == RightAlignment)
        x = rect.x() + rect.width() - f.drawnWidth;
    else if (alignment == CenterAlignment)
        x = rect.x() + rect.width() / 2 - f.drawnWidth / 2;
    const qreal y = verticallyCentered ? rect.y() + rect.height() / 2 - f.lineHeight / 2 : rect.y();
    // The layout's line may start right of 0 for right-to-left text.
    const qreal lineX = fitted.layout->lineAt(0).naturalTextRect().x();
    fitted.layout->draw(&painter, QPointF(x - lineX, y));
}

void drawWithFontAttributes(QPainter &painter, const QString &string,
                            const TextAttributes &attributes, int alignment, bool verticallyCenter,
                            const QRectF &rect)
{
    drawInRectangle(painter, AttributedString(string, attributes), rect, alignment,
                    verticallyCenter);
}

void drawWithFont(QPainter &painter, const QString &string, const std::optional<Font> &font,
                  const std::optional<Color> &color, int alignment, bool verticallyCenter,
                  const QRectF &rect)
{
    TextAttributes attributes;
    if (font && !font->isNull())
        attributes.insert(NSFontAttributeName, QVariant::fromValue(*font));
    if (color)
        attributes.insert(NSForegroundColorAttributeName, QVariant::fromValue(*color));
    drawWithFontAttributes(painter, string, attributes, alignment, verticallyCenter, rect);
}

void drawInRect(QPainter &painter, const QString &string, const QRectF &rect, qreal xOffset,
                qreal yOffset, const TextAttributes &attributes)
{
    const QTextCharFormat format = formatFor(attributes);
    painter.save();
    painter.setFont(format.font());
    painter.setPen(format.foreground().color());
    painter.drawText(rect.translated(xOffset, yOffset), Qt::TextWordWrap, string);
    painter.restore();
}

void drawFillInRect(QPainter &painter, const QString &string, const QRectF &rect, qreal radius,
                    qreal step, const TextAttributes &attributes)
{
    if (step <= 0)
        return;
    for (qreal x = -radius; x <= radius; x += step) {
        for (qreal y = -radius; y <= radius; y += step)
            drawInRect(painter, string, rect, x, y, attributes);
    }
}

void drawOutlineInRect(QPainter &painter, const QString &string, const QRectF &rect, qreal radius,
                       qreal step, const TextAttributes &attributes)
{
    if (step <= 0)
        return;
    for (qreal x = -radius; x <= radius; x += step) {
        drawInRect(painter, string, rect, x, -radius, attributes);
        drawInRect(painter, string, rect, x, radius, attributes);
    }
    for (qreal y = step - radius; y <= radius - step; y += step) {
        drawInRect(painter, string, rect, -radius, y, attributes);
        drawInRect(painter, string, rect, radius, y, attributes);
    }
}

void drawOutlinedWithFont(QPainter &painter, const QString &string, const std::optional<Font> &font,
                          const std::optional<Color> &color,
                          const std::optional<Color> &backgroundColor, const QRectF &rect)
{
    const QRectF drawingRect(rect.x() + 2.0, rect.y(), rect.width() - 2.0, rect.height());
    const Color textColor = color.value_or(Color::whiteColor());
    const Color haloColor = backgroundColor.value_or(Color::blackColor());
    TextAttributes attributes;
    if (font && !font->isNull())
        attributes.insert(NSFontAttributeName, QVariant::fromValue(*font));

    attributes.insert(NSForegroundColorAttributeName,
                      QVariant::fromValue(haloColor.colorWithAlphaComponent(0.8)));
    drawFillInRect(painter, string, drawingRect, 1.0, 1.0, attributes);
    attributes.insert(NSForegroundColorAttributeName,
                      QVariant::fromValue(haloColor.colorWithAlphaComponent(0.2)));
    drawOutlineInRect(painter, string, drawingRect, 2.0, 1.0, attributes);
    attributes.insert(NSForegroundColorAttributeName, QVariant::fromValue(textColor));
    drawInRect(painter, string, drawingRect, 0, 0, attributes);
}

QImage outlinedImageWithColor(const QString &string, const Color &color)
{
    const QFontMetricsF metrics(defaultFont().toQFont());
    const QSizeF text(metrics.horizontalAdvance(string), metrics.height());
    QImage image(QSizeF(text.width() + 4.0, text.height() + 4.0).toSize().expandedTo(QSize(1, 1)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawOutlinedWithFont(painter, string, std::nullopt, color, std::nullopt,
                         QRectF(0.0, 2.0, text.width() + 4.0, text.height() + 4.0));
    return image;
}

} // namespace OAExtensions
