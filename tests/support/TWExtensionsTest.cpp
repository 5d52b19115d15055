#include "support/TWExtensions.h"
#include "TestHelpers.h"
#include "support/TWPointHolder.h"

#include <QDir>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <vector>

namespace {

struct Item
{
    QString name;
    friend bool operator==(const Item &a, const Item &b) { return a.name == b.name; }
};
using ItemPtr = std::shared_ptr<Item>;
ItemPtr item(const QString &name)
{
    return std::make_shared<Item>(Item{name});
}

// A class with its own copy(), which deep copies must use.
struct Copyable
{
    bool isCopy = false;
    std::shared_ptr<Copyable> copy() const { return std::make_shared<Copyable>(Copyable{true}); }
};

QStringList names(const std::vector<ItemPtr> &v)
{
    QStringList out;
    for (const auto &i : v)
        out << (i ? i->name : "nil");
    return out;
}

TEST(TWExtensions, AddingIfAbsentByIdentityOrEquality)
{
    auto a = item("a"), a2 = item("a"), b = item("b");
    std::vector<ItemPtr> list = {a};
    EXPECT_FALSE(TWExtensions::addObjectIfAbsent(list, a));
    EXPECT_TRUE(TWExtensions::addObjectIfAbsent(list, a2)); // equal, not identical
    EXPECT_FALSE(TWExtensions::addObjectIfAbsent(list, ItemPtr()));
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(list, item("a")));
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(list, ItemPtr()));
    EXPECT_TRUE(TWExtensions::addObjectIfEqualObjectAbsent(list, b));
    EXPECT_TRUE(TWExtensions::containsObjectIdenticalTo(list, a2));
    TWExtensions::addObjectsIfAbsent(list, std::vector<ItemPtr>{b, b, nullptr, item("c"), a});
    EXPECT_EQ(names(list), QStringList({"a", "a", "b", "c"}));

    QStringList strings = {"Resource"};
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(strings, QString("Resource")));
    EXPECT_TRUE(TWExtensions::addObjectIfEqualObjectAbsent(strings, QString("resource")));
    QVariantList variants = {1};
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(variants, QVariant()));
    Item x{"x"}, y{"x"};
    std::vector<Item *> raw{&x};
    EXPECT_FALSE(TWExtensions::addObjectIfAbsent(raw, &x));
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(raw, &y));
}

TEST(TWExtensions, InsertReverseAndSort)
{
    QStringList list = {"x", "y"};
    TWExtensions::insertObjectsFromArray(list, QStringList{"a", "b"}, 1);
    TWExtensions::insertObjectsFromArray(list, QStringList{"b"}, 4);
    TWExtensions::insertObjectsFromArray(list, QStringList{"a"}, 6); // refused
    TWExtensions::insertObjectsFromArray(list, QStringList{"a"}, -1);
    EXPECT_EQ(list, QStringList({"x", "a", "b", "y", "b"}));
    EXPECT_EQ(TWExtensions::reversedArray(QStringList{"a", "b", "c"}),
              QStringList({"c", "b", "a"}));
    EXPECT_TRUE(TWExtensions::reversedArray(std::vector<ItemPtr>()).empty());

    // Sorting is case-insensitive and stable; the original keeps its order.
    const std::vector<ItemPtr> items = {item("banana"), item("Cherry"), item("apple"),
                                        item("Banana"), item("APPLE")};
    const auto sorted =
        TWExtensions::arraySortedByKey(items, [](const ItemPtr &i) { return i->name; });
    EXPECT_EQ(names(sorted), QStringList({"apple", "APPLE", "banana", "Banana", "Cherry"}));
    EXPECT_EQ(names(items).first(), "banana");
}

TEST(TWExtensions, DeepCopiesShareNoElements)
{
    auto a = item("a");
    auto copy = DeepCopy::deepCopy(std::vector<ItemPtr>{a, nullptr});
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_NE(copy[0].get(), a.get());
    EXPECT_EQ(*copy[0], *a);
    EXPECT_EQ(copy[1], nullptr);
    EXPECT_TRUE(DeepCopy::deepCopy(std::vector{std::make_shared<Copyable>()})[0]->isCopy);
    QMap<QString, ItemPtr> dict = {{"k1", item("v1")}};
    auto dictCopy = DeepCopy::deepCopyDictionary(dict);
    EXPECT_NE(dictCopy["k1"].get(), dict["k1"].get());
    EXPECT_EQ(dictCopy["k1"]->name, "v1");

    // Setting nil removes the key.
    QVariantMap info = {{"map", "m"}};
    HandingNil::setObjectIfNotNil(info, QString("map"), QVariant());
    EXPECT_FALSE(info.contains("map"));
    HandingNil::setObjectIfNotNil(dict, QString("k1"), ItemPtr());
    EXPECT_TRUE(dict.isEmpty());
}

TEST(TWExtensions, PerformVisitsTheCountTakenFirstAndNoMore)
{
    QStringList list = {"a", "b", "c", "d"};
    QStringList seen;
    PerformExtras::performWithEachObjectInArray(list, [&](const QString &s) {
        seen << s;
        list.removeLast();
    });
    EXPECT_EQ(seen, QStringList({"a", "b"}));
    std::vector<int> grow = {1, 2};
    int visits = 0;
    PerformExtras::performWithEachObjectInArray(grow, [&](int) {
        ++visits;
        grow.push_back(99); // the walk is by index, so reallocation does no harm
    });
    EXPECT_EQ(visits, 2);
}

