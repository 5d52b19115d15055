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

using Items = std::vector<QString>;

} // namespace

TEST(KeyValueTable, ReadsAndWritesByKeyAndRefusesWhatDoesNotFit)
{
    Link l;
    const auto &t = linkTable();
    EXPECT_TRUE(t.setValueForKey(l, 4, "linkType"));
    EXPECT_TRUE(t.setValueForKey(l, QString("file:///tmp/a.tweb"), "linkURL"));
    EXPECT_TRUE(t.setValueForKey(l, QVariant::fromValue(Point(2.5f, 3)), "position"));
    EXPECT_TRUE(t.setValueForKey(l, true, "checked"));
    EXPECT_TRUE(l.checked());
    EXPECT_EQ(t.valueForKey(l, "position").value<Point>(), Point(2.5f, 3));
    EXPECT_EQ(t.valueForKey(l, "description").toString(), "file:///tmp/a.tweb#4");
    // Numbers given as another numeric type still land (a bound control sends doubles).
    EXPECT_TRUE(t.setValueForKey(l, 3.0, "linkType"));
    EXPECT_EQ(l.linkType, 3);

    EXPECT_FALSE(t.valueForKey(l, "nosuchkey").isValid());
    EXPECT_FALSE(t.setValueForKey(l, 1, "nosuchkey"));
    EXPECT_FALSE(t.setValueForKey(l, QString("x"), "description")); // read-only
    // A value of the wrong kind leaves the field as it was.
    for (const QVariant &wrong : {QVariant::fromValue(Point(1, 1)), QVariant(), QVariant("abc")})
        EXPECT_FALSE(t.setValueForKey(l, wrong, "linkType"));
    EXPECT_EQ(l.linkType, 3);
    EXPECT_FALSE(t.setValueForKey(l, 7, "position"));
    EXPECT_EQ(l.position, Point(2.5f, 3));
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
        um.closeEventGroup();
        t.setValueForKey(link, 2, "linkType", &um); // unchanged: no step
        um.closeEventGroup();
        EXPECT_FALSE(t.setValueForKey(link, QVariant::fromValue(Point()), "linkType", &um));
        um.closeEventGroup(); // refused: no step, and redo is not cleared
        EXPECT_EQ(um.undoStepCount(), 1);
    }
    ASSERT_FALSE(weak.expired()); // the undo step holds it
    auto link = weak.lock();
    um.undo();
    EXPECT_EQ(link->linkType, 0);
    EXPECT_EQ(link->linkURL, "");
    um.redo();
    EXPECT_EQ(link->linkType, 2);
    EXPECT_EQ(link->linkURL, "http://example.org");
    um.removeAllActions();
    link.reset();
    EXPECT_TRUE(weak.expired());
}

TEST(IndexedList, EveryChangeIsUndoneAndRedoneExactly)
{
    UndoManager um;
    IndexedList<QString> list("hyperlinks");
    list.setUndoManager(&um);
    auto step = [&](auto change) {
        const Items before = list.items();
        change();
        um.closeEventGroup();
        const Items after = list.items();
        um.undo();
        EXPECT_EQ(list.items(), before);
        um.redo();
        EXPECT_EQ(list.items(), after);
    };
    step([&] { list.insert("a", 0); });
    step([&] { list.insert("c", 1); });
    step([&] { list.insert("b", 1); });
    EXPECT_EQ(list.items(), (Items{"a", "b", "c"}));
    step([&] { list.replace(1, "B"); });
    step([&] { list.removeAt(0); });
    EXPECT_EQ(list.items(), (Items{"B", "c"}));
    step([&] { list.setAll({"z", "y", "x"}); });
    step([&] { list.removeAll(); });
    EXPECT_TRUE(list.isEmpty());
    // Several changes in one step come back in one undo.
    list.setAll({"1", "2", "3"});
    list.removeAt(1);
    list.insert("4", 0);
    list.replace(2, "5");
    um.closeEventGroup();
    EXPECT_EQ(list.items(), (Items{"4", "1", "5"}));
    um.undo();
    EXPECT_TRUE(list.isEmpty());

    // Out-of-range indexes change and register nothing.
    um.removeAllActions();
    list.insert("a", 1);
    list.insert("a", -1);
    list.removeAt(0);
    list.replace(0, "x");
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(um.canUndo());
    list.setAll({"a", "b"});
    EXPECT_TRUE(list.range(1, 2).empty());
    // Ranges up to the end are whole.
    EXPECT_EQ(list.range(1, 1), (Items{"b"}));
    EXPECT_EQ(list.range(0, 2), (Items{"a", "b"}));
    EXPECT_TRUE(list.range(2, 0).empty());
}

TEST(IndexedList, AnnouncesWillAndDidWithKindAndIndexes)
{
    IndexedList<QString> list("children");
    QStringList seen;
    int countSeenInWill = -1;
    list.setChangeHandler([&](const ListChange &c) {
        static const char *const kinds[] = {"insert", "remove", "replace", "set"};
        QString s = c.phase == ListChange::Phase::Will ? "will " : "did ";
        s += kinds[int(c.kind)];
        for (int i : c.indexes)
            s += " " + QString::number(i);
        seen << s;
        if (c.phase == ListChange::Phase::Will && c.kind == ListChange::Kind::Removal)
            countSeenInWill = list.count();
        EXPECT_EQ(c.key, "children");
    });
    list.insert("a", 0);
    list.append("b");
    list.replace(0, "c");
    list.removeAt(1);
    EXPECT_EQ(countSeenInWill, 2); // "will" comes while the element is still there
    list.append("d");
    list.removeAll();
    list.removeAll(); // nothing to remove: nothing announced
    list.setAll({});
    EXPECT_EQ(seen, QStringList({"will insert 0", "did insert 0", "will insert 1", "did insert 1",
                                 "will replace 0", "did replace 0", "will remove 1", "did remove 1",
                                 "will insert 1", "did insert 1", "will remove 0 1",
                                 "did remove 0 1", "will set", "did set"}));
}

TEST(IndexedList, UndoStepsKeepTheOwnerAlive)
{
    struct Owner
    {
        IndexedList<QString> list{"attachedTextArray"};
    };
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
}
