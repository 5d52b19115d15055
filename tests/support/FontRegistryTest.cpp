#include "support/FontRegistry.h"
#include "support/Font.h"

#include <QFontInfo>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const FontRegistry &reg()
{
    return FontRegistry::shared();
}

TEST(FontRegistry, KnowsInstalledFontsByPostScriptName)
{
    EXPECT_TRUE(reg().isInstalled("LiberationSans"));
    EXPECT_TRUE(reg().isInstalled("LiberationSans-BoldItalic"));
    EXPECT_TRUE(reg().isInstalled("DejaVuSans"));
    EXPECT_FALSE(reg().isInstalled("Helvetica"));
    EXPECT_FALSE(reg().isInstalled("liberationsans")); // names are exact
    EXPECT_FALSE(reg().isInstalled(""));

    EXPECT_EQ(reg().familyName("LiberationSerif-Bold"), QString("Liberation Serif"));
    EXPECT_EQ(reg().familyName("Helvetica"), std::nullopt);
    EXPECT_EQ(Font("LiberationMono", 10).familyName(), "Liberation Mono");
    EXPECT_EQ(Font("Zapfino", 10).familyName(), "");
}

TEST(FontRegistry, ListsNamesAndFamiliesSortedAndOnce)
{
    const QStringList &names = reg().availableFonts();
    ASSERT_FALSE(names.isEmpty());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_TRUE(names.contains("LiberationSans-Bold"));

    const QStringList &families = reg().availableFontFamilies();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_EQ(std::adjacent_find(families.begin(), families.end()), families.end());
    EXPECT_TRUE(families.contains("Liberation Serif"));

    EXPECT_EQ(reg().availableMembersOfFontFamily("Liberation Sans"),
              QStringList({"LiberationSans", "LiberationSans-Bold", "LiberationSans-Italic",
                           "LiberationSans-BoldItalic"}));
    EXPECT_TRUE(reg().availableMembersOfFontFamily("No Such Family").isEmpty());
}

TEST(FontRegistry, ReportsTraits)
{
    EXPECT_EQ(reg().traits("LiberationSans"), FontRegistry::NoTrait);
    EXPECT_EQ(reg().traits("LiberationSans-BoldItalic"),
              FontRegistry::BoldTrait | FontRegistry::ItalicTrait);
    EXPECT_EQ(reg().traits("LiberationMono-Bold"),
              FontRegistry::BoldTrait | FontRegistry::FixedPitchTrait);
    EXPECT_EQ(reg().traits("DejaVuSans-Oblique"), FontRegistry::ItalicTrait);
    EXPECT_EQ(reg().traits("Helvetica-Bold"), FontRegistry::NoTrait); // unknown here
}

TEST(FontRegistry, ConvertsBoldAndItalicWithinTheFamily)
{
    const Font regular("LiberationSans", 12);
    EXPECT_EQ(reg().convertFontToHaveTrait(regular, FontRegistry::BoldTrait),
              Font("LiberationSans-Bold", 12));
    EXPECT_EQ(reg().convertFontToHaveTrait(regular, FontRegistry::ItalicTrait),
              Font("LiberationSans-Italic", 12));
    const Font boldItalic("LiberationSans-BoldItalic", 9);
    EXPECT_EQ(reg().convertFontToNotHaveTrait(boldItalic, FontRegistry::BoldTrait),
              Font("LiberationSans-Italic", 9));
    EXPECT_EQ(reg().convertFontToNotHaveTrait(boldItalic, FontRegistry::ItalicTrait),
              Font("LiberationSans-Bold", 9));
    // Already there, or nothing to convert to: unchanged.
    EXPECT_EQ(reg().convertFontToHaveTrait(boldItalic, FontRegistry::BoldTrait), boldItalic);
    EXPECT_EQ(reg().convertFontToHaveTrait(Font("Helvetica", 12), FontRegistry::BoldTrait),
              Font("Helvetica", 12));
}

