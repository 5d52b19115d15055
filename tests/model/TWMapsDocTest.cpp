#include "TWMapsDocTestSupport.h"
#include "model/TWAttachedTextCategory.h"
#include "model/TWResource.h"

using namespace MapsDocTest;

namespace {

class TWMapsDocTest : public MapsDocFixture
{
protected:
    void closeStep() { undo->closeEventGroup(); }

    std::shared_ptr<TWMapsDoc> documentWithUndo()
    {
        auto document = TWMapsDoc::create();
        document->setUndoManager(undo);
        return document;
    }

    static std::shared_ptr<TWResource> resourceNamed(const QString &name)
    {
        auto resource = std::make_shared<TWResource>();
        resource->setResourceName(name);
        return resource;
    }
};

// --- defaults ---

TEST_F(TWMapsDocTest, DefaultsComeFromTheSettersAndPreferences)
{
    defaults.setInteger(5, TWPreferences::InitialBranchTypeKey);
    defaults.setInteger(3, TWPreferences::InitialAttachedGraphicTypeKey);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);

    auto document = TWMapsDoc::create();
    EXPECT_EQ(document->creator(), QString());
    EXPECT_EQ(document->organization(), QString());
    EXPECT_EQ(document->comments(), std::nullopt);
    EXPECT_EQ(document->filename(), std::nullopt);
    EXPECT_EQ(document->lastSaveDate(), std::nullopt);
    ASSERT_TRUE(document->creationDate().has_value());
    EXPECT_GE(document->creationDate()->instant(), before);
    EXPECT_EQ(document->revisionNumber(), 0);
    EXPECT_EQ(document->graphicClassIdentifier(), 5);
    EXPECT_EQ(document->attachedGraphicClassIdentifier(), 3);
    EXPECT_FALSE(document->showPageFrames());
    EXPECT_TRUE(document->hasHtmlSetupDictionary());
    EXPECT_TRUE(document->htmlSetupDictionary().isEmpty());
    EXPECT_EQ(document->liveXMLElement().name(), "TWMapsDoc");
    EXPECT_EQ(document->liveXMLElement().childElementCount(), 0);
}

TEST_F(TWMapsDocTest, PageFramesFromThePreferencePostTheirNotification)
{
    defaults.setBool(true, TWPreferences::ShowPageFramesWhenCreatingDocumentsKey);
    EventLog log;
    NotificationRecorder recorder(log, {TWMapsDoc::PageFramesVisibilityChangedNotification});
    auto document = TWMapsDoc::create();
    EXPECT_TRUE(document->showPageFrames());
    ASSERT_EQ(recorder.notifications().size(), 1);
    EXPECT_EQ(recorder.notifications().at(0).sender, document.get());
}

// --- scalar setters ---

TEST_F(TWMapsDocTest, MetadataSettersRegisterTheirInverseAndName)
{
    auto document = documentWithUndo();
    document->setCreator(QStringLiteral("Ann"));
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Update document meta-data");
    document->setOrganization(QStringLiteral("Works"));
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Update document meta-data");
    document->setComments(QStringLiteral("notes"));
    closeStep();
    EXPECT_EQ(undo->undoActionName(), QString());

    undo->undo();
    EXPECT_EQ(document->comments(), std::nullopt);
    undo->undo();
    EXPECT_EQ(document->organization(), QString());
    undo->undo();
    EXPECT_EQ(document->creator(), QString());
    undo->redo();
    EXPECT_EQ(document->creator(), QStringLiteral("Ann"));
}

