#include "model/TWResource.h"
#include "RecordTestSupport.h"
#include "platform/UndoManager.h"

using namespace RecordTest;
using MapsDocTest::MapsDocFixture;

namespace {

// Puts a default locale in place while it lives.
class DefaultLocale
{
public:
    explicit DefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

QStringList childNames(const XMLElement &element)
{
    QStringList names;
    for (const XMLElement &child : element.elements())
        names << child.name();
    return names;
}

std::shared_ptr<TWResource> roundTrip(const TWResource &resource)
{
    return TWResource::objectWithXMLElement(
        XMLElement::parse(resource.freshXMLElement().xmlString()));
}

} // namespace

TEST(TWResourceTest, ANewResource)
{
    const auto a = std::make_shared<TWResource>(), b = std::make_shared<TWResource>();
    EXPECT_EQ(a->resourceName(), "New Resource");
    EXPECT_TRUE(a->shortName().isEmpty());
    EXPECT_TRUE(a->role().isEmpty());
    EXPECT_EQ(a->dailyStartTime().hourOfDay(), 9);
    EXPECT_EQ(a->dailyStartTime().minuteOfHour(), 0);
    EXPECT_EQ(a->dailyFinishTime().hourOfDay(), 17);
    EXPECT_EQ(a->dailyStartTime().yearOfCommonEra(), 2000);
    ASSERT_TRUE(a->resourceIdentifier().has_value());
    EXPECT_NE(a->resourceIdentifier(), b->resourceIdentifier());
    EXPECT_FALSE(a->isEqual(*b));
    EXPECT_TRUE(a->costString().isEmpty());
    EXPECT_EQ(a->daysAvailableMode(), 0);

    UndoManager undo;
    const TWResource named("Ann Lee", &undo);
    EXPECT_EQ(named.resourceName(), "Ann Lee");
    EXPECT_TRUE(named.shortName().isEmpty());
    EXPECT_EQ(named.undoManager(), &undo);
    // Named, it is a new resource in all else.
    ASSERT_TRUE(named.resourceIdentifier().has_value());
    EXPECT_NE(named.resourceIdentifier(), a->resourceIdentifier());
    QString written = named.freshXMLElement().xmlString();
    written.replace(*named.resourceIdentifier(), *a->resourceIdentifier())
        .replace(QStringLiteral("Ann Lee"), QStringLiteral("New Resource"));
    EXPECT_EQ(written, a->freshXMLElement().xmlString());
}

// The working hours of a new resource follow the system zone, also when it
// changes between one resource and the next.
TEST(TWResourceTest, NewResourcesWorkNineToFiveInTheSystemZone)
{
    const QByteArray before = qgetenv("TZ");
    const char *const zones[] = {"Europe/Berlin", "Asia/Kolkata", "America/New_York",
                                 "Europe/Berlin"};
    QStringList seen;
    for (const char *zone : zones) {
        SCOPED_TRACE(zone);
        qputenv("TZ", zone);
        const TimeZone system = TimeZone::systemTimeZone();
        seen << system.name();
        for (int i = 0; i < 2; ++i) {
            const TWResource resource;
            EXPECT_EQ(resource.dailyStartTime(),
                      CalendarDate::dateWithYear(2000, 1, 1, 9, 0, 0, system));
            EXPECT_EQ(resource.dailyFinishTime(),
                      CalendarDate::dateWithYear(2000, 1, 1, 17, 0, 0, system));
            EXPECT_EQ(resource.dailyStartTime().timeZone(), system);
        }
    }
    if (before.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", before);
    // The zones did change, so each row checked a zone of its own.
    EXPECT_EQ(seen.size(), 4);
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
}

TEST(TWResourceTest, ShortNamesAreTheInitialsOfTheFirstName)
{
    const std::pair<QString, QString> initials[] = {
        {"ann lee", "AL"},
        {"  Ann   van  Lee ", "AVL"},
        {"single", "S"},
        {"", ""},
        {"   ", ""},
        {QString::fromUtf8("élodie ßmith"), QString::fromUtf8("ÉSS")},
        {QString::fromUtf8("𝒶bc 𐐨ne"), QString::fromUtf8("𝒶𐐀")}, // whole characters
        {"tab\tseparated words", "TW"},                          // only spaces split
    };
    for (const auto &[name, expected] : initials)
        EXPECT_EQ(TWResource::initials(name), expected) << name.toStdString();

    auto resource = std::make_shared<TWResource>();
    resource->setResourceName("ann lee");
    EXPECT_EQ(resource->shortName(), "AL");
    resource->setResourceName("Bob Ray");
    EXPECT_EQ(resource->shortName(), "AL");

    // A name without initials leaves the short name to a later one.
    auto blank = std::make_shared<TWResource>();
    blank->setResourceName("  ");
    EXPECT_TRUE(blank->shortName().isEmpty());
    blank->setResourceName("Cy Doe");
    EXPECT_EQ(blank->shortName(), "CD");
}

TEST(TWResourceTest, CostTextsUseTheLocalesCurrencySymbol)
{
    struct Case
    {
        QLocale locale;
        float cost;
        bool hourly;
        QString costText, overtimeText;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), 12.5f, true, "Hourly cost: $12.50",
         "Overtime rate: $12.50"},
        {QLocale(QLocale::German, QLocale::Germany), 12.5f, false,
         QString::fromUtf8("Cost per use: €12.50"), QString::fromUtf8("Overtime rate: €12.50")},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), 7.999f, false,
         QString::fromUtf8("Cost per use: £8.00"), QString::fromUtf8("Overtime rate: £8.00")},
        {QLocale(QLocale::German, QLocale::Switzerland), 1234.567f, true, "Hourly cost: CHF1234.57",
         "Overtime rate: CHF1234.57"},
        {QLocale::c(), 3, false, "Cost per use: $3.00", "Overtime rate: $3.00"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TWResource::costText(c.cost, c.hourly, c.locale), c.costText)
            << c.locale.name().toStdString();
        EXPECT_EQ(TWResource::overtimeText(c.cost, c.locale), c.overtimeText)
            << c.locale.name().toStdString();
    }
    EXPECT_EQ(
        TWResource::withCurrencySymbol("$1 and $2", QLocale(QLocale::Japanese, QLocale::Japan)),
        QString::fromUtf8("￥1 and ￥2"));

    // The stored texts follow the default locale and every cost setter,
    // also when the value stays.
    const DefaultLocale euro(QLocale(QLocale::French, QLocale::France));
    auto resource = std::make_shared<TWResource>();
    resource->setHourlyRate(true);
    resource->setUnitCost(12.5f);
    EXPECT_EQ(resource->costString(), QString::fromUtf8("Hourly cost: €12.50"));
    EXPECT_EQ(resource->valueForKey("costString").toString(), resource->costString());
    EXPECT_TRUE(resource->overtimeString().isEmpty());
    resource->setOvertimeRate(0);
    EXPECT_EQ(resource->overtimeString(), QString::fromUtf8("Overtime rate: €0.00"));
    resource->setHourlyRate(false);
    EXPECT_EQ(resource->costString(), QString::fromUtf8("Cost per use: €12.50"));
}

