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

// Names each call with the map's identifier.
class RecordingServices : public TWMapBranchServices
{
public:
    std::map<const TWMapBranch *, TWMap *> maps;
    QStringList calls;

    TWMap *mapOf(const Branch &b) override { return maps.at(b.get()); }
    void prepareText(const Branch &) override { calls << "text"; }
    int layoutAssistanceMode(TWMap *) override { return 2; }
    QList<Branch> minimumBranchCover(const QList<Branch> &g) override { return g.mid(0, 1); }
    Branch parentOf(const Branch &b) override { return b; }
    void reSortChildrenByPositionRecursively(const Branch &b) override
    {
        calls << "re-sort " + mapOf(b)->identifier();
    }
    bool outlineNumbersNeedUpdating(TWMap *) override { return true; }
    void recalculateOutlineNumbers(TWMap *m) override { calls << "renumber " + m->identifier(); }
    void autoArrange(TWMap *m, const QList<Branch> &g) override
    {
        calls << QStringLiteral("lay out %1 x%2").arg(m->identifier()).arg(g.size());
    }
};

class TWMapsDocChangedBranchesDocumentTest : public MapsDocFixture
{};

TEST_F(TWMapsDocChangedBranchesDocumentTest, ResizedBranchesAreCollectedOnceAndLaidOutByMap)
{
    auto document = TWMapsDoc::create();
    const auto owners =
        std::vector{std::make_shared<int>(1), std::make_shared<int>(2), std::make_shared<int>(3)};
    const auto a = standIn(owners[0]), b = standIn(owners[1]), c = standIn(owners[2]);
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
    document->addObjectToChangedBranchesIfAbsent(c);
    document->addObjectToChangedBranchesIfAbsent(b);
    EXPECT_EQ(document->changedBranches(), (TWMapsDoc::BranchList{a, b, c}));
    ASSERT_EQ(TWMapsDoc::branchServices(), nullptr);
    EXPECT_EQ(document->changedBranchesByMap().size(), 1);

    auto first = TWMap::create(document.get());
    auto second = TWMap::create(document.get());
    RecordingServices services;
    services.maps = {{a.get(), second.get()}, {b.get(), first.get()}, {c.get(), second.get()}};
    TWMapsDoc::setBranchServices(&services);
    EXPECT_EQ(document->changedBranchesByMap(), (QList<TWMapsDoc::BranchList>{{a, c}, {b}}));
    document->updateChangedBranches();
    TWMapsDoc::setBranchServices(nullptr);
    const QString one = first->identifier(), two = second->identifier();
    EXPECT_EQ(services.calls,
              (QStringList{"text", "text", "text", "re-sort " + two, "renumber " + two,
                           "lay out " + two + " x2", "re-sort " + one, "renumber " + one,
                           "lay out " + one + " x1"}));
    EXPECT_TRUE(document->changedBranches().isEmpty());

    // Without services there is nothing to lay out; the list still empties.
    post(a);
    document->updateChangedBranches();
    EXPECT_TRUE(document->changedBranches().isEmpty());
}

} // namespace
