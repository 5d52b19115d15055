#include "BranchTestSupport.h"
#include "StyleTestSupport.h"

#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "palettes/TWGraphicBindingController.h"
#include "support/AttributedString.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using GraphicList = TWGraphicBindingController::GraphicList;

const Color Red = Color::colorWithCalibratedRed(1, 0, 0);

QByteArray pngOfSize(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class GraphicBindingController : public BranchTest::BranchFixture
{
protected:
    GraphicBindingController()
    {
        a = rectangleChild(100, "a");
        b = rectangleChild(200, "b");
        c = rectangleChild(300, "c");
        settle();
    }
    std::shared_ptr<TWMapBranch> rectangleChild(float y, const QString &name)
    {
        auto branch = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(500, y, 80, 30)), root.get(), map.get());
        branch->enclosedTextArea()->setString(name);
        return branch;
    }
    void select(const GraphicList &graphics)
    {
        map->removeAllSelectedGraphics();
        for (const auto &g : graphics)
            map->insertObjectInSelectedGraphicsAtIndex(g, map->countOfSelectedGraphics());
        settle();
        controller.update();
    }
    std::shared_ptr<TWLinkLine> linkLine(int startArrow, int endArrow = 0)
    {
        auto line = TWGraphic::make<TWLinkLine>();
        line->setStartArrowStyle(startArrow);
        line->setEndArrowStyle(endArrow);
        return line;
    }

    StyleTest::ScopedDataHome home;
    int documentIdentity = 0;
    TWGraphicBindingController controller{[this] { return document.get(); }, &documentIdentity};
    std::shared_ptr<TWMapBranch> a, b, c;
};

TEST(TWMixedNegateBooleanTest, MixedAndOffEnableOnDisablesOthersGiveNothing)
{
    const struct
    {
        int value;
        std::optional<bool> expected;
    } cases[] = {{-1, true}, {0, true}, {1, false}, {2, std::nullopt}};
    for (const auto &c : cases)
        EXPECT_EQ(TWMixedNegateBoolean(c.value), c.expected) << c.value;
}

TEST_F(GraphicBindingController, FillFlagsMergeOverFillableGraphicsOnly)
{
    a->mainGraphic()->setDrawsFill(true);
    b->mainGraphic()->setDrawsFill(false);
    a->enclosedTextArea()->setDrawsFill(false);
    const struct
    {
        const char *name;
        GraphicList selection;
        int inheritsFill, drawsFill;
        bool hasColor;
    } cases[] = {
        {"differ, a first", {a->mainGraphic(), b->mainGraphic()}, 1, -1, true},
        {"differ, b first", {b->mainGraphic(), a->mainGraphic()}, 1, -1, true},
        {"lines only", {TWGraphic::make<TWLine>(), linkLine(1)}, 0, 0, false},
        // The label stands for its shape and its own flag is never compared.
        {"label first", {a->enclosedTextArea(), a->mainGraphic()}, 1, 1, true},
        {"line then shape", {linkLine(0), b->mainGraphic()}, 1, 0, true},
    };
    for (const auto &t : cases) {
        select(t.selection);
        EXPECT_EQ(controller.inheritsFill(), t.inheritsFill) << t.name;
        EXPECT_EQ(controller.drawsFill(), t.drawsFill) << t.name;
        EXPECT_EQ(controller.fillColor().has_value(), t.hasColor) << t.name;
    }
}

TEST_F(GraphicBindingController, StrokeAndShadowReadTheFirstSettingsGraphic)
{
    a->mainGraphic()->setStrokeWidth(3);
    a->mainGraphic()->setInheritsShadow(false);
    a->mainGraphic()->setShadow(Shadow(Size(2, -4), 7, Red));
    b->mainGraphic()->setInheritsShadow(true);
    select({a->enclosedTextArea(), b->mainGraphic()});
    EXPECT_EQ(controller.strokeWidth(), 3);
    EXPECT_EQ(controller.inheritsShadow(), -1);
    EXPECT_EQ(controller.shadowBlurRadius(), 7);
    EXPECT_EQ(controller.shadowOffsetWidth(), 2);
    EXPECT_EQ(controller.shadowOffsetHeight(), -4);
    EXPECT_EQ(controller.shadowColor(), std::optional<Color>(Red));
}

