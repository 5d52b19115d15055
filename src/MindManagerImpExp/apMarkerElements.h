#pragma once

#include "MindManagerImpExp/apContentElements.h"

// The markers a map's topics may carry: icon marker sets and, per kind of
// marker, a list name and a list. Tables in apMarkerElements.cpp.

class apMarkersSet : public corObject
{
    MM_ELEMENT_CLASS(apMarkersSet, corObject)
};

class apMarkersSetGroup : public corGroup
{
    MM_ELEMENT_CLASS(apMarkersSetGroup, corGroup)
};

class apName : public corValue
{
    MM_ELEMENT_CLASS(apName, corValue)

    MM_STRING_FIELD(name, setName, "name")
};

class apMarker : public corObject
{
    MM_ELEMENT_CLASS(apMarker, corObject)

    MM_CHILD_FIELD(apName, name, setName, "name")
};

// A stock or a custom icon marker, told apart by xsi:type.
class apIconMarker : public apMarker
{
    MM_ELEMENT_CLASS(apIconMarker, apMarker)

    MM_STRING_FIELD(xsiType, setXsiType, "xsiType")
};

class apIconMarkersSets : public corObjects
{
    MM_ELEMENT_CLASS(apIconMarkersSets, corObjects)
};

class apIconMarkersSet : public corObject
{
    MM_ELEMENT_CLASS(apIconMarkersSet, corObject)
};

class apOneStockIcon : public corValue
{
    MM_ELEMENT_CLASS(apOneStockIcon, corValue)
};

class apOneCustomIcon : public corValue
{
    MM_ELEMENT_CLASS(apOneCustomIcon, corValue)
};

class apFillColor : public corValue
{
    MM_ELEMENT_CLASS(apFillColor, corValue)
};

class apTextColor : public corValue
{
    MM_ELEMENT_CLASS(apTextColor, corValue)
};

class apTaskPercentage : public corValue
{
    MM_ELEMENT_CLASS(apTaskPercentage, corValue)
};

class apTaskPriority : public corValue
{
    MM_ELEMENT_CLASS(apTaskPriority, corValue)
};

#define MM_SIMPLE_CLASS(Class, Base)                                                               \
    class Class : public Base                                                                      \
    {                                                                                              \
        MM_ELEMENT_CLASS(Class, Base)                                                              \
    };
// Markers and their lists.
MM_SIMPLE_CLASS(apFillColorMarker, apMarker)
MM_SIMPLE_CLASS(apTextColorMarker, apMarker)
MM_SIMPLE_CLASS(apTaskPercentageMarker, apMarker)
MM_SIMPLE_CLASS(apTaskPriorityMarker, apMarker)
MM_SIMPLE_CLASS(apTaskCategoryMarker, apMarker)
MM_SIMPLE_CLASS(apTaskResourceMarker, apMarker)
MM_SIMPLE_CLASS(apIconMarkers, corObjects)
MM_SIMPLE_CLASS(apFillColorMarkers, corObjects)
MM_SIMPLE_CLASS(apTextColorMarkers, corObjects)
MM_SIMPLE_CLASS(apTaskPercentageMarkers, corObjects)
MM_SIMPLE_CLASS(apTaskPriorityMarkers, corObjects)
MM_SIMPLE_CLASS(apTaskCategoryMarkers, corObjects)
MM_SIMPLE_CLASS(apTaskResourceMarkers, corObjects)
// List names: the content of ap:Name under another element name.
MM_SIMPLE_CLASS(apIconMarkersName, apName)
MM_SIMPLE_CLASS(apFillColorMarkersName, apName)
MM_SIMPLE_CLASS(apTextColorMarkersName, apName)
MM_SIMPLE_CLASS(apTaskPercentageMarkersName, apName)
MM_SIMPLE_CLASS(apTaskPriorityMarkersName, apName)
MM_SIMPLE_CLASS(apTaskCategoryMarkersName, apName)
MM_SIMPLE_CLASS(apTaskResourceMarkersName, apName)
#undef MM_SIMPLE_CLASS

namespace MMIconMarkerTypes {
inline constexpr char kStock[] = "ap:StockIconMarker";
inline constexpr char kCustom[] = "ap:CustomIconMarker";
} // namespace MMIconMarkerTypes