TEST(TWResourceTest, WeekdaysAndDaysPerWeek)
{
    auto weekdays = std::make_shared<TWResource>();
    for (auto day : {TWResource::Monday, TWResource::Tuesday, TWResource::Wednesday,
                     TWResource::Thursday, TWResource::Friday})
        weekdays->setAvailable(day, true);
    weekdays->setValueForKey(1, "daysAvailableMode");
    weekdays->setDaysPerWeekAvailable(3);
    EXPECT_EQ(weekdays->availableDays(), 62);
    const XMLElement element = weekdays->freshXMLElement();
    EXPECT_EQ(element.stringForPath(u"availableDays"), QString("62"));
    EXPECT_EQ(element.stringForPath(u"daysPerWeekAvailable"), QString("0"));
    const auto weekdaysRead = TWResource::objectWithXMLElement(element);
    EXPECT_EQ(weekdaysRead->daysAvailableMode(), 1);
    EXPECT_EQ(weekdaysRead->availableDays(), 62);
    EXPECT_TRUE(weekdaysRead->valueForKey("availableFriday").toBool());
    EXPECT_FALSE(weekdaysRead->valueForKey("availableSunday").toBool());

    auto sunday = std::make_shared<TWResource>();
    sunday->setAvailableSunday(true);
    EXPECT_EQ(sunday->availableDays(), 1);
    sunday->setValueForKey(true, "availableSaturday");
    EXPECT_EQ(sunday->availableDays(), 65);

    auto perWeek = std::make_shared<TWResource>();
    perWeek->setDaysPerWeekAvailable(4.5f);
    EXPECT_EQ(perWeek->freshXMLElement().stringForPath(u"daysPerWeekAvailable"),
              QString("4.500000"));
    const auto perWeekRead = roundTrip(*perWeek);
    EXPECT_EQ(perWeekRead->daysAvailableMode(), 0);
    EXPECT_EQ(perWeekRead->daysPerWeekAvailable(), 4.5f);
    EXPECT_TRUE(perWeekRead->isEqual(*perWeek));

    // No days a week is written as weekday mode, which it reads back as.
    const auto none = std::make_shared<TWResource>();
    EXPECT_EQ(none->freshXMLElement().stringForPath(u"daysPerWeekAvailable"), QString("0"));
    EXPECT_EQ(roundTrip(*none)->daysAvailableMode(), 1);

    // Bits beyond Saturday are no day.
    const auto wide = TWResource::objectWithXMLElement(
        XMLElement::parse("<TWResource><availableDays>255</availableDays></TWResource>"));
    EXPECT_EQ(wide->availableDays(), 127);
}

