#include "OutlinerTestSupport.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"
#include "support/TextTab.h"

#include <libxml/parser.h>

using namespace OutlinerTest;

namespace {

// An element parsed from its text, alive as long as the holder.
class Element
{
public:
    explicit Element(const QByteArray &xml)
        : m_doc(xmlReadMemory(xml.constData(), int(xml.size()), nullptr, "UTF-8",
                              XML_PARSE_NOBLANKS | XML_PARSE_NONET))
    {
        EXPECT_NE(m_doc, nullptr) << xml.toStdString();
    }
    ~Element() { xmlFreeDoc(m_doc); }
    xmlNodePtr node() const { return m_doc ? xmlDocGetRootElement(m_doc) : nullptr; }

private:
    xmlDocPtr m_doc;
};

using StylesTest = Fixture;
using Style = TWOmniOutlineImporter::StyleDictionary;

Font fontOf(const TextAttributes &attributes)
{
    return attributes.value(NSFontAttributeName).value<Font>();
}

} // namespace

TEST_F(StylesTest, ColorElementsReadByTheFirstKindPresent)
{
    struct Case
    {
        const char *xml;
        std::optional<Color> color;
        QStringList errors;
    };
    const QString unknown = QStringLiteral("Unrecognized attributes in OO color import: %1");
    const Case cases[] = {
        {"<color r=\"1\"/>", Color::colorWithDeviceRed(1, 0, 0, 1), {}},
        {"<color r=\"0.2\" g=\"0.4\" b=\"0.6\" a=\"0.5\" w=\"1\"/>",
         Color::colorWithDeviceRed(0.2, 0.4, 0.6, 0.5),
         {}},
        {"<color w=\"0.5\" a=\"0\"/>", Color::colorWithDeviceWhite(0.5, 0), {}},
        {"<color c=\"1\" m=\"0\" y=\"0.5\" k=\"0.5\"/>",
         Color::colorWithDeviceRed(0, 0.5, 0.25, 1),
         {}},
        {"<color tiff=\"AAAA\"/>",
         std::nullopt,
         {"Patterned images not currently supported in OmniOutline import",
          unknown.arg("tiff=\"AAAA\"")}},
        {"<color catalog=\"Apple\" name=\"Red\"/>", Color::colorWithDeviceRed(1, 0, 0, 1), {}},
        {"<color catalog=\"Apple\" name=\"Mauve\"/>", std::nullopt, {}},
        {"<color catalog=\"Mine\" name=\"Red\"/>", std::nullopt, {}},
        {"<color hue=\"1\" s=\"2\"/>", std::nullopt, {unknown.arg("hue=\"1\" s=\"2\"")}},
        {"<color/>", std::nullopt, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml);
        TWOmniOutlineImporter reader;
        const Element element(c.xml);
        const std::optional<Color> color = reader.ooColorFromNode(element.node());
        EXPECT_EQ(color.has_value(), c.color.has_value());
        if (color && c.color) {
            EXPECT_EQ(*color, *c.color) << color->description().toStdString();
        }
        EXPECT_EQ(reader.errors(), c.errors);
    }
}

