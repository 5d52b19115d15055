#include "application/TWMapTabBar.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSet>
#include <QSignalBlocker>

namespace {

// Bars alive in this process: a payload names one only while it lives.
QSet<TWMapTabBar *> &liveBars()
{
    static QSet<TWMapTabBar *> bars;
    return bars;
}

// A tab takes "&" as the mark of its shortcut letter; a map's name shows
// as it stands, so each "&" is doubled.
QString shownAsItStands(const QString &label)
{
    QString text = label;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString storedText(const QString &tabText)
{
    QString text = tabText;
    return text.replace(QLatin1String("&&"), QLatin1String("&"));
}

} // namespace

TWMapTabBar::TWMapTabBar(QWidget *parent) : QTabBar(parent)
{
    liveBars().insert(this);
    setObjectName(QStringLiteral("mapTabView"));
    setTabsClosable(true);
    setMovable(true);
    setExpanding(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideRight);
    setDocumentMode(true);
    setAcceptDrops(true);
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        updateCloseButtons();
        if (!m_quiet && index >= 0)
            emit tabSelected(index);
    });
    connect(this, &QTabBar::tabCloseRequested, this, [this](int index) {
        if (!m_quiet)
            emit closeRequested(index);
    });
    connect(this, &QTabBar::tabMoved, this, [this](int from, int to) {
        if (m_movingIndex == from)
            m_movingIndex = to;
        else if (m_movingIndex == to)
            m_movingIndex = from;
    });
}

TWMapTabBar::~TWMapTabBar()
{
    liveBars().remove(this);
}

QString TWMapTabBar::cleanedLabel(const QString &label)
{
    QString cleaned;
    cleaned.reserve(label.size());
    for (const QChar c : label) {
        if (c.isSpace() || c == u'\n' || c == u'\r' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            cleaned += u' ';
        else if (c.category() == QChar::Other_NotAssigned || c.category() == QChar::Other_Control ||
                 c.category() == QChar::Other_Format)
            continue;
        else
            cleaned += c;
    }
    return cleaned;
}

QString TWMapTabBar::tabTitle(const QString &label)
{
    const auto breaksLine = [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    };
    qsizetype at = 0, lineStart = 0;
    for (; at < label.size() && label.at(at).isSpace(); ++at)
        if (breaksLine(label.at(at)))
            lineStart = at + 1;
    qsizetype end = lineStart;
    int kept = 0;
    bool cut = false;
    for (; end < label.size() && !breaksLine(label.at(end)); ++end) {
        const QChar c = label.at(end);
        if (kept >= TitleLength && !c.isLowSurrogate()) {
            cut = true;
            break;
        }
        if (!(c.category() == QChar::Other_NotAssigned || c.category() == QChar::Other_Control ||
              c.category() == QChar::Other_Format) ||
            c.isSpace())
            ++kept;
    }
    QString title = cleanedLabel(label.mid(lineStart, end - lineStart));
    if (cut)
        title += QChar(0x2026);
    return title;
}

void TWMapTabBar::setLabels(const QStringList &labels, int current)
{
    m_quiet = true;
    {
        const QSignalBlocker quiet(this);
        if (count() != labels.size()) {
            while (count() > 0)
                removeTab(count() - 1);
            for (const QString &label : labels)
                addTab(shownAsItStands(label));
        } else {
            for (int i = 0; i < labels.size(); ++i)
                setTabText(i, shownAsItStands(labels.at(i)));
        }
        if (current >= 0 && current < count())
            setCurrentIndex(current);
    }
    m_quiet = false;
    updateCloseButtons();
    updateGeometry();
}

QStringList TWMapTabBar::labels() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list << storedText(tabText(i));
    return list;
}

bool TWMapTabBar::closeButtonVisible(int index) const
{
    const QWidget *button = tabButton(index, QTabBar::RightSide);
    if (!button)
        button = tabButton(index, QTabBar::LeftSide);
    return button && !button->isHidden();
}

void TWMapTabBar::updateCloseButtons()
{
    for (int i = 0; i < count(); ++i) {
        for (ButtonPosition side : {QTabBar::LeftSide, QTabBar::RightSide})
            if (QWidget *button = tabButton(i, side))
                button->setVisible(count() > 1 && i == currentIndex());
    }
}

QSize TWMapTabBar::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    size.setWidth(std::clamp(size.width(), MinimumTabWidth, MaximumTabWidth));
    return size;
}