TEST_F(GraphicBindingController, BranchGroupMergesTheDistinctSelectedBranches)
{
    a->setEnclosedImageData(pngOfSize(20, 10));
    settle();
    const struct
    {
        const char *name;
        GraphicList selection;
        size_t branches;
        bool picture;
    } cases[] = {
        {"shape and its label", {a->mainGraphic(), a->enclosedTextArea()}, 1, true},
        {"one branch with a picture", {a->mainGraphic()}, 1, true},
        {"picture then none", {a->mainGraphic(), b->mainGraphic()}, 2, false},
        {"none then picture", {b->mainGraphic(), a->mainGraphic()}, 2, false},
        {"a link line is no branch graphic", {linkLine(1)}, 0, false},
    };
    for (const auto &t : cases) {
        select(t.selection);
        EXPECT_EQ(
            TWGraphicBindingController::actuallySelectedBranchesFromGraphics(t.selection).size(),
            t.branches)
            << t.name;
        EXPECT_EQ(controller.enclosedImageData().has_value(), t.picture) << t.name;
    }
    EXPECT_EQ(controller.branchType(), -1);
    EXPECT_EQ(controller.textRelativePosition(), -1);
}

TEST_F(GraphicBindingController, WidthConstraintShowsTheLaterWidthOr20WhenOff)
{
    select({a->mainGraphic(), b->mainGraphic()});
    EXPECT_EQ(controller.textMaxWidthSet(), 0);
    EXPECT_EQ(controller.textMaxWidth(), 20.0f);

    a->setTextMaxWidth(100);
    a->setTextMaxWidthSet(true);
    b->setTextMaxWidth(150);
    b->setTextMaxWidthSet(true);
    select({a->mainGraphic(), b->mainGraphic()});
    EXPECT_EQ(controller.textMaxWidthSet(), 1);
    EXPECT_EQ(controller.textMaxWidth(), 150);

    b->setTextMaxWidthSet(false);
    select({a->mainGraphic(), b->mainGraphic()});
    EXPECT_EQ(controller.textMaxWidthSet(), -1);
    EXPECT_EQ(controller.textMaxWidth(), 100);
}

TEST_F(GraphicBindingController, OverrideSwitchIsMixedOnceBranchesDisagree)
{
    b->setChildrenOutlineNumberFormatOverride({"Upper case roman"});
    const struct
    {
        const char *name;
        GraphicList selection;
        int enabled;
        QStringList formats;
    } cases[] = {
        {"none", {a->mainGraphic(), c->mainGraphic()}, 0, {}},
        {"none then some", {a->mainGraphic(), b->mainGraphic()}, -1, {"Upper case roman"}},
        {"some then none", {b->mainGraphic(), a->mainGraphic()}, -1, {"Upper case roman"}},
        {"some", {b->mainGraphic()}, 1, {"Upper case roman"}},
    };
    for (const auto &t : cases) {
        select(t.selection);
        EXPECT_EQ(controller.childrenOutlineNumberFormatOverrideEnabled(), t.enabled) << t.name;
        EXPECT_EQ(controller.childrenOutlineNumberFormatOverride(), t.formats) << t.name;
    }
}

