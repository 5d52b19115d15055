#include "support/RichTextFormat.h"

#include "support/Color.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"

#include <QHash>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace RichTextFormat {

namespace {

// Code page 1252 in 0x80-0x9f; the rest of the upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QChar fromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kCp1252High[byte - 0x80]);
    return QChar(char16_t(byte));
}

constexpr double kDefaultSize = 12.0;
const QString kDefaultFontName = QStringLiteral("Helvetica");

// Bold and italic of a font: from the installed face, else guessed from its name.
void traitsOfFont(const QString &name, bool *bold, bool *italic)
{
    const FontRegistry &registry = FontRegistry::shared();
    if (registry.face(name)) {
        const FontRegistry::Traits traits = registry.traits(name);
        *bold = traits & FontRegistry::BoldTrait;
        *italic = traits & FontRegistry::ItalicTrait;
        return;
    }
    *bold = name.contains(QLatin1String("Bold"), Qt::CaseInsensitive) ||
            name.contains(QLatin1String("Black"), Qt::CaseInsensitive) ||
            name.contains(QLatin1String("Heavy"), Qt::CaseInsensitive);
    *italic = name.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
              name.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
}

// The font of a table name with the traits the text asks for. A name that
// already has them is kept, so written fonts read back as they were.
QString resolveFontName(const QString &tableName, bool bold, bool italic)
{
    const FontRegistry &registry = FontRegistry::shared();
    QString name = tableName;
    if (!registry.face(name)) {
        // Other writers name families; take the family's regular face.
        const QStringList members = registry.availableMembersOfFontFamily(name);
        if (!members.isEmpty())
            name = members.first();
    }
    bool hasBold = false, hasItalic = false;
    traitsOfFont(name, &hasBold, &hasItalic);
    if (hasBold == bold && hasItalic == italic)
        return name;
    if (!registry.face(name)) {
        // Not installed: name the face as PostScript names usually are.
        if (name.contains(QLatin1Char('-')) || (hasBold && !bold) || (hasItalic && !italic))
            return name;
        return name + (bold && italic ? QStringLiteral("-BoldItalic")
                       : bold         ? QStringLiteral("-Bold")
                                      : QStringLiteral("-Italic"));
    }
    Font font(name, kDefaultSize);
    font = bold ? registry.convertFontToHaveTrait(font, FontRegistry::BoldTrait)
                : registry.convertFontToNotHaveTrait(font, FontRegistry::BoldTrait);
    font = italic ? registry.convertFontToHaveTrait(font, FontRegistry::ItalicTrait)
                  : registry.convertFontToNotHaveTrait(font, FontRegistry::ItalicTrait);
    return font.fontName();
}

int twips(double points)
{
    const double t = std::round(points * 20.0);
    return std::isfinite(t) ? int(std::clamp(t, -1e9, 1e9)) : 0;
}

int component255(double c)
{
    return std::isfinite(c) ? int(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)) : 0;
}

// --- writing ---

struct RGB
{
    int r, g, b;
    friend bool operator==(const RGB &, const RGB &) = default;
};

RGB rgbOf(const Color &color)
{
    const Color c = color.isRGB() ? color : color.toCalibratedRGB();
    return {component255(c.redComponent()), component255(c.greenComponent()),
            component255(c.blueComponent())};
}

struct CharState
{
    int font = -1; // index in the font table; -1: no font
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    int underline = 0;
    bool strike = false;
    int foreground = 0; // index in the colour table; 0: automatic
    int background = 0;
};

