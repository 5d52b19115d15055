#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// A section of a window that folds away: hidden, it takes its contents out
// and shrinks its window by the height it gave up, keeping the window's top
// edge and every other view where the user sees it; shown, it grows back.
//
// The section works both in a window whose views are placed by hand (the
// views below it move with the window's bottom edge) and in one laid out by
// Qt layouts (it fixes its own height and the layouts follow). Its contents
// are hidden rather than detached, so the tab order keeps them in their place
// and Qt's focus chain skips them while they are hidden.
class TWDiscloseableView : public QWidget
{
    Q_OBJECT
public:
    explicit TWDiscloseableView(QWidget *parent = nullptr);
    // Made with a frame, the section's shown height is the frame's.
    TWDiscloseableView(const QRect &frame, QWidget *parent);

    bool isShown() const { return m_isShown; }
    void setIsShown(bool shown);
    // The height while shown; taken from the section when it is first hidden
    // unless it was made with a frame or set.
    float originalHeight() const { return m_originalHeight; }
    void setOriginalHeight(float height) { m_originalHeight = height; }
    float hiddenHeight() const { return m_hiddenHeight; }
    void setHiddenHeight(float height) { m_hiddenHeight = height; }

public slots:
    void toggleDisclosure() { setIsShown(!m_isShown); }
    void hideContents();
    void showContents();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void removeSubviews();
    void restoreSubviews();
    void changeWindowHeightBy(int d);

    bool m_isShown = true;
    float m_originalHeight = -1;
    float m_hiddenHeight = 0;
    bool m_hiddenSubviewsSet = false;
    QList<QPointer<QWidget>> m_hiddenSubviews;
    bool m_checkedSizePolicy = false;
};
