#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>

// An archived object of a class the decoder does not read. It is kept only
// by its class name, so that a caller can tell it apart from nil and log it.
struct ArchivedObject
{
    QString className;
    friend bool operator==(const ArchivedObject &, const ArchivedObject &) = default;
};

Q_DECLARE_METATYPE(ArchivedObject)

// Bounds on what one archive may make.
struct TypedStreamLimits
{
    int maxDepth = 128;
    // Objects, classes and shared strings the stream may define.
    qsizetype maxObjects = 256 * 1024;
    // Values read, and values an object expands to where it shares parts.
    qsizetype maxValues = 1024 * 1024;
    // Largest single string or data block.
    qsizetype maxBytes = 256 * 1024 * 1024;
};

// Reads data written by the classic (non-keyed) archiver: the "typedstream"
// format that NSArchiver wrote and NSUnarchiver reads, in either byte order.
//
// Objects come back as our value types in a QVariant:
//   NSString, NSMutableString             QString
//   NSData, NSMutableData                 QByteArray
//   NSNumber, NSValue                     qlonglong, qulonglong or double; a
//                                         structure value as a QVariantList
//   NSArray, NSMutableArray               QVariantList (nil elements dropped)
//   NSDictionary, NSMutableDictionary     QVariantMap (string keys only)
//   NSURL                                 QUrl
//   NSColor                               Color (CMYK converted to RGB, named
//                                         colours by their archived or known
//                                         RGB value)
//   NSFont                                Font (name and size)
//   NSParagraphStyle, NSTextTab           ParagraphStyle, TextTab
//   NSAttributedString (and mutable)      AttributedString
//   NSImage                               Image with its representations
//   NSBitmapImageRep, NSPDFImageRep,      BitmapImageRep, PDFImageRep,
//   NSEPSImageRep                         EPSImageRep
// Any other class gives an ArchivedObject, with a log line; an archived nil
// gives an invalid QVariant.
//
// The input is untrusted: every read is bounds-checked, nesting, the number
// of objects and values, and string and data sizes are limited, and a
// reference from an object into itself is refused.
class TypedStreamDecoder
{
public:
    using Limits = TypedStreamLimits;

    // The root object of an archive. Nothing, and the reason in
    // errorDescription, when data is no archive or is damaged.
    static std::optional<QVariant> unarchiveObjectWithData(const QByteArray &data,
                                                           QString *errorDescription = nullptr,
                                                           const Limits &limits = Limits());

    // The root object when it is a T; nothing, logged, for damaged data, nil
    // or an object of another kind.
    template <typename T> static std::optional<T> unarchivedValue(const QByteArray &data)
    {
        QString error;
        const std::optional<QVariant> value = unarchiveObjectWithData(data, &error);
        if (value && value->metaType() == QMetaType::fromType<T>())
            return value->value<T>();
        logUnexpected(value, QMetaType::fromType<T>(), error);
        return std::nullopt;
    }

private:
    static void logUnexpected(const std::optional<QVariant> &value, QMetaType wanted,
                              const QString &error);
};