class Writer
{
public:
    QByteArray write(const AttributedString &string, AttributedString::Range range)
    {
        collectTables(string, range);
        m_out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc0\n";
        if (!m_fonts.isEmpty()) {
            m_out += "{\\fonttbl";
            for (qsizetype i = 0; i < m_fonts.size(); ++i) {
                m_out += "\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
                appendText(m_fonts[i], true);
                m_out += ';';
            }
            m_out += "}\n";
            m_pendingDelimiter = false;
        }
        if (!m_colors.isEmpty()) {
            m_out += "{\\colortbl;";
            for (const RGB &c : m_colors)
                m_out += "\\red" + QByteArray::number(c.r) + "\\green" + QByteArray::number(c.g) +
                         "\\blue" + QByteArray::number(c.b) + ';';
            m_out += "}\n";
        }

        const QString &text = string.string();
        qsizetype start = range.location;
        const qsizetype end = range.end();
        while (start < end) {
            qsizetype stop = text.indexOf(QLatin1Char('\n'), start);
            if (stop < 0 || stop >= end)
                stop = end;
            writeParagraphStyle(string.attribute(NSParagraphStyleAttributeName, start));
            qsizetype index = start;
            while (index < stop) {
                AttributedString::Range run;
                const TextAttributes attributes = string.attributesAtIndex(index, &run);
                const qsizetype runEnd = std::min(run.end(), stop);
                writeCharState(stateOf(attributes));
                appendText(text.mid(index, runEnd - index));
                index = runEnd;
            }
            if (stop < end) {
                // The line break keeps its own attributes too.
                writeCharState(stateOf(string.attributesAtIndex(stop)));
                m_out += "\\par\n";
                m_pendingDelimiter = false;
            }
            start = stop + 1;
        }
        m_out += "}";
        return m_out;
    }

private:
    void collectTables(const AttributedString &string, AttributedString::Range range)
    {
        for (qsizetype run = 0; run < string.runCount(); ++run) {
            const AttributedString::Range r = string.runRange(run);
            if (r.end() <= range.location || r.location >= range.end())
                continue;
            const TextAttributes &attributes = string.runAttributes(run);
            const Font font = attributes.value(NSFontAttributeName).value<Font>();
            if (!font.isNull() && !m_fonts.contains(font.fontName()))
                m_fonts.append(font.fontName());
            for (const QString &key :
                 {NSForegroundColorAttributeName, NSBackgroundColorAttributeName}) {
                const QVariant value = attributes.value(key);
                if (value.canConvert<Color>()) {
                    const RGB rgb = rgbOf(value.value<Color>());
                    if (!m_colors.contains(rgb))
                        m_colors.append(rgb);
                }
            }
        }
    }

    CharState stateOf(const TextAttributes &attributes) const
    {
        CharState state;
        const Font font = attributes.value(NSFontAttributeName).value<Font>();
        if (!font.isNull()) {
            state.font = int(m_fonts.indexOf(font.fontName()));
            const double half = std::round(font.pointSize() * 2.0);
            state.halfPoints = std::isfinite(half) ? int(std::clamp(half, 1.0, 3276.0)) : 24;
            traitsOfFont(font.fontName(), &state.bold, &state.italic);
        }
        state.underline = attributes.value(NSUnderlineStyleAttributeName).toInt();
        state.strike = attributes.value(NSStrikethroughStyleAttributeName).toInt() != 0;
        const QVariant fg = attributes.value(NSForegroundColorAttributeName);
        if (fg.canConvert<Color>())
            state.foreground = int(m_colors.indexOf(rgbOf(fg.value<Color>()))) + 1;
        const QVariant bg = attributes.value(NSBackgroundColorAttributeName);
        if (bg.canConvert<Color>())
            state.background = int(m_colors.indexOf(rgbOf(bg.value<Color>()))) + 1;
        return state;
    }

    void word(const QByteArray &controlWord)
    {
        m_out += controlWord;
        m_pendingDelimiter = true;
    }

    void writeCharState(const CharState &state)
    {
        CharState &now = m_char;
        if (state.font < 0 && now.font >= 0) {
            word("\\plain");
            now = CharState();
        }
        if (state.font >= 0 && state.font != now.font)
            word("\\f" + QByteArray::number(state.font));
        if (state.font >= 0 && state.halfPoints != now.halfPoints)
            word("\\fs" + QByteArray::number(state.halfPoints));
        if (state.bold != now.bold)
            word(state.bold ? "\\b" : "\\b0");
        if (state.italic != now.italic)
            word(state.italic ? "\\i" : "\\i0");
        if (state.underline != now.underline) {
            switch (state.underline) {
            case 0:
                word("\\ulnone");
                break;
            case 2:
                word("\\ulth");
                break;
            case 9:
                word("\\uldb");
                break;
            default:
                word("\\ul");
                break;
            }
        }
        if (state.strike != now.strike)
            word(state.strike ? "\\strike" : "\\strike0");
        if (state.foreground != now.foreground)
            word("\\cf" + QByteArray::number(state.foreground));
        if (state.background != now.background)
            word("\\cb" + QByteArray::number(state.background));
        now = state;
    }

