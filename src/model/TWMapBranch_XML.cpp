#include "graphics/TWChildConnection.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWAttachedText.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapsDoc.h"
#include "model/TWTrackedChange.h"
#include "platform/CFormat.h"
#include "platform/NotificationCenter.h"
#include "support/ContentsXMLReader.h"
#include "support/ForkJoinThreads.h"
#include "support/TWXMLUtils.h"
#include "support/XMLArena.h"
#include "support/XMLStreamWriter.h"

#include <QDebug>
#include <algorithm>
#include <array>
#include <bitset>
#include <condition_variable>
#include <cmath>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

// The children of a branch element in the order they are written. The
// readers of both routes collect children into these collected by name, so the
// two cannot disagree about what a branch element holds.
enum Item : int {
    MainGraphic,
    EnclosedImage,
    EnclosedImageLayoutMode,
    SoundFileName,
    SoundFileReferenceMethod,
    LinkedGraphics,
    EnclosedTextArea,
    OtherEnclosedGraphics,
    BranchNumber,
    ConnectionGraphic,
    AttachedTextArray,
    Children,
    TextMaxWidthSet,
    TextMaxWidth,
    Hyperlinks,
    ChildrenHidden,
    ScreenWriterText,
    PrintScreenWriterText,
    TextRelativePosition,
    ExpandedInOutlineView,
    HasBoundary,
    BoundaryLineColor,
    BoundaryFillColor,
    BoundaryLineStyle,
    BoundaryLineWidth,
    BoundaryCurveRadius,
    BoundaryCornerStyle,
    BoundaryMargin,
    BoundaryInheritsLineColor,
    BoundaryDrawsFill,
    BoundaryDrawsLine,
    OverriddenChildRepel,
    OverriddenChildSpacing,
    OverriddenChildrenColorMode,
    OverridesRainbowAngle,
    OverriddenRainbowAngle,
    HideChildrenOutlineNumbers,
    ResetChildrenOutlineNumbers,
    ChildrenOutlineNumberFormatOverride,
    ChildrenConnectionStyle,
    ChildrenConnectionSide,
    ShowCheckBox,
    CheckBoxState,
    Priority,
    StartDate,
    EndDate,
    PercentageComplete,
    ResourcesAllocated,
    Duration,
    DurationUnits,
    TrackedChanges,
    TextDistanceFromLeftEnd,
    TextDistanceFromRightEnd,
    NeedsMakeNaturalSize,
    ScreenWriterSelectedRange,
    ItemCount
};

constexpr const char *itemNames[ItemCount] = {"mainGraphic",
                                              "enclosedImage",
                                              "enclosedImageLayoutMode",
                                              "soundFileName",
                                              "soundFileReferenceMethod",
                                              "linkedGraphics",
                                              "enclosedTextArea",
                                              "otherEnclosedGraphics",
                                              "branchNumber",
                                              "connectionGraphic",
                                              "attachedTextArray",
                                              "children",
                                              "textMaxWidthSet",
                                              "textMaxWidth",
                                              "hyperlinks",
                                              "childrenHidden",
                                              "screenWriterText",
                                              "printScreenWriterText",
                                              "textRelativePosition",
                                              "expandedInOutlineView",
                                              "hasBoundary",
                                              "boundaryLineColor",
                                              "boundaryFillColor",
                                              "boundaryLineStyle",
                                              "boundaryLineWidth",
                                              "boundaryCurveRadius",
                                              "boundaryCornerStyle",
                                              "boundaryMargin",
                                              "boundaryInheritsLineColor",
                                              "boundaryDrawsFill",
                                              "boundaryDrawsLine",
                                              "overriddenChildRepel",
                                              "overriddenChildSpacing",
                                              "overriddenChildrenColorMode",
                                              "overridesRainbowAngle",
                                              "overriddenRainbowAngle",
                                              "hideChildrenOutlineNumbers",
                                              "resetChildrenOutlineNumbers",
                                              "childrenOutlineNumberFormatOverride",
                                              "childrenConnectionStyle",
                                              "childrenConnectionSide",
                                              "showCheckBox",
                                              "checkBoxState",
                                              "priority",
                                              "startDate",
                                              "endDate",
                                              "percentageComplete",
                                              "resourcesAllocated",
                                              "duration",
                                              "durationUnits",
                                              "trackedChanges",
                                              "textDistanceFromLeftEnd",
                                              "textDistanceFromRightEnd",
                                              "needsMakeNaturalSize",
                                              "screenWriterSelectedRange"};

int itemForName(const char *name)
{
    static const auto *const byName = [] {
        auto *map = new std::unordered_map<std::string_view, int>;
        for (int i = 0; i < ItemCount; ++i)
            map->emplace(itemNames[i], i);
        return map;
    }();
    const auto found = byName->find(std::string_view(name));
    return found == byName->end() ? -1 : found->second;
}

// --- writing helpers ---

xmlNodePtr addWrapper(xmlNodePtr parent, const char *name)
{
    return TWXMLUtils::addElementChild(parent, name);
}

// <name>what `write` writes</name>
template <class Write> void wrapped(XMLOut &out, const char *name, Write write)
{
    out.startElement(name);
    write();
    out.endElement();
}

// --- reading helpers ---

// One collected child.
struct Slot
{
    xmlNodePtr node = nullptr;
};

// The text of a child; nothing for a missing or empty one, which reads as
// absent.
std::optional<QString> textOf(xmlNodePtr node)
{
    if (!node)
        return std::nullopt;
    QString text = XMLDetail::stringValueOf(node);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

// A value read from a child's text, or `missing` for a missing or empty
// one; the usual short leaf is read without making a string.
template <class Value, class Read> Value valueOf(xmlNodePtr node, Value missing, Read read)
{
    char16_t buffer[64];
    const qsizetype length = XMLDetail::shortAsciiLeafText(node, buffer, 64);
    if (length > 0)
        return read(QStringView(buffer, length));
    if (length == 0)
        return missing;
    const std::optional<QString> text = textOf(node);
    return text ? read(QStringView(*text)) : missing;
}

int intOf(xmlNodePtr node, int missing)
{
    return valueOf(node, missing, [](QStringView t) { return CFormat::intValue(t); });
}

float floatOf(xmlNodePtr node, float missing)
{
    return valueOf(node, missing, [](QStringView t) { return CFormat::floatValue(t); });
}

bool boolOf(xmlNodePtr node, bool missing)
{
    return valueOf(node, missing, [](QStringView t) { return t == u"YES"; });
}

QList<xmlNodePtr> itemsOf(xmlNodePtr wrapper, const char *name)
{
    QList<xmlNodePtr> items;
    for (xmlNodePtr child = wrapper ? wrapper->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
            items.append(child);
    }
    return items;
}

xmlNodePtr firstChildNamed(xmlNodePtr node, const char *name)
{
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
            return child;
    }
    return nullptr;
}

