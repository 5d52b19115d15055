#include "graphics/TWConnectionGraphic.h"
#include "model/TWMapBranch.h"
#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

struct PendingUpdates
{
    int depth = 0;
    std::vector<std::weak_ptr<TWGraphic>> order;
    // The run of the open batch, and the first place in `order` not yet
    // reshaped: a connection waiting from there on is not asked for again,
    // one before it is. Each connection keeps its own place: a layout asks
    // for every connection of the map, and nothing is looked up or removed
    // for each.
    unsigned run = 1;
    size_t started = 0;
};

PendingUpdates &pending()
{
    static PendingUpdates updates;
    return updates;
}

} // namespace

TWConnectionGraphic::Batch::Batch()
{
    ++pending().depth;
}

TWConnectionGraphic::Batch::~Batch()
{
    PendingUpdates &p = pending();
    if (--p.depth > 0)
        return;
    // Reshaping can ask again (a moved end moves its connections): those
    // are done in the same pass.
    ++p.depth;
    for (size_t i = 0; i < p.order.size(); ++i) {
        p.started = i + 1;
        if (const std::shared_ptr<TWGraphic> g = p.order[i].lock())
            static_cast<TWConnectionGraphic &>(*g).updateBounds();
    }
    p.order.clear();
    p.started = 0;
    if (++p.run == 0) // a new connection's run
        p.run = 1;
    --p.depth;
}

void TWConnectionGraphic::setBoundsFittedAfterSlideBy(Rect fitted, float dx, float dy)
{
    // Far from the origin, a fit to moved ends and the old bounds moved
    // part in the last bits of a float: the same place.
    const Rect slid = bounds().offsetBy(dx, dy);
    const float scale = std::max({1.0f, std::abs(slid.minX()), std::abs(slid.maxX()),
                                  std::abs(slid.minY()), std::abs(slid.maxY())});
    const float tolerance = 8 * std::numeric_limits<float>::epsilon() * scale;
    const auto near = [tolerance](float a, float b) { return std::abs(a - b) <= tolerance; };
    if (near(fitted.minX(), slid.minX()) && near(fitted.maxX(), slid.maxX()) &&
        near(fitted.minY(), slid.minY()) && near(fitted.maxY(), slid.maxY()))
        slideWithTreeBy(dx, dy);
    else
        setBounds(fitted);
}

void TWConnectionGraphic::requestBoundsUpdate()
{
    PendingUpdates &p = pending();
    auto curved = [this] {
        const TWMapBranch *child = branch();
        return child && child->mainGraphic() &&
               child->mainGraphic()->className() == QLatin1String("TWFlexiBranch");
    };
    if (p.depth == 0 || curved()) {
        updateBounds();
        return;
    }
    if (m_batchPlace.run == p.run && m_batchPlace.place >= p.started)
        return; // still to be reshaped
    m_batchPlace.run = p.run;
    m_batchPlace.place = p.order.size();
    p.order.push_back(weak_from_this());
}

void TWConnectionGraphic::init()
{
    TWGraphic::init();
    m_connectionToParentSide = 1;
    m_connectionFromParentSide = 0;
    m_parentConnectionLineStyle = 0;
}

void TWConnectionGraphic::setConnectionToParentSide(int side)
{
    setField(m_connectionToParentSide, side, &TWConnectionGraphic::setConnectionToParentSide);
}
void TWConnectionGraphic::setConnectionFromParentSide(int side)
{
    setField(m_connectionFromParentSide, side, &TWConnectionGraphic::setConnectionFromParentSide);
}
void TWConnectionGraphic::setParentConnectionLineStyle(int style)
{
    setField(m_parentConnectionLineStyle, style,
             &TWConnectionGraphic::setParentConnectionLineStyle);
}
void TWConnectionGraphic::setEndAtParent(int end)
{
    setField(m_endAtParent, end, &TWConnectionGraphic::setEndAtParent);
}
void TWConnectionGraphic::setEndAtChild(int end)
{
    setField(m_endAtChild, end, &TWConnectionGraphic::setEndAtChild);
}
void TWConnectionGraphic::setParentArrowLength(float length)
{
    setField(m_parentArrowLength, length, &TWConnectionGraphic::setParentArrowLength);
}
void TWConnectionGraphic::setParentArrowWidth(float width)
{
    setField(m_parentArrowWidth, width, &TWConnectionGraphic::setParentArrowWidth);
}
void TWConnectionGraphic::setChildArrowLength(float length)
{
    setField(m_childArrowLength, length, &TWConnectionGraphic::setChildArrowLength);
}
void TWConnectionGraphic::setChildArrowWidth(float width)
{
    setField(m_childArrowWidth, width, &TWConnectionGraphic::setChildArrowWidth);
}
void TWConnectionGraphic::setParentFilled(bool filled)
{
    setField(m_parentFilled, filled, &TWConnectionGraphic::setParentFilled);
}
void TWConnectionGraphic::setChildFilled(bool filled)
{
    setField(m_childFilled, filled, &TWConnectionGraphic::setChildFilled);
}
void TWConnectionGraphic::setLabel(const std::optional<AttributedString> &label)
{
    setField(m_label, label, &TWConnectionGraphic::setLabel);
}
void TWConnectionGraphic::setLabelDirection(int direction)
{
    setField(m_labelDirection, direction, &TWConnectionGraphic::setLabelDirection);
}
void TWConnectionGraphic::setLabelAngle(float angle)
{
    setField(m_labelAngle, angle, &TWConnectionGraphic::setLabelAngle);
}
void TWConnectionGraphic::setLabelOffset(Point offset)
{
    setField(m_labelOffset, offset, &TWConnectionGraphic::setLabelOffset);
}

