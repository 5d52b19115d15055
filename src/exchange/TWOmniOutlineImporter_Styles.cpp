#include "exchange/TWOmniOutlineImporter.h"
#include "exchange/TWOutlinerXML.h"

#include "platform/CFormat.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"
#include "support/TWPreferences.h"
#include "support/TextTab.h"

#include <array>

using namespace TWOutlinerXML;

namespace {

// --- colours ---

// Named colours of the two lists files name: the platform's own list and
// the class colours. Other lists do not exist here.
std::optional<Color> catalogColor(const QString &catalog, const QString &name)
{
    struct Named
    {
        const char *name;
        double r, g, b, a;
    };
    static constexpr Named apple[] = {
        {"Black", 0, 0, 0, 1},
        {"Blue", 0, 0, 1, 1},
        {"Brown", 0.6, 0.4, 0.2, 1},
        {"Clear", 0, 0, 0, 0},
        {"Cyan", 0, 1, 1, 1},
        {"Dark Gray", 1. / 3, 1. / 3, 1. / 3, 1},
        {"Gray", 0.5, 0.5, 0.5, 1},
        {"Green", 0, 1, 0, 1},
        {"Light Gray", 2. / 3, 2. / 3, 2. / 3, 1},
        {"Magenta", 1, 0, 1, 1},
        {"Orange", 1, 0.5, 0, 1},
        {"Purple", 0.5, 0, 0.5, 1},
        {"Red", 1, 0, 0, 1},
        {"White", 1, 1, 1, 1},
        {"Yellow", 1, 1, 0, 1},
    };
    static constexpr Named system[] = {
        {"textColor", 0, 0, 0, 1},
        {"textBackgroundColor", 1, 1, 1, 1},
        {"controlTextColor", 0, 0, 0, 1},
        {"controlBackgroundColor", 1, 1, 1, 1},
        {"controlColor", 0.93, 0.93, 0.93, 1},
        {"windowBackgroundColor", 0.93, 0.93, 0.93, 1},
        {"selectedTextColor", 0, 0, 0, 1},
        {"selectedTextBackgroundColor", 0.71, 0.84, 1, 1},
        {"gridColor", 0.8, 0.8, 0.8, 1},
        {"headerTextColor", 0, 0, 0, 1},
        {"disabledControlTextColor", 0.5, 0.5, 0.5, 1},
    };
    auto find = [&name](const auto &table) -> std::optional<Color> {
        for (const Named &n : table)
            if (name == QLatin1String(n.name))
                return Color::colorWithDeviceRed(n.r, n.g, n.b, n.a);
        return std::nullopt;
    };
    if (catalog == u"Apple")
        return find(apple);
    if (catalog == u"System")
        return find(system);
    return std::nullopt;
}

double component(xmlNodePtr node, const char *name, double missing)
{
    const std::optional<QString> text = attribute(node, name);
    return text ? CFormat::doubleValue(*text) : missing;
}

// --- fonts ---

bool isItalicFace(const FontRegistry::Face &face)
{
    return face.slant > 0;
}

// The font manager's weight scale (5 regular, 9 bold) of a fontconfig weight.
int managerWeight(int fontconfigWeight)
{
    static constexpr std::array<std::pair<int, int>, 12> scale{{{0, 2},
                                                                {40, 3},
                                                                {50, 3},
                                                                {55, 4},
                                                                {75, 4},
                                                                {80, 5},
                                                                {100, 6},
                                                                {180, 8},
                                                                {200, 9},
                                                                {205, 10},
                                                                {210, 12},
                                                                {215, 14}}};
    auto best = scale.front();
    for (const auto &step : scale)
        if (std::abs(step.first - fontconfigWeight) < std::abs(best.first - fontconfigWeight))
            best = step;
    return best.second;
}

bool nameSaysBold(const QString &name)
{
    return name.contains(u"Bold", Qt::CaseInsensitive) ||
           name.contains(u"Black", Qt::CaseInsensitive) ||
           name.contains(u"Heavy", Qt::CaseInsensitive);
}

bool nameSaysItalic(const QString &name)
{
    return name.contains(u"Italic", Qt::CaseInsensitive) ||
           name.contains(u"Oblique", Qt::CaseInsensitive);
}

// The installed face a font is: its own, or for a font missing here the face
// of its metric-compatible family with the traits its name suggests.
const FontRegistry::Face *resolvedFace(const Font &font)
{
    const FontRegistry &registry = FontRegistry::shared();
    if (const FontRegistry::Face *face = registry.face(font.fontName()))
        return face;
    const std::optional<QString> family = registry.metricCompatibleFamily(font.fontName());
    if (!family)
        return nullptr;
    const bool bold = nameSaysBold(font.fontName());
    const bool italic = nameSaysItalic(font.fontName());
    const FontRegistry::Face *fallback = nullptr;
    for (const QString &member : registry.availableMembersOfFontFamily(*family)) {
        const FontRegistry::Face *face = registry.face(member);
        if (!face || face->width != 100)
            continue;
        if (!fallback)
            fallback = face;
        if (isItalicFace(*face) == italic && (face->weight >= 200) == bold)
            return face;
    }
    return fallback;
}

bool fontIsItalic(const Font &font)
{
    const FontRegistry::Face *face = FontRegistry::shared().face(font.fontName());
    return face ? isItalicFace(*face) : nameSaysItalic(font.fontName());
}

int fontWeight(const Font &font)
{
    if (const FontRegistry::Face *face = resolvedFace(font))
        return managerWeight(face->weight);
    return nameSaysBold(font.fontName()) ? 9 : 5;
}

Font withItalic(const Font &font, bool italic)
{
    if (fontIsItalic(font) == italic)
        return font;
    const FontRegistry::Face *face = resolvedFace(font);
    if (!face)
        return font;
    const Font installed(face->postScriptName, font.pointSize());
    const FontRegistry &registry = FontRegistry::shared();
    return italic ? registry.convertFontToHaveTrait(installed, FontRegistry::ItalicTrait)
                  : registry.convertFontToNotHaveTrait(installed, FontRegistry::ItalicTrait);
}

// The next heavier (or lighter) face of the family with the same slant and
// width; the font itself when there is none.
Font steppedWeight(const Font &font, bool heavier)
{
    const FontRegistry::Face *face = resolvedFace(font);
    if (!face)
        return font;
    const FontRegistry &registry = FontRegistry::shared();
    const FontRegistry::Face *best = nullptr;
    for (const QString &member : registry.availableMembersOfFontFamily(face->family)) {
        const FontRegistry::Face *other = registry.face(member);
        if (!other || other->width != face->width || isItalicFace(*other) != isItalicFace(*face))
            continue;
        const bool beyond = heavier ? other->weight > face->weight : other->weight < face->weight;
        if (!beyond)
            continue;
        if (!best || (heavier ? other->weight < best->weight : other->weight > best->weight))
            best = other;
    }
    return best ? Font(best->postScriptName, font.pointSize()) : font;
}

Font withWeight(Font font, int target)
{
    // A step that changes nothing means the family has no further face.
    while (fontWeight(font) < target) {
        const Font next = steppedWeight(font, true);
        if (next == font)
            break;
        font = next;
    }
    while (fontWeight(font) > target) {
        const Font next = steppedWeight(font, false);
        if (next == font)
            break;
        font = next;
    }
    return font;
}

// The family's face nearest the font in slant and weight; a family missing
// here is drawn by its metric-compatible family, else the font stays.
Font withFamily(const Font &font, const QString &family)
{
    const FontRegistry &registry = FontRegistry::shared();
    QStringList members = registry.availableMembersOfFontFamily(family);
    if (members.isEmpty()) {
        if (const std::optional<QString> compatible = registry.metricCompatibleFamily(family))
            members = registry.availableMembersOfFontFamily(*compatible);
    }
    const bool italic = fontIsItalic(font);
    const FontRegistry::Face *current = resolvedFace(font);
    const int weight = current ? current->weight : (nameSaysBold(font.fontName()) ? 200 : 80);
    const FontRegistry::Face *best = nullptr;
    auto score = [&](const FontRegistry::Face &face) {
        return (isItalicFace(face) == italic ? 0 : 100000) + (face.width == 100 ? 0 : 10000) +
               std::abs(face.weight - weight) * 2 + (face.weight > weight ? 1 : 0);
    };
    for (const QString &member : members) {
        const FontRegistry::Face *face = registry.face(member);
        if (face && (!best || score(*face) < score(*best)))
            best = face;
    }
    return best ? Font(best->postScriptName, font.pointSize()) : font;
}

int underlineStyleCode(const QString &word)
{
    if (word == u"single")
        return 1;
    if (word == u"thick")
        return 2;
    if (word == u"double")
        return 9;
    return 0;
}

int underlinePatternCode(const QString &word)
{
    if (word == u"dot")
        return 256;
    if (word == u"dash")
        return 512;
    if (word == u"dash dot")
        return 768;
    if (word == u"dash dot dot")
        return 1024;
    return 0;
}

std::optional<int> alignmentOfWord(const QString &word)
{
    if (word == u"left")
        return LeftTextAlignment;
    if (word == u"right")
        return RightTextAlignment;
    if (word == u"center")
        return CenterTextAlignment;
    if (word == u"justified")
        return JustifiedTextAlignment;
    if (word == u"natural")
        return NaturalTextAlignment;
    return std::nullopt;
}

enum class ValueKind { Color, Bool, Double, Int, String, TabStops, Ignored };

std::optional<ValueKind> kindOfStyleKey(const QString &key)
{
    static const QHash<QString, ValueKind> kinds{
        {QStringLiteral("font-fill"), ValueKind::Color},
        {QStringLiteral("text-background-color"), ValueKind::Color},
        {QStringLiteral("underline-color"), ValueKind::Color},
        {QStringLiteral("font-italic"), ValueKind::Bool},
        {QStringLiteral("font-size"), ValueKind::Double},
        {QStringLiteral("font-weight"), ValueKind::Int},
        {QStringLiteral("underline-style"), ValueKind::String},
        {QStringLiteral("underline-pattern"), ValueKind::String},
        {QStringLiteral("font-family"), ValueKind::String},
        {QStringLiteral("paragraph-alignment"), ValueKind::String},
        {QStringLiteral("paragraph-head-indent"), ValueKind::Double},
        {QStringLiteral("paragraph-tab-stop-interval"), ValueKind::Double},
        {QStringLiteral("paragraph-tail-indent"), ValueKind::Double},
        {QStringLiteral("paragraph-first-line-head-indent"), ValueKind::Double},
        {QStringLiteral("paragraph-spacing"), ValueKind::Double},
        {QStringLiteral("paragraph-tab-stops"), ValueKind::TabStops},
        {QStringLiteral("baseline-superscript"), ValueKind::Ignored},
        {QStringLiteral("kerning-adjust"), ValueKind::Ignored},
        {QStringLiteral("paragraph-line-height-multiple"), ValueKind::Ignored},
    };
    const auto found = kinds.constFind(key);
    if (found != kinds.cend())
        return *found;
    // The outliner's own item settings carry its identifier in parentheses.
    static const char *const ownKeys[] = {
        "item-handle-mode", "item-gutter-color", "item-child-indentation", "item-pre-gap",
        "item-post-gap",    "item-page-break",   "heading-type",           "heading-prefix",
        "heading-suffix",   "heading-lowercase", "allow-child-sorting",    "item-to-note-space"};
    const qsizetype open = key.indexOf(u'(');
    if (open > 0 && key.endsWith(u')') && open + 2 < key.size()) {
        const QStringView name = QStringView(key).left(open);
        for (const char *own : ownKeys)
            if (name == QLatin1String(own))
                return ValueKind::Ignored;
    }
    return std::nullopt;
}

} // namespace

