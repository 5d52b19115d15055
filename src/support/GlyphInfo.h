#pragma once

#include "support/Font.h"

#include <QString>
#include <optional>

#include <libxml/tree.h>

// Which glyph stands for a piece of text: by glyph name in a font, by glyph
// number in a font, or by character identifier in a character collection.
class GlyphInfo
{
public:
    enum Kind { GlyphNameKind, IdentityKind, CIDKind };

    static GlyphInfo glyphInfoWithGlyphName(const std::optional<QString> &glyphName,
                                            const std::optional<Font> &font,
                                            const std::optional<QString> &baseString);
    static GlyphInfo glyphInfoWithGlyph(int glyph, const std::optional<Font> &font,
                                        const std::optional<QString> &baseString);
    static GlyphInfo glyphInfoWithCharacterIdentifier(int cid, int characterCollection,
                                                      const std::optional<QString> &baseString);

    Kind kind() const { return m_kind; }
    // "NSGlyphNameGlyphInfo", "NSIdentityGlyphInfo" or "NSCIDGlyphInfo".
    QString className() const;
    const std::optional<QString> &baseString() const { return m_baseString; }
    const std::optional<QString> &glyphName() const { return m_glyphName; }
    // The font of a glyph-name or identity glyph info.
    const std::optional<Font> &font() const { return m_font; }
    int glyph() const { return m_glyph; }
    int characterIdentifier() const { return m_cid; }
    int characterCollection() const { return m_characterCollection; }

    // The <NSGlyphInfo> element appended to `parent`.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Reads the <NSGlyphInfo> child of `parent`; nothing for a missing or
    // unknown class name.
    static std::optional<GlyphInfo> glyphInfoWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const GlyphInfo &a, const GlyphInfo &b);

private:
    GlyphInfo() = default;

    Kind m_kind = GlyphNameKind;
    std::optional<QString> m_baseString;
    std::optional<QString> m_glyphName;
    std::optional<Font> m_font;
    int m_glyph = 0;
    int m_cid = 0;
    int m_characterCollection = 0;
};
