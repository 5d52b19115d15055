#include "MindManagerImpExp/mmImpExpController.h"

#include "MindManagerImpExp/mmImpExpController_Private.h"

#include "MindManagerImpExp/MMArchiveStream.h"
#include "MindManagerImpExp/XMLTree.h"
#include "MindManagerImpExp/apContentElements.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/apStyleElements.h"
#include "MindManagerImpExp/levelDefaults.h"
#include "MindManagerImpExp/mmTables.h"
#include "drawing/TWTextLayout.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "model/TWNewBranchLabel.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "support/CalendarDate.h"
#include "support/SystemTimeZoneScope.h"
#include "support/TimeZone.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtConcurrent/QtConcurrentMap>
#include <vector>
namespace {

using namespace mmImport;

void refuse(const QString &message)
{
    Alerts::current().runAlertPanel(QStringLiteral("Mind Manager import error"), message,
                                    {QStringLiteral("OK")});
}

// --- the pull reader ---

struct ReaderDeleter
{
    void operator()(xmlTextReader *reader) const { xmlFreeTextReader(reader); }
};
using Reader = std::unique_ptr<xmlTextReader, ReaderDeleter>;

// libxml2 reports through its own handlers; the import reports through alerts.
void ignoreError(void *, const char *, xmlParserSeverities, xmlTextReaderLocatorPtr) {}

QByteArray nameOf(xmlTextReaderPtr reader)
{
    const xmlChar *name = xmlTextReaderConstName(reader);
    return name ? QByteArray(reinterpret_cast<const char *>(name)) : QByteArray();
}

std::optional<QString> attributeOf(xmlTextReaderPtr reader, const char *name)
{
    xmlChar *value = xmlTextReaderGetAttribute(reader, BAD_CAST name);
    if (!value)
        return std::nullopt;
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return text;
}

// Moves to the next element at `depth` + 1 below the element the reader
// stood on at `depth`; false at that element's end or on an error (`ok`).
bool nextChildElement(xmlTextReaderPtr reader, int depth, bool &ok, bool &first)
{
    for (;;) {
        // The first move goes into the element; later ones skip the
        // subtree of the child the caller left.
        int status;
        if (first) {
            first = false;
            status = xmlTextReaderRead(reader);
        } else if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT &&
                   xmlTextReaderDepth(reader) == depth + 1) {
            status = xmlTextReaderNext(reader);
        } else {
            status = xmlTextReaderRead(reader);
        }
        if (status != 1) {
            ok = status == 0;
            return false;
        }
        const int type = xmlTextReaderNodeType(reader);
        const int d = xmlTextReaderDepth(reader);
        if (d <= depth)
            return false;
        if (type == XML_READER_TYPE_ELEMENT && d == depth + 1)
            return true;
    }
}

// The element the reader stands on as an element object of the class.
MMObjectPtr expand(xmlTextReaderPtr reader, const MMElementClass &cls)
{
    xmlNodePtr node = xmlTextReaderExpand(reader);
    if (!node)
        return nullptr;
    return MMXMLBaseObject::initWithXMLTree(cls, XMLTree::initWithNode(node));
}

// --- what the pass finds ---

struct MapParts
{
    bool isMap = false;
    bool hasOneTopic = false;
    bool hasTopic = false;
    MMObjectPtr styleGroup;
    MMObjectPtr relationships;
    MMObjectPtr documentGroup;
};

// The topic's own elements the conversion reads; others (ink, bookmarks,
// spelling options, the shapes of callouts and labels) are passed over
// unread.
const MMChildSpec *topicChildSpec(const QByteArray &element)
{
    static const QHash<QByteArray, const MMChildSpec *> childKinds = [] {
        static const char *const unread[] = {"ap:LabelFloatingTopicShape",
                                             "ap:CalloutFloatingTopicShape",
                                             "ap:Bookmark",
                                             "ap:SpellingOptions",
                                             "ap:InkGroup",
                                             "ap:OneInkSketch"};
        QHash<QByteArray, const MMChildSpec *> s;
        for (const MMChildSpec &childDesc : apTopic::staticClass().children)
            s.insert(QByteArray(childDesc.element), &childDesc);
        for (const char *name : unread)
            s.remove(name);
        return s;
    }();
    return childKinds.value(element);
}

