#pragma once

#include <QColor>
#include <QList>
#include <QTableView>
#include <utility>

// A table whose selected rows are painted as gradient bands: one band for
// each run of consecutive rows, light at the top, dark at the bottom, with a
// line of the selection colour along its top. Unfocused, the bands turn grey.
class OAGradientTableView : public QTableView
{
    Q_OBJECT

public:
    struct SelectionColors
    {
        QColor base;
        QColor light;
        QColor dark;
    };

    explicit OAGradientTableView(QWidget *parent = nullptr);

    static SelectionColors selectionColors(const QColor &base, bool focused);
    // First and last row of each run of consecutive rows, ascending.
    static QList<std::pair<int, int>> selectionRuns(QList<int> rows);

    QColor baseColor() const { return m_baseColor; }
    bool showsFocusedSelection() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void selectionChanged(const QItemSelection &selected,
                          const QItemSelection &deselected) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QColor m_baseColor;
};