TEST(TWExtensions, PerformOverASetListsItsObjectsOnce)
{
    QSet<int> set = {1, 2, 3};
    const QList<int> order(set.begin(), set.end());
    QList<int> seen;
    PerformExtras::performWithEachObjectInSet(set, [&](int value) {
        seen << value;
        set.insert(value + 10); // the walk goes over the objects listed first
    });
    EXPECT_EQ(seen, order);
    int visits = 0;
    PerformExtras::performWithEachObjectInSet(QSet<int>(), [&](int) { ++visits; });
    EXPECT_EQ(visits, 0);
}

// The file's path as folders after the volume's name, colon-separated.
TEST(TWExtensions, CarbonPathsNameTheVolumeFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::optional<QString> folder = Paths::carbonFromPOSIXPath(dir.path());
    ASSERT_TRUE(folder);
    const struct
    {
        QString posix;
        QString after; // what follows the folder's own path
    } cases[] = {
        {dir.filePath("a.txt"), ":a.txt"},
        {dir.filePath("sub/b:c.tiff"), ":sub:b/c.tiff"},
        {dir.path() + "/x/../y//z/", ":y:z"},
    };
    for (const auto &c : cases) {
        const std::optional<QString> hfs = Paths::carbonFromPOSIXPath(c.posix);
        ASSERT_TRUE(hfs) << c.posix.toStdString();
        EXPECT_EQ(*hfs, *folder + c.after) << c.posix.toStdString();
    }
    EXPECT_FALSE(folder->startsWith(u':'));
    // Relative paths are taken from the current folder.
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(Paths::carbonFromPOSIXPath("rel/f"), *folder + ":rel:f");
    QDir::setCurrent(saved);
    EXPECT_FALSE(Paths::carbonFromPOSIXPath(QString()));
    EXPECT_TRUE(Paths::carbonFromPOSIXPath("/")->endsWith(u':'));
}

TEST(TWExtensions, ReplaceAllAndTokens)
{
    const std::tuple<const char *, const char *, const char *, const char *> replacements[] = {
        {"a-b-c", "-", "+", "a+b+c"}, {"aaa", "aa", "b", "ba"}, {"abc", "", "x", "abc"},
        {"aa", "a", "aa", "aaaa"},    {"Aa", "a", "b", "Ab"},   {"", "a", "b", ""}};
    for (const auto &[text, from, to, result] : replacements)
        EXPECT_EQ(Replace::replaceAll(text, from, to), result) << text;

    // The words of a text, by the general scan and by the one for whole maps.
    const auto words = Tokenizing::lettersPlus("-");
    const std::pair<QString, QStringList> texts[] = {
        {"well-known, (odd) words", {"well-known", "odd", "words"}},
        {" \n\t 12, 34!", {}},
        {"\nfirst\r\nsecond\u2028third", {"first", "second", "third"}},
        // Letters beyond ASCII and the basic plane; combining marks stay in the word.
        {QString::fromUtf16(u"Cafe\u0301 \U0001D49C\U0001D4B7c; Stra\u00dfe"),
         {QString::fromUtf16(u"Cafe\u0301"), QString::fromUtf16(u"\U0001D49C\U0001D4B7c"),
          QString::fromUtf16(u"Stra\u00dfe")}},
        // A lone half of a pair, a non-breaking space, a dash beyond ASCII.
        {QStringLiteral("-a") + QChar(0xd835) + QString::fromUtf16(u"b\u00a0c\u2010d-") +
             QChar(0xdc9c),
         {"-a", "b", "c", "d-"}},
    };
    for (const auto &[text, expected] : texts) {
        EXPECT_EQ(Tokenizing::tokensSeparatedByCharactersFromSet(text, words), expected)
            << text.toStdString();
        QStringList found;
        Tokenizing::forEachWord(text, [&](QStringView word) { found.append(word.toString()); });
        EXPECT_EQ(found, expected) << text.toStdString();
    }
    // Runs may contain a blank of the set but never start with one.
    EXPECT_EQ(Tokenizing::tokensSeparatedByCharactersFromSet("  two words, more ",
                                                             Tokenizing::lettersPlus(" ")),
              QStringList({"two words", "more "}));
    EXPECT_TRUE(Tokenizing::tokensSeparatedByCharactersFromSet("abc", {}).isEmpty());
    // ASCII is answered without the character tables, with the same answer.
    for (char32_t c = 0; c < 0x100; ++c)
        EXPECT_EQ(Tokenizing::isLetter(c), QChar::isLetter(c) || QChar::isMark(c)) << int(c);
}

TEST(TWPointHolder, MovesInPlaceForEveryListSharingIt)
{
    auto p = TWPointHolder::pointHolderForPoint(Point(10, 2));
    std::vector<std::shared_ptr<TWPointHolder>> outline{p}, corners{p};
    p->movePointByX(2.5f, -5);
    EXPECT_EQ(corners[0]->point(), Point(12.5f, -3));
    EXPECT_EQ(outline[0]->description(), "TWPointHolder 12.500000, -3.000000");
}

} // namespace
