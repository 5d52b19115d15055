#pragma once

#include "model/PackageArchive.h"
#include "model/PackageEntry.h"
#include "platform/Geometry.h"
#include "platform/LoadingNotifications.h"
#include "platform/NotificationCenter.h"
#include "support/CalendarDate.h"
#include "support/OrderedDictionary.h"
#include "support/XMLElement.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <optional>

class ContentsXMLReader;
class QMimeData;
class TWAttachedTextCategory;
class TWGraphic;
class TWMap;
class TWMapBranch;
class TWMapBranchServices;
class TWMapsDocOwner;
class TWResource;
class UndoManager;
class XMLStreamWriter;
struct StreamedPackageEntry;
struct TWContactRecord;

// The model of one open document: its maps in tab order and which of them is
// current, the document's metadata, keywords, resources and attached-text
// categories, the package data (pictures, movies, sounds and previews by
// package path) and the live `TWMapsDoc` element that becomes
// "Thinkweb/Contents.xml".
//
// Every change goes through a setter or an indexed accessor that registers its
// inverse with the document's undo manager. Always held by a shared_ptr (undo
// steps refer to it weakly); made by create(), createWithDictionary() or copy().
// The owner calls detach() before letting go; the destructor posts nothing and
// registers nothing.
class TWMapsDoc : public std::enable_shared_from_this<TWMapsDoc>
{
    struct Passkey
    {
        explicit Passkey() = default;
    };

public:
    // --- notifications (names as the rest of the system knows them) ---
    static inline const QString UpdateMapTabsNotification =
        QStringLiteral("UpdateMapTabsNotification");
    static inline const QString SelectedGraphicsChangedNotification =
        QStringLiteral("SelectedGraphicsChangedNotification");
    static inline const QString DelayedRedrawInRectNotification =
        QStringLiteral("DelayedRedrawInRectNotification");
    static inline const QString PrintCanvasControllerNeedsUpdateNotification =
        QStringLiteral("TWPrintCanvasControllerNeedsUpdateWhenIdle");
    // Spelled as the window code observes it.
    static inline const QString PageFramesVisibilityChangedNotification =
        QStringLiteral("PageFramesVisibilityChangedNotificaiton");
    static inline const QString RemoveFromCachedDataNotification =
        QStringLiteral("RemoveFromCachedDataNotification");
    static inline const QString BranchDidResizeNotification =
        QStringLiteral("BranchDidResizeNotification");
    static inline const QString SubtreeNeedsRedrawNotification =
        QStringLiteral("SubtreeNeedsRedrawNotification");
    static inline const QString StartLoadingCountNotification = LoadingNotifications::Start;
    static inline const QString IncrementLoadingNotification = LoadingNotifications::Increment;
    static inline const QString FinishLoadingNotification = LoadingNotifications::Finish;
    static inline const QString BranchHideLevelChangedNotification =
        QStringLiteral("BranchHideLevelChangedNotification");

    // User-info keys. RemoveFromCachedDataNotification is posted with the
    // maps document as sender and the package path under PathKey;
    // BranchDidResizeNotification with the branch as sender and a
    // std::shared_ptr<TWMapBranch> under BranchKey; the redraw notifications
    // carry the map (a NotificationObject) under MapKey and a QRectF under RectKey;
    // StartLoadingCountNotification carries the number of branches under CountKey.
    static inline const QString PathKey = QStringLiteral("path");
    static inline const QString BranchKey = QStringLiteral("branch");
    static inline const QString MapKey = QStringLiteral("map");
    static inline const QString RectKey = QStringLiteral("rect");
    static inline const QString CountKey = LoadingNotifications::CountKey;
    static inline const QString AffectedGraphicsKey = QStringLiteral("affectedGraphics");

    // Pasteboard types resources arrive in.
    static inline const QString ResourcesPboardType = QStringLiteral("TWResourcesPBoard");
    static inline const QString PeopleUIDsPboardType = QStringLiteral("ABPeopleUIDsPboardType");
    static inline const QString GroupsUIDsPboardType = QStringLiteral("ABGroupsUIDsPboardType");

    static inline const QString ContentsPath = QStringLiteral("Thinkweb/Contents.xml");

    using MapList = QList<std::shared_ptr<TWMap>>;
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;
    using ResourceList = QList<std::shared_ptr<TWResource>>;
    using CategoryList = QList<std::shared_ptr<TWAttachedTextCategory>>;
    // A keyword is a dictionary with the single key "keyword".
    using Keyword = QVariantMap;

