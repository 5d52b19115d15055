#include "palettes/TWStyleListEditor.h"

#include "interface/ColorWell.h"
#include "interface/RoundedBox.h"
#include "interface/TWToolTipTableView.h"
#include "interface/ViewExtensions.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/Uuid.h"
#include "styles/TWStyleManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QString general(const char *key)
{
    return TWLocalizedString(StringTable::General, QString::fromUtf8(key));
}

// "group.key" into its two parts; empty for anything else.
std::pair<QString, QString> splitKey(const QString &key)
{
    const qsizetype dot = key.indexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {};
    return {key.left(dot), key.mid(dot + 1)};
}

} // namespace

// --- TWSelectedStyleSettings ---

void TWSelectedStyleSettings::setStyle(const std::shared_ptr<TWStyle> &style)
{
    m_style = style;
    announceAll();
}

void TWSelectedStyleSettings::announceAll()
{
    for (const QString &group : {TWStyle::GraphicGroup, TWStyle::BranchGroup, TWStyle::MapGroup}) {
        const OrderedDictionary values = m_style ? m_style->group(group) : OrderedDictionary();
        for (const QString &key : values.keys())
            emit valueChanged(group + QLatin1Char('.') + key);
    }
    emit valueChanged(QStringLiteral("style"));
}

QVariant TWSelectedStyleSettings::valueForKey(const QString &key) const
{
    const auto [group, name] = splitKey(key);
    if (!m_style || group.isEmpty())
        return {};
    return m_style->value(group, name);
}

void TWSelectedStyleSettings::setValueForKey(const QVariant &value, const QString &key)
{
    const auto [group, name] = splitKey(key);
    if (!m_style || group.isEmpty())
        return;
    if (value.isValid()) {
        m_style->setValue(group, name, value);
    } else {
        OrderedDictionary values = m_style->group(group);
        values.remove(name);
        m_style->setGroup(group, values);
    }
    emit valueChanged(key);
}

// --- TWStyleListModel ---

TWStyleListModel::TWStyleListModel(TWStyleListEditor *editor)
    : QAbstractTableModel(editor), m_editor(editor)
{}

int TWStyleListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_editor->styles().size());
}

int TWStyleListModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_editor->styleType() == TWStyle::GraphicStyle ? 2 : 1;
}

QVariant TWStyleListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_editor->styles().size())
        return {};
    const std::shared_ptr<TWStyle> &style = m_editor->styles().at(index.row());
    if (index.column() == TWStyleListEditor::NameColumn &&
        (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole))
        return style->name();
    if (index.column() == TWStyleListEditor::DefaultColumn && role == Qt::ToolTipRole &&
        m_editor->isDefaultStyle(*style))
        return dadoZiz("The current map's default style");
    return {};
}

bool TWStyleListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || index.column() != TWStyleListEditor::NameColumn)
        return false;
    const QString name = value.toString().trimmed();
    // A style needs a name to be saved.
    if (name.isEmpty())
        return false;
    m_editor->renameStyle(index.row(), name);
    return true;
}

Qt::ItemFlags TWStyleListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == TWStyleListEditor::NameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant TWStyleListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == TWStyleListEditor::NameColumn ? dadoZiz("Name") : dadoZiz("Default");
}

void TWStyleListModel::reload()
{
    beginResetModel();
    endResetModel();
}

// --- TWStyleNameDelegate ---

TWStyleNameDelegate::TWStyleNameDelegate(TWStyleListEditor *editor, QObject *parent)
    : QStyledItemDelegate(parent), m_editor(editor)
{}

QWidget *TWStyleNameDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    m_openEditor = editor;
    m_openIndex = index;
    return editor;
}

bool TWStyleNameDelegate::commitOpenEditor(QAbstractItemModel *model)
{
    if (!m_openEditor || !m_openIndex.isValid())
        return false;
    QWidget *editor = m_openEditor;
    const QModelIndex index = m_openIndex;
    m_openEditor = nullptr;
    setModelData(editor, model, index);
    return true;
}

void TWStyleNameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    // Text of a selected row is white; black elsewhere.
    opt.palette.setColor(QPalette::HighlightedText, Qt::white);
    opt.palette.setColor(QPalette::Text, Qt::black);
    QStyledItemDelegate::paint(painter, opt, index);
    if (index.column() != TWStyleListEditor::DefaultColumn)
        return;
    const std::optional<QColor> tick = m_editor->defaultTickColor(index.row());
    if (!tick)
        return;
    const QImage image = TWStyleListEditor::tickImage(*tick);
    const QRect target(QPoint(0, 0), image.size() / image.devicePixelRatio());
    painter->drawImage(QRect(option.rect.center() - target.center(), target.size()), image);
}

