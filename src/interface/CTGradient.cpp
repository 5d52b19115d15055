#include "interface/CTGradient.h"

#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"

#include <QDebug>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace {

CTGradient::Element elementFromColor(const Color &color, float position)
{
    const Color rgb = color.toCalibratedRGB();
    return {float(rgb.redComponent()), float(rgb.greenComponent()), float(rgb.blueComponent()),
            float(rgb.alphaComponent()), position};
}

Color colorFromComponents(const float c[4])
{
    return Color::colorWithCalibratedRed(c[0], c[1], c[2], c[3]);
}

// In place: red, green, blue become hue (degrees, NaN for a grey),
// saturation and value.
void rgbToHsv(float c[3])
{
    const float r = c[0], g = c[1], b = c[2];
    const float max = std::max({r, g, b});
    const float min = std::min({r, g, b});
    float h;
    if (max == min)
        h = NAN;
    else if (r == max)
        h = 60 * (g - b) / (max - min) + (g < b ? 360 : 0);
    else if (g == max)
        h = 60 * (b - r) / (max - min) + 120;
    else
        h = 60 * (r - g) / (max - min) + 240;
    c[0] = h;
    c[1] = max == 0 ? 0 : 1 - min / max;
    c[2] = max;
}

// In place: hue, saturation and value become red, green and blue. The hue
// wraps at 360 degrees.
void hsvToRgb(float c[3])
{
    float h = std::fmod(c[0], 360.0f);
    if (h < 0)
        h += 360;
    if (std::isnan(h))
        h = 0;
    const float s = c[1], v = c[2];
    const float sector = std::floor(h / 60);
    const int i = int(sector) % 6;
    const float f = h / 60 - sector;
    const float p = v * (1 - s);
    const float q = v * (1 - s * f);
    const float t = v * (1 - s * (1 - f));
    const float rgb[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    c[0] = rgb[i][0];
    c[1] = rgb[i][1];
    c[2] = rgb[i][2];
}

Color colorWithHue(float hue, float saturation, float value)
{
    float c[3] = {hue, saturation, value};
    hsvToRgb(c);
    return Color::colorWithCalibratedRed(c[0], c[1], c[2], 1.0);
}

QString rangeMessage(const char *selector, const QString &detail)
{
    return QStringLiteral("-[CTGradient %1]: %2").arg(QLatin1String(selector), detail);
}

} // namespace

CTGradient CTGradient::gradientWithBeginningColor(const Color &begin, const Color &end)
{
    CTGradient g;
    g.addElement(elementFromColor(begin, 0));
    g.addElement(elementFromColor(end, 1));
    return g;
}

namespace {
CTGradient fromStops(std::initializer_list<CTGradient::Element> stops, int mode = 0)
{
    CTGradient g;
    for (const CTGradient::Element &e : stops)
        g = g.addColorStop(Color::colorWithCalibratedRed(e.red, e.green, e.blue, e.alpha),
                           e.position);
    g.setBlendingMode(mode);
    return g;
}
CTGradient::Element grey(float g, float position)
{
    return {g, g, g, 1, position};
}
} // namespace

CTGradient CTGradient::aquaSelectedGradient()
{
    return fromStops({{0.58f, 0.86f, 0.98f, 1, 0},
                      {0.42f, 0.68f, 0.90f, 1, 0.5f},
                      {0.64f, 0.80f, 0.94f, 1, 0.5f},
                      {0.56f, 0.70f, 0.90f, 1, 1}});
}

CTGradient CTGradient::aquaNormalGradient()
{
    return fromStops({grey(0.95f, 0), grey(0.83f, 0.5f), grey(0.95f, 0.5f), grey(0.92f, 1)});
}

CTGradient CTGradient::aquaPressedGradient()
{
    return fromStops({grey(0.80f, 0), grey(0.64f, 0.5f), grey(0.80f, 0.5f), grey(0.77f, 1)});
}

CTGradient CTGradient::unifiedSelectedGradient()
{
    return fromStops({grey(0.85f, 0), grey(0.95f, 1)});
}

CTGradient CTGradient::unifiedNormalGradient()
{
    return fromStops({grey(0.75f, 0), grey(0.90f, 1)});
}

CTGradient CTGradient::unifiedPressedGradient()
{
    return fromStops({grey(0.60f, 0), grey(0.75f, 1)});
}

CTGradient CTGradient::unifiedDarkGradient()
{
    return fromStops({grey(0.68f, 0), grey(0.83f, 1)});
}

CTGradient CTGradient::sourceListSelectedGradient()
{
    return fromStops({{0.06f, 0.37f, 0.85f, 1, 0}, {0.30f, 0.60f, 0.92f, 1, 1}});
}

CTGradient CTGradient::sourceListUnselectedGradient()
{
    return fromStops({grey(0.43f, 0), grey(0.60f, 1)});
}

