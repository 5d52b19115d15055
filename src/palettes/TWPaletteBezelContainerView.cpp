#include "palettes/TWPaletteBezelContainerView.h"

#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteServices.h"
#include "palettes/TWPaletteWindow.h"
#include "platform/NotificationCenter.h"

#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <QTransform>
#include <cmath>

namespace {

TWPaletteBezelContainerView::Scheduler &scheduler()
{
    static TWPaletteBezelContainerView::Scheduler s = [](double seconds, QObject *context,
                                                         std::function<void()> work) {
        QTimer::singleShot(int(std::lround(seconds * 1000)), context, std::move(work));
    };
    return s;
}

} // namespace

// ---------------------------------------------------------------- flip view

TWPaletteFlipView::TWPaletteFlipView(const QImage &startImage, const QImage &endImage,
                                     double transitionTime, bool reverse, QWidget *parent)
    : QWidget(parent), m_start(startImage), m_end(endImage), m_transitionTime(transitionTime),
      m_reverse(reverse)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setProgress(value.toDouble()); });
}

void TWPaletteFlipView::startRendering()
{
    m_animation.setDuration(int(std::lround(m_transitionTime * 1000)));
    m_animation.start();
}

void TWPaletteFlipView::setProgress(double progress)
{
    m_progress = std::clamp(progress, 0.0, 1.0);
    update();
}

void TWPaletteFlipView::paintEvent(QPaintEvent *)
{
    // A card turning about its vertical axis: the old side until it stands
    // edge-on, then the new side coming round.
    const double angle = m_progress * 180.0 * (m_reverse ? -1 : 1);
    const bool firstHalf = std::abs(angle) < 90.0;
    const QImage &image = firstHalf ? m_start : m_end;
    if (image.isNull())
        return;
    const double shown = firstHalf ? angle : angle + (angle > 0 ? -180.0 : 180.0);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QTransform turn;
    turn.translate(width() / 2.0, height() / 2.0);
    turn.rotate(shown, Qt::YAxis);
    turn.translate(-width() / 2.0, -height() / 2.0);
    painter.setTransform(turn);
    painter.drawImage(QRectF(0, 0, width(), height()), image);
}

// ---------------------------------------------------------------- container

TWPaletteBezelContainerView::TWPaletteBezelContainerView(QWidget *parent) : QWidget(parent)
{
    setAcceptDrops(true);
}

TWPaletteBezelContainerView::~TWPaletteBezelContainerView()
{
    // The bezels belong to their palette controllers, not to the view.
    for (TWPaletteBezel *bezel : bezels()) {
        if (bezel->parentWidget() == this)
            bezel->setParent(nullptr);
        bezel->setBezelContainer(nullptr);
    }
}

TWPaletteWindow *TWPaletteBezelContainerView::hostWindow() const
{
    return m_hostWindow;
}

void TWPaletteBezelContainerView::setHostWindow(TWPaletteWindow *window)
{
    m_hostWindow = window;
}

QList<TWPaletteBezel *> TWPaletteBezelContainerView::bezels() const
{
    QList<TWPaletteBezel *> list;
    for (const QPointer<TWPaletteBezel> &bezel : m_bezels) {
        if (bezel)
            list.append(bezel);
    }
    return list;
}

void TWPaletteBezelContainerView::setBezels(const QList<TWPaletteBezel *> &list)
{
    if (list == bezels())
        return;
    m_bezels.clear();
    for (TWPaletteBezel *bezel : list)
        m_bezels.append(bezel);
    removeCurrentBezels();
    arrange();
}

void TWPaletteBezelContainerView::addBezel(TWPaletteBezel *bezel)
{
    QList<TWPaletteBezel *> list = bezels();
    list.append(bezel);
    setBezels(list);
}

void TWPaletteBezelContainerView::removeBezel(TWPaletteBezel *bezel)
{
    if (!bezel)
        return;
    bezel->setBezelContainer(nullptr);
    QList<TWPaletteBezel *> list = bezels();
    list.removeAll(bezel);
    setBezels(list);
    if (list.isEmpty() && m_floating && m_hostWindow)
        m_hostWindow->close();
}

void TWPaletteBezelContainerView::removeCurrentBezels()
{
    const QList<TWPaletteBezel *> kept = bezels();
    for (TWPaletteBezel *bezel : findChildren<TWPaletteBezel *>(Qt::FindDirectChildrenOnly)) {
        bezel->setBezelContainer(nullptr);
        // Bezels that stay are placed again by arrange; the others leave.
        if (!kept.contains(bezel)) {
            bezel->hide();
            bezel->setParent(nullptr);
        }
    }
}

