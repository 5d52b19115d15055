// Notes keep the lines of their lists and tables, and the presentational
// bold, italic and underline of other programs' XHTML.
#include "MindManagerImpExp/NSAttributedString-XHTML.h"

#include "MMTestSupport.h"
#include "support/FontRegistry.h"

#include <gtest/gtest.h>

using namespace XHTML;

namespace {

AttributedString read(const QString &body)
{
    const XMLTree tree =
        XMLTree::initWithString("<html xmlns=\"http://www.w3.org/1999/xhtml\">" + body + "</html>");
    EXPECT_FALSE(tree.isNull()) << body.toStdString();
    return attributedStringWithXHTML(tree, {});
}

FontRegistry::Traits traitsAt(const AttributedString &s, qsizetype i)
{
    const Font font = s.attributesAtIndex(i).value(NSFontAttributeName).value<Font>();
    return font.isNull() ? FontRegistry::NoTrait : FontRegistry::shared().traits(font.fontName());
}

} // namespace

TEST(XHTMLStructure, ListItemsRowsAndCellsGetLinesAndTabs)
{
    const struct
    {
        const char *what;
        QString body, text;
    } cases[] = {
        {"list items without white space between them",
         "<ul><li>one</li><li>two</li><li>three</li></ul>", "one\ntwo\nthree\n"},
        {"list items laid out over lines", "<ol>\n  <li>one</li>\n  <li>two</li>\n</ol>",
         "one\ntwo\n"},
        {"a list inside a paragraph's text", "<p>Before</p><ul><li>a</li></ul><p>after</p>",
         "Before\na\nafter\n"},
        {"table rows and cells",
         "<table><tr><th>Name</th><th>Size</th></tr><tr><td>a</td><td>1</td></tr></table>",
         "Name\tSize\na\t1\n"},
        {"a table laid out over lines, with a body",
         "<table>\n<tbody>\n<tr>\n<td>x</td>\n<td>y</td>\n<td>z</td>\n</tr>\n</tbody>\n</table>",
         "x\ty\tz\n"},
        {"an empty cell keeps its place", "<table><tr><td></td><td>b</td></tr></table>", "\tb\n"},
        {"a paragraph in a cell", "<table><tr><td><p>p</p></td><td>q</td></tr></table>",
         "p\n\tq\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(read(c.body).string().toStdString(), c.text.toStdString()) << c.what;
}

TEST(XHTMLStructure, PresentationalElementsReadAsTheirLogicalForms)
{
    const struct
    {
        const char *element;
        FontRegistry::Traits traits;
        int underline;
    } cases[] = {
        {"b", FontRegistry::BoldTrait, 0},   {"strong", FontRegistry::BoldTrait, 0},
        {"i", FontRegistry::ItalicTrait, 0}, {"em", FontRegistry::ItalicTrait, 0},
        {"u", FontRegistry::NoTrait, 1},     {"B", FontRegistry::BoldTrait, 0},
    };
    for (const auto &c : cases) {
        const QString element = QString::fromLatin1(c.element);
        const AttributedString s =
            read("<p>plain <" + element + ">marked</" + element + "> plain</p>");
        ASSERT_EQ(s.string(), QStringLiteral("plain marked plain\n")) << c.element;
        const FontRegistry::Traits both = FontRegistry::BoldTrait | FontRegistry::ItalicTrait;
        EXPECT_EQ(traitsAt(s, 7) & both, c.traits) << c.element;
        EXPECT_EQ(traitsAt(s, 0) & both, FontRegistry::NoTrait) << c.element;
        EXPECT_EQ(s.attributesAtIndex(7).value(NSUnderlineStyleAttributeName).toInt(), c.underline)
            << c.element;
        EXPECT_EQ(s.attributesAtIndex(15).value(NSUnderlineStyleAttributeName).toInt(), 0)
            << c.element;
    }
}
