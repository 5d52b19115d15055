// The typedstream layout: a version byte (4), the signature "streamtyped"
// (written little-endian) or "typedstream" (big-endian), the system version,
// then groups of values, each group preceded by its type string.
//
// Numbers are one signed byte when they fit in -110...127; otherwise a tag
// byte says what follows. Type strings, class names and C strings are shared:
// the first use is written out in full after a "new" tag and later uses refer
// to it by label. Objects and classes are shared the same way through a
// second table: a new object is entered before its class, its class before
// the class's superclass, and the object's own values end with an end tag.

#include "support/TypedStreamArchive.h"

#include <cstring>

namespace TypedStreamArchive {
namespace {

constexpr uchar tagInt16 = 0x81;
constexpr uchar tagInt32 = 0x82;
constexpr uchar tagReal = 0x83;
constexpr uchar tagNew = 0x84;
constexpr uchar tagNil = 0x85;
constexpr uchar tagEnd = 0x86;
// Labels count from the smallest number a single byte holds that is no tag.
constexpr qint64 firstLabel = -110;

struct TypeNode
{
    char code = 0;
    qint64 count = 0; // of array elements
    std::vector<TypeNode> fields;
};

[[noreturn]] void fail(const QString &reason)
{
    throw Error(reason.toStdString());
}

class Parser
{
public:
    Parser(const QByteArray &data, const TypedStreamDecoder::Limits &limits)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_size(data.size()),
          m_limits(limits)
    {}

    Archive parse()
    {
        const uchar version = byte();
        if (version != 4)
            fail(QStringLiteral("typedstream version %1 is not supported").arg(version));
        const qint64 signatureLength = integer();
        if (signatureLength != 11)
            fail(QStringLiteral("no typedstream signature"));
        if (remaining() < 11)
            fail(QStringLiteral("no typedstream signature"));
        const QByteArray signature(reinterpret_cast<const char *>(m_data + m_pos), 11);
        m_pos += 11;
        if (signature == "streamtyped")
            m_archive.bigEndian = false;
        else if (signature == "typedstream")
            m_archive.bigEndian = true;
        else
            fail(QStringLiteral("no typedstream signature"));
        m_archive.systemVersion = integer();

        const std::vector<TypeNode> types = typeString();
        if (types.empty() || types.front().code != '@')
            fail(QStringLiteral("the archive does not begin with an object"));
        // The root is the first value; values after it are not read.
        m_archive.root = value(types.front(), 0);
        return std::move(m_archive);
    }

private:
    const uchar *m_data;
    const qsizetype m_size;
    const TypedStreamDecoder::Limits &m_limits;
    qsizetype m_pos = 0;
    qsizetype m_values = 0;
    Archive m_archive;
    QList<QByteArray> m_strings;

    qsizetype remaining() const { return m_size - m_pos; }

    uchar byte()
    {
        if (m_pos >= m_size)
            fail(QStringLiteral("the archive ends early"));
        return m_data[m_pos++];
    }

    uchar peek()
    {
        if (m_pos >= m_size)
            fail(QStringLiteral("the archive ends early"));
        return m_data[m_pos];
    }

    // A block of bytes; only texts and data values count against maxBytes,
    // names and type strings are bounded by the archive itself.
    QByteArray bytes(qint64 count, bool isValue = true)
    {
        if (count < 0 || count > remaining())
            fail(QStringLiteral("a block of %1 bytes runs past the end").arg(count));
        if (isValue && count > m_limits.maxBytes)
            fail(QStringLiteral("a block of %1 bytes is too large").arg(count));
        QByteArray result(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(count));
        m_pos += qsizetype(count);
        return result;
    }

    quint64 fixed(int size)
    {
        if (remaining() < size)
            fail(QStringLiteral("the archive ends early"));
        quint64 value = 0;
        for (int i = 0; i < size; ++i) {
            const int at = m_archive.bigEndian ? i : size - 1 - i;
            value = value << 8 | m_data[m_pos + at];
        }
        m_pos += size;
        return value;
    }

    // A number whose first byte has been read.
    qint64 integerAfter(uchar first)
    {
        if (first == tagInt16)
            return qint16(quint16(fixed(2)));
        if (first == tagInt32)
            return qint32(quint32(fixed(4)));
        const qint64 literal = qint8(first);
        if (literal < firstLabel)
            fail(QStringLiteral("tag 0x%1 where a number is expected").arg(first, 2, 16));
        return literal;
    }
    qint64 integer() { return integerAfter(byte()); }

    qsizetype label(uchar first, qsizetype tableSize, const char *what)
    {
        const qint64 n = integerAfter(first) - firstLabel;
        if (n < 0 || n >= tableSize)
            fail(QStringLiteral("a reference to %1 %2 of %3")
                     .arg(QLatin1String(what))
                     .arg(n)
                     .arg(tableSize));
        return qsizetype(n);
    }

