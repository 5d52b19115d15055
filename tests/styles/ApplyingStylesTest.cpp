#include "BranchTestSupport.h"
#include "StyleTestSupport.h"

#include "graphics/TWCircle.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "styles/TWTheme.h"
#include "support/AttributedString.h"
#include "support/Font.h"

#include <gtest/gtest.h>

namespace {

using BranchTest::Recorder;
using StyleTest::graphicStyleApplying;

const Color Red = Color::colorWithCalibratedRed(1, 0, 0);
const Color Blue = Color::colorWithCalibratedRed(0, 0, 1);

class ApplyingStyles : public BranchTest::BranchFixture
{
protected:
    ApplyingStyles()
    {
        library().reloadGraphicStyles();
        library().reloadMapStyles();
    }
    ~ApplyingStyles() override { TWThemeManager::sharedThemeManager().removeTheme("theme"); }

    static TWStyleManager &library() { return TWStyleManager::sharedStyleManager(); }
    std::shared_ptr<TWMapBranch> rectangleBranch(const QString &name, TWMapBranch *parent = nullptr)
    {
        auto branch =
            TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(Rect(500, 100, 80, 30)),
                                           parent ? parent : root.get(), map.get());
        branch->enclosedTextArea()->setString(name);
        settle();
        return branch;
    }
    // A saved style whose fill is `fill`.
    std::shared_ptr<TWStyle> savedStyle(const Color &fill, const QString &name = "Fill")
    {
        auto style = graphicStyleApplying({"applyFill", "applyStroke"});
        style->setName(name);
        style->setValue(TWStyle::GraphicGroup, "fillColor", QVariant::fromValue(fill));
        EXPECT_TRUE(library().saveStyle(style));
        return style;
    }

    StyleTest::ScopedDataHome home;
};

