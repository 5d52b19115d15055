#include "MindManagerImpExp/NSAttributedString-XHTML.h"

#include "platform/CFormat.h"
#include "support/FontRegistry.h"
#include "support/NSString+XHTML.h"
#include "support/ParagraphStyle.h"
#include "support/TWPreferences.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string_view>

namespace XHTML {

namespace {

// Deeper elements still give their text, without styles of their own, so
// that a hostile nesting cannot exhaust the stack.
constexpr int kMaxStyledDepth = 256;

Font fontIn(const TextAttributes &attributes)
{
    const QVariant v = attributes.value(NSFontAttributeName);
    if (v.canConvert<Font>()) {
        const Font font = v.value<Font>();
        if (!font.isNull())
            return font;
    }
    return defaultFont();
}

// Bold and italic of a font; for one not installed here, as its name says.
FontRegistry::Traits traitsOf(const Font &font)
{
    const FontRegistry &registry = FontRegistry::shared();
    if (registry.isInstalled(font.fontName()))
        return registry.traits(font.fontName());
    const QString style = font.fontName().section(QLatin1Char('-'), 1);
    FontRegistry::Traits traits = FontRegistry::NoTrait;
    if (style.contains(QLatin1String("Bold"), Qt::CaseInsensitive))
        traits |= FontRegistry::BoldTrait;
    if (style.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
        style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive))
        traits |= FontRegistry::ItalicTrait;
    return traits;
}

// A font that is not installed takes the trait through the face it is drawn
// with, so that bold text does not come out plain.
Font convertTrait(const Font &font, FontRegistry::Trait trait, bool have)
{
    const FontRegistry &registry = FontRegistry::shared();
    Font base = font;
    if (!registry.isInstalled(font.fontName())) {
        const bool has = traitsOf(font) & trait;
        if (has == have)
            return font;
        const std::optional<QString> family = registry.metricCompatibleFamily(font.fontName());
        if (!family)
            return font;
        const QStringList members = registry.availableMembersOfFontFamily(*family);
        if (members.isEmpty())
            return font;
        base = Font(members.first(), font.pointSize());
        const FontRegistry::Traits other = traitsOf(font) & ~FontRegistry::Traits(trait);
        for (FontRegistry::Trait t : {FontRegistry::BoldTrait, FontRegistry::ItalicTrait}) {
            if (other & t)
                base = registry.convertFontToHaveTrait(base, t);
        }
    }
    return have ? registry.convertFontToHaveTrait(base, trait)
                : registry.convertFontToNotHaveTrait(base, trait);
}

// The installed family a name stands for: its own family for a PostScript
// name, the family itself for a family name.
std::optional<QString> installedFamily(const QString &name)
{
    const FontRegistry &registry = FontRegistry::shared();
    if (registry.isInstalled(name))
        return registry.familyName(name);
    for (const QString &family : registry.availableFontFamilies()) {
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return family;
    }
    return std::nullopt;
}

// The member of the family with the font's bold and italic, at its size.
Font fontInFamily(const Font &font, const QString &family)
{
    const FontRegistry &registry = FontRegistry::shared();
    const QStringList members = registry.availableMembersOfFontFamily(family);
    if (members.isEmpty())
        return font;
    const FontRegistry::Traits wanted =
        traitsOf(font) & (FontRegistry::BoldTrait | FontRegistry::ItalicTrait);
    for (const QString &member : members) {
        if ((registry.traits(member) & (FontRegistry::BoldTrait | FontRegistry::ItalicTrait)) ==
            wanted)
            return Font(member, font.pointSize());
    }
    return Font(members.first(), font.pointSize());
}

QString familyOf(const Font &font)
{
    const QString family = font.familyName();
    return family.isEmpty() ? font.fontName() : family;
}

// An element's name in lower case, compared with lower-case ASCII names:
// an ASCII name is lowered in place, any other goes through QString.
class LowerName
{
public:
    explicit LowerName(const XMLTree &node)
    {
        const xmlNodePtr n = node.rootNode();
        const char *name = n && n->name ? reinterpret_cast<const char *>(n->name) : "";
        const size_t size = std::strlen(name);
        if (size < sizeof(m_ascii) &&
            std::all_of(name, name + size, [](char c) { return c > 0; })) {
            for (size_t i = 0; i < size; ++i)
                m_ascii[i] = char(name[i] >= 'A' && name[i] <= 'Z' ? name[i] - 'A' + 'a' : name[i]);
            m_size = qsizetype(size);
        } else {
            m_other = node.name().toLower();
        }
    }
    bool is(std::string_view lower) const
    {
        return m_size >= 0 ? std::string_view(m_ascii, size_t(m_size)) == lower
                           : m_other == QLatin1StringView(lower.data(), qsizetype(lower.size()));
    }
    bool isBlock() const
    {
        static constexpr std::string_view blocks[] = {"p",  "blockquote", "div", "h1", "h2",
                                                      "h3", "h4",         "h5",  "h6"};
        return std::any_of(std::begin(blocks), std::end(blocks),
                           [this](std::string_view block) { return is(block); });
    }

private:
    char m_ascii[32];
    qsizetype m_size = -1;
    QString m_other;
};

// CSS "white-space": whether text below keeps its blanks and line ends as
// they stand, or nothing when the declarations do not say.
std::optional<bool> keepsWhiteSpace(const CSSDictionary &dictionary)
{
    std::optional<bool> keeps;
    for (const auto &[property, values] : dictionary) {
        if (values.isEmpty() ||
            property.compare(QLatin1String("white-space"), Qt::CaseInsensitive) != 0)
            continue;
        const QString value = values.first().toLower();
        keeps = value == QLatin1String("pre") || value == QLatin1String("pre-wrap") ||
                value == QLatin1String("break-spaces");
    }
    return keeps;
}

void appendNode(AttributedString &string, const XMLTree &node, const TextAttributes &attributes,
                int depth, bool keepSpace)
{
    const auto collapsed = [keepSpace](const QString &text) {
        return keepSpace ? text : stringByTrimmingWhitespace(text);
    };
    if (node.hasNodeContent()) {
        // Comments and processing instructions are markup, not note text.
        // A text's own content is read in place.
        const xmlNodePtr n = node.rootNode();
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE)
            appendString(string,
                         collapsed(QString::fromUtf8(reinterpret_cast<const char *>(n->content))),
                         attributes);
        else if (node.isTextNode())
            appendString(string, collapsed(node.nodeContent()), attributes);
        return;
    }
    if (depth > kMaxStyledDepth) {
        appendString(string, collapsed(node.nodeContent()), attributes);
        return;
    }
    TextAttributes b = attributes;
    const LowerName name(node);
    // Notes written by other programs use the presentational forms as
    // often as the logical ones.
    if (name.is("strong") || name.is("b")) {
        b.insert(NSFontAttributeName,
                 QVariant::fromValue(convertTrait(fontIn(b), FontRegistry::BoldTrait, true)));
    } else if (name.is("em") || name.is("i")) {
        b.insert(NSFontAttributeName,
                 QVariant::fromValue(convertTrait(fontIn(b), FontRegistry::ItalicTrait, true)));
    } else if (name.is("u")) {
        b.insert(NSUnderlineStyleAttributeName, 1);
    } else if (name.is("q")) {
        appendString(string, QStringLiteral("\""), b);
    } else if (name.is("br")) {
        appendString(string, QStringLiteral("\n"), b);
        return;
    }
    const QString style = node.attributeNamed("style");
    if (!style.isNull()) {
        CSSDictionary declarations;
        parseCSS(style, declarations);
        convertCSS(declarations, b);
        keepSpace = keepsWhiteSpace(declarations).value_or(keepSpace);
    }
    // Each child from the one before: a long paragraph is read in one pass.
    // The cells of a table row are kept apart by tabs.
    // White space between rows, cells and list items is layout of the
    // source, not text.
    const bool row = name.is("tr");
    const bool holdsOnlyElements = row || name.is("table") || name.is("tbody") ||
                                   name.is("thead") || name.is("tfoot") || name.is("ul") ||
                                   name.is("ol");
    bool cellBefore = false;
    const unsigned count = node.childrenCount();
    XMLTree child = count ? node.childAtIndex(0) : XMLTree();
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0)
            child = node.viewOn(child.rootNode()->next);
        if (holdsOnlyElements && child.isTextNode() && child.nodeContent().trimmed().isEmpty())
            continue;
        if (row && !child.hasNodeContent()) {
            const LowerName cell(child);
            if (cell.is("td") || cell.is("th")) {
                if (cellBefore)
                    appendString(string, QStringLiteral("\t"), b);
                cellBefore = true;
            }
        }
        appendNode(string, child, b, depth + 1, keepSpace);
    }
    // List items and table rows are lines of their own.
    if (name.isBlock() || name.is("li") || name.is("tr"))
        appendString(string, QStringLiteral("\n"), b);
    else if (name.is("q"))
        appendString(string, QStringLiteral("\""), b);
}

