#include "TWMapsDocTestSupport.h"
#include "model/TWContactsProvider.h"
#include "model/TWResource.h"

#include <QHash>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

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
        TWContactsProvider::setShared(contacts);
        document->setUndoManager(undo);
    }
    ~TWMapsDocResourcesTest() override { TWContactsProvider::setShared(nullptr); }

    void closeStep() { undo->closeEventGroup(); }

    std::shared_ptr<FakeContacts> contacts = std::make_shared<FakeContacts>();
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
};

TEST_F(TWMapsDocResourcesTest, ResourcesJoinAndLeaveTheUndoManagerWithTheList)
{
    auto ann = std::make_shared<TWResource>(), bob = std::make_shared<TWResource>();
    document->addResource(ann);
    document->insertObjectInResourcesAtIndex(bob, 0);
    closeStep();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob, ann}));
    // Editing a listed resource is undoable with the document's steps.
    ann->setResourceName("Ann");
    closeStep();
    undo->undo();
    EXPECT_EQ(ann->resourceName(), "New Resource");

    // Found by equality, not identity.
    document->removeResource(ann->copy());
    closeStep();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob}));
    EXPECT_EQ(ann->undoManager(), nullptr);
    undo->undo();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob, ann}));
    EXPECT_EQ(ann->undoManager(), undo.get());
    EXPECT_EQ(document->resourceWithIdentifier(*ann->resourceIdentifier()), ann);
    EXPECT_EQ(document->resourceWithIdentifier("none"), nullptr);

    // Setting an equal list registers nothing; another list is one step.
    const int steps = undo->undoStepCount();
    document->setResources({bob->copy(), ann->copy()});
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_EQ(document->resources().at(0), bob);
    auto cy = std::make_shared<TWResource>();
    document->setResources({cy});
    closeStep();
    EXPECT_EQ(ann->undoManager(), nullptr);
    EXPECT_EQ(cy->undoManager(), undo.get());
    undo->undo();
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{bob, ann}));
    EXPECT_EQ(ann->undoManager(), undo.get());
    EXPECT_EQ(cy->undoManager(), nullptr);
}

TEST_F(TWMapsDocResourcesTest, ContactsGiveOneResourceAPersonAndGroupsTheirNamedMembers)
{
    contacts->add(person("P1", QString("Ann"), QString("Lee")));
    TWContactRecord group;
    group.kind = TWContactRecord::Kind::Group;
    group.uniqueId = "G1";
    group.members = {
        person("M1", QString(""), QString("Smith")), // a present name counts
        person("M2", std::nullopt, QString("Jones")), person("M3", QString("Ida"), std::nullopt),
        person("M4", std::nullopt, std::nullopt), person("M5", QString(""), QString(""))};
    contacts->add(group);

    // A person named twice gives the same resource twice.
    auto once = document->resourcesWithABIdentifiers({"P1", "P1", "unknown", "G1"});
    QStringList names;
    for (const auto &resource : once) {
        names << resource->resourceName();
        EXPECT_EQ(resource->undoManager(), undo.get());
    }
    EXPECT_EQ(names, (QStringList{"Ann Lee", "Ann Lee", " Smith", "Jones", "Ida"}));
    EXPECT_EQ(once.at(0), once.at(1));
    once.removeAt(1);
    EXPECT_EQ(document->resources(), once);
    EXPECT_EQ(once.at(3)->resourceIdentifier(), QStringLiteral("M3"));
    // Dropped again, the same resources come back.
    EXPECT_EQ(document->resourcesWithABIdentifiers({"G1", "P1"}),
              (TWMapsDoc::ResourceList{once[1], once[2], once[3], once[0]}));
    EXPECT_EQ(document->countOfResources(), 4);

    closeStep();
    undo->undo();
    EXPECT_EQ(document->countOfResources(), 0);

    // The program runs without any contacts.
    TWContactsProvider::setShared(nullptr);
    EXPECT_TRUE(document->resourcesWithABIdentifiers({"P1"}).isEmpty());
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
    EXPECT_EQ(document->resources(), (TWMapsDoc::ResourceList{known, resources[1], resources[2]}));
    EXPECT_EQ(warnings.lines().size(), 2);

    EXPECT_TRUE(document->addResourcesFromPasteboard(nullptr).isEmpty());
    QMimeData empty;
    EXPECT_TRUE(document->addResourcesFromPasteboard(&empty).isEmpty());
}

} // namespace

