#include "TWMapsDocTestSupport.h"
#include "model/TWContactsProvider.h"
#include "model/TWResource.h"

#include <QHash>
#include <QMimeData>

using namespace MapsDocTest;

namespace {

class FakeContacts : public TWContactsProvider
{
public:
    void add(const TWContactRecord &record) { m_records.insert(record.uniqueId, record); }
    std::optional<TWContactRecord> recordWithUniqueId(const QString &id) const override
    {
        const auto it = m_records.constFind(id);
        if (it == m_records.cend())
            return std::nullopt;
        return *it;
    }

private:
    QHash<QString, TWContactRecord> m_records;
};

TWContactRecord person(const QString &id, std::optional<QString> first, std::optional<QString> last)
{
    TWContactRecord record;
    record.uniqueId = id;
    record.firstName = std::move(first);
    record.lastName = std::move(last);
    return record;
}

QByteArray stringArrayPropertyList(const QStringList &strings)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<plist version=\"1.0\"><array>";
    for (const QString &s : strings)
        xml += "<string>" + s.toHtmlEscaped().toUtf8() + "</string>";
    return xml + "</array></plist>";
}

class TWMapsDocResourcesTest : public MapsDocFixture
{
protected:
    TWMapsDocResourcesTest()
    {
        contacts = std::make_shared<FakeContacts>();
        TWContactsProvider::setShared(contacts);
        document = TWMapsDoc::create();
        document->setUndoManager(undo);
    }
    ~TWMapsDocResourcesTest() override { TWContactsProvider::setShared(nullptr); }

    std::shared_ptr<FakeContacts> contacts;
    std::shared_ptr<TWMapsDoc> document;
};

TEST_F(TWMapsDocResourcesTest, TheProgramRunsWithNoContacts)
{
    TWContactsProvider::setShared(nullptr);
    EXPECT_EQ(TWContactsProvider::shared().recordWithUniqueId("anyone"), std::nullopt);
    EXPECT_TRUE(document->resourcesWithABIdentifiers({"anyone"}).isEmpty());
}

TEST_F(TWMapsDocResourcesTest, ResourceNamesFromPersons)
{
    const auto spaced = document->resourceWithABPerson(person("A", QString(""), QString("Smith")));
    ASSERT_NE(spaced, nullptr);
    EXPECT_EQ(spaced->resourceName(), " Smith");
    EXPECT_EQ(spaced->resourceIdentifier(), QStringLiteral("A"));

    const auto last = document->resourceWithABPerson(person("B", std::nullopt, QString("Jones")));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->resourceName(), "Jones");

    const auto first = document->resourceWithABPerson(person("C", QString("Ida"), std::nullopt));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->resourceName(), "Ida");

    EXPECT_EQ(document->resourceWithABPerson(person("D", std::nullopt, std::nullopt)), nullptr);
    EXPECT_EQ(document->resourceWithABPerson(person("E", QString(""), QString(""))), nullptr);
    EXPECT_EQ(document->countOfResources(), 3);
    EXPECT_EQ(spaced->undoManager(), undo.get());
}

TEST_F(TWMapsDocResourcesTest, APersonDroppedTwiceGivesTheSameResource)
{
    contacts->add(person("P1", QString("Ann"), QString("Lee")));
    const auto once = document->resourcesWithABIdentifiers({"P1", "P1"});
    ASSERT_EQ(once.size(), 1);
    const auto twice = document->resourcesWithABIdentifiers({"P1"});
    ASSERT_EQ(twice.size(), 1);
    EXPECT_EQ(once.at(0), twice.at(0));
    EXPECT_EQ(document->countOfResources(), 1);

    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(document->countOfResources(), 0);
}

TEST_F(TWMapsDocResourcesTest, AGroupGivesItsMembers)
{
    TWContactRecord group;
    group.kind = TWContactRecord::Kind::Group;
    group.uniqueId = "G1";
    group.members = {person("M1", QString("Ann"), std::nullopt),
                     person("M2", std::nullopt, std::nullopt),
                     person("M3", QString("Bo"), QString("Ek"))};
    contacts->add(group);
    const auto resources = document->resourcesWithABIdentifiers({"G1", "unknown"});
    ASSERT_EQ(resources.size(), 2);
    EXPECT_EQ(resources.at(0)->resourceName(), "Ann");
    EXPECT_EQ(resources.at(1)->resourceName(), "Bo Ek");
}

TEST_F(TWMapsDocResourcesTest, ThePasteboardGivesResourcesInItsOrder)
{
    auto known = TWResource::objectWithXMLElement(
        XMLElement::parse("<TWResource><resourceIdentifier>R1</resourceIdentifier>"
                          "<resourceName>Kept</resourceName></TWResource>"));
    document->addResource(known);
    contacts->add(person("P9", QString("Pat"), QString("Kim")));

    QMimeData pasteboard;
    pasteboard.setData(
        TWMapsDoc::ResourcesPboardType,
        stringArrayPropertyList({"<TWResource><resourceIdentifier>R1</resourceIdentifier>"
                                 "<resourceName>Other name</resourceName></TWResource>",
                                 "<TWResource><resourceIdentifier>R2</resourceIdentifier>"
                                 "<resourceName>New</resourceName></TWResource>",
                                 "<notAResource/>", "not even XML <"}));
    pasteboard.setData(TWMapsDoc::PeopleUIDsPboardType, stringArrayPropertyList({"P9"}));

    WarningCapture warnings;
    const auto resources = document->addResourcesFromPasteboard(&pasteboard);
    ASSERT_EQ(resources.size(), 3);
    EXPECT_EQ(resources.at(0), known);
    EXPECT_EQ(resources.at(1)->resourceName(), "New");
    EXPECT_EQ(resources.at(2)->resourceName(), "Pat Kim");
    EXPECT_EQ(document->countOfResources(), 3);
    EXPECT_EQ(document->resources().at(1), resources.at(1));
    EXPECT_EQ(warnings.lines().size(), 2);

    EXPECT_TRUE(document->addResourcesFromPasteboard(nullptr).isEmpty());
    QMimeData empty;
    EXPECT_TRUE(document->addResourcesFromPasteboard(&empty).isEmpty());
}

} // namespace
