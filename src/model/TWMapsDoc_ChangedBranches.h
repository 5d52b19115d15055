#pragma once

#include <QList>
#include <algorithm>
#include <memory>

class TWMap;
class TWMapBranch;

// The pass that runs when a text edit or a reparenting drag ends: the branches
// touched during the edit are grouped by map, re-sorted, renumbered and laid
// out once per map. Written over an operations object so that the pass does
// not depend on how branches and maps are built; `Ops` supplies:
//   Map *mapOf(const B &)                       the branch's map
//   void prepareText(const B &)                 flexi branches lay their characters out
//   int layoutAssistanceMode(Map *)
//   QList<B> minimumBranchCover(const QList<B> &)
//   B parentOf(const B &)                       null for a root
//   void reSortChildrenByPositionRecursively(const B &)
//   bool outlineNumbersNeedUpdating(Map *)
//   void recalculateOutlineNumbers(Map *)
//   void autoArrange(Map *, const QList<B> &)   layout after the branches moved
namespace TWChangedBranches {

// Adds `branch` unless that very branch is already listed.
template <class B> bool addIfAbsent(QList<B> &list, const B &branch)
{
    if (!branch || std::find(list.cbegin(), list.cend(), branch) != list.cend())
        return false;
    list.append(branch);
    return true;
}

// One group per map, the groups ordered by where each map's first branch
// stands in the list; inside a group the list order is kept.
template <class B, class MapOf> QList<QList<B>> groupByMap(const QList<B> &list, MapOf mapOf)
{
    QList<QList<B>> groups;
    QList<decltype(mapOf(list.first()))> maps;
    for (const B &branch : list) {
        const auto map = mapOf(branch);
        const qsizetype index = maps.indexOf(map);
        if (index < 0) {
            maps.append(map);
            groups.append(QList<B>{branch});
        } else {
            groups[index].append(branch);
        }
    }
    return groups;
}

// The layout assistance mode that lays a map out tightly and keeps the
// children in the order the user gave them.
inline constexpr int TightLayoutMode = 3;

template <class B, class Ops> void process(QList<B> &list, Ops &ops)
{
    const QList<QList<B>> groups =
        groupByMap(list, [&ops](const B &branch) { return ops.mapOf(branch); });

    for (const B &branch : list)
        ops.prepareText(branch);

    for (const QList<B> &group : groups) {
        auto *map = ops.mapOf(group.first());
        if (!map)
            continue;
        if (ops.layoutAssistanceMode(map) != TightLayoutMode) {
            for (const B &covered : ops.minimumBranchCover(group)) {
                if (const B parent = ops.parentOf(covered))
                    ops.reSortChildrenByPositionRecursively(parent);
            }
        }
        if (ops.outlineNumbersNeedUpdating(map))
            ops.recalculateOutlineNumbers(map);
        ops.autoArrange(map, group);
    }
    list.clear();
}

} // namespace TWChangedBranches

// What the maps document's changed-branch pass needs of branches and maps.
// Each document has its own (TWMapsDoc::setBranchServices()); by default the
// one below, over the document's branches.
class TWMapBranchServices
{
public:
    using Branch = std::shared_ptr<TWMapBranch>;

    virtual ~TWMapBranchServices() = default;

    virtual TWMap *mapOf(const Branch &branch) = 0;
    // A flexi branch without laid-out characters lays them out.
    virtual void prepareText(const Branch &branch) = 0;
    virtual int layoutAssistanceMode(TWMap *map) = 0;
    // The listed branches none of whose ancestors is listed.
    virtual QList<Branch> minimumBranchCover(const QList<Branch> &branches) = 0;
    virtual Branch parentOf(const Branch &branch) = 0;
    virtual void reSortChildrenByPositionRecursively(const Branch &branch) = 0;
    virtual bool outlineNumbersNeedUpdating(TWMap *map) = 0;
    virtual void recalculateOutlineNumbers(TWMap *map) = 0;
    virtual void autoArrange(TWMap *map, const QList<Branch> &movedBranches) = 0;
};

// The services over real branches and maps.
class TWMapsDocBranchServices : public TWMapBranchServices
{
public:
    TWMap *mapOf(const Branch &branch) override;
    void prepareText(const Branch &branch) override;
    int layoutAssistanceMode(TWMap *map) override;
    QList<Branch> minimumBranchCover(const QList<Branch> &branches) override;
    Branch parentOf(const Branch &branch) override;
    void reSortChildrenByPositionRecursively(const Branch &branch) override;
    bool outlineNumbersNeedUpdating(TWMap *map) override;
    void recalculateOutlineNumbers(TWMap *map) override;
    void autoArrange(TWMap *map, const QList<Branch> &movedBranches) override;
};