TEST(FontRegistry, ConversionPrefersTheNearestFace)
{
    using Face = FontRegistry::Face;
    FontRegistry r({
        Face{"Fam-Regular", "Fam", "Regular", 80, 0, 100, false, "a"},
        Face{"Fam-Light", "Fam", "Light", 50, 0, 100, false, "b"},
        Face{"Fam-Black", "Fam", "Black", 210, 0, 100, false, "c"},
        Face{"Fam-Bold", "Fam", "Bold", 200, 0, 100, false, "d"},
        Face{"Fam-CondBold", "Fam", "Condensed Bold", 200, 0, 75, false, "e"},
        Face{"Fam-LightItalic", "Fam", "Light Italic", 50, 100, 100, false, "f"},
        Face{"Fam-Oblique", "Fam", "Oblique", 80, 110, 100, false, "g"},
        Face{"Fam-Italic", "Fam", "Italic", 80, 100, 100, false, "h"},
        Face{"Fam-Bold", "Fam", "Bold duplicate", 200, 0, 100, false, "z"},
    });
    EXPECT_EQ(r.availableFonts().count("Fam-Bold"), 1);
    EXPECT_EQ(r.face("Fam-Bold")->style, "Bold"); // the duplicate from the later file is dropped
    EXPECT_EQ(r.convertFontToHaveTrait(Font("Fam-Regular", 1), FontRegistry::BoldTrait).fontName(),
              "Fam-Bold");
    EXPECT_EQ(r.convertFontToHaveTrait(Font("Fam-Light", 1), FontRegistry::ItalicTrait).fontName(),
              "Fam-LightItalic");
    EXPECT_EQ(
        r.convertFontToHaveTrait(Font("Fam-Regular", 1), FontRegistry::ItalicTrait).fontName(),
        "Fam-Italic");
    EXPECT_EQ(r.convertFontToNotHaveTrait(Font("Fam-Black", 1), FontRegistry::BoldTrait).fontName(),
              "Fam-Regular");
    EXPECT_EQ(
        r.convertFontToHaveTrait(Font("Fam-CondBold", 1), FontRegistry::ItalicTrait).fontName(),
        "Fam-CondBold"); // no bold italic at all
}

TEST(FontRegistry, DrawsInstalledFontsWithTheirOwnFace)
{
    const QFont q = Font("LiberationSerif-BoldItalic", 13.5).toQFont();
    EXPECT_EQ(q.pointSizeF(), 13.5);
    const QFontInfo info(q);
    EXPECT_EQ(info.family(), "Liberation Serif");
    EXPECT_TRUE(info.bold());
    EXPECT_TRUE(info.italic());
}

TEST(FontRegistry, DrawsMissingFontsWithSubstitutes)
{
    struct Case
    {
        const char *name;
        const char *family;
        bool bold;
        bool italic;
    };
    const Case cases[] = {
        {"Helvetica", "Liberation Sans", false, false},
        {"Helvetica-BoldOblique", "Liberation Sans", true, true},
        {"ArialMT", "Liberation Sans", false, false},
        {"Arial-BoldMT", "Liberation Sans", true, false},
        {"Times-Roman", "Liberation Serif", false, false},
        {"TimesNewRomanPS-ItalicMT", "Liberation Serif", false, true},
        {"Courier", "Liberation Mono", false, false},
        {"CourierNewPS-BoldMT", "Liberation Mono", true, false},
        {"Zapfino", "DejaVu Sans", false, false},
        {"", "DejaVu Sans", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QFont q = Font(c.name, 11).toQFont();
        const QFontInfo info(q);
        EXPECT_EQ(info.family(), c.family);
        EXPECT_EQ(info.bold(), c.bold);
        EXPECT_EQ(info.italic(), c.italic);
        EXPECT_EQ(q.pointSizeF(), 11);
    }
}

TEST(FontRegistry, NonsenseSizesDoNotReachQFont)
{
    const QFont zero = Font("Helvetica", 0).toQFont();
    EXPECT_GT(zero.pointSizeF(), 0);
    const QFont negative = Font("LiberationSans", -4).toQFont();
    EXPECT_GT(negative.pointSizeF(), 0);
    const QFont nan = Font("LiberationSans", std::nan("")).toQFont();
    EXPECT_GT(nan.pointSizeF(), 0);
    EXPECT_LE(Font("LiberationSans", 1e30).toQFont().pointSizeF(), 10000);
}

TEST(Font, KeepsNameAndSizeWhetherInstalledOrNot)
{
    const Font missing("HelveticaNeue-Light", 14);
    EXPECT_FALSE(missing.isNull());
    EXPECT_FALSE(missing.isInstalled());
    EXPECT_EQ(missing.fontName(), "HelveticaNeue-Light");
    EXPECT_EQ(missing.pointSize(), 14);
    EXPECT_TRUE(Font("LiberationSans", 14).isInstalled());
    EXPECT_TRUE(Font().isNull());
    EXPECT_EQ(missing.withSize(9), Font("HelveticaNeue-Light", 9));
    EXPECT_NE(missing, Font("HelveticaNeue-Light", 14.5));
    EXPECT_NE(missing, Font("HelveticaNeue", 14));
}

} // namespace