TEST_F(StylesTest, TheRegistryHoldsEachDeclaredDefaultByClass)
{
    struct Case
    {
        const char *xml;
        QVariant value; // invalid: nothing registered
        QStringList errors;
    };
    const Case cases[] = {
        {"<style-attribute key=\"k\" class=\"color\"><color w=\"0\"/></style-attribute>",
         QVariant::fromValue(Color::colorWithDeviceWhite(0)),
         {}},
        {"<style-attribute key=\"k\" class=\"color\"><color/></style-attribute>", QVariant(), {}},
        {"<style-attribute key=\"k\" class=\"string\">Helvetica</style-attribute>",
         QStringLiteral("Helvetica"),
         {}},
        {"<style-attribute key=\"k\" class=\"bool\">no</style-attribute>", false, {}},
        {"<style-attribute key=\"k\" class=\"bool\">maybe</style-attribute>", true, {}},
        {"<style-attribute key=\"k\" class=\"number\">1.5</style-attribute>", 1.5, {}},
        {"<style-attribute key=\"k\" class=\"enum\"><enum-name-table default-value=\"2\">"
         "<enum-name-value name=\"left\" value=\"0\"/><enum-name-value name=\"center\" "
         "value=\"2\"/></enum-name-table></style-attribute>",
         QStringLiteral("center"),
         {}},
        {"<style-attribute key=\"k\" class=\"enum\"><other/></style-attribute>", QVariant(), {}},
        {"<style-attribute key=\"k\" class=\"blob\">x</style-attribute>",
         QVariant(),
         {"Unrecognized class: blob"}},
        {"<style-attribute key=\"k\" class=\"string\"/>", QVariant(), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml);
        TWOmniOutlineImporter reader;
        QVariantMap registry;
        const Element element(c.xml);
        reader.populateStyleAttributeRegistry(registry, element.node());
        EXPECT_EQ(registry.contains("k"), c.value.isValid());
        if (c.value.isValid()) {
            EXPECT_EQ(registry.value("k"), c.value);
        }
        EXPECT_EQ(reader.errors(), c.errors);
    }
}

TEST_F(StylesTest, StyleValuesAreStoredByKey)
{
    struct Case
    {
        const char *xml;
        const char *key;
        QVariant value; // invalid: nothing stored
        QStringList errors;
    };
    const Case cases[] = {
        {"<value key=\"font-fill\"><color r=\"1\"/></value>",
         "font-fill",
         QVariant::fromValue(Color::colorWithDeviceRed(1, 0, 0)),
         {}},
        {"<value key=\"underline-color\"><color/></value>",
         "underline-color",
         QVariant(),
         {"Couldn't read color for font fill"}},
        {"<value key=\"font-italic\">no</value>", "font-italic", false, {}},
        {"<value key=\"font-size\">13.5</value>", "font-size", 13.5, {}},
        {"<value key=\"font-weight\">9</value>", "font-weight", 9, {}},
        {"<value key=\"underline-pattern\">dash dot</value>",
         "underline-pattern",
         QStringLiteral("dash dot"),
         {}},
        {"<value key=\"paragraph-spacing\">6</value>", "paragraph-spacing", 6.0, {}},
        {"<value key=\"paragraph-tab-stops\">36L,72C,x,108Q,144R,180D</value>",
         "paragraph-tab-stops",
         QVariant::fromValue(QList<TextTab>{{LeftTextAlignment, 36},
                                            {CenterTextAlignment, 72},
                                            {RightTextAlignment, 144},
                                            {3, 180}}), // decimal
         {"Tab stop type Q not recognized."}},
        {"<value key=\"kerning-adjust\">1</value>", "kerning-adjust", QVariant(), {}},
        {"<value key=\"item-post-gap(com.example.outliner)\">1</value>",
         "item-post-gap(com.example.outliner)",
         QVariant(),
         {}},
        {"<value key=\"item-post-gapX(com.example.outliner)\">1</value>",
         "item-post-gapX(com.example.outliner)",
         QVariant(),
         {"Unrecognized style attribute: key=\"item-post-gapX(com.example.outliner)\", "
          "Content: 1"}},
        {"<value key=\"font-size\"/>", "font-size", QVariant(), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml);
        TWOmniOutlineImporter reader;
        Style style;
        const Element element(c.xml);
        reader.populateDictionary(style, element.node());
        EXPECT_EQ(style.contains(c.key), c.value.isValid());
        if (c.value.isValid()) {
            EXPECT_EQ(style.value(c.key), c.value);
        }
        EXPECT_EQ(reader.errors(), c.errors);
    }
    // An unreadable colour keeps the one read before.
    TWOmniOutlineImporter reader;
    Style style;
    const Element red("<value key=\"font-fill\"><color r=\"1\"/></value>");
    const Element broken("<value key=\"font-fill\"><color/></value>");
    reader.populateDictionary(style, red.node());
    reader.populateDictionary(style, broken.node());
    EXPECT_EQ(style.value("font-fill").value<Color>(), Color::colorWithDeviceRed(1, 0, 0));
}