// --- TWStyleListEditor ---

TWStyleListEditor::TWStyleListEditor(int styleType, QObject *parent)
    : QObject(parent), m_styleType(styleType), m_model(new TWStyleListModel(this)),
      m_delegate(new TWStyleNameDelegate(this, this)), m_settings(new TWSelectedStyleSettings(this))
{}

TWStyleListEditor::~TWStyleListEditor()
{
    delete m_window.data();
}

QWidget *TWStyleListEditor::window()
{
    if (m_window)
        return m_window;
    auto *window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle(m_styleType == TWStyle::GraphicStyle ? dadoZiz("Graphic Styles")
                                                                : dadoZiz("Map Styles"));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor(212, 212, 212));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(window);

    auto *table = new TWToolTipTableView(window);
    table->setModel(m_model);
    table->setItemDelegate(m_delegate);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    table->setMinimumHeight(140);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TWStyleListEditor::selectionChanged);
    // The selection model is replaced when the model resets; keep following.
    connect(m_model, &QAbstractItemModel::modelReset, this, &TWStyleListEditor::selectionChanged);
    layout->addWidget(table);
    m_table = table;

    auto *buttons = new QHBoxLayout;
    addButton(window, buttons, "Add", [this] { addNewStyle(); });
    addButton(window, buttons, "Remove", [this] { removeSelectedStyles(); });
    addButton(window, buttons, "Duplicate", [this] { duplicate(); });
    addButton(window, buttons, "Set as Default", [this] { setAsDefault(); });
    addButtons(window, buttons);
    buttons->addStretch();
    layout->addLayout(buttons);

    buildSettings(window, layout);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    addButton(window, bottom, "Cancel", [this] { cancel(); });
    QPushButton *accept = addButton(window, bottom, "OK", [this] { ok(); });
    accept->setDefault(true);
    layout->addLayout(bottom);
    m_window = window;
    return window;
}

QTableView *TWStyleListEditor::tableView()
{
    window();
    return m_table;
}

QPushButton *TWStyleListEditor::addButton(QWidget *parent, QBoxLayout *row, const char *title,
                                          std::function<void()> action)
{
    auto *button = new QPushButton(dadoZiz(title), parent);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [action] { action(); });
    row->addWidget(button);
    return button;
}

void TWStyleListEditor::addButtons(QWidget *, QBoxLayout *) {}

void TWStyleListEditor::styleBox(RoundedBox *box, const Color &border)
{
    box->setBorderColor(border.colorWithAlphaComponent(0.8));
    box->setDrawsGradientBackground(true);
    box->setGradientStartColor(border.colorWithAlphaComponent(0.05));
    box->setGradientEndColor(border.colorWithAlphaComponent(0.2));
    box->setBackgroundColor(Color::colorWithCalibratedWhite(0.92));
}

void TWStyleListEditor::showEditor()
{
    QWidget *w = window();
    // Open again: the old list goes, a fresh one comes from the library.
    m_styles.clear();
    const TWStyleManager::StyleDictionary &library =
        m_styleType == TWStyle::MapStyle ? TWStyleManager::sharedStyleManager().mapStyles()
                                         : TWStyleManager::sharedStyleManager().graphicStyles();
    for (const std::shared_ptr<TWStyle> &style : library)
        if (style)
            m_styles.append(style->copy());
    m_open = true;
    sortAndReload();
    emit stylesChanged();
    w->show();
    w->raise();
    w->activateWindow();
}

void TWStyleListEditor::editStyle(const std::shared_ptr<TWStyle> &style)
{
    showEditor();
    if (!style)
        return;
    for (const std::shared_ptr<TWStyle> &entry : std::as_const(m_styles)) {
        if (entry->identifier() == style->identifier()) {
            selectStyles({entry});
            return;
        }
    }
}

void TWStyleListEditor::sortAndReload()
{
    const QList<std::shared_ptr<TWStyle>> selected = selectedStyles();
    std::stable_sort(m_styles.begin(), m_styles.end(), [](const auto &a, const auto &b) {
        return a->name().compare(b->name(), Qt::CaseInsensitive) < 0;
    });
    m_model->reload();
    if (m_table)
        selectStyles(selected);
}

