#pragma once

#include "support/Font.h"

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The installed fonts by PostScript name, read from fontconfig once. Qt names
// fonts by family and style and always resolves to something; documents name
// them by PostScript name and must know when one is missing.
class FontRegistry
{
public:
    // Trait bits as a font manager reports them.
    enum Trait : unsigned {
        NoTrait = 0,
        ItalicTrait = 1u << 0,
        BoldTrait = 1u << 1,
        FixedPitchTrait = 1u << 2,
    };
    using Traits = unsigned;

    struct Face
    {
        QString postScriptName;
        QString family;
        QString style;
        int weight = 0; // fontconfig's scale (80 regular, 200 bold)
        int slant = 0;  // 0 roman, 100 italic, 110 oblique
        int width = 100;
        bool fixedPitch = false;
        QString file;
    };

    // The registry of this machine's fonts, loaded on first use.
    static const FontRegistry &shared();

    // PostScript names of the installed fonts, sorted, each once.
    const QStringList &availableFonts() const { return m_names; }
    // Family names, sorted, each once.
    const QStringList &availableFontFamilies() const { return m_families; }
    // PostScript names of a family's faces, lightest upright first.
    QStringList availableMembersOfFontFamily(const QString &family) const;

    bool isInstalled(const QString &postScriptName) const;
    const Face *face(const QString &postScriptName) const;
    std::optional<QString> familyName(const QString &postScriptName) const;
    Traits traits(const QString &postScriptName) const;

    // The face of the same family and width with the trait added or removed,
    // keeping the other trait; the font unchanged when the family has none.
    Font convertFontToHaveTrait(const Font &font, Trait trait) const;
    Font convertFontToNotHaveTrait(const Font &font, Trait trait) const;

    // The QFont that draws the font: its own face when installed, else a
    // metric-compatible substitute with bold and italic guessed from the name.
    QFont qfont(const Font &font) const;
    // The family drawn for a font name that is not installed.
    static QString substituteFamily(const QString &postScriptName);
    // The installed family that draws a font of this name, not installed here,
    // with (nearly) its own advance widths, so that texts keep their line
    // breaks: Arial and Helvetica with Liberation Sans, for one. nullopt for
    // a name without such a family, or when the family is not installed.
    std::optional<QString> metricCompatibleFamily(const QString &name) const;

    // Builds a registry from a list of faces (duplicates by name: first wins).
    explicit FontRegistry(std::vector<Face> faces);

private:
    FontRegistry();
    void index();
    Font convertFont(const Font &font, Trait trait, bool have) const;

    // A family's faces: their names lightest upright first, and their
    // places in m_faces in name order.
    struct Family
    {
        QStringList members;
        std::vector<qsizetype> faces;
    };

    std::vector<Face> m_faces; // sorted by PostScript name
    QHash<QString, qsizetype> m_byName;
    QHash<QString, Family> m_byFamily;
    QStringList m_names;
    QStringList m_families;
};
