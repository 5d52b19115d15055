#include "MindManagerImpExp/corElements.h"

#include "platform/CFormat.h"
#include "support/Base64.h"

#include <algorithm>
#include <charconv>

using T = MMValueType;

namespace {

// Process-wide and unlocked: one import or export runs at a time.
quint32 identifierCounter = 0;

template <typename C> MMObjectPtr make(const MMElementClass &cls)
{
    return std::make_shared<C>(cls);
}

void initFreshObject(MMXMLBaseObject &object)
{
    const QString id = corObject::identifierForNumber(++identifierCounter);
    object.setString("OId", id);
    object.setString("POId", id);
    object.setString("Gen", QStringLiteral("0000000000000000"));
    object.setString("Dirty", QStringLiteral("0000000000000001"));
}

void readBase64(MMXMLBaseObject &object, const XMLTree &tree)
{
    const QString text = tree.containedString();
    object.setString("contents", text.isNull() ? std::nullopt : std::optional<QString>(text));
}

void writeBase64(const MMXMLBaseObject &object, XMLTree &element)
{
    if (std::optional<QString> text = object.string("contents"))
        element.addContent(*text);
}

void readXhtml(MMXMLBaseObject &object, const XMLTree &tree)
{
    const XMLTree html = tree.childNamed("html");
    if (!html.isNull())
        object.setValue("xhtmlTree", QVariant::fromValue(html));
}

} // namespace

QString corObject::identifierForNumber(quint32 n)
{
    // "%016u" in Base64, without formatting through a string: every topic
    // an import reads takes one.
    char digits[16];
    std::fill(std::begin(digits), std::end(digits), '0');
    char number[10];
    const char *end = std::to_chars(std::begin(number), std::end(number), n).ptr;
    std::copy(static_cast<const char *>(number), end, std::end(digits) - (end - number));
    return TWBase64::twBase64String(QByteArray(digits, 16));
}

quint32 corObject::identifierCounter()
{
    return ::identifierCounter;
}

void corObject::passIdentifier()
{
    ++::identifierCounter;
}

const MMElementClass &corObject::staticClass()
{
    static const MMFieldRule fields[] = {
        {"OId", "OId", T::String},
        {"POId", "POId", T::String},
        {"Gen", "Gen", T::String},
        {"Dirty", "Dirty", T::String},
    };
    static const MMChildRule children[] = {
        {"custom", "cor:Custom", &corCustom::staticClass, true},
    };
    static const MMElementClass cls{"corObject",     "cor:Object", &MMXMLBaseObject::staticClass(),
                                    fields,          children,     &make<corObject>,
                                    &initFreshObject};
    return cls;
}

const MMElementClass &corObjectReference::staticClass()
{
    static const MMFieldRule fields[] = {{"OIdRef", "OIdRef", T::String}};
    static const MMElementClass cls{
        "corObjectReference",     "ap:ObjectReference", &MMXMLBaseObject::staticClass(), fields, {},
        &make<corObjectReference>};
    return cls;
}

const MMElementClass &corParentObjectReference::staticClass()
{
    static const MMElementClass cls{"corParentObjectReference",
                                    "cor:ParentObjectReference",
                                    &corObjectReference::staticClass(),
                                    {},
                                    {},
                                    &make<corParentObjectReference>};
    return cls;
}

const MMElementClass &corProperty::staticClass()
{
    static const MMFieldRule fields[] = {{"dirty", "Dirty", T::String}};
    static const MMElementClass cls{
        "corProperty",     "cor:Property", &MMXMLBaseObject::staticClass(), fields, {},
        &make<corProperty>};
    return cls;
}

#define MM_NAME_ONLY_CLASS(Class, Element, Base)                                                   \
    const MMElementClass &Class::staticClass()                                                     \
    {                                                                                              \
        static const MMElementClass cls{#Class, Element, &Base::staticClass(),                     \
                                        {},     {},      &make<Class>};                            \
        return cls;                                                                                \
    }

