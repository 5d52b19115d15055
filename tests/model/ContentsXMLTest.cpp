#include "TWMapsDocTestSupport.h"
#include "model/TWAttachedTextCategory.h"
#include "model/TWResource.h"
#include "support/XMLDocument.h"

using namespace MapsDocTest;

namespace {

QStringList childNames(const XMLElement &element)
{
    QStringList names;
    for (const XMLElement &child : element.elements())
        names.append(child.name());
    return names;
}

PackageData packageWithContents(const QByteArray &contents)
{
    PackageData data;
    data.insert(TWMapsDoc::ContentsPath, contents);
    data.insert("Thinkweb/fileVersion.txt", "4.1");
    return data;
}

CalendarDate fixedDate(int year)
{
    return *CalendarDate::dateWithYear(year, 3, 14, 15, 9, 26,
                                       *TimeZone::timeZoneWithName("Europe/Berlin"));
}

// A map element with `branches` nested branch elements and an identifier.
QByteArray mapElement(const QByteArray &identifier, int branches)
{
    QByteArray tree;
    for (int i = 0; i < branches; ++i)
        tree += "<TWMapBranch><children>";
    for (int i = 0; i < branches; ++i)
        tree += "</children></TWMapBranch>";
    return "<map><TWMap><identifier>" + identifier + "</identifier><root>" + tree +
           "</root><displayingBoundaries>YES</displayingBoundaries></TWMap></map>";
}

class ContentsXMLTest : public MapsDocFixture
{};

TEST_F(ContentsXMLTest, TheFirstSaveWritesTheChildrenInTheirOrder)
{
    auto document = TWMapsDoc::create();
    document->addMap(TWMap::create(document.get()), true);
    document->setCreationDate(fixedDate(2001));
    document->setLastSaveDate(fixedDate(2002));
    document->setFilename(QStringLiteral("/home/ann/plan.tweb"));
    document->setComments(std::nullopt);
    document->updateLiveXMLElement();
    EXPECT_EQ(childNames(document->liveXMLElement()),
              (QStringList{"maps", "currentMapNumber", "creator", "organization", "revisionNumber",
                           "creationDate", "lastSaveDate", "filename", "htmlSetupDictionary",
                           "presentationSetupDictionary", "showPageFrames", "keywords", "resources",
                           "attachedTextCategories"}));

    // Later saves keep plain values in place and move the rebuilt children,
    // in the writer's order, behind them; a new plain value joins at its step.
    document->setComments(QStringLiteral("second thoughts"));
    document->updateLiveXMLElement();
    EXPECT_EQ(childNames(document->liveXMLElement()),
              (QStringList{"currentMapNumber", "creator", "organization", "revisionNumber",
                           "filename", "showPageFrames", "maps", "comments", "creationDate",
                           "lastSaveDate", "htmlSetupDictionary", "presentationSetupDictionary",
                           "keywords", "resources", "attachedTextCategories"}));

    // From then on the order holds.
    const QByteArray second = document->xmlDocumentData();
    EXPECT_EQ(document->xmlDocumentData(), second);
}

TEST_F(ContentsXMLTest, TheTextOfASmallDocument)
{
    auto document = TWMapsDoc::create();
    document->setCreator(QStringLiteral("Ann & Bob"));
    document->setOrganization(std::nullopt);
    document->setCreationDate(std::nullopt);
    document->setHtmlSetupDictionary(std::nullopt);
    document->setPresentationSetupDictionary(std::nullopt);
    document->setRevisionNumber(12);
    document->setShowPageFrames(true);
    document->insertObjectInKeywordsAtIndex({{"keyword", "first"}}, 0);
    document->insertObjectInKeywordsAtIndex({{"keyword", "<second>"}}, 1);
    document->addResource(TWResource::objectWithXMLElement(
        XMLElement::parse("<TWResource><resourceIdentifier>R1</resourceIdentifier>"
                          "<resourceName>Ann</resourceName><role>lead</role></TWResource>")));

    EXPECT_EQ(QString::fromUtf8(document->xmlDocumentData()),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<TWMapsDoc>\n"
                             "  <maps/>\n"
                             "  <currentMapNumber>-1</currentMapNumber>\n"
                             "  <creator>Ann &amp; Bob</creator>\n"
                             "  <revisionNumber>12</revisionNumber>\n"
                             "  <showPageFrames>YES</showPageFrames>\n"
                             "  <keywords>\n"
                             "    <string>first</string>\n"
                             "    <string>&lt;second&gt;</string>\n"
                             "  </keywords>\n"
                             "  <resources>\n"
                             "    <resource>\n"
                             "      <TWResource>\n"
                             "        <resourceIdentifier>R1</resourceIdentifier>\n"
                             "        <resourceName>Ann</resourceName>\n"
                             "        <role>lead</role>\n"
                             "      </TWResource>\n"
                             "    </resource>\n"
                             "  </resources>\n"
                             "  <attachedTextCategories/>\n"
                             "</TWMapsDoc>\n"));
}