void TWConnectionGraphic::applyDefaultSettings()
{
    setConnectionToParentSide(1);
    setConnectionFromParentSide(0);
    setParentConnectionLineStyle(0);
    setEndAtParent(0);
    setEndAtChild(0);
    setParentArrowLength(DefaultArrowLength);
    setParentArrowWidth(DefaultArrowWidth);
    setChildArrowLength(DefaultArrowLength);
    setChildArrowWidth(DefaultArrowWidth);
    setParentFilled(true);
    setChildFilled(true);
    setLabel(std::nullopt);
    setLabelDirection(0);
    setLabelAngle(0);
    setLabelOffset(Point());
}

void TWConnectionGraphic::copySettingsFrom(const TWConnectionGraphic &other)
{
    setConnectionToParentSide(other.m_connectionToParentSide);
    setConnectionFromParentSide(other.m_connectionFromParentSide);
    setParentConnectionLineStyle(other.m_parentConnectionLineStyle);
    setEndAtParent(other.m_endAtParent);
    setEndAtChild(other.m_endAtChild);
    setParentArrowLength(other.m_parentArrowLength);
    setParentArrowWidth(other.m_parentArrowWidth);
    setChildArrowLength(other.m_childArrowLength);
    setChildArrowWidth(other.m_childArrowWidth);
    setParentFilled(other.m_parentFilled);
    setChildFilled(other.m_childFilled);
    setLabel(other.m_label);
    setLabelDirection(other.m_labelDirection);
    setLabelAngle(other.m_labelAngle);
    setLabelOffset(other.m_labelOffset);
}

// --- XML ---

void TWConnectionGraphic::addKindXmlData(XMLOut &out, bool)
{
    out.integerElement("connectionToParentSide", m_connectionToParentSide);
    out.integerElement("connectionFromParentSide", m_connectionFromParentSide);
    out.integerElement("parentConnectionLineStyle", m_parentConnectionLineStyle);
    out.integerElement("endAtParent", m_endAtParent);
    out.integerElement("endAtChild", m_endAtChild);
    out.realElement("parentArrowLength", m_parentArrowLength);
    out.realElement("parentArrowWidth", m_parentArrowWidth);
    out.realElement("childArrowLength", m_childArrowLength);
    out.realElement("childArrowWidth", m_childArrowWidth);
    out.boolElement("parentFilled", m_parentFilled);
    out.boolElement("childFilled", m_childFilled);
    if (m_label && m_label->length() > 0) {
        out.startElement("label");
        m_label->writeXml(out);
        out.endElement();
    }
    out.integerElement("labelDirection", m_labelDirection);
    out.realElement("labelAngle", m_labelAngle);
    out.startElement("labelOffset");
    out.realElement("x", m_labelOffset.x);
    out.realElement("y", m_labelOffset.y);
    out.endElement();
}

bool TWConnectionGraphic::readKindXmlData(const TWXMLUtils::XPathReader &r, xmlNodePtr, xmlDocPtr)
{
    m_connectionToParentSide = r.intValue("connectionToParentSide").value_or(1);
    m_connectionFromParentSide = r.intValue("connectionFromParentSide").value_or(0);
    m_parentConnectionLineStyle = r.intValue("parentConnectionLineStyle").value_or(0);
    m_endAtParent = r.intValue("endAtParent").value_or(0);
    m_endAtChild = r.intValue("endAtChild").value_or(0);
    auto real = [&r](const char *path, float fallback) {
        return correctedReal(r.floatValue(path), fallback);
    };
    m_parentArrowLength = real("parentArrowLength", DefaultArrowLength);
    m_parentArrowWidth = real("parentArrowWidth", DefaultArrowWidth);
    m_childArrowLength = real("childArrowLength", DefaultArrowLength);
    m_childArrowWidth = real("childArrowWidth", DefaultArrowWidth);
    m_parentFilled = r.boolValue("parentFilled").value_or(true);
    m_childFilled = r.boolValue("childFilled").value_or(true);
    m_label.reset();
    if (xmlNodePtr label = r.node("label")) {
        std::optional<AttributedString> text = AttributedString::initWithXMLNode(label, label->doc);
        if (text && text->length() > 0)
            m_label = std::move(text);
    }
    m_labelDirection = r.intValue("labelDirection").value_or(0);
    m_labelAngle = real("labelAngle", 0);
    m_labelOffset = Point(real("labelOffset/x", 0), real("labelOffset/y", 0));
    return true;
}
