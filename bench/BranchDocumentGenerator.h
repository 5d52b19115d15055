// Generated documents for the streaming benchmarks: a maps document of one
// map whose branches carry what real branches carry (shape, text area with
// an attributed string, connection, the settings) and every twentieth a
// picture, about 15 KB of XML a branch.
#pragma once

#include "support/XMLElement.h"
#include "support/XMLStreamWriter.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace BranchDocument {

inline QString f(double v)
{
    return QString::number(v, 'f', 6);
}

inline void addColor(XMLElement parent, const char *name, double r, double g, double b)
{
    XMLElement color = parent.appendChildElement(name).appendChildElement(u"NSColor");
    color.setString(QStringLiteral("NSCalibratedRGBColorSpace"), u"colorSpaceName");
    for (const auto &[key, value] : {std::pair{u"redComponent", r},
                                     {u"greenComponent", g},
                                     {u"blueComponent", b},
                                     {u"alphaComponent", 1.0}})
        color.setString(f(value), key);
}

// A graphic element of `points` path elements and a styled shadow and fill.
inline XMLElement graphic(const char *className, int number, int points)
{
    XMLElement g = XMLElement::create(className);
    g.setInt(number, u"graphicNumber");
    XMLElement bounds = g.appendChildElement(u"bounds");
    bounds.setString(
        QStringLiteral("{{%1, %2}, {120.5, 48.25}}").arg(number % 700).arg(number % 500), u"rect");
    addColor(g, "fillColor", 0.2, 0.4 + (number % 5) * 0.1, 0.8);
    addColor(g, "strokeColor", 0.1, 0.1, 0.1);
    g.setFloat(1.5, u"strokeLineWidth");
    XMLElement shadow = g.appendChildElement(u"shadow").appendChildElement(u"NSShadow");
    shadow.setFloat(3, u"shadowBlurRadius");
    shadow.appendChildElement(u"shadowOffset").setString(QStringLiteral("{2, -2}"), u"size");
    addColor(shadow, "shadowColor", 0, 0, 0);
    XMLElement path = g.appendChildElement(u"path").appendChildElement(u"NSBezierPath");
    path.setFloat(1, u"lineWidth");
    path.setInt(0, u"windingRule");
    XMLElement elements = path.appendChildElement(u"elements");
    for (int i = 0; i < points; ++i) {
        XMLElement e = elements.appendChildElement(u"element");
        e.setInt(i == 0 ? 0 : 2, u"type");
        for (int p = 0; p < 3; ++p) {
            XMLElement point = e.appendChildElement(u"point");
            point.setFloat(i * 3.25 + p, u"x");
            point.setFloat(i * 1.5 - p, u"y");
        }
    }
    for (const char *flag : {"isLocked", "isHidden", "drawsFill", "drawsStroke", "drawsShadow"})
        g.setBool(flag[1] == 'r', flag);
    return g;
}

// A text area holding an attributed string of `runs` styled runs.
inline XMLElement textArea(int number, int runs)
{
    XMLElement t = graphic("TWTextArea", number, 1);
    XMLElement string = t.appendChildElement(u"text").appendChildElement(u"NSAttributedString");
    QString text;
    for (int i = 0; i < runs; ++i)
        text += QStringLiteral("Branch %1 part %2 & more ").arg(number).arg(i);
    string.setString(text, u"string");
    XMLElement attributes = string.appendChildElement(u"attributes");
    for (int i = 0; i < runs; ++i) {
        XMLElement run = attributes.appendChildElement(u"run");
        run.setInt(i * 25, u"location");
        run.setInt(25, u"length");
        XMLElement font = run.appendChildElement(u"NSFont").appendChildElement(u"NSFont");
        font.setString(QStringLiteral("Helvetica-Bold"), u"fontName");
        font.setFloat(12 + i, u"pointSize");
        addColor(run, "NSColor", 0, 0, 0.5);
        XMLElement style = run.appendChildElement(u"NSParagraphStyle");
        style.setInt(i % 3, u"alignment");
        style.setFloat(1.2, u"lineHeightMultiple");
        XMLElement tabs = style.appendChildElement(u"tabStops");
        for (int s = 0; s < 2; ++s) {
            XMLElement tab = tabs.appendChildElement(u"NSTextTab");
            tab.setInt(0, u"tabStopType");
            tab.setFloat(28.0 * (s + 1), u"location");
        }
    }
    return t;
}

struct Tree
{
    explicit Tree(int count) : branches(count) {}
    int branches;
    int fanOut = 8;
    std::function<void(const QString &path, int bytes)> picture; // called for each picture
};

