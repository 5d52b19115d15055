#pragma once

#include "interface/TWImageGrid.h"
#include "styles/TWTheme.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QObject>
#include <QPointer>
#include <QRadioButton>
#include <memory>

class QStandardItemModel;
class QItemSelectionModel;
class TWMap;

// A list of themes for a view: name and preview per row, one selected.
class TWThemeList : public QObject
{
    Q_OBJECT

public:
    explicit TWThemeList(QObject *parent = nullptr);
    void setThemes(const TWThemeManager::ThemeList &themes);
    const TWThemeManager::ThemeList &themes() const { return m_themes; }
    QStandardItemModel *model() const { return m_model; }
    QItemSelectionModel *selectionModel() const { return m_selection; }
    // The first selected theme, or null.
    std::shared_ptr<TWTheme> selectedTheme() const;
    void selectTheme(int row);

private:
    TWThemeManager::ThemeList m_themes;
    QStandardItemModel *m_model;
    QItemSelectionModel *m_selection;
};

// The sheet that applies a chosen theme to the maps of a document.
class TWThemeSelectorPanelController : public QObject, public TWImageGridDelegate
{
    Q_OBJECT

public:
    static inline const QString PreviewSizeKey = QStringLiteral("TWThemePreviewSize");

    // Registers the preview size default and follows it.
    explicit TWThemeSelectorPanelController(QObject *parent = nullptr);
    ~TWThemeSelectorPanelController() override;

    // Made on first request.
    QDialog *themeSelectorPanel();
    TWThemeList *themesArrayController() const { return m_themes; }
    TWImageGrid *previewGrid() const { return m_grid; }

    bool updateAllGraphicsToDefaultStyle() const { return m_updateAllGraphics; }
    void setUpdateAllGraphicsToDefaultStyle(bool on);

    // The maps the chosen theme goes to.
    void setMaps(const QList<std::shared_ptr<TWMap>> &maps) { m_maps = maps; }
    // Shows the panel as a sheet on the window (not blocking).
    void beginSheet(QWidget *window);

    // Applies the selected theme and closes; nothing without a selection.
    void ok();
    void cancel();
    // A double click in the grid applies.
    void ok(TWImageGrid *) override { ok(); }

private:
    void updatePreviewSize();

    TWThemeList *m_themes;
    QPointer<QDialog> m_panel;
    QPointer<TWImageGrid> m_grid;
    QPointer<QCheckBox> m_restyle;
    QList<std::shared_ptr<TWMap>> m_maps;
    bool m_updateAllGraphics = true;
    QMetaObject::Connection m_defaultsConnection;
};

// The panel that saves a map's look as a new theme or over an existing one.
class TWThemeSavePanelController : public QObject
{
    Q_OBJECT

public:
    explicit TWThemeSavePanelController(TWThemeManager &manager, QObject *parent = nullptr);
    ~TWThemeSavePanelController() override;

    QDialog *themeSavePanel();
    TWThemeList *themesArrayController() const { return m_themes; }

    QString newThemeName() const { return m_newThemeName; }
    void setNewThemeName(const QString &name);
    bool updateExistingTheme() const { return m_updateExisting; }
    void setUpdateExistingTheme(bool on);

    void setMap(const std::shared_ptr<TWMap> &map) { m_map = map; }
    // Runs the panel modally; the themes are the library's, sorted by name.
    void runModal();

    // Saves and closes; nothing without a selection (update) or a name (new).
    void save();
    void cancel();

private:
    TWThemeManager &m_manager;
    TWThemeList *m_themes;
    QPointer<QDialog> m_panel;
    QPointer<QLineEdit> m_nameField;
    QPointer<QRadioButton> m_newChoice;
    QPointer<QRadioButton> m_updateChoice;
    QPointer<QListView> m_list;
    std::shared_ptr<TWMap> m_map;
    QString m_newThemeName = QStringLiteral("New Theme");
    bool m_updateExisting = false;
};
