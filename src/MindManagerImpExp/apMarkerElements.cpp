#include "MindManagerImpExp/apMarkerElements.h"

#include "MindManagerImpExp/apDocumentElements.h"

#include <QDebug>

using T = MMValueType;

namespace {

bool hasType(const MMXMLBaseObject &marker, const char *type)
{
    const std::optional<QString> t = marker.string("xsiType");
    return t && *t == QLatin1String(type); // letter case counts
}

bool isStock(const MMXMLBaseObject &marker)
{
    return hasType(marker, MMIconMarkerTypes::kStock);
}

bool isCustom(const MMXMLBaseObject &marker)
{
    return hasType(marker, MMIconMarkerTypes::kCustom);
}

// Unknown types keep the marker with its name only.
bool reportUnknownType(const MMXMLBaseObject &marker)
{
    const std::optional<QString> type = marker.string("xsiType");
    if (type && !isStock(marker) && !isCustom(marker)) {
        qWarning().noquote()
            << QStringLiteral("Error: %1 is not a valid type of ap:IconMarker").arg(*type);
    }
    return !type;
}

void readIconMarker(MMXMLBaseObject &marker, const XMLTree &)
{
    if (reportUnknownType(marker))
        qWarning("Error: no xsi:type found in abstract ap:IconMarker");
}

void writeIconMarker(const MMXMLBaseObject &marker, XMLTree &)
{
    if (reportUnknownType(marker))
        qWarning("Error: no xsi:type found when writing abstract ap:IconMarker");
}

} // namespace

MM_TABLE_BEGIN(apMarkersSet)
static const MMChildRule children[] = {
    {"markersSetGroup", "ap:MarkersSetGroup", &apMarkersSetGroup::staticClass},
    {"documentGroup", "ap:DocumentGroup", &apDocumentGroup::staticClass},
};
MM_TABLE_END(apMarkersSet, "ap:MarkersSet", corObject, {}, children)

MM_TABLE_BEGIN(apMarkersSetGroup)
static const MMChildRule children[] = {
    {"iconMarkersSets", "ap:IconMarkersSets", &apIconMarkersSets::staticClass},
    {"iconMarkersName", "ap:IconMarkersName", &apIconMarkersName::staticClass},
    {"iconMarkers", "ap:IconMarkers", &apIconMarkers::staticClass},
    {"fillColorMarkersName", "ap:FillColorMarkersName", &apFillColorMarkersName::staticClass},
    {"fillColorMarkers", "ap:FillColorMarkers", &apFillColorMarkers::staticClass},
    {"textColorMarkersName", "ap:TextColorMarkersName", &apTextColorMarkersName::staticClass},
    {"textColorMarkers", "ap:TextColorMarkers", &apTextColorMarkers::staticClass},
    {"taskPercentageMarkersName", "ap:TaskPercentageMarkersName",
     &apTaskPercentageMarkersName::staticClass},
    {"taskPercentageMarkers", "ap:TaskPercentageMarkers", &apTaskPercentageMarkers::staticClass},
    {"taskPriorityMarkersName", "ap:TaskPriorityMarkersName",
     &apTaskPriorityMarkersName::staticClass},
    {"taskPriorityMarkers", "ap:TaskPriorityMarkers", &apTaskPriorityMarkers::staticClass},
    {"taskCategoryMarkersName", "ap:TaskCategoryMarkersName",
     &apTaskCategoryMarkersName::staticClass},
    {"taskCategoryMarkers", "ap:TaskCategoryMarkers", &apTaskCategoryMarkers::staticClass},
    {"taskResourceMarkersName", "ap:TaskResourceMarkersName",
     &apTaskResourceMarkersName::staticClass},
    {"taskResourceMarkers", "ap:TaskResourceMarkers", &apTaskResourceMarkers::staticClass},
};
MM_TABLE_END(apMarkersSetGroup, "ap:MarkersSetGroup", corGroup, {}, children)

MM_TABLE_BEGIN(apIconMarkersSets)
static const MMChildRule children[] = {
    {"iconMarkerSets", "ap:IconMarkersSet", &apIconMarkersSet::staticClass, true}};
MM_TABLE_END(apIconMarkersSets, "ap:IconMarkersSets", corObjects, {}, children)

MM_TABLE_BEGIN(apIconMarkersSet)
static const MMChildRule children[] = {
    {"name", "ap:Name", &apName::staticClass},
    {"iconMarkers", "ap:IconMarkers", &apIconMarkers::staticClass},
};
MM_TABLE_END(apIconMarkersSet, "ap:IconMarkersSet", corObject, {}, children)

MM_TABLE_BEGIN(apMarker)
static const MMChildRule children[] = {{"name", "ap:Name", &apName::staticClass}};
MM_TABLE_END(apMarker, "ap:Marker", corObject, {}, children)

MM_TABLE_BEGIN(apName)
static const MMFieldRule fields[] = {{"name", "Name", T::String}};
MM_TABLE_END(apName, "ap:Name", corValue, fields, {})

MM_TABLE_BEGIN(apIconMarker)
static const MMFieldRule fields[] = {{"xsiType", "xsi:type", T::String}};
static const MMChildRule children[] = {
    {"oneStockIcon", "ap:OneStockIcon", &apOneStockIcon::staticClass, false, &isStock},
    {"oneCustomIcon", "ap:OneCustomIcon", &apOneCustomIcon::staticClass, false, &isCustom},
    {"customIconImageData", "ap:CustomIconImageData", &apCustomIconImageData::staticClass, false,
     &isCustom},
};
MM_TABLE_END_HOOKS(apIconMarker, "ap:IconMarker", apMarker, fields, children, &readIconMarker,
                   nullptr, &writeIconMarker)

