#pragma once

#include "platform/NotificationCenter.h"
#include "styles/TWStyle.h"
#include "styles/TWStyleViewDocument.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

class QMenu;
class QWidget;
class TWDocument;
class TWStyleView;

// Drives the graphic style palette: shows the selection's current style in
// the preview, offers the library's graphic styles in its menu, and saves,
// reverts, updates and deletes styles for the selection.
class TWGraphicStyleController : public QObject
{
    Q_OBJECT

public:
    // How long a burst of selection or library changes is waited out.
    static constexpr int UpdateDelayMilliseconds = 100;

    explicit TWGraphicStyleController(QObject *parent = nullptr);
    ~TWGraphicStyleController() override;

    void setDocument(TWDocument *document);
    void setDocument(const TWStyleViewDocument &document);
    const TWStyleViewDocument &document() const { return m_document; }

    // The preview view the menu is given to (not owned).
    TWStyleView *preview() const { return m_preview; }
    void setPreview(TWStyleView *preview);
    QMenu *styleMenu() const { return m_styleMenu.get(); }
    const std::shared_ptr<TWStyle> &selectedStyle() const { return m_selectedStyle; }
    void setSelectedStyle(const std::shared_ptr<TWStyle> &style);
    void updateStyleMenu();
    // A new menu for the palette's button, owned by the caller: "Set as
    // default", then Revert, Save, Save As... and Delete; all but Save As are
    // disabled unless the selected style is custom.
    QMenu *selectedStyleSubMenu(QWidget *parent = nullptr);

    // The pending refresh, and the refresh itself.
    bool updatePending() const { return m_updateTimer.isActive(); }
    int updateInterval() const { return m_updateTimer.interval(); }
    void update();

    // --- actions ---
    void setStyleFromMenuItem(const std::shared_ptr<TWStyle> &style);
    void revertSelectedStyle();
    // Custom styles only: takes the shown settings (never a mixed value).
    void saveSelectedStyle();
    // Asks for a name and saves the shown settings under it.
    void saveSelectedStyleAs();
    // False (nothing saved) for an empty name.
    bool savePanelSave(const QString &name);
    // Asks, updates the current style from the shown settings, saves it,
    // opens the editor on it, and asks whether to restyle the map's graphics.
    void updateSelectedStyle();
    void updateGraphicsWithSelectedStyle();
    void setSelectedStyleAsDefault();
    // Toggles: the map's default already gives no default.
    void setDefaultStyleFromMenuItem(const std::shared_ptr<TWStyle> &style);
    void deleteSelectedStyle();
    void editSelectedStyle();
    void showStyleEditor();

signals:
    void styleMenuChanged();

private:
    void scheduleUpdate();
    void observeBindingController();

    TWStyleViewDocument m_document;
    QPointer<TWStyleView> m_preview;
    std::unique_ptr<QMenu> m_styleMenu;
    std::shared_ptr<TWStyle> m_selectedStyle;
    QTimer m_updateTimer;
    std::vector<ObserverToken> m_observers;
    QMetaObject::Connection m_bindingConnection;
};
