#include "MindManagerImpExp/apStyleElements.h"

#include "MindManagerImpExp/apDocumentElements.h"

using T = MMValueType;

MM_TABLE_BEGIN(apConnectionStyle)
static const MMFieldRule fields[] = {{"connectionShape", "ConnectionShape", T::String}};
MM_TABLE_END(apConnectionStyle, "ap:ConnectionStyle", corValue, fields, {})

MM_TABLE_BEGIN(apStyle)
static const MMChildRule children[] = {
    {"styleGroup", "ap:StyleGroup", &apStyleGroup::staticClass},
    {"documentGroup", "ap:DocumentGroup", &apDocumentGroup::staticClass},
};
MM_TABLE_END(apStyle, "ap:Style", corObject, {}, children)

MM_TABLE_BEGIN(apStyleGroup)
static const MMChildRule children[] = {
    {"rootTopicDefaultsGroup", "ap:RootTopicDefaultsGroup", &apRootTopicDefaultsGroup::staticClass},
    {"rootSubTopicDefaultsGroup", "ap:RootSubTopicDefaultsGroup",
     &apRootSubTopicDefaultsGroup::staticClass, true},
    {"calloutTopicDefaultsGroup", "ap:CalloutTopicDefaultsGroup",
     &apCalloutTopicDefaultsGroup::staticClass},
    {"calloutSubTopicDefaultsGroup", "ap:CalloutSubTopicDefaultsGroup",
     &apCalloutSubTopicDefaultsGroup::staticClass, true},
    {"labelTopicDefaultsGroup", "ap:LabelTopicDefaultsGroup",
     &apLabelTopicDefaultsGroup::staticClass},
    {"labelSubTopicDefaultsGroup", "ap:LabelSubTopicDefaultsGroup",
     &apLabelSubTopicDefaultsGroup::staticClass, true},
    {"relationshipDefaultsGroup", "ap:RelationshipDefaultsGroup",
     &apRelationshipDefaultsGroup::staticClass},
    {"boundaryDefaultsGroup", "ap:BoundaryDefaultsGroup", &apBoundaryDefaultsGroup::staticClass},
    {"imageDefaultsGroup", "ap:ImageDefaultsGroup", &apImageDefaultsGroup::staticClass},
    {"structure", "ap:Structure", &apStructure::staticClass},
    {"backgroundFill", "ap:BackgroundFill", &apBackgroundFill::staticClass},
    {"backgroundImageData", "ap:BackgroundImageData", &apBackgroundImageData::staticClass},
    {"threeDLook", "ap:ThreeDLook", &apThreeDLook::staticClass},
    {"visibilityStyle", "ap:VisibilityStyle", &apVisibilityStyle::staticClass},
    {"spacingStretchFactors", "ap:SpacingStretchFactors", &apSpacingStretchFactors::staticClass},
    {"notesDefaultFont", "ap:NotesDefaultFont", &apNotesDefaultFont::staticClass},
};
MM_TABLE_END(apStyleGroup, "ap:StyleGroup", corGroup, {}, children)

MM_RENAME(apDefaultsGroup, "ap:DefaultsGroup", corGroup)

MM_TABLE_BEGIN(apTopicDefaultsGroup)
static const MMChildRule children[] = {
    {"defaultColor", "ap:DefaultColor", &apDefaultColor::staticClass},
    {"defaultText", "ap:DefaultText", &apDefaultText::staticClass},
    {"defaultSubTopicShape", "ap:DefaultSubTopicShape", &apDefaultSubTopicShape::staticClass},
    {"defaultLabelFloatingTopicShape", "ap:DefaultLabelFloatingTopicShape",
     &apDefaultLabelFloatingTopicShape::staticClass},
    {"defaultCalloutFloatingTopicShape", "ap:DefaultCalloutFloatingTopicShape",
     &apDefaultCalloutFloatingTopicShape::staticClass},
    {"defaultTopicLayout", "ap:DefaultTopicLayout", &apDefaultTopicLayout::staticClass},
    {"defaultSubTopicsShape", "ap:DefaultSubTopicsShape", &apDefaultSubTopicsShape::staticClass},
    {"defaultSubTopicsVisibility", "ap:DefaultSubTopicsVisibility",
     &apDefaultSubTopicsVisibility::staticClass},
};
MM_TABLE_END(apTopicDefaultsGroup, "ap:TopicDefaultsGroup", apDefaultsGroup, {}, children)