    void countDefinition()
    {
        if (qsizetype(m_archive.table.size()) + m_strings.size() >= m_limits.maxObjects)
            fail(QStringLiteral("more than %1 objects").arg(m_limits.maxObjects));
    }

    // A shared string; nothing for nil.
    std::optional<QByteArray> sharedString()
    {
        const uchar first = byte();
        if (first == tagNil)
            return std::nullopt;
        if (first == tagNew) {
            countDefinition();
            const QByteArray text = bytes(integer(), false);
            m_strings.append(text);
            return text;
        }
        return m_strings.at(label(first, m_strings.size(), "string"));
    }

    // --- type strings ---

    std::vector<TypeNode> typeString()
    {
        const std::optional<QByteArray> text = sharedString();
        if (!text || text->isEmpty())
            fail(QStringLiteral("a value group without a type"));
        std::vector<TypeNode> nodes;
        qsizetype at = 0;
        while (at < text->size())
            nodes.push_back(typeNode(*text, at, 0));
        return nodes;
    }

    TypeNode typeNode(const QByteArray &text, qsizetype &at, int depth)
    {
        if (depth > m_limits.maxDepth)
            fail(QStringLiteral("a type nested deeper than %1 levels").arg(m_limits.maxDepth));
        // Qualifiers (const, in, out, by copy ...) change nothing stored.
        while (at < text.size() && std::strchr("rnNoORV", text.at(at)) && text.at(at) != 0)
            ++at;
        if (at >= text.size())
            fail(QStringLiteral("type \"%1\" ends early").arg(QString::fromLatin1(text)));
        TypeNode node;
        node.code = text.at(at++);
        switch (node.code) {
        case 'c':
        case 'C':
        case 's':
        case 'S':
        case 'i':
        case 'I':
        case 'l':
        case 'L':
        case 'q':
        case 'Q':
        case 'f':
        case 'd':
        case 'B':
        case 'v':
        case '*':
        case '%':
        case ':':
        case '#':
        case '@':
        case '+':
            return node;
        case '[': {
            qint64 count = 0;
            while (at < text.size() && text.at(at) >= '0' && text.at(at) <= '9') {
                count = count * 10 + (text.at(at++) - '0');
                if (count > m_limits.maxBytes)
                    fail(
                        QStringLiteral("an array of more than %1 elements").arg(m_limits.maxBytes));
            }
            node.count = count;
            node.fields.push_back(typeNode(text, at, depth + 1));
            if (at >= text.size() || text.at(at) != ']')
                fail(QStringLiteral("type \"%1\" has an unclosed array")
                         .arg(QString::fromLatin1(text)));
            ++at;
            return node;
        }
        case '{': {
            while (at < text.size() && text.at(at) != '=' && text.at(at) != '}')
                ++at;
            if (at < text.size() && text.at(at) == '=') {
                ++at;
                while (at < text.size() && text.at(at) != '}')
                    node.fields.push_back(typeNode(text, at, depth + 1));
            }
            if (at >= text.size())
                fail(QStringLiteral("type \"%1\" has an unclosed structure")
                         .arg(QString::fromLatin1(text)));
            ++at;
            return node;
        }
        default:
            fail(QStringLiteral("type \"%1\" is not supported").arg(QString::fromLatin1(text)));
        }
    }

    // --- values ---

    void countValue()
    {
        if (++m_values > m_limits.maxValues)
            fail(QStringLiteral("more than %1 values").arg(m_limits.maxValues));
    }

    static Value integerValue(char type, qint64 n, bool isUnsigned)
    {
        Value v;
        v.kind = Value::Kind::Integer;
        v.type = type;
        v.integer = n;
        v.isUnsigned = isUnsigned;
        return v;
    }