    // --- construction ---
    // An empty document with the defaults (no maps; the owner adds the first).
    static std::shared_ptr<TWMapsDoc> create();
    // The document of a package's data, or null (logged) when the package has
    // no readable contents. forceLoadOtherVersions is accepted and not consulted.
    static std::shared_ptr<TWMapsDoc> createWithDictionary(const PackageData &packageData,
                                                           bool forceLoadOtherVersions);
    explicit TWMapsDoc(Passkey);
    ~TWMapsDoc();
    TWMapsDoc(const TWMapsDoc &) = delete;
    TWMapsDoc &operator=(const TWMapsDoc &) = delete;

    // A deep copy with an undo manager of its own and revision number 0.
    std::shared_ptr<TWMapsDoc> copy() const;

    // Give every map this document (respectively none) and restore (cut) the
    // back pointers of its tree.
    void reparent();
    void deparent();
    // What closing needs before the document is let go: stops observing and
    // cuts every back pointer.
    void detach();

    TWMapsDocOwner *document() const { return m_document; }
    void setDocument(TWMapsDocOwner *document) { m_document = document; }
    UndoManager *undoManager() const { return m_undoManager.get(); }
    // Resources in the document register with the same manager.
    void setUndoManager(std::shared_ptr<UndoManager> undoManager);

    // --- maps ---
    const MapList &maps() const { return m_maps; }
    int countOfMaps() const { return int(m_maps.size()); }
    // Null when the index names no map.
    std::shared_ptr<TWMap> objectInMapsAtIndex(int index) const;
    MapList getMaps(int location, int length) const;
    void insertObjectInMapsAtIndex(const std::shared_ptr<TWMap> &map, int index);
    // Deleting a map ("Delete Mind Map") makes the last remaining map current
    // whenever a map was current.
    void removeObjectFromMapsAtIndex(int index);
    int indexOfMap(const TWMap *map) const;
    void addMap(const std::shared_ptr<TWMap> &map, bool makeCurrent);

    // The current map and its number always agree: -1 and no map, or the
    // index of the current map.
    const std::shared_ptr<TWMap> &currentMap() const { return m_currentMap; }
    int currentMapNumber() const { return m_currentMapNumber; }
    // Undoable; a number that names no map leaves no map current.
    void setCurrentMapNumber(int number);
    // Not undoable and posts nothing; the number follows the map.
    void setCurrentMap(const std::shared_ptr<TWMap> &map);

    // User operations: one undo step each.
    void publicCreateNewMapAtIndex(int index);
    // Refused with a beep when an index names no place.
    void publicMoveMapFromIndex(int fromIndex, int toIndex);
    // Moves the branches, each with its subtree, under the new parent (of
    // this map or another map of the document), placed by the destination's
    // layout settings; one undo step named "Graft". Refused with a beep for
    // no branches, no parent, only the central branch, the parent itself
    // among the branches, or branches of more than one map.
    void publicGraftBranches(const BranchList &branches,
                             const std::shared_ptr<TWMapBranch> &newParent);

    // --- metadata ---
    const std::optional<QString> &creator() const { return m_creator; }
    void setCreator(const std::optional<QString> &creator);
    const std::optional<QString> &organization() const { return m_organization; }
    void setOrganization(const std::optional<QString> &organization);
    const std::optional<QString> &comments() const { return m_comments; }
    void setComments(const std::optional<QString> &comments);
    const std::optional<CalendarDate> &creationDate() const { return m_creationDate; }
    void setCreationDate(const std::optional<CalendarDate> &date);
    const std::optional<CalendarDate> &lastSaveDate() const { return m_lastSaveDate; }
    void setLastSaveDate(const std::optional<CalendarDate> &date);
    const std::optional<QString> &filename() const { return m_filename; }
    void setFilename(const std::optional<QString> &filename);
    int revisionNumber() const { return m_revisionNumber; }
    void setRevisionNumber(int number);
    int graphicClassIdentifier() const { return m_graphicClassIdentifier; }
    void setGraphicClassIdentifier(int identifier);
    int attachedGraphicClassIdentifier() const { return m_attachedGraphicClassIdentifier; }
    void setAttachedGraphicClassIdentifier(int identifier);
    bool showPageFrames() const { return m_showPageFrames; }
    void setShowPageFrames(bool show);

    // Fields by key name. Strings and dates take an invalid QVariant for none.
    QVariant valueForKey(const QString &key) const;
    // The generic undoable setter: runs the field's own setter.
    bool setMDValue(const QVariant &value, const QString &key);

