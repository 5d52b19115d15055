#include "canvas/TWFindSearch.h"

#include "platform/SpellChecker.h"
#include "support/Font.h"

namespace TWFind {

QList<Range> rangesOfString(const QString &text, const QString &find, Qt::CaseSensitivity cs)
{
    QList<Range> ranges;
    if (find.isEmpty())
        return ranges;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype at = text.indexOf(find, from, cs);
        if (at < 0)
            break;
        ranges.append({at, find.size()});
        from = at + find.size();
    }
    return ranges;
}

QList<Range> rangesOfMisspelledWords(const QString &text, const SpellChecker &checker,
                                     int documentTag)
{
    QList<Range> ranges;
    for (const SpellChecker::Range &r : checker.misspelledRanges(text, documentTag))
        ranges.append({r.location, r.length});
    return ranges;
}

const QString &whitespaceAndNewlineCharacters()
{
    static const QString set = QStringLiteral(" \t\n\r\v\f") + QChar(0x85) + QChar(0xA0) +
                               QChar(0x1680) + QChar(0x2028) + QChar(0x2029) + QChar(0x202F) +
                               QChar(0x205F) + QChar(0x3000) + [] {
                                   QString spaces;
                                   for (char16_t c = 0x2000; c <= 0x200A; ++c)
                                       spaces += QChar(c);
                                   return spaces;
                               }();
    return set;
}

QString replaceAllOccurrencesOfCharactersInSet(QString text, const QString &set,
                                               const QString &with)
{
    qsizetype i = 0;
    while (i < text.size()) {
        if (set.contains(text.at(i))) {
            text.replace(i, 1, with);
            i += with.size();
        } else {
            ++i;
        }
    }
    return text;
}

qsizetype previewContextLength(qsizetype length)
{
    return length >= 30 ? 0 : (30 - length) / 2;
}

QString previewContextFontName()
{
    return QStringLiteral("LucidaGrande");
}

QString previewHitFontName()
{
    return QStringLiteral("LucidaGrande-Bold");
}

AttributedString previewStringForRange(const QString &text, Range range)
{
    const QString flat =
        replaceAllOccurrencesOfCharactersInSet(text, whitespaceAndNewlineCharacters(), " ");
    const qsizetype location = std::clamp<qsizetype>(range.location, 0, flat.size());
    const qsizetype length = std::clamp<qsizetype>(range.length, 0, flat.size() - location);
    const qsizetype h = previewContextLength(length);
    const QString ellipsis = QStringLiteral("...");

    QString before;
    if (location - h >= 1)
        before = ellipsis + flat.mid(location - h, h);
    else
        before = flat.left(location);
    QString after;
    const qsizetype end = location + length;
    if (end + h < flat.size())
        after = flat.mid(end, h) + ellipsis;
    else
        after = flat.mid(end);

    const TextAttributes context{
        {NSFontAttributeName,
         QVariant::fromValue(Font(previewContextFontName(), PreviewContextSize))}};
    const TextAttributes hit{
        {NSFontAttributeName, QVariant::fromValue(Font(previewHitFontName(), PreviewHitSize))}};
    AttributedString preview(before, context);
    preview.appendAttributedString(AttributedString(flat.mid(location, length), hit));
    preview.appendAttributedString(AttributedString(after, context));
    return preview;
}

} // namespace TWFind
