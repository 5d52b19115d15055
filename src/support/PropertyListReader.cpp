#include "support/PropertyListReader.h"

#include "support/PropertyList.h"

#include <QStringDecoder>
#include <QVariantList>
#include <QVariantMap>

namespace {

// Bytes above 127 of an ASCII property list that is not UTF-8 were written in
// the Mac's own eight-bit encoding.
constexpr char16_t macRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

bool startsWithUtf16Bom(const QByteArray &data)
{
    return data.size() >= 2 && ((uchar(data[0]) == 0xFE && uchar(data[1]) == 0xFF) ||
                                (uchar(data[0]) == 0xFF && uchar(data[1]) == 0xFE));
}

// The text of an ASCII property list: UTF-16 with a byte-order mark, else
// UTF-8 when it is valid UTF-8, else Mac Roman.
QString decodeOpenStepText(const QByteArray &data)
{
    if (startsWithUtf16Bom(data)) {
        QStringDecoder decoder(QStringDecoder::Utf16);
        return decoder(data);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(data);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    text.clear();
    text.reserve(data.size());
    for (const char c : data)
        text.append(uchar(c) < 0x80 ? QChar(uchar(c)) : QChar(macRomanHigh[uchar(c) - 0x80]));
    return text;
}

bool isUnquotedCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u == '/' || u == ':' || u == '.' || u == '-';
}

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class OpenStepParser
{
public:
    OpenStepParser(const QString &text, const PropertyListReader::Limits &limits)
        : m_text(text), m_limits(limits)
    {}

    QString error;

    std::optional<QVariant> parse()
    {
        if (!skipSpace())
            return std::nullopt;
        if (atEnd())
            return fail(QStringLiteral("the text holds no value"));
        std::optional<QVariant> result = value(0);
        if (!result || !skipSpace())
            return std::nullopt;
        if (!atEnd())
            return fail(QStringLiteral("unexpected %1 after the value").arg(shown(peek())));
        return result;
    }

private:
    const QString &m_text;
    const PropertyListReader::Limits &m_limits;
    qsizetype m_pos = 0;
    int m_line = 1;
    qsizetype m_values = 0;

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return m_text.at(m_pos); }
    QChar take()
    {
        const QChar c = m_text.at(m_pos++);
        if (c == QLatin1Char('\n'))
            ++m_line;
        return c;
    }

    // A character for a message: quoted when printable, else its code.
    static QString shown(QChar c)
    {
        if (c.isPrint())
            return QStringLiteral("\"%1\"").arg(c);
        return QStringLiteral("U+%1").arg(QString::number(c.unicode(), 16).toUpper(), 4,
                                          QLatin1Char('0'));
    }

    std::nullopt_t fail(const QString &reason)
    {
        if (error.isEmpty())
            error =
                QStringLiteral("Malformed property list: %1 on line %2").arg(reason).arg(m_line);
        return std::nullopt;
    }

    // Skips white space and comments; false for an unterminated comment.
    bool skipSpace()
    {
        while (!atEnd()) {
            const QChar c = peek();
            if (c.isSpace()) {
                take();
            } else if (c == QLatin1Char('/') && m_pos + 1 < m_text.size() &&
                       m_text.at(m_pos + 1) == QLatin1Char('/')) {
                while (!atEnd() && peek() != QLatin1Char('\n'))
                    take();
            } else if (c == QLatin1Char('/') && m_pos + 1 < m_text.size() &&
                       m_text.at(m_pos + 1) == QLatin1Char('*')) {
                const int startLine = m_line;
                take();
                take();
                for (;;) {
                    if (atEnd()) {
                        m_line = startLine;
                        fail(QStringLiteral("unterminated comment"));
                        return false;
                    }
                    if (take() == QLatin1Char('*') && !atEnd() && peek() == QLatin1Char('/')) {
                        take();
                        break;
                    }
                }
            } else {
                break;
            }
        }
        return true;
    }

