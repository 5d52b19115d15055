#include "MindManagerImpExp/mmImpExpController.h"

#include "MindManagerImpExp/mmImpExpController_Private.h"

#include "MindManagerImpExp/MMArchiveStream.h"
#include "MindManagerImpExp/MMImportPictures.h"
#include "MindManagerImpExp/MMXMLCharacters.h"
#include "MindManagerImpExp/XMLTree.h"
#include "MindManagerImpExp/apContentElements.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/apStyleElements.h"
#include "MindManagerImpExp/levelDefaults.h"
#include "MindManagerImpExp/mmTables.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "model/TWNewBranchLabel.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "render/TWTextLayout.h"
#include "support/CalendarDate.h"
#include "support/SystemTimeZoneScope.h"
#include "support/TimeZone.h"

#include <libxml/parserInternals.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>
#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <numeric>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>
namespace {

using namespace mmImport;

void refuse(const QString &message)
{
    Alerts::current().runAlertPanel(QStringLiteral("Mind Manager import error"), message,
                                    {QStringLiteral("OK")});
}

// --- what the pass finds ---

struct MapParts
{
    MMObjectPtr styleGroup;
    MMObjectPtr relationships;
    MMObjectPtr documentGroup;
};

// The topic's own elements the conversion reads; others (ink, bookmarks,
// spelling options, the shapes of callouts and labels) are passed over
// unread. Most are read from a flattened copy; those whose classes read
// the XML itself (notes, pictures, icons) from a copy of their nodes.
struct TopicChildKind
{
    const MMChildRule *rule = nullptr;
    bool flat = false;
};

TopicChildKind topicChildRule(const QByteArray &element)
{
    static const QHash<QByteArray, TopicChildKind> childKinds = [] {
        static const char *const unread[] = {"ap:LabelFloatingTopicShape",
                                             "ap:CalloutFloatingTopicShape",
                                             "ap:Bookmark",
                                             "ap:SpellingOptions",
                                             "ap:InkGroup",
                                             "ap:OneInkSketch"};
        QHash<QByteArray, TopicChildKind> s;
        for (const MMChildRule &childDesc : apTopic::staticClass().children)
            s.insert(QByteArray(childDesc.element),
                     {&childDesc, MMXMLBaseObject::readsFlatTrees(childDesc.elementClass())});
        for (const char *name : unread)
            s.remove(name);
        return s;
    }();
    return childKinds.value(element);
}

// The branch starts with `label` where it is given: a flexi shape lays out
// its points for the label it is made with, so it starts as any new branch.
// `sizedLater`: the caller sizes the branch once it has converted the
// topic's label and settings.
std::shared_ptr<TWMapBranch> importChild(TWMapBranch &parent, int type, TWMap &map,
                                         const std::optional<AttributedString> &label,
                                         bool sizedLater)
{
    const Rect b = parent.branchBounds();
    const std::shared_ptr<TWGraphic> shape =
        TWMapBranch::makeMainGraphicOfType(type, Rect(b.maxX() + 50, b.maxY(), 80, 40));
    if (!shape) {
        qWarning("Couldn't create branch of type %d", type);
        return nullptr;
    }
    const TWNewBranchLabelScope start(type != 5 && label ? &*label : nullptr);
    const std::shared_ptr<TWMapBranch> added = [&] {
        const TWNewBranchSizingDeferred sizing(sizedLater);
        return TWMapBranch::createWithGraphic(shape, &parent, &map);
    }();
    if (type == 5) {
        shape->setCachedBezierPath(nullptr);
        if (added->enclosedTextArea())
            added->enclosedTextArea()->removeAllCachedFlexiCharacters();
        std::static_pointer_cast<TWFlexiBranch>(shape)->initializePoints();
    }
    shape->setDrawsStroke(true);
    shape->setInheritsStroke(true);
    shape->setInheritsFill(true);
    if (parent.mainGraphic() && parent.mainGraphic()->drawsShadow())
        shape->setDrawsShadow(true);
    shape->applyAutoStyle();
    return added;
}

void announceHideLevel(TWMap &map, const char *phase)
{
    NotificationCenter::defaultCenter().post(
        TWMap::ValueChangeNotification, NotificationObject(map.shared_from_this()),
        {{TWMap::KeyKey, QStringLiteral("maximumBranchHideLevel")},
         {TWMap::PhaseKey, QString::fromLatin1(phase)}});
}

// One topic as read: its own elements and its children, by record index.
struct TopicRecord
{
    std::shared_ptr<apTopic> topic;
    std::optional<AttributedString> notes;
    TopicPictures pictures;
    PreparedLabel label;
    std::vector<int> subTopics;
    std::vector<int> floatingTopics;
};

enum class MapPart { StyleGroup, Relationships, DocumentGroup };

// What the pass hands on, in file order: a topic's start, one of a topic's
// own elements, a part of the map. A node is valid only during the call.
class ReadSink
{
public:
    virtual ~ReadSink() = default;
    // The topic's identifier as its bytes; null for none.
    virtual void topic(int index, const char *oid, qsizetype length) = 0;
    // True where the sink took the node, ended and unlinked, as its own.
    virtual bool element(int index, const MMChildRule &rule, xmlNodePtr node) = 0;
    virtual void part(MapPart part, xmlNodePtr node) = 0;
    // Where the elements whose classes read flattened copies are flattened
    // straight from the parse, never made as nodes; null: they come to
    // element() as nodes.
    virtual XMLFlatTree *flatBlock() { return nullptr; }
    // One such element, complete in flatBlock().
    virtual void flatElement(int, const MMChildRule &, int) {}
};

// The pictures of a notes group: the XHTML's images, or the pictures it
// carries where its XHTML names none.
int picturesInNotes(const MMXMLBaseObject &group)
{
    int images = 0;
    const MMObjectPtr xhtml = group.child("notesXhtmlData");
    if (const XMLTree html = xhtml ? xhtml->tree("xhtmlTree") : XMLTree(); !html.isNull()) {
        std::vector<xmlNodePtr> pending{html.rootNode()};
        while (!pending.empty()) {
            const xmlNodePtr n = pending.back();
            pending.pop_back();
            if (!n || n->type != XML_ELEMENT_NODE)
                continue;
            if (xmlStrcasecmp(n->name, BAD_CAST "img") == 0)
                ++images;
            for (xmlNodePtr c = n->children; c; c = c->next)
                pending.push_back(c);
        }
    }
    return std::max(images, int(group.children("notesData").size()));
}

// The topics' records and the map's parts, made from what the pass hands
// on. Notes and pictures are converted while their elements are in memory:
// a record keeps the results, not the XML's text.
struct MapContents
{
    explicit MapContents(MMImportPictures &pictures) : pictures(pictures) {}

    void topic(int index, std::optional<QString> oid)
    {
        Q_ASSERT(index == int(records.size()));
        records.emplace_back();
        // The topic keeps the identifier read, or none; the process's
        // counter moves on as for any topic made.
        records.back().topic =
            std::static_pointer_cast<apTopic>(MMXMLBaseObject::createEmpty(apTopic::staticClass()));
        corObject::passIdentifier();
        if (oid)
            records.back().topic->setString("OId", oid);
    }

    static MMObjectPtr read(const MMElementClass &cls, const XMLTree &tree)
    {
        return MMXMLBaseObject::initWithXMLTree(cls, tree);
    }
    static MMObjectPtr read(const MMElementClass &cls, const XMLFlatTree::Element &element)
    {
        return MMXMLBaseObject::initWithFlatTree(cls, element);
    }

    template <typename Tree> void element(int index, const MMChildRule &rule, const Tree &tree)
    {
        const MMObjectPtr element = read(rule.elementClass(), tree);
        if (!element)
            return;
        TopicRecord &record = records[size_t(index)];
        const std::string_view name = rule.element;
        if (name == "ap:NotesGroup") {
            record.notes = notesOf(element);
            notePictures += picturesInNotes(*element);
            return;
        }
        if (name == "ap:OneImage") {
            const MMObjectPtr image = element->child("image");
            const MMObjectPtr data = image ? image->child("imageData") : nullptr;
            record.pictures.picture = pictures.pictureOf(data.get());
            if (data)
                data->setChild("data", nullptr);
        } else if (name == "ap:IconsGroup") {
            for (const MMObjectPtr &data : element->children("customIconImageData"))
                record.pictures.customIcons.append(
                    {data->string("iconSignature").value_or(QString()),
                     pictures.pictureOf(data.get())});
            element->setChildren("customIconImageData", {});
        }
        if (rule.many)
            record.topic->addChild(rule.field, element);
        else if (!record.topic->child(rule.field))
            record.topic->setChild(rule.field, element);
    }

    void part(MapPart part, const XMLTree &tree)
    {
        MMObjectPtr &slot = part == MapPart::StyleGroup      ? parts.styleGroup
                            : part == MapPart::Relationships ? parts.relationships
                                                             : parts.documentGroup;
        const MMElementClass &cls = part == MapPart::StyleGroup ? apStyleGroup::staticClass()
                                    : part == MapPart::Relationships
                                        ? apRelationships::staticClass()
                                        : apDocumentGroup::staticClass();
        if (!slot)
            slot = MMXMLBaseObject::initWithXMLTree(cls, tree);
    }