    // --- keywords ---
    const QList<Keyword> &keywords() const { return m_keywords; }
    int countOfKeywords() const { return int(m_keywords.size()); }
    void removeAllKeywords(); // not undoable
    Keyword objectInKeywordsAtIndex(int index) const;
    QList<Keyword> getKeywords(int location, int length) const;
    void insertObjectInKeywordsAtIndex(const Keyword &keyword, int index);
    void removeObjectFromKeywordsAtIndex(int index);
    void replaceObjectInKeywordsAtIndex(int index, const Keyword &keyword);

    // --- screen-writing characters and scenes (not stored in the file) ---
    const QVariantList &characters() const { return m_characters; }
    int countOfCharacters() const { return int(m_characters.size()); }
    void removeAllCharacters(); // undoable, one element at a time
    QVariant objectInCharactersAtIndex(int index) const;
    QVariantList getCharacters(int location, int length) const;
    void insertObjectInCharactersAtIndex(const QVariant &character, int index);
    void removeObjectFromCharactersAtIndex(int index);
    void replaceObjectInCharactersAtIndex(int index, const QVariant &character);

    const QVariantList &scenes() const { return m_scenes; }
    int countOfScenes() const { return int(m_scenes.size()); }
    void removeAllScenes();
    QVariant objectInScenesAtIndex(int index) const;
    QVariantList getScenes(int location, int length) const;
    void insertObjectInScenesAtIndex(const QVariant &scene, int index);
    void removeObjectFromScenesAtIndex(int index);
    void replaceObjectInScenesAtIndex(int index, const QVariant &scene);

    // --- attached-text categories ---
    const CategoryList &attachedTextCategories() const { return m_attachedTextCategories; }
    int countOfAttachedTextCategories() const { return int(m_attachedTextCategories.size()); }
    void removeAllAttachedTextCategories(); // not undoable
    std::shared_ptr<TWAttachedTextCategory> objectInAttachedTextCategoriesAtIndex(int index) const;
    CategoryList getAttachedTextCategories(int location, int length) const;
    void insertObjectInAttachedTextCategoriesAtIndex(
        const std::shared_ptr<TWAttachedTextCategory> &category, int index);
    void removeObjectFromAttachedTextCategoriesAtIndex(int index);
    void replaceObjectInAttachedTextCategoriesAtIndex(
        int index, const std::shared_ptr<TWAttachedTextCategory> &category);

    // --- setup dictionaries ---
    // Made empty on first request when the document has none.
    const OrderedDictionary &htmlSetupDictionary();
    void setHtmlSetupDictionary(const std::optional<OrderedDictionary> &dictionary);
    const OrderedDictionary &presentationSetupDictionary();
    void setPresentationSetupDictionary(const std::optional<OrderedDictionary> &dictionary);
    bool hasHtmlSetupDictionary() const { return m_htmlSetupDictionary.has_value(); }
    bool hasPresentationSetupDictionary() const
    {
        return m_presentationSetupDictionary.has_value();
    }

    // --- resources ---
    const ResourceList &resources() const { return m_resources; }
    int countOfResources() const { return int(m_resources.size()); }
    std::shared_ptr<TWResource> objectInResourcesAtIndex(int index) const;
    // Nothing happens for an equal list.
    void setResources(const ResourceList &resources);
    void addResource(const std::shared_ptr<TWResource> &resource);
    // Removes the first listed resource equal to this one.
    void removeResource(const std::shared_ptr<TWResource> &resource);
    void insertObjectInResourcesAtIndex(const std::shared_ptr<TWResource> &resource, int index);
    void removeObjectFromResourcesAtIndex(int index);
    std::shared_ptr<TWResource> resourceWithIdentifier(const QString &identifier) const;
    // The resources a drop or paste names, added to the document when new.
    ResourceList addResourcesFromPasteboard(const QMimeData *pasteboard);
    ResourceList resourcesWithABIdentifiers(const QStringList &identifiers);
    ResourceList resourcesWithABGroup(const TWContactRecord &group);
    std::shared_ptr<TWResource> resourceWithABPerson(const TWContactRecord &person);
    // Every branch of every map that matches the report filter.
    void addBranchesMatchingReport(const QVariantMap &report, BranchList &branches);

