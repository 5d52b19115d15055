#include "palettes/TWGraphicStyleController.h"

#include "graphics/TWGraphic.h"
#include "interface/TWInputPanel.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWGraphicStyleEditor.h"
#include "palettes/TWStyleView.h"
#include "platform/Alerts.h"
#include "styles/TWStyleManager.h"

#include <QDebug>
#include <QMenu>

TWGraphicStyleController::TWGraphicStyleController(QObject *parent)
    : TWStyleController(QStringLiteral("graphicStyles"), parent)
{
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(UpdateDelayMilliseconds);
    connect(&m_updateTimer, &QTimer::timeout, this, &TWGraphicStyleController::update);
}

TWGraphicStyleController::~TWGraphicStyleController()
{
    disconnect(m_bindingConnection);
}

QList<std::shared_ptr<TWStyle>> TWGraphicStyleController::libraryStyles() const
{
    return library().graphicStyles().values();
}

void TWGraphicStyleController::documentChanged()
{
    disconnect(m_bindingConnection);
    if (m_document.bindingController)
        m_bindingConnection =
            connect(m_document.bindingController, &TWGraphicBindingController::currentStyleChanged,
                    this, &TWGraphicStyleController::scheduleUpdate);
    scheduleUpdate();
}

void TWGraphicStyleController::libraryChanged()
{
    updateStyleMenu();
    scheduleUpdate();
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
    addSelectedStyleItems(menu);
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