    MMImportPictures &pictures;
    MapParts parts;
    std::vector<TopicRecord> records;
    int notePictures = 0; // notes have no place for pictures
};

// Hands the pass's own nodes straight on.
class DirectSink : public ReadSink
{
public:
    explicit DirectSink(MapContents &contents) : m_contents(contents) {}
    void topic(int index, const char *oid, qsizetype length) override
    {
        m_contents.topic(
            index, oid ? std::optional<QString>(QString::fromUtf8(QByteArrayView(oid, length)))
                       : std::nullopt);
    }
    bool element(int index, const MMChildRule &rule, xmlNodePtr node) override
    {
        m_contents.element(index, rule, XMLTree::initWithNode(node));
        return false;
    }
    void part(MapPart part, xmlNodePtr node) override
    {
        m_contents.part(part, XMLTree::initWithNode(node));
    }

private:
    MapContents &m_contents;
};

// One thing the pass handed on, with a copy of its node that belongs to
// no document.
struct ReadEvent
{
    enum Kind : quint8 { Topic, Element, Part } kind;
    int index = -1;
    const MMChildRule *rule = nullptr;
    MapPart part = MapPart::StyleGroup;
    xmlNodePtr node = nullptr; // or
    int flat = -1;             // the element in its batch's flattened block
    qsizetype oidAt = -1;      // the topic's identifier in its batch's, or none
    qsizetype oidLength = 0;
};

struct ReadBatch
{
    std::vector<ReadEvent> events;
    XMLFlatTree flat;
    std::string oids;     // the topics' identifiers, read where they are used
    size_t textBytes = 0; // of the texts its nodes hold
};

void freeNodes(ReadBatch &batch)
{
    for (ReadEvent &event : batch.events) {
        if (event.node)
            xmlFreeNode(std::exchange(event.node, nullptr));
    }
}

// Batches of events from the reading thread to the one making the records.
// Bounded in batches and in the bytes of text their nodes hold (pictures),
// so that what waits stays small whatever the file holds; deep enough that
// the reading goes on while the making is held up for a moment.
class EventQueue
{
public:
    static constexpr size_t BatchSize = 64;
    static constexpr size_t MaximumBatches = 32;
    static constexpr size_t MaximumTextBytes = 8 << 20;

    ~EventQueue()
    {
        for (ReadBatch &batch : m_batches)
            freeNodes(batch);
        for (ReadBatch &batch : m_spent)
            freeNodes(batch);
        if (m_nodes)
            xmlFreeDoc(m_nodes);
    }
    // The parse's own node, unlinked, moved into a document of the queue's
    // that shares the parse's names: nothing is copied, and the node
    // outlives the parse's document. Null where it cannot be moved (it
    // stays where it was); reading thread only.
    xmlNodePtr adopt(xmlNodePtr node)
    {
        xmlDocPtr from = node->doc;
        if (!from || !from->dict)
            return nullptr;
        if (!m_nodes) {
            if (!(m_nodes = xmlNewDoc(nullptr)))
                return nullptr;
            m_nodes->dict = from->dict;
            xmlDictReference(from->dict);
        }
        if (m_nodes->dict != from->dict)
            return nullptr;
        xmlUnlinkNode(node);
        if (xmlDOMWrapAdoptNode(nullptr, from, node, m_nodes, nullptr, 0) != 0) {
            xmlFreeNode(node);
            throw std::bad_alloc();
        }
        return node;
    }
    // Hands the batch over; the batches given back since, emptied for use
    // again: large blocks made again and again would keep the allocator
    // merging the small ones freed.
    std::vector<ReadBatch> push(ReadBatch &&batch)
    {
        std::vector<ReadBatch> spent;
        {
            std::unique_lock lock(m_mutex);
            m_notFull.wait(lock, [this] {
                return m_batches.empty() ||
                       (m_batches.size() < MaximumBatches && m_textBytes < MaximumTextBytes) ||
                       m_abandoned;
            });
            spent.swap(m_spent);
            if (m_abandoned) {
                freeNodes(batch);
            } else {
                m_textBytes += batch.textBytes;
                m_batches.push_back(std::move(batch));
                m_notEmpty.notify_one();
            }
        }
        for (ReadBatch &done : spent) {
            freeNodes(done);
            done.events.clear();
            done.flat.clear();
            done.oids.clear();
            done.textBytes = 0;
        }
        return spent;
    }
    // A batch taken and used: its copies are freed on the thread that made
    // them, which keeps the two threads' allocators apart.
    void giveBack(ReadBatch &&batch)
    {
        const std::lock_guard lock(m_mutex);
        m_spent.push_back(std::move(batch));
    }
    // False once the reading side has finished and everything was taken.
    bool pop(ReadBatch &batch)
    {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [this] { return !m_batches.empty() || m_finished; });
        if (m_batches.empty())
            return false;
        batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_textBytes -= batch.textBytes;
        m_notFull.notify_one();
        return true;
    }
    void finish()
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_notEmpty.notify_one();
    }
    // The taking side has stopped: the reading side is no longer held up.
    void abandon()
    {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
        m_notFull.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<ReadBatch> m_batches;
    size_t m_textBytes = 0; // of the batches waiting
    std::vector<ReadBatch> m_spent;
    xmlDocPtr m_nodes = nullptr; // what the nodes handed over belong to
    bool m_finished = false;
    bool m_abandoned = false;
};

// A copy of the node for the other thread, its texts moved rather than
// copied: the pass frees its nodes once read past, and a picture's text
// may be megabytes. The node keeps its structure; its texts are emptied.
xmlNodePtr handOverCopy(xmlNodePtr node)
{
    const auto owned = [](xmlNodePtr text) {
        if (text->type != XML_TEXT_NODE && text->type != XML_CDATA_SECTION_NODE)
            return false;
        if (!text->content || text->content == reinterpret_cast<xmlChar *>(&text->properties))
            return false;
        return !(text->doc && text->doc->dict && xmlDictOwns(text->doc->dict, text->content));
    };
    // Depth first, in document order: the next node after `n` within `top`.
    const auto next = [](xmlNodePtr n, xmlNodePtr top) -> xmlNodePtr {
        if (n->children && n->type == XML_ELEMENT_NODE)
            return n->children;
        while (n != top) {
            if (n->next)
                return n->next;
            n = n->parent;
        }
        return nullptr;
    };
    std::vector<std::pair<xmlNodePtr, xmlChar *>> moved;
    if (node->type == XML_ELEMENT_NODE) {
        for (xmlNodePtr n = node->children; n; n = next(n, node)) {
            if (owned(n))
                moved.emplace_back(n, std::exchange(n->content, nullptr));
        }
    }
    xmlNodePtr copy = xmlDocCopyNode(node, nullptr, 1);
    // The copy has the same nodes in the same order; where it does not (a
    // text merged into its neighbour), the texts are copied after all.
    std::vector<xmlNodePtr> targets;
    targets.reserve(moved.size());
    bool same = copy != nullptr;
    xmlNodePtr n = node->children;
    xmlNodePtr c = copy ? copy->children : nullptr;
    for (; same && n && c; n = next(n, node), c = next(c, copy)) {
        same = c->type == n->type;
        if (same && targets.size() < moved.size() && moved[targets.size()].first == n) {
            same = !c->content;
            targets.push_back(c);
        }
    }
    if (same && !n && !c && targets.size() == moved.size()) {
        for (size_t i = 0; i < moved.size(); ++i)
            targets[i]->content = moved[i].second;
        return copy;
    }
    for (const auto &[text, content] : moved)
        text->content = content;
    if (copy)
        xmlFreeNode(copy);
    return xmlDocCopyNode(node, nullptr, 1);
}

// The bytes of the texts in and below the node.
size_t textBytes(xmlNodePtr node)
{
    size_t bytes = 0;
    std::vector<xmlNodePtr> stack{node};
    while (!stack.empty()) {
        const xmlNodePtr n = stack.back();
        stack.pop_back();
        if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content)
            bytes += std::strlen(reinterpret_cast<const char *>(n->content));
        if (n->type == XML_ELEMENT_NODE) {
            for (xmlNodePtr c = n->children; c; c = c->next)
                stack.push_back(c);
        }
    }
    return bytes;
}

// Copies the pass's nodes into batches for the other thread, and flattens
// elements into them straight from the parse.
class QueueSink : public ReadSink
{
public:
    explicit QueueSink(EventQueue &queue) : m_queue(queue)
    {
        m_batch.events.reserve(EventQueue::BatchSize);
    }
    ~QueueSink() override { flush(); }
    void topic(int index, const char *oid, qsizetype length) override
    {
        ReadEvent event{ReadEvent::Topic};
        event.index = index;
        if (oid) {
            event.oidAt = qsizetype(m_batch.oids.size());
            event.oidLength = length;
            m_batch.oids.append(oid, size_t(length));
        }
        add(std::move(event));
    }
    bool element(int index, const MMChildRule &rule, xmlNodePtr node) override
    {
        ReadEvent event{ReadEvent::Element};
        event.index = index;
        event.rule = &rule;
        const bool taken = (event.node = m_queue.adopt(node)) != nullptr;
        if (taken || (event.node = handOverCopy(node))) {
            m_batch.textBytes += textBytes(event.node);
            add(std::move(event));
        }
        return taken;
    }
    // Flattened into the batch that is filling: it is handed over only by
    // add(), never while an element is being flattened.
    XMLFlatTree *flatBlock() override { return &m_batch.flat; }
    void flatElement(int index, const MMChildRule &rule, int flat) override
    {
        ReadEvent event{ReadEvent::Element};
        event.index = index;
        event.rule = &rule;
        event.flat = flat;
        add(std::move(event));
    }
    void part(MapPart part, xmlNodePtr node) override
    {
        ReadEvent event{ReadEvent::Part};
        event.part = part;
        if ((event.node = xmlDocCopyNode(node, nullptr, 1))) {
            m_batch.textBytes += textBytes(event.node);
            add(std::move(event));
        }
    }
    void flush()
    {
        if (m_batch.events.empty())
            return;
        for (ReadBatch &spare : m_queue.push(std::move(m_batch)))
            m_spare.push_back(std::move(spare));
        if (m_spare.empty()) {
            m_batch = {};
            m_batch.events.reserve(EventQueue::BatchSize);
        } else {
            m_batch = std::move(m_spare.back());
            m_spare.pop_back();
        }
    }

private:
    void add(ReadEvent &&event)
    {
        m_batch.events.push_back(std::move(event));
        if (m_batch.events.size() >= EventQueue::BatchSize ||
            m_batch.textBytes >= EventQueue::MaximumTextBytes / 8)
            flush();
    }

