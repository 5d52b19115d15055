#include "model/TWAttachedTextCategory.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc_Private.h"
#include "model/TWResource.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <QStringDecoder>

namespace {
int countBranchElementsBelow(const XMLElement &element)
{
    xmlDocPtr doc = element.doc();
    if (!doc)
        return 0;
    xmlXPathContextPtr context = TWXMLUtils::newContext(doc, element.node());
    if (!context)
        return 0;
    int count = 0;
    if (xmlXPathObjectPtr result = TWXMLUtils::getNodeSetForXPath(".//TWMapBranch", doc, context)) {
        count = xmlXPathNodeSetGetLength(result->nodesetval);
        xmlXPathFreeObject(result);
    }
    xmlXPathFreeContext(context);
    return count;
}

XMLElement freshOrNull(const std::optional<CalendarDate> &date)
{
    return date ? date->freshXMLElement() : XMLElement();
}

XMLElement freshOrNull(const std::optional<OrderedDictionary> &dictionary)
{
    return dictionary ? dictionary->freshXMLElement() : XMLElement();
}

std::optional<OrderedDictionary> dictionaryAt(const XMLElement &root, QStringView path)
{
    const XMLElement element = root.elementForPath(path);
    if (element.isNull())
        return std::nullopt;
    return OrderedDictionary::objectWithXMLElement(element);
}
} // namespace

void TWMapsDoc::updateLiveXMLElement()
{
    XMLElement root = m_liveXMLElement;

    // Each map's own element moves into the new list, built in place: no
    // copy, and the map goes on editing the element that is written.
    XMLElement maps = root.appendChildElement(u"maps");
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        maps.appendChildElement(u"map").addChild(map->liveXMLElement());
    for (const XMLElement &old : root.elementsForName(u"maps"))
        if (old != maps)
            root.removeChild(old);

    root.setInt(m_currentMapNumber, u"currentMapNumber");
    root.setString(m_creator, u"creator");
    root.setString(m_organization, u"organization");
    root.setString(m_comments, u"comments");
    root.setInt(m_revisionNumber, u"revisionNumber");
    root.setElement(freshOrNull(m_creationDate), u"creationDate");
    root.setElement(freshOrNull(m_lastSaveDate), u"lastSaveDate");
    root.setString(m_filename, u"filename");
    root.setElement(freshOrNull(m_htmlSetupDictionary), u"htmlSetupDictionary");
    root.setElement(freshOrNull(m_presentationSetupDictionary), u"presentationSetupDictionary");
    root.setBool(m_showPageFrames, u"showPageFrames");

    XMLElement keywords = XMLElement::create("keywords");
    for (const Keyword &keyword : std::as_const(m_keywords))
        keywords.appendChildElement(u"string").setStringValue(
            keyword.value(QStringLiteral("keyword")).toString());
    root.addChild(std::move(keywords), true);

    XMLElement resources = XMLElement::create("resources");
    for (const std::shared_ptr<TWResource> &resource : std::as_const(m_resources))
        resources.appendChildElement(u"resource").addChild(resource->freshXMLElement());
    root.addChild(std::move(resources), true);

    XMLElement categories = XMLElement::create("attachedTextCategories");
    for (const std::shared_ptr<TWAttachedTextCategory> &category :
         std::as_const(m_attachedTextCategories))
        categories.appendChildElement(u"attachedTextCategory")
            .addChild(category->freshXMLElement());
    root.addChild(std::move(categories), true);
}

QByteArray TWMapsDoc::xmlDocumentData()
{
    // The same text a save streams into the package.
    QByteArray data;
    XMLStreamWriter writer([&data](const char *bytes, qint64 size) {
        data.append(bytes, qsizetype(size));
        return true;
    });
    writeContentsXML(writer);
    writer.writeEndDocument();
    return data;
}

bool TWMapsDoc::loadFromXMLElement(const XMLElement &element)
{
    // First of all: the map reader falls back on children of this element.
    m_liveXMLElement = element;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(StartLoadingCountNotification, nullptr,
                {{CountKey, countBranchElementsBelow(element)}});

    clearMapsForLoading();
    for (const XMLElement &mapElement : element.elementForName(u"maps").elementsForName(u"map")) {
        if (std::shared_ptr<TWMap> map = TWMap::createWithXMLElement(
                mapElement.elementForName(u"TWMap"), this, TWMap::Identifier::KeepStored))
            m_maps.append(map);
    }
    readRootValues(element);
    center.post(FinishLoadingNotification);
    return true;
}

