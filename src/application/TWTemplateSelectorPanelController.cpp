#include "application/TWTemplateSelectorPanelController.h"

#include "palettes/TWThemePanels.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

QPushButton *button(QHBoxLayout *row, const QString &title, const char *name)
{
    auto *b = new QPushButton(title);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

int firstSelectedRow(const QItemSelectionModel *selection)
{
    int first = -1;
    for (const QModelIndex &index : selection->selectedRows())
        first = first < 0 ? index.row() : std::min(first, index.row());
    return first;
}

void selectRow(QItemSelectionModel *selection, int row)
{
    const QModelIndex index = selection->model()->index(row, 0);
    if (!index.isValid()) {
        selection->clearSelection();
        return;
    }
    selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

// A size that is missing or not positive is the registered 100.
double previewSide(const UserDefaults &defaults, const QString &key)
{
    const double side = defaults.doubleForKey(key);
    return side > 0 ? side : 100.0;
}

} // namespace

TWTemplateSelectorPanelController::TWTemplateSelectorPanelController(
    TWTemplateController *templates, TWThemeManager *themes, QObject *parent)
    : QObject(parent), m_templateController(templates), m_themeManager(themes),
      m_groupsModel(new QStandardItemModel(this)),
      m_groupsSelection(new QItemSelectionModel(m_groupsModel, this)),
      m_templatesModel(new QStandardItemModel(this)),
      m_templatesSelection(new QItemSelectionModel(m_templatesModel, this)),
      m_themes(new TWThemeList(this))
{
    UserDefaults &defaults = UserDefaults::standard();
    defaults.registerDefaults({{TemplatePreviewSizeKey, 100.0}, {ThemePreviewSizeKey, 100.0}});
    m_defaultsConnection = connect(&defaults, &UserDefaults::changed, this,
                                   [this](const QString &key) { updatePreviewSizes(key); });
    connect(m_groupsSelection, &QItemSelectionModel::selectionChanged, this,
            [this] { showTemplatesOfSelectedGroup(); });
}

TWTemplateSelectorPanelController::~TWTemplateSelectorPanelController()
{
    disconnect(m_defaultsConnection);
    delete m_panel;
}

TWTemplateSelectorPanelController &
TWTemplateSelectorPanelController::sharedTemplateSelectorPanelController()
{
    // Never destroyed: its window must not outlive the application object.
    static auto *shared = new TWTemplateSelectorPanelController;
    return *shared;
}

TWTemplateController &TWTemplateSelectorPanelController::templateController() const
{
    return m_templateController ? *m_templateController
                                : TWTemplateController::sharedTemplateController();
}

TWThemeManager &TWTemplateSelectorPanelController::themeManager() const
{
    return m_themeManager ? *m_themeManager : TWThemeManager::sharedThemeManager();
}

void TWTemplateSelectorPanelController::updatePreviewSizes(const QString &key)
{
    const UserDefaults &defaults = UserDefaults::standard();
    if (m_templateGrid && (key.isEmpty() || key == TemplatePreviewSizeKey)) {
        const double width = previewSide(defaults, TemplatePreviewSizeKey);
        m_templateGrid->setPreviewSize(QSizeF(width, 0.75 * width));
    }
    if (m_themeGrid && (key.isEmpty() || key == ThemePreviewSizeKey)) {
        const double side = previewSide(defaults, ThemePreviewSizeKey);
        m_themeGrid->setPreviewSize(QSizeF(side, side));
    }
}

QDialog *TWTemplateSelectorPanelController::templateSelectorPanel()
{
    if (m_panel)
        return m_panel;
    m_panel = new QDialog;
    m_panel->setObjectName(QStringLiteral("TWTemplateSelectorPanel"));
    m_panel->setWindowTitle(dadoZiz("New Map"));
    m_panel->resize(640, 440);
    // Escape or closing the window is a cancel, never the last run's result.
    connect(m_panel, &QDialog::rejected, this, [this] {
        if (m_panel && m_panel->result() == QDialog::Rejected && !m_finishing)
            m_panelResult = Cancelled;
    });
    auto *layout = new QVBoxLayout(m_panel);
    m_contentView = new QStackedWidget;
    layout->addWidget(m_contentView, 1);

    // The template page: groups on the left, their templates on the right.
    m_templateSelectorView = new QWidget;
    auto *templatePage = new QVBoxLayout(m_templateSelectorView);
    templatePage->setContentsMargins(0, 0, 0, 0);
    templatePage->addWidget(new QLabel(dadoZiz("Choose a template for the new map:")));
    auto *lists = new QHBoxLayout;
    m_groupsView = new QListView;
    m_groupsView->setModel(m_groupsModel);
    m_groupsView->setSelectionModel(m_groupsSelection);
    m_groupsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_groupsView->setMaximumWidth(160);
    lists->addWidget(m_groupsView);
    auto *templateScroll = new QScrollArea;
    m_templateGrid = new TWImageGrid;
    m_templateGrid->setObjectName(QStringLiteral("templatePreviewGrid"));
    m_templateGrid->setDrawTitle(false);
    m_templateGrid->setModel(m_templatesModel, m_templatesSelection);
    m_templateGrid->setScrollView(templateScroll);
    m_templateGrid->setDelegate(this);
    lists->addWidget(templateScroll, 1);
    templatePage->addLayout(lists, 1);
    auto *templateButtons = new QHBoxLayout;
    templateButtons->addStretch(1);
    connect(button(templateButtons, dadoZiz("Cancel"), "cancel"), &QPushButton::clicked, this,
            &TWTemplateSelectorPanelController::cancel);
    QPushButton *next = button(templateButtons, dadoZiz("Next"), "templateNext");
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, &TWTemplateSelectorPanelController::templateNext);
    templatePage->addLayout(templateButtons);

    // The theme page.
    m_themeSelectorView = new QWidget;
    auto *themePage = new QVBoxLayout(m_themeSelectorView);
    themePage->setContentsMargins(0, 0, 0, 0);
    themePage->addWidget(new QLabel(dadoZiz("Choose a theme for the new map:")));
    auto *themeScroll = new QScrollArea;
    m_themeGrid = new TWImageGrid;
    m_themeGrid->setObjectName(QStringLiteral("themePreviewGrid"));
    m_themeGrid->setModel(m_themes->model(), m_themes->selectionModel());
    m_themeGrid->setScrollView(themeScroll);
    m_themeGrid->setDelegate(this);
    themePage->addWidget(themeScroll, 1);
    auto *themeButtons = new QHBoxLayout;
    connect(button(themeButtons, dadoZiz("Previous"), "themePrevious"), &QPushButton::clicked, this,
            &TWTemplateSelectorPanelController::themePrevious);
    themeButtons->addStretch(1);
    connect(button(themeButtons, dadoZiz("Cancel"), "cancel"), &QPushButton::clicked, this,
            &TWTemplateSelectorPanelController::cancel);
    connect(button(themeButtons, dadoZiz("No Theme"), "noTheme"), &QPushButton::clicked, this,
            &TWTemplateSelectorPanelController::noTheme);
    QPushButton *finished = button(themeButtons, dadoZiz("Done"), "done");
    finished->setDefault(true);
    connect(finished, &QPushButton::clicked, this, &TWTemplateSelectorPanelController::done);
    themePage->addLayout(themeButtons);

    m_contentView->addWidget(m_templateSelectorView);
    m_contentView->addWidget(m_themeSelectorView);
    updatePreviewSizes(QString());
    reloadContent();
    m_themes->selectTheme(0);
    showTemplateView();
    return m_panel;
}

