#include "canvas/TWToolPaletteController.h"

#include "canvas/TWGraphicView.h"
#include "canvas/TWToolPictures.h"
#include "interface/TWDraggableBackgroundView.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int ButtonSize = 32;
constexpr int ToolPictureSize = 22;
constexpr int BadgeSize = 12;

const char *const ToolTips[] = {
    nullptr,
    "Add child branches",
    "Add sibling branch below the selected branch",
    "DirivOzaz mode - type text, then press Return and continue typing to create multiple "
    "branches",
    "Graft mode - drag a branch over another branch to graft it",
    "Link lines - drag from start graphic or branch to end graphic or branch to create link line",
    "Zoom - drag a selection to zoom to show the selection, or click to zoom in. Option-click to "
    "zoom out",
    "Scroll canvas - drag the canvas around",
};

QList<TWGraphicView *> everyCanvas()
{
    QList<TWGraphicView *> canvases;
    for (QWidget *widget : QApplication::allWidgets()) {
        if (auto *canvas = qobject_cast<TWGraphicView *>(widget))
            canvases.append(canvas);
    }
    return canvases;
}

} // namespace

// --- the buttons ---

TWToolPaletteButton::TWToolPaletteButton(int mode, QWidget *parent)
    : QToolButton(parent), m_mode(mode)
{
    setCheckable(true);
    setAutoRaise(true);
    setFixedSize(ButtonSize, ButtonSize);
    setIconSize(QSize(ToolPictureSize, ToolPictureSize));
    setIcon(QIcon(QPixmap::fromImage(TWToolPictures::toolImage(mode, ToolPictureSize * 2))));
}

void TWToolPaletteButton::lock()
{
    m_lockedIn = true;
    QToolButton::update();
}

void TWToolPaletteButton::unlock()
{
    m_lockedIn = false;
    QToolButton::update();
}

QString TWToolPaletteButton::badgeName() const
{
    if (!isChecked())
        return QString();
    return m_lockedIn ? QStringLiteral("toolPaletteInfinite") : QStringLiteral("toolPalette1");
}

void TWToolPaletteButton::paintEvent(QPaintEvent *event)
{
    QToolButton::paintEvent(event);
    const QString badge = badgeName();
    if (badge.isEmpty())
        return;
    QPainter painter(this);
    painter.setOpacity(0.9);
    painter.drawImage(QRectF(2, 2, BadgeSize, BadgeSize),
                      TWToolPictures::picture(badge, BadgeSize * 2));
}

// --- the controller ---

TWToolPaletteController::TWToolPaletteController(QObject *parent) : QObject(parent)
{
    buildPanel();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(TWGraphicView::DrawingModeDidChangeNotification, nullptr,
                                         [this](const Notification &) { update(); }));
    m_observers.push_back(
        center.observe(FullScreenChangedNotification, nullptr,
                       [this](const Notification &) { checkToolPalettePosition(); }));
    update();
}

TWToolPaletteController::~TWToolPaletteController()
{
    m_observers.clear();
    delete m_panel;
}

TWToolPaletteController &TWToolPaletteController::sharedToolPaletteController()
{
    // Kept to the end of the run: its window must not outlive the application.
    static auto *shared = new TWToolPaletteController;
    return *shared;
}

void TWToolPaletteController::buildPanel()
{
    m_panel = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                       Qt::WindowDoesNotAcceptFocus);
    m_panel->setAttribute(Qt::WA_ShowWithoutActivating);
    // The palette never takes the focus: its tips must show all the same.
    m_panel->setAttribute(Qt::WA_AlwaysShowToolTips);
    m_panel->setAutoFillBackground(true);
    m_panel->setWindowTitle(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Tools")));
    auto *outer = new QVBoxLayout(m_panel);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *background = new TWDraggableBackgroundView(m_panel);
    outer->addWidget(background);

    auto *layout = new QGridLayout(background);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->setSpacing(2);
    m_closeButton = new QToolButton(background);
    m_closeButton->setAutoRaise(true);
    m_closeButton->setFixedSize(14, 14);
    m_closeButton->setIconSize(QSize(12, 12));
    m_closeButton->setIcon(
        QIcon(QPixmap::fromImage(TWToolPictures::picture(QStringLiteral("closeBoxNormal"), 24))));
    m_closeButton->installEventFilter(this);
    connect(m_closeButton, &QToolButton::clicked, this, [this] { closePanel(); });
    layout->addWidget(m_closeButton, 0, 0, Qt::AlignLeft | Qt::AlignTop);

    m_buttons = new QButtonGroup(this);
    m_buttons->setExclusive(true);
    for (int mode = 0; mode < 8; ++mode) {
        auto *button = new TWToolPaletteButton(mode, background);
        if (ToolTips[mode])
            button->setToolTip(
                TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(ToolTips[mode])));
        m_buttons->addButton(button, mode);
        layout->addWidget(button, 1 + mode / 2, mode % 2);
        connect(button, &QToolButton::clicked, this, [this, mode] { toolClicked(mode); });
    }
    m_panel->adjustSize();
    restoreFrame();
    m_panel->installEventFilter(this);
}