std::shared_ptr<TWGraphic> graphicOf(xmlNodePtr wrapper, TWMapBranch *branch)
{
    return wrapper ? TWGraphic::graphicWithXMLNode(wrapper, wrapper->doc, branch) : nullptr;
}

// What a graphic element that cannot be read as a graphic still tells: where
// the graphic was and the number references to it use.
struct StoredGraphic
{
    std::optional<Rect> bounds;
    std::optional<qint64> number;
};

StoredGraphic storedGraphicOf(xmlNodePtr wrapper)
{
    StoredGraphic stored;
    xmlNodePtr element = firstChildNamed(wrapper, "TWGraphic");
    if (!element)
        return stored;
    const TWXMLUtils::XPathReader reader(element, element->doc);
    const std::optional<double> x = reader.floatValue("bounds/x");
    const std::optional<double> y = reader.floatValue("bounds/y");
    const std::optional<double> width = reader.floatValue("bounds/width");
    const std::optional<double> height = reader.floatValue("bounds/height");
    const auto usable = [](const std::optional<double> &v) {
        return v && std::isfinite(*v) && std::abs(*v) <= 10000;
    };
    if (usable(x) && usable(y) && usable(width) && usable(height) && *width > 0 && *height > 0)
        stored.bounds = Rect(float(*x), float(*y), float(*width), float(*height));
    stored.number = reader.longLongValue("graphicNumber");
    return stored;
}

std::optional<Color> colorOf(xmlNodePtr wrapper)
{
    if (!firstChildNamed(wrapper, "NSColor"))
        return std::nullopt;
    return Color::colorWithXMLNode(wrapper, wrapper->doc);
}

QStringList stringsOf(xmlNodePtr wrapper)
{
    QStringList strings;
    for (xmlNodePtr item : itemsOf(wrapper, "string"))
        strings.append(XMLDetail::stringValueOf(item));
    return strings;
}

// --- sources of child elements: a pull reader or a tree ---

class StreamSource
{
public:
    explicit StreamSource(ContentsXMLReader &reader) : m_reader(reader) {}
    bool enter() { return m_reader.enterElement(); }
    bool next() { return m_reader.nextChildElement(); }
    const char *name() const { return m_reader.utf8Name(); }
    // A branch's own children share one small tree, freed with the branch's frame.
    Slot take(XMLElement &holder)
    {
        if (holder.isNull())
            holder = XMLElement::create("TWMapBranch");
        return {m_reader.expandElementInto(holder)};
    }
    // The current child where the reader holds it, until skip().
    xmlNodePtr peek() { return m_reader.expandInPlace(); }
    void skip() { m_reader.skipElement(); }

private:
    ContentsXMLReader &m_reader;
};

// Walks the element children of a tree the way the pull reader walks a stream.
class TreeSource
{
public:
    explicit TreeSource(xmlNodePtr start) : m_current(start) {}
    bool enter()
    {
        if (!nextElement(m_current->children))
            return false;
        m_entered.push_back(m_current);
        m_current = nullptr;
        return true;
    }
    bool next()
    {
        if (m_entered.empty())
            return false;
        xmlNodePtr candidate =
            nextElement(m_current ? m_current->next : m_entered.back()->children);
        if (candidate) {
            m_current = candidate;
            return true;
        }
        m_current = m_entered.back();
        m_entered.pop_back();
        return false;
    }
    const char *name() const { return reinterpret_cast<const char *>(m_current->name); }
    Slot take(XMLElement &) { return {m_current}; }
    xmlNodePtr peek() { return m_current; }
    void skip() {}

private:
    static xmlNodePtr nextElement(xmlNodePtr node)
    {
        while (node && node->type != XML_ELEMENT_NODE)
            node = node->next;
        return node;
    }

    std::vector<xmlNodePtr> m_entered;
    xmlNodePtr m_current;
};

} // namespace

namespace TWBranchStandIn {

namespace {
constexpr int Rectangle = 2;
const Rect NewShape(0, 0, 80, 40);
} // namespace

std::shared_ptr<TWGraphic> shape(TWMapBranch &b, std::optional<Rect> bounds,
                                 std::optional<qint64> number)
{
    TWMap *map = b.map();
    const int type = map && map->document() ? map->document()->graphicClassIdentifier() : Rectangle;
    const Rect r = bounds.value_or(NewShape);
    std::shared_ptr<TWGraphic> made = TWMapBranch::makeMainGraphicOfType(type, r);
    if (!made)
        made = TWMapBranch::makeMainGraphicOfType(Rectangle, r);
    if (auto *flexi = dynamic_cast<TWFlexiBranch *>(made.get()))
        flexi->initializePoints();
    made->setDrawsStroke(true);
    made->setInheritsStroke(true);
    made->setInheritsFill(true);
    // References to the stored shape (connections, link lines) find this one.
    if (number)
        made->setOriginalGraphicNumber(long(*number));
    made->setPrimitiveBranch(&b);
    return made;
}

std::shared_ptr<TWTextArea> label(TWMapBranch &b, std::optional<Rect> bounds,
                                  std::optional<qint64> number)
{
    const Rect r = b.mainGraphic() ? b.mainGraphic()->bounds() : NewShape;
    auto made = TWGraphic::make<TWTextArea>(bounds.value_or(
        Rect(r.x() + 5, r.y() + r.height() / 2, std::max(r.width() - 10, 10.0f), 20)));
    made->setDrawsStroke(false);
    made->setDrawsFill(false);
    made->setText(AttributedString());
    if (number)
        made->setOriginalGraphicNumber(long(*number));
    made->setPrimitiveBranch(&b);
    return made;
}

Rect aroundLabel(const TWTextArea &label)
{
    const Rect t = label.bounds();
    return Rect(t.x() - 5, t.y() - 10, t.width() + 10, t.height() + 20);
}

} // namespace TWBranchStandIn

