#include "graphics/TWGraphic.h"
#include "model/TWAttachedTextCategory.h"
#include "model/TWMap.h"
#include "model/TWMapsDocOwner.h"
#include "model/TWMapsDoc_Private.h"
#include "model/TWResource.h"
#include "platform/Alerts.h"
#include "platform/KeyValueTable.h"
#include "support/TWPreferences.h"

#include <QRectF>

// --- construction ---

TWMapsDoc::TWMapsDoc(Passkey) : m_liveXMLElement(XMLElement::create("TWMapsDoc")) {}

TWMapsDoc::~TWMapsDoc()
{
    // Maps and resources may outlive the document in undo steps; they must
    // not reach it afterwards. Nothing is posted or registered here.
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        map->setDocument(nullptr);
    for (const std::shared_ptr<TWResource> &resource : std::as_const(m_resources))
        resource->setUndoManager(nullptr);
}

std::shared_ptr<TWMapsDoc> TWMapsDoc::create()
{
    auto document = std::make_shared<TWMapsDoc>(Passkey());
    document->init();
    return document;
}

void TWMapsDoc::init()
{
    // Through the setters, as later changes go; there is no undo manager yet.
    setCreator(QString(QLatin1String("")));
    setOrganization(QString(QLatin1String("")));
    setCreationDate(CalendarDate::now());
    m_htmlSetupDictionary = OrderedDictionary();
    m_presentationSetupDictionary = OrderedDictionary();
    setGraphicClassIdentifier(TWPreferences::branchType());
    setAttachedGraphicClassIdentifier(TWPreferences::attachedGraphicType());
    setShowPageFrames(TWPreferences::showPageFramesWhenCreatingDocuments());

    NotificationCenter &center = NotificationCenter::defaultCenter();
    // Only this document's graphics take package data out of it: another open
    // document may use the same package paths.
    m_removeFromCachedDataObserver =
        center.observe(RemoveFromCachedDataNotification, this,
                       [this](const Notification &n) { removeFromCachedData(n); });
    m_branchDidResizeObserver =
        center.observe(BranchDidResizeNotification, nullptr,
                       [this](const Notification &n) { branchDidResizeNotification(n); });
}

std::shared_ptr<TWMapsDoc> TWMapsDoc::copy() const
{
    std::shared_ptr<TWMapsDoc> c = create();
    c->m_liveXMLElement = m_liveXMLElement.copy();
    for (const std::shared_ptr<TWMap> &map : m_maps) {
        std::shared_ptr<TWMap> mapCopy = map->copy();
        // The copy keeps each map's identifier: it names the map's preview
        // in the package data the copy takes over.
        mapCopy->setIdentifier(map->identifier());
        mapCopy->setDocument(c.get());
        c->m_maps.append(mapCopy);
    }
    c->m_keywords = m_keywords;
    c->m_characters = m_characters;
    c->m_scenes = m_scenes;
    c->m_htmlSetupDictionary = m_htmlSetupDictionary;
    c->m_presentationSetupDictionary = m_presentationSetupDictionary;
    for (const std::shared_ptr<TWResource> &resource : m_resources)
        c->m_resources.append(resource->copy());
    for (const std::shared_ptr<TWAttachedTextCategory> &category : m_attachedTextCategories)
        c->m_attachedTextCategories.append(category->copy());
    c->m_cachedData = m_cachedData;
    c->m_creator = m_creator;
    c->m_organization = m_organization;
    c->m_creationDate = m_creationDate;
    c->m_lastSaveDate = m_lastSaveDate;
    c->m_comments = m_comments;
    c->m_filename = m_filename;
    c->m_tempLinkLineStartGraphic = m_tempLinkLineStartGraphic;
    c->m_tempLinkLineEndGraphic = m_tempLinkLineEndGraphic;
    c->m_graphicClassIdentifier = m_graphicClassIdentifier;
    c->m_attachedGraphicClassIdentifier = m_attachedGraphicClassIdentifier;
    c->m_showPageFrames = m_showPageFrames;
    c->m_tempLinkLineDragPoint = m_tempLinkLineDragPoint;
    c->m_revisionNumber = 0;
    // The copy shows the map its number names, so the two agree there too.
    if (m_currentMapNumber >= 0 && m_currentMapNumber < c->m_maps.size()) {
        c->m_currentMapNumber = m_currentMapNumber;
        c->m_currentMap = c->m_maps.at(m_currentMapNumber);
    }
    auto undo = std::make_shared<UndoManager>();
    undo->setLevelsOfUndo(UndoManager::DocumentLevelsOfUndo);
    c->setUndoManager(std::move(undo));
    return c;
}

