#include "StyleEditingTestSupport.h"

#include "palettes/TWFontView.h"
#include "palettes/TWGraphicStyleEditor.h"
#include "palettes/TWMapStyleEditor.h"
#include "styles/TWDefaultMapStyle.h"
#include "support/AttributedString.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace {

using StyleEditingTest::Fixture;

const QString FillKey = QStringLiteral("graphic.fillColor");

class StyleEditors : public Fixture
{
protected:
    StyleEditors() { editor.showEditor(); }
    ~StyleEditors() override { editor.cancel(); }

    std::shared_ptr<TWStyle> entry(const QString &name) const
    {
        for (const auto &style : editor.styles())
            if (style->name() == name)
                return style;
        return nullptr;
    }
    QStringList listNames() const
    {
        QStringList names;
        for (const auto &style : editor.styles())
            names << style->name();
        return names;
    }

    TWGraphicStyleEditor editor;
};

TEST_F(StyleEditors, TheWorkingListHoldsCopiesOfTheLibrarysStylesSortedByName)
{
    saved(graphicStyle("apple", Color::blackColor(), 1));
    editor.showEditor();
    EXPECT_EQ(listNames(), withShipped({"apple", "Bold", "Plain"}));
    for (const auto &style : editor.styles()) {
        const auto original = library().graphicStyleWithIdentifier(style->identifier());
        ASSERT_TRUE(original);
        EXPECT_NE(original, style);
        EXPECT_EQ(original->fullProperties(), style->fullProperties());
    }
    // Editing a style that is not in the library selects nothing.
    editor.editStyle(graphicStyle("Loose", Color::blackColor(), 1));
    EXPECT_TRUE(editor.selectedStyles().isEmpty());
    editor.editStyle(plain);
    EXPECT_EQ(editor.selectedStyle(), entry("Plain"));
    EXPECT_EQ(editor.settings()->style(), entry("Plain"));

    // Names are edited in the table; a style keeps a name, and the list stays sorted.
    QAbstractItemModel *model = editor.tableView()->model();
    const QModelIndex plainName = model->index(editor.rowOfStyle(entry("Plain").get()), 0);
    EXPECT_FALSE(model->setData(plainName, "   ", Qt::EditRole));
    EXPECT_TRUE(entry("Plain"));
    EXPECT_TRUE(model->setData(plainName, "aardvark", Qt::EditRole));
    EXPECT_EQ(listNames().first(), "aardvark");
    EXPECT_EQ(editor.selectedStyle(), entry("aardvark"));
    EXPECT_EQ(plain->name(), "Plain");
}

TEST_F(StyleEditors, DuplicatingGivesAnEqualCopyThatSharesNothingWithTheOriginal)
{
    editor.selectStyles({entry("Bold")});
    editor.duplicate();
    const auto copy = entry("Bold (Copy)");
    ASSERT_TRUE(copy);
    EXPECT_EQ(editor.selectedStyle(), copy);
    EXPECT_NE(copy->identifier(), bold->identifier());
    for (const QString &group : {TWStyle::GraphicGroup, TWStyle::BranchGroup})
        for (const QString &key : entry("Bold")->group(group).keys())
            EXPECT_TRUE(TWStyleManager::isEqualTo(copy->value(group, key),
                                                  entry("Bold")->value(group, key)))
                << key.toStdString() << " " << copy->value(group, key).typeName() << " "
                << entry("Bold")->value(group, key).typeName();

    editor.settings()->setValueForKey(QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1)),
                                      FillKey);
    EXPECT_EQ(copy->value(TWStyle::GraphicGroup, "fillColor").value<Color>(),
              Color::colorWithCalibratedRed(0, 0, 1));
    for (const auto &original : {entry("Bold"), bold})
        EXPECT_EQ(original->value(TWStyle::GraphicGroup, "fillColor").value<Color>(),
                  Color::colorWithCalibratedRed(1, 0, 0));

    // Several at once.
    editor.selectStyles({entry("Bold"), entry("Plain")});
    editor.duplicate();
    EXPECT_EQ(listNames(),
              withShipped({"Bold", "Bold (Copy)", "Bold (Copy)", "Plain", "Plain (Copy)"}));
}

