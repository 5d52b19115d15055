#include "styles/TWGraphicStyleController.h"

#include "application/TWInputPanel.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "styles/TWGraphicBindingController.h"
#include "styles/TWGraphicStyleEditor.h"
#include "styles/TWStyleManager.h"
#include "styles/TWStyleView.h"

#include <QDebug>
#include <QMenu>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QString general(const char *key)
{
    return TWLocalizedString(StringTable::General, QString::fromUtf8(key));
}

TWStyleManager &library()
{
    return TWStyleManager::sharedStyleManager();
}

} // namespace

TWGraphicStyleController::TWGraphicStyleController(QObject *parent) : QObject(parent)
{
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(UpdateDelayMilliseconds);
    connect(&m_updateTimer, &QTimer::timeout, this, &TWGraphicStyleController::update);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(TWGraphicBindingController::DocumentWillCloseNotification,
                                         nullptr, [this](const Notification &n) {
                                             if (!m_document.isNull() &&
                                                 n.sender.identity() == m_document.identity)
                                                 setDocument(TWStyleViewDocument());
                                         }));
    m_observers.push_back(center.observe(
        TWStyleManager::StylesDidChangeNotification, nullptr, [this](const Notification &n) {
            if (n.userInfo.value(TWStyleManager::KindKey).toString() != u"graphicStyles")
                return;
            updateStyleMenu();
            scheduleUpdate();
        }));
}

TWGraphicStyleController::~TWGraphicStyleController()
{
    disconnect(m_bindingConnection);
    if (m_preview)
        m_preview->setStyleMenu(nullptr);
}

void TWGraphicStyleController::setDocument(TWDocument *document)
{
    setDocument(TWStyleViewDocument::of(document));
}

void TWGraphicStyleController::setDocument(const TWStyleViewDocument &document)
{
    m_document = document;
    observeBindingController();
    scheduleUpdate();
}

void TWGraphicStyleController::observeBindingController()
{
    disconnect(m_bindingConnection);
    if (m_document.bindingController)
        m_bindingConnection =
            connect(m_document.bindingController, &TWGraphicBindingController::currentStyleChanged,
                    this, &TWGraphicStyleController::scheduleUpdate);
}

void TWGraphicStyleController::setPreview(TWStyleView *preview)
{
    if (m_preview)
        m_preview->setStyleMenu(nullptr);
    m_preview = preview;
    if (m_preview)
        m_preview->setStyle(m_selectedStyle);
    updateStyleMenu();
}

void TWGraphicStyleController::scheduleUpdate()
{
    // Restarting cancels the pending one.
    m_updateTimer.start();
}

void TWGraphicStyleController::update()
{
    m_updateTimer.stop();
    if (m_document.isNull() || !m_document.bindingController)
        return;
    setSelectedStyle(m_document.bindingController->currentStyle());
}

void TWGraphicStyleController::setSelectedStyle(const std::shared_ptr<TWStyle> &style)
{
    m_selectedStyle = style;
    if (m_preview)
        m_preview->setStyle(style);
    updateStyleMenu();
}

void TWGraphicStyleController::updateStyleMenu()
{
    const QSize size = m_preview ? m_preview->size() : QSize(180, 60);
    std::unique_ptr<QMenu> menu(TWStyleView::makeStyleMenu(
        library().graphicStyles().values(), m_selectedStyle, size,
        [this](const std::shared_ptr<TWStyle> &style) { setStyleFromMenuItem(style); },
        [this] { showStyleEditor(); }, this));
    if (m_preview)
        m_preview->setStyleMenu(menu.get());
    m_styleMenu = std::move(menu);
    emit styleMenuChanged();
}

