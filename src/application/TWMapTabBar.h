#pragma once

#include <QPoint>
#include <QPointer>
#include <QTabBar>

class QMimeData;

// The row of map tabs over a Deluxe document's map: one tab per map, only
// the selected tab (and never the only one) closes, tabs reorder by drag
// within the bar, and a tab dragged onto another document's bar is offered
// to that document as a copy. The bar reports; the document decides.
class TWMapTabBar : public QTabBar
{
    Q_OBJECT

public:
    // Our own drag payload: which bar (of this process) and which tab.
    static inline const QString MapTabMimeType = QStringLiteral("application/x-thinkweb-map-tab");
    static constexpr int MinimumTabWidth = 10;
    static constexpr int MaximumTabWidth = 200;

    explicit TWMapTabBar(QWidget *parent = nullptr);
    ~TWMapTabBar() override;

    // A label as a tab shows it: whitespace and newlines become one space
    // each, characters illegal in names and control characters go.
    static QString cleanedLabel(const QString &label);
    // What a tab shows of a label: its first line with text, cleaned, cut
    // after TitleLength characters with an ellipsis. Only what it shows is
    // read, so a label of megabytes costs no more than a short one.
    static constexpr int TitleLength = 40;
    static QString tabTitle(const QString &label);
    // One tab per label (rebuilt only when the count differs), then the
    // selected tab; quiet, so no selection or move is reported.
    void setLabels(const QStringList &labels, int current);
    QStringList labels() const;

    // The width the tab asks for, within the bounds.
    int preferredTabWidth(int index) const { return tabSizeHint(index).width(); }
    // Whether the tab at index shows its close button now.
    bool closeButtonVisible(int index) const;

    // The payload of a drag of the tab at index; parsed back by tabFromMimeData.
    QMimeData *mimeDataForTab(int index) const;
    struct DraggedTab
    {
        TWMapTabBar *bar = nullptr;
        int index = -1;
    };
    // The live bar of this process and the tab a payload names; no bar
    // when it names none (another process, a bar since gone).
    static DraggedTab tabFromMimeData(const QMimeData *data);

signals:
    // The user picked a tab.
    void tabSelected(int index);
    void closeRequested(int index);
    // A tab was dragged from one place to another within the bar (once, on release).
    void tabReordered(int from, int to);
    // A tab of another bar was dropped here.
    void tabDropped(TWMapTabBar *source, int sourceIndex);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void tabInserted(int index) override;
    void tabRemoved(int index) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void updateCloseButtons();
    void startDragOut(QMouseEvent *event);

    bool m_quiet = false;
    int m_pressIndex = -1;
    int m_movingIndex = -1;
    QPoint m_pressPosition;
};
