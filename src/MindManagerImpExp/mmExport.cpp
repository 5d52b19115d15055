#include "MindManagerImpExp/mmExport.h"

#include "MindManagerImpExp/MMNamespaces.h"
#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "MindManagerImpExp/XMLTree.h"
#include "MindManagerImpExp/apContentElements.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/apStyleElements.h"
#include "MindManagerImpExp/apTopicElements.h"
#include "MindManagerImpExp/corElements.h"
#include "MindManagerImpExp/mmAdornments.h"
#include "MindManagerImpExp/mmConverter.h"
#include "MindManagerImpExp/mmTables.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "model/TWPerson.h"
#include "model/TWResource.h"
#include "model/TWTrackedChange.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/Base64.h"
#include "support/FontRegistry.h"
#include "support/NSString+XHTML.h"
#include "support/TWPreferences.h"
#include "support/XMLDocument.h"

#include <QBuffer>
#include <QImage>
#include <utility>
#include <vector>

namespace mmExport {

namespace {

using mmTables::millimetresFromPoints;
using mmTables::urn;

template <typename T> MMObjectPtr make()
{
    return MMXMLBaseObject::create(T::staticClass());
}

std::optional<QString> colorString(const std::optional<Color> &color)
{
    return mmConverter::stringFromColor(color);
}

std::optional<QString> dashStyle(int lineStyle)
{
    static const char *const names[] = {"Solid",    "RoundDot",    "Dash",          "DashDot",
                                        "LongDash", "LongDashDot", "LongDashDotDot"};
    if (lineStyle >= 1 && lineStyle <= 7)
        return urn(names[lineStyle - 1]);
    return std::nullopt;
}

std::optional<QString> arrowShape(int style, bool filled)
{
    switch (style) {
    case 0:
        return urn("NoArrow");
    case 1:
        return urn(filled ? "Arrow" : "OpenArrow");
    case 2:
    case 3:
        return urn("OvalArrow");
    case 4:
        return urn("DiamondArrow");
    default:
        return std::nullopt;
    }
}

QString shapeForGraphic(const TWGraphic &graphic)
{
    const QString kind = graphic.className();
    if (kind == u"TWRectangle") {
        switch (graphic.cornerMode()) {
        case 1:
        case 4:
            return urn("RoundedRectangle");
        case 2:
            return urn("Octagon");
        case 3:
            return urn("Hexagon");
        default:
            return urn("Rectangle");
        }
    }
    if (kind == u"TWCircle")
        return urn("Oval");
    if (kind == u"TWImage" || kind == u"TWCustomBranchShape")
        return urn("Rectangle");
    if (kind == u"TWCloud")
        return urn("RoundedRectangle");
    return urn("Line");
}

QString shapeForBranchType(int type)
{
    switch (type) {
    case 2:
    case 6:
        return urn("RoundedRectangle");
    case 3:
        return urn("Oval");
    case 4:
    case 7:
        return urn("Rectangle");
    default:
        return urn("Line");
    }
}

// The font fields of a run's attributes.
void setFont(MMXMLBaseObject &element, const TextAttributes &attributes)
{
    const Font font = attributes.value(NSFontAttributeName).value<Font>();
    const FontRegistry::Traits traits = FontRegistry::shared().traits(font.fontName());
    element.setValue("bold", bool(traits & FontRegistry::BoldTrait));
    element.setValue("italic", bool(traits & FontRegistry::ItalicTrait));
    element.setValue("underline", attributes.value(NSUnderlineStyleAttributeName).toInt() != 0);
    element.setValue("strikethrough",
                     attributes.value(NSStrikethroughStyleAttributeName).toInt() != 0);
    const QString family = font.familyName();
    element.setString("name", family.isEmpty() ? font.fontName() : family);
    element.setValue("size", float(font.pointSize()));
    const QVariant color = attributes.value(NSForegroundColorAttributeName);
    element.setString("color",
                      colorString(color.isValid() ? color.value<Color>() : Color::blackColor()));
}

MMObjectPtr fontOf(const Font &font)
{
    TextAttributes attributes;
    attributes.insert(NSFontAttributeName, QVariant::fromValue(font));
    MMObjectPtr element = make<apFont>();
    setFont(*element, attributes);
    return element;
}

MMObjectPtr colorElement(const MMElementClass &kind, const std::optional<Color> &fill,
                         const std::optional<Color> &line)
{
    MMObjectPtr color = MMXMLBaseObject::create(kind);
    color->setString("fillColor", colorString(fill));
    color->setString("lineColor", colorString(line));
    return color;
}

MMObjectPtr boundaryOf(const TWMapBranch &branch)
{
    MMObjectPtr boundary = make<apBoundary>();
    // Only the colours drawn go out, as a colour read back is drawn; the
    // line in the colour it is drawn in, its own or the branch's.
    const bool line = branch.boundaryDrawsLine() && branch.boundaryLineStyle() != 8;
    boundary->setChild(
        "color",
        colorElement(apColor::staticClass(),
                     branch.boundaryDrawsFill() ? branch.boundaryFillColor() : std::nullopt,
                     line ? std::optional<Color>(TWBoundaryProxy::lineColorOf(branch))
                          : std::nullopt));
    MMObjectPtr style = make<apLineStyle>();
    style->setString("lineDashStyle", dashStyle(branch.boundaryLineStyle()));
    style->setValue("lineWidth", branch.boundaryLineWidth());
    boundary->setChild("lineStyle", style);
    MMObjectPtr shape = make<apBoundaryShape>();
    const int corner = branch.boundaryCornerStyle();
    shape->setString("boundaryShape", urn(corner == 1   ? "CurvedLine"
                                          : corner == 2 ? "Zigzag"
                                          : corner == 4 ? "Waves"
                                                        : "Lines"));
    shape->setValue("margin", millimetresFromPoints(branch.boundaryMargin()));
    boundary->setChild("boundaryShape", shape);
    MMObjectPtr one = make<apOneBoundary>();
    one->setChild("boundary", boundary);
    return one;
}

// Links to a branch of the map, by the branch's text, waiting for the
// topics' identifiers: they are written as MindManager's links within the
// map once every topic has one. Main thread only, like the export.
std::vector<std::pair<MMObjectPtr, QString>> t_branchLinks;

MMObjectPtr hyperlinkOf(const TWHyperlink &link)
{
    MMObjectPtr element = make<apHyperlink>();
    const QString url = link.linkURL().value_or(QString());
    const QString lower = url.toLower();
    switch (link.linkType()) {
    case 1:
    case 4:
        element->setString("hyperlinkType", urn("Unknown"));
        element->setValue("absolute", lower.startsWith(u'/'));
        element->setString("url", url);
        break;
    case 2:
    case 3:
        element->setString("hyperlinkType", urn("Unknown"));
        element->setValue("absolute", mmTables::hasURLScheme(lower));
        element->setString("url", url);
        break;
    case 5:
        element->setString("hyperlinkType", urn("Unknown"));
        element->setValue("absolute", true);
        element->setString("url", link.fullMailURL());
        break;
    default:
        break;
    }
    element->setValue("hidden", false);
    return element;
}

// A task whenever any task field is set; no percentage when there is none.
MMObjectPtr taskOf(const TWMapBranch &branch)
{
    const bool hasPriority = branch.priority() >= 1 && branch.priority() <= 9;
    const bool hasDuration = branch.duration() != 0;
    if (!branch.startDate() && !branch.endDate() && !branch.hasAllocatedResources() &&
        !branch.hasCompletion() && !hasPriority && !hasDuration)
        return nullptr;
    MMObjectPtr task = make<apTask>();
    if (branch.startDate())
        task->setValue("startDate", branch.startDate()->instant().toLocalTime());
    if (branch.endDate())
        task->setValue("deadlineDate", branch.endDate()->instant().toLocalTime());
    if (branch.hasCompletion())
        task->setValue("taskPercentage", int(branch.percentageComplete()));
    if (hasPriority)
        task->setString("taskPriority",
                        QStringLiteral("urn:mindjet:Prio%1").arg(branch.priority()));
    QStringList names;
    if (const TWMapsDoc *document = branch.map() ? branch.map()->document() : nullptr)
        for (const QString &id : branch.resourcesAllocated())
            if (const auto resource = document->resourceWithIdentifier(id))
                if (!resource->resourceName().isEmpty())
                    names << resource->resourceName();
    if (!names.isEmpty())
        task->setString("resources", names.join(QStringLiteral("; ")));
    struct Unit
    {
        int code;
        float factor;
        const char *name;
    };
    static constexpr Unit units[] = {
        {1, 1.0f / 60, "Hour"},    {2, 1, "Hour"},          {3, 24, "Day"}, {4, 168, "Week"},
        {5, 730.484375f, "Month"}, {6, 8765.8125f, "Month"}};
    for (const Unit &unit : units) {
        if (unit.code != branch.durationUnits())
            continue;
        const float hours =
            unit.code == 1 ? branch.duration() / 60 : branch.duration() * unit.factor;
        if (hours != 0) {
            task->setValue("durationHours", int(hours));
            task->setString("durationUnit", urn(unit.name));
        }
    }
    return task;
}

MMObjectPtr layoutOf(const TWMapBranch &branch, const TWTextArea &text)
{
    MMObjectPtr layout = make<apTopicLayout>();
    const int position = branch.textRelativePosition();
    const std::shared_ptr<TWGraphic> picture = branch.enclosedImage();
    // A picture with bounds of its own beside the label says on which side.
    if (picture && branch.enclosedImageLayoutMode() != 0 && position == 2)
        layout->setString("topicTextAndImagePosition",
                          urn(picture->bounds().midX() < text.bounds().midX()
                                  ? "TextRightImageLeft"
                                  : "TextLeftImageRight"));
    else if (position == 1)
        layout->setString("topicTextAndImagePosition", urn("TextTopImageBottom"));
    else if (position == 2 || position == 3)
        layout->setString("topicTextAndImagePosition", urn("TextBottomImageTop"));
    if (branch.textMaxWidthSet())
        layout->setValue("width", millimetresFromPoints(branch.ownTextMaxWidth()));
    else if (text.requiredSizeForWidth(9999).width > text.bounds().size.width)
        layout->setValue("width", millimetresFromPoints(text.bounds().size.width));
    return layout;
}

// The picture kept in the document under the graphic's image file name.
std::optional<Image> cachedImage(const TWMapsDoc *document, const TWGraphic &graphic)
{
    const std::optional<QString> name = graphic.imageFilename();
    if (!document || !name)
        return std::nullopt;
    const std::optional<QByteArray> data = document->objectForKeyInCachedData(*name);
    if (!data)
        return std::nullopt;
    std::optional<Image> image = Image::initWithData(*data);
    if (!image || image->toQImage().isNull())
        return std::nullopt;
    return image;
}

MMObjectPtr pngImageData(const MMElementClass &kind, const Image &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.toQImage().save(&buffer, "PNG");
    MMObjectPtr base64 = make<corBase64>();
    base64->setString("contents", TWBase64::twBase64String(png));
    MMObjectPtr data = MMXMLBaseObject::create(kind);
    data->setChild("data", base64);
    data->setString("imageType", urn("PngImage"));
    return data;
}

// Signatures run on across exports, so none repeats within a run.
quint64 iconCounter = 0;

MMObjectPtr iconsOf(const TWMapBranch &branch)
{
    MMObjectPtr group = make<apIconsGroup>();
    MMObjectPtr icons = make<apIcons>();
    const TWMapsDoc *document = branch.map() ? branch.map()->document() : nullptr;
    for (const auto &enclosed : branch.otherEnclosedGraphics()) {
        // A stock icon goes back as itself, which the reader draws its own way.
        if (const std::optional<QString> stock = mmAdornments::stockIconType(*enclosed)) {
            MMObjectPtr icon = make<apIcon>();
            icon->setString("xsiType", QStringLiteral("ap:StockIcon"));
            icon->setString("iconType", *stock);
            icons->addChild("icons", icon);
            continue;
        }
        const std::shared_ptr<TWGraphic> &graphic = enclosed->graphic();
        if (!graphic || graphic->className() != u"TWImage")
            continue;
        const std::optional<Image> image = cachedImage(document, *graphic);
        if (!image)
            continue;
        MMObjectPtr data = apCustomIconImageDataFromImage(*image);
        group->addChild("customIconImageData", data);
        MMObjectPtr icon = make<apIcon>();
        icon->setString("xsiType", QStringLiteral("ap:CustomIcon"));
        icon->setString("iconSignature", data->string("iconSignature"));
        icons->addChild("icons", icon);
    }
    group->setChild("icons", icons);
    return group;
}

MMObjectPtr relationshipOf(const TWLinkLine &line, const TopicIds &ids)
{
    MMObjectPtr relationship = make<apRelationship>();
    const struct
    {
        std::shared_ptr<TWGraphic> graphic;
        Point control;
        int arrow;
        bool filled;
    } ends[] = {
        {line.startGraphic(), line.intermediatePoint1(), line.startArrowStyle(),
         line.startFilled()},
        {line.endGraphic(), line.intermediatePoint2(), line.endArrowStyle(), line.endFilled()}};
    int index = 0;
    for (const auto &end : ends) {
        MMObjectPtr group = make<apConnectionGroup>();
        MMObjectPtr connection = make<apConnection>();
        TWMapBranch *branch = end.graphic ? end.graphic->branch() : nullptr;
        if (branch) {
            const Rect bounds = branch->branchBounds();
            connection->setValue(
                "CX",
                millimetresFromPoints(end.control.x - (bounds.origin.x + bounds.size.width / 2)));
            // y up, as topic offsets and the import have it.
            connection->setValue(
                "CY",
                millimetresFromPoints((bounds.origin.y + bounds.size.height / 2) - end.control.y));
            MMObjectPtr reference = make<corObjectReference>();
            reference->setString("OIdRef", ids.value(branch));
            connection->setChild("objectReference", reference);
        }
        group->setChild("connection", connection);
        MMObjectPtr style = make<apConnectionStyle>();
        style->setString("connectionShape", arrowShape(end.arrow, end.filled));
        group->setChild("connectionStyle", style);
        group->setValue("index", index++);
        relationship->addChild("connectionGroups", group);
    }
    // The line's label as the floating topic a relationship carries.
    if (const std::optional<AttributedString> &label = line.label(); label && label->length()) {
        MMObjectPtr topic = make<apTopic>();
        topic->setChild("text", apTextFromAttributedString(*label));
        MMObjectPtr floating = make<apFloatingTopics>();
        floating->addChild("topics", topic);
        relationship->setChild("floatingTopics", floating);
    }
    relationship->setChild("color",
                           colorElement(apColor::staticClass(), std::nullopt, line.strokeColor()));
    if (line.strokeStyle() != 8) {
        MMObjectPtr style = make<apLineStyle>();
        style->setString("lineDashStyle", dashStyle(line.strokeStyle()));
        style->setValue("lineWidth", line.strokeWidth());
        relationship->setChild("lineStyle", style);
    }
    return relationship;
}

} // namespace

MMObjectPtr apImageFromImage(const Image &image)
{
    MMObjectPtr element = make<apImage>();
    element->setChild("imageData", pngImageData(apImageData::staticClass(), image));
    MMObjectPtr size = make<apImageSize>();
    size->setValue("width", millimetresFromPoints(image.size().width));
    size->setValue("height", millimetresFromPoints(image.size().height));
    element->setChild("imageSize", size);
    return element;
}

MMObjectPtr apCustomIconImageDataFromImage(const Image &image)
{
    MMObjectPtr data = pngImageData(apCustomIconImageData::staticClass(), image);
    const QByteArray number = QByteArray::number(++iconCounter).rightJustified(16, '0');
    data->setString("iconSignature", TWBase64::twBase64String(number));
    return data;
}

MMObjectPtr apTextFromAttributedString(const AttributedString &text)
{
    MMObjectPtr element = make<apText>();
    element->setString("plainText", text.string());
    MMObjectPtr font = make<apFont>();
    // The schema wants a font for every text: an empty one has the font
    // its label would be typed in.
    if (text.isEmpty()) {
        setFont(*font, {{NSFontAttributeName, QVariant::fromValue(TWPreferences::branchFont())}});
        element->setChild("font", font);
        return element;
    }
    AttributedString::Range first;
    const TextAttributes base = text.attributesAtIndex(0, &first);
    setFont(*font, base);
    element->setChild("font", font);
    qsizetype index = first.location + first.length;
    while (index < text.length()) {
        AttributedString::Range run;
        const TextAttributes attributes = text.attributesAtIndex(index, &run);
        if (run.length <= 0)
            break;
        if (attributes != base) {
            MMObjectPtr range = make<apFontRange>();
            setFont(*range, attributes);
            range->setValue("from", quint32(run.location));
            range->setValue("to", quint32(run.location + run.length - 1));
            element->addChild("fontRanges", range);
        }
        index = run.location + run.length;
    }
    return element;
}

namespace {

// The text without the characters XML cannot hold, silently: the notes'
// XHTML leaves the same ones out and is what they are counted by.
QString previewText(const QString &text)
{
    QString held;
    held.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            held += c;
            held += text.at(++i);
        } else if (!c.isSurrogate() && XMLDetail::isXMLCharacter(c.unicode())) {
            held += c;
        }
    }
    return held;
}

} // namespace