void TWMapsDoc::reparent()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
        map->setDocument(this);
        map->reparent();
    }
}

void TWMapsDoc::deparent()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
        map->setDocument(nullptr);
        map->deparent();
    }
}

void TWMapsDoc::detach()
{
    m_removeFromCachedDataObserver.reset();
    m_branchDidResizeObserver.reset();
    deparent();
    for (const std::shared_ptr<TWResource> &resource : std::as_const(m_resources))
        resource->setUndoManager(nullptr);
    m_document = nullptr;
}

void TWMapsDoc::setUndoManager(std::shared_ptr<UndoManager> undoManager)
{
    m_undoManager = std::move(undoManager);
    for (const std::shared_ptr<TWResource> &resource : std::as_const(m_resources))
        resource->setUndoManager(m_undoManager.get());
}

// --- undo plumbing ---

bool TWMapsDoc::undoRegistrationActive() const
{
    return m_undoManager && m_undoManager->isUndoRegistrationEnabled();
}

void TWMapsDoc::nameUndoAction(const char *name)
{
    // While undoing or redoing, the step keeps the name of the user operation
    // it reverses; the primitives it runs must not rename it.
    if (!name || !undoRegistrationActive() || m_undoManager->isUndoing() ||
        m_undoManager->isRedoing())
        return;
    m_undoManager->setActionName(TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(name)));
}

void TWMapsDoc::postDocumentNotification(const QString &name)
{
    NotificationCenter::defaultCenter().post(name, this);
}

// --- maps ---

std::shared_ptr<TWMap> TWMapsDoc::objectInMapsAtIndex(int index) const
{
    if (index < 0 || index >= m_maps.size())
        return nullptr;
    return m_maps.at(index);
}

TWMapsDoc::MapList TWMapsDoc::getMaps(int location, int length) const
{
    return TWMapsDocDetail::range(m_maps, location, length);
}

int TWMapsDoc::indexOfMap(const TWMap *map) const
{
    for (int i = 0; i < m_maps.size(); ++i) {
        if (m_maps.at(i).get() == map)
            return i;
    }
    return -1;
}

void TWMapsDoc::insertObjectInMapsAtIndex(const std::shared_ptr<TWMap> &map, int index)
{
    if (!map || index < 0 || index > m_maps.size() || indexOfMap(map.get()) >= 0) {
        qWarning().noquote() << "TWMapsDoc: map insertion at index" << index << "refused";
        return;
    }
    // Undoing restores the map that was current before, whatever the steps
    // in between made current: the first inverse of a step runs last.
    registerUndo([map, previous = m_currentMap](TWMapsDoc &d) {
        const int at = d.indexOfMap(map.get());
        if (at >= 0)
            d.removeObjectFromMapsAtIndex(at);
        d.restoreCurrentMap(previous);
    });
    map->setDocument(this);
    m_maps.insert(index, map);
    // The number keeps naming the map that is current.
    if (m_currentMapNumber >= index)
        ++m_currentMapNumber;
    postDocumentNotification(UpdateMapTabsNotification);
}

