#pragma once

#include "support/TWWinFont.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

#include <libxml/tree.h>

class XMLOut;

// Keys of the text attributes. The values are the strings archives of rich
// text carry, so keys read from older stores need no mapping.
inline const QString NSFontAttributeName = QStringLiteral("NSFont");
inline const QString NSParagraphStyleAttributeName = QStringLiteral("NSParagraphStyle");
inline const QString NSForegroundColorAttributeName = QStringLiteral("NSColor");
inline const QString NSUnderlineStyleAttributeName = QStringLiteral("NSUnderline");
inline const QString NSSuperscriptAttributeName = QStringLiteral("NSSuperScript");
inline const QString NSBackgroundColorAttributeName = QStringLiteral("NSBackgroundColor");
inline const QString NSAttachmentAttributeName = QStringLiteral("NSAttachment");
inline const QString NSLigatureAttributeName = QStringLiteral("NSLigature");
inline const QString NSBaselineOffsetAttributeName = QStringLiteral("NSBaselineOffset");
inline const QString NSKernAttributeName = QStringLiteral("NSKern");
inline const QString NSLinkAttributeName = QStringLiteral("NSLink");
inline const QString NSStrokeWidthAttributeName = QStringLiteral("NSStrokeWidth");
inline const QString NSStrokeColorAttributeName = QStringLiteral("NSStrokeColor");
inline const QString NSUnderlineColorAttributeName = QStringLiteral("NSUnderlineColor");
inline const QString NSStrikethroughStyleAttributeName = QStringLiteral("NSStrikethrough");
inline const QString NSStrikethroughColorAttributeName = QStringLiteral("NSStrikethroughColor");
inline const QString NSShadowAttributeName = QStringLiteral("NSShadow");
inline const QString NSObliquenessAttributeName = QStringLiteral("NSObliqueness");
inline const QString NSExpansionAttributeName = QStringLiteral("NSExpansion");
inline const QString NSCursorAttributeName = QStringLiteral("NSCursor");
inline const QString NSToolTipAttributeName = QStringLiteral("NSToolTip");
inline const QString NSGlyphInfoAttributeName = QStringLiteral("NSGlyphInfo");

// Attribute key -> value. Values are QVariants of value types with operator==,
// so two dictionaries compare by value: Font, TWWinFont, ParagraphStyle, Color,
// Shadow, Cursor, GlyphInfo and TextAttachment; QUrl for links (a QString is
// written as it stands); int or double for the numbers; QString for tool tips.
using TextAttributes = QMap<QString, QVariant>;

// A text with attribute runs. The text is UTF-16, so every index and range is
// in UTF-16 code units. Adjacent runs always differ (runs are merged after
// every change), so a run is the longest range of one attribute dictionary.
// Ranges outside the text are clipped with a warning rather than raising.
class AttributedString
{
public:
    struct Range
    {
        qsizetype location = 0;
        qsizetype length = 0;

        qsizetype end() const { return location + length; }
        friend bool operator==(const Range &, const Range &) = default;
    };

    AttributedString() = default;
    explicit AttributedString(const QString &string, const TextAttributes &attributes = {});

    const QString &string() const { return m_string; }
    qsizetype length() const { return m_string.size(); }
    bool isEmpty() const { return m_string.isEmpty(); }

    // The attributes at index; effectiveRange gets the run they hold over.
    TextAttributes attributesAtIndex(qsizetype index, Range *effectiveRange = nullptr) const;
    // The same, the range limited to rangeLimit.
    TextAttributes attributesAtIndex(qsizetype index, Range *longestEffectiveRange,
                                     Range rangeLimit) const;
    // One attribute's value at index (invalid when absent) and the longest
    // range within rangeLimit over which it is equal (or equally absent).
    QVariant attribute(const QString &key, qsizetype index,
                       Range *longestEffectiveRange = nullptr) const;
    QVariant attribute(const QString &key, qsizetype index, Range *longestEffectiveRange,
                       Range rangeLimit) const;

    void addAttribute(const QString &key, const QVariant &value, Range range);
    void addAttributes(const TextAttributes &attributes, Range range);
    void setAttributes(const TextAttributes &attributes, Range range);
    void removeAttribute(const QString &key, Range range);

    // New characters take the attributes of the first replaced character, or
    // of the character before when nothing is replaced (after, at index 0).
    void replaceCharactersInRange(Range range, const QString &string);
    void replaceCharactersInRange(Range range, const AttributedString &string);
    void deleteCharactersInRange(Range range);
    void insertAttributedString(const AttributedString &string, qsizetype index);
    void appendAttributedString(const AttributedString &string);
    AttributedString attributedSubstringFromRange(Range range) const;

    // A copy without the characters XML cannot carry or that mean nothing in
    // a label: non-characters, unassigned code points, unpaired surrogates and
    // the control and format characters apart from "\r", "\n" and "\t". The
    // remaining characters keep their attributes.
    AttributedString attributedStringByRemovingIllegalCharacters() const;
    static bool isIllegalCharacter(char32_t codePoint);

    // Runs in text order; their ranges tile the whole text.
    qsizetype runCount() const { return qsizetype(m_runs.size()); }
    Range runRange(qsizetype run) const;
    const TextAttributes &runAttributes(qsizetype run) const { return m_runs[run].attributes; }

    // XML, libxml2 route: appends an "NSAttributedString" element to parent.
    // Characters XML cannot hold are listed apart, in "omittedCharacters".
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // Appends to a "formatting" node one child per attribute that has an
    // element form, in the fixed order of the element.
    static void addFormattingAttributes(const TextAttributes &attributes, xmlNodePtr node);
    // Reads the "NSAttributedString" element below node: nothing when it has
    // no "string"; the text as the file has it, omitted ones put back. notes,
    // when given, get "Used Windows Font" for every run naming a Windows font.
    // Bad runs are skipped with a log line.
    static std::optional<AttributedString> initWithXMLNode(xmlNodePtr node, xmlDocPtr document,
                                                           QStringList *notes = nullptr);
    // Element route, bridged through the single-value snippet.
    XMLElement freshXMLElement() const;
    static std::optional<AttributedString> objectWithXMLElement(const XMLElement &element);

    friend bool operator==(const AttributedString &a, const AttributedString &b);
    friend bool operator!=(const AttributedString &a, const AttributedString &b)
    {
        return !(a == b);
    }

private:
    struct Run
    {
        qsizetype start;
        TextAttributes attributes;
        friend bool operator==(const Run &, const Run &) = default;
    };

    qsizetype runIndexAt(qsizetype index) const;
    qsizetype runEnd(qsizetype run) const;
    qsizetype splitAt(qsizetype position);
    void mergeRuns(qsizetype first, qsizetype last);
    bool clip(Range &range, const char *operation) const;
    template <typename Fn> void modifyRange(Range range, const char *operation, Fn &&fn);

    QString m_string;
    std::vector<Run> m_runs; // empty exactly when the text is empty; m_runs[0].start == 0
};

Q_DECLARE_METATYPE(AttributedString)
