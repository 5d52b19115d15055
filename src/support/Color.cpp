#include "support/Color.h"

#include "platform/CFormat.h"

#include <algorithm>
#include <cmath>

namespace {

// QColor rejects components outside [0, 1] and NaN; a file may hold either.
float clampUnit(double v)
{
    if (!(v >= 0.0))
        return 0.0f;
    return v > 1.0 ? 1.0f : float(v);
}

const char *spaceName(Color::Space space)
{
    switch (space) {
    case Color::Space::CalibratedRGB:
        return "CalibratedRGB";
    case Color::Space::DeviceRGB:
        return "DeviceRGB";
    case Color::Space::CalibratedWhite:
        return "CalibratedWhite";
    case Color::Space::DeviceWhite:
        return "DeviceWhite";
    }
    return "?";
}

bool isRGBSpace(Color::Space space)
{
    return space == Color::Space::CalibratedRGB || space == Color::Space::DeviceRGB;
}

} // namespace

Color::Color(Space space, double c0, double c1, double c2, double alpha)
    : m_space(space), m_c{c0, c1, c2}, m_alpha(alpha)
{}

Color Color::colorWithCalibratedRed(double red, double green, double blue, double alpha)
{
    return Color(Space::CalibratedRGB, red, green, blue, alpha);
}

Color Color::colorWithDeviceRed(double red, double green, double blue, double alpha)
{
    return Color(Space::DeviceRGB, red, green, blue, alpha);
}

Color Color::colorWithCalibratedWhite(double white, double alpha)
{
    return Color(Space::CalibratedWhite, white, 0.0, 0.0, alpha);
}

Color Color::colorWithDeviceWhite(double white, double alpha)
{
    return Color(Space::DeviceWhite, white, 0.0, 0.0, alpha);
}

Color Color::fromQColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return colorWithDeviceRed(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

double Color::whiteComponent() const
{
    if (!isRGB())
        return m_c[0];
    return 0.299 * m_c[0] + 0.587 * m_c[1] + 0.114 * m_c[2];
}

Color Color::colorUsingColorSpace(Space space) const
{
    if (space == m_space)
        return *this;
    if (isRGBSpace(space))
        return Color(space, redComponent(), greenComponent(), blueComponent(), m_alpha);
    return Color(space, whiteComponent(), 0.0, 0.0, m_alpha);
}

Color Color::colorWithAlphaComponent(double alpha) const
{
    Color c = *this;
    c.m_alpha = alpha;
    return c;
}

QColor Color::toQColor() const
{
    return QColor::fromRgbF(clampUnit(redComponent()), clampUnit(greenComponent()),
                            clampUnit(blueComponent()), clampUnit(m_alpha));
}

bool operator==(const Color &a, const Color &b)
{
    if (a.m_space != b.m_space || a.m_alpha != b.m_alpha)
        return false;
    const int n = a.isRGB() ? 3 : 1;
    return std::equal(a.m_c, a.m_c + n, b.m_c);
}

QString Color::description() const
{
    QString text = QStringLiteral("Color(") + QLatin1String(spaceName(m_space));
    const int n = isRGB() ? 3 : 1;
    for (int i = 0; i < n; ++i)
        text += QLatin1Char(' ') + CFormat::format("%g", m_c[i]);
    text += QLatin1Char(' ') + CFormat::format("%g", m_alpha) + QLatin1Char(')');
    return text;
}
