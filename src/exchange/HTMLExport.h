#pragma once

#include "support/AttributedString.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

// Rich text (map text, notes) as HTML: a fragment for a caller that stores
// the pictures itself, or a whole page written with its pictures beside it.
// Sizes are whole points: the value times the percentage over 100, truncated.
// Text and attribute values are escaped, and only links of harmless schemes
// become links, so no text can add markup or script to a page.
namespace HTMLExport {

// "left", "right", "center", "justify"; "" for natural alignment.
QString stringForAlignment(int alignment);
// A style="..." attribute; "" without paragraph style and font.
QString buildStyleForParagraph(const std::optional<ParagraphStyle> &paragraph,
                               const std::optional<Font> &font, int sizePercentage, int indentedBy);
QString buildSpanStringForFont(const Font &font, int sizePercentage);
// A <font> element with the family and a size step; "<font>" for no font.
QString buildFontStringForFont(const std::optional<Font> &font, int sizePercentage);

// Text and attribute values with & < > " as entities.
QString escaped(const QString &text);
// Whether a link may be written as one: web, mail and relative addresses.
bool isSafeLink(const QString &link);

// Appends the text's divisions to `target`; the pictures of its attachments
// go to `images` as PNG under names "<prefix>_img_<n>.png", each name new.
bool exportHTMLFragmentToString(const AttributedString &text, QString &target,
                                QMap<QString, QByteArray> &images, const QString &imagePrefix,
                                int indentedBy);
// Writes the page and its pictures (beside it, named after the prefix);
// false, with nothing of the page written, when a file cannot be written.
// Every size is computed at 100 per cent whatever the percentage given.
bool exportHTMLToPath(const AttributedString &text, const QString &path, const QString &imagePrefix,
                      int sizePercentage);

} // namespace HTMLExport
