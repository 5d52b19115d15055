#include "TWMapTestSupport.h"
#include "model/TWFileIO.h"

using namespace MapTest;

namespace {

PackageData packageWithContents(const QByteArray &contents)
{
    return {{TWMapsDoc::ContentsPath, contents}, {TWFileIO::fileVersionPath, "4.1"}};
}

QByteArray contentsWithMaps(const QByteArray &rootChildren, const QByteArray &maps)
{
    return "<TWMapsDoc><currentMapNumber>0</currentMapNumber>" + rootChildren + "<maps>" + maps +
           "</maps></TWMapsDoc>";
}

class TWMapElementTest : public MapFixture
{
protected:
    std::shared_ptr<TWMapsDoc> load(const PackageData &data)
    {
        auto loaded = TWMapsDoc::createWithDictionary(data, false);
        EXPECT_NE(loaded, nullptr);
        return loaded;
    }
    QString file(const QString &name) const { return tempDir.filePath(name); }
};

TEST_F(TWMapElementTest, EverySettingWrittenReadsBack)
{
    auto map = addMap();
    const QList<std::pair<const char *, QVariant>> changes = {
        {"outlineFormatSettings", QStringList{"Numeric", "Lower case roman"}},
        {"outlineFont", QVariant::fromValue(Font("Times-Roman", 9))},
        {"childOutlineNumberingTopDown", false},
        {"branchHideLevel", 4},
        {"backgroundColor", QVariant::fromValue(Color::colorWithCalibratedRed(0.1, 0.2, 0.3))},
        {"backgroundImageFilename", "Images/B7/back.tiff"},
        {"backgroundImageOpacity", 0.5f},
        {"backgroundImageTileMode", 2},
        {"backgroundImageOffset", QVariant::fromValue(Point(5, -6))},
        {"backgroundImageSize", QVariant::fromValue(Size(320, 200))},
        {"mapName", "Garden"},
        {"scaleAmount", 75.0f},
        {"firstLevelSpacing", 90},
        {"interChildSpacing", 20},
        {"repelDistance", 15},
        {"defaultGraphicColor", QVariant::fromValue(Color::colorWithCalibratedRed(1, 1, 0))},
        {"defaultStrokeColor", QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1))},
        {"graphicColoringMode", 3},
        {"rainbowSaturation", 0.75f},
        {"rainbowAngle", 30.0f},
        {"isSceneContNoSwitch", false},
        {"isSwDialogueAutoChar", false},
        {"isSwDialogueBOPage", false},
        {"isSwDialogueTONPage", false},
        {"isSwSceneBOPage", false},
        {"isSwSceneTONPage", false},
        {"swDialogueBOPageText", "(mehr)"},
        {"swDialogueTONPageText", "(weiter)"},
        {"swSceneBOPageText", "(FORTSETZUNG)"},
        {"swSceneTONPageText", "FORTSETZUNG:"},
        {"showAttachedGraphics", false},
        {"showBoundaries", false},
        {"showLinkLines", false},
        {"showOutlineNumbers", true},
        {"showShadows", false},
        {"showCollapseSign", true},
        {"showCheckboxes", false},
        {"showPercentComplete", false},
        {"showPriorities", false},
        {"showSWTextIndicators", false},
        {"showTextIndicators", false},
        {"textMaxWidthSet", true},
        {"textMaxWidth", 140.0f},
        {"continuousSpellCheck", false},
        {"automaticCheckBoxes", false},
        {"layoutAssistanceMode", 1},
        {"orderingMode", 3},
        {"outlineNumbersToLevel", 2},
        {"printSetupDictionary",
         QVariant::fromValue(OrderedDictionary{{"leftMargin", 10}, {"frameWidth", 2}})},
    };
    for (const auto &[key, value] : changes)
        ASSERT_TRUE(map->setMapValue(value, key)) << key;
    map->setZoomAmount(150);
    map->setCachedVisibleRect(Rect(10, 20, 300, 400));
    map->setNeedsAutoLayout(true);
    map->setThemeID(QString("T-1"));
    map->setMapStyleID(QString("S-1"));
    map->setDefaultGraphicStyleID(QString("G-1"));
    map->setCanvasSize(Size(900, 700));

    const XMLElement element = map->freshXMLElementEmbeddingBinaryData(false);
    auto read = TWMap::createWithXMLElement(element, document.get(), TWMap::Identifier::KeepStored);
    ASSERT_NE(read, nullptr);
    for (const QString &key : TWMap::settingKeys()) {
        if (key != "showResourcesAllocated") { // not stored
            EXPECT_EQ(read->valueForKey(key), map->valueForKey(key)) << key.toStdString();
        }
    }
    EXPECT_EQ(read->identifier(), map->identifier());
    EXPECT_EQ(read->zoomAmount(), 150);
    EXPECT_EQ(read->cachedVisibleRect(), Rect(10, 20, 300, 400));
    EXPECT_TRUE(read->needsAutoLayout());
    EXPECT_EQ(read->themeID(), QString("T-1"));
    EXPECT_EQ(read->mapStyleID(), QString("S-1"));
    EXPECT_EQ(read->defaultGraphicStyleID(), QString("G-1"));
    EXPECT_EQ(read->canvasSize(), Size(900, 700));
    EXPECT_TRUE(read->backgroundSettingsEnabled());

    // Written twice, the text holds still.
    EXPECT_EQ(read->liveXMLElement().xmlString(), read->liveXMLElement().xmlString());
}

