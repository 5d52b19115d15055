#include "MindManagerImpExp/mmImpExpController.h"

#include "MindManagerImpExp/MMArchiveStream.h"
#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "MindManagerImpExp/XMLTree.h"
#include "MindManagerImpExp/apContentElements.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/apStyleElements.h"
#include "MindManagerImpExp/levelDefaults.h"
#include "MindManagerImpExp/mmAdornments.h"
#include "MindManagerImpExp/mmTables.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "model/TWResource.h"
#include "model/TWTrackedChange.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/TWPreferences.h"
#include "platform/UndoManager.h"
#include "support/CalendarDate.h"
#include "support/TimeZone.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <vector>

namespace {

using mmTables::pointsFromMillimetres;

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

// --- what the first pass finds ---

struct MapParts
{
    bool isMap = false;
    bool hasOneTopic = false;
    bool hasTopic = false;
    MMObjectPtr styleGroup;
    MMObjectPtr relationships;
    MMObjectPtr documentGroup;
};

// --- the conversion of topics ---

struct Placement
{
    TWMapBranch *branch = nullptr;
    float cx = 0;
    float cy = 0;
};

struct ImportContext
{
    TWMap &map;
    TWMapsDoc *document = nullptr;
    const levelDefaults *defaults = nullptr;
    MMObjectPtr boundaryDefaults;
    mmConverter::MemberReader members;
    QHash<QString, TWMapBranch *> branchesByOid;
    // Topics with an offset, in the order of their start tags.
    std::vector<std::optional<Placement>> placements;
};

const MMChildSpec *topicChildSpec(const QByteArray &element)
{
    static const QHash<QByteArray, const MMChildSpec *> specs = [] {
        QHash<QByteArray, const MMChildSpec *> s;
        for (const MMChildSpec &spec : apTopic::staticClass().children)
            s.insert(QByteArray(spec.element), &spec);
        return s;
    }();
    return specs.value(element);
}

std::optional<QString> childString(const MMObjectPtr &object, const char *child, const char *field)
{
    if (!object)
        return std::nullopt;
    const MMObjectPtr c = object->child(child);
    return c ? c->string(field) : std::nullopt;
}

std::optional<CalendarDate> calendarDate(const std::optional<QDateTime> &date)
{
    if (!date)
        return std::nullopt;
    return CalendarDate(*date, TimeZone::systemTimeZone());
}

void convertBoundary(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx)
{
    const MMObjectPtr one = topic.child("oneBoundary");
    const MMObjectPtr boundary = one ? one->child("boundary") : nullptr;
    if (!boundary) {
        branch.setHasBoundary(false);
        return;
    }
    const MMObjectPtr defaults = ctx.boundaryDefaults;
    branch.publicSetHasBoundary(true);
    if (const MMObjectPtr color = boundary->child("color")) {
        if (std::optional<Color> fill = mmConverter::colorFromString(color->string("fillColor"))) {
            branch.setBoundaryFillColor(fill);
            branch.setBoundaryDrawsFill(true);
        }
        if (std::optional<Color> line = mmConverter::colorFromString(color->string("lineColor")))
            branch.setBoundaryLineColor(line);
    }
    const MMObjectPtr defaultLine = defaults ? defaults->child("defaultLineStyle") : nullptr;
    MMObjectPtr lineStyle = boundary->child("lineStyle");
    if (!lineStyle)
        lineStyle = defaultLine;
    if (lineStyle) {
        std::optional<QString> dash = lineStyle->string("lineDashStyle");
        if (!dash && defaultLine)
            dash = defaultLine->string("lineDashStyle");
        if (std::optional<int> code = mmTables::lookup(mmTables::kDashStyles, dash))
            branch.setBoundaryLineStyle(*code);
        std::optional<float> width = lineStyle->floatNumber("lineWidth");
        if (!width && defaultLine)
            width = defaultLine->floatNumber("lineWidth");
        // Boundary line widths are points in the file, as the export writes them.
        if (width)
            branch.setBoundaryLineWidth(*width);
    }
    const MMObjectPtr defaultShape = defaults ? defaults->child("defaultBoundaryShape") : nullptr;
    MMObjectPtr shape = boundary->child("boundaryShape");
    if (!shape)
        shape = defaultShape;
    if (!shape)
        return;
    std::optional<QString> urn = shape->string("boundaryShape");
    if (!urn && defaultShape)
        urn = defaultShape->string("boundaryShape");
    if (std::optional<int> code = mmTables::lookup(mmTables::kBoundaryShapes, urn))
        branch.setBoundaryCornerStyle(*code);
    std::optional<float> margin = shape->floatNumber("margin");
    if (!margin && defaultShape)
        margin = defaultShape->floatNumber("margin");
    // Margins are millimetres like every other length of the file.
    if (margin)
        branch.setBoundaryMargin(pointsFromMillimetres(*margin));
}

void convertPicture(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx)
{
    const MMObjectPtr one = topic.child("oneImage");
    const MMObjectPtr image = one ? one->child("image") : nullptr;
    if (!image)
        return;
    std::optional<Image> picture =
        mmConverter::imageFromImageData(image->child("imageData").get(), ctx.members);
    if (!picture)
        return;
    if (const MMObjectPtr size = image->child("imageSize")) {
        Size s = picture->size();
        if (std::optional<float> w = size->floatNumber("width"))
            s.width = pointsFromMillimetres(*w);
        if (std::optional<float> h = size->floatNumber("height"))
            s.height = pointsFromMillimetres(*h);
        picture->setScalesWhenResized(true);
        picture->setSize(s);
    }
    branch.publicSetEnclosedImageFromImage(&*picture);
}

std::shared_ptr<TWImage> iconGraphic(TWMapBranch &branch)
{
    auto graphic = TWGraphic::make<TWImage>(Rect(0, 0, 16, 16));
    graphic->setBranch(&branch);
    graphic->setDrawsStroke(false);
    graphic->setStrokeWidth(0);
    graphic->setStrokeStyle(8);
    graphic->setStrokeColor(std::nullopt);
    graphic->setDrawsFill(false);
    graphic->setFillColor(std::nullopt);
    graphic->setInheritsShadow(true);
    graphic->setDrawsShadow(false);
    graphic->setInheritsFill(true);
    graphic->setInheritsStroke(true);
    graphic->setCornerMode(0);
    graphic->setCornerAmount(10.0f);
    return graphic;
}

void convertIcons(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx)
{
    const MMObjectPtr group = topic.child("iconsGroup");
    const MMObjectPtr icons = group ? group->child("icons") : nullptr;
    if (!icons)
        return;
    const MMObjectList customData = group->children("customIconImageData");
    int position = 0;
    int customCount = 0;
    for (const MMObjectPtr &icon : icons->children("icons")) {
        const int index = position++;
        if (const std::optional<QString> type = icon->string("iconType")) {
            // Unknown urns are skipped like a missing picture.
            const std::optional<QString> path = mmTables::stockIconPath(type);
            const std::optional<QByteArray> bytes =
                path ? mmAdornments::pictureData(*path) : std::nullopt;
            if (!bytes)
                continue;
            const QString packagePath = QStringLiteral("Images/Adornments") + *path;
            auto graphic = iconGraphic(branch);
            if (ctx.document)
                ctx.document->setObjectInCachedData(*bytes, packagePath);
            graphic->setImageFilename(packagePath);
            branch.insertObjectInOtherEnclosedGraphicsAtIndex(
                std::make_shared<TWEnclosedGraphic>(
                    *type, QLatin1String(mmAdornments::Folder) + *path, graphic),
                branch.countOfOtherEnclosedGraphics());
            continue;
        }
        const std::optional<QString> signature = icon->string("iconSignature");
        if (!signature)
            continue;
        MMObjectPtr data;
        for (const MMObjectPtr &candidate : customData) {
            if (candidate->string("iconSignature") == signature) {
                data = candidate;
                break;
            }
        }
        std::optional<Image> picture = mmConverter::imageFromImageData(data.get(), ctx.members);
        if (!picture)
            continue;
        // A branch's later custom icons carry their position, so that
        // each keeps a picture of its own.
        const QString packagePath =
            customCount++ == 0
                ? QStringLiteral("Images/CustomAdornments/Branch%1/ExtractedImage.tiff")
                      .arg(branch.branchNumber())
                : QStringLiteral("Images/CustomAdornments/Branch%1/ExtractedImage%2.tiff")
                      .arg(branch.branchNumber())
                      .arg(index);
        auto graphic = iconGraphic(branch);
        if (ctx.document)
            ctx.document->setObjectInCachedData(picture->TIFFRepresentation(), packagePath);
        graphic->setImageFilename(packagePath);
        branch.insertObjectInOtherEnclosedGraphicsAtIndex(
            std::make_shared<TWEnclosedGraphic>(QString(), QString(), graphic),
            branch.countOfOtherEnclosedGraphics());
    }
}

QString decodeMailPart(QString part)
{
    for (const auto &[sequence, character] : mmTables::kMailEscapes)
        part.replace(QLatin1String(sequence), QString(QLatin1Char(character)));
    return part;
}

void convertHyperlink(const apTopic &topic, TWMapBranch &branch)
{
    const MMObjectPtr link = topic.child("hyperlink");
    if (!link)
        return;
    const std::optional<QString> url = link->string("url");
    int type = mmTables::FileLink;
    std::optional<QString> target = url;
    std::optional<QString> arg1;
    std::optional<QString> arg2;
    if (url && url->startsWith(QLatin1String("mailto:"))) {
        type = mmTables::MailLink;
        const QStringList pieces = url->mid(7).split(u'?');
        target = pieces.first();
        if (pieces.size() > 1) {
            const QStringList parts = pieces.at(1).split(u'&');
            arg1 = decodeMailPart(parts.first());
            if (parts.size() > 1)
                arg2 = decodeMailPart(parts.at(1));
        }
    } else if (url) {
        const bool web =
            url->startsWith(QLatin1String("http://")) || url->startsWith(QLatin1String("ftp://"));
        const bool map = url->endsWith(QLatin1String(".tweb"));
        type = web ? (map ? mmTables::WebMapLink : mmTables::WebLink)
                   : (map ? mmTables::MapFileLink : mmTables::FileLink);
    }
    branch.publicAddHyperlinkWithLinkType(type, target, arg1, arg2, std::nullopt, std::nullopt,
                                          std::nullopt, 0);
}

void convertTask(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx)
{
    const MMObjectPtr task = topic.child("task");
    if (!task)
        return;
    const std::optional<QString> priority = task->string("taskPriority");
    if (priority && !priority->isEmpty() && priority->back().isDigit())
        branch.setPriority(priority->back().digitValue());
    const std::optional<int> hours = task->intNumber("durationHours");
    const std::optional<QString> unit = task->string("durationUnit");
    if (hours && unit && !unit->isEmpty()) {
        for (const mmTables::DurationUnit &row : mmTables::kDurationUnits) {
            if (*unit == mmTables::urn(row.name)) {
                branch.setDuration(float(double(quint32(*hours)) / row.hours));
                branch.setDurationUnits(row.unit);
                break;
            }
        }
    }
    branch.setStartDate(calendarDate(task->date("startDate")));
    branch.setEndDate(calendarDate(task->date("deadlineDate")));
    if (const std::optional<int> percentage = task->intNumber("taskPercentage"))
        branch.setPercentageComplete(float(*percentage));
    const std::optional<QString> resources = task->string("resources");
    if (!resources || resources->isEmpty() || !ctx.document)
        return;
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    for (const QString &piece : resources->split(separators)) {
        const QString name = piece.simplified();
        if (name.isEmpty())
            continue;
        auto resource = std::make_shared<TWResource>(name, branch.undoManager());
        ctx.document->insertObjectInResourcesAtIndex(resource,
                                                     int(ctx.document->resources().size()));
        if (const std::optional<QString> id = resource->resourceIdentifier())
            branch.insertObjectInResourcesAllocatedAtIndex(*id,
                                                           int(branch.resourcesAllocated().size()));
    }
}

void convertComments(const apTopic &topic, TWMapBranch &branch)
{
    const MMObjectPtr comments = topic.child("comments");
    if (!comments)
        return;
    int i = 0;
    for (const MMObjectPtr &comment : comments->children("comments")) {
        const TWPerson person(comment->string("authorName"), std::nullopt, std::nullopt,
                              std::nullopt, comment->string("authorEmail"));
        const AttributedString text(comment->string("text").value_or(QString()));
        branch.insertObjectInTrackedChangesAtIndex(
            std::make_shared<TWTrackedChange>(person, calendarDate(comment->date("dateTime")),
                                              text),
            i++);
    }
}

void convertShapeAndSize(const apTopic &topic, TWMapBranch &branch, int type, int level,
                         ImportContext &ctx, int placementSlot)
{
    const levelDefaults *ld = ctx.defaults;
    // Shape.
    int shapeType;
    int corner;
    if (const MMObjectPtr shape = topic.child("subTopicShape")) {
        const std::optional<QString> urn = shape->string("subTopicShape");
        shapeType = mmConverter::graphicShapeFromMMShapeString(urn);
        corner = mmConverter::cornerModeFromMMShapeString(urn);
    } else {
        shapeType = ld ? ld->branchShapeOfType(type, level) : 0;
        corner = ld ? ld->cornerModeOfType(type, level) : 0;
    }
    // Without any style a branch falls back to a line.
    if (shapeType == 0)
        shapeType = 1;
    branch.publicChangeToBranchType(shapeType);
    if (branch.mainGraphic())
        branch.mainGraphic()->setCornerMode(corner);

    // Size and position.
    const std::shared_ptr<TWTextArea> &textArea = branch.enclosedTextArea();
    const MMObjectPtr offset = topic.child("offset");
    const MMObjectPtr layout = topic.child("topicLayout");
    constexpr float defaultWrap = 141.73228f; // 50 mm
    bool place = false;
    if (!layout) {
        if (textArea) {
            const float wrap =
                textArea->text().isEmpty() ? defaultWrap : textArea->bounds().width();
            branch.updateBranchSizeForTextChangeToSize(textArea->requiredSizeForWidth(wrap), true);
        }
        place = bool(offset);
    } else {
        int position;
        if (const std::optional<QString> p = layout->string("topicTextAndImagePosition"))
            position = mmTables::lookup(mmTables::kTextPositions, p)
                           .value_or(mmTables::kTextPositionOther);
        else
            position = ld ? ld->branchAndImagePositionOfType(type, level) : 0;
        branch.publicSetTextRelativePosition(position);
        // Width in points: the topic's own, else the level's, else none.
        float width = pointsFromMillimetres(layout->floatNumber("width").value_or(0));
        if (width == 0) {
            const float levelWidth = ld ? ld->branchWidthOfType(type, level) : -1.0f;
            width = levelWidth == -1.0f ? -1.0f : levelWidth * 2.8346457f;
        }
        if (width == 0 && textArea)
            branch.resizeForTextAreaConstrainedToWidth(textArea->bounds().width());
        else
            branch.resizeForTextAreaConstrainedToWidth(width > 0 ? width : defaultWrap);
        place = level == 1 && offset;
    }
    if (place) {
        ctx.placements[placementSlot] =
            Placement{&branch, pointsFromMillimetres(offset->floatNumber("CX").value_or(0)),
                      -pointsFromMillimetres(offset->floatNumber("CY").value_or(0))};
    }
}

// A new last child of the branch, made as the editor makes one, but left
// where it is made and in file order: the import is arranged as a whole
// afterwards, and the map's hide level is brought up to date once at the end
// rather than by walking the tree for every branch.
std::shared_ptr<TWMapBranch> importChild(TWMapBranch &parent, int type, TWMap &map)
{
    const Rect b = parent.branchBounds();
    const std::shared_ptr<TWGraphic> shape =
        TWMapBranch::makeMainGraphicOfType(type, Rect(b.maxX() + 50, b.maxY(), 80, 40));
    if (!shape) {
        qWarning("Couldn't create branch of type %d", type);
        return nullptr;
    }
    parent.setChildrenHidden(false);
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

// Steps that need the topic's own elements, run once they are all read.
void convertTopic(const apTopic &topic, const std::optional<AttributedString> &notes,
                  TWMapBranch &branch, int type, int level, ImportContext &ctx, int placementSlot)
{
    const levelDefaults *ld = ctx.defaults;
    convertBoundary(topic, branch, ctx);
    convertPicture(topic, branch, ctx);

    // Text.
    std::optional<AttributedString> text;
    if (const MMObjectPtr t = topic.child("text")) {
        const MMObjectPtr fallback = ld ? ld->branchApTextOfType(type, level) : nullptr;
        text = mmConverter::attributedStringFromText(t.get(), fallback.get());
    } else if (ld) {
        text = ld->branchTextOfType(type, level);
    }
    if (text && branch.enclosedTextArea()) {
        branch.enclosedTextArea()->setText(*text);
        branch.makeNaturalSize();
    }

    // Colours of the shape.
    const MMObjectPtr color = topic.child("color");
    std::optional<Color> fill =
        color ? mmConverter::colorFromString(color->string("fillColor")) : std::nullopt;
    std::optional<Color> line =
        color ? mmConverter::colorFromString(color->string("lineColor")) : std::nullopt;
    if (!fill && ld)
        fill = ld->branchColorOfType(type, level);
    if (!line && ld)
        line = ld->lineColorOfType(type, level);
    if (const std::shared_ptr<TWGraphic> &graphic = branch.mainGraphic()) {
        if (fill) {
            graphic->setFillColor(fill);
            graphic->setDrawsFill(true);
            graphic->setInheritsFill(false);
        }
        if (line) {
            graphic->setStrokeColor(line);
            graphic->setDrawsStroke(true);
            graphic->setInheritsStroke(false);
        }
    }

    if (notes) {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch.undoManager());
        branch.insertObjectInAttachedTextArrayAtIndex(attached, 0);
        attached->setText(std::make_shared<const AttributedString>(*notes));
    }

    convertIcons(topic, branch, ctx);
    convertShapeAndSize(topic, branch, type, level, ctx, placementSlot);

    if (const MMObjectPtr shape = topic.child("subTopicsShape")) {
        if (std::optional<int> code = mmTables::lookup(mmTables::kChildrenConnectionStyles,
                                                       shape->string("subTopicsConnectionStyle")))
            branch.setChildrenConnectionStyle(*code);
    }
    const MMObjectPtr visibility = topic.child("subTopicsVisibility");
    branch.setChildrenHidden(visibility ? visibility->boolValue("hidden") : false);

    convertHyperlink(topic, branch);
    convertTask(topic, branch, ctx);
    convertComments(topic, branch);

    for (const MMObjectPtr &view : topic.children("topicViewGroups")) {
        if (view->intNumber("viewIndex").value_or(0) != 0)
            continue;
        const MMObjectPtr collapsed = view->child("collapsed");
        if (collapsed && collapsed->boolValue("collapsed"))
            branch.setChildrenHidden(true);
        break;
    }
    branch.setMmOid(topic.string("OId"));
}

std::optional<AttributedString> notesOf(const MMObjectPtr &group)
{
    const MMObjectPtr xhtml = group ? group->child("notesXhtmlData") : nullptr;
    if (!xhtml)
        return std::nullopt;
    const XMLTree html = xhtml->tree("xhtmlTree");
    if (!html.isNull() && !html.childNamed(QStringLiteral("body")).isNull())
        return XHTML::attributedStringWithXHTML(html);
    if (const std::optional<QString> preview = xhtml->string("previewPlainText")) {
        TextAttributes attributes;
        attributes.insert(NSFontAttributeName,
                          QVariant::fromValue(TWPreferences::branchNotesFont()));
        return AttributedString(*preview, attributes);
    }
    return std::nullopt;
}

// The reader stands on an ap:Topic start tag whose branch exists; reads the
// topic and its subtree. False on a stream error.
bool readTopic(xmlTextReaderPtr reader, TWMapBranch &branch, int type, ImportContext &ctx)
{
    const int level = branch.getThisBranchLevel();
    const int depth = xmlTextReaderDepth(reader);
    auto topic =
        std::dynamic_pointer_cast<apTopic>(MMXMLBaseObject::create(apTopic::staticClass()));
    const std::optional<QString> oid = attributeOf(reader, "OId");
    topic->setString("OId", oid);
    if (oid && !ctx.branchesByOid.contains(*oid))
        ctx.branchesByOid.insert(*oid, &branch);
    const int slot = int(ctx.placements.size());
    ctx.placements.emplace_back();
    std::optional<AttributedString> notes;

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
                    const std::shared_ptr<TWMapBranch> child = importChild(
                        branch, ctx.document ? ctx.document->graphicClassIdentifier() : 2, ctx.map);
                    // A refused child leaves its subtree out.
                    if (child && !readTopic(reader, *child, sub ? 0 : 3, ctx))
                        return false;
                }
                if (!ok)
                    return false;
                continue;
            }
            const MMChildSpec *spec = topicChildSpec(name);
            if (!spec)
                continue;
            const MMObjectPtr element = expand(reader, spec->elementClass());
            if (!element)
                continue;
            // Notes are converted while their tree is in memory.
            if (name == "ap:NotesGroup") {
                notes = notesOf(element);
                continue;
            }
            if (spec->many)
                topic->addChild(spec->field, element);
            else if (!topic->child(spec->field))
                topic->setChild(spec->field, element);
        }
        if (!ok)
            return false;
    }
    convertTopic(*topic, notes, branch, type, level, ctx, slot);
    return true;
}

