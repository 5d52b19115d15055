// The document's window: building it, its set-up steps and closing it.

#include "application/TWDocument.h"

#include "application/KeptDocuments.h"
#include "application/TWDocumentViewController.h"
#include "application/TWDocumentWindow.h"
#include "application/TWSaveProgress.h"
#include "canvas/SpellableTextView.h"
#include "canvas/TWGraphicView.h"
#include "interface/TWCSliderCell.h"
#include "interface/WheelScrollsPane.h"
#include "mapdrawing/TWPrintView.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPalettesController.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTextEdit>
#include <QVariantAnimation>
#include <cmath>

namespace {
constexpr QSize DefaultWindowSize(900, 650);
constexpr int MinimumZoom = 20;
constexpr int MaximumZoom = 400;
// How long the palette pane takes to open or close.
constexpr int PaletteAnimationMs = 200;

// The width at which the palette pane shows a docked bezel whole, its
// scroll bar beside it.
int paletteDockWidth(const QScrollArea &pane)
{
    return TWPalettesController::BezelWidth +
           pane.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &pane) +
           2 * pane.frameWidth();
}

QString frameString(const QRect &r)
{
    return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

std::optional<QRect> frameFromString(const QString &text)
{
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() < 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}
} // namespace

QWidget *TWDocument::mainWindow() const
{
    return m_window;
}

TWGraphicView *TWDocument::graphicView() const
{
    return m_viewController ? m_viewController->graphicView() : nullptr;
}

void TWDocument::makeWindowControllers()
{
    if (m_window)
        return;
    m_window = new TWDocumentWindow(this);
    m_window->setObjectName(QStringLiteral("mainWindow"));
    setWindow(m_window);

    m_mainSplitView = new QSplitter(Qt::Horizontal, m_window);
    m_mainSplitView->setObjectName(QStringLiteral("mainSplitView"));
    m_mainSplitView->setAutoFillBackground(true);
    m_mainSplitView->setChildrenCollapsible(true);

    auto *mapPane = new QWidget(m_mainSplitView);
    // The split view's colour shows between the panes, not under the map's controls.
    mapPane->setPalette(QApplication::palette());
    mapPane->setAutoFillBackground(true);
    auto *mapLayout = new QVBoxLayout(mapPane);
    mapLayout->setContentsMargins(0, 0, 0, 0);
    mapLayout->setSpacing(0);
    // Setting the window up is not undoable (its steps are removed below):
    // the move of a whole map onto the canvas records nothing for undo.
    // Removing them enables registration again.
    m_undoManager->disableUndoRegistration();
    m_viewController = new TWDocumentViewController(this, mapPane, true);
    mapLayout->addWidget(m_viewController->scrollView(), 1);

    auto *bar = new QWidget(mapPane);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 2, 6, 2);
    m_zoomSlider = new TWCSliderCell(Qt::Horizontal, bar);
    m_zoomSlider->setObjectName(QStringLiteral("zoomSlider"));
    m_zoomSlider->setFixedWidth(140);
    // A click on it leaves the keys with the map.
    m_zoomSlider->setFocusPolicy(Qt::NoFocus);
    m_zoomSlider->setRange(MinimumZoom, MaximumZoom);
    m_zoomSlider->setValue(100);
    auto *zoomLabel = new QLabel(QStringLiteral("100 %"), bar);
    barLayout->addStretch(1);
    barLayout->addWidget(zoomLabel);
    barLayout->addWidget(m_zoomSlider);
    mapLayout->addWidget(bar);
    connect(m_zoomSlider, &QSlider::valueChanged, this, [this, zoomLabel](int value) {
        zoomLabel->setText(QStringLiteral("%1 %").arg(value));
        if (m_viewController)
            m_viewController->setMapZoomAmount(float(value));
    });
    const auto showZoom = [this, zoomLabel](float percent) {
        const QSignalBlocker quiet(m_zoomSlider);
        // A map fitted into the window may need more than the usual range.
        const int value = std::max(1, int(std::lround(percent)));
        m_zoomSlider->setRange(std::min<int>(MinimumZoom, value), std::max<int>(MaximumZoom, value));
        m_zoomSlider->setValue(value);
        zoomLabel->setText(QStringLiteral("%1 %").arg(value));
    };
    connect(m_viewController, &TWDocumentViewController::zoomAmountChanged, m_zoomSlider,
            showZoom);

    m_paletteScrollView = new QScrollArea(m_mainSplitView);
    m_paletteScrollView->setObjectName(QStringLiteral("paletteScrollView"));
    m_paletteScrollView->setWidgetResizable(true);
    m_paletteScrollView->setMinimumWidth(0);
    m_paletteScrollView->setFocusPolicy(Qt::NoFocus);
    m_paletteDock = new TWPaletteBezelContainerView;
    m_paletteDock->setObjectName(QStringLiteral("paletteDock"));
    m_paletteScrollView->setWidget(m_paletteDock);
    WheelScrollsPane::install(m_paletteScrollView);
    m_mainSplitView->addWidget(mapPane);
    m_mainSplitView->addWidget(m_paletteScrollView);
    m_mainSplitView->setStretchFactor(0, 1);
    m_mainSplitView->setStretchFactor(1, 0);
    // The palettes beside the map show at once, each bezel whole.
    m_paletteWidth = paletteDockWidth(*m_paletteScrollView);
    // Sized before the window shows, so that the window's own size goes to
    // the map rather than spread over both panes.
    m_mainSplitView->resize(DefaultWindowSize);
    m_mainSplitView->setSizes({DefaultWindowSize.width() - m_paletteWidth, m_paletteWidth});
    m_window->setCentralWidget(m_mainSplitView);
    m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));

    awakeFromNib();
    windowControllerDidLoadNib();
    m_dockedPalettesController = std::make_unique<TWDockedPalettesController>(this, m_paletteDock);
    m_dockedPalettesController->selectionChanged();
    editionWindowDidLoad();
    keepKeysWithCanvas();
    // The zoom the map was opened at, which no change has announced.
    if (m_viewController && m_viewController->zoomAmount() > 0)
        showZoom(m_viewController->zoomAmount());
}