// The lines of a text as `lines` finds them, with an empty last line after
// a final line end (and for an empty text).
QStringList linesWithLast(const QString &text)
{
    QStringList found = lines(text);
    const char16_t last = text.isEmpty() ? u'\n' : text.back().unicode();
    if (last == u'\n' || last == u'\r' || last == 0x2028 || last == 0x2029)
        found << QString();
    return found;
}

// NSScanner's scanDouble: blanks, sign, digits, fraction, exponent.
std::optional<double> scanNumber(const QString &text, qsizetype &pos)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128)
        ++i, ++digits;
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128)
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        if (j < n && text.at(j).isDigit() && text.at(j).unicode() < 128) {
            while (j < n && text.at(j).isDigit() && text.at(j).unicode() < 128)
                ++j;
            i = j;
        }
    }
    pos = i;
    return CFormat::doubleValue(QStringView(text).mid(start, i - start));
}

} // namespace

Font defaultFont()
{
    return Font(QString::fromLatin1(TWPreferences::UserFontName),
                TWPreferences::UserFontDefaultSize);
}

Color textColor()
{
    return Color::blackColor();
}

Color textBackgroundColor()
{
    return Color::whiteColor();
}

AttributedString attributedStringWithXHTML(const XMLTree &tree, const TextAttributes &attributes)
{
    AttributedString string;
    appendXHTML(string, tree, attributes);
    return string;
}

