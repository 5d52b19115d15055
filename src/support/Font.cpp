#include "support/Font.h"

#include "platform/CFormat.h"
#include "support/FontRegistry.h"

bool Font::isInstalled() const
{
    return FontRegistry::shared().isInstalled(m_fontName);
}

QString Font::description() const
{
    return m_fontName + CFormat::format(" %.2f pt.", m_pointSize);
}

QString Font::familyName() const
{
    return FontRegistry::shared().familyName(m_fontName).value_or(QString());
}

QFont Font::toQFont() const
{
    return FontRegistry::shared().qfont(*this);
}
