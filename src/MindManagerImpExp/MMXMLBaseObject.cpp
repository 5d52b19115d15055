#include "MindManagerImpExp/MMXMLBaseObject.h"

#include "platform/CFormat.h"

#include <QDebug>
#include <cmath>
#include <cstring>

namespace {

// The class and its bases, root first. Every element read makes one, so
// it lives on the stack; class tables are a few levels deep.
class Chain
{
public:
    explicit Chain(const MMElementClass *cls)
    {
        size_t depth = 0;
        for (const MMElementClass *c = cls; c; c = c->base)
            ++depth;
        if (depth > Inline)
            m_more.resize(depth);
        const MMElementClass **at = items() + depth;
        for (; cls; cls = cls->base)
            *--at = cls;
        m_size = depth;
    }
    const MMElementClass *const *begin() const { return m_more.empty() ? m_inline : m_more.data(); }
    const MMElementClass *const *end() const { return begin() + m_size; }

private:
    static constexpr size_t Inline = 8;
    const MMElementClass **items() { return m_more.empty() ? m_inline : m_more.data(); }
    const MMElementClass *m_inline[Inline];
    std::vector<const MMElementClass *> m_more;
    size_t m_size = 0;
};

Chain chainOf(const MMElementClass *cls)
{
    return Chain(cls);
}

MMObjectPtr makeObject(const MMElementClass &cls)
{
    for (const MMElementClass *c = &cls; c; c = c->base) {
        if (c->make)
            return c->make(cls);
    }
    return std::make_shared<MMXMLBaseObject>(cls);
}

bool isPlain(MMValueType type)
{
    return type == MMValueType::Int || type == MMValueType::UInt || type == MMValueType::Float ||
           type == MMValueType::Bool;
}

QVariant defaultOf(const MMFieldRule &desc)
{
    switch (desc.type) {
    case MMValueType::Int:
        return int(desc.defaultValue);
    case MMValueType::UInt:
        return quint32(desc.defaultValue);
    case MMValueType::Float:
        return float(desc.defaultValue);
    case MMValueType::Bool:
        return desc.defaultValue != 0;
    default:
        return QVariant();
    }
}

} // namespace

const MMElementClass &MMXMLBaseObject::staticClass()
{
    static const MMElementClass cls{"MMXMLBaseObject", nullptr, nullptr, {}, {}};
    return cls;
}

MMXMLBaseObject::MMXMLBaseObject(const MMElementClass &elementClass) : m_class(&elementClass)
{
    const Chain chain = chainOf(m_class);
    size_t fields = 0, children = 0;
    for (const MMElementClass *c : chain) {
        fields += c->fields.size();
        children += c->children.size();
    }
    m_values.reserve(fields);
    for (const MMElementClass *c : chain) {
        for (const MMFieldRule &desc : c->fields)
            m_values.push_back(defaultOf(desc));
    }
    m_children.resize(children);
}

MMXMLBaseObject::~MMXMLBaseObject() = default;

MMObjectPtr MMXMLBaseObject::create(const MMElementClass &elementClass)
{
    MMObjectPtr object = makeObject(elementClass);
    for (const MMElementClass *c : chainOf(&elementClass)) {
        if (c->initFresh)
            c->initFresh(*object);
    }
    return object;
}

MMObjectPtr MMXMLBaseObject::initWithXMLTree(const MMElementClass &elementClass,
                                             const XMLTree &tree)
{
    if (tree.isNull() || !tree.rootNode())
        return nullptr;
    MMObjectPtr object = makeObject(elementClass);
    object->readFrom(tree);
    return object;
}

MMObjectPtr MMXMLBaseObject::initWithFlatTree(const MMElementClass &elementClass,
                                              const XMLFlatTree::Element &element)
{
    if (element.isNull())
        return nullptr;
    MMObjectPtr object = makeObject(elementClass);
    object->readFrom(element);
    return object;
}

namespace {

bool readsFlat(const MMElementClass &cls, int depth)
{
    // Class tables nest a few levels; one that refers back to itself is
    // read as XML.
    if (depth > 16)
        return false;
    for (const MMElementClass *c = &cls; c; c = c->base) {
        if (c->read)
            return false;
        for (const MMFieldRule &desc : c->fields) {
            if (desc.type == MMValueType::Tree)
                return false;
        }
        for (const MMChildRule &desc : c->children) {
            // Lookups by a bare name could also find text or comments.
            if (!std::strchr(desc.element, ':') || !readsFlat(desc.elementClass(), depth + 1))
                return false;
        }
    }
    return true;
}

MMObjectPtr readChild(const MMElementClass &cls, const XMLTree &tree)
{
    return MMXMLBaseObject::initWithXMLTree(cls, tree);
}

MMObjectPtr readChild(const MMElementClass &cls, const XMLFlatTree::Element &element)
{
    return MMXMLBaseObject::initWithFlatTree(cls, element);
}

void readHook(const MMElementClass &cls, MMXMLBaseObject &object, const XMLTree &tree)
{
    cls.read(object, tree);
}

void readHook(const MMElementClass &, MMXMLBaseObject &, const XMLFlatTree::Element &)
{
    Q_ASSERT_X(false, "MMXMLBaseObject", "a hook reads a flattened element");
}

} // namespace

