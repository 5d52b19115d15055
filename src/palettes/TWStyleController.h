#pragma once

#include "palettes/TWStyleViewDocument.h"
#include "platform/NotificationCenter.h"
#include "styles/TWStyle.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QMenu;
class QWidget;
class TWPaletteHost;
class TWStyleManager;
class TWStyleView;

// What the graphic and map style palettes have in common: the document they
// follow, the preview with its menu of the library's styles, and the
// Revert / Save / Save As... / Delete items for the selected style.
class TWStyleController : public QObject
{
    Q_OBJECT

public:
    ~TWStyleController() override;

    void setDocument(TWPaletteHost *document);
    void setDocument(const TWStyleViewDocument &document);
    const TWStyleViewDocument &document() const { return m_document; }

    // The preview view the menu is given to (not owned).
    TWStyleView *preview() const { return m_preview; }
    void setPreview(TWStyleView *preview);
    QMenu *styleMenu() const { return m_styleMenu.get(); }
    const std::shared_ptr<TWStyle> &selectedStyle() const { return m_selectedStyle; }
    virtual void setSelectedStyle(const std::shared_ptr<TWStyle> &style);
    void updateStyleMenu();

    virtual void setStyleFromMenuItem(const std::shared_ptr<TWStyle> &style) = 0;
    virtual void revertSelectedStyle() = 0;
    virtual void saveSelectedStyle() = 0;
    virtual void saveSelectedStyleAs() = 0;
    virtual void deleteSelectedStyle() = 0;
    virtual void showStyleEditor() = 0;

signals:
    void styleMenuChanged();

protected:
    // libraryKind: the style manager's kind whose changes concern this palette.
    TWStyleController(const QString &libraryKind, QObject *parent);

    virtual QList<std::shared_ptr<TWStyle>> libraryStyles() const = 0;
    virtual void documentChanged() = 0;
    virtual void libraryChanged() = 0;
    // Revert, Save and Delete work on custom styles only.
    void addSelectedStyleItems(QMenu *menu);

    static QString dadoZiz(const char *key);
    static QString general(const char *key);
    static TWStyleManager &library();

    TWStyleViewDocument m_document;
    QPointer<TWStyleView> m_preview;
    std::unique_ptr<QMenu> m_styleMenu;
    std::shared_ptr<TWStyle> m_selectedStyle;
    std::vector<ObserverToken> m_observers;
};
