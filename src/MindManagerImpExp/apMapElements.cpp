#include "MindManagerImpExp/apMapElements.h"

#include "MindManagerImpExp/MMNamespaces.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMarkerElements.h"
#include "MindManagerImpExp/apStyleElements.h"

using T = MMValueType;

namespace {

// Namespace declarations are not attributes once parsed.
void readMap(MMXMLBaseObject &map, const XMLTree &tree)
{
    static const struct
    {
        const char *prefix;
        const char *field;
    } declarations[] = {
        {"ap", "xmlnsAp"}, {"cor", "xmlnsCor"}, {"pri", "xmlnsPri"}, {"xsi", "xmlnsXsi"}};
    if (xmlNodePtr node = tree.rootNode()) {
        for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next) {
            if (!ns->prefix || !ns->href)
                continue;
            for (const auto &d : declarations) {
                if (qstrcmp(reinterpret_cast<const char *>(ns->prefix), d.prefix) == 0)
                    map.setString(d.field,
                                  QString::fromUtf8(reinterpret_cast<const char *>(ns->href)));
            }
        }
    }
    // Files name the baselines either way; they are written as cor:Baselines.
    if (!map.child("baselines")) {
        map.setChild("baselines", MMXMLBaseObject::initWithXMLTree(
                                      corBaselines::staticClass(),
                                      tree.childNamed(QStringLiteral("ap:Baselines"))));
    }
}

} // namespace

void apMap::setStandardNamespaces()
{
    setXmlnsAp(MMNamespaces::application());
    setXmlnsCor(MMNamespaces::core());
    setXmlnsPri(MMNamespaces::primitive());
    setXmlnsXsi(MMNamespaces::schemaInstance());
    setXsiSchemaLocation(MMNamespaces::schemaLocation());
}

MM_TABLE_BEGIN(apMap)
static const MMFieldRule fields[] = {
    {"xmlnsAp", "xmlns:ap", T::String},
    {"xmlnsCor", "xmlns:cor", T::String},
    {"xmlnsPri", "xmlns:pri", T::String},
    {"xmlnsXsi", "xmlns:xsi", T::String},
    {"xsiSchemaLocation", "xsi:schemaLocation", T::String},
};
static const MMChildRule children[] = {
    {"oneTopic", "ap:OneTopic", &apOneTopic::staticClass},
    {"relationships", "ap:Relationships", &apRelationships::staticClass},
    {"styleGroup", "ap:StyleGroup", &apStyleGroup::staticClass},
    {"mapViewGroups", "ap:MapViewGroup", &apMapViewGroup::staticClass, true},
    {"documentGroup", "ap:DocumentGroup", &apDocumentGroup::staticClass},
    {"markersSetGroup", "ap:MarkersSetGroup", &apMarkersSetGroup::staticClass},
    {"baselines", "cor:Baselines", &corBaselines::staticClass},
};
MM_TABLE_END_HOOKS(apMap, "ap:Map", corObject, fields, children, &readMap, nullptr, nullptr)

MM_RENAME(apMapTemplate, "ap:MapTemplate", apMap)

MM_TABLE_BEGIN(apMapPart)
static const MMChildRule children[] = {
    {"oneTopic", "ap:OneTopic", &apOneTopic::staticClass},
    {"relationships", "ap:Relationships", &apRelationships::staticClass},
    {"documentGroup", "ap:DocumentGroup", &apDocumentGroup::staticClass},
};
MM_TABLE_END(apMapPart, "ap:MapPart", corObject, {}, children)

MM_TABLE_BEGIN(apOneTopic)
static const MMChildRule children[] = {{"topic", "ap:Topic", &apTopic::staticClass}};
MM_TABLE_END(apOneTopic, "ap:OneTopic", corOneObject, {}, children)

MM_TABLE_BEGIN(apRelationships)
static const MMChildRule children[] = {
    {"relationships", "ap:Relationship", &apRelationship::staticClass, true}};
MM_TABLE_END(apRelationships, "ap:Relationships", corObjects, {}, children)

MM_TABLE_BEGIN(apRelationship)
static const MMChildRule children[] = {
    {"connectionGroups", "ap:ConnectionGroup", &apConnectionGroup::staticClass, true},
    {"floatingTopics", "ap:FloatingTopics", &apFloatingTopics::staticClass},
    {"relationshipViewGroups", "ap:RelationshipViewGroup", &apRelationshipViewGroup::staticClass,
     true},
    {"color", "ap:Color", &apColor::staticClass},
    {"lineStyle", "ap:LineStyle", &apLineStyle::staticClass},
};
MM_TABLE_END(apRelationship, "ap:Relationship", corObject, {}, children)

MM_TABLE_BEGIN(apConnectionGroup)
static const MMFieldRule fields[] = {{"index", "Index", T::IntNumber}};
static const MMChildRule children[] = {
    {"connection", "ap:Connection", &apConnection::staticClass},
    {"connectionStyle", "ap:ConnectionStyle", &apConnectionStyle::staticClass},
};
MM_TABLE_END(apConnectionGroup, "ap:ConnectionGroup", corGroup, fields, children)

MM_TABLE_BEGIN(apConnection)
static const MMFieldRule fields[] = {
    {"CX", "CX", T::FloatNumber},
    {"CY", "CY", T::FloatNumber},
};
static const MMChildRule children[] = {
    {"objectReference", "ap:ObjectReference", &corObjectReference::staticClass}};
MM_TABLE_END(apConnection, "ap:Connection", corValue, fields, children)

MM_TABLE_BEGIN(apRelationshipViewGroup)
static const MMChildRule children[] = {{"visibility", "ap:Visibility", &apVisibility::staticClass}};
MM_TABLE_END(apRelationshipViewGroup, "ap:RelationshipViewGroup", apViewGroup, {}, children)

MM_TABLE_BEGIN(apMapViewGroup)
static const MMFieldRule fields[] = {
    {"rowIndex", "RowIndex", T::Int, 0},
    {"columnIndex", "ColumnIndex", T::Int, 0},
};
static const MMChildRule children[] = {
    {"zoomFactor", "ap:ZoomFactor", &apZoomFactor::staticClass},
    {"selection", "ap:Selection", &apSelection::staticClass},
};
MM_TABLE_END(apMapViewGroup, "ap:MapViewGroup", apViewGroup, fields, children)

MM_TABLE_BEGIN(apSelection)
static const MMChildRule children[] = {
    {"objectReferences", "cor:ObjectReference", &apSelectionObjectReference::staticClass, true}};
MM_TABLE_END(apSelection, "ap:Selection", corValue, {}, children)

MM_RENAME(apSelectionObjectReference, "cor:ObjectReference", corObjectReference)

MM_TABLE_BEGIN(apZoomFactor)
static const MMFieldRule fields[] = {{"zoomFactor", "ZoomFactor", T::FloatNumber}};
MM_TABLE_END(apZoomFactor, "ap:ZoomFactor", corValue, fields, {})
