#pragma once

#include "platform/NotificationCenter.h"
#include "styles/TWStyle.h"
#include "styles/TWStyleViewDocument.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantList>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class QWidget;
class TWDocument;
class TWMap;
class TWStyleView;

// Drives the map style palette: shows the current map's style (or a fresh
// one of its settings) in the preview, offers the library's map styles in
// its menu, and saves, applies and deletes map styles.
class TWMapStyleController : public QObject
{
    Q_OBJECT

public:
    // Background and colouring changes are followed once they stop for this long.
    static constexpr int SettingsDelayMilliseconds = 2000;

    explicit TWMapStyleController(QObject *parent = nullptr);
    ~TWMapStyleController() override;

    void setDocument(TWDocument *document);
    void setDocument(const TWStyleViewDocument &document);
    const TWStyleViewDocument &document() const { return m_document; }

    // The map settings the palette follows, by key.
    static const QStringList &followedSettingKeys();

    TWStyleView *preview() const { return m_preview; }
    void setPreview(TWStyleView *preview);
    QMenu *styleMenu() const { return m_styleMenu.get(); }
    const std::shared_ptr<TWStyle> &selectedStyle() const { return m_selectedStyle; }
    void setSelectedStyle(const std::shared_ptr<TWStyle> &style);
    // Not one of the library's map styles.
    bool selectedStyleIsNew() const { return m_selectedStyleIsNew; }
    bool selectedStyleIsDirty() const { return false; }
    void updateStyleMenu();
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
    void setStyleFromMenuItem(const std::shared_ptr<TWStyle> &style) { applyStyle(style); }
    void revertSelectedStyle() { applyStyle(m_selectedStyle); }
    // The map's settings into the selected style, keeping its apply flags.
    void saveSelectedStyle();
    // Asks first; OK saves.
    void askToUpdateSelectedStyle();
    void saveSelectedStyleAs();
    // False (nothing saved) for an empty name.
    bool savePanelSave(const QString &name);
    void setSelectedStyleAsDefault();
    void deleteSelectedStyle();
    void editSelectedStyle();
    void showStyleEditor();

signals:
    void styleMenuChanged();

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

    TWStyleViewDocument m_document;
    QPointer<TWStyleView> m_preview;
    std::unique_ptr<QMenu> m_styleMenu;
    std::shared_ptr<TWStyle> m_selectedStyle;
    bool m_selectedStyleIsNew = false;
    QTimer m_delayTimer;
    Snapshot m_seen;
    std::vector<ObserverToken> m_observers;
    std::vector<ObserverToken> m_documentObservers;
    std::vector<QMetaObject::Connection> m_undoConnections;
};