TEST(TWResourceTest, ElementRoundTrips)
{
    auto full = std::make_shared<TWResource>();
    full->setResourceName(QString::fromUtf8("Zoë & Co <ops>"));
    full->setShortName("ZC");
    full->setRole("lead");
    full->setUnitCost(12.25f);
    full->setOvertimeRate(20);
    full->setHourlyRate(true);
    full->setDaysPerWeekAvailable(2.5f);
    full->setAvailableWednesday(true);
    full->setDailyStartTime(
        *CalendarDate::dateWithYear(2000, 1, 1, 8, 30, 45, TimeZone::systemTimeZone()));
    full->setDailyFinishTime(
        *CalendarDate::dateWithYear(2000, 1, 1, 16, 45, 0, TimeZone::systemTimeZone()));
    full->setWorkingDownTime(3);

    const XMLElement element = full->freshXMLElement();
    EXPECT_EQ(childNames(element),
              (QStringList{"resourceIdentifier", "resourceName", "shortName", "role", "unitCost",
                           "overtimeRate", "hourlyRate", "daysPerWeekAvailable", "availableDays",
                           "workingHourStart", "workingMinuteStart", "workingHourFinish",
                           "workingMinuteFinish", "workingDownTime"}));
    EXPECT_EQ(element.stringForPath(u"unitCost"), QString("12.250000"));
    EXPECT_EQ(element.stringForPath(u"hourlyRate"), QString("YES"));
    EXPECT_EQ(element.stringForPath(u"workingMinuteStart"), QString("30"));

    for (const auto &original : {full, std::make_shared<TWResource>()}) {
        const auto read = roundTrip(*original);
        ASSERT_NE(read, nullptr);
        EXPECT_TRUE(read->isEqual(*original));
        EXPECT_EQ(read->freshXMLElement().xmlString(), original->freshXMLElement().xmlString());
        EXPECT_EQ(read->undoManager(), nullptr);

        // The libxml2 route carries the same element.
        const QByteArray holder = writtenUnder(
            "resource", [&](xmlNodePtr parent) { original->addXmlDataToNode(parent); });
        const auto viaNode = readFrom(holder, &TWResource::initWithXMLNode);
        ASSERT_NE(viaNode, nullptr);
        EXPECT_TRUE(viaNode->isEqual(*original));
        EXPECT_EQ(XMLElement::parse(holder).firstChildIfElement().xmlString(),
                  original->freshXMLElement().xmlString());
    }
    const auto read = roundTrip(*full);
    EXPECT_EQ(read->dailyStartTime().hourOfDay(), 8);
    EXPECT_EQ(read->dailyStartTime().minuteOfHour(), 30);
    EXPECT_EQ(read->dailyStartTime().secondOfMinute(), 0);
    EXPECT_EQ(read->dailyFinishTime().minuteOfHour(), 45);
    EXPECT_EQ(read->shortName(), "ZC");

    // One field apart is another resource.
    const auto otherRole = full->copy();
    EXPECT_TRUE(otherRole->isEqual(*full));
    otherRole->setRole("deputy");
    EXPECT_FALSE(otherRole->isEqual(*full));
    EXPECT_EQ(otherRole->resourceIdentifier(), full->resourceIdentifier());
}