TEST_F(StyleEditors, AcceptingLeavesExactlyTheListedStylesInTheLibrary)
{
    const QString folder = library().graphicFolder(true);
    {
        QFile stray(folder + "/notes.txt");
        ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
        stray.write("keep me");
    }
    const QString plainFile = userFile(*plain);
    ASSERT_TRUE(QFile::exists(plainFile));

    editor.selectStyles({entry("Plain")});
    editor.removeSelectedStyles();
    editor.addNewStyle();
    const auto fresh = editor.selectedStyle();
    ASSERT_TRUE(fresh);
    editor.renameStyle(editor.rowOfStyle(fresh.get()), "Fresh");
    editor.selectStyles({entry("Bold")});
    editor.settings()->setValueForKey(3.5f, "graphic.strokeWidth");
    const std::shared_ptr<TWStyle> heldBold = bold;
    EXPECT_TRUE(editor.ok());

    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(libraryNames(library().graphicStyles()), withShipped({"Bold", "Fresh"}));
    EXPECT_FALSE(QFile::exists(plainFile));
    EXPECT_TRUE(QFile::exists(folder + "/notes.txt"));
    // The library keeps its own object, now with the accepted settings, on disk too.
    EXPECT_EQ(library().graphicStyleWithIdentifier(bold->identifier()), heldBold);
    EXPECT_FLOAT_EQ(heldBold->value(TWStyle::GraphicGroup, "strokeWidth").toFloat(), 3.5f);
    // Only changed styles were written: the shipped ones come back unchanged.
    EXPECT_EQ(QDir(folder).entryList({"*.TWStyle"}).size(), 2);
    library().reloadGraphicStyles();
    EXPECT_EQ(libraryNames(library().graphicStyles()), withShipped({"Bold", "Fresh"}));
    EXPECT_FLOAT_EQ(library()
                        .graphicStyleWithIdentifier(bold->identifier())
                        ->value(TWStyle::GraphicGroup, "strokeWidth")
                        .toFloat(),
                    3.5f);
}

TEST_F(StyleEditors, AcceptingReportsAStyleThatCouldNotBeWritten)
{
    // A folder where Bold's file goes makes its write fail.
    ASSERT_TRUE(QFile::remove(userFile(*bold)));
    ASSERT_TRUE(QDir().mkpath(userFile(*bold)));
    editor.selectStyles({entry("Bold")});
    editor.settings()->setValueForKey(4.0f, "graphic.strokeWidth");
    EXPECT_FALSE(editor.ok());
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().title, "Some styles could not be saved.");
    // The rest is done, and the session keeps the accepted settings.
    EXPECT_TRUE(QFile::exists(userFile(*plain)));
    EXPECT_FLOAT_EQ(bold->value(TWStyle::GraphicGroup, "strokeWidth").toFloat(), 4.0f);
}

TEST_F(StyleEditors, AcceptingWhileANameIsTypedKeepsTheTypedName)
{
    editor.window()->show();
    editor.addNewStyle();
    QCoreApplication::processEvents(); // the name editor opens on the next pass
    auto *field = editor.tableView()->findChild<QLineEdit *>();
    ASSERT_TRUE(field);
    field->setText("Typed Name");
    editor.ok();
    EXPECT_EQ(libraryNames(library().graphicStyles()),
              withShipped({"Bold", "Plain", "Typed Name"}));
}

TEST_F(StyleEditors, CancellingAfterEditsChangesNoStyleAndNoFile)
{
    const QString folder = library().graphicFolder(true);
    const auto files = folderContents(folder);
    const OrderedDictionary boldBefore = bold->fullProperties();
    const auto before = library().graphicStyles();

    editor.selectStyles({entry("Bold")});
    editor.settings()->setValueForKey(QVariant::fromValue(Color::blackColor()), FillKey);
    editor.restoreDefaultShadow();
    editor.renameStyle(editor.rowOfStyle(entry("Bold").get()), "Heavy");
    editor.selectStyles({entry("Plain")});
    editor.removeSelectedStyles();
    editor.addNewStyle();
    editor.cancel();

    EXPECT_FALSE(editor.isOpen());
    EXPECT_TRUE(editor.styles().isEmpty());
    EXPECT_EQ(library().graphicStyles(), before);
    EXPECT_EQ(bold->fullProperties(), boldBefore);
    EXPECT_EQ(folderContents(folder), files);
}