// The branch starts with `label` where it is given: a flexi shape lays out
// its points for the label it is made with, so it starts as any new branch.
std::shared_ptr<TWMapBranch> importChild(TWMapBranch &parent, int type, TWMap &map,
                                         const std::optional<AttributedString> &label)
{
    const Rect b = parent.branchBounds();
    const std::shared_ptr<TWGraphic> shape =
        TWMapBranch::makeMainGraphicOfType(type, Rect(b.maxX() + 50, b.maxY(), 80, 40));
    if (!shape) {
        qWarning("Couldn't create branch of type %d", type);
        return nullptr;
    }
    const TWNewBranchLabelScope start(type != 5 && label ? &*label : nullptr);
    const std::shared_ptr<TWMapBranch> added = TWMapBranch::createWithGraphic(shape, &parent, &map);
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

// The reader stands on an ap:Topic start tag: the topic and its subtree
// become records, in the order of their start tags. The record's index, or
// -1 on a stream error.
int readTopic(xmlTextReaderPtr reader, std::vector<TopicRecord> &records,
              const mmConverter::MemberReader &members)
{
    const int index = int(records.size());
    records.emplace_back();
    const int depth = xmlTextReaderDepth(reader);
    auto topic =
        std::dynamic_pointer_cast<apTopic>(MMXMLBaseObject::create(apTopic::staticClass()));
    topic->setString("OId", attributeOf(reader, "OId"));
    std::optional<AttributedString> notes;
    TopicPictures pictures;

    if (!xmlTextReaderIsEmptyElement(reader)) {
        bool ok = true;
        bool first = true;
        while (nextChildElement(reader, depth, ok, first)) {
            const QByteArray name = nameOf(reader);
            const bool sub = name == "ap:SubTopics";
            if (sub || name == "ap:FloatingTopics") {
                if (xmlTextReaderIsEmptyElement(reader))
                    continue;
                const int listDepth = xmlTextReaderDepth(reader);
                bool listFirst = true;
                while (nextChildElement(reader, listDepth, ok, listFirst)) {
                    if (nameOf(reader) != "ap:Topic")
                        continue;
                    const int child = readTopic(reader, records, members);
                    if (child < 0)
                        return -1;
                    (sub ? records[index].subTopics : records[index].floatingTopics)
                        .push_back(child);
                }
                if (!ok)
                    return -1;
                continue;
            }
            const MMChildSpec *childDesc = topicChildSpec(name);
            if (!childDesc)
                continue;
            const MMObjectPtr element = expand(reader, childDesc->elementClass());
            if (!element)
                continue;
            // Notes and pictures are converted while their elements are in
            // memory; the record keeps the results, not the XML's text.
            if (name == "ap:NotesGroup") {
                notes = notesOf(element);
                continue;
            }
            if (name == "ap:OneImage") {
                const MMObjectPtr image = element->child("image");
                const MMObjectPtr data = image ? image->child("imageData") : nullptr;
                pictures.picture = mmConverter::imageFromImageData(data.get(), members);
                if (data)
                    data->setChild("data", nullptr);
            } else if (name == "ap:IconsGroup") {
                for (const MMObjectPtr &data : element->children("customIconImageData"))
                    pictures.customIcons.append(
                        {data->string("iconSignature").value_or(QString()),
                         mmConverter::imageFromImageData(data.get(), members)});
                element->setChildren("customIconImageData", {});
            }
            if (childDesc->many)
                topic->addChild(childDesc->field, element);
            else if (!topic->child(childDesc->field))
                topic->setChild(childDesc->field, element);
        }
        if (!ok)
            return -1;
    }
    records[index].topic = std::move(topic);
    records[index].notes = std::move(notes);
    records[index].pictures = std::move(pictures);
    return index;
}

// Converts the record into the branch, then makes and converts its
// children: sub-topics first, floating topics after them. Each record is
// let go once converted.
void buildTopic(std::vector<TopicRecord> &records, int index, TWMapBranch &branch, int type,
                ImportContext &ctx)
{
    TopicRecord record = std::move(records[index]);
    if (!record.topic)
        return;
    if (const std::optional<QString> oid = record.topic->string("OId");
        oid && !ctx.branchesByOid.contains(*oid))
        ctx.branchesByOid.insert(*oid, &branch);
    convertTopic(*record.topic, record.notes, record.pictures, record.label, branch, type,
                 branch.getThisBranchLevel(), ctx);
    record =
        TopicRecord{{}, {}, {}, {}, std::move(record.subTopics), std::move(record.floatingTopics)};
    const int childType = ctx.document ? ctx.document->graphicClassIdentifier() : 2;
    for (const auto &[list, kind] :
         {std::pair{&record.subTopics, 0}, std::pair{&record.floatingTopics, 3}}) {
        for (const int child : *list) {
            // A refused child leaves its subtree out.
            if (const std::shared_ptr<TWMapBranch> made =
                    importChild(branch, childType, ctx.map, records[size_t(child)].label.text))
                buildTopic(records, child, *made, kind, ctx);
        }
    }
}

// Converts every topic's label for the branch it is to become (the root's
// kind and level, then sub-topics 0 and floating topics 3, a level down),
// and starts measuring the labels as the branches will ask: labels are
// measured on worker threads while the branches are made.
std::unique_ptr<TWTextLayout::Prefetch> prepareLabels(std::vector<TopicRecord> &records,
                                                      int rootLevel, const TWMap &map,
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
    if (order.size() < WorthDoingAhead) {
        for (const int index : order)
            convert(index);
        return nullptr;
    }
    // Each conversion reads the topic and the level defaults only, and
    // writes its own record's label.
    QtConcurrent::blockingMap(order.begin(), order.end(),
                              [&convert](int &index) { convert(index); });

    const TWMap::BranchDisplaySettings &settings = map.branchDisplaySettings();
    const float width =
        settings.textMaxWidthSet ? settings.textMaxWidth : TWMapBranch::UnlimitedTextWidth;
    std::vector<TWTextLayout::Request> requests;
    requests.reserve(order.size());
    for (const int index : order) {
        if (const std::optional<AttributedString> &text = records[size_t(index)].label.text)
            requests.push_back(
                {*text, width, TWTextArea::MaximumSize, TWTextArea::DefaultLineFragmentPadding});
    }
    return std::make_unique<TWTextLayout::Prefetch>(std::move(requests));
}

// --- the pass ---

Reader openReader(const MMMapSource &source, QString *error)
{
    Reader reader(source.open ? source.open(error) : nullptr);
    if (reader)
        xmlTextReaderSetErrorHandler(reader.get(), &ignoreError, nullptr);
    return reader;
}

// Moves to the root element. False when the stream has none.
bool toRoot(xmlTextReaderPtr reader)
{
    for (;;) {
        if (xmlTextReaderRead(reader) != 1)
            return false;
        if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT)
            return true;
    }
}

