#include "StyleTestSupport.h"

#include "graphics/TWGraphic.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QColor pixel(const QImage &image, qreal x, qreal y)
{
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(int(x * ratio), int(y * ratio));
}

TEST(TWStyle, NewStylesCarryTheDefaultsOfTheirType)
{
    const TWStyle graphic(TWStyle::GraphicStyle);
    EXPECT_EQ(graphic.properties().keys(), (QStringList{"graphic", "branch"}));
    EXPECT_TRUE(graphic.group(TWStyle::BranchGroup).isEmpty());
    EXPECT_EQ(graphic.name(), "New Style");
    EXPECT_TRUE(TWStyleManager::isFileIdentifier(graphic.identifier()));
    EXPECT_FALSE(graphic.custom());

    const OrderedDictionary g = graphic.group(TWStyle::GraphicGroup);
    EXPECT_EQ(g.value("fillColor").value<Color>(), Color::whiteColor());
    EXPECT_EQ(g.value("strokeStyle").typeId(), QMetaType::Int);
    EXPECT_EQ(g.value("shadowOffsetHeight").typeId(), QMetaType::Float);
    EXPECT_FLOAT_EQ(g.value("shadowOffsetHeight").toFloat(), -5.0f);
    EXPECT_EQ(g.value("applyShadow").typeId(), QMetaType::Bool);
    EXPECT_FALSE(g.contains("applyTerminator"));
    EXPECT_FALSE(g.contains("terminatorAtStart"));
    const OrderedDictionary text = *OrderedDictionary::fromVariant(g.value("stringAttributes"));
    EXPECT_EQ(text.value(NSFontAttributeName).value<Font>(), Font("Helvetica", 16));

    const TWMapStyle map;
    EXPECT_EQ(map.type(), TWStyle::MapStyle);
    EXPECT_EQ(map.properties().keys(), QStringList{"map"});
    const OrderedDictionary m = map.group(TWStyle::MapGroup);
    EXPECT_EQ(m.count(), 21);
    EXPECT_FLOAT_EQ(m.value("rainbowSaturation").toFloat(), 0.8f);
    EXPECT_EQ(m.value("firstLevelSpacing").toInt(), 100);
    EXPECT_EQ(m.value("outlineFormatSettings").toList().size(), 0);

    EXPECT_TRUE(TWStyle(7).properties().isEmpty());
    EXPECT_NE(TWStyle().identifier(), TWStyle().identifier());
}

TEST(TWStyle, FilesAndElementsRoundTripEachType)
{
    QTemporaryDir dir;
    for (int type : {TWStyle::GraphicStyle, TWStyle::MapStyle}) {
        SCOPED_TRACE(type);
        TWStyle style(type);
        style.setName("Blue Boxes");
        const QString path = dir.filePath(style.identifier() + ".TWStyle");
        ASSERT_TRUE(style.writeToFile(path));

        const std::shared_ptr<TWStyle> read = TWStyle::createWithContentsOfFile(path);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->name(), "Blue Boxes");
        EXPECT_EQ(read->identifier(), style.identifier());
        EXPECT_EQ(read->type(), type);
        EXPECT_EQ(read->properties().value(TWStyle::VersionKey).toString(), "1.0");
        EXPECT_FALSE(read->properties().contains(TWStyle::NameKey));
        // Every setting comes back (numbers as written, so compared by value).
        for (const QString &group : style.properties().keys())
            EXPECT_TRUE(TWStyleManager::isEqualTo(read->properties().value(group),
                                                  style.properties().value(group)))
                << qPrintable(group);

        const XMLElement element = style.freshXMLElement();
        EXPECT_EQ(element.stringForPath(u"TWStyleType"), QString::number(type));
        const std::shared_ptr<TWStyle> back = TWStyle::objectWithXMLElement(element);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->identifier(), style.identifier());
        EXPECT_EQ(back->type(), type);
        EXPECT_TRUE(TWStyleManager::isEqualTo(QVariant::fromValue(back->properties()),
                                              QVariant::fromValue(style.properties())));
    }
    EXPECT_FALSE(TWStyle::createWithContentsOfFile(dir.filePath("missing.TWStyle")));
    EXPECT_FALSE(TWStyle::objectWithXMLElement(XMLElement()));
}

TEST(TWStyle, StylesTravelInsideDictionariesAsElements)
{
    auto style = TWStyle::create(TWStyle::MapStyle);
    OrderedDictionary themeStyles{{style->identifier(), QVariant::fromValue(style)}};
    const std::optional<OrderedDictionary> back =
        OrderedDictionary::objectWithXMLElement(themeStyles.freshXMLElement());
    ASSERT_TRUE(back);
    const TWStylePointer read = back->value(style->identifier()).value<TWStylePointer>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->type(), TWStyle::MapStyle);
}

TEST(TWStyle, PropertiesFromADictionary)
{
    // No type, name or identifier: a graphic style with empty fields.
    const auto bare = TWStyle::createWithProperties(OrderedDictionary{{"map", 1}});
    EXPECT_EQ(bare->type(), TWStyle::GraphicStyle);
    EXPECT_TRUE(bare->name().isEmpty());
    EXPECT_TRUE(bare->identifier().isEmpty());

    // A paragraph style stored as text is dropped; a real one stays.
    OrderedDictionary text{{NSParagraphStyleAttributeName, QStringLiteral("centred")},
                           {NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 9))}};
    TWStyle style;
    style.setValue(TWStyle::GraphicGroup, "stringAttributes", QVariant::fromValue(text));
    style.setProperties(style.properties());
    OrderedDictionary cleaned =
        *OrderedDictionary::fromVariant(style.value(TWStyle::GraphicGroup, "stringAttributes"));
    EXPECT_FALSE(cleaned.contains(NSParagraphStyleAttributeName));
    EXPECT_TRUE(cleaned.contains(NSFontAttributeName));

    text.setValue(NSParagraphStyleAttributeName, QVariant::fromValue(ParagraphStyle()));
    style.setValue(TWStyle::GraphicGroup, "stringAttributes", QVariant::fromValue(text));
    style.setProperties(style.properties());
    cleaned =
        *OrderedDictionary::fromVariant(style.value(TWStyle::GraphicGroup, "stringAttributes"));
    EXPECT_TRUE(cleaned.contains(NSParagraphStyleAttributeName));
}

