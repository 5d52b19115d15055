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

// A map element with `branches` nested branch elements and an identifier.
QByteArray mapElement(const QByteArray &identifier, int branches)
{
    return "<map><TWMap><identifier>" + identifier + "</identifier><root>" + branchChain(branches) +
           "</root><displayingBoundaries>YES</displayingBoundaries></TWMap></map>";
}

class ContentsXMLTest : public MapsDocFixture
{};

TEST_F(ContentsXMLTest, TheFirstSaveWritesTheChildrenInTheirOrder)
{
    auto document = TWMapsDoc::create();
    document->addMap(TWMap::create(document.get()), true);
    const CalendarDate date = *CalendarDate::dateWithYear(
        2001, 3, 14, 15, 9, 26, *TimeZone::timeZoneWithName("Europe/Berlin"));
    document->setCreationDate(date);
    document->setLastSaveDate(date);
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

    // Nothing between elements: the text of each as it stands.
    EXPECT_EQ(QString::fromUtf8(document->xmlDocumentData()),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<TWMapsDoc><maps/><currentMapNumber>-1</currentMapNumber>"
                             "<creator>Ann &amp; Bob</creator><revisionNumber>12</revisionNumber>"
                             "<showPageFrames>YES</showPageFrames><keywords><string>first</string>"
                             "<string>&lt;second&gt;</string></keywords><resources><resource>"
                             "<TWResource><resourceIdentifier>R1</resourceIdentifier>"
                             "<resourceName>Ann</resourceName><shortName/><role>lead</role>"
                             "<unitCost>0.000000</unitCost><overtimeRate>0.000000</overtimeRate>"
                             "<hourlyRate>NO</hourlyRate>"
                             "<daysPerWeekAvailable>0</daysPerWeekAvailable>"
                             "<availableDays>0</availableDays><workingHourStart>0</workingHourStart>"
                             "<workingMinuteStart>0</workingMinuteStart>"
                             "<workingHourFinish>0</workingHourFinish>"
                             "<workingMinuteFinish>0</workingMinuteFinish>"
                             "<workingDownTime>0</workingDownTime></TWResource></resource>"
                             "</resources><attachedTextCategories/></TWMapsDoc>\n"));
}

TEST_F(ContentsXMLTest, UnknownChildrenSurviveInTheirPlace)
{
    // Map elements too come back as they were, children unknown here included.
    const QByteArray map =
        QByteArray(
            "<map><TWMap><outlineFormatSettings><string>Numeric</string></outlineFormatSettings>"
            "<identifier>AB-12</identifier><futureMapChild>z</futureMapChild>"
            "<canvasSize><width>800.000000</width>"
            "<height>600.000000</height></canvasSize><root>") +
        branchElement(7, "<text>t</text>") + "</root><linkLines/></TWMap></map>";
    // A document type of a foreign writer is not written back; what its
    // entities stood for is.
    const QByteArray contents = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<!DOCTYPE TWMapsDoc [<!ENTITY kept \"kept\">]>\n"
                                "<TWMapsDoc>\n"
                                "  <futureFirst kind=\"a\">text &kept;</futureFirst>\n"
                                "  <currentMapNumber>0</currentMapNumber>\n"
                                "  <creator>Ann</creator>\n"
                                "  <futureSetting>\n"
                                "    <deep>1</deep>\n"
                                "    <deeper><x>  two blanks  </x></deeper>\n"
                                "  </futureSetting>\n"
                                "  <displayingBoundaries>NO</displayingBoundaries>\n"
                                "  <revisionNumber>2</revisionNumber>\n"
                                "  <maps>" +
                                map +
                                "</maps>\n"
                                "</TWMapsDoc>\n";
    auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->countOfMaps(), 1);
    EXPECT_EQ(document->maps().at(0)->identifier(), "AB-12");
    EXPECT_EQ(document->maps().at(0)->canvasSize(), Size(800, 600));

    const QByteArray saved = document->xmlDocumentData();
    EXPECT_FALSE(saved.contains("DOCTYPE"));
    // The map's own element is the one written, not a copy of it.
    EXPECT_EQ(document->liveXMLElement().elementForPath(u"maps/map/TWMap"),
              document->maps().at(0)->liveXMLElement());
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
    // In the map, what is not modelled stays in place and unchanged; the
    // settings are written back, lists at the end, the tree and the link
    // lines from the model behind them.
    const XMLElement savedMap = root.elementForPath(u"maps/map/TWMap");
    const XMLElement readMap = XMLElement::parse(map).elementForName(u"TWMap");
    const QStringList mapChildren = childNames(savedMap);
    EXPECT_EQ(mapChildren.mid(0, 3), (QStringList{"identifier", "futureMapChild", "canvasSize"}));
    EXPECT_EQ(mapChildren.mid(mapChildren.size() - 2), (QStringList{"root", "linkLines"}));
    EXPECT_EQ(savedMap.elementForPath(u"root/TWMapBranch/branchNumber").stringValue(), "7");
    EXPECT_TRUE(savedMap.elementForPath(u"root/TWMapBranch/text").isNull());
    for (const char *name : {"futureMapChild", "canvasSize", "identifier"})
        EXPECT_EQ(savedMap.elementForName(QString::fromLatin1(name)).xmlString(),
                  readMap.elementForName(QString::fromLatin1(name)).xmlString())
            << name;
    EXPECT_EQ(savedMap.elementForPath(u"outlineFormatSettings/string").stringValue(), "Numeric");

    // And through another load and two saves, after which the text holds still.
    auto reloaded = TWMapsDoc::createWithDictionary(packageWithContents(saved), false);
    ASSERT_NE(reloaded, nullptr);
    const QByteArray third = reloaded->xmlDocumentData();
    EXPECT_EQ(childNames(XMLElement::parse(third)).mid(0, 6), names.mid(0, 6));
    EXPECT_EQ(reloaded->xmlDocumentData(), third);
}