// Reads and writes the branch element on behalf of TWMapBranch.
class TWMapBranchElement
{
public:
    // --- writing ---

    // A large tree's text is written in pieces on several threads and
    // joined in order: the same text, in a fraction of the time. Writing
    // reads the model only; what a write would change (number labels made
    // on demand) is made first, here. False when the tree is written whole
    // on this thread instead.
    static bool writeInPieces(TWMapBranch &root, XMLStreamWriter &writer, bool embed);

    static void writeItems(TWMapBranch &b, XMLOut &out, int from, int to, bool embed)
    {
        for (int item = from; item < to; ++item) {
            if (item != Children)
                writeItem(b, item, out, embed);
        }
    }

    static void writeItem(TWMapBranch &b, int item, XMLOut &out, bool embed)
    {
        const char *name = itemNames[item];
        const TWMapBranch::Settings &s = b.s();
        switch (item) {
        case MainGraphic:
            out.startElement(name);
            if (b.m_mainGraphic)
                b.m_mainGraphic->writeXml(out, embed);
            out.endElement();
            break;
        case EnclosedImage:
            if (s.enclosedImage)
                wrapped(out, name, [&] { s.enclosedImage->writeXml(out, embed); });
            break;
        case EnclosedImageLayoutMode:
            out.integerElement(name, s.enclosedImageLayoutMode);
            break;
        case SoundFileName:
            if (s.soundFileName && !s.soundFileName->isEmpty())
                out.textElement(name, *s.soundFileName);
            break;
        case SoundFileReferenceMethod:
            out.integerElement(name, s.soundFileReferenceMethod);
            break;
        case LinkedGraphics:
            if (!b.m_linkedGraphics.isEmpty()) {
                out.startElement(name);
                for (const std::shared_ptr<TWGraphic> &graphic :
                     std::as_const(b.m_linkedGraphics)) {
                    // Text areas never carry pictures.
                    const bool isText = dynamic_cast<TWTextArea *>(graphic.get()) != nullptr;
                    wrapped(out, "linkedGraphic",
                            [&] { graphic->writeXml(out, embed && !isText); });
                }
                out.endElement();
            }
            break;
        case EnclosedTextArea:
            out.startElement(name);
            if (b.m_enclosedTextArea)
                b.m_enclosedTextArea->writeXml(out, false);
            out.endElement();
            break;
        case OtherEnclosedGraphics:
            if (!b.m_otherEnclosedGraphics.isEmpty()) {
                out.startElement(name);
                for (const auto &enclosed : std::as_const(b.m_otherEnclosedGraphics))
                    wrapped(out, "otherEnclosedGraphic", [&] { enclosed->writeXml(out, embed); });
                out.endElement();
            }
            break;
        case BranchNumber:
            out.integerElement(name, b.m_branchNumber);
            break;
        case ConnectionGraphic:
            if (b.m_connectionGraphic)
                wrapped(out, name, [&] { b.m_connectionGraphic->writeXml(out, false); });
            break;
        case AttachedTextArray:
            if (!s.attachedTextArray.isEmpty()) {
                out.startElement(name);
                for (const auto &text : s.attachedTextArray)
                    out.nodes(
                        [&](xmlNodePtr list) { text->addXmlDataToNode(addWrapper(list, "item")); });
                out.endElement();
            }
            break;
        case TextMaxWidthSet:
            out.boolElement(name, b.m_flags.textMaxWidthSet);
            break;
        case TextMaxWidth:
            out.realElement(name, s.textMaxWidth);
            break;
        case Hyperlinks:
            if (!s.hyperlinks.isEmpty()) {
                out.startElement(name);
                for (const auto &link : s.hyperlinks)
                    out.nodes([&](xmlNodePtr list) {
                        link->addXmlDataToNode(addWrapper(list, "hyperlink"));
                    });
                out.endElement();
            }
            break;
        case ChildrenHidden:
            out.boolElement(name, b.m_flags.childrenHidden);
            break;
        case ScreenWriterText:
            if (!s.screenWriterText.isEmpty())
                out.textElement(name, s.screenWriterText);
            break;
        case PrintScreenWriterText:
            out.boolElement(name, s.printScreenWriterText);
            break;
        case TextRelativePosition:
            out.integerElement(name, b.m_textRelativePosition);
            break;
        case ExpandedInOutlineView:
            out.boolElement(name, b.m_flags.expandedInOutlineView);
            break;
        case HasBoundary:
            out.boolElement(name, b.m_flags.hasBoundary);
            break;
        case BoundaryLineColor:
            if (s.boundaryLineColor)
                wrapped(out, name, [&] { s.boundaryLineColor->writeXml(out); });
            break;
        case BoundaryFillColor:
            if (s.boundaryFillColor)
                wrapped(out, name, [&] { s.boundaryFillColor->writeXml(out); });
            break;
        case BoundaryLineStyle:
            out.integerElement(name, s.boundaryLineStyle);
            break;
        case BoundaryLineWidth:
            out.realElement(name, s.boundaryLineWidth);
            break;
        case BoundaryCurveRadius:
            out.realElement(name, s.boundaryCurveRadius);
            break;
        case BoundaryCornerStyle:
            out.integerElement(name, s.boundaryCornerStyle);
            break;
        case BoundaryMargin:
            out.realElement(name, s.boundaryMargin);
            break;
        case BoundaryInheritsLineColor:
            out.boolElement(name, s.boundaryInheritsLineColor);
            break;
        case BoundaryDrawsFill:
            out.boolElement(name, s.boundaryDrawsFill);
            break;
        case BoundaryDrawsLine:
            out.boolElement(name, s.boundaryDrawsLine);
            break;
        case OverriddenChildRepel:
            out.realElement(name, s.overriddenChildRepel);
            break;
        case OverriddenChildSpacing:
            out.realElement(name, s.overriddenChildSpacing);
            break;
        case OverriddenChildrenColorMode:
            out.integerElement(name, s.overriddenChildrenColorMode);
            break;
        case OverridesRainbowAngle:
            out.boolElement(name, s.overridesRainbowAngle);
            break;
        case OverriddenRainbowAngle:
            out.realElement(name, s.overriddenRainbowAngle);
            break;
        case HideChildrenOutlineNumbers:
            out.boolElement(name, s.hideChildrenOutlineNumbers);
            break;
        case ResetChildrenOutlineNumbers:
            out.boolElement(name, s.resetChildrenOutlineNumbers);
            break;
        case ChildrenOutlineNumberFormatOverride:
        case ResourcesAllocated: {
            const QStringList &strings = item == ResourcesAllocated
                                             ? s.resourcesAllocated
                                             : s.childrenOutlineNumberFormatOverride;
            if (!strings.isEmpty()) {
                out.startElement(name);
                for (const QString &string : strings)
                    out.textElement("string", string);
                out.endElement();
            }
            break;
        }
        case ChildrenConnectionStyle:
            out.integerElement(name, b.m_childrenConnectionStyle);
            break;
        case ChildrenConnectionSide:
            out.integerElement(name, b.m_childrenConnectionSide);
            break;
        case ShowCheckBox:
            out.boolElement(name, b.m_flags.showCheckBox);
            break;
        case CheckBoxState:
            out.integerElement(name, s.checkBoxState);
            break;
        case Priority:
            out.integerElement(name, s.priority);
            break;
        case StartDate:
            if (s.startDate)
                out.nodes(
                    [&](xmlNodePtr e) { s.startDate->addXmlDataToNode(addWrapper(e, name)); });
            break;
        case EndDate:
            if (s.endDate)
                out.nodes([&](xmlNodePtr e) { s.endDate->addXmlDataToNode(addWrapper(e, name)); });
            break;
        case PercentageComplete:
            out.realElement(name, s.percentageComplete);
            break;
        case Duration:
            out.realElement(name, s.duration);
            break;
        case DurationUnits:
            out.integerElement(name, s.durationUnits);
            break;
        case TrackedChanges:
            if (!s.trackedChanges.isEmpty()) {
                out.startElement(name);
                for (const auto &change : s.trackedChanges)
                    out.nodes([&](xmlNodePtr list) {
                        change->addXmlDataToNode(addWrapper(list, "trackedChange"));
                    });
                out.endElement();
            }
            break;
        case TextDistanceFromLeftEnd:
            out.realElement(name, s.textDistanceFromLeftEnd);
            break;
        case TextDistanceFromRightEnd:
            out.realElement(name, s.textDistanceFromRightEnd);
            break;
        case NeedsMakeNaturalSize:
            out.boolElement(name, b.m_flags.needsMakeNaturalSize);
            break;
        case ScreenWriterSelectedRange: {
            out.startElement(name);
            out.realElement("location", float(s.screenWriterSelectedRange.location));
            out.realElement("length", float(s.screenWriterSelectedRange.length));
            out.endElement();
            break;
        }
        default:
            break;
        }
    }