TEST_F(TWMapElementTest, OnlyALoadedDocumentKeepsTheStoredIdentifier)
{
    const XMLElement element = XMLElement::parse("<TWMap><identifier>KEEP-ME</identifier>"
                                                 "<scaleAmount>0.000000</scaleAmount></TWMap>");
    auto kept = TWMap::createWithXMLElement(element, document.get(), TWMap::Identifier::KeepStored);
    EXPECT_EQ(kept->identifier(), "KEEP-ME");
    EXPECT_EQ(kept->scaleAmount(), 100);
    EXPECT_EQ(kept->zoomAmount(), 100);
    auto duplicate =
        TWMap::createWithXMLElement(element, document.get(), TWMap::Identifier::MakeNew);
    EXPECT_NE(duplicate->identifier(), "KEEP-ME");
    EXPECT_EQ(duplicate->liveXMLElement().stringForPath(u"identifier"), duplicate->identifier());
    auto unnamed = TWMap::createWithXMLElement(XMLElement::parse("<TWMap/>"), document.get(),
                                               TWMap::Identifier::KeepStored);
    EXPECT_FALSE(unnamed->storedIdentifier().has_value());
    // Never written without one.
    EXPECT_FALSE(unnamed->liveXMLElement().stringForPath(u"identifier").value_or("").isEmpty());
    EXPECT_EQ(TWMap::createWithXMLElement(XMLElement::parse("<map/>"), document.get(),
                                          TWMap::Identifier::KeepStored),
              nullptr);
}

