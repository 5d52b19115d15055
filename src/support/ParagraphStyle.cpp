#include "support/ParagraphStyle.h"

QList<TextTab> ParagraphStyle::defaultTabStops()
{
    QList<TextTab> tabs;
    tabs.reserve(12);
    for (int i = 1; i <= 12; ++i)
        tabs.append(TextTab(LeftTextAlignment, 28.0 * i));
    return tabs;
}
