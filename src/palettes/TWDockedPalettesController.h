#pragma once

#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPalettesController.h"

#include <QList>
#include <QTimer>
#include <memory>
#include <vector>

class TWGraphic;

// The dock of one document window: the palettes that fit the current map's
// selection, in the user's dock order, less those that float. A burst of
// changes is waited out and re-chooses the dock once.
class TWDockedPalettesController : public TWPalettesController
{
    Q_OBJECT

public:
    static constexpr int UpdateDelayMilliseconds = 100;
    using GraphicList = QList<std::shared_ptr<TWGraphic>>;

    TWDockedPalettesController(TWPaletteHost *document, TWPaletteBezelContainerView *dock,
                               QObject *parent = nullptr);
    ~TWDockedPalettesController() override;

    // The default dock order, registered once a controller exists.
    static void registerDefaults();
    static QStringList paletteDockOrder();
    static void setPaletteDockOrder(const QStringList &order);
    // The IDs in dock order; IDs the order does not name follow in their order.
    static QStringList paletteIDsOrderedForDock(const QStringList &ids);
    // The docked controller whose dock is in `window`, if any.
    static TWDockedPalettesController *controllerForWindow(const QWidget *window);

    TWPaletteBezelContainerView *dockedBezelView() const { return m_dock; }

    void delayedUpdate();
    bool updatePending() const { return m_updateTimer.isActive(); }
    // Re-chooses the dock now.
    void selectionChanged();
    QList<TWPaletteBezel *> bezelsForSelection(const GraphicList &graphics) const;
    QStringList paletteIDsForSelection(const GraphicList &graphics) const;
    QList<TWPaletteBezel *> bezelsForIDs(const QStringList &ids) const;
    QStringList supportedAndDockedPaletteIDsFromArray(const QStringList &ids) const;

protected:
    void documentWillClose() override;

private:
    QPointer<TWPaletteBezelContainerView> m_dock;
    QTimer m_updateTimer;
    std::vector<ObserverToken> m_observers;
};