    EventQueue &m_queue;
    ReadBatch m_batch;
    std::vector<ReadBatch> m_spare;
};

// Where a topic's children are, by record index.
struct TopicPlace
{
    std::vector<int> subTopics;
    std::vector<int> floatingTopics;
};

// What the pass learns of the map's outline.
struct MapOutline
{
    bool hasOneTopic = false;
    bool hasTopic = false;
    std::vector<TopicPlace> places;
    // What the map holds that has no place here, counted as it is passed
    // over; the identifiers inside background objects, for the
    // relationships that end at them.
    MMLeftOut leftOut;
    QSet<QString> backgroundOids;
};

// Labels converted and measured ahead of the branches: need() before a
// record's label is used.
class LabelsAhead
{
public:
    void need(int record)
    {
        if (measuring && size_t(record) < placeOf.size() && placeOf[size_t(record)] >= 0)
            measuring->need(size_t(placeOf[size_t(record)]));
    }

    std::unique_ptr<TWTextLayout::Prefetch> measuring;
    std::vector<int> placeOf; // by record
};

// Converts the record into the branch, then makes and converts its
// children: sub-topics first, floating topics after them. Each record is
// let go once converted.
void buildTopic(std::vector<TopicRecord> &records, int index, TWMapBranch &branch, int type,
                ImportContext &ctx, LabelsAhead &labels, bool unsized = false)
{
    TopicRecord record = std::move(records[index]);
    if (!record.topic)
        return;
    const std::optional<QString> oid = record.topic->string("OId");
    if (oid) {
        // The first topic of an identifier keeps it.
        TWMapBranch *&first = ctx.branchesByOid[*oid];
        if (!first)
            first = &branch;
    }
    convertTopic(*record.topic, oid, record.notes, record.pictures, record.label, branch, type,
                 branch.getThisBranchLevel(), ctx, unsized);
    record =
        TopicRecord{{}, {}, {}, {}, std::move(record.subTopics), std::move(record.floatingTopics)};
    const int childType = ctx.document ? ctx.document->graphicClassIdentifier() : 2;
    const int childLevel = branch.getThisBranchLevel() + 1;
    for (const auto &[list, kind] :
         {std::pair{&record.subTopics, 0}, std::pair{&record.floatingTopics, 3}}) {
        for (const int child : *list) {
            // The label is converted ahead on another thread.
            labels.need(child);
            const TopicRecord &next = records[size_t(child)];
            // Sized as it is made, a branch is sized again for the label
            // its conversion sets. Where nothing before that label reads
            // or moves the branch's bounds (a picture, a boundary's
            // margin), it is sized then only.
            const bool sizedLater = ctx.sizesBranchesOnce && childType != 5 && next.topic &&
                                    next.label.text && next.label.type == kind &&
                                    next.label.level == childLevel && !next.pictures.picture &&
                                    !next.topic->child("oneBoundary");
            // A refused child leaves its subtree out.
            if (const std::shared_ptr<TWMapBranch> made =
                    importChild(branch, childType, ctx.map, next.label.text, sizedLater))
                buildTopic(records, child, *made, kind, ctx, labels, sizedLater);
        }
    }
}

// Converts every topic's label for the branch it is to become (the root's
// kind and level, then sub-topics 0 and floating topics 3, a level down),
// and starts converting and measuring them on worker threads in the order
// the branches are made, while they are made.
LabelsAhead prepareLabels(std::vector<TopicRecord> &records, int rootLevel, const TWMap &map,
                          const ImportContext &ctx)
{
    // Depth first, children in order, as the branches are made.
    std::vector<int> order;
    order.reserve(records.size());
    std::vector<std::pair<int, PreparedLabel>> stack{{0, {0, rootLevel, std::nullopt}}};
    while (!stack.empty()) {
        auto [index, label] = std::move(stack.back());
        stack.pop_back();
        TopicRecord &record = records[size_t(index)];
        if (!record.topic)
            continue;
        order.push_back(index);
        for (auto it = record.floatingTopics.rbegin(); it != record.floatingTopics.rend(); ++it)
            stack.push_back({*it, {3, label.level + 1, std::nullopt}});
        for (auto it = record.subTopics.rbegin(); it != record.subTopics.rend(); ++it)
            stack.push_back({*it, {0, label.level + 1, std::nullopt}});
        record.label = std::move(label);
    }
    // A few labels are converted and measured as quickly where they are
    // needed.
    constexpr size_t WorthDoingAhead = 16;
    const levelDefaults *ld = ctx.defaults;
    const auto convert = [&records, ld](int index) {
        PreparedLabel &label = records[size_t(index)].label;
        label.text = labelOf(*records[size_t(index)].topic, label.type, label.level, ld);
    };
    LabelsAhead ahead;
    if (order.size() < WorthDoingAhead) {
        for (const int index : order)
            convert(index);
        return ahead;
    }
    const TWMap::BranchDisplaySettings &settings = map.branchDisplaySettings();
    const float width =
        settings.textMaxWidthSet ? settings.textMaxWidth : TWMapBranch::UnlimitedTextWidth;
    // Each conversion reads the topic and the level defaults only, and
    // writes its own record's label.
    ahead.placeOf.assign(records.size(), -1);
    for (size_t place = 0; place < order.size(); ++place)
        ahead.placeOf[size_t(order[place])] = int(place);
    // The reading threads are done: a third worker keeps the labels ahead
    // of the branches.
    const int workers = std::clamp(QThread::idealThreadCount() - 1, 1, 3);
    const size_t count = order.size();
    ahead.measuring = std::make_unique<TWTextLayout::Prefetch>(
        count,
        [order = std::move(order), convert, &records,
         width](size_t place) -> std::optional<TWTextLayout::Request> {
            const int index = order[place];
            convert(index);
            const std::optional<AttributedString> &text = records[size_t(index)].label.text;
            if (!text)
                return std::nullopt;
            return TWTextLayout::Request{*text, width, TWTextArea::MaximumSize,
                                         TWTextArea::DefaultLineFragmentPadding};
        },
        workers);
    return ahead;
}

// --- the pass ---

enum class PassResult { Done, NotXML, NotMap };

// The one pass over the file, as libxml2's SAX events: the map's outline,
// its parts and its topics handed on in file order. Nodes are made (by
// libxml2's own tree builder, so that they are what a parsed document
// holds) only for the map's frame of topics and lists and for the elements
// handed on as nodes; the elements read from flattened copies are
// flattened straight from the events where the sink wants that, and
// everything else is passed over unmade. The stream must read to its end:
// a damaged file is refused before anything is built.
class MapPass
{
public:
    MapPass(MapOutline &outline, ReadSink &sink) : m_outline(outline), m_sink(sink) {}

    PassResult run(const MMMapSource &source)
    {
        if (!source.parse)
            return PassResult::NotXML;
        const std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(
            xmlNewParserCtxt(), &xmlFreeParserCtxt);
        if (!context || !context->sax)
            return PassResult::NotXML;
        m_context = context.get();
        xmlSAXHandler &sax = *context->sax;
        m_built = sax;
        sax.startElementNs = &MapPass::startElement;
        sax.endElementNs = &MapPass::endElement;
        sax.characters = &MapPass::characters;
        sax.ignorableWhitespace = &MapPass::ignorableWhitespace;
        sax.cdataBlock = &MapPass::cdataBlock;
        sax.comment = &MapPass::comment;
        sax.processingInstruction = &MapPass::processingInstruction;
        sax.reference = &MapPass::reference;
        // libxml2 reports through its own handlers; the import keeps the
        // first error for its alert and its log.
        sax.serror = [](void *, xmlErrorPtr error) {
            MapPass *pass = t_pass;
            // A reference to an entity that a document type not read may
            // declare is left out, and counted.
            if (pass && error && error->code == XML_WAR_UNDECLARED_ENTITY) {
                ++pass->m_undeclaredEntities;
                return;
            }
            if (!pass || !error || error->level < XML_ERR_ERROR || pass->m_errorCode)
                return;
            pass->m_errorCode = error->code ? error->code : -1;
            pass->m_error = QString::fromUtf8(error->message ? error->message : "").trimmed();
            if (error->line > 0)
                pass->m_error += QStringLiteral(" (line %1)").arg(error->line);
        };
        m_restores = source.restoresCharacters;
        // The handlers find the pass here: entity content is parsed with
        // contexts of libxml2's own, which are built as libxml2 builds them.
        MapPass *const outer = std::exchange(t_pass, this);
        QString error;
        const bool intact = source.parse(m_context, &error, source.readsOnAWorkerThread);
        t_pass = outer;
        if (m_notMap && !m_thrown)
            return PassResult::NotMap;
        if (intact && !m_thrown && !m_textTooLong && context->wellFormed && m_rootSeen)
            return PassResult::Done;
        if (m_textTooLong)
            m_error = QStringLiteral("a text is longer than %1 bytes").arg(XML_MAX_TEXT_LENGTH);
        else if (!error.isEmpty() && m_error.isEmpty())
            m_error = error;
        else if (m_error.isEmpty() && !m_rootSeen && intact)
            m_error = QStringLiteral("the document has no root element");
        return PassResult::NotXML;
    }

    // Why the pass failed, when libxml2 or the stream said; and whether only
    // for a character XML 1.0 forbids.
    const QString &error() const { return m_error; }
    int undeclaredEntities() const { return m_undeclaredEntities; }
    bool failedOnACharacter() const
    {
        return m_errorCode == XML_ERR_INVALID_CHAR || m_errorCode == XML_ERR_INVALID_CHARREF;
    }

private:
    enum class Role : quint8 { Map, OneTopic, Topic, SubTopics, FloatingTopics };
    struct Frame
    {
        Role role;
        int topic = -1; // a topic's record, or the list's topic's
        xmlNodePtr node = nullptr;
    };
    enum class Capture : quint8 { None, Node, Flat };

