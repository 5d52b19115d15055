#pragma once

#include "platform/Geometry.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Image.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

// Values of the old property-list documents as their readers take them:
// numbers as NSString's intValue and floatValue read them (from strings or
// numbers), "YES" texts, rectangle and point strings, and objects archived
// by the classic archiver.
namespace OldStyleValues {

// Integers and reals from a number or its text; 0 for anything else.
int intValue(const QVariant &value);
long long longLongValue(const QVariant &value);
float floatValue(const QVariant &value);
// Exactly the text "YES" (or a property-list true).
bool isYes(const QVariant &value);
// The text of a string value (numbers as their text); nothing for others.
std::optional<QString> string(const QVariant &value);
QVariantMap dictionary(const QVariant &value);
// Only the dictionaries of an array.
QList<QVariantMap> dictionaries(const QVariant &value);
// "{{x, y}, {w, h}}" and "{x, y}"; numbers that are not finite read as 100,
// so no geometry becomes NaN or infinite.
Rect rect(const QVariant &value);
Point point(const QVariant &value);

// Archived objects; nothing (logged) for data that is damaged or holds
// another kind of object.
std::optional<Color> unarchivedColor(const QVariant &value);
std::optional<AttributedString> unarchivedAttributedString(const QVariant &value);
std::optional<Image> unarchivedImage(const QVariant &value);

// While one lives, each archive of the document being read is decoded once:
// a property list may hand one data value to many places, and decoding it
// at each would multiply the work by the number of uses.
class ArchiveCache
{
public:
    ArchiveCache();
    ~ArchiveCache();
    ArchiveCache(const ArchiveCache &) = delete;
    ArchiveCache &operator=(const ArchiveCache &) = delete;

    static ArchiveCache *current();
    std::optional<QVariant> lookup(const QByteArray &data) const;
    void insert(const QByteArray &data, const std::optional<QVariant> &value);

private:
    ArchiveCache *m_previous;
    // Keyed by the bytes' storage: shared values share it. The data is kept
    // so that the storage cannot be reused by another value meanwhile.
    struct Entry
    {
        QByteArray data;
        std::optional<QVariant> value;
    };
    QHash<const char *, Entry> m_entries;
};

} // namespace OldStyleValues
