#pragma once

#include "support/XMLElement.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>

// Value elements of numbers, binary data and arrays (element route only;
// their libxml2-route writers write nothing).
namespace TWXML {

// <NSNumber>: the integer text when the value is integral (within 64 bits),
// else "%f", with more decimals only where six would lose the value.
XMLElement numberFreshXMLElement(const QVariant &number);
QString numberText(const QVariant &number);
// An integer (int, or qlonglong beyond 32 bits) when the text's integer and
// floating readings agree, else a double. Invalid for a null element.
QVariant numberWithXMLElement(const XMLElement &element);
QVariant numberFromText(const QString &text);

// <NSData>: the bytes in Base64.
XMLElement dataFreshXMLElement(const QByteArray &data);
// nullopt for a null element, and for text that is no Base64 (logged).
std::optional<QByteArray> dataWithXMLElement(const XMLElement &element);

// <NSArray>: one <arrayItem> per value, in order.
XMLElement arrayFreshXMLElement(const QVariantList &array);
// Items whose value cannot be made are dropped (logged); a null element
// gives an empty list.
QVariantList arrayWithXMLElement(const XMLElement &element);

} // namespace TWXML
