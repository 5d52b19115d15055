// The children that text areas, flexi branches and link lines add to their
// "TWGraphic" element.

#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "platform/CFormat.h"
#include "platform/UndoManager.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <QDebug>

namespace {

void addPoint(XMLOut &out, const char *name, Point p)
{
    out.startElement(name);
    out.realElement("x", p.x);
    out.realElement("y", p.y);
    out.endElement();
}

// A real read at `path`; what is missing or unusable keeps `fallback`.
float readFloat(const TWXMLUtils::XPathReader &reader, const QByteArray &path, float fallback)
{
    return TWGraphic::correctedReal(reader.floatValue(path.constData()), fallback);
}

Point readPoint(const TWXMLUtils::XPathReader &reader, const char *name, Point fallback)
{
    const QByteArray base(name);
    return {
        TWGraphic::correctedCoordinate(reader.floatValue((base + "/x").constData()), fallback.x),
        TWGraphic::correctedCoordinate(reader.floatValue((base + "/y").constData()), fallback.y)};
}

} // namespace

// --- text area ---

void TWTextArea::addKindXmlData(XMLOut &out, bool)
{
    out.startElement("text");
    m_text.writeXml(out);
    out.endElement();
}

bool TWTextArea::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr, xmlDocPtr doc)
{
    xmlNodePtr textNode = reader.node("text");
    if (!textNode) {
        setText(AttributedString());
        return true;
    }
    QStringList warnings;
    setText(
        AttributedString::initWithXMLNode(textNode, doc, &warnings).value_or(AttributedString()));
    // A substituted font measures differently: the branch refits once loaded.
    if (warnings.contains(UsedWindowsFontWarning)) {
        if (TWMapBranch *owner = branch())
            owner->setNeedsMakeNaturalSize(true);
    }
    return true;
}

// --- flexi branch ---

namespace {

struct FlexiPoint
{
    const char *name;
    Point (TWFlexiBranch::*get)() const;
    void (TWFlexiBranch::*set)(Point);
};

const FlexiPoint flexiPoints[] = {
    {"leftPoint", &TWFlexiBranch::leftPoint, &TWFlexiBranch::setLeftPoint},
    {"rightPoint", &TWFlexiBranch::rightPoint, &TWFlexiBranch::setRightPoint},
    {"intermediate1", &TWFlexiBranch::intermediate1, &TWFlexiBranch::setIntermediate1},
    {"intermediate2", &TWFlexiBranch::intermediate2, &TWFlexiBranch::setIntermediate2},
    {"innerEndLeft", &TWFlexiBranch::innerEndLeft, &TWFlexiBranch::setInnerEndLeft},
    {"innerEndRight", &TWFlexiBranch::innerEndRight, &TWFlexiBranch::setInnerEndRight},
    {"straightLeft", &TWFlexiBranch::straightLeft, &TWFlexiBranch::setStraightLeft},
    {"straightRight", &TWFlexiBranch::straightRight, &TWFlexiBranch::setStraightRight},
};

} // namespace

void TWFlexiBranch::addKindXmlData(XMLOut &out, bool)
{
    for (const FlexiPoint &p : flexiPoints)
        addPoint(out, p.name, (this->*p.get)());
}

bool TWFlexiBranch::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr, xmlDocPtr)
{
    UndoManager *undo = undoManager();
    if (undo)
        undo->disableUndoRegistration();
    for (const FlexiPoint &p : flexiPoints)
        (this->*p.set)(readPoint(reader, p.name, Point()));
    clearCachedHitTestPath();
    dropCurve();
    if (undo)
        undo->enableUndoRegistration();
    return true;
}

// --- link line ---

void TWLinkLine::addKindXmlData(XMLOut &out, bool)
{
    out.integerElement("startGraphicNumber", m_startGraphicNumber);
    out.integerElement("endGraphicNumber", m_endGraphicNumber);
    out.realElement("startArrowLength", m_startArrowLength);
    out.realElement("startArrowWidth", m_startArrowWidth);
    out.realElement("endArrowLength", m_endArrowLength);
    out.realElement("endArrowWidth", m_endArrowWidth);
    out.integerElement("colorMode", m_colorMode);
    addPoint(out, "intermediatePoint1", m_intermediatePoint1);
    addPoint(out, "intermediatePoint2", m_intermediatePoint2);
    out.integerElement("startArrowStyle", m_startArrowStyle);
    out.integerElement("endArrowStyle", m_endArrowStyle);
    out.boolElement("startFilled", m_startFilled);
    out.boolElement("endFilled", m_endFilled);
    if (m_label && !m_label->isEmpty()) {
        out.startElement("label");
        m_label->writeXml(out);
        out.endElement();
    }
    out.integerElement("labelDirection", m_labelDirection);
    out.realElement("labelAngle", m_labelAngle);
    addPoint(out, "labelOffset", m_labelOffset);
}

bool TWLinkLine::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr, xmlDocPtr doc)
{
    const std::optional<qint64> start = reader.longLongValue("startGraphicNumber");
    if (!start) {
        qWarning() << "Link line has no specified start graphic";
        return false;
    }
    setStartGraphicNumber(long(*start));
    const std::optional<qint64> end = reader.longLongValue("endGraphicNumber");
    if (!end) {
        qWarning() << "Link line has no specified end graphic";
        return false;
    }
    setEndGraphicNumber(long(*end));
    m_startArrowLength = readFloat(reader, "startArrowLength", m_startArrowLength);
    m_startArrowWidth = readFloat(reader, "startArrowWidth", m_startArrowWidth);
    m_endArrowLength = readFloat(reader, "endArrowLength", m_endArrowLength);
    m_endArrowWidth = readFloat(reader, "endArrowWidth", m_endArrowWidth);
    m_colorMode = reader.intValue("colorMode").value_or(2);
    m_intermediatePoint1 = readPoint(reader, "intermediatePoint1", m_intermediatePoint1);
    m_intermediatePoint2 = readPoint(reader, "intermediatePoint2", m_intermediatePoint2);
    m_startArrowStyle = reader.intValue("startArrowStyle").value_or(NoArrow);
    m_endArrowStyle = reader.intValue("endArrowStyle").value_or(NoArrow);
    m_startFilled = reader.boolValue("startFilled").value_or(true);
    m_endFilled = reader.boolValue("endFilled").value_or(true);
    m_label.reset();
    if (xmlNodePtr label = reader.node("label"))
        m_label = AttributedString::initWithXMLNode(label, doc);
    m_labelDirection = reader.intValue("labelDirection").value_or(0);
    m_labelAngle = readFloat(reader, "labelAngle", 0);
    m_labelOffset = readPoint(reader, "labelOffset", Point());
    return true;
}
