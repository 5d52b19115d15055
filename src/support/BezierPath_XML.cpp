#include "platform/CFormat.h"
#include "support/BezierPath.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <QtDebug>
#include <cmath>
#include <map>

namespace {

const char *const kElementName = "NSBezierPath";
const QByteArray kDashPatternPrefix = "lineDashPattern";

void addPoint(XMLOut &out, const char *name, Point p)
{
    out.startElement(name);
    out.realElement("x", p.x);
    out.realElement("y", p.y);
    out.endElement();
}

// A float attribute that fits a float; anything else is logged and skipped.
std::optional<float> finiteFloat(const std::optional<double> &value, const char *name)
{
    if (!value)
        return std::nullopt;
    const float f = float(*value);
    if (!std::isfinite(f)) {
        qWarning("Bezier path %s is not a finite number; keeping the default", name);
        return std::nullopt;
    }
    return f;
}

float coordinate(const TWXMLUtils::XPathReader &reader, const char *path)
{
    const float value = float(reader.floatValue(path).value_or(0.0));
    if (std::isfinite(value))
        return value;
    qWarning("Bezier path coordinate %s is not a finite number; reading it as 0", path);
    return 0;
}

Point point(const TWXMLUtils::XPathReader &reader, const char *x, const char *y)
{
    return {coordinate(reader, x), coordinate(reader, y)};
}

// Dash entries below the count, by index, first occurrence winning. The
// count in the file bounds nothing by itself: only entries that are present
// are allocated.
std::map<int, float> dashEntries(xmlNodePtr pathNode, int count)
{
    std::map<int, float> entries;
    for (xmlNodePtr child = pathNode->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const QByteArray name(reinterpret_cast<const char *>(child->name));
        if (!name.startsWith(kDashPatternPrefix) || name.size() == kDashPatternPrefix.size())
            continue;
        const QByteArray digits = name.mid(kDashPatternPrefix.size());
        bool ok = false;
        const int index = digits.toInt(&ok);
        // Only the plain decimal form the writer makes ("%d").
        if (!ok || index < 0 || index >= count || QByteArray::number(index) != digits)
            continue;
        if (entries.count(index))
            continue;
        const float value = CFormat::floatValue(TWXMLUtils::textOfNode(child));
        entries[index] = std::isfinite(value) ? value : 0.0f;
    }
    return entries;
}

} // namespace

void BezierPath::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void BezierPath::writeXml(XMLOut &out) const
{
    out.startElement(kElementName);
    out.integerElement("windingRule", m_windingRule);
    out.integerElement("lineCapStyle", m_lineCapStyle);
    out.integerElement("lineJoinStyle", m_lineJoinStyle);
    out.realElement("lineWidth", m_lineWidth);
    out.realElement("miterLimit", m_miterLimit);
    out.realElement("flatness", m_flatness);
    if (!m_dashPattern.isEmpty()) {
        out.integerElement("lineDashCount", m_dashPattern.size());
        out.realElement("lineDashPhase", m_dashPhase);
        for (int i = 0; i < m_dashPattern.size(); ++i) {
            const QByteArray name = kDashPatternPrefix + QByteArray::number(i);
            out.realElement(name.constData(), m_dashPattern[i]);
        }
    }
    out.startElement("elements");
    for (const Element &e : m_elements) {
        out.startElement("element");
        out.integerElement("elementType", e.type);
        switch (e.type) {
        case MoveToElement:
        case LineToElement:
            addPoint(out, "point0", e.points[0]);
            break;
        case CurveToElement:
            addPoint(out, "point0", e.points[0]);
            addPoint(out, "point1", e.points[1]);
            addPoint(out, "point2", e.points[2]);
            break;
        case ClosePathElement:
            break;
        }
        out.endElement();
    }
    out.endElement();
    out.endElement();
}

BezierPath BezierPath::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    BezierPath path;
    TWXMLUtils::XPathReader reader(parent, doc);
    if (!reader.isValid())
        return path;

    if (const std::optional<int> rule = reader.intValue("NSBezierPath/windingRule")) {
        if (*rule == NonZeroWindingRule || *rule == EvenOddWindingRule)
            path.setWindingRule(WindingRule(*rule));
        else
            qWarning("Unknown bezier path winding rule %d", *rule);
    }
    if (const std::optional<int> cap = reader.intValue("NSBezierPath/lineCapStyle")) {
        if (*cap >= ButtLineCap && *cap <= SquareLineCap)
            path.setLineCapStyle(LineCapStyle(*cap));
        else
            qWarning("Unknown bezier path line cap style %d", *cap);
    }
    if (const std::optional<int> join = reader.intValue("NSBezierPath/lineJoinStyle")) {
        if (*join >= MiterLineJoin && *join <= BevelLineJoin)
            path.setLineJoinStyle(LineJoinStyle(*join));
        else
            qWarning("Unknown bezier path line join style %d", *join);
    }
    if (auto width = finiteFloat(reader.floatValue("NSBezierPath/lineWidth"), "lineWidth"))
        path.setLineWidth(*width);
    if (auto limit = finiteFloat(reader.floatValue("NSBezierPath/miterLimit"), "miterLimit"))
        path.setMiterLimit(*limit);
    if (auto flatness = finiteFloat(reader.floatValue("NSBezierPath/flatness"), "flatness"))
        path.setFlatness(*flatness);

    const int dashCount = reader.intValue("NSBezierPath/lineDashCount").value_or(0);
    if (dashCount > 0) {
        const float phase =
            finiteFloat(reader.floatValue("NSBezierPath/lineDashPhase"), "lineDashPhase")
                .value_or(0.0f);
        if (xmlNodePtr pathNode = reader.node("NSBezierPath")) {
            const std::map<int, float> entries = dashEntries(pathNode, dashCount);
            if (entries.empty()) {
                qWarning("Bezier path dash count %d without dash entries; no dash set", dashCount);
            } else {
                const int count = entries.rbegin()->first + 1;
                if (count < dashCount)
                    qWarning("Bezier path dash count %d with %d entries present", dashCount, count);
                QList<float> pattern(count, 0.0f);
                for (const auto &[index, value] : entries)
                    pattern[index] = value;
                path.setLineDash(pattern, phase);
            }
        }
    }

    xmlXPathObjectPtr elements =
        TWXMLUtils::getNodeSetForXPath("NSBezierPath/elements/element", doc, reader.context());
    if (!elements)
        return path;
    // One context, moved from element to element.
    TWXMLUtils::XPathReader elementReader(elements->nodesetval->nodeTab[0], doc);
    const int count = elements->nodesetval->nodeNr;
    for (int i = 0; i < count && elementReader.isValid(); ++i) {
        elementReader.setParent(elements->nodesetval->nodeTab[i]);
        const std::optional<int> type = elementReader.intValue("elementType");
        if (!type) {
            qWarning("Malformed bezier path");
            break;
        }
        switch (*type) {
        case MoveToElement:
            path.moveToPoint(point(elementReader, "point0/x", "point0/y"));
            break;
        case LineToElement: // on an empty path, logged and taken as a move
            path.lineToPoint(point(elementReader, "point0/x", "point0/y"));
            break;
        case CurveToElement:
            path.curveToPoint(point(elementReader, "point2/x", "point2/y"),
                              point(elementReader, "point0/x", "point0/y"),
                              point(elementReader, "point1/x", "point1/y"));
            break;
        case ClosePathElement:
            if (path.isEmpty())
                qWarning("Malformed bezier path");
            path.closePath();
            break;
        default:
            break;
        }
    }
    xmlXPathFreeObject(elements);
    return path;
}