QSize TWMapTabBar::minimumTabSizeHint(int index) const
{
    QSize size = QTabBar::minimumTabSizeHint(index);
    size.setWidth(std::clamp(size.width(), MinimumTabWidth, MaximumTabWidth));
    return size;
}

void TWMapTabBar::tabInserted(int index)
{
    QTabBar::tabInserted(index);
    updateCloseButtons();
}

void TWMapTabBar::tabRemoved(int index)
{
    QTabBar::tabRemoved(index);
    updateCloseButtons();
}

void TWMapTabBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressIndex = tabAt(event->position().toPoint());
        m_movingIndex = m_pressIndex;
        m_pressPosition = event->position().toPoint();
    }
    QTabBar::mousePressEvent(event);
}

void TWMapTabBar::mouseMoveEvent(QMouseEvent *event)
{
    // Leaving the bar up or down turns the move into a drag to another window.
    if (m_pressIndex >= 0 && (event->buttons() & Qt::LeftButton)) {
        const int y = int(event->position().y());
        if (y < -height() / 2 || y > height() + height() / 2) {
            startDragOut(event);
            return;
        }
    }
    QTabBar::mouseMoveEvent(event);
}

void TWMapTabBar::startDragOut(QMouseEvent *event)
{
    const int index = m_pressIndex;
    // Puts the tab back in its place before the drag takes over.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(m_pressPosition),
                        event->globalPosition(), Qt::LeftButton, Qt::NoButton, event->modifiers());
    m_pressIndex = -1;
    m_movingIndex = -1;
    QTabBar::mouseReleaseEvent(&release);
    if (index < 0 || index >= count())
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(mimeDataForTab(index));
    const QRect tab = tabRect(index);
    drag->setPixmap(grab(tab));
    drag->setHotSpot(m_pressPosition - tab.topLeft());
    drag->exec(Qt::CopyAction);
}

void TWMapTabBar::mouseReleaseEvent(QMouseEvent *event)
{
    QTabBar::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const int from = m_pressIndex;
    const int to = m_movingIndex;
    m_pressIndex = -1;
    m_movingIndex = -1;
    if (from >= 0 && to >= 0 && from != to)
        emit tabReordered(from, to);
}

QMimeData *TWMapTabBar::mimeDataForTab(int index) const
{
    auto *data = new QMimeData;
    data->setData(MapTabMimeType, QStringLiteral("%1 %2 %3")
                                      .arg(QApplication::applicationPid())
                                      .arg(quintptr(this))
                                      .arg(index)
                                      .toLatin1());
    return data;
}

TWMapTabBar::DraggedTab TWMapTabBar::tabFromMimeData(const QMimeData *data)
{
    if (!data || !data->hasFormat(MapTabMimeType))
        return {};
    const QList<QByteArray> parts = data->data(MapTabMimeType).split(' ');
    if (parts.size() != 3)
        return {};
    bool pidOk = false, barOk = false, indexOk = false;
    const qint64 pid = parts.at(0).toLongLong(&pidOk);
    const quintptr address = parts.at(1).toULongLong(&barOk);
    const int index = parts.at(2).toInt(&indexOk);
    if (!pidOk || !barOk || !indexOk || pid != QApplication::applicationPid())
        return {};
    // Only an address that is a live bar is ever used as one.
    for (TWMapTabBar *bar : liveBars())
        if (quintptr(bar) == address)
            return index >= 0 && index < bar->count() ? DraggedTab{bar, index} : DraggedTab{};
    return {};
}

void TWMapTabBar::dragEnterEvent(QDragEnterEvent *event)
{
    const DraggedTab tab = tabFromMimeData(event->mimeData());
    if (tab.bar && tab.bar != this)
        event->acceptProposedAction();
    else
        QTabBar::dragEnterEvent(event);
}

void TWMapTabBar::dragMoveEvent(QDragMoveEvent *event)
{
    const DraggedTab tab = tabFromMimeData(event->mimeData());
    if (tab.bar && tab.bar != this)
        event->acceptProposedAction();
    else
        QTabBar::dragMoveEvent(event);
}

void TWMapTabBar::dropEvent(QDropEvent *event)
{
    const DraggedTab tab = tabFromMimeData(event->mimeData());
    if (!tab.bar || tab.bar == this) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit tabDropped(tab.bar, tab.index);
}
