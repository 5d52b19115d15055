#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

// Bounds on what one property list may make.
struct PropertyListLimits
{
    int maxDepth = 256;
    // Values produced, counting a shared binary object once per use, so
    // that a few bytes of mutual references cannot expand exponentially.
    qsizetype maxValues = 4 * 1024 * 1024;
};

// Reads property lists in any of the three forms files carry them in: XML,
// binary ("bplist00") and the old ASCII form of dictionaries { k = v; },
// arrays ( a, b ), strings and <hex data>.
//
// Values come back as PropertyList's XML reader gives them: dictionaries as
// QVariantMap, arrays (and binary sets) as QVariantList, QString, QByteArray,
// qlonglong (qulonglong above its range), double, bool and QDateTime in UTC.
// The ASCII form knows only strings, data, arrays and dictionaries. A binary
// UID comes back as a dictionary {"CF$UID": number}, as the XML form writes it.
//
// Every input is untrusted: nesting, the number of values produced and every
// offset and length are checked, and a malformed file gives an error, never a
// crash or a hang.
class PropertyListReader
{
public:
    enum class Format { XML, Binary, OpenStep };

    using Limits = PropertyListLimits;

    // The property list in data, its form in format. Nothing, and the reason
    // in errorDescription, when data is no property list.
    static std::optional<QVariant> propertyListFromData(const QByteArray &data,
                                                        Format *format = nullptr,
                                                        QString *errorDescription = nullptr,
                                                        const Limits &limits = Limits());

    // The form data claims by its first bytes; OpenStep when it claims none.
    static Format formatOfData(const QByteArray &data);

private:
    static std::optional<QVariant> readBinary(const QByteArray &data, const Limits &limits,
                                              QString *errorDescription);
    static std::optional<QVariant> readOpenStep(const QByteArray &data, const Limits &limits,
                                                QString *errorDescription);
};
