#include "application/TWPreferencesInterface.h"

#include "application/TWToolbarImages.h"
#include "application/TWUpdateController.h"
#include "interface/FontPanel.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QAbstractSpinBox>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

struct ItemDescription
{
    const QString *identifier;
    const char *label;
    const char *image;
};

const ItemDescription *itemDescription(const QString &identifier)
{
    static const ItemDescription descriptions[] = {
        {&TWPreferencesInterface::GeneralItem, "General", "TWPreferencesSwitch"},
        {&TWPreferencesInterface::FontItem, "Font", "TWPreferencesText"},
        {&TWPreferencesInterface::AppearanceItem, "Apperance", "Circle3"},
        {&TWPreferencesInterface::ScreenWriterItem, "ScreenWriter", "TWToolbarScreenwriterWindow"},
    };
    for (const ItemDescription &description : descriptions)
        if (*description.identifier == identifier)
            return &description;
    return nullptr;
}

// A check box that shows and writes a boolean default.
QCheckBox *defaultsCheckBox(const char *title, const char *key, QWidget *parent)
{
    auto *box = new QCheckBox(dadoZiz(title), parent);
    const QString k = QString::fromLatin1(key);
    box->setChecked(defaults().boolForKey(k));
    QObject::connect(box, &QCheckBox::toggled, box,
                     [k](bool checked) { defaults().setBool(checked, k); });
    return box;
}

struct FontSlot
{
    const char *title;
    Font (*get)();
    void (*set)(const Font &);
};

// By font selection, 1 to 6.
const FontSlot FontSlots[] = {
    {"Center Branch:", &TWPreferences::centerFont, &TWPreferences::setCenterFont},
    {"First Level Branches:", &TWPreferences::firstLevelFont, &TWPreferences::setFirstLevelFont},
    {"Branches:", &TWPreferences::branchFont, &TWPreferences::setBranchFont},
    {"Attached Graphics:", &TWPreferences::attachedGraphicFont,
     &TWPreferences::setAttachedGraphicFont},
    {"Branch Notes:", &TWPreferences::branchNotesFont, &TWPreferences::setBranchNotesFont},
    {"Outline Numbers:", &TWPreferences::outlineNumberFont, &TWPreferences::setOutlineNumberFont},
};

const FontSlot *fontSlot(int selection)
{
    if (selection < 1 || selection > int(std::size(FontSlots)))
        return nullptr;
    return &FontSlots[selection - 1];
}

} // namespace

TWPreferencesInterface &TWPreferencesInterface::sharedPreferencesInterface()
{
    static TWPreferencesInterface *shared = new TWPreferencesInterface;
    return *shared;
}

TWPreferencesInterface::TWPreferencesInterface()
{
    m_window = std::make_unique<QMainWindow>();
    m_window->setObjectName(QStringLiteral("preferencesWindow"));
    m_window->setWindowTitle(dadoZiz("Preferences"));
    buildGeneralView();
    buildFontView();
    buildAppearanceView();
    buildScreenWriterView();
    awakeFromNib();
}

TWPreferencesInterface::~TWPreferencesInterface()
{
    if (m_window)
        m_window->removeEventFilter(this);
    FontPanel::shared().setTarget(m_window.get(), nullptr);
}

void TWPreferencesInterface::awakeFromNib()
{
    m_window->installEventFilter(this);
    // The font panel's changes reach the controller while this window is its target.
    FontPanel::shared().setTarget(m_window.get(), [this](FontPanel &panel) { changeFont(panel); });

    m_toolbar = new QToolBar(m_window.get());
    m_toolbar->setObjectName(ToolbarIdentifier);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->toggleViewAction()->setEnabled(false);
    m_toolbarGroup = new QActionGroup(m_toolbar);
    m_toolbarGroup->setExclusive(true);
    for (const QString &identifier : allToolbarIdentifiers())
        if (QAction *item = itemForItemIdentifier(identifier)) {
            item->setParent(m_toolbar);
            item->setCheckable(true);
            m_toolbarGroup->addAction(item);
            m_toolbar->addAction(item);
        }
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);

    showGeneralPreferences();
    m_window->adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->setGeometry(frame);
    }
}

void TWPreferencesInterface::showPreferencesWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

// --- toolbar ---

QStringList TWPreferencesInterface::allToolbarIdentifiers()
{
    return {GeneralItem, FontItem};
}