TEST_F(StyleEditors, SettingsActionsWriteThePickedStyle)
{
    editor.selectStyles({entry("Bold")});
    const auto style = entry("Bold");
    editor.restoreDefaultShadow();
    EXPECT_FLOAT_EQ(style->value(TWStyle::GraphicGroup, "shadowBlurRadius").toFloat(), 10.0f);
    EXPECT_FLOAT_EQ(style->value(TWStyle::GraphicGroup, "shadowOffsetWidth").toFloat(), 0.0f);
    EXPECT_FLOAT_EQ(style->value(TWStyle::GraphicGroup, "shadowOffsetHeight").toFloat(), -4.0f);
    EXPECT_EQ(style->value(TWStyle::GraphicGroup, "shadowColor").value<Color>(),
              Color::colorWithDeviceWhite(0.0, 0.75));

    const struct
    {
        bool on;
        bool present;
    } switches[] = {{true, true}, {false, false}, {true, true}};
    for (const auto &s : switches) {
        editor.switchEnableBranchOutlineNumberOverride(s.on);
        const QVariant value =
            style->value(TWStyle::BranchGroup, "childrenOutlineNumberFormatOverride");
        EXPECT_EQ(value.isValid(), s.present);
        if (s.present)
            EXPECT_TRUE(value.toList().isEmpty());
        EXPECT_EQ(editor.outlineOverrideSwitch()->isChecked(), s.present);
    }
}

TEST_F(StyleEditors, SetAsDefaultNeedsOnePickedStyleAndTheTickFollowsTheMap)
{
    const struct
    {
        QStringList picked;
        std::optional<QString> defaultName;
    } cases[] = {{{}, std::nullopt}, {{"Bold", "Plain"}, std::nullopt}, {{"Plain"}, "Plain"}};
    for (const auto &k : cases) {
        map->setDefaultGraphicStyle(nullptr);
        QList<std::shared_ptr<TWStyle>> picked;
        for (const QString &name : k.picked)
            picked << entry(name);
        editor.selectStyles(picked);
        editor.setAsDefault();
        EXPECT_EQ(map->defaultGraphicStyleID(),
                  k.defaultName ? std::optional<QString>(entry(*k.defaultName)->identifier())
                                : std::nullopt);
    }
    // Plain is the default: white tick while picked, black otherwise, none on Bold.
    const int boldRow = editor.rowOfStyle(entry("Bold").get());
    const int plainRow = editor.rowOfStyle(entry("Plain").get());
    EXPECT_EQ(editor.defaultTickColor(plainRow), QColor(Qt::white));
    EXPECT_EQ(editor.defaultTickColor(boldRow), std::nullopt);
    editor.selectStyles({entry("Bold")});
    EXPECT_EQ(editor.defaultTickColor(plainRow), QColor(Qt::black));
    EXPECT_EQ(editor.defaultTickColor(boldRow), std::nullopt);
}

TEST_F(StyleEditors, UpdatingExistingGraphicsAppliesTheEditedStyleOnYes)
{
    a->mainGraphic()->setStyleID(bold->identifier());
    for (int answer : {1, 0}) {
        editor.selectStyles({entry("Bold")});
        editor.settings()->setValueForKey(6, "graphic.strokeStyle");
        alerts.queueAlertResponse(answer);
        editor.updateExistingGraphics();
        EXPECT_EQ(a->mainGraphic()->strokeStyle(), answer == 0 ? 6 : 1) << answer;
        EXPECT_EQ(b->mainGraphic()->strokeStyle(), 1);
    }
}

