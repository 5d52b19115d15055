#include "MindManagerImpExp/apTopicElements.h"

#include "MindManagerImpExp/apContentElements.h"

using T = MMValueType;

MM_TABLE_BEGIN(apTopic)
static const MMChildRule children[] = {
    {"subTopics", "ap:SubTopics", &apSubTopics::staticClass},
    {"floatingTopics", "ap:FloatingTopics", &apFloatingTopics::staticClass},
    {"oneBoundary", "ap:OneBoundary", &apOneBoundary::staticClass},
    {"oneImage", "ap:OneImage", &apOneImage::staticClass},
    {"topicViewGroups", "ap:TopicViewGroup", &apTopicViewGroup::staticClass, true},
    {"text", "ap:Text", &apText::staticClass},
    {"color", "ap:Color", &apColor::staticClass},
    {"notesGroup", "ap:NotesGroup", &apNotesGroup::staticClass},
    {"offset", "ap:Offset", &apOffset::staticClass},
    {"iconsGroup", "ap:IconsGroup", &apIconsGroup::staticClass},
    {"subTopicShape", "ap:SubTopicShape", &apSubTopicShape::staticClass},
    {"labelFloatingTopicShape", "ap:LabelFloatingTopicShape",
     &apLabelFloatingTopicShape::staticClass},
    {"calloutFloatingTopicShape", "ap:CalloutFloatingTopicShape",
     &apCalloutFloatingTopicShape::staticClass},
    {"topicLayout", "ap:TopicLayout", &apTopicLayout::staticClass},
    {"subTopicsShape", "ap:SubTopicsShape", &apSubTopicsShape::staticClass},
    {"subTopicsVisibility", "ap:SubTopicsVisibility", &apSubTopicsVisibility::staticClass},
    {"hyperlink", "ap:Hyperlink", &apHyperlink::staticClass},
    {"task", "ap:Task", &apTask::staticClass},
    {"bookmark", "ap:Bookmark", &apBookmark::staticClass},
    {"comments", "ap:Comments", &apComments::staticClass},
    {"spellingOptions", "ap:SpellingOptions", &apSpellingOptions::staticClass},
    {"inkGroup", "ap:InkGroup", &apInkGroup::staticClass},
    {"oneInkSketch", "ap:OneInkSketch", &apOneInkSketch::staticClass},
};
MM_TABLE_END(apTopic, "ap:Topic", corObject, {}, children)

MM_TABLE_BEGIN(apTopics)
static const MMChildRule children[] = {{"topics", "ap:Topic", &apTopic::staticClass, true}};
MM_TABLE_END(apTopics, "ap:Topics", corObjects, {}, children)

MM_RENAME(apSubTopics, "ap:SubTopics", apTopics)
MM_RENAME(apFloatingTopics, "ap:FloatingTopics", apTopics)

MM_TABLE_BEGIN(apViewGroup)
static const MMFieldRule fields[] = {{"viewIndex", "ViewIndex", T::IntNumber}};
MM_TABLE_END(apViewGroup, "ap:ViewGroup", corGroup, fields, {})

MM_TABLE_BEGIN(apTopicViewGroup)
static const MMChildRule children[] = {
    {"collapsed", "ap:Collapsed", &apCollapsed::staticClass},
    {"visibility", "ap:Visibility", &apVisibility::staticClass},
};
MM_TABLE_END(apTopicViewGroup, "ap:TopicViewGroup", apViewGroup, {}, children)

MM_RENAME(apBoundaryViewGroup, "ap:BoundaryViewGroup", apViewGroup)
MM_RENAME(apImageViewGroup, "ap:ImageViewGroup", apViewGroup)
MM_RENAME(apInkSketchViewGroup, "ap:InkSketchViewGroup", apViewGroup)

MM_TABLE_BEGIN(apCollapsed)
static const MMFieldRule fields[] = {{"collapsed", "Collapsed", T::Bool, 0}};
MM_TABLE_END(apCollapsed, "ap:Collapsed", corValue, fields, {})

MM_TABLE_BEGIN(apVisibility)
static const MMFieldRule fields[] = {
    {"hidden", "Hidden", T::Bool, 0},
    {"faded", "Faded", T::Bool, 0},
    {"condensed", "Condensed", T::Bool, 0},
};
MM_TABLE_END(apVisibility, "ap:Visibility", corValue, fields, {})

MM_TABLE_BEGIN(apSubTopicsVisibility)
static const MMFieldRule fields[] = {{"hidden", "Hidden", T::Bool, 0}};
MM_TABLE_END(apSubTopicsVisibility, "ap:SubTopicsVisibility", corValue, fields, {})

MM_TABLE_BEGIN(apOffset)
static const MMFieldRule fields[] = {
    {"CX", "CX", T::FloatNumber},
    {"CY", "CY", T::FloatNumber},
    {"offsetPriority", "OffsetPriority", T::IntNumber},
};
MM_TABLE_END(apOffset, "ap:Offset", corValue, fields, {})

