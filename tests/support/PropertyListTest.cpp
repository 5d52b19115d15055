#include "support/PropertyList.h"

#include <QDateTime>
#include <QPointF>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

QVariant parse(const QByteArray &xml, QString *error = nullptr)
{
    return PropertyList::propertyListWithData(xml, error).value_or(QVariant());
}

QByteArray plist(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body +
           "</plist>";
}

} // namespace

TEST(PropertyListWriting, ExactTextOfEveryKind)
{
    QVariantMap inner{{"z", QVariantList{}}, {"a", QVariantMap{}}};
    QVariantMap root{
        {"name", QStringLiteral("A & <B>")},
        {"count", 42},
        {"ratio", 0.1},
        {"on", true},
        {"off", false},
        {"bytes", QByteArray("\x00\x01\xff", 3)},
        {"when", QDateTime(QDate(2004, 1, 2), QTime(3, 4, 5), QTimeZone::utc())},
        {"list", QVariantList{1, QStringLiteral("two")}},
        {"inner", inner},
    };
    const auto data = PropertyList::dataWithPropertyList(root);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(*data, QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<plist version=\"1.0\">\n"
                                "<dict>\n"
                                "\t<key>bytes</key>\n"
                                "\t<data>AAH/</data>\n"
                                "\t<key>count</key>\n"
                                "\t<integer>42</integer>\n"
                                "\t<key>inner</key>\n"
                                "\t<dict>\n"
                                "\t\t<key>a</key>\n"
                                "\t\t<dict/>\n"
                                "\t\t<key>z</key>\n"
                                "\t\t<array/>\n"
                                "\t</dict>\n"
                                "\t<key>list</key>\n"
                                "\t<array>\n"
                                "\t\t<integer>1</integer>\n"
                                "\t\t<string>two</string>\n"
                                "\t</array>\n"
                                "\t<key>name</key>\n"
                                "\t<string>A &amp; &lt;B&gt;</string>\n"
                                "\t<key>off</key>\n"
                                "\t<false/>\n"
                                "\t<key>on</key>\n"
                                "\t<true/>\n"
                                "\t<key>ratio</key>\n"
                                "\t<real>0.1</real>\n"
                                "\t<key>when</key>\n"
                                "\t<date>2004-01-02T03:04:05Z</date>\n"
                                "</dict>\n"
                                "</plist>\n"));
    EXPECT_EQ(parse(*data), QVariant(root));
}

