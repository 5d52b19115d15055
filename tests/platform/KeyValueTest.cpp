#include "platform/Geometry.h"
#include "platform/IndexedList.h"
#include "platform/KeyValueTable.h"

#include <gtest/gtest.h>

namespace {

struct Link
{
    int linkType = 0;
    QString linkURL;
    Point position;
    bool checked() const { return m_checked; }
    void setChecked(bool c) { m_checked = c; }
    int setterCalls = 0;
    bool m_checked = false;
};

const KeyValueTable<Link> &linkTable()
{
    static const KeyValueTable<Link> table = [] {
        KeyValueTable<Link> t;
        t.field("linkType", &Link::linkType)
            .field("linkURL", &Link::linkURL)
            .field("position", &Link::position)
            .property("checked", &Link::checked, &Link::setChecked)
            .add("description",
                 [](const Link &l) { return l.linkURL + "#" + QString::number(l.linkType); });
        return t;
    }();
    return table;
}

} // namespace

TEST(KeyValueTable, ReadsAndWritesFieldsByKey)
{
    Link l;
    const auto &t = linkTable();
    EXPECT_EQ(t.keys(), QStringList({"linkType", "linkURL", "position", "checked", "description"}));
    EXPECT_TRUE(t.setValueForKey(l, 4, "linkType"));
    EXPECT_TRUE(t.setValueForKey(l, QString("file:///tmp/a.tweb"), "linkURL"));
    EXPECT_TRUE(t.setValueForKey(l, QVariant::fromValue(Point(2.5f, 3)), "position"));
    EXPECT_TRUE(t.setValueForKey(l, true, "checked"));
    EXPECT_EQ(l.linkType, 4);
    EXPECT_EQ(l.linkURL, "file:///tmp/a.tweb");
    EXPECT_EQ(l.position, Point(2.5f, 3));
    EXPECT_TRUE(l.checked());
    EXPECT_EQ(t.valueForKey(l, "linkType").toInt(), 4);
    EXPECT_EQ(t.valueForKey(l, "position").value<Point>(), Point(2.5f, 3));
    EXPECT_EQ(t.valueForKey(l, "description").toString(), "file:///tmp/a.tweb#4");
    // Numbers given as another numeric type still land (a bound control sends doubles).
    EXPECT_TRUE(t.setValueForKey(l, 2.0, "linkType"));
    EXPECT_EQ(l.linkType, 2);
}

TEST(KeyValueTable, RefusesUnknownReadOnlyAndUnconvertibleValues)
{
    Link l;
    l.linkType = 3;
    const auto &t = linkTable();
    EXPECT_FALSE(t.valueForKey(l, "nosuchkey").isValid());
    EXPECT_FALSE(t.setValueForKey(l, 1, "nosuchkey"));
    EXPECT_FALSE(t.isWritable("description"));
    EXPECT_FALSE(t.setValueForKey(l, QString("x"), "description"));
    // A value of the wrong kind leaves the field as it was.
    t.setValueForKey(l, QVariant::fromValue(Point(1, 1)), "linkType");
    EXPECT_EQ(l.linkType, 3);
    t.setValueForKey(l, QVariant(), "linkType");
    EXPECT_EQ(l.linkType, 3);
    t.setValueForKey(l, QString("abc"), "linkType");
    EXPECT_EQ(l.linkType, 3);
    t.setValueForKey(l, 7, "position");
    EXPECT_EQ(l.position, Point());
}

TEST(KeyValueTable, UndoableSetRegistersTheReverseAndKeepsTheObjectAlive)
{
    UndoManager um;
    const auto &t = linkTable();
    std::weak_ptr<Link> weak;
    {
        auto link = std::make_shared<Link>();
        weak = link;
        t.setValueForKey(link, 2, "linkType", &um);
        t.setValueForKey(link, QString("http://example.org"), "linkURL", &um);
        t.setValueForKey(link, 2, "linkType", &um); // unchanged: nothing registered
        um.closeEventGroup();
    }
    ASSERT_FALSE(weak.expired()); // the undo step holds it
    auto link = weak.lock();
    um.undo();
    EXPECT_EQ(link->linkType, 0);
    EXPECT_EQ(link->linkURL, "");
    um.redo();
    EXPECT_EQ(link->linkType, 2);
    EXPECT_EQ(link->linkURL, "http://example.org");

    // Without a manager the value is still set.
    t.setValueForKey(link, 9, "linkType", nullptr);
    EXPECT_EQ(link->linkType, 9);
    um.removeAllActions();
    link.reset();
    EXPECT_TRUE(weak.expired());
}

