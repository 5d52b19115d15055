#include "TestHelpers.h"
#include "support/FontRegistry.h"
#include "support/TWWinFont.h"

#include <QFontInfo>
#include <algorithm>
#include <cmath>

using namespace XMLTest;

namespace {

using R = FontRegistry;

const FontRegistry &reg()
{
    return FontRegistry::shared();
}

TEST(FontRegistry, KnowsInstalledFontsByExactPostScriptName)
{
    const std::tuple<const char *, const char *, R::Traits> cases[] = {
        {"LiberationSans", "Liberation Sans", R::NoTrait},
        {"LiberationSans-BoldItalic", "Liberation Sans", R::BoldTrait | R::ItalicTrait},
        {"LiberationMono-Bold", "Liberation Mono", R::BoldTrait | R::FixedPitchTrait},
        {"DejaVuSans-Oblique", "DejaVu Sans", R::ItalicTrait},
        {"liberationsans", "", R::NoTrait}, // not installed
        {"Helvetica-Bold", "", R::NoTrait},
        {"", "", R::NoTrait}};
    for (const auto &[name, family, traits] : cases) {
        EXPECT_EQ(reg().isInstalled(name), *family != 0) << name;
        EXPECT_EQ(reg().familyName(name).value_or(""), family);
        EXPECT_EQ(Font(name, 10).familyName(), family);
        EXPECT_EQ(reg().traits(name), traits) << name;
    }
    for (const QStringList *list : {&reg().availableFonts(), &reg().availableFontFamilies()}) {
        EXPECT_TRUE(std::is_sorted(list->begin(), list->end()));
        EXPECT_EQ(std::adjacent_find(list->begin(), list->end()), list->end());
    }
    EXPECT_EQ(reg().availableMembersOfFontFamily("Liberation Sans"),
              QStringList({"LiberationSans", "LiberationSans-Bold", "LiberationSans-Italic",
                           "LiberationSans-BoldItalic"}));
    EXPECT_TRUE(reg().availableMembersOfFontFamily("No Such Family").isEmpty());
}

TEST(FontRegistry, ConvertsTraitsToTheNearestFaceOfTheFamily)
{
    const std::tuple<const char *, R::Trait, bool, const char *> cases[] = {
        {"LiberationSans", R::BoldTrait, true, "LiberationSans-Bold"},
        {"LiberationSans", R::ItalicTrait, true, "LiberationSans-Italic"},
        {"LiberationSans-BoldItalic", R::BoldTrait, false, "LiberationSans-Italic"},
        {"LiberationSans-BoldItalic", R::ItalicTrait, false, "LiberationSans-Bold"},
        {"LiberationSans-BoldItalic", R::BoldTrait, true, "LiberationSans-BoldItalic"},
        {"Helvetica", R::BoldTrait, true, "Helvetica"}};
    for (const auto &[from, trait, have, to] : cases)
        EXPECT_EQ(have ? reg().convertFontToHaveTrait(Font(from, 9), trait)
                       : reg().convertFontToNotHaveTrait(Font(from, 9), trait),
                  Font(to, 9))
            << from;

    using Face = FontRegistry::Face;
    const FontRegistry r({Face{"Fam-Regular", "Fam", "Regular", 80, 0, 100, false, "a"},
                          Face{"Fam-Light", "Fam", "Light", 50, 0, 100, false, "b"},
                          Face{"Fam-Black", "Fam", "Black", 210, 0, 100, false, "c"},
                          Face{"Fam-Bold", "Fam", "Bold", 200, 0, 100, false, "d"},
                          Face{"Fam-CondBold", "Fam", "Condensed Bold", 200, 0, 75, false, "e"},
                          Face{"Fam-LightItalic", "Fam", "Light Italic", 50, 100, 100, false, "f"},
                          Face{"Fam-Oblique", "Fam", "Oblique", 80, 110, 100, false, "g"},
                          Face{"Fam-Italic", "Fam", "Italic", 80, 100, 100, false, "h"},
                          Face{"Fam-Bold", "Fam", "Bold duplicate", 200, 0, 100, false, "z"},
                          Face{"Fam-Heavy", "Other", "Heavy", 200, 0, 100, false, "i"}});
    EXPECT_EQ(r.availableFonts().count("Fam-Bold"), 1);
    EXPECT_EQ(r.availableMembersOfFontFamily("Fam"),
              QStringList({"Fam-Light", "Fam-Regular", "Fam-CondBold", "Fam-Bold", "Fam-Black",
                           "Fam-LightItalic", "Fam-Italic", "Fam-Oblique"}));
    EXPECT_EQ(r.availableMembersOfFontFamily("Other"), QStringList({"Fam-Heavy"}));
    EXPECT_EQ(r.face("Fam-Bold")->style, "Bold"); // the later duplicate is dropped
    const auto have = [&](const char *name, R::Trait t) {
        return r.convertFontToHaveTrait(Font(name, 1), t).fontName();
    };
    EXPECT_EQ(have("Fam-Regular", R::BoldTrait), "Fam-Bold");
    EXPECT_EQ(have("Fam-Light", R::ItalicTrait), "Fam-LightItalic");
    EXPECT_EQ(have("Fam-Regular", R::ItalicTrait), "Fam-Italic");
    EXPECT_EQ(have("Fam-CondBold", R::ItalicTrait), "Fam-CondBold");
    EXPECT_EQ(r.convertFontToNotHaveTrait(Font("Fam-Black", 1), R::BoldTrait).fontName(),
              "Fam-Regular");
}

TEST(FontRegistry, DrawsWithTheOwnFaceOrAMetricSubstitute)
{
    const std::tuple<const char *, const char *, bool, bool> cases[] = {
        {"LiberationSerif-BoldItalic", "Liberation Serif", true, true},
        {"Helvetica", "Liberation Sans", false, false},
        {"Helvetica-BoldOblique", "Liberation Sans", true, true},
        {"Arial-BoldMT", "Liberation Sans", true, false},
        {"Times-Roman", "Liberation Serif", false, false},
        {"Courier", "Liberation Mono", false, false},
        {"TimesNewRomanPS-ItalicMT", "Liberation Serif", false, true},
        {"CourierNewPS-BoldMT", "Liberation Mono", true, false},
        {"Zapfino", "DejaVu Sans", false, false},
        {"", "DejaVu Sans", false, false}};
    for (const auto &[name, family, bold, italic] : cases) {
        const QFont q = Font(name, 13.5).toQFont();
        const QFontInfo info(q);
        EXPECT_EQ(std::tuple(info.family(), info.bold(), info.italic(), q.pointSizeF()),
                  std::tuple(QString(family), bold, italic, 13.5))
            << name;
    }
    // Nonsense sizes do not reach QFont.
    for (double size : {0.0, -4.0, std::nan("")})
        EXPECT_GT(Font("LiberationSans", size).toQFont().pointSizeF(), 0) << size;
    EXPECT_LE(Font("LiberationSans", 1e30).toQFont().pointSizeF(), 10000);
}

TEST(FontXML, BothRoutesWriteNameThenSizeAndTheSnippetEscapes)
{
    const char *expected =
        "<NSFont><fontName>Helvetica-Bold</fontName><size>12.500000</size></NSFont>";
    EXPECT_EQ(compact(Font("Helvetica-Bold", 12.5).freshXMLElement()), expected);
    EXPECT_EQ(written(Font("Helvetica-Bold", 12.5)), expected);
    const Font odd("Odd & <Name>", 9);
    EXPECT_EQ(Font::fontFromXMLRepresentation(odd.xmlRepresentation()), odd);
    for (const char *junk : {"", "no xml at all", "<XMLObj/>"})
        EXPECT_FALSE(Font::fontFromXMLRepresentation(junk)) << junk;
}

// Fonts missing here are kept by name. A missing size is ten points on the
// libxml2 route and no font on the element route.
TEST(FontXML, Readers)
{
    const std::optional<Font> none;
    const std::tuple<const char *, std::optional<Font>, std::optional<Font>> cases[] = {
        {"<NSFont><fontName>LucidaGrande</fontName><size>13</size></NSFont>",
         Font("LucidaGrande", 13), Font("LucidaGrande", 13)},
        {"<NSFont><fontName> Spaced </fontName><size>-2</size></NSFont>", Font(" Spaced ", -2),
         Font(" Spaced ", -2)},
        {"<NSFont><fontName>LiberationSans</fontName></NSFont>", Font("LiberationSans", 10), none},
        {"<NSFont><fontName>LiberationSans</fontName><size>0</size></NSFont>",
         Font("LiberationSans", 0), none},
        {"<NSFont><size>12</size></NSFont>", none, none},
        {"<NSFont><fontName/><size>12</size></NSFont>", none, none},
        {"<NSFont/>", none, none}};
    for (const auto &[xml, libxml2Route, elementRoute] : cases) {
        EXPECT_EQ(readFrom(xml, &Font::fontWithXMLNode), libxml2Route) << xml;
        EXPECT_EQ(Font::objectWithXMLElement(element(xml)), elementRoute) << xml;
    }
    EXPECT_EQ(readFrom("", &Font::fontWithXMLNode), none);
    EXPECT_EQ(Font::objectWithXMLElement(XMLElement()), none);
    EXPECT_FALSE(Font("LucidaGrande", 13).isInstalled());
    EXPECT_NE(Font("LucidaGrande", 13), Font("LucidaGrande", 13.5));
    EXPECT_NE(Font("LucidaGrande", 13), Font("Lucida", 13));
}

TEST(TWWinFontXML, WritesAndReadsNameSizeBoldItalic)
{
    const TWWinFont f("Tahoma", 8.25, false, true);
    EXPECT_EQ(written(f), "<TWWinFont><name>Tahoma</name><size>8.250000</size><bold>NO</bold>"
                          "<italic>YES</italic></TWWinFont>");
    EXPECT_EQ(readFrom(written(f), &TWWinFont::fontWithXMLNode), f);
    EXPECT_EQ(readFrom(written(TWWinFont("A", 1, true, false)), &TWWinFont::fontWithXMLNode),
              TWWinFont("A", 1, true, false));
    const TWWinFont d = readFrom("<TWWinFont/>", &TWWinFont::fontWithXMLNode);
    EXPECT_EQ(d, TWWinFont(QString(), 10, false, false));
    EXPECT_TRUE(d.name().isNull());
    EXPECT_EQ(TWWinFont::fontWithXMLNode(nullptr, nullptr), d);
    // Only the exact text "YES" is true.
    for (const char *text : {"yes", "Yes", " YES", "YES ", "1", "TRUE", ""}) {
        const QString xml = QString("<TWWinFont><bold>%1</bold><italic>%1</italic></TWWinFont>");
        const TWWinFont f = readFrom(xml.arg(text), &TWWinFont::fontWithXMLNode);
        EXPECT_FALSE(f.bold() || f.italic()) << text;
    }
}

} // namespace
