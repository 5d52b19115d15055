#include "support/OrderedDictionary.h"

#include "support/TWXMLProtocol.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <libxml/xpath.h>

OrderedDictionary::OrderedDictionary(std::initializer_list<Entry> entries)
{
    for (const Entry &e : entries)
        setValue(e.first, e.second);
}

OrderedDictionary OrderedDictionary::fromVariantMap(const QVariantMap &map)
{
    OrderedDictionary result;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        result.setValue(it.key(), it.value());
    return result;
}

std::optional<OrderedDictionary> OrderedDictionary::fromVariant(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<OrderedDictionary>())
        return value.value<OrderedDictionary>();
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
        return fromVariantMap(value.toMap());
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        QVariantMap map;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), it.value());
        return fromVariantMap(map);
    }
    default:
        return std::nullopt;
    }
}

QVariantMap OrderedDictionary::toVariantMap() const
{
    QVariantMap map;
    for (const Entry &e : m_entries)
        map.insert(e.first, e.second);
    return map;
}

QVariant OrderedDictionary::value(const QString &key) const
{
    auto it = m_index.constFind(key);
    return it == m_index.cend() ? QVariant() : m_entries[it.value()].second;
}

void OrderedDictionary::setValue(const QString &key, const QVariant &value)
{
    auto it = m_index.constFind(key);
    if (it != m_index.cend()) {
        m_entries[it.value()].second = value;
        return;
    }
    m_index.insert(key, m_entries.size());
    m_entries.append(Entry(key, value));
}

void OrderedDictionary::remove(const QString &key)
{
    auto it = m_index.constFind(key);
    if (it == m_index.cend())
        return;
    const qsizetype removed = it.value();
    m_entries.removeAt(removed);
    m_index.erase(it);
    for (auto &index : m_index)
        if (index > removed)
            --index;
}

void OrderedDictionary::clear()
{
    m_entries.clear();
    m_index.clear();
}

QStringList OrderedDictionary::keys() const
{
    QStringList result;
    result.reserve(m_entries.size());
    for (const Entry &e : m_entries)
        result.append(e.first);
    return result;
}

bool OrderedDictionary::operator==(const OrderedDictionary &other) const
{
    if (count() != other.count())
        return false;
    for (const Entry &e : m_entries) {
        auto it = other.m_index.constFind(e.first);
        if (it == other.m_index.cend() || other.m_entries[it.value()].second != e.second)
            return false;
    }
    return true;
}

XMLElement OrderedDictionary::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSDictionary");
    for (const Entry &e : m_entries) {
        XMLElement item = element.appendChildElement("dictionaryItem");
        item.appendChildElement("key").setStringValue(e.first);
        TWXMLProtocol::writeContainerItem(item.appendChildElement("value"), e.second);
    }
    return element;
}

std::optional<OrderedDictionary> OrderedDictionary::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return std::nullopt;
    OrderedDictionary result;
    for (const XMLElement &item : element.elementsForName("dictionaryItem")) {
        const XMLElement key = item.elementForName("key");
        if (key.isNull()) {
            qWarning("Warning: dictionary item without key ignored");
            continue;
        }
        QVariant value = TWXMLProtocol::readContainerItem(item.elementForName("value"));
        if (value.isValid())
            result.setValue(key.stringValue(), value);
    }
    return result;
}

void OrderedDictionary::addXmlDataToNode(xmlNodePtr parent) const
{
    xmlNodePtr dictionary = TWXMLUtils::addElementChild(parent, "NSDictionary");
    if (!dictionary)
        return;
    for (const Entry &e : m_entries) {
        xmlNodePtr item = TWXMLUtils::addElementChild(dictionary, "dictionaryItem");
        TWXMLUtils::addTextChild(item, "key", e.first);
        if (const std::optional<OrderedDictionary> nested = fromVariant(e.second))
            nested->addXmlDataToNode(TWXMLUtils::addElementChild(item, "dictionaryValue"));
        else if (TWXMLProtocol::hasDescription(e.second))
            TWXMLUtils::addTextChild(item, "value", TWXMLProtocol::description(e.second));
        else {
            // This route keeps only texts; the key stays, with an empty value.
            qWarning("Dictionary value of key %s (%s) has no text form; not kept",
                     qUtf8Printable(e.first), e.second.typeName());
            TWXMLUtils::addTextChild(item, "value", QStringLiteral(""));
        }
    }
}

OrderedDictionary OrderedDictionary::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    OrderedDictionary result;
    TWXMLUtils::XPathReader reader(parent, doc);
    if (!reader.isValid())
        return result;
    xmlXPathObjectPtr items =
        TWXMLUtils::getNodeSetForXPath("NSDictionary/dictionaryItem", doc, reader.context());
    if (!items)
        return result;
    for (int i = 0; i < items->nodesetval->nodeNr; ++i) {
        TWXMLUtils::XPathReader item(items->nodesetval->nodeTab[i], doc);
        const std::optional<QString> key = item.text("key");
        if (!key) {
            qWarning("Warning: dictionary item without key ignored");
            continue;
        }
        if (std::optional<QString> value = item.text("value"))
            result.setValue(*key, *value);
        else if (xmlNodePtr nested = item.node("dictionaryValue"))
            result.setValue(*key, QVariant::fromValue(withXMLNode(nested, doc)));
        else
            result.setValue(*key, QString(""));
    }
    xmlXPathFreeObject(items);
    return result;
}

std::optional<OrderedDictionary>
OrderedDictionary::dictionaryWithContentsOfXMLFile(const QString &path)
{
    std::optional<XMLDocument> doc = XMLDocument::parseFile(path);
    if (!doc)
        return std::nullopt;
    return objectWithXMLElement(doc->rootElement());
}

bool OrderedDictionary::writeToXMLFile(const QString &path) const
{
    XMLDocument doc(freshXMLElement());
    const QByteArray bytes = doc.xmlData();
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning("Could not write %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}