namespace {
struct Owner
{
    IndexedList<QString> list{"attachedTextArray"};
};
QString describe(const ListChange &c)
{
    QString s = c.key + (c.phase == ListChange::Phase::Will ? " will " : " did ");
    switch (c.kind) {
    case ListChange::Kind::Insertion:
        s += "insert";
        break;
    case ListChange::Kind::Removal:
        s += "remove";
        break;
    case ListChange::Kind::Replacement:
        s += "replace";
        break;
    case ListChange::Kind::Setting:
        s += "set";
        break;
    }
    for (int i : c.indexes)
        s += " " + QString::number(i);
    return s;
}
std::vector<QString> v(std::initializer_list<const char *> l)
{
    std::vector<QString> r;
    for (const char *s : l)
        r.push_back(s);
    return r;
}
} // namespace

TEST(IndexedList, EveryChangeIsUndoneAndRedoneExactly)
{
    UndoManager um;
    IndexedList<QString> list("hyperlinks");
    list.setUndoManager(&um);
    auto step = [&](auto change) {
        const auto before = list.items();
        change();
        um.closeEventGroup();
        const auto after = list.items();
        um.undo();
        EXPECT_EQ(list.items(), before);
        um.redo();
        EXPECT_EQ(list.items(), after);
    };
    step([&] { list.insert("a", 0); });
    step([&] { list.insert("c", 1); });
    step([&] { list.insert("b", 1); });
    EXPECT_EQ(list.items(), v({"a", "b", "c"}));
    step([&] { list.replace(1, "B"); });
    step([&] { list.removeAt(0); });
    EXPECT_EQ(list.items(), v({"B", "c"}));
    step([&] { list.setAll(v({"z", "y", "x"})); });
    step([&] { list.removeAll(); });
    EXPECT_TRUE(list.isEmpty());
    // Several changes in one step come back in one undo.
    list.setAll(v({"1", "2", "3"}));
    list.removeAt(1);
    list.insert("4", 0);
    list.replace(2, "5");
    um.closeEventGroup();
    EXPECT_EQ(list.items(), v({"4", "1", "5"}));
    um.undo();
    EXPECT_TRUE(list.isEmpty());
}

TEST(IndexedList, AnnouncesWillAndDidWithKindAndIndexes)
{
    IndexedList<QString> list("children");
    QStringList seen;
    int countSeenInWill = -1;
    list.setChangeHandler([&](const ListChange &c) {
        seen << describe(c);
        if (c.phase == ListChange::Phase::Will && c.kind == ListChange::Kind::Removal)
            countSeenInWill = list.count();
    });
    list.insert("a", 0);
    list.append("b");
    list.replace(0, "c");
    list.removeAt(1);
    EXPECT_EQ(countSeenInWill, 2); // "will" comes while the element is still there
    list.append("d");
    list.removeAll();
    EXPECT_EQ(seen, QStringList({"children will insert 0", "children did insert 0",
                                 "children will insert 1", "children did insert 1",
                                 "children will replace 0", "children did replace 0",
                                 "children will remove 1", "children did remove 1",
                                 "children will insert 1", "children did insert 1",
                                 "children will remove 0 1", "children did remove 0 1"}));
    seen.clear();
    list.removeAll(); // nothing to remove: nothing announced
    EXPECT_TRUE(seen.isEmpty());
}

TEST(IndexedList, OutOfRangeIndexesChangeAndRegisterNothing)
{
    UndoManager um;
    IndexedList<QString> list("resources");
    list.setUndoManager(&um);
    list.insert("a", 1);
    list.insert("a", -1);
    list.removeAt(0);
    list.replace(0, "x");
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(um.canUndo());
    list.append("a");
    list.append("b");
    EXPECT_TRUE(list.range(1, 2).empty());
    EXPECT_EQ(list.range(0, 2), v({"a", "b"}));
    EXPECT_EQ(list.range(2, 0), v({}));
}

TEST(IndexedList, IdentityOfSharedElementsAndOwnerLifetime)
{
    UndoManager um;
    std::weak_ptr<Owner> weakOwner;
    {
        auto owner = std::make_shared<Owner>();
        weakOwner = owner;
        owner->list.setUndoManager(&um);
        owner->list.setOwner(owner);
        owner->list.append("note");
        um.closeEventGroup();
    }
    // The owner is gone from the model but its undo step still needs it.
    ASSERT_FALSE(weakOwner.expired());
    um.undo();
    EXPECT_TRUE(weakOwner.lock()->list.isEmpty());
    um.removeAllActions();
    EXPECT_TRUE(weakOwner.expired());

    auto x = std::make_shared<int>(1), y = std::make_shared<int>(1);
    IndexedList<std::shared_ptr<int>> shared("graphics");
    shared.append(x);
    EXPECT_EQ(shared.indexOf(x), 0);
    EXPECT_EQ(shared.indexOf(y), -1); // equal value, different object
}
