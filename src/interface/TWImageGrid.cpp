#include "interface/TWImageGrid.h"

#include "interface/OAStringDrawing.h"
#include "support/BezierPath.h"
#include "support/Font.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleHints>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

const QColor backgroundColor = QColor::fromRgbF(0.5, 0.5, 0.5);
const QColor darkGrayColor = QColor::fromRgbF(1.0 / 3, 1.0 / 3, 1.0 / 3);

QColor lightGray(qreal alpha)
{
    return QColor::fromRgbF(2.0 / 3, 2.0 / 3, 2.0 / 3, alpha);
}

QImage previewImage(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QImage:
        return value.value<QImage>();
    case QMetaType::QPixmap:
        return value.value<QPixmap>().toImage();
    case QMetaType::QIcon: {
        const QIcon icon = value.value<QIcon>();
        const QList<QSize> sizes = icon.availableSizes();
        if (sizes.isEmpty())
            return QImage();
        return icon
            .pixmap(*std::max_element(
                sizes.begin(), sizes.end(),
                [](QSize a, QSize b) { return a.width() * a.height() < b.width() * b.height(); }))
            .toImage();
    }
    default:
        return QImage();
    }
}

} // namespace

TWImageGrid::TWImageGrid(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    m_previewToken = NotificationCenter::defaultCenter().observe(
        MapPreviewDidUpdateNotification, nullptr, [this](const Notification &) { updateFrame(); });
}

TWImageGrid::~TWImageGrid()
{
    for (const QMetaObject::Connection &c : std::as_const(m_modelConnections))
        disconnect(c);
}

void TWImageGrid::setScrollView(QScrollArea *scrollView)
{
    if (m_viewport)
        m_viewport->removeEventFilter(this);
    m_scrollView = scrollView;
    m_viewport = scrollView ? scrollView->viewport() : nullptr;
    if (!scrollView)
        return;
    scrollView->setWidgetResizable(false);
    scrollView->setWidget(this);
    m_viewport->installEventFilter(this);
    updateFrame();
}

void TWImageGrid::setModel(QAbstractItemModel *model, QItemSelectionModel *selection)
{
    for (const QMetaObject::Connection &c : std::as_const(m_modelConnections))
        disconnect(c);
    m_modelConnections.clear();
    m_model = model;
    m_selection = selection;
    if (selection)
        m_modelConnections << connect(selection, &QItemSelectionModel::selectionChanged, this,
                                      &TWImageGrid::updateFrame);
    if (model) {
        // The arranged objects are read at every drawing; any change refits.
        m_modelConnections
            << connect(model, &QAbstractItemModel::rowsInserted, this, &TWImageGrid::updateFrame)
            << connect(model, &QAbstractItemModel::rowsRemoved, this, &TWImageGrid::updateFrame)
            << connect(model, &QAbstractItemModel::modelReset, this, &TWImageGrid::updateFrame)
            << connect(model, &QAbstractItemModel::layoutChanged, this, &TWImageGrid::updateFrame)
            << connect(model, &QAbstractItemModel::dataChanged, this,
                       qOverload<>(&QWidget::update));
    }
    updateFrame();
}

void TWImageGrid::setPreviewSize(QSizeF size)
{
    if (float(size.width()) == m_previewWidth && float(size.height()) == m_previewHeight)
        return;
    setProperty("previewWidth", float(size.width()));
    setProperty("previewHeight", float(size.height()));
    updateFrame();
}

void TWImageGrid::updateFrame()
{
    ++m_frameUpdateCount;
    if (!m_scrollView || !m_viewport) {
        setFrameSize(size());
        update();
        return;
    }
    const QWidget *viewport = m_viewport;
    const QRect visible(-pos(), viewport->size());
    setFrameSize(viewport->size());
    update();
    m_scrollView->ensureVisible(visible.center().x(), visible.center().y(), visible.width() / 2,
                                visible.height() / 2);
}