void TWMapsDoc::removeObjectFromMapsAtIndex(int index)
{
    if (index < 0 || index >= m_maps.size()) {
        qWarning().noquote() << "TWMapsDoc: no map to delete at index" << index;
        return;
    }
    const std::shared_ptr<TWMap> map = m_maps.at(index);
    registerUndo([map, index, previous = m_currentMap](TWMapsDoc &d) {
        d.insertObjectInMapsAtIndex(map, index);
        d.restoreCurrentMap(previous);
    });
    nameUndoAction("Delete Mind Map");
    m_maps.removeAt(index);
    map->setDocument(nullptr);
    if (m_currentMapNumber > index)
        --m_currentMapNumber;

    // Whenever a map was current, the last remaining map becomes current. Only
    // the number is cleared first, so that the last map is shown even when it
    // was current already, and the window keeps the scroll position of the
    // map that is current until then.
    if (m_currentMapNumber >= 0) {
        m_currentMapNumber = -1;
        if (m_maps.isEmpty()) {
            m_currentMap.reset();
        } else {
            setCurrentMapNumber(int(m_maps.size()) - 1);
            postMapShownNotifications(m_currentMap);
        }
    }
    postDocumentNotification(UpdateMapTabsNotification);
    postDocumentNotification(PrintCanvasControllerNeedsUpdateNotification);
}

void TWMapsDoc::addMap(const std::shared_ptr<TWMap> &map, bool makeCurrent)
{
    if (!map)
        return;
    map->setDocument(this);
    insertObjectInMapsAtIndex(map, int(m_maps.size()));
    if (makeCurrent)
        setCurrentMapNumber(int(m_maps.size()) - 1);
}

void TWMapsDoc::setCurrentMapNumber(int number)
{
    if (number < -1 || number >= m_maps.size()) {
        qWarning().noquote() << "TWMapsDoc: current map number" << number << "names no map";
        number = -1;
    }
    const std::shared_ptr<TWMap> map = number >= 0 ? m_maps.at(number) : nullptr;
    if (number == m_currentMapNumber && map == m_currentMap)
        return;

    registerUndo([previous = m_currentMap](TWMapsDoc &d) { d.restoreCurrentMap(previous); });
    m_currentMapNumber = number;
    postDocumentNotification(UpdateMapTabsNotification);
    if (!map) {
        m_currentMap.reset();
        return;
    }
    if (m_document)
        m_document->saveVisibleRectForCurrentMap();
    setCurrentMap(map);
    if (m_document)
        m_document->restoreVisibleRectForCurrentMap();
    postMapShownNotifications(map);
    postDocumentNotification(PrintCanvasControllerNeedsUpdateNotification);
}

void TWMapsDoc::restoreCurrentMap(const std::shared_ptr<TWMap> &map)
{
    setCurrentMapNumber(map ? indexOfMap(map.get()) : -1);
}

void TWMapsDoc::setCurrentMap(const std::shared_ptr<TWMap> &map)
{
    const int index = map ? indexOfMap(map.get()) : -1;
    m_currentMap = index >= 0 ? map : nullptr;
    m_currentMapNumber = index;
    if (m_currentMap && m_document)
        m_document->selectMapInMapsArrayController(m_currentMap);
}

void TWMapsDoc::postMapShownNotifications(const std::shared_ptr<TWMap> &map)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    QVariantList affected;
    for (const std::shared_ptr<TWGraphic> &graphic : map->selectedGraphics())
        affected.append(QVariant::fromValue(NotificationObject(graphic)));
    center.post(SelectedGraphicsChangedNotification, map.get(), {{AffectedGraphicsKey, affected}});
    const Size canvas = map->canvasSize();
    center.post(DelayedRedrawInRectNotification, nullptr,
                {{RectKey, QRectF(0, 0, canvas.width, canvas.height)},
                 {MapKey, QVariant::fromValue(NotificationObject(map))}});
}

void TWMapsDoc::publicCreateNewMapAtIndex(int)
{
    // New maps always go after the last one.
    std::shared_ptr<TWMap> map = TWMap::create(this);
    insertObjectInMapsAtIndex(map, int(m_maps.size()));
    setCurrentMapNumber(int(m_maps.size()) - 1);
    nameUndoAction("Create New Mind Map");
}

