#pragma once

#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"
#include "support/Font.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QSet>
#include <QWidget>
#include <optional>

class QContextMenuEvent;
class QMenu;
class TWImageGrid;

// What the owner of a grid is told: a double click, and the wish for a context menu.
class TWImageGridDelegate
{
public:
    virtual ~TWImageGridDelegate() = default;
    virtual void ok(TWImageGrid *grid) {}
    // The menu is the delegate's; nullptr shows none.
    virtual QMenu *imageGridMenuForEvent(QContextMenuEvent *event) { return nullptr; }
};

// A scrolling grid of preview pictures with a title under each. Items come
// from a list model (title and preview by role name, falling back to the
// display and decoration roles); the selection model owns the selection.
class TWImageGrid : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool drawTitle READ drawTitle WRITE setDrawTitle)
    Q_PROPERTY(
        bool allowMultipleSelection READ allowMultipleSelection WRITE setAllowMultipleSelection)
    Q_PROPERTY(float previewWidth READ previewWidth WRITE setPreviewWidth)
    Q_PROPERTY(float previewHeight READ previewHeight WRITE setPreviewHeight)

public:
    static inline const QString MapPreviewDidUpdateNotification =
        QStringLiteral("TWMapPreviewDidUpdate");

    explicit TWImageGrid(QWidget *parent = nullptr);
    ~TWImageGrid() override;

    // Makes the grid the scroll area's document and follows its size.
    void setScrollView(QScrollArea *scrollView);
    QScrollArea *scrollView() const { return m_scrollView; }
    void setModel(QAbstractItemModel *model, QItemSelectionModel *selection);
    QAbstractItemModel *model() const { return m_model; }
    QItemSelectionModel *selectionModel() const { return m_selection; }
    void setDelegate(TWImageGridDelegate *delegate) { m_delegate = delegate; }

    QString nameKey() const { return m_nameKey; }
    void setNameKey(const QString &key) { m_nameKey = key; }
    QString imageKey() const { return m_imageKey; }
    void setImageKey(const QString &key) { m_imageKey = key; }

    float previewWidth() const { return m_previewWidth; }
    void setPreviewWidth(float width) { m_previewWidth = width; }
    float previewHeight() const { return m_previewHeight; }
    void setPreviewHeight(float height) { m_previewHeight = height; }
    float border() const { return m_border; }
    float titleMargin() const { return m_titleMargin; }
    float titleHeight() const { return m_titleHeight; }
    // The title font at the largest size, down to six tenths of it, at which
    // the title fits the width.
    static Font fittedTitleFont(const Font &font, const QString &title, float width);
    bool drawSelectionBorder() const { return m_drawSelectionBorder; }
    void setDrawSelectionBorder(bool on) { m_drawSelectionBorder = on; }
    bool drawMainBorder() const { return m_drawMainBorder; }
    void setDrawMainBorder(bool on) { m_drawMainBorder = on; }
    bool drawTitle() const { return m_drawTitle; }
    void setDrawTitle(bool on) { m_drawTitle = on; }
    bool allowMultipleSelection() const { return m_allowMultipleSelection; }
    void setAllowMultipleSelection(bool on) { m_allowMultipleSelection = on; }
    bool draggingSelection() const { return m_draggingSelection; }
    Rect dragRect() const { return m_dragRect; }

    // Columns and rows of the last drawing.
    int imagesWide() const { return m_imagesWide; }
    int imagesHigh() const { return m_imagesHigh; }
    // Hit rectangles of the last drawing, by item index.
    const QList<Rect> &locationCache() const { return m_locationCache; }

    // Changes both sides and refits; an equal size does nothing.
    void setPreviewSize(QSizeF size);
    void updateFrame();
    // Resizes to at least one cell wide and all rows high.
    void setFrameSize(QSizeF size);
    QSizeF adjustedFrameSize(QSizeF size) const;
    Rect frameForImageAt(int column, int row) const;
    Rect hitRectForImageAt(int column, int row) const;

    void selectAll();
    void scrollToSelection();
    QList<int> selectedRows() const;
    // The title of the item under the point, as its tool tip.
    std::optional<QString> toolTipAt(QPointF point) const;
    // Hit-testing against the last drawing.
    int itemAt(QPointF point) const;

    // How many times the frame was refitted (the preview size check needs it).
    int frameUpdateCount() const { return m_frameUpdateCount; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int itemCount() const;
    int roleFor(const QString &key, int fallback) const;
    QVariant valueFor(int row, const QString &key, int fallback) const;
    bool isRowSelected(int row) const;
    void setSelectedRows(const QSet<int> &rows);
    void computeGrid();
    void leftMouseDown(QMouseEvent *event);
    void rightMouseDown(QMouseEvent *event);
    void dragTo(Point point);

    QPointer<QScrollArea> m_scrollView;
    QPointer<QWidget> m_viewport;
    QPointer<QAbstractItemModel> m_model;
    QPointer<QItemSelectionModel> m_selection;
    TWImageGridDelegate *m_delegate = nullptr;
    QString m_nameKey = QStringLiteral("name");
    QString m_imageKey = QStringLiteral("previewImage");
    QList<Rect> m_locationCache;
    int m_imagesWide = 0;
    int m_imagesHigh = 0;
    float m_previewWidth = 100.0f;
    float m_previewHeight = 100.0f;
    float m_border = 15.0f;
    float m_titleMargin = 22.0f;
    float m_titleHeight = 16.0f;
    bool m_drawSelectionBorder = true;
    bool m_drawMainBorder = true;
    bool m_drawTitle = true;
    bool m_draggingSelection = false;
    Rect m_dragRect;
    bool m_allowMultipleSelection = false;

    // A left press being tracked as a rubber band.
    bool m_tracking = false;
    bool m_extending = false;
    Point m_clickPoint;
    QSet<int> m_workingSelection;
    // The second press of a double click is answered with ok and nothing else.
    quint64 m_lastPressTime = 0;
    QPointF m_lastPressPosition;
    bool m_lastPressWasSecondClick = false;
    bool m_havePressed = false;
    bool m_doubleClickAnswered = false;

    int m_frameUpdateCount = 0;
    ObserverToken m_previewToken;
    QList<QMetaObject::Connection> m_modelConnections;
};
