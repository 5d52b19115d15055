#include "TWMapsDocTestSupport.h"
#include "model/TWMapsDoc_ChangedBranches.h"

#include <map>

using namespace MapsDocTest;

namespace {

struct FakeMap
{
    QString name;
    int layoutAssistanceMode = 2;
    bool outlineNumbersNeedUpdating = false;
};

struct FakeBranch
{
    QString name;
    FakeMap *map = nullptr;
    std::shared_ptr<FakeBranch> parent;
};
using Branch = std::shared_ptr<FakeBranch>;

// Records what the pass asks of branches and maps, in order.
struct RecordingOps
{
    QStringList calls;

    FakeMap *mapOf(const Branch &b) { return b->map; }
    void prepareText(const Branch &b) { calls << "text " + b->name; }
    int layoutAssistanceMode(FakeMap *m) { return m->layoutAssistanceMode; }
    QList<Branch> minimumBranchCover(const QList<Branch> &group)
    {
        QList<Branch> cover;
        for (const Branch &b : group) {
            bool covered = false;
            for (Branch a = b->parent; a && !covered; a = a->parent)
                covered = group.contains(a);
            if (!covered)
                cover.append(b);
        }
        return cover;
    }
    Branch parentOf(const Branch &b) { return b->parent; }
    void reSortChildrenByPositionRecursively(const Branch &b) { calls << "re-sort " + b->name; }
    bool outlineNumbersNeedUpdating(FakeMap *m) { return m->outlineNumbersNeedUpdating; }
    void recalculateOutlineNumbers(FakeMap *m)
    {
        calls << "renumber " + m->name;
        m->outlineNumbersNeedUpdating = false;
    }
    void autoArrange(FakeMap *m, const QList<Branch> &group)
    {
        QStringList names;
        for (const Branch &b : group)
            names << b->name;
        calls << "lay out " + m->name + ": " + names.join(' ');
    }
};

Branch branch(const QString &name, FakeMap *map, Branch parent = nullptr)
{
    return std::make_shared<FakeBranch>(FakeBranch{name, map, std::move(parent)});
}

TEST(TWMapsDocChangedBranches, EachBranchIsListedOnce)
{
    FakeMap map{"m"};
    QList<Branch> list;
    const Branch a = branch("a", &map);
    EXPECT_TRUE(TWChangedBranches::addIfAbsent(list, a));
    EXPECT_FALSE(TWChangedBranches::addIfAbsent(list, a));
    EXPECT_FALSE(TWChangedBranches::addIfAbsent(list, Branch()));
    // Another branch with the same name is another branch.
    EXPECT_TRUE(TWChangedBranches::addIfAbsent(list, branch("a", &map)));
    EXPECT_EQ(list.size(), 2);
}

TEST(TWMapsDocChangedBranches, GroupsFollowTheFirstBranchOfEachMap)
{
    FakeMap one{"one"}, two{"two"};
    const QList<Branch> list = {branch("b1", &two), branch("a1", &one), branch("b2", &two),
                                branch("a2", &one)};
    const auto groups = TWChangedBranches::groupByMap(list, [](const Branch &b) { return b->map; });
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0], (QList<Branch>{list[0], list[2]}));
    EXPECT_EQ(groups[1], (QList<Branch>{list[1], list[3]}));
}

TEST(TWMapsDocChangedBranches, MapsAreLaidOutOnceEachInGroupOrder)
{
    FakeMap one{"one"}, two{"two"};
    one.outlineNumbersNeedUpdating = true;
    const Branch root1 = branch("root1", &one);
    const Branch child = branch("child", &one, root1);
    const Branch grandchild = branch("grandchild", &one, child);
    const Branch root2 = branch("root2", &two);
    const Branch other = branch("other", &two, root2);
    QList<Branch> list = {grandchild, other, child};

    RecordingOps ops;
    TWChangedBranches::process(list, ops);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(ops.calls, (QStringList{
                             "text grandchild",
                             "text other",
                             "text child",
                             // the grandchild is covered by its parent
                             "re-sort root1",
                             "renumber one",
                             "lay out one: grandchild child",
                             "re-sort root2",
                             "lay out two: other",
                         }));
}

