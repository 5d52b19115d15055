#pragma once

#include "support/AttributedString.h"

#include <QByteArray>
#include <QString>
#include <optional>

// RTF of attributed strings: the one writer and reader of the program (export,
// clipboard, outliner notes). Carried: fonts (by name) and sizes, bold and
// italic, underline, strikethrough, text and background colours, and per
// paragraph the alignment, indents, spacing and tab stops.
namespace RichTextFormat {

// Groups nested deeper than this are refused: the reader keeps a state per
// open group.
constexpr int maximumGroupDepth = 200;

QByteArray rtfFromAttributedString(const AttributedString &string);
QByteArray rtfFromRange(const AttributedString &string, AttributedString::Range range);

// Nothing, with the reason in `error` when given, for data that is not RTF or
// nests too deeply. Text after the closing brace of the document is ignored;
// a document cut short keeps what was read.
std::optional<AttributedString> attributedStringFromRTF(const QByteArray &data,
                                                        QString *error = nullptr);

} // namespace RichTextFormat