MM_TABLE_BEGIN(apTopicAtLevelDefaultsGroup)
static const MMFieldRule fields[] = {{"level", "Level", T::IntNumber}};
MM_TABLE_END(apTopicAtLevelDefaultsGroup, "ap:TopicAtLevelDefaultsGroup", apTopicDefaultsGroup,
             fields, {})

MM_RENAME(apRootTopicDefaultsGroup, "ap:RootTopicDefaultsGroup", apTopicDefaultsGroup)
MM_RENAME(apCalloutTopicDefaultsGroup, "ap:CalloutTopicDefaultsGroup", apTopicDefaultsGroup)
MM_RENAME(apLabelTopicDefaultsGroup, "ap:LabelTopicDefaultsGroup", apTopicDefaultsGroup)
MM_RENAME(apRootSubTopicDefaultsGroup, "ap:RootSubTopicDefaultsGroup", apTopicAtLevelDefaultsGroup)
MM_RENAME(apCalloutSubTopicDefaultsGroup, "ap:CalloutSubTopicDefaultsGroup",
          apTopicAtLevelDefaultsGroup)
MM_RENAME(apLabelSubTopicDefaultsGroup, "ap:LabelSubTopicDefaultsGroup",
          apTopicAtLevelDefaultsGroup)

MM_TABLE_BEGIN(apRelationshipDefaultsGroup)
static const MMChildRule children[] = {
    {"defaultColor", "ap:DefaultColor", &apDefaultColor::staticClass},
    {"defaultLineStyle", "ap:DefaultLineStyle", &apDefaultLineStyle::staticClass},
    {"defaultConnnectionStyles", "ap:DefaultConnectionStyle",
     &apDefaultConnectionStyle::staticClass, true},
};
MM_TABLE_END(apRelationshipDefaultsGroup, "ap:RelationshipDefaultsGroup", apDefaultsGroup, {},
             children)

MM_TABLE_BEGIN(apBoundaryDefaultsGroup)
static const MMChildRule children[] = {
    {"defaultLineStyle", "ap:DefaultLineStyle", &apDefaultLineStyle::staticClass},
    {"defaultBoundaryShape", "ap:DefaultBoundaryShape", &apDefaultBoundaryShape::staticClass},
    {"defaultColor", "ap:DefaultColor", &apDefaultColor::staticClass},
};
MM_TABLE_END(apBoundaryDefaultsGroup, "ap:BoundaryDefaultsGroup", apDefaultsGroup, {}, children)

MM_RENAME(apImageDefaultsGroup, "ap:ImageDefaultsGroup", apDefaultsGroup)
MM_RENAME(apDefaultColor, "ap:DefaultColor", apColor)
MM_RENAME(apDefaultText, "ap:DefaultText", apText)
MM_RENAME(apDefaultSubTopicShape, "ap:DefaultSubTopicShape", apSubTopicShape)
MM_RENAME(apDefaultLabelFloatingTopicShape, "ap:DefaultLabelFloatingTopicShape",
          apLabelFloatingTopicShape)
MM_RENAME(apDefaultCalloutFloatingTopicShape, "ap:DefaultCalloutFloatingTopicShape",
          apCalloutFloatingTopicShape)