MMObjectPtr createTopicForBranch(const TWMapBranch &branch, TopicIds &ids)
{
    MMObjectPtr topic = make<apTopic>();
    if (!branch.children().isEmpty()) {
        MMObjectPtr subTopics = make<apSubTopics>();
        for (const std::shared_ptr<TWMapBranch> &child : branch.children())
            subTopics->addChild("topics", createTopicForBranch(*child, ids));
        topic->setChild("subTopics", subTopics);
    }
    if (branch.hasBoundary())
        topic->setChild("oneBoundary", boundaryOf(branch));

    if (const std::shared_ptr<TWGraphic> picture = branch.enclosedImage()) {
        const TWMapsDoc *document = branch.map() ? branch.map()->document() : nullptr;
        if (const std::optional<Image> image = cachedImage(document, *picture)) {
            MMObjectPtr element = apImageFromImage(*image);
            MMObjectPtr size = make<apImageSize>();
            size->setValue("width", millimetresFromPoints(picture->bounds().size.width));
            size->setValue("height", millimetresFromPoints(picture->bounds().size.height));
            element->setChild("imageSize", size);
            MMObjectPtr one = make<apOneImage>();
            one->setChild("image", element);
            topic->setChild("oneImage", one);
        }
    }

    const std::shared_ptr<TWTextArea> &area = branch.enclosedTextArea();
    const bool hasText = area && !area->text().isEmpty();
    // An empty label is written as one: a topic without text takes its
    // level's default text when read.
    if (area)
        topic->setChild("text", apTextFromAttributedString(area->text()));

    if (const std::shared_ptr<TWGraphic> &main = branch.mainGraphic()) {
        const QString kind = main->className();
        const bool fills = kind != u"TWLine" && kind != u"TWFlexiBranch" && main->drawsFill();
        // The colours shown, inherited ones too: most branches take theirs
        // from the map.
        topic->setChild(
            "color",
            colorElement(apColor::staticClass(),
                         fills ? std::optional<Color>(main->inheritedFillColor()) : std::nullopt,
                         main->drawsStroke() ? std::optional<Color>(main->inheritedStrokeColor())
                                             : std::nullopt));
    }

    if (!branch.attachedTextArray().isEmpty()) {
        const auto &note = branch.attachedTextArray().first()->text();
        if (note && !note->isEmpty()) {
            MMObjectPtr data = make<apNotesXhtmlData>();
            data->setString("previewPlainText", previewText(note->string()));
            data->setString("xhtmlData", XHTML::XHTMLStringRepresentation(*note));
            MMObjectPtr group = make<apNotesGroup>();
            group->setChild("notesXhtmlData", data);
            topic->setChild("notesGroup", group);
        }
    }

    const TWMap *map = branch.map();
    const TWMapBranch *parent = branch.parent();
    if (map && parent && parent == map->root().get()) {
        const Rect r = parent->branchBounds();
        const Rect b = branch.branchBounds();
        const double rx = r.origin.x + r.size.width / 2;
        const double ry = r.origin.y + r.size.height / 2;
        const double reserved =
            branch.totalWidthToAllowForOtherEnclosedGraphics() + branch.totalWidthForSuffixImages();
        const double cx = rx > b.origin.x + b.size.width / 2
                              ? b.origin.x + b.size.width - rx - reserved
                              : b.origin.x - rx;
        MMObjectPtr offset = make<apOffset>();
        offset->setValue("CX", millimetresFromPoints(cx));
        offset->setValue("CY", millimetresFromPoints(ry - (b.origin.y + b.size.height / 2)));
        topic->setChild("offset", offset);
    }

    if (!branch.otherEnclosedGraphics().isEmpty())
        topic->setChild("iconsGroup", iconsOf(branch));

    MMObjectPtr shape = make<apSubTopicShape>();
    shape->setString("subTopicShape",
                     branch.mainGraphic() ? shapeForGraphic(*branch.mainGraphic()) : urn("Line"));
    topic->setChild("subTopicShape", shape);

    if (hasText)
        topic->setChild("topicLayout", layoutOf(branch, *area));

    if (branch.childrenHidden()) {
        MMObjectPtr collapsed = make<apCollapsed>();
        collapsed->setValue("collapsed", true);
        MMObjectPtr view = make<apTopicViewGroup>();
        view->setValue("viewIndex", 0);
        view->setChild("collapsed", collapsed);
        topic->addChild("topicViewGroups", view);
    }

    if (!branch.hyperlinks().isEmpty()) {
        const TWHyperlink &link = *branch.hyperlinks().first();
        MMObjectPtr element = hyperlinkOf(link);
        if (link.linkType() == TWHyperlink::ThinkwebFile &&
            link.linkURL().value_or(QString()).isEmpty() &&
            !link.linkArg().value_or(QString()).isEmpty())
            t_branchLinks.emplace_back(element, *link.linkArg());
        topic->setChild("hyperlink", element);
    }
    if (MMObjectPtr task = taskOf(branch))
        topic->setChild("task", task);

    if (!branch.trackedChanges().isEmpty()) {
        MMObjectPtr comments = make<apComments>();
        for (const std::shared_ptr<TWTrackedChange> &change : branch.trackedChanges()) {
            MMObjectPtr comment = make<apComment>();
            if (const std::optional<TWPerson> &person = change->byWhom()) {
                comment->setString("authorEmail", person->email());
                // A missing part of the name is left out rather than
                // written as a placeholder.
                QStringList name;
                for (const std::optional<QString> &part : {person->firstName(), person->lastName()})
                    if (part && !part->isEmpty())
                        name << *part;
                comment->setString("authorName", name.join(u' '));
            }
            if (change->date())
                comment->setValue("dateTime", change->date()->instant().toLocalTime());
            if (change->comment())
                comment->setString("text", change->comment()->string());
            comments->addChild("comments", comment);
        }
        topic->setChild("comments", comments);
    }

    ids.insert(&branch, topic->string("OId").value_or(QString()));
    return topic;
}