TEST(PropertyListWriting, ValuesSurviveARoundTripExactly)
{
    const QString astral = QString::fromUcs4(U"\U0001F600 \u00e9\r\n\t end ");
    const QVariantList values{
        astral,
        QString(),
        qlonglong(std::numeric_limits<qint64>::min()),
        qulonglong(std::numeric_limits<quint64>::max()),
        1e-300,
        -2.5e20,
        0.30000000000000004,
        QByteArray(),
        QByteArray(1000, 'x'),
    };
    const auto data = PropertyList::dataWithPropertyList(values);
    ASSERT_TRUE(data.has_value());
    const QVariantList back = parse(*data).toList();
    ASSERT_EQ(back.size(), values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        EXPECT_EQ(back[i], values[i]) << i;
    EXPECT_EQ(back[0].toString(), astral); // "\r" is not normalised away
    EXPECT_EQ(back[3].toULongLong(), std::numeric_limits<quint64>::max());
}

TEST(PropertyListWriting, SpecialRealsAndFloats)
{
    const auto data =
        PropertyList::dataWithPropertyList(QVariantList{std::nan(""), HUGE_VAL, -HUGE_VAL, 1.5f});
    ASSERT_TRUE(data.has_value());
    EXPECT_TRUE(data->contains("<real>nan</real>"));
    EXPECT_TRUE(data->contains("<real>+infinity</real>"));
    EXPECT_TRUE(data->contains("<real>-infinity</real>"));
    EXPECT_TRUE(data->contains("<real>1.5</real>"));
    const QVariantList back = parse(*data).toList();
    ASSERT_EQ(back.size(), 4);
    EXPECT_TRUE(std::isnan(back[0].toDouble()));
    EXPECT_EQ(back[1].toDouble(), HUGE_VAL);
    EXPECT_EQ(back[2].toDouble(), -HUGE_VAL);
}

TEST(PropertyListWriting, ValuesAPropertyListCannotHoldFailWithAReason)
{
    QString error;
    EXPECT_FALSE(PropertyList::dataWithPropertyList(QVariant(), &error));
    EXPECT_TRUE(error.startsWith("Property list invalid for format"));
    error.clear();
    EXPECT_FALSE(PropertyList::dataWithPropertyList(QVariantMap{{"k", QPointF(1, 2)}}, &error));
    EXPECT_TRUE(error.contains("QPointF")) << qPrintable(error);
    error.clear();
    EXPECT_FALSE(PropertyList::dataWithPropertyList(QString(QChar(1)), &error));
    EXPECT_TRUE(error.contains("U+0001")) << qPrintable(error);
    EXPECT_FALSE(PropertyList::dataWithPropertyList(QString(QChar(0xDC00)), &error));
    EXPECT_FALSE(PropertyList::dataWithPropertyList(QString(QChar(0xFFFE)), &error));

    QVariant deep = QVariantList{};
    for (int i = 0; i < 300; ++i)
        deep = QVariantList{deep};
    EXPECT_FALSE(PropertyList::dataWithPropertyList(deep, &error));
}

TEST(PropertyListReading, TolerantOfLayout)
{
    // Blank text, comments, CDATA and whitespace inside Base64 are all fine;
    // a string of blanks is kept as it stands.
    const QVariant v = parse(plist("\n <!-- c -->\n<dict>\n  <key>s</key>  <string>  </string>\n"
                                   "<key>d</key><data>\n AAH/\n</data>"
                                   "<key>c</key><string><![CDATA[<x>]]></string>"
                                   "<key>i</key><integer> +7 </integer>"
                                   "<key>e</key><string/></dict>\n"));
    const QVariantMap map = v.toMap();
    EXPECT_EQ(map.value("s"), QVariant(QStringLiteral("  ")));
    EXPECT_EQ(map.value("d"), QVariant(QByteArray("\x00\x01\xff", 3)));
    EXPECT_EQ(map.value("c"), QVariant(QStringLiteral("<x>")));
    EXPECT_EQ(map.value("i"), QVariant(qlonglong(7)));
    EXPECT_EQ(map.value("e"), QVariant(QString()));

    // A later key replaces an earlier one.
    EXPECT_EQ(parse(plist("<dict><key>k</key><integer>1</integer><key>k</key><integer>2</integer>"
                          "</dict>"))
                  .toMap()
                  .value("k"),
              QVariant(qlonglong(2)));

    const QVariant date = parse(plist("<date>2010-06-30T23:59:59Z</date>"));
    EXPECT_EQ(date.toDateTime(),
              QDateTime(QDate(2010, 6, 30), QTime(23, 59, 59), QTimeZone::utc()));
}

TEST(PropertyListReading, MalformedInputIsRefusedWithADescription)
{
    const QList<QByteArray> bad{
        "",
        "not xml",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>a</string><string>b</string></dict></plist>",
        "<plist><array><foo/></array></plist>",
        "<plist><integer>12x</integer></plist>",
        "<plist><integer>99999999999999999999999</integer></plist>",
        "<plist><integer></integer></plist>",
        "<plist><real>1,5</real></plist>",
        "<plist><data>A===</data></plist>",
        "<plist><data>@@@@</data></plist>",
        "<plist><date>yesterday</date></plist>",
        "<plist><string>a<b/></string></plist>",
        "<plist><array>text</array></plist>",
        "<plist><true>x</true></plist>",
        "<plist/>",
        "<plist><string/><string/></plist>",
        "<dict/>",
        "<!DOCTYPE plist [<!ENTITY e \"boom\">]><plist><string>&e;</string></plist>",
        "<!DOCTYPE plist SYSTEM \"file:///etc/passwd\"><plist><string>x</string></plist>",
    };
    for (const QByteArray &xml : bad) {
        QString error;
        const auto value = PropertyList::propertyListWithData(xml, &error);
        if (xml.contains("SYSTEM")) {
            // The external DTD is never loaded; the document itself is fine.
            EXPECT_EQ(value.value_or(QVariant()), QVariant(QStringLiteral("x")));
            continue;
        }
        EXPECT_FALSE(value.has_value()) << xml.constData();
        EXPECT_TRUE(error.startsWith("Malformed property list")) << qPrintable(error);
    }
}

TEST(PropertyListReading, DeepNestingIsRefusedNotRecursedInto)
{
    QByteArray xml = "<plist>";
    for (int i = 0; i < 5000; ++i)
        xml += "<array>";
    for (int i = 0; i < 5000; ++i)
        xml += "</array>";
    xml += "</plist>";
    QString error;
    EXPECT_FALSE(PropertyList::propertyListWithData(xml, &error));
    EXPECT_FALSE(error.isEmpty());
}