// --- colours ---

std::optional<Color> TWOmniOutlineImporter::ooColorFromNode(xmlNodePtr node)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return std::nullopt;
    if (hasAttribute(node, "r"))
        return Color::colorWithDeviceRed(component(node, "r", 0), component(node, "g", 0),
                                         component(node, "b", 0), component(node, "a", 1));
    if (hasAttribute(node, "w"))
        return Color::colorWithDeviceWhite(component(node, "w", 0), component(node, "a", 1));
    if (hasAttribute(node, "c")) {
        // Kept as device RGB: the document model has no CMYK colours.
        const double black = component(node, "k", 0);
        auto rgb = [black](double ink) { return (1.0 - ink) * (1.0 - black); };
        return Color::colorWithDeviceRed(rgb(component(node, "c", 0)), rgb(component(node, "m", 0)),
                                         rgb(component(node, "y", 0)), component(node, "a", 1));
    }
    if (hasAttribute(node, "tiff"))
        addError(QStringLiteral("Patterned images not currently supported in OmniOutline import"));
    else if (hasAttribute(node, "catalog"))
        return catalogColor(attribute(node, "catalog").value_or(QString()),
                            attribute(node, "name").value_or(QString()));
    if (node->properties)
        addError(QStringLiteral("Unrecognized attributes in OO color import: %1")
                     .arg(attributesDescription(node)));
    return std::nullopt;
}

