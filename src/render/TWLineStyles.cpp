#include "render/TWLineStyles.h"

#include "support/BezierPath.h"

void TWLineStyles::applyLineStyle(int style, BezierPath &path, float width)
{
    const float w = width;
    switch (style) {
    case 2:
        path.setLineDash({w, 2 * w}, 0);
        break;
    case 3:
        path.setLineDash({3 * w, 2 * w}, 0);
        break;
    case 4:
        path.setLineDash({3 * w, 2 * w, w, 2 * w}, 0);
        break;
    case 5:
        path.setLineDash({7 * w, 3 * w}, 0);
        break;
    case 6:
        path.setLineDash({7 * w, 2 * w, w, 2 * w}, 0);
        break;
    case 7:
        path.setLineDash({7 * w, 2 * w, w, 2 * w, w, 2 * w}, 0);
        break;
    default:
        path.setLineDash({}, 0);
        break;
    }
}
