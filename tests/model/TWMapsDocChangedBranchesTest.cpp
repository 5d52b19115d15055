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

Branch branch(const QString &name, FakeMap *map, Branch parent = nullptr)
{
    return std::make_shared<FakeBranch>(FakeBranch{name, map, std::move(parent)});
}

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

TEST(TWMapsDocChangedBranches, EachMapIsReSortedRenumberedAndLaidOutOnceInGroupOrder)
{
    FakeMap one{"one"}, two{"two"}, tight{"tight"}, bare{"bare"};
    one.outlineNumbersNeedUpdating = true;
    tight.layoutAssistanceMode = TWChangedBranches::TightLayoutMode;
    tight.outlineNumbersNeedUpdating = true;
    const Branch root1 = branch("root1", &one);
    const Branch child = branch("child", &one, root1);
    const Branch grandchild = branch("grandchild", &one, child);
    const Branch other = branch("other", &two, branch("root2", &two));
    const Branch tightRoot = branch("tightRoot", &tight);
    const Branch bareRoot = branch("bareRoot", &bare);
    QList<Branch> list = {
        grandchild, other, branch("t2", &tight, tightRoot), child, branch("t1", &tight, tightRoot),
        bareRoot};

    RecordingOps ops;
    TWChangedBranches::process(list, ops);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(ops.calls, (QStringList{
                             "text grandchild",
                             "text other",
                             "text t2",
                             "text child",
                             "text t1",
                             "text bareRoot",
                             // the grandchild is covered by its parent
                             "re-sort root1",
                             "renumber one",
                             "lay out one: grandchild child",
                             "re-sort root2",
                             "lay out two: other",
                             // the tight mode keeps the user's order: no re-sort
                             "renumber tight",
                             "lay out tight: t2 t1",
                             // a root has no parent to re-sort
                             "lay out bare: bareRoot",
                         }));
}

// Branches come from the branch code; the document only holds and forwards
// them, so stand-in pointers do for its list.
std::shared_ptr<TWMapBranch> standIn(const std::shared_ptr<int> &owner)
{
    return std::shared_ptr<TWMapBranch>(owner, reinterpret_cast<TWMapBranch *>(owner.get()));
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

class TWMapsDocChangedBranchesDocumentTest : public MapsDocFixture
{
protected:
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    const std::vector<std::shared_ptr<int>> owners = {
        std::make_shared<int>(1), std::make_shared<int>(2), std::make_shared<int>(3)};
};

TEST_F(TWMapsDocChangedBranchesDocumentTest, ResizedBranchesAreCollectedOnce)
{
    const auto a = standIn(owners[0]);
    const auto b = standIn(owners[1]);
    auto post = [](const std::shared_ptr<TWMapBranch> &branch) {
        QVariantMap info;
        if (branch)
            info.insert(TWMapsDoc::BranchKey, QVariant::fromValue(branch));
        NotificationCenter::defaultCenter().post(TWMapsDoc::BranchDidResizeNotification,
                                                 branch.get(), info);
    };
    post(a);
    post(b);
    post(a);
    post(nullptr);
    document->addObjectToChangedBranchesIfAbsent(b);
    EXPECT_EQ(document->changedBranches(), (TWMapsDoc::BranchList{a, b}));

    // Without branch services there is nothing to lay out; the list empties.
    ASSERT_EQ(TWMapsDoc::branchServices(), nullptr);
    EXPECT_EQ(document->changedBranchesByMap().size(), 1);
    document->updateChangedBranches();
    EXPECT_TRUE(document->changedBranches().isEmpty());
}

TEST_F(TWMapsDocChangedBranchesDocumentTest, ThePassRunsThroughTheInstalledServices)
{
    auto first = TWMap::create(document.get());
    auto second = TWMap::create(document.get());
    RecordingServices services;
    services.maps = {{standIn(owners[0]).get(), second.get()},
                     {standIn(owners[1]).get(), first.get()},
                     {standIn(owners[2]).get(), second.get()}};
    for (const auto &owner : owners)
        document->addObjectToChangedBranchesIfAbsent(standIn(owner));

    TWMapsDoc::setBranchServices(&services);
    const auto groups = document->changedBranchesByMap();
    document->updateChangedBranches();
    TWMapsDoc::setBranchServices(nullptr);

    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups.at(0), (TWMapsDoc::BranchList{standIn(owners[0]), standIn(owners[2])}));
    EXPECT_EQ(services.calls,
              (QStringList{"text", "text", "text", "lay out " + second->identifier() + " x2",
                           "lay out " + first->identifier() + " x1"}));
    EXPECT_TRUE(document->changedBranches().isEmpty());
}

} // namespace