TEST_F(TWMapElementTest, ValuesMarkedAsNotSetComeFromTheDocument)
{
    struct Case
    {
        QByteArray mapChildren;
        const char *key;
        QVariant expected;
    };
    const QByteArray rootChildren =
        "<showingLinks>NO</showingLinks><layoutAssistanceMode>3</layoutAssistanceMode>"
        "<rainbowSaturation>0.300000</rainbowSaturation><hidePriorities>YES</hidePriorities>"
        "<showCollapseSign>YES</showCollapseSign><textMaxWidthSet>YES</textMaxWidthSet>"
        "<textMaxWidth>77.000000</textMaxWidth>"
        "<outlineFormatSettings><string>Upper case roman</string></outlineFormatSettings>";
    const Case cases[] = {
        {"<showingLinks>-1</showingLinks>", "showLinkLines", false},
        {"<showingLinks>2</showingLinks>", "showLinkLines", false},
        {"<showingLinks>YES</showingLinks>", "showLinkLines", true},
        {"<layoutAssistanceMode>-1</layoutAssistanceMode>", "layoutAssistanceMode", 3},
        {"<layoutAssistanceMode>2</layoutAssistanceMode>", "layoutAssistanceMode", 2},
        {"<rainbowSaturation>-1.500000</rainbowSaturation>", "rainbowSaturation", 0.3f},
        {"<rainbowSaturation>-2.000000</rainbowSaturation>", "rainbowSaturation", -2.0f},
        {"<rainbowSaturation>-0.500000</rainbowSaturation>", "rainbowSaturation", -0.5f},
        {"<hidePriorities>-1</hidePriorities>", "showPriorities", false},
        {"", "showCollapseSign", true},
        {"<showCollapseSign>NO</showCollapseSign>", "showCollapseSign", false},
        {"<textMaxWidthSet>2</textMaxWidthSet><textMaxWidth>5.0</textMaxWidth>", "textMaxWidth",
         77.0f},
        {"", "outlineFormatSettings", QStringList{"Upper case roman"}},
        {"<outlineFormatSettings><string>Numeric</string><string/></outlineFormatSettings>",
         "outlineFormatSettings", QStringList{"Numeric"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mapChildren.toStdString());
        auto loaded = load(packageWithContents(
            contentsWithMaps(rootChildren, "<map><TWMap>" + c.mapChildren + "</TWMap></map>")));
        ASSERT_EQ(loaded->countOfMaps(), 1);
        EXPECT_EQ(loaded->maps().at(0)->valueForKey(c.key), c.expected);
    }
}

// An ordering mode the sibling order does not know, from a file, an old
// document or a style, is taken as the default rather than kept.
TEST_F(TWMapElementTest, AnUnknownOrderingModeReadsAsTheDefault)
{
    struct Case
    {
        QByteArray rootChildren, mapChildren;
        int expected;
    };
    const Case cases[] = {
        {"", "", 1},
        {"", "<orderingMode>0</orderingMode>", 1},
        {"", "<orderingMode>7</orderingMode>", 1},
        {"<orderingMode>9</orderingMode>", "<orderingMode>-1</orderingMode>", 1},
        {"<orderingMode>4</orderingMode>", "<orderingMode>-1</orderingMode>", 4},
        {"", "<orderingMode>3</orderingMode>", 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rootChildren.toStdString() + c.mapChildren.toStdString());
        auto loaded = load(packageWithContents(
            contentsWithMaps(c.rootChildren, "<map><TWMap>" + c.mapChildren + "</TWMap></map>")));
        ASSERT_EQ(loaded->countOfMaps(), 1);
        EXPECT_EQ(loaded->maps().at(0)->orderingMode(), c.expected);
    }
    // Old documents and styles set it by key.
    const std::shared_ptr<TWMap> map = addMap();
    for (const int mode : {0, 5, -2}) {
        map->setMapValue(2, QStringLiteral("orderingMode"));
        map->setMapValue(mode, QStringLiteral("orderingMode"));
        EXPECT_EQ(map->orderingMode(), 1) << mode;
    }
}

TEST_F(TWMapElementTest, ARootLevelBackgroundPictureSurvivesASave)
{
    const QString picture = "Images/DocumentBackground3/ExtractedImage.tiff";
    const QByteArray rootChildren =
        "<backgroundImageFilename>" + picture.toUtf8() +
        "</backgroundImageFilename><backgroundImageOpacity>0.400000</backgroundImageOpacity>";
    PackageData data = packageWithContents(contentsWithMaps(
        rootChildren, "<map><TWMap><identifier>M-1</identifier>"
                      "<useMyOwnBackgroundSettings>NO</useMyOwnBackgroundSettings>"
                      "<backgroundImageFilename>Images/Stale/old.tiff</backgroundImageFilename>"
                      "</TWMap></map>"));
    data.insert(picture, QByteArray("picture bytes"));
    auto loaded = load(data);
    ASSERT_NE(loaded, nullptr);
    const auto map = loaded->maps().at(0);
    EXPECT_EQ(map->backgroundImageFilename(), picture);
    EXPECT_EQ(map->backgroundImageOpacity(), 0.4f);
    EXPECT_TRUE(loaded->hasIdentifier(picture));

    ASSERT_EQ(loaded->saveToFile(file("background.tweb")), TWFileIO::SaveSucceeded);
    int error = -1;
    auto again = TWMapsDoc::loadFromFile(file("background.tweb"), false, &error);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->objectForKeyInCachedData(picture), QByteArray("picture bytes"));
    EXPECT_EQ(again->maps().at(0)->backgroundImageFilename(), picture);
    EXPECT_TRUE(again->maps().at(0)->backgroundSettingsEnabled());
}

