#pragma once

#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QColor>
#include <QMetaType>
#include <QString>
#include <optional>

#include <libxml/tree.h>

class XMLOut;

// A colour as documents store it: double components in a named colour space.
// QColor keeps only 16 bits a component, so it is made only to paint; the file
// text of a colour must not drift on every load and save.
class Color
{
public:
    enum class Space {
        CalibratedRGB,
        DeviceRGB,
        CalibratedWhite, // grey: one component plus alpha
        DeviceWhite,
    };

    // Opaque black in calibrated RGB.
    Color() = default;

    static Color colorWithCalibratedRed(double red, double green, double blue, double alpha = 1.0);
    static Color colorWithDeviceRed(double red, double green, double blue, double alpha = 1.0);
    static Color colorWithCalibratedWhite(double white, double alpha = 1.0);
    static Color colorWithDeviceWhite(double white, double alpha = 1.0);
    static Color blackColor() { return colorWithCalibratedWhite(0.0); }
    static Color whiteColor() { return colorWithCalibratedWhite(1.0); }
    static Color clearColor() { return colorWithCalibratedWhite(0.0, 0.0); }
    // Device RGB of a QColor (what a colour picker hands over).
    static Color fromQColor(const QColor &color);

    Space colorSpace() const { return m_space; }
    bool isRGB() const { return m_space == Space::CalibratedRGB || m_space == Space::DeviceRGB; }

    // Components as red, green and blue; a grey answers its white for each.
    double redComponent() const { return m_c[0]; }
    double greenComponent() const { return isRGB() ? m_c[1] : m_c[0]; }
    double blueComponent() const { return isRGB() ? m_c[2] : m_c[0]; }
    double whiteComponent() const;
    double alphaComponent() const { return m_alpha; }

    // The same colour in another space. Grey to RGB repeats the white; RGB to
    // grey takes the luminance. Calibrated and device spaces share components:
    // there is no colour management here.
    Color colorUsingColorSpace(Space space) const;
    Color toCalibratedRGB() const { return colorUsingColorSpace(Space::CalibratedRGB); }
    Color colorWithAlphaComponent(double alpha) const;

    QColor toQColor() const;

    // Same space and exactly the same components.
    friend bool operator==(const Color &a, const Color &b);
    friend bool operator!=(const Color &a, const Color &b) { return !(a == b); }

    // For logs and test failures: "Color(CalibratedRGB 1 0 0 1)".
    QString description() const;

    // <NSColor> on both routes: red, green, blue and alpha of the calibrated
    // RGB form, "%f" each. The readers never fail: a missing component is 0.
    XMLElement freshXMLElement() const;
    static Color objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // `parent` is the node holding <NSColor>.
    static Color colorWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);
    // The single-value snippet and its reader (nothing for text that does
    // not parse or has no "XMLObj" root).
    QString xmlRepresentation() const;
    static std::optional<Color> colorFromXMLRepresentation(const QString &text);

private:
    Color(Space space, double c0, double c1, double c2, double alpha);

    Space m_space = Space::CalibratedRGB;
    double m_c[3] = {0.0, 0.0, 0.0};
    double m_alpha = 1.0;
};

Q_DECLARE_METATYPE(Color)