void TWMapsDoc::publicMoveMapFromIndex(int fromIndex, int toIndex)
{
    // The target is an index among the maps without the moved one.
    if (fromIndex < 0 || fromIndex >= m_maps.size() || toIndex < 0 || toIndex > m_maps.size() - 1) {
        Alerts::current().beep();
        return;
    }
    const std::shared_ptr<TWMap> map = m_maps.at(fromIndex);
    removeObjectFromMapsAtIndex(fromIndex);
    insertObjectInMapsAtIndex(map, toIndex);
    setCurrentMapNumber(toIndex);
    nameUndoAction("Reorder Mind Maps");
}

// --- metadata ---

void TWMapsDoc::setCreator(const std::optional<QString> &creator)
{
    if (creator == m_creator)
        return;
    registerUndo([old = m_creator](TWMapsDoc &d) { d.setCreator(old); });
    nameUndoAction("Update document meta-data");
    m_creator = creator;
}

void TWMapsDoc::setOrganization(const std::optional<QString> &organization)
{
    if (organization == m_organization)
        return;
    registerUndo([old = m_organization](TWMapsDoc &d) { d.setOrganization(old); });
    nameUndoAction("Update document meta-data");
    m_organization = organization;
}

void TWMapsDoc::setComments(const std::optional<QString> &comments)
{
    if (comments == m_comments)
        return;
    registerUndo([old = m_comments](TWMapsDoc &d) { d.setComments(old); });
    m_comments = comments;
}

void TWMapsDoc::setCreationDate(const std::optional<CalendarDate> &date)
{
    if (date == m_creationDate)
        return;
    registerUndo([old = m_creationDate](TWMapsDoc &d) { d.setCreationDate(old); });
    m_creationDate = date;
}

void TWMapsDoc::setLastSaveDate(const std::optional<CalendarDate> &date)
{
    if (date == m_lastSaveDate)
        return;
    registerUndo([old = m_lastSaveDate](TWMapsDoc &d) { d.setLastSaveDate(old); });
    m_lastSaveDate = date;
}

void TWMapsDoc::setFilename(const std::optional<QString> &filename)
{
    if (filename == m_filename)
        return;
    registerUndo([old = m_filename](TWMapsDoc &d) { d.setFilename(old); });
    m_filename = filename;
}

void TWMapsDoc::setRevisionNumber(int number)
{
    if (number == m_revisionNumber)
        return;
    registerUndo([old = m_revisionNumber](TWMapsDoc &d) { d.setRevisionNumber(old); });
    m_revisionNumber = number;
}

void TWMapsDoc::setGraphicClassIdentifier(int identifier)
{
    if (identifier == m_graphicClassIdentifier)
        return;
    registerUndo(
        [old = m_graphicClassIdentifier](TWMapsDoc &d) { d.setGraphicClassIdentifier(old); });
    m_graphicClassIdentifier = identifier;
}

void TWMapsDoc::setAttachedGraphicClassIdentifier(int identifier)
{
    if (identifier == m_attachedGraphicClassIdentifier)
        return;
    registerUndo([old = m_attachedGraphicClassIdentifier](TWMapsDoc &d) {
        d.setAttachedGraphicClassIdentifier(old);
    });
    m_attachedGraphicClassIdentifier = identifier;
}

void TWMapsDoc::setShowPageFrames(bool show)
{
    if (show == m_showPageFrames)
        return;
    registerUndo([old = m_showPageFrames](TWMapsDoc &d) { d.setShowPageFrames(old); });
    nameUndoAction("Show/hide page frames");
    m_showPageFrames = show;
    postDocumentNotification(PageFramesVisibilityChangedNotification);
}

void TWMapsDoc::setTempLinkLineDragPoint(Point point)
{
    if (point != m_tempLinkLineDragPoint)
        m_tempLinkLineDragPoint = point;
}

// --- key-value access ---