void appendXHTML(AttributedString &string, const XMLTree &tree, const TextAttributes &attributes)
{
    if (tree.isNull() || !tree.rootNode())
        return;
    appendNode(string, tree, attributes, 0, false);
}

void appendString(AttributedString &string, const QString &text, const TextAttributes &attributes)
{
    if (!text.isEmpty())
        string.appendAttributedString(AttributedString(text, attributes));
}

void parseCSS(const QString &css, TextAttributes &attributes)
{
    CSSDictionary dictionary;
    parseCSS(css, dictionary);
    convertCSS(dictionary, attributes);
}

void parseCSS(const QString &css, CSSDictionary &dictionary)
{
    for (const QString &piece : css.split(QLatin1Char(';'))) {
        qsizetype first = 0;
        while (first < piece.size() && !piece.at(first).isLetterOrNumber())
            ++first;
        const qsizetype colon = piece.indexOf(QLatin1Char(':'));
        if (first == piece.size() || colon < 0 || colon < first)
            continue;
        // Blanks around names and values are allowed in CSS.
        const QString name = piece.mid(first, colon - first).trimmed();
        const QStringList value{piece.mid(colon + 1).trimmed()};
        auto it = std::find_if(dictionary.begin(), dictionary.end(),
                               [&](const auto &entry) { return entry.first == name; });
        if (it != dictionary.end())
            it->second = value;
        else
            dictionary.append({name, value});
    }
}

