#include "interface/OAGradientTableView.h"

#include "support/Color.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QSet>
#include <algorithm>

OAGradientTableView::OAGradientTableView(QWidget *parent)
    : QTableView(parent),
      m_baseColor(QApplication::palette().color(QPalette::Active, QPalette::Highlight))
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The bands are painted under the cells; the cells add no highlight of their own.
    QPalette p = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, QPalette::Highlight, Qt::transparent);
    setPalette(p);
}

OAGradientTableView::SelectionColors OAGradientTableView::selectionColors(const QColor &base,
                                                                          bool focused)
{
    const QColor hsv = base.toHsv();
    const float hue = hsv.hsvHueF() < 0 ? 0.0f : hsv.hsvHueF();
    const float s = hsv.hsvSaturationF(), v = hsv.valueF(), a = hsv.alphaF();

    const float lightSaturation = s - 0.12f > 0 ? s - 0.12f : 0.0f;
    const float lightBrightness = std::min(v + 0.3f, 1.0f);
    const float darkSaturation = s > 0.04f ? std::min(s + 0.12f, 1.0f) : 0.0f;
    const float darkBrightness = v - 0.045f > 0 ? v - 0.045f : 0.0f;

    SelectionColors colors{base.toRgb(), QColor::fromHsvF(hue, lightSaturation, lightBrightness, a),
                           QColor::fromHsvF(hue, darkSaturation, darkBrightness, a)};
    if (!focused) {
        const auto grey = [](const QColor &c) {
            return Color::fromQColor(c)
                .colorUsingColorSpace(Color::Space::DeviceWhite)
                .colorUsingColorSpace(Color::Space::DeviceRGB)
                .toQColor();
        };
        colors = {grey(colors.base), grey(colors.light), grey(colors.dark)};
    }
    return colors;
}

QList<std::pair<int, int>> OAGradientTableView::selectionRuns(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<std::pair<int, int>> runs;
    for (int row : rows) {
        if (!runs.isEmpty() && runs.last().second == row - 1)
            runs.last().second = row;
        else
            runs.append({row, row});
    }
    return runs;
}

bool OAGradientTableView::showsFocusedSelection() const
{
    return hasFocus() && isActiveWindow();
}

void OAGradientTableView::paintEvent(QPaintEvent *event)
{
    if (selectionModel() && model()) {
        QList<int> rows;
        for (const QModelIndex &index : selectionModel()->selectedIndexes())
            rows.append(index.row());
        const SelectionColors colors = selectionColors(m_baseColor, showsFocusedSelection());
        QPainter painter(viewport());
        for (const auto &[first, last] : selectionRuns(rows)) {
            const int top = rowViewportPosition(first);
            const int bottom = rowViewportPosition(last) + rowHeight(last);
            if (isRowHidden(first) || bottom <= top)
                continue;
            const QRectF band(0, top, viewport()->width(), bottom - top);
            painter.fillRect(QRectF(band.x(), band.y(), band.width(), 1.0), colors.base);
            const QRectF rest = band.adjusted(0, 1.0, 0, 0);
            QLinearGradient gradient(0, rest.top(), 0, rest.bottom());
            gradient.setColorAt(0, colors.light);
            gradient.setColorAt(1, colors.dark);
            painter.fillRect(rest, gradient);
        }
    }
    QTableView::paintEvent(event);
}

void OAGradientTableView::selectionChanged(const QItemSelection &selected,
                                           const QItemSelection &deselected)
{
    QTableView::selectionChanged(selected, deselected);
    // A band spans several rows: repaint them all.
    viewport()->update();
}

void OAGradientTableView::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void OAGradientTableView::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}