CTGradient CTGradient::rainbowGradient()
{
    return fromStops({{1, 0, 0, 1, 0}, {0.54f, 0, 1, 1, 1}}, Chromatic);
}

CTGradient CTGradient::hydrogenSpectrumGradient()
{
    struct Line
    {
        float hue, position, width;
    };
    static const Line lines[] = {
        {22, 0.145f, 0.01f}, {200, 0.71f, 0.008f}, {253, 0.885f, 0.005f}, {275, 0.965f, 0.003f}};
    CTGradient g;
    for (const Line &line : lines) {
        g = g.addColorStop(colorWithHue(line.hue - 180 * line.width, 1, 0.001f),
                           line.position - line.width);
        g = g.addColorStop(colorWithHue(line.hue, 1, 1), line.position);
        g = g.addColorStop(colorWithHue(line.hue + 180 * line.width, 1, 0.001f),
                           line.position + line.width);
    }
    g.setBlendingMode(Chromatic);
    return g;
}

CTGradient CTGradient::gradientWithAlphaComponent(float alpha) const
{
    CTGradient g;
    for (Element e : m_elements) {
        e.alpha = alpha;
        g.addElement(e);
    }
    return g;
}

CTGradient CTGradient::gradientWithBlendingMode(int mode) const
{
    CTGradient g = *this;
    g.setBlendingMode(mode);
    return g;
}

CTGradient CTGradient::addColorStop(const Color &color, float position) const
{
    CTGradient g = *this;
    g.addElement(elementFromColor(color, position));
    return g;
}

CTGradient CTGradient::removeColorStopAtIndex(unsigned index) const
{
    if (index >= m_elements.size())
        throw NSRangeException(rangeMessage("removeColorStopAtIndex:",
                                            QStringLiteral("index (%1) beyond bounds").arg(index))
                                   .toStdString());
    CTGradient g = *this;
    g.m_elements.erase(g.m_elements.begin() + index);
    return g;
}

CTGradient CTGradient::removeColorStopAtPosition(float position) const
{
    auto it = std::find_if(m_elements.begin(), m_elements.end(),
                           [position](const Element &e) { return e.position == position; });
    if (it == m_elements.end())
        throw NSRangeException(
            rangeMessage(
                "removeColorStopAtPosition:",
                QStringLiteral("no such colorStop at position (%1)").arg(CFormat::f(position)))
                .toStdString());
    CTGradient g = *this;
    g.m_elements.erase(g.m_elements.begin() + (it - m_elements.begin()));
    return g;
}

Color CTGradient::colorStopAtIndex(unsigned index) const
{
    if (index >= m_elements.size())
        throw NSRangeException(
            rangeMessage("colorStopAtIndex:", QStringLiteral("index (%1) beyond bounds").arg(index))
                .toStdString());
    const Element &e = m_elements[index];
    const float c[4] = {e.red, e.green, e.blue, e.alpha};
    return colorFromComponents(c);
}

Color CTGradient::colorAtPosition(float position) const
{
    float c[4];
    evaluate(position, c);
    return colorFromComponents(c);
}

void CTGradient::setBlendingMode(int mode)
{
    if (mode != Linear && mode != Chromatic && mode != InverseChromatic) {
        // Without a mixing rule there is nothing to shade with.
        qWarning() << "CTGradient: unknown blending mode" << mode << "- blending linearly";
        mode = Linear;
    }
    m_blendingMode = mode;
}

void CTGradient::addElement(const Element &element)
{
    // After every stop at or before the new position: equal positions keep
    // the order in which they were added.
    auto it =
        std::upper_bound(m_elements.begin(), m_elements.end(), element.position,
                         [](float position, const Element &e) { return position < e.position; });
    m_elements.insert(it, element);
}

void CTGradient::evaluate(float position, float out[4]) const
{
    if (m_elements.empty()) {
        std::fill(out, out + 4, 1.0f);
        return;
    }
    if (std::isnan(position))
        position = 0;
    size_t a = 0;
    size_t b = m_elements.size() > 1 ? 1 : 0;
    while (position > m_elements[b].position && b + 1 < m_elements.size()) {
        a = b;
        ++b;
    }
    const Element &A = m_elements[a];
    const Element &B = m_elements[b];
    float ca[4] = {A.red, A.green, A.blue, A.alpha};
    float cb[4] = {B.red, B.green, B.blue, B.alpha};

    if (m_blendingMode != Linear) {
        rgbToHsv(ca);
        rgbToHsv(cb);
        // A grey has no hue of its own: it takes the other stop's.
        if (std::isnan(ca[0]) && std::isnan(cb[0]))
            ca[0] = cb[0] = 0;
        else if (std::isnan(ca[0]))
            ca[0] = cb[0];
        else if (std::isnan(cb[0]))
            cb[0] = ca[0];
        if (m_blendingMode == Chromatic && ca[0] > cb[0])
            cb[0] += 360;
        else if (m_blendingMode == InverseChromatic && cb[0] > ca[0])
            ca[0] += 360;
    }

    if (position <= A.position) {
        std::copy(ca, ca + 4, out);
    } else if (position >= B.position) {
        std::copy(cb, cb + 4, out);
    } else {
        const float f = (position - A.position) / (B.position - A.position);
        for (int i = 0; i < 4; ++i)
            out[i] = ca[i] + (cb[i] - ca[i]) * f;
    }
    if (m_blendingMode != Linear)
        hsvToRgb(out);
}

