#include "platform/TWLocalizedString.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char *name;
    const char *text;
    QHash<QString, QString> entries;
    bool fails;
};

TEST(StringTableTest, ParsesEntriesEscapesAndComments)
{
    const ParseCase cases[] = {
        {"empty", "", {}, false},
        {"one entry", R"re("a-b" = "A b";)re", {{"a-b", "A b"}}, false},
        {"comments and spacing",
         "/* head\n \"x\" = \"no\"; */\n// \"y\" = \"no\";\n  \"k\"=\"v\" ;\n",
         {{"k", "v"}},
         false},
        {"escapes", R"re("q" = "say \"hi\"\\\n\tend";)re", {{"q", "say \"hi\"\\\n\tend"}}, false},
        {"non-ASCII", "\"\xc3\xa9\" = \"\xe2\x80\xa6\";", {{"\u00e9", "\u2026"}}, false},
        {"missing semicolon keeps what came before", "\"a\" = \"1\";\n\"b\" = \"2\"", {{"a", "1"}}, true},
        {"unterminated text", "\"a\" = \"1;\n", {}, true},
        {"unknown escape", R"re("a" = "\q";)re", {}, true},
        {"bare word", "a = \"1\";", {}, true},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_EQ(StringTable::parse(QString::fromUtf8(c.text), &error), c.entries);
        EXPECT_EQ(!error.isEmpty(), c.fails) << error.toStdString();
    }
}

TEST(StringTableTest, ShipsTheTablesTheSystemReadsWithVisibleTexts)
{
    const QStringList names = StringTable::shippedNames();
    for (const char *table : {StringTable::DadoZiz, StringTable::General,
                              StringTable::GraphicStyleNames, StringTable::MapStyleNames,
                              StringTable::GraphicCategories, StringTable::Graphics}) {
        SCOPED_TRACE(table);
        EXPECT_TRUE(names.contains(QLatin1String(table)));
        const auto &entries = StringTable::shipped(QLatin1String(table));
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            EXPECT_FALSE(it.value().trimmed().isEmpty()) << it.key().toStdString();
    }
}

// A key written as an identifier ("DadoZiz-Title") rather than as English words.
bool looksLikeRawKey(const QString &text)
{
    static const QRegularExpression raw(QStringLiteral("^[A-Za-z0-9]+(-[A-Z][A-Za-z0-9]*)+$"));
    return raw.match(text).hasMatch();
}

struct Lookup {
    QString table, key, where;
};

// Every literal key the sources look up, through TWLocalizedString or the
// per-file helpers that wrap it.
QList<Lookup> lookupsInSources()
{
    const QString literal = QStringLiteral(R"re(\s*(?:QStringLiteral\(|QString::from\w+\(|QLatin1String\()?\s*"((?:[^"\\]|\\.)*)\")re");
    struct Form {
        QRegularExpression pattern;
        const char *table; // nullptr: the table is the first capture
    };
    const Form forms[] = {
        {QRegularExpression(QStringLiteral(R"re(TWLocalizedString\(\s*(?:StringTable::(\w+)|"(\w+)")\s*,)re") + literal),
         nullptr},
        {QRegularExpression(QStringLiteral(R"re(\bdadoZiz\()re") + literal), StringTable::DadoZiz},
        {QRegularExpression(QStringLiteral(R"re(\bgeneral\()re") + literal), StringTable::General},
        {QRegularExpression(QStringLiteral(R"re(\bpptString\()re") + literal), StringTable::PowerPoint},
        {QRegularExpression(QStringLiteral(R"re(\bnameUndoAction\()re") + literal), StringTable::DadoZiz},
        {QRegularExpression(QStringLiteral(R"re(\bdefaultText\()re") + literal), StringTable::DadoZiz},
    };
    QList<Lookup> found;
    QDirIterator files(QStringLiteral(THINKWEB_TEST_DATA "/../../src"),
                       {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString source = QString::fromUtf8(file.readAll());
        for (const Form &form : forms) {
            for (auto it = form.pattern.globalMatch(source); it.hasNext();) {
                const auto match = it.next();
                const int keyGroup = form.pattern.captureCount();
                const QString table = form.table ? QString::fromLatin1(form.table)
                                      : match.captured(1).isEmpty() ? match.captured(2)
                                                                    : match.captured(1);
                found.append({table, match.captured(keyGroup),
                              file.fileName().section(QLatin1Char('/'), -2)});
            }
        }
    }
    return found;
}

const char *tableConstant(const QString &name)
{
    for (const char *table : {StringTable::DadoZiz, StringTable::General, StringTable::ScreenWriter,
                              StringTable::PowerPoint, StringTable::GraphicStyleNames,
                              StringTable::MapStyleNames, StringTable::GraphicCategories,
                              StringTable::Graphics})
        if (name == QLatin1String(table))
            return table;
    return nullptr;
}

TEST(StringTableTest, EveryKeyTheSourcesLookUpResolvesToVisibleText)
{
    const QList<Lookup> lookups = lookupsInSources();
    QSet<QString> keys;
    for (const Lookup &l : lookups)
        keys.insert(l.key);
    // The scan must keep finding the lookups, including the identifier keys.
    EXPECT_GT(lookups.size(), 300);
    EXPECT_TRUE(keys.contains(QStringLiteral("DadoZiz-Title")));
    EXPECT_TRUE(keys.contains(QStringLiteral("New-Branch")));

    for (const Lookup &l : lookups) {
        SCOPED_TRACE((l.where + QLatin1Char(' ') + l.table + QLatin1Char(':') + l.key).toStdString());
        const QByteArray table = l.table.toLatin1();
        const char *known = tableConstant(l.table);
        const QString text = TWLocalizedString(known ? known : table.constData(), l.key);
        EXPECT_FALSE(text.trimmed().isEmpty());
        EXPECT_FALSE(looksLikeRawKey(text)) << text.toStdString();
    }
}

TEST(StringTableTest, IdentifierKeysHaveEnglishTexts)
{
    const struct {
        const char *table, *key, *text;
    } cases[] = {
        {StringTable::DadoZiz, "DadoZiz-Title", "Main Idea"},
        {StringTable::DadoZiz, "New-Branch", "New Branch"},
        {StringTable::DadoZiz, "Edit text", "Edit text"},         // English keys stand
        {StringTable::MapStyleNames, "Night", "Night"},
        {StringTable::Graphics, "Some Word", "Some Word"},          // no entry: the key
        {"NoSuchTable", "DadoZiz-Title", "DadoZiz-Title"},          // tables do not mix
    };
    for (const auto &c : cases)
        EXPECT_EQ(TWLocalizedString(c.table, QString::fromUtf8(c.key)), QString::fromUtf8(c.text))
            << c.table << ":" << c.key;
}

} // namespace