TEST_F(TWMapsDocTest, UnchangedValuesRegisterNothing)
{
    auto document = documentWithUndo();
    document->setCreator(QString());
    document->setRevisionNumber(0);
    document->setShowPageFrames(false);
    document->setGraphicClassIdentifier(document->graphicClassIdentifier());
    document->setCreationDate(document->creationDate());
    document->setHtmlSetupDictionary(OrderedDictionary());
    closeStep();
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWMapsDocTest, NumbersAndDatesAreUndoable)
{
    auto document = documentWithUndo();
    const CalendarDate date =
        *CalendarDate::dateWithYear(2020, 2, 29, 12, 0, 0, *TimeZone::timeZoneWithName("UTC"));
    document->setRevisionNumber(4);
    document->setLastSaveDate(date);
    document->setFilename(QStringLiteral("/tmp/a.tweb"));
    closeStep();
    undo->undo();
    EXPECT_EQ(document->revisionNumber(), 0);
    EXPECT_EQ(document->lastSaveDate(), std::nullopt);
    EXPECT_EQ(document->filename(), std::nullopt);
    undo->redo();
    EXPECT_EQ(document->revisionNumber(), 4);
    EXPECT_EQ(document->lastSaveDate(), date);
}

TEST_F(TWMapsDocTest, PageFramesSetterNamesAndPosts)
{
    auto document = documentWithUndo();
    EventLog log;
    NotificationRecorder recorder(log, {TWMapsDoc::PageFramesVisibilityChangedNotification});
    document->setShowPageFrames(true);
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Show/hide page frames");
    EXPECT_EQ(recorder.notifications().size(), 1);
    undo->undo();
    EXPECT_FALSE(document->showPageFrames());
    EXPECT_EQ(recorder.notifications().size(), 2);
}

TEST_F(TWMapsDocTest, KeyValueAccessRunsTheSetters)
{
    auto document = documentWithUndo();
    EXPECT_TRUE(document->setMDValue(QStringLiteral("Bo"), "creator"));
    EXPECT_TRUE(document->setMDValue(7, "revisionNumber"));
    EXPECT_TRUE(document->setMDValue(true, "showPageFrames"));
    closeStep();
    EXPECT_EQ(document->creator(), QStringLiteral("Bo"));
    EXPECT_EQ(document->valueForKey("revisionNumber").toInt(), 7);
    EXPECT_TRUE(document->valueForKey("showPageFrames").toBool());

    EXPECT_TRUE(document->setMDValue(QVariant(), "creator"));
    EXPECT_EQ(document->creator(), std::nullopt);
    EXPECT_FALSE(document->valueForKey("creator").isValid());

    WarningCapture warnings;
    EXPECT_FALSE(document->setMDValue(1, "noSuchKey"));
    EXPECT_FALSE(warnings.lines().isEmpty());

    undo->undo();
    undo->undo();
    EXPECT_EQ(document->creator(), QString());
    EXPECT_EQ(document->revisionNumber(), 0);
    EXPECT_FALSE(document->showPageFrames());
}

// --- lists ---

TEST_F(TWMapsDocTest, KeywordsAreUndoableButRemovingAllIsNot)
{
    auto document = documentWithUndo();
    const TWMapsDoc::Keyword alpha{{"keyword", "alpha"}};
    const TWMapsDoc::Keyword beta{{"keyword", "beta"}};
    document->insertObjectInKeywordsAtIndex(alpha, 0);
    document->insertObjectInKeywordsAtIndex(beta, 1);
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Update document meta-data");
    document->replaceObjectInKeywordsAtIndex(0, beta);
    closeStep();
    document->removeObjectFromKeywordsAtIndex(1);
    closeStep();
    EXPECT_EQ(document->keywords(), (QList<TWMapsDoc::Keyword>{beta}));

    undo->undo();
    EXPECT_EQ(document->keywords(), (QList<TWMapsDoc::Keyword>{beta, beta}));
    undo->undo();
    EXPECT_EQ(document->keywords(), (QList<TWMapsDoc::Keyword>{alpha, beta}));
    EXPECT_EQ(document->getKeywords(1, 1), (QList<TWMapsDoc::Keyword>{beta}));

    const int steps = undo->undoStepCount();
    document->removeAllKeywords();
    closeStep();
    EXPECT_EQ(document->countOfKeywords(), 0);
    EXPECT_EQ(undo->undoStepCount(), steps);
}