void populateStyleGroup(MMXMLBaseObject &styleGroup, const TWMap &map)
{
    const auto defaultColor = [&] {
        return colorElement(apDefaultColor::staticClass(), map.defaultGraphicColor(),
                            map.defaultStrokeColor());
    };
    const auto defaultText = [](const char *key, const Font &font) {
        MMObjectPtr text = make<apDefaultText>();
        text->setString("plainText", TWLocalizedString(StringTable::DadoZiz, key));
        text->setChild("font", fontOf(font));
        return text;
    };
    const TWMapsDoc *document = map.document();

    MMObjectPtr root = make<apRootTopicDefaultsGroup>();
    root->setChild("defaultColor", defaultColor());
    root->setChild("defaultText", defaultText("DadoZiz-Title", TWPreferences::centerFont()));
    MMObjectPtr rootShape = make<apDefaultSubTopicShape>();
    rootShape->setString("subTopicShape",
                         shapeForBranchType(document ? document->graphicClassIdentifier() : 0));
    root->setChild("defaultSubTopicShape", rootShape);
    MMObjectPtr layout = make<apDefaultTopicLayout>();
    layout->setString("topicLayoutHorizontalAlignment", urn("Center"));
    layout->setString("topicLayoutVerticalAlignment", urn("Center"));
    layout->setString("topicTextAndImagePosition", urn("TextBottomImageTop"));
    layout->setValue("width",
                     map.textMaxWidthSet() ? millimetresFromPoints(map.textMaxWidth()) : 500.0f);
    root->setChild("defaultTopicLayout", layout);
    MMObjectPtr rootSubTopics = make<apDefaultSubTopicsShape>();
    rootSubTopics->setString("subTopicsConnectionStyle", urn("Arc"));
    rootSubTopics->setString("subTopicsConnectionPoint", urn("Center"));
    root->setChild("defaultSubTopicsShape", rootSubTopics);
    styleGroup.setChild("rootTopicDefaultsGroup", root);

    MMObjectPtr first = make<apRootSubTopicDefaultsGroup>();
    first->setValue("level", 0);
    first->setChild("defaultColor", defaultColor());
    MMObjectPtr firstSubTopics = make<apDefaultSubTopicsShape>();
    firstSubTopics->setString("subTopicsConnectionPoint", urn("Outside"));
    first->setChild("defaultSubTopicsShape", firstSubTopics);
    first->setChild("defaultText", defaultText("New-Branch", TWPreferences::firstLevelFont()));
    MMObjectPtr second = make<apRootSubTopicDefaultsGroup>();
    second->setValue("level", 1);
    second->setChild("defaultText", defaultText("New-Branch", TWPreferences::branchFont()));
    styleGroup.setChildren("rootSubTopicDefaultsGroup", {first, second});

    const auto solidLine = [] {
        MMObjectPtr line = make<apDefaultLineStyle>();
        line->setString("lineDashStyle", urn("Solid"));
        line->setValue("lineWidth", 1.0f);
        return line;
    };
    MMObjectPtr relationships = make<apRelationshipDefaultsGroup>();
    relationships->setChild("defaultLineStyle", solidLine());
    for (int end = 0; end < 2; ++end) {
        MMObjectPtr style = make<apDefaultConnectionStyle>();
        style->setString("connectionShape", urn("NoArrow"));
        relationships->addChild("defaultConnnectionStyles", style);
    }
    styleGroup.setChild("relationshipDefaultsGroup", relationships);

    MMObjectPtr boundaries = make<apBoundaryDefaultsGroup>();
    boundaries->setChild("defaultLineStyle", solidLine());
    MMObjectPtr boundaryShape = make<apDefaultBoundaryShape>();
    boundaryShape->setString("boundaryShape", urn("Lines"));
    boundaryShape->setValue("margin", millimetresFromPoints(10));
    boundaries->setChild("defaultBoundaryShape", boundaryShape);
    styleGroup.setChild("boundaryDefaultsGroup", boundaries);
    styleGroup.setChild("imageDefaultsGroup", make<apImageDefaultsGroup>());

    const Font notes = TWPreferences::branchNotesFont();
    MMObjectPtr notesFont = make<apNotesDefaultFont>();
    const QString family = notes.familyName();
    notesFont->setString("name", family.isEmpty() ? notes.fontName() : family);
    notesFont->setValue("size", float(notes.pointSize()));
    notesFont->setString("color", colorString(Color::blackColor()));
    styleGroup.setChild("notesDefaultFont", notesFont);

    MMObjectPtr background = make<apBackgroundFill>();
    background->setString("fillColor", colorString(map.backgroundColor()));
    styleGroup.setChild("backgroundFill", background);

    MMObjectPtr structure = make<apStructure>();
    if (map.layoutAssistanceMode() >= 1 && map.layoutAssistanceMode() <= 3)
        structure->setValue("useAutoLayout", map.layoutAssistanceMode() != 1);
    structure->setValue("useCurveAntialiasing", true);
    structure->setValue("useTextAntialiasing", true);
    structure->setValue("useOrganicLines", true);
    structure->setValue("hideCollapseSign", !map.showCollapseSign());
    structure->setString("structureGrowthDirection", urn("LeftAndRight"));
    styleGroup.setChild("structure", structure);

    if (const std::optional<QString> &name = map.backgroundImageFilename(); name && document) {
        const std::optional<QByteArray> data = document->objectForKeyInCachedData(*name);
        std::optional<Image> image = data ? Image::initWithData(*data) : std::nullopt;
        if (image && !image->toQImage().isNull()) {
            MMObjectPtr picture = pngImageData(apBackgroundImageData::staticClass(), *image);
            picture->setValue("transparency",
                              int((1.0 - double(map.backgroundImageOpacity())) * 100));
            styleGroup.setChild("backgroundImageData", picture);
        }
    }

    MMObjectPtr visibility = make<apVisibilityStyle>();
    visibility->setValue("hideRelationships", !map.showLinkLines());
    visibility->setValue("hideCalloutFloatingTopics", !map.showAttachedGraphics());
    visibility->setValue("hideLabelFloatingTopics", !map.showAttachedGraphics());
    styleGroup.setChild("visibilityStyle", visibility);
}

