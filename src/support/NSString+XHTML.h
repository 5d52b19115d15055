#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Text operations the MindManager code and other subsystems use on XML text.
// Each returns a new value and leaves its argument alone.
namespace XHTML {

// The five XML entities: " & ' < > become &quot; &amp; &apos; &lt; &gt;.
QString stringByEscapingXML(const QString &string);
// The reverse, "&amp;" last, so "&amp;lt;" becomes "&lt;". Numeric
// references are left alone. Not for text libxml2 has already decoded.
QString stringByUnescapingXML(const QString &string);
// The characters before the range, the new text, the characters after it.
// The range is clipped to the string.
QString stringByReplacingRange(const QString &string, qsizetype location, qsizetype length,
                               const QString &with);
// Every run of blanks and line breaks becomes one space; runs at either end
// become one space too rather than going.
QString stringByTrimmingWhitespace(const QString &string);
// The maximal runs of characters outside the set, in order; never an empty
// piece.
QStringList componentsSeparatedByCharSet(const QString &string,
                                         const std::function<bool(QChar)> &inSet);
// The same with blanks and tabs as separators (line breaks are not).
QStringList componentsSeparatedByWhitespace(const QString &string);
// Lines without their ends (LF, CR, CR LF, U+2028, U+2029); an end at the
// very end gives no empty last line.
QStringList lines(const QString &string);

} // namespace XHTML

// UTF-8 and Base64 bridges.
namespace XMLExtension {

QByteArray dataValue(const QString &string);
// Throws Base64Error for a cut group; nullopt for text that is not ASCII.
std::optional<QByteArray> dataWithBase64String(const QString &string);
// Standard alphabet, "=" padding, one line.
QString base64String(const QByteArray &data);

} // namespace XMLExtension
