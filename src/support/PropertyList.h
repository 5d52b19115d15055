#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

// XML property lists, the form in which LinkBack payloads travel.
//
// Values map to QVariant as: dict <-> QVariantMap (keys written sorted; a
// QVariantHash is accepted for writing), array <-> QVariantList (a
// QStringList is accepted), string <-> QString, integer <-> qlonglong
// (qulonglong above its range; other integer types are accepted), real <->
// double (float accepted), true/false <-> bool, data <-> QByteArray,
// date <-> QDateTime in UTC, whole seconds.
class PropertyList
{
public:
    // Parses an XML property list. Returns nothing, and the reason in
    // errorDescription, when the text is not one.
    static std::optional<QVariant> propertyListWithData(const QByteArray &data,
                                                        QString *errorDescription = nullptr);
    // Writes value as an XML property list (UTF-8, tab-indented). Returns
    // nothing, and the reason, for values a property list cannot hold: an
    // invalid QVariant, other types, or text XML cannot carry.
    static std::optional<QByteArray> dataWithPropertyList(const QVariant &value,
                                                          QString *errorDescription = nullptr);
};
