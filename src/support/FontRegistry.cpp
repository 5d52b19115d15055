#include "support/FontRegistry.h"

#include <QDebug>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fontconfig/fontconfig.h>

namespace {

bool isBoldWeight(int weight)
{
    return weight >= FC_WEIGHT_DEMIBOLD;
}

QString patternString(FcPattern *pattern, const char *object)
{
    FcChar8 *value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char *>(value));
}

int patternInt(FcPattern *pattern, const char *object, int fallback)
{
    int value = 0;
    if (FcPatternGetInteger(pattern, object, 0, &value) == FcResultMatch)
        return value;
    double d = 0;
    if (FcPatternGetDouble(pattern, object, 0, &d) == FcResultMatch && std::isfinite(d))
        return int(d);
    return fallback;
}

std::vector<FontRegistry::Face> loadFaces()
{
    std::vector<FontRegistry::Face> faces;
    if (!FcInit()) {
        qWarning("Could not initialise fontconfig: no fonts are known");
        return faces;
    }
    FcPattern *pattern = FcPatternCreate();
    FcObjectSet *objects =
        FcObjectSetBuild(FC_POSTSCRIPT_NAME, FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, FC_WIDTH,
                         FC_SPACING, FC_FILE, FC_VARIABLE, static_cast<char *>(nullptr));
    FcFontSet *set = FcFontList(nullptr, pattern, objects);
    if (set) {
        faces.reserve(size_t(set->nfont));
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern *font = set->fonts[i];
            FcBool variable = FcFalse;
            // A variable font's own pattern stands for all its instances; the
            // named instances come as patterns of their own.
            if (FcPatternGetBool(font, FC_VARIABLE, 0, &variable) == FcResultMatch && variable)
                continue;
            FontRegistry::Face face;
            face.postScriptName = patternString(font, FC_POSTSCRIPT_NAME);
            face.family = patternString(font, FC_FAMILY);
            if (face.postScriptName.isEmpty() || face.family.isEmpty())
                continue;
            face.style = patternString(font, FC_STYLE);
            face.weight = patternInt(font, FC_WEIGHT, FC_WEIGHT_REGULAR);
            face.slant = patternInt(font, FC_SLANT, FC_SLANT_ROMAN);
            face.width = patternInt(font, FC_WIDTH, FC_WIDTH_NORMAL);
            face.fixedPitch = patternInt(font, FC_SPACING, FC_PROPORTIONAL) >= FC_MONO;
            face.file = patternString(font, FC_FILE);
            faces.push_back(std::move(face));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return faces;
}

bool nameHints(const QString &lowerName, std::initializer_list<const char *> words)
{
    for (const char *w : words) {
        if (lowerName.contains(QLatin1String(w)))
            return true;
    }
    return false;
}

void applySize(QFont &font, double pointSize)
{
    // QFont warns about and ignores sizes that are not positive.
    if (std::isfinite(pointSize) && pointSize > 0.0)
        font.setPointSizeF(std::min(pointSize, 10000.0));
}

} // namespace

FontRegistry::FontRegistry() : m_faces(loadFaces())
{
    index();
}

FontRegistry::FontRegistry(std::vector<Face> faces) : m_faces(std::move(faces))
{
    index();
}

const FontRegistry &FontRegistry::shared()
{
    static const FontRegistry registry;
    return registry;
}

void FontRegistry::index()
{
    // Sorting by name, then by file, makes the order and the choice among
    // duplicates the same on every run whatever order fontconfig lists in.
    std::stable_sort(m_faces.begin(), m_faces.end(), [](const Face &a, const Face &b) {
        if (a.postScriptName != b.postScriptName)
            return a.postScriptName < b.postScriptName;
        return a.file < b.file;
    });
    m_faces.erase(std::unique(m_faces.begin(), m_faces.end(),
                              [](const Face &a, const Face &b) {
                                  return a.postScriptName == b.postScriptName;
                              }),
                  m_faces.end());
    m_byName.clear();
    m_byFamily.clear();
    m_names.clear();
    m_families.clear();
    for (qsizetype i = 0; i < qsizetype(m_faces.size()); ++i) {
        m_byName.insert(m_faces[size_t(i)].postScriptName, i);
        m_byFamily[m_faces[size_t(i)].family].faces.push_back(i);
        m_names.append(m_faces[size_t(i)].postScriptName);
        m_families.append(m_faces[size_t(i)].family);
    }
    m_families.sort();
    m_families.removeDuplicates();
    // Labels ask for a family's members once per font: they are listed here
    // once instead.
    for (Family &family : m_byFamily) {
        std::vector<const Face *> members;
        for (const qsizetype i : family.faces)
            members.push_back(&m_faces[size_t(i)]);
        std::stable_sort(members.begin(), members.end(), [](const Face *a, const Face *b) {
            if (a->slant != b->slant)
                return a->slant < b->slant;
            if (a->weight != b->weight)
                return a->weight < b->weight;
            return a->width < b->width;
        });
        for (const Face *f : members)
            family.members.append(f->postScriptName);
    }
}

QStringList FontRegistry::availableMembersOfFontFamily(const QString &family) const
{
    const auto it = m_byFamily.constFind(family);
    return it == m_byFamily.constEnd() ? QStringList() : it->members;
}

