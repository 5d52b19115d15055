#include "support/AttributedString.h"

#include "platform/CFormat.h"
#include "support/Base64.h"
#include "support/Color.h"
#include "support/Cursor.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/GlyphInfo.h"
#include "support/ParagraphStyle.h"
#include "support/PropertyList.h"
#include "support/Shadow.h"
#include "support/TWWinFont.h"
#include "support/TWXMLUtils.h"
#include "support/TextAttachment.h"
#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <QHash>
#include <QUrl>
#include <QtDebug>
#include <array>
#include <fontconfig/fontconfig.h>

#include <libxml/xpath.h>

namespace {

const QString usedWindowsFontNote = QStringLiteral("Used Windows Font");

enum class Kind {
    Font,
    WinFont,
    Link,
    ParagraphStyle,
    Color,
    Integer,
    Float,
    String,
    Shadow,
    LinkBack,
    Attachment,
    Cursor,
    GlyphInfo,
};

struct AttributeElement
{
    const QString &key;
    const char *element;
    Kind kind;
};

// The attribute children of a "formatting" element, in the order they are
// written. The LinkBack row describes the attachment's LinkBack side.
const std::array<AttributeElement, 24> &attributeElements()
{
    static const std::array<AttributeElement, 24> table{{
        {NSFontAttributeName, "NSFontAttributeName", Kind::Font},
        {TWWinFontAttributeName, "TWWinFontAttributeName", Kind::WinFont},
        {NSLinkAttributeName, "NSLinkAttributeName", Kind::Link},
        {NSParagraphStyleAttributeName, "NSParagraphStyleAttributeName", Kind::ParagraphStyle},
        {NSForegroundColorAttributeName, "NSForegroundColorAttributeName", Kind::Color},
        {NSUnderlineStyleAttributeName, "NSUnderlineStyleAttributeName", Kind::Integer},
        {NSSuperscriptAttributeName, "NSSuperscriptAttributeName", Kind::Integer},
        {NSBackgroundColorAttributeName, "NSBackgroundColorAttributeName", Kind::Color},
        {NSAttachmentAttributeName, "LinkBackAttachmentAttributeName", Kind::LinkBack},
        {NSAttachmentAttributeName, "NSAttachmentAttributeName", Kind::Attachment},
        {NSLigatureAttributeName, "NSLigatureAttributeName", Kind::Integer},
        {NSBaselineOffsetAttributeName, "NSBaselineOffsetAttributeName", Kind::Float},
        {NSKernAttributeName, "NSKernAttributeName", Kind::Float},
        {NSStrokeWidthAttributeName, "NSStrokeWidthAttributeName", Kind::Float},
        {NSStrokeColorAttributeName, "NSStrokeColorAttributeName", Kind::Color},
        {NSUnderlineColorAttributeName, "NSUnderlineColorAttributeName", Kind::Color},
        {NSStrikethroughStyleAttributeName, "NSStrikethroughStyleAttributeName", Kind::Integer},
        {NSStrikethroughColorAttributeName, "NSStrikethroughColorAttributeName", Kind::Color},
        {NSShadowAttributeName, "NSShadowAttributeName", Kind::Shadow},
        {NSObliquenessAttributeName, "NSObliquenessAttributeName", Kind::Float},
        {NSExpansionAttributeName, "NSExpansionAttributeName", Kind::Float},
        {NSCursorAttributeName, "NSCursorAttributeName", Kind::Cursor},
        {NSToolTipAttributeName, "NSToolTipAttributeName", Kind::String},
        {NSGlyphInfoAttributeName, "NSGlyphInfoAttributeName", Kind::GlyphInfo},
    }};
    return table;
}

// Reading goes in this order; it matters where two children set the same key
// (a Windows font's replacement wins over the run's own font).
constexpr std::array<int, 24> readerOrder{0,  1,  3,  4,  2,  5,  6,  7,  8,  9,  10, 11,
                                          12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};

const QHash<QByteArray, int> &elementIndex()
{
    static const QHash<QByteArray, int> index = [] {
        QHash<QByteArray, int> h;
        const auto &table = attributeElements();
        for (int i = 0; i < int(table.size()); ++i)
            h.insert(QByteArray(table[size_t(i)].element), i);
        return h;
    }();
    return index;
}

template <typename T> bool holds(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<T>();
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool hasFileContents(const TextAttachment &attachment)
{
    return attachment.fileWrapper() && attachment.fileWrapper()->isRegularFile();
}

// The value of a type that has no default constructor (value<T>() needs one).
template <typename T> const T &valueOf(const QVariant &value)
{
    return *static_cast<const T *>(value.constData());
}

void warnWrongType(const AttributeElement &e, const QVariant &value)
{
    qWarning("Attributed string attribute %s holds a value of type %s; not written", e.element,
             value.metaType().name() ? value.metaType().name() : "none");
}

void writeAttachment(const AttributeElement &e, const TextAttachment &attachment, XMLOut &out)
{
    const TextAttachment::FileWrapper &wrapper = *attachment.fileWrapper();
    out.startElement(e.element);
    if (e.kind == Kind::LinkBack) {
        QString error;
        const std::optional<QByteArray> payload =
            PropertyList::dataWithPropertyList(attachment.linkBackData(), &error);
        if (payload)
            out.textElement("linkBackData", TWBase64::twBase64String(*payload));
        else
            qWarning("%s", qPrintable(error));
        out.textElement("linkBackItemKey", attachment.linkBackItemKey());
        out.endElement();
        return;
    }
    if (!wrapper.preferredFilename.isEmpty())
        out.textElement("preferredFilename", wrapper.preferredFilename);
    if (!wrapper.filename.isEmpty())
        out.textElement("filename", wrapper.filename);
    out.textElement("data", TWBase64::twBase64String(*wrapper.regularFileContents));
    out.endElement();
}

// <element>the value's own element</element>
template <class Write> void inElement(XMLOut &out, const AttributeElement &e, Write write)
{
    out.startElement(e.element);
    write();
    out.endElement();
}

void writeAttribute(const AttributeElement &e, const QVariant &value, XMLOut &out)
{
    switch (e.kind) {
    case Kind::Font:
        if (!holds<Font>(value))
            return warnWrongType(e, value);
        inElement(out, e, [&] { value.value<Font>().writeXml(out); });
        return;
    case Kind::WinFont:
        if (!holds<TWWinFont>(value))
            return warnWrongType(e, value);
        out.nodes([&](xmlNodePtr formatting) {
            value.value<TWWinFont>().addXmlDataToNode(
                TWXMLUtils::addElementChild(formatting, e.element));
        });
        return;
    case Kind::Link:
        if (holds<QUrl>(value))
            out.textElement(e.element, value.toUrl().toString(QUrl::FullyEncoded));
        else if (holds<QString>(value))
            out.textElement(e.element, value.toString());
        else
            warnWrongType(e, value);
        return;
    case Kind::ParagraphStyle:
        if (!holds<ParagraphStyle>(value))
            return warnWrongType(e, value);
        inElement(out, e, [&] { value.value<ParagraphStyle>().writeXml(out); });
        return;
    case Kind::Color:
        if (!holds<Color>(value))
            return warnWrongType(e, value);
        inElement(out, e, [&] { value.value<Color>().writeXml(out); });
        return;
    case Kind::Integer:
    case Kind::Float:
        if (!isNumber(value))
            return warnWrongType(e, value);
        out.textElement(e.element, TWXMLProtocol::description(value));
        return;
    case Kind::String:
        if (!holds<QString>(value))
            return warnWrongType(e, value);
        out.textElement(e.element, value.toString());
        return;
    case Kind::Shadow:
        if (!holds<Shadow>(value))
            return warnWrongType(e, value);
        inElement(out, e, [&] { value.value<Shadow>().writeXml(out); });
        return;
    case Kind::LinkBack:
    case Kind::Attachment: {
        if (!holds<TextAttachment>(value)) {
            if (e.kind == Kind::Attachment)
                warnWrongType(e, value);
            return;
        }
        const TextAttachment attachment = value.value<TextAttachment>();
        // An attachment without file contents (a folder) has nothing to write.
        if (!hasFileContents(attachment) ||
            (e.kind == Kind::LinkBack && !attachment.isLinkBackAttachment()))
            return;
        writeAttachment(e, attachment, out);
        return;
    }
    case Kind::Cursor:
        if (!holds<Cursor>(value))
            return warnWrongType(e, value);
        out.nodes([&](xmlNodePtr formatting) {
            valueOf<Cursor>(value).addXmlDataToNode(
                TWXMLUtils::addElementChild(formatting, e.element));
        });
        return;
    case Kind::GlyphInfo:
        if (!holds<GlyphInfo>(value))
            return warnWrongType(e, value);
        out.nodes([&](xmlNodePtr formatting) {
            valueOf<GlyphInfo>(value).addXmlDataToNode(
                TWXMLUtils::addElementChild(formatting, e.element));
        });
        return;
    }
}

// Opens a "formatting" element for the run; the caller closes it.
void startFormatting(XMLOut &out, AttributedString::Range range)
{
    out.startElement("formatting");
    out.integerElement("start", range.location);
    out.integerElement("length", range.length);
}

void writeFormattingAttributes(const TextAttributes &attributes, XMLOut &out)
{
    for (const AttributeElement &e : attributeElements()) {
        const auto it = attributes.constFind(e.key);
        if (it != attributes.constEnd())
            writeAttribute(e, *it, out);
    }
}

// ---- characters XML cannot hold ----

// A character left out of "string": its index in the whole text and its
// UTF-16 unit (all of them are single units).
struct OmittedCharacter
{
    qsizetype index;
    char16_t unit;
};

const char omittedCharactersElement[] = "omittedCharacters";

// Units XML 1.0 cannot hold: the C0 controls but tab, line feed and carriage
// return, U+FFFE, U+FFFF and surrogates that are not part of a pair.
bool xmlCannotHold(char16_t unit)
{
    return QChar::isSurrogate(unit) || !XMLDetail::isXMLCharacter(unit);
}

// The text without what XML cannot hold, each run keeping its attributes;
// what was left out goes to `omitted`, in text order.
AttributedString withoutCharactersXMLCannotHold(const AttributedString &s,
                                                std::vector<OmittedCharacter> &omitted)
{
    const QString &text = s.string();
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    AttributedString held;
    qsizetype segment = 0;
    for (qsizetype i = 0; i < n;) {
        const char16_t u = p[i];
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            i += 2;
            continue;
        }
        if (!xmlCannotHold(u)) {
            ++i;
            continue;
        }
        if (i > segment)
            held.appendAttributedString(s.attributedSubstringFromRange({segment, i - segment}));
        omitted.push_back({i, u});
        segment = ++i;
    }
    if (omitted.empty())
        return s;
    if (n > segment)
        held.appendAttributedString(s.attributedSubstringFromRange({segment, n - segment}));
    return held;
}

// "index:unit" pairs in decimal, separated by blanks.
QString omittedCharactersText(const std::vector<OmittedCharacter> &omitted)
{
    QString text;
    for (const OmittedCharacter &c : omitted) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QString::number(c.index) + QLatin1Char(':') + QString::number(int(c.unit));
    }
    return text;
}