enum class PassResult { Done, NotXML, NotMap };

// The one pass over the file: the map's parts and the topics' records. The
// stream must read to its end: a damaged file is refused before anything
// is built.
PassResult readMap(xmlTextReaderPtr reader, MapParts &parts, std::vector<TopicRecord> &records,
                   const mmConverter::MemberReader &members)
{
    if (!toRoot(reader))
        return PassResult::NotXML;
    if (nameOf(reader) != "ap:Map")
        return PassResult::NotMap;
    parts.isMap = true;
    if (xmlTextReaderIsEmptyElement(reader))
        return PassResult::Done;
    bool ok = true;
    bool first = true;
    while (nextChildElement(reader, 0, ok, first)) {
        const QByteArray name = nameOf(reader);
        if (name == "ap:OneTopic") {
            parts.hasOneTopic = true;
            if (xmlTextReaderIsEmptyElement(reader))
                continue;
            bool inner = true;
            while (nextChildElement(reader, 1, ok, inner)) {
                if (nameOf(reader) != "ap:Topic" || parts.hasTopic)
                    continue;
                parts.hasTopic = true;
                if (readTopic(reader, records, members) < 0) {
                    ok = false;
                    break;
                }
            }
            if (!ok)
                break;
        } else if (name == "ap:StyleGroup" && !parts.styleGroup) {
            parts.styleGroup = expand(reader, apStyleGroup::staticClass());
        } else if (name == "ap:Relationships" && !parts.relationships) {
            parts.relationships = expand(reader, apRelationships::staticClass());
        } else if (name == "ap:DocumentGroup" && !parts.documentGroup) {
            parts.documentGroup = expand(reader, apDocumentGroup::staticClass());
        }
    }
    if (!ok)
        return PassResult::NotXML;
    while (true) {
        const int status = xmlTextReaderRead(reader);
        if (status == 0)
            return PassResult::Done;
        if (status != 1)
            return PassResult::NotXML;
    }
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
                mmConverter::imageFromImageData(image.get(), ctx.members))
            map.setBackgroundImage(std::make_shared<Image>(std::move(*picture)));
    }
    if (const MMObjectPtr visibility = sg.child("visibilityStyle")) {
        if (visibility->boolValue("hideRelationships"))
            map.setShowLinkLines(false);
        map.setShowAttachedGraphics(!visibility->boolValue("hideLabelFloatingTopics"));
    }
}

