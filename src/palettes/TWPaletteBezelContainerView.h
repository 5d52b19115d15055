#pragma once

#include "platform/Geometry.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>
#include <functional>

class QMimeData;
class TWPaletteBezel;
class TWPaletteWindow;

// A palette flip: the old side folds away and the new side unfolds in its
// place over the transition time. Reverse folds the other way (back to the
// main side).
class TWPaletteFlipView : public QWidget
{
    Q_OBJECT

public:
    TWPaletteFlipView(const QImage &startImage, const QImage &endImage, double transitionTime,
                      bool reverse, QWidget *parent = nullptr);

    QImage startImage() const { return m_start; }
    QImage endImage() const { return m_end; }
    double transitionTime() const { return m_transitionTime; }
    bool reverse() const { return m_reverse; }
    void startRendering();
    // Drawing at a fraction of the transition, for a still picture.
    void setProgress(double progress);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_start;
    QImage m_end;
    double m_transitionTime;
    bool m_reverse;
    double m_progress = 0;
    QVariantAnimation m_animation;
};

// Stacks palette bezels top to bottom: the dock of a document window, or the
// content of a floating palette window. It opens a gap where a dragged bezel
// would land and takes bezel drops.
class TWPaletteBezelContainerView : public QWidget
{
    Q_OBJECT

public:
    explicit TWPaletteBezelContainerView(QWidget *parent = nullptr);
    ~TWPaletteBezelContainerView() override;

    QList<TWPaletteBezel *> bezels() const;
    void setBezels(const QList<TWPaletteBezel *> &bezels);
    void addBezel(TWPaletteBezel *bezel);
    // An emptied floating container closes its window.
    void removeBezel(TWPaletteBezel *bezel);

    bool isFloating() const { return m_floating; }
    void setFloating(bool floating) { m_floating = floating; }
    TWPaletteWindow *hostWindow() const;
    void setHostWindow(TWPaletteWindow *window);

    void arrange();
    void removeCurrentBezels();
    // The height of the laid-out stack (the frame height that arrange sets).
    int stackHeight() const { return m_stackHeight; }

    // The flip: the partner takes the bezel's place; the partner shows once
    // the transition has run. `slow` is the Shift-held version.
    void flipBezel(TWPaletteBezel *bezel);
    void flipBezel(TWPaletteBezel *bezel, bool slow);
    static double flipDuration(bool slow) { return slow ? 4.0 : 0.37; }
    // Runs `work` after `seconds`; tests put a controllable clock here.
    using Scheduler = std::function<void(double seconds, QObject *context, std::function<void()>)>;
    static void setScheduler(Scheduler scheduler);
    TWPaletteFlipView *flipView() const { return m_flipView; }

    // The pending drop point of a bezel drag, in widget coordinates.
    void prepareDropPoint(QPointF point);
    void hideDropPoint();
    bool showDropZone() const { return m_showDropZone; }
    Rect dropZoneRect() const { return m_dropZoneRect; }
    int dropIndex() const { return m_dropIndex; }

    // The drop of a bezel, by palette ID.
    void concludeDockedDragOperation(const QString &paletteID);
    void concludeFloatingDragOperation(const QString &paletteID);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Qt::DropAction dragOperation(const QMimeData *data, QPointF point);
    static bool offersBezel(const QMimeData *data);
    void finishFlip(QPointer<TWPaletteBezel> partner, QPointer<TWPaletteFlipView> view);

    QList<QPointer<TWPaletteBezel>> m_bezels;
    bool m_floating = false;
    QPointer<TWPaletteWindow> m_hostWindow;
    bool m_showDropZone = false;
    Rect m_dropZoneRect;
    int m_dropIndex = 0;
    int m_stackHeight = 0;
    bool m_arranging = false;
    QPointer<TWPaletteFlipView> m_flipView;
};