TEST_F(ContentsXMLTest, ReadingPostsTheLoadingNotificationsInOrder)
{
    const QByteArray contents = "<TWMapsDoc><currentMapNumber>1</currentMapNumber>"
                                "<showPageFrames>YES</showPageFrames><maps>" +
                                mapElement("M1", 2) + mapElement("M2", 3) +
                                "<map><notAMap/></map></maps></TWMapsDoc>";
    EventLog log;
    NotificationRecorder recorder(
        log, {TWMapsDoc::StartLoadingCountNotification, TWMapsDoc::IncrementLoadingNotification,
              TWMapsDoc::FinishLoadingNotification, TWMapsDoc::UpdateMapTabsNotification,
              TWMapsDoc::BranchHideLevelChangedNotification,
              TWMapsDoc::SelectedGraphicsChangedNotification,
              TWMapsDoc::PageFramesVisibilityChangedNotification});

    // A newer format warns and loads all the same.
    PackageData data = packageWithContents(contents);
    data.insert("Thinkweb/fileVersion.txt", "4.2");
    auto document = TWMapsDoc::createWithDictionary(data, false);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().at(0).title,
              "This document has been created in a newer version of Thinkweb");
    EXPECT_EQ(document->countOfMaps(), 2);
    EXPECT_EQ(document->currentMap(), document->maps().at(1));
    EXPECT_TRUE(document->showPageFrames()); // stored, not announced
    const QStringList expected =
        QStringList{"StartLoadingCountNotification"} +
        QStringList(5, "IncrementLoadingNotification") +
        QStringList{"UpdateMapTabsNotification", "SelectedGraphicsChangedNotification",
                    "FinishLoadingNotification", "BranchHideLevelChangedNotification"};
    EXPECT_EQ(log.events, expected);
    EXPECT_EQ(recorder.notifications().at(0).userInfo.value(TWMapsDoc::CountKey).toInt(), 5);
    EXPECT_EQ(recorder.named(TWMapsDoc::FinishLoadingNotification).at(0).sender, nullptr);
}