void addRelationship(TWMap &map, const MMXMLBaseObject &relationship, const MMObjectPtr &defaults,
                     const ImportContext &ctx)
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
    if (const MMObjectPtr style = relationship.child("lineStyle"))
        width = style->floatNumber("lineWidth");
    if (!width && defaults) {
        if (const MMObjectPtr style = defaults->child("defaultLineStyle"))
            width = style->floatNumber("lineWidth");
    }

    const MMObjectList groups = relationship.children("connectionGroups");
    if (groups.size() < 2)
        return;
    TWMapBranch *ends[2] = {nullptr, nullptr};
    MMObjectPtr connections[2];
    for (int i = 0; i < 2; ++i) {
        connections[i] = groups.at(i)->child("connection");
        const std::optional<QString> oid = childString(connections[i], "objectReference", "OIdRef");
        ends[i] = oid ? ctx.branchesByOid.value(*oid) : nullptr;
        if (!ends[i] || !ends[i]->mainGraphic())
            return;
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
    line->updateBounds();
    // Each control point is an offset from the centre of its own end's
    // branch, y up as topic offsets are.
    Point points[2];
    for (int i = 0; i < 2; ++i) {
        const Rect b = ends[i]->branchBounds();
        const float cx = pointsFromMillimetres(
            connections[i] ? connections[i]->floatNumber("CX").value_or(0) : 0);
        const float cy = pointsFromMillimetres(
            connections[i] ? connections[i]->floatNumber("CY").value_or(0) : 0);
        points[i] = Point(b.x() + b.width() / 2 + cx, b.y() + b.height() / 2 - cy);
    }
    line->setIntermediatePoint1(points[0]);
    line->setIntermediatePoint2(points[1]);
}

} // namespace

std::optional<MMMapSource> mmImpExpController::sourceForFile(const QString &path, QString *error)
{
    MMMapSource source;
    source.path = path;
    const int options = XMLTreeDetail::parseOptions();
    if (QFileInfo(path).suffix().compare(u"mmap", Qt::CaseInsensitive) != 0) {
        source.open = [path, options](QString *) {
            return xmlReaderForFile(QFile::encodeName(path).constData(), nullptr, options);
        };
        return source;
    }
    const QString member = QStringLiteral("Document.xml");
    // Checked once before anything is made.
    if (!MMArchiveStream::open(path, member, error))
        return std::nullopt;
    std::shared_ptr<QString> streamError = source.streamError;
    source.open = [path, member, options, streamError](QString *why) -> xmlTextReaderPtr {
        std::unique_ptr<MMArchiveStream> stream = MMArchiveStream::open(path, member, why);
        if (!stream)
            return nullptr;
        struct Context
        {
            std::unique_ptr<MMArchiveStream> stream;
            std::shared_ptr<QString> error;
        };
        auto *context = new Context{std::move(stream), streamError};
        streamError->clear();
        return xmlReaderForIO(
            [](void *c, char *buffer, int len) -> int {
                auto *ctx = static_cast<Context *>(c);
                const qint64 n = ctx->stream->read(buffer, len);
                if (n < 0)
                    *ctx->error = ctx->stream->error();
                return int(n);
            },
            [](void *c) -> int {
                delete static_cast<Context *>(c);
                return 0;
            },
            context, nullptr, nullptr, options);
    };
    source.members = [path](const QString &uri) -> std::optional<QByteArray> {
        QString name = uri;
        if (name.startsWith(QLatin1String("mmarch://")))
            name = name.mid(9);
        while (name.startsWith(u'/'))
            name.remove(0, 1);
        return MMArchiveStream::readMember(path, name);
    };
    return source;
}

