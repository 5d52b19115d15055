#include "BranchTestSupport.h"
#include "TWMapsDocTestSupport.h"
#include "model/TWAttachedTextCategory.h"
#include "model/TWResource.h"

using namespace MapsDocTest;

namespace {

class TWMapsDocTest : public MapsDocFixture
{
protected:
    TWMapsDocTest() { document->setUndoManager(undo); }
    void closeStep() { undo->closeEventGroup(); }

    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
};

TEST_F(TWMapsDocTest, ANewDocumentTakesThePreferences)
{
    defaults.setInteger(5, TWPreferences::InitialBranchTypeKey);
    defaults.setInteger(3, TWPreferences::InitialAttachedGraphicTypeKey);
    defaults.setBool(true, TWPreferences::ShowPageFramesWhenCreatingDocumentsKey);
    EventLog log;
    NotificationRecorder recorder(log, {TWMapsDoc::PageFramesVisibilityChangedNotification});

    auto fresh = TWMapsDoc::create();
    EXPECT_EQ(fresh->graphicClassIdentifier(), 5);
    EXPECT_EQ(fresh->attachedGraphicClassIdentifier(), 3);
    EXPECT_TRUE(fresh->showPageFrames());
    ASSERT_EQ(recorder.notifications().size(), 1);
    EXPECT_EQ(recorder.notifications().at(0).sender, fresh.get());
}

// Every field settable by key: the setter registers its inverse under its
// action name, posts what it posts, and registers nothing for an equal value.
TEST_F(TWMapsDocTest, EverySetterUndoesRedoesAndSkipsEqualValues)
{
    const CalendarDate date =
        *CalendarDate::dateWithYear(2020, 2, 29, 12, 0, 0, *TimeZone::timeZoneWithName("UTC"));
    const OrderedDictionary html{{"title", "Plan"}, {"width", 800}};
    struct Case
    {
        const char *key;
        QVariant value;
        QString actionName;
    };
    const Case cases[] = {
        {"creator", QStringLiteral("Ann"), "Update document meta-data"},
        {"creator", QVariant(), "Update document meta-data"}, // none
        {"organization", QStringLiteral("Works"), "Update document meta-data"},
        {"comments", QStringLiteral("notes"), ""},
        {"filename", QStringLiteral("/tmp/a.tweb"), ""},
        {"creationDate", QVariant::fromValue(date), ""},
        {"lastSaveDate", QVariant::fromValue(date), ""},
        {"revisionNumber", 4, ""},
        {"graphicClassIdentifier", 6, ""},
        {"attachedGraphicClassIdentifier", 2, ""},
        {"showPageFrames", true, "Show/hide page frames"},
        {"htmlSetupDictionary", QVariant::fromValue(html), "Update html setup information"},
        {"presentationSetupDictionary", QVariant::fromValue(OrderedDictionary{{"transition", 2}}),
         "Update presentation setup information"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        auto steps = std::make_shared<UndoManager>();
        auto doc = TWMapsDoc::create();
        doc->setUndoManager(steps);
        EventLog log;
        NotificationRecorder recorder(log, {TWMapsDoc::PageFramesVisibilityChangedNotification});
        const QVariant before = doc->valueForKey(c.key);
        ASSERT_NE(before, c.value);

        ASSERT_TRUE(doc->setMDValue(c.value, c.key));
        steps->closeEventGroup();
        EXPECT_EQ(doc->valueForKey(c.key), c.value);
        EXPECT_EQ(steps->undoActionName(), c.actionName);
        steps->undo();
        EXPECT_EQ(doc->valueForKey(c.key), before);
        EXPECT_EQ(steps->redoActionName(), c.actionName);
        steps->redo();
        EXPECT_EQ(doc->valueForKey(c.key), c.value);
        EXPECT_EQ(log.events.size(), QByteArray(c.key) == "showPageFrames" ? 3 : 0);

        doc->setMDValue(c.value, c.key);
        steps->closeEventGroup();
        EXPECT_EQ(steps->undoStepCount(), 1);
    }

    WarningCapture warnings;
    EXPECT_FALSE(document->setMDValue(1, "noSuchKey"));
    EXPECT_EQ(warnings.lines().size(), 1);
}

// A map not yet numbered is numbered as opening it will number it before it
// is saved, so that a second save writes what the first wrote; a numbered
// one is left as it is.
TEST_F(TWMapsDocTest, SavingNumbersOnlyTheMapsNotYetNumbered)
{
    struct CountingLayout : BranchTest::RecordingLayout
    {
        int numbered = 0;
        void recalculateOutlineNumbers(TWMap &map) override
        {
            ++numbered;
            map.setOutlineNumbersNeedUpdating(false);
        }
    };
    for (const bool needs : {true, false}) {
        SCOPED_TRACE(needs);
        std::shared_ptr<TWMapsDoc> document = documentWithMaps(1);
        const std::shared_ptr<TWMap> map = document->maps().first();
        auto layout = std::make_shared<CountingLayout>();
        map->setLayoutServices(layout);
        map->setOutlineNumbersNeedUpdating(needs);
        const QString path = tempDir.filePath(QStringLiteral("numbered%1.tweb").arg(needs));
        ASSERT_EQ(document->saveToFile(path), 0);
        EXPECT_EQ(layout->numbered, needs ? 1 : 0);
        EXPECT_FALSE(map->outlineNumbersNeedUpdating());
        document->detach();
    }
}

TEST_F(TWMapsDocTest, KeywordsAndCategoriesAreUndoableButRemovingAllIsNot)
{
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

    auto notes = std::make_shared<TWAttachedTextCategory>(QStringLiteral("N"),
                                                          QStringLiteral("Notes"), std::nullopt);
    document->insertObjectInAttachedTextCategoriesAtIndex(notes, 0);
    closeStep();
    undo->undo();
    EXPECT_EQ(document->countOfAttachedTextCategories(), 0);
    undo->redo();
    EXPECT_EQ(document->attachedTextCategories(), TWMapsDoc::CategoryList{notes});

    const int steps = undo->undoStepCount();
    document->removeAllKeywords();
    document->removeAllAttachedTextCategories();
    closeStep();
    EXPECT_EQ(document->countOfKeywords(), 0);
    EXPECT_EQ(document->countOfAttachedTextCategories(), 0);
    EXPECT_EQ(undo->undoStepCount(), steps);
}

TEST_F(TWMapsDocTest, RemovingAllCharactersAndScenesIsOneUndoableStep)
{
    WarningCapture warnings;
    document->insertObjectInKeywordsAtIndex({{"keyword", "x"}}, 1);
    document->removeObjectFromScenesAtIndex(0);
    document->replaceObjectInCharactersAtIndex(-1, 1);
    EXPECT_FALSE(document->objectInCharactersAtIndex(3).isValid());
    EXPECT_EQ(warnings.lines().size(), 4) << "bad indexes are refused with a line";
    closeStep();
    EXPECT_FALSE(undo->canUndo());

    document->insertObjectInCharactersAtIndex(QStringLiteral("ANNA"), 0);
    document->insertObjectInCharactersAtIndex(QStringLiteral("BEN"), 1);
    document->insertObjectInScenesAtIndex(QStringLiteral("INT. HOUSE"), 0);
    closeStep();
    document->removeAllCharacters();
    document->removeAllScenes();
    closeStep();
    EXPECT_EQ(document->countOfCharacters() + document->countOfScenes(), 0);
    undo->undo();
    EXPECT_EQ(document->characters(), (QVariantList{"ANNA", "BEN"}));
    EXPECT_EQ(document->scenes(), (QVariantList{"INT. HOUSE"}));
}

TEST_F(TWMapsDocTest, CachedDataIsUndoable)
{
    const QString path = "Images/Graphic1/ExtractedImage.tiff";
    document->setObjectInCachedData(QByteArray("one"), path);
    closeStep();
    document->setObjectInCachedData(QByteArray("two"), path);
    closeStep();
    document->setObjectInCachedData(std::nullopt, path); // no data removes the path
    closeStep();
    EXPECT_EQ(document->countOfCachedData(), 0);
    // Nothing to do: an empty path, a missing path, equal data.
    document->setObjectInCachedData(QByteArray("x"), QString());
    document->removeObjectForKeyInCachedData("missing");
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), 3);

