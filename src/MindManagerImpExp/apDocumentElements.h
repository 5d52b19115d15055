#pragma once

#include "MindManagerImpExp/apTopicElements.h"

// The document's properties: people, version, statistics, time stamps,
// description, preview and option groups. Tables in apDocumentElements.cpp.

class apDocumentGroup : public corGroup
{
    MM_ELEMENT_CLASS(apDocumentGroup, corGroup)

    MM_CHILD_FIELD(MMXMLBaseObject, creator, setCreator, "creator")
    MM_CHILD_FIELD(MMXMLBaseObject, author, setAuthor, "author")
    MM_CHILD_FIELD(MMXMLBaseObject, dateTimeStamps, setDateTimeStamps, "dateTimeStamps")
    MM_CHILD_FIELD(MMXMLBaseObject, description, setDescription, "description")
};

class apLanguage : public corValue
{
    MM_ELEMENT_CLASS(apLanguage, corValue)
};

class apUser : public corValue
{
    MM_ELEMENT_CLASS(apUser, corValue)

    MM_STRING_FIELD(userName, setUserName, "userName")
};

class apCreator : public apUser
{
    MM_ELEMENT_CLASS(apCreator, apUser)
};

class apLastModificator : public apUser
{
    MM_ELEMENT_CLASS(apLastModificator, apUser)
};

class apAuthor : public apUser
{
    MM_ELEMENT_CLASS(apAuthor, apUser)
};

class apManager : public apUser
{
    MM_ELEMENT_CLASS(apManager, apUser)
};

class apVersion : public corValue
{
    MM_ELEMENT_CLASS(apVersion, corValue)
};

class apStatistics : public corValue
{
    MM_ELEMENT_CLASS(apStatistics, corValue)
};

class apDateTimeStamps : public corValue
{
    MM_ELEMENT_CLASS(apDateTimeStamps, corValue)

    MM_DATE_FIELD(created, setCreated, "created")
    MM_DATE_FIELD(lastModified, setLastModified, "lastModified")
};

class apDescription : public corValue
{
    MM_ELEMENT_CLASS(apDescription, corValue)

    MM_STRING_FIELD(comments, setComments, "comments")
};

class apKeywords : public corValue
{
    MM_ELEMENT_CLASS(apKeywords, corValue)
};

class apCompany : public corValue
{
    MM_ELEMENT_CLASS(apCompany, corValue)
};

class apCreatorCompany : public apCompany
{
    MM_ELEMENT_CLASS(apCreatorCompany, apCompany)
};

class apCategory : public corValue
{
    MM_ELEMENT_CLASS(apCategory, corValue)
};

class apPreviewImageData : public apImageData
{
    MM_ELEMENT_CLASS(apPreviewImageData, apImageData)
};

class apHyperlinkOptions : public corValue
{
    MM_ELEMENT_CLASS(apHyperlinkOptions, corValue)
};

class apPreviewOptions : public corValue
{
    MM_ELEMENT_CLASS(apPreviewOptions, corValue)
};

class apCommentsOptions : public corValue
{
    MM_ELEMENT_CLASS(apCommentsOptions, corValue)
};

class apPrintingOptions : public corValue
{
    MM_ELEMENT_CLASS(apPrintingOptions, corValue)
};

class apPrintingFont : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(apPrintingFont, MMXMLBaseObject)
};

class apHeaderFont : public apPrintingFont
{
    MM_ELEMENT_CLASS(apHeaderFont, apPrintingFont)
};

class apFooterFont : public apPrintingFont
{
    MM_ELEMENT_CLASS(apFooterFont, apPrintingFont)
};