MM_NAME_ONLY_CLASS(corValue, "cor:Value", corProperty)
MM_NAME_ONLY_CLASS(corGroup, "cor:Group", corProperty)
MM_NAME_ONLY_CLASS(corObjects, "cor:Objects", corProperty)
MM_NAME_ONLY_CLASS(corOneObject, "cor:OneObject", corProperty)
MM_NAME_ONLY_CLASS(corContainingPropertyReference, "cor:ContainingPropertyReference",
                   corPropertyReference)

const MMElementClass &corMultiple::staticClass()
{
    static const MMFieldRule fields[] = {{"index", "Index", T::UInt}};
    static const MMElementClass cls{
        "corMultiple", "cor:Multiple", &corValue::staticClass(), fields, {}, &make<corMultiple>};
    return cls;
}

const MMElementClass &corCustom::staticClass()
{
    static const MMFieldRule fields[] = {{"uri", "Uri", T::String}};
    static const MMElementClass cls{"corCustom", "cor:Custom", &corMultiple::staticClass(),
                                    fields,      {},           &make<corCustom>};
    return cls;
}

const MMElementClass &corBase64::staticClass()
{
    static const MMFieldRule fields[] = {
        {"xsiNil", "xsi:nil", T::Bool, 0},
        {"contents", nullptr, T::String},
    };
    static const MMElementClass cls{"corBase64", "cor:Base64", &MMXMLBaseObject::staticClass(),
                                    fields,      {},           &make<corBase64>,
                                    nullptr,     &readBase64,  nullptr,
                                    &writeBase64};
    return cls;
}

const MMElementClass &corUri::staticClass()
{
    static const MMFieldRule fields[] = {
        {"xsiNil", "xsi:nil", T::Bool, 0},
        {"contents", nullptr, T::String},
    };
    static const MMElementClass cls{"corUri",    "cor:Uri",   &MMXMLBaseObject::staticClass(),
                                    fields,      {},          &make<corUri>,
                                    nullptr,     &readBase64, nullptr,
                                    &writeBase64};
    return cls;
}

const MMElementClass &corBinaryData::staticClass()
{
    static const MMFieldRule fields[] = {{"URI", "Uri", T::String}};
    static const MMChildRule children[] = {
        {"data", "cor:Base64", &corBase64::staticClass},
        {"uriElement", "cor:Uri", &corUri::staticClass},
    };
    static const MMElementClass cls{"corBinaryData", "cor:BinaryData", &corValue::staticClass(),
                                    fields,          children,         &make<corBinaryData>};
    return cls;
}

const MMElementClass &corXhtmlData::staticClass()
{
    static const MMFieldRule fields[] = {
        {"xhtmlData", nullptr, T::String},
        {"xhtmlTree", nullptr, T::Tree},
    };
    static const MMElementClass cls{
        "corXhtmlData", "cor:XhtmlData", &corValue::staticClass(), fields, {}, &make<corXhtmlData>,
        nullptr,        &readXhtml};
    return cls;
}

const MMElementClass &corBaseline::staticClass()
{
    static const MMFieldRule fields[] = {
        {"Index", "Index", T::IntNumber},
        {"BId", "BId", T::String},
    };
    static const MMElementClass cls{
        "corBaseline",     "cor:Baseline", &MMXMLBaseObject::staticClass(), fields, {},
        &make<corBaseline>};
    return cls;
}

const MMElementClass &corBaselines::staticClass()
{
    static const MMChildRule children[] = {
        {"baselines", "cor:Baseline", &corBaseline::staticClass, true},
    };
    static const MMElementClass cls{
        "corBaselines", "cor:Baselines",    &corProperty::staticClass(), {},
        children,       &make<corBaselines>};
    return cls;
}

const MMElementClass &corPropertyReference::staticClass()
{
    static const MMFieldRule fields[] = {
        {"qualifiedName", "QualifiedName", T::String},
        {"indexPath", "IndexPath", T::String},
    };
    static const MMChildRule children[] = {
        {"containingPropertyReference", "cor:ContainingPropertyReference",
         &corContainingPropertyReference::staticClass},
    };
    static const MMElementClass cls{"corPropertyReference",
                                    "cor:PropertyReference",
                                    &MMXMLBaseObject::staticClass(),
                                    fields,
                                    children,
                                    &make<corPropertyReference>};
    return cls;
}