TEST(TWResourceTest, ReadingMissingAndBadChildren)
{
    const auto sparse = TWResource::objectWithXMLElement(
        XMLElement::parse("<TWResource><resourceName>Ann Lee</resourceName><unitCost>nan</unitCost>"
                          "<overtimeRate>inf</overtimeRate><hourlyRate>yes</hourlyRate>"
                          "<workingHourStart>25</workingHourStart></TWResource>"));
    ASSERT_NE(sparse, nullptr);
    EXPECT_EQ(sparse->resourceIdentifier(), std::nullopt);
    // No stored short name: none, though the name gave initials on the way.
    EXPECT_TRUE(sparse->shortName().isEmpty());
    EXPECT_EQ(sparse->unitCost(), 0.0f);
    EXPECT_EQ(sparse->overtimeRate(), 0.0f);
    EXPECT_TRUE(sparse->hourlyRate());
    EXPECT_EQ(sparse->daysAvailableMode(), 1);
    EXPECT_EQ(sparse->dailyStartTime().hourOfDay(), 1);
    EXPECT_EQ(sparse->dailyFinishTime().hourOfDay(), 0);
    EXPECT_EQ(sparse->workingDownTime(), 0);
    EXPECT_EQ(sparse->freshXMLElement().stringForPath(u"resourceIdentifier"), std::nullopt);

    MapsDocTest::WarningCapture warnings;
    EXPECT_EQ(TWResource::objectWithXMLElement(XMLElement::parse("<TWPerson/>")), nullptr);
    EXPECT_EQ(TWResource::objectWithXMLElement(XMLElement()), nullptr);
    EXPECT_EQ(readFrom("<resource/>", &TWResource::initWithXMLNode), nullptr);
}

TEST(TWResourceTest, ChildrenOfOtherVersionsStayInPlace)
{
    const QByteArray stored = "<TWResource><resourceIdentifier>R1</resourceIdentifier>"
                              "<calendar kind=\"x\"><day>Mon</day></calendar>"
                              "<resourceName>Ann</resourceName><email>a@b</email>"
                              "<workingDownTime>2</workingDownTime></TWResource>";
    const auto resource = TWResource::objectWithXMLElement(XMLElement::parse(stored));
    ASSERT_NE(resource, nullptr);
    const QStringList expected{"resourceIdentifier",
                               "calendar",
                               "resourceName",
                               "shortName",
                               "role",
                               "unitCost",
                               "overtimeRate",
                               "hourlyRate",
                               "daysPerWeekAvailable",
                               "availableDays",
                               "workingHourStart",
                               "workingMinuteStart",
                               "workingHourFinish",
                               "workingMinuteFinish",
                               "email",
                               "workingDownTime"};
    const XMLElement first = resource->freshXMLElement();
    EXPECT_EQ(childNames(first), expected);
    EXPECT_EQ(first.elementForName(u"calendar").xmlString(),
              "<calendar kind=\"x\">\n  <day>Mon</day>\n</calendar>");

    // Changed values are written in place; the text holds through reloads.
    resource->setRole("lead");
    const QByteArray second = resource->freshXMLElement().xmlString();
    const auto reloaded = TWResource::objectWithXMLElement(XMLElement::parse(second));
    EXPECT_EQ(childNames(XMLElement::parse(second)), expected);
    EXPECT_EQ(reloaded->freshXMLElement().xmlString(), second);
    EXPECT_EQ(reloaded->copy()->freshXMLElement().xmlString(), second);
}

