#pragma once

#include <QList>
#include <QStringList>

class TWMap;
class TWMapBranch;

// Numbers the children of `parent` and everything below them as numbering
// the whole map from its root with `mapFormats` would. With `keepUnchanged`,
// below a child whose number stayed nothing is numbered again.
void renumberChildrenOf(TWMapBranch &parent, const QStringList &mapFormats,
                        bool keepUnchanged = false);
// The children of each parent, as one undo step, after moves changed only
// their order: below a child whose number stayed nothing is numbered again.
void renumberChildrenOf(const QList<TWMapBranch *> &parents, const QStringList &mapFormats);

// While one is open for a map, its layout services' renumbering numbers
// only the children of the listed parents: the ones moves re-ordered.
class TWPartialRenumbering
{
public:
    TWPartialRenumbering(const TWMap &map, QList<TWMapBranch *> parents);
    ~TWPartialRenumbering();
    TWPartialRenumbering(const TWPartialRenumbering &) = delete;
    TWPartialRenumbering &operator=(const TWPartialRenumbering &) = delete;

    // The parents to renumber below, or null where the whole map is numbered.
    static const QList<TWMapBranch *> *parentsFor(const TWMap &map);

private:
    const TWMap *m_map;
    QList<TWMapBranch *> m_parents;
    TWPartialRenumbering *m_outer;
    static inline TWPartialRenumbering *s_innermost = nullptr;
};
