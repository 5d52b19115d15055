#pragma once

#include "platform/Geometry.h"
#include "support/Color.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QGradientStops>
#include <QMetaType>
#include <QRectF>
#include <optional>
#include <stdexcept>
#include <vector>

#include <libxml/tree.h>

class QPainter;

// Raised by the stop accessors for an index or position that names no stop.
class NSRangeException : public std::out_of_range
{
public:
    using std::out_of_range::out_of_range;
    static const char *name() { return "NSRangeException"; }
};

// A colour gradient: colour stops in ascending position and a blending mode
// that decides how the colour between two stops is mixed. The operations
// that change the stops return a changed copy and leave the receiver alone.
class CTGradient
{
public:
    enum BlendingMode { Linear = 0, Chromatic = 1, InverseChromatic = 2 };

    struct Element
    {
        float red = 0, green = 0, blue = 0, alpha = 0;
        float position = 0;
        friend bool operator==(const Element &, const Element &) = default;
    };

    CTGradient() = default;

    static CTGradient gradientWithBeginningColor(const Color &begin, const Color &end);
    static CTGradient aquaSelectedGradient();
    static CTGradient aquaNormalGradient();
    static CTGradient aquaPressedGradient();
    static CTGradient unifiedSelectedGradient();
    static CTGradient unifiedNormalGradient();
    static CTGradient unifiedPressedGradient();
    static CTGradient unifiedDarkGradient();
    static CTGradient sourceListSelectedGradient();
    static CTGradient sourceListUnselectedGradient();
    static CTGradient rainbowGradient();
    static CTGradient hydrogenSpectrumGradient();

    // Copies: every stop with its alpha replaced (the copy blends linearly),
    // the same stops with another mode, one stop more, one stop less. The
    // removers throw NSRangeException when nothing matches.
    CTGradient gradientWithAlphaComponent(float alpha) const;
    CTGradient gradientWithBlendingMode(int mode) const;
    CTGradient addColorStop(const Color &color, float position) const;
    CTGradient removeColorStopAtIndex(unsigned index) const;
    CTGradient removeColorStopAtPosition(float position) const;

    Color colorStopAtIndex(unsigned index) const;
    // The colour the blending mode gives at `position`; opaque white for a
    // gradient without stops.
    Color colorAtPosition(float position) const;

    int blendingMode() const { return m_blendingMode; }
    // A mode other than the three known ones blends linearly.
    void setBlendingMode(int mode);

    const std::vector<Element> &elements() const { return m_elements; }

    // Fills `rect` along an axis at `angle` degrees, measured in the painter's
    // own coordinates: 0 runs from the rectangle's minimum x to its maximum x,
    // 90 from its minimum y to its maximum y; any other angle puts the two ends
    // on the corners farthest along the axis. Nothing is drawn outside `rect`.
    void fillRect(QPainter &painter, const QRectF &rect, float angle) const;
    // From a circle of radius 1 at the centre to one of half the longer side,
    // the end colours carried on beyond both circles; clipped to `rect`.
    void radialFillRect(QPainter &painter, const QRectF &rect) const;
    void drawSwatchInRect(QPainter &painter, const QRectF &rect) const
    {
        fillRect(painter, rect, 45);
    }

    // Qt gradient stops that follow the blending mode: samples across the
    // whole range plus each stop's own position and the instant before it,
    // so that coincident stops keep their hard edge.
    QGradientStops gradientStops() const;

    // <CTGradient> with `CTGradientBlendingMode`, `CTGradientElementCount`
    // and one `CTGradientElement` {`position`, <NSColor>} per stop in order.
    // Reading takes the stops present; an unknown mode reads as linear.
    XMLElement freshXMLElement() const;
    static std::optional<CTGradient> objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr parent) const;

    friend bool operator==(const CTGradient &, const CTGradient &) = default;

private:
    void addElement(const Element &element);
    void evaluate(float position, float out[4]) const;

    std::vector<Element> m_elements;
    int m_blendingMode = Linear;
};

Q_DECLARE_METATYPE(CTGradient)