bool MMXMLBaseObject::readsFlatTrees(const MMElementClass &elementClass)
{
    return readsFlat(elementClass, 0);
}

bool MMXMLBaseObject::isKindOf(const MMElementClass &elementClass) const
{
    for (const MMElementClass *c = m_class; c; c = c->base) {
        if (c == &elementClass)
            return true;
    }
    return false;
}

template <typename Tree> void MMXMLBaseObject::readFrom(const Tree &tree)
{
    int valueIndex = 0;
    int childIndex = 0;
    for (const MMElementClass *c : chainOf(m_class)) {
        for (const MMFieldRule &desc : c->fields) {
            // A new object holds every default already; most attributes
            // are absent.
            if (desc.attribute) {
                if (const QString text = tree.attributeNamed(desc.attribute); !text.isNull())
                    m_values[valueIndex] = readValue(desc, text);
            }
            ++valueIndex;
        }
        for (const MMChildRule &desc : c->children) {
            MMObjectList &list = m_children[childIndex++];
            if (desc.when && !desc.when(*this))
                continue;
            if (desc.many) {
                for (const auto &childTree : tree.childrenNamed(desc.element))
                    list.append(readChild(desc.elementClass(), childTree));
            } else if (MMObjectPtr object =
                           readChild(desc.elementClass(), tree.childNamed(desc.element))) {
                list.append(object);
            }
        }
        if (c->read)
            readHook(*c, *this, tree);
    }
}

QVariant MMXMLBaseObject::readValue(const MMFieldRule &desc, const QString &text)
{
    switch (desc.type) {
    case MMValueType::String:
        return text;
    case MMValueType::IntNumber:
        return *stringToIntNumber(text);
    case MMValueType::FloatNumber:
        return *stringToFloatNumber(text);
    case MMValueType::Int:
        return CFormat::intValue(text);
    case MMValueType::UInt:
        return quint32(CFormat::intValue(text));
    case MMValueType::Float:
        return CFormat::floatValue(text);
    case MMValueType::Bool:
        return stringToBool(text, desc.defaultValue != 0);
    case MMValueType::Date:
        if (std::optional<QDateTime> d = stringToDate(text))
            return *d;
        return QVariant();
    case MMValueType::Tree:
        break;
    }
    return QVariant();
}

std::optional<QString> MMXMLBaseObject::writtenValue(const MMFieldRule &desc, const QVariant &value)
{
    if (!value.isValid())
        return isPlain(desc.type) ? writtenValue(desc, defaultOf(desc)) : std::nullopt;
    switch (desc.type) {
    case MMValueType::String:
        return value.toString();
    case MMValueType::IntNumber:
    case MMValueType::Int:
        return intToString(value.toInt());
    case MMValueType::UInt:
        return intToString(int(value.toUInt()));
    case MMValueType::FloatNumber:
    case MMValueType::Float:
        return floatToString(value.toFloat());
    case MMValueType::Bool:
        return boolToString(value.toBool());
    case MMValueType::Date:
        return dateToString(value.toDateTime());
    case MMValueType::Tree:
        break;
    }
    return std::nullopt;
}

XMLTree MMXMLBaseObject::createSubtreeInTree(XMLTree &parent) const
{
    if (!m_class->elementName)
        return XMLTree();
    return fillAttributesAndCreateChildOf(parent, QString::fromUtf8(m_class->elementName));
}

void MMXMLBaseObject::fillAttributesDictionary(QHash<QString, QString> &dictionary,
                                               QStringList &order) const
{
    int valueIndex = 0;
    for (const MMElementClass *c : chainOf(m_class)) {
        for (const MMFieldRule &desc : c->fields) {
            const QVariant &value = m_values[valueIndex++];
            if (!desc.attribute)
                continue;
            if (std::optional<QString> text = writtenValue(desc, value)) {
                const QString name = QString::fromUtf8(desc.attribute);
                if (!dictionary.contains(name))
                    order.append(name);
                dictionary.insert(name, *text);
            }
        }
        if (c->fillAttributes)
            c->fillAttributes(*this, dictionary, order);
    }
}