TEST_F(TWMapsDocTest, RemovingAllCharactersIsOneUndoableStep)
{
    auto document = documentWithUndo();
    document->insertObjectInCharactersAtIndex(QStringLiteral("ANNA"), 0);
    document->insertObjectInCharactersAtIndex(QStringLiteral("BEN"), 1);
    document->insertObjectInScenesAtIndex(QStringLiteral("INT. HOUSE"), 0);
    closeStep();
    document->removeAllCharacters();
    document->removeAllScenes();
    closeStep();
    EXPECT_EQ(document->countOfCharacters(), 0);
    EXPECT_EQ(document->countOfScenes(), 0);
    undo->undo();
    EXPECT_EQ(document->characters(), (QVariantList{"ANNA", "BEN"}));
    EXPECT_EQ(document->scenes(), (QVariantList{"INT. HOUSE"}));
    document->replaceObjectInCharactersAtIndex(1, QStringLiteral("BOB"));
    closeStep();
    undo->undo();
    EXPECT_EQ(document->objectInCharactersAtIndex(1), QVariant("BEN"));
}

TEST_F(TWMapsDocTest, BadListIndexesAreRefusedWithAWarning)
{
    auto document = documentWithUndo();
    WarningCapture warnings;
    document->insertObjectInKeywordsAtIndex({{"keyword", "x"}}, 2);
    document->removeObjectFromScenesAtIndex(0);
    document->replaceObjectInCharactersAtIndex(-1, 1);
    EXPECT_FALSE(document->objectInCharactersAtIndex(3).isValid());
    EXPECT_EQ(warnings.lines().size(), 4);
    closeStep();
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TWMapsDocTest, CategoriesAreUndoableButRemovingAllIsNot)
{
    auto document = documentWithUndo();
    auto notes = std::make_shared<TWAttachedTextCategory>(
        QStringLiteral("N"), QStringLiteral("Notes"), Color::colorWithCalibratedRed(1, 0, 0));
    auto tasks = std::make_shared<TWAttachedTextCategory>(QStringLiteral("T"),
                                                          QStringLiteral("Tasks"), std::nullopt);
    document->insertObjectInAttachedTextCategoriesAtIndex(notes, 0);
    closeStep();
    document->replaceObjectInAttachedTextCategoriesAtIndex(0, tasks);
    closeStep();
    undo->undo();
    EXPECT_EQ(document->objectInAttachedTextCategoriesAtIndex(0), notes);
    undo->undo();
    EXPECT_EQ(document->countOfAttachedTextCategories(), 0);
    undo->redo();
    EXPECT_EQ(document->countOfAttachedTextCategories(), 1);
    const int steps = undo->undoStepCount();
    document->removeAllAttachedTextCategories();
    closeStep();
    EXPECT_EQ(document->countOfAttachedTextCategories(), 0);
    EXPECT_EQ(undo->undoStepCount(), steps);
}

TEST_F(TWMapsDocTest, SetupDictionarySettersUndo)
{
    auto document = documentWithUndo();
    const OrderedDictionary html{{"title", "Plan"}, {"width", 800}};
    document->setHtmlSetupDictionary(html);
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Update html setup information");
    document->setPresentationSetupDictionary(OrderedDictionary{{"transition", 2}});
    closeStep();
    EXPECT_EQ(undo->undoActionName(), "Update presentation setup information");

    undo->undo();
    EXPECT_TRUE(document->presentationSetupDictionary().isEmpty());
    undo->undo();
    EXPECT_TRUE(document->htmlSetupDictionary().isEmpty());
    EXPECT_EQ(undo->redoActionName(), "Update html setup information");
    undo->redo();
    EXPECT_EQ(document->htmlSetupDictionary(), html);
    EXPECT_EQ(document->htmlSetupDictionary().keys(), (QStringList{"title", "width"}));
}

// --- resources ---