TEST_F(ApplyingStyles, EachKindTakesOnlyTheGroupsItCarries)
{
    auto style = graphicStyleApplying(
        {"applyFill", "applyStroke", "applyShadow", "applyCorner", "applyTerminator", "applyFont"});
    const QStringList base =
        TWGraphic::fillKeys() + TWGraphic::strokeKeys() + TWGraphic::shadowKeys();
    struct Case
    {
        const char *name;
        std::shared_ptr<TWGraphic> graphic;
        QStringList keys;
    };
    const Case cases[] = {
        {"plain graphic", TWGraphic::create(), base},
        {"line", TWGraphic::make<TWLine>(), base},
        {"image", TWGraphic::make<TWImage>(), TWGraphic::strokeKeys() + TWGraphic::shadowKeys()},
        {"link line", TWGraphic::make<TWLinkLine>(),
         TWGraphic::strokeKeys() + TWGraphic::shadowKeys() + TWGraphic::terminatorKeys()},
        {"rectangle", TWGraphic::make<TWRectangle>(), base + TWGraphic::cornerKeys()},
        {"free text", TWGraphic::make<TWTextArea>(), base + TWGraphic::fontKeys()},
        {"branch text", root->enclosedTextArea(), TWGraphic::fontKeys()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.graphic->styleKeysToBeAppliedFromStyle(*style), c.keys) << c.name;

    style->setValue(TWStyle::GraphicGroup, "applyFont", false);
    EXPECT_TRUE(root->enclosedTextArea()->styleKeysToBeAppliedFromStyle(*style).isEmpty());
    EXPECT_EQ(TWGraphic::styleKeys().size(), 23);
}

TEST_F(ApplyingStyles, FillReachesRectanglesButNotImages)
{
    auto style = graphicStyleApplying({"applyFill"});
    style->setValue(TWStyle::GraphicGroup, "fillColor", QVariant::fromValue(Red));

    auto image = TWGraphic::make<TWImage>();
    image->setInheritsFill(true);
    image->applyStyle(style.get());
    EXPECT_TRUE(image->inheritsFill());
    EXPECT_FALSE(image->fillColor() == Red);

    auto rectangle = TWGraphic::make<TWRectangle>();
    rectangle->setInheritsFill(true);
    rectangle->setDrawsFill(false);
    const float width = rectangle->strokeWidth();
    rectangle->applyStyle(style.get());
    EXPECT_FALSE(rectangle->inheritsFill());
    EXPECT_TRUE(rectangle->drawsFill());
    EXPECT_EQ(rectangle->fillColor(), Red);
    EXPECT_EQ(rectangle->strokeWidth(), width);
}

TEST_F(ApplyingStyles, MissingAndMistypedKeysLeaveTheirSettings)
{
    auto style = graphicStyleApplying({"applyFill", "applyShadow"});
    OrderedDictionary g = style->group(TWStyle::GraphicGroup);
    g.remove("fillColor");
    g.setValue("drawsShadow", QStringLiteral("yes"));
    style->setGroup(TWStyle::GraphicGroup, g);

    auto rectangle = TWGraphic::make<TWRectangle>();
    rectangle->setFillColor(Blue);
    rectangle->setInheritsFill(true);
    rectangle->applyStyle(style.get());
    EXPECT_EQ(rectangle->fillColor(), Blue);
    EXPECT_FALSE(rectangle->inheritsFill());
    EXPECT_FALSE(rectangle->drawsShadow());
    // The shadow's parts each kept the others.
    ASSERT_TRUE(rectangle->shadow());
    EXPECT_EQ(rectangle->shadow()->shadowOffset(), Size(5, -5));
    EXPECT_EQ(rectangle->shadow()->shadowBlurRadius(), 5);
}

TEST_F(ApplyingStyles, FontReachesTheBranchText)
{
    auto style = graphicStyleApplying({"applyFont"});
    const OrderedDictionary font{
        {NSFontAttributeName, QVariant::fromValue(Font("Times-Roman", 20))},
        {NSForegroundColorAttributeName, QVariant::fromValue(Red)}};
    style->setValue(TWStyle::GraphicGroup, "stringAttributes", QVariant::fromValue(font));
    style->setName("Times");
    ASSERT_TRUE(library().saveStyle(style));

    auto branch = rectangleBranch("topic");
    branch->mainGraphic()->setStyle(style);
    const TWTextArea &text = *branch->enclosedTextArea();
    EXPECT_EQ(text.font(), Font("Times-Roman", 20));
    // The branch is fitted to its text in the new font.
    EXPECT_TRUE(layout->calls.contains("natural size topic 0 0"))
        << layout->calls.join('\n').toStdString();
    EXPECT_EQ(text.stringAttributes()->value(NSForegroundColorAttributeName).value<Color>(), Red);
    EXPECT_EQ(text.text().string(), "topic");
    EXPECT_EQ(text.style(), style);
    EXPECT_EQ(branch->mainGraphic()->styleID(), style->identifier());
    EXPECT_FALSE(text.styleID());

    // The text keeps no style of its own: it clears its shape's.
    branch->enclosedTextArea()->setStyle(nullptr);
    EXPECT_FALSE(branch->mainGraphic()->styleID());
    EXPECT_EQ(text.font(), Font("Times-Roman", 20));
}

TEST_F(ApplyingStyles, ABranchStyleOfAnotherTypeReplacesTheShapeFirst)
{
    auto style = savedStyle(Red, "Circles");
    style->setGroup(TWStyle::BranchGroup, OrderedDictionary{{"applyBranchType", true},
                                                            {"branchType", 3},
                                                            {"applyBoundary", true},
                                                            {"hasBoundary", true},
                                                            {"boundaryMargin", 9}});
    auto branch = rectangleBranch("topic");
    const std::shared_ptr<TWGraphic> old = branch->mainGraphic();
    const long number = old->graphicNumber();

    old->setStyle(style);
    settle();
    const std::shared_ptr<TWGraphic> now = branch->mainGraphic();
    ASSERT_TRUE(dynamic_cast<TWCircle *>(now.get()));
    EXPECT_EQ(now->fillColor(), Red);
    EXPECT_EQ(now->styleID(), style->identifier());
    EXPECT_EQ(now->graphicNumber(), number);
    EXPECT_EQ(map->findGraphicWithGraphicNumber(number), now);
    EXPECT_TRUE(branch->hasBoundary());
    EXPECT_EQ(branch->boundaryMargin(), 9);

    undo->undo();
    EXPECT_EQ(branch->mainGraphic(), old);
    EXPECT_FALSE(branch->hasBoundary());
    EXPECT_FALSE(old->styleID());
}

TEST_F(ApplyingStyles, OneUndoRestoresEveryValueAndTheOldIdentifier)
{
    auto first = savedStyle(Red, "First");
    first->setValue(TWStyle::GraphicGroup, "strokeWidth", 3);
    auto second = savedStyle(Blue, "Second");
    auto branch = rectangleBranch("topic");
    const std::shared_ptr<TWGraphic> shape = branch->mainGraphic();
    const auto originalFill = shape->fillColor();
    const float originalWidth = shape->strokeWidth();
    const int steps = undo->undoStepCount();

    shape->setStyle(first);
    settle();
    shape->setStyle(second);
    settle();
    EXPECT_EQ(undo->undoStepCount(), steps + 2);
    EXPECT_EQ(shape->fillColor(), Blue);
    EXPECT_EQ(shape->strokeWidth(), 1);

    undo->undo();
    EXPECT_EQ(shape->fillColor(), Red);
    EXPECT_EQ(shape->strokeWidth(), 3);
    EXPECT_EQ(shape->styleID(), first->identifier());
    undo->undo();
    EXPECT_EQ(shape->fillColor(), originalFill);
    EXPECT_EQ(shape->strokeWidth(), originalWidth);
    EXPECT_FALSE(shape->styleID());
    undo->redo();
    EXPECT_EQ(shape->fillColor(), Red);
    EXPECT_EQ(shape->styleID(), first->identifier());

    // No style: the identifier goes, the settings stay.
    shape->setStyle(nullptr);
    EXPECT_FALSE(shape->styleID());
    EXPECT_EQ(shape->fillColor(), Red);
}

TEST_F(ApplyingStyles, ManyGraphicsAskTheInspectorOnce)
{
    auto style = savedStyle(Red);
    auto one = rectangleBranch("one");
    auto two = rectangleBranch("two");
    Recorder recorder(
        {"TWGraphicBindingControllerNeedsUpdate", "TWPalettesNeedsUpdateNotification"});
    one->mainGraphic()->setStyle(style);
    two->mainGraphic()->setStyle(style);
    NotificationQueue::defaultQueue().flush();
    EXPECT_EQ(recorder.names(), (QStringList{"TWGraphicBindingControllerNeedsUpdate",
                                             "TWPalettesNeedsUpdateNotification"}));
}

TEST_F(ApplyingStyles, ReapplyingTheLibrarysVersion)
{
    auto style = savedStyle(Red);
    auto one = rectangleBranch("one");
    auto other = rectangleBranch("other");
    one->mainGraphic()->setStyle(style);
    style->setValue(TWStyle::GraphicGroup, "fillColor", QVariant::fromValue(Blue));
    ASSERT_TRUE(library().saveStyle(style));
    map->updateStyleForGraphicsWithStyleID(style->identifier());
    EXPECT_EQ(one->mainGraphic()->fillColor(), Blue);
    EXPECT_FALSE(other->mainGraphic()->fillColor() == Blue);

    // A style that left the library applies nothing.
    ASSERT_TRUE(library().deleteStyle(style));
    one->mainGraphic()->setFillColor(Red);
    one->mainGraphic()->updateStyle();
    EXPECT_EQ(one->mainGraphic()->fillColor(), Red);
    EXPECT_EQ(one->mainGraphic()->styleID(), style->identifier());
}

TEST_F(ApplyingStyles, AMapStyleSetsOnlyItsAppliedGroups)
{
    auto style = TWStyle::create(TWStyle::MapStyle);
    OrderedDictionary m = style->group(TWStyle::MapGroup);
    m.setValue("applyBackground", false);
    m.setValue("backgroundColor", QVariant::fromValue(Red));
    m.setValue("graphicColoringMode", 2);
    m.setValue("rainbowAngle", 1.5f);
    m.setValue("rainbowSaturation", 0.25f);
    m.setValue("layoutAssistanceMode", 3);
    style->setGroup(TWStyle::MapGroup, m);
    map->setRainbowAngle(0.5f);
    settle();
    const OrderedDictionary before = map->newStyleFromCurrentSettings()->group(TWStyle::MapGroup);

    map->setMapStyle(style);
    settle();
    const OrderedDictionary after = map->newStyleFromCurrentSettings()->group(TWStyle::MapGroup);
    QStringList changed;
    for (const QString &key : after.keys())
        if (!TWStyleManager::isEqualTo(before.value(key), after.value(key)))
            changed << key;
    EXPECT_EQ(changed, (QStringList{"graphicColoringMode", "rainbowAngle", "rainbowSaturation"}));
    EXPECT_EQ(map->mapStyleID(), style->identifier());

    undo->undo();
    EXPECT_FLOAT_EQ(map->rainbowAngle(), 0.5f);
    EXPECT_FALSE(map->mapStyleID());
}

TEST_F(ApplyingStyles, NewBranchesTakeTheDefaultStyleElseTheirThemeLevel)
{
    auto plain = rectangleBranch("plain");
    plain->mainGraphic()->applyAutoStyle();
    EXPECT_FALSE(plain->mainGraphic()->styleID());

    auto levelStyles = std::make_shared<TWTheme>();
    levelStyles->identifier = "theme";
    const Color levels[] = {Red, Blue, Color::colorWithCalibratedRed(0, 1, 0)};
    for (const Color &fill : levels) {
        auto style = graphicStyleApplying({"applyFill"});
        style->setValue(TWStyle::GraphicGroup, "fillColor", QVariant::fromValue(fill));
        levelStyles->graphicStyles.insert(style->identifier(), style);
        levelStyles->branchLevelStyleIDs.append(
            OrderedDictionary{{TWTheme::MainGraphicStyleIDKey, style->identifier()}});
    }
    TWThemeManager::sharedThemeManager().addTheme(levelStyles);
    map->setTheme(levelStyles);

    std::shared_ptr<TWMapBranch> deep = root;
    for (int level = 1; level <= 5; ++level)
        deep = rectangleBranch(QString::number(level), deep.get());
    ASSERT_EQ(deep->getThisBranchLevel(), 5);
    deep->mainGraphic()->applyAutoStyle();
    EXPECT_EQ(deep->mainGraphic()->fillColor(), levels[2]);

    auto byDefault = savedStyle(Blue, "Default");
    map->setDefaultGraphicStyle(byDefault);
    auto fresh = rectangleBranch("fresh", deep.get());
    fresh->mainGraphic()->applyAutoStyle();
    EXPECT_EQ(fresh->mainGraphic()->styleID(), byDefault->identifier());
    EXPECT_EQ(fresh->mainGraphic()->fillColor(), Blue);
}

} // namespace

