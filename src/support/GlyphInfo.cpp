#include "support/GlyphInfo.h"

#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"

#include <QtDebug>

GlyphInfo GlyphInfo::glyphInfoWithGlyphName(const std::optional<QString> &glyphName,
                                            const std::optional<Font> &font,
                                            const std::optional<QString> &baseString)
{
    GlyphInfo info;
    info.m_kind = GlyphNameKind;
    info.m_glyphName = glyphName;
    info.m_font = font;
    info.m_baseString = baseString;
    return info;
}

GlyphInfo GlyphInfo::glyphInfoWithGlyph(int glyph, const std::optional<Font> &font,
                                        const std::optional<QString> &baseString)
{
    GlyphInfo info;
    info.m_kind = IdentityKind;
    info.m_glyph = glyph;
    info.m_font = font;
    info.m_baseString = baseString;
    return info;
}

GlyphInfo GlyphInfo::glyphInfoWithCharacterIdentifier(int cid, int characterCollection,
                                                      const std::optional<QString> &baseString)
{
    GlyphInfo info;
    info.m_kind = CIDKind;
    info.m_cid = cid;
    info.m_characterCollection = characterCollection;
    info.m_baseString = baseString;
    return info;
}

QString GlyphInfo::className() const
{
    switch (m_kind) {
    case GlyphNameKind:
        return QStringLiteral("NSGlyphNameGlyphInfo");
    case IdentityKind:
        return QStringLiteral("NSIdentityGlyphInfo");
    case CIDKind:
        return QStringLiteral("NSCIDGlyphInfo");
    }
    return {};
}

bool operator==(const GlyphInfo &a, const GlyphInfo &b)
{
    return a.m_kind == b.m_kind && a.m_baseString == b.m_baseString &&
           a.m_glyphName == b.m_glyphName && a.m_font == b.m_font && a.m_glyph == b.m_glyph &&
           a.m_cid == b.m_cid && a.m_characterCollection == b.m_characterCollection;
}

void GlyphInfo::addXmlDataToNode(xmlNodePtr parent) const
{
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "NSGlyphInfo");
    if (!node)
        return;
    TWXMLUtils::addTextChild(node, "className", className());
    TWXMLUtils::addTextChild(node, "baseString", m_baseString.value_or(QString()));
    switch (m_kind) {
    case GlyphNameKind:
        TWXMLUtils::addTextChild(node, "glyphName", m_glyphName.value_or(QString()));
        break;
    case IdentityKind:
        TWXMLUtils::addTextChild(node, "glyph", CFormat::d(m_glyph));
        break;
    case CIDKind:
        TWXMLUtils::addTextChild(node, "cid", CFormat::d(m_cid));
        TWXMLUtils::addTextChild(node, "characterCollection", CFormat::d(m_characterCollection));
        return;
    }
    xmlNodePtr font = TWXMLUtils::addElementChild(node, "font");
    if (m_font)
        m_font->addXmlDataToNode(font);
}

std::optional<GlyphInfo> GlyphInfo::glyphInfoWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    TWXMLUtils::XPathReader reader(parent, doc);
    // A nil string is written as an empty element, so empty text reads as nil.
    const auto string = [&](const char *path) -> std::optional<QString> {
        std::optional<QString> text = reader.text(path);
        return text && !text->isEmpty() ? text : std::nullopt;
    };
    const std::optional<QString> className = reader.text("NSGlyphInfo/className");
    const std::optional<QString> baseString = string("NSGlyphInfo/baseString");
    const auto font = [&]() -> std::optional<Font> {
        xmlNodePtr node = reader.node("NSGlyphInfo/font");
        return node ? Font::fontWithXMLNode(node, doc) : std::nullopt;
    };
    if (className == u"NSGlyphNameGlyphInfo")
        return glyphInfoWithGlyphName(string("NSGlyphInfo/glyphName"), font(), baseString);
    if (className == u"NSIdentityGlyphInfo")
        return glyphInfoWithGlyph(reader.intValue("NSGlyphInfo/glyph").value_or(0), font(),
                                  baseString);
    if (className == u"NSCIDGlyphInfo")
        return glyphInfoWithCharacterIdentifier(
            reader.intValue("NSGlyphInfo/cid").value_or(0),
            reader.intValue("NSGlyphInfo/characterCollection").value_or(0), baseString);
    if (className)
        qWarning("Unknown glyph info class %s", qPrintable(*className));
    return std::nullopt;
}
