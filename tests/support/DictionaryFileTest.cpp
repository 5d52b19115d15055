#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestSwatch.h"
#include "support/OrderedDictionary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

OrderedDictionary sampleStyle()
{
    return OrderedDictionary{
        {"name", QString::fromUtf8("Thème ✓ & <friends>")},
        {"count", 42},
        {"big", 123456789012LL},
        {"ratio", 0.1},
        {"tiny", 1e-7},
        {"flag", true},
        {"blank", QString(" ")},
        {"empty", QString("")},
        {"bytes", QByteArray("\0\1\2\xff", 4)},
        {"list", QVariantList{QString("a"), 2, QVariant::fromValue(TestSwatch{0.125})}},
        {"nested", QVariant::fromValue(OrderedDictionary{{"z", QString("last")}, {"a", 1}})},
        {"swatch", QVariant::fromValue(TestSwatch{0.75})},
    };
}

} // namespace

TEST(DictionaryFile, WrittenAndReadBackEqual)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("style.xml");
    const OrderedDictionary style = sampleStyle();
    ASSERT_TRUE(style.writeToXMLFile(path));

    const QByteArray text = readAll(path);
    EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NSDictionary>\n"
                                "  <dictionaryItem>\n    <key>name</key>\n"));

    const std::optional<OrderedDictionary> back =
        OrderedDictionary::dictionaryWithContentsOfXMLFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->keys(), style.keys());
    EXPECT_EQ(back->value("name"), style.value("name"));
    EXPECT_EQ(back->value("count"), 42);
    EXPECT_EQ(back->value("big").toLongLong(), 123456789012LL);
    EXPECT_EQ(back->value("ratio").toDouble(), 0.1);
    EXPECT_EQ(back->value("tiny").toDouble(), 1e-7);
    EXPECT_EQ(back->value("flag"), 1); // a boolean comes back as the number 1
    EXPECT_EQ(back->value("blank"), QString(" "));
    EXPECT_EQ(back->value("empty"), QString(""));
    EXPECT_EQ(back->value("bytes"), QByteArray("\0\1\2\xff", 4));
    EXPECT_EQ(back->value("list"), style.value("list"));
    EXPECT_EQ(back->value("nested").value<OrderedDictionary>().keys(), (QStringList{"z", "a"}));
    EXPECT_EQ(back->value("nested"), style.value("nested"));
    EXPECT_EQ(back->value("swatch"), style.value("swatch"));

    // Written again, the file is the same byte for byte.
    const QString again = dir.filePath("again.xml");
    ASSERT_TRUE(back->writeToXMLFile(again));
    EXPECT_EQ(readAll(again), text);
}

TEST(DictionaryFile, OverwriteReplacesTheWholeFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("style.xml");
    ASSERT_TRUE(sampleStyle().writeToXMLFile(path));
    ASSERT_TRUE((OrderedDictionary{{"only", QString("one")}}).writeToXMLFile(path));
    EXPECT_EQ(readAll(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NSDictionary>\n"
                             "  <dictionaryItem>\n    <key>only</key>\n    <value>one</value>\n"
                             "  </dictionaryItem>\n</NSDictionary>\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"style.xml"});
}

TEST(DictionaryFile, FailedWriteReportsAndLeavesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/style.xml");
    LogCapture log;
    EXPECT_FALSE(sampleStyle().writeToXMLFile(path));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith("Could not write " + path));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(DictionaryFile, UnreadableFilesGiveNothingSilently)
{
    QTemporaryDir dir;
    LogCapture log;
    EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(dir.filePath("none.xml")));
    const QString broken = dir.filePath("broken.xml");
    writeAll(broken, "<NSDictionary><dictionaryItem><key>a</key>");
    EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(broken));
    writeAll(broken, "");
    EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(broken));
    EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(dir.path()));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(DictionaryFile, PrettyPrintedAndCompactFilesReadAlike)
{
    QTemporaryDir dir;
    const QString compact = dir.filePath("compact.xml");
    writeAll(compact, "<NSDictionary><dictionaryItem><key>c</key><value><NSNumber>3</NSNumber>"
                      "</value></dictionaryItem></NSDictionary>");
    const QString pretty = dir.filePath("pretty.xml");
    writeAll(pretty, "<?xml version=\"1.0\"?>\n<NSDictionary>\n\t<dictionaryItem>\n"
                     "\t\t<key>c</key>\n\t\t<value>\n\t\t\t<NSNumber>3</NSNumber>\n\t\t</value>\n"
                     "\t</dictionaryItem>\n</NSDictionary>\n");
    const auto a = OrderedDictionary::dictionaryWithContentsOfXMLFile(compact);
    const auto b = OrderedDictionary::dictionaryWithContentsOfXMLFile(pretty);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->value("c"), 3);
    EXPECT_EQ(*a, *b);
}

TEST(OrderedDictionaryValue, KeepsInsertionOrderAndReplacesInPlace)
{
    OrderedDictionary d{{"b", 1}, {"a", 2}, {"c", 3}};
    d.setValue("a", 20);
    EXPECT_EQ(d.keys(), (QStringList{"b", "a", "c"}));
    d.remove("b");
    EXPECT_EQ(d.keys(), (QStringList{"a", "c"}));
    EXPECT_EQ(d.value("c"), 3);
    EXPECT_FALSE(d.value("b").isValid());
    d.setValue("b", 4);
    EXPECT_EQ(d.keys(), (QStringList{"a", "c", "b"}));
    EXPECT_EQ(d, (OrderedDictionary{{"b", 4}, {"c", 3}, {"a", 20}})); // order does not matter
    EXPECT_NE(d, (OrderedDictionary{{"b", 4}, {"c", 3}}));
    EXPECT_EQ(OrderedDictionary::fromVariantMap(d.toVariantMap()).keys(),
              (QStringList{"a", "b", "c"}));
}
