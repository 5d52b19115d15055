// The binary form: "bplist00", the objects, a table of their offsets and a
// 32-byte trailer that locates the table and names the top object.

#include "support/PropertyListReader.h"

#include <QDateTime>
#include <QHash>
#include <QTimeZone>
#include <QVariantList>
#include <QVariantMap>
#include <cstring>
#include <vector>

namespace {

constexpr qint64 trailerSize = 32;
constexpr qint64 headerSize = 8;
// Seconds from 1970 to 2001-01-01, where binary dates count from.
constexpr double referenceDateOffset = 978307200.0;

class BinaryReader
{
public:
    BinaryReader(const QByteArray &data, const PropertyListReader::Limits &limits)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_size(data.size()),
          m_limits(limits)
    {}

    QString error;

    std::optional<QVariant> read()
    {
        if (m_size < headerSize + 1 + trailerSize)
            return fail(QStringLiteral("the file is too short"));
        if (std::memcmp(m_data, "bplist00", 8) != 0)
            return fail(QStringLiteral("version \"%1\" is not supported")
                            .arg(QString::fromLatin1(reinterpret_cast<const char *>(m_data), 8)));
        const uchar *trailer = m_data + m_size - trailerSize;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        const quint64 objectCount = bigEndian(trailer + 8, 8);
        const quint64 topObject = bigEndian(trailer + 16, 8);
        const quint64 tableOffset = bigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return fail(QStringLiteral("offsets of %1 bytes and references of %2 bytes")
                            .arg(m_offsetSize)
                            .arg(m_refSize));
        const quint64 tableEnd = quint64(m_size - trailerSize);
        if (tableOffset < quint64(headerSize + 1) || tableOffset >= tableEnd)
            return fail(QStringLiteral("the offset table lies outside the file"));
        if (objectCount == 0 || objectCount > (tableEnd - tableOffset) / m_offsetSize)
            return fail(QStringLiteral("%1 objects do not fit the offset table").arg(objectCount));
        if (m_refSize < 8 && (objectCount - 1) >> (8 * m_refSize) != 0)
            return fail(QStringLiteral("references too short for %1 objects").arg(objectCount));
        if (topObject >= objectCount)
            return fail(QStringLiteral("the top object %1 does not exist").arg(topObject));
        m_objectCount = objectCount;
        m_table = m_data + tableOffset;
        m_objectsEnd = tableOffset;
        m_inProgress.assign(size_t(objectCount), false);
        return object(topObject, 0);
    }

private:
    const uchar *m_data;
    const qint64 m_size;
    const PropertyListReader::Limits &m_limits;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    const uchar *m_table = nullptr;
    quint64 m_objectsEnd = 0;
    qsizetype m_values = 0;
    std::vector<bool> m_inProgress;
    // An object used more than once is decoded once and shared; each use
    // still counts all the values it stands for, so that a few bytes of
    // references cannot stand for an exponential tree.
    struct Decoded
    {
        QVariant value;
        qsizetype weight;
    };
    QHash<quint64, Decoded> m_decoded;

    static quint64 bigEndian(const uchar *p, int size)
    {
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = value << 8 | p[i];
        return value;
    }

    std::nullopt_t fail(const QString &reason)
    {
        if (error.isEmpty())
            error = QStringLiteral("Malformed binary property list: ") + reason;
        return std::nullopt;
    }

    // Whether `length` bytes from `offset` lie among the objects.
    bool fits(quint64 offset, quint64 length) const
    {
        return offset <= m_objectsEnd && length <= m_objectsEnd - offset;
    }

    // The count of a marker's low nibble, or of the integer that follows a
    // nibble of 15; `offset` moves past it.
    std::optional<quint64> count(uchar marker, quint64 &offset)
    {
        if ((marker & 0x0F) != 0x0F)
            return quint64(marker & 0x0F);
        if (!fits(offset, 1))
            return fail(QStringLiteral("a count runs past the objects"));
        const uchar intMarker = m_data[offset];
        if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3)
            return fail(QStringLiteral("a count that is no integer"));
        const int bytes = 1 << (intMarker & 0x0F);
        if (!fits(offset + 1, quint64(bytes)))
            return fail(QStringLiteral("a count runs past the objects"));
        const quint64 value = bigEndian(m_data + offset + 1, bytes);
        offset += 1 + quint64(bytes);
        return value;
    }

