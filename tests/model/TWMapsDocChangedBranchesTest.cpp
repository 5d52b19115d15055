#include "TWMapsDocTestSupport.h"
#include "model/TWMapsDoc_ChangedBranches.h"

#include <QHash>
#include <QSet>

using namespace MapsDocTest;

namespace {

// The document only holds and forwards branch pointers, so fake branches
// stand in for real ones; the services below read them back.
struct FakeBranch
{
    QString name;
    TWMap *map = nullptr;
    std::shared_ptr<FakeBranch> parent;
};

std::shared_ptr<TWMapBranch> asBranch(const std::shared_ptr<FakeBranch> &fake)
{
    return std::shared_ptr<TWMapBranch>(fake, reinterpret_cast<TWMapBranch *>(fake.get()));
}

const FakeBranch &fake(const std::shared_ptr<TWMapBranch> &branch)
{
    return *reinterpret_cast<const FakeBranch *>(branch.get());
}

// Records what the pass asks of branches and maps, in order.
class RecordingServices : public TWMapBranchServices
{
public:
    QHash<TWMap *, QString> names;
    QSet<TWMap *> tight, needRenumbering;
    QStringList calls;

    TWMap *mapOf(const Branch &b) override { return fake(b).map; }
    void prepareText(const Branch &b) override { calls << "text " + fake(b).name; }
    int layoutAssistanceMode(TWMap *m) override
    {
        return tight.contains(m) ? TWChangedBranches::TightLayoutMode : 2;
    }
    QList<Branch> minimumBranchCover(const QList<Branch> &group) override
    {
        QList<Branch> cover;
        for (const Branch &b : group) {
            bool covered = false;
            for (auto a = fake(b).parent; a && !covered; a = a->parent)
                covered = group.contains(asBranch(a));
            if (!covered)
                cover.append(b);
        }
        return cover;
    }
    Branch parentOf(const Branch &b) override
    {
        return fake(b).parent ? asBranch(fake(b).parent) : nullptr;
    }
    void reSortChildrenByPositionRecursively(const Branch &b) override
    {
        calls << "re-sort " + fake(b).name;
    }
    bool outlineNumbersNeedUpdating(TWMap *m) override { return needRenumbering.contains(m); }
    void recalculateOutlineNumbers(TWMap *m) override
    {
        calls << "renumber " + names.value(m);
        needRenumbering.remove(m);
    }
    void autoArrange(TWMap *m, const QList<Branch> &group) override
    {
        QStringList moved;
        for (const Branch &b : group)
            moved << fake(b).name;
        calls << "lay out " + names.value(m) + ": " + moved.join(' ');
    }
};

class TWMapsDocChangedBranchesTest : public MapsDocFixture
{};

TEST_F(TWMapsDocChangedBranchesTest, EachMapIsReSortedRenumberedAndLaidOutOnceInListOrder)
{
    auto document = TWMapsDoc::create();
    auto recording = std::make_shared<RecordingServices>();
    RecordingServices &services = *recording;
    std::vector<std::shared_ptr<TWMap>> maps;
    for (const QString name : {"one", "two", "tight", "bare"}) {
        maps.push_back(TWMap::create(document.get()));
        services.names.insert(maps.back().get(), name);
    }
    TWMap *one = maps[0].get(), *two = maps[1].get(), *tight = maps[2].get();
    services.tight = {tight};
    services.needRenumbering = {one, tight};

    auto branch = [](const QString &name, TWMap *map, std::shared_ptr<FakeBranch> parent = {}) {
        return std::make_shared<FakeBranch>(FakeBranch{name, map, std::move(parent)});
    };
    const auto root1 = branch("root1", one);
    const auto child = branch("child", one, root1);
    const auto grandchild = branch("grandchild", one, child);
    const auto other = branch("other", two, branch("root2", two));
    const auto tightRoot = branch("tightRoot", tight);
    const auto t1 = branch("t1", tight, tightRoot), t2 = branch("t2", tight, tightRoot);
    const auto bareRoot = branch("bareRoot", maps[3].get());

    // Changed branches are listed once each, in the order they came.
    for (const auto &b : {grandchild, other, t2, grandchild, child})
        document->addObjectToChangedBranchesIfAbsent(asBranch(b));
    document->addObjectToChangedBranchesIfAbsent(nullptr);
    document->addObjectToChangedBranchesIfAbsent(asBranch(t1));
    document->addObjectToChangedBranchesIfAbsent(asBranch(child));
    document->addObjectToChangedBranchesIfAbsent(asBranch(bareRoot));
    const TWMapsDoc::BranchList listed = {asBranch(grandchild), asBranch(other),
                                          asBranch(t2),         asBranch(child),
                                          asBranch(t1),         asBranch(bareRoot)};
    EXPECT_EQ(document->changedBranches(), listed);

    document->setBranchServices(recording);
    EXPECT_EQ(document->changedBranchesByMap().size(), 4);
    document->updateChangedBranches();
    EXPECT_TRUE(document->changedBranches().isEmpty());
    // The grandchild is covered by its parent; the tight mode keeps the
    // user's order (no re-sort); a root has no parent to re-sort.
    EXPECT_EQ(services.calls,
              (QStringList{"text grandchild", "text other", "text t2", "text child", "text t1",
                           "text bareRoot", "re-sort root1", "renumber one",
                           "lay out one: grandchild child", "re-sort root2", "lay out two: other",
                           "renumber tight", "lay out tight: t2 t1", "lay out bare: bareRoot"}));

    // After the pass the same branches are listed anew, still once each.
    for (const auto &b : {child, grandchild, child, grandchild})
        document->addObjectToChangedBranchesIfAbsent(asBranch(b));
    EXPECT_EQ(document->changedBranches(),
              (TWMapsDoc::BranchList{asBranch(child), asBranch(grandchild)}));
}

} // namespace
