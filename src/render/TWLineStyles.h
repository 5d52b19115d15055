#pragma once

class BezierPath;

// Dash patterns of the line styles, in multiples of the line width.
class TWLineStyles
{
public:
    TWLineStyles() = delete;

    // Styles 2 to 7 are dashed (phase 0); any other style leaves the path
    // solid. Callers do not stroke style 8 at all.
    static void applyLineStyle(int style, BezierPath &path, float width);
};
