#pragma once

#include "palettes/TWStyleController.h"

#include <QTimer>
#include <QVariantList>
#include <optional>

class TWMap;

// Drives the map style palette: shows the current map's style (or a fresh
// one of its settings) in the preview, offers the library's map styles in
// its menu, and saves, applies and deletes map styles.
class TWMapStyleController : public TWStyleController
{
    Q_OBJECT

public:
    // Background and colouring changes are followed once they stop for this long.
    static constexpr int SettingsDelayMilliseconds = 2000;

    explicit TWMapStyleController(QObject *parent = nullptr);
    ~TWMapStyleController() override;

    // The map settings the palette follows, by key.
    static const QStringList &followedSettingKeys();

    void setSelectedStyle(const std::shared_ptr<TWStyle> &style) override;
    // Not one of the library's map styles.
    bool selectedStyleIsNew() const { return m_selectedStyleIsNew; }
    bool selectedStyleIsDirty() const { return false; }
    // A new menu owned by the caller: Revert, Save, Save As..., Delete.
    QMenu *selectedStyleSubMenu(QWidget *parent = nullptr);

    // The current map's style, or a fresh one of its settings.
    void updateSelectedStyle();
    bool updatePending() const { return m_delayTimer.isActive(); }
    int updateInterval() const { return m_delayTimer.interval(); }
    // What the settings check runs after each undo step (tests call it too):
    // a switched map, theme or map style now; other followed settings later.
    void mapSettingsMayHaveChanged();

    // --- actions ---
    void applyStyle(const std::shared_ptr<TWStyle> &style);
    void setStyleFromMenuItem(const std::shared_ptr<TWStyle> &style) override { applyStyle(style); }
    void revertSelectedStyle() override { applyStyle(m_selectedStyle); }
    // The map's settings into the selected style, keeping its apply flags.
    void saveSelectedStyle() override;
    // Asks first; OK saves.
    void askToUpdateSelectedStyle();
    void saveSelectedStyleAs() override;
    // False (nothing saved) for an empty name.
    bool savePanelSave(const QString &name);
    void setSelectedStyleAsDefault();
    void deleteSelectedStyle() override;
    void editSelectedStyle();
    void showStyleEditor() override;

protected:
    QList<std::shared_ptr<TWStyle>> libraryStyles() const override;
    void documentChanged() override;
    void libraryChanged() override;

private:
    struct Snapshot
    {
        const TWMap *map = nullptr;
        std::optional<QString> themeID;
        std::optional<QString> mapStyleID;
        QVariantList settings;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snapshot() const;
    void observeDocument();

    bool m_selectedStyleIsNew = false;
    QTimer m_delayTimer;
    Snapshot m_seen;
    std::vector<ObserverToken> m_documentObservers;
    std::vector<QMetaObject::Connection> m_undoConnections;
};
