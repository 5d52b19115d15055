#pragma once

#include "render/TWDrawingView.h"

#include <map>

// The canvas's tool-tip rectangles, in map coordinates, as drawing registers
// them: the links in labels and the link icons of branches.
class TWCanvasToolTips final : public TWToolTipRegistry
{
public:
    int addToolTipRect(Rect rect, TextProvider text) override;
    void removeToolTip(int tag) override;
    // The tip at a map point: the rectangle registered last wins, as it was
    // drawn over the others.
    std::optional<QString> textAt(Point p) const;
    int count() const { return int(m_tips.size()); }

private:
    struct Tip
    {
        Rect rect;
        TextProvider text;
    };
    std::map<int, Tip> m_tips;
    int m_nextTag = 1;
};