    static bool named(const xmlChar *prefix, const xmlChar *local, std::string_view name)
    {
        const std::string_view l(reinterpret_cast<const char *>(local));
        if (!prefix)
            return l == name;
        const std::string_view p(reinterpret_cast<const char *>(prefix));
        return name.size() == p.size() + 1 + l.size() && name.substr(0, p.size()) == p &&
               name[p.size()] == ':' && name.substr(p.size() + 1) == l;
    }
    // The qualified name in `buffer`, as lookups compare it. The name
    // follows a few spare bytes: hashing may read a little before a short
    // text, which memory checkers would report at the start of a block.
    static std::string_view qualified(const xmlChar *prefix, const xmlChar *local,
                                      std::string &buffer)
    {
        if (!prefix)
            return reinterpret_cast<const char *>(local);
        constexpr size_t Spare = 16;
        buffer.assign(Spare, ' ');
        buffer += reinterpret_cast<const char *>(prefix);
        buffer += ':';
        buffer += reinterpret_cast<const char *>(local);
        return std::string_view(buffer).substr(Spare);
    }

    // What an element of a topic or of its lists is, by its name. The
    // parser hands on names interned for the parse, one pointer per name:
    // each is worked out once.
    struct Kind
    {
        enum Name : quint8 { Other, Topic, SubTopics, FloatingTopics };
        const xmlChar *prefix = nullptr;
        const xmlChar *localname = nullptr;
        Name name = Other;
        TopicChildKind child;
    };
    const Kind &kindOf(const xmlChar *prefix, const xmlChar *localname)
    {
        const auto bits = [](const xmlChar *p) { return reinterpret_cast<quintptr>(p) >> 3; };
        Kind &known = m_kinds[(bits(prefix) * 31 + bits(localname)) % m_kinds.size()];
        if (known.localname == localname && known.prefix == prefix && localname)
            return known;
        known = Kind{prefix, localname};
        if (named(prefix, localname, "ap:Topic")) {
            known.name = Kind::Topic;
        } else if (named(prefix, localname, "ap:SubTopics")) {
            known.name = Kind::SubTopics;
        } else if (named(prefix, localname, "ap:FloatingTopics")) {
            known.name = Kind::FloatingTopics;
        } else {
            const std::string_view name = qualified(prefix, localname, m_name);
            known.child =
                topicChildRule(QByteArray::fromRawData(name.data(), qsizetype(name.size())));
        }
        return known;
    }

    static MapPass *own(void *ctx)
    {
        MapPass *pass = t_pass;
        return pass && ctx == pass->m_context ? pass : nullptr;
    }

    // Made by libxml2's builder: the node, or null.
    xmlNodePtr build(const xmlChar *localname, const xmlChar *prefix, const xmlChar *URI,
                     int nb_namespaces, const xmlChar **namespaces, int nb_attributes,
                     int nb_defaulted, const xmlChar **attributes)
    {
        xmlNodePtr parent = m_context->node;
        m_built.startElementNs(m_context, localname, prefix, URI, nb_namespaces, namespaces,
                               nb_attributes, nb_defaulted, attributes);
        xmlNodePtr made = m_context->node;
        return made && made != parent && made->type == XML_ELEMENT_NODE ? made : nullptr;
    }
    // Ends a built element and lets it go, unless it is the root.
    void unbuild(xmlNodePtr node, const xmlChar *localname, const xmlChar *prefix,
                 const xmlChar *URI)
    {
        if (!node)
            return;
        m_built.endElementNs(m_context, localname, prefix, URI);
        release(node);
    }
    static void release(xmlNodePtr node)
    {
        if (node->parent && node->parent->type != XML_DOCUMENT_NODE) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
    }

    // An attribute's value as libxml2's builder reads it into its node,
    // as f(value, length); a null value where the node would have none.
    template <typename F> void withValue(const xmlChar *const *attribute, F &&f)
    {
        const char *value = reinterpret_cast<const char *>(attribute[3]);
        const qsizetype length = qsizetype(attribute[4] - attribute[3]);
        // A value the parser copied ends in a zero: it holds references.
        if (*attribute[4] != 0)
            return f(value, length);
        xmlNodePtr list = xmlStringLenGetNodeList(m_context->myDoc, attribute[3], int(length));
        if (list && !list->next && list->type == XML_TEXT_NODE && list->content) {
            const char *text = reinterpret_cast<const char *>(list->content);
            f(text, qsizetype(std::strlen(text)));
        } else if (xmlChar *joined = xmlNodeListGetString(m_context->myDoc, list, 1)) {
            const char *text = reinterpret_cast<const char *>(joined);
            f(text, qsizetype(std::strlen(text)));
            xmlFree(joined);
        } else {
            f(nullptr, 0);
        }
        if (list)
            xmlFreeNodeList(list);
    }

    // As libxml2's builder files attributes: defaulted ones only when asked
    // for.
    int ownAttributes(int nb_attributes, int nb_defaulted) const
    {
        return nb_defaulted && !(m_context->loadsubset & XML_COMPLETE_ATTRS)
                   ? nb_attributes - nb_defaulted
                   : nb_attributes;
    }

    // The element's own unprefixed "OId" as f(value, length), a null value
    // where it has none; false when the element has no such attribute.
    template <typename F>
    bool withOId(int nb_attributes, int nb_defaulted, const xmlChar **attributes, F &&f)
    {
        const int count = ownAttributes(nb_attributes, nb_defaulted);
        for (int i = 0; i < count; ++i) {
            const xmlChar *const *a = attributes + 5 * i;
            if (a[1] || !xmlStrEqual(a[0], BAD_CAST "OId"))
                continue;
            withValue(a, std::forward<F>(f));
            return true;
        }
        return false;
    }

    void flatStart(const xmlChar *localname, const xmlChar *prefix, int nb_attributes,
                   int nb_defaulted, const xmlChar **attributes)
    {
        const int index = m_flat->startElement(reinterpret_cast<const char *>(prefix),
                                               reinterpret_cast<const char *>(localname));
        if (m_flatIndex < 0)
            m_flatIndex = index;
        const int count = ownAttributes(nb_attributes, nb_defaulted);
        for (int i = 0; i < count; ++i) {
            const xmlChar *const *a = attributes + 5 * i;
            withValue(a, [&](const char *value, qsizetype length) {
                // An undeclared prefix is part of the name.
                m_flat->addAttribute(reinterpret_cast<const char *>(a[1]),
                                     reinterpret_cast<const char *>(a[0]), a[1] && a[2], value,
                                     length);
            });
        }
    }

    void start(const xmlChar *localname, const xmlChar *prefix, const xmlChar *URI,
               int nb_namespaces, const xmlChar **namespaces, int nb_attributes, int nb_defaulted,
               const xmlChar **attributes)
    {
        ++m_depth;
        if (m_skipDepth >= 0) {
            if (m_countInSkip)
                countInSkip(localname, prefix, nb_attributes, nb_defaulted, attributes);
            return;
        }
        const auto build = [&] {
            return this->build(localname, prefix, URI, nb_namespaces, namespaces, nb_attributes,
                               nb_defaulted, attributes);
        };
        if (m_capture == Capture::Node) {
            build();
            return;
        }
        if (m_capture == Capture::Flat) {
            flatStart(localname, prefix, nb_attributes, nb_defaulted, attributes);
            return;
        }
        const auto push = [&](Role role, int topic) {
            // A frame that declares no namespace need not be made: what is
            // made below it finds the same declarations higher up. Where a
            // document type may give defaults, frames are read as nodes.
            const bool made = role == Role::Map || nb_namespaces > 0 ||
                              (m_context->myDoc && m_context->myDoc->intSubset);
            m_frames.push_back({role, topic, made ? build() : nullptr});
        };
        const auto startTopic = [&] {
            const int index = int(m_outline.places.size());
            m_outline.places.emplace_back();
            push(Role::Topic, index);
            if (xmlNodePtr node = m_frames.back().node) {
                xmlChar *value = xmlGetNoNsProp(node, BAD_CAST "OId");
                const char *oid = reinterpret_cast<const char *>(value);
                m_sink.topic(index, oid, oid ? qsizetype(std::strlen(oid)) : 0);
                xmlFree(value);
                return index;
            }
            // As the node's unprefixed attribute would read.
            const bool named = withOId(
                nb_attributes, nb_defaulted, attributes, [&](const char *value, qsizetype length) {
                    // Present without a value: an empty identifier.
                    m_sink.topic(index, value ? value : "", value ? length : 0);
                });
            if (!named)
                m_sink.topic(index, nullptr, 0);
            return index;
        };
        if (m_frames.empty()) {
            m_rootSeen = true;
            if (!named(prefix, localname, "ap:Map")) {
                m_notMap = true;
                xmlStopParser(m_context);
                return;
            }
            push(Role::Map, -1);
            return;
        }
        const Frame frame = m_frames.back();
        switch (frame.role) {
        case Role::Map:
            if (named(prefix, localname, "ap:OneTopic")) {
                m_outline.hasOneTopic = true;
                push(Role::OneTopic, -1);
                return;
            }
            for (const auto &[part, name] : {std::pair{MapPart::StyleGroup, "ap:StyleGroup"},
                                             {MapPart::Relationships, "ap:Relationships"},
                                             {MapPart::DocumentGroup, "ap:DocumentGroup"}}) {
                if (named(prefix, localname, name)) {
                    // The first of each part is kept.
                    if (m_handedOn[int(part)])
                        break;
                    m_capturePart = part;
                    m_rule = nullptr;
                    startNodeCapture(build());
                    return;
                }
            }
            break;
        case Role::OneTopic:
            if (named(prefix, localname, "ap:Topic") && !m_outline.hasTopic) {
                m_outline.hasTopic = true;
                startTopic();
                return;
            }
            break;
        case Role::Topic: {
            const Kind &known = kindOf(prefix, localname);
            if (known.name == Kind::SubTopics) {
                push(Role::SubTopics, frame.topic);
                return;
            }
            if (known.name == Kind::FloatingTopics) {
                push(Role::FloatingTopics, frame.topic);
                return;
            }
            const TopicChildKind kind = known.child;
            if (!kind.rule)
                break;
            m_rule = kind.rule;
            m_captureTopic = frame.topic;
            if (kind.flat && (m_flat = m_sink.flatBlock())) {
                m_capture = Capture::Flat;
                m_captureDepth = m_depth;
                m_flatIndex = -1;
                flatStart(localname, prefix, nb_attributes, nb_defaulted, attributes);
                return;
            }
            startNodeCapture(build());
            return;
        }
        case Role::SubTopics:
        case Role::FloatingTopics:
            if (kindOf(prefix, localname).name == Kind::Topic) {
                const int child = startTopic();
                TopicPlace &place = m_outline.places[size_t(frame.topic)];
                (frame.role == Role::SubTopics ? place.subTopics : place.floatingTopics)
                    .push_back(child);
                return;
            }
            break;
        }
        m_skipDepth = m_depth;
        // Passed over, but counted: the user is told what was left out.
        m_countInSkip = nullptr;
        if (frame.role == Role::Map && named(prefix, localname, "ap:BackgroundObjects")) {
            m_countInSkip = "ap:BackgroundObject";
            m_counted = &m_outline.leftOut.backgroundObjects;
        } else if (frame.role == Role::Topic && named(prefix, localname, "ap:AttachmentGroup")) {
            m_countInSkip = "ap:AttachmentData";
            m_counted = &m_outline.leftOut.attachments;
        } else if (frame.role == Role::Topic && named(prefix, localname, "ap:TextLabels")) {
            m_countInSkip = "ap:TextLabel";
            m_counted = &m_outline.leftOut.tags;
        }
    }