void MMXMLBaseObject::addSubTreesIntoTree(XMLTree &element) const
{
    int childIndex = 0;
    for (const MMElementClass *c : chainOf(m_class)) {
        for (size_t i = 0; i < c->children.size(); ++i) {
            const MMChildRule &desc = c->children[i];
            for (const MMObjectPtr &object : m_children[childIndex]) {
                if (desc.when && !desc.when(*this))
                    break;
                if (object)
                    object->createSubtreeInTree(element);
            }
            ++childIndex;
        }
        if (c->write)
            c->write(*this, element);
    }
}

XMLTree MMXMLBaseObject::fillAttributesAndCreateChildOf(XMLTree &parent, const QString &name) const
{
    QHash<QString, QString> dictionary;
    QStringList order;
    fillAttributesDictionary(dictionary, order);
    XMLTree element = parent.addSubtree(name);
    if (element.isNull())
        return element;
    for (const QString &attribute : order)
        element.setAttributeName(attribute, dictionary.value(attribute));
    addSubTreesIntoTree(element);
    return element;
}

namespace {

// Fields and children are looked up by name for every value read, mostly
// with the same literal from the same call site: the answer is remembered
// by class and name pointer, and confirmed by comparing the name.
struct RememberedLookup
{
    const MMElementClass *cls = nullptr;
    const char *name = nullptr;
    const char *found = nullptr; // the name in the class table
    const void *desc = nullptr;
    int index = -1;
};

RememberedLookup &rememberedLookup(RememberedLookup *table, const MMElementClass *cls,
                                   const char *name)
{
    const auto hash =
        (reinterpret_cast<quintptr>(cls) >> 4) * 31 + (reinterpret_cast<quintptr>(name) >> 1);
    return table[hash % 251];
}

bool isRemembered(const RememberedLookup &entry, const MMElementClass *cls, const char *name)
{
    return entry.cls == cls && entry.name == name && std::strcmp(entry.found, name) == 0;
}

thread_local RememberedLookup rememberedFields[251];
thread_local RememberedLookup rememberedChildren[251];

} // namespace

MMXMLBaseObject::FieldRef MMXMLBaseObject::fieldRef(const char *field) const
{
    RememberedLookup &remembered = rememberedLookup(rememberedFields, m_class, field);
    if (isRemembered(remembered, m_class, field))
        return {static_cast<const MMFieldRule *>(remembered.desc), remembered.index};
    // Searched from the most derived class, whose field names hide a base's;
    // the first letters are compared first.
    int end = int(m_values.size());
    for (const MMElementClass *c = m_class; c; c = c->base) {
        const int start = end - int(c->fields.size());
        for (size_t i = 0; i < c->fields.size(); ++i) {
            if (c->fields[i].field[0] == field[0] && std::strcmp(c->fields[i].field, field) == 0) {
                remembered = {m_class, field, c->fields[i].field, &c->fields[i], start + int(i)};
                return {&c->fields[i], start + int(i)};
            }
        }
        end = start;
    }
    qWarning("%s has no field %s", m_class->className, field);
    Q_ASSERT_X(false, "MMXMLBaseObject", "unknown field");
    return {};
}

MMXMLBaseObject::ChildRef MMXMLBaseObject::childRef(const char *field) const
{
    RememberedLookup &remembered = rememberedLookup(rememberedChildren, m_class, field);
    if (isRemembered(remembered, m_class, field))
        return {static_cast<const MMChildRule *>(remembered.desc), remembered.index};
    int end = int(m_children.size());
    for (const MMElementClass *c = m_class; c; c = c->base) {
        const int start = end - int(c->children.size());
        for (size_t i = 0; i < c->children.size(); ++i) {
            if (c->children[i].field[0] == field[0] &&
                std::strcmp(c->children[i].field, field) == 0) {
                remembered = {m_class, field, c->children[i].field, &c->children[i],
                              start + int(i)};
                return {&c->children[i], start + int(i)};
            }
        }
        end = start;
    }
    qWarning("%s has no child field %s", m_class->className, field);
    Q_ASSERT_X(false, "MMXMLBaseObject", "unknown child field");
    return {};
}

bool MMXMLBaseObject::hasField(const char *field) const
{
    for (const MMElementClass *c = m_class; c; c = c->base) {
        for (const MMFieldRule &desc : c->fields) {
            if (std::strcmp(desc.field, field) == 0)
                return true;
        }
        for (const MMChildRule &desc : c->children) {
            if (std::strcmp(desc.field, field) == 0)
                return true;
        }
    }
    return false;
}

QVariant MMXMLBaseObject::value(const char *field) const
{
    return valueRef(field);
}

const QVariant &MMXMLBaseObject::valueRef(const char *field) const
{
    // The typed getters read the value in place: they are asked for every
    // value an import converts.
    static const QVariant nil;
    const FieldRef ref = fieldRef(field);
    return ref.desc ? m_values[ref.index] : nil;
}

void MMXMLBaseObject::setValue(const char *field, const QVariant &value)
{
    const FieldRef ref = fieldRef(field);
    if (!ref.desc)
        return;
    // Plain fields cannot be nil.
    m_values[ref.index] = !value.isValid() ? defaultOf(*ref.desc) : value;
}