    void writeParagraphStyle(const QVariant &value)
    {
        const ParagraphStyle style =
            value.canConvert<ParagraphStyle>() ? value.value<ParagraphStyle>() : ParagraphStyle();
        if (m_paragraphWritten && style == m_paragraph)
            return;
        m_paragraph = style;
        if (!m_paragraphWritten && style == ParagraphStyle()) {
            m_paragraphWritten = true;
            return;
        }
        m_paragraphWritten = true;
        word("\\pard");
        switch (style.alignment) {
        case LeftTextAlignment:
            word("\\ql");
            break;
        case RightTextAlignment:
            word("\\qr");
            break;
        case CenterTextAlignment:
            word("\\qc");
            break;
        case JustifiedTextAlignment:
            word("\\qj");
            break;
        default:
            break;
        }
        if (const int li = twips(style.headIndent))
            word("\\li" + QByteArray::number(li));
        if (const int fi = twips(style.firstLineHeadIndent - style.headIndent))
            word("\\fi" + QByteArray::number(fi));
        if (style.tailIndent < 0)
            word("\\ri" + QByteArray::number(twips(-style.tailIndent)));
        if (const int sb = twips(style.paragraphSpacingBefore))
            word("\\sb" + QByteArray::number(sb));
        if (const int sa = twips(style.paragraphSpacing))
            word("\\sa" + QByteArray::number(sa));
        if (style.tabStops != ParagraphStyle::defaultTabStops()) {
            for (const TextTab &tab : style.tabStops) {
                switch (tab.alignment()) {
                case RightTextAlignment:
                    word("\\tqr");
                    break;
                case CenterTextAlignment:
                    word("\\tqc");
                    break;
                case JustifiedTextAlignment:
                    word("\\tqdec");
                    break;
                default:
                    break;
                }
                word("\\tx" + QByteArray::number(twips(tab.location())));
            }
        }
    }

    // Names in the font table take no control words: tabs go as bytes.
    void appendText(const QString &text, bool inTable = false)
    {
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u == '\\' || u == '{' || u == '}') {
                m_out += '\\';
                m_out += char(u);
                m_pendingDelimiter = false;
                continue;
            }
            if (u == '\t' && !inTable) {
                m_out += "\\tab";
                m_pendingDelimiter = true;
                continue;
            }
            if (u == 0x2028 && !inTable) {
                m_out += "\\line";
                m_pendingDelimiter = true;
                continue;
            }
            if (u < 0x20 || u >= 0x7f) {
                if (u < 0x20) {
                    static const char hex[] = "0123456789abcdef";
                    m_out += "\\'";
                    m_out += hex[u >> 4];
                    m_out += hex[u & 15];
                    m_pendingDelimiter = false;
                } else {
                    // Signed 16 bits, as RTF numbers are; a pair stays a pair.
                    m_out += "\\u" + QByteArray::number(int(qint16(u)));
                    m_pendingDelimiter = true;
                }
                continue;
            }
            if (m_pendingDelimiter)
                m_out += ' ';
            m_pendingDelimiter = false;
            m_out += char(u);
        }
    }

    QByteArray m_out;
    QStringList m_fonts;
    QList<RGB> m_colors;
    CharState m_char;
    ParagraphStyle m_paragraph;
    bool m_paragraphWritten = false;
    bool m_pendingDelimiter = false;
};

// --- reading ---

enum class Destination { Text, Skip, FontTable, ColorTable, FieldInstruction };

struct ParagraphState
{
    ParagraphStyle style;
    bool tabsSet = false;
    int pendingTabType = LeftTextAlignment;
};

