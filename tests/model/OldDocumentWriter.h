#pragma once

// Builds documents of the old property-list format from the keys their
// readers know, with colours, texts and pictures archived as the classic
// archiver wrote them.

#include "../support/ImageTestData.h"
#include "../support/TypedStreamWriter.h"
#include "platform/Geometry.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <utility>

namespace OldDocument {

inline QByteArray color(const Color &c)
{
    return TypedStreamWriter::archive([c](TypedStreamWriter &w) { w.color(c); });
}

inline QByteArray text(const QString &string)
{
    AttributedString styled(string,
                            {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 12))},
                             {NSForegroundColorAttributeName,
                              QVariant::fromValue(Color::colorWithCalibratedRed(0.5, 0, 0, 1))}});
    return TypedStreamWriter::archive(
        [styled](TypedStreamWriter &w) { w.attributedString(styled); });
}

// An image of representations, each a class name ("NSBitmapImageRep",
// "NSPDFImageRep", "NSEPSImageRep") and its data.
inline QByteArray image(const QList<std::pair<QString, QByteArray>> &reps)
{
    return TypedStreamWriter::archive([reps](TypedStreamWriter &w) {
        w.beginObject({"NSImage", "NSObject"});
        w.types("{_NSSize=ff}");
        w.real(30, false);
        w.real(20, false);
        w.types("@");
        TypedStreamWriter::Writes items;
        for (const auto &[kind, bytes] : reps) {
            items.append([kind, bytes](TypedStreamWriter &rw) {
                rw.beginObject({kind, "NSImageRep", "NSObject"});
                rw.types("@");
                rw.data(bytes);
                rw.endObject();
            });
        }
        w.array(items);
        w.endObject();
    });
}

inline QByteArray tiffImage()
{
    return image({{"NSBitmapImageRep", ImageTestData::encoded("tiff")}});
}

inline QString rect(float x, float y, float w, float h)
{
    return Rect(x, y, w, h).toString();
}

inline QVariantMap graphic(const char *className, const QString &bounds, QVariantMap keys = {})
{
    keys.insert("Class", QString::fromLatin1(className));
    keys.insert("Bounds", bounds);
    return keys;
}

inline QVariantMap textArea(const QString &string, const QString &bounds)
{
    return graphic("TWTextArea", bounds, {{"Text", text(string)}});
}

// A branch of a shape and a label; `keys` adds or replaces the rest.
inline QVariantMap branch(const QVariantMap &shape, const QString &label, QVariantMap keys = {})
{
    const Rect b = Rect::fromString(shape.value("Bounds").toString());
    keys.insert("mainGraphic", shape);
    if (!keys.contains("enclosedTextArea"))
        keys.insert("enclosedTextArea",
                    textArea(label, rect(b.x() + 5, b.y() + 5, b.width() - 10, 15)));
    return keys;
}

} // namespace OldDocument
