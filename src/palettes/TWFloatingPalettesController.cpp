#include "palettes/TWFloatingPalettesController.h"

#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPaletteWindow.h"
#include "platform/Geometry.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

namespace {

TWFloatingPalettesController *&shared()
{
    static TWFloatingPalettesController *controller = nullptr;
    return controller;
}

QRect rectFromString(const QString &text)
{
    const Rect r = Rect::fromString(text);
    return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height()));
}

} // namespace

TWFloatingPalettesController &TWFloatingPalettesController::sharedFloatingPalettesController()
{
    if (!shared())
        shared() = new TWFloatingPalettesController;
    return *shared();
}

TWFloatingPalettesController *TWFloatingPalettesController::existingSharedController()
{
    return shared();
}

void TWFloatingPalettesController::setSharedFloatingPalettesController(
    TWFloatingPalettesController *controller)
{
    shared() = controller;
}

TWFloatingPalettesController::TWFloatingPalettesController(QObject *parent)
    : TWPalettesController(parent)
{
    TWDockedPalettesController::registerDefaults();
    TWPaletteServices::setInstance(this);
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this,
                &TWFloatingPalettesController::appWillClose);
    restoreSaveStates();
}

TWFloatingPalettesController::~TWFloatingPalettesController()
{
    if (TWPaletteServices::instance() == this)
        TWPaletteServices::setInstance(nullptr);
    if (shared() == this)
        shared() = nullptr;
    for (const QPointer<TWPaletteWindow> &window : std::as_const(m_paletteWindows)) {
        if (!window)
            continue;
        // The bezels belong to the registry, which frees them itself.
        window->bezelContainer()->setFloating(false);
        window->bezelContainer()->setBezels({});
        delete window.data();
    }
}

void TWFloatingPalettesController::activeDocumentChanged(TWPaletteHost *document)
{
    setDocument(document);
}

QList<TWPaletteWindow *> TWFloatingPalettesController::paletteWindows() const
{
    QList<TWPaletteWindow *> windows;
    for (const QPointer<TWPaletteWindow> &window : m_paletteWindows)
        if (window)
            windows.append(window);
    return windows;
}

QStringList TWFloatingPalettesController::floatingPaletteIDs() const
{
    QStringList ids;
    for (TWPaletteWindow *window : paletteWindows())
        for (TWPaletteBezel *bezel : window->bezelContainer()->bezels())
            if (!ids.contains(bezel->paletteID()))
                ids.append(bezel->paletteID());
    return ids;
}

TWPaletteWindow *TWFloatingPalettesController::openWindow(const QRect &contentRect,
                                                          const QList<TWPaletteBezel *> &bezels)
{
    auto *window = new TWPaletteWindow(contentRect);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->bezelContainer()->setBezels(bezels);
    m_paletteWindows.removeAll(nullptr);
    m_paletteWindows.append(window);
    window->show();
    window->raise();
    return window;
}

void TWFloatingPalettesController::restoreSaveStates()
{
    const QVariantList states = UserDefaults::standard().objectForKey(SaveStatesKey).toList();
    for (const QVariant &state : states) {
        const QVariantMap dictionary = state.toMap();
        const QStringList ids = dictionary.value(TWPaletteWindow::PaletteIDsKey).toStringList();
        QList<TWPaletteBezel *> bezels;
        for (const QString &id : ids)
            if (TWPaletteBezel *b = bezel(id); b && !bezels.contains(b))
                bezels.append(b);
        // Palettes whose plug-in is gone leave nothing to show.
        if (bezels.isEmpty())
            continue;
        openWindow(rectFromString(dictionary.value(TWPaletteWindow::WindowFrameKey).toString()),
                   bezels);
    }
}

void TWFloatingPalettesController::appWillClose()
{
    QVariantList states;
    for (TWPaletteWindow *window : paletteWindows()) {
        const QVariantMap state = window->saveDictionary();
        if (!state.isEmpty())
            states.append(state);
    }
    UserDefaults::standard().setObject(states, SaveStatesKey);
}

void TWFloatingPalettesController::detachPaletteWithID(const QString &paletteID, QPoint globalPoint)
{
    TWPaletteBezel *b = bezel(paletteID);
    if (!b)
        return;
    if (TWPaletteBezelContainerView *holder = b->bezelContainer())
        holder->removeBezel(b);
    openWindow(QRect(globalPoint, b->size()), {b});
    NotificationCenter::defaultCenter().post(FloatingPaletteOpenedNotification, this,
                                             {{PaletteIDKey, paletteID}});
}

TWPaletteBezel *TWFloatingPalettesController::floatingBezel(const QString &paletteID)
{
    return bezel(paletteID);
}

TWPaletteBezel *TWFloatingPalettesController::dockedBezel(QWidget *window, const QString &paletteID)
{
    TWDockedPalettesController *docked = TWDockedPalettesController::controllerForWindow(window);
    return docked ? docked->bezel(paletteID) : nullptr;
}

void TWFloatingPalettesController::detachPalette(const QString &paletteID, QPoint globalPoint)
{
    detachPaletteWithID(paletteID, globalPoint);
}