TWToolPaletteButton *TWToolPaletteController::button(int mode) const
{
    return qobject_cast<TWToolPaletteButton *>(m_buttons->button(mode));
}

TWGraphicView *TWToolPaletteController::inspectingCanvas() const
{
    return m_canvas;
}

void TWToolPaletteController::restoreFrame()
{
    m_restoring = true;
    const QString stored = UserDefaults::standard().stringForKey(FrameName);
    const Rect frame = stored.isEmpty() ? Rect() : Rect::fromString(stored);
    if (frame.width() > 0 && frame.height() > 0) {
        m_panel->move(QPoint(int(frame.x()), int(frame.y())));
    } else {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const int top = screen ? screen->availableGeometry().top() : 0;
        m_panel->move(50, top + 50);
    }
    m_restoring = false;
}

void TWToolPaletteController::saveFrame()
{
    if (m_restoring)
        return;
    const QRect frame = m_panel->frameGeometry();
    UserDefaults::standard().setString(
        Rect(float(frame.x()), float(frame.y()), float(frame.width()), float(frame.height()))
            .toString(),
        FrameName);
}

bool TWToolPaletteController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_panel) {
        if (event->type() == QEvent::Move)
            saveFrame();
        else if (event->type() == QEvent::Show && m_panel->windowHandle())
            connect(m_panel->windowHandle(), &QWindow::screenChanged, this,
                    &TWToolPaletteController::checkToolPalettePosition, Qt::UniqueConnection);
    } else if (watched == m_closeButton) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
            const QString name = event->type() == QEvent::Enter ? QStringLiteral("closeBoxRollover")
                                                                : QStringLiteral("closeBoxNormal");
            m_closeButton->setIcon(QIcon(QPixmap::fromImage(TWToolPictures::picture(name, 24))));
        }
    }
    return QObject::eventFilter(watched, event);
}

void TWToolPaletteController::showPanel()
{
    m_panel->show();
    m_panel->raise();
    UserDefaults::standard().setBool(true, QString::fromLatin1(TWPreferences::ShowToolPaletteKey));
}

void TWToolPaletteController::closePanel()
{
    const QList<TWGraphicView *> canvases = m_canvasProvider ? m_canvasProvider() : everyCanvas();
    for (TWGraphicView *canvas : canvases) {
        canvas->unlockDrawingMode();
        canvas->setDrawingMode(TWGraphicView::SelectMode);
    }
    UserDefaults::standard().setBool(false, QString::fromLatin1(TWPreferences::ShowToolPaletteKey));
    saveFrame();
    m_panel->hide();
}

void TWToolPaletteController::setCanvasProvider(std::function<QList<TWGraphicView *>()> provider)
{
    m_canvasProvider = std::move(provider);
}

void TWToolPaletteController::setMainWindow(QWidget *window)
{
    TWGraphicView *canvas = qobject_cast<TWGraphicView *>(window);
    if (!canvas && window)
        canvas = window->findChild<TWGraphicView *>();
    m_canvas = canvas;
    update();
}

void TWToolPaletteController::unlockAll()
{
    for (QAbstractButton *b : m_buttons->buttons())
        static_cast<TWToolPaletteButton *>(b)->unlock();
}

void TWToolPaletteController::update()
{
    unlockAll();
    if (!m_canvas) {
        button(TWGraphicView::SelectMode)->setChecked(true);
        return;
    }
    TWToolPaletteButton *current = button(m_canvas->drawingMode());
    if (!current)
        return;
    current->setChecked(true);
    if (m_canvas->modeLockedIn())
        current->lock();
}

void TWToolPaletteController::toolClicked(int mode)
{
    TWGraphicView *canvas = m_canvas;
    if (canvas) {
        if (mode == TWGraphicView::SelectMode) {
            canvas->unlockDrawingMode();
            canvas->setDrawingMode(mode);
        } else {
            if (mode == TWGraphicView::LinkLineMode && canvas->window()) {
                canvas->window()->raise();
                canvas->window()->activateWindow();
            }
            // A second click on the tool, or the second click of a double
            // click, locks it; a click on the locked tool frees it again.
            const bool lock = canvas->drawingMode() == mode && !canvas->modeLockedIn();
            if (lock)
                canvas->lockDrawingMode();
            else
                canvas->unlockDrawingMode();
            canvas->setDrawingMode(mode);
        }
    }
    update();
}

void TWToolPaletteController::checkToolPalettePosition()
{
    const QScreen *screen = m_panel->screen();
    if (!screen)
        return;
    const QRect visible = screen->availableGeometry();
    QRect frame = m_panel->frameGeometry();
    if (frame.top() < visible.top())
        frame.moveTop(visible.top());
    if (frame.bottom() > visible.bottom())
        frame.moveBottom(visible.bottom());
    if (frame.topLeft() != m_panel->frameGeometry().topLeft())
        m_panel->move(frame.topLeft());
    saveFrame();
}