void TWPaletteBezelContainerView::arrange()
{
    if (m_arranging)
        return;
    m_arranging = true;
    const bool hosted = m_floating && m_hostWindow;
    const QPoint topLeft = hosted ? m_hostWindow->geometry().topLeft() : QPoint();
    removeCurrentBezels();

    int y = 0;
    const int gap = int(m_dropZoneRect.height());
    for (TWPaletteBezel *bezel : bezels()) {
        if (m_showDropZone) {
            const int top = int(m_dropZoneRect.y());
            if (y - gap <= top && top <= y + gap)
                y += gap;
        }
        if (bezel->parentWidget() != this)
            bezel->setParent(this);
        // In a dock the bezels take the pane's width.
        if (!m_floating && width() > 0 && bezel->width() != width())
            bezel->resize(width(), bezel->height());
        bezel->move(0, y);
        bezel->setBezelContainer(this);
        bezel->show();
        y += bezel->height();
        // Floating bezels overlap by their shadow.
        if (m_hostWindow)
            y -= int(bezel->shadowWidth()) + int(bezel->borderWidth()) / 2;
    }
    m_stackHeight = y + 3;
    // In a scroll area the dock may be taller than its stack, never shorter.
    if (!m_floating)
        setMinimumHeight(m_stackHeight);
    resize(width(), m_stackHeight);
    if (hosted)
        m_hostWindow->setGeometry(topLeft.x(), topLeft.y(), width(), m_stackHeight);
    if (m_flipView)
        m_flipView->raise();
    update();
    m_arranging = false;
}

void TWPaletteBezelContainerView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_arranging)
        arrange();
}

// ---------------------------------------------------------------- flip

void TWPaletteBezelContainerView::setScheduler(Scheduler s)
{
    scheduler() = std::move(s);
}

void TWPaletteBezelContainerView::flipBezel(TWPaletteBezel *bezel)
{
    const bool slow = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    flipBezel(bezel, slow);
}

void TWPaletteBezelContainerView::flipBezel(TWPaletteBezel *bezel, bool slow)
{
    const int index = bezels().indexOf(bezel);
    if (index < 0)
        return;
    TWPaletteBezel *partner = bezel->partner();
    if (!partner)
        return;
    bezel->updatePreviewImage();
    const bool showingAlternate = !partner->isMainBezel();
    bezel->setDisplayingAlternateBezel(showingAlternate);
    partner->setDisplayingAlternateBezel(showingAlternate);
    const double duration = flipDuration(slow);

    // The partner takes the bezel's place; its own height where it has a palette.
    QRect frame = bezel->geometry();
    if (partner->isCollapsed())
        frame.setHeight(int(partner->collapsedHeight()));
    else if (partner->palette())
        frame.setHeight(int(std::ceil(partner->minimumSize().height)));
    partner->setGeometry(frame);
    partner->placePalette();

    auto *view = new TWPaletteFlipView(bezel->previewImage(), partner->updatePreviewImage(),
                                       duration, !bezel->isMainBezel(), this);
    view->setGeometry(bezel->geometry());
    view->show();
    view->raise();
    m_flipView = view;

    bezel->hide();
    bezel->setParent(nullptr);
    m_bezels.removeAt(index);
    bezel->setBezelContainer(nullptr);
    partner->setBezelContainer(this);
    m_bezels.insert(index, partner);

    const QPointer<TWPaletteBezel> shownPartner(partner);
    const QPointer<TWPaletteFlipView> shownView(view);
    scheduler()(duration, this, [this, shownPartner] {
        if (shownPartner && m_bezels.contains(shownPartner))
            arrange();
    });
    view->startRendering();
    scheduler()(duration, this, [this, shownView] {
        if (shownView)
            delete shownView.data();
        if (m_flipView == nullptr || m_flipView == shownView)
            m_flipView = nullptr;
    });
}

// ---------------------------------------------------------------- drop point