// Writes branch `number` and its subtree the way a branch writer will: scalar
// children as text elements, value objects as small elements.
inline void writeBranch(XMLStreamWriter &w, const Tree &tree, int number, bool hasParent)
{
    w.writeStartElement(u"TWMapBranch");
    w.writeStartElement(u"mainGraphic");
    w.writeElement(graphic("TWRoundedRectangle", number * 4, 3));
    w.writeEndElement();
    if (number % 20 == 0) {
        const QString path = QStringLiteral("Images/Branch%1/Graphic%2/ExtractedImage.png")
                                 .arg(number)
                                 .arg(number * 4 + 3);
        XMLElement image = graphic("TWImageGraphic", number * 4 + 3, 4);
        image.setString(path, u"imageFilename");
        w.writeStartElement(u"enclosedImage");
        w.writeElement(image);
        w.writeEndElement();
        if (tree.picture)
            tree.picture(path, 8192);
    }
    w.writeTextElement(u"enclosedImageLayoutMode", QStringLiteral("0"));
    w.writeTextElement(u"soundFileReferenceMethod", QStringLiteral("0"));
    w.writeStartElement(u"enclosedTextArea");
    w.writeElement(textArea(number * 4 + 1, 2));
    w.writeEndElement();
    w.writeTextElement(u"branchNumber", QString::number(number));
    if (hasParent) {
        w.writeStartElement(u"connectionGraphic");
        w.writeElement(graphic("TWChildConnection", number * 4 + 2, 1));
        w.writeEndElement();
    }
    const int first = number * tree.fanOut + 1;
    if (first < tree.branches) {
        w.writeStartElement(u"children");
        for (int child = first; child < std::min(first + tree.fanOut, tree.branches); ++child)
            writeBranch(w, tree, child, true);
        w.writeEndElement();
    }
    static const char *const settings[][2] = {
        {"textMaxWidthSet", "NO"},
        {"textMaxWidth", "250.000000"},
        {"childrenHidden", "NO"},
        {"printScreenWriterText", "YES"},
        {"textRelativePosition", "2"},
        {"expandedInOutlineView", "YES"},
        {"hasBoundary", "NO"},
        {"boundaryLineStyle", "1"},
        {"boundaryLineWidth", "1.000000"},
        {"boundaryCurveRadius", "15.000000"},
        {"boundaryCornerStyle", "1"},
        {"boundaryMargin", "3.000000"},
        {"boundaryInheritsLineColor", "YES"},
        {"boundaryDrawsFill", "NO"},
        {"boundaryDrawsLine", "YES"},
        {"overriddenChildRepel", "-1.000000"},
        {"overriddenChildSpacing", "-1.000000"},
        {"overriddenChildrenColorMode", "-1"},
        {"overridesRainbowAngle", "NO"},
        {"overriddenRainbowAngle", "0.000000"},
        {"hideChildrenOutlineNumbers", "NO"},
        {"resetChildrenOutlineNumbers", "NO"},
        {"childrenConnectionStyle", "4"},
        {"childrenConnectionSide", "1"},
        {"showCheckBox", "YES"},
        {"checkBoxState", "0"},
        {"priority", "1"},
        {"percentageComplete", "-1.000000"},
        {"duration", "0.000000"},
        {"durationUnits", "3"},
        {"textDistanceFromLeftEnd", "0.000000"},
        {"textDistanceFromRightEnd", "0.000000"},
        {"needsMakeNaturalSize", "NO"},
    };
    for (const auto &setting : settings)
        w.writeTextElement(QLatin1String(setting[0]), QString::fromLatin1(setting[1]));
    w.writeStartElement(u"screenWriterSelectedRange");
    w.writeTextElement(u"location", QStringLiteral("0.000000"));
    w.writeTextElement(u"length", QStringLiteral("0.000000"));
    w.writeEndElement();
    w.writeEndElement();
}

inline void writeDocument(XMLStreamWriter &w, const Tree &tree)
{
    w.writeStartDocument();
    w.writeStartElement(u"TWMapsDoc");
    w.writeStartElement(u"maps");
    w.writeStartElement(u"map");
    w.writeStartElement(u"TWMap");
    w.writeTextElement(u"identifier", QStringLiteral("5C3A5D2E-1F0B-4C7E-9A58-0D0C8E7B5A11"));
    w.writeStartElement(u"root");
    writeBranch(w, tree, 0, false);
    w.writeEndElement();
    w.writeStartElement(u"linkLines");
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeTextElement(u"currentMapNumber", QStringLiteral("0"));
    w.writeTextElement(u"revisionNumber", QStringLiteral("1"));
    w.writeEndElement();
    w.writeEndDocument();
}

} // namespace BranchDocument
