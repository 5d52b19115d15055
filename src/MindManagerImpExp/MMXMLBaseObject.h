#pragma once

#include "MindManagerImpExp/XMLTree.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <QVariant>
#include <atomic>
#include <memory>
#include <optional>
#include <span>

class MMXMLBaseObject;

// How a field holds its value. Strings, number objects and dates are nil
// when absent and written only when set; plain numbers and booleans always
// hold a value (their default when absent) and are always written.
enum class MMValueType {
    String,      // stored exactly as read
    IntNumber,   // leading integer of the text, "%d"
    FloatNumber, // single precision, "%f"
    Int,         // plain integer, "%d"
    UInt,        // plain unsigned 32-bit integer, read and written as "%d"
    Float,       // plain single-precision real, "%f"
    Bool,        // "true"/"false"; any other text reads as the default
    Date,        // "%Y-%m-%dT%H:%M:%S", local time
    Tree,        // an XMLTree view; never an attribute
};

// One field of an element class. A field with an attribute name is read
// from and written to that attribute; one without is kept for the class's
// own hooks (element text, a view of a child).
struct MMFieldRule
{
    const char *field;
    const char *attribute;
    MMValueType type;
    double defaultValue = 0;
};

struct MMElementClass;

// One child field: looked up under `element` among the immediate children,
// the first match or all of them in document order. The child writes itself
// under its own class's element name.
struct MMChildRule
{
    const char *field;
    const char *element;
    // A function, so that tables may refer to each other in any order.
    const MMElementClass &(*elementClass)();
    bool many = false;
    // When given, the child is read and written only while it answers true;
    // it sees the fields of the object's own class already read.
    bool (*when)(const MMXMLBaseObject &) = nullptr;
};

// The table that drives reading and writing of one element class. Base class
// fields and children come first, on reading and on writing. The hooks cover
// what a table cannot say; each runs after the class's own fields (read,
// fill) or children (write).
struct MMElementClass
{
    const char *className;
    const char *elementName; // nullptr: the class writes no element of its own
    const MMElementClass *base;
    std::span<const MMFieldRule> fields;
    std::span<const MMChildRule> children;
    // The C++ object made for this class and, unless they have their own,
    // its subclasses.
    std::shared_ptr<MMXMLBaseObject> (*make)(const MMElementClass &) = nullptr;
    void (*initFresh)(MMXMLBaseObject &) = nullptr;
    void (*read)(MMXMLBaseObject &, const XMLTree &) = nullptr;
    void (*fillAttributes)(const MMXMLBaseObject &, QHash<QString, QString> &,
                           QStringList &) = nullptr;
    void (*write)(const MMXMLBaseObject &, XMLTree &) = nullptr;
    // What the engine works out once from the class and its bases.
    mutable std::atomic<const void *> layout = nullptr;
};

using MMObjectPtr = std::shared_ptr<MMXMLBaseObject>;
using MMObjectList = QList<MMObjectPtr>;

// An element of a MindManager map, read from an XMLTree standing on its
// element and written as a new child of an XMLTree. Which fields and
// children it has, and how they are read and written, comes from its class
// table; the typed classes (corObject, ...) only name the fields. Only the
// fields and children set are stored: an import makes tens of thousands of
// these, each with a few of its class's many fields.
class MMXMLBaseObject : public std::enable_shared_from_this<MMXMLBaseObject>
{
public:
    static const MMElementClass &staticClass();

    explicit MMXMLBaseObject(const MMElementClass &elementClass);
    virtual ~MMXMLBaseObject();
    MMXMLBaseObject(const MMXMLBaseObject &) = delete;
    MMXMLBaseObject &operator=(const MMXMLBaseObject &) = delete;

    // A fresh object, as the exporter makes them (a corObject takes a new
    // identifier).
    static MMObjectPtr create(const MMElementClass &elementClass);
    template <typename T> static std::shared_ptr<T> create()
    {
        return std::dynamic_pointer_cast<T>(create(T::staticClass()));
    }
    // An object with every field nil or at its default and no children, as
    // the reader starts one.
    static MMObjectPtr createEmpty(const MMElementClass &elementClass);
    // Reads the element the tree stands on; unknown attributes and children
    // are ignored and nothing is reported missing. Null for a null tree.
    // Class hooks run after every field and child is read.
    static MMObjectPtr initWithXMLTree(const MMElementClass &elementClass, const XMLTree &tree);
    template <typename T> static std::shared_ptr<T> initWithXMLTree(const XMLTree &tree)
    {
        return std::dynamic_pointer_cast<T>(initWithXMLTree(T::staticClass(), tree));
    }
    // The same from a flattened element, for classes readsFlatTrees() allows.
    static MMObjectPtr initWithFlatTree(const MMElementClass &elementClass,
                                        const XMLFlatTree::Element &element);
    // Whether the class and every class below it read attributes and
    // prefixed child elements alone: no hook needs the XML itself.
    static bool readsFlatTrees(const MMElementClass &elementClass);

