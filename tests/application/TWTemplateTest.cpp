#include "DocumentTestSupport.h"
#include "application/TWTemplate.h"
#include "application/TWTemplateSelectorPanelController.h"
#include "graphics/TWTextArea.h"
#include "interface/TWInputPanel.h"
#include "palettes/TWThemePanels.h"
#include "support/XMLElement.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

struct MapRecipe
{
    std::optional<QString> name;
    QString rootText;
};

// A template file of one map per recipe, in order.
void writeTemplate(const QString &path, const QList<MapRecipe> &maps)
{
    auto document = TWMapsDoc::create();
    for (const MapRecipe &recipe : maps) {
        auto map = TWMap::create(document.get());
        document->addMap(map, true);
        map->setName(recipe.name);
        map->root()->enclosedTextArea()->setString(recipe.rootText);
    }
    ASSERT_EQ(TWFileIO::saveDocument(*document, path), TWFileIO::SaveSucceeded);
    document->detach();
}

// Runs `step` once the next modal loop has started.
void whenModal(std::function<void()> step)
{
    QTimer::singleShot(0, std::move(step));
}

QPushButton *buttonNamed(QWidget *panel, const char *name)
{
    for (QPushButton *b : panel->findChildren<QPushButton *>(QString::fromLatin1(name))) {
        if (b->isVisible())
            return b;
    }
    return nullptr;
}

class Templates : public DocumentTest
{
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        QDir().mkpath(standardFolder());
        QDir().mkpath(customFolder());
    }
    QString standardFolder() const { return dir.filePath("standard"); }
    QString customFolder() const { return dir.filePath("custom"); }
};

TEST_F(Templates, AGroupHoldsOneTemplatePerMapNamedByNameRootTextOrUntitled)
{
    const QString path = standardFolder() + "/Business.twtemplate";
    writeTemplate(path,
                  {{QString("Plan"), "ignored"}, {QString(""), "Root words"}, {std::nullopt, ""}});
    auto group = TWTemplateGroup::initWithContentsOfFile(path);
    EXPECT_EQ(group->name, "Business");
    QStringList names;
    for (const auto &entry : group->templates) {
        names << entry->name;
        EXPECT_FALSE(entry->identifier.isEmpty());
        EXPECT_EQ(entry->previewImage.size(), QSize(640, 480));
        EXPECT_TRUE(XMLElement::parse(entry->mapXMLData).name() == QLatin1String("TWMap"));
    }
    EXPECT_EQ(names, (QStringList{"Plan", "Root words", "Untitled"}));
    for (const QString &key : group->cachedData.keys()) {
        EXPECT_NE(key, "Thinkweb/Contents.xml");
        EXPECT_FALSE(key.startsWith("Images/MapPreviews/")) << key.toStdString();
    }

    // Unreadable files give an empty group, never a failure.
    QFile broken(standardFolder() + "/Broken.TWTEMPLATE");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no archive");
    broken.close();
    writeTemplate(standardFolder() + "/Ordinary.tweb", {{QString("Other"), ""}});
    const auto groups = TWTemplateController::templateGroupsInFolder(standardFolder());
    QStringList listed;
    for (const auto &g : groups)
        listed << QString("%1:%2").arg(g.get()->name).arg(g->templates.size());
    EXPECT_EQ(listed, (QStringList{"Broken:0", "Business:3"}));
    EXPECT_TRUE(TWTemplateController::templateGroupsInFolder(dir.filePath("missing")).isEmpty());
}