MM_RENAME(apDefaultTopicLayout, "ap:DefaultTopicLayout", apTopicLayout)
MM_RENAME(apDefaultSubTopicsShape, "ap:DefaultSubTopicsShape", apSubTopicsShape)
MM_RENAME(apDefaultSubTopicsVisibility, "ap:DefaultSubTopicsVisibility", apSubTopicsVisibility)
MM_RENAME(apDefaultLineStyle, "ap:DefaultLineStyle", apLineStyle)
MM_RENAME(apDefaultBoundaryShape, "ap:DefaultBoundaryShape", apBoundaryShape)
MM_RENAME(apDefaultConnectionStyle, "ap:DefaultConnectionStyle", apConnectionStyle)

MM_TABLE_BEGIN(apStructure)
static const MMFieldRule fields[] = {
    {"useAutoLayout", "UseAutoLayout", T::Bool, 0},
    {"minimumMainTopicsHeight", "MinimumMainTopicsHeight", T::FloatNumber},
    {"fadeNotSelectedObjects", "FadeNotSelectedObjects", T::Bool, 0},
    {"useCurveAntialiasing", "UseCurveAntialiasing", T::Bool, 0},
    {"useTextAntialiasing", "UseTextAntialiasing", T::Bool, 0},
    {"mainTopicLineWidth", "MainTopicLineWidth", T::FloatNumber},
    {"useOrganicLines", "UseOrganicLines", T::Bool, 0},
    {"hideCollapseSign", "HideCollapseSign", T::Bool, 0},
    {"structureGrowthDirection", "StructureGrowthDirection", T::String},
};
MM_TABLE_END(apStructure, "ap:Structure", corValue, fields, {})

MM_TABLE_BEGIN(apBackgroundFill)
static const MMFieldRule fields[] = {{"fillColor", "FillColor", T::String}};
MM_TABLE_END(apBackgroundFill, "ap:BackgroundFill", corValue, fields, {})

MM_TABLE_BEGIN(apBackgroundImageData)
static const MMFieldRule fields[] = {{"transparency", "Transparency", T::IntNumber}};
MM_TABLE_END(apBackgroundImageData, "ap:BackgroundImageData", apImageData, fields, {})

MM_TABLE_BEGIN(apThreeDLook)
static const MMFieldRule fields[] = {
    {"CX", "CX", T::FloatNumber},
    {"CY", "CY", T::FloatNumber},
    {"alpha", "Alpha", T::FloatNumber},
};
MM_TABLE_END(apThreeDLook, "ap:ThreeDLook", corValue, fields, {})

MM_TABLE_BEGIN(apVisibilityStyle)
static const MMFieldRule fields[] = {
    {"hideRelationships", "HideRelationships", T::Bool, 0},
    {"hideCodeIcons", "HideCodeIcons", T::Bool, 0},
    {"hideCalloutFloatingTopics", "HideCalloutFloatingTopics", T::Bool, 0},
    {"hideLabelFloatingTopics", "HideLabelFloatingTopics", T::Bool, 0},
    {"hideControlStrip", "HideControlStrip", T::Bool, 0},
    {"hideTaskInformation", "HideTaskInformation", T::Bool, 0},
    {"hideTaskInformationYear", "HideTaskInformationYear", T::Bool, 1},
    {"hideMapVersionNumber", "HideMapVersionNumber", T::Bool, 1},
    {"hideTopicPins", "HideTopicPins", T::Bool, 0},
};
MM_TABLE_END(apVisibilityStyle, "ap:VisibilityStyle", corValue, fields, {})

MM_TABLE_BEGIN(apSpacingStretchFactors)
static const MMFieldRule fields[] = {
    {"verticalSpacingStretchFactor", "VerticalSpacingStretchFactor", T::FloatNumber},
    {"horizontalSpacingStretchFactor", "HorizontalSpacingStretchFactor", T::FloatNumber},
};
MM_TABLE_END(apSpacingStretchFactors, "ap:SpacingStretchFactors", corValue, fields, {})

MM_TABLE_BEGIN(apNotesDefaultFont)
static const MMFieldRule fields[] = {
    {"name", "Name", T::String},
    {"size", "Size", T::FloatNumber},
    {"color", "Color", T::String},
};
MM_TABLE_END(apNotesDefaultFont, "ap:NotesDefaultFont", corValue, fields, {})