    // An element inside one passed over: the ones of the kind counted, on
    // the level below it; inside background objects, every identifier.
    void countInSkip(const xmlChar *localname, const xmlChar *prefix, int nb_attributes,
                     int nb_defaulted, const xmlChar **attributes)
    {
        if (m_depth == m_skipDepth + 1 && named(prefix, localname, m_countInSkip))
            ++*m_counted;
        if (m_counted != &m_outline.leftOut.backgroundObjects)
            return;
        withOId(nb_attributes, nb_defaulted, attributes, [&](const char *value, qsizetype length) {
            if (value)
                m_outline.backgroundOids.insert(QString::fromUtf8(value, length));
        });
    }

    void startNodeCapture(xmlNodePtr node)
    {
        m_capture = Capture::Node;
        m_captureDepth = m_depth;
        m_captureNode = node;
    }

    void end(const xmlChar *localname, const xmlChar *prefix, const xmlChar *URI)
    {
        const int depth = m_depth--;
        if (m_skipDepth >= 0) {
            if (depth == m_skipDepth) {
                m_skipDepth = -1;
                m_countInSkip = nullptr;
            }
            return;
        }
        if (m_capture == Capture::Flat) {
            m_flat->endElement();
            if (depth == m_captureDepth) {
                m_capture = Capture::None;
                m_sink.flatElement(m_captureTopic, *m_rule, m_flatIndex);
            }
            return;
        }
        if (m_capture == Capture::Node) {
            if (depth != m_captureDepth) {
                m_built.endElementNs(m_context, localname, prefix, URI);
                return;
            }
            m_capture = Capture::None;
            xmlNodePtr node = std::exchange(m_captureNode, nullptr);
            if (node && m_rule) {
                // Ended first: the sink may take it.
                m_built.endElementNs(m_context, localname, prefix, URI);
                if (!m_sink.element(m_captureTopic, *m_rule, node))
                    release(node);
                return;
            }
            if (node && !m_rule) {
                m_handedOn[int(m_capturePart)] = true;
                m_sink.part(m_capturePart, node);
            }
            unbuild(node, localname, prefix, URI);
            return;
        }
        if (m_frames.empty())
            return;
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        unbuild(frame.node, localname, prefix, URI);
    }

    // Nothing thrown crosses libxml2's frames: the parse stops, refused.
    template <typename F> void guarded(F &&f)
    {
        if (m_thrown)
            return;
        try {
            f();
        } catch (...) {
            m_thrown = true;
            xmlStopParser(m_context);
        }
    }

    // Text, comments and the like count only inside elements made as nodes.
    bool builds(void *ctx) const
    {
        return ctx != m_context || (m_capture == Capture::Node && m_skipDepth < 0);
    }

    // Anything but text ends a text node.
    static void endText(void *ctx)
    {
        if (MapPass *pass = own(ctx))
            pass->m_textRun = 0;
    }

    static void startElement(void *ctx, const xmlChar *localname, const xmlChar *prefix,
                             const xmlChar *URI, int nb_namespaces, const xmlChar **namespaces,
                             int nb_attributes, int nb_defaulted, const xmlChar **attributes)
    {
        endText(ctx);
        // Values holding stand-ins are handed on turned back.
        std::vector<const xmlChar *> restoredAttributes;
        std::vector<std::string> restoredValues;
        if (t_pass && t_pass->m_restores && nb_attributes > 0) {
            restoredValues.resize(size_t(nb_attributes));
            for (int i = 0; i < nb_attributes; ++i) {
                const xmlChar *value = attributes[i * 5 + 3];
                const xmlChar *end = attributes[i * 5 + 4];
                if (!MMXMLCharacters::restore(reinterpret_cast<const char *>(value),
                                              size_t(end - value), restoredValues[size_t(i)]))
                    continue;
                if (restoredAttributes.empty())
                    restoredAttributes.assign(attributes, attributes + nb_attributes * 5);
                const std::string &v = restoredValues[size_t(i)];
                restoredAttributes[size_t(i) * 5 + 3] = BAD_CAST v.data();
                restoredAttributes[size_t(i) * 5 + 4] = BAD_CAST v.data() + v.size();
            }
            if (!restoredAttributes.empty())
                attributes = restoredAttributes.data();
        }
        if (MapPass *pass = own(ctx))
            pass->guarded([&] {
                pass->start(localname, prefix, URI, nb_namespaces, namespaces, nb_attributes,
                            nb_defaulted, attributes);
            });
        else if (t_pass)
            t_pass->m_built.startElementNs(ctx, localname, prefix, URI, nb_namespaces, namespaces,
                                           nb_attributes, nb_defaulted, attributes);
    }
    static void endElement(void *ctx, const xmlChar *localname, const xmlChar *prefix,
                           const xmlChar *URI)
    {
        endText(ctx);
        if (MapPass *pass = own(ctx))
            pass->guarded([&] { pass->end(localname, prefix, URI); });
        else if (t_pass)
            t_pass->m_built.endElementNs(ctx, localname, prefix, URI);
    }
    // libxml2's builder refuses a text node longer than its limit, and so
    // the file: a text is refused as long, whether it is made or not.
    bool textFits(void *ctx, int length)
    {
        if (ctx != m_context)
            return true;
        m_textRun += length;
        if (m_textRun > XML_MAX_TEXT_LENGTH && !(m_context->options & XML_PARSE_HUGE) &&
            !m_textTooLong) {
            m_textTooLong = true;
            xmlStopParser(m_context);
        }
        return !m_textTooLong;
    }
    // The text with its stand-ins turned back, where the pass has them.
    template <typename F> static void restored(const xmlChar *text, int length, F &&f)
    {
        std::string turned;
        if (t_pass && t_pass->m_restores &&
            MMXMLCharacters::restore(reinterpret_cast<const char *>(text), size_t(length), turned))
            f(BAD_CAST turned.data(), int(turned.size()));
        else
            f(text, length);
    }
    static void characters(void *ctx, const xmlChar *text, int length)
    {
        if (t_pass && t_pass->textFits(ctx, length) && t_pass->builds(ctx) &&
            t_pass->m_built.characters)
            restored(text, length,
                     [ctx](const xmlChar *t, int n) { t_pass->m_built.characters(ctx, t, n); });
    }
    static void ignorableWhitespace(void *ctx, const xmlChar *text, int length)
    {
        if (t_pass && t_pass->textFits(ctx, length) && t_pass->builds(ctx) &&
            t_pass->m_built.ignorableWhitespace)
            t_pass->m_built.ignorableWhitespace(ctx, text, length);
    }
    static void cdataBlock(void *ctx, const xmlChar *text, int length)
    {
        endText(ctx);
        if (t_pass && t_pass->builds(ctx) && t_pass->m_built.cdataBlock)
            restored(text, length,
                     [ctx](const xmlChar *t, int n) { t_pass->m_built.cdataBlock(ctx, t, n); });
    }
    static void comment(void *ctx, const xmlChar *text)
    {
        endText(ctx);
        if (t_pass && t_pass->builds(ctx) && t_pass->m_built.comment)
            t_pass->m_built.comment(ctx, text);
    }
    static void reference(void *ctx, const xmlChar *name)
    {
        endText(ctx);
        if (t_pass && t_pass->builds(ctx) && t_pass->m_built.reference)
            t_pass->m_built.reference(ctx, name);
    }
    static void processingInstruction(void *ctx, const xmlChar *target, const xmlChar *data)
    {
        endText(ctx);
        MapPass *pass = t_pass;
        if (!pass)
            return;
        if (pass->builds(ctx)) {
            if (pass->m_built.processingInstruction)
                pass->m_built.processingInstruction(ctx, target, data);
        } else if (pass->m_capture == Capture::Flat && pass->m_skipDepth < 0 &&
                   ctx == pass->m_context) {
            // Kept by name, as a flattened node keeps one.
            pass->guarded([&] {
                pass->m_flat->startElement(nullptr, reinterpret_cast<const char *>(target));
                pass->m_flat->endElement();
            });
        }
    }

    static thread_local MapPass *t_pass;

