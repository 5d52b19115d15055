#pragma once

#include "platform/NotificationCenter.h"

#include <QWidget>
#include <memory>

class TWMap;

// A plain view that shows one whole map, background and all, with no
// selection, as the previews draw it. It keeps its map alive and takes the
// map's canvas size whenever that changes.
class TWMapView : public QWidget
{
    Q_OBJECT

public:
    explicit TWMapView(QWidget *parent = nullptr);
    ~TWMapView() override;

    std::shared_ptr<TWMap> map() const { return m_map; }
    // Follows the new map (nothing for the same one) and redraws; the size
    // follows from the map's next canvas change.
    void setMap(const std::shared_ptr<TWMap> &map);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void canvasSizeDidChange();

    std::shared_ptr<TWMap> m_map;
    ObserverToken m_canvasObserver;
};