namespace {
// Controls that the user types into keep the keys once clicked.
bool takesTypedText(const QWidget *widget)
{
    if (qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget) ||
        qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget) ||
        qobject_cast<const QAbstractItemView *>(widget))
        return true;
    const auto *combo = qobject_cast<const QComboBox *>(widget);
    return combo && combo->isEditable();
}
} // namespace

void TWDocument::keepKeysWithCanvas()
{
    // The palettes' buttons, pop-ups and sliders are used with the pointer:
    // a click on one gives the keys back to the canvas, whose keys grow the map.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        TWGraphicView *canvas = graphicView();
        if (!now || !canvas || !m_window || now->window() != m_window || now == canvas ||
            canvas->isAncestorOf(now) || takesTypedText(now))
            return;
        // A label being edited keeps them: what is typed goes into it.
        QWidget *keys = canvas;
        if (canvas->editingTextArea() && canvas->editorView())
            keys = canvas->editorView();
        if (m_paletteScrollView && m_paletteScrollView->isAncestorOf(now))
            keys->setFocus(Qt::OtherFocusReason);
    });
}

void TWDocument::awakeFromNib()
{
    UserDefaults &defaults = UserDefaults::standard();
    const QString key = FrameKeyFormat.arg(m_fileName);
    if (!m_fileName.isEmpty() && defaults.hasStoredValue(key)) {
        if (const std::optional<QRect> frame = frameFromString(defaults.stringForKey(key))) {
            m_window->setGeometry(*frame);
            return;
        }
    }
    m_window->resize(DefaultWindowSize);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), DefaultWindowSize);
        frame.moveCenter(screen->availableGeometry().center());
        m_window->setGeometry(frame);
    }
}

void TWDocument::windowControllerDidLoadNib()
{
    // Main or key changes recolour the split view.
    connect(m_window, &TWDocumentWindow::activationChanged, this,
            &TWDocument::updateSplitViewColor);
    // The editions' own scrollers replace the platform's in their own set-up.
    {
        const TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
        const QSignalBlocker quiet(m_zoomSlider);
        m_zoomSlider->setValue(map && map->zoomAmount() > 0 ? int(std::lround(map->zoomAmount()))
                                                            : 100);
    }
    // The window closes the document with it and is placed, not cascaded.
    if (TWGraphicView *view = graphicView())
        view->setFocus();
    m_observers.push_back(NotificationCenter::defaultCenter().observe(
        TWMapsDoc::SelectedGraphicsChangedNotification, nullptr,
        [this](const Notification &n) { selectionChanged(n); }));
    observeMapsDocument();
    if (m_mapsDocument && m_mapsDocument->currentMapNumber() == -1) {
        addMap();
        if (const TWMap *map = m_mapsDocument->currentMap().get(); map && map->root())
            map->root()->beginEditingEnclosedTextArea();
    }
    // Building the document is not undoable; what the canvas laid out so far
    // closes its step first.
    if (TWGraphicView *view = graphicView())
        view->performPendingLayout();
    m_undoManager->setLevelsOfUndo(UndoManager::DocumentLevelsOfUndo);
    m_undoManager->removeAllActions();
    Q_ASSERT(m_undoManager->isUndoRegistrationEnabled());
    // A kept copy opened again is unsaved work from the start.
    setChangeCount(m_keptCopy.isEmpty() ? 0 : 1);
    m_window->setDocumentEdited(isDocumentEdited());
    if (TWGraphicView *view = graphicView())
        view->centerRoot();
    updateSplitViewColor();
}

void TWDocument::observeMapsDocument()
{
    m_mapTabsObserver = NotificationCenter::defaultCenter().observe(
        TWMapsDoc::UpdateMapTabsNotification, m_mapsDocument.get(),
        [this](const Notification &) { syncZoomSlider(); });
}

void TWDocument::syncZoomSlider()
{
    installLayout();
    if (m_zoomSlider && m_mapsDocument && m_mapsDocument->currentMap()) {
        const QSignalBlocker quiet(m_zoomSlider);
        m_zoomSlider->setValue(int(std::lround(m_mapsDocument->currentMap()->zoomAmount())));
    }
}