    std::optional<quint64> reference(quint64 offset)
    {
        const quint64 ref = bigEndian(m_data + offset, m_refSize);
        if (ref >= m_objectCount)
            return fail(
                QStringLiteral("a reference to object %1 of %2").arg(ref).arg(m_objectCount));
        return ref;
    }

    bool addValues(qsizetype values)
    {
        m_values += values;
        if (m_values <= m_limits.maxValues)
            return true;
        fail(QStringLiteral("more than %1 values").arg(m_limits.maxValues));
        return false;
    }

    std::optional<QVariant> object(quint64 index, int depth)
    {
        if (depth > m_limits.maxDepth)
            return fail(QStringLiteral("nested deeper than %1 levels").arg(m_limits.maxDepth));
        if (const auto it = m_decoded.constFind(index); it != m_decoded.constEnd()) {
            if (!addValues(it->weight))
                return std::nullopt;
            return it->value;
        }
        const qsizetype before = m_values;
        if (!addValues(1))
            return std::nullopt;
        std::optional<QVariant> result = decode(index, depth);
        if (result)
            m_decoded.insert(index, {*result, m_values - before});
        return result;
    }

    std::optional<QVariant> decode(quint64 index, int depth)
    {
        const quint64 offset = bigEndian(m_table + index * quint64(m_offsetSize), m_offsetSize);
        if (offset < quint64(headerSize) || offset >= m_objectsEnd)
            return fail(QStringLiteral("object %1 lies outside the objects").arg(index));
        const uchar marker = m_data[offset];
        quint64 at = offset + 1;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                return QVariant(marker == 0x09);
            return fail(QStringLiteral("object %1 is null or fill").arg(index));
        case 0x1:
            return integer(marker, at);
        case 0x2: {
            const int bytes = 1 << (marker & 0x0F);
            if ((bytes != 4 && bytes != 8) || !fits(at, quint64(bytes)))
                return fail(QStringLiteral("a real of %1 bytes").arg(bytes));
            return QVariant(real(at, bytes));
        }
        case 0x3: {
            if (marker != 0x33 || !fits(at, 8))
                return fail(QStringLiteral("a malformed date"));
            const double seconds = real(at, 8) + referenceDateOffset;
            // QDateTime holds about ±292 million years; beyond is damage.
            if (!(seconds > -9.0e15 && seconds < 9.0e15))
                return fail(QStringLiteral("a date out of range"));
            return QVariant(
                QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0), QTimeZone::utc()));
        }
        case 0x4:
        case 0x5:
        case 0x6: {
            const std::optional<quint64> n = count(marker, at);
            if (!n)
                return std::nullopt;
            const quint64 unit = (marker >> 4) == 0x6 ? 2 : 1;
            if (*n > m_objectsEnd / unit || !fits(at, *n * unit))
                return fail(QStringLiteral("object %1 runs past the objects").arg(index));
            const char *p = reinterpret_cast<const char *>(m_data + at);
            if ((marker >> 4) == 0x4)
                return QVariant(QByteArray(p, qsizetype(*n)));
            if ((marker >> 4) == 0x5)
                return QVariant(QString::fromLatin1(p, qsizetype(*n)));
            QString text(qsizetype(*n), Qt::Uninitialized);
            for (quint64 i = 0; i < *n; ++i)
                text[qsizetype(i)] = QChar(char16_t(bigEndian(m_data + at + 2 * i, 2)));
            return QVariant(text);
        }
        case 0x8: {
            const int bytes = (marker & 0x0F) + 1;
            if (bytes > 8 || !fits(at, quint64(bytes)))
                return fail(QStringLiteral("a UID of %1 bytes").arg(bytes));
            return QVariant(QVariantMap{
                {QStringLiteral("CF$UID"), QVariant(qulonglong(bigEndian(m_data + at, bytes)))}});
        }
        case 0xA:
        case 0xC:
        case 0xD:
            return collection(index, marker, at, depth);
        default:
            return fail(QStringLiteral("object %1 has the unknown marker 0x%2")
                            .arg(index)
                            .arg(marker, 2, 16, QLatin1Char('0')));
        }
    }

    std::optional<QVariant> integer(uchar marker, quint64 at)
    {
        const int bytes = 1 << (marker & 0x0F);
        if (bytes > 16 || !fits(at, quint64(bytes)))
            return fail(QStringLiteral("an integer of %1 bytes").arg(bytes));
        if (bytes == 16) {
            // 128-bit integers hold unsigned 64-bit values, or negative ones
            // whose high half is all ones.
            const quint64 high = bigEndian(m_data + at, 8);
            const quint64 low = bigEndian(m_data + at + 8, 8);
            if (high == 0)
                return low > quint64(std::numeric_limits<qint64>::max()) ? QVariant(qulonglong(low))
                                                                         : QVariant(qlonglong(low));
            if (high == ~quint64(0) && (low >> 63))
                return QVariant(qlonglong(low));
            return fail(QStringLiteral("an integer beyond 64 bits"));
        }
        const quint64 value = bigEndian(m_data + at, bytes);
        // Integers of eight bytes are signed, shorter ones unsigned.
        return QVariant(qlonglong(value));
    }

    double real(quint64 at, int bytes) const
    {
        const quint64 bits = bigEndian(m_data + at, bytes);
        if (bytes == 4) {
            const quint32 b = quint32(bits);
            float f;
            std::memcpy(&f, &b, 4);
            return double(f);
        }
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }

    std::optional<QVariant> collection(quint64 index, uchar marker, quint64 at, int depth)
    {
        const std::optional<quint64> n = count(marker, at);
        if (!n)
            return std::nullopt;
        const bool isDictionary = (marker >> 4) == 0xD;
        const quint64 refs = isDictionary ? 2 : 1;
        if (*n > m_objectsEnd / (refs * quint64(m_refSize)) || !fits(at, *n * refs * m_refSize))
            return fail(QStringLiteral("object %1 runs past the objects").arg(index));
        if (m_inProgress[index])
            return fail(QStringLiteral("object %1 contains itself").arg(index));
        m_inProgress[index] = true;
        std::optional<QVariant> result;
        if (isDictionary)
            result = dictionary(*n, at, depth);
        else
            result = array(*n, at, depth);
        m_inProgress[index] = false;
        return result;
    }

    std::optional<QVariant> array(quint64 n, quint64 at, int depth)
    {
        QVariantList list;
        list.reserve(qsizetype(qMin<quint64>(n, 4096)));
        for (quint64 i = 0; i < n; ++i) {
            const std::optional<quint64> ref = reference(at + i * quint64(m_refSize));
            if (!ref)
                return std::nullopt;
            std::optional<QVariant> item = object(*ref, depth + 1);
            if (!item)
                return std::nullopt;
            list.append(*item);
        }
        return QVariant(list);
    }

    std::optional<QVariant> dictionary(quint64 n, quint64 at, int depth)
    {
        QVariantMap map;
        const quint64 valuesAt = at + n * quint64(m_refSize);
        for (quint64 i = 0; i < n; ++i) {
            const std::optional<quint64> keyRef = reference(at + i * quint64(m_refSize));
            const std::optional<quint64> valueRef =
                keyRef ? reference(valuesAt + i * quint64(m_refSize)) : std::nullopt;
            if (!valueRef)
                return std::nullopt;
            std::optional<QVariant> key = object(*keyRef, depth + 1);
            if (!key)
                return std::nullopt;
            if (key->metaType().id() != QMetaType::QString)
                return fail(QStringLiteral("a dictionary key that is no string"));
            std::optional<QVariant> item = object(*valueRef, depth + 1);
            if (!item)
                return std::nullopt;
            map.insert(key->toString(), *item);
        }
        return QVariant(map);
    }
};

} // namespace

std::optional<QVariant> PropertyListReader::readBinary(const QByteArray &data, const Limits &limits,
                                                       QString *errorDescription)
{
    BinaryReader reader(data, limits);
    std::optional<QVariant> result = reader.read();
    if (!result && errorDescription)
        *errorDescription = reader.error;
    return result;
}