    // --- reading ---

    // One branch element being read: the children collected so far and the
    // child branches read before the branch itself could be built.
    struct Frame
    {
        std::shared_ptr<TWMapBranch> branch;
        std::array<Slot, ItemCount> collected;
        XMLElement holder; // the tree the collected children of a stream live in
        std::bitset<ItemCount> seen;
        std::bitset<ItemCount> applied;
        bool built = false;  // the children up to the attached texts are applied
        int cursor = 0;      // the next of those in the reading order
        bool failed = false; // a required child is missing
        bool mended = false; // an unreadable shape or label was replaced
        // Set while a replaced shape without a place of its own awaits the
        // label's: the stored number of the shape (0: none).
        std::optional<qint64> unplacedShapeNumber;
        bool childrenSeen = false;
        bool inChildren = false;
        TWMapBranch::BranchList early; // children read before the branch was built
    };

    static void begin(Frame &frame, TWMapBranch *parent, TWMap *map)
    {
        frame.branch = TWMapBranch::create();
        frame.branch->setPrimitiveParent(parent);
        frame.branch->setPrimitiveMap(map);
    }

    static xmlNodePtr take(Frame &frame, int item) { return frame.collected[item].node; }

    // A child read from a stream is freed once applied; a tree is the caller's.
    static void release(Frame &frame, int item)
    {
        xmlNodePtr node = frame.collected[item].node;
        frame.collected[item] = Slot();
        if (node && !frame.holder.isNull() && node->parent == frame.holder.node()) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
    }

    // The reading order up to the children is the written order: shape,
    // picture, layout mode, sound, reference method, linked graphics, text
    // area, the loading notification, enclosed graphics, branch number,
    // connection, attached texts. Applies them from the frame's cursor up to
    // `end`, collected or missing; false when a required child is missing.
    static bool advance(Frame &frame, int end)
    {
        TWMapBranch &b = *frame.branch;
        for (; frame.cursor < end; ++frame.cursor) {
            const int item = frame.cursor;
            if (item != MainGraphic && item != EnclosedTextArea && item != BranchNumber) {
                apply(frame, item);
                continue;
            }
            if (!frame.seen[item]) {
                qWarning(item == MainGraphic        ? "No Main graphic on this branch"
                         : item == EnclosedTextArea ? "No text area defined for branch"
                                                    : "No branch number defined for branch");
                return false;
            }
            xmlNodePtr node = take(frame, item);
            // A shape or label that is there but cannot be read (a kind this
            // version does not know, a damaged element) is replaced: a
            // branch without one could neither be drawn nor saved readably,
            // and leaving the branch out would lose everything below it.
            if (item == MainGraphic) {
                b.m_mainGraphic = graphicOf(node, &b);
                if (!b.m_mainGraphic) {
                    const StoredGraphic stored = storedGraphicOf(node);
                    b.m_mainGraphic = TWBranchStandIn::shape(b, stored.bounds, stored.number);
                    frame.mended = true;
                    if (!stored.bounds)
                        frame.unplacedShapeNumber = stored.number.value_or(0);
                }
            } else if (item == EnclosedTextArea) {
                std::shared_ptr<TWGraphic> read = graphicOf(node, &b);
                b.m_enclosedTextArea = std::dynamic_pointer_cast<TWTextArea>(read);
                if (!b.m_enclosedTextArea) {
                    if (read) {
                        qWarning().noquote() << "The label of a branch is a" << read->className()
                                             << "- replaced by an empty one";
                        read->detach();
                    }
                    const StoredGraphic stored = storedGraphicOf(node);
                    b.m_enclosedTextArea = TWBranchStandIn::label(b, stored.bounds, stored.number);
                    frame.mended = true;
                }
                // A replaced shape with no place of its own goes around the label.
                if (const std::optional<qint64> number =
                        std::exchange(frame.unplacedShapeNumber, std::nullopt)) {
                    b.m_mainGraphic->detach();
                    b.m_mainGraphic = TWBranchStandIn::shape(
                        b, TWBranchStandIn::aroundLabel(*b.m_enclosedTextArea),
                        *number ? number : std::optional<qint64>());
                }
                NotificationCenter::defaultCenter().post(
                    TWMapsDoc::IncrementLoadingNotification, nullptr,
                    {{TWMapBranch::LoadingTextKey, b.m_enclosedTextArea->text().string()}});
            } else {
                b.setStoredBranchNumber(intOf(node, 0));
            }
            release(frame, item);
            frame.applied.set(item);
        }
        return true;
    }

