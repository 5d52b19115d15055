#pragma once

#include "MindManagerImpExp/apTopicElements.h"

// What a topic holds besides its structure: text and fonts, notes, links,
// icons, image, task, ink, comments and spelling options. Tables in
// apContentElements.cpp.

class apText : public corValue
{
    MM_ELEMENT_CLASS(apText, corValue)

    MM_STRING_FIELD(plainText, setPlainText, "plainText")
    MM_STRING_FIELD(textAlignment, setTextAlignment, "textAlignment")
    MM_CHILD_FIELD(MMXMLBaseObject, font, setFont, "font")
    MM_LIST_FIELD(fontRanges, setFontRanges, "fontRanges")
};

class apFont : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(apFont, MMXMLBaseObject)

    MM_BOOL_FIELD(bold, setBold, "bold")
    MM_BOOL_FIELD(italic, setItalic, "italic")
    MM_BOOL_FIELD(underline, setUnderline, "underline")
    MM_STRING_FIELD(name, setName, "name")
    float size() const { return floatValue("size"); }
    void setSize(float v) { setValue("size", v); }
    MM_STRING_FIELD(color, setColor, "color")
    MM_BOOL_FIELD(strikethrough, setStrikethrough, "strikethrough")
};

class apFontRange : public apFont
{
    MM_ELEMENT_CLASS(apFontRange, apFont)

    quint32 from() const { return uintValue("from"); }
    void setFrom(quint32 v) { setValue("from", v); }
    quint32 to() const { return uintValue("to"); }
    void setTo(quint32 v) { setValue("to", v); }
};

class apIgnoreSpellingRange : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(apIgnoreSpellingRange, MMXMLBaseObject)
};

class apNotesGroup : public corGroup
{
    MM_ELEMENT_CLASS(apNotesGroup, corGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, notesXhtmlData, setNotesXhtmlData, "notesXhtmlData")
};

// Written with an html child in the XHTML namespace holding a copy of the
// body of xhtmlData.
class apNotesXhtmlData : public corXhtmlData
{
    MM_ELEMENT_CLASS(apNotesXhtmlData, corXhtmlData)

    MM_STRING_FIELD(previewPlainText, setPreviewPlainText, "previewPlainText")
};

class apNotesData : public corBinaryData
{
    MM_ELEMENT_CLASS(apNotesData, corBinaryData)
};

class apHyperlink : public corValue
{
    MM_ELEMENT_CLASS(apHyperlink, corValue)

    MM_STRING_FIELD(url, setUrl, "url")
    MM_BOOL_FIELD(absolute, setAbsolute, "absolute")
};

class apBookmark : public corValue
{
    MM_ELEMENT_CLASS(apBookmark, corValue)
};

class apIconsGroup : public corGroup
{
    MM_ELEMENT_CLASS(apIconsGroup, corGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, icons, setIcons, "icons")
    MM_LIST_FIELD(customIconImageData, setCustomIconImageData, "customIconImageData")
};

class apIcons : public corValue
{
    MM_ELEMENT_CLASS(apIcons, corValue)

    MM_LIST_FIELD(icons, setIcons, "icons")
};

// A stock icon (by its urn) or a custom one (by the signature of picture
// data in the same icons group), told apart by xsi:type.
class apIcon : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(apIcon, MMXMLBaseObject)

    MM_STRING_FIELD(xsiType, setXsiType, "xsiType")
    MM_STRING_FIELD(iconType, setIconType, "iconType")
    MM_STRING_FIELD(iconSignature, setIconSignature, "iconSignature")
};

class apCustomIconImageData : public apImageData
{
    MM_ELEMENT_CLASS(apCustomIconImageData, apImageData)

    MM_STRING_FIELD(iconSignature, setIconSignature, "iconSignature")
};

class apOneImage : public corOneObject
{
    MM_ELEMENT_CLASS(apOneImage, corOneObject)

    MM_CHILD_FIELD(MMXMLBaseObject, image, setImage, "image")
};

class apImage : public corObject
{
    MM_ELEMENT_CLASS(apImage, corObject)

    MM_CHILD_FIELD(apImageData, imageData, setImageData, "imageData")
    MM_CHILD_FIELD(MMXMLBaseObject, imageSize, setImageSize, "imageSize")
};

// Millimetres.
class apImageSize : public corValue
{
    MM_ELEMENT_CLASS(apImageSize, corValue)

    MM_FLOAT_FIELD(width, setWidth, "width")
    MM_FLOAT_FIELD(height, setHeight, "height")
};

class apTask : public corValue
{
    MM_ELEMENT_CLASS(apTask, corValue)

    MM_STRING_FIELD(taskPriority, setTaskPriority, "taskPriority")
    MM_DATE_FIELD(startDate, setStartDate, "startDate")
    MM_DATE_FIELD(deadlineDate, setDeadlineDate, "deadlineDate")
    MM_INT_FIELD(taskPercentage, setTaskPercentage, "taskPercentage")
    MM_STRING_FIELD(resources, setResources, "resources")
};

class apInkGroup : public corGroup
{
    MM_ELEMENT_CLASS(apInkGroup, corGroup)
};

class apInkData : public corBinaryData
{
    MM_ELEMENT_CLASS(apInkData, corBinaryData)
};

class apInkRecognitionResult : public corValue
{
    MM_ELEMENT_CLASS(apInkRecognitionResult, corValue)
};

class apOneInkSketch : public corOneObject
{
    MM_ELEMENT_CLASS(apOneInkSketch, corOneObject)
};

class apInkSketch : public corObject
{
    MM_ELEMENT_CLASS(apInkSketch, corObject)
};

class apInkScaleFactors : public corValue
{
    MM_ELEMENT_CLASS(apInkScaleFactors, corValue)
};

class apComments : public corValue
{
    MM_ELEMENT_CLASS(apComments, corValue)

    MM_LIST_FIELD(comments, setComments, "comments")
};

class apComment : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(apComment, MMXMLBaseObject)

    MM_STRING_FIELD(text, setText, "text")
    MM_STRING_FIELD(authorName, setAuthorName, "authorName")
};

class apSpellingOptions : public corValue
{
    MM_ELEMENT_CLASS(apSpellingOptions, corValue)
};

namespace MMIconTypes {
inline constexpr char kStockIcon[] = "ap:StockIcon";
inline constexpr char kCustomIcon[] = "ap:CustomIcon";
} // namespace MMIconTypes
