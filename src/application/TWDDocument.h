#pragma once

#include "application/TWDocument.h"

#include "application/TWMapTabBar.h"
#include "interface/TWCSliderCell.h"
#include "interface/TWImageGrid.h"
#include "interface/TWTransitionView.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QToolButton>

class QAction;
class QStackedLayout;
class QStandardItemModel;
class QToolBar;

// The Deluxe edition's document: its maps as tabs over the map, a grid of
// all maps in place of the map, and full screen.
class TWDDocument : public TWDocument, public TWImageGridDelegate
{
    Q_OBJECT

public:
    TWDDocument();
    ~TWDDocument() override;

    // Every Deluxe document alive, oldest first.
    static QList<TWDDocument *> deluxeDocuments();

    // --- the map tabs ---
    TWMapTabBar *mapTabView() const { return m_mapTabView; }
    QToolButton *addTabButton() const { return m_addTabButton; }
    // The tab's text for the map at index: its name, else its root's text,
    // else "DadoZiz n", as a tab shows it (TWMapTabBar::tabTitle).
    QString tabLabelForMapAtIndex(int index) const;
    // One tab per map with its label, the current map's tab selected.
    void updateMapTabs();
    // After the last map comes the first, before the first the last.
    void selectNextTab();
    void selectPreviousTab();
    // Undoable; the tabs follow the maps document's notification.
    void setCurrentMapNumber(int number);
    // A fresh map: its root still has its first title and no children.
    static bool isMapUntouched(const TWMap &map);
    // Closing a tab deletes the current map, after asking unless the map is
    // untouched; the only map is never deleted this way.
    void closeCurrentMapTab();
    // A tab dragged within the bar: the map moves, as one undoable step.
    void moveMapTab(int from, int to);
    // A tab of another document dropped on this one's bar: a copy of that
    // map, pictures included, goes in at the selected tab's place.
    void copyMapFromDocument(TWDDocument *source, int index);

    // --- map commands ---
    // A new current map whose root takes the selected branch's text and
    // graphics and whose first level is a copy of its children; the source
    // map is not changed.
    void createNewMapFromSelectedBranch();
    // Appends a copy of the current map and makes it current.
    void duplicateCurrentMap();
    void togglePageFrames();
    void showDocumentPropertiesPanel();
    QWidget *documentPropertiesPanel();

    // --- the document view: a grid of all maps ---
    void toggleDocumentView();
    // Whether the grid is shown instead of the map.
    bool documentViewActive() const;
    void showDocumentViewUsingTransition(bool animated);
    void showMapViewUsingTransition(bool animated);
    // Seconds a switch takes: four while Shift is held, else one.
    static float transitionDuration(Qt::KeyboardModifiers modifiers);
    TWTransitionView *mainView() const { return m_mainView; }
    TWImageGrid *documentViewImageGrid() const { return m_documentViewImageGrid; }
    QList<int> selectedGridRows() const;
    void setSelectedGridRows(const QList<int> &rows);
    // Makes the first map picked in the grid current and shows it.
    void ok();
    void ok(TWImageGrid *grid) override;
    // Style and the view options of the picked maps; none without a pick.
    QMenu *imageGridMenuForEvent(QContextMenuEvent *event) override;
    // Flips the view option named by the item's data on every picked map.
    void toggle(QObject *sender);
    void setDocumentViewGridSize(float size);
    // While the grid shows, the maps picked in it (when any).
    QList<std::shared_ptr<TWMap>> selectedMaps() const override;

    // --- full screen ---
    void toggleFullScreen();
    void beginFullScreen();
    void endFullScreen() override;
    bool isFullScreen() const override;
    // The small panel shown while in full screen.
    QWidget *fullScreenControlWindow();

    // --- the menu chain ---
    void addEditionMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher) override;
    bool respondsToMenuAction(const QString &selector) const override;
    bool validateMenuItem(TWMenuItem &item) const override;
    void performMenuAction(const TWMenuItem &item) override;

signals:
    // The grid came or went (the navigators draw nothing over it).
    void documentViewActiveChanged(bool active);

protected:
    void editionWindowDidLoad() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupMapTabView();
    void setupDocumentView(QWidget *pane);
    void placeMapView(QWidget *mapView);
    void reloadDocumentViewGrid();
    // The grid's picture of the map: its live preview at the cell size.
    QImage gridPictureOfMap(TWMap &map) const;
    // Pictures of maps whose preview was renewed are drawn again once the
    // renewals of one pass are over.
    void gridPreviewDidUpdate(const void *map);
    void redrawStaleGridPictures();
    QList<std::shared_ptr<TWMap>> selectedGridMaps() const;
    // The picked maps' common value of a view option; none when they differ.
    std::optional<bool> selectedGridMapsValue(const QString &key) const;
    void switchPresentation(QWidget *arriving, bool animated, bool reverse);
    QMenu *documentViewMenu();
    void endEditingText();

    QPointer<TWMapTabBar> m_mapTabView;
    QPointer<QToolButton> m_addTabButton;
    ObserverToken m_tabsObserver;

    QPointer<TWTransitionView> m_mainView;
    QStackedLayout *m_presentations = nullptr;
    QPointer<QWidget> m_mapView;
    QPointer<QWidget> m_documentView;
    QPointer<TWImageGrid> m_documentViewImageGrid;
    QPointer<TWCSliderCell> m_documentViewSlider;
    QStandardItemModel *m_gridModel = nullptr;
    QItemSelectionModel *m_gridSelection = nullptr;
    ObserverToken m_gridPreviewObserver;
    QSet<const void *> m_staleGridPictures;
    QPointer<QMenu> m_documentViewMenu;
    float m_documentViewGridSize = 200;

    bool m_isFullScreen = false;
    QRect m_originalWindowRect;
    QList<std::pair<QPointer<QToolBar>, bool>> m_originalToolbars;
    QPointer<QWidget> m_fullScreenControlWindow;
    // Menu items whose keys the window carries while the menu bar is hidden.
    QList<QPointer<QAction>> m_fullScreenKeys;
    QPointer<QWidget> m_documentPropertiesPanel;
};