TEST_F(TWMapsDocTest, ResourcesJoinAndLeaveTheUndoManager)
{
    auto document = documentWithUndo();
    auto ann = resourceNamed("Ann");
    auto bob = resourceNamed("Bob");
    document->addResource(ann);
    document->insertObjectInResourcesAtIndex(bob, 0);
    closeStep();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob, ann}));
    EXPECT_EQ(ann->undoManager(), undo.get());

    // The document finds a resource by equality, not identity.
    document->removeResource(ann->copy());
    closeStep();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob}));
    EXPECT_EQ(ann->undoManager(), nullptr);

    undo->undo();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob, ann}));
    EXPECT_EQ(ann->undoManager(), undo.get());
    EXPECT_EQ(document->resourceWithIdentifier(*bob->resourceIdentifier()), bob);
    EXPECT_EQ(document->resourceWithIdentifier("none"), nullptr);
}

TEST_F(TWMapsDocTest, SetResourcesSkipsAnEqualListAndUndoesOtherwise)
{
    auto document = documentWithUndo();
    auto ann = resourceNamed("Ann");
    document->setResources({ann});
    closeStep();
    const int steps = undo->undoStepCount();
    document->setResources({ann->copy()});
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_EQ(document->resources().at(0), ann);

    auto bob = resourceNamed("Bob");
    document->setResources({bob});
    closeStep();
    EXPECT_EQ(ann->undoManager(), nullptr);
    EXPECT_EQ(bob->undoManager(), undo.get());
    undo->undo();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{ann}));
    EXPECT_EQ(ann->undoManager(), undo.get());
    EXPECT_EQ(bob->undoManager(), nullptr);
}

TEST_F(TWMapsDocTest, EditingAResourceInTheDocumentIsUndoable)
{
    auto document = documentWithUndo();
    auto ann = resourceNamed("Ann");
    document->addResource(ann);
    closeStep();
    ann->setResourceName("Anne");
    closeStep();
    undo->undo();
    EXPECT_EQ(ann->resourceName(), "Ann");
}

// --- package data ---

TEST_F(TWMapsDocTest, CachedDataIsUndoable)
{
    auto document = documentWithUndo();
    const QString path = "Images/Graphic1/ExtractedImage.tiff";
    document->setObjectInCachedData(QByteArray("one"), path);
    closeStep();
    document->setObjectInCachedData(QByteArray("two"), path);
    closeStep();
    document->removeObjectForKeyInCachedData(path);
    closeStep();
    EXPECT_EQ(document->objectForKeyInCachedData(path), std::nullopt);

    undo->undo();
    EXPECT_EQ(document->objectForKeyInCachedData(path), QByteArray("two"));
    undo->undo();
    EXPECT_EQ(document->objectForKeyInCachedData(path), QByteArray("one"));
    undo->undo();
    EXPECT_EQ(document->countOfCachedData(), 0);
}

TEST_F(TWMapsDocTest, CachedDataIgnoresEmptyPathsAndRemovesForNoData)
{
    auto document = documentWithUndo();
    document->setObjectInCachedData(QByteArray("x"), QString());
    EXPECT_EQ(document->countOfCachedData(), 0);
    document->setObjectInCachedData(QByteArray("x"), "Sounds/Branch1/a.aiff");
    document->setObjectInCachedData(std::nullopt, "Sounds/Branch1/a.aiff");
    EXPECT_EQ(document->countOfCachedData(), 0);
    document->removeObjectForKeyInCachedData("missing");
    document->setObjectInCachedData(QByteArray("x"), "a");
    document->removeAllObjectsInCachedData();
    EXPECT_EQ(document->countOfCachedData(), 0);
}

TEST_F(TWMapsDocTest, APictureLeavingMemoryRemovesDataOnlyFromItsOwnDocument)
{
    auto mine = documentWithUndo();
    auto other = TWMapsDoc::create();
    const QString path = "Images/Graphic7/ExtractedImage.tiff";
    mine->setObjectInCachedData(QByteArray("pixels"), path);
    other->setObjectInCachedData(QByteArray("pixels"), path);
    closeStep();

    NotificationCenter::defaultCenter().post(TWMapsDoc::RemoveFromCachedDataNotification,
                                             mine.get(), {{TWMapsDoc::PathKey, path}});
    EXPECT_EQ(mine->objectForKeyInCachedData(path), std::nullopt);
    EXPECT_EQ(other->objectForKeyInCachedData(path), QByteArray("pixels"));

    // No path, or another sender, removes nothing.
    NotificationCenter::defaultCenter().post(TWMapsDoc::RemoveFromCachedDataNotification,
                                             other.get());
    NotificationCenter::defaultCenter().post(TWMapsDoc::RemoveFromCachedDataNotification, nullptr,
                                             {{TWMapsDoc::PathKey, path}});
    EXPECT_EQ(other->objectForKeyInCachedData(path), QByteArray("pixels"));

    closeStep();
    undo->undo();
    EXPECT_EQ(mine->objectForKeyInCachedData(path), QByteArray("pixels"));
}

