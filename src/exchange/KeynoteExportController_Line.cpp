#include "exchange/KeynoteExportController_Shapes.h"
#include "graphics/TWLine.h"
#include "support/BezierPath.h"

using namespace TWKeynoteXML;

// A line branch becomes a Keynote line with head and tail rather than a shape.
void KeynoteExportController::insertLine(TWLine &line, xmlNodePtr group, float zoom, float xOffset,
                                         float yOffset, const QString &styleId)
{
    const KeynoteNamespaces ns = KeynoteShapes::namespacesOf(group);
    const QString g = KeynoteShapes::number(line.graphicNumber());
    const std::shared_ptr<BezierPath> path = line.bezierPath();
    const Rect b = path ? path->bounds() : Rect();

    const float x1 = b.x() * zoom + xOffset;
    const float y1 = (b.y() + b.height()) * zoom + yOffset;
    const float w = b.width() * zoom;
    const float h = b.height() * zoom;

    xmlNodePtr element = addElement(group, ns.sf, "line");
    setAttribute(element, ns.sfa, "ID", QStringLiteral("TWLineInfo-") + g);
    xmlNodePtr geometry = addElement(element, ns.sf, "geometry");
    setAttribute(geometry, ns.sfa, "ID", QStringLiteral("TWAffineGeometry-") + g);
    setAttribute(geometry, ns.sf, "sizesLocked", QStringLiteral("true"));
    for (const char *name : {"naturalSize", "size"}) {
        xmlNodePtr size = addElement(geometry, ns.sf, name);
        setAttribute(size, ns.sfa, "w", CFormat::f(w));
        setAttribute(size, ns.sfa, "h", CFormat::f(h));
    }
    auto addPoint = [&](xmlNodePtr parent, const char *name, float x, float y) {
        xmlNodePtr point = addElement(parent, ns.sf, name);
        setAttribute(point, ns.sfa, "x", CFormat::f(x));
        setAttribute(point, ns.sfa, "y", CFormat::f(y));
    };
    addPoint(geometry, "position", x1, y1);
    setAttribute(addElement(addElement(element, ns.sf, "style"), ns.sf, "graphic-style-ref"),
                 ns.sfa, "IDREF", styleId);
    addPoint(element, "head", x1, y1);
    addPoint(element, "tail", x1 + w, y1 + h);
}