struct GroupState
{
    Destination destination = Destination::Text;
    CharState chr;
    bool fontSet = false;
    bool sizeSet = false;
    ParagraphState paragraph;
    int unicodeSkip = 1;
    int field = -1; // the field whose instruction or result is being read
    bool fieldResult = false;
};

// What a HYPERLINK field instruction points at: its first argument that is
// not a switch, quoted or not; "\l" makes it an anchor in the document.
QVariant linkFromFieldInstruction(const QString &instruction)
{
    QStringView rest = QStringView(instruction).trimmed();
    if (!rest.startsWith(u"HYPERLINK", Qt::CaseInsensitive))
        return QVariant();
    rest = rest.mid(9).trimmed();
    // The next argument, quoted or up to white space; a switch keeps its "\".
    const auto take = [&rest]() {
        QStringView argument;
        if (rest.front() == u'"') {
            const qsizetype close = rest.indexOf(u'"', 1);
            argument = close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
            rest = close < 0 ? QStringView() : rest.mid(close + 1);
        } else {
            qsizetype end = 0;
            while (end < rest.size() && !rest.at(end).isSpace())
                ++end;
            argument = rest.left(end);
            rest = rest.mid(end);
        }
        rest = rest.trimmed();
        return argument;
    };
    bool anchor = false;
    while (!rest.isEmpty()) {
        const bool quoted = rest.front() == u'"';
        const QStringView argument = take();
        if (!quoted && argument.startsWith(u'\\')) {
            const QChar letter = argument.size() == 2 ? argument.at(1).toLower() : QChar();
            if (letter == u'l')
                anchor = true;
            else if ((letter == u'o' || letter == u't') && !rest.isEmpty())
                take(); // a tip or a target frame, not where the link goes
            continue;
        }
        if (argument.isEmpty())
            continue;
        const QString target = anchor ? u'#' + argument.toString() : argument.toString();
        const QUrl url(target, QUrl::StrictMode);
        return url.isValid() ? QVariant(url) : QVariant(target);
    }
    return QVariant();
}

class Reader
{
public:
    explicit Reader(const QByteArray &data) : m_data(data) {}

