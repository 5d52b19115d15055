#include "MindManagerImpExp/MMXMLBaseObject.h"

#include "platform/CFormat.h"

#include <QDebug>
#include <QVarLengthArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

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

// The class chain worked out once per class: fields and child fields
// numbered root class first, their defaults, and the attribute and element
// names they are read from, each name once with every field it fills.
struct MMXMLBaseObject::Layout
{
    struct Name
    {
        const char *name;
        std::vector<int> indexes;
    };
    std::vector<const MMElementClass *> chain;
    std::vector<const MMFieldRule *> fields;
    std::vector<QVariant> defaults;
    std::vector<const MMChildRule *> children;
    std::vector<Name> attributes;
    std::vector<Name> elements;
    bool hooks = false;

    explicit Layout(const MMElementClass &cls)
    {
        for (const MMElementClass *c = &cls; c; c = c->base)
            chain.insert(chain.begin(), c);
        const auto add = [](std::vector<Name> &names, const char *name, int index) {
            for (Name &n : names) {
                if (std::strcmp(n.name, name) == 0) {
                    n.indexes.push_back(index);
                    return;
                }
            }
            names.push_back({name, {index}});
        };
        for (const MMElementClass *c : chain) {
            for (const MMFieldRule &desc : c->fields) {
                if (desc.attribute)
                    add(attributes, desc.attribute, int(fields.size()));
                fields.push_back(&desc);
                defaults.push_back(defaultOf(desc));
            }
            for (const MMChildRule &desc : c->children) {
                add(elements, desc.element, int(children.size()));
                children.push_back(&desc);
            }
            hooks = hooks || c->read;
        }
    }

    // The first letter is compared first: most names differ there.
    static const Name *find(const std::vector<Name> &names, const char *name)
    {
        for (const Name &n : names) {
            if (n.name[0] == name[0] && std::strcmp(n.name, name) == 0)
                return &n;
        }
        return nullptr;
    }

    static const Layout &of(const MMElementClass &cls)
    {
        if (const void *made = cls.layout.load(std::memory_order_acquire))
            return *static_cast<const Layout *>(made);
        // Made once per class and kept with its table for the process.
        auto *made = new Layout(cls);
        const void *expected = nullptr;
        if (!cls.layout.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) {
            delete made;
            return *static_cast<const Layout *>(expected);
        }
        return *made;
    }
};

namespace {

MMObjectPtr makeObject(const MMElementClass &cls)
{
    for (const MMElementClass *c = &cls; c; c = c->base) {
        if (c->make)
            return c->make(cls);
    }
    return std::make_shared<MMXMLBaseObject>(cls);
}

} // namespace

const MMElementClass &MMXMLBaseObject::staticClass()
{
    static const MMElementClass cls{"MMXMLBaseObject", nullptr, nullptr, {}, {}};
    return cls;
}

MMXMLBaseObject::MMXMLBaseObject(const MMElementClass &elementClass)
    : m_class(&elementClass), m_layout(&Layout::of(elementClass))
{}

MMXMLBaseObject::~MMXMLBaseObject() = default;

MMObjectPtr MMXMLBaseObject::create(const MMElementClass &elementClass)
{
    MMObjectPtr object = makeObject(elementClass);
    for (const MMElementClass *c : object->m_layout->chain) {
        if (c->initFresh)
            c->initFresh(*object);
    }
    return object;
}

MMObjectPtr MMXMLBaseObject::createEmpty(const MMElementClass &elementClass)
{
    return makeObject(elementClass);
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

// The attributes of the element a tree stands on, as f(name, inNamespace,
// value), names as lookups by name compare them.
template <typename F> void forEachAttribute(const XMLFlatTree::Element &element, F &&f)
{
    element.forEachAttribute(f);
}

template <typename F> void forEachAttribute(const XMLTree &tree, F &&f)
{
    const xmlNodePtr node = tree.rootNode();
    if (!node || node->type != XML_ELEMENT_NODE)
        return;
    QVarLengthArray<char, 64> qualified;
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        if (!a->name)
            continue;
        const char *name = reinterpret_cast<const char *>(a->name);
        if (a->ns && a->ns->prefix && a->ns->prefix[0]) {
            const char *prefix = reinterpret_cast<const char *>(a->ns->prefix);
            const size_t p = std::strlen(prefix), n = std::strlen(name);
            qualified.resize(qsizetype(p + n + 2));
            std::memcpy(qualified.data(), prefix, p);
            qualified[qsizetype(p)] = ':';
            std::memcpy(qualified.data() + p + 1, name, n + 1);
            name = qualified.constData();
        }
        // Most values are one text node: read in place rather than copied.
        const xmlNode *only = a->children;
        if (only && !only->next && only->type == XML_TEXT_NODE && only->content) {
            f(name, a->ns != nullptr, reinterpret_cast<const char *>(only->content));
        } else if (xmlChar *value = xmlNodeListGetString(a->doc, a->children, 1)) {
            f(name, a->ns != nullptr, reinterpret_cast<const char *>(value));
            xmlFree(value);
        } else {
            f(name, a->ns != nullptr, nullptr);
        }
    }
}