TEST_F(StylesTest, NamedStylesInheritFromEarlierStylesAndKeepTheirOwnValues)
{
    TWMapBranch *central = importOutline(
        "<named-styles>"
        "<named-style name=\"Early\"><style><inherited-style name=\"Late\"/>"
        "<value key=\"font-size\">20</value></style></named-style>"
        "<named-style name=\"Late\"><style><value key=\"font-size\">30</value>"
        "<value key=\"font-italic\">yes</value></style></named-style>"
        "<named-style name=\"Child\"><style><inherited-style name=\"Early\"/>"
        "<inherited-style name=\"Late\"/><value key=\"font-size\">40</value></style>"
        "</named-style>"
        "<named-style name=\"Empty\"/>"
        "</named-styles>"
        "<settings><base-style><style><inherited-style name=\"Late\"/>"
        "<inherited-style name=\"Nowhere\"/><value key=\"font-size\">9</value></style>"
        "</base-style></settings>"
        "<root><item><style><inherited-style name=\"Missing\"/></style></item></root>");
    ASSERT_NE(central, nullptr);
    const auto &named = importer.namedStyles();
    EXPECT_EQ(named.value("Early"), (Style{{"font-size", 20.0}}));
    EXPECT_EQ(named.value("Late"), (Style{{"font-size", 30.0}, {"font-italic", true}}));
    EXPECT_EQ(named.value("Child"), (Style{{"font-size", 40.0}, {"font-italic", true}}));
    EXPECT_TRUE(named.contains("Empty"));
    EXPECT_TRUE(named.value("Empty").isEmpty());
    EXPECT_EQ(importer.baseStyle(), (Style{{"font-size", 9.0}, {"font-italic", true}}));
    EXPECT_EQ(importer.errors(), (QStringList{"Error finding inherited style Late",
                                              "Error finding named style Nowhere",
                                              "Error finding named style Missing"}));
}

