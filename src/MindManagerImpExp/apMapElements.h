#pragma once

#include "MindManagerImpExp/apContentElements.h"

// The root element of a map file and what hangs directly off it: the central
// topic's holder, relationships, views. Tables in apMapElements.cpp.

class apMap : public corObject
{
    MM_ELEMENT_CLASS(apMap, corObject)

    MM_STRING_FIELD(xmlnsAp, setXmlnsAp, "xmlnsAp")
    MM_STRING_FIELD(xmlnsCor, setXmlnsCor, "xmlnsCor")
    MM_STRING_FIELD(xmlnsPri, setXmlnsPri, "xmlnsPri")
    MM_STRING_FIELD(xmlnsXsi, setXmlnsXsi, "xmlnsXsi")
    MM_STRING_FIELD(xsiSchemaLocation, setXsiSchemaLocation, "xsiSchemaLocation")
    MM_CHILD_FIELD(MMXMLBaseObject, oneTopic, setOneTopic, "oneTopic")
    MM_CHILD_FIELD(MMXMLBaseObject, relationships, setRelationships, "relationships")
    MM_CHILD_FIELD(MMXMLBaseObject, styleGroup, setStyleGroup, "styleGroup")
    MM_LIST_FIELD(mapViewGroups, setMapViewGroups, "mapViewGroups")
    MM_CHILD_FIELD(MMXMLBaseObject, documentGroup, setDocumentGroup, "documentGroup")
    MM_CHILD_FIELD(MMXMLBaseObject, markersSetGroup, setMarkersSetGroup, "markersSetGroup")

    // The namespace declarations and schema location a written map carries.
    void setStandardNamespaces();
};

class apMapTemplate : public apMap
{
    MM_ELEMENT_CLASS(apMapTemplate, apMap)
};

class apMapPart : public corObject
{
    MM_ELEMENT_CLASS(apMapPart, corObject)
};

class apOneTopic : public corOneObject
{
    MM_ELEMENT_CLASS(apOneTopic, corOneObject)

    MM_CHILD_FIELD(apTopic, topic, setTopic, "topic")
};

class apRelationships : public corObjects
{
    MM_ELEMENT_CLASS(apRelationships, corObjects)

    MM_LIST_FIELD(relationships, setRelationships, "relationships")
};

class apRelationship : public corObject
{
    MM_ELEMENT_CLASS(apRelationship, corObject)

    MM_LIST_FIELD(connectionGroups, setConnectionGroups, "connectionGroups")
    MM_CHILD_FIELD(apColor, color, setColor, "color")
    MM_CHILD_FIELD(apLineStyle, lineStyle, setLineStyle, "lineStyle")
};

// One end of a relationship; Index says which.
class apConnectionGroup : public corGroup
{
    MM_ELEMENT_CLASS(apConnectionGroup, corGroup)

    MM_INT_FIELD(index, setIndex, "index")
    MM_CHILD_FIELD(MMXMLBaseObject, connection, setConnection, "connection")
    MM_CHILD_FIELD(MMXMLBaseObject, connectionStyle, setConnectionStyle, "connectionStyle")
};

// The joined object and the end's control point.
class apConnection : public corValue
{
    MM_ELEMENT_CLASS(apConnection, corValue)

    MM_FLOAT_FIELD(CX, setCX, "CX")
    MM_FLOAT_FIELD(CY, setCY, "CY")
    MM_CHILD_FIELD(corObjectReference, objectReference, setObjectReference, "objectReference")
};

class apRelationshipViewGroup : public apViewGroup
{
    MM_ELEMENT_CLASS(apRelationshipViewGroup, apViewGroup)
};

class apMapViewGroup : public apViewGroup
{
    MM_ELEMENT_CLASS(apMapViewGroup, apViewGroup)

    int rowIndex() const { return intValue("rowIndex"); }
    int columnIndex() const { return intValue("columnIndex"); }
};

class apSelection : public corValue
{
    MM_ELEMENT_CLASS(apSelection, corValue)
};

// A selected object; a selection names them as cor:ObjectReference.
class apSelectionObjectReference : public corObjectReference
{
    MM_ELEMENT_CLASS(apSelectionObjectReference, corObjectReference)
};

class apZoomFactor : public corValue
{
    MM_ELEMENT_CLASS(apZoomFactor, corValue)
};
