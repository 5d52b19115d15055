#pragma once

#include "MindManagerImpExp/MMXMLBaseObject.h"
#include "support/AttributedString.h"
#include "support/Color.h"

#include <QMap>
#include <optional>

// The style group's topic defaults of one import, by topic type (0 topic,
// 1 callout, 2 label, 3 floating topic, which shares the topics') and level.
// Every question falls back to the nearest lower level that answers it.
class levelDefaults
{
public:
    void setDefaultStyle(const MMObjectPtr &group, int type, int level);
    void clear();
    // The group at the level or the nearest one below; null for none.
    MMObjectPtr getTopicDefaultForType(int type, int level) const;

    std::optional<Color> branchColorOfType(int type, int level) const;
    std::optional<Color> lineColorOfType(int type, int level) const;
    MMObjectPtr branchApTextOfType(int type, int level) const;
    std::optional<AttributedString> branchTextOfType(int type, int level) const;
    int branchShapeOfType(int type, int level) const;
    int cornerModeOfType(int type, int level) const;
    int labelShapeOfType(int type, int level) const;
    int calloutShapeOfType(int type, int level) const;
    int resizeAttributeOfType(int type, int level) const;
    int branchAndImagePositionOfType(int type, int level) const;
    float branchWidthOfType(int type, int level) const;
    float minBranchHeightOfType(int type, int level) const;
    int branchVerticalAlignmentOfType(int type, int level) const;
    int branchHorizontalAlignmentOfType(int type, int level) const;
    float branchPaddingOfType(int type, int level) const;
    int childrenVerticalAlignmentOfType(int type, int level) const;
    int childrenHorizontalAlignmentOfType(int type, int level) const;
    int subBranchConnectionPointOfType(int type, int level) const;
    int subBranchConnectionStyleOfType(int type, int level) const;
    bool subBranchStructureVisibleOfType(int type, int level) const;
    float distanceFromParentOfType(int type, int level) const;
    float distanceBetweenSiblingsOfType(int type, int level) const;
    float subBranchWidthFactorOfType(int type, int level) const;
    bool subBranchesHiddenOfType(int type, int level) const;

private:
    const QMap<int, MMObjectPtr> *dictionary(int type) const;

    // The walk: `answer` is asked with each group from the level down and
    // returns a value once the group says something.
    template <typename T, typename F>
    T walk(int type, int level, T noGroup, T exhausted, F answer) const;

    QMap<int, MMObjectPtr> m_topics;
    QMap<int, MMObjectPtr> m_callouts;
    QMap<int, MMObjectPtr> m_labels;
};
