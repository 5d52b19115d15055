#pragma once

#include <QPoint>
#include <QVariantMap>
#include <QWidget>

class TWPaletteBezelContainerView;

// A frameless floating tool window holding one bezel container. Its first
// bezel moves it; dropped onto another palette window it merges into it.
class TWPaletteWindow : public QWidget
{
    Q_OBJECT

public:
    // `contentRect` in screen coordinates.
    explicit TWPaletteWindow(const QRect &contentRect, QWidget *parent = nullptr);

    TWPaletteBezelContainerView *bezelContainer() const { return m_container; }

    // Moving by the mouse, in screen coordinates: where it went down, where
    // it is, where it came up (merging into a palette window under it).
    void beginMove(QPoint globalPoint);
    void moveTo(QPoint globalPoint);
    void endMove(QPoint globalPoint);
    // The origin that keeps the window's top inside the available area.
    static QPoint clampedOrigin(QPoint origin, const QRect &available);
    // Windows can be moved and merged by the program (not under Wayland).
    static bool canPlaceWindows();

    // "windowFrame" and "paletteIDs"; empty without bezels.
    QVariantMap saveDictionary() const;
    static inline const QString WindowFrameKey = QStringLiteral("windowFrame");
    static inline const QString PaletteIDsKey = QStringLiteral("paletteIDs");

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TWPaletteBezelContainerView *m_container;
    QPoint m_initialLocation;
};
