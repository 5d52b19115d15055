#include "palettes/TWStyleView.h"

#include "platform/TWLocalizedString.h"
#include "support/BezierPath.h"
#include "support/Color.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QTimer>
#include <algorithm>
#include <list>

namespace {

// QMenu sizes its icons by the style's small icon metric; the style pictures
// are shown at the preview's own size.
class PreviewMenuStyle : public QProxyStyle
{
public:
    explicit PreviewMenuStyle(QSize size) : m_size(size) {}
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_SmallIconSize)
            return std::max(m_size.width(), m_size.height());
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    QSize m_size;
};

// Menus with pictures show no check box of their own: the checked picture
// carries a tick in its corner.
void markChecked(QImage &picture)
{
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(4, 9);
    tick.lineTo(8, 13);
    tick.lineTo(15, 4);
    painter.strokePath(tick, QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.strokePath(tick, QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// The pictures of styles as last drawn. The menu is made again whenever the
// selection changes, and drawing every style's picture (blurred shadows,
// text) cost more than the rest of an edit; a picture is used again while
// its style keeps the name, type and properties it was drawn with.
class PreviewCache
{
public:
    QImage pictureOf(const std::shared_ptr<TWStyle> &style, QSize size)
    {
        // A nameless style is named as it is drawn: that is left to the drawing.
        if (style->name().isEmpty())
            return style->previewOfSize(Size(float(size.width()), float(size.height())));
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->style.lock() != style || it->size != size)
                continue;
            if (it->name == style->name() && it->type == style->type() &&
                it->properties == style->properties()) {
                m_entries.splice(m_entries.begin(), m_entries, it);
                return it->picture;
            }
            m_entries.erase(it);
            break;
        }
        Entry entry{style, size, style->name(), style->type(), style->properties(),
                    style->previewOfSize(Size(float(size.width()), float(size.height())))};
        m_entries.push_front(std::move(entry));
        if (m_entries.size() > MostKept)
            m_entries.pop_back();
        return m_entries.front().picture;
    }

private:
    struct Entry
    {
        std::weak_ptr<TWStyle> style;
        QSize size;
        QString name;
        int type;
        OrderedDictionary properties;
        QImage picture;
    };
    // More than a library holds; the least recently used go first.
    static constexpr size_t MostKept = 256;
    std::list<Entry> m_entries;
};

PreviewCache &previewCache()
{
    static PreviewCache *cache = new PreviewCache; // main thread only, as painting
    return *cache;
}

constexpr qreal IndicatorWidth = 9;
constexpr qreal IndicatorHeight = 6;
constexpr qreal IndicatorMargin = 5;

} // namespace

TWStyleView::TWStyleView(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

TWStyleView::~TWStyleView() = default;

QSize TWStyleView::sizeHint() const
{
    return {180, 60};
}

void TWStyleView::setStyle(const std::shared_ptr<TWStyle> &style)
{
    m_style = style;
    update();
}

void TWStyleView::setStyleMenu(QMenu *menu)
{
    m_menu = menu;
    update();
}

QColor TWStyleView::accentColor(int styleType)
{
    if (styleType == TWStyle::GraphicStyle)
        return Color::colorWithDeviceRed(0.82, 0.63, 0.06).toQColor();
    return Color::blackColor().toQColor();
}

void TWStyleView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Rect bounds(0, 0, float(width()), float(height()));
    if (m_style) {
        const BezierPath path =
            BezierPath::bezierPathWithRect(bounds, 8.0f, m_mouseOver ? 1.5f : 0.5f);
        QColor accent = accentColor(m_style->type());
        path.fill(painter, Color::colorWithCalibratedWhite(0.9).toQColor());
        accent.setAlphaF(0.2f);
        path.fill(painter, accent);
        accent.setAlphaF(0.8f);
        path.strokeInside(painter, accent);
    }
    if (m_menu) {
        // The drop-down mark in the bottom right corner.
        const qreal x = width() - IndicatorWidth - IndicatorMargin;
        const qreal y = height() - IndicatorHeight - IndicatorMargin;
        QPainterPath mark;
        mark.moveTo(x, y);
        mark.lineTo(x + IndicatorWidth, y);
        mark.lineTo(x + IndicatorWidth / 2, y + IndicatorHeight);
        mark.closeSubpath();
        painter.save();
        painter.setOpacity(m_mouseOver ? 1.0 : 0.5);
        painter.fillPath(mark, QColor(40, 40, 40));
        painter.restore();
    }
    if (m_style)
        m_style->drawInRect(painter, bounds);
}

void TWStyleView::setMouseOver(bool inside)
{
    if (m_mouseOver == inside)
        return;
    m_mouseOver = inside;
    update();
    emit mouseOverChanged(inside);
}

void TWStyleView::enterEvent(QEnterEvent *)
{
    setMouseOver(true);
}

void TWStyleView::leaveEvent(QEvent *)
{
    setMouseOver(false);
}

bool TWStyleView::popUpMenu(QPoint local)
{
    if (!m_menu)
        return false;
    m_menu->popup(mapToGlobal(local));
    return true;
}

void TWStyleView::mousePressEvent(QMouseEvent *event)
{
    // A left click acts as a right click would: the menu drops down.
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        popUpMenu(event->position().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TWStyleView::contextMenuEvent(QContextMenuEvent *event)
{
    // The press has shown it already.
    event->accept();
}

QMenu *TWStyleView::makeStyleMenu(const StyleList &styles, const std::shared_ptr<TWStyle> &selected,
                                  QSize previewSize,
                                  std::function<void(const std::shared_ptr<TWStyle> &)> choose,
                                  std::function<void()> editStyles, QObject *receiver,
                                  QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setTitle(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Styles")));
    auto *menuStyle = new PreviewMenuStyle(previewSize);
    menuStyle->setParent(menu);
    menu->setStyle(menuStyle);

    StyleList sorted;
    for (const std::shared_ptr<TWStyle> &style : styles)
        if (style)
            sorted.append(style);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
        return a->name().compare(b->name(), Qt::CaseInsensitive) < 0;
    });
    for (const std::shared_ptr<TWStyle> &style : std::as_const(sorted)) {
        const bool checked = selected && selected->identifier() == style->identifier();
        QImage picture = previewOf(style, previewSize);
        if (checked)
            markChecked(picture);
        QAction *item = menu->addAction(QIcon(QPixmap::fromImage(picture)), QString());
        item->setToolTip(style->name());
        item->setData(QVariant::fromValue(style));
        item->setCheckable(true);
        item->setChecked(checked);
        // Run after the menu is done: the choice may rebuild (and delete) it.
        QObject::connect(item, &QAction::triggered, menu, [receiver, choose, style] {
            QTimer::singleShot(0, receiver, [choose, style] {
                if (choose)
                    choose(style);
            });
        });
    }
    menu->addSeparator();
    QAction *edit =
        menu->addAction(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Edit Styles")));
    QObject::connect(edit, &QAction::triggered, menu, [receiver, editStyles] {
        QTimer::singleShot(0, receiver, [editStyles] {
            if (editStyles)
                editStyles();
        });
    });
    return menu;
}

QImage TWStyleView::previewOf(const std::shared_ptr<TWStyle> &style, QSize size)
{
    if (!style)
        return QImage();
    return previewCache().pictureOf(style, size);
}

std::shared_ptr<TWStyle> TWStyleView::styleOfAction(const QAction *action)
{
    if (!action || action->data().metaType() != QMetaType::fromType<TWStylePointer>())
        return nullptr;
    return action->data().value<TWStylePointer>();
}
