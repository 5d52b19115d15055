#include "palettes/TWThemePanels.h"

#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

// A size that is missing or not positive is the registered 100.
double previewSide(const UserDefaults &defaults, const QString &key)
{
    const double side = defaults.doubleForKey(key);
    return side > 0 ? side : 100.0;
}

} // namespace

// --- the list ---

TWThemeList::TWThemeList(QObject *parent)
    : QObject(parent), m_model(new QStandardItemModel(this)),
      m_selection(new QItemSelectionModel(m_model, this))
{}

void TWThemeList::setThemes(const TWThemeManager::ThemeList &themes)
{
    m_themes = themes;
    m_model->clear();
    for (const std::shared_ptr<TWTheme> &theme : themes) {
        auto *item = new QStandardItem(theme->name);
        item->setEditable(false);
        item->setData(theme->previewImage(), Qt::DecorationRole);
        m_model->appendRow(item);
    }
}

std::shared_ptr<TWTheme> TWThemeList::selectedTheme() const
{
    const QModelIndexList rows = m_selection->selectedRows();
    int first = -1;
    for (const QModelIndex &index : rows)
        first = first < 0 ? index.row() : std::min(first, index.row());
    return first >= 0 && first < m_themes.size() ? m_themes[first] : nullptr;
}

void TWThemeList::selectTheme(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        m_selection->clearSelection();
        return;
    }
    m_selection->select(m_model->index(row, 0),
                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
}

// --- the selector ---

TWThemeSelectorPanelController::TWThemeSelectorPanelController(QObject *parent)
    : QObject(parent), m_themes(new TWThemeList(this))
{
    UserDefaults &defaults = UserDefaults::standard();
    defaults.registerDefaults({{PreviewSizeKey, 100.0}});
    m_defaultsConnection =
        connect(&defaults, &UserDefaults::changed, this, [this](const QString &key) {
            if (key == PreviewSizeKey)
                updatePreviewSize();
        });
}

TWThemeSelectorPanelController::~TWThemeSelectorPanelController()
{
    disconnect(m_defaultsConnection);
    delete m_panel;
}

void TWThemeSelectorPanelController::updatePreviewSize()
{
    if (!m_grid)
        return;
    const double side = previewSide(UserDefaults::standard(), PreviewSizeKey);
    m_grid->setPreviewSize(QSizeF(side, side));
}

void TWThemeSelectorPanelController::setUpdateAllGraphicsToDefaultStyle(bool on)
{
    m_updateAllGraphics = on;
    if (m_restyle)
        m_restyle->setChecked(on);
}