TEST_F(ContentsXMLTest, UnknownChildrenSurviveInTheirPlace)
{
    const QByteArray contents = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<TWMapsDoc>\n"
                                "  <futureFirst kind=\"a\">text kept</futureFirst>\n"
                                "  <currentMapNumber>0</currentMapNumber>\n"
                                "  <creator>Ann</creator>\n"
                                "  <futureSetting>\n"
                                "    <deep>1</deep>\n"
                                "    <deeper><x>  two blanks  </x></deeper>\n"
                                "  </futureSetting>\n"
                                "  <displayingBoundaries>NO</displayingBoundaries>\n"
                                "  <revisionNumber>2</revisionNumber>\n"
                                "  <maps>" +
                                mapElement("M1", 1) +
                                "</maps>\n"
                                "</TWMapsDoc>\n";
    auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
    ASSERT_NE(document, nullptr);

    const QByteArray saved = document->xmlDocumentData();
    const XMLElement root = XMLElement::parse(saved);
    const QStringList names = childNames(root);
    ASSERT_GE(names.size(), 6);
    EXPECT_EQ(names.mid(0, 6),
              (QStringList{"futureFirst", "currentMapNumber", "creator", "futureSetting",
                           "displayingBoundaries", "revisionNumber"}));
    EXPECT_EQ(root.elementForName(u"futureSetting").xmlString(),
              XMLElement::parse(contents).elementForName(u"futureSetting").xmlString());
    EXPECT_EQ(root.elementForName(u"futureFirst").xmlString(),
              "<futureFirst kind=\"a\">text kept</futureFirst>");

    // And through another load and two saves, after which the text holds still.
    auto reloaded = TWMapsDoc::createWithDictionary(packageWithContents(saved), false);
    ASSERT_NE(reloaded, nullptr);
    const QByteArray third = reloaded->xmlDocumentData();
    EXPECT_EQ(childNames(XMLElement::parse(third)).mid(0, 6), names.mid(0, 6));
    EXPECT_EQ(reloaded->xmlDocumentData(), third);
}

TEST_F(ContentsXMLTest, MapElementsComeBackAsTheyWere)
{
    const QByteArray map =
        "<map><TWMap><outlineFormatSettings><string>Numeric</string></outlineFormatSettings>"
        "<identifier>AB-12</identifier><canvasSize><width>800.000000</width>"
        "<height>600.000000</height></canvasSize><root><TWMapBranch><text>t</text>"
        "</TWMapBranch></root><linkLines/></TWMap></map>";
    auto document = TWMapsDoc::createWithDictionary(
        packageWithContents("<TWMapsDoc><maps>" + map + "</maps></TWMapsDoc>"), false);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->countOfMaps(), 1);
    EXPECT_EQ(document->maps().at(0)->identifier(), "AB-12");
    EXPECT_EQ(document->maps().at(0)->canvasSize(), Size(800, 600));

    const XMLElement saved = XMLElement::parse(document->xmlDocumentData());
    EXPECT_EQ(saved.elementForPath(u"maps/map").xmlString(), XMLElement::parse(map).xmlString());
}