    std::optional<AttributedString> read(QString *error)
    {
        qsizetype start = 0;
        while (start < m_data.size() && std::isspace(static_cast<unsigned char>(m_data[start])))
            ++start;
        if (!m_data.mid(start, 5).startsWith("{\\rtf")) {
            if (error)
                *error = QStringLiteral("The data is not rich text (RTF).");
            return std::nullopt;
        }
        m_pos = start;
        std::vector<GroupState> stack;
        GroupState state;
        while (m_pos < m_data.size()) {
            const char c = m_data[m_pos++];
            if (c == '{') {
                m_skipPending = 0;
                if (int(stack.size()) >= maximumGroupDepth) {
                    if (error)
                        *error = QStringLiteral("The rich text nests groups more than %1 deep.")
                                     .arg(maximumGroupDepth);
                    return std::nullopt;
                }
                stack.push_back(state);
                continue;
            }
            if (c == '}') {
                m_skipPending = 0;
                if (state.destination == Destination::FontTable)
                    finishFontEntry();
                if (stack.size() <= 1)
                    break; // the document's group is closed
                state = stack.back();
                stack.pop_back();
                continue;
            }
            if (c == '\\') {
                readControl(state);
                continue;
            }
            if (c == '\r' || c == '\n')
                continue;
            character(state, fromCp1252(static_cast<unsigned char>(c)));
        }
        finishParagraph(state, false);
        return build();
    }

private:
    void readControl(GroupState &state)
    {
        if (m_pos >= m_data.size())
            return;
        const char c = m_data[m_pos];
        if (std::isalpha(static_cast<unsigned char>(c))) {
            const qsizetype begin = m_pos;
            while (m_pos < m_data.size() && m_pos - begin < 32 &&
                   std::isalpha(static_cast<unsigned char>(m_data[m_pos])))
                ++m_pos;
            const QByteArray name = m_data.mid(begin, m_pos - begin);
            bool hasParameter = false;
            bool negative = false;
            long long parameter = 0;
            if (m_pos < m_data.size() && m_data[m_pos] == '-') {
                negative = true;
                ++m_pos;
            }
            int digits = 0;
            bool tooLong = false;
            while (m_pos < m_data.size() &&
                   std::isdigit(static_cast<unsigned char>(m_data[m_pos]))) {
                if (digits++ < 10)
                    parameter = parameter * 10 + (m_data[m_pos] - '0');
                else
                    tooLong = true;
                hasParameter = true;
                ++m_pos;
            }
            if (m_pos < m_data.size() && m_data[m_pos] == ' ')
                ++m_pos;
            if (negative)
                parameter = -parameter;
            // \u names a 16-bit unit, signed or not; anything else, and the two
            // units that are no character, come in as the replacement character.
            if (name == "u" && (tooLong || parameter < -32768 || parameter > 65535 ||
                                (parameter & 0xFFFF) >= 0xFFFE))
                parameter = 0xFFFD;
            parameter = std::clamp(parameter, -2147483647LL, 2147483647LL);
            controlWord(state, name, hasParameter, int(parameter));
            return;
        }
        ++m_pos;
        switch (c) {
        case '\'': {
            int value = 0;
            for (int i = 0; i < 2 && m_pos < m_data.size(); ++i, ++m_pos) {
                const int digit = QByteArray(1, m_data[m_pos]).toInt(nullptr, 16);
                if (!std::isxdigit(static_cast<unsigned char>(m_data[m_pos])))
                    break;
                value = value * 16 + digit;
            }
            character(state, fromCp1252(static_cast<unsigned char>(value)));
            break;
        }
        case '*':
            state.destination = Destination::Skip;
            break;
        case '\r':
        case '\n':
            controlWord(state, "par", false, 0);
            break;
        case '\\':
        case '{':
        case '}':
            character(state, QLatin1Char(c));
            break;
        case '~':
            character(state, QChar(0x00A0));
            break;
        case '_':
            character(state, QChar(0x2011));
            break;
        default:
            break; // optional hyphens, index marks
        }
    }

