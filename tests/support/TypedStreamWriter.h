#pragma once

// Writes typedstream archives, as the classic archiver laid them out, so that
// tests build the archives they read from our own values. Only what the tests
// need: strings, data, numbers, collections, colours, fonts, paragraph
// styles, attributed strings and bitmap images, and the raw pieces to build
// damaged archives.

#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <cmath>
#include <cstring>
#include <functional>

class TypedStreamWriter
{
public:
    explicit TypedStreamWriter(bool bigEndian = false) : m_bigEndian(bigEndian)
    {
        m_out.append(char(4));
        integer(11);
        m_out.append(bigEndian ? "typedstream" : "streamtyped");
        integer(1000);
    }

    // An archive whose root object `write` writes.
    static QByteArray archive(const std::function<void(TypedStreamWriter &)> &write,
                              bool bigEndian = false)
    {
        TypedStreamWriter w(bigEndian);
        w.types("@");
        write(w);
        return w.m_out;
    }

    const QByteArray &data() const { return m_out; }
    // Objects and classes defined so far; the next new object gets this index.
    int tableSize() const { return m_table; }

    // --- raw pieces ---

    void byte(uchar b) { m_out.append(char(b)); }
    void integer(qint64 n)
    {
        if (n >= -110 && n <= 127) {
            byte(uchar(qint8(n)));
        } else if (n >= -32768 && n <= 32767) {
            byte(0x81);
            fixed(quint64(quint16(qint16(n))), 2);
        } else {
            byte(0x82);
            fixed(quint64(quint32(qint32(n))), 4);
        }
    }
    void real(double value, bool isDouble)
    {
        if (value == std::floor(value) && std::abs(value) < 30000) {
            integer(qint64(value)); // whole numbers go as integers
        } else if (isDouble) {
            byte(0x83);
            quint64 bits;
            std::memcpy(&bits, &value, 8);
            fixed(bits, 8);
        } else {
            byte(0x83);
            const float f = float(value);
            quint32 bits;
            std::memcpy(&bits, &f, 4);
            fixed(bits, 4);
        }
    }
    void sharedString(const QByteArray &text)
    {
        if (const auto it = m_strings.constFind(text); it != m_strings.constEnd()) {
            label(*it);
            return;
        }
        m_strings.insert(text, int(m_strings.size()));
        byte(0x84);
        integer(text.size());
        m_out.append(text);
    }
    void label(int index) { integer(qint64(index) - 110); }
    // Starts a group of values: its type string.
    void types(const QByteArray &typeString) { sharedString(typeString); }
    void cString(const QByteArray &text)
    {
        byte(0x84);
        sharedString(text);
    }
    void plusString(const QByteArray &utf8)
    {
        integer(utf8.size());
        m_out.append(utf8);
    }
    void nil() { byte(0x85); }
    void objectReference(int index) { label(index); }
    // A new object of the class chain (most derived first); its values follow,
    // then endObject(). Returns its index.
    int beginObject(const QStringList &classChain)
    {
        const int index = m_table++;
        byte(0x84);
        writeClass(classChain, 0);
        return index;
    }
    void endObject() { byte(0x86); }

    // --- values: each writes one object, after a "@" type ---

    void string(const QString &text, bool isMutable = false)
    {
        beginObject(isMutable ? QStringList{"NSMutableString", "NSString", "NSObject"}
                              : QStringList{"NSString", "NSObject"});
        types("+");
        plusString(text.toUtf8());
        endObject();
    }

    void data(const QByteArray &bytes)
    {
        beginObject({"NSData", "NSObject"});
        types("i");
        integer(bytes.size());
        types("[" + QByteArray::number(bytes.size()) + "c]");
        m_out.append(bytes);
        endObject();
    }

    void integerNumber(qint64 n, char type = 'i')
    {
        beginObject({"NSNumber", "NSValue", "NSObject"});
        types("*");
        cString(QByteArray(1, type));
        types(QByteArray(1, type));
        if (type == 'c' || type == 'C')
            byte(uchar(n));
        else
            integer(n);
        endObject();
    }

    void realNumber(double value, char type = 'd')
    {
        beginObject({"NSNumber", "NSValue", "NSObject"});
        types("*");
        cString(QByteArray(1, type));
        types(QByteArray(1, type));
        real(value, type == 'd');
        endObject();
    }

    using Writes = QList<std::function<void(TypedStreamWriter &)>>;

    void array(const Writes &items)
    {
        beginObject({"NSArray", "NSObject"});
        types("i");
        integer(items.size());
        for (const auto &item : items) {
            types("@");
            item(*this);
        }
        endObject();
    }

    void
    dictionary(const QList<std::pair<QString, std::function<void(TypedStreamWriter &)>>> &entries)
    {
        beginObject({"NSDictionary", "NSObject"});
        types("i");
        integer(entries.size());
        for (const auto &[key, item] : entries) {
            types("@");
            string(key);
            types("@");
            item(*this);
        }
        endObject();
    }

    // Colour space codes: 1 calibrated RGB, 2 device RGB, 3 calibrated
    // white, 4 device white.
    void color(const Color &c)
    {
        beginObject({"NSColor", "NSObject"});
        types("c");
        switch (c.colorSpace()) {
        case Color::Space::CalibratedRGB:
        case Color::Space::DeviceRGB:
            byte(c.colorSpace() == Color::Space::CalibratedRGB ? 1 : 2);
            types("ffff");
            for (double v :
                 {c.redComponent(), c.greenComponent(), c.blueComponent(), c.alphaComponent()})
                real(v, false);
            break;
        case Color::Space::CalibratedWhite:
        case Color::Space::DeviceWhite:
            byte(c.colorSpace() == Color::Space::CalibratedWhite ? 3 : 4);
            types("ff");
            real(c.whiteComponent(), false);
            real(c.alphaComponent(), false);
            break;
        }
        endObject();
    }

