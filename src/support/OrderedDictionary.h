#pragma once

#include "support/XMLElement.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>
#include <utility>

#include <libxml/tree.h>

// A dictionary of string keys that keeps its keys in insertion order, so
// that a dictionary read from a file is written back in the same order.
// Setting an existing key replaces its value in place.
class OrderedDictionary
{
public:
    using Entry = std::pair<QString, QVariant>;

    OrderedDictionary() = default;
    OrderedDictionary(std::initializer_list<Entry> entries);
    // Keys in the map's (sorted) order.
    static OrderedDictionary fromVariantMap(const QVariantMap &map);
    // The dictionary a value carries: an OrderedDictionary as it is, a
    // QVariantMap or QVariantHash with its keys sorted; nullopt for any other.
    static std::optional<OrderedDictionary> fromVariant(const QVariant &value);
    QVariantMap toVariantMap() const;

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    bool contains(const QString &key) const { return m_index.contains(key); }
    // Invalid QVariant when the key is absent.
    QVariant value(const QString &key) const;
    QVariant operator[](const QString &key) const { return value(key); }
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    void clear();
    QStringList keys() const;
    const QList<Entry> &entries() const { return m_entries; }
    QList<Entry>::const_iterator begin() const { return m_entries.cbegin(); }
    QList<Entry>::const_iterator end() const { return m_entries.cend(); }

    // Same keys with equal values; the order does not matter.
    bool operator==(const OrderedDictionary &other) const;
    bool operator!=(const OrderedDictionary &other) const { return !(*this == other); }

    // --- XML ---
    // Element route: <NSDictionary> with one <dictionaryItem> per entry, each
    // holding <key> and <value>.
    XMLElement freshXMLElement() const;
    // nullopt for a null element.
    static std::optional<OrderedDictionary> objectWithXMLElement(const XMLElement &element);
    // Libxml2 route: nested dictionaries go into <dictionaryValue>, every
    // other value is written as text in <value>.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Libxml2 route reader; `parent` is the node holding <NSDictionary>.
    // Every value but a nested dictionary comes back as a string.
    static OrderedDictionary withXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    // nullopt when the file cannot be read or parsed.
    static std::optional<OrderedDictionary> dictionaryWithContentsOfXMLFile(const QString &path);
    // Writes atomically: the old file survives a failed write.
    bool writeToXMLFile(const QString &path) const;

private:
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index;
};

Q_DECLARE_METATYPE(OrderedDictionary)