void TWTemplateSelectorPanelController::reloadContent()
{
    const std::shared_ptr<TWTemplateGroup> previous = selectedTemplateGroup();
    m_groups = templateController().allTemplateGroups();
    m_groupsModel->clear();
    for (const std::shared_ptr<TWTemplateGroup> &group : std::as_const(m_groups)) {
        auto *item = new QStandardItem(group->name);
        item->setEditable(false);
        m_groupsModel->appendRow(item);
    }
    const int kept = previous ? int(m_groups.indexOf(previous)) : -1;
    selectRow(m_groupsSelection, kept >= 0 ? kept : 0);
    showTemplatesOfSelectedGroup();

    const std::shared_ptr<TWTheme> theme = selectedTheme();
    const TWThemeManager::ThemeList themes = themeManager().orderedThemes();
    m_themes->setThemes(themes);
    const int themeRow = theme ? int(themes.indexOf(theme)) : -1;
    m_themes->selectTheme(themeRow >= 0 ? themeRow : 0);
}

void TWTemplateSelectorPanelController::showTemplatesOfSelectedGroup()
{
    m_templatesModel->clear();
    if (const std::shared_ptr<TWTemplateGroup> group = selectedTemplateGroup()) {
        for (const std::shared_ptr<TWTemplate> &entry : std::as_const(group->templates)) {
            auto *item = new QStandardItem(entry->name);
            item->setEditable(false);
            item->setData(entry->previewImage, Qt::DecorationRole);
            m_templatesModel->appendRow(item);
        }
    }
    selectRow(m_templatesSelection, 0);
}