namespace {

TEST_F(ApplyingStyles, TheBranchGroupSetsWhatItsFlagsTurnOn)
{
    const OrderedDictionary settings{
        {"textRelativePosition", 1},
        {"connectionStyle", 4},
        {"textMaxWidthSet", true},
        {"textMaxWidth", 150},
        {"hideChildrenOutlineNumbers", true},
        {"childrenOutlineNumberFormatOverride", QVariantList{QStringLiteral("Numeric")}}};
    struct Case
    {
        const char *flag;
        std::function<bool(const TWMapBranch &)> changed;
    };
    const Case cases[] = {
        {"applyTextRelativePosition",
         [](const TWMapBranch &b) { return b.textRelativePosition() == 1; }},
        {"applyConnectionStyle",
         [](const TWMapBranch &b) { return b.connectionGraphic()->strokeStyle() == 4; }},
        {"applyTextMaxWidth",
         [](const TWMapBranch &b) { return b.textMaxWidthSet() && b.ownTextMaxWidth() == 150; }},
        {"applyOutlineNumbering",
         [](const TWMapBranch &b) {
             return b.hideChildrenOutlineNumbers() &&
                    b.childrenOutlineNumberFormatOverride() == QStringList{"Numeric"};
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flag);
        auto branch = rectangleBranch("topic");
        TWStyle style;
        OrderedDictionary group = settings;
        style.setGroup(TWStyle::BranchGroup, group);
        branch->applyStyle(&style);
        EXPECT_FALSE(c.changed(*branch));
        group.setValue(QString::fromLatin1(c.flag), true);
        style.setGroup(TWStyle::BranchGroup, group);
        branch->applyStyle(&style);
        EXPECT_TRUE(c.changed(*branch));
    }
}

TEST_F(ApplyingStyles, AStyleOfAnotherTypeKeepsTheTextWhereItWas)
{
    struct Case
    {
        int position;
        int type;
    };
    const Case cases[] = {{1, 3}, {3, 3}, {1, 1}, {0, 6}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.position << " to type " << c.type);
        auto branch = rectangleBranch("topic");
        branch->setTextRelativePosition(c.position);
        TWStyle style;
        style.setGroup(TWStyle::BranchGroup,
                       OrderedDictionary{{"applyBranchType", true}, {"branchType", c.type}});
        branch->applyStyle(&style);
        EXPECT_EQ(branch->branchType(), c.type);
        EXPECT_EQ(branch->textRelativePosition(), c.position);
    }
}

TEST_F(ApplyingStyles, TypeChangesKeepTheShapesPlaceAndLinks)
{
    auto branch = rectangleBranch("topic");
    auto other = rectangleBranch("other");
    auto link = TWGraphic::make<TWLinkLine>();
    map->insertObjectInLinkLinesAtIndex(link, 0);
    link->setStartGraphicNumber(branch->mainGraphic()->graphicNumber());
    link->setEndGraphicNumber(other->mainGraphic()->graphicNumber());
    map->insertObjectInSelectedGraphicsAtIndex(branch->mainGraphic(), 0);
    const Rect text = branch->enclosedTextArea()->bounds();
    const Rect before = branch->mainGraphic()->bounds();

    branch->changeToBranchType(1);
    const std::shared_ptr<TWGraphic> line = branch->mainGraphic();
    ASSERT_TRUE(dynamic_cast<TWLine *>(line.get()));
    EXPECT_EQ(line->bounds(), Rect(before.x(), text.maxY() + 3, before.width(), 0));
    EXPECT_TRUE(line->drawsStroke());
    EXPECT_TRUE(map->isGraphicSelected(line.get()));
    EXPECT_EQ(map->linkLinesStartingWithGraphic(line.get()).size(), 1);

    branch->changeToBranchType(2);
    const std::shared_ptr<TWGraphic> box = branch->mainGraphic();
    EXPECT_EQ(box->bounds(), Rect(before.x(), line->bounds().y() - (text.height() + 6),
                                  before.width(), text.height() + 6));
    EXPECT_EQ(box->cornerAmount(), 15);
    EXPECT_EQ(box->cornerMode(), TWPreferences::rectCornerMode());
}

TEST_F(ApplyingStyles, AMapStyleFromTheMapsSettings)
{
    map->setBackgroundColor(Red);
    map->setBackgroundImageOffsetX(12);
    map->setRepelDistance(17);
    const std::shared_ptr<TWStyle> style = map->newStyleFromCurrentSettings();
    EXPECT_EQ(style->type(), TWStyle::MapStyle);
    const OrderedDictionary m = style->group(TWStyle::MapGroup);
    EXPECT_TRUE(m.value("applyBackground").toBool());
    EXPECT_FALSE(m.value("applyAutolayout").toBool());
    EXPECT_EQ(m.value("backgroundColor").value<Color>(), Red);
    EXPECT_EQ(m.value("backgroundImageOffsetX").toFloat(), 12);
    EXPECT_EQ(m.value("repelDistance").toInt(), 17);
    EXPECT_FALSE(m.contains("backgroundImageData"));

    // Applied to another map with every group on, the settings carry over.
    auto other = TWMap::create(document.get());
    OrderedDictionary all = m;
    all.setValue("applyAutolayout", true);
    style->setGroup(TWStyle::MapGroup, all);
    other->setMapStyle(style);
    EXPECT_EQ(other->backgroundColor(), Red);
    EXPECT_EQ(other->backgroundImageOffsetX(), 12);
    EXPECT_EQ(other->repelDistance(), 17);
}

} // namespace
