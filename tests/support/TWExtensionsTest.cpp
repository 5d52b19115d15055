#include "support/TWExtensions.h"
#include "support/TWPointHolder.h"

#include <QMap>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Item
{
    QString name;
    int copies = 0;
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
    int value = 0;
    bool isCopy = false;
    std::shared_ptr<Copyable> copy() const
    {
        auto c = std::make_shared<Copyable>(*this);
        c->isCopy = true;
        return c;
    }
};

QStringList names(const std::vector<ItemPtr> &v)
{
    QStringList out;
    for (const auto &i : v)
        out << (i ? i->name : "nil");
    return out;
}

} // namespace

TEST(TWExtensionsArrays, IdentityVersusEquality)
{
    auto a = item("a"), a2 = item("a"), b = item("b");
    std::vector<ItemPtr> list = {a, b};
    EXPECT_TRUE(TWExtensions::containsObjectIdenticalTo(list, a));
    EXPECT_FALSE(TWExtensions::containsObjectIdenticalTo(list, a2)); // equal, not identical

    EXPECT_FALSE(TWExtensions::addObjectIfAbsent(list, a));
    EXPECT_TRUE(TWExtensions::addObjectIfAbsent(list, a2));
    EXPECT_FALSE(TWExtensions::addObjectIfAbsent(list, ItemPtr()));
    EXPECT_EQ(list.size(), 3u);

    std::vector<ItemPtr> eq = {a};
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(eq, a2));
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(eq, ItemPtr()));
    EXPECT_TRUE(TWExtensions::addObjectIfEqualObjectAbsent(eq, b));
    EXPECT_EQ(names(eq), QStringList({"a", "b"}));

    // Values: equal strings count as present.
    QStringList strings = {"Resource"};
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(strings, QString("Resource")));
    EXPECT_TRUE(TWExtensions::addObjectIfEqualObjectAbsent(strings, QString("resource")));
    QVariantList variants = {1};
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(variants, QVariant()));
    EXPECT_EQ(variants.size(), 1);

    // Raw pointers work the same way.
    Item x{"x"}, y{"x"};
    std::vector<Item *> raw;
    EXPECT_TRUE(TWExtensions::addObjectIfAbsent(raw, &x));
    EXPECT_FALSE(TWExtensions::addObjectIfAbsent(raw, &x));
    EXPECT_FALSE(TWExtensions::addObjectIfEqualObjectAbsent(raw, &y));
}

TEST(TWExtensionsArrays, AddObjectsIfAbsentAddsDuplicatesOnce)
{
    auto a = item("a"), b = item("b");
    std::vector<ItemPtr> list;
    TWExtensions::addObjectsIfAbsent(list, std::vector<ItemPtr>{a, a, nullptr, b, a});
    EXPECT_EQ(names(list), QStringList({"a", "b"}));
}

TEST(TWExtensionsArrays, InsertObjectsStandTogetherBeforeTheIndex)
{
    auto x = item("x"), y = item("y"), a = item("a"), b = item("b");
    std::vector<ItemPtr> list = {x, y};
    TWExtensions::insertObjectsFromArray(list, std::vector<ItemPtr>{a, b}, 1);
    EXPECT_EQ(names(list), QStringList({"x", "a", "b", "y"}));
    TWExtensions::insertObjectsFromArray(list, std::vector<ItemPtr>{b}, 4);
    EXPECT_EQ(names(list), QStringList({"x", "a", "b", "y", "b"}));
    TWExtensions::insertObjectsFromArray(list, std::vector<ItemPtr>{a}, 6); // refused
    TWExtensions::insertObjectsFromArray(list, std::vector<ItemPtr>{a}, -1);
    EXPECT_EQ(list.size(), 5u);
    QStringList q = {"1", "4"};
    TWExtensions::insertObjectsFromArray(q, QStringList{"2", "3"}, 1);
    EXPECT_EQ(q, QStringList({"1", "2", "3", "4"}));
}

TEST(TWExtensionsArrays, ReversedAndSortedByKey)
{
    EXPECT_TRUE(TWExtensions::reversedArray(std::vector<ItemPtr>()).empty());
    EXPECT_EQ(TWExtensions::reversedArray(QStringList{"a", "b", "c"}),
              QStringList({"c", "b", "a"}));

    std::vector<ItemPtr> list = {item("banana"), item("Cherry"), item("apple"), item("Banana"),
                                 item("APPLE")};
    const auto sorted =
        TWExtensions::arraySortedByKey(list, [](const ItemPtr &i) { return i->name; });
    EXPECT_EQ(names(sorted), QStringList({"apple", "APPLE", "banana", "Banana", "Cherry"}));
    EXPECT_EQ(names(list).first(), "banana"); // the original keeps its order
}

