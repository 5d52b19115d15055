#include "MindManagerImpExp/MMXMLCharacters.h"

#include <cstring>

namespace MMXMLCharacters {

namespace {

// U+FDD0 + c, three bytes.
void appendControl(QByteArray &out, unsigned c)
{
    out.append(char(0xEF));
    out.append(char(0xB7));
    out.append(char(0x90 + c));
}

// U+1FFFE or U+1FFFF for U+FFFE or U+FFFF.
void appendHigh(QByteArray &out, unsigned codePoint)
{
    out.append(char(0xF0));
    out.append(char(0x9F));
    out.append(char(0xBF));
    out.append(char(codePoint == 0xFFFE ? 0xBE : 0xBF));
}

bool isStandIn(const unsigned char *p, qsizetype left)
{
    if (left >= 3 && p[0] == 0xEF && p[1] == 0xB7 && p[2] >= 0x90 && p[2] <= 0xAF)
        return true;
    return left >= 4 && p[0] == 0xF0 && p[1] == 0x9F && p[2] == 0xBF &&
           (p[3] == 0xBE || p[3] == 0xBF);
}

// A character reference at p ("&#16;", "&#x10;"): its value and length.
bool characterReference(const char *p, qsizetype left, unsigned &value, qsizetype &length)
{
    if (left < 4 || p[0] != '&' || p[1] != '#')
        return false;
    qsizetype i = 2;
    const bool hex = p[i] == 'x';
    if (hex)
        ++i;
    const qsizetype digitsAt = i;
    unsigned long long v = 0;
    // Leading zeros say nothing ("&#x00000000000010;" is "&#x10;"); a value
    // past the last character stops the count before it can overflow.
    for (; i < left && i < 256; ++i) {
        const char c = p[i];
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            break;
        if (v <= 0x10FFFF)
            v = v * (hex ? 16 : 10) + unsigned(d);
    }
    if (i == digitsAt || i >= left || p[i] != ';' || v > 0x10FFFF)
        return false;
    value = unsigned(v);
    length = i + 1;
    return true;
}

enum class Kind { Allowed, Control, High, Never };

Kind kindOf(unsigned codePoint)
{
    if (codePoint == 0 || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return Kind::Never;
    if (codePoint < 0x20 && codePoint != 0x9 && codePoint != 0xA && codePoint != 0xD)
        return Kind::Control;
    if (codePoint == 0xFFFE || codePoint == 0xFFFF)
        return Kind::High;
    return Kind::Allowed;
}

} // namespace

Rewritten rewrite(const QByteArray &xml)
{
    const char *p = xml.constData();
    const qsizetype n = xml.size();
    bool clash = false;
    for (qsizetype i = 0; i < n && !clash; ++i)
        clash = isStandIn(reinterpret_cast<const unsigned char *>(p + i), n - i);
    Rewritten result;
    QByteArray &out = result.xml;
    out.reserve(n + n / 16);
    const auto put = [&](Kind kind, unsigned codePoint) {
        if (kind == Kind::Never || clash) {
            ++result.leftOut;
        } else {
            ++result.kept;
            if (kind == Kind::Control)
                appendControl(out, codePoint);
            else
                appendHigh(out, codePoint);
        }
    };
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        unsigned value = 0;
        qsizetype length = 0;
        if (c == '&' && characterReference(p + i, n - i, value, length)) {
            // A character beyond the basic plane written as the two halves
            // of its UTF-16 form: the character itself.
            unsigned low = 0;
            qsizetype lowLength = 0;
            if (value >= 0xD800 && value <= 0xDBFF &&
                characterReference(p + i + length, n - i - length, low, lowLength) &&
                low >= 0xDC00 && low <= 0xDFFF) {
                const unsigned codePoint = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
                out.append(char(0xF0 | (codePoint >> 18)));
                out.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
                out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
                out.append(char(0x80 | (codePoint & 0x3F)));
                i += length + lowLength;
                ++result.joined;
                continue;
            }
            const Kind kind = kindOf(value);
            if (kind == Kind::Allowed)
                out.append(p + i, length);
            else
                put(kind, value);
            i += length;
        } else if (c < 0x20 && kindOf(c) != Kind::Allowed) {
            put(kindOf(c), c);
            ++i;
        } else if (c == 0xEF && i + 2 < n && static_cast<unsigned char>(p[i + 1]) == 0xBF &&
                   (static_cast<unsigned char>(p[i + 2]) == 0xBE ||
                    static_cast<unsigned char>(p[i + 2]) == 0xBF)) {
            put(Kind::High, static_cast<unsigned char>(p[i + 2]) == 0xBE ? 0xFFFE : 0xFFFF);
            i += 3;
        } else {
            out.append(char(c));
            ++i;
        }
    }
    return result;
}

bool restore(const char *text, size_t length, std::string &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    size_t i = 0;
    while (i < length && !isStandIn(p + i, qsizetype(length - i)))
        ++i;
    if (i == length)
        return false;
    out.assign(text, i);
    while (i < length) {
        const qsizetype left = qsizetype(length - i);
        if (isStandIn(p + i, left) && p[i] == 0xEF) {
            out += char(p[i + 2] - 0x90);
            i += 3;
        } else if (isStandIn(p + i, left)) {
            out += "\xEF\xBF";
            out += char(p[i + 3]);
            i += 4;
        } else {
            out += char(p[i]);
            ++i;
        }
    }
    return true;
}

QString notice(const QString &fileName, int kept, int leftOut)
{
    const int forbidden = kept + leftOut;
    QString sentence =
        QStringLiteral("“%1” holds %2 that XML does not allow")
            .arg(fileName, forbidden == 1 ? QStringLiteral("1 character")
                                          : QStringLiteral("%1 characters").arg(forbidden));
    if (leftOut == 0)
        sentence += forbidden == 1 ? QStringLiteral("; it was read as it stands.")
                                   : QStringLiteral("; they were read as they stand.");
    else if (kept == 0)
        sentence += forbidden == 1 ? QStringLiteral("; it was left out.")
                                   : QStringLiteral("; they were left out.");
    else
        sentence += QStringLiteral("; %1 read as they stand, %2 left out.").arg(kept).arg(leftOut);
    return sentence;
}

} // namespace MMXMLCharacters
