#pragma once

#include <QImage>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

// Empties an image: every byte zero, so fully transparent. A null image is
// left alone.
void ClearBitmapImageRep(QImage *image);

// Drives a transition: its value runs from 0 to 1 on an ease-in-out curve,
// and every step repaints the delegate at once.
class TWViewAnimation : public QVariantAnimation
{
    Q_OBJECT
public:
    TWViewAnimation(QWidget *delegate, int durationMs, QObject *parent = nullptr);
    QWidget *delegate() const { return m_delegate; }

protected:
    void updateCurrentValue(const QVariant &value) override;

private:
    QPointer<QWidget> m_delegate;
};

// Replaces one child view by another, or its own content by new content,
// with an animated transition painted from snapshots of the old and the new
// content. The animation runs on the event loop: the calls return at once
// and transitionFinished() is sent when the new content is in place.
class TWTransitionView : public QWidget
{
    Q_OBJECT
public:
    enum Style {
        CopyMachine = 0,
        DisintegrateWithMask = 1,
        Dissolve = 2,
        Flash = 3,
        Mod = 4,
        PageCurl = 5,
        Ripple = 6,
        Swipe = 7,
    };
    // Any number outside the eight styles ripples.
    static Style transitionStyleOfType(int type);

    explicit TWTransitionView(QWidget *parent = nullptr);
    ~TWTransitionView() override;

    // Takes `oldView` out of this view (it is left without a parent, for the
    // caller to keep or delete) and puts `newView` in its place once the
    // transition has played. Reversed, the transition plays backwards from
    // the new content to the old, so the old view still turns into the new.
    void replaceSubview(QWidget *oldView, QWidget *newView, int style, bool reverse,
                        float duration);
    // The same in two steps: a snapshot of the content now, then, after the
    // caller has changed the content, the transition to what it shows then.
    void prepareForTransition(int style);
    void executeTransition(int style, bool reverse, float duration);

    bool isAnimating() const { return m_animation != nullptr; }
    TWViewAnimation *animation() const { return m_animation; }
    // Ends a running transition at once, with the new content in place.
    void finishTransition();

    // One frame of a transition from `initial` to `final` at time t in [0, 1]:
    // t = 0 shows exactly the initial image, t = 1 exactly the final one.
    static void drawTransitionFrame(QPainter &painter, Style style, const QRectF &target,
                                    const QImage &initial, const QImage &final, qreal t);

    // The grey-scale mask of the disintegrating transition and the shine of
    // the curling and rippling ones, made once for the whole run.
    static const QImage &inputMaskImage();
    static const QImage &inputShadingImage();

signals:
    void transitionFinished();

private:
    class Overlay;
    QImage snapshot(QWidget *widget, const QRect &rect) const;
    void startAnimation(Style style, const QRect &imageRect, QImage initial, QImage final,
                        float duration);
    void animationEnded();
    void paintOverlay(QPainter &painter);

    Overlay *m_overlay = nullptr;
    TWViewAnimation *m_animation = nullptr;
    Style m_style = Dissolve;
    bool m_reverse = false;
    QRect m_imageRect;
    QImage m_initial;
    QImage m_final;
    QImage m_oldContentBitmap;
    QPointer<QWidget> m_incomingView;
};
