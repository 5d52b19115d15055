#include "MindManagerImpExp/apDocumentElements.h"

using T = MMValueType;

MM_TABLE_BEGIN(apDocumentGroup)
static const MMChildRule children[] = {
    {"language", "ap:Language", &apLanguage::staticClass},
    {"creator", "ap:Creator", &apCreator::staticClass},
    {"lastModificator", "ap:LastModificator", &apLastModificator::staticClass},
    {"author", "ap:Author", &apAuthor::staticClass},
    {"manager", "ap:Manager", &apManager::staticClass},
    {"version", "ap:Version", &apVersion::staticClass},
    {"statistics", "ap:Statistics", &apStatistics::staticClass},
    {"dateTimeStamps", "ap:DateTimeStamps", &apDateTimeStamps::staticClass},
    {"description", "ap:Description", &apDescription::staticClass},
    {"keywords", "ap:Keywords", &apKeywords::staticClass},
    {"creatorCompany", "ap:CreatorCompany", &apCreatorCompany::staticClass},
    {"category", "ap:Category", &apCategory::staticClass},
    {"previewImageData", "ap:PreviewImageData", &apPreviewImageData::staticClass},
    {"hyperlinkOptions", "ap:HyperlinkOptions", &apHyperlinkOptions::staticClass},
    {"previewOptions", "ap:PreviewOptions", &apPreviewOptions::staticClass},
    {"commentsOptions", "ap:CommentsOptions", &apCommentsOptions::staticClass},
    {"printingOptions", "ap:PrintingOptions", &apPrintingOptions::staticClass},
};
MM_TABLE_END(apDocumentGroup, "ap:DocumentGroup", corGroup, {}, children)

MM_TABLE_BEGIN(apLanguage)
static const MMFieldRule fields[] = {{"language", "Language", T::String}};
MM_TABLE_END(apLanguage, "ap:Language", corValue, fields, {})

MM_TABLE_BEGIN(apUser)
static const MMFieldRule fields[] = {
    {"userName", "UserName", T::String},
    {"userEmail", "UserEmail", T::String},
};
MM_TABLE_END(apUser, "ap:User", corValue, fields, {})

MM_RENAME(apCreator, "ap:Creator", apUser)
MM_RENAME(apLastModificator, "ap:LastModificator", apUser)
MM_RENAME(apAuthor, "ap:Author", apUser)
MM_RENAME(apManager, "ap:Manager", apUser)

MM_TABLE_BEGIN(apVersion)
static const MMFieldRule fields[] = {
    {"major", "Major", T::IntNumber},
    {"minor", "Minor", T::IntNumber},
};
MM_TABLE_END(apVersion, "ap:Version", corValue, fields, {})

MM_TABLE_BEGIN(apStatistics)
static const MMFieldRule fields[] = {
    {"numberOfTopics", "NumberOfTopics", T::IntNumber},
    {"numberOfWords", "NumberOfWords", T::IntNumber},
    {"numberOfHyperlinks", "NumberOfHyperlinks", T::IntNumber},
    {"numberOfRelationships", "NumberOfRelationships", T::IntNumber},
    {"numberOfPictures", "NumberOfPictures", T::IntNumber},
    {"numberOfBoundaries", "NumberOfBoundaries", T::IntNumber},
    {"numberOfNotes", "NumberOfNotes", T::IntNumber},
};
MM_TABLE_END(apStatistics, "ap:Statistics", corValue, fields, {})

MM_TABLE_BEGIN(apDateTimeStamps)
static const MMFieldRule fields[] = {
    {"printed", "Printed", T::Date},
    {"created", "Created", T::Date},
    {"lastModified", "LastModified", T::Date},
};
MM_TABLE_END(apDateTimeStamps, "ap:DateTimeStamps", corValue, fields, {})

MM_TABLE_BEGIN(apDescription)
static const MMFieldRule fields[] = {
    {"subject", "Subject", T::String},
    {"comments", "Comments", T::String},
};
MM_TABLE_END(apDescription, "ap:Description", corValue, fields, {})

