#include "support/Base64.h"

#include <array>
#include <cstdint>

Base64Error::Base64Error() : std::runtime_error("Premature end of Base64 string") {}

namespace TWBase64 {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kForeign = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable()
{
    std::array<std::uint8_t, 256> table{};
    for (auto &v : table)
        v = kForeign;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = std::uint8_t(i);
    return table;
}

constexpr std::array<std::uint8_t, 256> kDecode = makeDecodeTable();

} // namespace

QByteArray encode(const QByteArray &data)
{
    const auto *in = reinterpret_cast<const unsigned char *>(data.constData());
    const qsizetype n = data.size();
    QByteArray out((n + 2) / 3 * 4, Qt::Uninitialized);
    char *o = out.data();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned b0 = in[i], b1 = in[i + 1], b2 = in[i + 2];
        *o++ = kAlphabet[b0 >> 2];
        *o++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *o++ = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        *o++ = kAlphabet[b2 & 63];
    }
    if (n - i == 2) {
        const unsigned b0 = in[i], b1 = in[i + 1];
        *o++ = kAlphabet[b0 >> 2];
        *o++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *o++ = kAlphabet[(b1 & 15) << 2];
        *o++ = '=';
    } else if (n - i == 1) {
        const unsigned b0 = in[i];
        *o++ = kAlphabet[b0 >> 2];
        *o++ = kAlphabet[(b0 & 3) << 4];
        *o++ = '=';
        *o++ = '=';
    }
    return out;
}

QString twBase64String(const QByteArray &data)
{
    return QString::fromLatin1(encode(data));
}

QByteArray decode(const QByteArray &ascii)
{
    const auto *s = reinterpret_cast<const unsigned char *>(ascii.constData());
    const qsizetype n = ascii.size();
    QByteArray out(n / 4 * 3 + 3, Qt::Uninitialized);
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    qsizetype i = 0;

    // The next byte that is in the alphabet or "="; -1 at the end.
    auto next = [&]() -> int {
        while (i < n) {
            const unsigned char c = s[i++];
            if (kDecode[c] != kForeign || c == '=')
                return c;
        }
        return -1;
    };

    while (i < n) {
        // Clean groups of four, the common case.
        while (i + 4 <= n) {
            const unsigned a = kDecode[s[i]], b = kDecode[s[i + 1]], c = kDecode[s[i + 2]],
                           d = kDecode[s[i + 3]];
            if ((a | b | c | d) & 0x80) // a foreign byte or "="
                break;
            *o++ = std::uint8_t((a << 2) | (b >> 4));
            *o++ = std::uint8_t((b << 4) | (c >> 2));
            *o++ = std::uint8_t((c << 6) | d);
            i += 4;
        }
        const int c1 = next();
        if (c1 < 0)
            break;
        const int c2 = next();
        const int c3 = c2 < 0 ? -1 : next();
        const int c4 = c3 < 0 ? -1 : next();
        if (c4 < 0)
            throw Base64Error();
        const unsigned a = kDecode[c1], b = kDecode[c2], c = kDecode[c3], d = kDecode[c4];
        // Once a "=" turns up no further byte follows.
        if (c1 == '=' || c2 == '=')
            break;
        *o++ = std::uint8_t((a << 2) | (b >> 4));
        if (c3 == '=')
            break;
        *o++ = std::uint8_t((b << 4) | (c >> 2));
        if (c4 == '=')
            break;
        *o++ = std::uint8_t((c << 6) | d);
    }
    out.truncate(reinterpret_cast<char *>(o) - out.data());
    return out;
}

std::optional<QByteArray> dataWithTWBase64String(const QString &text)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    char16_t bits = 0;
    for (qsizetype i = 0, n = text.size(); i < n; ++i)
        bits |= p[i];
    if (bits & 0xFF80)
        return std::nullopt;
    return decode(text.toLatin1());
}

} // namespace TWBase64