TEST_F(StyleEditors, TheMapEditorDuplicatesSetsTheDefaultAndUpdatesMaps)
{
    auto sunny = TWStyle::create(TWStyle::MapStyle);
    sunny->setName("Sunny");
    sunny->setValue(TWStyle::MapGroup, "rainbowAngle", 1.0f);
    saved(sunny);
    map->setMapStyle(sunny);

    TWMapStyleEditor mapEditor;
    const auto named = [&mapEditor](const QString &name) -> std::shared_ptr<TWStyle> {
        for (const auto &style : mapEditor.styles())
            if (style->name() == name)
                return style;
        return nullptr;
    };
    mapEditor.editStyle(sunny);
    ASSERT_EQ(mapEditor.selectedStyle(), named("Sunny"));
    const qsizetype count = mapEditor.styles().size();
    mapEditor.duplicate();
    ASSERT_EQ(mapEditor.styles().size(), count + 1);
    ASSERT_TRUE(named("Sunny (Copy)"));
    EXPECT_EQ(mapEditor.selectedStyle(), named("Sunny (Copy)"));
    mapEditor.settings()->setValueForKey(2.0f, "map.rainbowAngle");
    EXPECT_FLOAT_EQ(named("Sunny")->value(TWStyle::MapGroup, "rainbowAngle").toFloat(), 1.0f);

    mapEditor.selectStyles({named("Sunny")});
    EXPECT_FALSE(mapEditor.isDefaultStyle(*named("Sunny")));
    mapEditor.setAsDefault();
    EXPECT_EQ(TWDefaultMapStyle::identifier(), sunny->identifier());
    EXPECT_TRUE(mapEditor.isDefaultStyle(*named("Sunny")));
    mapEditor.settings()->setValueForKey(3.0f, "map.rainbowAngle");
    mapEditor.updateExistingMaps(); // answered Yes by default
    EXPECT_FLOAT_EQ(map->rainbowAngle(), 3.0f);
    // Still only the working copy: the library's style is as it was.
    EXPECT_FLOAT_EQ(sunny->value(TWStyle::MapGroup, "rainbowAngle").toFloat(), 1.0f);
    mapEditor.cancel();
    EXPECT_FLOAT_EQ(library()
                        .mapStyleWithIdentifier(sunny->identifier())
                        ->value(TWStyle::MapGroup, "rainbowAngle")
                        .toFloat(),
                    1.0f);
}

TEST(TWFontViewTest, TheSampleNamesTheFontAndItsSizeDrawnAtTwelvePoints)
{
    const struct
    {
        Font font;
        QString text;
    } cases[] = {
        {Font("DejaVuSans", 24), "DejaVu Sans (24pt)"},
        {Font("DejaVuSans-Bold", 13.6), "DejaVu Sans Bold (14pt)"},
        {Font("NoSuchFontHere", 9), "NoSuchFontHere (9pt)"},
    };
    TWFontView view;
    for (const auto &k : cases) {
        OrderedDictionary attributes;
        attributes.setValue(NSFontAttributeName, QVariant::fromValue(k.font));
        view.setStringAttributes(attributes);
        EXPECT_EQ(view.sampleText(), k.text);
        EXPECT_DOUBLE_EQ(view.sampleFont().pointSizeF(), 12.0) << k.text.toStdString();
    }
}

TEST(TWFontViewTest, ChoicesAreWrittenToTheBoundKeyKeepingTheOtherAttribute)
{
    TWSelectedStyleSettings settings;
    auto style = TWStyle::create(TWStyle::GraphicStyle);
    settings.setStyle(style);
    TWFontView view;
    view.bind(&settings, "graphic.stringAttributes");
    EXPECT_EQ(view.font(), Font("Helvetica", 16));

    view.setFontColor(Color::colorWithCalibratedRed(0, 1, 0));
    QFont chosen("DejaVu Sans");
    chosen.setPointSizeF(20);
    chosen.setBold(true);
    view.changeFont(chosen);
    const auto stored =
        OrderedDictionary::fromVariant(style->value(TWStyle::GraphicGroup, "stringAttributes"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->value(NSFontAttributeName).value<Font>(), Font("DejaVuSans-Bold", 20));
    EXPECT_EQ(stored->value(NSForegroundColorAttributeName).value<Color>(),
              Color::colorWithCalibratedRed(0, 1, 0));
    EXPECT_EQ(view.fontColor(), Color::colorWithCalibratedRed(0, 1, 0));
}

} // namespace