MMObjectPtr mapElement(const TWMap &map, const QDateTime &now)
{
    auto element = std::dynamic_pointer_cast<apMap>(make<apMap>());
    MMObjectPtr styleGroup = make<apStyleGroup>();
    populateStyleGroup(*styleGroup, map);
    element->setChild("styleGroup", styleGroup);

    const TWMapsDoc *document = map.document();
    MMObjectPtr documentGroup = make<apDocumentGroup>();
    const std::optional<QString> creator = document ? document->creator() : std::nullopt;
    MMObjectPtr creatorElement = make<apCreator>();
    creatorElement->setString("userName", creator);
    documentGroup->setChild("creator", creatorElement);
    MMObjectPtr author = make<apAuthor>();
    author->setString("userName", creator);
    documentGroup->setChild("author", author);
    MMObjectPtr stamps = make<apDateTimeStamps>();
    if (document && document->creationDate())
        stamps->setValue("created", document->creationDate()->instant().toLocalTime());
    stamps->setValue("lastModified", now);
    documentGroup->setChild("dateTimeStamps", stamps);
    MMObjectPtr description = make<apDescription>();
    description->setString("comments", document ? document->comments() : std::nullopt);
    documentGroup->setChild("description", description);
    element->setChild("documentGroup", documentGroup);
    element->setStandardNamespaces();

    TopicIds ids;
    t_branchLinks.clear();
    if (const std::shared_ptr<TWMapBranch> &root = map.root()) {
        MMObjectPtr oneTopic = make<apOneTopic>();
        oneTopic->setChild("topic", createTopicForBranch(*root, ids));
        element->setChild("oneTopic", oneTopic);
        // The branch a link names is the first of that text, depth first,
        // as following the link finds it.
        for (const auto &[link, title] : std::exchange(t_branchLinks, {})) {
            std::vector<const TWMapBranch *> pending{root.get()};
            while (!pending.empty()) {
                const TWMapBranch *b = pending.back();
                pending.pop_back();
                if (b->enclosedTextArea() && b->enclosedTextArea()->text().string() == title) {
                    link->setString(
                        "url", QStringLiteral("#xpointer(/descendant-or-self::ap:Topic[@OId='%1'])")
                                   .arg(ids.value(b)));
                    break;
                }
                const auto &children = b->children();
                for (auto child = children.rbegin(); child != children.rend(); ++child)
                    pending.push_back(child->get());
            }
        }
    }
    if (!map.linkLines().isEmpty()) {
        MMObjectPtr relationships = make<apRelationships>();
        for (const std::shared_ptr<TWLinkLine> &line : map.linkLines())
            relationships->addChild("relationships", relationshipOf(*line, ids));
        element->setChild("relationships", relationships);
    }
    return element;
}

QByteArray xmlDataForMap(const TWMap &map, const QDateTime &now, int *leftOut)
{
    const XMLTreeLeftOutCount counted;
    XMLTree tree = XMLTree::initRootless();
    mapElement(map, now)->createSubtreeInTree(tree);
    if (leftOut)
        *leftOut = counted.count();
    return tree.description().toUtf8();
}

} // namespace mmExport
