#pragma once

#include "support/AttributedString.h"

// Growing or shrinking every font of a rich text at once.
namespace AttributedStringExtensions {

// The smallest point size among the runs that name a font; -1 when none does.
double minimumFontSize(const AttributedString &text);
// Every font run grown by `delta` points. Refused as a whole (the text comes
// back unchanged) when any run would fall below 1 point.
AttributedString attributedStringWithFontSizeIncreasedBy(const AttributedString &text,
                                                         double delta);
// The text unchanged when its smallest font is above `minimum`; otherwise
// every font grown so that the smallest becomes `minimum`.
AttributedString attributedStringWithMinimumFontSize(const AttributedString &text, double minimum);

} // namespace AttributedStringExtensions
