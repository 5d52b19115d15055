#include "canvas/TWCanvasToolTips.h"

int TWCanvasToolTips::addToolTipRect(Rect rect, TextProvider text)
{
    const int tag = m_nextTag++;
    m_tips.emplace(tag, Tip{rect, std::move(text)});
    return tag;
}

void TWCanvasToolTips::removeToolTip(int tag)
{
    m_tips.erase(tag);
}

std::optional<QString> TWCanvasToolTips::textAt(Point p) const
{
    for (auto it = m_tips.crbegin(); it != m_tips.crend(); ++it) {
        if (!it->second.rect.contains(p) || !it->second.text)
            continue;
        if (std::optional<QString> text = it->second.text())
            return text;
    }
    return std::nullopt;
}