    static bool build(Frame &frame)
    {
        frame.built = true;
        return advance(frame, Children);
    }

    // Whether the child can be applied now, where the reader holds it: it is
    // next in the reading order but for optional children before it.
    static bool canApplyInPlace(const Frame &frame, int item)
    {
        if (item < frame.cursor || frame.built)
            return true;
        if (item > Children)
            return false;
        for (int required : {MainGraphic, EnclosedTextArea, BranchNumber}) {
            if (required >= frame.cursor && required < item && !frame.seen[required])
                return false;
        }
        return true;
    }

    // A branch below the root without a connection gets the one a new
    // branch would get.
    static void makeConnection(TWMapBranch &b)
    {
        TWMapBranch *parent = b.parent();
        if (!parent || !parent->m_mainGraphic || !b.m_mainGraphic)
            return;
        std::shared_ptr<TWConnectionGraphic> connection;
        if (!parent->parent()) {
            const Rect p = parent->m_mainGraphic->bounds();
            connection = TWTitleConnection::create(
                b.m_mainGraphic, Point(p.x() + p.width() / 2, p.y() + p.height() / 2));
        } else {
            connection = TWChildConnection::create(parent->m_mainGraphic, b.m_mainGraphic);
        }
        connection->setPrimitiveBranch(&b);
        if (TWMap *map = b.map())
            map->addConnectionMadeWhileReading(connection);
        b.m_connectionGraphic = std::move(connection);
    }

    static void addChild(Frame &frame, std::shared_ptr<TWMapBranch> child)
    {
        if (frame.built)
            frame.branch->m_children.append(std::move(child));
        else
            frame.early.append(std::move(child));
    }

    // Builds the branch when it is not yet, then the children read before
    // that, then the settings after the children. Null for a branch that
    // cannot be built.
    static std::shared_ptr<TWMapBranch> finish(Frame &frame)
    {
        if (!frame.built && !frame.failed && !build(frame))
            frame.failed = true;
        if (frame.failed) {
            // The branch goes with what was read below it.
            int lost = 1;
            TWMapBranch::BranchList pending = frame.early + frame.branch->m_children;
            while (!pending.isEmpty()) {
                const std::shared_ptr<TWMapBranch> next = pending.takeLast();
                ++lost;
                pending.append(next->m_children);
            }
            TWBranchReadDamage::noteLeftOut(lost);
            frame.branch->deparent();
            return nullptr;
        }
        if (frame.mended)
            TWBranchReadDamage::noteMended();
        TWMapBranch &b = *frame.branch;
        for (std::shared_ptr<TWMapBranch> &child : frame.early) {
            if (!child->m_connectionGraphic)
                makeConnection(*child);
            b.m_children.append(std::move(child));
        }
        frame.early.clear();
        // What the file left out, and what was collected before the branch
        // was built.
        for (int item = 0; item < ItemCount; ++item) {
            if (item != Children && !frame.applied[item] &&
                (item > Children || frame.collected[item].node))
                apply(frame, item);
        }
        b.subscribeToNotifications();
        return frame.branch;
    }

