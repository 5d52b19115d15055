#pragma once

#include <QDialog>
#include <QHash>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>

class QAction;
class TWDocumentWindow;
class QListWidget;
class QToolBar;
class TWDocument;
enum class Edition;

// Makes a document window's toolbar: the items both editions share, the
// standard ones (spaces, separator, colours, fonts, print), the user's
// arrangement kept in the defaults under the toolbar's identifier, and the
// dialog that rearranges it. The editions' subclasses give the item lists.
class TWToolbarController : public QObject
{
    Q_OBJECT

public:
    static inline const QString ToolbarIdentifier = QStringLiteral("TWToolbarIdentifier");
    // Where the arrangement is kept, by toolbar identifier.
    static inline const QString ConfigurationKeyFormat =
        QStringLiteral("NSToolbar Configuration %1");
    static inline const QString MediaBrowserItem =
        QStringLiteral("TWToolbarMediaBrowserIdentifier");
    static inline const QString OutlineViewItem = QStringLiteral("TWToolbarOutlineViewIdentifier");
    static inline const QString BranchNotesItem = QStringLiteral("TWToolbarBranchNotesIdentifier");
    static inline const QString OutlineComboItem =
        QStringLiteral("TWToolbarOutlineComboIdentifier");
    static inline const QString ThemeSelectorItem =
        QStringLiteral("TWToolbarThemeSelectorIdentifier");
    // The standard items.
    static inline const QString FlexibleSpaceItem = QStringLiteral("NSToolbarFlexibleSpaceItem");
    static inline const QString SpaceItem = QStringLiteral("NSToolbarSpaceItem");
    static inline const QString SeparatorItem = QStringLiteral("NSToolbarSeparatorItem");
    static inline const QString ShowColorsItem = QStringLiteral("NSToolbarShowColorsItem");
    static inline const QString ShowFontsItem = QStringLiteral("NSToolbarShowFontsItem");
    static inline const QString PrintItem = QStringLiteral("NSToolbarPrintItem");
    static constexpr QSize IconSize{32, 32};
    static constexpr int SpaceWidth = 16;

    // What the item shows and does; the selector names its command.
    struct ItemDescription
    {
        QString identifier;
        QString label;
        QString paletteLabel;
        QString toolTip;
        QString image;
        QString selector;
    };

    // Gives the window of `document` the toolbar of the edition; none for a
    // build of neither edition. The controller belongs to the window.
    static TWToolbarController *installToolbar(TWDocument *document, Edition edition);

    explicit TWToolbarController(TWDocumentWindow *window, QObject *parent = nullptr);
    ~TWToolbarController() override;

    TWDocumentWindow *documentWindow() const;
    TWDocument *document() const;
    QToolBar *toolbar() const { return m_toolbar; }

    // Makes the toolbar with the saved arrangement (else the default one)
    // and puts it on the window.
    void setupToolbar();

    // A new item for an identifier this edition knows, else null.
    virtual QAction *itemForItemIdentifier(const QString &identifier, bool willBeInserted);
    // The edition's lists; none for the shared controller.
    virtual QStringList defaultItemIdentifiers() const { return {}; }
    virtual QStringList allowedItemIdentifiers() const { return {}; }

    // The identifiers shown now, left to right.
    QStringList itemIdentifiers() const;
    // Shows these items (unknown ones and repeats of a single item are
    // dropped) and keeps the arrangement.
    void setItemIdentifiers(const QStringList &identifiers);
    // The arrangement as kept in the defaults; empty when none is.
    QStringList savedItemIdentifiers() const;
    // The item shown for an identifier, or null.
    QAction *itemWithIdentifier(const QString &identifier) const;
    // Items that may appear more than once.
    static bool isRepeatable(const QString &identifier);

    // The dialog that rearranges the items; modal, applied on OK.
    void runCustomizationPalette();
    // Enables each item whose command has a taker now.
    void validateVisibleItems();

protected:
    // The command an item sends: an application command, a document command
    // by its action name, or one of the standard panels.
    void performItem(const QString &identifier);
    bool canPerformItem(const QString &identifier) const;
    QAction *makeItem(const ItemDescription &description, int iconSide = IconSize.width());
    static const ItemDescription *sharedItemDescription(const QString &identifier);
    virtual const ItemDescription *itemDescription(const QString &identifier) const;

private:
    void showItems(const QStringList &identifiers);
    QStringList sanitized(const QStringList &identifiers) const;
    void saveConfiguration() const;

    QPointer<QMainWindow> m_window;
    QToolBar *m_toolbar = nullptr;
};

// The sheet that rearranges a toolbar: the items the edition allows on one
// side, the toolbar's items in order on the other.
class TWToolbarCustomizeDialog : public QDialog
{
    Q_OBJECT

public:
    TWToolbarCustomizeDialog(TWToolbarController &controller, QWidget *parent = nullptr);

    QStringList identifiers() const { return m_identifiers; }
    // Puts the item at `row` (the end for -1); a single item already shown
    // moves there.
    void insertItem(const QString &identifier, int row = -1);
    void removeRow(int row);
    void moveRow(int from, int to);
    void useDefaultSet();

    QListWidget *allowedList() const { return m_allowed; }
    QListWidget *currentList() const { return m_current; }

private:
    void reload();
    QString title(const QString &identifier) const;

    TWToolbarController &m_controller;
    QStringList m_identifiers;
    QListWidget *m_allowed = nullptr;
    QListWidget *m_current = nullptr;
};