    MapOutline &m_outline;
    ReadSink &m_sink;
    xmlParserCtxtPtr m_context = nullptr;
    xmlSAXHandler m_built{}; // libxml2's tree builder
    std::vector<Frame> m_frames;
    int m_depth = 0;
    int m_skipDepth = -1;
    const char *m_countInSkip = nullptr; // what is counted inside the element passed over
    int *m_counted = nullptr;
    Capture m_capture = Capture::None;
    int m_captureDepth = -1;
    int m_captureTopic = -1;
    const MMChildRule *m_rule = nullptr; // null for a part
    MapPart m_capturePart = MapPart::StyleGroup;
    xmlNodePtr m_captureNode = nullptr;
    XMLFlatTree *m_flat = nullptr;
    int m_flatIndex = -1;
    bool m_handedOn[3] = {false, false, false};
    bool m_rootSeen = false;
    bool m_restores = false; // characters stand in for those XML forbids
    int m_errorCode = 0;
    QString m_error;
    int m_undeclaredEntities = 0;
    bool m_notMap = false;
    bool m_thrown = false;
    bool m_textTooLong = false;
    qint64 m_textRun = 0; // the text node's length so far
    std::string m_name;
    std::array<Kind, 61> m_kinds{};
};

thread_local MapPass *MapPass::t_pass = nullptr;

// Why a pass failed: libxml2's first error, or the stream's.
struct PassFailure
{
    QString reason;
    bool onACharacter = false;
    // References left out of a document that read all the same.
    int undeclaredEntities = 0;
};

// Opens the source and reads it to its end; nothing when it cannot be
// opened. The stream is read on a thread of its own while this one makes
// the records: elements cross over flattened or as copies of their nodes.

std::optional<PassResult> readSource(const MMMapSource &source, MapOutline &outline,
                                     MapContents &contents, PassFailure &failure)
{
    const auto runPass = [&source, &outline, &failure](ReadSink &sink) {
        MapPass pass(outline, sink);
        const PassResult result = pass.run(source);
        failure = {pass.error(), pass.failedOnACharacter(), pass.undeclaredEntities()};
        return result;
    };
    const auto readHere = [&]() -> std::optional<PassResult> {
        DirectSink sink(contents);
        return runPass(sink);
    };
    if (!source.readsOnAWorkerThread)
        return readHere();
    // libxml2 sets its globals up once, before a second thread uses it.
    xmlInitParser();
    EventQueue queue;
    std::optional<PassResult> result;
    std::thread reading;
    try {
        reading = std::thread([&runPass, &queue, &result] {
            // Whatever stops the reading is a file that could not be read.
            try {
                QueueSink sink(queue);
                result = runPass(sink);
            } catch (...) {
                result = PassResult::NotXML;
            }
            queue.finish();
        });
    } catch (const std::system_error &) {
        // No thread to be had: this one reads as well.
        return readHere();
    }
    // However this side leaves, the reading thread is let go and joined.
    struct Join
    {
        EventQueue &queue;
        std::thread &thread;
        ~Join()
        {
            queue.abandon();
            if (thread.joinable())
                thread.join();
        }
    } join{queue, reading};
    ReadBatch batch;
    while (queue.pop(batch)) {
        for (ReadEvent &event : batch.events) {
            switch (event.kind) {
            case ReadEvent::Topic:
                contents.topic(event.index,
                               event.oidAt < 0
                                   ? std::nullopt
                                   : std::optional<QString>(QString::fromUtf8(QByteArrayView(
                                         batch.oids.data() + event.oidAt, event.oidLength))));
                break;
            case ReadEvent::Element:
                if (event.node)
                    contents.element(event.index, *event.rule, XMLTree::initWithNode(event.node));
                else
                    contents.element(event.index, *event.rule, batch.flat.element(event.flat));
                break;
            case ReadEvent::Part:
                contents.part(event.part, XMLTree::initWithNode(event.node));
                break;
            }
        }
        queue.giveBack(std::move(batch));
        batch = {};
    }
    return result;
}

void registerStyleGroup(TWMap &map, const apStyleGroup &sg, levelDefaults &ld, ImportContext &ctx)
{
    if (const MMObjectPtr root = sg.child("rootTopicDefaultsGroup")) {
        ld.setDefaultStyle(root, 0, 0);
        if (const MMObjectPtr color = root->child("defaultColor")) {
            if (std::optional<Color> c = mmConverter::colorFromString(color->string("fillColor")))
                map.setDefaultGraphicColor(c);
            if (std::optional<Color> c = mmConverter::colorFromString(color->string("lineColor")))
                map.setDefaultStrokeColor(c);
        }
        const std::optional<QString> shape =
            childString(root, "defaultSubTopicShape", "subTopicShape");
        if (shape && ctx.document)
            ctx.document->setGraphicClassIdentifier(
                mmTables::lookup(mmTables::kRootSubTopicShapes, shape)
                    .value_or(mmTables::kRootSubTopicShapeOther));
    }
    const auto atLevels = [&ld, &sg](const char *field, int type) {
        for (const MMObjectPtr &group : sg.children(field))
            ld.setDefaultStyle(group, type, group->intNumber("level").value_or(0) + 1);
    };
    atLevels("rootSubTopicDefaultsGroup", 0);
    if (const MMObjectPtr callout = sg.child("calloutTopicDefaultsGroup"))
        ld.setDefaultStyle(callout, 1, 0);
    atLevels("calloutSubTopicDefaultsGroup", 1);
    if (const MMObjectPtr label = sg.child("labelTopicDefaultsGroup"))
        ld.setDefaultStyle(label, 2, 0);
    atLevels("labelSubTopicDefaultsGroup", 2);
    ctx.defaults = &ld;
    ctx.boundaryDefaults = sg.child("boundaryDefaultsGroup");

    if (const MMObjectPtr fill = sg.child("backgroundFill")) {
        if (const std::optional<Color> background =
                mmConverter::colorFromString(fill->string("fillColor")))
            map.setBackgroundColor(background);
    }
    if (const MMObjectPtr image = sg.child("backgroundImageData")) {
        const std::optional<int> transparency = image->intNumber("transparency");
        map.setBackgroundImageOpacity(transparency ? float((100 - *transparency) * 0.01) : 1.0f);
        if (std::optional<Image> picture =
                ctx.pictures ? ctx.pictures->pictureOf(image.get()) : std::nullopt)
            map.setBackgroundImage(std::make_shared<Image>(std::move(*picture)));
    }
    if (const MMObjectPtr visibility = sg.child("visibilityStyle")) {
        if (visibility->boolValue("hideRelationships"))
            map.setShowLinkLines(false);
        map.setShowAttachedGraphics(!visibility->boolValue("hideLabelFloatingTopics"));
    }
}

// A link line whose control points wait for the topics' final places.
struct PendingCurve
{
    std::shared_ptr<TWLinkLine> line;
    TWMapBranch *ends[2];
    Point offsets[2]; // from the centre of each end's branch, y up
};

// The text of the topics a relationship carries as its label, one line each.
std::optional<AttributedString> relationshipLabel(const MMXMLBaseObject &relationship,
                                                  const ImportContext &ctx)
{
    const MMObjectPtr floating = relationship.child("floatingTopics");
    if (!floating)
        return std::nullopt;
    std::optional<AttributedString> label;
    for (const MMObjectPtr &topic : floating->children("topics")) {
        const auto t = std::dynamic_pointer_cast<apTopic>(topic);
        if (!t || !t->child("text"))
            continue;
        const std::optional<AttributedString> text = labelOf(*t, 2, 0, ctx.defaults);
        if (!text || text->length() == 0)
            continue;
        if (!label) {
            label = *text;
        } else {
            label->appendAttributedString(AttributedString(
                QStringLiteral("\n"), label->attributesAtIndex(label->length() - 1)));
            label->appendAttributedString(*text);
        }
    }
    return label;
}

// Whether one of the relationship's ends is among the identifiers.
bool endsAtOneOf(const MMXMLBaseObject &relationship, const QSet<QString> &oids)
{
    if (oids.isEmpty())
        return false;
    for (const MMObjectPtr &group : relationship.children("connectionGroups")) {
        const std::optional<QString> oid =
            childString(group->child("connection"), "objectReference", "OIdRef");
        if (oid && oids.contains(*oid))
            return true;
    }
    return false;
}