    void controlWord(GroupState &state, const QByteArray &name, bool hasParameter, int parameter)
    {
        if (name == "u") {
            const char16_t unit = char16_t(parameter < 0 ? parameter + 65536 : parameter);
            // The second half of a pair written without a fallback between
            // the halves is the character's, not the fallback of the first.
            const bool pairsWithLast = QChar::isLowSurrogate(unit) && m_lastWasHighSurrogate;
            if (m_skipPending > 0 && !pairsWithLast) {
                --m_skipPending;
                return;
            }
            m_skipPending = 0;
            character(state, QChar(unit), false);
            m_lastWasHighSurrogate = QChar::isHighSurrogate(unit);
            m_skipPending = state.unicodeSkip;
            return;
        }
        if (m_skipPending > 0) {
            --m_skipPending;
            return;
        }
        static const QHash<QByteArray, char16_t> specials = {
            {"tab", u'\t'},        {"cell", u'\t'},       {"line", 0x2028},    {"emdash", 0x2014},
            {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002},
            {"page", 0x000C}};
        static const QList<QByteArray> skipped = {"stylesheet",
                                                  "info",
                                                  "pict",
                                                  "header",
                                                  "headerl",
                                                  "headerr",
                                                  "headerf",
                                                  "footer",
                                                  "footerl",
                                                  "footerr",
                                                  "footerf",
                                                  "footnote",
                                                  "object",
                                                  "xmlnstbl",
                                                  "listtable",
                                                  "listoverridetable",
                                                  "revtbl",
                                                  "rsidtbl",
                                                  "generator",
                                                  "themedata",
                                                  "colorschememapping",
                                                  "latentstyles",
                                                  "datastore",
                                                  "pntext",
                                                  "pntxta",
                                                  "pntxtb",
                                                  "filetbl",
                                                  "private",
                                                  "userprops",
                                                  "nonshppict",
                                                  "annotation",
                                                  "atnid",
                                                  "atnauthor",
                                                  "falt",
                                                  "panose",
                                                  "bkmkstart",
                                                  "bkmkend",
                                                  "xe",
                                                  "tc",
                                                  "template",
                                                  "operator",
                                                  "title",
                                                  "subject",
                                                  "author",
                                                  "keywords",
                                                  "comment",
                                                  "doccomm"};

        if (name == "fldinst") {
            // Read even when marked ignorable: a link lives there.
            if (state.field >= 0 && state.destination != Destination::FontTable &&
                state.destination != Destination::ColorTable) {
                state.destination = Destination::FieldInstruction;
                state.fieldResult = false;
            } else {
                state.destination = Destination::Skip;
            }
            return;
        }
        if (name == "fonttbl") {
            state.destination = Destination::FontTable;
            return;
        }
        if (name == "colortbl") {
            state.destination = Destination::ColorTable;
            m_colorSet = false;
            return;
        }
        if (skipped.contains(name)) {
            state.destination = Destination::Skip;
            return;
        }
        if (state.destination == Destination::Skip ||
            state.destination == Destination::FieldInstruction)
            return;
        if (name == "field") {
            if (m_fields.size() < 100000) {
                m_fields.push_back(QString());
                m_fieldLinks.push_back(QVariant());
                state.field = int(m_fields.size()) - 1;
                state.fieldResult = false;
            }
            return;
        }
        if (name == "fldrslt") {
            state.fieldResult = true;
            if (state.field >= 0)
                m_fieldLinks[state.field] = linkFromFieldInstruction(m_fields[state.field]);
            return;
        }
        if (state.destination == Destination::FontTable) {
            if (name == "f") {
                finishFontEntry();
                m_fontEntry = parameter;
            }
            return;
        }
        if (state.destination == Destination::ColorTable) {
            const int v = std::clamp(parameter, 0, 255);
            if (name == "red")
                m_color.r = v, m_colorSet = true;
            else if (name == "green")
                m_color.g = v, m_colorSet = true;
            else if (name == "blue")
                m_color.b = v, m_colorSet = true;
            return;
        }

        const bool on = !hasParameter || parameter != 0;
        CharState &chr = state.chr;
        ParagraphState &para = state.paragraph;
        if (auto it = specials.find(name); it != specials.end()) {
            character(state, QChar(it.value()));
        } else if (name == "par" || name == "sect" || name == "row") {
            character(state, QLatin1Char('\n'));
            finishParagraph(state, true);
        } else if (name == "uc") {
            state.unicodeSkip = std::clamp(parameter, 0, 16);
        } else if (name == "deff") {
            m_defaultFont = parameter;
        } else if (name == "plain") {
            chr = CharState();
            state.fontSet = state.sizeSet = false;
        } else if (name == "f") {
            chr.font = parameter;
            state.fontSet = true;
        } else if (name == "fs") {
            chr.halfPoints = hasParameter && parameter > 0 ? std::min(parameter, 3276) : 24;
            state.sizeSet = true;
        } else if (name == "b") {
            chr.bold = on;
        } else if (name == "i") {
            chr.italic = on;
        } else if (name == "ul" || name == "ulw" || name == "uld" || name == "uldash" ||
                   name == "uldashd" || name == "uldashdd" || name == "ulwave" ||
                   name == "ulhwave" || name == "ulldash") {
            chr.underline = on ? 1 : 0;
        } else if (name == "ulth" || name == "ulthd" || name == "ulthdash") {
            chr.underline = on ? 2 : 0;
        } else if (name == "uldb") {
            chr.underline = on ? 9 : 0;
        } else if (name == "ulnone") {
            chr.underline = 0;
        } else if (name == "strike" || name == "striked") {
            chr.strike = on;
        } else if (name == "cf") {
            chr.foreground = std::max(parameter, 0);
        } else if (name == "cb" || name == "highlight" || name == "chcbpat") {
            chr.background = std::max(parameter, 0);
        } else if (name == "pard") {
            para = ParagraphState();
        } else if (name == "ql") {
            para.style.alignment = LeftTextAlignment;
        } else if (name == "qr") {
            para.style.alignment = RightTextAlignment;
        } else if (name == "qc") {
            para.style.alignment = CenterTextAlignment;
        } else if (name == "qj") {
            para.style.alignment = JustifiedTextAlignment;
        } else if (name == "li") {
            const double shift = para.style.firstLineHeadIndent - para.style.headIndent;
            para.style.headIndent = parameter / 20.0;
            para.style.firstLineHeadIndent = para.style.headIndent + shift;
        } else if (name == "fi") {
            para.style.firstLineHeadIndent = para.style.headIndent + parameter / 20.0;
        } else if (name == "ri") {
            para.style.tailIndent = -parameter / 20.0;
        } else if (name == "sb") {
            para.style.paragraphSpacingBefore = parameter / 20.0;
        } else if (name == "sa") {
            para.style.paragraphSpacing = parameter / 20.0;
        } else if (name == "tqr") {
            para.pendingTabType = RightTextAlignment;
        } else if (name == "tqc") {
            para.pendingTabType = CenterTextAlignment;
        } else if (name == "tqdec") {
            para.pendingTabType = JustifiedTextAlignment;
        } else if (name == "tx") {
            if (!para.tabsSet)
                para.style.tabStops.clear();
            para.tabsSet = true;
            if (para.style.tabStops.size() < 1000)
                para.style.tabStops.append(TextTab(para.pendingTabType, parameter / 20.0));
            para.pendingTabType = LeftTextAlignment;
        }
    }

