#include "palettes/TWMapStyleController.h"

#include "interface/TWInputPanel.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWMapStyleEditor.h"
#include "palettes/TWStyleView.h"
#include "platform/Alerts.h"
#include "platform/UndoManager.h"
#include "styles/TWDefaultMapStyle.h"
#include "styles/TWStyleManager.h"

#include <QDebug>
#include <QMenu>

namespace {

const QStringList MapFlags{QStringLiteral("applyBackground"), QStringLiteral("applyColoring"),
                           QStringLiteral("applyAutolayout"),
                           QStringLiteral("applyOutlineNumbering")};

} // namespace

TWMapStyleController::TWMapStyleController(QObject *parent)
    : TWStyleController(QStringLiteral("mapStyles"), parent)
{
    m_delayTimer.setSingleShot(true);
    m_delayTimer.setInterval(SettingsDelayMilliseconds);
    connect(&m_delayTimer, &QTimer::timeout, this, &TWMapStyleController::updateSelectedStyle);
}

TWMapStyleController::~TWMapStyleController()
{
    for (const QMetaObject::Connection &connection : m_undoConnections)
        disconnect(connection);
}

QList<std::shared_ptr<TWStyle>> TWMapStyleController::libraryStyles() const
{
    return library().mapStyles().values();
}

void TWMapStyleController::libraryChanged()
{
    // Without a map there is no style to select, but the menu still lists the library.
    if (m_document.currentMap())
        updateSelectedStyle();
    else
        updateStyleMenu();
}

const QStringList &TWMapStyleController::followedSettingKeys()
{
    static const QStringList keys{
        QStringLiteral("backgroundSettingsEnabled"), QStringLiteral("backgroundColor"),
        QStringLiteral("backgroundImageFilename"),   QStringLiteral("backgroundImageOffset"),
        QStringLiteral("backgroundImageOpacity"),    QStringLiteral("backgroundImageSize"),
        QStringLiteral("backgroundImageTileMode"),   QStringLiteral("graphicColoringMode"),
        QStringLiteral("rainbowSaturation"),         QStringLiteral("rainbowAngle")};
    return keys;
}

void TWMapStyleController::documentChanged()
{
    observeDocument();
    m_delayTimer.stop();
    m_seen = snapshot();
    updateSelectedStyle();
}

void TWMapStyleController::observeDocument()
{
    m_documentObservers.clear();
    for (const QMetaObject::Connection &connection : m_undoConnections)
        disconnect(connection);
    m_undoConnections.clear();
    if (m_document.isNull())
        return;
    // Every settings change is an undo step: look after each one, and after
    // undo and redo.
    if (UndoManager *undo = m_document.undoManager) {
        for (auto signal :
             {&UndoManager::groupClosed, &UndoManager::didUndo, &UndoManager::didRedo})
            m_undoConnections.push_back(
                connect(undo, signal, this, &TWMapStyleController::mapSettingsMayHaveChanged));
    }
    NotificationCenter &center = NotificationCenter::defaultCenter();
    // A map switch: the tabs are told before the current map changes, the
    // selection after it.
    m_documentObservers.push_back(
        center.observe(TWMapsDoc::UpdateMapTabsNotification, m_document.maps(),
                       [this](const Notification &) { mapSettingsMayHaveChanged(); }));
    m_documentObservers.push_back(center.observe(
        TWMapsDoc::SelectedGraphicsChangedNotification, nullptr, [this](const Notification &n) {
            if (n.sender.identity() == m_document.currentMap())
                mapSettingsMayHaveChanged();
        }));
}

TWMapStyleController::Snapshot TWMapStyleController::snapshot() const
{
    Snapshot seen;
    TWMap *map = m_document.currentMap();
    if (!map)
        return seen;
    seen.map = map;
    seen.themeID = map->themeID();
    seen.mapStyleID = map->mapStyleID();
    for (const QString &key : followedSettingKeys())
        seen.settings << (key == u"backgroundSettingsEnabled"
                              ? QVariant(map->backgroundSettingsEnabled())
                              : map->valueForKey(key));
    return seen;
}

