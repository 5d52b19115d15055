#pragma once

// Builds binary property lists for tests: from values, or from raw object
// bytes so that tests can aim references and offsets wherever they like.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <cstring>

namespace BinaryPlistWriter {

inline QByteArray bigEndian(quint64 value, int size)
{
    QByteArray out;
    for (int i = size - 1; i >= 0; --i)
        out.append(char(uchar(value >> (8 * i))));
    return out;
}

// A marker with its count: in the low nibble, or as an integer after 0xF.
inline QByteArray marker(uchar type, quint64 count)
{
    if (count < 15)
        return QByteArray(1, char(type << 4 | count));
    return QByteArray(1, char(type << 4 | 0x0F)) + QByteArray(1, char(0x13)) + bigEndian(count, 8);
}

// Header, the objects in order, the offset table and the trailer.
inline QByteArray assemble(const QList<QByteArray> &objects, quint64 top = 0, int refSize = 1,
                           int offsetSize = 0)
{
    QByteArray out = "bplist00";
    QList<quint64> offsets;
    for (const QByteArray &o : objects) {
        offsets.append(quint64(out.size()));
        out.append(o);
    }
    if (offsetSize == 0)
        offsetSize = out.size() < 256 ? 1 : out.size() < 65536 ? 2 : 4;
    const quint64 tableOffset = quint64(out.size());
    for (quint64 offset : offsets)
        out.append(bigEndian(offset, offsetSize));
    out.append(QByteArray(6, '\0'));
    out.append(char(offsetSize));
    out.append(char(refSize));
    out.append(bigEndian(quint64(objects.size()), 8));
    out.append(bigEndian(top, 8));
    out.append(bigEndian(tableOffset, 8));
    return out;
}

class Encoder
{
public:
    // Object 0 is the top object; references take two bytes.
    QByteArray encode(const QVariant &value)
    {
        m_objects.clear();
        add(value);
        return assemble(m_objects, 0, 2);
    }

private:
    QList<QByteArray> m_objects;

    static QByteArray ref(quint64 index) { return bigEndian(index, 2); }

    quint64 add(const QVariant &v)
    {
        const quint64 index = quint64(m_objects.size());
        m_objects.append(QByteArray());
        QByteArray o;
        switch (v.metaType().id()) {
        case QMetaType::Bool:
            o = QByteArray(1, v.toBool() ? char(0x09) : char(0x08));
            break;
        case QMetaType::Int:
        case QMetaType::LongLong: {
            const qint64 n = v.toLongLong();
            if (n >= 0 && n < 256)
                o = QByteArray(1, char(0x10)) + bigEndian(quint64(n), 1);
            else if (n >= 0 && n < 65536)
                o = QByteArray(1, char(0x11)) + bigEndian(quint64(n), 2);
            else if (n >= 0 && n < (qint64(1) << 32))
                o = QByteArray(1, char(0x12)) + bigEndian(quint64(n), 4);
            else
                o = QByteArray(1, char(0x13)) + bigEndian(quint64(n), 8);
            break;
        }
        case QMetaType::ULongLong:
            o = QByteArray(1, char(0x14)) + bigEndian(0, 8) + bigEndian(v.toULongLong(), 8);
            break;
        case QMetaType::Float: {
            const float f = v.toFloat();
            quint32 bits;
            std::memcpy(&bits, &f, 4);
            o = QByteArray(1, char(0x22)) + bigEndian(bits, 4);
            break;
        }
        case QMetaType::Double: {
            const double d = v.toDouble();
            quint64 bits;
            std::memcpy(&bits, &d, 8);
            o = QByteArray(1, char(0x23)) + bigEndian(bits, 8);
            break;
        }
        case QMetaType::QDateTime: {
            const double d = double(v.toDateTime().toMSecsSinceEpoch()) / 1000.0 - 978307200.0;
            quint64 bits;
            std::memcpy(&bits, &d, 8);
            o = QByteArray(1, char(0x33)) + bigEndian(bits, 8);
            break;
        }
        case QMetaType::QByteArray:
            o = marker(0x4, quint64(v.toByteArray().size())) + v.toByteArray();
            break;
        case QMetaType::QString: {
            const QString s = v.toString();
            bool ascii = true;
            for (QChar c : s)
                ascii = ascii && c.unicode() < 0x80;
            if (ascii) {
                o = marker(0x5, quint64(s.size())) + s.toLatin1();
            } else {
                o = marker(0x6, quint64(s.size()));
                for (QChar c : s)
                    o.append(bigEndian(c.unicode(), 2));
            }
            break;
        }
        case QMetaType::QVariantList: {
            const QVariantList list = v.toList();
            QByteArray refs;
            for (const QVariant &item : list)
                refs.append(ref(add(item)));
            o = marker(0xA, quint64(list.size())) + refs;
            break;
        }
        case QMetaType::QVariantMap: {
            const QVariantMap map = v.toMap();
            QByteArray keys, values;
            for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
                keys.append(ref(add(it.key())));
                values.append(ref(add(*it)));
            }
            o = marker(0xD, quint64(map.size())) + keys + values;
            break;
        }
        default:
            o = QByteArray(1, char(0x00)); // null: not a property list value
        }
        m_objects[qsizetype(index)] = o;
        return index;
    }
};

inline QByteArray encode(const QVariant &value)
{
    return Encoder().encode(value);
}

} // namespace BinaryPlistWriter
