#include "support/TWXMLProtocol.h"

#include "platform/CFormat.h"
#include "platform/VariantTypes.h"
#include "support/OrderedDictionary.h"
#include "support/TWXMLValues.h"

#include <QDebug>
#include <QHash>
#include <QStringList>
#include <deque>

namespace TWXMLProtocol {

namespace {

enum class BuiltIn { None, Number, Data, Array, Dictionary };

BuiltIn builtInKind(const QVariant &value)
{
    if (VariantTypes::numberKind(value) != VariantTypes::NumberKind::None)
        return BuiltIn::Number;
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return BuiltIn::Data;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return BuiltIn::Array;
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return BuiltIn::Dictionary;
    default:
        if (value.metaType() == QMetaType::fromType<OrderedDictionary>())
            return BuiltIn::Dictionary;
        return BuiltIn::None;
    }
}

struct Registry
{
    Registry()
    {
        ClassInfo number;
        number.elementName = QStringLiteral("NSNumber");
        number.metaType = QMetaType::fromType<double>();
        number.freshXMLElement = [](const QVariant &v) { return TWXML::numberFreshXMLElement(v); };
        number.objectWithXMLElement = [](const XMLElement &e) {
            return TWXML::numberWithXMLElement(e);
        };
        number.addXmlDataToNode = [](const QVariant &, xmlNodePtr) {};
        add(number);

        ClassInfo data;
        data.elementName = QStringLiteral("NSData");
        data.metaType = QMetaType::fromType<QByteArray>();
        data.freshXMLElement = [](const QVariant &v) {
            return TWXML::dataFreshXMLElement(v.toByteArray());
        };
        data.objectWithXMLElement = [](const XMLElement &e) {
            std::optional<QByteArray> bytes = TWXML::dataWithXMLElement(e);
            return bytes ? QVariant(*bytes) : QVariant();
        };
        data.addXmlDataToNode = [](const QVariant &, xmlNodePtr) {};
        add(data);

        ClassInfo array;
        array.elementName = QStringLiteral("NSArray");
        array.metaType = QMetaType::fromType<QVariantList>();
        array.freshXMLElement = [](const QVariant &v) {
            return TWXML::arrayFreshXMLElement(v.toList());
        };
        array.objectWithXMLElement = [](const XMLElement &e) {
            return QVariant(TWXML::arrayWithXMLElement(e));
        };
        array.addXmlDataToNode = [](const QVariant &, xmlNodePtr) {};
        add(array);

        ClassInfo dictionary;
        dictionary.elementName = QStringLiteral("NSDictionary");
        dictionary.metaType = QMetaType::fromType<OrderedDictionary>();
        dictionary.freshXMLElement = [](const QVariant &v) {
            return OrderedDictionary::fromVariant(v)
                .value_or(OrderedDictionary())
                .freshXMLElement();
        };
        dictionary.objectWithXMLElement = [](const XMLElement &e) {
            std::optional<OrderedDictionary> d = OrderedDictionary::objectWithXMLElement(e);
            return d ? QVariant::fromValue(*d) : QVariant();
        };
        dictionary.addXmlDataToNode = [](const QVariant &v, xmlNodePtr parent) {
            OrderedDictionary::fromVariant(v)
                .value_or(OrderedDictionary())
                .addXmlDataToNode(parent);
        };
        add(dictionary);

        // Subclasses answer to their own names with the reader of their
        // superclass; the writers use the names above.
        alias(number, "NSDecimalNumber");
        alias(data, "NSMutableData");
        alias(array, "NSMutableArray");
        alias(dictionary, "NSMutableDictionary");
    }

    void alias(ClassInfo info, const char *elementName)
    {
        info.elementName = QString::fromLatin1(elementName);
        add(info);
    }

    void add(const ClassInfo &info)
    {
        // Entries never move, so pointers handed out stay valid.
        storage.push_back(info);
        byName.insert(info.elementName, &storage.back());
        if (info.metaType.isValid() && !nameByType.contains(info.metaType.id()))
            nameByType.insert(info.metaType.id(), info.elementName);
    }