TEST(TWMapsDocChangedBranches, TheTightModeKeepsTheUsersOrder)
{
    FakeMap map{"tight"};
    map.layoutAssistanceMode = TWChangedBranches::TightLayoutMode;
    map.outlineNumbersNeedUpdating = true;
    const Branch root = branch("root", &map);
    QList<Branch> list = {branch("a", &map, root), root};

    RecordingOps ops;
    TWChangedBranches::process(list, ops);
    EXPECT_EQ(ops.calls,
              (QStringList{"text a", "text root", "renumber tight", "lay out tight: a root"}));
}

TEST(TWMapsDocChangedBranches, ARootHasNoParentToReSort)
{
    FakeMap map{"m"};
    const Branch root = branch("root", &map);
    QList<Branch> list = {root};
    RecordingOps ops;
    TWChangedBranches::process(list, ops);
    EXPECT_EQ(ops.calls, (QStringList{"text root", "lay out m: root"}));
}

class TWMapsDocChangedBranchesDocumentTest : public MapsDocFixture
{};

// Branches come from the branch code; the document only holds and forwards
// them, so stand-in pointers do for its list.
std::shared_ptr<TWMapBranch> standIn(const std::shared_ptr<int> &owner)
{
    return std::shared_ptr<TWMapBranch>(owner, reinterpret_cast<TWMapBranch *>(owner.get()));
}

TEST_F(TWMapsDocChangedBranchesDocumentTest, ResizedBranchesAreCollectedOnce)
{
    auto document = TWMapsDoc::create();
    const auto one = std::make_shared<int>(1);
    const auto two = std::make_shared<int>(2);
    const auto a = standIn(one);
    const auto b = standIn(two);

    auto post = [](const std::shared_ptr<TWMapBranch> &branch) {
        NotificationCenter::defaultCenter().post(
            TWMapsDoc::BranchDidResizeNotification, branch.get(),
            {{TWMapsDoc::BranchKey, QVariant::fromValue(branch)}});
    };
    post(a);
    post(b);
    post(a);
    document->addObjectToChangedBranchesIfAbsent(b);
    EXPECT_EQ(document->changedBranches(), (TWMapsDoc::BranchList{a, b}));

    // Without branch services there is nothing to lay out; the list empties.
    ASSERT_EQ(TWMapsDoc::branchServices(), nullptr);
    EXPECT_EQ(document->changedBranchesByMap().size(), 1);
    document->updateChangedBranches();
    EXPECT_TRUE(document->changedBranches().isEmpty());
}

class RecordingServices : public TWMapBranchServices
{
public:
    std::map<const TWMapBranch *, TWMap *> maps;
    QStringList calls;

    TWMap *mapOf(const Branch &b) override { return maps.at(b.get()); }
    void prepareText(const Branch &) override { calls << "text"; }
    int layoutAssistanceMode(TWMap *) override { return 2; }
    QList<Branch> minimumBranchCover(const QList<Branch> &g) override { return g; }
    Branch parentOf(const Branch &) override { return nullptr; }
    void reSortChildrenByPositionRecursively(const Branch &) override { calls << "re-sort"; }
    bool outlineNumbersNeedUpdating(TWMap *) override { return false; }
    void recalculateOutlineNumbers(TWMap *) override { calls << "renumber"; }
    void autoArrange(TWMap *map, const QList<Branch> &g) override
    {
        calls << QStringLiteral("lay out %1 x%2").arg(map->identifier()).arg(g.size());
    }
};

TEST_F(TWMapsDocChangedBranchesDocumentTest, ThePassRunsThroughTheInstalledServices)
{
    auto document = TWMapsDoc::create();
    auto first = TWMap::create(document.get());
    auto second = TWMap::create(document.get());
    const auto owners =
        std::vector{std::make_shared<int>(1), std::make_shared<int>(2), std::make_shared<int>(3)};
    RecordingServices services;
    services.maps = {{standIn(owners[0]).get(), second.get()},
                     {standIn(owners[1]).get(), first.get()},
                     {standIn(owners[2]).get(), second.get()}};
    for (const auto &owner : owners)
        document->addObjectToChangedBranchesIfAbsent(standIn(owner));

    TWMapsDoc::setBranchServices(&services);
    const auto groups = document->changedBranchesByMap();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups.at(0).size(), 2);
    document->updateChangedBranches();
    TWMapsDoc::setBranchServices(nullptr);

    EXPECT_EQ(services.calls,
              (QStringList{"text", "text", "text", "lay out " + second->identifier() + " x2",
                           "lay out " + first->identifier() + " x1"}));
    EXPECT_TRUE(document->changedBranches().isEmpty());
}

} // namespace