// --- the passes ---

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

PassResult firstPass(xmlTextReaderPtr reader, MapParts &parts)
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
                if (nameOf(reader) == "ap:Topic")
                    parts.hasTopic = true;
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
    // The stream must read to its end: a damaged file is refused whole.
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
    {
        QString error;
        Reader reader = openReader(source, &error);
        if (!reader)
            return failedToLoad();
        switch (firstPass(reader.get(), parts)) {
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
    {
        QString error;
        Reader reader = openReader(source, &error);
        bool ok = reader && toRoot(reader.get());
        bool first = true;
        bool found = false;
        while (ok && !found && nextChildElement(reader.get(), 0, ok, first)) {
            if (nameOf(reader.get()) != "ap:OneTopic")
                continue;
            bool inner = true;
            while (!found && nextChildElement(reader.get(), 1, ok, inner)) {
                if (nameOf(reader.get()) != "ap:Topic")
                    continue;
                found = true;
                if (map.root())
                    ok = readTopic(reader.get(), *map.root(), 0, ctx);
            }
        }
        // The map keeps what was built before the stream broke.
        if (!ok || !found) {
            failedToLoad();
            return false;
        }
    }
    if (const std::shared_ptr<TWMapBranch> &r = map.root()) {
        announceHideLevel(map, "will");
        const int deepest = r->getMaximumBranchLevel();
        if (levelBefore == hideLevelBefore || map.branchHideLevel() < deepest)
            map.setBranchHideLevel(deepest);
        announceHideLevel(map, "did");
    }
    // Offsets are applied parent first, once every branch has its size.
    const std::shared_ptr<TWMapBranch> &root = map.root();
    for (const std::optional<Placement> &p : ctx.placements) {
        if (!p || !root || !root->mainGraphic() || !p->branch->mainGraphic())
            continue;
        const Rect r = root->mainGraphic()->bounds();
        const Rect b = p->branch->mainGraphic()->bounds();
        const float dx = p->cx > 0 ? r.x() + r.width() / 2 + p->cx - b.x()
                                   : r.x() + r.width() / 2 + p->cx - b.width() - b.x();
        const float dy = r.y() + r.height() / 2 + p->cy - b.y();
        p->branch->moveBranchBy(dx, dy, true);
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