TEST_F(TWMapsDocTest, StrippingKeepsWhatMapsReferTo)
{
    auto document = TWMapsDoc::create();
    auto plain = TWMap::create(document.get());
    document->addMap(plain, true);
    const XMLElement element = XMLElement::parse(
        "<TWMap><identifier>M2</identifier>"
        "<backgroundImageFilename>Images/DocumentBackground5/ExtractedImage.pdf"
        "</backgroundImageFilename>"
        "<root><TWMapBranch><soundFileName>Sounds/Branch3/bell.aiff</soundFileName>"
        "<mainGraphic><TWImage><imageFilename>Images/Graphic4/photo.png</imageFilename>"
        "<moviePath>Images/Graphic4/clip.mov</moviePath></TWImage></mainGraphic>"
        "</TWMapBranch></root></TWMap>");
    document->addMap(TWMap::createWithXMLElement(element, document.get()), false);

    const QStringList kept = {
        plain->previewPath(),
        "Images/MapPreviews/M2.png",
        "Images/DocumentBackground5/ExtractedImage.pdf",
        "Sounds/Branch3/bell.aiff",
        "Images/Graphic4/photo.png",
        "Images/Graphic4/clip.mov",
    };
    PackageData data;
    for (const QString &path : kept)
        data.insert(path, path.toUtf8());
    data.insert("Images/Graphic9/deleted.png", "gone");
    data.insert("Images/MapPreviews/OLD.png", "gone");

    const PackageData stripped = document->stripUnusedDataFromCache(data);
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(QStringList(stripped.keys()), expected);
    for (const QString &path : kept)
        EXPECT_TRUE(document->hasIdentifier(path)) << path.toStdString();
    EXPECT_FALSE(document->hasIdentifier("Images/Graphic9/deleted.png"));
}

TEST_F(TWMapsDocTest, TheSaveDictionaryHoldsContentsVersionAndUsedData)
{
    auto document = TWMapsDoc::create();
    auto map = TWMap::create(document.get());
    document->addMap(map, true);
    document->setObjectInCachedData(QByteArray("preview"), map->previewPath());
    document->setObjectInCachedData(QByteArray("stale"), TWMapsDoc::ContentsPath);
    document->setObjectInCachedData(QByteArray("3.0"), "Thinkweb/fileVersion.txt");
    document->setObjectInCachedData(QByteArray("unused"), "Images/Graphic2/x.png");

    const QVariantMap save = document->generateSaveDictionary();
    EXPECT_EQ(QStringList(save.keys()), (QStringList{map->previewPath(), "Thinkweb/Contents.xml",
                                                     "Thinkweb/fileVersion.txt"}));
    EXPECT_EQ(save.value("Thinkweb/fileVersion.txt").toString(), "4.1");
    const QByteArray contents = save.value("Thinkweb/Contents.xml").toByteArray();
    EXPECT_TRUE(contents.startsWith("<?xml"));
    EXPECT_TRUE(contents.contains("<TWMapsDoc>"));
}

// --- utilities ---