// A value change reaches whoever listens for it: for this record, for
// every record, for every notification; no one else.
TEST(TWResourceTest, AChangeReachesEveryKindOfListener)
{
    auto resource = std::make_shared<TWResource>();
    auto other = std::make_shared<TWResource>();
    const struct
    {
        const char *who;
        QString name;
        const void *sender;
        bool receives;
    } listeners[] = {
        {"this record", TWRecord::ValueDidChangeNotification, resource.get(), true},
        {"every record", TWRecord::ValueDidChangeNotification, nullptr, true},
        {"everything", QString(), nullptr, true},
        {"everything of this record", QString(), resource.get(), true},
        {"another record", TWRecord::ValueDidChangeNotification, other.get(), false},
        {"another name", QStringLiteral("SomethingElse"), nullptr, false},
    };
    int round = 0;
    for (const auto &l : listeners) {
        SCOPED_TRACE(l.who);
        QStringList keys;
        const ObserverToken token = NotificationCenter::defaultCenter().observe(
            l.name, l.sender, [&keys](const Notification &n) {
                if (n.name == TWRecord::ValueDidChangeNotification)
                    keys << n.userInfo.value(TWRecord::KeyKey).toString();
            });
        resource->setRole(QStringLiteral("role %1").arg(++round));
        EXPECT_EQ(keys, l.receives ? QStringList{"role"} : QStringList());
    }
    // With no one listening, a change is still made.
    resource->setRole(QStringLiteral("unheard"));
    EXPECT_EQ(resource->role(), QStringLiteral("unheard"));
}