// --- the registry of style keys ---

void TWOmniOutlineImporter::populateStyleAttributeRegistry(QVariantMap &registry,
                                                           xmlNodePtr declaration)
{
    xmlNodePtr first = firstChild(declaration);
    if (!first)
        return;
    const QString kind = attribute(declaration, "class").value_or(QString());
    const QString key = attribute(declaration, "key").value_or(QString());
    QVariant value;
    if (kind == u"color") {
        const std::optional<Color> color = ooColorFromNode(first);
        if (!color)
            return;
        value = QVariant::fromValue(*color);
    } else if (kind == u"string") {
        value = textContent(first);
    } else if (kind == u"bool") {
        value = textContent(first) != u"no";
    } else if (kind == u"number") {
        value = CFormat::doubleValue(textContent(first));
    } else if (kind == u"enum") {
        if (localName(first) != u"enum-name-table")
            return;
        xmlNodePtr last = first;
        for (xmlNodePtr child : elementChildren(declaration))
            last = child;
        const QString defaultValue = attribute(last, "default-value").value_or(QString());
        QString name;
        for (xmlNodePtr entry : elementChildren(first))
            if (attribute(entry, "value").value_or(QString()) == defaultValue)
                name = attribute(entry, "name").value_or(QString());
        value = name;
    } else {
        addError(QStringLiteral("Unrecognized class: %1").arg(kind));
        return;
    }
    registry.insert(key, value);
}

