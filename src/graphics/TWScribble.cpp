#include "graphics/TWScribble.h"
#include "support/BezierPath.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <libxml/xpath.h>

void TWScribble::init()
{
    TWGraphic::init();
    m_thickness = DefaultThickness;
    m_currColor = Color::colorWithCalibratedRed(0, 0, 0, 1);
    m_paths.clear();
    newPathColored(m_currColor);
}

void TWScribble::newPathColored(const std::optional<Color> &color)
{
    if (color && *color != m_currColor)
        m_currColor = *color;
    m_path = std::make_shared<BezierPath>();
    m_path->setLineWidth(m_thickness);
    m_path->setLineJoinStyle(BezierPath::RoundLineJoin);
    m_paths.append(Stroke{m_currColor, m_path});
}

void TWScribble::insertObjectInPathsAtIndex(const Stroke &stroke, int index)
{
    registerInverse([index](TWGraphic &g) {
        static_cast<TWScribble &>(g).removeObjectFromPathsAtIndex(index);
    });
    m_paths.insert(index, stroke);
}

void TWScribble::removeObjectFromPathsAtIndex(int index)
{
    const Stroke removed = m_paths.at(index);
    registerInverse([removed, index](TWGraphic &g) {
        static_cast<TWScribble &>(g).insertObjectInPathsAtIndex(removed, index);
    });
    m_paths.removeAt(index);
}

void TWScribble::replaceObjectInPathsAtIndex(int index, const Stroke &stroke)
{
    const Stroke old = m_paths.at(index);
    registerInverse([old, index](TWGraphic &g) {
        static_cast<TWScribble &>(g).replaceObjectInPathsAtIndex(index, old);
    });
    m_paths[index] = stroke;
}

void TWScribble::addKindXmlData(XMLOut &out, bool)
{
    out.startElement("paths");
    for (const Stroke &stroke : m_paths) {
        out.startElement("path");
        out.startElement("color");
        if (stroke.color)
            stroke.color->writeXml(out);
        out.endElement();
        out.startElement("bezierPath");
        if (stroke.path)
            stroke.path->writeXml(out);
        out.endElement();
        out.endElement();
    }
    out.endElement();
}

bool TWScribble::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr, xmlDocPtr doc)
{
    m_paths.clear();
    m_path.reset();
    xmlXPathObjectPtr found = TWXMLUtils::getNodeSetForXPath("paths/path", doc, reader.context());
    if (!found) {
        adoptLastStroke();
        return true;
    }
    TWXMLUtils::XPathReader strokeReader(nullptr, doc);
    for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
        strokeReader.setParent(found->nodesetval->nodeTab[i]);
        Stroke stroke;
        if (xmlNodePtr bezier = strokeReader.node("bezierPath");
            bezier && strokeReader.node("bezierPath/NSBezierPath"))
            stroke.path = std::make_shared<BezierPath>(BezierPath::withXMLNode(bezier, doc));
        if (xmlNodePtr color = strokeReader.node("color");
            color && strokeReader.node("color/NSColor"))
            stroke.color = Color::colorWithXMLNode(color, doc);
        m_paths.append(stroke);
    }
    xmlXPathFreeObject(found);
    adoptLastStroke();
    return true;
}

void TWScribble::adoptLastStroke()
{
    // The pen goes on drawing into the last stroke read, so the current path
    // is always one of the strokes that are drawn and saved.
    if (m_paths.isEmpty()) {
        newPathColored(m_currColor);
        return;
    }
    Stroke &last = m_paths.last();
    if (!last.path) {
        last.path = std::make_shared<BezierPath>();
        last.path->setLineWidth(m_thickness);
        last.path->setLineJoinStyle(BezierPath::RoundLineJoin);
    }
    m_path = last.path;
}
