#include "MindManagerImpExp/mmConverter.h"

#include "MindManagerImpExp/MMXMLBaseObject.h"
#include "MindManagerImpExp/mmTables.h"
#include "support/Base64.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"
#include "support/TWPreferences.h"
#include "support/TextTab.h"

#include <QBuffer>
#include <QDebug>
#include <QImage>
#include <array>
#include <cmath>

namespace mmConverter {

int graphicShapeFromMMShapeString(const std::optional<QString> &shape)
{
    return mmTables::lookup(mmTables::kTopicShapes, shape).value_or(1);
}

int cornerModeFromMMShapeString(const std::optional<QString> &shape)
{
    return mmTables::lookup(mmTables::kCornerModes, shape).value_or(0);
}

std::optional<QString> stringFromColor(const std::optional<Color> &color)
{
    if (!color)
        return std::nullopt;
    const Color rgb = color->colorUsingColorSpace(Color::Space::DeviceRGB);
    const auto byte = [](double component) {
        return int(std::trunc(float(component) * 255.0f)) & 0xff;
    };
    return QString::asprintf("%02x%02x%02x%02x", byte(rgb.alphaComponent()),
                             byte(rgb.redComponent()), byte(rgb.greenComponent()),
                             byte(rgb.blueComponent()));
}

std::optional<Color> colorFromString(const std::optional<QString> &string)
{
    if (!string || string->size() != 8)
        return std::nullopt;
    const auto digit = [](char16_t c) {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    };
    const QStringView text(*string);
    int parts[4];
    for (int i = 0; i < 4; ++i) {
        const int high = digit(text[i * 2].unicode());
        const int low = digit(text[i * 2 + 1].unicode());
        if (high >= 0 && low >= 0) {
            parts[i] = high * 16 + low;
            continue;
        }
        // Anything else reads as a number would, and a pair that is not
        // one counts as nothing of that component.
        bool ok = false;
        parts[i] = text.mid(i * 2, 2).toInt(&ok, 16);
        if (!ok)
            parts[i] = 0;
    }
    const auto unit = [](int v) { return double(float(v / 255.0)); };
    return Color::colorWithCalibratedRed(unit(parts[1]), unit(parts[2]), unit(parts[3]),
                                         unit(parts[0]));
}

namespace {

bool holdsAPicture(const MMXMLBaseObject *imageData)
{
    if (!imageData)
        return false;
    const std::optional<QString> type = imageData->string("imageType");
    return type && (*type == mmTables::urn("PngImage") || *type == mmTables::urn("IconImage"));
}

std::optional<QString> base64Contents(const MMXMLBaseObject *imageData)
{
    const MMObjectPtr base64 = imageData->child("data");
    const std::optional<QString> contents = base64 ? base64->string("contents") : std::nullopt;
    if (contents && !contents->trimmed().isEmpty())
        return contents;
    return std::nullopt;
}

} // namespace

std::optional<QString> memberOfImageData(const MMXMLBaseObject *imageData)
{
    if (!holdsAPicture(imageData) || base64Contents(imageData))
        return std::nullopt;
    // The member is named by an attribute or, in newer files, by a cor:Uri
    // child.
    std::optional<QString> uri = imageData->string("URI");
    if (!uri || uri->trimmed().isEmpty()) {
        const MMObjectPtr element = imageData->child("uriElement");
        uri = element && !element->boolValue("xsiNil") ? element->string("contents")
                                                       : std::nullopt;
    }
    if (!uri || uri->trimmed().isEmpty())
        return std::nullopt;
    return uri->trimmed();
}

std::optional<Image> imageFromBytes(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    if (std::optional<Image> image = Image::initWithData(bytes))
        return image;
    // Icon data: re-encode what the toolkit can decode.
    QImage decoded;
    if (!decoded.loadFromData(bytes))
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    decoded.save(&buffer, "PNG");
    return Image::initWithData(png);
}

std::optional<Image> imageFromImageData(const MMXMLBaseObject *imageData,
                                        const MemberReader &members)
{
    if (!holdsAPicture(imageData))
        return std::nullopt;
    std::optional<QByteArray> bytes;
    if (const std::optional<QString> contents = base64Contents(imageData)) {
        try {
            bytes = TWBase64::dataWithTWBase64String(*contents);
        } catch (const Base64Error &) {
            // One damaged picture is skipped; the map goes on.
            qWarning("Damaged picture data skipped");
            return std::nullopt;
        }
    } else if (members) {
        if (const std::optional<QString> member = memberOfImageData(imageData))
            bytes = members(*member);
    }
    if (!bytes)
        return std::nullopt;
    return imageFromBytes(*bytes);
}

Font fontNamed(const std::optional<QString> &name, double size)
{
    const FontRegistry &registry = FontRegistry::shared();
    if (name && !name->isEmpty()) {
        const QStringList members = registry.availableMembersOfFontFamily(*name);
        if (!members.isEmpty())
            return Font(members.first(), size);
        if (registry.isInstalled(*name))
            return Font(*name, size);
    }
    return Font(QString::fromLatin1(TWPreferences::UserFontName), size);
}

namespace {

// A font as a text run has it.
struct FontDescription
{
    std::optional<QString> name;
    double size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    std::optional<QString> color;