    void character(GroupState &state, QChar c, bool countsForSkip = true)
    {
        if (countsForSkip) {
            m_lastWasHighSurrogate = false;
            if (m_skipPending > 0) {
                --m_skipPending;
                return;
            }
        }
        switch (state.destination) {
        case Destination::Skip:
            return;
        case Destination::FieldInstruction:
            if (state.field >= 0 && m_fields[state.field].size() < 4096)
                m_fields[state.field] += c;
            return;
        case Destination::FontTable:
            if (c == QLatin1Char(';'))
                finishFontEntry();
            else if (m_fontEntry >= 0 && m_fontName.size() < 1000)
                m_fontName += c;
            return;
        case Destination::ColorTable:
            if (c == QLatin1Char(';')) {
                m_colors.append(m_colorSet ? std::optional<RGB>(m_color) : std::nullopt);
                m_color = {0, 0, 0};
                m_colorSet = false;
            }
            return;
        case Destination::Text:
            break;
        }
        const TextAttributes attributes = attributesOf(state);
        if (m_runs.empty() || m_runs.back().second != attributes)
            m_runs.emplace_back(m_text.size(), attributes);
        m_text += c;
    }

    void finishFontEntry()
    {
        if (m_fontEntry >= 0) {
            const QString name = m_fontName.trimmed();
            if (!name.isEmpty())
                m_fonts.insert(m_fontEntry, name);
        }
        m_fontEntry = -1;
        m_fontName.clear();
    }

    TextAttributes attributesOf(const GroupState &state)
    {
        const CharState &chr = state.chr;
        TextAttributes attributes;
        if (state.fontSet || state.sizeSet || chr.bold || chr.italic) {
            const QString table =
                m_fonts.value(state.fontSet ? chr.font : m_defaultFont, kDefaultFontName);
            const QString key = table + QChar(u'\x1f') + QChar(chr.bold ? u'b' : u'-') +
                                QChar(chr.italic ? u'i' : u'-');
            auto it = m_resolved.find(key);
            if (it == m_resolved.end())
                it = m_resolved.insert(key, resolveFontName(table, chr.bold, chr.italic));
            attributes.insert(NSFontAttributeName,
                              QVariant::fromValue(Font(it.value(), chr.halfPoints / 2.0)));
        }
        if (chr.underline)
            attributes.insert(NSUnderlineStyleAttributeName, chr.underline);
        if (chr.strike)
            attributes.insert(NSStrikethroughStyleAttributeName, 1);
        if (const auto color = colorAt(chr.foreground))
            attributes.insert(NSForegroundColorAttributeName, QVariant::fromValue(*color));
        if (const auto color = colorAt(chr.background))
            attributes.insert(NSBackgroundColorAttributeName, QVariant::fromValue(*color));
        if (state.fieldResult && state.field >= 0 && m_fieldLinks[state.field].isValid())
            attributes.insert(NSLinkAttributeName, m_fieldLinks[state.field]);
        return attributes;
    }