std::vector<OmittedCharacter> readOmittedCharacters(const QString &text, int &bad)
{
    std::vector<OmittedCharacter> omitted;
    for (const QString &pair : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype colon = pair.indexOf(QLatin1Char(':'));
        bool indexOK = false, unitOK = false;
        const qlonglong index = colon > 0 ? pair.left(colon).toLongLong(&indexOK) : -1;
        const uint unit = colon > 0 ? pair.mid(colon + 1).toUInt(&unitOK) : 0;
        // Only what "string" could not have held comes back this way.
        if (!indexOK || !unitOK || index < 0 || unit > 0xFFFF || !xmlCannotHold(char16_t(unit))) {
            ++bad;
            continue;
        }
        omitted.push_back({qsizetype(index), char16_t(unit)});
    }
    return omitted;
}

// The text with the omitted characters put back at their indices; each takes
// the attributes of the character before it (the first character's at the
// start). Entries that do not fit the text, or come out of order, are
// counted in `bad` and left out.
AttributedString withOmittedCharacters(const AttributedString &held,
                                       const std::vector<OmittedCharacter> &omitted, int &bad)
{
    AttributedString result;
    qsizetype taken = 0; // characters of `held` copied so far
    for (const OmittedCharacter &c : omitted) {
        const qsizetype before = c.index - (result.length() - taken);
        if (before < taken || before > held.length()) {
            ++bad;
            continue;
        }
        if (before > taken) {
            result.appendAttributedString(
                held.attributedSubstringFromRange({taken, before - taken}));
            taken = before;
        }
        TextAttributes attributes;
        if (!result.isEmpty())
            attributes = result.attributesAtIndex(result.length() - 1);
        else if (!held.isEmpty())
            attributes = held.attributesAtIndex(0);
        result.appendAttributedString(AttributedString(QString(QChar(c.unit)), attributes));
    }
    if (taken < held.length())
        result.appendAttributedString(
            held.attributedSubstringFromRange({taken, held.length() - taken}));
    return result;
}

