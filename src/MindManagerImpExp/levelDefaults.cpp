#include "MindManagerImpExp/levelDefaults.h"

#include "MindManagerImpExp/mmConverter.h"
#include "MindManagerImpExp/mmTables.h"

const QMap<int, MMObjectPtr> *levelDefaults::dictionary(int type) const
{
    switch (type) {
    case 0:
    case 3:
        return &m_topics;
    case 1:
        return &m_callouts;
    case 2:
        return &m_labels;
    default:
        return nullptr;
    }
}

void levelDefaults::setDefaultStyle(const MMObjectPtr &group, int type, int level)
{
    if (auto *d = const_cast<QMap<int, MMObjectPtr> *>(dictionary(type)))
        d->insert(level, group);
}

void levelDefaults::clear()
{
    m_topics.clear();
    m_callouts.clear();
    m_labels.clear();
}

MMObjectPtr levelDefaults::getTopicDefaultForType(int type, int level) const
{
    const QMap<int, MMObjectPtr> *d = dictionary(type);
    if (!d || level < 0 || d->isEmpty())
        return nullptr;
    // The greatest registered level not above the one asked.
    auto it = d->upperBound(level);
    if (it == d->begin())
        return nullptr;
    return std::prev(it).value();
}

template <typename T, typename F>
T levelDefaults::walk(int type, int level, T noGroup, T exhausted, F answer) const
{
    for (int lv = level; lv >= 0; --lv) {
        const MMObjectPtr group = getTopicDefaultForType(type, lv);
        if (!group)
            return noGroup;
        if (std::optional<T> value = answer(*group))
            return *value;
    }
    return exhausted;
}

namespace {

// The attribute of a group's child element, when both are there.
std::optional<QString> attribute(const MMXMLBaseObject &group, const char *child, const char *field)
{
    const MMObjectPtr element = group.child(child);
    return element ? element->string(field) : std::nullopt;
}

std::optional<float> number(const MMXMLBaseObject &group, const char *child, const char *field)
{
    const MMObjectPtr element = group.child(child);
    return element ? element->floatNumber(field) : std::nullopt;
}

std::optional<Color> color(const MMXMLBaseObject &group, const char *field)
{
    const std::optional<QString> text = attribute(group, "defaultColor", field);
    if (!text || text->size() != 8)
        return std::nullopt;
    return mmConverter::colorFromString(text);
}

// An enumerated attribute: present and in the table answers; present and
// outside it ends the lookup with the exhausted value.
template <std::size_t N>
std::optional<int> enumerated(const MMXMLBaseObject &group, const char *child, const char *field,
                              const mmTables::UrnCode (&table)[N], int exhausted)
{
    const std::optional<QString> text = attribute(group, child, field);
    if (!text)
        return std::nullopt;
    return mmTables::lookup(table, text).value_or(exhausted);
}

} // namespace

std::optional<Color> levelDefaults::branchColorOfType(int type, int level) const
{
    return walk<std::optional<Color>>(
        type, level, std::nullopt, std::nullopt,
        [](const MMXMLBaseObject &g) -> std::optional<std::optional<Color>> {
            if (std::optional<Color> c = color(g, "fillColor"))
                return c;
            return std::nullopt;
        });
}

std::optional<Color> levelDefaults::lineColorOfType(int type, int level) const
{
    return walk<std::optional<Color>>(
        type, level, std::nullopt, std::nullopt,
        [](const MMXMLBaseObject &g) -> std::optional<std::optional<Color>> {
            if (std::optional<Color> c = color(g, "lineColor"))
                return c;
            return std::nullopt;
        });
}

MMObjectPtr levelDefaults::branchApTextOfType(int type, int level) const
{
    return walk<MMObjectPtr>(type, level, nullptr, nullptr,
                             [](const MMXMLBaseObject &g) -> std::optional<MMObjectPtr> {
                                 if (MMObjectPtr text = g.child("defaultText"))
                                     return text;
                                 return std::nullopt;
                             });
}

std::optional<AttributedString> levelDefaults::branchTextOfType(int type, int level) const
{
    const MMObjectPtr text = branchApTextOfType(type, level);
    return mmConverter::attributedStringFromText(text.get(), nullptr);
}

namespace {

// A shape getter: the element's presence ends the walk.
std::optional<int> shape(const MMXMLBaseObject &g, const char *child, const char *field,
                         int (*convert)(const std::optional<QString> &))
{
    const MMObjectPtr element = g.child(child);
    if (!element)
        return std::nullopt;
    return convert(element->string(field));
}

} // namespace

int levelDefaults::branchShapeOfType(int type, int level) const
{
    return walk<int>(type, level, 1, 1, [](const MMXMLBaseObject &g) {
        return shape(g, "defaultSubTopicShape", "subTopicShape",
                     &mmConverter::graphicShapeFromMMShapeString);
    });
}

int levelDefaults::cornerModeOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 0, [](const MMXMLBaseObject &g) {
        return shape(g, "defaultSubTopicShape", "subTopicShape",
                     &mmConverter::cornerModeFromMMShapeString);
    });
}

