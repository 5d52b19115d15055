#pragma once

#include "support/Image.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <functional>

class QMainWindow;
class QVariantAnimation;

// Changes of what a view or a whole window shows, with a transition where
// the system has one. Windows here have no transitions of the window
// server: the change in the middle of one is made at once.
namespace Transition {

// Plays a transition composition between two pictures. The composition is
// given four inputs: "Image_Start" and "Image_End" (Image), "Transition_Time"
// (seconds, a double) and "Reverse" (bool). This player has no composition
// engine: it checks that the file is there and dissolves from the start
// picture to the end one over the time given.
class CompositionView : public QWidget
{
public:
    explicit CompositionView(QWidget *parent = nullptr);
    ~CompositionView() override;

    virtual bool loadCompositionFromFile(const QString &path);
    virtual void setEraseColor(const QColor &color);
    virtual bool setValueForInputKey(const QVariant &value, const QString &key);
    virtual bool startRendering();

    QVariant valueForInputKey(const QString &key) const { return m_inputs.value(key); }
    const QString &compositionPath() const { return m_path; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_path;
    QColor m_eraseColor = Qt::transparent;
    QVariantMap m_inputs;
    QImage m_start;
    QImage m_end;
    QVariantAnimation *m_animation = nullptr;
    qreal m_time = 0;
};

// Makes the player of replaceSubview (tests install their own); null brings
// back the built-in one.
using CompositionViewFactory = std::function<CompositionView *(QWidget *parent)>;
void setCompositionViewFactory(CompositionViewFactory factory);

// Puts `newView` where `oldView` was in `receiver` (or over the whole of it
// without an old view) with the composition at `compositionPath` playing
// in between for `duration` seconds (eight times as long with Shift held).
// The old view leaves `receiver` at once, without a parent, for the caller
// to keep or delete; the new one is added when the composition has played,
// and the player then removes itself.
void replaceSubview(QWidget &receiver, QWidget *oldView, QWidget *newView,
                    const QString &compositionPath, bool reverse, float duration);

// The view drawn as PDF, its own bounds for a page (a point a pixel), as an
// image whose data is that PDF; a bitmap of the same drawing goes with it so
// that it can be shown without a PDF renderer.
std::optional<Image> pdfImage(QWidget &view);

// Runs `midAction` and shows the window as it is then. The transition type
// and option are the window server's codes, passed through; the duration
// is that of the transition, which this system does not play.
void performTransition(QWidget &window, int transition, int option, float duration,
                       const std::function<void()> &midAction);
// The new content view replaces the old, the window resized around it.
void setContentView(QMainWindow &window, QWidget *view, int transition, int option, float duration);
// Shows the window, brought to the front and made key, and restores its
// opacity and alpha as they were before the transition hid it.
void showWithTransition(QWidget &window, int transition, int option, float duration);
void closeWithTransition(QWidget &window, int transition, int option, float duration);
// "alphaValue" (a double) and "isOpaque" (a bool), set in that order.
void restoreOpacitySettings(QWidget &window, const QVariantMap &settings);
// Replaces the window's content view (the old one is deleted with the
// window's ownership of it; a caller that keeps it takes it first) and
// sizes the window to the new view plus what the window adds around its
// content, keeping the window's top and left edges.
void setContentViewAndResize(QMainWindow &window, QWidget *view);

} // namespace Transition