MM_TABLE_BEGIN(apOneStockIcon)
static const MMFieldRule fields[] = {{"iconType", "IconType", T::String}};
MM_TABLE_END(apOneStockIcon, "ap:OneStockIcon", corValue, fields, {})

MM_TABLE_BEGIN(apOneCustomIcon)
static const MMFieldRule fields[] = {{"iconSignature", "IconSignature", T::String}};
MM_TABLE_END(apOneCustomIcon, "ap:OneCustomIcon", corValue, fields, {})

MM_TABLE_BEGIN(apFillColor)
static const MMFieldRule fields[] = {{"fillColor", "FillColor", T::String}};
MM_TABLE_END(apFillColor, "ap:FillColor", corValue, fields, {})

MM_TABLE_BEGIN(apTextColor)
static const MMFieldRule fields[] = {{"textColor", "TextColor", T::String}};
MM_TABLE_END(apTextColor, "ap:TextColor", corValue, fields, {})

MM_TABLE_BEGIN(apTaskPercentage)
static const MMFieldRule fields[] = {{"taskPercentage", "TaskPercentage", T::IntNumber}};
MM_TABLE_END(apTaskPercentage, "ap:TaskPercentage", corValue, fields, {})

MM_TABLE_BEGIN(apTaskPriority)
static const MMFieldRule fields[] = {{"taskPriority", "TaskPriority", T::String}};
MM_TABLE_END(apTaskPriority, "ap:TaskPriority", corValue, fields, {})

#define MM_MARKER(Class, Element, Field, ChildElement, ChildClass)                                 \
    MM_TABLE_BEGIN(Class)                                                                          \
    static const MMChildRule children[] = {{Field, ChildElement, &ChildClass::staticClass}};       \
    MM_TABLE_END(Class, Element, apMarker, {}, children)
MM_MARKER(apFillColorMarker, "ap:FillColorMarker", "fillColor", "ap:FillColor", apFillColor)
MM_MARKER(apTextColorMarker, "ap:TextColorMarker", "textColor", "ap:TextColor", apTextColor)
MM_MARKER(apTaskPercentageMarker, "ap:TaskPercentageMarker", "taskPercentage", "ap:TaskPercentage",
          apTaskPercentage)
MM_MARKER(apTaskPriorityMarker, "ap:TaskPriorityMarker", "taskPriority", "ap:TaskPriority",
          apTaskPriority)
#undef MM_MARKER
MM_RENAME(apTaskCategoryMarker, "ap:TaskCategoryMarker", apMarker)
MM_RENAME(apTaskResourceMarker, "ap:TaskResourceMarker", apMarker)

#define MM_MARKER_LIST(Class, Element, Field, MemberElement, MemberClass)                          \
    MM_TABLE_BEGIN(Class)                                                                          \
    static const MMChildRule children[] = {                                                        \
        {Field, MemberElement, &MemberClass::staticClass, true}};                                  \
    MM_TABLE_END(Class, Element, corObjects, {}, children)
MM_MARKER_LIST(apIconMarkers, "ap:IconMarkers", "iconMarkers", "ap:IconMarker", apIconMarker)
MM_MARKER_LIST(apFillColorMarkers, "ap:FillColorMarkers", "fillColorMarkers", "ap:FillColorMarker",
               apFillColorMarker)
MM_MARKER_LIST(apTextColorMarkers, "ap:TextColorMarkers", "textColorMarkers", "ap:TextColorMarker",
               apTextColorMarker)
MM_MARKER_LIST(apTaskPercentageMarkers, "ap:TaskPercentageMarkers", "taskPercentageMarkers",
               "ap:TaskPercentageMarker", apTaskPercentageMarker)
MM_MARKER_LIST(apTaskPriorityMarkers, "ap:TaskPriorityMarkers", "taskPriorityMarkers",
               "ap:TaskPriorityMarker", apTaskPriorityMarker)
MM_MARKER_LIST(apTaskCategoryMarkers, "ap:TaskCategoryMarkers", "taskCategoryMarkers",
               "ap:TaskCategoryMarker", apTaskCategoryMarker)
MM_MARKER_LIST(apTaskResourceMarkers, "ap:TaskResourceMarkers", "taskResourceMarkers",
               "ap:TaskResourceMarker", apTaskResourceMarker)
#undef MM_MARKER_LIST

MM_RENAME(apIconMarkersName, "ap:IconMarkersName", apName)
MM_RENAME(apFillColorMarkersName, "ap:FillColorMarkersName", apName)
MM_RENAME(apTextColorMarkersName, "ap:TextColorMarkersName", apName)
MM_RENAME(apTaskPercentageMarkersName, "ap:TaskPercentageMarkersName", apName)
MM_RENAME(apTaskPriorityMarkersName, "ap:TaskPriorityMarkersName", apName)
MM_RENAME(apTaskCategoryMarkersName, "ap:TaskCategoryMarkersName", apName)
MM_RENAME(apTaskResourceMarkersName, "ap:TaskResourceMarkersName", apName)