void convertCSS(const CSSDictionary &dictionary, TextAttributes &attributes)
{
    Font font = fontIn(attributes);
    bool fontChanged = false;
    for (const auto &[property, values] : dictionary) {
        if (values.isEmpty())
            continue;
        const QString name = property.toLower();
        const QString &value = values.first();
        const QString lower = value.toLower();
        if (name == QLatin1String("font-size")) {
            font = font.withSize(parseCSSSizSpec(value, font.pointSize()));
            fontChanged = true;
        } else if (name == QLatin1String("color")) {
            if (std::optional<Color> c = parseCSSColorSpec(value))
                attributes.insert(NSForegroundColorAttributeName, QVariant::fromValue(*c));
        } else if (name == QLatin1String("background-color")) {
            if (std::optional<Color> c = parseCSSColorSpec(value))
                attributes.insert(NSBackgroundColorAttributeName, QVariant::fromValue(*c));
        } else if (name == QLatin1String("text-decoration")) {
            // One decoration at a time, as the value names one.
            const bool strike = lower == QLatin1String("line-through");
            attributes.insert(NSUnderlineStyleAttributeName,
                              lower == QLatin1String("underline") ? 1 : 0);
            if (strike)
                attributes.insert(NSStrikethroughStyleAttributeName, 1);
            else
                attributes.remove(NSStrikethroughStyleAttributeName);
        } else if (name == QLatin1String("font-family")) {
            const QStringList runs = componentsSeparatedByCharSet(
                value, [](QChar c) { return c == u'"' || c == u'\''; });
            for (const QString &run : runs) {
                if (std::optional<QString> family = installedFamily(run)) {
                    font = fontInFamily(font, *family);
                    fontChanged = true;
                    break;
                }
            }
        } else if (name == QLatin1String("font-style")) {
            if (lower == QLatin1String("italic") || lower == QLatin1String("oblique"))
                font = convertTrait(font, FontRegistry::ItalicTrait, true);
            else if (lower == QLatin1String("normal"))
                font = convertTrait(font, FontRegistry::ItalicTrait, false);
            fontChanged = true;
        } else if (name == QLatin1String("font-weight")) {
            if (lower == QLatin1String("bold"))
                font = convertTrait(font, FontRegistry::BoldTrait, true);
            else if (lower == QLatin1String("normal"))
                font = convertTrait(font, FontRegistry::BoldTrait, false);
            fontChanged = true;
        } else if (name == QLatin1String("text-align") || name == QLatin1String("alignment")) {
            const QVariant v = attributes.value(NSParagraphStyleAttributeName);
            ParagraphStyle style = v.canConvert<ParagraphStyle>()
                                       ? v.value<ParagraphStyle>()
                                       : ParagraphStyle::defaultParagraphStyle();
            if (lower == QLatin1String("left"))
                style.alignment = LeftTextAlignment;
            else if (lower == QLatin1String("center"))
                style.alignment = CenterTextAlignment;
            else if (lower == QLatin1String("right"))
                style.alignment = RightTextAlignment;
            else if (lower == QLatin1String("justify"))
                style.alignment = JustifiedTextAlignment;
            attributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(style));
        }
    }
    if (fontChanged)
        attributes.insert(NSFontAttributeName, QVariant::fromValue(font));
}

double parseCSSSizSpec(const QString &value, double oldSize)
{
    static const std::pair<const char *, double> keywords[] = {
        {"xx-small", 8}, {"x-small", 9},  {"small", 10},    {"medium", 12},
        {"large", 14},   {"x-large", 18}, {"xx-large", 24},
    };
    for (const auto &[keyword, size] : keywords) {
        if (value == QLatin1String(keyword))
            return size;
    }
    const QString lower = value.toLower();
    if (lower == QLatin1String("smaller"))
        return oldSize * 0.8;
    if (lower == QLatin1String("larger"))
        return oldSize * 1.25;
    qsizetype end = 0;
    const std::optional<double> x = scanNumber(value, end);
    if (!x)
        return oldSize;
    const QStringView unit = QStringView(value).mid(end);
    double size = oldSize;
    if (unit.startsWith(u"pt"))
        size = *x;
    else if (unit.startsWith(u"pc"))
        size = *x * 12;
    else if (unit.startsWith(u"mm"))
        size = *x * 2.834646;
    else if (unit.startsWith(u"cm"))
        size = *x * 28.34646;
    else if (unit.startsWith(u"%"))
        size = oldSize * *x / 100;
    // A font has a positive, finite size.
    return std::isfinite(size) && size > 0 ? size : oldSize;
}

std::optional<Color> parseCSSColorSpec(const QString &value)
{
    const QString v = value.trimmed();
    static const struct
    {
        const char *name;
        Color color;
    } named[] = {
        {"black", Color::blackColor()},
        {"maroon", Color::colorWithCalibratedRed(0.5, 0, 0)},
        {"green", Color::colorWithCalibratedRed(0, 0.5, 0)},
        {"olive", Color::colorWithCalibratedRed(0.5, 0.5, 0)},
        {"navy", Color::colorWithCalibratedRed(0, 0, 0.5)},
        {"purple", Color::colorWithCalibratedRed(0.5, 0, 0.5)},
        {"teal", Color::colorWithCalibratedRed(0, 0.5, 0.5)},
        {"gray", Color::colorWithCalibratedWhite(0.5)},
        {"silver", Color::colorWithCalibratedWhite(0.75)},
        {"red", Color::colorWithCalibratedRed(1, 0, 0)},
        {"lime", Color::colorWithCalibratedRed(0, 1, 0)},
        {"yellow", Color::colorWithCalibratedRed(1, 1, 0)},
        {"blue", Color::colorWithCalibratedRed(0, 0, 1)},
        {"fuchsia", Color::colorWithCalibratedRed(1, 0, 1)},
        {"aqua", Color::colorWithCalibratedRed(0, 1, 1)},
        {"white", Color::whiteColor()},
    };
    for (const auto &entry : named) {
        if (v == QLatin1String(entry.name))
            return entry.color;
    }
    if (!v.startsWith(QLatin1Char('#')))
        return std::nullopt;
    auto hexValue = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= u'0' && u <= u'9'   ? int(u - u'0')
               : u >= u'a' && u <= u'f' ? int(u - u'a' + 10)
               : u >= u'A' && u <= u'F' ? int(u - u'A' + 10)
                                        : -1;
    };
    qsizetype end = 1;
    while (end < v.size() && hexValue(v.at(end)) >= 0)
        ++end;
    QString digits = v.mid(1, end - 1);
    if (digits.isEmpty())
        return std::nullopt;
    if (digits.size() == 3) { // "#fff" is "#ffffff"
        QString wide;
        for (const QChar c : digits)
            wide += QString(2, c);
        digits = wide;
    }
    quint64 n = 0;
    for (const QChar c : digits) {
        n = n * 16 + quint64(hexValue(c));
        if (n > 0xFFFFFFFFu) { // too many digits read as the largest number
            n = 0xFFFFFFFFu;
            break;
        }
    }
    return Color::colorWithCalibratedRed(((n >> 16) & 255) / 255.0, ((n >> 8) & 255) / 255.0,
                                         (n & 255) / 255.0, 1.0);
}