// The round trip of every field is the package test's; here what reading
// must leave out or keep missing.
TEST_F(ContentsXMLTest, ReadingSkipsWhatItCannotUseAndKeepsMissingValuesMissing)
{
    const QByteArray contents =
        "<TWMapsDoc><creator></creator><comments>c</comments><comments>stale</comments>"
        "<keywords><string/><string>alpha</string><string></string></keywords>"
        "<htmlSetupDictionary>" +
        OrderedDictionary{{"title", "T"}}.freshXMLElement().xmlString() +
        "</htmlSetupDictionary>"
        "<resources><resource><notAResource/></resource>"
        "<resource><TWResource><resourceIdentifier>R1</resourceIdentifier>"
        "<resourceName>Ann</resourceName></TWResource></resource></resources>"
        "<attachedTextCategories><attachedTextCategory><notACategory/></attachedTextCategory>"
        "<attachedTextCategory><TWAttachedTextCategory><shortName>N</shortName>"
        "<longName>Notes</longName></TWAttachedTextCategory></attachedTextCategory>"
        "</attachedTextCategories></TWMapsDoc>";
    auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
    ASSERT_NE(document, nullptr);

    // An empty creator is kept as written; an organization never written stays missing.
    EXPECT_EQ(document->creator(), QString());
    EXPECT_EQ(document->organization(), std::nullopt);
    EXPECT_EQ(document->creationDate(), std::nullopt);
    EXPECT_EQ(document->comments(), QStringLiteral("c"));
    EXPECT_EQ(document->keywords(), (QList<TWMapsDoc::Keyword>{{{"keyword", "alpha"}}}));
    EXPECT_EQ(document->htmlSetupDictionary(), (OrderedDictionary{{"title", "T"}}));
    EXPECT_FALSE(document->hasPresentationSetupDictionary());
    ASSERT_EQ(document->countOfResources(), 1);
    EXPECT_EQ(document->resources().at(0)->resourceName(), "Ann");
    ASSERT_EQ(document->countOfAttachedTextCategories(), 1);
    EXPECT_EQ(document->attachedTextCategories().at(0)->longName(), QStringLiteral("Notes"));

    // Nothing written for what was missing or cleared, duplicates included;
    // the rest in the later-save order.
    document->setComments(std::nullopt);
    EXPECT_EQ(childNames(XMLElement::parse(document->xmlDocumentData())),
              (QStringList{"creator", "maps", "currentMapNumber", "revisionNumber",
                           "htmlSetupDictionary",
                           "showPageFrames", "keywords", "resources", "attachedTextCategories"}));
}

TEST_F(ContentsXMLTest, TheStoredCurrentMapNumber)
{
    struct Case
    {
        QByteArray stored; // empty: none stored
        int maps, expected;
        bool warns;
    };
    const Case cases[] = {
        {"5", 2, 0, true}, // beyond the maps: the first rather than none
        {"2", 2, 0, true},    {"3", 0, -1, true},   {"", 1, 0, false},
        {"-1", 1, -1, false}, {"-7", 1, -1, false}, {"1", 2, 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "stored " << c.stored.constData() << ", " << c.maps << " maps");
        QByteArray contents = "<TWMapsDoc>";
        if (!c.stored.isEmpty())
            contents += "<currentMapNumber>" + c.stored + "</currentMapNumber>";
        contents += "<maps>";
        for (int i = 0; i < c.maps; ++i)
            contents += mapElement("M" + QByteArray::number(i), 1);
        contents += "</maps></TWMapsDoc>";
        WarningCapture warnings;
        auto document = TWMapsDoc::createWithDictionary(packageWithContents(contents), false);
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->currentMapNumber(), c.expected);
        EXPECT_EQ(document->currentMap(), document->objectInMapsAtIndex(c.expected));
        EXPECT_EQ(!warnings.lines().isEmpty(), c.warns)
            << warnings.lines().join('\n').toStdString();
    }
}

TEST_F(ContentsXMLTest, PackagesWithoutReadableContentsAreRefusedWithTheirLogText)
{
    const QString noContents = "This is not a valid Thinkweb file - no contents found";
    const QString loadError = "Error loading document ";
    PackageData picturesOnly;
    picturesOnly.insert("Images/Graphic1/a.png", "png");
    const std::pair<PackageData, QString> cases[] = {
        {picturesOnly, noContents},
        {packageWithContents("<TWMapsDoc>\xff\xfe</TWMapsDoc>"), noContents}, // no UTF-8
        {packageWithContents("<TWMapsDoc><open>"), loadError},
        {packageWithContents("<TWMap/>"), loadError},
    };
    for (const auto &[data, log] : cases) {
        WarningCapture warnings;
        EXPECT_EQ(TWMapsDoc::createWithDictionary(data, false), nullptr) << log.toStdString();
        EXPECT_TRUE(warnings.containsPrefix(log)) << warnings.lines().join('\n').toStdString();
    }
}

} // namespace