TEST_F(ContentsXMLTest, ReadingPostsTheLoadingNotificationsInOrder)
{
    const QByteArray contents = "<TWMapsDoc><currentMapNumber>1</currentMapNumber><maps>" +
                                mapElement("M1", 2) + mapElement("M2", 3) +
                                "<map><notAMap/></map></maps></TWMapsDoc>";
    EventLog log;
    NotificationRecorder recorder(
        log, {TWMapsDoc::StartLoadingCountNotification, TWMapsDoc::IncrementLoadingNotification,
              TWMapsDoc::FinishLoadingNotification, TWMapsDoc::UpdateMapTabsNotification,
              TWMapsDoc::BranchHideLevelChangedNotification,
              TWMapsDoc::SelectedGraphicsChangedNotification});

    auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->countOfMaps(), 2);
    EXPECT_EQ(document->currentMap(), document->maps().at(1));
    EXPECT_EQ(log.events, (QStringList{
                              "StartLoadingCountNotification",
                              "IncrementLoadingNotification",
                              "IncrementLoadingNotification",
                              "IncrementLoadingNotification",
                              "IncrementLoadingNotification",
                              "IncrementLoadingNotification",
                              "UpdateMapTabsNotification",
                              "SelectedGraphicsChangedNotification",
                              "FinishLoadingNotification",
                              "BranchHideLevelChangedNotification",
                          }));
    EXPECT_EQ(recorder.notifications().at(0).userInfo.value(TWMapsDoc::CountKey).toInt(), 5);
    EXPECT_EQ(recorder.named(TWMapsDoc::FinishLoadingNotification).at(0).sender, nullptr);
}

TEST_F(ContentsXMLTest, ReadingTheMetadata)
{
    const QByteArray contents =
        "<TWMapsDoc>"
        "<creator></creator><organization>Works</organization><comments>c</comments>"
        "<revisionNumber>41</revisionNumber><filename>/old/path.tweb</filename>"
        "<creationDate>" +
        fixedDate(1999).freshXMLElement().xmlString() +
        "</creationDate>"
        "<keywords><string>alpha</string><string>beta</string></keywords>"
        "<htmlSetupDictionary>" +
        OrderedDictionary{{"title", "T"}}.freshXMLElement().xmlString() +
        "</htmlSetupDictionary>"
        "<resources>"
        "<resource><TWResource><resourceIdentifier>R1</resourceIdentifier>"
        "<resourceName>Ann</resourceName></TWResource></resource>"
        "<resource><TWResource><resourceIdentifier>R2</resourceIdentifier>"
        "<resourceName>Bob</resourceName></TWResource></resource>"
        "<resource><notAResource/></resource>"
        "</resources>"
        "<attachedTextCategories>"
        "<attachedTextCategory><TWAttachedTextCategory><shortName>N</shortName>"
        "<longName>Notes</longName></TWAttachedTextCategory></attachedTextCategory>"
        "<attachedTextCategory><TWAttachedTextCategory><shortName>T</shortName>"
        "<longName>Tasks</longName></TWAttachedTextCategory></attachedTextCategory>"
        "<attachedTextCategory><TWAttachedTextCategory><shortName>Q</shortName>"
        "<longName>Questions</longName></TWAttachedTextCategory></attachedTextCategory>"
        "</attachedTextCategories>"
        "</TWMapsDoc>";
    auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
    ASSERT_NE(document, nullptr);

    EXPECT_EQ(document->creator(), std::nullopt);
    EXPECT_EQ(document->organization(), QStringLiteral("Works"));
    EXPECT_EQ(document->comments(), QStringLiteral("c"));
    EXPECT_EQ(document->revisionNumber(), 41);
    EXPECT_EQ(document->filename(), QStringLiteral("/old/path.tweb"));
    EXPECT_EQ(document->creationDate(), fixedDate(1999));
    EXPECT_EQ(document->lastSaveDate(), std::nullopt);
    EXPECT_EQ(document->keywords(),
              (QList<TWMapsDoc::Keyword>{{{"keyword", "alpha"}}, {{"keyword", "beta"}}}));
    EXPECT_EQ(document->htmlSetupDictionary(), (OrderedDictionary{{"title", "T"}}));
    EXPECT_FALSE(document->hasPresentationSetupDictionary());
    EXPECT_FALSE(document->showPageFrames());
    EXPECT_EQ(document->currentMapNumber(), -1);

    ASSERT_EQ(document->countOfResources(), 2);
    EXPECT_EQ(document->resources().at(0)->resourceName(), "Ann");
    EXPECT_EQ(document->resources().at(1)->resourceName(), "Bob");
    ASSERT_EQ(document->countOfAttachedTextCategories(), 3);
    EXPECT_EQ(document->attachedTextCategories().at(2)->longName(), QStringLiteral("Questions"));
    EXPECT_EQ(document->attachedTextCategories().at(0)->shortName(), QStringLiteral("N"));

    // A creator of nothing is not written; a missing dictionary stays missing.
    const XMLElement saved = XMLElement::parse(document->xmlDocumentData());
    EXPECT_TRUE(saved.elementForName(u"creator").isNull());
    EXPECT_TRUE(saved.elementForName(u"presentationSetupDictionary").isNull());
    EXPECT_FALSE(saved.elementForName(u"htmlSetupDictionary").isNull());
    EXPECT_EQ(saved.elementsForName(u"keywords").size(), 1);
    EXPECT_EQ(saved.elementForName(u"keywords").childElementCount(), 2);
}

