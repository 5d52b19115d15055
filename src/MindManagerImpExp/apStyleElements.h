#pragma once

#include "MindManagerImpExp/apContentElements.h"

// The map's style: per-kind and per-level topic defaults, relationship,
// boundary and image defaults, and the map-wide settings. Tables in
// apStyleElements.cpp.

class apConnectionStyle : public corValue
{
    MM_ELEMENT_CLASS(apConnectionStyle, corValue)

    MM_STRING_FIELD(connectionShape, setConnectionShape, "connectionShape")
};

class apStyle : public corObject
{
    MM_ELEMENT_CLASS(apStyle, corObject)
};

class apStyleGroup : public corGroup
{
    MM_ELEMENT_CLASS(apStyleGroup, corGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, rootTopicDefaultsGroup, setRootTopicDefaultsGroup,
                   "rootTopicDefaultsGroup")
    MM_LIST_FIELD(rootSubTopicDefaultsGroup, setRootSubTopicDefaultsGroup,
                  "rootSubTopicDefaultsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, calloutTopicDefaultsGroup, setCalloutTopicDefaultsGroup,
                   "calloutTopicDefaultsGroup")
    MM_LIST_FIELD(calloutSubTopicDefaultsGroup, setCalloutSubTopicDefaultsGroup,
                  "calloutSubTopicDefaultsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, labelTopicDefaultsGroup, setLabelTopicDefaultsGroup,
                   "labelTopicDefaultsGroup")
    MM_LIST_FIELD(labelSubTopicDefaultsGroup, setLabelSubTopicDefaultsGroup,
                  "labelSubTopicDefaultsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, relationshipDefaultsGroup, setRelationshipDefaultsGroup,
                   "relationshipDefaultsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, boundaryDefaultsGroup, setBoundaryDefaultsGroup,
                   "boundaryDefaultsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, imageDefaultsGroup, setImageDefaultsGroup, "imageDefaultsGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, structure, setStructure, "structure")
    MM_CHILD_FIELD(MMXMLBaseObject, backgroundFill, setBackgroundFill, "backgroundFill")
    MM_CHILD_FIELD(MMXMLBaseObject, backgroundImageData, setBackgroundImageData,
                   "backgroundImageData")
    MM_CHILD_FIELD(MMXMLBaseObject, visibilityStyle, setVisibilityStyle, "visibilityStyle")
    MM_CHILD_FIELD(MMXMLBaseObject, notesDefaultFont, setNotesDefaultFont, "notesDefaultFont")
};

class apDefaultsGroup : public corGroup
{
    MM_ELEMENT_CLASS(apDefaultsGroup, corGroup)
};

class apTopicDefaultsGroup : public apDefaultsGroup
{
    MM_ELEMENT_CLASS(apTopicDefaultsGroup, apDefaultsGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, defaultColor, setDefaultColor, "defaultColor")
    MM_CHILD_FIELD(MMXMLBaseObject, defaultText, setDefaultText, "defaultText")
    MM_CHILD_FIELD(MMXMLBaseObject, defaultSubTopicShape, setDefaultSubTopicShape,
                   "defaultSubTopicShape")
    MM_CHILD_FIELD(MMXMLBaseObject, defaultTopicLayout, setDefaultTopicLayout, "defaultTopicLayout")
    MM_CHILD_FIELD(MMXMLBaseObject, defaultSubTopicsShape, setDefaultSubTopicsShape,
                   "defaultSubTopicsShape")
};

class apTopicAtLevelDefaultsGroup : public apTopicDefaultsGroup
{
    MM_ELEMENT_CLASS(apTopicAtLevelDefaultsGroup, apTopicDefaultsGroup)

    MM_INT_FIELD(level, setLevel, "level")
};

class apRootTopicDefaultsGroup : public apTopicDefaultsGroup
{
    MM_ELEMENT_CLASS(apRootTopicDefaultsGroup, apTopicDefaultsGroup)
};

class apCalloutTopicDefaultsGroup : public apTopicDefaultsGroup
{
    MM_ELEMENT_CLASS(apCalloutTopicDefaultsGroup, apTopicDefaultsGroup)
};

class apLabelTopicDefaultsGroup : public apTopicDefaultsGroup
{
    MM_ELEMENT_CLASS(apLabelTopicDefaultsGroup, apTopicDefaultsGroup)
};

class apRootSubTopicDefaultsGroup : public apTopicAtLevelDefaultsGroup
{
    MM_ELEMENT_CLASS(apRootSubTopicDefaultsGroup, apTopicAtLevelDefaultsGroup)
};

