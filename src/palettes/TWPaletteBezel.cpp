#include "palettes/TWPaletteBezel.h"

#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPaletteServices.h"
#include "palettes/TWPaletteWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/BezierPath.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace {

TWPaletteBezel::DragRunner &dragRunner()
{
    static TWPaletteBezel::DragRunner runner = [](QDrag *drag) {
        return drag->exec(Qt::MoveAction);
    };
    return runner;
}

QColor withAlpha(const Color &color, double alpha)
{
    return color.colorWithAlphaComponent(alpha).toQColor();
}

// A soft shadow under `path`: the path offset and drawn a few times wider and
// fainter, which reads as the blur at these small radii.
void paintShadow(QPainter &painter, const QPainterPath &path, QPointF offset, qreal blur)
{
    painter.save();
    painter.translate(offset);
    const int steps = 3;
    for (int i = steps; i >= 1; --i) {
        QPen pen(QColor(0, 0, 0, int(255 * 0.3 / steps)));
        pen.setWidthF(blur * 2 * i / steps);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
    painter.fillPath(path, QColor(0, 0, 0, int(255 * 0.3)));
    painter.restore();
}

} // namespace

TWPaletteBezel::TWPaletteBezel(const QRect &frame, const QString &paletteID, QWidget *parent)
    : QWidget(parent), m_paletteID(paletteID)
{
    setGeometry(frame);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    setFocusPolicy(Qt::NoFocus);
    m_flipBackTimer.setSingleShot(true);
    connect(&m_flipBackTimer, &QTimer::timeout, this, &TWPaletteBezel::flip);

    UserDefaults &defaults = UserDefaults::standard();
    const QString key = collapsedKey(paletteID);
    defaults.registerDefaults({{key, false}});
    m_isCollapsed = defaults.boolForKey(key);
    m_defaultsConnection =
        connect(&defaults, &UserDefaults::changed, this, &TWPaletteBezel::defaultChanged);
}

TWPaletteBezel::~TWPaletteBezel()
{
    disconnect(m_defaultsConnection);
}

QString TWPaletteBezel::collapsedKey(const QString &paletteID)
{
    return paletteID + QStringLiteral("Collapsed");
}

// ---------------------------------------------------------------- geometry

Rect TWPaletteBezel::borderRect() const
{
    if (m_bezelType != 0)
        return {};
    const float w = float(width()), h = float(height());
    return {0, m_shadowWidth, w - m_shadowWidth, h - m_shadowWidth};
}

Rect TWPaletteBezel::titleRect() const
{
    if (m_bezelType != 0)
        return {};
    const float w = float(width()), h = float(height());
    return {m_borderWidth, h - m_borderWidth - 3 * m_titleDeadZone - m_titleHeight,
            w - 2 * m_borderWidth - 2 * m_shadowWidth, 0};
}

Rect TWPaletteBezel::closeButtonRect() const
{
    if (m_bezelType != 0)
        return {};
    return {5, float(height()) - 16, 13, 13};
}

Rect TWPaletteBezel::collapseButtonRect() const
{
    const Rect close = closeButtonRect();
    if (m_bezelType != 0)
        return {};
    return {close.x() + close.width() + 4, close.y(), 13, 13};
}

Rect TWPaletteBezel::flipButtonRect() const
{
    if (m_bezelType != 0)
        return {};
    // Placed by the docked corner even where floating bezels draw smaller ones.
    return {float(width()) - (m_borderWidth + 14 + m_cornerRounding / 2), float(height()) - 16, 13,
            13};
}

Size TWPaletteBezel::minimumSize() const
{
    if (m_bezelType != 0)
        return {};
    const QSize p = m_palette ? m_palette->size() : QSize();
    const float extra = 2 * m_borderWidth + 2 * m_deadZone + m_shadowWidth;
    return {float(p.width()) + extra,
            float(p.height()) + extra + 2 * m_titleDeadZone + m_titleHeight};
}

Point TWPaletteBezel::paletteOrigin() const
{
    if (m_bezelType != 0)
        return {};
    return {m_borderWidth + m_deadZone + (float(width()) - minimumSize().width) / 2,
            m_borderWidth + m_shadowWidth + m_deadZone};
}

float TWPaletteBezel::collapsedHeight() const
{
    return 2 * m_borderWidth + m_titleHeight / 2 + 14;
}

QRectF TWPaletteBezel::toWidget(const Rect &rect) const
{
    return {rect.x(), height() - rect.y() - rect.height(), rect.width(), rect.height()};
}

Point TWPaletteBezel::fromWidget(QPointF point) const
{
    return {float(point.x()), float(height() - point.y())};
}