QGradientStops CTGradient::gradientStops() const
{
    std::vector<float> positions;
    constexpr int samples = 256;
    for (int i = 0; i < samples; ++i)
        positions.push_back(float(i) / (samples - 1));
    for (const Element &e : m_elements) {
        if (!(e.position > 0 && e.position < 1))
            continue;
        positions.push_back(std::nextafter(e.position, -1.0f));
        positions.push_back(e.position);
        positions.push_back(std::nextafter(e.position, 2.0f));
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());

    QGradientStops stops;
    stops.reserve(qsizetype(positions.size()));
    for (float p : positions) {
        float c[4];
        evaluate(p, c);
        for (float &v : c)
            v = std::clamp(v, 0.0f, 1.0f);
        stops.append({p, QColor::fromRgbF(c[0], c[1], c[2], c[3])});
    }
    return stops;
}

void CTGradient::fillRect(QPainter &painter, const QRectF &rect, float angle) const
{
    QPointF start, end;
    if (angle == 0) {
        start = rect.topLeft();
        end = {rect.x() + rect.width(), rect.y()};
    } else if (angle == 90) {
        start = rect.topLeft();
        end = {rect.x(), rect.y() + rect.height()};
    } else {
        const double radians = angle * M_PI / 180.0;
        const double c = std::cos(radians), s = std::sin(radians);
        const double d = (rect.width() * std::fabs(c) + rect.height() * std::fabs(s)) / 2;
        const QPointF axis(d * c, d * s);
        start = rect.center() - axis;
        end = rect.center() + axis;
    }
    QLinearGradient gradient(start, end);
    gradient.setStops(gradientStops());
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, gradient);
    painter.restore();
}

void CTGradient::radialFillRect(QPainter &painter, const QRectF &rect) const
{
    const QPointF centre = rect.center();
    const double outer = std::max(rect.width(), rect.height()) / 2;
    QRadialGradient gradient(centre, std::max(outer, 1.0 + 1e-3), centre, 1.0);
    gradient.setStops(gradientStops());
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, gradient);
    painter.restore();
}

XMLElement CTGradient::freshXMLElement() const
{
    XMLElement element = XMLElement::create("CTGradient");
    element.setInt(m_blendingMode, "CTGradientBlendingMode");
    element.setInt(qint64(m_elements.size()), "CTGradientElementCount");
    for (const Element &e : m_elements) {
        XMLElement stop = element.appendChildElement("CTGradientElement");
        stop.setFloat(e.position, "position");
        const float c[4] = {e.red, e.green, e.blue, e.alpha};
        stop.addChild(colorFromComponents(c).freshXMLElement());
    }
    return element;
}

std::optional<CTGradient> CTGradient::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return std::nullopt;
    CTGradient g;
    g.setBlendingMode(element.intForPath("CTGradientBlendingMode"));
    const QList<XMLElement> stops = element.elementsForName("CTGradientElement");
    const int count = std::max(0, element.intForPath("CTGradientElementCount"));
    if (count != stops.size())
        qWarning() << "CTGradient: element count" << count << "but" << stops.size()
                   << "stops; reading" << std::min<qsizetype>(count, stops.size());
    for (qsizetype i = 0; i < std::min<qsizetype>(count, stops.size()); ++i) {
        const XMLElement &stop = stops[i];
        const Color color = Color::objectWithXMLElement(stop.elementForName("NSColor"));
        const Element e = elementFromColor(color, float(stop.floatForPath("position")));
        if (!std::isfinite(e.position) || !std::isfinite(e.red) || !std::isfinite(e.green) ||
            !std::isfinite(e.blue) || !std::isfinite(e.alpha)) {
            qWarning() << "CTGradient: stop" << i << "is not a number; left out";
            continue;
        }
        g.addElement(e);
    }
    return g;
}

void CTGradient::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "CTGradient");
    TWXMLUtils::addTextChild(node, "CTGradientBlendingMode", CFormat::d(m_blendingMode));
    TWXMLUtils::addTextChild(node, "CTGradientElementCount",
                             CFormat::d((long long)m_elements.size()));
    for (const Element &e : m_elements) {
        xmlNodePtr stop = TWXMLUtils::addElementChild(node, "CTGradientElement");
        TWXMLUtils::addTextChild(stop, "position", CFormat::f(e.position));
        const float c[4] = {e.red, e.green, e.blue, e.alpha};
        colorFromComponents(c).addXmlDataToNode(stop);
    }
}