    // One child of the element, or the value the branch takes without it.
    static void apply(Frame &frame, int item)
    {
        TWMapBranch &b = *frame.branch;
        xmlNodePtr node = take(frame, item);
        TWMapBranch::Settings &s = b.settings();
        switch (item) {
        case MainGraphic:
            if (node)
                b.m_mainGraphic = graphicOf(node, &b);
            break;
        case EnclosedImage:
            s.enclosedImage = graphicOf(node, &b);
            break;
        case EnclosedImageLayoutMode:
            s.enclosedImageLayoutMode = intOf(node, 0);
            break;
        case SoundFileName:
            s.soundFileName = textOf(node);
            break;
        case SoundFileReferenceMethod:
            s.soundFileReferenceMethod = intOf(node, 0);
            break;
        case LinkedGraphics:
            for (xmlNodePtr linked : itemsOf(node, "linkedGraphic")) {
                if (std::shared_ptr<TWGraphic> graphic = graphicOf(linked, &b))
                    b.m_linkedGraphics.append(std::move(graphic));
            }
            break;
        case EnclosedTextArea:
            if (node)
                b.m_enclosedTextArea = std::dynamic_pointer_cast<TWTextArea>(graphicOf(node, &b));
            break;
        case OtherEnclosedGraphics:
            for (xmlNodePtr enclosed : itemsOf(node, "otherEnclosedGraphic")) {
                if (auto graphic = TWEnclosedGraphic::initWithXMLNode(enclosed, enclosed->doc, &b))
                    b.m_otherEnclosedGraphics.append(std::move(graphic));
            }
            break;
        case BranchNumber:
            if (node)
                b.setStoredBranchNumber(intOf(node, 0));
            break;
        case ConnectionGraphic:
            // The root has no connection, whatever the file says.
            if (!b.parent())
                break;
            if (node)
                b.m_connectionGraphic =
                    std::dynamic_pointer_cast<TWConnectionGraphic>(graphicOf(node, &b));
            else
                makeConnection(b);
            break;
        case AttachedTextArray:
            for (xmlNodePtr entry : itemsOf(node, "item")) {
                if (auto text = TWAttachedText::initWithXMLNode(entry, entry->doc, b.undoManager()))
                    s.attachedTextArray.append(std::move(text));
            }
            break;
        case TextMaxWidthSet:
            b.m_flags.textMaxWidthSet = boolOf(node, false);
            break;
        case TextMaxWidth:
            s.textMaxWidth = floatOf(node, 50);
            break;
        case Hyperlinks:
            for (xmlNodePtr entry : itemsOf(node, "hyperlink")) {
                if (auto link = TWHyperlink::initWithXMLNode(entry, entry->doc))
                    s.hyperlinks.append(std::move(link));
            }
            break;
        case ChildrenHidden:
            b.m_flags.childrenHidden = boolOf(node, false);
            break;
        case ScreenWriterText:
            s.screenWriterText = textOf(node).value_or(QString());
            break;
        case PrintScreenWriterText:
            s.printScreenWriterText = boolOf(node, true);
            break;
        case TextRelativePosition:
            b.m_textRelativePosition = intOf(node, 2);
            break;
        case ExpandedInOutlineView:
            b.m_flags.expandedInOutlineView = boolOf(node, true);
            break;
        case HasBoundary:
            b.m_flags.hasBoundary = boolOf(node, false);
            break;
        case BoundaryLineColor:
            s.boundaryLineColor = colorOf(node);
            break;
        case BoundaryFillColor:
            s.boundaryFillColor = colorOf(node);
            break;
        case BoundaryLineStyle:
            s.boundaryLineStyle = intOf(node, 1);
            break;
        case BoundaryLineWidth:
            s.boundaryLineWidth = floatOf(node, 1);
            break;
        case BoundaryCurveRadius:
            s.boundaryCurveRadius = floatOf(node, 15);
            break;
        case BoundaryCornerStyle:
            s.boundaryCornerStyle = intOf(node, 1);
            break;
        case BoundaryMargin:
            s.boundaryMargin = floatOf(node, 3);
            break;
        case BoundaryInheritsLineColor:
            s.boundaryInheritsLineColor = boolOf(node, true);
            break;
        case BoundaryDrawsFill:
            s.boundaryDrawsFill = boolOf(node, false);
            break;
        case BoundaryDrawsLine:
            s.boundaryDrawsLine = boolOf(node, true);
            break;
        case OverriddenChildRepel:
            s.overriddenChildRepel = floatOf(node, -1);
            break;
        case OverriddenChildSpacing:
            s.overriddenChildSpacing = floatOf(node, -1);
            break;
        case OverriddenChildrenColorMode:
            s.overriddenChildrenColorMode = intOf(node, -1);
            break;
        case OverridesRainbowAngle:
            s.overridesRainbowAngle = boolOf(node, false);
            break;
        case OverriddenRainbowAngle:
            s.overriddenRainbowAngle = floatOf(node, 0);
            break;
        case HideChildrenOutlineNumbers:
            s.hideChildrenOutlineNumbers = boolOf(node, false);
            break;
        case ResetChildrenOutlineNumbers:
            s.resetChildrenOutlineNumbers = boolOf(node, false);
            break;
        case ChildrenOutlineNumberFormatOverride:
            s.childrenOutlineNumberFormatOverride = stringsOf(node);
            break;
        case ChildrenConnectionStyle:
            b.m_childrenConnectionStyle = intOf(node, 4);
            break;
        case ChildrenConnectionSide:
            b.m_childrenConnectionSide = intOf(node, 1);
            break;
        case ShowCheckBox:
            b.m_flags.showCheckBox = boolOf(node, true);
            break;
        case CheckBoxState:
            s.checkBoxState = intOf(node, 0);
            break;
        case Priority:
            s.priority = intOf(node, 1);
            break;
        case StartDate:
            s.startDate = node ? CalendarDate::withXMLNode(node, node->doc) : std::nullopt;
            break;
        case EndDate:
            s.endDate = node ? CalendarDate::withXMLNode(node, node->doc) : std::nullopt;
            break;
        case PercentageComplete:
            s.percentageComplete = floatOf(node, -1);
            break;
        case ResourcesAllocated:
            s.resourcesAllocated = stringsOf(node);
            break;
        case Duration:
            s.duration = floatOf(node, 0);
            break;
        case DurationUnits:
            s.durationUnits = intOf(node, 3);
            break;
        case TrackedChanges:
            for (xmlNodePtr entry : itemsOf(node, "trackedChange")) {
                if (std::optional<TWTrackedChange> change =
                        TWTrackedChange::initWithXMLNode(entry, entry->doc))
                    s.trackedChanges.append(std::make_shared<TWTrackedChange>(std::move(*change)));
            }
            break;
        case TextDistanceFromLeftEnd:
            s.textDistanceFromLeftEnd = floatOf(node, 0);
            break;
        case TextDistanceFromRightEnd:
            s.textDistanceFromRightEnd = floatOf(node, 0);
            break;
        case NeedsMakeNaturalSize: {
            const QString text = textOf(node).value_or(QString()).toUpper();
            b.m_flags.needsMakeNaturalSize = text == u"YES" || text == u"TRUE";
            break;
        }
        case ScreenWriterSelectedRange:
            s.screenWriterSelectedRange = {
                TWAttachedText::rangeValue(floatOf(firstChildNamed(node, "location"), 0)),
                TWAttachedText::rangeValue(floatOf(firstChildNamed(node, "length"), 0))};
            break;
        default:
            break;
        }
        release(frame, item);
        frame.applied.set(item);
    }