TEST_F(TWMapsDocTest, AnUnknownGraphicTypeFallsBackOnThePreference)
{
    defaults.setInteger(6, TWPreferences::InitialBranchTypeKey);
    auto document = documentWithUndo();
    for (int code : {0, 8}) {
        document->setGraphicClassIdentifier(code);
        closeStep();
        EXPECT_EQ(document->getDefaultGraphicType(), 6);
        EXPECT_EQ(document->graphicClassIdentifier(), 6);
        closeStep();
        undo->undo();
        EXPECT_EQ(document->graphicClassIdentifier(), code);
    }
    document->setGraphicClassIdentifier(3);
    EXPECT_EQ(document->getDefaultGraphicType(), 3);

    defaults.setInteger(42, TWPreferences::InitialBranchTypeKey);
    document->setGraphicClassIdentifier(0);
    WarningCapture warnings;
    EXPECT_EQ(document->getDefaultGraphicType(), 1);
    EXPECT_EQ(warnings.lines().size(), 1);
}

TEST_F(TWMapsDocTest, BoolFromString)
{
    EXPECT_TRUE(TWMapsDoc::boolFromString(QStringLiteral("YES")));
    EXPECT_TRUE(TWMapsDoc::boolFromString(QStringLiteral("yes")));
    EXPECT_FALSE(TWMapsDoc::boolFromString(QStringLiteral("1")));
    EXPECT_FALSE(TWMapsDoc::boolFromString(QStringLiteral("YES ")));
    EXPECT_FALSE(TWMapsDoc::boolFromString(std::nullopt));
}

TEST_F(TWMapsDocTest, TheSaveStampRegistersNothing)
{
    auto document = documentWithUndo();
    bool groupClosed = false;
    QObject::connect(undo.get(), &UndoManager::groupClosed, [&] { groupClosed = true; });
    document->setRevisionNumber(3);
    closeStep();
    groupClosed = false;
    const int steps = undo->undoStepCount();

    document->stampForSave();
    closeStep();
    EXPECT_EQ(document->revisionNumber(), 4);
    EXPECT_TRUE(document->lastSaveDate().has_value());
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_FALSE(groupClosed);
    EXPECT_TRUE(undo->isUndoRegistrationEnabled());
    undo->undo();
    EXPECT_EQ(document->revisionNumber(), 0);
}

TEST_F(TWMapsDocTest, ACopyIsDeepAndStandsAlone)
{
    auto document = documentWithUndo();
    document->addMap(TWMap::create(document.get()), false);
    document->addMap(TWMap::create(document.get()), true);
    document->setCreator(QStringLiteral("Ann"));
    document->setRevisionNumber(9);
    document->insertObjectInKeywordsAtIndex({{"keyword", "k"}}, 0);
    document->addResource(resourceNamed("Bob"));
    document->setObjectInCachedData(QByteArray("p"), "Images/Graphic1/a.png");
    closeStep();

    auto copy = document->copy();
    EXPECT_EQ(copy->revisionNumber(), 0);
    EXPECT_EQ(copy->creator(), QStringLiteral("Ann"));
    EXPECT_EQ(copy->keywords(), document->keywords());
    EXPECT_EQ(copy->cachedData(), document->cachedData());
    ASSERT_EQ(copy->countOfMaps(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(copy->maps().at(i), document->maps().at(i));
        EXPECT_EQ(copy->maps().at(i)->document(), copy.get());
        EXPECT_NE(copy->maps().at(i)->identifier(), document->maps().at(i)->identifier());
    }
    EXPECT_EQ(copy->currentMapNumber(), 1);
    EXPECT_EQ(copy->currentMap(), copy->maps().at(1));
    ASSERT_EQ(copy->countOfResources(), 1);
    EXPECT_NE(copy->resources().at(0), document->resources().at(0));
    EXPECT_TRUE(copy->resources().at(0)->isEqual(*document->resources().at(0)));
    ASSERT_NE(copy->undoManager(), nullptr);
    EXPECT_NE(copy->undoManager(), undo.get());
    EXPECT_EQ(copy->resources().at(0)->undoManager(), copy->undoManager());

    copy->setCreator(QStringLiteral("Cy"));
    EXPECT_EQ(document->creator(), QStringLiteral("Ann"));
    EXPECT_FALSE(copy->liveXMLElement() == document->liveXMLElement());
}

} // namespace