TEST_F(GraphicBindingController, TerminatorsComeFromLinkLinesOnly)
{
    select({a->mainGraphic(), linkLine(1, 2), linkLine(3, 2)});
    EXPECT_TRUE(controller.terminatorEnabled());
    EXPECT_EQ(controller.terminatorAtStart(), -1);
    EXPECT_EQ(controller.terminatorAtEnd(), 2);

    select({a->mainGraphic(), b->mainGraphic()});
    EXPECT_FALSE(controller.terminatorEnabled());
    EXPECT_EQ(controller.valueForKey("terminatorEnabled"), QVariant(false));

    auto rectangle = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));
    rectangle->setCornerMode(2);
    select({linkLine(0), rectangle, a->mainGraphic()});
    EXPECT_TRUE(controller.cornerEnabled());
    EXPECT_EQ(controller.cornerMode(), 2);

    const QStringList keys =
        TWGraphicBindingController::styleKeysForGraphics({linkLine(0), linkLine(0)});
    EXPECT_EQ(keys.count("terminatorAtStart"), 2);
    EXPECT_EQ(keys.size(), 14 + 12);
}

TEST_F(GraphicBindingController, AStyleFromMixedValuesLeavesThemOut)
{
    a->mainGraphic()->setDrawsFill(true);
    b->mainGraphic()->setDrawsFill(false);
    select({a->mainGraphic(), b->mainGraphic()});
    ASSERT_EQ(controller.drawsFill(), -1);
    EXPECT_TRUE(controller.currentStyleIsNew());
    const std::shared_ptr<TWStyle> style = controller.currentStyle();
    ASSERT_TRUE(style);
    const OrderedDictionary graphic = style->group(TWStyle::GraphicGroup);
    EXPECT_FALSE(graphic.contains("drawsFill"));
    EXPECT_TRUE(graphic.contains("inheritsFill"));
    EXPECT_TRUE(graphic.contains("fillColor"));
    EXPECT_TRUE(graphic.value("applyFill").toBool());
    EXPECT_EQ(style->group(TWStyle::BranchGroup).value("branchType"), QVariant(a->branchType()));
    for (const auto &entry : graphic)
        EXPECT_NE(entry.second, QVariant(-1)) << entry.first.toStdString();

    // Applied, the style leaves each graphic's own drawsFill alone.
    controller.applyStyleToSelection(style);
    EXPECT_TRUE(a->mainGraphic()->drawsFill());
    EXPECT_FALSE(b->mainGraphic()->drawsFill());
    EXPECT_FALSE(controller.applyingStyle());
}

TEST_F(GraphicBindingController, ABurstOfSelectionChangesCostsOneRefresh)
{
    int refreshes = 0;
    QObject::connect(&controller, &TWGraphicBindingController::currentStyleChanged,
                     [&refreshes] { ++refreshes; });
    b->mainGraphic()->setDrawsFill(false);
    for (const auto &g : {a->mainGraphic(), b->mainGraphic()}) {
        map->insertObjectInSelectedGraphicsAtIndex(g, map->countOfSelectedGraphics());
        settle();
    }
    EXPECT_TRUE(controller.updatePending());
    EXPECT_EQ(refreshes, 0);
    QTest::qWait(TWGraphicBindingController::UpdateDelayMilliseconds + 50);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(controller.drawsFill(), -1);

    // Another document's map is not ours; after closing, nothing is followed.
    NotificationCenter::defaultCenter().post(TWMap::SelectedGraphicsChangedNotification,
                                             &documentIdentity);
    EXPECT_FALSE(controller.updatePending());
    NotificationCenter::defaultCenter().post(
        TWGraphicBindingController::DocumentWillCloseNotification, &documentIdentity);
    map->removeAllSelectedGraphics();
    settle();
    EXPECT_FALSE(controller.updatePending());
}

// --- setters ---

TEST_F(GraphicBindingController, AMixedCheckBoxSendsMinusOneAndEverythingTurnsOn)
{
    b->mainGraphic()->setDrawsFill(true);
    a->mainGraphic()->setDrawsFill(false);
    select({a->mainGraphic(), b->mainGraphic()});
    ASSERT_EQ(controller.drawsFill(), -1);

    QStringList announced;
    QObject::connect(&controller, &KeyValueBindable::valueChanged,
                     [&announced](const QString &key) { announced << key; });
    controller.setValueForKey(-1, "drawsFill");
    EXPECT_TRUE(a->mainGraphic()->drawsFill());
    EXPECT_TRUE(b->mainGraphic()->drawsFill());
    EXPECT_EQ(controller.drawsFill(), 1);
    const int before = int(announced.count("drawsFill"));
    QCoreApplication::processEvents();
    EXPECT_EQ(announced.count("drawsFill"), before + 1);
}