void TWPaletteBezel::placePalette()
{
    if (!m_palette)
        return;
    const Point origin = paletteOrigin();
    const QRectF frame =
        toWidget({origin.x, origin.y, float(m_palette->width()), float(m_palette->height())});
    m_palette->move(int(frame.x()), int(frame.y()));
}

void TWPaletteBezel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePalette();
}

// ---------------------------------------------------------------- accessors

TWPaletteBezelContainerView *TWPaletteBezel::bezelContainer() const
{
    return m_container;
}

void TWPaletteBezel::setBezelContainer(TWPaletteBezelContainerView *container)
{
    m_container = container;
}

void TWPaletteBezel::setPaletteID(const QString &paletteID)
{
    m_paletteID = paletteID;
}

void TWPaletteBezel::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    update();
}

QString TWPaletteBezel::displayedTitle() const
{
    if (m_mainBezel && !m_isCollapsed)
        return m_title + TWLocalizedString("DadoZiz", QStringLiteral(" (Advanced)"));
    return m_title;
}

void TWPaletteBezel::setBorderColor(const Color &color)
{
    m_borderColor = color;
    update();
}

void TWPaletteBezel::setBackgroundColor(const Color &color)
{
    m_backgroundColor = color;
    update();
}

void TWPaletteBezel::setBezelType(int type)
{
    m_bezelType = type;
    placePalette();
    update();
}

void TWPaletteBezel::setPalette(QWidget *palette)
{
    m_palette = palette;
    if (!palette)
        return;
    palette->setParent(this);
    placePalette();
    palette->setVisible(!m_isCollapsed);
}

TWPaletteBezel *TWPaletteBezel::partner() const
{
    return m_alternateBezel ? m_alternateBezel.data() : m_mainBezel.data();
}

bool TWPaletteBezel::isMainBezel() const
{
    return m_alternateBezel || !m_mainBezel;
}

bool TWPaletteBezel::floating() const
{
    return m_container && m_container->hostWindow() && m_container->isFloating();
}

bool TWPaletteBezel::isFirstInContainer() const
{
    return m_container && !m_container->bezels().isEmpty() && m_container->bezels().first() == this;
}

// ---------------------------------------------------------------- states

void TWPaletteBezel::setCollapsedFlag(bool collapsed)
{
    m_isCollapsed = collapsed;
    emit collapsedChanged(collapsed);
}

void TWPaletteBezel::collapse()
{
    if (m_palette)
        m_palette->hide();
    resize(width(), int(collapsedHeight()));
    // The flag first, so that the partner's collapse does not bounce back here.
    setCollapsedFlag(true);
    if (m_container)
        m_container->arrange();
    for (TWPaletteBezel *other : {m_mainBezel.data(), m_alternateBezel.data()}) {
        if (other && !other->isCollapsed())
            other->collapse();
    }
    UserDefaults::standard().setBool(true, collapsedKey(m_paletteID));
    update();
}

void TWPaletteBezel::expand()
{
    resize(width(), int(std::ceil(minimumSize().height)));
    if (m_palette) {
        placePalette();
        m_palette->show();
    }
    setCollapsedFlag(false);
    if (m_container)
        m_container->arrange();
    for (TWPaletteBezel *other : {m_mainBezel.data(), m_alternateBezel.data()}) {
        if (other && other->isCollapsed())
            other->expand();
    }
    UserDefaults::standard().setBool(false, collapsedKey(m_paletteID));
    update();
}

void TWPaletteBezel::defaultChanged(const QString &key)
{
    if (key != collapsedKey(m_paletteID))
        return;
    const bool collapsed = UserDefaults::standard().boolForKey(key);
    if (collapsed && !m_isCollapsed)
        collapse();
    else if (!collapsed && m_isCollapsed)
        expand();
}

void TWPaletteBezel::flip()
{
    if (!m_container || !parentWidget() || !partner())
        return;
    m_container->flipBezel(this);
}

void TWPaletteBezel::setupFlipBack()
{
    const long long seconds =
        UserDefaults::standard().integerForKey(TWPreferences::PaletteAutoFlipBackDurationKey);
    m_flipBackTimer.start(int(std::max(0LL, seconds) * 1000));
}

void TWPaletteBezel::close()
{
    if (!floating())
        return;
    const QString paletteID = m_paletteID;
    m_container->removeBezel(this);
    NotificationCenter::defaultCenter().post(TWPaletteServices::FloatingPaletteClosedNotification,
                                             nullptr,
                                             {{TWPaletteServices::PaletteIDKey, paletteID}});
}

// ---------------------------------------------------------------- preview

QImage TWPaletteBezel::updatePreviewImage()
{
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    m_previewImage = image;
    return m_previewImage;
}

QImage TWPaletteBezel::previewImage()
{
    if (m_previewImage.isNull())
        updatePreviewImage();
    return m_previewImage;
}

// ---------------------------------------------------------------- mouse