MMMapSource mmImpExpController::sourceForData(const QByteArray &xml, const QString &name)
{
    MMMapSource source;
    source.path = name;
    const int options = XMLTreeDetail::parseOptions();
    auto bytes = std::make_shared<QByteArray>(xml);
    source.open = [bytes, options](QString *) {
        return xmlReaderForMemory(bytes->constData(), int(bytes->size()), nullptr, nullptr,
                                  options);
    };
    return source;
}

bool mmImpExpController::populateDadoZiz(TWMap &map, const QString &path)
{
    QString error;
    const std::optional<MMMapSource> source = sourceForFile(path, &error);
    if (!source) {
        refuse(QStringLiteral("Failed to load XML file: %1 (%2)").arg(path, error));
        return false;
    }
    return populateDadoZiz(map, *source);
}

bool mmImpExpController::populateDadoZiz(TWMap &map, const MMMapSource &source)
{
    const auto failedToLoad = [&source]() {
        QString message = QStringLiteral("Failed to load XML file: %1").arg(source.path);
        if (!source.streamError->isEmpty())
            message += QStringLiteral(" (%1)").arg(*source.streamError);
        refuse(message);
        return false;
    };
    MapParts parts;
    std::vector<TopicRecord> records;
    {
        QString error;
        Reader reader = openReader(source, &error);
        if (!reader)
            return failedToLoad();
        switch (readMap(reader.get(), parts, records, source.members)) {
        case PassResult::NotXML:
            return failedToLoad();
        case PassResult::NotMap:
            refuse(QStringLiteral("%1 is not a MindManager XML Map file").arg(source.path));
            return false;
        case PassResult::Done:
            break;
        }
    }
    if (!parts.hasOneTopic) {
        refuse(QStringLiteral("Error loading Map object - no one topic found"));
        return false;
    }
    if (!parts.hasTopic) {
        refuse(QStringLiteral("Error loading Map object - no topic found"));
        return false;
    }

    // Tasks, resources and comments are dated in the machine's zone, read
    // once for the whole map.
    const SystemTimeZoneScope zone;
    ImportContext ctx{map};
    ctx.document = map.document();
    ctx.members = source.members;
    map.setOrderingMode(1);
    map.setGraphicColoringMode(2);
    map.setTextMaxWidth(100.0f);
    levelDefaults ld;
    const auto styleGroup = std::dynamic_pointer_cast<apStyleGroup>(parts.styleGroup);
    if (styleGroup)
        registerStyleGroup(map, *styleGroup, ld, ctx);

    map.setLayoutAssistanceMode(1);
    const int hideLevelBefore = map.branchHideLevel();
    const int levelBefore = map.root() ? map.root()->getMaximumBranchLevel() : 0;
    if (map.root() && !records.empty()) {
        const std::unique_ptr<TWTextLayout::Prefetch> measuring =
            prepareLabels(records, map.root()->getThisBranchLevel(), map, ctx);
        // A branch is sized several times as it is converted: its
        // connection is shaped once, for its final ends.
        const TWConnectionGraphic::Batch connections;
        buildTopic(records, 0, *map.root(), 0, ctx);
    }
    records.clear();
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
        for (const MMObjectPtr &relationship : parts.relationships->children("relationships"))
            addRelationship(map, *relationship, defaults, ctx);
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