QMenu *TWGraphicStyleController::selectedStyleSubMenu(QWidget *parent)
{
    auto *menu = new QMenu(dadoZiz("Selected Style Menu"), parent);
    const std::shared_ptr<TWStyle> style = m_selectedStyle;
    TWMap *map = m_document.currentMap();
    QAction *setDefault = menu->addAction(dadoZiz("Set as default"));
    setDefault->setCheckable(true);
    setDefault->setChecked(style && map && map->defaultGraphicStyleID() == style->identifier());
    setDefault->setData(QVariant::fromValue(style));
    connect(setDefault, &QAction::triggered, this,
            [this, style] { setDefaultStyleFromMenuItem(style); });
    menu->addSeparator();
    const bool custom = style && style->custom();
    const auto add = [&](const char *title, void (TWGraphicStyleController::*action)(),
                         bool enabled) {
        QAction *item = menu->addAction(dadoZiz(title));
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    add("Revert", &TWGraphicStyleController::revertSelectedStyle, custom);
    add("Save", &TWGraphicStyleController::saveSelectedStyle, custom);
    add("Save As...", &TWGraphicStyleController::saveSelectedStyleAs, true);
    add("Delete", &TWGraphicStyleController::deleteSelectedStyle, custom);
    return menu;
}

// --- actions ---

void TWGraphicStyleController::setStyleFromMenuItem(const std::shared_ptr<TWStyle> &style)
{
    if (m_document.bindingController && style)
        m_document.bindingController->applyStyleToSelection(style);
}

void TWGraphicStyleController::revertSelectedStyle()
{
    if (m_document.bindingController)
        m_document.bindingController->applyCurrentStyleToSelection();
}

void TWGraphicStyleController::saveSelectedStyle()
{
    if (!m_selectedStyle || !m_document.bindingController)
        return;
    if (!m_selectedStyle->custom()) {
        qWarning().noquote()
            << QStringLiteral("Cannot save standard style: %1").arg(m_selectedStyle->name());
        return;
    }
    // The shown values as a style leave mixed values out, so none is stored.
    const std::shared_ptr<TWStyle> shown =
        m_document.bindingController->newStyleFromCurrentSettings();
    const auto take = [&](const QString &group, const QStringList &keys) {
        const OrderedDictionary values = shown->group(group);
        for (const QString &key : keys) {
            const QVariant value = values.value(key);
            if (value.isValid())
                m_selectedStyle->setValue(group, key, value);
        }
    };
    take(TWStyle::GraphicGroup, TWGraphic::styleKeys());
    take(TWStyle::BranchGroup, TWMapBranch::styleKeys());
    if (!library().saveStyle(m_selectedStyle))
        qWarning().noquote() << "Could not save the style" << m_selectedStyle->name();
    updateStyleMenu();
}

void TWGraphicStyleController::saveSelectedStyleAs()
{
    TWInputPanel &panel = TWInputPanel::sharedInputPanel();
    if (panel.runInputPanelWithTitle(dadoZiz("Save Style As")) == TWInputPanel::OK)
        savePanelSave(panel.inputString());
}

bool TWGraphicStyleController::savePanelSave(const QString &name)
{
    if (name.trimmed().isEmpty() || !m_document.bindingController)
        return false;
    TWGraphicBindingController *binding = m_document.bindingController;
    const std::shared_ptr<TWStyle> style = binding->newStyleFromCurrentSettings();
    style->setName(name);
    if (!library().saveStyle(style))
        Alerts::current().runAlertPanel(dadoZiz("The style could not be saved."), name,
                                        {general("OK")});
    setSelectedStyle(style);
    if (TWMap *map = m_document.currentMap())
        for (const std::shared_ptr<TWGraphic> &graphic : map->selectedGraphics())
            graphic->setStyleID(style->identifier());
    updateStyleMenu();
    binding->updateCurrentStyle();
    return true;
}

void TWGraphicStyleController::updateSelectedStyle()
{
    TWGraphicBindingController *binding = m_document.bindingController;
    if (!binding || !binding->currentStyle())
        return;
    if (Alerts::current().runAlertPanel(
            dadoZiz("The settings for this style will be updated to the new settings."),
            dadoZiz("Applying this style to new or existing graphics will apply these new "
                    "settings."),
            {general("OK"), general("Cancel")}) != 0)
        return;
    const std::shared_ptr<TWStyle> style = binding->currentStyle();
    style->updatePropertiesToMatchStyle(*binding->newStyleFromCurrentSettings());
    // A library style is written at once, so that memory and disk agree
    // whatever the editor is then left with.
    if (!binding->currentStyleIsNew() && !library().saveStyle(style))
        qWarning().noquote() << "Could not save the style" << style->name();
    TWGraphicStyleEditor::sharedGraphicStyleEditor().editStyle(style);
    if (Alerts::current().runAlertPanel(
            dadoZiz("The style has been updated. Do you want to update existing graphics with "
                    "this style?"),
            dadoZiz("Graphics that have this style will be updated to the new settings."),
            {general("Yes"), general("No")}) != 0)
        return;
    if (TWMap *map = m_document.currentMap())
        map->updateStyleForGraphicsWithStyleID(style->identifier());
}

void TWGraphicStyleController::updateGraphicsWithSelectedStyle()
{
    TWGraphicBindingController *binding = m_document.bindingController;
    TWMap *map = m_document.currentMap();
    if (binding && map && binding->currentStyle())
        map->updateStyleForGraphicsWithStyleID(binding->currentStyle()->identifier());
}

void TWGraphicStyleController::setSelectedStyleAsDefault()
{
    TWMap *map = m_document.currentMap();
    if (map && m_document.bindingController)
        map->setDefaultGraphicStyle(m_document.bindingController->currentStyle());
}

void TWGraphicStyleController::setDefaultStyleFromMenuItem(const std::shared_ptr<TWStyle> &style)
{
    TWMap *map = m_document.currentMap();
    if (!map || !style)
        return;
    if (map->defaultGraphicStyleID() == style->identifier())
        map->setDefaultGraphicStyle(nullptr);
    else
        map->setDefaultGraphicStyle(style);
    updateStyleMenu();
}

void TWGraphicStyleController::deleteSelectedStyle()
{
    if (!m_selectedStyle)
        return;
    if (!library().deleteStyle(m_selectedStyle))
        Alerts::current().runAlertPanel(dadoZiz("The style could not be deleted."),
                                        m_selectedStyle->name(), {general("OK")});
    if (m_document.bindingController)
        setSelectedStyle(m_document.bindingController->updateCurrentStyle());
}

void TWGraphicStyleController::editSelectedStyle()
{
    if (m_document.bindingController)
        TWGraphicStyleEditor::sharedGraphicStyleEditor().editStyle(
            m_document.bindingController->currentStyle());
}

void TWGraphicStyleController::showStyleEditor()
{
    TWGraphicStyleEditor::sharedGraphicStyleEditor().showEditor();
}