    std::optional<QVariant> value(int depth)
    {
        if (depth > m_limits.maxDepth)
            return fail(QStringLiteral("nested deeper than %1 levels").arg(m_limits.maxDepth));
        if (++m_values > m_limits.maxValues)
            return fail(QStringLiteral("more than %1 values").arg(m_limits.maxValues));
        const QChar c = peek();
        if (c == QLatin1Char('{'))
            return dictionary(depth);
        if (c == QLatin1Char('('))
            return array(depth);
        if (c == QLatin1Char('<'))
            return data();
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            return quoted();
        if (isUnquotedCharacter(c))
            return unquoted();
        return fail(QStringLiteral("unexpected %1 where a value is expected").arg(shown(c)));
    }

    std::optional<QVariant> dictionary(int depth)
    {
        take(); // {
        QVariantMap map;
        for (;;) {
            if (!skipSpace())
                return std::nullopt;
            if (atEnd())
                return fail(QStringLiteral("dictionary without its closing \"}\""));
            if (peek() == QLatin1Char('}')) {
                take();
                return QVariant(map);
            }
            const QChar k = peek();
            if (k != QLatin1Char('"') && k != QLatin1Char('\'') && !isUnquotedCharacter(k))
                return fail(QStringLiteral("a dictionary key must be a string"));
            if (++m_values > m_limits.maxValues)
                return fail(QStringLiteral("more than %1 values").arg(m_limits.maxValues));
            std::optional<QVariant> key = isUnquotedCharacter(k) ? unquoted() : quoted();
            if (!key || !skipSpace())
                return std::nullopt;
            if (atEnd() || peek() != QLatin1Char('='))
                return fail(
                    QStringLiteral("missing \"=\" after the key \"%1\"").arg(key->toString()));
            take();
            if (!skipSpace())
                return std::nullopt;
            if (atEnd())
                return fail(
                    QStringLiteral("missing value for the key \"%1\"").arg(key->toString()));
            std::optional<QVariant> item = value(depth + 1);
            if (!item || !skipSpace())
                return std::nullopt;
            if (atEnd() || peek() != QLatin1Char(';'))
                return fail(
                    QStringLiteral("missing \";\" after the value of \"%1\"").arg(key->toString()));
            take();
            map.insert(key->toString(), *item);
        }
    }

    std::optional<QVariant> array(int depth)
    {
        take(); // (
        QVariantList list;
        for (;;) {
            if (!skipSpace())
                return std::nullopt;
            if (atEnd())
                return fail(QStringLiteral("array without its closing \")\""));
            if (peek() == QLatin1Char(')')) {
                take();
                return QVariant(list);
            }
            std::optional<QVariant> item = value(depth + 1);
            if (!item || !skipSpace())
                return std::nullopt;
            list.append(*item);
            if (atEnd())
                return fail(QStringLiteral("array without its closing \")\""));
            if (peek() == QLatin1Char(','))
                take();
            else if (peek() != QLatin1Char(')'))
                return fail(QStringLiteral("missing \",\" between array values"));
        }
    }

    std::optional<QVariant> data()
    {
        take(); // <
        QByteArray bytes;
        int high = -1;
        for (;;) {
            if (atEnd())
                return fail(QStringLiteral("data without its closing \">\""));
            const QChar c = take();
            if (c == QLatin1Char('>'))
                break;
            if (c.isSpace())
                continue;
            const int digit = hexValue(c.unicode());
            if (digit < 0)
                return fail(
                    QStringLiteral("%1 in data, which holds only hex digits").arg(shown(c)));
            if (high < 0) {
                high = digit;
            } else {
                bytes.append(char(high << 4 | digit));
                high = -1;
            }
        }
        if (high >= 0)
            return fail(QStringLiteral("data with an odd number of hex digits"));
        return QVariant(bytes);
    }