TEST_F(TWMapElementTest, ACopiedDocumentSavedKeepsIdentifiersAndPreviews)
{
    PackageData data = packageWithContents(
        contentsWithMaps({}, "<map><TWMap><identifier>MAP-A</identifier></TWMap></map>"
                             "<map><TWMap><identifier>MAP-B</identifier></TWMap></map>"));
    data.insert("Images/MapPreviews/MAP-A.png", QByteArray("preview a"));
    data.insert("Images/MapPreviews/MAP-B.png", QByteArray("preview b"));
    auto loaded = load(data);
    ASSERT_NE(loaded, nullptr);

    auto copy = loaded->copy();
    ASSERT_EQ(copy->saveToFile(file("copy.tweb")), TWFileIO::SaveSucceeded);
    int error = -1;
    auto reread = TWMapsDoc::loadFromFile(file("copy.tweb"), false, &error);
    ASSERT_NE(reread, nullptr);
    ASSERT_EQ(reread->countOfMaps(), 2);
    EXPECT_EQ(reread->maps().at(0)->identifier(), "MAP-A");
    EXPECT_EQ(reread->maps().at(1)->identifier(), "MAP-B");
    EXPECT_EQ(reread->objectForKeyInCachedData("Images/MapPreviews/MAP-A.png"),
              QByteArray("preview a"));
    EXPECT_EQ(reread->objectForKeyInCachedData("Images/MapPreviews/MAP-B.png"),
              QByteArray("preview b"));
}

TEST_F(TWMapElementTest, PackagePathsComeFromTheMapsGraphicsAndBranches)
{
    auto map = addMap();
    auto a = branch(map, map->root(), "a");
    a->mainGraphic()->setImageFilename(QString("Images/Graphic1/a.png"));
    a->enclosedTextArea()->setMoviePath(QString("Images/Graphic2/m.mov"));
    a->setSoundFileName(QString("Sounds/Branch1/s.aiff"));
    map->setBackgroundImageFilename(QString("Images/Back/b.pdf"));
    for (const char *path : {"Images/Graphic1/a.png", "Images/Graphic2/m.mov",
                             "Sounds/Branch1/s.aiff", "Images/Back/b.pdf"})
        EXPECT_TRUE(document->hasIdentifier(path)) << path;
    EXPECT_TRUE(document->hasIdentifier(map->previewPath()));
    EXPECT_FALSE(document->hasIdentifier("Images/Graphic9/gone.png"));
    // Once the branch is gone, so is what it names.
    a->remove();
    EXPECT_FALSE(document->hasIdentifier("Images/Graphic1/a.png"));
    EXPECT_FALSE(document->hasIdentifier("Sounds/Branch1/s.aiff"));
}

TEST_F(TWMapElementTest, EachStoredBranchCountsOnceOnTheLoadingProgress)
{
    BranchTest::Recorder recorder(
        {TWMapsDoc::StartLoadingCountNotification, TWMapsDoc::IncrementLoadingNotification});
    load(packageWithContents(contentsWithMaps(
        {}, "<map><TWMap><root>" +
                MapsDocTest::branchElement(1, "<children>" + MapsDocTest::branchElement(2) +
                                                  MapsDocTest::branchElement(3) + "</children>") +
                "</root></TWMap></map>")));
    ASSERT_FALSE(recorder.notifications.isEmpty());
    EXPECT_EQ(recorder.notifications.at(0).userInfo.value(TWMapsDoc::CountKey).toInt(), 3);
    EXPECT_EQ(recorder.count(TWMapsDoc::IncrementLoadingNotification), 3);
}

} // namespace
