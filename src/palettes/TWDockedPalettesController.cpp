#include "palettes/TWDockedPalettesController.h"

#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWFloatingPalettesController.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPaletteMapping.h"
#include "platform/UserDefaults.h"

#include <QSet>

namespace {

QList<TWDockedPalettesController *> &liveControllers()
{
    static QList<TWDockedPalettesController *> controllers;
    return controllers;
}

void appendMissing(QStringList &list, const QStringList &more)
{
    for (const QString &id : more)
        if (!list.contains(id))
            list.append(id);
}

} // namespace

TWDockedPalettesController::TWDockedPalettesController(TWPaletteHost *document,
                                                       TWPaletteBezelContainerView *dock,
                                                       QObject *parent)
    : TWPalettesController(parent), m_dock(dock)
{
    registerDefaults();
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(UpdateDelayMilliseconds);
    connect(&m_updateTimer, &QTimer::timeout, this, &TWDockedPalettesController::selectionChanged);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const auto later = [this](const Notification &) { delayedUpdate(); };
    for (const QString &name : {TWMap::SelectedGraphicsChangedNotification,
                                TWGraphicBindingController::PalettesNeedsUpdateNotification,
                                TWPaletteServices::FloatingPaletteOpenedNotification,
                                TWPaletteServices::FloatingPaletteClosedNotification})
        m_observers.push_back(center.observe(name, nullptr, later));
    liveControllers().append(this);
    setDocument(document);
}

TWDockedPalettesController::~TWDockedPalettesController()
{
    m_updateTimer.stop();
    liveControllers().removeAll(this);
    if (m_dock)
        m_dock->setBezels({});
}

void TWDockedPalettesController::registerDefaults()
{
    UserDefaults &defaults = UserDefaults::standard();
    if (!defaults.registeredDefaults().contains(TWPaletteServices::DockOrderKey))
        defaults.registerDefaults(
            {{TWPaletteServices::DockOrderKey, TWPaletteMapping::defaultDockOrder()}});
}

QStringList TWDockedPalettesController::paletteDockOrder()
{
    return TWPaletteServices::paletteDockOrder();
}

void TWDockedPalettesController::setPaletteDockOrder(const QStringList &order)
{
    TWPaletteServices::setPaletteDockOrder(order);
}

QStringList TWDockedPalettesController::paletteIDsOrderedForDock(const QStringList &ids)
{
    QStringList rest = ids;
    QStringList result;
    for (const QString &id : paletteDockOrder()) {
        if (rest.removeOne(id))
            result.append(id);
    }
    return result + rest;
}

TWDockedPalettesController *TWDockedPalettesController::controllerForWindow(const QWidget *window)
{
    for (TWDockedPalettesController *controller : std::as_const(liveControllers()))
        if (controller->m_dock && controller->m_dock->window() == window)
            return controller;
    return nullptr;
}

void TWDockedPalettesController::delayedUpdate()
{
    m_updateTimer.start();
}

void TWDockedPalettesController::selectionChanged()
{
    m_updateTimer.stop();
    if (!m_dock)
        return;
    GraphicList selection;
    if (TWPaletteHost *doc = document(); doc && doc->mapsDocument())
        if (TWMap *map = doc->mapsDocument()->currentMap().get())
            selection = map->selectedGraphics();
    m_dock->setBezels(bezelsForSelection(selection));
}

QList<TWPaletteBezel *>
TWDockedPalettesController::bezelsForSelection(const GraphicList &graphics) const
{
    return bezelsForIDs(paletteIDsForSelection(graphics));
}

QStringList TWDockedPalettesController::paletteIDsForSelection(const GraphicList &graphics) const
{
    QStringList ids{TWPaletteIDs::Add, TWPaletteIDs::MapNavigator};
    if (graphics.empty()) {
        appendMissing(ids, TWPaletteMapping::mapPaletteIDs());
        return supportedAndDockedPaletteIDsFromArray(ids);
    }

    bool branch = false, attached = false;
    for (const auto &graphic : graphics) {
        if (graphic->isMainGraphic() || graphic->isEnclosedText())
            branch = true;
        else
            attached = true;
        if (branch && attached)
            break;
    }
    if (branch)
        appendMissing(ids, TWPaletteMapping::branchPalettesIDs());
    if (attached)
        appendMissing(ids, TWPaletteMapping::attachedGraphicPalettesIDs());
    for (const auto &graphic : graphics) {
        appendMissing(ids, TWPaletteMapping::supportedPaletteIDs(*graphic));
        if (graphic->isEnclosedText() && graphic->branch() && graphic->branch()->mainGraphic())
            appendMissing(ids,
                          TWPaletteMapping::supportedPaletteIDs(*graphic->branch()->mainGraphic()));
    }
    return supportedAndDockedPaletteIDsFromArray(ids);
}

QList<TWPaletteBezel *> TWDockedPalettesController::bezelsForIDs(const QStringList &ids) const
{
    QList<TWPaletteBezel *> result;
    for (const QString &id : ids) {
        TWPaletteBezel *b = bezel(id);
        if (!b)
            continue;
        if (b->displayingAlternateBezel() && b->alternateBezel())
            b = b->alternateBezel();
        if (!result.contains(b))
            result.append(b);
    }
    return result;
}

QStringList
TWDockedPalettesController::supportedAndDockedPaletteIDsFromArray(const QStringList &ids) const
{
    const QStringList &supported = TWPaletteMapping::applicationSupportedPaletteIDs();
    const TWFloatingPalettesController *floating =
        TWFloatingPalettesController::existingSharedController();
    const QStringList floatingIDs = floating ? floating->floatingPaletteIDs() : QStringList();
    QStringList kept;
    for (const QString &id : ids)
        if (supported.contains(id) && !floatingIDs.contains(id))
            kept.append(id);
    return paletteIDsOrderedForDock(kept);
}

void TWDockedPalettesController::documentWillClose()
{
    m_updateTimer.stop();
    TWPalettesController::documentWillClose();
}
