// The document's menu commands and their validation.

#include "application/LinkBackBus.h"
#include "application/LinkBackRegistry.h"
#include "application/TWDocument.h"

#include "application/TWDocumentViewController.h"
#include "application/TWTemplate.h"
#include "application/TWTemplateSelectorPanelController.h"
#include "canvas/TWFindController.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "styles/TWTheme.h"
#include "support/AttributedString.h"
#include "support/TWPreferences.h"
#include "support/XMLElement.h"

#include <QCursor>
#include <QDebug>
#include <QHash>
#include <QMenu>
#include <functional>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

using Command = std::function<void(TWDocument &, const TWMenuItem &)>;

const QHash<QString, Command> &commands()
{
    using D = TWDocument;
    using I = const TWMenuItem &;
    static const QHash<QString, Command> table{
        {"addMap:",
         [](D &d, I) {
             d.addMapUsingTemplate(UserDefaults::standard().boolForKey(
                 TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey));
             d.editNewMapTitle();
         }},
        {"addMapFromTemplate:",
         [](D &d, I) {
             d.addMapUsingTemplate(true);
             d.editNewMapTitle();
         }},
        {"zoomIn:", [](D &d, I) { d.zoomIn(); }},
        {"zoomOut:", [](D &d, I) { d.zoomOut(); }},
        {"zoomToFit:", [](D &d, I) { d.zoomToFit(); }},
        {"showZoomMenu:", [](D &d, I) { d.zoomMenu()->popup(QCursor::pos()); }},
        {"zoomMenuItemClicked:", [](D &d, I item) { d.zoomMenuItemClicked(item.tag); }},
        {"addNewDefaultGraphic:", [](D &d, I) { d.addNewDefaultGraphic(); }},
        {"addNewDefaultFirstLevelGraphic:", [](D &d, I) { d.addNewDefaultFirstLevelGraphic(); }},
        {"addNewDefaultFirstLevelGraphicAtSavedLocation:",
         [](D &d, I) { d.addNewDefaultFirstLevelGraphicAtSavedLocation(); }},
        {"deleteSelectedBranches:", [](D &d, I) { d.branchOperations(1); }},
        {"branchOperations:", [](D &d, I item) { d.branchOperations(item.tag); }},
        {"setDefaultGraphicType:", [](D &d, I item) { d.setDefaultGraphicType(item.tag); }},
        // Withdrawn: reached only through a disabled item.
        {"attachGraphic:",
         [](D &, I item) {
             Alerts::current().beep();
             qWarning("Impossible value in TWDocument attachGraphic (%d)", item.tag);
         }},
        {"sendGraphic:",
         [](D &, I item) {
             Alerts::current().beep();
             qWarning("Impossible value in TWDocument sendGraphic (%d)", item.tag);
         }},
        {"clearChangeCount:", [](D &d, I) { d.clearChangeCount(); }},
        {"editLinkBackItems:", [](D &d, I) { d.editLinkBackItems(); }},
        {"toggleContinuousSpellCheck:", [](D &, I) {}},
        {"spellingType:", [](D &, I) {}},
        // Find and spelling work across maps and documents.
        {"search:", [](D &, I) { TWFindController::shared().showFindPanel(); }},
        {"performFindPanelAction:",
         [](D &, I item) { TWFindController::shared().performFindPanelAction(item.tag); }},
        {"checkSpelling:", [](D &, I) { TWFindController::shared().checkSpelling(); }},
        {"showGuessPanel:", [](D &, I) { TWFindController::shared().showGuessPanel(); }},
        {"changeSpelling:",
         [](D &, I item) {
             TWFindController::shared().changeSpelling(item.representedObject.toString());
         }},
        {"saveMapToTemplate:", [](D &, I) {}},
        {"chooseTheme:", [](D &d, I) { d.chooseTheme(); }},
        {"saveTheme:", [](D &d, I) { d.saveTheme(); }},
        {"saveDocumentAsTemplate:",
         [](D &d, I) {
             TWTemplateController::sharedTemplateController().saveDocumentAsTemplate(d);
         }},
        {"centerInView:", [](D &d, I) { d.centerInView(); }},
        {"selectSiblings:",
         [](D &d, I) {
             if (TWMap *m = d.mapsDocument() ? d.mapsDocument()->currentMap().get() : nullptr)
                 m->publicSelectSiblings();
         }},
        {"selectDescendants:",
         [](D &d, I) {
             if (TWMap *m = d.mapsDocument() ? d.mapsDocument()->currentMap().get() : nullptr)
                 m->publicSelectDescendants();
         }},
        {"selectDadoZizTitle:", [](D &d, I) { d.selectDadoZizTitle(); }},
        {"setPageLayoutViewMode:", [](D &d, I item) { d.setPageLayoutViewMode(item.tag); }},
        {"togglePageFrames:",
         [](D &d, I) {
             if (d.mapsDocument())
                 d.setPageLayoutViewMode(d.mapsDocument()->showPageFrames() ? 0 : 1);
         }},
        {"revertDocumentToSaved:", [](D &d, I) { d.revertDocumentToSaved(); }},
        {"saveDocument:", [](D &d, I) { d.save(); }},
        {"undo:", [](D &d, I) { d.undoManager()->undo(); }},
        {"redo:", [](D &d, I) { d.undoManager()->redo(); }},
        {"saveDocumentAs:", [](D &d, I) { d.saveAs(); }},
    };
    return table;
}

