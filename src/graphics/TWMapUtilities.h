#pragma once

#include "platform/Geometry.h"
#include "support/Color.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

class TWGraphic;
class TWMapBranch;

// Shared services of map drawing.
class TWMapUtilities
{
public:
    TWMapUtilities() = delete;

    // An icon tinted with a colour: the colour laid over the icon with the
    // plus-darker operation (each component max(0, icon + colour - 1), so
    // white takes the colour and black stays black), then premultiplied by
    // the icon's own alpha, with the overlay drawn on top. Without a colour
    // the icon itself (the very same image) when there is no overlay, else
    // the icon with the overlay drawn over it. A null icon gives a null image.
    static QImage generateImageOfColor(const std::optional<Color> &color, const QImage &image,
                                       const QImage &overlay = QImage());
    // One pixel of a tinted icon: the icon's premultiplied 8-bit component
    // and alpha and the colour's 8-bit component give the result's
    // premultiplied component.
    static int tintedComponent(int iconComponent, int iconAlpha, int colorComponent);

    // PNG data of the text in the named font at 12 points on a transparent
    // ground, as large as the laid-out text; a font that is not installed
    // is drawn with its substitute. Nothing for an empty font name.
    static std::optional<QByteArray> textImageForText(const QString &text, const QString &fontName);

    using GraphicList = QList<std::shared_ptr<TWGraphic>>;
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;
    // The branches of the list that lie below no other listed branch, in
    // the order they are first met (whatever the order of the input).
    static BranchList minimumBranchCoverFromBranchesInArray(const BranchList &branches);
    // A selection reduced to what stands for it: each covered branch's shape
    // (after the rest), and the other graphics that lie outside the covered
    // subtrees; link lines only with `includeLinkLines`.
    static GraphicList minimumGraphicCoverFromGraphics(const GraphicList &graphics,
                                                       bool includeLinkLines);
    // Whether the graphic draws the selection glow, and its drop shadow.
    static bool shouldGraphicDrawSelectionShadow(const TWGraphic &graphic);
    static bool shouldGraphicDrawShadows(TWGraphic &graphic);

    // The text system's line-fragment padding, stored at launch.
    static void setDefaultLineFragmentPadding(float padding);
    static float defaultLineFragmentPadding();

    // Replaces every occurrence of the target, searching again from the start.
    static void replaceString(const QString &target, const QString &replacement, QString &string);
    // Replaces each character of the set, resuming after the inserted text.
    static void replaceAllOccurrencesOfCharactersInSet(const QString &characters,
                                                       const QString &replacement, QString &string);
    // The name of the nearest colour of the named-colour list, or nothing
    // when none is closer than 3 (summed component difference).
    static std::optional<QString> colorNameFromColor(const Color &color);
    // The named-colour list: names and colours in list order.
    static const QList<std::pair<QString, Color>> &namedColors();
    // "Solid" ... "None" from the "DadoZiz" table; "" (and a log line) for
    // other numbers.
    static QString lineStyleNameFromStyle(int style);

    // One setting that every graphic of a group shares.
    struct StyleListEntry
    {
        // "FillColor", "LineColor", "LineWidth", "LineStyle", "Font",
        // "FontColor", "Shadow" or "ConnectionStyle".
        QString styleType;
        // A Color, a float width, an int line style, a Font, a Shadow, or
        // the int line style of the connections.
        QVariant value;
        QString text;
        // A 24 x 24 sample.
        QImage image;
    };
    // The settings the graphics have in common, in the type order above. A
    // branch's shape or label stands for both; attached graphics and link
    // lines for themselves. Inherited fills, strokes and shadows count as
    // unset, and a text run without a font or colour breaks that type.
    static QList<StyleListEntry> buildStyleListForGraphics(const GraphicList &graphics);
};

// The union of two rectangles that, unlike Rect::united(), lets an empty
// rectangle extend it to its origin.
Rect TWUnionRect(const Rect &a, const Rect &b);
