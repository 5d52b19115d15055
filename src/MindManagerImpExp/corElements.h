#pragma once

#include "MindManagerImpExp/MMXMLBaseObject.h"

// The core elements every MindManager application element is built on.
// Each class is a table (fields, children, element name) plus typed names
// for its fields; the engine in MMXMLBaseObject reads and writes them. The
// classes are small enough to share one header.

#define MM_ELEMENT_CLASS(Class, Base)                                                              \
public:                                                                                            \
    static const MMElementClass &staticClass();                                                    \
    using Base::Base;

// cor:Object: object identity. A fresh object takes the next identifier of
// the process; one read from a file keeps what it found.
class corObject : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corObject, MMXMLBaseObject)

    std::optional<QString> OId() const { return string("OId"); }
    void setOId(const std::optional<QString> &v) { setString("OId", v); }
    std::optional<QString> POId() const { return string("POId"); }
    void setPOId(const std::optional<QString> &v) { setString("POId", v); }
    std::optional<QString> Gen() const { return string("Gen"); }
    void setGen(const std::optional<QString> &v) { setString("Gen", v); }
    std::optional<QString> Dirty() const { return string("Dirty"); }
    void setDirty(const std::optional<QString> &v) { setString("Dirty", v); }
    MMObjectList custom() const { return children("custom"); }
    void setCustom(const MMObjectList &v) { setChildren("custom", v); }

    // The identifier text of counter value n: "%016d", UTF-8, Base64.
    static QString identifierForNumber(quint32 n);
    // The value the last fresh object took (0 before the first).
    static quint32 identifierCounter();
    // Moves the counter on as a fresh object would, for an object that
    // keeps the identifier it was read with.
    static void passIdentifier();
};

// ap:ObjectReference: names another object by its OId.
class corObjectReference : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corObjectReference, MMXMLBaseObject)

    std::optional<QString> OIdRef() const { return string("OIdRef"); }
    void setOIdRef(const std::optional<QString> &v) { setString("OIdRef", v); }
};

class corParentObjectReference : public corObjectReference
{
    MM_ELEMENT_CLASS(corParentObjectReference, corObjectReference)
};

class corProperty : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corProperty, MMXMLBaseObject)

    std::optional<QString> dirty() const { return string("dirty"); }
    void setDirty(const std::optional<QString> &v) { setString("dirty", v); }
};

class corValue : public corProperty
{
    MM_ELEMENT_CLASS(corValue, corProperty)
};

class corGroup : public corProperty
{
    MM_ELEMENT_CLASS(corGroup, corProperty)
};

class corObjects : public corProperty
{
    MM_ELEMENT_CLASS(corObjects, corProperty)
};

class corOneObject : public corProperty
{
    MM_ELEMENT_CLASS(corOneObject, corProperty)
};

class corMultiple : public corValue
{
    MM_ELEMENT_CLASS(corMultiple, corValue)

    quint32 index() const { return uintValue("index"); }
    void setIndex(quint32 v) { setValue("index", v); }
};

class corCustom : public corMultiple
{
    MM_ELEMENT_CLASS(corCustom, corMultiple)

    std::optional<QString> uri() const { return string("uri"); }
    void setUri(const std::optional<QString> &v) { setString("uri", v); }
};

// cor:Base64: Base64 text, written after the element's (empty) children.
class corBase64 : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corBase64, MMXMLBaseObject)

    bool xsiNil() const { return boolValue("xsiNil"); }
    void setXsiNil(bool v) { setValue("xsiNil", v); }
    std::optional<QString> contents() const { return string("contents"); }
    void setContents(const std::optional<QString> &v) { setString("contents", v); }
};

// cor:Uri: the archive member that holds the data, as the element's text
// ("mmarch://bin/....bin"); newer writers name it so instead of a Uri
// attribute.
class corUri : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corUri, MMXMLBaseObject)

    bool xsiNil() const { return boolValue("xsiNil"); }
    std::optional<QString> contents() const { return string("contents"); }
    void setContents(const std::optional<QString> &v) { setString("contents", v); }
};

class corBinaryData : public corValue
{
    MM_ELEMENT_CLASS(corBinaryData, corValue)

    std::optional<QString> URI() const { return string("URI"); }
    void setURI(const std::optional<QString> &v) { setString("URI", v); }
    std::shared_ptr<corBase64> data() const { return child<corBase64>("data"); }
    void setData(const std::shared_ptr<corBase64> &v) { setChild("data", v); }
    std::shared_ptr<corUri> uriElement() const { return child<corUri>("uriElement"); }
};

// cor:XhtmlData: keeps a view of its html element when read (valid while
// the source tree lives); the notes element that derives from it writes the
// XHTML from xhtmlData.
class corXhtmlData : public corValue
{
    MM_ELEMENT_CLASS(corXhtmlData, corValue)

    std::optional<QString> xhtmlData() const { return string("xhtmlData"); }
    void setXhtmlData(const std::optional<QString> &v) { setString("xhtmlData", v); }
    XMLTree xhtmlTree() const { return tree("xhtmlTree"); }
    void setXhtmlTree(const XMLTree &v) { setValue("xhtmlTree", QVariant::fromValue(v)); }
};

class corBaseline : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corBaseline, MMXMLBaseObject)

    std::optional<int> Index() const { return intNumber("Index"); }
    void setIndex(std::optional<int> v) { setValue("Index", v ? QVariant(*v) : QVariant()); }
    std::optional<QString> BId() const { return string("BId"); }
    void setBId(const std::optional<QString> &v) { setString("BId", v); }
};

// cor:Baselines holds its entries as cor:Baseline, on reading and writing.
class corBaselines : public corProperty
{
    MM_ELEMENT_CLASS(corBaselines, corProperty)

    MMObjectList baselines() const { return children("baselines"); }
    void setBaselines(const MMObjectList &v) { setChildren("baselines", v); }
};

class corContainingPropertyReference;

class corPropertyReference : public MMXMLBaseObject
{
    MM_ELEMENT_CLASS(corPropertyReference, MMXMLBaseObject)

    std::optional<QString> qualifiedName() const { return string("qualifiedName"); }
    void setQualifiedName(const std::optional<QString> &v) { setString("qualifiedName", v); }
    std::optional<QString> indexPath() const { return string("indexPath"); }
    void setIndexPath(const std::optional<QString> &v) { setString("indexPath", v); }
    MMObjectPtr containingPropertyReference() const { return child("containingPropertyReference"); }
    void setContainingPropertyReference(const MMObjectPtr &v)
    {
        setChild("containingPropertyReference", v);
    }
};

class corContainingPropertyReference : public corPropertyReference
{
    MM_ELEMENT_CLASS(corContainingPropertyReference, corPropertyReference)
};
