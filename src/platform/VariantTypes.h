#pragma once

#include <QMetaType>
#include <QVariant>

// Which kind of number a QVariant holds, so that code treating numbers alike
// does not repeat the list of Qt's numeric types.
namespace VariantTypes {

enum class NumberKind {
    None,      // not a number
    Boolean,   // bool
    Character, // char, signed char, unsigned char
    Integer,   // the short, int, long and long long types, signed or not
    Real,      // float, double
};

inline NumberKind numberKind(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return NumberKind::Boolean;
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return NumberKind::Character;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return NumberKind::Integer;
    case QMetaType::Float:
    case QMetaType::Double:
        return NumberKind::Real;
    default:
        return NumberKind::None;
    }
}

} // namespace VariantTypes