TEST(TWStyle, MatchingAnotherStyleCopiesGraphicSettingsOnly)
{
    TWStyle mine;
    TWStyle other;
    other.setValue(TWStyle::GraphicGroup, "fillColor",
                   QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0)));
    other.setValue(TWStyle::GraphicGroup, "applyFill", false);
    other.setValue(TWStyle::GraphicGroup, "terminatorAtEnd", 2);
    mine.updatePropertiesToMatchStyle(other);
    EXPECT_EQ(mine.value(TWStyle::GraphicGroup, "fillColor").value<Color>(),
              Color::colorWithCalibratedRed(1, 0, 0));
    EXPECT_EQ(mine.value(TWStyle::GraphicGroup, "terminatorAtEnd").toInt(), 2);
    EXPECT_TRUE(mine.flag(TWStyle::GraphicGroup, "applyFill"));

    TWMapStyle map;
    const OrderedDictionary before = map.properties();
    map.updatePropertiesToMatchStyle(other);
    EXPECT_EQ(map.properties(), before);
}

TEST(TWStyle, PreviewsShowTheStyleOrGreyWhereItDoesNotSetIt)
{
    struct Case
    {
        const char *name;
        bool applyFill, inheritsFill, applyStroke;
        QColor fill;
    };
    const Case cases[] = {
        {"own fill", true, false, true, QColor(255, 0, 0)},
        {"fill not applied", false, false, true, QColor(170, 170, 170)},
        {"fill inherited", true, true, true, QColor(170, 170, 170)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWStyle style;
        style.setValue(TWStyle::GraphicGroup, "fillColor",
                       QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0)));
        style.setValue(TWStyle::GraphicGroup, "applyFill", c.applyFill);
        style.setValue(TWStyle::GraphicGroup, "inheritsFill", c.inheritsFill);
        const QImage image = style.previewOfSize(Size(240, 60));
        const QColor inside = pixel(image, 20, 30);
        EXPECT_NEAR(inside.red(), c.fill.red(), 2);
        EXPECT_NEAR(inside.green(), c.fill.green(), 2);
    }

    TWStyle unstroked;
    unstroked.setValue(TWStyle::GraphicGroup, "applyStroke", false);
    unstroked.setValue(TWStyle::GraphicGroup, "strokeWidth", 4);
    const QImage image = unstroked.previewOfSize(Size(240, 60));
    EXPECT_NEAR(pixel(image, 30, 9.2).red(), 85, 12); // the dark grey outline

    TWStyle nameless;
    nameless.setName(QString());
    nameless.previewOfSize(Size(200, 50));
    EXPECT_EQ(nameless.name(), "Untitled");

    TWMapStyle night;
    night.setValue(TWStyle::MapGroup, "backgroundColor",
                   QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 0.5)));
    EXPECT_NEAR(pixel(night.previewOfSize(Size(240, 60)), 12, 30).blue(), 128, 3);
}

// A preview painted on a screen of any resolution has its sample where one
// painted into a picture has it: inside the left third, beside the name.
TEST(TWStyle, PreviewSamplesKeepToTheirThirdOnAnyScreen)
{
    const QSize size(240, 60);
    const auto paintAt = [&size](TWStyle &style, int dpi) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.fill(Qt::transparent);
        QPainter painter(&image);
        style.drawInRect(painter, Rect(0, 0, float(size.width()), float(size.height())));
        return image;
    };
    TWStyle graphic;
    TWMapStyle map;
    map.setValue(TWStyle::MapGroup, "backgroundColor",
                 QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 0.5)));
    const struct
    {
        const char *what;
        TWStyle *style;
    } cases[] = {{"a branch style", &graphic}, {"a map style", &map}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QImage points = paintAt(*c.style, 72);
        for (int dpi : {96, 144}) {
            SCOPED_TRACE(dpi);
            const QImage screen = paintAt(*c.style, dpi);
            int differing = 0;
            // The left third holds the sample; the name, in a font sized for
            // the screen, is right of it.
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width() / 3; ++x)
                    differing += points.pixel(x, y) != screen.pixel(x, y);
            EXPECT_EQ(differing, 0);
        }
    }
}

} // namespace

namespace {

// THINKWEB_SAVE_PREVIEWS=<folder> keeps the previews of the shipped styles
// there, to look at after changing the preview drawing.
TEST(TWStyle, PreviewsOfTheShippedStyles)
{
    StyleTest::ScopedDataHome home;
    TWStyleManager shipped;
    const QString folder = qEnvironmentVariable("THINKWEB_SAVE_PREVIEWS");
    for (const auto &styles : {shipped.graphicStyles(), shipped.mapStyles()}) {
        for (const auto &style : styles) {
            const QImage image = style->previewOfSize(Size(240, 56));
            ASSERT_EQ(image.size(), QSize(240, 56));
            // Something is drawn in the left third (the box or the background).
            EXPECT_GT(image.pixelColor(30, 28).alpha(), 0) << qPrintable(style->name());
            if (!folder.isEmpty())
                image.save(folder + "/" + style->name() + ".png");
        }
    }
}

} // namespace
