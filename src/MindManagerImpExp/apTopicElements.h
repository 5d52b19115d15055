#pragma once

#include "MindManagerImpExp/MMElementTables.h"
#include "MindManagerImpExp/corElements.h"

// The skeleton of a map below the map element: topics and their lists, the
// per-view groups, position, layout, shapes, boundaries, colour and lines.
// Each class is a table in apTopicElements.cpp; accessors exist for what the
// converters read and write.

class apTopic : public corObject
{
    MM_ELEMENT_CLASS(apTopic, corObject)

    MM_CHILD_FIELD(MMXMLBaseObject, subTopics, setSubTopics, "subTopics")
    MM_CHILD_FIELD(MMXMLBaseObject, floatingTopics, setFloatingTopics, "floatingTopics")
    MM_CHILD_FIELD(MMXMLBaseObject, oneBoundary, setOneBoundary, "oneBoundary")
    MM_CHILD_FIELD(MMXMLBaseObject, oneImage, setOneImage, "oneImage")
    MM_LIST_FIELD(topicViewGroups, setTopicViewGroups, "topicViewGroups")
    MM_CHILD_FIELD(MMXMLBaseObject, text, setText, "text")
    MM_CHILD_FIELD(MMXMLBaseObject, color, setColor, "color")
    MM_CHILD_FIELD(MMXMLBaseObject, notesGroup, setNotesGroup, "notesGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, offset, setOffset, "offset")
    MM_CHILD_FIELD(MMXMLBaseObject, iconsGroup, setIconsGroup, "iconsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, subTopicShape, setSubTopicShape, "subTopicShape")
    MM_CHILD_FIELD(MMXMLBaseObject, topicLayout, setTopicLayout, "topicLayout")
    MM_CHILD_FIELD(MMXMLBaseObject, subTopicsShape, setSubTopicsShape, "subTopicsShape")
    MM_CHILD_FIELD(MMXMLBaseObject, hyperlink, setHyperlink, "hyperlink")
    MM_CHILD_FIELD(MMXMLBaseObject, task, setTask, "task")
};

class apTopics : public corObjects
{
    MM_ELEMENT_CLASS(apTopics, corObjects)

    MM_LIST_FIELD(topics, setTopics, "topics")
};

class apSubTopics : public apTopics
{
    MM_ELEMENT_CLASS(apSubTopics, apTopics)
};

class apFloatingTopics : public apTopics
{
    MM_ELEMENT_CLASS(apFloatingTopics, apTopics)
};

class apViewGroup : public corGroup
{
    MM_ELEMENT_CLASS(apViewGroup, corGroup)

    MM_INT_FIELD(viewIndex, setViewIndex, "viewIndex")
};

class apTopicViewGroup : public apViewGroup
{
    MM_ELEMENT_CLASS(apTopicViewGroup, apViewGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, collapsed, setCollapsed, "collapsed")
};

class apBoundaryViewGroup : public apViewGroup
{
    MM_ELEMENT_CLASS(apBoundaryViewGroup, apViewGroup)
};

class apImageViewGroup : public apViewGroup
{
    MM_ELEMENT_CLASS(apImageViewGroup, apViewGroup)
};

class apInkSketchViewGroup : public apViewGroup
{
    MM_ELEMENT_CLASS(apInkSketchViewGroup, apViewGroup)
};

class apCollapsed : public corValue
{
    MM_ELEMENT_CLASS(apCollapsed, corValue)

    MM_BOOL_FIELD(collapsed, setCollapsed, "collapsed")
};

class apVisibility : public corValue
{
    MM_ELEMENT_CLASS(apVisibility, corValue)
};

class apSubTopicsVisibility : public corValue
{
    MM_ELEMENT_CLASS(apSubTopicsVisibility, corValue)
};

// Millimetres from the parent topic.
class apOffset : public corValue
{
    MM_ELEMENT_CLASS(apOffset, corValue)

    MM_FLOAT_FIELD(CX, setCX, "CX")
    MM_FLOAT_FIELD(CY, setCY, "CY")
};

class apTopicLayout : public corValue
{
    MM_ELEMENT_CLASS(apTopicLayout, corValue)

    MM_FLOAT_FIELD(width, setWidth, "width")
    MM_FLOAT_FIELD(minimumHeight, setMinimumHeight, "minimumHeight")
};

class apSubTopicsShape : public corValue
{
    MM_ELEMENT_CLASS(apSubTopicsShape, corValue)

    MM_STRING_FIELD(subTopicsShape, setSubTopicsShape, "subTopicsShape")
    MM_STRING_FIELD(subTopicsConnectionStyle, setSubTopicsConnectionStyle,
                    "subTopicsConnectionStyle")
};

// Binary picture data with its type urn.
class apImageData : public corBinaryData
{
    MM_ELEMENT_CLASS(apImageData, corBinaryData)

    MM_STRING_FIELD(imageType, setImageType, "imageType")
};

class apTopicShape : public apImageData
{
    MM_ELEMENT_CLASS(apTopicShape, apImageData)
};

class apSubTopicShape : public apTopicShape
{
    MM_ELEMENT_CLASS(apSubTopicShape, apTopicShape)

    MM_STRING_FIELD(subTopicShape, setSubTopicShape, "subTopicShape")
};

class apLabelFloatingTopicShape : public apTopicShape
{
    MM_ELEMENT_CLASS(apLabelFloatingTopicShape, apTopicShape)
};

class apCalloutFloatingTopicShape : public apTopicShape
{
    MM_ELEMENT_CLASS(apCalloutFloatingTopicShape, apTopicShape)
};

class apOneBoundary : public corOneObject
{
    MM_ELEMENT_CLASS(apOneBoundary, corOneObject)

    MM_CHILD_FIELD(MMXMLBaseObject, boundary, setBoundary, "boundary")
};

class apBoundary : public corObject
{
    MM_ELEMENT_CLASS(apBoundary, corObject)

    MM_CHILD_FIELD(MMXMLBaseObject, color, setColor, "color")
    MM_CHILD_FIELD(MMXMLBaseObject, lineStyle, setLineStyle, "lineStyle")
    MM_CHILD_FIELD(MMXMLBaseObject, boundaryShape, setBoundaryShape, "boundaryShape")
};

class apBoundaryShape : public corValue
{
    MM_ELEMENT_CLASS(apBoundaryShape, corValue)

    MM_STRING_FIELD(boundaryShape, setBoundaryShape, "boundaryShape")
};

// Colours as eight hex digits AARRGGBB.
class apColor : public corValue
{
    MM_ELEMENT_CLASS(apColor, corValue)

    MM_STRING_FIELD(lineColor, setLineColor, "lineColor")
    MM_STRING_FIELD(fillColor, setFillColor, "fillColor")
};

class apLineStyle : public corValue
{
    MM_ELEMENT_CLASS(apLineStyle, corValue)

    MM_STRING_FIELD(lineDashStyle, setLineDashStyle, "lineDashStyle")
    MM_FLOAT_FIELD(lineWidth, setLineWidth, "lineWidth")
};
