#include "interface/OFExtensions.h"

#include "InterfaceTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

using namespace OFExtensions;

namespace {

TEST(OFExtensions, Strings)
{
    EXPECT_EQ(horizontalEllipsisString(), QString(QChar(0x2026)));

    const QString emoji = stringWithCharacter(0x1F600);
    ASSERT_EQ(emoji.size(), 2);
    EXPECT_EQ(emoji[0].unicode(), 0xD83D);
    EXPECT_EQ(emoji[1].unicode(), 0xDE00);
    EXPECT_EQ(stringWithCharacter(U'A'), QStringLiteral("A"));
    EXPECT_EQ(stringWithCharacter(0x10000), QString::fromUtf16(u"\U00010000"));

    const struct
    {
        const char *string, *affix, *withoutPrefix, *withoutSuffix;
    } cases[] = {
        {"prefixed", "pre", "fixed", "prefixed"},
        {"repre", "pre", "repre", "re"}, // found only after the first character
        {"same", "same", "", ""},
        {"any", "", "any", "any"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.string);
        EXPECT_EQ(stringByRemovingPrefix(c.string, c.affix), QString(c.withoutPrefix));
        EXPECT_EQ(stringByRemovingSuffix(c.string, c.affix), QString(c.withoutSuffix));
    }
}

TEST(OFExtensions, AppendingTakesTheAttributesOfTheLastCharacter)
{
    const TextAttributes bold{{NSUnderlineStyleAttributeName, 1}};
    AttributedString text;
    appendString(text, "plain");
    EXPECT_EQ(text.string(), "plain");
    EXPECT_TRUE(text.attributesAtIndex(0).isEmpty());
    appendString(text, " marked", bold);
    appendString(text, " more");
    EXPECT_EQ(text.string(), "plain marked more");
    EXPECT_EQ(text.attributesAtIndex(text.length() - 1), bold);
    EXPECT_TRUE(text.attributesAtIndex(4).isEmpty());
}

TEST(OFExtensions, ArraysWithoutAnObject)
{
    const QStringList words{"a", "b", "a", "c"};
    EXPECT_EQ(arrayByRemovingObject(words, QString("a")), QStringList({"b", "c"}));
    EXPECT_EQ(arrayByRemovingObject(words, QString("z")), words);

    auto first = std::make_shared<QString>("x");
    auto equal = std::make_shared<QString>("x");
    const QList<std::shared_ptr<QString>> objects{first, equal, first};
    const auto without = arrayByRemovingObjectIdenticalTo(objects, first);
    ASSERT_EQ(without.size(), 1);
    EXPECT_EQ(without[0], equal);
}

class Files : public ::testing::Test
{
protected:
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    static void touch(const QString &file)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir m_dir;
};

TEST_F(Files, CreatePathMakesEveryMissingFolderButNotThroughAPlainFile)
{
    createPath(path("a/b/c"));
    EXPECT_TRUE(directoryExistsAtPath(path("a/b/c")));
    createPath(path("a/b/c")); // already there: nothing to do
    createPathToFile(path("d/e/file.txt"));
    EXPECT_TRUE(directoryExistsAtPath(path("d/e")));
    EXPECT_FALSE(QFileInfo::exists(path("d/e/file.txt")));

    touch(path("plain"));
    try {
        createPath(path("plain/sub/deeper"));
        FAIL() << "no exception";
    } catch (const NSGenericException &e) {
        EXPECT_EQ(e.reason(), QString("Unable to write to path \"%1\" because \"%2\" is not a "
                                      "directory")
                                  .arg(path("plain/sub/deeper"), path("plain")));
    }
    EXPECT_FALSE(QFileInfo::exists(path("plain/sub")));
}

TEST_F(Files, CreatePathReportsAFolderItCannotMake)
{
    createPath(path("locked"));
    ASSERT_TRUE(QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner));
    if (QFileInfo(path("locked")).isWritable())
        GTEST_SKIP() << "running with privileges that ignore permissions";
    EXPECT_THROW(createPath(path("locked/new")), NSGenericException);
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(Files, DirectoryExistsFollowsALinkOnlyWhenAsked)
{
    createPath(path("real"));
    touch(path("file"));
    ASSERT_TRUE(QFile::link(path("real"), path("link")));
    EXPECT_TRUE(directoryExistsAtPath(path("real")));
    EXPECT_FALSE(directoryExistsAtPath(path("file")));
    EXPECT_FALSE(directoryExistsAtPath(path("missing")));
    EXPECT_FALSE(directoryExistsAtPath(path("link")));
    EXPECT_TRUE(directoryExistsAtPath(path("link"), true));
}

TEST_F(Files, WritingWithAndWithoutFolders)
{
    const QByteArray data("contents");
    EXPECT_FALSE(writeToFile(data, path("missing/file"), true, false));
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
    for (bool atomically : {true, false}) {
        const QString file = path(atomically ? "x/y/atomic" : "x/z/plain");
        EXPECT_TRUE(writeToFile(data, file, atomically, true));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), data);
    }
    touch(path("blocker"));
    EXPECT_THROW(writeToFile(data, path("blocker/file"), true, true), NSGenericException);
}

TEST_F(Files, ExistingPortionOfPath)
{
    createPath(path("a/b"));
    EXPECT_EQ(existingPortionOfPath(path("a/b")), path("a/b"));
    EXPECT_EQ(existingPortionOfPath(path("a/b/c/d")), path("a/b") + "/");
    EXPECT_EQ(existingPortionOfPath(""), QString());
    EXPECT_EQ(existingPortionOfPath("/no-such-folder-here/x"), QString("/"));
    EXPECT_EQ(existingPortionOfPath("no-such-relative-folder/x"), QString());
}

} // namespace
