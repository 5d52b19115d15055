#include "model/TWContactsProvider.h"
#include "model/TWMapsDoc_Private.h"
#include "model/TWResource.h"
#include "support/XMLDocument.h"

#include <QMimeData>

namespace {
// The strings of a property list that is an array of strings (the XML form
// of property lists; anything else gives none, logged).
QStringList stringsOfPropertyList(const QByteArray &data, const QString &type)
{
    QString error;
    const std::optional<XMLDocument> document = XMLDocument::parse(data, &error);
    if (!document) {
        qWarning().noquote() << "Pasteboard type" << type
                             << "holds no readable property list:" << error;
        return {};
    }
    XMLElement array = document->rootElement();
    if (array.name() == QLatin1String("plist"))
        array = array.elementForName(u"array");
    if (array.name() != QLatin1String("array")) {
        qWarning().noquote() << "Pasteboard type" << type << "holds no array";
        return {};
    }
    QStringList strings;
    for (const XMLElement &item : array.elementsForName(u"string"))
        strings.append(item.stringValue());
    return strings;
}

// The people and groups of contact records, as the document's resources.
TWMapsDoc::ResourceList resourcesWithContactRecords(TWMapsDoc &document,
                                                   const QList<TWContactRecord> &records)
{
    TWMapsDoc::ResourceList result;
    for (const TWContactRecord &record : records) {
        if (record.kind == TWContactRecord::Kind::Person) {
            if (std::shared_ptr<TWResource> resource = document.resourceWithABPerson(record))
                result.append(resource);
        } else {
            result += document.resourcesWithABGroup(record);
        }
    }
    return result;
}
} // namespace

TWMapsDoc::ResourceList TWMapsDoc::addResourcesFromPasteboard(const QMimeData *pasteboard)
{
    ResourceList result;
    if (!pasteboard)
        return result;

    if (pasteboard->hasFormat(ResourcesPboardType)) {
        const QStringList elements =
            stringsOfPropertyList(pasteboard->data(ResourcesPboardType), ResourcesPboardType);
        for (const QString &text : elements) {
            const XMLElement element = XMLElement::parse(text.toUtf8());
            if (element.name() != QLatin1String("TWResource")) {
                qWarning().noquote() << "Pasteboard resource is no TWResource element";
                continue;
            }
            std::shared_ptr<TWResource> resource = TWResource::objectWithXMLElement(element);
            const std::optional<QString> identifier = resource->resourceIdentifier();
            std::shared_ptr<TWResource> existing =
                identifier ? resourceWithIdentifier(*identifier) : nullptr;
            if (existing) {
                result.append(existing);
            } else {
                addResource(resource);
                result.append(resource);
            }
        }
    }
    if (pasteboard->hasFormat(PeopleUIDsPboardType)) {
        result += resourcesWithABIdentifiers(
            stringsOfPropertyList(pasteboard->data(PeopleUIDsPboardType), PeopleUIDsPboardType));
    }
    if (pasteboard->hasFormat(GroupsUIDsPboardType)) {
        result += resourcesWithABIdentifiers(
            stringsOfPropertyList(pasteboard->data(GroupsUIDsPboardType), GroupsUIDsPboardType));
    }
    // Address cards, read here since the desktop keeps no shared store.
    if (pasteboardHoldsVCards(pasteboard))
        result += resourcesWithContactRecords(*this, contactRecordsFromPasteboard(*pasteboard));
    return result;
}

TWMapsDoc::ResourceList TWMapsDoc::resourcesWithABIdentifiers(const QStringList &identifiers)
{
    QList<TWContactRecord> records;
    const TWContactsProvider &contacts = TWContactsProvider::shared();
    for (const QString &identifier : identifiers) {
        if (std::optional<TWContactRecord> record = contacts.recordWithUniqueId(identifier))
            records.append(*record);
    }
    return resourcesWithContactRecords(*this, records);
}

TWMapsDoc::ResourceList TWMapsDoc::resourcesWithABGroup(const TWContactRecord &group)
{
    ResourceList result;
    for (const TWContactRecord &member : group.members) {
        if (std::shared_ptr<TWResource> resource = resourceWithABPerson(member))
            result.append(resource);
    }
    return result;
}

std::shared_ptr<TWResource> TWMapsDoc::resourceWithABPerson(const TWContactRecord &person)
{
    if (std::shared_ptr<TWResource> existing = resourceWithIdentifier(person.uniqueId))
        return existing;
    const bool hasFirst = person.firstName && !person.firstName->isEmpty();
    const bool hasLast = person.lastName && !person.lastName->isEmpty();
    if (!hasFirst && !hasLast)
        return nullptr;

    // A name that is present counts even when empty: " Smith".
    QString name;
    if (person.firstName)
        name += *person.firstName;
    if (person.firstName && person.lastName)
        name += u' ';
    if (person.lastName)
        name += *person.lastName;

    auto resource = std::make_shared<TWResource>();
    resource->setResourceIdentifier(person.uniqueId);
    resource->setResourceName(name);
    addResource(resource);
    return resource;
}
