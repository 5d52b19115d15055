#pragma once

#include "MindManagerImpExp/XMLTree.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// Notes travel in MindManager files as XHTML: html/body with elements that
// carry the text and style attributes that carry fonts, colours and
// alignment. These functions turn such a tree into rich text and back.
namespace XHTML {

// CSS declarations of one style attribute: property name as written and a
// one-element list holding the value, in the order they were written (a
// repeated name keeps its first place and its last value).
using CSSDictionary = QList<std::pair<QString, QStringList>>;

// The user font at its default size, and the plain text colours.
Font defaultFont();
Color textColor();
Color textBackgroundColor();

// --- XHTML in ---
AttributedString attributedStringWithXHTML(const XMLTree &tree,
                                           const TextAttributes &attributes = {});
void appendXHTML(AttributedString &string, const XMLTree &tree,
                 const TextAttributes &attributes = {});
void appendString(AttributedString &string, const QString &text, const TextAttributes &attributes);

void parseCSS(const QString &css, TextAttributes &attributes);
void parseCSS(const QString &css, CSSDictionary &dictionary);
void convertCSS(const CSSDictionary &dictionary, TextAttributes &attributes);
// Keywords, "smaller"/"larger", or a number in pt, pc, mm, cm or %; the old
// size for anything else.
double parseCSSSizSpec(const QString &value, double oldSize);
// One of the sixteen names, "#rgb" or "#rrggbb"; nullopt otherwise.
std::optional<Color> parseCSSColorSpec(const QString &value);

// --- XHTML out ---
// html/body with one span per run; line breaks become br elements.
XMLTree XHTMLRepresentation(const AttributedString &string);
QString XHTMLStringRepresentation(const AttributedString &string);
QString CSSColorSpecFromColor(const Color &color);

} // namespace XHTML
