#include "TestHelpers.h"
#include "TestSwatch.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

TEST(DictionaryFile, WrittenAndReadBackEqualAndWrittenAgainTheSame)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("style.xml");
    OrderedDictionary style{
        {"name", QString::fromUtf8("Th\xC3\xA8me \xE2\x9C\x93 & <friends>")},
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
        {"swatch", QVariant::fromValue(TestSwatch{0.75})}};
    ASSERT_TRUE(style.writeToXMLFile(path));
    const std::optional<OrderedDictionary> back =
        OrderedDictionary::dictionaryWithContentsOfXMLFile(path);
    ASSERT_TRUE(back);
    style.setValue("flag", 1); // a boolean comes back as the number 1
    EXPECT_EQ(*back, style);
    EXPECT_EQ(back->keys(), style.keys());
    EXPECT_EQ(back->value("nested").value<OrderedDictionary>().keys(), (QStringList{"z", "a"}));

    const QString again = dir.filePath("again.xml");
    ASSERT_TRUE(back->writeToXMLFile(again));
    EXPECT_EQ(readAll(again), readAll(path));

    // Overwriting replaces the whole file and leaves no other behind.
    ASSERT_TRUE((OrderedDictionary{{"only", QString("one")}}).writeToXMLFile(path));
    EXPECT_EQ(readAll(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NSDictionary>\n"
                             "  <dictionaryItem>\n    <key>only</key>\n    <value>one</value>\n"
                             "  </dictionaryItem>\n</NSDictionary>\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"again.xml", "style.xml"}));
}

TEST(DictionaryFile, FailuresLeaveNothingBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/style.xml");
    LogCapture log;
    EXPECT_FALSE((OrderedDictionary{{"a", 1}}).writeToXMLFile(path));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith("Could not write " + path));
    EXPECT_FALSE(QFile::exists(path));

    // Unreadable files give nothing, silently.
    log.clear();
    const QString broken = dir.filePath("broken.xml");
    EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(dir.filePath("none.xml")));
    EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(dir.path()));
    for (const QByteArray &text : {QByteArray("<NSDictionary><dictionaryItem>"), QByteArray()}) {
        writeAll(broken, text);
        EXPECT_FALSE(OrderedDictionary::dictionaryWithContentsOfXMLFile(broken));
    }
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(DictionaryFile, KeepsInsertionOrderAndReplacesInPlace)
{
    OrderedDictionary d{{"b", 1}, {"a", 2}, {"c", 3}};
    d.setValue("a", 20);
    d.remove("b");
    d.setValue("b", 4);
    EXPECT_EQ(d.keys(), (QStringList{"a", "c", "b"}));
    EXPECT_FALSE(d.value("x").isValid());
    EXPECT_EQ(d, (OrderedDictionary{{"b", 4}, {"c", 3}, {"a", 20}})); // order does not matter
    EXPECT_NE(d, (OrderedDictionary{{"b", 4}, {"c", 3}}));
    EXPECT_EQ(OrderedDictionary::fromVariantMap(d.toVariantMap()).keys(),
              (QStringList{"a", "b", "c"}));
}

// A style file made on another machine names fonts that are not installed
// here. Reading and writing it again must not change a byte.
TEST(DictionaryFile, ForeignStyleFileSurvivesByteForByte)
{
    const QByteArray file = R"(<?xml version="1.0" encoding="UTF-8"?>
<NSDictionary>
  <dictionaryItem>
    <key>titleFont</key>
    <value>
      <NSFont>
        <fontName>HelveticaNeue-CondensedBold</fontName>
        <size>18.000000</size>
      </NSFont>
    </value>
  </dictionaryItem>
  <dictionaryItem>
    <key>lineColor</key>
    <value>
      <NSColor>
        <redComponent>0.123457</redComponent>
        <greenComponent>0.654321</greenComponent>
        <blueComponent>0.999999</blueComponent>
        <alphaComponent>0.333333</alphaComponent>
      </NSColor>
    </value>
  </dictionaryItem>
</NSDictionary>
)";
    QTemporaryDir dir;
    writeAll(dir.filePath("in.xml"), file);
    const auto dict = OrderedDictionary::dictionaryWithContentsOfXMLFile(dir.filePath("in.xml"));
    ASSERT_TRUE(dict);
    const Font title = dict->value("titleFont").value<Font>();
    EXPECT_EQ(title, Font("HelveticaNeue-CondensedBold", 18));
    EXPECT_FALSE(title.isInstalled());
    EXPECT_EQ(title.toQFont().family(), "Liberation Sans"); // drawn with a substitute
    ASSERT_TRUE(dict->writeToXMLFile(dir.filePath("out.xml")));
    EXPECT_EQ(readAll(dir.filePath("out.xml")), file);
}

} // namespace
