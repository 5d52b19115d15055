#include "support/OldStyleValues.h"

#include "platform/CFormat.h"
#include "support/TypedStreamDecoder.h"

#include <QtDebug>
#include <cmath>
#include <limits>

namespace OldStyleValues {

namespace {

thread_local ArchiveCache *currentCache = nullptr;

double numberOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return CFormat::doubleValue(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    default:
        return 0;
    }
}

float finite(float v)
{
    return std::isfinite(v) ? v : 100.0f;
}

std::optional<QVariant> unarchived(const QVariant &value)
{
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QByteArray data = value.toByteArray();
    ArchiveCache *cache = ArchiveCache::current();
    if (cache) {
        if (std::optional<QVariant> known = cache->lookup(data))
            return known->isValid() ? known : std::nullopt;
    }
    QString error;
    std::optional<QVariant> object = TypedStreamDecoder::unarchiveObjectWithData(data, &error);
    if (!object)
        qWarning().noquote() << "Archived value not read:" << error;
    if (cache)
        cache->insert(data, object ? object : QVariant());
    return object;
}

template <class T> std::optional<T> unarchivedAs(const QVariant &value, const char *what)
{
    if (!value.isValid())
        return std::nullopt;
    const std::optional<QVariant> object = unarchived(value);
    if (object && object->metaType() == QMetaType::fromType<T>())
        return object->value<T>();
    if (object)
        qWarning("Archived value is no %s", what);
    return std::nullopt;
}

} // namespace

long long longLongValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return CFormat::longLongValue(value.toString());
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        return value.toLongLong();
    const double d = numberOf(value);
    if (!std::isfinite(d))
        return 0;
    return d >= 9.2e18    ? std::numeric_limits<long long>::max()
           : d <= -9.2e18 ? std::numeric_limits<long long>::min()
                          : static_cast<long long>(d);
}

int intValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return CFormat::intValue(value.toString());
    const long long n = longLongValue(value);
    return int(
        std::clamp<long long>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

float floatValue(const QVariant &value)
{
    return float(numberOf(value));
}

bool isYes(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.typeId() == QMetaType::QString && value.toString() == u"YES";
}

std::optional<QString> string(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return std::nullopt;
    }
}

QVariantMap dictionary(const QVariant &value)
{
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

QList<QVariantMap> dictionaries(const QVariant &value)
{
    QList<QVariantMap> result;
    if (value.typeId() != QMetaType::QVariantList)
        return result;
    const QVariantList items = value.toList();
    for (const QVariant &item : items) {
        if (item.typeId() == QMetaType::QVariantMap)
            result.append(item.toMap());
    }
    return result;
}

Rect rect(const QVariant &value)
{
    const Rect r = Rect::fromString(string(value).value_or(QString()));
    return {finite(r.x()), finite(r.y()), finite(r.width()), finite(r.height())};
}

Point point(const QVariant &value)
{
    const Point p = Point::fromString(string(value).value_or(QString()));
    return {finite(p.x), finite(p.y)};
}

std::optional<Color> unarchivedColor(const QVariant &value)
{
    return unarchivedAs<Color>(value, "colour");
}

std::optional<AttributedString> unarchivedAttributedString(const QVariant &value)
{
    return unarchivedAs<AttributedString>(value, "styled text");
}

std::optional<Image> unarchivedImage(const QVariant &value)
{
    return unarchivedAs<Image>(value, "picture");
}

ArchiveCache::ArchiveCache() : m_previous(currentCache)
{
    currentCache = this;
}

ArchiveCache::~ArchiveCache()
{
    currentCache = m_previous;
}

ArchiveCache *ArchiveCache::current()
{
    return currentCache;
}

std::optional<QVariant> ArchiveCache::lookup(const QByteArray &data) const
{
    const auto it = m_entries.constFind(data.constData());
    if (it == m_entries.cend() || it->data.size() != data.size())
        return std::nullopt;
    return it->value ? it->value : QVariant();
}

void ArchiveCache::insert(const QByteArray &data, const std::optional<QVariant> &value)
{
    m_entries.insert(data.constData(), Entry{data, value});
}

} // namespace OldStyleValues