std::shared_ptr<TWTemplateGroup> TWTemplateSelectorPanelController::selectedTemplateGroup() const
{
    const int row = firstSelectedRow(m_groupsSelection);
    return row >= 0 && row < m_groups.size() ? m_groups[row] : nullptr;
}

std::shared_ptr<TWTemplate> TWTemplateSelectorPanelController::selectedTemplate() const
{
    const std::shared_ptr<TWTemplateGroup> group = selectedTemplateGroup();
    const int row = firstSelectedRow(m_templatesSelection);
    return group && row >= 0 && row < group->templates.size() ? group->templates[row] : nullptr;
}

std::shared_ptr<TWTheme> TWTemplateSelectorPanelController::selectedTheme() const
{
    return m_themes->selectedTheme();
}

void TWTemplateSelectorPanelController::showTemplateView()
{
    templateSelectorPanel();
    m_contentView->setCurrentWidget(m_templateSelectorView);
}

void TWTemplateSelectorPanelController::showThemeView()
{
    templateSelectorPanel();
    m_contentView->setCurrentWidget(m_themeSelectorView);
}

bool TWTemplateSelectorPanelController::showsThemeView() const
{
    return m_contentView && m_contentView->currentWidget() == m_themeSelectorView;
}

void TWTemplateSelectorPanelController::ok(TWImageGrid *grid)
{
    if (grid == m_templateGrid)
        templateNext();
    else if (grid == m_themeGrid)
        done();
}

void TWTemplateSelectorPanelController::finish(int result)
{
    m_panelResult = result;
    if (m_panel) {
        m_finishing = true;
        m_panel->done(result == Cancelled ? QDialog::Rejected : QDialog::Accepted);
        m_finishing = false;
    }
}

int TWTemplateSelectorPanelController::runModalSheetForWindow(QWidget *window)
{
    QDialog *panel = templateSelectorPanel();
    reloadContent();
    showTemplateView();
    if (window) {
        panel->setParent(window, panel->windowFlags() | Qt::Dialog);
        panel->setWindowModality(Qt::WindowModal);
    } else {
        panel->setParent(nullptr, panel->windowFlags() | Qt::Dialog);
        panel->setWindowModality(Qt::ApplicationModal);
    }
    panel->exec();
    // The panel may outlive the window it was a sheet on.
    panel->setParent(nullptr, panel->windowFlags() | Qt::Dialog);
    return m_panelResult;
}