TEST(TWExtensionsCopies, DeepCopiesShareNoElements)
{
    auto a = item("a");
    std::vector<ItemPtr> list = {a, nullptr, item("b")};
    auto copy = DeepCopy::deepCopy(list);
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_NE(copy[0].get(), a.get());
    EXPECT_EQ(*copy[0], *a);
    EXPECT_EQ(copy[1], nullptr);
    copy[0]->name = "changed";
    EXPECT_EQ(a->name, "a");

    std::vector<std::shared_ptr<Copyable>> own = {std::make_shared<Copyable>(Copyable{7})};
    auto ownCopy = DeepCopy::deepCopy(own);
    EXPECT_TRUE(ownCopy[0]->isCopy);
    EXPECT_EQ(ownCopy[0]->value, 7);

    QMap<QString, ItemPtr> dict = {{"k1", item("v1")}, {"k2", item("v2")}};
    auto dictCopy = DeepCopy::deepCopyDictionary(dict);
    EXPECT_EQ(dictCopy.keys(), dict.keys());
    EXPECT_NE(dictCopy["k1"].get(), dict["k1"].get());
    EXPECT_EQ(dictCopy["k2"]->name, "v2");
}

TEST(TWExtensionsCopies, SetObjectIfNotNilRemovesOnNil)
{
    QVariantMap info = {{"affectedGraphics", 1}, {"map", "m"}};
    HandingNil::setObjectIfNotNil(info, QString("map"), QVariant());
    EXPECT_FALSE(info.contains("map"));
    HandingNil::setObjectIfNotNil(info, QString("map"), QVariant("n"));
    EXPECT_EQ(info.value("map").toString(), "n");

    QMap<QString, ItemPtr> objects = {{"a", item("a")}};
    HandingNil::setObjectIfNotNil(objects, QString("a"), ItemPtr());
    EXPECT_TRUE(objects.isEmpty());
    HandingNil::setObjectIfNotNil(objects, QString("b"), item("b"));
    EXPECT_EQ(objects.value("b")->name, "b");
}

TEST(TWExtensionsPerform, EachElementInOrderAndNoReadPastAShrunkList)
{
    QStringList list = {"a", "b", "c", "d"};
    QStringList seen;
    PerformExtras::performWithEachObjectInArray(list, [&](const QString &s) { seen << s; });
    EXPECT_EQ(seen, list);

    seen.clear();
    PerformExtras::performWithEachObjectInArray(list, [&](const QString &s) {
        seen << s;
        list.removeLast();
    });
    EXPECT_EQ(seen, QStringList({"a", "b"}));

    // Elements added during the walk are not visited: the count was taken first.
    std::vector<int> grow = {1, 2};
    int visits = 0;
    PerformExtras::performWithEachObjectInArray(grow, [&](int) {
        ++visits;
        grow.push_back(99); // the walk is by index, so reallocation does no harm
    });
    EXPECT_EQ(visits, 2);
}

TEST(TWExtensionsStrings, ReplaceAllLeftToRightWithoutOverlap)
{
    EXPECT_EQ(Replace::replaceAll("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(Replace::replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(Replace::replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(Replace::replaceAll("aa", "a", "aa"), "aaaa");
    EXPECT_EQ(Replace::replaceAll("Aa", "a", "b"), "Ab"); // case matters
    EXPECT_EQ(Replace::replaceAll("", "a", "b"), "");
}

TEST(TWExtensionsStrings, TokensAreRunsOfTheSet)
{
    const auto words = Tokenizing::lettersPlus("-");
    EXPECT_EQ(Tokenizing::tokensSeparatedByCharactersFromSet("well-known, (odd) words", words),
              QStringList({"well-known", "odd", "words"}));
    EXPECT_TRUE(Tokenizing::tokensSeparatedByCharactersFromSet("", words).isEmpty());
    EXPECT_TRUE(Tokenizing::tokensSeparatedByCharactersFromSet(" \n\t ", words).isEmpty());
    EXPECT_TRUE(Tokenizing::tokensSeparatedByCharactersFromSet("12, 34!", words).isEmpty());
    EXPECT_EQ(Tokenizing::tokensSeparatedByCharactersFromSet("\nfirst\r\nsecond\u2028third", words),
              QStringList({"first", "second", "third"}));
    // Letters beyond ASCII and the basic plane, combining marks kept in the word.
    EXPECT_EQ(Tokenizing::tokensSeparatedByCharactersFromSet(
                  QString::fromUtf16(u"Cafe\u0301 \U0001D49C\U0001D4B7c; Stra\u00dfe"), words),
              QStringList({QString::fromUtf16(u"Cafe\u0301"),
                           QString::fromUtf16(u"\U0001D49C\U0001D4B7c"),
                           QString::fromUtf16(u"Stra\u00dfe")}));
    // A set holding the blank: runs may contain blanks but never start with one.
    const auto lettersAndBlank = Tokenizing::lettersPlus(" ");
    EXPECT_EQ(Tokenizing::tokensSeparatedByCharactersFromSet("  two words, more ", lettersAndBlank),
              QStringList({"two words", "more "}));
    EXPECT_TRUE(Tokenizing::tokensSeparatedByCharactersFromSet("abc", {}).isEmpty());
}

TEST(TWPointHolder, BoxedPointMovesInPlace)
{
    auto h = TWPointHolder::pointHolderForPoint({12.5f, -3});
    EXPECT_EQ(h->description(), "TWPointHolder 12.500000, -3.000000");
    std::vector<std::shared_ptr<TWPointHolder>> boundary = {h, h};
    boundary[0]->movePointByX(0.5f, 4);
    EXPECT_EQ(boundary[1]->point(), Point(13, 1));
    h->setPoint({0, 0});
    EXPECT_EQ(TWPointHolder().point(), h->point());
    EXPECT_EQ(h->description(), "TWPointHolder 0.000000, 0.000000");
}