TEST_F(TWMapsDocResourcesTest, AddressCardsGivePeopleAndTheMembersOfGroups)
{
    const QByteArray ann = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann-1\r\nN:Lee;Ann;;;\r\n"
                           "FN:Ann Lee\r\nEND:VCARD\r\n";
    const QByteArray bob = "BEGIN:VCARD\nVERSION:4.0\nUID:urn:uuid:bob-2\nN:Ray;Bob\nEND:VCARD\n";
    const QByteArray group = "BEGIN:VCARD\nVERSION:4.0\nKIND:group\nUID:team\nFN:Team\n"
                             "MEMBER:urn:uuid:ann-1\nMEMBER:urn:uuid:bob-2\n"
                             "MEMBER:urn:uuid:elsewhere\nEND:VCARD\n";
    const QByteArray exported = "BEGIN:VCARD\nVERSION:3.0\nUID:crew\nFN:Crew\n"
                                "X-ADDRESSBOOKSERVER-KIND:group\n"
                                "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:bob-2\nEND:VCARD\n";
    const QByteArray noUid = "BEGIN:VCARD\nVERSION:3.0\nN:O\\;Neil;Pat;;;\nEND:VCARD\n";
    const QByteArray onlyFormatted = "BEGIN:VCARD\nVERSION:4.0\nFN:Sam\nEND:VCARD\n";
    const QByteArray nameless = "BEGIN:VCARD\nVERSION:4.0\nUID:x\nN:;;;;\nEND:VCARD\n";
    struct Case
    {
        const char *name;
        QString type; // empty: a .vcf file
        QByteArray data;
        QStringList resources; // names, in order
    };
    const Case cases[] = {
        {"one person", "text/vcard", ann, {"Ann Lee"}},
        {"the same person again", "text/x-vcard", ann, {"Ann Lee"}},
        {"people of a file", "", ann + bob, {"Ann Lee", "Bob Ray"}},
        {"a group gives its members once", "text/vcard", group + ann + bob, {"Ann Lee", "Bob Ray"}},
        {"an exported group", "", exported + bob, {"Bob Ray"}},
        {"an escaped semicolon, no UID", "text/vcard", noUid, {"Pat O;Neil"}},
        {"only a formatted name", "text/directory", onlyFormatted, {"Sam"}},
        {"no name at all", "text/vcard", nameless, {}},
        {"a card that never ends", "text/vcard", "BEGIN:VCARD\nN:Lee;Ann\n", {}},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData pasteboard;
        if (c.type.isEmpty()) {
            const QString path = folder.filePath(QStringLiteral("cards.VCF"));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.data);
            file.close();
            pasteboard.setUrls({QUrl::fromLocalFile(path)});
        } else {
            pasteboard.setData(c.type, c.data);
        }
        EXPECT_TRUE(pasteboardHoldsVCards(&pasteboard));
        QStringList names;
        for (const auto &resource : document->addResourcesFromPasteboard(&pasteboard))
            names << resource->resourceName();
        EXPECT_EQ(names, c.resources);
    }
    // Each person once in the document, whichever way it came.
    QStringList all;
    for (const auto &resource : document->resources())
        all << resource->resourceName();
    EXPECT_EQ(all, QStringList({"Ann Lee", "Bob Ray", "Pat O;Neil", "Sam"}));
    EXPECT_EQ(document->resourceWithIdentifier("bob-2")->resourceName(), "Bob Ray");

    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(folder.filePath("notes.txt"))});
    EXPECT_FALSE(pasteboardHoldsVCards(&other));
}