    std::optional<Color> colorAt(int index) const
    {
        if (index <= 0 || index >= m_colors.size() || !m_colors[index])
            return std::nullopt;
        const RGB &c = *m_colors[index];
        return Color::colorWithCalibratedRed(c.r / 255.0, c.g / 255.0, c.b / 255.0);
    }

    // Paragraph settings hold for the whole paragraph, wherever they were given.
    void finishParagraph(const GroupState &state, bool ended)
    {
        if (m_text.size() > m_paragraphStart && state.paragraph.style != ParagraphStyle())
            m_paragraphs.push_back({m_paragraphStart, m_text.size(), state.paragraph.style});
        if (ended)
            m_paragraphStart = m_text.size();
    }

    // One pass over the character runs and the paragraphs, in text order:
    // setting each paragraph's style on a text already cut into runs would
    // split runs in the middle of the list, once per paragraph.
    AttributedString build()
    {
        // A half of a surrogate pair without its other half is not text.
        for (qsizetype i = 0; i < m_text.size(); ++i) {
            const QChar c = m_text.at(i);
            if (c.isHighSurrogate() && i + 1 < m_text.size() && m_text.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                m_text[i] = QChar::ReplacementCharacter;
        }
        AttributedString result;
        const qsizetype size = m_text.size();
        size_t run = 0;
        size_t paragraph = 0;
        for (qsizetype at = 0; at < size;) {
            while (run + 1 < m_runs.size() && m_runs[run + 1].first <= at)
                ++run;
            qsizetype end = run + 1 < m_runs.size() ? m_runs[run + 1].first : size;
            TextAttributes attributes = run < m_runs.size() ? m_runs[run].second : TextAttributes();
            while (paragraph < m_paragraphs.size() && m_paragraphs[paragraph].end <= at)
                ++paragraph;
            if (paragraph < m_paragraphs.size()) {
                const Paragraph &p = m_paragraphs[paragraph];
                if (p.start <= at) {
                    attributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(p.style));
                    end = std::min(end, p.end);
                } else {
                    end = std::min(end, p.start);
                }
            }
            result.appendAttributedString(AttributedString(m_text.mid(at, end - at), attributes));
            at = end;
        }
        return result;
    }

    struct Paragraph
    {
        qsizetype start;
        qsizetype end;
        ParagraphStyle style;
    };

    const QByteArray &m_data;
    qsizetype m_pos = 0;
    int m_skipPending = 0;
    bool m_lastWasHighSurrogate = false;
    std::vector<QString> m_fields; // each field's instruction
    std::vector<QVariant> m_fieldLinks;
    QString m_text;
    std::vector<std::pair<qsizetype, TextAttributes>> m_runs;
    std::vector<Paragraph> m_paragraphs;
    qsizetype m_paragraphStart = 0;
    QHash<int, QString> m_fonts;
    int m_fontEntry = -1;
    QString m_fontName;
    int m_defaultFont = 0;
    QList<std::optional<RGB>> m_colors;
    RGB m_color{0, 0, 0};
    bool m_colorSet = false;
    QHash<QString, QString> m_resolved;
};

} // namespace

QByteArray rtfFromAttributedString(const AttributedString &string)
{
    return rtfFromRange(string, {0, string.length()});
}

QByteArray rtfFromRange(const AttributedString &string, AttributedString::Range range)
{
    range.location = std::clamp<qsizetype>(range.location, 0, string.length());
    range.length = std::clamp<qsizetype>(range.length, 0, string.length() - range.location);
    return Writer().write(string, range);
}

std::optional<AttributedString> attributedStringFromRTF(const QByteArray &data, QString *error)
{
    return Reader(data).read(error);
}

} // namespace RichTextFormat
