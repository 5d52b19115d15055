#include "support/TWXMLValues.h"

#include "platform/CFormat.h"
#include "support/Base64.h"
#include "support/TWXMLProtocol.h"

#include <QDebug>
#include <charconv>
#include <climits>
#include <cmath>

namespace TWXML {

namespace {

// The shortest fixed-point text that reads back as the same value, with at
// least the six decimals of "%f": ordinary values come out exactly as "%f"
// writes them, and values that six decimals would lose keep their digits.
template <class T> QString fixedText(T value)
{
    if (!std::isfinite(value))
        return CFormat::f(double(value));
    char buffer[1200];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return CFormat::f(double(value));
    QByteArray text(buffer, result.ptr - buffer);
    qsizetype point = text.indexOf('.');
    if (point < 0) {
        text.append('.');
        point = text.size() - 1;
    }
    const qsizetype decimals = text.size() - point - 1;
    if (decimals < 6)
        text.append(QByteArray(6 - decimals, '0'));
    return QString::fromLatin1(text);
}

constexpr double kInt64Bound = 9223372036854775808.0; // 2^63

} // namespace

QString numberText(const QVariant &number)
{
    switch (number.typeId()) {
    case QMetaType::Bool:
        return number.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return CFormat::d(number.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong u = number.toULongLong();
        return u <= qulonglong(LLONG_MAX) ? CFormat::d(qlonglong(u)) : CFormat::format("%llu", u);
    }
    case QMetaType::Float: {
        const float f = number.toFloat();
        if (std::isfinite(f) && f == std::trunc(f) && std::fabs(f) < kInt64Bound)
            return CFormat::d(qlonglong(f));
        return fixedText(f);
    }
    default: {
        const double v = number.toDouble();
        if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < kInt64Bound)
            return CFormat::d(qlonglong(v));
        return fixedText(v);
    }
    }
}

XMLElement numberFreshXMLElement(const QVariant &number)
{
    return XMLElement::create("NSNumber", numberText(number));
}

QVariant numberFromText(const QString &text)
{
    const double real = CFormat::doubleValue(text);
    const qlonglong integer = CFormat::longLongValue(text);
    if (real == double(integer)) {
        if (integer >= INT_MIN && integer <= INT_MAX)
            return QVariant(int(integer));
        return QVariant(integer);
    }
    return QVariant(real);
}

QVariant numberWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return QVariant();
    return numberFromText(element.stringValue());
}

XMLElement dataFreshXMLElement(const QByteArray &data)
{
    return XMLElement::create("NSData", TWBase64::twBase64String(data));
}

std::optional<QByteArray> dataWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return std::nullopt;
    try {
        return TWBase64::dataWithTWBase64String(element.stringValue());
    } catch (const Base64Error &e) {
        // One damaged value must not abort the whole read.
        qWarning("%s: %s", Base64Error::name(), e.what());
        return std::nullopt;
    }
}

XMLElement arrayFreshXMLElement(const QVariantList &array)
{
    XMLElement element = XMLElement::create("NSArray");
    for (const QVariant &value : array)
        TWXMLProtocol::writeContainerItem(element.appendChildElement("arrayItem"), value);
    return element;
}

QVariantList arrayWithXMLElement(const XMLElement &element)
{
    QVariantList result;
    for (const XMLElement &item : element.elementsForName("arrayItem")) {
        QVariant value = TWXMLProtocol::readContainerItem(item);
        if (value.isValid())
            result.append(std::move(value));
    }
    return result;
}

} // namespace TWXML