int levelDefaults::labelShapeOfType(int type, int level) const
{
    return walk<int>(type, level, 1, 1, [](const MMXMLBaseObject &g) {
        return shape(g, "defaultLabelFloatingTopicShape", "labelFloatingTopicShape",
                     &mmConverter::graphicShapeFromMMShapeString);
    });
}

int levelDefaults::calloutShapeOfType(int type, int level) const
{
    return walk<int>(type, level, 1, 1, [](const MMXMLBaseObject &g) {
        return shape(g, "defaultCalloutFloatingTopicShape", "calloutFloatingTopicShape",
                     &mmConverter::graphicShapeFromMMShapeString);
    });
}

int levelDefaults::resizeAttributeOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 0, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultTopicLayout", "topicWidthControl", mmTables::kResizeAttributes,
                          0);
    });
}

int levelDefaults::branchAndImagePositionOfType(int type, int level) const
{
    return walk<int>(type, level, 2, 3, [](const MMXMLBaseObject &g) -> std::optional<int> {
        const std::optional<QString> text =
            attribute(g, "defaultTopicLayout", "topicTextAndImagePosition");
        if (!text)
            return std::nullopt;
        return mmTables::lookup(mmTables::kTextPositions, text)
            .value_or(mmTables::kTextPositionOther);
    });
}

float levelDefaults::branchWidthOfType(int type, int level) const
{
    return walk<float>(type, level, -1.0f, -1.0f, [](const MMXMLBaseObject &g) {
        return number(g, "defaultTopicLayout", "width");
    });
}

float levelDefaults::minBranchHeightOfType(int type, int level) const
{
    return walk<float>(type, level, 0.0f, 12.0f, [](const MMXMLBaseObject &g) {
        return number(g, "defaultTopicLayout", "minimumHeight");
    });
}

int levelDefaults::branchVerticalAlignmentOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 2, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultTopicLayout", "topicLayoutVerticalAlignment",
                          mmTables::kBranchVerticalAlignments, 2);
    });
}

int levelDefaults::branchHorizontalAlignmentOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 1, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultTopicLayout", "topicLayoutHorizontalAlignment",
                          mmTables::kBranchHorizontalAlignments, 1);
    });
}

float levelDefaults::branchPaddingOfType(int type, int level) const
{
    return walk<float>(type, level, 0.0f, 0.0f, [](const MMXMLBaseObject &g) {
        return number(g, "defaultTopicLayout", "padding");
    });
}

int levelDefaults::childrenVerticalAlignmentOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 0, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultSubTopicsShape", "subTopicsAlignment",
                          mmTables::kChildrenVerticalAlignments, 0);
    });
}

int levelDefaults::childrenHorizontalAlignmentOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 0, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultSubTopicsShape", "subTopicsShape",
                          mmTables::kChildrenHorizontalAlignments, 0);
    });
}

int levelDefaults::subBranchConnectionPointOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 0, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultSubTopicsShape", "subTopicsConnectionPoint",
                          mmTables::kConnectionPoints, 0);
    });
}

int levelDefaults::subBranchConnectionStyleOfType(int type, int level) const
{
    return walk<int>(type, level, 0, 2, [](const MMXMLBaseObject &g) {
        return enumerated(g, "defaultSubTopicsShape", "subTopicsConnectionStyle",
                          mmTables::kDefaultConnectionStyles, 2);
    });
}

bool levelDefaults::subBranchStructureVisibleOfType(int type, int level) const
{
    return walk<bool>(type, level, false, true,
                      [](const MMXMLBaseObject &g) -> std::optional<bool> {
                          const std::optional<QString> text =
                              attribute(g, "defaultSubTopicsShape", "subTopicsStructureVisible");
                          if (!text)
                              return std::nullopt;
                          return *text != QLatin1String("false");
                      });
}

float levelDefaults::distanceFromParentOfType(int type, int level) const
{
    return walk<float>(type, level, 0.0f, 10.0f, [](const MMXMLBaseObject &g) {
        return number(g, "defaultSubTopicsShape", "distanceFromParent");
    });
}

float levelDefaults::distanceBetweenSiblingsOfType(int type, int level) const
{
    return walk<float>(type, level, 0.0f, 4.0f, [](const MMXMLBaseObject &g) {
        return number(g, "defaultSubTopicsShape", "distanceBetweenSiblings");
    });
}

float levelDefaults::subBranchWidthFactorOfType(int type, int level) const
{
    return walk<float>(type, level, 0.0f, 10.0f, [](const MMXMLBaseObject &g) {
        return number(g, "defaultSubTopicsShape", "subTopicsShapeWidthFactor");
    });
}

bool levelDefaults::subBranchesHiddenOfType(int type, int level) const
{
    return walk<bool>(type, level, false, false,
                      [](const MMXMLBaseObject &g) -> std::optional<bool> {
                          const MMObjectPtr element = g.child("defaultSubTopicsVisibility");
                          if (!element)
                              return std::nullopt;
                          return element->boolValue("hidden");
                      });
}