namespace {
QVariant optionalString(const std::optional<QString> &s)
{
    return s ? QVariant(*s) : QVariant();
}
std::optional<QString> toOptionalString(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    return v.toString();
}
QVariant optionalDate(const std::optional<CalendarDate> &d)
{
    return d ? QVariant::fromValue(*d) : QVariant();
}
std::optional<CalendarDate> toOptionalDate(const QVariant &v)
{
    if (v.metaType() != QMetaType::fromType<CalendarDate>())
        return std::nullopt;
    return v.value<CalendarDate>();
}
QVariant optionalDictionary(const std::optional<OrderedDictionary> &d)
{
    return d ? QVariant::fromValue(*d) : QVariant();
}

const KeyValueTable<TWMapsDoc> &keyTable()
{
    static const KeyValueTable<TWMapsDoc> table = [] {
        KeyValueTable<TWMapsDoc> t;
        t.add(
             "creator", [](const TWMapsDoc &d) { return optionalString(d.creator()); },
             [](TWMapsDoc &d, const QVariant &v) { d.setCreator(toOptionalString(v)); })
            .add(
                "organization", [](const TWMapsDoc &d) { return optionalString(d.organization()); },
                [](TWMapsDoc &d, const QVariant &v) { d.setOrganization(toOptionalString(v)); })
            .add(
                "comments", [](const TWMapsDoc &d) { return optionalString(d.comments()); },
                [](TWMapsDoc &d, const QVariant &v) { d.setComments(toOptionalString(v)); })
            .add(
                "filename", [](const TWMapsDoc &d) { return optionalString(d.filename()); },
                [](TWMapsDoc &d, const QVariant &v) { d.setFilename(toOptionalString(v)); })
            .add(
                "creationDate", [](const TWMapsDoc &d) { return optionalDate(d.creationDate()); },
                [](TWMapsDoc &d, const QVariant &v) { d.setCreationDate(toOptionalDate(v)); })
            .add(
                "lastSaveDate", [](const TWMapsDoc &d) { return optionalDate(d.lastSaveDate()); },
                [](TWMapsDoc &d, const QVariant &v) { d.setLastSaveDate(toOptionalDate(v)); })
            .add(
                "htmlSetupDictionary",
                [](const TWMapsDoc &d) {
                    return d.hasHtmlSetupDictionary()
                               ? optionalDictionary(
                                     const_cast<TWMapsDoc &>(d).htmlSetupDictionary())
                               : QVariant();
                },
                [](TWMapsDoc &d, const QVariant &v) {
                    d.setHtmlSetupDictionary(OrderedDictionary::fromVariant(v));
                })
            .add(
                "presentationSetupDictionary",
                [](const TWMapsDoc &d) {
                    return d.hasPresentationSetupDictionary()
                               ? optionalDictionary(
                                     const_cast<TWMapsDoc &>(d).presentationSetupDictionary())
                               : QVariant();
                },
                [](TWMapsDoc &d, const QVariant &v) {
                    d.setPresentationSetupDictionary(OrderedDictionary::fromVariant(v));
                })
            .property("revisionNumber", &TWMapsDoc::revisionNumber, &TWMapsDoc::setRevisionNumber)
            .property("graphicClassIdentifier", &TWMapsDoc::graphicClassIdentifier,
                      &TWMapsDoc::setGraphicClassIdentifier)
            .property("attachedGraphicClassIdentifier", &TWMapsDoc::attachedGraphicClassIdentifier,
                      &TWMapsDoc::setAttachedGraphicClassIdentifier)
            .property("showPageFrames", &TWMapsDoc::showPageFrames, &TWMapsDoc::setShowPageFrames)
            .property("currentMapNumber", &TWMapsDoc::currentMapNumber,
                      &TWMapsDoc::setCurrentMapNumber);
        return t;
    }();
    return table;
}
} // namespace

QVariant TWMapsDoc::valueForKey(const QString &key) const
{
    return keyTable().valueForKey(*this, key);
}

bool TWMapsDoc::setMDValue(const QVariant &value, const QString &key)
{
    return keyTable().setValueForKey(*this, value, key);
}