std::optional<QString> MMXMLBaseObject::string(const char *field) const
{
    const QVariant &v = valueRef(field);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void MMXMLBaseObject::setString(const char *field, const std::optional<QString> &value)
{
    setValue(field, value ? QVariant(*value) : QVariant());
}

std::optional<int> MMXMLBaseObject::intNumber(const char *field) const
{
    const QVariant &v = valueRef(field);
    return v.isValid() ? std::optional<int>(v.toInt()) : std::nullopt;
}

std::optional<float> MMXMLBaseObject::floatNumber(const char *field) const
{
    const QVariant &v = valueRef(field);
    return v.isValid() ? std::optional<float>(v.toFloat()) : std::nullopt;
}

int MMXMLBaseObject::intValue(const char *field) const
{
    return valueRef(field).toInt();
}

quint32 MMXMLBaseObject::uintValue(const char *field) const
{
    return valueRef(field).toUInt();
}

float MMXMLBaseObject::floatValue(const char *field) const
{
    return valueRef(field).toFloat();
}

bool MMXMLBaseObject::boolValue(const char *field) const
{
    return valueRef(field).toBool();
}

std::optional<QDateTime> MMXMLBaseObject::date(const char *field) const
{
    const QVariant &v = valueRef(field);
    return v.isValid() ? std::optional<QDateTime>(v.toDateTime()) : std::nullopt;
}

XMLTree MMXMLBaseObject::tree(const char *field) const
{
    return valueRef(field).value<XMLTree>();
}

MMObjectPtr MMXMLBaseObject::child(const char *field) const
{
    const ChildRef ref = childRef(field);
    if (!ref.desc)
        return nullptr;
    const MMObjectList &list = m_children[ref.index];
    return list.isEmpty() ? nullptr : list.constFirst();
}

void MMXMLBaseObject::setChild(const char *field, const MMObjectPtr &child)
{
    const ChildRef ref = childRef(field);
    if (!ref.desc)
        return;
    m_children[ref.index].clear();
    if (child)
        m_children[ref.index].append(child);
}

MMObjectList MMXMLBaseObject::children(const char *field) const
{
    const ChildRef ref = childRef(field);
    return ref.desc ? m_children[ref.index] : MMObjectList();
}

void MMXMLBaseObject::setChildren(const char *field, const MMObjectList &children)
{
    const ChildRef ref = childRef(field);
    if (ref.desc)
        m_children[ref.index] = children;
}

void MMXMLBaseObject::addChild(const char *field, const MMObjectPtr &child)
{
    const ChildRef ref = childRef(field);
    if (ref.desc && child)
        m_children[ref.index].append(child);
}

bool MMXMLBaseObject::stringToBool(const QString &string, bool defaultValue)
{
    const QString lower = string.toLower();
    if (lower == QLatin1String("false"))
        return false;
    if (lower == QLatin1String("true"))
        return true;
    return defaultValue;
}

QString MMXMLBaseObject::boolToString(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

std::optional<int> MMXMLBaseObject::stringToIntNumber(const QString &string)
{
    if (string.isNull())
        return std::nullopt;
    return CFormat::intValue(string);
}

std::optional<float> MMXMLBaseObject::stringToFloatNumber(const QString &string)
{
    if (string.isNull())
        return std::nullopt;
    return CFormat::floatValue(string);
}

QString MMXMLBaseObject::intToString(int value)
{
    return CFormat::format("%d", value);
}

QString MMXMLBaseObject::floatToString(double value)
{
    return CFormat::format("%f", value);
}

QString MMXMLBaseObject::dateToString(const QDateTime &date)
{
    const QDateTime local = date.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return CFormat::format("%04d-%02d-%02dT%02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                           t.minute(), t.second());
}

std::optional<QDateTime> MMXMLBaseObject::stringToDate(const QString &string)
{
    // "YYYY-MM-DDTHH:MM:SS"; what follows (fractions, a zone) is not read.
    if (string.size() < 19)
        return std::nullopt;
    static const char pattern[] = "dddd-dd-ddTdd:dd:dd";
    for (int i = 0; i < 19; ++i) {
        const QChar c = string.at(i);
        if (pattern[i] == 'd' ? !(c >= u'0' && c <= u'9') : c != QLatin1Char(pattern[i]))
            return std::nullopt;
    }
    auto number = [&](int from, int length) { return string.mid(from, length).toInt(); };
    const QDate d(number(0, 4), number(5, 2), number(8, 2));
    const QTime t(number(11, 2), number(14, 2), number(17, 2));
    if (!d.isValid() || !t.isValid())
        return std::nullopt;
    return QDateTime(d, t, Qt::LocalTime);
}