TEST_F(ContentsXMLTest, ACurrentMapNumberBeyondTheMapsOpensTheFirst)
{
    const QByteArray contents = "<TWMapsDoc><currentMapNumber>5</currentMapNumber><maps>" +
                                mapElement("M1", 0) + mapElement("M2", 0) + "</maps></TWMapsDoc>";
    WarningCapture warnings;
    auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->currentMapNumber(), 0);
    EXPECT_EQ(document->currentMap(), document->maps().at(0));
    EXPECT_FALSE(warnings.lines().isEmpty());
}

TEST_F(ContentsXMLTest, AMissingCurrentMapNumberOpensTheFirstAndMinusOneNone)
{
    auto first = TWMapsDoc::createWithDictionary(
        packageWithContents("<TWMapsDoc><maps>" + mapElement("M1", 0) + "</maps></TWMapsDoc>"),
        false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->currentMapNumber(), 0);

    auto none = TWMapsDoc::createWithDictionary(
        packageWithContents("<TWMapsDoc><currentMapNumber>-1</currentMapNumber><maps>" +
                            mapElement("M1", 0) + "</maps></TWMapsDoc>"),
        false);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->currentMapNumber(), -1);
    EXPECT_EQ(none->currentMap(), nullptr);
}

TEST_F(ContentsXMLTest, EveryPackageEntryBecomesCachedData)
{
    PackageData data = packageWithContents("<TWMapsDoc/>");
    data.insert("Images/Graphic1/a.png", "png");
    data.insert("Sounds/Branch2/b.aiff", "aiff");
    auto document = TWMapsDoc::createWithDictionary(data, true);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->cachedData(), data);
}

TEST_F(ContentsXMLTest, PackagesWithoutReadableContentsAreRefused)
{
    WarningCapture warnings;
    PackageData noContents;
    noContents.insert("Images/Graphic1/a.png", "png");
    EXPECT_EQ(TWMapsDoc::createWithDictionary(noContents, false), nullptr);
    EXPECT_EQ(TWMapsDoc::createWithDictionary(
                  packageWithContents("<TWMapsDoc>\xff\xfe</TWMapsDoc>"), false),
              nullptr);
    EXPECT_EQ(warnings.lines().count("This is not a valid Thinkweb file - no contents found"), 2);

    EXPECT_EQ(TWMapsDoc::createWithDictionary(packageWithContents("<TWMapsDoc><open>"), false),
              nullptr);
    EXPECT_EQ(TWMapsDoc::createWithDictionary(packageWithContents("<TWMap/>"), false), nullptr);
    int errors = 0;
    for (const QString &line : warnings.lines())
        errors += line.startsWith("Error loading document ") ? 1 : 0;
    EXPECT_EQ(errors, 2);
}

TEST_F(ContentsXMLTest, ANewerVersionAlertsAndStillLoads)
{
    PackageData data =
        packageWithContents("<TWMapsDoc><maps>" + mapElement("M", 0) + "</maps></TWMapsDoc>");
    data.insert("Thinkweb/fileVersion.txt", "4.2");
    auto document = TWMapsDoc::createWithDictionary(data, false);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->countOfMaps(), 1);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().at(0).title,
              "This document has been created in a newer version of Thinkweb");

    data.insert("Thinkweb/fileVersion.txt", "4.1");
    EXPECT_NE(TWMapsDoc::createWithDictionary(data, false), nullptr);
    EXPECT_EQ(alerts.alerts().size(), 1);
}

TEST_F(ContentsXMLTest, ReadingDoesNotTouchTheUndoHistory)
{
    auto document = TWMapsDoc::create();
    document->setUndoManager(undo);
    const XMLElement root = XMLElement::parse("<TWMapsDoc><creator>Zed</creator><maps>" +
                                              mapElement("M", 0) + "</maps></TWMapsDoc>");
    undo->disableUndoRegistration();
    document->loadFromXMLElement(root);
    undo->enableUndoRegistration();
    undo->closeEventGroup();
    EXPECT_EQ(document->creator(), QStringLiteral("Zed"));
    EXPECT_FALSE(undo->canUndo());
    EXPECT_TRUE(document->liveXMLElement() == root);
}

} // namespace