QString newBranchTitle(int type)
{
    switch (type) {
    case 1:
        return dadoZiz("New Line Branch");
    case 2:
        return dadoZiz("New Rectangle Branch");
    case 3:
        return dadoZiz("New Oval Branch");
    case 4:
        return dadoZiz("New Image Branch");
    case 5:
        return dadoZiz("New FlexiBranch");
    default:
        return dadoZiz("New Branch");
    }
}

} // namespace

// --- zoom ---

const QList<float> &TWDocument::zoomSteps()
{
    static const QList<float> steps{25, 50, 75, 90, 100, 110, 125, 150, 200, 300, 400};
    return steps;
}

float TWDocument::nextZoomStep(float zoom, bool up)
{
    const QList<float> &steps = zoomSteps();
    if (up) {
        for (float step : steps)
            if (step > zoom)
                return step;
        return steps.last();
    }
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (*it < zoom)
            return *it;
    return steps.first();
}

namespace {
void setCurrentZoom(TWDocument &document, float percent)
{
    if (TWDocumentViewController *views = document.documentViewController())
        views->setMapZoomAmount(percent);
    else if (TWMap *map =
                 document.mapsDocument() ? document.mapsDocument()->currentMap().get() : nullptr)
        map->setZoomAmount(percent);
}

float currentZoom(const TWDocument &document)
{
    const TWMap *map =
        document.mapsDocument() ? document.mapsDocument()->currentMap().get() : nullptr;
    return map ? map->zoomAmount() : 100;
}
} // namespace

void TWDocument::zoomIn()
{
    setCurrentZoom(*this, nextZoomStep(currentZoom(*this), true));
}

void TWDocument::zoomOut()
{
    setCurrentZoom(*this, nextZoomStep(currentZoom(*this), false));
}

void TWDocument::zoomToFit()
{
    if (m_viewController)
        m_viewController->zoomToFitMapInWindow();
}

void TWDocument::zoomMenuItemClicked(int tag)
{
    if (tag == 0)
        zoomToFit();
    else
        setCurrentZoom(*this, float(tag));
}

QMenu *TWDocument::zoomMenu()
{
    if (!m_zoomMenu) {
        m_zoomMenu = new QMenu(m_window);
        m_zoomMenu->setObjectName(QStringLiteral("zoomMenu"));
        const auto add = [this](const QString &title, int tag) {
            QAction *item = m_zoomMenu->addAction(title);
            connect(item, &QAction::triggered, this, [this, tag] { zoomMenuItemClicked(tag); });
        };
        add(dadoZiz("Zoom to Fit"), 0);
        m_zoomMenu->addSeparator();
        for (float step : zoomSteps())
            add(QStringLiteral("%1 %").arg(int(step)), int(step));
    }
    return m_zoomMenu;
}

// --- maps and branches ---

void TWDocument::addMapUsingTemplate(bool useTemplate)
{
    if (!m_mapsDocument)
        return;
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWTheme> theme;
    if (useTemplate) {
        TWTemplateSelectorPanelController &chooser =
            TWTemplateSelectorPanelController::sharedTemplateSelectorPanelController();
        const int result = chooser.runModalSheetForWindow(mainWindow());
        if (result == TWTemplateSelectorPanelController::WithTheme ||
            result == TWTemplateSelectorPanelController::WithoutTheme) {
            const std::shared_ptr<TWTemplate> chosen = chooser.selectedTemplate();
            const std::shared_ptr<TWTemplateGroup> group = chooser.selectedTemplateGroup();
            if (result == TWTemplateSelectorPanelController::WithTheme)
                theme = chooser.selectedTheme();
            if (!chosen || chosen->mapXMLData.isEmpty()) {
                qWarning("Error generating XML string from selected template: %s",
                         chosen ? qUtf8Printable(chosen->name) : "(none)");
            } else {
                XMLElement element = XMLElement::parse(chosen->mapXMLData);
                if (!element.isNull()) {
                    if (group)
                        TWTemplateGroup::mergeCachedData(*m_mapsDocument, group->cachedData,
                                                         element);
                    map = TWMap::createWithXMLElement(element, m_mapsDocument.get(),
                                                      TWMap::Identifier::MakeNew);
                }
            }
        }
    }
    if (!map) {
        // A cancelled chooser still adds a blank map.
        addMap();
    } else {
        const int index = m_mapsDocument->countOfMaps();
        m_mapsDocument->insertObjectInMapsAtIndex(map, index);
        m_mapsDocument->setCurrentMapNumber(index);
        UndoManager::setActionName(undoManager(), dadoZiz("Create New Mind Map"));
        installLayout();
        if (map->zoomAmount() <= 0)
            map->setZoomAmount(100);
        if (map->scaleAmount() <= 0)
            map->setScaleAmount(100);
        if (m_viewController)
            m_viewController->followCurrentMap();
    }
    if (theme) {
        if (const std::shared_ptr<TWMap> &current = m_mapsDocument->currentMap()) {
            // The chooser's theme may come from a library other than the shared one.
            TWThemeManager &themes = TWThemeManager::sharedThemeManager();
            if (!themes.themeWithIdentifier(theme->identifier))
                themes.addTheme(theme);
            current->setTheme(theme);
            current->updateThemeIncludingGraphics(true);
        }
    }
}

