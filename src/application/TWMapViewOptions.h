#pragma once

// The seven view options the canvas's context menu and the document view's
// menu offer: each item's title and the map setting it toggles.
struct TWMapViewOption
{
    const char *title;
    const char *key;
};

inline constexpr TWMapViewOption TWMapViewOptions[] = {
    {"Show Attached Graphics", "showAttachedGraphics"}, {"Show Boundaries", "showBoundaries"},
    {"Show Collapse Symbol", "showCollapseSign"},       {"Show Link Lines", "showLinkLines"},
    {"Show Outline Numbers", "showOutlineNumbers"},     {"Show Shadows", "showShadows"},
    {"Show Text Indicators", "showTextIndicators"}};