class apCalloutSubTopicDefaultsGroup : public apTopicAtLevelDefaultsGroup
{
    MM_ELEMENT_CLASS(apCalloutSubTopicDefaultsGroup, apTopicAtLevelDefaultsGroup)
};

class apLabelSubTopicDefaultsGroup : public apTopicAtLevelDefaultsGroup
{
    MM_ELEMENT_CLASS(apLabelSubTopicDefaultsGroup, apTopicAtLevelDefaultsGroup)
};

class apRelationshipDefaultsGroup : public apDefaultsGroup
{
    MM_ELEMENT_CLASS(apRelationshipDefaultsGroup, apDefaultsGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, defaultColor, setDefaultColor, "defaultColor")
    MM_CHILD_FIELD(MMXMLBaseObject, defaultLineStyle, setDefaultLineStyle, "defaultLineStyle")
    // The spelling of the field is the one stored files and callers know.
    MM_LIST_FIELD(defaultConnnectionStyles, setDefaultConnnectionStyles, "defaultConnnectionStyles")
};

class apBoundaryDefaultsGroup : public apDefaultsGroup
{
    MM_ELEMENT_CLASS(apBoundaryDefaultsGroup, apDefaultsGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, defaultLineStyle, setDefaultLineStyle, "defaultLineStyle")
    MM_CHILD_FIELD(MMXMLBaseObject, defaultBoundaryShape, setDefaultBoundaryShape,
                   "defaultBoundaryShape")
};

class apImageDefaultsGroup : public apDefaultsGroup
{
    MM_ELEMENT_CLASS(apImageDefaultsGroup, apDefaultsGroup)
};

#define MM_DEFAULT_CLASS(Class, Base)                                                              \
    class Class : public Base                                                                      \
    {                                                                                              \
        MM_ELEMENT_CLASS(Class, Base)                                                              \
    };
MM_DEFAULT_CLASS(apDefaultColor, apColor)
MM_DEFAULT_CLASS(apDefaultText, apText)
MM_DEFAULT_CLASS(apDefaultSubTopicShape, apSubTopicShape)
MM_DEFAULT_CLASS(apDefaultLabelFloatingTopicShape, apLabelFloatingTopicShape)
MM_DEFAULT_CLASS(apDefaultCalloutFloatingTopicShape, apCalloutFloatingTopicShape)
MM_DEFAULT_CLASS(apDefaultTopicLayout, apTopicLayout)
MM_DEFAULT_CLASS(apDefaultSubTopicsShape, apSubTopicsShape)
MM_DEFAULT_CLASS(apDefaultSubTopicsVisibility, apSubTopicsVisibility)
MM_DEFAULT_CLASS(apDefaultLineStyle, apLineStyle)
MM_DEFAULT_CLASS(apDefaultBoundaryShape, apBoundaryShape)
MM_DEFAULT_CLASS(apDefaultConnectionStyle, apConnectionStyle)
#undef MM_DEFAULT_CLASS

class apStructure : public corValue
{
    MM_ELEMENT_CLASS(apStructure, corValue)

    MM_BOOL_FIELD(useAutoLayout, setUseAutoLayout, "useAutoLayout")
    MM_BOOL_FIELD(hideCollapseSign, setHideCollapseSign, "hideCollapseSign")
};

class apBackgroundFill : public corValue
{
    MM_ELEMENT_CLASS(apBackgroundFill, corValue)

    MM_STRING_FIELD(fillColor, setFillColor, "fillColor")
};

class apBackgroundImageData : public apImageData
{
    MM_ELEMENT_CLASS(apBackgroundImageData, apImageData)

    MM_INT_FIELD(transparency, setTransparency, "transparency")
};

class apThreeDLook : public corValue
{
    MM_ELEMENT_CLASS(apThreeDLook, corValue)
};

class apVisibilityStyle : public corValue
{
    MM_ELEMENT_CLASS(apVisibilityStyle, corValue)

    MM_BOOL_FIELD(hideRelationships, setHideRelationships, "hideRelationships")
    MM_BOOL_FIELD(hideLabelFloatingTopics, setHideLabelFloatingTopics, "hideLabelFloatingTopics")
};

class apSpacingStretchFactors : public corValue
{
    MM_ELEMENT_CLASS(apSpacingStretchFactors, corValue)
};

class apNotesDefaultFont : public corValue
{
    MM_ELEMENT_CLASS(apNotesDefaultFont, corValue)

    MM_STRING_FIELD(name, setName, "name")
    MM_FLOAT_FIELD(size, setSize, "size")
    MM_STRING_FIELD(color, setColor, "color")
};