QAction *TWPreferencesInterface::itemForItemIdentifier(const QString &identifier)
{
    const ItemDescription *description = itemDescription(identifier);
    if (!description)
        return nullptr;
    auto *item = new QAction(TWToolbarImages::icon(QString::fromLatin1(description->image)),
                             dadoZiz(description->label), this);
    item->setObjectName(identifier);
    void (TWPreferencesInterface::*show)() = nullptr;
    if (identifier == GeneralItem)
        show = &TWPreferencesInterface::showGeneralPreferences;
    else if (identifier == FontItem)
        show = &TWPreferencesInterface::showFontPreferences;
    else if (identifier == AppearanceItem)
        show = &TWPreferencesInterface::showApperancePreferences;
    else
        show = &TWPreferencesInterface::showScreenWriterPreferences;
    connect(item, &QAction::triggered, this, show);
    return item;
}

QString TWPreferencesInterface::selectedItemIdentifier() const
{
    for (QAction *item : m_toolbar->actions())
        if (item->isChecked())
            return item->objectName();
    return m_window->property("selectedItemIdentifier").toString();
}

void TWPreferencesInterface::selectItem(const QString &identifier)
{
    // Panes without an item leave none of the items selected.
    bool found = false;
    for (QAction *item : m_toolbarGroup->actions()) {
        if (item->objectName() == identifier) {
            item->setChecked(true);
            found = true;
        }
    }
    if (!found)
        if (QAction *checked = m_toolbarGroup->checkedAction()) {
            m_toolbarGroup->setExclusive(false);
            checked->setChecked(false);
            m_toolbarGroup->setExclusive(true);
        }
    m_window->setProperty("selectedItemIdentifier", identifier);
}

// --- panes ---

void TWPreferencesInterface::showGeneralPreferences()
{
    showView(m_generalView);
    selectItem(GeneralItem);
}

void TWPreferencesInterface::showFontPreferences()
{
    showView(m_fontView);
    selectItem(FontItem);
}

void TWPreferencesInterface::showApperancePreferences()
{
    showView(m_appearanceView);
    selectItem(AppearanceItem);
}

void TWPreferencesInterface::showScreenWriterPreferences()
{
    showView(m_screenWriterView);
    selectItem(ScreenWriterItem);
}

QWidget *TWPreferencesInterface::currentView() const
{
    return m_window->centralWidget();
}

void TWPreferencesInterface::showView(QWidget *pane)
{
    if (!pane || pane == m_window->centralWidget())
        return;
    const QRect frame = m_window->geometry();
    const QWidget *content = m_window->centralWidget();
    // What the window adds around its content (the toolbar), measured before the switch.
    const int chromeWidth = content ? frame.width() - content->width() : 0;
    const int chromeHeight =
        content ? frame.height() - content->height() : m_window->sizeHint().height();
    const QSize paneSize = pane->size();
    if (QWidget *previous = m_window->takeCentralWidget()) {
        // The panes stay the window's, shown again later.
        previous->hide();
        previous->setParent(m_window.get());
    }
    pane->move(0, 0);
    m_window->setCentralWidget(pane);
    pane->show();
    if (!content)
        return;
    // The top edge stays where it is: the window grows or shrinks at the bottom.
    m_window->setGeometry(frame.x(), frame.y(), chromeWidth + paneSize.width(),
                          chromeHeight + paneSize.height());
}

// --- update checks ---

int TWPreferencesInterface::updateCheckMode() const
{
    return defaults().integerForKey(ScheduledCheckIntervalKey) > 0 ? 1 : 0;
}

void TWPreferencesInterface::setUpdateCheckMode(int mode)
{
    endEditing();
    defaults().setBool(mode != 1, CheckAtStartupKey);
    setProperty("updateCheckInterval", mode == 1 ? 7 : 0);
}

int TWPreferencesInterface::updateCheckInterval() const
{
    return int(defaults().integerForKey(ScheduledCheckIntervalKey) / SecondsPerDay);
}

void TWPreferencesInterface::setUpdateCheckInterval(int days)
{
    // 64 bits: a large number of days must not wrap into a negative interval.
    const long long seconds = (long long)days * SecondsPerDay;
    if (seconds < 1)
        defaults().removeObjectForKey(ScheduledCheckIntervalKey);
    else
        defaults().setInteger(seconds, ScheduledCheckIntervalKey);
    emit updateSettingsChanged();
}

void TWPreferencesInterface::checkForUpdateNow()
{
    if (!m_updateController)
        m_updateController = &TWUpdateController::sharedUpdateController();
    m_updateController->manualUpdate();
}

// --- default fonts ---

QString TWPreferencesInterface::fontString(const Font &font)
{
    return QStringLiteral("%1 %2").arg(font.fontName(), CFormat::format("%.0f", font.pointSize()));
}