TEST_F(StylesTest, StylesBecomeTextAttributes)
{
    struct Case
    {
        const char *label;
        Style style;
        const char *fontName;
        double size;
        QVariant underline; // invalid: none
    };
    const Style family{{"font-family", QStringLiteral("DejaVu Sans")}};
    auto with = [&family](Style extra) {
        Style style = family;
        style.insert(extra);
        return style;
    };
    const Case cases[] = {
        {"nothing: the user font", {}, TWPreferences::UserFontName, 12, QVariant()},
        {"family", family, "DejaVuSans", 12, QVariant()},
        {"italic", with({{"font-italic", true}, {"font-size", 20.0}}), "DejaVuSans-Oblique", 20,
         QVariant()},
        {"bold", with({{"font-weight", 9}}), "DejaVuSans-Bold", 12, QVariant()},
        {"between weights ends lighter", with({{"font-weight", 7}}), "DejaVuSans", 12, QVariant()},
        // The weight steps through the user font's family before the family
        // changes; the new family's face nearest in weight is taken.
        {"light", with({{"font-weight", 3}}), "DejaVuSans", 12, QVariant()},
        {"lighter than any face keeps the font", {{"font-weight", 1}}, "Helvetica", 12, QVariant()},
        {"heavier than any face", with({{"font-weight", 14}, {"font-italic", true}}),
         "DejaVuSans-BoldOblique", 12, QVariant()},
        {"pattern alone", {{"underline-pattern", QStringLiteral("dash")}}, "Helvetica", 12, 513},
        {"thick dots",
         {{"underline-style", QStringLiteral("thick")},
          {"underline-pattern", QStringLiteral("dot")}},
         "Helvetica",
         12,
         258},
        {"double", {{"underline-style", QStringLiteral("double")}}, "Helvetica", 12, 9},
        {"unknown words",
         {{"underline-style", QStringLiteral("wavy")}},
         "Helvetica",
         12,
         QVariant()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const TextAttributes attributes =
            TWOmniOutlineImporter::textAttributesFromStyle(c.style, c.style);
        EXPECT_EQ(fontOf(attributes).fontName(), QString::fromLatin1(c.fontName));
        EXPECT_EQ(fontOf(attributes).pointSize(), c.size);
        EXPECT_EQ(attributes.value(NSUnderlineStyleAttributeName), c.underline);
    }
}

TEST_F(StylesTest, ColoursAndParagraphSettingsOfAStyle)
{
    const Style item{
        {"font-fill", QVariant::fromValue(Color::colorWithDeviceRed(0, 0, 1))},
        {"text-background-color", QVariant::fromValue(Color::colorWithDeviceWhite(0.5, 0))},
        {"underline-color", QVariant::fromValue(Color::colorWithDeviceWhite(0.2))},
        {"paragraph-alignment", QStringLiteral("center")},
        {"paragraph-head-indent", 10.0},
        {"paragraph-tail-indent", 0.0},
        {"paragraph-spacing", 4.0},
        {"paragraph-tab-stops", QVariant::fromValue(QList<TextTab>{{LeftTextAlignment, 36}})},
    };
    const TextAttributes attributes = TWOmniOutlineImporter::textAttributesFromStyle(item, item);
    EXPECT_EQ(attributes.value(NSForegroundColorAttributeName).value<Color>(),
              Color::colorWithDeviceRed(0, 0, 1));
    // A transparent background is none.
    EXPECT_FALSE(attributes.contains(NSBackgroundColorAttributeName));
    EXPECT_EQ(attributes.value(NSUnderlineColorAttributeName).value<Color>(),
              Color::colorWithDeviceWhite(0.2));
    ParagraphStyle expected;
    expected.alignment = CenterTextAlignment;
    expected.headIndent = 10;
    expected.paragraphSpacing = 4;
    expected.tabStops = {{LeftTextAlignment, 36}};
    EXPECT_EQ(attributes.value(NSParagraphStyleAttributeName).value<ParagraphStyle>(), expected);

    // A run's own paragraph keys have no effect; its other keys do, and what
    // it leaves alone comes from the item.
    Style run = item;
    run.insert("paragraph-alignment", QStringLiteral("right"));
    run.insert("font-size", 30.0);
    const TextAttributes runAttributes = TWOmniOutlineImporter::textAttributesFromStyle(run, item);
    EXPECT_EQ(runAttributes.value(NSParagraphStyleAttributeName).value<ParagraphStyle>(), expected);
    EXPECT_EQ(fontOf(runAttributes).pointSize(), 30);
    EXPECT_EQ(runAttributes.value(NSForegroundColorAttributeName),
              attributes.value(NSForegroundColorAttributeName));
    // Without paragraph keys: the default style with no head indent.
    EXPECT_EQ(TWOmniOutlineImporter::textAttributesFromStyle({}, {})
                  .value(NSParagraphStyleAttributeName)
                  .value<ParagraphStyle>(),
              ParagraphStyle());
}

TEST_F(StylesTest, ARunStyleChangesOnlyWhatItNames)
{
    TWMapBranch *central = importOutline(
        "<root><item><style><value key=\"font-family\">DejaVu Sans</value>"
        "<value key=\"font-weight\">9</value><value key=\"font-fill\"><color r=\"1\"/></value>"
        "</style><values><text><p><run><lit>plain</lit></run>"
        "<run><style><value key=\"font-size\">18</value></style><lit>big</lit></run></p></text>"
        "<number>2</number></values></item></root>");
    ASSERT_NE(central, nullptr);
    const AttributedString &text = central->children().first()->enclosedTextArea()->text();
    ASSERT_EQ(text.string(), QStringLiteral("plainbig 2"));
    const TextAttributes plain = text.attributesAtIndex(0);
    const TextAttributes big = text.attributesAtIndex(5);
    const TextAttributes number = text.attributesAtIndex(9);
    EXPECT_EQ(fontOf(plain), Font("DejaVuSans-Bold", 12));
    EXPECT_EQ(fontOf(big), Font("DejaVuSans-Bold", 18));
    EXPECT_EQ(big.value(NSForegroundColorAttributeName).value<Color>(),
              Color::colorWithDeviceRed(1, 0, 0));
    EXPECT_EQ(number, plain);
}