void TWDocument::addMap()
{
    // The template chooser comes with the templates; a blank map until then.
    m_mapsDocument->publicCreateNewMapAtIndex(m_mapsDocument->countOfMaps());
    installLayout();
    if (TWMap *map = m_mapsDocument->currentMap().get()) {
        // The map was made before it had a layout to measure its title with:
        // the central branch takes the size of its text now, as part of the
        // new map rather than as a step of its own.
        if (map->root()) {
            m_undoManager->disableUndoRegistration();
            map->root()->makeNaturalSize();
            m_undoManager->enableUndoRegistration();
        }
        if (map->zoomAmount() <= 0)
            map->setZoomAmount(100);
        if (map->scaleAmount() <= 0)
            map->setScaleAmount(100);
    }
    if (m_viewController)
        m_viewController->followCurrentMap();
}

void TWDocument::showWindows()
{
    if (!m_window)
        makeWindowControllers();
    const bool first = !m_window->isVisible();
    m_window->show();
    // The root is centred once the window has its size.
    if (first && m_viewController) {
        m_viewController->update();
        graphicView()->centerRoot();
    }
    m_window->raise();
    m_window->activateWindow();
}

void TWDocument::updateSplitViewColor()
{
    if (!m_window || !m_mainSplitView)
        return;
    QPalette palette = m_mainSplitView->palette();
    const QPalette system = QApplication::palette();
    QColor colour = system.color(QPalette::Window);
    if (m_window->isActiveWindow())
        colour = system.color(QPalette::Active, QPalette::Mid);
    palette.setColor(QPalette::Window, colour);
    m_mainSplitView->setPalette(palette);
}

bool TWDocument::paletteViewVisible() const
{
    if (!m_mainSplitView)
        return false;
    const QList<int> sizes = m_mainSplitView->sizes();
    return sizes.size() > 1 && sizes.at(1) > 0;
}

void TWDocument::setPaletteViewVisible(bool visible)
{
    if (!m_mainSplitView || visible == paletteViewVisible())
        return;
    const QList<int> sizes = m_mainSplitView->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (!visible)
        m_paletteWidth = std::max(sizes.value(1), 120);
    delete m_paletteAnimation;
    m_paletteAnimation = new QVariantAnimation(this);
    m_paletteAnimation->setDuration(PaletteAnimationMs);
    m_paletteAnimation->setStartValue(sizes.value(1));
    // Reopened, the pane shows its bezels whole again.
    m_paletteAnimation->setEndValue(
        visible ? std::max(m_paletteWidth, paletteDockWidth(*m_paletteScrollView)) : 0);
    connect(m_paletteAnimation, &QVariantAnimation::valueChanged, this,
            [this, total](const QVariant &value) {
                const int pane = value.toInt();
                m_mainSplitView->setSizes({total - pane, pane});
            });
    m_paletteAnimation->start();
}

bool TWDocument::canCloseDocument()
{
    if (m_closed)
        return true;
    // A window whose document (or another) is being written stays open.
    if (TWSaveProgress::isRunning())
        return false;
    if (!isDocumentEdited())
        return true;
    const QString title =
        TWLocalizedString(StringTable::DadoZiz,
                          "Do you want to save the changes you made in the document “%1”?")
            .arg(displayName());
    const int answer = Alerts::current().runAlertPanel(
        title,
        TWLocalizedString(StringTable::DadoZiz,
                          "Your changes will be lost if you don't save them."),
        {TWLocalizedString(StringTable::DadoZiz, "Save"),
         TWLocalizedString(StringTable::General, "Cancel"),
         TWLocalizedString(StringTable::DadoZiz, "Don't Save")});
    if (answer == 0)
        return save();
    return answer == 2;
}

void TWDocument::close()
{
    if (m_closed)
        return;
    // A link ending or a close command while a save runs: once it is done.
    if (TWSaveProgress::isRunning()) {
        TWSaveProgress::whenNoSaveRuns(this, [this] { close(); });
        return;
    }
    if (!m_window) {
        windowWillClose(nullptr);
        return;
    }
    // Closing without asking: what the close command decided, or a link ending.
    const int count = m_changeCount;
    m_changeCount = 0;
    if (!m_window->close())
        m_changeCount = count;
}

void TWDocument::windowWillClose(QWidget *window)
{
    if (m_closed || window != m_window)
        return;
    m_closed = true;
    closeLinkIfNeeded();
    closeActiveLinks();
    if (m_viewController)
        m_viewController->graphicView()->setDocument(nullptr);
    if (m_mapsDocument) {
        m_mapsDocument->setDocument(nullptr);
        m_mapsDocument->deparent();
    }
    NotificationCenter::defaultCenter().post(WillCloseNotification, this);
    // Closed without saving: its kept copy goes, unless it is what the
    // next launch opens.
    if (!m_keptForNextLaunch)
        KeptDocuments::discard(std::exchange(m_keptCopy, QString()));
    if (m_window && !m_fileName.isEmpty())
        UserDefaults::standard().setString(frameString(m_window->normalGeometry()),
                                           FrameKeyFormat.arg(m_fileName));
}