QString TWPreferencesInterface::centerFontString() const
{
    return fontString(TWPreferences::centerFont());
}

QString TWPreferencesInterface::firstLevelFontString() const
{
    return fontString(TWPreferences::firstLevelFont());
}

QString TWPreferencesInterface::nodeFontString() const
{
    return fontString(TWPreferences::branchFont());
}

QString TWPreferencesInterface::attachedGraphicFontString() const
{
    return fontString(TWPreferences::attachedGraphicFont());
}

QString TWPreferencesInterface::branchNotesFontString() const
{
    return fontString(TWPreferences::branchNotesFont());
}

QString TWPreferencesInterface::outlineNumberFontString() const
{
    return fontString(TWPreferences::outlineNumberFont());
}

void TWPreferencesInterface::setFont(int tag)
{
    m_currentFontSelection = tag;
    FontPanel &panel = FontPanel::shared();
    if (const FontSlot *slot = fontSlot(tag))
        panel.setSelectedFont(slot->get(), false);
    panel.orderFront(m_window.get());
}

void TWPreferencesInterface::changeFont(FontPanel &panel)
{
    const FontSlot *slot = fontSlot(m_currentFontSelection);
    if (!slot)
        return;
    slot->set(panel.convertFont(slot->get()));
    emit fontStringsChanged();
}

// --- editing ---

void TWPreferencesInterface::endEditing()
{
    for (QAbstractSpinBox *box : m_window->findChildren<QAbstractSpinBox *>())
        if (box->hasFocus())
            box->interpretText();
}

void TWPreferencesInterface::closingWindow()
{
    endEditing();
}

bool TWPreferencesInterface::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close)
        closingWindow();
    return QObject::eventFilter(watched, event);
}

// --- the panes' controls ---

void TWPreferencesInterface::buildGeneralView()
{
    m_generalView = new QWidget(m_window.get());
    m_generalView->setObjectName(QStringLiteral("generalView"));
    auto *layout = new QVBoxLayout(m_generalView);

    auto *autoSave = new QHBoxLayout;
    autoSave->addWidget(
        defaultsCheckBox("Save documents every", TWPreferences::AutoSaveSwitchKey, m_generalView));
    auto *minutes = new QSpinBox(m_generalView);
    minutes->setRange(1, 600);
    minutes->setSuffix(QLatin1Char(' ') + dadoZiz("minutes"));
    minutes->setValue(int(defaults().integerForKey(TWPreferences::AutoSaveTimeKey)));
    connect(minutes, &QSpinBox::valueChanged, minutes,
            [](int value) { defaults().setInteger(value, TWPreferences::AutoSaveTimeKey); });
    autoSave->addWidget(minutes);
    autoSave->addStretch(1);
    layout->addLayout(autoSave);
    layout->addWidget(defaultsCheckBox("Keep a backup copy when saving",
                                       TWPreferences::SaveBackupSwitchKey, m_generalView));
    layout->addWidget(defaultsCheckBox("Show templates when adding maps",
                                       TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey,
                                       m_generalView));
    layout->addWidget(defaultsCheckBox("Show page frames in new documents",
                                       TWPreferences::ShowPageFramesWhenCreatingDocumentsKey,
                                       m_generalView));
    layout->addWidget(defaultsCheckBox("Ask about tutorials at start-up",
                                       TWPreferences::PromptForTutorAtStartupKey, m_generalView));

    auto *updates = new QGridLayout;
    auto *atStartup = new QRadioButton(dadoZiz("Check for updates at start-up"), m_generalView);
    atStartup->setObjectName(QStringLiteral("checkAtStartup"));
    auto *atInterval = new QRadioButton(dadoZiz("Check for updates every"), m_generalView);
    atInterval->setObjectName(QStringLiteral("checkAtInterval"));
    auto *modes = new QButtonGroup(m_generalView);
    modes->addButton(atStartup, 0);
    modes->addButton(atInterval, 1);
    auto *days = new QSpinBox(m_generalView);
    days->setObjectName(QStringLiteral("updateCheckInterval"));
    days->setRange(1, 365);
    // "1 day", "2 days".
    const auto daysSuffix = [days](int value) {
        days->setSuffix(QLatin1Char(' ') + (value == 1 ? dadoZiz("day") : dadoZiz("days")));
    };
    daysSuffix(days->value());
    connect(days, &QSpinBox::valueChanged, days, daysSuffix);
    auto *checkNow = new QPushButton(dadoZiz("Check Now"), m_generalView);
    checkNow->setObjectName(QStringLiteral("checkNow"));
    updates->addWidget(atStartup, 0, 0, 1, 2);
    updates->addWidget(atInterval, 1, 0);
    updates->addWidget(days, 1, 1);
    updates->addWidget(checkNow, 2, 0, 1, 1, Qt::AlignLeft);
    layout->addSpacing(12);
    layout->addLayout(updates);
    layout->addStretch(1);

    const auto refresh = [this, modes, days] {
        const QSignalBlocker quietModes(modes);
        const QSignalBlocker quietDays(days);
        const int mode = updateCheckMode();
        modes->button(mode)->setChecked(true);
        days->setEnabled(mode == 1);
        days->setValue(std::max(updateCheckInterval(), 1));
    };
    refresh();
    connect(this, &TWPreferencesInterface::updateSettingsChanged, m_generalView, refresh);
    connect(modes, &QButtonGroup::idClicked, this, [this](int mode) { setUpdateCheckMode(mode); });
    connect(days, &QSpinBox::valueChanged, this, [this](int value) {
        if (updateCheckMode() == 1)
            setUpdateCheckInterval(value);
    });
    connect(checkNow, &QPushButton::clicked, this, &TWPreferencesInterface::checkForUpdateNow);
    m_generalView->adjustSize();
    m_generalView->hide();
}