void TWDocument::editNewMapTitle()
{
    // As in a new document: the map's title, ready to be typed over.
    const std::shared_ptr<TWMap> added = m_mapsDocument ? m_mapsDocument->currentMap() : nullptr;
    const std::shared_ptr<TWMapBranch> root = added ? added->root() : nullptr;
    if (!root || !root->enclosedTextArea())
        return;
    const QString title = dadoZiz("DadoZiz-Title");
    const AttributedString &text = root->enclosedTextArea()->text();
    if (root->countOfChildren() == 0 && text.string() != title) {
        // A blank map (a blank template's has a placeholder or nothing) gets
        // the new map's title, as part of the new map rather than as a step
        // of its own; the template's font stays.
        TextAttributes attributes =
            text.length() > 0 ? text.attributesAtIndex(0) : TextAttributes();
        if (!attributes.contains(NSFontAttributeName))
            attributes.insert(NSFontAttributeName,
                              QVariant::fromValue(TWPreferences::centerFont()));
        m_undoManager->disableUndoRegistration();
        root->enclosedTextArea()->setText(AttributedString(title, attributes));
        root->makeNaturalSize();
        m_undoManager->enableUndoRegistration();
    }
    if (TWGraphicView *view = graphicView())
        view->performPendingLayout();
    root->beginEditingEnclosedTextArea();
}

QList<std::shared_ptr<TWMap>> TWDocument::selectedMaps() const
{
    QList<std::shared_ptr<TWMap>> maps;
    if (m_mapsDocument && m_mapsDocument->currentMap())
        maps.append(m_mapsDocument->currentMap());
    return maps;
}

void TWDocument::chooseTheme()
{
    TWThemeManager::sharedThemeManager().showThemeSelectorPanel(mainWindow(), selectedMaps());
    if (TWGraphicView *view = graphicView())
        view->update();
}

void TWDocument::addNewDefaultGraphic()
{
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map)
        return;
    map->publicCreateChildren();
    NotificationCenter::defaultCenter().post(
        TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, m_mapsDocument.get());
}

void TWDocument::addNewDefaultFirstLevelGraphic()
{
    if (TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr)
        map->removeAllSelectedGraphics();
    addNewDefaultGraphic();
}

void TWDocument::addNewDefaultFirstLevelGraphicAtSavedLocation()
{
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map)
        return;
    map->removeAllSelectedGraphics();
    addNewDefaultGraphicAtSavedLocation(graphicView() ? graphicView()->savedLocation() : Point());
    NotificationCenter::defaultCenter().post(
        TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, m_mapsDocument.get());
}

void TWDocument::branchOperations(int tag)
{
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map)
        return;
    switch (tag) {
    case 0:
        map->publicCreateChildren();
        break;
    case 1:
        map->publicDeleteSelectedBranches();
        break;
    case 2:
        map->publicCreateSiblings();
        break;
    default:
        qWarning("Impossible value in TWDocument branchOperations");
    }
}

void TWDocument::setDefaultGraphicType(int type)
{
    if (m_mapsDocument)
        m_mapsDocument->setGraphicClassIdentifier(type);
}

void TWDocument::centerInView()
{
    TWGraphicView *view = graphicView();
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!view || !map)
        return;
    if (map->countOfSelectedGraphics() > 0)
        view->centerSelection();
    else
        view->centerRoot();
}

void TWDocument::setPageLayoutViewMode(int tag)
{
    if (m_mapsDocument && (tag == 0 || tag == 1))
        m_mapsDocument->setShowPageFrames(tag == 1);
}