void TWPaletteBezel::updateHover(QPointF widgetPoint)
{
    const Point p = fromWidget(widgetPoint);
    const bool inside = rect().contains(widgetPoint.toPoint());
    const bool over = inside;
    const bool flipOver = inside && flipButtonRect().contains(p);
    const bool collapseOver = inside && collapseButtonRect().contains(p);
    const bool closeOver = inside && closeButtonRect().contains(p);
    if (over == m_mouseOver && flipOver == m_mouseOverFlipButton &&
        collapseOver == m_mouseOverCollapseButton && closeOver == m_mouseOverCloseButton)
        return;
    m_mouseOver = over;
    m_mouseOverFlipButton = flipOver;
    m_mouseOverCollapseButton = collapseOver;
    m_mouseOverCloseButton = closeOver;
    update();
}

void TWPaletteBezel::enterEvent(QEnterEvent *event)
{
    updateHover(event->position());
}

void TWPaletteBezel::leaveEvent(QEvent *)
{
    updateHover(QPointF(-1, -1));
}

void TWPaletteBezel::mousePressEvent(QMouseEvent *event)
{
    m_absoluteMouseDownPoint = event->globalPosition();
    m_relativeMouseDownPoint = fromWidget(event->position());
    m_didDrag = false;
    if (floating() && isFirstInContainer())
        m_container->hostWindow()->beginMove(event->globalPosition().toPoint());
    event->accept();
}

void TWPaletteBezel::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        updateHover(event->position());
        return;
    }
    // The first bezel of a floating window is its handle: the window moves.
    if (floating() && isFirstInContainer()) {
        m_container->hostWindow()->moveTo(event->globalPosition().toPoint());
        return;
    }
    if (m_didDrag)
        return;
    const QPointF delta = event->globalPosition() - m_absoluteMouseDownPoint;
    if (std::hypot(delta.x(), delta.y()) < DragDistance)
        return;
    m_didDrag = true;
    startDrag();
}

void TWPaletteBezel::startDrag()
{
    auto *data = new QMimeData;
    data->setData(PasteboardType, m_paletteID.toUtf8());
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    const QImage image = previewImage();
    drag->setPixmap(QPixmap::fromImage(image));
    // The picture sits centred on the bezel, under the pointer as it was.
    const QPointF imageOrigin((width() - image.width()) / 2.0, (height() - image.height()) / 2.0);
    const QPointF down =
        toWidget({m_relativeMouseDownPoint.x, m_relativeMouseDownPoint.y, 0, 0}).topLeft();
    drag->setHotSpot((down - imageOrigin).toPoint());
    const QPointer<TWPaletteBezel> self(this);
    const Qt::DropAction action = dragRunner()(drag);
    drag->deleteLater();
    if (self)
        draggedImageEnded(action, QCursor::pos());
}

void TWPaletteBezel::draggedImageEnded(Qt::DropAction action, QPoint globalPoint)
{
    if (action != Qt::IgnoreAction)
        return;
    if (TWPaletteServices *services = TWPaletteServices::instance())
        services->detachPalette(m_paletteID, globalPoint);
}

void TWPaletteBezel::setDragRunner(DragRunner runner)
{
    dragRunner() = std::move(runner);
}

void TWPaletteBezel::mouseReleaseEvent(QMouseEvent *event)
{
    const Point p = fromWidget(event->position());
    if (m_didDrag)
        return;
    if (!m_isCollapsed && partner() && flipButtonRect().contains(p)) {
        flip();
    } else if (collapseButtonRect().contains(p)) {
        if (m_isCollapsed)
            expand();
        else
            collapse();
    } else if (floating() && closeButtonRect().contains(p)) {
        close();
    } else if (floating() && isFirstInContainer()) {
        m_container->hostWindow()->endMove(event->globalPosition().toPoint());
    }
}

// ---------------------------------------------------------------- drawing

void TWPaletteBezel::paintEvent(QPaintEvent *)
{
    if (m_bezelType != 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_isCollapsed)
        paintCollapsed(painter);
    else
        paintExpanded(painter);
    paintButtons(painter);
}