QSizeF TWImageGrid::adjustedFrameSize(QSizeF size) const
{
    const float rowPitch = m_drawTitle ? 3 * m_border + m_previewHeight + m_titleMargin
                                       : 2 * m_border + m_previewHeight;
    return QSizeF(std::max(float(size.width()), m_previewWidth + 2 * m_border),
                  std::max(float(size.height()), float(m_imagesHigh) * rowPitch));
}

void TWImageGrid::setFrameSize(QSizeF size)
{
    const QSizeF adjusted = adjustedFrameSize(size);
    resize(int(std::ceil(adjusted.width())), int(std::ceil(adjusted.height())));
}

int TWImageGrid::itemCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

void TWImageGrid::computeGrid()
{
    const int cell = int(m_previewWidth + 2 * m_border);
    const int count = itemCount();
    m_imagesWide = cell > 0 ? std::max(1, int(float(width()) / float(cell))) : 1;
    m_imagesHigh = std::max(1, (count + m_imagesWide - 1) / m_imagesWide);
}

Rect TWImageGrid::frameForImageAt(int column, int row) const
{
    const float b = m_border, w = m_previewWidth, h = m_previewHeight;
    const float cell = w + 2 * b;
    const float n = float(std::min(itemCount(), m_imagesWide));
    const float x = (float(width()) - n * cell) / (n + 1) * float(column + 1) + b + cell * column;
    float y = (2 * b + h) * row + b;
    if (m_drawTitle)
        y += row * (b + m_titleMargin);
    return Rect(x, y, w, h);
}

Rect TWImageGrid::hitRectForImageAt(int column, int row) const
{
    const Rect preview = frameForImageAt(column, row);
    const float b = m_border;
    return Rect(preview.x() - b + 1.5f, preview.y() - b, m_previewWidth + 2 * b,
                m_previewHeight + 2 * b + (m_drawTitle ? m_titleMargin : 0.0f));
}

int TWImageGrid::roleFor(const QString &key, int fallback) const
{
    if (!m_model)
        return fallback;
    const QHash<int, QByteArray> names = m_model->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if (it.value() == key.toUtf8())
            return it.key();
    }
    return fallback;
}

QVariant TWImageGrid::valueFor(int row, const QString &key, int fallback) const
{
    if (!m_model || row < 0 || row >= itemCount())
        return QVariant();
    return m_model->data(m_model->index(row, 0), roleFor(key, fallback));
}

bool TWImageGrid::isRowSelected(int row) const
{
    return m_selection && m_model && m_selection->isSelected(m_model->index(row, 0));
}