std::optional<PendingCurve> addRelationship(TWMap &map, const MMXMLBaseObject &relationship,
                                            const MMObjectPtr &defaults, const ImportContext &ctx)
{
    std::optional<Color> color;
    if (const MMObjectPtr own = relationship.child("color"))
        color = mmConverter::colorFromString(own->string("lineColor"));
    if (!color && defaults)
        color = mmConverter::colorFromString(childString(defaults, "defaultColor", "lineColor"));
    if (!color)
        color = Color::blackColor();
    // Points, as the export writes link-line widths.
    std::optional<float> width;
    // The dash, as the export writes it; the relationship's own, else the
    // map's default.
    std::optional<QString> dash;
    if (const MMObjectPtr style = relationship.child("lineStyle")) {
        width = style->floatNumber("lineWidth");
        dash = style->string("lineDashStyle");
    }
    if (defaults) {
        if (const MMObjectPtr style = defaults->child("defaultLineStyle")) {
            if (!width)
                width = style->floatNumber("lineWidth");
            if (!dash)
                dash = style->string("lineDashStyle");
        }
    }

    const MMObjectList groups = relationship.children("connectionGroups");
    if (groups.size() < 2)
        return std::nullopt;
    TWMapBranch *ends[2] = {nullptr, nullptr};
    MMObjectPtr connections[2];
    for (int i = 0; i < 2; ++i) {
        connections[i] = groups.at(i)->child("connection");
        const std::optional<QString> oid = childString(connections[i], "objectReference", "OIdRef");
        ends[i] = oid ? ctx.branchesByOid.value(*oid) : nullptr;
        if (!ends[i] || !ends[i]->mainGraphic())
            return std::nullopt;
    }
    auto line = TWGraphic::make<TWLinkLine>();
    line->setDrawsFill(false);
    line->setDrawsStroke(true);
    line->setBranch(ends[0]);
    line->setStartGraphicNumber(ends[0]->mainGraphic()->graphicNumber());
    line->setEndGraphicNumber(ends[1]->mainGraphic()->graphicNumber());
    map.insertObjectInLinkLinesAtIndex(line, map.countOfLinkLines());
    for (int i = 0; i < 2; ++i) {
        const std::optional<QString> shape =
            childString(groups.at(i), "connectionStyle", "connectionShape");
        for (const mmTables::ArrowRow &row : mmTables::kArrows) {
            if (shape != mmTables::urn(row.name))
                continue;
            if (i == 0) {
                line->setStartArrowStyle(row.style);
                if (row.filled >= 0)
                    line->setStartFilled(row.filled == 1);
            } else {
                line->setEndArrowStyle(row.style);
                if (row.filled >= 0)
                    line->setEndFilled(row.filled == 1);
            }
            break;
        }
    }
    line->setStartArrowLength(15.0f);
    line->setStartArrowWidth(15.0f);
    line->setEndArrowLength(15.0f);
    line->setEndArrowWidth(15.0f);
    line->setColorMode(2);
    line->setStrokeColor(color);
    line->setStrokeWidth(width.value_or(1.0f));
    if (const std::optional<int> code = mmTables::lookup(mmTables::kDashStyles, dash))
        line->setStrokeStyle(*code);
    if (std::optional<AttributedString> label = relationshipLabel(relationship, ctx))
        line->setLabel(label);
    line->updateBounds();
    // Each control point is an offset from the centre of its own end's
    // branch, y up as topic offsets are; placed once the map is laid out.
    PendingCurve pending{line, {ends[0], ends[1]}, {}};
    for (int i = 0; i < 2; ++i) {
        const float cx = pointsFromMillimetres(
            connections[i] ? connections[i]->floatNumber("CX").value_or(0) : 0);
        const float cy = pointsFromMillimetres(
            connections[i] ? connections[i]->floatNumber("CY").value_or(0) : 0);
        pending.offsets[i] = Point(cx, cy);
    }
    return pending;
}

void placeCurve(const PendingCurve &curve)
{
    Point points[2];
    for (int i = 0; i < 2; ++i) {
        const Rect b = curve.ends[i]->branchBounds();
        points[i] = Point(b.x() + b.width() / 2 + curve.offsets[i].x,
                          b.y() + b.height() / 2 - curve.offsets[i].y);
    }
    curve.line->setIntermediatePoint1(points[0]);
    curve.line->setIntermediatePoint2(points[1]);
    curve.line->updateBounds();
}

} // namespace

namespace {

// What a parse made beside the events, if anything.
void freeDocument(xmlDocPtr document)
{
    if (document)
        xmlFreeDoc(document);
}

// The archive member as the parser reads it, inflated here or, ahead, on a
// thread of its own a few blocks before the parser: a large map spends a
// tenth of its reading inflating.
class ArchiveReading
{
public:
    ArchiveReading(std::unique_ptr<MMArchiveStream> stream, std::shared_ptr<QString> error)
        : error(std::move(error)), m_stream(std::move(stream))
    {}
    ~ArchiveReading()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
            m_notFull.notify_one();
        }
        if (m_inflating.joinable())
            m_inflating.join();
    }
    // Without a thread to be had, the member inflates as it is read.
    void readAhead()
    {
        try {
            m_inflating = std::thread([this] { inflate(); });
        } catch (const std::system_error &) {
        }
    }
    // As the stream reads: bytes, 0 at the end, -1 on damage.
    qint64 read(char *buffer, qint64 size)
    {
        if (!m_inflating.joinable())
            return m_stream->read(buffer, size);
        while (m_offset >= m_block.size()) {
            std::unique_lock lock(m_mutex);
            m_notEmpty.wait(lock, [this] { return !m_blocks.empty() || m_ended; });
            if (m_blocks.empty())
                return m_failed ? -1 : 0;
            m_block = std::move(m_blocks.front());
            m_blocks.pop_front();
            m_offset = 0;
            m_notFull.notify_one();
        }
        const qint64 n = std::min<qint64>(size, m_block.size() - m_offset);
        memcpy(buffer, m_block.constData() + m_offset, size_t(n));
        m_offset += n;
        return n;
    }
    // Once read() has failed.
    QString streamError()
    {
        const std::lock_guard lock(m_mutex);
        return m_stream->error();
    }

    std::shared_ptr<QString> error;
    std::shared_ptr<bool> broke = std::make_shared<bool>(false);

private:
    static constexpr qint64 BlockSize = 64 * 1024;
    static constexpr size_t MaximumBlocks = 4;

    void inflate()
    {
        for (;;) {
            QByteArray block(BlockSize, Qt::Uninitialized);
            const qint64 n = m_stream->read(block.data(), BlockSize);
            std::unique_lock lock(m_mutex);
            if (n <= 0) {
                m_ended = true;
                m_failed = n < 0;
                m_notEmpty.notify_one();
                return;
            }
            block.truncate(n);
            m_notFull.wait(lock, [this] { return m_blocks.size() < MaximumBlocks || m_stopped; });
            if (m_stopped)
                return;
            m_blocks.push_back(std::move(block));
            m_notEmpty.notify_one();
        }
    }

    std::unique_ptr<MMArchiveStream> m_stream;
    std::thread m_inflating;
    std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<QByteArray> m_blocks;
    bool m_ended = false;
    bool m_failed = false;
    bool m_stopped = false;
    QByteArray m_block;
    qint64 m_offset = 0;
};

} // namespace

namespace {

// Plain XML begins with "<" once a byte order mark and blanks are passed
// over, or with a UTF-16 byte order mark; anything else is taken for an
// archive (which may follow a self-extracting stub).
bool looksLikeXML(const QByteArray &start)
{
    if (start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF"))
        return true;
    qsizetype i = start.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < start.size() &&
           (start[i] == ' ' || start[i] == '\t' || start[i] == '\r' || start[i] == '\n'))
        ++i;
    return i < start.size() && start[i] == '<';
}

} // namespace

std::optional<MMMapSource> mmImpExpController::sourceForFile(const QString &path, QString *error)
{
    MMMapSource source;
    source.path = path;
    const int options = XMLTreeDetail::parseOptions();
    // The two forms are told apart by their content, whatever the name.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const bool xml = looksLikeXML(file.peek(256));
    file.close();
    if (xml) {
        source.parse = [path, options](xmlParserCtxtPtr context, QString *, bool) {
            freeDocument(
                xmlCtxtReadFile(context, QFile::encodeName(path).constData(), nullptr, options));
            return true;
        };
        source.bytes = [path](QString *why) -> std::optional<QByteArray> {
            QFile whole(path);
            if (!whole.open(QIODevice::ReadOnly)) {
                *why = whole.errorString();
                return std::nullopt;
            }
            if (whole.size() > MMArchiveStream::MaximumMemberSize) {
                *why = QStringLiteral("the file is too large");
                return std::nullopt;
            }
            return whole.readAll();
        };
        return source;
    }
    const QString member = QStringLiteral("Document.xml");
    // The directory is read and checked once, before anything is made.
    const std::shared_ptr<const ZipArchive> archive = MMArchiveStream::openArchive(path, error);
    if (!archive || !MMArchiveStream::open(*archive, member, error))
        return std::nullopt;
    std::shared_ptr<QString> streamError = source.streamError;
    source.parse = [archive, member, options, streamError](xmlParserCtxtPtr parser, QString *why,
                                                           bool ahead) {
        std::unique_ptr<MMArchiveStream> stream = MMArchiveStream::open(*archive, member, why);
        if (!stream)
            return false;
        auto *context = new ArchiveReading{std::move(stream), streamError};
        // Held apart: libxml2 lets the context go only with the parser.
        const std::shared_ptr<bool> broke = context->broke;
        if (ahead)
            context->readAhead();
        streamError->clear();
        freeDocument(xmlCtxtReadIO(
            parser,
            [](void *c, char *buffer, int len) -> int {
                auto *ctx = static_cast<ArchiveReading *>(c);
                const qint64 n = ctx->read(buffer, len);
                if (n < 0) {
                    *ctx->error = ctx->streamError();
                    *ctx->broke = true;
                }
                return int(n);
            },
            [](void *c) -> int {
                delete static_cast<ArchiveReading *>(c);
                return 0;
            },
            context, nullptr, nullptr, options));
        return !*broke;
    };
    source.members = [archive](const QString &uri) -> std::optional<QByteArray> {
        QString name = uri.trimmed();
        if (name.startsWith(QLatin1String("mmarch://")))
            name = name.mid(9);
        while (name.startsWith(u'/'))
            name.remove(0, 1);
        return MMArchiveStream::readMember(*archive, name);
    };
    source.bytes = [archive, member](QString *) {
        return MMArchiveStream::readMember(*archive, member, MMArchiveStream::MaximumMemberSize);
    };
    return source;
}

MMMapSource mmImpExpController::sourceForData(const QByteArray &xml, const QString &name)
{
    MMMapSource source;
    source.path = name;
    const int options = XMLTreeDetail::parseOptions();
    auto bytes = std::make_shared<QByteArray>(xml);
    source.parse = [bytes, options](xmlParserCtxtPtr context, QString *, bool) {
        freeDocument(xmlCtxtReadMemory(context, bytes->constData(), int(bytes->size()), nullptr,
                                       nullptr, options));
        return true;
    };
    source.bytes = [bytes](QString *) { return std::optional<QByteArray>(*bytes); };
    return source;
}

bool mmImpExpController::populateDadoZiz(TWMap &map, const QString &path, MMLeftOut *leftOut)
{
    QString error;
    const std::optional<MMMapSource> source = sourceForFile(path, &error);
    if (!source) {
        refuse(QStringLiteral("Failed to load XML file: %1 (%2)").arg(path, error));
        return false;
    }
    return populateDadoZiz(map, *source, leftOut);
}