TEST_F(GraphicBindingController, AFillColourOnInheritingGraphicsIsOneUndoStep)
{
    for (const auto &branch : {a, b, c}) {
        branch->mainGraphic()->setInheritsFill(true);
        branch->mainGraphic()->setDrawsFill(false);
    }
    select({a->mainGraphic(), b->enclosedTextArea(), c->mainGraphic()});
    const int steps = undo->undoStepCount();
    controller.setValueForKey(QVariant::fromValue(Red), "fillColor");
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    for (const auto &branch : {a, b, c}) {
        EXPECT_FALSE(branch->mainGraphic()->inheritsFill())
            << BranchTest::nameOf(*branch).toStdString();
        EXPECT_TRUE(branch->mainGraphic()->drawsFill());
        EXPECT_EQ(branch->mainGraphic()->fillColor(), std::optional<Color>(Red));
    }
    EXPECT_EQ(controller.inheritsFill(), 0);
    EXPECT_EQ(controller.drawsFill(), 1);

    undo->undo();
    for (const auto &branch : {a, b, c}) {
        EXPECT_TRUE(branch->mainGraphic()->inheritsFill());
        EXPECT_FALSE(branch->mainGraphic()->drawsFill());
    }
}

TEST_F(GraphicBindingController, AShadowPartKeepsTheOtherInheritedParts)
{
    root->mainGraphic()->setShadow(Shadow(Size(3, -6), 4, Red));
    TWGraphic &shape = *a->mainGraphic();
    shape.setInheritsShadow(true);
    select({a->mainGraphic()});
    const std::optional<Shadow> inherited = shape.inheritedShadow();
    ASSERT_TRUE(inherited);
    controller.setShadowOffsetWidth(9);
    ASSERT_TRUE(shape.shadow());
    EXPECT_FALSE(shape.inheritsShadow());
    EXPECT_TRUE(shape.drawsShadow());
    EXPECT_EQ(shape.shadow()->shadowOffset().width, 9);
    EXPECT_EQ(shape.shadow()->shadowOffset().height, inherited->shadowOffset().height);
    EXPECT_EQ(shape.shadow()->shadowBlurRadius(), inherited->shadowBlurRadius());
    EXPECT_EQ(shape.shadow()->shadowColor(), inherited->shadowColor());
    EXPECT_EQ(controller.shadowOffsetWidth(), 9);
}

TEST_F(GraphicBindingController, TerminatorsReachSelectedLinkLinesOnly)
{
    auto line = linkLine(0, 0);
    select({line, a->mainGraphic(), a->enclosedTextArea()});
    controller.setTerminatorAtEnd(2);
    controller.setTerminatorAtStart(-1);
    EXPECT_EQ(line->endArrowStyle(), 2);
    EXPECT_EQ(line->startArrowStyle(), 1);
    EXPECT_EQ(controller.terminatorAtStart(), 1);
    if (auto *connection = dynamic_cast<TWLinkLine *>(a->connectionGraphic().get()))
        EXPECT_EQ(connection->endArrowStyle(), 0);
}