    undo->undo();
    EXPECT_EQ(document->objectForKeyInCachedData(path), QByteArray("two"));
    undo->undo();
    EXPECT_EQ(document->objectForKeyInCachedData(path), QByteArray("one"));
    document->setObjectInCachedData(QByteArray("one"), path);
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), 1);
    undo->undo();
    EXPECT_EQ(document->countOfCachedData(), 0);
}

TEST_F(TWMapsDocTest, APictureLeavingMemoryRemovesDataOnlyFromItsOwnDocument)
{
    auto other = TWMapsDoc::create();
    const QString path = "Images/Graphic7/ExtractedImage.tiff";
    document->setObjectInCachedData(QByteArray("pixels"), path);
    other->setObjectInCachedData(QByteArray("pixels"), path);
    closeStep();

    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(TWMapsDoc::RemoveFromCachedDataNotification, document.get(),
                {{TWMapsDoc::PathKey, path}});
    EXPECT_EQ(document->objectForKeyInCachedData(path), std::nullopt);
    EXPECT_EQ(other->objectForKeyInCachedData(path), QByteArray("pixels"));

    // No path, or no sender, removes nothing.
    center.post(TWMapsDoc::RemoveFromCachedDataNotification, other.get());
    center.post(TWMapsDoc::RemoveFromCachedDataNotification, nullptr, {{TWMapsDoc::PathKey, path}});
    EXPECT_EQ(other->objectForKeyInCachedData(path), QByteArray("pixels"));

    closeStep();
    undo->undo();
    EXPECT_EQ(document->objectForKeyInCachedData(path), QByteArray("pixels"));
}