// --- style values ---

void TWOmniOutlineImporter::populateDictionary(StyleDictionary &style, xmlNodePtr value)
{
    xmlNodePtr first = firstChild(value);
    if (!first)
        return;
    const QString key = attribute(value, "key").value_or(QString());
    const std::optional<ValueKind> kind = kindOfStyleKey(key);
    if (!kind) {
        addError(QStringLiteral("Unrecognized style attribute: %1, Content: %2")
                     .arg(attributesDescription(value), textContent(first)));
        return;
    }
    const QString text = textContent(first);
    switch (*kind) {
    case ValueKind::Color:
        if (const std::optional<Color> color = ooColorFromNode(first))
            style.insert(key, QVariant::fromValue(*color));
        else
            addError(QStringLiteral("Couldn't read color for font fill"));
        break;
    case ValueKind::Bool:
        style.insert(key, text != u"no");
        break;
    case ValueKind::Double:
        style.insert(key, CFormat::doubleValue(text));
        break;
    case ValueKind::Int:
        style.insert(key, CFormat::intValue(text));
        break;
    case ValueKind::String:
        style.insert(key, text);
        break;
    case ValueKind::TabStops: {
        QList<TextTab> tabs;
        for (const QString &piece : text.split(u',')) {
            if (piece.size() < 2)
                continue;
            const QChar type = piece.back();
            const double location = CFormat::doubleValue(piece.chopped(1));
            static const QString types = QStringLiteral("LRCD");
            const qsizetype alignment = types.indexOf(type);
            if (alignment < 0) {
                addError(QStringLiteral("Tab stop type %1 not recognized.").arg(type));
                continue;
            }
            tabs.append(TextTab(int(alignment), location));
        }
        style.insert(key, QVariant::fromValue(tabs));
        break;
    }
    case ValueKind::Ignored:
        break;
    }
}

void TWOmniOutlineImporter::applyStyleElement(StyleDictionary &style, xmlNodePtr styleElement)
{
    for (xmlNodePtr child : elementChildren(styleElement)) {
        if (localName(child) != u"inherited-style")
            continue;
        const QString name = attribute(child, "name").value_or(QString());
        const auto named = m_namedStyles.constFind(name);
        if (named == m_namedStyles.cend()) {
            addError(QStringLiteral("Error finding named style %1").arg(name));
            continue;
        }
        for (auto it = named->cbegin(); it != named->cend(); ++it)
            style.insert(it.key(), it.value());
    }
    for (xmlNodePtr child : elementChildren(styleElement))
        if (localName(child) == u"value")
            populateDictionary(style, child);
}