void TWPreferencesInterface::buildFontView()
{
    m_fontView = new QWidget(m_window.get());
    m_fontView->setObjectName(QStringLiteral("fontView"));
    auto *grid = new QGridLayout(m_fontView);
    QList<QLineEdit *> fields;
    for (int tag = 1; tag <= int(std::size(FontSlots)); ++tag) {
        const int row = tag - 1;
        grid->addWidget(new QLabel(dadoZiz(FontSlots[row].title), m_fontView), row, 0,
                        Qt::AlignRight);
        auto *field = new QLineEdit(m_fontView);
        field->setReadOnly(true);
        field->setMinimumWidth(200);
        field->setObjectName(QStringLiteral("fontField%1").arg(tag));
        grid->addWidget(field, row, 1);
        fields << field;
        auto *button = new QPushButton(dadoZiz("Set..."), m_fontView);
        button->setObjectName(QStringLiteral("fontButton%1").arg(tag));
        button->setProperty("tag", tag);
        connect(button, &QPushButton::clicked, this, [this, tag] { setFont(tag); });
        grid->addWidget(button, row, 2);
    }
    grid->setRowStretch(grid->rowCount(), 1);
    const auto refresh = [this, fields] {
        const QString texts[] = {centerFontString(),      firstLevelFontString(),
                                 nodeFontString(),        attachedGraphicFontString(),
                                 branchNotesFontString(), outlineNumberFontString()};
        for (int i = 0; i < fields.size(); ++i)
            fields.at(i)->setText(texts[i]);
    };
    refresh();
    connect(this, &TWPreferencesInterface::fontStringsChanged, m_fontView, refresh);
    m_fontView->adjustSize();
    m_fontView->hide();
}

void TWPreferencesInterface::buildAppearanceView()
{
    m_appearanceView = new QWidget(m_window.get());
    m_appearanceView->setObjectName(QStringLiteral("appearanceView"));
    auto *form = new QFormLayout(m_appearanceView);
    auto *type = new QComboBox(m_appearanceView);
    const QList<std::pair<const char *, int>> types{
        {"Line", 1}, {"Rectangle", 2}, {"Oval", 3}, {"Image", 4}, {"FlexiBranch", 5}};
    for (const auto &[title, code] : types)
        type->addItem(dadoZiz(title), code);
    type->setCurrentIndex(std::max(0, type->findData(TWPreferences::branchType())));
    connect(type, &QComboBox::currentIndexChanged, type,
            [type](int) { TWPreferences::setBranchType(type->currentData().toInt()); });
    form->addRow(dadoZiz("New branches:"), type);
    form->addRow(defaultsCheckBox("Snap lines while moving", TWPreferences::SnapLinesModeKey,
                                  m_appearanceView));
    form->addRow(defaultsCheckBox("Check spelling while typing",
                                  TWPreferences::CheckSpellingSwitchKey, m_appearanceView));
    m_appearanceView->adjustSize();
    m_appearanceView->hide();
}

void TWPreferencesInterface::buildScreenWriterView()
{
    m_screenWriterView = new QWidget(m_window.get());
    m_screenWriterView->setObjectName(QStringLiteral("screenWriterView"));
    auto *layout = new QVBoxLayout(m_screenWriterView);
    auto *label =
        new QLabel(dadoZiz("ScreenWriter has no settings of its own."), m_screenWriterView);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addStretch(1);
    m_screenWriterView->resize(360, 120);
    m_screenWriterView->hide();
}