void TWMapsDoc::clearMapsForLoading()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        map->setDocument(nullptr);
    m_maps.clear();
    m_currentMap.reset();
    m_currentMapNumber = -1;
}

void TWMapsDoc::readRootValues(const XMLElement &element)
{
    int number = element.intForPath(u"currentMapNumber");
    if (number >= m_maps.size()) {
        // A number beyond the maps opens the first one rather than none.
        if (number > 0)
            qWarning().noquote() << "TWMapsDoc: stored current map number" << number << "beyond"
                                 << m_maps.size() << "maps";
        number = m_maps.isEmpty() ? -1 : 0;
    } else if (number < -1) {
        number = -1;
    }
    setCurrentMapNumber(number);

    // An empty creator or organization was written as one: it stays there.
    const auto keptString = [&element](QAnyStringView name) -> std::optional<QString> {
        const XMLElement e = element.elementForName(name);
        return e.isNull() ? std::nullopt : std::optional<QString>(e.stringValue());
    };
    setCreator(keptString(u"creator"));
    setOrganization(keptString(u"organization"));
    setCreationDate(
        CalendarDate::objectWithXMLElement(element.elementForPath(u"creationDate/NSCalendarDate")));
    setLastSaveDate(
        CalendarDate::objectWithXMLElement(element.elementForPath(u"lastSaveDate/NSCalendarDate")));
    m_revisionNumber = element.intForPath(u"revisionNumber");
    setFilename(element.stringForPath(u"filename"));
    setComments(element.stringForPath(u"comments"));

    m_keywords.clear();
    for (const XMLElement &keyword :
         element.elementForName(u"keywords").elementsForName(u"string")) {
        // An empty keyword is no keyword.
        const QString text = keyword.stringValue();
        if (!text.isEmpty())
            m_keywords.append(Keyword{{QStringLiteral("keyword"), text}});
    }

    m_htmlSetupDictionary = dictionaryAt(element, u"htmlSetupDictionary/NSDictionary");
    m_presentationSetupDictionary =
        dictionaryAt(element, u"presentationSetupDictionary/NSDictionary");
    m_showPageFrames = element.boolForPath(u"showPageFrames");

    for (const std::shared_ptr<TWResource> &resource : std::as_const(m_resources))
        releaseResource(resource);
    m_resources.clear();
    for (const XMLElement &holder :
         element.elementForName(u"resources").elementsForName(u"resource")) {
        if (std::shared_ptr<TWResource> resource =
                TWResource::objectWithXMLElement(holder.elementForName(u"TWResource"))) {
            adoptResource(resource);
            m_resources.append(resource);
        }
    }

    m_attachedTextCategories.clear();
    for (const XMLElement &holder : element.elementForName(u"attachedTextCategories")
                                        .elementsForName(u"attachedTextCategory")) {
        if (std::shared_ptr<TWAttachedTextCategory> category =
                TWAttachedTextCategory::objectWithXMLElement(
                    holder.elementForName(u"TWAttachedTextCategory")))
            m_attachedTextCategories.append(category);
    }
}

std::shared_ptr<TWMapsDoc> TWMapsDoc::createWithDictionary(const PackageData &packageData, bool)
{
    std::shared_ptr<TWMapsDoc> document = create();
    TWFileIO::checkFileVersion(packageData);

    const auto contents = packageData.constFind(ContentsPath);
    bool decodable = false;
    if (contents != packageData.cend()) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(*contents);
        decodable = !decoder.hasError();
    }
    if (!decodable) {
        qWarning("This is not a valid Thinkweb file - no contents found");
        return nullptr;
    }

    QString error;
    std::optional<XMLDocument> xml = XMLDocument::parse(*contents, &error);
    if (xml && xml->rootElement().name() != QLatin1String("TWMapsDoc"))
        error = QStringLiteral("the root element is <%1>, not <TWMapsDoc>")
                    .arg(xml->rootElement().name());
    if (!xml || !error.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Error loading document %1").arg(error);
        return nullptr;
    }

    UndoManager *undo = document->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    document->removeAllObjectsInCachedData();
    for (auto it = packageData.cbegin(); it != packageData.cend(); ++it)
        document->setObjectInCachedData(it.value(), it.key());
    document->loadFromXMLElement(xml->rootElement());
    if (undo)
        undo->enableUndoRegistration();

    NotificationCenter::defaultCenter().post(BranchHideLevelChangedNotification);
    return document;
}
