#include "CFormat.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace CFormat {
namespace {

locale_t cLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Switches the calling thread to the C locale for the life of the guard.
class CLocaleScope
{
public:
    CLocaleScope() : m_previous(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(m_previous); }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
    locale_t m_previous;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' ||
           c == QChar(0xA0) || c.isSpace();
}

qsizetype skipBlanks(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return i;
}

} // namespace

namespace {

QString formatList(const char *fmt, va_list args)
{
    CLocaleScope scope;
    char buffer[128];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    QString result;
    if (n < 0) {
        va_end(copy);
        return result;
    }
    if (size_t(n) < sizeof buffer) {
        result = QString::fromLatin1(buffer, n);
    } else {
        QByteArray big(n + 1, '\0');
        std::vsnprintf(big.data(), big.size(), fmt, copy);
        result = QString::fromLatin1(big.constData(), n);
    }
    va_end(copy);
    return result;
}

QString formatted(const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    QString result = formatList(fmt, args);
    va_end(args);
    return result;
}

} // namespace

QString format(const char *fmt, ...)
{
    // The two forms files hold most numbers in, written without switching
    // locales: the same digits, the same rounding.
    va_list args;
    va_start(args, fmt);
    if (std::strcmp(fmt, "%f") == 0) {
        const double v = va_arg(args, double);
        va_end(args);
        char buffer[400]; // DBL_MAX takes 309 digits, and six after the point
        const auto [end, error] =
            std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 6);
        if (std::isfinite(v) && error == std::errc())
            return QString::fromLatin1(buffer, end - buffer);
        return formatted("%f", v);
    }
    if (std::strcmp(fmt, "%lld") == 0) {
        const long long v = va_arg(args, long long);
        va_end(args);
        char buffer[24];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
        if (error == std::errc())
            return QString::fromLatin1(buffer, end - buffer);
        return formatted("%lld", v);
    }
    QString result = formatList(fmt, args);
    va_end(args);
    return result;
}

QString shortFloat(float v)
{
    if (v == 0.0f)
        return QStringLiteral("0"); // also turns -0 into "0"
    const QString g = format("%g", double(v));
    if (float(doubleValue(g)) == v || !std::isfinite(v))
        return g;
    return format("%.9g", double(v));
}

long long longLongValue(QStringView s)
{
    qsizetype i = skipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    unsigned long long value = 0;
    bool overflow = false;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        const unsigned digit = s[i].unicode() - u'0';
        if (value > (ULLONG_MAX - digit) / 10) {
            overflow = true;
            break;
        }
        value = value * 10 + digit;
    }
    if (negative) {
        if (overflow || value > static_cast<unsigned long long>(LLONG_MAX) + 1)
            return LLONG_MIN;
        return value == static_cast<unsigned long long>(LLONG_MAX) + 1
                   ? LLONG_MIN
                   : -static_cast<long long>(value);
    }
    if (overflow || value > static_cast<unsigned long long>(LLONG_MAX))
        return LLONG_MAX;
    return static_cast<long long>(value);
}

int intValue(QStringView s)
{
    const long long v = longLongValue(s);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return int(v);
}

double doubleValue(QStringView s)
{
    const qsizetype start = skipBlanks(s);
    // Only ASCII can be part of a number; stop at the first other character.
    // The usual short number needs no allocation.
    char small[64];
    QByteArray large;
    qsizetype length = 0;
    for (qsizetype i = start; i < s.size() && s[i].unicode() < 128; ++i)
        ++length;
    char *ascii = small;
    if (length >= qsizetype(sizeof small)) {
        large.resize(length + 1);
        ascii = large.data();
    }
    for (qsizetype i = 0; i < length; ++i)
        ascii[i] = char(s[start + i].unicode());
    ascii[length] = '\0';
    // The platform read no hex forms: "0x1A" is the number 0 followed by text.
    const qsizetype sign = (length > 0 && (ascii[0] == '+' || ascii[0] == '-')) ? 1 : 0;
    if (length > sign + 1 && ascii[sign] == '0' &&
        (ascii[sign + 1] == 'x' || ascii[sign + 1] == 'X')) {
        length = sign + 1;
        ascii[length] = '\0';
    }
    if (length == 0)
        return 0.0;
    char *end = nullptr;
    errno = 0;
    const double v = strtod_l(ascii, &end, cLocale());
    if (end == ascii)
        return 0.0;
    return v;
}

bool boolValue(QStringView s)
{
    qsizetype i = skipBlanks(s);
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    while (i < s.size() && s[i] == u'0')
        ++i;
    if (i >= s.size())
        return false;
    const QChar c = s[i];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

double asWrittenF(double v)
{
    if (!std::isfinite(v))
        return v;
    // Values that came from "%f" text are their own six-decimal rounding.
    const double scaled = std::nearbyint(v * 1e6);
    if (std::fabs(scaled) < 9e15 && scaled / 1e6 == v)
        return v;
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 6);
    if (error != std::errc())
        return v;
    double back = v;
    std::from_chars(buffer, end, back);
    return back;
}

} // namespace CFormat
