#pragma once

#include <QList>
#include <QSet>
#include <memory>

class TWGraphic;
class TWMapBranch;

// The filter handed down a map drawing: it decides branch by branch what is
// drawn. The map's root always passes.
class TWMapExpansionState
{
public:
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;

    enum Mode {
        NotHidden = 0,    // every branch that is not hidden
        RootOnly = 1,     // only the root
        ExpandedOnly = 3, // the branches added as expanded
        ToLevel = 4,      // branches above showBranchesToLevel()
    };

    // What every drawing without a state of its own uses: mode 0.
    static TWMapExpansionState defaultExpansionState() { return {}; }

    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    bool showAttachedGraphics() const { return m_showAttachedGraphics; }
    void setShowAttachedGraphics(bool show) { m_showAttachedGraphics = show; }
    int showBranchesToLevel() const { return m_showBranchesToLevel; }
    void setShowBranchesToLevel(int level) { m_showBranchesToLevel = level; }
    const BranchList &expandedBranches() const { return m_expandedBranches; }
    const BranchList &contractedBranches() const { return m_contractedBranches; }

    // Each takes the branch out of the other list and appends it to its own
    // once.
    void addExpandedBranch(const std::shared_ptr<TWMapBranch> &branch);
    void addContractedBranch(const std::shared_ptr<TWMapBranch> &branch);
    void addExpandedBranches(const BranchList &branches);
    void addContractedBranches(const BranchList &branches);
    void removeExpandedBranch(const TWMapBranch *branch);
    void removeContractedBranch(const TWMapBranch *branch);

    bool shouldDrawBranch(const TWMapBranch &branch) const;
    bool shouldDrawAttachedGraphic(const TWGraphic &) const { return m_showAttachedGraphics; }

private:
    int m_mode = NotHidden;
    bool m_showAttachedGraphics = true;
    int m_showBranchesToLevel = 0;
    BranchList m_expandedBranches;
    BranchList m_contractedBranches;
    QSet<const TWMapBranch *> m_expandedSet;
    QSet<const TWMapBranch *> m_contractedSet;
};