TEST_F(GraphicBindingController, ABranchPictureIsScaledTo120UnlessShiftIsHeld)
{
    const struct
    {
        const char *name;
        int width, height;
        bool shift;
        std::optional<Size> expected; // none: the picture's own size
    } cases[] = {
        {"wide", 1200, 600, false, Size(120, 60)},   {"tall", 400, 800, false, Size(60, 120)},
        {"square", 600, 600, false, Size(120, 120)}, {"shift", 1200, 600, true, std::nullopt},
        {"small", 100, 80, false, std::nullopt},
    };
    for (const auto &t : cases) {
        const QByteArray data = pngOfSize(t.width, t.height);
        const std::optional<Image> image =
            TWGraphicBindingController::enclosedImageFromData(data, t.shift);
        ASSERT_TRUE(image) << t.name;
        EXPECT_EQ(image->size(), t.expected.value_or(Image::initWithData(data)->size())) << t.name;
    }
    EXPECT_FALSE(TWGraphicBindingController::enclosedImageFromData("no picture", false));

    select({a->mainGraphic(), b->enclosedTextArea()});
    const int steps = undo->undoStepCount();
    controller.setEnclosedImageData(pngOfSize(600, 300), false);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    EXPECT_TRUE(a->enclosedImage());
    EXPECT_TRUE(b->enclosedImage());
    EXPECT_FALSE(controller.enclosedImageData()) << "two branches never show one picture";
}

TEST_F(GraphicBindingController, OutlineOverrideSwitchStartsFromTheMapsFormats)
{
    const struct
    {
        const char *name;
        QStringList mapFormats;
        int value;
        QStringList expected;
    } cases[] = {
        {"no map formats", {}, 1, {"Numeric"}},
        {"map formats",
         {"Upper case alpha", "Lower case roman"},
         1,
         {"Upper case alpha", "Lower case roman"}},
        {"mixed click", {}, -1, {"Numeric"}},
        {"off", {"Upper case alpha"}, 0, {}},
    };
    for (const auto &t : cases) {
        a->setChildrenOutlineNumberFormatOverride({});
        map->setOutlineFormatSettings(t.mapFormats);
        select({a->mainGraphic()});
        controller.setChildrenOutlineNumberFormatOverrideEnabled(t.value);
        EXPECT_EQ(a->childrenOutlineNumberFormatOverride(), t.expected) << t.name;
        EXPECT_EQ(controller.childrenOutlineNumberFormatOverrideEnabled(),
                  t.expected.isEmpty() ? 0 : 1)
            << t.name;
    }
}

TEST_F(GraphicBindingController, BranchSettersWriteEveryBranchAndReread)
{
    BranchTest::Recorder palettes({TWGraphicBindingController::PalettesNeedsUpdateNotification});
    select({a->mainGraphic(), b->enclosedTextArea()});

    controller.setHasBoundary(-1);
    EXPECT_TRUE(a->hasBoundary());
    EXPECT_TRUE(b->hasBoundary());
    EXPECT_EQ(controller.hasBoundary(), 1);

    controller.setTextMaxWidth(140);
    EXPECT_TRUE(a->textMaxWidthSet());
    EXPECT_EQ(b->ownTextMaxWidth(), 140);
    controller.setTextMaxWidthSet(0);
    EXPECT_FALSE(b->textMaxWidthSet());
    EXPECT_EQ(controller.textMaxWidth(), 20.0f);

    controller.setBranchType(-1);
    EXPECT_EQ(palettes.notifications.size(), 0);
    controller.setBranchType(4);
    EXPECT_EQ(palettes.notifications.size(), 1);
    EXPECT_EQ(a->branchType(), 4);
    EXPECT_EQ(b->branchType(), 4);
    EXPECT_EQ(controller.branchType(), 4);
}

TEST_F(GraphicBindingController, FontColourChangesTheTextsButNotTheShownAttributes)
{
    select({a->mainGraphic(), b->mainGraphic()});
    const std::optional<QVariantMap> shown = controller.stringAttributes();
    ASSERT_TRUE(shown);
    controller.setFontColor(Red);
    for (const auto &branch : {a, b}) {
        const auto attributes = branch->enclosedTextArea()->stringAttributes();
        ASSERT_TRUE(attributes);
        EXPECT_EQ(attributes->value(NSForegroundColorAttributeName).value<Color>(), Red);
    }
    EXPECT_EQ(controller.stringAttributes(), shown);
    controller.update();
    EXPECT_EQ(controller.fontColor(), Red);
}

} // namespace
