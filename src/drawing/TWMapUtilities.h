#pragma once

#include "support/Color.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

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
};