TEST(TWResourceTest, SettersUndoAndAnnounce)
{
    UndoManager undo;
    auto resource = std::make_shared<TWResource>();
    resource->setUndoManager(&undo);
    ChangeRecorder changes(resource.get());

    resource->setResourceName("Ann Lee");
    undo.closeEventGroup();
    EXPECT_EQ(resource->shortName(), "AL");
    EXPECT_EQ(changes.keys, (QStringList{"resourceName", "shortName"}));
    // Undo restores both, without deriving initials from the old name.
    undo.undo();
    EXPECT_EQ(resource->resourceName(), "New Resource");
    EXPECT_TRUE(resource->shortName().isEmpty());
    undo.redo();
    EXPECT_EQ(resource->resourceName(), "Ann Lee");
    EXPECT_EQ(resource->shortName(), "AL");

    // Each setter is undoable; unchanged values register nothing.
    struct Case
    {
        const char *key;
        QVariant value;
    };
    const Case cases[] = {
        {"role", QString("lead")},
        {"shortName", QString("Ann")},
        {"unitCost", 4.5f},
        {"overtimeRate", 9.0f},
        {"hourlyRate", true},
        {"daysPerWeekAvailable", 3.0f},
        {"availableTuesday", true},
        {"workingDownTime", 2},
        {"dailyStartTime", QVariant::fromValue(*CalendarDate::dateWithYear(
                               2000, 1, 1, 7, 15, 0, TimeZone::systemTimeZone()))},
        {"dailyFinishTime", QVariant::fromValue(*CalendarDate::dateWithYear(
                                2000, 1, 1, 18, 0, 0, TimeZone::systemTimeZone()))},
    };
    for (const Case &c : cases) {
        const QVariant before = resource->valueForKey(c.key);
        const int steps = undo.undoStepCount();
        changes.keys.clear();
        ASSERT_TRUE(resource->setValueForKey(c.value, c.key)) << c.key;
        undo.closeEventGroup();
        EXPECT_EQ(resource->valueForKey(c.key), c.value) << c.key;
        EXPECT_EQ(changes.keys.value(0), c.key);
        EXPECT_EQ(undo.undoStepCount(), steps + 1) << c.key;
        EXPECT_EQ(undo.undoActionName(), "") << c.key;
        resource->setValueForKey(c.value, c.key);
        undo.closeEventGroup();
        EXPECT_EQ(undo.undoStepCount(), steps + 1) << c.key;
        undo.undo();
        EXPECT_EQ(resource->valueForKey(c.key), before) << c.key;
        undo.redo();
        EXPECT_EQ(resource->valueForKey(c.key), c.value) << c.key;
    }

    // Direct keys announce, register nothing.
    const int steps = undo.undoStepCount();
    changes.keys.clear();
    resource->setValueForKey(QString("R-9"), "resourceIdentifier");
    resource->setValueForKey(1, "daysAvailableMode");
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoStepCount(), steps);
    EXPECT_EQ(changes.keys, (QStringList{"resourceIdentifier", "daysAvailableMode"}));
    EXPECT_EQ(resource->resourceIdentifier(), QString("R-9"));

    // Without an undo manager nothing is registered; a gone one is let go.
    {
        UndoManager gone;
        resource->setUndoManager(&gone);
    }
    EXPECT_EQ(resource->undoManager(), nullptr);
    resource->setRole("after");
    EXPECT_EQ(resource->role(), "after");
}

class RecordsInContentsTest : public MapsDocFixture
{};

TEST_F(RecordsInContentsTest, ChildrenOfOtherVersionsSurviveADocumentLoadAndSave)
{
    const QByteArray contents =
        "<TWMapsDoc><resources><resource><TWResource>"
        "<resourceIdentifier>R1</resourceIdentifier><future>kept</future>"
        "<resourceName>Ann Lee</resourceName></TWResource></resource></resources>"
        "<attachedTextCategories><attachedTextCategory><TWAttachedTextCategory>"
        "<shortName>N</shortName><future>also kept</future><longName>Notes</longName>"
        "</TWAttachedTextCategory></attachedTextCategory></attachedTextCategories></TWMapsDoc>";
    const auto load = [](const QByteArray &text) {
        PackageData data;
        data.insert(TWMapsDoc::ContentsPath, text);
        data.insert("Thinkweb/fileVersion.txt", "4.1");
        return TWMapsDoc::createWithDictionary(data, false);
    };
    const auto document = load(contents);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->countOfResources(), 1);
    EXPECT_EQ(document->resources().at(0)->resourceName(), "Ann Lee");

    const QByteArray saved = document->xmlDocumentData();
    const XMLElement root = XMLElement::parse(saved);
    EXPECT_EQ(childNames(root.elementForPath(u"resources/resource/TWResource")).mid(0, 3),
              (QStringList{"resourceIdentifier", "future", "resourceName"}));
    EXPECT_EQ(childNames(root.elementForPath(
                  u"attachedTextCategories/attachedTextCategory/TWAttachedTextCategory")),
              (QStringList{"shortName", "future", "longName"}));
    const auto reloaded = load(saved);
    ASSERT_NE(reloaded, nullptr);
    const XMLElement again = XMLElement::parse(reloaded->xmlDocumentData());
    for (const char16_t *list : {u"resources", u"attachedTextCategories"})
        EXPECT_EQ(again.elementForName(list).xmlString(), root.elementForName(list).xmlString());
}
