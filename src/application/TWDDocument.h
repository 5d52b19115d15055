#pragma once

#include "application/TWDocument.h"

#include "application/TWMapTabBar.h"

#include <QPointer>
#include <QToolButton>

// The Deluxe edition's document: its maps as tabs over the map.
class TWDDocument : public TWDocument
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
    // else "DadoZiz n", cleaned for a tab.
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

    // --- the menu chain ---
    void addEditionMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher) override;
    bool respondsToMenuAction(const QString &selector) const override;
    bool validateMenuItem(TWMenuItem &item) const override;
    void performMenuAction(const TWMenuItem &item) override;

protected:
    void editionWindowDidLoad() override;

private:
    void setupMapTabView();
    void endEditingText();

    QPointer<TWMapTabBar> m_mapTabView;
    QPointer<QToolButton> m_addTabButton;
    ObserverToken m_tabsObserver;
};