int TWStyleListEditor::rowOfStyle(const TWStyle *style) const
{
    for (qsizetype row = 0; row < m_styles.size(); ++row)
        if (m_styles.at(row).get() == style)
            return int(row);
    return -1;
}

QList<std::shared_ptr<TWStyle>> TWStyleListEditor::selectedStyles() const
{
    QList<std::shared_ptr<TWStyle>> selected;
    if (!m_table || !m_table->selectionModel())
        return selected;
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        if (row >= 0 && row < m_styles.size())
            selected << m_styles.at(row);
    return selected;
}

std::shared_ptr<TWStyle> TWStyleListEditor::selectedStyle() const
{
    const QList<std::shared_ptr<TWStyle>> selected = selectedStyles();
    return selected.size() == 1 ? selected.first() : nullptr;
}

void TWStyleListEditor::selectStyles(const QList<std::shared_ptr<TWStyle>> &styles)
{
    QTableView *table = tableView();
    QItemSelection selection;
    for (const std::shared_ptr<TWStyle> &style : styles) {
        const int row = rowOfStyle(style.get());
        if (row >= 0)
            selection.select(m_model->index(row, 0),
                             m_model->index(row, m_model->columnCount() - 1));
    }
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    if (!selection.isEmpty())
        table->selectionModel()->setCurrentIndex(selection.indexes().first(),
                                                 QItemSelectionModel::NoUpdate);
    selectionChanged();
}

void TWStyleListEditor::selectionChanged()
{
    const std::shared_ptr<TWStyle> style = selectedStyle();
    if (style != m_settings->style())
        m_settings->setStyle(style);
    if (m_table)
        m_table->viewport()->update();
}

void TWStyleListEditor::renameStyle(int row, const QString &name)
{
    if (row < 0 || row >= m_styles.size())
        return;
    m_styles.at(row)->setName(name);
    sortAndReload();
    emit stylesChanged();
}

void TWStyleListEditor::dropList()
{
    m_open = false;
    m_styles.clear();
    m_settings->setStyle(nullptr);
    m_model->reload();
    emit stylesChanged();
}

bool TWStyleListEditor::ok()
{
    // A name still being typed counts.
    if (m_table)
        m_delegate->commitOpenEditor(m_model);
    bool written = true;
    if (m_open) {
        TWStyleManager &library = TWStyleManager::sharedStyleManager();
        const TWStyleManager::StyleDictionary current =
            m_styleType == TWStyle::MapStyle ? library.mapStyles() : library.graphicStyles();
        TWStyleManager::StyleDictionary styles;
        for (const std::shared_ptr<TWStyle> &edited : std::as_const(m_styles)) {
            // The library's own objects take the edits, so whoever holds them
            // sees the accepted settings.
            std::shared_ptr<TWStyle> style = current.value(edited->identifier());
            if (style) {
                style->setName(edited->name());
                style->setProperties(edited->properties());
            } else {
                style = edited;
            }
            styles.insert(style->identifier(), style);
        }
        written = m_styleType == TWStyle::MapStyle ? library.setMapStyles(styles)
                                                   : library.setGraphicStyles(styles);
        if (!written)
            Alerts::current().runAlertPanel(
                dadoZiz("Some styles could not be saved."),
                dadoZiz("The styles are kept until the program quits, but some of them could "
                        "not be written to disk."),
                {general("OK")});
        dropList();
    }
    if (m_window)
        m_window->close();
    return written;
}

void TWStyleListEditor::cancel()
{
    dropList();
    if (m_window)
        m_window->close();
}

void TWStyleListEditor::addNewStyle()
{
    if (!m_open)
        return;
    auto style = TWStyle::create(m_styleType);
    m_styles.append(style);
    sortAndReload();
    selectStyles({style});
    emit stylesChanged();
    QTimer::singleShot(0, this, &TWStyleListEditor::editSelectedRow);
}

OrderedDictionary TWStyleListEditor::copiedProperties(const TWStyle &style) const
{
    return style.properties();
}

void TWStyleListEditor::duplicate()
{
    if (!m_open)
        return;
    QList<std::shared_ptr<TWStyle>> copies;
    for (const std::shared_ptr<TWStyle> &style : selectedStyles()) {
        auto copy = TWStyle::create(m_styleType);
        copy->setName(QStringLiteral("%1 %2").arg(style->name(), dadoZiz("(Copy)")));
        copy->setProperties(copiedProperties(*style));
        m_styles.append(copy);
        copies << copy;
    }
    if (copies.isEmpty())
        return;
    sortAndReload();
    selectStyles(copies);
    emit stylesChanged();
}