    // --- package data ---
    // Large entries of an opened package wait in a spool until asked for.
    const PackageEntries &cachedData() const { return m_cachedData; }
    int countOfCachedData() const { return int(m_cachedData.size()); }
    // Undoable. An empty path does nothing; no data removes the path.
    void setObjectInCachedData(const std::optional<QByteArray> &data, const QString &path);
    void setObjectInCachedData(const PackageEntry &entry, const QString &path);
    void setObjectInCachedData(const QByteArray &data, const QString &path)
    {
        setObjectInCachedData(PackageEntry(data), path);
    }
    // Undoable; a missing path does nothing.
    void removeObjectForKeyInCachedData(const QString &path);
    // Not undoable.
    void removeAllObjectsInCachedData();
    std::optional<QByteArray> objectForKeyInCachedData(const QString &path) const;
    // The entries of `data` that some map still refers to.
    PackageEntries stripUnusedDataFromCache(const PackageEntries &data);
    // Whether some map refers to the package path.
    bool hasIdentifier(const QString &path);
    // Package path to contents (QByteArray, QString, or PackageEntry for what
    // waits in a spool) of everything to save.
    QVariantMap generateSaveDictionary();
    // The same without Contents.xml, for a save that streams it.
    QVariantMap packageEntriesBesideContents();

    // --- link line being dragged on the canvas ---
    const std::shared_ptr<TWGraphic> &tempLinkLineStartGraphic() const
    {
        return m_tempLinkLineStartGraphic;
    }
    void setTempLinkLineStartGraphic(const std::shared_ptr<TWGraphic> &graphic)
    {
        m_tempLinkLineStartGraphic = graphic;
    }
    const std::shared_ptr<TWGraphic> &tempLinkLineEndGraphic() const
    {
        return m_tempLinkLineEndGraphic;
    }
    void setTempLinkLineEndGraphic(const std::shared_ptr<TWGraphic> &graphic)
    {
        m_tempLinkLineEndGraphic = graphic;
    }
    Point tempLinkLineDragPoint() const { return m_tempLinkLineDragPoint; }
    void setTempLinkLineDragPoint(Point point);

    // --- branches changed by the current edit ---
    const BranchList &changedBranches() const { return m_changedBranches; }
    void addObjectToChangedBranchesIfAbsent(const std::shared_ptr<TWMapBranch> &branch);
    // Whether a "BranchDidResize" of the branch would change nothing: its
    // document, the only one listening, holds it among the changed already.
    static bool resizeWouldChangeNothing(const TWMapBranch &branch);
    // Hands a "BranchDidResize" of the branch straight to its document when
    // that document is the only one listening: true when so taken, false
    // when it is to be posted.
    static bool takeResizeDirectly(const std::shared_ptr<TWMapBranch> &branch);
    QList<BranchList> changedBranchesByMap() const;
    // Re-sorts, renumbers and lays out the changed branches map by map, then
    // empties the list. Called by the canvas when a text edit ends.
    void updateChangedBranches();
    // What the pass needs of branches and maps: the document's own services
    // over its branches unless others are given (null restores those).
    void setBranchServices(std::shared_ptr<TWMapBranchServices> services);
    TWMapBranchServices &branchServices() const;

    // --- utilities ---
    // The branch type code (1-7) new branches get; an unknown code is first
    // replaced by the preferred one.
    int getDefaultGraphicType();
    void updatePreviewImages();
    void progressiveUpdatePreviewImages();
    void updatePreviewImagesInFileCache();
    // The same, where drawnFrom holds one fingerprint a map of the text just
    // written (writeContentsXML): a preview drawn from the same text and
    // package data is kept rather than drawn again.
    void updatePreviewImagesInFileCache(const QList<QByteArray> &drawnFrom);
    // Work after loading: each map processes its flags and sizes its branches.
    void processFlags();
    void postSubtreeNeedsRedrawNotificationForAllRoots();
    // "YES" in any case is true; everything else, and nothing, is false.
    static bool boolFromString(const std::optional<QString> &text);

    // --- Contents.xml ---
    const XMLElement &liveXMLElement() const { return m_liveXMLElement; }
    // Brings the live element up to date, child by child.
    void updateLiveXMLElement();
    // The pretty-printed UTF-8 text of Contents.xml, brought up to date.
    QByteArray xmlDocumentData();
    // Reads the document from its root element, which becomes the live one.
    bool loadFromXMLElement(const XMLElement &element);
    // The streaming forms, which hold neither the whole text nor a tree of
    // the whole document: the maps are written and read map by map, the
    // other children of the root as small elements. The reader stands on the
    // root element; branchCount goes out with the loading count.
    // With drawnFrom, one fingerprint a map of what its preview shows, taken
    // from the text written (none when a map had no `maps` to go into).
    bool writeContentsXML(XMLStreamWriter &writer, QList<QByteArray> *drawnFrom = nullptr);
    bool loadFromContentsXMLReader(ContentsXMLReader &reader, qint64 branchCount);
    // The document of a package whose Contents.xml is read as a stream.
    static std::shared_ptr<TWMapsDoc>
    createWithStreamedContents(const PackageEntries &packageData,
                               const StreamedPackageEntry &contents, bool forceLoadOtherVersions);

