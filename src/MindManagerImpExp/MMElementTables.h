#pragma once

// Helpers for the .cpp files that define element class tables. A table is
// written as
//   MM_TABLE_BEGIN(apOffset)
//       static const MMFieldRule fields[] = {...};
//   MM_TABLE_END(apOffset, "ap:Offset", corValue, fields, {})
// and a class that only renames another element's content as
//   MM_RENAME(apCreator, "ap:Creator", apUser)

#include "MindManagerImpExp/MMXMLBaseObject.h"

template <typename C> MMObjectPtr mmMakeElement(const MMElementClass &cls)
{
    return std::make_shared<C>(cls);
}

#define MM_TABLE_BEGIN(Class)                                                                      \
    const MMElementClass &Class::staticClass()                                                     \
    {
#define MM_TABLE_END(Class, Element, Base, Fields, Children)                                       \
    static const MMElementClass cls{#Class, Element,  &Base::staticClass(),                        \
                                    Fields, Children, &mmMakeElement<Class>};                      \
    return cls;                                                                                    \
    }
#define MM_TABLE_END_HOOKS(Class, Element, Base, Fields, Children, Read, Fill, Write)              \
    static const MMElementClass cls{#Class,  Element,  &Base::staticClass(),                       \
                                    Fields,  Children, &mmMakeElement<Class>,                      \
                                    nullptr, Read,     Fill,                                       \
                                    Write};                                                        \
    return cls;                                                                                    \
    }
#define MM_RENAME(Class, Element, Base)                                                            \
    MM_TABLE_BEGIN(Class)                                                                          \
    MM_TABLE_END(Class, Element, Base, {}, {})

// Typed accessors for element class declarations.
#define MM_STRING_FIELD(get, set, field)                                                           \
    std::optional<QString> get() const                                                             \
    {                                                                                              \
        return string(field);                                                                      \
    }                                                                                              \
    void set(const std::optional<QString> &v)                                                      \
    {                                                                                              \
        setString(field, v);                                                                       \
    }
#define MM_FLOAT_FIELD(get, set, field)                                                            \
    std::optional<float> get() const                                                               \
    {                                                                                              \
        return floatNumber(field);                                                                 \
    }                                                                                              \
    void set(std::optional<float> v)                                                               \
    {                                                                                              \
        setValue(field, v ? QVariant(*v) : QVariant());                                            \
    }
#define MM_INT_FIELD(get, set, field)                                                              \
    std::optional<int> get() const                                                                 \
    {                                                                                              \
        return intNumber(field);                                                                   \
    }                                                                                              \
    void set(std::optional<int> v)                                                                 \
    {                                                                                              \
        setValue(field, v ? QVariant(*v) : QVariant());                                            \
    }
#define MM_BOOL_FIELD(get, set, field)                                                             \
    bool get() const                                                                               \
    {                                                                                              \
        return boolValue(field);                                                                   \
    }                                                                                              \
    void set(bool v)                                                                               \
    {                                                                                              \
        setValue(field, v);                                                                        \
    }
#define MM_DATE_FIELD(get, set, field)                                                             \
    std::optional<QDateTime> get() const                                                           \
    {                                                                                              \
        return date(field);                                                                        \
    }                                                                                              \
    void set(const std::optional<QDateTime> &v)                                                    \
    {                                                                                              \
        setValue(field, v ? QVariant(*v) : QVariant());                                            \
    }
#define MM_CHILD_FIELD(Type, get, set, field)                                                      \
    std::shared_ptr<Type> get() const                                                              \
    {                                                                                              \
        return child<Type>(field);                                                                 \
    }                                                                                              \
    void set(const std::shared_ptr<Type> &v)                                                       \
    {                                                                                              \
        setChild(field, v);                                                                        \
    }
#define MM_LIST_FIELD(get, set, field)                                                             \
    MMObjectList get() const                                                                       \
    {                                                                                              \
        return children(field);                                                                    \
    }                                                                                              \
    void set(const MMObjectList &v)                                                                \
    {                                                                                              \
        setChildren(field, v);                                                                     \
    }