void TWDocument::revertDocumentToSaved()
{
    if (m_fileName.isEmpty())
        return;
    const int answer = Alerts::current().runAlertPanel(
        dadoZiz("Do you want to revert to the most recently saved version of the document “%1”?")
            .arg(displayName()),
        dadoZiz("Your current changes will be lost."),
        {dadoZiz("Revert"), TWLocalizedString(StringTable::General, "Cancel")});
    if (answer == 0)
        revertToSaved();
}

void TWDocument::setDisplayName(const QString &name)
{
    m_displayName = name;
    if (m_window)
        m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));
}

// --- the menu chain ---

bool TWDocument::respondsToMenuAction(const QString &selector) const
{
    return commands().contains(selector);
}

void TWDocument::performMenuAction(const TWMenuItem &item)
{
    const auto command = commands().find(item.selector);
    if (command != commands().end())
        (*command)(*this, item);
}

bool TWDocument::validateMenuItem(TWMenuItem &item) const
{
    const QString &action = item.selector;
    const TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    const TWMap::GraphicList none;
    const TWMap::GraphicList &selected = map ? map->selectedGraphics() : none;
    const qsizetype count = selected.size();
    bool nonRoot = false;
    bool linked = false;
    for (const std::shared_ptr<TWGraphic> &graphic : selected) {
        const TWMapBranch *branch = graphic->branch();
        if (!branch)
            continue;
        if (branch != map->root().get())
            nonRoot = true;
        if (!branch->linkedGraphics().isEmpty())
            linked = true;
    }
    const int defaultType = m_mapsDocument ? m_mapsDocument->graphicClassIdentifier() : 0;
    const bool spellChecking = map && map->continuousSpellCheck();

    // What any document answers for the commands not named below.
    const auto standard = [this, &action, &item] {
        if (action == QLatin1String("revertDocumentToSaved:"))
            return !m_fileName.isEmpty() && isDocumentEdited();
        if (action == QLatin1String("undo:") || action == QLatin1String("redo:")) {
            const bool undo = action == QLatin1String("undo:");
            const QString name =
                undo ? m_undoManager->undoActionName() : m_undoManager->redoActionName();
            const QString verb = dadoZiz(undo ? "Undo" : "Redo");
            item.title = name.isEmpty() ? verb : verb + u' ' + name;
            return undo ? m_undoManager->canUndo() : m_undoManager->canRedo();
        }
        return true;
    };

    if (action == QLatin1String("togglePageFrames:")) {
        item.checked = m_mapsDocument && m_mapsDocument->showPageFrames();
        return true;
    }
    if (action == QLatin1String("editLinkBackItems:")) {
        const QList<std::shared_ptr<TWGraphic>> items = selectedLinkBackAttachments();
        if (items.size() == 1)
            item.title = LinkBackData::linkBackEditMenuTitle(items.first()->linkBackData().toMap());
        else
            item.title =
                items.isEmpty() ? LinkBackEditNoneMenuTitle() : LinkBackEditMultipleMenuTitle();
        // Items whose source can be reached neither here nor on the bus
        // cannot be edited.
        return std::any_of(items.cbegin(), items.cend(), [](const auto &g) {
            return linkBackCanEdit(g->linkBackData().toMap());
        });
    }
    if (action == QLatin1String("selectSiblings:"))
        return nonRoot;
    if (action == QLatin1String("selectDescendants:"))
        return count > 0;
    if (action == QLatin1String("setDefaultGraphicType:")) {
        item.checked = item.tag == defaultType;
        return true;
    }
    if (action == QLatin1String("toggleContinuousSpellCheck:")) {
        item.checked = spellChecking;
        return true;
    }
    if (action == QLatin1String("deleteSelectedBranches:"))
        return nonRoot && standard();
    // Withdrawn operations: their items stay, disabled.
    if (action == QLatin1String("attachGraphic:") || action == QLatin1String("sendGraphic:")) {
        const bool applies = action == QLatin1String("attachGraphic:") ? count > 0 : linked;
        if (!applies || (item.tag >= 0 && item.tag <= 3))
            return false;
        return standard();
    }
    if (action == QLatin1String("branchOperations:")) {
        switch (item.tag) {
        case 0:
            item.title = newBranchTitle(defaultType);
            return defaultType >= 1 && defaultType <= 5 && standard();
        case 1:
            return count > 0 && nonRoot && standard();
        case 2:
            item.title = dadoZiz("New Sibling Branch");
            return count > 0 && nonRoot && standard();
        default:
            return standard();
        }
    }
    if (action == QLatin1String("spellingType:")) {
        item.checked = (item.tag == 0 && !spellChecking) || (item.tag == 1 && spellChecking);
        return standard();
    }
    return standard();
}