QDialog *TWThemeSelectorPanelController::themeSelectorPanel()
{
    if (m_panel)
        return m_panel;
    m_panel = new QDialog;
    m_panel->setObjectName(QStringLiteral("TWThemeSelector"));
    m_panel->setWindowTitle(dadoZiz("Choose Theme"));
    auto *layout = new QVBoxLayout(m_panel);
    layout->addWidget(new QLabel(dadoZiz("Choose a theme for the selected maps:")));
    auto *scroll = new QScrollArea;
    scroll->setMinimumSize(420, 300);
    m_grid = new TWImageGrid;
    m_grid->setModel(m_themes->model(), m_themes->selectionModel());
    m_grid->setScrollView(scroll);
    m_grid->setDelegate(this);
    layout->addWidget(scroll, 1);
    m_restyle = new QCheckBox(dadoZiz("Restyle all branches with the theme"));
    m_restyle->setObjectName(QStringLiteral("restyle"));
    m_restyle->setChecked(m_updateAllGraphics);
    connect(m_restyle, &QCheckBox::toggled, this, [this](bool on) { m_updateAllGraphics = on; });
    layout->addWidget(m_restyle);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(dadoZiz("Apply"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { ok(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancel(); });
    layout->addWidget(buttons);
    updatePreviewSize();
    return m_panel;
}

void TWThemeSelectorPanelController::beginSheet(QWidget *window)
{
    QDialog *panel = themeSelectorPanel();
    panel->setParent(window, panel->windowFlags());
    panel->setWindowModality(Qt::WindowModal);
    panel->open();
}

namespace {

// The map's theme, given back by undo with the map's look.
void setThemeIDUndoably(const std::shared_ptr<TWMap> &map, const std::optional<QString> &id)
{
    std::weak_ptr<TWMap> weak = map;
    UndoManager::registerUndo(map->undoManager(), [weak, old = map->themeID()] {
        if (const std::shared_ptr<TWMap> m = weak.lock())
            setThemeIDUndoably(m, old);
    });
    map->setThemeID(id);
}

// Previews and thumbnails follow the restyle, its undo and its redo: run at
// the start and the end of the step, whichever way it is replayed this runs
// once the maps look as the step leaves them.
void refreshPreviewsAfterReplay(UndoManager *undo, const QList<std::weak_ptr<TWMap>> &maps)
{
    UndoManager::registerUndo(undo, [undo, maps] {
        for (const std::weak_ptr<TWMap> &weak : maps)
            if (const std::shared_ptr<TWMap> map = weak.lock()) {
                map->setNeedsUpdatePreviewImage(true);
                if (TWMapsDoc *document = map->document())
                    NotificationCenter::defaultCenter().post(TWMapsDoc::UpdateMapTabsNotification,
                                                             NotificationObject(document->shared_from_this()));
            }
        refreshPreviewsAfterReplay(undo, maps);
    });
}

} // namespace

void TWThemeSelectorPanelController::ok()
{
    const std::shared_ptr<TWTheme> theme = m_themes->selectedTheme();
    if (!theme)
        return;
    // One step for every map the theme restyles, wherever it was chosen.
    UndoManager *undo = m_maps.isEmpty() ? nullptr : m_maps.first()->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    QList<std::weak_ptr<TWMap>> changed;
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        changed.append(map);
    refreshPreviewsAfterReplay(undo, changed);
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
        setThemeIDUndoably(map, theme->identifier);
        map->updateThemeIncludingGraphics(m_updateAllGraphics);
    }
    refreshPreviewsAfterReplay(undo, changed);
    UndoManager::setActionName(undo, dadoZiz("Apply Theme"));
    if (undo)
        undo->endUndoGrouping();
    // The thumbnails show the new look now.
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        if (TWMapsDoc *document = map->document())
            NotificationCenter::defaultCenter().post(TWMapsDoc::UpdateMapTabsNotification,
                                                     NotificationObject(document->shared_from_this()));
    cancel();
}

void TWThemeSelectorPanelController::cancel()
{
    m_maps.clear();
    if (m_panel)
        m_panel->done(QDialog::Rejected);
}

// --- the save panel ---

TWThemeSavePanelController::TWThemeSavePanelController(TWThemeManager &manager, QObject *parent)
    : QObject(parent), m_manager(manager), m_themes(new TWThemeList(this))
{}

TWThemeSavePanelController::~TWThemeSavePanelController()
{
    delete m_panel;
}

void TWThemeSavePanelController::setNewThemeName(const QString &name)
{
    m_newThemeName = name;
    if (m_nameField && m_nameField->text() != name)
        m_nameField->setText(name);
}

void TWThemeSavePanelController::setUpdateExistingTheme(bool on)
{
    m_updateExisting = on;
    if (m_updateChoice)
        (on ? m_updateChoice : m_newChoice)->setChecked(true);
}

QDialog *TWThemeSavePanelController::themeSavePanel()
{
    if (m_panel)
        return m_panel;
    m_panel = new QDialog;
    m_panel->setObjectName(QStringLiteral("TWThemeSave"));
    m_panel->setWindowTitle(dadoZiz("Save Theme"));
    auto *layout = new QVBoxLayout(m_panel);
    m_newChoice = new QRadioButton(dadoZiz("Save as a new theme named:"));
    m_nameField = new QLineEdit(m_newThemeName);
    m_nameField->setObjectName(QStringLiteral("name"));
    m_updateChoice = new QRadioButton(dadoZiz("Update an existing theme:"));
    m_list = new QListView;
    m_list->setModel(m_themes->model());
    m_list->setSelectionModel(m_themes->selectionModel());
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_newChoice);
    layout->addWidget(m_nameField);
    layout->addWidget(m_updateChoice);
    layout->addWidget(m_list, 1);
    (m_updateExisting ? m_updateChoice : m_newChoice)->setChecked(true);
    connect(m_updateChoice, &QRadioButton::toggled, this,
            [this](bool on) { m_updateExisting = on; });
    connect(m_nameField, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_newThemeName = text; });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancel(); });
    layout->addWidget(buttons);
    return m_panel;
}

void TWThemeSavePanelController::runModal()
{
    QDialog *panel = themeSavePanel();
    TWThemeManager::ThemeList themes = m_manager.allThemes().values();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(themes.begin(), themes.end(), [&collator](const auto &a, const auto &b) {
        return collator.compare(a->name, b->name) < 0;
    });
    m_themes->setThemes(themes);
    panel->setWindowModality(Qt::ApplicationModal);
    panel->exec();
    // Made afresh for each run (the choices are kept here), so no dialog
    // outlives the application object it was made under.
    delete m_panel;
}

void TWThemeSavePanelController::save()
{
    if (m_updateExisting) {
        const std::shared_ptr<TWTheme> theme = m_themes->selectedTheme();
        if (!theme)
            return;
        if (m_map)
            m_manager.updateTheme(*theme, *m_map);
    } else {
        if (m_nameField)
            m_newThemeName = m_nameField->text();
        if (m_newThemeName.isEmpty())
            return;
        if (m_map)
            m_manager.createNewCustomThemeWithName(m_newThemeName, *m_map);
    }
    cancel();
}

void TWThemeSavePanelController::cancel()
{
    m_map.reset();
    if (m_panel)
        m_panel->done(QDialog::Rejected);
}

// --- opening them ---

TWThemeSelectorPanelController &TWThemeManager::themeSelectorPanelController()
{
    if (!m_selector)
        m_selector = std::make_shared<TWThemeSelectorPanelController>();
    return *m_selector;
}

TWThemeSavePanelController &TWThemeManager::themeSavePanelController()
{
    if (!m_save)
        m_save = std::make_shared<TWThemeSavePanelController>(*this);
    return *m_save;
}

void TWThemeManager::showThemeSelectorPanel(QWidget *window,
                                            const QList<std::shared_ptr<TWMap>> &maps)
{
    if (!window) {
        qWarning("Can't locate window for the document");
        return;
    }
    TWThemeSelectorPanelController &selector = themeSelectorPanelController();
    selector.themeSelectorPanel();
    selector.themesArrayController()->setThemes(orderedThemes());
    selector.setMaps(maps);
    selector.beginSheet(window);
}

void TWThemeManager::showThemeSavePanel(const std::shared_ptr<TWMap> &map)
{
    TWThemeSavePanelController &panel = themeSavePanelController();
    panel.setMap(map);
    panel.runModal();
}
