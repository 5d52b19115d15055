#include "support/NSString+XHTML.h"

#include "support/Base64.h"
#include "support/TWExtensions.h"

namespace XHTML {

QString stringByEscapingXML(const QString &string)
{
    QString out;
    out.reserve(string.size());
    for (const QChar c : string) {
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'\'':
            out += QLatin1String("&apos;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString stringByUnescapingXML(const QString &string)
{
    QString s = Replace::replaceAll(string, QStringLiteral("&lt;"), QStringLiteral("<"));
    s = Replace::replaceAll(s, QStringLiteral("&gt;"), QStringLiteral(">"));
    s = Replace::replaceAll(s, QStringLiteral("&quot;"), QStringLiteral("\""));
    s = Replace::replaceAll(s, QStringLiteral("&apos;"), QStringLiteral("'"));
    return Replace::replaceAll(s, QStringLiteral("&amp;"), QStringLiteral("&"));
}

QString stringByReplacingRange(const QString &string, qsizetype location, qsizetype length,
                               const QString &with)
{
    location = std::clamp<qsizetype>(location, 0, string.size());
    length = std::clamp<qsizetype>(length, 0, string.size() - location);
    return string.left(location) + with + string.mid(location + length);
}

QString stringByTrimmingWhitespace(const QString &string)
{
    // Written in place: every text of every imported note passes here.
    QString out(string.size(), Qt::Uninitialized);
    QChar *to = out.data();
    bool inRun = false;
    for (const QChar c : string) {
        if (c.isSpace()) {
            if (!inRun)
                *to++ = QLatin1Char(' ');
            inRun = true;
        } else {
            *to++ = c;
            inRun = false;
        }
    }
    out.truncate(to - out.constData());
    return out;
}

QStringList componentsSeparatedByCharSet(const QString &string,
                                         const std::function<bool(QChar)> &inSet)
{
    QStringList pieces;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= string.size(); ++i) {
        const bool separator = i == string.size() || inSet(string.at(i));
        if (separator && start >= 0) {
            pieces.append(string.mid(start, i - start));
            start = -1;
        } else if (!separator && start < 0) {
            start = i;
        }
    }
    return pieces;
}

QStringList componentsSeparatedByWhitespace(const QString &string)
{
    return componentsSeparatedByCharSet(
        string, [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; });
}

QStringList lines(const QString &string)
{
    QStringList result;
    qsizetype start = 0;
    const qsizetype n = string.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = string.at(i).unicode();
        if (c != u'\n' && c != u'\r' && c != 0x2028 && c != 0x2029)
            continue;
        result.append(string.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && string.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        result.append(string.mid(start));
    return result;
}

} // namespace XHTML

namespace XMLExtension {

QByteArray dataValue(const QString &string)
{
    return string.toUtf8();
}

std::optional<QByteArray> dataWithBase64String(const QString &string)
{
    return TWBase64::dataWithTWBase64String(string);
}

QString base64String(const QByteArray &data)
{
    return TWBase64::twBase64String(data);
}

} // namespace XMLExtension