bool mmImpExpController::populateDadoZiz(TWMap &map, const MMMapSource &source, MMLeftOut *leftOut)
{
    PassFailure failure;
    const auto failedToLoad = [&source, &failure]() {
        QString message = QStringLiteral("Failed to load XML file: %1").arg(source.path);
        const QString why = !source.streamError->isEmpty() ? *source.streamError : failure.reason;
        if (!why.isEmpty())
            message += QStringLiteral(" (%1)").arg(why);
        qWarning("%s", qPrintable(message));
        refuse(message);
        return false;
    };
    MapOutline outline;
    MMImportPictures pictures(source.members, source.pictureBudget);
    MapContents contents(pictures);
    switch (readSource(source, outline, contents, failure).value_or(PassResult::NotXML)) {
    case PassResult::NotXML:
        // Refused only for characters XML 1.0 forbids: read again with
        // stand-ins for them, which the pass turns back.
        if (failure.onACharacter && source.bytes && source.streamError->isEmpty()) {
            QString why;
            if (const std::optional<QByteArray> bytes = source.bytes(&why)) {
                MMXMLCharacters::Rewritten rewritten = MMXMLCharacters::rewrite(*bytes);
                if (rewritten.kept + rewritten.leftOut + rewritten.joined > 0) {
                    MMMapSource again = sourceForData(rewritten.xml, source.path);
                    again.members = source.members;
                    again.pictureBudget = source.pictureBudget;
                    again.readsOnAWorkerThread = source.readsOnAWorkerThread;
                    again.sizesBranchesOnce = source.sizesBranchesOnce;
                    // Read once more at most; stand-ins are turned back
                    // only where the file held none of its own.
                    again.bytes = nullptr;
                    again.restoresCharacters = rewritten.kept > 0;
                    MMLeftOut counted;
                    if (!populateDadoZiz(map, again, &counted))
                        return false;
                    counted.fileName = QFileInfo(source.path).fileName();
                    counted.forbiddenCharactersKept = rewritten.kept;
                    counted.forbiddenCharactersLeftOut = rewritten.leftOut;
                    if (leftOut)
                        *leftOut = counted;
                    return true;
                }
            } else if (!why.isEmpty()) {
                failure.reason = why;
            }
        }
        return failedToLoad();
    case PassResult::NotMap:
        refuse(QStringLiteral("%1 is not a MindManager XML Map file").arg(source.path));
        return false;
    case PassResult::Done:
        break;
    }
    // Past its budget the map is not made with pictures left out.
    const auto pastBudget = [&source, &pictures]() {
        const QString why = pictures.refusal();
        if (!why.isEmpty())
            refuse(QStringLiteral("Failed to load XML file: %1 (%2)").arg(source.path, why));
        return !why.isEmpty();
    };
    if (pastBudget())
        return false;
    if (!outline.hasOneTopic) {
        refuse(QStringLiteral("Error loading Map object - no one topic found"));
        return false;
    }
    if (!outline.hasTopic) {
        refuse(QStringLiteral("Error loading Map object - no topic found"));
        return false;
    }
    const MapParts &parts = contents.parts;
    std::vector<TopicRecord> &records = contents.records;
    // Each topic's place in the tree joins its record.
    Q_ASSERT(records.size() == outline.places.size());
    int floatingTopics = 0;
    for (size_t i = 0; i < std::min(records.size(), outline.places.size()); ++i) {
        records[i].subTopics = std::move(outline.places[i].subTopics);
        records[i].floatingTopics = std::move(outline.places[i].floatingTopics);
        floatingTopics += int(records[i].floatingTopics.size());
    }

    // Tasks, resources and comments are dated in the machine's zone, read
    // once for the whole map.
    const SystemTimeZoneScope zone;
    ImportContext ctx{map};
    ctx.document = map.document();
    ctx.pictures = &pictures;
    ctx.sizesBranchesOnce = source.sizesBranchesOnce;
    map.setOrderingMode(1);
    map.setGraphicColoringMode(2);
    map.setTextMaxWidth(100.0f);
    levelDefaults ld;
    const auto styleGroup = std::dynamic_pointer_cast<apStyleGroup>(parts.styleGroup);
    if (styleGroup)
        registerStyleGroup(map, *styleGroup, ld, ctx);
    if (pastBudget())
        return false;

    map.setLayoutAssistanceMode(1);
    const int hideLevelBefore = map.branchHideLevel();
    const int levelBefore = map.root() ? map.root()->getMaximumBranchLevel() : 0;
    if (map.root() && !records.empty()) {
        ctx.branchesByOid.reserve(qsizetype(records.size()));
        LabelsAhead labels = prepareLabels(records, map.root()->getThisBranchLevel(), map, ctx);
        // A branch is sized several times as it is converted: its
        // connection is shaped once, for its final ends.
        const TWConnectionGraphic::Batch connections;
        labels.need(0);
        buildTopic(records, 0, *map.root(), 0, ctx, labels);
    }
    records.clear();
    resolveTopicLinks(ctx);
    if (const std::shared_ptr<TWMapBranch> &r = map.root()) {
        announceHideLevel(map, "will");
        const int deepest = r->getMaximumBranchLevel();
        if (levelBefore == hideLevelBefore || map.branchHideLevel() < deepest)
            map.setBranchHideLevel(deepest);
        announceHideLevel(map, "did");
    }
    map.setLayoutAssistanceMode(3);
    if (styleGroup) {
        if (const MMObjectPtr structure = styleGroup->child("structure")) {
            map.setLayoutAssistanceMode(structure->boolValue("useAutoLayout") ? 2 : 1);
            map.setShowCollapseSign(!structure->boolValue("hideCollapseSign"));
        } else {
            map.setLayoutAssistanceMode(2);
            map.setShowCollapseSign(false);
        }
    }

    if (parts.relationships) {
        const MMObjectPtr defaults =
            styleGroup ? styleGroup->child("relationshipDefaultsGroup") : nullptr;
        std::vector<PendingCurve> curves;
        for (const MMObjectPtr &relationship : parts.relationships->children("relationships")) {
            if (std::optional<PendingCurve> curve =
                    addRelationship(map, *relationship, defaults, ctx))
                curves.push_back(std::move(*curve));
            else if (endsAtOneOf(*relationship, outline.backgroundOids))
                ++outline.leftOut.relationshipsToLeftOut;
        }
        // A curve stands where the file put it relative to its topics as
        // they are finally laid out, not where they stand while made.
        if (!curves.empty()) {
            TWMapLayout::autoArrange(map);
            for (const PendingCurve &curve : curves)
                placeCurve(curve);
        }
    }

    if (parts.documentGroup && ctx.document) {
        const MMObjectPtr &group = parts.documentGroup;
        ctx.document->setCreator(childString(group, "creator", "userName"));
        const MMObjectPtr stamps = group->child("dateTimeStamps");
        ctx.document->setCreationDate(
            calendarDate(stamps ? stamps->date("created") : std::nullopt));
        ctx.document->setLastSaveDate(
            calendarDate(stamps ? stamps->date("lastModified") : std::nullopt));
        ctx.document->setComments(childString(group, "description", "comments"));
    }
    map.removeAllGraphicOrderCache();
    if (leftOut) {
        *leftOut = outline.leftOut;
        leftOut->notePictures = contents.notePictures;
        leftOut->floatingTopics = floatingTopics;
        leftOut->undeclaredEntities = failure.undeclaredEntities;
    }
    return true;
}

TWGraphic *mmImpExpController::mainGraphicForBranchWithOID(const QString &oid, TWMapBranch *branch)
{
    if (!branch)
        return nullptr;
    if (branch->mmOid() == oid)
        return branch->mainGraphic().get();
    for (const std::shared_ptr<TWMapBranch> &child : branch->children()) {
        if (TWGraphic *found = mainGraphicForBranchWithOID(oid, child.get()))
            return found;
    }
    return nullptr;
}

QString MMLeftOut::message() const
{
    QStringList parts;
    const auto count = [&parts](int n, const char *one, const char *many) {
        if (n > 0)
            parts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    count(attachments, "attachment", "attachments");
    count(tags, "tag", "tags");
    count(backgroundObjects, "background object", "background objects");
    count(relationshipsToLeftOut, backgroundObjects ? "relationship to them" : "relationship",
          backgroundObjects ? "relationships to them" : "relationships");
    count(notePictures, "picture in notes", "pictures in notes");
    QStringList sentences;
    if (!parts.isEmpty()) {
        const int total =
            attachments + tags + backgroundObjects + relationshipsToLeftOut + notePictures;
        QString list = parts.takeLast();
        if (!parts.isEmpty())
            list = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + list;
        sentences << QStringLiteral("%1 %2 not imported: this map has no place for them.")
                         .arg(list, total == 1 ? QStringLiteral("was") : QStringLiteral("were"));
    }
    if (floatingTopics > 0)
        sentences << (floatingTopics == 1
                          ? QStringLiteral("1 floating topic became a branch of the topic it "
                                           "floated beside.")
                          : QStringLiteral("%1 floating topics became branches of the topics "
                                           "they floated beside.")
                                .arg(floatingTopics));
    if (undeclaredEntities > 0)
        sentences << (undeclaredEntities == 1
                          ? QStringLiteral("1 reference to an entity the file does not declare "
                                           "was left out: its document type is not read.")
                          : QStringLiteral("%1 references to entities the file does not declare "
                                           "were left out: its document type is not read.")
                                .arg(undeclaredEntities));
    if (forbiddenCharactersKept + forbiddenCharactersLeftOut > 0)
        sentences << MMXMLCharacters::notice(fileName, forbiddenCharactersKept,
                                             forbiddenCharactersLeftOut);
    return sentences.join(u' ');
}
