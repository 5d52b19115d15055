#include "interface/AttributedStringExtensions.h"

#include "support/Font.h"

#include <optional>

namespace AttributedStringExtensions {

namespace {

std::optional<Font> runFont(const AttributedString &text, qsizetype run)
{
    const QVariant value = text.runAttributes(run).value(NSFontAttributeName);
    if (!value.canConvert<Font>())
        return std::nullopt;
    const Font font = value.value<Font>();
    if (font.isNull())
        return std::nullopt;
    return font;
}

} // namespace

double minimumFontSize(const AttributedString &text)
{
    double minimum = -1.0;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        if (const std::optional<Font> font = runFont(text, run)) {
            if (minimum < 0 || font->pointSize() < minimum)
                minimum = font->pointSize();
        }
    }
    return minimum;
}

AttributedString attributedStringWithFontSizeIncreasedBy(const AttributedString &text, double delta)
{
    AttributedString result = text;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const std::optional<Font> font = runFont(text, run);
        if (!font)
            continue;
        const double size = font->pointSize() + delta;
        if (size < 1.0)
            return text;
        result.addAttribute(NSFontAttributeName, QVariant::fromValue(font->withSize(size)),
                            text.runRange(run));
    }
    return result;
}

AttributedString attributedStringWithMinimumFontSize(const AttributedString &text, double minimum)
{
    const double smallest = minimumFontSize(text);
    if (smallest > minimum)
        return text;
    return attributedStringWithFontSizeIncreasedBy(text, minimum - smallest);
}

} // namespace AttributedStringExtensions
