#include "support/Font.h"

#include "support/FontRegistry.h"

bool Font::isInstalled() const
{
    return FontRegistry::shared().isInstalled(m_fontName);
}

QString Font::familyName() const
{
    return FontRegistry::shared().familyName(m_fontName).value_or(QString());
}

QFont Font::toQFont() const
{
    return FontRegistry::shared().qfont(*this);
}