void TWOmniOutlineImporter::readNamedStyles(xmlNodePtr namedStyle)
{
    const QString name = attribute(namedStyle, "name").value_or(QString());
    // Registered at once: later styles may inherit it, itself included.
    m_namedStyles.insert(name, StyleDictionary());
    xmlNodePtr styleElement = firstElementChild(namedStyle);
    if (!styleElement)
        return;
    StyleDictionary own;
    for (xmlNodePtr child : elementChildren(styleElement))
        if (localName(child) == u"value")
            populateDictionary(own, child);
    StyleDictionary style;
    for (xmlNodePtr child : elementChildren(styleElement)) {
        if (localName(child) != u"inherited-style")
            continue;
        const QString parent = attribute(child, "name").value_or(QString());
        const auto inherited = m_namedStyles.constFind(parent);
        if (inherited == m_namedStyles.cend()) {
            addError(QStringLiteral("Error finding inherited style %1").arg(parent));
            continue;
        }
        for (auto it = inherited->cbegin(); it != inherited->cend(); ++it)
            style.insert(it.key(), it.value());
    }
    for (auto it = own.cbegin(); it != own.cend(); ++it)
        style.insert(it.key(), it.value());
    m_namedStyles.insert(name, style);
}

// --- text attributes ---

TextAttributes TWOmniOutlineImporter::textAttributesFromStyle(const StyleDictionary &style,
                                                              const StyleDictionary &paragraphStyle)
{
    TextAttributes attributes;

    Font font(QString::fromLatin1(TWPreferences::UserFontName), TWPreferences::UserFontDefaultSize);
    if (style.contains(QStringLiteral("font-italic")))
        font = withItalic(font, style.value(QStringLiteral("font-italic")).toBool());
    if (style.contains(QStringLiteral("font-size"))) {
        const double size = style.value(QStringLiteral("font-size")).toDouble();
        // A size the text system cannot draw keeps the default.
        if (size > 0 && size <= 16384)
            font = font.withSize(size);
    }
    if (style.contains(QStringLiteral("font-weight")))
        font = withWeight(font, style.value(QStringLiteral("font-weight")).toInt());
    if (style.contains(QStringLiteral("font-family")))
        font = withFamily(font, style.value(QStringLiteral("font-family")).toString());
    attributes.insert(NSFontAttributeName, QVariant::fromValue(font));

    if (style.contains(QStringLiteral("font-fill")))
        attributes.insert(NSForegroundColorAttributeName, style.value(QStringLiteral("font-fill")));
    if (style.contains(QStringLiteral("text-background-color"))) {
        const QVariant background = style.value(QStringLiteral("text-background-color"));
        if (background.value<Color>().alphaComponent() > 0)
            attributes.insert(NSBackgroundColorAttributeName, background);
    }
    if (style.contains(QStringLiteral("underline-color")))
        attributes.insert(NSUnderlineColorAttributeName,
                          style.value(QStringLiteral("underline-color")));

    int underline = underlineStyleCode(style.value(QStringLiteral("underline-style")).toString());
    const int pattern =
        underlinePatternCode(style.value(QStringLiteral("underline-pattern")).toString());
    if (pattern && !underline)
        underline = 1;
    if (underline + pattern)
        attributes.insert(NSUnderlineStyleAttributeName, underline + pattern);

    ParagraphStyle paragraph;
    paragraph.headIndent = paragraphStyle.value(QStringLiteral("paragraph-head-indent")).toDouble();
    if (const std::optional<int> alignment =
            alignmentOfWord(paragraphStyle.value(QStringLiteral("paragraph-alignment")).toString()))
        paragraph.alignment = *alignment;
    auto setIfPresent = [&paragraphStyle](const char *key, double &field) {
        const double value = paragraphStyle.value(QLatin1String(key)).toDouble();
        if (value != 0)
            field = value;
    };
    setIfPresent("paragraph-tail-indent", paragraph.tailIndent);
    setIfPresent("paragraph-first-line-head-indent", paragraph.firstLineHeadIndent);
    setIfPresent("paragraph-spacing", paragraph.paragraphSpacing);
    setIfPresent("paragraph-tab-stop-interval", paragraph.defaultTabInterval);
    if (paragraphStyle.contains(QStringLiteral("paragraph-tab-stops")))
        paragraph.tabStops =
            paragraphStyle.value(QStringLiteral("paragraph-tab-stops")).value<QList<TextTab>>();
    attributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(paragraph));
    return attributes;
}
