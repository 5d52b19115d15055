#include "mapdrawing/TWMapView.h"

#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMap.h"
#include "render/DrawingContext.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

TWMapView::TWMapView(QWidget *parent) : QWidget(parent) {}

TWMapView::~TWMapView() = default;

void TWMapView::setMap(const std::shared_ptr<TWMap> &map)
{
    if (map == m_map)
        return;
    m_canvasObserver.reset();
    m_map = map;
    if (m_map)
        m_canvasObserver = NotificationCenter::defaultCenter().observe(
            TWMap::ValueChangeNotification, m_map.get(), [this](const Notification &n) {
                if (n.userInfo.value(TWMap::KeyKey).toString() == QLatin1String("canvasSize") &&
                    n.userInfo.value(TWMap::PhaseKey).toString() == QLatin1String("did"))
                    canvasSizeDidChange();
            });
    update();
}

void TWMapView::canvasSizeDidChange()
{
    // A damaged canvas size makes the view as large as a widget can be,
    // never a negative or wrapped-around size.
    const auto side = [](float length) {
        const double whole = std::ceil(double(length));
        return whole > 0 ? int(std::min(whole, double(QWIDGETSIZE_MAX))) : 0;
    };
    const Size canvas = m_map->canvasSize();
    resize(side(canvas.width), side(canvas.height));
    update();
}

void TWMapView::paintEvent(QPaintEvent *event)
{
    if (!m_map)
        return;
    QPainter painter(this);
    DrawingContext context(painter, true);
    TWMapDrawing::drawMapInRect(context, *m_map, Rect::fromQt(QRectF(event->rect())),
                                {.drawBackground = true, .drawSelection = false});
}