    Value value(const TypeNode &type, int depth)
    {
        if (depth > m_limits.maxDepth)
            fail(QStringLiteral("values nested deeper than %1 levels").arg(m_limits.maxDepth));
        countValue();
        switch (type.code) {
        case 'c':
            return integerValue('c', qint8(byte()), false);
        case 'C':
        case 'B':
            return integerValue(type.code, byte(), true);
        case 's':
            return integerValue('s', qint16(integer()), false);
        case 'S':
            return integerValue('S', quint16(integer()), true);
        case 'i':
        case 'l':
            return integerValue(type.code, qint32(integer()), false);
        case 'I':
        case 'L':
            return integerValue(type.code, quint32(integer()), true);
        case 'q':
            return integerValue('q', integer(), false);
        case 'Q':
            return integerValue('Q', integer(), true);
        case 'f':
        case 'd': {
            Value v;
            v.kind = Value::Kind::Real;
            v.type = type.code;
            const uchar first = byte();
            if (first == tagReal) {
                if (type.code == 'f') {
                    const quint32 bits = quint32(fixed(4));
                    float f;
                    std::memcpy(&f, &bits, 4);
                    v.real = f;
                } else {
                    const quint64 bits = fixed(8);
                    std::memcpy(&v.real, &bits, 8);
                }
            } else {
                // Whole numbers are written as integers.
                v.real = double(integerAfter(first));
            }
            return v;
        }
        case '*':
        case '%':
        case ':': {
            Value v;
            v.type = type.code;
            const uchar first = byte();
            if (first == tagNil)
                return v;
            if (first != tagNew)
                fail(QStringLiteral("tag 0x%1 where a C string is expected").arg(first, 2, 16));
            if (std::optional<QByteArray> text = sharedString()) {
                v.kind = Value::Kind::Bytes;
                v.bytes = *text;
            }
            return v;
        }
        case '+': {
            Value v;
            v.kind = Value::Kind::Bytes;
            v.type = '+';
            v.bytes = bytes(integer());
            return v;
        }
        case '#':
            return classValue(depth);
        case '@':
            return object(depth);
        case '[': {
            Value v;
            v.type = '[';
            const TypeNode &element = type.fields.front();
            if (element.code == 'c' || element.code == 'C') {
                v.kind = Value::Kind::Bytes;
                v.bytes = bytes(type.count);
                return v;
            }
            // Every element takes at least a byte, so a count beyond the
            // bytes left is damage.
            if (type.count > remaining())
                fail(QStringLiteral("an array of %1 elements runs past the end").arg(type.count));
            v.kind = Value::Kind::Group;
            for (qint64 i = 0; i < type.count; ++i)
                v.items.append(value(element, depth + 1));
            return v;
        }
        case '{': {
            Value v;
            v.kind = Value::Kind::Group;
            v.type = '{';
            for (const TypeNode &field : type.fields)
                v.items.append(value(field, depth + 1));
            return v;
        }
        default: // 'v'
            return Value();
        }
    }

    Value classValue(int depth)
    {
        if (depth > m_limits.maxDepth)
            fail(QStringLiteral("classes nested deeper than %1 levels").arg(m_limits.maxDepth));
        Value v;
        v.type = '#';
        const uchar first = byte();
        if (first == tagNil)
            return v;
        v.kind = Value::Kind::Class;
        if (first == tagNew) {
            countDefinition();
            const qsizetype index = qsizetype(m_archive.table.size());
            m_archive.table.emplace_back();
            m_archive.table.back().isClass = true;
            const std::optional<QByteArray> name = sharedString();
            if (!name || name->isEmpty())
                fail(QStringLiteral("a class without a name"));
            const qint64 version = integer();
            const Value superclass = classValue(depth + 1);
            Entry &entry = m_archive.table[size_t(index)];
            entry.name = QString::fromLatin1(*name);
            entry.version = version;
            entry.superclass = superclass.kind == Value::Kind::Class ? superclass.index : -1;
            entry.complete = true;
            v.index = index;
            return v;
        }
        v.index = label(first, qsizetype(m_archive.table.size()), "class");
        if (!m_archive.table[size_t(v.index)].isClass)
            fail(QStringLiteral("a reference to object %1 where a class is expected").arg(v.index));
        return v;
    }

    Value object(int depth)
    {
        if (depth > m_limits.maxDepth)
            fail(QStringLiteral("objects nested deeper than %1 levels").arg(m_limits.maxDepth));
        Value v;
        v.type = '@';
        const uchar first = byte();
        if (first == tagNil)
            return v;
        if (first != tagNew) {
            v.index = label(first, qsizetype(m_archive.table.size()), "object");
            v.kind =
                m_archive.table[size_t(v.index)].isClass ? Value::Kind::Class : Value::Kind::Object;
            return v;
        }
        countDefinition();
        const qsizetype index = qsizetype(m_archive.table.size());
        m_archive.table.emplace_back();
        const Value cls = classValue(depth + 1);
        if (cls.kind != Value::Kind::Class)
            fail(QStringLiteral("an object without a class"));
        QList<Value> values;
        while (peek() != tagEnd) {
            for (const TypeNode &type : typeString())
                if (type.code != 'v') // void holds nothing
                    values.append(value(type, depth + 1));
        }
        ++m_pos; // the end tag
        Entry &entry = m_archive.table[size_t(index)];
        entry.classIndex = cls.index;
        entry.values = std::move(values);
        entry.complete = true;
        v.kind = Value::Kind::Object;
        v.index = index;
        return v;
    }
};

} // namespace

Archive parse(const QByteArray &data, const TypedStreamDecoder::Limits &limits)
{
    return Parser(data, limits).parse();
}

} // namespace TypedStreamArchive