    std::optional<QVariant> unquoted()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && isUnquotedCharacter(peek()))
            ++m_pos;
        return QVariant(m_text.mid(start, m_pos - start));
    }

    std::optional<QVariant> quoted()
    {
        const QChar quote = take();
        const int startLine = m_line;
        QString result;
        for (;;) {
            if (atEnd()) {
                m_line = startLine;
                return fail(QStringLiteral("unterminated string"));
            }
            const QChar c = take();
            if (c == quote)
                return QVariant(result);
            if (c != QLatin1Char('\\')) {
                result.append(c);
                continue;
            }
            if (atEnd()) {
                m_line = startLine;
                return fail(QStringLiteral("unterminated string"));
            }
            const QChar e = take();
            switch (e.unicode()) {
            case 'a':
                result.append(QChar(7));
                break;
            case 'b':
                result.append(QChar(8));
                break;
            case 'f':
                result.append(QChar(12));
                break;
            case 'n':
                result.append(QChar(10));
                break;
            case 'r':
                result.append(QChar(13));
                break;
            case 't':
                result.append(QChar(9));
                break;
            case 'v':
                result.append(QChar(11));
                break;
            case 'U': {
                char16_t code = 0;
                int digits = 0;
                while (digits < 4 && !atEnd() && hexValue(peek().unicode()) >= 0) {
                    code = char16_t(code << 4 | hexValue(take().unicode()));
                    ++digits;
                }
                if (digits == 0)
                    return fail(QStringLiteral("\\U without hex digits"));
                result.append(QChar(code));
                break;
            }
            default:
                if (e >= QLatin1Char('0') && e <= QLatin1Char('7')) {
                    int code = e.unicode() - '0';
                    for (int i = 0; i < 2 && !atEnd() && peek() >= QLatin1Char('0') &&
                                    peek() <= QLatin1Char('7');
                         ++i)
                        code = code << 3 | (take().unicode() - '0');
                    // Octal escapes above 127 name NeXT's own encoding; Latin-1
                    // is the nearest we have and keeps the letter readable.
                    result.append(QChar(char16_t(code & 0xFF)));
                } else {
                    result.append(e); // \" \' \\ and a backslash before a newline
                }
            }
        }
    }
};

} // namespace

PropertyListReader::Format PropertyListReader::formatOfData(const QByteArray &data)
{
    if (data.startsWith("bplist"))
        return Format::Binary;
    QString head;
    if (startsWithUtf16Bom(data)) {
        QStringDecoder decoder(QStringDecoder::Utf16);
        head = decoder(data.left(256));
    } else {
        const QByteArray bytes =
            data.startsWith("\xEF\xBB\xBF") ? data.mid(3, 256) : data.left(256);
        head = QString::fromLatin1(bytes);
    }
    if (head.startsWith(QChar(0xFEFF)))
        head.remove(0, 1);
    head = head.trimmed();
    if (head.startsWith(QLatin1String("<?xml")) || head.startsWith(QLatin1String("<!DOCTYPE")) ||
        head.startsWith(QLatin1String("<plist")))
        return Format::XML;
    return Format::OpenStep;
}

std::optional<QVariant> PropertyListReader::propertyListFromData(const QByteArray &data,
                                                                 Format *format,
                                                                 QString *errorDescription,
                                                                 const Limits &limits)
{
    const Format detected = formatOfData(data);
    if (format)
        *format = detected;
    switch (detected) {
    case Format::Binary:
        return readBinary(data, limits, errorDescription);
    case Format::XML:
        return PropertyList::propertyListWithData(data, errorDescription);
    case Format::OpenStep:
        break;
    }
    return readOpenStep(data, limits, errorDescription);
}

std::optional<QVariant> PropertyListReader::readOpenStep(const QByteArray &data,
                                                         const Limits &limits,
                                                         QString *errorDescription)
{
    const QString text = decodeOpenStepText(data);
    OpenStepParser parser(text, limits);
    std::optional<QVariant> result = parser.parse();
    if (!result && errorDescription)
        *errorDescription = parser.error;
    return result;
}