    // Reads the branch element the source stands on, its subtree included,
    // without recursion: a tree of any depth needs no more stack than a flat one.
    template <class Source>
    static std::shared_ptr<TWMapBranch> read(Source &source, TWMapBranch *parent, TWMap *map)
    {
        std::vector<Frame> stack(1);
        begin(stack.back(), parent, map);
        bool open = source.enter();
        while (true) {
            Frame &frame = stack.back();
            if (open && frame.inChildren) {
                if (!source.next()) {
                    frame.inChildren = false;
                    continue;
                }
                if (std::string_view(source.name()) != "TWMapBranch") {
                    source.skip();
                    continue;
                }
                TWMapBranch *branch = frame.branch.get();
                stack.emplace_back();
                begin(stack.back(), branch, map);
                open = source.enter();
                continue;
            }
            if (open && source.next()) {
                const int item = itemForName(source.name());
                if (item == Children) {
                    if (frame.childrenSeen) {
                        source.skip();
                        continue;
                    }
                    frame.childrenSeen = true;
                    // In the written order the branch is complete here, so
                    // it is built (and announced) before its children.
                    if (!frame.built && !frame.failed && frame.seen[MainGraphic] &&
                        frame.seen[EnclosedTextArea] && frame.seen[BranchNumber] && !build(frame))
                        frame.failed = true;
                    frame.inChildren = source.enter();
                    continue;
                }
                if (item < 0 || frame.seen[item]) {
                    source.skip(); // unknown children and repeats: the first one counts
                    continue;
                }
                frame.seen.set(item);
                // In the written order each child comes at its turn and is
                // applied where the reader holds it, uncopied; others wait.
                if (!frame.built && !frame.failed && item > Children && frame.seen[MainGraphic] &&
                    frame.seen[EnclosedTextArea] && frame.seen[BranchNumber] && !build(frame))
                    frame.failed = true;
                // A branch that is left out needs nothing more of its element.
                if (frame.failed) {
                    source.skip();
                    continue;
                }
                if (!canApplyInPlace(frame, item)) {
                    frame.collected[item] = source.take(frame.holder);
                    continue;
                }
                // Valid only until the reader moves on: the slot never outlives skip().
                frame.collected[item].node = source.peek();
                if (item < frame.cursor || item > Children) {
                    apply(frame, item);
                } else if (!advance(frame, item + 1)) {
                    frame.failed = true;
                } else if (frame.cursor == Children) {
                    frame.built = true;
                }
                frame.collected[item] = Slot();
                source.skip();
                continue;
            }
            // The element is done.
            std::shared_ptr<TWMapBranch> branch = finish(frame);
            stack.pop_back();
            if (stack.empty())
                return branch;
            if (branch)
                addChild(stack.back(), std::move(branch));
            open = true;
        }
    }
};

// --- the text of a large tree, in pieces ---

namespace {

// A piece of a tree's text: a whole subtree, or a branch's element up to
// its children (the head) or after them (the tail).
struct Piece
{
    enum Kind { Subtree, Head, Tail };
    Piece(Kind k, TWMapBranch *b, XMLStreamWriter::OpenElements at, qsizetype n = 1,
          qsizetype i = 0)
        : kind(k), branch(b), count(n), index(i), open(std::move(at))
    {}
    Kind kind;
    TWMapBranch *branch;
    // Subtrees: this branch's and those of the siblings after it, the
    // branch being its parent's child at `index` when there are several.
    qsizetype count;
    qsizetype index;
    XMLStreamWriter::OpenElements open; // where the piece's text goes
    QList<QByteArray> text;             // in blocks
    bool written = false;
    bool failed = false;
    bool tooDeep = false;
};

// The text of pieces is held in blocks of one size, used again once
// joined, so that what a save holds stays bounded and is given back whole.
constexpr qsizetype pieceBlockSize = 64 * 1024;

} // namespace

TWMapBranch::TextPieces &TWMapBranch::textPieces()
{
    static TextPieces sizes;
    return sizes;
}

