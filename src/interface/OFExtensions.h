#pragma once

#include "support/AttributedString.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <algorithm>
#include <optional>
#include <stdexcept>

// Raised when a folder along a path cannot be made; saves let it end the save.
class NSGenericException : public std::runtime_error
{
public:
    explicit NSGenericException(const QString &reason)
        : std::runtime_error(reason.toStdString()), m_reason(reason)
    {}
    static const char *name() { return "NSGenericException"; }
    const QString &reason() const { return m_reason; }

private:
    QString m_reason;
};

namespace OFExtensions {

// U+2026, made once.
const QString &horizontalEllipsisString();
// One Unicode scalar; beyond the BMP it becomes a surrogate pair.
QString stringWithCharacter(char32_t character);
QString stringByRemovingPrefix(const QString &string, const QString &prefix);
QString stringByRemovingSuffix(const QString &string, const QString &suffix);

void appendString(AttributedString &text, const QString &string, const TextAttributes &attributes);
// Continues with the attributes of the last character (none for an empty text).
void appendString(AttributedString &text, const QString &string);

// A new list without the elements equal to `object`.
template <typename C, typename T> C arrayByRemovingObject(const C &list, const T &object)
{
    C out;
    std::copy_if(list.begin(), list.end(), std::back_inserter(out),
                 [&](const auto &e) { return !(e == object); });
    return out;
}

// A new list without that very object (pointers compared by address).
template <typename C, typename P> C arrayByRemovingObjectIdenticalTo(const C &list, const P &object)
{
    const auto address = [](const auto &p) -> const void * {
        if constexpr (requires { p.get(); })
            return p.get();
        else
            return p;
    };
    const void *target = address(object);
    C out;
    std::copy_if(list.begin(), list.end(), std::back_inserter(out),
                 [&](const auto &e) { return address(e) != target; });
    return out;
}

using Permissions = std::optional<QFileDevice::Permissions>;

bool directoryExistsAtPath(const QString &path, bool traverseLink = false);
// Makes every missing folder along `path`; throws NSGenericException when one
// cannot be made or a leading part is not a folder.
void createPath(const QString &path, const Permissions &attributes = std::nullopt);
void createPathToFile(const QString &path, const Permissions &attributes = std::nullopt);
QString existingPortionOfPath(const QString &path);

// Writes the data (through a temporary file when atomically); with
// createDirectories the missing folders are made first, which may throw.
bool writeToFile(const QByteArray &data, const QString &path, bool atomically,
                 bool createDirectories);

} // namespace OFExtensions
