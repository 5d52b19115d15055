#pragma once

#include "palettes/TWStyleController.h"

#include <QTimer>

// Drives the graphic style palette: shows the selection's current style in
// the preview, offers the library's graphic styles in its menu, and saves,
// reverts, updates and deletes styles for the selection.
class TWGraphicStyleController : public TWStyleController
{
    Q_OBJECT

public:
    // How long a burst of selection or library changes is waited out.
    static constexpr int UpdateDelayMilliseconds = 100;

    explicit TWGraphicStyleController(QObject *parent = nullptr);
    ~TWGraphicStyleController() override;

    // A new menu for the palette's button, owned by the caller: "Set as
    // default", then Revert, Save, Save As... and Delete; all but Save As are
    // disabled unless the selected style is custom.
    QMenu *selectedStyleSubMenu(QWidget *parent = nullptr);

    // The pending refresh, and the refresh itself.
    bool updatePending() const { return m_updateTimer.isActive(); }
    int updateInterval() const { return m_updateTimer.interval(); }
    void update();

    // --- actions ---
    void setStyleFromMenuItem(const std::shared_ptr<TWStyle> &style) override;
    void revertSelectedStyle() override;
    // Custom styles only: takes the shown settings (never a mixed value).
    void saveSelectedStyle() override;
    // Asks for a name and saves the shown settings under it.
    void saveSelectedStyleAs() override;
    // False (nothing saved) for an empty name.
    bool savePanelSave(const QString &name);
    // Asks, updates the current style from the shown settings, saves it,
    // opens the editor on it, and asks whether to restyle the map's graphics.
    void updateSelectedStyle();
    void updateGraphicsWithSelectedStyle();
    void setSelectedStyleAsDefault();
    // Toggles: the map's default already gives no default.
    void setDefaultStyleFromMenuItem(const std::shared_ptr<TWStyle> &style);
    void deleteSelectedStyle() override;
    void editSelectedStyle();
    void showStyleEditor() override;

protected:
    QList<std::shared_ptr<TWStyle>> libraryStyles() const override;
    void documentChanged() override;
    void libraryChanged() override;

private:
    void scheduleUpdate();

    QTimer m_updateTimer;
    QMetaObject::Connection m_bindingConnection;
};