void TWMapStyleController::mapSettingsMayHaveChanged()
{
    const Snapshot now = snapshot();
    if (now == m_seen)
        return;
    const bool atOnce = now.map != m_seen.map || now.themeID != m_seen.themeID ||
                        now.mapStyleID != m_seen.mapStyleID;
    m_seen = now;
    if (atOnce) {
        m_delayTimer.stop();
        updateSelectedStyle();
    } else {
        // Restarting cancels the pending one: a slider drag is followed once.
        m_delayTimer.start();
    }
}

void TWMapStyleController::updateSelectedStyle()
{
    m_delayTimer.stop();
    TWMap *map = m_document.currentMap();
    if (!map)
        return;
    std::shared_ptr<TWStyle> style = map->mapStyle();
    if (!style)
        style = map->newStyleFromCurrentSettings();
    setSelectedStyle(style);
}

void TWMapStyleController::setSelectedStyle(const std::shared_ptr<TWStyle> &style)
{
    m_selectedStyleIsNew = !style || library().mapStyles().value(style->identifier()) != style;
    TWStyleController::setSelectedStyle(style);
}

QMenu *TWMapStyleController::selectedStyleSubMenu(QWidget *parent)
{
    auto *menu = new QMenu(dadoZiz("Selected Style Menu"), parent);
    addSelectedStyleItems(menu);
    return menu;
}

// --- actions ---

void TWMapStyleController::applyStyle(const std::shared_ptr<TWStyle> &style)
{
    TWMap *map = m_document.currentMap();
    if (!map || !style)
        return;
    map->setMapStyle(style);
    m_seen = snapshot();
    setSelectedStyle(style);
}

void TWMapStyleController::saveSelectedStyle()
{
    TWMap *map = m_document.currentMap();
    if (!m_selectedStyle || !map)
        return;
    OrderedDictionary settings = map->newStyleFromCurrentSettings()->group(TWStyle::MapGroup);
    const OrderedDictionary kept = m_selectedStyle->group(TWStyle::MapGroup);
    for (const QString &flag : MapFlags)
        settings.setValue(flag, kept.value(flag).toBool());
    m_selectedStyle->setGroup(TWStyle::MapGroup, settings);
    if (!library().saveStyle(m_selectedStyle))
        Alerts::current().runAlertPanel(dadoZiz("The style could not be saved."),
                                        m_selectedStyle->name(), {general("OK")});
    updateSelectedStyle();
}

void TWMapStyleController::askToUpdateSelectedStyle()
{
    if (Alerts::current().runAlertPanel(
            dadoZiz("The settings for this style will be updated to the new settings."),
            dadoZiz("Applying this style to new or existing maps will apply these new settings."),
            {general("OK"), general("Cancel")}) == 0)
        saveSelectedStyle();
}

void TWMapStyleController::saveSelectedStyleAs()
{
    TWInputPanel &panel = TWInputPanel::sharedInputPanel();
    if (panel.runInputPanelWithTitle(dadoZiz("Save Style As")) == TWInputPanel::OK)
        savePanelSave(panel.inputString());
    updateSelectedStyle();
}

bool TWMapStyleController::savePanelSave(const QString &name)
{
    TWMap *map = m_document.currentMap();
    if (name.trimmed().isEmpty() || !map)
        return false;
    const std::shared_ptr<TWStyle> style = map->newStyleFromCurrentSettings();
    style->setName(name);
    if (!library().saveStyle(style))
        Alerts::current().runAlertPanel(dadoZiz("The style could not be saved."), name,
                                        {general("OK")});
    map->setMapStyleID(style->identifier());
    m_seen = snapshot();
    updateSelectedStyle();
    return true;
}

void TWMapStyleController::setSelectedStyleAsDefault()
{
    if (m_selectedStyle)
        TWDefaultMapStyle::setIdentifier(m_selectedStyle->identifier());
}

void TWMapStyleController::deleteSelectedStyle()
{
    if (!m_selectedStyle)
        return;
    if (!library().deleteStyle(m_selectedStyle))
        Alerts::current().runAlertPanel(dadoZiz("The style could not be deleted."),
                                        m_selectedStyle->name(), {general("OK")});
    updateSelectedStyle();
}

void TWMapStyleController::editSelectedStyle()
{
    TWMapStyleEditor::sharedMapStyleEditor().editStyle(m_selectedStyle);
}

void TWMapStyleController::showStyleEditor()
{
    TWMapStyleEditor::sharedMapStyleEditor().showEditor();
}