// ---- reading ----

QString textOf(xmlNodePtr node)
{
    return TWXMLUtils::textOfNode(node);
}

// The user's fixed-pitch font: the face the desktop's "monospace" resolves
// to, else the first installed fixed-pitch upright face.
QString userFixedPitchFontName()
{
    static const QString name = [] {
        const FontRegistry &registry = FontRegistry::shared();
        QString found;
        if (FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>("monospace"))) {
            FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            if (FcPattern *match = FcFontMatch(nullptr, pattern, &result)) {
                FcChar8 *value = nullptr;
                if (FcPatternGetString(match, FC_POSTSCRIPT_NAME, 0, &value) == FcResultMatch)
                    found = QString::fromUtf8(reinterpret_cast<const char *>(value));
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
        if (registry.isInstalled(found))
            return found;
        for (const QString &candidate : registry.availableFonts())
            if (registry.traits(candidate) == FontRegistry::FixedPitchTrait)
                return candidate;
        return QStringLiteral("Courier");
    }();
    return name;
}

// The installed font a name stands for: a PostScript name, or a family name
// standing for its regular face.
std::optional<Font> installedFont(const QString &name, double size)
{
    const FontRegistry &registry = FontRegistry::shared();
    if (registry.isInstalled(name))
        return Font(name, size);
    const QStringList members = registry.availableMembersOfFontFamily(name);
    const FontRegistry::Face *best = nullptr;
    for (const QString &member : members) {
        const FontRegistry::Face *face = registry.face(member);
        if (!face)
            continue;
        const auto cost = [](const FontRegistry::Face *f) {
            return (f->slant != FC_SLANT_ROMAN ? 1000 : 0) +
                   std::abs(f->weight - FC_WEIGHT_REGULAR) + std::abs(f->width - FC_WIDTH_NORMAL);
        };
        if (!best || cost(face) < cost(best))
            best = face;
    }
    if (best)
        return Font(best->postScriptName, size);
    return std::nullopt;
}

// The installed font that stands in for a font named in a text from Windows.
// A name that is drawn with a metric-compatible face counts as installed: it
// is kept, so that the text saves with the font it came with.
Font replacementFont(const TWWinFont &winFont)
{
    const FontRegistry &registry = FontRegistry::shared();
    const QString &name = winFont.name();
    std::optional<Font> font = installedFont(name, winFont.size());
    if (!font && registry.metricCompatibleFamily(name)) {
        // The style words tell the drawing which face of the substitute to use.
        QString styled = name;
        if (winFont.bold())
            styled += QLatin1String(" Bold");
        if (winFont.italic())
            styled += QLatin1String(" Italic");
        return Font(styled, winFont.size());
    }
    if (!font) {
        const QString firstWord = name.section(QLatin1Char(' '), 0, 0);
        if (!firstWord.isEmpty())
            font = installedFont(firstWord, winFont.size());
        if (!font && !firstWord.isEmpty()) {
            for (const QString &candidate : registry.availableFonts()) {
                if (candidate.startsWith(firstWord)) {
                    font = Font(candidate, winFont.size());
                    break;
                }
            }
        }
        if (font) {
            qWarning("Missing font: %s Using replacement font: %s", qPrintable(name),
                     qPrintable(font->fontName()));
        } else {
            qWarning("Missing font %s no replacement found", qPrintable(name));
            font = Font(userFixedPitchFontName(), winFont.size());
        }
    }
    if (winFont.italic())
        font = registry.convertFontToHaveTrait(*font, FontRegistry::ItalicTrait);
    if (winFont.bold())
        font = registry.convertFontToHaveTrait(*font, FontRegistry::BoldTrait);
    return *font;
}

// The first child element of that name.
xmlNodePtr childNamed(xmlNodePtr node, const char *name)
{
    for (xmlNodePtr child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
            return child;
    return nullptr;
}

std::optional<QByteArray> decodeBase64(xmlNodePtr node, const char *what)
{
    try {
        std::optional<QByteArray> data = TWBase64::dataWithTWBase64String(textOf(node));
        if (!data)
            qWarning("Attributed string: %s is not Base64 text; ignored", what);
        return data;
    } catch (const Base64Error &error) {
        qWarning("Attributed string: %s: %s: %s; ignored", what, Base64Error::name(), error.what());
        return std::nullopt;
    }
}

std::optional<TextAttachment> readAttachment(xmlNodePtr linkBack, xmlNodePtr attachment)
{
    xmlNodePtr dataNode = attachment ? childNamed(attachment, "data") : nullptr;
    if (!dataNode) {
        qWarning("Attributed string: an attachment without data; ignored");
        return std::nullopt;
    }
    const std::optional<QByteArray> contents = decodeBase64(dataNode, "attachment data");
    if (!contents)
        return std::nullopt;
    TextAttachment::FileWrapper wrapper = TextAttachment::FileWrapper::regularFile(*contents);
    if (xmlNodePtr n = childNamed(attachment, "filename"))
        wrapper.filename = textOf(n);
    if (xmlNodePtr n = childNamed(attachment, "preferredFilename"))
        wrapper.preferredFilename = textOf(n);

    if (xmlNodePtr dataNode = linkBack ? childNamed(linkBack, "linkBackData") : nullptr) {
        if (const std::optional<QByteArray> payload = decodeBase64(dataNode, "LinkBack data")) {
            QString error;
            if (std::optional<QVariant> plist =
                    PropertyList::propertyListWithData(*payload, &error)) {
                xmlNodePtr key = childNamed(linkBack, "linkBackItemKey");
                return TextAttachment::linkBackAttachment(std::move(wrapper), *plist,
                                                          key ? textOf(key) : QString());
            }
            qWarning("%s", qPrintable(error));
        }
    }
    return TextAttachment(std::move(wrapper));
}

// The attributes of one "formatting" element. Children are looked up once;
// the first of a repeated name counts, as everywhere in value elements.
TextAttributes readAttributes(const std::array<xmlNodePtr, 24> &children, xmlDocPtr doc,
                              QStringList *notes)
{
    const auto &table = attributeElements();
    TextAttributes attributes;
    for (int index : readerOrder) {
        xmlNodePtr node = children[size_t(index)];
        if (!node)
            continue;
        const AttributeElement &e = table[size_t(index)];
        switch (e.kind) {
        case Kind::Font:
            if (std::optional<Font> font = Font::fontWithXMLNode(node, doc))
                attributes.insert(e.key, QVariant::fromValue(*font));
            break;
        case Kind::WinFont: {
            const TWWinFont winFont = TWWinFont::fontWithXMLNode(node, doc);
            if (winFont.name() == QLatin1String(" "))
                break;
            if (notes)
                notes->append(usedWindowsFontNote);
            attributes.insert(NSFontAttributeName, QVariant::fromValue(replacementFont(winFont)));
            break;
        }
        case Kind::Link: {
            const QString text = textOf(node);
            const QUrl url(text, QUrl::StrictMode);
            if (url.isValid() && !text.isEmpty())
                attributes.insert(e.key, url);
            else
                qWarning("Attributed string: link \"%s\" is no URL; ignored", qPrintable(text));
            break;
        }
        case Kind::ParagraphStyle:
            attributes.insert(e.key, QVariant::fromValue(ParagraphStyle::withXMLNode(node, doc)));
            break;
        case Kind::Color:
            attributes.insert(e.key, QVariant::fromValue(Color::colorWithXMLNode(node, doc)));
            break;
        case Kind::Integer:
            attributes.insert(e.key, CFormat::intValue(textOf(node)));
            break;
        case Kind::Float:
            attributes.insert(e.key, CFormat::doubleValue(textOf(node)));
            break;
        case Kind::String:
            attributes.insert(e.key, textOf(node));
            break;
        case Kind::Shadow:
            attributes.insert(e.key, QVariant::fromValue(Shadow::withXMLNode(node, doc)));
            break;
        case Kind::LinkBack:
            break; // read with the attachment
        case Kind::Attachment: {
            const std::optional<TextAttachment> attachment =
                readAttachment(children[size_t(index - 1)], node);
            if (attachment)
                attributes.insert(e.key, QVariant::fromValue(*attachment));
            break;
        }
        case Kind::Cursor:
            if (std::optional<Cursor> cursor = Cursor::cursorWithXMLNode(node, doc))
                attributes.insert(e.key, QVariant::fromValue(*cursor));
            break;
        case Kind::GlyphInfo:
            if (std::optional<GlyphInfo> glyphInfo = GlyphInfo::glyphInfoWithXMLNode(node, doc))
                attributes.insert(e.key, QVariant::fromValue(*glyphInfo));
            break;
        }
    }
    return attributes;
}

} // namespace

void AttributedString::addFormattingAttributes(const TextAttributes &attributes, xmlNodePtr node)
{
    if (!node)
        return;
    XMLNodeOut out(node);
    writeFormattingAttributes(attributes, out);
}

void AttributedString::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void AttributedString::writeXml(XMLOut &out) const
{
    out.startElement("NSAttributedString");
    // Every character XML holds is written as it is: joiners, marks, soft
    // hyphens and the like are part of the text. The few it cannot hold are
    // left out of "string" and listed after it, so that readers that do not
    // know the list still read a text whose runs fit it.
    std::vector<OmittedCharacter> omitted;
    const AttributedString held = withoutCharactersXMLCannotHold(*this, omitted);
    // A text is never missing, only empty.
    const QString text = held.string();
    out.textElement("string", text.isNull() ? QStringLiteral("") : text);
    if (!omitted.empty())
        out.textElement(omittedCharactersElement, omittedCharactersText(omitted));
    const qsizetype size = held.length();
    if (size == 0) {
        out.endElement();
        return;
    }

    // Paragraph styles, fonts and Windows fonts each get runs of their own, so
    // a change of font does not repeat the paragraph style and vice versa.
    for (const QString *key :
         {&NSParagraphStyleAttributeName, &NSFontAttributeName, &TWWinFontAttributeName}) {
        for (qsizetype index = 0; index < size;) {
            Range range;
            const QVariant value = held.attribute(*key, index, &range);
            if (value.isValid()) {
                startFormatting(out, range);
                writeFormattingAttributes({{*key, value}}, out);
                out.endElement();
            }
            index = range.end();
        }
    }
    for (qsizetype run = 0; run < held.runCount(); ++run) {
        TextAttributes rest = held.runAttributes(run);
        rest.remove(NSParagraphStyleAttributeName);
        rest.remove(NSFontAttributeName);
        rest.remove(TWWinFontAttributeName);
        if (!rest.isEmpty()) {
            startFormatting(out, held.runRange(run));
            writeFormattingAttributes(rest, out);
            out.endElement();
        }
    }
    out.endElement();
}

std::optional<AttributedString>
AttributedString::initWithXMLNode(xmlNodePtr node, xmlDocPtr document, QStringList *notes)
{
    const TWXMLUtils::XPathReader reader(node, document);
    const xmlNodePtr stringNode = reader.node("NSAttributedString/string");
    if (!stringNode) {
        qWarning("No string defined for attributed string");
        return std::nullopt;
    }
    // An empty text is a text, as the writer wrote it.
    AttributedString result(textOf(stringNode));
    const qsizetype size = result.length();

    const QList<xmlNodePtr> runs = reader.nodes("NSAttributedString/formatting");
    if (!runs.isEmpty()) {
        const auto &index = elementIndex();
        for (xmlNodePtr formatting : runs) {
            xmlNodePtr startNode = nullptr;
            xmlNodePtr lengthNode = nullptr;
            std::array<xmlNodePtr, 24> children{};
            for (xmlNodePtr child = formatting->children; child; child = child->next) {
                if (child->type != XML_ELEMENT_NODE)
                    continue;
                const QByteArray name(reinterpret_cast<const char *>(child->name));
                if (name == "start") {
                    if (!startNode)
                        startNode = child;
                } else if (name == "length") {
                    if (!lengthNode)
                        lengthNode = child;
                } else if (const auto it = index.constFind(name); it != index.constEnd()) {
                    if (!children[size_t(*it)])
                        children[size_t(*it)] = child;
                } else {
                    qWarning("Unknown attribute %s in attributed string formatting; ignored",
                             name.constData());
                }
            }
            // A bad run loses that run only, never the rest of the text.
            if (!startNode) {
                qWarning("No formatting start for attributed string");
                continue;
            }
            if (!lengthNode) {
                qWarning("No formatting length for attributed string");
                continue;
            }
            const qsizetype start = CFormat::intValue(textOf(startNode));
            qsizetype length = CFormat::intValue(textOf(lengthNode));
            if (start < 0 || length < 0 || start > size) {
                qWarning("Attributed string formatting {%lld, %lld} lies outside a text of %lld "
                         "characters; skipped",
                         qlonglong(start), qlonglong(length), qlonglong(size));
                continue;
            }
            length = std::min(length, size - start);
            const TextAttributes attributes = readAttributes(children, document, notes);
            if (length > 0)
                result.addAttributes(attributes, {start, length});
        }
    }

    // The text stays as the file has it (an emoji sequence keeps its joiners),
    // with the characters XML could not hold put back where they were.
    if (const xmlNodePtr omittedNode = reader.node("NSAttributedString/omittedCharacters")) {
        int bad = 0;
        result =
            withOmittedCharacters(result, readOmittedCharacters(textOf(omittedNode), bad), bad);
        if (bad > 0)
            qWarning("Attributed string: %d of its omitted characters do not fit the text; "
                     "left out",
                     bad);
    }
    return result;
}

XMLElement AttributedString::freshXMLElement() const
{
    const QString snippet =
        TWXMLUtils::xmlRepresentation([this](xmlNodePtr root) { addXmlDataToNode(root); });
    if (snippet.isEmpty())
        return XMLElement();
    const std::optional<XMLDocument> document = XMLDocument::parse(snippet.toUtf8());
    if (!document)
        return XMLElement();
    const XMLElement element = document->rootElement().elementForName("NSAttributedString");
    return element.isNull() ? XMLElement() : element.copy();
}

std::optional<AttributedString> AttributedString::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return std::nullopt;
    XMLElement root = XMLElement::create("XMLObj");
    root.addChild(element.copy());
    const XMLDocument document(std::move(root));
    xmlDocPtr parsed = XMLDetail::parseToXmlDoc(document.xmlData());
    if (!parsed)
        return std::nullopt;
    std::optional<AttributedString> result;
    if (xmlXPathObjectPtr top = TWXMLUtils::getNodeSetForXPath("/XMLObj", parsed, nullptr)) {
        result = initWithXMLNode(top->nodesetval->nodeTab[0], parsed, nullptr);
        xmlXPathFreeObject(top);
    }
    xmlFreeDoc(parsed);
    return result;
}