bool TWMapBranchElement::writeInPieces(TWMapBranch &root, XMLStreamWriter &writer, bool embed)
{
    const int threads = int(ForkJoinThreads::machineParts()) - 1;
    if (threads < 1)
        return false;
    // Sizes of subtrees, in the order of a walk that lists a branch after
    // its children; numbers handed down are taken up on the way, and number
    // labels waiting for their text get it once every number has moved on
    // (a label's size goes with its number to the branch that takes it,
    // usually one further on in the tree).
    QHash<const TWMapBranch *, int> sizes;
    std::vector<TWMapBranch *> all;
    {
        std::vector<std::pair<TWMapBranch *, qsizetype>> stack{{&root, 0}};
        root.outlineNumberLabelPending();
        all.push_back(&root);
        while (!stack.empty()) {
            auto &[b, next] = stack.back();
            if (next < b->m_children.size()) {
                TWMapBranch *child = b->m_children.at(next++).get();
                child->outlineNumberLabelPending();
                all.push_back(child);
                stack.emplace_back(child, 0);
                continue;
            }
            int size = 1;
            for (const auto &child : std::as_const(b->m_children))
                size += sizes.value(child.get());
            sizes.insert(b, size);
            stack.pop_back();
        }
    }
    for (TWMapBranch *b : all)
        b->materializeOutlineNumberLabel();
    const TWMapBranch::TextPieces limits = TWMapBranch::textPieces();
    if (sizes.value(&root) < limits.smallestTree)
        return false;

    // The pieces in the order of the text, each knowing where it goes.
    std::vector<Piece> pieces;
    XMLStreamWriter::OpenElements open = writer.openElements();
    const auto opened = [&open] {
        if (!open.isEmpty())
            open.last().hasChildren = true;
    };
    {
        struct Step
        {
            TWMapBranch *branch;
            bool tail;
            qsizetype count; // siblings written together, from this one on
            qsizetype index; // in its parent's children
        };
        std::vector<Step> steps{{&root, false, 1, 0}};
        std::vector<Step> runs;
        while (!steps.empty()) {
            const Step step = steps.back();
            steps.pop_back();
            TWMapBranch *b = step.branch;
            if (step.tail) {
                pieces.emplace_back(Piece::Tail, b, open);
                open.removeLast(); // children
                open.removeLast(); // the branch
                continue;
            }
            if (step.count > 1 || b->m_children.isEmpty() ||
                sizes.value(b) <= limits.branchesInPiece) {
                pieces.emplace_back(Piece::Subtree, b, open, step.count, step.index);
                opened();
                continue;
            }
            pieces.emplace_back(Piece::Head, b, open);
            opened();
            open.append({QByteArrayLiteral("TWMapBranch"), true});
            open.append({QByteArrayLiteral("children"), false});
            steps.push_back({b, true, 1, 0});
            // Small subtrees side by side go in one piece: a branch of
            // thousands of leaves would otherwise make a piece of each.
            runs.clear();
            const qsizetype children = b->m_children.size();
            for (qsizetype i = 0; i < children;) {
                int size = sizes.value(b->m_children.at(i).get());
                qsizetype count = 1;
                while (size <= limits.branchesInPiece && i + count < children) {
                    const int next = sizes.value(b->m_children.at(i + count).get());
                    if (size + next > limits.branchesInPiece)
                        break;
                    size += next;
                    ++count;
                }
                runs.push_back({b->m_children.at(i).get(), false, count, i});
                i += count;
            }
            steps.insert(steps.end(), runs.rbegin(), runs.rend());
        }
    }

    // Workers write pieces a bounded way ahead of the joining; each waits
    // for room, the joining for the next piece, and blocks are handed back
    // a piece's worth at a time, so that the threads seldom meet.
    const std::size_t ahead = std::size_t(2 * threads);
    std::mutex mutex;
    std::condition_variable room, ready;
    std::size_t next = 0, joined = 0;
    bool stop = false;
    QList<QByteArray> spare; // blocks joined, to be filled again
    const auto work = [&] {
        QList<QByteArray> text, mine;
        const auto block = [&] {
            if (mine.isEmpty()) {
                const std::lock_guard lock(mutex);
                const qsizetype taken = std::min<qsizetype>(spare.size(), 16);
                for (qsizetype i = 0; i < taken; ++i)
                    mine.append(spare.takeLast());
            }
            if (!mine.isEmpty())
                return mine.takeLast();
            QByteArray fresh;
            fresh.reserve(pieceBlockSize);
            return fresh;
        };
        XMLStreamWriter part(
            [&](const char *data, qint64 size) {
                while (size > 0) {
                    if (text.isEmpty() || text.last().size() == pieceBlockSize)
                        text.append(block());
                    QByteArray &last = text.last();
                    const qsizetype n =
                        std::min<qsizetype>(qsizetype(size), pieceBlockSize - last.size());
                    last.append(data, n);
                    data += n;
                    size -= n;
                }
                return true;
            },
            pieceBlockSize);
        part.setIndented(writer.indented());
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex);
                room.wait(lock, [&] {
                    return stop || next >= pieces.size() || next < joined + ahead;
                });
                if (stop || next >= pieces.size())
                    return;
                index = next++;
            }
            Piece &piece = pieces[index];
            part.resumeInside(piece.open);
            {
                XMLStreamOut out(part);
                TWMapBranch &b = *piece.branch;
                switch (piece.kind) {
                case Piece::Subtree:
                    if (piece.count == 1) {
                        b.writeXml(out, embed);
                        break;
                    }
                    // Siblings: the piece's first and those after it.
                    for (qsizetype i = 0; i < piece.count; ++i)
                        b.parent()->m_children.at(piece.index + i)->writeXml(out, embed);
                    break;
                case Piece::Head:
                    out.startElement("TWMapBranch");
                    writeItems(b, out, 0, Children, embed);
                    out.startElement("children");
                    break;
                case Piece::Tail:
                    out.endElement();
                    writeItems(b, out, Children + 1, ItemCount, embed);
                    out.endElement();
                    break;
                }
            }
            const bool failed = !part.flushPiece();
            {
                const std::lock_guard lock(mutex);
                piece.text = std::exchange(text, {});
                piece.failed = failed;
                piece.tooDeep = part.tooDeep();
                piece.written = true;
                // Once failed, the joining stops at this piece.
                stop = stop || failed;
            }
            ready.notify_one();
            if (failed) {
                room.notify_all();
                return;
            }
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(std::size_t(threads));
    for (int i = 0; i < threads; ++i)
        workers.emplace_back(work);
    QList<QByteArray> returned;
    for (Piece &piece : pieces) {
        QList<QByteArray> text;
        {
            std::unique_lock lock(mutex);
            spare.append(std::exchange(returned, {}));
            ready.wait(lock, [&piece] { return piece.written; });
            text = std::move(piece.text);
            ++joined;
        }
        room.notify_one();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool last = i + 1 == text.size();
            writer.appendPiece(text.at(i), last && piece.failed, last && piece.tooDeep);
        }
        if (text.isEmpty())
            writer.appendPiece({}, piece.failed, piece.tooDeep);
        for (QByteArray &used : text) {
            // A block the digest still reads is left to it.
            used.resize(0);
            if (used.capacity() >= pieceBlockSize)
                returned.append(std::move(used));
        }
        if (writer.failed())
            break;
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
    }
    room.notify_all();
    for (std::thread &worker : workers)
        worker.join();
    writer.resumeInside(std::move(open));
    return true;
}

// --- TWMapBranch ---

xmlNodePtr TWMapBranch::addXmlDataToNode(xmlNodePtr parent, bool embeddingBinaryData)
{
    if (!parent)
        return nullptr;
    XMLNodeOut out(parent);
    writeXml(out, embeddingBinaryData);
    return out.lastElement();
}

bool TWMapBranch::writeXML(XMLStreamWriter &writer, bool embeddingBinaryData)
{
    if (TWMapBranchElement::writeInPieces(*this, writer, embeddingBinaryData))
        return !writer.failed();
    XMLStreamOut out(writer);
    writeXml(out, embeddingBinaryData);
    return !writer.failed();
}

void TWMapBranch::writeXml(XMLOut &out, bool embeddingBinaryData)
{
    // Without recursion: a tree of any depth needs no more stack than a flat one.
    struct Open
    {
        TWMapBranch *branch;
        qsizetype next;
    };
    const auto open = [&](TWMapBranch &b) {
        b.materializeOutlineNumberLabel();
        out.startElement("TWMapBranch");
        TWMapBranchElement::writeItems(b, out, 0, Children, embeddingBinaryData);
        if (!b.m_children.isEmpty())
            out.startElement("children");
        return Open{&b, 0};
    };
    std::vector<Open> stack{open(*this)};
    while (!stack.empty() && !out.failed()) {
        Open &top = stack.back();
        if (top.next < top.branch->m_children.size()) {
            TWMapBranch &child = *top.branch->m_children.at(top.next++);
            stack.push_back(open(child));
            continue;
        }
        if (!top.branch->m_children.isEmpty())
            out.endElement();
        TWMapBranchElement::writeItems(*top.branch, out, Children + 1, ItemCount,
                                       embeddingBinaryData);
        out.endElement();
        stack.pop_back();
    }
}

std::shared_ptr<TWMapBranch> TWMapBranch::initWithXMLNode(xmlNodePtr node, xmlDocPtr,
                                                          TWMapBranch *parent, TWMap *map)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return nullptr;
    TreeSource source(node);
    return TWMapBranchElement::read(source, parent, map);
}

std::shared_ptr<TWMapBranch> TWMapBranch::createWithXMLReader(ContentsXMLReader &reader,
                                                              TWMapBranch *parent, TWMap *map)
{
    StreamSource source(reader);
    return TWMapBranchElement::read(source, parent, map);
}
