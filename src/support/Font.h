#pragma once

#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QFont>
#include <QMetaType>
#include <QString>
#include <optional>

#include <libxml/tree.h>

class XMLOut;

// A font as documents name it: a PostScript name and a point size. A font that
// is not installed here keeps its name, so saving writes back what was read;
// drawing resolves it through FontRegistry to an installed face or a substitute.
class Font
{
public:
    Font() = default;
    Font(const QString &fontName, double pointSize) : m_fontName(fontName), m_pointSize(pointSize)
    {}

    // No name: not a font at all (what the readers give for a nameless element).
    bool isNull() const { return m_fontName.isEmpty(); }

    const QString &fontName() const { return m_fontName; }
    double pointSize() const { return m_pointSize; }

    // Same name, another size.
    Font withSize(double pointSize) const { return Font(m_fontName, pointSize); }

    bool isInstalled() const;
    // The installed face's family, or an empty string for a font missing here.
    QString familyName() const;
    // What to measure and draw with: the installed face or its substitute.
    QFont toQFont() const;
    // "Name 12.00 pt.", the text a font is written as where no element fits.
    QString description() const;

    // <NSFont> on both routes: `fontName` and `size` ("%f"). The readers keep
    // a font that is not installed here.
    XMLElement freshXMLElement() const;
    // Nothing without a name or with a size of 0 (a missing size reads as 0).
    static std::optional<Font> objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // `parent` is the node holding <NSFont>. Nothing without a name; a
    // missing size gives 10 points.
    static std::optional<Font> fontWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);
    QString xmlRepresentation() const;
    static std::optional<Font> fontFromXMLRepresentation(const QString &text);

    friend bool operator==(const Font &a, const Font &b)
    {
        return a.m_fontName == b.m_fontName && a.m_pointSize == b.m_pointSize;
    }
    friend bool operator!=(const Font &a, const Font &b) { return !(a == b); }

private:
    QString m_fontName;
    double m_pointSize = 0.0;
};

Q_DECLARE_METATYPE(Font)