    // The document of an old property-list document's top-level dictionary
    // (TWMapsDoc_OldFormat.cpp); null when its map cannot be read.
    static std::shared_ptr<TWMapsDoc> createWithOldStyleDictionary(const QVariantMap &dictionary);

    // --- files ---
    // Why a save to path is refused before anything is stamped, drawn or
    // written (a map nested too deep to open again, a target that cannot be
    // written), or TWFileIO::SaveSucceeded. Cheap: a walk of the trees.
    int saveRefusal(const QString &path) const;
    // Stamps the save (date and revision, without undo), refreshes the
    // previews and writes the package; a result code of TWFileIO. A refused
    // save (saveRefusal) changes nothing.
    int saveToFile(const QString &path);
    // The document of a package file, or null; *error gets a TWFileIO load code.
    static std::shared_ptr<TWMapsDoc> loadFromFile(const QString &path, bool tryToLoadOtherVersion,
                                                   int *error = nullptr);
    // The save's changes to the document: registered nowhere, so saving
    // neither adds an undo step nor marks the document edited.
    void stampForSave();

private:
    void init();
    void stampSaveDateAndRevision();
    // A fingerprint of the package data the maps may draw (not the previews).
    QByteArray packageDataDigest() const;
    void clearMapsForLoading();
    // Everything of the root element but the maps, read after them.
    void readRootValues(const XMLElement &element);
    template <class F> void registerUndo(F &&inverse);
    void nameUndoAction(const char *name);
    bool undoRegistrationActive() const;
    void restoreCurrentMap(const std::shared_ptr<TWMap> &map);
    void postMapShownNotifications(const std::shared_ptr<TWMap> &map);
    void postDocumentNotification(const QString &name);
    void removeFromCachedData(const Notification &notification);
    void branchDidResizeNotification(const Notification &notification);
    void adoptResource(const std::shared_ptr<TWResource> &resource);
    void releaseResource(const std::shared_ptr<TWResource> &resource);

    template <class T>
    bool listInsert(QList<T> &list, const T &value, int index,
                    void (TWMapsDoc::*inverseRemove)(int), const char *actionName);
    template <class T>
    bool listRemove(QList<T> &list, int index, void (TWMapsDoc::*inverseInsert)(const T &, int),
                    const char *actionName);
    template <class T>
    bool listReplace(QList<T> &list, int index, const T &value,
                     void (TWMapsDoc::*inverseReplace)(int, const T &), const char *actionName);

    XMLElement m_liveXMLElement;
    TWMapsDocOwner *m_document = nullptr;
    MapList m_maps;
    std::shared_ptr<TWMap> m_currentMap;
    int m_currentMapNumber = -1;
    std::optional<QString> m_creator;
    std::optional<QString> m_organization;
    std::optional<CalendarDate> m_creationDate;
    std::optional<CalendarDate> m_lastSaveDate;
    QList<Keyword> m_keywords;
    std::optional<QString> m_comments;
    int m_revisionNumber = 0;
    std::optional<QString> m_filename;
    QVariantList m_characters;
    QVariantList m_scenes;
    std::optional<OrderedDictionary> m_htmlSetupDictionary;
    std::optional<OrderedDictionary> m_presentationSetupDictionary;
    int m_graphicClassIdentifier = 0;
    int m_attachedGraphicClassIdentifier = 0;
    bool m_showPageFrames = false;
    ResourceList m_resources;
    CategoryList m_attachedTextCategories;
    PackageEntries m_cachedData;
    std::shared_ptr<UndoManager> m_undoManager;
    std::shared_ptr<TWGraphic> m_tempLinkLineStartGraphic;
    std::shared_ptr<TWGraphic> m_tempLinkLineEndGraphic;
    Point m_tempLinkLineDragPoint;
    BranchList m_changedBranches;
    QSet<const TWMapBranch *> m_changedBranchSet; // the same branches, to look up
    std::shared_ptr<TWMapBranchServices> m_branchServices;

    ObserverToken m_removeFromCachedDataObserver;
    ObserverToken m_branchDidResizeObserver;
};

Q_DECLARE_METATYPE(std::shared_ptr<TWMapBranch>)