void TWPaletteBezelContainerView::prepareDropPoint(QPointF point)
{
    const QList<TWPaletteBezel *> list = bezels();
    for (int i = 0; i < list.size(); ++i) {
        TWPaletteBezel *bezel = list[i];
        if (bezel->parentWidget() != this || bezel->isHidden())
            continue;
        const Rect frame = Rect::fromQt(QRectF(bezel->geometry()));
        const bool inside = point.x() >= frame.minX() && point.x() < frame.maxX() &&
                            point.y() >= frame.minY() && point.y() < frame.maxY();
        if (!inside)
            continue;
        // Over a bezel the gap opens beneath it; only its very top edge puts it before.
        if (point.y() > frame.minY()) {
            m_dropZoneRect = {frame.x(), frame.maxY(), frame.width(), 20};
            m_showDropZone = true;
            arrange();
            m_dropIndex = i + 1;
        } else {
            m_dropZoneRect = {frame.x(), frame.y(), frame.width(), 20};
            m_dropIndex = i;
            m_showDropZone = true;
            arrange();
        }
        return;
    }
}

void TWPaletteBezelContainerView::hideDropPoint()
{
    m_showDropZone = false;
    m_dropZoneRect = {};
    arrange();
}

bool TWPaletteBezelContainerView::offersBezel(const QMimeData *data)
{
    return data && data->hasFormat(TWPaletteBezel::PasteboardType);
}

Qt::DropAction TWPaletteBezelContainerView::dragOperation(const QMimeData *data, QPointF point)
{
    if (!offersBezel(data))
        return Qt::IgnoreAction;
    prepareDropPoint(point);
    return Qt::MoveAction;
}

void TWPaletteBezelContainerView::dragEnterEvent(QDragEnterEvent *event)
{
    if (dragOperation(event->mimeData(), event->position()) == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void TWPaletteBezelContainerView::dragMoveEvent(QDragMoveEvent *event)
{
    if (dragOperation(event->mimeData(), event->position()) == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void TWPaletteBezelContainerView::dragLeaveEvent(QDragLeaveEvent *event)
{
    hideDropPoint();
    event->accept();
}

void TWPaletteBezelContainerView::dropEvent(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (dragOperation(data, event->position()) == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    hideDropPoint();
    event->setDropAction(Qt::MoveAction);
    event->accept();
    const QString paletteID = QString::fromUtf8(data->data(TWPaletteBezel::PasteboardType));
    if (m_floating)
        concludeFloatingDragOperation(paletteID);
    else
        concludeDockedDragOperation(paletteID);
    hideDropPoint();
}

void TWPaletteBezelContainerView::concludeDockedDragOperation(const QString &paletteID)
{
    TWPaletteServices *services = TWPaletteServices::instance();
    if (!services)
        return;
    if (TWPaletteBezel *floatingBezel = services->floatingBezel(paletteID)) {
        if (TWPaletteBezelContainerView *holder = floatingBezel->bezelContainer())
            holder->removeBezel(floatingBezel);
    }
    TWPaletteBezel *bezel = services->dockedBezel(window(), paletteID);
    if (!bezel)
        return;

    int index = m_dropIndex;
    const int existing = bezels().indexOf(bezel);
    if (existing >= 0) {
        m_bezels.removeAll(bezel);
        if (existing < index)
            --index;
    }
    index = std::clamp(index, 0, int(m_bezels.size()));
    m_bezels.insert(index, bezel);
    bezel->setBezelContainer(this);
    const QString previous =
        index > 0 && m_bezels[index - 1] ? m_bezels[index - 1]->paletteID() : QString();

    QStringList order = TWPaletteServices::paletteDockOrder();
    order.removeAll(paletteID);
    if (previous.isNull()) {
        order.prepend(paletteID);
    } else {
        const int at = order.indexOf(previous);
        if (at < 0)
            order.append(paletteID);
        else
            order.insert(at + 1, paletteID);
    }
    TWPaletteServices::setPaletteDockOrder(order);
}

void TWPaletteBezelContainerView::concludeFloatingDragOperation(const QString &paletteID)
{
    TWPaletteServices *services = TWPaletteServices::instance();
    TWPaletteBezel *bezel = services ? services->floatingBezel(paletteID) : nullptr;
    if (!bezel)
        return;
    int index = m_dropIndex;
    const int existing = bezels().indexOf(bezel);
    if (existing >= 0) {
        if (index == existing)
            return;
        if (existing < index)
            --index;
        // Moving within this window: it never counts as emptied meanwhile.
        m_bezels.removeAll(bezel);
    } else if (TWPaletteBezelContainerView *holder = bezel->bezelContainer()) {
        holder->removeBezel(bezel);
    }
    index = std::clamp(index, 0, int(m_bezels.size()));
    m_bezels.insert(index, bezel);
    bezel->setBezelContainer(this);
    NotificationCenter::defaultCenter().post(TWPaletteServices::FloatingPaletteOpenedNotification,
                                             nullptr,
                                             {{TWPaletteServices::PaletteIDKey, paletteID}});
}