MM_TABLE_BEGIN(apKeywords)
static const MMFieldRule fields[] = {{"keywords", "Keywords", T::String}};
MM_TABLE_END(apKeywords, "ap:Keywords", corValue, fields, {})

MM_TABLE_BEGIN(apCompany)
static const MMFieldRule fields[] = {{"name", "Name", T::String}};
MM_TABLE_END(apCompany, "ap:Company", corValue, fields, {})

MM_RENAME(apCreatorCompany, "ap:CreatorCompany", apCompany)

MM_TABLE_BEGIN(apCategory)
static const MMFieldRule fields[] = {{"name", "Name", T::String}};
MM_TABLE_END(apCategory, "ap:Category", corValue, fields, {})

MM_RENAME(apPreviewImageData, "ap:PreviewImageData", apImageData)

MM_TABLE_BEGIN(apHyperlinkOptions)
static const MMFieldRule fields[] = {
    {"baseUrl", "BaseUrl", T::String},
    {"defaultToAbsolute", "DefaultToAbsolute", T::Bool, 0},
};
MM_TABLE_END(apHyperlinkOptions, "ap:HyperlinkOptions", corValue, fields, {})

MM_TABLE_BEGIN(apPreviewOptions)
static const MMFieldRule fields[] = {
    {"includeDocumentPreview", "IncludeDocumentPreview", T::Bool, 1}};
MM_TABLE_END(apPreviewOptions, "ap:PreviewOptions", corValue, fields, {})

MM_TABLE_BEGIN(apCommentsOptions)
static const MMFieldRule fields[] = {{"trackChanges", "TrackChanges", T::Bool, 1}};
MM_TABLE_END(apCommentsOptions, "ap:CommentsOptions", corValue, fields, {})

MM_TABLE_BEGIN(apPrintingOptions)
static const MMFieldRule fields[] = {
    {"leftMargin", "LeftMargin", T::FloatNumber},
    {"rightMargin", "RightMargin", T::FloatNumber},
    {"topMargin", "TopMargin", T::FloatNumber},
    {"bottomMargin", "BottomMargin", T::FloatNumber},
    {"pageOrientation", "PageOrientation", T::String},
    {"verticalNumberOfPages", "VerticalNumberOfPages", T::IntNumber},
    {"horizontalNumberOfPages", "HorizontalNumberOfPages", T::IntNumber},
    {"fitToPage", "FitToPage", T::Bool, 1},
    {"printPageSeparators", "PrintPageSeparators", T::Bool, 0},
    {"printPageNumbers", "PrintPageNumbers", T::Bool, 0},
    {"printBackground", "PrintBackground", T::Bool, 1},
    {"printBorder", "PrintBorder", T::Bool, 1},
    {"printHeader", "PrintHeader", T::Bool, 0},
    {"printFooter", "PrintFooter", T::Bool, 1},
    {"borderColor", "BorderColor", T::String},
    {"headerTextAlignment", "HeaderTextAlignment", T::String},
    {"headerText", "HeaderText", T::String},
    {"footerTextAlignment", "FooterTextAlignment", T::String},
    {"footerText", "FooterText", T::String},
};
static const MMChildRule children[] = {
    {"headerFont", "ap:HeaderFont", &apHeaderFont::staticClass},
    {"footerFont", "ap:FooterFont", &apFooterFont::staticClass},
};
MM_TABLE_END(apPrintingOptions, "ap:PrintingOptions", corValue, fields, children)

MM_TABLE_BEGIN(apPrintingFont)
static const MMFieldRule fields[] = {
    {"bold", "Bold", T::Bool, 0},
    {"italic", "Italic", T::Bool, 0},
    {"underline", "Underline", T::Bool, 0},
    {"name", "Name", T::String},
    {"size", "Size", T::Float, 0},
    {"color", "Color", T::String},
    {"strikethrough", "Strikethrough", T::Bool, 0},
};
MM_TABLE_END(apPrintingFont, "ap:PrintingFont", MMXMLBaseObject, fields, {})

MM_RENAME(apHeaderFont, "ap:HeaderFont", apPrintingFont)
MM_RENAME(apFooterFont, "ap:FooterFont", apPrintingFont)
