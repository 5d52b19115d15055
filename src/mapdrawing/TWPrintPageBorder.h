#pragma once

#include "platform/Geometry.h"
#include "support/AttributedString.h"
#include "support/OrderedDictionary.h"

#include <QDateTime>
#include <QLineF>
#include <QList>
#include <QString>
#include <optional>

class DrawingContext;

// What a printed page carries around the map: crop marks, a frame, and a
// header and a footer with text and a picture. Rectangles are in the
// sheet's coordinates, origin at its lower-left corner and y growing
// upward; drawing turns them into the device's y-down points.
namespace TWPrintPageBorder {

// What the field codes of a header or footer stand for.
struct FieldValues
{
    QString fileName; // the document's path; empty for one never saved
    int page = 1;
    int pageCount = 1;
    QString title;
    QDateTime date; // local date and time
};

// The fifteen codes the print sheet inserts, by tag 1 to 15; empty for any
// other tag.
QString fieldCodeForTag(int tag);
// A copy with every field code replaced, in one pass over the text as
// typed: what a replacement inserts (a title holding "%dd%") is never read
// as a code. Inserted text takes the attributes of the code's first character.
AttributedString stringPreparedForPrinting(const AttributedString &text, const FieldValues &values);
// Replaces every occurrence of `code` in place, searching on after each
// inserted text, so a replacement holding the code is inserted once.
void replaceString(AttributedString &text, const QString &code, const QString &replacement);

// The eight 8-point strokes, 2 points off the page rectangle's corners.
QList<QLineF> cropMarks(Rect pageRect);
// Frames are stroked twice as wide as their width, and 2 points below 1.
float frameLineWidth(const OrderedDictionary &setup);

// Where a header or footer goes on the sheet.
struct BandLayout
{
    Rect textRect;
    std::optional<Rect> imageRect; // the picture as drawn
};
// `textHeight` is the prepared text's height; `imageSize` the picture's
// own size, when there is one. Pictures are scaled to the text when asked
// to; otherwise a header picture is at most 200 points tall.
BandLayout headerLayout(const OrderedDictionary &setup, Rect pageRect, float textHeight,
                        std::optional<Size> imageSize);
BandLayout footerLayout(const OrderedDictionary &setup, Rect pageRect, float textHeight,
                        std::optional<Size> imageSize);
constexpr float maximumHeaderImageHeight = 200;

// The height of a text laid out on one unbounded line per paragraph.
float textHeight(const AttributedString &text);

// Draws crop marks, frame, header and footer, in that order, for the page
// rectangle on a sheet of `paperSize`.
void drawPageBorder(const DrawingContext &context, const OrderedDictionary &setup, Rect pageRect,
                    Size paperSize, const FieldValues &values);

} // namespace TWPrintPageBorder
