#pragma once

#include "platform/Geometry.h"
#include "support/Color.h"

#include <QImage>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class QDrag;
class TWPaletteBezelContainerView;

// The frame around one palette view: a rounded panel whose title bar holds a
// close button (floating bezels only), a collapse button and, for a palette
// with an advanced side, a flip button. It collapses to its title bar, flips
// to its partner bezel, and is dragged between docks and floating windows.
//
// Its geometry is worked out as the panel was designed, bottom-up: y grows
// upwards from the bezel's bottom edge. toWidget() turns such a rectangle into
// widget coordinates.
class TWPaletteBezel : public QWidget
{
    Q_OBJECT

public:
    // The pasteboard type of a dragged bezel; its data is the palette ID.
    static inline const QString PasteboardType = QStringLiteral("TWPaletteBezelPBoard");
    // The drag threshold, in points from where the mouse went down.
    static constexpr qreal DragDistance = 10.0;

    TWPaletteBezel(const QRect &frame, const QString &paletteID, QWidget *parent = nullptr);
    ~TWPaletteBezel() override;

    // "<palette ID>Collapsed": every bezel of the palette shares it.
    static QString collapsedKey(const QString &paletteID);

    void collapse();
    void expand();
    bool isCollapsed() const { return m_isCollapsed; }
    // Asks the container to swap in the partner bezel.
    void flip();
    // Flips back after the user's auto-flip-back delay; a later call replaces it.
    void setupFlipBack();
    bool flipBackPending() const { return m_flipBackTimer.isActive(); }
    // Floating bezels only: leaves the floating window.
    void close();
    bool floating() const;
    bool isMainBezel() const;
    bool isFirstInContainer() const;

    TWPaletteBezelContainerView *bezelContainer() const;
    void setBezelContainer(TWPaletteBezelContainerView *container);
    QString paletteID() const { return m_paletteID; }
    void setPaletteID(const QString &paletteID);
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    // The title as drawn: the advanced side says so.
    QString displayedTitle() const;
    Color borderColor() const { return m_borderColor; }
    void setBorderColor(const Color &color);
    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const Color &color);
    int bezelType() const { return m_bezelType; }
    void setBezelType(int type);
    float titleHeight() const { return m_titleHeight; }
    void setTitleHeight(float) {} // fixed by design
    float borderWidth() const { return m_borderWidth; }
    float shadowWidth() const { return m_shadowWidth; }
    float cornerRounding() const { return m_cornerRounding; }

    QWidget *palette() const { return m_palette; }
    // Takes the palette view, places it at paletteOrigin and shows it.
    void setPalette(QWidget *palette);
    TWPaletteBezel *mainBezel() const { return m_mainBezel; }
    void setMainBezel(TWPaletteBezel *bezel) { m_mainBezel = bezel; }
    TWPaletteBezel *alternateBezel() const { return m_alternateBezel; }
    void setAlternateBezel(TWPaletteBezel *bezel) { m_alternateBezel = bezel; }
    // The partner of a pair: the alternate side, else the main side.
    TWPaletteBezel *partner() const;
    bool displayingAlternateBezel() const { return m_displayingAlternateBezel; }
    void setDisplayingAlternateBezel(bool flag) { m_displayingAlternateBezel = flag; }

    // Geometry, bottom-up, for the bezel's current size.
    Rect borderRect() const;
    Rect titleRect() const;
    Rect closeButtonRect() const;
    Rect collapseButtonRect() const;
    Rect flipButtonRect() const;
    Point paletteOrigin() const;
    Size minimumSize() const;
    float collapsedHeight() const;
    // A bottom-up rectangle or point in widget coordinates.
    QRectF toWidget(const Rect &rect) const;
    Point fromWidget(QPointF point) const;

    // A picture of the bezel as drawn, transparent where it paints nothing.
    QImage updatePreviewImage();
    QImage previewImage();
    void setPreviewImage(const QImage &image) { m_previewImage = image; }

    bool mouseOver() const { return m_mouseOver; }
    bool mouseOverFlipButton() const { return m_mouseOverFlipButton; }
    bool mouseOverCollapseButton() const { return m_mouseOverCollapseButton; }
    bool mouseOverCloseButton() const { return m_mouseOverCloseButton; }
    bool didDrag() const { return m_didDrag; }

    // Where a drag ended: with no taker the palette is torn off there.
    void draggedImageEnded(Qt::DropAction action, QPoint globalPoint);
    // Runs a bezel drag and answers what the drop did; tests put a recorder here.
    using DragRunner = std::function<Qt::DropAction(QDrag *)>;
    static void setDragRunner(DragRunner runner);

    // Moves the palette view to paletteOrigin (after a size change).
    void placePalette();

signals:
    void collapsedChanged(bool collapsed);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setCollapsedFlag(bool collapsed);
    void defaultChanged(const QString &key);
    void updateHover(QPointF widgetPoint);
    void startDrag();
    void paintExpanded(QPainter &painter);
    void paintCollapsed(QPainter &painter);
    void paintButtons(QPainter &painter);

    QPointer<TWPaletteBezelContainerView> m_container;
    QPointer<TWPaletteBezel> m_mainBezel;
    QPointer<TWPaletteBezel> m_alternateBezel;
    bool m_displayingAlternateBezel = false;
    QString m_paletteID;
    QString m_title;
    Color m_borderColor = Color::blackColor();
    Color m_backgroundColor = Color::blackColor();
    float m_titleHeight = 10.0f;
    float m_borderWidth = 2.0f;
    float m_shadowWidth = 3.0f;
    float m_deadZone = 0.0f;
    float m_titleDeadZone = 4.0f;
    float m_cornerRounding = 10.0f;
    int m_bezelType = 0;
    QPointer<QWidget> m_palette;
    bool m_mouseOver = false;
    bool m_mouseOverFlipButton = false;
    bool m_mouseOverCollapseButton = false;
    bool m_mouseOverCloseButton = false;
    bool m_didDrag = false;
    bool m_isCollapsed = false;
    QImage m_previewImage;
    QPointF m_absoluteMouseDownPoint;
    Point m_relativeMouseDownPoint;
    QTimer m_flipBackTimer;
    QMetaObject::Connection m_defaultsConnection;
};