// The children a lookup by name could find, as f(matches, child) where
// matches(name) says whether the child has that qualified name.
template <typename F> void forEachChild(const XMLFlatTree::Element &element, F &&f)
{
    element.forEachChild([&f](const char *own, const XMLFlatTree::Element &child) {
        f(
            own[0], [own](const char *name) { return std::strcmp(own, name) == 0; }, child);
    });
}

template <typename F> void forEachChild(const XMLTree &tree, F &&f)
{
    const xmlNodePtr node = tree.rootNode();
    if (!node || (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE))
        return;
    for (xmlNodePtr c = node->children; c; c = c->next) {
        if (!c->name)
            continue;
        const bool prefixed = (c->type == XML_ELEMENT_NODE || c->type == XML_ATTRIBUTE_NODE) &&
                              c->ns && c->ns->prefix && c->ns->prefix[0];
        const char first = prefixed ? char(c->ns->prefix[0]) : char(c->name[0]);
        f(
            first, [c](const char *name) { return XMLTreeDetail::hasQualifiedName(c, name); },
            tree.viewOn(c));
    }
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

// Short texts recur in a map (font names, colours, urns): each is made
// once and shared while it is among the recent ones. Per thread, as
// elements are read on more than one.
class RecentTexts
{
public:
    QString text(const char *bytes, qsizetype size, bool ascii)
    {
        if (size > MaximumSize)
            return make(bytes, size, ascii);
        // Recurring texts mostly differ at their ends ("ffdbe9f7", "...Prio3"):
        // the first and last eight bytes and the size pick the entry.
        const size_t part = std::min<size_t>(size_t(size), 8);
        quint64 head = 0, tail = 0;
        std::memcpy(&head, bytes, part);
        std::memcpy(&tail, bytes + size - qsizetype(part), part);
        const quint64 hash =
            (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ quint64(size);
        Entry &entry = m_entries[(hash >> 32) % std::size(m_entries)];
        if (entry.size != size || std::memcmp(entry.bytes, bytes, size_t(size)) != 0) {
            entry.text = make(bytes, size, ascii);
            entry.size = size;
            std::memcpy(entry.bytes, bytes, size_t(size));
        }
        return entry.text;
    }

private:
    static constexpr qsizetype MaximumSize = 24;
    static QString make(const char *bytes, qsizetype size, bool ascii)
    {
        // ASCII reads more quickly as Latin-1, with the same result.
        return ascii ? QString::fromLatin1(bytes, size) : QString::fromUtf8(bytes, size);
    }
    struct Entry
    {
        qsizetype size = -1;
        char bytes[MaximumSize];
        QString text;
    };
    Entry m_entries[61];
};

thread_local RecentTexts recentTexts;

// A number's text as UTF-16 for the conversions, on the stack for the
// short ASCII texts numbers are; nothing for any other text.
struct AsciiText
{
    char16_t chars[64];
    qsizetype size = -1;
    explicit AsciiText(const char *text)
    {
        qsizetype n = 0;
        for (; text[n]; ++n) {
            if (n == qsizetype(std::size(chars)) || (unsigned char)text[n] >= 0x80)
                return;
            chars[n] = char16_t(text[n]);
        }
        size = n;
    }
    bool isAscii() const { return size >= 0; }
    QStringView view() const { return QStringView(chars, size); }
};

// Whether the text is ASCII, looked at eight bytes at a time.
bool isAscii(const char *text, size_t size)
{
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, text + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < size; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

// An integer of at most nine digits with an optional minus sign and
// nothing else ("12", "-3"): what the general reading gives, read directly.
std::optional<int> plainInteger(const char *text, size_t size)
{
    const size_t sign = size && text[0] == '-' ? 1 : 0;
    if (size == sign || size - sign > 9)
        return std::nullopt;
    int value = 0;
    for (size_t i = sign; i < size; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return sign ? -value : value;
}

// "true" or "false" in any case of ASCII letters; nothing for other text.
std::optional<bool> plainBool(const char *text, size_t size)
{
    const auto is = [text, size](const char *lower) {
        if (std::strlen(lower) != size)
            return false;
        for (size_t i = 0; i < size; ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
            if (c != lower[i])
                return false;
        }
        return true;
    };
    if (is("false"))
        return false;
    if (is("true"))
        return true;
    return std::nullopt;
}

// A decimal without sign, exponent or blanks ("12", "-3.25"), which the C
// library's reading and std::from_chars both round correctly: the same
// value, without the copy the general reading makes.
std::optional<float> plainDecimal(const char *text)
{
    const char *end = text + (*text == '-' ? 1 : 0);
    int digits = 0;
    bool point = false;
    for (;; ++end) {
        if (*end >= '0' && *end <= '9') {
            ++digits;
        } else if (*end == '.' && !point && digits > 0) {
            point = true;
        } else {
            break;
        }
    }
    if (*end || digits == 0 || digits > 17 || end[-1] == '.')
        return std::nullopt;
    double value = 0;
    const std::from_chars_result read = std::from_chars(text, end, value);
    if (read.ec != std::errc() || read.ptr != end)
        return std::nullopt;
    return float(value);
}

bool asciiEqualsLower(QStringView text, const char *lower)
{
    qsizetype i = 0;
    for (; lower[i]; ++i) {
        if (i >= text.size())
            return false;
        char16_t c = text[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
        if (c != char16_t(lower[i]))
            return false;
    }
    return i == text.size();
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
    const Layout &layout = *m_layout;
    // One pass over the attributes present: most fields are absent and a
    // new object holds their defaults already. An attribute outside a
    // namespace wins over one in a namespace with the same qualified name,
    // and the first of each kind wins, as lookups by name answer.
    if (!layout.attributes.empty()) {
        QVarLengthArray<int, 4> fromNamespace;
        forEachAttribute(tree, [&](const char *name, bool inNamespace, const char *value) {
            const Layout::Name *found = Layout::find(layout.attributes, name);
            if (!found)
                return;
            for (const int index : found->indexes) {
                const bool set = valueSlot(index) != nullptr;
                const bool setFromNamespace = fromNamespace.contains(index);
                if (inNamespace ? set : set && !setFromNamespace)
                    continue;
                if (inNamespace)
                    fromNamespace.append(index);
                else if (setFromNamespace)
                    fromNamespace.removeOne(index);
                store(index, value ? readValue(*layout.fields[size_t(index)], value)
                                   : readValue(*layout.fields[size_t(index)], QString("")));
            }
        });
    }
    // One pass over the children: a field takes the first child with its
    // element name, or all of them in order.
    if (!layout.elements.empty()) {
        forEachChild(tree, [&](char first, const auto &matches, const auto &child) {
            for (const Layout::Name &n : layout.elements) {
                if (n.name[0] != first || !matches(n.name))
                    continue;
                for (const int index : n.indexes) {
                    const MMChildRule &desc = *layout.children[size_t(index)];
                    if (!desc.many && childSlot(index))
                        continue;
                    if (desc.when && !desc.when(*this))
                        continue;
                    if (MMObjectPtr object = readChild(desc.elementClass(), child))
                        appendChild(index, std::move(object));
                }
                break;
            }
        });
    }
    if (layout.hooks) {
        for (const MMElementClass *c : layout.chain) {
            if (c->read)
                readHook(*c, *this, tree);
        }
    }
}

QVariant MMXMLBaseObject::readValue(const MMFieldRule &desc, const char *text)
{
    // Numbers and booleans are read from their text where it is short
    // ASCII, without making a string; the answers are the same.
    const size_t size = std::strlen(text);
    const bool ascii = isAscii(text, size);
    switch (desc.type) {
    case MMValueType::String:
        return recentTexts.text(text, qsizetype(size), ascii);
    case MMValueType::IntNumber:
    case MMValueType::Int:
        if (const std::optional<int> plain = plainInteger(text, size))
            return *plain;
        break;
    case MMValueType::UInt:
        if (const std::optional<int> plain = plainInteger(text, size))
            return quint32(*plain);
        break;
    case MMValueType::Bool:
        if (const std::optional<bool> plain = ascii ? plainBool(text, size) : std::nullopt)
            return *plain;
        break;
    default:
        break;
    }
    switch (desc.type) {
    case MMValueType::IntNumber:
    case MMValueType::Int:
    case MMValueType::UInt:
    case MMValueType::FloatNumber:
    case MMValueType::Float:
    case MMValueType::Bool:
        if (const AsciiText ascii(text); ascii.isAscii()) {
            const QStringView view = ascii.view();
            switch (desc.type) {
            case MMValueType::IntNumber:
            case MMValueType::Int:
                return CFormat::intValue(view);
            case MMValueType::UInt:
                return quint32(CFormat::intValue(view));
            case MMValueType::FloatNumber:
            case MMValueType::Float:
                if (const std::optional<float> plain = plainDecimal(text))
                    return *plain;
                return CFormat::floatValue(view);
            default:
                if (asciiEqualsLower(view, "false"))
                    return false;
                if (asciiEqualsLower(view, "true"))
                    return true;
                return desc.defaultValue != 0;
            }
        }
        break;
    default:
        break;
    }
    return readValue(desc, QString::fromUtf8(text));
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
    for (const MMElementClass *c : m_layout->chain) {
        for (const MMFieldRule &desc : c->fields) {
            const QVariant &value = valueAt(valueIndex++);
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
    for (const MMElementClass *c : m_layout->chain) {
        for (const MMChildRule &desc : c->children) {
            const ChildSlot *slot = childSlot(childIndex++);
            if (!slot || (desc.when && !desc.when(*this)))
                continue;
            if (slot->list.isEmpty()) {
                if (slot->first)
                    slot->first->createSubtreeInTree(element);
                continue;
            }
            for (const MMObjectPtr &object : slot->list) {
                if (object)
                    object->createSubtreeInTree(element);
            }
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

constexpr quintptr RememberedSlots = 256;

RememberedLookup &rememberedLookup(RememberedLookup *table, const MMElementClass *cls,
                                   const char *name)
{
    quintptr hash =
        (reinterpret_cast<quintptr>(cls) >> 4) * 31 + (reinterpret_cast<quintptr>(name) >> 1);
    hash ^= hash >> 8;
    return table[hash & (RememberedSlots - 1)];
}

bool isRemembered(const RememberedLookup &entry, const MMElementClass *cls, const char *name)
{
    // The linker merges equal literals: the caller's name is usually the
    // table's own, and then no comparison of characters is needed.
    return entry.cls == cls && entry.name == name &&
           (entry.found == name || std::strcmp(entry.found, name) == 0);
}

thread_local RememberedLookup rememberedFields[RememberedSlots];
thread_local RememberedLookup rememberedChildren[RememberedSlots];

// Searched from the most derived class, whose names hide a base's; the
// first letters are compared first. Kept out of line: the remembered answer
// is the common case and needs none of its registers.
template <typename Rule>
[[gnu::noinline]] const RememberedLookup *
searchRules(RememberedLookup &remembered, const MMElementClass *cls,
            const std::vector<const Rule *> &rules, const char *field)
{
    for (int i = int(rules.size()) - 1; i >= 0; --i) {
        const Rule *desc = rules[size_t(i)];
        if (desc->field[0] == field[0] && std::strcmp(desc->field, field) == 0) {
            remembered = {cls, field, desc->field, desc, i};
            return &remembered;
        }
    }
    return nullptr;
}

} // namespace

MMXMLBaseObject::FieldRef MMXMLBaseObject::fieldRef(const char *field) const
{
    RememberedLookup &remembered = rememberedLookup(rememberedFields, m_class, field);
    const RememberedLookup *found = isRemembered(remembered, m_class, field)
                                        ? &remembered
                                        : searchRules(remembered, m_class, m_layout->fields, field);
    if (found)
        return {static_cast<const MMFieldRule *>(found->desc), found->index};
    qWarning("%s has no field %s", m_class->className, field);
    Q_ASSERT_X(false, "MMXMLBaseObject", "unknown field");
    return {};
}

MMXMLBaseObject::ChildRef MMXMLBaseObject::childRef(const char *field) const
{
    RememberedLookup &remembered = rememberedLookup(rememberedChildren, m_class, field);
    const RememberedLookup *found =
        isRemembered(remembered, m_class, field)
            ? &remembered
            : searchRules(remembered, m_class, m_layout->children, field);
    if (found)
        return {static_cast<const MMChildRule *>(found->desc), found->index};
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

const MMXMLBaseObject::ValueSlot *MMXMLBaseObject::valueSlot(int index) const
{
    for (const ValueSlot &slot : m_values) {
        if (slot.index == index)
            return &slot;
    }
    return nullptr;
}

bool MMXMLBaseObject::isSet(const char *field) const
{
    const FieldRef ref = fieldRef(field);
    return ref.desc && valueSlot(ref.index);
}

const QVariant &MMXMLBaseObject::valueAt(int index) const
{
    const ValueSlot *slot = valueSlot(index);
    return slot ? slot->value : m_layout->defaults[size_t(index)];
}

void MMXMLBaseObject::store(int index, QVariant &&value)
{
    if (const ValueSlot *slot = valueSlot(index)) {
        const_cast<ValueSlot *>(slot)->value = std::move(value);
        return;
    }
    m_values.push_back({index, std::move(value)});
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
    return ref.desc ? valueAt(ref.index) : nil;
}

void MMXMLBaseObject::setValue(const char *field, const QVariant &value)
{
    const FieldRef ref = fieldRef(field);
    if (!ref.desc)
        return;
    // Nil is not stored: a plain field then reads as its default.
    if (value.isValid()) {
        store(ref.index, QVariant(value));
        return;
    }
    if (const ValueSlot *slot = valueSlot(ref.index))
        m_values.erase(m_values.begin() + (slot - m_values.data()));
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

const MMXMLBaseObject::ChildSlot *MMXMLBaseObject::childSlot(int index) const
{
    for (const ChildSlot &slot : m_children) {
        if (slot.index == index)
            return &slot;
    }
    return nullptr;
}

void MMXMLBaseObject::appendChild(int index, MMObjectPtr &&child)
{
    auto *slot = const_cast<ChildSlot *>(childSlot(index));
    if (!slot) {
        m_children.push_back({index, std::move(child), {}});
        return;
    }
    if (slot->list.isEmpty()) {
        slot->list.reserve(2);
        slot->list.append(std::move(slot->first));
        slot->first.reset();
    }
    slot->list.append(std::move(child));
}

void MMXMLBaseObject::setChildrenAt(int index, const MMObjectList &children)
{
    if (const ChildSlot *slot = childSlot(index))
        m_children.erase(m_children.begin() + (slot - m_children.data()));
    if (children.size() == 1)
        m_children.push_back({index, children.constFirst(), {}});
    else if (!children.isEmpty())
        m_children.push_back({index, nullptr, children});
}

MMObjectPtr MMXMLBaseObject::child(const char *field) const
{
    const ChildRef ref = childRef(field);
    const ChildSlot *slot = ref.desc ? childSlot(ref.index) : nullptr;
    if (!slot)
        return nullptr;
    return slot->list.isEmpty() ? slot->first : slot->list.constFirst();
}

void MMXMLBaseObject::setChild(const char *field, const MMObjectPtr &child)
{
    const ChildRef ref = childRef(field);
    if (!ref.desc)
        return;
    if (const ChildSlot *slot = childSlot(ref.index))
        m_children.erase(m_children.begin() + (slot - m_children.data()));
    if (child)
        appendChild(ref.index, MMObjectPtr(child));
}

MMObjectList MMXMLBaseObject::children(const char *field) const
{
    const ChildRef ref = childRef(field);
    const ChildSlot *slot = ref.desc ? childSlot(ref.index) : nullptr;
    if (!slot)
        return MMObjectList();
    return slot->list.isEmpty() ? MMObjectList{slot->first} : slot->list;
}

void MMXMLBaseObject::setChildren(const char *field, const MMObjectList &children)
{
    const ChildRef ref = childRef(field);
    if (ref.desc)
        setChildrenAt(ref.index, children);
}

void MMXMLBaseObject::addChild(const char *field, const MMObjectPtr &child)
{
    const ChildRef ref = childRef(field);
    if (ref.desc && child)
        appendChild(ref.index, MMObjectPtr(child));
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