void TWStyleListEditor::removeSelectedStyles()
{
    const QList<std::shared_ptr<TWStyle>> selected = selectedStyles();
    if (selected.isEmpty())
        return;
    for (const std::shared_ptr<TWStyle> &style : selected)
        m_styles.removeAll(style);
    sortAndReload();
    emit stylesChanged();
}

void TWStyleListEditor::editSelectedRow()
{
    QTableView *table = tableView();
    const std::shared_ptr<TWStyle> style = selectedStyle();
    const int row = style ? rowOfStyle(style.get()) : -1;
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, NameColumn);
    table->setCurrentIndex(index);
    table->edit(index);
    if (auto *field = qobject_cast<QLineEdit *>(m_delegate->openEditor()))
        field->selectAll();
}

bool TWStyleListEditor::isDefaultStyle(const TWStyle &) const
{
    return false;
}

std::optional<QColor> TWStyleListEditor::defaultTickColor(int row) const
{
    if (row < 0 || row >= m_styles.size() || !isDefaultStyle(*m_styles.at(row)))
        return std::nullopt;
    const bool selected = m_table && m_table->selectionModel() &&
                          m_table->selectionModel()->isRowSelected(row, QModelIndex());
    return selected ? QColor(Qt::white) : QColor(Qt::black);
}

QImage TWStyleListEditor::tickImage(const QColor &color)
{
    QImage image(QSize(24, 24), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    QPainterPath tick;
    tick.moveTo(2.5, 6.5);
    tick.lineTo(5, 9.5);
    tick.lineTo(9.5, 2.5);
    painter.drawPath(tick);
    return image;
}

// --- controls ---

void TWStyleListEditor::follow(QWidget *control, const QString &key,
                               std::function<void(const QVariant &)> show)
{
    const auto refresh = [this, control, show] {
        control->setEnabled(m_settings->style() != nullptr);
        const QSignalBlocker quiet(control);
        show(m_settings->valueForKey(control->property("styleKey").toString()));
    };
    control->setProperty("styleKey", key);
    connect(m_settings, &KeyValueBindable::valueChanged, control,
            [key, refresh](const QString &changed) {
                if (changed == key || changed == u"style")
                    refresh();
            });
    refresh();
}

QCheckBox *TWStyleListEditor::checkBox(QWidget *parent, const char *title, const QString &key)
{
    auto *box = new QCheckBox(dadoZiz(title), parent);
    follow(box, key, [box](const QVariant &value) { box->setChecked(value.toBool()); });
    connect(box, &QCheckBox::toggled, this,
            [this, key](bool on) { m_settings->setValueForKey(on, key); });
    return box;
}

QDoubleSpinBox *TWStyleListEditor::numberField(QWidget *parent, const QString &key, double minimum,
                                               double maximum, int decimals)
{
    auto *field = new QDoubleSpinBox(parent);
    field->setRange(minimum, maximum);
    field->setDecimals(decimals);
    follow(field, key, [field](const QVariant &value) { field->setValue(value.toDouble()); });
    connect(field, &QDoubleSpinBox::valueChanged, this,
            [this, key](double value) { m_settings->setValueForKey(float(value), key); });
    return field;
}

QComboBox *TWStyleListEditor::popUp(QWidget *parent, const QString &key,
                                    const QList<std::pair<QString, int>> &items)
{
    auto *box = new QComboBox(parent);
    for (const auto &[title, value] : items)
        box->addItem(title, value);
    follow(box, key, [box](const QVariant &value) {
        if (value.isValid())
            SelectByTag::selectPopupItemWithTag(*box, value.toInt());
        else
            box->setCurrentIndex(-1);
    });
    connect(box, &QComboBox::activated, this, [this, box, key](int index) {
        if (index >= 0)
            m_settings->setValueForKey(box->itemData(index).toInt(), key);
    });
    return box;
}

ColorWell *TWStyleListEditor::colorWell(QWidget *parent, const QString &key)
{
    auto *well = new ColorWell(parent);
    follow(well, key, [well](const QVariant &value) {
        well->setColor(value.metaType() == QMetaType::fromType<Color>()
                           ? std::optional<Color>(value.value<Color>())
                           : std::nullopt);
    });
    connect(well, &ColorWell::colorChosen, this, [this, key](const Color &color) {
        m_settings->setValueForKey(QVariant::fromValue(color), key);
    });
    return well;
}
