#pragma once

#include "application/TWTemplate.h"
#include "interface/TWImageGrid.h"
#include "styles/TWTheme.h"

#include <QDialog>
#include <QListView>
#include <QObject>
#include <QPointer>
#include <QStackedWidget>
#include <memory>

class QItemSelectionModel;
class QStandardItemModel;
class TWThemeList;

// The two-page chooser of a new map: a template, then a theme. Its result
// is 0 (cancelled), 1 (with the selected theme) or 2 (without a theme).
class TWTemplateSelectorPanelController : public QObject, public TWImageGridDelegate
{
    Q_OBJECT

public:
    enum Result { Cancelled = 0, WithTheme = 1, WithoutTheme = 2 };
    static inline const QString TemplatePreviewSizeKey = QStringLiteral("TWTemplatePreviewSize");
    static inline const QString ThemePreviewSizeKey = QStringLiteral("TWThemePreviewSize");

    // Registers both preview sizes and follows them. Empty libraries mean
    // the shared ones.
    explicit TWTemplateSelectorPanelController(TWTemplateController *templates = nullptr,
                                               TWThemeManager *themes = nullptr,
                                               QObject *parent = nullptr);
    ~TWTemplateSelectorPanelController() override;
    static TWTemplateSelectorPanelController &sharedTemplateSelectorPanelController();

    // The libraries the content comes from (null: the shared ones).
    void setLibraries(TWTemplateController *templates, TWThemeManager *themes)
    {
        m_templateController = templates;
        m_themeManager = themes;
    }

    // Made on first request.
    QDialog *templateSelectorPanel();
    // Runs the panel (as a sheet on the window when one is given) and
    // returns its result.
    int runModalSheetForWindow(QWidget *window);
    int panelResult() const { return m_panelResult; }

    std::shared_ptr<TWTemplateGroup> selectedTemplateGroup() const;
    std::shared_ptr<TWTemplate> selectedTemplate() const;
    std::shared_ptr<TWTheme> selectedTheme() const;

    // Takes the groups and themes from the libraries afresh.
    void reloadContent();
    void showTemplateView();
    void showThemeView();
    bool showsThemeView() const;

    void templateNext() { showThemeView(); }
    void themePrevious() { showTemplateView(); }
    void done() { finish(WithTheme); }
    void noTheme() { finish(WithoutTheme); }
    void cancel() { finish(Cancelled); }
    // A double click: the template grid goes on to the themes, the theme
    // grid finishes.
    void ok(TWImageGrid *grid) override;

    TWImageGrid *templatePreviewGrid() const { return m_templateGrid; }
    TWImageGrid *themePreviewGrid() const { return m_themeGrid; }
    QListView *templateGroupsView() const { return m_groupsView; }
    QItemSelectionModel *templateGroupsSelection() const { return m_groupsSelection; }
    QItemSelectionModel *templatesSelection() const { return m_templatesSelection; }
    TWThemeList *themesArrayController() const { return m_themes; }

private:
    void finish(int result);
    void showTemplatesOfSelectedGroup();
    void updatePreviewSizes(const QString &key);
    TWTemplateController &templateController() const;
    TWThemeManager &themeManager() const;

    TWTemplateController *m_templateController;
    TWThemeManager *m_themeManager;
    QPointer<QDialog> m_panel;
    QPointer<QStackedWidget> m_contentView;
    QPointer<QWidget> m_templateSelectorView;
    QPointer<QWidget> m_themeSelectorView;
    QPointer<QListView> m_groupsView;
    QPointer<TWImageGrid> m_templateGrid;
    QPointer<TWImageGrid> m_themeGrid;
    QStandardItemModel *m_groupsModel;
    QItemSelectionModel *m_groupsSelection;
    QStandardItemModel *m_templatesModel;
    QItemSelectionModel *m_templatesSelection;
    TWThemeList *m_themes;
    TWTemplateController::GroupList m_groups;
    bool m_updateAllGraphicsToDefaultStyle = true;
    int m_panelResult = Cancelled;
    bool m_finishing = false;
    QMetaObject::Connection m_defaultsConnection;
};
