#pragma once

#include "support/XMLElement.h"

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

#include <libxml/tree.h>

// The value classes that have a value element. Containers (arrays,
// dictionaries) write such a value as its element and, reading, pick the
// class by the element's name.
//
// A value travels in a QVariant: numbers as int/qlonglong/double (bool and
// the other arithmetic types are accepted when writing), data as
// QByteArray, strings as QString, arrays as QVariantList, dictionaries as
// OrderedDictionary (QVariantMap is accepted when writing), and every
// registered class as QVariant::fromValue<T>() of its own C++ type.
//
// A value type T is registered by its floor's registration function (the
// support floor's: registerSupportTypes()), which programs reach through
// registerTypesAndResources() at start, before any container is read:
//
//     TWXMLProtocol::registerClass<Color>("NSColor");
//
// Not from a static initialiser: the library is static, and the linker drops
// an object no program refers to, with its initialisers.
//
// registerClass<T> expects these members of T:
//     XMLElement freshXMLElement() const;                          element-route writer
//     static std::optional<T> objectWithXMLElement(const XMLElement &);  reader (nullopt = nil)
//     void addXmlDataToNode(xmlNodePtr parent) const;              libxml2-route writer
// and, where the class has a text form, QString description() const.
// A class without a libxml2-route form gives an addXmlDataToNode that does
// nothing. Registering a second name for the same type adds an alias that
// is read like the first; the first name is the one written.
namespace TWXMLProtocol {

struct ClassInfo
{
    QString elementName;
    QMetaType metaType;
    std::function<XMLElement(const QVariant &value)> freshXMLElement;
    // An invalid QVariant stands for nil.
    std::function<QVariant(const XMLElement &element)> objectWithXMLElement;
    std::function<void(const QVariant &value, xmlNodePtr parent)> addXmlDataToNode;
    // The value's text form; empty for classes that have none.
    std::function<QString(const QVariant &value)> description;
};

// Registers (or replaces) the class of this element name. Returns true.
bool registerClass(const ClassInfo &info);

template <class T> bool registerClass(const char *elementName)
{
    ClassInfo info;
    info.elementName = QString::fromLatin1(elementName);
    info.metaType = QMetaType::fromType<T>();
    info.freshXMLElement = [](const QVariant &v) { return v.value<T>().freshXMLElement(); };
    info.objectWithXMLElement = [](const XMLElement &e) {
        std::optional<T> value = T::objectWithXMLElement(e);
        return value ? QVariant::fromValue(std::move(*value)) : QVariant();
    };
    info.addXmlDataToNode = [](const QVariant &v, xmlNodePtr parent) {
        v.value<T>().addXmlDataToNode(parent);
    };
    if constexpr (requires(const T &t) { QString(t.description()); })
        info.description = [](const QVariant &v) { return QString(v.value<T>().description()); };
    return registerClass(info);
}

// The class registered under this element name, or nullptr.
const ClassInfo *classForElementName(QStringView elementName);
// The class whose value this QVariant carries (numbers, data, arrays and
// dictionaries included), or nullptr for strings and other plain values.
const ClassInfo *classForValue(const QVariant &value);
bool conformsToProtocol(const QVariant &value);

// Element-route writer of any member value; a null element for values that
// are not members.
XMLElement freshXMLElement(const QVariant &value);
// Element-route reader chosen by the element's name; invalid for a null
// element, an unknown name or a reader that gives nil. Logs nothing.
QVariant objectWithXMLElement(const XMLElement &element);
// Libxml2-route writer of any member value; false for values that are not
// members (nothing is written then).
bool addXmlDataToNode(const QVariant &value, xmlNodePtr parent);

// The text a value is written as where no element can hold it: strings as
// they are, numbers in their short C-locale form, booleans as 1 or 0, arrays
// as "(a, b)", member values by their class's description.
QString description(const QVariant &value);
// False for a value whose class has no text form (a picture, a shadow):
// description() gives an empty text for it.
bool hasDescription(const QVariant &value);

// Reads one container item from its value holder: the value of the nested
// element when the first child is one (logging "Object could not be created
// from XML element: <name>" and giving invalid when no value comes of it),
// else the holder's text.
QVariant readContainerItem(const XMLElement &holder);
// Fills a value holder: a member value as its element, any other as text.
void writeContainerItem(XMLElement holder, const QVariant &value);

} // namespace TWXMLProtocol
