#pragma once

#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;

// Single-line text drawing that truncates with an ellipsis, and haloed text.
// Only the first line of a text is ever drawn.
namespace OAExtensions {

enum Alignment { LeftAlignment = 0, RightAlignment = 1, CenterAlignment = 2 };

// How the first line of a text fits a width.
struct FirstLineFit
{
    qsizetype keptLength = 0; // UTF-16 units of the text that are drawn
    bool truncated = false;
    bool drawsEllipsis = false;
    bool rightToLeft = false; // the ellipsis goes at the left
    qreal lineWidth = 0;      // the whole first line, untruncated
    qreal lineHeight = 0;
    qreal ellipsisWidth = 0;
    qreal drawnWidth = 0; // kept glyphs plus the ellipsis
    qreal ellipsisX = 0;  // left edge of the ellipsis, from the drawing origin
};

FirstLineFit fitFirstLine(const AttributedString &text, qreal width);
// Whether the last character of the line sits at an odd or raised bidi level
// (right-to-left text, or left-to-right text inside a right-to-left paragraph).
bool lastCharacterIsRightToLeft(QStringView line);

void drawInRectangle(QPainter &painter, const AttributedString &text, const QRectF &rect,
                     int alignment, bool verticallyCentered);
void drawWithFontAttributes(QPainter &painter, const QString &string,
                            const TextAttributes &attributes, int alignment, bool verticallyCenter,
                            const QRectF &rect);
// A null font or an invalid colour leaves that attribute out.
void drawWithFont(QPainter &painter, const QString &string, const std::optional<Font> &font,
                  const std::optional<Color> &color, int alignment, bool verticallyCenter,
                  const QRectF &rect);
inline void drawWithFontAttributes(QPainter &painter, const QString &string,
                                   const TextAttributes &attributes, int alignment,
                                   const QRectF &rect)
{
    drawWithFontAttributes(painter, string, attributes, alignment, false, rect);
}

// Wrapped text in the rectangle moved by the offsets.
void drawInRect(QPainter &painter, const QString &string, const QRectF &rect, qreal xOffset,
                qreal yOffset, const TextAttributes &attributes);
// The string at every offset of the square of radius r, step s.
void drawFillInRect(QPainter &painter, const QString &string, const QRectF &rect, qreal radius,
                    qreal step, const TextAttributes &attributes);
// The string at the offsets of the ring of that square.
void drawOutlineInRect(QPainter &painter, const QString &string, const QRectF &rect, qreal radius,
                       qreal step, const TextAttributes &attributes);
// Text (white by default) with a soft two-point halo (black by default).
void drawOutlinedWithFont(QPainter &painter, const QString &string, const std::optional<Font> &font,
                          const std::optional<Color> &color,
                          const std::optional<Color> &backgroundColor, const QRectF &rect);
// The haloed string in an image 4 points larger than the text each way; the
// colour is that of the text.
QImage outlinedImageWithColor(const QString &string, const Color &color);

// The font plain text is drawn with when a text names none.
Font defaultFont();

} // namespace OAExtensions
