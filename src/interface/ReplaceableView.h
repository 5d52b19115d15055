#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

// Shows one of sixteen prepared views at a time and resizes its window to
// fit it: the window's top edge stays, it takes the view's width and grows
// or shrinks by the difference in height.
class ReplaceableView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int viewCount = 16;

    explicit ReplaceableView(QWidget *parent = nullptr);

    // The view takes the prepared view over and keeps it hidden until selected.
    void setView(int index, QWidget *view);
    QWidget *view(int index) const;
    QWidget *currentView() const { return m_currentView; }
    QWidget *emptyView() const { return m_emptyView; }
    void setEmptyView(QWidget *view) { m_emptyView = view; }

    void replaceSubviewWith(QWidget *view);

public slots:
    // Does nothing for an index without a prepared view.
    void selectView(int index);
    void selectView0() { selectView(0); }
    void selectView1() { selectView(1); }
    void selectView2() { selectView(2); }
    void selectView3() { selectView(3); }
    void selectView4() { selectView(4); }
    void selectView5() { selectView(5); }
    void selectView6() { selectView(6); }
    void selectView7() { selectView(7); }
    void selectView8() { selectView(8); }
    void selectView9() { selectView(9); }
    void selectView10() { selectView(10); }
    void selectView11() { selectView(11); }
    void selectView12() { selectView(12); }
    void selectView13() { selectView(13); }
    void selectView14() { selectView(14); }
    void selectView15() { selectView(15); }

private:
    std::array<QPointer<QWidget>, viewCount> m_views;
    QPointer<QWidget> m_currentView;
    QPointer<QWidget> m_emptyView;
};