TEST_F(TWMapsDocTest, AnUnknownGraphicTypeFallsBackOnThePreference)
{
    defaults.setInteger(6, TWPreferences::InitialBranchTypeKey);
    for (int code : {0, 8}) {
        document->setGraphicClassIdentifier(code);
        EXPECT_EQ(document->getDefaultGraphicType(), 6);
        EXPECT_EQ(document->graphicClassIdentifier(), 6);
    }
    document->setGraphicClassIdentifier(7);
    EXPECT_EQ(document->getDefaultGraphicType(), 7);

    // An unknown preference too gives a line.
    defaults.setInteger(42, TWPreferences::InitialBranchTypeKey);
    document->setGraphicClassIdentifier(0);
    WarningCapture warnings;
    EXPECT_EQ(document->getDefaultGraphicType(), 1);
    EXPECT_EQ(warnings.lines().size(), 1);
}

TEST_F(TWMapsDocTest, BoolFromString)
{
    EXPECT_TRUE(TWMapsDoc::boolFromString(QStringLiteral("yEs")));
    EXPECT_FALSE(TWMapsDoc::boolFromString(QStringLiteral("1")));
    EXPECT_FALSE(TWMapsDoc::boolFromString(QStringLiteral("YES ")));
    EXPECT_FALSE(TWMapsDoc::boolFromString(std::nullopt));
}

TEST_F(TWMapsDocTest, ACopyIsDeepAndStandsAlone)
{
    document->addMap(TWMap::create(document.get()), false);
    document->addMap(TWMap::create(document.get()), true);
    document->setCreator(QStringLiteral("Ann"));
    document->setRevisionNumber(9);
    document->insertObjectInKeywordsAtIndex({{"keyword", "k"}}, 0);
    document->addResource(std::make_shared<TWResource>());
    document->setObjectInCachedData(QByteArray("p"), "Images/Graphic1/a.png");
    closeStep();

    auto copy = document->copy();
    EXPECT_EQ(copy->revisionNumber(), 0);
    EXPECT_EQ(copy->creator(), QStringLiteral("Ann"));
    EXPECT_EQ(copy->keywords(), document->keywords());
    EXPECT_EQ(copy->cachedData(), document->cachedData());
    ASSERT_EQ(copy->countOfMaps(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(copy->maps().at(i)->document(), copy.get());
        // The identifier names the preview the copy's package data holds.
        EXPECT_EQ(copy->maps().at(i)->identifier(), document->maps().at(i)->identifier());
    }
    EXPECT_EQ(copy->currentMap(), copy->maps().at(1));
    ASSERT_EQ(copy->countOfResources(), 1);
    EXPECT_NE(copy->resources().at(0), document->resources().at(0));
    EXPECT_TRUE(copy->resources().at(0)->isEqual(*document->resources().at(0)));
    ASSERT_NE(copy->undoManager(), nullptr);
    EXPECT_NE(copy->undoManager(), undo.get());
    EXPECT_EQ(copy->resources().at(0)->undoManager(), copy->undoManager());

    EXPECT_FALSE(copy->liveXMLElement() == document->liveXMLElement());
}

} // namespace
