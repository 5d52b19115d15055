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
    QVariantMap root{{"name", QStringLiteral("A & <B>")},
                     {"count", 42},
                     {"ratio", 0.1},
                     {"on", true},
                     {"off", false},
                     {"bytes", QByteArray("\x00\x01\xff", 3)},
                     {"when", QDateTime(QDate(2004, 1, 2), QTime(3, 4, 5), QTimeZone::utc())},
                     {"list", QVariantList{1, QStringLiteral("two")}},
                     {"inner", inner}};
    const auto data = PropertyList::dataWithPropertyList(root);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(*data, QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<plist version=\"1.0\">\n<dict>\n"
                                "\t<key>bytes</key>\n\t<data>AAH/</data>\n"
                                "\t<key>count</key>\n\t<integer>42</integer>\n"
                                "\t<key>inner</key>\n\t<dict>\n"
                                "\t\t<key>a</key>\n\t\t<dict/>\n\t\t<key>z</key>\n\t\t<array/>\n"
                                "\t</dict>\n"
                                "\t<key>list</key>\n\t<array>\n"
                                "\t\t<integer>1</integer>\n\t\t<string>two</string>\n\t</array>\n"
                                "\t<key>name</key>\n\t<string>A &amp; &lt;B&gt;</string>\n"
                                "\t<key>off</key>\n\t<false/>\n\t<key>on</key>\n\t<true/>\n"
                                "\t<key>ratio</key>\n\t<real>0.1</real>\n"
                                "\t<key>when</key>\n\t<date>2004-01-02T03:04:05Z</date>\n"
                                "</dict>\n</plist>\n"));
    EXPECT_EQ(parse(*data), QVariant(root));
}

TEST(PropertyListWriting, ValuesSurviveARoundTripExactly)
{
    const QVariantList values{
        QString::fromUcs4(U"\U0001F600 \u00e9\r\n\t end "), // "\r" is not normalised away
        QString(),
        qlonglong(std::numeric_limits<qint64>::min()),
        qulonglong(std::numeric_limits<quint64>::max()),
        1e-300,
        0.30000000000000004,
        HUGE_VAL,
        -HUGE_VAL,
        QByteArray(),
        QByteArray(1000, 'x')};
    const auto data = PropertyList::dataWithPropertyList(values);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(parse(*data), values);
    EXPECT_TRUE(data->contains("<real>+infinity</real>"));
    EXPECT_TRUE(data->contains("<real>-infinity</real>"));

    const auto special = PropertyList::dataWithPropertyList(QVariantList{std::nan(""), 1.5f});
    ASSERT_TRUE(special.has_value());
    EXPECT_TRUE(special->contains("<real>nan</real>"));
    EXPECT_TRUE(special->contains("<real>1.5</real>"));
    EXPECT_TRUE(std::isnan(parse(*special).toList().value(0).toDouble()));
}

TEST(PropertyListWriting, ValuesAPropertyListCannotHoldFailWithAReason)
{
    QVariant deep = QVariantList{};
    for (int i = 0; i < 300; ++i)
        deep = QVariantList{deep};
    const std::pair<QVariant, const char *> cases[] = {
        {QVariant(), "Property list invalid for format"},
        {QVariantMap{{"k", QPointF(1, 2)}}, "QPointF"},
        {QString(QChar(1)), "U+0001"},
        {QString(QChar(0xDC00)), "Property list invalid"},
        {QString(QChar(0xFFFE)), "Property list invalid"},
        {deep, "Property list invalid"}};
    for (const auto &[value, reason] : cases) {
        QString error;
        EXPECT_FALSE(PropertyList::dataWithPropertyList(value, &error)) << reason;
        EXPECT_TRUE(error.contains(reason)) << qPrintable(error);
    }
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
    EXPECT_EQ(v, QVariant(QVariantMap{{"s", QStringLiteral("  ")},
                                      {"d", QByteArray("\x00\x01\xff", 3)},
                                      {"c", QStringLiteral("<x>")},
                                      {"i", qlonglong(7)},
                                      {"e", QString()}}));
    // A later key replaces an earlier one.
    EXPECT_EQ(parse(plist("<dict><key>k</key><integer>1</integer><key>k</key><integer>2</integer>"
                          "</dict>")),
              QVariant(QVariantMap{{"k", qlonglong(2)}}));
    const QVariant date = parse(plist("<date>2010-06-30T23:59:59Z</date>"));
    EXPECT_EQ(date.toDateTime(),
              QDateTime(QDate(2010, 6, 30), QTime(23, 59, 59), QTimeZone::utc()));
}

TEST(PropertyListReading, MalformedInputIsRefusedWithADescription)
{
    const QList<QByteArray> bad{
        "", "not xml", "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>a</string><string>b</string></dict></plist>",
        "<plist><array><foo/></array></plist>", "<plist><integer>12x</integer></plist>",
        "<plist><integer>99999999999999999999999</integer></plist>",
        "<plist><integer></integer></plist>", "<plist><real>1,5</real></plist>",
        "<plist><data>A===</data></plist>", "<plist><data>@@@@</data></plist>",
        "<plist><date>yesterday</date></plist>", "<plist><string>a<b/></string></plist>",
        "<plist><array>text</array></plist>", "<plist><true>x</true></plist>", "<plist/>",
        "<plist><string/><string/></plist>", "<dict/>",
        "<!DOCTYPE plist [<!ENTITY e \"boom\">]><plist><string>&e;</string></plist>",
        // Deep nesting is refused, not recursed into.
        "<plist>" + QByteArray("<array>").repeated(5000) + QByteArray("</array>").repeated(5000) +
            "</plist>"};
    for (const QByteArray &xml : bad) {
        QString error;
        EXPECT_FALSE(PropertyList::propertyListWithData(xml, &error)) << xml.left(60).constData();
        EXPECT_TRUE(error.startsWith("Malformed property list")) << qPrintable(error);
    }
    // The external DTD is never loaded; the document itself is fine.
    EXPECT_EQ(parse("<!DOCTYPE plist SYSTEM \"file:///etc/passwd\"><plist><string>x</string>"
                    "</plist>"),
              QVariant(QStringLiteral("x")));
}