    std::deque<ClassInfo> storage;
    QHash<QString, const ClassInfo *> byName;
    QHash<int, QString> nameByType;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

} // namespace

bool registerClass(const ClassInfo &info)
{
    if (info.elementName.isEmpty() || !info.freshXMLElement || !info.objectWithXMLElement) {
        qWarning("Warning: incomplete XML value class %s ignored", qPrintable(info.elementName));
        return false;
    }
    registry().add(info);
    return true;
}

const ClassInfo *classForElementName(QStringView elementName)
{
    const Registry &r = registry();
    return r.byName.value(elementName.toString(), nullptr);
}

const ClassInfo *classForValue(const QVariant &value)
{
    if (!value.isValid())
        return nullptr;
    switch (builtInKind(value)) {
    case BuiltIn::Number:
        return classForElementName(u"NSNumber");
    case BuiltIn::Data:
        return classForElementName(u"NSData");
    case BuiltIn::Array:
        return classForElementName(u"NSArray");
    case BuiltIn::Dictionary:
        return classForElementName(u"NSDictionary");
    case BuiltIn::None:
        break;
    }
    const Registry &r = registry();
    auto it = r.nameByType.constFind(value.metaType().id());
    return it == r.nameByType.cend() ? nullptr : classForElementName(it.value());
}

bool conformsToProtocol(const QVariant &value)
{
    return classForValue(value) != nullptr;
}

XMLElement freshXMLElement(const QVariant &value)
{
    const ClassInfo *info = classForValue(value);
    return info ? info->freshXMLElement(value) : XMLElement();
}

QVariant objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return QVariant();
    const ClassInfo *info = classForElementName(element.name());
    return info ? info->objectWithXMLElement(element) : QVariant();
}

bool addXmlDataToNode(const QVariant &value, xmlNodePtr parent)
{
    const ClassInfo *info = classForValue(value);
    if (!info)
        return false;
    if (info->addXmlDataToNode && parent)
        info->addXmlDataToNode(value, parent);
    return true;
}

QString description(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Float: {
        // "%g" placement (100000, not 1e+05), with the digits to read back.
        const float f = value.toFloat();
        const QString text = CFormat::format("%.7g", double(f));
        return CFormat::floatValue(text) == f ? text : CFormat::format("%.9g", double(f));
    }
    case QMetaType::Double: {
        const double v = value.toDouble();
        const QString text = CFormat::format("%.16g", v);
        return CFormat::doubleValue(text) == v ? text : CFormat::format("%.17g", v);
    }
    case QMetaType::QByteArray: {
        // Four bytes a group, as data describes itself.
        const QByteArray hex = value.toByteArray().toHex();
        QByteArray text = "<";
        for (qsizetype i = 0; i < hex.size(); i += 8) {
            if (i)
                text += ' ';
            text += hex.mid(i, 8);
        }
        text += '>';
        return QString::fromLatin1(text);
    }
    default:
        break;
    }
    switch (builtInKind(value)) {
    case BuiltIn::Number:
        return TWXML::numberText(value);
    case BuiltIn::Array: {
        QStringList items;
        for (const QVariant &item : value.toList())
            items.append(description(item));
        return QLatin1Char('(') + items.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    default:
        break;
    }
    if (const ClassInfo *info = classForValue(value))
        return info->description ? info->description(value) : QString();
    return value.toString();
}

bool hasDescription(const QVariant &value)
{
    if (!value.isValid() || builtInKind(value) != BuiltIn::None)
        return true;
    if (const ClassInfo *info = classForValue(value))
        return bool(info->description);
    return value.canConvert<QString>();
}

QVariant readContainerItem(const XMLElement &holder)
{
    if (holder.isNull())
        return QVariant();
    const XMLElement first = holder.firstChildIfElement();
    if (first.isNull())
        return QVariant(holder.stringValue());
    QVariant value = objectWithXMLElement(first);
    if (!value.isValid())
        qWarning("Object could not be created from XML element: %s", qPrintable(first.name()));
    return value;
}

void writeContainerItem(XMLElement holder, const QVariant &value)
{
    if (holder.isNull())
        return;
    if (conformsToProtocol(value))
        holder.addChild(freshXMLElement(value));
    else
        holder.setStringValue(description(value));
}

} // namespace TWXMLProtocol