void TWPaletteBezel::paintExpanded(QPainter &painter)
{
    const bool alternate = m_mainBezel != nullptr;
    const float corner = floating() ? 4.0f : m_cornerRounding;
    const Rect border = borderRect();
    const BezierPath body = BezierPath::bezierPathWithRect(border, corner, m_borderWidth);
    const BezierPath titleBar = BezierPath::bezierPathTitleWithRect(
        border, corner, m_borderWidth, 2 * m_titleDeadZone + m_titleHeight);

    painter.save();
    // The paths are laid out bottom-up.
    painter.translate(0, height());
    painter.scale(1, -1);
    const QPainterPath bodyPath = body.toQPainterPath();
    if (m_mouseOver)
        paintShadow(painter, bodyPath, QPointF(0, -m_shadowWidth), m_shadowWidth / 2);
    body.fill(painter,
              m_mouseOver ? QBrush(Qt::white) : QApplication::palette().brush(QPalette::Window));
    const double tint = alternate ? 0.2 : (m_mouseOver ? 0.15 : 0.1);
    body.fill(painter, withAlpha(m_backgroundColor, tint));
    if (!alternate) {
        titleBar.fill(painter, withAlpha(m_borderColor, 0.6));
        body.stroke(painter, withAlpha(m_borderColor, 0.6));
    } else {
        BezierPath thin = titleBar;
        thin.setLineWidth(0.5f);
        thin.stroke(painter, withAlpha(m_borderColor, 0.6));
        titleBar.fill(painter, withAlpha(m_borderColor, 0.2));
        body.stroke(painter, withAlpha(m_borderColor, 0.6));
    }
    painter.restore();

    // The title is centred across the title band.
    const QRectF title = toWidget(titleRect());
    const QRectF band(title.x(), m_borderWidth, title.width(), 2 * m_titleDeadZone + m_titleHeight);
    QFont font = this->font();
    font.setPixelSize(int(m_titleHeight));
    painter.setFont(font);
    painter.setPen(alternate ? Qt::black : Qt::white);
    painter.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, displayedTitle());

    if (partner()) {
        const QRectF button = toWidget(flipButtonRect());
        painter.setPen(Qt::NoPen);
        painter.setBrush(
            QColor::fromRgbF(0.87f, 0.87f, 0.87f, m_mouseOverFlipButton ? 0.9f : 0.6f));
        painter.drawEllipse(button);
        // A turn arrow: round the back when on the main side, round the front on the other.
        QPen pen(QColor::fromRgbF(0.27f, 0.29f, 0.32f, 1.0f), 1.4);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QRectF arc = button.adjusted(3.5, 3.5, -3.5, -3.5);
        const int start = alternate ? 180 * 16 : 0;
        painter.drawArc(arc, start, 270 * 16);
        const qreal angle = qDegreesToRadians((start / 16.0) + 270);
        const QPointF tip(arc.center().x() + arc.width() / 2 * std::cos(angle),
                          arc.center().y() - arc.height() / 2 * std::sin(angle));
        painter.setBrush(pen.color());
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(tip, 1.4, 1.4);
    }
}

void TWPaletteBezel::paintCollapsed(QPainter &painter)
{
    const Rect border = borderRect();
    const BezierPath body =
        BezierPath::bezierPathWithRect(border, (border.height() - 16) / 2, m_borderWidth);
    painter.save();
    painter.translate(0, height());
    painter.scale(1, -1);
    if (m_mouseOver) {
        paintShadow(painter, body.toQPainterPath(), QPointF(0, -m_shadowWidth), m_shadowWidth / 2);
        body.fill(painter, Qt::white);
        body.fill(painter, withAlpha(m_backgroundColor, 0.15));
    } else {
        body.fill(painter, withAlpha(m_backgroundColor, 0.1));
    }
    body.stroke(painter, withAlpha(m_borderColor, 0.6));
    body.fill(painter, withAlpha(m_borderColor, 0.6));
    painter.restore();

    const QRectF title = toWidget(titleRect());
    const QRectF band(title.x(), m_borderWidth, title.width(),
                      height() - m_shadowWidth - 2 * m_borderWidth);
    QFont font = this->font();
    font.setPixelSize(int(m_titleHeight));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, m_title);
}

void TWPaletteBezel::paintButtons(QPainter &painter)
{
    // 13-point round buttons: a cross to close, a triangle to collapse or expand.
    auto drawButton = [&](const Rect &rect, bool hovered, const std::function<void()> &glyph) {
        const QRectF r = toWidget(rect);
        painter.save();
        painter.setOpacity(hovered ? 0.9 : 0.6);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255));
        painter.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(QPen(QColor(60, 60, 60), 1.5, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(QColor(60, 60, 60));
        painter.translate(r.topLeft());
        glyph();
        painter.restore();
    };
    if (floating()) {
        drawButton(closeButtonRect(), m_mouseOverCloseButton, [&] {
            painter.drawLine(QPointF(4, 4), QPointF(9, 9));
            painter.drawLine(QPointF(9, 4), QPointF(4, 9));
        });
    }
    drawButton(collapseButtonRect(), m_mouseOverCollapseButton, [&] {
        painter.setPen(Qt::NoPen);
        if (m_isCollapsed)
            painter.drawPolygon(QPolygonF({{5, 3.5}, {10, 6.5}, {5, 9.5}}));
        else
            painter.drawPolygon(QPolygonF({{3.5, 5}, {9.5, 5}, {6.5, 10}}));
    });
}