    void cmykColor(double cyan, double magenta, double yellow, double black, double alpha)
    {
        beginObject({"NSColor", "NSObject"});
        types("c");
        byte(5);
        types("fffff");
        for (double v : {cyan, magenta, yellow, black, alpha})
            real(v, false);
        endObject();
    }

    // A catalog colour, with the colour it stood for when there is one.
    void namedColor(const QString &catalog, const QString &name, const Color *archived)
    {
        beginObject({"NSColor", "NSObject"});
        types("c");
        byte(6);
        types("@@@");
        string(catalog);
        string(name);
        if (archived)
            color(*archived);
        else
            nil();
        endObject();
    }

    void font(const Font &f)
    {
        beginObject({"NSFont", "NSObject"});
        types("@fc");
        string(f.fontName());
        real(f.pointSize(), false);
        byte(0);
        endObject();
    }

    void textTab(const TextTab &tab)
    {
        beginObject({"NSTextTab", "NSObject"});
        types("if");
        integer(tab.alignment() == RightTextAlignment    ? 1
                : tab.alignment() == CenterTextAlignment ? 2
                                                         : 0);
        real(tab.location(), false);
        endObject();
    }

    void paragraphStyle(const ParagraphStyle &style)
    {
        beginObject({"NSMutableParagraphStyle", "NSParagraphStyle", "NSObject"});
        types("c@");
        byte(uchar(style.alignment));
        Writes tabs;
        for (const TextTab &tab : style.tabStops)
            tabs.append([tab](TypedStreamWriter &w) { w.textTab(tab); });
        array(tabs);
        endObject();
    }

    void url(const QUrl &address)
    {
        beginObject({"NSURL", "NSObject"});
        types("c@");
        byte(0);
        string(address.toString());
        endObject();
    }

    // An attribute value of the kinds AttributedString holds.
    void attributeValue(const QVariant &v)
    {
        if (v.metaType() == QMetaType::fromType<Font>())
            font(v.value<Font>());
        else if (v.metaType() == QMetaType::fromType<Color>())
            color(v.value<Color>());
        else if (v.metaType() == QMetaType::fromType<ParagraphStyle>())
            paragraphStyle(v.value<ParagraphStyle>());
        else if (v.metaType().id() == QMetaType::QUrl)
            url(v.toUrl());
        else if (v.metaType().id() == QMetaType::Double)
            realNumber(v.toDouble());
        else if (v.metaType().id() == QMetaType::Int)
            integerNumber(v.toInt());
        else
            string(v.toString());
    }

    // Runs as dictionary numbers and lengths; a dictionary follows the first
    // use of its number only.
    void attributedString(const AttributedString &text, bool isMutable = false)
    {
        beginObject(isMutable
                        ? QStringList{"NSMutableAttributedString", "NSAttributedString", "NSObject"}
                        : QStringList{"NSAttributedString", "NSObject"});
        types("@");
        string(text.string(), isMutable);
        QList<TextAttributes> seen;
        for (qsizetype run = 0; run < text.runCount(); ++run) {
            const TextAttributes &attributes = text.runAttributes(run);
            qsizetype number = seen.indexOf(attributes);
            const bool isNew = number < 0;
            if (isNew) {
                seen.append(attributes);
                number = seen.size() - 1;
            }
            types("iI");
            integer(number + 1);
            integer(text.runRange(run).length);
            if (isNew) {
                types("@");
                QList<std::pair<QString, std::function<void(TypedStreamWriter &)>>> entries;
                for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
                    const QVariant value = *it;
                    entries.append(
                        {it.key(), [value](TypedStreamWriter &w) { w.attributeValue(value); }});
                }
                dictionary(entries);
            }
        }
        endObject();
    }

    void bitmapImageRep(const QByteArray &tiff)
    {
        beginObject({"NSBitmapImageRep", "NSImageRep", "NSObject"});
        types("@");
        data(tiff);
        endObject();
    }

    // An image of one bitmap, its size in points as a structure.
    void image(const QByteArray &tiff, float width, float height)
    {
        beginObject({"NSImage", "NSObject"});
        types("{_NSSize=ff}");
        real(width, false);
        real(height, false);
        types("@");
        array({[tiff](TypedStreamWriter &w) { w.bitmapImageRep(tiff); }});
        endObject();
    }

private:
    bool m_bigEndian;
    QByteArray m_out;
    QHash<QByteArray, int> m_strings;
    QHash<QString, int> m_classes;
    int m_table = 0;

    void fixed(quint64 value, int size)
    {
        for (int i = 0; i < size; ++i) {
            const int shift = m_bigEndian ? 8 * (size - 1 - i) : 8 * i;
            byte(uchar(value >> shift));
        }
    }

    void writeClass(const QStringList &chain, int at)
    {
        if (at >= chain.size()) {
            nil();
            return;
        }
        if (const auto it = m_classes.constFind(chain[at]); it != m_classes.constEnd()) {
            label(*it);
            return;
        }
        m_classes.insert(chain[at], m_table++);
        byte(0x84);
        sharedString(chain[at].toLatin1());
        integer(0);
        writeClass(chain, at + 1);
    }
};