bool FontRegistry::isInstalled(const QString &postScriptName) const
{
    return m_byName.contains(postScriptName);
}

const FontRegistry::Face *FontRegistry::face(const QString &postScriptName) const
{
    const auto it = m_byName.constFind(postScriptName);
    return it == m_byName.constEnd() ? nullptr : &m_faces[size_t(*it)];
}

std::optional<QString> FontRegistry::familyName(const QString &postScriptName) const
{
    if (const Face *f = face(postScriptName))
        return f->family;
    return std::nullopt;
}

FontRegistry::Traits FontRegistry::traits(const QString &postScriptName) const
{
    const Face *f = face(postScriptName);
    if (!f)
        return NoTrait;
    Traits t = NoTrait;
    if (f->slant != FC_SLANT_ROMAN)
        t |= ItalicTrait;
    if (isBoldWeight(f->weight))
        t |= BoldTrait;
    if (f->fixedPitch)
        t |= FixedPitchTrait;
    return t;
}

Font FontRegistry::convertFontToHaveTrait(const Font &font, Trait trait) const
{
    return convertFont(font, trait, true);
}

Font FontRegistry::convertFontToNotHaveTrait(const Font &font, Trait trait) const
{
    return convertFont(font, trait, false);
}

Font FontRegistry::convertFont(const Font &font, Trait trait, bool have) const
{
    const Face *from = face(font.fontName());
    if (!from || (trait != BoldTrait && trait != ItalicTrait))
        return font;
    const bool italic = from->slant != FC_SLANT_ROMAN;
    const bool bold = isBoldWeight(from->weight);
    const bool wantItalic = trait == ItalicTrait ? have : italic;
    const bool wantBold = trait == BoldTrait ? have : bold;
    if (wantItalic == italic && wantBold == bold)
        return font;
    // Weight aimed at: the usual bold or regular when that trait changes, the
    // font's own weight when only the slant changes.
    const int targetWeight =
        trait == BoldTrait ? (have ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR) : from->weight;
    const Face *best = nullptr;
    auto cost = [&](const Face &f) {
        return std::abs(f.weight - targetWeight) * 4 + std::abs(f.width - from->width) * 2 +
               (f.slant == FC_SLANT_ROMAN ? 0 : std::abs(f.slant - FC_SLANT_ITALIC));
    };
    const auto family = m_byFamily.constFind(from->family);
    if (family == m_byFamily.constEnd())
        return font;
    for (const qsizetype i : family->faces) {
        const Face &f = m_faces[size_t(i)];
        if ((f.slant != FC_SLANT_ROMAN) != wantItalic || isBoldWeight(f.weight) != wantBold)
            continue;
        if (!best || cost(f) < cost(*best))
            best = &f; // faces are sorted by name, so ties keep the first name
    }
    return best ? Font(best->postScriptName, font.pointSize()) : font;
}

namespace {

// Names (by their lower-case start) and the family drawn in their place.
// Liberation matches the widths of Arial, Helvetica, Times and Courier
// exactly; DejaVu Sans, grown from Bitstream Vera, comes closest to Verdana
// and Tahoma of the faces we ship.
struct Substitute
{
    const char *prefix;
    const char *family;
};
constexpr Substitute metricSubstitutes[] = {
    {"helvetica", "Liberation Sans"}, {"arial", "Liberation Sans"}, {"times", "Liberation Serif"},
    {"courier", "Liberation Mono"},   {"verdana", "DejaVu Sans"},   {"tahoma", "DejaVu Sans"},
};

const Substitute *metricSubstitute(const QString &name)
{
    const QString lower = name.toLower();
    for (const Substitute &s : metricSubstitutes)
        if (lower.startsWith(QLatin1String(s.prefix)))
            return &s;
    return nullptr;
}

} // namespace

QString FontRegistry::substituteFamily(const QString &postScriptName)
{
    const Substitute *s = metricSubstitute(postScriptName);
    return QString::fromLatin1(s ? s->family : "DejaVu Sans");
}

std::optional<QString> FontRegistry::metricCompatibleFamily(const QString &name) const
{
    const Substitute *s = metricSubstitute(name);
    if (!s)
        return std::nullopt;
    const QString family = QString::fromLatin1(s->family);
    if (availableMembersOfFontFamily(family).isEmpty())
        return std::nullopt;
    return family;
}

QFont FontRegistry::qfont(const Font &font) const
{
    QFont result;
    if (const Face *f = face(font.fontName())) {
        result.setFamily(f->family);
        result.setWeight(QFont::Weight(std::clamp(FcWeightToOpenType(f->weight), 1, 1000)));
        result.setStyle(f->slant == FC_SLANT_ROMAN    ? QFont::StyleNormal
                        : f->slant == FC_SLANT_ITALIC ? QFont::StyleItalic
                                                      : QFont::StyleOblique);
        if (!f->style.isEmpty())
            result.setStyleName(f->style);
    } else {
        const QString lower = font.fontName().toLower();
        result.setFamily(substituteFamily(font.fontName()));
        result.setBold(nameHints(lower, {"bold", "black", "heavy"}));
        result.setItalic(nameHints(lower, {"italic", "oblique"}));
    }
    applySize(result, font.pointSize());
    return result;
}