QList<int> TWImageGrid::selectedRows() const
{
    QList<int> rows;
    if (!m_selection)
        return rows;
    for (const QModelIndex &index : m_selection->selectedIndexes()) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TWImageGrid::setSelectedRows(const QSet<int> &rows)
{
    if (!m_selection || !m_model)
        return;
    QItemSelection selection;
    for (int row : rows) {
        if (row >= 0 && row < itemCount()) {
            const QModelIndex index = m_model->index(row, 0);
            selection.select(index, index);
        }
    }
    m_selection->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TWImageGrid::selectAll()
{
    // A grid that allows one item never holds more.
    if (!m_allowMultipleSelection && itemCount() > 1)
        return;
    QSet<int> all;
    for (int row = 0; row < itemCount(); ++row)
        all.insert(row);
    setSelectedRows(all);
    update();
}

void TWImageGrid::scrollToSelection()
{
    std::optional<Rect> area;
    for (int row : selectedRows()) {
        if (row >= m_locationCache.size())
            continue; // not drawn yet
        area = area ? area->united(m_locationCache[row]) : m_locationCache[row];
    }
    if (!area || !m_scrollView)
        return;
    const QRectF r = area->toQt();
    m_scrollView->ensureVisible(int(r.center().x()), int(r.center().y()), int(r.width() / 2),
                                int(r.height() / 2));
}

int TWImageGrid::itemAt(QPointF point) const
{
    const Point p = Point::fromQt(point);
    const int count = std::min<int>(itemCount(), int(m_locationCache.size()));
    for (int i = 0; i < count; ++i) {
        if (m_locationCache[i].contains(p))
            return i;
    }
    return -1;
}

std::optional<QString> TWImageGrid::toolTipAt(QPointF point) const
{
    const int item = itemAt(point);
    const QVariant name = valueFor(item, m_nameKey, Qt::DisplayRole);
    if (item < 0 || !name.isValid())
        return std::nullopt;
    return name.toString();
}

bool TWImageGrid::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const std::optional<QString> tip = toolTipAt(help->pos()))
            QToolTip::showText(help->globalPos(), *tip, this,
                               m_locationCache[itemAt(help->pos())].toQt().toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

bool TWImageGrid::eventFilter(QObject *watched, QEvent *event)
{
    // Compared without touching the scroll area, which may be part-way through its destructor.
    if (watched == m_viewport && event->type() == QEvent::Resize)
        updateFrame();
    return QWidget::eventFilter(watched, event);
}

void TWImageGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateFrame();
    QWidget::changeEvent(event);
}

Font TWImageGrid::fittedTitleFont(const Font &font, const QString &title, float width)
{
    // A name a little wider than its preview is drawn smaller rather than cut
    // short; only one far too long for that is shortened.
    constexpr double SmallestShare = 0.6;
    Font fitted = font;
    for (double size = font.pointSize(); size >= font.pointSize() * SmallestShare; size -= 0.5) {
        fitted = font.withSize(size);
        if (QFontMetricsF(fitted.toQFont()).horizontalAdvance(title) <= width)
            break;
    }
    return fitted;
}

void TWImageGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_locationCache.clear();
    painter.fillRect(event->rect(), backgroundColor);
    if (m_drawMainBorder) {
        painter.setPen(QPen(darkGrayColor, 1.0));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    const int previousRows = m_imagesHigh;
    computeGrid();

    const int count = itemCount();
    const float w = m_previewWidth, h = m_previewHeight;
    const Font titleFont = OAExtensions::defaultFont().withSize(m_titleHeight);
    for (int row = 0; row < m_imagesHigh; ++row) {
        for (int column = 0; column < m_imagesWide; ++column) {
            const int index = m_imagesWide * row + column;
            if (index >= count)
                break;
            const Rect preview = frameForImageAt(column, row);
            const Rect hit = hitRectForImageAt(column, row);
            m_locationCache.append(hit);

            if (m_drawSelectionBorder && isRowSelected(index)) {
                const BezierPath path = BezierPath::bezierPathWithRect(hit, 10.0f, 2.0f);
                painter.setRenderHint(QPainter::Antialiasing);
                path.fill(painter, lightGray(0.35));
                path.stroke(painter, lightGray(0.6));
            }
            const QVariant name = valueFor(index, m_nameKey, Qt::DisplayRole);
            if (name.isValid() && m_drawTitle) {
                OAExtensions::drawWithFont(
                    painter, name.toString(), fittedTitleFont(titleFont, name.toString(), w),
                    Color::whiteColor(),
                    OAExtensions::CenterAlignment, false,
                    QRectF(preview.x(), preview.y() + h + 0.5 * m_border, w, m_titleMargin));
            }
            const QImage image = previewImage(valueFor(index, m_imageKey, Qt::DecorationRole));
            if (image.isNull() || image.width() <= 0 || image.height() <= 0)
                continue;
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            const qreal s = std::min(qreal(w) / image.width(), qreal(h) / image.height());
            const QSizeF drawn(s * image.width(), s * image.height());
            const QRectF target(preview.x() + (w - drawn.width()) / 2,
                                preview.y() + (h - drawn.height()) / 2, drawn.width(),
                                drawn.height());
            painter.drawImage(target, image);
        }
    }
    if (m_draggingSelection) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(m_dragRect.toQt(), QColor::fromRgbF(1, 1, 1, 0.25));
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.5), 1.0));
        painter.drawRect(m_dragRect.toQt());
    }
    // The frame's height follows the row count of the drawing; refit once it changed.
    if (m_imagesHigh != previousRows)
        QMetaObject::invokeMethod(this, &TWImageGrid::updateFrame, Qt::QueuedConnection);
}

void TWImageGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        rightMouseDown(event);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const quint64 time = event->timestamp();
    const bool secondClick =
        m_havePressed && !m_lastPressWasSecondClick &&
        time - m_lastPressTime <=
            quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval()) &&
        (event->position() - m_lastPressPosition).manhattanLength() <=
            QGuiApplication::styleHints()->startDragDistance();
    m_havePressed = true;
    m_lastPressTime = time;
    m_lastPressPosition = event->position();
    m_lastPressWasSecondClick = secondClick;
    if (secondClick) {
        m_doubleClickAnswered = true;
        if (m_delegate)
            m_delegate->ok(this);
        return;
    }
    leftMouseDown(event);
}

void TWImageGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_tracking = false;
    m_draggingSelection = false;
    if (m_doubleClickAnswered) {
        m_doubleClickAnswered = false; // answered when it was pressed
        return;
    }
    if (m_delegate)
        m_delegate->ok(this);
}

void TWImageGrid::leftMouseDown(QMouseEvent *event)
{
    const Point p = Point::fromQt(event->position());
    m_extending = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::MetaModifier);
    if (!m_extending && m_selection)
        m_selection->clearSelection();
    const QList<int> selected = selectedRows();
    m_workingSelection = QSet<int>(selected.begin(), selected.end());

    const int count = std::min<int>(itemCount(), int(m_locationCache.size()));
    for (int i = 0; i < count; ++i) {
        if (!m_locationCache[i].contains(p))
            continue;
        if (!m_allowMultipleSelection) {
            setSelectedRows({i});
            update();
            return;
        }
        if (!m_workingSelection.contains(i))
            m_workingSelection.insert(i);
        else if (m_extending)
            m_workingSelection.remove(i);
    }
    setSelectedRows(m_workingSelection);
    update();
    m_tracking = true;
    m_clickPoint = p;
}

void TWImageGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_tracking || !(event->buttons() & Qt::LeftButton))
        return;
    if (m_scrollView)
        m_scrollView->ensureVisible(int(event->position().x()), int(event->position().y()), 0, 0);
    dragTo(Point::fromQt(event->position()));
}

void TWImageGrid::dragTo(Point p)
{
    m_dragRect = RectFromPoints(m_clickPoint, p);
    m_draggingSelection = m_dragRect.width() != 0 || m_dragRect.height() != 0;
    const int count = std::min<int>(itemCount(), int(m_locationCache.size()));
    const auto touched = [&](int i) {
        return m_locationCache[i].intersects(m_dragRect) || m_locationCache[i].contains(p);
    };
    if (m_allowMultipleSelection) {
        for (int i = 0; i < count; ++i) {
            if (touched(i))
                m_workingSelection.insert(i);
            else if (!m_extending)
                m_workingSelection.remove(i);
        }
    } else {
        // One item at most: the touched one nearest the pointer.
        int nearest = -1;
        qreal nearestDistance = 0;
        for (int i = 0; i < count; ++i) {
            if (!touched(i))
                continue;
            const QPointF d = m_locationCache[i].toQt().center() - p.toQt();
            const qreal distance = d.x() * d.x() + d.y() * d.y();
            if (nearest < 0 || distance < nearestDistance) {
                nearest = i;
                nearestDistance = distance;
            }
        }
        if (nearest >= 0)
            m_workingSelection = {nearest};
        else if (!m_extending)
            m_workingSelection.clear();
    }
    setSelectedRows(m_workingSelection);
    update();
}

void TWImageGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_tracking)
        return;
    m_tracking = false;
    m_draggingSelection = false;
    update();
}

void TWImageGrid::rightMouseDown(QMouseEvent *event)
{
    const int item = itemAt(event->position());
    if (item < 0) {
        if (m_selection)
            m_selection->clearSelection();
    } else if (!isRowSelected(item)) {
        setSelectedRows({item});
    }
    update();
}

void TWImageGrid::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = m_delegate ? m_delegate->imageGridMenuForEvent(event) : nullptr;
    if (menu)
        menu->popup(event->globalPos());
}

void TWImageGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    QWidget::keyPressEvent(event);
}
