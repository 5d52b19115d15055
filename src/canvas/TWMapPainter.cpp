#include "canvas/TWMapPainter.h"

#include "drawing/DrawingContext.h"
#include "drawing/TWMapUtilities.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"

#include <QPainter>

namespace {
bool isLinkLine(const TWGraphic &graphic)
{
    return graphic.className() == QLatin1String("TWLinkLine");
}
} // namespace

void TWSimpleMapPainter::paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                                  const TWDrawingView *view)
{
    const Color ground = map.backgroundColor().value_or(Color::whiteColor());
    context.painter().fillRect(dirty.toQt(), ground.toQColor());

    const TWMap::GraphicList &graphics = map.graphics();
    for (qsizetype i = graphics.size() - 1; i >= 0; --i) {
        TWGraphic &graphic = *graphics.at(i);
        if (isLinkLine(graphic) || !graphic.drawingBounds().intersects(dirty))
            continue;
        const bool selected = map.isGraphicSelected(&graphic);
        const std::optional<Shadow> shadow = TWMapUtilities::shouldGraphicDrawShadows(graphic)
                                                 ? graphic.inheritedShadow()
                                                 : std::nullopt;
        graphic.drawInView(context, view, selected, shadow,
                           selected && TWMapUtilities::shouldGraphicDrawSelectionShadow(graphic));
    }
}