MM_TABLE_BEGIN(apTopicLayout)
static const MMFieldRule fields[] = {
    {"topicWidthControl", "TopicWidthControl", T::String},
    {"topicTextAndImagePosition", "TopicTextAndImagePosition", T::String},
    {"width", "Width", T::FloatNumber},
    {"minimumHeight", "MinimumHeight", T::FloatNumber},
    {"topicLayoutVerticalAlignment", "TopicLayoutVerticalAlignment", T::String},
    {"topicLayoutHorizontalAlignment", "TopicLayoutHorizontalAlignment", T::String},
    {"padding", "Padding", T::FloatNumber},
};
MM_TABLE_END(apTopicLayout, "ap:TopicLayout", corValue, fields, {})

MM_TABLE_BEGIN(apSubTopicsShape)
static const MMFieldRule fields[] = {
    {"subTopicsAlignment", "SubTopicsAlignment", T::String},
    {"subTopicsShape", "SubTopicsShape", T::String},
    {"subTopicsConnectionPoint", "SubTopicsConnectionPoint", T::String},
    {"subTopicsConnectionStyle", "SubTopicsConnectionStyle", T::String},
    // Kept as text: files hold more than "true" and "false" here.
    {"subTopicsStructureVisible", "SubTopicsStructureVisible", T::String},
    {"distanceFromParent", "DistanceFromParent", T::FloatNumber},
    {"distanceBetweenSiblings", "DistanceBetweenSiblings", T::FloatNumber},
    {"subTopicsShapeWidthFactor", "SubTopicsShapeWidthFactor", T::FloatNumber},
};
MM_TABLE_END(apSubTopicsShape, "ap:SubTopicsShape", corValue, fields, {})

MM_TABLE_BEGIN(apImageData)
static const MMFieldRule fields[] = {{"imageType", "ImageType", T::String}};
MM_TABLE_END(apImageData, "ap:ImageData", corBinaryData, fields, {})

MM_TABLE_BEGIN(apTopicShape)
static const MMFieldRule fields[] = {
    {"leftMargin", "LeftMargin", T::FloatNumber},
    {"rightMargin", "RightMargin", T::FloatNumber},
    {"topMargin", "TopMargin", T::FloatNumber},
    {"bottomMargin", "BottomMargin", T::FloatNumber},
};
MM_TABLE_END(apTopicShape, "ap:TopicShape", apImageData, fields, {})

MM_TABLE_BEGIN(apSubTopicShape)
static const MMFieldRule fields[] = {{"subTopicShape", "SubTopicShape", T::String}};
MM_TABLE_END(apSubTopicShape, "ap:SubTopicShape", apTopicShape, fields, {})

MM_TABLE_BEGIN(apLabelFloatingTopicShape)
static const MMFieldRule fields[] = {
    {"labelFloatingTopicShape", "LabelFloatingTopicShape", T::String}};
MM_TABLE_END(apLabelFloatingTopicShape, "ap:LabelFloatingTopicShape", apTopicShape, fields, {})

MM_TABLE_BEGIN(apCalloutFloatingTopicShape)
static const MMFieldRule fields[] = {
    {"calloutFloatingTopicShape", "CalloutFloatingTopicShape", T::String}};
MM_TABLE_END(apCalloutFloatingTopicShape, "ap:CalloutFloatingTopicShape", apTopicShape, fields, {})

MM_TABLE_BEGIN(apOneBoundary)
static const MMChildRule children[] = {{"boundary", "ap:Boundary", &apBoundary::staticClass}};
MM_TABLE_END(apOneBoundary, "ap:OneBoundary", corOneObject, {}, children)

MM_TABLE_BEGIN(apBoundary)
static const MMChildRule children[] = {
    {"boundaryViewGroup", "ap:BoundaryViewGroup", &apBoundaryViewGroup::staticClass, true},
    {"color", "ap:Color", &apColor::staticClass},
    {"lineStyle", "ap:LineStyle", &apLineStyle::staticClass},
    {"boundaryShape", "ap:BoundaryShape", &apBoundaryShape::staticClass},
};
MM_TABLE_END(apBoundary, "ap:Boundary", corObject, {}, children)

MM_TABLE_BEGIN(apBoundaryShape)
static const MMFieldRule fields[] = {
    {"boundaryShape", "BoundaryShape", T::String},
    {"margin", "Margin", T::FloatNumber},
};
MM_TABLE_END(apBoundaryShape, "ap:BoundaryShape", corValue, fields, {})

MM_TABLE_BEGIN(apColor)
static const MMFieldRule fields[] = {
    {"lineColor", "LineColor", T::String},
    {"fillColor", "FillColor", T::String},
};
MM_TABLE_END(apColor, "ap:Color", corValue, fields, {})

MM_TABLE_BEGIN(apLineStyle)
static const MMFieldRule fields[] = {
    {"lineDashStyle", "LineDashStyle", T::String},
    {"lineWidth", "LineWidth", T::FloatNumber},
};
MM_TABLE_END(apLineStyle, "ap:LineStyle", corValue, fields, {})