    const MMElementClass &elementClass() const { return *m_class; }
    bool isKindOf(const MMElementClass &elementClass) const;
    // The same object, one more reference.
    MMObjectPtr copy() { return shared_from_this(); }

    // Writes this object as a new child of parent and returns the view on
    // it; a null tree for a class that writes no element.
    XMLTree createSubtreeInTree(XMLTree &parent) const;
    void fillAttributesDictionary(QHash<QString, QString> &dictionary, QStringList &order) const;
    void addSubTreesIntoTree(XMLTree &element) const;
    // Adds the element, sets its attributes in order, then writes children.
    XMLTree fillAttributesAndCreateChildOf(XMLTree &parent, const QString &name) const;

    // --- fields by name (the names of the class tables) ---
    bool hasField(const char *field) const;
    // Whether the field holds a value read or set, rather than its default.
    bool isSet(const char *field) const;
    // Invalid for a nil field.
    QVariant value(const char *field) const;
    void setValue(const char *field, const QVariant &value);
    std::optional<QString> string(const char *field) const;
    void setString(const char *field, const std::optional<QString> &value);
    std::optional<int> intNumber(const char *field) const;
    std::optional<float> floatNumber(const char *field) const;
    int intValue(const char *field) const;
    quint32 uintValue(const char *field) const;
    float floatValue(const char *field) const;
    bool boolValue(const char *field) const;
    std::optional<QDateTime> date(const char *field) const;
    XMLTree tree(const char *field) const;

    MMObjectPtr child(const char *field) const;
    void setChild(const char *field, const MMObjectPtr &child);
    MMObjectList children(const char *field) const;
    void setChildren(const char *field, const MMObjectList &children);
    void addChild(const char *field, const MMObjectPtr &child);
    template <typename T> std::shared_ptr<T> child(const char *field) const
    {
        return std::dynamic_pointer_cast<T>(child(field));
    }

    // --- value conversions ---
    static bool stringToBool(const QString &string, bool defaultValue);
    static QString boolToString(bool value);
    static std::optional<int> stringToIntNumber(const QString &string);
    static std::optional<float> stringToFloatNumber(const QString &string);
    static QString intToString(int value);
    static QString floatToString(double value);
    static QString dateToString(const QDateTime &date);
    static std::optional<QDateTime> stringToDate(const QString &string);

private:
    struct Layout;
    struct FieldRef
    {
        const MMFieldRule *desc = nullptr;
        int index = -1;
    };
    struct ChildRef
    {
        const MMChildRule *desc = nullptr;
        int index = -1;
    };
    struct ValueSlot
    {
        int index;
        QVariant value;
    };
    // The children of one child field: `list` when it holds more than
    // one, else `first` alone.
    struct ChildSlot
    {
        int index;
        MMObjectPtr first;
        MMObjectList list;
    };
    FieldRef fieldRef(const char *field) const;
    const ValueSlot *valueSlot(int index) const;
    const QVariant &valueAt(int index) const;
    const QVariant &valueRef(const char *field) const;
    void store(int index, QVariant &&value);
    ChildRef childRef(const char *field) const;
    const ChildSlot *childSlot(int index) const;
    void appendChild(int index, MMObjectPtr &&child);
    void setChildrenAt(int index, const MMObjectList &children);
    template <typename Tree> void readFrom(const Tree &tree);
    static QVariant readValue(const MMFieldRule &desc, const char *text);
    static QVariant readValue(const MMFieldRule &desc, const QString &text);
    static std::optional<QString> writtenValue(const MMFieldRule &desc, const QVariant &value);

    const MMElementClass *m_class;
    const Layout *m_layout;
    // Most elements set a few fields and child fields: those are kept in
    // the object itself.
    QVarLengthArray<ValueSlot, 3> m_values;   // the fields set, by index in the class chain
    QVarLengthArray<ChildSlot, 2> m_children; // the child fields holding any
};

Q_DECLARE_METATYPE(XMLTree)