TEST_F(Templates, FramedPreviewsAndTheirMonochromeVersion)
{
    QImage red(40, 30, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QImage framed = TWTemplate::templateImageFromPreviewImage(red, QSize(640, 480), "T");
    ASSERT_EQ(framed.size(), QSize(640, 480));
    // The picture fills the area above the title strip; the frame line is white under the tint.
    const QColor inside = framed.pixelColor(320, 200);
    EXPECT_GT(inside.red(), 180);
    EXPECT_LT(inside.green(), 60);
    const QColor corner = framed.pixelColor(2, 2);
    EXPECT_LT(corner.red(), 100);
    EXPECT_GT(corner.blue(), 180);
    const QColor frameLine = framed.pixelColor(320, 480 - 8 - 80);
    EXPECT_GT(frameLine.green(), 200);
    const QImage grey = TWTemplate::imageWithEffectsAppliedToImage(framed);
    ASSERT_EQ(grey.size(), framed.size());
    const QColor g = grey.pixelColor(320, 200);
    EXPECT_EQ(g.red(), g.green());
    EXPECT_EQ(g.green(), g.blue());
}

TEST_F(Templates, TemplateNamesAreMadeSafeAsFileNames)
{
    const struct
    {
        QString typed;
        std::optional<QString> fileName;
    } cases[] = {
        {"Weekly plan", QString("Weekly plan")},
        {"../../etc/passwd", QString("-..-etc-passwd")},
        {".hidden", QString("hidden")},
        {"  ...  ", std::nullopt},
        {"", std::nullopt},
        {"a/b\\c:d", QString("a-b-c-d")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        EXPECT_EQ(TWTemplateController::sanitizedTemplateName(c.typed), c.fileName);
    }
}

TEST_F(Templates, SavingAsTemplateAsksBeforeReplacingAndLeavesTheDocumentAlone)
{
    TWTemplateController controller(standardFolder(), customFolder());
    TWDocument *document = untitled();
    TWMapsDoc &maps = *document->mapsDocument();
    maps.currentMap()->setName(QString("Kept"));
    const int revision = maps.revisionNumber();
    const auto saveDate = maps.lastSaveDate();

    using R = TWTemplateController::SaveResult;
    const struct
    {
        QString name;
        std::optional<int> answer; // to the replace alert
        R result;
        int alerts;
    } cases[] = {
        {"Mine", std::nullopt, R::Saved, 0},
        {"Mine", 1, R::Cancelled, 1}, // Cancel keeps the old file
        {"Mine", 0, R::Saved, 1},
        {" . ", std::nullopt, R::InvalidName, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const int before = alerts.alerts().size();
        if (c.answer)
            alerts.queueAlertResponse(*c.answer);
        EXPECT_EQ(controller.saveMapsDocumentAsTemplate(maps, c.name), c.result);
        EXPECT_EQ(alerts.alerts().size() - before, c.alerts);
        EXPECT_EQ(maps.revisionNumber(), revision);
        EXPECT_EQ(maps.lastSaveDate(), saveDate);
    }
    EXPECT_EQ(QDir(customFolder()).entryList(QDir::Files), QStringList{"Mine.twtemplate"});
    ASSERT_EQ(controller.customTemplateGroups().size(), 1);
    EXPECT_EQ(controller.customTemplateGroups()[0]->templates[0]->name, "Kept");
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(Templates, TheInputPanelRefusesEmptyTextAndStartsFromTheGivenText)
{
    TWInputPanel panel;
    const struct
    {
        QString initial;
        QString typed;
        bool cancel;
        int result;
        QString text;
    } cases[] = {
        {"", "Trip", false, TWInputPanel::OK, "Trip"},
        {"Start", "", false, TWInputPanel::OK, "Start"}, // untouched initial text
        {"Start", "Typed", true, TWInputPanel::Cancel, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        bool sawInitial = false;
        bool emptyRefused = true;
        whenModal([&] {
            sawInitial = panel.textField()->text() == c.initial;
            // OK with an empty field leaves the panel up.
            panel.textField()->clear();
            QTest::mouseClick(panel.okButton(), Qt::LeftButton);
            emptyRefused = panel.panel()->isVisible();
            panel.textField()->setText(c.typed.isEmpty() ? c.initial : c.typed);
            QTest::mouseClick(c.cancel ? panel.cancelButton() : panel.okButton(), Qt::LeftButton);
        });
        EXPECT_EQ(panel.runInputPanelWithTitle("Save Template As", c.initial), c.result);
        EXPECT_TRUE(sawInitial);
        EXPECT_TRUE(emptyRefused);
        EXPECT_EQ(panel.panel()->windowTitle(), "Save Template As");
        if (!c.cancel)
            EXPECT_EQ(panel.inputString(), c.text);
    }
}

class Chooser : public Templates
{
protected:
    void SetUp() override
    {
        Templates::SetUp();
        writeTemplate(standardFolder() + "/Basic.twtemplate",
                      {{QString("One"), ""}, {QString("Two"), ""}});
        auto theme = std::make_shared<TWTheme>();
        theme->name = "Only";
        theme->identifier = TWTheme::DefaultThemeIdentifier;
        ASSERT_TRUE(theme->writeToFile(themesFolder() + "/" + theme->identifier + ".TWTheme"));
    }
    QString themesFolder() const
    {
        QDir().mkpath(dir.filePath("themes"));
        return dir.filePath("themes");
    }

    TWTemplateController templates{standardFolder(), customFolder()};
    TWThemeManager themes{themesFolder(), dir.filePath("customThemes")};
};

TEST_F(Chooser, ButtonsAndDoubleClicksGiveTheThreeResults)
{
    TWTemplateSelectorPanelController chooser(&templates, &themes);
    QDialog *panel = chooser.templateSelectorPanel();
    const auto press = [panel](const char *name) {
        QPushButton *b = buttonNamed(panel, name);
        ASSERT_TRUE(b) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    };
    const struct
    {
        const char *label;
        std::function<void()> steps;
        int result;
    } cases[] = {
        {"next, done",
         [&] {
             press("templateNext");
             press("done");
         },
         1},
        {"next, no theme",
         [&] {
             press("templateNext");
             press("noTheme");
         },
         2},
        {"cancel", [&] { press("cancel"); }, 0},
        {"next, previous, cancel",
         [&] {
             press("templateNext");
             press("themePrevious");
             EXPECT_FALSE(chooser.showsThemeView());
             press("cancel");
         },
         0},
        {"double clicks",
         [&] {
             chooser.ok(chooser.templatePreviewGrid());
             EXPECT_TRUE(chooser.showsThemeView());
             chooser.ok(chooser.themePreviewGrid());
         },
         1},
        // Escape after a finished run is a cancel, not the last result.
        {"escape", [&] { QTest::keyClick(panel, Qt::Key_Escape); }, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        whenModal(c.steps);
        EXPECT_EQ(chooser.runModalSheetForWindow(nullptr), c.result);
        EXPECT_EQ(chooser.panelResult(), c.result);
        EXPECT_FALSE(panel->isVisible());
    }
    ASSERT_TRUE(chooser.selectedTemplateGroup());
    EXPECT_EQ(chooser.selectedTemplateGroup()->name, "Basic");
    EXPECT_EQ(chooser.selectedTemplate()->name, "One");
    EXPECT_EQ(chooser.selectedTheme()->name, "Only");
}

TEST_F(Chooser, PreviewSizeDefaultsResizeBothGridsAtOnce)
{
    TWTemplateSelectorPanelController chooser(&templates, &themes);
    chooser.templateSelectorPanel();
    EXPECT_FALSE(chooser.templatePreviewGrid()->drawTitle());
    const struct
    {
        double size;
        QSizeF templates;
    } cases[] = {{100, {100, 75}}, {200, {200, 150}}};
    for (const auto &c : cases) {
        defaults.setDouble(c.size, TWTemplateSelectorPanelController::TemplatePreviewSizeKey);
        defaults.setDouble(c.size, TWTemplateSelectorPanelController::ThemePreviewSizeKey);
        EXPECT_FLOAT_EQ(chooser.templatePreviewGrid()->previewWidth(), c.templates.width());
        EXPECT_FLOAT_EQ(chooser.templatePreviewGrid()->previewHeight(), c.templates.height());
        EXPECT_FLOAT_EQ(chooser.themePreviewGrid()->previewWidth(), c.size);
        EXPECT_FLOAT_EQ(chooser.themePreviewGrid()->previewHeight(), c.size);
    }
}

TEST_F(Chooser, ANewMapComesFromTheTemplateWithOrWithoutItsTheme)
{
    auto &shared = TWTemplateSelectorPanelController::sharedTemplateSelectorPanelController();
    shared.setLibraries(&templates, &themes);
    TWDocument *document = untitled();
    TWMapsDoc *maps = document->mapsDocument();
    const struct
    {
        const char *button;
        bool themed;
    } cases[] = {{"done", true}, {"noTheme", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.button);
        const int before = maps->countOfMaps();
        whenModal([&] {
            QDialog *panel = shared.templateSelectorPanel();
            QTest::mouseClick(buttonNamed(panel, "templateNext"), Qt::LeftButton);
            QTest::mouseClick(buttonNamed(panel, c.button), Qt::LeftButton);
        });
        document->addMapUsingTemplate(true);
        ASSERT_EQ(maps->countOfMaps(), before + 1);
        const auto made = maps->currentMap();
        EXPECT_EQ(maps->currentMapNumber(), before);
        EXPECT_EQ(made->mapName(), "One");
        EXPECT_NE(made->identifier(), templates.allTemplateGroups()[0]->templates[0]->identifier);
        EXPECT_EQ(made->themeID().has_value(), c.themed);
    }
    shared.setLibraries(nullptr, nullptr);
    TWThemeManager::sharedThemeManager().removeTheme(TWTheme::DefaultThemeIdentifier);
    TWThemeManager::sharedThemeManager().reloadStandardThemes();
}

TEST_F(Templates, PackageEntriesOfATemplateNeverReplaceTheDocumentsOwn)
{
    TWDocument *document = untitled();
    TWMapsDoc &maps = *document->mapsDocument();
    maps.setObjectInCachedData(QByteArray("mine"), "Images/Graphic1/picture.png");
    maps.setObjectInCachedData(QByteArray("same"), "Images/Graphic2/same.png");
    maps.setObjectInCachedData(QByteArray("taken"), "Images/Graphic1/picture-2.png");
    XMLElement map = XMLElement::parse(
        "<TWMap><root><TWGraphic><imageFilename>Images/Graphic1/picture.png</imageFilename>"
        "</TWGraphic><TWGraphic><imageFilename>Images/Graphic2/same.png</imageFilename>"
        "</TWGraphic><TWGraphic><imageFilename>Images/New/fresh.png</imageFilename>"
        "</TWGraphic></root></TWMap>");
    const PackageData incoming{{"Images/Graphic1/picture.png", "theirs"},
                               {"Images/Graphic2/same.png", "same"},
                               {"Images/New/fresh.png", "fresh"}};
    TWTemplateGroup::mergeCachedData(maps, incoming, map);

    const struct
    {
        QString path;
        QByteArray bytes;
    } stored[] = {
        {"Images/Graphic1/picture.png", "mine"},     {"Images/Graphic1/picture-2.png", "taken"},
        {"Images/Graphic1/picture-3.png", "theirs"}, {"Images/Graphic2/same.png", "same"},
        {"Images/New/fresh.png", "fresh"},
    };
    for (const auto &s : stored)
        EXPECT_EQ(maps.objectForKeyInCachedData(s.path), s.bytes) << s.path.toStdString();
    QStringList references;
    for (const XMLElement &graphic : map.elementForName(u"root").elementsForName(u"TWGraphic"))
        references << graphic.stringForPath(u"imageFilename").value_or(QString());
    EXPECT_EQ(references, (QStringList{"Images/Graphic1/picture-3.png", "Images/Graphic2/same.png",
                                       "Images/New/fresh.png"}));
}

} // namespace