QString CSSColorSpecFromColor(const Color &color)
{
    const Color c = color.toCalibratedRGB();
    auto byte = [](double component) { return int(std::clamp(component, 0.0, 1.0) * 255); };
    return CFormat::format("#%02x%02x%02x", byte(c.redComponent()), byte(c.greenComponent()),
                           byte(c.blueComponent()));
}

XMLTree XHTMLRepresentation(const AttributedString &string)
{
    XMLTree tree = XMLTree::initWithName(QStringLiteral("html"));
    XMLTree body = tree.addSubtree(QStringLiteral("body"));
    // Blanks and line ends are the note's own, not layout of the source.
    if (string.length() > 0)
        body.setAttributeName(QStringLiteral("style"), QStringLiteral("white-space:pre-wrap;"));
    const double defaultSize = defaultFont().pointSize();
    for (qsizetype run = 0; run < string.runCount(); ++run) {
        const AttributedString::Range range = string.runRange(run);
        const TextAttributes &attributes = string.runAttributes(run);
        QString style;
        const QVariant foreground = attributes.value(NSForegroundColorAttributeName);
        if (foreground.canConvert<Color>() && foreground.value<Color>() != textColor())
            style +=
                QStringLiteral("color:%1;").arg(CSSColorSpecFromColor(foreground.value<Color>()));
        const QVariant background = attributes.value(NSBackgroundColorAttributeName);
        if (background.canConvert<Color>() && background.value<Color>() != textBackgroundColor())
            style += QStringLiteral("background-color:%1;")
                         .arg(CSSColorSpecFromColor(background.value<Color>()));
        const Font font = fontIn(attributes);
        if (font.pointSize() != defaultSize)
            style += CFormat::format("font-size:%fpt;", font.pointSize());
        // An underline style of 0 is no underline.
        if (attributes.value(NSUnderlineStyleAttributeName).toInt() != 0)
            style += QStringLiteral("text-decoration:underline;");
        const FontRegistry::Traits traits = traitsOf(font);
        if (traits & FontRegistry::BoldTrait)
            style += QStringLiteral("font-weight:bold;");
        if (traits & FontRegistry::ItalicTrait)
            style += QStringLiteral("font-style:italic;");
        const QString family = familyOf(font);
        style += family.contains(QLatin1Char(' ')) ? QStringLiteral("font-family:'%1';").arg(family)
                                                   : QStringLiteral("font-family:%1;").arg(family);

        XMLTree span = body.addSubtree(QStringLiteral("span"));
        if (!style.isEmpty())
            span.setAttributeName(QStringLiteral("style"), style);
        // Every line end is a break, the run's last one too: dropped, two
        // runs would read back as one line.
        const QStringList runLines =
            linesWithLast(string.string().mid(range.location, range.length));
        for (qsizetype i = 0; i < runLines.size(); ++i) {
            if (i > 0)
                span.addSubtree(QStringLiteral("br"));
            if (!runLines.at(i).isEmpty())
                span.addContent(runLines.at(i));
        }
    }
    return tree;
}

QString XHTMLStringRepresentation(const AttributedString &string)
{
    return XHTMLRepresentation(string).description();
}

} // namespace XHTML