    bool operator==(const FontDescription &) const = default;
};

TextAttributes attributesOf(const FontDescription &d)
{
    const FontRegistry &registry = FontRegistry::shared();
    Font f = fontNamed(d.name, d.size);
    // A font that is not installed cannot take a trait: bold or italic text
    // takes the installed family drawn in its place, so that it shows and
    // is written out as bold or italic.
    if ((d.bold || d.italic) && !registry.isInstalled(f.fontName())) {
        if (const std::optional<QString> family = registry.metricCompatibleFamily(f.fontName()))
            f = Font(registry.availableMembersOfFontFamily(*family).first(), f.pointSize());
    }
    if (d.bold)
        f = registry.convertFontToHaveTrait(f, FontRegistry::BoldTrait);
    if (d.italic)
        f = registry.convertFontToHaveTrait(f, FontRegistry::ItalicTrait);
    TextAttributes attributes;
    attributes.insert(NSFontAttributeName, QVariant::fromValue(f));
    if (d.underline)
        attributes.insert(NSUnderlineStyleAttributeName, 1);
    if (d.strikethrough)
        attributes.insert(NSStrikethroughStyleAttributeName, 1);
    if (std::optional<Color> color = colorFromString(d.color))
        attributes.insert(NSForegroundColorAttributeName, QVariant::fromValue(*color));
    return attributes;
}

// What a font element says, with what it leaves unsaid taken from `base`:
// a range sets only what differs from the text's font, and a topic's font
// only what differs from its level's.
FontDescription describeFont(const MMXMLBaseObject &font, const FontDescription *base)
{
    FontDescription d = base ? *base : FontDescription{};
    if (std::optional<QString> name = font.string("name"); name && !name->isEmpty())
        d.name = name;
    if (font.isSet("size") && font.floatValue("size") > 0)
        d.size = font.floatValue("size");
    const auto flag = [&font](const char *field, bool &value) {
        if (font.isSet(field))
            value = font.boolValue(field);
    };
    flag("bold", d.bold);
    flag("italic", d.italic);
    flag("underline", d.underline);
    flag("strikethrough", d.strikethrough);
    if (std::optional<QString> color = font.string("color"))
        d.color = color;
    return d;
}

// A map's topics share a few fonts: each thread keeps the attributes of
// the last few it made, as installed fonts do not change during a run.
TextAttributes fontAttributes(const FontDescription &d)
{
    constexpr size_t Kept = 8;
    thread_local std::array<std::pair<FontDescription, TextAttributes>, Kept> recent;
    thread_local size_t filled = 0;
    thread_local size_t next = 0;
    for (size_t i = 0; i < filled; ++i) {
        if (recent[i].first == d)
            return recent[i].second;
    }
    TextAttributes attributes = attributesOf(d);
    recent[next] = {d, attributes};
    next = (next + 1) % Kept;
    filled = std::max(filled, next == 0 ? Kept : next);
    return attributes;
}

} // namespace

std::optional<AttributedString> attributedStringFromText(const MMXMLBaseObject *text,
                                                         const MMXMLBaseObject *fallback)
{
    if (!text)
        return std::nullopt;
    std::optional<QString> plain = text->string("plainText");
    if (!plain && fallback)
        plain = fallback->string("plainText");
    // The parser has decoded entities once; only the written-out line feed
    // of some writers is left to turn into a line break.
    QString string = plain.value_or(QString());
    string.replace(QLatin1String("&#xA;"), QLatin1String("\n"));

    const MMObjectPtr fallbackFont = fallback ? fallback->child("font") : nullptr;
    const MMObjectPtr ownFont = text->child("font");
    std::optional<FontDescription> baseFont;
    if (fallbackFont)
        baseFont = describeFont(*fallbackFont, nullptr);
    if (ownFont)
        baseFont = describeFont(*ownFont, baseFont ? &*baseFont : nullptr);
    TextAttributes base;
    if (baseFont)
        base = fontAttributes(*baseFont);
    if (const std::optional<QString> alignment = text->string("textAlignment")) {
        ParagraphStyle style;
        if (const std::optional<int> a = mmTables::lookup(mmTables::kTextAlignments, alignment))
            style.alignment = *a;
        base.insert(NSParagraphStyleAttributeName, QVariant::fromValue(style));
    }
    AttributedString result(string, base);
    for (const MMObjectPtr &range : text->children("fontRanges")) {
        const qint64 from = range->uintValue("from");
        const qint64 to = range->uintValue("to");
        // Ranges past the text are cut at its end.
        if (from >= result.length() || to < from)
            continue;
        const qint64 end = std::min<qint64>(to + 1, result.length());
        TextAttributes attributes =
            fontAttributes(describeFont(*range, baseFont ? &*baseFont : nullptr));
        // The paragraph's alignment holds for the range as well.
        if (base.contains(NSParagraphStyleAttributeName))
            attributes.insert(NSParagraphStyleAttributeName,
                              base.value(NSParagraphStyleAttributeName));
        result.setAttributes(attributes,
                             AttributedString::Range{qsizetype(from), qsizetype(end - from)});
    }
    return result;
}

} // namespace mmConverter
