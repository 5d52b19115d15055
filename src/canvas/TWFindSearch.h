#pragma once

#include "support/AttributedString.h"

#include <QList>
#include <QString>

class SpellChecker;

// Searching the texts of maps: occurrences of a string, misspelled words and
// the short preview a result list shows of a hit.
namespace TWFind {

using Range = AttributedString::Range;

// Occurrences of `find` in `text`, from the start, each search going on
// right after the previous hit, so hits never overlap. None for an empty
// string.
QList<Range> rangesOfString(const QString &text, const QString &find, Qt::CaseSensitivity cs);

// Misspelled words of `text` in the checker's language, with the words
// ignored under `documentTag` left out.
QList<Range> rangesOfMisspelledWords(const QString &text, const SpellChecker &checker,
                                     int documentTag);

// Every character of `set` replaced by `with`, each replacement skipped by
// the search that goes on after it.
QString replaceAllOccurrencesOfCharactersInSet(QString text, const QString &set,
                                               const QString &with);
// Whitespace and line ends: what a preview shows as spaces.
const QString &whitespaceAndNewlineCharacters();

// How many characters a preview shows each side of a hit of `length`.
qsizetype previewContextLength(qsizetype length);

// About 30 characters around the hit, whitespace shown as spaces, "..."
// where the text goes on; the context in the 12-point system font, the hit
// in its bold 14-point face.
AttributedString previewStringForRange(const QString &text, Range range);

inline constexpr double PreviewContextSize = 12;
inline constexpr double PreviewHitSize = 14;
QString previewContextFontName();
QString previewHitFontName();

} // namespace TWFind
